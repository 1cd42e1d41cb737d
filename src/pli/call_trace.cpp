// The tracing wrappers. Each prints "name()", one line per argument by its
// kind, calls the simulator's routine as the binding supplied it (never the
// table entry, which holds the wrapper itself) and prints the result. Every
// line goes through the trace print, whatever the execution-flow switch.
#include "pli/call_trace.h"

#include <algorithm>
#include <cinttypes>
#include <cstddef>
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

// Wrappers of the same shape differ only in the routine's name and entry.
template <size_t N>
struct RoutineName {
    char text[N];
    constexpr RoutineName(const char (&name)[N]) { std::copy_n(name, N, text); }  // NOLINT: literals convert
};

template <RoutineName name, auto entry>
int NoneToInt() {
    Enter(name.text);
    return ReturnInt((g_simBound.*entry)());
}

template <RoutineName name, auto entry>
int IntToInt(int n) {
    Enter(name.text);
    ArgInt(1, n);
    return ReturnInt((g_simBound.*entry)(n));
}

template <RoutineName name, auto entry>
char *IntToString(int n) {
    Enter(name.text);
    ArgInt(1, n);
    return ReturnString((g_simBound.*entry)(n));
}

template <RoutineName name, auto entry>
handle IntToHandle(int n) {
    Enter(name.text);
    ArgInt(1, n);
    return ReturnHandle((g_simBound.*entry)(n));
}

template <RoutineName name, auto entry>
int HandleToInt(handle object) {
    Enter(name.text);
    ArgHandle(1, object);
    return ReturnInt((g_simBound.*entry)(object));
}

template <RoutineName name, auto entry>
char *HandleToString(handle object) {
    Enter(name.text);
    ArgHandle(1, object);
    return ReturnString((g_simBound.*entry)(object));
}

template <RoutineName name, auto entry>
handle HandleToHandle(handle object) {
    Enter(name.text);
    ArgHandle(1, object);
    return ReturnHandle((g_simBound.*entry)(object));
}

template <RoutineName name, auto entry>
handle TwoHandlesToHandle(handle first, handle second) {
    Enter(name.text);
    ArgHandle(1, first);
    ArgHandle(2, second);
    return ReturnHandle((g_simBound.*entry)(first, second));
}

template <RoutineName name, auto entry>
int TwoHandlesToInt(handle first, handle second) {
    Enter(name.text);
    ArgHandle(1, first);
    ArgHandle(2, second);
    return ReturnInt((g_simBound.*entry)(first, second));
}

// acc_vcl_add and acc_vcl_delete.
template <RoutineName name, auto entry>
void Link(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    Enter(name.text);
    ArgHandle(1, object);
    ArgFunction(2, consumer);
    ArgUntyped(3, user_data);
    ArgInt(4, flags);
    (g_simBound.*entry)(object, consumer, user_data, flags);
    ReturnNone();
}

// ---- Wrappers of their own shape ----

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

char *DACC_tf_mipname() {
    Enter("tf_mipname");
    return ReturnString(g_simBound.tf_mipname());
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

int DACC_fetch_range(handle object, int *msb, int *lsb) {
    Enter("acc_fetch_range");
    ArgHandle(1, object);
    ArgPointer(2, "int", msb);
    ArgPointer(3, "int", lsb);
    return ReturnInt(g_simBound.acc_fetch_range(object, msb, lsb));
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

handle DACC_next(int *types, handle scope, handle previous) {
    Enter("acc_next");
    ArgPointer(1, "int", types);
    ArgHandle(2, scope);
    ArgHandle(3, previous);
    return ReturnHandle(g_simBound.acc_next(types, scope, previous));
}

int DACC_object_of_type(handle object, int type) {
    Enter("acc_object_of_type");
    ArgHandle(1, object);
    ArgInt(2, type);
    return ReturnInt(g_simBound.acc_object_of_type(object, type));
}

// X(table entry, wrapper) for every traced routine; a shaped wrapper is
// named by its shape.
#define TAVRI_SHAPED(shape, entry) shape<#entry, &sim::Routines::entry>
#define TAVRI_TRACED_ROUTINES(X)                                                  \
    X(tf_exprinfo, DACC_tf_exprinfo)                                              \
    X(tf_getcstringp, TAVRI_SHAPED(IntToString, tf_getcstringp))                  \
    X(tf_mipname, DACC_tf_mipname)                                                \
    X(tf_nodeinfo, DACC_tf_nodeinfo)                                              \
    X(tf_nump, TAVRI_SHAPED(NoneToInt, tf_nump))                                  \
    X(tf_setdelay, TAVRI_SHAPED(IntToInt, tf_setdelay))                           \
    X(tf_setlongdelay, DACC_tf_setlongdelay)                                      \
    X(tf_irosynchronize, DACC_tf_irosynchronize)                                  \
    X(tf_rosynchronize, TAVRI_SHAPED(NoneToInt, tf_rosynchronize))                \
    X(tf_typep, TAVRI_SHAPED(IntToInt, tf_typep))                                 \
    X(acc_compare_handles, TAVRI_SHAPED(TwoHandlesToInt, acc_compare_handles))    \
    X(acc_fetch_defname, TAVRI_SHAPED(HandleToString, acc_fetch_defname))         \
    X(acc_fetch_direction, TAVRI_SHAPED(HandleToInt, acc_fetch_direction))        \
    X(acc_fetch_fullname, TAVRI_SHAPED(HandleToString, acc_fetch_fullname))       \
    X(acc_fetch_fulltype, TAVRI_SHAPED(HandleToInt, acc_fetch_fulltype))          \
    X(acc_fetch_name, TAVRI_SHAPED(HandleToString, acc_fetch_name))               \
    X(acc_fetch_range, DACC_fetch_range)                                          \
    X(acc_fetch_size, TAVRI_SHAPED(HandleToInt, acc_fetch_size))                  \
    X(acc_fetch_type, TAVRI_SHAPED(HandleToInt, acc_fetch_type))                  \
    X(acc_fetch_type_str, TAVRI_SHAPED(IntToString, acc_fetch_type_str))          \
    X(acc_fetch_value, DACC_fetch_value)                                          \
    X(acc_handle_by_name, DACC_handle_by_name)                                    \
    X(acc_handle_hiconn, TAVRI_SHAPED(HandleToHandle, acc_handle_hiconn))         \
    X(acc_handle_scope, TAVRI_SHAPED(HandleToHandle, acc_handle_scope))           \
    X(acc_handle_simulated_net, TAVRI_SHAPED(HandleToHandle, acc_handle_simulated_net)) \
    X(acc_handle_tfarg, TAVRI_SHAPED(IntToHandle, acc_handle_tfarg))              \
    X(acc_next, DACC_next)                                                        \
    X(acc_next_bit, TAVRI_SHAPED(TwoHandlesToHandle, acc_next_bit))               \
    X(acc_next_port, TAVRI_SHAPED(TwoHandlesToHandle, acc_next_port))             \
    X(acc_next_scope, TAVRI_SHAPED(TwoHandlesToHandle, acc_next_scope))           \
    X(acc_next_topmod, TAVRI_SHAPED(HandleToHandle, acc_next_topmod))             \
    X(acc_object_of_type, DACC_object_of_type)                                    \
    X(acc_vcl_add, TAVRI_SHAPED(Link, acc_vcl_add))                               \
    X(acc_vcl_delete, TAVRI_SHAPED(Link, acc_vcl_delete))

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
