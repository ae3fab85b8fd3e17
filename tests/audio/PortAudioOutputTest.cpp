// The real output path, PortAudio on ALSA, with no sound card: a temporary
// home folder whose ~/.asoundrc makes the default PCM ALSA's "null" device
// (which takes every frame and plays nothing). PortAudio reads the ALSA
// configuration when it initialises, so each test sets the environment
// first; CTest runs every test in a process of its own.

#include <stdlib.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <tuple>
#include <vector>

#include "DeviceTestSupport.h"
#include "audio/PortAudioOutput.h"
#include "audio/WaitClock.h"
#include "support/ScratchDir.h"

using namespace kestrune::audio;
using namespace kestrune::audio::device_testing;
using kestrune::WaveFormat;

namespace {

// Points HOME at `home` with the given ~/.asoundrc and lets ALSA read its
// usual configuration, which takes in ~/.asoundrc.
void UseAsoundrc(const kestrune::testing::ScratchDir& home, const std::string& text) {
    std::ofstream(home.Path() / ".asoundrc") << text;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::unsetenv("ALSA_CONFIG_PATH");
}

const char kNullDevice[] = "pcm.!default { type null }\nctl.!default { type hw card 31 }\n";

// `seconds` of a 1 kHz tone.
std::vector<uint8_t> Tone(uint16_t bits, uint32_t rate, double seconds) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < static_cast<std::size_t>(rate * seconds); ++i) {
        const double v = std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / rate);
        const auto s =
            static_cast<uint16_t>(static_cast<int16_t>(bits == 8 ? 128 + 100 * v : 20000 * v));
        out.push_back(static_cast<uint8_t>(s & 0xff));
        if (bits == 16) out.push_back(static_cast<uint8_t>(s >> 8));
    }
    return out;
}

// The null device as the default, set before the output exists, and an
// output that counts its done calls.
class PortAudioOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        out.SetDoneCallback([this] { done.Raise(); });
    }

    kestrune::testing::ScratchDir home_;
    const bool configured_ = (UseAsoundrc(home_, kNullDevice), true);
    PortAudioOutput out;
    EventCount done;
};

}  // namespace

TEST_F(PortAudioOutputTest, PlaysAToneOnTheNullDeviceToTheEndFor16And8Bits) {
    for (const auto& [bits, rate] : {std::pair<uint16_t, uint32_t>{16, 22050}, {8, 11025}}) {
        SCOPED_TRACE(bits);
        const int before = done.Value();
        ASSERT_TRUE(out.Open(Mono(bits, rate), rate));
        EXPECT_EQ(std::tuple(out.IsOpen(), out.Done()), std::tuple(true, true));
        const std::vector<uint8_t> tone = Tone(bits, rate, 0.2);
        ASSERT_TRUE(out.Write(tone.data(), tone.size()));
        ASSERT_TRUE(done.WaitFor(before + 1));
        EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes()), std::tuple(true, tone.size()));
        out.Close();
        EXPECT_EQ(std::tuple(out.IsOpen(), out.Write(tone.data(), tone.size())),
                  std::tuple(false, false));
    }
}

TEST_F(PortAudioOutputTest, QueuedBuffersAllPlayAndStopStartsOver) {
    ASSERT_TRUE(out.Open(Mono(16, 44100), 44100));
    const std::vector<uint8_t> tone = Tone(16, 44100, 0.05);
    out.Pause();  // nothing moves while paused, so all three queue up
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    EXPECT_EQ(std::tuple(out.PositionBytes(), out.Done()), std::tuple(0u, false));
    out.Resume();
    ASSERT_TRUE(done.WaitFor(1));
    EXPECT_EQ(out.PositionBytes(), 3 * tone.size());

    out.Pause();
    for (std::size_t i = 0; i < PortAudioOutput::kSlots; ++i) {
        ASSERT_TRUE(out.Write(tone.data(), tone.size())) << i;
    }
    EXPECT_FALSE(out.Write(tone.data(), tone.size()));  // the ring is full
    out.Stop();
    EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes()), std::tuple(true, 0u));
    out.Resume();
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    ASSERT_TRUE(done.WaitFor(2));
    EXPECT_EQ(out.PositionBytes(), tone.size());
}

TEST_F(PortAudioOutputTest, OpeningAgainInTheSameFormatKeepsTheStreamOthersRenewOrCloseIt) {
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    ASSERT_EQ(out.StreamOpens(), 1u);
    const std::vector<uint8_t> tone = Tone(16, 22050, 0.05);
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    ASSERT_TRUE(done.WaitFor(1));
    ASSERT_EQ(out.PositionBytes(), tone.size());

    // A stimulus cut off while paused, with more of it queued.
    const std::vector<uint8_t> longTone = Tone(16, 22050, 1.0);
    out.Pause();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(longTone.data(), longTone.size()));

    // The next stimulus, same format and rate: as if reopened, on the same stream.
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    EXPECT_EQ(std::tuple(out.StreamOpens(), out.IsOpen(), out.Done(), out.PositionBytes()),
              std::tuple(1u, true, true, 0u));
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    EXPECT_FALSE(out.Done());
    ASSERT_TRUE(done.WaitFor(2));  // not paused any more
    // Only the new buffer played: none of the dropped second of tone.
    EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes(), done.Value()),
              std::tuple(true, tone.size(), 2));

    // Another rate or sample size is a new stream, and it plays.
    ASSERT_TRUE(out.Open(Mono(16, 44100), 44100));
    EXPECT_EQ(out.StreamOpens(), 2u);
    const std::vector<uint8_t> tone8 = Tone(8, 44100, 0.05);
    ASSERT_TRUE(out.Open(Mono(8, 44100), 44100));
    EXPECT_EQ(std::tuple(out.StreamOpens(), out.PositionBytes()), std::tuple(3u, 0u));
    ASSERT_TRUE(out.Write(tone8.data(), tone8.size()));
    ASSERT_TRUE(done.WaitFor(3));
    EXPECT_EQ(out.PositionBytes(), tone8.size());

    // A format it refuses (stereo, 24 bits) closes the stream, as before.
    WaveFormat stereo = Mono(8, 44100);
    stereo.channels = 2;
    EXPECT_FALSE(out.Open(stereo, 44100));
    EXPECT_FALSE(out.IsOpen());
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    EXPECT_FALSE(out.Open(Mono(24, 22050), 22050));
    EXPECT_FALSE(out.IsOpen());

    SystemWaitClock clock;
    const auto made = MakeSoundOutput("portaudio", clock);
    ASSERT_NE(dynamic_cast<PortAudioOutput*>(made.get()), nullptr);
    EXPECT_TRUE(made->Open(Mono(16, 8000), 8000));
}

TEST(PortAudioOutput, WithoutADeviceOpenFails) {
    kestrune::testing::ScratchDir home;
    UseAsoundrc(home, "pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n");
    PortAudioOutput out;
    const uint8_t bytes[2] = {};
    EXPECT_EQ((std::tuple{out.Open(Mono(16, 22050), 22050), out.IsOpen(), out.Write(bytes, 2)}),
              std::tuple(false, false, false));
}
