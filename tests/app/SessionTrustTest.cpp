// Sessions whose stored data can be trusted, through the real windows with
// the virtual sound output on a manual clock: what is refused before it is
// written, trials that cannot play, the result window, the age evaluated
// and the station log.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/StationLog.h"
#include "app/battery/AutoTest1.h"
#include "app/battery/TestDispatcher.h"
#include "core/registry/Mappings.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

/** A sound output with no device behind it: it never opens. */
class NoDevice final : public audio::SoundOutput {
  public:
    bool Open(const WaveFormat&, uint32_t) override { return false; }
    bool IsOpen() const override { return false; }
    bool Write(const uint8_t*, std::size_t) override { return false; }
    void Pause() override {}
    void Resume() override {}
    void Stop() override {}
    uint64_t PositionBytes() const override { return 0; }
    bool Done() const override { return true; }
    void SetDoneCallback(DoneCallback) override {}
    void Close() override {}
};

/** Notes whether the test window was hidden when a result window showed. */
class ResultWatch final : public QObject {
  public:
    explicit ResultWatch(const QWidget& test) : test_(test) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->inherits("kestrune::app::COutput"))
            testHidden = !test_.isVisible();
        return false;
    }
    bool testHidden = false;

  private:
    const QWidget& test_;
};

CAutoTest6* ModalTest() {
    return qobject_cast<CAutoTest6*>(QApplication::activeModalWidget());
}

/** From the directions to the first trial. */
bool Begin(CAutoTest6& test) {
    return ClickWhenReady(test.Directions(), "nextButton") && ClickWhenReady(&test, "startButton");
}

}  // namespace

class SessionTrustTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CMainTestPanel> panel_;

    QString Path(const char* name) const { return folder_->filePath(QString::fromLatin1(name)); }

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_->path()};
    }

    qint64 Rows(const char* table) { return station_->Count(QString::fromLatin1(table)); }

    qint64 AddSubjectBornIn1962() {
        return store::SubjectRegistry(station_->Db())
            .Add({0, QStringLiteral("Sato"), 'F', 1962, 0, 6, QString()})
            .value;
    }

    /** Answers "わからない" until the run is over and its end shown. */
    bool AnswerAll(CAutoTest6& test) {
        while (!test.Session()->Over()) {
            Trial trial;
            if (!AnswerTrial(test, bench_->clock, bench_->output, Listener{}, &trial)) return false;
        }
        return QTest::qWaitFor([&] { return test.Ended(); });
    }

    /** Plays a practice run from the panel; `drive` runs inside it. */
    void Practice(const std::function<void(CAutoTest6&)>& drive) {
        QTimer::singleShot(0, this, [&] {
            if (CAutoTest6* test = ModalTest()) drive(*test);
        });
        Click(Controls{panel_.get()}.Button("practiceButton"));
    }

  private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(WriteSessionKit(folder_->path()));
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        panel_ = MakePanel(station_->Db(), *prompter_, *bench_, folder_->path());
        panel_->show();
    }

    void cleanup() {
        panel_.reset();
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    // A scenario the vowel test cannot use (which ones is the core's rule)
    // stops the practice at load: a message, the panel back, nothing stored.
    void practiceRefusedBeforeAnythingIsWritten() {
        const QString path = Path("configtry.ini");
        QFile scenario(path);
        QVERIFY(scenario.open(QIODevice::ReadOnly));
        QVERIFY(WriteKitFile(path, scenario.readAll().replace("TYPE=TRY", "TYPE=try")));
        Practice([](CAutoTest6& test) { test.reject(); });  // not reached when refused
        QVERIFY(panel_->isVisible());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList{QStringLiteral("Loading configuration file failed!\n[DATA] TYPE=try: "
                                            "must be TEST, MAKEUP, TRY or TRAIN")});
        QCOMPARE(Rows("IndividualInfo"), 1);  // the practice subject only
        QCOMPARE(Rows("NewSyllableMaskRecord"), 0);
        QVERIFY(!QDir(Path("Data")).exists());
    }

    void aRecordingRemovedDuringTheTestTakesNoAnswer() {
        CAutoTest6 test(Services(), VowelTestSetup{7, 2, 40, Path("config2.ini"), QString()});
        QVERIFY(test.Loaded());
        test.show();
        // Every pair of the scenario has あ, う or お as one of its vowels.
        for (const char* wave : {"sound/1.wav", "sound/3.wav", "sound/5.wav"})
            QVERIFY(QFile::rename(Path(wave), Path(wave) + QStringLiteral(".away")));
        Controls ui{&test};
        Click(ui.Button("startButton"));
        QTRY_COMPARE(prompter_->messages.size(), std::size_t{1});
        const int pair = test.Session()->CurrentPair();
        const bool maskedGone =
            !QFile::exists(folder_->filePath(QStringLiteral("sound/%1.wav").arg(pair % 5 + 1)));
        QCOMPARE(prompter_->MessageTexts().front(),
                 QStringLiteral("Invalid path or file name!\n%1 wave file can not be opened!")
                     .arg(maskedGone ? "Masked" : "Masking"));
        QVERIFY(!test.Playing());
        QVERIFY(!ui.Button("confirmButton")->isEnabled());
        QVERIFY(!ui.Button("dontKnowButton")->isEnabled());
        QTest::keyClick(&test, Qt::Key_L);  // "わからない" by key: nothing either
        QCOMPARE(Rows("NewSyllableMaskRecord"), 0);
        // Once the recordings are back, "開始" plays the same trial.
        for (const char* wave : {"sound/1.wav", "sound/3.wav", "sound/5.wav"})
            QVERIFY(QFile::rename(Path(wave) + QStringLiteral(".away"), Path(wave)));
        Click(ui.Button("startButton"));
        QTRY_VERIFY(ui.Button("dontKnowButton")->isEnabled() && test.Playing());
        QCOMPARE(test.Session()->CurrentPair(), pair);
        Click(ui.Button("dontKnowButton"));
        QCOMPARE(Rows("NewSyllableMaskRecord"), 1);
        prompter_->answers = {true};
    }

    void noSoundSaysAudioOutputError_data() {
        QTest::addColumn<bool>("launcher");
        QTest::newRow("a device that does not open") << false;
        QTest::newRow("a launcher without sound") << true;
    }
    void noSoundSaysAudioOutputError() {
        QFETCH(bool, launcher);
        NoDevice none;
        if (launcher) {
            UnavailableTestDispatcher dispatcher(*prompter_);
            auto chooser = MakeScenarioFileChooser();
            CAutoTest1 window(station_->Db(), *prompter_, *chooser, dispatcher);
            window.show();
            Controls ui{&window};
            Type(ui.Edit("idEdit"), QString::number(AddSubjectBornIn1962()));
            Type(ui.Edit("pathEdit"), Path("configtry.ini"));
            Click(ui.Get<QWidget>("evaluation3"));
            Click(ui.Button("startButton"));
        } else {
            panel_ = MakePanel(station_->Db(), *prompter_, *bench_, folder_->path(), &none);
            panel_->show();
            bool reported = false;
            Practice([&](CAutoTest6& test) {
                reported =
                    Begin(test) && QTest::qWaitFor([&] { return !prompter_->messages.empty(); });
                test.reject();
            });
            panel_.reset();
            QVERIFY(reported);
        }
        QCOMPARE(prompter_->MessageTexts(), QStringList{QStringLiteral("Audio output error!")});
    }

    void anAnswerLetsTheRepetitionAlreadySentPlayOut() {
        CAutoTest6 test(Services(), VowelTestSetup{7, 2, 40, Path("config2.ini"), QString()});
        test.show();
        Controls ui{&test};
        Click(ui.Button("startButton"));
        QTRY_VERIFY(ui.Button("dontKnowButton")->isEnabled() && test.Playing());
        QVERIFY(bench_->clock.WaitForSleepers(1));  // the first repetition is on the device
        bench_->clock.AdvanceMs(10);                // 80 of its 400 frames heard
        Click(ui.Button("dontKnowButton"));
        bench_->clock.AdvanceMs(60);  // the rest of it, had it not been cut off
        // That repetition whole, and only that one: the second was never sent.
        std::size_t stimulusFrames = 0;
        for (const auto& segment : bench_->output.Heard())
            if (segment.rate == 8000) stimulusFrames += segment.Frames();
        QCOMPARE(stimulusFrames, std::size_t(kKitSamples));
        prompter_->answers = {true};
    }

    // The window hides for the result window and comes back, whether the
    // panel's practice or the launcher opened it; the launcher evaluates
    // the age of the subject born in 1962.
    void theTestWindowComesBackAfterTheResult_data() {
        QTest::addColumn<bool>("launcher");
        QTest::newRow("practice") << false;
        QTest::newRow("launcher") << true;
    }
    void theTestWindowComesBackAfterTheResult() {
        QFETCH(bool, launcher);
        const qint64 subject = AddSubjectBornIn1962();
        int age = 0, subjectId = 0;
        bool panelHidden = false, hiddenForResult = false;
        bool backAfterResult = false;
        QTimer::singleShot(0, this, [&] {
            CAutoTest6* test = ModalTest();
            if (test == nullptr || !Begin(*test)) return;
            panelHidden = !panel_->isVisible();
            subjectId = test->Setup().subjectId;
            age = test->Setup().age;
            ResultWatch watch(*test);
            if (!AnswerAll(*test)) return;
            hiddenForResult = watch.testHidden;
            // Leaves the run to itself: the window must come back after the result.
            QTimer::singleShot(0, this, [&] {
                backAfterResult = QTest::qWaitFor([] {
                    CAutoTest6* again = ModalTest();
                    return again != nullptr && again->isVisible() && again->Ended();
                });
                if (CAutoTest6* again = ModalTest()) again->reject();
            });
        });
        if (launcher) {
            BatteryTestDispatcher(Services())
                .Run(TestKind::VowelDiscrimination,
                     TestStart{static_cast<int>(subject), Path("configtry.ini"), 3}, nullptr);
            QCOMPARE(age, AgeForBirthYear(LocalYear(bench_->clock.Now()), 1962));
        } else {
            Click(Controls{panel_.get()}.Button("practiceButton"));
            QVERIFY(panelHidden);  // it makes way for the practice and comes back
            QVERIFY(panel_->isVisible());
        }
        QCOMPARE(subjectId, launcher ? int(subject) : 1);
        QVERIFY(hiddenForResult);
        QVERIFY(backAfterResult);
    }

    void anAgeCorrectedAcross45BeforeTheFirstAnswerTakesItsOwnScenario() {
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 45));
        QCOMPARE(panel_->SessionTest()->Setup().scenarioPath, Path("config1.ini"));
        QVERIFY(ClickWhenReady(panel_->SessionDirections(), "backButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 46));
        QCOMPARE(panel_->SessionTest()->Setup().scenarioPath, Path("config2.ini"));
        QCOMPARE(panel_->SessionTest()->Setup().age, 46);
        QVERIFY(panel_->SessionDirections()->isVisible());
        QCOMPARE(Rows("IndividualInfo"), 2);  // corrected, not registered twice
        prompter_->answers = {true};
    }

    void theStationLogTellsWhatHappened() {
        QVERIFY(InstallStationLog(folder_->path(), 4096));
        Practice([&](CAutoTest6& test) {
            Trial trial;
            if (!Begin(test) ||
                !AnswerTrial(test, bench_->clock, bench_->output, Listener{}, &trial))
                return;
            prompter_->answers = {true};
            test.reject();
        });
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 40));
        prompter_->answers = {true};
        panel_->SessionTest()->reject();
        RemoveStationLog();
        QFile file(StationLogPath(folder_->path()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromUtf8(file.readAll());
        for (const QString& expected :
             {QStringLiteral("practice started: ") + Path("configtry.ini"),
              QStringLiteral("vowel test opened: subject 1 scenario ") + Path("configtry.ini"),
              QStringLiteral("stimulus played at 2023-"), QStringLiteral("level 0 repetitions"),
              QStringLiteral("answer stored: subject 1 at 2023-"), QStringLiteral("practice ended"),
              QStringLiteral("session started"), QStringLiteral("subject registered: key 2"),
              QStringLiteral("session ended")})
            QVERIFY2(log.contains(expected), qPrintable(expected + QStringLiteral("\n") + log));

        // A full log is moved aside and a new one begun.
        QVERIFY(InstallStationLog(folder_->path(), 300));
        for (int i = 0; i < 10; ++i) qCInfo(lcSession) << "line" << i;
        RemoveStationLog();
        QVERIFY(QFileInfo(StationLogPath(folder_->path())).size() <= 300);
        QVERIFY(QFile::exists(StationLogPath(folder_->path()) + QStringLiteral(".1")));
    }
};

QTEST_MAIN(SessionTrustTest)
#include "SessionTrustTest.moc"