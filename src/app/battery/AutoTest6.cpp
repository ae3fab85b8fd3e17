#include "app/battery/AutoTest6.h"

#include <QDir>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/battery/Directions.h"
#include "app/battery/Output.h"
#include "app/battery/TestWindow.h"
#include "audio/PlaybackWorker.h"
#include "core/battery/Stimulus.h"
#include "core/battery/VowelStimulus.h"
#include "sheet/SpreadSheet.h"
#include "store/AnswerJournal.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr const char* kVowelButtonNames[kVowelCount] = {"vowelA", "vowelI", "vowelU", "vowelE",
                                                        "vowelO"};

}  // namespace

CAutoTest6::CAutoTest6(const VowelTestServices& services, const VowelTestSetup& setup,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      setup_(setup),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    const bool practice = setup_.subjectId == 1;
    const Scenario scenario = Scenario::Load(setup_.scenarioPath.toStdString());
    // A scenario the test cannot run is refused before anything is stored.
    if (const auto refusal = CheckVowelScenario(scenario, setup_.scenarioPath.toStdString())) {
        const QString text = QString::fromStdString(*refusal);
        qCWarning(lcSession).noquote() << "scenario refused:" << text;
        services_.prompter.Message(this, text);
    } else {
        session_ = std::make_unique<VowelDiscriminationTest>(
            ReadVowelSettings(scenario), practice, setup_.age, services_.random, services_.clock);
        qCInfo(lcSession).noquote() << "vowel test opened: subject" << setup_.subjectId
                                    << "scenario" << setup_.scenarioPath;
    }
    setWindowTitle(QString::fromUtf8(practice ? kVowelPracticeCaption : kVowelTestCaption));

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);  // every key reaches the dialog
        b->setFont(FaceFont(kRoundedFace, 12));
        return b;
    };
    startButton_ = button(QStringLiteral("開始"), "startButton");
    confirmButton_ = button(QStringLiteral("確認"), "confirmButton");
    singleButton_ = button(QStringLiteral("一つの音声を確認(J)"), "singleButton");
    dontKnowButton_ = button(QStringLiteral("わからない"), "dontKnowButton");
    cancelButton_ = button(QStringLiteral("キャンセル"), "cancelButton");
    backButton_ = button(QStringLiteral("終了"), "backButton");
    for (int v = 0; v < kVowelCount; ++v) {
        QPushButton* b = button(FromUtf8(VowelLabel(v)), kVowelButtonNames[v]);
        b->setFont(FaceFont(kRoundedFace, 30));
        b->setCheckable(true);
        b->setMinimumSize(90, 90);
        vowelButtons_[static_cast<size_t>(v)] = b;
        connect(b, &QPushButton::clicked, this, [this, v] { OnMark(v); });
    }
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    // 4:3, the shape of the instruction pictures: stretched over the frame,
    // they keep their proportions.
    picture_->setFixedSize(400, 300);
    guide_ = new QLabel(this);
    guide_->setObjectName(QStringLiteral("guide"));
    instruction_ = new QLabel(this);
    instruction_->setObjectName(QStringLiteral("instruction"));
    instruction_->setWordWrap(true);
    for (QLabel* label : {guide_, instruction_}) label->setFont(FaceFont(kRoundedFace, 12));
    guide_->setText(
        QString::fromUtf8(session_ ? session_->StartGuide()
                                   : (practice ? kVowelStartPracticeGuide : kVowelStartTestGuide)));
    instruction_->setText(QStringLiteral(
        "放送された二つの母音信号を聞いて、脳内で識別した結果を回答パネルで教えてください。"
        "ただし、選択を間違えた場合は、「キャンセル」ボタンを押してから、改めて選択してくださ"
        "い。どうしても識別できない場合、「分らない」ボタンを押して、次の小テストに移りましょ"
        "う。"));

    auto* vowels = new QHBoxLayout;
    for (QPushButton* b : vowelButtons_) vowels->addWidget(b);
    auto* answers = new QHBoxLayout;
    for (QPushButton* b : {confirmButton_, singleButton_, dontKnowButton_, cancelButton_})
        answers->addWidget(b);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(backButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    layout->addWidget(guide_);
    layout->addWidget(instruction_);
    layout->addLayout(vowels);
    layout->addLayout(answers);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, &CAutoTest6::OnStart);
    connect(confirmButton_, &QPushButton::clicked, this,
            [this] { OnAnswer(VowelAnswerKind::Two); });
    connect(singleButton_, &QPushButton::clicked, this, [this] { OnAnswer(VowelAnswerKind::One); });
    connect(dontKnowButton_, &QPushButton::clicked, this,
            [this] { OnAnswer(VowelAnswerKind::DontKnow); });
    connect(cancelButton_, &QPushButton::clicked, this, &CAutoTest6::OnCancelMarks);
    connect(backButton_, &QPushButton::clicked, this, &CAutoTest6::reject);

    startButton_->setEnabled(session_ != nullptr);
    SetAnswering(false);
    if (session_) {
        ShowProgress(session_->Progress());
        const VowelSettings& settings = session_->Settings();
        if (settings.pictureNumber > 0) {
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
            pictures_->Draw([this](const std::string& file) { return ShowPictureFile(file); });
        }
        OpenDirections();
    }
}

void CAutoTest6::OpenDirections() {
    const QString folder =
        services_.stationFolder.isEmpty() ? QDir::currentPath() : services_.stationFolder;
    directions_ = new CDirections(6, CDirections::Use::Session, services_.prompter, folder, this);
    directions_->SetVolume(session_->Settings().volume);
    connect(directions_, &CDirections::nextRequested, this, &CAutoTest6::OnDirectionsNext);
    connect(directions_, &CDirections::backRequested, this, [this] { OnDirectionsLeft(true); });
    connect(directions_, &CDirections::sessionEndRequested, this,
            [this] { OnDirectionsLeft(false); });
    directions_->show();
}

void CAutoTest6::OnDirectionsNext() {
    if (!isVisible()) show();
    raise();
    activateWindow();
}

void CAutoTest6::OnDirectionsLeft(bool back) {
    if (setup_.session) {
        if (back)
            emit backRequested();
        else
            emit sessionEndRequested();
        return;
    }
    // A practice run or a test from the launcher: leaving the directions
    // leaves the test, which has not started yet.
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
}

QString CAutoTest6::PictureFile() const {
    return pictures_ ? QString::fromStdString(pictures_->CurrentFile()) : QString();
}

void CAutoTest6::UpdateSubject(int age, const QString& resultPath) {
    setup_.age = age;
    setup_.resultPath = resultPath;
    if (session_) session_->SetSubjectAge(age);
}

bool CAutoTest6::ShowPictureFile(const std::string& file) {
    return picture_->SetPath(QString::fromStdString(file));
}

void CAutoTest6::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

CAutoTest6::~CAutoTest6() {
    runner_->Cancel();
    worker_->Cancel();
}

bool CAutoTest6::Playing() const {
    return worker_->Running();
}

void CAutoTest6::SetAnswering(bool on) {
    for (QPushButton* b : {confirmButton_, singleButton_, dontKnowButton_, cancelButton_})
        b->setEnabled(on);
    for (QPushButton* b : vowelButtons_) b->setEnabled(on);
}

void CAutoTest6::ShowProgress(const VowelProgress& progress) {
    progress_->setRange(0, progress.rangeMax);
    progress_->setValue(progress.done);
}

void CAutoTest6::UpdateMarks() {
    for (int v = 0; v < kVowelCount; ++v)
        vowelButtons_[static_cast<size_t>(v)]->setChecked(selection_.Marked(v));
    guide_->setText(FromUtf8(selection_.Guide()));
}

void CAutoTest6::OnStart() {
    if (pendingTrial_ && !ended_) {
        // The trial that could not be played, once more.
        startButton_->setEnabled(false);
        const VowelTrial trial = *std::exchange(pendingTrial_, std::nullopt);
        VowelStep step;
        step.next = trial;
        step.progress = session_->Progress();
        RunTrial(step);
        return;
    }
    if (!session_ || started_) return;
    started_ = true;
    startButton_->setEnabled(false);
    RunTrial(session_->Start());
}

void CAutoTest6::OnMark(int vowel) {
    if (!started_ || ended_ || !confirmButton_->isEnabled()) {
        UpdateMarks();  // a click on a disabled panel leaves the marks as they were
        return;
    }
    const bool two = selection_.Mark(vowel);
    UpdateMarks();
    if (two && session_->Settings().autoConfirm) OnAnswer(VowelAnswerKind::Two);
}

void CAutoTest6::OnCancelMarks() {
    selection_.Clear();
    UpdateMarks();
}

void CAutoTest6::OnAnswer(VowelAnswerKind kind) {
    if (!session_ || !started_ || ended_ || !confirmButton_->isEnabled()) return;
    if (kind == VowelAnswerKind::Two && selection_.Count() != 2) return;
    if (kind == VowelAnswerKind::One && selection_.Count() != 1) return;
    std::optional<VowelStep> step = session_->Answer(kind, selection_);
    if (!step) return;
    SetAnswering(false);
    runner_->Cancel();
    worker_->Cancel();
    // The repetition already sent plays to its end; nothing opens the
    // device again before it has.
    soundingMs_ = worker_->SoundingMs();
    if (session_->Settings().beep && soundingMs_ == 0) Beep();
    StoreRecord(*step->record);
    selection_.Clear();
    UpdateMarks();
    if (step->next) AdvancePicture();
    RunTrial(*step);
}

void CAutoTest6::RunTrial(const VowelStep& step) {
    ShowProgress(step.progress);
    StepSequence sequence;
    const std::uint64_t sounding = std::exchange(soundingMs_, 0);
    const bool beep = session_->Settings().beep && step.record;
    if (beep && sounding > 0) sequence.Then(sounding, "beep", [this] { Beep(); });
    if (!step.next) {
        sequence.Then(500, "ending", [this] { RunEnding(); });
        runner_->Start(std::move(sequence));
        return;
    }
    const VowelTrial trial = *step.next;
    // The beep sounds out before the next stimulus opens the device again.
    std::uint64_t playDelay = beep ? kBeepMs : sounding;
    if (step.rest) {
        sequence.Do("rest", [this] {
            services_.prompter.Message(this, QString::fromUtf8(kVowelRestMessage));
            services_.prompter.Message(this, QString::fromUtf8(kVowelResumeMessage));
        });
        playDelay = std::max<std::uint64_t>(playDelay, 2000);
    }
    sequence.Then(playDelay, "play", [this, trial] {
        if (Play(trial)) {
            SetAnswering(true);
            return;
        }
        // Nothing plays, so nothing may be answered: "開始" tries the trial again.
        runner_->Cancel();
        pendingTrial_ = trial;
        startButton_->setEnabled(true);
    });
    sequence.Then(1000, "guide",
                  [this] { guide_->setText(QString::fromUtf8(kVowelSelectTwoGuide)); });
    runner_->Start(std::move(sequence));
}

bool CAutoTest6::Play(const VowelTrial& trial) {
    VowelStimulus stimulus = PrepareVowelStimulus(trial);
    if (!stimulus.ok) {
        qCWarning(lcSession).noquote()
            << "stimulus failed:" << QString::fromStdString(trial.maskedFile) << "+"
            << QString::fromStdString(trial.maskingFile) << "-"
            << QString::fromStdString(stimulus.message)
                   .replace(QLatin1Char('\n'), QLatin1Char(' '));
        services_.prompter.Message(this, QString::fromStdString(stimulus.message));
        return false;
    }
    qCInfo(lcSession).noquote() << "stimulus played at"
                                << QString::fromStdString(FormatLocalTime(services_.clock.Now()))
                                << "masked" << QString::fromStdString(trial.maskedFile) << "masking"
                                << QString::fromStdString(trial.maskingFile) << "level"
                                << trial.level << "repetitions" << trial.repeatCount;
    session_->PlayStarted();
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        // From the worker's thread: the message belongs to the window's.
        QMetaObject::invokeMethod(
            this,
            [this] {
                qCWarning(lcSession) << "sound output could not be opened";
                services_.prompter.Message(this, QString::fromUtf8(kAudioOutputErrorMessage));
            },
            Qt::QueuedConnection);
    };
    const std::uint64_t wait = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    worker_->Start(stimulus.format, std::move(stimulus.bytes), trial.repeatCount, wait,
                   std::move(events));
    return true;
}

void CAutoTest6::Beep() {
    const WaveFormat format = PcmFormat(1, kBeepRate, 16);
    if (!services_.output.Open(format, kBeepRate)) return;
    const std::vector<std::uint8_t> tone = BeepTone();
    services_.output.Write(tone.data(), tone.size());
}

void CAutoTest6::StoreRecord(const VowelRecord& record) {
    const store::VowelAnswerRow row =
        store::VowelAnswerRowOf(record, setup_.subjectId, setup_.selfEvaluation);
    const QString folder =
        services_.stationFolder.isEmpty() ? QDir::currentPath() : services_.stationFolder;
    const store::AnswerJournal journal(store::AnswerJournal::PathIn(folder));
    const store::AnswerOutcome outcome = store::StoreVowelAnswer(services_.db, journal, row);
    const store::ReplayReport& replay = outcome.replay;
    if (replay.written + replay.alreadyThere > 0) {
        qCInfo(lcSession).noquote()
            << QStringLiteral(
                   "answer journal written to %1 - %2 answers (%3 were there "
                   "already), %4 still waiting")
                   .arg(services_.db.location().Describe())
                   .arg(replay.written + replay.alreadyThere)
                   .arg(replay.alreadyThere)
                   .arg(replay.pending);
    }
    switch (outcome.fate) {
        case store::AnswerFate::Stored:
            break;
        case store::AnswerFate::Journaled:
            ++journaled_;
            qCWarning(lcSession).noquote()
                << QStringLiteral("answer kept in the journal %1 (id %2), not stored in %3 - %4")
                       .arg(journal.path(), outcome.uid, services_.db.location().Describe(),
                            outcome.error->message);
            break;
        case store::AnswerFate::Lost:
            qCWarning(lcSession).noquote()
                << "answer not stored in" << services_.db.location().Describe() << "-"
                << outcome.error->message
                << (outcome.journalError.isEmpty()
                        ? QString()
                        : QStringLiteral("; journal: ") + outcome.journalError);
            services_.prompter.Message(this, outcome.error->Text());
            return;
    }
    qCInfo(lcSession).noquote() << "answer"
                                << (outcome.fate == store::AnswerFate::Stored ? "stored:"
                                                                              : "journaled:")
                                << "subject" << row.subjectId << "at" << row.time << "masking"
                                << row.maskingContent << "masked" << row.maskedContent << "level"
                                << row.snr << "recognised" << row.recognised << "state" << row.state
                                << "validity"
                                << (row.validity ? QString::number(*row.validity) : QString());
}

void CAutoTest6::TellJournaled() {
    if (journaled_ == 0 || journalTold_) return;
    journalTold_ = true;
    const QString folder =
        services_.stationFolder.isEmpty() ? QDir::currentPath() : services_.stationFolder;
    const store::AnswerJournal journal(store::AnswerJournal::PathIn(folder));
    const bool waiting = journal.HasPending(services_.db);
    services_.prompter.Message(
        this, QStringLiteral("%1 answer(s) of this run could not be written to the database "
                             "(%2) and were kept in the answer journal %3.\n%4")
                  .arg(journaled_)
                  .arg(services_.db.location().Describe(), journal.path(),
                       waiting ? QStringLiteral("They are still waiting and will be written "
                                                "when the database can be reached again "
                                                "(kestrune-cli db journal shows them).")
                               : QStringLiteral("All of them have since been written.")));
}

bool CAutoTest6::WriteRows(const std::vector<std::vector<std::string>>& rows) {
    if (setup_.resultPath.isEmpty() || rows.empty()) return true;
    std::string error;
    if (sheet::AppendRows(setup_.resultPath.toStdString(), "Result", {}, rows, &error)) return true;
    qCWarning(lcSession).noquote()
        << "workbook not written:" << setup_.resultPath << "-" << QString::fromStdString(error);
    services_.prompter.Message(this, QString::fromStdString(error));
    return false;
}

void CAutoTest6::RunEnding() {
    ended_ = true;
    SetAnswering(false);
    const VowelEnding ending = session_->Ending();
    WriteRows(ending.rows);  // empty in practice
    finalText_ = QString::fromStdString(ending.finalText);
    qCInfo(lcSession) << "vowel test ended: subject" << setup_.subjectId;
    const bool wasVisible = isVisible();
    hide();
    COutput output(this, services_.timers);
    output.SetText(finalText_);
    output.exec();
    TellJournaled();
    if (wasVisible) show();
}

void CAutoTest6::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (session_ && started_ && !ended_ && text.size() == 1 && text[0].unicode() < 0x80) {
        const VowelKeyAction action =
            VowelKeyFor(static_cast<char>(text[0].unicode()), selection_.Count());
        if (action.kind == VowelKeyAction::Kind::Mark) {
            OnMark(action.vowel);
            return;
        }
        if (action.kind == VowelKeyAction::Kind::Answer) {
            OnAnswer(action.answer);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

int CAutoTest6::RunModal() {
    // Not QDialog::exec(): hiding an exec()'d dialog ends it, and the ending
    // hides the test while the result window is up.
    return RunWindowModal(*this);
}

void CAutoTest6::reject() {
    if (session_ && !ended_ && !session_->Practice()) {
        if (!services_.prompter.Confirm(this, QString::fromUtf8(kVowelCloseEarlyQuestion))) return;
        WriteRows(session_->ThresholdRows());
    }
    TellJournaled();
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
    if (setup_.session) emit sessionEndRequested();
}

}  // namespace kestrune::app
