// Attachment, world walks and the six move and rotate modes, checked against answers
// worked out by hand. Rotations: R_x90 maps y to z; R_y90 maps z to x and x to -z.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "scene/item.h"
#include "scene/node.h"
#include "scene_test_util.h"

namespace {

using kve::test::expectAxes;
using kve::test::expectVector;
using kve::test::rotationMatrix;
using kve::test::TestItem;
namespace scene = kve::scene;

TEST(Attachment, RigidModeIgnoresTheParentScaleAndFullModeFollowsIt)
{
    TestItem parent;
    parent.place(1, 2, 3, 0, 0, 0, 10);
    TestItem rigidChild, fullChild;
    for (TestItem* child : {&rigidChild, &fullChild})
        ASSERT_TRUE(scene::moveItem(child->placement(), 1, 0, 0, 0));
    ASSERT_TRUE(scene::attachItem(&parent.item, rigidChild.item, KVE_ATTACH_RIGID));
    ASSERT_TRUE(scene::attachItem(&parent.item, fullChild.item, KVE_ATTACH_FULL));

    const KVE_Matrix rigidWorld = scene::worldMatrix(rigidChild.item);
    expectAxes(rigidWorld, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}});
    expectVector(rigidWorld.c[3], 2, 2, 3, 1);

    const KVE_Matrix fullWorld = scene::worldMatrix(fullChild.item);
    expectAxes(fullWorld, {{10, 0, 0, 0}, {0, 10, 0, 0}, {0, 0, 10, 0}});
    expectVector(fullWorld.c[3], 11, 2, 3, 1);
}

TEST(Attachment, WalksTheWholeChainAndComposesRotations)
{
    TestItem root, middle, leaf;
    root.place(0, 0, 0, 0, 90, 0, 1);   // R_y90
    middle.place(0, 0, 5, 90, 0, 0, 1); // R_x90, 5 along the root's z
    leaf.place(0, 1, 0, 0, 0, 0, 1);
    ASSERT_TRUE(scene::attachItem(&root.item, middle.item, KVE_ATTACH_RIGID));
    ASSERT_TRUE(scene::attachItem(&middle.item, leaf.item, KVE_ATTACH_FULL));

    // leaf world = R_y90 (T(0,0,5) R_x90 (0,1,0)) = R_y90 (0,0,6) = (6,0,0)
    expectVector(scene::worldMatrix(leaf.item).c[3], 6, 0, 0, 1);
    expectAxes(rotationMatrix(scene::worldRotation(leaf.item)), {{0, 0, -1, 0}, {1, 0, 0, 0}, {0, -1, 0, 0}});
    expectAxes(rotationMatrix(scene::parentRotation(leaf.item)), {{0, 0, -1, 0}, {1, 0, 0, 0}, {0, -1, 0, 0}});
}

TEST(Attachment, RefusesLoopsUnknownItemsAndOtherModesAndDetaches)
{
    TestItem a, b, c;
    ASSERT_TRUE(scene::attachItem(&a.item, b.item, KVE_ATTACH_RIGID));
    ASSERT_TRUE(scene::attachItem(&b.item, c.item, KVE_ATTACH_RIGID));
    EXPECT_FALSE(scene::attachItem(&c.item, a.item, KVE_ATTACH_RIGID)); // would close a loop
    EXPECT_FALSE(scene::attachItem(&a.item, a.item, KVE_ATTACH_FULL));
    EXPECT_FALSE(scene::attachItem(&a.item, c.item, 5));
    KVE_ITEM stranger{};
    EXPECT_FALSE(scene::attachItem(&stranger, c.item, KVE_ATTACH_RIGID));
    EXPECT_EQ(KVE_AttachItem(&a.item, nullptr, KVE_ATTACH_RIGID), 0);
    EXPECT_EQ(a.item.parent, nullptr);
    EXPECT_EQ(c.item.parent, &b.item);

    // Re-attaching moves the child; mode 0 detaches it.
    ASSERT_TRUE(scene::attachItem(&a.item, c.item, KVE_ATTACH_FULL));
    EXPECT_EQ(c.item.parent, &a.item);
    EXPECT_EQ(c.item.attachMode, KVE_ATTACH_FULL);
    ASSERT_TRUE(scene::attachItem(&a.item, c.item, KVE_ATTACH_NONE));
    EXPECT_EQ(c.item.parent, nullptr);
    EXPECT_EQ(c.item.attachMode, KVE_ATTACH_NONE);
}

TEST(Attachment, ReleasingAParentDetachesItsChildren)
{
    KVE_NODE* parent = KVE_CreateNode(40, "");
    KVE_NODE* child = KVE_CreateNode(41, "");
    ASSERT_NE(parent, nullptr);
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(KVE_AttachItem(KVE_GetNodeItem(40), KVE_GetNodeItem(41), KVE_ATTACH_RIGID), 1);
    ASSERT_EQ(KVE_MoveNode(40, 3, 0, 0, 0), 1);
    ASSERT_EQ(KVE_MoveNode(41, 1, 0, 0, 0), 1);
    KVE_Matrix world;
    ASSERT_NE(KVE_GetItemWorldMatrix(&child->item, &world), nullptr);
    expectVector(world.c[3], 4, 0, 0, 1);

    // Replacing node 40 by number releases the parent; the child keeps its local place.
    ASSERT_NE(KVE_CreateNode(40, ""), nullptr);
    EXPECT_EQ(child->item.parent, nullptr);
    EXPECT_EQ(child->item.attachMode, KVE_ATTACH_NONE);
    ASSERT_NE(KVE_GetItemWorldMatrix(&child->item, &world), nullptr);
    expectVector(world.c[3], 1, 0, 0, 1);

    // A released child leaves its parent's list: releasing the parent later is safe.
    ASSERT_EQ(KVE_AttachItem(KVE_GetNodeItem(40), KVE_GetNodeItem(41), KVE_ATTACH_FULL), 1);
    const KVE_ITEM* stale = KVE_GetNodeItem(41);
    EXPECT_EQ(KVE_ReleaseNode(41), 1);
    EXPECT_EQ(KVE_GetItemWorldMatrix(stale, &world), nullptr);
    EXPECT_EQ(KVE_ReleaseNode(40), 1);
    EXPECT_EQ(KVE_ReleaseNode(40), 0);
    EXPECT_EQ(KVE_MoveNode(40, 1, 1, 1, 0), 0);
}

TEST(Nodes, StartAtTheOriginAndMoveThroughTheSharedFamily)
{
    KVE_NODE* node = KVE_CreateNode(-1, "Anchor");
    ASSERT_NE(node, nullptr);
    EXPECT_GE(node->number, 0x10000);
    EXPECT_STREQ(node->name, "Anchor");
    EXPECT_EQ(node->item.kind, KVE_ITEM_NODE);
    EXPECT_EQ(node->item.fullMatrix, &node->matrix);
    EXPECT_EQ(node->item.rigidMatrix, &node->matrix);
    EXPECT_EQ(node->item.rotation, &node->rotation);
    expectVector(node->position, 0, 0, 0, 1);
    ASSERT_EQ(KVE_RotateNode(node->number, 0, 90, 0, 0), 1);
    ASSERT_EQ(KVE_MoveNode(node->number, 0, 0, 1, KVE_RELATIVE | KVE_LOCAL), 1);
    expectVector(node->position, 1, 0, 0, 1); // R_y90 (0,0,1)
    expectVector(node->matrix.c[3], 1, 0, 0, 1);
    EXPECT_EQ(KVE_ReleaseNode(node->number), 1);
}

// Parent: at (10,0,0), R_y90, scale 2. Child (mode 7): at (1,0,0), R_x90, so its world
// position is (10,0,0) + R_y90 (2,0,0) = (10,0,-2). Each case starts from there.
class ModesUnderATurnedScaledParent : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.place(10, 0, 0, 0, 90, 0, 2);
        ASSERT_TRUE(scene::attachItem(&parent.item, child.item, KVE_ATTACH_FULL));
    }
    void restart() { child.place(1, 0, 0, 90, 0, 0, 1); }
    KVE_Vector worldPosition() const { return scene::worldMatrix(child.item).c[3]; }
    KVE_Matrix worldAxes() const { return rotationMatrix(scene::worldRotation(child.item)); }

    TestItem parent;
    TestItem child;
};

TEST_F(ModesUnderATurnedScaledParent, MoveInEachMode)
{
    struct Case {
        int mode;
        KVE_Vector value, position, world;
    };
    const Case cases[] = {
        // The child's own y is (1,0,0) in the world, doubled by the parent.
        {KVE_RELATIVE | KVE_LOCAL, {0, 1, 0, 0}, {1, 0, 1, 1}, {12, 0, -2, 1}},
        {KVE_RELATIVE | KVE_GLOBAL, {0, 0, -4, 0}, {3, 0, 0, 1}, {10, 0, -6, 1}},
        {KVE_RELATIVE, {0, 2, 0, 0}, {1, 2, 0, 1}, {10, 4, -2, 1}},
        {KVE_LOCAL, {0, 1, 0, 0}, {0, 0, 1, 1}, {12, 0, 0, 1}},
        {KVE_GLOBAL, {10, 0, -6, 0}, {3, 0, 0, 1}, {10, 0, -6, 1}},
        {0, {5, 6, 7, 0}, {5, 6, 7, 1}, {24, 12, -10, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        restart();
        ASSERT_TRUE(scene::moveItem(child.placement(), c.value.x, c.value.y, c.value.z, c.mode));
        expectVector(child.position, c.position.x, c.position.y, c.position.z, 1);
        expectVector(child.full.c[3], c.position.x, c.position.y, c.position.z, 1);
        expectVector(worldPosition(), c.world.x, c.world.y, c.world.z, 1);
    }
}

TEST_F(ModesUnderATurnedScaledParent, RotateInEachMode)
{
    struct Case {
        int mode;
        KVE_Vector angles;
        KVE_Vector worldAxes[3];
    };
    const Case cases[] = {
        // local: R_x90 R_z90, seen through R_y90
        {KVE_RELATIVE | KVE_LOCAL, {0, 0, 90, 0}, {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}}},
        // about the world's x: R_x90 R_y90 R_x90
        {KVE_RELATIVE | KVE_GLOBAL, {90, 0, 0, 0}, {{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, -1, 0}}},
        // about the parent's x: R_y90 R_x180
        {KVE_RELATIVE, {90, 0, 0, 0}, {{0, 0, -1, 0}, {0, -1, 0, 0}, {-1, 0, 0, 0}}},
        // the world orientation becomes R_x90
        {KVE_GLOBAL, {90, 0, 0, 0}, {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}}},
        // the local orientation becomes R_y90: R_y90 R_y90 in the world
        {0, {0, 90, 0, 0}, {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}}},
        {KVE_LOCAL, {0, 90, 0, 0}, {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        restart();
        ASSERT_TRUE(scene::rotateItem(child.placement(), c.angles.x, c.angles.y, c.angles.z, c.mode));
        expectAxes(worldAxes(), c.worldAxes);
        KVE_Matrix world = scene::worldMatrix(child.item); // the parent's scale rides along
        for (KVE_Vector& axis : world.c)
            KVE_ScaleVector(&axis, 0.5f);
        expectAxes(world, c.worldAxes);
    }
}

TEST_F(ModesUnderATurnedScaledParent, InvalidValuesAndASingularParentChangeNothing)
{
    restart();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(scene::moveItem(child.placement(), nan, 0, 0, KVE_RELATIVE));
    EXPECT_FALSE(scene::rotateItem(child.placement(), 0, inf, 0, KVE_RELATIVE));
    parent.scale = {0, 1, 1, 0};
    scene::rebuildMatrices(parent.placement());
    EXPECT_FALSE(scene::moveItem(child.placement(), 1, 1, 1, KVE_GLOBAL));
    expectVector(child.position, 1, 0, 0, 1);
    expectAxes(child.rigid, {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}});
}

TEST(Placement, ScaledFullMatrixAndUnitRotationAfterManyTurns)
{
    TestItem item;
    item.scale = {2, 3, 4, 0};
    for (int turn = 0; turn < 10000; ++turn)
        ASSERT_TRUE(scene::rotateItem(item.placement(), 0.7f, 1.3f, 0.0f, KVE_RELATIVE | KVE_LOCAL));
    const KVE_Quaternion& q = item.rotation;
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-5f);
    for (int axis = 0; axis < 3; ++axis) {
        const KVE_Vector& column = item.full.c[axis];
        const float length = std::sqrt(column.x * column.x + column.y * column.y + column.z * column.z);
        EXPECT_NEAR(length, (&item.scale.x)[axis], 1e-4f);
    }
}

} // namespace
