// Design objects as the ACC routines describe them: types and fulltypes,
// names, ranges, and iteration over top modules, scopes, the objects of a
// scope, ports and bits. Iterations are built once per scope and kept.
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

vpiHandle Vpi(handle object) { return static_cast<vpiHandle>(object); }

// Objects in declaration order with positions for the "next after" lookups.
struct Listing {
    std::vector<vpiHandle> items;
    std::unordered_map<vpiHandle, size_t> position;

    void Add(vpiHandle item) {
        if (position.emplace(item, items.size()).second) {
            items.push_back(item);
        }
    }
    // Index after `previous` (0 for none); items.size() when unknown.
    size_t After(handle previous) const {
        if (previous == nullptr) {
            return 0;
        }
        auto found = position.find(Vpi(previous));
        return found == position.end() ? items.size() : found->second + 1;
    }
};

struct Caches {
    std::unique_ptr<Listing> top_modules;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> bits;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> objects;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> scopes;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> ports;
};

Caches &TheCaches() {
    static Caches caches;
    return caches;
}

void AddAll(Listing &listing, int kind, vpiHandle scope) {
    if (vpiHandle iterator = vpi_iterate(kind, scope)) {
        while (vpiHandle item = vpi_scan(iterator)) {
            listing.Add(item);
        }
    }
}

const Listing &ObjectsOf(vpiHandle scope) {
    auto &slot = TheCaches().objects[scope];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        for (int kind : {vpiNet, vpiReg, vpiVariables, vpiNamedEvent, vpiParameter, vpiMemory}) {
            AddAll(*slot, kind, scope);
        }
    }
    return *slot;
}

const Listing &ScopesOf(vpiHandle scope) {
    auto &slot = TheCaches().scopes[scope];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, vpiInternalScope, scope);
    }
    return *slot;
}

const Listing &TopModules() {
    auto &slot = TheCaches().top_modules;
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, vpiModule, nullptr);
    }
    return *slot;
}

const Listing &PortsOf(vpiHandle module) {
    auto &slot = TheCaches().ports[module];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, vpiPort, module);
    }
    return *slot;
}

int NetFulltype(vpiHandle net) {
    switch (vpi_get(vpiNetType, net)) {
        case vpiWand:
            return accWand;
        case vpiWor:
            return accWor;
        case vpiTri:
            return accTri;
        case vpiTri0:
            return accTri0;
        case vpiTri1:
            return accTri1;
        case vpiTriReg:
            return accTrireg;
        case vpiTriAnd:
            return accTriand;
        case vpiTriOr:
            return accTrior;
        case vpiSupply1:
            return accSupply1;
        case vpiSupply0:
            return accSupply0;
        default:
            return accWire;
    }
}

// Whether a net or reg is declared with a range. The simulator reports a
// one-bit range [0:0] exactly like no range, so only other one-bit ranges
// ([3:3]) make a one-bit vector.
bool IsVector(vpiHandle signal) {
    if (vpi_get(vpiSize, signal) > 1) {
        return true;
    }
    int left = 0;
    int right = 0;
    AccFetchRange(signal, &left, &right);
    return left != 0 || right != 0;
}

bool IsScopeKind(int vpi_type) {
    return vpi_type == vpiModule || vpi_type == vpiTask || vpi_type == vpiFunction || vpi_type == vpiNamedBegin ||
           vpi_type == vpiNamedFork || vpi_type == vpiGenScope;
}

// The components of a hierarchical name, split at the dots that are not in
// an escaped identifier (a backslash up to the next blank) or in brackets;
// an escaped identifier loses its backslash and its blank. Empty when a
// component is empty.
std::vector<std::string> Components(const char *name) {
    std::vector<std::string> components(1);
    int depth = 0;
    for (const char *p = name; *p != '\0'; ++p) {
        std::string &component = components.back();
        if (*p == '\\' && component.empty()) {
            while (p[1] != '\0' && p[1] != ' ' && p[1] != '\t') {
                component.push_back(*++p);
            }
            if (p[1] != '\0') {
                ++p;
            }
        } else if (*p == '.' && depth == 0) {
            components.emplace_back();
        } else {
            depth += *p == '[' ? 1 : *p == ']' ? -1 : 0;
            component.push_back(*p);
        }
    }
    for (const std::string &component : components) {
        if (component.empty()) {
            return {};
        }
    }
    return components;
}

vpiHandle Named(const Listing &listing, const std::string &name) {
    for (vpiHandle item : listing.items) {
        const char *item_name = vpi_get_str(vpiName, item);
        if (item_name != nullptr && name == item_name) {
            return item;
        }
    }
    return nullptr;
}

// The object that `components` name below `scope`, component by component
// through the scopes and the objects declared in them; null when one is
// missing.
vpiHandle Resolve(vpiHandle scope, const std::vector<std::string> &components) {
    vpiHandle at = scope;
    for (const std::string &component : components) {
        if (at == nullptr || !IsScopeKind(vpi_get(vpiType, at))) {
            return nullptr;
        }
        vpiHandle child = Named(ScopesOf(at), component);
        at = child != nullptr ? child : Named(ObjectsOf(at), component);
    }
    return at;
}

int ParameterFulltype(vpiHandle parameter) {
    switch (vpi_get(vpiConstType, parameter)) {
        case vpiRealConst:
            return accRealParam;
        case vpiStringConst:
            return accStringParam;
        default:
            return accIntegerParam;
    }
}

int ValueOfExpression(vpiHandle expression) {
    s_vpi_value value{};
    value.format = vpiIntVal;
    vpi_get_value(expression, &value);
    return value.value.integer;
}

}  // namespace

int AccFetchType(handle object) {
    if (object == nullptr) {
        return 0;
    }
    switch (vpi_get(vpiType, Vpi(object))) {
        case vpiModule:
            return accModule;
        case vpiTask:
            return accTask;
        case vpiFunction:
            return accFunction;
        case vpiNamedBegin:
        case vpiNamedFork:
        case vpiGenScope:
            return accScope;
        case vpiNet:
            return accNet;
        case vpiReg:
            return accReg;
        case vpiIntegerVar:
            return accIntegerVar;
        case vpiTimeVar:
            return accTimeVar;
        case vpiRealVar:
            return accRealVar;
        case vpiNamedEvent:
            return accNamedEvent;
        case vpiParameter:
            return accParameter;
        case vpiPort:
            return accPort;
        case vpiConstant:
            return accConstant;
        case vpiNetBit:
            return accNetBit;
        case vpiRegBit:
            return accRegBit;
        default:
            return 0;
    }
}

int AccFetchFulltype(handle object) {
    if (object == nullptr) {
        return 0;
    }
    vpiHandle item = Vpi(object);
    switch (vpi_get(vpiType, item)) {
        case vpiModule:
            if (vpi_handle(vpiScope, item) == nullptr) {
                return accTopModule;
            }
            return vpi_get(vpiCellInstance, item) > 0 ? accCellInstance : accModuleInstance;
        case vpiNamedBegin:
        // A generate block is a named block of the elaborated design, not
        // an instance: it has no definition and no ports.
        case vpiGenScope:
            return accNamedBeginStat;
        case vpiNamedFork:
            return accNamedForkStat;
        case vpiNet:
            return NetFulltype(item);
        case vpiParameter:
            return ParameterFulltype(item);
        case vpiPort:
            return vpi_get(vpiSize, item) > 1 ? accVectorPort : accScalarPort;
        default:
            return AccFetchType(object);
    }
}

char *AccFetchTypeStr(int type) {
    static const std::unordered_map<int, const char *> kNames = {
        {accModule, "accModule"},         {accScope, "accScope"},
        {accNet, "accNet"},               {accReg, "accReg"},
        {accPort, "accPort"},             {accNetBit, "accNetBit"},
        {accRegBit, "accRegBit"},         {accIntegerParam, "accIntegerParam"},
        {accRealParam, "accRealParam"},   {accStringParam, "accStringParam"},
        {accParameter, "accParameter"},   {accTopModule, "accTopModule"},
        {accModuleInstance, "accModuleInstance"}, {accCellInstance, "accCellInstance"},
        {accScalarPort, "accScalarPort"}, {accVectorPort, "accVectorPort"},
        {accWire, "accWire"},             {accNamedEvent, "accNamedEvent"},
        {accIntegerVar, "accIntegerVar"}, {accRealVar, "accRealVar"},
        {accTimeVar, "accTimeVar"},       {accScalar, "accScalar"},
        {accVector, "accVector"},         {accTask, "accTask"},
        {accFunction, "accFunction"},     {accNamedBeginStat, "accNamedBeginStat"},
        {accNamedForkStat, "accNamedForkStat"}, {accConstant, "accConstant"}};
    auto found = kNames.find(type);
    return AccString(found != kNames.end() ? found->second : "accUnknown");
}

int AccObjectOfType(handle object, int type) {
    if (object == nullptr) {
        return 0;
    }
    if (type == AccFetchType(object) || type == AccFetchFulltype(object)) {
        return 1;
    }
    vpiHandle item = Vpi(object);
    const int vpi_type = vpi_get(vpiType, item);
    const bool bit = vpi_type == vpiNetBit || vpi_type == vpiRegBit;
    const bool vector = (vpi_type == vpiNet || vpi_type == vpiReg) && IsVector(item);
    switch (type) {
        case accScalar:
            return bit || ((vpi_type == vpiNet || vpi_type == vpiReg) && !vector) ? 1 : 0;
        case accVector:
            return vector ? 1 : 0;
        case accScope:
            return IsScopeKind(vpi_type) ? 1 : 0;
        default:
            return 0;
    }
}

char *AccFetchName(handle object) {
    return object != nullptr ? AccString(vpi_get_str(vpiName, Vpi(object))) : nullptr;
}

char *AccFetchFullname(handle object) {
    return object != nullptr ? AccString(vpi_get_str(vpiFullName, Vpi(object))) : nullptr;
}

char *AccFetchDefname(handle object) {
    if (object == nullptr || vpi_get(vpiType, Vpi(object)) != vpiModule) {
        return nullptr;
    }
    return AccString(vpi_get_str(vpiDefName, Vpi(object)));
}

int AccFetchDirection(handle object) {
    if (object == nullptr || vpi_get(vpiType, Vpi(object)) != vpiPort) {
        return 0;
    }
    switch (vpi_get(vpiDirection, Vpi(object))) {
        case vpiInput:
            return accInput;
        case vpiOutput:
            return accOutput;
        case vpiInout:
            return accInout;
        default:
            return 0;
    }
}

int AccFetchRange(handle object, int *msb, int *lsb) {
    *msb = 0;
    *lsb = 0;
    if (object == nullptr) {
        return 0;
    }
    vpiHandle left = vpi_handle(vpiLeftRange, Vpi(object));
    vpiHandle right = vpi_handle(vpiRightRange, Vpi(object));
    if (left == nullptr || right == nullptr) {
        const int size = vpi_get(vpiSize, Vpi(object));
        *msb = size > 1 ? size - 1 : 0;
        return 1;
    }
    *msb = ValueOfExpression(left);
    *lsb = ValueOfExpression(right);
    return 1;
}

int AccFetchSize(handle object) {
    if (object == nullptr) {
        return 0;
    }
    const int size = vpi_get(vpiSize, Vpi(object));
    return size > 0 ? size : 1;
}

int AccCompareHandles(handle a, handle b) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 1 : 0;
    }
    return a == b || vpi_compare_objects(Vpi(a), Vpi(b)) != 0 ? 1 : 0;
}

// Names are resolved here, through the scopes' contents, rather than by the
// simulator's own lookup, which crashes on some names that do not exist and
// does not see into generate and named blocks.
handle AccHandleByName(const char *name, handle scope) {
    const std::vector<std::string> components = Components(name != nullptr ? name : "");
    if (components.empty()) {
        return nullptr;
    }
    if (scope != nullptr) {
        return Resolve(Vpi(scope), components);
    }
    // A name relative to the calling task's scope, found there or in an
    // enclosing scope, else a full path from the top of the design.
    if (TaskInstance *instance = Current()) {
        for (vpiHandle at = vpi_handle(vpiScope, instance->call); at != nullptr; at = vpi_handle(vpiScope, at)) {
            if (vpiHandle found = Resolve(at, components)) {
                return found;
            }
        }
    }
    vpiHandle top = Named(TopModules(), components.front());
    return top != nullptr ? Resolve(top, {components.begin() + 1, components.end()}) : nullptr;
}

handle AccHandleObject(const char *name) { return AccHandleByName(name, nullptr); }

handle AccHandleParent(handle object) { return AccHandleScope(object); }

handle AccHandleScope(handle object) {
    if (object == nullptr) {
        return nullptr;
    }
    if (vpi_get(vpiType, Vpi(object)) == vpiPort) {
        return vpi_handle(vpiModule, Vpi(object));
    }
    return vpi_handle(vpiScope, Vpi(object));
}

handle AccHandleSimulatedNet(handle net) { return net; }

// Ports' outside connections are not reported by this simulator.
handle AccHandleHiconn(handle /*port*/) { return nullptr; }

handle AccNext(int *types, handle scope, handle previous) {
    if (scope == nullptr || types == nullptr) {
        return nullptr;
    }
    const Listing &objects = ObjectsOf(Vpi(scope));
    for (size_t i = objects.After(previous); i < objects.items.size(); ++i) {
        vpiHandle item = objects.items[i];
        const int type = AccFetchType(item);
        const int fulltype = AccFetchFulltype(item);
        for (const int *wanted = types; *wanted != 0; ++wanted) {
            if (*wanted == type || *wanted == fulltype) {
                return item;
            }
        }
    }
    return nullptr;
}

handle AccNextBit(handle vector, handle previous) {
    if (vector == nullptr) {
        return nullptr;
    }
    auto &slot = TheCaches().bits[Vpi(vector)];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        int left = 0;
        int right = 0;
        AccFetchRange(vector, &left, &right);
        const int step = left >= right ? -1 : 1;
        for (int index = left;; index += step) {
            if (vpiHandle bit = vpi_handle_by_index(Vpi(vector), index)) {
                slot->Add(bit);
            }
            if (index == right) {
                break;
            }
        }
    }
    const size_t next = slot->After(previous);
    return next < slot->items.size() ? slot->items[next] : nullptr;
}

handle AccNextPort(handle module, handle previous) {
    if (module == nullptr) {
        return nullptr;
    }
    const Listing &ports = PortsOf(Vpi(module));
    const size_t next = ports.After(previous);
    return next < ports.items.size() ? ports.items[next] : nullptr;
}

handle AccNextScope(handle scope, handle previous) {
    if (scope == nullptr) {
        return nullptr;
    }
    const Listing &scopes = ScopesOf(Vpi(scope));
    const size_t next = scopes.After(previous);
    return next < scopes.items.size() ? scopes.items[next] : nullptr;
}

handle AccNextTopmod(handle previous) {
    const Listing &modules = TopModules();
    const size_t next = modules.After(previous);
    return next < modules.items.size() ? modules.items[next] : nullptr;
}

}  // namespace tavri::vpi
