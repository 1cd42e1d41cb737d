// The routine table of the model simulator: C-style routines that forward to
// the active simulator, its installation on construction and its removal on
// destruction. Without an active simulator every routine fails quietly
// (0 or null).
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "support/format_text.h"
#include "support/model_sim.h"

namespace tavri::test {
namespace {

ModelSim *g_active = nullptr;

// Forwards a routine to the active simulator, or yields `fallback`.
#define TAVRI_FORWARD(fallback, call) \
    do {                              \
        if (g_active == nullptr) {    \
            return fallback;          \
        }                             \
        return g_active->call;        \
    } while (false)

int TfNump() { TAVRI_FORWARD(0, tf_nump()); }
int TfTypep(int n) { TAVRI_FORWARD(tf_nullparam, tf_typep(n)); }
p_tfexprinfo TfExprinfo(int n, p_tfexprinfo info) { TAVRI_FORWARD(nullptr, tf_exprinfo(n, info)); }
p_tfnodeinfo TfNodeinfo(int n, p_tfnodeinfo info) { TAVRI_FORWARD(nullptr, tf_nodeinfo(n, info)); }
char *TfGetcstringp(int n) { TAVRI_FORWARD(nullptr, tf_getcstringp(n)); }
char *TfGetinstance() { TAVRI_FORWARD(nullptr, tf_getinstance()); }
char *TfMipname() { TAVRI_FORWARD(nullptr, tf_mipname()); }
int TfGettimeunit() { TAVRI_FORWARD(0, tf_gettimeunit()); }
int TfGetlongsimtime(int *high) { TAVRI_FORWARD(0, tf_getlongsimtime(high)); }
int TfSetdelay(int delay) { TAVRI_FORWARD(0, tf_setdelay(delay)); }
int TfSetlongdelay(int low, int high) { TAVRI_FORWARD(0, tf_setlongdelay(low, high)); }
int TfIsetlongdelay(int low, int high, char *instance) { TAVRI_FORWARD(0, tf_isetlongdelay(low, high, instance)); }
int TfRosynchronize() { TAVRI_FORWARD(0, tf_rosynchronize()); }
int TfIrosynchronize(char *instance) { TAVRI_FORWARD(0, tf_irosynchronize(instance)); }
int TfSynchronize() { TAVRI_FORWARD(0, tf_synchronize()); }
int TfIsynchronize(char *instance) { TAVRI_FORWARD(0, tf_isynchronize(instance)); }

__attribute__((format(printf, 1, 2))) void TfError(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (g_active != nullptr) {
        g_active->ReportError(std::move(text));
    }
}

__attribute__((format(printf, 1, 2))) void TfWarning(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (g_active != nullptr) {
        g_active->ReportWarning(std::move(text));
    }
}

__attribute__((format(printf, 1, 2))) void IoPrintf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    if (g_active != nullptr) {
        g_active->Print(std::move(text));
    }
}

char *McScanPlusargs(const char *prefix) { TAVRI_FORWARD(nullptr, mc_scan_plusargs(prefix)); }

int AccInitialize() { TAVRI_FORWARD(0, acc_initialize()); }
char *AccProductVersion() { TAVRI_FORWARD(nullptr, acc_product_version()); }
int AccCompareHandles(handle a, handle b) { TAVRI_FORWARD(0, acc_compare_handles(a, b)); }
char *AccFetchDefname(handle object) { TAVRI_FORWARD(nullptr, acc_fetch_defname(object)); }
int AccFetchDirection(handle object) { TAVRI_FORWARD(0, acc_fetch_direction(object)); }
char *AccFetchFullname(handle object) { TAVRI_FORWARD(nullptr, acc_fetch_fullname(object)); }
int AccFetchFulltype(handle object) { TAVRI_FORWARD(0, acc_fetch_fulltype(object)); }
char *AccFetchName(handle object) { TAVRI_FORWARD(nullptr, acc_fetch_name(object)); }
int AccFetchRange(handle object, int *msb, int *lsb) { TAVRI_FORWARD(0, acc_fetch_range(object, msb, lsb)); }
int AccFetchSize(handle object) { TAVRI_FORWARD(0, acc_fetch_size(object)); }
int AccFetchTfargInt(int n) { TAVRI_FORWARD(0, acc_fetch_tfarg_int(n)); }
char *AccFetchTfargStr(int n) { TAVRI_FORWARD(nullptr, acc_fetch_tfarg_str(n)); }
int AccFetchType(handle object) { TAVRI_FORWARD(0, acc_fetch_type(object)); }
char *AccFetchTypeStr(int type) { TAVRI_FORWARD(nullptr, acc_fetch_type_str(type)); }
char *AccFetchValue(handle object, const char *format, p_acc_value value) {
    TAVRI_FORWARD(nullptr, acc_fetch_value(object, format, value));
}
handle AccHandleByName(const char *name, handle scope) { TAVRI_FORWARD(nullptr, acc_handle_by_name(name, scope)); }
handle AccHandleHiconn(handle port) { TAVRI_FORWARD(nullptr, acc_handle_hiconn(port)); }
handle AccHandleObject(const char *name) { TAVRI_FORWARD(nullptr, acc_handle_object(name)); }
handle AccHandleParent(handle object) { TAVRI_FORWARD(nullptr, acc_handle_parent(object)); }
handle AccHandleScope(handle object) { TAVRI_FORWARD(nullptr, acc_handle_scope(object)); }
handle AccHandleSimulatedNet(handle net) { TAVRI_FORWARD(nullptr, acc_handle_simulated_net(net)); }
handle AccHandleTfarg(int n) { TAVRI_FORWARD(nullptr, acc_handle_tfarg(n)); }
handle AccNext(int *types, handle scope, handle previous) { TAVRI_FORWARD(nullptr, acc_next(types, scope, previous)); }
handle AccNextBit(handle vector, handle previous) { TAVRI_FORWARD(nullptr, acc_next_bit(vector, previous)); }
handle AccNextPort(handle module, handle previous) { TAVRI_FORWARD(nullptr, acc_next_port(module, previous)); }
handle AccNextScope(handle scope, handle previous) { TAVRI_FORWARD(nullptr, acc_next_scope(scope, previous)); }
handle AccNextTopmod(handle previous) { TAVRI_FORWARD(nullptr, acc_next_topmod(previous)); }
int AccObjectOfType(handle object, int type) { TAVRI_FORWARD(0, acc_object_of_type(object, type)); }

void AccVclAdd(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    if (g_active != nullptr) {
        g_active->acc_vcl_add(object, consumer, user_data, flags);
    }
}

void AccVclDelete(handle object, p_vc_consumer consumer, char *user_data, int flags) {
    if (g_active != nullptr) {
        g_active->acc_vcl_delete(object, consumer, user_data, flags);
    }
}

void MtiRegisterUserTF(p_tfcell row) {
    if (g_active != nullptr) {
        g_active->mti_RegisterUserTF(row);
    }
}

void MtiAddTclCommand(const char *name, sim::TclCommandProc handler, void *client_data,
                      sim::TclDeleteProc on_delete) {
    if (g_active != nullptr) {
        g_active->mti_AddTclCommand(name, handler, client_data, on_delete);
    }
}

int MtiGetResolutionLimit() { TAVRI_FORWARD(0, mti_GetResolutionLimit()); }

void MtiPrintMessage(const char *text) {
    if (g_active != nullptr) {
        g_active->mti_PrintMessage(text);
    }
}

#undef TAVRI_FORWARD

}  // namespace

sim::Routines ModelSim::RoutineTable() {
    sim::Routines r;
    r.tf_nump = &TfNump;
    r.tf_typep = &TfTypep;
    r.tf_exprinfo = &TfExprinfo;
    r.tf_nodeinfo = &TfNodeinfo;
    r.tf_getcstringp = &TfGetcstringp;
    r.tf_getinstance = &TfGetinstance;
    r.tf_mipname = &TfMipname;
    r.tf_gettimeunit = &TfGettimeunit;
    r.tf_getlongsimtime = &TfGetlongsimtime;
    r.tf_setdelay = &TfSetdelay;
    r.tf_setlongdelay = &TfSetlongdelay;
    r.tf_isetlongdelay = &TfIsetlongdelay;
    r.tf_rosynchronize = &TfRosynchronize;
    r.tf_irosynchronize = &TfIrosynchronize;
    r.tf_synchronize = &TfSynchronize;
    r.tf_isynchronize = &TfIsynchronize;
    r.tf_error = &TfError;
    r.tf_warning = &TfWarning;
    r.io_printf = &IoPrintf;
    r.mc_scan_plusargs = &McScanPlusargs;
    r.acc_initialize = &AccInitialize;
    r.acc_product_version = &AccProductVersion;
    r.acc_compare_handles = &AccCompareHandles;
    r.acc_fetch_defname = &AccFetchDefname;
    r.acc_fetch_direction = &AccFetchDirection;
    r.acc_fetch_fullname = &AccFetchFullname;
    r.acc_fetch_fulltype = &AccFetchFulltype;
    r.acc_fetch_name = &AccFetchName;
    r.acc_fetch_range = &AccFetchRange;
    r.acc_fetch_size = &AccFetchSize;
    r.acc_fetch_tfarg_int = &AccFetchTfargInt;
    r.acc_fetch_tfarg_str = &AccFetchTfargStr;
    r.acc_fetch_type = &AccFetchType;
    r.acc_fetch_type_str = &AccFetchTypeStr;
    r.acc_fetch_value = &AccFetchValue;
    r.acc_handle_by_name = &AccHandleByName;
    r.acc_handle_hiconn = &AccHandleHiconn;
    r.acc_handle_object = &AccHandleObject;
    r.acc_handle_parent = &AccHandleParent;
    r.acc_handle_scope = &AccHandleScope;
    r.acc_handle_simulated_net = &AccHandleSimulatedNet;
    r.acc_handle_tfarg = &AccHandleTfarg;
    r.acc_next = &AccNext;
    r.acc_next_bit = &AccNextBit;
    r.acc_next_port = &AccNextPort;
    r.acc_next_scope = &AccNextScope;
    r.acc_next_topmod = &AccNextTopmod;
    r.acc_object_of_type = &AccObjectOfType;
    r.acc_vcl_add = &AccVclAdd;
    r.acc_vcl_delete = &AccVclDelete;
    r.mti_RegisterUserTF = &MtiRegisterUserTF;
    r.mti_AddTclCommand = &MtiAddTclCommand;
    r.mti_GetResolutionLimit = &MtiGetResolutionLimit;
    r.mti_PrintMessage = &MtiPrintMessage;
    return r;
}

ModelSim *ModelSim::Active() { return g_active; }

ModelSim::ModelSim() {
    if (g_active != nullptr) {
        throw std::logic_error("a model simulator is already active");
    }
    g_active = this;
    sim::Bind(RoutineTable());
}

ModelSim::~ModelSim() {
    // Deleting the interpreter runs the delete procs of the Tcl commands,
    // which may still call routines of this simulator.
    CloseTcl();
    g_active = nullptr;
    sim::Bind(sim::Routines{});
}

char *ModelSim::AccString(std::string text) {
    std::string &slot = acc_strings_[acc_string_next_];
    acc_string_next_ = (acc_string_next_ + 1) % kAccStringRing;
    slot = std::move(text);
    return slot.data();
}

Object *ModelSim::Known(handle h, const char *routine) {
    if (h == nullptr) {
        Diagnose(std::string(routine) + ": null handle");
        return nullptr;
    }
    if (!Owns(h)) {
        Diagnose(std::string(routine) + ": unknown handle");
        return nullptr;
    }
    return static_cast<Object *>(h);
}

}  // namespace tavri::test
