#include "writer/session_lists.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "writer/header_layout.h"
#include "writer/incore_var.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/wbuf.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "flush_session";
constexpr uint32_t kChainPiece = 65536;  // variables per write of the chain table
constexpr const char *kNextChainSuffix = ".chain.new";

// Records are built by growing the vector first and copying into the bytes
// it then owns.
void PutBytes(std::vector<uint8_t> &out, const void *bytes, size_t length) {
    const size_t at = out.size();
    out.resize(at + length);
    std::memcpy(out.data() + at, bytes, length);
}

void PutU32(std::vector<uint8_t> &out, uint32_t value) { PutBytes(out, &value, sizeof value); }

void PutLayouts(std::vector<uint8_t> &out, const BlockList &list) {
    for (const BlockNode *node = list.head; node != nullptr; node = node->next) {
        uint8_t bytes[kBlkLayoutSize];
        EncodeBlkLayout(node->layout, bytes);
        PutBytes(out, bytes, kBlkLayoutSize);
    }
}

void PutXtag(std::vector<uint8_t> &out, uint32_t high, uint32_t low) {
    PutU32(out, high);
    PutU32(out, low);
}

}  // namespace

void AppendTreeRecord(txwObject *obj, TreeRecord *tree) {
    std::vector<uint8_t> record;
    record.push_back(kTreeRecordMarker);
    PutU32(record, tree->count);
    PutU32(record, tree->scope_blocks.count);
    PutLayouts(record, tree->scope_blocks);
    PutU32(record, tree->var_blocks.count);
    PutLayouts(record, tree->var_blocks);
    PutU32(record, tree->data_type_blocks.count);
    PutLayouts(record, tree->data_type_blocks);
    platform::SeekEnd(obj->tree_list_file);
    WriteAll(obj->tree_list_file, record.data(), record.size());
    tree->written_to_tree_list = true;
}

void StartValueChangeStreams(txwObject *obj) {
    if (obj->vc_buffer == nullptr) {
        obj->vc_buffer = WBufCreate(obj->main_file, false, kWriteBufferCapacity, BlockKind::kValueChange);
    }
    if (obj->vc_chain_buffer == nullptr) {
        obj->vc_chain_buffer = WBufCreate(obj->main_file, false, kWriteBufferCapacity, BlockKind::kVcChain);
    }
    if (obj->vc_buffer == nullptr || obj->vc_chain_buffer == nullptr) {
        Warn("Memory resources exhausted!\n");
        std::exit(-3);
    }
    if (StreamPosition(obj, obj->vc_chain_buffer) == 0) {
        WBufPutByte(obj, obj->vc_chain_buffer, kVcChainStreamLead);
    }
    InstallChainTable(obj, WriteNextChainTable(obj));
}

void AppendSessionRecord(txwObject *obj) {
    const HeaderImage &header = obj->header;
    TXW_ASSERT(obj->session_vc_blocks.count <= 255 && obj->session_vc_chain_blocks.count <= 255, kSource);
    std::vector<uint8_t> record;
    record.push_back(kSessionRecordMarker);
    const Xtag start = obj->had_session
                           ? obj->previous_session_end
                           : Xtag{header.U32(kHdrMinXtag), header.U32(kHdrMinXtag + 4)};
    const Xtag end{header.U32(kHdrMaxXtag), header.U32(kHdrMaxXtag + 4)};
    PutXtag(record, start.high, start.low);
    PutXtag(record, end.high, end.low);
    PutU32(record, obj->vc_blocks_at_last_flush);
    record.push_back(static_cast<uint8_t>(obj->session_vc_blocks.count));
    PutLayouts(record, obj->session_vc_blocks);
    record.push_back(static_cast<uint8_t>(obj->session_vc_chain_blocks.count));
    PutLayouts(record, obj->session_vc_chain_blocks);
    platform::SeekEnd(obj->session_list_file);
    WriteAll(obj->session_list_file, record.data(), record.size());

    obj->previous_session_end = end;
    obj->had_session = true;
    obj->vc_blocks_at_last_flush = header.U32(kHdrVcBlkCnt);
    ReturnBlockNodes(obj, &obj->session_vc_blocks);
    ReturnBlockNodes(obj, &obj->session_vc_chain_blocks);
}

void WriteChainTable(txwObject *obj, platform::FileHandle file) {
    const bool wide = obj->header.U8(kHdrVcChainIs8Byte) == 1;
    const uint32_t entry_size = wide ? 9 : 5;
    std::vector<uint8_t> piece;
    piece.reserve(kChainPiece * entry_size);
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        if (tree->vars == nullptr) {
            continue;
        }
        for (uint32_t i = 0; i < tree->count; ++i) {
            const IncoreVar &var = tree->vars[i];
            uint8_t entry[9] = {};
            if (wide) {
                std::memcpy(entry, &var.chain_position, 8);
            } else {
                const auto low = static_cast<uint32_t>(var.chain_position);
                std::memcpy(entry, &low, 4);
            }
            entry[entry_size - 1] = var.lasting_flags & 7;
            piece.insert(piece.end(), entry, entry + entry_size);
            if (piece.size() == kChainPiece * entry_size) {
                WriteAll(file, piece.data(), piece.size());
                piece.clear();
            }
        }
    }
    if (!piece.empty()) {
        WriteAll(file, piece.data(), piece.size());
    }
}

platform::FileHandle WriteNextChainTable(txwObject *obj) {
    const std::string next_name = obj->file_name + kNextChainSuffix;
    const platform::FileHandle next = platform::CreateFile(next_name.c_str());
    if (next == platform::kNoFile) {
        platform::Seek(obj->chain_file, 0);
        WriteChainTable(obj, obj->chain_file);
        return platform::kNoFile;
    }
    WriteChainTable(obj, next);
    return next;
}

void InstallChainTable(txwObject *obj, platform::FileHandle next) {
    if (next == platform::kNoFile) {
        return;
    }
    const std::string name = obj->file_name + ".chain";
    const std::string next_name = obj->file_name + kNextChainSuffix;
    if (platform::Rename(next_name.c_str(), name.c_str()) != 0) {
        platform::Close(next);
        platform::Remove(next_name.c_str());
        platform::Seek(obj->chain_file, 0);
        WriteChainTable(obj, obj->chain_file);
        return;
    }
    platform::Close(obj->chain_file);
    obj->chain_file = next;
}

}  // namespace tavri::writer
