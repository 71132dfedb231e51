// Box bodies against each other and the ground, stepped at 60 Hz: crossed planks, a
// stack, a sideways push and a fast throw. Planks are the demonstration's: a unit cube
// scaled 1 x 0.5 x 0.2, mass 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "physics_test_util.h"

namespace {

using kve::physics::world;

class PlankContacts : public kve::test::DemoBodiesTest {
protected:
    void SetUp() override
    {
        DemoBodiesTest::SetUp();
        KVE_OBJECT* ground = place(makePlaneMesh(30), 0, 0, 0, KVE_BODY_MESH, 0.0f);
        KVE_ScaleObject(ground->number, 10, 10, 10, 0);
    }

    // Steps `seconds` and expects the total energy never to rise above the start's.
    void run(float seconds, const std::function<void()>& check = [] {})
    {
        EXPECT_LE(stepFor(seconds, check), 0.01f) << "energy grew";
    }

    // The lowest corner of a box body in world coordinates.
    static float lowestCorner(const KVE_OBJECT& box)
    {
        float lowest = INFINITY;
        for (int i = 0; i < 8; ++i) {
            KVE_Vector corner{i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f, 1};
            KVE_TransformVector(&corner, &box.fullMatrix);
            lowest = std::min(lowest, corner.y);
        }
        return lowest;
    }
};

// Lying flat on each other, two planks have parallel upright edges: the box test must
// not let rounding part them, whatever their turn.
TEST_F(PlankContacts, FlatPlanksOverlappingAtAnyTurnTouch)
{
    for (float yaw : {0.0f, 10.0f, 33.0f, 45.0f, 77.0f}) {
        SCOPED_TRACE(yaw);
        KVE_OBJECT* lower = flatPlank(0, 0, 0, yaw);
        KVE_OBJECT* upper = flatPlank(0.1f, 0.15f, 0, yaw + 90);
        EXPECT_EQ(kve::physics::collide(*lower, *upper), 1);
        KVE_ReleaseObject(lower->number);
        KVE_ReleaseObject(upper->number);
    }
}

TEST_F(PlankContacts, CrossedPlanksComeToRestOneOnTheOther)
{
    KVE_OBJECT* lower = flatPlank(0, 1.0f, 0);
    KVE_OBJECT* upper = flatPlank(0, 1.5f, 0, 90);
    float deepest = 0.0f;
    run(5.0f, [&] { deepest = std::min({deepest, lowestCorner(*lower), lowestCorner(*upper)}); });
    EXPECT_NEAR(lower->v4fPosition.y, 0.1f, 0.02f);
    EXPECT_NEAR(upper->v4fPosition.y - lower->v4fPosition.y, 0.2f, 0.03f);
    EXPECT_GT(deepest, -0.05f); // never below the ground
    // Still crossed: neither has slid off the other.
    EXPECT_LT(std::hypot(upper->v4fPosition.x - lower->v4fPosition.x, upper->v4fPosition.z - lower->v4fPosition.z),
              0.3f);
}

TEST_F(PlankContacts, StackOfFivePlanksStandsForTenSeconds)
{
    KVE_OBJECT* planks[5];
    for (int i = 0; i < 5; ++i)
        planks[i] = flatPlank(0, 0.11f + 0.21f * static_cast<float>(i), 0, i % 2 ? 8.0f : 0.0f);
    float deepest = 0.0f;
    const auto lowest = [&] { deepest = std::min(deepest, lowestCorner(*planks[0])); };
    run(2.0f, lowest);
    const KVE_Vector settled = planks[4]->v4fPosition;
    EXPECT_NEAR(settled.y, 0.9f, 0.05f);
    float drift = 0.0f;
    run(10.0f, [&] {
        lowest();
        const KVE_Vector& p = planks[4]->v4fPosition;
        drift = std::max(drift, std::hypot(p.x - settled.x, p.y - settled.y, p.z - settled.z));
    });
    EXPECT_LT(drift, 0.05f);
    EXPECT_GT(deepest, -0.05f);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(planks[i]->v4fPosition.y, 0.1f + 0.2f * static_cast<float>(i), 0.05f) << i;
}

// A plank sliding on the ground into a standing unit box pushes the box along instead of
// riding up over it.
TEST_F(PlankContacts, PlankPushedSidewaysMovesAStandingBox)
{
    KVE_OBJECT* box = place(cube, 0, 0.5f, 0, 7, 1.0f);
    KVE_OBJECT* plank = flatPlank(-1.2f, 0.1f, 0);
    run(0.5f); // both settle where they are
    const float boxX = box->v4fPosition.x, boxY = box->v4fPosition.y, plankY = plank->v4fPosition.y;
    plank->Body.v4fMovement = {4, 0, 0, 0};
    float boxRise = 0.0f, plankRise = 0.0f;
    run(1.5f, [&] {
        boxRise = std::max(boxRise, box->v4fPosition.y - boxY);
        plankRise = std::max(plankRise, plank->v4fPosition.y - plankY);
    });
    EXPECT_GT(box->v4fPosition.x - boxX, 0.05f);
    EXPECT_LT(boxRise, 0.1f);
    EXPECT_LT(plankRise, 0.1f);
    EXPECT_LT(plank->v4fPosition.x, box->v4fPosition.x); // still on its own side
}

// The demonstration launches at 10 units per second: 0.17 per step, more than half the
// thickness of the plank it hits. It arrives end first or broadside at a plank standing
// on its long edge (1 long, 0.5 high, 0.2 thick across the throw).
TEST_F(PlankContacts, PlankThrownAtTenUnitsPerSecondDoesNotPassThroughAStandingOne)
{
    for (const bool endFirst : {true, false}) {
        SCOPED_TRACE(endFirst ? "end first" : "broadside");
        KVE_OBJECT* target = place(cube, 0, 0.25f, 0, 7, 1.0f, kve::test::kPlankScale);
        run(0.5f);
        KVE_OBJECT* thrown = place(cube, 0, 0.3f, -1.2f, 7, 1.0f, kve::test::kPlankScale);
        if (endFirst)
            KVE_RotateObject(thrown->number, 0, 90, 0, 0);
        thrown->Body.v4fMovement = {0, 0, 10, 0};
        bool behind = true;
        run(1.0f, [&] { behind = behind && thrown->v4fPosition.z < target->v4fPosition.z; });
        EXPECT_TRUE(behind);
        EXPECT_GT(lowestCorner(*target), -0.05f);
        EXPECT_GT(lowestCorner(*thrown), -0.05f);
        KVE_ReleaseObject(target->number);
        KVE_ReleaseObject(thrown->number);
    }
}

} // namespace
