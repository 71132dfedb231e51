#include "physics/wide_contacts.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

namespace kve::physics {
namespace {

// ---- lanes: each operation as the scalar solver's, rounding and ties alike --------------

struct Mask {
    __m128 m;
};

Wide splat(float f)
{
    return {_mm_set1_ps(f)};
}
Wide operator+(Wide a, Wide b)
{
    return {_mm_add_ps(a.m, b.m)};
}
Wide operator-(Wide a, Wide b)
{
    return {_mm_sub_ps(a.m, b.m)};
}
Wide operator-(Wide a)
{
    return {_mm_xor_ps(a.m, _mm_set1_ps(-0.0f))};
}
Wide operator*(Wide a, Wide b)
{
    return {_mm_mul_ps(a.m, b.m)};
}
Wide operator/(Wide a, Wide b)
{
    return {_mm_div_ps(a.m, b.m)};
}
Mask operator<(Wide a, Wide b)
{
    return {_mm_cmplt_ps(a.m, b.m)};
}
Mask operator>(Wide a, Wide b)
{
    return {_mm_cmpgt_ps(a.m, b.m)};
}
// Unordered comparisons, true for NaN as the scalar negations are.
Mask notLessOrEqual(Wide a, Wide b)
{
    return {_mm_cmpnle_ps(a.m, b.m)};
}
Mask operator!=(Wide a, Wide b)
{
    return {_mm_cmpneq_ps(a.m, b.m)};
}
Mask and_(Mask a, Mask b)
{
    return {_mm_and_ps(a.m, b.m)};
}
// mask ? a : b, lane by lane.
Wide select(Mask mask, Wide a, Wide b)
{
    return {_mm_or_ps(_mm_and_ps(mask.m, a.m), _mm_andnot_ps(mask.m, b.m))};
}
WideVec3 select(Mask mask, WideVec3 a, WideVec3 b)
{
    return {select(mask, a.x, b.x), select(mask, a.y, b.y), select(mask, a.z, b.z)};
}
// std::max and std::min, which keep their first argument on ties and NaN.
Wide maxOf(Wide a, Wide b)
{
    return select(a < b, b, a);
}
Wide minOf(Wide a, Wide b)
{
    return select(b < a, b, a);
}
Wide sqrtOf(Wide a)
{
    return {_mm_sqrt_ps(a.m)};
}

WideVec3 operator+(WideVec3 a, WideVec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
WideVec3 operator-(WideVec3 a, WideVec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
WideVec3 operator*(WideVec3 a, Wide s)
{
    return {a.x * s, a.y * s, a.z * s};
}
Wide dot(WideVec3 a, WideVec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
WideVec3 cross(WideVec3 a, WideVec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Columns times v, as Mat3::operator*.
WideVec3 transform(const WideVec3 (&columns)[3], WideVec3 v)
{
    return columns[0] * v.x + columns[1] * v.y + columns[2] * v.z;
}
WideVec3 normalizedOf(WideVec3 a)
{
    const Wide l = sqrtOf(dot(a, a));
    const WideVec3 zero{splat(0), splat(0), splat(0)};
    return select(l > splat(0.0f), a * (splat(1.0f) / l), zero);
}

// ---- packing lanes ---------------------------------------------------------------------

// Builds a wide value from one float of each lane's source.
template <class Source, class Field> Wide gather(const Source* const (&from)[4], const Field& field)
{
    return {_mm_setr_ps(field(*from[0]), field(*from[1]), field(*from[2]), field(*from[3]))};
}
template <class Source, class Field> WideVec3 gatherVec3(const Source* const (&from)[4], const Field& field)
{
    return {gather(from, [&](const Source& s) { return field(s).x; }),
            gather(from, [&](const Source& s) { return field(s).y; }),
            gather(from, [&](const Source& s) { return field(s).z; })};
}

void scatter(WideVec3 v, int lane, Vec3& out)
{
    alignas(16) float x[4], y[4], z[4];
    _mm_store_ps(x, v.x.m);
    _mm_store_ps(y, v.y.m);
    _mm_store_ps(z, v.z.m);
    out = {x[lane], y[lane], z[lane]};
}

float laneOf(Wide v, int lane)
{
    alignas(16) float f[4];
    _mm_store_ps(f, v.m);
    return f[lane];
}

// An empty lane: no lever, normal or impulse against a still body, so its rows and every
// impulse it finds are zero; its results are never stored.
const ContactConstraint& emptyConstraint()
{
    static const ContactConstraint empty;
    return empty;
}
// The body of an empty lane: read, never written.
const SolverBody& emptyLaneBody()
{
    static const SolverBody empty;
    return empty;
}
// Where the velocities of a static body's lane and of an empty lane are written: nothing
// reads it.
SolverBody& sink()
{
    static thread_local SolverBody sink;
    return sink;
}

// A static body at rest: its velocities are zero to the bit and stay so through the
// solve (every impulse it takes is multiplied by its zero inverse mass and inertia).
bool atRest(const SolverBody& body)
{
    const float values[] = {body.v.x, body.v.y, body.v.z, body.w.x, body.w.y, body.w.z};
    return body.fixed &&
           std::all_of(std::begin(values), std::end(values), [](float f) { return std::bit_cast<uint32_t>(f) == 0u; });
}

// A solver body's first twelve floats (v, w, moved, turned) lie in a row: four bodies'
// are loaded as three blocks of four floats each and transposed into lanes, and stored
// back the same way, instead of one float at a time.
static_assert(offsetof(SolverBody, v) == 0 && offsetof(SolverBody, w) == 3 * sizeof(float) &&
              offsetof(SolverBody, moved) == 6 * sizeof(float) && offsetof(SolverBody, turned) == 9 * sizeof(float));

// Floats 4k..4k+3 of four bodies: out[j] holds float 4k+j of body l in lane l.
void loadBlock(const SolverBody* const (&body)[4], int k, Wide (&out)[4])
{
    __m128 r0 = _mm_loadu_ps(&body[0]->v.x + 4 * k), r1 = _mm_loadu_ps(&body[1]->v.x + 4 * k),
           r2 = _mm_loadu_ps(&body[2]->v.x + 4 * k), r3 = _mm_loadu_ps(&body[3]->v.x + 4 * k);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    out[0].m = r0, out[1].m = r1, out[2].m = r2, out[3].m = r3;
}
// The reverse of loadBlock.
void storeBlock(const Wide (&in)[4], int k, SolverBody* const (&body)[4])
{
    __m128 r0 = in[0].m, r1 = in[1].m, r2 = in[2].m, r3 = in[3].m;
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    _mm_storeu_ps(&body[0]->v.x + 4 * k, r0);
    _mm_storeu_ps(&body[1]->v.x + 4 * k, r1);
    _mm_storeu_ps(&body[2]->v.x + 4 * k, r2);
    _mm_storeu_ps(&body[3]->v.x + 4 * k, r3);
}

// One side of four lanes: its velocities, and moved.x and .y, which share the second
// block with w.y and w.z and go back unchanged.
struct WideSide {
    WideVec3 v, w;
    Wide movedX, movedY;

    void load(const SolverBody* const (&body)[4])
    {
        Wide first[4], second[4];
        loadBlock(body, 0, first);
        loadBlock(body, 1, second);
        v = {first[0], first[1], first[2]};
        w = {first[3], second[0], second[1]};
        movedX = second[2];
        movedY = second[3];
    }
    void store(SolverBody* const (&body)[4]) const
    {
        storeBlock({v.x, v.y, v.z, w.x}, 0, body);
        storeBlock({w.y, w.z, movedX, movedY}, 1, body);
    }
    // moved and turned, the rest of them from the third block.
    void motion(const SolverBody* const (&body)[4], WideVec3& moved, WideVec3& turned) const
    {
        Wide third[4];
        loadBlock(body, 2, third);
        moved = {movedX, movedY, third[0]};
        turned = {third[1], third[2], third[3]};
    }
};

// The four lanes' velocities while a pass works on a batch, as PairMotion does for one.
// A side still in every lane (`still`) is all zeros and stays so: it is neither loaded,
// moved nor stored, and every sum keeps its zero terms, so the results are the same.
template <StillSide still> struct WideMotion {
    const WideContact& c;
    WideSide a{}, b{};

    explicit WideMotion(const WideContact& contact) : c(contact)
    {
        if constexpr (still != StillSide::A)
            a.load(c.readA);
        if constexpr (still != StillSide::B)
            b.load(c.readB);
    }
    void store() const
    {
        if constexpr (still != StillSide::A)
            a.store(c.writeA);
        if constexpr (still != StillSide::B)
            b.store(c.writeB);
    }
    Wide speed(const WideRow& row) const
    {
        return dot(b.v - a.v, row.direction) + dot(b.w, row.leverB) - dot(a.w, row.leverA);
    }
    Wide moved(const WideRow& row) const
    {
        WideVec3 movedA{}, movedB{}, turnedA{}, turnedB{};
        if constexpr (still != StillSide::A)
            a.motion(c.readA, movedA, turnedA);
        if constexpr (still != StillSide::B)
            b.motion(c.readB, movedB, turnedB);
        return dot(movedB - movedA, row.direction) + dot(turnedB, row.leverB) - dot(turnedA, row.leverA);
    }
    void apply(const WideRow& row, Wide impulse)
    {
        if constexpr (still != StillSide::A) {
            a.v = a.v - row.direction * (impulse * c.inverseMassA);
            a.w = a.w - row.turnA * impulse;
        }
        if constexpr (still != StillSide::B) {
            b.v = b.v + row.direction * (impulse * c.inverseMassB);
            b.w = b.w + row.turnB * impulse;
        }
    }
    // An angular impulse against the relative turning, in the lanes of `mask`.
    void turn(Mask mask, WideVec3 impulse)
    {
        if constexpr (still != StillSide::A)
            a.w = select(mask, a.w - transform(c.inertiaA, impulse), a.w);
        if constexpr (still != StillSide::B)
            b.w = select(mask, b.w + transform(c.inertiaB, impulse), b.w);
    }
};

// Runs kernel(batch, still) on batches [from, to) with the batch's still side as a
// compile-time constant.
template <class Kernel> void eachBatch(std::vector<WideContact>& batches, size_t from, size_t to, const Kernel& kernel)
{
    for (size_t i = from; i < to; ++i) {
        WideContact& c = batches[i];
        switch (c.still) {
        case StillSide::A:
            kernel(c, std::integral_constant<StillSide, StillSide::A>{});
            break;
        case StillSide::B:
            kernel(c, std::integral_constant<StillSide, StillSide::B>{});
            break;
        case StillSide::None:
            kernel(c, std::integral_constant<StillSide, StillSide::None>{});
            break;
        }
    }
}

// As makeRow in contact_solver.cpp.
WideRow makeRow(Wide inverseMassA, Wide inverseMassB, const WideVec3 (&inertiaA)[3], const WideVec3 (&inertiaB)[3],
                WideVec3 rA, WideVec3 rB, WideVec3 d)
{
    WideRow row;
    row.direction = d;
    row.leverA = cross(rA, d);
    row.leverB = cross(rB, d);
    row.turnA = transform(inertiaA, row.leverA);
    row.turnB = transform(inertiaB, row.leverB);
    const Wide k = inverseMassA + inverseMassB + dot(row.leverA, row.turnA) + dot(row.leverB, row.turnB);
    row.mass = select(k > splat(0.0f), splat(1.0f) / k, splat(0.0f));
    return row;
}

// A batch's rows, rolling resistance and approach speeds, as prepareContacts makes them
// for a one-point contact, from the lanes' constraints and bodies.
void prepare(WideContact& batch, const ContactConstraint* const (&lane)[4], const SolverBody* const (&a)[4],
             const SolverBody* const (&b)[4])
{
    const Wide zero = splat(0.0f);
    batch.inverseMassA = gather(a, [](const SolverBody& s) { return s.inverseMass; });
    batch.inverseMassB = gather(b, [](const SolverBody& s) { return s.inverseMass; });
    for (int k = 0; k < 3; ++k) {
        batch.inertiaA[k] = gatherVec3(a, [k](const SolverBody& s) { return s.inverseInertia.c[k]; });
        batch.inertiaB[k] = gatherVec3(b, [k](const SolverBody& s) { return s.inverseInertia.c[k]; });
    }
    const WideVec3 normal = gatherVec3(lane, [](const ContactConstraint& c) { return c.normal; });
    const WideVec3 rA = gatherVec3(lane, [](const ContactConstraint& c) { return c.points[0].rA; });
    const WideVec3 rB = gatherVec3(lane, [](const ContactConstraint& c) { return c.points[0].rB; });
    // The patch's centre: the mean of one point.
    const WideVec3 origin{zero, zero, zero};
    const WideVec3 centreA = origin + rA * splat(1.0f), centreB = origin + rB * splat(1.0f);
    for (int t = 0; t < 2; ++t)
        batch.frictionRow[t] =
            makeRow(batch.inverseMassA, batch.inverseMassB, batch.inertiaA, batch.inertiaB, centreA, centreB,
                    gatherVec3(lane, [t](const ContactConstraint& c) { return c.tangent[t]; }));
    batch.normalRow = makeRow(batch.inverseMassA, batch.inverseMassB, batch.inertiaA, batch.inertiaB, rA, rB, normal);

    const WideVec3(&iA)[3] = batch.inertiaA;
    const WideVec3(&iB)[3] = batch.inertiaB;
    const Wide turn = (iA[0].x + iA[1].y + iA[2].z + iB[0].x + iB[1].y + iB[2].z) / splat(3.0f);
    const Wide rolls = gather(lane, [](const ContactConstraint& c) { return c.rolls ? 1.0f : 0.0f; });
    batch.rollingMass = select(and_(rolls > zero, turn > zero), splat(1.0f) / turn, zero);
    batch.rollingLever = maxOf(sqrtOf(dot(rA, rA)), sqrtOf(dot(rB, rB)));
    batch.rollingImpulse = origin;

    WideSide sideA, sideB;
    sideA.load(a);
    sideB.load(b);
    const WideRow& row = batch.normalRow;
    batch.approach = -(dot(sideB.v - sideA.v, row.direction) + dot(sideB.w, row.leverB) - dot(sideA.w, row.leverA));
    batch.largestImpulse = zero;

    batch.normalImpulse = gather(lane, [](const ContactConstraint& c) { return c.points[0].normalImpulse; });
    batch.frictionImpulse[0] = gather(lane, [](const ContactConstraint& c) { return c.frictionImpulse[0]; });
    batch.frictionImpulse[1] = gather(lane, [](const ContactConstraint& c) { return c.frictionImpulse[1]; });
    batch.friction = gather(lane, [](const ContactConstraint& c) { return c.friction; });
    batch.restitution = gather(lane, [](const ContactConstraint& c) { return c.restitution; });
    batch.separation =
        gather(lane, [](const ContactConstraint& c) { return c.manifold ? c.manifold->points[0].separation : 0.0f; });
}

} // namespace

void WideContacts::build(const std::vector<ContactConstraint>& constraints, std::vector<SolverBody>& bodies,
                         const std::vector<size_t>& colourStarts, bool lastColourShared)
{
    const auto stillSide = [&](const ContactConstraint& c) {
        return atRest(bodies[static_cast<size_t>(c.bodyA)])   ? StillSide::A
               : atRest(bodies[static_cast<size_t>(c.bodyB)]) ? StillSide::B
                                                              : StillSide::None;
    };
    size_t used = 0; // batches_ keeps last step's records: each is overwritten whole below
    batchStarts_.clear();
    scalarStarts_.clear();
    const size_t colours = colourStarts.empty() ? 0 : colourStarts.size() - 1;
    for (size_t colour = 0; colour < colours; ++colour) {
        batchStarts_.push_back(used);
        size_t at = colourStarts[colour];
        const size_t end = colourStarts[colour + 1];
        const bool shared = lastColourShared && colour + 1 == colours;
        while (!shared && at < end && constraints[at].count == 1) {
            if (used == batches_.size())
                batches_.emplace_back();
            WideContact& batch = batches_[used++];
            batch.lanes = 0;
            batch.still = stillSide(constraints[at]);
            const ContactConstraint* lane[4];
            for (int l = 0; l < 4; ++l) {
                const bool taken = at < end && constraints[at].count == 1 && stillSide(constraints[at]) == batch.still;
                lane[l] = taken ? &constraints[at] : &emptyConstraint();
                SolverBody* a = taken ? &bodies[static_cast<size_t>(lane[l]->bodyA)] : nullptr;
                SolverBody* b = taken ? &bodies[static_cast<size_t>(lane[l]->bodyB)] : nullptr;
                batch.readA[l] = a ? a : &emptyLaneBody();
                batch.readB[l] = b ? b : &emptyLaneBody();
                batch.writeA[l] = a && !a->fixed ? a : &sink();
                batch.writeB[l] = b && !b->fixed ? b : &sink();
                if (!taken)
                    continue;
                batch.constraint[l] = at++;
                batch.lanes = l + 1;
            }
            prepare(batch, lane, batch.readA, batch.readB);
        }
        scalarStarts_.push_back(at);
    }
    batchStarts_.push_back(used);
    batches_.resize(used);
}

// As the scalar warm start of a one-point contact (no twist: one point has none).
void WideContacts::warmStart(size_t colour)
{
    eachBatch(batches_, batchStarts_[colour], batchStarts_[colour + 1], [](WideContact& c, auto still) {
        WideMotion<still()> m(c);
        m.apply(c.normalRow, c.normalImpulse);
        m.apply(c.frictionRow[0], c.frictionImpulse[0]);
        m.apply(c.frictionRow[1], c.frictionImpulse[1]);
        m.store();
    });
}

// As the scalar solveNormals and solveFriction of a one-point contact.
void WideContacts::solve(size_t colour, float h, bool correct)
{
    const Wide zero = splat(0.0f), step = splat(h), slop = splat(kLinearSlop);
    eachBatch(batches_, batchStarts_[colour], batchStarts_[colour + 1], [&](WideContact& c, auto still) {
        WideMotion<still()> m(c);

        const Wide separation = c.separation + m.moved(c.normalRow);
        Wide target = zero;
        if (correct) {
            const Wide push = minOf(splat(kCorrectionRate) * (-separation - slop) / step, splat(kMaxCorrectionSpeed));
            target = select(separation < -slop, push, target);
        }
        target = select(separation > zero, -separation / step, target);
        const Wide total = maxOf(c.normalImpulse + c.normalRow.mass * (target - m.speed(c.normalRow)), zero);
        m.apply(c.normalRow, total - c.normalImpulse);
        c.normalImpulse = total;
        c.largestImpulse = maxOf(c.largestImpulse, total);

        const Wide normal = zero + c.normalImpulse;
        const Wide limit = c.friction * normal;
        Wide t0 = c.frictionImpulse[0] - c.frictionRow[0].mass * m.speed(c.frictionRow[0]);
        Wide t1 = c.frictionImpulse[1] - c.frictionRow[1].mass * m.speed(c.frictionRow[1]);
        const Wide squared = t0 * t0 + t1 * t1;
        const Mask outside = squared > limit * limit;
        const Wide scale = limit / sqrtOf(squared);
        t0 = select(outside, t0 * scale, t0);
        t1 = select(outside, t1 * scale, t1);
        m.apply(c.frictionRow[0], t0 - c.frictionImpulse[0]);
        m.apply(c.frictionRow[1], t1 - c.frictionImpulse[1]);
        c.frictionImpulse[0] = t0;
        c.frictionImpulse[1] = t1;

        // Lanes without rolling resistance, and rolling within its limit, keep what they
        // have: the selects would give it back unchanged, so batches where no lane needs
        // them skip their arithmetic.
        const Mask rolling = c.rollingMass > zero;
        if (_mm_movemask_ps(rolling.m) != 0) {
            const WideVec3 turning = m.b.w - m.a.w;
            WideVec3 rolled = c.rollingImpulse - turning * c.rollingMass;
            const Wide rollingLimit = splat(kRollingShare) * limit * c.rollingLever;
            const Mask over = dot(rolled, rolled) > rollingLimit * rollingLimit;
            if (_mm_movemask_ps(over.m) != 0)
                rolled = select(over, normalizedOf(rolled) * rollingLimit, rolled);
            m.turn(rolling, rolled - c.rollingImpulse);
            c.rollingImpulse = select(rolling, rolled, c.rollingImpulse);
        }
        m.store();
    });
}

// As applyRestitution of a one-point contact whose restitution is not zero.
void WideContacts::restitute(size_t colour)
{
    eachBatch(batches_, batchStarts_[colour], batchStarts_[colour + 1], [](WideContact& c, auto still) {
        const Mask bounces =
            and_(and_(c.restitution != splat(0.0f), notLessOrEqual(c.approach, splat(kRestitutionThreshold))),
                 c.largestImpulse != splat(0.0f));
        if (_mm_movemask_ps(bounces.m) == 0)
            return;
        WideMotion<still()> m(c);
        const WideSide a = m.a, b = m.b;
        const Wide vn = m.speed(c.normalRow);
        const Wide total = maxOf(c.normalImpulse + c.normalRow.mass * (c.restitution * c.approach - vn), splat(0.0f));
        m.apply(c.normalRow, total - c.normalImpulse);
        c.normalImpulse = select(bounces, total, c.normalImpulse);
        m.a.v = select(bounces, m.a.v, a.v);
        m.a.w = select(bounces, m.a.w, a.w);
        m.b.v = select(bounces, m.b.v, b.v);
        m.b.w = select(bounces, m.b.w, b.w);
        m.store();
    });
}

void WideContacts::storeBack(std::vector<ContactConstraint>& constraints) const
{
    for (const WideContact& c : batches_)
        for (int lane = 0; lane < c.lanes; ++lane) {
            ContactConstraint& out = constraints[c.constraint[lane]];
            out.points[0].normalImpulse = laneOf(c.normalImpulse, lane);
            out.points[0].largestImpulse = laneOf(c.largestImpulse, lane);
            out.points[0].approach = laneOf(c.approach, lane);
            out.frictionImpulse[0] = laneOf(c.frictionImpulse[0], lane);
            out.frictionImpulse[1] = laneOf(c.frictionImpulse[1], lane);
            out.frictionImpulse[2] = 0.0f; // one point has no twist
            scatter(c.rollingImpulse, lane, out.rollingImpulse);
        }
}

} // namespace kve::physics
