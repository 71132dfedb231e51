// The iterative solver's shared pieces: small 3-vector math, contact manifolds (what the
// narrow phase hands the solver), the per-body records of the solve and the contact
// solver's entry points. The step itself (iterative_step.cpp) ties them together.
#pragma once

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "physics/physics.h"

namespace kve::physics {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator-(Vec3 a)
{
    return {-a.x, -a.y, -a.z};
}
inline Vec3 operator*(Vec3 a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(float s, Vec3 a)
{
    return a * s;
}
inline Vec3& operator+=(Vec3& a, Vec3 b)
{
    return a = a + b;
}
inline Vec3& operator-=(Vec3& a, Vec3 b)
{
    return a = a - b;
}
inline float dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a)
{
    return std::sqrt(dot(a, a));
}
inline Vec3 normalized(Vec3 a)
{
    const float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : Vec3{};
}
inline Vec3 vec3(const KVE_Vector& v)
{
    return {v.x, v.y, v.z};
}
inline KVE_Vector vector(Vec3 v, float w)
{
    return {v.x, v.y, v.z, w};
}

// Symmetric or general 3 x 3 matrix by columns.
struct Mat3 {
    Vec3 c[3];
    Vec3 operator*(Vec3 v) const { return c[0] * v.x + c[1] * v.y + c[2] * v.z; }
};

// The orientation of an object's shape in the world: centre, unit axes, half-sizes.
struct ShapeFrame {
    Vec3 centre;
    Vec3 axis[3];
    float half[3] = {0, 0, 0};
    Vec3 toLocal(Vec3 p) const
    {
        const Vec3 d = p - centre;
        return {dot(d, axis[0]), dot(d, axis[1]), dot(d, axis[2])};
    }
    Vec3 toWorld(Vec3 p) const { return centre + axis[0] * p.x + axis[1] * p.y + axis[2] * p.z; }
};

// Contacts within this distance before touching are kept (speculatively), so that a
// resting contact does not flicker in and out as the solver holds it at the surface.
inline constexpr float kContactMargin = 0.02f;
inline constexpr int kMaxManifoldPoints = 4;

struct ManifoldPoint {
    Vec3 point;              // world, midway between the two surfaces
    float separation = 0.0f; // negative when the shapes overlap
    uint32_t feature = 0;    // the pair of features that made it, for warm starting
    float normalImpulse = 0.0f;
};

// Up to four points sharing one normal, which points from the first object to the second.
// Friction acts on the patch as a whole, at the centre of its points.
struct Manifold {
    Vec3 normal;
    int count = 0;
    ManifoldPoint points[kMaxManifoldPoints];
    float frictionImpulse[3] = {0.0f, 0.0f, 0.0f}; // along the two tangents, and the twist
};

// The contact manifold of two objects' shapes (box, sphere or triangle mesh; not points);
// false when they are apart by more than the contact margin.
bool collideShapes(const KVE_OBJECT& a, const KVE_OBJECT& b, Manifold& out);
// The manifold tests keep the world triangles of the leaves they used while the objects'
// matrices stay; this drops them (at each step, and after anything that may have changed
// or replaced a body).
void forgetLeafTriangles();
// Whether the object's body takes part in the manifold tests.
bool hasManifoldShape(const KVE_OBJECT& object);
// World box around what the object's shape reaches; false for a body without extent.
bool shapeBounds(const KVE_OBJECT& object, Vec3& lo, Vec3& hi);
// Keeps the four points of `points` that best span the contact (the deepest first).
int reducePoints(ManifoldPoint* points, int count, Vec3 normal);

// One body as the solve sees it: velocities, how far the sub-steps have moved and turned
// it (radians about each axis), the velocity change its accelerations give over the step,
// inverse mass and world inverse inertia. The first four lie together, 12 floats in a
// row, so that the lanes load them four at a time.
struct SolverBody {
    Vec3 v, w;
    Vec3 moved, turned;
    Vec3 pushed, spun;
    float inverseMass = 0.0f;
    Mat3 inverseInertia{};
    bool fixed = false; // a static object: impulses do not move it
};

// One direction d of a constraint between two bodies at lever arms rA, rB, with what the
// passes need precomputed: r x d, the turn an impulse along d gives (I^-1 (r x d)), and
// the effective mass along d.
struct ConstraintRow {
    Vec3 direction;
    Vec3 leverA, leverB;
    Vec3 turnA, turnB;
    float mass = 0;
};

struct SolverPoint {
    Vec3 rA, rB;
    float separation = 0; // at the start of the step
    float normalImpulse = 0;
    float largestImpulse = 0; // over the step: whether the point pushed at all
    float approach = 0;       // normal approach speed before the solve
};

// A contact as the solve takes it. What the lanes read and write of a one-point contact
// lies together at the front; the rows that only the one-by-one solve uses are kept
// apart (ContactRows), so that these records lie close together.
struct ContactConstraint {
    int bodyA = 0, bodyB = 0;
    int count = 0;
    Manifold* manifold = nullptr; // where the accumulated impulses go back to
    Vec3 normal, tangent[2];
    float friction = 0, restitution = 0;
    // Rolling resistance of a one-point contact with a ball (`rolls`): an angular impulse
    // against the relative turning, within a share of mu times the normal impulse times
    // the lever. Boxes touching at a corner get none: they have no rolling to stop, and
    // it would keep a resting pile creeping.
    bool rolls = false;
    float frictionImpulse[3] = {0, 0, 0}; // along the tangents, and the twist
    Vec3 rollingImpulse;
    SolverPoint points[kMaxManifoldPoints];
};

// A contact's prepared rows for the one-by-one solve: each point's normal, the patch's
// friction at the centre of its points along both tangents, and the twist about the
// normal, which the points' spread (twistRadius) limits; rolling resistance's mass and
// lever.
struct ContactRows {
    ConstraintRow normal[kMaxManifoldPoints];
    ConstraintRow friction[2];
    Vec3 twistA, twistB;
    float twistMass = 0, twistRadius = 0;
    float rollingMass = 0, rollingLever = 0;
};

// Overlap left alone (keeps resting contacts touching), the share of the remaining overlap
// removed per sub-step, and the fastest correction.
inline constexpr float kLinearSlop = 0.005f;
inline constexpr float kCorrectionRate = 0.2f;
inline constexpr float kMaxCorrectionSpeed = 3.0f;
// Approach speeds below this do not bounce, so that resting contacts stay at rest.
inline constexpr float kRestitutionThreshold = 1.0f;
// Rolling resistance as a share of sliding friction: a ball rolling on level ground slows
// by about 0.12 mu g / r radians per second each second.
inline constexpr float kRollingShare = 0.05f;

// The order of the constraints: by colour (contacts of one colour share no moving body,
// except in the last colour when `lastShared`), each colour's one-point contacts first.
// `starts` holds where each colour begins, and the end last.
struct ContactColours {
    std::vector<size_t> starts;
    bool lastShared = false;
};

struct SolverSettings {
    float timeStep = 0;
    int velocityIterations = 4; // sub-steps, one impulse pass each
    int positionIterations = 1; // relaxing passes per sub-step
    bool wide = true;           // one-point contacts four at a time (same results)
};

// Sequential impulses in sub-steps: the constraints prepared from the manifolds (warm
// started with their stored impulses), one pass with the overlap correction per
// sub-step, the bodies moved, then relaxing passes without it; restitution at the end;
// impulses stored back.
// The joints' rows are warm started, solved and relaxed before the contacts in each pass.
// Returns how many batches of four one-point contacts went through the SSE lanes.
struct JointRow;
size_t solveContactConstraints(std::vector<ContactConstraint>& constraints, std::vector<JointRow>& joints,
                               std::vector<SolverBody>& bodies, const ContactColours& colours,
                               const SolverSettings& settings);

} // namespace kve::physics

// ---- the iterative step's lasting state ------------------------------------------------

namespace kve::physics {

// What the iterative solver remembers of a dynamic object between steps.
struct BodyState {
    bool sleeping = false;
    float restTime = 0.0f; // seconds spent below the sleep speeds
    uint32_t island = 0;   // the sleeping island it belongs to
    uint64_t seen = 0;     // the last step that found it in the dynamic set
    uint64_t woken = 0;    // the last step in which it woke
    int solverIndex = -1;  // this step's solver body, -1 when not in the solve
    float reach = 0.0f;    // the farthest its shape reaches from its centre
    Vec3 lo, hi;           // world bounds (kept while asleep)
    Vec3 moved, turned;    // this step's solved motion
    // The state it fell asleep in: any change through the API wakes it.
    KVE_Vector position, velocity, angularVelocity, acceleration, scale;
    KVE_Quaternion rotation;
    float mass = 0.0f;
    const void* body = nullptr;
    // The inverse of the inertia last seen, and whether it inverts.
    KVE_Matrix inertia{};
    Mat3 localInverse{};
    bool inverseKnown = false, inverts = false;
};

// A pair's contact, kept from step to step for warm starting; `a` has the lower number.
struct Contact {
    uint64_t key = 0;
    KVE_OBJECT* a = nullptr;
    KVE_OBJECT* b = nullptr;
    Manifold manifold;
    uint64_t step = 0;               // the step that found it
    uint32_t entryA = 0, entryB = 0; // that step's broad-phase entries of a and b
};

struct IterativeState {
    std::unordered_map<KVE_OBJECT*, BodyState> bodies;
    std::vector<Contact> contacts; // sorted by key
    std::unordered_map<uint32_t, std::vector<KVE_OBJECT*>> sleepingIslands;
    uint32_t nextIsland = 1;
    uint64_t stepCount = 0;
    // Scratch of one step, kept to reuse its memory.
    std::vector<SolverBody> solverBodies;
    std::vector<ContactConstraint> constraints;
    ContactColours colours;
    size_t wideBatches = 0;                                  // the last step's batches of four one-point contacts
    std::vector<std::pair<KVE_OBJECT*, BodyState*>> dynamic; // this step's dynamic objects
    uint64_t setChanges = ~uint64_t{0};                      // the world's count when they were listed
    std::vector<KVE_OBJECT*> solved;                         // objects behind solverBodies: the dynamic ones first
    std::vector<BodyState*> solvedStates;                    // the records of the dynamic ones among them
    size_t dynamicSolved = 0;
};

IterativeState& iterativeState(World& w);
// Wakes the island of a sleeping object (each of its bodies restarts its rest time).
void wakeIsland(IterativeState& state, BodyState& body);
void takeSnapshot(BodyState& body, const KVE_OBJECT& object);
bool changedSinceSnapshot(const BodyState& body, const KVE_OBJECT& object);
// Rest times of the solved bodies, then islands (bodies joined by touching contacts and
// joints) whose every body has rested long enough fall asleep together.
void updateSleep(World& w, IterativeState& state, float h);

} // namespace kve::physics
