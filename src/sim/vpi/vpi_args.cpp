// Task arguments of the calling instance, as the TF and ACC argument
// routines describe them.
#include <cstring>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

vpiHandle Argument(int n) {
    TaskInstance *instance = Current();
    if (instance == nullptr || n < 1 || static_cast<size_t>(n) > instance->args.size()) {
        return nullptr;
    }
    return instance->args[static_cast<size_t>(n - 1)];
}

bool IsStringConstant(vpiHandle argument) {
    return vpi_get(vpiType, argument) == vpiConstant && vpi_get(vpiConstType, argument) == vpiStringConst;
}

// The simulator hands an empty argument ($t(a,,b)) over as the one-blank
// string constant.
bool IsEmpty(vpiHandle argument) {
    if (argument == nullptr || !IsStringConstant(argument) || vpi_get(vpiSize, argument) != 8) {
        return false;
    }
    s_vpi_value value{};
    value.format = vpiStringVal;
    vpi_get_value(argument, &value);
    return value.value.str != nullptr && std::strcmp(value.value.str, " ") == 0;
}

// Keeps a text for the argument so that the pointer handed out stays valid.
char *Keep(int n, const char *text) {
    TaskInstance *instance = Current();
    std::string &slot = instance->strings[static_cast<size_t>(n - 1)];
    slot = text != nullptr ? text : "";
    return slot.data();
}

char *StringValue(int n, vpiHandle argument) {
    s_vpi_value value{};
    value.format = vpiStringVal;
    vpi_get_value(argument, &value);
    return value.value.str != nullptr ? Keep(n, value.value.str) : nullptr;
}

// The argument's value in `ngroups` PLI groups, kept for the argument; null
// when the simulator gives no vector value.
s_vecval *VectorValue(int n, vpiHandle argument, int ngroups) {
    if (ngroups <= 0) {
        return nullptr;
    }
    s_vpi_value value{};
    value.format = vpiVectorVal;
    vpi_get_value(argument, &value);
    if (value.format != vpiVectorVal || value.value.vector == nullptr) {
        return nullptr;
    }
    std::vector<s_vecval> &groups = Current()->values[static_cast<size_t>(n - 1)];
    groups.resize(static_cast<size_t>(ngroups));
    for (size_t i = 0; i < groups.size(); ++i) {
        groups[i].avalbits = value.value.vector[i].aval;
        groups[i].bvalbits = value.value.vector[i].bval;
    }
    return groups.data();
}

bool HasStringValue(vpiHandle argument) {
    switch (vpi_get(vpiType, argument)) {
        case vpiConstant:
            return vpi_get(vpiConstType, argument) != vpiRealConst;
        case vpiReg:
        case vpiNet:
        case vpiIntegerVar:
        case vpiTimeVar:
        case vpiPartSelect:
        case vpiMemoryWord:
        case vpiNetBit:
        case vpiRegBit:
        case vpiParameter:
            return true;
        default:
            return false;
    }
}

}  // namespace

int TfNump() {
    TaskInstance *instance = Current();
    return instance != nullptr ? static_cast<int>(instance->args.size()) : 0;
}

int TfTypep(int n) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || IsEmpty(argument)) {
        return tf_nullparam;
    }
    switch (vpi_get(vpiType, argument)) {
        case vpiConstant:
            if (IsStringConstant(argument)) {
                return tf_string;
            }
            return vpi_get(vpiConstType, argument) == vpiRealConst ? tf_readonlyreal : tf_readonly;
        case vpiReg:
        case vpiIntegerVar:
        case vpiTimeVar:
        case vpiMemory:
            return tf_readwrite;
        case vpiRealVar:
            return tf_readwritereal;
        case vpiParameter:
            return vpi_get(vpiConstType, argument) == vpiRealConst ? tf_readonlyreal : tf_readonly;
        case vpiPartSelect:
            return tf_rwpartselect;
        case vpiMemoryWord:
            return tf_rwmemselect;
        case vpiNetBit:
        case vpiRegBit:
            return tf_rwbitselect;
        default:
            return tf_readonly;
    }
}

p_tfexprinfo TfExprinfo(int n, p_tfexprinfo info) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || info == nullptr) {
        return nullptr;
    }
    *info = s_tfexprinfo{};
    info->expr_type = static_cast<short>(TfTypep(n));
    if (info->expr_type == tf_string) {
        info->expr_string = StringValue(n, argument);
        info->expr_vec_size = vpi_get(vpiSize, argument);
    } else if (info->expr_type == tf_readonlyreal || info->expr_type == tf_readwritereal) {
        s_vpi_value value{};
        value.format = vpiRealVal;
        vpi_get_value(argument, &value);
        info->real_value = value.value.real;
    } else if (info->expr_type != tf_nullparam) {
        const int size = vpi_get(vpiSize, argument);
        info->expr_vec_size = size > 0 ? size : 0;
        info->expr_ngroups = size > 0 ? (size - 1) / 32 + 1 : 0;
        info->expr_sign = vpi_get(vpiSigned, argument) > 0 ? 1 : 0;
        if (HasStringValue(argument)) {
            info->expr_value_p = VectorValue(n, argument, info->expr_ngroups);
        }
    }
    return info;
}

// Node information is offered for memories (and their words) only.
p_tfnodeinfo TfNodeinfo(int n, p_tfnodeinfo info) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || info == nullptr || IsEmpty(argument)) {
        return nullptr;
    }
    p_tfnodeinfo result = MemoryNodeinfo(argument, info);
    if (result != nullptr) {
        Current()->reads_memory = true;
    }
    return result;
}

char *TfGetCStringP(int n) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || IsEmpty(argument) || !HasStringValue(argument)) {
        return nullptr;
    }
    return StringValue(n, argument);
}

handle AccHandleTfarg(int n) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || IsEmpty(argument) || IsStringConstant(argument)) {
        return nullptr;
    }
    switch (vpi_get(vpiType, argument)) {
        case vpiPartSelect:
        case vpiMemoryWord:
            return nullptr;
        default:
            return argument;
    }
}

int AccFetchTfargInt(int n) {
    vpiHandle argument = Argument(n);
    if (argument == nullptr || IsEmpty(argument)) {
        return 0;
    }
    s_vpi_value value{};
    if (vpi_get(vpiType, argument) == vpiRealVar ||
        (vpi_get(vpiType, argument) == vpiConstant && vpi_get(vpiConstType, argument) == vpiRealConst)) {
        value.format = vpiRealVal;
        vpi_get_value(argument, &value);
        return static_cast<int>(value.value.real);
    }
    if (!HasStringValue(argument)) {
        return 0;
    }
    value.format = vpiIntVal;
    vpi_get_value(argument, &value);
    return value.value.integer;
}

char *AccFetchTfargStr(int n) { return TfGetCStringP(n); }

}  // namespace tavri::vpi
