// Wavefront OBJ import: one pass over the file held in memory. Fields are separated by
// any run of spaces and tabs; only "v", "vt", "vn", "g" and "f" lines are read. A face of
// n corners becomes n - 2 triangles fanned from its first corner. Negative indices count
// back from the end of their list at the face line; indices that are zero or out of range
// leave their attribute zero and are reported once per file by the first line that has one.
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

// An index part that the corner does not have ("1//3", "1"): the attribute stays zero
// without a warning. kBadIndex marks one that names no element (0, or too far back).
constexpr int32_t kAbsentIndex = -1;
constexpr int32_t kBadIndex = -2;

// One face corner: 0-based indices, the group and the line it came from.
struct Corner {
    int32_t position, texCoord, normal, group, line;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line (already stripped) into fields at runs of blanks. The keyword is field 1.
class FieldCursor {
public:
    FieldCursor(const char* begin, const char* end) : at_(begin), end_(end) {}

    // The next field; false after the last one.
    bool next(std::string_view& field)
    {
        while (at_ < end_ && isBlank(*at_))
            ++at_;
        if (at_ == end_)
            return false;
        const char* start = at_;
        while (at_ < end_ && !isBlank(*at_))
            ++at_;
        field = std::string_view(start, static_cast<size_t>(at_ - start));
        return true;
    }

    // What follows the fields read so far, without its leading blanks.
    std::string_view rest()
    {
        while (at_ < end_ && isBlank(*at_))
            ++at_;
        return std::string_view(at_, static_cast<size_t>(end_ - at_));
    }

private:
    const char* at_;
    const char* end_;
};

// The value of the next field, 0 when the line has no more fields.
float nextFloat(FieldCursor& fields)
{
    std::string_view field;
    return fields.next(field) ? defs::parseFloatText(field) : 0.0f;
}

// A 0-based index from one part of a corner: OBJ counts from 1, and a negative value
// counts back from `listSize`, the length of the list when the face line is read.
int32_t resolveIndex(int32_t value, size_t listSize)
{
    if (value > 0)
        return value - 1;
    if (value < 0 && static_cast<int64_t>(listSize) + value >= 0)
        return static_cast<int32_t>(static_cast<int64_t>(listSize) + value);
    return kBadIndex;
}

class ObjParser {
public:
    explicit ObjParser(ObjMeshData& out) : out_(out) {}

    std::string parse(std::string_view text)
    {
        const char* at = text.data();
        const char* const end = at + text.size();
        int32_t line = 0;
        while (at < end) {
            const auto* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            const char* lineEnd = newline ? newline : end;
            const char* lineStart = at;
            at = newline ? newline + 1 : end;
            ++line;
            if (lineEnd > lineStart && lineEnd[-1] == '\r')
                --lineEnd;
            if (!readLine(lineStart, lineEnd, line))
                return "Fail: Too many face corners!";
        }
        build();
        return {};
    }

private:
    bool readLine(const char* begin, const char* end, int32_t line)
    {
        FieldCursor fields(begin, end);
        std::string_view keyword;
        if (!fields.next(keyword))
            return true;
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
            return readFace(fields, line);
        } else if (keyword == "g") {
            std::string_view name = fields.rest();
            while (!name.empty() && isBlank(name.back()))
                name.remove_suffix(1);
            setGroup(name);
        }
        return true;
    }

    // Corner indices from "p/t/n"; a part that is missing or empty is absent.
    Corner readCorner(std::string_view field, int32_t line) const
    {
        const size_t sizes[3] = {positions_.size(), texCoords_.size(), normals_.size()};
        int32_t parts[3] = {kAbsentIndex, kAbsentIndex, kAbsentIndex};
        for (int i = 0; i < 3; ++i) {
            // Fast path for plain decimal parts ("12/"); anything else takes the full reader.
            size_t digits = 0;
            int32_t value = 0;
            while (digits < field.size() && digits < 9 && field[digits] >= '0' && field[digits] <= '9')
                value = value * 10 + (field[digits++] - '0');
            const bool plain = digits > 0 && (digits == field.size() || field[digits] == '/');
            const size_t slash = plain ? (digits == field.size() ? std::string_view::npos : digits) : field.find('/');
            const std::string_view part = field.substr(0, slash);
            if (!part.empty())
                parts[i] = resolveIndex(plain ? value : defs::parseIntegerText(part), sizes[i]);
            if (slash == std::string_view::npos)
                break;
            field.remove_prefix(slash + 1);
        }
        const int32_t group = currentGroup_ >= 0 ? currentGroup_ : 0;
        return Corner{parts[0], parts[1], parts[2], group, line};
    }

    // A face of n >= 3 corners gives the triangles (1, k, k + 1) for k = 2 .. n - 1, each
    // with vertices of its own; a face with fewer corners is skipped.
    bool readFace(FieldCursor& fields, int32_t line)
    {
        face_.clear();
        std::string_view field;
        while (fields.next(field))
            face_.push_back(readCorner(field, line));
        if (face_.size() < 3) {
            if (out_.firstShortFaceLine == 0)
                out_.firstShortFaceLine = line;
            return true;
        }
        const size_t added = (face_.size() - 2) * 3;
        if (corners_.size() + added > static_cast<size_t>(kMaxVertexCount))
            return false;
        for (size_t k = 1; k + 1 < face_.size(); ++k) {
            corners_.push_back(face_[0]);
            corners_.push_back(face_[k]);
            corners_.push_back(face_[k + 1]);
        }
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

    // The element at `index`, or none; an index that is present but names no element
    // marks the corner's line as the first bad one if there is none yet.
    template <class T>
    const T* lookup(const std::vector<T>& list, int32_t index, int32_t line, bool required)
    {
        if (static_cast<uint32_t>(index) < list.size())
            return &list[static_cast<size_t>(index)];
        if ((required || index != kAbsentIndex) && out_.firstBadIndexLine == 0)
            out_.firstBadIndexLine = line;
        return nullptr;
    }

    void build()
    {
        // One pass into reserved room, no separate fill of the whole array first.
        out_.vertices.reserve(corners_.size());
        for (const Corner& corner : corners_) {
            MeshVertex& vertex = out_.vertices.emplace_back();
            const Float3* p = lookup(positions_, corner.position, corner.line, true);
            const Float2* t = lookup(texCoords_, corner.texCoord, corner.line, false);
            const Float3* n = lookup(normals_, corner.normal, corner.line, false);
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
        out_.indices.resize(corners_.size());
        for (size_t i = 0; i < out_.indices.size(); ++i)
            out_.indices[i] = static_cast<int32_t>(i);
    }

    ObjMeshData& out_;
    std::vector<Float3> positions_;
    std::vector<Float3> normals_;
    std::vector<Float2> texCoords_;
    std::vector<Corner> corners_;
    std::vector<Corner> face_;
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
        kve::log::failFile(file, kve::defs::unreadableReason(file), kProcedure);
        return nullptr;
    }
    if (!error.empty()) {
        kve::log::fail(error, kProcedure);
        return nullptr;
    }
    // A mesh without a triangle would be registered, drawn as nothing and reported OK.
    if (data.indices.empty()) {
        kve::log::failFile(file, "no triangles", kProcedure);
        return nullptr;
    }
    // A face cut short is what a file cut inside its last line leaves.
    if (data.firstShortFaceLine > 0)
        kve::log::warnFile(file, "face with fewer than three corners in line " + std::to_string(data.firstShortFaceLine),
                           kProcedure);
    if (data.firstBadIndexLine > 0)
        kve::log::warnFile(file, "index out of range in line " + std::to_string(data.firstBadIndexLine), kProcedure);
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
    kve::core::recordResourceSource(kve::core::ResourceLoader::ObjMesh, mesh->number, file);
    return mesh;
}

} // extern "C"
