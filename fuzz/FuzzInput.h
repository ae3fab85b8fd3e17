// What every fuzz target shares: the input handed to a reader as a real file,
// and a check that stops the run where libFuzzer sees it.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrune::fuzz {

/** One in-memory file per process. */
inline int ScratchFile() {
    static const int fd = ::memfd_create("kestrune_fuzz_input", MFD_CLOEXEC);
    return fd;
}

/** The scratch file's name through /proc, so a reader opens it as any path. */
inline const std::string& ScratchPath() {
    static const std::string path = "/proc/self/fd/" + std::to_string(ScratchFile());
    return path;
}

/** Makes the scratch file hold exactly `data`; false when it cannot. */
inline bool WriteInput(const uint8_t* data, std::size_t size) {
    const int fd = ScratchFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0) return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    return done == size;
}

/** A broken promise of the reader under test: a crash libFuzzer records. */
inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace kestrune::fuzz
