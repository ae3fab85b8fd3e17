// The mask analysis window on generated vowels: Confirm through Browse,
// refusals, the display toggles and their captions, the hertz and Bark
// axes, the Zk spin and the transform tool; "Average DE" on a generated
// database into Data/maskanalyse1.xls read back by LibreOffice, a
// cancelled run, and SQL in the age field refused.

#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>

#include "AppTestSupport.h"
#include "app/analysis/MaskAnalyse.h"
#include "core/analysis/MaskVowels.h"
#include "sheet/SpreadSheet.h"
#include "sheet/Workbook.h"
#include "store/MaskQueries.h"
#include "support/LibreOffice.h"
#include "support/VowelAnswers.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;
using analysis::MaskAnalysisKind;

class MaskAnalyseTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<store::Database> db_;
    FakePrompter prompter_;
    FakeFiles files_;

    QString Vowel(int n) const { return dir_.filePath(QStringLiteral("vowels/%1.wav").arg(n)); }

    std::unique_ptr<CMaskAnalyse> Open(store::Database* db) {
        auto dialog = std::make_unique<CMaskAnalyse>(
            MaskAnalyseSetup{512, 128, 0.0, dir_.path(), db}, prompter_, files_);
        dialog->resize(900, 700);
        if (!Show(dialog.get())) qFatal("the dialog did not show");
        return dialog;
    }

    int Pixels(CMaskAnalyse& dialog, const QColor& color) {
        return CountPixels(dialog.findChild<QWidget*>("maskGraph")->grab().toImage(), color);
    }

  private slots:
    void initTestCase() {
        QVERIFY(kestrune::testing::WriteVowelKit(dir_.filePath("vowels").toStdString()));
        QString error;
        db_ = store::Database::Open(store::DatabaseLocation::StationFile(dir_.path()), &error);
        QVERIFY2(db_, qPrintable(error));
        // Two subjects in the age range answering every pair twice, one outside it.
        for (const int year : {1980, 1985, 1995})
            QVERIFY(kestrune::testing::AddVowelAnswers(*db_, year, 2));
    }

    void confirmShowsAPairAndTheTogglesChangeTheirCaptions() {
        auto dialog = Open(db_.get());
        Controls c{dialog.get()};
        QVERIFY(!c.Button("maskingToggle")->isEnabled());
        files_.openAnswers = {Vowel(1), Vowel(4)};
        Click(c.Button("maskingBrowseButton"));
        Click(c.Button("maskedBrowseButton"));
        Click(c.Button("confirmPathsButton"));
        QVERIFY(prompter_.messages.empty());
        QVERIFY(dialog->Display().spectra.has_value());
        QCOMPARE(c.Get<QLabel>("maskingVowelLabel")->text(), QStringLiteral("あ"));
        QCOMPARE(c.Get<QLabel>("maskedVowelLabel")->text(), QStringLiteral("え"));
        QVERIFY(dialog->Display().spectra->f0 > 0);

        const int drawn = Pixels(*dialog, CMaskGraph::kMaskedColor);
        const struct {
            const char* button;
            QStringList captions;  // masking, masked, mask effect, critical bands
        } steps[] = {
            {"maskingToggle",
             {"Show masking", "Hide masked", "Hide mask effect", "Hide critical bands"}},
            {"effectToggle",
             {"Show masking", "Hide masked", "Show mask effect", "Hide critical bands"}},
            {"maskedToggle",
             {"Show masking", "Show masked", "Show mask effect", "Hide critical bands"}},
            {"bandsToggle",
             {"Show masking", "Show masked", "Show mask effect", "Show critical bands"}},
            // Show all leaves the mask effect as it was.
            {"showAllButton",
             {"Hide masking", "Hide masked", "Show mask effect", "Hide critical bands"}},
            {"effectToggle",
             {"Hide masking", "Hide masked", "Hide mask effect", "Hide critical bands"}},
        };
        for (const auto& step : steps) {
            Click(c.Button(step.button));
            QCOMPARE(c.Captions({"maskingToggle", "maskedToggle", "effectToggle", "bandsToggle"}),
                     step.captions);
            const bool masked = step.captions[1].startsWith("Hide");
            QCOMPARE(dialog->Display().showMasked, masked);
            // The masked curve's colour beyond its legend bar only while it is shown.
            QCOMPARE(Pixels(*dialog, CMaskGraph::kMaskedColor) > 108, masked);
        }
        QVERIFY(drawn > 108);

        Click(c.Button("inBarkButton"));
        QVERIFY(dialog->Display().inBark);
        const QImage bark = dialog->findChild<QWidget*>("maskGraph")->grab().toImage();
        Click(c.Button("inHzButton"));
        QVERIFY(bark != dialog->findChild<QWidget*>("maskGraph")->grab().toImage());

        // The Zk spin: Zk shown "%2.1f", curves cleared, ATH and the pattern drawn.
        c.Get<QDoubleSpinBox>("zkSpin")->setValue(5.5);
        QCOMPARE(c.Edit("zkEdit")->text(), QStringLiteral("5.5"));
        QCOMPARE(dialog->Display().patternZk.value_or(-1), 5.5);
        QVERIFY(!dialog->Display().curvesShown && dialog->Display().athShown);
        QCOMPARE(Pixels(*dialog, CMaskGraph::kMaskedColor), 108);
        Click(c.Button("clearButton"));
        QVERIFY(!dialog->Display().patternZk && !dialog->Display().athShown);

        const struct {
            const char* radio;
            const char* input;
            QString output;
        } transforms[] = {{"hzToBarkRadio", "1000", QStringLiteral("8.527432")},
                          {"barkToHzRadio", "8.527", QStringLiteral("999")},
                          {"barkToHzRadio", "-1", QStringLiteral("0")}};
        for (const auto& t : transforms) {
            c.Get<QRadioButton>(t.radio)->setChecked(true);
            Type(c.Edit("transformInput"), QString::fromLatin1(t.input));
            Click(c.Button("transformButton"));
            QCOMPARE(c.Edit("transformOutput")->text(), t.output);
        }

        // The levels' Confirm takes the typed levels: the masked curve moves by 10 dB.
        const double before = dialog->Display().spectra->maskedLevels[10];
        Type(c.Edit("maskedLevelEdit"), QStringLiteral("70"));
        Click(c.Button("confirmLevelsButton"));
        QCOMPARE(dialog->Display().spectra->maskedLevel, 70);
        QCOMPARE(dialog->Display().spectra->maskedLevels[10], before + 10);

        Type(c.Edit("maskingPathEdit"), dir_.filePath("none3.wav"));
        Click(c.Button("confirmPathsButton"));
        QCOMPARE(prompter_.MessageTexts(), QStringList{"Open masking file failed!"});
        prompter_.messages.clear();
    }

    void averageDeWritesItsWorkbook() {
        auto dialog = Open(db_.get());
        QSignalSpy ended(dialog.get(), &CMaskAnalyse::AnalysisEnded);
        Click(Controls{dialog.get()}.Button("averageDeButton"));
        QVERIFY(dialog->Running());
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 60000);
        QCOMPARE(ended.front().front().toBool(), true);
        QCOMPARE(prompter_.MessageTexts(),
                 QStringList{"Calculating and writing into excel file succeed!"});
        prompter_.messages.clear();
        const QString log = dialog->findChild<QPlainTextEdit*>("analysisLog")->toPlainText();
        QCOMPARE(log.count(QStringLiteral("diff:")), 20);
        // The window shows the last pair: お masking え.
        QCOMPARE(dialog->Display().spectra->maskingVowel, 5);
        QCOMPARE(dialog->Display().spectra->maskedVowel, 4);

        // The same table computed straight from core, against LibreOffice's reading.
        analysis::MaskRunInput input;
        input.vowelFolder = dir_.filePath("vowels").toStdString();
        input.frameLength = 512;
        input.shift = 128;
        input.averages = store::MaskPairAverages(*db_, store::MaskQuery::ByAge, {}).value;
        const analysis::MaskRunResult expected = analysis::RunMaskAnalysis(input);
        kestrune::testing::CsvTable rows{expected.table.captions};
        rows.insert(rows.end(), expected.table.rows.begin(), expected.table.rows.end());

        const QString book = dir_.filePath("Data/maskanalyse1.xlsx");
        QVERIFY(QFile::exists(book));
        std::string error;
        const auto sheets = kestrune::testing::ReadWithLibreOffice(
            dir_.filePath("lo").toStdString(), book.toStdString(), &error);
        QVERIFY2(error.empty(), error.c_str());
        QVERIFY(sheets.count("Masking") == 1);
        QCOMPARE(sheets.at("Masking").size(), std::size_t{7});
        QVERIFY(sheets.at("Masking") == rows);

        // A second run adds its rows below the first run's, whose sheet is
        // kept in the backup sheet before it changes.
        ended.clear();
        Click(Controls{dialog.get()}.Button("averageDeButton"));
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 60000);
        QCOMPARE(ended.front().front().toBool(), true);
        prompter_.messages.clear();
        const auto again = sheet::ReadWorkbook(book.toStdString(), &error);
        QVERIFY2(again, error.c_str());
        const auto texts = [&](const char* name) {
            kestrune::testing::CsvTable read;
            // Rows read back are padded to the header's width; the padding is left out.
            for (const auto& row : again->Find(name)->rows) {
                read.push_back(sheet::CellTexts(row));
                while (read.back().size() > 1 &&
                       read.back().back().find_first_not_of(' ') == std::string::npos)
                    read.back().pop_back();
            }
            return read;
        };
        kestrune::testing::CsvTable twice = rows;
        twice.insert(twice.end(), rows.begin() + 1, rows.end());
        QVERIFY(texts("Masking") == twice);
        QVERIFY(texts(sheet::CSpreadSheet::kBackupSheet) == rows);
    }

    void aCancelledRunWritesNothing() {
        auto dialog = Open(db_.get());
        QSignalSpy ended(dialog.get(), &CMaskAnalyse::AnalysisEnded);
        QVERIFY(dialog->StartAnalysis(MaskAnalysisKind::TryB));
        QVERIFY(!Controls{dialog.get()}.Button("tryAButton")->isEnabled());
        Click(Controls{dialog.get()}.Button("cancelAnalysisButton"));
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 60000);
        QCOMPARE(ended.front().front().toBool(), false);
        QVERIFY(
            dialog->findChild<QPlainTextEdit*>("analysisLog")->toPlainText().contains("Cancelled"));
        QVERIFY(!QFile::exists(dir_.filePath("Data/maskanalyse2.xlsx")));
        QVERIFY(Controls{dialog.get()}.Button("tryAButton")->isEnabled());
    }

    void sqlInTheFieldsAndNoDatabaseAreRefused() {
        auto dialog = Open(db_.get());
        Controls c{dialog.get()};
        // One refusal per query; the store's tests try the other forms and check the tables.
        for (const auto& [field, button] :
             {std::pair{"ageFromEdit", "averageDeButton"}, std::pair{"subjectEdit", "deButton"}}) {
            Type(c.Edit(field), QStringLiteral("1978; DROP TABLE BasicRecord; --"));
            Click(c.Button(button));
            QVERIFY(!dialog->Running());
            QCOMPARE(prompter_.messages.size(), std::size_t{1});
            QVERIFY(prompter_.messages.front().text.contains("is not a whole number"));
            prompter_.messages.clear();
            Type(c.Edit(field), QStringLiteral("1980"));
        }
        auto alone = Open(nullptr);
        QVERIFY(!alone->StartAnalysis(MaskAnalysisKind::AverageDe));
        QCOMPARE(prompter_.messages.size(), std::size_t{1});
        prompter_.messages.clear();
    }
};

QTEST_MAIN(MaskAnalyseTest)
#include "MaskAnalyseTest.moc"
