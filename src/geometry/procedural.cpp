// Meshes made in code: the UV sphere and the two wind meshes of the Grass program.
#include <cmath>
#include <numbers>

#include "core/log.h"
#include "geometry/mesh.h"

namespace kve::geometry {
namespace {

void setVertex(MeshVertex& vertex, float x, float y, float z, float u, float v)
{
    vertex.position[0] = x;
    vertex.position[1] = y;
    vertex.position[2] = z;
    vertex.position[3] = 1.0f;
    vertex.texCoord[0] = u;
    vertex.texCoord[1] = v;
}

// Creates the mesh entry and sizes its arrays; null (and no entry left behind) on failure.
MeshRecord* createSized(int id, const char* name, int64_t vertexCount, int64_t indexCount, const char* procedure)
{
    MeshRecord* mesh = createMesh(&id, name ? name : "");
    if (mesh && !(setVertexCount(*mesh, vertexCount, procedure) && setIndexCount(*mesh, indexCount, procedure))) {
        releaseMesh(mesh);
        return nullptr;
    }
    return mesh;
}

// Finishes a generated mesh, releasing it when the upload cannot be made.
MeshRecord* finishOrRelease(MeshRecord* mesh)
{
    if (mesh && !finish(*mesh)) {
        releaseMesh(mesh);
        return nullptr;
    }
    return mesh;
}

struct GrassCorner {
    float x, z; // in units of half the size
    float u, v; // in units of the texture repeat
    bool dynamic;
};

// Wind mesh in y = 0 facing up: groups "Static" 0 and "Dynamic" 1, one triangle per three
// corners.
KVE_MESH* createGrass(int id, float size, float repeat, const char* name, const GrassCorner* corners, int count,
                      const char* procedure)
{
    MeshRecord* mesh = createSized(id, name, count, count, procedure);
    if (!mesh)
        return nullptr;
    const int staticGroup = groupIndex(*mesh, "Static");
    const int dynamicGroup = groupIndex(*mesh, "Dynamic");
    const float s = size * 0.5f;
    for (int i = 0; i < count; ++i) {
        const GrassCorner& c = corners[i];
        MeshVertex& vertex = mesh->vertices[static_cast<size_t>(i)];
        setVertex(vertex, c.x * s, 0.0f, c.z * s, c.u * repeat, c.v * repeat);
        vertex.normal[1] = 1.0f;
        vertex.group = c.dynamic ? dynamicGroup : staticGroup;
        mesh->indices[static_cast<size_t>(i)] = i;
    }
    return finishOrRelease(mesh);
}

} // namespace
} // namespace kve::geometry

namespace geometry = kve::geometry;

extern "C" {

// Stack i and slice j cover the band theta0..theta1 and phi0..phi1 of
// P(theta, phi) = r (sin theta cos phi, cos theta, sin theta sin phi), two triangles of
// their own vertices each, texture coordinate (phi / 2 pi, theta / pi).
int KVE_CreateSphere(int id, float radius, int slices, int stacks, const char* name)
{
    constexpr const char* kProcedure = "KVE_CreateSphere";
    const int64_t vertexCount = int64_t{slices} * stacks * 6;
    if (slices < 0 || stacks < 0 || vertexCount > geometry::kMaxVertexCount) {
        kve::log::fail("Fail: Invalid sphere size!", kProcedure);
        return 0;
    }
    geometry::MeshRecord* mesh = geometry::createSized(id, name, vertexCount, vertexCount, kProcedure);
    if (!mesh)
        return 0;
    constexpr float kPi = std::numbers::pi_v<float>;
    size_t v = 0;
    for (int i = 1; i <= stacks; ++i) {
        const float theta[2] = {static_cast<float>(i - 1) * kPi / static_cast<float>(stacks),
                                static_cast<float>(i) * kPi / static_cast<float>(stacks)};
        for (int j = 1; j <= slices; ++j) {
            const float phi[2] = {static_cast<float>(j - 1) * 2.0f * kPi / static_cast<float>(slices),
                                  static_cast<float>(j) * 2.0f * kPi / static_cast<float>(slices)};
            // (theta, phi) index pairs of the six vertices.
            constexpr int kCorners[6][2] = {{0, 0}, {0, 1}, {1, 0}, {0, 1}, {1, 1}, {1, 0}};
            for (const auto& corner : kCorners) {
                const float t = theta[corner[0]], p = phi[corner[1]];
                geometry::MeshVertex& vertex = mesh->vertices[v];
                const float x = radius * std::sin(t) * std::cos(p);
                const float y = radius * std::cos(t);
                const float z = radius * std::sin(t) * std::sin(p);
                geometry::setVertex(vertex, x, y, z, p / (2.0f * kPi), t / kPi);
                vertex.normal[0] = x;
                vertex.normal[1] = y;
                vertex.normal[2] = z;
                mesh->indices[v] = static_cast<int32_t>(v);
                ++v;
            }
        }
    }
    geometry::finishOrRelease(mesh);
    return 0;
}

KVE_MESH* KVE_CreateGrassTriangle(int id, float size, float textureRepeat, const char* name)
{
    static constexpr geometry::GrassCorner kCorners[] = {
        {0, 1, 0.5f, 0, true}, {1, -1, 0, 1, false}, {-1, -1, 1, 1, false}};
    return geometry::createGrass(id, size, textureRepeat, name, kCorners, 3, "KVE_CreateGrassTriangle");
}

KVE_MESH* KVE_CreateGrassQuad(int id, float size, float textureRepeat, const char* name)
{
    static constexpr geometry::GrassCorner kCorners[] = {{-1, -1, 1, 1, false}, {-1, 1, 1, 0, true},
                                                         {1, 1, 0, 0, true},    {1, 1, 0, 0, true},
                                                         {1, -1, 0, 1, false},  {-1, -1, 1, 1, false}};
    return geometry::createGrass(id, size, textureRepeat, name, kCorners, 6, "KVE_CreateGrassQuad");
}

} // extern "C"
