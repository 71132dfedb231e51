// What drawing one object costs in each mesh pass: 10 000 small cubes of one mesh and
// material, all in view of the camera and of both shadow maps (redrawn every frame), at
// 640x360. Every GL entry of the engine's function table is wrapped to count the calls
// made in each render pass and the CPU time from a pass's first call to the next pass's;
// divided by the draws of the pass this gives GL calls and CPU microseconds per drawn
// object. Frames with the batched draws on and off (the old path) alternate.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "bench_screen.h"
#include "kve.h"
#include "platform/gl_table.h"
#include "render/pass_timer.h"
#include "scene_setup.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr int kCubeMesh = 11;
constexpr int kSide = 100; // kSide^2 cubes

using Clock = std::chrono::steady_clock;

struct PassTally {
    long long calls = 0, draws = 0;
    double cpuMs = 0;
};
std::array<PassTally, kve::render::kRenderPassCount + 1> tallies{};
int lastPass = -1;
Clock::time_point lastSwitch;

void note(bool draw)
{
    const int pass = static_cast<int>(kve::render::currentRenderPass());
    if (pass != lastPass) {
        const auto now = Clock::now();
        if (lastPass >= 0)
            tallies[static_cast<size_t>(lastPass)].cpuMs +=
                std::chrono::duration<double, std::milli>(now - lastSwitch).count();
        lastPass = pass;
        lastSwitch = now;
    }
    ++tallies[static_cast<size_t>(pass)].calls;
    tallies[static_cast<size_t>(pass)].draws += draw;
}

constexpr bool isDraw(std::string_view name)
{
    return name == "glDrawElements" || name == "glDrawElementsInstanced";
}

template <class Function> struct Counted;
template <class Result, class... Arguments> struct Counted<Result (*)(Arguments...)> {
    template <Result (**original)(Arguments...), bool draw> static Result call(Arguments... arguments)
    {
        note(draw);
        return (*original)(arguments...);
    }
};

#define KVE_GL_FUNCTION(name, type, version) type original_##name = nullptr;
#include "platform/gl_functions.inc"
#undef KVE_GL_FUNCTION

void countGLCalls()
{
#define KVE_GL_FUNCTION(name, type, version)                                                                           \
    original_##name = kve::gl::functions.name;                                                                         \
    if (original_##name)                                                                                               \
        kve::gl::functions.name = &Counted<type>::template call<&original_##name, isDraw(#name)>;
#include "platform/gl_functions.inc"
#undef KVE_GL_FUNCTION
}

void loadScene()
{
    std::error_code ignored;
    std::filesystem::current_path(KVE_BENCH_RESOURCES, ignored);
    setUpLightingAndView(); // the shadowed point light at (0, 5, 0), camera at (0, 4, 8)
    KVE_SetShadowMapReuse(0);
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kCubeMesh, "Cube.kvm", "");
    const int material = KVE_FindMaterial("Ball");
    for (int i = 0; i < kSide * kSide; ++i) {
        const KVE_OBJECT* cube = KVE_CreateObject(KVE_AUTO_ID, kCubeMesh, material, "", 0, 0);
        if (!cube)
            continue;
        KVE_ScaleObject(cube->number, 0.08f, 0.08f, 0.08f, 0);
        KVE_MoveObject(cube->number, -9.0f + 0.18f * static_cast<float>(i % kSide), 0.04f,
                       -2.0f - 0.18f * static_cast<float>(i / kSide), 0);
    }
}

// One frame's tallies, the CPU time closed when KVE_RenderScene returns.
std::array<PassTally, kve::render::kRenderPassCount + 1> frameTallies()
{
    tallies = {};
    lastPass = -1;
    KVE_RenderScene(-1);
    note(false); // between frames: closes the last pass
    const auto frame = tallies;
    KVE_FlipBuffers();
    kve::gl::functions.glFinish();
    return frame;
}

constexpr kve::render::RenderPass kMeshPasses[] = {kve::render::RenderPass::DirectionalShadow,
                                                   kve::render::RenderPass::GBuffer,
                                                   kve::render::RenderPass::PointShadowMaps};

void drawCost(benchmark::State& state)
{
    std::array<PassTally, kve::render::kRenderPassCount + 1> sums[2]{};
    int frames[2] = {0, 0};
    for (int mode = 0; mode < 2; ++mode) { // warm-up
        KVE_SetDrawBatching(mode);
        frameTallies();
    }
    for (auto _ : state)
        for (int batched = 0; batched < 2; ++batched) {
            KVE_SetDrawBatching(batched);
            const auto frame = frameTallies();
            for (size_t pass = 0; pass < frame.size(); ++pass) {
                sums[batched][pass].calls += frame[pass].calls;
                sums[batched][pass].draws += frame[pass].draws;
                sums[batched][pass].cpuMs += frame[pass].cpuMs;
            }
            ++frames[batched];
        }
    KVE_SetDrawBatching(1);
    for (int batched = 0; batched < 2; ++batched)
        for (const auto pass : kMeshPasses) {
            const PassTally& t = sums[batched][static_cast<size_t>(pass)];
            const std::string name = std::string(batched ? "batched " : "old ") + kve::render::renderPassName(pass);
            const double draws = static_cast<double>(std::max(1LL, t.draws));
            std::printf("%-34s %8lld draws/frame %7.2f GL calls/draw %8.2f us CPU/draw %9.1f ms CPU/frame\n",
                        name.c_str(), t.draws / frames[batched], static_cast<double>(t.calls) / draws,
                        1000.0 * t.cpuMs / draws, t.cpuMs / frames[batched]);
        }
}
BENCHMARK(drawCost)->Iterations(8)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return screenBenchmarkMain(
        argc, argv, "Korvane Engine draw cost benchmark", kWidth, kHeight,
        [] {
            countGLCalls();
            loadScene();
        },
        [] {});
}
