// The station's choice of sound devices, kept in "kestrune.ini" in the
// station folder so an experimenter can read and edit it:
//
//   [Audio]
//   HostApi=ALSA
//   OutputDevice=default
//   InputDevice=default
//
// Every key may be left out or empty; "default" (any letter case) is the
// same as empty: the host API's (or PortAudio's) default device. Blanks
// around a value are ignored, the rest of the value is matched exactly
// against the device names `kestrune-cli audio devices` lists.
//
// The list of devices is plain data, so picking a device from it (and the
// message when the named one is gone) is the same on every machine; only
// ListSoundDevices() asks PortAudio.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {
class CIniFile;
}

namespace kestrune::audio {

/** The station settings file in the station folder. */
inline constexpr std::string_view kStationSettingsFile = "kestrune.ini";

/** Which devices the station plays and records through; empty: the default. */
struct DeviceChoice {
    std::string hostApi;
    std::string outputDevice;
    std::string inputDevice;

    bool operator==(const DeviceChoice&) const = default;
};

/** The [Audio] section of a station settings file. */
DeviceChoice ParseDeviceChoice(const CIniFile& ini);

/** The choice in `stationFolder`'s kestrune.ini; all defaults when the file
 *  is missing. */
DeviceChoice ReadDeviceChoice(const std::string& stationFolder);

/** `text` (a station settings file, possibly empty) with its [Audio] keys set
 *  to `choice` ("default" for an empty field). Every other line - other
 *  sections, other keys, comments, a comment after a value - stays as it
 *  was; missing keys go to the end of the section, a missing section to the
 *  end of the text, in the text's own line ending. */
std::string SetDeviceChoice(std::string_view text, const DeviceChoice& choice);

/** Writes `choice` into `stationFolder`'s kestrune.ini (created when
 *  missing) through SetDeviceChoice. False, with `error` saying why, when a
 *  name could not be read back (it holds ';', ']', a tab or a line break)
 *  or the file cannot be written. */
bool WriteDeviceChoice(const std::string& stationFolder, const DeviceChoice& choice,
                       std::string* error = nullptr);

struct HostApiInfo {
    int index = 0;
    std::string name;
    int devices = 0;
    bool isDefault = false;  ///< PortAudio's default host API
};

struct DeviceInfo {
    int index = 0;  ///< PortAudio's device index
    std::string name;
    int hostApi = 0;  ///< its host API's HostApiInfo::index
    int inputChannels = 0;
    int outputChannels = 0;
    double defaultRate = 0;
    bool defaultInput = false;   ///< its host API's default input
    bool defaultOutput = false;  ///< its host API's default output
};

struct DeviceList {
    std::vector<HostApiInfo> hostApis;
    std::vector<DeviceInfo> devices;
    int defaultOutput = -1;  ///< PortAudio's default output device; -1: none
    int defaultInput = -1;
};

/** Where a choice leads: the device index to open (-1: none, when the list
 *  has no device of that direction at all) and, when the choice could not
 *  be followed, one line saying so. */
struct DeviceLookup {
    int device = -1;
    std::string message;
};

/** The output device `choice` names, restricted to its host API when it
 *  names one; the default output (of that host API, else PortAudio's) when
 *  it names none or one that is not there. */
DeviceLookup FindOutputDevice(const DeviceList& list, const DeviceChoice& choice);

/** The same for the input device `choice` names; the messages say
 *  "recording from" where the output's say "playing on". */
DeviceLookup FindInputDevice(const DeviceList& list, const DeviceChoice& choice);

/** Asks PortAudio (initialising and releasing it); an empty list when it
 *  does not start. */
DeviceList ListSoundDevices();

/**
 * Writes the list one line per host API, then one per input device and one
 * per output device, each ending in the name so names may hold blanks:
 *
 *   hostapi index=0 devices=2 default=1 name=ALSA
 *   input index=1 hostapi=0 channels=32 rate=44100 default=1 name=default
 *   output index=0 hostapi=0 channels=2 rate=48000 default=0 name=USB Headset
 *
 * default=1 marks the default device of its host API.
 */
void WriteDeviceList(const DeviceList& list, std::ostream& out);

}  // namespace kestrune::audio
