#pragma once
#include <cstdint>

namespace quor {
namespace math {
namespace random {
namespace generator {

// Base of the small pseudo-random generators. Not thread-safe: a generator
// belongs to one thread at a time.
class SRandom {
public:
    SRandom() : value(0), seed(0) {}
    virtual ~SRandom() = default;

    virtual uint32_t Integer() = 0;
    virtual float Float() = 0;
    virtual void Seed(uint32_t s)
    {
        value = s;
        seed = s;
    }

    uint32_t Value() const { return value; }
    uint32_t GetSeed() const { return seed; }

protected:
    uint32_t value;  // the number last produced, or the seed right after seeding
    uint32_t seed;   // the last seed given
};

}  // namespace generator
}  // namespace random
}  // namespace math
}  // namespace quor
