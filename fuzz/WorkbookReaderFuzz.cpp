// Feeds arbitrary bytes to the workbook reader through a real file (libzip
// opens it by name) and checks that what it returns fits the format's limits.
// Run with a memory limit (-rss_limit_mb, -malloc_limit_mb): the reader must
// refuse a file that would unpack or lay out beyond a small multiple of its
// size, so an input that makes it allocate past the limit is a fault.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "sheet/Workbook.h"

namespace {

// One in-memory file per process, named through /proc so the reader opens it
// as any other path.
int ScratchFile() {
    static const int fd = ::memfd_create("kestrune_fuzz_workbook", MFD_CLOEXEC);
    return fd;
}

bool WriteInput(const uint8_t* data, std::size_t size) {
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

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(ScratchFile());
    std::string error;
    const auto book = kestrune::sheet::ReadWorkbook(path, &error);
    if (!book) {
        Check(!error.empty());
        return 0;
    }
    for (const auto& sheet : book->sheets) {
        Check(sheet.rows.size() <= 1048576);
        for (const auto& row : sheet.rows) {
            Check(row.size() <= 16384);
            for (const auto& cell : row) Check(!cell.number || !cell.text.empty());
        }
    }
    return 0;
}
