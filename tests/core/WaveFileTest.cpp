#include "core/wave/WaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/CoreTestSupport.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Builds file contents byte by byte, little-endian, independent of the writer
// under test.
class ByteBuilder {
  public:
    ByteBuilder& Tag(const char (&code)[5]) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(code[i]));
        return *this;
    }
    ByteBuilder& U16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    ByteBuilder& U32(uint32_t v) {
        return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
    }
    ByteBuilder& Raw(const Bytes& b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    Bytes Take() { return bytes_; }

  private:
    Bytes bytes_;
};

struct WaveLayout {
    uint32_t formatSize = 16;  // F
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t sampleRate = 22050;
    uint32_t bytesPerSecond = 44100;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    Bytes formatTail;       // bytes after bitsPerSample (F - 16 of them)
    Bytes chunkBeforeData;  // a whole chunk placed between "fmt " and "data"
    Bytes data;
    std::optional<uint32_t> statedDataSize;
};

Bytes BuildWave(const WaveLayout& s) {
    ByteBuilder b;
    b.Tag("RIFF").U32(0).Tag("WAVE").Tag("fmt ").U32(s.formatSize);
    b.U16(s.formatTag).U16(s.channels).U32(s.sampleRate).U32(s.bytesPerSecond).U16(s.blockAlign);
    b.U16(s.bitsPerSample).Raw(s.formatTail).Raw(s.chunkBeforeData);
    b.Tag("data").U32(s.statedDataSize.value_or(static_cast<uint32_t>(s.data.size()))).Raw(s.data);
    Bytes bytes = b.Take();
    const auto riffSize = static_cast<uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
    return bytes;
}

using kestrune::testing::Pattern;

class WaveFileTest : public ::testing::Test {
  protected:
    static Bytes Slurp(const std::string& path) { return testing::ScratchDir::Read(path); }

    testing::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.Path();
};

// Reads a file through both steps, expecting the header step to succeed.
struct ReadBack {
    WaveFileInfo header;  // as the header step returned it
    WaveFileInfo info;    // as the sample step left it
    Bytes samples;
};

ReadBack ReadAll(const std::string& path) {
    WaveHeaderResult r = ReadWaveHeader(path);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.file.IsOpen(), r.Ok());
    ReadBack back{r.info, r.info, {}};
    if (r.Ok()) back.samples = ReadWaveSamples(std::move(r.file), back.info);
    return back;
}

// F = 16, 18 and > 18: the record takes min(F, 18) bytes, the rest is skipped.
// The block size is computed, and with F = 16 the "da" of "data" is not read
// as extraSize; the format tag is never examined. A mono file reads every
// stated byte, even past the last whole sample, and keeps its format.
TEST_F(WaveFileTest, FormatChunkOfSixteenEighteenAndMoreBytes) {
    struct Case {
        uint32_t formatSize;
        uint16_t tag, blockAlign;
        Bytes tail;
        uint32_t dataOffset;
        WaveFormat format;
        uint32_t dataSize, sampleCount;
    };
    for (const Case& c :
         {Case{16, 1, 7, {}, 44, {1, 1, 22050, 44100, 2, 16, 0}, 12, 6},
          Case{18, 1, 2, {0x05, 0x00}, 46, {1, 1, 22050, 44100, 2, 16, 5}, 12, 6},
          Case{20, 3, 2, {0x09, 0x00, 0xAA, 0xBB}, 48, {3, 1, 22050, 44100, 2, 16, 9}, 12, 6},
          Case{16, 1, 2, {}, 44, {1, 1, 22050, 44100, 2, 16, 0}, 401, 200}}) {
        const WaveLayout s{.formatSize = c.formatSize,
                           .formatTag = c.tag,
                           .blockAlign = c.blockAlign,
                           .formatTail = c.tail,
                           .data = Pattern(c.dataSize)};
        const ReadBack r = ReadAll(scratch_.Write("a.wav", BuildWave(s)));
        EXPECT_EQ(std::tie(r.header.dataOffset, r.header.format, r.header.dataSize,
                           r.header.sampleCount, r.samples),
                  std::tie(c.dataOffset, c.format, c.dataSize, c.sampleCount, s.data))
            << c.formatSize;
        EXPECT_EQ(r.info, r.header);
    }
}

TEST_F(WaveFileTest, ChunkAfterFormatIsTakenAsTheData) {
    const WaveLayout s{
        .chunkBeforeData =
            ByteBuilder().Tag("LIST").U32(6).Raw({'a', 'b', 'c', 'd', 'e', 'f'}).Take(),
        .data = Pattern(20)};
    const ReadBack r = ReadAll(scratch_.Write("a.wav", BuildWave(s)));
    EXPECT_EQ(std::tie(r.header.dataOffset, r.header.dataSize, r.header.sampleCount, r.samples),
              std::tuple(44u, 6u, 3u, Bytes{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST_F(WaveFileTest, OnlyTheWaveCodeOfTheRiffHeaderIsChecked) {
    const WaveLayout s{.data = Pattern(4)};
    Bytes bytes = BuildWave(s);
    std::copy_n("RIFX\xff\xff\xff\xff", 8, bytes.begin());
    std::copy_n("junk", 4, bytes.begin() + 12);
    EXPECT_EQ(ReadAll(scratch_.Write("a.wav", bytes)).samples, s.data);

    for (const char* code : {"WAVF", "wave", "AVI "}) {
        std::copy_n(code, 4, bytes.begin() + 8);
        const WaveHeaderResult r = ReadWaveHeader(scratch_.Write("b.wav", bytes));
        EXPECT_EQ(r.error, WaveReadError::NotWave) << code;
        EXPECT_FALSE(r.file.IsOpen());
    }
}

// The reduced format is computed from the rate, not halved from the stated
// byte rate; a partial last frame is dropped.
TEST_F(WaveFileTest, StereoKeepsTheLeftChannel) {
    struct Case {
        uint16_t bits;
        uint32_t rate, bytesPerSecond;
        std::size_t dataBytes;
        uint32_t frames, monoBytesPerSecond;
    };
    for (const Case& c :
         {Case{16, 44100, 176400, 400, 100, 88200}, Case{8, 11025, 44100, 21, 10, 11025}}) {
        const auto width = static_cast<uint16_t>(c.bits / 8);
        const WaveLayout s{.channels = 2,
                           .sampleRate = c.rate,
                           .bytesPerSecond = c.bytesPerSecond,
                           .blockAlign = static_cast<uint16_t>(2 * width),
                           .bitsPerSample = c.bits,
                           .data = Pattern(c.dataBytes)};
        const ReadBack r = ReadAll(scratch_.Write("a.wav", BuildWave(s)));
        Bytes left;
        for (std::size_t f = 0; f < c.frames; ++f) {
            const auto frame = s.data.begin() + static_cast<std::ptrdiff_t>(2 * width * f);
            left.insert(left.end(), frame, frame + width);
        }
        EXPECT_EQ(
            std::tie(r.header.sampleCount, r.header.format.blockAlign, r.samples, r.info.format,
                     r.info.sampleCount),
            std::tuple(c.frames, 2 * width, left,
                       WaveFormat{1, 1, c.rate, c.monoBytesPerSecond, width, c.bits, 0}, c.frames))
            << c.bits;
    }
}

TEST_F(WaveFileTest, MoreThanTwoChannelsAreReadUnchanged) {
    const WaveLayout s{.channels = 4, .data = Pattern(40)};
    const ReadBack r = ReadAll(scratch_.Write("a.wav", BuildWave(s)));
    EXPECT_EQ(std::tie(r.header.format.blockAlign, r.header.sampleCount, r.info.format.channels,
                       r.samples),
              std::tuple(8, 5u, 4, s.data));
}

TEST_F(WaveFileTest, SampleStepAndCloseReleaseTheDescriptor) {
    const WaveLayout s{.data = Pattern(4)};
    const std::string path = scratch_.Write("a.wav", BuildWave(s));
    for (bool readSamples : {true, false}) {
        WaveHeaderResult r = ReadWaveHeader(path);
        ASSERT_TRUE(r.Ok());
        const int fd = r.file.Descriptor();
        ASSERT_NE(::fcntl(fd, F_GETFD), -1);
        if (readSamples) {
            ReadWaveSamples(std::move(r.file), r.info);
        } else {
            CloseWaveFile(std::move(r.file));
        }
        EXPECT_FALSE(r.file.IsOpen());
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "descriptor still open, readSamples=" << readSamples;
    }
}

TEST_F(WaveFileTest, MissingReadOnlyAndDirectoryPathsCannotBeOpened) {
    const WaveLayout s{.data = Pattern(4)};
    const std::string readOnly = scratch_.Write("ro.wav", BuildWave(s));
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    for (const std::string& path : {(dir_ / "missing.wav").string(), readOnly, dir_.string()}) {
        const WaveHeaderResult r = ReadWaveHeader(path);
        EXPECT_EQ(r.error, WaveReadError::CannotOpen) << path;
        EXPECT_FALSE(r.file.IsOpen());
    }
    // Any write permission bit is enough.
    ASSERT_EQ(::chmod(readOnly.c_str(), 0464), 0);
    EXPECT_TRUE(ReadWaveHeader(readOnly).Ok());
}

TEST_F(WaveFileTest, EveryTruncationOfAValidFileIsRejectedOrCutConsistently) {
    const WaveLayout s{.data = Pattern(16)};
    const Bytes full = BuildWave(s);
    ASSERT_EQ(full.size(), 60u);
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const std::string path =
            scratch_.Write("cut.wav", Bytes(full.begin(), full.begin() + length));
        WaveHeaderResult r = ReadWaveHeader(path);
        if (length < 44) {
            EXPECT_EQ(r.error, WaveReadError::NotWave) << length;
            EXPECT_FALSE(r.file.IsOpen());
            continue;
        }
        ASSERT_TRUE(r.Ok()) << length;
        EXPECT_EQ(r.info.dataSize, length - 44);
        EXPECT_EQ(r.info.sampleCount, (length - 44) / 2);
        const Bytes samples = ReadWaveSamples(std::move(r.file), r.info);
        EXPECT_EQ(samples, Bytes(full.begin() + 44, full.begin() + length)) << length;
    }
}

TEST_F(WaveFileTest, StatedDataSizeIsCutToTheBytesPresent) {
    for (uint16_t channels : {1, 2}) {
        const WaveLayout s{
            .channels = channels, .data = Pattern(10), .statedDataSize = 0xFFFFFFF0u};
        const ReadBack r = ReadAll(scratch_.Write("a.wav", BuildWave(s)));
        EXPECT_EQ(std::tuple(r.header.dataSize, r.header.sampleCount, r.samples.size()),
                  channels == 1 ? std::tuple(10u, 5u, 10ul) : std::tuple(10u, 2u, 4ul));
    }
}

TEST_F(WaveFileTest, FileShrinkingBetweenTheStepsLeavesAZeroTail) {
    const WaveLayout s{.data = Pattern(100, 5)};
    const std::string path = scratch_.Write("a.wav", BuildWave(s));
    WaveHeaderResult r = ReadWaveHeader(path);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(::truncate(path.c_str(), 44 + 30), 0);
    const Bytes samples = ReadWaveSamples(std::move(r.file), r.info);
    ASSERT_EQ(samples.size(), 100u);
    EXPECT_EQ(Bytes(samples.begin(), samples.begin() + 30),
              Bytes(s.data.begin(), s.data.begin() + 30));
    EXPECT_EQ(Bytes(samples.begin() + 30, samples.end()), Bytes(70, 0));
}

TEST_F(WaveFileTest, ZeroBlockSizeAndHugeFormatSizesAreNotWave) {
    struct Case {
        const char* what;
        uint16_t bits;
        uint16_t channels;
        uint32_t formatSize;
    };
    for (const Case& c : {Case{"4-bit mono", 4, 1, 16}, Case{"0 bits", 0, 1, 16},
                          Case{"0 channels", 16, 0, 16}, Case{"F = 0xFFFFFFFF", 16, 1, 0xFFFFFFFFu},
                          Case{"28 + F = 2^32", 16, 1, 0xFFFFFFE4u}, Case{"F = 0", 16, 1, 0}}) {
        const WaveLayout s{.formatSize = c.formatSize,
                           .channels = c.channels,
                           .bitsPerSample = c.bits,
                           .data = Pattern(64)};
        const WaveHeaderResult r = ReadWaveHeader(scratch_.Write("a.wav", BuildWave(s)));
        EXPECT_EQ(r.error, WaveReadError::NotWave) << c.what;
        EXPECT_FALSE(r.file.IsOpen());
    }
}

// The header stores blockAlign as held and never extraSize; an existing
// longer file is replaced, a new one gets mode 0644 under umask 022.
TEST_F(WaveFileTest, WriterProducesTheExactHeaderAndSamples) {
    const WaveFormat format{1, 1, 22050, 44100, 7, 16, 0x1234};
    const WaveLayout expected{.blockAlign = 7, .data = Pattern(200)};
    const std::string path = scratch_.Write("out.wav", Bytes(1000, 0xEE));
    ASSERT_TRUE(WriteWaveFile(path, format, expected.data.data(), 100));
    EXPECT_EQ(Slurp(path), BuildWave(expected));

    const std::string fresh = scratch_.File("fresh.wav");
    const mode_t oldMask = ::umask(022);
    const bool freshWritten = WriteWaveFile(fresh, format, expected.data.data(), 100);
    ::umask(oldMask);
    ASSERT_TRUE(freshWritten);
    EXPECT_EQ(Slurp(fresh), BuildWave(expected));
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_TRUE(WriteWaveFile(path, format, nullptr, 0));
    EXPECT_EQ(Slurp(path), BuildWave({.blockAlign = 7}));
}

TEST_F(WaveFileTest, WriterReportsFilesItCannotCreate) {
    const Bytes samples = Pattern(4);
    const WaveFormat format{1, 1, 8000, 16000, 2, 16, 0};
    EXPECT_FALSE(WriteWaveFile(scratch_.File("no/such/dir.wav"), format, samples.data(), 2));
    EXPECT_FALSE(WriteWaveFile(dir_.string(), format, samples.data(), 2));
}

std::string Reference(const char* name) {
    return std::string(KESTRUNE_TEST_DATA) + "/" + name;
}

Bytes Pcm16(int n, int step) {
    ByteBuilder b;
    for (int i = 0; i < n; ++i) b.U16(static_cast<uint16_t>((i * step) % 65536 - 32768));
    return b.Take();
}

// Files written by Python's wave module: stereo ones read as their left
// channel, mono ones also rewrite byte for byte.
TEST_F(WaveFileTest, ReferenceFilesReadBackAndMonoOnesRewriteByteForByte) {
    Bytes mono8(150), left8(64);
    for (int i = 0; i < 150; ++i) mono8[i] = static_cast<uint8_t>((i * 37) % 256);
    for (int i = 0; i < 64; ++i) left8[i] = static_cast<uint8_t>((i * 5) % 256);
    struct Case {
        const char* file;
        WaveFormat format;
        uint32_t count;
        Bytes samples;
    };
    for (const Case& c :
         {Case{"ref_mono16_22050.wav", {1, 1, 22050, 44100, 2, 16, 0}, 200, Pcm16(200, 977)},
          Case{"ref_mono8_11025.wav", {1, 1, 11025, 11025, 1, 8, 0}, 150, mono8},
          Case{"ref_stereo16_44100.wav", {1, 1, 44100, 88200, 2, 16, 0}, 100, Pcm16(100, 301)},
          Case{"ref_stereo8_11025.wav", {1, 1, 11025, 11025, 1, 8, 0}, 64, left8}}) {
        const ReadBack r = ReadAll(Reference(c.file));
        EXPECT_EQ(std::tie(r.info.format, r.info.sampleCount, r.samples),
                  std::tie(c.format, c.count, c.samples))
            << c.file;
        if (r.header.format.channels != 1) continue;

        const std::string copy = (dir_ / "copy.wav").string();
        ASSERT_TRUE(WriteWaveFile(copy, r.info.format, r.samples.data(), r.info.sampleCount));
        EXPECT_EQ(Slurp(copy), Slurp(Reference(c.file))) << c.file;
    }
}

}  // namespace
}  // namespace kestrune
