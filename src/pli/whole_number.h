// Whole numbers written in plus-arguments: plain decimal integers, and real
// notation that denotes a whole number (5e4, 2.5e3), since users write both.
#ifndef TAVRI_PLI_WHOLE_NUMBER_H
#define TAVRI_PLI_WHOLE_NUMBER_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavri::pli {

// The value of the whole text, or none when the text is anything else (empty,
// signed, hexadecimal, trailing characters, a fraction) or the value exceeds
// `maximum`. Decided on the digits themselves, so no rounding can turn a
// fraction or a too large value into an accepted one.
std::optional<uint64_t> ParseWholeNumber(std::string_view text, uint64_t maximum);

}  // namespace tavri::pli

#endif
