// Joints: linear springs (Hooke's law) between an anchor point on each of two objects,
// kept in a silent registry plus the active list the step walks.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "core/physics_lock.h"
#include "core/registry_kinds.h"
#include "physics/physics.h"
#include "scene/object.h"

namespace kve::physics {
namespace {

struct Anchors {
    KVE_Vector a, b; // world positions
};

Anchors worldAnchors(const KVE_OBJECT& objectA, const KVE_Vector& anchorA, const KVE_OBJECT& objectB,
                     const KVE_Vector& anchorB)
{
    Anchors anchors{anchorA, anchorB};
    KVE_TransformVector(&anchors.a, &objectA.fullMatrix);
    KVE_TransformVector(&anchors.b, &objectB.fullMatrix);
    return anchors;
}

float distance(const Anchors& anchors)
{
    KVE_Vector d;
    KVE_SubVector(&d, &anchors.a, &anchors.b);
    return std::sqrt(KVE_DotVector(&d, nullptr));
}

void deactivate(JointRecord& joint)
{
    std::lock_guard lock(core::physicsLock());
    auto& active = world().activeJoints;
    active.erase(std::remove(active.begin(), active.end(), &joint), active.end());
}

} // namespace

core::Registry<JointRecord>& joints()
{
    static core::Registry<JointRecord> registry(core::kinds::kSilent, deactivate);
    return registry;
}

// The force acts on the dynamic object B only (A is static): F = k x n along the line
// from B's anchor to A's. Anchored at B's centre it also gets the damping term
// 0.5 k (x - x_last), which makes the first evaluation 1.5 times as strong.
void applySpring(JointRecord& joint)
{
    KVE_OBJECT* a = joint.objectA;
    KVE_OBJECT* b = joint.objectB;
    KVE_Vector anchorA = joint.anchorA, anchorB = joint.anchorB;
    if (b->Body.mass == 0.0f) {
        std::swap(a, b);
        std::swap(anchorA, anchorB);
    }
    const Anchors at = worldAnchors(*a, anchorA, *b, anchorB);
    KVE_Vector d;
    KVE_SubVector(&d, &at.a, &at.b);
    const float length = std::sqrt(KVE_DotVector(&d, nullptr));
    const float x = length - joint.restLength;
    // Coincident anchors give no direction, hence no force.
    if (a->Body.mass == 0.0f && length > 0.0f) {
        KVE_Vector n = d;
        KVE_ScaleVector(&n, 1.0f / length);
        n.w = 0.0f;
        KVE_OBJECT_BODY& body = b->Body;
        const float k = joint.stiffness, m = body.mass;
        KVE_Vector rB;
        KVE_SubVector(&rB, &at.b, &b->v4fPosition);
        if (KVE_DotVector(&rB, &rB) != 0.0f) {
            KVE_Vector force = n;
            KVE_ScaleVector(&force, k * x);
            if (KVE_DotVector(&force, &force) != 0.0f) {
                KVE_AddScaledVector(&body.acceleration, &force, 1.0f / m);
                KVE_Matrix inverse;
                KVE_CopyInvertMatrix(&inverse, &body.inertia);
                KVE_Vector torque{rB.y * force.z - rB.z * force.y, rB.z * force.x - rB.x * force.z,
                                  rB.x * force.y - rB.y * force.x, 0.0f};
                KVE_TransformVector(&torque, &inverse);
                KVE_AddVectorXYZ(&body.angularAcceleration, &torque);
            }
        } else {
            KVE_AddScaledVector(&body.acceleration, &n, 0.5f * k * (x - joint.lastExtension) / m);
            KVE_AddScaledVector(&body.acceleration, &n, k * x / m);
        }
    }
    joint.lastExtension = x;
}

float jointTension(const JointRecord& joint)
{
    const float stretch =
        distance(worldAnchors(*joint.objectA, joint.anchorA, *joint.objectB, joint.anchorB)) - joint.restLength;
    return 0.5f * joint.stiffness * stretch * stretch;
}

// A joint holds plain references to its objects, so it cannot outlive either of them.
void releaseJointsOf(const KVE_OBJECT& object)
{
    std::vector<JointRecord*> holding;
    joints().forEach([&](JointRecord& joint) {
        if (joint.objectA == &object || joint.objectB == &object)
            holding.push_back(&joint);
    });
    for (JointRecord* joint : holding)
        joints().release(joint);
}

} // namespace kve::physics

using namespace kve::physics;

extern "C" {

KVE_JOINT* KVE_CreateJoint(int id, int objectA, float ax, float ay, float az, int objectB, float bx, float by,
                           float bz, float stiffness)
{
    KVE_OBJECT* a = kve::scene::findObject(objectA);
    KVE_OBJECT* b = kve::scene::findObject(objectB);
    if (!a || !b)
        return nullptr;
    world(); // the object observers, so that releasing an object frees its joints
    JointRecord* joint = joints().create(&id, "");
    if (!joint)
        return nullptr;
    {
        std::lock_guard lock(kve::core::physicsLock());
        world().activeJoints.push_back(joint);
    }
    joint->objectA = a;
    joint->anchorA = {ax, ay, az, 1.0f};
    joint->objectB = b;
    joint->anchorB = {bx, by, bz, 1.0f};
    joint->restLength = distance(worldAnchors(*a, joint->anchorA, *b, joint->anchorB));
    joint->stiffness = stiffness;
    return joint;
}

int KVE_GetJointNumber(const KVE_JOINT* joint)
{
    return joint ? joint->number : -1;
}

int KVE_FreeJoint(int joint)
{
    joints().releaseNumber(joint);
    return 0;
}

int KVE_GetJointCount(void)
{
    std::lock_guard lock(kve::core::physicsLock());
    return static_cast<int>(world().activeJoints.size());
}

} // extern "C"
