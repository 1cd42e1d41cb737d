#include "pli/whole_number.h"

#include <algorithm>
#include <string>

namespace tavri::pli {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exponents beyond this only matter for zero mantissas (any other value
// overflows long before); capping keeps the arithmetic small.
constexpr long kExponentCap = 100000;

}  // namespace

std::optional<uint64_t> ParseWholeNumber(std::string_view text, uint64_t maximum) {
    // Mantissa: digits with at most one decimal point.
    std::string digits;
    long point = -1;  // number of mantissa digits before the point
    size_t at = 0;
    for (; at < text.size() && (IsDigit(text[at]) || (text[at] == '.' && point < 0)); ++at) {
        if (text[at] == '.') {
            point = static_cast<long>(digits.size());
        } else {
            digits += text[at];
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    if (point < 0) {
        point = static_cast<long>(digits.size());
    }
    long exponent = 0;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        const bool negative = at < text.size() && text[at] == '-';
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        const size_t first = at;
        for (; at < text.size() && IsDigit(text[at]); ++at) {
            if (exponent < kExponentCap) {
                exponent = exponent * 10 + (text[at] - '0');
            }
        }
        if (at == first) {
            return std::nullopt;
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    // The value is the mantissa digits with the point moved `exponent`
    // places: digits before the moved point make the integer, any non-zero
    // digit after it a fraction.
    const long integer_digits = point + exponent;
    const long length = std::max(integer_digits, static_cast<long>(digits.size()));
    uint64_t value = 0;
    for (long i = 0; i < length; ++i) {
        const unsigned digit = i < static_cast<long>(digits.size()) ? static_cast<unsigned>(digits[i] - '0') : 0u;
        if (i >= integer_digits) {
            if (digit != 0) {
                return std::nullopt;
            }
        } else if (value > maximum / 10 || digit > maximum - value * 10) {
            return std::nullopt;
        } else {
            value = value * 10 + digit;
        }
    }
    return value;
}

}  // namespace tavri::pli
