// Contacts by pair key. A step sorts thousands of (key, index) pairs whose keys are two
// small object numbers: a radix sort over the bytes in which the keys differ does it in
// a few linear passes.
#pragma once

#include <cstdint>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

namespace kve::physics {

using KeyedIndex = std::pair<uint64_t, uint32_t>;

// Sorts by key, keeping the given order among equal keys: with the indices given in
// ascending order, the same order as std::sort of the pairs. `scratch` is working space.
inline void sortByKey(std::vector<KeyedIndex>& order, std::vector<KeyedIndex>& scratch)
{
    uint64_t all = ~uint64_t{0}, any = 0;
    for (const KeyedIndex& entry : order) {
        all &= entry.first;
        any |= entry.first;
    }
    const uint64_t varying = all ^ any; // bytes every key shares need no pass
    scratch.resize(order.size());
    for (int shift = 0; shift < 64; shift += 8) {
        if (((varying >> shift) & 0xFF) == 0)
            continue;
        size_t starts[257] = {};
        for (const KeyedIndex& entry : order)
            ++starts[((entry.first >> shift) & 0xFF) + 1];
        std::partial_sum(std::begin(starts), std::end(starts), std::begin(starts));
        for (const KeyedIndex& entry : order)
            scratch[starts[(entry.first >> shift) & 0xFF]++] = entry;
        order.swap(scratch);
    }
}

} // namespace kve::physics
