// A throwaway PostgreSQL cluster a test can stop and start: 127.0.0.1 at the
// port given, data in a temporary folder, trusted logins as "postgres".
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

#include "store/Database.h"

namespace kestrune::testing {

class PgCluster {
  public:
    /** The newest server programs' folder; empty when none is installed. */
    static QString BinDir() {
        // Newest first (server versions are 10 and up: their names sort).
        for (const QString& v : QDir("/usr/lib/postgresql")
                                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Reversed))
            if (QFile::exists("/usr/lib/postgresql/" + v + "/bin/pg_ctl"))
                return "/usr/lib/postgresql/" + v + "/bin";
        return QString();
    }

    /** Creates the cluster (not started); Error() says why when it failed. */
    explicit PgCluster(int port) : port_(port), bin_(BinDir()) {
        if (bin_.isEmpty() || !dir_.isValid()) {
            error_ =
                bin_.isEmpty() ? "PostgreSQL server programs not found" : "no temporary folder";
        } else if (::geteuid() != 0 || Run("chown", {"-R", "postgres:", dir_.path()}, false)) {
            Run(bin_ + "/initdb",
                {"-D", Data(), "-U", "postgres", "-E", "UTF8", "--locale=C.UTF-8", "--auth=trust"});
        }
    }
    ~PgCluster() {
        if (running_) Stop();
    }
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool Ok() const { return error_.isEmpty(); }
    QString Error() const { return error_; }

    /** Starts the server and waits until it takes connections. */
    bool Start() {
        const QString options = QString("-p %1 -h 127.0.0.1 -k %2").arg(port_).arg(dir_.path());
        running_ = Run(bin_ + "/pg_ctl", {"-D", Data(), "-l", dir_.filePath("server.log"), "-w",
                                          "-o", options, "start"});
        return running_;
    }
    /** Stops the server (fast: open connections are cut) and waits for it. */
    bool Stop() {
        running_ = false;
        return Run(bin_ + "/pg_ctl", {"-D", Data(), "-m", "fast", "-w", "stop"});
    }
    bool CreateDatabase(const QString& name) {
        return Run(bin_ + "/createdb",
                   {"-h", dir_.path(), "-p", QString::number(port_), "-U", "postgres", name});
    }
    store::DatabaseLocation Location(const QString& name) const {
        return {.engine = store::Engine::Postgres,
                .host = "127.0.0.1",
                .port = port_,
                .user = "postgres",
                .name = name};
    }

  private:
    QString Data() const { return dir_.filePath("data"); }

    // Runs a program to its end (as postgres when root); false with its
    // output in Error() when it fails.
    bool Run(const QString& program, const QStringList& args, bool asServer = true) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (asServer && ::geteuid() == 0) {
            process.start("runuser", QStringList{"-u", "postgres", "--", program} + args);
        } else {
            process.start(program, args);
        }
        // A safety net only: the wait ends when the program does.
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return true;
        error_ = program + ": " + QString::fromLocal8Bit(process.readAll());
        return false;
    }

    int port_;
    QString bin_;
    QTemporaryDir dir_{QDir::tempPath() + "/kestrune-pg-XXXXXX"};
    QString error_;
    bool running_ = false;
};

}  // namespace kestrune::testing
