#include "plugin/engine/SIndicatorAudio.h"

#include <cmath>

namespace {

// The x87 unit keeps more precision than a float holds; a store through
// memory rounds.
inline float Rounded(float value)
{
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ == 0
    return value;
#else
    volatile float stored = value;
    return stored;
#endif
}

}  // namespace

float SIndicatorAudio::LinearThresholdOf(int32_t db)
{
    const float parameter = Rounded(ThresholdParameter(db));
    return Rounded(static_cast<float>(std::pow(10.0, Rounded(-5.0f * parameter))));
}
