// The device choice against PortAudio on ALSA null devices (a temporary
// ~/.asoundrc; a second one stands for a headset), and the sound libraries'
// messages kept off the terminal.
#include <alsa/asoundlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "audio/AudioTestSupport.h"
#include "audio/DeviceChoice.h"
#include "audio/LibraryMessages.h"
#include "audio/PortAudioOutput.h"
#include "audio/SoundOutput.h"
#include "audio/WaitClock.h"
#include "support/ScratchDir.h"

namespace kestrune::audio {
namespace {

using namespace kestrune::audio::testing;

class SoundDeviceChoiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseAsoundrc(home_, std::string(kNullDevice) +
                               "pcm.kestrune_headset { type null hint { show on description "
                               "\"headset\" } }\n");
    }
    void TearDown() override { RestoreLibraryMessages(); }

    void WriteStationFile(const std::string& text) {
        std::ofstream(station_.Path() / "kestrune.ini") << text;
    }

    kestrune::testing::ScratchDir home_;
    kestrune::testing::ScratchDir station_;
};

// A PCM name ALSA does not know: opening it makes ALSA complain.
bool OpenUnknownPcm() {
    snd_pcm_t* pcm = nullptr;
    const int result = snd_pcm_open(&pcm, "kestrune_no_such_pcm", SND_PCM_STREAM_PLAYBACK, 0);
    if (result == 0) snd_pcm_close(pcm);
    return result == 0;
}

struct Collected {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> messages;
    LibraryMessageSink Sink() {
        return [this](const std::string& library, const std::string& text) {
            std::lock_guard lock(mutex);
            messages.emplace_back(library, text);
        };
    }
    bool Holds(const std::string& library, const std::string& part) {
        std::lock_guard lock(mutex);
        for (const auto& [from, text] : messages)
            if (from == library && text.find(part) != std::string::npos) return true;
        return false;
    }
};

TEST_F(SoundDeviceChoiceTest, AlsaMessagesGoToTheSinkOrWaitForItNeverToStderr) {
    Collected collected;
    // Held while there is no sink, then handed over first.
    RouteLibraryMessages({});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenUnknownPcm());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(collected.Holds("alsa", "kestrune_no_such_pcm"));
    RouteLibraryMessages(collected.Sink());
    EXPECT_TRUE(collected.Holds("alsa", "kestrune_no_such_pcm"));

    // With the sink in place.
    collected.messages.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenUnknownPcm());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(collected.Holds("alsa", "kestrune_no_such_pcm"));

    // Given back, ALSA prints it itself: the capture above would have seen it.
    RestoreLibraryMessages();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenUnknownPcm());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("kestrune_no_such_pcm"),
              std::string::npos);
}

TEST_F(SoundDeviceChoiceTest, PortAudioOnAMachineWithoutSoundPrintsNothing) {
    // Every PCM on a card that is not there: ALSA complains about each probe.
    UseAsoundrc(home_, kNoCard);
    ::testing::internal::CaptureStderr();
    { const DeviceList list = ListSoundDevices(); }
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "");

    Collected collected;
    RouteLibraryMessages(collected.Sink());
    ::testing::internal::CaptureStderr();
    {
        const DeviceList list = ListSoundDevices();
        EXPECT_EQ(list.defaultOutput, -1);
    }
    {
        PortAudioOutput output;
        EXPECT_EQ(output.DeviceMessage(), "No sound device found: no output device");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(collected.Holds("alsa", "card"));
}

// One short tone on an output; true when it played to its end.
bool PlaysATone(SoundOutput& output) {
    EventCount done;
    output.SetDoneCallback([&] { done.Raise(); });
    const WaveFormat mono{.channels = 1, .sampleRate = 22050, .bitsPerSample = 16};
    if (!output.Open(mono, 22050)) return false;
    const std::vector<uint8_t> tone(2205 * 2, 0x10);
    return output.Write(tone.data(), tone.size()) && done.WaitFor(1);
}

TEST_F(SoundDeviceChoiceTest, AStationNamingAMissingDeviceSaysSoAndPlaysOnTheDefault) {
    WriteStationFile("[Audio]\r\nOutputDevice=Gone Card\r\n");
    const SystemWaitClock clock;
    std::string message;
    const auto output =
        MakeSoundOutput("portaudio", clock, ReadDeviceChoice(station_.Path().string()), &message);
    ASSERT_NE(output, nullptr);
    EXPECT_NE(message.find("\"Gone Card\" is not available"), std::string::npos) << message;
    EXPECT_TRUE(PlaysATone(*output));
}

TEST_F(SoundDeviceChoiceTest, AStationNamingAPresentDeviceOpensThatOne) {
    const DeviceList list = ListSoundDevices();
    int headset = -1;
    for (const DeviceInfo& device : list.devices)
        if (device.name == "kestrune_headset") headset = device.index;
    ASSERT_GE(headset, 0);
    ASSERT_NE(headset, list.defaultOutput);
    WriteStationFile("[Audio]\nHostApi=ALSA\nOutputDevice=kestrune_headset\n");
    PortAudioOutput output(ReadDeviceChoice(station_.Path().string()));
    EXPECT_EQ(output.DeviceMessage(), "");
    EXPECT_EQ(output.Device(), headset);
    EXPECT_TRUE(PlaysATone(output));
}

}  // namespace
}  // namespace kestrune::audio
