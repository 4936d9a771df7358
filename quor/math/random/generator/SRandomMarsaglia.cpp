#include "quor/math/random/generator/SRandomMarsaglia.h"

#include <cmath>

namespace quor {
namespace math {
namespace random {
namespace generator {

SRandomMarsaglia::SRandomMarsaglia() : x(0), y(0), z(0), w(0), c(0)
{
    Seed(DefaultSeed);
}

void SRandomMarsaglia::Seed(uint32_t s)
{
    SRandom::Seed(s);
    x = s ^ 0x1F123BB5u;
    y = s ^ 0x159A55E5u;
    z = s ^ 0x00F6A3D9u;
    w = s ^ 0x436CBAE9u;
    c = y > z ? 1u : 0u;
}

uint32_t SRandomMarsaglia::Integer()
{
    // All arithmetic wraps modulo 2^32 (unsigned).
    uint32_t sum = x + c;
    uint32_t t;
    if (y > sum) {
        c = 0;
        t = y - sum;
    } else {
        c = 1;
        t = y - sum - 18u;
    }
    x = y;
    y = z;
    z = t;
    value = t + 1489463708u;
    return value;
}

float SRandomMarsaglia::Float()
{
    // i386's x87 keeps the product wider than a float: the test below would
    // pass a value that becomes 0.5 once the caller stores it. The store
    // rounds it first.
    volatile float product = static_cast<float>(static_cast<int32_t>(Integer())) * 2.3283064370807974e-10f;
    const float f = product;
    // The topmost draws round up to 2^31 as floats and would give 0.5 itself.
    return f < 0.5f ? f : std::nextafter(0.5f, 0.0f);
}

}  // namespace generator
}  // namespace random
}  // namespace math
}  // namespace quor
