#pragma once
// The plug-in's editor: connects the host's editor requests to the panel and
// is the mailbox between the engine, which posts update requests from the
// host's threads, and the panel, refreshed from the idle thread.
//
// Threads: open and close run on the host's GUI thread, idle on the idle
// thread, posting on any thread (the audio thread included: flags only).
// Everything that touches controls holds the toolkit lock; nothing here
// holds it while waiting for the idle thread.

#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <typeinfo>

#include "plugin/AEffEditor.h"
#include "plugin/SUpdateMailbox.h"

class SGlobals;
class SPlugin;
class SPluginPanel;

namespace quor {
namespace gui {
class SControl;
class SCursor;
class SMessageDialog;
}  // namespace gui
}  // namespace quor

class SPluginEditor : public AEffEditor {
public:
    // Recognises the host from its product string; sets `result` to 3 for a
    // host that is not supported.
    SPluginEditor(SPlugin* effect, SGlobals* globals, int& result);
    // Closes first when still open.
    ~SPluginEditor() override;

    // Shows the panel in the host's window (`parent` is its X window id): the
    // first time builds it, later times move it there. Opening again without
    // a close moves it to the new window. A panel that a host destroyed with
    // its window is built anew. Returns 1; 0 (and nothing opens) for a window
    // that is not on the toolkit's server. After the toolkit's connection was
    // lost, opens a fresh one and builds the panel anew.
    VstInt32 open(void* parent) override;
    // Parks the panel in an invisible holder; nothing when not open.
    void close() override;

    // Engine side, any thread: flags only, never a lock or a wait.
    void postUpdate() override;
    void postUpdateIndexed(long index) override;
    // The engine's way in, three times a block: straight into the mailbox,
    // inlined, where a virtual call each time cost a short block more than
    // its scan. A subclass may replace the two functions above, so its
    // requests still go through them.
    void Post(long index)
    {
        if (postsToMailbox)
            mailbox.Post(index);
        else
            postUpdateIndexed(index);
    }
    void PostFull()
    {
        if (postsToMailbox)
            mailbox.PostFull();
        else
            postUpdate();
    }

    // The audio thread's way in for one block, chosen when the block begins
    // (null: nothing is posted): the mailbox directly, or the two functions
    // above for a subclass. Each request then costs a test of a register
    // and a store, with nothing read back from the editor.
    class BlockPoster {
    public:
        BlockPoster() = default;
        explicit BlockPoster(SPluginEditor* e) : box(e && e->postsToMailbox ? &e->mailbox : nullptr), editor(e) {}
        void Post(long index) const
        {
            if (box)
                box->Post(index);
            else if (editor)
                editor->postUpdateIndexed(index);
        }

    private:
        SUpdateMailbox* box = nullptr;
        SPluginEditor* editor = nullptr;
    };

    // Idle side, each idle period: a full refresh if one was asked for,
    // otherwise the pending indices in rising order. Nothing while closed.
    void idle() override;
    void update() override;
    void updateIndexed() override;
    // Refreshes one index (0 to 255) whether or not it was pending.
    void updateAtIndex(long index) override;
    virtual void idleslow();

    // Sizing: tells the host (and the panel); without the host's "sizeWindow"
    // the host's window is resized directly. They call the host: never with
    // the toolkit lock held.
    void SetSize(int width, int height);
    void Resize(int width, int height);
    void ChangeSize(int dw, int dh);
    ERect* GetRect();
    // While closed: the rectangle an open would give now, at the factor the
    // user's settings give now (effEditGetRect comes before effEditOpen).
    void PreviewRect();
    // The factor the editor was last opened at.
    int Scale() const { return scale; }

    // The registered idle function; the argument is the editor.
    static void idlestatic(void* editor);

    bool IsOpen() const { return isOpen.load(std::memory_order_acquire); }
    // The recognised host (0 when unknown).
    int32_t HostCode() const { return hostCode; }
    SPluginPanel* Panel() const { return panel; }
    quor::gui::SMessageDialog* MessageDialog() const { return messageDialog; }
    unsigned long ParentWindow() const { return parentWindow; }

protected:
    // Delivers one request to the panel, -1 for everything.
    virtual void Refresh(long index);
    void GetHostApp(int& result);
    // Resizes the host's window through whichever connection we have.
    void ResizeParent(int width, int height);
    // Frees the GUI objects made on a connection that has been lost (the
    // toolkit lock is held); the next open builds them again.
    void DropLostPanel();
    // Frees panel, holder, cursor and message box (the toolkit lock is held).
    void FreeWindows();
    // The invisible window that keeps the panel while closed, unless it
    // exists.
    void MakeHolder();

    struct IdleRecord {
        uint32_t reserved = 0;
        void (*function)(void*) = nullptr;
        uint32_t id = 0;
    };

    IdleRecord idleRecord;
    SGlobals* globals;
    SPluginPanel* panel = nullptr;
    SPlugin* plugin;
    int32_t hostCode = 0;
    std::atomic<bool> isOpen{false};
    ERect rect{0, 0, 0, 0};
    quor::gui::SCursor* cursor = nullptr;
    unsigned long parentWindow = 0;
    quor::gui::SControl* topControl = nullptr;
    quor::gui::SMessageDialog* messageDialog = nullptr;
    unsigned long topWindow = 0;
    SUpdateMailbox mailbox;
    // The host's display given with the latest effEditOpen (null when none).
    Display* hostDisplay = nullptr;
    int scale = 1;

private:
    friend class SPlugin;
    // Decided when the plug-in attaches the editor, once it is fully built
    // (during construction every editor looks like this class): true for an
    // editor of exactly this class.
    void ChoosePostPath() { postsToMailbox = typeid(*this) == typeid(SPluginEditor); }
    bool postsToMailbox = false;
};
