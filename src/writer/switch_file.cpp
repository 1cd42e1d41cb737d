// File switching: the writer finishes its file and goes on in a new one
// with the same trees, variables, settings and callbacks. The new file
// starts with copies of the old file's tree blocks, taken as stored (no
// recompression), and fresh value-change streams; time goes on from the old
// file's last time tag.
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "writer/compressor.h"
#include "writer/esd_info.h"
#include "writer/header_io.h"
#include "writer/incore_var.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/object_lifecycle.h"
#include "writer/region.h"
#include "writer/session_lists.h"
#include "writer/stop_mark.h"
#include "writer/wbuf.h"
#include "writer/write_all.h"

using namespace tavri::writer;
namespace platform = tavri::platform;

namespace {

constexpr const char *kSource = "switch";

void ReportRenameFailure(const std::string &from, const std::string &to) {
    const int error_number = errno;
    Warn("txw_SwitchFile: failed to rename %s to %s.\n", from.c_str(), to.c_str());
    Warn("error number: %d  reason: %s\n", error_number, platform::ErrorText(error_number));
}

// Header fields that describe the design and the run rather than the data
// of one file: they go on in the new file.
void CarryHeader(const HeaderImage &old_header, HeaderImage &header, uint32_t old_xtag_count) {
    const auto copy = [&](uint32_t first, uint32_t last) {
        std::memcpy(header.bytes + first, old_header.bytes + first, last - first + 1);
    };
    copy(kHdrFlag61, kHdrTimeUnit);
    copy(kHdrCompression, kHdrCompression);
    copy(kHdrWriterMemLimit, kHdrWriterMemLimit + 3);
    // Both ends of the new file's time range are the old file's last time.
    std::memcpy(header.bytes + kHdrMinXtag, old_header.bytes + kHdrMaxXtag, 8);
    std::memcpy(header.bytes + kHdrMaxXtag, old_header.bytes + kHdrMaxXtag, 8);
    copy(kHdrIndepVarType, kHdrIndepVarType + 8);  // 404..412: type, flags, xtag type
    copy(kHdrStringListSize, kHdrStringCount + 3);
    copy(kHdrFormatFlags, kHdrFormatFlags + 2);
    copy(kHdrScopeBlkCnt, kHdrDataTypeBlkCnt + 3);
    copy(kHdrTreeCount, kHdrTreeCount + 3);
    copy(kHdrMaxVarIdcode, kHdrVarCreationCnt + 3);
    copy(kHdrMaxStringLength, kHdrMaxGlitchNumber + 1);
    copy(kHdrDesignType, kHdrSyncControl);
    copy(kHdrHasSeqNum, kHdrHasSeqNum);
    // The old file's last time tag is the new file's first one.
    header.SetU32(kHdrMaxXtagIdx, old_xtag_count > 0 ? 1 : 0);
}

// Moves everything that belongs to the design and the run from the old
// object to the new one; what describes the old file stays behind.
void MoveState(txwObject *old_obj, txwObject *obj) {
    obj->independent_var_type = old_obj->independent_var_type;
    // The old file's side files went with its finish; the new file gets its own.
    CarryEsdInfo(old_obj, obj);

    obj->progress_newline = old_obj->progress_newline;
    obj->separator_given = old_obj->separator_given;
    obj->scale_unit_set = old_obj->scale_unit_set;
    obj->simulation_date_set = old_obj->simulation_date_set;
    obj->simulator_version_set = old_obj->simulator_version_set;
    obj->glitch_set_by_application = old_obj->glitch_set_by_application;
    obj->handle_scheme = old_obj->handle_scheme;
    obj->tree_nesting = old_obj->tree_nesting;
    obj->check_mode = old_obj->check_mode;
    obj->xtag64 = old_obj->xtag64;
    obj->dumping_off = old_obj->dumping_off;
    obj->calc_min_time_step = old_obj->calc_min_time_step;

    obj->xtag_size = old_obj->xtag_size;
    obj->seq_num_size = old_obj->seq_num_size;
    obj->vc_block_entries = old_obj->vc_block_entries;
    obj->vc_block_size = old_obj->vc_block_size;

    obj->first_xtag = old_obj->current_xtag;
    obj->current_xtag = old_obj->current_xtag;
    obj->ceiling = old_obj->ceiling;
    obj->current_float = old_obj->current_float;
    obj->current_double = old_obj->current_double;
    obj->changes_since_xtag = old_obj->changes_since_xtag;
    obj->integer_xtag = old_obj->integer_xtag;
    obj->float_xtag = old_obj->float_xtag;
    obj->double_xtag = old_obj->double_xtag;

    obj->vc_block_callback = old_obj->vc_block_callback;
    obj->two_g_callback = old_obj->two_g_callback;
    obj->dump_callbacks = std::move(old_obj->dump_callbacks);
    obj->auto_switch_data = old_obj->auto_switch_data;
    obj->auto_switch_callback = old_obj->auto_switch_callback;
    obj->limited_file_size = old_obj->limited_file_size;

    obj->annotation = std::exchange(old_obj->annotation, nullptr);
    std::memcpy(obj->support_info, old_obj->support_info, sizeof obj->support_info);
    obj->support_used = old_obj->support_used;
    std::memcpy(obj->reserved_area, old_obj->reserved_area, sizeof obj->reserved_area);
    ClearStopMark(obj);  // the new file has not stopped yet

    obj->vc_memory = std::exchange(old_obj->vc_memory, nullptr);
    std::swap(obj->free_block_nodes, old_obj->free_block_nodes);
    std::swap(obj->bcn_last_val_vm, old_obj->bcn_last_val_vm);  // the old object frees the new one's

    obj->scope_buffer = std::exchange(old_obj->scope_buffer, nullptr);
    obj->var_buffer = std::exchange(old_obj->var_buffer, nullptr);
    obj->data_type_buffer = std::exchange(old_obj->data_type_buffer, nullptr);
    obj->vc_buffer = std::exchange(old_obj->vc_buffer, nullptr);
    obj->vc_chain_buffer = std::exchange(old_obj->vc_chain_buffer, nullptr);
    obj->var_base = old_obj->var_base;
    obj->data_type_base = old_obj->data_type_base;
    obj->stored_blocks = old_obj->stored_blocks;
    std::swap(obj->compressor, old_obj->compressor);

    obj->trees = std::exchange(old_obj->trees, nullptr);
    obj->last_tree = std::exchange(old_obj->last_tree, nullptr);
    obj->tree_index = std::move(old_obj->tree_index);
    obj->tree_count = old_obj->tree_count;
    obj->var_pool = std::exchange(old_obj->var_pool, nullptr);
    obj->scope_path = std::move(old_obj->scope_path);
    obj->trailer_pending = old_obj->trailer_pending;
    obj->vars_since_trailer = old_obj->vars_since_trailer;
    obj->wide_kind = old_obj->wide_kind;
    obj->scope_flag_a = old_obj->scope_flag_a;
    obj->scope_flag_b = old_obj->scope_flag_b;
    obj->attr_group_open = old_obj->attr_group_open;
    obj->var_group_start = old_obj->var_group_start;
    obj->record = std::move(old_obj->record);

    obj->strings = std::exchange(old_obj->strings, nullptr);
    obj->var_map_pool = std::exchange(old_obj->var_map_pool, nullptr);
    obj->var_map = std::exchange(old_obj->var_map, nullptr);
}

// The new file's value-change streams start empty: what a variable's chain
// and repeat filter remember of the old file does not hold there.
void StartFreshStreams(txwObject *obj) {
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        for (uint32_t i = 0; tree->vars != nullptr && i < tree->count; ++i) {
            IncoreVar &var = tree->vars[i];
            var.chain_position = 0;
            var.lasting_flags = 0;
            var.flushed_before = 0;
            var.xtag_index = 0;
            var.flags &= ~kVarStepCountMask;
        }
    }
    // The old streams ended with the old file; a lead byte nobody flushed
    // stays behind with them.
    if (obj->vc_buffer != nullptr) {
        obj->vc_buffer->current = obj->vc_buffer->begin;
    }
    obj->vc_chain_buffer->current = obj->vc_chain_buffer->begin;
    for (WriteBuffer *buffer : {obj->scope_buffer, obj->var_buffer, obj->data_type_buffer, obj->vc_buffer,
                                obj->vc_chain_buffer}) {
        if (buffer != nullptr) {
            WBufRetarget(buffer, obj->main_file, buffer->no_compress != 0);
        }
    }
    WBufPutByte(obj, obj->vc_chain_buffer, kVcChainStreamLead);
}

// Copies the blocks of one list from the old file to the end of the new one
// and points their layouts at the copies.
void CopyBlocks(txwObject *obj, platform::FileHandle old_file, BlockList &list, std::vector<uint8_t> &area) {
    for (BlockNode *node = list.head; node != nullptr; node = node->next) {
        const uint32_t length = node->layout.stored_length;
        area.resize(length);
        if (!platform::ReadAt(old_file, node->layout.offset, area.data(), length)) {
            const int error_number = errno;
            Warn("An unexpected error has occured.\n");
            Warn("txw_SwitchFile: failed to read a tree block of %u bytes, errno = %d\n", length, error_number);
            Warn("error string = %s\n", platform::ErrorText(error_number));
            AssertionFailed(kSource, __LINE__);
        }
        node->layout = NextWriteLayout(obj, obj->main_file, length);
        WriteAll(obj->main_file, area.data(), length);
    }
}

void CopyTrees(txwObject *obj, platform::FileHandle old_file) {
    std::vector<uint8_t> area;
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        CopyBlocks(obj, old_file, tree->scope_blocks, area);
        CopyBlocks(obj, old_file, tree->var_blocks, area);
        CopyBlocks(obj, old_file, tree->data_type_blocks, area);
        if (tree->written_to_tree_list) {
            AppendTreeRecord(obj, tree);
        }
    }
    const int64_t position = platform::Tell(obj->main_file);
    if (position > 0 && static_cast<uint64_t>(position) > obj->file_high_water) {
        obj->file_high_water = static_cast<uint64_t>(position);
    }
}

txwObject *OpenSuccessor(txwObject *old_obj, const std::string &name) {
    const HeaderImage &header = old_obj->header;
    txwOpenParam param{};
    param.size = sizeof param;
    param.file_name = name.c_str();
    param.scope_separator = header.Text(kHdrScopeSeparator);
    param.scale_unit = header.Text(kHdrScaleUnit);
    param.simulation_date = header.Text(kHdrSimulationDate);
    param.simulator_version = header.Text(kHdrSimulatorVersion);
    param.file_type = header.U8(kHdrFileType);
    txwObject *obj = nullptr;
    txwOpenFile2(&param, &obj);
    return obj;
}

}  // namespace

extern "C" txwObject *txw_SwitchFile(txwObject *old_obj, const char *new_name) {
    if (new_name == nullptr || new_name[0] == '\0') {
        Warn("txw_SwitchFile: no name for the new file; %s stays open.\n", old_obj->file_name.c_str());
        return nullptr;
    }
    if (old_obj->ref_count > 1) {
        Warn("Another application is writing to TRAX file (%s), so it cannot be switched.\n",
             old_obj->file_name.c_str());
        return nullptr;
    }
    const std::string old_name = old_obj->file_name;
    const std::string name = new_name;
    if (old_obj->vc_chain_buffer == nullptr) {
        old_obj->vc_chain_buffer =
            WBufCreate(old_obj->main_file, false, kWriteBufferCapacity, BlockKind::kVcChain);
        if (old_obj->vc_chain_buffer == nullptr) {
            Warn("txw_SwitchFile: Memory is exhausted.\n");
            txw_CloseFile(old_obj);
            return nullptr;
        }
    }

    // Finish the old file; its string file stays for the new one.
    old_obj->leave_string_file = true;
    if (const int status = FinishObjectFile(old_obj); status != 0) {
        Warn("txw_SwitchFile: %s could not be finished (status %d); it stays open.\n", old_name.c_str(), status);
        return nullptr;
    }
    const bool had_strings = old_obj->header.U32(kHdrStringCount) > 0;
    UnlinkOpenWriter(old_obj);
    // Without a new file the strings are needed no more: the finished file
    // holds them.
    const auto give_up = [&] {
        if (had_strings) {
            platform::Remove((old_name + ".str").c_str());
        }
        ParkClosedObject(old_obj);
        return nullptr;
    };

    std::string old_path = old_name;
    if (name == old_name) {
        Warn("The user specifies the same file name(%s) for switching.\n", name.c_str());
        const std::string backup = old_name + ".bak";
        if (platform::Rename(old_name.c_str(), backup.c_str()) != 0) {
            // Creating the new file would empty the old one: keep its data.
            ReportRenameFailure(old_name, backup);
            return give_up();
        }
        Warn("trax Writer has renamed the existing %s to %s\n", old_name.c_str(), backup.c_str());
        old_path = backup;
    }
    const platform::FileHandle old_file = platform::OpenForReading(old_path.c_str());
    if (old_file == platform::kNoFile) {
        const int error_number = errno;
        Warn("txw_SwitchFile: cannot read %s again: %s\n", old_path.c_str(), platform::ErrorText(error_number));
        return give_up();
    }
    txwObject *obj = OpenSuccessor(old_obj, name);
    if (obj == nullptr) {
        Warn("txw_SwitchFile: failed to create %s; %s is finished.\n", name.c_str(), old_path.c_str());
        platform::Close(old_file);
        return give_up();
    }
    if (had_strings) {
        // The string list goes on: ids of the old file's texts stay valid.
        std::string strings = old_name + ".str";
        if (name != old_name) {
            const std::string renamed = name + ".str";
            if (platform::Rename(strings.c_str(), renamed.c_str()) == 0) {
                strings = renamed;
            } else {
                ReportRenameFailure(strings, renamed);
            }
        }
        obj->string_file = platform::OpenForReadWrite(strings.c_str());
        if (obj->string_file == platform::kNoFile) {
            const int error_number = errno;
            Warn("Failed to open the string file named %s\n", strings.c_str());
            Warn("error number: %d  reason: %s\n", error_number, platform::ErrorText(error_number));
        }
    }

    {
        ScopedLock lock(obj);
        MoveState(old_obj, obj);
        StartFreshStreams(obj);
        CarryHeader(old_obj->header, obj->header, old_obj->header.U32(kHdrMaxXtagIdx));
        WriteFixedSection(obj);
        WriteOffsetAndStatisticsSections(obj);
        WriteEnvironmentRecord(obj);
        WriteReservedArea(obj);
        platform::Seek(obj->main_file, kFirstBlockOffset);
        CopyTrees(obj, old_file);
        InstallChainTable(obj, WriteNextChainTable(obj));
        WriteStatisticsSection(obj);
        for (platform::FileHandle file : {obj->main_file, obj->tree_list_file, obj->chain_file}) {
            CommitAll(file);
        }
    }
    platform::Close(old_file);
    ParkClosedObject(old_obj);
    return obj;
}
