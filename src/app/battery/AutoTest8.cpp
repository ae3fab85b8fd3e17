#include "app/battery/AutoTest8.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/StepRunner.h"
#include "app/Timers.h"
#include "app/battery/InputDlg.h"
#include "app/battery/TestWindow.h"
#include "audio/MixerControl.h"
#include "audio/PlaybackWorker.h"
#include "core/battery/Stimulus.h"
#include "core/battery/SyllableMasking.h"

namespace kestrune::app {

namespace {

QString FromStd(const std::string& text) {
    return QString::fromStdString(text);
}

/** The wait after the single write of an entry. */
constexpr std::uint64_t kAfterPlayMs = 200;

}  // namespace

CAutoTest8::CAutoTest8(const VowelTestServices& services, const QString& scenarioPath,
                       QWidget* parent)
    : QDialog(parent),
      services_(services),
      worker_(std::make_unique<audio::PlaybackWorker>(services.output, services.clock)),
      runner_(new StepRunner(this, services.timers)) {
    setWindowTitle(QString::fromUtf8(kPresentationCaption));
    Timers& timers = services_.timers != nullptr ? *services_.timers : EventLoopTimers();
    tick_ = timers.Make([this] { OnTick(); });

    PresentationSettings settings =
        ReadPresentationSettings(Scenario::Load(scenarioPath.toStdString()));
    if (settings.entries.empty()) {
        Message(kPresentationNoEntries);
    } else {
        if (settings.pictureNumber > 0) {
            // The first picture is a random one of the folder's.
            pictures_.emplace(settings.picturePath, settings.pictureNumber);
            const int first = 1 + RandomInt(services_.random, settings.pictureNumber - 1);
            for (int n = 1; n < first; ++n)
                pictures_->Advance([](const std::string&) { return true; });
        }
        audio::CMixerControl mixer;
        mixer.Open();
        speakerValue_ = audio::VolumeForPercent(mixer.Minimum(), mixer.Maximum(), settings.volume);
        mixer.SetValue(speakerValue_, speakerValue_);
        mixer.Close();
        list_ = std::make_unique<AudioPresentation>(std::move(settings));
        qCInfo(lcSession).noquote()
            << "presentation opened:" << scenarioPath << list_->Count() << "entries";
    }

    auto button = [this](const char* text, const char* name) {
        return TestButton(this, QString::fromUtf8(text), name);
    };
    startButton_ = button("始まる", "startButton");
    endButton_ = button("終了", "endButton");
    picture_ = new CPictureFrame(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setFixedSize(400, 300);
    auto* bars = new QGroupBox(QStringLiteral("実験の進度"), this);
    listBar_ = new QProgressBar(bars);
    listBar_->setObjectName(QStringLiteral("listProgress"));
    entryBar_ = new QProgressBar(bars);
    entryBar_->setObjectName(QStringLiteral("entryProgress"));
    auto* barLayout = new QVBoxLayout(bars);
    barLayout->addWidget(listBar_);
    barLayout->addWidget(entryBar_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startButton_);
    bottom->addStretch(1);
    bottom->addWidget(endButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    layout->addWidget(bars);
    layout->addLayout(bottom);

    connect(startButton_, &QPushButton::clicked, this, &CAutoTest8::OnStart);
    connect(endButton_, &QPushButton::clicked, this, &CAutoTest8::reject);
    startButton_->setEnabled(list_ != nullptr);
    listBar_->setRange(0, list_ ? list_->Count() : 1);
    listBar_->setValue(0);
    entryBar_->setRange(0, 1);
    entryBar_->setValue(0);
    if (pictures_)
        pictures_->Draw(
            [this](const std::string& file) { return picture_->SetPath(FromStd(file)); });
}

CAutoTest8::~CAutoTest8() {
    tick_->Stop();
    runner_->Cancel();
    worker_->Cancel();
    delete pause_.data();
}

int CAutoTest8::RunModal() {
    if (!list_) return Rejected;
    return RunWindowModal(*this);
}

bool CAutoTest8::Playing() const {
    return worker_->Running();
}

QString CAutoTest8::PictureFile() const {
    return pictures_ ? FromStd(pictures_->CurrentFile()) : QString();
}

void CAutoTest8::reject() {
    if (!services_.prompter.Confirm(this, QStringLiteral("Really want to quit?"))) return;
    tick_->Stop();
    runner_->Cancel();
    worker_->Cancel();
    delete pause_.data();
    QDialog::reject();
}

void CAutoTest8::OnStart() {
    if (!list_ || list_->Over()) return;
    startButton_->setEnabled(false);
    listBar_->setRange(0, list_->Count());
    listBar_->setValue(list_->Current());
    PlayEntry();
}

void CAutoTest8::PlayEntry() {
    worker_->Cancel();
    const PresentationEntry& entry = list_->Entry();
    LoadedStimulus loaded = LoadStimulus(entry.path, kMaskedMissingMessage);
    if (!loaded.ok) {
        // The presentation stops here: no timer, nothing more is played.
        qCWarning(lcSession).noquote() << "recording failed:" << FromStd(entry.path);
        Message(loaded.message);
        return;
    }
    list_->Loaded(loaded.sampleCount, loaded.format.sampleRate);
    qCInfo(lcSession).noquote() << "presenting" << FromStd(entry.path) << list_->Entry().durationMs
                                << "ms";
    tick_->Start(kPresentationTickMs);
    audio::PlaybackWorker::Events events;
    events.outputError = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Message(kAudioOutputErrorMessage); }, Qt::QueuedConnection);
    };
    const std::uint64_t wait =
        RepeatWaitMs(loaded.format.sampleRate, loaded.sampleCount) - kRepeatGapMs + kAfterPlayMs;
    worker_->Start(loaded.format, std::move(loaded.samples), 1, wait, std::move(events));
}

void CAutoTest8::OnTick() {
    const PresentationTick tick = list_->Tick();
    entryBar_->setRange(0, std::max(tick.barRange, 1));
    entryBar_->setValue(tick.entryEnded ? entryBar_->maximum() : tick.barPosition);
    if (!tick.entryEnded) {
        tick_->Start(kPresentationTickMs);
        return;
    }
    listBar_->setValue(list_->Current());
    AdvancePicture();
    auto goOn = [this] {
        if (list_->Over())
            Finish();
        else
            PlayEntry();
    };
    if (!tick.pause) {
        goOn();
        return;
    }
    auto* pause = new CInputDlg(services_.db, services_.clock, services_.prompter, this);
    pause->setAttribute(Qt::WA_DeleteOnClose);
    pause->setWindowModality(Qt::ApplicationModal);
    pause_ = pause;
    connect(pause, &QDialog::finished, this, [this, goOn] {
        pause_ = nullptr;
        goOn();
    });
    pause->show();
}

void CAutoTest8::Finish() {
    AdvancePicture();
    StepSequence steps;
    steps.Then(1000, "thanks", [this] {
        Message(kThanksMessage);
        reject();
    });
    runner_->Start(std::move(steps));
}

void CAutoTest8::AdvancePicture() {
    StepPicture(pictures_, *picture_, services_.prompter, this);
}

void CAutoTest8::Message(const std::string& text) {
    services_.prompter.Message(this, FromStd(text));
}

}  // namespace kestrune::app
