// The routines a simulator exports to the native library it loads, served
// here by the active model simulator, so that the real shared library can be
// loaded with dlopen and resolve its simulator symbols against this program.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "support/format_text.h"
#include "support/model_sim.h"

using tavri::test::ModelSim;

namespace {

ModelSim &Sim() { return *ModelSim::Active(); }

}  // namespace

#define TAVRI_EXPORT extern "C" __attribute__((visibility("default")))

TAVRI_EXPORT int tf_nump(void) { return Sim().tf_nump(); }
TAVRI_EXPORT int tf_typep(int n) { return Sim().tf_typep(n); }
TAVRI_EXPORT p_tfexprinfo tf_exprinfo(int n, p_tfexprinfo info) { return Sim().tf_exprinfo(n, info); }
TAVRI_EXPORT p_tfnodeinfo tf_nodeinfo(int n, p_tfnodeinfo info) { return Sim().tf_nodeinfo(n, info); }
TAVRI_EXPORT char *tf_getcstringp(int n) { return Sim().tf_getcstringp(n); }
TAVRI_EXPORT char *tf_getinstance(void) { return Sim().tf_getinstance(); }
TAVRI_EXPORT char *tf_mipname(void) { return Sim().tf_mipname(); }
TAVRI_EXPORT int tf_gettimeunit(void) { return Sim().tf_gettimeunit(); }
TAVRI_EXPORT int tf_getlongsimtime(int *high) { return Sim().tf_getlongsimtime(high); }
TAVRI_EXPORT int tf_setdelay(int delay) { return Sim().tf_setdelay(delay); }
TAVRI_EXPORT int tf_setlongdelay(int low, int high) { return Sim().tf_setlongdelay(low, high); }
TAVRI_EXPORT int tf_isetlongdelay(int low, int high, char *instance) {
    return Sim().tf_isetlongdelay(low, high, instance);
}
TAVRI_EXPORT int tf_rosynchronize(void) { return Sim().tf_rosynchronize(); }
TAVRI_EXPORT int tf_irosynchronize(char *instance) { return Sim().tf_irosynchronize(instance); }
TAVRI_EXPORT int tf_synchronize(void) { return Sim().tf_synchronize(); }
TAVRI_EXPORT int tf_isynchronize(char *instance) { return Sim().tf_isynchronize(instance); }
TAVRI_EXPORT __attribute__((format(printf, 1, 2))) void tf_error(const char *format, ...) {
    va_list args;
    va_start(args, format);
    Sim().ReportError(tavri::test::FormatV(format, args));
    va_end(args);
}
TAVRI_EXPORT __attribute__((format(printf, 1, 2))) void tf_warning(const char *format, ...) {
    va_list args;
    va_start(args, format);
    Sim().ReportWarning(tavri::test::FormatV(format, args));
    va_end(args);
}
TAVRI_EXPORT __attribute__((format(printf, 1, 2))) void io_printf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    Sim().Print(tavri::test::FormatV(format, args));
    va_end(args);
}
TAVRI_EXPORT char *mc_scan_plusargs(const char *prefix) { return Sim().mc_scan_plusargs(prefix); }
TAVRI_EXPORT int acc_initialize(void) { return Sim().acc_initialize(); }
TAVRI_EXPORT char *acc_product_version(void) { return Sim().acc_product_version(); }
TAVRI_EXPORT int acc_compare_handles(handle a, handle b) { return Sim().acc_compare_handles(a, b); }
TAVRI_EXPORT char *acc_fetch_defname(handle object) { return Sim().acc_fetch_defname(object); }
TAVRI_EXPORT int acc_fetch_direction(handle object) { return Sim().acc_fetch_direction(object); }
TAVRI_EXPORT char *acc_fetch_fullname(handle object) { return Sim().acc_fetch_fullname(object); }
TAVRI_EXPORT int acc_fetch_fulltype(handle object) { return Sim().acc_fetch_fulltype(object); }
TAVRI_EXPORT char *acc_fetch_name(handle object) { return Sim().acc_fetch_name(object); }
TAVRI_EXPORT int acc_fetch_range(handle object, int *msb, int *lsb) { return Sim().acc_fetch_range(object, msb, lsb); }
TAVRI_EXPORT int acc_fetch_size(handle object) { return Sim().acc_fetch_size(object); }
TAVRI_EXPORT int acc_fetch_tfarg_int(int n) { return Sim().acc_fetch_tfarg_int(n); }
TAVRI_EXPORT char *acc_fetch_tfarg_str(int n) { return Sim().acc_fetch_tfarg_str(n); }
TAVRI_EXPORT int acc_fetch_type(handle object) { return Sim().acc_fetch_type(object); }
TAVRI_EXPORT char *acc_fetch_type_str(int type) { return Sim().acc_fetch_type_str(type); }
TAVRI_EXPORT char *acc_fetch_value(handle object, const char *format, p_acc_value value) {
    return Sim().acc_fetch_value(object, format, value);
}
TAVRI_EXPORT handle acc_handle_by_name(const char *name, handle scope) { return Sim().acc_handle_by_name(name, scope); }
TAVRI_EXPORT handle acc_handle_hiconn(handle port) { return Sim().acc_handle_hiconn(port); }
TAVRI_EXPORT handle acc_handle_object(const char *name) { return Sim().acc_handle_object(name); }
TAVRI_EXPORT handle acc_handle_parent(handle object) { return Sim().acc_handle_parent(object); }
TAVRI_EXPORT handle acc_handle_scope(handle object) { return Sim().acc_handle_scope(object); }
TAVRI_EXPORT handle acc_handle_simulated_net(handle net) { return Sim().acc_handle_simulated_net(net); }
TAVRI_EXPORT handle acc_handle_tfarg(int n) { return Sim().acc_handle_tfarg(n); }
TAVRI_EXPORT handle acc_next(int *types, handle scope, handle previous) { return Sim().acc_next(types, scope, previous); }
TAVRI_EXPORT handle acc_next_bit(handle vector, handle previous) { return Sim().acc_next_bit(vector, previous); }
TAVRI_EXPORT handle acc_next_port(handle module, handle previous) { return Sim().acc_next_port(module, previous); }
TAVRI_EXPORT handle acc_next_scope(handle scope, handle previous) { return Sim().acc_next_scope(scope, previous); }
TAVRI_EXPORT handle acc_next_topmod(handle previous) { return Sim().acc_next_topmod(previous); }
TAVRI_EXPORT int acc_object_of_type(handle object, int type) { return Sim().acc_object_of_type(object, type); }
TAVRI_EXPORT void acc_vcl_add(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    Sim().acc_vcl_add(object, consumer, user_data, flags);
}
TAVRI_EXPORT void acc_vcl_delete(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    Sim().acc_vcl_delete(object, consumer, user_data, flags);
}
TAVRI_EXPORT void mti_RegisterUserTF(p_tfcell row) { Sim().mti_RegisterUserTF(row); }
TAVRI_EXPORT void mti_AddTclCommand(const char *name, tavri::sim::TclCommandProc handler, void *client_data,
                                    tavri::sim::TclDeleteProc on_delete) {
    Sim().mti_AddTclCommand(name, handler, client_data, on_delete);
}
TAVRI_EXPORT int mti_GetResolutionLimit(void) { return Sim().mti_GetResolutionLimit(); }
TAVRI_EXPORT void mti_PrintMessage(const char *text) { Sim().mti_PrintMessage(text); }
