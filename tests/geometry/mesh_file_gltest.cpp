#include <gtest/gtest.h>

#include <random>
#include <string>

#include "geometry/mesh.h"
#include "geometry/mesh_test_util.h"
#include "kve.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;
using kve::test::inOrder;

class MeshFile : public kve::test::LogCaptureTest {
protected:
    // Writes `text` as a mesh file and loads it as mesh `id`.
    KVE_MESH* load(int id, const std::string& text, const char* file = "Test.kvm")
    {
        const std::string path = (dir_ / file).string();
        kve::test::writeFile(path, text);
        return KVE_LoadMesh(id, path.c_str(), "");
    }
    std::string path(const char* file) const { return (dir_ / file).string(); }

    kve::test::TempDir dir_{"mesh_file"};
};

MeshRecord& record(int number)
{
    return *kve::geometry::findMesh(number);
}

void expectTriple(const float* values, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(values[0], x);
    EXPECT_FLOAT_EQ(values[1], y);
    EXPECT_FLOAT_EQ(values[2], z);
}

TEST_F(MeshFile, SavedMeshLoadsBackTheSame)
{
    KVE_CreateMesh(90, "Original");
    KVE_SetMeshVertexCount(90, 4);
    const float data[4][8] = {{1, -2, 0.5f, 0, 0, 1, 0.25f, -1},
                              {-1.125f, 0, 3, 0.6f, -0.8f, 0, 1, 0},
                              {0.1234567f, 1e6f, -4, 0, -1, 0, -0.5f, 2},
                              {7, 8, 9, 1, 0, 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        const float* d = data[i];
        KVE_SetMeshVertex(90, i, d[0], d[1], d[2], 5);
        KVE_SetMeshNormal(90, i, d[3], d[4], d[5]);
        KVE_SetMeshTextureCoord(90, i, d[6], d[7]);
        KVE_SetMeshVertexGroup(90, i, 3);
    }
    KVE_SetMeshTriangleCount(90, 2);
    KVE_SetMeshTriangle(90, 0, 0, 1, 2);
    KVE_SetMeshTriangle(90, 1, 3, 2, 0);
    KVE_SaveMesh(90, path("Saved.kvm").c_str(), "Original");

    KVE_MESH* loaded = KVE_LoadMesh(91, path("Saved.kvm").c_str(), nullptr);
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(loaded->name, "Saved.kvm");
    const MeshRecord& copy = record(91);
    const MeshRecord& original = record(90);
    ASSERT_EQ(copy.vertexCount(), 4);
    EXPECT_EQ(copy.indices, original.indices);
    for (int i = 0; i < 4; ++i) {
        const MeshVertex& a = original.vertices[static_cast<size_t>(i)];
        const MeshVertex& b = copy.vertices[static_cast<size_t>(i)];
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(b.position[k], a.position[k], 1e-6f * std::max(1.0f, std::abs(a.position[k])));
            EXPECT_NEAR(b.normal[k], a.normal[k], 1e-6f);
        }
        EXPECT_EQ(b.position[3], 1.0f); // w is not stored
        EXPECT_FLOAT_EQ(b.texCoord[0], a.texCoord[0]);
        EXPECT_FLOAT_EQ(b.texCoord[1], a.texCoord[1]);
        EXPECT_EQ(b.group, 0); // groups are not stored
    }
    EXPECT_NE(copy.vertexArray, kve::geometry::kNoGLName);
    EXPECT_TRUE(inOrder(capturedLog(), {logRow("Load Mesh: " + path("Saved.kvm"), "#404040", "KVE_LoadMesh"),
                                        logRow("Vertices: 4", "#545454", "KVE_FinishMesh"),
                                        logRow("Triangles: 2", "#545454", "KVE_FinishMesh"),
                                        logRow("OK", "#11FF00", "KVE_LoadMesh")}))
        << capturedLog();
    // Without CalculateMeshTangents the tangent place of the buffer stays zero.
    for (const MeshVertex& v : kve::test::readVertexBuffer(copy))
        expectTriple(v.tangent, 0, 0, 0);
    KVE_ReleaseMesh(90);
    KVE_ReleaseMesh(91);
}

TEST_F(MeshFile, KeysAsTheReaderTakesThem)
{
    // The first "Mesh" node anywhere; counts after the keys are not read; faces use their
    // first three elements and 0 for a missing one; a third texture coordinate is the
    // group index; normals past the vertex count are ignored; no Normals block at all in
    // the second file.
    ASSERT_NE(load(92, "Scene: { Other: 1; Mesh: Inner {\n"
                       "  Vertices: 999999999 {\n 0, 0, 0\n 1, 0, 0\n 1, 1, 0\n 0, 1\n }\n"
                       "  Normals: 1 { 0,0,1; 0,0,1; 0,0,1; 0,0,1; 1,1,1 }\n"
                       "  TextureCoords: 4 {\n 0, 0, 2\n 1, 0\n 1, 1, 1.9\n 0, 1\n }\n"
                       "  Faces: 2 {\n 0, 1, 2, 3\n 2, 3\n }\n"
                       "} }\n"),
              nullptr);
    const MeshRecord& mesh = record(92);
    ASSERT_EQ(mesh.vertexCount(), 4);
    EXPECT_EQ(mesh.indices, (std::vector<int32_t>{0, 1, 2, 2, 3, 0}));
    expectTriple(mesh.vertices[3].position, 0, 1, 0); // a missing z keeps its zero
    EXPECT_EQ(mesh.vertices[0].group, 2);
    EXPECT_EQ(mesh.vertices[1].group, 0);
    EXPECT_EQ(mesh.vertices[2].group, 1);
    expectTriple(mesh.vertices[3].normal, 0, 0, 1);

    // No normals: zero normals, and tangents (asked for by keyword) are the normalised T.
    ASSERT_NE(load(93, "Mesh: Bare {\n Vertices: 3 {\n 0,0,0\n 0,0,2\n 0,3,0\n }\n"
                       " TextureCoords: 3 {\n 0,0\n 1,0\n 0,1\n }\n Faces: 1 {\n 0,1,2\n }\n"
                       " CalculateMeshTangents: true;\n}\n"),
              nullptr);
    const MeshRecord& bare = record(93);
    for (const MeshVertex& v : kve::test::readVertexBuffer(bare)) {
        expectTriple(v.normal, 0, 0, 0);
        expectTriple(v.tangent, 0, 0, 1);
    }
    KVE_ReleaseMesh(92);
    KVE_ReleaseMesh(93);
}

TEST_F(MeshFile, MissingFilesAndBadContentLeaveNoMesh)
{
    EXPECT_EQ(KVE_LoadMesh(94, path("Missing.kvm").c_str(), ""), nullptr);
    EXPECT_EQ(capturedLog(), logRow("Load Mesh: " + path("Missing.kvm"), "#404040", "KVE_LoadMesh") +
                                 logRow("Fail: File not found!", "#FF0000", "KVE_LoadMesh") +
                                 logRow("Fail: " + path("Missing.kvm") + ": no such file", "#FF0000", "KVE_LoadMesh"));

    // A definition file without a Mesh node reads as not found.
    EXPECT_EQ(load(94, "Texture: Wood { File: wood.png; }\n"), nullptr);
    EXPECT_EQ(kve::test::countOccurrences(capturedLog(), "Fail: File not found!"), 2);

    // A face naming a vertex that does not exist: refused, and the entry is gone.
    EXPECT_EQ(load(94, "Mesh: Bad { Vertices: 3 {\n0,0,0\n1,0,0\n0,1,0\n}\nFaces: 1 {\n0,1,3\n}\n}\n"), nullptr);
    EXPECT_NE(capturedLog().find("Fail: Index out of range!"), std::string::npos);
    EXPECT_EQ(KVE_GetMesh(94), nullptr);
    EXPECT_EQ(KVE_LoadMesh(94, nullptr, nullptr), nullptr);
}

// A bad file loaded under the number or the name of a mesh already loaded must leave that
// mesh in place and drawable (the record used to be made, replacing it, before the
// indices were checked).
TEST_F(MeshFile, BadFileUnderTheNumberOrNameOfALoadedMeshKeepsThatMesh)
{
    const std::string good = path("Good.kvm");
    kve::test::writeFile(good, "Mesh: Good { Vertices: 3 {\n0,0,0\n1,0,0\n0,1,0\n}\nFaces: 1 {\n0,1,2\n}\n}\n");
    auto* kept = static_cast<MeshRecord*>(KVE_LoadMesh(97, good.c_str(), "Kept"));
    ASSERT_NE(kept, nullptr);
    const uint32_t vertexArray = kept->vertexArray;
    const std::string bad = path("Bad.kvm");
    kve::test::writeFile(bad, "Mesh: Bad { Vertices: 2 {\n0,0,0\n1,0,0\n}\nFaces: 1 {\n0,1,2\n}\n}\n");
    EXPECT_EQ(KVE_LoadMesh(97, bad.c_str(), "Other"), nullptr);
    EXPECT_EQ(KVE_LoadMesh(-1, bad.c_str(), "Kept"), nullptr);
    EXPECT_EQ(kve::test::countOccurrences(capturedLog(), "Fail: Index out of range! Index 2 is 2, vertex count 2"), 2);
    ASSERT_EQ(KVE_GetMesh(97), kept);
    EXPECT_STREQ(kept->name, "Kept");
    EXPECT_EQ(kept->vertexArray, vertexArray);
    EXPECT_EQ(kept->vertexCount(), 3);
    EXPECT_EQ(kept->indexCount, 3);
    KVE_ReleaseMesh(97);
}

TEST_F(MeshFile, TruncatedAndRandomFilesNeverCrash)
{
    // Every prefix of a saved mesh either loads with indices inside its vertices or is
    // refused; random bytes likewise (run under AddressSanitizer for the bounds).
    KVE_CreateSphere(95, 1.0f, 4, 3, "Source");
    KVE_SaveMesh(95, path("Sphere.kvm").c_str(), "Sphere");
    KVE_ReleaseMesh(95);
    const std::string whole = kve::test::readFile(path("Sphere.kvm"));
    ASSERT_GT(whole.size(), 1000u);
    std::mt19937 random(99);
    for (int round = 0; round < 60; ++round) {
        std::string text;
        if (round % 2 == 0) {
            text = whole.substr(0, random() % whole.size());
        } else {
            text = "Mesh: R {";
            for (int i = 0; i < 300; ++i)
                text += static_cast<char>(random() % 2 ? "{}:;,\n 0123456789-."[random() % 20] : random() & 0xFF);
        }
        if (KVE_MESH* mesh = load(96, text)) {
            EXPECT_EQ(kve::geometry::firstBadIndex(*static_cast<MeshRecord*>(mesh)), -1);
            KVE_ReleaseMesh(96);
        } else {
            EXPECT_EQ(KVE_GetMesh(96), nullptr);
        }
    }
}

} // namespace
