#include "pli/interactive.h"

#include <cstdint>
#include <cstring>

#include "pli/display_records.h"
#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_pattern.h"
#include "pli/dumper_state.h"
#include "pli/memory_dump.h"
#include "pli/misc_dispatch.h"
#include "pli/notices.h"
#include "pli/options.h"
#include "pli/prompt_flush.h"
#include "pli/scope_map.h"
#include "pli/substitute_hier.h"
#include "pli/trace.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

// Notice 6 with the simulation time now. The time of the last time tag
// would do as long as a file is open; without one it is stale.
void TellTheTime() {
    int high = 0;
    const auto low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    NoticeTime(static_cast<uint32_t>(high), low);
}

// The simulation stopped at the prompt: the debugger reads the files now.
void OnStop() {
    const AtPrompt prompt;
    SamplePendingVectors();
    FlushAllFiles();
    TellTheTime();
}

void OnFinish() {
    DumperState &state = g_dumper;
    state.same_net_pass = false;
    SamplePendingVectors();
    WritePendingMemories();
    TellTheTime();
    CloseAllDumpFile();
    NoticeCode(kNoticeFinish);
    ResetSubstitution();
    if (state.options.force_callback_delete) {
        ReleaseAllHooks();
        ForgetTheRun();
    }
}

void OnReset(int data) {
    g_dumper.same_net_pass = false;
    // The shared reset closes the files and forgets the run.
    plimiscTRAX(data, reason_reset);
    NoticeCode(kNoticeReset);
    NoticeTime(0, 0);
}

// The simulation starts again from time 0: the debugger gets a file again.
void OnEndOfReset() {
    g_dumper.same_net_pass = false;
    NoticeCode(kNoticeReset);
    if (CreateDumpFile() == 0) {
        return;
    }
    LeaveAllModes();
    FreeDeferredPatterns();
    DestroySuppressTables();
    FreeDisplayTables();
}

}  // namespace

bool OpenFileForDebugger(int time_unit) {
    if (CreateDumpFile() == 0) {
        if (g_dumper.current_writer == nullptr) {
            return false;
        }
        // A file opened before the debugger took over serves it as well; it
        // reads the file under the lock from now on.
        for (DumpFileRecord &file : g_dumper.files) {
            if (g_dumper.interactive) {
                g_txw.SetSyncControl(file.writer);
            }
        }
    }
    TellTheTime();
    sim::g_sim.io_printf("MTI_RESOLUTION_REPORT %d \n", time_unit);
    return true;
}

int plicompileInteractive(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    g_dumper.interactive_task_present = true;
    return 1;
}

int plitaskInteractive(int /*data*/, int /*reason*/) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskInteractive()\n");
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("$traxInteractive is already disabled.\n");
        return 0;
    }
    state.sync_instance = sim::g_sim.tf_getinstance();
    if (state.interactive_start_done) {
        return 1;
    }
    state.interactive_start_done = true;
    const char *file = PlusArg("traxfile");
    if (file != nullptr && std::strstr(file, "dump_i.trax") != nullptr) {
        state.interactive = true;
    } else {
        state.interactive_task_present = true;
    }
    OpenFileForDebugger(sim::g_sim.tf_gettimeunit());
    return 1;
}

int plimiscInteractive(int data, int reason) {
    DumperState &state = g_dumper;
    if (!state.interactive) {
        return state.interactive_task_present ? plimiscTRAX(data, reason) : 1;
    }
    TAVRI_TRACE("plimiscInteractive() reason=%d\n", reason);
    switch (reason) {
        case reason_restart:
        case reason_startofsave:
            state.same_net_pass = false;
            return plimiscTRAX(data, reason);
        case reason_finish:
            OnFinish();
            break;
        case reason_rosynch:
            return plimiscTRAX(data, reason);
        case reason_interactive:
            OnStop();
            break;
        case reason_reset:
            OnReset(data);
            break;
        case reason_endofreset:
            OnEndOfReset();
            break;
        default:
            break;
    }
    return 1;
}

}  // namespace tavri::pli
