// A scenario item from its text to the subject's ears: the item names a wave
// file, the file is loaded and processed with the item's PLAYSPEED, SNR,
// CYCLE and DUTYCYCLE, and a playback worker plays it through the virtual
// device on a manual clock. The heard buffer is compared, sample by sample,
// with the tone the test wrote into the file - not with the processed buffer
// - so loading, processing and playing are all checked together.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
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

int ToneAt(std::size_t i) {
    return static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440.0 * i / kRate)));
}

// tone.wav: the mono tone; stereo.wav: the tone on the left, a ramp on the right.
void WriteStimuli(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<int16_t> mono, stereo;
    for (std::size_t i = 0; i < kFrames; ++i) {
        mono.push_back(ToneAt(i));
        stereo.insert(stereo.end(), {static_cast<int16_t>(ToneAt(i)),
                                     static_cast<int16_t>(-7000 + static_cast<int>(i % 50))});
    }
    for (const auto& [name, samples, channels] :
         {std::tuple{"tone.wav", &mono, 1}, std::tuple{"stereo.wav", &stereo, 2}}) {
        ASSERT_TRUE(WriteWaveFile((folder / name).string(), PcmFormat(channels, kRate, 16),
                                  reinterpret_cast<const uint8_t*>(samples->data()),
                                  channels * kFrames));
    }
}

// FILEPATH is written the old platform's way; items name the file after it.
const char kScenario[] =
    "[INFO]\r\nTESTTYPE=SYLLABLE\r\nTOTAL=3\r\nFILEPATH=wav\\\r\n"
    "[DATA1]\r\nFILE=tone.wav\r\nPLAYSPEED=1\r\nSNR=0\r\nCYCLE=100\r\nDUTYCYCLE=0.5\r\n"
    "[DATA2]\r\nFILE=tone.wav\r\nPLAYSPEED=7\r\nSNR=0.1\r\nCYCLE=0\r\nDUTYCYCLE=1\r\n"
    "[DATA3]\r\nFILE=stereo.wav\r\nPLAYSPEED=1\r\nSNR=0\r\n";

// The item loaded and processed with its values as a test dialog holds
// them (32-bit floats), three repetitions.
ProcessedStimulus ProcessItem(const Scenario& scenario, int item) {
    const auto f = [&](const char* key) {
        return static_cast<double>(static_cast<float>(scenario.ItemReal(item, key)));
    };
    const StimulusSettings settings = {.speed = f("PLAYSPEED"),
                                       .noiseLevel = f("SNR"),
                                       .interruptionMs = f("CYCLE"),
                                       .keptFraction = f("DUTYCYCLE"),
                                       .repeatCount = 3};
    const std::string path = scenario.FilePath() + scenario.ItemText(item, "FILE");
    const LoadedStimulus loaded = LoadStimulus(path);
    EXPECT_TRUE(loaded.ok) << path << ": " << loaded.message;
    CrtRandom random;
    StimulusOutcome outcome =
        ProcessStimulus(loaded.samples.data(), loaded.sampleCount, loaded.format, settings, random);
    EXPECT_TRUE(outcome.ok) << outcome.message;
    return std::move(outcome.stimulus);
}

struct Item {
    int number;
    uint32_t rate;  // as played
    uint64_t waitMs;
    int noise;  // the most a heard sample may differ from the tone
    std::function<int(std::size_t)> expected;
};

const Item kItems[] = {
    // CYCLE 100, DUTYCYCLE 0.5: samples 2205 ... 4409 of each whole
    // 4410-sample window are silent; the last 1000 are no whole window and
    // stay. 1000 / 44100 x 23050 = 522.67 ms, truncated, plus 300.
    {1, kRate, 822, 0, [](std::size_t i) { return i < 22050 && i % 4410 >= 2205 ? 0 : ToneAt(i); }},
    // PLAYSPEED 7 plays at five times the rate (104.5 ms) with noise within
    // A = 32768 x SNR = 3276.
    {2, 5 * kRate, 104 + 300, 3276, ToneAt},
    // A stereo file plays its left channel.
    {3, kRate, 822, 0, ToneAt},
};

TEST(ScenarioPlayback, EachItemIsHeardAsItsValuesSayEveryRepetitionAtItsTime) {
    kestrune::testing::ScratchDir dir;
    WriteStimuli(dir.Path() / "wav");
    const Scenario scenario = Scenario::FromText(kScenario, dir.Path().string());
    ASSERT_EQ(scenario.Total(), 3);
    for (const Item& item : kItems) {
        SCOPED_TRACE(item.number);
        const ProcessedStimulus stimulus = ProcessItem(scenario, item.number);
        ManualWaitClock clock(0, kStartTick);
        VirtualOutput out(clock);
        {
            PlaybackWorker worker(out, clock);
            Recorder recorder;
            worker.Start(stimulus.format, stimulus.samples, stimulus.repeatCount,
                         PlanPlayback(stimulus).waitMs, recorder.Events());
            for (int i = 0; i < stimulus.repeatCount; ++i) {
                ASSERT_TRUE(clock.WaitForSleepers(1));
                clock.AdvanceToNextWake();
            }
            ASSERT_TRUE(recorder.finished.WaitFor(1));
        }
        EXPECT_FALSE(out.IsOpen());
        const auto heard = out.Heard();
        ASSERT_EQ(heard.size(), 3u);
        int lowest = 0, highest = 0;
        for (std::size_t r = 0; r < heard.size(); ++r) {
            const HeardSegment& segment = heard[r];
            EXPECT_EQ(segment.rate, item.rate);
            EXPECT_EQ(segment.bitsPerSample, 16);
            EXPECT_DOUBLE_EQ(segment.startMs, static_cast<double>(kStartTick + r * item.waitMs));
            // Every repetition is the same buffer: any noise is drawn once.
            EXPECT_EQ(segment.bytes, heard[0].bytes);
            ASSERT_EQ(segment.Frames(), kFrames);
            for (std::size_t i = 0; i < kFrames; ++i) {
                const int deviation = segment.Sample(i) - item.expected(i);
                ASSERT_LE(std::abs(deviation), item.noise) << "sample " << i;
                lowest = std::min(lowest, deviation);
                highest = std::max(highest, deviation);
            }
        }
        // The noise really covers its band (23050 uniform draws).
        EXPECT_LE(lowest, -item.noise * 9 / 10);
        EXPECT_GE(highest, item.noise * 9 / 10);
    }
}

}  // namespace
