#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

#include <chrono>
#include <thread>

#include "quor/threading/watchdog.h"

#ifndef IDLE_MODULE
#error "IDLE_MODULE must name the module to load"
#endif

namespace {

int CountThreads()
{
    int n = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return -1;
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.') ++n;
    closedir(dir);
    return n;
}

int ReadCounter(const int* counter) { return __atomic_load_n(counter, __ATOMIC_RELAXED); }

}  // namespace

// Keeps the never-deleted control reachable for the leak checker (volatile,
// so the store is not optimised away).
void* volatile keepControl = nullptr;

TEST(Unload, IdleThreadHasEndedWhenTheLibraryIsGone)
{
    Watchdog dog("IdleThreadHasEndedWhenTheLibraryIsGone");
    int counter = 0;
    int threadsBefore = CountThreads();
    void* module = dlopen(IDLE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto start = reinterpret_cast<void* (*)(int*)>(dlsym(module, "bw_idle_module_start"));
    auto running = reinterpret_cast<int (*)()>(dlsym(module, "bw_idle_module_running"));
    ASSERT_NE(start, nullptr);
    ASSERT_NE(running, nullptr);
    keepControl = start(&counter);
    while (ReadCounter(&counter) < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(running(), 1);
    EXPECT_EQ(CountThreads(), threadsBefore + 1);

    ASSERT_EQ(dlclose(module), 0);
    // Really unloaded (otherwise this test would show nothing).
    EXPECT_EQ(dlopen(IDLE_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr);
    // The thread had ended before dlclose returned: no more calls, and none
    // left. The kernel may list a joined thread's task for a moment longer
    // (under load, and under qemu-i386), so its count is given time to drop.
    int after = ReadCounter(&counter);
    for (int i = 0; i < 500 && CountThreads() != threadsBefore; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(CountThreads(), threadsBefore);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadCounter(&counter), after);
}
