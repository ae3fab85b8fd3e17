// A byte queue between exactly one writing thread and one reading thread,
// with no lock and no allocation after construction: the audio callback
// writes captured bytes, the thread that owns the recording reads them.
// Bytes that do not fit are dropped and counted, never overwritten.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrune::audio {

class ByteRing {
  public:
    /** Holds up to `capacity` bytes (rounded up to a power of two). */
    explicit ByteRing(std::size_t capacity);

    /** Writer thread only. Stores as much of `bytes` as fits; returns how
     *  much that was. */
    std::size_t Write(const uint8_t* bytes, std::size_t size);
    /** Reader thread only. Moves up to `size` bytes into `out`. */
    std::size_t Read(uint8_t* out, std::size_t size);
    /** Bytes waiting; exact on the reader's thread, a lower bound elsewhere. */
    std::size_t Available() const;
    /** Bytes Write() could not store since the last Clear(). */
    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
    /** Empties the ring. Only while neither thread uses it. */
    void Clear();
    std::size_t Capacity() const { return data_.size(); }

  private:
    std::vector<uint8_t> data_;
    std::size_t mask_ = 0;
    std::atomic<uint64_t> written_{0};  // total bytes written
    std::atomic<uint64_t> read_{0};     // total bytes read
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace kestrune::audio
