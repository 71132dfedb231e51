// Values of definition keys held to the ranges the engine documents for them: a value
// outside its range is replaced by the nearest bound, one that is not a number by the
// key's default, and an orange warning entry names the key, the value read and the value used.
#pragma once

#include <string_view>

namespace kve::defs {

struct Bounds {
    float low;
    float high;
};

// `value` held to `bounds` with no entry written; `otherwise` replaces a value that is not a
// number. For readers that report a change in words of their own.
float clampedValue(float value, float otherwise, Bounds bounds);

// `value` as read from key `key`; `otherwise` replaces a value that is not a number.
float boundedValue(float value, float otherwise, Bounds bounds, std::string_view key, std::string_view procedure);
int boundedValue(int value, int low, int high, std::string_view key, std::string_view procedure);

// Both ends of a range key, each held as above; one warning when the key held one value.
void boundRange(float (&range)[2], float otherwise, Bounds bounds, std::string_view key, std::string_view procedure);

} // namespace kve::defs
