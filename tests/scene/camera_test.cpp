// The camera: mouse-look turns, walking along the view, its position modes and its ray.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/camera.h"
#include "scene/item.h"
#include "scene_test_util.h"

namespace {

using kve::test::expectAxes;
using kve::test::expectVector;
namespace scene = kve::scene;

const float kSin30 = 0.5f, kCos30 = std::sqrt(3.0f) / 2.0f;
const float kSin40 = std::sin(40.0f * 3.14159265f / 180.0f), kCos40 = std::cos(40.0f * 3.14159265f / 180.0f);

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene::resetCamera();
        scene::updateCamera();
    }
    void TearDown() override { scene::resetCamera(); }
    static const KVE_Matrix& world() { return scene::cameraWorldMatrix(); }
    static KVE_Vector ray()
    {
        KVE_Vector out;
        return *KVE_GetCameraRay(&out, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
    }
};

TEST_F(Camera, GlobalYawTurnsAboutWorldYEvenWhenPitched)
{
    ASSERT_EQ(KVE_RotateCamera(0, -40, 0, 0, KVE_RELATIVE | KVE_LOCAL), 1);
    ASSERT_EQ(KVE_RotateCamera(7, 0, 30, 0, KVE_RELATIVE | KVE_GLOBAL), 1); // the number is ignored
    // The right axis stays level: R_y30 (1,0,0).
    expectVector(world().c[0], kCos30, 0, -kSin30, 0);
    // Forward R_y30 R_x-40 (0,0,-1) keeps its elevation.
    expectVector(ray(), -kCos40 * kSin30, -kSin40, -kCos40 * kCos30, 0);
}

TEST_F(Camera, LocalPitchTurnsAboutItsOwnXAndMovesAlongTheView)
{
    ASSERT_EQ(KVE_MoveCamera(0, 0, 4, 8, 0), 1);
    ASSERT_EQ(KVE_RotateCamera(0, 0, 90, 0, KVE_RELATIVE | KVE_GLOBAL), 1);
    ASSERT_EQ(KVE_RotateCamera(0, 30, 0, 0, KVE_RELATIVE | KVE_LOCAL), 1);
    expectVector(world().c[0], 0, 0, -1, 0); // own x unchanged by the pitch
    KVE_Quaternion rotation;
    ASSERT_EQ(KVE_GetCameraRotation(&rotation), &rotation);
    expectAxes(kve::test::rotationMatrix(rotation), {world().c[0], world().c[1], world().c[2]});
    const KVE_Vector forward{-kCos30, kSin30, 0, 0};
    expectVector(ray(), forward.x, forward.y, forward.z, 0);

    ASSERT_EQ(KVE_MoveCamera(0, 0, 0, -1, KVE_RELATIVE | KVE_LOCAL), 1);
    KVE_Vector position;
    KVE_GetCameraPosition(&position, 0);
    expectVector(position, forward.x, 4 + forward.y, 8, 1);
}

TEST_F(Camera, ViewIsTheInverseOfTheWorldMatrix)
{
    ASSERT_EQ(KVE_MoveCamera(0, 1, 2, 3, 0), 1);
    ASSERT_EQ(KVE_RotateCamera(0, 20, -70, 10, 0), 1);
    KVE_Matrix product;
    KVE_MultiplyMatrix(&product, &scene::cameraViewMatrix(), &world());
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            EXPECT_NEAR((&product.c[column].x)[row], column == row ? 1.0f : 0.0f, 1e-4f);
}

TEST_F(Camera, PositionModesAndAnAttachedCamera)
{
    kve::test::TestItem carrier;
    carrier.place(5, 0, 0, 0, 90, 0, 3);
    ASSERT_EQ(KVE_MoveCamera(0, 0, 0, 2, 0), 1);
    ASSERT_EQ(KVE_AttachItem(&carrier.item, KVE_GetCameraItem(0), KVE_ATTACH_RIGID), 1);
    KVE_UpdateCamera();

    KVE_Vector position;
    EXPECT_EQ(KVE_GetCameraPosition(&position, 0), &position);
    expectVector(position, 0, 0, 2, 1);
    KVE_GetCameraPosition(&position, 2);
    expectVector(position, 0, 0, 0, 1);
    KVE_GetCameraPosition(&position, 4); // (5,0,0) + R_y90 (0,0,2), the scale not inherited
    expectVector(position, 7, 0, 0, 1);
    expectVector(ray(), -1, 0, 0, 0);
    EXPECT_EQ(KVE_GetCameraPosition(nullptr, 4), nullptr);

    // The camera follows its carrier at the next update.
    ASSERT_TRUE(scene::moveItem(carrier.placement(), 0, 1, 0, KVE_RELATIVE));
    KVE_UpdateCamera();
    KVE_GetCameraPosition(&position, 4);
    expectVector(position, 7, 1, 0, 1);
}

TEST_F(Camera, RayThroughAScreenPointUnprojectsIt)
{
    // Perspective with a 90 degree field of view and aspect 2: the right edge of the screen
    // is at x = 2 for depth -1, the top edge at y = 1.
    const float n = 1.0f, f = 100.0f;
    KVE_Matrix projection{};
    projection.c[0].x = 0.5f;
    projection.c[1].y = 1.0f;
    projection.c[2].z = (f + n) / (n - f);
    projection.c[2].w = -1.0f;
    projection.c[3].z = 2.0f * f * n / (n - f);
    ASSERT_EQ(KVE_RotateCamera(0, 0, 90, 0, 0), 1);

    const float root = 1.0f / std::sqrt(6.0f);
    // Top-right corner of a 200 x 100 screen: view direction (2, 1, -1), turned by R_y90.
    expectVector(scene::cameraRay(200, 0, projection, 200, 100), -root, root, -2 * root, 0);
    expectVector(scene::cameraRay(100, 50, projection, 200, 100), -1, 0, 0, 0);
    expectVector(scene::cameraRay(KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT, projection, 200, 100), -1, 0, 0, 0);
}

TEST_F(Camera, ResetRestoresTheDefaultsAndDetaches)
{
    kve::test::TestItem carrier;
    ASSERT_EQ(KVE_AttachItem(&carrier.item, KVE_GetCameraItem(0), KVE_ATTACH_FULL), 1);
    ASSERT_EQ(KVE_MoveCamera(0, 3, 3, 3, 0), 1);
    ASSERT_EQ(KVE_RotateCamera(0, 10, 20, 30, 0), 1);
    scene::resetCamera();
    const scene::Camera& c = scene::camera();
    EXPECT_EQ(c.item.parent, nullptr);
    EXPECT_EQ(c.item.kind, KVE_ITEM_CAMERA);
    expectVector(c.position, 0, 0, 0, 1);
    expectVector(c.velocity, 0, 0, 0, 0);
    expectVector(ray(), 0, 0, -1, 0);
    EXPECT_FLOAT_EQ(c.world.c[3].z, 0.0f);
    EXPECT_FALSE(std::isnan(c.rotation.w));
}

TEST_F(Camera, InvalidPlacementValuesAreRefused)
{
    ASSERT_EQ(KVE_MoveCamera(0, 1, 2, 3, 0), 1);
    EXPECT_EQ(KVE_MoveCamera(0, NAN, 0, 0, KVE_RELATIVE), 0);
    EXPECT_EQ(KVE_RotateCamera(0, 0, INFINITY, 0, 0), 0);
    KVE_Vector position;
    KVE_GetCameraPosition(&position, 4);
    expectVector(position, 1, 2, 3, 1);
}

} // namespace
