#include "app/battery/AutoTest2.h"

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
#include "app/battery/InputDlg.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "store/Database.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CAutoTest2::CAutoTest2(const VowelTestServices& services, const SentenceTestSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    setWindowTitle(QString::fromUtf8(kSentenceCaption));

    // Every item names a registered material; its path is played as stored,
    // inside the station folder when it is relative.
    store::AudioRegistry registry(services_.db);
    const QDir station(StationFolder());
    auto lookup = [&](int audioId) {
        MaterialLookup found;
        const auto material = registry.Load(audioId);
        if (!material.Ok()) {
            found.error = material.error->Text().toStdString();
        } else if (material.value) {
            const QString path = material.value->pathname;
            found.path = path.isEmpty() ? std::string() : station.filePath(path).toStdString();
        }
        return found;
    };
    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    SentenceSettings settings;
    ScenarioCheck check;
    if (scenario.Opened()) {
        check = ReadSentenceScenario(scenario, lookup, settings);
    } else {
        check.result = ScenarioStart::LoadFailed;
        check.messages.push_back(UnreadableScenarioMessage(setup_.scenarioPath.toStdString()));
    }
    for (const std::string& message : check.messages) Message(message);
    if (check.result == ScenarioStart::Ready) {
        if (settings.pictureNumber > 0)
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
        test_ = std::make_unique<SentenceRecognitionTest>(
            std::move(settings), static_cast<SentenceHost&>(*this), services_.clock);
        qCInfo(lcSession).noquote() << "sentence test opened: subject" << setup_.subjectId
                                    << "scenario" << setup_.scenarioPath;
    } else {
        qCWarning(lcSession).noquote() << "sentence scenario refused:" << setup_.scenarioPath;
    }

    auto button = [this](const char* text, const char* name) {
        return TestButton(this, QString::fromUtf8(text), name);
    };
    startButton_ = button("始まる", "startButton");
    recognisedButton_ = button("認識できる", "recognisedButton");
    tryButton_ = button("やってみましょう", "tryButton");
    notRecognisedButton_ = button("認識できない", "notRecognisedButton");
    rollBackButton_ = button("元に戻す", "rollBackButton");
    closeButton_ = button("終了", "closeButton");
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("実験の進度 %p%"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(400, 300);
    auto* instructionBox = new QGroupBox(QStringLiteral("操作指示"), this);
    instruction_ = new QLabel(instructionBox);
    instruction_->setObjectName(QStringLiteral("instruction"));
    instruction_->setFont(FaceFont(kGothicFace, 13));
    instruction_->setMinimumSize(440, 5 * 18);
    instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    (new QVBoxLayout(instructionBox))->addWidget(instruction_);

    auto* results = new QGroupBox(QStringLiteral("結果"), this);
    auto* answers = new QVBoxLayout(results);
    for (QPushButton* b : {recognisedButton_, tryButton_, notRecognisedButton_}) {
        b->setMinimumHeight(48);
        answers->addWidget(b);
    }
    answers->addStretch(1);
    answers->addWidget(rollBackButton_);
    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addWidget(results);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(instructionBox);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, [this] {
        if (test_) test_->Start();
    });
    connect(recognisedButton_, &QPushButton::clicked, this,
            [this] { test_->Button(SentenceAnswer::Recognised); });
    connect(tryButton_, &QPushButton::clicked, this,
            [this] { test_->Button(SentenceAnswer::TryIt); });
    connect(notRecognisedButton_, &QPushButton::clicked, this,
            [this] { test_->Button(SentenceAnswer::NotRecognised); });
    connect(rollBackButton_, &QPushButton::clicked, this, [this] { test_->RollBackLast(); });
    connect(closeButton_, &QPushButton::clicked, this, &CAutoTest2::reject);

    startButton_->setEnabled(test_ != nullptr);
    SetAnswerButtons(false);
    SetRollBackEnabled(false);
    if (!test_) return;
    ShowInstruction(kSentenceWelcomeText);
    UpdateProgress();
    if (pictures_)
        pictures_->Draw([this](const std::string& file) { return ShowPictureFile(file); });
}

CAutoTest2::~CAutoTest2() {
    runner_->Cancel();
    worker_->Cancel();
    delete entry_.data();
}

int CAutoTest2::RunModal() {
    if (!test_) return Rejected;
    if (!RunDirections(this, 2, services_, volume_)) return Rejected;
    return RunWindowModal(*this);
}

QString CAutoTest2::StationFolder() const {
    return StationFolderOf(services_);
}

QString CAutoTest2::Instruction() const {
    return InstructionTextOf(*instruction_);
}

QString CAutoTest2::PictureFile() const {
    return pictures_ ? FromStd(pictures_->CurrentFile()) : QString();
}

bool CAutoTest2::Playing() const {
    return worker_->Running();
}

void CAutoTest2::reject() {
    runner_->Cancel();
    worker_->Cancel();
    CloseEntries();
    QDialog::reject();
}

void CAutoTest2::ShowInstruction(const std::string& text) {
    SetInstructionText(*instruction_, text);
}

void CAutoTest2::SetStartEnabled(bool enabled) {
    startButton_->setEnabled(enabled);
}

void CAutoTest2::SetAnswerButtons(bool enabled) {
    for (QPushButton* b : {recognisedButton_, tryButton_, notRecognisedButton_})
        b->setEnabled(enabled);
}

void CAutoTest2::SetRollBackEnabled(bool enabled) {
    rollBackButton_->setEnabled(enabled);
}

void CAutoTest2::PlayStimulus(const std::string& wavePath,
                              const std::optional<StimulusSettings>& settings) {
    worker_->Cancel();
    if (!settings) {
        // An item whose mask names no factor plays nothing; its answer is
        // still timed from here.
        test_->StimulusStarted();
        return;
    }
    LoadedStimulus loaded = LoadStimulus(wavePath);
    if (!loaded.ok) {
        qCWarning(lcSession).noquote() << "stimulus failed:" << FromStd(wavePath);
        Message(loaded.message);
        return;
    }
    StimulusOutcome processed = ProcessStimulus(loaded.samples.data(), loaded.sampleCount,
                                                loaded.format, *settings, services_.random);
    if (!processed.ok) {
        Message(processed.message);
        return;
    }
    ProcessedStimulus& stimulus = processed.stimulus;
    qCInfo(lcSession).noquote() << "stimulus" << FromStd(wavePath) << "speed" << settings->speed
                                << "noise" << settings->noiseLevel << "period"
                                << settings->interruptionMs << "kept" << settings->keptFraction;
    test_->StimulusStarted();
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Message(kAudioOutputErrorMessage); }, Qt::QueuedConnection);
    };
    const std::uint64_t wait = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    worker_->Start(stimulus.format, std::move(stimulus.samples), stimulus.repeatCount, wait,
                   std::move(events));
}

CInputDlg* CAutoTest2::OpenEntry(const QString& prompt, const QString& text) {
    CloseEntries();
    auto* entry = new CInputDlg(services_.db, services_.clock, services_.prompter, this);
    entry->setAttribute(Qt::WA_DeleteOnClose);
    entry->SetTitle(QString::fromUtf8(kSentenceTypedTitle));
    entry->SetPrompt(prompt);
    entry->SetText(text);
    entry->SetVolume(volume_);
    entry_ = entry;
    entry->show();
    return entry;
}

void CAutoTest2::OpenTypedEntry(const std::string& text) {
    CInputDlg* entry = OpenEntry(QString::fromUtf8(kSentenceTypedPrompt), FromStd(text));
    connect(entry, &QDialog::finished, this, [this, entry](int result) {
        if (entry_ != entry) return;  // closed by an answer button or a roll back
        entry_ = nullptr;
        volume_ = entry->Volume();
        if (result == Accepted)
            test_->Typed(entry->Answer().toStdString(), entry->PausedSeconds());
        else
            test_->Quit();
    });
}

void CAutoTest2::OpenContentEntry() {
    CInputDlg* entry = OpenEntry(QString::fromUtf8(kSentenceContentPrompt), QString());
    connect(entry, &QDialog::finished, this, [this, entry](int result) {
        if (entry_ != entry) return;
        entry_ = nullptr;
        volume_ = entry->Volume();
        if (result == Accepted)
            test_->ContentEntered(entry->Answer().toStdString(), entry->PausedSeconds());
        else
            test_->ContentCancelled();
    });
}

void CAutoTest2::CloseEntries() {
    if (CInputDlg* entry = std::exchange(entry_, nullptr)) entry->Dismiss();
}

std::optional<std::string> CAutoTest2::Content(int audioId) {
    const auto material = store::AudioRegistry(services_.db).Load(audioId);
    if (!material.Ok() || !material.value) return std::nullopt;
    return material.value->content.toStdString();
}

std::optional<int> CAutoTest2::NextTimes(int audioId, bool belowFullState) {
    const auto times =
        store::NextRecognitionTimes(services_.db, setup_.subjectId, audioId, belowFullState);
    if (!times.Ok()) {
        services_.prompter.Message(this, times.error->Text());
        return std::nullopt;
    }
    return times.value;
}

bool CAutoTest2::Store(const SentenceRecord& record) {
    store::TestRecordRow row;
    row.subjectId = setup_.subjectId;
    row.audioId = record.audioId;
    row.selfEvaluation = setup_.selfEvaluation;
    row.volume = volume_;
    row.times = record.times;
    row.time = FromStd(record.timeText);
    row.duration = record.durationSeconds;
    row.state = record.state;
    row.recognised = record.recognised;
    row.factorMask = record.factorMask;
    row.playSpeed = record.playSpeed;
    row.snr = record.noiseLevel;
    row.cycle = record.period;
    row.dutyCycle = record.keptFraction;
    if (record.content) row.content = FromStd(*record.content);
    const auto stored = store::AddTestRecord(services_.db, row);
    if (!stored.Ok()) {
        qCWarning(lcSession).noquote() << "answer not stored:" << stored.error->message;
        services_.prompter.Message(this, stored.error->Text());
        return false;
    }
    lastRow_ = stored.value;
    qCInfo(lcSession).noquote() << "answer stored: subject" << row.subjectId << "audio"
                                << row.audioId << "recognised" << row.recognised << "state"
                                << row.state << "content" << row.content.value_or(QString());
    return true;
}

void CAutoTest2::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

void CAutoTest2::PreviousPicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this, false);
}

bool CAutoTest2::ShowPictureFile(const std::string& file) {
    return picture_->SetPath(FromStd(file));
}

void CAutoTest2::ShowProgress(int position, int range) {
    progress_->setRange(0, range);
    progress_->setValue(position);
}

void CAutoTest2::UpdateProgress() {
    ShowProgress(test_->ProgressPosition(), test_->ProgressRange());
}

void CAutoTest2::RunSteps(StepSequence steps) {
    runner_->Start(std::move(steps));
}

void CAutoTest2::CancelSteps() {
    runner_->Cancel();
}

void CAutoTest2::CloseTest() {
    reject();
}

void CAutoTest2::StopWorker() {
    worker_->Cancel();
}

bool CAutoTest2::Confirm(const std::string& text) {
    return services_.prompter.Confirm(this, FromStd(text));
}

void CAutoTest2::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

bool CAutoTest2::TakeNewestTrial() {
    if (!lastRow_) return false;
    const auto taken = store::TakeTestRecord(services_.db, *lastRow_);
    if (!taken.Ok()) {
        services_.prompter.Message(this, taken.error->Text());
        return false;
    }
    lastRow_.reset();
    if (!taken.value) return false;
    test_->RestoreState(*taken.value);
    return true;
}

void CAutoTest2::RestorePosition(const TestPosition& position) {
    test_->RestorePosition(position);
}

void CAutoTest2::StartWorker() {
    test_->PlayCurrent();
}

void CAutoTest2::PromptAnswer() {
    test_->Prompt();
}

}  // namespace kestrune::app
