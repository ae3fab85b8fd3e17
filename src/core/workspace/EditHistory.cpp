#include "core/workspace/EditHistory.h"

#include <utility>

namespace kestrune {

namespace {

EditHistory::Rest RestOf(const WaveSet& set) {
    return {set.waveCount, set.firstPath, set.format, set.processParameters};
}

EditHistory::Wave SlotOf(const WaveSet& set, int slot) {
    const auto i = static_cast<std::size_t>(slot);
    return {set.samples[i], set.sampleCounts[i], set.names[i], set.paths[i]};
}

EditHistory::Wave BackupOf(const WaveSet& set) {
    return {set.backupSamples, set.backupCount, set.backupName, {}};
}

bool SameSlot(const WaveSet& set, int slot, const EditHistory::Wave& wave) {
    const auto i = static_cast<std::size_t>(slot);
    return set.sampleCounts[i] == wave.count && set.names[i] == wave.name &&
           set.paths[i] == wave.path && set.samples[i] == wave.bytes;
}

bool SameBackup(const WaveSet& set, const EditHistory::Wave& wave) {
    return set.backupCount == wave.count && set.backupName == wave.name &&
           set.backupSamples == wave.bytes;
}

}  // namespace

// The whole set as it was at Begin.
struct EditHistory::Picture {
    Rest rest;
    std::array<Wave, WaveSet::kMaxWaves> waves;
    Wave backup;
};

EditHistory::EditHistory(std::size_t maxSteps) : maxSteps_(maxSteps) {}

EditHistory::~EditHistory() = default;

void EditHistory::Begin(const WaveSet& set) {
    CheckFormat(set.format);
    auto picture = std::make_unique<Picture>();
    picture->rest = RestOf(set);
    for (int i = 0; i < WaveSet::kMaxWaves; ++i) picture->waves[i] = SlotOf(set, i);
    picture->backup = BackupOf(set);
    pending_ = std::move(picture);
}

bool EditHistory::Commit(const WaveSet& set) {
    if (!pending_) return false;
    std::unique_ptr<Picture> before = std::move(pending_);
    if (before->rest.format != set.format) {
        Clear();
        return false;
    }
    Step step;
    step.rest = before->rest;
    for (int i = 0; i < WaveSet::kMaxWaves; ++i) {
        auto& slot = before->waves[static_cast<std::size_t>(i)];
        if (!SameSlot(set, i, slot)) step.changedSlots.emplace_back(i, std::move(slot));
    }
    if (!SameBackup(set, before->backup)) step.backup = std::move(before->backup);
    if (step.changedSlots.empty() && !step.backup && step.rest == RestOf(set)) return false;

    redo_.clear();
    undo_.push_back(std::move(step));
    while (undo_.size() > maxSteps_) undo_.pop_front();
    return true;
}

void EditHistory::Cancel() {
    pending_.reset();
}

void EditHistory::Swap(WaveSet& set, Step& step) const {
    Rest now = RestOf(set);
    set.waveCount = step.rest.waveCount;
    set.firstPath = std::move(step.rest.firstPath);
    set.format = step.rest.format;
    set.processParameters = step.rest.processParameters;
    step.rest = std::move(now);
    for (auto& [slot, wave] : step.changedSlots) {
        const auto i = static_cast<std::size_t>(slot);
        std::swap(set.samples[i], wave.bytes);
        std::swap(set.sampleCounts[i], wave.count);
        std::swap(set.names[i], wave.name);
        std::swap(set.paths[i], wave.path);
    }
    if (step.backup) {
        std::swap(set.backupSamples, step.backup->bytes);
        std::swap(set.backupCount, step.backup->count);
        std::swap(set.backupName, step.backup->name);
    }
}

bool EditHistory::Undo(WaveSet& set) {
    CheckFormat(set.format);
    if (undo_.empty()) return false;
    pending_.reset();
    Swap(set, undo_.back());
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
    return true;
}

bool EditHistory::Redo(WaveSet& set) {
    CheckFormat(set.format);
    if (redo_.empty()) return false;
    pending_.reset();
    Swap(set, redo_.back());
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
    return true;
}

void EditHistory::Clear() {
    pending_.reset();
    undo_.clear();
    redo_.clear();
}

void EditHistory::CheckFormat(const WaveFormat& format) {
    // Every step keeps the format it was taken in (the same before and after).
    const Step* any = !undo_.empty() ? &undo_.back() : !redo_.empty() ? &redo_.back() : nullptr;
    if (any != nullptr && any->rest.format != format) Clear();
}

std::size_t EditHistory::StoredBytes() const {
    std::size_t bytes = 0;
    for (const auto* steps : {&undo_, &redo_}) {
        for (const Step& step : *steps) {
            for (const auto& [slot, wave] : step.changedSlots) bytes += wave.bytes.size();
            if (step.backup) bytes += step.backup->bytes.size();
        }
    }
    return bytes;
}

}  // namespace kestrune
