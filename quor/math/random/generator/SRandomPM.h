#pragma once
#include "quor/math/random/generator/SRandom.h"

namespace quor {
namespace math {
namespace random {
namespace generator {

// Park-Miller "minimal standard" generator, computed with Schrage's method so
// that no intermediate product overflows 32 bits. Seed with a value in
// [1, m - 1]; 0 is a fixed point of the recurrence.
class SRandomPM : public SRandom {
public:
    SRandomPM() : a(16807u), m(2147483647u), q(127773u), r(2836u) {}

    uint32_t Integer() override;
    // The next number read as signed and scaled by 1 / m: (0, 1] for seeds in range.
    float Float() override;

private:
    uint32_t a, m, q, r;
};

}  // namespace generator
}  // namespace random
}  // namespace math
}  // namespace quor
