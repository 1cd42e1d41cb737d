// Values in the formats the ACC routines deliver. Vectors are read as
// binary text, which this simulator produces several times faster than its
// A/B vector form, and converted here.
#include <cstring>
#include <string>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

vpiHandle Vpi(handle object) { return static_cast<vpiHandle>(object); }

char *TextValue(vpiHandle object, int format) {
    s_vpi_value value{};
    value.format = format;
    vpi_get_value(object, &value);
    return value.value.str != nullptr ? AccString(value.value.str) : nullptr;
}

// Binary text (most significant bit first) into A/B groups, least
// significant group first.
void BinaryToVector(const char *bits, int width, p_acc_vecval vector) {
    const int groups = (width - 1) / 32 + 1;
    for (int g = 0; g < groups; ++g) {
        vector[g].aval = 0;
        vector[g].bval = 0;
    }
    const int length = static_cast<int>(std::strlen(bits));
    for (int i = 0; i < length && i < width; ++i) {
        const char bit = bits[length - 1 - i];
        const uint32_t mask = 1u << (i % 32);
        s_acc_vecval &group = vector[i / 32];
        if (bit == '1' || bit == 'x' || bit == 'X') {
            group.aval = static_cast<int>(static_cast<uint32_t>(group.aval) | mask);
        }
        if (bit == 'z' || bit == 'Z' || bit == 'x' || bit == 'X') {
            group.bval = static_cast<int>(static_cast<uint32_t>(group.bval) | mask);
        }
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
           type == vpiFunction || type == vpiNamedBegin || type == vpiNamedFork;
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
        s_vpi_value bits{};
        bits.format = vpiBinStrVal;
        vpi_get_value(item, &bits);
        if (bits.value.str == nullptr || bits.value.str[0] == '\0') {
            return nullptr;
        }
        BinaryToVector(bits.value.str, static_cast<int>(std::strlen(bits.value.str)), value->value.vector);
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
        case accScalarVal: {
            s_vpi_value scalar{};
            scalar.format = vpiScalarVal;
            vpi_get_value(item, &scalar);
            value->value.scalar = AccScalar(scalar.value.scalar);
            return AccString("");
        }
        case accIntVal: {
            s_vpi_value integer{};
            integer.format = vpiIntVal;
            vpi_get_value(item, &integer);
            value->value.integer = integer.value.integer;
            return AccString("");
        }
        case accRealVal: {
            s_vpi_value real{};
            real.format = vpiRealVal;
            vpi_get_value(item, &real);
            value->value.real = real.value.real;
            return AccString("");
        }
        default:
            return nullptr;
    }
}

}  // namespace tavri::vpi
