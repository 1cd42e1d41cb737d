// The front end's process-wide state and its per-file records.
//
// Everything runs on the simulator's one thread, so nothing here is locked.
// One global record is shared by every task, callback and Tcl command.
#ifndef TAVRI_PLI_DUMPER_STATE_H
#define TAVRI_PLI_DUMPER_STATE_H

#include <cstdint>
#include <cstdio>
#include <deque>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pli/scope_map.h"
#include "sim/pli_acc.h"
#include "tavri/txw.h"

struct txwObject;     // a writer object, owned by its file record until closed
struct txwVarMapRec;  // a writer variable record (handle, idcode, width, type)

namespace tavri::pli {

struct VclEntry;

// Hooked vectors whose value is sampled at the next read-only
// synchronisation, in arrival order. The vector keeps its capacity when
// emptied, so the value-change path allocates only when a new high-water mark
// is reached.
using PendingVectors = std::vector<VclEntry *>;

// A scope dumped into a file, replayed after a restart.
struct RecordedScope {
    std::string full_name;
    int level = 0;
};

// One open dump file.
struct DumpFileRecord {
    txwObject *writer = nullptr;
    uint32_t last_time_low = 0;   // the time of the last time tag written here
    uint32_t last_time_high = 0;
    std::string name;            // the name the file was created with
    uint32_t temporary = 0;      // 1 after the 2 GB switch made this a temporary file
    PendingVectors pending;
    uint8_t all_scopes_dumped = 0;
    std::vector<RecordedScope> scopes;
};

// A hooked variable: its writer record and the file it belongs to. Its
// address is the user data of the variable's value-change link, so entries
// never move while they are hooked.
//
// A change reads its entry and, of the writer's memory, only what its slot
// leads to: what the callbacks need of the variable map record (idcode,
// width) is copied here. The entry fills one cache line of its own, since
// changes come in no order a cache would follow.
struct alignas(64) VclEntry {
    txwVarMapRec *record = nullptr;
    // The simulator object hooked: kept here too, since the hook is removed
    // (at finish, reset, restart) after the writer that owns `record` may
    // already be closed and freed.
    handle object = nullptr;
    DumpFileRecord *file = nullptr;  // none once released or its file finished
    p_vc_consumer callback = nullptr;
    txwValueSlot slot{};   // the writer's record of the variable, found once
    int32_t idcode = 0;    // the record's idcode
    // The record's width, or 0 when it is wider than this field holds.
    uint32_t bit_size : 29 = 0;
    uint32_t strength_link : 1 = 0;  // linked with vcl_verilog_strength, else vcl_verilog_logic
    uint32_t hooked : 1 = 0;
    // A vector waiting for the end of the time step: its further changes in
    // the step are not looked at, and whole-file value dumps leave it to
    // the end of the step too.
    uint32_t pending : 1 = 0;
};
static_assert(sizeof(VclEntry) == 64);

// `$traxDumpvars` requests recorded while dumping waits for its start time:
// the file name to create and the (scope, level) pairs to dump.
struct DeferredEntry {
    std::optional<std::string> file_name;
    std::vector<std::pair<handle, int>> scopes;
};

// A $traxDumpPattern request recorded while dumping waits for its start
// time; replayed newest first when dumping starts.
struct DeferredPattern {
    handle root = nullptr;  // none: every top module
    int level = 0;
    std::optional<std::string> scope_pattern;
    std::optional<std::string> signal_pattern;
};

// $traxSubstituteHier: the top `replace_level` levels of the design are
// written under the components of a hierarchical name the user gives.
struct HierarchySubstitution {
    int replace_level = -1;               // L; -1 while no substitution is set
    std::string name;                     // the name as given, trimmed
    std::vector<std::string> components;  // its levels; D is their count
};

// $traxDisplay's tables. A display variable is the string variable of one
// tag in one calling scope; the step texts join what each variable got in
// the present time step; the last texts are written again into the file a
// switch opens. The texts are copies of their own, so they outlive the
// writer that a switch closes.
struct DisplayStepText {
    int32_t idcode = 0;
    handle scope = nullptr;
    std::string text;
};
struct DisplayLastText {
    int32_t idcode = 0;
    std::string text;
};
struct DisplayTables {
    bool created = false;
    std::map<std::pair<std::string, handle>, int32_t> variables;  // (tag, scope) -> idcode
    uint32_t step_time_high = 0;
    uint32_t step_time_low = 0;
    std::vector<DisplayStepText> step_texts;
};

// A memory as tf_nodeinfo describes it: declared elements, word shape, name
// and the simulator's value buffer (2 x groups bytes a cell: the A groups,
// then the B groups, least significant group first).
struct MemoryInfo {
    int32_t left = 0;   // first declared element
    int32_t right = 0;  // last declared element
    int32_t size = 0;   // number of cells
    int32_t width = 0;  // bits a word
    int32_t msb = 0;
    int32_t lsb = 0;
    std::string name;
    int32_t groups = 0;  // 8-bit groups a word
    const unsigned char *buffer = nullptr;
};

// The cells of one memory that the file records ($traxDumpMem,
// $traxDumpMemNow): one writer variable per covered cell (null for a cell
// the writer refused), and the range a $traxDumpMem of this step asked for.
struct MemoryRecord {
    handle memory = nullptr;
    MemoryInfo info;
    int32_t first = 0;  // covered cells, first <= last
    int32_t last = 0;
    std::vector<txwVarMapRec *> cells;  // cell k at k - first
    bool pending = false;
    int32_t pending_first = 0;
    int32_t pending_last = 0;
};

// The three dump modes exclude each other.
enum class DumpMode { kNone, kSingleFile, kScopeFile, kEssentialSignal };

// Switches read once at start-up from the environment and plus-arguments.
struct DumperOptions {
    bool debug = false;
    bool skip_cell_instance = false;
    bool same_net = false;
    bool do_not_write = false;
    int verbose = 0;
    bool bus_compression = true;
    bool dump_parameters = false;
    int strength_mode = 2;  // 2 logic values only, 3 logic and strength
    bool reserve = false;
    bool sequence_numbers = false;
    int user_glitch_limit = 0;
    bool user_glitch_limit_set = false;
    bool warning_trace = false;
    bool autoflush = false;
    bool force_callback_delete = false;
    bool check_pid = false;
    bool no_functions = false;
    bool expanded_vectors = true;
    // Block compression of new files (TRAX_COMPRESSION, +trax+compression+):
    // method 0 LZO1B level 1 unless the user chose otherwise.
    bool compression_set = false;
    uint32_t compression_method = 0;
    int compression_level = 1;
    uint32_t simulator_version = 0;
    // Message switches.
    bool no_error = false;
    bool no_warning = false;
    bool no_all_msg = false;
};

// An automatically switched series of dump files ($traxAutoSwitchDumpfile)
// and its log of each file's time range.
struct SwitchSeries {
    bool active = false;
    std::string base;  // without ".trax"
    int amount = 0;    // files to cycle through; 0 = unlimited
    int index = 0;     // number of the current file
    std::FILE *log = nullptr;
    uint32_t start_high = 0;  // when the current file started
    uint32_t start_low = 0;
};

struct DumperState {
    // File set. The front of `files` is the current file.
    std::list<DumpFileRecord> files;
    txwObject *current_writer = nullptr;
    std::optional<std::string> current_file_name;
    uint32_t current_time_low = 0xFFFFFFFFu;
    uint32_t current_time_high = 0xFFFFFFFFu;
    std::list<DumpFileRecord> saved_files;
    std::vector<std::string> closed_names;
    int creator_pid = 0;

    // Dump control.
    bool dumping_on = true;
    // A $traxDumpon of this time step waits for its read-only
    // synchronisation; a later $traxDumpoff of the same step cancels it.
    bool dumpon_requested = false;
    bool needs_flush = false;
    bool deferred = false;
    bool dumpon_pending = false;
    bool dumpoff_pending = false;
    uint64_t dumpon_time = 0;
    uint64_t dumpoff_time = 0;
    bool rosync_idle = true;
    char *sync_instance = nullptr;
    int tree_depth = 0;
    bool same_net_pass = false;

    SwitchSeries series;

    DumperOptions options;
    bool dump_limit_set = false;
    uint32_t dump_limit_mb = 0;
    uint32_t file_type = 0;
    bool write_error_prompt_registered = false;
    bool temporary_files_exist = false;
    bool status_report_armed = false;
    std::vector<DeferredEntry> deferred_entries;
    std::deque<DeferredPattern> deferred_patterns;  // newest first

    // Traversal.
    int traverse_mode = 0;  // 0 build, 1 unhook, 2 initial, 3 current, 4 off values
    uint16_t direction_filter = 0xFFFF;
    bool call_no_functions = false;
    uint32_t scopes_traversed = 0;       // for the progress dots
    ScopeMap scope_map;  // suppressed scopes and scopes dumped into the current file
    HierarchySubstitution substitution;

    // Memory dumping: records newest first, the end-of-step request, and the
    // one warning a run gives for indexes outside a memory.
    std::list<MemoryRecord> memories;
    bool memory_sync_requested = false;
    bool memory_range_warned = false;

    // Value-change hooks (entries never move: a deque only appends).
    std::deque<VclEntry> hooks;
    // The variable records of the essential signals $traxESDump hooked:
    // their variables are created by idcode, so the writer keeps no record
    // of them. They live as long as their hooks.
    std::deque<txwVarMapRec> esd_records;
    bool rosync_pending_sample = false;
    std::vector<s_acc_vecval> vector_words;  // grown to the widest vector seen
    std::vector<uint8_t> vector_bytes;

    // $traxDisplay: the tables live from the first call until freed; the
    // last texts until the files are closed.
    DisplayTables display;
    std::vector<DisplayLastText> display_last_texts;

    // Interactive notices.
    uint32_t notice_time_high = 0;
    uint32_t notice_time_low = 0;
    uint32_t notice_time_count = 0;
    long notice_second = 0;

    // Modes.
    bool interactive = false;
    bool interactive_task_present = false;
    bool interactive_start_done = false;  // $traxInteractive's start runs once
    bool at_prompt = false;  // the simulation is paused: a stop, a Tcl command
    DumpMode mode = DumpMode::kNone;
    bool glitch_off = true;
    bool saving = false;
    bool hooks_removed_for_save = false;

    // Scope files of $traxDumpvarsToFile: the one-argument form's and the
    // two-argument form's latest, and whether the viewer wrote the last one.
    std::optional<std::string> scope_file_single;
    std::optional<std::string> scope_file_own;
    bool viewer_scope_file = false;

    // Message suppression: texts that drop any message line containing them.
    std::vector<std::string> suppressed_messages;

    // Re-entrancy guards.
    bool in_close_all = false;
    bool in_close_without_time_tags = false;
    bool options_started = false;
    bool message_switches_read = false;
    bool timers_armed = false;
    bool dumpon_parsed = false;
    bool in_status_report = false;
};

extern DumperState g_dumper;

// Puts the state back to its start-up values (files are forgotten, not
// closed). The simulator never needs this; tests run one scenario after
// another in one process.
void ResetDumperState();

}  // namespace tavri::pli

#endif
