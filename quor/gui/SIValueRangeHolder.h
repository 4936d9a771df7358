#pragma once
// A value with a default inside a range: minimum, maximum, the median between
// them and a step that only the accessors use.

#include <cmath>

#include "quor/gui/SIValueHolder.h"

namespace quor {
namespace gui {

template <typename T>
class SIValueRangeHolder : public SIValueHolder<T> {
public:
    // The default is kept inside the range.
    void SetValueDef(T v) override { this->valueDefault = Clip(v); }
    virtual void SetValueRange(T min, T max, T def)
    {
        minimum = min;
        maximum = max;
        SetValueDef(def);
        CalcValueMed();
    }
    // Stores v moved into the range; whether the value changed.
    virtual bool SetValueClipped(T v) { return this->SetValue(Clip(v), false); }
    // A bound moved past the default takes the default along.
    virtual void SetValueMin(T v)
    {
        minimum = v;
        if (v > this->valueDefault) this->valueDefault = v;
        CalcValueMed();
    }
    virtual void SetValueMax(T v)
    {
        maximum = v;
        if (v < this->valueDefault) this->valueDefault = v;
        CalcValueMed();
    }
    // The value becomes the median; whether it changed.
    virtual bool SetValueMed() { return this->SetValue(median, false); }
    virtual void SetValueStep(T s) { step = s; }
    virtual T GetValueStep() { return step; }
    virtual T GetValueRange() { return maximum - minimum; }
    virtual T GetValueMin() { return minimum; }
    virtual T GetValueMax() { return maximum; }
    virtual T GetValueMed() { return median; }
    // Halfway, rounded towards minus infinity.
    virtual void CalcValueMed() { median = minimum + ((maximum - minimum) >> 1); }
    // The value at fraction f of the range, counted from the minimum or, with
    // fromTop, down from the maximum; rounded to the nearest.
    virtual T ScaleValue(float f, bool fromTop)
    {
        const double range = static_cast<double>(maximum) - static_cast<double>(minimum);
        const double v = fromTop ? static_cast<double>(maximum) - f * range : static_cast<double>(minimum) + f * range;
        return static_cast<T>(std::lrint(v + 8.326e-17));
    }

    // v moved into minimum..maximum.
    T Clip(T v) const { return v < minimum ? minimum : v > maximum ? maximum : v; }

    T minimum = 0;
    T maximum = 0;
    T median = 0;
    T step = 1;
};

}  // namespace gui
}  // namespace quor
