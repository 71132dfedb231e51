// Locale-independent number reading for definition values. Floats go through
// std::from_chars (correctly rounded, no locale); the span handed to it is checked here
// first so that its own extras ("inf", hex floats) never apply.
#include "defs/number_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace kve::defs {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view word)
{
    if (text.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (lower(text[i]) != word[i])
            return false;
    return true;
}

bool equalsNoCase(std::string_view text, std::string_view word)
{
    return text.size() == word.size() && startsWithNoCase(text, word);
}

// Position after leading blanks and a sign; `negative` tells which sign it was.
size_t skipBlanksAndSign(std::string_view text, bool& negative)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

int digitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    const char l = lower(c);
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : 99;
}

// Bit-pattern digits ('$' and '%'): every digit shifts the low 32 bits.
uint32_t readPattern(std::string_view digits, int base)
{
    const int shift = base == 16 ? 4 : 1;
    uint32_t value = 0;
    for (const char c : digits) {
        const int digit = digitValue(c);
        if (digit >= base)
            break;
        value = (value << shift) | static_cast<uint32_t>(digit);
    }
    return value;
}

// Decimal order of magnitude of a number whose mantissa digits are `integer` and
// `fraction` (at least one of them not zero) and whose exponent is `exponent`.
int64_t decimalOrder(std::string_view integer, std::string_view fraction, int64_t exponent)
{
    const size_t leading = integer.find_first_not_of('0');
    if (leading != std::string_view::npos)
        return static_cast<int64_t>(integer.size() - leading) - 1 + exponent;
    return -static_cast<int64_t>(fraction.find_first_not_of('0')) - 1 + exponent;
}

} // namespace

int parseIntegerText(std::string_view text)
{
    if (equalsNoCase(text, "true") || equalsNoCase(text, "enable"))
        return 1;
    if (equalsNoCase(text, "false") || equalsNoCase(text, "disable") || equalsNoCase(text, "none"))
        return 0;
    if (equalsNoCase(text, "default"))
        return -1;

    bool negative = false;
    size_t i = skipBlanksAndSign(text, negative);
    if (i < text.size() && (text[i] == '$' || text[i] == '%')) {
        const uint32_t pattern = readPattern(text.substr(i + 1), text[i] == '$' ? 16 : 2);
        return static_cast<int32_t>(negative ? 0u - pattern : pattern);
    }
    constexpr uint64_t kLimit = uint64_t{1} << 31;
    uint64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        magnitude = std::min(magnitude * 10 + static_cast<uint64_t>(text[i] - '0'), kLimit);
    if (negative)
        return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    return static_cast<int32_t>(std::min(magnitude, kLimit - 1));
}

float parseFloatText(std::string_view text)
{
    bool negative = false;
    size_t i = skipBlanksAndSign(text, negative);
    const std::string_view rest = text.substr(i);
    if (startsWithNoCase(rest, "infinity"))
        return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    if (startsWithNoCase(rest, "nan"))
        return std::numeric_limits<float>::quiet_NaN();

    const size_t begin = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::string_view integer = text.substr(begin, i - begin);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const size_t fractionBegin = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fraction = text.substr(fractionBegin, i - fractionBegin);
    }
    if (integer.empty() && fraction.empty())
        return 0.0f;
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        const bool negativeExponent = j < text.size() && text[j] == '-';
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j)
                exponent = std::min<int64_t>(exponent * 10 + (text[j] - '0'), 1'000'000'000);
            exponent = negativeExponent ? -exponent : exponent;
            i = j;
        }
    }

    float value = 0.0f;
    const auto [end, error] = std::from_chars(text.data() + begin, text.data() + i, value, std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range)
        value = decimalOrder(integer, fraction, exponent) >= 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    else if (error != std::errc{})
        value = 0.0f;
    return negative ? -value : value;
}

} // namespace kve::defs
