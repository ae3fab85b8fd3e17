#include "core/wave/WaveSet.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <utility>

namespace kestrune {

namespace {

bool IsAllowedRate(uint32_t rate) {
    return rate == 11025 || rate == 22050 || rate == 44100;
}

bool IsAllowedBits(uint16_t bits) {
    return bits == 8 || bits == 16;
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Copies as much of `from` as both buffers hold.
void CopyPrefix(const std::vector<uint8_t>& from, std::vector<uint8_t>& to, uint64_t bytes) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<uint64_t>({bytes, from.size(), to.size()}));
    if (n > 0) std::memcpy(to.data(), from.data(), n);
}

}  // namespace

void ProcessParameters::Reset() {
    const ProcessParameters start;
    playbackSpeed = start.playbackSpeed;
    dutyCycle = start.dutyCycle;
    periodType = start.periodType;
    periodMs = start.periodMs;
    noiseAmplitude = start.noiseAmplitude;
    amplifyFactor = start.amplifyFactor;
    filterStartAmplitude = start.filterStartAmplitude;
    filterStopAmplitude = start.filterStopAmplitude;
    filterStartFrequency = start.filterStartFrequency;
    filterStopFrequency = start.filterStopFrequency;
    // divisionDutyCycle, divisionPeriodMs and divisionPeriodType are kept.
}

WaveSet::WaveSet() : backupSamples(1) {
    for (auto& buffer : samples) buffer.assign(1, 0);
    format = PcmFormat(1, 44100, 16);
}

bool WaveSet::ResizeBuffer(std::vector<uint8_t>& buffer, uint64_t bytes) const {
    if (bytes > bufferLimit_ || bytes > buffer.max_size()) return false;
    try {
        buffer.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

uint64_t WaveSet::BytesFor(uint32_t count) const {
    return uint64_t{count} * format.bitsPerSample / 8;
}

void WaveSet::ResetProcessParameters() {
    processParameters.Reset();
}

void WaveSet::UpdateViewRange() {
    viewStart = 0.0;
    viewEnd = static_cast<double>(sampleCounts[0]) - 1.0;
    for (int i = 0; i < waveCount; ++i) {
        if (sampleCounts[i] > viewEnd + 1.0) viewEnd = static_cast<double>(sampleCounts[i]) - 1.0;
    }
}

Outcome WaveSet::SetSampleRate(uint32_t rate) {
    if (waveCount > 0 && format.sampleRate != rate)
        return Refusal(WaveSetMessages::kCannotChangeRate);
    format.sampleRate = rate;
    format.blockAlign = static_cast<uint16_t>(uint32_t{format.channels} * format.bitsPerSample / 8);
    format.bytesPerSecond = rate * format.blockAlign;
    return {};
}

Outcome WaveSet::SetBitsPerSample(uint16_t bits) {
    if (waveCount > 0 && format.bitsPerSample != bits)
        return Refusal(WaveSetMessages::kCannotChangeBits);
    format.bitsPerSample = bits;
    format.blockAlign = static_cast<uint16_t>(uint32_t{format.channels} * format.bitsPerSample / 8);
    format.bytesPerSecond = format.sampleRate * format.blockAlign;
    return {};
}

Outcome WaveSet::TakeBackup() {
    const uint64_t bytes = BytesFor(sampleCounts[0]);
    if (!ResizeBuffer(backupSamples, bytes)) return Refusal(WaveSetMessages::kReallocFailed);
    CopyPrefix(samples[0], backupSamples, bytes);
    backupCount = sampleCounts[0];
    backupName = names[0];
    return {};
}

Outcome WaveSet::RestoreBackup() {
    if (waveCount != 1) return Refusal(WaveSetMessages::kOnlyOneWave);
    const int last = waveCount - 1;
    const uint64_t bytes = BytesFor(backupCount);
    if (!ResizeBuffer(samples[last], bytes)) return Refusal(WaveSetMessages::kReallocFailed);
    CopyPrefix(backupSamples, samples[last], bytes);
    sampleCounts[last] = backupCount;
    names[last] = backupName;
    ResetProcessParameters();
    return {};
}

Outcome WaveSet::OpenWave(const std::string& path) {
    if (waveCount >= kMaxWaves) return Refusal(WaveSetMessages::kBeyondLimit);
    ResetProcessParameters();

    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok()) {
        return Refusal(*header.error == WaveReadError::CannotOpen ? WaveSetMessages::kOpenFailed
                                                                  : WaveSetMessages::kNoWave);
    }
    // Every refusal below closes the file through header.file's destructor.
    WaveFileInfo& info = header.info;

    if (waveCount > 0 && info.format.bitsPerSample != format.bitsPerSample) {
        return Refusal(WaveSetMessages::kDifferentBits);
    }
    if (!IsAllowedRate(info.format.sampleRate)) return Refusal(WaveSetMessages::kUnavailableRate);
    if (Outcome rate = SetSampleRate(info.format.sampleRate); !rate.ok) return rate;
    if (!IsAllowedBits(info.format.bitsPerSample))
        return Refusal(WaveSetMessages::kUnavailableBits);
    if (Outcome bits = SetBitsPerSample(info.format.bitsPerSample); !bits.ok) return bits;

    Outcome outcome;
    if (info.format.channels != 1) outcome.warning = WaveSetMessages::kNotSingleChannel;

    // Get the sample buffer before the set changes, so that a file too big to
    // hold leaves the set as it was.
    std::vector<uint8_t> buffer;
    bool read = ResizeBuffer(buffer, WaveSampleBufferSize(info));
    if (read) {
        try {
            ReadWaveSamples(std::move(header.file), info, buffer);
        } catch (const std::bad_alloc&) {
            read = false;
        } catch (const std::length_error&) {
            read = false;
        }
    }
    if (!read) {
        outcome.ok = false;
        outcome.message = WaveSetMessages::kReallocFailed;
        return outcome;
    }

    ++waveCount;
    const int slot = waveCount - 1;
    names[slot] = FileNameOf(path);
    paths[slot] = path;
    if (waveCount == 1) firstPath = path;
    samples[slot] = std::move(buffer);
    sampleCounts[slot] = info.sampleCount;

    UpdateViewRange();
    format = info.format;

    Outcome backup;
    if (waveCount == 1) {
        backup = TakeBackup();
    } else if (waveCount == 2) {
        // The first wave goes back to its backed-up content.
        waveCount = 1;
        backup = RestoreBackup();
        waveCount = 2;
    }
    outcome.message = backup.message;
    outcome.redraw = true;
    return outcome;
}

Outcome WaveSet::SaveWave(const std::string& path) {
    if (waveCount <= 0) return Refusal({});
    const int last = waveCount - 1;
    uint32_t count = sampleCounts[last];
    // Never hand the writer more samples than the buffer holds.
    if (BytesFor(count) > samples[last].size()) {
        count = static_cast<uint32_t>(samples[last].size() * 8 / format.bitsPerSample);
    }
    // The save command reports nothing when the write fails: the user sees
    // the same state as after a successful save.
    WriteWaveFile(path, format, samples[last].data(), count);

    names[last] = FileNameOf(path);
    if (waveCount == 1) backupName = names[last];
    Outcome outcome;
    outcome.redraw = true;
    return outcome;
}

Outcome WaveSet::CloseWave() {
    ResetProcessParameters();
    if (transportRunning_) return Refusal({});
    if (waveCount == 0) return Refusal(WaveSetMessages::kNothingToClose);

    --waveCount;
    UpdateViewRange();
    Outcome outcome;
    if (waveCount == 1) outcome.message = TakeBackup().message;
    outcome.redraw = true;
    return outcome;
}

Outcome WaveSet::CloseAllWaves() {
    ResetProcessParameters();
    if (transportRunning_) return Refusal({});
    if (waveCount == 0) return Refusal(WaveSetMessages::kNothingToClose);

    waveCount = 0;
    viewStart = 0.0;
    viewEnd = -1.0;
    Outcome outcome;
    outcome.redraw = true;
    return outcome;
}

}  // namespace kestrune
