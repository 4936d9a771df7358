#pragma once
// A control that owns child controls: passes enable, minimise and modifier
// changes down to them, deletes them with itself (last added first), and can
// run an event loop for a stand-alone top-level window.

#include <vector>

#include "quor/gui/SControl.h"

namespace quor {
namespace gui {

struct SWindowID {
    SControl* control;
    unsigned id;
};

class SWindow : public SControl {
public:
    SWindow();
    SWindow(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w, int h,
            int parentWindow, bool flag);
    ~SWindow() override;

    void CleanRessources() override;
    void EnableChildren(bool enable) override;
    void Minimized() override;
    // Stops the loop. It never ends the process nor deletes anything: the
    // event that asked for it is still being handled.
    void WindowClose() override;
    void WindowMinimize(bool normal) override;
    void WindowMaximize(bool maximize) override;
    void UpdateModifiers(int, bool) override;
    void Run() override { running = true; }
    void Stop() override { running = false; }
    void ShowMenu(const Point&) override {}
    void CloseMenu() override {}
    bool IsSubcontrol(unsigned id) override;
    // The window first, then its children inside it.
    void SetScale(int factor) override;

    virtual void Add(SControl* child);
    virtual void Remove(SControl* child, bool destroy);
    virtual bool IsSubcontrol(int window);
    // Dispatches events until Stop; then, for windows that are not dialogs,
    // cleans up. Returns to its caller: never ends the process. On the
    // toolkit's own connection the dispatching thread serves the events and
    // this only waits, unless it runs on that thread (from a handler): then
    // it reads them itself. Like a modal dialog, it lets the toolkit lock go
    // at every level while it waits.
    virtual void Loop();
    virtual SControl* GetMenu() { return menu; }
    virtual void SetMenu(SControl* m) { menu = m; }
    virtual void TooltipEnable(bool) {}

    const std::vector<SWindowID>& Children() const { return children; }
    int LowestId() const { return lowestId; }
    int HighestId() const { return highestId; }
    bool Running() const { return running; }

protected:
    void DeleteChildren();
    // Dispatches the connection's events until Stop, unload or hang-up.
    void ReadLoopEvents(Display* d);

    std::vector<SWindowID> children;
    int lowestId = -1;
    int highestId = -1;
    SControl* menu = nullptr;
    bool menuOpen = false;
    bool buttonFlag = false;
    bool running = false;
};

}  // namespace gui
}  // namespace quor
