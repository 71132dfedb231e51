// The render pass timer read through KVE_GetRenderPassTimes, and GL errors reported
// with the pass they happened in.
#include <gtest/gtest.h>

#include <string>

#include "kve.h"
#include "platform/gl.h"
#include "render/gl_errors.h"
#include "support/test_files.h"

namespace {

constexpr int kLight = 920;

KVE_RENDER_PASS_TIME passNamed(const char* name)
{
    KVE_RENDER_PASS_TIME times[32];
    const int count = KVE_GetRenderPassTimes(times, 32);
    for (int i = 0; i < count && i < 32; ++i)
        if (std::string(times[i].name) == name)
            return times[i];
    ADD_FAILURE() << "no pass " << name;
    return {};
}

void renderFrames(int count)
{
    for (int i = 0; i < count; ++i) {
        KVE_RenderScene(-1);
        KVE_FlipBuffers();
    }
    glFinish();
}

TEST(RenderPassTimes, CountOnlyThePassesThatRanAndOnlyWhileTimingIsOn)
{
    KVE_CreateLight(kLight, 0.0f, 3.0f, 0.0f, KVE_LIGHT_POINT);
    KVE_SetLightShadow(kLight, 1, 0);
    KVE_SetShadows(0);
    renderFrames(2);
    KVE_RENDER_PASS_TIME times[32];
    EXPECT_EQ(KVE_GetRenderPassTimes(times, 32), 14);
    EXPECT_EQ(passNamed("G-buffer").frames, 0) << "nothing is timed before timing is switched on";

    KVE_SetRenderPassTiming(1);
    renderFrames(4);
    KVE_SetShadows(1);
    renderFrames(4);
    KVE_SetShadows(0);
    renderFrames(1); // the last shadowed frame's results are read at the end of this one

    // Read back late but never lost: all frames but the unread last one are in.
    const KVE_RENDER_PASS_TIME gbuffer = passNamed("G-buffer");
    EXPECT_GE(gbuffer.frames, 8);
    EXPECT_LE(gbuffer.frames, 9);
    EXPECT_GT(gbuffer.averageMs, 0.0f);
    EXPECT_GE(gbuffer.maxMs, gbuffer.averageMs);
    // Shadow passes ran only in the four shadowed frames.
    EXPECT_EQ(passNamed("point shadow maps").frames, 4);
    EXPECT_EQ(passNamed("directional shadow map").frames, 4);
    EXPECT_GT(passNamed("point shadow maps").maxMs, 0.0f);
    EXPECT_EQ(passNamed("sky box").frames, 0);

    KVE_SetRenderPassTiming(0);
    renderFrames(2);
    EXPECT_EQ(passNamed("G-buffer").frames, 0) << "switching resets the figures";
    KVE_FreeLight(kLight);
}

TEST(GLErrorReports, AnErrorIsCountedAndLoggedWithItsPass)
{
    const int before = KVE_GetGLErrorCount();
    glEnable(0x1234); // not a capability: GL_INVALID_ENUM
    KVE_RenderScene(-1); // a driver without debug output is checked at pass boundaries
    EXPECT_EQ(KVE_GetGLErrorCount(), before + 1);
    EXPECT_NE(kve::test::readFile("KVE LogFile.html").find("GL error (pass: between frames): GL_INVALID_ENUM"),
              std::string::npos);

    // A clean frame adds nothing.
    KVE_RenderScene(-1);
    EXPECT_EQ(KVE_GetGLErrorCount(), before + 1);
    kve::render::forgetGLErrors();
}

} // namespace
