// The "_XEventProc" property when no trampoline can be mapped below 4 GiB (a
// host that has filled that memory): no window may name address 0, which a
// host would call. An executable of its own: the trampoline is made once per
// process, at the first window.

#include "GuiFixture.h"  // first: gtest before Xlib

#include <sys/mman.h>

#include <vector>

#include "ProbeControl.h"

using namespace quor::gui;
using bwtest::Locked;

namespace {

class EventProc : public bwtest::GuiTest {
protected:
    // The property's one 32-bit item, or -1 when the window has none.
    long long Property(Window w, const char* name)
    {
        Atom atom = XInternAtom(test, name, False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        long long value = -1;
        if (XGetWindowProperty(test, w, atom, 0, 1, False, AnyPropertyType, &type, &format, &count, &after, &data) ==
                Success &&
            type != None && count == 1)
            value = static_cast<uint32_t>(reinterpret_cast<long*>(data)[0]);
        if (data) XFree(data);
        return value;
    }
};

#if defined(__x86_64__)
// Takes every free page of the first 2 GiB that MAP_32BIT hands out.
class LowMemoryFull {
public:
    LowMemoryFull()
    {
        for (size_t size = size_t(64) << 20; size >= 4096; size /= 2) {
            for (;;) {
                void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT | MAP_NORESERVE, -1, 0);
                if (p == MAP_FAILED) break;
                taken.push_back({p, size});
            }
        }
    }
    ~LowMemoryFull()
    {
        for (auto& t : taken) munmap(t.first, t.second);
    }
    bool Full() const { return !taken.empty(); }

private:
    std::vector<std::pair<void*, size_t>> taken;
};
#endif

TEST_F(EventProc, NoWindowNamesAddressZero)
{
#if defined(__x86_64__)
    {
        LowMemoryFull full;
        ASSERT_TRUE(full.Full());
        auto first = bwtest::MakeOwned<bwtest::Probe>(&globals, nullptr, 1, 0, 10, 10, 20, 20, 0);
        // Still the toolkit's: found through its own property.
        EXPECT_GT(Property(first->GetWindow(), "_QUORWND"), 0);
        const long long proc = Property(first->GetWindow(), "_XEventProc");
        // No property (-1), or, where another thread (or AddressSanitizer)
        // let go of a low page meanwhile, a real trampoline; never 0.
        EXPECT_NE(proc, 0) << "a window names address 0";
    }
#endif
    // With memory to map it, the next window names a trampoline.
    auto next = bwtest::MakeOwned<bwtest::Probe>(&globals, nullptr, 2, 0, 10, 10, 20, 20, 0);
    EXPECT_GT(Property(next->GetWindow(), "_XEventProc"), 0);
}

}  // namespace
