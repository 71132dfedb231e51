// The mesh registry, the building operations, the GL upload of finished meshes and the
// tangent calculation.
#include "geometry/mesh.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "core/engine.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/registry_kinds.h"
#include "platform/gl.h"

namespace kve::geometry {
namespace {

void deleteGLObjects(MeshRecord& mesh)
{
    if (mesh.vertexBuffer != kNoGLName)
        glDeleteBuffers(1, &mesh.vertexBuffer);
    if (mesh.indexBuffer != kNoGLName)
        glDeleteBuffers(1, &mesh.indexBuffer);
    if (mesh.vertexArray != kNoGLName)
        glDeleteVertexArrays(1, &mesh.vertexArray);
    mesh.vertexBuffer = mesh.indexBuffer = mesh.vertexArray = kNoGLName;
    mesh.finishedVertexCount = 0;
}

std::function<void(const MeshRecord&)> releaseObserver;

void releaseMeshRecord(MeshRecord& mesh)
{
    if (releaseObserver)
        releaseObserver(mesh);
    deleteGLObjects(mesh);
}

core::Registry<MeshRecord>& registry()
{
    static core::Registry<MeshRecord> meshes(core::kinds::kMesh, releaseMeshRecord);
    return meshes;
}

bool glAvailable(const char* procedure)
{
    if (engine::state().running)
        return true;
    log::fail("Fail: No OpenGL context!", procedure);
    return false;
}

// Resizes `array` to `count` zeroed elements, refusing negative counts, counts above
// `limit` and allocation failures.
template <class T>
bool resizeZeroed(std::vector<T>& array, int64_t count, int64_t limit, const char* procedure)
{
    if (count < 0 || count > limit) {
        log::fail("Fail: Invalid count " + std::to_string(count) + "!", procedure);
        return false;
    }
    try {
        std::vector<T> fresh(static_cast<size_t>(count), T{});
        array.swap(fresh);
    } catch (const std::bad_alloc&) {
        log::fail("Fail: Out of memory!", procedure);
        return false;
    }
    return true;
}

// The box of the positions. Positions with w other than 1 are projective and have no
// bounds in object space.
void updateBounds(MeshRecord& mesh)
{
    static uint64_t uploads = 0;
    mesh.uploadGeneration = ++uploads;
    mesh.bounded = false;
    if (mesh.vertices.empty())
        return;
    for (int axis = 0; axis < 3; ++axis)
        mesh.boundsLow[axis] = mesh.boundsHigh[axis] = mesh.vertices.front().position[axis];
    for (const MeshVertex& vertex : mesh.vertices) {
        if (vertex.position[3] != 1.0f)
            return;
        for (int axis = 0; axis < 3; ++axis) {
            mesh.boundsLow[axis] = std::min(mesh.boundsLow[axis], vertex.position[axis]);
            mesh.boundsHigh[axis] = std::max(mesh.boundsHigh[axis], vertex.position[axis]);
        }
    }
    mesh.bounded = std::isfinite(mesh.boundsLow[0] + mesh.boundsLow[1] + mesh.boundsLow[2] + mesh.boundsHigh[0] +
                                 mesh.boundsHigh[1] + mesh.boundsHigh[2]);
}

void uploadVertices(MeshRecord& mesh, bool allocate)
{
    updateBounds(mesh);
    const auto bytes = static_cast<GLsizeiptr>(mesh.vertices.size() * sizeof(MeshVertex));
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    if (allocate)
        glBufferData(GL_ARRAY_BUFFER, bytes, mesh.vertices.data(), GL_STATIC_DRAW);
    else
        glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, mesh.vertices.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void setAttribute(unsigned location, int components, GLenum type, size_t offset)
{
    glVertexAttribPointer(location, components, type, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<const void*>(offset));
    glEnableVertexAttribArray(location);
}

inline void addTo(float* sum, const float* v)
{
    sum[0] += v[0];
    sum[1] += v[1];
    sum[2] += v[2];
}

} // namespace

MeshRecord* findMesh(int number)
{
    return registry().find(number);
}

MeshRecord* createMesh(int* number, std::string_view name)
{
    return registry().create(number, name);
}

void releaseMesh(MeshRecord* mesh)
{
    registry().release(mesh);
}

void adoptReloadedMesh(MeshRecord& live, MeshRecord& staged)
{
    core::swapRecordContents(live, staged);
    registry().release(&staged);
}

void setMeshReleaseObserver(std::function<void(const MeshRecord&)> observer)
{
    releaseObserver = std::move(observer);
}

void releaseAllMeshes()
{
    registry().releaseAll();
}

bool setVertexCount(MeshRecord& mesh, int64_t count, const char* procedure)
{
    return resizeZeroed(mesh.vertices, count, kMaxVertexCount, procedure);
}

bool setIndexCount(MeshRecord& mesh, int64_t count, const char* procedure)
{
    if (!resizeZeroed(mesh.indices, count, kMaxIndexCount, procedure))
        return false;
    mesh.indexCount = static_cast<int>(count);
    return true;
}

int groupIndex(MeshRecord& mesh, std::string_view name)
{
    std::string key(name);
    const auto found = mesh.groupMap.find(key);
    if (found != mesh.groupMap.end())
        return found->second;
    const int index = static_cast<int>(mesh.groups.size());
    mesh.groups.push_back(MeshGroup{index, key});
    mesh.groupMap.emplace(std::move(key), index);
    return index;
}

int64_t firstBadIndex(const MeshRecord& mesh)
{
    const auto count = static_cast<uint32_t>(mesh.vertices.size());
    for (size_t i = 0; i < mesh.indices.size(); ++i)
        if (static_cast<uint32_t>(mesh.indices[i]) >= count)
            return static_cast<int64_t>(i);
    return -1;
}

bool indicesInRange(const MeshRecord& mesh)
{
    const int64_t bad = firstBadIndex(mesh);
    if (bad < 0)
        return true;
    log::fail("Fail: Index out of range! Index " + std::to_string(bad) + " is " +
                  std::to_string(mesh.indices[static_cast<size_t>(bad)]) + ", vertex count " +
                  std::to_string(mesh.vertexCount()),
              "KVE_FinishMesh");
    return false;
}

bool finish(MeshRecord& mesh)
{
    if (!indicesInRange(mesh))
        return false;
    if (!glAvailable("KVE_FinishMesh"))
        return false;

    mesh.groupTable.assign(mesh.groups.size(), nullptr);
    for (const MeshGroup& group : mesh.groups)
        mesh.groupTable[static_cast<size_t>(group.index)] = &group;

    deleteGLObjects(mesh);
    glGenVertexArrays(1, &mesh.vertexArray);
    glBindVertexArray(mesh.vertexArray);
    glGenBuffers(1, &mesh.vertexBuffer);
    // One upload of the interleaved array: the tangent place holds whatever tangents
    // were computed before (zeros for a fresh mesh).
    uploadVertices(mesh, true);
    mesh.finishedVertexCount = mesh.vertexCount();
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    setAttribute(kPositionLocation, 4, GL_FLOAT, offsetof(MeshVertex, position));
    setAttribute(kNormalLocation, 3, GL_FLOAT, offsetof(MeshVertex, normal));
    setAttribute(kTexCoordLocation, 2, GL_FLOAT, offsetof(MeshVertex, texCoord));
    setAttribute(kTangentLocation, 3, GL_FLOAT, offsetof(MeshVertex, tangent));
    // The group index reaches the shaders as a float through the floating-point path.
    setAttribute(kGroupLocation, 1, GL_INT, offsetof(MeshVertex, group));
    glGenBuffers(1, &mesh.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(int32_t)),
                 mesh.indices.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    log::entry("Vertices: " + std::to_string(mesh.vertexCount()), static_cast<int>(KVE_LOG_MESH_GREY),
               "KVE_FinishMesh");
    log::entry("Triangles: " + std::to_string(mesh.indexCount / 3), static_cast<int>(KVE_LOG_MESH_GREY),
               "KVE_FinishMesh");
    return true;
}

// Per-triangle tangent T = (dv2 e1 - dv1 e2) / det from the edge vectors and texture
// coordinate differences, summed per vertex, then Gram-Schmidt against the normal.
void computeTangents(MeshRecord& mesh)
{
    computeTangents(mesh.vertices, mesh.indices);
}

void computeTangents(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& indices)
{
    const auto vertexCount = static_cast<uint32_t>(vertices.size());
    std::vector<float> sums(static_cast<size_t>(vertexCount) * 3, 0.0f);
    for (int64_t i = static_cast<int64_t>(indices.size()) - 1; i >= 2; i -= 3) {
        const uint32_t corner[3] = {static_cast<uint32_t>(indices[static_cast<size_t>(i)]),
                                    static_cast<uint32_t>(indices[static_cast<size_t>(i - 1)]),
                                    static_cast<uint32_t>(indices[static_cast<size_t>(i - 2)])};
        if (corner[0] >= vertexCount || corner[1] >= vertexCount || corner[2] >= vertexCount)
            continue;
        const MeshVertex& v0 = vertices[corner[0]];
        const MeshVertex& v1 = vertices[corner[1]];
        const MeshVertex& v2 = vertices[corner[2]];
        const float du1 = v1.texCoord[0] - v0.texCoord[0], dv1 = v1.texCoord[1] - v0.texCoord[1];
        const float du2 = v2.texCoord[0] - v0.texCoord[0], dv2 = v2.texCoord[1] - v0.texCoord[1];
        const float det = du1 * dv2 - du2 * dv1;
        if (det == 0.0f)
            continue;
        const float inverse = 1.0f / det;
        float tangent[3];
        for (int k = 0; k < 3; ++k) {
            const float e1 = v1.position[k] - v0.position[k];
            const float e2 = v2.position[k] - v0.position[k];
            tangent[k] = (dv2 * e1 - dv1 * e2) * inverse;
        }
        for (uint32_t c : corner)
            addTo(&sums[static_cast<size_t>(c) * 3], tangent);
    }
    for (uint32_t v = 0; v < vertexCount; ++v) {
        MeshVertex& vertex = vertices[v];
        const float* a = &sums[static_cast<size_t>(v) * 3];
        const float* n = vertex.normal;
        const float along = a[0] * n[0] + a[1] * n[1] + a[2] * n[2];
        float t[3] = {a[0] - n[0] * along, a[1] - n[1] * along, a[2] - n[2] * along};
        const float length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        // A zero (or undefined) direction stays zero instead of becoming NaN.
        const float scale = length > 0.0f ? 1.0f / length : 0.0f;
        for (int k = 0; k < 3; ++k)
            vertex.tangent[k] = t[k] * scale;
    }
}

} // namespace kve::geometry

using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;
namespace geometry = kve::geometry;

namespace {

// The vertex `index` of a mesh number, null (after a red entry under `procedure`) when it
// is outside the vertex array; null without a message when there is no such mesh.
MeshVertex* vertexOf(int mesh, int index, const char* procedure)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record)
        return nullptr;
    if (index < 0 || index >= record->vertexCount()) {
        kve::log::fail("Fail: Vertex index " + std::to_string(index) + " out of range!", procedure);
        return nullptr;
    }
    return &record->vertices[static_cast<size_t>(index)];
}

// Read-only lookups: no message for out-of-range indices.
const MeshVertex* peekVertex(int mesh, int index)
{
    const MeshRecord* record = geometry::findMesh(mesh);
    if (!record || index < 0 || index >= record->vertexCount())
        return nullptr;
    return &record->vertices[static_cast<size_t>(index)];
}

} // namespace

extern "C" {

KVE_MESH* KVE_CreateMeshListEntry(int* id, const char* name)
{
    return geometry::createMesh(id, name ? name : "");
}

KVE_MESH* KVE_CreateMesh(int id, const char* name)
{
    return KVE_CreateMeshListEntry(&id, name);
}

KVE_MESH* KVE_GetMesh(int mesh)
{
    return geometry::findMesh(mesh);
}

int KVE_SetMeshVertexCount(int mesh, int count)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record || !geometry::setVertexCount(*record, count, "KVE_SetMeshVertexCount"))
        return 0;
    return count * static_cast<int>(sizeof(MeshVertex));
}

int KVE_SetMeshTriangleCount(int mesh, int count)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record || !geometry::setIndexCount(*record, int64_t{count} * 3, "KVE_SetMeshTriangleCount"))
        return 0;
    return record->indexCount * 4;
}

int KVE_SetMeshIndexCount(int mesh, int count)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record || !geometry::setIndexCount(*record, count, "KVE_SetMeshIndexCount"))
        return 0;
    return count * 4;
}

void KVE_SetMeshVertex(int mesh, int vertex, float x, float y, float z, float w)
{
    if (MeshVertex* v = vertexOf(mesh, vertex, "KVE_SetMeshVertex")) {
        v->position[0] = x;
        v->position[1] = y;
        v->position[2] = z;
        v->position[3] = w;
    }
}

void KVE_SetMeshNormal(int mesh, int vertex, float x, float y, float z)
{
    if (MeshVertex* v = vertexOf(mesh, vertex, "KVE_SetMeshNormal")) {
        v->normal[0] = x;
        v->normal[1] = y;
        v->normal[2] = z;
    }
}

void KVE_SetMeshTextureCoord(int mesh, int vertex, float u, float v)
{
    if (MeshVertex* target = vertexOf(mesh, vertex, "KVE_SetMeshTextureCoord")) {
        target->texCoord[0] = u;
        target->texCoord[1] = v;
    }
}

void KVE_SetMeshVertexGroup(int mesh, int vertex, int group)
{
    if (MeshVertex* v = vertexOf(mesh, vertex, "KVE_SetMeshVertexGroup"))
        v->group = group;
}

void KVE_SetMeshTriangle(int mesh, int triangle, int i0, int i1, int i2)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record)
        return;
    if (triangle < 0 || int64_t{triangle} * 3 + 2 >= record->indexCount) {
        kve::log::fail("Fail: Triangle index " + std::to_string(triangle) + " out of range!", "KVE_SetMeshTriangle");
        return;
    }
    int32_t* corner = &record->indices[static_cast<size_t>(triangle) * 3];
    corner[0] = i0;
    corner[1] = i1;
    corner[2] = i2;
}

int KVE_GetMeshGroup(int mesh, const char* name)
{
    MeshRecord* record = geometry::findMesh(mesh);
    return record ? geometry::groupIndex(*record, name ? name : "") : -1;
}

int KVE_FindMeshGroup(int mesh, const char* name)
{
    const MeshRecord* record = geometry::findMesh(mesh);
    if (!record)
        return -1;
    const auto found = record->groupMap.find(name ? name : "");
    return found == record->groupMap.end() ? -1 : found->second;
}

int KVE_FinishMesh(int mesh)
{
    MeshRecord* record = geometry::findMesh(mesh);
    return record && geometry::finish(*record) ? 1 : 0;
}

int KVE_CalculateMeshTangents(int mesh)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record || record->vertexCount() < 1)
        return 0;
    geometry::computeTangents(*record);
    // One upload of the whole array: the tangent fields are the only change, as long as
    // the other fields were uploaded since they were last written.
    if (record->finished() && record->finishedVertexCount == record->vertexCount())
        geometry::uploadVertices(*record, false);
    return 1;
}

void KVE_UpdateMesh(int mesh)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record || !record->finished())
        return;
    if (record->finishedVertexCount != record->vertexCount()) {
        kve::log::fail("Fail: The vertex count changed since KVE_FinishMesh!", "KVE_UpdateMesh");
        return;
    }
    geometry::uploadVertices(*record, false);
}

void KVE_ScaleMesh(int mesh, float x, float y, float z)
{
    MeshRecord* record = geometry::findMesh(mesh);
    if (!record)
        return;
    for (MeshVertex& v : record->vertices) {
        v.position[0] *= x;
        v.position[1] *= y;
        v.position[2] *= z;
    }
    KVE_UpdateMesh(mesh);
}

void KVE_ReleaseMesh(int mesh)
{
    if (MeshRecord* record = geometry::findMesh(mesh))
        geometry::releaseMesh(record);
}

const char* KVE_GetMeshName(int mesh)
{
    const MeshRecord* record = geometry::findMesh(mesh);
    return record ? record->name : nullptr;
}

int KVE_GetMeshVertexCount(int mesh)
{
    const MeshRecord* record = geometry::findMesh(mesh);
    return record ? record->vertexCount() : 0;
}

int KVE_GetMeshIndexCount(int mesh)
{
    const MeshRecord* record = geometry::findMesh(mesh);
    return record ? record->indexCount : 0;
}

int KVE_GetMeshTriangleCount(int mesh)
{
    return KVE_GetMeshIndexCount(mesh) / 3;
}

KVE_MESH_VERTEX* KVE_GetMeshVertexAddress(int mesh, int vertex)
{
    return const_cast<MeshVertex*>(peekVertex(mesh, vertex));
}

float* KVE_GetMeshNormalAddress(int mesh, int vertex)
{
    MeshVertex* v = KVE_GetMeshVertexAddress(mesh, vertex);
    return v ? v->normal : nullptr;
}

float* KVE_GetMeshTextureCoordAddress(int mesh, int vertex)
{
    MeshVertex* v = KVE_GetMeshVertexAddress(mesh, vertex);
    return v ? v->texCoord : nullptr;
}

int KVE_GetMeshVertexGroup(int mesh, int vertex)
{
    const MeshVertex* v = peekVertex(mesh, vertex);
    return v ? v->group : 0;
}

} // extern "C"
