// Play and Stop through the window, on the virtual output and a manual clock.

#include <QLabel>
#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "audio/PlaybackEngine.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/dsp/ViewRules.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class PlaybackWindowTest : public QObject {
    Q_OBJECT

    WindowFakes fakes_;
    audio::ManualWaitClock clock_{1'700'000'000};
    audio::VirtualOutput output_{clock_};
    std::unique_ptr<CKestruneDlg> window_;

    void OpenOneSecondWaves(int count) {
        const std::string path =
            QFile::encodeName(fakes_.dir.filePath("one-second.wav")).toStdString();
        const std::vector<uint8_t> bytes(2 * 22050, 0x10);  // 22050 Hz, 16 bits
        WriteWaveFile(path, PcmFormat(1, 22050, 16), bytes.data(), 22050);
        window_->OpenWaveFiles(QStringList(count, QFile::decodeName(path.c_str())));
        QVERIFY(Show(window_.get()));
    }
    void Advance(int ms) {
        for (int t = 0; t < ms; ++t) clock_.AdvanceMs(1), fakes_.timers.AdvanceMs(1);
    }
    template <typename T = QWidget>
    T* Get(const char* name) const {
        return Controls{window_.get()}.Get<T>(name);
    }
    QString Display() const { return Get<QLabel>("playTimeDisplay")->text(); }
    QColor LinePixel(int x) const {
        return Get("timeStrip")->grab().toImage().pixelColor(x, dsp::kProgressLineY);
    }
  private slots:
    void init() {
        CKestruneDlg::Services services = fakes_.Services(clock_);
        services.sound = &output_;
        window_ = std::make_unique<CKestruneDlg>(services);
    }

    void pauseResumeStopEndAndRefusal() {
        OpenOneSecondWaves(1);
        const std::tuple<const char*, int, WorkspaceEvent, const char*, const char*> steps[] = {
            {"playButton", 500, WorkspaceEvent::Playing, "一時停止", "0.5"},
            {"playButton", 300, WorkspaceEvent::PlaybackPaused, "再生", "0.5"},
            {"playButton", 200, WorkspaceEvent::PlaybackResumed, "一時停止", "0.7"},
            {"stopButton", 0, WorkspaceEvent::PlaybackEnded, "再生", ""},
            {"playButton", 1000, WorkspaceEvent::PlaybackEnded, "再生", ""},  // to the end
        };
        ControlStates expected = window_->States();
        for (const auto& [button, ms, event, caption, display] : steps) {
            Click(Get(button));
            Advance(ms);
            QTRY_COMPARE(Display(), QString::fromLatin1(display));  // the end comes posted
            expected = ControlStatesFor(event, expected);
            QCOMPARE(window_->States(), expected);
            QCOMPARE(Get<QPushButton>("playButton")->text(), QString::fromUtf8(caption));
            QCOMPARE(window_->Waves().TransportRunning(), window_->Player().IsPlaying());
        }
        QVERIFY(!fakes_.timers.NextDueMs().has_value() && LinePixel(1) != QColor(255, 255, 0));
        output_.SetAcceptedRates({8000});
        Click(Get("playButton"));
        QCOMPARE(fakes_.prompter.MessageTexts(), QStringList{"Audio output error"});
        QVERIFY(window_->States() == expected && !output_.IsOpen());
        output_.SetAcceptedRates({});
        Click(Get("playButton"));
        fakes_.prompter.answers.push_back(true);
        window_->close();  // while playing: the device stops
        QVERIFY(!output_.IsOpen() && !window_->Player().IsPlaying());
    }

    void speedRatesAndLineColours() {
        // Waves open, speed, the rates the device takes (none: any), the rate it opens at.
        const std::tuple<int, float, std::vector<uint32_t>, uint32_t> rows[] = {
            {1, 1.0f, {}, 22050},
            {3, 1.0f, {}, 22050},
            {1, 2.0f, {}, 44100},
            {1, 1.5f, {22050, 44100}, 22050},  // 33075 Hz refused: converted
            {2, 1.5f, {48000}, 48000}};
        for (const auto& [waves, speed, accepted, deviceRate] : rows) {
            init();
            OpenOneSecondWaves(waves);
            window_->Waves().processParameters.playbackSpeed = speed;
            output_.SetAcceptedRates(accepted);
            Click(Get("playButton"));
            QCOMPARE(output_.Rate(), deviceRate);
            Advance(200);
            const double seconds = 0.2 * speed;
            QCOMPARE(Display(), QString::number(seconds, 'f', 1));  // the wave's own seconds
            const QColor colour(dsp::LegendColor(waves - 1, waves).Pixel());
            const int end = dsp::ProgressLineEnd(seconds, 1.0, Get("timeStrip")->width());
            QVERIFY(LinePixel(0) == colour && LinePixel(end - 2) == colour &&
                    LinePixel(end + 3) != colour);
            Advance(1000);
            QTRY_VERIFY(!window_->Player().IsPlaying());
            const double frames = 22050.0 * deviceRate / window_->Player().HeardRate();
            QVERIFY(qAbs(static_cast<double>(output_.Heard().back().Frames()) - frames) < 3);
        }
    }
};

QTEST_MAIN(PlaybackWindowTest)
#include "PlaybackWindowTest.moc"
