#include "sheet/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

namespace kestrune::sheet {

namespace {

// Longest file name (one path segment) the file systems we run on take, in bytes.
constexpr std::size_t kMaxFileName = 255;
constexpr std::size_t kRandomLength = 6;
// 0644 less the umask, as SQLite makes the database file.
constexpr mode_t kNewFileMode = 0644;

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Flushes a file's (or folder's) content to disk. Folders that cannot be
// opened for syncing (some file systems) are not an error.
std::optional<std::string> SyncPath(const std::string& path, bool folder) {
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) {
        if (folder) return std::nullopt;
        return SystemError("cannot reopen " + path, errno);
    }
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0 && !folder) return SystemError("cannot flush " + path, error);
    return std::nullopt;
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    const auto folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// "." + name + ending, shortened (at a UTF-8 character boundary, with a hash
// of the whole name) when that and `reserve` more bytes would not fit a file
// name.
std::string HiddenCompanion(const std::string& name, const std::string& ending,
                            std::size_t reserve) {
    std::string plain = "." + name + ending;
    if (plain.size() + reserve <= kMaxFileName) return plain;
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char tag[18];
    std::snprintf(tag, sizeof tag, "~%016llx", static_cast<unsigned long long>(hash));
    std::size_t keep = kMaxFileName - reserve - ending.size() - 1 - (sizeof tag - 1);
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return "." + name.substr(0, keep) + tag + ending;
}

bool IsRandomPart(const std::string& text) {
    if (text.size() != kRandomLength) return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Creates a new empty temporary file for `target`; its path, or nullopt with
// errno set.
std::optional<std::string> CreateTemporary(const std::filesystem::path& target) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string prefix =
        (FolderOf(target) / TemporaryPrefix(target.filename().string())).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix;
        for (std::size_t i = 0; i < kRandomLength; ++i) {
            path += kLetters[random() % (sizeof kLetters - 1)];
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

// The lock files this thread holds, with how many FileLocks share each.
thread_local std::map<std::string, int> heldLocks;

}  // namespace

std::string TemporaryPrefix(const std::string& fileName) {
    return HiddenCompanion(fileName, ".", kRandomLength);
}

int RemoveLeftoverTemporaries(const std::string& target) {
    const std::filesystem::path targetPath(target);
    const std::string prefix = TemporaryPrefix(targetPath.filename().string());
    std::error_code error;
    std::filesystem::directory_iterator entries(FolderOf(targetPath), error);
    int removed = 0;
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (name.size() != prefix.size() + kRandomLength || name.compare(0, prefix.size(), prefix))
            continue;
        if (!IsRandomPart(name.substr(prefix.size()))) continue;
        std::error_code ignored;
        if (!entries->is_regular_file(ignored)) continue;
        if (::unlink(entries->path().c_str()) == 0) ++removed;
    }
    return removed;
}

std::optional<std::string> ReplaceFileAtomically(
    const std::string& target,
    const std::function<std::optional<std::string>(const std::string& tempPath)>& write) {
    const std::filesystem::path targetPath(target);
    const std::filesystem::path folder = FolderOf(targetPath);
    const auto created = CreateTemporary(targetPath);
    if (!created) return SystemError("cannot create a temporary file in " + folder.string(), errno);
    const std::string temp = *created;

    auto fail = [&temp](std::string reason) -> std::optional<std::string> {
        ::unlink(temp.c_str());
        return reason;
    };
    if (auto error = write(temp)) return fail(*error);

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::chmod(temp.c_str(), old.st_mode & 07777) != 0) {
        return fail(SystemError("cannot set the permissions of " + temp, errno));
    }
    if (auto error = SyncPath(temp, false)) return fail(*error);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return fail(SystemError("cannot replace " + target, errno));
    }
    SyncPath(folder.string(), true);
    return std::nullopt;
}

std::optional<std::string> WriteFileAtomically(const std::string& target,
                                               const std::string& bytes) {
    return ReplaceFileAtomically(target, [&bytes](const std::string& temp) {
        std::optional<std::string> error;
        std::FILE* file = std::fopen(temp.c_str(), "wb");
        if (file == nullptr)
            return std::optional<std::string>(SystemError("cannot write " + temp, errno));
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            error = SystemError("cannot write " + temp, errno);
        }
        if (std::fclose(file) != 0 && !error) error = SystemError("cannot write " + temp, errno);
        return error;
    });
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::string& target, std::string* error) {
    const std::filesystem::path targetPath =
        std::filesystem::absolute(std::filesystem::path(target)).lexically_normal();
    std::string path =
        (FolderOf(targetPath) / HiddenCompanion(targetPath.filename().string(), ".lock", 0))
            .string();
    if (heldLocks[path] > 0) {
        ++heldLocks[path];
        return std::unique_ptr<FileLock>(new FileLock(std::move(path), -1));
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
    // A lock file someone else made (and we may only read) locks as well.
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError("cannot open the lock file " + path, errno);
        heldLocks.erase(path);
        return nullptr;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        *error = SystemError("cannot lock " + path, errno);
        ::close(fd);
        heldLocks.erase(path);
        return nullptr;
    }
    heldLocks[path] = 1;
    return std::unique_ptr<FileLock>(new FileLock(std::move(path), fd));
}

FileLock::~FileLock() {
    if (--heldLocks[path_] <= 0) heldLocks.erase(path_);
    if (fd_ >= 0) ::close(fd_);  // releases the lock
}

}  // namespace kestrune::sheet
