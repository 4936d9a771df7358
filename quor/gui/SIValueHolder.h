#pragma once
// An integer value with a default, held by buttons and dials.

namespace quor {
namespace gui {

template <typename T>
class SIValueHolder {
public:
    virtual ~SIValueHolder() = default;
    // Stores v; whether it changed. Owners may store any value.
    virtual bool SetValue(T v, bool)
    {
        bool changed = v != value;
        value = v;
        return changed;
    }
    virtual T GetValue() { return value; }
    virtual T GetValueDef() { return valueDefault; }
    virtual void ResetValue() { SetValue(valueDefault, true); }
    virtual void SetValueDef(T v) { valueDefault = v; }

    T value = 0;
    T valueDefault = 0;
};

}  // namespace gui
}  // namespace quor
