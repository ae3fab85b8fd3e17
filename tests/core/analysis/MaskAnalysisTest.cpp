// The mask analysis: the hearing models at their worked values, the band
// table, Confirm on generated vowels and damaged files, the difference
// measure against a plain two-pass reference, and the analyses' tables.

#include "core/analysis/MaskAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "MaskVowels.h"
#include "support/ScratchDir.h"

namespace kestrune::analysis {
namespace {

using kestrune::testing::ScratchDir;

TEST(Psychoacoustics, WorkedValues) {
    const double z250 = 26.81 / (1 + 1960.0 / 250) - 0.53;
    const double z4000 = 26.81 / (1 + 1960.0 / 4000) - 0.53;
    struct Case {
        const char* what;
        double got, want, tolerance;
    } cases[] = {
        {"Bark of 1 kHz", HzToBark(1000), 8.527, 1e-3},
        {"below 40 Hz counts as 40", HzToBark(10), HzToBark(40), 0},
        {"Hz of 8.527 Bark", double(BarkToHz(8.527)), 999, 0},
        {"Hz of 0 Bark", double(BarkToHz(0.0)), 0, 0},
        {"Hz of negative Bark", double(BarkToHz(-2.0)), 0, 0},
        {"ATH at 1 kHz", AbsoluteThreshold(1000), 3.37, 0.01},
        {"ATH below 1 Hz counts as 1 Hz", AbsoluteThreshold(0), AbsoluteThreshold(1), 0},
        {"ATH at 3.3 kHz", AbsoluteThreshold(3300), 3.64 * std::pow(3.3, -0.8) - 6.5 + 0.1186,
         1e-3},
        {"spreading at its 250 Hz masker", SpreadingFunction(z250, z250, 60), 59.35, 0.01},
        {"spreading at its 4 kHz masker", SpreadingFunction(z4000, z4000, 0), -4.65, 0.01},
        // Far from the masker the skirts run at 25 dB per Bark below, 13 above.
        {"slope below", SpreadingFunction(10, 2, 0) - SpreadingFunction(10, 1, 0), 25, 0.1},
        {"slope above", SpreadingFunction(10, 18, 0) - SpreadingFunction(10, 19, 0), 13, 0.1},
        {"level adds", SpreadingFunction(5, 7, 30) - SpreadingFunction(5, 7, 0), 30, 1e-9},
        {"mean", Mean(std::vector<double>{2, 4, 4, 4, 5, 5, 7, 9}), 5, 0},
        {"deviation divides by n", StandardDeviation(std::vector<double>{2, 4, 4, 4, 5, 5, 7, 9}),
         2, 1e-12},
        {"mean of none", Mean({}), 0, 0},
    };
    for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, c.tolerance) << c.what;
}

TEST(Psychoacoustics, CriticalBands) {
    const std::pair<int, int> bandOf[] = {{99, -1}, {100, 0}, {199, 0},    {200, 1},
                                          {509, 3}, {510, 4}, {22049, 23}, {22050, -1}};
    for (const auto& [hz, band] : bandOf) EXPECT_EQ(CriticalBandOf(hz), band) << hz << " Hz";
    EXPECT_EQ(CriticalBandCentre(0), 150);
    EXPECT_EQ(CriticalBandCentre(4), 570);
    EXPECT_EQ(CriticalBandCentre(23), 18775);
}

TEST(MaskAnalysis, VowelOfPath) {
    const std::pair<const char*, int> cases[] = {
        {"vowels/1.wav", 1}, {"D:\\x\\5.wav", 5}, {"a/6.wav", 0}, {"0.wav", 0}, {".wav", 0}};
    for (const auto& [path, vowel] : cases) EXPECT_EQ(VowelOfPath(path), vowel) << path;
}

TEST(MaskAnalysis, FundamentalIsTheFirstPeak) {
    struct Case {
        std::vector<int> spectrum;
        int f0;
    } cases[] = {
        {{1, 5, 3, 9, 1, 1, 1, 1, 1, 1, 1}, 10},     // first peak at bin 1, not the largest
        {{9, 5, 4, 8, 2, 1, 1, 1, 1, 1, 1, 1}, 30},  // falling start is no peak
        {{1, 2, 2, 1, 0, 0, 0, 0, 0, 0, 0}, 10},     // a plateau peaks at its first bin
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 10},        // so does silence
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, -1},           // rising to the end
        {{1, 2, 3, 9, 1, 1, 1, 1, 1, 1}, -1},        // peak with k + 7 >= K
        {{}, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(FundamentalFrequency(c.spectrum, 10.0), c.f0);
}

TEST(MaskAnalysis, ThresholdWithoutMaskerIsTheAbsoluteThreshold) {
    const std::array<std::optional<double>, kCriticalBandCount> none{};
    const std::vector<double> t = MaskingThreshold(none, 64, 125.0);
    for (int k = 0; k < 64; ++k) EXPECT_NEAR(t[k], AbsoluteThreshold(int(k * 125.0)), 1e-9) << k;

    // A loud band raises the threshold at its centre to the spread level.
    std::array<std::optional<double>, kCriticalBandCount> one{};
    one[7] = 70.0;  // 920 ... 1080 Hz
    const std::vector<double> raised = MaskingThreshold(one, 64, 125.0);
    const double spread =
        SpreadingFunction(HzToBark(1000), HzToBark(1000), 70.0) - 10 * std::log10(125.0);
    EXPECT_NEAR(raised[8], spread, 0.01);
    EXPECT_GT(raised[8], raised[20]);
}

TEST(MaskAnalysis, BandLevelsSumFromOneHundredHertz) {
    // df = 50: bin 1 (50 Hz) lies below the first band, bins 2 and 3 in band 0.
    const std::vector<std::int64_t> powers{7, 1000, 10, 90, 0, 0};
    const auto levels = BandLevels(powers, 50.0);
    ASSERT_TRUE(levels[0].has_value());
    EXPECT_NEAR(*levels[0], 20.0, 1e-12);  // 10 + 90
    EXPECT_FALSE(levels[1].has_value());   // 200 and 250 Hz carry nothing
    // One bin per band at df = 1000: 1 kHz in band 7, 2 kHz in band 12.
    const auto wide = BandLevels(std::vector<std::int64_t>{5, 100, 1000}, 1000.0);
    ASSERT_TRUE(wide[7] && wide[12]);
    EXPECT_NEAR(*wide[7], 20.0, 1e-12);
    EXPECT_NEAR(*wide[12], 30.0, 1e-12);
    EXPECT_FALSE(wide[0].has_value());
}

// The difference measure written out plainly: threshold floored first, the
// weight sum over the audible bins, then the weighted excess.
double ReferenceD(const MaskSpectra& s, double offset, double a, int snr, bool belowSnr) {
    const int n = s.binCount;
    double sum = 0;
    for (int k = 0; k < n; ++k) {
        const double ath = AbsoluteThreshold(int(k * s.binWidth));
        const double floor = belowSnr ? ath + snr + 1 : ath;
        if (s.maskedLevels[k] >= floor)
            sum += std::pow(a, k * s.binWidth / s.f0) * (s.maskedLevels[k] - snr - 1 - ath);
    }
    const double mean = sum / n;
    double d = 0;
    for (int k = 0; k < n; ++k) {
        const double ath = AbsoluteThreshold(int(k * s.binWidth));
        const double t = std::max(s.threshold[k] + offset, ath);
        if (t > s.maskedLevels[k]) continue;
        const double w = std::pow(a, k * s.binWidth / s.f0) * (s.maskedLevels[k] - snr - 1 - ath);
        if (w / mean > 0) d += w / mean * (s.maskedLevels[k] - t) / n;
    }
    return d;
}

TEST(MaskAnalysis, DifferenceMeasureMatchesAPlainComputation) {
    MaskSpectra s;
    s.binCount = 6;
    s.binWidth = 700.0;  // 0, 700, 1400 ... 3500 Hz
    s.f0 = 700;
    s.maskedLevels = {30, 40, 12, 25, 8, 50};
    s.threshold = {20, 45, 10, 15, 30, 40};
    struct Case {
        double offset, a;
        int snr;
        bool belowSnr;
    } cases[] = {{-6, 0.95, 0, true}, {-6, 0.95, 10, true}, {-3, 0.8, 5, false},
                 {0, 1.0, 0, true},   {4, 0.5, -8, false},  {-0.5, 0.85, 20, false}};
    for (const Case& c : cases) {
        const auto d = DifferenceMeasure(s, {c.offset, c.a, c.snr, c.belowSnr});
        ASSERT_TRUE(d.has_value());
        EXPECT_NEAR(*d, ReferenceD(s, c.offset, c.a, c.snr, c.belowSnr), 1e-9)
            << c.offset << " " << c.a << " " << c.snr;
    }
    s.f0 = -1;
    EXPECT_FALSE(DifferenceMeasure(s, {}).has_value());
    s.f0 = 700;
    s.maskedLevels.assign(6, -50.0);  // nothing audible: nothing weighed
    EXPECT_EQ(*DifferenceMeasure(s, {}), 0.0);
}

class MaskFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(kestrune::testing::WriteVowelKit(Folder())); }
    std::filesystem::path Folder() const { return dir_.Path() / "vowels"; }
    std::string Vowel(int n) const { return VowelFile(Folder().string(), n); }
    ScratchDir dir_;
};

TEST_F(MaskFiles, ConfirmFindsTheFundamentalOfEachVowel) {
    for (int n = 1; n <= 5; ++n) {
        for (const int frame : {512, 1024}) {
            ConfirmInput in{Vowel(1), Vowel(n), 60, 70, frame, 128};
            const ConfirmResult r = Confirm(in);
            ASSERT_TRUE(r.Ok()) << r.message;
            const double df = double(kestrune::testing::kVowelRate) / frame;
            EXPECT_EQ(r.spectra.f0, int(std::round(kestrune::testing::VowelF0(n) / df) * df))
                << "vowel " << n << " frame " << frame;
            EXPECT_EQ(r.spectra.maskedVowel, n);
            EXPECT_EQ(r.spectra.binCount, frame / 2);
            // The masked level moves its curve, not its shape.
            EXPECT_NEAR(r.spectra.maskedLevels[3] - LevelsDb(r.spectra.maskedSpectrum, 0)[3], 70,
                        1e-9);
        }
    }
}

TEST_F(MaskFiles, ConfirmRefusesWhatItCannotUse) {
    const auto silent = dir_.Path() / "silent3.wav";
    kestrune::testing::WriteSamples(silent, std::vector<std::int16_t>(8000, 20));
    const auto click = dir_.Path() / "click3.wav";
    std::vector<std::int16_t> shortSound(8000, 0);
    for (int i = 4000; i < 4060; ++i) shortSound[i] = 9000;  // about 160 samples of sound
    kestrune::testing::WriteSamples(click, shortSound);
    const auto text = dir_.Path() / "text3.wav";
    std::ofstream(text) << "RIFF....NOTAWAVEfile at all, long enough to be read";
    const std::string missing = (dir_.Path() / "none3.wav").string();
    const struct {
        std::string masking, masked, message;
    } cases[] = {
        {missing, Vowel(2), kOpenMaskingFailed},
        {Vowel(2), missing, kOpenMaskedFailed},
        {text.string(), Vowel(2), kNoWaveTag},
        {Vowel(2), text.string(), kNoWaveTag},
        {silent.string(), Vowel(2),
         "The masking file holds no sound (never 50 samples louder than 64 in a row)!"},
        {Vowel(2), click.string(),
         "The sound of the masked file is shorter than one shift of "
         "256 samples!"},
    };
    for (const auto& c : cases) {
        const ConfirmResult r = Confirm({c.masking, c.masked, 60, 60, 512, 256});
        EXPECT_EQ(r.message, c.message) << c.masking << " / " << c.masked;
    }
}

PairAverages AllPairs(double value) {
    PairAverages averages;
    for (auto& row : averages) row.fill(value);
    return averages;
}

TEST_F(MaskFiles, AverageDeWritesOneRowPerMaskingVowel) {
    MaskRunInput in;
    in.vowelFolder = Folder().string();
    in.frameLength = 512;
    in.shift = 128;
    in.averages = AllPairs(-7.6);  // SNR -7 (truncated), masked level 54
    std::vector<MaskProgress> steps;
    const MaskRunResult r = RunMaskAnalysis(in, [&](const MaskProgress& p) {
        steps.push_back(p);
        return true;
    });
    ASSERT_TRUE(r.Ok()) << r.message;
    EXPECT_EQ(r.table.captions,
              (std::vector<std::string>{"masked", "あ", "い", "う", "え", "お", "Avg"}));
    ASSERT_EQ(r.table.rows.size(), 6u);
    EXPECT_EQ(r.table.rows[0], std::vector<std::string>{"masking"});
    ASSERT_EQ(steps.size(), 20u);
    EXPECT_EQ(steps.back().done, 20);
    for (int i = 1; i <= 5; ++i) {
        const auto& row = r.table.rows[i];
        ASSERT_EQ(row.size(), 7u);
        EXPECT_EQ(row[0], VowelName(i));
        EXPECT_EQ(row[i], "0");
        double sum = 0;
        for (int j = 1; j <= 5; ++j) {
            if (j == i) continue;
            // Each cell is the pair's own D, reported as "diff:" when it was computed.
            ConfirmResult pair = Confirm({Vowel(i), Vowel(j), 60, 54, 512, 128});
            const double d = *DifferenceMeasure(pair.spectra, {-6.0, 0.95, -7, true});
            EXPECT_EQ(row[j], FormatF(d)) << i << "," << j;
            EXPECT_EQ(steps[(i - 1) * 4 + (j < i ? j - 1 : j - 2)].line, "diff:" + FormatF(d));
            sum += d;
        }
        EXPECT_EQ(row[6], FormatF(sum / 4));
    }
}

TEST_F(MaskFiles, ARunStopsWhenTheHookSaysSo) {
    MaskRunInput in;
    in.vowelFolder = Folder().string();
    in.frameLength = 512;
    int calls = 0;
    MaskRunResult r = RunMaskAnalysis(in, [&](const MaskProgress&) { return ++calls < 3; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(r.table.rows.empty());
}

TEST_F(MaskFiles, TriesWriteABlockPerParameter) {
    const struct {
        MaskAnalysisKind kind;
        std::size_t blocks;
        const char* firstHeading[3];
    } cases[] = {{MaskAnalysisKind::TryB, 10, {"masking", "b = -0.500000", "a = 0.850000"}},
                 {MaskAnalysisKind::TryA, 7, {"masking", "b = -3.000000", "a = 0.850000"}}};
    for (const auto& c : cases) {
        MaskRunInput in;
        in.kind = c.kind;
        in.vowelFolder = Folder().string();
        in.frameLength = 512;
        in.averages = AllPairs(-5.0);
        const MaskRunResult r = RunMaskAnalysis(in);
        ASSERT_TRUE(r.Ok()) << r.message;
        EXPECT_EQ(r.table.captions.size(), 10u);
        ASSERT_EQ(r.table.rows.size(), 6 * c.blocks);
        EXPECT_EQ(r.table.rows[0], (std::vector<std::string>(c.firstHeading, c.firstHeading + 3)));
        // The fifth vowel row carries the statistics of the 20 values above it.
        std::vector<double> values;
        for (int i = 1; i <= 5; ++i)
            for (int j = 1; j <= 5; ++j)
                if (i != j) values.push_back(std::stod(r.table.rows[i][j]));
        const auto& fifth = r.table.rows[5];
        ASSERT_EQ(fifth.size(), 10u);
        EXPECT_NEAR(std::stod(fifth[7]), Mean(values), 1e-5);
        EXPECT_NEAR(std::stod(fifth[8]), StandardDeviation(values), 1e-5);
        EXPECT_NEAR(std::stod(fifth[9]), StandardDeviation(values) / Mean(values), 1e-5);
    }
}

TEST_F(MaskFiles, DeviationFindsTheFirstOffsetReachingTheLimit) {
    MaskRunInput in;
    in.kind = MaskAnalysisKind::TryDeviation;
    in.vowelFolder = Folder().string();
    in.frameLength = 512;
    in.averages = AllPairs(-4.0);
    const MaskRunResult r = RunMaskAnalysis(in);
    ASSERT_TRUE(r.Ok()) << r.message;
    EXPECT_EQ(r.table.captions.back(), "a=0.800000, b=-3.000000");
    ASSERT_EQ(r.table.rows.size(), 6u);
    for (int i = 1; i <= 5; ++i) {
        for (int j = 1; j <= 5; ++j) {
            if (i == j) continue;
            const double e = std::stod(r.table.rows[i][j]);
            const MaskSpectra s = Confirm({Vowel(i), Vowel(j), 60, 56, 512, 512}).spectra;
            if (e == -100) {
                EXPECT_GT(*DifferenceMeasure(s, {-3.0 + 15.0, 0.8, -4, false}), 2.27);
                continue;
            }
            EXPECT_LE(*DifferenceMeasure(s, {-3.0 + e, 0.8, -4, false}), 2.27) << i << j;
            // One step less is still above the limit (unless e is the first step).
            EXPECT_TRUE(e < -9.85 || *DifferenceMeasure(s, {-3.1 + e, 0.8, -4, false}) > 2.27);
        }
    }
}

}  // namespace
}  // namespace kestrune::analysis
