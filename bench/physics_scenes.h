// What the physics benchmarks share: the ground of two triangles, the unit cube's box
// body, the ball layer (N spheres of radius 0.5 and mass 1 in one layer dropped from
// heights 2..6 onto a ground widened with N, so that the density stays that of 200 balls
// on 20 x 20 units) in the engine and in Bullet, and the programs' main.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "physics/physics.h"
#include "scene/object.h"

#ifdef KVE_BENCH_HAVE_BULLET
#include <btBulletDynamicsCommon.h>
#endif

// Included by one benchmark program each, so its definitions need no inline.
namespace kve::bench {

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

// The box body over a unit cube, as the demonstration makes it from "Cube.kvm".
constexpr int kCubeMesh = 903, kBoxBody = 904;
void buildCubeBody()
{
    KVE_CreateMesh(kCubeMesh, "");
    KVE_SetMeshVertexCount(kCubeMesh, 8);
    for (int i = 0; i < 8; ++i)
        KVE_SetMeshVertex(kCubeMesh, i, i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f, 1);
    KVE_CreateBodyFromMesh(kBoxBody, kCubeMesh, KVE_BODY_BOX, 1.0f, "");
}

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

// The ball layer in the engine: settled, then timed step by step. `configure` (when
// given) sets the engine up after its start, before the scene is built.
void runKorvane(benchmark::State& state, const Layout& layout, bool broadPhase, bool pauses,
                const std::function<void()>& configure = {})
{
    kve::physics::setPhasePause(false);
    kve::physics::setBroadPhase(broadPhase);
    KVE_InitPhysics();
    if (configure)
        configure();
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
// A Bullet world with the ground: the default collision configuration and dispatcher,
// the dynamic AABB tree broadphase and the sequential impulse solver (10 iterations);
// the ground is a bounding-volume tree over the same two triangles, scaled like the
// engine's object, or a slab of the same top face 2 units thick. It owns the bodies
// added to it.
struct BulletWorld {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
    btTriangleMesh groundTriangles;
    std::unique_ptr<btCollisionShape> groundShape;
    std::unique_ptr<btRigidBody> ground;
    std::vector<std::unique_ptr<btRigidBody>> bodies;

    BulletWorld(float groundScale, bool slab)
    {
        world.setGravity(btVector3(0, kGravity, 0));
        btTransform groundPlace;
        groundPlace.setIdentity();
        if (slab) {
            groundShape = std::make_unique<btBoxShape>(btVector3(groundScale, 1, groundScale));
            groundPlace.setOrigin(btVector3(0, -1, 0));
        } else {
            auto corner = [](int i) { return btVector3(kCorners[i][0], 0, kCorners[i][1]); };
            for (const auto& t : kTriangles)
                groundTriangles.addTriangle(corner(t[0]), corner(t[1]), corner(t[2]));
            auto mesh = std::make_unique<btBvhTriangleMeshShape>(&groundTriangles, true);
            mesh->setLocalScaling(btVector3(groundScale, groundScale, groundScale));
            groundShape = std::move(mesh);
        }
        btRigidBody::btRigidBodyConstructionInfo groundInfo(0, nullptr, groundShape.get());
        groundInfo.m_startWorldTransform = groundPlace;
        groundInfo.m_restitution = kRestitution;
        groundInfo.m_friction = kFriction;
        groundInfo.m_rollingFriction = groundInfo.m_spinningFriction = kBulletRollingFriction;
        ground = std::make_unique<btRigidBody>(groundInfo);
        world.addRigidBody(ground.get());
    }
    ~BulletWorld()
    {
        for (auto& body : bodies)
            world.removeRigidBody(body.get());
        world.removeRigidBody(ground.get());
    }
    // A body of mass 1 with the scenes' surface factors; never asleep unless `sleeps`.
    btRigidBody& add(btCollisionShape& shape, const btTransform& start, bool sleeps)
    {
        btVector3 inertia(0, 0, 0);
        shape.calculateLocalInertia(kBallMass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(kBallMass, nullptr, &shape, inertia);
        info.m_startWorldTransform = start;
        info.m_restitution = kRestitution;
        info.m_friction = kFriction;
        auto& body = bodies.emplace_back(std::make_unique<btRigidBody>(info));
        if (!sleeps)
            body->setActivationState(DISABLE_DEACTIVATION);
        world.addRigidBody(body.get());
        return *body;
    }
    // maxSubSteps 0: exactly one internal step of the given length per call, no
    // accumulator and no interpolation.
    void step() { world.stepSimulation(kStep, 0); }
};

// The ball layer in Bullet, with rolling friction and no sleeping (the engine simulates
// every ball on every step).
struct BulletScene : BulletWorld {
    btSphereShape ballShape{kBallRadius};
    const Layout& layout;

    explicit BulletScene(const Layout& sceneLayout) : BulletWorld(sceneLayout.groundScale, false), layout(sceneLayout)
    {
        for (int i = 0; i < layout.balls; ++i) {
            const Start at = startOf(layout, i);
            btTransform start;
            start.setIdentity();
            start.setOrigin(btVector3(at.x, at.y, at.z));
            btRigidBody& ball = add(ballShape, start, false);
            ball.setRollingFriction(kBulletRollingFriction);
            ball.setSpinningFriction(kBulletRollingFriction);
        }
    }
    ~BulletScene()
    {
        for (auto& body : bodies)
            world.removeRigidBody(body.get());
        bodies.clear(); // before the ball shape goes
    }
    int ballsOnGround() const
    {
        int count = 0;
        for (const auto& ball : bodies) {
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

// Registers the program's benchmarks (they are built at run time), then runs them.
int benchmarkMain(int argc, char** argv, void (*registerAll)())
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace kve::bench
