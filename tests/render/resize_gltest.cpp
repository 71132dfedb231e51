// A screen size change: every screen-sized target, the quads, the viewport, the aspect
// and the 2D matrix follow it, pictures fill the new size, and a minimised window draws
// nothing without a GL error.
#include <gtest/gtest.h>

#include "kve.h"
#include "platform/gl.h"
#include "render/light_volumes.h"
#include "render/render_scene.h"
#include "render/render_targets.h"
#include "support/engine_environment.h"
#include "support/test_files.h"

namespace {

using kve::test::Pixels;
using namespace kve::render;

constexpr int kMarker = static_cast<int>(0xFF00FF00); // the back buffer before a frame: green
constexpr int kRed = static_cast<int>(0xFF0000FF);

GLint textureSize(unsigned texture, GLenum which)
{
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, which, &value);
    glBindTexture(GL_TEXTURE_2D, 0);
    return value;
}

std::vector<float> bufferFloats(unsigned buffer, int count)
{
    std::vector<float> data(static_cast<size_t>(count));
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, count * static_cast<GLsizeiptr>(sizeof(float)), data.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return data;
}

void clearBackBuffer()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kve::test::kScreenWidth, kve::test::kScreenHeight);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Ground lit by a white ambient term under a camera 10 units up, with a 1 x 1 red square
// at the world origin; a green 20-pixel sprite is drawn at the 2D centre after the frame.
class Resize : public ::testing::Test {
protected:
    void SetUp() override
    {
        while (glGetError() != GL_NO_ERROR) {
        }
        white_ = kve::test::solidTexture(255, 255, 255);
        green_ = kve::test::solidTexture(0, 255, 0);
        ground_ = kve::test::groundMesh(30.0f, false);
        square_ = kve::test::groundMesh(0.5f, false);
        groundMaterial_ = KVE_CreateMaterial(-1, white_, KVE_SHADER_NORMAL_MAPPING, "")->number;
        squareMaterial_ = KVE_CreateMaterial(-1, white_, KVE_SHADER_DRAW_MESH, "")->number;
        KVE_SetMaterialColor(squareMaterial_, kRed);
        spriteMaterial_ = KVE_CreateMaterial(-1, green_, KVE_SHADER_TEXTURED_SPRITE, "")->number;
        sprite_ = KVE_GetSpriteNumber(KVE_CreateSprite(-1, spriteMaterial_, 0, 0));
        KVE_SetSpriteSize(sprite_, 20.0f, 20.0f);
        groundObject_ = KVE_CreateObject(-1, ground_, groundMaterial_, "", 0, 0)->number;
        squareObject_ = KVE_CreateObject(-1, square_, squareMaterial_, "", 0, 0)->number;
        KVE_MoveObject(squareObject_, 0.0f, 0.01f, 0.0f, 0);
        KVE_MoveCamera(0, 0.0f, 10.0f, 0.0f, 0);
        KVE_RotateCamera(0, -90.0f, 0.0f, 0.0f, 0);
        KVE_SetDirectLightEnabled(0);
        KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF));
        KVE_SetGlow(0);
    }
    void TearDown() override
    {
        KVE_ResizeScreen(kve::test::kScreenWidth, kve::test::kScreenHeight);
        KVE_ReleaseObject(groundObject_);
        KVE_ReleaseObject(squareObject_);
        KVE_ReleaseSprite(sprite_);
        for (int material : {groundMaterial_, squareMaterial_, spriteMaterial_})
            KVE_ReleaseMaterial(material);
        KVE_ReleaseMesh(ground_);
        KVE_ReleaseMesh(square_);
        KVE_ReleaseTexture(white_);
        KVE_ReleaseTexture(green_);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_SetGlow(1);
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    }
    // One frame with its overlay, read back at the screen's current size.
    Pixels frame()
    {
        clearBackBuffer();
        KVE_RenderScene(-1);
        KVE_DrawSprite(sprite_, static_cast<float>(KVE_GetScreenWidth() / 2),
                       static_cast<float>(KVE_GetScreenHeight() / 2));
        return Pixels(KVE_GetScreenWidth(), KVE_GetScreenHeight());
    }
    // The scene over the whole picture (lit white ground in every corner), the red
    // square at the 3D centre, square on screen, and the sprite at the 2D centre.
    static void expectWholePicture(const Pixels& p)
    {
        const int w = p.width(), h = p.height();
        for (int x : {2, w - 3})
            for (int y : {2, h - 3})
                EXPECT_TRUE(p.same(x, y, static_cast<int>(0xFFFFFFFF))) << x << ", " << y << " of " << w << "x" << h;
        EXPECT_TRUE(p.same(w / 2, h / 2, kMarker)) << "sprite at the centre of " << w << "x" << h;
        // The red square: 1 unit seen from 10 units away is h / (2 tan 22.5 deg x 10) pixels
        // on a side, the same across as down, centred.
        const double side = h / (20.0 * 0.41421356);
        int left = w, right = -1, top = h, bottom = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (p.same(x, y, kRed, 40) || p.same(x, y, kMarker)) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        EXPECT_NEAR(right - left + 1, side, 3) << w << "x" << h;
        EXPECT_NEAR(bottom - top + 1, side, 3) << w << "x" << h;
        EXPECT_NEAR((left + right) / 2.0, w / 2.0, 2) << w << "x" << h;
        EXPECT_NEAR((top + bottom) / 2.0, h / 2.0, 2) << w << "x" << h;
    }

    int white_ = -1, green_ = -1, ground_ = -1, square_ = -1;
    int groundMaterial_ = -1, squareMaterial_ = -1, spriteMaterial_ = -1, sprite_ = -1;
    int groundObject_ = -1, squareObject_ = -1;
};

TEST_F(Resize, EveryScreenSizedTargetAndQuadTakesTheNewSize)
{
    ASSERT_EQ(KVE_ResizeScreen(1024, 576), 1);
    EXPECT_EQ(KVE_GetScreenWidth(), 1024);
    EXPECT_EQ(KVE_GetScreenHeight(), 576);
    for (unsigned texture : gbuffer().textures) {
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_WIDTH), 1024);
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_HEIGHT), 576);
    }
    for (unsigned texture : sceneTarget().color) {
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_WIDTH), 1024);
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_HEIGHT), 576);
    }
    for (unsigned texture : glowTarget().textures) {
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_WIDTH), 512);
        EXPECT_EQ(textureSize(texture, GL_TEXTURE_HEIGHT), 288);
    }
    GLint depth[2] = {};
    glBindRenderbuffer(GL_RENDERBUFFER, gbuffer().depthRenderbuffer);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &depth[0]);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &depth[1]);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    EXPECT_EQ(depth[0], 1024);
    EXPECT_EQ(depth[1], 576);
    for (unsigned framebuffer : {gbuffer().framebuffer, sceneTarget().framebuffer, glowTarget().framebuffer}) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    // Screen quad (x, y, z, u, v) and direct-light quad (x, y, z, w): the far corner.
    const auto screenQuad = bufferFloats(kve::render::screenQuad().buffer, 20);
    EXPECT_EQ(screenQuad[15], 1024.0f);
    EXPECT_EQ(screenQuad[16], 576.0f);
    const auto lightQuad = bufferFloats(lightVolumes().quadBuffer, 16);
    EXPECT_EQ(lightQuad[12], 1024.0f);
    EXPECT_EQ(lightQuad[13], 576.0f);

    EXPECT_FLOAT_EQ(KVE_GetProjectionAspect(), 1024.0f / 576.0f);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 576);
    // The 2D matrix keeps pixels from the top-left: (1024, 576) is the bottom-right corner.
    KVE_Matrix m2D;
    KVE_Get2DMatrix(&m2D);
    EXPECT_FLOAT_EQ(m2D.c[0].x * 1024.0f + m2D.c[3].x, 1.0f);
    EXPECT_FLOAT_EQ(m2D.c[1].y * 576.0f + m2D.c[3].y, -1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Resize, PicturesFillTheNewSizeAndTheOldOneAgain)
{
    ASSERT_EQ(KVE_ResizeScreen(1024, 576), 1);
    const Pixels small = frame();
    expectWholePicture(small);

    ASSERT_EQ(KVE_ResizeScreen(kve::test::kScreenWidth, kve::test::kScreenHeight), 1);
    expectWholePicture(frame());
    // A tall, narrow screen too.
    ASSERT_EQ(KVE_ResizeScreen(400, 700), 1);
    expectWholePicture(frame());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Resize, AMinimisedScreenDrawsNothingAndComesBackAtItsSize)
{
    ASSERT_EQ(KVE_ResizeScreen(0, 0), 1);
    EXPECT_EQ(KVE_GetScreenWidth(), kve::test::kScreenWidth);
    clearBackBuffer();
    EXPECT_EQ(KVE_RenderScene(-1), 0);
    const Pixels untouched(kve::test::kScreenWidth, kve::test::kScreenHeight);
    EXPECT_TRUE(untouched.same(800, 450, kMarker));
    EXPECT_TRUE(untouched.same(10, 10, kMarker));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    ASSERT_EQ(KVE_ResizeScreen(kve::test::kScreenWidth, kve::test::kScreenHeight), 1);
    expectWholePicture(frame());
}

TEST_F(Resize, ASizeBeyondTheDriversLimitIsRefusedAndLogged)
{
    const std::string before = kve::test::readFile("KVE LogFile.html");
    EXPECT_EQ(KVE_ResizeScreen(70000, 500), 0);
    const std::string log = kve::test::readFile("KVE LogFile.html").substr(before.size());
    EXPECT_EQ(KVE_GetScreenWidth(), kve::test::kScreenWidth);
    EXPECT_NE(log.find("Fail: Screen size 70000 x 500"), std::string::npos) << log;
    expectWholePicture(frame());
}

} // namespace
