// Assimp's scene turned into the engine's mesh arrays (52-byte vertices, a 32-bit index
// list), inside the timed loops of the import benchmarks, so that every reader is timed
// to the same result.
#pragma once

#include <cstdint>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include "geometry/mesh.h"

namespace kve::bench {

inline void assimpToArrays(const aiScene& scene, std::vector<geometry::MeshVertex>& vertices,
                           std::vector<int32_t>& indices)
{
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        const auto first = static_cast<int32_t>(vertices.size());
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            geometry::MeshVertex v{};
            v.position[0] = mesh.mVertices[i].x;
            v.position[1] = mesh.mVertices[i].y;
            v.position[2] = mesh.mVertices[i].z;
            v.position[3] = 1.0f;
            if (mesh.mNormals) {
                v.normal[0] = mesh.mNormals[i].x;
                v.normal[1] = mesh.mNormals[i].y;
                v.normal[2] = mesh.mNormals[i].z;
            }
            if (mesh.mTextureCoords[0]) {
                v.texCoord[0] = mesh.mTextureCoords[0][i].x;
                v.texCoord[1] = mesh.mTextureCoords[0][i].y;
            }
            vertices.push_back(v);
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            for (unsigned k = 0; k < mesh.mFaces[f].mNumIndices && k < 3; ++k)
                indices.push_back(first + static_cast<int32_t>(mesh.mFaces[f].mIndices[k]));
    }
}

// The timed loop of an Assimp import: the file read and turned into the arrays each time.
// Returns the triangles of the last import; 0 (and the run skipped) when Assimp fails.
inline size_t timeAssimpImport(benchmark::State& state, const char* file)
{
    size_t triangles = 0;
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(file, 0);
        if (!scene || scene->mNumMeshes == 0) {
            state.SkipWithError("Assimp could not read the file");
            return 0;
        }
        std::vector<geometry::MeshVertex> vertices;
        std::vector<int32_t> indices;
        assimpToArrays(*scene, vertices, indices);
        triangles = indices.size() / 3;
        benchmark::DoNotOptimize(vertices.data());
    }
    return triangles;
}

} // namespace kve::bench
