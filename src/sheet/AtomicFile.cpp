#include "sheet/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kestrune::sheet {

namespace {

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

}  // namespace

std::optional<std::string> ReplaceFileAtomically(
    const std::string& target,
    const std::function<std::optional<std::string>(const std::string& tempPath)>& write) {
    const std::filesystem::path targetPath(target);
    std::filesystem::path folder = targetPath.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp = (folder / ("." + targetPath.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return SystemError("cannot create a temporary file in " + folder.string(), errno);
    ::close(fd);

    auto fail = [&temp](std::string reason) -> std::optional<std::string> {
        ::unlink(temp.c_str());
        return reason;
    };
    if (auto error = write(temp)) return fail(*error);

    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::chmod(temp.c_str(), mode) != 0) {
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

}  // namespace kestrune::sheet
