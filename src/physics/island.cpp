// Islands and sleeping: bodies joined by touching contacts or joints form an island; when
// every body of an island has moved slower than the sleep speed for the sleep time, the
// whole island sleeps (no integration, no tests among its bodies) until something wakes it.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

#include "physics/solver.h"

namespace kve::physics {
namespace {

// Below these speeds a body counts as resting: its centre, and its farthest point turning.
constexpr float kSleepSpeed = 0.05f;
constexpr float kSleepTime = 0.5f;

struct Islands {
    std::vector<uint32_t> parent;
    uint32_t find(uint32_t i)
    {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
    void join(uint32_t a, uint32_t b) { parent[find(a)] = find(b); }
};

bool same(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

} // namespace

void wakeIsland(IterativeState& state, BodyState& body)
{
    if (!body.sleeping)
        return;
    const auto island = state.sleepingIslands.find(body.island);
    if (island == state.sleepingIslands.end()) {
        body.sleeping = false;
        body.restTime = 0.0f;
        body.woken = state.stepCount;
        return;
    }
    for (KVE_OBJECT* object : island->second) {
        const auto found = state.bodies.find(object);
        if (found != state.bodies.end()) {
            found->second.sleeping = false;
            found->second.restTime = 0.0f;
            found->second.woken = state.stepCount;
        }
    }
    state.sleepingIslands.erase(island);
    body.sleeping = false;
    body.restTime = 0.0f;
    body.woken = state.stepCount;
}

void takeSnapshot(BodyState& body, const KVE_OBJECT& object)
{
    body.position = object.v4fPosition;
    body.rotation = object.rotation;
    body.velocity = object.Body.v4fMovement;
    body.angularVelocity = object.Body.angularVelocity;
    body.acceleration = object.Body.acceleration;
    body.scale = object.scale;
    body.mass = object.Body.mass;
    body.body = object.Body.body;
}

bool changedSinceSnapshot(const BodyState& body, const KVE_OBJECT& object)
{
    const KVE_Quaternion& q = object.rotation;
    const KVE_Vector& a = object.Body.acceleration;
    const KVE_Vector& a0 = body.acceleration;
    // Springs hand a resting body nearly the same force every step: only a clear change
    // of its acceleration counts.
    constexpr float kAccelerationChange = 1e-3f;
    return !same(body.position, object.v4fPosition) || q.x != body.rotation.x || q.y != body.rotation.y ||
           q.z != body.rotation.z || q.w != body.rotation.w || !same(body.velocity, object.Body.v4fMovement) ||
           !same(body.angularVelocity, object.Body.angularVelocity) || !same(body.scale, object.scale) ||
           body.mass != object.Body.mass || body.body != object.Body.body ||
           std::fabs(a.x - a0.x) + std::fabs(a.y - a0.y) + std::fabs(a.z - a0.z) > kAccelerationChange;
}

void updateSleep(World& w, IterativeState& state, float h)
{
    const size_t count = state.dynamicSolved;
    std::vector<BodyState*> records(count);
    for (size_t i = 0; i < count; ++i) {
        BodyState& body = *state.solvedStates[i];
        const SolverBody& motion = state.solverBodies[i];
        const float speed = std::max(length(motion.v), body.reach * length(motion.w));
        body.restTime = w.sleeping && speed < kSleepSpeed ? body.restTime + h : 0.0f;
        records[i] = &body;
    }
    if (!w.sleeping || count == 0)
        return;
    Islands islands;
    islands.parent.resize(count);
    std::iota(islands.parent.begin(), islands.parent.end(), 0u);
    const auto indexOf = [&](KVE_OBJECT* object) -> int {
        const auto found = state.bodies.find(object);
        return found == state.bodies.end() ? -1 : found->second.solverIndex;
    };
    for (const ContactConstraint& contact : state.constraints) {
        const int a = contact.bodyA, b = contact.bodyB;
        const bool aDynamic = static_cast<size_t>(a) < count, bDynamic = static_cast<size_t>(b) < count;
        if (aDynamic && bDynamic)
            islands.join(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
        // A support that moves by itself keeps what it carries awake.
        for (const auto& [self, other, selfDynamic] : {std::tuple{a, b, aDynamic}, std::tuple{b, a, bDynamic}})
            if (selfDynamic && static_cast<size_t>(other) >= count) {
                const SolverBody& support = state.solverBodies[static_cast<size_t>(other)];
                if (dot(support.v, support.v) + dot(support.w, support.w) > 0.0f)
                    records[static_cast<size_t>(self)]->restTime = 0.0f;
            }
    }
    for (const JointRecord* joint : w.activeJoints) {
        const int a = indexOf(joint->objectA), b = indexOf(joint->objectB);
        if (a >= 0 && b >= 0 && static_cast<size_t>(a) < count && static_cast<size_t>(b) < count)
            islands.join(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    }
    std::vector<float> islandRest(count, INFINITY);
    for (uint32_t i = 0; i < count; ++i)
        islandRest[islands.find(i)] = std::min(islandRest[islands.find(i)], records[i]->restTime);
    std::unordered_map<uint32_t, uint32_t> names; // island root -> sleeping island number
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t root = islands.find(i);
        if (!(islandRest[root] >= kSleepTime))
            continue;
        auto [name, fresh] = names.try_emplace(root, 0u);
        if (fresh)
            name->second = state.nextIsland++;
        KVE_OBJECT* object = state.solved[i];
        BodyState& body = *records[i];
        body.sleeping = true;
        body.island = name->second;
        object->Body.v4fMovement = {0, 0, 0, 0};
        object->Body.angularVelocity = {0, 0, 0, 0};
        state.solverBodies[i].v = state.solverBodies[i].w = {};
        state.solverBodies[i].moved = state.solverBodies[i].turned = {};
        state.sleepingIslands[name->second].push_back(object);
    }
}

} // namespace kve::physics
