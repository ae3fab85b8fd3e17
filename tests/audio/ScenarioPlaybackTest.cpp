// A scenario item from its text to the subject's ears: the item names a wave
// file, the file is loaded and processed with the item's PLAYSPEED, SNR,
// CYCLE and DUTYCYCLE, and a playback worker plays it through the virtual
// device on a manual clock. The heard buffer is compared, sample by sample,
// with the tone the test wrote into the file - not with the processed buffer
// - so loading, processing and playing are all checked together.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "DeviceTestSupport.h"
#include "audio/PlaybackWorker.h"
#include "audio/VirtualOutput.h"
#include "core/battery/Scenario.h"
#include "core/battery/Stimulus.h"
#include "core/util/Random.h"
#include "support/ScratchDir.h"

using namespace kestrune;
using namespace kestrune::audio;
using namespace kestrune::audio::device_testing;

namespace {

constexpr uint32_t kRate = 44100;
// Half a second (five whole 100 ms windows) and a partial window of 1000.
constexpr uint32_t kFrames = 22050 + 1000;
constexpr uint64_t kStartTick = 10000;

int16_t ToneAt(std::size_t i) {
    return static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440.0 * i / kRate)));
}

int16_t RightAt(std::size_t i) {
    return static_cast<int16_t>(-7000 + static_cast<int>(i % 50));
}

WaveFormat Pcm16(uint16_t channels) {
    return kestrune::PcmFormat(channels, kRate, 16);
}

void Put16(std::vector<uint8_t>& out, int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    out.push_back(static_cast<uint8_t>(u & 0xff));
    out.push_back(static_cast<uint8_t>(u >> 8));
}

// tone.wav: the mono tone; stereo.wav: the tone on the left, a ramp on the right.
void WriteStimuli(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> mono;
    std::vector<uint8_t> stereo;
    for (std::size_t i = 0; i < kFrames; ++i) {
        Put16(mono, ToneAt(i));
        Put16(stereo, ToneAt(i));
        Put16(stereo, RightAt(i));
    }
    ASSERT_TRUE(WriteWaveFile((folder / "tone.wav").string(), Pcm16(1), mono.data(), kFrames));
    ASSERT_TRUE(
        WriteWaveFile((folder / "stereo.wav").string(), Pcm16(2), stereo.data(), 2 * kFrames));
}

// FILEPATH is written the old platform's way; items name the file after it.
const char kScenario[] =
    "[INFO]\r\nTESTTYPE=SYLLABLE\r\nTOTAL=3\r\nFILEPATH=wav\\\r\n"
    "[DATA1]\r\nFILE=tone.wav\r\nPLAYSPEED=1\r\nSNR=0\r\nCYCLE=100\r\nDUTYCYCLE=0.5\r\n"
    "[DATA2]\r\nFILE=tone.wav\r\nPLAYSPEED=7\r\nSNR=0.1\r\nCYCLE=0\r\nDUTYCYCLE=1\r\n"
    "[DATA3]\r\nFILE=stereo.wav\r\nPLAYSPEED=1\r\nSNR=0\r\n";

// The item's values as a test dialog holds them (32-bit floats).
StimulusSettings SettingsOf(const Scenario& scenario, int item) {
    const auto f = [&](const char* key) {
        return static_cast<double>(static_cast<float>(scenario.ItemReal(item, key)));
    };
    return {.speed = f("PLAYSPEED"),
            .noiseLevel = f("SNR"),
            .interruptionMs = f("CYCLE"),
            .keptFraction = f("DUTYCYCLE"),
            .repeatCount = 3};
}

ProcessedStimulus ProcessItem(const Scenario& scenario, int item, CrtRandom& random) {
    const std::string path = scenario.FilePath() + scenario.ItemText(item, "FILE");
    const LoadedStimulus loaded = LoadStimulus(path);
    EXPECT_TRUE(loaded.ok) << path << ": " << loaded.message;
    StimulusOutcome outcome = ProcessStimulus(loaded.samples.data(), loaded.sampleCount,
                                              loaded.format, SettingsOf(scenario, item), random);
    EXPECT_TRUE(outcome.ok) << outcome.message;
    return std::move(outcome.stimulus);
}

// Plays every repetition and wait of `stimulus` to the end.
std::vector<HeardSegment> PlayToTheEnd(const ProcessedStimulus& stimulus) {
    ManualWaitClock clock(0, kStartTick);
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    Recorder recorder;
    worker.Start(stimulus.format, stimulus.samples, stimulus.repeatCount, recorder.Events());
    for (int i = 0; i < stimulus.repeatCount; ++i) {
        EXPECT_TRUE(clock.WaitForSleepers(1));
        clock.AdvanceToNextWake();
    }
    EXPECT_TRUE(recorder.finished.WaitFor(1));
    EXPECT_FALSE(out.IsOpen());
    return out.Heard();
}

class ScenarioPlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteStimuli(dir_.Path() / "wav");
        scenario_ = Scenario::FromText(kScenario, dir_.Path().string());
        ASSERT_EQ(scenario_.Total(), 3);
    }

    kestrune::testing::ScratchDir dir_;
    Scenario scenario_;
};

}  // namespace

TEST_F(ScenarioPlayback, InterruptionSilencesTheBackHalfOfEveryWholeWindow) {
    CrtRandom random;
    const ProcessedStimulus stimulus = ProcessItem(scenario_, 1, random);
    const auto heard = PlayToTheEnd(stimulus);
    ASSERT_EQ(heard.size(), 3u);
    for (std::size_t r = 0; r < heard.size(); ++r) {
        SCOPED_TRACE(r);
        const HeardSegment& segment = heard[r];
        EXPECT_EQ(segment.rate, kRate);
        EXPECT_EQ(segment.bitsPerSample, 16);
        // 1000 / 44100 x 23050 = 522.67 ms, truncated, plus 300.
        EXPECT_DOUBLE_EQ(segment.startMs, static_cast<double>(kStartTick + r * 822));
        ASSERT_EQ(segment.Frames(), kFrames);
        int mismatches = 0;
        for (std::size_t i = 0; i < kFrames; ++i) {
            // Samples 2205 ... 4409 of each whole 4410-sample window are
            // silent; the last 1000 samples are no whole window and stay.
            const bool silenced = i < 22050 && i % 4410 >= 2205;
            const int expected = silenced ? 0 : ToneAt(i);
            if (segment.Sample(i) != expected && ++mismatches <= 5) {
                ADD_FAILURE() << "sample " << i << ": " << segment.Sample(i) << " != " << expected;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST_F(ScenarioPlayback, SpeedSevenPlaysAtFiveTimesTheRateWithNoiseWithinA) {
    CrtRandom random;
    const ProcessedStimulus stimulus = ProcessItem(scenario_, 2, random);
    const auto heard = PlayToTheEnd(stimulus);
    ASSERT_EQ(heard.size(), 3u);
    const int a = static_cast<int>(32768 * static_cast<double>(0.1f));  // SNR 0.1: A = 3276
    ASSERT_EQ(a, 3276);
    // 23050 frames at 220500 per second sound for 104.5 ms.
    const uint64_t wait = 104 + 300;
    int lowest = 0;
    int highest = 0;
    for (std::size_t r = 0; r < heard.size(); ++r) {
        SCOPED_TRACE(r);
        const HeardSegment& segment = heard[r];
        EXPECT_EQ(segment.rate, 5 * kRate);
        EXPECT_DOUBLE_EQ(segment.startMs, static_cast<double>(kStartTick + r * wait));
        ASSERT_EQ(segment.Frames(), kFrames);
        // Every repetition is the same buffer: the noise is drawn once.
        EXPECT_EQ(segment.bytes, heard[0].bytes);
        for (std::size_t i = 0; i < kFrames; ++i) {
            const int deviation = segment.Sample(i) - ToneAt(i);
            ASSERT_GE(deviation, -a) << i;
            ASSERT_LE(deviation, a) << i;
            lowest = std::min(lowest, deviation);
            highest = std::max(highest, deviation);
        }
    }
    // The noise really covers the band (23050 uniform draws).
    EXPECT_LT(lowest, -a * 9 / 10);
    EXPECT_GT(highest, a * 9 / 10);
}

TEST_F(ScenarioPlayback, AStereoFilePlaysItsLeftChannel) {
    CrtRandom random;
    const ProcessedStimulus stimulus = ProcessItem(scenario_, 3, random);
    EXPECT_EQ(stimulus.format.channels, 1);
    const auto heard = PlayToTheEnd(stimulus);
    ASSERT_EQ(heard.size(), 3u);
    for (const HeardSegment& segment : heard) {
        EXPECT_EQ(segment.rate, kRate);
        ASSERT_EQ(segment.Frames(), kFrames);
        for (std::size_t i = 0; i < kFrames; ++i) ASSERT_EQ(segment.Sample(i), ToneAt(i)) << i;
    }
}

TEST_F(ScenarioPlayback, CancellingMidPlaybackFallsSilentWhenTheOwnerStopsAndLeavesNoThread) {
    CrtRandom random;
    const ProcessedStimulus first = ProcessItem(scenario_, 3, random);
    const ProcessedStimulus second = ProcessItem(scenario_, 1, random);
    ManualWaitClock clock(0, kStartTick);
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);

    // The first stimulus plays out; the subject answers in the second one's
    // first repetition, 250 ms into its 522 ms.
    Recorder recorder;
    worker.Start(first.format, first.samples, first.repeatCount, recorder.Events());
    for (int i = 0; i < first.repeatCount; ++i) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        clock.AdvanceToNextWake();
    }
    ASSERT_TRUE(recorder.finished.WaitFor(1));
    const uint64_t secondStart = clock.TickMs();
    worker.Start(second.format, second.samples, second.repeatCount);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    // Counted while the worker runs: a sanitizer may add a helper thread of
    // its own at the first thread start.
    const std::size_t threads = ThreadCount() - 1;
    clock.AdvanceMs(250);

    worker.Cancel();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    out.Stop();  // the owner silences the device after cancelling
    const double stoppedAt = static_cast<double>(clock.TickMs());
    clock.AdvanceMs(5000);

    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 4u);  // three of the first, one cut short
    const HeardSegment& cut = heard.back();
    EXPECT_DOUBLE_EQ(cut.startMs, static_cast<double>(secondStart));
    EXPECT_LE(cut.EndMs(), stoppedAt);
    EXPECT_GE(cut.EndMs(), stoppedAt - 20);
    ASSERT_LT(cut.Frames(), kFrames);
    // What was heard is the start of the processed stimulus, nothing else.
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), second.samples.begin()));
}
