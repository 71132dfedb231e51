// Light records, their lists and volume matrix, and the directional-light settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/light.h"
#include "scene/lighting.h"
#include "scene_test_util.h"

namespace {

using kve::test::expectVector;
namespace scene = kve::scene;

bool listed(const std::vector<KVE_LIGHT*>& list, const KVE_LIGHT* light)
{
    return std::find(list.begin(), list.end(), light) != list.end();
}

float axisLength(const KVE_Vector& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

class Lights : public ::testing::Test {
protected:
    void TearDown() override { scene::releaseLights(); }
};

TEST_F(Lights, CreationSetsTheDefaultsAndListsTheLightByType)
{
    KVE_LIGHT* point = KVE_CreateLight(26, 0, 5, 0, KVE_LIGHT_POINT);
    KVE_LIGHT* spot = KVE_CreateLight(-1, 1, 2, 3, KVE_LIGHT_SPOT);
    ASSERT_NE(point, nullptr);
    ASSERT_NE(spot, nullptr);
    EXPECT_EQ(point->number, 26);
    EXPECT_GE(spot->number, 0x10000);
    EXPECT_EQ(scene::findLight(spot->number), spot);
    EXPECT_EQ(KVE_GetLightNumber(spot), spot->number);
    EXPECT_EQ(KVE_GetLightNumber(nullptr), -1);
    EXPECT_EQ(point->item.kind, KVE_ITEM_LIGHT);
    EXPECT_EQ(point->enabled, 1);
    EXPECT_EQ(point->castsShadows, 0);
    EXPECT_EQ(point->isStatic, 0);
    EXPECT_EQ(point->staticShadowMap, -1);
    EXPECT_FLOAT_EQ(point->range, 128.0f);
    expectVector(point->color, 1, 1, 1, 1);
    EXPECT_FLOAT_EQ(point->intensity, 1.0f);
    expectVector(point->direction, 0, -1, 0, 0);
    EXPECT_FLOAT_EQ(point->coneAngle, 2.0f);
    EXPECT_FLOAT_EQ(KVE_GetLightX(26), 0.0f);
    EXPECT_FLOAT_EQ(KVE_GetLightY(26), 5.0f);
    EXPECT_FLOAT_EQ(KVE_GetLightZ(26), 0.0f);
    EXPECT_FLOAT_EQ(point->matrix.c[0].x, 128.0f * 1.01f);
    expectVector(point->matrix.c[3], 0, 5, 0, 1);

    EXPECT_TRUE(listed(scene::pointLights(), point));
    EXPECT_FALSE(listed(scene::pointLights(), spot));
    EXPECT_TRUE(listed(scene::spotLights(), spot));
}

TEST_F(Lights, RefusedNumbersAndTypesChangeNothing)
{
    KVE_LIGHT* existing = KVE_CreateLight(0, 1, 1, 1, KVE_LIGHT_POINT);
    ASSERT_NE(existing, nullptr);
    EXPECT_EQ(KVE_CreateLight(65536, 0, 0, 0, KVE_LIGHT_POINT), nullptr);
    EXPECT_EQ(KVE_CreateLight(-2, 0, 0, 0, KVE_LIGHT_POINT), nullptr);
    EXPECT_EQ(KVE_CreateLight(0, 0, 0, 0, 3), nullptr);
    EXPECT_EQ(KVE_CreateLight(0, NAN, 0, 0, KVE_LIGHT_POINT), nullptr);
    EXPECT_EQ(scene::findLight(0), existing);
    EXPECT_EQ(scene::pointLights().size(), 1u);
    EXPECT_TRUE(scene::spotLights().empty());
    EXPECT_NE(KVE_CreateLight(65535, 0, 0, 0, KVE_LIGHT_SPOT), nullptr);
}

TEST_F(Lights, ReusingANumberFreesTheOldLightFromItsList)
{
    KVE_LIGHT* first = KVE_CreateLight(7, 0, 0, 0, KVE_LIGHT_POINT);
    ASSERT_EQ(KVE_AttachItem(KVE_GetCameraItem(0), KVE_GetLightItem(7), KVE_ATTACH_RIGID), 1);
    KVE_LIGHT* second = KVE_CreateLight(7, 0, 0, 0, KVE_LIGHT_SPOT);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(listed(scene::pointLights(), first));
    EXPECT_TRUE(scene::pointLights().empty());
    EXPECT_EQ(scene::spotLights().size(), 1u);
    EXPECT_EQ(scene::findLight(7), second);
    EXPECT_EQ(second->item.parent, nullptr);

    EXPECT_EQ(KVE_FreeLight(7), 1);
    EXPECT_TRUE(scene::spotLights().empty());
    EXPECT_EQ(scene::findLight(7), nullptr);
    EXPECT_EQ(KVE_FreeLight(7), 0);
    EXPECT_EQ(KVE_SetLightRange(7, 5), 0);
    EXPECT_FLOAT_EQ(KVE_GetLightRange(7), 0.0f);
    EXPECT_EQ(KVE_GetLightItem(7), nullptr);
}

TEST_F(Lights, RangeScalesTheVolumeThroughRotationAndMoves)
{
    ASSERT_NE(KVE_CreateLight(3, 1, 2, 3, KVE_LIGHT_POINT), nullptr);
    ASSERT_EQ(KVE_SetLightRange(3, 10), 1);
    const KVE_LIGHT* light = scene::findLight(3);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(axisLength(light->matrix.c[axis]), 10.1f, 1e-4f);
    EXPECT_FLOAT_EQ(light->matrix.c[0].x, 10.1f);

    ASSERT_EQ(KVE_RotateLight(3, 0, 90, 0, 0), 1);
    expectVector(light->matrix.c[0], 0, 0, -10.1f, 0);
    // A local move goes one unit along the light's own z, not range units.
    ASSERT_EQ(KVE_MoveLight(3, 0, 0, 1, KVE_RELATIVE | KVE_LOCAL), 1);
    EXPECT_FLOAT_EQ(KVE_GetLightX(3), 2.0f);
    expectVector(light->matrix.c[3], 2, 2, 3, 1);
    ASSERT_EQ(KVE_MoveLight(3, 5, 6, 7, 0), 1);
    expectVector(light->matrix.c[3], 5, 6, 7, 1);
    expectVector(light->matrix.c[0], 0, 0, -10.1f, 0);

    for (float bad : {0.0f, -1.0f, NAN, INFINITY})
        EXPECT_EQ(KVE_SetLightRange(3, bad), 0);
    EXPECT_FLOAT_EQ(KVE_GetLightRange(3), 10.0f);
}

TEST_F(Lights, AttachedLightsComposeTheirVolumeWithTheParents)
{
    kve::test::TestItem carrier;
    carrier.place(10, 0, 0, 0, 0, 0, 4);
    ASSERT_NE(KVE_CreateLight(9, 0, 1, 0, KVE_LIGHT_POINT), nullptr);
    ASSERT_EQ(KVE_SetLightRange(9, 2), 1);
    ASSERT_EQ(KVE_AttachItem(&carrier.item, KVE_GetLightItem(9), KVE_ATTACH_RIGID), 1);
    const KVE_Matrix world = scene::lightWorldMatrix(*scene::findLight(9));
    expectVector(world.c[3], 10, 1, 0, 1);
    EXPECT_NEAR(world.c[1].y, 2.02f, 1e-5f);
}

TEST_F(Lights, SettersStoreTheirValues)
{
    ASSERT_NE(KVE_CreateLight(1, 0, 0, 0, KVE_LIGHT_SPOT), nullptr);
    EXPECT_EQ(KVE_SetLightEnabled(1, 0), 1);
    EXPECT_EQ(KVE_GetLightEnabled(1), 0);
    EXPECT_EQ(KVE_SetLightColor(1, 0x00FF0000), 1);
    KVE_Vector color;
    ASSERT_EQ(KVE_GetLightColor(1, &color), &color);
    expectVector(color, 0, 0, 1, 1); // alpha 0 reads as opaque
    EXPECT_EQ(KVE_SetLightIntensity(1, 0.5f), 1);
    EXPECT_FLOAT_EQ(KVE_GetLightIntensity(1), 0.5f);
    EXPECT_EQ(KVE_SetLightDirection(1, 0, 0, -3), 1);
    expectVector(scene::findLight(1)->direction, 0, 0, -3, 0);
    EXPECT_EQ(KVE_SetLightConeAngle(1, 4.5f), 1);
    EXPECT_FLOAT_EQ(scene::findLight(1)->coneAngle, 4.5f);
    EXPECT_EQ(KVE_GetLightColor(2, &color), nullptr);
    EXPECT_EQ(KVE_SetLightIntensity(1, NAN), 0);
    EXPECT_FLOAT_EQ(KVE_GetLightIntensity(1), 0.5f);
}

TEST_F(Lights, StaticShadowMapNeedsARunningEngine)
{
    ASSERT_NE(KVE_CreateLight(2, 0, 0, 0, KVE_LIGHT_POINT), nullptr);
    EXPECT_EQ(KVE_SetLightShadow(2, 1, 0), 1);
    EXPECT_EQ(KVE_GetLightShadow(2), 1);
    EXPECT_EQ(KVE_SetLightShadow(2, 1, 1), 0);
    EXPECT_EQ(scene::findLight(2)->staticShadowMap, -1);
    EXPECT_EQ(scene::findLight(2)->isStatic, 0);
}

TEST(DirectLight, DirectionIsNormalisedAndColoursAreOpaque)
{
    scene::resetLighting();
    const scene::LightingSettings& settings = scene::lighting();
    KVE_SetDirectLightDirection(3, 4, 0);
    EXPECT_FLOAT_EQ(settings.direction[0], 0.6f);
    EXPECT_FLOAT_EQ(settings.direction[1], 0.8f);
    EXPECT_FLOAT_EQ(settings.direction[2], 0.0f);
    KVE_SetDirectLightDirection(0, 0, 0); // no direction: kept
    KVE_SetDirectLightDirection(NAN, 1, 0);
    EXPECT_FLOAT_EQ(settings.direction[0], 0.6f);

    KVE_SetDirectLightColor(static_cast<int>(0x80FFFFFF));
    EXPECT_FLOAT_EQ(settings.color[0], 1.0f);
    EXPECT_FLOAT_EQ(settings.color[3], 1.0f);
    KVE_SetAmbientColor(static_cast<int>(0x40102030));
    EXPECT_FLOAT_EQ(settings.ambient[0], 0x30 / 255.0f);
    EXPECT_FLOAT_EQ(settings.ambient[1], 0x20 / 255.0f);
    EXPECT_FLOAT_EQ(settings.ambient[2], 0x10 / 255.0f);
    EXPECT_FLOAT_EQ(settings.ambient[3], 1.0f);

    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightIntensity(2.5f);
    KVE_SetShadows(1);
    KVE_SetShadowCentre(1, 2, 3);
    EXPECT_EQ(settings.directEnabled, 1);
    EXPECT_FLOAT_EQ(settings.intensity, 2.5f);
    EXPECT_EQ(settings.shadowsEnabled, 1);
    EXPECT_FLOAT_EQ(settings.shadowCentre[2], 3.0f);

    scene::resetLighting();
    EXPECT_EQ(settings.directEnabled, 0);
    EXPECT_FLOAT_EQ(settings.direction[1], -1.0f);
    EXPECT_FLOAT_EQ(settings.ambient[0], 0.0f);
    EXPECT_FLOAT_EQ(settings.ambient[3], 1.0f);
}

} // namespace
