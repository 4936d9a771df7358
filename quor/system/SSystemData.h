#pragma once
#include "quor/system/SOperatingSystemData.h"
#include "quor/system/SProcessorData.h"

namespace quor {
namespace gui {
class SDisplay;
}
namespace system {

// What the machine offers, gathered once at load time and read-only after.
// Constant-initialised, so other load-time initialisers may use it whatever
// the order of initialisation across files.
class SSystemData {
public:
    constexpr SSystemData() = default;
    constexpr SSystemData(const char* cpuinfo, const char* osrelease) : os(osrelease), cpu(cpuinfo) {}
    ~SSystemData();
    SSystemData(const SSystemData&) = delete;
    SSystemData& operator=(const SSystemData&) = delete;

    void getCPUInfos();
    void getOSInfos();
    // Gathers the monitor layout once; does nothing until an X display exists.
    void getDisplayInfos();
    bool Qualifies(bool needSSE, bool needSSE2) const;

    quor::gui::SDisplay* DisplayInfo() const { return displayInfo; }
    bool SSE() const { return sse; }
    bool SSE2() const { return sse2; }
    bool MMX() const { return mmx; }
    bool OSAcceptable() const { return osAcceptable; }

private:
    quor::gui::SDisplay* displayInfo = nullptr;
    bool sse = false;
    bool sse2 = false;
    bool mmx = false;
    bool osAcceptable = false;
    SOperatingSystemData os;
    SProcessorData cpu;
};

}  // namespace system
}  // namespace quor

// The process-wide system data.
extern quor::system::SSystemData sd;
