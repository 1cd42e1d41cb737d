#include <cstdio>
#include <cstdlib>

#include "writer/compressor.h"
#include "writer/debug_log.h"
#include "writer/env_registry.h"
#include "writer/flush_session.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/object_lifecycle.h"
#include "writer/region.h"
#include "writer/ring.h"
#include "writer/strings.h"
#include "writer/tree.h"
#include "writer/var_map.h"
#include "writer/vc_mem_pool.h"
#include "writer/wbuf.h"

using namespace tavri::writer;
namespace platform = tavri::platform;

namespace {

constexpr const char *kSource = "object";

// Empties, closes and removes one side file.
void DeleteSideFile(platform::FileHandle *file, const std::string &name) {
    if (*file == platform::kNoFile) {
        return;
    }
    platform::Truncate(*file, 0);
    platform::Close(*file);
    *file = platform::kNoFile;
    platform::Remove(name.c_str());
}

void CloseFile(platform::FileHandle *file) {
    if (*file != platform::kNoFile) {
        platform::Close(*file);
        *file = platform::kNoFile;
    }
}

void FreeBlockList(BlockList *list) {
    for (BlockNode *node = list->head; node != nullptr;) {
        BlockNode *next = node->next;
        delete node;
        node = next;
    }
    *list = BlockList{};
}

}  // namespace

namespace tavri::writer {

void RemoveSideFiles(txwObject *obj) {
    DeleteSideFile(&obj->tree_list_file, obj->file_name + ".tlist");
    DeleteSideFile(&obj->session_list_file, obj->file_name + ".slist");
    DeleteSideFile(&obj->redundant_list_file, obj->file_name + ".rlist");
    DeleteSideFile(&obj->chain_file, obj->file_name + ".chain");
    if (!obj->leave_string_file) {
        DeleteSideFile(&obj->string_file, obj->file_name + ".str");
    } else {
        CloseFile(&obj->string_file);
    }
    RemoveLockFile(obj);
    if (TXW_GETENV("TXW_ENV_ESD_DBG") != nullptr) {
        CloseFile(&obj->esd_expression_file);
        CloseFile(&obj->esd_table_file);
    } else {
        DeleteSideFile(&obj->esd_expression_file, obj->file_name + ".esd.exp");
        DeleteSideFile(&obj->esd_table_file, obj->file_name + ".esd.tbl");
    }
}

void FreeObject(txwObject *obj) {
    if (obj == nullptr) {
        return;
    }
    CloseFile(&obj->main_file);
    RemoveSideFiles(obj);
    if (obj->debug_log != nullptr) {
        std::fclose(obj->debug_log);
        obj->debug_log = nullptr;
    }
    CompressorFree(obj->compressor);
    FreeTrees(obj);
    DestroyVarMap(obj);
    DestroyStrings(obj);
    VcDestroy(obj->vc_memory);
    for (WriteBuffer *buffer : {obj->scope_buffer, obj->var_buffer, obj->data_type_buffer,
                                obj->vc_buffer, obj->vc_chain_buffer}) {
        WBufDestroy(buffer);
    }
    for (TreeRecord *tree = obj->trees; tree != nullptr;) {
        TreeRecord *next = tree->next;
        FreeBlockList(&tree->scope_blocks);
        FreeBlockList(&tree->var_blocks);
        FreeBlockList(&tree->data_type_blocks);
        delete tree;
        tree = next;
    }
    FreeBlockList(&obj->session_vc_blocks);
    FreeBlockList(&obj->session_vc_chain_blocks);
    for (BlockNode *node = obj->free_block_nodes; node != nullptr;) {
        BlockNode *next = node->next;
        delete node;
        node = next;
    }
    if (obj->bcn_last_val_vm != nullptr) {
        RegionClose(obj->bcn_last_val_vm);
    }
    delete[] obj->annotation;
    FreeRing(obj);
    delete obj;
}

}  // namespace tavri::writer

namespace tavri::writer {

int FinishObjectFile(txwObject *obj) {
    obj->header.SetU8(kHdrFileStatus, kStatusFinished);
    txw_DumpOn(obj);
    {
        ScopedLock lock(obj);
        const int status = SessionFlush(obj);
        if (status != 0) {
            return status;
        }
    }
    CloseFile(&obj->main_file);
    DebugLog(obj, "trax file is closed\n");
    if (obj->debug_log != nullptr) {
        std::fclose(obj->debug_log);
        obj->debug_log = nullptr;
    }
    RemoveSideFiles(obj);
    return 0;
}

}  // namespace tavri::writer

extern "C" int txw_CloseFile(txwObject *obj) {
    TXW_ASSERT(obj->ref_count != 0, kSource);
    if (--obj->ref_count > 0) {
        Warn("Another application is writing to TRAX file (%s), so it cannot be closed.\n"
             "Reference count = (%u).",
             obj->file_name.c_str(), obj->ref_count);
        return TXW_ERROR;
    }
    if (const int status = FinishObjectFile(obj); status != 0) {
        ++obj->ref_count;  // the object stays open and usable
        return status;
    }
    TXW_ASSERT(obj->first_session, kSource);
    ParkClosedObject(obj);
    if (obj->progress_newline) {
        std::fputc('\n', stderr);
    }
    return 0;
}
