// Soft distance rows for joints between two dynamic bodies. Over a sub-step h the spring
// F = -k C - c dC/dt is taken implicitly, at the sub-step's end velocity: an impulse
// P = -h (k (C + h v) + c v) for the row's speed v after P. With the row's inverse
// effective mass W and the mass s = h (h k + c) that gives the change of the accumulated
// impulse
//   dP = -(s (v + C h k / s) + P) / (1 + W s)
// (Catto, "Soft Constraints", GDC 2011; Box2D v3's spring in its distance joint). At rest
// P = -h k C, so the hanging stretch is Hooke's law exactly, and the implicit step damps
// rather than feeds every swing whatever k h^2 / m is. The damper is c = k T with T the
// whole step, as the force between two dynamic bodies has it in the pairwise solver.
#include "physics/joint_rows.h"

#include <algorithm>
#include <cmath>

namespace kve::physics {
namespace {

bool positiveFinite(float value)
{
    return value > 0.0f && std::isfinite(value);
}

// A body's inverse mass and world inverse inertia for its joints: the solve's own when it
// collides as a solid; for a point body (which contacts do not move) 1 / m and its
// inertia as stored, which is the identity and so the same in any orientation.
void rowMass(const KVE_OBJECT& object, const SolverBody& body, float& inverseMass, Mat3& inverseInertia)
{
    if (body.inverseMass > 0.0f) {
        inverseMass = body.inverseMass;
        inverseInertia = body.inverseInertia;
        return;
    }
    inverseMass = 1.0f / object.Body.mass;
    KVE_Matrix inverse;
    KVE_CopyInvertMatrix(&inverse, &object.Body.inertia);
    for (int i = 0; i < 3; ++i)
        inverseInertia.c[i] = vec3(inverse.c[i]);
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(inverseInertia.c[i].x + inverseInertia.c[i].y + inverseInertia.c[i].z))
            inverseInertia = {}; // a singular inertia: the joint only pulls
}

Vec3 worldAnchor(const KVE_OBJECT& object, const KVE_Vector& anchor)
{
    KVE_Vector p = anchor;
    KVE_TransformVector(&p, &object.fullMatrix);
    return vec3(p);
}

int solverIndex(const IterativeState& state, KVE_OBJECT* object)
{
    const auto found = state.bodies.find(object);
    return found != state.bodies.end() && !found->second.sleeping ? found->second.solverIndex : -1;
}

float subStep(const SolverSettings& settings)
{
    return settings.timeStep / static_cast<float>(std::max(settings.velocityIterations, 1));
}

// v turned by the rotation vector `turn` (Rodrigues' formula), as the body has turned.
Vec3 rotated(Vec3 v, Vec3 turn)
{
    const float angle = length(turn);
    if (!(angle > 0.0f))
        return v;
    const Vec3 axis = turn * (1.0f / angle);
    const float cosine = std::cos(angle), sine = std::sin(angle);
    return v * cosine + cross(axis, v) * sine + axis * (dot(axis, v) * (1.0f - cosine));
}

// The joint's line where the sub-steps have taken its anchors: the row along it and the
// stretch now, false when the anchors meet (no direction to pull along).
struct Line {
    ConstraintRow row;
    float stretch = 0, inverseMass = 0;
};
bool currentLine(const JointRow& r, const std::vector<SolverBody>& bodies, Line& line)
{
    const SolverBody& a = bodies[static_cast<size_t>(r.bodyA)];
    const SolverBody& b = bodies[static_cast<size_t>(r.bodyB)];
    const Vec3 leverA = rotated(r.leverA, a.turned), leverB = rotated(r.leverB, b.turned);
    const Vec3 apart = r.apart + (b.moved - a.moved) + (leverB - r.leverB) - (leverA - r.leverA);
    const float distance = length(apart);
    if (!(distance > 0.0f))
        return false;
    ConstraintRow& row = line.row;
    row.direction = apart * (1.0f / distance);
    row.leverA = cross(leverA, row.direction);
    row.leverB = cross(leverB, row.direction);
    row.turnA = r.inverseInertiaA * row.leverA;
    row.turnB = r.inverseInertiaB * row.leverB;
    line.inverseMass = r.inverseMassA + r.inverseMassB + dot(row.leverA, row.turnA) + dot(row.leverB, row.turnB);
    line.stretch = distance - r.restLength;
    return true;
}

void applyImpulse(const JointRow& r, const ConstraintRow& row, std::vector<SolverBody>& bodies, float impulse)
{
    SolverBody& a = bodies[static_cast<size_t>(r.bodyA)];
    SolverBody& b = bodies[static_cast<size_t>(r.bodyB)];
    a.v -= row.direction * (impulse * r.inverseMassA);
    a.w -= row.turnA * impulse;
    b.v += row.direction * (impulse * r.inverseMassB);
    b.w += row.turnB * impulse;
}

std::vector<JointRow>& rowScratch()
{
    static std::vector<JointRow> rows;
    return rows;
}

} // namespace

bool solvedAsRow(const JointRecord& joint)
{
    return joint.objectA != joint.objectB && positiveFinite(joint.objectA->Body.mass) &&
           positiveFinite(joint.objectB->Body.mass) && positiveFinite(joint.stiffness);
}

std::vector<JointRow>& prepareJointRows(const World& w, const IterativeState& state, const SolverSettings& settings)
{
    std::vector<JointRow>& rows = rowScratch();
    rows.clear();
    const float h = subStep(settings);
    const float damping = settings.timeStep; // c / k
    for (JointRecord* joint : w.activeJoints) {
        if (!solvedAsRow(*joint))
            continue;
        JointRow r;
        r.joint = joint;
        r.bodyA = solverIndex(state, joint->objectA);
        r.bodyB = solverIndex(state, joint->objectB);
        if (r.bodyA < 0 || r.bodyB < 0)
            continue; // asleep (or not yet in the dynamic set): held as it is
        const KVE_OBJECT& a = *joint->objectA;
        const KVE_OBJECT& b = *joint->objectB;
        const Vec3 anchorA = worldAnchor(a, joint->anchorA), anchorB = worldAnchor(b, joint->anchorB);
        r.apart = anchorB - anchorA;
        r.leverA = anchorA - vec3(a.v4fPosition);
        r.leverB = anchorB - vec3(b.v4fPosition);
        r.restLength = joint->restLength;
        rowMass(a, state.solverBodies[static_cast<size_t>(r.bodyA)], r.inverseMassA, r.inverseInertiaA);
        rowMass(b, state.solverBodies[static_cast<size_t>(r.bodyB)], r.inverseMassB, r.inverseInertiaB);
        r.springMass = joint->stiffness * h * (h + damping);
        r.biasRate = 1.0f / (h + damping);
        // A bound on the line's inverse mass W however it turns: with W s finite, no pass
        // divides by an infinite 1 + W s.
        const auto turning = [](const Mat3& m, Vec3 lever) {
            return dot(lever, lever) * (length(m.c[0]) + length(m.c[1]) + length(m.c[2]));
        };
        const float largest = r.inverseMassA + r.inverseMassB + turning(r.inverseInertiaA, r.leverA) +
                              turning(r.inverseInertiaB, r.leverB);
        if (!positiveFinite(r.springMass) || !std::isfinite(largest * r.springMass) ||
            !std::isfinite(length(r.apart) + r.restLength))
            continue;
        r.impulse = std::isfinite(joint->rowForce) ? joint->rowForce * h : 0.0f;
        rows.push_back(r);
    }
    return rows;
}

void warmStartJointRows(const std::vector<JointRow>& rows, std::vector<SolverBody>& bodies)
{
    for (const JointRow& r : rows) {
        Line line;
        if (currentLine(r, bodies, line))
            applyImpulse(r, line.row, bodies, r.impulse);
    }
}

void solveJointRows(std::vector<JointRow>& rows, std::vector<SolverBody>& bodies, bool backwards)
{
    const size_t count = rows.size();
    for (size_t n = 0; n < count; ++n) {
        JointRow& r = rows[backwards ? count - 1 - n : n];
        Line line;
        if (!currentLine(r, bodies, line))
            continue;
        const SolverBody& a = bodies[static_cast<size_t>(r.bodyA)];
        const SolverBody& b = bodies[static_cast<size_t>(r.bodyB)];
        const ConstraintRow& row = line.row;
        const float speed = dot(b.v - a.v, row.direction) + dot(b.w, row.leverB) - dot(a.w, row.leverA);
        const float change = -(r.springMass * (speed + r.biasRate * line.stretch) + r.impulse) /
                             (1.0f + line.inverseMass * r.springMass);
        applyImpulse(r, row, bodies, change);
        r.impulse += change;
    }
}

void storeJointRows(const std::vector<JointRow>& rows, const SolverSettings& settings)
{
    const float h = subStep(settings);
    for (const JointRow& r : rows) {
        r.joint->rowForce = r.impulse / h;
        r.joint->lastExtension = length(r.apart) - r.restLength;
    }
}

} // namespace kve::physics
