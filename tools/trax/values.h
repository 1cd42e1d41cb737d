// How the tool writes values: logic values as 0 1 x z bits, most
// significant first; reals as the shortest decimal that reads back the
// same double; strings as their text.
#ifndef TAVRI_TOOLS_TRAX_VALUES_H
#define TAVRI_TOOLS_TRAX_VALUES_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tavri/trax_reader.h"

namespace trax {

// What a variable's changes look like, from its record.
struct VarShape {
    uint8_t bytes_per_bit = 0;
    uint32_t width = 1;
};

enum class ValueForm { kBits, kReal, kString, kWords, kOther };

// What a variable holds, from its record: reals are 64-bit doubles of width
// 1, strings type 63 or one 4-byte text id, events type 0.
enum class VarKind { kLogic, kEvent, kReal, kString };
VarKind KindOfVar(const traxrVar &var);

// Writes per-bit codes as 0 1 x z characters (the low two bits of each),
// or appends them.
void WriteBitChars(const uint8_t *codes, size_t count, char *chars);
void AppendBitChars(const uint8_t *codes, size_t count, std::string *out);

// The form of a change and, for kBits, its bits appended to `bits`. A
// scalar strength byte (logic + 4 x strength1 + 32 x strength2) gives its
// logic value; per-bit codes above 3 of a one-byte-per-bit vector likewise.
ValueForm ValueBits(const traxrChange &change, const VarShape &shape, std::string *bits);

// A change of the dump-off marker (idcode 0) that switches dumping off
// (value 1); any other value switches it on.
inline bool IsDumpOff(const traxrChange &change) {
    return change.raw_length == 1 && change.raw[0] == 1;
}

// Appends 32-bit integer words as decimals joined by ':' (a memory-depth
// variable's "first:last").
void AppendWords(const traxrChange &change, std::string *out);

// Appends the shortest text of a double that reads back to the same value.
void AppendReal(double value, std::string *out);

// The value as `trax dump` shows it: bits, a number, a quoted string with
// C escapes, integer words, a scalar's strengths after its bit, or the raw
// bytes in hex.
void AppendDumpValue(const traxrChange &change, const VarShape &shape, std::string *out);

}  // namespace trax

#endif
