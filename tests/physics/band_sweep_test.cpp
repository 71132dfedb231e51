// The iterative step's broad phase against every pair tested: the same pairs, each once,
// for layers, piles, towers, boxes spanning many bands, far-off stragglers and boxes
// that touch exactly on a band's edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "physics/band_sweep.h"

namespace {

using kve::physics::BandSweep;
using kve::physics::BoxPair;
using kve::physics::SweepBox;
using kve::physics::Vec3;

std::set<std::pair<uint32_t, uint32_t>> everyPairTested(const std::vector<SweepBox>& boxes)
{
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    for (uint32_t i = 0; i < boxes.size(); ++i)
        for (uint32_t j = i + 1; j < boxes.size(); ++j) {
            const SweepBox &a = boxes[i], &b = boxes[j];
            if ((a.fixed && b.fixed) || (!a.active && !b.active))
                continue;
            if (a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y && a.lo.z <= b.hi.z &&
                b.lo.z <= a.hi.z)
                pairs.insert({i, j});
        }
    return pairs;
}

// One sweep for the whole test, as the step keeps one: each call reuses the last order.
void expectSamePairs(const std::vector<SweepBox>& boxes)
{
    static BandSweep sweep;
    std::vector<BoxPair> found;
    sweep.findPairs(boxes, found);
    std::set<std::pair<uint32_t, uint32_t>> once;
    for (const BoxPair& pair : found) {
        EXPECT_LT(pair.first, pair.second);
        EXPECT_TRUE(once.insert({pair.first, pair.second}).second)
            << "reported twice: " << pair.first << ", " << pair.second;
    }
    EXPECT_EQ(once, everyPairTested(boxes));
}

SweepBox cube(Vec3 centre, float half, bool fixed = false, bool active = true)
{
    const Vec3 h{half, half, half};
    return {centre - h, centre + h, fixed, active};
}

TEST(BandSweep, FindsEveryMeetingPairOnceWhateverTheLayout)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    // A resting layer of touching balls on a ground wider than all of them, a few fallen
    // far below (they once made the fall axis the sweep axis).
    std::vector<SweepBox> layer{{{-60, -1, -60}, {60, 0, 60}, true, false}};
    for (int x = 0; x < 30; ++x)
        for (int z = 0; z < 40; ++z)
            layer.push_back(cube({-30.0f + 2.0f * x, 0.5f, -20.0f + 1.0f * z}, 0.51f));
    for (int i = 0; i < 5; ++i)
        layer.push_back(cube({unit(random) * 20, -3000.0f * (i + 1), 0}, 0.5f));
    expectSamePairs(layer);

    // A random pile: sizes from 0.1 to 3, some fixed, some inactive.
    std::vector<SweepBox> pile;
    for (int i = 0; i < 600; ++i) {
        SweepBox box = cube({unit(random) * 30, unit(random) * 5, unit(random) * 30}, 0.05f + 1.5f * unit(random),
                            unit(random) < 0.1f, unit(random) < 0.7f);
        box.hi.x += 4.0f * unit(random) * unit(random); // a few long planks
        pile.push_back(box);
    }
    expectSamePairs(pile);
    // The same pile a step later, every box moved a little, a few much farther.
    for (int step = 0; step < 3; ++step) {
        for (SweepBox& box : pile) {
            const float far = unit(random) < 0.02f ? 20.0f : 0.3f;
            const Vec3 by{far * (unit(random) - 0.5f), 0.1f * (unit(random) - 0.5f), far * (unit(random) - 0.5f)};
            box.lo = box.lo + by;
            box.hi = box.hi + by;
        }
        expectSamePairs(pile);
    }

    // A tower (one column: every band axis is degenerate) and long boxes spanning every
    // band of a row of small ones, among them boxes whose faces lie on a band's edge.
    std::vector<SweepBox> tower;
    for (int i = 0; i < 50; ++i)
        tower.push_back(cube({0, 0.5f + i, 0}, 0.5f));
    expectSamePairs(tower);
    std::vector<SweepBox> row;
    for (int i = 0; i < 400; ++i)
        row.push_back(cube({0.5f * (i % 20), 0, 1.0f * (i / 20)}, 0.25f));
    for (int i = 0; i < 3; ++i)
        row.push_back({{-1, -1, -1 + 7.0f * i}, {11, 1, -1 + 7.0f * i + 0.5f}, false, true});
    expectSamePairs(row);
}

TEST(BandSweep, NothingActiveOrFewerThanTwoBoxesGivesNoPairs)
{
    BandSweep sweep;
    std::vector<BoxPair> found{{0, 1}};
    sweep.findPairs({cube({0, 0, 0}, 1), cube({0.5f, 0, 0}, 1, false, false)}, found);
    EXPECT_EQ(found.size(), 1u);
    sweep.findPairs({cube({0, 0, 0}, 1, false, false), cube({0.5f, 0, 0}, 1, false, false)}, found);
    EXPECT_TRUE(found.empty());
    sweep.findPairs({cube({0, 0, 0}, 1)}, found);
    EXPECT_TRUE(found.empty());
    sweep.findPairs({cube({0, 0, 0}, 1, true), cube({0.5f, 0, 0}, 1, true)}, found);
    EXPECT_TRUE(found.empty());
}

} // namespace
