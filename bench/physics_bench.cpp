// The physics step on ball scenes of growing size: N spheres (radius 0.5, mass 1) in one
// layer dropped from heights 2..6 onto a static ground of two triangles, widened with N
// so that the density stays that of 200 balls on 20 x 20 units; stepped at 60 Hz and
// measured per step after the drop has settled. The engine runs with its broad phase and
// with every pair tested; Bullet, when its package is found, runs the same scenes. A
// pile of 3000 balls on the demonstration's 20 x 20 ground, with the phase pauses, gives
// the demonstration's step. Compare engines with
//   kve_physics_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
// so that the runs of the two engines alternate.
#include <cmath>
#include <cstdio>
#include <string>

#include "physics_scenes.h"

namespace {

using namespace kve::bench;

constexpr int kCounts[] = {100, 500, 1000, 2000, 5000, 10000};
constexpr int kAllPairsUpTo = 2000; // every pair tested: beyond this a run takes minutes
constexpr int kPileBalls = 3000;

// Planks (the demonstration's box body: a unit cube scaled 1 x 0.5 x 0.2) dropped in five
// layers of 40 onto the 20 x 20 ground and onto each other, turned about the vertical
// and slightly tilted; the mesh-mesh pair tests dominate.
constexpr int kPlankCount = 200;
constexpr int kPlankSettlingSteps = 30, kPlankTimedSteps = 600;

void buildPlanks()
{
    buildGround(10.0f);
    buildCubeBody();
    for (int i = 0; i < kPlankCount; ++i) {
        KVE_OBJECT* plank = KVE_CreateObject(-1, kCubeMesh, -1, "", 0, 0);
        KVE_ScaleObject(plank->number, 1.0f, 0.5f, 0.2f, 0);
        KVE_MoveObject(plank->number, -4.0f + 2.0f * static_cast<float>(i % 5), 1.0f + 0.6f * static_cast<float>(i / 40),
                       -3.5f + static_cast<float>((i / 5) % 8), 0);
        KVE_RotateObject(plank->number, 90.0f + static_cast<float>(i % 7) * 3.0f, static_cast<float>(i * 37 % 360),
                         static_cast<float>(i % 3) * 4.0f, 0);
        KVE_SetObjectBody(plank->number, kBoxBody, 1.0f);
        KVE_SetObjectMass(plank->number, 1.0f);
    }
}

void BM_KorvanePlanks(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildPlanks();
    for (int i = 0; i < kPlankSettlingSteps; ++i)
        kve::physics::step(kStep);
    for (auto _ : state)
        kve::physics::step(kStep);
    int below = 0; // planks that sank through the ground
    for (const KVE_OBJECT* object : kve::physics::world().dynamicSet)
        below += std::fabs(object->v4fPosition.x) < 10.0f && std::fabs(object->v4fPosition.z) < 10.0f &&
                 object->v4fPosition.y < 0.0f;
    state.counters["below_ground"] = below;
    tearDown();
    KVE_ReleaseMesh(kCubeMesh);
}

// One mesh-mesh pair test of two planks laid crosswise, 0.05 into each other (turned 0 and
// 90 degrees: at other turns the box test without its widening misses them), without
// the response (nothing moves, so every call does the same work): the leaf test itself.
void BM_KorvaneCrossedPlankTest(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildCubeBody();
    KVE_OBJECT* planks[2];
    for (int i = 0; i < 2; ++i) {
        planks[i] = KVE_CreateObject(-1, kCubeMesh, -1, "", 0, 0);
        KVE_ScaleObject(planks[i]->number, 1.0f, 0.5f, 0.2f, 0);
        KVE_MoveObject(planks[i]->number, 0.1f * static_cast<float>(i), 0.15f * static_cast<float>(i), 0, 0);
        KVE_RotateObject(planks[i]->number, 90, 90.0f * static_cast<float>(i), 0, 0);
        KVE_SetObjectBody(planks[i]->number, kBoxBody, 1.0f);
        KVE_SetObjectMass(planks[i]->number, 1.0f);
    }
    int contacts = 0;
    for (auto _ : state)
        contacts += kve::physics::collide(*planks[0], *planks[1]);
    state.counters["contact"] = contacts > 0;
    kve::scene::releaseObjects();
    kve::physics::releaseAll();
    KVE_ReleaseMesh(kCubeMesh);
}

void registerAll()
{
    benchmark::RegisterBenchmark("BM_KorvaneCrossedPlankTest", BM_KorvaneCrossedPlankTest)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_KorvanePlanks/200", BM_KorvanePlanks)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(kPlankTimedSteps);
    for (int count : kCounts) {
        const Layout layout(count);
        const auto named = [count](const char* base) {
            char name[64];
            std::snprintf(name, sizeof name, "%s/%d", base, count);
            return std::string(name);
        };
        benchmark::RegisterBenchmark(named("BM_KorvaneBalls").c_str(),
                                     [layout](benchmark::State& s) { runKorvane(s, layout, true, false); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(timedSteps(count));
#ifdef KVE_BENCH_HAVE_BULLET
        benchmark::RegisterBenchmark(named("BM_BulletBalls").c_str(),
                                     [layout](benchmark::State& s) { runBullet(s, layout); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(timedSteps(count));
#endif
        if (count <= kAllPairsUpTo)
            benchmark::RegisterBenchmark(named("BM_KorvaneBallsAllPairs").c_str(),
                                         [layout](benchmark::State& s) { runKorvane(s, layout, false, false); })
                ->Unit(benchmark::kMillisecond)
                ->Iterations(timedSteps(count));
    }
    const Layout pile = Layout::pile(kPileBalls);
    benchmark::RegisterBenchmark("BM_KorvaneDemoPileWithPauses/3000",
                                 [pile](benchmark::State& s) { runKorvane(s, pile, true, true); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(120);
}

} // namespace

int main(int argc, char** argv)
{
    return kve::bench::benchmarkMain(argc, argv, registerAll);
}
