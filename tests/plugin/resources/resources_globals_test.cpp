// SGlobals per instance and the shared lists from several threads.

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawPen.h"

namespace {

TEST(Globals, StartEmpty)
{
    SGlobals g;
    EXPECT_EQ(g.identifier, 0u);
    EXPECT_TRUE(g.name.Empty());
    EXPECT_TRUE(g.directory.Empty());
    EXPECT_EQ(g.parentWindow, 0u);
    EXPECT_EQ(g.cursor, nullptr);
    EXPECT_TRUE(g.lock.IsValid());
}

// Two plug-in instances share statdata but each has its own globals: own
// counter, own generator, seeded apart.
TEST(Globals, TwoInstancesHaveTheirOwnCounterAndGenerator)
{
    SGlobals a, b;
    EXPECT_NE(a.random.GetSeed(), b.random.GetSeed());
    EXPECT_NE(a.random.GetSeed(), quor::math::random::generator::SRandomMarsaglia::DefaultSeed);

    // Drawing from one leaves the other's sequence alone.
    quor::math::random::generator::SRandomMarsaglia replay;
    replay.Seed(b.random.GetSeed());
    for (int i = 0; i < 5; ++i) a.random.Integer();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(b.random.Integer(), replay.Integer());

    a.NextIdentifier();
    a.NextIdentifier();
    EXPECT_EQ(a.identifier, 2u);
    EXPECT_EQ(b.identifier, 0u);
    EXPECT_EQ(a.TakeIdentifier(), 2u);
    EXPECT_EQ(a.identifier, 0u);
    EXPECT_EQ(a.NextIdentifier(), 1u);
}

TEST(Globals, IdentifiersAreUniqueAcrossThreads)
{
    SGlobals g;
    const int threads = 4, each = 2000;
    std::vector<std::vector<uint32_t>> got(threads);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int i = 0; i < each; ++i) got[static_cast<size_t>(t)].push_back(g.NextIdentifier());
        });
    for (auto& t : pool) t.join();
    std::set<uint32_t> all;
    for (auto& v : got) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(threads * each));
    EXPECT_EQ(*all.rbegin(), static_cast<uint32_t>(threads * each));
}

// Drawing threads look up background pens and brushes at the same time: each
// colour still gets exactly one of each.
TEST(SharedLists, ConcurrentLookupsMakeOneObjectPerColour)
{
    const int threads = 4, colours = 50, base = 0x7A0000;
    int pens = statdata.PenCount(), brushes = statdata.BrushCount();
    std::vector<std::vector<void*>> seen(threads, std::vector<void*>(colours * 2));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (int i = 0; i < colours; ++i) {
                    int c = base + (i * 7 + t * 13 + round) % colours;
                    seen[static_cast<size_t>(t)][static_cast<size_t>(c - base)] = statdata.FindBrush(c);
                    seen[static_cast<size_t>(t)][static_cast<size_t>(colours + c - base)] = statdata.FindPen(c);
                }
        });
    for (auto& t : pool) t.join();
    EXPECT_EQ(statdata.BrushCount(), brushes + colours);
    EXPECT_EQ(statdata.PenCount(), pens + colours);
    for (int t = 1; t < threads; ++t) EXPECT_EQ(seen[static_cast<size_t>(t)], seen[0]);
    for (int i = 0; i < colours; ++i) {
        EXPECT_EQ(statdata.FindBrush(base + i)->colour, base + i);
        EXPECT_EQ(statdata.FindPen(base + i)->colour, base + i);
    }
}

}  // namespace
