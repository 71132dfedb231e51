// The physics step on a fixed scene: 200 balls (sphere bodies of radius 0.5, mass 1) in
// a 10 x 20 grid dropped from heights 2..6 onto a static ground of two triangles (20 x 20
// units), stepped at 60 Hz, measured per step after a settling second. The engine runs it
// with and without its phase pauses; Bullet, when its package is found, runs the same
// scene on a triangle-mesh ground for the side-by-side figure.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "physics/physics.h"
#include "scene/object.h"

#ifdef KVE_BENCH_HAVE_BULLET
#include <btBulletDynamicsCommon.h>
#endif

namespace {

constexpr int kPlaneMesh = 900, kBallMesh = 901, kBallBody = 902;
constexpr int kBallCount = 200;
constexpr float kBallRadius = 0.5f, kBallMass = 1.0f;
constexpr float kGroundScale = 10.0f; // the two triangles span -1..1, scaled to 20 x 20
constexpr float kGravity = -9.81f, kStep = 1.0f / 60.0f;
constexpr int kSettlingSteps = 60;
constexpr int kTimedSteps = 6000; // 100 simulated seconds, the same for every engine
// Both engines multiply the two objects' factors: 0.16 restitution, 0.49 friction.
constexpr float kRestitution = 0.4f, kFriction = 0.7f;
// The engine damps relative rotation at every contact (spin friction); Bullet's closest
// terms are rolling and spinning friction (0.07 combined with friction 0.7 on both
// sides). Without them Bullet's balls roll on forever and some leave the ground.
constexpr float kBulletRollingFriction = 0.05f;
constexpr float kCorners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
constexpr int kTriangles[2][3] = {{0, 2, 1}, {1, 2, 3}};

struct Start {
    float x, y, z;
};
Start ballStart(int i)
{
    return {-9.0f + static_cast<float>(i % 10) * 2.0f, 2.0f + static_cast<float>(i % 5),
            -9.5f + static_cast<float>(i / 10) * 1.0f};
}

// Balls still resting on the ground square: a run where balls roll off measures less work.
bool onGround(float x, float y, float z)
{
    const float edge = kGroundScale + kBallRadius;
    return std::fabs(x) <= edge && std::fabs(z) <= edge && y > 0.0f;
}

void buildScene()
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
    KVE_ScaleObject(ground->number, kGroundScale, kGroundScale, kGroundScale, 0);
    KVE_SetObjectBody(ground->number, KVE_BODY_MESH, 1.0f);
    KVE_SetObjectRestitution(ground->number, kRestitution);
    KVE_SetObjectFriction(ground->number, kFriction);
    for (int i = 0; i < kBallCount; ++i) {
        KVE_OBJECT* ball = KVE_CreateObject(-1, kBallMesh, -1, "", 0, 0);
        const Start at = ballStart(i);
        KVE_MoveObject(ball->number, at.x, at.y, at.z, 0);
        KVE_SetObjectBody(ball->number, kBallBody, 1.0f);
        KVE_SetObjectMass(ball->number, kBallMass);
        KVE_SetObjectRestitution(ball->number, kRestitution);
        KVE_SetObjectFriction(ball->number, kFriction);
    }
    KVE_SetGravity(0, kGravity, 0);
}

int korvaneBallsOnGround()
{
    int count = 0;
    for (const KVE_OBJECT* object : kve::physics::world().dynamicSet)
        count += onGround(object->v4fPosition.x, object->v4fPosition.y, object->v4fPosition.z);
    return count;
}

void tearDown()
{
    kve::scene::releaseObjects();
    kve::physics::releaseAll();
    KVE_ReleaseMesh(kPlaneMesh);
    KVE_ReleaseMesh(kBallMesh);
}

void BM_Korvane200BallsOnPlane(benchmark::State& state)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    buildScene();
    for (int i = 0; i < kSettlingSteps; ++i)
        kve::physics::step(kStep);
    for (auto _ : state)
        kve::physics::step(kStep);
    state.counters["dynamic"] = KVE_GetPhysicsObjectCount(1);
    state.counters["on_ground"] = korvaneBallsOnGround();
    tearDown();
}
BENCHMARK(BM_Korvane200BallsOnPlane)->Unit(benchmark::kMicrosecond)->Iterations(kTimedSteps);

void BM_KorvaneStepPauses(benchmark::State& state)
{
    kve::physics::setPhasePause(true);
    KVE_InitPhysics();
    buildScene();
    for (auto _ : state)
        kve::physics::step(kStep);
    kve::physics::setPhasePause(false);
    tearDown();
}
BENCHMARK(BM_KorvaneStepPauses)->Unit(benchmark::kMicrosecond)->Iterations(200);

#ifdef KVE_BENCH_HAVE_BULLET
// The same scene in Bullet: the default collision configuration and dispatcher, the
// dynamic AABB tree broadphase and the sequential impulse solver; the ground is a
// bounding-volume tree over the same two triangles, scaled like the engine's object.
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

    BulletScene(bool sleeping, bool rollingFriction)
    {
        const btScalar rolling = rollingFriction ? kBulletRollingFriction : 0;
        world.setGravity(btVector3(0, kGravity, 0));
        auto corner = [](int i) { return btVector3(kCorners[i][0], 0, kCorners[i][1]); };
        for (const auto& t : kTriangles)
            groundTriangles.addTriangle(corner(t[0]), corner(t[1]), corner(t[2]));
        groundShape = std::make_unique<btBvhTriangleMeshShape>(&groundTriangles, true);
        groundShape->setLocalScaling(btVector3(kGroundScale, kGroundScale, kGroundScale));
        btRigidBody::btRigidBodyConstructionInfo groundInfo(0, nullptr, groundShape.get());
        groundInfo.m_restitution = kRestitution;
        groundInfo.m_friction = kFriction;
        groundInfo.m_rollingFriction = groundInfo.m_spinningFriction = rolling;
        ground = std::make_unique<btRigidBody>(groundInfo);
        world.addRigidBody(ground.get());

        btVector3 inertia(0, 0, 0);
        ballShape.calculateLocalInertia(kBallMass, inertia);
        for (int i = 0; i < kBallCount; ++i) {
            btRigidBody::btRigidBodyConstructionInfo info(kBallMass, nullptr, &ballShape, inertia);
            const Start at = ballStart(i);
            info.m_startWorldTransform.setIdentity();
            info.m_startWorldTransform.setOrigin(btVector3(at.x, at.y, at.z));
            info.m_restitution = kRestitution;
            info.m_friction = kFriction;
            info.m_rollingFriction = info.m_spinningFriction = rolling;
            auto& ball = balls.emplace_back(std::make_unique<btRigidBody>(info));
            // The engine never puts bodies to sleep; without this Bullet stops simulating
            // balls at rest and the comparison would measure less work.
            if (!sleeping)
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
            count += onGround(p.x(), p.y(), p.z());
        }
        return count;
    }
    int activeBalls() const
    {
        int count = 0;
        for (const auto& ball : balls)
            count += ball->isActive();
        return count;
    }
};

void BM_Bullet200BallsOnPlane(benchmark::State& state)
{
    BulletScene scene(state.range(0) != 0, state.range(1) != 0);
    for (int i = 0; i < kSettlingSteps; ++i)
        scene.step();
    for (auto _ : state)
        scene.step();
    state.counters["active"] = scene.activeBalls();
    state.counters["on_ground"] = scene.ballsOnGround();
}
BENCHMARK(BM_Bullet200BallsOnPlane)
    ->ArgNames({"sleeping", "rolling"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(kTimedSteps);
#endif

} // namespace

BENCHMARK_MAIN();
