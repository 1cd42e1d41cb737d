// The model simulator: an in-process simulator that the tests of the front
// end run against. A test builds a design in C++ (scopes, nets, regs,
// variables, ports, memories), places task calls with arguments in it, sets
// values and advances time; the simulator serves the project's routine table
// (TF, ACC and the simulator-specific routines) over that design with
// IEEE 1364 PLI 1.0 semantics, and captures what the front end prints.
//
// Only one simulator is active at a time: the routine table is global and the
// PLI routines carry no context argument. The constructor binds the
// simulator's routines with tavri::sim::Bind and makes it the active one; the
// destructor binds an empty table again. Each test builds a fresh one.
//
//   ModelSim sim;
//   Scope *top = sim.AddTopModule("top");
//   Signal *bus = sim.AddNet(top, "bus", 7, 0);
//   tavri::pli::RegisterDumper();              // rows arrive via mti_RegisterUserTF
//   sim.RunTask(top, "$traxVersion");          // checktf, then calltf; args as
//                                              // in Verilog: "$t(1, top, bus[3])"
//   sim.SetValue(bus, "1010xxzz");             // value-change links fire now
//   sim.EndStep();                             // synch, then rosynch callbacks
//   sim.AdvanceTo(100);                        // delayed reactivations, step by step
//   sim.Finish();                              // misctf(reason_finish) to every instance
//   EXPECT_EQ(sim.TranscriptText(), "...");
//
// Choices where PLI 1.0 leaves room (tests rely on them):
// - Strings returned by ACC routines live in a ring of kAccStringRing buffers
//   shared by all string-returning ACC routines: a string stays valid through
//   the next kAccStringRing - 1 such calls, then its buffer is reused.
// - acc_fetch_direction returns the direction of a port, and for a net or reg
//   that a port connects inside its module the direction of that (first)
//   port; other objects give 0.
// - acc_handle_parent and acc_handle_scope return the declaring scope of an
//   object (a bit's is its vector's); for a scope its enclosing scope, null for
//   a top module; for a port its module.
// - Net bits have type and fulltype accNetBit, reg bits accRegBit.
// - acc_next_bit serves every vector net and reg (expanded or not) and returns
//   the bits left index first; ports and other objects have no bits here.
// - acc_vcl_add makes a new link at each call, so adding the same link twice
//   delivers twice; acc_vcl_delete removes one link that matches all four
//   arguments.
// - Nets start at x with strong strength (supply0/supply1 at 0/1 with supply
//   strength), regs, integer and time variables at x, reals at 0.0.
// - Named events read as a 1-bit x through acc_fetch_value and tf_exprinfo.
// - acc_fetch_value: "%v" of a vector gives the bits' strength texts, most
//   significant first, separated by spaces; accScalarVal fails on multi-bit
//   objects; accIntVal and accRealVal read x and z bits as 0; with "%%" the
//   result is value->value.str for the text formats and a non-null empty
//   string for the others.
// - acc_handle_tfarg gives the bit object for a bit-select of a vector net or
//   reg, and null for part-selects, memory word-selects, string literals and
//   empty arguments (ACC has no object for them).
// - Memories have no ACC type (acc_fetch_type 0); value links on them are
//   refused.
// - tf_typep gives tf_readonly for scope references and named events.
// - tf_nodeinfo on a bit-, part- or memory word-select describes the whole
//   object selected from. A memory's value buffer is its live storage: each
//   cell 2 x node_ngroups bytes, its A groups then its B groups, least
//   significant group first; cells lie from the lowest index on, except that
//   a product version below 5.6 lays a descending memory out from its left
//   element on. For a scalar net, strengthval_p holds the strength
//   levels of the 0 and the 1 component: {s, 0} for a driven 0, {0, s} for a
//   driven 1, both for x, {0, 0} for z. Its value buffers are snapshots taken at the call,
//   valid until the next tf_nodeinfo or tf_exprinfo of the same argument.
// - tf_setdelay and tf_setlongdelay count in the time unit of the calling
//   instance's module and are scaled to simulation ticks (the resolution).
// - A misuse of a routine (a handle the simulator does not know, a routine that
//   needs a task instance called outside one, an unknown format) is recorded
//   in Diagnostics() besides the routine's failure result.
#ifndef TAVRI_TESTS_SUPPORT_MODEL_SIM_H
#define TAVRI_TESTS_SUPPORT_MODEL_SIM_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim_objects.h"
#include "support/model_sim_values.h"

struct Tcl_Interp;

namespace tavri::test {

// A task argument as a test writes it.
struct Arg {
    enum class Kind {
        kEmpty,       // $t(a,,b): the missing middle argument
        kString,      // "text"
        kRef,         // any design object: scope, net, reg, bit, variable, event, parameter, memory
        kBitSelect,   // r[3] of a net, reg, integer or time variable
        kPartSelect,  // r[5:2]
        kWordSelect,  // mem[2]
        kInt,         // integer constant (32 bits, signed)
        kBits,        // sized constant written in binary ("4'b10xz")
        kReal,        // real constant
    };

    static Arg Empty() { return Arg{}; }
    static Arg String(std::string text);
    static Arg Ref(Object *object);
    static Arg BitSelect(Object *vector, int index);
    static Arg PartSelect(Object *vector, int msb, int lsb);
    static Arg WordSelect(Memory *memory, int index);
    static Arg Int(std::int32_t value);
    static Arg Bits(std::string_view binary);
    static Arg Real(double value);

    Kind kind = Kind::kEmpty;
    std::string text;
    Object *object = nullptr;
    int index = 0;   // bit and word selects; msb of a part select
    int index2 = 0;  // lsb of a part select
    std::int32_t int_value = 0;
    double real_value = 0.0;
    FourState bits;
};

// One placed task call: an instance of a registered task row.
class TaskCall {
public:
    // The instance pointer of tf_getinstance and tf_isetlongdelay.
    char *instance() { return reinterpret_cast<char *>(this); }

    p_tfcell row = nullptr;
    Scope *scope = nullptr;
    std::string tfname;
    std::vector<Arg> args;

    int check_result = 0;      // what checktf returned (0 without a checktf)
    int check_errors = 0;      // tf_error calls made while checktf ran
    bool checked = false;
    int call_count = 0;
    int last_call_result = 0;

    // Storage behind the pointers the TF routines hand out, one per argument.
    struct Slot {
        Constant *constant = nullptr;  // constant arguments
        std::vector<s_vecval> groups;
        double real = 0.0;
        s_strengthval strength{0, 0};
        std::string cstring;  // tf_getcstringp of an expression
        std::string literal;  // a string literal's text
        std::string symbol;   // node_symbol
    };
    std::vector<Slot> slots;
    std::string mipname;
};

class ModelSim {
public:
    static constexpr int kAccStringRing = 8;

    ModelSim();
    ~ModelSim();
    ModelSim(const ModelSim &) = delete;
    ModelSim &operator=(const ModelSim &) = delete;

    // The simulator the routine table serves, or null.
    static ModelSim *Active();
    // The routine table of the model simulator (every entry filled).
    static sim::Routines RoutineTable();

    // ---- Design ---------------------------------------------------------
    // Module instances: the definition name defaults to the instance name.
    // An instance's parent is a module, or a begin-kind block inside one (the
    // scope a generate construct makes).
    Scope *AddTopModule(const std::string &name, const std::string &defname = "");
    Scope *AddModule(Scope *parent, const std::string &name, const std::string &defname = "");
    Scope *AddCell(Scope *parent, const std::string &name, const std::string &defname = "");
    Scope *AddTask(Scope *parent, const std::string &name);
    Scope *AddFunction(Scope *parent, const std::string &name);
    // Named blocks: accSeqBlock, accNamedBeginStat, accBeginKind716, accBeginKind717,
    // accParBlock, accNamedForkStat.
    Scope *AddBlock(Scope *parent, const std::string &name, int fulltype = accNamedBeginStat);

    Signal *AddNet(Scope *scope, const std::string &name, int fulltype = accWire);
    Signal *AddNet(Scope *scope, const std::string &name, int msb, int lsb, int fulltype = accWire);
    Signal *AddReg(Scope *scope, const std::string &name);
    Signal *AddReg(Scope *scope, const std::string &name, int msb, int lsb);
    Signal *AddInteger(Scope *scope, const std::string &name);
    Signal *AddTime(Scope *scope, const std::string &name);
    RealVar *AddReal(Scope *scope, const std::string &name);
    NamedEvent *AddEvent(Scope *scope, const std::string &name);
    Parameter *AddIntParam(Scope *scope, const std::string &name, std::int32_t value);
    Parameter *AddRealParam(Scope *scope, const std::string &name, double value);
    Parameter *AddStringParam(Scope *scope, const std::string &name, const std::string &value);
    Memory *AddMemory(Scope *scope, const std::string &name, int msb, int lsb, int first, int last);
    // A port of `module`; `loconn` is the object inside the module, `hiconn`
    // the one in the parent. The size is loconn's.
    Port *AddPort(Scope *module, const std::string &name, int direction, Object *loconn, Object *hiconn = nullptr);

    // Collapses `net` into `into` (same size): `net` then reads `into`'s value
    // and acc_handle_simulated_net(net) returns `into` (bits map to bits by
    // position).
    void Collapse(Signal *net, Signal *into);
    void SetTimeUnit(Scope *module, int exponent);

    // The bit object of declared index `index` of a vector net or reg.
    Bit *BitOf(Signal *vector, int index) const;
    // Name resolution of acc_handle_by_name: the first component in `from`,
    // then upward, then among the top modules; null `from`: the top level.
    // An escaped identifier ("top.\odd.name .r") names the object declared
    // without its backslash and closing blank ("odd.name").
    Object *Lookup(std::string_view path, Scope *from = nullptr) const;
    // True for a handle of an object this simulator made.
    bool Owns(const void *object) const { return objects_by_address_.count(object) != 0; }
    const std::vector<Scope *> &TopModules() const { return top_modules_; }

    // ---- Values ---------------------------------------------------------
    // Binary text, most significant bit first, for nets, regs, bits, integer
    // and time variables; `strength` (a vcl strength level) applies to every
    // 0/1/x bit of a net (z bits are HiZ); -1: strong. Value-change links fire
    // at once, at the current time.
    void SetValue(Object *object, std::string_view binary, int strength = -1);
    void SetBit(Signal *vector, int index, Logic value, int strength = -1);
    // Explicit strength pair of a scalar net or net bit, as a value-change
    // record carries it (see BitStrength).
    void SetStrengths(Object *net_or_bit, Logic value, int strength1, int strength2);
    void SetInteger(Signal *variable, std::int64_t value);
    void SetReal(RealVar *variable, double value);
    void Trigger(NamedEvent *event);
    void SetWord(Memory *memory, int index, std::string_view binary);

    // The current four-state value of a net, reg, bit, variable, parameter or
    // constant (a real one converted to a 64-bit integer; an event reads x).
    FourState ValueOf(const Object *object) const;

    // ---- Tasks ------------------------------------------------------------
    // Rows in registration order (mti_RegisterUserTF).
    const std::vector<p_tfcell> &RegisteredRows() const { return rows_; }
    // The latest row registered under `tfname`, or null.
    p_tfcell FindRow(std::string_view tfname) const;

    // Places a call written as Verilog source, e.g. `$t(top.a, , "s", 5, 2.5,
    // r[3], r[5:2], mem[1], 4'b10xz)`; `$t` has no argument, `$t()` one empty
    // argument. Names resolve as Lookup from `scope`. Throws
    // std::invalid_argument for a malformed call, an unknown name or an
    // unregistered task.
    TaskCall *AddTaskCall(Scope *scope, std::string_view source);
    TaskCall *AddTaskCall(Scope *scope, const std::string &tfname, std::vector<Arg> args);
    // Runs checktf / calltf with the call as calling context; returns the
    // routine's result (0 when the row has none).
    int RunCheck(TaskCall *call);
    int RunCall(TaskCall *call);
    // AddTaskCall, RunCheck, and RunCall unless checktf reported a tf_error
    // (a simulator stops at compile errors).
    TaskCall *RunTask(Scope *scope, std::string_view source);
    // Calls in creation order.
    const std::vector<TaskCall *> &TaskCalls() const { return call_order_; }
    // The task instance whose routine runs now, or null.
    TaskCall *CurrentCall() const { return current_; }

    // ---- Time -------------------------------------------------------------
    std::uint64_t Now() const { return now_; }
    // Ends the current time step: reactivations due now (zero delays), then
    // misctf(reason_synch) for every instance that asked with
    // tf_(i)synchronize, then misctf(reason_rosynch) once for every instance
    // that asked with tf_(i)rosynchronize. A synch request made during the
    // synch phase, and a rosynch request made during the rosynch phase, are
    // for the next step; reactivations a synch callback schedules with zero
    // delay still run in this step, before the rosynch phase.
    void EndStep();
    // Ends the current step, then runs every later step with reactivations
    // before `time` (each at its own time, each ended), and moves to `time`
    // running the reactivations due then; the step at `time` stays open.
    void AdvanceTo(std::uint64_t time);
    void Advance(std::uint64_t delta) { AdvanceTo(now_ + delta); }
    // Ends the current step and runs every scheduled reactivation, ending each step.
    void RunPending();
    std::size_t PendingReactivations() const { return reactivations_.size(); }

    // misctf(data, reason) for every task instance whose row has a misctf, in
    // instance creation order.
    void DeliverMisc(int reason);
    void Finish() { DeliverMisc(reason_finish); }
    void Save() { DeliverMisc(reason_save); }
    void Restart() { DeliverMisc(reason_restart); }
    // A reset: misctf(reason_reset) for every instance, then the simulation
    // goes back to time 0 and drops what was scheduled (reactivations and
    // synchronisation requests); values keep what they hold. EndOfReset
    // delivers the end of it.
    void Reset();
    void EndOfReset() { DeliverMisc(reason_endofreset); }
    // The simulation stops at the prompt (where EvalTcl runs commands).
    void Interactive() { DeliverMisc(reason_interactive); }
    void StartOfSave() { DeliverMisc(reason_startofsave); }
    void StartOfRestart() { DeliverMisc(reason_startofrestart); }

    // ---- Configuration ----------------------------------------------------
    void SetProductVersion(const std::string &text) { product_version_ = text; }
    void SetResolutionLimit(int exponent) { resolution_limit_ = exponent; }
    // A plus-argument as given on the command line, e.g. "+trax_max_glitch+5".
    void AddPlusArg(const std::string &text) { plusargs_.push_back(text); }
    int AccInitializeCount() const { return acc_initialize_count_; }

    // ---- Transcript -------------------------------------------------------
    enum class Channel { kError, kWarning, kPrint, kMessage };
    struct Message {
        Channel channel;
        std::string text;
    };
    const std::vector<Message> &Transcript() const { return transcript_; }
    // Every message in order: io_printf and mti_PrintMessage text as printed,
    // tf_error as "ERROR: text" and tf_warning as "WARNING: text", each of
    // these two ended with a newline.
    std::string TranscriptText() const;
    int CountMessages(Channel channel) const;
    void ClearTranscript() { transcript_.clear(); }
    const std::vector<std::string> &Diagnostics() const { return diagnostics_; }

    // ---- Tcl --------------------------------------------------------------
    struct TclResult {
        int code;  // TCL_OK, TCL_ERROR...
        std::string result;
    };
    TclResult EvalTcl(std::string_view script);
    // Names registered with mti_AddTclCommand, in order.
    const std::vector<std::string> &TclCommandNames() const { return tcl_names_; }
    // The interpreter (a Tcl_Interp *), created on first use.
    void *TclInterp();

    // ---- PLI routines -----------------------------------------------------
    // The routine table calls these on the active simulator.
    int tf_nump();
    int tf_typep(int n);
    p_tfexprinfo tf_exprinfo(int n, p_tfexprinfo info);
    p_tfnodeinfo tf_nodeinfo(int n, p_tfnodeinfo info);
    char *tf_getcstringp(int n);
    char *tf_getinstance();
    char *tf_mipname();
    int tf_gettimeunit();
    int tf_getlongsimtime(int *high);
    int tf_setdelay(int delay);
    int tf_setlongdelay(int low, int high);
    int tf_isetlongdelay(int low, int high, char *instance);
    int tf_rosynchronize();
    int tf_irosynchronize(char *instance);
    int tf_synchronize();
    int tf_isynchronize(char *instance);
    void ReportError(std::string text);    // tf_error
    void ReportWarning(std::string text);  // tf_warning
    void Print(std::string text);          // io_printf
    char *mc_scan_plusargs(const char *prefix);

    int acc_initialize();
    char *acc_product_version();
    int acc_compare_handles(handle a, handle b);
    char *acc_fetch_defname(handle object);
    int acc_fetch_direction(handle object);
    char *acc_fetch_fullname(handle object);
    int acc_fetch_fulltype(handle object);
    char *acc_fetch_name(handle object);
    int acc_fetch_range(handle object, int *msb, int *lsb);
    int acc_fetch_size(handle object);
    int acc_fetch_tfarg_int(int n);
    char *acc_fetch_tfarg_str(int n);
    int acc_fetch_type(handle object);
    char *acc_fetch_type_str(int type);
    char *acc_fetch_value(handle object, const char *format, p_acc_value value);
    handle acc_handle_by_name(const char *name, handle scope);
    handle acc_handle_hiconn(handle port);
    handle acc_handle_object(const char *name);
    handle acc_handle_parent(handle object);
    handle acc_handle_scope(handle object);
    handle acc_handle_simulated_net(handle net);
    handle acc_handle_tfarg(int n);
    handle acc_next(int *types, handle scope, handle previous);
    handle acc_next_bit(handle vector, handle previous);
    handle acc_next_port(handle module, handle previous);
    handle acc_next_scope(handle scope, handle previous);
    handle acc_next_topmod(handle previous);
    int acc_object_of_type(handle object, int type);
    void acc_vcl_add(handle object, p_vc_consumer consumer, char *user_data, int flags);
    void acc_vcl_delete(handle object, p_vc_consumer consumer, char *user_data, int flags);

    void mti_RegisterUserTF(p_tfcell row);
    void mti_AddTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                           sim::TclDeleteProc on_delete);
    int mti_GetResolutionLimit() const { return resolution_limit_; }
    void mti_PrintMessage(const char *text);

private:
    // ---- Objects ----
    template <typename T, typename... A>
    T *Make(A &&...args);
    void Declare(Scope *scope, Object *object);
    Scope *AddScope(Scope *parent, int type, int fulltype, const std::string &name, const std::string &defname);
    Signal *AddSignal(ObjectKind kind, int type, int fulltype, Scope *scope, const std::string &name, int msb,
                      int lsb, bool is_signed);
    Object *Known(handle h, const char *routine);  // the object, or null with a diagnostic
    Object *FindIn(const Scope *scope, std::string_view name) const;
    Object *Descend(Object *start, std::string_view rest) const;
    static Signal *Simulated(Signal *net);
    const Port *PortOf(const Object *object) const;
    void Diagnose(std::string text) { diagnostics_.push_back(std::move(text)); }
    char *AccString(std::string text);

    // ---- Values and links ----
    struct Link {
        Object *object;
        p_vc_consumer consumer;
        char *user_data;
        int flags;
        bool alive = true;
    };
    struct BitState {
        Logic logic;
        BitStrength strength;
    };
    void WriteBits(Signal *signal, const std::vector<std::pair<int, BitState>> &writes);
    void NotifySignal(Signal *simulated, const std::vector<int> &logic_changed, const std::vector<int> &strength_changed);
    void Deliver(Object *object, bool logic_changed, bool strength_changed);
    s_vc_record RecordFor(const Link &link) const;
    BitState StateOf(const Signal *signal, int position) const;
    bool FormatValue(const Object *object, const char *format, p_acc_value value, std::string *text);
    // Fills a memory's PLI value buffer from its cells (its address stays
    // the same once made).
    void LayOutMemory(Memory *memory) const;

    // ---- Tasks ----
    class CallContext;
    TaskCall *NewCall(Scope *scope, p_tfcell row, const std::string &tfname, std::vector<Arg> args);
    TaskCall::Slot *SlotOf(int n, const char *routine);
    const Arg *ArgOf(int n) const;
    int RunRoutine(TaskCall *call, p_tffn routine, int reason);
    Arg ParseArg(Scope *scope, std::string_view text) const;
    FourState ArgValue(const Arg &arg) const;
    bool ArgHasValue(const Arg &arg) const;
    bool ArgIsReal(const Arg &arg, double *value) const;
    bool ArgIsSigned(const Arg &arg) const;
    TaskCall *CallOf(char *instance, const char *routine);

    // ---- Time ----
    bool ScheduleDelay(TaskCall *call, std::uint64_t delay_units);
    void RunReactivationsDue();
    void RequestOnce(std::vector<TaskCall *> *list, TaskCall *call);

    // ---- Tcl ----
    struct TclCommand {
        ModelSim *sim;
        sim::TclCommandProc handler;
        void *client_data;
        sim::TclDeleteProc on_delete;
    };
    void CloseTcl();
    // Keeps a command mti_AddTclCommand registers and its name; null (and a
    // diagnostic) without a name or a handler.
    TclCommand *RecordTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                                 sim::TclDeleteProc on_delete);
    static int TclTrampoline(void *client_data, Tcl_Interp *interp, int argc, const char *argv[]);
    static void TclDeleteTrampoline(void *client_data);

    std::vector<std::unique_ptr<Object>> objects_;
    std::unordered_set<const void *> objects_by_address_;
    std::vector<Scope *> top_modules_;

    std::unordered_map<const Object *, std::vector<std::shared_ptr<Link>>> links_;

    std::vector<p_tfcell> rows_;
    std::vector<std::unique_ptr<TaskCall>> calls_;
    std::vector<TaskCall *> call_order_;
    TaskCall *current_ = nullptr;

    std::uint64_t now_ = 0;
    std::uint64_t reactivation_sequence_ = 0;
    std::multimap<std::pair<std::uint64_t, std::uint64_t>, TaskCall *> reactivations_;  // (time, sequence)
    std::vector<TaskCall *> synch_requests_;
    std::vector<TaskCall *> synch_next_step_;
    std::vector<TaskCall *> rosynch_requests_;
    bool in_synch_phase_ = false;

    std::string product_version_ = "Model Simulator Version 6.2a";
    int resolution_limit_ = -9;
    int acc_initialize_count_ = 0;
    std::deque<std::string> plusargs_;  // a deque keeps returned pointers valid

    std::vector<Message> transcript_;
    std::vector<std::string> diagnostics_;
    std::string acc_strings_[kAccStringRing];
    int acc_string_next_ = 0;

    void *interp_ = nullptr;
    std::vector<std::unique_ptr<TclCommand>> tcl_commands_;
    std::vector<std::string> tcl_names_;
};

template <typename T, typename... A>
T *ModelSim::Make(A &&...args) {
    auto owned = std::make_unique<T>(std::forward<A>(args)...);
    T *raw = owned.get();
    objects_by_address_.insert(raw);
    objects_.push_back(std::move(owned));
    return raw;
}

}  // namespace tavri::test

#endif
