// A measured session on a PostgreSQL server that goes away in the middle of
// it and comes back: the session goes on, the answers given meanwhile wait
// in the station's answer journal, and afterwards every answer is in the
// table exactly once, in the order it was given; the experimenter gets one
// notice, after the result window. The test owns its server (a throwaway
// cluster on KESTRUNE_TEST_PG_PORT, else on a free port) so it can stop it.

#include <QApplication>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "core/battery/VowelDiscrimination.h"
#include "core/util/Clock.h"
#include "store/AnswerJournal.h"
#include "support/PgCluster.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class SessionJournalTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<kestrune::testing::PgCluster> cluster_;

    static QStringList JournalNotices(const FakePrompter& prompter) {
        QStringList notices;
        for (const QString& text : prompter.MessageTexts())
            if (text.contains(QStringLiteral("answer journal"))) notices << text;
        return notices;
    }

  private slots:
    void initTestCase() {
        if (kestrune::testing::PgCluster::BinDir().isEmpty())
            QSKIP("PostgreSQL server programs not found under /usr/lib/postgresql");
        const int port = qEnvironmentVariableIsSet("KESTRUNE_TEST_PG_PORT")
                             ? qEnvironmentVariableIntValue("KESTRUNE_TEST_PG_PORT")
                             : 0;
        cluster_ = std::make_unique<kestrune::testing::PgCluster>(port);
        QVERIFY2(cluster_->Ok(), qPrintable(cluster_->Error()));
        QVERIFY2(cluster_->Start(), qPrintable(cluster_->Error()));
        QVERIFY2(cluster_->CreateDatabase(QStringLiteral("kestrune_session")),
                 qPrintable(cluster_->Error()));
    }

    void cleanupTestCase() { cluster_.reset(); }

    void answersGivenWhileTheServerIsAwayLandOnceInOrder() {
        QTemporaryDir folder;
        QVERIFY(WriteSessionKit(folder.path()));
        QString error;
        auto db =
            store::Database::Open(cluster_->Location(QStringLiteral("kestrune_session")), &error);
        QVERIFY2(db, qPrintable(error));
        FakeClock storeClock(1'700'000'000, 0);  // the reconnection back-off's
        db->SetClock(storeClock);
        FakePrompter prompter;
        SoundBench bench;
        auto panel = MakePanel(*db, prompter, bench, folder.path());
        panel->show();
        Click(Controls{panel.get()}.Button("sessionButton"));
        QVERIFY(RegisterSubject(*panel, QStringLiteral("Yamada"), 40));
        CAutoTest6* test = panel->SessionTest();
        QVERIFY(test != nullptr);
        QVERIFY(ClickWhenReady(panel->SessionDirections(), "nextButton"));
        QVERIFY(ClickWhenReady(test, "startButton"));

        std::vector<Trial> trials;
        auto answer = [&] {
            Trial trial;
            if (!AnswerTrial(*test, bench.clock, bench.output, kKitListener, &trial)) return false;
            trials.push_back(trial);
            return true;
        };
        for (int k = 0; k < 3; ++k) QVERIFY(answer());
        QVERIFY2(cluster_->Stop(), qPrintable(cluster_->Error()));
        for (int k = 0; k < 4; ++k) QVERIFY(answer());  // the subject goes on
        const store::AnswerJournal journal(store::AnswerJournal::PathIn(folder.path()));
        QCOMPARE(journal.Read().entries.size(), std::size_t{4});
        QCOMPARE(test->JournaledAnswers(), 4);
        QVERIFY(JournalNotices(prompter).isEmpty());  // nothing in front of the subject

        QVERIFY2(cluster_->Start(), qPrintable(cluster_->Error()));
        storeClock.AdvanceMs(store::Database::kReconnectBackoffMs);
        while (!test->Session()->Over()) {
            QVERIFY(answer());
            QVERIFY(trials.size() < 40);
        }
        QTRY_VERIFY(test->Ended());
        QTRY_VERIFY(test->isVisible());  // again, after the result window
        QVERIFY(!QFile::exists(journal.path()));
        QVERIFY(db->ReconnectAttempts() >= 1);

        // One notice for the run, and it says nothing is waiting any more.
        const QStringList notices = JournalNotices(prompter);
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].startsWith(QStringLiteral("4 answer(s) of this run")) &&
                     notices[0].endsWith(QStringLiteral("All of them have since been written.")),
                 qPrintable(notices[0]));

        // Every answer once, in the order given (the table's physical order:
        // it only ever had rows appended), each with an id of its own.
        const auto rows = db->Query(
            {QStringLiteral("SELECT NSMRMaskingContent, NSMRMaskedContent, NSMRSNR, NSMRUid "
                            "FROM NewSyllableMaskRecord ORDER BY ctid"),
             {}});
        QVERIFY2(rows.Ok(), rows.Ok() ? "" : qPrintable(rows.error->Text()));
        QCOMPARE(rows.value.size(), trials.size());
        QSet<QString> ids;
        for (std::size_t k = 0; k < trials.size(); ++k) {
            const store::Row& row = rows.value[k];
            QCOMPARE(row.Text("NSMRMaskingContent"),
                     QString::fromUtf8(VowelLabel(trials[k].masking)));
            QCOMPARE(row.Text("NSMRMaskedContent"),
                     QString::fromUtf8(VowelLabel(trials[k].masked)));
            QCOMPARE(row.Int("NSMRSNR"), trials[k].level);
            ids.insert(row.Text("NSMRUid"));
        }
        QCOMPARE(ids.size(), qsizetype(trials.size()));
        QVERIFY(!ids.contains(QString()));

        prompter.answers = {true};
        Click(Controls{test}.Button("backButton"));
        panel.reset();
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }
};

QTEST_MAIN(SessionJournalTest)
#include "SessionJournalTest.moc"
