// The physics world step: spring, collision and integration phases under the physics
// lock with a short pause after each, semi-implicit integration with a variable time
// step, the energy sums, the debug view and the engine's start-up and shutdown hooks.
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "core/physics_lock.h"
#include "physics/joint_rows.h"
#include "physics/physics.h"
#include "scene/object.h"

namespace kve::physics {
namespace {

constexpr auto kPhasePause = std::chrono::microseconds(200);
constexpr int kTreeBoxColor = 0x00FFFF00;
constexpr int kWorldBoxColor = 0x000000FF;
constexpr int kFaceColor = 0x0000FF00;
constexpr int kEdgeColor = 0x00FFFFFF;
constexpr int kSphereColor = 0x0000FFFF;

// Lets a thread waiting for the lock take it between phases. Sleeping rather than
// spinning leaves the processor to that thread and to the renderer meanwhile.
void pauseAfterPhase()
{
    if (world().phasePause)
        std::this_thread::sleep_for(kPhasePause);
}

// The iterative solver solves joints between two dynamic bodies itself, with the contacts.
void springPhase(World& w)
{
    std::lock_guard lock(core::physicsLock());
    const bool rows = w.solver == KVE_SOLVER_ITERATIVE;
    for (size_t i = 0; i < w.activeJoints.size(); ++i) {
        JointRecord& joint = *w.activeJoints[i];
        if (rows && solvedAsRow(joint))
            continue;
        if (joint.objectA->Body.mass != 0.0f || joint.objectB->Body.mass != 0.0f)
            applySpring(joint);
    }
}

void collisionPhase(World& w)
{
    std::lock_guard lock(core::physicsLock());
    if (w.solver == KVE_SOLVER_ITERATIVE) {
        solveContacts(w);
        return;
    }
    w.response = 1;
    collidePairs(w);
    w.response = 0;
}

void integrationPhase(World& w)
{
    std::lock_guard lock(core::physicsLock());
    if (w.solver == KVE_SOLVER_ITERATIVE) {
        integrateSolved(w);
        return;
    }
    const float h = w.timeStep;
    for (KVE_OBJECT* object : w.staticSet) {
        integrate(*object, h);
        object->Body.acceleration = {0, 0, 0, 0};
        object->Body.angularAcceleration = {0, 0, 0, 0};
    }
    for (KVE_OBJECT* object : w.dynamicSet) {
        KVE_OBJECT_BODY& body = object->Body;
        if (!body.body && body.mass == 0.0f)
            continue;
        integrate(*object, h);
        body.acceleration = body.mass != 0.0f ? w.gravity : KVE_Vector{0, 0, 0, 0};
        body.angularAcceleration = {0, 0, 0, 0};
    }
}

float dot4(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

int treeEntries(const TreeNode& node)
{
    int count = static_cast<int>(node.entries.size());
    if (!node.isLeaf())
        count += treeEntries(*node.first) + treeEntries(*node.second);
    return count;
}

void drawTreeBoxes(const TreeNode& node, int color)
{
    const KVE_Vector& c = node.centre;
    const KVE_Vector& h = node.halfSize;
    KVE_DrawBox3D(c.x - h.x, c.y - h.y, c.z - h.z, c.x + h.x, c.y + h.y, c.z + h.z, color);
    if (!node.isLeaf()) {
        drawTreeBoxes(*node.first, color);
        drawTreeBoxes(*node.second, color);
    }
}

void drawGeometry(const BodyGeometry& geometry, const KVE_Matrix& matrix)
{
    std::vector<KVE_Vector> points(geometry.vertices);
    for (KVE_Vector& p : points)
        KVE_TransformVector(&p, &matrix);
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3)
        KVE_DrawTriangleV(&points[static_cast<size_t>(geometry.faces[f])],
                          &points[static_cast<size_t>(geometry.faces[f + 1])],
                          &points[static_cast<size_t>(geometry.faces[f + 2])], kFaceColor);
    for (size_t e = 0; e + 1 < geometry.edges.size(); e += 2)
        KVE_DrawLineV(&points[static_cast<size_t>(geometry.edges[e])],
                      &points[static_cast<size_t>(geometry.edges[e + 1])], kEdgeColor);
}

void drawDebugView()
{
    const World& w = world();
    for (const KVE_OBJECT* object : w.dynamicSet) {
        const BodyRecord* body = bodyOf(*object);
        if (body->type == KVE_BODY_MESH && body->root && body->root->geometry)
            drawGeometry(*body->root->geometry, object->fullMatrix);
        else if (body->type == KVE_BODY_SPHERE)
            KVE_DrawSphereV(&object->v4fPosition, body->radius, kSphereColor);
    }
    // Body trees in the object's own frame: the line transform turns their local boxes.
    for (const KVE_OBJECT* object : w.dynamicSet) {
        const BodyRecord* body = bodyOf(*object);
        if (!body->root)
            continue;
        KVE_SetLineTransform(&object->fullMatrix);
        drawTreeBoxes(*body->root, kTreeBoxColor);
    }
    KVE_SetLineTransform(nullptr);
    drawTreeBoxes(w.worldTree, kWorldBoxColor);
}

} // namespace

void setPhasePause(bool on)
{
    world().phasePause = on;
}

// Constant acceleration over the step: x += v h + a h^2 / 2, v += a h; the rotation by
// the angles w h + alpha h^2 / 2 is composed on the left of the orientation.
void integrate(KVE_OBJECT& object, float h)
{
    KVE_OBJECT_BODY& body = object.Body;
    const float halfSquare = h * h * 0.5f;
    const KVE_Vector& v = body.v4fMovement;
    const KVE_Vector& a = body.acceleration;
    body.displacement = {v.x * h + a.x * halfSquare, v.y * h + a.y * halfSquare, v.z * h + a.z * halfSquare, 0.0f};
    KVE_AddVector(&object.v4fPosition, &body.displacement);
    KVE_AddScaledVector(&body.v4fMovement, &a, h);
    const KVE_Vector& w = body.angularVelocity;
    const KVE_Vector& alpha = body.angularAcceleration;
    KVE_Quaternion turn;
    KVE_EulerToQuaternion(&turn, w.x * h + alpha.x * halfSquare, w.y * h + alpha.y * halfSquare,
                          w.z * h + alpha.z * halfSquare, 1);
    KVE_MultiplyQuaternionTo(&object.rotation, &turn, &object.rotation);
    KVE_AddScaledVector(&body.angularVelocity, &alpha, h);
    scene::rebuildObjectMatrices(object);
}

void step(float seconds)
{
    World& w = world();
    w.timeStep = seconds / static_cast<float>(w.subSteps);
    for (int sub = 0; sub < w.subSteps; ++sub) {
        springPhase(w);
        pauseAfterPhase();
        collisionPhase(w);
        pauseAfterPhase();
        integrationPhase(w);
        pauseAfterPhase();
    }
}

void releaseAll()
{
    World& w = world();
    joints().releaseAll();
    scene::forEachObject([](KVE_OBJECT& object) { object.Body.body = nullptr; });
    {
        std::lock_guard lock(core::physicsLock());
        w.dynamicSet.clear();
        w.staticSet.clear();
        w.activeJoints.clear();
    }
    bodies().releaseAll();
    World fresh;
    fresh.soundPlayer = std::move(w.soundPlayer);
    fresh.phasePause = w.phasePause;
    fresh.broadPhase = w.broadPhase;
    w = std::move(fresh);
}

} // namespace kve::physics

using namespace kve::physics;

extern "C" {

int KVE_InitPhysics(void)
{
    World& w = world();
    pointBody();
    w.worldTree = TreeNode{};
    w.worldTree.centre = {0, 0, 0, 1};
    w.worldTree.halfSize = {20, 10, 20, 0};
    w.initialised = true;
    return 1;
}

int KVE_UpdatePhysics(int debug)
{
    KVE_StepPhysics();
    if (debug)
        drawDebugView();
    return 0;
}

int KVE_StepPhysics(void)
{
    World& w = world();
    w.stepRate = static_cast<int>(std::lround(KVE_GetFPS() * static_cast<float>(w.subSteps)));
    step(KVE_GetFrameTime());
    return 0;
}

int KVE_SetGravity(float x, float y, float z)
{
    world().gravity = {x, y, z, 0};
    return 0;
}

float KVE_GetPhysicsStepRate(void)
{
    return static_cast<float>(world().stepRate);
}

float KVE_GetPhysicsEnergy(int components)
{
    const World& w = world();
    float sum = 0.0f;
    kve::scene::forEachObject([&](KVE_OBJECT& object) {
        const KVE_OBJECT_BODY& body = object.Body;
        const float m = body.mass;
        if (components & KVE_ENERGY_POSITION)
            sum += -m * dot4(w.gravity, object.v4fPosition);
        if (components & KVE_ENERGY_TRANSLATION)
            sum += 0.5f * m * dot4(body.v4fMovement, body.v4fMovement);
        if (components & KVE_ENERGY_ROTATION) {
            KVE_Vector turned = body.angularVelocity;
            KVE_TransformVector(&turned, &body.inertia);
            sum += 0.5f * dot4(body.angularVelocity, turned);
        }
    });
    if (components & KVE_ENERGY_TENSION)
        joints().forEach([&](const JointRecord& joint) { sum += jointTension(joint); });
    return sum;
}

int KVE_GetPhysicsTreeSize(void)
{
    std::lock_guard lock(kve::core::physicsLock());
    return treeEntries(world().worldTree);
}

} // extern "C"
