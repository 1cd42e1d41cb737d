#include "pli/file_switch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "pli/display_records.h"
#include "pli/dump_control.h"
#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/prompt_flush.h"
#include "pli/scope_map.h"
#include "pli/notices.h"
#include "pli/options.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "platform/file_io.h"
#include "platform/writer_presence.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr uint32_t kAllBits = 0xFFFFFFFFu;
// The writer keeps a limited file size between these (it says so itself).
constexpr int kMinLimitMB = 2;
constexpr int kMaxLimitMB = 1900;

uint64_t Now() {
    int high = 0;
    const auto low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    return (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
}

bool IsClosedName(const std::string &name) {
    const std::vector<std::string> &names = g_dumper.closed_names;
    return std::find(names.begin(), names.end(), name) != names.end();
}

void AddClosedName(const std::string &name) {
    if (!IsClosedName(name)) {
        g_dumper.closed_names.push_back(name);
    }
}

std::string WithoutExtension(std::string name) {
    if (name.size() >= 5 && name.compare(name.size() - 5, 5, ".trax") == 0) {
        name.resize(name.size() - 5);
    }
    return name;
}

DumpFileRecord *RecordOf(const txwObject *writer) {
    for (DumpFileRecord &record : g_dumper.files) {
        if (record.writer == writer) {
            return &record;
        }
    }
    return nullptr;
}

void WriteLogLine(const std::string &name, uint64_t start, uint64_t end) {
    std::FILE *log = g_dumper.series.log;
    if (log == nullptr) {
        return;
    }
    std::fprintf(log, "%s    %s to %s\n", name.c_str(), GroupedTime(start).c_str(), GroupedTime(end).c_str());
    std::fflush(log);
}

uint64_t SeriesStart() {
    const SwitchSeries &series = g_dumper.series;
    return (static_cast<uint64_t>(series.start_high) << 32) | series.start_low;
}

void SetSeriesStart(uint64_t time) {
    g_dumper.series.start_high = static_cast<uint32_t>(time >> 32);
    g_dumper.series.start_low = static_cast<uint32_t>(time);
}

// The record took the writer of its new file: the file starts at the
// present time with the value of every variable it holds.
void StartSwitchedFile(DumpFileRecord &record) {
    DumperState &state = g_dumper;
    MakeCurrent(record);
    state.current_time_low = state.current_time_high = kAllBits;
    record.last_time_low = record.last_time_high = kAllBits;
    WriteTimeTag(record);
    if (!state.dumping_on) {
        g_txw.DumpOff(record.writer);
    } else {
        TraverseAllVars(kModeInitial);
    }
    // The display variables' texts of now, in the new file too.
    RewriteDisplayTexts();
}

// Opens the series' log and writes its header line.
void OpenLog(const std::string &log_name, const std::string &first_file) {
    SwitchSeries &series = g_dumper.series;
    series.log = std::fopen(log_name.c_str(), "w");
    if (series.log == nullptr) {
        PrintError("Failed to create log file '%s'.\n", log_name.c_str());
        return;
    }
    PrintInfo("Create the file '%s' to log the time range of each TRAX file.\n", log_name.c_str());
    SetSeriesStart(Now());
    std::fprintf(series.log, "%-*s    Time\n", static_cast<int>(first_file.size()), "File Name");
    std::fflush(series.log);
}

[[noreturn]] void StopSimulation(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

}  // namespace

std::string GroupedTime(uint64_t time) {
    const std::string digits = std::to_string(time);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::string SeriesFileName(const std::string &base, int index) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", index);
    return base + "_" + number + ".trax";
}

void CloseSwitchLog() {
    SwitchSeries &series = g_dumper.series;
    if (series.log == nullptr) {
        return;
    }
    if (!g_dumper.files.empty() && sim::g_sim.tf_getlongsimtime != nullptr) {
        WriteLogLine(g_dumper.files.front().name, SeriesStart(), Now());
    }
    std::fclose(series.log);
    series.log = nullptr;
}

int plicompileSwitchFile(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plicompileSwitchFile()\n");
    if (sim::g_sim.tf_nump() != 1) {
        sim::g_sim.tf_error("Syntax error - $traxSwitchDumpfile(\"TRAX_filename\");");
        return 0;
    }
    return 1;
}

int plitaskSwitchFile(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskSwitchFile()\n");
    if (g_dumper.interactive) {
        sim::g_sim.tf_warning("$traxSwitchDumpfile is disabled during the Halvern/Onyxa interactive mode.\n");
        return 0;
    }
    if (!EnterSingleFileMode() || g_dumper.series.active) {
        sim::g_sim.tf_warning("$traxSwitchDumpfile is already disabled.\n");
        return 0;
    }
    const std::optional<std::string> name = FileNameArgument(1);
    if (!name.has_value()) {
        sim::g_sim.tf_warning("$traxSwitchDumpfile - Invalid filename argument.\n");
        return 1;
    }
    return SwitchToNamedFile(*name);
}

int SwitchToNamedFile(const std::string &name) {
    DumperState &state = g_dumper;
    DumpFileRecord *record = CurrentFile();
    if (state.current_writer == nullptr || record == nullptr) {
        PrintWarning("$traxSwitchDumpfile - The TRAX file has not been created.\n");
        return 0;
    }
    state.current_file_name = name;
    WriteTimeTag(*record);
    txwObject *next = g_txw.SwitchFile(record->writer, name.c_str());
    if (next == nullptr) {
        PrintError("$traxSwitchDumpfile - Failed to switch to the new TRAX file '%s'.\n", name.c_str());
        PrintError("The TRAX file '%s' is closed; value changes are not recorded from now on.\n",
                   record->name.c_str());
        DropFileRecord(*record);
        return 0;
    }
    PrintInfo("$traxSwitchDumpfile - Switch to the new TRAX file '%s'.\n", name.c_str());
    record->writer = next;
    record->name = name;
    StartSwitchedFile(*record);
    SamplePendingVectors();
    if (state.interactive) {
        FlushDumpFile(next);
        state.needs_flush = false;
    } else {
        state.needs_flush = true;
    }
    NoticeText(kNoticeSwitched, name.c_str());
    return 1;
}

int plicompileAutoSwitchFile(int /*data*/, int /*reason*/) {
    TAVRI_TRACE("plicompileAutoSwitchFile()\n");
    const int count = sim::g_sim.tf_nump();
    if (count != 3 && count != 4) {
        sim::g_sim.tf_error(
            "Syntax error - $traxAutoSwitchDumpfile(filesize, \"TRAX_filename\", amount [,log_filename]);");
        return 0;
    }
    return 1;
}

int plitaskAutoSwitchFile(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskAutoSwitchFile()\n");
    if (g_dumper.interactive) {
        sim::g_sim.tf_warning("$traxAutoSwitchDumpfile is disabled during the Halvern/Onyxa interactive mode.\n");
        return 0;
    }
    const int limit = sim::g_sim.acc_fetch_tfarg_int(1);
    if (limit < 1) {
        sim::g_sim.tf_warning("$traxAutoSwitchDumpfile - Invalid argument for file limitation.\n");
        return 1;
    }
    const std::optional<std::string> name = FileNameArgument(2);
    if (!name.has_value()) {
        sim::g_sim.tf_warning("$traxAutoSwitchDumpfile - Invalid argument for file name.\n");
        return 1;
    }
    const int amount = sim::g_sim.acc_fetch_tfarg_int(3);
    if (amount < 0) {
        sim::g_sim.tf_warning("$traxAutoSwitchDumpfile - Invalid argument for file amount.\n");
        return 1;
    }
    std::optional<std::string> log_name;
    if (sim::g_sim.tf_nump() == 4) {
        log_name = FileNameArgument(4);
        if (!log_name.has_value()) {
            sim::g_sim.tf_warning("$traxAutoSwitchDumpfile - Invalid argument for log filename.\n");
            return 1;
        }
    }
    return StartSwitchSeries(limit, *name, amount, log_name);
}

int StartSwitchSeries(int limit_mb, const std::string &name, int amount, const std::optional<std::string> &log_name) {
    DumperState &state = g_dumper;
    if (!EnterSingleFileMode() || state.current_writer != nullptr) {
        PrintWarning("traxAutoSwitchDumpfile is already disabled.\n");
        return 0;
    }
    if (limit_mb < 1) {
        PrintWarning("traxAutoSwitchDumpfile - Invalid argument for file limitation.\n");
        return 0;
    }
    if (name.empty()) {
        PrintWarning("traxAutoSwitchDumpfile - Invalid argument for file name.\n");
        return 0;
    }
    if (amount < 0) {
        PrintWarning("traxAutoSwitchDumpfile - Invalid argument for file amount.\n");
        return 0;
    }
    SwitchSeries &series = state.series;
    series.amount = amount;
    std::string base = name;
    OptionsStartup();
    if (state.options.reserve && platform::Exists(base.c_str())) {
        const std::optional<std::string> numbered = NumberedName(base);
        if (!numbered.has_value()) {
            PrintError("$traxAutoSwitchDumpfile - Failed to create the TRAX file '%s'.\n", base.c_str());
            return 0;
        }
        base = *numbered;
    }
    base = WithoutExtension(base);
    series.index = 0;
    std::string first = SeriesFileName(base, 0);
    bool renamed = false;
    while (IsClosedName(first)) {
        if (!renamed) {
            PrintWarning("You have closed the TRAX file(%s) in this simulation.\n", first.c_str());
            renamed = true;
        }
        const std::optional<std::string> numbered = NumberedName(base + ".trax");
        if (!numbered.has_value()) {
            PrintError("$traxAutoSwitchDumpfile - Failed to create the TRAX file '%s'.\n", first.c_str());
            return 0;
        }
        base = WithoutExtension(*numbered);
        first = SeriesFileName(base, 0);
    }
    if (renamed) {
        PrintWarning("Create a new TRAX file(%s) instead.\n", first.c_str());
    }
    series.base = base;
    if (!state.options.reserve && platform::Exists(first.c_str())) {
        platform::RemoveUnlessWritten(first.c_str());
    }
    state.current_file_name = first;
    if (!state.write_error_prompt_registered) {
        state.write_error_prompt_registered = true;
        g_txw.RegisterWriteErrorCB(WriteErrorPrompt);
    }
    PrintInfo("Enable automatic switch TRAX file.\n");
    PrintInfo("(Filename='%s', Limit Size=%dMB, File Amount=%d).\n", first.c_str(), limit_mb, amount);
    if (amount == 0) {
        PrintWarning("Unlimited number of TRAX files will be created.\n");
    }

    txwAutoSwitchParam param{};
    param.size = sizeof param;
    param.file_name = first.c_str();
    param.file_type = state.file_type;
    param.limit_mb = static_cast<uint32_t>(limit_mb);
    param.callback = AutoSwitchRoutine;
    param.callback_data = &state.current_writer;
    txwObject *writer = g_txw.OpenAutoSwitchFile(&param);
    if (writer == nullptr) {
        PrintError("$traxAutoSwitchDumpfile - Failed to create the TRAX file '%s'.\n", first.c_str());
        PrintError("Stop simulation.\n");
        StopSimulation(-1);
    }
    g_txw.SetAutoSwitchCBData(writer, &state.current_writer);
    DumpFileRecord &record = AddFileRecord(writer, first);
    series.active = true;
    AddClosedName(first);
    ApplyRunSettings(record);
    PrintInfo("Set TRAX file size limit to %dMB.\n", std::clamp(limit_mb, kMinLimitMB, kMaxLimitMB));
    state.needs_flush = true;
    if (!state.dumping_on) {
        g_txw.DumpOff(writer);
    }
    OpenLog(log_name.has_value() ? *log_name : base + ".log", first);
    ResetPerFileState();
    return 1;
}

void AutoSwitchRoutine(const txwAutoSwitchInfo *info, void * /*data*/) {
    DumperState &state = g_dumper;
    SwitchSeries &series = state.series;
    DumpFileRecord *record = RecordOf(info->writer);
    if (info->limit_too_small != 0) {
        const std::string name = record != nullptr ? record->name : "";
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(name, error);
        CloseWithoutTimeTags();
        PrintError("TRAX file size limit is too small for number of signals dumping.\n");
        PrintError("Please increase the limit argument of $traxAutoSwitchDumpfile to more than %dMB.\n",
                   static_cast<int>(error ? 0 : size / 1000000));
        PrintError("Stop simulation.\n");
        StopSimulation(1);
    }
    if (state.tree_depth > 0) {
        while (state.tree_depth > 0 && state.current_writer != nullptr) {
            g_txw.EndTree(state.current_writer);
            --state.tree_depth;
        }
        PrintError("Hit the limit of TRAX file size before finish traversing the design.\n");
        PrintError("Please increase the limit argument of $traxAutoSwitchDumpfile.\n");
        PrintError("Stop simulation.\n");
        CloseWithoutTimeTags();
        StopSimulation(1);
    }
    if (record == nullptr) {
        return;
    }
    ++series.index;
    if (series.index == series.amount) {
        series.index = 0;
    }
    const std::string name = SeriesFileName(series.base, series.index);
    state.current_file_name = name;
    WriteTimeTag(*record);
    const uint64_t now = Now();
    WriteLogLine(record->name, SeriesStart(), now);
    SetSeriesStart(now);
    txwObject *next = g_txw.SwitchFile(record->writer, name.c_str());
    if (next == nullptr) {
        PrintError("$traxAutoSwitchDumpfile - Failed to switch to the new TRAX file '%s'.\n", name.c_str());
        PrintError("The TRAX file '%s' is closed; value changes are not recorded from now on.\n",
                   record->name.c_str());
        DropFileRecord(*record);
        return;
    }
    PrintInfo("$traxAutoSwitchDumpfile - Switch to the new TRAX file '%s'.\n", name.c_str());
    record->writer = next;
    record->name = name;
    NoticeText(kNoticeSwitched, name.c_str());
    AddClosedName(name);
    StartSwitchedFile(*record);
    // The next file of a series gets a full dump of what is asked for later.
    DropDumpedMarks();
    state.needs_flush = true;
}

}  // namespace tavri::pli
