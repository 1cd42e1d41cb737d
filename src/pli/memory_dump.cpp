#include "pli/memory_dump.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/memory_cells.h"
#include "pli/messages.h"
#include "pli/misc_dispatch.h"
#include "pli/notices.h"
#include "pli/prompt_flush.h"
#include "pli/substitute_hier.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

const char *TaskName(bool now) { return now ? "$traxDumpMemNow" : "$traxDumpMem"; }

bool CheckArguments() {
    const int count = sim::g_sim.tf_nump();
    if (count < 1 || count > 3) {
        sim::g_sim.tf_warning("Argument number mismatch\n");
        return false;
    }
    return true;
}

unsigned TraceKey(const void *key) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(key)); }

// What tf_nodeinfo says of argument 1, when it describes a memory whose
// buffer holds every cell it announces.
bool ReadMemoryInfo(s_tfnodeinfo *node, MemoryInfo *info) {
    if (sim::g_sim.tf_nodeinfo(1, node) == nullptr || node->node_type != tf_memory_node) {
        return false;
    }
    info->left = node->node_lhs_element;
    info->right = node->node_rhs_element;
    info->size = node->node_mem_size;
    info->width = node->node_vec_size;
    info->msb = node->node_ms_index;
    info->lsb = node->node_ls_index;
    info->name = node->node_symbol != nullptr ? node->node_symbol : "";
    info->groups = node->node_ngroups;
    info->buffer = reinterpret_cast<const unsigned char *>(node->node_value.memoryval_p);
    // A buffer too small for the words it announces would be read past its end.
    return info->buffer != nullptr && info->width >= 1 && info->groups >= (info->width + 7) / 8;
}

// The cell's place in the buffer, or -1 when the simulator's buffer has no
// such cell.
int64_t PositionOf(const MemoryInfo &info, int32_t index) {
    const int64_t position = CellPosition(info, index, g_dumper.options.simulator_version);
    return position >= 0 && position < info.size ? position : -1;
}

void DropRecord(const MemoryRecord *record) {
    std::list<MemoryRecord> &memories = g_dumper.memories;
    for (auto it = memories.begin(); it != memories.end(); ++it) {
        if (&*it == record) {
            memories.erase(it);
            return;
        }
    }
}

void EndTreeAt(int depth) {
    EndScopesFromRoot(depth);
    EndDumpTree();
}

// Creates, in a tree of its own, the memory-depth variable (unless an
// earlier record of the memory made it) and one variable per cell.
bool CreateVariables(MemoryRecord &record, bool depth_exists) {
    DumperState &state = g_dumper;
    txwObject *writer = state.current_writer;
    if (!BeginDumpTree("Failed to create tree in TRAX file.\n")) {
        return false;
    }
    const int depth = CreateScopeFromRoot(sim::g_sim.acc_handle_parent(record.memory));
    if (MappedDepth(depth) <= 0) {
        // The memory lies in a level the hierarchy substitution drops.
        EndTreeAt(depth);
        state.needs_flush = true;
        return false;
    }
    const MemoryInfo &info = record.info;
    char range[48];
    if (!depth_exists) {
        std::snprintf(range, sizeof range, "[%d:%d]", info.left, info.right);
        const std::string name = info.name + range;
        txwVarMapRec *depth_var = g_txw.CreateVarByHandle(writer, kMemoryDepthVarType, 0, 2, 0, 1, record.memory,
                                                          name.c_str(), 2);
        TAVRI_TRACE("txw_CreateVarByHandle %s idcode %x mapid %d\n", name.c_str(), TraceKey(record.memory),
                    depth_var != nullptr ? depth_var->idcode : 0);
        if (depth_var == nullptr) {
            EndTreeAt(depth);
            PrintError("Failed to create the memory depth(%s)\n", name.c_str());
            return false;
        }
    }
    // Cells are declared in the memory's own order, left element first.
    const bool descending = info.right < info.left;
    const int32_t count = record.last - record.first + 1;
    const size_t cell_bytes = 2 * static_cast<size_t>(info.groups);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = descending ? record.last - i : record.first + i;
        const int64_t position = PositionOf(info, index);
        if (position < 0) {
            continue;
        }
        std::snprintf(range, sizeof range, "[%d]", index);
        const std::string name = info.name + range;
        void *key = const_cast<unsigned char *>(info.buffer + static_cast<size_t>(position) * cell_bytes);
        txwVarMapRec *cell =
            g_txw.CreateVarByHandle(writer, kMemoryCellVarType, 0, 0, info.msb, info.lsb, key, name.c_str(), 0);
        TAVRI_TRACE("txw_CreateVarByHandle %s [%d:%d] idcode %x mapid %d\n", name.c_str(), info.msb, info.lsb,
                    TraceKey(key), cell != nullptr ? cell->idcode : 0);
        if (cell == nullptr) {
            PrintError("Failed to create a memory cell(%s)\n", name.c_str());
        }
        record.cells[static_cast<size_t>(index - record.first)] = cell;
    }
    EndTreeAt(depth);
    state.needs_flush = true;
    return true;
}

// The record that covers begin..end of the memory, made (with its
// variables) when none does.
MemoryRecord *FindOrCreate(handle memory, const MemoryInfo &info, int32_t begin, int32_t end) {
    DumperState &state = g_dumper;
    if (info.width > kMaxMemoryWidth) {
        PrintWarning("The bit width of memory cell([%d:0] %s) is out of range(%d). Ignore dumping it.\n",
                     info.width - 1, info.name.c_str(), kMaxMemoryWidth);
        return nullptr;
    }
    bool depth_exists = false;
    for (MemoryRecord &record : state.memories) {
        if (record.memory != memory) {
            continue;
        }
        if (record.first <= begin && end <= record.last) {
            return &record;
        }
        depth_exists = true;
    }
    MemoryRecord *record = nullptr;
    try {
        record = &state.memories.emplace_front();
        record->cells.assign(static_cast<size_t>(end - begin) + 1, nullptr);
    } catch (const std::bad_alloc &) {
        if (record != nullptr) {
            DropRecord(record);
        }
        PrintWarning("Memory resource is exhausted.\n");
        return nullptr;
    }
    record->memory = memory;
    record->info = info;
    record->first = begin;
    record->last = end;
    if (!CreateVariables(*record, depth_exists)) {
        DropRecord(record);
        return nullptr;
    }
    return record;
}

// The memory-depth value (begin, end) and the value of every cell in
// begin..end, in index order.
void WriteCells(MemoryRecord &record, int32_t begin, int32_t end) {
    DumperState &state = g_dumper;
    txwObject *writer = state.current_writer;
    const MemoryInfo &info = record.info;
    const auto width = static_cast<uint32_t>(info.width);
    std::vector<uint8_t> codes;
    std::vector<uint32_t> words;
    try {
        codes.resize(width + 1);
    } catch (const std::bad_alloc &) {
        return;
    }
    int32_t range[2] = {begin, end};
    g_txw.CreateVarValueByVarHdl(writer, record.memory, range);
    bool ab_words = state.options.bus_compression && width >= 8;
    if (ab_words) {
        try {
            words.resize(2 * static_cast<size_t>((width + 31) / 32));
        } catch (const std::bad_alloc &) {
            ab_words = false;
        }
    }
    for (int32_t index = begin; index <= end; ++index) {
        if (index < record.first || index > record.last) {
            continue;
        }
        txwVarMapRec *cell = record.cells[static_cast<size_t>(index - record.first)];
        const int64_t position = PositionOf(info, index);
        if (cell == nullptr || position < 0) {
            continue;
        }
        DecodeCell(info, position, codes.data());
        if (!ab_words) {
            g_txw.CreateVarValueByVarRec(writer, cell, codes.data());
        } else if (CodesToABWords(codes.data(), width, words.data())) {
            g_txw.CreateABBusValueByIdcode(writer, cell->idcode, words.data(), width);
        }
    }
}

// Clamps an index outside lo..hi to `limit`, with the run's one warning.
void Clamp(int64_t *index, int32_t lo, int32_t hi, int32_t limit, const char *message, const char *task) {
    if (*index >= lo && *index <= hi) {
        return;
    }
    *index = limit;
    if (!g_dumper.memory_range_warned) {
        g_dumper.memory_range_warned = true;
        sim::g_sim.tf_warning(message, task);
    }
}

void Prepare(bool now) {
    DumperState &state = g_dumper;
    const char *task = TaskName(now);
    if (!CheckArguments()) {
        return;
    }
    s_tfnodeinfo node{};
    MemoryInfo info;
    if (!ReadMemoryInfo(&node, &info)) {
        sim::g_sim.tf_warning("%s - Failed to read memory info from the task argument.\n", task);
        return;
    }
    handle memory = reinterpret_cast<handle>(node.node_handle);
    if (memory == nullptr) {
        memory = sim::g_sim.acc_handle_tfarg(1);
    }
    if (memory == nullptr && node.node_symbol != nullptr) {
        memory = sim::g_sim.acc_handle_object(node.node_symbol);
    }
    if (memory == nullptr) {
        sim::g_sim.tf_warning("%s - Failed to get memory handle\n", task);
        return;
    }
    if (info.size < 1) {
        sim::g_sim.tf_warning("%s - Memory size is 0\n", task);
        return;
    }
    if (IsSuppressed(memory)) {
        return;
    }
    const int32_t lo = info.left < info.right ? info.left : info.right;
    const int32_t hi = info.left < info.right ? info.right : info.left;
    int64_t begin = lo;
    int64_t end = hi;
    const int count = sim::g_sim.tf_nump();
    if (count >= 2) {
        begin = sim::g_sim.acc_fetch_tfarg_int(2);
        end = count == 2 ? begin : begin + sim::g_sim.acc_fetch_tfarg_int(3) - 1;
    }
    Clamp(&begin, lo, hi, lo, "%s - The begin index of memory cell is out of range.\n", task);
    Clamp(&end, lo, hi, hi, "%s - The end index of memory cell is out of range.\n", task);
    if (end < begin) {
        std::swap(begin, end);
    }

    if (state.current_writer == nullptr) {
        CreateDumpFile();
    }
    if (state.current_writer == nullptr || state.files.empty()) {
        return;
    }
    state.needs_flush = true;
    DumpFileRecord &file = state.files.front();
    SetCurrent(file);
    WriteTimeTag(file);

    const auto first = static_cast<int32_t>(begin);
    const auto last = static_cast<int32_t>(end);
    MemoryRecord *record = FindOrCreate(memory, info, first, last);
    if (record == nullptr) {
        return;
    }
    record->info = info;
    if (now) {
        WriteCells(*record, first, last);
    } else {
        if (!record->pending) {
            record->pending = true;
            record->pending_first = first;
            record->pending_last = last;
        } else {
            record->pending_first = std::min(record->pending_first, first);
            record->pending_last = std::max(record->pending_last, last);
        }
        if (!state.memory_sync_requested) {
            state.memory_sync_requested = true;
            sim::g_sim.tf_rosynchronize();
        }
    }
    if (state.interactive) {
        FlushDumpFile(state.current_writer);
        state.needs_flush = false;
        NoticeCode(kNoticeFlushed);
    }
}

int CallDumpMem(bool now) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    TAVRI_TRACE(now ? "plitaskDumpMemNow()\n" : "plitaskDumpMem()\n");
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("%s is already disabled.\n", TaskName(now));
        return 0;
    }
    if (!state.dumping_on || state.deferred) {
        return 1;
    }
    state.needs_flush = true;
    Prepare(now);
    return 1;
}

void ClearPending() {
    for (MemoryRecord &record : g_dumper.memories) {
        record.pending = false;
    }
}

}  // namespace

void WritePendingMemories() {
    DumperState &state = g_dumper;
    if (state.files.empty() || state.current_writer == nullptr) {
        return;
    }
    if (!state.dumping_on) {
        ClearPending();
        return;
    }
    bool any = false;
    for (const MemoryRecord &record : state.memories) {
        any = any || record.pending;
    }
    if (!any) {
        return;
    }
    DumpFileRecord &file = state.files.front();
    SetCurrent(file);
    WriteTimeTag(file);
    for (MemoryRecord &record : state.memories) {
        if (record.pending) {
            record.pending = false;
            WriteCells(record, record.pending_first, record.pending_last);
        }
    }
    state.needs_flush = true;
}

void FreeMemoryRecords() { g_dumper.memories.clear(); }

int plicompileDumpMem(int /*data*/, int /*reason*/) { return CheckArguments() ? 1 : 0; }

int plitaskDumpMem(int /*data*/, int /*reason*/) { return CallDumpMem(false); }

int plitaskDumpMemNow(int /*data*/, int /*reason*/) { return CallDumpMem(true); }

int plimiscDumpMem(int data, int reason) {
    TAVRI_TRACE("plimiscDumpMem() reason=%d\n", reason);
    switch (reason) {
        case reason_rosynch:
            g_dumper.memory_sync_requested = false;
            WritePendingMemories();
            return 1;
        case reason_finish:
            WritePendingMemories();
            FreeMemoryRecords();
            return plimiscTRAX(data, reason);
        case reason_reset:
            FreeMemoryRecords();
            return plimiscTRAX(data, reason);
        case reason_restart:
        case reason_interactive:
        case reason_startofsave:
            return plimiscTRAX(data, reason);
        default:
            return 1;
    }
}

}  // namespace tavri::pli
