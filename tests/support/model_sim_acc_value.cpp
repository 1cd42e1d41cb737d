// acc_fetch_value: the text formats (%b %o %d %h %v) and the "%%" form that
// fills an s_acc_value record.
#include <cmath>
#include <cstring>

#include "support/model_sim.h"

namespace tavri::test {
namespace {

bool HoldsValue(const Object *object) {
    switch (object->kind) {
        case ObjectKind::kNet:
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime:
        case ObjectKind::kBit:
        case ObjectKind::kReal:
        case ObjectKind::kEvent:
        case ObjectKind::kParameter:
        case ObjectKind::kConstant:
            return true;
        default:
            return false;
    }
}

// The real number of a real variable, parameter or constant.
bool RealOf(const Object *object, double *number) {
    if (object->kind == ObjectKind::kReal) {
        *number = static_cast<const RealVar *>(object)->value;
        return true;
    }
    if (object->kind == ObjectKind::kParameter && object->fulltype == accRealParam) {
        *number = static_cast<const Parameter *>(object)->real;
        return true;
    }
    if (object->kind == ObjectKind::kConstant && static_cast<const Constant *>(object)->is_real) {
        *number = static_cast<const Constant *>(object)->real;
        return true;
    }
    return false;
}

bool IsSigned(const Object *object) {
    switch (object->kind) {
        case ObjectKind::kInteger:
            return true;
        case ObjectKind::kParameter:
            return object->fulltype == accIntegerParam;
        case ObjectKind::kConstant:
            return static_cast<const Constant *>(object)->is_signed;
        default:
            return false;
    }
}

char g_no_text[] = "";

}  // namespace

bool ModelSim::FormatValue(const Object *object, const char *format, p_acc_value value, std::string *text) {
    const std::string_view fmt(format);
    double real = 0.0;
    const bool is_real = RealOf(object, &real);
    const FourState bits = ValueOf(object);

    if (fmt == "%b") {
        *text = bits.ToBinary();
        return true;
    }
    if (fmt == "%o") {
        *text = bits.ToOctal();
        return true;
    }
    if (fmt == "%h") {
        *text = bits.ToHex();
        return true;
    }
    if (fmt == "%d") {
        *text = is_real ? std::to_string(std::llround(real)) : bits.ToDecimal(IsSigned(object));
        return true;
    }
    if (fmt == "%v") {
        if (is_real || object->kind == ObjectKind::kEvent) {
            Diagnose("acc_fetch_value: no strength for " + object->FullName());
            return false;
        }
        // Nets carry strengths; everything else drives strongly.
        const Signal *storage = nullptr;
        int first = 0;
        if (object->kind == ObjectKind::kNet) {
            storage = Simulated(const_cast<Signal *>(static_cast<const Signal *>(object)));
        } else if (object->kind == ObjectKind::kBit && static_cast<const Bit *>(object)->vector->IsNet()) {
            storage = Simulated(static_cast<const Bit *>(object)->vector);
            first = static_cast<const Bit *>(object)->position;
        }
        text->clear();
        for (int i = bits.width() - 1; i >= 0; --i) {
            BitStrength strength{vclStrong, vclStrong};
            if (storage != nullptr) {
                strength = storage->strengths[static_cast<std::size_t>(first + i)];
            }
            if (!text->empty()) {
                text->push_back(' ');
            }
            *text += StrengthText(bits.bit(i), strength.strength1, strength.strength2);
        }
        return true;
    }
    if (fmt != "%%") {
        Diagnose("acc_fetch_value: unknown format " + std::string(fmt));
        return false;
    }
    if (value == nullptr) {
        Diagnose("acc_fetch_value: \"%%\" needs a value record");
        return false;
    }
    switch (value->format) {
        case accBinStrVal:
        case accOctStrVal:
        case accDecStrVal:
        case accHexStrVal: {
            static const char *const kFormats[] = {"%b", "%o", "%d", "%h"};
            if (!FormatValue(object, kFormats[value->format - accBinStrVal], nullptr, text)) {
                return false;
            }
            value->value.str = AccString(*text);
            return true;
        }
        case accScalarVal:
            if (is_real || bits.width() != 1) {
                Diagnose("acc_fetch_value: accScalarVal of a multi-bit object " + object->FullName());
                return false;
            }
            value->value.scalar = static_cast<int>(bits.bit(0));
            return true;
        case accIntVal:
            value->value.integer =
                is_real ? static_cast<int>(std::llround(real)) : static_cast<int>(static_cast<std::uint32_t>(bits.ToUnsigned()));
            return true;
        case accRealVal:
            if (is_real) {
                value->value.real = real;
            } else if (IsSigned(object)) {
                value->value.real = static_cast<double>(bits.ToSigned());
            } else {
                value->value.real = static_cast<double>(bits.ToUnsigned());
            }
            return true;
        case accStringVal:
            if (is_real) {
                Diagnose("acc_fetch_value: accStringVal of a real " + object->FullName());
                return false;
            }
            *text = bits.ToChars();
            value->value.str = AccString(*text);
            return true;
        case accVectorVal: {
            if (is_real || value->value.vector == nullptr) {
                Diagnose("acc_fetch_value: accVectorVal needs a four-state object and an array");
                return false;
            }
            const std::vector<s_vecval> groups = bits.ToGroups();
            for (std::size_t i = 0; i < groups.size(); ++i) {
                value->value.vector[i].aval = groups[i].avalbits;
                value->value.vector[i].bval = groups[i].bvalbits;
            }
            return true;
        }
        default:
            Diagnose("acc_fetch_value: unknown value format " + std::to_string(value->format));
            return false;
    }
}

char *ModelSim::acc_fetch_value(handle h, const char *format, p_acc_value value) {
    const Object *object = Known(h, "acc_fetch_value");
    if (object == nullptr) {
        return nullptr;
    }
    if (format == nullptr || !HoldsValue(object)) {
        Diagnose("acc_fetch_value: no format or no value for " + object->FullName());
        return nullptr;
    }
    std::string text;
    if (!FormatValue(object, format, value, &text)) {
        return nullptr;
    }
    if (std::strcmp(format, "%%") == 0) {
        const int f = value->format;
        const bool is_text =
            f == accBinStrVal || f == accOctStrVal || f == accDecStrVal || f == accHexStrVal || f == accStringVal;
        return is_text ? value->value.str : g_no_text;
    }
    return AccString(std::move(text));
}

}  // namespace tavri::test
