// libFuzzer harness for the glTF importer (GLB container and JSON, accessors, node tree,
// materials, the images through the engine's decoders), without GL: any bytes must fail
// with a reason or give meshes whose indices stay inside their vertices and objects that
// name existing meshes, materials and nodes. External files are looked for in an empty
// directory of this process, so the run reads nothing but its input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "geometry/gltf_import.h"

namespace gltf = kve::geometry::gltf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string directory = [] {
        const auto made = std::filesystem::temp_directory_path() / ("kve_gltf_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        return made.string() + "/";
    }();
    gltf::ImportedScene scene;
    if (!gltf::importScene(data, size, directory, scene).empty())
        return 0;
    for (const gltf::ImportedMesh& mesh : scene.meshes) {
        if (mesh.indices.size() % 3 != 0)
            std::abort();
        for (int32_t index : mesh.indices)
            if (index < 0 || static_cast<size_t>(index) >= mesh.vertices.size())
                std::abort();
    }
    for (const gltf::ImportedObject& object : scene.objects)
        if (static_cast<size_t>(object.mesh) >= scene.meshes.size() ||
            static_cast<size_t>(object.material) >= scene.materials.size() ||
            static_cast<size_t>(object.node) >= scene.nodes.size())
            std::abort();
    for (const gltf::ImportedMaterial& material : scene.materials)
        if (material.colorTexture >= static_cast<int>(scene.textures.size()) ||
            material.normalTexture >= static_cast<int>(scene.textures.size()))
            std::abort();
    return 0;
}
