// Wavefront OBJ import: one pass over the file held in memory. Lines are split into
// fields at every single space (two spaces give an empty field); only "v", "vt", "vn",
// "g" and the first three corners of "f" lines are read. Indices that are missing, zero,
// negative or out of range leave their attribute zero.
#include "geometry/obj_import.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <unordered_map>

#include "core/log.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "defs/number_text.h"

namespace kve::geometry {
namespace {

struct Float3 {
    float x, y, z;
};

struct Float2 {
    float u, v;
};

// One face corner: 0-based indices (-1 and anything out of range mean "none").
struct Corner {
    int32_t position, texCoord, normal, group;
};

// Splits a line (already stripped) into fields at single spaces. The keyword is field 1.
class FieldCursor {
public:
    FieldCursor(const char* begin, const char* end) : at_(begin), end_(end) {}

    // The next field; false after the last one.
    bool next(std::string_view& field)
    {
        if (done_)
            return false;
        const char* start = at_;
        const auto* space = static_cast<const char*>(std::memchr(start, ' ', static_cast<size_t>(end_ - start)));
        const char* stop = space ? space : end_;
        field = std::string_view(start, static_cast<size_t>(stop - start));
        done_ = space == nullptr;
        at_ = stop + 1;
        return true;
    }

private:
    const char* at_;
    const char* end_;
    bool done_ = false;
};

std::string_view stripSpaces(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The value of the next field, 0 when the line has no more fields.
float nextFloat(FieldCursor& fields)
{
    std::string_view field;
    return fields.next(field) ? defs::parseFloatText(field) : 0.0f;
}

// Corner indices from "p/t/n": each part minus one; a missing or empty part gives -1.
Corner readCorner(std::string_view field, int32_t group)
{
    int32_t parts[3] = {0, 0, 0};
    for (int32_t& part : parts) {
        // Fast path for plain decimal parts ("12/"); anything else takes the full reader.
        size_t digits = 0;
        int32_t value = 0;
        while (digits < field.size() && digits < 9 && field[digits] >= '0' && field[digits] <= '9')
            value = value * 10 + (field[digits++] - '0');
        const bool plain = digits > 0 && (digits == field.size() || field[digits] == '/');
        const size_t slash = plain ? (digits == field.size() ? std::string_view::npos : digits) : field.find('/');
        part = plain ? value : defs::parseIntegerText(field.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        field.remove_prefix(slash + 1);
    }
    // OBJ counts from 1; the lowest integer stays out of range instead of wrapping.
    const auto zeroBased = [](int32_t part) { return part == INT32_MIN ? part : part - 1; };
    return Corner{zeroBased(parts[0]), zeroBased(parts[1]), zeroBased(parts[2]), group};
}

class ObjParser {
public:
    explicit ObjParser(ObjMeshData& out) : out_(out) {}

    std::string parse(std::string_view text)
    {
        const char* at = text.data();
        const char* const end = at + text.size();
        while (at < end) {
            const auto* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            const char* lineEnd = newline ? newline : end;
            const char* lineStart = at;
            at = newline ? newline + 1 : end;
            if (lineEnd > lineStart && lineEnd[-1] == '\r')
                --lineEnd;
            while (lineStart < lineEnd && *lineStart == ' ')
                ++lineStart;
            while (lineEnd > lineStart && lineEnd[-1] == ' ')
                --lineEnd;
            if (lineStart == lineEnd)
                continue;
            if (!readLine(lineStart, lineEnd))
                return "Fail: Too many face corners!";
        }
        build();
        return {};
    }

private:
    bool readLine(const char* begin, const char* end)
    {
        FieldCursor fields(begin, end);
        std::string_view keyword;
        fields.next(keyword);
        if (keyword == "v") {
            const float x = nextFloat(fields), y = nextFloat(fields), z = nextFloat(fields);
            positions_.push_back({x, y, z});
        } else if (keyword == "vt") {
            const float u = nextFloat(fields), v = nextFloat(fields);
            texCoords_.push_back({u, v});
        } else if (keyword == "vn") {
            const float x = nextFloat(fields), y = nextFloat(fields), z = nextFloat(fields);
            normals_.push_back({x, y, z});
        } else if (keyword == "f") {
            return readFace(fields);
        } else if (keyword == "g") {
            const std::string_view line(begin, static_cast<size_t>(end - begin));
            setGroup(stripSpaces(line.size() > 2 ? line.substr(2) : std::string_view()));
        }
        return true;
    }

    // A face contributes its first three corners; a face with fewer corners is skipped so
    // that it cannot shift the corners of every later face into other triangles.
    bool readFace(FieldCursor& fields)
    {
        std::string_view corner[3];
        for (std::string_view& field : corner)
            if (!fields.next(field))
                return true;
        if (corners_.size() > static_cast<size_t>(kMaxVertexCount - 3))
            return false;
        const int32_t group = currentGroup_ >= 0 ? currentGroup_ : 0;
        for (std::string_view field : corner)
            corners_.push_back(readCorner(stripSpaces(field), group));
        return true;
    }

    void setGroup(std::string_view name)
    {
        const auto found = groupIndex_.find(std::string(name));
        if (found != groupIndex_.end()) {
            currentGroup_ = found->second;
            return;
        }
        currentGroup_ = static_cast<int32_t>(out_.groups.size());
        out_.groups.emplace_back(name);
        groupIndex_.emplace(std::string(name), currentGroup_);
    }

    template <class T>
    static const T* lookup(const std::vector<T>& list, int32_t index)
    {
        return static_cast<uint32_t>(index) < list.size() ? &list[static_cast<size_t>(index)] : nullptr;
    }

    void build()
    {
        // One pass into reserved room, no separate fill of the whole array first.
        out_.vertices.reserve(corners_.size());
        for (const Corner& corner : corners_) {
            MeshVertex& vertex = out_.vertices.emplace_back();
            const Float3* p = lookup(positions_, corner.position);
            const Float3* n = lookup(normals_, corner.normal);
            const Float2* t = lookup(texCoords_, corner.texCoord);
            vertex.position[0] = p ? p->x : 0.0f;
            vertex.position[1] = p ? p->y : 0.0f;
            vertex.position[2] = p ? p->z : 0.0f;
            vertex.position[3] = 1.0f;
            vertex.normal[0] = n ? n->x : 0.0f;
            vertex.normal[1] = n ? n->y : 0.0f;
            vertex.normal[2] = n ? n->z : 0.0f;
            vertex.tangent[0] = vertex.tangent[1] = vertex.tangent[2] = 0.0f;
            vertex.texCoord[0] = t ? t->u : 0.0f;
            vertex.texCoord[1] = t ? t->v : 0.0f;
            vertex.group = corner.group;
        }
        out_.indices.resize(corners_.size() / 3 * 3);
        for (size_t i = 0; i < out_.indices.size(); ++i)
            out_.indices[i] = static_cast<int32_t>(i);
    }

    ObjMeshData& out_;
    std::vector<Float3> positions_;
    std::vector<Float3> normals_;
    std::vector<Float2> texCoords_;
    std::vector<Corner> corners_;
    std::unordered_map<std::string, int32_t> groupIndex_;
    int32_t currentGroup_ = -1;
};

} // namespace

std::string parseObj(std::string_view text, ObjMeshData& out)
{
    out = ObjMeshData{};
    try {
        return ObjParser(out).parse(text);
    } catch (const std::bad_alloc&) {
        out = ObjMeshData{};
        return "Fail: Out of memory!";
    }
}

bool readWholeFile(const char* path, FileBytes& bytes)
{
    const std::string hostPath = defs::nativePath(path ? path : "");
    std::error_code error;
    if (!std::filesystem::is_regular_file(hostPath, error))
        return false;
    std::FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (!file)
        return false;
    bool read = std::fseek(file, 0, SEEK_END) == 0;
    const long size = read ? std::ftell(file) : -1;
    read = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (read) {
        bytes.data.reset(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
        bytes.size = static_cast<size_t>(size);
        read = bytes.data && std::fread(bytes.data.get(), 1, bytes.size, file) == bytes.size;
    }
    std::fclose(file);
    if (!read)
        bytes = FileBytes{};
    return read;
}

bool loadObjFile(const char* path, ObjMeshData& out, std::string& error)
{
    FileBytes bytes;
    if (!readWholeFile(path, bytes))
        return false;
    error = parseObj(bytes.text(), out);
    return true;
}

} // namespace kve::geometry

namespace geometry = kve::geometry;

extern "C" {

KVE_MESH* KVE_LoadOBJMesh(int id, const char* fileName, const char* name)
{
    constexpr const char* kProcedure = "KVE_LoadOBJMesh";
    const std::string_view file = fileName ? fileName : "";
    geometry::ObjMeshData data;
    std::string error;
    const bool opened = geometry::loadObjFile(std::string(file).c_str(), data, error);
    kve::log::progress("Load OBJ Mesh: " + std::string(file), kProcedure, "KVE Mesh");
    if (!opened) {
        kve::log::fail("Fail: File not found!", kProcedure);
        return nullptr;
    }
    if (!error.empty()) {
        kve::log::fail(error, kProcedure);
        return nullptr;
    }
    const std::string_view meshName = name && *name ? std::string_view(name) : kve::defs::filePart(file);
    geometry::MeshRecord* mesh = geometry::createMesh(&id, meshName);
    if (!mesh)
        return nullptr;
    mesh->vertices = std::move(data.vertices);
    mesh->indices = std::move(data.indices);
    mesh->indexCount = static_cast<int>(mesh->indices.size());
    for (const std::string& group : data.groups)
        geometry::groupIndex(*mesh, group);
    if (!geometry::finish(*mesh)) {
        geometry::releaseMesh(mesh);
        return nullptr;
    }
    kve::log::ok(kProcedure);
    kve::core::recordResourceSource(kve::core::ResourceLoader::ObjMesh, mesh->number, mesh, file);
    return mesh;
}

} // extern "C"
