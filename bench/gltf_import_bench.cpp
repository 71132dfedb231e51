// glTF import side by side: the engine's importer against Assimp's glTF 2.0 importer on
// one generated GLB of two million triangles. Each goes from the file on disk (the engine
// maps it, as KVE_LoadGLTFScene does) to the
// engine's mesh arrays (52-byte vertices, a 32-bit index list), without the GL upload.
// The engine's figure includes its tangents, which the file does not hold and which its
// normal-mapping programs need; Assimp runs without post-processing.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "geometry/gltf_import.h"
#include "platform/mapped_file.h"

#ifdef KVE_BENCH_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include "assimp_arrays.h"
#endif

namespace {

using kve::geometry::MeshVertex;

// Written at build time by kve_make_gltf --grid: 1000 x 1000 quads with positions,
// normals, texture coordinates and 32-bit indices.
const char* kFile = KVE_BENCH_GLTF_GRID;

void BM_Korvane(benchmark::State& state)
{
    size_t triangles = 0;
    for (auto _ : state) {
        kve::platform::MappedFile bytes;
        kve::geometry::gltf::ImportedScene scene;
        if (!bytes.open(kFile) || !kve::geometry::gltf::importScene(bytes.data(), bytes.size(), "", scene).empty()) {
            state.SkipWithError("the engine could not read the file");
            return;
        }
        triangles = static_cast<size_t>(scene.triangles);
        benchmark::DoNotOptimize(scene.meshes.data());
    }
    state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_Korvane)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#ifdef KVE_BENCH_HAVE_ASSIMP
void BM_Assimp(benchmark::State& state)
{
    state.counters["triangles"] = static_cast<double>(kve::bench::timeAssimpImport(state, kFile));
}
BENCHMARK(BM_Assimp)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

} // namespace

BENCHMARK_MAIN();
