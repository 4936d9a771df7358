#include "tools/vsthost/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "tools/vsthost/Commands.h"

namespace vsthost {

namespace {
const std::set<std::string> HostValueOptions = {"--host-product", "--host-vendor", "--host-version",
                                                "--size-window", "--vst-version"};

}  // namespace

Arguments Parse(const std::vector<std::string>& args, size_t from, const std::set<std::string>& valueOptions,
                const std::set<std::string>& flagOptions)
{
    Arguments a;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s == "--help" || s == "-h") {
            a.help = true;
        } else if (s.size() > 2 && s.compare(0, 2, "--") == 0) {
            std::string key = s, value;
            size_t eq = s.find('=');
            bool inlineValue = eq != std::string::npos;
            if (inlineValue) {
                key = s.substr(0, eq);
                value = s.substr(eq + 1);
            }
            if (valueOptions.count(key) || HostValueOptions.count(key)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        a.error = key + " needs a value";
                        return a;
                    }
                    value = args[++i];
                }
                a.values[key] = value;
            } else if (flagOptions.count(key) && !inlineValue) {
                a.flags.insert(key);
            } else {
                a.error = "unknown option " + s;
                return a;
            }
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

bool ParseInt(const std::string& text, long long low, long long high, long long& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < low || v > high) return false;
    out = v;
    return true;
}

bool HostIdentityFrom(const Arguments& a, HostIdentity& id, std::string& error)
{
    id.product = a.Value("--host-product", id.product);
    id.vendor = a.Value("--host-vendor", id.vendor);
    long long v;
    if (a.values.count("--host-version")) {
        if (!ParseInt(a.Value("--host-version"), INT32_MIN, INT32_MAX, v)) {
            error = "--host-version needs a whole number";
            return false;
        }
        id.vendorVersion = static_cast<int32_t>(v);
    }
    if (a.values.count("--vst-version")) {
        if (!ParseInt(a.Value("--vst-version"), INT32_MIN, INT32_MAX, v)) {
            error = "--vst-version needs a whole number";
            return false;
        }
        id.masterVersion = static_cast<int32_t>(v);
    }
    if (a.values.count("--size-window")) {
        const std::string s = a.Value("--size-window");
        if (s == "yes")
            id.sizeWindow = 1;
        else if (s == "no")
            id.sizeWindow = -1;
        else if (s == "unknown")
            id.sizeWindow = 0;
        else {
            error = "--size-window takes yes, no or unknown";
            return false;
        }
    }
    return true;
}

int Usage(std::ostream& err, const std::string& problem, const char* help)
{
    err << "vsthost: " << problem << "\n" << help;
    return ExitUsage;
}

int LoadPlugin(Host& host, const std::string& path, std::ostream& err)
{
    if (host.Load(path, true)) return ExitOk;
    err << "vsthost: " << host.ErrorText() << "\n";
    switch (host.Error()) {
    case LoadError::FileMissing:
        return ExitFile;
    case LoadError::Refused:
        if (!host.PluginMessage().empty())
            err << "vsthost: the plug-in said: " << host.PluginMessage() << "\n";
        else
            err << "vsthost: the plug-in gave no message\n";
        return ExitRefused;
    default:
        return ExitNotPlugin;
    }
}

}  // namespace vsthost
