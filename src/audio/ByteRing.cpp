#include "audio/ByteRing.h"

#include <algorithm>
#include <cstring>

namespace kestrune::audio {

namespace {

std::size_t PowerOfTwoAtLeast(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

}  // namespace

ByteRing::ByteRing(std::size_t capacity)
    : data_(PowerOfTwoAtLeast(std::max<std::size_t>(capacity, 1))), mask_(data_.size() - 1) {}

std::size_t ByteRing::Write(const uint8_t* bytes, std::size_t size) {
    const uint64_t written = written_.load(std::memory_order_relaxed);
    const uint64_t read = read_.load(std::memory_order_acquire);
    const std::size_t room = data_.size() - static_cast<std::size_t>(written - read);
    const std::size_t take = std::min(size, room);
    if (take < size) dropped_.fetch_add(size - take, std::memory_order_relaxed);
    if (take == 0) return 0;
    const std::size_t at = static_cast<std::size_t>(written) & mask_;
    const std::size_t first = std::min(take, data_.size() - at);
    std::memcpy(data_.data() + at, bytes, first);
    std::memcpy(data_.data(), bytes + first, take - first);
    written_.store(written + take, std::memory_order_release);
    return take;
}

std::size_t ByteRing::Read(uint8_t* out, std::size_t size) {
    const uint64_t read = read_.load(std::memory_order_relaxed);
    const uint64_t written = written_.load(std::memory_order_acquire);
    const std::size_t take = std::min(size, static_cast<std::size_t>(written - read));
    if (take == 0) return 0;
    const std::size_t at = static_cast<std::size_t>(read) & mask_;
    const std::size_t first = std::min(take, data_.size() - at);
    std::memcpy(out, data_.data() + at, first);
    std::memcpy(out + first, data_.data(), take - first);
    read_.store(read + take, std::memory_order_release);
    return take;
}

std::size_t ByteRing::Available() const {
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_acquire));
}

void ByteRing::Clear() {
    written_.store(0);
    read_.store(0);
    dropped_.store(0);
}

}  // namespace kestrune::audio
