#include "audio/VirtualOutput.h"

#include <algorithm>

#include "core/util/Clock.h"

namespace kestrune::audio {

int HeardSegment::Sample(std::size_t frame, int channel) const {
    const std::size_t i = frame * channels + static_cast<std::size_t>(channel);
    if (bitsPerSample == 8) return bytes[i];
    const auto low = static_cast<uint16_t>(bytes[2 * i]);
    const auto high = static_cast<uint16_t>(bytes[2 * i + 1]);
    return static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
}

VirtualOutput::~VirtualOutput() {
    Close();
}

bool VirtualOutput::Open(const WaveFormat& format, uint32_t playbackRate) {
    Close();
    if ((format.channels != 1 && format.channels != 2) ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16) || playbackRate == 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!acceptedRates_.empty() && std::find(acceptedRates_.begin(), acceptedRates_.end(),
                                             playbackRate) == acceptedRates_.end())
        return false;
    open_ = true;
    ++openCount_;
    bits_ = format.bitsPerSample;
    channels_ = format.channels;
    frameBytes_ = static_cast<uint16_t>(format.bitsPerSample / 8 * channels_);
    rate_ = playbackRate;
    paused_ = false;
    running_ = false;
    played_ = queued_ = 0;
    segmentOpen_ = false;
    return true;
}

bool VirtualOutput::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool VirtualOutput::CatchUp(uint64_t tick) const {
    if (!open_ || !running_ || paused_ || played_ == queued_) return false;
    const uint64_t due = anchorFrame_ + (tick - anchorTick_) * rate_ / 1000;
    const uint64_t target = std::min(due, queued_);
    if (target > played_) PlayFrames(target - played_);
    if (played_ < queued_) return false;
    // Ran dry: the next buffer starts afresh when it is written.
    running_ = false;
    segmentOpen_ = false;
    return true;
}

void VirtualOutput::PlayFrames(uint64_t count) const {
    if (!segmentOpen_) {
        HeardSegment segment;
        segment.rate = rate_;
        segment.bitsPerSample = bits_;
        segment.channels = channels_;
        segment.startMs = static_cast<double>(anchorTick_) +
                          1000.0 * static_cast<double>(played_ - anchorFrame_) / rate_;
        heard_.push_back(std::move(segment));
        segmentOpen_ = true;
    }
    std::vector<uint8_t>& out = heard_.back().bytes;
    uint64_t bytes = count * frameBytes_;
    while (bytes > 0) {
        const std::vector<uint8_t>& front = queue_.front();
        const std::size_t take =
            static_cast<std::size_t>(std::min<uint64_t>(bytes, front.size() - frontOffset_));
        out.insert(out.end(), front.begin() + static_cast<std::ptrdiff_t>(frontOffset_),
                   front.begin() + static_cast<std::ptrdiff_t>(frontOffset_ + take));
        frontOffset_ += take;
        bytes -= take;
        if (frontOffset_ == front.size()) {
            queue_.pop_front();
            frontOffset_ = 0;
        }
    }
    played_ += count;
}

void VirtualOutput::NotifyIfDone(bool done) const {
    // Runs outside the lock, so the callback may read the device.
    if (done && doneCallback_) doneCallback_();
}

bool VirtualOutput::Write(const uint8_t* bytes, std::size_t size) {
    const uint64_t now = clock_.TickMs();
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        if (!open_) return false;
        done = CatchUp(now);
        const std::size_t whole = size / frameBytes_ * frameBytes_;
        if (whole > 0) {
            queue_.emplace_back(bytes, bytes + whole);
            if (!running_ && played_ == queued_ && !paused_) {
                running_ = true;
                anchorTick_ = now;
                anchorFrame_ = played_;
                segmentOpen_ = false;
            }
            queued_ += whole / frameBytes_;
        }
    }
    NotifyIfDone(done);
    return true;
}

void VirtualOutput::Pause() {
    const uint64_t now = clock_.TickMs();
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        if (!open_ || paused_) return;
        done = CatchUp(now);
        paused_ = true;
        running_ = false;
        segmentOpen_ = false;
    }
    NotifyIfDone(done);
}

void VirtualOutput::Resume() {
    const uint64_t now = clock_.TickMs();
    std::lock_guard lock(mutex_);
    if (!open_ || !paused_) return;
    paused_ = false;
    if (played_ < queued_) {
        running_ = true;
        anchorTick_ = now;
        anchorFrame_ = played_;
    }
}

void VirtualOutput::Stop() {
    const uint64_t now = clock_.TickMs();
    std::lock_guard lock(mutex_);
    if (!open_) return;
    CatchUp(now);  // what played up to now was heard; a drop is not a "done"
    queue_.clear();
    frontOffset_ = 0;
    played_ = queued_ = 0;
    running_ = false;
    segmentOpen_ = false;
}

uint64_t VirtualOutput::PositionBytes() const {
    const uint64_t now = clock_.TickMs();
    uint64_t position = 0;
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        done = CatchUp(now);
        position = played_ * frameBytes_;
    }
    NotifyIfDone(done);
    return position;
}

bool VirtualOutput::Done() const {
    const uint64_t now = clock_.TickMs();
    bool done = false;
    bool empty = true;
    {
        std::lock_guard lock(mutex_);
        done = CatchUp(now);
        empty = played_ == queued_;
    }
    NotifyIfDone(done);
    return empty;
}

void VirtualOutput::SetDoneCallback(DoneCallback callback) {
    std::lock_guard lock(mutex_);
    doneCallback_ = std::move(callback);
}

void VirtualOutput::Close() {
    const uint64_t now = clock_.TickMs();
    std::lock_guard lock(mutex_);
    if (!open_) return;
    CatchUp(now);
    queue_.clear();
    frontOffset_ = 0;
    played_ = queued_ = 0;
    running_ = false;
    segmentOpen_ = false;
    open_ = false;
}

void VirtualOutput::Pump() {
    (void)Done();
}

std::vector<HeardSegment> VirtualOutput::Heard() const {
    const uint64_t now = clock_.TickMs();
    std::vector<HeardSegment> heard;
    bool done = false;
    {
        std::lock_guard lock(mutex_);
        done = CatchUp(now);
        heard = heard_;
    }
    NotifyIfDone(done);
    return heard;
}

int VirtualOutput::OpenCount() const {
    std::lock_guard lock(mutex_);
    return openCount_;
}

uint32_t VirtualOutput::Rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

void VirtualOutput::SetAcceptedRates(std::vector<uint32_t> rates) {
    std::lock_guard lock(mutex_);
    acceptedRates_ = std::move(rates);
}

}  // namespace kestrune::audio
