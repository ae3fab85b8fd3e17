#pragma once

#include <cstdint>

namespace kestrune {

/**
 * The classic C-library random generator of the platform the legacy scenario
 * files and result tables were made on: a 32-bit linear congruential state,
 * state = state * 214013 + 2531011, yielding (state >> 16) & 0x7FFF.
 *
 * Reproducing it exactly keeps draws deterministic under a seed, so a test
 * run can be replayed and compared with stored sessions. One instance is
 * owned per user (the workspace, each test dialog); it is not thread-safe.
 */
class CrtRandom {
  public:
    static constexpr int kMax = 0x7FFF;  ///< largest value Next() returns (32767)

    CrtRandom() = default;  ///< seeded with 1, as the C library is before any srand()
    explicit CrtRandom(std::uint32_t seed) : state_(seed) {}

    /** srand(): restarts the sequence from seed. */
    void Seed(std::uint32_t seed) { state_ = seed; }

    /** rand(): the next value, 0 ... 32767. */
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    std::uint32_t State() const { return state_; }

  private:
    std::uint32_t state_ = 1;
};

/**
 * (int)(n * r / 32767.0) for the next draw r: results run from 0 to n
 * inclusive, n itself only when r is 32767. The product is taken in 64 bits
 * so large n cannot overflow.
 */
int RandomInt(CrtRandom& random, int n);

}  // namespace kestrune
