#include "app/battery/AutoTest4.h"

#include <QDir>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/Volume.h"
#include "app/battery/Directions.h"
#include "app/battery/InputDlg.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "core/kana/KanaTable.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

constexpr const char* kFillSessionFailedMessage = "Failed to fill statistical record!";
constexpr const char* kPauseCaption = "一時停止";
constexpr const char* kResumeCaption = "続く";

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CAutoTest4::CAutoTest4(const VowelTestServices& services, const SyllableTestSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)),
      volumeRunner_([](QWidget* owner, int percent) {
          CVolume volume(owner);
          volume.SetVolume(percent);
          volume.exec();
          return volume.Volume();
      }) {
    setWindowTitle(QString::fromUtf8(kSyllableCaption));

    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    SyllableSettings settings;
    ScenarioCheck check;
    if (scenario.Opened()) {
        check = ReadSyllableScenario(scenario, settings);
    } else {
        check.result = ScenarioStart::LoadFailed;
        check.messages.push_back(UnreadableScenarioMessage(setup_.scenarioPath.toStdString()));
    }
    for (const std::string& message : check.messages) Message(message);
    if (check.result == ScenarioStart::Ready) {
        if (settings.pictureNumber > 0)
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
        test_ = std::make_unique<InterruptedSpeechTest>(std::move(settings),
                                                        static_cast<SyllableHost&>(*this),
                                                        services_.clock, services_.random);
        qCInfo(lcSession).noquote() << "interrupted speech test opened: subject" << setup_.subjectId
                                    << "scenario" << setup_.scenarioPath;
    } else {
        qCWarning(lcSession).noquote() << "syllable scenario refused:" << setup_.scenarioPath;
    }

    auto button = [this](const QString& text, const char* name) {
        return TestButton(this, text, name);
    };
    startButton_ = button(QStringLiteral("始まる"), "startButton");
    confirmButton_ = button(QStringLiteral("確認"), "confirmButton");
    notRecognisedButton_ = button(QStringLiteral("全然確認できない"), "notRecognisedButton");
    rollBackButton_ = button(QStringLiteral("元に戻す"), "rollBackButton");
    closeButton_ = button(QStringLiteral("終了"), "closeButton");
    pauseButton_ = button(QString::fromUtf8(kPauseCaption), "pauseButton");
    volumeButton_ = button(QStringLiteral("音量を調整する"), "volumeButton");
    const QFont large = FaceFont(kGothicFace, 30);
    answer_ = new QLineEdit(this);
    answer_->setObjectName(QStringLiteral("answerEdit"));
    answer_->setFont(large);
    answer_->setMaxLength(8);
    auto* answerLabel = new QLabel(QStringLiteral("カナ："), this);
    answerLabel->setFont(large);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("実験の進度 %p%"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(320, 240);
    auto* instructionBox = new QGroupBox(QStringLiteral("操作指示"), this);
    instruction_ = new QLabel(instructionBox);
    instruction_->setObjectName(QStringLiteral("instruction"));
    QFont instructionFont = FaceFont(kGothicFace, 12);
    instructionFont.setPointSizeF(11.5);
    instruction_->setFont(instructionFont);
    instruction_->setMinimumSize(440, 4 * 18);
    instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    (new QVBoxLayout(instructionBox))->addWidget(instruction_);

    auto* results = new QGroupBox(QStringLiteral("結果"), this);
    auto* answers = new QVBoxLayout(results);
    auto* answerRow = new QHBoxLayout;
    answerRow->addWidget(answerLabel);
    answerRow->addWidget(answer_, 1);
    answers->addLayout(answerRow);
    for (QPushButton* b : {confirmButton_, notRecognisedButton_}) {
        b->setMinimumHeight(40);
        answers->addWidget(b);
    }
    answers->addStretch(1);
    answers->addWidget(rollBackButton_);
    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addWidget(results, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(pauseButton_);
    bottom->addWidget(volumeButton_);
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(MakeKanaTable());
    layout->addWidget(instructionBox);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, [this] {
        if (test_) test_->Start();
    });
    connect(confirmButton_, &QPushButton::clicked, this,
            [this] { test_->Answer(answer_->text().toStdString()); });
    connect(answer_, &QLineEdit::returnPressed, this, [this] {
        if (confirmButton_->isEnabled()) test_->Answer(answer_->text().toStdString());
    });
    connect(notRecognisedButton_, &QPushButton::clicked, this, [this] { test_->NotRecognised(); });
    connect(rollBackButton_, &QPushButton::clicked, this, [this] { test_->RollBackLast(); });
    connect(pauseButton_, &QPushButton::clicked, this, [this] { test_->TogglePause(); });
    connect(volumeButton_, &QPushButton::clicked, this,
            [this] { volume_ = volumeRunner_(this, volume_); });
    connect(closeButton_, &QPushButton::clicked, this, &CAutoTest4::reject);

    startButton_->setEnabled(test_ != nullptr);
    pauseButton_->setEnabled(test_ != nullptr);
    SetAnswerButtons(false);
    SetRollBackEnabled(false);
    if (!test_) return;
    ShowInstruction(kSyllableWelcomeText);
    ShowProgress(test_->ProgressPosition(), test_->ProgressRange());
    if (pictures_)
        pictures_->Draw(
            [this](const std::string& file) { return picture_->SetPath(FromStd(file)); });
}

CAutoTest4::~CAutoTest4() {
    runner_->Cancel();
    worker_->Cancel();
}

QWidget* CAutoTest4::MakeKanaTable() {
    // The 104 syllables in the table's order, in rows of the kana rows: a
    // click appends the kana to the answer, so two-kana answers are two clicks.
    auto* box = new QGroupBox(QStringLiteral("カナ表"), this);
    box->setObjectName(QStringLiteral("kanaTable"));
    auto* grid = new QGridLayout(box);
    grid->setSpacing(1);
    const QFont font = FaceFont(kGothicFace, 11);
    constexpr int kColumns = 16;
    for (int n = 1; n <= kKanaCount; ++n) {
        const QString kana = FromStd(SyllableToKana(n));
        auto* b = new QPushButton(kana, box);
        b->setObjectName(QStringLiteral("kana%1").arg(n));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFont(font);
        b->setFixedSize(40, 26);
        grid->addWidget(b, (n - 1) / kColumns, (n - 1) % kColumns);
        connect(b, &QPushButton::clicked, this, [this, kana] {
            answer_->insert(kana);
            answer_->setFocus();
        });
    }
    auto* clear = new QPushButton(QStringLiteral("消す"), box);
    clear->setObjectName(QStringLiteral("kanaClear"));
    clear->setAutoDefault(false);
    clear->setFocusPolicy(Qt::NoFocus);
    clear->setFont(font);
    connect(clear, &QPushButton::clicked, answer_, &QLineEdit::clear);
    grid->addWidget(clear, (kKanaCount - 1) / kColumns, kColumns - 2, 1, 2);
    return box;
}

int CAutoTest4::RunModal() {
    if (!test_) return Rejected;
    if (!RunDirections(this, 4, services_, volume_)) return Rejected;
    return RunWindowModal(*this);
}

QString CAutoTest4::StationFolder() const {
    return StationFolderOf(services_);
}

QString CAutoTest4::Instruction() const {
    return InstructionTextOf(*instruction_);
}

bool CAutoTest4::Playing() const {
    return worker_->Running();
}

void CAutoTest4::reject() {
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
}

void CAutoTest4::ShowInstruction(const std::string& text) {
    SetInstructionText(*instruction_, text);
}

void CAutoTest4::SetStartEnabled(bool enabled) {
    startButton_->setEnabled(enabled);
}

void CAutoTest4::SetAnswerButtons(bool enabled) {
    confirmButton_->setEnabled(enabled);
    notRecognisedButton_->setEnabled(enabled);
}

void CAutoTest4::SetRollBackEnabled(bool enabled) {
    rollBackButton_->setEnabled(enabled);
}

void CAutoTest4::ShowPaused(bool paused) {
    pauseButton_->setText(QString::fromUtf8(paused ? kResumeCaption : kPauseCaption));
}

void CAutoTest4::ClearAnswer() {
    answer_->clear();
}

void CAutoTest4::FocusAnswer() {
    answer_->setFocus();
}

void CAutoTest4::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

bool CAutoTest4::Confirm(const std::string& text) {
    return services_.prompter.Confirm(this, FromStd(text));
}

void CAutoTest4::ShowDbError(const QString& text) {
    qCWarning(lcSession).noquote() << "interrupted speech test:" << text;
    services_.prompter.Message(this, text);
}

bool CAutoTest4::LoadSyllable(const std::string& path) {
    worker_->Cancel();
    loaded_ = LoadStimulus(path, kSyllableCannotOpenMessage);
    if (loaded_->ok) return true;
    qCWarning(lcSession).noquote() << "syllable failed:" << FromStd(path);
    Message(loaded_->message);
    loaded_.reset();
    return false;
}

void CAutoTest4::PlayLoaded(const StimulusSettings& settings) {
    if (!loaded_) return;
    StimulusOutcome processed = ProcessStimulus(loaded_->samples.data(), loaded_->sampleCount,
                                                loaded_->format, settings, services_.random);
    loaded_.reset();
    if (!processed.ok) {
        Message(processed.message);
        return;
    }
    ProcessedStimulus& stimulus = processed.stimulus;
    qCInfo(lcSession).noquote() << "syllable" << FromStd(test_->Played()) << "speed"
                                << settings.speed << "noise" << settings.noiseLevel << "period"
                                << settings.interruptionMs << "kept" << settings.keptFraction;
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Message(kAudioOutputErrorMessage); }, Qt::QueuedConnection);
    };
    const std::uint64_t wait = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    worker_->Start(stimulus.format, std::move(stimulus.samples), stimulus.repeatCount, wait,
                   std::move(events));
}

void CAutoTest4::StopWorker() {
    worker_->Cancel();
}

std::optional<long long> CAutoTest4::StartSession(const SyllableItem& item) {
    const store::SessionItemRow row = store::SessionItemRowOf(
        item, setup_.subjectId, setup_.selfEvaluation, volume_, kSyllableSessionType);
    const auto started = store::StartSessionItem(services_.db, row);
    if (!started.Ok()) {
        ShowDbError(started.error->Text());
        return std::nullopt;
    }
    return started.value;
}

void CAutoTest4::FinishSession(long long session, long long durationSeconds, int number,
                               int validity) {
    const auto finished =
        store::FinishSessionItem(services_.db, session, durationSeconds, number, validity);
    if (!finished.Ok())
        ShowDbError(finished.error->Text());
    else if (!finished.value.found)
        Message(kFillSessionFailedMessage);
}

bool CAutoTest4::StoreTrial(long long session, const SyllableTrial& trial) {
    const store::TrialRow row = store::SyllableTrialRowOf(trial, setup_.subjectId, session);
    const auto stored = store::AddTrial(services_.db, row);
    if (!stored.Ok()) {
        ShowDbError(stored.error->Text());
        return false;
    }
    lastRow_ = stored.value;
    qCInfo(lcSession).noquote() << "trial stored: subject" << row.subjectId << "played"
                                << row.content << "answer" << row.recognised;
    return true;
}

std::optional<std::string> CAutoTest4::TakeLastTrial() {
    if (!lastRow_) return std::nullopt;
    const auto taken = store::TakeTrial(services_.db, *lastRow_);
    if (!taken.Ok()) {
        ShowDbError(taken.error->Text());
        return std::nullopt;
    }
    lastRow_.reset();
    if (!taken.value) return std::nullopt;
    return taken.value->toStdString();
}

std::optional<std::pair<int, int>> CAutoTest4::ReadHalfDutyScore() {
    const auto score = store::ReadHalfDutyScore(services_.db, setup_.subjectId);
    if (!score.Ok()) {
        ShowDbError(score.error->Text());
        return std::nullopt;
    }
    return std::pair{score.value.correct, score.value.total};
}

void CAutoTest4::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

void CAutoTest4::ShowProgress(int position, int range) {
    progress_->setRange(0, range);
    progress_->setValue(position);
}

void CAutoTest4::RunSteps(StepSequence steps) {
    runner_->Start(std::move(steps));
}

void CAutoTest4::CancelSteps() {
    runner_->Cancel();
}

}  // namespace kestrune::app
