#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace kestrune::testing {

/**
 * A fresh, uniquely named folder under the test temporary directory, removed
 * with everything in it when the object goes. Each test gets its own, so
 * tests may run in parallel.
 */
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::path(::testing::TempDir()) / "kestrune_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a scratch folder from " << pattern;
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    /** Full path of a file in the folder. */
    std::string File(std::string_view name) const { return (path_ / name).string(); }

    /** Writes bytes to a file in the folder and returns its full path. */
    template <typename Bytes>
    std::string Write(std::string_view name, const Bytes& bytes) const {
        const std::string path = File(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(std::data(bytes)),
                  static_cast<std::streamsize>(std::size(bytes)));
        return path;
    }

    /** The whole content of a file. */
    static std::vector<std::uint8_t> Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path path_;
};

}  // namespace kestrune::testing
