// Recording into the wave set without a device: captured bytes stored once
// whatever the piece sizes, the end-of-recording rules, refusals and memory errors.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/wave/Recording.h"
#include "core/wave/WaveSet.h"

using namespace kestrune;
using kestrune::testing::Noise;
using kestrune::testing::StoredBytes;

namespace {

constexpr std::size_t B = Recording::kCaptureBytes;

// Hands `signal` over in `chunk`-byte pieces (0: one piece).
void Feed(Recording& recording, const std::vector<uint8_t>& signal, std::size_t chunk) {
    if (chunk == 0) chunk = signal.size();
    for (std::size_t at = 0; at < signal.size(); at += chunk) {
        const RecordingStep step =
            recording.Capture(signal.data() + at, std::min(chunk, signal.size() - at));
        ASSERT_TRUE(step.outcome.message.empty());
    }
}

}  // namespace

TEST(Recording, StoresEveryCapturedByteOnceForEveryChunkSizeAroundTheBuffer) {
    const std::vector<std::size_t> totals = {1,     2,     B - 2, B - 1,     B,
                                             B + 1, B + 2, 3 * B, 3 * B + 1, 3 * B + 777};
    const std::vector<std::size_t> chunks = {0, 1, 2, B - 1, B, B + 1, 3 * B, 3 * B + 5, 4093};
    for (const uint16_t bits : {uint16_t{16}, uint16_t{8}}) {
        for (const std::size_t total : totals) {
            for (const std::size_t chunk : chunks) {
                if (chunk == 1 && total > B + 2) continue;  // byte by byte only near one buffer
                SCOPED_TRACE(::testing::Message() << bits << " bits, " << total << " bytes in "
                                                  << chunk << "-byte pieces");
                WaveSet set;
                ASSERT_TRUE(set.SetBitsPerSample(bits).ok);
                Recording recording(set);
                ASSERT_TRUE(recording.Prepare().outcome.ok);
                ASSERT_EQ(recording.Begin().controls, WorkspaceEvent::Recording);
                const std::vector<uint8_t> signal = Noise(total);
                Feed(recording, signal, chunk);
                // Whole buffers are stored as they fill, the rest waits.
                EXPECT_EQ(set.BytesFor(set.sampleCounts[0]), total / B * B);
                EXPECT_EQ(recording.BuffersStored(), total / B);
                EXPECT_EQ(recording.PendingBytes(), total % B);

                const RecordingStep end = recording.Finish();
                const std::size_t whole = total / (bits / 8) * (bits / 8);
                EXPECT_EQ(StoredBytes(set, 0),
                          std::vector<uint8_t>(signal.begin(), signal.begin() + whole));
                EXPECT_EQ(end.controls, whole == 0 ? WorkspaceEvent::RecordingEndedEmpty
                                                   : WorkspaceEvent::RecordingEndedWithSamples);
                EXPECT_EQ(std::tuple(set.waveCount, end.outcome.message, recording.Active(),
                                     set.TransportRunning()),
                          std::tuple(whole == 0 ? 0 : 1, std::string(), false, false));
            }
        }
    }
}

TEST(Recording, FinishingTwiceOrCapturingAfterTheEndStoresNothingMore) {
    WaveSet set;
    Recording recording(set);
    ASSERT_TRUE(recording.Prepare().outcome.ok);
    recording.Begin();
    const std::vector<uint8_t> signal = Noise(B + 100);
    Feed(recording, signal, 1000);
    // Record start again while recording keeps the capture buffers as they are.
    EXPECT_FALSE(recording.Prepare().outcome.ok);
    EXPECT_EQ(recording.PendingBytes(), 100u);
    recording.Finish();
    const std::vector<uint8_t> first = StoredBytes(set, 0);
    ASSERT_EQ(first, signal);
    EXPECT_FALSE(recording.Finish().outcome.ok);
    EXPECT_FALSE(recording.Begin().outcome.ok);  // no buffers: Prepare comes first
    recording.Capture(signal.data(), signal.size());
    EXPECT_EQ(StoredBytes(set, 0), first);
    EXPECT_EQ(set.waveCount, 1);
}

TEST(Recording, EndOfRecordingRulesForTheSetItLandsIn) {
    struct Case {
        const char* what;
        int wavesBefore;       // waves the set holds at Record start (each 10 samples)
        std::size_t captured;  // bytes captured (16-bit)
        int wavesAfter;
        WorkspaceEvent controls;
    };
    const Case cases[] = {
        {"empty set, nothing captured", 0, 0, 0, WorkspaceEvent::RecordingEndedEmpty},
        {"empty set, one frame", 0, 2, 1, WorkspaceEvent::RecordingEndedWithSamples},
        {"a single odd byte is no frame", 0, 1, 0, WorkspaceEvent::RecordingEndedEmpty},
        {"one wave, nothing captured", 1, 0, 1, WorkspaceEvent::RecordingEndedEmpty},
        {"one wave, a buffer and more", 1, B + 4, 2, WorkspaceEvent::RecordingEndedWithSamples},
        {"four waves, the fifth recorded", 4, 100, 5, WorkspaceEvent::RecordingEndedWithSamples},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveSet set;
        for (int i = 0; i < c.wavesBefore; ++i) {
            set.samples[i] = Noise(20, 100 + i);
            set.sampleCounts[i] = 10;
            set.names[i] = "w" + std::to_string(i);
            set.waveCount = i + 1;
            if (i == 0) {
                ASSERT_TRUE(set.TakeBackup().ok);
            }
        }
        set.processParameters.amplifyFactor = 3.0f;
        Recording recording(set);
        ASSERT_TRUE(recording.Prepare().outcome.ok);
        EXPECT_EQ(set.waveCount, c.wavesBefore);  // nothing changes before the device opens
        recording.Begin();
        EXPECT_EQ(set.waveCount, c.wavesBefore + 1);
        EXPECT_EQ(set.processParameters.amplifyFactor, 1.0f);
        EXPECT_TRUE(set.TransportRunning());
        const std::vector<uint8_t> signal = Noise(c.captured);
        recording.Capture(signal.data(), signal.size());
        const RecordingStep end = recording.Finish();
        EXPECT_EQ(set.waveCount, c.wavesAfter);
        EXPECT_EQ(end.controls, c.controls);
        EXPECT_TRUE(end.outcome.redraw);
        if (c.controls == WorkspaceEvent::RecordingEndedWithSamples) {
            const int slot = set.waveCount - 1;
            EXPECT_EQ(set.names[slot], kRecordedWaveName);
            EXPECT_EQ(set.viewEnd, static_cast<double>(std::max<uint32_t>(set.sampleCounts[slot],
                                                                          c.wavesBefore ? 10 : 0)) -
                                       1);
        }
        for (int i = 0; i < c.wavesBefore; ++i) {
            EXPECT_EQ(set.names[i], "w" + std::to_string(i));
        }
    }
}

TEST(Recording, TheFirstRecordingIsBackedUpAndASecondWaveRestoresTheFirst) {
    WaveSet set;
    Recording recording(set);
    const std::vector<uint8_t> first = Noise(300, 1);
    ASSERT_TRUE(recording.Prepare().outcome.ok);
    recording.Begin();
    recording.Capture(first.data(), first.size());
    recording.Finish();
    EXPECT_EQ(set.backupSamples, first);
    EXPECT_EQ(std::tuple(set.backupCount, set.backupName), std::tuple(150u, kRecordedWaveName));

    // The first wave is edited, then a second one is recorded.
    set.samples[0][0] ^= 0xff;
    set.names[0] = "Edited wave";
    const std::vector<uint8_t> second = Noise(B + 2, 2);
    ASSERT_TRUE(recording.Prepare().outcome.ok);
    recording.Begin();
    recording.Capture(second.data(), second.size());
    recording.Finish();
    EXPECT_EQ(set.waveCount, 2);
    EXPECT_EQ(StoredBytes(set, 0), first);
    EXPECT_EQ(set.names[0], kRecordedWaveName);
    EXPECT_EQ(StoredBytes(set, 1), second);
}

TEST(Recording, RefusalsLeaveTheSetAsItWas) {
    WaveSet full;
    full.waveCount = WaveSet::kMaxWaves;
    Recording five(full);
    const RecordingStep beyond = five.Prepare();
    EXPECT_EQ(std::tuple(beyond.outcome.ok, beyond.outcome.message, beyond.beep),
              std::tuple(false, std::string(WaveSetMessages::kBeyondLimit), false));
    EXPECT_FALSE(five.Begin().outcome.ok);  // not prepared: nothing to begin
    EXPECT_EQ(full.waveCount, WaveSet::kMaxWaves);

    WaveSet set;
    Recording noMemory(set);
    noMemory.SetCaptureLimit(B - 1);
    const RecordingStep memory = noMemory.Prepare();
    EXPECT_EQ(std::tuple(memory.outcome.ok, memory.outcome.message, memory.beep),
              std::tuple(false, std::string(RecordingMessages::kMemoryError), true));

    Recording noDevice(set);
    ASSERT_TRUE(noDevice.Prepare().outcome.ok);
    const RecordingStep device = noDevice.DeviceFailed();
    EXPECT_EQ(std::tuple(device.outcome.ok, device.outcome.message, device.beep),
              std::tuple(false, std::string(RecordingMessages::kAudioCannotOpen), true));
    EXPECT_FALSE(noDevice.Begin().outcome.ok);
    EXPECT_EQ(std::tuple(set.waveCount, set.TransportRunning()), std::tuple(0, false));
}

TEST(Recording, ASlotThatCannotGrowStopsTheCaptureAndKeepsWhatItHas) {
    struct Case {
        const char* what;
        std::size_t limit;  // the wave set's buffer limit
        std::size_t captured;
        std::size_t stored;  // bytes in the slot afterwards
        bool failsWhileCapturing;
        bool failsAtTheEnd;
    };
    const Case cases[] = {
        {"the first buffer", B - 1, 3 * B, 0, true, false},
        {"the third buffer", 2 * B + 10, 3 * B + 50, 2 * B, true, false},
        {"the partial buffer at the end", 2 * B + 10, 2 * B + 50, 2 * B, false, true},
        {"exactly at the limit", 2 * B, 2 * B, 2 * B, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WaveSet set;
        set.SetBufferLimit(c.limit);
        Recording recording(set);
        ASSERT_TRUE(recording.Prepare().outcome.ok);
        recording.Begin();
        const std::vector<uint8_t> signal = Noise(c.captured);
        const RecordingStep capture = recording.Capture(signal.data(), signal.size());
        EXPECT_EQ(capture.closeDevice, c.failsWhileCapturing);
        EXPECT_EQ(capture.outcome.message,
                  c.failsWhileCapturing ? RecordingMessages::kMemoryError : "");
        // Later bytes are ignored once the slot could not grow.
        if (c.failsWhileCapturing) recording.Capture(signal.data(), signal.size());
        const RecordingStep end = recording.Finish();
        EXPECT_EQ(end.outcome.message, c.failsAtTheEnd ? RecordingMessages::kMemoryError : "");
        EXPECT_EQ(end.beep, c.failsAtTheEnd);
        EXPECT_EQ(StoredBytes(set, 0),
                  std::vector<uint8_t>(signal.begin(), signal.begin() + c.stored));
        EXPECT_EQ(set.waveCount, c.stored == 0 ? 0 : 1);
    }
}

TEST(Recording, TimeTextIsCapturedSecondsWithOneDecimal) {
    const std::tuple<uint16_t, uint32_t, uint64_t, const char*> cases[] = {
        // bits, rate, bytes
        {16, 44100, 0, "0.0"},
        {16, 44100, 8820, "0.1"},
        {16, 44100, 8818, "0.1"},
        {16, 44100, 88200 * 12, "12.0"},
        {8, 11025, 11025 * 3 / 2, "1.5"},
        {8, 22050, 2205 * 3, "0.3"},
        {16, 22050, 44100 * 100 + 4410, "100.1"},
    };
    for (const auto& [bits, rate, bytes, text] : cases) {
        EXPECT_EQ(RecordingTimeText(bytes, PcmFormat(1, rate, bits)), text) << bytes;
    }
}
