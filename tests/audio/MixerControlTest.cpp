// The speaker volume through the ALSA mixer library: against a fake mixer
// plugin (element choice, range, setting both channels, closing) and with
// no card at all (everything a quiet no-op).

#include <gtest/gtest.h>

#include "MixerTestSupport.h"
#include "audio/MixerControl.h"

using namespace kestrune::audio;
using kestrune::audio::testing::UseAlsaConfig;

namespace {

const std::string kFolder = ::testing::TempDir();

}  // namespace

// The first of Master, Speaker and PCM playback volume; with none of them,
// or no card at all, the mixer stays closed and every call is a quiet no-op.
TEST(MixerControl, TakesMasterThenSpeakerThenPcmElseStaysClosed) {
    const std::pair<const char*, std::string> cases[] = {
        {"PCM Playback Volume|Speaker Playback Volume|Master Playback Volume", "Master"},
        {"PCM Playback Volume|Speaker Playback Volume|Headphone Playback Volume", "Speaker"},
        {"Headphone Playback Volume|Master Capture Volume|PCM Playback Volume", "PCM"},
        {"Headphone Playback Volume|Master Capture Volume|Mic Playback Switch", ""},
        {"", ""},  // no card
    };
    for (const auto& [elements, chosen] : cases) {
        SCOPED_TRACE(elements);
        UseAlsaConfig(kFolder, elements, 87);
        CMixerControl mixer;
        mixer.Open();
        EXPECT_EQ(mixer.IsOpen(), !chosen.empty());
        EXPECT_EQ(mixer.ControlName(), chosen);
        EXPECT_EQ(mixer.Minimum(), 0);
        EXPECT_EQ(mixer.Maximum(), chosen.empty() ? 0 : 87);
        if (!chosen.empty()) {
            EXPECT_EQ(mixer.ChannelCount(), 2u);
        } else {
            mixer.SetValue(10, 10);
            EXPECT_EQ(mixer.Value(), 0);
            mixer.Close();
            mixer.Close();
            EXPECT_FALSE(mixer.IsOpen());
        }
    }
}

TEST(MixerControl, SetsBothChannelsAndTheCardKeepsTheValue) {
    UseAlsaConfig(kFolder, "Master Playback Volume|PCM Playback Volume", 65535);
    CMixerControl mixer;
    mixer.Open();
    ASSERT_TRUE(mixer.IsOpen());
    const int value = VolumeForPercent(mixer.Minimum(), mixer.Maximum(), 60);
    EXPECT_EQ(value, 39321);
    mixer.SetValue(value, value);
    EXPECT_EQ(mixer.Value(), 39321);
    mixer.SetValue(65536, 65536);  // out of range: refused, nothing changes
    EXPECT_EQ(mixer.Value(), 39321);

    // A second handle on the same card sees the value; closing leaves it set.
    CMixerControl other;
    other.Open();
    EXPECT_EQ(other.Value(), 39321);
    other.SetValue(5, 7);
    mixer.Close();
    EXPECT_FALSE(mixer.IsOpen());
    EXPECT_EQ(mixer.Maximum(), 0);
    mixer.SetValue(1, 1);  // closed: ignored
    EXPECT_EQ(other.Value(), 5);
    mixer.Open();
    EXPECT_EQ(mixer.Value(), 5);

    // A mono line takes the left value.
    UseAlsaConfig(kFolder, "Speaker Playback Volume", 31, 1);
    CMixerControl mono;
    mono.Open();
    ASSERT_TRUE(mono.IsOpen());
    EXPECT_EQ(mono.ChannelCount(), 1u);
    mono.SetValue(12, 30);
    EXPECT_EQ(mono.Value(), 12);

    // Percentages count from 0, not from the minimum, and truncate.
    EXPECT_EQ(VolumeForPercent(0, 65535, 100), 65535);
    EXPECT_EQ(VolumeForPercent(0, 65535, 0), 0);
    EXPECT_EQ(VolumeForPercent(0, 87, 33), 28);  // 28.71
    EXPECT_EQ(VolumeForPercent(10, 110, 50), 50);
    EXPECT_EQ(VolumeForPercent(0, 0, 60), 0);
}
