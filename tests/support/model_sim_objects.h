// Design objects of the model simulator. A PLI handle is a pointer to one of
// these; the simulator owns them, so their addresses stay valid as long as the
// simulator lives. Tests read the fields freely and may flip the plain flags
// (is_protected, name_fetch_fails, expanded); anything that must stay
// consistent with other objects goes through ModelSim.
#ifndef TAVRI_TESTS_SUPPORT_MODEL_SIM_OBJECTS_H
#define TAVRI_TESTS_SUPPORT_MODEL_SIM_OBJECTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/model_sim_values.h"

namespace tavri::test {

enum class ObjectKind {
    kScope,      // module instance, task, function, named block
    kNet,
    kReg,
    kInteger,
    kTime,
    kReal,
    kEvent,
    kParameter,
    kPort,
    kBit,        // bit of a vector net or reg
    kMemory,
    kConstant,   // a constant task argument (acc_handle_tfarg)
};

class Scope;

class Object {
public:
    Object(ObjectKind kind_in, int type_in, int fulltype_in, std::string name_in, Scope *scope_in)
        : kind(kind_in), type(type_in), fulltype(fulltype_in), name(std::move(name_in)), scope(scope_in) {}
    virtual ~Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;

    // Dotted path from the top module ("top.u1.data", "top.bus[3]").
    std::string FullName() const;
    // Number of bits (acc_fetch_size).
    virtual int Size() const { return 0; }

    const ObjectKind kind;
    const int type;      // acc_fetch_type
    const int fulltype;  // acc_fetch_fulltype
    const std::string name;
    Scope *const scope;  // the scope that declares the object; null for top modules and constants

    bool is_protected = false;      // acc_object_of_type(h, accProtected)
    bool name_fetch_fails = false;  // acc_fetch_name and acc_fetch_fullname return null
};

class Port;

// Module instances (type accModule), tasks, functions and named blocks.
class Scope : public Object {
public:
    Scope(int type_in, int fulltype_in, std::string name_in, Scope *parent, std::string defname_in)
        : Object(ObjectKind::kScope, type_in, fulltype_in, std::move(name_in), parent),
          defname(std::move(defname_in)) {}

    bool IsModule() const { return type == accModule; }
    // The module instance this scope belongs to (itself for a module).
    const Scope *Module() const;

    const std::string defname;        // definition name of a module instance, empty otherwise
    std::vector<Object *> items;      // declared objects and child scopes, in declaration order
    std::vector<Scope *> scopes;      // child scopes, in declaration order
    std::vector<Port *> ports;        // ports of a module instance, in declaration order
    std::optional<int> time_unit;     // exponent (e.g. -9); unset: the resolution limit
};

// Strength pair of one net bit as a value-change record carries it: both
// fields the drive strength for 0 and 1; the 0 and the 1 component for x;
// 0 (HiZ) for z.
struct BitStrength {
    unsigned char strength1 = vclStrong;
    unsigned char strength2 = vclStrong;
    bool operator==(const BitStrength &other) const = default;
};

class Bit;

// Nets, regs, integer and time variables: four-state storage.
class Signal : public Object {
public:
    Signal(ObjectKind kind_in, int type_in, int fulltype_in, std::string name_in, Scope *scope_in, int msb_in,
           int lsb_in, bool is_signed_in, Logic initial)
        : Object(kind_in, type_in, fulltype_in, std::move(name_in), scope_in),
          msb(msb_in),
          lsb(lsb_in),
          is_signed(is_signed_in),
          value((msb_in > lsb_in ? msb_in - lsb_in : lsb_in - msb_in) + 1, initial) {}

    int Size() const override { return value.width(); }
    bool IsNet() const { return kind == ObjectKind::kNet; }
    bool IsVector() const { return (kind == ObjectKind::kNet || kind == ObjectKind::kReg) && Size() > 1; }
    // Position from the least significant end of declared index `index`, or -1.
    int PositionOf(int index) const;
    // Declared index of the bit at `position`.
    int IndexAt(int position) const { return msb >= lsb ? lsb + position : lsb - position; }

    const int msb;
    const int lsb;
    const bool is_signed;
    bool expanded = false;  // acc_object_of_type(h, accExpandedVector) for a vector

    // Own storage; a collapsed net keeps none of its own and reads its
    // simulated net's instead.
    FourState value;
    std::vector<BitStrength> strengths;  // nets only, by position

    Signal *collapsed_into = nullptr;      // nets: the net this one is collapsed into
    std::vector<Signal *> collapsed_from;  // nets collapsed into this one
    std::vector<Bit *> bits;               // vectors: bits by position (0 = least significant)
};

// One bit of a vector net or reg (accNetBit / accRegBit).
class Bit : public Object {
public:
    Bit(int type_in, std::string name_in, Signal *vector_in, int position_in, int index_in)
        : Object(ObjectKind::kBit, type_in, type_in, std::move(name_in), vector_in->scope),
          vector(vector_in),
          position(position_in),
          index(index_in) {}

    int Size() const override { return 1; }

    Signal *const vector;
    const int position;  // from the least significant end
    const int index;     // declared index
};

class RealVar : public Object {
public:
    RealVar(std::string name_in, Scope *scope_in)
        : Object(ObjectKind::kReal, accRealVar, accRealVar, std::move(name_in), scope_in) {}
    int Size() const override { return 64; }
    double value = 0.0;
};

class NamedEvent : public Object {
public:
    NamedEvent(std::string name_in, Scope *scope_in)
        : Object(ObjectKind::kEvent, accNamedEvent, accNamedEvent, std::move(name_in), scope_in) {}
    int Size() const override { return 1; }
    std::uint64_t triggers = 0;
};

// Integer, real and string parameters (fulltype accIntegerParam,
// accRealParam, accStringParam).
class Parameter : public Object {
public:
    Parameter(int fulltype_in, std::string name_in, Scope *scope_in)
        : Object(ObjectKind::kParameter, accParameter, fulltype_in, std::move(name_in), scope_in) {}
    int Size() const override { return fulltype == accRealParam ? 64 : value.width(); }
    FourState value;    // integer and string parameters
    double real = 0.0;  // real parameters
    std::string text;   // string parameters
};

class Port : public Object {
public:
    Port(std::string name_in, Scope *module, int direction_in, Object *loconn_in, Object *hiconn_in, int size_in)
        : Object(ObjectKind::kPort, accPort, size_in > 1 ? accVectorPort : accScalarPort, std::move(name_in), module),
          direction(direction_in),
          loconn(loconn_in),
          hiconn(hiconn_in),
          size(size_in) {}
    int Size() const override { return size; }
    const int direction;    // accInput, accOutput, accInout
    Object *const loconn;   // inside the module
    Object *const hiconn;   // in the parent (null when unconnected)
    const int size;
};

// An array of regs. ACC knows no memory objects: acc_fetch_type reports 0 and
// acc_next never returns one; tests reach them as task arguments.
class Memory : public Object {
public:
    Memory(std::string name_in, Scope *scope_in, int msb_in, int lsb_in, int first_in, int last_in)
        : Object(ObjectKind::kMemory, 0, 0, std::move(name_in), scope_in),
          msb(msb_in),
          lsb(lsb_in),
          first(first_in),
          last(last_in) {
        const int count = (first > last ? first - last : last - first) + 1;
        cells.assign(static_cast<std::size_t>(count), FourState(WordWidth(), Logic::kX));
    }
    int WordWidth() const { return (msb > lsb ? msb - lsb : lsb - msb) + 1; }
    int Size() const override { return WordWidth(); }
    // Cell of element `index` (cells ascend by index), or -1.
    int CellOf(int index) const;

    const int msb, lsb;      // word range
    const int first, last;   // declared element range
    std::vector<FourState> cells;
    // The value buffer tf_nodeinfo hands out: the simulator's own storage
    // as PLI sees it, so once handed out it follows every SetWord.
    std::vector<unsigned char> pli_buffer;
};

// A constant task argument as an ACC object (type and fulltype accConstant).
class Constant : public Object {
public:
    explicit Constant(FourState value_in, bool is_signed_in)
        : Object(ObjectKind::kConstant, accConstant, accConstant, "", nullptr),
          value(std::move(value_in)),
          is_signed(is_signed_in) {}
    explicit Constant(double real_in)
        : Object(ObjectKind::kConstant, accConstant, accConstant, "", nullptr), is_real(true), real(real_in) {}
    int Size() const override { return is_real ? 64 : value.width(); }
    FourState value;
    bool is_signed = false;
    bool is_real = false;
    double real = 0.0;
};

}  // namespace tavri::test

#endif
