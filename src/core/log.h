// The engine's HTML log: internal helpers over the KVE_ log operations, so callers name
// the kind of entry (progress, success, failure) instead of repeating colours.
#pragma once

#include <string>
#include <string_view>

#include "kve.h"

namespace kve::log {

// One entry row; `unit` and `line` fill the optional columns (empty / 0 when unknown).
void entry(std::string_view message, int color, std::string_view procedure, std::string_view unit = {},
           int line = 0);

// Grey progress and information entry ("Load Mesh: ...").
inline void progress(std::string_view message, std::string_view procedure, std::string_view unit = {},
                     int line = 0)
{
    entry(message, KVE_LOG_GREY, procedure, unit, line);
}

// Green "OK" after a load or an initialisation step.
inline void ok(std::string_view procedure, std::string_view unit = {}, int line = 0)
{
    entry("OK", static_cast<int>(KVE_LOG_GREEN), procedure, unit, line);
}

// Red failure entry ("Fail: File not found!").
inline void fail(std::string_view message, std::string_view procedure, std::string_view unit = {}, int line = 0)
{
    entry(message, static_cast<int>(KVE_LOG_RED), procedure, unit, line);
}

// Blue notice that a resource was released while `count` objects still used it, with what
// that means for them ("Mesh released while in use: 3 objects are no longer drawn").
// Nothing when no object used it.
inline void releasedInUse(std::string_view kind, size_t count, std::string_view consequence,
                          std::string_view procedure)
{
    if (count > 0)
        entry(std::string(kind) + " released while in use: " + std::to_string(count) + " objects " +
                  std::string(consequence),
              static_cast<int>(KVE_LOG_BLUE), procedure);
}

// Red entry naming a damaged file and what is wrong with it ("Fail: Plane.kvm: no
// triangles"). Where a loader's failure text is fixed ("Fail: File not found!") this
// follows it as a second entry.
inline void failFile(std::string_view file, std::string_view reason, std::string_view procedure)
{
    entry("Fail: " + std::string(file) + ": " + std::string(reason), static_cast<int>(KVE_LOG_RED), procedure);
}

// Orange entry for a file that loads with something read past ("Warning: Rocks.obj:
// index out of range in line 12").
inline constexpr int kWarningColor = static_cast<int>(0xFF0080FFu);
inline void warnFile(std::string_view file, std::string_view reason, std::string_view procedure)
{
    entry("Warning: " + std::string(file) + ": " + std::string(reason), kWarningColor, procedure);
}

// Orange entry for something that works on with a defect ("Warning: ...").
inline void warn(std::string_view message, std::string_view procedure)
{
    entry("Warning: " + std::string(message), kWarningColor, procedure);
}

// "#RRGGBB" of a packed colour (red in the lowest byte); the alpha byte is ignored.
std::string colorText(int color);

// Closes the file and resets the log state (tests; the engine itself never closes it).
void resetForTesting();

} // namespace kve::log
