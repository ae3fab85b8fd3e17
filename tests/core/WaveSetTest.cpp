#include "core/wave/WaveSet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
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

// Bytes seed, seed + 3, ...
Bytes Pattern(std::size_t n, uint8_t seed) {
    return kestrune::testing::Pattern(n, seed, 3);
}

class WaveSetTest : public ::testing::Test {
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

    static void Expect(const Outcome& o, bool ok, const std::string& message) {
        EXPECT_EQ(o.ok, ok);
        EXPECT_EQ(o.message, message);
    }
    // Slot i's name, path, sample count and bytes.
    std::tuple<std::string, std::string, uint32_t, Bytes> Slot(int i) const {
        return {set_.names[i], set_.paths[i], set_.sampleCounts[i], set_.samples[i]};
    }
    std::tuple<Bytes, uint32_t, std::string> Backup() const {
        return {set_.backupSamples, set_.backupCount, set_.backupName};
    }

    testing::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.Path();
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
    Expect(o, true, "");
    EXPECT_TRUE(o.redraw);
    EXPECT_TRUE(o.warning.empty());
    EXPECT_EQ(std::tie(set_.waveCount, set_.firstPath, set_.format, set_.viewEnd),
              std::tuple(1, path, Pcm(22050, 8), 299.0));
    EXPECT_EQ(Slot(0), std::tuple("first.wav", path, 300u, Pattern(300, 9)));
    EXPECT_EQ(Backup(), std::tuple(Pattern(300, 9), 300u, "first.wav"));
    EXPECT_EQ(set_.processParameters, ScribbledAfterReset());
}

TEST_F(WaveSetTest, StereoFileWarnsAndOpensAsItsLeftChannel) {
    const std::string path = MakeWave("st.wav", Pcm(44100, 16, 2), 50, 4);
    const Outcome o = set_.OpenWave(path);
    Expect(o, true, "");
    EXPECT_EQ(o.warning,
              "The wave file is not single channel! \n The right channel would be ignored!");
    EXPECT_EQ(set_.format, Pcm(44100, 16));
    const Bytes frames = Pattern(200, 4);
    Bytes left;
    for (std::size_t i = 0; i < 200; i += 4) left.insert(left.end(), {frames[i], frames[i + 1]});
    EXPECT_EQ(Slot(0), std::tuple("st.wav", path, 50u, left));
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
// before the processing parameters are reset.
TEST_F(WaveSetTest, RefusedFilesLeaveTheSetAsItWas) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 10)).ok);
    const std::string readOnly = Mono16("ro.wav", 10);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::string bits = "Different BitsPerSample wave file can not be added in!";
    const std::pair<std::string, std::string> cases[] = {
        {(dir_ / "missing.wav").string(), "Open file failed!"},
        {readOnly, "Open file failed!"},
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

TEST_F(WaveSetTest, BuffersBeyondTheLimitFailLikeAFailedReallocation) {
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
    Expect(set_.RestoreBackup(), true, "");
    EXPECT_EQ(set_.samples[0], Pattern(1000, 1));
}

TEST_F(WaveSetTest, RestoreNeedsExactlyOneWave) {
    Expect(set_.RestoreBackup(), false, "Only 1 opened wave file is needed!");
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 10)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 10)).ok);
    const Snapshot before = Take(set_);
    Expect(set_.RestoreBackup(), false, "Only 1 opened wave file is needed!");
    EXPECT_EQ(Take(set_), before);
}

TEST_F(WaveSetTest, ClosingDropsTheLastWaveAndBacksUpALoneSurvivor) {
    ASSERT_TRUE(set_.OpenWave(Mono16("a.wav", 100, 1)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("b.wav", 200, 2)).ok);
    ASSERT_TRUE(set_.OpenWave(Mono16("c.wav", 300, 3)).ok);
    set_.samples[0].assign(200, 0x77);  // edit the first wave

    const Outcome o = set_.CloseWave();
    Expect(o, true, "");
    EXPECT_TRUE(o.redraw);
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
    Expect(o, true, "");
    EXPECT_TRUE(o.redraw);
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
        Expect(o, false, "");
        EXPECT_FALSE(o.redraw);
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
    Expect(o, true, "");
    EXPECT_TRUE(o.redraw);
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
