// The physics step on ball scenes of growing size: N spheres (radius 0.5, mass 1) in one
// layer dropped from heights 2..6 onto a static ground of two triangles, widened with N
// so that the density stays that of 200 balls on 20 x 20 units; stepped at 60 Hz and
// measured per step after the drop has settled. The engine runs with its broad phase and
// with every pair tested; Bullet, when its package is found, runs the same scenes. A
// pile of 3000 balls on the demonstration's 20 x 20 ground, with the phase pauses, gives
// the demonstration's step. Compare engines with
//   kve_physics_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
// so that the runs of the two engines alternate.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "physics/physics.h"
#include "scene/object.h"

#ifdef KVE_BENCH_HAVE_BULLET
#include <btBulletDynamicsCommon.h>
#endif

namespace {

constexpr int kPlaneMesh = 900, kBallMesh = 901, kBallBody = 902;
constexpr float kBallRadius = 0.5f, kBallMass = 1.0f;
constexpr float kGravity = -9.81f, kStep = 1.0f / 60.0f;
constexpr int kSettlingSteps = 90;
// Both engines multiply the two objects' factors: 0.16 restitution, 0.49 friction.
constexpr float kRestitution = 0.4f, kFriction = 0.7f;
// The engine damps relative rotation at every contact (spin friction); Bullet's closest
// terms are rolling and spinning friction (0.07 combined with friction 0.7 on both
// sides). Without them Bullet's balls roll on forever and some leave the ground.
constexpr float kBulletRollingFriction = 0.05f;
constexpr float kCorners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
constexpr int kTriangles[2][3] = {{0, 2, 1}, {1, 2, 3}};
constexpr int kCounts[] = {100, 500, 1000, 2000, 5000, 10000};
constexpr int kAllPairsUpTo = 2000; // every pair tested: beyond this a run takes minutes
constexpr int kPileBalls = 3000;

struct Start {
    float x, y, z;
};

// One layer: columns 2 units apart in x, rows 1 unit apart in z, twice as many rows as
// columns (for 200 balls the 10 x 20 grid on a 20 x 20 ground), heights 2..6.
struct Layout {
    int balls, columns, rows;
    float groundScale; // the two triangles span -1..1

    explicit Layout(int count)
        : balls(count), columns(static_cast<int>(std::ceil(std::sqrt(count / 2.0)))),
          rows((count + columns - 1) / columns),
          groundScale(std::max(static_cast<float>(columns), static_cast<float>(rows) * 0.5f))
    {
    }
    Start start(int i) const
    {
        return {-static_cast<float>(columns - 1) + static_cast<float>(i % columns) * 2.0f,
                2.0f + static_cast<float>(i % 5), -static_cast<float>(rows - 1) * 0.5f + static_cast<float>(i / columns)};
    }
    // The demonstration's ground (20 x 20) with balls falling on it in stacked layers a
    // unit apart, as holding the left button piles them up.
    static Layout pile(int count) { return Layout(count, 10.0f); }
    Start pileStart(int i) const
    {
        constexpr int kSide = 19;
        const int layer = i / (kSide * kSide), cell = i % (kSide * kSide);
        return {-9.0f + static_cast<float>(cell % kSide), 1.0f + 1.1f * static_cast<float>(layer),
                -9.0f + static_cast<float>(cell / kSide)};
    }

private:
    Layout(int count, float scale) : balls(count), columns(0), rows(0), groundScale(scale) {}
};

Start startOf(const Layout& layout, int i)
{
    return layout.columns ? layout.start(i) : layout.pileStart(i);
}

// Balls still resting on the ground square: a run where balls roll off measures less work.
bool onGround(const Layout& layout, float x, float y, float z)
{
    const float edge = layout.groundScale + kBallRadius;
    return std::fabs(x) <= edge && std::fabs(z) <= edge && y > 0.0f;
}

// The ground square (the two triangles scaled by `groundScale`), the ball mesh and body,
// and gravity.
void buildGround(float groundScale)
{
    KVE_CreateMesh(kPlaneMesh, "");
    KVE_SetMeshVertexCount(kPlaneMesh, 4);
    for (int i = 0; i < 4; ++i)
        KVE_SetMeshVertex(kPlaneMesh, i, kCorners[i][0], 0, kCorners[i][1], 1);
    KVE_SetMeshTriangleCount(kPlaneMesh, 2);
    for (int t = 0; t < 2; ++t)
        KVE_SetMeshTriangle(kPlaneMesh, t, kTriangles[t][0], kTriangles[t][1], kTriangles[t][2]);
    KVE_CreateMesh(kBallMesh, "");
    KVE_SetMeshVertexCount(kBallMesh, 1);
    KVE_CreateSphereBody(kBallBody, kBallRadius, "");

    KVE_OBJECT* ground = KVE_CreateObject(-1, kPlaneMesh, -1, "", 0, 0);
    KVE_ScaleObject(ground->number, groundScale, groundScale, groundScale, 0);
    KVE_SetObjectBody(ground->number, KVE_BODY_MESH, 1.0f);
    KVE_SetObjectRestitution(ground->number, kRestitution);
    KVE_SetObjectFriction(ground->number, kFriction);
    KVE_SetGravity(0, kGravity, 0);
}

void buildScene(const Layout& layout)
{
    buildGround(layout.groundScale);
    for (int i = 0; i < layout.balls; ++i) {
        KVE_OBJECT* ball = KVE_CreateObject(-1, kBallMesh, -1, "", 0, 0);
        const Start at = startOf(layout, i);
        KVE_MoveObject(ball->number, at.x, at.y, at.z, 0);
        KVE_SetObjectBody(ball->number, kBallBody, 1.0f);
        KVE_SetObjectMass(ball->number, kBallMass);
        KVE_SetObjectRestitution(ball->number, kRestitution);
        KVE_SetObjectFriction(ball->number, kFriction);
    }
}

int korvaneBallsOnGround(const Layout& layout)
{
    int count = 0;
    for (const KVE_OBJECT* object : kve::physics::world().dynamicSet)
        count += onGround(layout, object->v4fPosition.x, object->v4fPosition.y, object->v4fPosition.z);
    return count;
}

void tearDown()
{
    kve::scene::releaseObjects();
    kve::physics::releaseAll();
    KVE_ReleaseMesh(kPlaneMesh);
    KVE_ReleaseMesh(kBallMesh);
}

// Fewer timed steps for bigger scenes, so that each run takes a few seconds.
int timedSteps(int balls)
{
    return std::clamp(1200000 / balls, 60, 6000);
}

void runKorvane(benchmark::State& state, const Layout& layout, bool broadPhase, bool pauses)
{
    kve::physics::setPhasePause(false);
    kve::physics::setBroadPhase(broadPhase);
    KVE_InitPhysics();
    buildScene(layout);
    for (int i = 0; i < kSettlingSteps; ++i)
        kve::physics::step(kStep);
    kve::physics::setPhasePause(pauses);
    for (auto _ : state)
        kve::physics::step(kStep);
    kve::physics::setPhasePause(false);
    state.counters["balls"] = layout.balls;
    state.counters["on_ground"] = korvaneBallsOnGround(layout);
    tearDown();
    kve::physics::setBroadPhase(true);
}

#ifdef KVE_BENCH_HAVE_BULLET
// The same scene in Bullet: the default collision configuration and dispatcher, the
// dynamic AABB tree broadphase and the sequential impulse solver; the ground is a
// bounding-volume tree over the same two triangles, scaled like the engine's object.
// No sleeping (the engine simulates every ball on every step) and rolling friction.
struct BulletScene {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
    btTriangleMesh groundTriangles;
    std::unique_ptr<btBvhTriangleMeshShape> groundShape;
    btSphereShape ballShape{kBallRadius};
    std::unique_ptr<btRigidBody> ground;
    std::vector<std::unique_ptr<btRigidBody>> balls;
    const Layout& layout;

    explicit BulletScene(const Layout& sceneLayout) : layout(sceneLayout)
    {
        world.setGravity(btVector3(0, kGravity, 0));
        auto corner = [](int i) { return btVector3(kCorners[i][0], 0, kCorners[i][1]); };
        for (const auto& t : kTriangles)
            groundTriangles.addTriangle(corner(t[0]), corner(t[1]), corner(t[2]));
        groundShape = std::make_unique<btBvhTriangleMeshShape>(&groundTriangles, true);
        const btScalar scale = layout.groundScale;
        groundShape->setLocalScaling(btVector3(scale, scale, scale));
        btRigidBody::btRigidBodyConstructionInfo groundInfo(0, nullptr, groundShape.get());
        groundInfo.m_restitution = kRestitution;
        groundInfo.m_friction = kFriction;
        groundInfo.m_rollingFriction = groundInfo.m_spinningFriction = kBulletRollingFriction;
        ground = std::make_unique<btRigidBody>(groundInfo);
        world.addRigidBody(ground.get());

        btVector3 inertia(0, 0, 0);
        ballShape.calculateLocalInertia(kBallMass, inertia);
        for (int i = 0; i < layout.balls; ++i) {
            btRigidBody::btRigidBodyConstructionInfo info(kBallMass, nullptr, &ballShape, inertia);
            const Start at = startOf(layout, i);
            info.m_startWorldTransform.setIdentity();
            info.m_startWorldTransform.setOrigin(btVector3(at.x, at.y, at.z));
            info.m_restitution = kRestitution;
            info.m_friction = kFriction;
            info.m_rollingFriction = info.m_spinningFriction = kBulletRollingFriction;
            auto& ball = balls.emplace_back(std::make_unique<btRigidBody>(info));
            ball->setActivationState(DISABLE_DEACTIVATION);
            world.addRigidBody(ball.get());
        }
    }
    ~BulletScene()
    {
        for (auto& ball : balls)
            world.removeRigidBody(ball.get());
        world.removeRigidBody(ground.get());
    }
    // maxSubSteps 0: exactly one internal step of the given length per call, no
    // accumulator and no interpolation.
    void step() { world.stepSimulation(kStep, 0); }
    int ballsOnGround() const
    {
        int count = 0;
        for (const auto& ball : balls) {
            const btVector3& p = ball->getWorldTransform().getOrigin();
            count += onGround(layout, p.x(), p.y(), p.z());
        }
        return count;
    }
};

void runBullet(benchmark::State& state, const Layout& layout)
{
    BulletScene scene(layout);
    for (int i = 0; i < kSettlingSteps; ++i)
        scene.step();
    for (auto _ : state)
        scene.step();
    state.counters["balls"] = layout.balls;
    state.counters["on_ground"] = scene.ballsOnGround();
}
#endif

// Planks (the demonstration's box body: a unit cube scaled 1 x 0.5 x 0.2) dropped in five
// layers of 40 onto the 20 x 20 ground and onto each other, turned about the vertical
// and slightly tilted; the mesh-mesh pair tests dominate.
constexpr int kPlankCount = 200, kCubeMesh = 903, kPlankBody = 904;
constexpr int kPlankSettlingSteps = 30, kPlankTimedSteps = 600;

// The box body over a unit cube, as the demonstration makes it from "Cube.kvm".
void buildPlanksBody()
{
    KVE_CreateMesh(kCubeMesh, "");
    KVE_SetMeshVertexCount(kCubeMesh, 8);
    for (int i = 0; i < 8; ++i)
        KVE_SetMeshVertex(kCubeMesh, i, i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f, 1);
    KVE_CreateBodyFromMesh(kPlankBody, kCubeMesh, KVE_BODY_BOX, 1.0f, "");
}

void buildPlanks()
{
    buildGround(10.0f);
    buildPlanksBody();
    for (int i = 0; i < kPlankCount; ++i) {
        KVE_OBJECT* plank = KVE_CreateObject(-1, kCubeMesh, -1, "", 0, 0);
        KVE_ScaleObject(plank->number, 1.0f, 0.5f, 0.2f, 0);
        KVE_MoveObject(plank->number, -4.0f + 2.0f * static_cast<float>(i % 5), 1.0f + 0.6f * static_cast<float>(i / 40),
                       -3.5f + static_cast<float>((i / 5) % 8), 0);
        KVE_RotateObject(plank->number, 90.0f + static_cast<float>(i % 7) * 3.0f, static_cast<float>(i * 37 % 360),
                         static_cast<float>(i % 3) * 4.0f, 0);
        KVE_SetObjectBody(plank->number, kPlankBody, 1.0f);
        KVE_SetObjectMass(plank->number, 1.0f);
    }
}

void BM_KorvanePlanks(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildPlanks();
    for (int i = 0; i < kPlankSettlingSteps; ++i)
        kve::physics::step(kStep);
    for (auto _ : state)
        kve::physics::step(kStep);
    int below = 0; // planks that sank through the ground
    for (const KVE_OBJECT* object : kve::physics::world().dynamicSet)
        below += std::fabs(object->v4fPosition.x) < 10.0f && std::fabs(object->v4fPosition.z) < 10.0f &&
                 object->v4fPosition.y < 0.0f;
    state.counters["below_ground"] = below;
    tearDown();
    KVE_ReleaseMesh(kCubeMesh);
}

// One mesh-mesh pair test of two planks laid crosswise, 0.05 into each other (turned 0 and
// 90 degrees: at other turns the box test without its widening misses them), without
// the response (nothing moves, so every call does the same work): the leaf test itself.
void BM_KorvaneCrossedPlankTest(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildPlanksBody();
    KVE_OBJECT* planks[2];
    for (int i = 0; i < 2; ++i) {
        planks[i] = KVE_CreateObject(-1, kCubeMesh, -1, "", 0, 0);
        KVE_ScaleObject(planks[i]->number, 1.0f, 0.5f, 0.2f, 0);
        KVE_MoveObject(planks[i]->number, 0.1f * static_cast<float>(i), 0.15f * static_cast<float>(i), 0, 0);
        KVE_RotateObject(planks[i]->number, 90, 90.0f * static_cast<float>(i), 0, 0);
        KVE_SetObjectBody(planks[i]->number, kPlankBody, 1.0f);
        KVE_SetObjectMass(planks[i]->number, 1.0f);
    }
    int contacts = 0;
    for (auto _ : state)
        contacts += kve::physics::collide(*planks[0], *planks[1]);
    state.counters["contact"] = contacts > 0;
    kve::scene::releaseObjects();
    kve::physics::releaseAll();
    KVE_ReleaseMesh(kCubeMesh);
}

void registerAll()
{
    benchmark::RegisterBenchmark("BM_KorvaneCrossedPlankTest", BM_KorvaneCrossedPlankTest)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_KorvanePlanks/200", BM_KorvanePlanks)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(kPlankTimedSteps);
    for (int count : kCounts) {
        const Layout layout(count);
        const auto named = [count](const char* base) {
            char name[64];
            std::snprintf(name, sizeof name, "%s/%d", base, count);
            return std::string(name);
        };
        benchmark::RegisterBenchmark(named("BM_KorvaneBalls").c_str(),
                                     [layout](benchmark::State& s) { runKorvane(s, layout, true, false); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(timedSteps(count));
#ifdef KVE_BENCH_HAVE_BULLET
        benchmark::RegisterBenchmark(named("BM_BulletBalls").c_str(),
                                     [layout](benchmark::State& s) { runBullet(s, layout); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(timedSteps(count));
#endif
        if (count <= kAllPairsUpTo)
            benchmark::RegisterBenchmark(named("BM_KorvaneBallsAllPairs").c_str(),
                                         [layout](benchmark::State& s) { runKorvane(s, layout, false, false); })
                ->Unit(benchmark::kMillisecond)
                ->Iterations(timedSteps(count));
    }
    const Layout pile = Layout::pile(kPileBalls);
    benchmark::RegisterBenchmark("BM_KorvaneDemoPileWithPauses/3000",
                                 [pile](benchmark::State& s) { runKorvane(s, pile, true, true); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(120);
}

} // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
