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
#include "quor/gui/context/SDisplayHandles.h"

using quor::gui::SToolkitHold;

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
    delete cursor;
    cursor = nullptr;
    delete panel;
    panel = nullptr;
    delete topControl;
    topControl = nullptr;
    delete messageDialog;
    messageDialog = nullptr;
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
    AEffEditor::open(parent);
    const unsigned long host = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
    // Without shared resources there is nothing to draw with: only the
    // engine's way in opens.
    if (globals) {
        SToolkitHold hold;
        // Opened again without a close: the panel moves to the new window.
        if (panel && IsOpen()) panel->CancelDialogs();
        parentWindow = host;
        globals->parentWindow = host;
        if (plugin->EffectName()) globals->name = *plugin->EffectName();
        if (plugin->PluginDirectory()) globals->directory = *plugin->PluginDirectory();
        scale = quor::gui::ChooseScale(quor::gui::context::CurrentDisplay(), true);
        if (topControl) {
            panel->Reparent(static_cast<int>(host));
            panel->SetScale(scale);
            SetSize(panelWidth * scale, panelHeight * scale);
        } else {
            SetSize(panelWidth * scale, panelHeight * scale);
            topControl = new quor::gui::SControl(globals, nullptr, globals->TakeIdentifier(), UniqueName(globals).Text(),
                                                 0, 0, 0, panelWidth, panelHeight, 0, false);
            messageDialog = new quor::gui::SMessageDialog();
            topControl->SetSize(panelWidth, panelHeight);
            topWindow = topControl->GetWindow();
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
    plugin->SetEditorClosed(false);
    isOpen.store(true, std::memory_order_release);
    postUpdate();
    return 1;
}

void SPluginEditor::close()
{
    if (!IsOpen()) return;
    plugin->SetEditorClosed(true);
    isOpen.store(false, std::memory_order_release);
    if (!globals || !panel) return;
    SToolkitHold hold;
    // A dialog left open would give the focus back to a window that is
    // about to go unmapped.
    panel->CancelDialogs();
    // Waits for an idle call in progress (letting the toolkit lock go
    // meanwhile), instead of sleeping and hoping it has ended.
    panel->DestroyIdleTimer();
    panel->Reparent(static_cast<int>(topWindow));
    parentWindow = 0;
    globals->parentWindow = 0;
    globals->cursor = nullptr;
    delete cursor;
    cursor = nullptr;
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
    if (plugin->canHostDo(const_cast<char*>("sizeWindow")) != 1) ResizeParent(width, height);
    plugin->sizeWindow(width, height);
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
