// ".kvm" mesh files: the text KVE_SaveMesh writes and the reader KVE_LoadMesh.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "core/log.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "geometry/mesh.h"

namespace kve::geometry {
namespace {

constexpr const char* kLineEnd = "\r\n";

// Fixed notation with six decimals whatever the C locale says, after a blank when the
// number is not negative.
void appendNumber(std::string& text, float value)
{
    if (!(value < 0.0f))
        text += ' ';
    char digits[64];
    const auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    text.append(digits, written.ec == std::errc{} ? written.ptr : digits);
}

void appendList(std::string& text, const float* values, int count)
{
    text += "\t\t";
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ',';
        appendNumber(text, values[i]);
    }
    text += kLineEnd;
}

void appendSectionOpen(std::string& text, const char* key, int count)
{
    text += '\t';
    text += key;
    text += ": " + std::to_string(count) + " {" + kLineEnd;
}

void appendSectionClose(std::string& text)
{
    text += "\t}";
    text += kLineEnd;
    text += kLineEnd;
}

// The children of a block node in order; none for an absent block.
template <class Visit>
void forEachChild(const DefinitionNode* block, Visit&& visit)
{
    int index = 0;
    for (const DefinitionNode* child = KVE_GetDefinitionChild(block, 0); child;
         child = KVE_NextDefinitionSibling(child))
        visit(index++, child);
}

// A list child read by the vector reader into three floats; components the list lacks
// keep what `xyz` held.
void readVector(const DefinitionNode* child, float* xyz)
{
    KVE_Vector v{xyz[0], xyz[1], xyz[2], 0.0f};
    KVE_GetDefinitionVector(child, &v, 0.0f, 0.0f, 0.0f);
    xyz[0] = v.x;
    xyz[1] = v.y;
    xyz[2] = v.z;
}

// A third texture coordinate number is the vertex's group index.
int32_t groupFromNumber(float value)
{
    return std::isfinite(value) && std::fabs(value) < 2147483520.0f ? static_cast<int32_t>(value) : 0;
}

// The number a mesh file writes before a section's brace, when the text is one; a file
// cut short holds fewer entries than it states.
std::string sectionShortfall(const DefinitionNode* section, const char* key)
{
    const std::string_view stated = section ? section->valueText() : std::string_view{};
    long long count = 0;
    const auto [end, error] = std::from_chars(stated.data(), stated.data() + stated.size(), count);
    if (stated.empty() || error != std::errc{} || end != stated.data() + stated.size())
        return {};
    const int held = KVE_CountDefinitionChildren(section, "");
    if (count == held)
        return {};
    return std::string(key) + " states " + std::string(stated) + " entries, the file holds " + std::to_string(held);
}

} // namespace

std::string meshFileDamage(DefinitionNode* node)
{
    for (const char* key : {"Vertices", "Normals", "TextureCoords", "Faces"}) {
        const std::string path = std::string("\\") + key;
        std::string shortfall = sectionShortfall(KVE_FindDefinitionNode(node, path.c_str(), "", 0), key);
        if (!shortfall.empty())
            return shortfall;
    }
    return {};
}

bool readMeshNode(MeshRecord& mesh, DefinitionNode* node)
{
    constexpr const char* kProcedure = "KVE_LoadMesh";
    const DefinitionNode* vertices = KVE_FindDefinitionNode(node, "\\Vertices", "", 0);
    const DefinitionNode* faces = KVE_FindDefinitionNode(node, "\\Faces", "", 0);
    if (!setVertexCount(mesh, KVE_CountDefinitionChildren(vertices, ""), kProcedure) ||
        !setIndexCount(mesh, int64_t{KVE_CountDefinitionChildren(faces, "")} * 3, kProcedure))
        return false;
    forEachChild(vertices, [&](int i, const DefinitionNode* child) {
        MeshVertex& vertex = mesh.vertices[static_cast<size_t>(i)];
        readVector(child, vertex.position);
        vertex.position[3] = 1.0f;
    });
    forEachChild(KVE_FindDefinitionNode(node, "\\Normals", "", 0), [&](int i, const DefinitionNode* child) {
        if (i < mesh.vertexCount())
            readVector(child, mesh.vertices[static_cast<size_t>(i)].normal);
    });
    forEachChild(KVE_FindDefinitionNode(node, "\\TextureCoords", "", 0), [&](int i, const DefinitionNode* child) {
        if (i >= mesh.vertexCount())
            return;
        MeshVertex& vertex = mesh.vertices[static_cast<size_t>(i)];
        float uvw[3] = {vertex.texCoord[0], vertex.texCoord[1], 0.0f};
        readVector(child, uvw);
        vertex.texCoord[0] = uvw[0];
        vertex.texCoord[1] = uvw[1];
        if (child->group && KVE_GetDefinitionChild(child, 2))
            vertex.group = groupFromNumber(uvw[2]);
    });
    forEachChild(faces, [&](int t, const DefinitionNode* child) {
        for (int k = 0; k < 3; ++k)
            mesh.indices[static_cast<size_t>(t) * 3 + static_cast<size_t>(k)] =
                KVE_GetDefinitionInteger(KVE_GetDefinitionChild(child, k), 0);
    });
    return true;
}

std::string meshFileText(const MeshRecord& mesh, std::string_view meshName)
{
    std::string text;
    text.reserve(mesh.vertices.size() * 110 + mesh.indices.size() * 8 + 256);
    text += "Mesh: ";
    text += meshName;
    text += " {";
    text += kLineEnd;

    appendSectionOpen(text, "Vertices", mesh.vertexCount());
    for (const MeshVertex& v : mesh.vertices)
        appendList(text, v.position, 3);
    appendSectionClose(text);

    appendSectionOpen(text, "Normals", mesh.vertexCount());
    for (const MeshVertex& v : mesh.vertices)
        appendList(text, v.normal, 3);
    appendSectionClose(text);

    appendSectionOpen(text, "TextureCoords", mesh.vertexCount());
    for (const MeshVertex& v : mesh.vertices)
        appendList(text, v.texCoord, 2);
    appendSectionClose(text);

    const int triangles = mesh.indexCount / 3;
    appendSectionOpen(text, "Faces", triangles);
    for (int t = 0; t < triangles; ++t) {
        const int32_t* corner = &mesh.indices[static_cast<size_t>(t) * 3];
        text += "\t\t " + std::to_string(corner[0]) + "," + std::to_string(corner[1]) + "," +
                std::to_string(corner[2]) + kLineEnd;
    }
    appendSectionClose(text);
    text += "}";
    text += kLineEnd;
    return text;
}

} // namespace kve::geometry

extern "C" {

void KVE_SaveMesh(int mesh, const char* fileName, const char* meshName)
{
    const kve::geometry::MeshRecord* record = kve::geometry::findMesh(mesh);
    if (!record || !fileName)
        return;
    const std::string text = kve::geometry::meshFileText(*record, meshName ? meshName : record->name);
    std::FILE* file = std::fopen(fileName, "wb");
    if (!file)
        return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

KVE_MESH* KVE_LoadMesh(int id, const char* fileName, const char* name)
{
    namespace geometry = kve::geometry;
    constexpr const char* kProcedure = "KVE_LoadMesh";
    const std::string file = fileName ? fileName : "";
    DefinitionNode* root = KVE_ReadDefinitionFile(file.c_str());
    kve::log::progress("Load Mesh: " + file, kProcedure, "KVE Mesh");
    DefinitionNode* node = KVE_FindDefinitionNode(root, "Mesh", "", 0);
    if (!node) {
        kve::log::fail("Fail: File not found!", kProcedure);
        kve::log::failFile(file, root ? "no Mesh block" : kve::defs::unreadableReason(file), kProcedure);
        KVE_FreeDefinition(root, 1);
        return nullptr;
    }
    // The arrays are read and checked before the registry is touched: creating the record
    // replaces a mesh of the same number or name, which a bad file must not cost.
    geometry::MeshRecord staged;
    const bool read = geometry::readMeshNode(staged, node);
    // A section that holds other than the count written before it: the file was cut
    // short or edited badly. What it holds is still used, as it always was.
    if (const std::string damage = geometry::meshFileDamage(node); read && !damage.empty())
        kve::log::warnFile(file, damage, kProcedure);
    else if (read && kve::defs::endedInsideBlock(root))
        kve::log::warnFile(file, kve::defs::kCutShort, kProcedure);
    const bool tangents =
        KVE_GetDefinitionInteger(KVE_FindDefinitionNode(node, "\\CalculateMeshTangents", "", 0), 0) != 0;
    KVE_FreeDefinition(root, 1);
    if (!read || !geometry::indicesInRange(staged)) {
        kve::log::failFile(file, read ? "a face names a vertex the file does not hold" : "too large", kProcedure);
        return nullptr;
    }
    // A truncated file keeps its vertices but loses its faces: such a mesh would be drawn
    // as nothing and reported OK.
    if (staged.indexCount < 3) {
        kve::log::failFile(file, "no triangles", kProcedure);
        return nullptr;
    }
    const std::string_view meshName = name && *name ? std::string_view(name) : kve::defs::filePart(file);
    geometry::MeshRecord* mesh = geometry::createMesh(&id, meshName);
    if (!mesh)
        return nullptr;
    mesh->vertices = std::move(staged.vertices);
    mesh->indices = std::move(staged.indices);
    mesh->indexCount = staged.indexCount;
    if (!geometry::finish(*mesh)) {
        geometry::releaseMesh(mesh);
        return nullptr;
    }
    if (tangents)
        KVE_CalculateMeshTangents(mesh->number);
    kve::log::ok(kProcedure);
    kve::core::recordResourceSource(kve::core::ResourceLoader::MeshFile, mesh->number, file);
    return mesh;
}

} // extern "C"
