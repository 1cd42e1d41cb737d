// The simulator routine table: every call of the front end into the simulator
// goes through one of these pointers. A binding (the native PLI entry, the VPI
// binding, the model simulator of the tests) fills the table; debug tracing
// may later swap single entries for wrappers without any test in the callers.
#ifndef TAVRI_SIM_SIM_ROUTINES_H
#define TAVRI_SIM_SIM_ROUTINES_H

#include "sim/pli_acc.h"
#include "sim/pli_tf.h"

namespace tavri::sim {

// A Tcl command handler: (client data, interpreter, word count, words); word 0
// is the command name. The interpreter stays opaque to the front end.
using TclCommandProc = int (*)(void *client_data, void *interp, int argc, const char *argv[]);
using TclDeleteProc = void (*)(void *client_data);

// X(return type, routine, parameter list) for every routine of the table, in
// table order. The same list declares the simulator's C symbols for the
// native binding and checks that a binding left no entry empty.
#define TAVRI_SIM_ROUTINES(X)                                                              \
    /* TF routines */                                                                      \
    X(int, tf_nump, (void))                                                                \
    X(int, tf_typep, (int n))                                                              \
    X(p_tfexprinfo, tf_exprinfo, (int n, p_tfexprinfo info))                               \
    X(p_tfnodeinfo, tf_nodeinfo, (int n, p_tfnodeinfo info))                               \
    X(char *, tf_getcstringp, (int n))                                                     \
    X(char *, tf_getinstance, (void))                                                      \
    X(char *, tf_mipname, (void))                                                          \
    X(int, tf_gettimeunit, (void))                                                         \
    X(int, tf_getlongsimtime, (int *high))                                                 \
    X(int, tf_setdelay, (int delay))                                                       \
    X(int, tf_setlongdelay, (int low, int high))                                           \
    X(int, tf_isetlongdelay, (int low, int high, char *instance))                          \
    X(int, tf_rosynchronize, (void))                                                       \
    X(int, tf_irosynchronize, (char *instance))                                            \
    X(int, tf_synchronize, (void))                                                         \
    X(int, tf_isynchronize, (char *instance))                                              \
    X(void, tf_error, (const char *format, ...))                                           \
    X(void, tf_warning, (const char *format, ...))                                         \
    X(void, io_printf, (const char *format, ...))                                          \
    X(char *, mc_scan_plusargs, (const char *prefix))                                      \
    /* ACC routines */                                                                     \
    X(int, acc_initialize, (void))                                                         \
    X(char *, acc_product_version, (void))                                                 \
    X(int, acc_compare_handles, (handle a, handle b))                                      \
    X(char *, acc_fetch_defname, (handle object))                                          \
    X(int, acc_fetch_direction, (handle object))                                           \
    X(char *, acc_fetch_fullname, (handle object))                                         \
    X(int, acc_fetch_fulltype, (handle object))                                            \
    X(char *, acc_fetch_name, (handle object))                                             \
    X(int, acc_fetch_range, (handle object, int *msb, int *lsb))                           \
    X(int, acc_fetch_size, (handle object))                                                \
    X(int, acc_fetch_tfarg_int, (int n))                                                   \
    X(char *, acc_fetch_tfarg_str, (int n))                                                \
    X(int, acc_fetch_type, (handle object))                                                \
    X(char *, acc_fetch_type_str, (int type))                                              \
    X(char *, acc_fetch_value, (handle object, const char *format, p_acc_value value))     \
    X(handle, acc_handle_by_name, (const char *name, handle scope))                        \
    X(handle, acc_handle_hiconn, (handle port))                                            \
    X(handle, acc_handle_object, (const char *name))                                       \
    X(handle, acc_handle_parent, (handle object))                                          \
    X(handle, acc_handle_scope, (handle object))                                           \
    X(handle, acc_handle_simulated_net, (handle net))                                      \
    X(handle, acc_handle_tfarg, (int n))                                                   \
    X(handle, acc_next, (int *types, handle scope, handle previous))                       \
    X(handle, acc_next_bit, (handle vector, handle previous))                              \
    X(handle, acc_next_port, (handle module, handle previous))                             \
    X(handle, acc_next_scope, (handle scope, handle previous))                             \
    X(handle, acc_next_topmod, (handle previous))                                          \
    X(int, acc_object_of_type, (handle object, int type))                                  \
    X(void, acc_vcl_add, (handle object, p_vc_consumer consumer, char *user_data, int flags)) \
    X(void, acc_vcl_delete, (handle object, p_vc_consumer consumer, char *user_data, int flags)) \
    /* simulator-specific routines */                                                      \
    X(void, mti_RegisterUserTF, (p_tfcell row))                                            \
    X(void, mti_AddTclCommand,                                                             \
      (const char *name, ::tavri::sim::TclCommandProc handler, void *client_data,        \
       ::tavri::sim::TclDeleteProc on_delete)) \
    X(int, mti_GetResolutionLimit, (void))                                                 \
    X(void, mti_PrintMessage, (const char *text))

struct Routines {
#define TAVRI_SIM_MEMBER(ret, name, params) ret(*name) params = nullptr;
    TAVRI_SIM_ROUTINES(TAVRI_SIM_MEMBER)
#undef TAVRI_SIM_MEMBER
};

// The table the front end calls through. Debug tracing may replace entries.
extern Routines g_sim;

// The routines exactly as the binding supplied them; tracing restores entries
// from here, and the timing routines are always called through it.
extern Routines g_simBound;

// Installs a binding's routines in both tables.
void Bind(const Routines &routines);

// Number of entries a binding left empty; the name of the first one goes to
// `first_missing` when it is given.
int CountUnbound(const Routines &routines, const char **first_missing = nullptr);

}  // namespace tavri::sim

#endif
