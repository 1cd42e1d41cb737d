// One open database: its header, the index structures (tree list, session
// list, chain table, string list) read from the end of a finished file or
// from the side files of a live one, and the value-change and vc chain
// streams that the sessions' block lists make up.
#ifndef TAVRI_READER_DATABASE_H
#define TAVRI_READER_DATABASE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/chain.h"
#include "reader/file_source.h"
#include "reader/lock.h"
#include "reader/ring.h"
#include "reader/sessions.h"
#include "reader/status.h"
#include "reader/stop_mark.h"
#include "reader/stream.h"
#include "reader/strings.h"
#include "reader/tree.h"
#include "reader/values.h"
#include "tavri/trax_reader.h"

namespace tavri::reader {

class Database {
  public:
    // Blocks kept decompressed: enough for a record across a boundary in
    // each of the two streams read together.
    static constexpr size_t kCachedBlocks = 4;

    Status Open(const std::string &path);

    const std::string &path() const { return path_; }
    const traxrHeader &header() const { return header_; }
    ByteOrder order() const { return order_.order(); }
    bool live() const { return live_; }
    bool has_annotation() const { return has_annotation_; }
    const std::string &annotation() const { return annotation_; }
    const TreeModel &tree() const { return tree_; }
    // Every session of the session list; in a ring file only those from
    // first_session() on are still in the file.
    const std::vector<SessionRecord> &sessions() const { return sessions_; }
    uint32_t first_session() const { return first_session_; }
    const Ring &ring() const { return ring_; }
    const ChainTable &chain_table() const { return chain_table_; }
    const StringList &strings() const { return strings_; }
    const BlockCache &cache() const { return *cache_; }
    const FieldOrder &field_order() const { return order_; }
    const Stream &vc_stream() const { return *vc_; }
    const Stream &chain_stream() const { return *chain_; }
    const FileSource &file() const { return file_; }
    // Where the chain table, the last structure of a finished file, ends;
    // 0 for a live file or one without a chain table.
    uint64_t data_end() const { return data_end_; }
    // The 512 header bytes as they lie in the file.
    const std::vector<uint8_t> &raw_header() const { return raw_header_; }
    // The 2048-byte creation-environment record at offset 512.
    const std::vector<uint8_t> &environment_record() const { return environment_; }
    // A live file's stop mark, if its writer set one.
    const std::optional<StopMark> &stop_mark() const { return stop_mark_; }
    // After reading the stored bytes of a block of a live ring file: fails
    // when the writer has since dropped the block's session (its bytes may
    // then be newer data). Other blocks and files always pass.
    Status CheckStillHeld(const BlockLayout &layout);
    // What an element decoder needs to know of the idcode's variable.
    ArrayContext ContextFor(uint32_t idcode) const;

    // An idcode of the file: one of the chain table or of a variable record,
    // or any up to the header's maximum. Only the chain table's can have
    // changes.
    bool IsIdcode(uint32_t idcode) const;

    // The idcode's vc chain entries, oldest first.
    Status ReadChainEntries(uint32_t idcode, std::vector<ChainEntry> *out);
    // The idcode's value changes in time order.
    Status ReadChanges(uint32_t idcode, std::vector<Change> *out);
    // The changes of every idcode in the chain table (index = idcode), each
    // block read once: the
    // chains are followed back from the chain table through all idcodes at
    // once, the latest position first, one session at a time.
    Status ReadAllChanges(std::vector<std::vector<Change>> *out);

  private:
    Status Load();
    Status ReadHeader();
    Status LoadFinished(std::vector<TreeRecord> *trees);
    Status LoadLive(std::vector<TreeRecord> *trees);
    Status BuildStreams(std::vector<TreeRecord> &trees);
    Status ReadSection(const char *what, uint64_t offset, uint64_t length,
                       std::vector<uint8_t> *out) const;
    Status LoadRedundantList();
    void GuardLiveRing();

    std::string path_;
    std::vector<uint8_t> raw_header_;
    std::vector<uint8_t> environment_;
    std::optional<StopMark> stop_mark_;
    FileSource file_;
    traxrHeader header_{};
    FieldOrder order_;
    bool live_ = false;
    uint64_t data_end_ = 0;
    bool has_annotation_ = false;
    std::string annotation_;
    std::unique_ptr<BlockCache> cache_;
    TreeModel tree_;
    std::vector<SessionRecord> sessions_;
    uint32_t first_session_ = 0;
    Ring ring_;
    // Live ring files: the first vc chain block of the session of each
    // retained block (by offset), and the lock the writer drops sessions in.
    std::unordered_map<uint64_t, uint32_t> held_blocks_;
    std::unique_ptr<ReaderLock> ring_lock_;
    ChainTable chain_table_;
    StringList strings_;
    std::unique_ptr<Stream> vc_;
    std::unique_ptr<Stream> chain_;
};

}  // namespace tavri::reader

#endif
