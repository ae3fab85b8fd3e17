// The mask analysis's averages on both engines: a seeded set of vowel
// answers and statistics rows whose averages the test sums up itself, the
// analysis 1 table over them, and numbers with SQL in them refused.

#include <gtest/gtest.h>

#include <map>

#include "StoreFixture.h"
#include "core/analysis/MaskVowels.h"
#include "store/MaskQueries.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::store::testing {
namespace {

using analysis::kVowelNames;

class MaskQueryTest : public OpenStoreTest {
  protected:
    struct Answer {
        qint64 subject;
        int year, masking, masked, snr, validity;
        double state;
    };

    // Subjects born 1975 ... 1990 and 300 answers of them, drawn from a seeded sequence.
    void Fill() {
        std::uint32_t x = 12345;
        auto next = [&x](int n) {
            x = x * 1103515245u + 12345u;
            return int((x >> 16) % unsigned(n));
        };
        std::vector<std::pair<qint64, int>> subjects;
        for (int year = 1975; year <= 1990; year += 3) {
            Subject s;
            s.name = QStringLiteral("S%1").arg(year);
            s.birthYear = year;
            subjects.emplace_back(Must(SubjectRegistry(*db).Add(s)), year);
        }
        for (int n = 0; n < 300; ++n) {
            const auto& [id, year] = subjects[std::size_t(next(int(subjects.size())))];
            Answer a{id, year, next(5), next(5), next(26) - 20, next(3) ? 1 : 3, next(3) * 0.5};
            VowelAnswerRow row;
            row.subjectId = a.subject;
            row.time = QStringLiteral("2024-05-01 10:20:30");
            row.maskingContent = QString::fromUtf8(kVowelNames[a.masking]);
            row.maskedContent = QString::fromUtf8(kVowelNames[a.masked]);
            row.snr = a.snr;
            row.state = a.state;
            row.validity = a.validity;
            Must(AddVowelAnswer(*db, row));
            answers.push_back(a);
        }
        for (int n = 0; n < 120; ++n) {
            const int masking = next(5), masked = next(5), other = next(10);
            const double snr = next(200) / 10.0 - 15.0;
            Must(db->Execute({"INSERT INTO StatisticalSyllableMaskRecord VALUES (?, ?, ?, ?)",
                              {QString::fromUtf8(kVowelNames[masking]),
                               QString::fromUtf8(kVowelNames[masked]), snr, other}}));
            if (other < 7) statistics[{masking, masked}].push_back(snr);
        }
    }

    // The plain average of what `keep` accepts for each pair.
    template <typename Keep>
    analysis::PairAverages Expected(Keep keep) const {
        std::map<std::pair<int, int>, std::vector<double>> kept;
        for (const Answer& a : answers)
            if (a.state == 0 && a.validity == 1 && keep(a))
                kept[{a.masking, a.masked}].push_back(a.snr);
        return Averages(kept);
    }

    static analysis::PairAverages Averages(
        const std::map<std::pair<int, int>, std::vector<double>>& kept) {
        analysis::PairAverages averages{};
        for (const auto& [pair, values] : kept)
            averages[pair.first][pair.second] = analysis::Mean(values);
        return averages;
    }

    static void ExpectSame(const analysis::PairAverages& got, const analysis::PairAverages& want) {
        for (int i = 0; i < 5; ++i) {
            for (int j = 0; j < 5; ++j) {
                ASSERT_EQ(got[i][j].has_value(), want[i][j].has_value()) << i << "," << j;
                EXPECT_NEAR(got[i][j].value_or(0), want[i][j].value_or(0), 1e-9) << i << "," << j;
            }
        }
    }

    std::vector<Answer> answers;
    std::map<std::pair<int, int>, std::vector<double>> statistics;
};

TEST_P(MaskQueryTest, AveragesArePerPairOverTheRowsThatCount) {
    Fill();
    MaskQueryParams params;
    params.ageFrom = QStringLiteral("1978");
    params.ageTo = QStringLiteral(" 1987 ");
    ExpectSame(Must(MaskPairAverages(*db, MaskQuery::ByAge, params)),
               Expected([](const Answer& a) { return a.year >= 1978 && a.year <= 1987; }));
    ExpectSame(Must(MaskPairAverages(*db, MaskQuery::Statistical, params)), Averages(statistics));
    const qint64 subject = answers[5].subject;
    params.subject = QString::number(subject);
    ExpectSame(Must(MaskPairAverages(*db, MaskQuery::BySubject, params)),
               Expected([subject](const Answer& a) { return a.subject == subject; }));
}

TEST_P(MaskQueryTest, AnalysisOneTableFromTheDatabase) {
    Fill();
    kestrune::testing::ScratchDir dir;
    ASSERT_TRUE(kestrune::testing::WriteVowelKit(dir.Path() / "vowels"));
    analysis::MaskRunInput input;
    input.vowelFolder = (dir.Path() / "vowels").string();
    input.frameLength = 512;
    input.averages = Must(MaskPairAverages(*db, MaskQuery::ByAge, {}));
    const analysis::MaskRunResult result = analysis::RunMaskAnalysis(input);
    ASSERT_TRUE(result.Ok()) << result.message;
    EXPECT_EQ(result.table.captions.size(), 7u);
    ASSERT_EQ(result.table.rows.size(), 6u);  // "masking" and five vowels: 7 with the header
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(result.table.rows[i].size(), 7u);
}

TEST_P(MaskQueryTest, NumbersWithSqlInThemAreRefused) {
    Fill();
    const qint64 before = Count(*db, "NewSyllableMaskRecord");
    const QString attempts[] = {"1978; DROP TABLE BasicRecord; --",
                                "1=1 OR",
                                "1978 --",
                                "1978 /* */",
                                "(SELECT 1)",
                                "",
                                "19.5"};
    for (const QString& attempt : attempts) {
        for (const MaskQuery query : {MaskQuery::ByAge, MaskQuery::BySubject}) {
            MaskQueryParams params;
            (query == MaskQuery::ByAge ? params.ageTo : params.subject) = attempt;
            const auto result = MaskPairAverages(*db, query, params);
            ASSERT_FALSE(result.Ok()) << S(attempt);
            EXPECT_EQ(result.error->kind, FailureKind::Refused);
            EXPECT_TRUE(result.error->message.contains(QStringLiteral("is not a whole number")))
                << S(result.error->message);
        }
    }
    // Vowel names are values: an attempt in one finds nothing and changes nothing.
    const auto odd = Must(MaskAverage(*db, MaskQuery::Statistical, {},
                                      QStringLiteral("あ' OR '1'='1"), QStringLiteral("い")));
    EXPECT_FALSE(odd.has_value());
    EXPECT_EQ(Count(*db, "NewSyllableMaskRecord"), before);
    EXPECT_EQ(Count(*db, "BasicRecord"), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, MaskQueryTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
