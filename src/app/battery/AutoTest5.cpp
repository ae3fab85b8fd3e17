#include "app/battery/AutoTest5.h"

#include <QDir>
#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <utility>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/battery/Directions.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

const QColor kMaskingColour(0, 200, 0);
const QColor kChosenColour(0, 255, 0);

/** A vowel panel: a large static that reports clicks. */
class VowelPanel final : public QLabel {
  public:
    VowelPanel(const QString& text, std::function<void()> clicked, QWidget* parent)
        : QLabel(text, parent), clicked_(std::move(clicked)) {
        setAlignment(Qt::AlignCenter);
        setAutoFillBackground(true);
        setFrameShape(QFrame::Box);
        setMinimumSize(90, 90);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) clicked_();
    }

  private:
    std::function<void()> clicked_;
};

}  // namespace

CAutoTest5::CAutoTest5(const VowelTestServices& services, const SyllableMaskSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    setWindowTitle(QString::fromUtf8(kSyllableMaskCaption));

    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    ScenarioCheck check;
    if (scenario.Opened()) {
        check = CheckScenario(scenario, kSyllableMaskCapacity);
    } else {
        check.result = ScenarioStart::LoadFailed;
        check.messages.push_back(UnreadableScenarioMessage(setup_.scenarioPath.toStdString()));
    }
    for (const std::string& message : check.messages) Message(message);
    if (check.result == ScenarioStart::Ready) {
        SyllableMaskSettings settings = ReadSyllableMaskSettings(scenario);
        if (settings.pictureNumber > 0)
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
        // The vowel order is drawn from a generator seeded with the time.
        services_.random.Seed(static_cast<std::uint32_t>(services_.clock.Now()));
        test_ = std::make_unique<SyllableMaskingTest>(std::move(settings), services_.random,
                                                      services_.clock);
        qCInfo(lcSession).noquote() << "syllable masking test opened: subject" << setup_.subjectId
                                    << "scenario" << setup_.scenarioPath;
    }

    auto button = [this](const char* text, const char* name) {
        return TestButton(this, QString::fromUtf8(text), name);
    };
    startButton_ = button("始まる", "startButton");
    confirmButton_ = button("確認", "confirmButton");
    notSureButton_ = button("Not sure", "notSureButton");
    nothingButton_ = button("全然確認できない", "nothingButton");
    endButton_ = button("終了", "endButton");
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("実験の進度 %p%"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(400, 300);

    auto* group = new QGroupBox(QString::fromUtf8(kSyllableMaskGroupTitle), this);
    auto* row = new QHBoxLayout(group);
    static const char* const kNames[] = {"vowelA", "vowelI", "vowelU", "vowelE", "vowelO"};
    for (int v = 0; v < kSyllableVowels; ++v) {
        auto* panel = new VowelPanel(
            FromStd(std::string(SyllableSoundLabel(v))), [this, v] { OnPanel(v); }, group);
        panel->setObjectName(QString::fromLatin1(kNames[v]));
        panel->setFont(FaceFont(kGothicFace, 30));
        panels_[static_cast<std::size_t>(v)] = panel;
        row->addWidget(panel);
    }
    auto* answers = new QHBoxLayout;
    for (QPushButton* b : {confirmButton_, notSureButton_, nothingButton_}) {
        b->setMinimumHeight(40);
        answers->addWidget(b);
    }
    auto* right = new QVBoxLayout;
    right->addWidget(group);
    right->addLayout(answers);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addLayout(right);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(endButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, &CAutoTest5::OnStart);
    connect(confirmButton_, &QPushButton::clicked, this,
            [this] { OnAnswer(SyllableAnswer::Confirm); });
    connect(notSureButton_, &QPushButton::clicked, this,
            [this] { OnAnswer(SyllableAnswer::NotSure); });
    connect(nothingButton_, &QPushButton::clicked, this,
            [this] { OnAnswer(SyllableAnswer::NothingRecognised); });
    connect(endButton_, &QPushButton::clicked, this, &CAutoTest5::reject);

    startButton_->setEnabled(test_ != nullptr);
    for (QPushButton* b : {confirmButton_, notSureButton_, nothingButton_}) b->setEnabled(false);
    ShowChoice();
    if (!test_) return;
    UpdateProgress();
    if (pictures_)
        pictures_->Draw(
            [this](const std::string& file) { return picture_->SetPath(FromStd(file)); });
}

CAutoTest5::~CAutoTest5() {
    runner_->Cancel();
    worker_->Cancel();
}

int CAutoTest5::RunModal() {
    if (!test_) return Rejected;
    if (!RunDirections(this, 5, services_, volume_)) return Rejected;
    return RunWindowModal(*this);
}

bool CAutoTest5::Playing() const {
    return worker_->Running();
}

QString CAutoTest5::PictureFile() const {
    return pictures_ ? FromStd(pictures_->CurrentFile()) : QString();
}

QColor CAutoTest5::PanelColour(int vowel) const {
    return panels_[static_cast<std::size_t>(vowel)]->palette().color(QPalette::Window);
}

void CAutoTest5::reject() {
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
}

void CAutoTest5::OnPanel(int vowel) {
    if (!test_ || !test_->Choose(vowel)) return;  // the masking vowel is never chosen
    ShowChoice();
}

void CAutoTest5::ShowChoice() {
    const int masking = test_ ? test_->MaskingVowel() : -1;
    const int choice = test_ ? test_->Choice() : -1;
    for (int v = 0; v < kSyllableVowels; ++v) {
        QLabel* panel = panels_[static_cast<std::size_t>(v)];
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, v == masking  ? kMaskingColour
                                           : v == choice ? kChosenColour
                                                         : QColor(Qt::white));
        panel->setPalette(palette);
    }
    if (!startButton_->isEnabled()) {
        confirmButton_->setEnabled(choice >= 0);
        notSureButton_->setEnabled(choice >= 0);
    }
}

void CAutoTest5::UpdateProgress() {
    progress_->setRange(0, test_->ProgressTotal());
    progress_->setValue(test_->ProgressDone());
}

void CAutoTest5::OnStart() {
    if (!test_) return;
    for (QPushButton* b : {startButton_, confirmButton_, nothingButton_, notSureButton_})
        b->setEnabled(false);
    test_->ClearChoice();
    ShowChoice();
    UpdateProgress();
    StepSequence steps;
    steps.Then(2000, "play", [this] { PlayTrial(); }).Then(2000, "answer", [this] {
        EnableNothingButton();
    });
    runner_->Start(std::move(steps));
}

void CAutoTest5::EnableNothingButton() {
    nothingButton_->setEnabled(true);
}

void CAutoTest5::PlayTrial() {
    worker_->Cancel();
    const std::optional<SyllableMaskTrial> trial = test_->CurrentTrial();
    if (!trial) return;
    test_->PlayStarted();
    SyllableMaskStimulus stimulus = PrepareSyllableStimulus(*trial);
    if (!stimulus.ok) {
        // Nothing plays; the trial still waits for its answer.
        qCWarning(lcSession).noquote() << "stimulus failed:" << FromStd(trial->maskedFile);
        Message(stimulus.message);
        return;
    }
    qCInfo(lcSession).noquote() << "stimulus" << FromStd(trial->maskingFile) << "with"
                                << FromStd(trial->maskedFile) << "at" << trial->level << "dB";
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Message(kAudioOutputErrorMessage); }, Qt::QueuedConnection);
    };
    const std::uint64_t wait = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    worker_->Start(stimulus.format, std::move(stimulus.bytes), kDefaultRepeatCount, wait,
                   std::move(events));
}

void CAutoTest5::OnAnswer(SyllableAnswer kind) {
    if (!test_ || test_->Over()) return;
    for (QPushButton* b : {confirmButton_, notSureButton_, nothingButton_}) b->setEnabled(false);
    runner_->Cancel();
    worker_->Cancel();
    const SyllableMaskStep step = test_->Answer(kind);

    store::SyllableMaskAnswerRow row;
    row.subjectId = setup_.subjectId;
    row.volume = volume_;
    row.selfEvaluation = setup_.selfEvaluation;
    row.time = FromStd(step.row.timeText);
    row.duration = step.row.durationSeconds;
    row.maskingContent = FromStd(step.row.maskingContent);
    row.maskedContent = FromStd(step.row.maskedContent);
    row.recognised = FromStd(step.row.recognised);
    row.state = step.row.state;
    row.validity = step.row.validity;
    row.snr = step.row.snr;
    const auto stored = store::AddSyllableMaskAnswer(services_.db, row);
    if (!stored.Ok()) {
        // The test goes on with the next trial.
        qCWarning(lcSession).noquote() << "answer not stored:" << stored.error->message;
        services_.prompter.Message(this, stored.error->Text());
    }
    if (step.message) Message(*step.message);
    if (step.newPicture) StepPicture(pictures_, *picture_, services_.prompter, this);
    ShowChoice();
    UpdateProgress();
    StepSequence steps;
    if (step.finished) {
        steps.Then(1000, "thanks", [this] {
            Message(kThanksMessage);
            for (QPushButton* b : {startButton_, confirmButton_, nothingButton_, notSureButton_})
                b->setEnabled(false);
            accept();
        });
    } else {
        steps.Then(1000, "play", [this] { PlayTrial(); }).Then(2000, "answer", [this] {
            EnableNothingButton();
        });
    }
    runner_->Start(std::move(steps));
}

void CAutoTest5::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

}  // namespace kestrune::app
