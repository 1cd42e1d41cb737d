#include "pli/task_table.h"

#include "pli/debug_task.h"
#include "pli/display_records.h"
#include "pli/dump_control.h"
#include "pli/dump_pattern.h"
#include "pli/dumpvars.h"
#include "pli/esd_dump.h"
#include "pli/file_switch.h"
#include "pli/interactive.h"
#include "pli/memory_dump.h"
#include "pli/misc_dispatch.h"
#include "pli/noarg_check.h"
#include "pli/prompt_flush.h"
#include "pli/scope_file.h"
#include "pli/substitute_hier.h"
#include "pli/suppress_task.h"
#include "pli/tcl_commands.h"
#include "pli/version.h"

namespace tavri::pli {
namespace {

// Every row is a user task with data 0, no sizetf and forward references
// allowed; the fields after forwref stay zero.
constexpr s_tfcell Task(const char *name, p_tffn checktf, p_tffn calltf, p_tffn misctf) {
    s_tfcell row{};
    row.type = usertask;
    row.data = 0;
    row.checktf = checktf;
    row.sizetf = nullptr;
    row.calltf = calltf;
    row.misctf = misctf;
    row.tfname = const_cast<char *>(name);
    row.forwref = 1;
    return row;
}

}  // namespace

s_tfcell g_taskTable[] = {
    Task("$traxVersion", plicompileNoArg, plitaskVersion, nullptr),
    Task("$traxDumpfile", plicompileDumpfile, plitaskDumpfile, nullptr),
    Task("$traxDumpvarsToFile", plicompileDumpvarsToFile, plitaskDumpvarsToFile, plimiscTRAX),
    Task("$traxDumpvars", plicompileDumpvars, plitaskDumpvars, plimiscTRAX),
    Task("$traxSwitchDumpfile", plicompileSwitchFile, plitaskSwitchFile, nullptr),
    Task("$traxAutoSwitchDumpfile", plicompileAutoSwitchFile, plitaskAutoSwitchFile, nullptr),
    Task("$traxDumpon", plicompileNoArg, plitaskDumpon, plimiscDumpon),
    Task("$traxDumpoff", plicompileNoArg, plitaskDumpoff, nullptr),
    Task("$traxDumpflush", plicompileNoArg, plitaskDumpflush, nullptr),
    Task("$traxDumplimit", plicompileDumplimit, plitaskDumplimit, nullptr),
    Task("$traxDumpStrength", plicompileDumpStrength, plitaskDumpStrength, nullptr),
    Task("$traxDumpMem", plicompileDumpMem, plitaskDumpMem, plimiscDumpMem),
    Task("$traxDumpMemNow", plicompileDumpMem, plitaskDumpMemNow, plimiscDumpMem),
    Task("$traxDisplay", plicompileDisplay, plitaskDisplay, plimiscTRAX),
    Task("$traxSuppress", plicompileSuppress, plitaskSuppress, nullptr),
    Task("$traxInteractive", plicompileInteractive, plitaskInteractive, plimiscInteractive),
    Task("$traxDebug", plicompileDebug, plitaskDebug, nullptr),
    Task("$traxDumpFinish", plicompileNoArg, plitaskDumpFinish, nullptr),
    Task("$traxSubstituteHier", plicompileSubstituteHier, plitaskSubstituteHier, nullptr),
    Task("$traxDumpPattern", plicompileDumpPattern, plitaskDumpPattern, plimiscTRAX),
    Task("$traxESDump", plicompileESDump, plitaskESDump, plimiscTRAX),
    s_tfcell{},
};

// Every command runs with the simulation paused at the prompt.
const TclCommandRow g_tclCommands[] = {
    {"traxDumpfile", AtThePrompt<TclDumpfile>},
    {"traxDumpvars", AtThePrompt<TclDumpvars>},
    {"traxDumpSingle", AtThePrompt<TclDumpSingle>},
    {"traxDumpvarsToFile", AtThePrompt<TclDumpvarsToFile>},
    {"traxDumpflush", AtThePrompt<TclDumpflush>},
    {"traxDumpoff", AtThePrompt<TclDumpoff>},
    {"traxDumpon", AtThePrompt<TclDumpon>},
    {"traxDumpStrength", AtThePrompt<TclDumpStrength>},
    {"traxSwitchDumpfile", AtThePrompt<TclSwitchDumpfile>},
    {"traxAutoSwitchDumpfile", AtThePrompt<TclAutoSwitchDumpfile>},
    {"traxDebug", AtThePrompt<TclDebug>},
    {"traxVersion", AtThePrompt<TclVersion>},
    {"traxDumpFinish", AtThePrompt<TclDumpFinish>},
    {"traxSubstituteHier", AtThePrompt<TclSubstituteHier>},
    {"traxInteractive", AtThePrompt<TclInteractive>},
    {"traxDumpPattern", AtThePrompt<TclDumpPattern>},
    {nullptr, nullptr},
};

}  // namespace tavri::pli
