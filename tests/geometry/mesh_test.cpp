#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "kve.h"
#include "support/test_files.h"

namespace {

using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;

// A mesh built through the public operations, released at the end of the test.
class BuiltMesh {
public:
    BuiltMesh(int id, const char* name) : number_(id) { record_ = KVE_CreateMesh(id, name); }
    ~BuiltMesh()
    {
        if (record_)
            KVE_ReleaseMesh(record_->number);
    }
    int number() const { return record_->number; }
    MeshRecord& record() const { return *static_cast<MeshRecord*>(record_); }

private:
    int number_;
    KVE_MESH* record_;
};

MeshVertex vertex(float x, float y, float z, float u, float v, float nx = 0, float ny = 0, float nz = 0)
{
    MeshVertex result{};
    result.position[0] = x;
    result.position[1] = y;
    result.position[2] = z;
    result.position[3] = 1.0f;
    result.normal[0] = nx;
    result.normal[1] = ny;
    result.normal[2] = nz;
    result.texCoord[0] = u;
    result.texCoord[1] = v;
    return result;
}

void expectTangent(const MeshVertex& v, float x, float y, float z)
{
    EXPECT_NEAR(v.tangent[0], x, 1e-5f);
    EXPECT_NEAR(v.tangent[1], y, 1e-5f);
    EXPECT_NEAR(v.tangent[2], z, 1e-5f);
}

// The unit square in z = 0 as two triangles; `uv` maps a corner (x, y) to its texture
// coordinate.
template <class Mapping>
MeshRecord square(Mapping uv, float nx = 0, float ny = 0, float nz = 1)
{
    MeshRecord mesh;
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
        const auto [u, v] = uv(c[0], c[1]);
        mesh.vertices.push_back(vertex(c[0], c[1], 0, u, v, nx, ny, nz));
    }
    mesh.indices = {0, 1, 2, 0, 2, 3};
    mesh.indexCount = 6;
    return mesh;
}

TEST(MeshFile, SavedTextIsExactLineByLine)
{
    kve::test::TempDir dir("save");
    BuiltMesh mesh(40, "Tri");
    EXPECT_EQ(KVE_SetMeshVertexCount(mesh.number(), 3), 156);
    KVE_SetMeshVertex(mesh.number(), 0, 1, -2, 0.5f, 1);
    KVE_SetMeshVertex(mesh.number(), 1, -1.25f, 0, 3, 1);
    KVE_SetMeshVertex(mesh.number(), 2, 0, 1, -4, 1);
    KVE_SetMeshNormal(mesh.number(), 0, 0, 0, 1);
    KVE_SetMeshNormal(mesh.number(), 1, 0, -1, 0);
    KVE_SetMeshNormal(mesh.number(), 2, -0.5f, 0.25f, 1);
    KVE_SetMeshTextureCoord(mesh.number(), 0, 0, 1);
    KVE_SetMeshTextureCoord(mesh.number(), 1, -0.5f, 0.25f);
    KVE_SetMeshTextureCoord(mesh.number(), 2, 1, -1);
    EXPECT_EQ(KVE_SetMeshTriangleCount(mesh.number(), 1), 12);
    KVE_SetMeshTriangle(mesh.number(), 0, 0, 1, 2);

    const std::string path = (dir / "Tri.kvm").string();
    KVE_SaveMesh(mesh.number(), path.c_str(), "Saved");
    EXPECT_EQ(kve::test::readFile(path), "Mesh: Saved {\r\n"
                                          "\tVertices: 3 {\r\n"
                                          "\t\t 1.000000,-2.000000, 0.500000\r\n"
                                          "\t\t-1.250000, 0.000000, 3.000000\r\n"
                                          "\t\t 0.000000, 1.000000,-4.000000\r\n"
                                          "\t}\r\n"
                                          "\r\n"
                                          "\tNormals: 3 {\r\n"
                                          "\t\t 0.000000, 0.000000, 1.000000\r\n"
                                          "\t\t 0.000000,-1.000000, 0.000000\r\n"
                                          "\t\t-0.500000, 0.250000, 1.000000\r\n"
                                          "\t}\r\n"
                                          "\r\n"
                                          "\tTextureCoords: 3 {\r\n"
                                          "\t\t 0.000000, 1.000000\r\n"
                                          "\t\t-0.500000, 0.250000\r\n"
                                          "\t\t 1.000000,-1.000000\r\n"
                                          "\t}\r\n"
                                          "\r\n"
                                          "\tFaces: 1 {\r\n"
                                          "\t\t 0,1,2\r\n"
                                          "\t}\r\n"
                                          "\r\n"
                                          "}\r\n");

    // A null name writes the mesh's own; a missing mesh or an unwritable path writes nothing.
    KVE_SaveMesh(mesh.number(), path.c_str(), nullptr);
    EXPECT_EQ(kve::test::readFile(path).rfind("Mesh: Tri {\r\n", 0), 0u);
    const std::string missing = (dir / "Missing.kvm").string();
    KVE_SaveMesh(12345, missing.c_str(), "X");
    EXPECT_FALSE(std::filesystem::exists(missing));
    KVE_SaveMesh(mesh.number(), (dir / "no such dir" / "x.kvm").string().c_str(), "X");
}

TEST(MeshFile, NumbersRoundLikePrintfWithSixDecimals)
{
    const float values[] = {0.1234567f, 123456.789f, -0.0000004f, 1e-7f, 3.0e9f, -7.5f, 0.0000005f};
    MeshRecord mesh;
    for (float value : values)
        mesh.vertices.push_back(vertex(value, value, value, value, value));
    const std::string text = kve::geometry::meshFileText(mesh, "N");
    for (float value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%s%.6f,", value < 0 ? "" : " ", static_cast<double>(value));
        EXPECT_NE(text.find(std::string("\t\t") + expected), std::string::npos) << expected;
    }
}

TEST(MeshTangents, FollowTheTextureUAxisInTheSurface)
{
    MeshRecord plain = square([](float x, float y) { return std::pair{x, y}; });
    kve::geometry::computeTangents(plain);
    for (const MeshVertex& v : plain.vertices)
        expectTangent(v, 1, 0, 0);

    // u running along y, and u running against x (a mirrored mapping).
    MeshRecord turned = square([](float x, float y) { return std::pair{y, x}; });
    kve::geometry::computeTangents(turned);
    expectTangent(turned.vertices[2], 0, 1, 0);
    MeshRecord mirrored = square([](float x, float y) { return std::pair{-2 * x, y}; });
    kve::geometry::computeTangents(mirrored);
    expectTangent(mirrored.vertices[0], -1, 0, 0);

    // Gram-Schmidt against a tilted normal (0.6, 0, 0.8): (1,0,0) becomes (0.8, 0, -0.6).
    MeshRecord tilted = square([](float x, float y) { return std::pair{x, y}; }, 0.6f, 0, 0.8f);
    kve::geometry::computeTangents(tilted);
    expectTangent(tilted.vertices[3], 0.8f, 0, -0.6f);

    // Without normals the tangent is the normalised sum of the triangles' T vectors.
    MeshRecord bare = square([](float x, float y) { return std::pair{3 * x + y, 0.5f * y}; }, 0, 0, 0);
    kve::geometry::computeTangents(bare);
    expectTangent(bare.vertices[1], 1, 0, 0);
}

TEST(MeshTangents, DegenerateTrianglesAndBadIndicesAddNothing)
{
    MeshRecord mesh;
    mesh.vertices = {vertex(0, 0, 0, 0, 0, 0, 0, 1), vertex(1, 0, 0, 1, 0, 0, 0, 1), vertex(0, 1, 0, 0, 1, 0, 0, 1),
                     vertex(5, 0, 0, 0, 1, 0, 0, 1), vertex(5, 5, 0, 0, 1, 0, 0, 1), vertex(1, 1, 1, 1, 1, 0, 0, 1)};
    // Triangle 2 repeats one texture coordinate at all three corners (det exactly 0);
    // triangle 3 names a vertex that does not exist.
    mesh.indices = {0, 1, 2, 2, 3, 4, 5, 99, 0};
    mesh.indexCount = 9;
    kve::geometry::computeTangents(mesh);
    for (int v : {0, 1, 2})
        expectTangent(mesh.vertices[static_cast<size_t>(v)], 1, 0, 0);
    for (int v : {3, 4, 5}) {
        expectTangent(mesh.vertices[static_cast<size_t>(v)], 0, 0, 0);
        for (float component : mesh.vertices[static_cast<size_t>(v)].tangent)
            EXPECT_FALSE(std::isnan(component));
    }
    EXPECT_EQ(kve::geometry::firstBadIndex(mesh), 7);

    // Index counts that are no multiple of three: triples are taken from the end and an
    // incomplete one at the start is never read.
    mesh.indices = {3, 0, 1, 2};
    mesh.indexCount = 4;
    kve::geometry::computeTangents(mesh);
    expectTangent(mesh.vertices[1], 1, 0, 0);
    expectTangent(mesh.vertices[3], 0, 0, 0);
    mesh.indices = {0, 1};
    mesh.indexCount = 2;
    kve::geometry::computeTangents(mesh);
    expectTangent(mesh.vertices[1], 0, 0, 0);
}

TEST(MeshBuilding, CountsRefuseNegativeAndAbsurdSizes)
{
    BuiltMesh mesh(41, "");
    EXPECT_EQ(KVE_SetMeshVertexCount(mesh.number(), 4), 208);
    EXPECT_EQ(KVE_SetMeshVertexCount(mesh.number(), -1), 0);
    EXPECT_EQ(KVE_SetMeshVertexCount(mesh.number(), kve::geometry::kMaxVertexCount + 1), 0);
    EXPECT_EQ(KVE_GetMeshVertexCount(mesh.number()), 4); // unchanged by the refused calls
    EXPECT_EQ(KVE_SetMeshTriangleCount(mesh.number(), 2), 24);
    EXPECT_EQ(KVE_SetMeshTriangleCount(mesh.number(), INT32_MAX), 0); // 3 x count overflows
    EXPECT_EQ(KVE_SetMeshIndexCount(mesh.number(), -5), 0);
    EXPECT_EQ(KVE_GetMeshIndexCount(mesh.number()), 6);
    EXPECT_EQ(KVE_SetMeshIndexCount(mesh.number(), 7), 28);
    EXPECT_EQ(KVE_GetMeshTriangleCount(mesh.number()), 2);
    EXPECT_EQ(KVE_SetMeshVertexCount(999, 3), 0); // no such mesh
}

TEST(MeshBuilding, SettersAndAccessorsStayInsideTheArrays)
{
    BuiltMesh mesh(-1, "Access");
    ASSERT_GE(mesh.number(), 0x10000);
    EXPECT_EQ(KVE_GetMesh(mesh.number()), &mesh.record());
    EXPECT_STREQ(KVE_GetMeshName(mesh.number()), "Access");
    KVE_SetMeshVertexCount(mesh.number(), 2);
    KVE_SetMeshTriangleCount(mesh.number(), 1);
    KVE_SetMeshVertex(mesh.number(), 1, 1, 2, 3, 1);
    KVE_SetMeshVertexGroup(mesh.number(), 1, 7);
    for (int bad : {-1, 2, INT32_MAX}) {
        KVE_SetMeshVertex(mesh.number(), bad, 9, 9, 9, 9);
        KVE_SetMeshNormal(mesh.number(), bad, 9, 9, 9);
        KVE_SetMeshTextureCoord(mesh.number(), bad, 9, 9);
        KVE_SetMeshVertexGroup(mesh.number(), bad, 9);
        KVE_SetMeshTriangle(mesh.number(), bad < 0 ? bad : bad - 1, 9, 9, 9);
        EXPECT_EQ(KVE_GetMeshVertexAddress(mesh.number(), bad), nullptr);
        EXPECT_EQ(KVE_GetMeshNormalAddress(mesh.number(), bad), nullptr);
        EXPECT_EQ(KVE_GetMeshTextureCoordAddress(mesh.number(), bad), nullptr);
        EXPECT_EQ(KVE_GetMeshVertexGroup(mesh.number(), bad), 0);
    }
    const KVE_MESH_VERTEX* second = KVE_GetMeshVertexAddress(mesh.number(), 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->position[2], 3.0f);
    EXPECT_EQ(KVE_GetMeshNormalAddress(mesh.number(), 1), second->normal);
    EXPECT_EQ(KVE_GetMeshTextureCoordAddress(mesh.number(), 1), second->texCoord);
    EXPECT_EQ(KVE_GetMeshVertexGroup(mesh.number(), 1), 7);
    EXPECT_EQ(mesh.record().indices, (std::vector<int32_t>{0, 0, 0}));
}

TEST(MeshBuilding, GroupsAreAppendedOnceAndFoundWithoutCreating)
{
    BuiltMesh mesh(42, "Groups");
    EXPECT_EQ(KVE_FindMeshGroup(mesh.number(), "Static"), -1);
    EXPECT_EQ(KVE_GetMeshGroup(mesh.number(), "Static"), 0);
    EXPECT_EQ(KVE_GetMeshGroup(mesh.number(), "Dynamic"), 1);
    EXPECT_EQ(KVE_GetMeshGroup(mesh.number(), "Static"), 0);
    EXPECT_EQ(KVE_FindMeshGroup(mesh.number(), "Dynamic"), 1);
    EXPECT_EQ(KVE_FindMeshGroup(mesh.number(), "static"), -1);
    EXPECT_EQ(mesh.record().groups.size(), 2u);
    EXPECT_EQ(KVE_GetMeshGroup(12345, "Static"), -1);
}

TEST(MeshBuilding, ReleaseForgetsTheNumberAndTheName)
{
    KVE_MESH* first = KVE_CreateMesh(43, "Twin");
    ASSERT_NE(first, nullptr);
    KVE_MESH* second = KVE_CreateMesh(-1, "Twin"); // takes the name over: the first is released
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(KVE_GetMesh(43), nullptr);
    EXPECT_EQ(KVE_CreateMesh(0x10000, "Refused"), nullptr);
    const int number = second->number;
    KVE_ReleaseMesh(number);
    EXPECT_EQ(KVE_GetMesh(number), nullptr);
    KVE_ReleaseMesh(number); // a second release finds nothing
}

} // namespace
