// The camera ray through the running engine's projection and screen.
#include <gtest/gtest.h>

#include <cmath>

#include "kve.h"
#include "scene/camera.h"
#include "support/engine_environment.h"
#include "scene_test_util.h"

namespace {

using kve::test::expectVector;

class CameraRay : public ::testing::Test {
protected:
    void SetUp() override
    {
        fieldOfView = KVE_GetProjectionFOV();
        kve::scene::resetCamera();
        kve::scene::updateCamera();
    }
    void TearDown() override
    {
        KVE_SetProjectionMode(KVE_PROJECTION_PERSPECTIVE);
        KVE_SetProjectionFOV(fieldOfView);
        kve::scene::resetCamera();
    }
    static KVE_Vector ray(float x, float y)
    {
        KVE_Vector out{};
        EXPECT_EQ(KVE_GetCameraRay(&out, x, y), &out);
        return out;
    }
    float fieldOfView = 0;
};

TEST_F(CameraRay, CornersOfAPerspectiveScreen)
{
    KVE_SetProjectionFOV(90.0f); // the edges at depth -1 are at y = +-1, x = +-aspect
    const float aspect = static_cast<float>(kve::test::kScreenWidth) / kve::test::kScreenHeight;
    const float length = std::sqrt(aspect * aspect + 2.0f);
    expectVector(ray(kve::test::kScreenWidth, 0), aspect / length, 1 / length, -1 / length, 0);
    expectVector(ray(0, kve::test::kScreenHeight), -aspect / length, -1 / length, -1 / length, 0);
    expectVector(ray(kve::test::kScreenWidth / 2.0f, kve::test::kScreenHeight / 2.0f), 0, 0, -1, 0);

    ASSERT_EQ(KVE_RotateCamera(0, 0, 180, 0, 0), 1);
    expectVector(ray(KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT), 0, 0, 1, 0);
    expectVector(ray(kve::test::kScreenWidth, 0), -aspect / length, 1 / length, 1 / length, 0);
    EXPECT_EQ(KVE_GetCameraRay(nullptr, 0, 0), nullptr);
}

TEST_F(CameraRay, OrthographicRaysAreAllTheViewingDirection)
{
    ASSERT_EQ(KVE_RotateCamera(0, 0, 90, 0, 0), 1);
    KVE_SetProjectionMode(KVE_PROJECTION_ORTHOGRAPHIC);
    expectVector(ray(0, 0), -1, 0, 0, 0);
    expectVector(ray(1234, 567), -1, 0, 0, 0);
}

} // namespace
