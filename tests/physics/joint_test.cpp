// Joints between two moving objects: both are pulled, equally and oppositely, so the pair
// keeps its momentum and a chain of jointed links hangs under its own weight, whichever
// solver the world uses.
#include <cmath>
#include <vector>

#include "physics_test_util.h"

namespace {

using kve::physics::world;
using kve::test::expectNear3;

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

// A spring of no finite stiffness, or tied to a point at no finite place, would make both
// objects' positions NaN at the next step: such a joint is refused, and nothing moves.
TEST_P(TwoBodyJointsInEitherSolver, JointOfNoFiniteStiffnessOrAnchorIsRefused)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 2, 0, 0, KVE_BODY_POINT, 1.0f);
    const float nan = std::nanf(""), infinity = INFINITY;
    EXPECT_EQ(KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, nan), nullptr);
    EXPECT_EQ(KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, infinity), nullptr);
    EXPECT_EQ(KVE_CreateJoint(-1, a->number, infinity, 0, 0, b->number, 0, 0, 0, 10.0f), nullptr);
    EXPECT_EQ(KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, nan, 0, 10.0f), nullptr);
    EXPECT_EQ(KVE_GetJointCount(), 0);
    KVE_SetGravity(0, 0, 0);
    for (int i = 0; i < 10; ++i)
        kve::physics::step(1.0f / 60.0f);
    expectNear3(a->v4fPosition, 0, 0, 0);
    expectNear3(b->v4fPosition, 2, 0, 0);
    EXPECT_NE(KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, 10.0f), nullptr)
        << "a finite one still is made";
}

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

// ---- the iterative solver's joint rows ---------------------------------------------------

// Joints between two dynamic bodies are solved by the iterative solver as stiff springs
// with a damper, implicitly in each sub-step: stable for any stiffness, exact Hooke's law
// at rest.
class JointRows : public TwoBodyJoints {
protected:
    static constexpr float kStep = 1.0f / 60.0f, kGravity = 9.81f;

    void SetUp() override
    {
        TwoBodyJoints::SetUp();
        KVE_SetPhysicsSolver(KVE_SOLVER_ITERATIVE);
    }

    // A cube of side 2 s with a box body.
    KVE_OBJECT* box(float x, float y, float z, float s, float mass)
    {
        if (cube < 0)
            cube = makeCubeMesh(41);
        return place(cube, x, y, z, KVE_BODY_BOX, mass, {s, s, s, 0});
    }
    static double anchorGap(const KVE_JOINT& joint)
    {
        KVE_Vector a = joint.anchorA, b = joint.anchorB;
        KVE_TransformVector(&a, &joint.objectA->fullMatrix);
        KVE_TransformVector(&b, &joint.objectB->fullMatrix);
        return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y,
                          static_cast<double>(a.z) - b.z);
    }

    // Five links of mass 1 (cubes of side 0.4, 0.2 apart, jointed face to face with
    // k = 20000: k h^2 / m = 5.6, where a force taken once per step runs away) hanging
    // from the bottom edge of a block of 100 that rests on a fixed ledge (a cube of side
    // 1 around the origin) and overhangs it by 0.3. Let go at the links' rest lengths.
    void hangChain()
    {
        KVE_SetGravity(0, -kGravity, 0);
        box(0, 0, 0, 0.5f, 0.0f)->Body.friction = 0.7f;
        chain = {box(0.3f, 1.0f, 0, 0.5f, kBlock)};
        chain[0]->Body.friction = 0.7f;
        for (int i = 1; i <= kLinks; ++i) {
            chain.push_back(box(0.8f, 0.1f - 0.6f * static_cast<float>(i - 1), 0, 0.2f, kLink));
            links.push_back(KVE_CreateJoint(-1, chain[static_cast<size_t>(i - 1)]->number, i == 1 ? 1.0f : 0.0f, -1, 0,
                                            chain.back()->number, 0, 1, 0, kStiffness));
        }
    }

    static constexpr int kLinks = 5;
    static constexpr float kLink = 1.0f, kBlock = 100.0f, kStiffness = 20000.0f;
    std::vector<KVE_OBJECT*> chain;
    std::vector<KVE_JOINT*> links;
    int cube = -1;
};

// Released unstretched, each link drops until its spring carries the links below it: the
// spring above link i (1 at the top) then stretches by (6 - i) m g / k. Energy only goes
// into the springs and the dampers: the total never rises above the start.
TEST_F(JointRows, StiffChainSettlesAtHookesLawWithoutGainingEnergy)
{
    hangChain();
    const float start = KVE_GetPhysicsEnergy(15);
    float highest = start;
    for (int s = 0; s < 240; ++s) {
        kve::physics::step(kStep);
        highest = std::max(highest, KVE_GetPhysicsEnergy(15));
    }
    EXPECT_LT(highest, start + 1e-3f);
    for (int i = 1; i <= kLinks; ++i) {
        SCOPED_TRACE(i);
        const KVE_JOINT& joint = *links[static_cast<size_t>(i - 1)];
        const double expected = (kLinks + 1 - i) * kLink * kGravity / kStiffness;
        EXPECT_NEAR(anchorGap(joint) - joint.restLength, expected, 0.02 * expected);
        const KVE_OBJECT& link = *chain[static_cast<size_t>(i)];
        EXPECT_NEAR(link.v4fPosition.x, 0.8f, 1e-3f);
        EXPECT_NEAR(link.v4fPosition.z, 0.0f, 1e-3f);
        EXPECT_LT(std::hypot(link.Body.v4fMovement.x, link.Body.v4fMovement.y, link.Body.v4fMovement.z), 1e-3f);
    }
}

// Frames of changing length (1/60, 1/30, 1/120 s in turn) do not shake a chain hanging at
// rest: each joint carries the same force into a step of any length. The chain hangs from
// a weight of 1000 on a spring from a fixed hook (a force, stable there: k h^2 / m =
// 0.06), everything placed where Hooke's law holds it, the hook's spring and the
// accelerations as a step before would have left them; 30 steady steps settle the rows.
TEST_F(JointRows, StiffChainAtRestStaysThroughStepsOfChangingLength)
{
    KVE_SetGravity(0, -kGravity, 0);
    KVE_SetSleeping(0);
    constexpr float kWeight = 1000.0f, kHook = 2e5f;
    KVE_OBJECT* hook = place(anyMesh(), 0, 1, 0, KVE_BODY_POINT, 0.0f);
    chain = {place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, kWeight)};
    KVE_JOINT* spring = KVE_CreateJoint(-1, hook->number, 0, 0, 0, chain[0]->number, 0, 0, 0, kHook);
    spring->lastExtension = (kWeight + kLinks * kLink) * kGravity / kHook;
    KVE_MoveObject(chain[0]->number, 0, -spring->lastExtension, 0, 0);
    for (int i = 1; i <= kLinks; ++i) {
        const float above = chain.back()->v4fPosition.y;
        chain.push_back(place(anyMesh(), 0, above - 0.6f, 0, KVE_BODY_POINT, kLink));
        KVE_CreateJoint(-1, chain[static_cast<size_t>(i - 1)]->number, 0, 0, 0, chain.back()->number, 0, 0, 0,
                        kStiffness);
        const float stretch = static_cast<float>(kLinks + 1 - i) * kLink * kGravity / kStiffness;
        KVE_MoveObject(chain.back()->number, 0, above - 0.6f - stretch, 0, 0);
    }
    for (KVE_OBJECT* link : chain)
        link->Body.acceleration = {0, -kGravity, 0, 0}; // as a step before would leave it
    for (int s = 0; s < 30; ++s)
        kve::physics::step(kStep);
    std::vector<KVE_Vector> rest;
    for (KVE_OBJECT* link : chain)
        rest.push_back(link->v4fPosition);
    float fastest = 0;
    for (int s = 0; s < 90; ++s) {
        kve::physics::step(s % 3 == 0 ? kStep : s % 3 == 1 ? 2 * kStep : 0.5f * kStep);
        for (const KVE_OBJECT* link : chain)
            fastest = std::max(
                fastest, std::hypot(link->Body.v4fMovement.x, link->Body.v4fMovement.y, link->Body.v4fMovement.z));
    }
    EXPECT_LT(fastest, 1e-3f);
    for (size_t i = 0; i < chain.size(); ++i)
        expectNear3(chain[i]->v4fPosition, rest[i].x, rest[i].y, rest[i].z, 1e-5f);
}

// The bottom link knocked sideways at 2 units per second: the chain swings and bends, its
// links turning on their face anchors, but the springs neither tear nor feed the motion.
TEST_F(JointRows, StiffChainSwungSidewaysNeverGainsEnergy)
{
    hangChain();
    for (int s = 0; s < 120; ++s)
        kve::physics::step(kStep);
    chain.back()->Body.v4fMovement = {2.0f, 0, 0.5f, 0};
    const float start = KVE_GetPhysicsEnergy(15);
    float highest = start, widest = 0, stretched = 0;
    for (int s = 0; s < 600; ++s) {
        kve::physics::step(kStep);
        const float now = KVE_GetPhysicsEnergy(15);
        ASSERT_TRUE(std::isfinite(now));
        highest = std::max(highest, now);
        widest = std::max(widest, std::fabs(chain.back()->v4fPosition.x - 0.8f));
        for (const KVE_JOINT* joint : links)
            stretched = std::max(stretched, static_cast<float>(anchorGap(*joint)) - joint->restLength);
    }
    EXPECT_LT(highest, start + 1e-3f);
    EXPECT_LT(KVE_GetPhysicsEnergy(15), start);
    EXPECT_GT(widest, 0.2f); // it did swing
    // The top spring carries five weights at rest; the swing adds its pull, not multiples.
    EXPECT_LT(stretched, 2.0f * kLinks * kLink * kGravity / kStiffness);
}

// One sub-step per step and no relaxing pass: each step is then exactly the backward
// Euler step of the pair's spring-damper in its relative coordinate (reduced mass
// mu = 0.5, damper c = k h), which is integrated here beside the solver (no sleeping,
// which would stop the last slow swings).
TEST_F(JointRows, OneSubStepIsTheImplicitSpringWithItsDamper)
{
    ASSERT_EQ(KVE_SetSolverIterations(1, 0), 1);
    KVE_SetSleeping(0);
    const double k = 500.0, mu = 0.5, h = kStep, c = k * h;
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 1, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, static_cast<float>(k));
    KVE_MoveObject(b->number, 1.2f, 0, 0, 0);
    double x = 0.2, v = 0; // stretch and its rate
    for (int s = 0; s < 60; ++s) {
        kve::physics::step(kStep);
        v = (v - h * k / mu * x) / (1.0 + h * c / mu + h * h * k / mu);
        x += h * v;
        SCOPED_TRACE(s);
        ASSERT_NEAR(b->v4fPosition.x - a->v4fPosition.x - 1.0f, x, 1e-5);
        ASSERT_NEAR(b->Body.v4fMovement.x - a->Body.v4fMovement.x, v, 1e-4);
        ASSERT_NEAR(a->v4fPosition.x + b->v4fPosition.x, 1.2f, 1e-5f);
    }
}

// A light and a heavy object (0.1 and 10) on a joint of k = 20000, stretched by 0.05 in no
// gravity, the heavy one also moving across: k h^2 / m is 55 for the light one. The pair
// keeps its momentum, its energy never rises, and its stretch dies away.
TEST_F(JointRows, LightAndHeavyPairOnAStiffJointSettles)
{
    KVE_OBJECT* light = box(0, 0, 0, 0.1f, 0.1f);
    KVE_OBJECT* heavy = place(anyMesh(), 1, 0, 0, KVE_BODY_POINT, 10.0f);
    KVE_JOINT* joint = KVE_CreateJoint(-1, light->number, 1, 0, 0, heavy->number, 0, 0, 0, 20000.0f);
    KVE_MoveObject(heavy->number, 1.05f, 0.02f, 0, 0);
    heavy->Body.v4fMovement = {0, 0, 0.3f, 0};
    const Sums start = sums({light, heavy});
    const float energy = KVE_GetPhysicsEnergy(15);
    for (int s = 0; s < 180; ++s) {
        kve::physics::step(kStep);
        SCOPED_TRACE(s);
        ASSERT_LE(KVE_GetPhysicsEnergy(15), energy + 1e-4f);
        expectNear3(sums({light, heavy}).momentum, start.momentum.x, start.momentum.y, start.momentum.z, 1e-4f);
    }
    // The pair still turns about its centre of mass (its angular momentum stays), which
    // stretches the joint by only mu v^2 / (r k), far below what is checked.
    EXPECT_NEAR(anchorGap(*joint), joint->restLength, 1e-4);
}

// Two cubes lying on the ground, jointed side to side with k = 20000 and let go stretched
// by 0.02 a little above it: they land, slide together to the rest length (friction can
// hold only mu m g / k = 0.0003 of stretch), come to rest and fall asleep together, and
// asleep they stay where they are.
TEST_F(JointRows, JointedPairOnTheGroundComesToRestAndSleeps)
{
    KVE_SetGravity(0, -kGravity, 0);
    KVE_OBJECT* ground = place(makePlaneMesh(30), 0, 0, 0, KVE_BODY_MESH, 0.0f);
    KVE_ScaleObject(ground->number, 20, 20, 20, 0);
    KVE_OBJECT* a = box(-0.8f, 0.55f, 0, 0.5f, 1.0f);
    KVE_OBJECT* b = box(0.8f, 0.55f, 0, 0.5f, 1.0f);
    for (KVE_OBJECT* o : {a, b})
        o->Body.friction = 0.7f;
    KVE_JOINT* joint = KVE_CreateJoint(-1, a->number, 1, 0, 0, b->number, -1, 0, 0, 20000.0f);
    KVE_MoveObject(b->number, 0.82f, 0.55f, 0, 0);
    int steps = 0;
    while (steps < 600 && !(KVE_IsObjectSleeping(a->number) && KVE_IsObjectSleeping(b->number))) {
        kve::physics::step(kStep);
        ++steps;
    }
    ASSERT_LT(steps, 600) << "the pair never fell asleep";
    EXPECT_NEAR(anchorGap(*joint), joint->restLength, 1e-3);
    for (const KVE_OBJECT* o : {a, b}) {
        EXPECT_NEAR(o->v4fPosition.y, 0.5f, 0.02f);
        EXPECT_NEAR(o->v4fPosition.z, 0.0f, 1e-3f);
    }
    const KVE_Vector restA = a->v4fPosition, restB = b->v4fPosition;
    for (int s = 0; s < 60; ++s)
        kve::physics::step(kStep);
    EXPECT_EQ(KVE_IsObjectSleeping(a->number) + KVE_IsObjectSleeping(b->number), 2);
    expectNear3(a->v4fPosition, restA.x, restA.y, restA.z, 0.0f);
    expectNear3(b->v4fPosition, restB.x, restB.y, restB.z, 0.0f);
}

// A joint of rest length 0 between two objects on the same spot: while the anchors meet
// the joint has no direction and does nothing; once one object moves off, the joint pulls
// it back through the other and out, the pair's momentum kept and nothing undefined.
TEST_F(JointRows, ZeroLengthJointHoldsTwoObjectsOnOneSpot)
{
    KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_OBJECT* b = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
    KVE_JOINT* joint = KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, 20000.0f);
    ASSERT_EQ(joint->restLength, 0.0f);
    kve::physics::step(kStep);
    expectNear3(b->v4fPosition, 0, 0, 0, 0.0f);
    b->Body.v4fMovement = {1, 0.5f, 0, 0};
    float farthest = 0;
    for (int s = 0; s < 120; ++s) {
        kve::physics::step(kStep);
        SCOPED_TRACE(s);
        ASSERT_TRUE(std::isfinite(a->v4fPosition.x + a->v4fPosition.y + b->v4fPosition.x + b->v4fPosition.y));
        expectNear3(sums({a, b}).momentum, 1, 0.5f, 0, 1e-4f);
        farthest = std::max(farthest, static_cast<float>(anchorGap(*joint)));
    }
    // Unhindered, b would be 2 away by now; the joint keeps it within about v / omega.
    EXPECT_LT(farthest, 0.02f);
    EXPECT_NEAR(a->v4fPosition.x + b->v4fPosition.x, 2.0f, 1e-3f); // the centre drifts at 0.5
}

// What the rows do not take keeps the spring force of the pairwise solver: a joint of
// negative stiffness (a spring pushing apart, which has no stable implicit form), and a
// joint of an object to itself. After one step from rest the velocities are those the
// pairwise solver gives.
TEST_F(JointRows, JointsTheRowsDoNotTakeKeepTheirForce)
{
    const auto pushApart = [this](int solver) {
        KVE_SetPhysicsSolver(solver);
        KVE_OBJECT* a = place(anyMesh(), 0, 0, 0, KVE_BODY_POINT, 1.0f);
        KVE_OBJECT* b = place(anyMesh(), 1, 0, 0, KVE_BODY_POINT, 2.0f);
        KVE_CreateJoint(-1, a->number, 0, 0, 0, b->number, 0, 0, 0, -10.0f);
        KVE_CreateJoint(-1, a->number, 0, 0, 0, a->number, 0, 1, 0, 10.0f);
        KVE_MoveObject(b->number, 1.5f, 0, 0, 0);
        kve::physics::step(kStep);
        const std::pair<KVE_Vector, KVE_Vector> velocities{a->Body.v4fMovement, b->Body.v4fMovement};
        KVE_ReleaseObject(a->number);
        KVE_ReleaseObject(b->number);
        return velocities;
    };
    const auto pairwise = pushApart(KVE_SOLVER_PAIRWISE);
    const auto iterative = pushApart(KVE_SOLVER_ITERATIVE);
    // -10 x 0.5 pushes a by -5 / 1 and b by 5 / 2 over 1/60 s.
    EXPECT_LT(pairwise.first.x, -0.05f);
    expectNear3(iterative.first, pairwise.first.x, pairwise.first.y, pairwise.first.z, 1e-6f);
    expectNear3(iterative.second, pairwise.second.x, pairwise.second.y, pairwise.second.z, 1e-6f);
    EXPECT_EQ(KVE_GetJointCount(), 0);
}

} // namespace
