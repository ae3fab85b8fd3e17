// A throwaway PostgreSQL cluster a test can stop and start: 127.0.0.1 at the
// port given (or one that is free when the cluster is made, so test runs side
// by side on one machine do not meet), data in a temporary folder, trusted
// logins as "postgres".
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

    /** A loopback TCP port nobody listens on now; 0 when none was found. */
    static int FreePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return 0;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    /** Creates the cluster (not started) on `port`, 0: a free one; Error()
     *  says why when it failed. */
    explicit PgCluster(int port) : port_(port > 0 ? port : FreePort()), bin_(BinDir()) {
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
        if (!running_) {
            QFile log(dir_.filePath("server.log"));
            if (log.open(QIODevice::ReadOnly))
                error_ += "\n" + QString::fromLocal8Bit(log.readAll());
        }
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
