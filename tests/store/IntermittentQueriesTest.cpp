// The interrupted speech and the training analyses on both engines, over
// databases written by the store's own result functions from a seeded loop;
// the expected numbers are counted here from the test's own list of what it
// wrote.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "StoreFixture.h"
#include "store/IntermittentQueries.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::store::testing {
namespace {

class IntermittentQueriesTest : public OpenStoreTest {
  protected:
    qint64 AddSubject(const QString& name, int birthYear) {
        Subject subject;
        subject.name = name;
        subject.birthYear = birthYear;
        return Must(SubjectRegistry(*db).Add(subject));
    }
    std::vector<qint64> Counts() {
        std::vector<qint64> counts;
        for (const QString& table : Database::TableNames()) counts.push_back(Count(*db, table));
        return counts;
    }
};

const QString kDrop = QStringLiteral("'; DROP TABLE BasicRecord; --");

// What the test wrote for one trial.
struct Written {
    int birthYear;
    double dutyCycle;
    int validity;  // 0: the item never ended
    std::string played, answered;
};

// The answers that count as right for a played kana; not listed: not counted.
bool Expected(const std::string& played, const std::string& answered, bool* right) {
    const std::map<std::string, std::set<std::string>> accepted = {{"か", {"か", "が"}},
                                                                   {"が", {"が", "か"}},
                                                                   {"あ", {"あ"}},
                                                                   {"ん", {"ん"}},
                                                                   {"ば", {"ば", "は"}}};
    const auto found = accepted.find(played);
    if (found == accepted.end()) return false;
    *right = found->second.count(answered) > 0;
    return true;
}

TEST_P(IntermittentQueriesTest, RecognitionOfKeptItemsByDutyCycleAndYearBand) {
    std::mt19937 random(2024);
    const std::vector<std::string> played = {"か", "が", "あ", "ん", "きゃ", "ぱ", "を", "ば"};
    const std::vector<std::string> answers = {
        "か", "が", "あ", "き", "ん", "きゃ", "は", "ば", kDrop.toStdString()};
    std::vector<Written> written;
    const int years[] = {1940, 1955, 1962, 1975, 1990};
    for (const int year : years) {
        const qint64 subject =
            AddSubject(QStringLiteral("O'Brien'); DROP TABLE IndividualInfo; --"), year);
        for (int item = 0; item < 6; ++item) {
            SessionItemRow row;
            row.subjectId = subject;
            row.type = 2;
            row.number = 6;
            row.dutyCycle = item % 2 == 0 ? 0.25 : 0.5;
            const qint64 srid = Must(StartSessionItem(*db, row));
            for (int trial = 0; trial < 6; ++trial) {
                const std::string content = played[random() % played.size()];
                const std::string answer = answers[random() % answers.size()];
                Must(AddTrial(
                    *db, {subject, srid, QStringLiteral("2024-05-01 10:20:30"), 1.5,
                          QString::fromStdString(content), QString::fromStdString(answer), kDrop}));
                written.push_back({year, row.dutyCycle, 0, content, answer});
            }
            const int validity = std::vector<int>{1, 2, 5, 0, 1, 2}[(item + year) % 6];
            if (validity != 0) Must(FinishSessionItem(*db, srid, 30, 6, validity));
            for (std::size_t k = written.size() - 6; k < written.size(); ++k)
                written[k].validity = validity;
        }
    }
    const std::vector<qint64> before = Counts();

    const struct {
        const char *duty, *from, *to;
    } filters[] = {
        {"", "", ""},     {"0.5", "", ""},  {"", "1950", "1970"},    {"0.25", "1962", ""},
        {"", "", "1955"}, {"0.75", "", ""}, {"0.5", "1976", "1989"},
    };
    for (const auto& f : filters) {
        analysis::IntermittentFilter filter;
        std::string error;
        ASSERT_TRUE(analysis::ReadIntermittentFilter(f.duty, f.from, f.to, &filter, &error));
        analysis::RecognitionCount expected;
        for (const Written& w : written) {
            bool right = false;
            if (w.validity != 1 && w.validity != 2) continue;
            if (*f.duty && w.dutyCycle != std::stod(f.duty)) continue;
            if (*f.from && w.birthYear < std::stoi(f.from)) continue;
            if (*f.to && w.birthYear > std::stoi(f.to)) continue;
            if (!Expected(w.played, w.answered, &right)) continue;
            ++expected.total;
            expected.correct += right;
        }
        const auto trials = ReadIntermittentTrials(*db, filter);
        ASSERT_TRUE(trials.Ok()) << S(trials.error->Text());
        EXPECT_EQ(analysis::CountRecognised(trials.value), expected)
            << f.duty << "|" << f.from << "|" << f.to;
    }
    EXPECT_EQ(Counts(), before);
}

// One pair as the test writes it.
struct PairRecord {
    int i, j;
    std::optional<int> failing;  // level of the failing answer; none: only a validity 3 one
    double failTime, passTime;
    bool passing;  // the passing answer one step up is there
};

TEST_P(IntermittentQueriesTest, TrainingAveragesOfOneSubject) {
    const int step = 3;
    const QString name = QStringLiteral("O'Brien'); DROP TABLE NewSyllableMaskRecord; --");
    const qint64 subject = AddSubject(name, 1960);
    const qint64 other = AddSubject(QStringLiteral("other"), 1961);
    std::mt19937 random(11);
    std::vector<PairRecord> pairs;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            PairRecord pair{i,
                            j,
                            -30 + static_cast<int>(random() % 25),
                            (random() % 400) / 100.0 + 0.25,
                            (random() % 400) / 100.0 + 0.5,
                            true};
            if (i == 0 && j == 1) pair.failing = -24;  // its passing answer is looked for at -21
            if (i == 3 && j == 0) pair.failing.reset();
            if (i == 4 && j == 4) pair.passing = false;
            pairs.push_back(pair);
        }
    }
    const auto vowel = [](int k) { return QString::fromStdString(analysis::TrainingVowels()[k]); };
    const auto add = [&](qint64 who, const PairRecord& p, int level, double state, int validity,
                         double seconds, const char* time, const QString& masking) {
        VowelAnswerRow row;
        row.subjectId = who;
        row.time = QString::fromLatin1(time);
        row.duration = QString::asprintf("%3.2f", seconds);
        row.maskingContent = masking;
        row.maskedContent = vowel(p.j);
        row.snr = level;
        row.state = state;
        row.validity = validity;
        row.other = kDrop;
        Must(AddVowelAnswer(*db, row));
    };
    for (const PairRecord& p : pairs) {
        const int f = p.failing.value_or(-10);
        // Decoys first: another subject, another validity, other levels, a
        // later failing answer, a masking text that tries to widen the query.
        add(other, p, f, 0, 1, 7.5, "2024-05-01 09:00:00", vowel(p.i));
        add(other, p, f + step, 1, 1, 7.5, "2024-05-01 09:00:00", vowel(p.i));
        add(subject, p, f - step, 0, 3, 6.5, "2024-05-01 09:59:00", vowel(p.i));
        add(subject, p, f, 1, 1, 9.0, "2024-05-01 10:00:00", vowel(p.i));
        add(subject, p, f + 2 * step, 1, 1, 8.0, "2024-05-01 10:00:00", vowel(p.i));
        add(subject, p, f + step, 1, 1, 5.5, "2024-05-01 10:00:00", vowel(p.i) + "' OR '1'='1");
        if (p.failing) {
            add(subject, p, f, 0, 1, p.failTime, "2024-05-01 10:00:01", vowel(p.i));
            add(subject, p, f - 1, 0, 1, 4.5, "2024-05-02 10:00:00", vowel(p.i));
        }
        if (p.passing)
            add(subject, p, f + step, 1, 1, p.passTime, "2024-05-01 10:00:02", vowel(p.i));
    }
    const std::vector<qint64> before = Counts();

    const auto inputs = ReadTrainingInputs(*db, subject, step);
    ASSERT_TRUE(inputs.Ok()) << S(inputs.error->Text());
    const analysis::TrainingOutcome outcome = analysis::AnalyseTraining(inputs.value, step);

    double levels[2] = {}, pass[2] = {}, fail[2] = {};
    int counted[2] = {};
    for (const PairRecord& p : pairs) {
        if (!p.failing) continue;
        const int same = p.i == p.j ? 1 : 0;
        ++counted[same];
        levels[same] += *p.failing + step;
        fail[same] += p.failTime;
        if (p.passing) pass[same] += p.passTime;
    }
    ASSERT_EQ(counted[0], 19);
    ASSERT_EQ(counted[1], 5);
    using analysis::FormatF;
    EXPECT_EQ(outcome.table.rows.at(0),
              (std::vector<std::string>{name.toStdString(), FormatF(levels[0] / 19 - 1),
                                        FormatF(levels[1] / 5 - 1), FormatF(pass[0] / 19),
                                        FormatF(pass[1] / 5), FormatF(fail[0] / 19),
                                        FormatF(fail[1] / 5)}));
    const std::string id = std::to_string(subject);
    EXPECT_EQ(
        outcome.messages,
        (std::vector<std::string>{"Subject=" + id + ",Masking=え,Masked=あ has no failing answer!",
                                  "Subject=" + id + ",Masking=お,Masked=お is not found!"}));
    EXPECT_EQ(Counts(), before);

    const auto nobody = ReadTrainingInputs(*db, 999999, step);
    ASSERT_TRUE(nobody.Ok());
    EXPECT_FALSE(nobody.value.subjectName.has_value());
}

INSTANTIATE_TEST_SUITE_P(Engines, IntermittentQueriesTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
