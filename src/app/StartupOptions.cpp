#include "app/StartupOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace kestrune::app {

QString UsageText() {
    return QStringLiteral(
        "usage: kestrune [--station DIR] [--database URL] [--audio=portaudio|virtual]\n"
        "                [--workspace] [WAVE...]\n"
        "\n"
        "Starts the session panel, or the wave workspace when the database cannot\n"
        "be reached.\n"
        "\n"
        "  --station DIR        station folder: TestData.db, Data/, configuration\n"
        "                       files and pictures (default: the current folder)\n"
        "  --database URL       postgresql://user@host:port/name[?sslmode=MODE] or\n"
        "                       sqlite:PATH; wins over KESTRUNE_DATABASE (default:\n"
        "                       TestData.db in the station folder); the password\n"
        "                       from ~/.pgpass, PGPASSFILE or PGPASSWORD\n"
        "  --audio=DEVICE       portaudio (default) or virtual (no sound card)\n"
        "  --workspace          open the wave workspace instead of the session panel\n"
        "  WAVE...              wave files to open into the workspace at start\n"
        "  -h, --help           show this text\n"
        "  -v, --version        show the program's version\n");
}

QString VersionText() {
    return QStringLiteral("kestrune " KESTRUNE_VERSION "\n");
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    ParsedCommandLine parsed;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption station(QStringLiteral("station"), {}, QStringLiteral("DIR"));
    const QCommandLineOption database(QStringLiteral("database"), {}, QStringLiteral("URL"));
    const QCommandLineOption audio(QStringLiteral("audio"), {}, QStringLiteral("DEVICE"));
    const QCommandLineOption workspace(QStringLiteral("workspace"));
    parser.addOptions({help, version, station, database, audio, workspace});
    parser.addPositionalArgument(QStringLiteral("WAVE"), {});

    auto fail = [&parsed](const QString& reason) {
        parsed.action = ParsedCommandLine::Action::Error;
        parsed.text = reason;
        return parsed;
    };
    // QCommandLineParser expects the program name first.
    if (!parser.parse(QStringList{QStringLiteral("kestrune")} + arguments)) {
        // Qt's texts ("Unknown option 'x'.") in the style of ours.
        QString reason = parser.errorText();
        if (reason.endsWith(QLatin1Char('.'))) reason.chop(1);
        if (!reason.isEmpty()) reason[0] = reason[0].toLower();
        return fail(reason);
    }
    if (parser.isSet(help)) {
        parsed.action = ParsedCommandLine::Action::Help;
        parsed.text = UsageText();
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.action = ParsedCommandLine::Action::Version;
        parsed.text = VersionText();
        return parsed;
    }
    StartupOptions& options = parsed.options;
    if (parser.isSet(station)) {
        options.stationDir = parser.value(station);
        if (options.stationDir.isEmpty()) return fail(QStringLiteral("--station needs a folder"));
    }
    if (parser.isSet(database)) {
        options.databaseUrl = parser.value(database);
        if (options.databaseUrl.isEmpty()) return fail(QStringLiteral("--database needs a value"));
    }
    if (parser.isSet(audio)) {
        options.audio = parser.value(audio);
        if (options.audio != QLatin1String("portaudio") &&
            options.audio != QLatin1String("virtual"))
            return fail(QStringLiteral("--audio takes portaudio or virtual, not \"%1\"")
                            .arg(options.audio));
    }
    options.workspace = parser.isSet(workspace);
    options.waveFiles = parser.positionalArguments();
    return parsed;
}

int AnswerWithoutStarting(const ParsedCommandLine& parsed, std::FILE* out, std::FILE* err) {
    switch (parsed.action) {
        case ParsedCommandLine::Action::Run:
            return -1;
        case ParsedCommandLine::Action::Help:
        case ParsedCommandLine::Action::Version:
            std::fputs(qPrintable(parsed.text), out);
            return 0;
        case ParsedCommandLine::Action::Error:
            break;
    }
    // One line, so that a script's log shows the whole mistake.
    std::fprintf(err, "kestrune: %s; see kestrune --help\n", qPrintable(parsed.text));
    return kExitUsage;
}

}  // namespace kestrune::app
