#include "audio/ClickTrain.h"

#include <algorithm>
#include <cmath>

namespace kestrune::audio {

std::optional<std::string> CheckClickTrainPlan(const ClickTrainPlan& plan) {
    if (!(plan.rate > 0) || !std::isfinite(plan.rate)) return "the rate must be positive";
    if (plan.plays < 2) return "the train needs at least two clicks";
    if (!(plan.period > 0) || !std::isfinite(plan.period)) return "the period must be positive";
    if (!(plan.lead >= 0) || !std::isfinite(plan.lead)) return "the lead time must not be negative";
    if (!(plan.clickLength < plan.period)) return "a click must be shorter than the period";
    return std::nullopt;
}

ClickTrain::ClickTrain(const ClickTrainPlan& plan)
    : plan_(plan),
      clickFrames_(std::max<std::size_t>(
          1, static_cast<std::size_t>(std::llround(std::max(0.0, plan.clickLength) * plan.rate)))) {
    onsets_.reserve(static_cast<std::size_t>(std::max(0, plan.plays)));
}

void ClickTrain::Render(int16_t* out, unsigned long frames, double dacTime) {
    std::fill(out, out + frames, int16_t{0});
    if (!started_) {
        started_ = true;
        origin_ = dacTime + plan_.lead;
    }
    // The end of a click the previous buffer could not hold comes first.
    std::size_t busy = std::min<std::size_t>(remaining_, frames);
    std::fill(out, out + busy, plan_.amplitude);
    remaining_ -= busy;
    while (onsets_.size() < static_cast<std::size_t>(plan_.plays)) {
        const double due = origin_ + static_cast<double>(onsets_.size()) * plan_.period;
        const double ahead = (due - dacTime) * plan_.rate;
        // The frame nearest the moment it is due; a moment already gone
        // (the buffer is late) starts it at once, and clicks never overlap.
        std::size_t start = ahead > 0 ? static_cast<std::size_t>(std::llround(ahead)) : 0;
        start = std::max(start, busy);
        if (start >= frames) break;
        onsets_.push_back({due, dacTime + static_cast<double>(start) / plan_.rate});
        const std::size_t written = std::min(clickFrames_, frames - start);
        std::fill(out + start, out + start + written, plan_.amplitude);
        remaining_ = clickFrames_ - written;
        busy = start + written;
    }
}

bool ClickTrain::Done() const {
    return onsets_.size() == static_cast<std::size_t>(plan_.plays) && remaining_ == 0;
}

OnsetSummary SummariseOnsets(const std::vector<ClickOnset>& onsets, double rate) {
    OnsetSummary summary;
    summary.clicks = onsets.size();
    if (onsets.empty()) return summary;
    const double halfFrame = 0.5 / rate;
    double sum = 0;
    summary.minMs = summary.maxMs = (onsets[0].played - onsets[0].due) * 1000;
    for (const ClickOnset& onset : onsets) {
        const double offset = onset.played - onset.due;
        // (A nanosecond over half a frame is the rounding of the times, not lateness.)
        if (offset > halfFrame + 1e-9) ++summary.late;
        sum += offset * 1000;
        summary.minMs = std::min(summary.minMs, offset * 1000);
        summary.maxMs = std::max(summary.maxMs, offset * 1000);
    }
    const double n = static_cast<double>(onsets.size());
    summary.meanMs = sum / n;
    if (onsets.size() > 1) {
        double squares = 0;
        for (const ClickOnset& onset : onsets) {
            const double d = (onset.played - onset.due) * 1000 - summary.meanMs;
            squares += d * d;
        }
        summary.sdMs = std::sqrt(squares / (n - 1));
    }
    return summary;
}

}  // namespace kestrune::audio
