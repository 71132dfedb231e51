// The pair loop of the collision phase. Its order is fixed: each dynamic object with
// every later dynamic object, then with every static object, and the narrow phase moves
// objects as it goes, so results depend on that order. The broad phase keeps it: a hash
// grid over padded world boxes skips only pairs whose boxes are apart, the rest run in
// the same order, and whatever moves out of its padded box is re-entered before the next
// pair. A collision callback may change anything: after one, every box is measured
// again, and when the sets themselves change the loop goes on as the plain one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "physics/physics.h"

namespace kve::physics {
namespace {

struct Box {
    float min[3];
    float max[3];
};

bool overlap(const Box& a, const Box& b)
{
    return a.min[0] <= b.max[0] && b.min[0] <= a.max[0] && a.min[1] <= b.max[1] && b.min[1] <= a.max[1] &&
           a.min[2] <= b.max[2] && b.min[2] <= a.max[2];
}

bool contains(const Box& outer, const Box& inner)
{
    for (int axis = 0; axis < 3; ++axis)
        if (!(outer.min[axis] <= inner.min[axis] && inner.max[axis] <= outer.max[axis]))
            return false;
    return true;
}

float sizeOf(const Box& box)
{
    return std::max({box.max[0] - box.min[0], box.max[1] - box.min[1], box.max[2] - box.min[2]});
}

Box grown(const Box& box, float by)
{
    return {{box.min[0] - by, box.min[1] - by, box.min[2] - by}, {box.max[0] + by, box.max[1] + by, box.max[2] + by}};
}

// What an object's narrow phase can reach. None: it takes part in no test (no body, an
// empty body). Everywhere: no box can be trusted (non-finite or far-out values, a nearly
// singular matrix, a point sweep so short that the sphere test overflows), so it is
// paired with everything as in the plain loop.
enum class Reach : uint8_t { None, Bounded, Everywhere };

// Beyond this distance from the origin float spacing is too coarse for a box to bound
// the narrow phase's arithmetic.
constexpr float kFarLimit = 1e8f;
// Allowance for rounding in the narrow phase (tests run in other frames, through
// inverted matrices), relative to the size and distance from the origin.
constexpr float kRounding = 1e-4f;
// Padding: what the narrow phase may move an object within one pass without a re-entry.
constexpr float kPadShare = 0.05f, kPadMinimum = 0.01f;
// A point sweep shorter than this may overflow the sphere–point test's divisions.
constexpr float kShortestSweepSquared = 1e-20f;

// Mesh bounds go through the world matrix; a matrix far from a rotation with moderate
// scale would make the narrow phase's inverse unreliable.
bool wellConditioned(const KVE_Matrix& m)
{
    if (m.c[0].w != 0.0f || m.c[1].w != 0.0f || m.c[2].w != 0.0f || m.c[3].w != 1.0f)
        return false;
    const KVE_Vector &a = m.c[0], &b = m.c[1], &c = m.c[2];
    const float la = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    const float lb = std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z);
    const float lc = std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
    const float longest = std::max({la, lb, lc}), shortest = std::min({la, lb, lc});
    const float det = a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    return shortest > 0.0f && shortest >= 0.01f * longest && std::fabs(det) >= 0.5f * la * lb * lc;
}

Box around(const KVE_Vector& centre, const float (&half)[3])
{
    return {{centre.x - half[0], centre.y - half[1], centre.z - half[2]},
            {centre.x + half[0], centre.y + half[1], centre.z + half[2]}};
}

// The world box of everything the object's narrow phase reads: a sphere's centre and
// scaled radius, a point's sweep (1.5 steps back to half a step ahead), the root box of
// a mesh or box body through its world matrix (every leaf's geometry lies inside it).
Reach reachOf(const KVE_OBJECT& object, Box& box)
{
    const BodyRecord* body = bodyOf(object);
    if (!body)
        return Reach::None;
    switch (body->type) {
    case KVE_BODY_SPHERE: {
        const float r = std::fabs(body->radius * object.Body.sizeFactor);
        box = around(object.v4fPosition, {r, r, r});
        break;
    }
    case KVE_BODY_POINT: {
        const KVE_Vector& p = object.v4fPosition;
        const KVE_Vector& s = object.Body.displacement;
        const float ss = s.x * s.x + s.y * s.y + s.z * s.z;
        if (ss != 0.0f && !(ss >= kShortestSweepSquared))
            return Reach::Everywhere;
        const float back[3] = {p.x - 1.5f * s.x, p.y - 1.5f * s.y, p.z - 1.5f * s.z};
        const float ahead[3] = {p.x + 0.5f * s.x, p.y + 0.5f * s.y, p.z + 0.5f * s.z};
        for (int axis = 0; axis < 3; ++axis) {
            box.min[axis] = std::min(back[axis], ahead[axis]);
            box.max[axis] = std::max(back[axis], ahead[axis]);
        }
        break;
    }
    case KVE_BODY_BOX:
    case KVE_BODY_MESH: {
        const KVE_Matrix& m = object.fullMatrix;
        if (!body->root || !wellConditioned(m))
            return Reach::Everywhere;
        const KVE_Vector& c = body->root->centre;
        const float h[3] = {std::fabs(body->root->halfSize.x), std::fabs(body->root->halfSize.y),
                            std::fabs(body->root->halfSize.z)};
        const KVE_Vector centre{m.c[0].x * c.x + m.c[1].x * c.y + m.c[2].x * c.z + m.c[3].x,
                                m.c[0].y * c.x + m.c[1].y * c.y + m.c[2].y * c.z + m.c[3].y,
                                m.c[0].z * c.x + m.c[1].z * c.y + m.c[2].z * c.z + m.c[3].z, 1.0f};
        const float half[3] = {
            std::fabs(m.c[0].x) * h[0] + std::fabs(m.c[1].x) * h[1] + std::fabs(m.c[2].x) * h[2],
            std::fabs(m.c[0].y) * h[0] + std::fabs(m.c[1].y) * h[1] + std::fabs(m.c[2].y) * h[2],
            std::fabs(m.c[0].z) * h[0] + std::fabs(m.c[1].z) * h[1] + std::fabs(m.c[2].z) * h[2]};
        box = around(centre, half);
        break;
    }
    default:
        return Reach::None;
    }
    float magnitude = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        if (!(std::fabs(box.min[axis]) <= kFarLimit && std::fabs(box.max[axis]) <= kFarLimit))
            return Reach::Everywhere; // also NaN
        magnitude = std::max({magnitude, std::fabs(box.min[axis]), std::fabs(box.max[axis])});
    }
    box = grown(box, kRounding * (magnitude + sizeOf(box)) + 1e-6f);
    return Reach::Bounded;
}

Box padded(const Box& box)
{
    return grown(box, kPadShare * sizeOf(box) + kPadMinimum);
}

// A hash grid over the padded boxes of one set. Each box is entered in every cell it
// covers; boxes covering too many cells, and boxes that moved out of their cells during
// the pass, are checked one by one instead. Queries answer set indices in ascending
// order, which is the order the pair loop needs.
class Grid {
public:
    void build(const std::vector<Box>& boxes, const std::vector<Reach>& reach)
    {
        boxes_ = &boxes;
        reach_ = &reach;
        const size_t count = boxes.size();
        kind_.assign(count, Kind::Never);
        stamp_.assign(count, 0);
        stampNow_ = 0;
        loose_.clear();
        large_.clear();
        everywhere_.clear();
        chooseCellSize();

        size_t cells = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (reach[i] == Reach::Everywhere) {
                kind_[i] = Kind::Everywhere;
                everywhere_.push_back(i);
            } else if (reach[i] == Reach::Bounded) {
                const Range r = rangeOf(boxes[i]);
                if (r.cells() > kMostCells) {
                    kind_[i] = Kind::Large;
                    large_.push_back(i);
                } else {
                    kind_[i] = Kind::Grid;
                    cells += r.cells();
                }
            }
        }
        size_t capacity = 16;
        while (capacity < 2 * cells)
            capacity *= 2;
        mask_ = capacity - 1;
        keys_.assign(capacity, kEmpty);
        start_.assign(capacity + 1, 0);
        slots_.clear();
        slots_.reserve(cells);
        forEachGridCell([&](uint64_t key, uint32_t) {
            const size_t slot = insert(key);
            slots_.push_back(static_cast<uint32_t>(slot));
            ++start_[slot + 1];
        });
        for (size_t s = 0; s < capacity; ++s)
            start_[s + 1] += start_[s];
        entries_.resize(cells);
        fill_.assign(start_.begin(), start_.end() - 1);
        size_t next = 0;
        forEachGridCell([&](uint64_t, uint32_t index) { entries_[fill_[slots_[next++]]++] = index; });
        gridEntries_ = cells;
    }

    // The object's padded box has changed: check it one by one from now on (large boxes
    // already are, with their current box).
    void moved(uint32_t index)
    {
        if (kind_[index] == Kind::Everywhere)
            return;
        if ((*reach_)[index] == Reach::Everywhere) {
            kind_[index] = Kind::Everywhere;
            everywhere_.push_back(index);
            return;
        }
        if (kind_[index] != Kind::Grid)
            return;
        kind_[index] = Kind::Loose;
        loose_.push_back(index);
        if (loose_.size() > 64 + kind_.size() / 8)
            build(*boxes_, *reach_);
    }

    // Indices >= from whose padded box overlaps `box` (all of them for an object that
    // reaches everywhere), ascending.
    void query(const Box* box, uint32_t from, std::vector<uint32_t>& out)
    {
        out.clear();
        const std::vector<Box>& boxes = *boxes_;
        if (!box) {
            for (uint32_t i = from; i < kind_.size(); ++i)
                if (kind_[i] != Kind::Never)
                    out.push_back(i);
            return;
        }
        if (++stampNow_ == 0) {
            std::fill(stamp_.begin(), stamp_.end(), 0);
            stampNow_ = 1;
        }
        const auto take = [&](uint32_t i) {
            if (i >= from && stamp_[i] != stampNow_ && overlap(boxes[i], *box)) {
                stamp_[i] = stampNow_;
                out.push_back(i);
            }
        };
        const Range r = rangeOf(*box);
        if (r.cells() > gridEntries_ + 8) {
            // Cheaper to look at every boxed object than at every cell.
            for (uint32_t i = from; i < kind_.size(); ++i)
                if (kind_[i] == Kind::Grid)
                    take(i);
        } else {
            for (int32_t x = r.low[0]; x <= r.high[0]; ++x)
                for (int32_t y = r.low[1]; y <= r.high[1]; ++y)
                    for (int32_t z = r.low[2]; z <= r.high[2]; ++z) {
                        const size_t slot = find(keyOf(x, y, z));
                        if (slot == kMissing)
                            continue;
                        for (uint32_t e = start_[slot]; e < start_[slot + 1]; ++e)
                            if (kind_[entries_[e]] == Kind::Grid)
                                take(entries_[e]);
                    }
        }
        for (uint32_t i : large_)
            if (kind_[i] == Kind::Large)
                take(i);
        for (uint32_t i : loose_)
            if (kind_[i] == Kind::Loose)
                take(i);
        for (uint32_t i : everywhere_)
            if (i >= from)
                out.push_back(i);
        std::sort(out.begin(), out.end());
    }

private:
    enum class Kind : uint8_t { Never, Grid, Large, Loose, Everywhere };
    static constexpr uint64_t kEmpty = std::numeric_limits<uint64_t>::max();
    static constexpr size_t kMissing = std::numeric_limits<size_t>::max();
    static constexpr int32_t kCellLimit = 1 << 20; // cell coordinates are clamped to 21 bits
    static constexpr size_t kMostCells = 64;

    struct Range {
        int32_t low[3], high[3];
        size_t cells() const
        {
            return static_cast<size_t>(high[0] - low[0] + 1) * static_cast<size_t>(high[1] - low[1] + 1) *
                   static_cast<size_t>(high[2] - low[2] + 1);
        }
    };

    // Cells about twice the typical padded box: most boxes then cover one or two cells
    // per axis.
    void chooseCellSize()
    {
        std::vector<float> sizes;
        for (size_t i = 0; i < boxes_->size(); ++i)
            if ((*reach_)[i] == Reach::Bounded)
                sizes.push_back(sizeOf((*boxes_)[i]));
        float typical = 1.0f;
        if (!sizes.empty()) {
            std::nth_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() / 2), sizes.end());
            typical = sizes[sizes.size() / 2];
        }
        inverse_ = 1.0f / std::max(2.0f * typical, 1e-3f);
    }

    // Clamping keeps the mapping monotonic, so overlapping boxes still share a cell.
    int32_t cellOf(float coordinate) const
    {
        const float c = std::floor(coordinate * inverse_);
        return static_cast<int32_t>(std::clamp(c, -static_cast<float>(kCellLimit), static_cast<float>(kCellLimit - 1)));
    }
    Range rangeOf(const Box& box) const
    {
        Range r;
        for (int axis = 0; axis < 3; ++axis) {
            r.low[axis] = cellOf(box.min[axis]);
            r.high[axis] = cellOf(box.max[axis]);
        }
        return r;
    }
    static uint64_t keyOf(int32_t x, int32_t y, int32_t z)
    {
        return (static_cast<uint64_t>(x + kCellLimit) << 42) | (static_cast<uint64_t>(y + kCellLimit) << 21) |
               static_cast<uint64_t>(z + kCellLimit);
    }
    size_t hashOf(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_; }

    size_t insert(uint64_t key)
    {
        size_t slot = hashOf(key);
        while (keys_[slot] != kEmpty && keys_[slot] != key)
            slot = (slot + 1) & mask_;
        keys_[slot] = key;
        return slot;
    }
    size_t find(uint64_t key) const
    {
        for (size_t slot = hashOf(key);; slot = (slot + 1) & mask_) {
            if (keys_[slot] == key)
                return slot;
            if (keys_[slot] == kEmpty)
                return kMissing;
        }
    }

    template <class Visit>
    void forEachGridCell(const Visit& visit) const
    {
        for (uint32_t i = 0; i < kind_.size(); ++i) {
            if (kind_[i] != Kind::Grid)
                continue;
            const Range r = rangeOf((*boxes_)[i]);
            for (int32_t x = r.low[0]; x <= r.high[0]; ++x)
                for (int32_t y = r.low[1]; y <= r.high[1]; ++y)
                    for (int32_t z = r.low[2]; z <= r.high[2]; ++z)
                        visit(keyOf(x, y, z), i);
        }
    }

    const std::vector<Box>* boxes_ = nullptr;
    const std::vector<Reach>* reach_ = nullptr;
    float inverse_ = 1.0f;
    size_t mask_ = 0;
    size_t gridEntries_ = 0;
    std::vector<Kind> kind_;
    std::vector<uint32_t> stamp_;
    uint32_t stampNow_ = 0;
    std::vector<uint64_t> keys_;
    std::vector<uint32_t> start_, fill_, slots_, entries_;
    std::vector<uint32_t> loose_, large_, everywhere_;
};

// The padded boxes of one set and their grid.
struct SetBoxes {
    std::vector<Box> boxes;
    std::vector<Reach> reach;
    Grid grid;

    void build(const std::vector<KVE_OBJECT*>& set)
    {
        boxes.resize(set.size());
        reach.resize(set.size());
        for (size_t i = 0; i < set.size(); ++i) {
            Box box;
            reach[i] = reachOf(*set[i], box);
            if (reach[i] == Reach::Bounded)
                boxes[i] = padded(box);
        }
        grid.build(boxes, reach);
    }

    // Measures the object again; when it has left its padded box it is re-entered and
    // the answer is true.
    bool refresh(const KVE_OBJECT& object, uint32_t index)
    {
        Box box;
        const Reach now = reachOf(object, box);
        if (now == reach[index] && (now != Reach::Bounded || contains(boxes[index], box)))
            return false;
        reach[index] = now == Reach::None ? Reach::Everywhere : now;
        if (now == Reach::Bounded)
            boxes[index] = padded(box);
        grid.moved(index);
        return true;
    }
};

// The object whose row is being walked: its own padded box, re-measured whenever it may
// have moved.
struct RowObject {
    KVE_OBJECT& object;
    Reach reach;
    Box box;

    bool escaped()
    {
        Box now;
        const Reach r = reachOf(object, now);
        if (r == reach && (r != Reach::Bounded || contains(box, now)))
            return false;
        reach = r == Reach::None ? Reach::Everywhere : r;
        if (r == Reach::Bounded)
            box = padded(now);
        return true;
    }
    const Box* queryBox() const { return reach == Reach::Bounded ? &box : nullptr; }
};

// The plain loop from a given pair on: row i, dynamic partners from j (or, with
// `statics`, static partners from j). Indices are re-checked on every pass because a
// collision callback may change the sets.
void allPairsFrom(World& w, size_t i, bool statics, size_t j)
{
    for (; i < w.dynamicSet.size(); ++i, statics = false, j = i + 1) {
        if (!statics) {
            for (; j < w.dynamicSet.size() && i < w.dynamicSet.size(); ++j)
                collide(*w.dynamicSet[j], *w.dynamicSet[i]);
            j = 0;
        }
        for (; j < w.staticSet.size() && i < w.dynamicSet.size(); ++j)
            collide(*w.staticSet[j], *w.dynamicSet[i]);
    }
}

struct BroadPhase {
    World& w;
    SetBoxes& dynamics;
    SetBoxes& statics;
    std::vector<uint32_t>& partners;
    uint64_t setChanges = w.setChanges, callbackCalls = w.callbackCalls;

    // After a callback anything may have moved: every object still to come is measured
    // again. True when the row's remaining partners must be asked for again.
    bool measureAll(size_t row, RowObject& x)
    {
        bool any = x.escaped();
        for (size_t k = row + 1; k < w.dynamicSet.size(); ++k)
            any |= dynamics.refresh(*w.dynamicSet[k], static_cast<uint32_t>(k));
        for (size_t k = 0; k < w.staticSet.size(); ++k)
            any |= statics.refresh(*w.staticSet[k], static_cast<uint32_t>(k));
        return any;
    }

    // Runs the pairs of one row against one set. False when the sets changed under the
    // loop, which the plain loop then finishes.
    bool walk(size_t row, RowObject& x, bool staticPartners)
    {
        const std::vector<KVE_OBJECT*>& set = staticPartners ? w.staticSet : w.dynamicSet;
        SetBoxes& boxes = staticPartners ? statics : dynamics;
        const uint32_t first = staticPartners ? 0 : static_cast<uint32_t>(row + 1);
        boxes.grid.query(x.queryBox(), first, partners);
        for (size_t k = 0; k < partners.size(); ++k) {
            const uint32_t j = partners[k];
            const int contact = collide(*set[j], x.object);
            ++w.pairStats.tested;
            if (w.setChanges != setChanges) {
                ++w.pairStats.plainFinishes;
                allPairsFrom(w, row, staticPartners, j + 1);
                return false;
            }
            bool ask = false;
            if (w.callbackCalls != callbackCalls) {
                callbackCalls = w.callbackCalls;
                ask = measureAll(row, x);
            } else if (contact) {
                // Only the pair has moved (a static partner too may have had its matrix
                // rebuilt); it is done with this row, the row's own object may need more.
                boxes.refresh(*set[j], j);
                ask = x.escaped();
            }
            if (ask) {
                ++w.pairStats.requeries;
                boxes.grid.query(x.queryBox(), j + 1, partners);
                k = static_cast<size_t>(-1);
            }
        }
        return true;
    }

    void run()
    {
        dynamics.build(w.dynamicSet);
        statics.build(w.staticSet);
        for (size_t i = 0; i < w.dynamicSet.size(); ++i) {
            if (dynamics.reach[i] == Reach::None)
                continue;
            RowObject x{*w.dynamicSet[i], dynamics.reach[i], dynamics.boxes[i]};
            if (!walk(i, x, false) || !walk(i, x, true))
                return;
        }
    }
};

// One pass's boxes, grids and partner list, kept between steps so that the arrays keep
// their capacity. Each thread has its own, one per nesting level: a collision callback
// that steps the physics runs a pass of its own inside the running one.
struct WorkingState {
    SetBoxes dynamics, statics;
    std::vector<uint32_t> partners;
};

class WorkingStateScope {
public:
    WorkingStateScope()
    {
        if (depth_ == levels_.size())
            levels_.push_back(std::make_unique<WorkingState>());
        state_ = levels_[depth_++].get();
    }
    ~WorkingStateScope() { --depth_; }
    WorkingStateScope(const WorkingStateScope&) = delete;
    WorkingStateScope& operator=(const WorkingStateScope&) = delete;
    WorkingState* operator->() const { return state_; }

private:
    static thread_local std::vector<std::unique_ptr<WorkingState>> levels_;
    static thread_local size_t depth_;
    WorkingState* state_;
};
thread_local std::vector<std::unique_ptr<WorkingState>> WorkingStateScope::levels_;
thread_local size_t WorkingStateScope::depth_ = 0;

} // namespace

void collidePairs(World& w)
{
    if (!w.broadPhase) {
        allPairsFrom(w, 0, false, 1);
        return;
    }
    WorkingStateScope state;
    BroadPhase{w, state->dynamics, state->statics, state->partners}.run();
}

void setBroadPhase(bool on)
{
    world().broadPhase = on;
}

} // namespace kve::physics
