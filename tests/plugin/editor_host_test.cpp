// The editor recognises the host from its product string while the plug-in
// is being built; one host is refused.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PluginDoubles.h"
#include "plugin/VSTPlugin.h"

namespace {

std::string product;
int32_t vendorVersion = 0;

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetProductString:
        if (ptr) strncpy(static_cast<char*>(ptr), product.c_str(), 63);
        return 1;
    case audioMasterGetVendorString:
        if (ptr) strncpy(static_cast<char*>(ptr), "Someone", 63);
        return 1;
    case audioMasterGetVendorVersion: return vendorVersion;
    default: return 0;
    }
}

class Built : public bwtest::LoadResult, public VSTPlugin {
public:
    Built() : VSTPlugin(Host, result) {}
};

TEST(HostRecognition, ProductStringsGiveTheHostAndUsineIsRefused)
{
    const struct {
        const char* product;
        int32_t version;
        const char* name;
        int result;
    } cases[] = {
        {"Cubase SX", 8199, "Cubase/Nuendo", 0},  {"Cubase 5", 8200, "Cubase4/Nuendo4", 0},
        {"Cubase and Usine", 9000, "Cubase4/Nuendo4", 0},
        {"Usine Hollyhock", 1, "Usine", 3},      {"SAVIHost", 1, "SaviHost", 0},
        {"energyXT2", 1, "Energy XT", 0},        {"", 1, "(unknown)", 0},
        {"Something Else", 1, "(unknown)", 0},
    };
    for (const auto& c : cases) {
        product = c.product;
        vendorVersion = c.version;
        Built plugin;
        EXPECT_STREQ(plugin.PluginHostName(), c.name) << c.product;
        EXPECT_EQ(plugin.result, c.result) << c.product;
        EXPECT_EQ(plugin.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    }
}

}  // namespace
