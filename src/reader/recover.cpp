#include "reader/recover.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"
#include "platform/writer_presence.h"
#include "reader/check.h"
#include "reader/database.h"
#include "reader/header.h"
#include "reader/ring.h"

namespace tavri::reader {
namespace {

// Header fields that a finished file has and a live one lacks or keeps
// stale (offsets of the 512-byte header).
constexpr size_t kTreeListUoff = 192;
constexpr size_t kSessionListUoff = 200;
constexpr size_t kChainUoff = 208;
constexpr size_t kAnnotationUoff = 216;
constexpr size_t kStringListUoff = 224;
constexpr size_t kRedundantListUoff = 232;
constexpr size_t kAnnotationLength = 304;
constexpr size_t kEnvironmentRecordPresent = 440;
constexpr size_t kScopeBlkCnt = 444;
constexpr size_t kVarBlkCnt = 448;
constexpr size_t kDataTypeBlkCnt = 452;
constexpr size_t kVcBlkCnt = 456;
constexpr size_t kVcChainBlkCnt = 460;
constexpr size_t kSessionCount = 464;
constexpr size_t kFileStatus = 504;

constexpr uint8_t kNoTimeTagYet = 1;
constexpr uint64_t kCopyChunk = 1 << 20;

// The first `length` bytes of a side file.
Status ReadSide(const std::string &path, const char *what, uint64_t length,
                std::vector<uint8_t> *out) {
    out->clear();
    if (length == 0) return Status();
    FileSource side;
    TAVRI_RETURN_IF_ERROR(side.Open(path, what));
    return side.Read(0, length, out);
}

uint64_t SideSize(const std::string &path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

uint64_t TreeRecordBytes(const TreeRecord &tree) {
    return 1 + 4 + 3 * 4 +
           kLayoutBytes * (tree.scope_blocks.size() + tree.var_blocks.size() +
                           tree.data_type_blocks.size());
}

// Where the kept data ends: after the last block that a tree or a session
// names, dropped ring sessions included (their space may hold kept blocks).
uint64_t KeptDataEnd(const Database &db) {
    uint64_t end = kDataStart;
    auto extend = [&end](const std::vector<BlockLayout> &blocks) {
        for (const BlockLayout &b : blocks) end = std::max(end, b.offset + b.stored_length);
    };
    for (const TreeInfo &tree : db.tree().trees()) {
        extend(tree.record.scope_blocks);
        extend(tree.record.var_blocks);
        extend(tree.record.data_type_blocks);
    }
    for (const SessionRecord &session : db.sessions()) {
        extend(session.vc_blocks);
        extend(session.chain_blocks);
    }
    return end;
}

// The committed chain table, padded with the entries of variables that
// never changed up to `length` bytes.
Status ChooseChainTable(const Database &db, const std::string &path, uint64_t length,
                        std::vector<uint8_t> *out, bool *used_new) {
    *used_new = false;
    const bool eight_byte = db.header().vc_chain_is_8byte != 0;
    const std::string next = path + ".chain.new";
    if (length > 0 && SideSize(next) == length) {
        std::vector<uint8_t> bytes;
        ChainTable table;
        if (ReadSide(next, "new chain file", length, &bytes).ok() &&
            ParseChainTable(bytes.data(), bytes.size(), eight_byte, db.field_order(), &table).ok()) {
            const bool committed = std::all_of(table.last.begin(), table.last.end(), [&](uint64_t p) {
                return p == 0 || db.chain_stream().FindPosition(p) != nullptr;
            });
            if (committed && table.last != db.chain_table().last) {
                *out = std::move(bytes);
                *used_new = true;
                return Status();
            }
        }
    }
    const uint64_t have = std::min(SideSize(path + ".chain"), length);
    TAVRI_RETURN_IF_ERROR(ReadSide(path + ".chain", "chain file", have, out));
    out->resize(length, 0);
    return Status();
}

class Output {
  public:
    ~Output() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Status Create(const std::string &path) {
        path_ = path;
        file_ = std::fopen(path.c_str(), "wbx");  // never over an existing file
        if (file_ == nullptr) {
            return Fail(TRAXR_ERR_IO, "cannot create %s: %s", path.c_str(),
                        platform::ErrorText(errno));
        }
        return Status();
    }
    uint64_t position() const { return position_; }
    Status Append(const uint8_t *bytes, size_t length) {
        if (length != 0 && std::fwrite(bytes, 1, length, file_) != length) return WriteError();
        position_ += length;
        return Status();
    }
    Status Append(const std::vector<uint8_t> &bytes) { return Append(bytes.data(), bytes.size()); }
    Status WriteAtStart(const std::vector<uint8_t> &bytes) {
        if (std::fseek(file_, 0, SEEK_SET) != 0 ||
            std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
            return WriteError();
        }
        return Status();
    }
    Status Finish() {
        const bool flushed = std::fflush(file_) == 0 && platform::Commit(fileno(file_)) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return flushed && closed ? Status() : WriteError();
    }

  private:
    Status WriteError() const {
        return Fail(TRAXR_ERR_IO, "writing %s failed: %s", path_.c_str(), platform::ErrorText(errno));
    }
    std::FILE *file_ = nullptr;
    std::string path_;
    uint64_t position_ = 0;
};

// Writes the finished file to `temporary`.
Status Rebuild(Database *db, const std::string &path, const std::string &temporary,
               RecoverResult *result) {
    const traxrHeader &h = db->header();
    const FieldWriter put(db->order());
    std::vector<uint8_t> header = db->raw_header();

    // What each side file holds of the committed state.
    uint64_t tree_list_length = 0;
    uint64_t chain_length = 0;
    for (const TreeInfo &tree : db->tree().trees()) {
        tree_list_length += TreeRecordBytes(tree.record);
        chain_length += static_cast<uint64_t>(tree.record.idcode_count) * (h.vc_chain_is_8byte ? 9 : 5);
    }
    std::vector<uint8_t> tree_list, session_list, redundant_list, string_list, chain_table;
    TAVRI_RETURN_IF_ERROR(ReadSide(path + ".tlist", "tree list file", tree_list_length, &tree_list));
    TAVRI_RETURN_IF_ERROR(
        ReadSide(path + ".slist", "session list file", h.session_list_size, &session_list));
    TAVRI_RETURN_IF_ERROR(ReadSide(path + ".str", "string file", h.string_list_size, &string_list));
    if (h.dump_limit != 0) {
        TAVRI_RETURN_IF_ERROR(
            ReadSide(path + ".rlist", "redundant vc chain list file", kRedundantListHead, &redundant_list));
        const uint32_t ranges = db->field_order().U32(redundant_list.data() + 1);
        TAVRI_RETURN_IF_ERROR(ReadSide(path + ".rlist", "redundant vc chain list file",
                                       kRedundantListHead + uint64_t{ranges} * kRedundantRangeBytes,
                                       &redundant_list));
    }
    TAVRI_RETURN_IF_ERROR(
        ChooseChainTable(*db, path, chain_length, &chain_table, &result->used_new_chain));

    Output out;
    TAVRI_RETURN_IF_ERROR(out.Create(temporary));
    const uint64_t data_end = KeptDataEnd(*db);
    std::vector<uint8_t> chunk;
    for (uint64_t at = 0; at < data_end; at += chunk.size()) {
        TAVRI_RETURN_IF_ERROR(db->file().Read(at, std::min(kCopyChunk, data_end - at), &chunk));
        TAVRI_RETURN_IF_ERROR(out.Append(chunk));
    }
    // The index structures in the order of the writer's final flush; the
    // annotation lived only in the writer's memory.
    put.U64(&header[kAnnotationUoff], 0);
    put.U32(&header[kAnnotationLength], 0);
    put.U64(&header[kTreeListUoff], out.position());
    TAVRI_RETURN_IF_ERROR(out.Append(tree_list));
    put.U64(&header[kSessionListUoff], out.position());
    TAVRI_RETURN_IF_ERROR(out.Append(session_list));
    put.U64(&header[kRedundantListUoff], redundant_list.empty() ? 0 : out.position());
    TAVRI_RETURN_IF_ERROR(out.Append(redundant_list));
    put.U64(&header[kStringListUoff], string_list.empty() ? 0 : out.position());
    TAVRI_RETURN_IF_ERROR(out.Append(string_list));
    put.U64(&header[kChainUoff], out.position());
    TAVRI_RETURN_IF_ERROR(out.Append(chain_table));

    // Counts of what was kept: a tree ended after the last flush may have
    // rewritten them while a session's first blocks were already stored.
    uint32_t scope_blocks = 0, var_blocks = 0, data_type_blocks = 0, vc_blocks = 0, chain_blocks = 0;
    for (const TreeInfo &tree : db->tree().trees()) {
        scope_blocks += static_cast<uint32_t>(tree.record.scope_blocks.size());
        var_blocks += static_cast<uint32_t>(tree.record.var_blocks.size());
        data_type_blocks += static_cast<uint32_t>(tree.record.data_type_blocks.size());
    }
    for (const SessionRecord &session : db->sessions()) {
        vc_blocks += static_cast<uint32_t>(session.vc_blocks.size());
        chain_blocks += static_cast<uint32_t>(session.chain_blocks.size());
    }
    put.U32(&header[kScopeBlkCnt], scope_blocks);
    put.U32(&header[kVarBlkCnt], var_blocks);
    put.U32(&header[kDataTypeBlkCnt], data_type_blocks);
    put.U32(&header[kVcBlkCnt], vc_blocks);
    put.U32(&header[kVcChainBlkCnt], chain_blocks);
    put.U32(&header[kSessionCount], static_cast<uint32_t>(db->sessions().size()));
    header[kEnvironmentRecordPresent] = 1;  // written at open, before any flush
    header[kFileStatus] = kStatusFinished;
    TAVRI_RETURN_IF_ERROR(out.WriteAtStart(header));
    TAVRI_RETURN_IF_ERROR(out.Finish());

    result->dropped_bytes = db->file().size() - std::min(db->file().size(), data_end);
    result->torn = result->dropped_bytes > 0 ||
                   SideSize(path + ".slist") > h.session_list_size ||
                   SideSize(path + ".str") > h.string_list_size ||
                   (platform::Exists((path + ".chain.new").c_str()) && !result->used_new_chain);
    return Status();
}

}  // namespace

std::string RecoveredName(const std::string &path) {
    const std::string extension = ".trax";
    if (path.size() > extension.size() &&
        path.compare(path.size() - extension.size(), extension.size(), extension) == 0) {
        return path.substr(0, path.size() - extension.size()) + ".recovered" + extension;
    }
    return path + ".recovered";
}

Status RecoverFile(const std::string &path, const std::string &out_path, RecoverResult *result) {
    *result = RecoverResult();
    std::error_code error;
    if (out_path == path || std::filesystem::equivalent(path, out_path, error)) {
        return Fail(TRAXR_ERR_ARGUMENT,
                    "the recovered file must not replace %s: give another output name",
                    path.c_str());
    }
    if (std::filesystem::exists(out_path, error)) {
        return Fail(TRAXR_ERR_ARGUMENT, "%s exists already; recover never writes over a file",
                    out_path.c_str());
    }
    if (platform::HasLiveWriter(path.c_str())) {
        return Fail(TRAXR_ERR_ARGUMENT,
                    "a running writer still holds %s; it finishes the file when it closes it",
                    path.c_str());
    }
    Database db;
    TAVRI_RETURN_IF_ERROR(db.Open(path));
    if (!db.live()) {
        return Fail(TRAXR_ERR_ARGUMENT, "%s is finished; there is nothing to recover",
                    path.c_str());
    }
    const traxrHeader &h = db.header();
    result->sessions = static_cast<uint32_t>(db.sessions().size());
    result->has_time = h.xtag_type != kNoTimeTagYet;
    result->first_time = h.minimum_xtag;
    result->end_time = db.sessions().empty() ? h.maximum_xtag : db.sessions().back().end_time;

    const std::string temporary = out_path + ".part";
    if (std::filesystem::exists(temporary, error)) {
        return Fail(TRAXR_ERR_ARGUMENT,
                    "%s exists: another recover is writing it, or one was stopped (remove it "
                    "then)",
                    temporary.c_str());
    }
    Status status = Rebuild(&db, path, temporary, result);
    if (status.ok()) {
        Database rebuilt;
        status = rebuilt.Open(temporary);
        if (status.ok()) {
            CheckDatabase(&rebuilt, [&](const std::string &failure) {
                result->check_failures.push_back(failure);
            });
            if (!result->check_failures.empty()) {
                status = Fail(TRAXR_ERR_CORRUPT, "the rebuilt file does not pass the checks");
            }
        }
    }
    // A hard link, unlike a rename, never replaces a file that appeared
    // under the output name meanwhile.
    if (status.ok()) {
        std::filesystem::create_hard_link(temporary, out_path, error);
        if (error) {
            status = Fail(TRAXR_ERR_IO, "cannot create %s: %s", out_path.c_str(),
                          error.message().c_str());
        }
    }
    std::filesystem::remove(temporary, error);
    return status;
}

}  // namespace tavri::reader
