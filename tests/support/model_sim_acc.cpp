// ACC routines over the design: names, types, properties, ranges, handle
// lookup and the iteration routines.
#include <algorithm>
#include <iterator>

#include "support/model_sim.h"

namespace tavri::test {
namespace {

// The element after `previous` in `list` (the first when `previous` is
// null); null at the end or when `previous` is not in the list.
template <typename T>
handle NextIn(const std::vector<T *> &list, handle previous) {
    if (previous == nullptr) {
        return list.empty() ? nullptr : list.front();
    }
    const auto it = std::find_if(list.begin(), list.end(), [previous](T *element) {
        return static_cast<handle>(static_cast<Object *>(element)) == previous;
    });
    if (it == list.end() || std::next(it) == list.end()) {
        return nullptr;
    }
    return *std::next(it);
}

struct TypeName {
    int code;
    const char *name;
};

constexpr TypeName kTypeNames[] = {
    {accModule, "accModule"},
    {accScope, "accScope"},
    {accNet, "accNet"},
    {accReg, "accReg"},
    {accPort, "accPort"},
    {accNetBit, "accNetBit"},
    {accRegBit, "accRegBit"},
    {accPortBit, "accPortBit"},
    {accIntegerParam, "accIntegerParam"},
    {accRealParam, "accRealParam"},
    {accStringParam, "accStringParam"},
    {accParameter, "accParameter"},
    {accTopModule, "accTopModule"},
    {accModuleInstance, "accModuleInstance"},
    {accCellInstance, "accCellInstance"},
    {accScalarPort, "accScalarPort"},
    {accBitSelectPort, "accBitSelectPort"},
    {accPartSelectPort, "accPartSelectPort"},
    {accVectorPort, "accVectorPort"},
    {accConcatPort, "accConcatPort"},
    {accWire, "accWire"},
    {accWand, "accWand"},
    {accWor, "accWor"},
    {accTri, "accTri"},
    {accTriand, "accTriand"},
    {accTrior, "accTrior"},
    {accTri0, "accTri0"},
    {accTri1, "accTri1"},
    {accTrireg, "accTrireg"},
    {accSupply0, "accSupply0"},
    {accSupply1, "accSupply1"},
    {accNamedEvent, "accNamedEvent"},
    {accIntegerVar, "accIntegerVar"},
    {accRealVar, "accRealVar"},
    {accTimeVar, "accTimeVar"},
    {accScalar, "accScalar"},
    {accVector, "accVector"},
    {accCollapsedNet, "accCollapsedNet"},
    {accExpandedVector, "accExpandedVector"},
    {accProtected, "accProtected"},
    {accInput, "accInput"},
    {accOutput, "accOutput"},
    {accInout, "accInout"},
    {accTask, "accTask"},
    {accFunction, "accFunction"},
    {accSeqBlock, "accSeqBlock"},
    {accNamedBeginStat, "accNamedBeginStat"},
    {accParBlock, "accParBlock"},
    {accNamedForkStat, "accNamedForkStat"},
    {accBeginKind716, "accBeginKind716"},
    {accBeginKind717, "accBeginKind717"},
    {accConstant, "accConstant"},
};

bool IsNetLike(const Object *object) {
    return object->kind == ObjectKind::kNet ||
           (object->kind == ObjectKind::kBit && static_cast<const Bit *>(object)->vector->IsNet());
}

}  // namespace

int ModelSim::acc_initialize() {
    ++acc_initialize_count_;
    return 1;
}

char *ModelSim::acc_product_version() { return AccString(product_version_); }

int ModelSim::acc_compare_handles(handle a, handle b) {
    return (a != nullptr && a == b && Owns(a)) ? 1 : 0;
}

char *ModelSim::acc_fetch_name(handle h) {
    const Object *object = Known(h, "acc_fetch_name");
    if (object == nullptr || object->name_fetch_fails || object->name.empty()) {
        return nullptr;
    }
    return AccString(object->name);
}

char *ModelSim::acc_fetch_fullname(handle h) {
    const Object *object = Known(h, "acc_fetch_fullname");
    if (object == nullptr || object->name_fetch_fails || object->name.empty()) {
        return nullptr;
    }
    return AccString(object->FullName());
}

char *ModelSim::acc_fetch_defname(handle h) {
    const Object *object = Known(h, "acc_fetch_defname");
    if (object == nullptr || object->kind != ObjectKind::kScope) {
        return nullptr;
    }
    const auto *scope = static_cast<const Scope *>(object);
    return scope->IsModule() ? AccString(scope->defname) : nullptr;
}

int ModelSim::acc_fetch_type(handle h) {
    const Object *object = Known(h, "acc_fetch_type");
    return object == nullptr ? 0 : object->type;
}

int ModelSim::acc_fetch_fulltype(handle h) {
    const Object *object = Known(h, "acc_fetch_fulltype");
    return object == nullptr ? 0 : object->fulltype;
}

char *ModelSim::acc_fetch_type_str(int type) {
    for (const TypeName &entry : kTypeNames) {
        if (entry.code == type) {
            return AccString(entry.name);
        }
    }
    Diagnose("acc_fetch_type_str: unknown type " + std::to_string(type));
    return nullptr;
}

int ModelSim::acc_fetch_direction(handle h) {
    const Object *object = Known(h, "acc_fetch_direction");
    if (object == nullptr) {
        return 0;
    }
    if (object->kind == ObjectKind::kPort) {
        return static_cast<const Port *>(object)->direction;
    }
    const Port *port = PortOf(object);
    return port == nullptr ? 0 : port->direction;
}

int ModelSim::acc_fetch_range(handle h, int *msb, int *lsb) {
    const Object *object = Known(h, "acc_fetch_range");
    if (object == nullptr || msb == nullptr || lsb == nullptr) {
        return 0;
    }
    switch (object->kind) {
        case ObjectKind::kNet:
        case ObjectKind::kReg:
        case ObjectKind::kInteger:
        case ObjectKind::kTime: {
            const auto *signal = static_cast<const Signal *>(object);
            *msb = signal->msb;
            *lsb = signal->lsb;
            return 1;
        }
        case ObjectKind::kBit:
            *msb = *lsb = static_cast<const Bit *>(object)->index;
            return 1;
        case ObjectKind::kMemory: {
            const auto *memory = static_cast<const Memory *>(object);
            *msb = memory->msb;
            *lsb = memory->lsb;
            return 1;
        }
        case ObjectKind::kPort: {
            const auto *port = static_cast<const Port *>(object);
            return acc_fetch_range(port->loconn, msb, lsb);
        }
        default:
            Diagnose("acc_fetch_range: object has no range: " + object->FullName());
            return 0;
    }
}

int ModelSim::acc_fetch_size(handle h) {
    const Object *object = Known(h, "acc_fetch_size");
    return object == nullptr ? 0 : object->Size();
}

handle ModelSim::acc_handle_by_name(const char *name, handle scope) {
    if (name == nullptr) {
        Diagnose("acc_handle_by_name: null name");
        return nullptr;
    }
    Scope *from = nullptr;
    if (scope == nullptr) {
        from = current_ != nullptr ? current_->scope : nullptr;
    } else {
        Object *object = Known(scope, "acc_handle_by_name");
        if (object == nullptr || object->kind != ObjectKind::kScope) {
            Diagnose("acc_handle_by_name: not a scope");
            return nullptr;
        }
        from = static_cast<Scope *>(object);
    }
    return Lookup(name, from);
}

handle ModelSim::acc_handle_object(const char *name) { return acc_handle_by_name(name, nullptr); }

handle ModelSim::acc_handle_hiconn(handle h) {
    const Object *object = Known(h, "acc_handle_hiconn");
    if (object == nullptr || object->kind != ObjectKind::kPort) {
        Diagnose("acc_handle_hiconn: not a port");
        return nullptr;
    }
    return static_cast<const Port *>(object)->hiconn;
}

handle ModelSim::acc_handle_parent(handle h) {
    const Object *object = Known(h, "acc_handle_parent");
    return object == nullptr ? nullptr : object->scope;
}

handle ModelSim::acc_handle_scope(handle h) {
    const Object *object = Known(h, "acc_handle_scope");
    return object == nullptr ? nullptr : object->scope;
}

handle ModelSim::acc_handle_simulated_net(handle h) {
    Object *object = Known(h, "acc_handle_simulated_net");
    if (object == nullptr) {
        return nullptr;
    }
    if (object->kind == ObjectKind::kNet) {
        return static_cast<Object *>(Simulated(static_cast<Signal *>(object)));
    }
    if (IsNetLike(object)) {
        const auto *bit = static_cast<const Bit *>(object);
        const Signal *simulated = Simulated(bit->vector);
        return simulated->bits[static_cast<std::size_t>(bit->position)];
    }
    Diagnose("acc_handle_simulated_net: not a net: " + object->FullName());
    return nullptr;
}

handle ModelSim::acc_next(int *types, handle scope, handle previous) {
    const Object *object = Known(scope, "acc_next");
    if (object == nullptr || types == nullptr || object->kind != ObjectKind::kScope) {
        return nullptr;
    }
    const auto &items = static_cast<const Scope *>(object)->items;
    auto it = items.begin();
    if (previous != nullptr) {
        it = std::find(items.begin(), items.end(), static_cast<Object *>(previous));
        if (it == items.end()) {
            return nullptr;
        }
        ++it;
    }
    for (; it != items.end(); ++it) {
        const Object *item = *it;
        if (item->kind == ObjectKind::kMemory) {
            continue;
        }
        for (const int *type = types; *type != 0; ++type) {
            if (*type == item->type || *type == item->fulltype) {
                return *it;
            }
        }
    }
    return nullptr;
}

handle ModelSim::acc_next_bit(handle vector, handle previous) {
    const Object *object = Known(vector, "acc_next_bit");
    if (object == nullptr) {
        return nullptr;
    }
    if (object->kind != ObjectKind::kNet && object->kind != ObjectKind::kReg) {
        Diagnose("acc_next_bit: not a vector net or reg: " + object->FullName());
        return nullptr;
    }
    // Left index first: the most significant position down to 0.
    std::vector<Bit *> bits(static_cast<const Signal *>(object)->bits);
    std::reverse(bits.begin(), bits.end());
    return NextIn(bits, previous);
}

handle ModelSim::acc_next_port(handle module, handle previous) {
    const Object *object = Known(module, "acc_next_port");
    if (object == nullptr || object->kind != ObjectKind::kScope) {
        return nullptr;
    }
    return NextIn(static_cast<const Scope *>(object)->ports, previous);
}

handle ModelSim::acc_next_scope(handle scope, handle previous) {
    const Object *object = Known(scope, "acc_next_scope");
    if (object == nullptr || object->kind != ObjectKind::kScope) {
        return nullptr;
    }
    return NextIn(static_cast<const Scope *>(object)->scopes, previous);
}

handle ModelSim::acc_next_topmod(handle previous) { return NextIn(top_modules_, previous); }

int ModelSim::acc_object_of_type(handle h, int type) {
    const Object *object = Known(h, "acc_object_of_type");
    if (object == nullptr) {
        return 0;
    }
    if (type == object->type || type == object->fulltype) {
        return 1;
    }
    const bool is_signal = object->kind == ObjectKind::kNet || object->kind == ObjectKind::kReg;
    switch (type) {
        case accScope:
            return object->kind == ObjectKind::kScope ? 1 : 0;
        case accScalar:
            return ((is_signal || object->kind == ObjectKind::kPort) && object->Size() == 1) ||
                   object->kind == ObjectKind::kBit;
        case accVector:
            return (is_signal || object->kind == ObjectKind::kPort) && object->Size() > 1;
        case accCollapsedNet:
            if (object->kind == ObjectKind::kNet) {
                return static_cast<const Signal *>(object)->collapsed_into != nullptr;
            }
            return IsNetLike(object) && static_cast<const Bit *>(object)->vector->collapsed_into != nullptr;
        case accExpandedVector:
            return is_signal && static_cast<const Signal *>(object)->IsVector() &&
                   static_cast<const Signal *>(object)->expanded;
        case accProtected:
            return object->is_protected ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace tavri::test
