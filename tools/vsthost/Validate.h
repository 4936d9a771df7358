#pragma once
// `vsthost validate`: a battery of checks for any VST 2.x plug-in.

#include <ostream>
#include <string>
#include <vector>

namespace vsthost {

// args[0] is "validate".
int Validate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

namespace validate {
struct Options;
// Runs the chosen checks and prints their lines and the summary; the counts
// go to the pointers that are not null.
int RunBattery(const Options& options, std::ostream& out, int* passed, int* failed, int* skipped);
}  // namespace validate

}  // namespace vsthost
