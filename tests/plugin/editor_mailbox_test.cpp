// The editor's mailbox and the engine's way into it: requests reach the idle
// side in rising order and are never lost, nothing is posted after the editor
// closed, and requests flow again once it is open. The threaded cases also
// run under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/SPluginEditor.h"
#include "plugin/VSTPlugin.h"
#include "quor/threading/watchdog.h"

namespace {

// The stand-in editor with its panel side recorded, and a check on the
// engine side: a request arriving while `forbidden` is set is counted.
class WatchedEditor : public SPluginEditor {
public:
    WatchedEditor(SPlugin* plugin, int& result) : SPluginEditor(plugin, nullptr, result) {}

    void postUpdate() override
    {
        Check();
        SPluginEditor::postUpdate();
    }
    void postUpdateIndexed(long index) override
    {
        Check();
        SPluginEditor::postUpdateIndexed(index);
    }
    std::vector<long> Refreshed()
    {
        std::lock_guard<std::mutex> held(mutex);
        std::vector<long> taken;
        taken.swap(refreshed);
        return taken;
    }

    std::atomic<bool> forbidden{false};
    std::atomic<long> posts{0};
    std::atomic<long> latePosts{0};
    std::atomic<long> deliveries[SUpdateMailbox::Indices + 1] = {};  // [256]: full refreshes

protected:
    void Refresh(long index) override
    {
        {
            std::lock_guard<std::mutex> held(mutex);
            refreshed.push_back(index);
        }
        if (index < 0) {
            for (std::atomic<long>& d : deliveries) ++d;
        } else {
            ++deliveries[index];
        }
    }

private:
    void Check()
    {
        if (forbidden.load()) ++latePosts;
        ++posts;
    }
    std::mutex mutex;
    std::vector<long> refreshed;
};

class Plugin : public VSTPlugin {
public:
    Plugin(int& result) : VSTPlugin(nullptr, result), editorDouble(new WatchedEditor(this, result))
    {
        AttachEditor(editorDouble);
        resume();
    }
    WatchedEditor& Editor() { return *editorDouble; }
    VstIntPtr Open() { return getAeffect()->dispatcher(getAeffect(), effEditOpen, 0, 0, &window, 0.0f); }
    VstIntPtr Close() { return getAeffect()->dispatcher(getAeffect(), effEditClose, 0, 0, nullptr, 0.0f); }

private:
    WatchedEditor* editorDouble;
    long window = 0;
};

struct Fixture : ::testing::Test {
    int result = 0;
    Plugin plugin{result};
    WatchedEditor& editor = plugin.Editor();
};

}  // namespace

TEST_F(Fixture, TheIdleSideDeliversInRisingOrderAndIgnoresIndicesOutsideAByte)
{
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{}) << "nothing while closed";
    ASSERT_EQ(plugin.Open(), 1);
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{-1}) << "opening asks for everything";
    editor.postUpdateIndexed(13);
    editor.postUpdateIndexed(12);
    editor.postUpdateIndexed(13);
    for (long outside : {-2L, -1L, 256L, 100000L}) editor.postUpdateIndexed(outside);
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), (std::vector<long>{12, 13}));
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{}) << "each request once";

    // A full refresh wins over pending indices and takes them with it.
    editor.postUpdateIndexed(9);
    editor.postUpdate();
    editor.idle();
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{-1});

    editor.updateAtIndex(5);
    editor.updateAtIndex(256);
    editor.updateAtIndex(-3);
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{5}) << "asked for directly: refreshed whether pending or not";

    ASSERT_EQ(plugin.Close(), 1);
    editor.postUpdateIndexed(8);
    editor.idle();
    editor.update();
    editor.updateIndexed();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{}) << "a closed editor refreshes nothing";
}

TEST_F(Fixture, BlocksPostOnlyBetweenOpenAndClose)
{
    std::vector<float> silent(16, 0.0f);
    float* io[2] = {silent.data(), silent.data()};
    plugin.processReplacing(io, io, 16);
    EXPECT_EQ(editor.posts.load(), 0);
    plugin.Open();
    editor.idle();  // the full refresh of opening
    editor.Refreshed();
    plugin.processReplacing(io, io, 16);
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), (std::vector<long>{8, 12, 14}));
    plugin.setParameter(3, 1.0f);  // from this thread: the counter's way
    editor.idle();
    EXPECT_EQ(editor.Refreshed(), std::vector<long>{3});
    plugin.Close();
    const long before = editor.posts.load();
    plugin.processReplacing(io, io, 16);
    plugin.setParameter(3, 1.0f);
    EXPECT_EQ(editor.posts.load(), before);
}

TEST_F(Fixture, NoRequestIsLostBetweenPostingAndTheIdleScan)
{
    // Each request waits for a delivery that began after it was posted; a
    // request lost between the idle side's read and clear would hang here
    // until the watchdog ends the run.
    Watchdog dog("NoRequestIsLostBetweenPostingAndTheIdleScan", std::chrono::seconds(120));
    plugin.Open();
    std::atomic<bool> stop{false};
    std::thread idle([&] {
        while (!stop) {
            editor.idle();
            std::this_thread::yield();
        }
    });
    // Each round is a hand-over between two threads, slow on a busy machine.
    for (int i = 0; i < 500; ++i) {
        const long index = (i * 7) % 19 - 1;  // -1 (everything) and 0 to 17
        const int slot = index < 0 ? SUpdateMailbox::Indices : static_cast<int>(index);
        const long before = editor.deliveries[slot].load();
        if (index < 0)
            editor.postUpdate();
        else
            editor.postUpdateIndexed(index);
        while (editor.deliveries[slot].load() == before) std::this_thread::yield();
    }
    stop = true;
    idle.join();
}

TEST_F(Fixture, NothingIsPostedAfterCloseReturnsWhileTheAudioThreadRuns)
{
    Watchdog dog("NothingIsPostedAfterCloseReturnsWhileTheAudioThreadRuns", std::chrono::seconds(120));
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    editor.forbidden = true;
    // The host's audio thread, a parameter thread and the idle thread, all
    // running while the editor opens and closes.
    std::thread audio([&] {
        std::vector<float> l(64, 0.5f), r(64, 0.0f), ol(64), orr(64);
        float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        VstMidiEvent note{};
        note.type = kVstMidiType;
        note.byteSize = 24;
        note.midiData[0] = static_cast<char>(0x90);
        note.midiData[1] = 60;
        note.midiData[2] = 100;
        VstEvents list{};
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<VstEvent*>(&note);
        while (!stop) {
            plugin.processEvents(&list);
            plugin.processReplacing(in, out, 64);
            plugin.process(in, out, 64);
            ++blocks;
        }
    });
    // Two cores may be all there is: the threads other than the audio one
    // leave room between their calls.
    std::thread parameters([&] {
        for (int i = 0; !stop; ++i) {
            plugin.setParameter(1 + i % 7, 1.0f);
            std::this_thread::yield();
        }
    });
    std::thread idle([&] {
        while (!stop) {
            editor.idle();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int round = 0; round < 100; ++round) {
        editor.forbidden = false;
        ASSERT_EQ(plugin.Open(), 1);
        // Requests flow once open has returned.
        const long posted = editor.posts.load();
        while (editor.posts.load() == posted) std::this_thread::yield();
        if (round % 3 == 0) {
            const long seen = blocks.load();
            while (blocks.load() < seen + 2) std::this_thread::yield();
        }
        ASSERT_EQ(plugin.Close(), 1);
        editor.forbidden = true;
        // Give the other threads a few blocks to break the rule.
        const long seen = blocks.load();
        while (blocks.load() < seen + 2) std::this_thread::yield();
    }
    stop = true;
    audio.join();
    parameters.join();
    idle.join();
    EXPECT_EQ(editor.latePosts.load(), 0);
}
