// The simulator loads the module and runs its start-up routines: the
// routine table is bound to VPI, the dumper's tasks are registered, and the
// end of the simulation is followed.
#include "pli/registration.h"
#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {

sim::Routines Routines() {
    sim::Routines r;
    r.tf_nump = TfNump;
    r.tf_typep = TfTypep;
    r.tf_exprinfo = TfExprinfo;
    r.tf_nodeinfo = TfNodeinfo;
    r.tf_getcstringp = TfGetCStringP;
    r.tf_getinstance = TfGetInstance;
    r.tf_mipname = TfMipname;
    r.tf_gettimeunit = TfGetTimeUnit;
    r.tf_getlongsimtime = TfGetLongSimTime;
    r.tf_setdelay = TfSetDelay;
    r.tf_setlongdelay = TfSetLongDelay;
    r.tf_isetlongdelay = TfISetLongDelay;
    r.tf_rosynchronize = TfRosynchronize;
    r.tf_irosynchronize = TfIRosynchronize;
    r.tf_synchronize = TfSynchronize;
    r.tf_isynchronize = TfISynchronize;
    r.tf_error = TfError;
    r.tf_warning = TfWarning;
    r.io_printf = IoPrintf;
    r.mc_scan_plusargs = McScanPlusargs;
    r.acc_initialize = AccInitialize;
    r.acc_product_version = AccProductVersion;
    r.acc_compare_handles = AccCompareHandles;
    r.acc_fetch_defname = AccFetchDefname;
    r.acc_fetch_direction = AccFetchDirection;
    r.acc_fetch_fullname = AccFetchFullname;
    r.acc_fetch_fulltype = AccFetchFulltype;
    r.acc_fetch_name = AccFetchName;
    r.acc_fetch_range = AccFetchRange;
    r.acc_fetch_size = AccFetchSize;
    r.acc_fetch_tfarg_int = AccFetchTfargInt;
    r.acc_fetch_tfarg_str = AccFetchTfargStr;
    r.acc_fetch_type = AccFetchType;
    r.acc_fetch_type_str = AccFetchTypeStr;
    r.acc_fetch_value = AccFetchValue;
    r.acc_handle_by_name = AccHandleByName;
    r.acc_handle_hiconn = AccHandleHiconn;
    r.acc_handle_object = AccHandleObject;
    r.acc_handle_parent = AccHandleParent;
    r.acc_handle_scope = AccHandleScope;
    r.acc_handle_simulated_net = AccHandleSimulatedNet;
    r.acc_handle_tfarg = AccHandleTfarg;
    r.acc_next = AccNext;
    r.acc_next_bit = AccNextBit;
    r.acc_next_port = AccNextPort;
    r.acc_next_scope = AccNextScope;
    r.acc_next_topmod = AccNextTopmod;
    r.acc_object_of_type = AccObjectOfType;
    r.acc_vcl_add = AccVclAdd;
    r.acc_vcl_delete = AccVclDelete;
    r.mti_RegisterUserTF = RegisterRow;
    r.mti_AddTclCommand = AddTclCommand;
    r.mti_GetResolutionLimit = ResolutionLimit;
    r.mti_PrintMessage = PrintMessage;
    return r;
}

}  // namespace tavri::vpi

namespace {

void StartTavri() {
    tavri::sim::Bind(tavri::vpi::Routines());
    tavri::pli::RegisterDumper();
    tavri::vpi::RegisterSimulationCallbacks();
}

}  // namespace

extern "C" {
__attribute__((visibility("default"))) void (*vlog_startup_routines[])() = {StartTavri, nullptr};
}
