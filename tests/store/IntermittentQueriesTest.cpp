// The intermittent and training analyses on both engines, over rows written
// by the store's result functions from a seeded loop; the expected numbers
// are counted from the test's own list of what it wrote.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "StoreFixture.h"
#include "store/IntermittentQueries.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::store::testing {
namespace {

using analysis::FormatF;

class IntermittentQueriesTest : public OpenStoreTest {
  protected:
    qint64 AddSubject(int birthYear) {
        return Must(SubjectRegistry(*db).Add({.name = kName, .birthYear = birthYear}));
    }
    std::vector<qint64> Counts() {
        std::vector<qint64> counts;
        for (const QString& table : Database::TableNames()) counts.push_back(Count(*db, table));
        return counts;
    }
    const QString kName = QStringLiteral("O'Brien'); DROP TABLE BasicRecord; --");
};

TEST_P(IntermittentQueriesTest, RecognitionOfKeptItemsByDutyCycleAndYearBand) {
    // Played kana -> the answers that are right; a kana not listed is not counted.
    const std::map<std::string, std::string> right = {{"か", "かが"}, {"が", "がか"}, {"あ", "あ"},
                                                      {"ば", "ばは"}, {"きゃ", ""},   {"ぱ", ""},
                                                      {"を", ""}};
    const std::vector<std::string> answers = {"か", "が", "あ", "き", "は", "ば", "' OR 1=1 --"};
    struct Written {
        int year;
        double duty;
        int validity;
        std::string played, answered;
    };
    std::vector<Written> written;
    std::mt19937 random(2024);
    for (const int year : {1940, 1955, 1962, 1975}) {
        const qint64 subject = AddSubject(year);
        for (int item = 0; item < 6; ++item) {
            const double duty = item % 2 ? 0.5 : 0.25;
            const int validity = std::vector{1, 2, 5, 0, 1, 2}[(item + year) % 6];  // 0: unfinished
            const qint64 srid = Must(StartSessionItem(
                *db, {.subjectId = subject, .type = 2, .number = 6, .dutyCycle = duty}));
            for (int trial = 0; trial < 6; ++trial) {
                auto played = std::next(right.begin(), random() % right.size())->first;
                const std::string answer = answers[random() % answers.size()];
                Must(AddTrial(
                    *db, {subject, srid, "2024-05-01 10:20:30", 1.5, QString::fromStdString(played),
                          QString::fromStdString(answer), kName}));
                written.push_back({year, duty, validity, played, answer});
            }
            if (validity != 0) Must(FinishSessionItem(*db, srid, 30, 6, validity));
        }
    }
    const std::vector<qint64> before = Counts();
    const char* filters[][3] = {{"", "", ""},         {"0.5", "", ""},  {"", "1950", "1970"},
                                {"0.25", "1962", ""}, {"0.75", "", ""}, {"0.5", "1976", "1989"}};
    for (const auto& [duty, from, to] : filters) {
        analysis::IntermittentFilter filter;
        std::string error;
        ASSERT_TRUE(analysis::ReadIntermittentFilter(duty, from, to, &filter, &error));
        analysis::RecognitionCount expected;
        for (const Written& w : written) {
            if ((w.validity != 1 && w.validity != 2) || right.at(w.played).empty() ||
                (*duty && w.duty != std::stod(duty)) || (*from && w.year < std::stoi(from)) ||
                (*to && w.year > std::stoi(to)))
                continue;
            ++expected.total;
            expected.correct += right.at(w.played).find(w.answered) != std::string::npos;
        }
        EXPECT_EQ(analysis::CountRecognised(Must(ReadIntermittentTrials(*db, filter))), expected)
            << duty << "|" << from << "|" << to;
    }
    EXPECT_EQ(Counts(), before);
}

TEST_P(IntermittentQueriesTest, TrainingFindsThePassingAnswerOneStepAboveTheFailingOne) {
    const int step = 3;
    const qint64 subject = AddSubject(1960), other = AddSubject(1961);
    std::mt19937 random(11);
    const auto add = [&](qint64 who, const std::string& masking, const std::string& masked,
                         int level, double state, int validity, double seconds, const char* time) {
        VowelAnswerRow row{.subjectId = who, .time = time, .snr = level, .state = state};
        row.maskingContent = QString::fromStdString(masking), row.validity = validity;
        row.maskedContent = QString::fromStdString(masked), row.duration = QString::number(seconds);
        Must(AddVowelAnswer(*db, row));
    };
    double levels[2] = {}, pass[2] = {}, fail[2] = {};
    for (const std::string& i : analysis::TrainingVowels()) {
        for (const std::string& j : analysis::TrainingVowels()) {
            const int f = i == "あ" && j == "い" ? -24 : -30 + static_cast<int>(random() % 25);
            const double failTime = 0.5 + random() % 300 / 100.0, passTime = random() % 300 / 100.0;
            // Decoys: other subject, validity, levels, a later failure, a widening text.
            add(other, i, j, f + step, 1, 1, 7.5, "2024-05-01 09:00:00");
            add(subject, i, j, f - step, 0, 3, 6.5, "2024-05-01 09:59:00");
            add(subject, i, j, f, 1, 1, 9.0, "2024-05-01 10:00:00");
            add(subject, i, j, f + 2 * step, 1, 1, 8.0, "2024-05-01 10:00:00");
            add(subject, i + "' OR '1'='1", j, f + step, 1, 1, 5.5, "2024-05-01 10:00:00");
            if (i == "え" && j == "あ") continue;  // never ended
            add(subject, i, j, f, 0, 1, failTime, "2024-05-01 10:00:01");
            add(subject, i, j, f - 1, 0, 1, 4.5, "2024-05-02 10:00:00");
            const int same = i == j;
            levels[same] += f + step;
            fail[same] += failTime;
            if (i == "お" && j == "お") continue;  // no passing answer
            add(subject, i, j, f + step, 1, 1, passTime, "2024-05-01 10:00:02");
            pass[same] += passTime;
        }
    }
    const std::vector<qint64> before = Counts();
    const auto outcome = AnalyseTraining(Must(ReadTrainingInputs(*db, subject, step)), step);
    EXPECT_EQ(outcome.table.rows.at(0),
              (std::vector<std::string>{kName.toStdString(), FormatF(levels[0] / 19 - 1),
                                        FormatF(levels[1] / 5 - 1), FormatF(pass[0] / 19),
                                        FormatF(pass[1] / 5), FormatF(fail[0] / 19),
                                        FormatF(fail[1] / 5)}));
    const std::string id = "Subject=" + std::to_string(subject);
    EXPECT_EQ(outcome.messages,
              (std::vector<std::string>{id + ",Masking=え,Masked=あ has no failing answer!",
                                        id + ",Masking=お,Masked=お is not found!"}));
    EXPECT_EQ(Counts(), before);
    EXPECT_FALSE(Must(ReadTrainingInputs(*db, 999999, step)).subjectName);
}

INSTANTIATE_TEST_SUITE_P(Engines, IntermittentQueriesTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
