#include "cli/Commands.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "audio/DeviceChoice.h"
#include "cli/AudioCommands.h"
#include "cli/DatabaseAccess.h"
#include "cli/DemoResults.h"
#include "cli/IntermittentCommands.h"
#include "cli/KanaCommand.h"
#include "cli/MaskCommands.h"
#include "cli/MaterialCommands.h"
#include "cli/ProcessCommand.h"
#include "cli/SignalCommands.h"
#include "cli/SpectrogramCommand.h"
#include "core/ini/IniFile.h"
#include "core/wave/WaveFile.h"
#include "store/AnswerJournal.h"
#include "store/Calibration.h"
#include "store/Database.h"
#include "store/Integrity.h"

namespace kestrune::cli {
namespace {

constexpr const char* kProgram = "kestrune-cli";

std::string Utf8(const QString& text) {
    return text.toStdString();
}

}  // namespace

std::unique_ptr<store::Database> OpenDatabase(const Invocation& in,
                                              std::optional<store::DatabaseLocation>* where) {
    const Options& options = in.options;
    const char* environment = std::getenv("KESTRUNE_DATABASE");
    QString reason;
    *where = store::ResolveLocation(
        QString::fromStdString(options.station), QString::fromStdString(options.database),
        environment ? QString::fromLocal8Bit(environment) : QString(), &reason);
    if (!*where) {
        in.err << "kestrune-cli: " << Utf8(reason) << '\n';
        return nullptr;
    }
    std::unique_ptr<store::Database> db = store::Database::Open(**where, &reason);
    if (!db) in.err << Utf8(reason) << '\n';
    return db;
}

int WithQtApplication(const Invocation& in, int (*run)(const Invocation&)) {
    if (QCoreApplication::instance() != nullptr) return run(in);
    static int argc = 1;
    static char name[] = "kestrune-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return run(in);
}

namespace {

// db init and db check. Both connect, which creates or migrates the schema,
// and print where the data is and at which version; check adds the tables
// and then reads the whole database for damage.
int DbCommand(const Invocation& in, bool listTables) {
    std::ostream& out = in.out;
    std::optional<store::DatabaseLocation> location;
    std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    out << "database=" << Utf8(location->Describe()) << " schema=" << db->SchemaVersion() << '\n';
    if (listTables) {
        const auto counts = db->TableCounts();
        if (!counts.Ok()) {
            in.err << Utf8(counts.error->Text()) << '\n';
            return kExitFailed;
        }
        for (const auto& [table, rows] : counts.value) out << Utf8(table) << ' ' << rows << '\n';
        // Counting rows does not read them: damage shows only to a full read.
        const QStringList problems = store::IntegrityProblems(*db);
        for (const QString& problem : problems) in.err << "integrity: " << Utf8(problem) << '\n';
        if (!problems.isEmpty()) return kExitFailed;
        out << "integrity ok\n";
    }
    return kExitOk;
}

int DbInitCommand(const Invocation& in) {
    return DbCommand(in, false);
}

int DbCheckCommand(const Invocation& in) {
    return DbCommand(in, true);
}

// The journal's lines: first a summary, then one line per waiting entry and
// per damaged line, in the file's order. Texts that could hold spaces come
// last on their line.
void ListJournal(const store::AnswerJournal& journal, std::ostream& out) {
    const store::JournalContents contents = journal.Read();
    out << "journal=" << Utf8(journal.path()) << " pending=" << contents.entries.size()
        << " damaged=" << contents.damaged.size() << '\n';
    std::size_t e = 0;
    std::size_t d = 0;
    while (e < contents.entries.size() || d < contents.damaged.size()) {
        const bool entryFirst =
            d == contents.damaged.size() ||
            (e < contents.entries.size() && contents.entries[e].line < contents.damaged[d].line);
        if (entryFirst) {
            const store::JournalEntry& entry = contents.entries[e++];
            out << "pending line=" << entry.line << " id=" << Utf8(entry.id)
                << " table=" << Utf8(entry.table) << " database=" << Utf8(entry.database) << '\n';
        } else {
            const store::JournalDamage& damage = contents.damaged[d++];
            out << "damaged line=" << damage.line << " reason=" << Utf8(damage.reason) << '\n';
        }
    }
}

// db journal [--replay]: what waits in the station's answer journal; with
// --replay the waiting answers for the database are written first.
int DbJournalCommand(const Invocation& in) {
    const bool replay = in.args.size() == 1 && in.args[0] == "--replay";
    if (!in.args.empty() && !replay) {
        in.err << "kestrune-cli: db journal takes only --replay, not '" << in.args.back()
               << "'; see kestrune-cli --help\n";
        return kExitUsage;
    }
    const store::AnswerJournal journal(
        store::AnswerJournal::PathIn(QString::fromStdString(in.options.station)));
    const store::JournalContents contents = journal.Read();
    if (contents.error) {
        in.err << "kestrune-cli: " << Utf8(*contents.error) << '\n';
        return kExitFailed;
    }
    int status = kExitOk;
    if (replay) {
        std::optional<store::DatabaseLocation> location;
        std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
        if (!db) return kExitFailed;
        const store::ReplayReport report = journal.Replay(*db);
        in.out << "written=" << report.written << " already=" << report.alreadyThere
               << " pending=" << report.pending << " other=" << report.otherDatabases
               << " damaged=" << report.damaged << '\n';
        if (report.error) in.err << Utf8(report.error->Text()) << '\n';
        if (report.fileError) in.err << "kestrune-cli: " << Utf8(*report.fileError) << '\n';
        if (!report.Complete()) status = kExitFailed;
    }
    ListJournal(journal, in.out);
    return status;
}

// audio calibration: the calibration in force for the output device the
// station's kestrune.ini names, on this machine, one "key=value" line each
// (the value runs to the end of its line; an empty one is the default
// device, or an unknown volume; levels in dB with two decimals).
int AudioCalibrationCommand(const Invocation& in) {
    std::optional<store::DatabaseLocation> location;
    std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const audio::DeviceChoice choice = audio::ReadDeviceChoice(in.options.station);
    const store::CalibratedDevice device{store::StationName(),
                                         QString::fromStdString(choice.hostApi),
                                         QString::fromStdString(choice.outputDevice)};
    const auto found = store::CalibrationInForce(*db, device);
    if (!found.Ok()) {
        in.err << Utf8(found.error->Text()) << '\n';
        return kExitFailed;
    }
    std::ostream& out = in.out;
    const auto level = [](double dB) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", dB);
        return std::string(text);
    };
    out << "station=" << Utf8(device.station) << "\nhostapi=" << choice.hostApi
        << "\noutput=" << choice.outputDevice << "\ncalibrated=" << (found.value ? 1 : 0) << '\n';
    if (const std::optional<store::Calibration>& c = found.value) {
        out << "time=" << Utf8(c->time)
            << "\nvolume=" << (c->volume ? std::to_string(*c->volume) : "")
            << "\nreference_dbfs=" << level(c->referenceDbfs)
            << "\nmeasured_dbspl=" << level(c->measuredDbSpl)
            << "\nfullscale_dbspl=" << level(c->FullScaleDbSpl()) << '\n';
    }
    return kExitOk;
}

int DbInit(const Invocation& in) {
    return WithQtApplication(in, DbInitCommand);
}

int DbCheck(const Invocation& in) {
    return WithQtApplication(in, DbCheckCommand);
}

int DbJournal(const Invocation& in) {
    return WithQtApplication(in, DbJournalCommand);
}

int AudioCalibration(const Invocation& in) {
    return WithQtApplication(in, AudioCalibrationCommand);
}

// One line describing the wave as the reader leaves it: a two-channel file
// has already been reduced to its left channel.
int WaveInfo(const Invocation& in) {
    std::ostream& out = in.out;
    WaveHeaderResult header = ReadWaveHeader(in.args[0]);
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

int Process(const Invocation& in) {
    return ProcessCommand(in.args, in.out, in.err);
}

int Spectrogram(const Invocation& in) {
    return SpectrogramCommand(in.args, in.out, in.err);
}

int GenerateSine(const Invocation& in) {
    return GenerateSineCommand(in.args, in.out, in.err);
}

int GenerateMix(const Invocation& in) {
    return GenerateMixCommand(in.args, in.out, in.err);
}

int Spectrum(const Invocation& in) {
    return SpectrumCommand(in.args, in.out, in.err);
}

// The value exactly as ReadString returns it ("Notfound" when missing).
int IniGet(const Invocation& in) {
    const CIniFile ini(in.args[0]);
    const std::string value = ini.ReadString(in.args[1], in.args[2]);
    in.out.write(value.data(), static_cast<std::streamsize>(value.size()));
    in.out << '\n';
    return kExitOk;
}

constexpr int kHelpColumn = 31;  // where the help texts start in the usage

// Qt's parser texts ("Unknown option 'x'.") in the style of ours.
std::string OneLine(const QString& text) {
    std::string line = text.toLatin1().toStdString();
    if (!line.empty() && line.back() == '.') line.pop_back();
    if (!line.empty())
        line[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    return line;
}

std::string Join(const std::vector<std::string>& words, const std::string& between) {
    std::string joined;
    for (const std::string& word : words) joined += (joined.empty() ? "" : between) + word;
    return joined;
}

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {{"wave-info"}, {"FILE"}, "the format of a wave file as the program reads it", WaveInfo},
        {{"ini-get"},
         {"FILE", "SECTION", "KEY"},
         "one value of an INI file, bytes as stored",
         IniGet},
        {{"spectrogram"},
         {"FILE", "OUT.png|--levels"},
         "the workspace's spectrogram of the wave as a PNG, or\none CSV line per frame (its index, "
         "then the level\nof each bin 0 ... N/2 - 1); defaults 2048, 128, 800x256",
         Spectrogram,
         "[--frame N] [--shift S] [--size WxH]"},
        {{"spectrum"},
         {"FILE"},
         "the averaged spectrum of the file's sound as CSV:\nbin, Hz, level in dB; "
         "defaults 2048, 128",
         Spectrum,
         "[--frame N] [--shift S]"},
        {{"generate", "sine"},
         {"OUT.wav"},
         "a tone gliding in 1 Hz steps; defaults 44100 Hz,\n1000 Hz for 2 s, 2 s glide, "
         "2000 Hz for 2 s",
         GenerateSine,
         "[--rate R] [--before S] [--begin HZ] [--begin-hold S] [--change S] [--end HZ] "
         "[--end-hold S] [--after S]"},
        {{"generate", "mix"},
         {"DESCRIPTION.ini", "OUT.wav"},
         "masker/target pairs drawn from the description file;\ndefaults 44100 Hz, 2 s "
         "before and after, 1 s apart",
         GenerateMix,
         "[--rate R] [--before S] [--interval S] [--after S] [--plays N] [--seed N]"},
        {{"process"},
         {"IN.wav", "OUT.wav", "OP"},
         "runs workspace edits on a wave file, one after another:\nOP is power-unify, "
         "standardize, reverse, invert,\namplify GAIN, noise AMPLITUDE, duty TYPE MS DUTY,\n"
         "gate LOW HIGH or bandstop LOW_HZ HIGH_HZ",
         Process,
         "[ARGS]... [OP [ARGS]...]..."},
        {{"audio", "devices"},
         {},
         "the sound host APIs, then the input and the output\ndevices: index, host API, "
         "channels, default rate,\nname",
         AudioDevicesCommand},
        {{"audio", "check"},
         {},
         "plays 200 clicks 50 ms apart through the station's\noutput; prints its latency and the "
         "onset jitter (ms)\nand whether they are within 10 ms and 1 ms",
         AudioCheckCommand,
         "[--plays N] [--frames N]"},
        {{"audio", "calibration"},
         {},
         "the calibration in force for the station's output\ndevice on this machine: "
         "key=value lines",
         AudioCalibration},
        {{"audio", "add"},
         {"FILE"},
         "registers a wave file as audio material; prints\nid=N, its new ID. A relative FILE is "
         "read from the\nstation folder and stored as given",
         AudioAddCommand,
         "--content TEXT [--sex M|F|U]"},
        {{"audio", "list"},
         {},
         "the audio materials in ID order, one line each: ID,\npath, length (ms), file type, "
         "sex, channels, bits,\ncontent, tab-separated (\\\\ \\t \\n \\r escaped); "
         "--search:\nonly those whose path contains TEXT (% and _ match\nany text and any one "
         "character)",
         AudioListCommand,
         "[--search TEXT]"},
        {{"db", "init"}, {}, "create the tables, or bring an older schema up to date", DbInit},
        {{"db", "check"},
         {},
         "the database and its schema version, then each table\nwith its row count; reads "
         "every row for damage",
         DbCheck},
        {{"db", "journal"},
         {},
         "the answers waiting in the station's answer journal;\n--replay writes them to the "
         "database first",
         DbJournal,
         "[--replay]"},
        {{"analyse", "kana"},
         {"KANA"},
         "how the played KANA was answered: each kana with its\ncount and share, as CSV or a "
         "workbook sheet;\n--where defaults to StatisticalRecord.SRValidity=1",
         AnalyseKanaCommand,
         "[--duty-from X] [--duty-to Y] [--where TEXT] [--out FILE]"},
        {{"analyse", "segment"},
         {},
         "the confusions of the vowel columns (段): count,\nexact share and the share "
         "answered in each column",
         AnalyseSegmentCommand,
         "[--duty-from X] [--duty-to Y] [--where TEXT] [--out FILE]"},
        {{"analyse", "row"},
         {},
         "the confusions of the consonant rows (行): count,\nexact share and the share "
         "answered in each row",
         AnalyseRowCommand,
         "[--duty-from X] [--duty-to Y] [--where TEXT] [--out FILE]"},
        {{"analyse", "intermittent"},
         {},
         "the interrupted speech recognition rate (a voicing\nslip counts as correct) of kept "
         "items: Total,\nCorrect, Correct rate; --age-from/--age-to bound\nthe year of birth",
         AnalyseIntermittentCommand,
         "[--duty X] [--age-from A] [--age-to B] [--out F]"},
        {{"analyse", "training"},
         {},
         "one subject's average thresholds and answer times\nof the vowel test; the passing "
         "answer is looked for\nDB above the failing one",
         AnalyseTrainingCommand,
         "--subject ID --step DB [--out F]"},
        {{"analyse", "mask", "average"},
         {},
         "analysis 1 (Average DE) of the mask analysis as CSV:\nD per vowel pair from the SNR "
         "averages of subjects\nborn in the years given; defaults 1978 ... 1987",
         MaskAverageCommand,
         "[--age-from A --age-to B] [--vowels DIR] [--frame N --shift H] [--out F]"},
        {{"analyse", "mask", "b"},
         {},
         "analysis 2 (try b): D per pair for offsets -0.5 ... -5.0\nfrom "
         "StatisticalSyllableMaskRecord",
         MaskTryBCommand,
         "[--vowels DIR] [--frame N --shift H] [--out F]"},
        {{"analyse", "mask", "a"},
         {},
         "analysis 3 (try a): D per pair for weight bases\n0.85 ... 0.55",
         MaskTryACommand,
         "[--vowels DIR] [--frame N --shift H] [--out F]"},
        {{"analyse", "mask", "deviation"},
         {},
         "analysis 4 (try deviation): per pair the extra offset\nthat brings D to 2.27 or below",
         MaskDeviationCommand,
         "[--vowels DIR] [--frame N --shift H] [--out F]"},
        {{"analyse", "mask", "de"},
         {},
         "analysis 5 (DE): analysis 1 for one subject's answers",
         MaskSubjectCommand,
         "--subject ID [--vowels DIR] [--frame N --shift H] [--out F]"},
        {{"analyse", "mask", "confirm"},
         {},
         "the masking sound's critical-band levels as CSV; F0,\ndf and the vowels on the "
         "diagnostics; defaults vowels 3, 2",
         MaskConfirmCommand,
         "[--masking FILE --masked FILE] [--masking-level L]\n[--masked-level L] [--frame N "
         "--shift H] [--out F]"},
        {{"demo", "results"},
         {},
         "simulated subjects' interrupted speech and vowel\nresults, made by the tests on "
         "the station's\nscenarios; refused when the demo subjects are there;\ndefaults: "
         "seed 1, 4 subjects",
         DemoResultsCommand,
         "[--seed N] [--subjects N]"},
    };
    return commands;
}

std::string UsageText() {
    std::ostringstream usage;
    usage << "usage: " << kProgram << " [--station DIR] [--database URL] COMMAND [ARGS]\n\n"
          << "commands:\n";
    const auto line = [&usage](std::string synopsis, const std::string& help) {
        synopsis = "  " + synopsis;
        synopsis.resize(std::max<std::size_t>(synopsis.size() + 1, kHelpColumn), ' ');
        std::string text = help;
        for (std::size_t lf = text.find('\n'); lf != std::string::npos;
             lf = text.find('\n', lf + kHelpColumn + 1))
            text.insert(lf + 1, kHelpColumn, ' ');
        usage << synopsis << text << '\n';
    };
    for (const Command& command : Commands())
        line(Join(command.words, " ") + (command.args.empty() ? "" : " ") +
                 Join(command.args, " ") + (command.options.empty() ? "" : " ") + command.options,
             command.help);
    line("help, --help", "this text");
    line("--version", "the program's name and version");
    usage << "\n"
             "database: --database URL, else the KESTRUNE_DATABASE environment value, else\n"
             "TestData.db in the station folder (--station DIR, default the current folder).\n"
             "URL: postgresql://user@host:port/name[?sslmode=MODE] or sqlite:///path/to/file.db\n"
             "The PostgreSQL password: in ~/.pgpass (or the file PGPASSFILE names) or in\n"
             "PGPASSWORD; one written into the URL is never shown, but stays in the shell's\n"
             "history.\n";
    return usage.str();
}

CommandLine Parse(const std::vector<std::string>& args) {
    CommandLine line;
    const auto fail = [&line](std::string error) {
        line.action = CommandLine::Action::Error;
        line.error = std::move(error);
        return line;
    };
    // Latin-1 maps every byte to one character and back, so file names and
    // cp932 section names reach the commands exactly as they were given.
    QStringList arguments{QString::fromLatin1(kProgram)};
    for (const std::string& arg : args) arguments << QString::fromLatin1(arg);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption station(QStringLiteral("station"), {}, QStringLiteral("DIR"));
    const QCommandLineOption database(QStringLiteral("database"), {}, QStringLiteral("URL"));
    parser.addOptions({help, version, station, database});
    if (!parser.parse(arguments)) return fail(OneLine(parser.errorText()));

    std::vector<std::string> words;
    for (const QString& word : parser.positionalArguments())
        words.push_back(word.toLatin1().toStdString());
    if (parser.isSet(help) || (!words.empty() && words[0] == "help")) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        return line;
    }
    if (parser.isSet(station)) {
        line.options.station = parser.value(station).toLatin1().toStdString();
        if (line.options.station.empty()) return fail("--station needs a folder");
    }
    if (parser.isSet(database)) {
        line.options.database = parser.value(database).toLatin1().toStdString();
        if (line.options.database.empty()) return fail("--database needs a value");
    }
    if (words.empty()) return fail("no command given");

    // The command whose words start the line; a group word alone (db) lists
    // what may follow it.
    std::vector<std::string> next;
    for (const Command& command : Commands()) {
        const std::size_t n = command.words.size();
        if (command.words[0] != words[0]) continue;
        if (words.size() >= n &&
            std::equal(command.words.begin(), command.words.end(), words.begin())) {
            line.args.assign(words.begin() + static_cast<std::ptrdiff_t>(n), words.end());
            const bool countFits = command.options.empty()
                                       ? line.args.size() == command.args.size()
                                       : line.args.size() >= command.args.size();
            if (!countFits) {
                return fail(Join(command.words, " ") + " takes " +
                            (command.args.empty() ? "no arguments" : Join(command.args, " ")));
            }
            line.action = CommandLine::Action::Run;
            line.command = &command;
            return line;
        }
        if (n > 1) next.push_back(command.words[1]);
    }
    if (!next.empty()) return fail(words[0] + " needs " + Join(next, " or "));
    return fail("unknown command '" + words[0] + "'");
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line = Parse(args);
    switch (line.action) {
        case CommandLine::Action::Run:
            return line.command->run({line.options, line.args, out, err});
        case CommandLine::Action::Help:
            out << UsageText();
            return kExitOk;
        case CommandLine::Action::Version:
            out << kProgram << ' ' << KESTRUNE_VERSION << '\n';
            return kExitOk;
        case CommandLine::Action::Error:
            break;
    }
    err << kProgram << ": " << line.error << "; see " << kProgram << " --help\n";
    return kExitUsage;
}

}  // namespace kestrune::cli
