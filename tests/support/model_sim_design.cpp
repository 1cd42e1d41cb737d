// Building the design: scopes, signals, variables, parameters, ports,
// memories, collapsed nets, and name resolution over the result.
#include <stdexcept>

#include "support/model_sim.h"

namespace tavri::test {
namespace {

void Require(bool condition, const std::string &message) {
    if (!condition) {
        throw std::invalid_argument(message);
    }
}

// "name" or "name[index]": splits off a bit or word select.
struct Component {
    std::string_view name;
    std::optional<int> index;
};

Component ParseComponent(std::string_view text) {
    // An escaped identifier names itself without its backslash and its
    // closing blank, brackets and dots included.
    if (!text.empty() && text.front() == '\\') {
        text.remove_prefix(1);
        if (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        }
        return Component{text, std::nullopt};
    }
    Component component{text, std::nullopt};
    const auto open = text.find('[');
    if (open != std::string_view::npos && text.back() == ']') {
        component.name = text.substr(0, open);
        const std::string digits(text.substr(open + 1, text.size() - open - 2));
        try {
            std::size_t used = 0;
            component.index = std::stoi(digits, &used);
            if (used != digits.size()) {
                component.index.reset();
                component.name = text;
            }
        } catch (const std::exception &) {
            component.name = text;
        }
    }
    return component;
}

// The first component of a dotted path and the rest after its dot; a dot
// inside an escaped identifier (from a backslash up to the next blank) does
// not split.
std::pair<std::string_view, std::string_view> SplitFirst(std::string_view path) {
    size_t at = 0;
    if (!path.empty() && path.front() == '\\') {
        at = path.find(' ');
        if (at == std::string_view::npos) {
            return {path, {}};
        }
    }
    const size_t dot = path.find('.', at);
    if (dot == std::string_view::npos) {
        return {path, {}};
    }
    return {path.substr(0, dot), path.substr(dot + 1)};
}

// Module instances live in modules and in the begin-kind blocks that
// generate constructs make (not in tasks, functions or fork blocks).
bool HoldsInstances(const Scope *parent) {
    if (parent == nullptr) {
        return false;
    }
    if (parent->IsModule()) {
        return true;
    }
    const bool generate_like = parent->fulltype == accNamedBeginStat || parent->fulltype == accSeqBlock ||
                               parent->fulltype == accBeginKind716;
    return generate_like && HoldsInstances(parent->scope);
}

}  // namespace

void ModelSim::Declare(Scope *scope, Object *object) {
    scope->items.push_back(object);
    if (object->kind == ObjectKind::kScope) {
        scope->scopes.push_back(static_cast<Scope *>(object));
    }
}

Scope *ModelSim::AddScope(Scope *parent, int type, int fulltype, const std::string &name,
                          const std::string &defname) {
    Require(!name.empty(), "a scope needs a name");
    if (parent != nullptr) {
        Require(Owns(parent) && parent->kind == ObjectKind::kScope, "parent of " + name + " is not a scope");
        Require(FindIn(parent, name) == nullptr, "duplicate name " + name + " in " + parent->FullName());
    }
    Scope *scope = Make<Scope>(type, fulltype, name, parent, defname);
    if (parent == nullptr) {
        top_modules_.push_back(scope);
    } else {
        Declare(parent, scope);
    }
    return scope;
}

Scope *ModelSim::AddTopModule(const std::string &name, const std::string &defname) {
    for (const Scope *top : top_modules_) {
        Require(top->name != name, "duplicate top module " + name);
    }
    return AddScope(nullptr, accModule, accTopModule, name, defname.empty() ? name : defname);
}

Scope *ModelSim::AddModule(Scope *parent, const std::string &name, const std::string &defname) {
    Require(HoldsInstances(parent), "module instance " + name + " needs a module or a generate block as parent");
    return AddScope(parent, accModule, accModuleInstance, name, defname.empty() ? name : defname);
}

Scope *ModelSim::AddCell(Scope *parent, const std::string &name, const std::string &defname) {
    Require(parent != nullptr && parent->IsModule(), "cell instance " + name + " needs a module as parent");
    return AddScope(parent, accModule, accCellInstance, name, defname.empty() ? name : defname);
}

Scope *ModelSim::AddTask(Scope *parent, const std::string &name) {
    Require(parent != nullptr && parent->IsModule(), "task " + name + " needs a module as parent");
    return AddScope(parent, accTask, accTask, name, "");
}

Scope *ModelSim::AddFunction(Scope *parent, const std::string &name) {
    Require(parent != nullptr && parent->IsModule(), "function " + name + " needs a module as parent");
    return AddScope(parent, accFunction, accFunction, name, "");
}

Scope *ModelSim::AddBlock(Scope *parent, const std::string &name, int fulltype) {
    Require(fulltype == accSeqBlock || fulltype == accNamedBeginStat || fulltype == accBeginKind716 ||
                fulltype == accBeginKind717 || fulltype == accParBlock || fulltype == accNamedForkStat,
            "not a named block fulltype: " + std::to_string(fulltype));
    Require(parent != nullptr, "named block " + name + " needs a parent scope");
    return AddScope(parent, accScope, fulltype, name, "");
}

Signal *ModelSim::AddSignal(ObjectKind kind, int type, int fulltype, Scope *scope, const std::string &name,
                            int msb, int lsb, bool is_signed) {
    Require(scope != nullptr && Owns(scope) && scope->kind == ObjectKind::kScope, name + " needs a scope");
    Require(!name.empty(), "an object needs a name");
    Require(FindIn(scope, name) == nullptr, "duplicate name " + name + " in " + scope->FullName());
    Logic initial = Logic::kX;
    unsigned char strength = vclStrong;
    if (fulltype == accSupply0 || fulltype == accSupply1) {
        initial = fulltype == accSupply0 ? Logic::k0 : Logic::k1;
        strength = vclSupply;
    }
    Signal *signal = Make<Signal>(kind, type, fulltype, name, scope, msb, lsb, is_signed, initial);
    if (kind == ObjectKind::kNet) {
        signal->strengths.assign(static_cast<std::size_t>(signal->Size()), BitStrength{strength, strength});
    }
    if (signal->IsVector()) {
        const int bit_type = kind == ObjectKind::kNet ? accNetBit : accRegBit;
        for (int position = 0; position < signal->Size(); ++position) {
            const int index = signal->IndexAt(position);
            signal->bits.push_back(
                Make<Bit>(bit_type, name + "[" + std::to_string(index) + "]", signal, position, index));
        }
    }
    Declare(scope, signal);
    return signal;
}

Signal *ModelSim::AddNet(Scope *scope, const std::string &name, int fulltype) {
    return AddNet(scope, name, 0, 0, fulltype);
}

Signal *ModelSim::AddNet(Scope *scope, const std::string &name, int msb, int lsb, int fulltype) {
    Require(fulltype >= accWire && fulltype <= accSupply1, "not a net fulltype: " + std::to_string(fulltype));
    return AddSignal(ObjectKind::kNet, accNet, fulltype, scope, name, msb, lsb, false);
}

Signal *ModelSim::AddReg(Scope *scope, const std::string &name) { return AddReg(scope, name, 0, 0); }

Signal *ModelSim::AddReg(Scope *scope, const std::string &name, int msb, int lsb) {
    return AddSignal(ObjectKind::kReg, accReg, accReg, scope, name, msb, lsb, false);
}

Signal *ModelSim::AddInteger(Scope *scope, const std::string &name) {
    return AddSignal(ObjectKind::kInteger, accIntegerVar, accIntegerVar, scope, name, 31, 0, true);
}

Signal *ModelSim::AddTime(Scope *scope, const std::string &name) {
    return AddSignal(ObjectKind::kTime, accTimeVar, accTimeVar, scope, name, 63, 0, false);
}

RealVar *ModelSim::AddReal(Scope *scope, const std::string &name) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate real " + name);
    RealVar *real = Make<RealVar>(name, scope);
    Declare(scope, real);
    return real;
}

NamedEvent *ModelSim::AddEvent(Scope *scope, const std::string &name) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate event " + name);
    NamedEvent *event = Make<NamedEvent>(name, scope);
    Declare(scope, event);
    return event;
}

Parameter *ModelSim::AddIntParam(Scope *scope, const std::string &name, std::int32_t value) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate parameter " + name);
    Parameter *parameter = Make<Parameter>(accIntegerParam, name, scope);
    parameter->value = FourState::FromUnsigned(static_cast<std::uint32_t>(value), 32);
    Declare(scope, parameter);
    return parameter;
}

Parameter *ModelSim::AddRealParam(Scope *scope, const std::string &name, double value) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate parameter " + name);
    Parameter *parameter = Make<Parameter>(accRealParam, name, scope);
    parameter->real = value;
    Declare(scope, parameter);
    return parameter;
}

Parameter *ModelSim::AddStringParam(Scope *scope, const std::string &name, const std::string &value) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate parameter " + name);
    Parameter *parameter = Make<Parameter>(accStringParam, name, scope);
    parameter->text = value;
    parameter->value = value.empty() ? FourState(8, Logic::k0) : FourState::FromChars(value);
    Declare(scope, parameter);
    return parameter;
}

Memory *ModelSim::AddMemory(Scope *scope, const std::string &name, int msb, int lsb, int first, int last) {
    Require(scope != nullptr && FindIn(scope, name) == nullptr, "bad or duplicate memory " + name);
    Memory *memory = Make<Memory>(name, scope, msb, lsb, first, last);
    Declare(scope, memory);
    return memory;
}

Port *ModelSim::AddPort(Scope *module, const std::string &name, int direction, Object *loconn, Object *hiconn) {
    Require(module != nullptr && module->IsModule(), "port " + name + " needs a module instance");
    Require(direction == accInput || direction == accOutput || direction == accInout,
            "bad port direction " + std::to_string(direction));
    Require(loconn != nullptr && Owns(loconn) && loconn->scope == module,
            "port " + name + " must connect an object of its module");
    Require(hiconn == nullptr || (Owns(hiconn) && module->scope != nullptr && hiconn->scope == module->scope),
            "port " + name + " must connect an object of the parent module");
    for (const Port *port : module->ports) {
        Require(port->name != name, "duplicate port " + name);
    }
    Port *port = Make<Port>(name, module, direction, loconn, hiconn, loconn->Size());
    module->ports.push_back(port);
    return port;
}

void ModelSim::Collapse(Signal *net, Signal *into) {
    Require(net != nullptr && into != nullptr && net->IsNet() && into->IsNet(), "only nets collapse");
    Require(net != into && net->collapsed_into == nullptr, net->FullName() + " cannot collapse again");
    Require(net->Size() == into->Size(), "collapsed nets must have the same size");
    Require(Simulated(into) != net, "collapsing " + net->FullName() + " would make a cycle");
    net->collapsed_into = into;
    into->collapsed_from.push_back(net);
}

void ModelSim::SetTimeUnit(Scope *module, int exponent) {
    Require(module != nullptr && module->IsModule(), "time units belong to module instances");
    module->time_unit = exponent;
}

Bit *ModelSim::BitOf(Signal *vector, int index) const {
    if (vector == nullptr || vector->bits.empty()) {
        return nullptr;
    }
    const int position = vector->PositionOf(index);
    return position < 0 ? nullptr : vector->bits[static_cast<std::size_t>(position)];
}

Signal *ModelSim::Simulated(Signal *net) {
    while (net->collapsed_into != nullptr) {
        net = net->collapsed_into;
    }
    return net;
}

Object *ModelSim::FindIn(const Scope *scope, std::string_view name) const {
    for (Object *item : scope->items) {
        if (item->name == name) {
            return item;
        }
    }
    return nullptr;
}

// Resolves `rest` (dotted, the last component possibly with a bit select)
// below `start`.
Object *ModelSim::Descend(Object *start, std::string_view rest) const {
    Object *current = start;
    while (current != nullptr && !rest.empty()) {
        const auto [part, after] = SplitFirst(rest);
        rest = after;
        if (current->kind != ObjectKind::kScope) {
            return nullptr;
        }
        Component component = ParseComponent(part);
        Scope *scope = static_cast<Scope *>(current);
        current = FindIn(scope, component.name);
        if (current == nullptr && component.index) {
            // A scope named with its index, as generate loops name them.
            component = Component{part, std::nullopt};
            current = FindIn(scope, part);
        }
        if (current != nullptr && component.index) {
            if (!rest.empty() || current->kind == ObjectKind::kScope) {
                return nullptr;
            }
            current = (current->kind == ObjectKind::kNet || current->kind == ObjectKind::kReg)
                          ? BitOf(static_cast<Signal *>(current), *component.index)
                          : nullptr;
        }
    }
    return current;
}

Object *ModelSim::Lookup(std::string_view path, Scope *from) const {
    if (path.empty()) {
        return nullptr;
    }
    const auto [first, rest] = SplitFirst(path);
    const std::string_view first_name = ParseComponent(first).name;
    // The first component names something visible from `from`: declared in it
    // or in an enclosing scope, or a top module.
    for (Scope *scope = from; scope != nullptr; scope = scope->scope) {
        if (FindIn(scope, first_name) != nullptr || FindIn(scope, first) != nullptr) {
            return Descend(scope, path);
        }
    }
    for (Scope *top : top_modules_) {
        if (top->name == first_name) {
            return rest.empty() ? (ParseComponent(first).index ? nullptr : top) : Descend(top, rest);
        }
    }
    return nullptr;
}

const Port *ModelSim::PortOf(const Object *object) const {
    const Scope *module = object->scope;
    if (module == nullptr || object->kind == ObjectKind::kPort || object->kind == ObjectKind::kScope) {
        return nullptr;
    }
    for (const Port *port : module->ports) {
        if (port->loconn == object) {
            return port;
        }
    }
    return nullptr;
}

}  // namespace tavri::test
