// A throwaway PostgreSQL cluster a test owns and can stop and start again:
// initdb into a temporary folder, the server on 127.0.0.1 at the port given
// (its socket in the same folder), trusted logins as "postgres". As root the
// server programs run as the postgres account (the server refuses root).
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>

#include "store/Database.h"

namespace kestrune::testing {

class PgCluster {
  public:
    /** The newest server programs' folder; empty when none is installed. */
    static QString BinDir() {
        QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(),
                  [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); });
        for (auto v = versions.crbegin(); v != versions.crend(); ++v) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*v);
            if (QFile::exists(bin + QStringLiteral("/pg_ctl"))) return bin;
        }
        return QString();
    }

    /** Creates the cluster (not started); Error() says why when it failed. */
    explicit PgCluster(int port) : port_(port), bin_(BinDir()) {
        if (bin_.isEmpty()) {
            error_ =
                QStringLiteral("PostgreSQL server programs not found under /usr/lib/postgresql");
            return;
        }
        if (!dir_.isValid()) {
            error_ = QStringLiteral("no temporary folder");
            return;
        }
        if (::geteuid() == 0 &&
            !Run(QStringLiteral("chown"),
                 {QStringLiteral("-R"), QStringLiteral("postgres:"), dir_.path()}, false))
            return;
        Run(bin_ + QStringLiteral("/initdb"),
            {QStringLiteral("-D"), Data(), QStringLiteral("-U"), QStringLiteral("postgres"),
             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
             QStringLiteral("--auth=trust")});
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
        running_ = Run(bin_ + QStringLiteral("/pg_ctl"),
                       {QStringLiteral("-D"), Data(), QStringLiteral("-l"),
                        dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                        QStringLiteral("-o"),
                        QStringLiteral("-p %1 -h 127.0.0.1 -k %2").arg(port_).arg(dir_.path()),
                        QStringLiteral("start")});
        return running_;
    }
    /** Stops the server (fast: open connections are cut) and waits for it. */
    bool Stop() {
        running_ = false;
        return Run(bin_ + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), Data(), QStringLiteral("-m"), QStringLiteral("fast"),
                    QStringLiteral("-w"), QStringLiteral("stop")});
    }
    bool CreateDatabase(const QString& name) {
        return Run(bin_ + QStringLiteral("/createdb"),
                   {QStringLiteral("-h"), dir_.path(), QStringLiteral("-p"), QString::number(port_),
                    QStringLiteral("-U"), QStringLiteral("postgres"), name});
    }
    store::DatabaseLocation Location(const QString& name) const {
        store::DatabaseLocation location;
        location.engine = store::Engine::Postgres;
        location.host = QStringLiteral("127.0.0.1");
        location.port = port_;
        location.user = QStringLiteral("postgres");
        location.name = name;
        return location;
    }

  private:
    QString Data() const { return dir_.filePath(QStringLiteral("data")); }

    // Runs a program to its end (as the postgres account when root);
    // false with its output in Error() when it fails.
    bool Run(const QString& program, const QStringList& args, bool asServer = true) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (asServer && ::geteuid() == 0) {
            process.start(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                      QStringLiteral("--"), program} +
                              args);
        } else {
            process.start(program, args);
        }
        // Ends when the program does; initdb and a start take seconds.
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return true;
        error_ = program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }

    int port_;
    QString bin_;
    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/kestrune-pg-XXXXXX")};
    QString error_;
    bool running_ = false;
};

}  // namespace kestrune::testing
