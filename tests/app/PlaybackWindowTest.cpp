// Play and Stop of the wave workspace through the real window, on the
// virtual output with the time displays' timers and the device on one
// manual clock: pause and resume, stop, the end of the samples, the speed,
// a device that refuses the sped-up rate, the progress line's colour and
// closing the window while playing.

#include <QLabel>

#include <cmath>

#include "AppTestSupport.h"
#include "app/KestruneDlg.h"
#include "app/Timers.h"
#include "audio/PlaybackEngine.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/dsp/ViewRules.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class PlaybackWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir files_;
    FakePrompter prompter_;
    FakeFiles chooser_;
    FakeColors colors_;
    FakeOpener opener_;
    CrtRandom random_;
    std::unique_ptr<audio::ManualWaitClock> clock_;
    std::unique_ptr<ManualTimers> timers_;
    std::unique_ptr<audio::VirtualOutput> output_;
    std::unique_ptr<CKestruneDlg> window_;

    /** A one-second wave at 22050 Hz, opened `count` times; the window shown. */
    void OpenWaves(int count) {
        const QString path = files_.filePath(QStringLiteral("one-second.wav"));
        std::vector<uint8_t> bytes(2 * 22050, 0x10);
        QVERIFY(WriteWaveFile(QFile::encodeName(path).toStdString(), PcmFormat(1, 22050, 16),
                              bytes.data(), 22050));
        window_->OpenWaveFiles(QStringList(count, path));
        QVERIFY(Show(window_.get()));
    }
    /** Moves the device and the display timers on together. */
    void Advance(int ms) {
        for (int at = 0; at < ms; ++at) {
            clock_->AdvanceMs(1);
            timers_->AdvanceMs(1);
        }
    }
    QString Text(const char* name) const {
        return Controls{window_.get()}.Get<QLabel>(name)->text();
    }
    QPushButton* Button(const char* name) const { return Controls{window_.get()}.Button(name); }
    QColor LinePixel(int x) const {
        auto* strip = Controls{window_.get()}.Get<QWidget>("timeStrip");
        return strip->grab().toImage().pixelColor(x, dsp::kProgressLineY);
    }
    std::size_t HeardFrames() const {
        std::size_t frames = 0;
        for (const auto& segment : output_->Heard()) frames += segment.Frames();
        return frames;
    }
    int StripWidth() const { return Controls{window_.get()}.Get<QWidget>("timeStrip")->width(); }
    /** The window's states are the table's after `event`, and its buttons show them. */
    void ExpectStates(WorkspaceEvent event, const ControlStates& before, const char* caption) {
        const ControlStates expected = ControlStatesFor(event, before);
        QCOMPARE(window_->States(), expected);
        QCOMPARE(Button("recordStartButton")->isEnabled(), expected.recordStart);
        QCOMPARE(Button("playButton")->isEnabled(), expected.play);
        QCOMPARE(Button("stopButton")->isEnabled(), expected.stop);
        QCOMPARE(Button("openButton")->isEnabled(), expected.open);
        QCOMPARE(Button("playButton")->text(), QString::fromUtf8(caption));
    }

  private slots:
    void init() {
        window_.reset();  // then the device, before the clock it reads
        output_.reset();
        clock_ = std::make_unique<audio::ManualWaitClock>(1'700'000'000);
        timers_ = std::make_unique<ManualTimers>();
        output_ = std::make_unique<audio::VirtualOutput>(*clock_);
        CKestruneDlg::Services services{prompter_, chooser_, colors_, opener_, *clock_, random_};
        services.sound = output_.get();
        services.soundClock = clock_.get();
        services.timers = timers_.get();
        window_ = std::make_unique<CKestruneDlg>(services);
    }
    void cleanup() {
        window_.reset();
        prompter_.messages.clear();
    }

    void pauseResumeStopAndPlayToTheEnd() {
        OpenWaves(1);
        const ControlStates idle = window_->States();
        const ControlStates playing = ControlStatesFor(WorkspaceEvent::Playing, idle);
        Click(Button("playButton"));
        ExpectStates(WorkspaceEvent::Playing, idle, "一時停止");
        Advance(500);
        QCOMPARE(Text("playTimeDisplay"), QStringLiteral("0.5"));
        Click(Button("playButton"));
        ExpectStates(WorkspaceEvent::PlaybackPaused, playing, "再生");
        Advance(300);  // paused: the display stands still
        QCOMPARE(Text("playTimeDisplay"), QStringLiteral("0.5"));
        Click(Button("playButton"));
        Advance(200);
        QCOMPARE(Text("playTimeDisplay"), QStringLiteral("0.7"));
        ExpectStates(WorkspaceEvent::Playing, idle, "一時停止");
        window_->CloseWave();  // refused while playing
        QCOMPARE(window_->Waves().waveCount, 1);

        Click(Button("stopButton"));
        ExpectStates(WorkspaceEvent::PlaybackEnded, playing, "再生");
        QCOMPARE(Text("playTimeDisplay"), QString());
        QVERIFY(!output_->IsOpen());
        QVERIFY(LinePixel(1) != QColor(255, 255, 0));
        QCOMPARE(HeardFrames(), size_t{22050 * 7 / 10});

        Click(Button("playButton"));
        Advance(1000);
        QTRY_VERIFY(!window_->Player().IsPlaying());  // the end's notice is posted
        ExpectStates(WorkspaceEvent::PlaybackEnded, playing, "再生");
        QCOMPARE(Text("playTimeDisplay"), QString());
        QCOMPARE(HeardFrames(), size_t{22050 * 17 / 10});
        QVERIFY(!timers_->NextDueMs().has_value());
    }

    void speedRatesAndLineColours() {
        const struct {
            int waves;
            float speed;
            std::vector<uint32_t> accepted;  // empty: any rate
            uint32_t deviceRate;
            int ms;
            const char* display;  // in the wave's own seconds
        } rows[] = {
            {1, 1.0f, {}, 22050, 500, "0.5"},
            {3, 1.0f, {}, 22050, 500, "0.5"},
            {1, 2.0f, {}, 44100, 250, "0.5"},
            {1, 1.5f, {22050, 44100}, 22050, 200, "0.3"},  // 33075 Hz refused: converted
            {2, 1.5f, {48000}, 48000, 400, "0.6"},
        };
        for (const auto& row : rows) {
            init();
            OpenWaves(row.waves);
            window_->Waves().processParameters.playbackSpeed = row.speed;
            output_->SetAcceptedRates(row.accepted);
            Click(Button("playButton"));
            QCOMPARE(output_->Rate(), row.deviceRate);
            Advance(row.ms);
            QCOMPARE(Text("playTimeDisplay"), QString::fromLatin1(row.display));
            const dsp::Rgb rgb = dsp::LegendColor(row.waves - 1, row.waves);
            const QColor colour(rgb.red, rgb.green, rgb.blue);
            const int end = dsp::ProgressLineEnd(QString::fromLatin1(row.display).toDouble(), 1.0,
                                                 StripWidth());
            QCOMPARE(LinePixel(0), colour);
            QCOMPARE(LinePixel(end - 2), colour);
            QVERIFY(LinePixel(end + 3) != colour);
            Advance(1000);
            QTRY_VERIFY(!window_->Player().IsPlaying());
            // The whole wave was heard, converted to the device's rate.
            const double frames = 22050.0 * row.deviceRate / window_->Player().HeardRate();
            QVERIFY(std::abs(static_cast<double>(HeardFrames()) - frames) < 3);
            cleanup();
        }
    }

    void refusedDeviceAndClosingWhilePlaying() {
        OpenWaves(1);
        const ControlStates idle = window_->States();
        output_->SetAcceptedRates({8000});
        Click(Button("playButton"));
        QCOMPARE(prompter_.MessageTexts(), QStringList{"Audio output error"});
        QCOMPARE(window_->States(), idle);
        QVERIFY(!output_->IsOpen());

        output_->SetAcceptedRates({});
        Click(Button("playButton"));
        QVERIFY(output_->IsOpen());
        prompter_.answers.push_back(true);
        window_->close();
        QVERIFY(!output_->IsOpen());
        QVERIFY(!window_->Player().IsPlaying());
    }
};

QTEST_MAIN(PlaybackWindowTest)
#include "PlaybackWindowTest.moc"
