// A train of short clicks placed by time into a running output stream, and
// the timing of each click as the stream reports it.
//
// The stream's callback hands over every buffer with the time its first
// frame reaches the converter (PortAudio's outputBufferDacTime). Click k is
// due at origin + k x period, the origin being a lead time after the first
// buffer; it starts at the frame of its buffer nearest to that moment, or at
// the buffer's first frame when the moment has already passed (the buffer
// came late). Each click's onset - when its first frame reaches the
// converter - minus the moment it was due is its onset offset: a fraction
// of a frame while the buffers arrive on time, more when one is late or the
// reported times wander. The offsets' spread is the onset jitter.
//
// Plain data and arithmetic, no device: the stream drives Render() from
// its callback, which allocates nothing (the onsets' room is reserved up
// front), and reads the onsets once the stream has stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::audio {

struct ClickTrainPlan {
    double rate = 44100;        ///< frames per second of the stream
    int plays = 200;            ///< clicks in the train
    double period = 0.05;       ///< seconds from one click's start to the next
    double lead = 0.1;          ///< seconds from the first buffer to the first click
    double clickLength = 1e-3;  ///< seconds of each click (at least one frame)
    int16_t amplitude = 16384;  ///< the click's sample value; silence between
};

/** Why `plan` cannot be played, or nullopt when it can: a positive rate, at
 *  least two clicks (a spread needs two), a click shorter than the period. */
std::optional<std::string> CheckClickTrainPlan(const ClickTrainPlan& plan);

/** One click's timing on the stream's clock, in seconds. */
struct ClickOnset {
    double due = 0;     ///< when the train wanted it to start
    double played = 0;  ///< when its first frame reaches the converter
};

class ClickTrain {
  public:
    /** `plan` must pass CheckClickTrainPlan(). */
    explicit ClickTrain(const ClickTrainPlan& plan);

    /** Fills one buffer of `frames` mono frames whose first frame reaches
     *  the converter at `dacTime` (seconds on the stream's clock). */
    void Render(int16_t* out, unsigned long frames, double dacTime);

    /** Every click has been started and written to its end. */
    bool Done() const;

    /** The clicks started so far, in order. */
    const std::vector<ClickOnset>& Onsets() const { return onsets_; }

    /** Frames of one click at the plan's rate. */
    std::size_t ClickFrames() const { return clickFrames_; }

  private:
    ClickTrainPlan plan_;
    std::size_t clickFrames_ = 1;
    bool started_ = false;
    double origin_ = 0;          // when the first click is due
    std::size_t remaining_ = 0;  // frames of a click cut off by the end of a buffer
    std::vector<ClickOnset> onsets_;
};

/** The onset offsets (played - due) of a train, in milliseconds. */
struct OnsetSummary {
    std::size_t clicks = 0;
    std::size_t late = 0;  ///< clicks that started more than half a frame after they were due
    double meanMs = 0;
    double sdMs = 0;  ///< sample standard deviation (n - 1); 0 for fewer than two clicks
    double minMs = 0;
    double maxMs = 0;
};

/** Mean, spread and extremes of the onsets' offsets at `rate` frames per second. */
OnsetSummary SummariseOnsets(const std::vector<ClickOnset>& onsets, double rate);

}  // namespace kestrune::audio
