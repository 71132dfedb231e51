#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "render/text.h"

namespace {

using kve::render::Glyph;
using kve::render::QuadVertex;

// A font made by hand: 'A' advances 10, 'B' 8, ' ' 5, 'W' 40 (wider than a line); the
// line metrics glyph gives a line height of 16; 'A' followed by 'B' kerns by -2.
KVE_FONT handFont()
{
    KVE_FONT font;
    font.glyphs = std::make_shared<kve::render::GlyphSet>();
    kve::render::FontFile file;
    file.glyphs = {Glyph{'A', 1, 2, 10, 12, 0, 0, 8, 10}, Glyph{'B', 0, 2, 8, 12, 8, 0, 7, 10},
                   Glyph{' ', 0, 0, 5, 12, 0, 0, 0, 0}, Glyph{'W', 0, 2, 40, 12, 16, 0, 38, 10},
                   Glyph{kve::render::kLineMetricsCode, 0, 0, 0, 16, 0, 0, 0, 0}};
    file.kerning = {{'A', 'B', -2}};
    kve::render::fillGlyphSet(*font.glyphs, file);
    font.glyphs->atlasWidth = 64;
    font.glyphs->atlasHeight = 32;
    return font;
}

struct Captured {
    std::vector<int> batches;         // glyphs per sink call
    std::vector<QuadVertex> vertices; // all quads in order
};

Captured layout(const KVE_FONT& font, const std::string& text, float size = 1.0f, float angle = 0.0f, float x = 100,
                float y = 50)
{
    Captured out;
    kve::render::layoutText(font, x, y, text, size, angle, [&](const QuadVertex* v, int glyphs) {
        out.batches.push_back(glyphs);
        out.vertices.insert(out.vertices.end(), v, v + glyphs * 4);
    });
    return out;
}

TEST(LineMeasure, LinesEndAtLineFeedsAndWrapAtTheLastSpace)
{
    KVE_FONT font = handFont();
    auto line = kve::render::measureLine(font, "AB A\nB", 1.0f);
    EXPECT_EQ(line.consumed, 5u);
    EXPECT_EQ(line.width, 10 - 2 + 8 + 5 + 10);
    EXPECT_EQ(kve::render::measureLine(font, "AB", 2.0f).width, 32.0f);
    font.settings.kerning = false;
    EXPECT_EQ(kve::render::measureLine(font, "AB", 1.0f).width, 18.0f);
    font.settings.spacing = 1;
    EXPECT_EQ(kve::render::measureLine(font, "AB", 1.0f).width, 20.0f);
    font.settings = {};

    font.settings.lineWidth = 30;
    line = kve::render::measureLine(font, "AA AA", 1.0f); // 10, 20, 25, 35 > 30
    EXPECT_EQ(line.consumed, 3u);                         // up to and with the space
    EXPECT_EQ(line.width, 25.0f);
    line = kve::render::measureLine(font, "AAAA", 1.0f); // 40 > 30 at the fourth byte
    EXPECT_EQ(line.consumed, 3u);
    EXPECT_EQ(line.width, 30.0f);
    line = kve::render::measureLine(font, "WA", 1.0f); // a lone glyph wider than the line
    EXPECT_EQ(line.consumed, 1u);
    const auto extent = kve::render::measureText(font, "WWW", 1.0f);
    EXPECT_EQ(extent.lines, 3);
    EXPECT_EQ(extent.height, 48.0f);
    EXPECT_EQ(kve::render::lineHeight(font, 1.5f), 24.0f);
}

TEST(TextLayout, UprightGlyphQuadsFollowThePenWithKerningAndLines)
{
    const KVE_FONT font = handFont();
    const Captured out = layout(font, "AB\nA?");
    ASSERT_EQ(out.batches, (std::vector<int>{2, 1})); // '?' has no glyph and is skipped
    const QuadVertex* a = &out.vertices[0];
    EXPECT_EQ(a[0].x, 101.0f); // pen + x offset
    EXPECT_EQ(a[0].y, 52.0f);  // line top + y offset
    EXPECT_EQ(a[1].x, 109.0f);
    EXPECT_EQ(a[2].x, 109.0f);
    EXPECT_EQ(a[2].y, 62.0f);
    EXPECT_EQ(a[3].x, 101.0f);
    EXPECT_FLOAT_EQ(a[2].u, 8.0f / 64);
    EXPECT_FLOAT_EQ(a[2].v, 10.0f / 32);
    const QuadVertex* b = &out.vertices[4];
    EXPECT_EQ(b[0].x, 108.0f); // 100 + 10 - 2 kerning
    EXPECT_FLOAT_EQ(b[0].u, 8.0f / 64);
    const QuadVertex* second = &out.vertices[8];
    EXPECT_EQ(second[0].x, 101.0f);
    EXPECT_EQ(second[0].y, 68.0f); // one line height further down
}

TEST(TextLayout, LongLinesAreCutIntoBatchesOf256WithoutGaps)
{
    const KVE_FONT font = handFont();
    const Captured out = layout(font, std::string(600, 'A'), 0.5f);
    EXPECT_EQ(out.batches, (std::vector<int>{256, 256, 88}));
    ASSERT_EQ(out.vertices.size(), 600u * 4);
    for (size_t i = 1; i < 600; ++i)
        ASSERT_FLOAT_EQ(out.vertices[i * 4].x - out.vertices[(i - 1) * 4].x, 5.0f) << i;
}

TEST(TextLayout, SlantMovesBottomsLeftByHeightTimesTangent)
{
    const KVE_FONT font = handFont();
    const float size = 2.0f;
    const Captured upright = layout(font, "A", size, 0.0f);
    const Captured slanted = layout(font, "A", size, 30.0f);
    const float shear = std::tan(30.0f * 3.14159265f / 180.0f);
    const QuadVertex* u = upright.vertices.data();
    const QuadVertex* s = slanted.vertices.data();
    EXPECT_EQ(u[3].x, u[0].x);
    EXPECT_NEAR(s[0].x - s[3].x, 10 * shear * size, 1e-4); // bottom-left is height * tan left of top-left
    EXPECT_NEAR(s[1].x - s[2].x, 10 * shear * size, 1e-4);
    EXPECT_EQ(s[0].y, u[0].y);
    EXPECT_EQ(s[2].y, u[2].y);
    // The slant pivots about the baseline: the top moves right by its height above it.
    EXPECT_NEAR(s[0].x - u[0].x, (12 - 2) * shear * size, 1e-4);
}

TEST(TextLayout, AlignmentCentresEachLineAndTheBlock)
{
    KVE_FONT font = handFont();
    font.settings.alignX = 0.5f;
    font.settings.alignY = 0.5f;
    const Captured out = layout(font, "AA\nA", 1.0f, 0.0f, 200, 100);
    ASSERT_EQ(out.vertices.size(), 12u);
    EXPECT_EQ(out.vertices[0].x, 200 - 10 + 1);    // line width 20 centred
    EXPECT_EQ(out.vertices[8].x, 200 - 5 + 1);     // line width 10 centred
    EXPECT_EQ(out.vertices[0].y, 100 - 16 + 2);    // two lines of 16 centred
    EXPECT_TRUE(layout(font, "", 1.0f).vertices.empty());
}

} // namespace
