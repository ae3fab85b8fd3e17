#include "cli/MaterialCommands.h"

#include <QStringDecoder>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/DatabaseAccess.h"
#include "core/wave/WaveFile.h"

namespace kestrune::cli {
namespace {

constexpr const char* kProgram = "kestrune-cli";

int UsageMistake(const Invocation& in, const std::string& command, const std::string& error) {
    in.err << kProgram << ": " << command << ": " << error << "; see " << kProgram << " --help\n";
    return kExitUsage;
}

// The text with the characters that would split a line or a field escaped.
std::string Field(const QString& text) {
    std::string escaped;
    for (const char c : text.toStdString()) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

int Add(const Invocation& in) {
    std::string error;
    const std::optional<AudioAddArgs> args = ParseAudioAddArgs(in.args, &error);
    if (!args) return UsageMistake(in, "audio add", error);
    const std::optional<store::AudioMaterial> material =
        DescribeWave(*args, in.options.station, &error);
    if (!material) {
        in.err << kProgram << ": audio add: " << error << '\n';
        return kExitFailed;
    }
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const store::DbResult<qint64> added = store::AudioRegistry(*db).Add(*material);
    if (!added.Ok()) {
        in.err << added.error->Text().toStdString() << '\n';
        return kExitFailed;
    }
    in.out << "id=" << added.value << '\n';
    return kExitOk;
}

int List(const Invocation& in) {
    const bool search = !in.args.empty() && in.args[0] == "--search";
    if (search && in.args.size() == 1)
        return UsageMistake(in, "audio list", "--search needs the text to look for");
    if (in.args.size() > (search ? 2u : 0u)) {
        return UsageMistake(in, "audio list",
                            "takes only --search TEXT, not '" + in.args[search ? 2 : 0] + "'");
    }
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    store::AudioRegistry registry(*db);
    const store::DbResult<std::vector<store::ListEntry>> entries =
        search ? registry.Search(QString::fromUtf8(in.args[1]))
               : registry.List(store::AudioRegistry::AllMaterials());
    std::optional<store::DbError> failure = entries.error;
    for (const store::ListEntry& entry : entries.value) {
        if (failure) break;
        const store::DbResult<std::optional<store::AudioMaterial>> loaded = registry.Load(entry.id);
        failure = loaded.error;
        if (loaded.Ok() && loaded.value) WriteMaterialLine(*loaded.value, in.out);
    }
    if (failure) {
        in.err << failure->Text().toStdString() << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

std::optional<AudioAddArgs> ParseAudioAddArgs(const std::vector<std::string>& args,
                                              std::string* error) {
    AudioAddArgs parsed;
    parsed.file = args.at(0);
    bool haveContent = false;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (option != "--content" && option != "--sex") {
            *error = "takes FILE --content TEXT [--sex M|F|U], not '" + option + "'";
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            *error = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[i + 1];
        if (option == "--sex") {
            if (value != "M" && value != "F" && value != "U") {
                *error = "--sex takes M, F or U, not '" + value + "'";
                return std::nullopt;
            }
            parsed.sex = value[0];
            continue;
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        parsed.content = utf8(QByteArrayView(value.data(), static_cast<qsizetype>(value.size())));
        if (utf8.hasError()) {
            *error = "--content is not UTF-8 text";
            return std::nullopt;
        }
        haveContent = true;
    }
    if (!haveContent) {
        *error = "--content TEXT is missing (what is spoken in the file)";
        return std::nullopt;
    }
    return parsed;
}

std::optional<store::AudioMaterial> DescribeWave(const AudioAddArgs& args,
                                                 const std::string& station, std::string* error) {
    const std::filesystem::path given(args.file);
    const std::string path = given.is_relative() && !station.empty()
                                 ? (std::filesystem::path(station) / given).string()
                                 : args.file;
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok() || header.info.format.sampleRate == 0) {
        const bool opened = header.Ok() || *header.error != WaveReadError::CannotOpen;
        *error = "'" + path + (opened ? "' is not a wave file" : "' cannot be opened");
        if (header.Ok()) CloseWaveFile(std::move(header.file));
        return std::nullopt;
    }
    CloseWaveFile(std::move(header.file));
    const WaveFileInfo& info = header.info;
    store::AudioMaterial material;
    material.pathname = QString::fromUtf8(args.file);
    material.lengthMs =
        static_cast<int>(std::uint64_t{info.sampleCount} * 1000 / info.format.sampleRate);
    material.fileType = QStringLiteral("Wav");
    material.sex = args.sex;
    material.channels = info.format.channels;
    material.bits = info.format.bitsPerSample;
    material.content = args.content;
    return material;
}

void WriteMaterialLine(const store::AudioMaterial& material, std::ostream& out) {
    out << material.id << '\t' << Field(material.pathname) << '\t' << material.lengthMs << '\t'
        << Field(material.fileType) << '\t' << material.sex << '\t' << material.channels << '\t'
        << material.bits << '\t' << Field(material.content) << '\n';
}

int AudioAddCommand(const Invocation& in) {
    return WithQtApplication(in, Add);
}

int AudioListCommand(const Invocation& in) {
    return WithQtApplication(in, List);
}

}  // namespace kestrune::cli
