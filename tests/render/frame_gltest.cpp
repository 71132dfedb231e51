#include <gtest/gtest.h>

#include <vector>

#include "gpu/image_samples.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "render/render_scene.h"
#include "render/screen_pixels.h"

namespace {

using kve::test::groundMesh;
using kve::test::Screen;
using kve::test::solidTexture;

constexpr int kCentreX = kve::test::kScreenWidth / 2, kCentreY = kve::test::kScreenHeight / 2;
constexpr int kBackground = static_cast<int>(0xFF804020); // red 0x20, green 0x40, blue 0x80

// The demo's lighting: a white point light at (0, 5, 0) of range 100 and intensity 0.5,
// ambient 0x101010, no directional light, seen from 10 units above the ground.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        white_ = solidTexture(255, 255, 255);
        flatNormal_ = solidTexture(128, 128, 255);
        ground_ = groundMesh(5.0f, false);
        KVE_MoveCamera(0, 0.0f, 10.0f, 0.0f, 0);
        KVE_RotateCamera(0, -90.0f, 0.0f, 0.0f, 0);
        KVE_SetBackgroundColor(kBackground);
        KVE_SetDirectLightEnabled(0);
        KVE_SetAmbientColor(static_cast<int>(0xFF101010));
        KVE_CreateLight(kLight, 0.0f, 5.0f, 0.0f, KVE_LIGHT_POINT);
        KVE_SetLightIntensity(kLight, 0.5f);
        KVE_SetLightRange(kLight, 100.0f);
        KVE_SetGlow(0);
    }
    void TearDown() override
    {
        for (int object : objects_)
            KVE_ReleaseObject(object);
        for (int material : materials_)
            KVE_ReleaseMaterial(material);
        KVE_ReleaseMesh(ground_);
        KVE_ReleaseTexture(white_);
        KVE_ReleaseTexture(flatNormal_);
        KVE_FreeLight(kLight);
        KVE_SetShadows(0);
        KVE_SetGlow(1);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    }
    int material(int kind, int color)
    {
        const int number = KVE_CreateMaterial(-1, white_, kind, "")->number;
        KVE_SetMaterialTexture(number, 1, flatNormal_);
        KVE_SetMaterialColor(number, color);
        materials_.push_back(number);
        return number;
    }
    int object(int mesh, int material, float y)
    {
        const int number = KVE_CreateObject(-1, mesh, material, "", 0, 0)->number;
        KVE_MoveObject(number, 0.0f, y, 0.0f, 0);
        objects_.push_back(number);
        return number;
    }
    static Screen render()
    {
        KVE_RenderScene(-1);
        return Screen();
    }

    static constexpr int kLight = 900;
    int white_ = -1, flatNormal_ = -1, ground_ = -1;
    std::vector<int> objects_, materials_;
};

TEST_F(FrameTest, PointLightLightsTheGroundAmbientAloneScalesItsColourAndBackgroundShowsElsewhere)
{
    object(ground_, material(KVE_SHADER_NORMAL_MAPPING, static_cast<int>(0xFFFFFFFF)), 0.0f);
    const Screen lit = render();
    KVE_SetLightEnabled(kLight, 0);
    const Screen ambient = render();

    EXPECT_GT(lit.at(kCentreX, kCentreY, 1), 200);
    // Ambient x white surface: 0x10 in every channel.
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(ambient.at(kCentreX, kCentreY, c), 0x10, 2) << c;
    // The 10 x 10 square seen from 10 units up leaves the screen's sides uncovered.
    const int expected[3] = {0x20, 0x40, 0x80};
    for (const Screen* screen : {&lit, &ambient})
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(screen->at(20, kCentreY, c), expected[c], 1) << c;
    // The light falls off with distance: the centre is brighter than a point near the edge.
    EXPECT_GT(lit.at(kCentreX, kCentreY, 0), lit.at(kCentreX + 300, kCentreY, 0));
}

TEST_F(FrameTest, CameraPassExclusionHidesAnObjectThatStillCastsItsShadow)
{
    object(ground_, material(KVE_SHADER_NORMAL_MAPPING, static_cast<int>(0xFFFFFFFF)), 0.0f);
    const int occluderMesh = groundMesh(0.5f, false);
    const int red = material(KVE_SHADER_NORMAL_MAPPING, static_cast<int>(0xFF0000FF));
    const int occluder = object(occluderMesh, red, 2.5f);
    KVE_GetObject(occluder)->noCameraPass = 1;
    KVE_SetLightShadow(kLight, 1, 0);

    const Screen unshadowed = render();
    KVE_SetShadows(1);
    const Screen shadowed = render();
    KVE_SetShadows(0);

    // Not drawn by the camera: the centre stays white-lit, not red.
    EXPECT_GT(unshadowed.at(kCentreX, kCentreY, 1), 200);
    EXPECT_GT(unshadowed.at(kCentreX, kCentreY, 2), 200);
    // With shadows on the ground beneath it keeps only the ambient term...
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(shadowed.at(kCentreX, kCentreY, c), 0x10, 3) << c;
    // ...while the ground outside the shadow stays lit.
    EXPECT_GT(shadowed.at(kCentreX, kCentreY + 300, 1), 100);
    EXPECT_NEAR(shadowed.at(kCentreX, kCentreY + 300, 1), unshadowed.at(kCentreX, kCentreY + 300, 1), 3);
    KVE_ReleaseObject(occluder);
    objects_.pop_back();
    KVE_ReleaseMesh(occluderMesh);
}

TEST_F(FrameTest, BackFacesDrawOnlyForTheMaterialWithCullingOffAndForwardAndOverlayQueuesDraw)
{
    // Seen from above, a flipped square shows its back face.
    const int flipped = groundMesh(1.0f, true);
    const int twoSided = material(KVE_SHADER_DRAW_MESH, static_cast<int>(0xFF0000FF));
    KVE_SetMaterialBackFaceCulling(twoSided, 0);
    const int culled = material(KVE_SHADER_DRAW_MESH, static_cast<int>(0xFF00FF00));
    const int left = object(flipped, twoSided, 0.0f), right = object(flipped, culled, 0.0f);
    KVE_MoveObject(left, -3.0f, 0.0f, 0.0f, 0);
    KVE_MoveObject(right, 3.0f, 0.0f, 0.0f, 0);
    // An over-image surface (flat colour at hardness 0).
    const int glowMaterial = material(KVE_SHADER_MESH_GLOW, static_cast<int>(0xFFFF0000));
    KVE_SetMaterialHardness(glowMaterial, 0.0f);
    const int overlay = object(ground_, glowMaterial, 0.0f);
    KVE_ScaleObject(overlay, 0.2f, 0.2f, 0.2f, 0);

    const Screen screen = render();
    const int px = static_cast<int>(3.0f / 7.4f * kCentreX);
    EXPECT_GT(screen.at(kCentreX - px, kCentreY, 0), 200); // red back face drawn
    for (int c = 0; c < 3; ++c) // green one culled: background
        EXPECT_NEAR(screen.at(kCentreX + px, kCentreY, c), (kBackground >> (8 * c)) & 0xFF, 1);
    EXPECT_GT(screen.at(kCentreX, kCentreY, 2), 200);
    EXPECT_LT(screen.at(kCentreX, kCentreY, 0), 30);
    for (int object : {left, right, overlay})
        KVE_ReleaseObject(object);
    objects_.clear();
    KVE_ReleaseMesh(flipped);
}

TEST_F(FrameTest, GlowSpreadsEmissionAroundASurfaceOnlyWhenEnabled)
{
    const int small = groundMesh(1.0f, false);
    const int emissive = material(KVE_SHADER_NORMAL_MAPPING, static_cast<int>(0xFFFFFFFF));
    KVE_SetMaterialEmission(emissive, 1.0f);
    object(small, emissive, 0.0f);
    const int beside = kCentreX + static_cast<int>(1.0f / 7.4f * kCentreX) + 4; // just off its right edge

    const Screen plain = render();
    KVE_SetGlow(1);
    const Screen glowing = render();
    KVE_SetGlow(0);

    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(plain.at(beside, kCentreY, c), (kBackground >> (8 * c)) & 0xFF, 1) << c;
    EXPECT_GT(glowing.at(beside, kCentreY, 0), plain.at(beside, kCentreY, 0) + 10);
    for (int object : objects_)
        KVE_ReleaseObject(object);
    objects_.clear();
    KVE_ReleaseMesh(small);
}

} // namespace
