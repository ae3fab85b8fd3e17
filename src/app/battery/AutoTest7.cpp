#include "app/battery/AutoTest7.h"

#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/battery/Directions.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "core/battery/VowelDiscrimination.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr const char* kPanelNames[kSpeedupPanels] = {"vowelA", "vowelI", "vowelU", "vowelE",
                                                     "vowelO"};

}  // namespace

CAutoTest7::CAutoTest7(const VowelTestServices& services, const SpeedupTestSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    setWindowTitle(QString::fromUtf8(kSpeedupCaption));

    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    SpeedupSettings settings;
    ScenarioCheck check;
    if (scenario.Opened()) {
        check = ReadSpeedupScenario(scenario, settings);
    } else {
        check.result = ScenarioStart::LoadFailed;
        check.messages.push_back(UnreadableScenarioMessage(setup_.scenarioPath.toStdString()));
    }
    for (const std::string& message : check.messages) Message(message);
    if (check.result == ScenarioStart::Ready) {
        if (settings.pictureNumber > 0)
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
        test_ = std::make_unique<SpeededSyllableTest>(std::move(settings),
                                                      static_cast<SpeedupHost&>(*this),
                                                      services_.random, services_.clock);
        qCInfo(lcSession).noquote() << "speeded syllable test opened: subject" << setup_.subjectId
                                    << "scenario" << setup_.scenarioPath;
    } else {
        qCWarning(lcSession).noquote()
            << "speeded syllable scenario refused:" << setup_.scenarioPath;
    }

    auto button = [this](const char* text, const char* name) {
        return TestButton(this, QString::fromUtf8(text), name);
    };
    startButton_ = button("始まる", "startButton");
    confirmButton_ = button("確認", "confirmButton");
    cannotButton_ = button("確認できない", "cannotButton");
    endButton_ = button("終了", "endButton");
    auto* choices = new QGroupBox(QStringLiteral("Please choose the syllable you heard"), this);
    auto* panels = new QHBoxLayout(choices);
    for (int v = 0; v < kSpeedupPanels; ++v) {
        QPushButton* panel = button("", kPanelNames[v]);
        panel->setText(QString::fromUtf8(VowelLabel(v).data()));
        panel->setFont(FaceFont(kGothicFace, 30));
        panel->setMinimumSize(90, 90);
        panels_[static_cast<size_t>(v)] = panel;
        panels->addWidget(panel);
        connect(panel, &QPushButton::clicked, this, [this, v] {
            if (test_) test_->Choose(v);
        });
    }
    trialCount_ = new QLabel(QStringLiteral("0"), this);
    trialCount_->setObjectName(QStringLiteral("trialCount"));
    trialCount_->setFont(FaceFont(kGothicFace, 30));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(400, 300);

    auto* answers = new QVBoxLayout;
    answers->addWidget(trialCount_, 0, Qt::AlignHCenter);
    answers->addStretch(1);
    for (QPushButton* b : {confirmButton_, cannotButton_}) {
        b->setMinimumHeight(48);
        answers->addWidget(b);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addLayout(answers);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(endButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(choices);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, [this] {
        if (test_) test_->Start();
    });
    connect(confirmButton_, &QPushButton::clicked, this, [this] { test_->Confirm(); });
    connect(cannotButton_, &QPushButton::clicked, this, [this] { test_->CannotIdentify(); });
    connect(endButton_, &QPushButton::clicked, this, &CAutoTest7::reject);

    startButton_->setEnabled(test_ != nullptr);
    SetConfirmEnabled(false);
    SetCannotIdentifyEnabled(false);
    ShowChoice(-1);
    if (!test_) return;
    ShowProgress(test_->Progress());
    if (pictures_)
        pictures_->Draw(
            [this](const std::string& file) { return picture_->SetPath(FromStd(file)); });
}

CAutoTest7::~CAutoTest7() {
    runner_->Cancel();
    worker_->Cancel();
}

int CAutoTest7::RunModal() {
    if (!test_) return Rejected;
    int volume = test_->Settings().volume;
    const bool shown = RunDirections(this, 7, services_, volume);
    test_->SetVolume(volume);
    if (!shown) return Rejected;
    return RunWindowModal(*this);
}

QString CAutoTest7::StationFolder() const {
    return StationFolderOf(services_);
}

bool CAutoTest7::Playing() const {
    return worker_->Running();
}

QString CAutoTest7::PictureFile() const {
    return pictures_ ? FromStd(pictures_->CurrentFile()) : QString();
}

void CAutoTest7::reject() {
    if (!services_.prompter.Confirm(this, QString::fromUtf8(kSpeedupQuitQuestion))) return;
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
}

void CAutoTest7::SetStartEnabled(bool enabled) {
    startButton_->setEnabled(enabled);
}

void CAutoTest7::SetConfirmEnabled(bool enabled) {
    confirmButton_->setEnabled(enabled);
}

void CAutoTest7::SetCannotIdentifyEnabled(bool enabled) {
    cannotButton_->setEnabled(enabled);
}

void CAutoTest7::ShowChoice(int choice) {
    for (int v = 0; v < kSpeedupPanels; ++v) {
        panels_[static_cast<size_t>(v)]->setStyleSheet(
            v == choice ? QStringLiteral("background-color: rgb(0, 255, 0);")
                        : QStringLiteral("background-color: white;"));
    }
}

void CAutoTest7::ShowTrialCount(int count) {
    trialCount_->setText(QString::number(count));
}

void CAutoTest7::ShowProgress(const SpeedupProgress& progress) {
    progress_->setRange(0, progress.range);
    progress_->setValue(progress.position);
}

bool CAutoTest7::PlayStimulus(const std::string& path, const StimulusSettings& settings) {
    worker_->Cancel();
    LoadedStimulus loaded = LoadStimulus(path, kMaskedMissingMessage);
    if (!loaded.ok) {
        qCWarning(lcSession).noquote() << "stimulus failed:" << FromStd(path);
        Message(loaded.message);
        return false;
    }
    StimulusOutcome processed = ProcessStimulus(loaded.samples.data(), loaded.sampleCount,
                                                loaded.format, settings, services_.random);
    if (!processed.ok) {
        Message(processed.message);
        return false;
    }
    ProcessedStimulus& stimulus = processed.stimulus;
    qCInfo(lcSession).noquote() << "stimulus" << FromStd(path) << "speed" << settings.speed
                                << "repetitions" << settings.repeatCount;
    test_->StimulusStarted();
    const int id = ++playing_;
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Message(kAudioOutputErrorMessage); }, Qt::QueuedConnection);
    };
    events.finished = [this, id] {
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                if (id == playing_) test_->PlaybackFinished();
            },
            Qt::QueuedConnection);
    };
    const std::uint64_t wait = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    worker_->Start(stimulus.format, std::move(stimulus.samples), stimulus.repeatCount, wait,
                   std::move(events));
    return true;
}

void CAutoTest7::StopWorker() {
    ++playing_;
    worker_->Cancel();
}

bool CAutoTest7::Store(const SpeedupRecord& record) {
    store::SpeedupAnswerRow row;
    row.subjectId = setup_.subjectId;
    row.volume = record.volume;
    row.selfEvaluation = setup_.selfEvaluation;
    row.time = FromStd(record.timeText);
    row.duration = record.durationSeconds;
    row.content = FromStd(record.content);
    row.recognised = FromStd(record.recognised);
    row.speed = FromStd(record.speedText);
    row.state = record.state;
    row.validity = record.validity;
    const auto stored = store::AddSpeedupAnswer(services_.db, row);
    if (!stored.Ok()) {
        qCWarning(lcSession).noquote() << "answer not stored:" << stored.error->message;
        services_.prompter.Message(this, stored.error->Text());
        return false;
    }
    qCInfo(lcSession).noquote() << "answer stored: subject" << row.subjectId << "played"
                                << row.content << "chosen" << row.recognised << "speed" << row.speed
                                << "state" << row.state << "validity" << row.validity;
    return true;
}

std::optional<double> CAutoTest7::AverageFailingSpeed() {
    const auto average = store::ReadFailingSpeedAverage(services_.db, setup_.subjectId);
    if (!average.Ok()) {
        services_.prompter.Message(this, average.error->Text());
        return std::nullopt;
    }
    if (!average.value) Message(kReadResultFailedMessage);
    return average.value;
}

void CAutoTest7::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

void CAutoTest7::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

void CAutoTest7::RunSteps(StepSequence steps) {
    runner_->Start(std::move(steps));
}

void CAutoTest7::CancelSteps() {
    runner_->Cancel();
}

void CAutoTest7::RequestClose() {
    // After the step that asked has returned.
    QMetaObject::invokeMethod(this, &CAutoTest7::reject, Qt::QueuedConnection);
}

}  // namespace kestrune::app
