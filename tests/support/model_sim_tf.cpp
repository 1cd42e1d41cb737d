// TF routines about the calling instance and its arguments (tf_nump,
// tf_typep, tf_exprinfo, tf_nodeinfo, tf_getcstringp...), and the ACC routines
// that read task arguments.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/model_sim.h"

namespace tavri::test {
namespace {

// The object a reference or select argument names (for a bit, its vector).
Object *NodeObject(const Arg &arg) {
    if (arg.kind != Arg::Kind::kRef && arg.kind != Arg::Kind::kBitSelect && arg.kind != Arg::Kind::kPartSelect &&
        arg.kind != Arg::Kind::kWordSelect) {
        return nullptr;
    }
    if (arg.object->kind == ObjectKind::kBit) {
        return static_cast<Bit *>(arg.object)->vector;
    }
    return arg.object;
}

}  // namespace

const Arg *ModelSim::ArgOf(int n) const {
    if (current_ == nullptr || n < 1 || n > static_cast<int>(current_->args.size())) {
        return nullptr;
    }
    return &current_->args[static_cast<std::size_t>(n - 1)];
}

TaskCall::Slot *ModelSim::SlotOf(int n, const char *routine) {
    if (current_ == nullptr) {
        Diagnose(std::string(routine) + ": called outside a task instance");
        return nullptr;
    }
    if (n < 1 || n > static_cast<int>(current_->args.size())) {
        return nullptr;
    }
    return &current_->slots[static_cast<std::size_t>(n - 1)];
}

FourState ModelSim::ArgValue(const Arg &arg) const {
    switch (arg.kind) {
        case Arg::Kind::kString:
            return arg.text.empty() ? FourState(8, Logic::k0) : FourState::FromChars(arg.text);
        case Arg::Kind::kInt:
            return FourState::FromUnsigned(static_cast<std::uint32_t>(arg.int_value), 32);
        case Arg::Kind::kBits:
            return arg.bits;
        case Arg::Kind::kReal:
            return FourState::FromUnsigned(static_cast<std::uint64_t>(std::llround(arg.real_value)), 64);
        case Arg::Kind::kRef:
            return ValueOf(arg.object);
        case Arg::Kind::kBitSelect: {
            const auto *signal = static_cast<const Signal *>(arg.object);
            return ValueOf(signal).Slice(signal->PositionOf(arg.index), 1);
        }
        case Arg::Kind::kPartSelect: {
            const auto *signal = static_cast<const Signal *>(arg.object);
            const int low = signal->PositionOf(arg.index2);
            return ValueOf(signal).Slice(low, signal->PositionOf(arg.index) - low + 1);
        }
        case Arg::Kind::kWordSelect: {
            const auto *memory = static_cast<const Memory *>(arg.object);
            return memory->cells[static_cast<std::size_t>(memory->CellOf(arg.index))];
        }
        case Arg::Kind::kEmpty:
            break;
    }
    return FourState();
}

bool ModelSim::ArgHasValue(const Arg &arg) const {
    switch (arg.kind) {
        case Arg::Kind::kEmpty:
        case Arg::Kind::kString:
            return false;
        case Arg::Kind::kRef:
            return arg.object->kind != ObjectKind::kScope && arg.object->kind != ObjectKind::kMemory &&
                   arg.object->kind != ObjectKind::kPort;
        default:
            return true;
    }
}

bool ModelSim::ArgIsReal(const Arg &arg, double *value) const {
    if (arg.kind == Arg::Kind::kReal) {
        *value = arg.real_value;
        return true;
    }
    if (arg.kind != Arg::Kind::kRef) {
        return false;
    }
    if (arg.object->kind == ObjectKind::kReal) {
        *value = static_cast<const RealVar *>(arg.object)->value;
        return true;
    }
    if (arg.object->kind == ObjectKind::kParameter && arg.object->fulltype == accRealParam) {
        *value = static_cast<const Parameter *>(arg.object)->real;
        return true;
    }
    return false;
}

bool ModelSim::ArgIsSigned(const Arg &arg) const {
    if (arg.kind == Arg::Kind::kInt) {
        return true;
    }
    return arg.kind == Arg::Kind::kRef &&
           (arg.object->kind == ObjectKind::kInteger ||
            (arg.object->kind == ObjectKind::kParameter && arg.object->fulltype == accIntegerParam));
}

int ModelSim::tf_nump() {
    if (current_ == nullptr) {
        Diagnose("tf_nump: called outside a task instance");
        return 0;
    }
    return static_cast<int>(current_->args.size());
}

int ModelSim::tf_typep(int n) {
    const Arg *arg = ArgOf(n);
    if (arg == nullptr) {
        return tf_nullparam;
    }
    switch (arg->kind) {
        case Arg::Kind::kEmpty:
            return tf_nullparam;
        case Arg::Kind::kString:
            return tf_string;
        case Arg::Kind::kInt:
        case Arg::Kind::kBits:
            return tf_readonly;
        case Arg::Kind::kReal:
            return tf_readonlyreal;
        case Arg::Kind::kBitSelect:
            return arg->object->kind == ObjectKind::kNet ? tf_readonly : tf_rwbitselect;
        case Arg::Kind::kPartSelect:
            return arg->object->kind == ObjectKind::kNet ? tf_readonly : tf_rwpartselect;
        case Arg::Kind::kWordSelect:
            return tf_rwmemselect;
        case Arg::Kind::kRef:
            break;
    }
    switch (arg->object->kind) {
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime:
        case ObjectKind::kMemory:
            return tf_readwrite;
        case ObjectKind::kBit:
            return static_cast<const Bit *>(arg->object)->vector->IsNet() ? tf_readonly : tf_rwbitselect;
        case ObjectKind::kReal:
            return tf_readwritereal;
        case ObjectKind::kParameter:
            return arg->object->fulltype == accRealParam ? tf_readonlyreal : tf_readonly;
        default:  // nets, scopes, named events
            return tf_readonly;
    }
}

p_tfexprinfo ModelSim::tf_exprinfo(int n, p_tfexprinfo info) {
    TaskCall::Slot *slot = SlotOf(n, "tf_exprinfo");
    const Arg *arg = ArgOf(n);
    if (slot == nullptr || arg == nullptr || info == nullptr) {
        return nullptr;
    }
    std::memset(info, 0, sizeof *info);
    info->expr_type = static_cast<short>(tf_typep(n));
    double real = 0.0;
    if (arg->kind == Arg::Kind::kString) {
        info->expr_string = slot->literal.data();
    } else if (ArgIsReal(*arg, &real)) {
        info->real_value = real;
    } else if (ArgHasValue(*arg)) {
        const FourState value = ArgValue(*arg);
        slot->groups = value.ToGroups();
        info->expr_value_p = slot->groups.data();
        info->expr_ngroups = static_cast<int>(slot->groups.size());
        info->expr_vec_size = value.width();
        info->expr_sign = ArgIsSigned(*arg) ? 1 : 0;
    }
    if (arg->kind == Arg::Kind::kBitSelect || arg->kind == Arg::Kind::kWordSelect) {
        info->expr_lhs_select = info->expr_rhs_select = arg->index;
    } else if (arg->kind == Arg::Kind::kPartSelect) {
        info->expr_lhs_select = arg->index;
        info->expr_rhs_select = arg->index2;
    }
    return info;
}

void ModelSim::LayOutMemory(Memory *memory) const {
    const int ngroups = (memory->WordWidth() + 7) / 8;
    const std::size_t cell_bytes = 2 * static_cast<std::size_t>(ngroups);
    const std::size_t count = memory->cells.size();
    memory->pli_buffer.resize(cell_bytes * count);
    // "Version M.m": versions before 5.6 start a descending memory at its
    // left element.
    bool left_first = false;
    if (memory->first > memory->last) {
        const std::size_t at = product_version_.find("Version ");
        int major = 0;
        int minor = 0;
        if (at != std::string::npos &&
            std::sscanf(product_version_.c_str() + at + 8, "%d.%d", &major, &minor) >= 1) {
            left_first = major < 5 || (major == 5 && minor < 6);
        }
    }
    for (std::size_t cell = 0; cell < count; ++cell) {
        const std::size_t position = left_first ? count - 1 - cell : cell;
        unsigned char *a = memory->pli_buffer.data() + position * cell_bytes;
        memory->cells[cell].ToByteGroups(a, a + ngroups);
    }
}

p_tfnodeinfo ModelSim::tf_nodeinfo(int n, p_tfnodeinfo info) {
    TaskCall::Slot *slot = SlotOf(n, "tf_nodeinfo");
    const Arg *arg = ArgOf(n);
    if (slot == nullptr || arg == nullptr || info == nullptr) {
        return nullptr;
    }
    std::memset(info, 0, sizeof *info);
    info->node_type = tf_null_node;
    Object *object = NodeObject(*arg);
    if (object == nullptr) {
        return nullptr;
    }
    slot->symbol = object->name;
    info->node_symbol = slot->symbol.data();
    info->node_handle = reinterpret_cast<int *>(static_cast<void *>(object));

    if (object->kind == ObjectKind::kMemory) {
        auto *memory = static_cast<Memory *>(object);
        const int ngroups = (memory->WordWidth() + 7) / 8;
        LayOutMemory(memory);
        info->node_type = tf_memory_node;
        info->node_value.memoryval_p = reinterpret_cast<char *>(memory->pli_buffer.data());
        info->node_ngroups = ngroups;
        info->node_vec_size = memory->WordWidth();
        info->node_ms_index = memory->msb;
        info->node_ls_index = memory->lsb;
        info->node_mem_size = static_cast<int>(memory->cells.size());
        info->node_lhs_element = memory->first;
        info->node_rhs_element = memory->last;
        return info;
    }
    if (object->kind == ObjectKind::kReal) {
        slot->real = static_cast<const RealVar *>(object)->value;
        info->node_type = tf_real_node;
        info->node_value.real_val_p = &slot->real;
        return info;
    }
    if (object->kind != ObjectKind::kNet && object->kind != ObjectKind::kReg &&
        object->kind != ObjectKind::kInteger && object->kind != ObjectKind::kTime) {
        return nullptr;
    }
    auto *signal = static_cast<Signal *>(object);
    info->node_vec_size = signal->Size();
    info->node_ms_index = signal->msb;
    info->node_ls_index = signal->lsb;
    if (signal->IsNet() && signal->Size() == 1) {
        // Strength of the 0 and of the 1 component of the driven value.
        const Signal *storage = Simulated(signal);
        const BitStrength strength = storage->strengths[0];
        switch (storage->value.bit(0)) {
            case Logic::k0:
                slot->strength = s_strengthval{strength.strength1, 0};
                break;
            case Logic::k1:
                slot->strength = s_strengthval{0, strength.strength1};
                break;
            case Logic::kX:
                slot->strength = s_strengthval{strength.strength1, strength.strength2};
                break;
            case Logic::kZ:
                slot->strength = s_strengthval{0, 0};
                break;
        }
        info->node_type = tf_netscalar_node;
        info->node_value.strengthval_p = &slot->strength;
        info->node_ngroups = 1;
        return info;
    }
    switch (signal->kind) {
        case ObjectKind::kNet:
            info->node_type = tf_netvector_node;
            break;
        case ObjectKind::kReg:
            info->node_type = tf_reg_node;
            break;
        case ObjectKind::kInteger:
            info->node_type = tf_integer_node;
            info->node_sign = 1;
            break;
        default:
            info->node_type = tf_time_node;
            break;
    }
    slot->groups = ValueOf(signal).ToGroups();
    info->node_value.vecval_p = slot->groups.data();
    info->node_ngroups = static_cast<int>(slot->groups.size());
    return info;
}

char *ModelSim::tf_getcstringp(int n) {
    TaskCall::Slot *slot = SlotOf(n, "tf_getcstringp");
    const Arg *arg = ArgOf(n);
    if (slot == nullptr || arg == nullptr) {
        return nullptr;
    }
    if (arg->kind == Arg::Kind::kString) {
        return slot->literal.data();
    }
    double real = 0.0;
    if (!ArgHasValue(*arg) || ArgIsReal(*arg, &real)) {
        return nullptr;
    }
    slot->cstring = ArgValue(*arg).ToChars();
    return slot->cstring.data();
}

char *ModelSim::tf_getinstance() { return current_ == nullptr ? nullptr : current_->instance(); }

char *ModelSim::tf_mipname() {
    if (current_ == nullptr) {
        Diagnose("tf_mipname: called outside a task instance");
        return nullptr;
    }
    return current_->mipname.data();
}

int ModelSim::tf_gettimeunit() {
    if (current_ == nullptr) {
        return resolution_limit_;
    }
    const Scope *module = current_->scope->Module();
    return (module != nullptr && module->time_unit) ? *module->time_unit : resolution_limit_;
}

handle ModelSim::acc_handle_tfarg(int n) {
    TaskCall::Slot *slot = SlotOf(n, "acc_handle_tfarg");
    const Arg *arg = ArgOf(n);
    if (slot == nullptr || arg == nullptr) {
        return nullptr;
    }
    switch (arg->kind) {
        case Arg::Kind::kRef:
            return arg->object;
        case Arg::Kind::kBitSelect:
            return (arg->object->kind == ObjectKind::kNet || arg->object->kind == ObjectKind::kReg)
                       ? BitOf(static_cast<Signal *>(arg->object), arg->index)
                       : nullptr;
        case Arg::Kind::kInt:
        case Arg::Kind::kBits:
        case Arg::Kind::kReal:
            return slot->constant;
        default:
            return nullptr;
    }
}

int ModelSim::acc_fetch_tfarg_int(int n) {
    const Arg *arg = ArgOf(n);
    if (SlotOf(n, "acc_fetch_tfarg_int") == nullptr || arg == nullptr) {
        return 0;
    }
    double real = 0.0;
    if (ArgIsReal(*arg, &real)) {
        return static_cast<int>(std::llround(real));
    }
    if (!ArgHasValue(*arg)) {
        return 0;
    }
    return static_cast<int>(static_cast<std::uint32_t>(ArgValue(*arg).ToUnsigned()));
}

char *ModelSim::acc_fetch_tfarg_str(int n) {
    const Arg *arg = ArgOf(n);
    if (SlotOf(n, "acc_fetch_tfarg_str") == nullptr || arg == nullptr) {
        return nullptr;
    }
    if (arg->kind == Arg::Kind::kString) {
        return AccString(arg->text);
    }
    double real = 0.0;
    if (!ArgHasValue(*arg) || ArgIsReal(*arg, &real)) {
        return nullptr;
    }
    return AccString(ArgValue(*arg).ToChars());
}

}  // namespace tavri::test
