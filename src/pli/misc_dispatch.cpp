#include "pli/misc_dispatch.h"

#include "pli/display_records.h"
#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_pattern.h"
#include "pli/dump_times.h"
#include "pli/dumper_state.h"
#include "pli/memory_dump.h"
#include "pli/prompt_flush.h"
#include "pli/restore.h"
#include "pli/scope_map.h"
#include "pli/substitute_hier.h"
#include "pli/trace.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

void ForgetTheRun() {
    g_dumper.current_file_name.reset();
    FreeDeferredPatterns();
    LeaveAllModes();
    DestroySuppressTables();
    FreeDisplayTables();
}

namespace {

void OnSave() { RelinkAllAfterSave(); }

void OnRestart() { RestoreSavedFiles(); }

void OnFinish() {
    sim::g_sim.acc_initialize();
    SamplePendingVectors();
    WritePendingMemories();
    CloseAllDumpFile();
    g_dumper.suppressed_messages.clear();
    ResetSubstitution();
    if (g_dumper.options.force_callback_delete) {
        ReleaseAllHooks();
        ForgetTheRun();
    }
}

void OnRosynch() {
    g_dumper.rosync_idle = true;
    SamplePendingVectors();
}

// The simulation stopped at the prompt: time tags everywhere, and a flush
// when something waits and a viewer follows the file.
void OnInteractive() {
    DumperState &state = g_dumper;
    if (state.files.empty()) {
        return;
    }
    int high = 0;
    const auto low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    for (DumpFileRecord &file : state.files) {
        if (file.last_time_low != low || file.last_time_high != static_cast<uint32_t>(high)) {
            SetCurrent(file);
            WriteTimeTag(file);
        }
    }
    if (state.needs_flush && (state.interactive || state.options.autoflush)) {
        const AtPrompt prompt;
        SamplePendingVectors();
        FlushAllFiles();
    }
}

void OnReset() {
    sim::g_sim.acc_initialize();
    SamplePendingVectors();
    WritePendingMemories();
    ReleaseAllHooks();
    CloseAllDumpFile();
    ForgetTheRun();
    g_dumper.closed_names.clear();
}

void OnStartOfSave() {
    g_dumper.saving = true;
    UnlinkAllForSave();
}

void OnStartOfRestart() {
    ReleaseAllHooks();
    // The memories' variables belong to writers this restart closes.
    FreeMemoryRecords();
    if (!g_dumper.saving) {
        CloseAllDumpFile();
        g_dumper.current_file_name.reset();
    } else {
        KeepFilesForRestart();
    }
    DropDisplayTexts();
    FreeDisplayTables();
    FreeDeferredPatterns();
    LeaveAllModes();
    DestroySuppressTables();
}

}  // namespace

int plimiscTRAX(int /*data*/, int reason) {
    TAVRI_TRACE("plimiscTRAX() reason=%d\n", reason);
    if (reason < reason_save || reason > reason_startofrestart) {
        return 1;
    }
    switch (reason) {
        case reason_save:
            OnSave();
            break;
        case reason_restart:
            OnRestart();
            break;
        case reason_finish:
            OnFinish();
            break;
        case reason_reactivate:
            OnDumpTimer();
            break;
        case reason_rosynch:
            OnRosynch();
            break;
        case reason_interactive:
            OnInteractive();
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
