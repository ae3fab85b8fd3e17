// kestrune-cli demo results: fills a station's database with results of
// simulated subjects, so that every analysis shows numbers on a new machine.
//
// The results are made by the tests themselves: the interrupted speech and
// the vowel discrimination state machines run on the station's scenarios
// (syllable.ini, configtry.ini, config1.ini, config2.ini) on a fake clock,
// answered by the listener models of core/battery/ListenerModel.h, and every
// row goes through the store's result functions, as a test window's would.
// Nothing is played. The same seed writes the same rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/battery/InterruptedSpeech.h"
#include "core/battery/VowelDiscrimination.h"
#include "store/Database.h"

namespace kestrune::cli {

/** IIDescription of every demo subject: how a later run recognises them. */
inline constexpr const char* kDemoSubjectDescription = "demo results (kestrune-cli demo results)";
/** At most this many subjects. */
inline constexpr int kDemoMaxSubjects = 20;
/** The year the demo runs are dated in (subjects' ages count to it). */
inline constexpr int kDemoYear = 2026;

/** The station's scenarios the demo runs. */
struct DemoScenarios {
    SyllableSettings syllable;  ///< syllable.ini
    VowelSettings practice;     ///< configtry.ini, the practice run before each test
    VowelSettings younger;      ///< config1.ini, subjects of 45 or younger
    VowelSettings older;        ///< config2.ini, subjects older than 45
};

/** Reads and checks the four scenarios in the station folder ("" the
 *  current one); nothing, with the reason in *error, when one is missing or
 *  cannot be run. */
std::optional<DemoScenarios> ReadDemoScenarios(const std::string& station, std::string* error);

/** One simulated subject. */
struct DemoSubject {
    std::string name;
    char sex = 'U';
    int storedAge = 0;  ///< IIAge: the year of birth, or the age itself as older stations kept it
    int age = 0;        ///< in kDemoYear
};

/** The first `count` subjects: born inside and outside the analyses'
 *  default band 1978-1987, and some stored with a plain age. */
std::vector<DemoSubject> DemoRoster(int count);

struct DemoOptions {
    std::uint32_t seed = 1;
    int subjects = 4;
};

/** What a run wrote. */
struct DemoSummary {
    int subjects = 0;
    int syllableItems = 0;   ///< StatisticalRecord rows
    int syllableTrials = 0;  ///< BasicRecord rows
    int vowelAnswers = 0;    ///< NewSyllableMaskRecord rows
    int pairAverages = 0;    ///< StatisticalSyllableMaskRecord rows
};

/** "demo results: 4 subjects, 15 interrupted speech items (150 trials), ..." */
std::string DemoSummaryLine(const DemoSummary& summary);

struct DemoOutcome {
    DemoSummary summary;                  ///< what was written, also before a failure
    std::string refused;                  ///< not empty: nothing was written, this is why
    std::optional<store::DbError> error;  ///< the database failed part way
};

/**
 * Writes the demo subjects and their results. Refused, writing nothing,
 * when the database already holds demo subjects. Per subject: an
 * interrupted speech run (the first subject a training run before it), the
 * vowel practice run and the vowel test of the subject's age; then, per
 * vowel pair, the mean of the subjects' thresholds and its standard error.
 */
DemoOutcome WriteDemoResults(store::Database& db, const DemoScenarios& scenarios,
                             const DemoOptions& options);

/** demo results [--seed N] [--subjects N] */
int DemoResultsCommand(const Invocation& in);

}  // namespace kestrune::cli
