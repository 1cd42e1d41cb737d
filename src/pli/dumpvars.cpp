// $traxDumpvars: the task that turns scopes and signals of the design into a
// tree in the dump file and hooks every dumped variable.
#include "pli/dumpvars.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_times.h"
#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/notices.h"
#include "pli/prompt_flush.h"
#include "pli/scope_tree.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

const char *FullNameOr(handle object, const char *otherwise) {
    const char *name = object != nullptr ? sim::g_sim.acc_fetch_fullname(object) : nullptr;
    return name != nullptr ? name : otherwise;
}

void DumpWholeDesign(int level) {
    DumperState &state = g_dumper;
    if (!state.deferred && !BeginDumpTree("Failed to create tree in TRAX file.\n")) {
        return;
    }
    bool suppressed = false;
    for (handle top = sim::g_sim.acc_next_topmod(nullptr); top != nullptr; top = sim::g_sim.acc_next_topmod(top)) {
        if (IsSuppressed(top)) {
            suppressed = true;
            continue;
        }
        if (state.deferred) {
            RecordDeferredScope(top, level);
            continue;
        }
        const char *full_name = sim::g_sim.acc_fetch_fullname(top);
        if (full_name == nullptr) {
            continue;
        }
        const std::string name(full_name);
        PrintInfo("Start dumping the top scope(%s),%s layer(%d).\n", name.c_str(), FilterText(), level);
        TraverseVarsOnScope(top, 1, level, true);
        DumpFileRecord *file = CurrentFile();
        if (file != nullptr && file->all_scopes_dumped == 0) {
            file->scopes.push_back({name, level});
        }
        NoticeScope(level, name.c_str());
    }
    if (state.deferred) {
        return;
    }
    EndDumpTree();
    if (suppressed) {
        SameNetPass();
    } else if (DumpFileRecord *file = CurrentFile()) {
        file->all_scopes_dumped = 1;
        file->scopes.clear();
    }
}

void DumpHandles(int level, const std::vector<handle> &handles) {
    DumperState &state = g_dumper;
    if (!state.deferred) {
        ScopeTreeClear();
        PrintInfo("Start dumping the scope(%s),%s layer(%d).\n", FullNameOr(handles.back(), "No name"),
                  FilterText(), level);
    }
    for (handle object : handles) {
        const bool no_functions = state.options.no_functions || state.call_no_functions;
        if (no_functions && sim::g_sim.acc_fetch_fulltype(object) == accFunction) {
            continue;
        }
        if (IsSuppressed(object)) {
            continue;
        }
        if (state.deferred) {
            RecordDeferredScope(object, level);
            continue;
        }
        ScopeTreeAdd(object, level);
        DumpFileRecord *file = CurrentFile();
        if (file != nullptr && file->all_scopes_dumped == 0) {
            if (const char *name = sim::g_sim.acc_fetch_fullname(object)) {
                file->scopes.push_back({name, level});
            }
        }
    }
    if (state.deferred) {
        return;
    }
    ScopeTreeWrite();
    ScopeTreeClear();
    SameNetPass();
}

}  // namespace

void DumpScopes(int level, const std::vector<handle> &handles) {
    DumperState &state = g_dumper;
    if (!state.deferred && state.current_writer == nullptr) {
        return;
    }
    state.traverse_mode = 0;
    state.scopes_traversed = 0;
    const size_t hooked_before = state.hooks.size();
    if (handles.empty()) {
        DumpWholeDesign(level);
    } else {
        DumpHandles(level, handles);
    }
    if (state.deferred) {
        return;
    }
    state.needs_flush = true;
    // The initial values of the variables this call hooked. Those hooked
    // before have their present value in the file already (their callbacks
    // record every change, and the vectors waiting for the end of the step
    // were sampled when the task began): dumping them again would record a
    // change that did not happen, and reals and events, which have no
    // repeat filter, would keep it.
    if (state.dumping_on) {
        TraverseAllVars(kModeInitial, hooked_before);
    }
    if (state.options.verbose != 0) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    PrintInfo("End of dumping.\n");
    if (state.interactive) {
        FlushDumpFile(state.current_writer);
        state.needs_flush = false;
        NoticeCode(kNoticeFlushed);
        if (!handles.empty() && IsScope(handles.back())) {
            NoticeScope(level, FullNameOr(handles.back(), ""));
        } else if (handles.empty()) {
            NoticeCode(kNoticeScopesDone);
        }
    }
    FinishTemporaryFiles();
}

void PrepareDumpFile() {
    if (g_dumper.deferred) {
        RecordDeferredFile();
    } else {
        CreateDumpFile();
    }
}

int plicompileDumpvars(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plicompileDumpvars()\n");
    return 1;
}

int plitaskDumpvars(int data, int reason) {
    DumperState &state = g_dumper;
    if (state.deferred && !state.dumpon_pending) {
        return 1;
    }
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpvars()\n");
    plicompileDumpvars(data, reason);
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("$traxDumpvars is already disabled.\n");
        return 0;
    }
    SamplePendingVectors();
    state.sync_instance = sim::g_sim.tf_getinstance();
    ArmDumpTimers();
    PrepareDumpFile();

    std::vector<handle> handles;
    bool error = false;
    int level = 0;
    const int count = sim::g_sim.tf_nump();
    for (int i = 1; i <= count; ++i) {
        const int kind = sim::g_sim.tf_typep(i);
        if (kind == tf_nullparam) {
            continue;
        }
        handle found = nullptr;
        if (kind == tf_string) {
            s_tfexprinfo info{};
            const char *text = nullptr;
            if (sim::g_sim.tf_exprinfo(i, &info) != nullptr) {
                text = info.expr_string;
            }
            if (text == nullptr) {
                continue;
            }
            if (std::strcmp(text, "level=") == 0) {
                if (i < count) {
                    ++i;
                    level = sim::g_sim.acc_fetch_tfarg_int(i);
                }
            } else if (std::strcmp(text, "+IO_Only") == 0 || std::strcmp(text, "+Reg_Only") == 0) {
                const uint16_t part = text[1] == 'I' ? kIoOnlyFilter : kRegOnlyFilter;
                state.direction_filter = static_cast<uint16_t>(
                    (state.direction_filter == kNoDirectionFilter ? 0 : state.direction_filter) | part);
            } else if (std::strcmp(text, "+no_functions") == 0) {
                state.call_no_functions = true;
            } else {
                const std::string name(text);
                found = sim::g_sim.acc_handle_by_name(name.c_str(), nullptr);
                if (found == nullptr) {
                    PrintWarning("Cannot find the instance(%s).\n", name.c_str());
                }
            }
        } else {
            found = sim::g_sim.acc_handle_tfarg(i);
            if (found == nullptr) {
                PrintWarning("Cannot get the handle of the #%d arg.\n", i);
                error = true;
            } else if (sim::g_sim.acc_fetch_type(found) == accConstant) {
                level = sim::g_sim.acc_fetch_tfarg_int(i);
                found = nullptr;
            }
        }
        if (found != nullptr) {
            try {
                handles.push_back(found);
            } catch (const std::bad_alloc &) {
                sim::g_sim.tf_error("Memory resource is exhausted.\n");
                error = true;
                break;
            }
        }
    }
    if (level < 0) {
        // Levels count down from the scope; a negative one would dump nothing.
        PrintWarning("$traxDumpvars - The level %d is negative; all levels are dumped (level 0).\n", level);
        level = 0;
    }
    if (!handles.empty() || !error) {
        DumpScopes(level, handles);
    }
    state.call_no_functions = false;
    state.direction_filter = kNoDirectionFilter;
    return 1;
}

}  // namespace tavri::pli
