#include "quor/math/random/generator/SRandomPM.h"

namespace quor {
namespace math {
namespace random {
namespace generator {

uint32_t SRandomPM::Integer()
{
    uint32_t hi = value / q;
    uint32_t lo = value % q;
    // Computed in 64 bits and then truncated: the products stay far inside
    // that range, and truncation to 32 bits is the defined wrap-around.
    int32_t t = static_cast<int32_t>(static_cast<uint32_t>(
        static_cast<int64_t>(a) * lo - static_cast<int64_t>(r) * hi));
    if (t < 0) t = static_cast<int32_t>(static_cast<uint32_t>(t) + m);
    value = static_cast<uint32_t>(t);
    return value;
}

float SRandomPM::Float()
{
    return static_cast<float>(static_cast<int32_t>(Integer())) * 4.656612875245797e-10f;
}

}  // namespace generator
}  // namespace random
}  // namespace math
}  // namespace quor
