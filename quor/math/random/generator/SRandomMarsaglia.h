#pragma once
#include "quor/math/random/generator/SRandom.h"

namespace quor {
namespace math {
namespace random {
namespace generator {

// Marsaglia's subtract-with-borrow generator over three 32-bit words.
class SRandomMarsaglia : public SRandom {
public:
    static constexpr uint32_t DefaultSeed = 314159265u;

    SRandomMarsaglia();

    uint32_t Integer() override;
    // The next number read as signed and scaled by 2^-32: [-0.5, 0.5).
    float Float() override;
    void Seed(uint32_t s) override;

private:
    uint32_t x, y, z;
    uint32_t w;  // seeded for completeness, never used to produce numbers
    uint32_t c;  // borrow, 0 or 1
};

}  // namespace generator
}  // namespace random
}  // namespace math
}  // namespace quor
