#pragma once
// Aborts the test program with a message when a test hangs (a deadlock in
// the code under test must fail the run, not stall it).

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
public:
    explicit Watchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(60))
        : name(what), done(false), guard([this, limit] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!wake.wait_for(lock, limit, [this] { return done; })) {
                  fprintf(stderr, "watchdog: '%s' still running after %lld s, aborting\n", name.c_str(),
                          static_cast<long long>(limit.count()));
                  fflush(stderr);
                  abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        wake.notify_all();
        guard.join();
    }

private:
    std::string name;
    std::mutex mutex;
    std::condition_variable wake;
    bool done;
    std::thread guard;
};
