#include "pli/dump_control.h"

#include <algorithm>
#include <string>
#include <utility>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_times.h"
#include "pli/dumper_state.h"
#include "pli/memory_dump.h"
#include "pli/messages.h"
#include "pli/notices.h"
#include "pli/prompt_flush.h"
#include "pli/scope_map.h"
#include "pli/string_arg.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

void AfterInteractiveChange() {
    if (g_dumper.interactive && g_dumper.current_writer != nullptr) {
        FlushDumpFile(g_dumper.current_writer);
        g_dumper.needs_flush = false;
        NoticeCode(kNoticeFlushed);
    }
}

}  // namespace

std::optional<std::string> FileNameArgument(int n) { return StringArgument(n); }

int plicompileDumpfile(int /*data*/, int /*reason*/) {
    bool accepted = false;
    if (sim::g_sim.tf_nump() == 1 && sim::g_sim.tf_typep(1) != tf_nullparam) {
        s_tfexprinfo info{};
        if (sim::g_sim.tf_exprinfo(1, &info) != nullptr) {
            switch (info.expr_type) {
                case tf_string:
                    if (info.expr_string != nullptr && info.expr_string[0] != '\0') {
                        g_dumper.current_file_name = info.expr_string;
                        accepted = true;
                    }
                    break;
                case tf_readonly:
                case tf_readwrite:
                case tf_rwpartselect:
                case tf_rwmemselect:
                    accepted = true;
                    break;
                default:
                    sim::g_sim.tf_error("$traxDumpfile - The #1 argument is not string or vector type.");
                    break;
            }
        }
    }
    if (!accepted) {
        sim::g_sim.tf_error("Syntax error - $traxDumpfile(\"filename\")");
        return 0;
    }
    return 1;
}

int plitaskDumpfile(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpfile()\n");
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("$traxDumpfile is already disabled.\n");
        return 0;
    }
    if (g_dumper.current_writer != nullptr) {
        sim::g_sim.tf_warning("$traxDumpfile - One TRAX file has already opened for dumping.\n");
        return 0;
    }
    const std::optional<std::string> name = FileNameArgument(1);
    if (!name.has_value()) {
        sim::g_sim.tf_warning("$traxDumpfile - Invalid filename argument.\n");
        return 0;
    }
    g_dumper.current_file_name = name;
    ParseDumpTimes();
    if (g_dumper.deferred) {
        RecordDeferredFile();
        return 1;
    }
    return CreateDumpFile() != 0 ? 1 : 0;
}

int plitaskDumpon(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plitaskDumpon()\n");
    if (g_dumper.deferred) {
        return 1;
    }
    if (g_dumper.current_writer == nullptr) {
        g_dumper.dumping_on = true;
        sim::g_sim.tf_warning("$traxDumpon - The TRAX file has not been created.\n");
        return 0;
    }
    // Dumping resumes at the end of the step, with the values the step ends
    // with, unless a $traxDumpoff of the same step comes later.
    g_dumper.dumpon_requested = true;
    sim::g_sim.tf_rosynchronize();
    return 1;
}

void SwitchDumpingOn() {
    DumperState &state = g_dumper;
    if (state.dumping_on) {
        return;
    }
    state.dumping_on = true;
    for (DumpFileRecord &file : state.files) {
        SetCurrent(file);
        WriteTimeTag(file);
        g_txw.DumpOn(file.writer);
        TraverseAllVars(kModeCurrent);
    }
    AfterInteractiveChange();
}

int plimiscDumpon(int /*data*/, int reason) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plimiscDumpon() reason=%d\n", reason);
    // Only a dump-on still requested when the step ends acts: the last of
    // $traxDumpon and $traxDumpoff in a step wins.
    if (reason != reason_rosynch || !std::exchange(g_dumper.dumpon_requested, false)) {
        return 1;
    }
    if (g_dumper.deferred) {
        return 1;
    }
    if (g_dumper.current_writer == nullptr) {
        g_dumper.dumping_on = true;
        return 0;
    }
    SwitchDumpingOn();
    return 1;
}

int plitaskDumpoff(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpoff()\n");
    DumperState &state = g_dumper;
    if (state.deferred) {
        return 1;
    }
    state.dumpon_requested = false;
    if (state.current_writer == nullptr) {
        // As $traxDumpon does without a file: the next file starts with
        // dumping off.
        state.dumping_on = false;
        sim::g_sim.tf_warning("$traxDumpoff - The TRAX file has not been created.\n");
        return 0;
    }
    if (!state.dumping_on) {
        return 1;
    }
    state.dumping_on = false;
    SamplePendingVectors();
    // X goes out while the writers still take values, then they are
    // switched off.
    for (DumpFileRecord &file : state.files) {
        SetCurrent(file);
        TraverseAllVars(kModeOff);
    }
    for (DumpFileRecord &file : state.files) {
        SetCurrent(file);
        WriteTimeTag(file);
        g_txw.DumpOff(file.writer);
    }
    AfterInteractiveChange();
    return 1;
}

int plitaskDumpflush(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpflush()\n");
    if (g_dumper.deferred) {
        return 1;
    }
    if (g_dumper.current_writer == nullptr) {
        sim::g_sim.tf_warning("$traxDumpflush - The TRAX file has not been created.\n");
        return 0;
    }
    SamplePendingVectors();
    FlushAllFiles();
    return 1;
}

int plicompileDumplimit(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plicompileDumplimit()\n");
    if (sim::g_sim.tf_nump() == 1) {
        handle argument = sim::g_sim.acc_handle_tfarg(1);
        const int type = argument != nullptr ? sim::g_sim.acc_fetch_type(argument) : 0;
        switch (type) {
            case accNet:
            case accReg:
            case accParameter:
            case accIntegerVar:
            case accRealVar:
            case accConstant:
                return 1;
            default:
                break;
        }
    }
    sim::g_sim.tf_error("Syntax error - $traxDumplimit(filesize);\n");
    return 0;
}

int plitaskDumplimit(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumplimit()\n");
    DumperState &state = g_dumper;
    if (state.interactive) {
        PrintWarning("Please do not call $traxDumplimit during Halvern/Onyxa interactive mode.\n");
        return 0;
    }
    if (state.current_writer == nullptr) {
        const int megabytes = sim::g_sim.acc_fetch_tfarg_int(1);
        if (megabytes < 1) {
            PrintWarning("$traxDumplimit - The file size limit %dMB is below 1MB; the file is not limited by it.\n",
                         megabytes);
            return 1;
        }
        state.dump_limit_mb = static_cast<uint32_t>(megabytes);
        state.dump_limit_set = true;
        PrintInfo("Set the limit of TRAX file size to %uMB.\n", state.dump_limit_mb);
    } else {
        PrintWarning("$traxDumplimit should be called before $traxDumpvars & $traxDumpfile.\n");
    }
    return 1;
}

int plicompileDumpStrength(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plicompileDumpStrength()\n");
    const int count = sim::g_sim.tf_nump();
    if (count == 0 || (count == 1 && sim::g_sim.tf_typep(1) == tf_nullparam)) {
        return 1;
    }
    sim::g_sim.tf_error("$traxDumpStrength should not have any argument");
    return 0;
}

int plitaskDumpStrength(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plitaskDumpStrength()\n");
    g_dumper.options.strength_mode = 3;
    if (g_dumper.current_writer != nullptr) {
        g_txw.EnableStrengthDumping(g_dumper.current_writer);
        g_dumper.needs_flush = true;
    }
    return 1;
}

int plitaskDumpFinish(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDumpvars()\n");
    DumperState &state = g_dumper;
    if (state.deferred && !state.dumpon_pending) {
        return 1;
    }
    if (state.interactive) {
        PrintWarning("$traxDumpFinish - Nonfunctional in the Halvern/Onyxa interactive mode.\n");
        return 1;
    }
    if (state.current_writer == nullptr) {
        return 1;
    }
    for (const DumpFileRecord &file : state.files) {
        if (std::find(state.closed_names.begin(), state.closed_names.end(), file.name) == state.closed_names.end()) {
            state.closed_names.push_back(file.name);
        }
    }
    SamplePendingVectors();
    WritePendingMemories();
    FreeMemoryRecords();
    ReleaseAllHooks();
    CloseAllDumpFile();
    PrintInfo("Close all TRAX files.\n");
    LeaveAllModes();
    DestroySuppressTables();
    state.current_file_name.reset();
    return 1;
}

}  // namespace tavri::pli
