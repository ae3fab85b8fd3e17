// Sessions whose stored data can be trusted, through the real windows on the
// offscreen platform with the virtual sound output on a manual clock: a
// scenario the test cannot run is refused before anything is written, a
// trial that cannot play takes no answer, a device that does not open is
// reported, an answer lets the repetition already sent play out, the test
// window comes back after the result window, the launcher evaluates the
// subject's age (not the year of birth), a corrected age picks its own
// scenario, the practice subject stays as it is, and the station log tells
// what happened.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/IndividualInformation.h"
#include "app/StationLog.h"
#include "app/battery/AutoTest1.h"
#include "app/battery/TestDispatcher.h"
#include "audio/VirtualOutput.h"
#include "core/registry/Mappings.h"
#include "core/util/Random.h"
#include "sheet/SpreadSheet.h"
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

/** Scenario lines of the kit replaced: `key=old` becomes `key=new`. */
bool Rewrite(const QString& path, const QByteArray& from, const QByteArray& to) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = file.readAll();
    file.close();
    if (!bytes.contains(from)) return false;
    bytes.replace(from, to);
    return WriteKitFile(path, bytes);
}

CAutoTest6* ModalTest() {
    return qobject_cast<CAutoTest6*>(QApplication::activeModalWidget());
}

}  // namespace

class SessionTrustTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<audio::ManualWaitClock> clock_;
    std::unique_ptr<audio::VirtualOutput> output_;
    std::unique_ptr<CrtRandom> random_;
    std::unique_ptr<ManualTimers> timers_;
    std::unique_ptr<CMainTestPanel> panel_;

    QString Path(const char* name) const { return folder_->filePath(QString::fromLatin1(name)); }

    void MakePanel(audio::SoundOutput* sound) {
        panel_ = std::make_unique<CMainTestPanel>(
            CMainTestPanel::Services{.db = station_->Db(),
                                     .prompter = *prompter_,
                                     .sound = sound,
                                     .clock = *clock_,
                                     .random = *random_,
                                     .stationFolder = folder_->path(),
                                     .timers = timers_.get()});
        panel_->show();
    }

    VowelTestServices Services(audio::SoundOutput& sound) {
        return VowelTestServices{station_->Db(), *prompter_,    sound,          *clock_,
                                 *random_,       timers_.get(), folder_->path()};
    }

    qint64 Rows(const char* table) {
        auto rows = station_->Db().Query(
            {QStringLiteral("SELECT COUNT(*) FROM ") + QString::fromLatin1(table), {}});
        if (!rows.Ok()) qFatal("%s", qPrintable(rows.error->Text()));
        return rows.value.front().At(0).toLongLong();
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
        QVERIFY(folder_->isValid());
        QVERIFY(WriteSessionKit(folder_->path()));
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        output_.reset();
        timers_ = std::make_unique<ManualTimers>();
        timers_->SetRunFreely(true);
        clock_ = std::make_unique<audio::ManualWaitClock>(1'700'000'000, 10'000);
        output_ = std::make_unique<audio::VirtualOutput>(*clock_);
        random_ = std::make_unique<CrtRandom>();
        MakePanel(output_.get());
    }

    void cleanup() {
        panel_.reset();
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    void aMissingRecordingStopsTheSessionBeforeAnythingIsWritten() {
        QVERIFY(QFile::remove(Path("sound/3.wav")));  // pair (2,3) of the measured scenario
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 40));
        const QString expected = QStringLiteral("Loading configuration file failed!\n") +
                                 Path("sound/3.wav") + QStringLiteral(" can not be opened");
        QCOMPARE(prompter_->MessageTexts(), QStringList{expected});
        QVERIFY(panel_->SessionTest() == nullptr);
        QVERIFY(panel_->EntryForm()->isVisible());  // the form keeps what was typed
        QCOMPARE(Rows("IndividualInfo"), 1);        // the practice subject only
        QCOMPARE(Rows("NewSyllableMaskRecord"), 0);
        QVERIFY(!QDir(Path("Data")).exists());
    }

    void aTypeTheTestCannotUseIsRefusedAtLoad() {
        QVERIFY(Rewrite(Path("configtry.ini"), "TYPE=TRY", "TYPE=try"));
        Practice([](CAutoTest6& test) { test.reject(); });  // not reached when refused
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList{QStringLiteral("Loading configuration file failed!\n[DATA] TYPE=try: "
                                            "must be TEST, MAKEUP, TRY or TRAIN")});
        QVERIFY(panel_->isVisible());
        QCOMPARE(Rows("NewSyllableMaskRecord"), 0);
    }

    void aRecordingRemovedDuringTheTestTakesNoAnswer() {
        VowelTestSetup setup{7, 2, 40, Path("config2.ini"), QString()};
        CAutoTest6 test(Services(*output_), setup);
        QVERIFY(test.Loaded());
        test.show();
        QVERIFY(QFile::rename(Path("sound/1.wav"), Path("sound/x.wav")));
        QVERIFY(QFile::rename(Path("sound/3.wav"), Path("sound/y.wav")));
        QVERIFY(QFile::rename(Path("sound/5.wav"), Path("sound/z.wav")));
        Controls ui{&test};
        Click(ui.Button("startButton"));
        QTRY_COMPARE(prompter_->messages.size(), std::size_t{1});
        QVERIFY(prompter_->MessageTexts().front().contains(QStringLiteral("can not be opened")));
        QVERIFY(!test.Playing());
        QVERIFY(!ui.Button("confirmButton")->isEnabled());
        QVERIFY(!ui.Button("dontKnowButton")->isEnabled());
        QTest::keyClick(&test, Qt::Key_L);  // "わからない" by key: nothing either
        QCOMPARE(Rows("NewSyllableMaskRecord"), 0);
        // Once the recordings are back, "開始" plays the same trial.
        const int pair = test.Session()->CurrentPair();
        QVERIFY(QFile::rename(Path("sound/x.wav"), Path("sound/1.wav")));
        QVERIFY(QFile::rename(Path("sound/y.wav"), Path("sound/3.wav")));
        QVERIFY(QFile::rename(Path("sound/z.wav"), Path("sound/5.wav")));
        QVERIFY(ui.Button("startButton")->isEnabled());
        Click(ui.Button("startButton"));
        QTRY_VERIFY(ui.Button("dontKnowButton")->isEnabled() && test.Playing());
        QCOMPARE(test.Session()->CurrentPair(), pair);
        Click(ui.Button("dontKnowButton"));
        QCOMPARE(Rows("NewSyllableMaskRecord"), 1);
        prompter_->answers = {true};
    }

    void aDeviceThatDoesNotOpenIsReported() {
        NoDevice none;
        MakePanel(&none);
        bool playing = false;
        Practice([&](CAutoTest6& test) {
            if (!ClickWhenReady(test.Directions(), "nextButton")) return;
            if (!ClickWhenReady(&test, "startButton")) return;
            playing = QTest::qWaitFor([&] { return !prompter_->messages.empty(); });
            test.reject();
        });
        QVERIFY(playing);
        QCOMPARE(prompter_->MessageTexts(), QStringList{QStringLiteral("Audio output error!")});
    }

    void aLauncherWithoutSoundSaysAudioOutputError() {
        const qint64 subject = store::SubjectRegistry(station_->Db())
                                   .Add({0, QStringLiteral("Sato"), 'F', 1962, 0, 6, QString()})
                                   .value;
        UnavailableTestDispatcher dispatcher(*prompter_);
        auto chooser = MakeScenarioFileChooser();
        CAutoTest1 launcher(station_->Db(), *prompter_, *chooser, dispatcher);
        launcher.show();
        Controls ui{&launcher};
        Type(ui.Edit("idEdit"), QString::number(subject));
        Type(ui.Edit("pathEdit"), Path("configtry.ini"));
        Click(ui.Get<QWidget>("evaluation3"));
        Click(ui.Button("startButton"));
        QCOMPARE(prompter_->MessageTexts(), QStringList{QStringLiteral("Audio output error!")});
    }

    void anAnswerLetsTheRepetitionAlreadySentPlayOut() {
        VowelTestSetup setup{7, 2, 40, Path("config2.ini"), QString()};
        CAutoTest6 test(Services(*output_), setup);
        test.show();
        Controls ui{&test};
        Click(ui.Button("startButton"));
        QTRY_VERIFY(ui.Button("dontKnowButton")->isEnabled() && test.Playing());
        QVERIFY(clock_->WaitForSleepers(1));  // the first repetition is on the device
        clock_->AdvanceMs(10);                // 80 of its 400 frames heard
        Click(ui.Button("dontKnowButton"));
        clock_->AdvanceMs(60);  // the rest of it, had it not been cut off
        const auto heard = output_->Heard();
        QVERIFY(!heard.empty());
        QCOMPARE(heard.front().Frames(), std::size_t(kKitSamples));
        // Only that repetition: the second one was never sent.
        std::size_t stimulusFrames = 0;
        for (const auto& segment : heard)
            if (segment.rate == 8000) stimulusFrames += segment.Frames();
        QCOMPARE(stimulusFrames, std::size_t(kKitSamples));
        prompter_->answers = {true};
    }

    void practiceShowsItsWindowAgainAfterTheResult() {
        bool hiddenForResult = false;
        bool backAfterResult = false;
        Practice([&](CAutoTest6& test) {
            if (!ClickWhenReady(test.Directions(), "nextButton")) return;
            if (!ClickWhenReady(&test, "startButton")) return;
            // The result window runs its own loop: a timer looks in from there.
            QTimer look;
            connect(&look, &QTimer::timeout, this, [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->inherits("kestrune::app::COutput") && w->isVisible() &&
                        !test.isVisible())
                        hiddenForResult = true;
            });
            look.start(5);
            const Listener listener;  // hears nothing: "わからない" each time
            while (!test.Session()->Over()) {
                Trial trial;
                if (!AnswerTrial(test, *clock_, *output_, listener, &trial)) return;
            }
            if (!QTest::qWaitFor([&] { return test.Ended(); })) return;
            // Leaves the run to itself: the window must come back and stay.
            QTimer::singleShot(100, this, [&] {
                CAutoTest6* again = ModalTest();
                backAfterResult = again != nullptr && again->isVisible() && again->Ended();
                if (again) again->reject();
            });
        });
        QVERIFY(hiddenForResult);
        QVERIFY(backAfterResult);
        QVERIFY(panel_->isVisible());
    }

    void theLauncherEvaluatesTheAgeAndShowsItsWindowAgain() {
        const qint64 subject = store::SubjectRegistry(station_->Db())
                                   .Add({0, QStringLiteral("Sato"), 'F', 1962, 0, 6, QString()})
                                   .value;
        BatteryTestDispatcher dispatcher(Services(*output_));
        int age = 0;
        bool backAfterResult = false;
        QTimer::singleShot(0, this, [&] {
            CAutoTest6* test = ModalTest();
            if (test == nullptr) return;
            age = test->Setup().age;
            if (!ClickWhenReady(test->Directions(), "nextButton")) return;
            if (!ClickWhenReady(test, "startButton")) return;
            const Listener listener;
            while (!test->Session()->Over()) {
                Trial trial;
                if (!AnswerTrial(*test, *clock_, *output_, listener, &trial)) return;
            }
            if (!QTest::qWaitFor([&] { return test->Ended(); })) return;
            QTimer::singleShot(100, this, [&] {
                CAutoTest6* again = ModalTest();
                backAfterResult = again != nullptr && again->isVisible() && again->Ended();
                if (again) again->reject();
            });
        });
        dispatcher.Run(TestKind::VowelDiscrimination,
                       TestStart{static_cast<int>(subject), Path("configtry.ini"), 3}, nullptr);
        QCOMPARE(age, AgeForBirthYear(LocalYear(clock_->Now()), 1962));
        QVERIFY(backAfterResult);
    }

    void anAgeCorrectedAcross45BeforeTheFirstAnswerTakesItsOwnScenario() {
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 45));
        QVERIFY(
            panel_->SessionTest()->Setup().scenarioPath.endsWith(QStringLiteral("config1.ini")));
        QVERIFY(ClickWhenReady(panel_->SessionDirections(), "backButton"));
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("Yamada"), 46));
        QVERIFY(panel_->SessionTest() != nullptr);
        QVERIFY(
            panel_->SessionTest()->Setup().scenarioPath.endsWith(QStringLiteral("config2.ini")));
        QCOMPARE(panel_->SessionTest()->Setup().age, 46);
        QVERIFY(panel_->SessionDirections()->isVisible());
        QCOMPARE(Rows("IndividualInfo"), 2);  // corrected, not registered twice
        prompter_->answers = {true};
    }

    void theRegistryRefusesToChangeOrDeleteThePracticeSubject() {
        CIndividualInformation registry(station_->Db(), *prompter_,
                                        store::SubjectRegistry::AllSubjects());
        registry.show();
        Controls ui{&registry};
        ClickRow(ui.List(), 0);
        QCOMPARE(ui.Edit("idEdit")->text(), QStringLiteral("1"));
        prompter_->answers = {true, true};
        Click(ui.Button("deleteButton"));
        Type(ui.Edit("nameEdit"), QStringLiteral("Someone"));
        Click(ui.Button("updateButton"));
        const QString refusal =
            QStringLiteral("The practice subject PRACTICE (ID 1) can not be changed or deleted!");
        QCOMPARE(prompter_->MessageTexts(), QStringList({refusal, refusal}));
        QVERIFY(prompter_->confirmations.isEmpty());
        const auto practice = store::SubjectRegistry(station_->Db()).Load(1).value;
        QVERIFY(practice.has_value());
        QCOMPARE(practice->name, QStringLiteral("PRACTICE"));
    }

    void theStationLogTellsWhatHappened() {
        QVERIFY(InstallStationLog(folder_->path(), 4096));
        Practice([&](CAutoTest6& test) {
            if (!ClickWhenReady(test.Directions(), "nextButton")) return;
            if (!ClickWhenReady(&test, "startButton")) return;
            const Listener listener;
            Trial trial;
            if (!AnswerTrial(test, *clock_, *output_, listener, &trial)) return;
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
