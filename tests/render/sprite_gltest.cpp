#include <gtest/gtest.h>

#include "core/engine.h"
#include "gpu/image_samples.h"
#include "gpu/texture.h"
#include "kve.h"
#include "render/screen_pixels.h"
#include "render/sprite.h"

namespace {

using kve::test::clearScreen;
using kve::test::Screen;

// An 8 x 8 opaque texture: top half red, bottom half blue (or all red).
int twoToneTexture(bool split)
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool red = !split || y < 4;
            rgb.insert(rgb.end(), {static_cast<uint8_t>(red ? 255 : 0), 0, static_cast<uint8_t>(red ? 0 : 255)});
        }
    const std::string png = kve::test::pngOf(8, 8, 3, rgb);
    return KVE_CatchTexture(-1, png.data(), static_cast<int>(png.size()), 0x2600, "")->number;
}

class SpriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        texture_ = twoToneTexture(true);
        material_ = KVE_CreateMaterial(-1, texture_, KVE_SHADER_TEXTURED_SPRITE, "")->number;
        clearScreen();
    }
    void TearDown() override
    {
        for (int sprite : sprites_)
            KVE_ReleaseSprite(sprite);
        KVE_ReleaseMaterial(material_);
        KVE_ReleaseTexture(texture_);
    }
    int sprite(int topLeft, int flip)
    {
        const int number = KVE_GetSpriteNumber(KVE_CreateSprite(-1, material_, topLeft, flip));
        sprites_.push_back(number);
        return number;
    }
    static bool red(const Screen& s, int x, int y) { return s.at(x, y, 0) > 200 && s.at(x, y, 2) < 50; }
    static bool blue(const Screen& s, int x, int y) { return s.at(x, y, 2) > 200 && s.at(x, y, 0) < 50; }
    static bool dark(const Screen& s, int x, int y) { return !s.lit(x, y, 30); }

    int texture_ = -1, material_ = -1;
    std::vector<int> sprites_;
};

TEST_F(SpriteTest, CentredAndTopLeftSpritesCoverTheirTextureSizeUpright)
{
    const int centred = sprite(0, 0);
    const int corner = sprite(1, 0);
    ASSERT_EQ(KVE_DrawSprite(centred, 100, 100), 1);
    ASSERT_EQ(KVE_DrawSprite(corner, 300, 100), 1);
    const Screen s;
    // Centred: x and y 96..103, red on top, blue below.
    EXPECT_TRUE(red(s, 96, 96));
    EXPECT_TRUE(red(s, 103, 99));
    EXPECT_TRUE(blue(s, 100, 100));
    EXPECT_TRUE(blue(s, 103, 103));
    EXPECT_TRUE(dark(s, 95, 100));
    EXPECT_TRUE(dark(s, 104, 100));
    EXPECT_TRUE(dark(s, 100, 104));
    // Top-left origin: 300..307 x 100..107.
    EXPECT_TRUE(red(s, 300, 100));
    EXPECT_TRUE(blue(s, 307, 107));
    EXPECT_TRUE(dark(s, 299, 100));
    EXPECT_TRUE(dark(s, 308, 107));
}

TEST_F(SpriteTest, SizeRotationFlipAndTextureRectangle)
{
    const int wide = sprite(1, 0);
    KVE_SetSpriteSize(wide, 40, 10);
    const int turned = sprite(1, 0);
    KVE_SetSpriteSize(turned, 40, 10);
    KVE_RotateSprite(turned, 45, 0);
    KVE_RotateSprite(turned, 45, 1); // 90 degrees: the 40 pixels now run down the screen
    const int flipped = sprite(1, 1);
    const int cropped = sprite(1, 0);
    KVE_SetSpriteRect(cropped, 0, 0.5f, 1, 0.5f, 0); // the blue half only
    KVE_DrawSprite(wide, 100, 300);
    KVE_DrawSprite(turned, 300, 300);
    KVE_DrawSprite(flipped, 500, 300);
    KVE_DrawSprite(cropped, 700, 300);
    const Screen s;
    EXPECT_TRUE(red(s, 139, 301));
    EXPECT_TRUE(dark(s, 141, 301));
    EXPECT_TRUE(dark(s, 120, 311));
    // Turned clockwise about its top-left corner: x 290..299, y 300..339.
    EXPECT_EQ(s.countLit(290, 300, 300, 340), 400);
    EXPECT_TRUE(dark(s, 305, 305));
    EXPECT_TRUE(blue(s, 503, 300)); // flipped: blue on top
    EXPECT_TRUE(red(s, 503, 307));
    EXPECT_TRUE(blue(s, 703, 300)); // cropped to the lower half of the texture
    EXPECT_TRUE(blue(s, 703, 307));
}

TEST_F(SpriteTest, CornersMaterialColourAndMaskedSprites)
{
    const int quad = sprite(1, 0);
    // A 16 x 16 square given corner by corner relative to the position.
    KVE_SetSpriteCorners(quad, 0, 0, 0, 16, 16, 0, 16, 16);
    KVE_DrawSprite(quad, 100, 500);

    const int halfMaterial = KVE_CreateMaterial(-1, texture_, KVE_SHADER_TEXTURED_SPRITE, "")->number;
    KVE_SetMaterialColor(halfMaterial, static_cast<int>(0x80FFFFFF));
    const int half = KVE_GetSpriteNumber(KVE_CreateSprite(-1, halfMaterial, 1, 0));
    sprites_.push_back(half);
    KVE_DrawSprite(half, 300, 500);

    // Masked: the mask's red channel is 0 on the left half, 255 on the right.
    std::vector<uint8_t> maskPixels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            maskPixels.insert(maskPixels.end(), {static_cast<uint8_t>(x < 4 ? 0 : 255), 0, 0});
    const std::string maskPng = kve::test::pngOf(8, 8, 3, maskPixels);
    const int mask = KVE_CatchTexture(-1, maskPng.data(), static_cast<int>(maskPng.size()), 0x2600, "")->number;
    const int maskedMaterial = KVE_CreateMaterial(-1, texture_, KVE_SHADER_MASKED_SPRITE, "")->number;
    KVE_SetMaterialTexture(maskedMaterial, 1, mask);
    const int masked = KVE_GetSpriteNumber(KVE_CreateSprite(-1, maskedMaterial, 1, 0));
    sprites_.push_back(masked);
    KVE_DrawSprite(masked, 500, 500);

    // A material of a 3D program draws nothing as a sprite.
    const int meshMaterial = KVE_CreateMaterial(-1, texture_, KVE_SHADER_DEFAULT, "")->number;
    const int unsuitable = KVE_GetSpriteNumber(KVE_CreateSprite(-1, meshMaterial, 1, 0));
    sprites_.push_back(unsuitable);
    EXPECT_EQ(KVE_DrawSprite(unsuitable, 700, 500), 0);

    const Screen s;
    EXPECT_TRUE(red(s, 115, 500));
    EXPECT_TRUE(blue(s, 115, 515));
    EXPECT_TRUE(dark(s, 116, 500));
    EXPECT_NEAR(s.at(302, 502, 0), 128, 3); // half-transparent red over black
    EXPECT_TRUE(dark(s, 502, 502));         // masked away
    EXPECT_TRUE(red(s, 506, 502));
    EXPECT_TRUE(dark(s, 702, 502));
    for (int m : {halfMaterial, maskedMaterial, meshMaterial})
        KVE_ReleaseMaterial(m);
    KVE_ReleaseTexture(mask);
}

TEST(SpriteLogo, BadgeIsDrawnAtTheBottomRightWhenSwitchedOn)
{
    const auto& engine = kve::engine::state();
    ASSERT_GE(engine.logoSprite, 0);
    const KVE_SPRITE* logo = kve::render::findSprite(engine.logoSprite);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->width, 102.0f);
    EXPECT_EQ(logo->height, 102.0f);
    EXPECT_EQ(engine.logoSwitch, 0);

    clearScreen();
    kve::render::drawLogoBadge(); // switched off: nothing
    EXPECT_EQ(Screen().countLit(1490, 790, 1600, 900, 10), 0);
    KVE_ShowLogo(1);
    kve::render::drawLogoBadge();
    KVE_ShowLogo(0);
    const Screen s;
    // Centred on (1548, 848), 102 pixels across, blue at half opacity.
    EXPECT_GT(s.at(1548, 848, 2), s.at(1548, 848, 0));
    EXPECT_NEAR(s.at(1548, 848, 2), 128 * 0.6, 40);
    EXPECT_GT(s.countLit(1497, 797, 1599, 899, 10), 5000);
    EXPECT_EQ(s.countLit(1400, 700, 1490, 790, 10), 0);
}

} // namespace
