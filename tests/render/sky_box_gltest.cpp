// The sky box drawn by the frame: the cube map seen through uncovered pixels, its
// rotation, and extra layers with their own mesh, cube map, tint and rotation.
#include <gtest/gtest.h>

#include <array>

#include "kve.h"
#include "render/render_scene.h"
#include "support/engine_environment.h"

namespace {

using kve::test::Pixels;

constexpr int kW = kve::test::kScreenWidth, kH = kve::test::kScreenHeight;
// Face colours, +X, -X, +Y, -Y, +Z, -Z (packed, red lowest).
constexpr std::array<int, 6> kFaces = {static_cast<int>(0xFF0000FF), static_cast<int>(0xFF00FF00),
                                       static_cast<int>(0xFFFF0000), static_cast<int>(0xFF00FFFF),
                                       static_cast<int>(0xFFFF00FF), static_cast<int>(0xFFFFFF00)};

int cubeMap(const std::array<int, 6>& colors, uint8_t alpha)
{
    std::array<std::string, 6> files;
    const void* data[6];
    int sizes[6];
    for (int face = 0; face < 6; ++face) {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 16; ++i) {
            for (int c = 0; c < 3; ++c)
                pixels.push_back(static_cast<uint8_t>(colors[face] >> (8 * c)));
            pixels.push_back(alpha);
        }
        files[face] = kve::test::pngOf(4, 4, 4, pixels);
        data[face] = files[face].data();
        sizes[face] = static_cast<int>(files[face].size());
    }
    return KVE_CatchCubeMapTexture(-1, data, sizes, 0x2600, 0, "")->number;
}

class SkyBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        sky_ = cubeMap(kFaces, 255);
        KVE_SetSkyBox(sky_, static_cast<int>(0xFFFFFFFF));
        KVE_EnableSkyBox(1);
        KVE_SetGlow(0);
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0); // looking along -z
    }
    void TearDown() override
    {
        KVE_EnableSkyBox(0);
        KVE_SetSkyBoxRotation(0.0f, 0.0f, 0.0f);
        KVE_ClearSkyBoxLayers();
        KVE_SetSkyBox(-1, static_cast<int>(0xFFFFFFFF));
        KVE_ReleaseTexture(sky_);
        KVE_SetGlow(1);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    }
    static Pixels frame()
    {
        KVE_RenderScene(-1);
        return Pixels(kW, kH);
    }
    int sky_ = -1;
};

TEST_F(SkyBox, EachViewDirectionShowsItsFaceTintedAndTheRotationTurnsTheSkyNotTheCamera)
{
    EXPECT_TRUE(frame().same(kW / 2, kH / 2, kFaces[5])); // -Z straight ahead
    KVE_RotateCamera(0, 90.0f, 0.0f, 0.0f, 0);
    EXPECT_TRUE(frame().same(kW / 2, kH / 2, kFaces[2])); // looking up: +Y
    KVE_RotateCamera(0, 0.0f, -90.0f, 0.0f, 0);
    const Pixels turnedCamera = frame();
    KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);

    // Turning the sky by +90 degrees about y shows what turning the camera by -90 shows.
    KVE_SetSkyBoxRotation(0.0f, 90.0f, 0.0f);
    const Pixels turnedSky = frame();
    bool sideFace = false;
    for (int face : {0, 1})
        sideFace |= turnedSky.same(kW / 2, kH / 2, kFaces[face]);
    EXPECT_TRUE(sideFace);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(turnedSky.at(kW / 2, kH / 2, c), turnedCamera.at(kW / 2, kH / 2, c)) << c;

    // The tint multiplies the texels: white x half grey.
    KVE_SetSkyBoxRotation(0.0f, 0.0f, 0.0f);
    KVE_SetSkyBox(sky_, static_cast<int>(0xFF808080));
    const Pixels tinted = frame();
    EXPECT_NEAR(tinted.at(kW / 2, kH / 2, 0), 0, 2); // -Z is (0, 255, 255)
    EXPECT_NEAR(tinted.at(kW / 2, kH / 2, 1), 0x80, 2);
    EXPECT_NEAR(tinted.at(kW / 2, kH / 2, 2), 0x80, 2);
}

TEST_F(SkyBox, LayersBlendOverTheSkyThroughTheirOwnMeshTextureTintAndRotation)
{
    // A half-transparent white layer on the sky's own cube...
    const std::array<int, 6> white = {-1, -1, -1, -1, -1, -1};
    const int veil = cubeMap(white, 128);
    EXPECT_EQ(KVE_AddSkyBoxLayer(-1, veil, static_cast<int>(0xFFFFFFFF)), 0);
    // ...and an opaque red square in front of the camera, a tinted copy of the sky.
    const int square = KVE_CreateMesh(-1, "")->number;
    KVE_SetMeshVertexCount(square, 4);
    const float corners[4][2] = {{-0.1f, -0.1f}, {0.1f, -0.1f}, {0.1f, 0.1f}, {-0.1f, 0.1f}};
    for (int i = 0; i < 4; ++i)
        KVE_SetMeshVertex(square, i, corners[i][0], corners[i][1], -1.0f, 1.0f);
    KVE_SetMeshTriangleCount(square, 2);
    KVE_SetMeshTriangle(square, 0, 0, 1, 2);
    KVE_SetMeshTriangle(square, 1, 0, 2, 3);
    KVE_FinishMesh(square);
    const int allWhite = cubeMap(white, 255);
    EXPECT_EQ(KVE_AddSkyBoxLayer(square, allWhite, static_cast<int>(0xFF0000FF)), 1);
    EXPECT_EQ(KVE_GetSkyBoxLayerCount(), 2);

    const Pixels layered = frame();
    // Centre: the red square over everything.
    EXPECT_TRUE(layered.same(kW / 2, kH / 2, static_cast<int>(0xFF0000FF)));
    // Beside it: -Z's (0, 255, 255) half covered by white: red rises to about 128, and
    // the sky stays opaque over the background.
    EXPECT_NEAR(layered.at(kW / 2 + 300, kH / 2, 0), 128, 3);
    EXPECT_GT(layered.at(kW / 2 + 300, kH / 2, 1), 250);
    EXPECT_GT(layered.at(kW / 2 + 300, kH / 2, 2), 250);

    // The square layer turned away behind the camera: the veil alone at the centre.
    EXPECT_EQ(KVE_SetSkyBoxLayerRotation(1, 0.0f, 180.0f, 0.0f), 1);
    EXPECT_EQ(KVE_SetSkyBoxLayerRotation(2, 0.0f, 0.0f, 0.0f), 0);
    const Pixels turned = frame();
    EXPECT_NEAR(turned.at(kW / 2, kH / 2, 0), 128, 3);
    EXPECT_GT(turned.at(kW / 2, kH / 2, 2), 250);

    // A released mesh or texture drops its layer from the picture, nothing else.
    KVE_SetSkyBoxLayerRotation(1, 0.0f, 0.0f, 0.0f);
    KVE_ReleaseMesh(square);
    KVE_ReleaseTexture(veil);
    EXPECT_TRUE(frame().same(kW / 2, kH / 2, kFaces[5]));
    KVE_ClearSkyBoxLayers();
    EXPECT_EQ(KVE_GetSkyBoxLayerCount(), 0);
    KVE_ReleaseTexture(allWhite);
}

} // namespace
