#include "plugin/SPluginEditor.h"

#include <X11/Xlib.h>

#include <cstring>

#include "plugin/SGlobals.h"
#include "plugin/SPlugin.h"
#include "plugin/ui/SPluginPanel.h"
#include "quor/data/datastring.h"
#include "quor/gui/SControl.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/SScaleFactor.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SWindowRegistry.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"

using quor::gui::SControl;
using quor::gui::SToolkitHold;
using quor::gui::SXErrorTrap;

namespace {

constexpr int panelWidth = 100;
constexpr int panelHeight = 75;
constexpr int idlePeriodMs = 22;

// A control name made unique by the shared generator.
quor::data::datastring<32, char> UniqueName(SGlobals* g)
{
    return quor::data::datastring<32, char>(64, "Blinkwatcher (%i)", static_cast<int>(g->random.Integer()));
}

}  // namespace

SPluginEditor::SPluginEditor(SPlugin* effect, SGlobals* g, int& result) : AEffEditor(effect), globals(g), plugin(effect)
{
    XInitThreads();
    GetHostApp(result);
}

SPluginEditor::~SPluginEditor()
{
    if (IsOpen()) SPluginEditor::close();
    SToolkitHold hold;
    FreeWindows();
}

void SPluginEditor::FreeWindows()
{
    delete cursor;
    cursor = nullptr;
    delete panel;
    panel = nullptr;
    delete topControl;
    topControl = nullptr;
    delete messageDialog;
    messageDialog = nullptr;
    topWindow = 0;
}

void SPluginEditor::GetHostApp(int& result)
{
    hostCode = 0;
    if (!plugin) return;
    char vendor[128] = {};
    char product[128] = {};
    plugin->getHostVendorString(vendor);
    plugin->getHostProductString(product);
    product[127] = 0;
    if (!product[0]) return;
    struct Known {
        const char* name;
        int32_t code;
    };
    // In this order: the first match wins.
    static const Known known[] = {{"Samplitude", 10}, {"SAVIHost", 6},  {"Melodyne", 7}, {"Tracktion", 11},
                                  {"Cantabile", 5},   {"Phrazor", 12}, {"Usine", 13},   {"energyXT", 2}};
    if (strstr(product, "Cubase")) {
        hostCode = plugin->getHostVendorVersion() <= 8199 ? 8 : 9;
        return;
    }
    for (const Known& k : known) {
        if (!strstr(product, k.name)) continue;
        hostCode = k.code;
        if (hostCode == 13) result = 3;  // not supported: the entry point refuses to load
        return;
    }
}

VstInt32 SPluginEditor::open(void* parent)
{
    const unsigned long host = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
    if (globals) {
        // After a lost connection the editor comes back on a fresh one.
        quor::gui::context::ReviveOwnDisplay();
        // Never embed into a window of another server, nor into one that is
        // not there: its id would name some other window on ours.
        if (!quor::gui::context::AcceptsHostWindow(hostDisplay, host)) return 0;
    }
    AEffEditor::open(parent);
    // Without shared resources there is nothing to draw with: only the
    // engine's way in opens.
    if (globals) {
        SToolkitHold hold;
        // Built on a connection the server has dropped since: built anew
        // on the current one.
        if ((topControl && topControl->Orphaned()) || (panel && panel->Orphaned())) DropLostPanel();
        SXErrorTrap::BeginLog();
        Display* display = quor::gui::context::CurrentDisplay();
        SControl::CollectDestroyed(display);
        // Opened again without a close: the panel moves to the new window.
        if (panel && IsOpen()) panel->CancelDialogs();
        // The host destroyed its window with the panel inside (with or
        // without a close since): the panel went with it and is built anew.
        if (panel && !panel->GetWindow()) {
            // Opened again without a close, the idle function still runs:
            // stopped first, while the panel is still there for a call in
            // progress.
            panel->DestroyIdleTimer();
            SPluginPanel* dead = panel;
            panel = nullptr;
            delete dead;
        }
        if (topControl && !topControl->GetWindow()) {
            delete topControl;
            topControl = nullptr;
        }
        if (IsOpen() && parentWindow != host) SControl::WatchForeign(display, parentWindow, false);
        parentWindow = host;
        globals->parentWindow = host;
        SControl::WatchForeign(display, host, true);
        if (plugin->EffectName()) globals->name = *plugin->EffectName();
        if (plugin->PluginDirectory()) globals->directory = *plugin->PluginDirectory();
        scale = quor::gui::ChooseScale(display, true);
        if (panel) {
            panel->Reparent(static_cast<int>(host));
            panel->SetScale(scale);
        } else {
            MakeHolder();
            if (!messageDialog) messageDialog = new quor::gui::SMessageDialog();
            panel = new SPluginPanel(globals, nullptr, globals->TakeIdentifier(), UniqueName(globals).Text(), 0x80001,
                                     0, 0, panelWidth, panelHeight, static_cast<int>(host), false);
            // Before its controls: they take the panel's factor.
            panel->SetScale(scale);
            panel->SetEditor(this);
            panel->SetEffect(plugin);
            panel->LoadControls();
        }
        if (!cursor) {
            cursor = new quor::gui::SCursor();
            cursor->SetWindow(host);
            cursor->CreateDefault();
        } else {
            cursor->SetWindow(host);
        }
        globals->cursor = cursor;
        panel->Show();
        if (!panel->IdleTimer()) {
            idleRecord.reserved = 0;
            idleRecord.function = idlestatic;
            idleRecord.id = globals->NextIdentifier();
            panel->CreateIdleTimer(idlePeriodMs, false);
            panel->CreateIdleFunction(&idleRecord.function, this);
        }
    }
    // After the lock is let go: a host may serve these on its GUI thread,
    // which may be waiting for the lock in _XEventProc meanwhile.
    if (globals) SetSize(panelWidth * scale, panelHeight * scale);
    plugin->SetEditorClosed(false);
    isOpen.store(true, std::memory_order_release);
    postUpdate();
    return 1;
}

void SPluginEditor::DropLostPanel()
{
    if (panel) {
        panel->CancelDialogs();
        panel->DestroyIdleTimer();
    }
    if (globals) globals->cursor = nullptr;
    // Their windows went with the connection: freeing them asks no server.
    FreeWindows();
}

void SPluginEditor::MakeHolder()
{
    if (topControl) return;
    topControl = new quor::gui::SControl(globals, nullptr, globals->TakeIdentifier(), UniqueName(globals).Text(), 0, 0,
                                         0, panelWidth, panelHeight, 0, false);
    topControl->SetSize(panelWidth, panelHeight);
    topWindow = topControl->GetWindow();
}

void SPluginEditor::close()
{
    if (!IsOpen()) return;
    plugin->SetEditorClosed(true);
    isOpen.store(false, std::memory_order_release);
    if (!globals || !panel) return;
    SToolkitHold hold;
    Display* display = quor::gui::context::CurrentDisplay();
    // A host may have destroyed its window before this close: nothing is
    // then asked of the windows that went with it.
    SControl::CollectDestroyed(display);
    // A dialog left open would give the focus back to a window that is
    // about to go unmapped.
    panel->CancelDialogs();
    // Idle calls run under the toolkit lock: none is in progress now, and
    // none comes once this returns.
    panel->DestroyIdleTimer();
    // Sends nothing when the connection has been lost.
    const bool gone = !panel->GetWindow();
    if (!gone) {
        if (topControl && !topControl->GetWindow()) {
            delete topControl;
            topControl = nullptr;
        }
        MakeHolder();
        panel->Reparent(static_cast<int>(topWindow));
    }
    // The panel lay in the host's window: when it went, so did that window,
    // and the cursor is freed without being taken off it.
    const bool hostGone = gone || quor::gui::SWindowRegistry::WasGone(display, parentWindow);
    if (hostGone && cursor) cursor->SetWindow(0);
    if (!hostGone) SControl::WatchForeign(display, parentWindow, false);
    parentWindow = 0;
    globals->parentWindow = 0;
    globals->cursor = nullptr;
    delete cursor;
    cursor = nullptr;
    SXErrorTrap::EndLog();
}

void SPluginEditor::postUpdate() { mailbox.PostFull(); }

void SPluginEditor::postUpdateIndexed(long index) { mailbox.Post(index); }

void SPluginEditor::idlestatic(void* editor)
{
    if (editor) static_cast<SPluginEditor*>(editor)->idle();
}

void SPluginEditor::idle()
{
    if (!IsOpen()) return;
    if (mailbox.TakeFull())
        update();
    else
        updateIndexed();
}

void SPluginEditor::update()
{
    if (!IsOpen()) return;
    mailbox.ClearIndices();
    Refresh(-1);
}

void SPluginEditor::updateIndexed()
{
    if (!IsOpen()) return;
    for (long index = 0; index < SUpdateMailbox::Indices; ++index)
        if (mailbox.Take(index)) Refresh(index);
}

void SPluginEditor::updateAtIndex(long index)
{
    if (!IsOpen() || index < 0 || index >= SUpdateMailbox::Indices) return;
    mailbox.Take(index);
    Refresh(index);
}

void SPluginEditor::Refresh(long index)
{
    SToolkitHold hold;
    if (panel) panel->RefreshControls(index);
}

void SPluginEditor::idleslow()
{
    SToolkitHold hold;
    if (panel) panel->TimerProc(0);
}

void SPluginEditor::ResizeParent(int width, int height)
{
    // Through whichever connection exists; none without one.
    Display* display = quor::gui::context::CurrentDisplay();
    if (!display || !parentWindow || width <= 0 || height <= 0) return;
    XResizeWindow(display, parentWindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display);
}

void SPluginEditor::SetSize(int width, int height)
{
    rect = ERect{0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
    plugin->SetEditorRect(rect);
    if (plugin->canHostDo(const_cast<char*>("sizeWindow")) != 1) {
        SToolkitHold hold;
        ResizeParent(width, height);
    }
    plugin->sizeWindow(width, height);
    SToolkitHold hold;
    // The panel measures itself in its own pixels.
    if (panel) panel->SetSize(width / scale, height / scale);
}

void SPluginEditor::Resize(int width, int height)
{
    rect = ERect{0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
    plugin->SetEditorRect(rect);
    plugin->sizeWindow(width, height);
}

void SPluginEditor::ChangeSize(int dw, int dh)
{
    if (dw == 0 && dh == 0) return;
    rect.right = static_cast<VstInt16>(rect.right + dw);
    rect.bottom = static_cast<VstInt16>(rect.bottom + dh);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (plugin->canHostDo(const_cast<char*>("sizeWindow")) == 1) {
        rect = ERect{0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
    } else {
        ResizeParent(width, height);
    }
    plugin->SetEditorRect(rect);
    plugin->sizeWindow(width, height);
}

ERect* SPluginEditor::GetRect()
{
    const int width = panel ? panel->Width() * panel->Scale() : 0, height = panel ? panel->Height() * panel->Scale() : 0;
    rect = ERect{0, 0, static_cast<VstInt16>(height), static_cast<VstInt16>(width)};
    return &rect;
}

void SPluginEditor::PreviewRect()
{
    if (IsOpen() || !plugin) return;
    const int factor = quor::gui::ChooseScale(quor::gui::context::CurrentDisplay(), false);
    plugin->SetEditorRect(
        ERect{0, 0, static_cast<VstInt16>(panelHeight * factor), static_cast<VstInt16>(panelWidth * factor)});
}
