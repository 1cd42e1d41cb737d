// Design objects as the ACC routines describe them: types and fulltypes,
// names, ranges, and iteration over top modules, scopes, the objects of a
// scope, ports and bits. Iterations are built once per scope and kept; what
// each object is comes from its facts (vpi_object_facts.cpp), asked once.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

vpiHandle Vpi(handle object) { return static_cast<vpiHandle>(object); }

// Objects in declaration order with positions for the "next after" lookups.
// Walks ask for the item after the one handed out last, which the cursor
// answers; the positions of all items are indexed on the first other
// question.
struct Listing {
    static constexpr size_t kFewItems = 32;
    std::vector<vpiHandle> items;
    mutable size_t cursor = 0;  // the position of the item handed out last
    mutable std::unordered_map<vpiHandle, size_t> position;

    // Index after `previous` (0 for none); items.size() when unknown.
    size_t After(handle previous) const {
        if (previous == nullptr) {
            return 0;
        }
        if (cursor < items.size() && items[cursor] == Vpi(previous)) {
            return cursor + 1;
        }
        if (position.empty()) {
            for (size_t i = 0; i < items.size(); ++i) {
                position.emplace(items[i], i);
            }
        }
        auto found = position.find(Vpi(previous));
        return found == position.end() ? items.size() : found->second + 1;
    }
    // The item at `index`, or null past the end.
    vpiHandle HandOut(size_t index) const {
        if (index >= items.size()) {
            return nullptr;
        }
        cursor = index;
        return items[index];
    }
    // Drops the repeats of items listed before (an object that two kinds
    // of iteration both return), keeping the first.
    void DropRepeats() {
        // A scope holds a few objects: compared pairwise without a copy.
        if (items.size() <= kFewItems) {
            size_t kept = 0;
            for (size_t i = 0; i < items.size(); ++i) {
                if (std::find(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(kept), items[i]) ==
                    items.begin() + static_cast<std::ptrdiff_t>(kept)) {
                    items[kept++] = items[i];
                }
            }
            items.resize(kept);
            return;
        }
        std::vector<std::pair<vpiHandle, size_t>> sorted;
        sorted.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            sorted.emplace_back(items[i], i);
        }
        std::sort(sorted.begin(), sorted.end());
        std::vector<bool> repeat(items.size(), false);
        for (size_t i = 1; i < sorted.size(); ++i) {
            repeat[sorted[i].second] = sorted[i].first == sorted[i - 1].first;
        }
        size_t kept = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            if (!repeat[i]) {
                items[kept++] = items[i];
            }
        }
        items.resize(kept);
    }
};

// The objects of a scope with the ACC type and fulltype of each, so that
// the walks over one kind after another do not classify them again.
struct ObjectListing {
    Listing listing;
    std::vector<std::pair<int, int>> kinds;  // (type, fulltype) by position
};

struct Caches {
    std::unique_ptr<Listing> top_modules;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> bits;
    std::unordered_map<vpiHandle, std::unique_ptr<ObjectListing>> objects;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> named;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> scopes;
    std::unordered_map<vpiHandle, std::unique_ptr<Listing>> ports;
};

// Left to the exit, as the object facts are (vpi_object_facts.cpp).
Caches &TheCaches() {
    static Caches &caches = *new Caches;
    return caches;
}

// Appends the objects of each of `kinds` in `scope` to the listing. They
// are gathered in a vector kept from call to call and copied once, as a
// listing of a few objects would otherwise grow several times.
void AddAll(Listing &listing, std::initializer_list<int> kinds, vpiHandle scope) {
    static std::vector<vpiHandle> &gathered = *new std::vector<vpiHandle>;
    gathered.assign(listing.items.begin(), listing.items.end());
    for (int kind : kinds) {
        if (vpiHandle iterator = vpi_iterate(kind, scope)) {
            while (vpiHandle item = vpi_scan(iterator)) {
                gathered.push_back(item);
            }
        }
    }
    listing.items.assign(gathered.begin(), gathered.end());
}

// The objects of a scope that have an ACC type (memories have none: no
// walk over a scope's objects returns them).
const ObjectListing &ClassifiedObjectsOf(vpiHandle scope) {
    auto &slot = TheCaches().objects[scope];
    if (slot == nullptr) {
        slot = std::make_unique<ObjectListing>();
        AddAll(slot->listing, {vpiNet, vpiReg, vpiVariables, vpiNamedEvent, vpiParameter}, scope);
        slot->listing.DropRepeats();
        slot->kinds.reserve(slot->listing.items.size());
        for (vpiHandle item : slot->listing.items) {
            slot->kinds.emplace_back(ObjectType(item), ObjectFulltype(item));
        }
    }
    return *slot;
}

// Every object declared in a scope, memories too, as names find them.
const Listing &ObjectsOf(vpiHandle scope) {
    auto &slot = TheCaches().named[scope];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        slot->items = ClassifiedObjectsOf(scope).listing.items;
        AddAll(*slot, {vpiMemory}, scope);
        slot->DropRepeats();
    }
    return *slot;
}

const Listing &ScopesOf(vpiHandle scope) {
    auto &slot = TheCaches().scopes[scope];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, {vpiInternalScope}, scope);
    }
    return *slot;
}

const Listing &TopModules() {
    auto &slot = TheCaches().top_modules;
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, {vpiModule}, nullptr);
    }
    return *slot;
}

const Listing &PortsOf(vpiHandle module) {
    auto &slot = TheCaches().ports[module];
    if (slot == nullptr) {
        slot = std::make_unique<Listing>();
        AddAll(*slot, {vpiPort}, module);
    }
    return *slot;
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
        const char *item_name = ObjectName(item);
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
        if (at == nullptr || !IsScopeKind(ObjectKind(at))) {
            return nullptr;
        }
        vpiHandle child = Named(ScopesOf(at), component);
        at = child != nullptr ? child : Named(ObjectsOf(at), component);
    }
    return at;
}

}  // namespace

int AccFetchType(handle object) { return ObjectType(Vpi(object)); }

int AccFetchFulltype(handle object) { return ObjectFulltype(Vpi(object)); }

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
    return object != nullptr && ObjectIsOfType(Vpi(object), type) ? 1 : 0;
}

char *AccFetchName(handle object) {
    if (object == nullptr) {
        return nullptr;
    }
    // Callers copy what they keep, as with any ACC string; a kept name
    // needs no copy of its own.
    const char *name = ObjectName(Vpi(object));
    return name != nullptr ? const_cast<char *>(name) : AccString("");
}

char *AccFetchFullname(handle object) {
    return object != nullptr ? AccString(vpi_get_str(vpiFullName, Vpi(object))) : nullptr;
}

char *AccFetchDefname(handle object) {
    if (object == nullptr || ObjectKind(Vpi(object)) != vpiModule) {
        return nullptr;
    }
    return AccString(vpi_get_str(vpiDefName, Vpi(object)));
}

int AccFetchDirection(handle object) {
    if (object == nullptr || ObjectKind(Vpi(object)) != vpiPort) {
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
    ObjectRange(Vpi(object), msb, lsb);
    return 1;
}

int AccFetchSize(handle object) {
    if (object == nullptr) {
        return 0;
    }
    const int size = ObjectSize(Vpi(object));
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
    if (ObjectKind(Vpi(object)) == vpiPort) {
        return vpi_handle(vpiModule, Vpi(object));
    }
    return vpi_handle(vpiScope, Vpi(object));
}

handle AccHandleSimulatedNet(handle net) { return SimulatedNet(Vpi(net)); }

// Ports' outside connections are not reported by this simulator.
handle AccHandleHiconn(handle /*port*/) { return nullptr; }

handle AccNext(int *types, handle scope, handle previous) {
    if (scope == nullptr || types == nullptr) {
        return nullptr;
    }
    const ObjectListing &objects = ClassifiedObjectsOf(Vpi(scope));
    const std::vector<vpiHandle> &items = objects.listing.items;
    for (size_t i = objects.listing.After(previous); i < items.size(); ++i) {
        const auto [type, fulltype] = objects.kinds[i];
        for (const int *wanted = types; *wanted != 0; ++wanted) {
            if (*wanted == type || *wanted == fulltype) {
                return objects.listing.HandOut(i);
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
                slot->items.push_back(bit);
            }
            if (index == right) {
                break;
            }
        }
        slot->DropRepeats();
    }
    return slot->HandOut(slot->After(previous));
}

handle AccNextPort(handle module, handle previous) {
    if (module == nullptr) {
        return nullptr;
    }
    const Listing &ports = PortsOf(Vpi(module));
    return ports.HandOut(ports.After(previous));
}

handle AccNextScope(handle scope, handle previous) {
    if (scope == nullptr) {
        return nullptr;
    }
    const Listing &scopes = ScopesOf(Vpi(scope));
    return scopes.HandOut(scopes.After(previous));
}

handle AccNextTopmod(handle previous) {
    const Listing &modules = TopModules();
    return modules.HandOut(modules.After(previous));
}

}  // namespace tavri::vpi
