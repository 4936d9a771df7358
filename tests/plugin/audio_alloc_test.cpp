// The audio thread allocates nothing: every heap allocation of this test
// program is counted while the audio-thread calls run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "AllocationCounter.h"
#include "plugin/NoteOns.h"
#include "plugin/SPluginEditor.h"
#include "plugin/SPluginEntry.h"
#include "plugin/VSTPlugin.h"
#include "quor/system/SSystemData.h"

namespace {

VstMidiEvent returned[16384];
int returnedCount = 0;

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterProcessEvents) {
        const VstEvents* list = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < list->numEvents && returnedCount < 16384; ++i)
            memcpy(&returned[returnedCount++], list->events[i], sizeof(VstMidiEvent));
        return 1;
    }
    return 0;
}

// With the flag-setting editor, so the posting path runs too.
class WithEditor : public VSTPlugin {
public:
    WithEditor(audioMasterCallback host, int& result) : VSTPlugin(host, result)
    {
        AttachEditor(new SPluginEditor(this, Globals(), result));
    }
};

SPlugin* MakeWithEditor(audioMasterCallback host, int& result) { return new WithEditor(host, result); }

}  // namespace

TEST(AudioThread, TheCounterSeesAllocations)
{
    counting = true;
    int* p = new int(3);
    void* q = malloc(16);
    counting = false;
    delete p;
    free(q);
#ifdef BW_COUNT_MALLOC
    EXPECT_EQ(allocations, 2);
#else
    EXPECT_EQ(allocations, 1);
#endif
    allocations = 0;
}

TEST(AudioThread, ProcessEventsAndProcessingAllocateNothing)
{
    for (bool editorOpen : {false, true}) {
        AEffect* e = PluginEntry(Host, sd, MakeWithEditor);
        ASSERT_NE(e, nullptr);
        e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        static_cast<SPlugin*>(static_cast<AudioEffect*>(e->object))->SetEditorClosed(!editorOpen);

        NoteOns notes(256);
        VstEvents* list = notes.List();
        std::vector<float> a(4096, 0.25f), b(4096, -0.25f), c(4096), d(4096);
        float* in[2] = {a.data(), b.data()};
        float* out[2] = {c.data(), d.data()};

        returnedCount = 0;
        allocations = 0;
        counting = true;
        for (int round = 0; round < 20; ++round) {
            e->dispatcher(e, effProcessEvents, 0, 0, list, 0.0f);
            e->processReplacing(e, in, out, 512);
            e->dispatcher(e, effProcessEvents, 0, 0, list, 0.0f);
            e->process(e, in, out, 4096);
            e->processReplacing(e, in, out, 0);
            e->setParameter(e, 0, 0.01f * round);  // a new threshold each round
        }
        counting = false;
        EXPECT_EQ(allocations, 0) << (editorOpen ? "editor open" : "editor closed");
        EXPECT_EQ(returnedCount, 40 * 256) << "the events did go through";
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
}
