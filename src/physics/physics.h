// The physics as its units share it: body records with their geometry and bounding-box
// trees, the world state the step works on (sets, contact, gravity), joints, and the
// internal hooks through which other units and tests reach the simulation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/registry.h"
#include "kve.h"

namespace kve::physics {

inline constexpr const char* kUnit = "KVE Physics";

// Vertices in the body's local coordinates (w = 1), edges as index pairs, faces as index
// triples wound counter-clockwise seen from outside.
struct BodyGeometry {
    std::vector<KVE_Vector> vertices;
    std::vector<int32_t> edges;
    std::vector<int32_t> faces;

    int lastVertex() const { return static_cast<int>(vertices.size()) - 1; }
    int lastEdge() const { return static_cast<int>(edges.size()) - 1; }
    int lastFace() const { return static_cast<int>(faces.size()) - 1; }
    // Whether every edge and face index names a vertex.
    bool indicesValid() const;
    // Whether the faces close up (every side shared by exactly two faces): a closed leaf has
    // an inside, an open one (the ground's sheet, a piece of a bigger mesh) only a front.
    bool closed() const;

private:
    // A geometry does not change once built: both answers are found when first asked.
    mutable int8_t closedState_ = -1;
    mutable int8_t validState_ = -1;
};

// A node of a body tree or of the world tree. A node has two children or none; children
// are allocated as a pair and point back to their parent.
struct TreeNode {
    KVE_Vector centre{0, 0, 0, 1};
    KVE_Vector halfSize{0, 0, 0, 0};
    TreeNode* first = nullptr;
    TreeNode* second = nullptr;
    TreeNode* parent = nullptr;
    std::unique_ptr<BodyGeometry> geometry; // leaf geometry; null until set
    std::unique_ptr<TreeNode[]> children;   // owns first and second
    std::vector<KVE_OBJECT*> entries;       // world tree only

    bool isLeaf() const { return first == nullptr; }
    void split(int axis); // two children halving the box along axis 0, 1 or 2
};

struct BodyRecord : KVE_BODY {
    int type = 0;
    float radius = 0.0f;            // sphere bodies, already scaled
    std::unique_ptr<TreeNode> root; // null for point bodies
};

core::Registry<BodyRecord>& bodies();
BodyRecord* findBody(int number);
// A reload's last step, under the physics lock: the staged body's shape moves into the
// live record (its objects keep it, their inertia follows the new extent) and the staged
// record is released with the old shape.
void adoptReloadedBody(BodyRecord& live, BodyRecord& staged);
BodyRecord& pointBody();
inline BodyRecord* bodyOf(const KVE_OBJECT& object)
{
    return static_cast<BodyRecord*>(object.Body.body);
}

// Bounds grown from the origin over the vertices: centre and half-size of a box that
// always contains the local origin.
void boundsFromOrigin(const KVE_Vector* vertices, size_t count, size_t stride, TreeNode& node);

// Builds the body tree over `geometry` below `node`: nodes holding more than
// kLeafVertices vertices are split along their longest axis, down to kMaxTreeDepth.
inline constexpr int kLeafVertices = 16;
inline constexpr int kMaxTreeDepth = 24;
void buildTree(TreeNode& node, const BodyGeometry& geometry);

// Inertia tensor from the body type, mass and the object's scale.
void updateMassProperties(KVE_OBJECT& object);

} // namespace kve::physics

// The joint record behind the public handle: two objects, an anchor in each object's own
// axes, the rest length, the stiffness, the extension seen by the last evaluation and, for
// the iterative solver's warm start, the force it carried at the end of the last step.
struct KVE_JOINT {
    int number = 0;
    const char* name = "";
    KVE_OBJECT* objectA = nullptr;
    KVE_Vector anchorA{0, 0, 0, 1};
    KVE_OBJECT* objectB = nullptr;
    KVE_Vector anchorB{0, 0, 0, 1};
    float restLength = 0.0f;
    float stiffness = 0.0f;
    float lastExtension = 0.0f;
    float rowForce = 0.0f; // the iterative solver's last pull along it (negative) or push
};

namespace kve::physics {

using JointRecord = KVE_JOINT;
core::Registry<JointRecord>& joints();

// Spring force of one joint into the accelerations of its dynamic objects (Hooke's law;
// from a static object with a damping term when anchored at the object's centre, between
// two dynamic objects equal and opposite on both).
void applySpring(JointRecord& joint);
float jointTension(const JointRecord& joint); // 0.5 k (d - L)^2
void releaseJointsOf(const KVE_OBJECT& object);

struct CollisionSound {
    int sound = 0;
    const KVE_MATERIAL* first = nullptr;
    const KVE_MATERIAL* second = nullptr; // null = any
};

// Plays a collision sound at a point with a volume factor 0..1; filled by the sound unit.
using CollisionSoundPlayer = std::function<void(int sound, const KVE_Vector& at, float volume)>;
void setCollisionSoundPlayer(CollisionSoundPlayer player);

struct IterativeState; // the iterative solver's contacts and per-body records

struct World {
    KVE_Vector gravity{0, 0, 0, 0};
    float timeStep = 0.0f;
    int subSteps = 1;
    int stepRate = 0;
    KVE_Vector contactPoint{0, 0, 0, 0};
    KVE_Vector contactNormal{0, 0, 0, 0};
    float approachSpeed = 0.0f;
    int response = 0; // 1 only inside the collision phase
    std::vector<KVE_OBJECT*> dynamicSet;
    std::vector<KVE_OBJECT*> staticSet;
    std::vector<JointRecord*> activeJoints;
    TreeNode worldTree;
    std::vector<CollisionSound> collisionSounds;
    CollisionSoundPlayer soundPlayer;
    bool phasePause = true; // the 0.0002 s pause after each phase
    bool initialised = false;
    bool broadPhase = true;     // false: the collision phase tests every pair
    uint64_t setChanges = 0;    // counts changes of the two sets
    uint64_t callbackCalls = 0; // counts collision callbacks
    struct PairStats {
        uint64_t tested = 0;        // pair tests run by the broad phase
        uint64_t requeries = 0;     // rows asked again after something left its padded box
        uint64_t plainFinishes = 0; // phases finished by the plain loop (the sets changed)
    } pairStats;
    int solver = KVE_SOLVER_PAIRWISE;
    int velocityIterations = 4;
    int positionIterations = 1;
    bool sleeping = true;                      // iterative solver only
    bool wideContacts = true;                  // iterative solver: one-point contacts in SSE lanes
    std::shared_ptr<IterativeState> iterative; // null until the iterative solver first runs
};
World& world();

// Takes the object out of both sets (under the lock) and puts it back: into the set its
// mass selects, at its old place when that is the set it left, else at the front.
void removeFromSets(KVE_OBJECT& object);
void reinsertIntoSets(KVE_OBJECT& object);

// One step over `seconds` (the time-step entry for tests and benchmarks).
void step(float seconds);
void integrate(KVE_OBJECT& object, float h);
// The collision phase's pair loop, with the broad phase or (switched off) every pair.
void collidePairs(World& w);
void setBroadPhase(bool on);
// Whether the step pauses after each phase (on by default; tests and benchmarks skip it).
void setPhasePause(bool on);

int collide(KVE_OBJECT& first, KVE_OBJECT& second);
void applyContactImpulse(KVE_OBJECT& a, KVE_OBJECT& b);
const CollisionSound* findCollisionSound(const KVE_MATERIAL* first, const KVE_MATERIAL* second);

// The iterative solver's two phases: contacts found, solved and reported (collision
// phase), then the solved motion applied (integration phase).
void solveContacts(World& w);
void integrateSolved(World& w);
// An object leaves the physics or is changed through the API: it and what rests on it
// wake, and a released object's contacts are dropped.
void wakeForChange(KVE_OBJECT& object, bool released);
// Collision sound and callbacks of a pair after a contact was found (the current contact).
void reportContact(KVE_OBJECT& first, KVE_OBJECT& second);

// Engine shutdown: joints, sets, sounds and bodies; the world returns to its start state.
void releaseAll();

} // namespace kve::physics
