#include "quor/gui/SAtoms.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace quor {
namespace gui {

namespace {

struct Known {
    Display* display;
    std::string name;
    Atom atom;
};

std::mutex lock;
std::vector<Known>& known()
{
    static std::vector<Known> list;
    return list;
}

Atom Lookup(Display* display, const char* name, bool onlyIfExists)
{
    if (!display || !name) return None;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Known& k : known())
            if (k.display == display && k.name == name) return k.atom;
    }
    Atom atom = XInternAtom(display, name, onlyIfExists ? True : False);
    if (atom == None) return None;
    std::lock_guard<std::mutex> guard(lock);
    known().push_back(Known{display, name, atom});
    return atom;
}

}  // namespace

Atom SAtoms::Get(Display* display, const char* name) { return Lookup(display, name, false); }

Atom SAtoms::Existing(Display* display, const char* name) { return Lookup(display, name, true); }

void SAtoms::Forget(Display* display)
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<Known>& list = known();
    for (size_t i = list.size(); i-- > 0;)
        if (list[i].display == display) list.erase(list.begin() + static_cast<long>(i));
}

}  // namespace gui
}  // namespace quor
