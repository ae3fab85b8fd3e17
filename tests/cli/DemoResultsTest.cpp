// kestrune-cli demo results on both engines: the rows a small station's
// scenarios give, the same rows for the same seed, the refusal of a second
// run, and the command line.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/DemoResults.h"
#include "store/StoreFixture.h"

namespace kestrune::cli {
namespace {

using namespace kestrune::store::testing;

// Pairs (masking, masked) of the practice run; every pair in the tests.
std::string VowelIni(const char* type, int separationBegin) {
    std::string text =
        "[INFO]\nTESTTYPE=NEWSYLLABLEMASKING\nFILEPATH=vowels\\\n[DATA]\nVOLUME=60\n"
        "INTERVAL=-3\nMISSPERMISSION=1\nONEPLAYTIMES=1\nTWOPLAYTIMES=1\nTYPE=" +
        std::string(type) + "\n";
    const bool practice = std::string(type) == "TRY";
    for (int i = 1; i <= 5; ++i) {
        text += "[DATA" + std::to_string(i) + "]\n";
        for (int j = 1; j <= 5; ++j) {
            const bool played = !practice || (i == 1 && j == 2) || (i == 3 && j == 3);
            const int begin = i == j ? separationBegin - 6 : separationBegin;
            text += "BEGIN" + std::to_string(j) + "=" + std::to_string(played ? begin : -30) +
                    "\nEND" + std::to_string(j) + "=" + std::to_string(begin - 18) + "\n";
        }
    }
    return text;
}

class DemoResultsTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        station_.Write("syllable.ini", std::string("[INFO]\nTESTTYPE=SYLLABLE\nTOTAL=2\nTYPE=TEST\n"
                                                   "[DATA1]\nCYCLE=100\nDUTYCYCLE=0.5\nBEGIN=1\n"
                                                   "END=10\nNUMBER=4\n[DATA2]\nCYCLE=50\nDUTYCYCLE="
                                                   "0.7\nBEGIN=47\nEND=71\nNUMBER=3\n"));
        station_.Write("configtry.ini", VowelIni("TRY", 0));
        station_.Write("config1.ini", VowelIni("TEST", -9));
        station_.Write("config2.ini", VowelIni("TEST", -3));
    }
    DemoOutcome Write(std::uint32_t seed, int subjects) {
        std::string error;
        const auto scenarios = ReadDemoScenarios(station_.Path().string(), &error);
        EXPECT_TRUE(scenarios) << error;
        const auto db = Open();
        return WriteDemoResults(*db, *scenarios, {seed, subjects});
    }
    // Every row of every table, sorted: what a run left in the database.
    std::vector<std::string> Dump() {
        const auto db = Open();
        std::vector<std::string> rows;
        for (const QString& table : store::Database::TableNames()) {
            for (const store::Row& row : Rows(*db, "SELECT * FROM " + table)) {
                std::string text = S(table);
                for (int c = 0; c < row.Size(); ++c) text += "|" + S(row.At(c).toString());
                rows.push_back(text);
            }
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    kestrune::testing::ScratchDir station_;
};

TEST_P(DemoResultsTest, TheTestsRowsForASmallStation) {
    const DemoOutcome outcome = Write(3, 2);
    ASSERT_FALSE(outcome.error) << S(outcome.error->Text());
    const DemoSummary& s = outcome.summary;
    const auto db = Open();
    // Two subjects, the first with a training run: three runs of two items.
    EXPECT_EQ(Count(*db, "IndividualInfo"), 3);  // and the practice subject
    EXPECT_EQ(std::tuple(s.subjects, s.syllableItems, s.syllableTrials), std::tuple(2, 6, 21));
    std::map<int, int> validities;
    for (const store::Row& r : Rows(*db, "SELECT SRValidity, SRType FROM StatisticalRecord"))
        validities[static_cast<int>(r.Int("SRValidity") * 10 + r.Int("SRType"))] += 1;
    EXPECT_EQ(validities, (std::map<int, int>{{12, 2}, {22, 3}, {52, 1}}));
    // Practice answers only for its two pairs.
    EXPECT_EQ(Count(*db, "NewSyllableMaskRecord"), s.vowelAnswers);
    const char* practice =
        "SELECT COUNT(DISTINCT NSMRMaskingContent || NSMRMaskedContent) FROM "
        "NewSyllableMaskRecord WHERE NSMRValidity = 2";
    EXPECT_EQ(Scalar(*db, practice).toInt(), 2);
    // The averages are those of the subjects' last misses.
    std::map<std::string, std::vector<double>> misses;
    for (const store::Row& r : Rows(*db,
                                    "SELECT * FROM NewSyllableMaskRecord WHERE NSMRState = 0 "
                                    "AND NSMRValidity = 1"))
        misses[S(r.Text("NSMRMaskingContent") + r.Text("NSMRMaskedContent"))].push_back(
            r.Real("NSMRSNR"));
    const auto averages = Rows(*db, "SELECT * FROM StatisticalSyllableMaskRecord");
    EXPECT_EQ(averages.size(), misses.size());
    EXPECT_GE(misses.size(), 20u);
    EXPECT_EQ(s.pairAverages, static_cast<int>(averages.size()));
    for (const store::Row& r : averages) {
        const auto& levels = misses[S(r.Text("SSMRMaskingcontent") + r.Text("SSMRMaskedcontent"))];
        double sum = 0;
        for (const double l : levels) sum += l;
        EXPECT_DOUBLE_EQ(r.Real("SSMRSNR"), sum / levels.size());
        EXPECT_LT(r.Real("SSMROther"), 7.0);
    }
}

TEST_P(DemoResultsTest, TheSameSeedWritesTheSameRowsASecondRunNothing) {
    ASSERT_FALSE(Write(5, 2).error);
    const std::vector<std::string> first = Dump();
    const DemoOutcome again = Write(5, 2);
    EXPECT_EQ(again.refused,
              "the database already holds 2 demo subjects (DEMO-01 ...); nothing "
              "was written");
    EXPECT_EQ(Dump(), first);
    NewDatabase();
    ASSERT_FALSE(Write(5, 2).error);
    EXPECT_EQ(Dump(), first);
    NewDatabase();
    ASSERT_FALSE(Write(6, 2).error);
    EXPECT_NE(Dump(), first);
}

TEST_P(DemoResultsTest, TheCommandLine) {
    const std::string url = S(ChildUrl(Location()));
    const std::string station = station_.Path().string();
    struct Case {
        std::vector<std::string> args;
        int status;  ///< 3: exit status 2 after removing config2.ini
        std::string out, err;
    };
    const std::string prefix = "kestrune-cli: demo results: ";
    const Case cases[] = {
        {{"--subjects", "0"}, 2, "", prefix + "--subjects takes 1 ... 20, not '0'"},
        {{"--seed", "-1"}, 2, "", prefix + "--seed takes a whole number"},
        {{"--seed"}, 2, "", prefix + "--seed needs a value"},
        {{"--count", "1"}, 2, "", prefix + "takes [--seed N] [--subjects N], not '--count'"},
        {{"--subjects", "1"}, 0, "demo results: 1 subject, 4 interrupted speech items (14 ", ""},
        {{}, 2, "", prefix + "the database already holds 1 demo subject (DEMO-01 ...)"},
        // 3: with config2.ini gone first.
        {{}, 3, "", prefix + "config2.ini cannot be read in " + station},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--station", station, "--database",
                                         url,         "demo",  "results"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.status == 3) std::filesystem::remove(station_.File("config2.ini"));
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run(args, out, err), std::min(c.status, 2)) << err.str();
        EXPECT_EQ(out.str().substr(0, c.out.size()), c.out);
        EXPECT_EQ(err.str().substr(0, c.err.size()), c.err);
    }
    EXPECT_EQ(Count(*Open(), "IndividualInfo"), 2);  // the practice subject and one demo subject
}

INSTANTIATE_TEST_SUITE_P(Engines, DemoResultsTest,
                         ::testing::Values(store::Engine::Sqlite, store::Engine::Postgres),
                         EngineName);

}  // namespace
}  // namespace kestrune::cli
