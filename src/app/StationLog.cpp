#include "app/StationLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

namespace kestrune::app {

Q_LOGGING_CATEGORY(lcSession, "kestrune.session")
Q_LOGGING_CATEGORY(lcSoundLibrary, "kestrune.sound-library")

namespace {

struct LogState {
    QMutex mutex;
    std::unique_ptr<QFile> file;
    QString path;
    qint64 cap = kStationLogCapBytes;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

LogState& State() {
    static LogState state;
    return state;
}

const char* Level(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return "debug";
        case QtInfoMsg:
            return "info";
        case QtWarningMsg:
            return "warning";
        case QtCriticalMsg:
            return "critical";
        case QtFatalMsg:
            return "fatal";
    }
    return "?";
}

bool OpenLog(LogState& state) {
    state.file = std::make_unique<QFile>(state.path);
    if (state.file->open(QIODevice::WriteOnly | QIODevice::Append)) return true;
    state.file.reset();
    return false;
}

void Write(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    LogState& state = State();
    {
        QMutexLocker lock(&state.mutex);
        const char* category = context.category ? context.category : "";
        if (state.file && qstrncmp(category, "kestrune.", 9) == 0) {
            const QByteArray line =
                (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                 QLatin1Char(' ') + QLatin1String(Level(type)) + QLatin1Char(' ') +
                 QLatin1String(category) + QStringLiteral(": ") + message + QLatin1Char('\n'))
                    .toUtf8();
            if (state.file->size() > 0 && state.file->size() + line.size() > state.cap) {
                state.file->close();
                const QString older = state.path + QStringLiteral(".1");
                QFile::remove(older);
                QFile::rename(state.path, older);
                OpenLog(state);
            }
            if (state.file) {
                state.file->write(line);
                state.file->flush();
            }
        }
    }
    if (state.previous && qstrcmp(context.category, lcSoundLibrary().categoryName()) != 0)
        state.previous(type, context, message);
}

}  // namespace

QString StationLogPath(const QString& stationFolder) {
    return QDir(stationFolder).filePath(QStringLiteral("kestrune.log"));
}

bool InstallStationLog(const QString& stationFolder, qint64 capBytes) {
    LogState& state = State();
    QMutexLocker lock(&state.mutex);
    state.path = StationLogPath(stationFolder);
    state.cap = capBytes;
    if (!OpenLog(state)) return false;
    if (!state.installed) {
        state.previous = qInstallMessageHandler(Write);
        state.installed = true;
    }
    return true;
}

void RemoveStationLog() {
    LogState& state = State();
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker lock(&state.mutex);
        if (!state.installed) return;
        state.file.reset();
        state.installed = false;
        previous = state.previous;
        state.previous = nullptr;
    }
    qInstallMessageHandler(previous);
}

}  // namespace kestrune::app
