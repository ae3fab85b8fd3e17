// Analyse → Intermittent analyse and Trainging result analyse: the windows,
// filled in and confirmed, show the table the command line writes for the
// same parameters, with the same messages.

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
#include "core/analysis/Training.h"
#include "store/Results.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class AnalysisWindowsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    store::DatabaseLocation where_ = store::DatabaseLocation::StationFile(dir_.path());
    std::unique_ptr<store::Database> db_;
    std::string cliRow_;  ///< the row the last command wrote, "" for none

    // Fills the window's edits, confirms, and compares its outputs (the
    // read-only edits, in the table's column order) and messages with what
    // `kestrune-cli analyse ARGS` writes.
    template <typename Dialog>
    void Compare(const std::vector<std::pair<const char*, std::string>>& edits,
                 std::vector<std::string> args) {
        FakePrompter prompter;
        Dialog dialog(*db_, prompter);
        for (const auto& [edit, text] : edits)
            dialog.template findChild<QLineEdit*>(edit)->setText(QString::fromStdString(text));
        QTest::mouseClick(dialog.template findChild<QPushButton*>("confirmButton"), Qt::LeftButton);
        std::vector<std::string> row;
        for (const QLineEdit* edit : dialog.template findChildren<QLineEdit*>())
            if (edit->isReadOnly()) row.push_back(edit->text().toStdString());
        args.insert(args.begin(), {"--database", "sqlite://" + where_.sqlitePath.toStdString()});
        std::ostringstream out, err;
        QCOMPARE(cli::Run(args, out, err), cli::kExitOk);
        // A table without rows (nothing counted) leaves every output empty.
        cliRow_ = out.str().substr(out.str().find('\n') + 1);
        QCOMPARE(analysis::ToCsv({{}, {}, {row}}).substr(1),
                 cliRow_.empty() ? std::string(row.size() - 1, ',') + "\n" : cliRow_);
        QCOMPARE(prompter.MessageTexts().join('\n'), QString::fromStdString(err.str()).trimmed());
    }

  private slots:
    void initTestCase() {
        QString error;
        db_ = store::Database::Open(where_, &error);
        QVERIFY2(db_, qPrintable(error));
        store::SubjectRegistry subjects(*db_);
        const qint64 subject =
            subjects.Add({.name = "Suzuki, \"Ichiro\"", .birthYear = 1960}).value;
        QCOMPARE(subject, 2);
        std::mt19937 random(5);
        const char* kana[] = {"か", "が", "あ", "き", "ぎ", "きゃ"};
        for (int item = 0; item < 4; ++item) {
            store::SessionItemRow row{.subjectId = subject, .type = 2, .number = 10};
            row.dutyCycle = item % 2 ? 0.5 : 0.25;
            const qint64 srid = store::StartSessionItem(*db_, row).value;
            for (int trial = 0; trial < 10; ++trial)
                store::AddTrial(*db_,
                                {subject, srid, {}, 1.0, kana[random() % 6], kana[random() % 6]});
            store::FinishSessionItem(*db_, srid, 20, 10, 1 + item % 2);
        }
        store::VowelAnswerRow answer{.subjectId = subject, .validity = 1};
        for (const std::string& masking : analysis::TrainingVowels()) {
            for (const std::string& masked : analysis::TrainingVowels()) {
                if (masking == "う" && masked == "お") continue;  // never ended
                answer.maskingContent = QString::fromStdString(masking);
                answer.maskedContent = QString::fromStdString(masked);
                answer.snr = -30 + static_cast<int>(random() % 20);
                for (const double state : {0.0, 1.0}) {
                    answer.snr += static_cast<int>(state) * 2;  // the passing answer 2 dB up
                    answer.state = state;
                    answer.duration = QString::asprintf("%3.2f", random() % 300 / 100.0);
                    QVERIFY(store::AddVowelAnswer(*db_, answer).Ok());
                }
            }
        }
    }

    void theWindowsShowTheCommandLinesTables() {
        Compare<CIntermittentAnalyse>(
            {{"dutyCycleEdit", "0.5"}, {"yearFromEdit", "1950"}, {"yearToEdit", "1970"}},
            {"analyse", "intermittent", "--duty", "0.5", "--age-from", "1950", "--age-to", "1970"});
        QVERIFY(!cliRow_.empty());
        Compare<CIntermittentAnalyse>({}, {"analyse", "intermittent"});
        Compare<CIntermittentAnalyse>(
            {{"dutyCycleEdit", "0.25"}, {"yearToEdit", "1959"}},
            {"analyse", "intermittent", "--duty", "0.25", "--age-to", "1959"});
        QVERIFY(cliRow_.empty());
        for (const char* step : {"2", "4"})  // 2 finds every passing answer, 4 none
            Compare<CTrainingAnalysis>({{"subjectIdEdit", "2"}, {"testStepEdit", step}},
                                       {"analyse", "training", "--subject", "2", "--step", step});
    }
};

QTEST_MAIN(AnalysisWindowsTest)
#include "AnalysisWindowsTest.moc"
