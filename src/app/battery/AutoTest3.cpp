#include "app/battery/AutoTest3.h"

#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <utility>

#include "app/Fonts.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/Volume.h"
#include "app/battery/Directions.h"
#include "app/battery/InputDlg.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kFaceSize = 160;
// The arrow's position is of no interest: it rests in the middle so that
// both arrows always step.
constexpr int kScrollRest = 500;
const char* const kFillFailedMessage = "Failed to fill statistical record!";

}  // namespace

CClockFace::CClockFace(QWidget* parent) : QWidget(parent) {
    setFixedSize(kFaceSize, kFaceSize);
    setCursor(Qt::PointingHandCursor);
}

bool CClockFace::LoadFace(const QString& path) {
    const bool loaded = face_.Load(path);
    update();
    return loaded;
}

void CClockFace::SetTime(int hour, int minute) {
    hour_ = hour;
    minute_ = minute;
    update();
}

void CClockFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (face_.IsLoaded()) face_.Show(&painter, rect());
    const int cx = width() / 2;
    const int cy = height() / 2;
    auto hand = [&](double angle, int length, const QColor& colour, int penWidth) {
        painter.setPen(QPen(colour, penWidth, Qt::SolidLine));
        const ClockPoint end = HandEnd(cx, cy, angle, length);
        painter.drawLine(cx, cy, end.x, end.y);
    };
    hand(MinuteHandAngle(minute_), kMinuteHandLength, QColor(0, 255, 0), 2);
    hand(HourHandAngle(hour_, minute_), kHourHandLength, QColor(255, 128, 0), 4);
}

void CClockFace::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked(event->position().toPoint());
}

CAutoTest3::CAutoTest3(const VowelTestServices& services, const TimeTestSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    setWindowTitle(QString::fromUtf8(kTimeCaption));

    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    TimeSettings settings;
    const ScenarioCheck check = ReadTimeScenario(scenario, settings);
    for (const std::string& message : check.messages) Message(message);
    if (check.result == ScenarioStart::Ready) {
        if (settings.pictureNumber > 0)
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
        test_ = std::make_unique<TimeListeningTest>(
            std::move(settings), static_cast<TimeHost&>(*this), services_.clock, services_.random);
        qCInfo(lcSession).noquote()
            << "time test opened: subject" << setup_.subjectId << "scenario" << setup_.scenarioPath;
    } else {
        qCWarning(lcSession).noquote() << "time scenario refused:" << setup_.scenarioPath;
    }

    auto button = [this](const char* text, const char* name) {
        return TestButton(this, QString::fromUtf8(text), name);
    };
    startButton_ = button("始まる", "startButton");
    confirmButton_ = button("確認", "confirmButton");
    nothingButton_ = button("全然確認できない", "nothingButton");
    rollBackButton_ = button("元に戻す", "rollBackButton");
    closeButton_ = button("終了", "closeButton");
    volumeButton_ = button("音量を調整する", "volumeButton");
    halfButton_ = button("午前<-->午後", "halfButton");
    timeEdit_ = new QLineEdit(this);
    timeEdit_->setObjectName(QStringLiteral("timeEdit"));
    timeEdit_->setFont(FaceFont(kGothicFace, 15));
    timeEdit_->setMaxLength(16);
    timeEdit_->setFixedWidth(96);
    minuteScroll_ = new QScrollBar(Qt::Vertical, this);
    minuteScroll_->setObjectName(QStringLiteral("minuteScroll"));
    minuteScroll_->setRange(0, 2 * kScrollRest);
    minuteScroll_->setValue(kScrollRest);
    minuteScroll_->setFixedHeight(timeEdit_->sizeHint().height());
    clock_ = new CClockFace(this);
    clock_->setObjectName(QStringLiteral("clockFace"));
    clock_->LoadFace(QDir(StationFolder()).filePath(QStringLiteral("clock.jpg")));
    hourRadio_ = new QRadioButton(QStringLiteral("時"), this);
    hourRadio_->setObjectName(QStringLiteral("hourRadio"));
    minuteRadio_ = new QRadioButton(QStringLiteral("分"), this);
    minuteRadio_->setObjectName(QStringLiteral("minuteRadio"));
    hourRadio_->setChecked(true);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("実験の進度 %p%"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(400, 300);
    auto* instructionBox = new QGroupBox(QStringLiteral("操作指示"), this);
    instruction_ = new QLabel(instructionBox);
    instruction_->setObjectName(QStringLiteral("instruction"));
    QFont instructionFont = FaceFont(kGothicFace, 12);
    instructionFont.setPointSizeF(11.5);
    instruction_->setFont(instructionFont);
    instruction_->setMinimumSize(440, 6 * 18);
    instruction_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    (new QVBoxLayout(instructionBox))->addWidget(instruction_);

    auto* answerBox = new QGroupBox(QStringLiteral("時刻"), this);
    auto* answer = new QVBoxLayout(answerBox);
    answer->addWidget(clock_, 0, Qt::AlignHCenter);
    auto* modes = new QHBoxLayout;
    modes->addWidget(hourRadio_);
    modes->addWidget(minuteRadio_);
    modes->addStretch(1);
    answer->addLayout(modes);
    auto* typed = new QHBoxLayout;
    typed->addWidget(timeEdit_);
    typed->addWidget(minuteScroll_);
    typed->addWidget(halfButton_);
    answer->addLayout(typed);
    answer->addWidget(new QLabel(QStringLiteral("例: 07:05　23:30"), answerBox));
    for (QPushButton* b : {confirmButton_, nothingButton_}) {
        b->setMinimumHeight(40);
        answer->addWidget(b);
    }
    answer->addStretch(1);
    answer->addWidget(rollBackButton_);
    auto* left = new QVBoxLayout;
    left->addWidget(picture_);
    left->addWidget(instructionBox);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(answerBox);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(volumeButton_);
    bottom->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, [this] {
        if (test_) test_->Start();
    });
    connect(confirmButton_, &QPushButton::clicked, this, [this] { test_->ConfirmAnswer(); });
    connect(nothingButton_, &QPushButton::clicked, this, [this] { test_->NothingRecognised(); });
    connect(rollBackButton_, &QPushButton::clicked, this, [this] { test_->RollBackLast(); });
    connect(closeButton_, &QPushButton::clicked, this, &CAutoTest3::reject);
    connect(volumeButton_, &QPushButton::clicked, this, [this] {
        CVolume volume(this);
        volume.SetVolume(volume_);
        volume.exec();
        volume_ = volume.Volume();
    });
    connect(hourRadio_, &QRadioButton::toggled, this, [this](bool hour) {
        if (test_) test_->Answer().SetHourMode(hour);
    });
    connect(clock_, &CClockFace::clicked, this, [this](QPoint at) {
        if (test_ && test_->Answer().Click(at.x(), at.y(), clock_->width(), clock_->height()))
            ShowAnswer();
    });
    connect(minuteScroll_, &QScrollBar::actionTriggered, this, [this](int action) {
        // The upper arrow moves the time on, the lower one back.
        if (test_ && action == QAbstractSlider::SliderSingleStepSub) test_->Answer().Scroll(1);
        if (test_ && action == QAbstractSlider::SliderSingleStepAdd) test_->Answer().Scroll(-1);
        minuteScroll_->setSliderPosition(kScrollRest);
        ShowAnswer();
    });
    connect(halfButton_, &QPushButton::clicked, this, [this] {
        if (!test_) return;
        test_->Answer().SwitchHalf();
        ShowAnswer();
    });
    connect(timeEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!test_) return;
        test_->Answer().Edit(text.toStdString());
        clock_->SetTime(test_->Answer().Hour(), test_->Answer().Minute());
    });

    startButton_->setEnabled(test_ != nullptr);
    SetAnswerButtons(false);
    SetRollBackEnabled(false);
    if (!test_) return;
    ShowInstruction(kTimeWelcomeText);
    UpdateProgress();
    test_->Answer().Show(0, 0);
    ShowAnswer();
    // Answers are mostly typed: the time box has the keyboard from the start.
    timeEdit_->setFocus();
    if (pictures_)
        pictures_->Draw(
            [this](const std::string& file) { return picture_->SetPath(FromStd(file)); });
}

CAutoTest3::~CAutoTest3() {
    runner_->Cancel();
    worker_->Cancel();
}

int CAutoTest3::RunModal() {
    if (!test_) return Rejected;
    if (!RunDirections(this, 3, services_, volume_)) return Rejected;
    return RunWindowModal(*this);
}

QString CAutoTest3::StationFolder() const {
    return StationFolderOf(services_);
}

QString CAutoTest3::Instruction() const {
    return InstructionTextOf(*instruction_);
}

bool CAutoTest3::Playing() const {
    return worker_->Running();
}

void CAutoTest3::reject() {
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
}

void CAutoTest3::ShowInstruction(const std::string& text) {
    SetInstructionText(*instruction_, text);
}

void CAutoTest3::SetStartEnabled(bool enabled) {
    startButton_->setEnabled(enabled);
}

void CAutoTest3::SetAnswerButtons(bool enabled) {
    confirmButton_->setEnabled(enabled);
    nothingButton_->setEnabled(enabled);
}

void CAutoTest3::SetRollBackEnabled(bool enabled) {
    rollBackButton_->setEnabled(enabled);
}

void CAutoTest3::ShowAnswer() {
    const TimeAnswer& answer = test_->Answer();
    timeEdit_->setText(FromStd(answer.Text()));
    clock_->SetTime(answer.Hour(), answer.Minute());
}

void CAutoTest3::PlayStimulus(const std::string& hourPath, const std::string& minutePath,
                              const StimulusSettings& settings) {
    worker_->Cancel();
    LoadedStimulus loaded = LoadTimeStimulus(hourPath, minutePath);
    if (!loaded.ok) {
        qCWarning(lcSession).noquote()
            << "time stimulus failed:" << FromStd(hourPath) << FromStd(minutePath);
        Message(loaded.message);
        return;
    }
    StimulusOutcome processed = ProcessStimulus(loaded.samples.data(), loaded.sampleCount,
                                                loaded.format, settings, services_.random);
    if (!processed.ok) {
        Message(processed.message);
        return;
    }
    ProcessedStimulus& stimulus = processed.stimulus;
    qCInfo(lcSession).noquote() << "time stimulus" << FromStd(test_->Played()) << "speed"
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

void CAutoTest3::StopWorker() {
    worker_->Cancel();
}

std::optional<long long> CAutoTest3::StartSessionItem(const TimeItem& item) {
    const store::SessionItemRow row = store::SessionItemRowOf(
        item, setup_.subjectId, setup_.selfEvaluation, volume_, kTimeSessionType);
    const auto started = store::StartSessionItem(services_.db, row);
    if (!started.Ok()) {
        qCWarning(lcSession).noquote() << "session item not stored:" << started.error->message;
        services_.prompter.Message(this, started.error->Text());
        return std::nullopt;
    }
    return started.value;
}

void CAutoTest3::FinishSessionItem(long long sessionItem, long long durationSeconds, int number) {
    const auto finished =
        store::FinishSessionItem(services_.db, sessionItem, durationSeconds, number, 1);
    if (!finished.Ok()) {
        services_.prompter.Message(this, finished.error->Text());
        return;
    }
    if (!finished.value.found) {
        Message(kFillFailedMessage);
        return;
    }
    qCInfo(lcSession).noquote() << "time item done: session" << sessionItem << "correct"
                                << finished.value.correct << "of" << number;
}

bool CAutoTest3::StoreTrial(const TimeTrialRecord& record) {
    store::TrialRow row;
    row.subjectId = setup_.subjectId;
    row.sessionItem = record.sessionItem;
    row.time = FromStd(record.timeText);
    row.duration = static_cast<double>(record.durationSeconds);
    row.content = FromStd(record.played);
    // An empty answer is an empty text, never a missing one: the score
    // compares it with what was played.
    row.recognised = record.answer.empty() ? QStringLiteral("") : FromStd(record.answer);
    const auto stored = store::AddTrial(services_.db, row);
    if (!stored.Ok()) {
        qCWarning(lcSession).noquote() << "time answer not stored:" << stored.error->message;
        services_.prompter.Message(this, stored.error->Text());
        lastRow_.reset();
        return false;
    }
    lastRow_ = stored.value;
    qCInfo(lcSession).noquote() << "time answer stored: subject" << row.subjectId << "played"
                                << row.content << "answer" << row.recognised;
    return true;
}

std::optional<std::string> CAutoTest3::TakeLastTrial() {
    if (!lastRow_) return std::nullopt;
    const auto taken = store::TakeTrial(services_.db, *lastRow_);
    if (!taken.Ok()) {
        services_.prompter.Message(this, taken.error->Text());
        return std::nullopt;
    }
    lastRow_.reset();
    if (!taken.value) return std::nullopt;
    return taken.value->toStdString();
}

bool CAutoTest3::Confirm(const std::string& text) {
    return services_.prompter.Confirm(this, FromStd(text));
}

void CAutoTest3::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

void CAutoTest3::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

void CAutoTest3::ShowProgress(int position, int range) {
    progress_->setRange(0, range);
    progress_->setValue(position);
}

void CAutoTest3::UpdateProgress() {
    ShowProgress(test_->ProgressPosition(), test_->ProgressRange());
}

void CAutoTest3::RunSteps(StepSequence steps) {
    runner_->Start(std::move(steps));
}

void CAutoTest3::CancelSteps() {
    runner_->Cancel();
}

}  // namespace kestrune::app
