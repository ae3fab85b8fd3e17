#include "audio/VirtualInput.h"

namespace kestrune::audio {

bool VirtualInput::Open(const WaveFormat& format) {
    Close();
    if (refuseOpen_ || format.channels != 1 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.sampleRate == 0) {
        return false;
    }
    std::lock_guard lock(feedMutex_);
    ring_.Clear();
    position_.store(0);
    format_ = format;
    ++openCount_;
    open_.store(true);
    return true;
}

std::size_t VirtualInput::Read(uint8_t* out, std::size_t size) {
    return ring_.Read(out, size);
}

void VirtualInput::SetDataCallback(DataCallback callback) {
    std::lock_guard lock(feedMutex_);
    callback_ = std::move(callback);
}

void VirtualInput::Close() {
    std::lock_guard lock(feedMutex_);
    open_.store(false);
}

bool VirtualInput::Feed(const uint8_t* bytes, std::size_t size) {
    {
        std::lock_guard lock(feedMutex_);
        if (!open_.load()) return false;
        ring_.Write(bytes, size);
        position_.fetch_add(size);
        if (callback_) callback_();
    }
    return true;
}

}  // namespace kestrune::audio
