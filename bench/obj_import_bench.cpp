// OBJ import side by side: the engine's reader against tinyobjloader and Assimp on one
// generated file of about a million triangles. Each measures file to mesh arrays (one
// vertex per face corner, as the engine keeps them, and a 32-bit index list), without
// the GL upload.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/obj_import.h"

#ifdef KVE_BENCH_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif
#ifdef KVE_BENCH_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "assimp_arrays.h"
#endif

namespace {

using kve::geometry::MeshVertex;

// 708 x 708 quads of a rolling terrain: 1,002,528 triangles, every corner with position,
// texture coordinate and normal indices.
constexpr int kCells = 708;

const std::string& benchFile()
{
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "kve_obj_import_bench.obj";
        std::FILE* out = std::fopen(file.string().c_str(), "wb");
        if (!out)
            return std::string();
        std::fprintf(out, "# generated terrain, %d x %d quads\no Terrain\ng Ground\n", kCells, kCells);
        const int side = kCells + 1;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) {
                const double x = i * 0.1, z = j * 0.1;
                std::fprintf(out, "v %.6f %.6f %.6f\n", x, 0.5 * std::sin(x) * std::cos(z), z);
            }
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j)
                std::fprintf(out, "vt %.6f %.6f\n", static_cast<double>(i) / kCells, static_cast<double>(j) / kCells);
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) {
                const double x = i * 0.1, z = j * 0.1;
                const double dx = 0.5 * std::cos(x) * std::cos(z), dz = -0.5 * std::sin(x) * std::sin(z);
                const double l = std::sqrt(dx * dx + 1 + dz * dz);
                std::fprintf(out, "vn %.6f %.6f %.6f\n", -dx / l, 1 / l, -dz / l);
            }
        std::fprintf(out, "s 1\n");
        for (int i = 0; i < kCells; ++i)
            for (int j = 0; j < kCells; ++j) {
                const int a = i * side + j + 1, b = a + 1, c = a + side, d = c + 1;
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", c, c, c, b, b, b, d, d, d);
            }
        std::fclose(out);
        return file.string();
    }();
    return path;
}

void reportTriangles(benchmark::State& state, size_t triangles)
{
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(std::filesystem::file_size(benchFile())),
                           benchmark::Counter::kIsIterationInvariantRate, benchmark::Counter::kIs1000);
}

void BM_Korvane(benchmark::State& state)
{
    size_t triangles = 0;
    for (auto _ : state) {
        kve::geometry::ObjMeshData data;
        std::string error;
        if (!kve::geometry::loadObjFile(benchFile().c_str(), data, error) || !error.empty()) {
            state.SkipWithError("the engine could not read the file");
            return;
        }
        triangles = data.indices.size() / 3;
        benchmark::DoNotOptimize(data.vertices.data());
    }
    reportTriangles(state, triangles);
}
BENCHMARK(BM_Korvane)->Unit(benchmark::kMillisecond)->MinTime(2.0);

#ifdef KVE_BENCH_HAVE_TINYOBJLOADER
template <class Source> void copyTo(float* target, const Source* source, int count, int index)
{
    if (index >= 0)
        for (int k = 0; k < count; ++k)
            target[k] = static_cast<float>(source[static_cast<size_t>(index) * static_cast<size_t>(count) + k]);
}

void BM_TinyObjLoader(benchmark::State& state)
{
    size_t triangles = 0;
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warning, error;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, benchFile().c_str(), nullptr, true)) {
            state.SkipWithError("tinyobjloader could not read the file");
            return;
        }
        std::vector<MeshVertex> vertices;
        std::vector<int32_t> indices;
        for (const tinyobj::shape_t& shape : shapes) {
            for (const tinyobj::index_t& corner : shape.mesh.indices) {
                MeshVertex v{};
                copyTo(v.position, attrib.vertices.data(), 3, corner.vertex_index);
                v.position[3] = 1.0f;
                copyTo(v.normal, attrib.normals.data(), 3, corner.normal_index);
                copyTo(v.texCoord, attrib.texcoords.data(), 2, corner.texcoord_index);
                indices.push_back(static_cast<int32_t>(vertices.size()));
                vertices.push_back(v);
            }
        }
        triangles = indices.size() / 3;
        benchmark::DoNotOptimize(vertices.data());
    }
    reportTriangles(state, triangles);
}
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

#ifdef KVE_BENCH_HAVE_ASSIMP
void BM_Assimp(benchmark::State& state)
{
    reportTriangles(state, kve::bench::timeAssimpImport(state, benchFile().c_str()));
}
BENCHMARK(BM_Assimp)->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

} // namespace

int main(int argc, char** argv)
{
    if (benchFile().empty()) {
        std::fprintf(stderr, "could not write the benchmark's OBJ file\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove(benchFile(), ignored);
    return 0;
}
