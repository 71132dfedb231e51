// Scene objects: creation defaults, copies, scaling, velocity and release.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/object.h"
#include "scene_test_util.h"

namespace {

using kve::test::expectAxes;
using kve::test::expectVector;
namespace scene = kve::scene;

constexpr int kMesh = 50;

void expectIdentity(const KVE_Matrix& m)
{
    expectAxes(m, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}});
    expectVector(m.c[3], 0, 0, 0, 1);
}

class Objects : public ::testing::Test {
protected:
    void SetUp() override { mesh = KVE_CreateMesh(kMesh, ""); }
    void TearDown() override
    {
        scene::releaseObjects();
        KVE_ReleaseMesh(kMesh);
    }
    KVE_MESH* mesh = nullptr;
};

TEST_F(Objects, CreationSetsEveryFieldToItsStartValue)
{
    KVE_OBJECT* object = KVE_CreateObject(3, kMesh, -1, "Ground", 0, 77);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->item.kind, KVE_ITEM_OBJECT);
    EXPECT_EQ(object->item.attachMode, KVE_ATTACH_NONE);
    EXPECT_EQ(object->item.parent, nullptr);
    EXPECT_EQ(object->item.fullMatrix, &object->fullMatrix);
    EXPECT_EQ(object->item.rigidMatrix, &object->rigidMatrix);
    EXPECT_EQ(object->item.rotation, &object->rotation);
    EXPECT_EQ(object->number, 3);
    EXPECT_STREQ(object->name, "Ground");
    EXPECT_EQ(object->visible, 1);
    EXPECT_EQ(object->castsShadow, 1);
    EXPECT_EQ(object->animationFlag, 0);
    EXPECT_EQ(object->animation, 0); // no binding without the flag
    EXPECT_EQ(object->binding1, -1);
    EXPECT_EQ(object->binding2, -1);
    EXPECT_EQ(object->binding3, -1);

    const KVE_OBJECT_BODY& body = object->Body;
    EXPECT_EQ(body.body, nullptr);
    EXPECT_FLOAT_EQ(body.sizeFactor, 1.0f);
    EXPECT_FLOAT_EQ(body.restitution, 0.4f);
    EXPECT_FLOAT_EQ(body.friction, 0.7f);
    EXPECT_FLOAT_EQ(body.mass, 0.0f);
    expectIdentity(body.inertia);
    for (const KVE_Vector* v : {&body.v4fMovement, &body.angularVelocity, &body.acceleration,
                                &body.angularAcceleration, &body.displacement})
        expectVector(*v, 0, 0, 0, 0);
    EXPECT_EQ(body.collisionCallback, nullptr);
    EXPECT_EQ(body.callbackResult, 0);
    EXPECT_EQ(body.treeNodes, nullptr);

    expectVector(object->v4fPosition, 0, 0, 0, 1);
    EXPECT_FLOAT_EQ(object->rotation.w, 1.0f);
    expectIdentity(object->fullMatrix);
    expectIdentity(object->rigidMatrix);
    expectVector(object->scale, 1, 1, 1, 0);
    EXPECT_EQ(object->mesh, mesh);
    EXPECT_EQ(object->isStatic, 0);
    EXPECT_EQ(object->noCameraPass, 0);
    EXPECT_EQ(KVE_GetObject(3), object);

    KVE_OBJECT* animated = KVE_CreateObject(-1, kMesh, -1, "", 1, 77);
    ASSERT_NE(animated, nullptr);
    EXPECT_GE(animated->number, 0x10000);
    EXPECT_EQ(animated->animationFlag, 1);
    EXPECT_EQ(animated->animation, 77);
}

TEST_F(Objects, AMissingMeshOrARefusedNumberCreatesNothing)
{
    KVE_OBJECT* existing = KVE_CreateObject(3, kMesh, -1, "Kept", 0, 0);
    ASSERT_NE(existing, nullptr);
    EXPECT_EQ(KVE_CreateObject(3, 9999, -1, "Kept", 0, 0), nullptr);
    EXPECT_EQ(KVE_CreateObject(3, -1, -1, "", 0, 0), nullptr);
    EXPECT_EQ(KVE_GetObject(3), existing);
    EXPECT_EQ(KVE_CreateObject(65536, kMesh, -1, "", 0, 0), nullptr);
    EXPECT_EQ(KVE_CopyObject(4, 12345, ""), nullptr);
    EXPECT_EQ(KVE_GetObject(4), nullptr);
}

TEST_F(Objects, ScaleSetsOrMultipliesAndKeepsTheSizeFactor)
{
    KVE_OBJECT* object = KVE_CreateObject(1, kMesh, -1, "", 0, 0);
    ASSERT_EQ(KVE_RotateObject(1, 0, 90, 0, 0), 1);
    ASSERT_EQ(KVE_MoveObject(1, 1, 2, 3, 0), 1);
    ASSERT_EQ(KVE_ScaleObject(1, 2, 3, 4, 0), 1);
    ASSERT_EQ(KVE_ScaleObject(1, 2, 1, 0.5f, 1), 1);
    expectVector(object->scale, 4, 3, 2, 0);
    EXPECT_FLOAT_EQ(object->Body.sizeFactor, 4.0f);
    expectAxes(object->fullMatrix, {{0, 0, -4, 0}, {0, 3, 0, 0}, {2, 0, 0, 0}});
    expectAxes(object->rigidMatrix, {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}});
    expectVector(object->fullMatrix.c[3], 1, 2, 3, 1);

    ASSERT_EQ(KVE_ScaleObject(1, -5, -1, -2, 3), 1); // any mode but 1 sets
    EXPECT_FLOAT_EQ(object->Body.sizeFactor, -1.0f);
    EXPECT_EQ(KVE_ScaleObject(1, NAN, 1, 1, 0), 0);
    EXPECT_EQ(KVE_ScaleObject(2, 1, 1, 1, 0), 0);
    expectVector(object->scale, -5, -1, -2, 0);
}

TEST_F(Objects, VelocityIsSetOrAddedInParentOrOwnAxes)
{
    KVE_OBJECT* object = KVE_CreateObject(1, kMesh, -1, "", 0, 0);
    ASSERT_EQ(KVE_RotateObject(1, 0, 90, 0, 0), 1);
    ASSERT_EQ(KVE_MoveObject(1, 7, 7, 7, 0), 1);
    const KVE_Vector& movement = object->Body.v4fMovement;

    ASSERT_EQ(KVE_SetObjectVelocity(1, nullptr, 1, 2, 3, 0), 1);
    expectVector(movement, 1, 2, 3, 0);
    const KVE_Vector point{0, 0, 1, 1}; // w is ignored: a velocity is never moved
    ASSERT_EQ(KVE_SetObjectVelocity(1, &point, 9, 9, 9, KVE_RELATIVE), 1);
    expectVector(movement, 1, 2, 4, 0);
    ASSERT_EQ(KVE_SetObjectVelocity(1, &point, 0, 0, 0, KVE_LOCAL), 1);
    expectVector(movement, 1, 0, 0, 0); // R_y90 (0,0,1)
    ASSERT_EQ(KVE_SetObjectVelocity(1, nullptr, 2, 0, 0, KVE_LOCAL | KVE_RELATIVE), 1);
    expectVector(movement, 1, 0, -2, 0);
    EXPECT_EQ(KVE_SetObjectVelocity(1, nullptr, INFINITY, 0, 0, 0), 0);
    EXPECT_EQ(KVE_SetObjectVelocity(99, nullptr, 1, 0, 0, 0), 0);
    expectVector(movement, 1, 0, -2, 0);
}

TEST_F(Objects, CopiesShareMeshAndMaterialAndTakeThePlacement)
{
    KVE_OBJECT* source = KVE_CreateObject(1, kMesh, -1, "Source", 0, 0);
    ASSERT_EQ(KVE_RotateObject(1, 30, 0, 0, 0), 1);
    ASSERT_EQ(KVE_MoveObject(1, 1, 2, 3, 0), 1);
    ASSERT_EQ(KVE_ScaleObject(1, 2, 2, 2, 0), 1);
    source->visible = 0;

    KVE_OBJECT* copy = KVE_CopyObject(2, 1, "Copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->mesh, source->mesh);
    EXPECT_EQ(copy->material, source->material);
    EXPECT_EQ(copy->visible, 1);
    EXPECT_FLOAT_EQ(copy->Body.sizeFactor, 2.0f);
    for (int column = 0; column < 4; ++column) {
        const KVE_Vector& full = source->fullMatrix.c[column];
        const KVE_Vector& rigid = source->rigidMatrix.c[column];
        expectVector(copy->fullMatrix.c[column], full.x, full.y, full.z, full.w);
        expectVector(copy->rigidMatrix.c[column], rigid.x, rigid.y, rigid.z, rigid.w);
    }

    // Copying onto the source's own number replaces the source with its copy.
    const KVE_Vector position = source->v4fPosition;
    KVE_OBJECT* replaced = KVE_CopyObject(1, 1, "");
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(KVE_GetObject(1), replaced);
    expectVector(replaced->v4fPosition, position.x, position.y, position.z, 1);
    EXPECT_EQ(replaced->mesh, mesh);
}

TEST_F(Objects, ReleaseDetachesChildrenAndForgetsTheNumber)
{
    ASSERT_NE(KVE_CreateObject(1, kMesh, -1, "", 0, 0), nullptr);
    KVE_OBJECT* child = KVE_CreateObject(2, kMesh, -1, "", 0, 0);
    ASSERT_EQ(KVE_ScaleObject(1, 10, 10, 10, 0), 1);
    ASSERT_EQ(KVE_MoveObject(2, 1, 0, 0, 0), 1);
    ASSERT_EQ(KVE_AttachItem(KVE_GetObjectItem(1), KVE_GetObjectItem(2), KVE_ATTACH_FULL), 1);
    expectVector(scene::objectWorldMatrix(*child).c[3], 10, 0, 0, 1);
    EXPECT_EQ(KVE_ReleaseObject(1), 1);
    EXPECT_EQ(child->item.parent, nullptr);
    expectVector(scene::objectWorldMatrix(*child).c[3], 1, 0, 0, 1);
    EXPECT_EQ(KVE_GetObject(1), nullptr);
    EXPECT_EQ(KVE_ReleaseObject(1), 0);
    EXPECT_EQ(KVE_MoveObject(1, 0, 0, 0, 0), 0);
    EXPECT_EQ(KVE_GetObjectItem(1), nullptr);

    KVE_Vector position;
    KVE_Quaternion rotation;
    ASSERT_EQ(KVE_GetObjectPosition(2, &position), &position);
    expectVector(position, 1, 0, 0, 1);
    ASSERT_EQ(KVE_GetObjectRotation(2, &rotation), &rotation);
    EXPECT_FLOAT_EQ(rotation.w, 1.0f);
    EXPECT_EQ(KVE_GetObjectPosition(1, &position), nullptr);
}

} // namespace
