#include "core/wave/Recording.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kestrune {

namespace {

RecordingStep Refusal(const char* message, bool beep) {
    RecordingStep step;
    step.outcome.ok = false;
    step.outcome.message = message;
    step.beep = beep;
    return step;
}

}  // namespace

RecordingStep Recording::Prepare() {
    if (active_) {
        RecordingStep busy;
        busy.outcome.ok = false;
        return busy;
    }
    if (set_.waveCount >= WaveSet::kMaxWaves) {
        return Refusal(WaveSetMessages::kBeyondLimit, false);
    }
    ReleaseBuffers();
    try {
        if (kCaptureBytes > captureLimit_) throw std::bad_alloc();
        for (auto& buffer : buffers_) buffer.assign(kCaptureBytes, 0);
    } catch (const std::bad_alloc&) {
        ReleaseBuffers();
        return Refusal(RecordingMessages::kMemoryError, true);
    }
    prepared_ = true;
    return {};
}

RecordingStep Recording::DeviceFailed() {
    ReleaseBuffers();
    return Refusal(RecordingMessages::kAudioCannotOpen, true);
}

RecordingStep Recording::Begin() {
    RecordingStep step;
    if (!prepared_ || active_) {
        step.outcome.ok = false;
        return step;
    }
    ++set_.waveCount;
    set_.ResetProcessParameters();
    const int slot = set_.waveCount - 1;
    set_.samples[slot].assign(1, 0);
    set_.sampleCounts[slot] = 0;
    set_.SetTransportRunning(true);
    active_ = true;
    failed_ = false;
    current_ = 0;
    fill_ = 0;
    buffersStored_ = 0;
    step.controls = WorkspaceEvent::Recording;
    return step;
}

RecordingStep Recording::Capture(const uint8_t* bytes, std::size_t size) {
    RecordingStep step;
    while (active_ && !failed_ && size > 0) {
        const std::size_t take = std::min(size, kCaptureBytes - fill_);
        std::memcpy(buffers_[current_].data() + fill_, bytes, take);
        fill_ += take;
        bytes += take;
        size -= take;
        if (fill_ < kCaptureBytes) break;
        // A full buffer comes back: store it whole, the other one goes on.
        if (!Append(current_, kCaptureBytes)) {
            failed_ = true;
            step.outcome.message = RecordingMessages::kMemoryError;
            step.beep = true;
            step.closeDevice = true;
            break;
        }
        ++buffersStored_;
        current_ = 1 - current_;
        fill_ = 0;
    }
    return step;
}

RecordingStep Recording::Finish() {
    RecordingStep step;
    if (!active_) {
        step.outcome.ok = false;
        return step;
    }
    const int slot = set_.waveCount - 1;
    if (!failed_) {
        const std::size_t frameBytes = set_.format.bitsPerSample / 8u;
        const std::size_t whole = frameBytes == 0 ? 0 : fill_ / frameBytes * frameBytes;
        if (whole > 0 && !Append(current_, whole)) {
            step.outcome.message = RecordingMessages::kMemoryError;
            step.beep = true;
        }
    }
    fill_ = 0;
    active_ = false;
    failed_ = false;
    ReleaseBuffers();
    set_.SetTransportRunning(false);
    step.outcome.redraw = true;

    if (set_.sampleCounts[slot] == 0) {
        // Nothing was captured: the empty slot leaves the set.
        if (set_.waveCount > 0) --set_.waveCount;
        step.controls = WorkspaceEvent::RecordingEndedEmpty;
        return step;
    }
    step.controls = WorkspaceEvent::RecordingEndedWithSamples;
    set_.names[slot] = kRecordedWaveName;
    set_.UpdateViewRange();
    Outcome backup;
    if (set_.waveCount == 1) {
        backup = set_.TakeBackup();
    } else if (set_.waveCount == 2) {
        // The first wave goes back to its backed-up content, as after Open.
        set_.waveCount = 1;
        backup = set_.RestoreBackup();
        set_.waveCount = 2;
    }
    if (!backup.message.empty()) {
        if (!step.outcome.message.empty()) step.outcome.message += "\n";
        step.outcome.message += backup.message;
    }
    return step;
}

bool Recording::Append(int index, std::size_t bytes) {
    const int slot = set_.waveCount - 1;
    const uint64_t stored = set_.BytesFor(set_.sampleCounts[slot]);
    const uint64_t total = stored + bytes;
    const uint64_t frameBits = set_.format.bitsPerSample;
    // The count must stay a 32-bit number of samples.
    if (total * 8 / frameBits > UINT32_MAX) return false;
    if (!set_.ResizeBuffer(set_.samples[slot], total)) return false;
    std::memcpy(set_.samples[slot].data() + stored, buffers_[index].data(), bytes);
    set_.sampleCounts[slot] = static_cast<uint32_t>(total * 8 / frameBits);
    return true;
}

void Recording::ReleaseBuffers() {
    for (auto& buffer : buffers_) {
        buffer.clear();
        buffer.shrink_to_fit();
    }
    prepared_ = false;
}

std::string RecordingTimeText(uint64_t positionBytes, const WaveFormat& format) {
    const unsigned frameBytes = format.bitsPerSample / 8u;
    if (frameBytes == 0 || format.sampleRate == 0) return {};
    const double seconds =
        static_cast<double>(positionBytes / frameBytes) / static_cast<double>(format.sampleRate);
    char text[32];
    std::snprintf(text, sizeof text, "%3.1f", seconds);
    return text;
}

}  // namespace kestrune
