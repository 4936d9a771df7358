#include "quor/gui/SWindowRegistry.h"

#include <mutex>
#include <vector>

namespace quor {
namespace gui {

namespace {

struct Entry {
    SControl* control;
    Display* display;
    Window window;
    uint32_t key;
};

struct Destroyed {
    Display* display;
    Window window;
};

struct Registry {
    std::mutex lock;
    std::vector<Entry> entries;  // a few dozen at most: a scan is cheapest
    uint32_t lastKey = 0;
    // A ring: a panel and its children are about a dozen windows, and
    // ids of a connection are not given out again soon.
    Destroyed gone[64] = {};
    unsigned next = 0;
};

Registry& registry()
{
    static Registry r;
    return r;
}

uint32_t KeyFor(SControl* control, Registry& r)
{
    if (sizeof(void*) == 4) return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(control));
    // Skips 0 and keys still in use after the counter wraps.
    for (;;) {
        uint32_t key = ++r.lastKey;
        if (key == 0) continue;
        bool used = false;
        for (const Entry& e : r.entries) used = used || e.key == key;
        if (!used) return key;
    }
}

}  // namespace

uint32_t SWindowRegistry::Register(SControl* control, Display* display, Window window)
{
    if (!control || !display || !window) return 0;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (Entry& e : r.entries) {
        if (e.control == control) {
            e.display = display;
            e.window = window;
            return e.key;
        }
    }
    uint32_t key = KeyFor(control, r);
    r.entries.push_back(Entry{control, display, window, key});
    return key;
}

void SWindowRegistry::Unregister(SControl* control)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (size_t i = 0; i < r.entries.size(); ++i) {
        if (r.entries[i].control == control) {
            r.entries.erase(r.entries.begin() + static_cast<long>(i));
            return;
        }
    }
}

SControl* SWindowRegistry::Find(Display* display, Window window)
{
    if (!display || !window) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const Entry& e : r.entries)
        if (e.window == window && e.display == display) return e.control;
    return nullptr;
}

SControl* SWindowRegistry::FindKey(uint32_t key)
{
    if (!key) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const Entry& e : r.entries)
        if (e.key == key) return e.control;
    return nullptr;
}

void SWindowRegistry::Gone(Display* display, Window window)
{
    if (!display || !window) return;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.gone[r.next++ % 64] = Destroyed{display, window};
}

bool SWindowRegistry::WasGone(Display* display, Window window)
{
    if (!display || !window) return false;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const Destroyed& d : r.gone)
        if (d.window == window && d.display == display) return true;
    return false;
}

int SWindowRegistry::Count(Display* display)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    int n = 0;
    for (const Entry& e : r.entries) n += e.display == display;
    return n;
}

void SWindowRegistry::Forget(Display* display)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (size_t i = r.entries.size(); i-- > 0;)
        if (r.entries[i].display == display) r.entries.erase(r.entries.begin() + static_cast<long>(i));
}

}  // namespace gui
}  // namespace quor
