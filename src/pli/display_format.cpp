#include "pli/display_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

// The type test of each directive that takes an argument, and its message.
enum class ArgKind { kIntegral, kReal, kString, kScalar };

const char *TypeMessage(char directive) {
    switch (directive) {
        case 'b':
            return "$tarxDisplay - The #%d argument is not binary type.";
        case 'c':
            return "$tarxDisplay - The #%d argument is not char type.";
        case 'd':
            return "$tarxDisplay - The #%d argument is not decimal type.";
        case 'e':
        case 'f':
        case 'g':
            return "$tarxDisplay - The #%d argument is not real type.";
        case 'h':
            return "$tarxDisplay - The #%d argument is not hexadecimal type.";
        case 'o':
            return "$tarxDisplay - The #%d argument is not octal type.";
        case 's':
            return "$tarxDisplay - The #%d argument is not string type.";
        default:
            return "$tarxDisplay - The #%d argument is not scalar type.";
    }
}

bool PassesTypeTest(ArgKind kind, int n) {
    if (kind == ArgKind::kString) {
        return sim::g_sim.tf_getcstringp(n) != nullptr;
    }
    handle object = sim::g_sim.acc_handle_tfarg(n);
    switch (kind) {
        case ArgKind::kIntegral: {
            // A parameter's type is accParameter; its fulltype tells an
            // integer one.
            const int type = sim::g_sim.acc_fetch_type(object);
            return type == accNet || type == accReg || type == accIntegerVar || type == accConstant ||
                   sim::g_sim.acc_object_of_type(object, accIntegerParam) != 0;
        }
        case ArgKind::kReal:
            return sim::g_sim.acc_object_of_type(object, accRealVar) != 0 ||
                   sim::g_sim.acc_object_of_type(object, accRealParam) != 0;
        default:
            return sim::g_sim.acc_object_of_type(object, accScalar) != 0 ||
                   sim::g_sim.acc_object_of_type(object, accScalarPort) != 0;
    }
}

// The A words of an integral argument, its width and sign; false when the
// simulator gives no value.
bool IntegralValue(int n, std::vector<uint32_t> *words, int *width, bool *is_signed) {
    s_tfexprinfo info{};
    if (sim::g_sim.tf_exprinfo(n, &info) == nullptr || info.expr_value_p == nullptr || info.expr_ngroups <= 0) {
        return false;
    }
    words->resize(static_cast<size_t>(info.expr_ngroups));
    for (int i = 0; i < info.expr_ngroups; ++i) {
        (*words)[static_cast<size_t>(i)] = static_cast<uint32_t>(info.expr_value_p[i].avalbits);
    }
    // A width the groups cannot hold would read past them.
    *width = std::clamp(info.expr_vec_size, 1, info.expr_ngroups * 32);
    *is_signed = info.expr_sign != 0;
    return true;
}

void AppendReal(char directive, int n, std::string *text) {
    s_tfexprinfo info{};
    const double value = sim::g_sim.tf_exprinfo(n, &info) != nullptr ? info.real_value : 0.0;
    char buffer[512];
    switch (directive) {
        case 'e':
            std::snprintf(buffer, sizeof buffer, "%e", value);
            break;
        case 'f':
            std::snprintf(buffer, sizeof buffer, "%f", value);
            break;
        default:
            std::snprintf(buffer, sizeof buffer, "%g", value);
            break;
    }
    text->append(buffer);
}

void AppendStrength(int n, std::string *text) {
    s_acc_value value{};
    value.format = accScalarVal;
    const char *strength = sim::g_sim.acc_fetch_value(sim::g_sim.acc_handle_tfarg(n), "%v", &value);
    if (strength != nullptr) {
        text->append(strength);
    }
}

// Formats one integral directive; false when the argument has no value.
bool AppendIntegral(char directive, bool no_padding, int n, std::string *text) {
    std::vector<uint32_t> words;
    int width = 0;
    bool is_signed = false;
    if (!IntegralValue(n, &words, &width, &is_signed)) {
        return false;
    }
    switch (directive) {
        case 'b':
            text->append(PowerOfTwoDigits(words.data(), width, 1, no_padding));
            break;
        case 'o':
            text->append(PowerOfTwoDigits(words.data(), width, 3, no_padding));
            break;
        case 'h':
            text->append(PowerOfTwoDigits(words.data(), width, 4, no_padding));
            break;
        case 'd':
            text->append(DecimalDigits(words.data(), width, is_signed, no_padding));
            break;
        default: {
            // A NUL would end the text where the writer takes it.
            const char c = static_cast<char>(words[0] & 0xFF);
            if (c != '\0') {
                text->push_back(c);
            }
            break;
        }
    }
    return true;
}

bool Bit(const uint32_t *words, int index) { return ((words[index / 32] >> (index % 32)) & 1u) != 0; }

}  // namespace

std::string PowerOfTwoDigits(const uint32_t *a_words, int width, int bits_per_digit, bool no_padding) {
    const int digits = (width - 1) / bits_per_digit + 1;
    std::string out;
    for (int d = digits - 1; d >= 0; --d) {
        unsigned value = 0;
        for (int b = bits_per_digit - 1; b >= 0; --b) {
            const int index = d * bits_per_digit + b;
            value = (value << 1) | (index < width && Bit(a_words, index) ? 1u : 0u);
        }
        if (no_padding && out.empty() && value == 0 && d > 0) {
            continue;
        }
        out.push_back("0123456789abcdef"[value]);
    }
    return out;
}

std::string DecimalDigits(const uint32_t *a_words, int width, bool is_signed, bool no_padding) {
    const size_t count = static_cast<size_t>((width - 1) / 32 + 1);
    std::vector<uint32_t> magnitude(a_words, a_words + count);
    // Bits above the width are not the value's.
    if (width % 32 != 0) {
        magnitude.back() &= (1u << (width % 32)) - 1u;
    }
    const bool negative = is_signed && Bit(magnitude.data(), width - 1);
    if (negative) {
        // Two's complement within the width: invert, add one, drop the carry
        // out of the top word's bits.
        uint64_t carry = 1;
        for (uint32_t &word : magnitude) {
            const uint64_t sum = static_cast<uint64_t>(~word) + carry;
            word = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        if (width % 32 != 0) {
            magnitude.back() &= (1u << (width % 32)) - 1u;
        }
    }
    std::string reversed;
    bool zero = false;
    while (!zero) {
        uint64_t remainder = 0;
        zero = true;
        for (size_t i = magnitude.size(); i-- > 0;) {
            const uint64_t current = (remainder << 32) | magnitude[i];
            magnitude[i] = static_cast<uint32_t>(current / 10);
            remainder = current % 10;
            zero = zero && magnitude[i] == 0;
        }
        reversed.push_back(static_cast<char>('0' + remainder));
    }
    if (negative) {
        reversed.push_back('-');
    }
    const size_t field = no_padding ? 0 : static_cast<size_t>((width - 1) / 3);
    std::string out(field > reversed.size() ? field - reversed.size() : 0, ' ');
    out.append(reversed.rbegin(), reversed.rend());
    return out;
}

FormatResult RunDisplayFormat(const char *format, std::string *text) {
    FormatResult result;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            if (text != nullptr) {
                text->push_back(*p);
            }
            continue;
        }
        ++p;
        const bool no_padding = *p == '0';
        if (no_padding) {
            ++p;
        }
        const char directive = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        ArgKind kind;
        switch (directive) {
            case 'b':
            case 'c':
            case 'd':
            case 'h':
            case 'o':
                kind = ArgKind::kIntegral;
                break;
            case 'e':
            case 'f':
            case 'g':
                kind = ArgKind::kReal;
                break;
            case 's':
                kind = ArgKind::kString;
                break;
            case 'v':
                kind = ArgKind::kScalar;
                break;
            case 'm':
                if (text != nullptr) {
                    if (const char *path = sim::g_sim.tf_mipname()) {
                        text->append(path);
                    }
                }
                continue;
            default:
                result.outcome = FormatOutcome::kInvalid;
                return result;
        }
        const int n = result.next_arg++;
        if (n > sim::g_sim.tf_nump()) {
            continue;  // the argument count says what is wrong
        }
        bool ok = PassesTypeTest(kind, n);
        if (ok && text != nullptr) {
            switch (kind) {
                case ArgKind::kIntegral:
                    ok = AppendIntegral(directive, no_padding, n, text);
                    break;
                case ArgKind::kReal:
                    AppendReal(directive, n, text);
                    break;
                case ArgKind::kString:
                    text->append(sim::g_sim.tf_getcstringp(n));
                    break;
                case ArgKind::kScalar:
                    AppendStrength(n, text);
                    break;
            }
        }
        if (!ok) {
            sim::g_sim.tf_error(TypeMessage(directive), n);
            result.outcome = FormatOutcome::kTypeError;
            return result;
        }
    }
    return result;
}

}  // namespace tavri::pli
