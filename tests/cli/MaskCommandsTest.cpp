// kestrune-cli analyse mask: the table core computes for the station's
// vowels and database, the options that change it, and bad input refused.

#include <gtest/gtest.h>

#include <sstream>

#include "StationDatabase.h"
#include "cli/Commands.h"
#include "core/analysis/MaskVowels.h"
#include "store/MaskQueries.h"
#include "support/ScratchDir.h"
#include "support/VowelAnswers.h"

namespace kestrune::cli {
namespace {

TEST(MaskCommandsTest, WritesTheCoreTableAndRefusesBadInput) {
    kestrune::testing::ScratchDir scratch;
    const std::string station = (scratch.Path() / "st").string();
    ASSERT_TRUE(kestrune::testing::WriteVowelKit(scratch.Path() / "st" / "vowels"));
    analysis::MaskRunInput input;
    input.vowelFolder = analysis::VowelFolder(station);
    input.frameLength = 512;
    input.shift = 128;
    ASSERT_NO_FATAL_FAILURE(
        kestrune::testing::WithStationDatabase(station, [&](store::Database& db) {
            ASSERT_TRUE(kestrune::testing::AddVowelAnswers(db, 1980, 1));
            input.averages = store::MaskPairAverages(db, store::MaskQuery::ByAge, {}).value;
        }));
    const std::string table = analysis::ToCsv(analysis::RunMaskAnalysis(input).table);

    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, errStart;
    } cases[] = {
        {{"average", "--frame", "512", "--shift", "128"}, kExitOk, table, "diff:"},
        // A year range without the subject: no averages, so every pair keeps 60 / 60 dB.
        {{"average", "--frame", "512", "--shift", "128", "--age-from", "1990", "--age-to", "1999"},
         kExitOk,
         "",
         "Read database error! (あ / い)"},
        {{"average", "--vowels", station},
         kExitFailed,
         "",
         "kestrune-cli: analyse mask average: "
         "Open masking file failed!"},
        {{"de", "--frame", "512"}, kExitUsage, "", "kestrune-cli: analyse mask de: --subject ID"},
        {{"average", "--age-from", "1980 OR 1=1"},
         kExitFailed,
         "",
         "kestrune-cli: analyse mask average: The lower age bound \"1980 OR 1=1\" is not"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--station", station, "analyse", "mask"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(cli::Run(args, out, err), c.status) << c.args[0] << " " << err.str();
        if (!c.out.empty()) {
            EXPECT_EQ(out.str(), c.out);
        }
        EXPECT_EQ(err.str().rfind(c.errStart, 0), 0u) << err.str();
    }
}

}  // namespace
}  // namespace kestrune::cli
