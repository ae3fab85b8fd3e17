#include "app/battery/AutoTest6.h"

#include <QDir>
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

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StepRunner.h"
#include "app/battery/Directions.h"
#include "app/battery/Output.h"
#include "audio/PlaybackWorker.h"
#include "core/battery/Stimulus.h"
#include "sheet/SpreadSheet.h"
#include "store/Database.h"

namespace kestrune::app {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The 16-bit samples of a loaded recording.
std::vector<std::int16_t> Samples16(const LoadedStimulus& loaded) {
    std::vector<std::int16_t> samples(loaded.sampleCount);
    std::memcpy(samples.data(), loaded.samples.data(), samples.size() * sizeof(std::int16_t));
    return samples;
}

constexpr const char* kVowelButtonNames[kVowelCount] = {"vowelA", "vowelI", "vowelU", "vowelE",
                                                        "vowelO"};

constexpr std::uint32_t kBeepRate = 22050;
constexpr std::uint64_t kBeepMs = 100;
constexpr double kBeepHz = 2000.0;

// 100 ms of a 2000 Hz tone at half scale, 16-bit mono.
std::vector<std::uint8_t> BeepTone() {
    const std::size_t count = kBeepRate * kBeepMs / 1000;
    std::vector<std::uint8_t> bytes(count * 2);
    for (std::size_t n = 0; n < count; ++n) {
        const auto v =
            static_cast<std::int16_t>(16383.0 * std::sin(2.0 * std::numbers::pi * kBeepHz *
                                                         static_cast<double>(n) / kBeepRate));
        const auto u = static_cast<std::uint16_t>(v);
        bytes[2 * n] = static_cast<std::uint8_t>(u & 0xFF);
        bytes[2 * n + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    return bytes;
}

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
    if (scenario.Opened()) {
        session_ = std::make_unique<VowelDiscriminationTest>(
            ReadVowelSettings(scenario), practice, setup_.age, services_.random, services_.clock);
    } else {
        services_.prompter.Message(this, QString::fromUtf8(kLoadingScenarioFailedMessage));
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
    if (!pictures_) return;
    const PictureSequence::Outcome outcome =
        pictures_->Advance([this](const std::string& file) { return ShowPictureFile(file); });
    if (outcome.message) services_.prompter.Message(this, QString::fromStdString(*outcome.message));
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
    services_.output.Close();
    if (session_->Settings().beep) Beep();
    StoreRecord(*step->record);
    selection_.Clear();
    UpdateMarks();
    if (step->next) AdvancePicture();
    RunTrial(*step);
}

void CAutoTest6::RunTrial(const VowelStep& step) {
    ShowProgress(step.progress);
    StepSequence sequence;
    if (!step.next) {
        sequence.Then(500, "ending", [this] { RunEnding(); });
        runner_->Start(std::move(sequence));
        return;
    }
    const VowelTrial trial = *step.next;
    // The beep sounds out before the next stimulus opens the device again.
    std::uint64_t playDelay = session_->Settings().beep && step.record ? kBeepMs : 0;
    if (step.rest) {
        sequence.Do("rest", [this] {
            services_.prompter.Message(this, QString::fromUtf8(kVowelRestMessage));
            services_.prompter.Message(this, QString::fromUtf8(kVowelResumeMessage));
        });
        playDelay = std::max<std::uint64_t>(playDelay, 2000);
    }
    sequence.Then(playDelay, "play", [this, trial] {
        SetAnswering(true);
        Play(trial);
    });
    sequence.Then(1000, "guide",
                  [this] { guide_->setText(QString::fromUtf8(kVowelSelectTwoGuide)); });
    runner_->Start(std::move(sequence));
}

void CAutoTest6::Play(const VowelTrial& trial) {
    const LoadedStimulus masked = LoadStimulus(trial.maskedFile, kVowelMaskedMissingMessage);
    if (!masked.ok) {
        services_.prompter.Message(this, QString::fromStdString(masked.message));
        return;
    }
    const LoadedStimulus masking = LoadStimulus(trial.maskingFile, kVowelMaskingMissingMessage);
    if (!masking.ok) {
        services_.prompter.Message(this, QString::fromStdString(masking.message));
        return;
    }
    if (masked.format.bitsPerSample != 16 || masking.format.bitsPerSample != 16) {
        services_.prompter.Message(this, QString::fromUtf8(kInvalidSampleBitsMessage));
        return;
    }
    const std::vector<std::int16_t> mixed =
        MixVowels(Samples16(masking), Samples16(masked), trial.level);
    std::vector<std::uint8_t> bytes(mixed.size() * sizeof(std::int16_t));
    std::memcpy(bytes.data(), mixed.data(), bytes.size());
    session_->PlayStarted();
    worker_->Start(masking.format, std::move(bytes), trial.repeatCount);
}

void CAutoTest6::Beep() {
    const WaveFormat format = PcmFormat(1, kBeepRate, 16);
    if (!services_.output.Open(format, kBeepRate)) return;
    const std::vector<std::uint8_t> tone = BeepTone();
    services_.output.Write(tone.data(), tone.size());
}

void CAutoTest6::StoreRecord(const VowelRecord& record) {
    store::Values values{
        {QStringLiteral("IIID"), setup_.subjectId},
        {QStringLiteral("NSMRVolume"), record.volume},
        {QStringLiteral("NSMRSelfevaluation"), setup_.selfEvaluation},
        {QStringLiteral("NSMRTime"), QString::fromStdString(record.timeText)},
        {QStringLiteral("NSMRDuration"), QString::fromStdString(record.durationText)},
        {QStringLiteral("NSMRMaskingContent"), QString::fromStdString(record.maskingContent)},
        {QStringLiteral("NSMRMaskedContent"), QString::fromStdString(record.maskedContent)},
        {QStringLiteral("NSMRSNR"), record.snr},
        {QStringLiteral("NSMRRecognise"), QString::fromStdString(record.recognised)},
        {QStringLiteral("NSMRState"), record.state},
    };
    if (record.validity) values.emplace_back(QStringLiteral("NSMRValidity"), *record.validity);
    values.emplace_back(QStringLiteral("NSMROther"), QString::fromStdString(record.other));
    const auto result =
        services_.db.Insert(QStringLiteral("NewSyllableMaskRecord"), QString(), values);
    if (!result.Ok()) services_.prompter.Message(this, result.error->Text());
}

bool CAutoTest6::WriteRows(const std::vector<std::vector<std::string>>& rows) {
    if (setup_.resultPath.isEmpty() || rows.empty()) return true;
    sheet::CSpreadSheet sheet(setup_.resultPath.toStdString(), "Result", false);
    sheet.BeginTransaction();
    bool ok = true;
    std::size_t first = 0;
    if (!sheet.SheetExists()) {
        // A workbook sheet needs a header row as wide as its widest row: the
        // table's first row, its further columns numbered.
        std::size_t width = 0;
        for (const auto& row : rows) width = std::max(width, row.size());
        sheet::Row header = rows.front();
        for (std::size_t c = header.size(); c < width; ++c) header.push_back(std::to_string(c));
        ok = sheet.AddHeaders(header, true);
        first = 1;
    }
    for (std::size_t r = first; r < rows.size(); ++r) ok = sheet.AddRow(rows[r]) && ok;
    ok = sheet.Commit() && ok;
    if (!ok) services_.prompter.Message(this, QString::fromStdString(sheet.LastError()));
    return ok;
}

void CAutoTest6::RunEnding() {
    ended_ = true;
    SetAnswering(false);
    const VowelEnding ending = session_->Ending();
    WriteRows(ending.rows);  // empty in practice
    finalText_ = QString::fromStdString(ending.finalText);
    const bool wasVisible = isVisible();
    hide();
    COutput output(this, services_.timers);
    output.SetText(finalText_);
    output.exec();
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

void CAutoTest6::reject() {
    if (session_ && !ended_ && !session_->Practice()) {
        if (!services_.prompter.Confirm(this, QString::fromUtf8(kVowelCloseEarlyQuestion))) return;
        WriteRows(session_->ThresholdRows());
    }
    runner_->Cancel();
    worker_->Cancel();
    QDialog::reject();
    if (setup_.session) emit sessionEndRequested();
}

}  // namespace kestrune::app
