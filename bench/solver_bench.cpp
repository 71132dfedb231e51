// Stacking and piles beside Bullet: unit cubes (the demonstration's box body, mass 1,
// restitution 0.4, friction 0.7) in a tower of 10 and in pyramids of rows 4-3-2-1, base
// 10 and base 20, stepped for 10 s at 60 Hz; 1000 planks (the cube scaled 1 x 0.5 x 0.2)
// dropped at random turns onto a 40 x 40 ground, timed while they fall and pile up
// with nothing asleep, and the same pile timed again once settled, awake and asleep; the
// ball layer of the physics benchmark at 1000 and 5000 balls. The engine runs its
// pairwise and its iterative solver (sleeping only where named). Bullet runs the same
// scenes (btBoxShape, 10 solver iterations, on a slab whose top is the ground), without
// sleeping except in the settled pile.
// Each run reports how the scene ended: boxes that moved more than 0.1 from their start,
// the top of the tower's distance from its start, boxes whose centre went below ground.
// Compare engines with
//   kve_solver_bench --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
// so that the runs of the engines alternate.
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>

#include "physics_scenes.h"

namespace {

using namespace kve::bench;

// One box of a scene: centre, turn (degrees, as KVE_RotateObject takes them) and size.
struct Box {
    float x, y, z;
    float ax = 0, ay = 0, az = 0;
    float sx = 1, sy = 1, sz = 1;
};

struct BoxScene {
    std::vector<Box> boxes;
    float groundScale = 15.0f; // the ground spans -scale..scale in x and z
    int untimedSteps = 0;      // stepped before the timed window
    int timedSteps = 600;
};

constexpr float kGap = 0.02f; // between neighbours in a row, so that they start apart

BoxScene tower(int height)
{
    BoxScene scene;
    for (int i = 0; i < height; ++i)
        scene.boxes.push_back({0, 0.5f + static_cast<float>(i), 0});
    return scene;
}

// A wall of rows base, base - 1, ..., 1, each box resting on two below it.
BoxScene pyramid(int base)
{
    BoxScene scene;
    for (int row = 0; row < base; ++row)
        for (int i = 0; i < base - row; ++i)
            scene.boxes.push_back({(static_cast<float>(i) - static_cast<float>(base - row - 1) * 0.5f) * (1 + kGap),
                                   0.5f + static_cast<float>(row), 0});
    return scene;
}

// Planks in layers of 10 x 10 cells 1.8 apart, 1.2 apart in height, each turned at three
// random angles as the demonstration throws them; the same turns on every run. The
// ground is 40 x 40: on the demonstration's 20 x 20 a few dozen planks slide off the
// edge of the spreading pile and fall for ever, so the pile could never settle whole.
constexpr int kPlanks = 1000;
BoxScene planks(int untimed, int timed)
{
    BoxScene scene;
    scene.groundScale = 20.0f;
    scene.untimedSteps = untimed;
    scene.timedSteps = timed;
    std::mt19937 random(21);
    std::uniform_real_distribution<float> angle(0.0f, 360.0f);
    for (int i = 0; i < kPlanks; ++i) {
        const int cell = i % 100, layer = i / 100;
        Box plank{-8.1f + 1.8f * static_cast<float>(cell % 10), 1.0f + 1.2f * static_cast<float>(layer),
                  -8.1f + 1.8f * static_cast<float>(cell / 10)};
        plank.ax = angle(random);
        plank.ay = angle(random);
        plank.az = angle(random);
        plank.sx = 1.0f;
        plank.sy = 0.5f;
        plank.sz = 0.2f;
        scene.boxes.push_back(plank);
    }
    return scene;
}

// How a run ended, from the boxes' centres: moved from the start by more than 0.1, sunk
// through the ground (below it and over it), fallen off its edge, asleep.
struct Ending {
    int moved = 0, below = 0, off = 0, asleep = 0;
    float topError = 0; // |last box's height - its start|
};

template <typename CentreOf> Ending judge(const BoxScene& scene, CentreOf centreOf)
{
    Ending ending;
    for (size_t i = 0; i < scene.boxes.size(); ++i) {
        const Box& box = scene.boxes[i];
        float x = 0, y = 0, z = 0;
        centreOf(i, x, y, z);
        const float dx = x - box.x, dy = y - box.y, dz = z - box.z;
        ending.moved += dx * dx + dy * dy + dz * dz > 0.01f ? 1 : 0;
        const bool over = std::fabs(x) < scene.groundScale && std::fabs(z) < scene.groundScale;
        ending.below += over && y < 0.0f ? 1 : 0;
        ending.off += over ? 0 : 1;
        if (i + 1 == scene.boxes.size())
            ending.topError = std::fabs(dy);
    }
    return ending;
}

void report(benchmark::State& state, const BoxScene& scene, const Ending& ending)
{
    state.counters["boxes"] = static_cast<double>(scene.boxes.size());
    state.counters["moved"] = ending.moved;
    state.counters["below"] = ending.below;
    state.counters["off"] = ending.off;
    state.counters["top_error"] = ending.topError;
    state.counters["asleep"] = ending.asleep;
}

// The engine's modes: its solver, and whether bodies may sleep.
enum class Mode { Pairwise, Iterative, IterativeSleeping };

void useMode(Mode mode)
{
    KVE_SetPhysicsSolver(mode == Mode::Pairwise ? KVE_SOLVER_PAIRWISE : KVE_SOLVER_ITERATIVE);
    KVE_SetSleeping(mode == Mode::IterativeSleeping ? 1 : 0);
}

void runKorvaneBoxes(benchmark::State& state, const BoxScene& scene, Mode mode)
{
    kve::physics::setPhasePause(false);
    KVE_InitPhysics();
    useMode(mode);
    buildGround(scene.groundScale);
    buildCubeBody();
    std::vector<KVE_OBJECT*> objects;
    for (const Box& box : scene.boxes) {
        KVE_OBJECT* object = KVE_CreateObject(-1, kCubeMesh, -1, "", 0, 0);
        KVE_ScaleObject(object->number, box.sx, box.sy, box.sz, 0);
        KVE_MoveObject(object->number, box.x, box.y, box.z, 0);
        KVE_RotateObject(object->number, box.ax, box.ay, box.az, 0);
        KVE_SetObjectBody(object->number, kBoxBody, 1.0f);
        KVE_SetObjectMass(object->number, 1.0f);
        KVE_SetObjectRestitution(object->number, kRestitution);
        KVE_SetObjectFriction(object->number, kFriction);
        objects.push_back(object);
    }
    for (int i = 0; i < scene.untimedSteps; ++i)
        kve::physics::step(kStep);
    for (auto _ : state)
        kve::physics::step(kStep);
    Ending ending = judge(scene, [&](size_t i, float& x, float& y, float& z) {
        const KVE_Vector& p = objects[i]->v4fPosition;
        x = p.x, y = p.y, z = p.z;
    });
    for (const KVE_OBJECT* object : objects)
        ending.asleep += KVE_IsObjectSleeping(object->number);
    report(state, scene, ending);
    tearDown();
    useMode(Mode::Pairwise);
    KVE_ReleaseMesh(kCubeMesh);
}

#ifdef KVE_BENCH_HAVE_BULLET
void runBulletBoxes(benchmark::State& state, const BoxScene& scene, bool sleeps)
{
    // Thin planks falling onto Bullet's two-triangle ground at the pile's speeds mostly
    // pass through it (about 300 of 1000): its boxes stand on a slab instead.
    BulletWorld world(scene.groundScale, true);
    std::vector<std::unique_ptr<btBoxShape>> shapes;
    for (const Box& box : scene.boxes) {
        KVE_Quaternion turn;
        KVE_EulerToQuaternion(&turn, box.ax, box.ay, box.az, 0);
        const btTransform start(btQuaternion(turn.x, turn.y, turn.z, turn.w), btVector3(box.x, box.y, box.z));
        auto& shape =
            shapes.emplace_back(std::make_unique<btBoxShape>(btVector3(box.sx * 0.5f, box.sy * 0.5f, box.sz * 0.5f)));
        world.add(*shape, start, sleeps);
    }
    for (int i = 0; i < scene.untimedSteps; ++i)
        world.step();
    for (auto _ : state)
        world.step();
    Ending ending = judge(scene, [&](size_t i, float& x, float& y, float& z) {
        const btVector3& p = world.bodies[i]->getWorldTransform().getOrigin();
        x = p.x(), y = p.y(), z = p.z();
    });
    for (const auto& body : world.bodies)
        ending.asleep += body->isActive() ? 0 : 1;
    report(state, scene, ending);
}
#endif

const char* const kModeNames[] = {"BM_KorvanePairwise/", "BM_KorvaneIterative/", "BM_KorvaneIterativeSleeping/"};

void registerScene(const std::string& name, const BoxScene& scene, std::initializer_list<Mode> modes, bool bulletSleeps)
{
    for (Mode mode : modes)
        benchmark::RegisterBenchmark((kModeNames[static_cast<int>(mode)] + name).c_str(),
                                     [scene, mode](benchmark::State& s) { runKorvaneBoxes(s, scene, mode); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(scene.timedSteps);
#ifdef KVE_BENCH_HAVE_BULLET
    benchmark::RegisterBenchmark(((bulletSleeps ? "BM_BulletSleeping/" : "BM_Bullet/") + name).c_str(),
                                 [scene, bulletSleeps](benchmark::State& s) { runBulletBoxes(s, scene, bulletSleeps); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(scene.timedSteps);
#else
    (void)bulletSleeps;
#endif
}

// The ball layer of the physics benchmark, with the iterative solver (no sleeping, as in
// Bullet there); also with every contact solved one by one rather than in the lanes.
void registerBalls(int count)
{
    const Layout layout(count);
    const std::string name = "Balls" + std::to_string(count);
    for (const bool lanes : {true, false})
        benchmark::RegisterBenchmark(((lanes ? "BM_KorvaneIterative/" : "BM_KorvaneIterativeOneByOne/") + name).c_str(),
                                     [layout, lanes](benchmark::State& s) {
                                         kve::physics::world().wideContacts = lanes;
                                         runKorvane(s, layout, true, false, [] { useMode(Mode::Iterative); });
                                         useMode(Mode::Pairwise);
                                         kve::physics::world().wideContacts = true;
                                     })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(timedSteps(count));
#ifdef KVE_BENCH_HAVE_BULLET
    benchmark::RegisterBenchmark(("BM_Bullet/" + name).c_str(), [layout](benchmark::State& s) { runBullet(s, layout); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(timedSteps(count));
#endif
}

void registerAll()
{
    const auto both = {Mode::Pairwise, Mode::Iterative};
    registerScene("Tower10", tower(10), both, false);
    registerScene("Pyramid4", pyramid(4), both, false);
    registerScene("Pyramid10", pyramid(10), both, false);
    registerScene("Pyramid20", pyramid(20), both, false);
    // Falling and piling up: the first 5 s after the drop, nothing asleep.
    registerScene("PlanksFalling", planks(0, 300), both, false);
    // The pile after 15 s, timed for 2 s more: awake in every mode, and asleep where it may.
    registerScene("PlanksSettled", planks(900, 120), both, false);
    registerScene("PlanksSettled", planks(900, 120), {Mode::IterativeSleeping}, true);
    registerBalls(1000);
    registerBalls(5000);
}

} // namespace

int main(int argc, char** argv)
{
    return kve::bench::benchmarkMain(argc, argv, registerAll);
}
