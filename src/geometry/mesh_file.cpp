// ".kvm" mesh files: the text KVE_SaveMesh writes and the reader KVE_LoadMesh.
#include <charconv>
#include <cstdio>
#include <string>

#include "core/log.h"
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

} // namespace

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

} // extern "C"
