// Wave files read and written byte for byte, and the workspace's set of open
// waves built on them.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/CoreTestSupport.h"
#include "core/wave/WaveFile.h"
#include "core/wave/WaveSet.h"
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
TEST_F(WaveFileTest, StereoKeepsTheLeftChannelMoreChannelsAreReadUnchanged) {
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

// Everything a refusal must leave alone.
auto Take(const WaveSet& s) {
    return std::tuple(s.waveCount, s.sampleCounts, s.samples, s.names, s.paths, s.firstPath,
                      s.format, s.backupSamples, s.backupCount, s.backupName, s.viewStart,
                      s.viewEnd);
}
using Snapshot = decltype(Take(WaveSet()));

WaveFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels = 1) {
    return PcmFormat(channels, rate, bits);
}

class WaveSetTest : public WaveFileTest {
  protected:
    // Writes a wave of `count` samples (frames for a stereo format) whose
    // bytes are Pattern(…, seed).
    std::string MakeWave(const std::string& name, const WaveFormat& format, uint32_t count,
                         uint8_t seed = 1) {
        const std::string path = (dir_ / name).string();
        const Bytes bytes = Pattern(std::size_t{count} * format.blockAlign, seed);
        EXPECT_TRUE(WriteWaveFile(path, format, bytes.data(), count * format.channels));
        return path;
    }
    std::string Mono16(const std::string& name, uint32_t count, uint8_t seed = 1) {
        return MakeWave(name, Pcm(44100, 16), count, seed);
    }

    // The outcome's flag and message, and whether the views are redrawn.
    static void Expect(const Outcome& o, bool ok, const std::string& message,
                       std::optional<bool> redraw = std::nullopt) {
        EXPECT_EQ(std::tie(o.ok, o.message), std::tie(ok, message));
        EXPECT_EQ(o.redraw, redraw.value_or(o.redraw));
    }
    // Slot i's name, path, sample count and bytes.
    std::tuple<std::string, std::string, uint32_t, Bytes> Slot(int i) const {
        return {set_.names[i], set_.paths[i], set_.sampleCounts[i], set_.samples[i]};
    }
    std::tuple<Bytes, uint32_t, std::string> Backup() const {
        return {set_.backupSamples, set_.backupCount, set_.backupName};
    }

    WaveSet set_;
};

ProcessParameters Scribbled() {
    return {2, 0.3f, 2, 40, 0.7f, 300, 1, 9, 3, 1, 2, 3, 4};  // no field at its default
}

// The parameter set after a reset of Scribbled(): only the division values stay.
ProcessParameters ScribbledAfterReset() {
    return {.divisionDutyCycle = 0.7f, .divisionPeriodMs = 300, .divisionPeriodType = 1};
}

TEST_F(WaveSetTest, StartsEmptyWith44100Hz16BitMono) {
    EXPECT_EQ(std::tie(set_.waveCount, set_.format, set_.viewStart, set_.viewEnd),
              std::tuple(0, WaveFormat{1, 1, 44100, 88200, 2, 16, 0}, 0.0, -1.0));
    for (int i = 0; i < WaveSet::kMaxWaves; ++i) EXPECT_EQ(set_.samples[i].size(), 1u);
    EXPECT_EQ(set_.backupSamples.size(), 1u);
    const ProcessParameters& p = set_.processParameters;
    EXPECT_EQ(std::tie(p.playbackSpeed, p.dutyCycle, p.divisionDutyCycle, p.divisionPeriodMs,
                       p.amplifyFactor),
              std::tuple(1.0f, 1.0f, 0.5f, 200.0f, 1.0f));
}

TEST_F(WaveSetTest, OpeningTheFirstWaveFillsSlotZeroAndTakesTheBackup) {
    const std::string path = MakeWave("first.wav", Pcm(22050, 8), 300, 9);
    set_.processParameters = Scribbled();
    const Outcome o = set_.OpenWave(path);
    Expect(o, true, "", true);
    EXPECT_TRUE(o.warning.empty());
    EXPECT_EQ(std::tie(set_.waveCount, set_.firstPath, set_.format, set_.viewEnd),
              std::tuple(1, path, Pcm(22050, 8), 299.0));
    EXPECT_EQ(Slot(0), std::tuple("first.wav", path, 300u, Pattern(300, 9)));
    EXPECT_EQ(Backup(), std::tuple(Pattern(300, 9), 300u, "first.wav"));
    EXPECT_EQ(set_.processParameters, ScribbledAfterReset());
}

// Which bytes the left channel holds is the wave reader's table.
TEST_F(WaveSetTest, StereoFileWarnsAndOpensAsItsLeftChannel) {
    const std::string path = MakeWave("st.wav", Pcm(44100, 16, 2), 50, 4);
    const Outcome o = set_.OpenWave(path);
    Expect(o, true, "");
    EXPECT_EQ(o.warning,
              "The wave file is not single channel! \n The right channel would be ignored!");
    EXPECT_EQ(std::tuple(set_.format, set_.sampleCounts[0], set_.samples[0].size()),
              std::tuple(Pcm(44100, 16), 50u, 100u));
}

TEST_F(WaveSetTest, OpeningASecondWaveRestoresTheFirstFromItsBackup) {
    const std::string a = Mono16("a.wav", 100, 1);
    const std::string b = Mono16("b.wav", 250, 2);
    ASSERT_TRUE(set_.OpenWave(a).ok);
    set_.samples[0].assign(40, 0x55);  // an edit that shortened the wave
    set_.sampleCounts[0] = 20;
    set_.names[0] = "Edited wave";
    set_.processParameters = Scribbled();

    ASSERT_TRUE(set_.OpenWave(b).ok);
    EXPECT_EQ(std::tie(set_.waveCount, set_.firstPath, set_.viewEnd), std::tuple(2, a, 249.0));
    EXPECT_EQ(Slot(0), std::tuple("a.wav", a, 100u, Pattern(200, 1)));
    EXPECT_EQ(Slot(1), std::tuple("b.wav", b, 250u, Pattern(500, 2)));
    EXPECT_EQ(set_.processParameters, ScribbledAfterReset());
}

// A refused file leaves the set as it was; only the sixth wave is refused
// before the processing parameters are reset. (Which files cannot be opened
// is the wave reader's table.)
TEST_F(WaveSetTest, RefusedFilesLeaveTheSetAsItWas) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 10)).ok);
    const std::string bits = "Different BitsPerSample wave file can not be added in!";
    const std::pair<std::string, std::string> cases[] = {
        {(dir_ / "missing.wav").string(), "Open file failed!"},
        {scratch_.Write("text.wav", std::string("certainly no wave file at all, not even close")),
         "Can not find \"WAVE\"!"},
        {MakeWave("8.wav", Pcm(44100, 8), 10), bits},
        {MakeWave("48k.wav", Pcm(48000, 16), 10),
         "Unavailable sample rate is found in the wave file!"},
        {MakeWave("22k.wav", Pcm(22050, 16), 10), "Can not change \"sample rate\" now!"},
        {MakeWave("8k8.wav", Pcm(8000, 8), 10), bits},
        {MakeWave("24.wav", Pcm(44100, 24), 10), bits},
    };
    for (const auto& [path, message] : cases) {
        set_.processParameters = Scribbled();
        const Snapshot before = Take(set_);
        Expect(set_.OpenWave(path), false, message);
        EXPECT_EQ(Take(set_), before) << path;
        EXPECT_EQ(set_.processParameters, ScribbledAfterReset()) << path;
    }
    for (int i = 1; i < 5; ++i)
        ASSERT_TRUE(set_.OpenWave(Mono16("w" + std::to_string(i) + ".wav", 10 + i)).ok);
    set_.processParameters = Scribbled();
    const Snapshot before = Take(set_);
    Expect(set_.OpenWave(Mono16("six.wav", 5)), false,
           "Beyond the limitation of opened wave files!");
    EXPECT_EQ(Take(set_), before);
    EXPECT_EQ(set_.processParameters, Scribbled());
}

TEST_F(WaveSetTest, EmptySetTakesTheRateOfARefusedDepthAndOfAnAcceptedFile) {
    const Snapshot start = Take(set_);
    Expect(set_.OpenWave(MakeWave("r.wav", Pcm(48000, 16), 10)), false,
           "Unavailable sample rate is found in the wave file!");
    EXPECT_EQ(Take(set_), start);

    // The rate is accepted and set before the depth is checked.
    Expect(set_.OpenWave(MakeWave("d.wav", Pcm(22050, 24), 10)), false,
           "Unavailable bits per sample is found in the wave file!");
    EXPECT_EQ(set_.waveCount, 0);
    EXPECT_EQ(set_.format, Pcm(22050, 16));

    ASSERT_TRUE(set_.OpenWave(MakeWave("ok.wav", Pcm(11025, 16), 10)).ok);
    EXPECT_EQ(set_.format, Pcm(11025, 16));
}

TEST_F(WaveSetTest, FormatCanOnlyChangeWhileTheSetIsEmpty) {
    Expect(set_.SetBitsPerSample(8), true, "");
    Expect(set_.SetSampleRate(22050), true, "");
    EXPECT_EQ(set_.format, Pcm(22050, 8));

    ASSERT_TRUE(set_.OpenWave(MakeWave("a.wav", Pcm(22050, 8), 10)).ok);
    const Snapshot before = Take(set_);
    Expect(set_.SetSampleRate(44100), false, "Can not change \"sample rate\" now!");
    Expect(set_.SetBitsPerSample(16), false, "Can not change \"bits per sample\" now!");
    EXPECT_EQ(Take(set_), before);
    Expect(set_.SetSampleRate(22050), true, "");
    Expect(set_.SetBitsPerSample(8), true, "");
}

TEST_F(WaveSetTest, BuffersBeyondTheLimitFailLikeAFailedReallocationRestoreNeedsOneWave) {
    Expect(set_.RestoreBackup(), false, "Only 1 opened wave file is needed!");
    const std::string big = Mono16("big.wav", 500);
    set_.SetBufferLimit(999);
    Snapshot before = Take(set_);
    Expect(set_.OpenWave(big), false, "Realloc failed!");
    EXPECT_EQ(Take(set_), before);

    set_.SetBufferLimit(1000);
    ASSERT_TRUE(set_.OpenWave(big).ok);
    set_.SetBufferLimit(10);
    before = Take(set_);
    Expect(set_.TakeBackup(), false, "Realloc failed!");
    EXPECT_EQ(Take(set_), before);

    set_.samples[0].resize(2);  // an edit shrank the wave
    set_.sampleCounts[0] = 1;
    before = Take(set_);
    Expect(set_.RestoreBackup(), false, "Realloc failed!");
    EXPECT_EQ(Take(set_), before);

    set_.SetBufferLimit(WaveSet::kNoLimit);
    set_.names[0] = "Edited wave";
    Expect(set_.RestoreBackup(), true, "");
    EXPECT_EQ(std::tie(set_.samples[0], set_.names[0]), std::tuple(Pattern(1000, 1), "big.wav"));

    // A restore needs exactly one wave.
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 10)).ok);
    before = Take(set_);
    Expect(set_.RestoreBackup(), false, "Only 1 opened wave file is needed!");
    EXPECT_EQ(Take(set_), before);
}

TEST_F(WaveSetTest, ClosingDropsTheLastWaveAndBacksUpALoneSurvivor) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 100, 1)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 200, 2)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("c.wav", 300, 3)).ok);
    set_.samples[0].assign(200, 0x77);  // edit the first wave

    const Outcome o = set_.CloseWave();
    Expect(o, true, "", true);
    EXPECT_EQ(std::tie(set_.waveCount, set_.viewEnd), std::tuple(2, 199.0));
    EXPECT_EQ(set_.backupSamples, Pattern(200, 1));  // two waves left: no new backup

    set_.names[0] = "Edited wave";
    Expect(set_.CloseWave(), true, "");
    EXPECT_EQ(std::tie(set_.waveCount, set_.viewEnd), std::tuple(1, 99.0));
    EXPECT_EQ(Backup(), std::tuple(Bytes(200, 0x77), 100u, "Edited wave"));

    // The empty set keeps slot 0's length for its view.
    Expect(set_.CloseWave(), true, "");
    EXPECT_EQ(std::tie(set_.waveCount, set_.viewStart, set_.viewEnd), std::tuple(0, 0.0, 99.0));
    Expect(set_.CloseWave(), false, "There is no wave file to close!");
}

TEST_F(WaveSetTest, CloseAllEmptiesTheSetAndTheNextWaveStartsAgainAtSlotZero) {
    Expect(set_.CloseAllWaves(), false, "There is no wave file to close!");
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 10)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 20)).ok);
    const Outcome o = set_.CloseAllWaves();
    Expect(o, true, "", true);
    EXPECT_EQ(std::tie(set_.waveCount, set_.viewEnd), std::tuple(0, -1.0));

    const std::string c = MakeWave("c.wav", Pcm(22050, 8), 30);
    ASSERT_TRUE(set_.OpenWave(c).ok);  // an empty set may change its format
    EXPECT_EQ(std::tie(set_.names[0], set_.firstPath, set_.backupName),
              std::tuple("c.wav", c, "c.wav"));
}

TEST_F(WaveSetTest, ClosingDuringRecordingOrPlaybackDoesNothingButResetParameters) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 10)).ok);
    set_.SetTransportRunning(true);
    const Snapshot before = Take(set_);
    for (Outcome (WaveSet::*close)() : {&WaveSet::CloseWave, &WaveSet::CloseAllWaves}) {
        set_.processParameters = Scribbled();
        const Outcome o = (set_.*close)();
        Expect(o, false, "", false);
        EXPECT_EQ(Take(set_), before);
        EXPECT_EQ(set_.processParameters, ScribbledAfterReset());
    }
    set_.SetTransportRunning(false);
    EXPECT_TRUE(set_.CloseWave().ok);
}

TEST_F(WaveSetTest, SaveWritesTheLastWaveAndRenamesOnlyIt) {
    const std::string a = Mono16("a.wav", 10, 1);
    const std::string b = Mono16("b.wav", 20, 2);
    ASSERT_TRUE(set_.OpenWave(a).ok);
    ASSERT_TRUE(set_.OpenWave(b).ok);
    set_.samples[1][0] = 0xAB;

    const std::string out = (dir_ / "saved.wav").string();
    const Outcome o = set_.SaveWave(out);
    Expect(o, true, "", true);
    EXPECT_EQ(std::tie(set_.names[0], set_.names[1], set_.backupName, set_.paths[1]),
              std::tuple("a.wav", "saved.wav", "a.wav", b));

    WaveHeaderResult r = ReadWaveHeader(out);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.info.format, set_.format);
    EXPECT_EQ(ReadWaveSamples(std::move(r.file), r.info), set_.samples[1]);
}

TEST_F(WaveSetTest, SavingALoneWaveRenamesItsBackupToo) {
    Expect(set_.SaveWave((dir_ / "nothing.wav").string()), false, "");
    EXPECT_FALSE(fs::exists(dir_ / "nothing.wav"));

    const std::string a = Mono16("a.wav", 10);
    ASSERT_TRUE(set_.OpenWave(a).ok);
    ASSERT_TRUE(set_.SaveWave((dir_ / "renamed.wav").string()).ok);
    EXPECT_EQ(std::tie(set_.names[0], set_.backupName, set_.paths[0], set_.firstPath),
              std::tuple("renamed.wav", "renamed.wav", a, a));
}

TEST_F(WaveSetTest, ViewRangeCoversTheLongestWave) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 50)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 80)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("c.wav", 30)).ok);
    EXPECT_EQ(set_.viewEnd, 79.0);
    set_.viewStart = 12;
    set_.sampleCounts[2] = 90;
    set_.UpdateViewRange();
    EXPECT_EQ(std::tie(set_.viewStart, set_.viewEnd), std::tuple(0.0, 89.0));
    // Slots above waveCount do not count, slot 0 always does.
    set_.waveCount = 1;
    set_.UpdateViewRange();
    EXPECT_EQ(set_.viewEnd, 49.0);
    set_.waveCount = 0;
    set_.sampleCounts[0] = 0;
    set_.UpdateViewRange();
    EXPECT_EQ(set_.viewEnd, -1.0);
}

}  // namespace
}  // namespace kestrune
