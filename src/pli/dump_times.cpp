#include "pli/dump_times.h"

#include <optional>
#include <string>
#include <string_view>

#include "pli/display_records.h"
#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_pattern.h"
#include "pli/dumper_state.h"
#include "pli/memory_dump.h"
#include "pli/messages.h"
#include "pli/options.h"
#include "pli/scope_tree.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/whole_number.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

struct Time {
    uint32_t high = 0;
    uint32_t low = 0;
    uint64_t Value() const { return (static_cast<uint64_t>(high) << 32) | low; }
};

// "low" or "low+high", each part a whole number from 0 to 4294967295. False
// (with a warning naming the plus-argument as given) for anything else.
bool ParseTime(const char *text, const char *which, Time *time) {
    const std::string_view whole(text);
    const size_t plus = whole.find('+');
    const std::string_view low = whole.substr(0, plus);
    const std::string_view high = plus == std::string_view::npos ? "0" : whole.substr(plus + 1);
    const std::optional<uint64_t> low_value = ParseWholeNumber(low, 0xFFFFFFFFu);
    const std::optional<uint64_t> high_value = ParseWholeNumber(high, 0xFFFFFFFFu);
    if (!low_value.has_value() || !high_value.has_value()) {
        PrintWarning("The time value for +trax+%s option is invalid: +trax+%s+%s is ignored.\n", which, which,
                     text);
        return false;
    }
    time->low = static_cast<uint32_t>(*low_value);
    time->high = static_cast<uint32_t>(*high_value);
    return true;
}

void SetTime(uint64_t *field, const Time &time) { *field = time.Value(); }

Time Split(uint64_t value) { return Time{static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value)}; }

void Reactivate(const Time &time) { sim::g_sim.tf_setlongdelay(static_cast<int>(time.low), static_cast<int>(time.high)); }

void ReplayDeferred() {
    DumperState &state = g_dumper;
    std::vector<DeferredEntry> entries;
    entries.swap(state.deferred_entries);
    for (DeferredEntry &entry : entries) {
        state.current_file_name = entry.file_name;
        if (CreateDumpFile() == 0 && state.current_writer == nullptr) {
            break;
        }
        PrintInfo("Start dumping scopes.\n");
        ScopeTreeClear();
        DumpFileRecord *file = CurrentFile();
        for (const auto &[scope, level] : entry.scopes) {
            // A $traxSuppress made while dumping waited still applies.
            if (IsSuppressed(scope)) {
                continue;
            }
            ScopeTreeAdd(scope, level);
            if (file != nullptr && file->all_scopes_dumped == 0) {
                if (const char *name = sim::g_sim.acc_fetch_fullname(scope)) {
                    file->scopes.push_back({name, level});
                }
            }
        }
        ScopeTreeWrite();
        PrintInfo("End dumping scopes.\n");
        ScopeTreeClear();
        SameNetPass();
        if (state.dumping_on) {
            TraverseAllVars(kModeInitial);
        }
    }
    ReplayDeferredPatterns();
}

}  // namespace

void ParseDumpTimes() {
    DumperState &state = g_dumper;
    if (state.dumpon_parsed) {
        return;
    }
    state.dumpon_parsed = true;
    Time on;
    Time off;
    bool on_set = false;
    bool off_set = false;
    if (const char *text = PlusArg("trax+dumpon+"); text != nullptr) {
        on_set = ParseTime(text, "dumpon", &on) && on.Value() != 0;
    }
    if (const char *text = PlusArg("trax+dumpoff+"); text != nullptr) {
        off_set = ParseTime(text, "dumpoff", &off);
    }
    if (on_set && off_set) {
        if (off.Value() == on.Value()) {
            on_set = off_set = false;
        } else if (off.Value() < on.Value()) {
            off_set = false;
        }
    }
    if (on_set) {
        TAVRI_TRACE("Setting +trax+dumpon at high=%u low=%u.\n", on.high, on.low);
        state.dumpon_pending = true;
        state.deferred = true;
        SetTime(&state.dumpon_time, on);
        PrintInfo("Setting $traxDumpvars enabled at time (high=%u low=%u).\n", on.high, on.low);
    }
    if (off_set) {
        TAVRI_TRACE("Setting +trax+dumpoff at high=%u low=%u.\n", off.high, off.low);
        state.dumpoff_pending = true;
        SetTime(&state.dumpoff_time, off);
        PrintInfo("Setting $traxDumpvars disabled at time (high=%u low=%u).\n", off.high, off.low);
    }
}

void ArmDumpTimers() {
    if (g_dumper.timers_armed) {
        return;
    }
    g_dumper.timers_armed = true;
    ParseDumpTimes();
    DumperState &state = g_dumper;
    if (state.dumpon_pending) {
        Reactivate(Split(state.dumpon_time));
    }
    if (state.dumpoff_pending) {
        if (state.dumpoff_time == 0) {
            state.deferred = true;
            state.dumpon_pending = false;
            state.dumpoff_pending = false;
            return;
        }
        Reactivate(Split(state.dumpoff_time));
    }
}

void RecordDeferredFile() {
    DumperState &state = g_dumper;
    if (state.deferred_entries.empty() || InScopeFileMode()) {
        state.deferred_entries.push_back(DeferredEntry{state.current_file_name, {}});
    }
}

void RecordDeferredScope(handle scope, int level) {
    DumperState &state = g_dumper;
    if (!state.dumpon_pending) {
        return;
    }
    if (state.deferred_entries.empty()) {
        state.deferred_entries.push_back(DeferredEntry{state.current_file_name, {}});
    }
    state.deferred_entries.back().scopes.emplace_back(scope, level);
}

void OnDumpTimer() {
    DumperState &state = g_dumper;
    int high = 0;
    const auto low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    if (state.dumpon_pending) {
        state.dumpon_pending = false;
        state.deferred = false;
        state.dumping_on = true;
        TAVRI_TRACE("Reactive $traxDumpvars() at time high=%u low=%u \n", static_cast<uint32_t>(high), low);
        FreeDisplayTables();
        ReplayDeferred();
        state.deferred_entries.clear();
        return;
    }
    if (state.dumpoff_pending) {
        state.dumpoff_pending = false;
        state.deferred = true;
        TAVRI_TRACE("Disable all $trax* command at time high=%u low=%u \n", static_cast<uint32_t>(high), low);
        SamplePendingVectors();
        WritePendingMemories();
        FreeMemoryRecords();
        state.dumping_on = false;
        ReleaseAllHooks();
        CloseAllDumpFile();
        state.needs_flush = false;
    }
}

}  // namespace tavri::pli
