// Wavefront OBJ import without GL: the text is turned into the arrays of a mesh, one
// vertex per face corner. KVE_LoadOBJMesh uploads the result; the benchmark and the
// fuzz harness call these directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/mesh.h"

namespace kve::geometry {

struct ObjMeshData {
    std::vector<MeshVertex> vertices; // one per face corner, in order of appearance
    std::vector<int32_t> indices;     // triangle t is 3t, 3t + 1, 3t + 2
    std::vector<std::string> groups;  // names of the "g" lines in order of first appearance
    int32_t firstBadIndexLine = 0;    // 1-based line of the first index naming no element, 0: none
    int32_t firstShortFaceLine = 0;   // line of the first face with fewer than three corners, 0: none
};

// Parses OBJ text into `out`. Returns an empty text on success, otherwise the failure
// message for the log ("Fail: ..."). Text without a face is no failure here: the
// loader decides what an empty mesh means.
std::string parseObj(std::string_view text, ObjMeshData& out);

// A whole file in memory (left uninitialised before the read, unlike a std::string).
struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string_view text() const { return {data.get(), size}; }
};

// Reads the whole file at `path` (either directory separator); false when it cannot be
// opened or read.
bool readWholeFile(const char* path, FileBytes& bytes);

// Reads and parses an OBJ file: the internal entry point of KVE_LoadOBJMesh. Returns
// false when the file cannot be read; a parse failure leaves its message in `error`.
bool loadObjFile(const char* path, ObjMeshData& out, std::string& error);

} // namespace kve::geometry
