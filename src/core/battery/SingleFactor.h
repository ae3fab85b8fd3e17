// The single-factor experiment without its window: the four degradation
// ladders the experimenter steps through (play speed, noise, interruption
// period, duty cycle), the tester types, the factor mask of the checked
// factors and the judgement rule that decides which of the experimenter's
// judgements become a TestRecord row.
//
// The experiment is driven by hand: nothing here steps a ladder on its own.
// The tester type's directions are kept for the experimenter's reference.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "core/battery/Stimulus.h"

namespace kestrune {

/** The four factors, in the order of their mask bits. */
enum class SingleFactor { Speed = 0, Noise = 1, Period = 2, Duty = 3 };
inline constexpr int kSingleFactorCount = 4;

/** One factor's ladder: its values in index order and where it starts. */
struct FactorLadder {
    std::span<const double> values;
    int initialIndex = 0;
    int maskBit = 0;  ///< speed 1, noise 2, period 4, duty cycle 8
};

const FactorLadder& LadderOf(SingleFactor factor);

/** The index moved inside the ladder (below 0: 0; past the end: the last). */
int ClampLadderIndex(SingleFactor factor, int index);

/** "%f" of a value, as the edits and the TRState column show it. */
std::string FactorText(double value);

/** The entries of "テスタの種類", in the combo's order. */
enum class TesterType { NoLimitation = 0, UnclarityToClarity = 1, ClarityToUnclarity = 2 };
inline constexpr int kTesterTypeCount = 3;

struct TesterTypeInfo {
    const char* caption;
    double state;  ///< the judgement state choosing the type sets
    /** Per factor: +1 toward a higher ladder index, -1 toward a lower one, 0 none. */
    std::array<int, kSingleFactorCount> directions;
};

const TesterTypeInfo& TesterTypeOf(TesterType type);

/** The mask of the checked factor boxes (speed 1, noise 2, period 4, duty 8). */
int FactorMask(const std::array<bool, kSingleFactorCount>& checked);

/** The experimenter's three judgement buttons. */
enum class Judgement {
    Recognised,     ///< "認識できる"
    NotRecognised,  ///< "認識できない"
    Undecided,      ///< "やってみましょう"
};

/** Judgement states: recognised, not recognised, undecided. */
inline constexpr double kStateRecognised = 1.0;
inline constexpr double kStateNotRecognised = 0.0;
inline constexpr double kStateUndecided = 0.5;

/** A judgement that is recorded: the row's state and recognition and the
 *  state that follows. */
struct JudgementStep {
    double stateBefore = 0.0;  ///< TRState
    double recognised = 0.0;   ///< TRRecognise: 1, 0 or 0.5
    double stateAfter = 0.0;
};

/** "認識できる" is ignored while the state is 1.0, "認識できない" while it is
 *  0.0; "やってみましょう" is always recorded. nullopt: ignored. */
std::optional<JudgementStep> Judge(double state, Judgement judgement);

/** The values of one TestRecord row of the experiment. */
struct SingleFactorRecord {
    double state = 0.0;
    double recognised = 0.0;
    int factorMask = 0;
    double playSpeed = 0.0;
    double noise = 0.0;   ///< TRSNR: the noise level as a fraction of full scale
    double period = 0.0;  ///< TRCycle, ms
    double duty = 0.0;    ///< TRDutycycle
};

/**
 * The experiment's state: ladder positions, checked factors, tester type and
 * judgement state. Judgements are recorded in two steps so that a row the
 * database refuses leaves the state as it was: Pending() says what would be
 * written, Commit() takes the step once the row is stored.
 */
class SingleFactorExperiment {
  public:
    SingleFactorExperiment();

    /** Moves a ladder; returns the index actually taken (clamped). */
    int SetIndex(SingleFactor factor, int index);
    int Index(SingleFactor factor) const { return indexes_[Slot(factor)]; }
    double Value(SingleFactor factor) const;

    void SetChecked(SingleFactor factor, bool checked) { checked_[Slot(factor)] = checked; }
    bool Checked(SingleFactor factor) const { return checked_[Slot(factor)]; }
    int Mask() const { return FactorMask(checked_); }

    /** Sets the type's state and directions. */
    void SetTesterType(TesterType type);
    TesterType Type() const { return type_; }
    const std::array<int, kSingleFactorCount>& Directions() const { return directions_; }

    /** A material was confirmed and loaded: the state becomes 0. */
    void MaterialLoaded() { state_ = kStateNotRecognised; }
    double State() const { return state_; }
    /** Roll back: the state read back from the row taken away. */
    void RestoreState(double state) { state_ = state; }

    /** The row a judgement writes now; nullopt when it is ignored. */
    std::optional<SingleFactorRecord> Pending(Judgement judgement) const;
    /** The judgement's row was stored: its state follows. */
    void Commit(Judgement judgement);

    /** How the sound is processed with the current values (all four apply,
     *  whether checked or not), played once per write. */
    StimulusSettings Stimulus() const;

  private:
    static std::size_t Slot(SingleFactor factor) { return static_cast<std::size_t>(factor); }

    std::array<int, kSingleFactorCount> indexes_{};
    std::array<bool, kSingleFactorCount> checked_{};
    TesterType type_ = TesterType::NoLimitation;
    std::array<int, kSingleFactorCount> directions_{};
    double state_ = kStateUndecided;
};

}  // namespace kestrune
