// Which rectangles of a kept shadow map a changed set of casters makes stale.
#include <gtest/gtest.h>

#include <vector>

#include "render/shadow_casters.h"

namespace {

using kve::render::changedRects;
using kve::render::ShadowCaster;
using kve::render::ShadowRect;
using kve::render::ShadowSignature;

constexpr int kSize = 1000;

// A signature with a two-word header and one material; each caster is one word (its
// "matrix") with a given rectangle. Hashes only sort: equal words give equal hashes.
ShadowSignature signature(const std::vector<std::pair<uint32_t, ShadowRect>>& casters, uint32_t header = 7)
{
    ShadowSignature out;
    out.words = {header, header, 0xAA};
    out.header = 2;
    for (const auto& [word, rect] : casters) {
        const auto at = static_cast<uint32_t>(out.words.size());
        out.words.push_back(word);
        out.casters.push_back({2, 3, at, at + 1, word % 3, rect});
    }
    out.empty = casters.empty();
    return out;
}

TEST(ShadowRects, OnlyCastersFoundOnOneSideMarkPixelsInAnyOrder)
{
    const ShadowRect a{0, 0, 10, 10}, b{100, 100, 120, 130}, c{500, 500, 510, 510}, moved{105, 100, 125, 130};
    std::vector<ShadowRect> rects;

    // The same casters in another order: nothing to redraw.
    ASSERT_TRUE(changedRects(signature({{1, a}, {2, b}, {3, c}}), signature({{3, c}, {1, a}, {2, b}}), kSize, rects));
    EXPECT_TRUE(rects.empty());

    // One moved: its old and new places, merged as they overlap.
    ASSERT_TRUE(changedRects(signature({{1, a}, {2, b}, {3, c}}), signature({{1, a}, {4, moved}, {3, c}}), kSize, rects));
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].x0, 100);
    EXPECT_EQ(rects[0].x1, 125);
    EXPECT_EQ(rects[0].y1, 130);

    // One removed and one added far apart: two rectangles.
    ASSERT_TRUE(changedRects(signature({{1, a}, {2, b}}), signature({{2, b}, {3, c}}), kSize, rects));
    EXPECT_EQ(rects.size(), 2u);

    // A caster outside the map (empty rectangle) changes no pixel.
    ASSERT_TRUE(changedRects(signature({{1, a}, {2, {}}}), signature({{1, a}, {5, {}}}), kSize, rects));
    EXPECT_TRUE(rects.empty());
}

TEST(ShadowRects, WholeMapWhenTheViewChangesOrTheChangesAreLarge)
{
    const ShadowRect a{0, 0, 10, 10}, big{0, 0, 950, 950};
    std::vector<ShadowRect> rects;
    EXPECT_FALSE(changedRects(signature({{1, a}}), signature({{1, a}}, 8), kSize, rects));     // light moved
    EXPECT_FALSE(changedRects(signature({}), signature({{1, a}}), kSize, rects));             // was only cleared
    EXPECT_FALSE(changedRects(signature({{1, a}}), signature({}), kSize, rects));             // now only cleared
    EXPECT_FALSE(changedRects(signature({{1, a}}), signature({{2, big}}), kSize, rects));     // most of the map

    // A different trailer (texture uploads) after the last caster.
    ShadowSignature textured = signature({{1, a}});
    textured.words.push_back(5);
    EXPECT_FALSE(changedRects(signature({{1, a}}), textured, kSize, rects));
}

TEST(ShadowRects, ManyChangesMergeIntoAFewRectanglesCoveringThemAll)
{
    std::vector<std::pair<uint32_t, ShadowRect>> before, after;
    for (uint32_t i = 0; i < 40; ++i) {
        const int x = static_cast<int>(i % 8) * 100, y = static_cast<int>(i / 8) * 100;
        before.push_back({i, {x, y, x + 20, y + 20}});
        after.push_back({100 + i, {x + 5, y, x + 25, y + 20}});
    }
    std::vector<ShadowRect> rects;
    ASSERT_TRUE(changedRects(signature(before), signature(after), kSize, rects));
    EXPECT_LE(rects.size(), 32u);
    for (const auto& changes : {before, after})
        for (const auto& [word, rect] : changes) {
            bool covered = false;
            for (const ShadowRect& r : rects)
                covered = covered || (r.x0 <= rect.x0 && r.y0 <= rect.y0 && r.x1 >= rect.x1 && r.y1 >= rect.y1);
            EXPECT_TRUE(covered) << word;
        }
}

} // namespace
