#pragma once
// vsthost editor: the plug-in's editor in a window of the host's, with audio
// and MIDI played through the plug-in in real time meanwhile.

#include <ostream>
#include <string>
#include <vector>

namespace vsthost {

int Editor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vsthost
