// The station's input device: picked from a plain device list with the same
// fallback as the output, then followed by PortAudio on ALSA null devices
// (a temporary ~/.asoundrc in which a second null device is a microphone).
#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <tuple>

#include "audio/DeviceChoice.h"
#include "audio/PortAudioInput.h"
#include "audio/SoundInput.h"
#include "support/ScratchDir.h"

namespace kestrune::audio {
namespace {

TEST(InputChoiceTest, FindsTheInputOrFallsBackToTheDefaultSayingWhy) {
    // ALSA: a duplex default, an output-only headset and a microphone; JACK:
    // its default input. `none`: the headset alone.
    DeviceList list{.hostApis = {{.index = 0, .name = "ALSA"}, {.index = 1, .name = "JACK"}},
                    .devices = {{.index = 0, .name = "default", .inputChannels = 2},
                                {.index = 1, .name = "Headset", .outputChannels = 2},
                                {.index = 2, .name = "USB Mic", .inputChannels = 1},
                                {.index = 3, .name = "sys", .hostApi = 1, .inputChannels = 2}},
                    .defaultInput = 0};
    list.devices[0].defaultInput = list.devices[3].defaultInput = true;
    const DeviceList none{.hostApis = list.hostApis, .devices = {list.devices[1]}};
    const std::string gone = "the sound input device \"USB Mic\" is not available";
    const std::string instead = "; recording from the default input device instead";
    const struct {
        const DeviceList& list;
        DeviceChoice choice;
        int device;
        std::string message;
    } cases[] = {
        {list, {}, 0, ""},
        {list, {.outputDevice = "Headset", .inputDevice = "USB Mic"}, 2, ""},
        {list, {.hostApi = "JACK"}, 3, ""},
        {list,
         {.inputDevice = "Headset"},
         0,
         "the sound input device \"Headset\" is not available" + instead},
        {list, {.hostApi = "JACK", .inputDevice = "USB Mic"}, 3, gone + instead},
        {list,
         {.hostApi = "OSS", .inputDevice = "USB Mic"},
         2,
         "the sound host API \"OSS\" is not available; recording from \"USB Mic\""},
        {none, {}, -1, "No sound device found: no input device"},
        {none,
         {.inputDevice = "USB Mic"},
         -1,
         "No sound device found: " + gone + " and there is no other input device"},
    };
    for (const auto& item : cases) {
        const DeviceLookup lookup = FindInputDevice(item.list, item.choice);
        EXPECT_EQ(std::tuple(lookup.device, lookup.message), std::tuple(item.device, item.message))
            << item.choice.hostApi << "/" << item.choice.inputDevice;
    }
}

TEST(InputChoiceTest, PortAudioRecordsFromTheNamedInputOrSaysWhyNot) {
    const kestrune::testing::ScratchDir home;
    std::ofstream(home.Path() / ".asoundrc")
        << "pcm.!default { type null }\nctl.!default { type hw card 31 }\n"
           "pcm.kestrune_mic { type null hint { show on description \"microphone\" } }\n";
    ::setenv("HOME", home.Path().c_str(), 1);
    ::unsetenv("ALSA_CONFIG_PATH");
    const DeviceList list = ListSoundDevices();
    const DeviceInfo* mic = nullptr;
    for (const DeviceInfo& device : list.devices)
        if (device.name == "kestrune_mic") mic = &device;
    ASSERT_TRUE(mic != nullptr && mic->index != list.defaultInput);
    const WaveFormat mono{.channels = 1, .sampleRate = 22050, .bitsPerSample = 16};
    for (const auto& [name, device] :
         {std::pair("kestrune_mic", mic->index), std::pair("Gone Mic", list.defaultInput)}) {
        std::string message;
        const std::unique_ptr<SoundInput> made =
            MakeSoundInput("portaudio", {.inputDevice = name}, &message);
        ASSERT_NE(dynamic_cast<const PortAudioInput*>(made.get()), nullptr);
        EXPECT_EQ(static_cast<const PortAudioInput&>(*made).Device(), device) << name;
        EXPECT_EQ(message.empty(), device == mic->index) << message;  // (its words above)
        EXPECT_TRUE(made->Open(mono)) << name;
        made->Close();
    }
}

}  // namespace
}  // namespace kestrune::audio
