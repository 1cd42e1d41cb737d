// The tracing wrappers. Each prints "name()", one line per argument by its
// kind, calls the simulator's routine as the binding supplied it (never the
// table entry, which holds the wrapper itself) and prints the result. Every
// line goes through the trace print, whatever the execution-flow switch.
#include "pli/call_trace.h"

#include <cinttypes>
#include <cstdint>
#include <cstring>

#include "pli/trace.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

using sim::g_simBound;

// Addresses are printed in full, in hex.
uintptr_t Address(const void *pointer) { return reinterpret_cast<uintptr_t>(pointer); }
template <typename F>
uintptr_t FunctionAddress(F function) {
    return reinterpret_cast<uintptr_t>(function);
}

void Enter(const char *routine) { TracePrint("%s()\n", routine); }

void ArgInt(int n, int value) { TracePrint("\tArg %d (int)=%d\n", n, value); }

void ArgHandle(int n, handle object) {
    if (object == nullptr) {
        TracePrint("\tArg %d (handle)=NULL\n", n);
    } else {
        TracePrint("\tArg %d (handle)=0x%" PRIxPTR "\n", n, Address(object));
    }
}

void ArgPointer(int n, const char *type, const void *pointer) {
    if (pointer == nullptr) {
        TracePrint("\tArg %d (%s *)=NULL\n", n, type);
    } else {
        TracePrint("\tArg %d (%s *)=0x%" PRIxPTR "\n", n, type, Address(pointer));
    }
}

void ArgUntyped(int n, const void *pointer) { ArgPointer(n, "void", pointer); }

void ArgString(int n, const char *text) {
    if (text == nullptr) {
        TracePrint("\tArg %d (char *)=NULL\n", n);
    } else {
        TracePrint("\tArg %d (char *)=0x%" PRIxPTR " \"%s\"\n", n, Address(text), text);
    }
}

void ArgFunction(int n, p_vc_consumer function) {
    if (function == nullptr) {
        TracePrint("\tArg %d (int (*Fun)())=NULL\n", n);
    } else {
        TracePrint("\tArg %d (int (*Fun)())=0x%" PRIxPTR "\n", n, FunctionAddress(function));
    }
}

int ReturnInt(int result) {
    TracePrint("\treturn (int) %d\n", result);
    return result;
}

handle ReturnHandle(handle result) {
    if (result == nullptr) {
        TracePrint("\treturn (handle) NULL\n");
    } else {
        TracePrint("\treturn (handle) 0x%" PRIxPTR "\n", Address(result));
    }
    return result;
}

char *ReturnString(char *result) {
    if (result == nullptr) {
        TracePrint("\treturn (char *) NULL\n");
    } else {
        TracePrint("\treturn (char *) 0x%" PRIxPTR "=\"%s\"\n", Address(result), result);
    }
    return result;
}

template <typename T>
T *ReturnPointer(const char *type, T *result) {
    if (result == nullptr) {
        TracePrint("\treturn (%s *) NULL\n", type);
    } else {
        TracePrint("\treturn (%s *) 0x%" PRIxPTR "\n", type, Address(result));
    }
    return result;
}

void ReturnNone() { TracePrint("\treturn\n"); }

void FieldString(const char *field, const char *text) {
    if (text == nullptr) {
        TracePrint("\t\t->(char *)%s=NULL\n", field);
    } else {
        TracePrint("\t\t->(char *)%s=0x%" PRIxPTR " \"%s\"\n", field, Address(text), text);
    }
}

void TraceExprInfo(const s_tfexprinfo &info) {
    TracePrint("\t\t->(short)expr_type=%hd\n", info.expr_type);
    TracePrint("\t\t->(t_vecval *)expr_value_p=0x%" PRIxPTR "\n", Address(info.expr_value_p));
    TracePrint("\t\t->(double)real_value=%f\n", info.real_value);
    FieldString("expr_string", info.expr_string);
    TracePrint("\t\t->(int)expr_ngroups=%d\n", info.expr_ngroups);
    TracePrint("\t\t->(int)expr_vec_size=%d\n", info.expr_vec_size);
    TracePrint("\t\t->(int)expr_sign=%d\n", info.expr_sign);
    TracePrint("\t\t->(int)expr_lhs_select=%d\n", info.expr_lhs_select);
    TracePrint("\t\t->(int)expr_rhs_select=%d\n", info.expr_rhs_select);
}

void TraceNodeInfo(const s_tfnodeinfo &info) {
    TracePrint("\t\t->(short)node_type=%hd\n", info.node_type);
    switch (info.node_type) {
        case tf_reg_node:
        case tf_integer_node:
        case tf_time_node:
        case tf_netvector_node:
            TracePrint("\t\t->(struct t_vecval *)node_value.vecval_p=0x%" PRIxPTR "\n",
                       Address(info.node_value.vecval_p));
            break;
        case tf_netscalar_node:
            TracePrint("\t\t->(struct t_strengthval *)node_value.strengthval_p=0x%" PRIxPTR "\n",
                       Address(info.node_value.strengthval_p));
            break;
        case tf_memory_node:
            TracePrint("\t\t->(char *)node_value.memoryval_p=0x%" PRIxPTR "\n", Address(info.node_value.memoryval_p));
            break;
        case tf_real_node:
            TracePrint("\t\t->(double *)node_value.real_val_p=0x%" PRIxPTR "\n", Address(info.node_value.real_val_p));
            break;
        default:
            TracePrint("\t\tUndetermined union node_value\n");
            break;
    }
    FieldString("node_symbol", info.node_symbol);
    TracePrint("\t\t->(int)node_ngroups=%d\n", info.node_ngroups);
    TracePrint("\t\t->(int)node_vec_size=%d\n", info.node_vec_size);
    TracePrint("\t\t->(int)node_sign=%d\n", info.node_sign);
    TracePrint("\t\t->(int)node_ms_index=%d\n", info.node_ms_index);
    TracePrint("\t\t->(int)node_ls_index=%d\n", info.node_ls_index);
    TracePrint("\t\t->(int)node_mem_size=%d\n", info.node_mem_size);
    TracePrint("\t\t->(int)node_lhs_element=%d\n", info.node_lhs_element);
    TracePrint("\t\t->(int)node_rhs_element=%d\n", info.node_rhs_element);
    TracePrint("\t\t->(int *)node_handle=0x%" PRIxPTR "\n", Address(info.node_handle));
}

// The value record as the caller filled it, for a fetch in a record format.
void TraceValueRecord(const char *format, const s_acc_value *value) {
    if (format == nullptr || value == nullptr || std::strcmp(format, "%%") != 0) {
        return;
    }
    TracePrint("\t\t->(int)format=%d\n", value->format);
    switch (value->format) {
        case accBinStrVal:
        case accOctStrVal:
        case accDecStrVal:
        case accHexStrVal:
        case accStringVal:
            TracePrint("\t\t->(char *)value.str=0x%" PRIxPTR "\n", Address(value->value.str));
            break;
        case accVectorVal:
            TracePrint("\t\t->(s_acc_vecval *)value.vector=0x%" PRIxPTR "\n", Address(value->value.vector));
            break;
        default:
            break;
    }
}

// ---- TF routines ----

p_tfexprinfo DACC_tf_exprinfo(int n, p_tfexprinfo info) {
    Enter("tf_exprinfo");
    ArgInt(1, n);
    ArgPointer(2, "s_tfexprinfo", info);
    p_tfexprinfo result = ReturnPointer("s_tfexprinfo", g_simBound.tf_exprinfo(n, info));
    if (result != nullptr) {
        TraceExprInfo(*result);
    }
    return result;
}

char *DACC_tf_getcstringp(int n) {
    Enter("tf_getcstringp");
    ArgInt(1, n);
    return ReturnString(g_simBound.tf_getcstringp(n));
}

char *DACC_tf_mipname() {
    Enter("tf_mipname");
    return ReturnString(g_simBound.tf_mipname());
}

p_tfnodeinfo DACC_tf_nodeinfo(int n, p_tfnodeinfo info) {
    Enter("tf_nodeinfo");
    ArgInt(1, n);
    ArgPointer(2, "t_tfnodeinfo", info);
    p_tfnodeinfo result = ReturnPointer("t_tfnodeinfo", g_simBound.tf_nodeinfo(n, info));
    if (result != nullptr) {
        TraceNodeInfo(*result);
    }
    return result;
}

int DACC_tf_nump() {
    Enter("tf_nump");
    return ReturnInt(g_simBound.tf_nump());
}

int DACC_tf_setdelay(int delay) {
    Enter("tf_setdelay");
    ArgInt(1, delay);
    return ReturnInt(g_simBound.tf_setdelay(delay));
}

int DACC_tf_setlongdelay(int low, int high) {
    Enter("tf_setlongdelay");
    ArgInt(1, low);
    ArgInt(2, high);
    return ReturnInt(g_simBound.tf_setlongdelay(low, high));
}

// The instance is passed on but, like the other synchronisation, not listed.
int DACC_tf_irosynchronize(char *instance) {
    Enter("tf_irosynchronize");
    return ReturnInt(g_simBound.tf_irosynchronize(instance));
}

int DACC_tf_rosynchronize() {
    Enter("tf_rosynchronize");
    return ReturnInt(g_simBound.tf_rosynchronize());
}

int DACC_tf_typep(int n) {
    Enter("tf_typep");
    ArgInt(1, n);
    return ReturnInt(g_simBound.tf_typep(n));
}

// ---- ACC routines ----

int DACC_compare_handles(handle a, handle b) {
    Enter("acc_compare_handles");
    ArgHandle(1, a);
    ArgHandle(2, b);
    return ReturnInt(g_simBound.acc_compare_handles(a, b));
}

char *DACC_fetch_defname(handle object) {
    Enter("acc_fetch_defname");
    ArgHandle(1, object);
    return ReturnString(g_simBound.acc_fetch_defname(object));
}

int DACC_fetch_direction(handle object) {
    Enter("acc_fetch_direction");
    ArgHandle(1, object);
    return ReturnInt(g_simBound.acc_fetch_direction(object));
}

char *DACC_fetch_fullname(handle object) {
    Enter("acc_fetch_fullname");
    ArgHandle(1, object);
    return ReturnString(g_simBound.acc_fetch_fullname(object));
}

int DACC_fetch_fulltype(handle object) {
    Enter("acc_fetch_fulltype");
    ArgHandle(1, object);
    return ReturnInt(g_simBound.acc_fetch_fulltype(object));
}

char *DACC_fetch_name(handle object) {
    Enter("acc_fetch_name");
    ArgHandle(1, object);
    return ReturnString(g_simBound.acc_fetch_name(object));
}

int DACC_fetch_range(handle object, int *msb, int *lsb) {
    Enter("acc_fetch_range");
    ArgHandle(1, object);
    ArgPointer(2, "int", msb);
    ArgPointer(3, "int", lsb);
    return ReturnInt(g_simBound.acc_fetch_range(object, msb, lsb));
}

int DACC_fetch_size(handle object) {
    Enter("acc_fetch_size");
    ArgHandle(1, object);
    return ReturnInt(g_simBound.acc_fetch_size(object));
}

int DACC_fetch_type(handle object) {
    Enter("acc_fetch_type");
    ArgHandle(1, object);
    return ReturnInt(g_simBound.acc_fetch_type(object));
}

char *DACC_fetch_type_str(int type) {
    Enter("acc_fetch_type_str");
    ArgInt(1, type);
    return ReturnString(g_simBound.acc_fetch_type_str(type));
}

char *DACC_fetch_value(handle object, const char *format, p_acc_value value) {
    Enter("acc_fetch_value");
    ArgHandle(1, object);
    ArgUntyped(2, format);
    ArgPointer(3, "t_acc_value", value);
    TraceValueRecord(format, value);
    return ReturnPointer("char", g_simBound.acc_fetch_value(object, format, value));
}

handle DACC_handle_by_name(const char *name, handle scope) {
    Enter("acc_handle_by_name");
    ArgString(1, name);
    ArgHandle(2, scope);
    return ReturnHandle(g_simBound.acc_handle_by_name(name, scope));
}

handle DACC_handle_hiconn(handle port) {
    Enter("acc_handle_hiconn");
    ArgHandle(1, port);
    return ReturnHandle(g_simBound.acc_handle_hiconn(port));
}

handle DACC_handle_scope(handle object) {
    Enter("acc_handle_scope");
    ArgHandle(1, object);
    return ReturnHandle(g_simBound.acc_handle_scope(object));
}

handle DACC_handle_simulated_net(handle net) {
    Enter("acc_handle_simulated_net");
    ArgHandle(1, net);
    return ReturnHandle(g_simBound.acc_handle_simulated_net(net));
}

handle DACC_handle_tfarg(int n) {
    Enter("acc_handle_tfarg");
    ArgInt(1, n);
    return ReturnHandle(g_simBound.acc_handle_tfarg(n));
}

handle DACC_next(int *types, handle scope, handle previous) {
    Enter("acc_next");
    ArgPointer(1, "int", types);
    ArgHandle(2, scope);
    ArgHandle(3, previous);
    return ReturnHandle(g_simBound.acc_next(types, scope, previous));
}

handle DACC_next_bit(handle vector, handle previous) {
    Enter("acc_next_bit");
    ArgHandle(1, vector);
    ArgHandle(2, previous);
    return ReturnHandle(g_simBound.acc_next_bit(vector, previous));
}

handle DACC_next_port(handle module, handle previous) {
    Enter("acc_next_port");
    ArgHandle(1, module);
    ArgHandle(2, previous);
    return ReturnHandle(g_simBound.acc_next_port(module, previous));
}

handle DACC_next_scope(handle scope, handle previous) {
    Enter("acc_next_scope");
    ArgHandle(1, scope);
    ArgHandle(2, previous);
    return ReturnHandle(g_simBound.acc_next_scope(scope, previous));
}

handle DACC_next_topmod(handle previous) {
    Enter("acc_next_topmod");
    ArgHandle(1, previous);
    return ReturnHandle(g_simBound.acc_next_topmod(previous));
}

int DACC_object_of_type(handle object, int type) {
    Enter("acc_object_of_type");
    ArgHandle(1, object);
    ArgInt(2, type);
    return ReturnInt(g_simBound.acc_object_of_type(object, type));
}

void DACC_vcl_add(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    Enter("acc_vcl_add");
    ArgHandle(1, object);
    ArgFunction(2, consumer);
    ArgUntyped(3, user_data);
    ArgInt(4, flags);
    g_simBound.acc_vcl_add(object, consumer, user_data, flags);
    ReturnNone();
}

void DACC_vcl_delete(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    Enter("acc_vcl_delete");
    ArgHandle(1, object);
    ArgFunction(2, consumer);
    ArgUntyped(3, user_data);
    ArgInt(4, flags);
    g_simBound.acc_vcl_delete(object, consumer, user_data, flags);
    ReturnNone();
}

// X(table entry, wrapper) for every traced routine.
#define TAVRI_TRACED_ROUTINES(X)                            \
    X(tf_exprinfo, DACC_tf_exprinfo)                        \
    X(tf_getcstringp, DACC_tf_getcstringp)                  \
    X(tf_mipname, DACC_tf_mipname)                          \
    X(tf_nodeinfo, DACC_tf_nodeinfo)                        \
    X(tf_nump, DACC_tf_nump)                                \
    X(tf_setdelay, DACC_tf_setdelay)                        \
    X(tf_setlongdelay, DACC_tf_setlongdelay)                \
    X(tf_irosynchronize, DACC_tf_irosynchronize)            \
    X(tf_rosynchronize, DACC_tf_rosynchronize)              \
    X(tf_typep, DACC_tf_typep)                              \
    X(acc_compare_handles, DACC_compare_handles)            \
    X(acc_fetch_defname, DACC_fetch_defname)                \
    X(acc_fetch_direction, DACC_fetch_direction)            \
    X(acc_fetch_fullname, DACC_fetch_fullname)              \
    X(acc_fetch_fulltype, DACC_fetch_fulltype)              \
    X(acc_fetch_name, DACC_fetch_name)                      \
    X(acc_fetch_range, DACC_fetch_range)                    \
    X(acc_fetch_size, DACC_fetch_size)                      \
    X(acc_fetch_type, DACC_fetch_type)                      \
    X(acc_fetch_type_str, DACC_fetch_type_str)              \
    X(acc_fetch_value, DACC_fetch_value)                    \
    X(acc_handle_by_name, DACC_handle_by_name)              \
    X(acc_handle_hiconn, DACC_handle_hiconn)                \
    X(acc_handle_scope, DACC_handle_scope)                  \
    X(acc_handle_simulated_net, DACC_handle_simulated_net)  \
    X(acc_handle_tfarg, DACC_handle_tfarg)                  \
    X(acc_next, DACC_next)                                  \
    X(acc_next_bit, DACC_next_bit)                          \
    X(acc_next_port, DACC_next_port)                        \
    X(acc_next_scope, DACC_next_scope)                      \
    X(acc_next_topmod, DACC_next_topmod)                    \
    X(acc_object_of_type, DACC_object_of_type)              \
    X(acc_vcl_add, DACC_vcl_add)                            \
    X(acc_vcl_delete, DACC_vcl_delete)

}  // namespace

void InstallCallTracing() {
#define TAVRI_INSTALL(entry, wrapper) sim::g_sim.entry = wrapper;
    TAVRI_TRACED_ROUTINES(TAVRI_INSTALL)
#undef TAVRI_INSTALL
}

void RemoveCallTracing() {
#define TAVRI_REMOVE(entry, wrapper) sim::g_sim.entry = g_simBound.entry;
    TAVRI_TRACED_ROUTINES(TAVRI_REMOVE)
#undef TAVRI_REMOVE
}

bool CallTracingInstalled() {
    bool installed = true;
#define TAVRI_CHECK(entry, wrapper) installed = installed && sim::g_sim.entry == wrapper;
    TAVRI_TRACED_ROUTINES(TAVRI_CHECK)
#undef TAVRI_CHECK
    return installed;
}

}  // namespace tavri::pli
