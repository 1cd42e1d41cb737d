#include "pli/dump_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/environment.h"
#include "pli/display_records.h"
#include "pli/dump_limit.h"
#include "pli/file_switch.h"
#include "pli/memory_dump.h"
#include "pli/messages.h"
#include "pli/notices.h"
#include "pli/options.h"
#include "pli/prompt_flush.h"
#include "pli/scope_map.h"
#include "pli/trace.h"
#include "pli/vcl.h"
#include "pli/version.h"
#include "pli/writer_api.h"
#include "platform/file_io.h"
#include "platform/host_info.h"
#include "platform/stop_signals.h"
#include "platform/writer_presence.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

constexpr const char *kScaleUnits[] = {"1fs",   "10fs", "100fs", "1ps",   "10ps", "100ps",
                                       "1ns",   "10ns", "100ns", "1us",   "10us", "100us",
                                       "1ms",   "10ms", "100ms", "1s",    "10s",  "100s"};

bool IsClosedName(const std::string &name) {
    return std::find(g_dumper.closed_names.begin(), g_dumper.closed_names.end(), name) !=
           g_dumper.closed_names.end();
}

// The name the file is created under: plus-argument, $traxDumpfile, default.
std::string ChooseName() {
    if (const char *plus = PlusArg("traxfile"); plus != nullptr && plus[0] == '+') {
        if (plus[1] != '\0') {
            return plus + 1;
        }
        PrintWarning("The plus-argument +traxfile+ gives no file name; it is ignored.\n");
    }
    if (g_dumper.current_file_name.has_value() && !g_dumper.current_file_name->empty()) {
        return *g_dumper.current_file_name;
    }
    return g_dumper.interactive ? "verilog_i.trax" : "verilog.trax";
}

// `reason` is the system's error number of the failed open, 0 when the
// failure was not the system's (the writer then explains it itself).
void ReportCreateFailure(const std::string &name, int reason = 0) {
    if (reason != 0) {
        PrintError("Failed to create TRAX file: %s (%s)\n", name.c_str(), platform::ErrorText(reason));
    } else {
        PrintError("Failed to create TRAX file: %s\n", name.c_str());
    }
    NoticeText(kNoticeFileFailed, name.c_str());
}

enum class NameTaken { kClosedInThisRun, kWrittenElsewhere };

// Replaces `name` by the next free numbered name and says why; false (after
// the failure report) when no number is free.
bool TakeNumberedName(std::string &name, NameTaken why) {
    const std::optional<std::string> numbered = NumberedName(name);
    if (!numbered.has_value()) {
        ReportCreateFailure(name);
        return false;
    }
    if (why == NameTaken::kClosedInThisRun) {
        PrintWarning("You have closed the TRAX file(%s) in this simulation.\n", name.c_str());
    } else {
        PrintWarning("Another simulation is writing the TRAX file(%s) now.\n", name.c_str());
    }
    PrintWarning("Create a new TRAX file(%s) instead.\n", numbered->c_str());
    name = *numbered;
    return true;
}

// Why `name` could not be created, before the dump goes to another name.
void SayWhyNot(const std::string &name, int reason) {
    if (reason != 0) {
        PrintWarning("Cannot create TRAX file %s: %s.\n", name.c_str(), platform::ErrorText(reason));
    }
}

// Opens the writer under `name` or, failing that, under a substitute name
// (which `name` then becomes). `*reason` is the system's error number of the
// failed open of `name` itself (the writer leaves it in errno), 0 if none.
txwObject *OpenWriter(std::string &name, int *reason) {
    errno = 0;
    txwObject *writer = g_txw.OpenFile(name.c_str(), g_dumper.file_type);
    if (writer != nullptr) {
        return writer;
    }
    *reason = errno;
    if (g_dumper.interactive) {
        // A name of its own among the host's temporary files.
        static int attempt = 0;
        const char *directory = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
        const std::string candidate = std::string(directory) + "/tavri_" + std::to_string(platform::ProcessId()) +
                                      "_" + std::to_string(attempt++) + ".trax";
        writer = g_txw.OpenFile(candidate.c_str(), g_dumper.file_type);
        if (writer != nullptr) {
            SayWhyNot(name, *reason);
            name = candidate;
            NoticeText(kNoticeTemporaryFile, name.c_str());
            g_dumper.current_file_name = name;
        }
        return writer;
    }
    const std::string with_pid = name + std::to_string(platform::ProcessId());
    writer = g_txw.OpenFile(with_pid.c_str(), g_dumper.file_type);
    if (writer != nullptr) {
        SayWhyNot(name, *reason);
        name = with_pid;
        PrintWarning(">>> Save to TRAX file %s instead.\n", name.c_str());
        g_dumper.current_file_name = name;
    }
    return writer;
}

// The run's settings on a newly opened file, in their fixed order.
void SetUpFile(txwObject *writer, const std::string &name) {
    DumperState &state = g_dumper;
    DumpFileRecord &current = AddFileRecord(writer, name);
    ApplyRunSettings(current);
    if (!state.dumping_on) {
        g_txw.DumpOff(writer);
    }
    HandDumpLimitToWriter(writer);
    state.needs_flush = true;
    if (state.interactive) {
        FlushDumpFile(writer);
        state.needs_flush = false;
        NoticeText(kNoticeFileCreated, name.c_str());
    }
    StatusReport(false);
    ResetPerFileState();
}

}  // namespace

DumpFileRecord &AddFileRecord(txwObject *writer, const std::string &name) {
    DumperState &state = g_dumper;
    state.creator_pid = platform::ProcessId();
    state.tree_depth = 0;
    state.same_net_pass = false;
    g_txw.SetDesignType(writer, 0);

    DumpFileRecord record;
    record.writer = writer;
    record.name = name;
    record.last_time_low = 0xFFFFFFFFu;
    record.last_time_high = 0xFFFFFFFFu;
    state.files.push_front(std::move(record));
    state.current_writer = writer;

    g_txw.RegisterTwoGCB(writer, TwoGigabyteRoutine);
    PrintBanner(true);
    PrintInfo("Create TRAX file '%s'\n", name.c_str());
    return state.files.front();
}

void ResetPerFileState() { DropDumpedMarks(); }

void ApplyRunSettings(DumpFileRecord &current) {
    DumperState &state = g_dumper;
    txwObject *writer = current.writer;
    if (const char *level = std::getenv("TRAX_DUMP_LEVEL")) {
        const auto value = static_cast<unsigned>(std::atoi(level));
        if (value == 1) {
            state.dumping_on = false;
        } else if (value > 4) {
            PrintWarning("TRAX_DUMP_LEVEL only provide to level 4\n");
        }
    }
    const DumperOptions &options = state.options;
    if (options.user_glitch_limit_set) {
        g_txw.SetGlitchNum(writer, static_cast<uint16_t>(options.user_glitch_limit));
    }
    if (g_txw.GetGlitchNum(writer) != 1) {
        state.glitch_off = false;
        PrintInfo("Enable dumping glitch values.\n");
    } else {
        state.glitch_off = true;
    }
    if (options.strength_mode == 3) {
        g_txw.EnableStrengthDumping(writer);
        PrintInfo("Enable dumping strength values.\n");
    }
    if (options.compression_set) {
        txw_SetCompression(writer, options.compression_method, options.compression_level);
    }
    g_txw.CreateTreeByHandleScheme(writer);
    if (state.interactive) {
        g_txw.SetSyncControl(writer);
    }
    const int resolution = sim::g_sim.mti_GetResolutionLimit();
    if (const char *unit = ScaleUnitFor(resolution)) {
        g_txw.SetScaleUnit(writer, unit);
    } else {
        PrintWarning("The time resolution 1e%d s has no scale unit; the file keeps its default.\n", resolution);
    }
    state.current_time_low = 0xFFFFFFFFu;
    state.current_time_high = 0xFFFFFFFFu;
    WriteTimeTag(current);
    const char *product = sim::g_sim.acc_product_version();
    g_txw.SetSimulatorVersion(writer, product != nullptr ? product : "unknown");
    const std::time_t now = std::time(nullptr);
    char date[64];
    platform::CTimeText(now, date, sizeof date);
    g_txw.SetSimulationDate(writer, date);
    if (options.sequence_numbers) {
        g_txw.EnableSeqNum(writer);
        PrintInfo("Enable dumping value change sequence.\n");
    }
}

const char *ScaleUnitFor(int exponent) {
    if (exponent < -15 || exponent > 2) {
        return nullptr;
    }
    return kScaleUnits[exponent + 15];
}

DumpFileRecord *CurrentFile() {
    for (DumpFileRecord &file : g_dumper.files) {
        if (file.writer == g_dumper.current_writer) {
            return &file;
        }
    }
    return nullptr;
}

void MakeCurrent(DumpFileRecord &record) {
    auto &files = g_dumper.files;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (&*it == &record) {
            files.splice(files.begin(), files, it);
            break;
        }
    }
    g_dumper.current_writer = record.writer;
    g_dumper.current_time_low = record.last_time_low;
    g_dumper.current_time_high = record.last_time_high;
}

void WriteTimeTag(DumpFileRecord &record) {
    if (sim::g_sim.tf_getlongsimtime == nullptr) {
        return;  // no simulator any more (process exit after it was unloaded)
    }
    int high = 0;
    const auto low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    // Both words count: times 2^32 apart share their low word.
    if (low != record.last_time_low || static_cast<uint32_t>(high) != record.last_time_high) {
        g_dumper.current_time_low = low;
        g_dumper.current_time_high = static_cast<uint32_t>(high);
        g_txw.CreateXCoor(record.writer, static_cast<uint32_t>(high), low);
        if (g_dumper.interactive) {
            ThrottledTimeNotice(static_cast<uint32_t>(high), low);
        }
    }
    record.last_time_low = low;
    record.last_time_high = static_cast<uint32_t>(high);
}

std::optional<std::string> NumberedName(const std::string &name) {
    std::string base = name;
    if (base.size() >= 5 && base.compare(base.size() - 5, 5, ".trax") == 0) {
        base.resize(base.size() - 5);
    }
    for (int n = 0; n < 1000; ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%03d.trax", n);
        const std::string candidate = base + suffix;
        if (IsClosedName(candidate)) {
            continue;
        }
        if (g_dumper.options.reserve && platform::Exists(candidate.c_str())) {
            continue;
        }
        if (platform::HasLiveWriter(candidate.c_str())) {
            continue;  // another simulation writes it now
        }
        return candidate;
    }
    return std::nullopt;
}

int CreateDumpFile() {
    DumperState &state = g_dumper;
    if (state.current_writer != nullptr && state.mode != DumpMode::kScopeFile &&
        state.mode != DumpMode::kEssentialSignal) {
        return 0;
    }
    OptionsStartup();
    NoticeNumber(kNoticeVersion, 4300);
    NoticeNumber(kNoticeProcess, platform::ProcessId());

    std::string name = ChooseName();
    if (!state.write_error_prompt_registered) {
        state.write_error_prompt_registered = true;
        g_txw.RegisterWriteErrorCB(WriteErrorPrompt);
    }
    ReadDumpLimitPlusArg();
    if (state.options.reserve && platform::Exists(name.c_str())) {
        const std::optional<std::string> numbered = NumberedName(name);
        if (!numbered.has_value()) {
            ReportCreateFailure(name);
            return 0;
        }
        name = *numbered;
    }
    for (DumpFileRecord &record : state.files) {
        if (record.name == name) {
            MakeCurrent(record);
            return 1;
        }
    }
    if (IsClosedName(name) && !TakeNumberedName(name, NameTaken::kClosedInThisRun)) {
        return 0;
    }
    // A file that another simulation is writing now stays as it is: this
    // run takes the next numbered name instead.
    if (!state.options.reserve && platform::Exists(name.c_str()) &&
        platform::RemoveUnlessWritten(name.c_str()) == 0) {
        if (!TakeNumberedName(name, NameTaken::kWrittenElsewhere)) {
            return 0;
        }
        platform::RemoveUnlessWritten(name.c_str());
    }
    int reason = 0;
    txwObject *writer = OpenWriter(name, &reason);
    if (writer == nullptr) {
        ReportCreateFailure(name, reason);
        return 0;
    }
    SetUpFile(writer, name);
    return 1;
}

void FlushAllFiles() {
    for (DumpFileRecord &record : g_dumper.files) {
        FlushDumpFile(record.writer);
    }
    g_dumper.needs_flush = false;
}

void CloseAllDumpFile() {
    DumperState &state = g_dumper;
    if (state.in_close_all) {
        return;
    }
    state.in_close_all = true;
    TAVRI_TRACE("Begin CloseAllDumpFile() pid=%d\n", platform::ProcessId());
    FinishTemporaryFiles();
    // The log's last line gives the current file's range up to now.
    CloseSwitchLog();
    state.series.active = false;
    const bool other_process = state.options.check_pid && platform::ProcessId() != state.creator_pid;
    if (other_process && !state.files.empty()) {
        PrintWarning("The other forked process is trying to close the same TRAX file.\n");
    } else {
        while (!state.files.empty()) {
            DumpFileRecord &record = state.files.front();
            MakeCurrent(record);
            WriteTimeTag(record);
            TAVRI_TRACE("Close TRAX file '%s' %d %d\n", record.name.c_str(), static_cast<int>(state.current_time_high),
                        static_cast<int>(state.current_time_low));
            g_txw.CloseFile(record.writer);
            ForgetFileOfHooks(&record);
            state.files.pop_front();
        }
    }
    state.files.clear();
    state.current_writer = nullptr;
    // The display variables were the closed files'.
    DropDisplayTexts();
    FreeDisplayTables();
    // The memories' variables belonged to the writers just closed.
    FreeMemoryRecords();
    TAVRI_TRACE("End CloseAllDumpFile()\n");
    state.in_close_all = false;
}

void DropFileRecord(DumpFileRecord &record) {
    DumperState &state = g_dumper;
    ForgetFileOfHooks(&record);
    FreeMemoryRecords();
    for (auto it = state.files.begin(); it != state.files.end(); ++it) {
        if (&*it == &record) {
            state.files.erase(it);
            break;
        }
    }
    state.current_writer = nullptr;
    // The display variables were the dropped file's.
    DropDisplayTexts();
    FreeDisplayTables();
    if (!state.files.empty()) {
        MakeCurrent(state.files.front());
    }
}

void CloseWithoutTimeTags() {
    DumperState &state = g_dumper;
    if (state.in_close_without_time_tags) {
        return;
    }
    state.in_close_without_time_tags = true;
    for (DumpFileRecord &record : state.files) {
        g_txw.CloseFile(record.writer);
        ForgetFileOfHooks(&record);
    }
    CloseSwitchLog();
    state.files.clear();
    state.current_writer = nullptr;
    state.series.active = false;
    DropDisplayTexts();
    FreeDisplayTables();
    state.in_close_without_time_tags = false;
}

void FinishTemporaryFiles() {
    DumperState &state = g_dumper;
    if (!state.temporary_files_exist) {
        return;
    }
    state.temporary_files_exist = false;
    bool any = false;
    for (auto it = state.files.begin(); it != state.files.end();) {
        if (it->temporary == 0) {
            ++it;
            continue;
        }
        UnhookFile(&*it);
        g_txw.CloseFile(it->writer);
        platform::Remove(it->name.c_str());
        if (state.current_writer == it->writer) {
            state.current_writer = nullptr;
        }
        it = state.files.erase(it);
        any = true;
    }
    if (any) {
        DropDisplayTexts();
        FreeDisplayTables();
        if (!state.files.empty()) {
            MakeCurrent(state.files.front());
        }
    }
}

void WriteErrorPrompt(int error_number) {
    // A stop signal while the question waits, or while the disk is given a
    // moment, is the answer "n": the simulator cannot act on it meanwhile.
    const platform::StopSignalWatch watch(false);
    if (error_number == 28) {
        std::fputs("Disk full. ", stdout);
    } else {
        std::printf("PLI write error - error number %d\n", error_number);
        std::fputs("(You can look up the error number in file /usr/include/errno.h)\n", stdout);
    }
    std::fputs("Would you like to continue ?(y/n)\n", stdout);
    std::fflush(stdout);
    // The end of the input, or an input that cannot be read, is "n" too.
    char line[1025] = {};
    const bool answered = watch.ReadLine(0, line, sizeof line);
    std::fputs("\n", stdout);
    // The writer tries again on return; a disk that is still full would have
    // it ask again at once, so the retry waits a second.
    constexpr unsigned kRetryPauseMs = 1000;
    if (!answered || std::strchr(line, 'y') == nullptr || !watch.Sleep(kRetryPauseMs)) {
        std::fputs("Give up dump vars, fast file may be incorrect\n", stdout);
        std::fflush(nullptr);
        // No closing: it would write to the failing file again. The sessions
        // flushed before stay readable through the side files.
        std::_Exit(-1);
    }
}

void TwoGigabyteRoutine(txwObject **writer) {
    DumperState &state = g_dumper;
    DumpFileRecord *record = nullptr;
    for (DumpFileRecord &candidate : state.files) {
        if (candidate.writer == *writer) {
            record = &candidate;
        }
    }
    if (record == nullptr) {
        return;
    }
    CloseSwitchLog();
    PrintWarning("The TRAX file(%s) is close to 2GB limitation at time(%u %u).\n", record->name.c_str(),
                 state.current_time_high, state.current_time_low);
    txwObject *old_writer = record->writer;
    const std::string old_name = record->name;
    const std::string temporary = old_name + ".tmp";
    state.current_file_name = temporary;
    txwObject *next = g_txw.SwitchFile(old_writer, temporary.c_str());
    if (next == nullptr) {
        PrintError("Failed to switch to the temporal TRAX file '%s'.\n", temporary.c_str());
        // The file under its first name is finished; nothing writes there now.
        DropFileRecord(*record);
        *writer = nullptr;
        return;
    }
    PrintWarning("Close the TRAX file(%s).\n", old_name.c_str());
    record->writer = next;
    record->name = temporary;
    record->temporary = 1;
    *writer = next;
    state.temporary_files_exist = true;
    if (state.current_writer == old_writer) {
        state.current_writer = next;
    }
    if (state.sync_instance != nullptr) {
        sim::g_sim.tf_irosynchronize(state.sync_instance);
        state.rosync_idle = false;
    }
}

}  // namespace tavri::pli
