// Recording through the device layer: the byte queue against a plain queue,
// the recording engine on the virtual input (fed from the test's thread and
// from one standing in for the audio callback), and PortAudio capturing from
// ALSA's null device.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/AudioTestSupport.h"
#include "audio/ByteRing.h"
#include "audio/PortAudioInput.h"
#include "audio/RecordingEngine.h"
#include "audio/VirtualInput.h"
#include "core/CoreTestSupport.h"
#include "core/wave/Recording.h"
#include "core/wave/WaveSet.h"
#include "support/ScratchDir.h"

using namespace kestrune;
using namespace kestrune::audio;
using namespace kestrune::audio::testing;
using kestrune::testing::Noise;
using kestrune::testing::StoredBytes;

namespace {

constexpr std::size_t B = Recording::kCaptureBytes;

// The engine between a wave set and a virtual input; the test handles each
// notice by calling OnInputData as the window's queued call would.
struct Bench {
    Bench() {
        engine.SetDataNotifier([this] { notices.Raise(); });
    }
    // Feeds `chunk`-byte pieces (0: one piece), handling each notice.
    void Feed(const std::vector<uint8_t>& signal, std::size_t chunk) {
        if (chunk == 0) chunk = signal.size();
        for (std::size_t at = 0; at < signal.size(); at += chunk) {
            const std::size_t n = std::min(chunk, signal.size() - at);
            const int before = notices.Value();
            ASSERT_TRUE(input.Feed(signal.data() + at, n));
            ASSERT_EQ(notices.Value(), before + 1);
            const RecordingStep step = engine.OnInputData();
            ASSERT_TRUE(step.outcome.message.empty());
        }
    }

    WaveSet set;
    VirtualInput input;
    RecordingEngine engine{set, input};
    EventCount notices;
};

}  // namespace

TEST(ByteRing, MatchesAPlainQueueAcrossTheWrapForEveryPieceSize) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{15},
                                    std::size_t{16}, std::size_t{17}, std::size_t{40}}) {
        SCOPED_TRACE(piece);
        ByteRing ring(16);
        ASSERT_EQ(ring.Capacity(), 16u);
        std::deque<uint8_t> reference;
        uint64_t dropped = 0;
        const std::vector<uint8_t> signal = Noise(500);
        std::vector<uint8_t> out(64);
        for (std::size_t at = 0; at + piece <= signal.size(); at += piece) {
            const std::size_t room = 16 - reference.size();
            EXPECT_EQ(ring.Write(signal.data() + at, piece), std::min(room, piece));
            for (std::size_t i = 0; i < std::min(room, piece); ++i) {
                reference.push_back(signal[at + i]);
            }
            dropped += piece - std::min(room, piece);
            EXPECT_EQ(ring.Available(), reference.size());
            // Read a little less than was written, so the ring keeps wrapping.
            const std::size_t want = (at / piece) % 3 == 0 ? piece + 1 : piece / 2;
            const std::size_t n = ring.Read(out.data(), std::min(want, out.size()));
            ASSERT_EQ(n, std::min({want, out.size(), reference.size()}));
            for (std::size_t i = 0; i < n; ++i) {
                ASSERT_EQ(out[i], reference.front()) << at << " " << i;
                reference.pop_front();
            }
        }
        EXPECT_EQ(ring.Dropped(), dropped);
        ring.Clear();
        EXPECT_EQ(std::tuple(ring.Available(), ring.Dropped()), std::tuple(0u, 0u));
    }
}

// The chunk sizes and totals around a capture buffer are the core recording's
// table; here the engine drains the input on each notice and closes it at stop.
TEST(RecordingEngine, StoresWhatTheInputCapturedAndClosesItAtStop) {
    for (const std::size_t chunk : {B - 1, B + 1, 2 * B + 1, std::size_t{0}}) {
        SCOPED_TRACE(chunk);
        Bench bench;
        ASSERT_TRUE(bench.set.SetSampleRate(22050).ok);
        ASSERT_EQ(bench.engine.StartRecording().controls, WorkspaceEvent::Recording);
        EXPECT_EQ(std::tuple(bench.input.IsOpen(), bench.input.Format().sampleRate),
                  std::tuple(true, 22050u));
        const std::vector<uint8_t> signal = Noise(3 * B + 1235);
        bench.Feed(signal, chunk);
        // Whole capture buffers are in the slot while recording goes on.
        EXPECT_EQ(bench.set.BytesFor(bench.set.sampleCounts[0]), 3 * B);

        const RecordingStep stop = bench.engine.StopRecording();
        EXPECT_EQ(std::tuple(bench.input.IsOpen(), bench.engine.IsRecording(), stop.controls),
                  std::tuple(false, false, WorkspaceEvent::RecordingEndedWithSamples));
        EXPECT_EQ(StoredBytes(bench.set, 0),
                  std::vector<uint8_t>(signal.begin(), signal.end() - 1));
        // A notice that arrives late changes nothing.
        EXPECT_FALSE(bench.input.Feed(signal.data(), 10));
        bench.engine.OnInputData();
        EXPECT_EQ(bench.set.waveCount, 1);
    }
}

TEST(RecordingEngine, BytesStillQueuedAtStopAreStoredOnce) {
    // The owner never handled a notice: everything is still queued at stop.
    Bench bench;
    ASSERT_TRUE(bench.engine.StartRecording().outcome.ok);
    const std::vector<uint8_t> signal = Noise(2 * B + 3000);
    for (std::size_t at = 0; at < signal.size(); at += 7000) {
        bench.input.Feed(signal.data() + at, std::min<std::size_t>(7000, signal.size() - at));
    }
    EXPECT_EQ(bench.set.sampleCounts[0], 0u);
    bench.engine.StopRecording();
    EXPECT_EQ(StoredBytes(bench.set, 0), signal);
}

// The text itself is the core's RecordingTimeText; the engine shows it only
// while recording, counted in the device's format.
TEST(RecordingEngine, TheTimeDisplayFollowsTheCapturedBytes) {
    Bench bench;
    ASSERT_TRUE(bench.set.SetBitsPerSample(8).ok);
    ASSERT_TRUE(bench.set.SetSampleRate(11025).ok);
    EXPECT_EQ(bench.engine.TimeText(), "");
    ASSERT_TRUE(bench.engine.StartRecording().outcome.ok);
    EXPECT_EQ(bench.input.Format().bitsPerSample, 8u);
    EXPECT_EQ(bench.engine.TimeText(), "0.0");
    bench.Feed(Noise(12 * 1103), 0);
    EXPECT_EQ(bench.engine.TimeText(), "1.2");
    bench.engine.StopRecording();
    EXPECT_EQ(std::tuple(bench.set.sampleCounts[0], bench.engine.TimeText()),
              std::tuple(12u * 1103, std::string()));
}

TEST(RecordingEngine, RefusalsLeaveTheSetAndTheDeviceAlone) {
    Bench noDevice;
    noDevice.input.SetRefuseOpen(true);
    const RecordingStep refused = noDevice.engine.StartRecording();
    EXPECT_EQ(std::tuple(refused.outcome.ok, refused.outcome.message, refused.beep),
              std::tuple(false, std::string(RecordingMessages::kAudioCannotOpen), true));
    EXPECT_EQ(std::tuple(noDevice.set.waveCount, noDevice.engine.IsRecording(),
                         noDevice.set.TransportRunning()),
              std::tuple(0, false, false));

    // A refusal of the core's (the wave limit, memory) comes before the device opens.
    Bench noMemory;
    noMemory.engine.Core().SetCaptureLimit(100);
    const RecordingStep memory = noMemory.engine.StartRecording();
    EXPECT_EQ(std::tuple(memory.outcome.message, memory.beep),
              std::tuple(std::string(RecordingMessages::kMemoryError), true));
    EXPECT_EQ(std::tuple(noMemory.input.OpenCount(), noMemory.engine.IsRecording()),
              std::tuple(0, false));

    // Record start while recording does nothing.
    Bench twice;
    ASSERT_TRUE(twice.engine.StartRecording().outcome.ok);
    EXPECT_FALSE(twice.engine.StartRecording().outcome.ok);
    EXPECT_EQ(std::tuple(twice.input.OpenCount(), twice.set.waveCount), std::tuple(1, 1));
}

TEST(RecordingEngine, ASlotThatCannotGrowClosesTheDeviceAndEndsTheRecording) {
    Bench bench;
    bench.set.SetBufferLimit(2 * B + 5);
    ASSERT_TRUE(bench.engine.StartRecording().outcome.ok);
    const std::vector<uint8_t> signal = Noise(3 * B);
    ASSERT_TRUE(bench.input.Feed(signal.data(), signal.size()));
    const RecordingStep step = bench.engine.OnInputData();
    EXPECT_EQ(std::tuple(step.outcome.message, step.beep, step.controls),
              std::tuple(std::string(RecordingMessages::kMemoryError), true,
                         WorkspaceEvent::RecordingEndedWithSamples));
    EXPECT_EQ(std::tuple(bench.input.IsOpen(), bench.engine.IsRecording(), bench.set.waveCount),
              std::tuple(false, false, 1));
    EXPECT_EQ(StoredBytes(bench.set, 0),
              std::vector<uint8_t>(signal.begin(), signal.begin() + 2 * B));
    // Record stop afterwards finds nothing to stop.
    EXPECT_FALSE(bench.engine.StopRecording().controls.has_value());
}

TEST(RecordingEngine, CapturedBlocksCrossFromTheDeviceThreadIntact) {
    // The owner drains on each notice from a feeder thread, as the window does.
    Bench bench;
    ASSERT_TRUE(bench.engine.StartRecording().outcome.ok);
    const std::vector<uint8_t> signal = Noise(5 * B + 999);
    std::atomic<bool> fed{false};
    std::thread device([&] {
        std::size_t piece = 64;
        for (std::size_t at = 0; at < signal.size();) {
            const std::size_t n = std::min(piece, signal.size() - at);
            bench.input.Feed(signal.data() + at, n);
            at += n;
            piece = piece % 9000 + 511;
        }
        fed = true;
        bench.notices.Raise();
    });
    for (int seen = 1; !fed; ++seen) {
        bench.notices.WaitFor(seen);
        bench.engine.OnInputData();
    }
    device.join();
    bench.engine.StopRecording();
    EXPECT_EQ(bench.input.DroppedBytes(), 0u);
    const std::vector<uint8_t> stored = StoredBytes(bench.set, 0);
    ASSERT_EQ(stored.size(), signal.size() - 1);
    EXPECT_TRUE(stored == std::vector<uint8_t>(signal.begin(), signal.end() - 1));
}

TEST(PortAudioInput, RecordsMoreThanACaptureBufferOfSilenceFromTheNullDevice) {
    kestrune::testing::ScratchDir home;
    UseAsoundrc(home, kNullDevice);
    PortAudioInput input;
    // What the null device hands over is undefined, so only the amount is checked.
    for (const uint16_t bits : {16, 8}) {
        SCOPED_TRACE(bits);
        WaveSet set;
        ASSERT_TRUE(set.SetBitsPerSample(bits).ok);
        RecordingEngine engine(set, input);
        EventCount notices;
        engine.SetDataNotifier([&] { notices.Raise(); });
        const RecordingStep start = engine.StartRecording();
        ASSERT_TRUE(start.outcome.ok) << start.outcome.message;
        ASSERT_TRUE(input.IsOpen());
        for (int seen = 1; set.BytesFor(set.sampleCounts[0]) < B + 1000; ++seen) {
            ASSERT_TRUE(notices.WaitFor(seen)) << "the device stopped delivering";
            engine.OnInputData();
        }
        const RecordingStep stop = engine.StopRecording();
        EXPECT_EQ(stop.controls, WorkspaceEvent::RecordingEndedWithSamples);
        EXPECT_EQ(set.waveCount, 1);
        // Everything captured is in the slot, apart from bytes the queue dropped.
        const std::vector<uint8_t> stored = StoredBytes(set, 0);
        EXPECT_EQ(stored.size(), input.PositionBytes() - input.DroppedBytes());
        EXPECT_EQ(stored.size() % (bits / 8), 0u) << "whole samples only";
    }
}

TEST(PortAudioInput, WithoutADeviceRecordingIsRefused) {
    kestrune::testing::ScratchDir home;
    UseAsoundrc(home, kNoCard);
    WaveSet set;
    PortAudioInput input;
    RecordingEngine engine(set, input);
    const RecordingStep start = engine.StartRecording();
    EXPECT_EQ(start.outcome.message, RecordingMessages::kAudioCannotOpen);
    EXPECT_EQ(std::tuple(input.IsOpen(), set.waveCount, engine.IsRecording()),
              std::tuple(false, 0, false));
}
