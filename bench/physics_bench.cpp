// The physics step on a fixed scene: 200 balls (sphere bodies of radius 0.5, mass 1) in
// a 10 x 20 grid dropped from heights 2..6 onto the static ground plane body (scaled by
// 10), stepped at 60 Hz without the phase pauses. Measured per step after a settling run.
#include <benchmark/benchmark.h>

#include "physics/physics.h"
#include "scene/object.h"

namespace {

constexpr int kPlaneMesh = 900, kBallMesh = 901, kBallBody = 902;

void buildScene()
{
    KVE_CreateMesh(kPlaneMesh, "");
    KVE_SetMeshVertexCount(kPlaneMesh, 4);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i)
        KVE_SetMeshVertex(kPlaneMesh, i, corners[i][0], 0, corners[i][1], 1);
    KVE_SetMeshTriangleCount(kPlaneMesh, 2);
    KVE_SetMeshTriangle(kPlaneMesh, 0, 0, 2, 1);
    KVE_SetMeshTriangle(kPlaneMesh, 1, 1, 2, 3);
    KVE_CreateMesh(kBallMesh, "");
    KVE_SetMeshVertexCount(kBallMesh, 1);
    KVE_CreateSphereBody(kBallBody, 0.5f, "");

    KVE_OBJECT* ground = KVE_CreateObject(-1, kPlaneMesh, -1, "", 0, 0);
    KVE_ScaleObject(ground->number, 10, 10, 10, 0);
    KVE_SetObjectBody(ground->number, KVE_BODY_MESH, 1.0f);
    for (int i = 0; i < 200; ++i) {
        KVE_OBJECT* ball = KVE_CreateObject(-1, kBallMesh, -1, "", 0, 0);
        KVE_MoveObject(ball->number, -9.0f + (i % 10) * 2.0f, 2.0f + (i % 5), -9.5f + (i / 10) * 1.0f, 0);
        KVE_SetObjectBody(ball->number, kBallBody, 1.0f);
        KVE_SetObjectMass(ball->number, 1.0f);
    }
    KVE_SetGravity(0, -9.81f, 0);
}

void tearDown()
{
    kve::scene::releaseObjects();
    kve::physics::releaseAll();
    KVE_ReleaseMesh(kPlaneMesh);
    KVE_ReleaseMesh(kBallMesh);
}

void BM_Korvane200BallsOnPlane(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildScene();
    for (int i = 0; i < 60; ++i)
        kve::physics::step(1.0f / 60.0f);
    for (auto _ : state)
        kve::physics::step(1.0f / 60.0f);
    state.counters["dynamic"] = KVE_GetPhysicsObjectCount(1);
    tearDown();
}
BENCHMARK(BM_Korvane200BallsOnPlane)->Unit(benchmark::kMicrosecond);

void BM_KorvaneStepPauses(benchmark::State& state)
{
    kve::physics::setPhasePause(true);
    KVE_InitPhysics();
    buildScene();
    for (auto _ : state)
        kve::physics::step(1.0f / 60.0f);
    kve::physics::setPhasePause(false);
    tearDown();
}
BENCHMARK(BM_KorvaneStepPauses)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

BENCHMARK_MAIN();
