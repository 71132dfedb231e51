// glTF 2.0 import without GL: a file's bytes turned into the engine-side pieces of a scene
// (meshes, textures with their decoded images, materials, nodes, objects), checked
// throughout, so that registering them afterwards cannot fail on the file's account.
// KVE_LoadGLTFScene and KVE_LoadGLTFMesh register the result; the benchmark and the fuzz
// harness call these directly. Nothing here exposes the parser's own types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/mesh.h"
#include "gpu/image.h"
#include "gpu/texture.h"

namespace kve::geometry::gltf {

struct ImportedMesh {
    std::string name;
    std::vector<MeshVertex> vertices;
    std::vector<int32_t> indices; // triangle list, counter-clockwise fronts
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
};

struct ImportedTexture {
    std::string name;
    gpu::Image image; // decoded, with a MASK material's cutoff already baked into alpha
    gpu::TextureSampling sampling;
};

struct ImportedMaterial {
    std::string name;
    int kind = KVE_SHADER_NORMAL_MAPPING;
    int colorTexture = -1;  // index into the textures; -1: the plain white one
    int normalTexture = -1; // -1: the flat normal one
    float color[4] = {1, 1, 1, 1};
    float shine = 0, hardness = 1, emission = 0;
    float shineColor[4] = {1, 1, 1, 1};
    bool doubleSided = false;
    bool blended = false;
};

// An engine node: its placement relative to its parent node, rigid (rotation and
// position); glTF's scale lives in the objects below it.
struct ImportedNode {
    std::string name;
    int parent = -1; // index into the nodes; -1: the scene's root node
    float position[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1}; // x, y, z, w
};

struct ImportedObject {
    int node = 0, mesh = 0, material = 0;
    float scale[3] = {1, 1, 1};
    float world[16] = {}; // column-major world matrix below the root node
};

struct ImportedScene {
    std::vector<ImportedMesh> meshes;
    std::vector<ImportedTexture> textures;
    std::vector<ImportedMaterial> materials;
    std::vector<ImportedNode> nodes;
    std::vector<ImportedObject> objects;
    bool needsWhite = false, needsFlatNormal = false; // texture stand-ins the materials use
    int64_t triangles = 0;
    float boundsMin[3] = {0, 0, 0}, boundsMax[3] = {0, 0, 0};
    std::vector<std::string> warnings; // orange entries for the log
};

// The file's bytes: ".glb" when they start with the binary magic, JSON text otherwise.
// External buffers and images are read relative to `baseDirectory`. Each returns an empty
// text on success, otherwise the reason for the log.
std::string importScene(const uint8_t* data, size_t size, const std::string& baseDirectory, ImportedScene& out);
std::string importMesh(const uint8_t* data, size_t size, const std::string& baseDirectory, int meshIndex,
                       ImportedMesh& out, std::vector<std::string>& warnings);

} // namespace kve::geometry::gltf
