// The kana analyses on both engines, on trials written by the interrupted
// speech test's own store functions: the tables equal the ones built from
// the generated trials the restriction keeps, and no field can reach the
// database as SQL.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "StoreFixture.h"
#include "core/kana/KanaTable.h"
#include "store/KanaQueries.h"
#include "store/Results.h"

namespace kestrune::store::testing {
namespace {

struct Trial {
    analysis::KanaPair pair;
    double duty = 0;
    int validity = 0;
};

class KanaQueriesTest : public OpenStoreTest {
  protected:
    // Items of every duty cycle and validity, their trials drawn from a
    // seeded generator: played お, きゃ, を or any kana; answered right, any
    // kana, を, empty, or no kana at all.
    void Fill(unsigned seed) {
        std::mt19937 random(seed);
        const auto pick = [&](int below) { return static_cast<int>(random() % below); };
        const double duties[] = {0.0, 0.25, 0.5, 0.75};
        for (int item = 0; item < 10; ++item) {
            const SessionItemRow row{1 + item % 3, 0, 0, 2, 40, 0, 0, 0, 0, duties[pick(4)]};
            const int validity = pick(3);
            const qint64 id = Must(StartSessionItem(*db, row));
            for (int i = 0; i < row.number; ++i) {
                const char* played[] = {"お", "きゃ", "を"};
                Trial trial{{}, row.dutyCycle, validity};
                trial.pair.played =
                    pick(2) ? played[pick(3)] : SyllableToKana(1 + pick(kKanaCount));
                const std::string odd[] = {"を", "", "zz", SyllableToKana(1 + pick(kKanaCount))};
                trial.pair.answered = pick(2) ? *trial.pair.played : odd[pick(4)];
                Must(AddTrial(*db, {row.subjectId, id, QStringLiteral("2024-05-01 10:00:00"), 1.5,
                                    QString::fromStdString(*trial.pair.played),
                                    QString::fromStdString(*trial.pair.answered), QString()}));
                trials_.push_back(trial);
            }
            Must(FinishSessionItem(*db, id, 60, row.number, validity));
        }
    }

    std::vector<analysis::KanaPair> Kept(const std::function<bool(const Trial&)>& keep) const {
        std::vector<analysis::KanaPair> kept;
        for (const Trial& trial : trials_)
            if (keep(trial)) kept.push_back(trial.pair);
        return kept;
    }

    std::vector<std::pair<QString, qint64>> Counts() { return Must(db->TableCounts()); }

    std::vector<Trial> trials_;
};

TEST_P(KanaQueriesTest, TablesAreThoseOfTheTrialsTheFieldsKeep) {
    Fill(11);
    using Kind = KanaAnalysisKind;
    const QString byDefault = QString::fromUtf8(analysis::kDefaultCondition);
    const struct {
        KanaAnalysisRequest request;
        std::function<bool(const Trial&)> keep;
    } cases[] = {
        {{Kind::Data, "お", "", "", byDefault}, [](const Trial& t) { return t.validity == 1; }},
        {{Kind::Data, "きゃ", "0.25", "", byDefault},
         [](const Trial& t) { return t.validity == 1 && t.duty >= 0.25; }},
        {{Kind::Data, "を", "0", " 0.5 ", ""},
         [](const Trial& t) { return t.duty >= 0 && t.duty <= 0.5; }},
        {{Kind::Segment, "", "", "", ""}, [](const Trial&) { return true; }},
        {{Kind::Row, "", "0.25", "0.75", "SRValidity = 2 OR BRRecognise = 'を'"},
         [](const Trial& t) {
             return t.duty >= 0.25 && t.duty <= 0.75 &&
                    (t.validity == 2 || t.pair.answered == "を");
         }},
        {{Kind::Row, "", "", "0", "NOT (BRContent LIKE '%ゃ%')"},
         [](const Trial& t) {
             return t.duty <= 0 && t.pair.played->find("ゃ") == std::string::npos;
         }},
    };
    for (const auto& c : cases) {
        const KanaAnalysisOutcome outcome = RunKanaAnalysis(*db, c.request);
        const std::string label = S(c.request.kana + "|" + c.request.dutyFrom + "|" +
                                    c.request.dutyTo + "|" + c.request.other);
        ASSERT_EQ(outcome.status, KanaAnalysisOutcome::Status::Done) << label << S(outcome.message);
        const std::vector<analysis::KanaPair> kept = Kept(c.keep);
        ASSERT_FALSE(kept.empty()) << label;
        const analysis::ResultTable expected =
            c.request.kind == Kind::Segment ? analysis::SegmentTable(kept)
            : c.request.kind == Kind::Row   ? analysis::RowTable(kept)
                                            : analysis::KanaDataTable(analysis::CountAnswers(
                                                  c.request.kana.toStdString(), kept));
        EXPECT_EQ(outcome.table, expected) << label;
    }
}

TEST_P(KanaQueriesTest, NoFieldReachesTheDatabaseAsSql) {
    Fill(5);
    const auto before = Counts();
    using Status = KanaAnalysisOutcome::Status;
    const QString attacks[] = {"'; DROP TABLE BasicRecord; --",
                               "1=1 OR",
                               "0 OR 1=1",
                               "0; DELETE FROM StatisticalRecord",
                               "SRValidity=1 -- ",
                               "SRValidity=1 /* x */",
                               "BasicRecord.SRID IN (SELECT SRID FROM StatisticalRecord)",
                               "x' OR '1'='1"};
    for (const QString& attack : attacks) {
        for (const KanaAnalysisKind kind :
             {KanaAnalysisKind::Data, KanaAnalysisKind::Segment, KanaAnalysisKind::Row}) {
            // field: 0 kana, 1 start, 2 stop, 3 other condition
            for (int field = 0; field < 4; ++field) {
                KanaAnalysisRequest request{kind, "お", "", "", ""};
                QString* target[] = {&request.kana, &request.dutyFrom, &request.dutyTo,
                                     &request.other};
                *target[field] = attack;
                const KanaAnalysisOutcome outcome = RunKanaAnalysis(*db, request);
                const std::string label = S(attack) + " in field " + std::to_string(field);
                if (field == 0 && kind == KanaAnalysisKind::Data) {
                    // The kana is a bound value: no trial played that text.
                    EXPECT_EQ(outcome.status, Status::NoResult) << label;
                    EXPECT_EQ(outcome.message, "No result was collected!");
                } else if (field > 0) {
                    EXPECT_EQ(outcome.status, Status::Refused) << label;
                    EXPECT_TRUE(
                        outcome.message.startsWith(field == 3 ? "Not understood in the " : "The "))
                        << label << S(outcome.message);
                }
            }
        }
    }
    EXPECT_EQ(Counts(), before);
}

INSTANTIATE_TEST_SUITE_P(Engines, KanaQueriesTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
