// Fuzzes the ".kvm" mesh file reader up to its arrays (the upload needs GL): any text must
// fill them without reading outside the definition tree or the arrays, and when the
// indices stay inside the vertices, as the loader demands before uploading, the tangents
// it may then compute must not step outside either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "defs/definition_node.h"
#include "geometry/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DefinitionNode* root = kve::defs::parseText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz\\");
    DefinitionNode* node = KVE_FindDefinitionNode(root, "Mesh", "", 0);
    kve::geometry::MeshRecord mesh;
    if (node && kve::geometry::readMeshNode(mesh, node)) {
        if (mesh.indices.size() != static_cast<size_t>(mesh.indexCount) || mesh.indexCount % 3 != 0)
            std::abort();
        if (kve::geometry::firstBadIndex(mesh) < 0)
            kve::geometry::computeTangents(mesh);
    }
    if (root)
        KVE_FreeDefinition(root, 1);
    return 0;
}
