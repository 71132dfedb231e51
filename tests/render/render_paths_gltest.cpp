// Every render path drawing a small scene, judged by what a person would look for: the
// directional light and its shadow, water, refraction, billboards in their three modes,
// baked static shadows, parallax, grass in the wind and texture-array materials.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/render_scene.h"
#include "scene/billboard.h"
#include "support/engine_environment.h"

namespace {

using kve::test::groundMesh;
using kve::test::Pixels;
using kve::test::solidTexture;

constexpr int kW = kve::test::kScreenWidth, kH = kve::test::kScreenHeight;
// Seen from 10 units straight above, a world unit on the ground is this many pixels
// (half the screen's height over 10 tan 22.5 degrees); world x goes right, z down.
constexpr double kPixelsPerUnit = 450.0 / (10.0 * 0.41421356);
int screenX(double x) { return static_cast<int>(std::lround(kW / 2 + x * kPixelsPerUnit)); }
int screenY(double z) { return static_cast<int>(std::lround(kH / 2 + z * kPixelsPerUnit)); }

// A 16 x 16 black-and-white checker, nearest filtering, so that any shift of the
// picture moves its edges.
int checkerTexture()
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t v = (x + y) % 2 ? 255 : 0;
            pixels.insert(pixels.end(), {v, v, v});
        }
    const std::string png = kve::test::pngOf(16, 16, 3, pixels);
    return KVE_CatchTexture(-1, png.data(), static_cast<int>(png.size()), GL_NEAREST, "")->number;
}

// Pixels whose colour differs by more than `tolerance` in some channel.
int differing(const Pixels& a, const Pixels& b, int x0, int y0, int x1, int y1, int tolerance = 24)
{
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(a.at(x, y, c) - b.at(x, y, c)) > tolerance) {
                    ++count;
                    break;
                }
    return count;
}

// Ground of half size 5 (grey-white, flat normals) under a camera 10 units up looking
// down, a dim ambient term, no other light, no glow. Everything made is released after.
class RenderPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        white_ = texture(solidTexture(255, 255, 255));
        flatNormal_ = texture(solidTexture(128, 128, 255));
        ground_ = mesh(groundMesh(5.0f, false));
        KVE_MoveCamera(0, 0.0f, 10.0f, 0.0f, 0);
        KVE_RotateCamera(0, -90.0f, 0.0f, 0.0f, 0);
        KVE_SetBackgroundColor(static_cast<int>(0xFF000000));
        KVE_SetDirectLightEnabled(0);
        KVE_SetAmbientColor(static_cast<int>(0xFF202020));
        KVE_SetGlow(0);
    }
    void TearDown() override
    {
        for (int object : objects_)
            KVE_ReleaseObject(object);
        for (int material : materials_)
            KVE_ReleaseMaterial(material);
        for (int mesh : meshes_)
            KVE_ReleaseMesh(mesh);
        for (int texture : textures_)
            KVE_ReleaseTexture(texture);
        for (int light : lights_)
            KVE_FreeLight(light);
        KVE_SetShadows(0);
        KVE_SetGlow(1);
        KVE_SetDirectLightEnabled(0);
        KVE_SetDirectLightDirection(0.0f, -1.0f, 0.0f);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    }
    int texture(int number) { return textures_.push_back(number), number; }
    int mesh(int number) { return meshes_.push_back(number), number; }
    int material(int kind, int colorTexture, int color = static_cast<int>(0xFFFFFFFF))
    {
        const int number = KVE_CreateMaterial(-1, colorTexture, kind, "")->number;
        KVE_SetMaterialTexture(number, 1, flatNormal_);
        KVE_SetMaterialTexture(number, 2, white_);
        KVE_SetMaterialColor(number, color);
        materials_.push_back(number);
        return number;
    }
    int object(int mesh, int material, float x, float y, float z)
    {
        objects_.push_back(kve::test::placedObject(mesh, material, x, y, z));
        return objects_.back();
    }
    int ground(int colorTexture) { return object(ground_, material(KVE_SHADER_NORMAL_MAPPING, colorTexture), 0, 0, 0); }
    static Pixels frame()
    {
        KVE_RenderScene(-1);
        return Pixels(kW, kH);
    }

    int white_ = -1, flatNormal_ = -1, ground_ = -1;
    std::vector<int> objects_, materials_, meshes_, textures_, lights_;
};

TEST_F(RenderPath, DirectionalLightLightsTheGroundAndItsShadowMapDarkensWhereTheCasterBlocksIt)
{
    const int surface = material(KVE_SHADER_NORMAL_MAPPING, white_);
    KVE_SetMaterialShine(surface, 0.0f); // diffuse light alone
    object(ground_, surface, 0, 0, 0);
    const Pixels dark = frame();
    // Light from up and to the right (+x), at 45 degrees.
    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(1.0f, 1.0f, 0.0f);
    const Pixels lit = frame();
    EXPECT_NEAR(dark.at(kW / 2, kH / 2, 1), 0x20, 2);          // ambient alone
    EXPECT_NEAR(lit.at(kW / 2, kH / 2, 1), 0x20 + 180, 8);      // + cos 45 degrees of white
    // A ground turned away from the light gets only the ambient term.
    KVE_SetDirectLightDirection(0.0f, -1.0f, 0.0f);
    EXPECT_NEAR(frame().at(kW / 2, kH / 2, 1), 0x20, 2);
    KVE_SetDirectLightDirection(1.0f, 1.0f, 0.0f);

    // A 1 x 1 caster 2 units up throws its shadow 2 units toward -x.
    object(mesh(groundMesh(0.5f, false)), material(KVE_SHADER_NORMAL_MAPPING, white_), 0.0f, 2.0f, 0.0f);
    const Pixels unshadowed = frame();
    KVE_SetShadowCentre(0.0f, 0.0f, 0.0f);
    KVE_SetShadows(1);
    const Pixels shadowed = frame();
    const int shadowX = screenX(-2.0), litX = screenX(2.0), y = kH / 2;
    EXPECT_NEAR(unshadowed.at(shadowX, y, 1), unshadowed.at(litX, y, 1), 2);
    EXPECT_NEAR(shadowed.at(litX, y, 1), unshadowed.at(litX, y, 1), 2);
    // Fully shadowed ground keeps the ambient term and 4 % of the light.
    EXPECT_LT(shadowed.at(shadowX, y, 1), 0x20 + 20) << "no shadow where the caster blocks the light";
    // Outside the caster's shadow the ground is lit.
    EXPECT_GT(shadowed.at(screenX(-2.0), screenY(2.0), 1), 150);
}

TEST_F(RenderPath, WaterTintsWhatLiesBelowAndMovesWithItsOffset)
{
    ground(texture(checkerTexture()));
    KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
    const Pixels dry = frame();
    std::vector<uint8_t> ramp = kve::test::rampPixels(4, 4, 4);
    for (size_t i = 3; i < ramp.size(); i += 4)
        ramp[i] = 255;
    const std::string png = kve::test::pngOf(4, 4, 4, ramp);
    const int waves = texture(KVE_CatchTexture(-1, png.data(), static_cast<int>(png.size()), GL_LINEAR, "")->number);
    const int water = material(KVE_SHADER_WATER, waves, static_cast<int>(0xFFFF4000)); // blue-green
    KVE_SetMaterialTexture(water, 1, waves);
    KVE_SetMaterialParameter(water, 2, 0.5f); // fog depth
    KVE_SetMaterialShine(water, 0.0f);
    object(mesh(groundMesh(3.0f, false)), water, 0.0f, 0.5f, 0.0f);

    const Pixels still = frame();
    const int x0 = screenX(-2.5), x1 = screenX(2.5), y0 = screenY(-2.5), y1 = screenY(2.5);
    // Tinted: blue well above red where the ground was grey on average.
    EXPECT_NEAR(dry.mean(x0, y0, x1, y1, 0), dry.mean(x0, y0, x1, y1, 2), 3);
    EXPECT_GT(still.mean(x0, y0, x1, y1, 2), still.mean(x0, y0, x1, y1, 0) + 20);
    // Outside the water nothing changed.
    EXPECT_EQ(differing(dry, still, screenX(3.5), 0, screenX(4.5), kH), 0);
    // Moving: a new offset scrolls the waves, and the picture under them changes.
    KVE_SetMaterialParameter(water, 0, 0.3f);
    KVE_SetMaterialParameter(water, 1, 0.2f);
    const Pixels moved = frame();
    EXPECT_GT(differing(still, moved, x0, y0, x1, y1, 8), (x1 - x0) * (y1 - y0) / 50);
}

TEST_F(RenderPath, RefractionBendsTheImageBehindItOnlyInsideItsMask)
{
    ground(texture(checkerTexture()));
    KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
    const Pixels plain = frame();
    // A normal map leaning toward +x, and a mask white on the left half only.
    const int leaning = texture(solidTexture(230, 128, 128));
    std::vector<uint8_t> mask;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            mask.insert(mask.end(), 3, x < 2 ? 255 : 0);
    const std::string png = kve::test::pngOf(4, 4, 3, mask);
    const int maskTexture = texture(KVE_CatchTexture(-1, png.data(), static_cast<int>(png.size()), GL_NEAREST, "")->number);
    const int glass = material(KVE_SHADER_MASK_REFRACTION, leaning);
    KVE_SetMaterialTexture(glass, 1, maskTexture);
    KVE_SetMaterialRefraction(glass, 100.0f);
    KVE_SetMaterialShine(glass, 0.0f);
    object(mesh(groundMesh(3.0f, false)), glass, 0.0f, 0.5f, 0.0f);
    const Pixels bent = frame();

    const int y0 = screenY(-2.5), y1 = screenY(2.5);
    const int area = (screenX(-0.5) - screenX(-2.5)) * (y1 - y0);
    EXPECT_GT(differing(plain, bent, screenX(-2.5), y0, screenX(-0.5), y1), area / 10) << "no bending inside the mask";
    EXPECT_EQ(differing(plain, bent, screenX(0.5), y0, screenX(2.5), y1), 0) << "bending outside the mask";
}

// One billboard set of one quad, scaled by 2 and placed at (2, 0, 0), in `mode`.
struct Billboard {
    int number = -1;
    unsigned buffer = 0, texture = 0;

    Billboard(int material, int mode)
    {
        KVE_BILLBOARD* set = KVE_CreateBillboardListEntry(&number, "");
        const float instance[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 2, 0, 0, 1};
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_TEXTURE_BUFFER, buffer);
        glBufferData(GL_TEXTURE_BUFFER, sizeof instance, instance, GL_STATIC_DRAW);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_BUFFER, texture);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer);
        glBindTexture(GL_TEXTURE_BUFFER, 0);
        set->enabled = 1;
        set->material = material;
        set->instanceBuffer = buffer;
        set->instanceTexture = texture;
        set->instanceCount = 1;
        set->projectionMode = mode;
    }
    ~Billboard() { KVE_ReleaseBillboard(number); }
};

TEST_F(RenderPath, BillboardsFaceTheCameraInModesOneAndTwoAndStayAsPlacedInModeZero)
{
    const int red = material(KVE_SHADER_BILLBOARD, texture(solidTexture(255, 0, 0)));
    auto redPixels = [](const Pixels& p) {
        int count = 0;
        for (int y = screenY(-2.0); y < screenY(2.0); ++y)
            for (int x = screenX(0.0); x < screenX(4.0); ++x)
                count += p.at(x, y, 0) > 200 && p.at(x, y, 1) < 50;
        return count;
    };
    const double square = 4.0 * kPixelsPerUnit * kPixelsPerUnit; // 2 x 2 units
    int counts[3];
    for (int mode = 0; mode < 3; ++mode) {
        Billboard set(red, mode);
        counts[mode] = redPixels(frame());
    }
    // From above, the quad as placed (in its own x-y plane) is seen edge on.
    EXPECT_LT(counts[0], square * 0.05);
    for (int mode : {1, 2})
        EXPECT_NEAR(counts[mode], square, square * 0.1) << "mode " << mode;
    // Seen from the side (looking along -z from z = 10), mode 0 shows its face too.
    KVE_MoveCamera(0, 0.0f, 0.0f, 10.0f, 0);
    KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    Billboard set(red, 0);
    EXPECT_NEAR(redPixels(frame()), square, square * 0.1);
}

TEST_F(RenderPath, BakedStaticShadowStaysAfterTheCasterMovesAwayUntilBakedAgain)
{
    ground(white_);
    constexpr int kLight = 950;
    KVE_CreateLight(kLight, 0.0f, 5.0f, 0.0f, KVE_LIGHT_POINT);
    lights_.push_back(kLight);
    KVE_SetLightRange(kLight, 100.0f);
    KVE_SetLightIntensity(kLight, 1.0f);
    KVE_SetLightShadow(kLight, 1, 1);
    // A static caster the camera does not see, halfway up to the light.
    const int caster = object(mesh(groundMesh(1.0f, false)), material(KVE_SHADER_NORMAL_MAPPING, white_), 0, 2.5f, 0);
    KVE_GetObject(caster)->isStatic = 1;
    KVE_GetObject(caster)->noCameraPass = 1;
    KVE_SetShadows(1);
    KVE_BakeStaticShadows();
    const int cx = kW / 2, cy = kH / 2, beside = screenX(3.0);
    const Pixels baked = frame();
    EXPECT_LT(baked.at(cx, cy, 1), 0x20 + 10) << "no shadow under the caster";
    EXPECT_GT(baked.at(beside, cy, 1), 120);

    KVE_MoveObject(caster, 50.0f, 2.5f, 0.0f, 0);
    const Pixels moved = frame();
    EXPECT_LT(moved.at(cx, cy, 1), 0x20 + 10) << "the baked shadow went with the caster";
    KVE_BakeStaticShadows();
    EXPECT_GT(frame().at(cx, cy, 1), 120) << "baking again should clear it";
}

TEST_F(RenderPath, ParallaxShiftsTheSurfaceWithItsHeightWhenSeenAtAnAngle)
{
    KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
    const int checker = texture(checkerTexture());
    const int low = texture(solidTexture(128, 128, 255, 1));
    const int high = texture(solidTexture(128, 128, 255, 255));
    const int surface = material(KVE_SHADER_PARALLAX_MAPPING, checker);
    object(ground_, surface, 0, 0, 0);
    KVE_MoveCamera(0, 0.0f, 10.0f, 10.0f, 0); // a slanting view of the ground's centre
    KVE_RotateCamera(0, -45.0f, 0.0f, 0.0f, 0);
    KVE_SetMaterialTexture(surface, 1, low);
    const Pixels flat = frame();
    KVE_SetMaterialTexture(surface, 1, high);
    const Pixels raised = frame();
    EXPECT_GT(flat.mean(kW / 2 - 100, kH / 2 - 100, kW / 2 + 100, kH / 2 + 100, 1), 60) << "the surface is not drawn";
    EXPECT_GT(differing(flat, raised, 0, 0, kW, kH), 2000) << "the height map moved nothing";
}

TEST_F(RenderPath, GrassBendsItsDynamicVerticesWithTheWind)
{
    KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
    // A 2 x 2 blade lying on the ground: its far edge (z = -1) dynamic, its near one static.
    const int blade = mesh(groundMesh(1.0f, false));
    for (int vertex = 0; vertex < 4; ++vertex)
        KVE_SetMeshVertexGroup(blade, vertex, vertex == 0 || vertex == 3 ? 1 : 0);
    KVE_FinishMesh(blade);
    const int grass = material(KVE_SHADER_GRASS, texture(solidTexture(0, 255, 0)));
    object(blade, grass, 0, 0, 0);
    auto greenCentre = [](const Pixels& p, int row) {
        double sum = 0;
        int count = 0;
        for (int x = 0; x < kW; ++x)
            if (p.at(x, row, 1) > 150 && p.at(x, row, 0) < 60)
                sum += x, ++count;
        return count ? sum / count : -1.0;
    };
    const Pixels calm = frame();
    KVE_SetMaterialParameter(grass, 0, 1.0f); // wind toward +x (view space: screen right)
    const Pixels windy = frame();
    const int farRow = screenY(-0.95), nearRow = screenY(0.95);
    EXPECT_NEAR(greenCentre(calm, farRow), kW / 2, 3);
    EXPECT_NEAR(greenCentre(windy, farRow), kW / 2 + kPixelsPerUnit * 0.95, 8) << "the tips did not bend";
    EXPECT_NEAR(greenCentre(windy, nearRow), kW / 2 + kPixelsPerUnit * 0.05, 8) << "the roots moved";
}

TEST_F(RenderPath, TextureArrayMaterialsPickTheLayerByVertexGroup)
{
    KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
    // Two layers, red and green; normal and specular arrays of two flat layers.
    auto arrayTexture = [&](const uint8_t (&layers)[2][4]) {
        int number = -1;
        KVE_TEXTURE* record = KVE_CreateTextureListEntry(&number, "");
        glGenTextures(1, &record->texture);
        glBindTexture(GL_TEXTURE_2D_ARRAY, record->texture);
        std::vector<uint8_t> texels;
        for (const auto& layer : layers)
            for (int i = 0; i < 16; ++i)
                texels.insert(texels.end(), layer, layer + 4);
        glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA, 4, 4, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D_ARRAY, 0);
        record->target = GL_TEXTURE_2D_ARRAY;
        record->width = record->height = 4;
        return texture(number);
    };
    const uint8_t colors[2][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}};
    const uint8_t normals[2][4] = {{128, 128, 255, 255}, {128, 128, 255, 255}};
    const int layered = material(KVE_SHADER_TEXTURE_ARRAY, arrayTexture(colors));
    KVE_SetMaterialTexture(layered, 1, arrayTexture(normals));
    KVE_SetMaterialTexture(layered, 2, arrayTexture(normals));
    const int square = mesh(groundMesh(1.0f, false));
    const int greenSquare = mesh(groundMesh(1.0f, false));
    for (int vertex = 0; vertex < 4; ++vertex)
        KVE_SetMeshVertexGroup(greenSquare, vertex, 1);
    KVE_FinishMesh(greenSquare);
    object(square, layered, -2.0f, 0, 0);
    object(greenSquare, layered, 2.0f, 0, 0);
    const Pixels p = frame();
    const int left = screenX(-2.0), right = screenX(2.0);
    EXPECT_GT(p.at(left, kH / 2, 0), 200);
    EXPECT_LT(p.at(left, kH / 2, 1), 40);
    EXPECT_GT(p.at(right, kH / 2, 1), 200);
    EXPECT_LT(p.at(right, kH / 2, 0), 40);
}

} // namespace
