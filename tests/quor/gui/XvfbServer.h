#pragma once
// A private X server with a chosen screen layout, for the duration of a test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace bwtest {

class XvfbServer {
public:
    // `layout`: Xvfb's options after the display number, e.g. "-screen",
    // "0", "800x600x24". Empty name() when no server could be started.
    explicit XvfbServer(const std::vector<std::string>& layout)
    {
        for (int n = 150; n < 200 && name.empty(); ++n) {
            struct stat st;
            if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0) continue;
            if (stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0) continue;
            Start(n, layout);
        }
    }
    ~XvfbServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status;
            waitpid(pid, &status, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    std::string name;

private:
    void Start(int n, const std::vector<std::string>& layout)
    {
        int ready[2];
        if (pipe(ready) != 0) return;
        // Xvfb writes its number to fd 3 once it accepts connections.
        std::vector<std::string> args = {"Xvfb", ":" + std::to_string(n), "-displayfd", "3", "-nolisten", "tcp"};
        args.insert(args.end(), layout.begin(), layout.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child;
        int rc = posix_spawnp(&child, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (rc != 0) {
            close(ready[0]);
            return;
        }
        // Xvfb writes the number and the line feed in two writes and dies
        // when the second finds the pipe closed: read up to the line feed.
        std::string said;
        for (;;) {
            pollfd p = {ready[0], POLLIN, 0};
            char buffer[16];
            ssize_t n = poll(&p, 1, 20000) > 0 ? read(ready[0], buffer, sizeof buffer) : -1;
            if (n <= 0) break;
            said.append(buffer, static_cast<size_t>(n));
            if (said.find('\n') != std::string::npos) break;
        }
        bool up = said.find('\n') != std::string::npos;
        close(ready[0]);
        if (!up) {
            kill(child, SIGTERM);
            int status;
            waitpid(child, &status, 0);
            return;
        }
        pid = child;
        name = ":" + std::to_string(n);
    }

    pid_t pid = -1;
};

}  // namespace bwtest
