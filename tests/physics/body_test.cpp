// Bodies: body files and their bad-input paths, bodies built from meshes (sphere, box,
// welded mesh), the body tree's split rule, attaching, the sets' order and mass properties.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "physics_test_util.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

using kve::physics::BodyRecord;
using kve::physics::world;
using kve::test::expectNear3;

class Bodies : public kve::test::PhysicsTest {};

// Body files, with the log rows they write.
class BodyFiles : public kve::test::LogCaptureTest {
protected:
    void SetUp() override
    {
        LogCaptureTest::SetUp();
        kve::physics::releaseAll();
    }
    void TearDown() override
    {
        kve::physics::releaseAll();
        LogCaptureTest::TearDown();
    }
    static std::string row(const std::string& message, const std::string& color)
    {
        return logRow(message, color, "KVE_LoadBody");
    }
    kve::test::TempDir dir{"bodies"};
};

TEST_F(BodyFiles, OnlyVerticesGivesNoEdgesNorFacesAndLogsZeroCounts)
{
    const auto path = dir / "Only.kvb";
    kve::test::writeFile(path, "Body: Only {\n  Vertices: {\n    1,2,3\n    4,5,6\n  }\n}\n");
    auto* body = static_cast<BodyRecord*>(KVE_LoadBody(-1, path.c_str(), ""));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->type, KVE_BODY_MESH);
    EXPECT_STREQ(body->name, "Only.kvb");
    const auto& geometry = *body->root->geometry;
    ASSERT_EQ(geometry.lastVertex(), 1);
    EXPECT_EQ(geometry.lastEdge(), -1);
    EXPECT_EQ(geometry.lastFace(), -1);
    expectNear3(geometry.vertices[1], 4, 5, 6);
    EXPECT_EQ(geometry.vertices[1].w, 1.0f);
    EXPECT_TRUE(body->root->isLeaf());
    const std::string log = capturedLog();
    EXPECT_NE(log.find(row("Load Body: " + path.string(), "#404040")), std::string::npos);
    EXPECT_NE(log.find(row("Vertices: 2", "#545454")), std::string::npos);
    EXPECT_NE(log.find(row("Edges: 0", "#545454")), std::string::npos);
    EXPECT_NE(log.find(row("Faces: 0", "#545454")), std::string::npos);
    EXPECT_NE(log.find(row("OK", "#11FF00")), std::string::npos);
}

TEST_F(BodyFiles, EdgesAndFacesAreReadInChildOrderAndTheRootReachesTheOrigin)
{
    const auto path = dir / "Tri.kvb";
    kve::test::writeFile(path, "Body: {\n Vertices: {\n 2,1,3\n 4,1,3\n 2,3,3\n }\n Edges: {\n 0,1\n 1,2\n }\n"
                               " Faces: {\n 0,1,2\n }\n}\n");
    auto* body = static_cast<BodyRecord*>(KVE_LoadBody(7, path.c_str(), "Tri"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->number, 7);
    const auto& geometry = *body->root->geometry;
    EXPECT_EQ(geometry.edges, (std::vector<int32_t>{0, 1, 1, 2}));
    EXPECT_EQ(geometry.faces, (std::vector<int32_t>{0, 1, 2}));
    // Bounds grown from the origin: x 0..4, y 0..3, z 0..3.
    expectNear3(body->root->centre, 2, 1.5f, 1.5f);
    expectNear3(body->root->halfSize, 2, 1.5f, 1.5f);
    EXPECT_EQ(body->root->centre.w, 1.0f);
    EXPECT_EQ(body->root->halfSize.w, 0.0f);
}

TEST_F(BodyFiles, BadFilesFailCleanlyAndRegisterNothing)
{
    struct Case {
        const char* name;
        const char* text; // null: no file at all
        const char* message;
    };
    const Case cases[] = {
        {"missing", nullptr, "Fail: File not found!"},
        {"no Body node", "Mesh: X { Vertices: { 1,2,3 } }", "Fail: File not found!"},
        {"face index beyond the vertices", "Body: { Vertices: { 0,0,0\n 1,0,0 }\n Faces: { 0,1,2 } }",
         "Fail: Index beyond the vertex count!"},
        {"negative edge index", "Body: { Vertices: { 0,0,0\n 1,0,0 }\n Edges: { 0,-1 } }",
         "Fail: Index beyond the vertex count!"},
        {"truncated after a bad index", "Body: { Vertices: { 0,0,0\n 1,0,0 }\n Faces: { 0,1,5",
         "Fail: Index beyond the vertex count!"},
        {"empty file", "", "Fail: File not found!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / (std::string(c.name) + ".kvb");
        if (c.text)
            kve::test::writeFile(path, c.text);
        EXPECT_EQ(KVE_LoadBody(3, path.c_str(), "Bad"), nullptr);
        EXPECT_EQ(KVE_GetBody(3), nullptr);
        EXPECT_EQ(kve::physics::bodies().size(), 0u);
        EXPECT_NE(capturedLog().find(logRow(c.message, "#FF0000", "KVE_LoadBody")), std::string::npos);
    }
}

// A bad file loaded under the number or the name of a body already loaded must leave that
// body in place (the record used to be made, replacing it, before the indices were checked).
TEST_F(BodyFiles, BadFileUnderTheNumberOrNameOfALoadedBodyKeepsThatBody)
{
    const auto good = dir / "good.kvb";
    const auto bad = dir / "bad.kvb";
    kve::test::writeFile(good, "Body: { Vertices: { 0,0,0\n 1,0,0\n 0,1,0 }\n Faces: { 0,1,2 } }");
    kve::test::writeFile(bad, "Body: { Vertices: { 0,0,0\n 1,0,0 }\n Faces: { 0,1,2 } }");
    auto* kept = static_cast<BodyRecord*>(KVE_LoadBody(3, good.c_str(), "Kept"));
    ASSERT_NE(kept, nullptr);
    struct Attempt {
        const char* what;
        int id;
        const char* name;
    };
    for (const Attempt& attempt : {Attempt{"same number", 3, "Other"}, Attempt{"same name", -1, "Kept"}}) {
        SCOPED_TRACE(attempt.what);
        EXPECT_EQ(KVE_LoadBody(attempt.id, bad.c_str(), attempt.name), nullptr);
        EXPECT_EQ(KVE_GetBody(3), kept);
        EXPECT_EQ(kve::physics::bodies().findByName("Kept"), kept);
        EXPECT_EQ(kve::physics::bodies().size(), 1u);
        ASSERT_NE(kept->root, nullptr);
        ASSERT_NE(kept->root->geometry, nullptr);
        EXPECT_EQ(kept->root->geometry->vertices.size(), 3u);
        EXPECT_EQ(kept->root->geometry->faces.size(), 3u);
    }
    const std::string log = capturedLog();
    EXPECT_EQ(kve::test::countOccurrences(log, row("Fail: Index beyond the vertex count!", "#FF0000")), 2);
    EXPECT_EQ(log.find("Loaded double"), std::string::npos);
}

TEST_F(BodyFiles, RegistryMessagesForNamesAndNumbers)
{
    EXPECT_NE(KVE_CreateEmptyBody(-1, "Twice"), nullptr);
    EXPECT_NE(KVE_CreateEmptyBody(-1, "Twice"), nullptr);
    EXPECT_EQ(kve::physics::bodies().size(), 1u);
    EXPECT_EQ(KVE_CreateSphereBody(0x10000, 1.0f, ""), nullptr);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Loaded double: First Body has been released!", "#0000FF", "KVE_CreateBodyListEntry")),
              std::string::npos);
    EXPECT_NE(log.find(logRow("Fail: This ID is not available!", "#FF0000", "KVE_CreateBodyListEntry")),
              std::string::npos);
}

TEST_F(Bodies, SphereFromMeshTakesTheFarthestVertexTimesScale)
{
    const int mesh = makeMesh(41, {{1, 0, 0, 1}, {0, 3, 4, 1}, {-2, 0, 0, 1}}, {0, 1, 2});
    auto* body = static_cast<BodyRecord*>(KVE_CreateBodyFromMesh(-1, mesh, KVE_BODY_SPHERE, 0.5f, ""));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->type, KVE_BODY_SPHERE);
    EXPECT_FLOAT_EQ(body->radius, 2.5f);
    expectNear3(body->root->centre, 0, 0, 0);
    expectNear3(body->root->halfSize, 5, 5, 5); // not scaled
}

TEST_F(Bodies, BoxFromAnOffCentreMeshHasItsCornersAroundTheBoundsCentre)
{
    const int mesh = makeMesh(42, {{2, 2, 2, 1}, {4, 3, 6, 1}, {3, 2, 5, 1}}, {0, 1, 2});
    auto* body = static_cast<BodyRecord*>(KVE_CreateBodyFromMesh(-1, mesh, KVE_BODY_BOX, 9.0f, ""));
    ASSERT_NE(body, nullptr);
    // Bounds from the origin: 0..4, 0..3, 0..6.
    expectNear3(body->root->centre, 2, 1.5f, 3);
    const auto& geometry = *body->root->geometry;
    ASSERT_EQ(geometry.vertices.size(), 8u);
    expectNear3(geometry.vertices[0], 0, 0, 0);
    expectNear3(geometry.vertices[1], 4, 0, 0);
    expectNear3(geometry.vertices[6], 0, 3, 6);
    expectNear3(geometry.vertices[7], 4, 3, 6);
    ASSERT_EQ(geometry.edges.size(), 24u);
    ASSERT_EQ(geometry.faces.size(), 36u);
    EXPECT_EQ(std::vector<int32_t>(geometry.faces.begin(), geometry.faces.begin() + 6),
              (std::vector<int32_t>{1, 2, 3, 1, 0, 2}));
    EXPECT_EQ(std::vector<int32_t>(geometry.edges.begin(), geometry.edges.begin() + 4),
              (std::vector<int32_t>{0, 1, 2, 3}));
    // Every face points out of the box.
    for (size_t f = 0; f < 36; f += 3) {
        const KVE_Vector &a = geometry.vertices[geometry.faces[f]], &b = geometry.vertices[geometry.faces[f + 1]],
                         &c = geometry.vertices[geometry.faces[f + 2]];
        const KVE_Vector e1{b.x - a.x, b.y - a.y, b.z - a.z, 0}, e2{c.x - a.x, c.y - a.y, c.z - a.z, 0};
        const KVE_Vector n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x, 0};
        const KVE_Vector out{a.x - 2, a.y - 1.5f, a.z - 3, 0};
        EXPECT_GT(n.x * out.x + n.y * out.y + n.z * out.z, 0.0f) << "face " << f / 3;
    }
}

TEST_F(Bodies, MeshWeldingKeepsOneVertexPerPositionAndEachEdgeOnce)
{
    // Two triangles with their own corners; two corners coincide bit for bit.
    const int mesh = makeMesh(43, {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}, {1, 0, 1, 1}, {0, 0, 1, 1}},
                              {0, 2, 1, 3, 5, 4});
    auto* body = static_cast<BodyRecord*>(KVE_CreateBodyFromMesh(-1, mesh, KVE_BODY_MESH, 1.0f, ""));
    ASSERT_NE(body, nullptr);
    const auto& geometry = *body->root->geometry;
    EXPECT_EQ(geometry.vertices.size(), 4u);
    EXPECT_EQ(geometry.faces, (std::vector<int32_t>{0, 2, 1, 1, 2, 3}));
    // (0,2) (2,1) (1,0) then (1,2) is known as (2,1): (2,3) (3,1).
    EXPECT_EQ(geometry.edges, (std::vector<int32_t>{0, 2, 2, 1, 1, 0, 2, 3, 3, 1}));
}

TEST_F(Bodies, MeshWithAnIndexBeyondItsVerticesIsRefused)
{
    const int mesh = makeMesh(44, {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}}, {0, 1, 2});
    KVE_SetMeshTriangle(mesh, 0, 0, 1, 9);
    EXPECT_EQ(KVE_CreateBodyFromMesh(-1, mesh, KVE_BODY_MESH, 1.0f, ""), nullptr);
    EXPECT_EQ(KVE_CreateBodyFromMesh(-1, 999, KVE_BODY_MESH, 1.0f, ""), nullptr);
    EXPECT_EQ(KVE_CreateBodyFromMesh(-1, mesh, 7, 1.0f, ""), nullptr);
    EXPECT_EQ(kve::physics::bodies().size(), 0u);
}

// A strip of vertices along x: with at most 16 vertices the root stays one leaf; the 17th
// splits it along x into two halves, each a leaf with its share.
TEST_F(Bodies, TreeOfSixteenVerticesIsOneLeafSeventeenSplit)
{
    for (int count : {16, 17}) {
        SCOPED_TRACE(count);
        kve::physics::BodyGeometry geometry;
        for (int i = 0; i < count; ++i)
            geometry.vertices.push_back({static_cast<float>(i), static_cast<float>(i % 2), 0, 1});
        for (int i = 0; i + 2 < count; ++i)
            geometry.faces.insert(geometry.faces.end(), {i, i + 1, i + 2});
        kve::physics::TreeNode root;
        kve::physics::boundsFromOrigin(geometry.vertices.data(), geometry.vertices.size(), sizeof(KVE_Vector), root);
        kve::physics::buildTree(root, geometry);
        if (count == 16) {
            EXPECT_TRUE(root.isLeaf());
            ASSERT_TRUE(root.geometry);
            EXPECT_EQ(root.geometry->vertices.size(), 16u);
            continue;
        }
        ASSERT_FALSE(root.isLeaf());
        EXPECT_EQ(root.first->parent, &root);
        expectNear3(root.first->centre, 4, 0.5f, 0);
        expectNear3(root.first->halfSize, 4, 0.5f, 0);
        expectNear3(root.second->centre, 12, 0.5f, 0);
        ASSERT_TRUE(root.first->geometry && root.second->geometry);
        // Vertices 0..8 lie in the first half (8 on its boundary); faces with a corner
        // inside bring in vertices 9 and 10.
        EXPECT_EQ(root.first->geometry->vertices.size(), 11u);
        EXPECT_EQ(root.first->geometry->faces.size(), 9u * 3u);
        EXPECT_TRUE(root.first->geometry->indicesValid());
        EXPECT_TRUE(root.second->geometry->indicesValid());
    }
}

TEST_F(Bodies, SplittingStopsAtTheDepthLimitForInseparableVertices)
{
    kve::physics::BodyGeometry geometry;
    geometry.vertices.assign(40, KVE_Vector{1, 1, 1, 1});
    kve::physics::TreeNode root;
    kve::physics::boundsFromOrigin(geometry.vertices.data(), geometry.vertices.size(), sizeof(KVE_Vector), root);
    kve::physics::buildTree(root, geometry);
    int depth = 0;
    for (const kve::physics::TreeNode* node = &root; !node->isLeaf(); node = node->second)
        ++depth;
    EXPECT_EQ(depth, kve::physics::kMaxTreeDepth);
}

TEST_F(Bodies, AttachingWithNoneDetachesAndReturnsOne)
{
    KVE_OBJECT* ball = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    EXPECT_EQ(KVE_GetPhysicsObjectCount(1), 1);
    EXPECT_EQ(KVE_SetObjectBody(ball->number, KVE_BODY_NONE, 1.0f), 1);
    EXPECT_EQ(ball->Body.body, nullptr);
    EXPECT_EQ(KVE_GetPhysicsObjectCount(1), 0);
    EXPECT_EQ(KVE_GetPhysicsObjectCount(0), 0);
    // An unknown body number changes nothing.
    EXPECT_EQ(KVE_SetObjectBody(ball->number, 77, 1.0f), 0);
    EXPECT_EQ(ball->Body.body, nullptr);
}

TEST_F(Bodies, SetsKeepTheirOrderRules)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 0.0f);
    EXPECT_EQ(world().staticSet, (std::vector<KVE_OBJECT*>{a}));
    KVE_OBJECT* b = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* c = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* d = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    EXPECT_EQ(world().dynamicSet, (std::vector<KVE_OBJECT*>{d, c, b}));
    KVE_SetObjectMass(c->number, 5.0f); // keeps its place
    EXPECT_EQ(world().dynamicSet, (std::vector<KVE_OBJECT*>{d, c, b}));
    KVE_SetObjectBody(b->number, KVE_BODY_POINT, 1.0f); // re-attached: back to its place
    EXPECT_EQ(world().dynamicSet, (std::vector<KVE_OBJECT*>{d, c, b}));
    KVE_SetObjectMass(b->number, 0.0f); // to the front of the static set
    EXPECT_EQ(world().staticSet, (std::vector<KVE_OBJECT*>{b, a}));
    EXPECT_EQ(KVE_GetPhysicsObjectCount(1), 2);
    EXPECT_EQ(KVE_GetPhysicsObjectCount(0), 2);
    KVE_ReleaseObject(c->number); // a released object leaves the physics
    EXPECT_EQ(world().dynamicSet, (std::vector<KVE_OBJECT*>{d}));
    KVE_SetObjectBody(a->number, KVE_BODY_NONE, 1.0f);
    KVE_SetObjectBody(a->number, KVE_BODY_POINT, 1.0f); // was in no set: front
    EXPECT_EQ(world().staticSet, (std::vector<KVE_OBJECT*>{a, b}));
}

TEST_F(Bodies, MassPropertiesByBodyType)
{
    const int cube = makeCubeMesh(45);
    KVE_OBJECT* box = place(cube, 0, 0, 0, KVE_BODY_BOX, 3.0f);
    KVE_ScaleObject(box->number, 1.0f, 2.0f, 3.0f, 0); // half-sizes 1, 2, 3
    EXPECT_NEAR(box->Body.inertia.c[0].x, 1.0f * (4 + 9), 1e-4f);
    EXPECT_NEAR(box->Body.inertia.c[1].y, 1.0f * (1 + 9), 1e-4f);
    EXPECT_NEAR(box->Body.inertia.c[2].z, 1.0f * (1 + 4), 1e-4f);
    EXPECT_EQ(box->Body.inertia.c[3].w, 1.0f);

    KVE_CreateSphereBody(6, 1.0f, "");
    KVE_OBJECT* ball = place(cube, 0, 0, 0, 6, 2.0f);
    KVE_ScaleObject(ball->number, 0.5f, 0.5f, 0.5f, 0);
    EXPECT_NEAR(ball->Body.inertia.c[0].x, 0.4f * 2.0f * 0.25f, 1e-6f);
    EXPECT_NEAR(ball->Body.inertia.c[2].z, 0.4f * 2.0f * 0.25f, 1e-6f);

    KVE_OBJECT* point = place(cube, 0, 0, 0, KVE_BODY_POINT, 9.0f);
    EXPECT_EQ(point->Body.inertia.c[1].y, 1.0f);

    KVE_CreateEmptyBody(8, "");
    KVE_OBJECT* empty = place(cube, 0, 0, 0, KVE_BODY_POINT, 1.0f);
    empty->Body.inertia.c[0].x = 5.0f;
    KVE_SetObjectBody(empty->number, 8, 1.0f); // type 0 leaves the inertia as it was
    EXPECT_EQ(empty->Body.inertia.c[0].x, 5.0f);
}

TEST_F(Bodies, SurfaceFactorsAndCallbackAreStored)
{
    KVE_OBJECT* o = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_SetObjectRestitution(o->number, 0.9f);
    KVE_SetObjectFriction(o->number, 0.2f);
    const KVE_COLLISION_CALLBACK callback = [](int, int) { return 5; };
    KVE_SetObjectCollisionCallback(o->number, callback);
    EXPECT_EQ(o->Body.restitution, 0.9f);
    EXPECT_EQ(o->Body.friction, 0.2f);
    EXPECT_EQ(o->Body.collisionCallback, callback);
}

} // namespace

namespace {

TEST(DemoBody, GeneratedPlaneFileIsTheGroundFacingUp)
{
    const char* binary = std::getenv("KVE_BINARY_DIR");
    const std::string path = std::string(binary ? binary : ".") + "/samples/physics/Resources/Plane.kvb";
    if (!std::ifstream(path))
        GTEST_SKIP() << "no " << path;
    auto* body = static_cast<BodyRecord*>(KVE_LoadBody(-1, path.c_str(), ""));
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body->name, "Plane.kvb");
    const auto& geometry = *body->root->geometry;
    EXPECT_EQ(geometry.vertices.size(), 4u);
    EXPECT_EQ(geometry.edges.size(), 10u);
    ASSERT_EQ(geometry.faces.size(), 6u);
    for (size_t f = 0; f < 6; f += 3) {
        const KVE_Vector &a = geometry.vertices[geometry.faces[f]], &b = geometry.vertices[geometry.faces[f + 1]],
                         &c = geometry.vertices[geometry.faces[f + 2]];
        const float ny = (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
        EXPECT_GT(ny, 0.0f);
    }
    expectNear3(body->root->halfSize, 1, 0, 1);
    kve::physics::releaseAll();
}

} // namespace
