// The iterative step's broad phase: the pairs of world boxes that meet.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "physics/solver.h"

namespace kve::physics {

struct SweepBox {
    Vec3 lo, hi;
    bool fixed = false;  // two fixed boxes are never paired
    bool active = false; // a pair needs at least one active box
};

struct BoxPair {
    uint32_t first, second; // indices into the boxes, first < second
};

// Sweep and prune in bands. The boxes are sorted along the axis where their centres
// spread most and cut into bands across the next one; each band is swept on its own, so
// that a box meets only its band's neighbours along the sweep rather than a whole
// column of a layer. A box spanning several bands is in each of them; a pair is reported
// only by the band where both boxes start to overlap, so exactly once.
class BandSweep {
public:
    // Every pair of meeting boxes of which at least one is active and not both are fixed.
    void findPairs(const std::vector<SweepBox>& boxes, std::vector<BoxPair>& pairs);

private:
    struct Bands {
        int axis = 0, count = 1;
        float origin = 0.0f, width = 1.0f;
        int of(float at) const;
    };
    Bands chooseBands(const std::vector<SweepBox>& boxes, int bandAxis);
    void sweepBand(const std::vector<SweepBox>& boxes, const uint32_t* first, const uint32_t* last, const Bands& bands,
                   int band, int sweepAxis, std::vector<BoxPair>& pairs) const;

    template <class Value> void sample(const std::vector<SweepBox>& boxes, const Value& value);
    void sortAlong(const std::vector<SweepBox>& boxes, int axis);

    std::vector<float> values_;
    int orderAxis_ = -1;
    std::vector<std::pair<float, uint32_t>> order_;
    std::vector<uint32_t> bandStart_, cursor_, members_;
};

} // namespace kve::physics
