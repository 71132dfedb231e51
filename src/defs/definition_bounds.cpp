// Range checks for definition values, with the warning entry that says what was changed.
#include "defs/definition_bounds.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "core/log.h"

namespace kve::defs {
namespace {

template <class Number>
void warn(std::string_view key, Number read, Number used, Number low, Number high, std::string_view procedure)
{
    std::ostringstream text;
    text << "Warning: " << key << " " << read << " is outside " << low << " to " << high << ", " << used
         << " is used";
    log::entry(text.str(), log::kWarningColor, procedure);
}

} // namespace

float clampedValue(float value, float otherwise, Bounds bounds)
{
    return std::isnan(value) ? otherwise : std::clamp(value, bounds.low, bounds.high);
}

float boundedValue(float value, float otherwise, Bounds bounds, std::string_view key, std::string_view procedure)
{
    const float used = clampedValue(value, otherwise, bounds);
    if (used != value)
        warn(key, value, used, bounds.low, bounds.high, procedure);
    return used;
}

int boundedValue(int value, int low, int high, std::string_view key, std::string_view procedure)
{
    const int used = std::clamp(value, low, high);
    if (used != value)
        warn(key, value, used, low, high, procedure);
    return used;
}

void boundRange(float (&range)[2], float otherwise, Bounds bounds, std::string_view key, std::string_view procedure)
{
    // A key holding one value fills both ends: it is warned about once.
    const float first = range[0], second = range[1];
    const bool single = first == second || (std::isnan(first) && std::isnan(second));
    range[0] = boundedValue(first, otherwise, bounds, key, procedure);
    range[1] = single ? range[0] : boundedValue(second, otherwise, bounds, key, procedure);
}

} // namespace kve::defs
