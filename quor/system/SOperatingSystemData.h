#pragma once

namespace quor {
namespace system {

// Accepts kernels newer than 2.4, from the release text the kernel publishes.
class SOperatingSystemData {
public:
    constexpr SOperatingSystemData() = default;
    constexpr explicit SOperatingSystemData(const char* osrelease) : path(osrelease) {}

    // Always true: an unreadable release leaves the system acceptable.
    bool QueryFeatures();

    bool Acceptable() const { return acceptable; }
    void SetPath(const char* osrelease) { path = osrelease; }

    // The leading decimal number of a release text ("2.6.32-5-686" -> 2.6),
    // read the way the C locale reads it, whatever locale the host has set.
    static double LeadingNumber(const char* text);

private:
    bool acceptable = false;
    const char* path = "/proc/sys/kernel/osrelease";
};

}  // namespace system
}  // namespace quor
