#pragma once
// The command line's shared pieces: options, host identity, loading.

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace vsthost {

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::string error;
    bool help = false;

    bool Has(const char* flag) const { return flags.count(flag) > 0; }
    std::string Value(const char* key, const std::string& fallback = std::string()) const
    {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
};

// The host options (--host-product and the like) are accepted everywhere.
Arguments Parse(const std::vector<std::string>& args, size_t from, const std::set<std::string>& valueOptions,
                const std::set<std::string>& flagOptions);
bool ParseInt(const std::string& text, long long low, long long high, long long& out);
bool HostIdentityFrom(const Arguments& a, HostIdentity& id, std::string& error);
int Usage(std::ostream& err, const std::string& problem, const char* help);
// Loads and opens the plug-in; an exit code (ExitOk when loaded).
int LoadPlugin(Host& host, const std::string& path, std::ostream& err);

}  // namespace vsthost
