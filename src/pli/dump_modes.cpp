#include "pli/dump_modes.h"

#include "pli/dumper_state.h"
#include "sim/sim_routines.h"

namespace tavri::pli {

bool EnterSingleFileMode() {
    switch (g_dumper.mode) {
        case DumpMode::kScopeFile:
            sim::g_sim.tf_warning("$traxDumpvarsToFile has already invoked.\n");
            return false;
        case DumpMode::kEssentialSignal:
            sim::g_sim.tf_warning("$traxESDump has already invoked.\n");
            return false;
        default:
            g_dumper.mode = DumpMode::kSingleFile;
            return true;
    }
}

bool EnterScopeFileMode() {
    switch (g_dumper.mode) {
        case DumpMode::kSingleFile:
            sim::g_sim.tf_warning("The single TRAX file has already opened.\n");
            return false;
        case DumpMode::kEssentialSignal:
            sim::g_sim.tf_warning("$traxESDump has already invoked.\n");
            return false;
        default:
            g_dumper.mode = DumpMode::kScopeFile;
            return true;
    }
}

bool EnterEssentialSignalMode() {
    if (g_dumper.mode == DumpMode::kSingleFile || g_dumper.mode == DumpMode::kScopeFile) {
        sim::g_sim.tf_warning("Already call other system tasks, disable $traxESDump system task.\n");
        return false;
    }
    g_dumper.mode = DumpMode::kEssentialSignal;
    return true;
}

void LeaveAllModes() { g_dumper.mode = DumpMode::kNone; }

bool InScopeFileMode() { return g_dumper.mode == DumpMode::kScopeFile; }

bool InEssentialSignalMode() { return g_dumper.mode == DumpMode::kEssentialSignal; }

}  // namespace tavri::pli
