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
                                         "analyse", "kana"};
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
                const QString played = QString::fromStdString(
                    random() % 2 ? std::string("お") : SyllableToKana(1 + random() % kKanaCount));
                const QString answered =
                    random() % 3
                        ? played
                        : QString::fromStdString(SyllableToKana(1 + random() % kKanaCount));
                QVERIFY(store::AddTrial(*db_, {1, srid, QStringLiteral("2024-05-01 10:00:00"), 1.0,
                                               played, answered, QString()})
                            .Ok());
            }
            QVERIFY(store::FinishSessionItem(*db_, srid, 10, row.number, item == 5 ? 0 : 1).Ok());
        }
    }

    void listEqualsTheCommandLinesTable_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("kana");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("other");
        QTest::newRow("お, default") << 0 << "お"
                                     << ""
                                     << ""
                                     << "StatisticalRecord.SRValidity=1";
        QTest::newRow("お from 0.25") << 0 << "お"
                                      << "0.25"
                                      << ""
                                      << "";
        QTest::newRow("segment") << 1 << ""
                                 << ""
                                 << "0.5"
                                 << "StatisticalRecord.SRValidity=1";
        QTest::newRow("row") << 2 << ""
                             << "0"
                             << "0.75"
                             << "BRRecognise <> 'お'";
    }
    void listEqualsTheCommandLinesTable() {
        QFETCH(int, kind);
        QFETCH(QString, kana);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, other);
        FakePrompter prompter;
        std::unique_ptr<CKanaAnalysisDlg> window;
        std::vector<std::string> words = {kind == 1   ? "segment"
                                          : kind == 2 ? "row"
                                                      : kana.toStdString(),
                                          "--where", other.toStdString()};
        if (!from.isEmpty()) words.insert(words.end(), {"--duty-from", from.toStdString()});
        if (!to.isEmpty()) words.insert(words.end(), {"--duty-to", to.toStdString()});
        if (kind == 0) window = std::make_unique<CSydataanalyse>(db_.get(), prompter);
        if (kind == 1) window = std::make_unique<CSysegmentanalyse>(db_.get(), prompter);
        if (kind == 2) window = std::make_unique<CSyrowanalyse>(db_.get(), prompter);
        QVERIFY(Show(window.get()));
        const auto type = [&](const char* name, const QString& text) {
            auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name));
            QVERIFY(edit);
            Type(edit, text);
        };
        if (kind == 0) type("kanaEdit", kana);
        type("dutyFromEdit", from);
        type("dutyToEdit", to);
        type("otherEdit", other);
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton);
        QVERIFY2(prompter.messages.empty(), qPrintable(prompter.MessageTexts().join('|')));
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("resultList"));
        const analysis::ResultTable listed = ListedTable(list);
        QVERIFY(listed.rows.size() > 5);
        for (std::size_t c = 0; c < listed.widths.size(); ++c)
            QVERIFY(listed.widths[c] >= window->Table().widths.at(c));
        QCOMPARE(QString::fromStdString(analysis::ToCsv(listed)),
                 QString::fromStdString(Cli(words)));
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
        const std::vector<int> unsorted = counts();
        // Clicks on the sections of the header: 回数, 回数 again, the kana column.
        const auto click = [&](int section) {
            QHeaderView* header = list->header();
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        click(1);
        std::vector<int> ascending = unsorted;
        std::stable_sort(ascending.begin(), ascending.end());
        QCOMPARE(counts(), ascending);
        click(1);
        QCOMPARE(counts(), std::vector<int>(ascending.rbegin(), ascending.rend()));
        click(0);
        QCOMPARE(counts(), std::vector<int>(ascending.rbegin(), ascending.rend()));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Total"));
    }

    void refusalsAndEmptyResultsAreMessagesBothWays() {
        const struct {
            QString kana, from, other, message;
        } cases[] = {
            {"ぽ", "", "SRValidity=1 AND BRContent='x'", "No result was collected!"},
            {"お", "0.25 OR 1=1", "", "The start duty cycle must be a number, not \"0.25 OR 1=1\""},
            {"お", "", "1=1; DROP TABLE BasicRecord",
             "Not understood in the other condition at \"; DROP TABLE Bas\": ';' is not part of a "
             "condition"},
        };
        for (const auto& c : cases) {
            FakePrompter prompter;
            CSydataanalyse window(db_.get(), prompter);
            window.findChild<QLineEdit*>(QStringLiteral("kanaEdit"))->setText(c.kana);
            window.findChild<QLineEdit*>(QStringLiteral("dutyFromEdit"))->setText(c.from);
            window.findChild<QLineEdit*>(QStringLiteral("otherEdit"))->setText(c.other);
            window.Run();
            QCOMPARE(prompter.MessageTexts(), QStringList{c.message});
            QCOMPARE(
                window.findChild<QTreeWidget*>(QStringLiteral("resultList"))->topLevelItemCount(),
                0);
            const std::string cli = Cli({c.kana.toStdString(), "--duty-from", c.from.toStdString(),
                                         "--where", c.other.toStdString()});
            QVERIFY2(QString::fromStdString(cli).startsWith("exit 2: ") &&
                         QString::fromStdString(cli).contains(c.message),
                     cli.c_str());
        }
    }
};

}  // namespace kestrune::app::testing

QTEST_MAIN(kestrune::app::testing::KanaAnalysisTest)
#include "KanaAnalysisTest.moc"
