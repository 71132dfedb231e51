// The iterative solver with the demonstration's bodies (the unit cube -0.5..0.5 with a box
// body, mass 1, restitution 0.4, friction 0.7) at 60 steps per second: stacks that
// stand, momentum through contacts, friction carrying a load, sleeping and waking; and
// the contact manifolds it is fed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "physics/solver.h"
#include "physics_test_util.h"

namespace {

using kve::physics::Manifold;
using kve::physics::Vec3;

using kve::test::kPlankScale;
constexpr float kStep = 1.0f / 60.0f;

class IterativeSolver : public kve::test::DemoBodiesTest {
protected:
    void SetUp() override
    {
        DemoBodiesTest::SetUp();
        ASSERT_EQ(KVE_SetPhysicsSolver(KVE_SOLVER_ITERATIVE), 1);
        KVE_CreateSphereBody(8, 0.5f, "");
        ground = place(makePlaneMesh(30), 0, 0, 0, KVE_BODY_MESH, 0.0f);
        KVE_ScaleObject(ground->number, 20, 20, 20, 0);
    }

    KVE_OBJECT* cubeAt(float x, float y, float z, KVE_Vector scale = {1, 1, 1, 0}, float mass = 1.0f)
    {
        return place(cube, x, y, z, 7, mass, scale);
    }

    float run(
        float seconds, const std::function<void()>& check = [] {})
    {
        return stepFor(seconds, check);
    }

    static float distance(const KVE_Vector& a, const KVE_Vector& b)
    {
        return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
    }

    // A tower of `count` cubes resting on each other from the ground up.
    std::vector<KVE_OBJECT*> tower(int count, float x = 0.0f)
    {
        std::vector<KVE_OBJECT*> cubes;
        for (int i = 0; i < count; ++i)
            cubes.push_back(cubeAt(x, 0.5f + static_cast<float>(i), 0));
        return cubes;
    }

    bool allSleeping(const std::vector<KVE_OBJECT*>& objects)
    {
        return std::all_of(objects.begin(), objects.end(),
                           [](const KVE_OBJECT* o) { return KVE_IsObjectSleeping(o->number) == 1; });
    }
    bool noneSleeping(const std::vector<KVE_OBJECT*>& objects)
    {
        return std::none_of(objects.begin(), objects.end(),
                            [](const KVE_OBJECT* o) { return KVE_IsObjectSleeping(o->number) == 1; });
    }

    KVE_OBJECT* ground = nullptr;
};

// ---- standing stacks ----------------------------------------------------------------

TEST_F(IterativeSolver, TowerOfTenCubesStandsForTenSecondsWithoutGainingEnergy)
{
    const std::vector<KVE_OBJECT*> cubes = tower(10);
    std::vector<KVE_Vector> start;
    for (const KVE_OBJECT* c : cubes)
        start.push_back(c->v4fPosition);
    float drift = 0.0f;
    const float rise = run(10.0f, [&] {
        for (size_t i = 0; i < cubes.size(); ++i)
            drift = std::max(drift, distance(cubes[i]->v4fPosition, start[i]));
    });
    EXPECT_LT(distance(cubes.back()->v4fPosition, start.back()), 0.05f);
    EXPECT_LT(drift, 0.05f);
    EXPECT_LE(rise, 1e-3f) << "a resting tower gained energy";
    EXPECT_TRUE(allSleeping(cubes)) << "a tower at rest for 10 s sleeps";
}

// Rows of 20, 19, ... 1 cubes, 0.05 apart, each cube on the two below it.
TEST_F(IterativeSolver, PyramidOfBaseTwentyStandsForTenSeconds)
{
    std::vector<KVE_OBJECT*> cubes;
    std::vector<KVE_Vector> start;
    constexpr int kBase = 20;
    constexpr float kPitch = 1.05f;
    for (int row = 0; row < kBase; ++row)
        for (int i = 0; i < kBase - row; ++i) {
            const float x = (static_cast<float>(i) - 0.5f * static_cast<float>(kBase - row - 1)) * kPitch;
            cubes.push_back(cubeAt(x, 0.5f + static_cast<float>(row), 0));
            start.push_back(cubes.back()->v4fPosition);
        }
    float drift = 0.0f;
    run(10.0f, [&] {
        for (size_t i = 0; i < cubes.size(); ++i)
            drift = std::max(drift, distance(cubes[i]->v4fPosition, start[i]));
    });
    EXPECT_LT(distance(cubes.back()->v4fPosition, start.back()), 0.1f);
    EXPECT_LT(drift, 0.1f);
}

// Never laid perfectly: each plank turned by 2 degrees and shifted by 0.03 from the last.
TEST_F(IterativeSolver, FivePlanksStackedWithSmallTurnsAndOffsetsStand)
{
    std::vector<KVE_OBJECT*> planks;
    std::vector<KVE_Vector> start;
    for (int i = 0; i < 5; ++i) {
        const float sign = i % 2 ? 1.0f : -1.0f;
        planks.push_back(flatPlank(0.03f * sign, 0.1f + 0.2f * static_cast<float>(i), 0.03f * sign, 2.0f * sign));
        start.push_back(planks.back()->v4fPosition);
    }
    float drift = 0.0f;
    const float rise = run(10.0f, [&] {
        for (size_t i = 0; i < planks.size(); ++i)
            drift = std::max(drift, distance(planks[i]->v4fPosition, start[i]));
    });
    EXPECT_LT(drift, 0.05f);
    EXPECT_LE(rise, 1e-3f);
}

// ---- momentum and friction ----------------------------------------------------------

// Without gravity, a cube of mass 1 at 3 u/s hits a resting one of mass 3 off centre:
// whatever the contact does, it acts on both equally and oppositely.
TEST_F(IterativeSolver, MomentumOfTwoFreeBodiesIsKeptThroughTheirContact)
{
    KVE_SetGravity(0, 0, 0);
    KVE_OBJECT* fast = cubeAt(-2.0f, 5.0f, 0.3f);
    KVE_OBJECT* heavy = cubeAt(0.0f, 5.0f, 0.0f, {1, 1, 1, 0}, 3.0f);
    KVE_RotateObject(heavy->number, 0, 20, 0, 0);
    fast->Body.v4fMovement = {3, 0, 0, 0};
    run(1.5f);
    const float px = fast->Body.v4fMovement.x + 3.0f * heavy->Body.v4fMovement.x;
    const float pz = fast->Body.v4fMovement.z + 3.0f * heavy->Body.v4fMovement.z;
    EXPECT_NEAR(px, 3.0f, 1e-3f);
    EXPECT_NEAR(pz, 0.0f, 1e-3f);
    EXPECT_GT(heavy->Body.v4fMovement.x, 0.3f); // it was hit
    EXPECT_LT(fast->Body.v4fMovement.x, 3.0f);
    // A ball against a ball the same way.
    KVE_OBJECT* ball = place(anyMesh(), -2.0f, 10.0f, 0.2f, 8, 1.0f);
    KVE_OBJECT* target = place(anyMesh(), 0.0f, 10.0f, 0.0f, 8, 2.0f);
    ball->Body.v4fMovement = {4, 0, 0, 0};
    run(1.0f);
    EXPECT_NEAR(ball->Body.v4fMovement.x + 2.0f * target->Body.v4fMovement.x, 4.0f, 1e-3f);
    EXPECT_NEAR(ball->Body.v4fMovement.z + 2.0f * target->Body.v4fMovement.z, 0.0f, 1e-3f);
    EXPECT_GT(target->Body.v4fMovement.x, 0.5f);
}

// A plank sliding on ice at 2 u/s with one dropped on it: friction between them brings
// both to one speed, which momentum fixes at 10 x 2 / 11.
TEST_F(IterativeSolver, PlankDroppedOnAMovingPlankIsCarriedByFriction)
{
    KVE_SetObjectFriction(ground->number, 0.0f);
    KVE_OBJECT* lower = cubeAt(0, 0.1f, 0, {4.0f, 0.2f, 1.0f, 0}, 10.0f);
    KVE_OBJECT* upper = cubeAt(0, 0.45f, 0, kPlankScale);
    lower->Body.v4fMovement = {2, 0, 0, 0};
    run(1.5f);
    const float shared = 20.0f / 11.0f;
    EXPECT_NEAR(upper->Body.v4fMovement.x, shared, 0.03f);
    EXPECT_NEAR(lower->Body.v4fMovement.x, shared, 0.03f);
    EXPECT_GT(upper->v4fPosition.x, 1.5f); // carried along, still on top
    EXPECT_NEAR(upper->v4fPosition.y, 0.45f, 0.03f);
    EXPECT_LT(std::fabs(upper->v4fPosition.x - lower->v4fPosition.x), 1.5f);
}

// A cube dropped 1 unit (bottom from 1.0 to the ground) meets it at sqrt(2 g) = 4.43 u/s:
// its callback runs once per step of touching, however many points the contact has, and
// the contact's approach speed is that of the impact.
int callbackCalls = 0;
int countCall(int, int)
{
    return ++callbackCalls;
}

TEST_F(IterativeSolver, CallbacksRunOncePerTouchingPairAndStepWithTheImpactSpeed)
{
    KVE_SetSleeping(0);
    KVE_OBJECT* box = cubeAt(0, 1.5f, 0);
    KVE_SetObjectCollisionCallback(box->number, countCall);
    callbackCalls = 0;
    int steps = 0, touching = 0;
    float impact = 0.0f;
    run(1.0f, [&] {
        ++steps;
        if (callbackCalls > touching) {
            if (touching == 0)
                impact = kve::physics::world().approachSpeed;
            EXPECT_EQ(callbackCalls, touching + 1) << "step " << steps;
            touching = callbackCalls;
        }
    });
    EXPECT_NEAR(impact, std::sqrt(2.0f * 9.81f), 0.3f);
    // It lands after 27 of the 60 steps (sqrt(2 / g) = 0.45 s), bounces off at 0.16 x 4.43
    // u/s for 2 x 0.71 / g = 0.145 s (9 steps), lands below the bounce speed and stays.
    EXPECT_GE(touching, 18);
    EXPECT_LE(touching, 28);
    EXPECT_EQ(box->Body.callbackResult, callbackCalls);
}

// A ball of radius 0.5 set rolling at 3 u/s: friction makes it roll (v = w r) at once and
// rolling resistance brings it to rest, at about 0.05 x 2.5 mu g = 0.6 u/s^2, within 10 s.
TEST_F(IterativeSolver, BallRollsWithoutSlippingAndComesToRest)
{
    KVE_OBJECT* ball = place(anyMesh(), 0, 0.5f, 0, 8, 1.0f);
    ball->Body.v4fMovement = {3, 0, 0, 0};
    run(0.5f);
    EXPECT_NEAR(ball->Body.angularVelocity.z * -0.5f, ball->Body.v4fMovement.x, 0.05f);
    EXPECT_GT(ball->Body.v4fMovement.x, 1.0f);
    run(9.5f);
    EXPECT_EQ(KVE_IsObjectSleeping(ball->number), 1);
    EXPECT_NEAR(ball->v4fPosition.y, 0.5f, 0.01f);
}

// One-point contacts solved four at a time in SSE lanes against the same contacts one by
// one: balls in rows touching each other on the ground, a heavy ball thrown into them
// towards static balls, a tower of cubes (four-point contacts, always one by one) with a
// ball on top, all awake.
// Every float of every body must come out the same.
TEST_F(IterativeSolver, ContactsInLanesGiveTheSameResultsBitForBit)
{
    KVE_SetSleeping(0);
    const auto runScene = [&](bool wide, size_t& batches) {
        kve::physics::world().wideContacts = wide;
        KVE_SetPhysicsSolver(KVE_SOLVER_PAIRWISE); // the iterative solver starts afresh
        KVE_SetPhysicsSolver(KVE_SOLVER_ITERATIVE);
        std::vector<KVE_OBJECT*> objects;
        for (int i = 0; i < 36; ++i) {
            KVE_OBJECT* ball =
                place(anyMesh(), -3.0f + static_cast<float>(i % 6), 0.5f + 0.1f * static_cast<float>(i % 5),
                      -3.0f + static_cast<float>(i / 6), 8, 1.0f + 0.25f * static_cast<float>(i % 3));
            ball->Body.v4fMovement = {0.3f * static_cast<float>(i % 4) - 0.4f, 0, 0.2f * static_cast<float>(i % 3), 0};
            if (i % 3 == 0)
                KVE_SetObjectRestitution(ball->number, 0.0f); // lanes that bounce beside lanes that do not
            objects.push_back(ball);
        }
        KVE_OBJECT* heavy = place(anyMesh(), -6.0f, 0.6f, -0.5f, 8, 10.0f);
        heavy->Body.v4fMovement = {6, 0, 0.5f, 0};
        objects.push_back(heavy);
        for (KVE_OBJECT* c : tower(3, 6.0f))
            objects.push_back(c);
        objects.push_back(place(anyMesh(), 6.1f, 3.5f, 0, 8, 1.0f));
        // Static balls made after the others, so the static side is the second of the pair.
        for (float z : {-3.0f, -0.5f, 2.0f})
            objects.push_back(place(anyMesh(), 3.2f, 0.5f, z, 8, 0.0f));
        batches = 0;
        std::vector<float> values;
        for (int i = 0; i < 120; ++i) {
            kve::physics::step(kStep);
            batches = std::max(batches, kve::physics::iterativeState(kve::physics::world()).wideBatches);
        }
        for (const KVE_OBJECT* o : objects)
            for (const KVE_Vector& v : {o->v4fPosition, o->Body.v4fMovement, o->Body.angularVelocity,
                                        KVE_Vector{o->rotation.x, o->rotation.y, o->rotation.z, o->rotation.w}})
                values.insert(values.end(), {v.x, v.y, v.z, v.w});
        for (const KVE_OBJECT* o : objects)
            KVE_ReleaseObject(o->number);
        return values;
    };
    size_t inLanes = 0, oneByOne = 0;
    const std::vector<float> wide = runScene(true, inLanes);
    const std::vector<float> scalar = runScene(false, oneByOne);
    EXPECT_GE(inLanes, 10u) << "the balls' contacts went through the lanes";
    EXPECT_EQ(oneByOne, 0u);
    ASSERT_EQ(wide.size(), scalar.size());
    EXPECT_EQ(std::memcmp(wide.data(), scalar.data(), wide.size() * sizeof(float)), 0);
    float spread = 0.0f; // the scene did move: the heavy ball went through the rows
    for (size_t i = 0; i < wide.size(); i += 16)
        spread = std::max(spread, std::fabs(wide[i]));
    EXPECT_GT(spread, 6.0f);
}

// Two roofs (triangular prisms, closed meshes) crossed ridge on ridge: the upper one,
// upside down and turned a quarter, touches the lower only where the ridges cross, with no
// vertex of either on a face of the other. It stops there instead of sinking through the
// lower ridge until its ridge's ends reach the ground half a unit lower.
TEST_F(IterativeSolver, RoofsCrossedRidgeOnRidgeMeetWhereTheEdgesCross)
{
    // Base 2 long (x) and 1 wide at y = 0, ridge along x at y = 0.5; outward triangles.
    const int roof = makeMesh(
        31, {{-1, 0, -0.5f, 1}, {1, 0, -0.5f, 1}, {-1, 0, 0.5f, 1}, {1, 0, 0.5f, 1}, {-1, 0.5f, 0, 1}, {1, 0.5f, 0, 1}},
        {0, 1, 2, 1, 3, 2, 0, 4, 1, 1, 4, 5, 2, 3, 4, 3, 5, 4, 0, 2, 4, 1, 5, 3});
    // The same turned by (x, y, z) -> (z, 0.5 - y, x): ridge down at y = 0, along z.
    const int upended = makeMesh(32,
                                 {{-0.5f, 0.5f, -1, 1},
                                  {-0.5f, 0.5f, 1, 1},
                                  {0.5f, 0.5f, -1, 1},
                                  {0.5f, 0.5f, 1, 1},
                                  {0, 0, -1, 1},
                                  {0, 0, 1, 1}},
                                 {0, 1, 2, 1, 3, 2, 0, 4, 1, 1, 4, 5, 2, 3, 4, 3, 5, 4, 0, 2, 4, 1, 5, 3});
    place(roof, 0, 0, 0, KVE_BODY_MESH, 0.0f);
    KVE_OBJECT* top = place(upended, 0, 0.55f, 0, KVE_BODY_MESH, 1.0f);
    float lowest = top->v4fPosition.y;
    run(0.5f, [&] { lowest = std::min(lowest, top->v4fPosition.y); });
    EXPECT_GT(lowest, 0.5f - 0.03f) << "the upper ridge stayed on the lower one";
    EXPECT_NEAR(top->v4fPosition.y, 0.5f, 0.03f);
}

// A cube reaching over the edge of a sheet with its centre over the sheet rests on the
// sheet's edge: it neither tips off nor slides, and falls asleep. Past the edge it tips.
TEST_F(IterativeSolver, CubeOverTheEdgeOfASheetRestsOnTheEdgeUntilItsCentreIsPast)
{
    place(30, 0, 2.0f, 0, KVE_BODY_MESH, 0.0f); // a 2 x 2 sheet at height 2
    KVE_OBJECT* resting = cubeAt(0.7f, 2.5f, 0.0f);
    KVE_OBJECT* tipping = cubeAt(-1.3f, 2.5f, 0.5f); // centre 0.3 past the far edge
    run(3.0f);
    EXPECT_NEAR(resting->v4fPosition.x, 0.7f, 0.02f);
    EXPECT_NEAR(resting->v4fPosition.y, 2.5f, 0.02f);
    EXPECT_EQ(KVE_IsObjectSleeping(resting->number), 1);
    EXPECT_LT(tipping->v4fPosition.y, 1.0f) << "fell to the ground";
}

// ---- sleeping -----------------------------------------------------------------------

TEST_F(IterativeSolver, HeavyBallDroppedOnASleepingPileWakesAndMovesIt)
{
    // Two towers side by side, touching: one island.
    std::vector<KVE_OBJECT*> pile = tower(2);
    for (KVE_OBJECT* c : tower(2, 1.0f))
        pile.push_back(c);
    run(2.0f);
    ASSERT_TRUE(allSleeping(pile));
    const float before = pile[1]->v4fPosition.y;
    KVE_OBJECT* ball = place(anyMesh(), 0.0f, 4.0f, 0.0f, 8, 10.0f);
    ball->Body.v4fMovement = {0, -5, 0, 0};
    bool woke = false;
    float moved = 0.0f;
    run(1.0f, [&] {
        woke = woke || noneSleeping(pile);
        moved = std::max(moved, distance(pile[1]->v4fPosition, {0, before, 0, 1}));
    });
    EXPECT_TRUE(woke);
    EXPECT_GT(moved, 0.1f); // ten times its mass landing on it: the top cube is thrown off
}

TEST_F(IterativeSolver, MovingOrPushingASleepingBodyThroughTheApiWakesItsIsland)
{
    const std::vector<KVE_OBJECT*> cubes = tower(3);
    run(2.0f);
    ASSERT_TRUE(allSleeping(cubes));
    KVE_MoveObject(cubes[1]->number, 0.2f, 0, 0, KVE_RELATIVE);
    kve::physics::step(kStep);
    EXPECT_TRUE(noneSleeping(cubes)) << "the whole island wakes";

    run(3.0f);
    ASSERT_TRUE(allSleeping(cubes));
    KVE_SetObjectVelocity(cubes[2]->number, nullptr, 0, 3, 0, 0);
    kve::physics::step(kStep);
    EXPECT_TRUE(noneSleeping(cubes));
    EXPECT_GT(cubes[2]->Body.v4fMovement.y, 2.5f);

    run(4.0f);
    ASSERT_TRUE(allSleeping(cubes));
    EXPECT_EQ(KVE_WakeObject(cubes[0]->number), 1);
    EXPECT_TRUE(noneSleeping(cubes));
    EXPECT_EQ(KVE_WakeObject(999), 0);
    EXPECT_EQ(KVE_IsObjectSleeping(ground->number), 0);
}

// A cube on a static shelf: the shelf is no part of the cube's island, yet releasing it
// wakes the cube, which falls to the ground.
TEST_F(IterativeSolver, ReleasingTheSupportWakesWhatRestsOnIt)
{
    KVE_OBJECT* shelf = cubeAt(0, 1.0f, 0, {2, 0.2f, 2, 0}, 0.0f);
    KVE_OBJECT* load = cubeAt(0, 1.6f, 0);
    run(2.0f);
    ASSERT_EQ(KVE_IsObjectSleeping(load->number), 1);
    KVE_ReleaseObject(shelf->number);
    run(1.5f);
    EXPECT_NEAR(load->v4fPosition.y, 0.5f, 0.05f);
}

TEST_F(IterativeSolver, SleepingOffKeepsEveryBodyAwake)
{
    KVE_SetSleeping(0);
    const std::vector<KVE_OBJECT*> cubes = tower(2);
    run(2.0f);
    EXPECT_TRUE(noneSleeping(cubes));
    EXPECT_EQ(KVE_GetSleepingObjectCount(), 0);
    KVE_SetSleeping(1);
    run(1.0f);
    EXPECT_TRUE(allSleeping(cubes));
    EXPECT_EQ(KVE_GetSleepingObjectCount(), 2);
    KVE_SetPhysicsSolver(KVE_SOLVER_PAIRWISE); // everything wakes: the pairwise step knows no sleep
    EXPECT_EQ(KVE_GetSleepingObjectCount(), 0);
    EXPECT_TRUE(noneSleeping(cubes));
}

TEST_F(IterativeSolver, SettingsRefuseValuesOutOfRange)
{
    EXPECT_EQ(KVE_SetPhysicsSolver(2), 0);
    EXPECT_EQ(kve::physics::world().solver, KVE_SOLVER_ITERATIVE);
    EXPECT_EQ(KVE_SetSolverIterations(0, 2), 0);
    EXPECT_EQ(KVE_SetSolverIterations(10, -1), 0);
    EXPECT_EQ(kve::physics::world().velocityIterations, 4);
    EXPECT_EQ(kve::physics::world().positionIterations, 1);
    EXPECT_EQ(KVE_SetSolverIterations(6, 2), 1);
    EXPECT_EQ(kve::physics::world().velocityIterations, 6);
}

// ---- contact manifolds ----------------------------------------------------------------

struct ManifoldTest : IterativeSolver {
    // The manifold's points sorted by x, then z.
    static std::vector<Vec3> sortedPoints(const Manifold& m)
    {
        std::vector<Vec3> points;
        for (int i = 0; i < m.count; ++i)
            points.push_back(m.points[i].point);
        std::sort(points.begin(), points.end(), [](Vec3 a, Vec3 b) { return a.x < b.x || (a.x == b.x && a.z < b.z); });
        return points;
    }
};

// Two unit cubes face to face, overlapping 0.01 deep and offset (0.5, 0.25) sideways:
// four points at the corners of the overlap [0, 0.5] x [-0.25, 0.5], midway in depth.
TEST_F(ManifoldTest, BoxesFaceToFaceGiveFourPointsAtTheCornersOfTheirOverlap)
{
    KVE_OBJECT* a = cubeAt(0, 0, 0);
    KVE_OBJECT* b = cubeAt(0.5f, 0.99f, 0.25f);
    Manifold m;
    ASSERT_TRUE(kve::physics::collideShapes(*a, *b, m));
    ASSERT_EQ(m.count, 4);
    EXPECT_NEAR(m.normal.y, 1.0f, 1e-5f);
    const std::vector<Vec3> p = sortedPoints(m);
    const float corners[4][2] = {{0, -0.25f}, {0, 0.5f}, {0.5f, -0.25f}, {0.5f, 0.5f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[static_cast<size_t>(i)].x, corners[i][0], 1e-4f) << i;
        EXPECT_NEAR(p[static_cast<size_t>(i)].z, corners[i][1], 1e-4f) << i;
        EXPECT_NEAR(p[static_cast<size_t>(i)].y, 0.495f, 1e-4f) << i;
        EXPECT_NEAR(m.points[i].separation, -0.01f, 1e-4f);
    }
    // The other way round the normal turns, the points stay.
    Manifold reverse;
    ASSERT_TRUE(kve::physics::collideShapes(*b, *a, reverse));
    EXPECT_EQ(reverse.count, 4);
    EXPECT_NEAR(reverse.normal.y, -1.0f, 1e-5f);
    // Apart by more than the margin: nothing.
    KVE_MoveObject(b->number, 0.5f, 1.1f, 0.25f, 0);
    EXPECT_FALSE(kve::physics::collideShapes(*a, *b, m));
}

// Two ridges crossing: a cube turned 45 degrees about z (its top edge along z at height
// sqrt(2)/2) under one turned 45 degrees about x (its bottom edge along x): one point
// where the edges cross, between them in height.
TEST_F(ManifoldTest, CrossedEdgesGiveOnePoint)
{
    KVE_OBJECT* a = cubeAt(0, 0, 0);
    KVE_RotateObject(a->number, 0, 0, 45, 0);
    KVE_OBJECT* b = cubeAt(0, 1.4f, 0);
    KVE_RotateObject(b->number, 45, 0, 0, 0);
    Manifold m;
    ASSERT_TRUE(kve::physics::collideShapes(*a, *b, m));
    ASSERT_EQ(m.count, 1);
    const float ridge = std::sqrt(0.5f);
    EXPECT_NEAR(m.normal.y, 1.0f, 1e-4f);
    EXPECT_NEAR(m.points[0].separation, 1.4f - 2.0f * ridge, 1e-4f);
    EXPECT_NEAR(m.points[0].point.x, 0.0f, 1e-4f);
    EXPECT_NEAR(m.points[0].point.z, 0.0f, 1e-4f);
    EXPECT_NEAR(m.points[0].point.y, 0.7f, 1e-4f);
}

// A cube 0.02 into the ground mesh: its four lower corners; a ball 0.1 into a cube's
// side: one point on that face.
TEST_F(ManifoldTest, BoxOnTheGroundGivesItsFourLowerCornersAndABallOnePoint)
{
    KVE_OBJECT* box = cubeAt(1.0f, 0.48f, 2.0f);
    Manifold m;
    ASSERT_TRUE(kve::physics::collideShapes(*ground, *box, m));
    ASSERT_EQ(m.count, 4);
    EXPECT_NEAR(m.normal.y, 1.0f, 1e-5f);
    const std::vector<Vec3> p = sortedPoints(m);
    EXPECT_NEAR(p[0].x, 0.5f, 1e-5f);
    EXPECT_NEAR(p[0].z, 1.5f, 1e-5f);
    EXPECT_NEAR(p[3].x, 1.5f, 1e-5f);
    EXPECT_NEAR(p[3].z, 2.5f, 1e-5f);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(m.points[i].separation, -0.02f, 1e-5f);

    KVE_OBJECT* ball = place(anyMesh(), 1.9f, 0.48f, 2.0f, 8, 1.0f);
    ASSERT_TRUE(kve::physics::collideShapes(*box, *ball, m));
    ASSERT_EQ(m.count, 1);
    EXPECT_NEAR(m.normal.x, 1.0f, 1e-5f);
    EXPECT_NEAR(m.points[0].separation, -0.1f, 1e-5f);
    EXPECT_NEAR(m.points[0].point.x, 1.45f, 1e-5f);
}

} // namespace
