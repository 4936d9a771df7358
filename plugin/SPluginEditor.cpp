#include "plugin/SPluginEditor.h"

#include "plugin/SPlugin.h"

SPluginEditor::SPluginEditor(SPlugin* effect, SGlobals* globals, int&)
    : AEffEditor(effect), globals(globals), plugin(effect)
{
}

SPluginEditor::~SPluginEditor()
{
    if (IsOpen()) SPluginEditor::close();
}

VstInt32 SPluginEditor::open(void* parent)
{
    AEffEditor::open(parent);
    plugin->SetEditorClosed(false);
    isOpen.store(true, std::memory_order_release);
    postUpdate();
    return 1;
}

void SPluginEditor::close()
{
    plugin->SetEditorClosed(true);
    isOpen.store(false, std::memory_order_release);
}

void SPluginEditor::postUpdate() { mailbox.PostFull(); }

void SPluginEditor::postUpdateIndexed(long index) { mailbox.Post(index); }

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

void SPluginEditor::Refresh(long) {}
