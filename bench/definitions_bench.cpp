// Definition files at mesh-file scale: parsing a generated mesh text of 200,000 vertices
// (vertices, normals, texture coordinates and faces, written as the mesh saver writes
// them) and the lookups and readers a mesh loader makes on the tree.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kve.h"

namespace {

constexpr int kVertices = 200'000;
constexpr int kTriangles = 2 * kVertices;

// One saved-mesh line: two tabs, then each number with a blank when not negative.
void appendNumbers(std::string& text, const float* values, int count)
{
    char number[32];
    text += "\t\t";
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "%s%s%.6f", i ? "," : "", values[i] < 0 ? "" : " ", values[i]);
        text += number;
    }
    text += "\r\n";
}

std::string makeMeshText()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> texture(0.0f, 1.0f);
    std::string text = "Mesh: generated {\r\n";
    const auto block = [&](const char* name, int count, auto&& line) {
        text.append("\t").append(name).append(": ").append(std::to_string(count)).append(" {\r\n");
        for (int i = 0; i < count; ++i)
            line(i);
        text += "\t}\r\n\r\n";
    };
    block("Vertices", kVertices, [&](int) {
        const float v[3] = {coordinate(random), coordinate(random), coordinate(random)};
        appendNumbers(text, v, 3);
    });
    block("Normals", kVertices, [&](int) {
        const float n[3] = {unit(random), unit(random), unit(random)};
        appendNumbers(text, n, 3);
    });
    block("TextureCoords", kVertices, [&](int) {
        const float t[2] = {texture(random), texture(random)};
        appendNumbers(text, t, 2);
    });
    block("Faces", kTriangles, [&](int i) {
        char face[48];
        std::snprintf(face, sizeof face, "\t\t %d,%d,%d\r\n", i / 2, i / 2 + 1, i / 2 + 2);
        text += face;
    });
    text += "}\r\n";
    return text;
}

const std::string& meshText()
{
    static const std::string text = makeMeshText();
    return text;
}

void BM_ParseMeshText(benchmark::State& state)
{
    const std::string& text = meshText();
    for (auto _ : state) {
        DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), "");
        benchmark::DoNotOptimize(root);
        KVE_FreeDefinition(root, 1);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ParseMeshText)->Unit(benchmark::kMillisecond);

void BM_ReadMeshFile(benchmark::State& state)
{
    const auto path = std::filesystem::temp_directory_path() / "kve_definitions_bench.kvm";
    std::ofstream(path, std::ios::binary) << meshText();
    for (auto _ : state) {
        DefinitionNode* root = KVE_ReadDefinitionFile(path.c_str());
        benchmark::DoNotOptimize(root);
        KVE_FreeCurrentDefinition();
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(meshText().size()));
}
BENCHMARK(BM_ReadMeshFile)->Unit(benchmark::kMillisecond);

// What a mesh loader does with the tree: find the blocks, then one vector or integer
// reader per element, walking the children from sibling to sibling.
void BM_LoaderReadsMeshTree(benchmark::State& state)
{
    DefinitionNode* root = KVE_ParseDefinitionText(meshText().c_str(), "");
    int64_t elements = 0;
    for (auto _ : state) {
        DefinitionNode* mesh = KVE_FindDefinitionNode(root, "Mesh", "", 0);
        for (const char* key : {"\\Vertices", "\\Normals", "\\TextureCoords"}) {
            DefinitionNode* block = KVE_FindDefinitionNode(mesh, key, "", 0);
            KVE_Vector v{};
            for (DefinitionNode* line = KVE_GetDefinitionChild(block, 0); line;
                 line = KVE_NextDefinitionSibling(line)) {
                KVE_GetDefinitionVector(line, &v, 0, 0, 0);
                benchmark::DoNotOptimize(v);
                ++elements;
            }
        }
        DefinitionNode* faces = KVE_FindDefinitionNode(mesh, "\\Faces", "", 0);
        const int count = KVE_CountDefinitionChildren(faces, "");
        for (int i = 0; i < count; ++i) {
            DefinitionNode* face = KVE_GetDefinitionChild(faces, i);
            for (int corner = 0; corner < 3; ++corner)
                benchmark::DoNotOptimize(KVE_GetDefinitionInteger(KVE_GetDefinitionChild(face, corner), 0));
            ++elements;
        }
    }
    KVE_FreeDefinition(root, 1);
    state.SetItemsProcessed(elements);
}
BENCHMARK(BM_LoaderReadsMeshTree)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
