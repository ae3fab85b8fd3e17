#include "app/KestruneDlg.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <array>
#include <cmath>

#include "app/AboutDlg.h"
#include "app/AddNoise.h"
#include "app/Amplify.h"
#include "app/AudioDevicesDlg.h"
#include "app/AudioInfo.h"
#include "app/CalibrateDlg.h"
#include "app/Choosers.h"
#include "app/DivisionListen.h"
#include "app/FrequencyAverageDlg.h"
#include "app/HyperLink.h"
#include "app/IndividualInformation.h"
#include "app/MainTestPanel.h"
#include "app/Mixer.h"
#include "app/Prompter.h"
#include "app/SetParameters.h"
#include "app/SignalDialogs.h"
#include "app/StartupOptions.h"
#include "app/StationLog.h"
#include "app/ToolbarIcons.h"
#include "app/ViewFrame.h"
#include "app/WaveViews.h"
#include "app/analysis/IntermittentAnalyse.h"
#include "app/analysis/KanaAnalyses.h"
#include "app/analysis/MaskAnalyse.h"
#include "app/analysis/TrainingAnalysis.h"
#include "app/battery/AutoTest1.h"
#include "app/battery/AutoTest6.h"
#include "app/battery/SingleTest.h"
#include "app/battery/TestDispatcher.h"
#include "audio/PlaybackEngine.h"
#include "audio/RecordingEngine.h"
#include "audio/SoundOutput.h"
#include "audio/VirtualInput.h"
#include "audio/WaitClock.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/AvgSpectrum.h"
#include "core/dsp/DutyCycle.h"
#include "core/dsp/EditRules.h"
#include "core/dsp/Edits.h"
#include "core/dsp/Filters.h"
#include "core/dsp/Generators.h"
#include "core/dsp/Mixer.h"
#include "core/dsp/Noise.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "store/Database.h"
#include "store/Registry.h"

namespace kestrune::app {

namespace {

// The window in dialog units. The band above y = 18 (between the two etched
// lines) is the toolbar's; the workspace below it starts at that line.
constexpr double kWindowWidth = 507;
constexpr double kWindowHeight = 463;
constexpr double kToolbarBand = 18;
constexpr double kButtonWidth = 57;
constexpr double kButtonHeight = 19;

const QString kPlayCaption = QStringLiteral("再生");
const QString kPauseCaption = QStringLiteral("一時停止");
const QString kPlayMenuCaption = QStringLiteral("Pla&y");

// The playback time display and progress line follow the device every
// 25 ms rather than every millisecond: the eye sees no difference, and the
// GUI thread is not kept busy by a thousand redraws a second.
constexpr std::uint64_t kPlayDisplayMs = 25;

QString ConnectionText(const QString& reason) {
    return QStringLiteral("Failed to connect database\r\n Error message:") + reason;
}

}  // namespace

CKestruneDlg::CKestruneDlg(const Services& services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      connectionText_(ConnectionText(QStringLiteral("not connected"))) {
    if (services_.scenarios == nullptr) {
        ownScenarioChooser_ = MakeScenarioFileChooser();
        services_.scenarios = ownScenarioChooser_.get();
    }
    if (services_.input == nullptr) {
        auto none = std::make_unique<audio::VirtualInput>();
        none->SetRefuseOpen(true);
        ownInput_ = std::move(none);
        services_.input = ownInput_.get();
    }
    if (services_.timers == nullptr) services_.timers = &EventLoopTimers();
    recorder_ = std::make_unique<audio::RecordingEngine>(waveSet_, *services_.input);
    // Called on the audio thread: post one notice at a time to this thread.
    recorder_->SetDataNotifier([this] {
        if (inputNoticePosted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { OnInputData(); }, Qt::QueuedConnection);
    });
    recordTimer_ = services_.timers->Make([this] { ShowRecordingTime(); });
    player_ = std::make_unique<audio::PlaybackEngine>(waveSet_, services_.sound);
    // Called on the audio thread: post one notice at a time to this thread.
    player_->SetDoneNotifier([this] {
        if (outputNoticePosted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { OnOutputDone(); }, Qt::QueuedConnection);
    });
    playTimer_ = services_.timers->Make([this] { ShowPlaybackTime(); });
    setWindowTitle(QStringLiteral("Kestrune"));
    setWindowIcon(ProgramIcon());
    // A caption and a close box; the fixed size leaves nothing to maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    ComputeDialogUnits();
    BuildMenus();
    BuildToolbar();
    BuildWorkspace();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    SyncFormatChecks();
    ApplyControlStates(WorkspaceEvent::Initial);
}

CKestruneDlg::~CKestruneDlg() {
    // The devices stop before the window they notify goes.
    player_.reset();
    recorder_.reset();
}

void CKestruneDlg::ComputeDialogUnits() {
    // One unit across is a quarter of the average width of the Latin
    // letters, one unit down an eighth of the line height.
    const QFontMetricsF metrics(font());
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52.0;
    unitX_ = average / 4.0;
    unitY_ = metrics.height() / 8.0;
    // Japanese captions are wider than the face the layout was drawn for:
    // widen the units until the longest one fits its button.
    QPushButton probe;
    probe.setFont(font());
    for (const QString& caption :
         {QStringLiteral("ファイルを閉じる"), QStringLiteral("ファイルが開く"),
          QStringLiteral("録音が始まる")}) {
        probe.setText(caption);
        unitX_ = std::max(unitX_, probe.sizeHint().width() / kButtonWidth);
    }
    unitY_ = std::max(unitY_, probe.sizeHint().height() / kButtonHeight);
}

void CKestruneDlg::Place(QWidget* widget, double x, double y, double width, double height) const {
    const int left = static_cast<int>(std::lround(x * unitX_));
    const int top = static_cast<int>(std::lround((y - kToolbarBand) * unitY_));
    const int right = static_cast<int>(std::lround((x + width) * unitX_));
    const int bottom = static_cast<int>(std::lround((y + height - kToolbarBand) * unitY_));
    widget->setGeometry(left, top, right - left, bottom - top);
}

QAction* CKestruneDlg::AddAction(QMenu* menu, const QString& caption, const char* objectName) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

void CKestruneDlg::BuildMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("File(&F)"));
    file->setObjectName(QStringLiteral("fileMenu"));
    openAction_ = AddAction(file, QStringLiteral("&Open wave"), "actionOpenWave");
    saveAction_ = AddAction(file, QStringLiteral("&Save wave"), "actionSaveWave");
    closeAction_ = AddAction(file, QStringLiteral("&Close wave"), "actionCloseWave");
    closeAllAction_ = AddAction(file, QStringLiteral("Close &all waves"), "actionCloseAllWaves");
    file->addSeparator();
    exitAction_ = AddAction(file, QStringLiteral("&Exit"), "actionExit");
    connect(openAction_, &QAction::triggered, this, &CKestruneDlg::OpenWave);
    connect(saveAction_, &QAction::triggered, this, &CKestruneDlg::SaveWave);
    connect(closeAction_, &QAction::triggered, this, &CKestruneDlg::CloseWave);
    connect(closeAllAction_, &QAction::triggered, this, &CKestruneDlg::CloseAllWaves);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit(&E)"));
    edit->setObjectName(QStringLiteral("editMenu"));
    undoAction_ = AddAction(edit, QStringLiteral("&Undo"), "actionUndo");
    redoAction_ = AddAction(edit, QStringLiteral("&Redo"), "actionRedo");
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(undoAction_, &QAction::triggered, this, &CKestruneDlg::Undo);
    connect(redoAction_, &QAction::triggered, this, &CKestruneDlg::Redo);

    QMenu* options = bar->addMenu(QStringLiteral("Options(&I)"));
    options->setObjectName(QStringLiteral("optionsMenu"));
    connect(AddAction(options, QStringLiteral("Standard line &color"), "actionStandardLineColor"),
            &QAction::triggered, this, &CKestruneDlg::ChooseStandardLineColor);
    connect(AddAction(options, QStringLiteral("&Wave show background color"),
                      "actionWaveBackgroundColor"),
            &QAction::triggered, this, &CKestruneDlg::ChooseWaveBackgroundColor);
    connect(AddAction(options, QStringLiteral("&Frequency show background color"),
                      "actionFrequencyBackgroundColor"),
            &QAction::triggered, this, &CKestruneDlg::ChooseSpectrumBackgroundColor);
    connect(AddAction(options, QStringLiteral("&Audio devices..."), "actionAudioDevices"),
            &QAction::triggered, this, &CKestruneDlg::ChooseAudioDevices);
    connect(AddAction(options, QStringLiteral("&Calibrate..."), "actionCalibrate"),
            &QAction::triggered, this, &CKestruneDlg::Calibrate);
    options->addSeparator();

    // A radio submenu: one checked item at a time; `choose` runs for the item taken.
    auto radioMenu = [&](const QString& caption, const char* name,
                         const std::vector<uint32_t>& values, const char* itemPrefix, auto choose) {
        QMenu* menu = options->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        auto* group = new QActionGroup(menu);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
        std::map<uint32_t, QAction*> items;
        for (uint32_t value : values) {
            QAction* item = menu->addAction(QString::number(value));
            item->setObjectName(QString::fromLatin1(itemPrefix) + QString::number(value));
            item->setCheckable(true);
            group->addAction(item);
            connect(item, &QAction::triggered, this, [choose, value] { choose(value); });
            items[value] = item;
        }
        return items;
    };
    rateActions_ = radioMenu(QStringLiteral("&Sampling frequency(Hz)"), "sampleRateMenu",
                             {11025, 22050, 44100}, "actionRate",
                             [this](uint32_t rate) { SetSampleRate(rate); });
    for (const auto& [bits, item] : radioMenu(
             QStringLiteral("&Quantization accuracy(Bits)"), "bitsMenu", {8, 16}, "actionBits",
             [this](uint32_t bits) { SetBitsPerSample(static_cast<uint16_t>(bits)); })) {
        bitsActions_[static_cast<uint16_t>(bits)] = item;
    }
    // Framing takes effect at the next spectrum drawing: nothing is redrawn now.
    const auto frames = radioMenu(QStringLiteral("F&rame length(Bytes)"), "frameLengthMenu",
                                  {256, 512, 1024, 2048, 4096}, "actionFrame",
                                  [this](uint32_t length) { frameLength_ = length; });
    frames.at(frameLength_)->setChecked(true);
    const auto shifts =
        radioMenu(QStringLiteral("S&hifted samples(Bytes)"), "shiftMenu", {64, 128, 256, 512, 1024},
                  "actionShift", [this](uint32_t shift) { shiftSamples_ = shift; });
    shifts.at(shiftSamples_)->setChecked(true);

    // How the spectrogram is shown: redrawn at once, from the same wave.
    auto twoWayMenu = [&](const QString& caption, const char* name,
                          std::array<std::pair<QString, const char*>, 2> items, bool& option) {
        QMenu* menu = options->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        auto* group = new QActionGroup(menu);
        for (int i = 0; i < 2; ++i) {
            QAction* item = menu->addAction(items[static_cast<std::size_t>(i)].first);
            item->setObjectName(QString::fromLatin1(items[static_cast<std::size_t>(i)].second));
            item->setCheckable(true);
            item->setChecked(option == (i == 1));
            group->addAction(item);
            connect(item, &QAction::triggered, this, [this, &option, i] {
                option = i == 1;
                DrawSpectrum();
            });
        }
    };
    twoWayMenu(QStringLiteral("Spectrogram &window"), "spectrumWindowMenu",
               {{{QStringLiteral("&Rectangular"), "actionWindowRectangular"},
                 {QStringLiteral("&Hann"), "actionWindowHann"}}},
               hannWindow_);
    twoWayMenu(QStringLiteral("Spectrogram &level scale"), "levelScaleMenu",
               {{{QStringLiteral("&Magnitude / 256"), "actionLevelsMagnitude"},
                 {QStringLiteral("&Decibels"), "actionLevelsDecibels"}}},
               decibelLevels_);

    QMenu* operate = bar->addMenu(QStringLiteral("Operate(&O)"));
    operate->setObjectName(QStringLiteral("operateMenu"));
    recordStartAction_ = AddAction(operate, QStringLiteral("Record Star&t"), "actionRecordStart");
    recordStopAction_ = AddAction(operate, QStringLiteral("Record Sto&p"), "actionRecordStop");
    playAction_ = AddAction(operate, kPlayMenuCaption, "actionPlay");
    stopAction_ = AddAction(operate, QStringLiteral("&Stop"), "actionStop");
    operate->addSeparator();
    drawWaveAction_ = AddAction(operate, QStringLiteral("Draw &wave"), "actionDrawWave");
    drawFrequencyAction_ =
        AddAction(operate, QStringLiteral("Draw &frequency"), "actionDrawFrequency");
    connect(recordStartAction_, &QAction::triggered, this, &CKestruneDlg::StartRecording);
    connect(recordStopAction_, &QAction::triggered, this, &CKestruneDlg::StopRecording);
    connect(playAction_, &QAction::triggered, this, &CKestruneDlg::PlayOrPause);
    connect(stopAction_, &QAction::triggered, this, &CKestruneDlg::StopPlayback);
    connect(drawWaveAction_, &QAction::triggered, this, &CKestruneDlg::DrawWave);
    connect(drawFrequencyAction_, &QAction::triggered, this, &CKestruneDlg::DrawSpectrum);

    // The edit, generator and filter commands come with their dialogs.
    QMenu* process = bar->addMenu(QStringLiteral("Process(&P)"));
    process->setObjectName(QStringLiteral("processMenu"));
    cutLeftAction_ = AddAction(process, QStringLiteral("Cut &left"), "actionCutLeft");
    cutRightAction_ = AddAction(process, QStringLiteral("Cut &right"), "actionCutRight");
    for (QAction* cut : {cutLeftAction_, cutRightAction_}) cut->setCheckable(true);
    connect(cutLeftAction_, &QAction::triggered, this,
            [this] { ArmCutTool(edits::CutSide::Left); });
    connect(cutRightAction_, &QAction::triggered, this,
            [this] { ArmCutTool(edits::CutSide::Right); });
    process->addSeparator();
    connect(AddAction(process, QStringLiteral("&Horizontal Reverse"), "actionHorizontalReverse"),
            &QAction::triggered, this, &CKestruneDlg::HorizontalReverse);
    connect(AddAction(process, QStringLiteral("&Vertical Reverse"), "actionVerticalReverse"),
            &QAction::triggered, this, &CKestruneDlg::VerticalReverse);
    connect(AddAction(process, QStringLiteral("A&udio mixer"), "actionAudioMixer"),
            &QAction::triggered, this, &CKestruneDlg::AudioMixer);
    connect(AddAction(process, QStringLiteral("&Duty cycle"), "actionDutyCycle"),
            &QAction::triggered, this, &CKestruneDlg::ApplyDutyCycle);
    connect(AddAction(process, QStringLiteral("A&mplify"), "actionAmplify"), &QAction::triggered,
            this, &CKestruneDlg::AmplifyWave);
    connect(AddAction(process, QStringLiteral("&Add noise"), "actionAddNoise"), &QAction::triggered,
            this, &CKestruneDlg::AddNoise);
    connect(AddAction(process, QStringLiteral("&Power unification"), "actionPowerUnification"),
            &QAction::triggered, this, &CKestruneDlg::PowerUnification);
    connect(AddAction(process, QStringLiteral("&Siganl standardization"),
                      "actionSignalStandardization"),
            &QAction::triggered, this, &CKestruneDlg::SignalStandardization);
    process->addSeparator();
    connect(AddAction(process, QStringLiteral("Sin &generator"), "actionSinGenerator"),
            &QAction::triggered, this, &CKestruneDlg::SinGenerator);
    connect(AddAction(process, QStringLiteral("M&ix generator"), "actionMixGenerator"),
            &QAction::triggered, this, &CKestruneDlg::MixGenerator);
    process->addSeparator();
    connect(AddAction(process, QStringLiteral("&Time domain filter"), "actionTimeDomainFilter"),
            &QAction::triggered, this, &CKestruneDlg::TimeDomainFilter);
    connect(AddAction(process, QStringLiteral("&Frequency domain filter"),
                      "actionFrequencyDomainFilter"),
            &QAction::triggered, this, &CKestruneDlg::FrequencyDomainFilter);
    process->addSeparator();
    connect(AddAction(process, QStringLiteral("&Reset"), "actionReset"), &QAction::triggered, this,
            &CKestruneDlg::ResetWave);

    QMenu* analyse = bar->addMenu(QStringLiteral("Analyse(&A)"));
    analyse->setObjectName(QStringLiteral("analyseMenu"));
    // The kana confusion windows, modal on the shared connection.
    const auto kanaAnalysis = [this, analyse]<typename Window>(const QString& text,
                                                               const char* name) {
        connect(AddAction(analyse, text, name), &QAction::triggered, this, [this] {
            Window window(db_.get(), services_.prompter, this);
            window.exec();
        });
    };
    kanaAnalysis.operator()<CSydataanalyse>(QStringLiteral("Syllable &data analyse"),
                                            "actionSyllableDataAnalyse");
    kanaAnalysis.operator()<CSysegmentanalyse>(QStringLiteral("Syllable &segment analyse"),
                                               "actionSyllableSegmentAnalyse");
    kanaAnalysis.operator()<CSyrowanalyse>(QStringLiteral("Syllable &row analyse"),
                                           "actionSyllableRowAnalyse");
    analyse->addSeparator();
    connect(
        AddAction(analyse, QStringLiteral("&Intermittent analyse"), "actionIntermittentAnalyse"),
        &QAction::triggered, this, [this] {
            if (!db_) return services_.prompter.Message(this, connectionText_);
            CIntermittentAnalyse dialog(*db_, services_.prompter, this);
            dialog.exec();
        });
    connect(AddAction(analyse, QStringLiteral("&Trainging result analyse"),
                      "actionTrainingResultAnalyse"),
            &QAction::triggered, this, [this] {
                if (!db_) return services_.prompter.Message(this, connectionText_);
                CTrainingAnalysis dialog(*db_, services_.prompter, this);
                dialog.exec();
            });
    analyse->addSeparator();
    connect(AddAction(analyse, QStringLiteral("&Averaged spectrum"), "actionAveragedSpectrum"),
            &QAction::triggered, this, &CKestruneDlg::AveragedSpectrum);
    connect(
        AddAction(analyse, QStringLiteral("Find &Hz point in max energy"), "actionFindMaxEnergyHz"),
        &QAction::triggered, this, &CKestruneDlg::FindMaxEnergyHz);
    analyse->addSeparator();
    connect(AddAction(analyse, QStringLiteral("&Mask analyse"), "actionMaskAnalyse"),
            &QAction::triggered, this, &CKestruneDlg::MaskAnalyse);

    QMenu* test = bar->addMenu(QStringLiteral("Test(&T)"));
    test->setObjectName(QStringLiteral("testMenu"));
    audioInformationAction_ =
        AddAction(test, QStringLiteral("&Audio information"), "actionAudioInformation");
    individualInformationAction_ =
        AddAction(test, QStringLiteral("&Individual information"), "actionIndividualInformation");
    autoTestAction_ = AddAction(test, QStringLiteral("Auto &test"), "actionAutoTest");
    connect(AddAction(test, QStringLiteral("&Division listen"), "actionDivisionListen"),
            &QAction::triggered, this, &CKestruneDlg::DivisionListen);
    connect(AddAction(test, QStringLiteral("&Single test"), "actionSingleTest"),
            &QAction::triggered, this, &CKestruneDlg::ShowSingleTest);
    AddAction(test, QStringLiteral("&Time test"), "actionTimeTest");  // does nothing
    connect(audioInformationAction_, &QAction::triggered, this,
            &CKestruneDlg::ShowAudioInformation);
    connect(individualInformationAction_, &QAction::triggered, this,
            &CKestruneDlg::ShowIndividualInformation);
    connect(autoTestAction_, &QAction::triggered, this, &CKestruneDlg::ShowAutoTest);

    QMenu* help = bar->addMenu(QStringLiteral("Help(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    aboutAction_ = AddAction(help, QStringLiteral("&About Kestrune"), "actionAbout");
    connect(aboutAction_, &QAction::triggered, this, &CKestruneDlg::ShowAbout);
    connect(AddAction(help, QStringLiteral("&Contact author"), "actionContactAuthor"),
            &QAction::triggered, this, &CKestruneDlg::FollowContactLink);
    AddAction(help, QStringLiteral("&Help files"), "actionHelpFiles");  // does nothing
}

void CKestruneDlg::BuildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->toggleViewAction()->setVisible(false);

    auto add = [this](QAction* action, ToolIcon icon, const QString& tip) {
        action->setIcon(ToolbarIcon(icon));
        action->setToolTip(tip);
        action->setStatusTip(tip);
        toolbar_->addAction(action);
    };
    add(openAction_, ToolIcon::OpenWave, QStringLiteral("Open wave"));
    add(saveAction_, ToolIcon::SaveWave, QStringLiteral("Save wave"));
    toolbar_->addSeparator();
    add(undoAction_, ToolIcon::Undo, QStringLiteral("Undo"));
    add(redoAction_, ToolIcon::Redo, QStringLiteral("Redo"));
    toolbar_->addSeparator();
    add(drawWaveAction_, ToolIcon::DrawWave, QStringLiteral("Draw wave"));
    add(drawFrequencyAction_, ToolIcon::DrawFrequency, QStringLiteral("Draw frequency"));

    // The four mouse tools: check buttons, at most one down at a time.
    auto* tools = new QActionGroup(this);
    tools->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    auto tool = [&](ToolIcon icon, const QString& tip, const char* name) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        tools->addAction(action);
        add(action, icon, tip);
        connect(action, &QAction::toggled, this, [this, action](bool checked) {
            OnToolToggled(action, checked);
            SyncCutMenu();
        });
        toolActions_.push_back(action);
    };
    tool(ToolIcon::ZoomIn, QStringLiteral("Zoom in"), "toolZoomIn");
    tool(ToolIcon::ZoomOut, QStringLiteral("Zoom out"), "toolZoomOut");
    toolbar_->addSeparator();
    tool(ToolIcon::CutLeft, QStringLiteral("Cut left"), "toolCutLeft");
    tool(ToolIcon::CutRight, QStringLiteral("Cut right"), "toolCutRight");
    toolbar_->addSeparator();
    add(audioInformationAction_, ToolIcon::AudioInformation, QStringLiteral("Audio information"));
    add(individualInformationAction_, ToolIcon::IndividualInformation,
        QStringLiteral("Individual information"));
    add(autoTestAction_, ToolIcon::AutoTest, QStringLiteral("Auto test"));
    toolbar_->addSeparator();
    add(aboutAction_, ToolIcon::About, QStringLiteral("About Kestrune"));
    add(exitAction_, ToolIcon::Exit, QStringLiteral("Exit"));
}

void CKestruneDlg::OnToolToggled(QAction* tool, bool checked) {
    const auto index =
        std::find(toolActions_.begin(), toolActions_.end(), tool) - toolActions_.begin();
    // Zoom in, zoom out, cut left, cut right.
    static constexpr int kZoom[] = {1, -1, 0, 0};
    static constexpr int kCut[] = {0, 0, -1, 1};
    if (checked) {
        zoomTool_ = kZoom[index];
        cutTool_ = kCut[index];
    } else if (zoomTool_ == kZoom[index] && cutTool_ == kCut[index]) {
        zoomTool_ = 0;
        cutTool_ = 0;
    }
}

void CKestruneDlg::SyncCutMenu() {
    if (cutLeftAction_ == nullptr) return;
    cutLeftAction_->setChecked(cutTool_ == -1);
    cutRightAction_->setChecked(cutTool_ == 1);
}

void CKestruneDlg::ArmCutTool(edits::CutSide side) {
    const Outcome armed = edits::ArmCut(waveSet_);
    Show(armed);
    if (armed.ok) {
        // Toggling one tool of the exclusive group releases the zoom tools
        // and the other cut tool.
        QAction* tool = toolActions_[side == edits::CutSide::Left ? 2 : 3];
        tool->setChecked(!tool->isChecked());
    }
    SyncCutMenu();
}

void CKestruneDlg::HorizontalReverse() {
    ApplyEdit([&](WaveSet& set) { return edits::HorizontalReverse(set); });
}

void CKestruneDlg::VerticalReverse() {
    ApplyEdit([&](WaveSet& set) { return edits::VerticalReverse(set); });
}

void CKestruneDlg::PowerUnification() {
    ApplyEdit([&](WaveSet& set) { return edits::PowerUnification(set); });
}

void CKestruneDlg::SignalStandardization() {
    ApplyEdit([&](WaveSet& set) { return edits::SignalStandardization(set); });
}

QPushButton* CKestruneDlg::AddButton(const QString& caption, const char* objectName, int x, int y) {
    auto* button = new QPushButton(caption, workspace_);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    Place(button, x, y, kButtonWidth, kButtonHeight);
    return button;
}

void CKestruneDlg::BuildWorkspace() {
    workspace_ = new QWidget(this);
    workspace_->setObjectName(QStringLiteral("workspace"));
    setCentralWidget(workspace_);
    workspace_->setFixedSize(
        static_cast<int>(std::lround(kWindowWidth * unitX_)),
        static_cast<int>(std::lround((kWindowHeight - kToolbarBand) * unitY_)));

    // The etched line under the toolbar.
    auto* line = new QFrame(workspace_);
    line->setObjectName(QStringLiteral("toolbarLine"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, 0, workspace_->width(), 2);

    // Views and the strips for their scales and legends (drawn by the views).
    auto strip = [this](const char* name, double x, double y, double w, double h) {
        auto* area = new QWidget(workspace_);
        area->setObjectName(QString::fromLatin1(name));
        Place(area, x, y, w, h);
        return area;
    };
    QWidget* amplitudeStrip = strip("amplitudeStrip", 0, 19, 21, 137);
    QWidget* waveLegendStrip = strip("waveLegendStrip", 452, 32, 55, 120);
    QWidget* timeStrip = strip("timeStrip", 25, 158, 441, 15);
    QWidget* frequencyStrip = strip("frequencyStrip", 0, 163, 22, 180);
    QWidget* levelStrip = strip("levelStrip", 453, 169, 27, 175);
    waveView_ = new ViewFrame(waveBackgroundColor_, workspace_);
    waveView_->setObjectName(QStringLiteral("waveView"));
    Place(waveView_, 25, 29, 427, 128);
    spectrumView_ = new ViewFrame(spectrumBackgroundColor_, workspace_);
    spectrumView_->setObjectName(QStringLiteral("spectrumView"));
    Place(spectrumView_, 25, 173, 428, 172);
    views_ =
        new CWaveViews({.waves = waveSet_,
                        .prompter = services_.prompter,
                        .window = this,
                        .workspace = workspace_,
                        .waveView = waveView_,
                        .spectrumView = spectrumView_,
                        .amplitudeStrip = amplitudeStrip,
                        .timeStrip = timeStrip,
                        .frequencyStrip = frequencyStrip,
                        .waveLegendStrip = waveLegendStrip,
                        .levelStrip = levelStrip,
                        .tools = toolActions_,
                        .zoomTool = zoomTool_,
                        .cutTool = cutTool_,
                        .options =
                            [this] {
                                return ViewOptions{waveBackgroundColor_, spectrumBackgroundColor_,
                                                   standardLineColor_,   frameLength_,
                                                   shiftSamples_,        hannWindow_,
                                                   decibelLevels_};
                            },
                        .status = statusBar(),
                        .recordEdit = [this](const auto& edit) { return RecordEdit(edit); }},
                       this);
    connect(views_, &CWaveViews::WaveCut, this, [this] {
        SyncCutMenu();
        DrawWave();
        DrawSpectrum();
    });

    recordStartButton_ = AddButton(QStringLiteral("録音が始まる"), "recordStartButton", 44, 363);
    recordStopButton_ = AddButton(QStringLiteral("録音がとまる"), "recordStopButton", 128, 363);
    playButton_ = AddButton(kPlayCaption, "playButton", 211, 363);
    stopButton_ = AddButton(QStringLiteral("終了"), "stopButton", 295, 363);
    drawWaveButton_ = AddButton(QStringLiteral("波形をかく"), "drawWaveButton", 377, 363);
    openButton_ = AddButton(QStringLiteral("ファイルが開く"), "openButton", 44, 396);
    saveButton_ = AddButton(QStringLiteral("ファイルを保存"), "saveButton", 128, 396);
    closeButton_ = AddButton(QStringLiteral("ファイルを閉じる"), "closeButton", 211, 396);
    closeAllButton_ = AddButton(QStringLiteral("全部で閉じる"), "closeAllButton", 295, 396);
    drawFrequencyButton_ =
        AddButton(QStringLiteral("周波数をかく"), "drawFrequencyButton", 377, 396);
    connect(recordStartButton_, &QPushButton::clicked, this, &CKestruneDlg::StartRecording);
    connect(recordStopButton_, &QPushButton::clicked, this, &CKestruneDlg::StopRecording);
    connect(playButton_, &QPushButton::clicked, this, &CKestruneDlg::PlayOrPause);
    connect(stopButton_, &QPushButton::clicked, this, &CKestruneDlg::StopPlayback);
    connect(drawWaveButton_, &QPushButton::clicked, this, &CKestruneDlg::DrawWave);
    connect(openButton_, &QPushButton::clicked, this, &CKestruneDlg::OpenWave);
    connect(saveButton_, &QPushButton::clicked, this, &CKestruneDlg::SaveWave);
    connect(closeButton_, &QPushButton::clicked, this, &CKestruneDlg::CloseWave);
    connect(closeAllButton_, &QPushButton::clicked, this, &CKestruneDlg::CloseAllWaves);
    connect(drawFrequencyButton_, &QPushButton::clicked, this, &CKestruneDlg::DrawSpectrum);

    // Recording and playing time in seconds, right of their start buttons.
    auto timeDisplay = [this](const char* name, double x, double y, double w, double h) {
        auto* display = new QLabel(QStringLiteral("0"), workspace_);
        display->setObjectName(QString::fromLatin1(name));
        display->setAlignment(Qt::AlignCenter);
        display->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        Place(display, x, y, w, h);
        return display;
    };
    recordTimeDisplay_ = timeDisplay("recordTimeDisplay", 105, 367, 20, 14);
    playTimeDisplay_ = timeDisplay("playTimeDisplay", 272, 367, 22, 13);

    // "Contact :" and the contact link, on one text line.
    auto* contact = new QLabel(QStringLiteral("Contact :"), workspace_);
    contact->setObjectName(QStringLiteral("contactLabel"));
    contact->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Place(contact, 284, 440, 40, 11);
    contactLink_ = new CHyperLink(kContactAddress, workspace_, &services_.urls);
    contactLink_->setObjectName(QStringLiteral("contactLink"));
    contactLink_->SetUnderline(false);
    contactLink_->SetURL(kContactUrl);
    contactLink_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Place(contactLink_, 328, 440, 72, 11);
    contactLink_->SetAdjustToFit(false);  // keep the line's height for the baseline
}

void CKestruneDlg::ApplyControlStates(WorkspaceEvent event) {
    states_ = ControlStatesFor(event, states_);
    const ControlStates& s = states_;
    recordStartButton_->setEnabled(s.recordStart);
    recordStartAction_->setEnabled(s.recordStart);
    recordStopButton_->setEnabled(s.recordStop);
    recordStopAction_->setEnabled(s.recordStop);
    playButton_->setEnabled(s.play);
    playAction_->setEnabled(s.play);
    const bool pause = s.playCaption == PlayCaption::Pause;
    playButton_->setText(pause ? kPauseCaption : kPlayCaption);
    playAction_->setText(pause ? kPauseCaption : kPlayMenuCaption);
    stopButton_->setEnabled(s.stop);
    stopAction_->setEnabled(s.stop);
    openButton_->setEnabled(s.open);
    openAction_->setEnabled(s.open);
    saveButton_->setEnabled(s.save);
    saveAction_->setEnabled(s.save);
    drawWaveButton_->setEnabled(s.draw);
    drawWaveAction_->setEnabled(s.draw);
    drawFrequencyButton_->setEnabled(s.draw);
    drawFrequencyAction_->setEnabled(s.draw);
    closeButton_->setEnabled(s.closeButtons);
    closeAllButton_->setEnabled(s.closeButtons);
    // A menu item here has no "disabled but not greyed" look: both off
    // states disable it.
    const bool closeMenu = s.closeMenu == CloseMenuState::Enabled;
    closeAction_->setEnabled(closeMenu);
    closeAllAction_->setEnabled(closeMenu);
    for (QAction* tool : toolActions_) {
        if (s.releaseTools) tool->setChecked(false);
        tool->setEnabled(s.tools);
    }
    if (s.releaseTools) {
        zoomTool_ = 0;
        cutTool_ = 0;
    }
    SyncCutMenu();
    UpdateUndoActions();
}

void CKestruneDlg::UpdateUndoActions() {
    // The engines read and grow the set's buffers while they run.
    const bool free = !waveSet_.TransportRunning();
    undoAction_->setEnabled(free && history_.CanUndo());
    redoAction_->setEnabled(free && history_.CanRedo());
}

void CKestruneDlg::SyncFormatChecks() {
    if (const auto rate = rateActions_.find(waveSet_.format.sampleRate); rate != rateActions_.end())
        rate->second->setChecked(true);
    if (const auto bits = bitsActions_.find(waveSet_.format.bitsPerSample);
        bits != bitsActions_.end())
        bits->second->setChecked(true);
}

CKestruneDlg::StartResult CKestruneDlg::Start(const StartupOptions& options) {
    ApplyControlStates(WorkspaceEvent::Initial);
    zoomTool_ = 0;
    cutTool_ = 0;
    waveSet_.viewStart = 0.0;
    waveSet_.viewEnd = -1.0;
    services_.random.Seed(static_cast<uint32_t>(services_.clock.Now()));

    const QString station = options.stationDir.isEmpty() ? QDir::currentPath() : options.stationDir;
    stationDir_ = station;
    QString reason;
    const auto location =
        store::ResolveLocation(station, options.databaseUrl, options.environmentDatabase, &reason);
    if (location) {
        db_ = store::Database::Open(*location, &connectionText_);
    } else {
        connectionText_ = ConnectionText(reason);
    }
    if (!db_) {
        QString logged = connectionText_;
        logged.replace(QStringLiteral("\r\n"), QStringLiteral(" -"));
        qCWarning(lcSession).noquote()
            << "database not reached:" << (location ? location->Describe() : QString()) << "-"
            << logged;
        services_.prompter.Message(this, connectionText_);
        return StartResult::Workspace;
    }
    qCInfo(lcSession).noquote() << "database:" << db_->location().Describe();
    if (options.workspace) return StartResult::Workspace;

    panelMode_ = true;
    hide();
    {
        // The session's clock is the sound output's: answers are timed on
        // the clock the stimulus plays by.
        audio::SystemWaitClock ownClock;
        audio::WaitClock& clock =
            services_.soundClock != nullptr ? *services_.soundClock : ownClock;
        CMainTestPanel panel({.db = *db_,
                              .prompter = services_.prompter,
                              .sound = services_.sound,
                              .clock = clock,
                              .random = services_.random,
                              .stationFolder = station,
                              .speakerVolume = services_.speakerVolume});
        // Not exec(): the panel hides itself while the session's windows are
        // up, and hiding a dialog ends its exec() loop. It runs modal on a
        // loop of its own that only its closing (finished) ends.
        panel.setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        connect(&panel, &QDialog::finished, &loop, &QEventLoop::quit);
        panel.show();  // no parent: the main window is hidden
        loop.exec();
    }
    // The window was never shown: closing it is the end of the program.
    close();
    return StartResult::SessionEnded;
}

void CKestruneDlg::closeEvent(QCloseEvent* event) {
    if (!panelMode_ && !services_.prompter.Confirm(this, kQuitQuestion)) {
        event->ignore();
        return;
    }
    ShutdownAudio();
    event->accept();
}

void CKestruneDlg::ShutdownAudio() {
    if (recorder_->IsRecording()) {
        recorder_->StopRecording();
        recordTimer_->Stop();
    }
    player_->Shutdown();
    playTimer_->Stop();
}

void CKestruneDlg::Show(const Outcome& outcome) {
    if (!outcome.warning.empty())
        services_.prompter.Message(this, QString::fromStdString(outcome.warning));
    if (!outcome.message.empty())
        services_.prompter.Message(this, QString::fromStdString(outcome.message));
}

void CKestruneDlg::ShowAndRedraw(const Outcome& outcome) {
    Show(outcome);
    if (outcome.redraw) {
        DrawWave();
        DrawSpectrum();
    }
}

void CKestruneDlg::OpenWave() {
    const QString path = services_.files.ChooseOpenPath(this);
    if (path.isEmpty()) return;
    OpenWavePath(path);
}

void CKestruneDlg::OpenWaveFiles(const QStringList& paths) {
    for (const QString& path : paths) OpenWavePath(path);
}

void CKestruneDlg::OpenWavePath(const QString& path) {
    const Outcome outcome = waveSet_.OpenWave(QFile::encodeName(path).toStdString());
    // Opening and closing start a new history (see CloseWave).
    if (outcome.ok)
        history_.Clear();
    else
        history_.CheckFormat(waveSet_.format);
    UpdateUndoActions();
    // A refused file may still have set the rate of an empty set.
    SyncFormatChecks();
    Show(outcome);
    if (!outcome.ok) return;
    fileBits_ = waveSet_.format.bitsPerSample;
    fileRate_ = waveSet_.format.sampleRate;
    ApplyControlStates(WorkspaceEvent::AfterOpen);
    DrawWave();
    DrawSpectrum();
}

void CKestruneDlg::StartRecording() {
    inputNoticePosted_ = false;
    // The whole recording, from here to its end, is one step of the history.
    history_.Begin(waveSet_);
    const RecordingStep step = recorder_->StartRecording();
    if (!recorder_->IsRecording()) history_.Cancel();
    ApplyRecordingStep(step);
    ShowRecordingTime();
}

void CKestruneDlg::StopRecording() {
    ApplyRecordingStep(recorder_->StopRecording());
}

void CKestruneDlg::OnInputData() {
    inputNoticePosted_ = false;
    ApplyRecordingStep(recorder_->OnInputData());
}

void CKestruneDlg::ShowRecordingTime() {
    if (!recorder_->IsRecording()) return;
    recordTimeDisplay_->setText(QString::fromStdString(recorder_->TimeText()));
    recordTimer_->Start(100);
}

void CKestruneDlg::ApplyRecordingStep(const RecordingStep& step) {
    if (step.beep) QApplication::beep();
    Show(step.outcome);
    if (step.controls) ApplyControlStates(*step.controls);
    const bool ended = step.controls == WorkspaceEvent::RecordingEndedEmpty ||
                       step.controls == WorkspaceEvent::RecordingEndedWithSamples;
    if (ended) {
        recordTimer_->Stop();
        recordTimeDisplay_->clear();
        history_.Commit(waveSet_);
        UpdateUndoActions();
    }
    if (step.outcome.redraw) {
        DrawWave();
        DrawSpectrum();
    }
}

void CKestruneDlg::PlayOrPause() {
    outputNoticePosted_ = false;
    const audio::PlaybackStep step = player_->PlayOrPause();
    ApplyPlaybackStep(step);
    if (step.controls != WorkspaceEvent::Playing) return;
    playTimeDisplay_->setText(QString::fromStdString(player_->TimeText()));
    playTimer_->Start(kPlayDisplayMs);
}

void CKestruneDlg::StopPlayback() {
    ApplyPlaybackStep(player_->StopPlayback());
}

void CKestruneDlg::OnOutputDone() {
    outputNoticePosted_ = false;
    ApplyPlaybackStep(player_->OnOutputDone());
}

void CKestruneDlg::ShowPlaybackTime() {
    if (!player_->IsPlaying()) return;
    playTimeDisplay_->setText(QString::fromStdString(player_->TimeText()));
    views_->DrawProgressLine(player_->PositionSeconds());
    playTimer_->Start(kPlayDisplayMs);
}

void CKestruneDlg::ApplyPlaybackStep(const audio::PlaybackStep& step) {
    if (step.beep) QApplication::beep();
    if (!step.message.empty())
        services_.prompter.Message(this, QString::fromStdString(step.message));
    if (step.controls) ApplyControlStates(*step.controls);
    if (step.ended) {
        playTimer_->Stop();
        playTimeDisplay_->clear();
        views_->ClearProgressLine();
    }
}

void CKestruneDlg::SaveWave() {
    if (waveSet_.waveCount == 0) return;  // nothing to write
    const QString path = services_.files.ChooseSavePath(this);
    if (path.isEmpty()) return;
    const Outcome outcome = waveSet_.SaveWave(QFile::encodeName(path).toStdString());
    if (outcome.ok) {
        fileBits_ = waveSet_.format.bitsPerSample;
        fileRate_ = waveSet_.format.sampleRate;
    }
    ShowAndRedraw(outcome);
}

// Closing a wave, like opening one, is not an edit: it starts a new history,
// as closing a document does in any editor. The steps belong to the waves
// they were made on, and a wave's edits are kept by saving it.
void CKestruneDlg::CloseWave() {
    const Outcome outcome = waveSet_.CloseWave();
    if (outcome.ok) history_.Clear();
    UpdateUndoActions();
    ShowAndRedraw(outcome);
}

void CKestruneDlg::CloseAllWaves() {
    const Outcome outcome = waveSet_.CloseAllWaves();
    if (outcome.ok) history_.Clear();
    UpdateUndoActions();
    ShowAndRedraw(outcome);
}

bool CKestruneDlg::SetSampleRate(uint32_t rate) {
    const Outcome outcome = waveSet_.SetSampleRate(rate);
    Show(outcome);
    // The radio group has already moved the check: put it on the set's rate.
    SyncFormatChecks();
    history_.CheckFormat(waveSet_.format);
    UpdateUndoActions();
    return outcome.ok;
}

bool CKestruneDlg::SetBitsPerSample(uint16_t bits) {
    const Outcome outcome = waveSet_.SetBitsPerSample(bits);
    Show(outcome);
    SyncFormatChecks();
    history_.CheckFormat(waveSet_.format);
    UpdateUndoActions();
    return outcome.ok;
}

void CKestruneDlg::ResetWave() {
    // Back to the copy taken at opening, as one step that Undo takes back.
    ApplyEdit([](WaveSet& set) {
        Outcome outcome = set.RestoreBackup();
        outcome.redraw = true;  // in every case
        return outcome;
    });
}

void CKestruneDlg::ApplyEdit(const std::function<Outcome(WaveSet&)>& edit) {
    ShowAndRedraw(RecordEdit(edit));
}

Outcome CKestruneDlg::RecordEdit(const std::function<Outcome(WaveSet&)>& edit) {
    // An edit made while a recording runs joins the recording's step.
    const bool ownStep = !history_.Pending();
    if (ownStep) history_.Begin(waveSet_);
    const Outcome outcome = edit(waveSet_);
    if (ownStep) history_.Commit(waveSet_);
    UpdateUndoActions();
    return outcome;
}

void CKestruneDlg::Undo() {
    if (waveSet_.TransportRunning() || !history_.Undo(waveSet_)) {
        UpdateUndoActions();
        return;
    }
    ShowHistoryStep();
}

void CKestruneDlg::Redo() {
    if (waveSet_.TransportRunning() || !history_.Redo(waveSet_)) {
        UpdateUndoActions();
        return;
    }
    ShowHistoryStep();
}

void CKestruneDlg::ShowHistoryStep() {
    // A step may bring waves back or take them away: with waves the controls
    // are those after an open; an empty set gets its own from DrawWave.
    if (waveSet_.waveCount > 0) ApplyControlStates(WorkspaceEvent::AfterOpen);
    UpdateUndoActions();
    DrawWave();
    DrawSpectrum();
}

void CKestruneDlg::ApplyDutyCycle() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    const ProcessParameters& kept = waveSet_.processParameters;
    CSetParameters dialog({.periodMs = kept.periodMs,
                           .dutyCycle = kept.dutyCycle,
                           .periodType = kept.periodType,
                           .playbackSpeed = kept.playbackSpeed},
                          *services_.timers, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ApplyEdit([&](WaveSet& set) { return edits::DutyCycle(set, dialog.Settings()); });
}

void CKestruneDlg::AmplifyWave() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    CAmplify dialog(waveSet_.processParameters.amplifyFactor, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ApplyEdit([&](WaveSet& set) { return edits::Amplify(set, dialog.Amplification()); });
}

void CKestruneDlg::AddNoise() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    CAddNoise dialog(waveSet_.processParameters.noiseAmplitude, this);
    if (dialog.exec() != QDialog::Accepted) return;
    // Before any file was opened or saved (a recording), the set's own depth.
    const uint16_t bits = fileBits_ != 0 ? fileBits_ : waveSet_.format.bitsPerSample;
    ApplyEdit([&](WaveSet& set) {
        return edits::AddNoise(set, dialog.Amplitude(), bits, services_.random);
    });
}

void CKestruneDlg::AudioMixer() {
    if (const auto refusal = edits::RequireTwoWaves(waveSet_)) return Show(*refusal);
    QStringList names;
    for (int i = 0; i < waveSet_.waveCount; ++i) names << QString::fromStdString(waveSet_.names[i]);
    CMixer dialog(names, services_.prompter, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ApplyEdit([&](WaveSet& set) { return edits::MixWaves(set, dialog.Weights(), dialog.Mode()); });
}

void CKestruneDlg::SinGenerator() {
    if (waveSet_.waveCount != 0) return Show(Refusal(generators::kCloseWavesFirst));
    CSinGenerator dialog(generators::SineSettings{}, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const Outcome outcome =
        RecordEdit([&](WaveSet& set) { return generators::SinGenerator(set, dialog.Settings()); });
    ShowGenerated(outcome);
}

void CKestruneDlg::MixGenerator() {
    if (waveSet_.waveCount != 0) return Show(Refusal(generators::kCloseWavesFirst));
    // The station's own description when it has one (the demo kit makes it),
    // else the path the experimenters' stations have always used.
    generators::MixSettings start;
    const QString stationMix = QDir(stationDir_).filePath(QStringLiteral("CreateMix.ini"));
    start.descriptionPath = !stationDir_.isEmpty() && QFile::exists(stationMix)
                                ? QFile::encodeName(stationMix).toStdString()
                                : "D:\\Kestrune\\scenarios\\ZO7100\\CreateMix.ini";
    CMixGenerator dialog(start, *services_.scenarios, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const Outcome outcome = RecordEdit([&](WaveSet& set) {
        return generators::MixGenerator(set, dialog.Settings(), services_.random);
    });
    ShowGenerated(outcome);
}

void CKestruneDlg::ShowGenerated(const Outcome& outcome) {
    Show(outcome);
    if (waveSet_.waveCount == 0) return;
    // The new wave is shown as a wave just opened: controls, tools, views.
    ApplyControlStates(WorkspaceEvent::AfterOpen);
    DrawWave();
    DrawSpectrum();
}

void CKestruneDlg::TimeDomainFilter() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    const ProcessParameters& kept = waveSet_.processParameters;
    CTimeDomainFilter dialog(kept.filterStartAmplitude, kept.filterStopAmplitude, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const uint16_t bits = fileBits_ != 0 ? fileBits_ : waveSet_.format.bitsPerSample;
    ApplyEdit([&](WaveSet& set) {
        return edits::TimeDomainFilter(set, dialog.Low(), dialog.High(), bits);
    });
}

void CKestruneDlg::FrequencyDomainFilter() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    const ProcessParameters& kept = waveSet_.processParameters;
    CFreDomainFilter dialog(kept.filterStartFrequency, kept.filterStopFrequency, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const uint32_t rate = fileRate_ != 0 ? fileRate_ : waveSet_.format.sampleRate;
    const edits::FrameSettings frames{static_cast<int>(frameLength_),
                                      static_cast<int>(shiftSamples_)};
    ApplyEdit([&](WaveSet& set) {
        return edits::FrequencyDomainFilter(set, dialog.Low(), dialog.High(), rate, frames);
    });
}

void CKestruneDlg::AveragedSpectrum() {
    if (waveSet_.waveCount < 1) return Show(Refusal(dsp::kAtLeastOneWave));
    const std::vector<std::string> paths(waveSet_.paths.begin(),
                                         waveSet_.paths.begin() + waveSet_.waveCount);
    CAvgSpectrum dialog(static_cast<int>(frameLength_), static_cast<int>(shiftSamples_),
                        waveSet_.format.sampleRate, paths, services_.prompter, this);
    dialog.exec();
}

void CKestruneDlg::MaskAnalyse() {
    // df from the open waves' rate; without a wave each recording's own rate.
    const uint32_t rate = waveSet_.format.sampleRate;
    const double binWidth = rate != 0 ? static_cast<double>(rate) / frameLength_ : 0.0;
    CMaskAnalyse dialog({static_cast<int>(frameLength_), static_cast<int>(shiftSamples_), binWidth,
                         stationDir_, Db()},
                        services_.prompter, services_.files, this);
    dialog.exec();
}

void CKestruneDlg::FindMaxEnergyHz() {
    Show(dsp::PeakEnergyFrequency(waveSet_, static_cast<int>(frameLength_),
                                  static_cast<int>(shiftSamples_)));
}

void CKestruneDlg::DivisionListen() {
    if (const auto refusal = edits::RequireOneWave(waveSet_)) return Show(*refusal);
    ProcessParameters& kept = waveSet_.processParameters;
    // The dialog plays on the same device as Play: a running playback ends first.
    StopPlayback();
    CDivisionListen dialog({kept.divisionPeriodMs, kept.divisionDutyCycle, kept.divisionPeriodType},
                           waveSet_.samples[0], waveSet_.sampleCounts[0],
                           waveSet_.format.bitsPerSample, waveSet_.format.sampleRate,
                           services_.sound, services_.prompter, this);
    dialog.exec();
    const DivisionSettings settings = dialog.Settings();
    kept.divisionPeriodMs = static_cast<float>(settings.periodMs);
    kept.divisionDutyCycle = static_cast<float>(settings.duty);
    kept.divisionPeriodType = settings.periodType;
}

void CKestruneDlg::DrawWave() {
    // Every drawing shows the whole waves again; a one-sample set keeps the controls.
    const CWaveViews::WaveDrawing drawing = views_->DrawWave();
    if (drawing == CWaveViews::WaveDrawing::NothingDrawn) return;
    ApplyControlStates(drawing == CWaveViews::WaveDrawing::EmptySet ? WorkspaceEvent::EmptySet
                                                                    : WorkspaceEvent::WavesPresent);
}

void CKestruneDlg::DrawSpectrum() {
    views_->DrawSpectrum();
}

void CKestruneDlg::ChooseAudioDevices() {
    CAudioDevicesDlg::ListDevices list = services_.listDevices;
    if (!list) list = audio::ListSoundDevices;
    CAudioDevicesDlg::OpenOutput openOutput = services_.openToneOutput;
    if (!openOutput) {
        openOutput = [this](const audio::DeviceChoice& choice) {
            return audio::MakeSoundOutput("portaudio", services_.clock, choice, nullptr);
        };
    }
    const QString station = stationDir_.isEmpty() ? QDir::currentPath() : stationDir_;
    // Window-modal but not blocking: the workspace's event loop keeps running.
    auto* dialog = new CAudioDevicesDlg(list, std::move(openOutput), station, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CKestruneDlg::Calibrate() {
    if (!db_) {
        services_.prompter.Message(this, connectionText_);
        return;
    }
    auto openOutput = services_.openToneOutput;
    if (!openOutput) {
        // The device calibrated is the one named, never the default in its place.
        openOutput = [this](const audio::DeviceChoice& choice) {
            std::string missing;
            auto output = audio::MakeSoundOutput("portaudio", services_.clock, choice, &missing);
            return missing.empty() ? std::move(output) : nullptr;
        };
    }
    const QString station = stationDir_.isEmpty() ? QDir::currentPath() : stationDir_;
    auto* dialog = new CCalibrateDlg({.db = *db_,
                                      .clock = services_.clock,
                                      .openOutput = std::move(openOutput),
                                      .readVolume = services_.speakerVolume,
                                      .timers = services_.timers,
                                      .stationFolder = station},
                                     this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CKestruneDlg::ChooseStandardLineColor() {
    if (const auto color = services_.colors.ChooseColor(this, standardLineColor_)) {
        standardLineColor_ = *color;
        DrawWave();
    }
}

void CKestruneDlg::ChooseWaveBackgroundColor() {
    if (const auto color = services_.colors.ChooseColor(this, QColor(0, 0, 0))) {
        waveBackgroundColor_ = *color;
        waveView_->SetBackground(waveBackgroundColor_);
        DrawWave();
    }
}

void CKestruneDlg::ChooseSpectrumBackgroundColor() {
    if (const auto color = services_.colors.ChooseColor(this, QColor(255, 255, 255))) {
        spectrumBackgroundColor_ = *color;
        spectrumView_->SetBackground(spectrumBackgroundColor_);
        DrawSpectrum();
    }
}

void CKestruneDlg::ShowAbout() {
    CAboutDlg about(this, &services_.urls);
    about.exec();
}

void CKestruneDlg::ShowAudioInformation() {
    if (!db_) {
        services_.prompter.Message(this, connectionText_);
        return;
    }
    CAudioInfo dialog(*db_, services_.prompter, store::AudioRegistry::AllMaterials(), this);
    dialog.exec();
}

void CKestruneDlg::ShowIndividualInformation() {
    if (!db_) {
        services_.prompter.Message(this, connectionText_);
        return;
    }
    CIndividualInformation dialog(*db_, services_.prompter, store::SubjectRegistry::AllSubjects(),
                                  this);
    dialog.exec();
}

void CKestruneDlg::ShowAutoTest() {
    if (!db_) {
        services_.prompter.Message(this, connectionText_);
        return;
    }
    // The tests that exist run through the program's sound output; without
    // one (no device could be made) every type gets "Audio output error!".
    // The tests play on the same device: the workspace's playback ends first.
    StopPlayback();
    std::unique_ptr<TestDispatcher> dispatcher;
    if (services_.sound != nullptr && services_.soundClock != nullptr) {
        dispatcher = std::make_unique<BatteryTestDispatcher>(
            VowelTestServices{.db = *db_,
                              .prompter = services_.prompter,
                              .output = *services_.sound,
                              .clock = *services_.soundClock,
                              .random = services_.random,
                              .stationFolder = QDir::currentPath()});
    } else {
        dispatcher = std::make_unique<UnavailableTestDispatcher>(services_.prompter);
    }
    CAutoTest1 launcher(*db_, services_.prompter, *services_.scenarios, *dispatcher, this);
    launcher.exec();
}

void CKestruneDlg::ShowSingleTest() {
    if (!db_) {
        services_.prompter.Message(this, connectionText_);
        return;
    }
    StopPlayback();  // the experiment plays on the same device
    CSingleTest dialog({.db = *db_,
                        .prompter = services_.prompter,
                        .output = services_.sound,
                        .clock = services_.clock,
                        .random = services_.random,
                        .stationFolder = stationDir_.isEmpty() ? QDir::currentPath() : stationDir_},
                       this);
    dialog.exec();
}

void CKestruneDlg::FollowContactLink() {
    contactLink_->Follow();
}

}  // namespace kestrune::app
