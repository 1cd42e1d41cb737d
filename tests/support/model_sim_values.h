// Four-state values of the model simulator and the text forms Verilog prints
// them in. Used by the ACC value routines, the TF argument routines and the
// value setters of the tests.
#ifndef TAVRI_TESTS_SUPPORT_MODEL_SIM_VALUES_H
#define TAVRI_TESTS_SUPPORT_MODEL_SIM_VALUES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/pli_acc.h"
#include "sim/pli_tf.h"

namespace tavri::test {

// One four-state bit; the numeric codes are those of accScalarVal and of the
// value-change records (acc0, acc1, accZ, accX).
enum class Logic : unsigned char { k0 = acc0, k1 = acc1, kZ = accZ, kX = accX };

// '0', '1', 'z', 'x'.
char LogicChar(Logic value);
// Accepts 0 1 x X z Z ? (the last as z); throws std::invalid_argument otherwise.
Logic LogicFromChar(char c);

// A four-state vector, position 0 the least significant bit.
class FourState {
public:
    FourState() = default;
    explicit FourState(int width, Logic fill = Logic::kX);

    // Binary text, most significant bit first ("10xz"; '_' is ignored). With a
    // width wider than the text the value is extended as Verilog extends a
    // literal: with x or z when the leftmost digit is x or z, otherwise with 0.
    // A text wider than `width` throws std::invalid_argument.
    static FourState FromBinary(std::string_view text, int width = -1);
    static FourState FromUnsigned(std::uint64_t value, int width);
    // Eight bits a character, the last character in the low byte.
    static FourState FromChars(std::string_view chars);

    int width() const { return static_cast<int>(bits_.size()); }
    Logic bit(int position) const { return bits_.at(static_cast<std::size_t>(position)); }
    void set_bit(int position, Logic value) { bits_.at(static_cast<std::size_t>(position)) = value; }

    bool IsKnown() const;  // no x or z bit
    bool AllAre(Logic value) const;
    bool Any(Logic value) const;

    // Bits [position, position + count) as a new value.
    FourState Slice(int position, int count) const;

    // Text forms as Verilog prints them, without padding: binary with 0/1/x/z;
    // octal and hex digit by digit from the least significant end, a digit
    // whose bits are all x (all z) printed 'x' ('z'), one with some x bits 'X',
    // one with some z bits and no x bits 'Z'; decimal with 'x'/'z' when every
    // bit is x/z and 'X'/'Z' when only some are.
    std::string ToBinary() const;
    std::string ToOctal() const;
    std::string ToHex() const;
    std::string ToDecimal(bool is_signed) const;

    // Numeric value with x and z bits read as 0; the low 64 bits.
    std::uint64_t ToUnsigned() const;
    // As above, sign-extended from the top bit of the value.
    std::int64_t ToSigned() const;

    // Eight bits a character from the least significant end, leading zero
    // bytes skipped; x and z bits read as 0.
    std::string ToChars() const;

    // 32-bit groups, least significant first, in the PLI encoding:
    // (a, b) = (0,0) 0, (1,0) 1, (0,1) z, (1,1) x. Bits above the width are 0.
    std::vector<s_vecval> ToGroups() const;

    // Eight-bit A and B groups (memory cells of tf_nodeinfo): `a` and `b` get
    // ceil(width / 8) bytes each, byte 0 the least significant.
    void ToByteGroups(unsigned char *a, unsigned char *b) const;

    bool operator==(const FourState &other) const = default;

private:
    std::vector<Logic> bits_;
};

// Two-letter strength names by level 0..7: Hi Sm Me We La Pu St Su.
const char *StrengthName(int level);

// Verilog's %v text of one bit: "St1", "Pu0", "HiZ", "StX"; an x whose 0 and 1
// components differ prints both levels as digits ("36X").
std::string StrengthText(Logic value, int strength1, int strength2);

}  // namespace tavri::test

#endif
