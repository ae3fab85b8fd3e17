#include "core/analysis/Training.h"

#include <algorithm>
#include <charconv>

#include "core/analysis/Intermittent.h"

namespace kestrune::analysis {
namespace {

bool ReadWhole(std::string_view text, const char* field, std::int64_t* value, std::string* error) {
    std::string_view digits = text;
    const auto first = digits.find_first_not_of(" \t");
    digits = first == std::string_view::npos
                 ? std::string_view()
                 : digits.substr(first, digits.find_last_not_of(" \t") - first + 1);
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    std::int64_t read = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), read);
    if (!digits.empty() && result.ec == std::errc() &&
        result.ptr == digits.data() + digits.size()) {
        *value = read;
        return true;
    }
    *error = std::string(field) + " must be a whole number, not '" + std::string(text) + "'";
    return false;
}

// The sums over one kind of pair: the same vowel twice, or two different ones.
struct Sums {
    int pairs = 0;
    double levels = 0.0;
    double passingTime = 0.0;
    double failingTime = 0.0;
};

std::string Message(std::int64_t subject, const TrainingPair& pair, const char* ending) {
    return "Subject=" + std::to_string(subject) + ",Masking=" + pair.masking +
           ",Masked=" + pair.masked + ending;
}

}  // namespace

bool ReadTrainingParameters(std::string_view subjectId, std::string_view step,
                            std::int64_t* subject, int* stepDb, std::string* error) {
    std::int64_t id = 0, db = 0;
    if (!ReadWhole(subjectId, "The subject ID", &id, error) ||
        !ReadWhole(step, "The test step", &db, error))
        return false;
    if (db < -1000 || db > 1000) {
        *error = "The test step must be between -1000 and 1000 dB, not '" + std::string(step) + "'";
        return false;
    }
    *subject = id;
    *stepDb = static_cast<int>(db);
    return true;
}

const std::vector<std::string>& TrainingVowels() {
    static const std::vector<std::string> vowels = {"あ", "い", "う", "え", "お"};
    return vowels;
}

const std::vector<std::string>& TrainingCaptions() {
    static const std::vector<std::string> captions = {"Subject name",
                                                      "Everage threshold of separation",
                                                      "Everage threshold of hearing",
                                                      "Everage time of separation",
                                                      "Everage time of hearing",
                                                      "Everage time of not separation",
                                                      "Everage time of not hearing"};
    return captions;
}

TrainingOutcome AnalyseTraining(const TrainingInputs& inputs, int step) {
    TrainingOutcome outcome;
    outcome.table.captions = TrainingCaptions();
    if (!inputs.subjectName) {
        outcome.messages.push_back("Subject=" + std::to_string(inputs.subjectId) +
                                   " is not registered!");
        return outcome;
    }
    Sums separation, hearing;
    const bool anyEnded = std::any_of(inputs.pairs.begin(), inputs.pairs.end(),
                                      [](const TrainingPair& pair) { return pair.failing; });
    if (!anyEnded) outcome.messages.push_back(kNoResultCollected);
    for (const TrainingPair& pair : inputs.pairs) {
        if (!pair.failing) {
            if (!anyEnded) continue;
            outcome.messages.push_back(Message(inputs.subjectId, pair, " has no failing answer!"));
            continue;
        }
        Sums& sums = pair.masking == pair.masked ? hearing : separation;
        ++sums.pairs;
        sums.levels += PassingLevel(pair.failing->level, step);
        sums.failingTime += pair.failing->duration;
        if (pair.passingDuration) {
            sums.passingTime += *pair.passingDuration;
        } else {
            outcome.messages.push_back(Message(inputs.subjectId, pair, " is not found!"));
        }
    }
    const auto threshold = [](const Sums& s) {
        return s.pairs == 0 ? std::string() : FormatF(s.levels / s.pairs - 1);
    };
    const auto average = [](const Sums& s, double sum) {
        return s.pairs == 0 ? std::string() : FormatF(sum / s.pairs);
    };
    outcome.table.rows.push_back(
        {*inputs.subjectName, threshold(separation), threshold(hearing),
         average(separation, separation.passingTime), average(hearing, hearing.passingTime),
         average(separation, separation.failingTime), average(hearing, hearing.failingTime)});
    return outcome;
}

}  // namespace kestrune::analysis
