// The render pass timer read through KVE_GetRenderPassTimes, and GL errors reported
// with the pass they happened in.
#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <string>
#include <vector>

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

// Renders `count` shadowed frames with timing switched on by `enabled`; the wall time of
// each, render and flip, in milliseconds.
std::vector<double> timedFrames(int enabled, int count)
{
    KVE_CreateLight(kLight, 0.0f, 3.0f, 0.0f, KVE_LIGHT_POINT);
    KVE_SetLightShadow(kLight, 1, 0);
    KVE_SetShadows(1);
    KVE_SetRenderPassTiming(enabled);
    std::vector<double> wall;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        KVE_RenderScene(-1);
        KVE_FlipBuffers();
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    glFinish();
    KVE_SetShadows(0);
    KVE_FreeLight(kLight);
    return wall;
}

// No pass can take longer than the frames it ran in.
void expectEveryPassWithin(double averageLimitMs, double maxLimitMs)
{
    KVE_RENDER_PASS_TIME times[32];
    const int count = KVE_GetRenderPassTimes(times, 32);
    int measured = 0;
    for (int i = 0; i < count && i < 32; ++i) {
        if (times[i].frames == 0)
            continue;
        ++measured;
        EXPECT_GE(times[i].averageMs, 0.0f) << times[i].name;
        EXPECT_LE(times[i].averageMs, averageLimitMs) << times[i].name;
        EXPECT_LE(times[i].maxMs, maxLimitMs) << times[i].name;
    }
    EXPECT_GE(measured, 5);
}

bool softwareRenderer()
{
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer && std::string(renderer).find("llvmpipe") != std::string::npos;
}

TEST(RenderPassTimes, EveryPassAverageIsAtMostTheFrameAverage)
{
    const std::vector<double> wall = timedFrames(1, 12);
    // Software rasterisers are timed on the CPU from the start: their queries measure
    // their own bookkeeping, not the pass.
    if (softwareRenderer())
        EXPECT_EQ(KVE_GetRenderPassTimingMethod(), KVE_PASS_TIMING_CPU);
    else
        EXPECT_NE(KVE_GetRenderPassTimingMethod(), KVE_PASS_TIMING_OFF);
    const double average = std::accumulate(wall.begin(), wall.end(), 0.0) / static_cast<double>(wall.size());
    expectEveryPassWithin(average, *std::max_element(wall.begin(), wall.end()));
    KVE_SetRenderPassTiming(0);
    EXPECT_EQ(KVE_GetRenderPassTimingMethod(), KVE_PASS_TIMING_OFF);
}

// The CPU method asked for, on any driver: every pass of a frame is filed at its end, and
// the passes together fit inside the frame.
TEST(RenderPassTimes, TheCpuMethodFilesEachFrameAtOnceWithinItsWallTime)
{
    const std::vector<double> wall = timedFrames(KVE_PASS_TIMING_CPU, 6);
    EXPECT_EQ(KVE_GetRenderPassTimingMethod(), KVE_PASS_TIMING_CPU);
    KVE_RENDER_PASS_TIME times[32];
    const int count = std::min(KVE_GetRenderPassTimes(times, 32), 32);
    double lastSum = 0;
    for (int i = 0; i < count; ++i)
        if (times[i].frames > 0) {
            EXPECT_EQ(times[i].frames, 6) << times[i].name;
            lastSum += times[i].lastMs;
        }
    EXPECT_GT(lastSum, 0.0);
    EXPECT_LE(lastSum, wall.back());
    KVE_SetRenderPassTiming(0);
}

// Timer queries used even where they cannot be trusted: whatever the driver answers, no
// figure longer than the whole run is ever shown (such a frame sends the timer over to the
// CPU method, with an orange entry).
TEST(RenderPassTimes, ImpossibleQueryResultsAreNeverShown)
{
    setenv("KVE_GPU_TIMER_QUERIES", "1", 1);
    const size_t logBefore = kve::test::readFile("KVE LogFile.html").size();
    const auto start = std::chrono::steady_clock::now();
    const std::vector<double> wall = timedFrames(1, 16);
    KVE_RenderScene(-1); // a last frame reads what the others left pending
    KVE_FlipBuffers();
    const double run = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    unsetenv("KVE_GPU_TIMER_QUERIES");
    const int method = KVE_GetRenderPassTimingMethod();
    EXPECT_NE(method, KVE_PASS_TIMING_OFF);
    expectEveryPassWithin(run, run);
    const std::string added = kve::test::readFile("KVE LogFile.html").substr(logBefore);
    EXPECT_EQ(method == KVE_PASS_TIMING_CPU,
              added.find("Warning: GPU timer queries gave a pass longer than its frame") != std::string::npos)
        << added;
    KVE_SetRenderPassTiming(0);
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
