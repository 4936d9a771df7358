// `vsthost validate` must find each fault a plug-in can have, say which check
// found it, go on after a crash or a hang, and pass a plug-in without faults.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/vsthost/Commands.h"

namespace {

struct Result {
    int code;
    std::string out, err;
};

// Runs the battery in this process (each check in a child) on the faulty
// plug-in with the given faults switched on.
Result Validate(const std::string& faults, std::vector<std::string> options)
{
    if (faults.empty())
        unsetenv("BW_FAULT");
    else
        setenv("BW_FAULT", faults.c_str(), 1);
    std::vector<std::string> args{"validate", FAULTY_PLUGIN, "--level", "quick", "--loads", "5", "--editor-cycles", "4",
                                  "--instances", "3", "--blocks", "5", "--seconds", "0.5"};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    const int code = vsthost::RunCommand(args, out, err);
    unsetenv("BW_FAULT");
    return {code, out.str(), err.str()};
}

// The line the battery printed for a check.
std::string Line(const Result& r, const std::string& check)
{
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, check.size() + 1, check + " ") == 0) return line;
    return "";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool HaveDisplay()
{
    const char* d = getenv("DISPLAY");
    return d && *d;
}

}  // namespace

TEST(ValidateCommandLine, ListsChecksAndRefusesWhatItCannotRun)
{
    std::ostringstream out, err;
    EXPECT_EQ(vsthost::RunCommand({"validate", "--list"}, out, err), vsthost::ExitOk);
    for (const char* name : {"load-unload", "instances", "editor", "editor-instances", "state", "parameters",
                             "dispatcher", "midi", "blocks", "threads", "stack", "window-gone", "connection-killed",
                             "second-server", "no-display"})
        EXPECT_TRUE(Contains(out.str(), std::string(name) + " ")) << name;
    std::ostringstream help;
    EXPECT_EQ(vsthost::RunCommand({"validate", "--help"}, help, err), vsthost::ExitOk);
    EXPECT_TRUE(Contains(help.str(), "usage: vsthost validate"));
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"validate"}, {"validate", FAULTY_PLUGIN, "--check", "nonsense"},
          {"validate", FAULTY_PLUGIN, "--loads", "0"}, {"validate", FAULTY_PLUGIN, "--level", "medium"},
          {"validate", FAULTY_PLUGIN, "--seconds"}, {"validate", FAULTY_PLUGIN, "--bogus"}}) {
        std::ostringstream o, e;
        EXPECT_EQ(vsthost::RunCommand(bad, o, e), vsthost::ExitUsage) << bad.back();
    }
    std::ostringstream o, e;
    EXPECT_EQ(vsthost::RunCommand({"validate", "/nonexistent/plugin.so"}, o, e), vsthost::ExitFile);
}

TEST(ValidateBattery, APluginWithoutFaultsPassesEveryCheck)
{
    const Result r = Validate("", {});
    EXPECT_EQ(r.code, vsthost::ExitOk) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "validate: ")) << r.out;
    EXPECT_TRUE(Contains(r.out, " 0 failed")) << r.out;
    EXPECT_TRUE(Contains(Line(r, "state"), "hostile chunks:")) << r.out;
#if defined(__i386__)
    EXPECT_TRUE(Contains(Line(r, "no-display"), "DISPLAY unset: 9 passed, 5 skipped")) << r.out;
#else
    EXPECT_TRUE(Contains(Line(r, "no-display"), "DISPLAY unset: 8 passed, 6 skipped")) << r.out;
#endif
    if (HaveDisplay()) {
        const std::string editor = Line(r, "editor");
        EXPECT_TRUE(Contains(editor, "pass: 4 open/close cycles")) << editor;
        EXPECT_TRUE(Contains(editor, "editor 80x60")) << editor;
        EXPECT_TRUE(Contains(editor, "; 0 X errors;")) << editor;
        EXPECT_FALSE(Contains(editor, "; 0 events delivered")) << "Expose reaches the editor's _XEventProc: " << editor;
        EXPECT_TRUE(Contains(Line(r, "editor-instances"), "pass: 3 editors open at once")) << r.out;
        // Its editor draws through the host's connection: nothing of its own
        // to kill.
        EXPECT_TRUE(Contains(Line(r, "window-gone"), "pass: editor 80x60; first window: 4800 pixels painted; "
                                                     "destroyed before effEditClose; new window: 4800 pixels painted; "
                                                     "0 X errors; 0 lines on stderr"))
            << r.out;
        EXPECT_TRUE(Contains(Line(r, "connection-killed"), "skipped: the editor has no X connection of its own")) << r.out;
        EXPECT_TRUE(Contains(Line(r, "second-server"), "effEditOpen answered 1; embedded there: 1 windows, 4800 pixels "
                                                       "painted; in the window of the same id on DISPLAY's server: 0 "
                                                       "windows; 0 X errors"))
            << r.out;
    }
}

TEST(ValidateBattery, EachFaultFailsTheCheckThatLooksForIt)
{
    struct Case {
        const char* fault;
        const char* check;
        const char* expected;
        bool needsDisplay;
    } cases[] = {
        {"name-overrun", "parameters", "the name request wrote past a 64-byte buffer", false},
        {"nan", "blocks", "non-finite output samples", false},
        {"fd-leak", "load-unload", "file descriptors more after 5 cycles", false},
        {"thread-leak", "load-unload", "threads left behind", false},
        {"bad-refusal", "state", "was refused but the state changed", false},
        {"xerror", "editor", "X errors (first: BadWindow", true},
        {"bad-eventproc", "editor", "_XEventProc names no executable code", true},
        {"dead-window", "window-gone", "X errors reached the host's error handler (first: BadWindow", true},
        {"stale-editor", "window-gone", "the editor opened in the new window painted nothing", true},
        {"io-exit", "connection-killed", "ended with exit code 1 before reporting", true},
        {"io-exit", "connection-killed", "(last step: ", true},
        {"own-server", "second-server", "the editor went into the window of the same id on DISPLAY's server (1 windows", true},
    };
    for (const Case& c : cases) {
        if (c.needsDisplay && !HaveDisplay()) continue;
        const Result r = Validate(c.fault, {"--check", c.check});
        EXPECT_EQ(r.code, vsthost::ExitValidateFailed) << c.fault << "\n" << r.out;
        const std::string line = Line(r, c.check);
        EXPECT_TRUE(Contains(line, " FAIL: ")) << c.fault << ": " << line;
        EXPECT_TRUE(Contains(line, c.expected)) << c.fault << ": " << line;
    }
}

// An editor on an X connection of its own that survives its loss passes the
// checks of what X does behind its back; so does Blinkwatcher's.
TEST(ValidateBattery, AnEditorWithAConnectionOfItsOwnPassesTheXFaultChecks)
{
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X server";
    const Result r = Validate("own-connection", {"--check", "window-gone,connection-killed,second-server"});
    EXPECT_EQ(r.code, vsthost::ExitOk) << r.out;
    EXPECT_TRUE(Contains(Line(r, "window-gone"), "pass: ")) << r.out;
    EXPECT_TRUE(Contains(Line(r, "connection-killed"), "(inside the editor window); the host lived on; opened again: "
                                                       "4800 pixels painted (4800 before the kill); 0 X errors"))
        << r.out;
    EXPECT_TRUE(Contains(Line(r, "second-server"), "pass: ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "validate: 3 passed, 0 failed, 0 skipped")) << r.out;
}

TEST(ValidateBattery, ACrashOrAHangFailsOneCheckAndTheBatteryGoesOn)
{
    const Result crash = Validate("null-channels", {"--check", "blocks,state"});
    EXPECT_EQ(crash.code, vsthost::ExitValidateFailed);
    const std::string blocks = Line(crash, "blocks");
    // A sanitizer turns the fault into its report and an exit code.
    EXPECT_TRUE(Contains(blocks, "FAIL: crashed: signal 11") ||
                Contains(blocks, "FAIL: ended with exit code 1 before reporting: "))
        << crash.out;
    EXPECT_TRUE(Contains(blocks, "(last step: null input channel pointers; before it: process, 1048576 frames)"))
        << crash.out;
    EXPECT_TRUE(Contains(Line(crash, "state"), "pass: ")) << crash.out;
    EXPECT_TRUE(Contains(crash.out, "validate: 1 passed, 1 failed, 0 skipped")) << crash.out;

    const Result hang = Validate("hang", {"--check", "dispatcher,midi", "--timeout", "2"});
    EXPECT_TRUE(Contains(Line(hang, "dispatcher"), "FAIL: no answer within 2 s")) << hang.out;
    EXPECT_TRUE(Contains(Line(hang, "midi"), "pass: ")) << hang.out;
}

TEST(ValidateBattery, AnI386PluginThatTrustsStackAlignmentFailsTheStackCheck)
{
    const Result good = Validate("", {"--check", "stack"});
    const Result bad = Validate("aligned-stack", {"--check", "stack"});
#if defined(__i386__)
    EXPECT_TRUE(Contains(Line(good, "stack"), "pass: ")) << good.out;
    EXPECT_TRUE(Contains(Line(bad, "stack"), "FAIL: crashed: signal 11")) << bad.out;
    EXPECT_TRUE(Contains(Line(bad, "stack"), "processReplacing through a misaligned stack")) << bad.out;
#else
    EXPECT_TRUE(Contains(Line(good, "stack"), "skipped: 64-bit hosts always keep the stack aligned")) << good.out;
    EXPECT_EQ(bad.code, vsthost::ExitOk) << bad.out;
#endif
}

TEST(ValidateBattery, TheStrictLevelAlsoFailsWhatHostsUsuallySurvive)
{
    const Result normal = Validate("long-names", {"--check", "parameters"});
    EXPECT_EQ(normal.code, vsthost::ExitOk) << normal.out;
    EXPECT_TRUE(Contains(Line(normal, "parameters"), "longest name 20")) << normal.out;
    const Result strict = Validate("long-names", {"--check", "parameters", "--strict"});
    EXPECT_EQ(strict.code, vsthost::ExitValidateFailed) << strict.out;
    EXPECT_TRUE(Contains(Line(strict, "parameters"), "the name text has 20 characters (limit 7)")) << strict.out;
}

TEST(ValidateBattery, InOneProcessTheChecksRunWithoutChildren)
{
    const Result r = Validate("", {"--no-fork", "--check", "state,midi,no-display"});
    EXPECT_EQ(r.code, vsthost::ExitOk) << r.out;
    EXPECT_TRUE(Contains(Line(r, "no-display"), "skipped: needs a process of its own")) << r.out;
    EXPECT_TRUE(Contains(r.out, "validate: 2 passed, 0 failed, 1 skipped")) << r.out;
}
