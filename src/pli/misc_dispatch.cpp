#include "pli/misc_dispatch.h"

#include "pli/dumper_state.h"
#include "pli/trace.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

void OnRosynch() { g_dumper.rosync_idle = true; }

void OnFinish() { sim::g_sim.acc_initialize(); }

void OnReset() {
    sim::g_sim.acc_initialize();
    g_dumper.current_file_name.reset();
    g_dumper.mode = DumpMode::kNone;
    g_dumper.closed_names.clear();
}

void OnStartOfSave() { g_dumper.saving = true; }

void OnStartOfRestart() { g_dumper.mode = DumpMode::kNone; }

}  // namespace

int plimiscTRAX(int /*data*/, int reason) {
    TAVRI_TRACE("plimiscTRAX() reason=%d\n", reason);
    if (reason < reason_save || reason > reason_startofrestart) {
        return 1;
    }
    switch (reason) {
        case reason_rosynch:
            OnRosynch();
            break;
        case reason_finish:
            OnFinish();
            break;
        case reason_reset:
            OnReset();
            break;
        case reason_startofsave:
            OnStartOfSave();
            break;
        case reason_startofrestart:
            OnStartOfRestart();
            break;
        default:
            break;
    }
    return 1;
}

}  // namespace tavri::pli
