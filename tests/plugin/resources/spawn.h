#pragma once
// Runs a test program in a child process with a changed environment (through
// the emulator on cross builds), collects its output and exit status, and
// gives up after a deadline instead of hanging.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace bwtest {

struct ChildResult {
    bool finished = false;  // exited on its own before the deadline
    int status = -1;        // exit code, or -signal when killed by one
    std::string output;     // standard output and standard error together (gtest's
                            // "[  SKIPPED ]" shown as "[ SKIPPED ]")
};

// Runs the tests of `program` matching `filter` in a child with `unset`
// removed from and `set` ("NAME=value") added to the environment.
inline ChildResult RunChild(const std::string& program, const std::string& filter, const std::vector<std::string>& unset,
                            const std::vector<std::string>& set, int deadlineSeconds = 60)
{
    ChildResult result;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        bool drop = false;
        for (const std::string& name : unset)
            if (entry.compare(0, name.size() + 1, name + "=") == 0) drop = true;
        for (const std::string& s : set) {
            std::string name = s.substr(0, s.find('=') + 1);
            if (entry.compare(0, name.size(), name) == 0) drop = true;
        }
        if (!drop) env.push_back(entry);
    }
    for (const std::string& s : set) env.push_back(s);

    std::vector<std::string> args;
#ifdef BW_TEST_EMULATOR
    if (BW_TEST_EMULATOR[0]) args.push_back(BW_TEST_EMULATOR);
#endif
    args.push_back(program);
    args.push_back("--gtest_filter=" + filter);

    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);

    int pipefd[2];
    if (pipe(pipefd) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipefd[0]);
    pid_t pid;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    if (rc != 0) {
        close(pipefd[0]);
        result.output = std::string("spawn failed: ") + strerror(rc);
        return result;
    }

    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    char buffer[4096];
    for (;;) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > deadlineSeconds) {
            kill(pid, SIGKILL);
            result.output += "\n[child killed after the deadline]\n";
            break;
        }
        pollfd p = {pipefd[0], POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) continue;
        ssize_t n = read(pipefd[0], buffer, sizeof buffer);
        if (n <= 0) {
            result.finished = true;
            break;
        }
        result.output.append(buffer, static_cast<size_t>(n));
    }
    close(pipefd[0]);
    // ctest takes gtest's skip marker anywhere in a test's output as a skip:
    // a parent that fails and shows a skipping child's output would pass as
    // skipped. The marker loses a space; "SKIPPED" stays searchable.
    for (size_t at = result.output.find("[  SKIPPED ]"); at != std::string::npos;
         at = result.output.find("[  SKIPPED ]", at))
        result.output.erase(at + 1, 1);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = -WTERMSIG(status);
    return result;
}

inline size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

}  // namespace bwtest
