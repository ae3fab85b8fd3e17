#include "core/battery/SingleFactor.h"

#include <algorithm>
#include <cstdio>

namespace kestrune {
namespace {

// The values are written out rather than accumulated in steps, so each one
// is the nearest double to its decimal text and "%f" shows it exactly.
constexpr double kSpeeds[] = {0.2,  0.3, 0.4,  0.5, 0.6, 1.0, 1.2, 1.3, 1.4, 1.45, 1.5,
                              1.55, 1.6, 1.65, 1.7, 1.8, 1.9, 2.0, 2.1, 2.2, 2.3,  2.4,
                              2.5,  2.6, 2.7,  2.8, 2.9, 3.0, 3.1, 3.2, 3.3, 3.4,  3.5};
constexpr double kNoises[] = {0.0, 0.2, 0.4, 0.6, 0.8, 1.0};
constexpr double kPeriodsMs[] = {0.001, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,
                                 2,     5,     10,   20,   40,   60,  80,  100, 120,
                                 150,   200,   250,  300,  350,  400, 500, 700, 1000};
constexpr double kDuties[] = {0.0,  0.05, 0.1,  0.15, 0.2,  0.25, 0.3,  0.35, 0.4,  0.45, 0.5,
                              0.55, 0.6,  0.65, 0.7,  0.75, 0.8,  0.85, 0.9,  0.95, 1.0};

const FactorLadder kLadders[kSingleFactorCount] = {
    {kSpeeds, 5, 1},      // 1.0
    {kNoises, 0, 2},      // 0.0
    {kPeriodsMs, 12, 4},  // 20 ms
    {kDuties, 20, 8},     // 1.0
};

const TesterTypeInfo kTesterTypes[kTesterTypeCount] = {
    {"No limitation", kStateUndecided, {0, 0, 0, 0}},
    {"From unclarity to clarity", kStateNotRecognised, {-1, +1, -1, +1}},
    {"From clarity to unclarity", kStateRecognised, {+1, -1, +1, -1}},
};

double RecognitionOf(Judgement judgement) {
    switch (judgement) {
        case Judgement::Recognised:
            return kStateRecognised;
        case Judgement::NotRecognised:
            return kStateNotRecognised;
        case Judgement::Undecided:
            break;
    }
    return kStateUndecided;
}

}  // namespace

const FactorLadder& LadderOf(SingleFactor factor) {
    return kLadders[static_cast<int>(factor)];
}

int ClampLadderIndex(SingleFactor factor, int index) {
    const int last = static_cast<int>(LadderOf(factor).values.size()) - 1;
    return std::clamp(index, 0, last);
}

std::string FactorText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

const TesterTypeInfo& TesterTypeOf(TesterType type) {
    return kTesterTypes[static_cast<int>(type)];
}

int FactorMask(const std::array<bool, kSingleFactorCount>& checked) {
    int mask = 0;
    for (int f = 0; f < kSingleFactorCount; ++f) {
        if (checked[static_cast<std::size_t>(f)]) mask |= kLadders[f].maskBit;
    }
    return mask;
}

std::optional<JudgementStep> Judge(double state, Judgement judgement) {
    const double recognised = RecognitionOf(judgement);
    // Only the two definite judgements repeat themselves into nothing.
    if (judgement != Judgement::Undecided && state == recognised) return std::nullopt;
    return JudgementStep{state, recognised, recognised};
}

SingleFactorExperiment::SingleFactorExperiment() {
    for (int f = 0; f < kSingleFactorCount; ++f)
        indexes_[static_cast<std::size_t>(f)] = kLadders[f].initialIndex;
    SetTesterType(TesterType::NoLimitation);
}

int SingleFactorExperiment::SetIndex(SingleFactor factor, int index) {
    return indexes_[Slot(factor)] = ClampLadderIndex(factor, index);
}

double SingleFactorExperiment::Value(SingleFactor factor) const {
    return LadderOf(factor).values[static_cast<std::size_t>(Index(factor))];
}

void SingleFactorExperiment::SetTesterType(TesterType type) {
    type_ = type;
    state_ = TesterTypeOf(type).state;
    directions_ = TesterTypeOf(type).directions;
}

std::optional<SingleFactorRecord> SingleFactorExperiment::Pending(Judgement judgement) const {
    const std::optional<JudgementStep> step = Judge(state_, judgement);
    if (!step) return std::nullopt;
    SingleFactorRecord record;
    record.state = step->stateBefore;
    record.recognised = step->recognised;
    record.factorMask = Mask();
    record.playSpeed = Value(SingleFactor::Speed);
    record.noise = Value(SingleFactor::Noise);
    record.period = Value(SingleFactor::Period);
    record.duty = Value(SingleFactor::Duty);
    return record;
}

void SingleFactorExperiment::Commit(Judgement judgement) {
    if (const std::optional<JudgementStep> step = Judge(state_, judgement))
        state_ = step->stateAfter;
}

StimulusSettings SingleFactorExperiment::Stimulus() const {
    StimulusSettings settings;
    settings.speed = Value(SingleFactor::Speed);
    settings.noiseLevel = Value(SingleFactor::Noise);
    settings.interruptionMs = Value(SingleFactor::Period);
    settings.keptFraction = Value(SingleFactor::Duty);
    settings.repeatCount = 1;
    return settings;
}

}  // namespace kestrune
