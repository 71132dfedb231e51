// Static shadow maps of lights: created and deleted with the shadow flags, read back
// from GL.
#include <gtest/gtest.h>

#include "kve.h"
#include "platform/gl.h"
#include "scene/light.h"

namespace {

namespace scene = kve::scene;

GLuint mapOf(int light)
{
    return static_cast<GLuint>(scene::findLight(light)->staticShadowMap);
}

GLint levelParameter(GLenum image, GLenum name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(image, 0, name, &value);
    return value;
}

GLint parameter(GLenum target, GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(target, name, &value);
    return value;
}

class ShadowMaps : public ::testing::Test {
protected:
    void TearDown() override { scene::releaseLights(); }
};

TEST_F(ShadowMaps, PointLightGetsOneCubeMapWhileBothFlagsAreSet)
{
    ASSERT_NE(KVE_CreateLight(26, 0, 5, 0, KVE_LIGHT_POINT), nullptr);
    ASSERT_EQ(KVE_SetLightShadow(26, 1, 0), 1);
    EXPECT_EQ(KVE_GetLightShadow(26), 1);
    EXPECT_EQ(scene::findLight(26)->staticShadowMap, -1);

    ASSERT_EQ(KVE_SetLightShadow(26, 1, 1), 1);
    const GLuint map = mapOf(26);
    ASSERT_EQ(glIsTexture(map), GL_TRUE);
    glBindTexture(GL_TEXTURE_CUBE_MAP, map);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)); // a cube map, not a 2D texture
    for (GLenum face = 0; face < 6; ++face) {
        const GLenum image = GL_TEXTURE_CUBE_MAP_POSITIVE_X + face;
        EXPECT_EQ(levelParameter(image, GL_TEXTURE_WIDTH), scene::kStaticShadowMapSize);
        EXPECT_EQ(levelParameter(image, GL_TEXTURE_HEIGHT), scene::kStaticShadowMapSize);
        EXPECT_EQ(levelParameter(image, GL_TEXTURE_INTERNAL_FORMAT), GL_DEPTH_COMPONENT16);
    }
    EXPECT_EQ(parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
        EXPECT_EQ(parameter(GL_TEXTURE_CUBE_MAP, wrap), GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    ASSERT_EQ(KVE_SetLightShadow(26, 1, 1), 1);
    EXPECT_EQ(mapOf(26), map); // no second map

    ASSERT_EQ(KVE_SetLightShadow(26, 0, 1), 1);
    EXPECT_EQ(scene::findLight(26)->staticShadowMap, -1);
    EXPECT_EQ(glIsTexture(map), GL_FALSE);
    EXPECT_EQ(KVE_GetLightShadow(26), 0);
}

TEST_F(ShadowMaps, SpotLightGetsA2DMap)
{
    ASSERT_NE(KVE_CreateLight(4, 0, 0, 0, KVE_LIGHT_SPOT), nullptr);
    ASSERT_EQ(KVE_SetLightShadow(4, 1, 1), 1);
    const GLuint map = mapOf(4);
    ASSERT_EQ(glIsTexture(map), GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, map);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_WIDTH), scene::kStaticShadowMapSize);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT), GL_DEPTH_COMPONENT16);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST_F(ShadowMaps, FreeingOrReplacingALightDeletesItsMap)
{
    ASSERT_NE(KVE_CreateLight(5, 0, 0, 0, KVE_LIGHT_POINT), nullptr);
    ASSERT_EQ(KVE_SetLightShadow(5, 1, 1), 1);
    const GLuint replaced = mapOf(5);
    ASSERT_NE(KVE_CreateLight(5, 0, 0, 0, KVE_LIGHT_POINT), nullptr);
    EXPECT_EQ(glIsTexture(replaced), GL_FALSE);
    EXPECT_EQ(scene::findLight(5)->staticShadowMap, -1);

    ASSERT_EQ(KVE_SetLightShadow(5, 2, 3), 1); // any non-zero pair
    const GLuint freed = mapOf(5);
    ASSERT_EQ(glIsTexture(freed), GL_TRUE);
    ASSERT_EQ(KVE_FreeLight(5), 1);
    EXPECT_EQ(glIsTexture(freed), GL_FALSE);
}

} // namespace
