#include "cli/DemoResults.h"

#include <QString>
#include <QUuid>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <utility>

#include "cli/DatabaseAccess.h"
#include "core/battery/ListenerModel.h"
#include "core/battery/Scenario.h"
#include "core/battery/StepSequence.h"
#include "core/kana/KanaTable.h"
#include "core/util/Clock.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::cli {

namespace {

constexpr const char* kProgram = "kestrune-cli";
constexpr int kDemoVolume = 60;
// A run that has not ended after this many answers never will.
constexpr int kMostAnswersPerRun = 5000;
// Names the answers' ids: the same seed gives the same ids.
const QUuid kAnswerIdSpace = QUuid::fromString(u"6f1d2a4e-8c35-4b7a-9e02-5d7c31b0a9e4");

// The roster the subjects are taken from, in order; beyond it the same
// people come again a few years older. Years of birth 1978-1987 fall in the
// analyses' default age band; 67 and 34 are plain ages, as older stations
// stored them.
struct RosterEntry {
    char sex;
    int stored;
    bool plainAge;
};
constexpr RosterEntry kRoster[] = {
    {'F', 1981, false}, {'M', 1986, false}, {'F', 1999, false}, {'M', 67, true},
    {'M', 1978, false}, {'F', 1987, false}, {'F', 34, true},    {'M', 1958, false},
};
constexpr int kRosterSize = static_cast<int>(std::size(kRoster));

// "1 subject", "2 subjects".
std::string Counted(int n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::uint32_t StreamSeed(std::uint32_t seed, int subject, std::uint32_t stream) {
    return seed * 2654435761u + static_cast<std::uint32_t>(subject + 1) * 40503u + stream;
}

// 09:00 local time on a working day of November of the demo year, one day
// per subject: the stored times read the same in every time zone.
std::time_t RunStart(int subject) {
    std::tm day{};
    day.tm_year = kDemoYear - 1900;
    day.tm_mon = 10;
    day.tm_mday = 2 + subject;
    day.tm_hour = 9;
    day.tm_isdst = -1;
    return std::mktime(&day);
}

// The interrupted speech test's window without a window: writes through
// the store, plays nothing, and runs the test's waits on the fake clock.
class DemoSyllableHost final : public SyllableHost {
  public:
    DemoSyllableHost(store::Database& db, FakeClock& clock, qint64 subject, int selfEvaluation)
        : db_(db), clock_(clock), subject_(subject), selfEvaluation_(selfEvaluation) {}

    std::optional<store::DbError> error;
    int items = 0;
    int trials = 0;
    double keptFraction = 0.0;  ///< of the syllable playing

    void ShowInstruction(const std::string&) override {}
    void SetStartEnabled(bool) override {}
    void SetAnswerButtons(bool) override {}
    void SetRollBackEnabled(bool) override {}
    void ShowPaused(bool) override {}
    void ClearAnswer() override {}
    void FocusAnswer() override {}
    void Message(const std::string&) override {}
    bool Confirm(const std::string&) override { return true; }
    bool LoadSyllable(const std::string&) override { return true; }
    void PlayLoaded(const StimulusSettings& settings) override {
        keptFraction = settings.keptFraction;
    }
    void StopWorker() override {}
    std::optional<long long> StartSession(const SyllableItem& item) override {
        const store::SessionItemRow row = store::SessionItemRowOf(
            item, subject_, selfEvaluation_, kDemoVolume, kSyllableSessionType);
        return Keep(store::StartSessionItem(db_, row), &items);
    }
    void FinishSession(long long session, long long durationSeconds, int number,
                       int validity) override {
        const auto finished =
            store::FinishSessionItem(db_, session, durationSeconds, number, validity);
        if (!finished.Ok() && !error) error = finished.error;
    }
    bool StoreTrial(long long session, const SyllableTrial& trial) override {
        return Keep(store::AddTrial(db_, store::SyllableTrialRowOf(trial, subject_, session)),
                    &trials)
            .has_value();
    }
    std::optional<std::string> TakeLastTrial() override { return std::nullopt; }
    std::optional<std::pair<int, int>> ReadHalfDutyScore() override {
        const auto score = store::ReadHalfDutyScore(db_, subject_);
        if (!score.Ok()) {
            if (!error) error = score.error;
            return std::nullopt;
        }
        return std::pair{score.value.correct, score.value.total};
    }
    void AdvancePicture() override {}
    void ShowProgress(int, int) override {}
    void RunSteps(StepSequence steps) override { steps_.Replace(std::move(steps)); }
    void CancelSteps() override { steps_.Cancel(); }

    /** Runs the waits and steps due until the test waits for an answer. */
    void Settle() { steps_.Settle(clock_); }

  private:
    std::optional<long long> Keep(const store::DbResult<qint64>& stored, int* count) {
        if (!stored.Ok()) {
            if (!error) error = stored.error;
            return std::nullopt;
        }
        ++*count;
        return stored.value;
    }

    store::Database& db_;
    FakeClock& clock_;
    qint64 subject_;
    int selfEvaluation_;
    PendingSteps steps_;
};

// One subject as the runs see them.
struct Listener {
    qint64 id = 0;
    int index = 0;  ///< in the roster
    DemoSubject subject;
    int selfEvaluation = 0;
    FakeClock clock;
    CrtRandom random;  ///< the listener's own draws
};

// Runs the interrupted speech test of `settings` to its end.
std::optional<store::DbError> RunSyllableTest(store::Database& db, const SyllableSettings& settings,
                                              Listener& who, DemoSummary& summary) {
    DemoSyllableHost host(db, who.clock, who.id, who.selfEvaluation);
    CrtRandom draws;  // the test seeds it from the clock for every syllable
    InterruptedSpeechTest test(settings, host, who.clock, draws);
    const KanaListenerTraits traits = KanaTraitsForAge(who.subject.age);
    test.Start();
    host.Settle();
    int answers = 0;
    while (!host.error && test.CurrentPhase() == InterruptedSpeechTest::Phase::Answering &&
           ++answers <= kMostAnswersPerRun) {
        who.clock.AdvanceMs(static_cast<std::uint64_t>(ReactionMs(who.random)));
        const std::string typed = KanaListenerAnswer(KanaToSyllable(test.Played()),
                                                     host.keptFraction, traits, who.random);
        if (typed.empty())
            test.NotRecognised();
        else
            test.Answer(typed);
        host.Settle();
    }
    summary.syllableItems += host.items;
    summary.syllableTrials += host.trials;
    if (!host.error && test.CurrentPhase() != InterruptedSpeechTest::Phase::Done)
        return store::DbError{QStringLiteral("the interrupted speech test did not end"), {}};
    return host.error;
}

using Thresholds = std::map<int, std::vector<int>>;  // pair -> levels of its last misses

// Runs one vowel test of `settings` to its end; the tests' thresholds (the
// levels of the answers that closed a pair, state 0 and validity 1) are
// added to `thresholds`.
std::optional<store::DbError> RunVowelTest(store::Database& db, const VowelSettings& settings,
                                           Listener& who, std::uint32_t seed, int& answerNumber,
                                           Thresholds& thresholds, DemoSummary& summary) {
    CrtRandom draws(StreamSeed(seed, who.index, static_cast<std::uint32_t>(answerNumber)));
    VowelDiscriminationTest test(settings, false, who.subject.age, draws, who.clock);
    const double jitter = (UniformDraw(who.random) - 0.5) * 3.0;
    const VowelListenerTraits traits = VowelTraitsForAge(who.subject.age, jitter);
    VowelStep step = test.Start();
    for (int answers = 0; step.next; ++answers) {
        if (answers == kMostAnswersPerRun)
            return store::DbError{QStringLiteral("the vowel test did not end"), {}};
        // A rest, then the stimulus, then the subject's reaction.
        who.clock.AdvanceMs(step.rest ? 60000 : 1000);
        test.PlayStarted();
        who.clock.AdvanceMs(static_cast<std::uint64_t>(ReactionMs(who.random)));
        const VowelTrial& trial = *step.next;
        const VowelListenerAnswer response =
            VowelListenerResponse(trial.masking, trial.masked, trial.level, traits, who.random);
        std::optional<VowelStep> answered = test.Answer(response.kind, response.marks);
        const VowelRecord& record = *answered->record;
        store::VowelAnswerRow row = store::VowelAnswerRowOf(record, who.id, who.selfEvaluation);
        row.uid = QUuid::createUuidV5(
                      kAnswerIdSpace,
                      QStringLiteral("%1/%2/%3").arg(seed).arg(who.index).arg(answerNumber++))
                      .toString(QUuid::WithoutBraces);
        const auto stored = store::AddVowelAnswer(db, row);
        if (!stored.Ok()) return stored.error;
        ++summary.vowelAnswers;
        if (record.state == 0.0 && record.validity == 1)
            thresholds[trial.pair].push_back(record.snr);
        step = std::move(*answered);
    }
    return std::nullopt;
}

std::optional<store::DbError> WritePairAverages(store::Database& db, const Thresholds& thresholds,
                                                DemoSummary& summary) {
    for (const auto& [pair, levels] : thresholds) {
        double sum = 0.0;
        for (const int level : levels) sum += level;
        const double mean = sum / static_cast<double>(levels.size());
        double squares = 0.0;
        for (const int level : levels) squares += (level - mean) * (level - mean);
        store::MaskStatisticRow row;
        row.maskingContent = QString::fromStdString(std::string(VowelLabel(pair / kVowelCount)));
        row.maskedContent = QString::fromStdString(std::string(VowelLabel(pair % kVowelCount)));
        row.snr = mean;
        // The standard error of the mean (dB): the mask analysis leaves out
        // pairs whose average is not known to within 7 dB.
        const double n = static_cast<double>(levels.size());
        row.other = levels.size() > 1 ? std::sqrt(squares / (n - 1.0) / n) : 0.0;
        const auto stored = store::AddMaskStatistic(db, row);
        if (!stored.Ok()) return stored.error;
        ++summary.pairAverages;
    }
    return std::nullopt;
}

std::optional<VowelSettings> ReadVowelRun(const std::string& folder, const char* name,
                                          std::string* error) {
    const Scenario scenario = Scenario::Load((std::filesystem::path(folder) / name).string());
    if (!scenario.Opened()) {
        *error = std::string(name) + " cannot be read in " + folder;
        return std::nullopt;
    }
    VowelSettings settings = ReadVowelSettings(scenario);
    // The staircase ends only when correct answers move levels down toward END.
    if (settings.type == VowelRunType::Unknown || settings.interval >= 0) {
        *error =
            std::string(name) + ": TYPE must be TEST, MAKEUP, TRY or TRAIN and INTERVAL below 0";
        return std::nullopt;
    }
    return settings;
}

int UsageMistake(const Invocation& in, const std::string& error) {
    in.err << kProgram << ": demo results: " << error << "; see " << kProgram << " --help\n";
    return kExitUsage;
}

int Run(const Invocation& in) {
    DemoOptions options;
    for (std::size_t i = 0; i < in.args.size(); i += 2) {
        const std::string& option = in.args[i];
        if (option != "--seed" && option != "--subjects")
            return UsageMistake(in, "takes [--seed N] [--subjects N], not '" + option + "'");
        if (i + 1 == in.args.size()) return UsageMistake(in, option + " needs a value");
        const std::string& value = in.args[i + 1];
        if (option == "--seed" && !ParseNumber(value, options.seed))
            return UsageMistake(
                in, "--seed takes a whole number 0 ... 4294967295, not '" + value + "'");
        if (option == "--subjects" &&
            (!ParseNumber(value, options.subjects) || options.subjects < 1 ||
             options.subjects > kDemoMaxSubjects)) {
            return UsageMistake(in, "--subjects takes 1 ... " + std::to_string(kDemoMaxSubjects) +
                                        ", not '" + value + "'");
        }
    }
    std::string error;
    const std::optional<DemoScenarios> scenarios = ReadDemoScenarios(in.options.station, &error);
    if (!scenarios) {
        in.err << kProgram << ": demo results: " << error
               << " (tools/make-station-kit.sh makes the station's scenarios)\n";
        return kExitFailed;
    }
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const DemoOutcome outcome = WriteDemoResults(*db, *scenarios, options);
    if (!outcome.refused.empty()) {
        in.err << kProgram << ": demo results: " << outcome.refused << '\n';
        return kExitFailed;
    }
    if (outcome.error) {
        in.err << outcome.error->Text().toStdString() << '\n'
               << kProgram << ": demo results: stopped after writing "
               << DemoSummaryLine(outcome.summary).substr(std::string("demo results: ").size())
               << '\n';
        return kExitFailed;
    }
    in.out << DemoSummaryLine(outcome.summary) << '\n';
    return kExitOk;
}

}  // namespace

std::optional<DemoScenarios> ReadDemoScenarios(const std::string& station, std::string* error) {
    const std::string folder = station.empty() ? "." : station;
    DemoScenarios scenarios;
    const Scenario syllable =
        Scenario::Load((std::filesystem::path(folder) / "syllable.ini").string());
    if (!syllable.Opened()) {
        *error = "syllable.ini cannot be read in " + folder;
        return std::nullopt;
    }
    const ScenarioCheck check = ReadSyllableScenario(syllable, scenarios.syllable);
    if (check.result != ScenarioStart::Ready) {
        *error = "syllable.ini:";
        for (const std::string& message : check.messages) *error += " " + message;
        return std::nullopt;
    }
    for (auto [name, settings] : {std::pair{"configtry.ini", &scenarios.practice},
                                  std::pair{"config1.ini", &scenarios.younger},
                                  std::pair{"config2.ini", &scenarios.older}}) {
        std::optional<VowelSettings> read = ReadVowelRun(folder, name, error);
        if (!read) return std::nullopt;
        *settings = std::move(*read);
    }
    return scenarios;
}

std::vector<DemoSubject> DemoRoster(int count) {
    std::vector<DemoSubject> subjects;
    for (int i = 0; i < count; ++i) {
        const RosterEntry& entry = kRoster[i % kRosterSize];
        const int olderBy = 3 * (i / kRosterSize);  // the roster again, a few years older
        DemoSubject subject;
        char name[16];
        std::snprintf(name, sizeof name, "DEMO-%02d", i + 1);
        subject.name = name;
        subject.sex = entry.sex;
        subject.storedAge = entry.plainAge ? entry.stored + olderBy : entry.stored - olderBy;
        subject.age = entry.plainAge ? subject.storedAge : kDemoYear - subject.storedAge + 1;
        subjects.push_back(subject);
    }
    return subjects;
}

std::string DemoSummaryLine(const DemoSummary& s) {
    return "demo results: " + Counted(s.subjects, "subject") + ", " +
           Counted(s.syllableItems, "interrupted speech item") + " (" +
           Counted(s.syllableTrials, "trial") + "), " + Counted(s.vowelAnswers, "vowel answer") +
           ", " + Counted(s.pairAverages, "pair average");
}

DemoOutcome WriteDemoResults(store::Database& db, const DemoScenarios& scenarios,
                             const DemoOptions& options) {
    DemoOutcome outcome;
    store::SubjectRegistry registry(db);
    const auto present = registry.Described(QString::fromUtf8(kDemoSubjectDescription));
    if (!present.Ok()) {
        outcome.error = present.error;
        return outcome;
    }
    if (!present.value.empty()) {
        outcome.refused = "the database already holds " +
                          Counted(static_cast<int>(present.value.size()), "demo subject") + " (" +
                          present.value.front().text.toStdString() + " ...); nothing was written";
        return outcome;
    }
    // Stored as measured runs (the kind a scenario without TYPE gives:
    // SRValidity 1 after the first item), which the analyses select by
    // default; the training run before the first subject's is kind 5.
    SyllableSettings measured = scenarios.syllable;
    measured.kindCode = SyllableKindCode("Notfound");
    SyllableSettings training = scenarios.syllable;
    training.kindCode = SyllableKindCode("TRAIN");

    Thresholds thresholds;
    const std::vector<DemoSubject> roster = DemoRoster(options.subjects);
    for (int index = 0; index < static_cast<int>(roster.size()); ++index) {
        Listener who{0,
                     index,
                     roster[static_cast<size_t>(index)],
                     index % 5 + 1,
                     FakeClock(RunStart(index), 0),
                     CrtRandom(StreamSeed(options.seed, index, 0))};
        store::Subject subject;
        subject.name = QString::fromStdString(who.subject.name);
        subject.sex = who.subject.sex;
        subject.birthYear = who.subject.storedAge;
        subject.description = QString::fromUtf8(kDemoSubjectDescription);
        const auto added = registry.Add(subject);
        if (!added.Ok()) {
            outcome.error = added.error;
            return outcome;
        }
        who.id = added.value;
        ++outcome.summary.subjects;

        const auto pause = [&who] { who.clock.AdvanceMs(5 * 60 * 1000); };
        std::optional<store::DbError> failed;
        if (index == 0) {
            failed = RunSyllableTest(db, training, who, outcome.summary);
            pause();
        }
        if (!failed) failed = RunSyllableTest(db, measured, who, outcome.summary);
        pause();
        int answerNumber = 0;
        if (!failed)
            failed = RunVowelTest(db, scenarios.practice, who, options.seed, answerNumber,
                                  thresholds, outcome.summary);
        pause();
        // The practice run's answers have validity 2 and close no threshold.
        const VowelSettings& test = who.subject.age <= 45 ? scenarios.younger : scenarios.older;
        if (!failed)
            failed = RunVowelTest(db, test, who, options.seed, answerNumber, thresholds,
                                  outcome.summary);
        if (failed) {
            outcome.error = failed;
            return outcome;
        }
    }
    outcome.error = WritePairAverages(db, thresholds, outcome.summary);
    return outcome;
}

int DemoResultsCommand(const Invocation& in) {
    return WithQtApplication(in, Run);
}

}  // namespace kestrune::cli
