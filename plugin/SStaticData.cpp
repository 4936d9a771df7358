#include "plugin/SStaticData.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "quor/gui/SCOL.h"
#include "quor/gui/SConnectionWatch.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawPen.h"
#include "quor/system/SSystemData.h"

using quor::gui::context::SDrawBrush;
using quor::gui::context::SDrawFont;
using quor::gui::context::SDrawPen;
using quor::gui::context::SPixel;
using quor::threading::SMutexLock;

bool SColourRing::Add(quor::gui::context::SPixel pixel)
{
    if (count >= capacity) return false;
    values[writePosition] = pixel;
    writePosition = (writePosition + 1) % capacity;
    ++count;
    return true;
}

namespace {
struct RGB {
    int r, g, b;
};
const RGB tableColours[SColourRing::Capacity] = {
    {255, 255, 255}, {255, 255, 0}, {255, 128, 0},   {128, 64, 0},    {255, 0, 0},     {100, 0, 0},
    {64, 0, 0},      {255, 0, 255}, {128, 0, 255},   {172, 128, 255}, {0, 0, 255},     {0, 128, 255},
    {0, 255, 255},   {0, 255, 0},   {0, 128, 0},     {0, 64, 0},      {128, 255, 0},   {192, 255, 0},
    {255, 236, 200}, {128, 128, 128}, {0, 0, 0},     {247, 231, 168}, {236, 213, 123}, {138, 145, 150},
    {77, 81, 84},    {22, 22, 22},  {44, 44, 44},    {66, 66, 66},    {90, 90, 90},
};
}  // namespace

// Load time, in one constructor so that the order is fixed: the display first,
// then the system data (whose monitor layout needs the display), then the
// shared GUI state. With no X server everything still loads; nothing below
// calls X on a null display.
SStaticData::SStaticData()
{
    XInitThreads();
    dps = quor::gui::context::OpenOwnDisplay();
    if (!dps) fputs("Error: XOpenDisplay failed.\n", stderr);
    sd.getOSInfos();
    sd.getCPUInfos();
    sd.getDisplayInfos();
    AddColours();
}

SStaticData::~SStaticData()
{
    // Nothing may read the connection while it closes.
    quor::gui::SEventDispatcher::Shutdown();
    // The host may already have closed its display: nothing more goes to it.
    // Resources made on it die with that connection.
    quor::gui::context::ForgetHostDisplay();
    fonts.Clear();
    brushes.Clear();
    pens.Clear();
    if (dps) {
        Display* own = dps;
        __atomic_store_n(&dps, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
        // The trap stays until the connection is gone: closing collects the
        // errors of requests still in flight.
        XCloseDisplay(own);
        quor::gui::SXErrorTrap::Forget(own);
    }
    quor::gui::context::CloseLostDisplays();
    // No connection of ours is left for the process-wide handler to keep.
    quor::gui::SConnectionWatch::Release();
}

void SStaticData::AddColours()
{
    SMutexLock hold(colourLock);
    if (coloursLoaded.load(std::memory_order_acquire) || !quor::gui::context::CurrentDisplay()) return;
    for (const RGB& c : tableColours) {
        if (colours.Count() < SColourRing::Capacity) colours.Add(quor::gui::SCOL(c.r, c.g, c.b));
    }
    coloursLoaded.store(true, std::memory_order_release);
}

void SStaticData::RenewColours()
{
    SMutexLock hold(colourLock);
    coloursLoaded.store(false, std::memory_order_release);
    colours = SColourRing();
    if (!quor::gui::context::CurrentDisplay()) return;
    for (const RGB& c : tableColours) {
        if (colours.Count() < SColourRing::Capacity) colours.Add(quor::gui::SCOL(c.r, c.g, c.b));
    }
    coloursLoaded.store(true, std::memory_order_release);
}

SDrawBrush* SStaticData::FindBrush(SPixel colour)
{
    SMutexLock hold(lock);
    for (int i = 0; i < brushes.Count(); ++i) {
        SDrawBrush* brush = brushes.Get(i);
        if (brush && brush->EffectiveColour() == colour) return brush;
    }
    SDrawBrush* brush = new SDrawBrush(colour, -1, nullptr);
    brushes.Add(brush);
    return brush;
}

SDrawPen* SStaticData::FindPen(SPixel colour)
{
    SMutexLock hold(lock);
    for (int i = 0; i < pens.Count(); ++i) {
        SDrawPen* pen = pens.Get(i);
        if (pen && pen->colour == colour) return pen;
    }
    SDrawPen* pen = new SDrawPen(colour, 1, false);
    pens.Add(pen);
    return pen;
}

void SStaticData::AddFont(SDrawFont* font)
{
    if (!font) return;
    SMutexLock hold(lock);
    fonts.Add(font);
}

SDrawFont* SStaticData::SharedFont(int size, bool bold)
{
    Display* current = quor::gui::context::CurrentDisplay();
    for (int i = 0; i < fonts.Count(); ++i) {
        SDrawFont* font = fonts.Get(i);
        // A font loaded on a connection that has been lost since stays in the
        // list (controls made then may still hold it) but serves no one.
        if (font && font->Size() == size && font->Bold() == bold && !font->Italic() && !font->HasFamily() &&
            (current ? font->TriedOn() == current : !font->Tried()))
            return font;
    }
    return nullptr;
}

SDrawFont* SStaticData::FindFont(int size, bool bold)
{
    {
        SMutexLock hold(lock);
        if (SDrawFont* font = SharedFont(size, bold)) return font;
    }
    // Loading asks the server, which must not happen under the list lock;
    // another thread may add the same font meanwhile, and then its font wins.
    SDrawFont* made = new SDrawFont(size, bold, false, false, nullptr);
    SDrawFont* found;
    {
        SMutexLock hold(lock);
        found = SharedFont(size, bold);
        if (!found) {
            fonts.Add(made);
            return made;
        }
    }
    delete made;
    return found;
}

int SStaticData::PenCount()
{
    SMutexLock hold(lock);
    return pens.Count();
}

int SStaticData::BrushCount()
{
    SMutexLock hold(lock);
    return brushes.Count();
}

int SStaticData::FontCount()
{
    SMutexLock hold(lock);
    return fonts.Count();
}

SStaticData statdata;
