// Sequential impulses over all contacts of a step (Catto's method) in sub-steps (Box2D
// v3's soft step): each point's normal impulse is accumulated and clamped at zero, each
// patch's friction (two tangents at the centre of its points and a twist about the
// normal) kept within mu times its normal impulse, impulses start from the last
// sub-step's (warm starting). Overlap is removed by a correction speed that moves the
// bodies within the sub-step; relaxing passes then take it out of the velocities they
// keep, so the correction adds no kinetic energy. Restitution acts once at the end, only
// on fast approaches.
#include <algorithm>
#include <cmath>

#include "physics/joint_rows.h"
#include "physics/solver.h"
#include "physics/wide_contacts.h"

namespace kve::physics {
namespace {

ConstraintRow makeRow(const SolverBody& a, const SolverBody& b, Vec3 rA, Vec3 rB, Vec3 d)
{
    ConstraintRow row;
    row.direction = d;
    row.leverA = cross(rA, d);
    row.leverB = cross(rB, d);
    row.turnA = a.inverseInertia * row.leverA;
    row.turnB = b.inverseInertia * row.leverB;
    const float k = a.inverseMass + b.inverseMass + dot(row.leverA, row.turnA) + dot(row.leverB, row.turnB);
    row.mass = k > 0.0f ? 1.0f / k : 0.0f;
    return row;
}

// The passes' pieces, inlined into each pass so that a pair's velocities stay in registers.
#define KVE_INLINE [[gnu::always_inline]] inline

// Relative velocity of b against a along the row.
float relativeSpeed(const ConstraintRow& row, Vec3 va, Vec3 wa, Vec3 vb, Vec3 wb)
{
    return dot(vb - va, row.direction) + dot(wb, row.leverB) - dot(wa, row.leverA);
}

// The two bodies of a constraint while a pass works on it: their velocities in locals,
// so that the constraint's rows follow each other in registers instead of waiting on
// each other's stores, written back once (a static body's never: impulses cannot move
// it, and not writing it keeps every contact with the ground from waiting on the last).
struct PairMotion {
    SolverBody& a;
    SolverBody& b;
    Vec3 va, wa, vb, wb;

    PairMotion(const ContactConstraint& c, std::vector<SolverBody>& bodies)
        : a(bodies[static_cast<size_t>(c.bodyA)]), b(bodies[static_cast<size_t>(c.bodyB)]), va(a.v), wa(a.w), vb(b.v),
          wb(b.w)
    {
    }
    void store() const
    {
        if (!a.fixed) {
            a.v = va;
            a.w = wa;
        }
        if (!b.fixed) {
            b.v = vb;
            b.w = wb;
        }
    }
    float speed(const ConstraintRow& row) const { return relativeSpeed(row, va, wa, vb, wb); }
    // How far b has moved against a along the row in this step (small turns).
    float moved(const ConstraintRow& row) const
    {
        return dot(b.moved - a.moved, row.direction) + dot(b.turned, row.leverB) - dot(a.turned, row.leverA);
    }
    void apply(const ConstraintRow& row, float impulse)
    {
        va -= row.direction * (impulse * a.inverseMass);
        wa -= row.turnA * impulse;
        vb += row.direction * (impulse * b.inverseMass);
        wb += row.turnB * impulse;
    }
    void turn(Vec3 turnA, Vec3 turnB, float amount)
    {
        wa -= turnA * amount;
        wb += turnB * amount;
    }
};

KVE_INLINE void warmStart(const ContactConstraint& c, const ContactRows& r, PairMotion& m)
{
    for (int i = 0; i < c.count; ++i)
        m.apply(r.normal[i], c.points[i].normalImpulse);
    m.apply(r.friction[0], c.frictionImpulse[0]);
    m.apply(r.friction[1], c.frictionImpulse[1]);
    if (r.twistMass > 0.0f)
        m.turn(r.twistA, r.twistB, c.frictionImpulse[2]);
}

// Normal impulses against the current separation: a gap may close within the sub-step,
// an overlap (with `correct`) is pushed apart.
KVE_INLINE void solveNormals(ContactConstraint& c, const ContactRows& r, PairMotion& m, float h, bool backwards,
                             bool correct)
{
    for (int n = 0; n < c.count; ++n) {
        const int i = backwards ? c.count - 1 - n : n;
        SolverPoint& p = c.points[i];
        const ConstraintRow& row = r.normal[i];
        const float separation = p.separation + m.moved(row);
        float target = 0.0f;
        if (separation > 0.0f)
            target = -separation / h;
        else if (correct && separation < -kLinearSlop)
            target = std::min(kCorrectionRate * (-separation - kLinearSlop) / h, kMaxCorrectionSpeed);
        const float total = std::max(p.normalImpulse + row.mass * (target - m.speed(row)), 0.0f);
        m.apply(row, total - p.normalImpulse);
        p.normalImpulse = total;
        p.largestImpulse = std::max(p.largestImpulse, total);
    }
}

// Friction of the whole patch: a tangential impulse at its centre kept within the
// friction cone of the patch's normal impulse, and a twist within that times its spread.
KVE_INLINE void solveFriction(ContactConstraint& c, const ContactRows& r, PairMotion& m)
{
    float normal = 0.0f;
    for (int i = 0; i < c.count; ++i)
        normal += c.points[i].normalImpulse;
    const float limit = c.friction * normal;
    float t0 = c.frictionImpulse[0] - r.friction[0].mass * m.speed(r.friction[0]);
    float t1 = c.frictionImpulse[1] - r.friction[1].mass * m.speed(r.friction[1]);
    const float squared = t0 * t0 + t1 * t1;
    if (squared > limit * limit) {
        const float scale = limit / std::sqrt(squared);
        t0 *= scale;
        t1 *= scale;
    }
    m.apply(r.friction[0], t0 - c.frictionImpulse[0]);
    m.apply(r.friction[1], t1 - c.frictionImpulse[1]);
    c.frictionImpulse[0] = t0;
    c.frictionImpulse[1] = t1;
    if (r.rollingMass > 0.0f) {
        const Vec3 turning = m.wb - m.wa;
        Vec3 total = c.rollingImpulse - turning * r.rollingMass;
        const float rollingLimit = kRollingShare * limit * r.rollingLever;
        if (dot(total, total) > rollingLimit * rollingLimit)
            total = normalized(total) * rollingLimit;
        const Vec3 applied = total - c.rollingImpulse;
        m.wa -= m.a.inverseInertia * applied;
        m.wb += m.b.inverseInertia * applied;
        c.rollingImpulse = total;
    }
    if (r.twistMass > 0.0f) {
        const float spin = dot(m.wb - m.wa, c.normal);
        const float twistLimit = limit * r.twistRadius;
        const float total = std::clamp(c.frictionImpulse[2] - r.twistMass * spin, -twistLimit, twistLimit);
        m.turn(r.twistA, r.twistB, total - c.frictionImpulse[2]);
        c.frictionImpulse[2] = total;
    }
}

// Points that approached fast and were pushed get the bounce e times that approach.
KVE_INLINE void applyRestitution(ContactConstraint& c, const ContactRows& r, PairMotion& m)
{
    for (int i = 0; i < c.count; ++i) {
        SolverPoint& p = c.points[i];
        if (p.approach <= kRestitutionThreshold || p.largestImpulse == 0.0f)
            continue;
        const float vn = m.speed(r.normal[i]);
        const float total = std::max(p.normalImpulse + r.normal[i].mass * (c.restitution * p.approach - vn), 0.0f);
        m.apply(r.normal[i], total - p.normalImpulse);
        p.normalImpulse = total;
    }
}

// One pass over the constraints, colour by colour: a colour's batches of one-point
// contacts in lanes (`wide`), then the rest one by one with its pair's velocities in
// locals (`one`). Without batches every constraint goes one by one, in the same order.
template <class Wide, class One>
void eachConstraint(std::vector<ContactConstraint>& constraints, const std::vector<ContactRows>& rows,
                    std::vector<SolverBody>& bodies, const ContactColours& colours, const WideContacts* batches,
                    const Wide& wide, const One& one)
{
    const size_t count = colours.starts.empty() ? 0 : colours.starts.size() - 1;
    for (size_t colour = 0; colour < count; ++colour) {
        size_t from = colours.starts[colour];
        if (batches) {
            wide(colour);
            from = batches->scalarStart(colour);
        }
        for (size_t i = from; i < colours.starts[colour + 1]; ++i) {
            ContactConstraint& c = constraints[i];
            PairMotion m(c, bodies);
            one(c, rows[i], m);
            m.store();
        }
    }
}

// Rows, friction patch, rolling resistance and approach speeds of constraints [from, to).
void prepareContacts(std::vector<ContactConstraint>& constraints, std::vector<ContactRows>& rows, size_t from,
                     size_t to, const std::vector<SolverBody>& bodies)
{
    for (size_t k = from; k < to; ++k) {
        ContactConstraint& c = constraints[k];
        ContactRows& r = rows[k];
        const SolverBody& a = bodies[static_cast<size_t>(c.bodyA)];
        const SolverBody& b = bodies[static_cast<size_t>(c.bodyB)];
        Vec3 centreA, centreB;
        for (int i = 0; i < c.count; ++i) {
            centreA += c.points[i].rA * (1.0f / static_cast<float>(c.count));
            centreB += c.points[i].rB * (1.0f / static_cast<float>(c.count));
        }
        r.friction[0] = makeRow(a, b, centreA, centreB, c.tangent[0]);
        r.friction[1] = makeRow(a, b, centreA, centreB, c.tangent[1]);
        r.twistA = a.inverseInertia * c.normal;
        r.twistB = b.inverseInertia * c.normal;
        const float twist = dot(c.normal, r.twistA) + dot(c.normal, r.twistB);
        r.twistMass = c.count > 1 && twist > 0.0f ? 1.0f / twist : 0.0f;
        // A twist impulse warm started from a wider patch has nothing left to hold.
        if (r.twistMass == 0.0f)
            c.frictionImpulse[2] = 0.0f;
        // A ball's turning resisted about every axis: the mean of the inverse inertias.
        const float turn = (a.inverseInertia.c[0].x + a.inverseInertia.c[1].y + a.inverseInertia.c[2].z +
                            b.inverseInertia.c[0].x + b.inverseInertia.c[1].y + b.inverseInertia.c[2].z) /
                           3.0f;
        r.rollingMass = c.rolls && c.count == 1 && turn > 0.0f ? 1.0f / turn : 0.0f;
        r.rollingLever = c.count == 1 ? std::max(length(c.points[0].rA), length(c.points[0].rB)) : 0.0f;
        c.rollingImpulse = {};
        r.twistRadius = 0.0f;
        for (int i = 0; i < c.count; ++i) {
            const Vec3 off = c.points[i].rA - centreA;
            r.twistRadius += length(off - c.normal * dot(off, c.normal)) / static_cast<float>(c.count);
        }
        for (int i = 0; i < c.count; ++i) {
            SolverPoint& p = c.points[i];
            p.separation = c.manifold->points[i].separation;
            r.normal[i] = makeRow(a, b, p.rA, p.rB, c.normal);
            p.approach = -relativeSpeed(r.normal[i], a.v, a.w, b.v, b.w);
            p.largestImpulse = 0.0f;
        }
    }
}

} // namespace

size_t solveContactConstraints(std::vector<ContactConstraint>& constraints, std::vector<JointRow>& joints,
                               std::vector<SolverBody>& bodies, const ContactColours& colours,
                               const SolverSettings& settings)
{
    const int subSteps = std::max(settings.velocityIterations, 1);
    const float h = settings.timeStep / static_cast<float>(subSteps);
    const float share = 1.0f / static_cast<float>(subSteps);
    static thread_local WideContacts wide;
    static thread_local std::vector<ContactRows> rows; // by constraint, for those solved one by one
    rows.resize(constraints.size());
    const WideContacts* batches = nullptr;
    if (settings.wide) {
        wide.build(constraints, bodies, colours.starts, colours.lastShared);
        batches = &wide;
        for (size_t colour = 0; colour + 1 < colours.starts.size(); ++colour)
            prepareContacts(constraints, rows, wide.scalarStart(colour), colours.starts[colour + 1], bodies);
    } else
        prepareContacts(constraints, rows, 0, constraints.size(), bodies);
    for (SolverBody& body : bodies)
        body.moved = body.turned = {};
    for (int step = 0; step < subSteps; ++step) {
        for (SolverBody& body : bodies) {
            body.v += body.pushed * share;
            body.w += body.spun * share;
        }
        warmStartJointRows(joints, bodies);
        eachConstraint(
            constraints, rows, bodies, colours, batches, [&](size_t colour) { wide.warmStart(colour); },
            [](ContactConstraint& c, const ContactRows& r, PairMotion& m) { warmStart(c, r, m); });
        // Every other sub-step runs the points backwards, so that their order leaves no
        // lean in what the passes have not converged.
        const bool backwards = (step & 1) != 0;
        solveJointRows(joints, bodies, backwards);
        eachConstraint(
            constraints, rows, bodies, colours, batches, [&](size_t colour) { wide.solve(colour, h, true); },
            [&](ContactConstraint& c, const ContactRows& r, PairMotion& m) {
                solveNormals(c, r, m, h, backwards, true);
                solveFriction(c, r, m);
            });
        for (SolverBody& body : bodies) {
            body.moved += body.v * h;
            body.turned += body.w * h;
        }
        for (int pass = 0; pass < settings.positionIterations; ++pass) {
            solveJointRows(joints, bodies, !backwards);
            eachConstraint(
                constraints, rows, bodies, colours, batches, [&](size_t colour) { wide.solve(colour, h, false); },
                [&](ContactConstraint& c, const ContactRows& r, PairMotion& m) {
                    solveNormals(c, r, m, h, !backwards, false);
                    solveFriction(c, r, m);
                });
        }
    }
    eachConstraint(
        constraints, rows, bodies, colours, batches, [&](size_t colour) { wide.restitute(colour); },
        [](ContactConstraint& c, const ContactRows& r, PairMotion& m) {
            if (c.restitution != 0.0f)
                applyRestitution(c, r, m);
        });
    if (batches)
        wide.storeBack(constraints);
    const size_t batchCount = batches ? wide.batchCount() : 0;
    for (ContactConstraint& c : constraints) {
        std::copy(c.frictionImpulse, c.frictionImpulse + 3, c.manifold->frictionImpulse);
        for (int i = 0; i < c.count; ++i)
            c.manifold->points[i].normalImpulse = c.points[i].normalImpulse;
    }
    return batchCount;
}

} // namespace kve::physics
