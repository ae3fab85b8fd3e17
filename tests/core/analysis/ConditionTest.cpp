#include <gtest/gtest.h>

#include "core/analysis/Condition.h"

namespace kestrune::analysis {
namespace {

using Values = std::vector<ConditionValue>;

TEST(ConditionTest, AcceptedConditionsBecomeWhitelistedSqlWithBoundValues) {
    const struct {
        std::string text;
        std::string sql;
        Values values;
    } cases[] = {
        {"", "", {}},
        {kDefaultCondition, "(StatisticalRecord.SRValidity = ?)", {1LL}},
        {"statisticalrecord.srvalidity=1", "(StatisticalRecord.SRValidity = ?)", {1LL}},
        {"SRDutycycle >= 0.25 and SRDutycycle<=.5",
         "(StatisticalRecord.SRDutycycle >= ? AND StatisticalRecord.SRDutycycle <= ?)",
         {0.25, 0.5}},
        {"SRSNR > -5 OR SRSNR < +5e1",
         "(StatisticalRecord.SRSNR > ? OR StatisticalRecord.SRSNR < ?)",
         {-5LL, 50.0}},
        {"SRValidity='1'", "(StatisticalRecord.SRValidity = ?)", {1LL}},
        {"BRContent = 'お' AND (BRRecognise <> 'を' OR NOT BRRecognise != '')",
         "(BasicRecord.BRContent = ? AND (BasicRecord.BRRecognise <> ? OR NOT "
         "BasicRecord.BRRecognise <> ?))",
         {std::string("お"), std::string("を"), std::string("")}},
        {"BROther LIKE '%it''s%' and brother not like 'x_'",
         "(BasicRecord.BROther LIKE ? AND BasicRecord.BROther NOT LIKE ?)",
         {std::string("%it's%"), std::string("x_")}},
        {"BRContent = 5", "(BasicRecord.BRContent = ?)", {std::string("5")}},
        {"BasicRecord.IIID=3 or StatisticalRecord.SRID<>4",
         "(BasicRecord.IIID = ? OR StatisticalRecord.SRID <> ?)",
         {3LL, 4LL}},
        {"SROther is null or BROther IS NOT NULL",
         "(StatisticalRecord.SROther IS NULL OR BasicRecord.BROther IS NOT NULL)",
         {}},
        {"BRContent = '; DROP TABLE BasicRecord; --'",
         "(BasicRecord.BRContent = ?)",
         {std::string("; DROP TABLE BasicRecord; --")}},
    };
    for (const auto& c : cases) {
        const ConditionParse parse = ParseCondition(c.text);
        ASSERT_TRUE(parse.condition) << c.text << ": " << parse.error;
        EXPECT_EQ(parse.condition->sql, c.sql) << c.text;
        EXPECT_EQ(parse.condition->values, c.values) << c.text;
    }
}

TEST(ConditionTest, AnythingElseIsRefusedNamingWhereReadingStopped) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"SRValidity=1; DROP TABLE BasicRecord",
         "Not understood in the other condition at \"; DROP TABLE Bas\": ';' is not part"},
        {"'; DROP TABLE BasicRecord; --", "the quoted text has no closing quote"},
        {"1=1 OR", "at \"1=1 OR\": expected a column name"},
        {"SRValidity=1 OR", "at its end: expected a column name"},
        {"SRValidity=1 -- comment", "at \"-- comment\": '-' is not part"},
        {"SRValidity=1 /* x */", "at \"/* x */\": '/' is not part"},
        {"SRID IN (SELECT SRID FROM StatisticalRecord)", "\"SRID\" is a column of both tables"},
        {"BasicRecord.SRID IN (SELECT 1)", "at \"IN (SELECT 1)\": expected a comparison"},
        {"SRValidity = (SELECT 1)", "at \"(SELECT 1)\": expected a number or a quoted text"},
        {"Password = 'x'", "unknown column \"Password\""},
        {"IndividualInfo.IIID = 1", "unknown table \"IndividualInfo\""},
        {"SRValidity = 'one'", "StatisticalRecord.SRValidity holds numbers"},
        {"SRValidity = 1abc", "\"1abc\" is no number"},
        {"SRRate LIKE '1%'", "StatisticalRecord.SRRate is no text column"},
        {"BRContent LIKE 5", "LIKE takes a quoted text"},
        {"BRTime > 5", "BasicRecord.BRTime is a time"},
        {"BRContent = 'open", "at \"'open\": the quoted text has no closing quote"},
        {"(SRValidity = 1", "at its end: expected ')'"},
        {"SRValidity = 1)", "at \")\": expected AND, OR or the end"},
        {"`SRValidity` = 1", "'`' is not part"},
        {"SRValidity = 1 || 'x'", "'|' is not part"},
        {std::string(100, '(') + "SRValidity=1" + std::string(100, ')'), "nests too deeply"},
    };
    for (const auto& c : cases) {
        const ConditionParse parse = ParseCondition(c.text);
        EXPECT_FALSE(parse.condition) << c.text;
        EXPECT_NE(parse.error.find(c.error), std::string::npos) << c.text << " -> " << parse.error;
        EXPECT_EQ(parse.error.rfind("Not understood in the other condition at", 0), 0u) << c.text;
    }
}

TEST(ConditionTest, DutyFieldsAreNumbersOrBlank) {
    const std::pair<std::string, std::optional<double>> accepted[] = {
        {"", std::nullopt}, {"  ", std::nullopt}, {"0.25", 0.25}, {" 1 ", 1.0},
        {"0", 0.0},         {"+.5", 0.5},         {"5e-1", 0.5}};
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(ParseDutyField(text, "start duty cycle", nullptr),
                  std::optional<std::optional<double>>(value))
            << text;
    for (const std::string text :
         {"0.25 OR 1=1", "'0.25'", "0.25; DROP TABLE x", "nan", "inf", "0,25", "1 --"}) {
        std::string error;
        EXPECT_FALSE(ParseDutyField(text, "stop duty cycle", &error)) << text;
        EXPECT_EQ(error, "The stop duty cycle must be a number, not \"" + text + "\"");
    }
}

}  // namespace
}  // namespace kestrune::analysis
