// The kana analysis windows driven through their fields and buttons on a
// station database of generated trials: what the list shows is what
// kestrune-cli's "analyse kana" writes for the same fields.

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <random>
#include <sstream>

#include "AppTestSupport.h"
#include "app/analysis/KanaAnalyses.h"
#include "app/analysis/ResultTableView.h"
#include "cli/Commands.h"
#include "core/kana/KanaTable.h"
#include "store/Results.h"

namespace kestrune::app::testing {

class KanaAnalysisTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<store::Database> db_;

    QString Path() const { return dir_.filePath(QStringLiteral("TestData.db")); }

    // What the command line writes for the fields, or its error line.
    std::string Cli(const std::vector<std::string>& words) {
        std::vector<std::string> args = {"--database", "sqlite://" + Path().toStdString(),
                                         "analyse"};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = cli::Run(args, out, err);
        return status == cli::kExitOk ? out.str()
                                      : "exit " + std::to_string(status) + ": " + err.str();
    }

  private slots:
    void initTestCase() {
        QString error;
        db_ = store::Database::Open(store::DatabaseLocation::StationFile(dir_.path()), &error);
        QVERIFY2(db_, qPrintable(error));
        std::mt19937 random(3);
        for (int item = 0; item < 6; ++item) {
            store::SessionItemRow row{1, 0, 0, 2, 50};
            row.dutyCycle = 0.25 * (item % 4);
            const qint64 srid = store::StartSessionItem(*db_, row).value;
            QVERIFY(srid > 0);
            for (int i = 0; i < row.number; ++i) {
                const std::string kana[] = {"お", SyllableToKana(1 + random() % kKanaCount)};
                const QString played = QString::fromStdString(kana[random() % 2]);
                const QString answered = random() % 3 ? played : QString::fromStdString(kana[1]);
                QVERIFY(store::AddTrial(*db_, {1, srid, QStringLiteral("2024-05-01 10:00:00"), 1.0,
                                               played, answered, QString()})
                            .Ok());
            }
            QVERIFY(store::FinishSessionItem(*db_, srid, 10, row.number, item == 5 ? 0 : 1).Ok());
        }
    }

    void listEqualsTheCommandLinesTable() {
        // The window (0 kana data, 1 segment, 2 row) and its fields.
        const struct {
            int kind;
            QString kana, from, to, other;
        } cases[] = {{0, "お", "", "", "StatisticalRecord.SRValidity=1"},
                     {0, "お", "0.25", "", ""},
                     {1, "", "", "0.5", "StatisticalRecord.SRValidity=1"},
                     {2, "", "0", "0.75", "BRRecognise <> 'お'"}};
        for (const auto& c : cases) {
            FakePrompter prompter;
            std::unique_ptr<CKanaAnalysisDlg> window;
            if (c.kind == 0) window = std::make_unique<CSydataanalyse>(db_.get(), prompter);
            if (c.kind == 1) window = std::make_unique<CSysegmentanalyse>(db_.get(), prompter);
            if (c.kind == 2) window = std::make_unique<CSyrowanalyse>(db_.get(), prompter);
            QVERIFY(Show(window.get()));
            const QString fields[] = {c.kana, c.from, c.to, c.other};
            const char* names[] = {"kanaEdit", "dutyFromEdit", "dutyToEdit", "otherEdit"};
            for (int f = c.kind == 0 ? 0 : 1; f < 4; ++f)
                Type(window->findChild<QLineEdit*>(QString::fromLatin1(names[f])), fields[f]);
            QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("okButton")),
                              Qt::LeftButton);
            QVERIFY2(prompter.messages.empty(), qPrintable(prompter.MessageTexts().join('|')));
            const analysis::ResultTable listed =
                ListedTable(window->findChild<QTreeWidget*>(QStringLiteral("resultList")));
            QVERIFY(listed.rows.size() > 5);
            for (std::size_t col = 0; col < listed.widths.size(); ++col)
                QVERIFY(listed.widths[col] >= window->Table().widths.at(col));
            const std::vector<std::string> what[] = {
                {"kana", c.kana.toStdString()}, {"segment"}, {"row"}};
            std::vector<std::string> words = what[c.kind];
            words.insert(words.end(), {"--duty-from", c.from.toStdString(), "--duty-to",
                                       c.to.toStdString(), "--where", c.other.toStdString()});
            QCOMPARE(QString::fromStdString(analysis::ToCsv(listed)),
                     QString::fromStdString(Cli(words)));
        }
    }

    void headerClicksSortTheKanaListByCount() {
        FakePrompter prompter;
        CSydataanalyse window(db_.get(), prompter);
        QVERIFY(Show(&window));
        window.findChild<QLineEdit*>(QStringLiteral("kanaEdit"))->setText(QStringLiteral("お"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton);
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("resultList"));
        const auto counts = [&] {
            std::vector<int> read;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                read.push_back(list->topLevelItem(i)->text(1).toInt());
            return read;
        };
        std::vector<int> ascending = counts();
        std::stable_sort(ascending.begin(), ascending.end());
        // Two clicks on the header's "回数".
        const auto click = [&](int section) {
            QHeaderView* header = list->header();
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        click(1);
        QCOMPARE(counts(), ascending);
        click(1);
        QCOMPARE(counts(), std::vector<int>(ascending.rbegin(), ascending.rend()));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Total"));
    }
};

}  // namespace kestrune::app::testing

QTEST_MAIN(kestrune::app::testing::KanaAnalysisTest)
#include "KanaAnalysisTest.moc"
