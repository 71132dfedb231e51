// Mesh records: the vertex and index arrays kept in memory, their GL objects once
// finished, and the named vertex groups. The scene draws a mesh through `vertexArray`
// and `indexCount`; the physics reads `vertices` and `indices`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kve.h"

namespace kve::geometry {

using MeshVertex = KVE_MESH_VERTEX;

static_assert(sizeof(MeshVertex) == 52);
static_assert(offsetof(MeshVertex, position) == 0);
static_assert(offsetof(MeshVertex, normal) == 16);
static_assert(offsetof(MeshVertex, tangent) == 28);
static_assert(offsetof(MeshVertex, texCoord) == 40);
static_assert(offsetof(MeshVertex, group) == 48);

// Vertex attribute locations of the mesh layout.
inline constexpr unsigned kPositionLocation = 0;
inline constexpr unsigned kNormalLocation = 1;
inline constexpr unsigned kTexCoordLocation = 2;
inline constexpr unsigned kTangentLocation = 6;
inline constexpr unsigned kGroupLocation = 7;

// GL name of an object not made yet.
inline constexpr uint32_t kNoGLName = 0xFFFFFFFFu;

// Size limits: byte counts must fit the 32-bit results of the count setters.
inline constexpr int kMaxVertexCount = INT32_MAX / static_cast<int>(sizeof(MeshVertex));
inline constexpr int kMaxIndexCount = INT32_MAX / 4 - 1;

struct MeshGroup {
    int index = 0; // position in the group list, from 0
    std::string name;
};

struct MeshRecord : KVE_MESH {
    uint32_t indexBuffer = kNoGLName;
    uint32_t vertexArray = kNoGLName;
    uint32_t vertexBuffer = kNoGLName;
    int finishedVertexCount = 0; // vertices in the vertex buffer
    int indexCount = 0;
    // Set by every vertex upload to a number no other upload had, so that whoever keeps
    // results drawn from the mesh (shadow maps) can tell the data changed; with the
    // box of the uploaded positions.
    uint64_t uploadGeneration = 0;
    float boundsLow[3] = {0, 0, 0}, boundsHigh[3] = {0, 0, 0};
    bool bounded = false; // false: nothing uploaded, or a position with w != 1
    std::vector<MeshVertex> vertices;
    std::vector<int32_t> indices; // indexCount entries
    std::deque<MeshGroup> groups; // creation order; a deque keeps the table's references valid
    std::vector<const MeshGroup*> groupTable; // by group index, rebuilt by finish()
    std::unordered_map<std::string, int> groupMap;

    int vertexCount() const { return static_cast<int>(vertices.size()); }
    bool finished() const { return vertexArray != kNoGLName; }
};

// The record of a mesh number (explicit or automatic), null when none has it.
MeshRecord* findMesh(int number);

// A new registry entry (the creation routine's rules and messages); null when refused.
MeshRecord* createMesh(int* number, std::string_view name);

// Releases the record and its GL objects.
void releaseMesh(MeshRecord* mesh);

// A reload's last step: the staged mesh's geometry and GL objects move into the live
// record, which keeps its number, name and objects; the staged record is released with
// the old ones.
void adoptReloadedMesh(MeshRecord& live, MeshRecord& staged);

// Releases every mesh (engine shutdown).
void releaseAllMeshes();

// Called with each mesh just before it is released, so that users of the mesh (scene
// objects) can let go of it. One observer; installing another replaces it.
void setMeshReleaseObserver(std::function<void(const MeshRecord&)> observer);

// Resizes the arrays; false (with a red entry under `procedure`) for a negative or
// too large count or when memory runs out.
bool setVertexCount(MeshRecord& mesh, int64_t count, const char* procedure);
bool setIndexCount(MeshRecord& mesh, int64_t count, const char* procedure);

// The group index of `name`, appending the group when it is new.
int groupIndex(MeshRecord& mesh, std::string_view name);

// Whether every index is inside the vertex array; false with the red entry finish writes.
bool indicesInRange(const MeshRecord& mesh);

// Uploads the mesh to new GL objects (the old ones are deleted) and logs its counts.
// False, with nothing uploaded, when an index is outside the vertex array.
bool finish(MeshRecord& mesh);

// Accumulates per-triangle tangents, orthogonalises them against the stored normals and
// writes them into the vertices' tangent fields (no upload).
void computeTangents(MeshRecord& mesh);
void computeTangents(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& indices);

// Fills the arrays from the keys under a ".kvm" Mesh node, without GL; false (logged
// under KVE_LoadMesh) when a count is beyond the mesh limits or memory runs out.
bool readMeshNode(MeshRecord& mesh, DefinitionNode* node);
// What is wrong with a mesh file's Mesh node, empty when nothing: a section holding
// another number of entries than the count written before its brace.
std::string meshFileDamage(DefinitionNode* node);

// The ".kvm" text of a mesh under `meshName` (CR LF line ends, six decimals).
std::string meshFileText(const MeshRecord& mesh, std::string_view meshName);

// The index of the first index outside 0..vertexCount-1, or -1 when all are inside.
int64_t firstBadIndex(const MeshRecord& mesh);

} // namespace kve::geometry
