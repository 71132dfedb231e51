// View culling at 640x360 with shadows off: 100 balls in front of the camera and 1900
// out of its view (half behind it, half beyond the far plane). Every round draws one
// frame in each mode, alternating, so that the machine's load falls on all of them alike:
//   culled   - culling on, the 1900 visible but out of view;
//   hidden   - the 1900 marked invisible (what the frame costs for the 100 alone);
//   unculled - culling off, the 1900 visible (every object drawn).
// Reported: the median frame of each mode and the ratios to the hidden frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "bench_screen.h"
#include "kve.h"
#include "platform/gl.h"
#include "scene_setup.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr int kAbsolute = 0;
constexpr int kGroundObject = 3;
constexpr int kPlaneMesh = 1, kBallMesh = 5;
constexpr int kSeenBalls = 100, kUnseenBalls = 1900;

void loadScene()
{
    std::error_code ignored;
    std::filesystem::current_path(KVE_BENCH_RESOURCES, ignored);
    setUpLightingAndView(); // camera at (0, 4, 8) looking down -z, far 200
    KVE_SetShadows(0);
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kPlaneMesh, "Plane.kvm", "");
    KVE_LoadOBJMesh(kBallMesh, "Ball.obj", "");
    KVE_CalculateMeshTangents(kBallMesh);
    KVE_CreateObject(kGroundObject, kPlaneMesh, KVE_FindMaterial("Plane"), "", 0, 0);
    KVE_ScaleObject(kGroundObject, 10.0f, 10.0f, 10.0f, kAbsolute);
}

KVE_OBJECT* addBall(int material, float x, float y, float z)
{
    KVE_OBJECT* ball = KVE_CreateObject(KVE_AUTO_ID, kBallMesh, material, "", 0, 0);
    if (ball) {
        KVE_ScaleObject(ball->number, 0.5f, 0.5f, 0.5f, kAbsolute);
        KVE_MoveObject(ball->number, x, y, z, kAbsolute);
    }
    return ball;
}

// A 10 x 10 grid on the ground in front of the camera, and the unseen balls (returned)
// in grids behind the camera (z 12 and on) and beyond the far plane (z -200 and on).
std::vector<KVE_OBJECT*> addBalls()
{
    const int material = KVE_FindMaterial("Ball");
    for (int i = 0; i < kSeenBalls; ++i)
        addBall(material, -4.5f + static_cast<float>(i % 10), 0.5f, -1.0f - static_cast<float>(i / 10));
    std::vector<KVE_OBJECT*> unseen;
    for (int i = 0; i < kUnseenBalls; ++i) {
        const bool behind = i % 2 == 0;
        const int k = i / 2;
        const float x = -15.0f + static_cast<float>(k % 30);
        const float z = behind ? 12.0f + static_cast<float>(k / 30) : -200.0f - static_cast<float>(k / 30);
        if (KVE_OBJECT* ball = addBall(material, x, 0.5f, z))
            unseen.push_back(ball);
    }
    return unseen;
}

enum Mode { Culled, Hidden, Unculled, kModeCount };

double frameMilliseconds()
{
    const auto start = std::chrono::steady_clock::now();
    KVE_RenderScene(-1);
    KVE_FlipBuffers();
    glFinish(); // the swap may return while llvmpipe still rasterises
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void cullingFrames(benchmark::State& state)
{
    const std::vector<KVE_OBJECT*> unseen = addBalls();
    std::vector<double> frames[kModeCount];
    KVE_FRAME_STATISTICS statistics[kModeCount]{};
    const auto setMode = [&](int mode) {
        KVE_SetViewCulling(mode == Unculled ? 0 : 1);
        for (KVE_OBJECT* ball : unseen)
            ball->visible = mode == Hidden ? 0 : 1;
    };
    for (int mode = 0; mode < kModeCount; ++mode) { // warm-up
        setMode(mode);
        frameMilliseconds();
    }
    for (auto _ : state)
        for (int mode = 0; mode < kModeCount; ++mode) {
            setMode(mode);
            frames[mode].push_back(frameMilliseconds());
            KVE_GetFrameStatistics(&statistics[mode], sizeof statistics[mode]);
        }
    const double hidden = median(frames[Hidden]);
    state.counters["culled_ms"] = median(frames[Culled]);
    state.counters["hidden_ms"] = hidden;
    state.counters["unculled_ms"] = median(frames[Unculled]);
    state.counters["culled_ratio"] = hidden > 0 ? median(frames[Culled]) / hidden : 0.0;
    state.counters["unculled_ratio"] = hidden > 0 ? median(frames[Unculled]) / hidden : 0.0;
    state.counters["culled_objects"] = statistics[Culled].objectsCulled;
    state.counters["drawn_objects"] = statistics[Culled].objectsDrawn;
    KVE_SetViewCulling(1);
    for (KVE_OBJECT* ball : unseen)
        KVE_ReleaseObject(ball->number);
}
BENCHMARK(cullingFrames)->Iterations(15)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return screenBenchmarkMain(argc, argv, "Korvane Engine culling benchmark", kWidth, kHeight, loadScene, [] {});
}
