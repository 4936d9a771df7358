#pragma once
// Process-wide GUI state built at load time: the colour table and the shared
// pens, brushes and fonts that every control draws with.

#include <atomic>
#include <cstdint>

#include "quor/gui/context/SBrushList.h"
#include "quor/gui/context/SFontList.h"
#include "quor/gui/context/SPixel.h"
#include "quor/gui/context/SPenList.h"
#include "quor/threading/SMutexOS.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}
}  // namespace gui
}  // namespace quor

// A fixed ring of pixel values, filled once and read-only after.
class SColourRing {
public:
    static constexpr int Capacity = 29;

    // Appends while there is room; false when full.
    bool Add(quor::gui::context::SPixel pixel);
    int Count() const { return count; }
    // Entry i is colour index i; 0 (black) for an index that was never filled.
    quor::gui::context::SPixel operator[](int index) const
    {
        return index >= 0 && index < count && index < Capacity ? values[index] : 0u;
    }

private:
    quor::gui::context::SPixel values[Capacity] = {};
    int writePosition = 0;
    [[maybe_unused]] int readPosition = 0;  // kept with the table's layout; nothing reads back by position
    int capacity = Capacity;
    int count = 0;
};

class SStaticData {
public:
    SStaticData();
    ~SStaticData();
    SStaticData(const SStaticData&) = delete;
    SStaticData& operator=(const SStaticData&) = delete;

    // Fills the colour table with the 29 colours of the toolkit, once: at load,
    // or when the first display arrives later (the host's, at editor open).
    // Without a display it stays empty (every entry reads as black) and no X
    // call is made. Safe to call from any thread and more than once.
    void AddColours();
    // Fills the table again for a fresh connection, after the one it was
    // filled for was lost. Only while no drawing can read it: the caller
    // holds the toolkit lock, which every drawing thread holds.
    void RenewColours();
    // The shared solid brush and the shared 1-pixel solid pen of a colour,
    // made and added on first use. Safe from any drawing thread; the objects
    // live until unload.
    quor::gui::context::SDrawBrush* FindBrush(quor::gui::context::SPixel colour);
    quor::gui::context::SDrawPen* FindPen(quor::gui::context::SPixel colour);
    // Hands a font to the shared list, which frees it at unload.
    void AddFont(quor::gui::context::SDrawFont* font);
    // The shared upright font of the toolkit's family for a size in points
    // and a boldness (SDrawFont(size, bold, false, false, nullptr)), made and
    // added on first use: every caller gets the same object, which lives
    // until unload. A font made while the process had no display yet is
    // replaced by a loaded one once a display is there. Safe from any thread.
    quor::gui::context::SDrawFont* FindFont(int size, bool bold);
    int PenCount();
    int BrushCount();
    int FontCount();

    // Colour index 0..28 as a pixel value; black (0) before the table is
    // filled. The table is read only once complete, so drawing threads never
    // see it half written.
    quor::gui::context::SPixel Colour(int index) const
    {
        return coloursLoaded.load(std::memory_order_acquire) ? colours[index] : 0u;
    }

    // Set once the colour table is complete; it never changes after.
    std::atomic<bool> coloursLoaded{false};
    quor::gui::context::SPenListOwned pens;
    quor::gui::context::SBrushListOwned brushes;
    quor::gui::context::SFontListOwned fonts;
    SColourRing colours;

private:
    // The matching shared font, or null; the lock is held.
    quor::gui::context::SDrawFont* SharedFont(int size, bool bold);

    // Guards the three lists: drawing threads add to them at any time. No X
    // call is made under it: a painter holds the display lock while it looks
    // up a pen, so asking the server while holding this lock could deadlock.
    quor::threading::SMutexOS lock;
    // Serialises filling the colour table, whose X requests may wait for the
    // display lock; nothing else is taken under it.
    quor::threading::SMutexOS colourLock;
};

extern SStaticData statdata;
