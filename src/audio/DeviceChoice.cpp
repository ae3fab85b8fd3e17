#include "audio/DeviceChoice.h"

#include <portaudio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <ostream>

#include "core/ini/IniFile.h"

namespace kestrune::audio {

namespace {

std::string Setting(const CIniFile& ini, std::string_view key) {
    std::string value = ini.ReadString("Audio", key);
    if (value == "Notfound") return {};  // the reader's word for a missing key
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.back())) value.pop_back();
    const auto first = std::find_if_not(value.begin(), value.end(), blank);
    value.erase(value.begin(), first);
    std::string lower = value;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "default" ? std::string() : value;
}

const HostApiInfo* FindHostApi(const DeviceList& list, const std::string& name) {
    const auto found = std::find_if(list.hostApis.begin(), list.hostApis.end(),
                                    [&](const HostApiInfo& api) { return api.name == name; });
    return found == list.hostApis.end() ? nullptr : &*found;
}

// The two directions a device is chosen for, in the words of the messages.
struct Direction {
    bool output;
    const char* kind;   // "output"
    const char* doing;  // "playing on"
};

constexpr Direction kOutput{true, "output", "playing on"};
constexpr Direction kInput{false, "input", "recording from"};

int Channels(const DeviceInfo& device, const Direction& direction) {
    return direction.output ? device.outputChannels : device.inputChannels;
}

// The default device of one host API, or PortAudio's when `hostApi` is null.
int DefaultDevice(const DeviceList& list, const HostApiInfo* hostApi, const Direction& direction) {
    if (hostApi == nullptr) return direction.output ? list.defaultOutput : list.defaultInput;
    for (const DeviceInfo& device : list.devices)
        if (device.hostApi == hostApi->index &&
            (direction.output ? device.defaultOutput : device.defaultInput))
            return device.index;
    return -1;
}

DeviceLookup FindDevice(const DeviceList& list, const DeviceChoice& choice,
                        const Direction& direction) {
    const std::string kind = direction.kind;
    const std::string& name = direction.output ? choice.outputDevice : choice.inputDevice;
    DeviceLookup lookup;
    const HostApiInfo* hostApi = nullptr;
    if (!choice.hostApi.empty()) {
        hostApi = FindHostApi(list, choice.hostApi);
        if (hostApi == nullptr)
            lookup.message = "the sound host API \"" + choice.hostApi + "\" is not available";
    }
    if (!name.empty()) {
        for (const DeviceInfo& device : list.devices) {
            if (device.name == name && Channels(device, direction) > 0 &&
                (hostApi == nullptr || device.hostApi == hostApi->index)) {
                lookup.device = device.index;
                if (!lookup.message.empty())
                    lookup.message +=
                        std::string("; ") + direction.doing + " \"" + device.name + "\"";
                return lookup;
            }
        }
        if (lookup.message.empty())
            lookup.message = "the sound " + kind + " device \"" + name + "\" is not available";
    }
    lookup.device = DefaultDevice(list, hostApi, direction);
    if (lookup.device < 0 && hostApi != nullptr)
        lookup.device = DefaultDevice(list, nullptr, direction);
    if (lookup.device < 0) {
        lookup.message = lookup.message.empty() ? "No sound device found: no " + kind + " device"
                                                : "No sound device found: " + lookup.message +
                                                      " and there is no other " + kind + " device";
    } else if (!lookup.message.empty()) {
        lookup.message +=
            std::string("; ") + direction.doing + " the default " + kind + " device instead";
    }
    return lookup;
}

}  // namespace

DeviceChoice ParseDeviceChoice(const CIniFile& ini) {
    return {.hostApi = Setting(ini, "HostApi"),
            .outputDevice = Setting(ini, "OutputDevice"),
            .inputDevice = Setting(ini, "InputDevice")};
}

DeviceChoice ReadDeviceChoice(const std::string& stationFolder) {
    const std::string folder = stationFolder.empty() ? std::string(".") : stationFolder;
    return ParseDeviceChoice(CIniFile(folder + "/" + std::string(kStationSettingsFile)));
}

std::string SetDeviceChoice(std::string_view text, const DeviceChoice& choice) {
    const std::pair<std::string_view, std::string> keys[] = {
        {"HostApi", choice.hostApi.empty() ? "default" : choice.hostApi},
        {"OutputDevice", choice.outputDevice.empty() ? "default" : choice.outputDevice},
        {"InputDevice", choice.inputDevice.empty() ? "default" : choice.inputDevice}};
    bool written[std::size(keys)] = {};
    const std::string eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const auto missingKeys = [&] {
        std::string lines;
        for (std::size_t k = 0; k < std::size(keys); ++k)
            if (!written[k]) lines.append(keys[k].first).append("=").append(keys[k].second) += eol;
        return lines;
    };

    std::string out;
    bool inAudio = false;
    bool sawAudio = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (line.starts_with('[')) {
            if (inAudio) out += missingKeys();
            inAudio = !sawAudio && line.substr(1).starts_with("Audio]");
            sawAudio = sawAudio || inAudio;
            out += line;
            continue;
        }
        if (inAudio) {
            bool replaced = false;
            for (std::size_t k = 0; k < std::size(keys) && !replaced; ++k) {
                const std::string_view key = keys[k].first;
                if (written[k] || !line.starts_with(key) || line.substr(key.size(), 1) != "=")
                    continue;
                // The value runs to a comment or the line's end; both stay.
                const std::size_t valueEnd = line.find_first_of(";\r\n", key.size() + 1);
                std::string_view rest =
                    valueEnd == std::string_view::npos ? std::string_view() : line.substr(valueEnd);
                if (rest.starts_with(';'))
                    out.append(key).append("=").append(keys[k].second) += ' ';
                else
                    out.append(key).append("=").append(keys[k].second);
                out += rest;
                if (rest.empty() || rest.back() != '\n') out += eol;
                written[k] = replaced = true;
            }
            if (replaced) continue;
        }
        out += line;
        if (inAudio && pos >= text.size() && line.back() != '\n') out += eol;
    }
    if (inAudio) out += missingKeys();
    if (!sawAudio) {
        if (!out.empty() && out.back() != '\n') out += eol;
        if (!out.empty()) out += eol;
        out.append("[Audio]") += eol;
        out += missingKeys();
    }
    return out;
}

bool WriteDeviceChoice(const std::string& stationFolder, const DeviceChoice& choice,
                       std::string* error) {
    const auto fail = [error](std::string why) {
        if (error != nullptr) *error = std::move(why);
        return false;
    };
    for (const std::string* name : {&choice.hostApi, &choice.outputDevice, &choice.inputDevice})
        if (name->find_first_of(";]\t\r\n") != std::string::npos)
            return fail(
                "the name \"" + *name +
                "\" holds a character the settings file cannot keep (; ] tab or line break)");
    const std::string folder = stationFolder.empty() ? std::string(".") : stationFolder;
    const std::string path = folder + "/" + std::string(kStationSettingsFile);
    std::string text;
    if (std::ifstream in{path, std::ios::binary})
        text.assign(std::istreambuf_iterator<char>(in), {});
    const std::string updated = SetDeviceChoice(text, choice);
    std::ofstream out{path, std::ios::binary | std::ios::trunc};
    if (!out || !out.write(updated.data(), static_cast<std::streamsize>(updated.size())) ||
        !out.flush())
        return fail("cannot write " + path);
    return true;
}

DeviceLookup FindOutputDevice(const DeviceList& list, const DeviceChoice& choice) {
    return FindDevice(list, choice, kOutput);
}

DeviceLookup FindInputDevice(const DeviceList& list, const DeviceChoice& choice) {
    return FindDevice(list, choice, kInput);
}

DeviceList ListSoundDevices() {
    DeviceList list;
    if (Pa_Initialize() != paNoError) return list;
    const PaHostApiIndex apis = Pa_GetHostApiCount();
    const PaHostApiIndex defaultApi = Pa_GetDefaultHostApi();
    for (PaHostApiIndex i = 0; i < apis; ++i) {
        const PaHostApiInfo* info = Pa_GetHostApiInfo(i);
        if (info == nullptr) continue;
        list.hostApis.push_back({.index = i,
                                 .name = info->name ? info->name : "",
                                 .devices = info->deviceCount,
                                 .isDefault = i == defaultApi});
    }
    const PaDeviceIndex devices = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < devices; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr) continue;
        const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
        list.devices.push_back({.index = i,
                                .name = info->name ? info->name : "",
                                .hostApi = info->hostApi,
                                .inputChannels = info->maxInputChannels,
                                .outputChannels = info->maxOutputChannels,
                                .defaultRate = info->defaultSampleRate,
                                .defaultInput = api != nullptr && api->defaultInputDevice == i,
                                .defaultOutput = api != nullptr && api->defaultOutputDevice == i});
    }
    const PaDeviceIndex output = Pa_GetDefaultOutputDevice();
    const PaDeviceIndex input = Pa_GetDefaultInputDevice();
    list.defaultOutput = output == paNoDevice ? -1 : output;
    list.defaultInput = input == paNoDevice ? -1 : input;
    Pa_Terminate();
    return list;
}

void WriteDeviceList(const DeviceList& list, std::ostream& out) {
    for (const HostApiInfo& api : list.hostApis)
        out << "hostapi index=" << api.index << " devices=" << api.devices
            << " default=" << (api.isDefault ? 1 : 0) << " name=" << api.name << '\n';
    const auto device = [&out](const char* kind, const DeviceInfo& d, int channels,
                               bool isDefault) {
        out << kind << " index=" << d.index << " hostapi=" << d.hostApi << " channels=" << channels
            << " rate=" << std::llround(d.defaultRate) << " default=" << (isDefault ? 1 : 0)
            << " name=" << d.name << '\n';
    };
    for (const DeviceInfo& d : list.devices)
        if (d.inputChannels > 0) device("input", d, d.inputChannels, d.defaultInput);
    for (const DeviceInfo& d : list.devices)
        if (d.outputChannels > 0) device("output", d, d.outputChannels, d.defaultOutput);
}

}  // namespace kestrune::audio
