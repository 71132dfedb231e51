// The contacts' radix sort against std::sort of the same pairs: small object numbers,
// keys that differ only in high bytes, repeated keys (kept in the order found), one key
// for all, and nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "physics/key_sort.h"

namespace {

using kve::physics::KeyedIndex;

std::vector<KeyedIndex> keyed(const std::vector<uint64_t>& keys)
{
    std::vector<KeyedIndex> out;
    for (uint32_t i = 0; i < keys.size(); ++i)
        out.push_back({keys[i], i});
    return out;
}

void expectSortedLikeStdSort(const std::vector<uint64_t>& keys)
{
    std::vector<KeyedIndex> radix = keyed(keys), reference = keyed(keys), scratch;
    kve::physics::sortByKey(radix, scratch);
    std::sort(reference.begin(), reference.end());
    EXPECT_EQ(radix, reference);
}

uint64_t pairKey(uint32_t a, uint32_t b)
{
    return uint64_t{a} << 32 | b;
}

TEST(KeySort, OrdersAsStdSortDoes)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> small(0, 6000), any;
    std::vector<uint64_t> pairs, wide, repeated;
    for (int i = 0; i < 20000; ++i) {
        const uint32_t a = small(random), b = small(random);
        pairs.push_back(pairKey(std::min(a, b), std::max(a, b)));
        wide.push_back(pairKey(any(random), any(random)));
        repeated.push_back(pairKey(small(random) % 5, 7)); // many equal keys
    }
    expectSortedLikeStdSort(pairs);
    expectSortedLikeStdSort(wide);
    expectSortedLikeStdSort(repeated);
    expectSortedLikeStdSort({pairKey(1, 1ull << 31), pairKey(1, 2), pairKey(0xFF000000u, 0), pairKey(2, 0)});
    expectSortedLikeStdSort(std::vector<uint64_t>(50, pairKey(3, 4)));
    expectSortedLikeStdSort({});
}

} // namespace
