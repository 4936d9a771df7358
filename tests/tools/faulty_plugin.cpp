// A small, well-behaved VST 2.x plug-in with an X11 editor, into which the
// faults that `vsthost validate` must find can be switched on through the
// environment variable BW_FAULT (a comma-separated list):
//   xerror        the editor asks for a window that does not exist
//   name-overrun  parameter names of 100 characters
//   long-names    parameter names of 20 characters (past the interface's 8)
//   null-channels processing reads channel pointers without looking
//   nan           processing writes NaN
//   hang          effGetVstVersion never returns
//   fd-leak       every load opens a file and never closes it
//   thread-leak   every instance starts a thread that never ends
//   bad-refusal   a refused chunk still changes the state
//   bad-eventproc the editor's _XEventProc names no executable code
//   aligned-stack processing keeps SSE vectors on a stack it takes to be
//                 16-byte aligned (i386)
//   dead-window   the editor destroys its window at effEditClose even when
//                 the host's window took it along already
//   stale-editor  once the host's window took the editor's along, later
//                 opens show nothing
//   io-exit       the editor on a connection of its own, which ends the
//                 process when it breaks (Xlib's default)
//   own-server    the editor on a connection of its own to DISPLAY's server,
//                 whatever server the host's window is on
// and one mode that is no fault:
//   own-connection the editor on a connection of its own to the host's
//                 server, which may break without ending the process

#include <X11/Xlib.h>
#include <sys/mman.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/VstInterface.h"

namespace {

bool Fault(const char* name)
{
    const char* list = getenv("BW_FAULT");
    if (!list) return false;
    const std::string all = std::string(",") + list + ",";
    return all.find(std::string(",") + name + ",") != std::string::npos;
}

struct State {
    char magic[4] = {'F', 'L', 'T', '1'};
    float parameters[2] = {0.25f, 0.75f};
};

struct Faulty {
    AEffect effect{};
    State state;
    ERect rect{0, 0, 60, 80};
    Display* display = nullptr;
    Window window = 0;
    Window parent = 0;
    // The editor's own connection, if it has one, and whether it broke.
    Display* own = nullptr;
    bool lost = false;
    bool stale = false;
};

// Called when the own connection breaks; Xlib drops every later request.
void Lost(Display*, void* faulty) { static_cast<Faulty*>(faulty)->lost = true; }

// Xlib calls the process-wide IO-error handler before a connection's own
// exit handler, and its default one ends the process: ours returns for the
// editors' connections and passes the others' on. The module is never
// unloaded (nodelete), so the chain may stay.
std::mutex ownLock;
std::vector<Display*> owned;
XIOErrorHandler hostHandler = nullptr;

int ChainedIOError(Display* d)
{
    XIOErrorHandler next;
    {
        std::lock_guard<std::mutex> guard(ownLock);
        if (std::find(owned.begin(), owned.end(), d) != owned.end()) return 0;
        next = hostHandler;
    }
    return next ? next(d) : 0;
}

void Own(Display* d, bool add)
{
    static std::once_flag chained;
    if (add) std::call_once(chained, [] { hostHandler = XSetIOErrorHandler(ChainedIOError); });
    std::lock_guard<std::mutex> guard(ownLock);
    if (add)
        owned.push_back(d);
    else
        owned.erase(std::remove(owned.begin(), owned.end(), d), owned.end());
}

// The window the editor was opened in is gone (and the editor's with it):
// the battery's editor windows are top-level, so a look at the root's
// children tells without a request that could fail.
bool ParentGone(Faulty* f)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(f->display, DefaultRootWindow(f->display), &root, &up, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count; ++i) found = found || children[i] == f->parent;
    if (children) XFree(children);
    return !found;
}

void CloseEditor(Faulty* f)
{
    if (f->window && !f->lost) {
        const bool gone = ParentGone(f);
        if (gone && Fault("stale-editor")) f->stale = true;
        if (!gone || Fault("dead-window")) XDestroyWindow(f->display, f->window);
        XFlush(f->display);
    }
    f->window = 0;
    if (f->own) {
        XCloseDisplay(f->own);
        if (!Fault("io-exit")) Own(f->own, false);
    }
    f->own = nullptr;
    f->lost = false;
}

// Exposes need no drawing: the window's background colour is its picture.
void EventProc(XEvent*) {}

// Hosts read one 32-bit item: on 64-bit systems the function is reached
// through a jump below 4 GiB.
uintptr_t EventProcAddress()
{
#if defined(__x86_64__)
    static uintptr_t jump = [] {
        void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (page == MAP_FAILED) return uintptr_t(0);
        unsigned char code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};  // movabs rax; jmp rax
        const uint64_t target = reinterpret_cast<uint64_t>(&EventProc);
        memcpy(code + 2, &target, 8);
        memcpy(page, code, sizeof code);
        mprotect(page, 4096, PROT_READ | PROT_EXEC);
        return reinterpret_cast<uintptr_t>(page);
    }();
    return jump;
#else
    return reinterpret_cast<uintptr_t>(&EventProc);
#endif
}

void SetEventProc(Display* d, Window w, bool bogus)
{
    const Atom atom = XInternAtom(d, "_XEventProc", False);
    const long item = static_cast<long>(bogus ? uintptr_t(0x10) : EventProcAddress());
    XChangeProperty(d, w, atom, atom, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&item), 1);
}

void CopyText(void* ptr, const char* text, size_t room)
{
    if (!ptr) return;
    strncpy(static_cast<char*>(ptr), text, room - 1);
    static_cast<char*>(ptr)[room - 1] = 0;
}

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    Faulty* f = static_cast<Faulty*>(e->object);
    switch (opcode) {
    case effClose:
        CloseEditor(f);
        delete f;
        return 1;
    case effOpen:
        if (Fault("thread-leak")) std::thread([] { pause(); }).detach();
        return 0;
    case effGetParamName:
        if (!ptr) return 0;
        if (Fault("name-overrun")) {
            memset(ptr, 'n', 100);
            static_cast<char*>(ptr)[100] = 0;
        } else if (Fault("long-names")) {
            CopyText(ptr, "A rather long name..", 32);
        } else {
            CopyText(ptr, index == 0 ? "Gain" : "Mix", kVstMaxParamStrLen);
        }
        return 1;
    case effGetParamLabel:
    case effGetParamDisplay:
        CopyText(ptr, "", kVstMaxParamStrLen);
        return 1;
    case effGetEffectName:
    case effGetProductString:
        CopyText(ptr, "Faulty", kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        CopyText(ptr, "Blinkwatcher tests", kVstMaxVendorStrLen);
        return 1;
    case effGetVstVersion:
        while (Fault("hang")) pause();
        return 2400;
    case effGetChunk:
        if (!ptr) return 0;
        *static_cast<void**>(ptr) = &f->state;
        return sizeof(State);
    case effSetChunk: {
        const bool fits = ptr && value == static_cast<VstIntPtr>(sizeof(State)) &&
                          memcmp(ptr, f->state.magic, sizeof f->state.magic) == 0;
        if (!fits) {
            if (Fault("bad-refusal")) f->state.parameters[0] = 0.5f;
            return 0;
        }
        memmove(&f->state, ptr, sizeof(State));
        for (float& p : f->state.parameters)
            if (!(p >= 0.0f && p <= 1.0f)) p = 0.0f;
        return 1;
    }
    case effEditGetRect:
        if (!ptr) return 0;
        *static_cast<ERect**>(ptr) = &f->rect;
        return 1;
    case effEditOpen: {
        if (!ptr || !value) return 0;
        CloseEditor(f);
        Display* host = reinterpret_cast<Display*>(value);
        if (Fault("own-server"))
            f->own = XOpenDisplay(nullptr);
        else if (Fault("own-connection") || Fault("io-exit"))
            f->own = XOpenDisplay(DisplayString(host));
        if ((Fault("own-server") || Fault("own-connection") || Fault("io-exit")) && !f->own) return 0;
        if (f->own && !Fault("io-exit")) {
            Own(f->own, true);
            XSetIOErrorExitHandler(f->own, Lost, f);
        }
        f->display = f->own ? f->own : host;
        f->parent = static_cast<Window>(reinterpret_cast<uintptr_t>(ptr));
        if (f->stale) return 1;
        f->window = XCreateSimpleWindow(f->display, f->parent, 0, 0, 80, 60, 0, 0, 0x336699);
        XSelectInput(f->display, f->window, ExposureMask);
        SetEventProc(f->display, f->window, Fault("bad-eventproc"));
        XMapWindow(f->display, f->window);
        if (Fault("xerror")) XMapWindow(f->display, static_cast<Window>(0x7FFFFFF));
        XFlush(f->display);
        return 1;
    }
    case effEditClose:
        CloseEditor(f);
        return 1;
    default:
        return 0;
    }
}

void SetParameter(AEffect* e, VstInt32 index, float value)
{
    Faulty* f = static_cast<Faulty*>(e->object);
    if (index >= 0 && index < 2 && value >= 0.0f && value <= 1.0f) f->state.parameters[index] = value;
}

float GetParameter(AEffect* e, VstInt32 index)
{
    Faulty* f = static_cast<Faulty*>(e->object);
    return index >= 0 && index < 2 ? f->state.parameters[index] : 0.0f;
}

void Process(AEffect* e, float** in, float** out, VstInt32 frames, bool add)
{
    Faulty* f = static_cast<Faulty*>(e->object);
    const bool careless = Fault("null-channels");
    if (!careless && (!in || !out)) return;
    const float gain = Fault("nan") ? NAN : f->state.parameters[0];
    for (int c = 0; c < 2; ++c) {
        if (!careless && (!in[c] || !out[c])) continue;
        for (VstInt32 i = 0; i < frames; ++i) out[c][i] = (add ? out[c][i] : 0.0f) + gain * in[c][i];
    }
}

#if defined(__i386__)
// An aligned store to a local: the compiler places it by the stack pointer,
// trusting the ABI's 16-byte alignment at every call.
__attribute__((noinline, target("sse"))) void TouchAlignedLocal()
{
    float local[4] __attribute__((aligned(16)));
    __asm__ volatile("xorps %%xmm0, %%xmm0\n\tmovaps %%xmm0, %0" : "=m"(local) : : "xmm0");
}
#else
void TouchAlignedLocal() {}
#endif

void Replacing(AEffect* e, float** in, float** out, VstInt32 frames)
{
    if (Fault("aligned-stack")) TouchAlignedLocal();
    Process(e, in, out, frames, false);
}
void Accumulating(AEffect* e, float** in, float** out, VstInt32 frames) { Process(e, in, out, frames, true); }

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host || !host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f)) return nullptr;
    if (Fault("fd-leak")) open("/dev/null", O_RDONLY);
    Faulty* f = new Faulty();
    AEffect& e = f->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatch;
    e.process = Accumulating;
    e.processReplacing = Replacing;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.numPrograms = 1;
    e.numParams = 2;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsHasEditor;
    e.ioRatio = 1.0f;
    e.object = f;
    e.uniqueID = VstFourCC('F', 'l', 't', 'y');
    e.version = 1;
    return &e;
}
