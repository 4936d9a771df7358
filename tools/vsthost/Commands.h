#pragma once
// The vsthost command line, callable in-process (the tests run it so, also
// under an emulator that cannot start a second program).

#include <ostream>
#include <string>
#include <vector>

namespace vsthost {

// Exit codes.
enum ExitCode : int {
    ExitOk = 0,
    ExitUsage = 1,          // bad command line
    ExitFile = 2,           // an input file is missing or unreadable, an output cannot be written
    ExitNotPlugin = 3,      // not a VST 2.x plug-in
    ExitRefused = 4,        // the plug-in's entry point returned null
    ExitChannels = 5,       // the audio's channel count does not match the plug-in
    ExitChunkRefused = 6,   // the plug-in refused a chunk
    ExitValidateFailed = 7, // a check of validate failed
    ExitNoEditor = 8,       // the plug-in has no editor (or gives it no size)
    ExitNoDisplay = 9,      // no X server to show an editor on
    ExitXErrors = 10,       // the editor caused X errors
};

// args[0] is the command name (info, process, chunk, validate, editor, gen-wav, gen-midi).
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vsthost
