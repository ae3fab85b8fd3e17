#include "audio/TestTone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrune::audio {

int PeakForDbfs(double dbfs) {
    return static_cast<int>(std::lround(32767.0 * std::pow(10.0, dbfs / 20.0)));
}

std::vector<uint8_t> SineBytes(int peak, uint64_t firstFrame, std::size_t frames,
                               std::size_t fadeIn, std::size_t fadeOut) {
    std::vector<uint8_t> bytes(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        double edge = 1.0;
        if (fadeIn > 0) edge = std::min(edge, static_cast<double>(i) / fadeIn);
        if (fadeOut > 0) edge = std::min(edge, static_cast<double>(frames - 1 - i) / fadeOut);
        // The phase from the frame number modulo one second, which holds a
        // whole number of cycles, so a long tone keeps its precision.
        const uint64_t frame = (firstFrame + i) % kToneRate;
        const double phase =
            2 * std::numbers::pi * kToneFrequency * static_cast<double>(frame) / kToneRate;
        const auto sample = static_cast<int16_t>(std::lround(peak * edge * std::sin(phase)));
        bytes[2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(sample) & 0xff);
        bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
    }
    return bytes;
}

ContinuousTone::~ContinuousTone() {
    Stop();
}

bool ContinuousTone::Start(SoundOutput& output, double dbfs) {
    Stop();
    if (!output.Open(PcmFormat(1, kToneRate, 16), kToneRate)) return false;
    output_ = &output;
    peak_ = PeakForDbfs(dbfs);
    writtenFrames_ = 0;
    const std::size_t frames = kToneRate * kAheadMs / 1000;
    const std::vector<uint8_t> first = SineBytes(peak_, 0, frames, kToneRate * kFadeMs / 1000, 0);
    output_->Write(first.data(), first.size());
    writtenFrames_ = frames;
    return true;
}

void ContinuousTone::Feed() {
    if (output_ == nullptr) return;
    const uint64_t played = output_->PositionBytes() / 2;
    const uint64_t ahead = writtenFrames_ > played ? writtenFrames_ - played : 0;
    const uint64_t wanted = kToneRate * kAheadMs / 1000;
    if (ahead >= wanted) return;
    const auto frames = static_cast<std::size_t>(wanted - ahead);
    const std::vector<uint8_t> more = SineBytes(peak_, writtenFrames_, frames, 0, 0);
    output_->Write(more.data(), more.size());
    writtenFrames_ += frames;
}

void ContinuousTone::Stop() {
    if (output_ != nullptr) output_->Close();
    output_ = nullptr;
}

}  // namespace kestrune::audio
