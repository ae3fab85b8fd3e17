#include "core/dsp/Generators.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/ini/IniFile.h"
#include "core/text/Numbers.h"
#include "core/util/Random.h"
#include "core/wave/Pcm16.h"
#include "core/wave/WaveFile.h"

namespace kestrune::generators {

namespace {

// The checks both generators share, before anything else.
std::optional<Outcome> RequireEmpty16BitSet(const WaveSet& set) {
    if (set.waveCount != 0) return Refusal(kCloseWavesFirst);
    if (set.format.bitsPerSample != 16) return Refusal(kNeed16Bits);
    return std::nullopt;
}

// A double sample truncated toward zero and clamped to 16 bits.
int16_t Clamp16(double value) {
    return static_cast<int16_t>(std::clamp(std::trunc(value), -32768.0, 32767.0));
}

// Makes wave 0 `count` samples of silence named `name`; the set then holds it alone.
std::optional<Outcome> StartWave(WaveSet& set, uint32_t count, const char* name) {
    std::vector<uint8_t> buffer;
    if (!set.ResizeBuffer(buffer, set.BytesFor(count)))
        return Refusal(WaveSetMessages::kReallocFailed);
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    set.samples[0] = std::move(buffer);
    set.sampleCounts[0] = count;
    set.names[0] = name;
    set.paths[0].clear();
    set.waveCount = 1;
    set.UpdateViewRange();
    return std::nullopt;
}

Outcome Generated() {
    Outcome outcome;
    outcome.redraw = true;
    return outcome;
}

}  // namespace

Outcome SinGenerator(WaveSet& set, const SineSettings& s) {
    if (set.waveCount != 0) return Refusal(kCloseWavesFirst);
    const int64_t rate = set.format.sampleRate;
    const bool negative = std::min({s.before, s.beginHold, s.changeTime, s.endHold, s.after}) < 0;
    const int64_t seconds = int64_t{s.before} + s.beginHold + s.changeTime + s.endHold + s.after;
    const int64_t total = rate * seconds;
    if (total <= 1 || negative || total > UINT32_MAX) return Refusal(kParameterIncorrect);
    if (s.beginHz == s.endHz) return Refusal(kEqualFrequencies);
    if (set.format.bitsPerSample != 16) return Refusal(kNeed16Bits);
    if (auto failed = StartWave(set, static_cast<uint32_t>(total), kSinWaveName)) return *failed;

    uint8_t* out = set.samples[0].data();
    const auto omega = [rate](double f) { return f * kTwoPi / static_cast<double>(rate); };
    const auto put = [&](int64_t i, double phase) {
        if (i < total)
            SetPcm16(out, static_cast<std::size_t>(i), Clamp16(kSinePeak * std::sin(phase)));
    };

    // The begin tone, phased on the absolute sample index.
    const int64_t beginEnd = rate * (int64_t{s.before} + s.beginHold);
    for (int64_t i = rate * s.before; i < beginEnd; ++i)
        put(i, static_cast<double>(i) * omega(s.beginHz));
    double phase = static_cast<double>(beginEnd) * omega(s.beginHz);

    // The glide: one step of |K| samples per hertz, the phase carried on.
    const double secondsPerHz = static_cast<double>(s.changeTime) / (s.endHz - s.beginHz);
    const int64_t k = static_cast<int64_t>(static_cast<double>(rate) * secondsPerHz);
    const int direction = s.endHz > s.beginHz ? 1 : -1;
    const int64_t stepLength = k * direction;
    int64_t i = beginEnd;
    for (int64_t f = s.beginHz; f != s.endHz; f += direction) {
        for (int64_t j = 0; j < stepLength; ++j)
            put(i++, static_cast<double>(j) * omega(f) + phase);
        phase += static_cast<double>(stepLength) * omega(f);
    }

    // The end tone fills up to the end of its hold time.
    const int64_t endEnd = rate * (seconds - s.after);
    for (int64_t j = 0; i < endEnd; ++i, ++j)
        put(i, static_cast<double>(j) * omega(s.endHz) + phase);
    return Generated();
}

int MixDescription::FreeCells() const {
    int free = 0;
    for (const auto& row : levels)
        for (const int level : row) free += level <= kMaxPairLevel ? 1 : 0;
    return free;
}

bool ReadMixDescription(const std::string& path, MixDescription& description) {
    CIniFile ini;
    if (!ini.Open(path)) return false;
    description.filePath = ini.ReadString("INFO", "FILEPATH");
    description.total = LeadingInt(ini.ReadString("INFO", "TOTAL"));
    for (int d = 1; d <= 5; ++d)
        for (int b = 1; b <= 5; ++b)
            description.levels[d - 1][b - 1] =
                LeadingInt(ini.ReadString("DATA" + std::to_string(d), "BEGIN" + std::to_string(b)));
    return true;
}

Outcome MixGenerator(WaveSet& set, const MixSettings& settings, CrtRandom& random) {
    if (auto refusal = RequireEmpty16BitSet(set)) return *refusal;
    MixDescription description;
    if (!ReadMixDescription(settings.descriptionPath, description))
        return Refusal("The mix description file can not be read:\n" + settings.descriptionPath);
    return MixGenerator(set, settings, description, random);
}

namespace {

// A file's samples as 16-bit mono, or the message for a file that cannot be read.
std::optional<std::string> ReadSamples(const std::string& path, const char* cannotOpen,
                                       std::vector<int16_t>& samples) {
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok())
        return std::string(*header.error == WaveReadError::CannotOpen ? cannotOpen : kNotWaveFile);
    const std::vector<uint8_t> bytes = ReadWaveSamples(std::move(header.file), header.info);
    samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = Pcm16At(bytes.data(), i);
    return std::nullopt;
}

std::string NumberedFile(const std::string& prefix, int number) {
    return prefix + std::to_string(number) + ".wav";
}

}  // namespace

Outcome MixGenerator(WaveSet& set, const MixSettings& s, const MixDescription& description,
                     CrtRandom& random) {
    if (auto refusal = RequireEmpty16BitSet(set)) return *refusal;
    const int n = description.total;
    if (std::min({s.before, s.interval, s.after, s.plays, n}) < 0)
        return Refusal(kParameterIncorrect);
    const int free = description.FreeCells();
    if (n > free) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "The description file asks for %d pairs per play, but only %d pairs are at "
                      "%d dB or below!",
                      n, free, kMaxPairLevel);
        return Refusal(text);
    }
    const int64_t rate = set.format.sampleRate;
    const double seconds =
        static_cast<double>(n) * s.plays * (s.interval + 1.0) + s.before + s.after + 0.1;
    const int64_t total = static_cast<int64_t>(seconds) * rate;
    if (total > UINT32_MAX) return Refusal(kParameterIncorrect);
    if (auto failed = StartWave(set, static_cast<uint32_t>(total), kMixWaveName)) return *failed;

    uint8_t* out = set.samples[0].data();
    int64_t pos = rate * s.before;
    const int64_t step = rate * (int64_t{s.interval} + 1);
    int cut = 0;
    std::vector<int16_t> target, masker;
    for (int play = 0; play < s.plays; ++play) {
        std::array<bool, kMixCells> usable{};
        for (int k = 0; k < kMixCells; ++k)
            usable[k] = description.levels[k / 5][k % 5] <= kMaxPairLevel;
        for (int pair = 0; pair < n; ++pair) {
            int r = 1 + RandomInt(random, n);
            int k = 0;
            while (r > 0) {
                if (++k == kMixCells) k = 0;
                if (usable[k]) --r;
            }
            usable[k] = false;
            const int d = k / 5 + 1, b = k % 5 + 1;
            if (auto message =
                    ReadSamples(NumberedFile(description.filePath, b), kTargetUnreadable, target)) {
                Outcome stopped = Refusal(*message);
                stopped.redraw = true;
                return stopped;
            }
            if (d == b) {
                masker.assign(target.size(), 0);
            } else if (auto message = ReadSamples(NumberedFile(description.filePath, d),
                                                  kMaskerUnreadable, masker)) {
                Outcome stopped = Refusal(*message);
                stopped.redraw = true;
                return stopped;
            }
            const int64_t room = std::max<int64_t>(total - pos, 0);
            if (static_cast<int64_t>(std::max(masker.size(), target.size())) > room) ++cut;
            const int64_t maskerLength =
                std::min<int64_t>(static_cast<int64_t>(masker.size()), room);
            for (int64_t i = 0; i < maskerLength; ++i)
                SetPcm16(out, static_cast<std::size_t>(pos + i), masker[i]);
            const double gain = std::exp(std::log(10.0) * description.levels[d - 1][b - 1] / 20.0);
            const int64_t targetLength =
                std::min<int64_t>(static_cast<int64_t>(target.size()), room);
            for (int64_t i = 0; i < targetLength; ++i) {
                const auto at = static_cast<std::size_t>(pos + i);
                SetPcm16(out, at, Clamp16(Pcm16At(out, at) + target[i] * gain));
            }
            pos += step;
        }
    }
    Outcome outcome = Generated();
    if (cut > 0) {
        char text[120];
        std::snprintf(text, sizeof text,
                      "%d wave file(s) reached past the end of the mix and were cut there.", cut);
        outcome.warning = text;
    }
    return outcome;
}

}  // namespace kestrune::generators
