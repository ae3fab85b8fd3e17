// Feeds arbitrary bytes to the workbook reader through a real file (libzip
// opens it by name) and checks that what it returns fits the format's limits.
// Run with a memory limit (-rss_limit_mb, -malloc_limit_mb): the reader must
// refuse a file that would unpack or lay out beyond a small multiple of its
// size, so an input that makes it allocate past the limit is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "sheet/Workbook.h"

using kestrune::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!kestrune::fuzz::WriteInput(data, size)) return 0;
    std::string error;
    const auto book = kestrune::sheet::ReadWorkbook(kestrune::fuzz::ScratchPath(), &error);
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
