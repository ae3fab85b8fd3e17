// A password in the --database URL shows nowhere: not in the process list (read
// while the program waits on the test's listener), the output or the log.

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ScratchDir.h"

namespace {

constexpr int kWaitMs = 120000;  // a safety net only: every wait ends on its event

std::string ReadFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = kestrune::testing::ScratchDir::Read(path);
    return std::string(bytes.begin(), bytes.end());
}

/** Waits until the file at `path` in `folder` holds `text`, woken by the
 *  folder's file events; false only if the safety net runs out first. */
bool WaitForText(const std::string& folder, const std::string& path, const std::string& text) {
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 ||
        ::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE) < 0)
        return false;
    // Read after the watch exists, so a line written before it is seen too.
    bool found = false;
    alignas(inotify_event) char events[4096];
    while (!(found = ReadFile(path).find(text) != std::string::npos)) {
        pollfd ready{watch, POLLIN, 0};
        if (::poll(&ready, 1, kWaitMs) != 1 || ::read(watch, events, sizeof events) <= 0) break;
    }
    ::close(watch);
    return found;
}

/** A TCP port on 127.0.0.1 that accepts one connection and says nothing. */
class SilentServer {
  public:
    SilentServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(listener_, 4) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { Drop(); }
    int Port() const { return port_; }
    bool Accept() {
        pollfd ready{listener_, POLLIN, 0};
        client_ = ::poll(&ready, 1, kWaitMs) == 1 ? ::accept(listener_, nullptr, nullptr) : -1;
        return client_ >= 0;
    }
    /** Closes the connection and the port: the login fails, and a retry too. */
    void Drop() {
        if (client_ >= 0) ::close(client_);
        if (listener_ >= 0) ::close(listener_);
        client_ = listener_ = -1;
    }

  private:
    int listener_ = -1, client_ = -1, port_ = 0;
};

TEST(PasswordTest, APasswordInTheUrlShowsNowhere) {
    int argc = 1;
    char name[] = "cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const std::string secret = "Zq7-not-for-eyes";
    const struct {
        const char* program;
        QStringList args;  // DIR: the station folder, URL: the database
    } rows[] = {
        {KESTRUNE_CLI, {"--station", "DIR", "--database", "URL", "db", "check"}},
        {KESTRUNE_PROGRAM, {"--station", "DIR", "--database=URL", "--audio=virtual"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.program);
        const bool cli = std::string(row.program) == KESTRUNE_CLI;
        kestrune::testing::ScratchDir dir;
        SilentServer server;
        ASSERT_NE(server.Port(), 0);
        const std::string place = "127.0.0.1:" + std::to_string(server.Port());
        QStringList args = row.args;
        args.replaceInStrings(
            "URL", QString::fromStdString("postgresql://lab:" + secret + "@" + place + "/r"));
        args.replaceInStrings("DIR", QString::fromStdString(dir.Path().string()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("KESTRUNE_DATABASE", "");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(row.program, args);
        ASSERT_TRUE(server.Accept());
        std::string listed = ReadFile("/proc/" + std::to_string(program.processId()) + "/cmdline");
        std::replace(listed.begin(), listed.end(), '\0', ' ');
        EXPECT_NE(listed.find("postgresql://lab:"), std::string::npos) << listed;
        EXPECT_EQ(listed.find(secret), std::string::npos) << listed;
        server.Drop();
        const std::string log = dir.File("kestrune.log");
        if (cli) {
            EXPECT_TRUE(program.waitForFinished(kWaitMs) && program.exitCode() == 2);
        } else {
            // The program logs the failure and then waits on its message box.
            EXPECT_TRUE(WaitForText(dir.Path().string(), log, "database not reached"));
            program.kill();
            program.waitForFinished(kWaitMs);
            EXPECT_NE(ReadFile(log).find("lab@" + place), std::string::npos) << ReadFile(log);
        }
        const std::string out = program.readAllStandardOutput().toStdString();
        const std::string err = program.readAllStandardError().toStdString();
        EXPECT_TRUE(!cli || err.rfind("Failed to connect database", 0) == 0) << err;
        for (const std::string& shown : {out, err, ReadFile(log)})
            EXPECT_EQ(shown.find(secret), std::string::npos) << shown;
    }
}

}  // namespace
