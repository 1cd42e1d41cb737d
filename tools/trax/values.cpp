#include "values.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

namespace trax {

VarKind KindOfVar(const traxrVar &var) {
    if (var.bytes_per_bit_code == 3 && var.width == 1) return VarKind::kReal;
    // Integer words (a memory dump's cell range) are shown as their text.
    if (var.type_code == 63 || var.bytes_per_bit_code == 2) return VarKind::kString;
    if (var.type_code == 0) return VarKind::kEvent;
    return VarKind::kLogic;
}

void WriteBitChars(const uint8_t *codes, size_t count, char *chars) {
    constexpr uint64_t kOnes = 0x0101010101010101;
    constexpr uint32_t kFourOnes = 0x01010101;
    size_t i = 0;
    // Eight 0/1 codes at a time: each byte plus '0' is its character.
    for (; i + 8 <= count; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, codes + i, sizeof eight);
        if ((eight & ~kOnes) == 0) {
            eight += kOnes * '0';
            std::memcpy(chars + i, &eight, sizeof eight);
        } else {
            for (size_t k = i; k < i + 8; ++k) chars[k] = "01xz"[codes[k] & 3];
        }
    }
    if (i == count) return;
    // The last one to seven codes without a loop: as the eight that end the
    // value, or from four to seven as two fours, each overlapping characters
    // already written (with the same ones).
    if (count >= 8) {
        uint64_t eight;
        std::memcpy(&eight, codes + count - 8, sizeof eight);
        if ((eight & ~kOnes) == 0) {
            eight += kOnes * '0';
            std::memcpy(chars + count - 8, &eight, sizeof eight);
            return;
        }
    } else if (count >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, codes, sizeof head);
        std::memcpy(&tail, codes + count - 4, sizeof tail);
        if (((head | tail) & ~kFourOnes) == 0) {
            head += kFourOnes * '0';
            tail += kFourOnes * '0';
            std::memcpy(chars, &head, sizeof head);
            std::memcpy(chars + count - 4, &tail, sizeof tail);
            return;
        }
    }
    for (; i < count; ++i) chars[i] = "01xz"[codes[i] & 3];
}

void AppendBitChars(const uint8_t *codes, size_t count, std::string *out) {
    const size_t start = out->size();
    out->resize(start + count);
    WriteBitChars(codes, count, out->data() + start);
}

ValueForm ValueBits(const traxrChange &change, const VarShape &shape, std::string *bits) {
    switch (change.kind) {
        case TRAXR_VALUE_LOGIC:
            AppendBitChars(change.bits, change.bit_count, bits);
            return ValueForm::kBits;
        case TRAXR_VALUE_REAL:
            return ValueForm::kReal;
        case TRAXR_VALUE_STRING:
            return ValueForm::kString;
        case TRAXR_VALUE_WORDS:
            return ValueForm::kWords;
        default:
            break;
    }
    // Per-bit codes with strengths: one byte per bit, logic in the low bits.
    if (change.raw != nullptr && change.raw_length > 0 &&
        (change.format == 0 || (change.format == 4 && shape.bytes_per_bit == 0 &&
                                change.raw_length == shape.width))) {
        AppendBitChars(change.raw, change.raw_length, bits);
        return ValueForm::kBits;
    }
    return ValueForm::kOther;
}

void AppendWords(const traxrChange &change, std::string *out) {
    for (uint32_t i = 0; i < change.word_count; ++i) {
        if (i > 0) out->push_back(':');
        out->append(std::to_string(change.words[i]));
    }
}

void AppendReal(double value, std::string *out) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out->append(text, result.ptr);
}

void AppendDumpValue(const traxrChange &change, const VarShape &shape, std::string *out) {
    switch (ValueBits(change, shape, out)) {
        case ValueForm::kBits:
            if (change.format == 0 && change.raw_length == 1 && change.raw[0] > 3) {
                char text[48];
                std::snprintf(text, sizeof text, " (strength %u %u)", (change.raw[0] >> 2) & 7,
                              (change.raw[0] >> 5) & 7);
                out->append(text);
            }
            return;
        case ValueForm::kReal:
            AppendReal(change.real, out);
            return;
        case ValueForm::kWords:
            AppendWords(change, out);
            return;
        case ValueForm::kString: {
            out->push_back('"');
            for (const char *p = change.text != nullptr ? change.text : ""; *p != '\0'; ++p) {
                const unsigned char c = static_cast<unsigned char>(*p);
                if (c == '"' || c == '\\') {
                    out->push_back('\\');
                    out->push_back(static_cast<char>(c));
                } else if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x", c);
                    out->append(escape);
                } else {
                    out->push_back(static_cast<char>(c));
                }
            }
            out->push_back('"');
            return;
        }
        case ValueForm::kOther: {
            out->append("raw:");
            char hex[4];
            for (uint32_t i = 0; i < change.raw_length; ++i) {
                std::snprintf(hex, sizeof hex, "%02x", change.raw[i]);
                out->append(hex);
            }
            return;
        }
    }
}

}  // namespace trax
