// Whole frames of the demonstration's scene through KVE_RenderScene on a hidden window:
// the shadowed ground alone, with 20 balls, with a second shadowed light like a bomb's,
// and the last again with shadows switched off. The engine is started once for all cases.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

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

// Arguments: balls, bomb light (0/1), shadows (0/1).
void renderFrame(benchmark::State& state)
{
    const std::vector<int> balls = addBalls(static_cast<int>(state.range(0)));
    if (state.range(1))
        addBombLight();
    KVE_SetShadows(static_cast<int>(state.range(2)));
    drawFrame(); // warm-up: first-use program links, shadow maps and texture uploads
    for (auto _ : state)
        drawFrame();
    KVE_SetShadows(1);
    if (state.range(1))
        KVE_FreeLight(kBombLight);
    for (const int ball : balls)
        KVE_ReleaseObject(ball);
}
BENCHMARK(renderFrame)
    ->ArgNames({"balls", "bomb", "shadows"})
    ->Args({0, 0, 1})
    ->Args({kBallCount, 0, 1})
    ->Args({kBallCount, 1, 1})
    ->Args({kBallCount, 1, 0})
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const int window = KVE_OpenWindow("Korvane Engine frame benchmark", kWidth, kHeight, 1);
    if (!window || !KVE_OpenScreen(window, 0, 0, kWidth, kHeight, 32)) {
        std::fputs("frame_bench: no window or OpenGL 3.3 surface\n", stderr);
        return 1;
    }
    KVE_SetSwapInterval(0);
    KVE_ShowLogo(0);
    loadScene();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    KVE_Shutdown();
    return 0;
}
