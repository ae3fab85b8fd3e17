#include "app/battery/SingleTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "app/AudioInfo.h"
#include "app/Choosers.h"
#include "app/IndividualInformation.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "audio/SoundOutput.h"
#include "core/battery/Stimulus.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

const QString kCaption = QStringLiteral("単一要素の実験");
const QString kPlayCaption = QStringLiteral("再生");
const QString kPlayAgainCaption = QStringLiteral("Play");
const QString kStopCaption = QStringLiteral("Stop");
const QString kNoSubjectMessage = QStringLiteral("Please input your individual ID!");
const QString kNoAudioMessage = QStringLiteral("Please input the path and name of an audio file!");
const QString kUnknownSubjectMessage = QStringLiteral("Invalid individual ID!");
const QString kUnregisteredAudioMessage = QStringLiteral(
    "Invalid path and file name!\nPlease make sure that it is in the audio information database!");
const QString kDatabaseOperationMessage = QStringLiteral("Database operation error!");
const QString kNoAudioRegisteredMessage = QStringLiteral("No audio information is found!");
const QString kRollBackQuestion =
    QStringLiteral("Are you sure to roll back the result affected just now?");
const QString kRollBackFailedMessage = QStringLiteral("Roll back failed!");
const QString kCloseQuestion = QStringLiteral("Are you sure to close this window?");
const QString kBrowseFilter = QStringLiteral("Wav Files (*.wav *.WAV)");

struct FactorControls {
    const char* caption;
    const char* check;
    const char* edit;
    const char* scroll;
};

constexpr FactorControls kFactorControls[kSingleFactorCount] = {
    {"再生速度", "speedCheck", "speedEdit", "speedScroll"},
    {"Noise/Signal比", "noiseCheck", "noiseEdit", "noiseScroll"},
    {"周期", "periodCheck", "periodEdit", "periodScroll"},
    {"負荷サイクル", "dutyCheck", "dutyEdit", "dutyScroll"},
};

constexpr std::pair<Judgement, const char*> kJudgementButtons[] = {
    {Judgement::Recognised, "recognisedButton"},
    {Judgement::NotRecognised, "notRecognisedButton"},
    {Judgement::Undecided, "undecidedButton"},
};
constexpr const char* kJudgementCaptions[] = {"認識できる", "認識できない", "やってみましょう"};

/** Ladder indexes moved by one click in a scroll bar's trough: a sixth of
 *  the ladder, at least one. */
int LadderPageStep(SingleFactor factor) {
    return std::max(1, static_cast<int>(LadderOf(factor).values.size()) / 6);
}

}  // namespace

CSingleTest::CSingleTest(const SingleTestServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setWindowTitle(kCaption);
    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };

    subjectEdit_ = edit("subjectEdit");
    QPushButton* search = button(QStringLiteral("検索"), "searchButton");
    QPushButton* confirm = button(QStringLiteral("確認"), "confirmButton");
    audioEdit_ = edit("audioEdit");
    QPushButton* browse = button(QStringLiteral("..."), "browseButton");
    QPushButton* random = button(QStringLiteral("無作為の取り"), "randomButton");
    QPushButton* syllable = button(QStringLiteral("音節の取り"), "syllableButton");
    QPushButton* properties = button(QStringLiteral("属性"), "propertiesButton");

    auto* chooser = new QGroupBox(QStringLiteral("被験者とオーディオ"), this);
    auto* chooserGrid = new QGridLayout(chooser);
    chooserGrid->addWidget(new QLabel(QStringLiteral("被験者ID"), chooser), 0, 0);
    chooserGrid->addWidget(subjectEdit_, 0, 1, 1, 3);
    chooserGrid->addWidget(search, 0, 4);
    chooserGrid->addWidget(confirm, 0, 5);
    chooserGrid->addWidget(new QLabel(QStringLiteral("オーディオ"), chooser), 1, 0);
    chooserGrid->addWidget(audioEdit_, 1, 1, 1, 3);
    chooserGrid->addWidget(browse, 1, 4);
    chooserGrid->addWidget(properties, 1, 5);
    chooserGrid->addWidget(random, 2, 1);
    chooserGrid->addWidget(syllable, 2, 2);
    chooserGrid->setColumnStretch(3, 1);

    auto* factors = new QGroupBox(QStringLiteral("要素"), this);
    auto* factorGrid = new QGridLayout(factors);
    for (int f = 0; f < kSingleFactorCount; ++f) {
        const auto slot = static_cast<std::size_t>(f);
        const auto factor = static_cast<SingleFactor>(f);
        const FactorControls& names = kFactorControls[f];
        auto* check = new QCheckBox(QString::fromUtf8(names.caption), factors);
        check->setObjectName(QString::fromLatin1(names.check));
        auto* value = edit(names.edit);
        value->setReadOnly(true);
        value->setMaximumWidth(110);
        auto* scroll = new QScrollBar(Qt::Horizontal, factors);
        scroll->setObjectName(QString::fromLatin1(names.scroll));
        scroll->setRange(0, static_cast<int>(LadderOf(factor).values.size()) - 1);
        scroll->setSingleStep(1);
        scroll->setPageStep(LadderPageStep(factor));
        scroll->setValue(experiment_.Index(factor));
        scroll->setMinimumWidth(220);
        value->setText(QString::fromStdString(FactorText(experiment_.Value(factor))));
        factorGrid->addWidget(check, f, 0);
        factorGrid->addWidget(value, f, 1);
        factorGrid->addWidget(scroll, f, 2);
        checks_[slot] = check;
        valueEdits_[slot] = value;
        scrollBars_[slot] = scroll;
        connect(check, &QCheckBox::toggled, this,
                [this, factor](bool on) { experiment_.SetChecked(factor, on); });
        connect(scroll, &QScrollBar::valueChanged, this,
                [this, factor](int index) { OnLadderMoved(factor, index); });
    }
    testerCombo_ = new QComboBox(factors);
    testerCombo_->setObjectName(QStringLiteral("testerTypeCombo"));
    for (int t = 0; t < kTesterTypeCount; ++t)
        testerCombo_->addItem(QString::fromUtf8(TesterTypeOf(static_cast<TesterType>(t)).caption));
    factorGrid->addWidget(new QLabel(QStringLiteral("テスタの種類"), factors), kSingleFactorCount,
                          0);
    factorGrid->addWidget(testerCombo_, kSingleFactorCount, 1, 1, 2);
    factorGrid->setColumnStretch(2, 1);

    playButton_ = button(kPlayCaption, "playButton");
    loopCheck_ = new QCheckBox(QStringLiteral("自動的に繰り返し"), this);
    loopCheck_->setObjectName(QStringLiteral("loopCheck"));
    // Kept as the experimenter knows it; no behaviour is attached to it.
    autoAdjustCheck_ = new QCheckBox(QStringLiteral("自動的に調整して再生する"), this);
    autoAdjustCheck_->setObjectName(QStringLiteral("autoAdjustCheck"));
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(playButton_);
    playRow->addWidget(loopCheck_);
    playRow->addWidget(autoAdjustCheck_);
    playRow->addStretch(1);

    auto* judgementRow = new QHBoxLayout;
    for (std::size_t i = 0; i < judgementButtons_.size(); ++i) {
        // A plain variable: clang 14 does not let a lambda capture a structured binding.
        const auto judgement = kJudgementButtons[i].first;
        judgementButtons_[i] =
            button(QString::fromUtf8(kJudgementCaptions[i]), kJudgementButtons[i].second);
        judgementRow->addWidget(judgementButtons_[i]);
        connect(judgementButtons_[i], &QPushButton::clicked, this,
                [this, judgement] { OnJudgement(judgement); });
    }
    rollBackButton_ = button(QStringLiteral("元に戻す"), "rollBackButton");
    QPushButton* close = button(QStringLiteral("終了"), "closeButton");
    judgementRow->addStretch(1);
    judgementRow->addWidget(rollBackButton_);
    judgementRow->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chooser);
    layout->addWidget(factors);
    layout->addLayout(playRow);
    layout->addLayout(judgementRow);

    connect(search, &QPushButton::clicked, this, &CSingleTest::OnSearchSubject);
    connect(confirm, &QPushButton::clicked, this, &CSingleTest::OnConfirm);
    connect(browse, &QPushButton::clicked, this, &CSingleTest::OnBrowse);
    // "音節の取り" picks the same way as "無作為の取り".
    connect(random, &QPushButton::clicked, this, &CSingleTest::OnRandomMaterial);
    connect(syllable, &QPushButton::clicked, this, &CSingleTest::OnRandomMaterial);
    connect(properties, &QPushButton::clicked, this, &CSingleTest::OnProperties);
    connect(testerCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) experiment_.SetTesterType(static_cast<TesterType>(index));
    });
    connect(playButton_, &QPushButton::clicked, this, &CSingleTest::OnPlay);
    connect(rollBackButton_, &QPushButton::clicked, this, &CSingleTest::OnRollBack);
    connect(close, &QPushButton::clicked, this, &CSingleTest::reject);
    UpdateButtons();
}

CSingleTest::~CSingleTest() {
    StopOutput();
}

void CSingleTest::UpdateButtons() {
    playButton_->setEnabled(loaded_);
    for (QPushButton* b : judgementButtons_) b->setEnabled(loaded_);
    rollBackButton_->setEnabled(wroteRecord_);
}

QString CSingleTest::ResolvedPath(const QString& pathname) const {
    const QString folder =
        services_.stationFolder.isEmpty() ? QDir::currentPath() : services_.stationFolder;
    return QDir(folder).absoluteFilePath(pathname);
}

void CSingleTest::OnSearchSubject() {
    CIndividualInformation registry(services_.db, services_.prompter,
                                    store::SubjectRegistry::AllSubjects(), this);
    registry.exec();
    const QString chosen = registry.SelectedId();
    if (!chosen.isEmpty()) subjectEdit_->setText(chosen);
}

void CSingleTest::OnConfirm() {
    const QString subjectText = subjectEdit_->text().trimmed();
    const QString pathname = audioEdit_->text();
    if (subjectText.isEmpty()) {
        services_.prompter.Message(this, kNoSubjectMessage);
        return;
    }
    if (pathname.isEmpty()) {
        services_.prompter.Message(this, kNoAudioMessage);
        return;
    }
    bool number = false;
    const qint64 subjectId = subjectText.toLongLong(&number);
    if (number) {
        const auto subject = store::SubjectRegistry(services_.db).Load(subjectId);
        if (!subject.Ok()) {
            services_.prompter.Message(this, subject.error->Text());
            return;
        }
        number = subject.value.has_value();
    }
    if (!number) {
        services_.prompter.Message(this, kUnknownSubjectMessage);
        return;
    }
    const auto material = store::AudioRegistry(services_.db).FindByPath(pathname);
    if (!material.Ok()) {
        services_.prompter.Message(this, material.error->Text());
        return;
    }
    if (!material.value) {
        services_.prompter.Message(this, kUnregisteredAudioMessage);
        return;
    }
    LoadedStimulus loaded = LoadStimulus(QFile::encodeName(ResolvedPath(pathname)).toStdString());
    if (!loaded.ok) {
        services_.prompter.Message(this, QString::fromStdString(loaded.message));
        return;
    }
    StopOutput();
    subjectId_ = subjectId;
    audioId_ = material.value->id;
    samples_ = std::move(loaded.samples);
    sampleCount_ = loaded.sampleCount;
    format_ = loaded.format;
    loaded_ = true;
    experiment_.MaterialLoaded();
    qCInfo(lcSession).noquote() << "single test: subject" << subjectId_ << "material" << audioId_
                                << pathname;
    UpdateButtons();
}

void CSingleTest::OnBrowse() {
    DialogFileChooser dialogs(kBrowseFilter);
    FileChooser& files = services_.files != nullptr ? *services_.files : dialogs;
    const QString path = files.ChooseOpenPath(this);
    if (!path.isEmpty()) audioEdit_->setText(QDir::toNativeSeparators(path));
}

void CSingleTest::OnRandomMaterial() {
    store::AudioRegistry registry(services_.db);
    const auto count = registry.Count();
    if (!count.Ok()) {
        services_.prompter.Message(this, kDatabaseOperationMessage);
        return;
    }
    if (count.value == 0) {
        services_.prompter.Message(this, kNoAudioRegisteredMessage);
        return;
    }
    // RandomInt reaches the count itself now and then: past the last row,
    // which leaves the edit empty.
    const int r = RandomInt(services_.random, static_cast<int>(count.value));
    const auto material = registry.NthInKeyOrder(r);
    if (!material.Ok()) {
        services_.prompter.Message(this, kDatabaseOperationMessage);
        return;
    }
    audioEdit_->setText(material.value ? material.value->pathname : QString());
}

void CSingleTest::OnProperties() {
    CAudioInfo info(services_.db, services_.prompter, store::AudioRegistry::OneMaterial(audioId_),
                    this);
    info.exec();
}

void CSingleTest::OnLadderMoved(SingleFactor factor, int index) {
    const int taken = experiment_.SetIndex(factor, index);
    const auto slot = static_cast<std::size_t>(factor);
    valueEdits_[slot]->setText(QString::fromStdString(FactorText(experiment_.Value(factor))));
    if (taken != index) scrollBars_[slot]->setValue(taken);
}

void CSingleTest::OnPlay() {
    if (playing_) {
        StopOutput();
        return;
    }
    if (!loaded_) return;
    StimulusOutcome processed = ProcessStimulus(samples_.data(), sampleCount_, format_,
                                                experiment_.Stimulus(), services_.random);
    if (!processed.ok) {
        services_.prompter.Message(this, QString::fromStdString(processed.message));
        return;
    }
    audio::SoundOutput* output = services_.output;
    const WaveFormat& format = processed.stimulus.format;
    if (output != nullptr) {
        // The callback is set while the device is closed.
        output->Close();
        output->SetDoneCallback([this] {
            // On the output's thread: the end is handled on the dialog's.
            QMetaObject::invokeMethod(this, &CSingleTest::OnOutputDone, Qt::QueuedConnection);
        });
    }
    if (output == nullptr || !output->Open(format, format.sampleRate)) {
        if (output != nullptr) output->SetDoneCallback({});
        qCWarning(lcSession) << "single test: sound output could not be opened";
        services_.prompter.Message(this, QString::fromUtf8(kAudioOutputErrorMessage));
        return;
    }
    playingBuffer_ = std::move(processed.stimulus.samples);
    playing_ = true;
    playButton_->setText(kStopCaption);
    UpdateButtons();
    output->Write(playingBuffer_.data(), playingBuffer_.size());
}

void CSingleTest::OnOutputDone() {
    audio::SoundOutput* output = services_.output;
    // A notice from a playback already stopped, or one overtaken by a write.
    if (!playing_ || output == nullptr || !output->Done()) return;
    if (loopCheck_->isChecked()) {
        output->Write(playingBuffer_.data(), playingBuffer_.size());
        return;
    }
    StopOutput();
}

void CSingleTest::StopOutput() {
    if (!playing_) return;
    playing_ = false;
    if (audio::SoundOutput* output = services_.output) {
        output->Stop();
        output->Close();
        output->SetDoneCallback({});
    }
    playButton_->setText(kPlayAgainCaption);
}

void CSingleTest::OnJudgement(Judgement judgement) {
    if (!loaded_) return;
    const std::optional<SingleFactorRecord> record = experiment_.Pending(judgement);
    if (!record) return;
    store::TestRecordRow row;
    row.subjectId = subjectId_;
    row.audioId = audioId_;
    row.time = QString::fromStdString(FormatLocalTime(services_.clock.Now()));
    row.state = record->state;
    row.recognised = record->recognised;
    row.factorMask = record->factorMask;
    row.playSpeed = record->playSpeed;
    row.snr = record->noise;
    row.cycle = record->period;
    row.dutyCycle = record->duty;
    const store::DbResult<qint64> id = store::AddTestRecord(services_.db, row);
    if (!id.Ok()) {
        qCWarning(lcSession).noquote()
            << "single test: judgement not stored -" << id.error->message;
        services_.prompter.Message(this, id.error->Text());
        return;
    }
    experiment_.Commit(judgement);
    lastRecordId_ = id.value;
    wroteRecord_ = true;
    qCInfo(lcSession).noquote() << "single test: TestRecord" << id.value << "state" << row.state
                                << "recognised" << row.recognised << "mask" << row.factorMask;
    UpdateButtons();
}

void CSingleTest::OnRollBack() {
    if (!services_.prompter.Confirm(this, kRollBackQuestion)) return;
    // Only the row this window wrote last: another station's newest row is
    // never taken.
    if (!lastRecordId_) {
        services_.prompter.Message(this, kRollBackFailedMessage);
        return;
    }
    const store::DbResult<std::optional<double>> taken =
        store::TakeTestRecord(services_.db, *lastRecordId_);
    if (!taken.Ok()) {
        services_.prompter.Message(this, taken.error->Text());
        return;
    }
    const qint64 id = *std::exchange(lastRecordId_, std::nullopt);
    if (!taken.value) {
        services_.prompter.Message(this, kRollBackFailedMessage);
        return;
    }
    experiment_.RestoreState(*taken.value);
    qCInfo(lcSession).noquote() << "single test: TestRecord" << id << "taken back, state"
                                << *taken.value;
}

void CSingleTest::reject() {
    if (!services_.prompter.Confirm(this, kCloseQuestion)) return;
    StopOutput();
    QDialog::reject();
}

}  // namespace kestrune::app
