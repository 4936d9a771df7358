#pragma once
// The value interface that owners of a value control hold: a ranged value
// with its scale (1 / range), and Reset back to the default.

#include "quor/gui/SIValueRangeHolder.h"

namespace quor {
namespace gui {

template <typename T>
class SIControllable : public SIValueRangeHolder<T> {
public:
    void SetValueRange(T min, T max, T def) override
    {
        SIValueRangeHolder<T>::SetValueRange(min, max, def);
        scale = max != min ? 1.0f / static_cast<float>(max - min) : 1.0f;
    }
    virtual void Reset() { this->ResetValue(); }

    float scale = 1.0f;
};

}  // namespace gui
}  // namespace quor
