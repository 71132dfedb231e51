#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "geometry/mesh.h"
#include "kve.h"
#include "geometry/mesh_test_util.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;
using kve::test::inOrder;
using kve::test::length3;

class ObjMesh : public kve::test::LogCaptureTest {};
class GeneratedMesh : public kve::test::LogCaptureTest {};

TEST_F(ObjMesh, LoadLogsCountsAndTakesTheFileNameAsName)
{
    kve::test::TempDir dir("obj");
    const auto path = dir / "Tri.obj";
    kve::test::writeFile(path, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
                               "g Top\nf 1/1/1 2/2/2 3/3/3\n");
    KVE_MESH* mesh = KVE_LoadOBJMesh(70, path.string().c_str(), "");
    ASSERT_NE(mesh, nullptr);
    EXPECT_STREQ(mesh->name, "Tri.obj");
    EXPECT_EQ(KVE_GetMeshVertexCount(70), 3);
    EXPECT_EQ(KVE_GetMeshTriangleCount(70), 1);
    EXPECT_EQ(KVE_FindMeshGroup(70, "Top"), 0);
    EXPECT_NE(static_cast<MeshRecord*>(mesh)->vertexArray, kve::geometry::kNoGLName);
    EXPECT_TRUE(inOrder(capturedLog(), {logRow("Load OBJ Mesh: " + path.string(), "#404040", "KVE_LoadOBJMesh"),
                                        logRow("Vertices: 3", "#545454", "KVE_FinishMesh"),
                                        logRow("Triangles: 1", "#545454", "KVE_FinishMesh"),
                                        logRow("OK", "#11FF00", "KVE_LoadOBJMesh")}))
        << capturedLog();
    // Tangents of the loaded triangle follow its u axis.
    ASSERT_EQ(KVE_CalculateMeshTangents(70), 1);
    EXPECT_FLOAT_EQ(KVE_GetMeshVertexAddress(70, 0)->tangent[0], 1.0f);
    KVE_ReleaseMesh(70);
}

TEST_F(ObjMesh, MissingFileCreatesNoEntry)
{
    EXPECT_EQ(KVE_LoadOBJMesh(71, "missing.obj", "Missing"), nullptr);
    EXPECT_EQ(KVE_GetMesh(71), nullptr);
    EXPECT_EQ(capturedLog(), logRow("Load OBJ Mesh: missing.obj", "#404040", "KVE_LoadOBJMesh") +
                                 logRow("Fail: File not found!", "#FF0000", "KVE_LoadOBJMesh") +
                                 logRow("Fail: missing.obj: no such file", "#FF0000", "KVE_LoadOBJMesh"));
    EXPECT_EQ(KVE_LoadOBJMesh(71, nullptr, nullptr), nullptr);
    EXPECT_EQ(KVE_LoadOBJMesh(71, ".", nullptr), nullptr); // a directory is no file
    EXPECT_EQ(KVE_GetMesh(71), nullptr);
}

TEST_F(ObjMesh, FilesWithoutATriangleFailAndKeepTheLoadedMesh)
{
    kve::test::TempDir dir("obj_empty");
    KVE_MESH* kept = KVE_CreateGrassQuad(75, 1, 1, "Kept");
    ASSERT_NE(kept, nullptr);
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"))
        utf16 += std::string(1, c) + '\0';
    const std::pair<const char*, std::string> files[] = {
        {"Empty.obj", ""}, {"Garbage.obj", "\x8f\x01\xfe\x7f v\x00 1\n\xff\xff f"}, {"Utf16.obj", utf16},
        {"NoFaces.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n"}};
    for (const auto& [name, content] : files) {
        const auto path = dir / name;
        kve::test::writeFile(path, content);
        EXPECT_EQ(KVE_LoadOBJMesh(75, path.string().c_str(), ""), nullptr) << name;
        EXPECT_NE(capturedLog().find(logRow("Fail: " + path.string() + ": no triangles", "#FF0000",
                                            "KVE_LoadOBJMesh")),
                  std::string::npos)
            << name;
    }
    EXPECT_EQ(KVE_GetMesh(75), kept);
    EXPECT_EQ(capturedLog().find(logRow("OK", "#11FF00", "KVE_LoadOBJMesh")), std::string::npos);
    KVE_ReleaseMesh(75);
}

TEST_F(ObjMesh, BadIndicesGiveOneWarningNamingTheFirstLine)
{
    kve::test::TempDir dir("obj_index");
    const auto path = dir / "Bad.obj";
    kve::test::writeFile(path, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\nf 7 2 3\n");
    ASSERT_NE(KVE_LoadOBJMesh(76, path.string().c_str(), ""), nullptr);
    EXPECT_EQ(KVE_GetMeshTriangleCount(76), 3);
    const std::string warning =
        logRow("Warning: " + path.string() + ": index out of range in line 5", "#FF8000", "KVE_LoadOBJMesh");
    EXPECT_EQ(kve::test::countOccurrences(capturedLog(), warning), 1) << capturedLog();
    EXPECT_TRUE(inOrder(capturedLog(), {warning, logRow("OK", "#11FF00", "KVE_LoadOBJMesh")})) << capturedLog();
    KVE_ReleaseMesh(76);
}

TEST_F(GeneratedMesh, SphereFollowsItsParametrisation)
{
    constexpr float r = 2.5f;
    EXPECT_EQ(KVE_CreateSphere(72, r, 36, 18, "Sphere"), 0);
    ASSERT_NE(KVE_GetMesh(72), nullptr);
    const MeshRecord& mesh = *kve::geometry::findMesh(72);
    EXPECT_EQ(mesh.vertexCount(), 36 * 18 * 6);
    EXPECT_EQ(KVE_GetMeshTriangleCount(72), 36 * 18 * 2);
    EXPECT_NE(mesh.vertexArray, kve::geometry::kNoGLName);
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const MeshVertex& v = mesh.vertices[i];
        EXPECT_NEAR(length3(v.position), r, 1e-5f);
        EXPECT_EQ(v.position[3], 1.0f);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(v.normal[k], v.position[k]);
        EXPECT_GE(v.texCoord[0], 0.0f);
        EXPECT_LE(v.texCoord[0], 1.0f + 1e-6f);
        EXPECT_GE(v.texCoord[1], 0.0f);
        EXPECT_LE(v.texCoord[1], 1.0f + 1e-6f);
        EXPECT_EQ(mesh.indices[i], static_cast<int32_t>(i));
    }
    // The first band starts at the north pole: P(0,0), P(0,phi1), P(theta1,0), P(0,phi1),
    // P(theta1,phi1), P(theta1,0).
    const float theta1 = std::numbers::pi_v<float> / 18, phi1 = 2 * std::numbers::pi_v<float> / 36;
    const float expected[6][2] = {{0, 0}, {0, phi1}, {theta1, 0}, {0, phi1}, {theta1, phi1}, {theta1, 0}};
    for (int k = 0; k < 6; ++k) {
        const float t = expected[k][0], p = expected[k][1];
        const MeshVertex& v = mesh.vertices[static_cast<size_t>(k)];
        EXPECT_NEAR(v.position[0], r * std::sin(t) * std::cos(p), 1e-5f) << k;
        EXPECT_NEAR(v.position[1], r * std::cos(t), 1e-5f) << k;
        EXPECT_NEAR(v.position[2], r * std::sin(t) * std::sin(p), 1e-5f) << k;
        EXPECT_NEAR(v.texCoord[0], p / (2 * std::numbers::pi_v<float>), 1e-6f) << k;
        EXPECT_NEAR(v.texCoord[1], t / std::numbers::pi_v<float>, 1e-6f) << k;
    }
    const MeshVertex& last = mesh.vertices[mesh.vertices.size() - 2]; // P(pi, 2 pi): the south pole
    EXPECT_NEAR(last.texCoord[0], 1.0f, 1e-6f);
    EXPECT_NEAR(last.texCoord[1], 1.0f, 1e-6f);
    EXPECT_NEAR(last.position[1], -r, 1e-5f);
    KVE_ReleaseMesh(72);

    EXPECT_EQ(KVE_CreateSphere(73, 1, -4, 18, "Bad"), 0);
    EXPECT_EQ(KVE_CreateSphere(73, 1, 65536, 65536, "Huge"), 0);
    EXPECT_EQ(KVE_GetMesh(73), nullptr);
    EXPECT_EQ(kve::test::countOccurrences(capturedLog(), logRow("Fail: Invalid sphere size!", "#FF0000", "KVE_CreateSphere")), 2);
}

TEST_F(GeneratedMesh, GrassMeshesSwayOnlyTheirDynamicVertices)
{
    struct Expected {
        float x, z, u, v;
        int group;
    };
    // size 4 (s = 2), texture repeat 3.
    const Expected triangle[] = {{0, 2, 1.5f, 0, 1}, {2, -2, 0, 3, 0}, {-2, -2, 3, 3, 0}};
    const Expected quad[] = {{-2, -2, 3, 3, 0}, {-2, 2, 3, 0, 1}, {2, 2, 0, 0, 1},
                             {2, 2, 0, 0, 1},   {2, -2, 0, 3, 0}, {-2, -2, 3, 3, 0}};
    KVE_MESH* made[2] = {KVE_CreateGrassTriangle(74, 4, 3, "GrassTriangle"), KVE_CreateGrassQuad(-1, 4, 3, "")};
    const Expected* tables[2] = {triangle, quad};
    for (int m = 0; m < 2; ++m) {
        ASSERT_NE(made[m], nullptr);
        const MeshRecord& mesh = *static_cast<MeshRecord*>(made[m]);
        EXPECT_EQ(KVE_FindMeshGroup(mesh.number, "Static"), 0);
        EXPECT_EQ(KVE_FindMeshGroup(mesh.number, "Dynamic"), 1);
        EXPECT_EQ(mesh.indexCount, mesh.vertexCount());
        EXPECT_NE(mesh.vertexArray, kve::geometry::kNoGLName);
        for (int i = 0; i < mesh.vertexCount(); ++i) {
            const Expected& e = tables[m][i];
            const MeshVertex& v = mesh.vertices[static_cast<size_t>(i)];
            EXPECT_EQ(v.position[0], e.x) << m << i;
            EXPECT_EQ(v.position[1], 0.0f) << m << i;
            EXPECT_EQ(v.position[2], e.z) << m << i;
            EXPECT_EQ(v.position[3], 1.0f) << m << i;
            EXPECT_EQ(v.normal[1], 1.0f) << m << i;
            EXPECT_EQ(v.texCoord[0], e.u) << m << i;
            EXPECT_EQ(v.texCoord[1], e.v) << m << i;
            EXPECT_EQ(v.group, e.group) << m << i;
            EXPECT_EQ(mesh.indices[static_cast<size_t>(i)], i);
        }
        KVE_ReleaseMesh(mesh.number);
    }
    EXPECT_EQ(KVE_CreateGrassQuad(0x10000, 1, 1, ""), nullptr);
}

} // namespace
