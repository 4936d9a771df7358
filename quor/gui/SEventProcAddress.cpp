#include "quor/gui/SEventProcAddress.h"

#include <sys/mman.h>

#include <cstring>
#include <mutex>

#include "quor/gui/SControl.h"

namespace quor {
namespace gui {

namespace {

using Dispatcher = bool (*)(XEvent*);

#if defined(__x86_64__)
class Trampoline {
public:
    // Maps it unless it is mapped; called again after a failure, since the
    // low memory a host had filled may have been given back.
    void Map()
    {
        if (base) return;
        void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (page == MAP_FAILED) return;
        // movabs rax, target; jmp rax
        unsigned char code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
        Dispatcher target = &SControl::eventProc;
        uint64_t address = reinterpret_cast<uint64_t>(target);
        memcpy(code + 2, &address, sizeof address);
        memcpy(page, code, sizeof code);
        if (mprotect(page, 4096, PROT_READ | PROT_EXEC) != 0) {
            munmap(page, 4096);
            return;
        }
        base = page;
    }
    // At unload: the code it jumps to goes with the library.
    ~Trampoline()
    {
        if (base) munmap(base, 4096);
    }
    uint32_t Address() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base)); }

private:
    void* base = nullptr;
};
#endif

}  // namespace

uint32_t EventProcAddress()
{
#if defined(__x86_64__)
    static std::mutex lock;
    static Trampoline trampoline;
    std::lock_guard<std::mutex> guard(lock);
    trampoline.Map();
    return trampoline.Address();
#else
    Dispatcher target = &SControl::eventProc;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
#endif
}

}  // namespace gui
}  // namespace quor
