// The audio thread takes no lock: every lock and wait call of the threading
// library that this program makes is counted while the audio-thread calls
// run, with the editor open and closed.

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "plugin/NoteOns.h"
#include "plugin/SPluginEditor.h"
#include "plugin/SPluginEntry.h"
#include "plugin/VSTPlugin.h"
#include "quor/system/SSystemData.h"
#include "quor/threading/SMutexID.h"
#include "quor/threading/SMutexOS.h"

namespace {
thread_local bool counting = false;
thread_local long locks = 0;

// The library's own function, found once per name behind this program's.
template <class Function>
Function Next(std::atomic<Function>& cache, const char* name)
{
    Function f = cache.load(std::memory_order_acquire);
    if (!f) {
        f = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
        cache.store(f, std::memory_order_release);
    }
    return f;
}
}  // namespace

// Every way a thread can wait for another through the threading library.
#define BW_COUNTED(name, result, params, args)                                 \
    extern "C" result name params                                             \
    {                                                                          \
        static std::atomic<result(*) params> next{nullptr};                    \
        if (counting) ++locks;                                                 \
        return Next(next, #name) args;                                         \
    }
BW_COUNTED(pthread_mutex_lock, int, (pthread_mutex_t * m), (m))
BW_COUNTED(pthread_mutex_trylock, int, (pthread_mutex_t * m), (m))
BW_COUNTED(pthread_mutex_timedlock, int, (pthread_mutex_t * m, const struct timespec* t), (m, t))
BW_COUNTED(pthread_rwlock_rdlock, int, (pthread_rwlock_t * l), (l))
BW_COUNTED(pthread_rwlock_wrlock, int, (pthread_rwlock_t * l), (l))
BW_COUNTED(pthread_spin_lock, int, (pthread_spinlock_t * l), (l))
BW_COUNTED(pthread_cond_wait, int, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
BW_COUNTED(sem_wait, int, (sem_t * s), (s))
#undef BW_COUNTED

namespace {

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion) return 2400;
    return opcode == audioMasterProcessEvents ? 1 : 0;
}

// The flag-setting editor, with what reaches its panel side counted.
class CountingEditor : public SPluginEditor {
public:
    CountingEditor(SPlugin* plugin, int& result) : SPluginEditor(plugin, nullptr, result) {}
    long refreshes = 0;

protected:
    void Refresh(long) override { ++refreshes; }
};

CountingEditor* lastEditor = nullptr;

class WithEditor : public VSTPlugin {
public:
    WithEditor(audioMasterCallback host, int& result) : VSTPlugin(host, result)
    {
        lastEditor = new CountingEditor(this, result);
        AttachEditor(lastEditor);
    }
};

SPlugin* MakeWithEditor(audioMasterCallback host, int& result) { return new WithEditor(host, result); }

}  // namespace

TEST(AudioThreadLocks, TheCounterSeesLocks)
{
    quor::threading::SMutexOS os;
    std::mutex standard;
    counting = true;
    os.Lock();
    os.Unlock();
    standard.lock();
    standard.unlock();
    counting = false;
    EXPECT_EQ(locks, 2);
    locks = 0;
}

TEST(AudioThreadLocks, ProcessingTakesNoLockWithTheEditorOpenOrClosed)
{
    for (bool editorOpen : {false, true}) {
        AEffect* e = PluginEntry(Host, sd, MakeWithEditor);
        ASSERT_NE(e, nullptr);
        CountingEditor* editor = lastEditor;
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        long window = 1;
        if (editorOpen) {
            ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &window, 0.0f), 1);
        }
        editor->idle();
        const long refreshesBefore = editor->refreshes;

        NoteOns notes(256);
        VstEvents* list = notes.List();
        std::vector<float> a(4096, 0.25f), b(4096, -0.25f), c(4096), d(4096);
        float* in[2] = {a.data(), b.data()};
        float* out[2] = {c.data(), d.data()};

        locks = 0;
        counting = true;
        for (int round = 0; round < 10; ++round) {
            e->dispatcher(e, effProcessEvents, 0, 0, list, 0.0f);
            e->processReplacing(e, in, out, 512);
            e->processReplacing(e, in, in, 333);  // in place
            e->process(e, in, out, 4096);
            e->processReplacing(e, in, out, 0);
            e->setParameter(e, 0, 0.01f * round);  // hosts automate on the audio thread too
        }
        counting = false;
        EXPECT_EQ(locks, 0) << (editorOpen ? "editor open" : "editor closed");

        editor->idle();
        if (editorOpen)
            EXPECT_GT(editor->refreshes, refreshesBefore) << "the blocks did post";
        else
            EXPECT_EQ(editor->refreshes, refreshesBefore);
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
}
