// The main window driven as a user would: start-up with and without a
// database, the wave commands, the Options menu, the colour pickers, closing,
// the toolbar, the test launcher and the command line.

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include <thread>

#include "AppTestSupport.h"
#include "app/AboutDlg.h"
#include "app/AudioDevicesDlg.h"
#include "app/Information.h"
#include "app/KestruneApp.h"
#include "app/KestruneDlg.h"
#include "app/MainTestPanel.h"
#include "app/Timers.h"
#include "app/ViewFrame.h"
#include "app/battery/AutoTest1.h"
#include "audio/AudioTestSupport.h"
#include "audio/RecordingEngine.h"
#include "audio/VirtualInput.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr std::time_t kStartTime = 1700000123;
const QString kWorkspaceOff = "R1 r0 P0 S0 O1 W0 D0 C0 T0";  // initial and empty-set rows
const QString kWavesOn = "R1 r0 P1 S0 O1 W1 D1 C1 T1";       // after open, then DrawWave

/** Handles every repaint asked for so far (they are posted events). */
void FlushPaints() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> station_, files_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<FakeFiles> chooser_;
    std::unique_ptr<FakeFiles> scenarioChooser_;
    std::unique_ptr<FakeColors> colors_;
    std::unique_ptr<FakeOpener> opener_;
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<audio::VirtualInput> input_;
    std::unique_ptr<ManualTimers> timers_;
    CrtRandom random_;
    std::unique_ptr<CKestruneDlg> window_;
    std::function<audio::DeviceList()> listDevices_;  // Options → Audio devices…

    void MakeWindow() {
        CKestruneDlg::Services services{*prompter_,
                                        *chooser_,
                                        *colors_,
                                        *opener_,
                                        *clock_,
                                        random_,
                                        scenarioChooser_.get(),
                                        nullptr,
                                        nullptr,
                                        input_.get(),
                                        timers_.get()};
        services.listDevices = listDevices_;
        window_ = std::make_unique<CKestruneDlg>(services);
    }
    StartupOptions Options(bool workspace) const {
        StartupOptions options;
        options.stationDir = station_->path();
        options.workspace = workspace;
        return options;
    }
    /** Starts on a fresh station straight into the workspace and shows it. */
    void StartWorkspace() {
        MakeWindow();
        QCOMPARE(window_->Start(Options(true)), CKestruneDlg::StartResult::Workspace);
        QVERIFY(prompter_->messages.empty());
        QVERIFY(Show(window_.get()));
    }

    /** Writes a PCM file whose sample bytes are `seed`, seed + 1, ... */
    QString Wave(const QString& name, uint32_t rate, uint16_t bits, uint16_t channels = 1,
                 uint32_t frames = 200, uint8_t seed = 1) {
        const WaveFormat format = PcmFormat(channels, rate, bits);
        std::vector<uint8_t> bytes(std::size_t{frames} * format.blockAlign);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(seed + i);
        const QString path = files_->filePath(name);
        if (!WriteWaveFile(QFile::encodeName(path).toStdString(), format, bytes.data(),
                           frames * channels))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    /** Chooses `path` in the next open dialog and runs Open through its button. */
    void OpenThroughButton(const QString& path) {
        chooser_->openAnswers.push_back(path);
        Click(Button("openButton"));
    }

    QPushButton* Button(const char* name) const { return Controls{window_.get()}.Button(name); }
    QAction* Action(const char* name) const { return Controls{window_.get()}.Get<QAction>(name); }
    void Trigger(std::initializer_list<const char*> actions) {
        for (const char* name : actions) Action(name)->trigger();
    }
    /** The toolbar's button for an action. */
    QWidget* ToolButton(const char* name) const {
        auto* toolbar = window_->findChild<QToolBar*>(QStringLiteral("toolbar"));
        QWidget* button = toolbar->widgetForAction(Action(name));
        if (button == nullptr) qFatal("%s is not on the toolbar", name);
        return button;
    }
    template <typename T>
    T* Child(const char* name) const {
        return Controls{window_.get()}.Get<T>(name);
    }

    /**
     * The controls as one line: per group its letter and 1/0, after checking
     * that the group's button, menu item and toolbar button agree.
     */
    QString Snapshot() const {
        auto b = [this](const char* name) { return Button(name)->isEnabled(); };
        auto m = [this](const char* name) { return Action(name)->isEnabled(); };
        auto t = [this](const char* name) { return ToolButton(name)->isEnabled(); };
        const std::vector<std::pair<char, std::vector<bool>>> groups = {
            {'R', {b("recordStartButton"), m("actionRecordStart")}},
            {'r', {b("recordStopButton"), m("actionRecordStop")}},
            {'P', {b("playButton"), m("actionPlay")}},
            {'S', {b("stopButton"), m("actionStop")}},
            {'O', {b("openButton"), m("actionOpenWave"), t("actionOpenWave")}},
            {'W', {b("saveButton"), m("actionSaveWave"), t("actionSaveWave")}},
            {'D',
             {b("drawWaveButton"), m("actionDrawWave"), t("actionDrawWave"),
              b("drawFrequencyButton"), m("actionDrawFrequency"), t("actionDrawFrequency")}},
            {'C',
             {b("closeButton"), b("closeAllButton"), m("actionCloseWave"),
              m("actionCloseAllWaves")}},
            {'T', {t("toolZoomIn"), t("toolZoomOut"), t("toolCutLeft"), t("toolCutRight")}},
        };
        QStringList parts;
        for (const auto& [letter, surfaces] : groups) {
            for (bool surface : surfaces) {
                if (surface != surfaces.front())
                    return QStringLiteral("surfaces disagree for ") + QChar(letter);
            }
            parts << QString(QChar(letter)) + (surfaces.front() ? '1' : '0');
        }
        return parts.join(' ');
    }

    /** The checked items of an Options radio group, by caption. */
    QString Checked(const char* menuName) const {
        QStringList checked;
        for (QAction* item : Child<QMenu>(menuName)->actions())
            if (item->isChecked()) checked << item->text();
        return checked.join(',');
    }

    void ExpectMessages(const QStringList& texts) {
        QCOMPARE(prompter_->MessageTexts(), texts);
        for (const auto& shown : prompter_->messages)
            QCOMPARE(shown.caption, QStringLiteral("Kestrune"));
        prompter_->messages.clear();
    }

  private slots:
    void init() {
        station_ = std::make_unique<QTemporaryDir>();
        files_ = std::make_unique<QTemporaryDir>();
        prompter_ = std::make_unique<FakePrompter>();
        chooser_ = std::make_unique<FakeFiles>();
        scenarioChooser_ = std::make_unique<FakeFiles>();
        colors_ = std::make_unique<FakeColors>();
        opener_ = std::make_unique<FakeOpener>();
        clock_ = std::make_unique<FakeClock>(kStartTime);
        input_ = std::make_unique<audio::VirtualInput>();
        timers_ = std::make_unique<ManualTimers>();
        listDevices_ = {};
    }
    void cleanup() {
        if (window_) {
            prompter_->answers.push_back(true);
            window_->close();
        }
        window_.reset();
    }

    void recordingThroughTheButtons() {
        StartWorkspace();
        auto* display = Child<QLabel>("recordTimeDisplay");
        Click(Button("recordStartButton"));
        QCOMPARE(Snapshot(), QStringLiteral("R0 r1 P0 S0 O0 W0 D0 C0 T0"));
        QCOMPARE(window_->Waves().waveCount, 1);
        QVERIFY(input_->IsOpen());
        QCOMPARE(input_->Format().sampleRate, 44100u);
        QCOMPARE(display->text(), QStringLiteral("0.0"));

        // A thread stands in for the audio callback: two capture buffers
        // and a tenth of a second more, in uneven blocks.
        std::vector<uint8_t> signal(2 * Recording::kCaptureBytes + 8820);
        for (std::size_t i = 0; i < signal.size(); ++i)
            signal[i] = static_cast<uint8_t>(i * 7 + i / 251);
        std::thread device([&] {
            for (std::size_t at = 0; at < signal.size(); at += 3001)
                input_->Feed(signal.data() + at, std::min<std::size_t>(3001, signal.size() - at));
        });
        device.join();
        // The notices reach the window through its event loop; the whole
        // buffers are stored, the tenth waits in the capture buffer.
        QTRY_COMPARE(window_->Waves().sampleCounts[0], uint32_t{Recording::kCaptureBytes});
        QCOMPARE(display->text(), QStringLiteral("0.0"));
        timers_->AdvanceMs(100);
        QCOMPARE(display->text(), QStringLiteral("1.2"));  // 52410 samples at 44100 Hz
        QCOMPARE(window_->Waves().waveCount, 1);
        window_->CloseWave();  // refused silently while recording
        QCOMPARE(window_->Waves().waveCount, 1);

        Action("actionRecordStop")->trigger();
        QVERIFY(!input_->IsOpen());
        QCOMPARE(window_->Waves().waveCount, 1);
        QCOMPARE(window_->Waves().samples[0], signal);
        QCOMPARE(window_->Waves().names[0], std::string(kRecordedWaveName));
        QCOMPARE(window_->Waves().backupSamples, signal);
        QCOMPARE(display->text(), QString());
        QCOMPARE(Snapshot(), kWavesOn);
        QVERIFY(!timers_->NextDueMs().has_value());
        ExpectMessages({});

        // No input device: the engine's refusal is shown, nothing changes.
        input_->SetRefuseOpen(true);
        Click(Button("recordStartButton"));
        ExpectMessages({"Audio can not be opened!"});
        QCOMPARE(window_->Waves().waveCount, 1);
        QCOMPARE(Snapshot(), kWavesOn);
    }

    void unreachableDatabaseLeavesWorkspaceInInitialState() {
        MakeWindow();
        StartupOptions options = Options(false);
        options.databaseUrl = QStringLiteral("postgresql://127.0.0.1:1/x");
        QCOMPARE(window_->Start(options), CKestruneDlg::StartResult::Workspace);
        QCOMPARE(prompter_->messages.size(), size_t{1});
        const QString text = prompter_->messages.front().text;
        QVERIFY2(text.startsWith(QStringLiteral("Failed to connect database\r\n Error message:")),
                 qPrintable(text));
        QVERIFY(text.size() > 45);  // the reason follows
        ExpectMessages({text});
        QVERIFY(window_->Db() == nullptr);
        QVERIFY(!window_->PanelMode());
        QCOMPARE(random_.State(), static_cast<uint32_t>(kStartTime));
        QVERIFY(!QFile::exists(station_->filePath(QStringLiteral("TestData.db"))));

        QVERIFY(Show(window_.get()));
        QCOMPARE(window_->windowTitle(), QStringLiteral("Kestrune"));
        QCOMPARE(Snapshot(), kWorkspaceOff);
        QCOMPARE(window_->States().closeMenu, CloseMenuState::Disabled);
        QCOMPARE(Checked("sampleRateMenu"), QStringLiteral("44100"));
        QCOMPARE(Checked("bitsMenu"), QStringLiteral("16"));
        QCOMPARE(Checked("frameLengthMenu"), QStringLiteral("2048"));
        QCOMPARE(Checked("shiftMenu"), QStringLiteral("128"));

        // The registries and the launcher need the database: the same text.
        Trigger({"actionAudioInformation", "actionIndividualInformation", "actionAutoTest"});
        ExpectMessages({text, text, text});
        QCOMPARE(scenarioChooser_->opens, 0);

        // Closing asks; Cancel keeps the workspace open, OK closes it.
        prompter_->answers = {false, true};
        QVERIFY(!window_->close());
        QVERIFY(window_->isVisible());
        Action("actionExit")->trigger();
        QVERIFY(!window_->isVisible());
        QCOMPARE(prompter_->confirmations, QStringList(2, QStringLiteral("Really want to quit?")));
        window_.reset();
    }

    // A normal start runs the session panel. It hides itself for the entry
    // form; the start-up must go on running it until the subject comes back
    // and closes it (the close box asks: Cancel keeps it, OK ends the program).
    void emptyStationRunsTheSessionPanelUntilItCloses() {
        audio::ManualWaitClock soundClock;
        audio::VirtualOutput sound(soundClock);
        window_ = std::make_unique<CKestruneDlg>(
            CKestruneDlg::Services{*prompter_, *chooser_, *colors_, *opener_, *clock_, random_,
                                   scenarioChooser_.get(), &sound, &soundClock});
        bool windowHidden = false, formShown = false, panelBack = false;
        OnNextModal([&](QWidget* modal) {
            windowHidden = !window_->isVisible();
            Click(Controls{modal}.Button("sessionButton"));
            auto* panel = qobject_cast<CMainTestPanel*>(modal);
            QTimer::singleShot(0, panel, [&, panel] {
                CInformation* form = panel ? panel->EntryForm() : nullptr;
                formShown = form != nullptr && form->isVisible() && !panel->isVisible();
                if (!formShown) return;
                Click(Controls{form}.Button("backButton"));
                panelBack = panel->isVisible();
                prompter_->answers = {false, true};
                panel->reject();
                if (panel->isVisible()) panel->reject();
            });
        });
        QCOMPARE(window_->Start(Options(false)), CKestruneDlg::StartResult::SessionEnded);
        QVERIFY(windowHidden && formShown && panelBack);
        QVERIFY(QFile::exists(station_->filePath(QStringLiteral("TestData.db"))));
        QVERIFY(window_->PanelMode());
        QVERIFY(prompter_->messages.empty());
        QVERIFY(!window_->isVisible());
        QCOMPARE(prompter_->confirmations, QStringList(2, QStringLiteral("Really want to quit?")));
        // In panel mode any later close asks nothing more.
        QVERIFY(window_->close());
        QCOMPARE(prompter_->confirmations.size(), 2);
        window_.reset();
    }

    void toolbarOpensTheDialogs() {
        StartWorkspace();
        QVERIFY(window_->Db() != nullptr);
        QStringList opened;
        for (const char* action :
             {"actionAudioInformation", "actionIndividualInformation", "actionAbout"}) {
            OnNextModal([&](QWidget* modal) { opened << modal->metaObject()->className(); });
            Click(ToolButton(action));
        }
        QCOMPARE(opened,
                 QStringList({"kestrune::app::CAudioInfo", "kestrune::app::CIndividualInformation",
                              "kestrune::app::CAboutDlg"}));
        QVERIFY(prompter_->messages.empty());
    }

    void analyseMenuOpensTheAnalysisWindows() {
        StartWorkspace();
        QStringList opened;
        for (const char* action : {"actionSyllableDataAnalyse", "actionSyllableSegmentAnalyse",
                                   "actionSyllableRowAnalyse", "actionIntermittentAnalyse",
                                   "actionTrainingResultAnalyse", "actionMaskAnalyse"}) {
            OnNextModal([&](QWidget* modal) { opened << modal->windowTitle(); });
            Action(action)->trigger();
        }
        QCOMPARE(opened, QStringList({"カナデータを分析する", "カナデータを分析する（段）",
                                      "カナデータを分析する（行）", "Intermittent結果の解析",
                                      "Training result analysis", "Mask analyse"}));
        QVERIFY(prompter_->messages.empty());
    }

    void autoTestRunsTheLauncher() {
        StartWorkspace();
        store::Subject subject;
        subject.name = QStringLiteral("HANAKO SATO");
        subject.birthYear = 1985;
        const auto added = store::SubjectRegistry(*window_->Db()).Add(subject);
        QVERIFY(added.Ok());
        const QString scenario = WriteFile(files_->filePath(QStringLiteral("masking.ini")),
                                           "[INFO]\r\nTESTTYPE=SYLLABLEMASKING\r\nTOTAL=1\r\n");
        scenarioChooser_->openAnswers.push_back(scenario);

        // Filled in as the experimenter would: "参照" asks the scenario chooser,
        // "始める" reaches the dispatcher of a window without a sound output.
        QString browsed;
        bool isLauncher = false, ownedByWindow = false, accepted = false;
        OnNextModal([&](QWidget* modal) {
            isLauncher = qobject_cast<CAutoTest1*>(modal) != nullptr;
            ownedByWindow = modal->parentWidget() == window_.get();
            Controls launcher{modal};
            Type(launcher.Edit("idEdit"), QString::number(added.value));
            Click(launcher.Button("browseButton"));
            browsed = launcher.Edit("pathEdit")->text();
            Click(launcher.Get<QRadioButton>("evaluation2"));
            Click(launcher.Button("startButton"));
            accepted = qobject_cast<QDialog*>(modal)->result() == QDialog::Accepted;
        });
        Click(ToolButton("actionAutoTest"));
        QVERIFY(isLauncher && ownedByWindow);
        QCOMPARE(scenarioChooser_->opens, 1);
        QCOMPARE(chooser_->opens, 0);  // not the wave file dialog
        QCOMPARE(browsed, scenario);
        ExpectMessages({"Audio output error!"});
        QVERIFY(accepted);
        QVERIFY(window_->isVisible());
    }

    void openRefusalsAndFormatChecks() {
        StartWorkspace();
        Click(Button("openButton"));  // Cancel: nothing happens
        QCOMPARE(chooser_->opens, 1);
        QCOMPARE(window_->Waves().waveCount, 0);
        ExpectMessages({});

        // Through button, menu item and toolbar in turn: the wave set's message
        // (its rules are the core's) and the format checked in the Options menu.
        const struct {
            const char* name;
            uint32_t rate;
            uint16_t bits, channels;
            const char* message;
            int waves;
            const char* format;
        } steps[] = {
            // A 24-bit file: its rate is taken into the empty set, its depth refused.
            {"deep.wav", 11025, 24, 1, "Unavailable bits per sample is found in the wave file!", 0,
             "11025 16"},
            {"first.wav", 22050, 16, 1, "", 1, "22050 16"},  // switches the format
            {"cd.wav", 44100, 16, 1, "Can not change \"sample rate\" now!", 1, "22050 16"},
            // A stereo file: the warning, then it opens as its left channel.
            {"stereo.wav", 22050, 16, 2,
             "The wave file is not single channel! \n The right channel would be ignored!", 2,
             "22050 16"},
        };
        int surface = 0;
        for (const auto& step : steps) {
            chooser_->openAnswers.push_back(
                Wave(QString::fromLatin1(step.name), step.rate, step.bits, step.channels));
            if (surface % 3 == 0) Click(Button("openButton"));
            if (surface % 3 == 1) Action("actionOpenWave")->trigger();
            if (surface++ % 3 == 2) Click(ToolButton("actionOpenWave"));
            ExpectMessages(*step.message ? QStringList{step.message} : QStringList{});
            QCOMPARE(window_->Waves().waveCount, step.waves);
            QCOMPARE(Checked("sampleRateMenu") + ' ' + Checked("bitsMenu"), step.format);
            QCOMPARE(Snapshot(), step.waves > 0 ? kWavesOn : kWorkspaceOff);
        }
        QCOMPARE(window_->Waves().format.sampleRate, 22050u);
        QCOMPARE(window_->Waves().format.channels, uint16_t{1});
        QCOMPARE(window_->Waves().names[1], std::string("stereo.wav"));
    }

    void startupFilesOpenLikeOpenWave() {
        StartWorkspace();
        window_->OpenWaveFiles(
            {Wave("a.wav", 11025, 8), Wave("b.wav", 22050, 8), Wave("c.wav", 11025, 8)});
        ExpectMessages({"Can not change \"sample rate\" now!"});
        QCOMPARE(window_->Waves().waveCount, 2);
        QCOMPARE(Checked("sampleRateMenu"), QStringLiteral("11025"));
        QCOMPARE(Checked("bitsMenu"), QStringLiteral("8"));
    }

    void saveWritesTheLastWave() {
        StartWorkspace();
        OpenThroughButton(Wave("a.wav", 22050, 16, 1, 100, 10));
        OpenThroughButton(Wave("b.wav", 22050, 16, 1, 150, 77));
        const QString target = files_->filePath(QStringLiteral("out.wav"));
        Click(Button("saveButton"));  // cancelled
        QVERIFY(!QFile::exists(target));

        chooser_->saveAnswers.push_back(target);
        Click(Button("saveButton"));
        QCOMPARE(chooser_->saves, 2);
        ExpectMessages({});
        // What is written and how the waves are renamed is the wave set's.
        WaveHeaderResult header = ReadWaveHeader(QFile::encodeName(target).toStdString());
        QVERIFY(header.Ok());
        QCOMPARE(ReadWaveSamples(std::move(header.file), header.info), window_->Waves().samples[1]);
    }

    void closeAndCloseAll() {
        StartWorkspace();
        for (const char* name : {"a.wav", "b.wav", "c.wav"})
            OpenThroughButton(Wave(QString::fromLatin1(name), 44100, 16));
        Click(Button("closeButton"));
        QCOMPARE(window_->Waves().waveCount, 2);
        Action("actionCloseWave")->trigger();
        QCOMPARE(window_->Waves().waveCount, 1);
        QCOMPARE(Snapshot(), kWavesOn);
        OpenThroughButton(Wave("d.wav", 44100, 16));
        Click(Button("closeAllButton"));
        QCOMPARE(window_->Waves().waveCount, 0);
        QCOMPARE(Snapshot(), kWorkspaceOff);
        QCOMPARE(window_->States().closeMenu, CloseMenuState::Greyed);
        ExpectMessages({});
        // The commands themselves refuse an empty set (their controls are off).
        window_->CloseWave();
        window_->CloseAllWaves();
        ExpectMessages({"There is no wave file to close!", "There is no wave file to close!"});
    }

    void optionsRadioItems() {
        StartWorkspace();
        OpenThroughButton(Wave("a.wav", 44100, 16));
        Trigger({"actionRate22050", "actionBits8"});
        ExpectMessages(
            {"Can not change \"sample rate\" now!", "Can not change \"bits per sample\" now!"});
        QCOMPARE(Checked("sampleRateMenu"), QStringLiteral("44100"));
        QCOMPARE(Checked("bitsMenu"), QStringLiteral("16"));
        Action("actionRate44100")->trigger();  // the set's own value is accepted
        ExpectMessages({});

        Click(Button("closeAllButton"));
        Trigger({"actionRate22050", "actionBits8"});
        ExpectMessages({});
        QCOMPARE(Checked("sampleRateMenu"), QStringLiteral("22050"));
        QCOMPARE(Checked("bitsMenu"), QStringLiteral("8"));
        const WaveFormat& format = window_->Waves().format;
        QCOMPARE(format.sampleRate, 22050u);
        QCOMPARE(format.bitsPerSample, uint16_t{8});

        // Framing: the value changes, its item alone is checked, nothing is redrawn.
        OpenThroughButton(Wave("b.wav", 22050, 8));
        ExpectMessages({});
        auto* spectrum = Child<ViewFrame>("spectrumView");
        FlushPaints();
        const int paints = spectrum->PaintCount();
        Trigger({"actionFrame512", "actionShift1024"});
        QCOMPARE(window_->FrameLength(), 512u);
        QCOMPARE(window_->ShiftSamples(), 1024u);
        QCOMPARE(Checked("frameLengthMenu"), QStringLiteral("512"));
        QCOMPARE(Checked("shiftMenu"), QStringLiteral("1024"));
        FlushPaints();
        QCOMPARE(spectrum->PaintCount(), paints);
        Click(Button("drawFrequencyButton"));  // drawing the spectrum repaints it
        FlushPaints();
        QVERIFY(spectrum->PaintCount() > paints);
    }

    void colourPickers() {
        StartWorkspace();
        const auto centre = [this](const char* view) {
            ViewFrame* frame = Child<ViewFrame>(view);
            return frame->grab().toImage().pixelColor(frame->width() / 2, frame->height() / 2);
        };
        const auto pickAll = [this] {
            Trigger({"actionStandardLineColor", "actionWaveBackgroundColor",
                     "actionFrequencyBackgroundColor"});
        };
        // Cancel changes nothing.
        pickAll();
        QCOMPARE(colors_->initials, std::vector<QColor>({QColor(255, 0, 255), QColor(0, 0, 0),
                                                         QColor(255, 255, 255)}));
        QCOMPARE(window_->StandardLineColor(), QColor(255, 0, 255));
        QCOMPARE(window_->WaveBackgroundColor(), QColor(255, 255, 255));
        QCOMPARE(window_->SpectrumBackgroundColor(), QColor(255, 255, 255));
        QCOMPARE(centre("waveView"), QColor(255, 255, 255));

        // OK stores the colour; the views paint their new background.
        colors_->answers = {QColor(0, 128, 0), QColor(10, 20, 30), QColor(200, 200, 0)};
        pickAll();
        QCOMPARE(window_->StandardLineColor(), QColor(0, 128, 0));
        QCOMPARE(window_->WaveBackgroundColor(), QColor(10, 20, 30));
        QCOMPARE(window_->SpectrumBackgroundColor(), QColor(200, 200, 0));
        QCOMPARE(centre("waveView"), QColor(10, 20, 30));
        QCOMPARE(centre("spectrumView"), QColor(200, 200, 0));
        // The line colour picker starts at the current colour; the others at black and white.
        colors_->initials.clear();
        pickAll();
        QCOMPARE(colors_->initials,
                 std::vector<QColor>({QColor(0, 128, 0), QColor(0, 0, 0), QColor(255, 255, 255)}));
    }

    void menusAndToolbar() {
        StartWorkspace();
        auto* toolbar = Child<QToolBar>("toolbar");
        QStringList order;
        for (QAction* action : toolbar->actions()) {
            order << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
            QVERIFY2(action->isSeparator() ||
                         (!action->icon().pixmap(16, 16).isNull() && !action->toolTip().isEmpty()),
                     qPrintable(action->objectName()));
        }
        QCOMPARE(
            order.join(' '),
            QStringLiteral("actionOpenWave actionSaveWave | actionUndo actionRedo | "
                           "actionDrawWave actionDrawFrequency toolZoomIn toolZoomOut | "
                           "toolCutLeft toolCutRight | actionAudioInformation "
                           "actionIndividualInformation actionAutoTest | actionAbout actionExit"));
        QCOMPARE(toolbar->iconSize(), QSize(16, 16));

        // The four tools: at most one down; opening a wave puts them up.
        OpenThroughButton(Wave("a.wav", 44100, 16));
        Click(ToolButton("toolZoomIn"));
        QCOMPARE(window_->ZoomTool(), 1);
        Click(ToolButton("toolCutRight"));
        QVERIFY(!Action("toolZoomIn")->isChecked());
        QCOMPARE(window_->ZoomTool(), 0);
        QCOMPARE(window_->CutTool(), 1);
        Click(ToolButton("toolCutRight"));
        QCOMPARE(window_->CutTool(), 0);
        Click(ToolButton("toolZoomOut"));
        QCOMPARE(window_->ZoomTool(), -1);
        OpenThroughButton(Wave("b.wav", 44100, 16));
        QVERIFY(!Action("toolZoomOut")->isChecked());
        QCOMPARE(window_->ZoomTool(), 0);
    }

    void layoutFitsItsCaptions() {
        StartWorkspace();
        QCOMPARE(window_->minimumSize(), window_->size());
        QCOMPARE(window_->maximumSize(), window_->size());
        QStringList shown;
        QList<QRect> taken;
        for (QPushButton* button : window_->findChildren<QPushButton*>()) {
            shown << button->text();
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
            for (const QRect& other : taken) QVERIFY(!other.intersects(button->geometry()));
            taken << button->geometry();
        }
        for (const char* caption :
             {"録音が始まる", "録音がとまる", "再生", "終了", "波形をかく", "ファイルが開く",
              "ファイルを保存", "ファイルを閉じる", "全部で閉じる", "周波数をかく"})
            QVERIFY2(shown.contains(QString::fromUtf8(caption)), caption);
        QVERIFY(window_->UnitX() >= 1.4 && window_->UnitY() >= 1.4);
        auto* label = Child<QLabel>("contactLabel");
        QCOMPARE(label->text(), QStringLiteral("Contact :"));
        QVERIFY(label->geometry().right() < Child<CHyperLink>("contactLink")->geometry().left());
    }

    void audioDevicesSavesTheStationsChoice() {
        listDevices_ = audio::testing::TwoHostApis;
        StartWorkspace();
        Trigger({"actionAudioDevices"});
        auto* dialog = window_->findChild<CAudioDevicesDlg*>(QStringLiteral("audioDevicesDialog"));
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        auto* outputs = dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"));
        outputs->setCurrentItem(outputs->topLevelItem(2));  // (default), default, USB Headset
        Click(dialog->findChild<QPushButton*>(QStringLiteral("okButton")));
        // It goes away once closed, and the station folder has the choice.
        QTRY_VERIFY(!window_->findChild<CAudioDevicesDlg*>());
        QCOMPARE(audio::ReadDeviceChoice(station_->path().toStdString()).outputDevice,
                 std::string("USB Headset"));
    }

    void contact() {
        StartWorkspace();
        auto* link = Child<CHyperLink>("contactLink");
        QCOMPARE(link->text(), QStringLiteral("kestrune@example.org"));
        QVERIFY(!link->font().underline());
        Action("actionContactAuthor")->trigger();
        QCOMPARE(opener_->opened,
                 std::vector<QUrl>{QUrl(QStringLiteral("mailto:kestrune@example.org"))});
        QVERIFY(link->Visited());
    }

    void commandLine() {
        ParsedCommandLine parsed =
            ParseCommandLine({"--station", "/srv/st", "--database", "sqlite:x.db",
                              "--audio=virtual", "--workspace", "a.wav", "b.wav"});
        QCOMPARE(parsed.action, ParsedCommandLine::Action::Run);
        QCOMPARE(parsed.options.stationDir, QStringLiteral("/srv/st"));
        QCOMPARE(parsed.options.databaseUrl, QStringLiteral("sqlite:x.db"));
        QCOMPARE(parsed.options.audio, QStringLiteral("virtual"));
        QVERIFY(parsed.options.workspace);
        QCOMPARE(parsed.options.waveFiles, QStringList({"a.wav", "b.wav"}));

        parsed = ParseCommandLine({});
        QCOMPARE(parsed.action, ParsedCommandLine::Action::Run);
        QVERIFY(parsed.options.stationDir.isEmpty() && !parsed.options.workspace);
        QCOMPARE(parsed.options.audio, QStringLiteral("portaudio"));
        for (const char* bad : {"--audio=alsa", "--frobnicate", "--station", "--database="})
            QCOMPARE(ParseCommandLine({bad}).action, ParsedCommandLine::Action::Error);
        QCOMPARE(ParseCommandLine({"--help"}).action, ParsedCommandLine::Action::Help);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
