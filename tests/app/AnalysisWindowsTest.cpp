// Analyse → Intermittent analyse and Trainging result analyse: the windows
// filled in and confirmed show the same table the command line writes for
// the same parameters, and refuse what is not a number.

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <random>
#include <sstream>

#include "AppTestSupport.h"
#include "app/analysis/IntermittentAnalyse.h"
#include "app/analysis/TrainingAnalysis.h"
#include "cli/Commands.h"
#include "core/analysis/Intermittent.h"
#include "core/analysis/Training.h"
#include "store/Results.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class AnalysisWindowsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<store::Database> db_;
    qint64 subject_ = 0;

    // The command line's output for the arguments after "analyse".
    std::pair<std::string, std::string> Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--database", "sqlite://" + Path(), "analyse"});
        std::ostringstream out, err;
        const int status = cli::Run(args, out, err);
        if (status != cli::kExitOk) qWarning("cli: %s", err.str().c_str());
        return {out.str(), err.str()};
    }
    std::string Path() {
        return store::DatabaseLocation::StationFile(dir_.path()).sqlitePath.toStdString();
    }
    template <typename Dialog>
    std::string Shown(Dialog& dialog, const std::vector<const char*>& outputs,
                      const std::vector<std::string>& captions) {
        std::vector<std::string> row;
        for (const char* name : outputs)
            row.push_back(dialog.template findChild<QLineEdit*>(name)->text().toStdString());
        return analysis::ToCsv({captions, {}, {row}});
    }
    static void Type(QWidget& dialog, const char* edit, const QString& text) {
        dialog.findChild<QLineEdit*>(edit)->setText(text);
    }
    static void Confirm(QWidget& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
    }

  private slots:
    void initTestCase() {
        QString error;
        db_ = store::Database::Open(store::DatabaseLocation::StationFile(dir_.path()), &error);
        QVERIFY2(db_, qPrintable(error));
        store::Subject subject;
        subject.name = QStringLiteral("Suzuki, \"Ichiro\"");
        subject.birthYear = 1960;
        subject_ = store::SubjectRegistry(*db_).Add(subject).value;
        std::mt19937 random(5);
        const char* kana[] = {"か", "が", "あ", "き", "ぎ", "きゃ"};
        for (int item = 0; item < 4; ++item) {
            store::SessionItemRow row{.subjectId = subject_, .type = 2, .number = 10};
            row.dutyCycle = item % 2 ? 0.5 : 0.25;
            const qint64 srid = store::StartSessionItem(*db_, row).value;
            for (int trial = 0; trial < 10; ++trial)
                store::AddTrial(*db_, {subject_,
                                       srid,
                                       QStringLiteral("2024-05-01 10:00:00"),
                                       1.0,
                                       QString::fromUtf8(kana[random() % 6]),
                                       QString::fromUtf8(kana[random() % 6]),
                                       {}});
            store::FinishSessionItem(*db_, srid, 20, 10, 1 + item % 2);
        }
        for (const std::string& masking : analysis::TrainingVowels()) {
            for (const std::string& masked : analysis::TrainingVowels()) {
                if (masking == "う" && masked == "お") continue;  // never ended
                const int level = -30 + static_cast<int>(random() % 20);
                for (const auto& [snr, state] : {std::pair{level, 0.0}, {level + 2, 1.0}}) {
                    store::VowelAnswerRow answer;
                    answer.subjectId = subject_;
                    answer.time = QStringLiteral("2024-05-01 10:00:00");
                    answer.duration = QString::asprintf("%3.2f", (random() % 300) / 100.0);
                    answer.maskingContent = QString::fromStdString(masking);
                    answer.maskedContent = QString::fromStdString(masked);
                    answer.snr = snr;
                    answer.state = state;
                    answer.validity = 1;
                    QVERIFY(store::AddVowelAnswer(*db_, answer).Ok());
                }
            }
        }
    }

    void theIntermittentWindowShowsTheCommandLinesTable() {
        const struct {
            QString duty, from, to;
            bool collected;
        } cases[] = {
            {"0.5", "1950", "1970", true}, {"", "", "", true}, {"0.25", "", "1959", false}};
        for (const auto& c : cases) {
            FakePrompter prompter;
            CIntermittentAnalyse dialog(*db_, prompter);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Intermittent結果の解析"));
            Type(dialog, "dutyCycleEdit", c.duty);
            Type(dialog, "yearFromEdit", c.from);
            Type(dialog, "yearToEdit", c.to);
            Confirm(dialog);
            std::vector<std::string> args{"intermittent"};
            for (const auto& [option, value] :
                 {std::pair{"--duty", c.duty}, {"--age-from", c.from}, {"--age-to", c.to}})
                if (!value.isEmpty()) args.insert(args.end(), {option, value.toStdString()});
            const auto [out, err] = Cli(args);
            const std::string shown = Shown(dialog, {"totalEdit", "correctEdit", "correctRateEdit"},
                                            {"Total", "Correct", "Correct rate"});
            QCOMPARE(err.empty(), c.collected);
            if (c.collected) {
                QCOMPARE(shown, out);
                QVERIFY(prompter.messages.empty());
            } else {  // nothing counted: empty outputs and the same message
                QCOMPARE(out, std::string("Total,Correct,Correct rate\n"));
                QCOMPARE(shown, std::string("Total,Correct,Correct rate\n,,\n"));
                QCOMPARE(prompter.MessageTexts(), QStringList{analysis::kNoResultCollected});
            }
        }
    }

    void theTrainingWindowShowsTheCommandLinesTable() {
        for (const int step : {2, 4}) {
            FakePrompter prompter;
            CTrainingAnalysis dialog(*db_, prompter);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Training result analysis"));
            Type(dialog, "subjectIdEdit", QString::number(subject_));
            Type(dialog, "testStepEdit", QString::number(step));
            Confirm(dialog);
            const auto [out, err] = Cli({"training", "--subject", std::to_string(subject_),
                                         "--step", std::to_string(step)});
            QCOMPARE(Shown(dialog,
                           {"subjectNameEdit", "separationThresholdEdit", "hearingThresholdEdit",
                            "separationTimeEdit", "hearingTimeEdit", "notSeparationTimeEdit",
                            "notHearingTimeEdit"},
                           analysis::TrainingCaptions()),
                     out);
            QCOMPARE(prompter.MessageTexts().join('\n') + '\n', QString::fromStdString(err));
            // Step 2 finds every passing answer; step 4 none of them.
            QCOMPARE(prompter.MessageTexts().join('\n').count(QStringLiteral("is not found!")),
                     step == 2 ? 0 : 24);
        }
    }

    void whatIsNotANumberIsRefused() {
        const struct {
            const char* edit;
            QString text;
            const char* reason;
        } cases[] = {
            {"dutyCycleEdit", "0.5 OR 1=1", "The duty cycle must be a number"},
            {"yearFromEdit", "1950; DROP TABLE BasicRecord; --", "The lower bound"},
            {"yearToEdit", "(SELECT 1)", "The upper bound"},
        };
        const qint64 trials =
            db_->Query({"SELECT COUNT(*) FROM BasicRecord", {}}).value[0].At(0).toLongLong();
        for (const auto& c : cases) {
            FakePrompter prompter;
            CIntermittentAnalyse dialog(*db_, prompter);
            Type(dialog, c.edit, c.text);
            Confirm(dialog);
            QCOMPARE(prompter.messages.size(), std::size_t{1});
            QVERIFY2(prompter.messages[0].text.startsWith(c.reason),
                     qPrintable(prompter.messages[0].text));
            QVERIFY(dialog.findChild<QLineEdit*>("totalEdit")->text().isEmpty());
        }
        FakePrompter prompter;
        CTrainingAnalysis dialog(*db_, prompter);
        Type(dialog, "subjectIdEdit", "1 OR 1=1");
        Type(dialog, "testStepEdit", "3");
        Confirm(dialog);
        QCOMPARE(prompter.MessageTexts(),
                 QStringList{"The subject ID must be a whole number, not '1 OR 1=1'"});
        QCOMPARE(db_->Query({"SELECT COUNT(*) FROM BasicRecord", {}}).value[0].At(0).toLongLong(),
                 trials);
    }
};

QTEST_MAIN(AnalysisWindowsTest)
#include "AnalysisWindowsTest.moc"
