#include "cli/Commands.h"

#include <ostream>

#include "core/ini/IniFile.h"
#include "core/wave/WaveFile.h"

namespace kestrune::cli {
namespace {

constexpr const char* kUsage =
    "usage: kestrune-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  wave-info FILE               the format of a wave file as the program reads it\n"
    "  ini-get FILE SECTION KEY     one value of an INI file, bytes as stored\n"
    "  help                         this text\n";

// One line describing the wave as the reader leaves it: a two-channel file
// has already been reduced to its left channel.
int WaveInfo(const std::string& path, std::ostream& out) {
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok()) {
        out << "error=" << (*header.error == WaveReadError::CannotOpen ? "CannotOpen" : "NotWave")
            << '\n';
        return kExitFailed;
    }
    WaveFileInfo info = header.info;
    ReadWaveSamples(std::move(header.file), info);
    const WaveFormat& f = info.format;
    out << "channels=" << f.channels << " rate=" << f.sampleRate << " bits=" << f.bitsPerSample
        << " block=" << f.blockAlign << " samples=" << info.sampleCount
        << " data_offset=" << info.dataOffset << " data_size=" << info.dataSize << '\n';
    return kExitOk;
}

// The value exactly as ReadString returns it ("Notfound" when missing).
int IniGet(const std::string& path, const std::string& section, const std::string& key,
           std::ostream& out) {
    const CIniFile ini(path);
    const std::string value = ini.ReadString(section, key);
    out.write(value.data(), static_cast<std::streamsize>(value.size()));
    out << '\n';
    return kExitOk;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args[0];
    if (command == "help" || command == "--help" || command == "-h") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "wave-info" && args.size() == 2) return WaveInfo(args[1], out);
    if (command == "ini-get" && args.size() == 4) return IniGet(args[1], args[2], args[3], out);

    if (command == "wave-info" || command == "ini-get") {
        err << "kestrune-cli: wrong number of arguments for " << command << "\n\n";
    } else {
        err << "kestrune-cli: unknown command '" << command << "'\n\n";
    }
    err << kUsage;
    return kExitUsage;
}

}  // namespace kestrune::cli
