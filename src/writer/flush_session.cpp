#include "writer/flush_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "writer/debug_log.h"
#include "writer/element_array.h"
#include "writer/esd_info.h"
#include "writer/header_io.h"
#include "writer/incore_var.h"
#include "writer/session_lists.h"
#include "writer/strings.h"
#include "writer/vc_mem_pool.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/ring.h"
#include "writer/stop_limit.h"
#include "writer/stop_mark.h"
#include "writer/wbuf.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

void RaiseHighWater(txwObject *obj) {
    const int64_t position = platform::Tell(obj->main_file);
    if (position > 0 && static_cast<uint64_t>(position) > obj->file_high_water) {
        obj->file_high_water = static_cast<uint64_t>(position);
    }
}

void ReportCopyError(const char *direction, const char *what, uint32_t count) {
    const int error_number = errno;
    Warn("An unexpected error has occured.\n");
    Warn("Please restart the application and try again.\n");
    Warn("%s %s file: min_byte_count = %u, errno = %d\n", direction, what, count, error_number);
    Warn("error string = %s\n", platform::ErrorText(error_number));
}

void WriteAnnotation(txwObject *obj) {
    if (obj->annotation == nullptr) {
        return;
    }
    const uint32_t length = static_cast<uint32_t>(std::strlen(obj->annotation)) + 1;
    obj->header.SetU64(kHdrAnnotationUoff, obj->offsets->tell(obj->main_file));
    obj->header.SetU32(kHdrAnnotationLength, length);
    WriteAll(obj->main_file, obj->annotation, length);
    RaiseHighWater(obj);
}

// How many variables ahead of the one written their first unit is fetched.
constexpr uint32_t kFetchAhead = 2;

// Writes every variable's pending changes as one session. False when
// nothing was pending.
bool WriteSession(txwObject *obj) {
    if (!obj->changes_pending || obj->stopped || obj->vc_buffer == nullptr) {
        return false;
    }
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        if (tree->vars == nullptr) {
            continue;
        }
        for (uint32_t i = 0; i < tree->count; ++i) {
            // The first unit of a variable a little further on is fetched
            // while this one's are written.
            if (i + kFetchAhead < tree->count) {
                __builtin_prefetch(tree->vars[i + kFetchAhead].chain_head);
            }
            IncoreVar &var = tree->vars[i];
            if (var.chain_head == nullptr) {
                continue;
            }
            SessionScratch scratch;
            const Uoff element_position = StreamPosition(obj, obj->vc_buffer);
            WriteElementArray(obj, var, scratch);
            var.chain_head = var.chain_tail = nullptr;
            var.lasting_flags |= scratch.flags;
            if (scratch.count != 0) {
                PutChainEntry(obj, var, element_position, scratch);
            }
        }
    }
    WBuf_Flush(obj, obj->vc_buffer);
    WBuf_Flush(obj, obj->vc_chain_buffer);
    if (obj->vc_memory != nullptr) {
        VcReleaseAll(obj->vc_memory);
    }
    obj->changes_pending = false;
    obj->flush_after_change = false;
    AppendSessionRecord(obj);
    obj->header.SetU32(kHdrSessionListSize, static_cast<uint32_t>(platform::Size(obj->session_list_file)));
    obj->header.AddU32(kHdrSessionCount, 1);
    if ((obj->vc_chain_base >> 32) != 0) {
        obj->header.SetU8(kHdrVcChainIs8Byte, 1);
    }
    if ((obj->vc_base >> 32) != 0) {
        obj->header.SetU8(kHdrVcIs8Byte, 1);
    }
    DebugLog(obj, "session %u is flushed\n", obj->header.U32(kHdrSessionCount));
    AppendNewStrings(obj);
    return true;
}

}  // namespace

void CommitFiles(txwObject *obj) {
    for (platform::FileHandle file :
         {obj->main_file, obj->tree_list_file, obj->session_list_file, obj->chain_file,
          obj->redundant_list_file, obj->string_file}) {
        if (file != platform::kNoFile) {
            CommitAll(file);
        }
    }
}

int CopySideFile(txwObject *obj, platform::FileHandle side_file, const char *what,
                 uint32_t header_offset) {
    obj->header.SetU64(header_offset, obj->offsets->tell(obj->main_file));
    CommitAll(side_file);
    const int64_t size = platform::Size(side_file);
    if (size < 0) {
        ReportCopyError("read", what, 0);
        return -1;
    }
    uint8_t *area = obj->scratch;
    uint32_t chunk = kScratchSize;
    if (obj->vc_buffer != nullptr && WBufIsEmpty(obj->vc_buffer)) {
        area = obj->vc_buffer->begin;
        chunk = kWriteBufferCapacity;
    }
    uint64_t copied = 0;
    while (copied < static_cast<uint64_t>(size)) {
        const uint64_t left = static_cast<uint64_t>(size) - copied;
        const auto count = static_cast<uint32_t>(left < chunk ? left : chunk);
        if (!platform::ReadAt(side_file, copied, area, count)) {
            ReportCopyError("read", what, count);
            return -1;
        }
        WriteAll(obj->main_file, area, count);
        copied += count;
    }
    RaiseHighWater(obj);
    return 0;
}

int SessionFlush(txwObject *obj, bool at_stop) {
    ScopedLock lock(obj);
    // A file past its stop limit dropped the changes since: it is not
    // complete up to now.
    const bool taking_changes = !obj->stopped;
    if (obj->stopped && obj->changes_pending) {
        DiscardPendingChanges(obj);
    }
    const bool wrote_session = WriteSession(obj);
    StopIfPending(obj);
    if (obj->ring != nullptr) {
        RingAfterSessionFlush(obj);
    }
    const bool finished = obj->header.U8(kHdrFileStatus) == kStatusFinished;
    platform::FileHandle next_chain = platform::kNoFile;
    if (finished) {
        DebugLog(obj, "Finished trax data is flushed\n");
        if (obj->ring != nullptr) {
            RingSeekIndexPosition(obj);
        }
        WriteAnnotation(obj);
        CopySideFile(obj, obj->tree_list_file, "tlist", kHdrTreeListUoff);
        CopySideFile(obj, obj->session_list_file, "slist", kHdrSessionListUoff);
        if (obj->redundant_list_file != platform::kNoFile) {
            CopySideFile(obj, obj->redundant_list_file, "rlist", kHdrRedundantListUoff);
        }
        if (obj->string_file != platform::kNoFile && obj->header.U32(kHdrStringCount) > 0) {
            CopySideFile(obj, obj->string_file, "string", kHdrStringListUoff);
        }
        AppendEsdInfo(obj);
        obj->header.SetU64(kHdrChainUoff, obj->offsets->tell(obj->main_file));
        WriteChainTable(obj, obj->main_file);
        RaiseHighWater(obj);
        AppendNewStrings(obj);
        WriteOffsetAndStatisticsSections(obj);
    } else {
        if (wrote_session) {
            next_chain = WriteNextChainTable(obj);
        }
        AppendNewStrings(obj);
        WriteStatisticsSection(obj);
        // The header counts the new session now: its chain table may stand.
        InstallChainTable(obj, next_chain);
    }
    if (at_stop && !finished && taking_changes) {
        SetStopMark(obj);
    }
    WriteEnvironmentRecord(obj);
    WriteReservedArea(obj);
    if (obj->ring == nullptr || !obj->ring->commit_deferred) {
        CommitFiles(obj);
    }
    RaiseHighWater(obj);
    if (obj->debug_log != nullptr) {
        std::fflush(obj->debug_log);
    }
    return 0;
}

}  // namespace tavri::writer

extern "C" int txw_Flush(txwObject *obj) { return tavri::writer::SessionFlush(obj); }

extern "C" int txw_FlushAtStop(txwObject *obj) { return tavri::writer::SessionFlush(obj, true); }
