#pragma once
// Floats by their bit patterns, for the samples (NaN payloads, denormals,
// -0) that must come through a copy unchanged.

#include <cstdint>
#include <cstring>

namespace bwtest {

inline float FromBits(uint32_t bits)
{
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

}  // namespace bwtest
