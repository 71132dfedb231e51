// libFuzzer harness for the OBJ reader: any bytes must parse without reading outside the
// input or the attribute lists, and give whole triangles whose groups exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "geometry/obj_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kve::geometry::ObjMeshData mesh;
    const std::string error = kve::geometry::parseObj(std::string_view(reinterpret_cast<const char*>(data), size), mesh);
    if (!error.empty())
        return 0;
    if (mesh.vertices.size() % 3 != 0 || mesh.indices.size() != mesh.vertices.size())
        std::abort();
    for (const kve::geometry::MeshVertex& vertex : mesh.vertices)
        if (vertex.group < 0 || (vertex.group > 0 && static_cast<size_t>(vertex.group) >= mesh.groups.size()))
            std::abort();
    return 0;
}
