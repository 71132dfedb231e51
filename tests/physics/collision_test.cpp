// Collisions: positional corrections of each narrow-phase test, the impulse with
// restitution and Coulomb friction, collision sounds and callbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gpu/material.h"
#include "physics_test_util.h"

namespace {

using kve::physics::world;
using kve::test::expectNear3;

class Collisions : public kve::test::PhysicsTest {
protected:
    void SetUp() override
    {
        PhysicsTest::SetUp();
        KVE_CreateSphereBody(6, 1.0f, "");
    }
    // Runs one pair test as the step's collision phase does.
    int collideWithResponse(KVE_OBJECT& first, KVE_OBJECT& second)
    {
        world().response = 1;
        const int contact = kve::physics::collide(first, second);
        world().response = 0;
        return contact;
    }
    KVE_OBJECT* ground()
    {
        KVE_OBJECT* plane = place(makePlaneMesh(30), 0, 0, 0, KVE_BODY_MESH, 0.0f);
        KVE_ScaleObject(plane->number, 10, 10, 10, 0);
        return plane;
    }
    // A box body on the -1..1 cube.
    KVE_OBJECT* box(float sx, float sy, float sz, float x, float y, float z, float mass)
    {
        return place(unitCube(), x, y, z, KVE_BODY_BOX, mass, {sx, sy, sz, 0});
    }
    int unitCube()
    {
        if (cubeMesh < 0)
            cubeMesh = makeCubeMesh(31);
        return cubeMesh;
    }
    int cubeMesh = -1;
};

TEST_F(Collisions, TwoSpheresAtOneAndAHalfMoveAQuarterApartEach)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, 6, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 1.5f, 0, 0, 6, 1.0f);
    EXPECT_EQ(collideWithResponse(*a, *b), 1);
    expectNear3(a->v4fPosition, -0.25f, 0, 0);
    expectNear3(b->v4fPosition, 1.75f, 0, 0);
    expectNear3(world().contactNormal, 1, 0, 0);
    expectNear3(world().contactPoint, 0.75f, 0, 0); // A + n (rA + p / 2), before the correction
}

TEST_F(Collisions, CoincidentSpheresDoNotTouch)
{
    KVE_OBJECT* a = place(anyMesh(), 2, 2, 2, 6, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 2, 2, 2, 6, 1.0f);
    EXPECT_EQ(collideWithResponse(*a, *b), 0);
    expectNear3(a->v4fPosition, 2, 2, 2);
}

TEST_F(Collisions, SphereOnAStaticPlaneIsPushedOutByTheFullPenetration)
{
    KVE_OBJECT* plane = ground();
    KVE_OBJECT* ball = place(anyMesh(), 0.3f, 0.8f, 0.2f, 6, 1.0f);
    EXPECT_EQ(collideWithResponse(*plane, *ball), 1);
    expectNear3(world().contactNormal, 0, 1, 0);
    expectNear3(ball->v4fPosition, 0.3f, 1.0f, 0.2f);
    expectNear3(plane->v4fPosition, 0, 0, 0);
    EXPECT_EQ(KVE_CollideObjects(ball->number, plane->number), 0); // resting, no longer inside
}

TEST_F(Collisions, CubeOnAStaticPlaneIsCorrectedAlongUpByTheDeepestEdgeCrossing)
{
    KVE_OBJECT* plane = ground();
    for (float turn : {0.0f, 30.0f}) {
        SCOPED_TRACE(turn);
        KVE_OBJECT* cube = place(unitCube(), 5, 0.9f, 5, KVE_BODY_BOX, 1.0f);
        KVE_RotateObject(cube->number, 0, turn, 0, 0);
        EXPECT_EQ(collideWithResponse(*plane, *cube), 1);
        expectNear3(world().contactNormal, 0, 1, 0);
        expectNear3(cube->v4fPosition, 5, 1.0f, 5);
        EXPECT_NEAR(world().contactPoint.y, 0.0f, 1e-5f);
        KVE_ReleaseObject(cube->number);
    }
}

// Turned 45 degrees about z the cube stands on an edge along z, its lowest edge sqrt(2)
// below the centre, 0.1 into the ground: the correction is that 0.1 along up, not the
// length of the ground's diagonal that passes through the cube's two lower faces. The
// surfaces cross at the four slanted edges (x = +-0.1, z = +-1) and where the diagonal
// x = -z enters and leaves (x = +-0.1): the contact point is the middle of them all.
TEST_F(Collisions, GroundDiagonalThroughACubeEdgeAddsNoDepth)
{
    KVE_OBJECT* plane = ground();
    const float lift = std::sqrt(2.0f);
    KVE_OBJECT* cube = box(1, 1, 1, 0, lift - 0.1f, 0, 1.0f);
    KVE_RotateObject(cube->number, 0, 0, 45, 0);
    EXPECT_EQ(collideWithResponse(*plane, *cube), 1);
    expectNear3(cube->v4fPosition, 0, lift, 0);
    expectNear3(world().contactNormal, 0, 1, 0);
    expectNear3(world().contactPoint, 0, 0, 0);
}

// Two planks crossed like an X, overlapping by 0.1 in height: every crossing edge runs
// through the other plank's side and out again, with no corner inside either. They
// still touch: the upper one is lifted off by the overlap, at the middle of the
// crossings. The lower one rises into it, so it takes its share of the impulse.
TEST_F(Collisions, CrossedPlanksArePushedApartByTheirOverlap)
{
    KVE_OBJECT* along = box(3, 0.2f, 0.2f, 0, 0, 0, 1.0f);
    KVE_OBJECT* across = box(0.2f, 0.2f, 3, 0, 0.3f, 0, 1.0f);
    along->Body.v4fMovement = {0, 1, 0, 0};
    EXPECT_EQ(collideWithResponse(*along, *across), 1);
    expectNear3(world().contactNormal, 0, 1, 0);
    expectNear3(along->v4fPosition, 0, 0, 0);
    expectNear3(across->v4fPosition, 0, 0.4f, 0);
    expectNear3(world().contactPoint, 0, 0.15f, 0);
    // Equal masses at the middle: the approach speed 1 turns into 0.16 apart, shared.
    EXPECT_NEAR(along->Body.v4fMovement.y, 1.0f - 0.58f, 1e-5f);
    EXPECT_NEAR(across->Body.v4fMovement.y, 0.58f, 1e-5f);
}

// A plank moving sideways into a standing box is pushed back along the box's side, not
// lifted onto it; a plank entering a thin one at speed goes back out the side it came in
// through even when it is past the middle.
TEST_F(Collisions, SideContactsSeparateSideways)
{
    KVE_OBJECT* standing = box(0.5f, 0.5f, 0.5f, 0, 0.5f, 0, 1.0f);
    KVE_OBJECT* plank = box(0.5f, 0.1f, 0.25f, -0.95f, 0.1f, 0, 1.0f);
    plank->Body.displacement = {0.1f, 0, 0, 0};
    EXPECT_EQ(collideWithResponse(*standing, *plank), 1);
    expectNear3(world().contactNormal, -1, 0, 0);
    EXPECT_NEAR(standing->v4fPosition.x - plank->v4fPosition.x, 1.0f, 1e-5f);
    EXPECT_NEAR(plank->v4fPosition.y, 0.1f, 1e-6f);

    KVE_OBJECT* thin = box(1, 0.5f, 0.1f, 5, 0.5f, 0, 1.0f);
    KVE_OBJECT* fast = box(0.5f, 0.25f, 0.1f, 5, 0.5f, -0.13f, 1.0f); // 0.07 past the middle
    fast->Body.displacement = {0, 0, 0.17f, 0};
    EXPECT_EQ(collideWithResponse(*thin, *fast), 1);
    expectNear3(world().contactNormal, 0, 0, -1);
    EXPECT_NEAR(fast->v4fPosition.z - thin->v4fPosition.z, -0.2f, 1e-5f);
}

// A box resting 0.1 deep on another moving box is lifted off it by the whole depth,
// whichever of the two the step passes first: the lower one is not pushed down into
// what carries it.
TEST_F(Collisions, StackedMovingBoxesArePushedApartInEitherOrder)
{
    for (const bool upperFirst : {true, false}) {
        KVE_OBJECT* upper = box(1, 1, 1, 0, 1.9f, 0, 1.0f);
        KVE_OBJECT* lower = box(1, 1, 1, 0, 0, 0, 1.0f);
        ASSERT_EQ(upperFirst ? collideWithResponse(*upper, *lower) : collideWithResponse(*lower, *upper), 1);
        expectNear3(upper->v4fPosition, 0, 2.0f, 0);
        expectNear3(lower->v4fPosition, 0, 0, 0);
        KVE_ReleaseObject(upper->number);
        KVE_ReleaseObject(lower->number);
    }
}

// The demo's plank (1 x 0.5 x 0.2 on a 1-unit cube) dropped tilted from 3 units: it lands
// and stays down, its centre ending at its half-thickness 0.1 above the ground.
TEST_F(Collisions, PlankDroppedOnTheGroundComesToRestOnIt)
{
    KVE_SetGravity(0, -9.81f, 0);
    ground();
    KVE_OBJECT* plank = box(0.5f, 0.25f, 0.1f, 0, 3, 0, 1.0f);
    KVE_RotateObject(plank->number, 30, 40, 50, 0);
    float highest = plank->v4fPosition.y;
    for (int i = 0; i < 300; ++i) {
        kve::physics::step(1.0f / 60.0f);
        highest = std::max(highest, plank->v4fPosition.y);
    }
    EXPECT_LE(highest, 3.0f);
    EXPECT_NEAR(plank->v4fPosition.y, 0.1f, 0.01f); // lying flat on its broad face
}

TEST_F(Collisions, PointSweepingThroughThePlaneStopsOnIt)
{
    KVE_OBJECT* plane = ground();
    KVE_OBJECT* dot = place(anyMesh(), 1, -0.05f, 1, KVE_BODY_POINT, 1.0f);
    dot->Body.displacement = {0, -0.1f, 0, 0};
    EXPECT_EQ(collideWithResponse(*plane, *dot), 1);
    expectNear3(dot->v4fPosition, 1, 0, 1);
    expectNear3(world().contactNormal, 0, 1, 0);
    dot->Body.displacement = {0, 0, 0, 0}; // no sweep, no contact
    EXPECT_EQ(collideWithResponse(*plane, *dot), 0);
}

TEST_F(Collisions, PointEnteringASphereIsPlacedOnItsSurface)
{
    KVE_OBJECT* ball = place(anyMesh(), 0, 0, 0, 6, 0.0f);
    KVE_OBJECT* dot = place(anyMesh(), 0, 0.9f, 0, KVE_BODY_POINT, 1.0f);
    dot->Body.displacement = {0, -0.2f, 0, 0};
    EXPECT_EQ(collideWithResponse(*dot, *ball), 1); // dispatch swaps to (sphere, point)
    expectNear3(dot->v4fPosition, 0, 1.0f, 0);
    expectNear3(world().contactNormal, 0, 1, 0);
}

// A point that barely moves, anywhere near the sphere's surface: however small its sweep,
// either no contact or a contact whose point, normal and position are numbers.
TEST_F(Collisions, TinySweepsNeverGiveANaNContact)
{
    KVE_OBJECT* ball = place(anyMesh(), 0, 0, 0, 6, 0.0f);
    KVE_OBJECT* dot = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    const auto finite = [](const KVE_Vector& v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
    };
    int contacts = 0;
    for (const float sweep : {1e-6f, 1e-10f, 1e-15f, 1e-20f, 1e-25f, 1e-30f, 1e-38f, 1e-42f}) {
        for (const float height : {0.0f, 0.5f, 0.999999f, 1.0f, 1.000001f, 1.5f, 1e20f}) {
            for (const float direction : {-1.0f, 1.0f}) {
                dot->v4fPosition = {0, height, 0, 1};
                dot->Body.displacement = {sweep * 0.6f, direction * sweep * 0.8f, 0, 0};
                world().contactPoint = {0, 0, 0, 1};
                world().contactNormal = {0, 1, 0, 0};
                const int touched = collideWithResponse(*dot, *ball);
                contacts += touched;
                EXPECT_TRUE(finite(world().contactPoint) && finite(world().contactNormal) && finite(dot->v4fPosition))
                    << "sweep " << sweep << " height " << height << " direction " << direction;
            }
        }
    }
    EXPECT_GT(contacts, 0) << "the surface is still found by the sweeps that reach it";
}

TEST_F(Collisions, ImpulseUsesProductsOfRestitutionAndFriction)
{
    KVE_OBJECT* floor = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 0.0f);
    KVE_OBJECT* ball = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    ball->Body.v4fMovement = {3, -2, 0, 0};
    world().contactPoint = {0, 0, 0, 1};
    world().contactNormal = {0, 1, 0, 0};
    KVE_ApplyContactImpulse(ball->number, floor->number); // the dynamic object goes second
    EXPECT_FLOAT_EQ(world().approachSpeed, 2.0f);
    // e = 0.4 * 0.4 = 0.16: vy = -2 + 1.16 * 2; mu = 0.7 * 0.7 = 0.49: vx = 3 - 0.49 * 2.
    expectNear3(ball->Body.v4fMovement, 3.0f - 0.98f, 0.32f, 0);
    expectNear3(floor->Body.v4fMovement, 0, 0, 0);
}

TEST_F(Collisions, ImpulseBetweenTwoStaticObjectsChangesNothing)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 0.0f);
    KVE_OBJECT* b = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 0.0f);
    b->Body.v4fMovement = {0, -1, 0, 0};
    world().contactNormal = {0, 1, 0, 0};
    KVE_ApplyContactImpulse(a->number, b->number);
    expectNear3(b->Body.v4fMovement, 0, -1, 0);
}

TEST_F(Collisions, SpinFrictionSlowsARotatingBall)
{
    KVE_OBJECT* floor = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 0.0f);
    KVE_OBJECT* ball = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    ball->Body.v4fMovement = {0, -10, 0, 0};
    ball->Body.angularVelocity = {0, 5, 0, 0};
    world().contactPoint = {0, 0, 0, 1};
    world().contactNormal = {0, 1, 0, 0};
    KVE_ApplyContactImpulse(floor->number, ball->number);
    // Budget 0.49 * 10; spin impulse 0.1 * 4.9 against w_A - w_B = (0, -5, 0).
    expectNear3(ball->Body.angularVelocity, 0, 5 - 0.49f, 0);
}

class CollisionSounds : public Collisions {
protected:
    void SetUp() override
    {
        Collisions::SetUp();
        for (int id : {1, 2, 3})
            KVE_CreateMaterialListEntry(&id, "");
        kve::physics::setCollisionSoundPlayer([this](int sound, const KVE_Vector& at, float volume) {
            played.push_back({sound, at.y, volume});
        });
    }
    void TearDown() override
    {
        kve::physics::setCollisionSoundPlayer(nullptr);
        Collisions::TearDown();
        for (int id : {1, 2, 3})
            kve::gpu::materials().releaseNumber(id);
    }
    struct Played {
        int sound;
        float y, volume;
    };
    std::vector<Played> played;
};

TEST_F(CollisionSounds, LookupByMaterialOrder)
{
    const KVE_MATERIAL* x = KVE_GetMaterial(1);
    const KVE_MATERIAL* y = KVE_GetMaterial(2);
    const KVE_MATERIAL* z = KVE_GetMaterial(3);
    KVE_SetCollisionSound(40, 1, 2);
    EXPECT_EQ(kve::physics::findCollisionSound(y, x), nullptr);
    ASSERT_NE(kve::physics::findCollisionSound(x, y), nullptr);
    KVE_SetCollisionSound(41, 1, 2); // replaces
    EXPECT_EQ(kve::physics::findCollisionSound(x, y)->sound, 41);
    EXPECT_EQ(world().collisionSounds.size(), 1u);
    KVE_SetCollisionSound(42, 3, -1);
    EXPECT_EQ(kve::physics::findCollisionSound(z, x)->sound, 42);
    EXPECT_EQ(kve::physics::findCollisionSound(y, z)->sound, 42);
    KVE_SetCollisionSound(43, 99, -1); // unknown material: not registered
    EXPECT_EQ(world().collisionSounds.size(), 2u);
}

TEST_F(CollisionSounds, PlayedAboveAnApproachSpeedOfOneWithItsVolumeShare)
{
    KVE_SetCollisionSound(7, 1, -1);
    KVE_OBJECT* plane = place(makePlaneMesh(30), 0, 0, 0, KVE_BODY_MESH, 0.0f);
    KVE_SetObjectMaterial(plane->number, 1);
    for (float speed : {1.0f, 2.0f}) {
        KVE_OBJECT* ball = place(anyMesh(), 0, 0.9f, 0, 6, 1.0f);
        KVE_SetObjectRestitution(ball->number, 0.0f);
        ball->Body.v4fMovement = {0, -speed, 0, 0};
        EXPECT_EQ(collideWithResponse(*plane, *ball), 1);
        KVE_ReleaseObject(ball->number);
    }
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].sound, 7);
    EXPECT_NEAR(played[0].volume, 0.5f, 1e-6f);
    EXPECT_NEAR(played[0].y, 0.0f, 1e-5f);
}

int lastOwn = 0, lastOther = 0;

TEST_F(Collisions, CallbacksGetOwnAndOtherNumbers)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, 6, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 1.5f, 0, 0, 6, 1.0f);
    KVE_SetObjectCollisionCallback(a->number, [](int own, int other) {
        lastOwn = own;
        lastOther = other;
        return 11;
    });
    KVE_SetObjectCollisionCallback(b->number, [](int, int) { return 22; });
    EXPECT_EQ(KVE_CollideObjects(a->number, b->number), 1); // outside the step: no response
    EXPECT_EQ(a->Body.callbackResult, 11);
    EXPECT_EQ(b->Body.callbackResult, 22);
    EXPECT_EQ(lastOwn, a->number);
    EXPECT_EQ(lastOther, b->number);
    expectNear3(a->v4fPosition, 0, 0, 0);
}

int secondCalls = 0;

TEST_F(Collisions, ACallbackMayReleaseEitherObject)
{
    // The first object's callback releases the other one: its callback is not called and
    // nothing of its record is touched again (AddressSanitizer would see a read of freed
    // memory); releasing itself leaves the other object's callback to run.
    for (const bool releaseOther : {true, false}) {
        secondCalls = 0;
        KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, 6, 1.0f);
        KVE_OBJECT* b = place(anyMesh(), 1.5f, 0, 0, 6, 1.0f);
        const int aNumber = a->number, bNumber = b->number;
        KVE_SetObjectCollisionCallback(aNumber, releaseOther ? +[](int, int other) { return KVE_ReleaseObject(other); }
                                                             : +[](int own, int) { return KVE_ReleaseObject(own); });
        KVE_SetObjectCollisionCallback(bNumber, [](int, int) { return ++secondCalls; });
        EXPECT_EQ(KVE_CollideObjects(aNumber, bNumber), 1);
        EXPECT_EQ(secondCalls, releaseOther ? 0 : 1);
        EXPECT_EQ(KVE_GetObject(releaseOther ? bNumber : aNumber), nullptr);
        KVE_ReleaseObject(releaseOther ? aNumber : bNumber);
    }
}

TEST_F(Collisions, BallDroppedOnTheGroundComesToRestAboveIt)
{
    KVE_SetGravity(0, -9.81f, 0);
    ground();
    KVE_OBJECT* ball = place(anyMesh(), 0.2f, 3, 0.1f, 6, 1.0f);
    for (int i = 0; i < 300; ++i)
        kve::physics::step(1.0f / 60.0f);
    EXPECT_NEAR(ball->v4fPosition.y, 1.0f, 0.05f);
    EXPECT_LT(std::fabs(ball->Body.v4fMovement.y), 0.5f);
}

TEST_F(Collisions, EmptyBodiesNeverCollide)
{
    KVE_CreateEmptyBody(9, "");
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, 9, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 0, 0, 0, 6, 1.0f);
    EXPECT_EQ(KVE_CollideObjects(a->number, b->number), 0);
    EXPECT_EQ(KVE_CollideObjects(b->number, a->number), 0);
}

} // namespace
