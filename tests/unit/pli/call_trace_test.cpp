// Tracing of simulator calls: which entries of the routine table the wrappers
// take and give back, each wrapper's lines for its arguments and result, that
// every traced call a dump makes reaches the trace, and the tracing
// value-change callbacks.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "frontend_fixture.h"
#include "pli/call_trace.h"
#include "pli/debug_command.h"
#include "pli/trace_settings.h"

namespace tavri::test {
namespace {

// Every routine the wrappers trace.
#define TRACED_ROUTINES(X)                                                                                    \
    X(tf_exprinfo) X(tf_getcstringp) X(tf_mipname) X(tf_nodeinfo) X(tf_nump) X(tf_setdelay) X(tf_setlongdelay) \
    X(tf_irosynchronize) X(tf_rosynchronize) X(tf_typep) X(acc_compare_handles) X(acc_fetch_defname)        \
    X(acc_fetch_direction) X(acc_fetch_fullname) X(acc_fetch_fulltype) X(acc_fetch_name) X(acc_fetch_range) \
    X(acc_fetch_size) X(acc_fetch_type) X(acc_fetch_type_str) X(acc_fetch_value) X(acc_handle_by_name)      \
    X(acc_handle_hiconn) X(acc_handle_scope) X(acc_handle_simulated_net) X(acc_handle_tfarg) X(acc_next)    \
    X(acc_next_bit) X(acc_next_port) X(acc_next_scope) X(acc_next_topmod) X(acc_object_of_type)             \
    X(acc_vcl_add) X(acc_vcl_delete)

enum TracedRoutine {
#define TAVRI_ENUM(name) k_##name,
    TRACED_ROUTINES(TAVRI_ENUM)
#undef TAVRI_ENUM
        kTracedCount
};

constexpr const char *kTracedNames[] = {
#define TAVRI_NAME(name) #name,
    TRACED_ROUTINES(TAVRI_NAME)
#undef TAVRI_NAME
};

std::string Hex(const void *pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(pointer));
    return text;
}
template <typename F>
std::string FunctionHex(F function) {
    return Hex(reinterpret_cast<const void *>(function));
}

std::string ReadAll(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A task of the test whose calltf runs whatever the test puts here, so that
// routines needing a calling task instance can be called.
std::function<void()> g_probe;
int ProbeCall(int /*data*/, int /*reason*/) {
    if (g_probe) g_probe();
    return 1;
}
s_tfcell g_probeRow = [] {
    s_tfcell row{};
    row.type = usertask;
    row.calltf = ProbeCall;
    row.tfname = const_cast<char *>("$probe");
    row.forwref = 1;
    return row;
}();

int g_consumed = 0;
int CountingConsumer(p_vc_record /*record*/) {
    ++g_consumed;
    return 1;
}

class CallTrace : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        sim_.mti_RegisterUserTF(&g_probeRow);
        top_ = sim_.AddTopModule("top");
        nib_ = sim_.AddReg(top_, "nib", 3, 0);
        w_ = sim_.AddNet(top_, "w");
        sub_ = sim_.AddModule(top_, "sub", "leaf");
        Signal *a = sim_.AddNet(sub_, "a");
        port_ = sim_.AddPort(sub_, "a", accInput, a, w_);
    }
    void TearDown() override {
        g_probe = nullptr;
        FrontEndTest::TearDown();
    }
    // Runs `body` inside a call of $probe("text", nib, 5) and returns what
    // it printed.
    std::string InProbe(const std::function<void()> &body) {
        g_probe = body;
        sim_.ClearTranscript();
        sim_.RunTask(top_, "$probe(\"text\", nib, 5)");
        g_probe = nullptr;
        return sim_.TranscriptText();
    }
    Scope *top_ = nullptr;
    Signal *nib_ = nullptr;
    Signal *w_ = nullptr;
    Scope *sub_ = nullptr;
    Port *port_ = nullptr;
};

TEST_F(CallTrace, CallTracingSwapsExactlyTheTracedEntriesAndGivesThemBack) {
    const std::set<std::string> traced(std::begin(kTracedNames), std::end(kTracedNames));
    pli::RunDebugCommand("-m 4");
    int swapped = 0;
#define TAVRI_SWAPPED(ret, name, params)                                                            \
    EXPECT_EQ(sim::g_sim.name != sim::g_simBound.name, traced.count(#name) == 1) << #name;          \
    swapped += sim::g_sim.name != sim::g_simBound.name ? 1 : 0;
    TAVRI_SIM_ROUTINES(TAVRI_SWAPPED)
#undef TAVRI_SWAPPED
    EXPECT_EQ(swapped, kTracedCount);
    pli::RunDebugCommand("-m 2");
#define TAVRI_RESTORED(ret, name, params) EXPECT_EQ(sim::g_sim.name, sim::g_simBound.name) << #name;
    TAVRI_SIM_ROUTINES(TAVRI_RESTORED)
#undef TAVRI_RESTORED
}

struct WrapperCase {
    const char *routine;
    // Calls the routine through the table and returns the lines expected.
    std::function<std::string()> call;
};

TEST_F(CallTrace, EachWrapperPrintsItsArgumentsAndResult) {
    char *instance = nullptr;
    s_tfexprinfo expr{};
    s_tfnodeinfo node{};
    int msb = 0;
    int lsb = 0;
    s_acc_vecval words[1] = {};
    s_acc_value value{};
    int types[] = {accReg, 0};
    static const char kBinary[] = "%b";
    static const char kRecord[] = "%%";
    auto result_int = [](int result) { return "\treturn (int) " + std::to_string(result) + "\n"; };
    auto result_handle = [](handle object) { return "\treturn (handle) " + Hex(object) + "\n"; };
    auto result_string = [](const char *text) {
        return "\treturn (char *) " + Hex(text) + "=\"" + std::string(text) + "\"\n";
    };
    auto handle_arg = [](int n, handle object) {
        return "\tArg " + std::to_string(n) + " (handle)=" + Hex(object) + "\n";
    };
    const std::vector<WrapperCase> cases = {
        {"tf_nump", [&] { return "tf_nump()\n" + result_int(sim::g_sim.tf_nump()); }},
        {"tf_typep", [&] { return "tf_typep()\n\tArg 1 (int)=2\n" + result_int(sim::g_sim.tf_typep(2)); }},
        {"tf_getcstringp",
         [&] {
             char *text = sim::g_sim.tf_getcstringp(1);
             EXPECT_STREQ(text, "text");
             return "tf_getcstringp()\n\tArg 1 (int)=1\n" + result_string(text);
         }},
        {"tf_mipname", [&] { return "tf_mipname()\n" + result_string(sim::g_sim.tf_mipname()); }},
        {"tf_exprinfo of a string",
         [&] {
             EXPECT_EQ(sim::g_sim.tf_exprinfo(1, &expr), &expr);
             EXPECT_EQ(expr.expr_type, tf_string);
             return "tf_exprinfo()\n\tArg 1 (int)=1\n\tArg 2 (s_tfexprinfo *)=" + Hex(&expr) +
                    "\n\treturn (s_tfexprinfo *) " + Hex(&expr) + "\n\t\t->(short)expr_type=1\n" +
                    "\t\t->(t_vecval *)expr_value_p=" + Hex(expr.expr_value_p) + "\n" +
                    "\t\t->(double)real_value=0.000000\n" + "\t\t->(char *)expr_string=" + Hex(expr.expr_string) +
                    " \"text\"\n" + "\t\t->(int)expr_ngroups=" + std::to_string(expr.expr_ngroups) + "\n" +
                    "\t\t->(int)expr_vec_size=" + std::to_string(expr.expr_vec_size) + "\n" +
                    "\t\t->(int)expr_sign=" + std::to_string(expr.expr_sign) + "\n" +
                    "\t\t->(int)expr_lhs_select=" + std::to_string(expr.expr_lhs_select) + "\n" +
                    "\t\t->(int)expr_rhs_select=" + std::to_string(expr.expr_rhs_select) + "\n";
         }},
        {"tf_exprinfo of a missing argument",
         [&] {
             EXPECT_EQ(sim::g_sim.tf_exprinfo(9, &expr), nullptr);
             return "tf_exprinfo()\n\tArg 1 (int)=9\n\tArg 2 (s_tfexprinfo *)=" + Hex(&expr) +
                    "\n\treturn (s_tfexprinfo *) NULL\n";
         }},
        {"tf_nodeinfo of a reg",
         [&] {
             EXPECT_EQ(sim::g_sim.tf_nodeinfo(2, &node), &node);
             EXPECT_EQ(node.node_type, tf_reg_node);
             return "tf_nodeinfo()\n\tArg 1 (int)=2\n\tArg 2 (t_tfnodeinfo *)=" + Hex(&node) +
                    "\n\treturn (t_tfnodeinfo *) " + Hex(&node) + "\n\t\t->(short)node_type=101\n" +
                    "\t\t->(struct t_vecval *)node_value.vecval_p=" + Hex(node.node_value.vecval_p) + "\n" +
                    "\t\t->(char *)node_symbol=" + Hex(node.node_symbol) + " \"" + node.node_symbol + "\"\n" +
                    "\t\t->(int)node_ngroups=1\n\t\t->(int)node_vec_size=4\n" +
                    "\t\t->(int)node_sign=" + std::to_string(node.node_sign) + "\n" +
                    "\t\t->(int)node_ms_index=" + std::to_string(node.node_ms_index) + "\n" +
                    "\t\t->(int)node_ls_index=" + std::to_string(node.node_ls_index) + "\n" +
                    "\t\t->(int)node_mem_size=" + std::to_string(node.node_mem_size) + "\n" +
                    "\t\t->(int)node_lhs_element=" + std::to_string(node.node_lhs_element) + "\n" +
                    "\t\t->(int)node_rhs_element=" + std::to_string(node.node_rhs_element) + "\n" +
                    "\t\t->(int *)node_handle=" + Hex(node.node_handle) + "\n";
         }},
        {"tf_setdelay",
         [&] { return "tf_setdelay()\n\tArg 1 (int)=3\n" + result_int(sim::g_sim.tf_setdelay(3)); }},
        {"tf_setlongdelay",
         [&] {
             return "tf_setlongdelay()\n\tArg 1 (int)=5\n\tArg 2 (int)=1\n" +
                    result_int(sim::g_sim.tf_setlongdelay(5, 1));
         }},
        {"tf_rosynchronize", [&] { return "tf_rosynchronize()\n" + result_int(sim::g_sim.tf_rosynchronize()); }},
        {"tf_irosynchronize",
         [&] {
             instance = sim::g_simBound.tf_getinstance();
             return "tf_irosynchronize()\n" + result_int(sim::g_sim.tf_irosynchronize(instance));
         }},
        {"acc_compare_handles",
         [&] {
             return "acc_compare_handles()\n" + handle_arg(1, nib_) + "\tArg 2 (handle)=NULL\n" +
                    result_int(sim::g_sim.acc_compare_handles(nib_, nullptr));
         }},
        {"acc_fetch_defname",
         [&] {
             char *name = sim::g_sim.acc_fetch_defname(sub_);
             EXPECT_STREQ(name, "leaf");
             return "acc_fetch_defname()\n" + handle_arg(1, sub_) + result_string(name);
         }},
        {"acc_fetch_direction",
         [&] {
             return "acc_fetch_direction()\n" + handle_arg(1, port_) +
                    result_int(sim::g_sim.acc_fetch_direction(port_));
         }},
        {"acc_fetch_fullname",
         [&] {
             char *name = sim::g_sim.acc_fetch_fullname(nib_);
             EXPECT_STREQ(name, "top.nib");
             return "acc_fetch_fullname()\n" + handle_arg(1, nib_) + result_string(name);
         }},
        {"acc_fetch_fulltype",
         [&] {
             return "acc_fetch_fulltype()\n" + handle_arg(1, nib_) + result_int(sim::g_sim.acc_fetch_fulltype(nib_));
         }},
        {"acc_fetch_name",
         [&] { return "acc_fetch_name()\n" + handle_arg(1, w_) + result_string(sim::g_sim.acc_fetch_name(w_)); }},
        {"acc_fetch_range",
         [&] {
             const int result = sim::g_sim.acc_fetch_range(nib_, &msb, &lsb);
             EXPECT_EQ(msb, 3);
             return "acc_fetch_range()\n" + handle_arg(1, nib_) + "\tArg 2 (int *)=" + Hex(&msb) +
                    "\n\tArg 3 (int *)=" + Hex(&lsb) + "\n" + result_int(result);
         }},
        {"acc_fetch_size",
         [&] {
             const int size = sim::g_sim.acc_fetch_size(nib_);
             EXPECT_EQ(size, 4);
             return "acc_fetch_size()\n" + handle_arg(1, nib_) + result_int(size);
         }},
        {"acc_fetch_type",
         [&] { return "acc_fetch_type()\n" + handle_arg(1, nib_) + result_int(sim::g_sim.acc_fetch_type(nib_)); }},
        {"acc_fetch_type_str",
         [&] {
             return "acc_fetch_type_str()\n\tArg 1 (int)=30\n" +
                    result_string(sim::g_sim.acc_fetch_type_str(accReg));
         }},
        {"acc_fetch_value as text",
         [&] {
             char *text = sim::g_sim.acc_fetch_value(nib_, kBinary, nullptr);
             return "acc_fetch_value()\n" + handle_arg(1, nib_) + "\tArg 2 (void *)=" + Hex(kBinary) +
                    "\n\tArg 3 (t_acc_value *)=NULL\n\treturn (char *) " + Hex(text) + "\n";
         }},
        {"acc_fetch_value into a vector record",
         [&] {
             value.format = accVectorVal;
             value.value.vector = words;
             const std::string before = "\t\t->(int)format=10\n\t\t->(s_acc_vecval *)value.vector=" + Hex(words) + "\n";
             char *text = sim::g_sim.acc_fetch_value(nib_, kRecord, &value);
             return "acc_fetch_value()\n" + handle_arg(1, nib_) + "\tArg 2 (void *)=" + Hex(kRecord) +
                    "\n\tArg 3 (t_acc_value *)=" + Hex(&value) + "\n" + before + "\treturn (char *) " + Hex(text) +
                    "\n";
         }},
        {"acc_fetch_value into a string record",
         [&] {
             value.format = accBinStrVal;
             value.value.str = nullptr;
             char *text = sim::g_sim.acc_fetch_value(nib_, kRecord, &value);
             return "acc_fetch_value()\n" + handle_arg(1, nib_) + "\tArg 2 (void *)=" + Hex(kRecord) +
                    "\n\tArg 3 (t_acc_value *)=" + Hex(&value) + "\n\t\t->(int)format=1\n" +
                    "\t\t->(char *)value.str=0x0\n\treturn (char *) " + Hex(text) + "\n";
         }},
        {"acc_fetch_value into an integer record",
         [&] {
             value.format = accIntVal;
             char *text = sim::g_sim.acc_fetch_value(nib_, kRecord, &value);
             return "acc_fetch_value()\n" + handle_arg(1, nib_) + "\tArg 2 (void *)=" + Hex(kRecord) +
                    "\n\tArg 3 (t_acc_value *)=" + Hex(&value) + "\n\t\t->(int)format=" +
                    std::to_string(accIntVal) + "\n\treturn (char *) " + Hex(text) + "\n";
         }},
        {"acc_handle_by_name found",
         [&] {
             static const char kName[] = "nib";
             handle found = sim::g_sim.acc_handle_by_name(kName, top_);
             EXPECT_EQ(found, nib_);
             return "acc_handle_by_name()\n\tArg 1 (char *)=" + Hex(kName) + " \"nib\"\n" + handle_arg(2, top_) +
                    result_handle(found);
         }},
        {"acc_handle_by_name not found",
         [&] {
             static const char kName[] = "nothing";
             EXPECT_EQ(sim::g_sim.acc_handle_by_name(kName, nullptr), nullptr);
             return "acc_handle_by_name()\n\tArg 1 (char *)=" + Hex(kName) +
                    " \"nothing\"\n\tArg 2 (handle)=NULL\n\treturn (handle) NULL\n";
         }},
        {"acc_handle_hiconn",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_handle_hiconn(port_), w_);
             return "acc_handle_hiconn()\n" + handle_arg(1, port_) + result_handle(w_);
         }},
        {"acc_handle_scope",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_handle_scope(nib_), top_);
             return "acc_handle_scope()\n" + handle_arg(1, nib_) + result_handle(top_);
         }},
        {"acc_handle_simulated_net",
         [&] {
             return "acc_handle_simulated_net()\n" + handle_arg(1, w_) +
                    result_handle(sim::g_sim.acc_handle_simulated_net(w_));
         }},
        {"acc_handle_tfarg",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_handle_tfarg(2), nib_);
             return "acc_handle_tfarg()\n\tArg 1 (int)=2\n" + result_handle(nib_);
         }},
        {"acc_next",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_next(types, top_, nullptr), nib_);
             return "acc_next()\n\tArg 1 (int *)=" + Hex(types) + "\n" + handle_arg(2, top_) +
                    "\tArg 3 (handle)=NULL\n" + result_handle(nib_);
         }},
        {"acc_next_bit",
         [&] {
             handle bit = sim::g_sim.acc_next_bit(nib_, nullptr);
             EXPECT_NE(bit, nullptr);
             return "acc_next_bit()\n" + handle_arg(1, nib_) + "\tArg 2 (handle)=NULL\n" + result_handle(bit);
         }},
        {"acc_next_port",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_next_port(sub_, port_), nullptr);
             return "acc_next_port()\n" + handle_arg(1, sub_) + handle_arg(2, port_) + "\treturn (handle) NULL\n";
         }},
        {"acc_next_scope",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_next_scope(top_, nullptr), sub_);
             return "acc_next_scope()\n" + handle_arg(1, top_) + "\tArg 2 (handle)=NULL\n" + result_handle(sub_);
         }},
        {"acc_next_topmod",
         [&] {
             EXPECT_EQ(sim::g_sim.acc_next_topmod(nullptr), top_);
             return "acc_next_topmod()\n\tArg 1 (handle)=NULL\n" + result_handle(top_);
         }},
        {"acc_object_of_type",
         [&] {
             return "acc_object_of_type()\n" + handle_arg(1, nib_) + "\tArg 2 (int)=" + std::to_string(accVector) +
                    "\n" + result_int(sim::g_sim.acc_object_of_type(nib_, accVector));
         }},
        {"acc_vcl_add",
         [&] {
             sim::g_sim.acc_vcl_add(w_, CountingConsumer, reinterpret_cast<char *>(&msb), vcl_verilog_logic);
             return "acc_vcl_add()\n" + handle_arg(1, w_) + "\tArg 2 (int (*Fun)())=" +
                    FunctionHex(CountingConsumer) + "\n\tArg 3 (void *)=" + Hex(&msb) + "\n\tArg 4 (int)=" +
                    std::to_string(vcl_verilog_logic) + "\n\treturn\n";
         }},
        {"acc_vcl_delete",
         [&] {
             sim::g_sim.acc_vcl_delete(w_, CountingConsumer, reinterpret_cast<char *>(&msb), vcl_verilog_logic);
             return "acc_vcl_delete()\n" + handle_arg(1, w_) + "\tArg 2 (int (*Fun)())=" +
                    FunctionHex(CountingConsumer) + "\n\tArg 3 (void *)=" + Hex(&msb) + "\n\tArg 4 (int)=" +
                    std::to_string(vcl_verilog_logic) + "\n\treturn\n";
         }},
    };
    pli::RunDebugCommand("-m 4");
    std::set<std::string> covered;
    for (const WrapperCase &c : cases) {
        SCOPED_TRACE(c.routine);
        std::string expected;
        const std::string printed = InProbe([&] {
            sim_.ClearTranscript();  // the probe's own argument fetches
            expected = c.call();
        });
        EXPECT_EQ(printed, expected);
        covered.insert(std::string(c.routine).substr(0, std::string(c.routine).find(' ')));
    }
    EXPECT_EQ(covered.size(), static_cast<size_t>(kTracedCount)) << "a case for every traced routine";
    EXPECT_TRUE(sim_.Diagnostics().empty()) << sim_.Diagnostics().front();
}

TEST_F(CallTrace, WrappedRoutinesStillDoTheirWork) {
    pli::RunDebugCommand("-m 4");
    g_consumed = 0;
    sim::g_sim.acc_vcl_add(w_, CountingConsumer, nullptr, vcl_verilog_logic);
    sim_.SetValue(w_, "1");
    EXPECT_EQ(g_consumed, 1);
    sim::g_sim.acc_vcl_delete(w_, CountingConsumer, nullptr, vcl_verilog_logic);
    sim_.SetValue(w_, "0");
    EXPECT_EQ(g_consumed, 1) << "the link the wrapper added is the one it removed";
}

// ---- Every traced call of a dump is in the trace ----

// The model simulator's table, with each traced routine counting its calls.
sim::Routines g_model;
int g_calls[kTracedCount];

template <auto Entry, int Index, typename T = decltype(Entry)>
struct Counted;
template <auto Entry, int Index, typename R, typename... A>
struct Counted<Entry, Index, R (*sim::Routines::*)(A...)> {
    static R Call(A... args) {
        ++g_calls[Index];
        return (g_model.*Entry)(args...);
    }
};

sim::Routines CountingTable() {
    g_model = ModelSim::RoutineTable();
    sim::Routines table = g_model;
#define TAVRI_COUNTED(name) table.name = &Counted<&sim::Routines::name, k_##name>::Call;
    TRACED_ROUTINES(TAVRI_COUNTED)
#undef TAVRI_COUNTED
    return table;
}

// How many calls of each routine the trace shows ("name()" lines).
std::map<std::string, int> TracedCalls(const std::string &trace) {
    std::map<std::string, int> calls;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 2 && line.compare(line.size() - 2, 2, "()") == 0) {
            ++calls[line.substr(0, line.size() - 2)];
        }
    }
    return calls;
}

TEST_F(CallTrace, EveryTracedRoutineCallOfADumpReachesTheTrace) {
    sim::Bind(CountingTable());
    sim_.AddPlusArg("+dump+strength");
    Signal *count = sim_.AddInteger(top_, "count");
    RealVar *ratio = sim_.AddReal(top_, "ratio");
    NamedEvent *go = sim_.AddEvent(sub_, "go");
    const std::string path = Path("calls.log");
    Run(top_, "$traxDebug(\"-m 4 -f " + path + "\")");
    std::fill(std::begin(g_calls), std::end(g_calls), 0);
    DumpTo(top_, "calls.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.EndStep();
    for (uint64_t time : {10u, 20u, 30u}) {
        sim_.AdvanceTo(time);
        sim_.SetValue(nib_, time == 20 ? "1x0z" : "0101");
        sim_.SetValue(w_, time == 20 ? "1" : "0");
        sim_.SetInteger(count, static_cast<int64_t>(time));
        sim_.SetReal(ratio, 0.5 * static_cast<double>(time));
        sim_.Trigger(go);
        if (time == 20) {
            Run(top_, "$traxDumpoff");
            Run(top_, "$traxDumpon");
        }
    }
    sim_.EndStep();
    Run(top_, "$traxDumpflush");
    sim_.Finish();
    const std::map<std::string, int> traced = TracedCalls(ReadAll(path));
    for (int i = 0; i < kTracedCount; ++i) {
        const auto found = traced.find(kTracedNames[i]);
        EXPECT_EQ(found == traced.end() ? 0 : found->second, g_calls[i]) << kTracedNames[i];
    }
    // The dump went through the wrappers on its main roads.
    for (TracedRoutine used : {k_acc_next, k_acc_fetch_name, k_acc_vcl_add, k_acc_fetch_value, k_tf_irosynchronize,
                               k_tf_rosynchronize, k_acc_fetch_size}) {
        EXPECT_GT(g_calls[used], 0) << kTracedNames[used];
    }
}

// ---- Tracing value-change callbacks ----

class TracingCallbacks : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        sim_.AddPlusArg("+dump+strength");  // nets get the strength callback, regs the scalar one
        top_ = sim_.AddTopModule("top");
        r_ = sim_.AddReg(top_, "r");
        w_ = sim_.AddNet(top_, "w");
        bus_ = sim_.AddNet(top_, "bus", 3, 0);
        ratio_ = sim_.AddReal(top_, "ratio");
        go_ = sim_.AddEvent(top_, "go");
        count_ = sim_.AddInteger(top_, "count");
    }
    Scope *top_ = nullptr;
    Signal *r_ = nullptr;
    Signal *w_ = nullptr;
    Signal *bus_ = nullptr;
    RealVar *ratio_ = nullptr;
    NamedEvent *go_ = nullptr;
    Signal *count_ = nullptr;
};

TEST_F(TracingCallbacks, EachCallbackNamesItselfAndTheReasonThenWrites) {
    Run(top_, "$traxDebug(\"-m 2\")");
    DumpTo(top_, "callbacks.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    struct Case {
        const char *line;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"scalarTypeVclCB() vc_record->vc_reason=8\n", [&] { sim_.SetValue(r_, "1"); }},
        {"strengthTypeVclCB() vc_record->vc_reason=2\n", [&] { sim_.SetValue(w_, "1"); }},
        {"vectorTypeVclCB() vc_record->vc_reason=4\n", [&] { sim_.SetValue(bus_, "1010"); }},
        {"realTypeVclCB() vc_record->vc_reason=3\n", [&] { sim_.SetReal(ratio_, 2.5); }},
        {"eventTypeVclCB() vc_record->vc_reason=5\n", [&] { sim_.Trigger(go_); }},
        {"generalTypeVclCB() vc_record->vc_reason=6\n", [&] { sim_.SetInteger(count_, 3); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        sim_.ClearTranscript();
        c.change();
        EXPECT_EQ(sim_.TranscriptText().rfind(c.line, 0), 0u) << sim_.TranscriptText();
        EXPECT_EQ(CountPrinted("TypeVclCB()"), 1);
    }
    pli::RunDebugCommand("-m 0");
    sim_.ClearTranscript();
    sim_.SetValue(r_, "0");
    EXPECT_FALSE(Printed("scalarTypeVclCB()")) << "the wrappers stay but print only while tracing is on";
    Reading *file = FinishAndRead("callbacks.trax");
    EXPECT_EQ(ChangesOf(*file, "top.r"), (std::vector<Seen>{At(0, "x"), At(10, "0")}));
    EXPECT_EQ(ChangesOf(*file, "top.bus[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "1010")}));
    EXPECT_EQ(ChangesOf(*file, "top.count").back(), At(10, std::string(30, '0') + "11"));
}

TEST_F(TracingCallbacks, OnceVariablesAreHookedTheCallbacksStayAndAWarningSaysSo) {
    DumpTo(top_, "late.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.ClearTranscript();
    Run(top_, "$traxDebug(\"-m 2\")");
    EXPECT_EQ(sim_.TranscriptText(),
              "*Tavri* Warning: $traxDebug() cannot hook all value change function.\nSet debug mode to 2\n");
    EXPECT_EQ(pli::g_vclCallbacks[pli::kScalarSlot], &pli::scalarTypeVclCB);
    EXPECT_EQ(pli::g_vclCallbacks[pli::kGeneralSlot], &pli::generalTypeVclCB);
    sim_.ClearTranscript();
    sim_.SetValue(r_, "1");
    EXPECT_FALSE(Printed("TypeVclCB()"));
}

}  // namespace
}  // namespace tavri::test
