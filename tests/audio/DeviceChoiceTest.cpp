// The station's device choice: read from kestrune.ini, picked from a plain
// device list (with the fallback and its message), and the listing printed.
#include "audio/DeviceChoice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>

#include "audio/AudioTestSupport.h"
#include "core/ini/IniFile.h"
#include "support/ScratchDir.h"

namespace kestrune::audio {

void PrintTo(const DeviceChoice& choice, std::ostream* out) {
    *out << "{hostApi=\"" << choice.hostApi << "\" output=\"" << choice.outputDevice
         << "\" input=\"" << choice.inputDevice << "\"}";
}

namespace {

using testing::TwoHostApis;

TEST(DeviceChoiceTest, ReadsTheAudioSection) {
    const struct {
        const char* text;
        DeviceChoice expected;
    } cases[] = {
        {"", {}},
        {"[Audio]\r\nOutputDevice=USB Headset: Audio (hw:1,0)\r\n",
         {.outputDevice = "USB Headset: Audio (hw:1,0)"}},
        {"[Audio]\nHostApi=ALSA\nOutputDevice=pulse\nInputDevice=hw:2\n",
         {.hostApi = "ALSA", .outputDevice = "pulse", .inputDevice = "hw:2"}},
        // "default" in any case and an empty value both mean the default.
        {"[Audio]\nHostApi=\nOutputDevice=Default\nInputDevice=DEFAULT\n", {}},
        // Blanks around a value are the editor's, not the device's.
        {"[Audio]\nOutputDevice=  my card \t\n", {.outputDevice = "my card"}},
        {"[Audio]\nOutputDevice=a card ; the headphones\n", {.outputDevice = "a card"}},
        // Other sections' keys are not the station's devices.
        {"[Other]\nOutputDevice=x\n", {}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.text);
        CIniFile ini;
        ini.LoadText(item.text);
        EXPECT_EQ(ParseDeviceChoice(ini), item.expected);
    }
}

TEST(DeviceChoiceTest, SettingTheChoiceKeepsTheRestOfTheFile) {
    const DeviceChoice usb{.hostApi = "ALSA", .outputDevice = "USB", .inputDevice = ""};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"", "[Audio]\nHostApi=ALSA\nOutputDevice=USB\nInputDevice=default\n"},
        // Other sections and comments stay; a missing [Audio] goes last.
        {"; station 3\r\n[Log]\r\nLevel=2\r\n",
         "; station 3\r\n[Log]\r\nLevel=2\r\n\r\n[Audio]\r\nHostApi=ALSA\r\n"
         "OutputDevice=USB\r\nInputDevice=default\r\n"},
        // Values are replaced in place, the comment after one is kept, a
        // missing key is added at the end of the section, not after [Log].
        {"[Audio]\nOutputDevice=pulse ; the booth\n; inputs below\nHostApi=JACK\n[Log]\nLevel=2\n",
         "[Audio]\nOutputDevice=USB ; the booth\n; inputs below\nHostApi=ALSA\n"
         "InputDevice=default\n[Log]\nLevel=2\n"},
        // A key of the same name in another section is not touched.
        {"[Log]\nHostApi=x\n[Audio]\nInputDevice=mic",
         "[Log]\nHostApi=x\n[Audio]\nInputDevice=default\nHostApi=ALSA\nOutputDevice=USB\n"},
        // Only the first [Audio] counts, as for the reader.
        {"[Audio]\nHostApi=a\n[Audio]\nHostApi=b\n",
         "[Audio]\nHostApi=ALSA\nOutputDevice=USB\nInputDevice=default\n[Audio]\nHostApi=b\n"},
    };
    for (const auto& c : cases) {
        const std::string updated = SetDeviceChoice(c.text, usb);
        EXPECT_EQ(updated, c.expected) << c.text;
        CIniFile ini;
        ini.LoadText(updated);
        EXPECT_EQ(ParseDeviceChoice(ini), usb) << c.text;
    }
}

TEST(DeviceChoiceTest, WrittenChoiceReadsBackAndUnreadableNamesAreRefused) {
    const kestrune::testing::ScratchDir station;
    EXPECT_EQ(ReadDeviceChoice(station.Path().string()), DeviceChoice{}) << "without the file";
    const DeviceChoice choice{.outputDevice = "USB Headset: Audio (hw:1,0)", .inputDevice = "mic"};
    std::ofstream(station.Path() / "kestrune.ini") << "[Log]\nLevel=2\n";
    std::string error;
    ASSERT_TRUE(WriteDeviceChoice(station.Path().string(), choice, &error)) << error;
    EXPECT_EQ(ReadDeviceChoice(station.Path().string()), choice);
    EXPECT_EQ(CIniFile((station.Path() / "kestrune.ini").string()).ReadString("Log", "Level"), "2");

    for (const char* name : {"a;b", "card [1]", "tab\there"}) {
        EXPECT_FALSE(WriteDeviceChoice(station.Path().string(), {.outputDevice = name}, &error))
            << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_EQ(ReadDeviceChoice(station.Path().string()), choice);
}

TEST(DeviceChoiceTest, FindsTheOutputOrFallsBackToTheDefaultSayingWhy) {
    const DeviceList list = TwoHostApis();
    const std::string instead = " is not available; playing on the default output device instead";
    const struct {
        DeviceChoice choice;
        int device;
        std::string message;  // "" when the choice was found as given
    } cases[] = {
        {{}, 1, ""},
        {{.outputDevice = "USB Headset"}, 2, ""},
        {{.hostApi = "JACK Audio Connection Kit"}, 3, ""},
        {{.hostApi = "ALSA", .outputDevice = "system"}, 1, "output device \"system\"" + instead},
        {{.outputDevice = "Gone Card"}, 1, "output device \"Gone Card\"" + instead},
        {{.outputDevice = "mic"}, 1, "output device \"mic\"" + instead},  // input only
        {{.outputDevice = "usb headset"},
         1,
         "output device \"usb headset\"" + instead},  // names are exact
        {{.hostApi = "OSS"}, 1, "host API \"OSS\"" + instead},
        // The device is found though its host API is named wrongly.
        {{.hostApi = "OSS", .outputDevice = "USB Headset"},
         2,
         "host API \"OSS\" is not available; "
         "playing on \"USB Headset\""},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.choice.hostApi + "/" + item.choice.outputDevice);
        const DeviceLookup lookup = FindOutputDevice(list, item.choice);
        EXPECT_EQ(lookup.device, item.device);
        EXPECT_EQ(lookup.message, item.message.empty() ? "" : "the sound " + item.message);
    }
}

TEST(DeviceChoiceTest, WithoutAnyOutputSaysSoInOneLine) {
    DeviceList micOnly = TwoHostApis();
    micOnly.devices.resize(1);
    micOnly.defaultOutput = -1;
    const struct {
        DeviceList list;
        DeviceChoice choice;
        const char* message;
    } cases[] = {
        {micOnly, {}, "No sound device found: no output device"},
        {{}, {}, "No sound device found: no output device"},
        {micOnly,
         {.outputDevice = "USB Headset"},
         "No sound device found: the sound output device \"USB Headset\" is not available and "
         "there is "
         "no other output device"},
    };
    for (const auto& item : cases) {
        const DeviceLookup lookup = FindOutputDevice(item.list, item.choice);
        EXPECT_EQ(std::tuple(lookup.device, lookup.message), std::tuple(-1, item.message));
    }
}

TEST(DeviceChoiceTest, ListsHostApisThenInputsThenOutputs) {
    std::ostringstream out;
    WriteDeviceList(TwoHostApis(), out);
    EXPECT_EQ(out.str(),
              "hostapi index=0 devices=3 default=1 name=ALSA\n"
              "hostapi index=1 devices=1 default=0 name=JACK Audio Connection Kit\n"
              "input index=0 hostapi=0 channels=2 rate=48000 default=0 name=mic\n"
              "input index=1 hostapi=0 channels=32 rate=44100 default=1 name=default\n"
              "output index=1 hostapi=0 channels=32 rate=44100 default=1 name=default\n"
              "output index=2 hostapi=0 channels=2 rate=48000 default=0 name=USB Headset\n"
              "output index=3 hostapi=1 channels=2 rate=96000 default=1 name=system\n");
}

}  // namespace
}  // namespace kestrune::audio
