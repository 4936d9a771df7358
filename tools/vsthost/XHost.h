#pragma once
// The host's side of a plug-in editor on X11, as Linux hosts do it: one
// display connection for the host's life, a top-level window per editor whose
// Display* and Window go to effEditOpen, and an event pump that hands every
// event to the function named by the "_XEventProc" property of its window.
// Every X error on any connection of the process is counted by the host's
// error handler; errors caused by the host's own property reads are kept
// apart so that they never count against the plug-in.

#include <cstdint>
#include <string>

typedef struct _XDisplay Display;

namespace vsthost {

class XSession {
public:
    // Xlib's thread support must be on before any connection exists (the
    // plug-in's included); call this before loading a plug-in.
    static void InitThreads();
    // The host's connection, opened on first use from DISPLAY; null when no
    // X server answers. It stays open for the life of the process: plug-ins
    // may keep the Display* they were given.
    static Display* Get();
    // Errors reported to the host's handler for the plug-in's requests.
    static int Errors();
    static std::string FirstError();
    // How often the host found its handler replaced (and put it back).
    static int HandlerReplaced();
    // Puts the host's handler back if a plug-in replaced it.
    static void CheckHandler();
};

// A top-level window for one editor.
class EditorWindow {
public:
    EditorWindow() = default;
    ~EditorWindow() { Destroy(); }
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    bool Create(Display* display, int width, int height, const std::string& title, int x = 0, int y = 0);
    void Resize(int width, int height);
    void Destroy();
    unsigned long Id() const { return window; }

private:
    Display* display = nullptr;
    unsigned long window = 0;
};

// Delivers the queued events of the host's connection for about the given
// time, calling effEditIdle-like work through `idle` every 20 ms. Returns the
// number of events handed to a plug-in's event procedure. Without `forward`
// the events are read and dropped, as by a host that never calls
// "_XEventProc".
int PumpEvents(Display* display, int milliseconds, void (*idle)(void*) = nullptr, void* context = nullptr,
               bool forward = true);

// Waits until the X server has handled every request sent so far (errors
// included).
void SyncDisplay(Display* display);

// The number of the process's connections to an X server (sockets whose peer
// is an X server's socket or port).
int CountXConnections();

}  // namespace vsthost
