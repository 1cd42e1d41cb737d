// Values in the formats the ACC routines deliver. Vectors are read as
// binary text, which this simulator produces several times faster than its
// A/B vector form, and converted here.
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

vpiHandle Vpi(handle object) { return static_cast<vpiHandle>(object); }

s_vpi_value FetchValue(vpiHandle object, int format) {
    s_vpi_value value{};
    value.format = format;
    vpi_get_value(object, &value);
    return value;
}

char *TextValue(vpiHandle object, int format) {
    const s_vpi_value value = FetchValue(object, format);
    return value.value.str != nullptr ? AccString(value.value.str) : nullptr;
}

uint32_t Reverse(uint32_t v) {
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    return __builtin_bswap32(v);
}

// Masks of the '1', 'x' and 'z' characters among 32 characters; bit j for
// character j.
void Classify32(const char *chars, uint32_t *one, uint32_t *x, uint32_t *z) {
#if defined(__SSE2__)
    const __m128i lower = _mm_set1_epi8(0x20);
    const __m128i first = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(chars)), lower);
    const __m128i second = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + 16)), lower);
    auto mask = [&](char wanted) {
        const __m128i target = _mm_set1_epi8(wanted);
        const auto low = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(first, target)));
        const auto high = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(second, target)));
        return low | (high << 16);
    };
    *one = mask('1');
    *x = mask('x');
    *z = mask('z');
#else
    *one = *x = *z = 0;
    for (int j = 0; j < 32; ++j) {
        const char c = static_cast<char>(chars[j] | 0x20);
        *one |= static_cast<uint32_t>(c == '1') << j;
        *x |= static_cast<uint32_t>(c == 'x') << j;
        *z |= static_cast<uint32_t>(c == 'z') << j;
    }
#endif
}

// The same masks for 8 characters, character j as bit 7 - j, all bytes at
// once: in lower case '0' and '1' differ in bit 0, 'x' and 'z' in bit 1, and
// only the letters have bit 6.
void Classify8(const char *chars, uint32_t *one, uint32_t *x, uint32_t *z) {
    constexpr uint64_t kLow = 0x0101010101010101ull;
    constexpr uint64_t kGather = 0x8040201008040201ull;  // bit 0 of byte j to bit 56 + 7 - j
    uint64_t word;
    std::memcpy(&word, chars, 8);
    word |= 0x2020202020202020ull;
    const uint64_t letter = (word >> 6) & kLow;
    const uint64_t bit0 = word & kLow;
    const uint64_t bit1 = (word >> 1) & kLow;
    *one = static_cast<uint32_t>(((bit0 & ~letter) * kGather) >> 56);
    *x = static_cast<uint32_t>(((letter & ~bit1) * kGather) >> 56);
    *z = static_cast<uint32_t>(((letter & bit1) * kGather) >> 56);
}

// Binary text (most significant bit first) into A/B groups, least
// significant group first: 1 = (1,0), z = (0,1), x = (1,1). Whole groups of
// 32 characters are classified at once.
void BinaryToVector(const char *bits, int width, p_acc_vecval vector) {
    const int groups = (width - 1) / 32 + 1;
    for (int g = 0; g < groups; ++g) {
        const int end = width - 32 * g;  // one past the group's last character
        const int start = end > 32 ? end - 32 : 0;
        uint32_t one = 0;
        uint32_t x = 0;
        uint32_t z = 0;
        if (end - start == 32) {
            uint32_t one_chars;
            uint32_t x_chars;
            uint32_t z_chars;
            Classify32(bits + start, &one_chars, &x_chars, &z_chars);
            // Character j of the group is bit 31 - j.
            one = Reverse(one_chars);
            x = Reverse(x_chars);
            z = Reverse(z_chars);
        } else {
            int i = start;
            for (; end - i >= 8; i += 8) {
                uint32_t one_chars;
                uint32_t x_chars;
                uint32_t z_chars;
                Classify8(bits + i, &one_chars, &x_chars, &z_chars);
                const int shift = end - 8 - i;  // the bit of the eighth character
                one |= one_chars << shift;
                x |= x_chars << shift;
                z |= z_chars << shift;
            }
            for (; i < end; ++i) {
                const uint32_t bit = 1u << (end - 1 - i);
                const char c = static_cast<char>(bits[i] | 0x20);
                if (c == '1') one |= bit;
                else if (c == 'x') x |= bit;
                else if (c == 'z') z |= bit;
            }
        }
        vector[g].aval = static_cast<int>(one | x);
        vector[g].bval = static_cast<int>(x | z);
    }
}

int AccScalar(int vpi_scalar) {
    switch (vpi_scalar) {
        case vpi0:
            return acc0;
        case vpi1:
            return acc1;
        case vpiZ:
            return accZ;
        default:
            return accX;
    }
}

// The strength text of one scalar: "St1", "Pu0", "HiZ", "StX" ...
std::string StrengthText(vpiHandle object) {
    s_vpi_value value{};
    value.format = vpiStrengthVal;
    vpi_get_value(object, &value);
    if (value.value.strength == nullptr) {
        return "StX";
    }
    const s_vpi_strengthval &strength = *value.value.strength;
    const int level = strength.logic == vpi0 ? strength.s0 : strength.s1;
    const char *prefix = "St";
    if (level & vpiSupplyDrive) prefix = "Su";
    else if (level & vpiStrongDrive) prefix = "St";
    else if (level & vpiPullDrive) prefix = "Pu";
    else if (level & vpiLargeCharge) prefix = "La";
    else if (level & vpiWeakDrive) prefix = "We";
    else if (level & vpiMediumCharge) prefix = "Me";
    else if (level & vpiSmallCharge) prefix = "Sm";
    else if (strength.logic == vpiZ) return "HiZ";
    const char digit = strength.logic == vpi0 ? '0' : strength.logic == vpi1 ? '1' : strength.logic == vpiZ ? 'Z' : 'X';
    return std::string(prefix) + digit;
}

bool IsValueless(vpiHandle object) {
    const int type = vpi_get(vpiType, object);
    return type == vpiNamedEvent || type == vpiMemory || type == vpiModule || type == vpiTask ||
           type == vpiFunction || type == vpiNamedBegin || type == vpiNamedFork || type == vpiGenScope;
}

}  // namespace

char *AccFetchValue(handle object, const char *format, p_acc_value value) {
    if (object == nullptr || format == nullptr) {
        return nullptr;
    }
    vpiHandle item = Vpi(object);
    // The vector form first: the dumper reads every changed vector this way
    // at the end of each time step, and the binary text gives the width.
    if (format[0] == '%' && format[1] == '%' && format[2] == '\0' && value != nullptr &&
        value->format == accVectorVal) {
        if (value->value.vector == nullptr) {
            return nullptr;
        }
        // A linked vector's last delivered value is its present one.
        int width = 0;
        const char *text = CachedVectorBits(item, &width);
        if (text == nullptr) {
            s_vpi_value bits{};
            bits.format = vpiBinStrVal;
            vpi_get_value(item, &bits);
            text = bits.value.str;
            width = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
        }
        if (width == 0) {
            return nullptr;
        }
        BinaryToVector(text, width, value->value.vector);
        return const_cast<char *>("");
    }
    if (IsValueless(item)) {
        return vpi_get(vpiType, item) == vpiNamedEvent ? AccString("x") : nullptr;
    }
    if (std::strcmp(format, "%b") == 0) return TextValue(item, vpiBinStrVal);
    if (std::strcmp(format, "%d") == 0) return TextValue(item, vpiDecStrVal);
    if (std::strcmp(format, "%h") == 0) return TextValue(item, vpiHexStrVal);
    if (std::strcmp(format, "%o") == 0) return TextValue(item, vpiOctStrVal);
    if (std::strcmp(format, "%v") == 0) return AccString(StrengthText(item).c_str());
    if (std::strcmp(format, "%%") != 0 || value == nullptr) {
        return nullptr;
    }
    switch (value->format) {
        case accBinStrVal:
            return value->value.str = TextValue(item, vpiBinStrVal);
        case accOctStrVal:
            return value->value.str = TextValue(item, vpiOctStrVal);
        case accDecStrVal:
            return value->value.str = TextValue(item, vpiDecStrVal);
        case accHexStrVal:
            return value->value.str = TextValue(item, vpiHexStrVal);
        case accStringVal:
            return value->value.str = TextValue(item, vpiStringVal);
        case accScalarVal:
            value->value.scalar = AccScalar(FetchValue(item, vpiScalarVal).value.scalar);
            return AccString("");
        case accIntVal:
            value->value.integer = FetchValue(item, vpiIntVal).value.integer;
            return AccString("");
        case accRealVal:
            value->value.real = FetchValue(item, vpiRealVal).value.real;
            return AccString("");
        default:
            return nullptr;
    }
}

}  // namespace tavri::vpi
