// The iterative solver's step: sweep-and-prune over world bounds, contact manifolds for
// every pair with an awake body (waking sleepers that are touched), the solve of all
// contacts together, collision sounds and callbacks once per touching pair, sleeping, and
// the integration of the solved motion. Also the public switches of the solver.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>
#include <unordered_set>

#include "core/log.h"
#include "core/physics_lock.h"
#include "physics/band_sweep.h"
#include "physics/joint_rows.h"
#include "physics/key_sort.h"
#include "physics/solver.h"
#include "scene/object.h"

namespace kve::physics {
namespace {

uint64_t pairKey(const KVE_OBJECT* a, const KVE_OBJECT* b)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(a->number)) << 32 | static_cast<uint32_t>(b->number);
}

bool isDynamic(const KVE_OBJECT& object)
{
    return object.Body.mass != 0.0f;
}

struct Entry {
    KVE_OBJECT* object;
    BodyState* state; // null for static objects
    Vec3 lo, hi;
    bool point;           // a point body: its swept test runs as in the pairwise step
    bool moving;          // static objects: moves by its own velocity
    int solverIndex = -1; // static objects: their solver body, once a contact needs one
};

bool awakeDynamic(const Entry& e)
{
    return e.state && !e.state->sleeping;
}

bool pointBounds(const KVE_OBJECT& object, Vec3& lo, Vec3& hi)
{
    const Vec3 p = vec3(object.v4fPosition), s = vec3(object.Body.displacement);
    const Vec3 back = p - s * 1.5f, ahead = p + s * 0.5f;
    lo = {std::min(back.x, ahead.x), std::min(back.y, ahead.y), std::min(back.z, ahead.z)};
    hi = {std::max(back.x, ahead.x), std::max(back.y, ahead.y), std::max(back.z, ahead.z)};
    return std::isfinite(lo.x + lo.y + lo.z + hi.x + hi.y + hi.z);
}

float component(Vec3 v, int k)
{
    return k == 0 ? v.x : k == 1 ? v.y : v.z;
}

// Inverse inertia in world axes: R I^-1 R^T with the object's rotation (none when the
// inertia does not invert). I^-1 is kept in the body's record while its inertia stays.
Mat3 worldInverseInertia(const KVE_OBJECT& object, BodyState& body)
{
    if (!body.inverseKnown || std::memcmp(&body.inertia, &object.Body.inertia, sizeof(KVE_Matrix)) != 0) {
        KVE_Matrix inverse;
        KVE_CopyInvertMatrix(&inverse, &object.Body.inertia);
        body.inertia = object.Body.inertia;
        body.inverseKnown = true;
        body.inverts = true;
        for (int i = 0; i < 3; ++i) {
            body.localInverse.c[i] = vec3(inverse.c[i]);
            body.inverts = body.inverts && std::isfinite(inverse.c[i].x + inverse.c[i].y + inverse.c[i].z);
        }
    }
    if (!body.inverts)
        return {};
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        r.c[i] = normalized(vec3(object.rigidMatrix.c[i]));
    Mat3 out;
    // (R L R^T) e_k = R L (row k of R)
    for (int k = 0; k < 3; ++k) {
        const Vec3 row{component(r.c[0], k), component(r.c[1], k), component(r.c[2], k)};
        out.c[k] = r * (body.localInverse * row);
    }
    return out;
}

void tangentsOf(Vec3 n, Vec3 (&t)[2])
{
    // A fixed basis for each normal, so that friction impulses can be warm started.
    t[0] = std::fabs(n.x) >= 0.57735f ? normalized(Vec3{n.y, -n.x, 0.0f}) : normalized(Vec3{0.0f, n.z, -n.y});
    t[1] = cross(n, t[0]);
}

// Last step's impulses for the points that the same features made again, else for the
// nearest old point close enough to be the same contact.
void warmStart(Manifold& fresh, const Manifold& old)
{
    if (dot(fresh.normal, old.normal) < 0.95f)
        return;
    constexpr float kSameFeatureSquared = 0.1f * 0.1f, kSameSpotSquared = 0.02f * 0.02f;
    bool taken[kMaxManifoldPoints] = {};
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < fresh.count; ++i) {
            ManifoldPoint& p = fresh.points[i];
            if (p.normalImpulse != 0.0f)
                continue;
            int match = -1;
            float nearest = pass == 0 ? kSameFeatureSquared : kSameSpotSquared;
            for (int j = 0; j < old.count; ++j) {
                const Vec3 apart = p.point - old.points[j].point;
                const float squared = dot(apart, apart);
                if (!taken[j] && squared < nearest && (pass == 1 || old.points[j].feature == p.feature)) {
                    nearest = squared;
                    match = j;
                }
            }
            if (match < 0)
                continue;
            const ManifoldPoint& q = old.points[match];
            taken[match] = true;
            p.normalImpulse = q.normalImpulse;
            std::copy(old.frictionImpulse, old.frictionImpulse + 3, fresh.frictionImpulse);
        }
}

// Bounds of every object that collides.
void gatherEntries(World& w, IterativeState& state, std::vector<Entry>& entries)
{
    entries.clear();
    for (auto [object, record] : state.dynamic) {
        if (!object->Body.body)
            continue;
        BodyState& body = *record;
        Entry e{object, &body, {}, {}, bodyOf(*object)->type == KVE_BODY_POINT, false};
        if (body.sleeping) {
            e.lo = body.lo;
            e.hi = body.hi;
        } else if (!(e.point ? pointBounds(*object, e.lo, e.hi) : shapeBounds(*object, e.lo, e.hi)))
            continue;
        body.lo = e.lo;
        body.hi = e.hi;
        body.reach = 0.5f * length(e.hi - e.lo);
        entries.push_back(e);
    }
    for (KVE_OBJECT* object : w.staticSet) {
        if (!object->Body.body)
            continue;
        Entry e{object, nullptr, {}, {}, bodyOf(*object)->type == KVE_BODY_POINT, false};
        const Vec3 v = vec3(object->Body.v4fMovement), turn = vec3(object->Body.angularVelocity);
        e.moving = dot(v, v) + dot(turn, turn) > 0.0f;
        if (e.point ? pointBounds(*object, e.lo, e.hi) : shapeBounds(*object, e.lo, e.hi))
            entries.push_back(e);
    }
}

// A contact on its way into the solve: its solver bodies and its place in the order.
struct ContactSlot {
    Contact* contact;
    int a, b;
    uint32_t order;
};

struct StepScratch {
    std::vector<Entry> entries;
    std::vector<SweepBox> boxes;
    BandSweep sweep;
    std::vector<BoxPair> candidates;
    std::vector<Contact> contacts, sorted;
    std::vector<std::pair<uint64_t, uint32_t>> order, orderScratch; // contacts by pair key
    std::vector<ContactSlot> slots, sortedSlots;
    std::vector<uint32_t> orderStarts; // per order value, where its slots begin
    std::vector<uint64_t> colourMasks; // per moving solver body, the colours it took
    struct Report {
        KVE_OBJECT* a;
        KVE_OBJECT* b;
        int numberA, numberB;
        KVE_Vector point, normal;
        float approach;
    };
    std::vector<Report> reports;
};

// The pairs whose bounds meet and of which at least one entry is `active` (no pairs of
// two static objects).
template <class Active> void findCandidates(StepScratch& s, const Active& active)
{
    s.boxes.resize(s.entries.size());
    for (size_t i = 0; i < s.entries.size(); ++i) {
        const Entry& e = s.entries[i];
        s.boxes[i] = {e.lo, e.hi, e.state == nullptr, active(e)};
    }
    s.sweep.findPairs(s.boxes, s.candidates);
}

StepScratch& stepScratch()
{
    static StepScratch scratch;
    return scratch;
}

// Manifolds of every pair with an awake body; a sleeper that such a pair finds touching
// wakes with its island, and the pairs of what woke are then taken too, until nothing
// more wakes.
void findContacts(World& w, IterativeState& state, StepScratch& s)
{
    s.contacts.clear();
    forgetLeafTriangles();
    const uint64_t step = state.stepCount;
    findCandidates(s, [](const Entry& e) { return awakeDynamic(e) || e.moving; });
    for (bool again = true, first = true; again; first = false) {
        if (!first)
            findCandidates(s,
                           [step](const Entry& e) { return e.state && !e.state->sleeping && e.state->woken == step; });
        again = false;
        for (const BoxPair& candidate : s.candidates) {
            Entry& one = s.entries[candidate.first];
            Entry& two = s.entries[candidate.second];
            if (one.point || two.point) {
                if (first && (!one.point || !two.point)) {
                    Entry& point = one.point ? one : two;
                    Entry& other = one.point ? two : one;
                    w.response = 1;
                    collide(*other.object, *point.object); // the swept test with its own response
                    w.response = 0;
                    forgetLeafTriangles(); // a callback may have changed anything
                }
                continue;
            }
            KVE_OBJECT* a = one.object->number < two.object->number ? one.object : two.object;
            KVE_OBJECT* b = a == one.object ? two.object : one.object;
            Contact& contact = s.contacts.emplace_back(); // made in place, dropped if apart
            contact.key = pairKey(a, b);
            contact.a = a;
            contact.b = b;
            contact.step = step;
            contact.entryA = a == one.object ? candidate.first : candidate.second;
            contact.entryB = a == one.object ? candidate.second : candidate.first;
            if (!collideShapes(*a, *b, contact.manifold)) {
                s.contacts.pop_back();
                continue;
            }
            for (Entry* e : {&one, &two})
                if (e->state && e->state->sleeping) {
                    wakeIsland(state, *e->state);
                    again = true;
                }
        }
    }
    const size_t fresh = s.contacts.size();
    // Contacts among sleepers, and of sleepers with what does not move, stay as they were.
    if (!state.sleepingIslands.empty()) {
        std::unordered_set<const KVE_OBJECT*> statics(w.staticSet.begin(), w.staticSet.end());
        const auto resting = [&](KVE_OBJECT* object) {
            const auto found = state.bodies.find(object);
            return found != state.bodies.end() ? found->second.sleeping : statics.count(object) > 0;
        };
        for (const Contact& old : state.contacts)
            if (resting(old.a) && resting(old.b) && !(statics.count(old.a) && statics.count(old.b)))
                s.contacts.push_back(old);
    }
    // In pair order (sorting keys, not the contacts), each pair once, the first made; fresh
    // ones warm started from last step's contact of the same pair.
    s.order.clear();
    for (uint32_t i = 0; i < s.contacts.size(); ++i)
        s.order.push_back({s.contacts[i].key, i});
    sortByKey(s.order, s.orderScratch);
    s.sorted.clear();
    auto old = state.contacts.cbegin();
    for (size_t k = 0; k < s.order.size(); ++k) {
        const auto [key, index] = s.order[k];
        if (k > 0 && key == s.order[k - 1].first)
            continue;
        s.sorted.push_back(s.contacts[index]);
        while (old != state.contacts.cend() && old->key < key)
            ++old;
        if (index < fresh && old != state.contacts.cend() && old->key == key)
            warmStart(s.sorted.back().manifold, old->manifold);
    }
    state.contacts.swap(s.sorted);
}

// The solver body of an entry: an awake dynamic body's own, a static object's made on
// first use (impulses never move it).
int solverIndexOf(IterativeState& state, Entry& entry)
{
    if (entry.state)
        return entry.state->sleeping ? -1 : entry.state->solverIndex;
    if (entry.solverIndex < 0) {
        SolverBody body;
        body.v = vec3(entry.object->Body.v4fMovement);
        body.w = vec3(entry.object->Body.angularVelocity);
        body.fixed = true;
        entry.solverIndex = static_cast<int>(state.solverBodies.size());
        state.solverBodies.push_back(body);
        state.solved.push_back(entry.object);
    }
    return entry.solverIndex;
}

// The awake dynamic bodies as solver bodies, with what gravity and springs add over the step.
void gatherSolverBodies(IterativeState& state, float h)
{
    state.solverBodies.clear();
    state.solved.clear();
    state.solvedStates.clear();
    for (auto [object, record] : state.dynamic) {
        BodyState& body = *record;
        body.solverIndex = -1;
        body.moved = body.turned = {};
        if (body.sleeping)
            continue;
        const KVE_OBJECT_BODY& motion = object->Body;
        body.solverIndex = static_cast<int>(state.solverBodies.size());
        SolverBody solver;
        solver.v = vec3(motion.v4fMovement);
        solver.w = vec3(motion.angularVelocity);
        solver.pushed = vec3(motion.acceleration) * h;
        solver.spun = vec3(motion.angularAcceleration) * h;
        const bool solid = object->Body.body && bodyOf(*object)->type != KVE_BODY_POINT;
        solver.inverseMass = solid ? 1.0f / motion.mass : 0.0f;
        if (solid)
            solver.inverseInertia = worldInverseInertia(*object, body);
        state.solverBodies.push_back(solver);
        state.solved.push_back(object);
        state.solvedStates.push_back(&body);
    }
    state.dynamicSolved = state.solverBodies.size();
}

constexpr uint32_t kColours = 64;

// Within a colour: one-point contacts with a static first body, with a static second,
// between two moving ones, then the rest, so that the lanes' batches are alike. The
// contacts of a colour share no moving body, so their order does not change the solve;
// the last colour may share bodies and keeps its pair order.
uint32_t orderInColour(const ContactSlot& slot, uint32_t colour, size_t dynamicSolved)
{
    if (slot.contact->manifold.count != 1)
        return 3;
    if (colour == kColours - 1)
        return 0;
    return static_cast<size_t>(slot.a) >= dynamicSolved ? 0 : static_cast<size_t>(slot.b) >= dynamicSolved ? 1 : 2;
}

// Colours in pair order, greedily: the lowest colour that neither moving body has taken
// yet (static bodies take none: impulses never move them); a contact finding every
// colour taken goes into the last, which may share bodies. Then the constraints in colour
// order, each colour's one-point contacts first.
void buildConstraints(IterativeState& state, StepScratch& s)
{
    s.slots.clear();
    for (Contact& contact : state.contacts) {
        // Only this step's contacts: the others rest between sleepers and static objects.
        if (contact.step != state.stepCount || contact.manifold.count == 0)
            continue;
        const int a = solverIndexOf(state, s.entries[contact.entryA]);
        const int b = solverIndexOf(state, s.entries[contact.entryB]);
        if (a < 0 || b < 0)
            continue;
        if (static_cast<size_t>(a) >= state.dynamicSolved && static_cast<size_t>(b) >= state.dynamicSolved)
            continue;
        s.slots.push_back({&contact, a, b, 0});
    }
    s.colourMasks.assign(state.dynamicSolved, 0);
    const auto moving = [&](int body) { return static_cast<size_t>(body) < state.dynamicSolved; };
    const auto taken = [&](int body) { return moving(body) ? s.colourMasks[static_cast<size_t>(body)] : 0; };
    bool shared = false;
    for (ContactSlot& slot : s.slots) {
        const uint64_t free = ~(taken(slot.a) | taken(slot.b)) & ~(uint64_t{1} << (kColours - 1));
        const uint32_t colour = free ? static_cast<uint32_t>(__builtin_ctzll(free)) : kColours - 1;
        shared = shared || colour == kColours - 1;
        for (int body : {slot.a, slot.b})
            if (moving(body))
                s.colourMasks[static_cast<size_t>(body)] |= uint64_t{1} << colour;
        slot.order = colour * 4 + orderInColour(slot, colour, state.dynamicSolved);
    }
    // Stable by order, counting the few order values.
    s.orderStarts.assign(kColours * 4 + 1, 0);
    for (const ContactSlot& slot : s.slots)
        ++s.orderStarts[slot.order + 1];
    std::partial_sum(s.orderStarts.begin(), s.orderStarts.end(), s.orderStarts.begin());
    s.sortedSlots.resize(s.slots.size());
    for (const ContactSlot& slot : s.slots)
        s.sortedSlots[s.orderStarts[slot.order]++] = slot;
    s.slots.swap(s.sortedSlots);
    state.colours.starts.clear();
    // Last step's records are overwritten field by field (every field the solve reads is
    // set here or in the solver's preparation): clearing them first would cost as much as the rest.
    state.constraints.resize(s.slots.size());
    for (size_t k = 0; k < s.slots.size(); ++k) {
        const ContactSlot& slot = s.slots[k];
        const uint32_t colour = slot.order / 4;
        while (state.colours.starts.size() <= colour)
            state.colours.starts.push_back(k);
        Contact& contact = *slot.contact;
        ContactConstraint& c = state.constraints[k];
        c.bodyA = slot.a;
        c.bodyB = slot.b;
        c.normal = contact.manifold.normal;
        tangentsOf(c.normal, c.tangent);
        c.friction = contact.a->Body.friction * contact.b->Body.friction;
        c.restitution = contact.a->Body.restitution * contact.b->Body.restitution;
        c.rolls = bodyOf(*contact.a)->type == KVE_BODY_SPHERE || bodyOf(*contact.b)->type == KVE_BODY_SPHERE;
        c.count = contact.manifold.count;
        c.manifold = &contact.manifold;
        const Vec3 ca = vec3(contact.a->v4fPosition), cb = vec3(contact.b->v4fPosition);
        for (int i = 0; i < c.count; ++i) {
            const ManifoldPoint& p = contact.manifold.points[i];
            c.points[i].rA = p.point - ca;
            c.points[i].rB = p.point - cb;
            c.points[i].normalImpulse = p.normalImpulse;
        }
        std::copy(contact.manifold.frictionImpulse, contact.manifold.frictionImpulse + 3, c.frictionImpulse);
    }
    state.colours.starts.push_back(state.constraints.size());
    state.colours.lastShared = shared && state.colours.starts.size() == kColours + 1;
}

// Sounds and callbacks once per touching pair, with the approach speed of its fastest
// point. A callback may release objects: each report checks that its pair still exists.
void reportContacts(World& w, IterativeState& state, StepScratch& s)
{
    s.reports.clear();
    for (const ContactConstraint& c : state.constraints) {
        int fastest = -1;
        for (int i = 0; i < c.count; ++i)
            if (c.manifold->points[i].separation <= 0.0f &&
                (fastest < 0 || c.points[i].approach > c.points[fastest].approach))
                fastest = i;
        if (fastest < 0)
            continue;
        KVE_OBJECT* a = state.solved[static_cast<size_t>(c.bodyA)];
        KVE_OBJECT* b = state.solved[static_cast<size_t>(c.bodyB)];
        s.reports.push_back({a, b, a->number, b->number, vector(c.manifold->points[fastest].point, 1.0f),
                             vector(c.normal, 0.0f), c.points[fastest].approach});
    }
    // Until a callback runs, nothing can have been released.
    const uint64_t callbacksBefore = w.callbackCalls;
    for (const StepScratch::Report& r : s.reports) {
        if (w.callbackCalls != callbacksBefore &&
            (scene::findObject(r.numberA) != r.a || scene::findObject(r.numberB) != r.b))
            continue;
        w.contactPoint = r.point;
        w.contactNormal = r.normal;
        w.approachSpeed = r.approach;
        reportContact(*r.a, *r.b);
    }
}

void wakeJointPartners(World& w, IterativeState& state)
{
    for (const JointRecord* joint : w.activeJoints) {
        const auto a = state.bodies.find(joint->objectA), b = state.bodies.find(joint->objectB);
        if (a == state.bodies.end() || b == state.bodies.end())
            continue;
        if (a->second.sleeping != b->second.sleeping) {
            wakeIsland(state, a->second);
            wakeIsland(state, b->second);
        }
    }
}

// Whether last step's records still match the dynamic set one for one: no set has
// changed since, and every object of it was and still is dynamic.
bool sameDynamicSet(const World& w, const IterativeState& state)
{
    return state.setChanges == w.setChanges && state.dynamic.size() == w.dynamicSet.size() &&
           std::all_of(state.dynamic.begin(), state.dynamic.end(),
                       [](const auto& entry) { return isDynamic(*entry.first); });
}

// Records for the objects of the dynamic set; sleepers changed through the API wake.
void followDynamicSet(World& w, IterativeState& state)
{
    const uint64_t step = ++state.stepCount;
    if (!sameDynamicSet(w, state)) {
        state.dynamic.clear();
        for (KVE_OBJECT* object : w.dynamicSet)
            if (isDynamic(*object))
                state.dynamic.push_back({object, &state.bodies[object]});
        for (auto [object, body] : state.dynamic)
            body->seen = step;
        for (auto at = state.bodies.begin(); at != state.bodies.end();)
            at = at->second.seen == step ? std::next(at) : state.bodies.erase(at);
        state.setChanges = w.setChanges;
    }
    for (auto [object, body] : state.dynamic) {
        if (body->sleeping && (!w.sleeping || changedSinceSnapshot(*body, *object)))
            wakeIsland(state, *body);
    }
}

// Turns q by the small rotation vector `turn` (radians): q' = q + (turn, 0) q / 2, renormalised.
void integrateQuaternion(KVE_Quaternion& q, Vec3 turn)
{
    const float hx = 0.5f * turn.x, hy = 0.5f * turn.y, hz = 0.5f * turn.z;
    const KVE_Quaternion d{hx * q.w + hy * q.z - hz * q.y, hy * q.w + hz * q.x - hx * q.z,
                           hz * q.w + hx * q.y - hy * q.x, -(hx * q.x + hy * q.y + hz * q.z)};
    q = {q.x + d.x, q.y + d.y, q.z + d.z, q.w + d.w};
    const float l = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (l > 0.0f)
        q = {q.x / l, q.y / l, q.z / l, q.w / l};
}

} // namespace

IterativeState& iterativeState(World& w)
{
    if (!w.iterative)
        w.iterative = std::make_shared<IterativeState>();
    return *w.iterative;
}

void solveContacts(World& w)
{
    const float h = w.timeStep;
    if (!(h > 0.0f))
        return;
    IterativeState& state = iterativeState(w);
    StepScratch& s = stepScratch();
    followDynamicSet(w, state);
    wakeJointPartners(w, state);
    gatherEntries(w, state, s.entries);
    findContacts(w, state, s);
    gatherSolverBodies(state, h);
    buildConstraints(state, s);
    const SolverSettings settings{h, w.velocityIterations, w.positionIterations, w.wideContacts};
    std::vector<JointRow>& joints = prepareJointRows(w, state, settings);
    state.wideBatches = solveContactConstraints(state.constraints, joints, state.solverBodies, state.colours, settings);
    storeJointRows(joints, settings);
    for (size_t i = 0; i < state.dynamicSolved; ++i) {
        KVE_OBJECT* object = state.solved[i];
        const SolverBody& solved = state.solverBodies[i];
        object->Body.v4fMovement = vector(solved.v, 0.0f);
        object->Body.angularVelocity = vector(solved.w, 0.0f);
        BodyState& body = *state.solvedStates[i];
        body.moved = solved.moved;
        body.turned = solved.turned;
    }
    updateSleep(w, state, h);
    for (size_t i = 0; i < state.dynamicSolved; ++i) {
        BodyState& body = *state.solvedStates[i];
        if (body.sleeping) {
            body.moved = body.turned = {};
            takeSnapshot(body, *state.solved[i]);
        }
    }
    reportContacts(w, state, s);
}

void integrateSolved(World& w)
{
    const float h = w.timeStep;
    for (KVE_OBJECT* object : w.staticSet) {
        integrate(*object, h);
        object->Body.acceleration = {0, 0, 0, 0};
        object->Body.angularAcceleration = {0, 0, 0, 0};
    }
    IterativeState* state = w.iterative.get();
    // While the sets stay as the step found them, its records follow the dynamic set in
    // order; otherwise each object's is looked up.
    const bool followed = state && state->setChanges == w.setChanges;
    size_t next = 0;
    for (KVE_OBJECT* object : w.dynamicSet) {
        KVE_OBJECT_BODY& motion = object->Body;
        if (!motion.body && motion.mass == 0.0f)
            continue;
        const BodyState* body = nullptr;
        if (followed) {
            if (next < state->dynamic.size() && state->dynamic[next].first == object)
                body = state->dynamic[next++].second;
        } else if (state) {
            const auto found = state->bodies.find(object);
            body = found != state->bodies.end() ? &found->second : nullptr;
        }
        if (!body || !body->sleeping) {
            // A body that joined between the phases moves on at its velocity.
            const Vec3 moved = body ? body->moved : vec3(motion.v4fMovement) * h;
            const Vec3 turned = body ? body->turned : vec3(motion.angularVelocity) * h;
            motion.displacement = vector(moved, 0.0f);
            KVE_AddVector(&object->v4fPosition, &motion.displacement);
            integrateQuaternion(object->rotation, turned);
            scene::rebuildObjectMatrices(*object);
        }
        motion.acceleration = motion.mass != 0.0f ? w.gravity : KVE_Vector{0, 0, 0, 0};
        motion.angularAcceleration = {0, 0, 0, 0};
    }
}

void wakeForChange(KVE_OBJECT& object, bool released)
{
    World& w = world();
    if (!w.iterative)
        return;
    IterativeState& state = *w.iterative;
    const auto found = state.bodies.find(&object);
    if (found != state.bodies.end())
        wakeIsland(state, found->second);
    // Only sleepers wake, and every sleeper is in a sleeping island: with none, the
    // contacts need no scan (a change through the API is often made to many bodies).
    if (!state.sleepingIslands.empty())
        for (const Contact& contact : state.contacts) {
            if (contact.a != &object && contact.b != &object)
                continue;
            const auto other = state.bodies.find(contact.a == &object ? contact.b : contact.a);
            if (other != state.bodies.end())
                wakeIsland(state, other->second);
        }
    if (!released)
        return;
    std::erase_if(state.contacts, [&](const Contact& c) { return c.a == &object || c.b == &object; });
    if (found != state.bodies.end())
        state.bodies.erase(found);
}

} // namespace kve::physics

using namespace kve::physics;

extern "C" {

int KVE_SetPhysicsSolver(int solver)
{
    if (solver != KVE_SOLVER_PAIRWISE && solver != KVE_SOLVER_ITERATIVE) {
        kve::log::fail("Fail: Unknown solver!", "KVE_SetPhysicsSolver");
        return 0;
    }
    std::lock_guard lock(kve::core::physicsLock());
    World& w = world();
    if (w.solver != solver)
        w.iterative.reset(); // sleepers wake; contacts start afresh
    w.solver = solver;
    return 1;
}

int KVE_SetSolverIterations(int velocity, int position)
{
    if (velocity < 1 || velocity > 100 || position < 0 || position > 100) {
        kve::log::fail("Fail: Iterations out of range!", "KVE_SetSolverIterations");
        return 0;
    }
    std::lock_guard lock(kve::core::physicsLock());
    world().velocityIterations = velocity;
    world().positionIterations = position;
    return 1;
}

int KVE_SetSleeping(int on)
{
    std::lock_guard lock(kve::core::physicsLock());
    World& w = world();
    w.sleeping = on != 0;
    if (!w.sleeping && w.iterative)
        for (auto& [object, body] : w.iterative->bodies)
            wakeIsland(*w.iterative, body);
    return 1;
}

int KVE_IsObjectSleeping(int object)
{
    KVE_OBJECT* found = kve::scene::findObject(object);
    World& w = world();
    if (!found || !w.iterative)
        return 0;
    const auto body = w.iterative->bodies.find(found);
    return body != w.iterative->bodies.end() && body->second.sleeping ? 1 : 0;
}

int KVE_GetSleepingObjectCount(void)
{
    std::lock_guard lock(kve::core::physicsLock());
    World& w = world();
    if (!w.iterative || w.solver != KVE_SOLVER_ITERATIVE)
        return 0;
    int count = 0;
    for (KVE_OBJECT* object : w.dynamicSet) {
        const auto body = w.iterative->bodies.find(object);
        count += body != w.iterative->bodies.end() && body->second.sleeping ? 1 : 0;
    }
    return count;
}

int KVE_WakeObject(int object)
{
    KVE_OBJECT* found = kve::scene::findObject(object);
    if (!found)
        return 0;
    std::lock_guard lock(kve::core::physicsLock());
    World& w = world();
    if (w.iterative) {
        const auto body = w.iterative->bodies.find(found);
        if (body != w.iterative->bodies.end())
            wakeIsland(*w.iterative, body->second);
    }
    return 1;
}

} // extern "C"
