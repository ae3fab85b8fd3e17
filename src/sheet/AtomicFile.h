// Replacing a file in one step: the new content goes to a temporary file in
// the target's own folder, is flushed to disk and then renamed over the
// target. A crash or a failure at any point leaves either the old file or the
// complete new one, never a mixture; a crash may leave the temporary file
// (named ".<target name>.XXXXXX") behind, never half a target, and
// RemoveLeftoverTemporaries clears those away later.
//
// FileLock serialises the writers of one file, for a read-modify-replace.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrune::sheet {

/**
 * Writes `target` through `write`, which is handed the path of a fresh empty
 * temporary file in the same folder and returns an error text or nullopt.
 * Returns nullopt when the target now holds the new content, else the reason
 * it could not be replaced (the old target, if any, is then untouched and the
 * temporary file removed). The new file keeps the old one's permission bits;
 * a file made anew gets 0644 less the process's umask, as the database file
 * does (so `umask 027` keeps it from other users).
 */
std::optional<std::string> ReplaceFileAtomically(
    const std::string& target,
    const std::function<std::optional<std::string>(const std::string& tempPath)>& write);

/** Same, for a file whose whole content is `bytes`. */
std::optional<std::string> WriteFileAtomically(const std::string& target, const std::string& bytes);

/** The start of the names of `target`'s temporary files in its folder,
 *  ".<name>." (six random characters follow). A name too long for that
 *  within the file system's 255 bytes is shortened and given a hash of the
 *  whole name, so every target still has a prefix of its own. */
std::string TemporaryPrefix(const std::string& fileName);

/** Removes the temporary files a killed write of `target` left behind. Only
 *  while holding its FileLock: a writer's live temporary file looks the same.
 *  Returns how many were removed. */
int RemoveLeftoverTemporaries(const std::string& target);

/**
 * An exclusive advisory lock (flock) on ".<name>.lock" beside `target`, held
 * until the object goes. A read-modify-replace of a file holds it from the
 * read to the rename: the rename gives the target a new inode, so a lock on
 * the target itself would leave a waiting writer holding the lock of a file
 * no longer there; the lock file stays put and is never removed (removing
 * it would let a waiter and a newcomer lock different files). Other writers,
 * in this process or another, wait; readers do not take it, as the rename
 * shows them the old or the new file whole. Locks of one target taken again
 * on the same thread nest and share the first one's lock.
 */
class FileLock {
  public:
    /** Waits for the lock; nullptr with the reason in *error when the lock
     *  file cannot be opened (the folder is missing, say). */
    static std::unique_ptr<FileLock> Acquire(const std::string& target, std::string* error);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /** The lock file's path. */
    const std::string& Path() const { return path_; }

  private:
    FileLock(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::string path_;
    int fd_;  ///< -1 when an outer lock on this thread holds the file
};

}  // namespace kestrune::sheet
