// The demo's meshes as the build's mesh tool makes them, read through the engine's own
// loaders: the independent writer and the readers have to agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "geometry/mesh.h"
#include "geometry/mesh_test_util.h"
#include "kve.h"

namespace {

using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;
using kve::test::dot3;
using kve::test::length3;

constexpr const char* kNotMade = "the demo's meshes were not made (target kve_demo_meshes)";

class DemoMeshes : public ::testing::Test {
protected:
    // Loads one of the demo's files as mesh `id`; null when the build has not made it.
    const MeshRecord* load(const char* file, int id)
    {
        const char* binary = std::getenv("KVE_BINARY_DIR");
        const std::string path = std::string(binary ? binary : ".") + "/samples/physics/Resources/" + file;
        if (!std::filesystem::exists(path))
            return nullptr;
        id_ = id;
        KVE_MESH* mesh = std::string_view(file).ends_with(".obj") ? KVE_LoadOBJMesh(id, path.c_str(), "")
                                                                  : KVE_LoadMesh(id, path.c_str(), "");
        EXPECT_NE(mesh, nullptr) << path;
        return static_cast<const MeshRecord*>(mesh);
    }
    void TearDown() override { KVE_ReleaseMesh(id_); }

private:
    int id_ = -1;
};

// Every triangle winds counter-clockwise seen from the side its corners' normals face.
void expectFrontFacesOutward(const MeshRecord& mesh)
{
    for (int t = 0; t < mesh.indexCount / 3; ++t) {
        const auto n = kve::test::faceNormal(mesh, t);
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& corner = mesh.vertices[static_cast<size_t>(mesh.indices[static_cast<size_t>(t * 3 + k)])];
            EXPECT_GT(dot3(n.data(), corner.normal), 0.0f) << "triangle " << t;
        }
    }
}

// Tangents were computed (asked for by the file or by the test): unit length, in the
// surface.
void expectTangentsInSurface(const MeshRecord& mesh)
{
    for (const MeshVertex& v : mesh.vertices) {
        EXPECT_NEAR(length3(v.tangent), 1.0f, 1e-4f);
        EXPECT_LT(std::abs(dot3(v.tangent, v.normal)), 1e-4f);
    }
}

TEST_F(DemoMeshes, PlaneIsASubdividedGroundFacingUp)
{
    const MeshRecord* plane = load("Plane.kvm", 100);
    if (!plane)
        GTEST_SKIP() << kNotMade;
    EXPECT_EQ(plane->vertexCount(), 17 * 17);
    EXPECT_EQ(plane->indexCount, 16 * 16 * 6);
    for (const MeshVertex& v : plane->vertices) {
        EXPECT_EQ(v.position[1], 0.0f);
        EXPECT_LE(std::abs(v.position[0]), 1.0f);
        EXPECT_LE(std::abs(v.position[2]), 1.0f);
        EXPECT_EQ(v.normal[1], 1.0f);
        EXPECT_TRUE(v.texCoord[0] >= 0 && v.texCoord[0] <= 8 && v.texCoord[1] >= 0 && v.texCoord[1] <= 8);
    }
    expectFrontFacesOutward(*plane);
    expectTangentsInSurface(*plane);
}

TEST_F(DemoMeshes, CubeHasFourVerticesPerFace)
{
    const MeshRecord* cube = load("Cube.kvm", 101);
    if (!cube)
        GTEST_SKIP() << kNotMade;
    EXPECT_EQ(cube->vertexCount(), 24);
    EXPECT_EQ(cube->indexCount, 36);
    for (const MeshVertex& v : cube->vertices) {
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(std::abs(v.position[k]), 0.5f);
        EXPECT_FLOAT_EQ(dot3(v.position, v.normal), 0.5f); // on the face its normal names
    }
    expectFrontFacesOutward(*cube);
    expectTangentsInSurface(*cube);
}

TEST_F(DemoMeshes, BallIsAUnitSphere)
{
    const MeshRecord* ball = load("Ball.obj", 102);
    if (!ball)
        GTEST_SKIP() << kNotMade;
    EXPECT_EQ(ball->indexCount / 3, 960);
    for (const MeshVertex& v : ball->vertices) {
        EXPECT_NEAR(length3(v.position), 1.0f, 1e-5f);
        EXPECT_NEAR(dot3(v.normal, v.position), 1.0f, 1e-5f);
        EXPECT_TRUE(v.texCoord[0] >= 0 && v.texCoord[0] <= 1 && v.texCoord[1] >= 0 && v.texCoord[1] <= 1);
    }
    expectFrontFacesOutward(*ball);
    ASSERT_EQ(KVE_CalculateMeshTangents(102), 1);
    expectTangentsInSurface(*ball);
}

TEST_F(DemoMeshes, RocksAreGroupedAndFlatShaded)
{
    const MeshRecord* rocks = load("Rocks.obj", 103);
    if (!rocks)
        GTEST_SKIP() << kNotMade;
    ASSERT_EQ(rocks->groups.size(), 5u);
    EXPECT_EQ(KVE_FindMeshGroup(103, "Rock3"), 2);
    int perGroup[5] = {};
    for (int t = 0; t < rocks->indexCount / 3; ++t) {
        const MeshVertex* corner = &rocks->vertices[static_cast<size_t>(t) * 3];
        ASSERT_GE(corner[0].group, 0);
        ASSERT_LT(corner[0].group, 5);
        ++perGroup[corner[0].group];
        // Every corner carries the unit normal of its own face.
        auto n = kve::test::faceNormal(*rocks, t);
        const float l = length3(n.data());
        ASSERT_GT(l, 0.0f) << t;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(corner[k].group, corner[0].group);
            EXPECT_NEAR(dot3(corner[k].normal, n.data()) / l, 1.0f, 1e-3f) << t;
        }
    }
    for (int count : perGroup)
        EXPECT_EQ(count, 224);
}

} // namespace
