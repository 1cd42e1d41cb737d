// The writer object: everything the writer keeps for one open database file.
#ifndef TAVRI_WRITER_OBJECT_H
#define TAVRI_WRITER_OBJECT_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "tavri/txw.h"
#include "writer/header_layout.h"
#include "writer/uoff.h"

namespace tavri::writer {

struct Compressor;
struct IncoreVar;
struct Region;
struct Ring;
struct StringTable;
struct traxFixPool;
struct traxHashTable;
struct traxPoolObj;
struct VcMemory;
struct WriteBuffer;

constexpr uint32_t kScratchSize = 4096;
constexpr uint32_t kSupportInfoSize = 2048;
constexpr uint32_t kSupportTextOffset = 518;  // support text fills 518..2047
constexpr uint32_t kAnnotationSize = 512;

// One node of a block list: the layout of one stored block.
struct BlockNode {
    BlockNode *next = nullptr;
    BlkLayout layout;
};

struct BlockList {
    BlockNode *head = nullptr;
    BlockNode *tail = nullptr;
    uint32_t count = 0;
};

// One tree (one txw_BeginTree / txw_EndTree pair) and the blocks of its
// scope, variable and data type streams.
struct TreeRecord {
    TreeRecord *next = nullptr;
    BlockList scope_blocks;
    BlockList var_blocks;
    BlockList data_type_blocks;
    uint32_t first_idcode = 0;
    uint32_t last_idcode = 0;
    uint32_t count = 0;
    bool written_to_tree_list = false;
    IncoreVar *vars = nullptr;  // count records, idcodes first_idcode..last_idcode
};

// Integer time tag: compared by high half, then low half, both unsigned.
struct Xtag {
    uint32_t high = 0;
    uint32_t low = 0;
    friend bool operator==(const Xtag &, const Xtag &) = default;
    friend auto operator<=>(const Xtag &a, const Xtag &b) {
        return a.high != b.high ? a.high <=> b.high : a.low <=> b.low;
    }
};

// 1, 2, 3 ... for the writers in order of creation.
uint64_t NextWriterSerial();

}  // namespace tavri::writer

struct txwObject {
    using Xtag = tavri::writer::Xtag;
    using FileHandle = tavri::platform::FileHandle;

    txwObject *next = nullptr;  // open-writer list
    // Unique for the life of the process (a later writer may get the memory
    // of a closed one): tells value slots which writer they were filled for.
    uint64_t serial = tavri::writer::NextWriterSerial();
    uint32_t ref_count = 0;
    tavri::writer::HeaderImage header;

    // Settings.
    uint32_t independent_var_type = 0;
    std::string file_name;
    std::string lock_file_name;
    std::string dot_lock_file_name;

    // Descriptors; kNoFile when not open.
    FileHandle main_file = tavri::platform::kNoFile;
    FileHandle session_list_file = tavri::platform::kNoFile;  // ".slist"
    FileHandle tree_list_file = tavri::platform::kNoFile;     // ".tlist"
    FileHandle redundant_list_file = tavri::platform::kNoFile;  // ".rlist"
    FileHandle lock_file = tavri::platform::kNoFile;          // ".lock"
    FileHandle chain_file = tavri::platform::kNoFile;         // ".chain"
    FileHandle string_file = tavri::platform::kNoFile;        // ".str"
    FileHandle esd_expression_file = tavri::platform::kNoFile;  // ".esd.exp"
    FileHandle esd_table_file = tavri::platform::kNoFile;     // ".esd.tbl"

    // Essential-signal information taken over from a template
    // (txw_AppendForeignESDInfo): the expression data and the table of
    // 8-byte entries, kept until the final flush appends them.
    bool foreign_esd = false;
    uint32_t esd_var_count = 0;
    std::vector<uint8_t> esd_data;
    std::vector<uint8_t> esd_table;

    // State flags.
    bool progress_newline = false;     // print a final newline on close (and dots per block)
    bool flush_after_change = false;   // a change went to the overflow buffer
    bool separator_given = false;
    bool scale_unit_set = false;
    bool simulation_date_set = false;
    bool simulator_version_set = false;
    bool glitch_set_by_application = false;
    uint8_t handle_scheme = 0;         // 1 once the var map exists
    uint8_t tree_nesting = 0;
    bool leave_string_file = false;    // a file switch keeps ".str"
    bool check_mode = false;           // TXW_ENV_CHECK_MODE
    bool xtag64 = false;               // 64-bit time tags in use
    bool dumping_off = false;
    bool calc_min_time_step = false;   // TRAX_ENV_CALC_MIN_TIME_STEP_INCREMENT

    // Value-change records.
    uint8_t xtag_size = 4;
    uint8_t seq_num_size = 0;
    uint32_t vc_block_entries = 7;
    uint32_t vc_block_size = 7 * 4 + 16;

    // Time tags.
    Xtag first_xtag;
    Xtag current_xtag;
    Xtag ceiling{0x7FFFFFFFu, 0xFFFFFFFFu};
    float current_float = 0;
    double current_double = 0;
    uint32_t changes_since_xtag = 0;
    int (*integer_xtag)(txwObject *obj, uint32_t high, uint32_t low) = nullptr;
    int (*float_xtag)(txwObject *obj, float xtag) = nullptr;
    int (*double_xtag)(txwObject *obj, double xtag) = nullptr;

    // Offsets.
    const tavri::writer::OffsetOps *offsets = nullptr;

    // Callbacks.
    void (*vc_block_callback)(txwObject *obj, uint32_t vc_block_count) = nullptr;
    txwTwoGCB two_g_callback = nullptr;
    std::vector<txwDumpCB> dump_callbacks;
    void *auto_switch_data = nullptr;
    txwAutoSwitchCB auto_switch_callback = nullptr;
    uint32_t limited_file_size = 0;

    // Session state.
    bool first_session = true;
    char *annotation = nullptr;  // kAnnotationSize bytes once set
    uint8_t support_info[tavri::writer::kSupportInfoSize] = {};
    uint32_t support_used = 0;
    uint8_t reserved_area[tavri::writer::kReservedAreaSize] = {};
    uint8_t scratch[tavri::writer::kScratchSize] = {};

    // Value-change memory and the free list of block-list nodes.
    tavri::writer::VcMemory *vc_memory = nullptr;
    tavri::writer::BlockNode *free_block_nodes = nullptr;
    tavri::writer::Region *bcn_last_val_vm = nullptr;

    // Write buffers, one per block kind, and the logical bases of the streams
    // whose positions are referenced from elsewhere.
    tavri::writer::WriteBuffer *scope_buffer = nullptr;
    tavri::writer::WriteBuffer *var_buffer = nullptr;
    tavri::writer::WriteBuffer *data_type_buffer = nullptr;
    tavri::writer::WriteBuffer *vc_buffer = nullptr;
    tavri::writer::WriteBuffer *vc_chain_buffer = nullptr;
    tavri::writer::Uoff var_base = 0;
    tavri::writer::Uoff data_type_base = 0;
    tavri::writer::Uoff vc_base = 0;
    tavri::writer::Uoff vc_chain_base = 0;
    tavri::writer::BlockList session_vc_blocks;
    tavri::writer::BlockList session_vc_chain_blocks;
    uint64_t file_high_water = 0;
    uint32_t stored_blocks = 0;  // for the progress dots
    bool stopped = false;        // blocks are dropped instead of written
    tavri::writer::Compressor *compressor = nullptr;

    // Trees.
    tavri::writer::TreeRecord *trees = nullptr;
    tavri::writer::TreeRecord *last_tree = nullptr;
    std::vector<std::pair<uint32_t, tavri::writer::TreeRecord *>> tree_index;  // (last idcode, tree)
    uint32_t tree_count = 0;  // trees ended

    // Tree being built.
    tavri::writer::traxPoolObj *var_pool = nullptr;  // temporary variables of new idcodes
    std::vector<std::string> scope_path;             // open scopes, outermost first
    bool trailer_pending = false;   // the last scope record still needs its trailer
    bool vars_since_trailer = false;
    bool wide_kind = false;
    uint8_t scope_flag_a = 0;
    uint8_t scope_flag_b = 0;
    bool attr_group_open = false;
    tavri::writer::Uoff var_group_start = 0;
    std::vector<uint8_t> record;  // staging area for one scope or variable record

    // Sessions.
    bool changes_pending = false;       // value changes wait in memory
    bool had_session = false;
    Xtag previous_session_end;          // start time of the next session
    uint32_t vc_blocks_at_last_flush = 0;

    // String values.
    tavri::writer::StringTable *strings = nullptr;

    // Var map.
    tavri::writer::traxFixPool *var_map_pool = nullptr;
    tavri::writer::traxHashTable *var_map = nullptr;

    // Synchronous-control lock.
    int lock_counter = 1;  // 1 free, 0 held once, -n held n + 1 times
    int (*lock_function)(txwObject *obj, int mode) = nullptr;
    bool lock_wait_stopped = false;  // a stop signal ended a wait: no more waiting

    // Dump limit (MB, 0 = none) and its ring, made when the limit is set.
    uint32_t dump_limit = 0;
    tavri::writer::Ring *ring = nullptr;

    // Stop limit (MB, 0 = none): blocks passing the stop position stop the
    // value changes at the end of the flush that wrote them.
    uint32_t stop_limit = 0;
    tavri::writer::Uoff stop_position = 0;
    bool stop_pending = false;

    // 2 GB guard: what has been told, and whether the 2G callback ran.
    bool near_two_gigabytes_told = false;
    bool no_two_g_callback_told = false;
    bool two_g_callback_called = false;

    // Debug log (TXW_ENV_DBG).
    FILE *debug_log = nullptr;
};

#endif
