#include "core/util/Random.h"

namespace kestrune {

int RandomInt(CrtRandom& random, int n) {
    const std::int64_t product = static_cast<std::int64_t>(n) * random.Next();
    return static_cast<int>(static_cast<double>(product) / 32767.0);
}

}  // namespace kestrune
