#include "support/model_sim_values.h"

#include <algorithm>
#include <stdexcept>

namespace tavri::test {

char LogicChar(Logic value) {
    switch (value) {
        case Logic::k0:
            return '0';
        case Logic::k1:
            return '1';
        case Logic::kZ:
            return 'z';
        case Logic::kX:
            return 'x';
    }
    return '?';
}

Logic LogicFromChar(char c) {
    switch (c) {
        case '0':
            return Logic::k0;
        case '1':
            return Logic::k1;
        case 'x':
        case 'X':
            return Logic::kX;
        case 'z':
        case 'Z':
        case '?':
            return Logic::kZ;
        default:
            throw std::invalid_argument(std::string("not a four-state digit: '") + c + "'");
    }
}

FourState::FourState(int width, Logic fill) : bits_(static_cast<std::size_t>(std::max(width, 0)), fill) {}

FourState FourState::FromBinary(std::string_view text, int width) {
    std::vector<Logic> msb_first;
    for (char c : text) {
        if (c != '_') {
            msb_first.push_back(LogicFromChar(c));
        }
    }
    if (msb_first.empty()) {
        throw std::invalid_argument("empty binary value");
    }
    const int digits = static_cast<int>(msb_first.size());
    if (width < 0) {
        width = digits;
    }
    if (digits > width) {
        throw std::invalid_argument("binary value \"" + std::string(text) + "\" is wider than " +
                                    std::to_string(width) + " bits");
    }
    const Logic lead = msb_first.front();
    FourState value(width, (lead == Logic::kX || lead == Logic::kZ) ? lead : Logic::k0);
    for (int i = 0; i < digits; ++i) {
        value.set_bit(digits - 1 - i, msb_first[static_cast<std::size_t>(i)]);
    }
    return value;
}

FourState FourState::FromUnsigned(std::uint64_t number, int width) {
    FourState value(width, Logic::k0);
    for (int i = 0; i < width && i < 64; ++i) {
        value.set_bit(i, ((number >> i) & 1U) != 0 ? Logic::k1 : Logic::k0);
    }
    return value;
}

FourState FourState::FromChars(std::string_view chars) {
    const int width = static_cast<int>(chars.size()) * 8;
    FourState value(width, Logic::k0);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const auto byte = static_cast<unsigned char>(chars[chars.size() - 1 - i]);
        for (int b = 0; b < 8; ++b) {
            value.set_bit(static_cast<int>(i) * 8 + b, ((byte >> b) & 1U) != 0 ? Logic::k1 : Logic::k0);
        }
    }
    return value;
}

bool FourState::IsKnown() const {
    return std::all_of(bits_.begin(), bits_.end(),
                       [](Logic b) { return b == Logic::k0 || b == Logic::k1; });
}

bool FourState::AllAre(Logic value) const {
    return !bits_.empty() && std::all_of(bits_.begin(), bits_.end(), [value](Logic b) { return b == value; });
}

bool FourState::Any(Logic value) const {
    return std::any_of(bits_.begin(), bits_.end(), [value](Logic b) { return b == value; });
}

FourState FourState::Slice(int position, int count) const {
    FourState part(count, Logic::k0);
    for (int i = 0; i < count; ++i) {
        part.set_bit(i, bit(position + i));
    }
    return part;
}

std::string FourState::ToBinary() const {
    std::string text;
    text.reserve(bits_.size());
    for (auto it = bits_.rbegin(); it != bits_.rend(); ++it) {
        text.push_back(LogicChar(*it));
    }
    return text;
}

namespace {

// One digit of `bits_per_digit` bits starting at `position` (fewer at the top).
char RadixDigit(const FourState &value, int position, int bits_per_digit) {
    const int count = std::min(bits_per_digit, value.width() - position);
    const FourState digit = value.Slice(position, count);
    if (digit.AllAre(Logic::kX)) {
        return 'x';
    }
    if (digit.AllAre(Logic::kZ)) {
        return 'z';
    }
    if (digit.Any(Logic::kX)) {
        return 'X';
    }
    if (digit.Any(Logic::kZ)) {
        return 'Z';
    }
    return "0123456789abcdef"[digit.ToUnsigned()];
}

std::string RadixText(const FourState &value, int bits_per_digit) {
    std::string text;
    for (int position = 0; position < value.width(); position += bits_per_digit) {
        text.insert(text.begin(), RadixDigit(value, position, bits_per_digit));
    }
    return text;
}

}  // namespace

std::string FourState::ToOctal() const { return RadixText(*this, 3); }

std::string FourState::ToHex() const { return RadixText(*this, 4); }

std::string FourState::ToDecimal(bool is_signed) const {
    if (bits_.empty()) {
        return "";
    }
    if (AllAre(Logic::kX)) {
        return "x";
    }
    if (AllAre(Logic::kZ)) {
        return "z";
    }
    if (Any(Logic::kX)) {
        return "X";
    }
    if (Any(Logic::kZ)) {
        return "Z";
    }
    // Little-endian 32-bit words of the magnitude.
    std::vector<std::uint32_t> words((bits_.size() + 31) / 32, 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        if (bits_[i] == Logic::k1) {
            words[i / 32] |= 1U << (i % 32);
        }
    }
    const bool negative = is_signed && bits_.back() == Logic::k1;
    if (negative) {
        // Two's complement within the width: invert, mask, add one.
        const std::size_t top_bits = bits_.size() % 32;
        for (auto &w : words) {
            w = ~w;
        }
        if (top_bits != 0) {
            words.back() &= (1U << top_bits) - 1U;
        }
        for (auto &w : words) {
            if (++w != 0) {
                break;
            }
        }
    }
    std::string digits;
    auto is_zero = [&words] { return std::all_of(words.begin(), words.end(), [](std::uint32_t w) { return w == 0; }); };
    do {
        std::uint64_t remainder = 0;
        for (auto it = words.rbegin(); it != words.rend(); ++it) {
            const std::uint64_t current = (remainder << 32) | *it;
            *it = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    } while (!is_zero());
    return negative ? "-" + digits : digits;
}

std::uint64_t FourState::ToUnsigned() const {
    std::uint64_t number = 0;
    for (int i = 0; i < width() && i < 64; ++i) {
        if (bit(i) == Logic::k1) {
            number |= std::uint64_t{1} << i;
        }
    }
    return number;
}

std::int64_t FourState::ToSigned() const {
    std::uint64_t number = ToUnsigned();
    if (width() > 0 && width() < 64 && bit(width() - 1) == Logic::k1) {
        number |= ~std::uint64_t{0} << width();
    }
    return static_cast<std::int64_t>(number);
}

std::string FourState::ToChars() const {
    std::string chars;
    for (int position = 0; position < width(); position += 8) {
        const int count = std::min(8, width() - position);
        chars.insert(chars.begin(), static_cast<char>(Slice(position, count).ToUnsigned()));
    }
    const auto first = chars.find_first_not_of('\0');
    return first == std::string::npos ? std::string() : chars.substr(first);
}

std::vector<s_vecval> FourState::ToGroups() const {
    std::vector<s_vecval> groups((bits_.size() + 31) / 32, s_vecval{0, 0});
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        const auto mask = static_cast<int>(1U << (i % 32));
        s_vecval &group = groups[i / 32];
        switch (bits_[i]) {
            case Logic::k0:
                break;
            case Logic::k1:
                group.avalbits |= mask;
                break;
            case Logic::kZ:
                group.bvalbits |= mask;
                break;
            case Logic::kX:
                group.avalbits |= mask;
                group.bvalbits |= mask;
                break;
        }
    }
    return groups;
}

void FourState::ToByteGroups(unsigned char *a, unsigned char *b) const {
    const std::size_t bytes = (bits_.size() + 7) / 8;
    std::fill(a, a + bytes, 0);
    std::fill(b, b + bytes, 0);
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        const auto mask = static_cast<unsigned char>(1U << (i % 8));
        if (bits_[i] == Logic::k1 || bits_[i] == Logic::kX) {
            a[i / 8] |= mask;
        }
        if (bits_[i] == Logic::kZ || bits_[i] == Logic::kX) {
            b[i / 8] |= mask;
        }
    }
}

const char *StrengthName(int level) {
    static const char *const kNames[] = {"Hi", "Sm", "Me", "We", "La", "Pu", "St", "Su"};
    return (level >= 0 && level <= 7) ? kNames[level] : "??";
}

std::string StrengthText(Logic value, int strength1, int strength2) {
    switch (value) {
        case Logic::kZ:
            return "HiZ";
        case Logic::k0:
            return std::string(StrengthName(strength1)) + "0";
        case Logic::k1:
            return std::string(StrengthName(strength1)) + "1";
        case Logic::kX:
            if (strength1 == strength2) {
                return std::string(StrengthName(strength1)) + "X";
            }
            return std::to_string(strength1) + std::to_string(strength2) + "X";
    }
    return "";
}

}  // namespace tavri::test
