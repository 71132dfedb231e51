#include "physics/band_sweep.h"

#include <algorithm>
#include <cmath>

namespace kve::physics {
namespace {

float along(Vec3 v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// The axes and bands need only rough quantiles: at most this many boxes are looked at.
constexpr size_t kSample = 512;

// The value at share `q` (0..1) of the sorted order, found without sorting everything.
float quantile(std::vector<float>& values, float q)
{
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(q * static_cast<float>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

bool meet(const SweepBox& a, const SweepBox& b)
{
    return a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y && a.lo.z <= b.hi.z &&
           b.lo.z <= a.hi.z;
}

// Bands this many times a typical box wide: few boxes cross into the next band, and a
// band holds few boxes side by side.
constexpr float kBandBoxes = 4.0f;
// Beyond this many band memberships per box on average one plain sweep is cheaper.
constexpr size_t kMembershipsPerBox = 4;

} // namespace

int BandSweep::Bands::of(float at) const
{
    const float band = std::floor((at - origin) / width);
    return band <= 0.0f || !(band == band)         ? 0
           : band >= static_cast<float>(count - 1) ? count - 1
                                                   : static_cast<int>(band);
}

// Axes by the spread of the middle half of the centres: quartiles rather than the
// variance, because a few bodies that fell off the world's edge would otherwise make
// the fall axis win and put a whole resting layer into one sweep interval.
BandSweep::Bands BandSweep::chooseBands(const std::vector<SweepBox>& boxes, int bandAxis)
{
    Bands bands;
    bands.axis = bandAxis;
    sample(boxes, [&](const SweepBox& box) { return along(box.hi, bandAxis) - along(box.lo, bandAxis); });
    const float typical = quantile(values_, 0.5f);
    sample(boxes, [&](const SweepBox& box) { return 0.5f * (along(box.lo, bandAxis) + along(box.hi, bandAxis)); });
    // The outer few percent of the centres fall into the first and last bands.
    const float low = quantile(values_, 0.02f), high = quantile(values_, 0.98f);
    const float width = kBandBoxes * typical;
    if (!(width > 0.0f) || !std::isfinite(high - low) || !(high - low > width))
        return bands;
    const float wanted = std::ceil((high - low) / width);
    bands.count = static_cast<int>(std::min(wanted, static_cast<float>(std::max<size_t>(boxes.size() / 4, 1))));
    bands.origin = low;
    bands.width = (high - low) / static_cast<float>(bands.count);
    return bands;
}

void BandSweep::sweepBand(const std::vector<SweepBox>& boxes, const uint32_t* first, const uint32_t* last,
                          const Bands& bands, int band, int sweepAxis, std::vector<BoxPair>& pairs) const
{
    for (const uint32_t* i = first; i != last; ++i) {
        const SweepBox& a = boxes[*i];
        const float end = along(a.hi, sweepAxis);
        for (const uint32_t* j = i + 1; j != last && along(boxes[*j].lo, sweepAxis) <= end; ++j) {
            const SweepBox& b = boxes[*j];
            if ((a.fixed && b.fixed) || (!a.active && !b.active) || !meet(a, b))
                continue;
            if (bands.count > 1 && bands.of(std::max(along(a.lo, bands.axis), along(b.lo, bands.axis))) != band)
                continue; // reported by the band where they start to overlap
            pairs.push_back({std::min(*i, *j), std::max(*i, *j)});
        }
    }
}

template <class Value> void BandSweep::sample(const std::vector<SweepBox>& boxes, const Value& value)
{
    values_.clear();
    const size_t stride = (boxes.size() + kSample - 1) / kSample;
    for (size_t i = 0; i < boxes.size(); i += stride)
        values_.push_back(value(boxes[i]));
}

// The boxes by their start along the sweep axis. From step to step they move little, so
// last time's order, re-keyed, is nearly sorted: an insertion sort finishes it in about
// one pass, unless the boxes or the axis changed or too much moved.
void BandSweep::sortAlong(const std::vector<SweepBox>& boxes, int axis)
{
    const bool reuse = order_.size() == boxes.size() && axis == orderAxis_;
    orderAxis_ = axis;
    if (reuse) {
        for (auto& [start, index] : order_)
            start = along(boxes[index].lo, axis);
        size_t moves = 0;
        const size_t budget = 8 * order_.size();
        for (size_t i = 1; i < order_.size() && moves <= budget; ++i)
            for (size_t j = i; j > 0 && order_[j] < order_[j - 1] && moves <= budget; --j, ++moves)
                std::swap(order_[j], order_[j - 1]);
        if (moves <= budget)
            return;
    }
    order_.clear();
    for (uint32_t i = 0; i < boxes.size(); ++i)
        order_.push_back({along(boxes[i].lo, axis), i});
    std::sort(order_.begin(), order_.end());
}

void BandSweep::findPairs(const std::vector<SweepBox>& boxes, std::vector<BoxPair>& pairs)
{
    pairs.clear();
    if (boxes.size() < 2 || std::none_of(boxes.begin(), boxes.end(), [](const SweepBox& b) { return b.active; }))
        return;
    std::pair<float, int> spread[3];
    for (int axis = 0; axis < 3; ++axis) {
        sample(boxes, [&](const SweepBox& box) { return along(box.lo, axis) + along(box.hi, axis); });
        const float low = quantile(values_, 0.25f);
        spread[axis] = {quantile(values_, 0.75f) - low, axis};
    }
    std::sort(spread, spread + 3, [](const auto& x, const auto& y) { return x.first > y.first; });
    const int sweepAxis = spread[0].second;
    Bands bands = chooseBands(boxes, spread[1].second);

    sortAlong(boxes, sweepAxis);

    // Each box into every band it spans, in sweep order (a counting sort by band).
    size_t memberships = 0;
    bandStart_.assign(static_cast<size_t>(bands.count) + 1, 0);
    for (const SweepBox& box : boxes) {
        const int from = bands.of(along(box.lo, bands.axis)), to = bands.of(along(box.hi, bands.axis));
        memberships += static_cast<size_t>(to - from + 1);
        for (int band = from; band <= to; ++band)
            ++bandStart_[static_cast<size_t>(band) + 1];
    }
    if (memberships > kMembershipsPerBox * boxes.size()) {
        bands = Bands{};
        bandStart_.assign(2, 0);
        bandStart_[1] = static_cast<uint32_t>(boxes.size());
    }
    for (size_t band = 1; band < bandStart_.size(); ++band)
        bandStart_[band] += bandStart_[band - 1];
    members_.resize(bandStart_.back());
    cursor_.assign(bandStart_.begin(), bandStart_.end() - 1);
    for (const auto& [start, index] : order_) {
        const SweepBox& box = boxes[index];
        const int from = bands.of(along(box.lo, bands.axis)), to = bands.of(along(box.hi, bands.axis));
        for (int band = from; band <= to; ++band)
            members_[cursor_[static_cast<size_t>(band)]++] = index;
    }
    for (int band = 0; band < bands.count; ++band)
        sweepBand(boxes, members_.data() + bandStart_[static_cast<size_t>(band)],
                  members_.data() + bandStart_[static_cast<size_t>(band) + 1], bands, band, sweepAxis, pairs);
}

} // namespace kve::physics
