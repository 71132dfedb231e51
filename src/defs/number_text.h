// Numbers written in definition text, read the same way whatever the user's locale:
// integers with keywords, '$' hexadecimal and '%' binary; decimal floats with '.'.
#pragma once

#include <string_view>

namespace kve::defs {

// "true"/"enable" 1, "false"/"disable"/"none" 0, "default" -1 (any case); otherwise the
// leading integer: blanks, a sign, then '$' hex digits, '%' binary digits or decimal
// digits, up to the first other character. No digits give 0. Hex and binary keep the low
// 32 bits (so "$FFFFFFFF" is -1); decimal saturates at the int range.
int parseIntegerText(std::string_view text);

// The leading decimal number (sign, digits, fraction, exponent) rounded to float;
// "+Infinity", "-Infinity", "Infinity" and "NaN" in any case; 0 when there is no number.
// Magnitudes beyond float give an infinity or a signed zero.
float parseFloatText(std::string_view text);

} // namespace kve::defs
