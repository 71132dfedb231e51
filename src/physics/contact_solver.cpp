// Sequential impulses over all contacts of a step (Catto's method): each point's normal
// impulse is accumulated and clamped at zero, its friction along two tangents within mu
// times that normal impulse, impulses start from last step's (warm starting), restitution
// acts only on fast approaches, and overlap is removed by pseudo-velocities (split
// impulses) that move the bodies in this step without entering their real velocities.
#include <algorithm>
#include <cmath>

#include "physics/solver.h"

namespace kve::physics {
namespace {

// Approach speeds below this do not bounce, so that resting contacts stay at rest.
constexpr float kRestitutionThreshold = 1.0f;
// Overlap left alone (keeps resting contacts touching), the share of the remaining overlap
// removed per step, and the fastest correction.
constexpr float kLinearSlop = 0.005f;
constexpr float kCorrectionRate = 0.2f;
constexpr float kMaxCorrectionSpeed = 3.0f;

Vec3 velocityAt(const SolverBody& body, Vec3 r)
{
    return body.v + cross(body.w, r);
}

float effectiveMass(const SolverBody& a, const SolverBody& b, Vec3 rA, Vec3 rB, Vec3 d)
{
    const Vec3 ta = cross(rA, d), tb = cross(rB, d);
    const float k = a.inverseMass + b.inverseMass + dot(ta, a.inverseInertia * ta) + dot(tb, b.inverseInertia * tb);
    return k > 0.0f ? 1.0f / k : 0.0f;
}

void applyImpulse(SolverBody& a, SolverBody& b, Vec3 rA, Vec3 rB, Vec3 impulse)
{
    a.v -= impulse * a.inverseMass;
    a.w -= a.inverseInertia * cross(rA, impulse);
    b.v += impulse * b.inverseMass;
    b.w += b.inverseInertia * cross(rB, impulse);
}

void applyPseudoImpulse(SolverBody& a, SolverBody& b, Vec3 rA, Vec3 rB, Vec3 impulse)
{
    a.pseudoV -= impulse * a.inverseMass;
    a.pseudoW -= a.inverseInertia * cross(rA, impulse);
    b.pseudoV += impulse * b.inverseMass;
    b.pseudoW += b.inverseInertia * cross(rB, impulse);
}

void solveVelocities(ContactConstraint& c, std::vector<SolverBody>& bodies)
{
    SolverBody& a = bodies[static_cast<size_t>(c.bodyA)];
    SolverBody& b = bodies[static_cast<size_t>(c.bodyB)];
    // Friction first: the normal impulses, solved last, matter more for stacking.
    for (int i = 0; i < c.count; ++i) {
        SolverPoint& p = c.points[i];
        const float limit = c.friction * p.normalImpulse;
        const Vec3 dv = velocityAt(b, p.rB) - velocityAt(a, p.rA);
        for (int k = 0; k < 2; ++k) {
            const float lambda = -p.tangentMass[k] * dot(dv, c.tangent[k]);
            const float total = std::clamp(p.tangentImpulse[k] + lambda, -limit, limit);
            const float applied = total - p.tangentImpulse[k];
            p.tangentImpulse[k] = total;
            applyImpulse(a, b, p.rA, p.rB, c.tangent[k] * applied);
        }
    }
    for (int i = 0; i < c.count; ++i) {
        SolverPoint& p = c.points[i];
        const float vn = dot(velocityAt(b, p.rB) - velocityAt(a, p.rA), c.normal);
        const float lambda = p.normalMass * (p.velocityTarget - vn);
        const float total = std::max(p.normalImpulse + lambda, 0.0f);
        const float applied = total - p.normalImpulse;
        p.normalImpulse = total;
        applyImpulse(a, b, p.rA, p.rB, c.normal * applied);
    }
}

void solvePseudoVelocities(ContactConstraint& c, std::vector<SolverBody>& bodies)
{
    SolverBody& a = bodies[static_cast<size_t>(c.bodyA)];
    SolverBody& b = bodies[static_cast<size_t>(c.bodyB)];
    for (int i = 0; i < c.count; ++i) {
        SolverPoint& p = c.points[i];
        const Vec3 dv = b.pseudoV + cross(b.pseudoW, p.rB) - a.pseudoV - cross(a.pseudoW, p.rA);
        const float lambda = p.normalMass * (p.pseudoTarget - dot(dv, c.normal));
        const float total = std::max(p.pseudoImpulse + lambda, 0.0f);
        const float applied = total - p.pseudoImpulse;
        p.pseudoImpulse = total;
        applyPseudoImpulse(a, b, p.rA, p.rB, c.normal * applied);
    }
}

} // namespace

void prepareContacts(std::vector<ContactConstraint>& constraints, const std::vector<SolverBody>& bodies,
                     const SolverSettings& settings)
{
    const float h = settings.timeStep;
    for (ContactConstraint& c : constraints) {
        const SolverBody& a = bodies[static_cast<size_t>(c.bodyA)];
        const SolverBody& b = bodies[static_cast<size_t>(c.bodyB)];
        for (int i = 0; i < c.count; ++i) {
            SolverPoint& p = c.points[i];
            const float separation = c.manifold->points[i].separation;
            p.normalMass = effectiveMass(a, b, p.rA, p.rB, c.normal);
            p.tangentMass[0] = effectiveMass(a, b, p.rA, p.rB, c.tangent[0]);
            p.tangentMass[1] = effectiveMass(a, b, p.rA, p.rB, c.tangent[1]);
            p.approach = -dot(velocityAt(b, p.rB) - velocityAt(a, p.rA), c.normal);
            if (separation > 0.0f)
                p.velocityTarget = h > 0.0f ? -separation / h : 0.0f; // may close the gap, no more
            else if (p.approach > kRestitutionThreshold)
                p.velocityTarget = c.restitution * p.approach;
            else
                p.velocityTarget = 0.0f;
            const float overlap = -separation - kLinearSlop;
            p.pseudoTarget = overlap > 0.0f && h > 0.0f ? std::min(kCorrectionRate * overlap / h, kMaxCorrectionSpeed) : 0.0f;
            p.pseudoImpulse = 0.0f;
        }
    }
}

void solveContactConstraints(std::vector<ContactConstraint>& constraints, std::vector<SolverBody>& bodies,
                             const SolverSettings& settings)
{
    for (ContactConstraint& c : constraints) {
        SolverBody& a = bodies[static_cast<size_t>(c.bodyA)];
        SolverBody& b = bodies[static_cast<size_t>(c.bodyB)];
        for (int i = 0; i < c.count; ++i) {
            const SolverPoint& p = c.points[i];
            applyImpulse(a, b, p.rA, p.rB,
                         c.normal * p.normalImpulse + c.tangent[0] * p.tangentImpulse[0] +
                             c.tangent[1] * p.tangentImpulse[1]);
        }
    }
    for (int pass = 0; pass < settings.velocityIterations; ++pass)
        for (ContactConstraint& c : constraints)
            solveVelocities(c, bodies);
    for (int pass = 0; pass < settings.positionIterations; ++pass)
        for (ContactConstraint& c : constraints)
            solvePseudoVelocities(c, bodies);
    for (ContactConstraint& c : constraints)
        for (int i = 0; i < c.count; ++i) {
            ManifoldPoint& stored = c.manifold->points[i];
            stored.normalImpulse = c.points[i].normalImpulse;
            stored.tangentImpulse[0] = c.points[i].tangentImpulse[0];
            stored.tangentImpulse[1] = c.points[i].tangentImpulse[1];
        }
}

} // namespace kve::physics
