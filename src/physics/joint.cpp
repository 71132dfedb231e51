// Joints: linear springs (Hooke's law) between an anchor point on each of two objects,
// kept in a silent registry plus the active list the step walks. Here are their forces;
// the iterative solver takes a joint between two dynamic objects as a row of its solve
// instead (joint_rows.cpp), so that stiff joints stay stable there.
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

// Pushes the object by `force` (w = 0) at `lever` from its centre: a += F / m and
// alpha += I^-1 (r x F).
void push(KVE_OBJECT& object, const KVE_Vector& lever, const KVE_Vector& force)
{
    KVE_OBJECT_BODY& body = object.Body;
    KVE_AddScaledVector(&body.acceleration, &force, 1.0f / body.mass);
    KVE_Matrix inverse;
    KVE_CopyInvertMatrix(&inverse, &body.inertia);
    KVE_Vector torque{lever.y * force.z - lever.z * force.y, lever.z * force.x - lever.x * force.z,
                      lever.x * force.y - lever.y * force.x, 0.0f};
    KVE_TransformVector(&torque, &inverse);
    KVE_AddVectorXYZ(&body.angularAcceleration, &torque);
}

// Where an object's anchor will be at the end of the step if the object keeps its
// velocities: its lever from the centre turned by w h as the integration turns the
// object, and the point reached from the centre moved by v h.
struct StepAhead {
    KVE_Vector lever, point;
};
StepAhead stepAhead(const KVE_OBJECT& object, const KVE_Vector& anchor, float h)
{
    const KVE_Vector& w = object.Body.angularVelocity;
    KVE_Quaternion turn;
    KVE_EulerToQuaternion(&turn, w.x * h, w.y * h, w.z * h, 1);
    KVE_Matrix rotation;
    KVE_QuaternionToMatrix(&turn, &rotation);
    StepAhead ahead;
    KVE_SubVector(&ahead.lever, &anchor, &object.v4fPosition);
    ahead.lever.w = 0.0f;
    KVE_TransformVector(&ahead.lever, &rotation);
    ahead.point = object.v4fPosition;
    KVE_AddScaledVector(&ahead.point, &object.Body.v4fMovement, h);
    KVE_AddVectorXYZ(&ahead.point, &ahead.lever);
    return ahead;
}

// A joint between two moving objects pulls both anchors toward each other with equal and
// opposite forces F = k x n, so momentum is kept, and angular momentum too (both forces
// lie on the line through the anchors). The step applies a force found at its start over
// the whole step (x += v h + a h^2/2, v += a h), which alone feeds every swing, of the
// stretch and of each object turning about its anchor under the pull. Taking x, n and
// the levers where the objects are headed one step ahead turns that gain into a loss: the
// joint acts as a spring with a damper of k h along it, so a stretched pair settles at its
// rest length and a hanging chain stops bobbing while it keeps swinging; at rest it is
// exactly Hooke's law. This holds while k h^2 / m stays below 1 for the lighter object
// (below 1/2 for a chain of equal links, whose fastest wave is quicker than one pair's);
// the iterative solver's rows, implicit in each sub-step, have no such bound.
void pullTogether(const JointRecord& joint, KVE_OBJECT& a, KVE_OBJECT& b, const Anchors& at)
{
    const float h = world().timeStep;
    const StepAhead aheadA = stepAhead(a, at.a, h), aheadB = stepAhead(b, at.b, h);
    KVE_Vector d;
    KVE_SubVector(&d, &aheadA.point, &aheadB.point);
    const float length = std::sqrt(KVE_DotVector(&d, nullptr));
    if (length == 0.0f)
        return;
    KVE_Vector force = d;
    force.w = 0.0f;
    KVE_ScaleVector(&force, joint.stiffness * (length - joint.restLength) / length);
    push(b, aheadB.lever, force);
    KVE_ScaleVector(&force, -1.0f);
    push(a, aheadA.lever, force);
}

} // namespace

core::Registry<JointRecord>& joints()
{
    static core::Registry<JointRecord> registry(core::kinds::kSilent, deactivate);
    return registry;
}

// Between a static object A and a dynamic B the force acts on B only: F = k x n along the
// line from B's anchor to A's. Anchored at B's centre B also gets the damping term
// 0.5 k (x - x_last), which makes the first evaluation 1.5 times as strong. Between two
// dynamic objects both are pulled (pullTogether); the iterative solver's spring phase
// leaves those joints to its rows.
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
    if (length > 0.0f && b->Body.mass != 0.0f) {
        KVE_Vector n = d;
        KVE_ScaleVector(&n, 1.0f / length);
        n.w = 0.0f;
        if (a->Body.mass != 0.0f) {
            pullTogether(joint, *a, *b, at);
        } else {
            KVE_OBJECT_BODY& body = b->Body;
            const float k = joint.stiffness, m = body.mass;
            KVE_Vector rB;
            KVE_SubVector(&rB, &at.b, &b->v4fPosition);
            if (KVE_DotVector(&rB, &rB) != 0.0f) {
                KVE_Vector force = n;
                KVE_ScaleVector(&force, k * x);
                if (KVE_DotVector(&force, &force) != 0.0f)
                    push(*b, rB, force);
            } else {
                KVE_AddScaledVector(&body.acceleration, &n, 0.5f * k * (x - joint.lastExtension) / m);
                KVE_AddScaledVector(&body.acceleration, &n, k * x / m);
            }
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

KVE_JOINT* KVE_CreateJoint(int id, int objectA, float ax, float ay, float az, int objectB, float bx, float by, float bz,
                           float stiffness)
{
    KVE_OBJECT* a = kve::scene::findObject(objectA);
    KVE_OBJECT* b = kve::scene::findObject(objectB);
    // A spring of no finite stiffness or anchor would make both objects' positions NaN,
    // and every object they touch after them.
    if (!a || !b || !std::isfinite(ax + ay + az + bx + by + bz + stiffness))
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
