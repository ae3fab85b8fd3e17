#include "core/wave/WaveFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

Bytes Pattern(std::size_t n, uint8_t seed = 1) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

uint32_t U32At(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

class WaveFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        return scratch_.Write(name, bytes);
    }
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

// --- the format record ----------------------------------------------------

TEST(WaveFormatRecord, EncodesLittleEndianPackedAndDecodesBack) {
    WaveFormat f{0x0102, 0x0304, 0x05060708, 0x090A0B0C, 0x0D0E, 0x0F10, 0x1112};
    const auto bytes = EncodeWaveFormat(f);
    const Bytes expected = ByteBuilder()
                               .U16(0x0102)
                               .U16(0x0304)
                               .U32(0x05060708)
                               .U32(0x090A0B0C)
                               .U16(0x0D0E)
                               .U16(0x0F10)
                               .U16(0x1112)
                               .Take();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(DecodeWaveFormat(bytes.data(), bytes.size()), f);

    // A 16-byte body leaves extraSize 0; a body cut inside a field leaves
    // that field and all later ones 0.
    WaveFormat noExtra = f;
    noExtra.extraSize = 0;
    EXPECT_EQ(DecodeWaveFormat(bytes.data(), 16), noExtra);
    const WaveFormat cut = DecodeWaveFormat(bytes.data(), 13);
    EXPECT_EQ(cut.bytesPerSecond, 0x090A0B0Cu);
    EXPECT_EQ(cut.blockAlign, 0);
    EXPECT_EQ(cut.bitsPerSample, 0);
}

// --- header layouts -------------------------------------------------------

TEST_F(WaveFileTest, CanonicalHeaderPutsSamplesAt44AndRecomputesBlockSize) {
    WaveLayout s;
    s.blockAlign = 7;  // wrong on purpose: the block size is computed
    s.data = Pattern(8);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.dataOffset, 44u);
    EXPECT_EQ(r.header.dataSize, 8u);
    EXPECT_EQ(r.header.sampleCount, 4u);
    EXPECT_EQ(r.header.format,
              (WaveFormat{1, 1, 22050, 44100, 2, 16, 0}));  // "da" of "data" not read as extraSize
    EXPECT_EQ(r.samples, s.data);
}

TEST_F(WaveFileTest, EighteenByteFormatReadsExtraSize) {
    WaveLayout s;
    s.formatSize = 18;
    s.formatTail = {0x05, 0x00};
    s.data = Pattern(6);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.dataOffset, 46u);
    EXPECT_EQ(r.header.format.extraSize, 5);
    EXPECT_EQ(r.header.sampleCount, 3u);
    EXPECT_EQ(r.samples, s.data);
}

TEST_F(WaveFileTest, LongerFormatKeepsEighteenBytesAndSkipsTheRest) {
    WaveLayout s;
    s.formatSize = 20;
    s.formatTag = 3;  // not examined
    s.formatTail = {0x09, 0x00, 0xAA, 0xBB};
    s.data = Pattern(10);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.dataOffset, 48u);
    EXPECT_EQ(r.header.format.formatTag, 3);
    EXPECT_EQ(r.header.format.extraSize, 9);
    EXPECT_EQ(r.samples, s.data);
}

TEST_F(WaveFileTest, ChunkAfterFormatIsTakenAsTheData) {
    WaveLayout s;
    s.chunkBeforeData = ByteBuilder().Tag("LIST").U32(6).Raw({'a', 'b', 'c', 'd', 'e', 'f'}).Take();
    s.data = Pattern(20);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.dataOffset, 44u);
    EXPECT_EQ(r.header.dataSize, 6u);
    EXPECT_EQ(r.header.sampleCount, 3u);
    EXPECT_EQ(r.samples, (Bytes{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST_F(WaveFileTest, OnlyTheWaveCodeOfTheRiffHeaderIsChecked) {
    WaveLayout s;
    s.data = Pattern(4);
    Bytes bytes = BuildWave(s);
    std::copy_n("RIFX\xff\xff\xff\xff", 8, bytes.begin());
    std::copy_n("junk", 4, bytes.begin() + 12);
    EXPECT_EQ(ReadAll(Write("a.wav", bytes)).samples, s.data);

    for (const char* code : {"WAVF", "wave", "AVI "}) {
        std::copy_n(code, 4, bytes.begin() + 8);
        const WaveHeaderResult r = ReadWaveHeader(Write("b.wav", bytes));
        EXPECT_EQ(r.error, WaveReadError::NotWave) << code;
        EXPECT_FALSE(r.file.IsOpen());
    }
}

// --- samples --------------------------------------------------------------

TEST_F(WaveFileTest, MonoReadsEveryStatedByteEvenPastTheLastWholeSample) {
    WaveLayout s;
    s.data = Pattern(401);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.sampleCount, 200u);
    EXPECT_EQ(r.samples, s.data);
    EXPECT_EQ(r.info, r.header);  // a mono file's format is left alone
}

TEST_F(WaveFileTest, StereoSixteenBitKeepsTheLeftChannel) {
    WaveLayout s;
    s.channels = 2;
    s.sampleRate = 44100;
    s.bytesPerSecond = 176400;
    s.blockAlign = 4;
    s.data = Pattern(400);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.sampleCount, 100u);
    EXPECT_EQ(r.header.format.blockAlign, 4);
    ASSERT_EQ(r.samples.size(), 200u);
    for (std::size_t i = 0; i < 100; ++i) {
        ASSERT_EQ(r.samples[2 * i], s.data[4 * i]) << i;
        ASSERT_EQ(r.samples[2 * i + 1], s.data[4 * i + 1]) << i;
    }
    EXPECT_EQ(r.info.format.channels, 1);
    EXPECT_EQ(r.info.format.blockAlign, 2);
    EXPECT_EQ(r.info.format.bytesPerSecond, 88200u);
    EXPECT_EQ(r.info.sampleCount, 100u);
}

TEST_F(WaveFileTest, StereoEightBitKeepsTheLeftChannelAndDropsAPartialFrame) {
    WaveLayout s;
    s.channels = 2;
    s.sampleRate = 11025;
    s.bitsPerSample = 8;
    s.data = Pattern(21);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.sampleCount, 10u);
    ASSERT_EQ(r.samples.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(r.samples[i], s.data[2 * i]);
    EXPECT_EQ(r.info.format.channels, 1);
    EXPECT_EQ(r.info.format.blockAlign, 1);
    EXPECT_EQ(r.info.format.bytesPerSecond, 11025u);
}

TEST_F(WaveFileTest, MoreThanTwoChannelsAreReadUnchanged) {
    WaveLayout s;
    s.channels = 4;
    s.data = Pattern(40);
    const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
    EXPECT_EQ(r.header.format.blockAlign, 8);
    EXPECT_EQ(r.header.sampleCount, 5u);
    EXPECT_EQ(r.info.format.channels, 4);
    EXPECT_EQ(r.samples, s.data);
}

TEST_F(WaveFileTest, SampleStepAndCloseReleaseTheDescriptor) {
    WaveLayout s;
    s.data = Pattern(4);
    const std::string path = Write("a.wav", BuildWave(s));
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

// --- files that cannot be opened ------------------------------------------

TEST_F(WaveFileTest, MissingReadOnlyAndDirectoryPathsCannotBeOpened) {
    WaveLayout s;
    s.data = Pattern(4);
    const std::string readOnly = Write("ro.wav", BuildWave(s));
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

// --- hostile input --------------------------------------------------------

TEST_F(WaveFileTest, EveryTruncationOfAValidFileIsRejectedOrCutConsistently) {
    WaveLayout s;
    s.data = Pattern(16);
    const Bytes full = BuildWave(s);
    ASSERT_EQ(full.size(), 60u);
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const std::string path = Write("cut.wav", Bytes(full.begin(), full.begin() + length));
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
        WaveLayout s;
        s.channels = channels;
        s.data = Pattern(10);
        s.statedDataSize = 0xFFFFFFF0u;
        const ReadBack r = ReadAll(Write("a.wav", BuildWave(s)));
        EXPECT_EQ(r.header.dataSize, 10u);
        EXPECT_EQ(r.header.sampleCount, channels == 1 ? 5u : 2u);
        EXPECT_EQ(r.samples.size(), channels == 1 ? 10u : 4u);
    }
}

TEST_F(WaveFileTest, FileShrinkingBetweenTheStepsLeavesAZeroTail) {
    WaveLayout s;
    s.data = Pattern(100, 5);
    const std::string path = Write("a.wav", BuildWave(s));
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
        WaveLayout s;
        s.bitsPerSample = c.bits;
        s.channels = c.channels;
        s.formatSize = c.formatSize;
        s.data = Pattern(64);
        const WaveHeaderResult r = ReadWaveHeader(Write("a.wav", BuildWave(s)));
        EXPECT_EQ(r.error, WaveReadError::NotWave) << c.what;
        EXPECT_FALSE(r.file.IsOpen());
    }
}

// --- the writer -----------------------------------------------------------

TEST_F(WaveFileTest, WriterProducesTheExactHeaderAndSamples) {
    const WaveFormat format{1, 1, 22050, 44100, 7, 16, 0x1234};  // blockAlign written as held
    const Bytes samples = Pattern(200);
    const std::string path = (dir_ / "out.wav").string();
    const std::string fresh = (dir_ / "fresh.wav").string();
    Write("out.wav", Bytes(1000, 0xEE));  // an existing longer file is replaced
    ASSERT_TRUE(WriteWaveFile(path, format, samples.data(), 100));
    const mode_t oldMask = ::umask(022);
    const bool freshWritten = WriteWaveFile(fresh, format, samples.data(), 100);
    ::umask(oldMask);
    ASSERT_TRUE(freshWritten);

    const Bytes file = Slurp(path);
    ASSERT_EQ(file.size(), 244u);
    EXPECT_EQ(U32At(file, 4), 236u);
    EXPECT_EQ(U32At(file, 40), 200u);
    const Bytes header = ByteBuilder()
                             .Tag("RIFF")
                             .U32(236)
                             .Tag("WAVE")
                             .Tag("fmt ")
                             .U32(16)
                             .U16(1)
                             .U16(1)
                             .U32(22050)
                             .U32(44100)
                             .U16(7)
                             .U16(16)
                             .Tag("data")
                             .U32(200)
                             .Take();
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), header);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), samples);

    EXPECT_EQ(Slurp(fresh), file);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(WaveFileTest, WriterRoundTripsThroughTheReader) {
    const WaveFormat format{1, 1, 11025, 11025, 1, 8, 0};
    const Bytes samples = Pattern(77, 3);
    const std::string path = (dir_ / "rt.wav").string();
    ASSERT_TRUE(WriteWaveFile(path, format, samples.data(), 77));
    const ReadBack r = ReadAll(path);
    EXPECT_EQ(r.info.format, format);
    EXPECT_EQ(r.info.sampleCount, 77u);
    EXPECT_EQ(r.samples, samples);

    EXPECT_TRUE(WriteWaveFile(path, format, nullptr, 0));
    EXPECT_EQ(Slurp(path).size(), 44u);
}

TEST_F(WaveFileTest, WriterReportsFilesItCannotCreate) {
    const Bytes samples = Pattern(4);
    EXPECT_FALSE(WriteWaveFile((dir_ / "no" / "such" / "dir.wav").string(),
                               WaveFormat{1, 1, 8000, 16000, 2, 16, 0}, samples.data(), 2));
    EXPECT_FALSE(
        WriteWaveFile(dir_.string(), WaveFormat{1, 1, 8000, 16000, 2, 16, 0}, samples.data(), 2));
}

// --- files made by Python's wave module -----------------------------------

std::string Reference(const char* name) {
    return std::string(KESTRUNE_TEST_DATA) + "/" + name;
}

Bytes Pcm16(int n, int step) {
    ByteBuilder b;
    for (int i = 0; i < n; ++i) b.U16(static_cast<uint16_t>((i * step) % 65536 - 32768));
    return b.Take();
}

TEST_F(WaveFileTest, MonoReferenceFilesReadBackAndRewriteByteForByte) {
    Bytes mono8(150);
    for (int i = 0; i < 150; ++i) mono8[i] = static_cast<uint8_t>((i * 37) % 256);
    struct Case {
        const char* file;
        WaveFormat format;
        uint32_t count;
        Bytes samples;
    };
    for (const Case& c :
         {Case{"ref_mono16_22050.wav", {1, 1, 22050, 44100, 2, 16, 0}, 200, Pcm16(200, 977)},
          Case{"ref_mono8_11025.wav", {1, 1, 11025, 11025, 1, 8, 0}, 150, mono8}}) {
        const ReadBack r = ReadAll(Reference(c.file));
        EXPECT_EQ(r.info.format, c.format) << c.file;
        EXPECT_EQ(r.info.sampleCount, c.count) << c.file;
        EXPECT_EQ(r.samples, c.samples) << c.file;

        const std::string copy = (dir_ / "copy.wav").string();
        ASSERT_TRUE(WriteWaveFile(copy, r.info.format, r.samples.data(), r.info.sampleCount));
        EXPECT_EQ(Slurp(copy), Slurp(Reference(c.file))) << c.file;
    }
}

TEST_F(WaveFileTest, StereoReferenceFilesReadAsTheirLeftChannel) {
    Bytes left8(64);
    for (int i = 0; i < 64; ++i) left8[i] = static_cast<uint8_t>((i * 5) % 256);

    ReadBack r = ReadAll(Reference("ref_stereo16_44100.wav"));
    EXPECT_EQ(r.info.format, (WaveFormat{1, 1, 44100, 88200, 2, 16, 0}));
    EXPECT_EQ(r.samples, Pcm16(100, 301));

    r = ReadAll(Reference("ref_stereo8_11025.wav"));
    EXPECT_EQ(r.info.format, (WaveFormat{1, 1, 11025, 11025, 1, 8, 0}));
    EXPECT_EQ(r.samples, left8);
}

}  // namespace
}  // namespace kestrune
