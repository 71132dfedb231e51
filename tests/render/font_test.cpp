#include <gtest/gtest.h>

#include "gpu/image_samples.h"
#include "render/font.h"
#include "render/font_samples.h"

namespace {

using kve::render::FontFile;
using kve::test::FontBytes;
using kve::test::parse;

std::string atlasPng(int width, int height)
{
    return kve::test::pngOf(width, height, 4, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 255));
}

TEST(FontFileReading, BakedDefaultFontHasAtlasGlyphsLineMetricsAndKerning)
{
    const std::string bytes = kve::test::bakedDefaultFont();
    ASSERT_FALSE(bytes.empty()) << "the build bakes generated/data/default_font.tf";
    const auto font = parse(bytes);
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->problem.empty()) << font->problem;
    ASSERT_TRUE(font->atlas);
    EXPECT_GE(font->glyphs.size(), 190u);
    kve::render::GlyphSet set;
    FontFile copy = *font;
    kve::render::fillGlyphSet(set, copy);
    const auto* a = set.glyph('A');
    const auto* space = set.glyph(' ');
    const auto* metrics = set.glyph(kve::render::kLineMetricsCode);
    const auto* eAcute = set.glyph(0xE9);
    ASSERT_TRUE(a && space && metrics && eAcute);
    EXPECT_GT(a->width, 5);
    EXPECT_GT(a->height, 8);
    EXPECT_GT(space->advance, 0);
    EXPECT_EQ(space->width, 0);
    EXPECT_GE(metrics->base, a->base); // line height covers the ascender
    EXPECT_GT(eAcute->height, set.glyph('e')->height);
    EXPECT_EQ(set.glyph(0x81), nullptr); // C1 control codes have no glyph
    for (const auto& g : set.glyphs) {
        EXPECT_LE(g.atlasX + g.width, set.atlasWidth);
        EXPECT_LE(g.atlasY + g.height, set.atlasHeight);
    }
    EXPECT_GT(set.kerning.size(), 10u);
    EXPECT_LT(set.kerning.find('A', 'V'), 0);
}

TEST(FontFileReading, MagicDecidesWhetherThereIsAFontAtAll)
{
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("TF|1.40|"));
    std::string wrong = FontBytes().bytes;
    wrong[1] = 'x';
    EXPECT_FALSE(parse(wrong));
    const auto empty = parse(FontBytes().bytes);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->glyphs.empty());
    EXPECT_TRUE(empty->problem.empty());
}

TEST(FontFileReading, DamagedChunksEndTheFontKeepingWhatCameBefore)
{
    const std::string atlas = atlasPng(32, 16);
    const auto glyphs = {std::initializer_list<int>{65, 0, 2, 9, 12, 0, 0, 8, 10},
                         std::initializer_list<int>{66, 0, 2, 8, 12, 8, 0, 7, 10}};

    // Checksum mismatch in the kerning chunk: atlas and glyphs stay, the kerning is lost,
    // and nothing after it is read.
    FontBytes broken;
    broken.chunk(1, atlas).glyphs(glyphs).chunk(3, FontBytes::u32(1) + FontBytes::i16s({65, 66, -2}), 0, true);
    broken.kerning({{65, 66, -3}});
    auto font = parse(broken.bytes);
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->atlas);
    EXPECT_EQ(font->glyphs.size(), 2u);
    EXPECT_TRUE(font->kerning.empty());
    EXPECT_NE(font->problem.find("checksum"), std::string::npos);

    // A size field that runs past the file.
    FontBytes lying;
    lying.chunk(1, atlas).glyphs(glyphs).chunk(3, FontBytes::u32(0), 1 << 30);
    font = parse(lying.bytes);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->glyphs.size(), 2u);
    EXPECT_NE(font->problem.find("past the file"), std::string::npos);

    // An absurd record count: the records present are read, then the font ends.
    FontBytes counted;
    counted.chunk(1, atlas).glyphs(glyphs, 0xFFFFFFFFu - 1).kerning({{65, 66, -2}});
    font = parse(counted.bytes);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->glyphs.size(), 2u);
    EXPECT_TRUE(font->kerning.empty());
    EXPECT_NE(font->problem.find("count"), std::string::npos);

    // A glyph rectangle outside the atlas (and a negative one) ends the font before it.
    for (const auto& bad : {std::initializer_list<int>{67, 0, 0, 5, 12, 30, 0, 8, 10},
                            std::initializer_list<int>{67, 0, 0, 5, 12, 0, -1, 8, 10},
                            std::initializer_list<int>{67, 0, 0, 5, 12, 0, 0, -4, 10}}) {
        FontBytes outside;
        outside.chunk(1, atlas).glyphs({{65, 0, 2, 9, 12, 0, 0, 8, 10}, bad, {68, 0, 2, 9, 12, 0, 0, 8, 10}});
        font = parse(outside.bytes);
        ASSERT_TRUE(font);
        ASSERT_EQ(font->glyphs.size(), 1u);
        EXPECT_EQ(font->glyphs[0].code, 65);
        EXPECT_FALSE(font->problem.empty());
    }

    // Glyphs read before their atlas are checked once it arrives.
    FontBytes late;
    late.glyphs({{65, 0, 2, 9, 12, 0, 0, 8, 10}, {66, 0, 2, 9, 12, 30, 0, 8, 10}}).chunk(1, atlas);
    font = parse(late.bytes);
    ASSERT_TRUE(font);
    ASSERT_EQ(font->glyphs.size(), 1u);
    EXPECT_NE(font->problem.find("outside the atlas"), std::string::npos);

    // An undecodable atlas, and a chunk too short to hold its type.
    FontBytes badAtlas;
    badAtlas.glyphs(glyphs).chunk(1, atlas.substr(0, 40)).kerning({{65, 66, -2}});
    font = parse(badAtlas.bytes);
    ASSERT_TRUE(font);
    EXPECT_FALSE(font->atlas);
    EXPECT_EQ(font->glyphs.size(), 2u);
    EXPECT_TRUE(font->kerning.empty());
    FontBytes tiny;
    tiny.bytes += FontBytes::u32(2) + FontBytes::u32(0) + "ab";
    font = parse(tiny.bytes);
    ASSERT_TRUE(font);
    EXPECT_FALSE(font->problem.empty());
}

TEST(FontFileReading, EveryTruncationOfTheBakedFontParsesSafely)
{
    const std::string bytes = kve::test::bakedDefaultFont();
    ASSERT_FALSE(bytes.empty());
    size_t previousGlyphs = 0;
    for (size_t length = 0; length <= bytes.size(); length += length < 64 ? 1 : 97) {
        const auto font = parse(bytes.substr(0, length));
        if (length < 8) {
            EXPECT_FALSE(font);
            continue;
        }
        ASSERT_TRUE(font);
        EXPECT_GE(font->glyphs.size(), previousGlyphs); // more bytes never give fewer glyphs
        previousGlyphs = font->glyphs.size();
    }
    EXPECT_TRUE(parse(bytes)->problem.empty());
}

TEST(FontFileReading, CodesAbove255AreSkippedForGlyphsAndWrappedForKerning)
{
    FontBytes bytes;
    bytes.chunk(1, atlasPng(16, 16))
        .glyphs({{65, 0, 0, 5, 10, 0, 0, 4, 4}, {256 + 66, 0, 0, 5, 10, 0, 0, 4, 4}, {255, 0, 0, 5, 10, 4, 4, 4, 4}})
        .kerning({{0x141, 0x56, -3}, {-191, 0x257, 2}, {65, 66, 1}});
    auto font = parse(bytes.bytes);
    ASSERT_TRUE(font);
    ASSERT_EQ(font->glyphs.size(), 2u);
    EXPECT_EQ(font->glyphs[1].code, 255);
    kve::render::GlyphSet set;
    kve::render::fillGlyphSet(set, *font);
    EXPECT_EQ(set.glyph('B'), nullptr);
    EXPECT_EQ(set.kerning.find(0x41, 0x56), -3);
    EXPECT_EQ(set.kerning.find(0x41, 0x57), 2); // -191 is 0xFF41
    EXPECT_EQ(set.kerning.find(65, 66), 1);
}

TEST(KerningTable, PairsInOneBucketStayApartAndLaterValuesReplaceEarlierOnes)
{
    kve::render::KerningTable table;
    // Keys (0 << 16 | 5) and (0 << 16 | 706) share bucket 5.
    table.set(0, 5, -1);
    table.set(0, 706 & 0xFFFF, -7);
    table.set(0, 5, -2);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.find(0, 5), -2);
    EXPECT_EQ(table.find(0, 706), -7);
    EXPECT_EQ(table.find(5, 0), 0);
}

} // namespace
