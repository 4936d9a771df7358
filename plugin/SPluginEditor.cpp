#include "plugin/SPluginEditor.h"

SPluginEditor::SPluginEditor(AudioEffect* effect, SGlobals* globals, int&)
    : AEffEditor(effect), globals(globals), plugin(effect)
{
}

SPluginEditor::~SPluginEditor() = default;

void SPluginEditor::postUpdateIndexed(long index)
{
    if (index < 0 || index > 255) return;
    __atomic_store_n(&updateFlags[index], 1, __ATOMIC_RELAXED);
    __atomic_store_n(&indexedPending, 1, __ATOMIC_RELAXED);
}
