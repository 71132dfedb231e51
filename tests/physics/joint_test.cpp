// Joints between two moving objects: both are pulled, equally and oppositely, so the pair
// keeps its momentum and a chain of jointed links hangs under its own weight, whichever
// solver the world uses.
#include <cmath>
#include <vector>

#include "physics_test_util.h"

namespace {

using kve::test::expectNear3;
using kve::physics::world;

class TwoBodyJoints : public kve::test::PhysicsTest {
protected:
    // Total momentum and the mass-weighted sum of positions (the centre of mass times the
    // total mass) of the given objects.
    struct Sums {
        KVE_Vector momentum{0, 0, 0, 0}, weighted{0, 0, 0, 0};
    };
    static Sums sums(std::initializer_list<const KVE_OBJECT*> objects)
    {
        Sums s;
        for (const KVE_OBJECT* o : objects) {
            KVE_AddScaledVector(&s.momentum, &o->Body.v4fMovement, o->Body.mass);
            KVE_AddScaledVector(&s.weighted, &o->v4fPosition, o->Body.mass);
        }
        return s;
    }
    static float gap(const KVE_OBJECT& a, const KVE_OBJECT& b)
    {
        KVE_Vector d;
        KVE_SubVector(&d, &a.v4fPosition, &b.v4fPosition);
        return std::sqrt(KVE_DotVector(&d, nullptr));
    }
};

// Two objects at rest 2.5 apart on a joint of rest length 2 with k = 10: the stretch 0.5
// pulls each with k x = 5 toward the other, so 5 / 1 on the light one and 5 / 4 on the
// heavy one; the one from a static object keeps its own rule (tested in the step tests).
TEST_F(TwoBodyJoints, FirstEvaluationPullsBothWithKTimesTheStretch)
{
    KVE_OBJECT* light = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* heavy = place(anyMesh(), 2, 0, 0, KVE_BODY_POINT, 4.0f);
    KVE_JOINT* joint = KVE_CreateJoint(-1, light->number, 0, 0, 0, heavy->number, 0, 0, 0, 10.0f);
    KVE_MoveObject(heavy->number, 2.5f, 0, 0, 0);
    kve::physics::applySpring(*joint);
    expectNear3(light->Body.acceleration, 5.0f, 0, 0);
    expectNear3(heavy->Body.acceleration, -5.0f / 4.0f, 0, 0);
    expectNear3(light->Body.angularAcceleration, 0, 0, 0);
    EXPECT_FLOAT_EQ(joint->lastExtension, 0.5f);

    // Anchored one unit above each centre, the same pull also turns both: r x F with
    // r = (0, 1, 0) and F = (5, 0, 0) on the light one gives (0, 0, -5), and the heavy
    // one's opposite force gives (0, 0, 5) through the identity inertia of a point body.
    KVE_FreeJoint(KVE_GetJointNumber(joint));
    light->Body.acceleration = heavy->Body.acceleration = {0, 0, 0, 0};
    KVE_MoveObject(heavy->number, 2, 0, 0, 0);
    joint = KVE_CreateJoint(-1, light->number, 0, 1, 0, heavy->number, 0, 1, 0, 10.0f);
    KVE_MoveObject(heavy->number, 2.5f, 0, 0, 0);
    kve::physics::applySpring(*joint);
    expectNear3(light->Body.angularAcceleration, 0, 0, -5.0f);
    expectNear3(heavy->Body.angularAcceleration, 0, 0, 5.0f);
}

// The remaining cases run in both solvers: the joints' forces are the same in either.
class TwoBodyJointsInEitherSolver : public TwoBodyJoints, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        TwoBodyJoints::SetUp();
        KVE_SetPhysicsSolver(GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(Solvers, TwoBodyJointsInEitherSolver,
                         ::testing::Values(KVE_SOLVER_PAIRWISE, KVE_SOLVER_ITERATIVE),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == KVE_SOLVER_PAIRWISE ? "Pairwise" : "Iterative";
                         });

// Two free objects of masses 1 and 3, one moving and one spinning, on a stretched joint
// with off-centre anchors, in no gravity: the joint's forces are internal, so the total
// momentum stays what it was and the centre of mass moves in a straight line at
// momentum / total mass, while the pair swings and spins about it.
TEST_P(TwoBodyJointsInEitherSolver, FreePairKeepsItsMomentumAndItsCentreOfMassMovesStraight)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 2, 0, 0, KVE_BODY_POINT, 3.0f);
    KVE_CreateJoint(-1, a->number, 0.2f, 0.1f, 0, b->number, -0.1f, 0, 0.3f, 30.0f);
    KVE_MoveObject(b->number, 2.6f, 0.4f, -0.3f, 0);
    a->Body.v4fMovement = {0, 1.5f, 0, 0};
    b->Body.angularVelocity = {0, 2, 1, 0};
    const Sums start = sums({a, b});
    const float h = 1.0f / 60.0f;
    float nearest = 10, farthest = 0;
    for (int s = 1; s <= 600; ++s) {
        kve::physics::step(h);
        const Sums now = sums({a, b});
        expectNear3(now.momentum, start.momentum.x, start.momentum.y, start.momentum.z, 1e-4f);
        KVE_Vector expected = start.weighted;
        KVE_AddScaledVector(&expected, &start.momentum, h * static_cast<float>(s));
        expectNear3(now.weighted, expected.x, expected.y, expected.z, 1e-3f);
        nearest = std::min(nearest, gap(*a, *b));
        farthest = std::max(farthest, gap(*a, *b));
    }
    // Both moved under the joint: the pair swung in and out, and b was dragged along.
    EXPECT_LT(nearest, 2.4f);
    EXPECT_GT(farthest, 2.6f);
    EXPECT_GT(b->v4fPosition.y, 1.0f);
}

// A pair of masses 1 on a joint of k = 180 (k h^2 / m = 0.05), stretched by 0.1 and let go
// in no gravity: the joint is a spring with a damper, so the pair's swing in and out
// loses energy and dies away, and the pair comes to rest at the joint's rest length,
// its centre of mass where it was.
TEST_P(TwoBodyJointsInEitherSolver, StretchedPairSettlesAtTheRestLength)
{
    const float h = 1.0f / 60.0f, k = 180.0f;
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 1, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, k);
    KVE_MoveObject(b->number, 1.1f, 0, 0, 0);
    const float start = KVE_GetPhysicsEnergy(KVE_ENERGY_TRANSLATION | KVE_ENERGY_TENSION);
    ASSERT_NEAR(start, 0.5f * k * 0.01f, 1e-3f);
    float highest = 0, nearest = 10;
    for (int s = 0; s < 120; ++s) {
        kve::physics::step(h);
        highest = std::max(highest, KVE_GetPhysicsEnergy(KVE_ENERGY_TRANSLATION | KVE_ENERGY_TENSION));
        nearest = std::min(nearest, gap(*a, *b));
    }
    // It swung in past the rest length (a spring, not a plain brake) and settled.
    EXPECT_LT(nearest, 0.99f);
    EXPECT_LT(highest, 1.01f * start);
    EXPECT_LT(KVE_GetPhysicsEnergy(KVE_ENERGY_TRANSLATION | KVE_ENERGY_TENSION), 0.01f * start);
    EXPECT_NEAR(gap(*a, *b), 1.0f, 0.01f);
    EXPECT_NEAR(a->v4fPosition.x + b->v4fPosition.x, 1.1f, 1e-4f);
}

// Five links of mass 0.5 hang in a vertical line below a fixed anchor, each jointed to the
// one above with k = 200, let go at the springs' rest lengths. Each spring carries the
// weight of the links below it, so the one above link i (1 at the top) is stretched on
// average by (6 - i) m g / k; the chain bobs about that and stays on its vertical line.
// (The top spring, from the static anchor, has no damper: the bobbing goes on.)
TEST_P(TwoBodyJointsInEitherSolver, ChainHangsStretchedByTheWeightBelowEachLink)
{
    constexpr int kLinks = 5;
    constexpr float kMass = 0.5f, kStiffness = 200.0f, kSpacing = 0.6f, kGravity = 9.81f;
    KVE_SetGravity(0, -kGravity, 0);
    std::vector<KVE_OBJECT*> chain{place(anyMesh(), 1, 10, 2, KVE_BODY_POINT, 0.0f)};
    for (int i = 1; i <= kLinks; ++i) {
        chain.push_back(place(anyMesh(), 1, 10 - kSpacing * static_cast<float>(i), 2, KVE_BODY_POINT, kMass));
        KVE_CreateJoint(-1, chain[static_cast<size_t>(i - 1)]->number, 0, 0, 0, chain.back()->number, 0, 0, 0,
                        kStiffness);
    }
    const float h = 1.0f / 60.0f;
    const int steps = 1200, counted = 900; // average over the last 15 s
    std::vector<double> mean(kLinks + 1, 0.0);
    float largest = 0;
    for (int s = 0; s < steps; ++s) {
        kve::physics::step(h);
        for (int i = 1; i <= kLinks; ++i) {
            const float stretch = gap(*chain[static_cast<size_t>(i - 1)], *chain[static_cast<size_t>(i)]) - kSpacing;
            largest = std::max(largest, stretch);
            if (s >= steps - counted)
                mean[static_cast<size_t>(i)] += stretch / counted;
        }
    }
    for (int i = 1; i <= kLinks; ++i) {
        SCOPED_TRACE(i);
        const float expected = static_cast<float>(kLinks + 1 - i) * kMass * kGravity / kStiffness;
        EXPECT_NEAR(mean[static_cast<size_t>(i)], expected, 0.1f * expected);
        EXPECT_NEAR(chain[static_cast<size_t>(i)]->v4fPosition.x, 1.0f, 1e-4f);
        EXPECT_NEAR(chain[static_cast<size_t>(i)]->v4fPosition.z, 2.0f, 1e-4f);
    }
    // Let go at rest length, the top spring swings to about twice its share of the weight
    // and back; the bobbing does not run away.
    EXPECT_LT(largest, 3.0f * kLinks * kMass * kGravity / kStiffness);
    EXPECT_EQ(world().activeJoints.size(), static_cast<size_t>(kLinks));
}

} // namespace
