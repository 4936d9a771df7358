// The LV2 run function allocates nothing: every heap allocation of this test
// program is counted while the DSP object runs, loaded through lilv.

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "plugin/lv2/Lv2Support.h"

TEST(Lv2AudioThread, RunAllocatesNothing)
{
    counting = true;
    int* probe = new int(1);
    counting = false;
    delete probe;
    ASSERT_EQ(allocations, 1) << "the counter does not see allocations";
    allocations = 0;

    LilvWorld* world = lilv_world_new();
    const char* dir = getenv("BW_BINARY_DIR");
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, (std::string(dir ? dir : ".") + "/Blinkwatcher.lv2/").c_str());
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, "https://quor.audio/lv2/blinkwatcher");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    ASSERT_NE(plugin, nullptr);
    bwtest::UridMap urids;
    const LV2_Feature* features[] = {urids.Feature(), nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, features);
    ASSERT_NE(instance, nullptr);

    std::vector<float> a(4096, 0.25f), b(4096, -0.25f), c(4096), d(4096);
    float controls[16] = {0, 0, 0, 0, 0, 0, -50, 1, 1, 1, 1, 1, 1, 1, 0, 0};
    bwtest::Sequence in(65536), out(65536);
    std::vector<bwtest::AtomEvent> notes;
    for (int i = 0; i < 300; ++i)
        notes.push_back(bwtest::AtomEvent{i, urids.Id(LV2_MIDI__MidiEvent), {0x90, static_cast<uint8_t>(i & 127), 9}});
    in.Fill(urids.Id(LV2_ATOM__Sequence), notes);
    lilv_instance_connect_port(instance, 0, a.data());
    lilv_instance_connect_port(instance, 1, b.data());
    lilv_instance_connect_port(instance, 2, c.data());
    lilv_instance_connect_port(instance, 3, d.data());
    lilv_instance_connect_port(instance, 4, in.Get());
    lilv_instance_connect_port(instance, 5, out.Get());
    for (uint32_t p = 6; p < 16; ++p) lilv_instance_connect_port(instance, p, &controls[p]);
    lilv_instance_activate(instance);

    counting = true;
    for (int round = 0; round < 20; ++round) {
        for (uint32_t frames : {512u, 4096u, 0u, 1u}) {
            out.Offer();
            lilv_instance_run(instance, frames);
        }
        controls[6] = -1.0f * round;  // a new threshold each round
    }
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(out.Events().size(), 256u);

    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
}
