#include <gtest/gtest.h>

#include <cmath>

#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "render/font_samples.h"
#include "render/screen_pixels.h"
#include "render/text.h"

namespace {

using kve::test::clearScreen;
using kve::test::countOccurrences;
using kve::test::readLog;
using kve::test::Screen;

int defaultFont()
{
    return KVE_GetDefaultFont(KVE_FONT_DEFAULT);
}

const kve::render::Glyph& glyph(int font, unsigned char code)
{
    return *kve::render::findFont(font)->glyphs->glyph(code);
}

// Mean x of the lit pixels of row y within [x0, x1); -1 when none is lit.
double litCentre(const Screen& s, int y, int x0, int x1)
{
    double sum = 0;
    int count = 0;
    for (int x = x0; x < x1; ++x)
        if (s.lit(x, y)) {
            sum += x;
            ++count;
        }
    return count ? sum / count : -1;
}

TEST(TextDrawing, DefaultFontAndItsVariantsExist)
{
    const int font = defaultFont();
    ASSERT_GE(font, 0);
    const KVE_FONT* record = kve::render::findFont(font);
    ASSERT_TRUE(record && record->glyphs);
    EXPECT_GE(record->glyphs->texture, 0);
    EXPECT_NE(kve::gpu::findMaterial(record->glyphs->material), nullptr);
    const KVE_FONT* large = kve::render::findFont(KVE_GetDefaultFont(KVE_FONT_LARGE));
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->settings.size, 2.0f);
    EXPECT_EQ(large->glyphs, record->glyphs); // copies share the glyph set
    EXPECT_EQ(kve::render::findFont(KVE_GetDefaultFont(KVE_FONT_SLANTED))->settings.angle, 12.0f);
    EXPECT_EQ(kve::render::findFont(KVE_GetDefaultFont(KVE_FONT_CENTRED))->settings.alignX, 0.5f);
    EXPECT_EQ(KVE_GetDefaultFont(KVE_FONT_VARIANTS), -1);
}

TEST(TextDrawing, TextStaysInsideItsMeasuredBoxInTheGivenColour)
{
    const int font = defaultFont();
    float width = 0, height = 0;
    ASSERT_EQ(KVE_MeasureText(font, "Hello, World", KVE_DEFAULT_FLOAT, &width, &height), 1);
    EXPECT_GT(width, 60);
    EXPECT_EQ(height, static_cast<float>(glyph(font, 128).base));
    clearScreen();
    ASSERT_EQ(KVE_DrawText(font, 20, 25, "Hello, World", static_cast<int>(0xFF0000FF), KVE_DEFAULT_FLOAT,
                           KVE_DEFAULT_FLOAT),
              1);
    const Screen s;
    const int inside = s.countLit(20, 25, 20 + static_cast<int>(width) + 1, 25 + static_cast<int>(height));
    EXPECT_GT(inside, 100);
    EXPECT_EQ(s.countLit(0, 0, 400, 200), inside);
    for (int y = 25; y < 25 + height; ++y)
        for (int x = 20; x < 20 + width; ++x)
            if (s.lit(x, y)) {
                ASSERT_LT(s.at(x, y, 1) + s.at(x, y, 2), 20) << "red text only";
            }
    EXPECT_EQ(KVE_DrawText(font, 20, 25, "", -1, 1, 0), 0);
    EXPECT_EQ(KVE_DrawText(9999, 20, 25, "x", -1, 1, 0), 0);
}

TEST(TextDrawing, LinesLongerThanOneBatchHaveNoGaps)
{
    const int font = defaultFont();
    const auto& m = glyph(font, 'M');
    const std::string text(300, 'M');
    clearScreen();
    KVE_DrawText(font, 0, 100, text.c_str(), -1, 0.4f, 0);
    const Screen s;
    const float advance = static_cast<float>(m.advance) * 0.4f;
    ASSERT_LT(advance * 300, 1600);
    for (int i = 0; i < 300; ++i) {
        const int x0 = static_cast<int>(std::floor(i * advance)), x1 = static_cast<int>(std::floor((i + 1) * advance));
        ASSERT_GT(s.countLit(x0, 100, x1, 100 + 20, 40), 3) << "glyph " << i << " missing";
    }
}

TEST(TextDrawing, SlantMovesTheBottomsLeft)
{
    const int font = defaultFont();
    const auto& bar = glyph(font, 'I');
    const float size = 4.0f;
    const int top = 200 + static_cast<int>(bar.yOffset * size) + 2;
    const int bottom = 200 + static_cast<int>((bar.yOffset + bar.height) * size) - 3;
    clearScreen();
    KVE_DrawText(font, 100, 200, "I", -1, size, 0);
    KVE_DrawText(font, 400, 200, "I", -1, size, 20);
    const Screen s;
    const double uprightTop = litCentre(s, top, 80, 300), uprightBottom = litCentre(s, bottom, 80, 300);
    const double slantTop = litCentre(s, top, 380, 600), slantBottom = litCentre(s, bottom, 380, 600);
    ASSERT_GT(uprightTop, 0);
    ASSERT_GT(slantTop, 0);
    EXPECT_NEAR(uprightTop, uprightBottom, 1.0);
    EXPECT_NEAR(slantTop - slantBottom, (bottom - top) * std::tan(20 * 3.14159265 / 180), 3.0);
}

TEST(FontLoading, FilesLoadDamagedOnesKeepTheirStartAndOthersFail)
{
    kve::test::TempDir dir("fonts");
    const std::string baked = kve::test::bakedDefaultFont();
    ASSERT_FALSE(baked.empty());
    kve::test::writeFile(dir / "Good.tf", baked);
    std::string damaged = baked;
    damaged[damaged.size() - 20] ^= 0x55; // inside the kerning chunk, the last before the end
    kve::test::writeFile(dir / "Damaged.tf", damaged);
    kve::test::writeFile(dir / "Image.tf", std::string("\x89PNG\r\n\x1a\n") + std::string(40, 'x'));

    std::string mark = readLog();
    const std::string good = (dir / "Good.tf").string();
    KVE_FONT* font = KVE_LoadFont(18, good.c_str());
    ASSERT_NE(font, nullptr);
    std::string added = readLog().substr(mark.size());
    EXPECT_NE(added.find("Load Font: " + good), std::string::npos);
    EXPECT_NE(added.find(">OK<"), std::string::npos);
    EXPECT_GT(kve::render::findFont(18)->glyphs->kerning.size(), 0u);

    mark = readLog();
    ASSERT_NE(KVE_LoadFont(19, (dir / "Damaged.tf").string().c_str()), nullptr);
    added = readLog().substr(mark.size());
    // It loads: an orange warning naming the file and the damage, no red entry.
    EXPECT_EQ(countOccurrences(added, "color:#FF8000;'>Warning: " + (dir / "Damaged.tf").string() + ": "), 1)
        << added;
    EXPECT_NE(added.find(", read up to the damage</i>"), std::string::npos) << added;
    EXPECT_EQ(added.find("#FF0000"), std::string::npos) << added;
    const KVE_FONT* partial = kve::render::findFont(19);
    EXPECT_EQ(partial->glyphs->glyphs.size(), kve::render::findFont(18)->glyphs->glyphs.size());
    EXPECT_EQ(partial->glyphs->kerning.size(), 0u);
    clearScreen();
    KVE_DrawText(19, 10, 10, "Still drawn", -1, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
    EXPECT_GT(Screen().countLit(0, 0, 300, 60), 50);

    for (const std::string name : {"Image.tf", "Missing.tf"}) {
        mark = readLog();
        EXPECT_EQ(KVE_LoadFont(20, (dir / name).string().c_str()), nullptr);
        added = readLog().substr(mark.size());
        EXPECT_TRUE(added.find("Fail: Not a font file!") != std::string::npos ||
                    added.find("Fail: Font file not found!") != std::string::npos)
            << added;
    }
    EXPECT_EQ(kve::render::findFont(20), nullptr);

    // The glyph set, its atlas texture and material go with the last font using it.
    const int atlas = kve::render::findFont(18)->glyphs->texture;
    const int material = kve::render::findFont(18)->glyphs->material;
    ASSERT_NE(KVE_CopyFont(18, 21), nullptr);
    KVE_ReleaseFont(18);
    EXPECT_NE(KVE_GetTexture(atlas), nullptr);
    EXPECT_EQ(KVE_DrawText(21, 10, 10, "copy", -1, 1, 0), 1);
    KVE_ReleaseFont(21);
    EXPECT_EQ(KVE_GetTexture(atlas), nullptr);
    EXPECT_EQ(KVE_GetMaterial(material), nullptr);
    KVE_ReleaseFont(19);
}

} // namespace
