#pragma once
// Helpers shared by the plug-in and host tests.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bwtest {

// Where the build put the plug-in of this tree's architecture.
inline std::string PluginPath()
{
    const char* dir = getenv("BW_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/Blinkwatcher.so";
}

// Collects what the process writes to file descriptor 2 while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        file = tmpfile();
        saved = dup(STDERR_FILENO);
        dup2(fileno(file), STDERR_FILENO);
    }
    ~StderrCapture() { Text(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Ends the capture (once) and returns what was written.
    const std::string& Text()
    {
        if (saved >= 0) {
            fflush(stderr);
            dup2(saved, STDERR_FILENO);
            close(saved);
            saved = -1;
            rewind(file);
            char buffer[4096];
            size_t got;
            while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
            fclose(file);
        }
        return text;
    }

    // What was written so far, the capture going on.
    std::string SoFar() const
    {
        if (saved < 0) return text;
        fflush(stderr);
        std::string got;
        char buffer[4096];
        off_t at = 0;
        for (ssize_t n; (n = pread(fileno(file), buffer, sizeof buffer, at)) > 0; at += n)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    }

private:
    FILE* file = nullptr;
    int saved = -1;
    std::string text;
};

// How often `part` occurs in `text`: the lines of a kind written.
inline int Occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
    return n;
}

// The line the message box stand-in writes for a message.
inline std::string InfoLine(const std::string& title, const std::string& message)
{
    std::string line = title + ": ";
    for (char c : message) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line + "\n";
}

}  // namespace bwtest
