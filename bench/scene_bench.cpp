// The per-frame costs of the scene: world matrices of attached items (what the renderer
// asks for every drawn object), the mouse-look camera turns and moves in world axes.
#include <benchmark/benchmark.h>

#include <vector>

#include "kve.h"
#include "scene/camera.h"
#include "scene/item.h"

namespace {

namespace scene = kve::scene;

// A chain of `length` turned nodes, each attached to the one before; the last is returned.
KVE_NODE* makeChain(int length)
{
    KVE_NODE* previous = nullptr;
    for (int i = 0; i < length; ++i) {
        KVE_NODE* node = KVE_CreateNode(i, "");
        KVE_RotateNode(i, 5, 10, 0, 0);
        KVE_MoveNode(i, 1, 0, 0, 0);
        if (previous)
            KVE_AttachItem(&previous->item, &node->item, i % 2 ? KVE_ATTACH_FULL : KVE_ATTACH_RIGID);
        previous = node;
    }
    return previous;
}

void releaseChain(int length)
{
    for (int i = length - 1; i >= 0; --i)
        KVE_ReleaseNode(i);
}

// World matrix of the last item of a chain (length 1 = not attached).
void worldMatrixOfChain(benchmark::State& state)
{
    const int length = static_cast<int>(state.range(0));
    const KVE_NODE* last = makeChain(length);
    for (auto _ : state)
        benchmark::DoNotOptimize(scene::worldMatrix(last->item));
    releaseChain(length);
}
BENCHMARK(worldMatrixOfChain)->Arg(1)->Arg(2)->Arg(5)->Arg(17);

// One frame of mouse look and walking: two turns and two moves, each with its camera update.
void cameraMouseLook(benchmark::State& state)
{
    scene::resetCamera();
    for (auto _ : state) {
        KVE_RotateCamera(0, 0, -0.3f, 0, KVE_RELATIVE | KVE_GLOBAL);
        KVE_RotateCamera(0, 0.2f, 0, 0, KVE_RELATIVE | KVE_LOCAL);
        KVE_MoveCamera(0, 0, 0, -0.016f, KVE_RELATIVE | KVE_LOCAL);
        KVE_MoveCamera(0, 0.016f, 0, 0, KVE_RELATIVE | KVE_LOCAL);
    }
    benchmark::DoNotOptimize(scene::cameraViewMatrix());
}
BENCHMARK(cameraMouseLook);

// Moving and turning an attached item in world axes (inverts the parent chain).
void placeAttachedGlobal(benchmark::State& state)
{
    const KVE_NODE* last = makeChain(3);
    for (auto _ : state) {
        KVE_MoveNode(last->number, 0.001f, 0, 0, KVE_RELATIVE | KVE_GLOBAL);
        KVE_RotateNode(last->number, 0, 0.1f, 0, KVE_RELATIVE | KVE_GLOBAL);
    }
    benchmark::DoNotOptimize(last->position);
    releaseChain(3);
}
BENCHMARK(placeAttachedGlobal);

} // namespace

BENCHMARK_MAIN();
