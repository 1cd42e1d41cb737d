// mtipli.dll for the Windows test host: exports every routine of
// src/sim/win32/mtipli.def and forwards each call to the routine table the
// host serves (the model simulator's). Until a table is served every routine
// fails quietly with 0 or null.
#include "win32/mtipli_stand_in.h"

#include <cstdarg>
#include <string>

#include "support/format_text.h"

namespace {

const tavri::sim::Routines *g_served = nullptr;

}  // namespace

#define STAND_IN extern "C" __declspec(dllexport)
#define FORWARD(fallback, name, ...) return g_served != nullptr ? g_served->name(__VA_ARGS__) : fallback

STAND_IN void mtipli_serve(const tavri::sim::Routines *simulator) { g_served = simulator; }

STAND_IN int tf_nump(void) { FORWARD(0, tf_nump); }
STAND_IN int tf_typep(int n) { FORWARD(0, tf_typep, n); }
STAND_IN p_tfexprinfo tf_exprinfo(int n, p_tfexprinfo info) { FORWARD(nullptr, tf_exprinfo, n, info); }
STAND_IN p_tfnodeinfo tf_nodeinfo(int n, p_tfnodeinfo info) { FORWARD(nullptr, tf_nodeinfo, n, info); }
STAND_IN char *tf_getcstringp(int n) { FORWARD(nullptr, tf_getcstringp, n); }
STAND_IN char *tf_getinstance(void) { FORWARD(nullptr, tf_getinstance); }
STAND_IN char *tf_mipname(void) { FORWARD(nullptr, tf_mipname); }
STAND_IN int tf_gettimeunit(void) { FORWARD(0, tf_gettimeunit); }
STAND_IN int tf_getlongsimtime(int *high) { FORWARD(0, tf_getlongsimtime, high); }
STAND_IN int tf_setdelay(int delay) { FORWARD(0, tf_setdelay, delay); }
STAND_IN int tf_setlongdelay(int low, int high) { FORWARD(0, tf_setlongdelay, low, high); }
STAND_IN int tf_isetlongdelay(int low, int high, char *instance) {
    FORWARD(0, tf_isetlongdelay, low, high, instance);
}
STAND_IN int tf_rosynchronize(void) { FORWARD(0, tf_rosynchronize); }
STAND_IN int tf_irosynchronize(char *instance) { FORWARD(0, tf_irosynchronize, instance); }
STAND_IN int tf_synchronize(void) { FORWARD(0, tf_synchronize); }
STAND_IN int tf_isynchronize(char *instance) { FORWARD(0, tf_isynchronize, instance); }

// The printing routines format here and hand the text on whole.
#define FORWARD_PRINTF(name)                                 \
    STAND_IN __attribute__((format(printf, 1, 2))) void name(const char *format, ...) { \
        va_list args;                                        \
        va_start(args, format);                              \
        const std::string text = tavri::test::FormatV(format, args);       \
        va_end(args);                                        \
        if (g_served != nullptr) {                           \
            g_served->name("%s", text.c_str());              \
        }                                                    \
    }
FORWARD_PRINTF(tf_error)
FORWARD_PRINTF(tf_warning)
FORWARD_PRINTF(io_printf)
#undef FORWARD_PRINTF

STAND_IN char *mc_scan_plusargs(const char *prefix) { FORWARD(nullptr, mc_scan_plusargs, prefix); }
STAND_IN int acc_initialize(void) { FORWARD(0, acc_initialize); }
STAND_IN char *acc_product_version(void) { FORWARD(nullptr, acc_product_version); }
STAND_IN int acc_compare_handles(handle a, handle b) { FORWARD(0, acc_compare_handles, a, b); }
STAND_IN char *acc_fetch_defname(handle object) { FORWARD(nullptr, acc_fetch_defname, object); }
STAND_IN int acc_fetch_direction(handle object) { FORWARD(0, acc_fetch_direction, object); }
STAND_IN char *acc_fetch_fullname(handle object) { FORWARD(nullptr, acc_fetch_fullname, object); }
STAND_IN int acc_fetch_fulltype(handle object) { FORWARD(0, acc_fetch_fulltype, object); }
STAND_IN char *acc_fetch_name(handle object) { FORWARD(nullptr, acc_fetch_name, object); }
STAND_IN int acc_fetch_range(handle object, int *msb, int *lsb) { FORWARD(0, acc_fetch_range, object, msb, lsb); }
STAND_IN int acc_fetch_size(handle object) { FORWARD(0, acc_fetch_size, object); }
STAND_IN int acc_fetch_tfarg_int(int n) { FORWARD(0, acc_fetch_tfarg_int, n); }
STAND_IN char *acc_fetch_tfarg_str(int n) { FORWARD(nullptr, acc_fetch_tfarg_str, n); }
STAND_IN int acc_fetch_type(handle object) { FORWARD(0, acc_fetch_type, object); }
STAND_IN char *acc_fetch_type_str(int type) { FORWARD(nullptr, acc_fetch_type_str, type); }
STAND_IN char *acc_fetch_value(handle object, const char *format, p_acc_value value) {
    FORWARD(nullptr, acc_fetch_value, object, format, value);
}
STAND_IN handle acc_handle_by_name(const char *name, handle scope) { FORWARD(nullptr, acc_handle_by_name, name, scope); }
STAND_IN handle acc_handle_hiconn(handle port) { FORWARD(nullptr, acc_handle_hiconn, port); }
STAND_IN handle acc_handle_object(const char *name) { FORWARD(nullptr, acc_handle_object, name); }
STAND_IN handle acc_handle_parent(handle object) { FORWARD(nullptr, acc_handle_parent, object); }
STAND_IN handle acc_handle_scope(handle object) { FORWARD(nullptr, acc_handle_scope, object); }
STAND_IN handle acc_handle_simulated_net(handle net) { FORWARD(nullptr, acc_handle_simulated_net, net); }
STAND_IN handle acc_handle_tfarg(int n) { FORWARD(nullptr, acc_handle_tfarg, n); }
STAND_IN handle acc_next(int *types, handle scope, handle previous) { FORWARD(nullptr, acc_next, types, scope, previous); }
STAND_IN handle acc_next_bit(handle vector, handle previous) { FORWARD(nullptr, acc_next_bit, vector, previous); }
STAND_IN handle acc_next_port(handle module, handle previous) { FORWARD(nullptr, acc_next_port, module, previous); }
STAND_IN handle acc_next_scope(handle scope, handle previous) { FORWARD(nullptr, acc_next_scope, scope, previous); }
STAND_IN handle acc_next_topmod(handle previous) { FORWARD(nullptr, acc_next_topmod, previous); }
STAND_IN int acc_object_of_type(handle object, int type) { FORWARD(0, acc_object_of_type, object, type); }
STAND_IN void acc_vcl_add(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    FORWARD(void(), acc_vcl_add, object, consumer, user_data, flags);
}
STAND_IN void acc_vcl_delete(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    FORWARD(void(), acc_vcl_delete, object, consumer, user_data, flags);
}
STAND_IN void mti_RegisterUserTF(p_tfcell row) { FORWARD(void(), mti_RegisterUserTF, row); }
STAND_IN void mti_AddTclCommand(const char *name, tavri::sim::TclCommandProc handler, void *client_data,
                                tavri::sim::TclDeleteProc on_delete) {
    FORWARD(void(), mti_AddTclCommand, name, handler, client_data, on_delete);
}
STAND_IN int mti_GetResolutionLimit(void) { FORWARD(0, mti_GetResolutionLimit); }
STAND_IN void mti_PrintMessage(const char *text) { FORWARD(void(), mti_PrintMessage, text); }
