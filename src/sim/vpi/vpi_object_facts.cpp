// What a design object is, asked of the simulator once per object: its
// kind, ACC type and fulltype, size, range and name, and the simulated net
// a scalar shares with others.
//
// The answers are kept by handle for the objects the simulator builds with
// the design and keeps for the whole run (signals, variables, scopes, ports,
// parameters, named events, memories): such a handle is never freed, so its
// address can never name another object. Any other handle (a bit, an
// expression, a task argument that is not a signal) may be a temporary that
// the simulator frees and reuses; it is asked afresh every time.
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sim/pointer_table.h"
#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

// Kept for every signal, port and scope of the design: packed, with the
// name in the name store.
struct Facts {
    int32_t vpi_type = 0;
    int32_t fulltype = -1;  // -1 until asked, as for the fields below
    int32_t size = -1;
    int32_t left = 0;
    int32_t right = 0;
    PLI_INT32 nexus = 0;
    int8_t vector = -1;
    bool range_known = false;
    int8_t bounds = -1;  // a signal's integer bounds: -1 not asked, 0 none, 1 in left and right
    bool name_known = false;
    bool nexus_known = false;
    const char *name = nullptr;  // null for an object without a name
};

// The names of kept objects, packed into chunks that live as long as the
// facts.
class NameStore {
  public:
    const char *Keep(const char *name) {
        const size_t bytes = std::strlen(name) + 1;
        if (bytes > room_) {
            const size_t size = bytes > kChunk ? bytes : kChunk;
            chunks_.push_back(std::make_unique<char[]>(size));
            next_ = chunks_.back().get();
            room_ = size;
        }
        char *kept = next_;
        std::memcpy(kept, name, bytes);
        next_ += bytes;
        room_ -= bytes;
        return kept;
    }

  private:
    static constexpr size_t kChunk = 0x4000;
    std::vector<std::unique_ptr<char[]>> chunks_;
    char *next_ = nullptr;
    size_t room_ = 0;
};

bool Lasting(int vpi_type) {
    switch (vpi_type) {
        case vpiNet:
        case vpiReg:
        case vpiIntegerVar:
        case vpiTimeVar:
        case vpiRealVar:
        case vpiNamedEvent:
        case vpiParameter:
        case vpiMemory:
        case vpiPort:
        case vpiModule:
        case vpiTask:
        case vpiFunction:
        case vpiNamedBegin:
        case vpiNamedFork:
        case vpiGenScope:
            return true;
        default:
            return false;
    }
}

// The tables of this binding (these, the links and the listings) hold an
// entry for every object of the design and live until the simulator unloads
// the dumper as its process ends: they are left to the exit instead of being
// freed entry by entry then, which took 7.6 M instructions for 17,000
// signals.
// The facts are packed in chunks (a deque never moves what it holds) and
// found through a pointer table: the traversal asks about every object a
// dozen times, and a node per object with a hashed lookup cost more than the
// answers it saved.
// Created with the first facts: a deque allocates as it is made, and the
// dumper is loaded before the simulator reads the design.
std::deque<Facts> *g_facts = nullptr;
sim::PointerTable<__vpiHandle, Facts> &g_kept = *new sim::PointerTable<__vpiHandle, Facts>;
NameStore &g_names = *new NameStore;

// The dumper asks several questions in a row about one object: the last
// kept object answers them without a lookup.
vpiHandle g_last = nullptr;
Facts *g_last_facts = nullptr;

// The facts of an object seen for the first time: kept ones for an object
// that lasts, else a fresh record (valid until the next call). Out of line,
// so that the lookups before it need no stack frame.
[[gnu::noinline]] Facts &NewFacts(vpiHandle object) {
    const int vpi_type = vpi_get(vpiType, object);
    if (Lasting(vpi_type)) {
        if (g_facts == nullptr) {
            g_facts = new std::deque<Facts>;
        }
        Facts &facts = g_facts->emplace_back();
        facts.vpi_type = vpi_type;
        g_kept.Insert(object, &facts);
        g_last = object;
        g_last_facts = &facts;
        return facts;
    }
    static Facts transient;
    transient = Facts{};
    transient.vpi_type = vpi_type;
    return transient;
}

// The facts of `object` (see NewFacts).
Facts &FactsOf(vpiHandle object) {
    if (object == g_last) {
        return *g_last_facts;
    }
    if (Facts *found = g_kept.Find(object)) {
        g_last = object;
        g_last_facts = found;
        return *found;
    }
    return NewFacts(object);
}

int TypeOf(int vpi_type) {
    switch (vpi_type) {
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

// This simulator answers the bounds of a signal's range as integer
// properties, far more cheaply than through the range expressions; they
// give its size too (the simulator counts it from the same two bounds).
// False, for good, when the object is no signal or does not answer.
bool SignalBounds(vpiHandle object, Facts &facts) {
    if (facts.bounds < 0) {
        facts.bounds = 0;
        if (facts.vpi_type == vpiNet || facts.vpi_type == vpiReg) {
            const int left = vpi_get(vpiLeftRange, object);
            const int right = vpi_get(vpiRightRange, object);
            if (left != vpiUndefined && right != vpiUndefined) {
                facts.left = left;
                facts.right = right;
                facts.range_known = true;
                facts.bounds = 1;
            }
        }
    }
    return facts.bounds > 0;
}

int Size(vpiHandle object, Facts &facts) {
    if (facts.size < 0) {
        if (SignalBounds(object, facts)) {
            const int64_t span = static_cast<int64_t>(facts.left) - facts.right;
            facts.size = static_cast<int32_t>((span < 0 ? -span : span) + 1);
        } else {
            facts.size = vpi_get(vpiSize, object);
            facts.size = facts.size < 0 ? 0 : facts.size;
        }
    }
    return facts.size;
}

int Fulltype(vpiHandle object, Facts &facts) {
    if (facts.fulltype >= 0) {
        return facts.fulltype;
    }
    switch (facts.vpi_type) {
        case vpiModule:
            if (vpi_handle(vpiScope, object) == nullptr) {
                facts.fulltype = accTopModule;
            } else {
                facts.fulltype = vpi_get(vpiCellInstance, object) > 0 ? accCellInstance : accModuleInstance;
            }
            break;
        case vpiNamedBegin:
        // A generate block is a named block of the elaborated design, not
        // an instance: it has no definition and no ports.
        case vpiGenScope:
            facts.fulltype = accNamedBeginStat;
            break;
        case vpiNamedFork:
            facts.fulltype = accNamedForkStat;
            break;
        case vpiNet:
            facts.fulltype = NetFulltype(object);
            break;
        case vpiParameter:
            facts.fulltype = ParameterFulltype(object);
            break;
        case vpiPort:
            facts.fulltype = Size(object, facts) > 1 ? accVectorPort : accScalarPort;
            break;
        default:
            facts.fulltype = TypeOf(facts.vpi_type);
            break;
    }
    return facts.fulltype;
}

int ValueOfExpression(vpiHandle expression) {
    s_vpi_value value{};
    value.format = vpiIntVal;
    vpi_get_value(expression, &value);
    return value.value.integer;
}

void Range(vpiHandle object, Facts &facts) {
    if (facts.range_known) {
        return;
    }
    if (SignalBounds(object, facts)) {
        return;
    }
    facts.range_known = true;
    vpiHandle left = vpi_handle(vpiLeftRange, object);
    vpiHandle right = vpi_handle(vpiRightRange, object);
    if (left == nullptr || right == nullptr) {
        const int size = Size(object, facts);
        facts.left = size > 1 ? size - 1 : 0;
        facts.right = 0;
        return;
    }
    facts.left = ValueOfExpression(left);
    facts.right = ValueOfExpression(right);
}

// Whether a net or reg is declared with a range. The simulator reports a
// one-bit range [0:0] exactly like no range, so only other one-bit ranges
// ([3:3]) make a one-bit vector.
bool IsVector(vpiHandle object, Facts &facts) {
    if (facts.vector < 0) {
        if (Size(object, facts) > 1) {
            facts.vector = 1;
        } else {
            Range(object, facts);
            facts.vector = facts.left != 0 || facts.right != 0 ? 1 : 0;
        }
    }
    return facts.vector != 0;
}

// The simulator's number for the net a one-bit signal is simulated on,
// shared by every signal that ports collapse into it; 0 for anything else
// (vectors get none from this simulator).
PLI_INT32 Nexus(vpiHandle object, Facts &facts) {
    if (!facts.nexus_known) {
        facts.nexus_known = true;
        // Vectors have none from this simulator: not worth asking.
        if ((facts.vpi_type == vpiNet || facts.vpi_type == vpiReg) && Size(object, facts) == 1) {
            facts.nexus = vpi_get(_vpiNexusId, object);
            facts.nexus = facts.nexus == vpiUndefined ? 0 : facts.nexus;
        }
    }
    return facts.nexus;
}

// The first signal of each simulated net that the dumper looked at.
// Left to the exit, as the facts are.
std::unordered_map<PLI_INT32, vpiHandle> &g_first_of_nexus = *new std::unordered_map<PLI_INT32, vpiHandle>;

}  // namespace

int ObjectKind(vpiHandle object) { return object != nullptr ? FactsOf(object).vpi_type : 0; }

int ObjectType(vpiHandle object) { return object != nullptr ? TypeOf(FactsOf(object).vpi_type) : 0; }

int ObjectFulltype(vpiHandle object) {
    if (object == nullptr) {
        return 0;
    }
    return Fulltype(object, FactsOf(object));
}

int ObjectSize(vpiHandle object) {
    if (object == nullptr) {
        return 0;
    }
    return Size(object, FactsOf(object));
}

void ObjectRange(vpiHandle object, int *left, int *right) {
    Facts &facts = FactsOf(object);
    Range(object, facts);
    *left = facts.left;
    *right = facts.right;
}

bool ObjectIsVector(vpiHandle object) {
    Facts &facts = FactsOf(object);
    return (facts.vpi_type == vpiNet || facts.vpi_type == vpiReg) && IsVector(object, facts);
}

const char *ObjectName(vpiHandle object) {
    if (object == nullptr) {
        return nullptr;
    }
    Facts &facts = FactsOf(object);
    if (!Lasting(facts.vpi_type)) {
        const char *name = vpi_get_str(vpiName, object);
        return name != nullptr ? AccString(name) : nullptr;
    }
    if (!facts.name_known) {
        const char *name = vpi_get_str(vpiName, object);
        facts.name_known = true;
        facts.name = name != nullptr ? g_names.Keep(name) : nullptr;
    }
    return facts.name;
}

bool IsScopeKind(int vpi_type) {
    return vpi_type == vpiModule || vpi_type == vpiTask || vpi_type == vpiFunction || vpi_type == vpiNamedBegin ||
           vpi_type == vpiNamedFork || vpi_type == vpiGenScope;
}

bool ObjectIsOfType(vpiHandle object, int type) {
    // One lookup for all the questions: the traversal asks this of every
    // variable several times over.
    Facts &facts = FactsOf(object);
    if (type == TypeOf(facts.vpi_type) || type == Fulltype(object, facts)) {
        return true;
    }
    const bool signal = facts.vpi_type == vpiNet || facts.vpi_type == vpiReg;
    switch (type) {
        case accScalar:
            return facts.vpi_type == vpiNetBit || facts.vpi_type == vpiRegBit || (signal && !IsVector(object, facts));
        case accVector:
            return signal && IsVector(object, facts);
        case accScope:
            return IsScopeKind(facts.vpi_type);
        // A signal that shares its simulated net with one looked at before
        // it (a port connection the simulator merged into one net).
        case accCollapsedNet:
            return signal && SimulatedNet(object) != object;
        default:
            return false;
    }
}

vpiHandle SimulatedNet(vpiHandle signal) {
    if (signal == nullptr) {
        return nullptr;
    }
    // Only nets and regs have a nexus, and their facts are kept.
    const PLI_INT32 nexus = Nexus(signal, FactsOf(signal));
    if (nexus == 0) {
        return signal;
    }
    return g_first_of_nexus.emplace(nexus, signal).first->second;
}

}  // namespace tavri::vpi
