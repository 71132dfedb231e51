// Whole frames of the demonstration's scene through KVE_RenderScene on a hidden window:
// the shadowed ground alone, with 20 balls at rest or rolling, with a second shadowed
// light like a bomb's, and the last again with shadows switched off; each shadowed case
// with shadow maps kept between frames and forced to be redrawn. The engine is started
// once for all cases.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "bench_screen.h"
#include "kve.h"
#include "platform/gl.h"
#include "scene_setup.h"

namespace {

constexpr int kWidth = 1600, kHeight = 900;
constexpr int kAbsolute = 0;
constexpr int kBombLight = 40;
constexpr int kGroundObject = 3;
constexpr int kPlaneMesh = 1, kBallMesh = 5;
constexpr int kBallCount = 20;

// The parts of the demonstration's start-up that affect what is drawn: background,
// the shadowed point light, ambient term, projection, camera, materials and the ground.
void loadScene()
{
    std::error_code ignored;
    std::filesystem::current_path(KVE_BENCH_RESOURCES, ignored);
    setUpLightingAndView();
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kPlaneMesh, "Plane.kvm", "");
    KVE_LoadOBJMesh(kBallMesh, "Ball.obj", "");
    KVE_CalculateMeshTangents(kBallMesh);
    KVE_CreateObject(kGroundObject, kPlaneMesh, KVE_FindMaterial("Plane"), "", 0, 0);
    KVE_ScaleObject(kGroundObject, 10.0f, 10.0f, 10.0f, kAbsolute);
}

// Balls of the demonstration's size resting on the ground in a 5 x 4 grid in front of
// the camera; their numbers are returned for the release.
std::vector<int> addBalls(int count)
{
    std::vector<int> balls;
    const int material = KVE_FindMaterial("Ball");
    for (int i = 0; i < count; ++i) {
        const KVE_OBJECT* ball = KVE_CreateObject(KVE_AUTO_ID, kBallMesh, material, "", 0, 0);
        if (!ball)
            continue;
        KVE_ScaleObject(ball->number, 0.5f, 0.5f, 0.5f, kAbsolute);
        KVE_MoveObject(ball->number, -4.0f + 2.0f * static_cast<float>(i % 5), 0.5f,
                       -3.0f + 2.0f * static_cast<float>(i / 5), kAbsolute);
        balls.push_back(ball->number);
    }
    return balls;
}

// The light a bomb carries, 1.2 above a ball near the middle of the grid.
void addBombLight()
{
    KVE_CreateLight(kBombLight, 0.0f, 1.7f, -1.0f, KVE_LIGHT_POINT);
    KVE_SetLightColor(kBombLight, static_cast<int>(0xFF40A0FF));
    KVE_SetLightIntensity(kBombLight, 2.0f);
    KVE_SetLightRange(kBombLight, 10.0f);
    KVE_SetLightShadow(kBombLight, 1, 0);
}

// One frame as the demonstration draws it, then waits for the driver to finish it: the
// swap alone may return while llvmpipe's threads are still rasterising.
void drawFrame()
{
    KVE_RenderScene(-1);
    KVE_FlipBuffers();
    glFinish();
}

// Rolls every ball a step along x and back on alternate frames, so that the balls move
// in every frame without wandering off.
void rollBalls(const std::vector<int>& balls, int frame)
{
    const float step = frame % 2 ? 0.05f : -0.05f;
    for (const int ball : balls) {
        KVE_MoveObject(ball, step, 0.0f, 0.0f, KVE_RELATIVE);
        KVE_RotateObject(ball, 0.0f, 0.0f, frame % 2 ? -5.7f : 5.7f, KVE_RELATIVE);
    }
}

// The per-pass GPU times of each case, printed after the benchmark table.
std::vector<std::pair<std::string, std::vector<KVE_RENDER_PASS_TIME>>> passTables;

void keepPassTimes(const std::string& label)
{
    std::vector<KVE_RENDER_PASS_TIME> times(32);
    times.resize(static_cast<size_t>(std::min(KVE_GetRenderPassTimes(times.data(), 32), 32)));
    passTables.emplace_back(label, times);
}

void printPassTables()
{
    for (const auto& [label, times] : passTables) {
        std::printf("\n%s: GPU time per pass (average of the timed frames)\n", label.c_str());
        double sum = 0;
        for (const KVE_RENDER_PASS_TIME& time : times)
            if (time.frames > 0) {
                std::printf("  %-24s %9.2f ms\n", time.name, time.averageMs);
                sum += time.averageMs;
            }
        std::printf("  %-24s %9.2f ms\n", "all passes", sum);
    }
}

// Arguments: balls, bomb light (0/1), balls moving (0/1), shadows (0/1), shadow map reuse (0/1).
void renderFrame(benchmark::State& state)
{
    const std::vector<int> balls = addBalls(static_cast<int>(state.range(0)));
    if (state.range(1))
        addBombLight();
    const bool moving = state.range(2) != 0;
    KVE_SetShadows(static_cast<int>(state.range(3)));
    KVE_SetShadowMapReuse(static_cast<int>(state.range(4)));
    drawFrame(); // warm-up: first-use program links, shadow maps and texture uploads
    KVE_SetRenderPassTiming(1);
    int frame = 0;
    for (auto _ : state) {
        if (moving)
            rollBalls(balls, ++frame);
        drawFrame();
    }
    keepPassTimes("balls " + std::to_string(state.range(0)) + ", bomb " + std::to_string(state.range(1)) + ", moving " +
                  std::to_string(state.range(2)) + ", shadows " + std::to_string(state.range(3)) + ", reuse " +
                  std::to_string(state.range(4)));
    KVE_SetRenderPassTiming(0);
    KVE_SetShadowMapReuse(1);
    KVE_SetShadows(1);
    if (state.range(1))
        KVE_FreeLight(kBombLight);
    for (const int ball : balls)
        KVE_ReleaseObject(ball);
}
BENCHMARK(renderFrame)
    ->ArgNames({"balls", "bomb", "moving", "shadows", "reuse"})
    ->Args({0, 0, 0, 1, 0})
    ->Args({0, 0, 0, 1, 1})
    ->Args({kBallCount, 0, 0, 1, 0})
    ->Args({kBallCount, 0, 0, 1, 1})
    ->Args({kBallCount, 0, 1, 1, 0})
    ->Args({kBallCount, 0, 1, 1, 1})
    ->Args({kBallCount, 1, 0, 1, 0})
    ->Args({kBallCount, 1, 0, 1, 1})
    ->Args({kBallCount, 1, 0, 0, 1})
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return screenBenchmarkMain(argc, argv, "Korvane Engine frame benchmark", kWidth, kHeight, loadScene,
                               printPassTables);
}
