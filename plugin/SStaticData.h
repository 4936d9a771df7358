#pragma once
// Process-wide GUI state built at load time: the colour table and the shared
// pens, brushes and fonts that every control draws with.

#include <cstdint>

#include "quor/gui/context/SBrushList.h"
#include "quor/gui/context/SFontList.h"
#include "quor/gui/context/SPenList.h"
#include "quor/threading/SMutexOS.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}
}  // namespace gui
}  // namespace quor

// A fixed ring of pixel values, filled once at load and read-only after.
class SColourRing {
public:
    static constexpr int Capacity = 29;

    // Appends while there is room; false when full.
    bool Add(uint32_t pixel);
    int Count() const { return count; }
    // Entry i is colour index i; 0 (black) for an index that was never filled.
    uint32_t operator[](int index) const { return index >= 0 && index < count && index < Capacity ? values[index] : 0u; }

private:
    uint32_t values[Capacity] = {};
    int writePosition = 0;
    int readPosition = 0;
    int capacity = Capacity;
    int count = 0;
};

class SStaticData {
public:
    SStaticData();
    ~SStaticData();
    SStaticData(const SStaticData&) = delete;
    SStaticData& operator=(const SStaticData&) = delete;

    // Fills the colour table with the 29 colours of the toolkit. Without a
    // display it stays empty (every entry reads as black) and no X call is made.
    void AddColours();
    // The shared solid brush and the shared 1-pixel solid pen of a colour,
    // made and added on first use. Safe from any drawing thread; the objects
    // live until unload.
    quor::gui::context::SDrawBrush* FindBrush(int colour);
    quor::gui::context::SDrawPen* FindPen(int colour);
    // Hands a font to the shared list, which frees it at unload.
    void AddFont(quor::gui::context::SDrawFont* font);
    int PenCount();
    int BrushCount();
    int FontCount();

    // Colour index 0..28 as a pixel value.
    uint32_t Colour(int index) const { return colours[index]; }

    bool coloursLoaded = false;
    quor::gui::context::SPenListOwned pens;
    quor::gui::context::SBrushListOwned brushes;
    quor::gui::context::SFontListOwned fonts;
    SColourRing colours;

private:
    // Guards the three lists: drawing threads add to them at any time.
    quor::threading::SMutexOS lock;
};

extern SStaticData statdata;
