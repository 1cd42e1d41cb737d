#include "pli/restore.h"

#include <string>
#include <vector>

#include "pli/display_records.h"
#include "pli/dump_file.h"
#include "pli/dump_tree.h"
#include "pli/file_switch.h"
#include "pli/dumper_state.h"
#include "pli/dumpvars.h"
#include "pli/memory_dump.h"
#include "pli/notices.h"
#include "pli/options.h"
#include "pli/restore_name.h"
#include "pli/scope_map.h"
#include "pli/scope_tree.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

void KeepFilesForRestart() {
    DumperState &state = g_dumper;
    for (DumpFileRecord &file : state.files) {
        g_txw.CloseFile(file.writer);
        file.writer = nullptr;
    }
    CloseSwitchLog();
    state.series.active = false;
    state.saved_files.splice(state.saved_files.end(), state.files);
    state.current_writer = nullptr;
}

void RestoreSavedFiles() {
    DumperState &state = g_dumper;
    if (!state.saving || state.saved_files.empty()) {
        return;
    }
    state.closed_names.clear();
    if (PlusArg("COMM_FILE") != nullptr) {
        state.interactive = true;
        NoticeNumber(kNoticeVersion, 4300);
    }
    DestroySuppressTables();
    FreeMemoryRecords();
    state.write_error_prompt_registered = false;
    std::list<DumpFileRecord> saved;
    saved.swap(state.saved_files);
    for (DumpFileRecord &old : saved) {
        state.current_file_name = RestoreName(old.name);
        if (CreateDumpFile() == 0) {
            continue;
        }
        DumpFileRecord *file = CurrentFile();
        if (file == nullptr) {
            continue;
        }
        if (old.all_scopes_dumped != 0) {
            if (BeginDumpTree(nullptr)) {
                for (handle top = sim::g_sim.acc_next_topmod(nullptr); top != nullptr;
                     top = sim::g_sim.acc_next_topmod(top)) {
                    TraverseVarsOnScope(top, 1, 0, true);
                }
                EndDumpTree();
            }
            file->all_scopes_dumped = 1;
        } else if (!old.scopes.empty()) {
            ScopeTreeClear();
            for (const RecordedScope &scope : old.scopes) {
                if (handle found = sim::g_sim.acc_handle_by_name(scope.full_name.c_str(), nullptr)) {
                    ScopeTreeAdd(found, scope.level);
                }
            }
            ScopeTreeWrite();
            ScopeTreeClear();
            file->scopes = std::move(old.scopes);
        }
        if (state.dumping_on) {
            TraverseAllVars(kModeInitial);
        } else {
            g_txw.DumpOff(state.current_writer);
        }
    }
    FreeDisplayTables();
}

}  // namespace tavri::pli
