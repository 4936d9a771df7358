#pragma once
#include <cstdint>

namespace quor {
namespace system {

// Instruction-set features as the kernel reports them in the processor
// information file. Only its first 2048 bytes are read.
class SProcessorData {
public:
    enum : uint32_t { FeatureMMX = 1u << 0, FeatureSSE = 1u << 1, FeatureSSE2 = 1u << 2 };
    static constexpr unsigned ReadLimit = 2048;

    constexpr SProcessorData() = default;
    constexpr explicit SProcessorData(const char* cpuinfo) : path(cpuinfo) {}

    // Reads the file; false (with an "Error: ..." text on standard error) when
    // it cannot be opened or holds nothing.
    bool QueryRegistry();
    bool QueryFeatures()
    {
        QueryRegistry();
        return true;
    }

    uint32_t Features() const { return features; }
    bool HasMMX() const { return features & FeatureMMX; }
    bool HasSSE() const { return features & FeatureSSE; }
    bool HasSSE2() const { return features & FeatureSSE2; }
    void SetPath(const char* cpuinfo) { path = cpuinfo; }

private:
    uint32_t features = 0;
    const char* path = "/proc/cpuinfo";
};

}  // namespace system
}  // namespace quor
