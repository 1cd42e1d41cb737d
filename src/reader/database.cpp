#include "reader/database.h"

#include <algorithm>
#include <queue>
#include <utility>

#include "reader/header.h"
#include "reader/lock.h"

namespace tavri::reader {
namespace {

// A side file, or nothing when it does not exist and is not required.
Status OpenSideFile(const std::string &path, const char *what, bool required, FileSource *side,
                    bool *opened) {
    *opened = false;
    Status status = side->Open(path, what);
    if (!status.ok()) {
        return required ? status : Status();
    }
    *opened = true;
    return Status();
}

// The tree list has no size of its own. Its length is found from the block
// counts of its `count` records, read one by one, so that no more than the
// records name is read; the walk stops at `limit` (the parse then says
// which record runs past it).
Status MeasureTreeList(const FileSource &source, uint64_t offset, uint64_t limit, uint32_t count,
                       const FieldOrder &order, uint64_t *length) {
    limit = std::min(limit, source.size());
    uint64_t at = offset;
    for (uint32_t tree = 0; tree < count && at <= limit; ++tree) {
        at += 1 + 4;  // marker, variable count
        // Scope, variable and data type blocks: a count, then the layouts.
        for (int list = 0; list < 3 && at <= limit; ++list) {
            uint8_t bytes[4];
            if (limit - at < sizeof bytes) {
                at = limit + 1;
                break;
            }
            TAVRI_RETURN_IF_ERROR(source.Read(at, sizeof bytes, bytes));
            at += sizeof bytes + static_cast<uint64_t>(order.U32(bytes)) * kLayoutBytes;
        }
    }
    *length = std::min(at, limit) - std::min(offset, limit);
    return Status();
}

// One entry per idcode of every tree, in tree order.
uint64_t ChainTableLength(const std::vector<TreeRecord> &trees, bool eight_byte) {
    uint64_t entries = 0;
    for (const TreeRecord &tree : trees) {
        entries += tree.idcode_count;
    }
    return entries * (eight_byte ? 9 : 5);
}

}  // namespace

Status Database::Open(const std::string &path) {
    path_ = path;
    TAVRI_RETURN_IF_ERROR(Load());
    GuardLiveRing();
    return Status();
}

Status Database::Load() {
    TAVRI_RETURN_IF_ERROR(file_.Open(path_, "database file"));
    TAVRI_RETURN_IF_ERROR(ReadHeader());
    cache_ = std::make_unique<BlockCache>(&file_, kCachedBlocks, header_.compression_method);

    std::vector<TreeRecord> trees;
    if (header_.file_status == kStatusFinished) {
        TAVRI_RETURN_IF_ERROR(LoadFinished(&trees));
        return BuildStreams(trees);
    }
    if (header_.synchronous_control != 1) {
        TAVRI_RETURN_IF_ERROR(LoadLive(&trees));
        return BuildStreams(trees);
    }
    // The writer holds this lock while it flushes a session or rewrites the
    // header, so inside it the header, the side files and the blocks they
    // name agree. What the first look at the header saw may be stale by now.
    ReaderLock lock(LockPath(path_));
    TAVRI_RETURN_IF_ERROR(lock.Lock());
    TAVRI_RETURN_IF_ERROR(file_.Refresh());
    TAVRI_RETURN_IF_ERROR(ReadHeader());
    if (header_.file_status == kStatusFinished) {
        TAVRI_RETURN_IF_ERROR(LoadFinished(&trees));
    } else {
        TAVRI_RETURN_IF_ERROR(LoadLive(&trees));
    }
    return BuildStreams(trees);
}

Status Database::ReadHeader() {
    uint8_t bytes[kHeaderSize] = {};
    const uint64_t available = std::min<uint64_t>(file_.size(), kHeaderSize);
    TAVRI_RETURN_IF_ERROR(file_.Read(0, available, bytes));
    ByteOrder order;
    TAVRI_RETURN_IF_ERROR(ParseHeader(bytes, available, file_.size(), &header_, &order));
    order_ = FieldOrder(order);
    live_ = header_.file_status != kStatusFinished;
    raw_header_.assign(bytes, bytes + kHeaderSize);
    TAVRI_RETURN_IF_ERROR(file_.Read(kHeaderSize, kEnvironmentRecordSize, &environment_));
    stop_mark_.reset();
    if (live_ && file_.size() >= kStopMarkOffset + kStopMarkSize) {
        uint8_t mark[kStopMarkSize];
        TAVRI_RETURN_IF_ERROR(file_.Read(kStopMarkOffset, kStopMarkSize, mark));
        stop_mark_ = ParseStopMark(mark, order_);
    }
    return Status();
}

// The redundant vc chain list: at `redundant list uoff` in a finished file,
// in ".rlist" beside a live one. Only files written under a dump limit have
// one, and they always do.
Status Database::LoadRedundantList() {
    const traxrHeader &h = header_;
    if (h.dump_limit == 0) {
        if (!live_ && h.redundant_list_uoff != 0) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the header puts a redundant vc chain list at %llu, but the file has no "
                        "dump limit",
                        static_cast<unsigned long long>(h.redundant_list_uoff));
        }
        return Status();
    }
    std::vector<uint8_t> head, ranges;
    uint32_t count = 0;
    if (!live_) {
        if (h.redundant_list_uoff == 0) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the file was written under a dump limit of %u MB, but the header puts "
                        "no redundant vc chain list in it",
                        h.dump_limit);
        }
        const char *what = "redundant vc chain list";
        TAVRI_RETURN_IF_ERROR(ReadSection(what, h.redundant_list_uoff, kRedundantListHead, &head));
        TAVRI_RETURN_IF_ERROR(ParseRedundantListHead(head.data(), order_, &count));
        TAVRI_RETURN_IF_ERROR(ReadSection(what, h.redundant_list_uoff + kRedundantListHead,
                                          uint64_t{count} * kRedundantRangeBytes, &ranges));
    } else {
        // Rewritten from its start after every flush, never cut short: its
        // own count says how much of it is valid.
        FileSource side;
        bool opened;
        TAVRI_RETURN_IF_ERROR(OpenSideFile(path_ + ".rlist", "redundant vc chain list file", true,
                                           &side, &opened));
        TAVRI_RETURN_IF_ERROR(side.Read(0, kRedundantListHead, &head));
        TAVRI_RETURN_IF_ERROR(ParseRedundantListHead(head.data(), order_, &count));
        TAVRI_RETURN_IF_ERROR(
            side.Read(kRedundantListHead, uint64_t{count} * kRedundantRangeBytes, &ranges));
    }
    std::vector<RedundantRange> list;
    ParseRedundantRanges(ranges.data(), count, order_, &list);
    ring_ = Ring(h.first_valid_vc_chain_block, std::move(list));
    return Status();
}

Status Database::ReadSection(const char *what, uint64_t offset, uint64_t length,
                             std::vector<uint8_t> *out) const {
    if (offset < kDataStart) {
        return Fail(TRAXR_ERR_CORRUPT, "the %s starts at %llu, inside the header area", what,
                    static_cast<unsigned long long>(offset));
    }
    if (offset > file_.size() || length > file_.size() - offset) {
        return Fail(TRAXR_ERR_TRUNCATED,
                    "the %s (%llu bytes at %llu) runs past the end of the file (%llu bytes)", what,
                    static_cast<unsigned long long>(length),
                    static_cast<unsigned long long>(offset),
                    static_cast<unsigned long long>(file_.size()));
    }
    return file_.Read(offset, length, out);
}

// A finished file ends with: annotation, tree list, session list, string
// list and the chain table, which runs to the end of the file.
Status Database::LoadFinished(std::vector<TreeRecord> *trees) {
    const traxrHeader &h = header_;
    std::vector<uint8_t> bytes;
    if (h.annotation_length > 0) {
        TAVRI_RETURN_IF_ERROR(
            ReadSection("annotation", h.annotation_uoff, h.annotation_length, &bytes));
        if (bytes.back() != 0) {
            return Fail(TRAXR_ERR_CORRUPT, "the annotation has no terminating NUL");
        }
        annotation_.assign(reinterpret_cast<const char *>(bytes.data()));
        has_annotation_ = true;
    }
    if (h.tree_count > 0) {
        // The session list follows the tree list.
        const uint64_t limit = h.session_list_uoff > h.tree_list_uoff ? h.session_list_uoff
                                                                      : file_.size();
        uint64_t length;
        TAVRI_RETURN_IF_ERROR(
            MeasureTreeList(file_, h.tree_list_uoff, limit, h.tree_count, order_, &length));
        TAVRI_RETURN_IF_ERROR(ReadSection("tree list", h.tree_list_uoff, length, &bytes));
        TAVRI_RETURN_IF_ERROR(
            ParseTreeList(bytes.data(), bytes.size(), h.tree_count, order_, trees));
    }
    if (h.session_count > 0 || h.session_list_size > 0) {
        TAVRI_RETURN_IF_ERROR(
            ReadSection("session list", h.session_list_uoff, h.session_list_size, &bytes));
        TAVRI_RETURN_IF_ERROR(
            ParseSessionList(bytes.data(), bytes.size(), h.session_count, order_, &sessions_));
    }
    if (h.string_count > 0 || h.string_list_size > 0) {
        TAVRI_RETURN_IF_ERROR(
            ReadSection("string list", h.string_list_uoff, h.string_list_size, &bytes));
        TAVRI_RETURN_IF_ERROR(strings_.Parse(std::move(bytes), h.string_count));
    }
    // The chain table is the last structure; its length follows from the
    // trees, and nothing after it is read (a file extended past its end,
    // e.g. sparsely, costs no memory).
    if (h.chain_uoff != 0 || h.tree_count > 0) {
        const uint64_t length = ChainTableLength(*trees, h.vc_chain_is_8byte != 0);
        TAVRI_RETURN_IF_ERROR(ReadSection("chain table", h.chain_uoff, length, &bytes));
        TAVRI_RETURN_IF_ERROR(ParseChainTable(bytes.data(), bytes.size(), h.vc_chain_is_8byte != 0,
                                              order_, &chain_table_));
        data_end_ = h.chain_uoff + length;
    }
    // Every idcode of every tree, the dump-off marker 0 included, has its
    // entry.
    if (h.tree_count > 0 &&
        chain_table_.last.size() < static_cast<uint64_t>(h.max_var_idcode) + 1) {
        return Fail(TRAXR_ERR_TRUNCATED, "the chain table has %zu entries, idcodes run to %u",
                    chain_table_.last.size(), h.max_var_idcode);
    }
    return LoadRedundantList();
}

// While the file is live its index structures are in side files; the
// header says how much of the session and string lists is valid.
Status Database::LoadLive(std::vector<TreeRecord> *trees) {
    const traxrHeader &h = header_;
    std::vector<uint8_t> bytes;
    bool opened;
    if (h.tree_count > 0) {
        FileSource side;
        TAVRI_RETURN_IF_ERROR(
            OpenSideFile(path_ + ".tlist", "tree list file", true, &side, &opened));
        uint64_t length;
        TAVRI_RETURN_IF_ERROR(
            MeasureTreeList(side, 0, side.size(), h.tree_count, order_, &length));
        TAVRI_RETURN_IF_ERROR(side.Read(0, length, &bytes));
        TAVRI_RETURN_IF_ERROR(
            ParseTreeList(bytes.data(), bytes.size(), h.tree_count, order_, trees));
    }
    if (h.session_count > 0 || h.session_list_size > 0) {
        FileSource side;
        TAVRI_RETURN_IF_ERROR(
            OpenSideFile(path_ + ".slist", "session list file", true, &side, &opened));
        TAVRI_RETURN_IF_ERROR(side.Read(0, h.session_list_size, &bytes));
        TAVRI_RETURN_IF_ERROR(
            ParseSessionList(bytes.data(), bytes.size(), h.session_count, order_, &sessions_));
    }
    if (h.string_count > 0 || h.string_list_size > 0) {
        FileSource side;
        TAVRI_RETURN_IF_ERROR(OpenSideFile(path_ + ".str", "string file", true, &side, &opened));
        TAVRI_RETURN_IF_ERROR(side.Read(0, h.string_list_size, &bytes));
        TAVRI_RETURN_IF_ERROR(strings_.Parse(std::move(bytes), h.string_count));
    }
    // The chain table exists from the end of the first tree on; it may miss
    // the variables of trees ended since the last session, and holds none
    // beyond the trees the header counts.
    bytes.clear();
    FileSource side;
    TAVRI_RETURN_IF_ERROR(
        OpenSideFile(path_ + ".chain", "chain file", h.session_count > 0, &side, &opened));
    if (opened) {
        const uint64_t length =
            std::min(side.size(), ChainTableLength(*trees, h.vc_chain_is_8byte != 0));
        TAVRI_RETURN_IF_ERROR(side.Read(0, length, &bytes));
    }
    TAVRI_RETURN_IF_ERROR(ParseChainTable(bytes.data(), bytes.size(), h.vc_chain_is_8byte != 0,
                                          order_, &chain_table_));
    return LoadRedundantList();
}

Status Database::BuildStreams(std::vector<TreeRecord> &trees) {
    TAVRI_RETURN_IF_ERROR(tree_.Load(std::move(trees), cache_.get(), order_, header_.file_type,
                                     header_.max_var_idcode));
    if (ring_.active() && ring_.first_valid_block() > header_.vc_chain_blk_cnt) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "the first valid vc chain block %u lies beyond the %u vc chain blocks the "
                    "header counts",
                    ring_.first_valid_block(), header_.vc_chain_blk_cnt);
    }
    first_session_ = ring_.FirstRetained(sessions_);
    vc_ = std::make_unique<Stream>("value-change", cache_.get(), true);
    chain_ = std::make_unique<Stream>("vc chain", cache_.get(), true);
    for (uint32_t s = 0; s < sessions_.size(); ++s) {
        const SessionRecord &session = sessions_[s];
        if (static_cast<uint64_t>(session.first_vc_block) + session.vc_blocks.size() >
            header_.vc_blk_cnt) {
            return Fail(
                TRAXR_ERR_CORRUPT,
                "session %u names value-change blocks up to %llu, the header counts %u", s,
                static_cast<unsigned long long>(session.first_vc_block) + session.vc_blocks.size(),
                header_.vc_blk_cnt);
        }
        if (static_cast<uint64_t>(session.first_chain_block) + session.chain_blocks.size() >
            header_.vc_chain_blk_cnt) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the sessions name more vc chain blocks than the %u the header counts",
                        header_.vc_chain_blk_cnt);
        }
        // The blocks of a dropped ring session may hold newer data by now.
        if (s < first_session_) continue;
        for (uint32_t i = 0; i < session.vc_blocks.size(); ++i) {
            TAVRI_RETURN_IF_ERROR(vc_->Add(session.first_vc_block + i, session.vc_blocks[i], s));
        }
        for (uint32_t i = 0; i < session.chain_blocks.size(); ++i) {
            const uint32_t index = session.first_chain_block + i;
            TAVRI_RETURN_IF_ERROR(
                chain_->Add(index, session.chain_blocks[i], s, ring_.RedundantBlock(index)));
        }
    }
    for (uint32_t idcode = 0; idcode < chain_table_.last.size(); ++idcode) {
        const uint64_t last = chain_table_.last[idcode];
        if (last != 0 && !ring_.Dropped(last) && chain_->FindPosition(last) == nullptr) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the chain table puts idcode %u at 0x%llx, outside the vc chain stream",
                        idcode, static_cast<unsigned long long>(last));
        }
    }
    return Status();
}

// The writer overwrites the blocks of the ring sessions it drops, inside a
// flush that holds the lock and ends by writing the new first valid vc chain
// block into the header. A block read before the lock is taken again and
// that header field still keeps its session was therefore not overwritten
// while it was read.
void Database::GuardLiveRing() {
    if (!live_ || !ring_.active()) return;
    for (uint32_t s = first_session_; s < sessions_.size(); ++s) {
        const SessionRecord &session = sessions_[s];
        for (const BlockLayout &layout : session.vc_blocks) {
            held_blocks_[layout.offset] = session.first_chain_block;
        }
        for (const BlockLayout &layout : session.chain_blocks) {
            held_blocks_[layout.offset] = session.first_chain_block;
        }
    }
    if (header_.synchronous_control == 1) {
        ring_lock_ = std::make_unique<ReaderLock>(LockPath(path_));
    }
    cache_->SetReadCheck([this](const BlockLayout &layout) { return CheckStillHeld(layout); });
}

Status Database::CheckStillHeld(const BlockLayout &layout) {
    const auto held = held_blocks_.find(layout.offset);
    if (held == held_blocks_.end()) return Status();
    constexpr uint64_t kFirstValidField = 424;
    uint8_t bytes[4];
    if (ring_lock_ != nullptr) TAVRI_RETURN_IF_ERROR(ring_lock_->Lock());
    const Status read = file_.Read(kFirstValidField, sizeof bytes, bytes);
    if (ring_lock_ != nullptr) ring_lock_->Unlock();
    TAVRI_RETURN_IF_ERROR(read);
    const uint32_t first_valid = order_.U32(bytes);
    if (held->second < first_valid) {
        return Fail(TRAXR_ERR_IO,
                    "the writer has dropped the oldest sessions of its ring (dump limit %u MB) "
                    "since the file was opened: the first valid vc chain block is now %u, the "
                    "block at %llu belonged to a session from vc chain block %u on; open the "
                    "file again to read what it holds now",
                    header_.dump_limit, first_valid,
                    static_cast<unsigned long long>(layout.offset), held->second);
    }
    return Status();
}

bool Database::IsIdcode(uint32_t idcode) const {
    return idcode < chain_table_.last.size() || idcode <= tree_.max_idcode() ||
           idcode <= header_.max_var_idcode;
}

ArrayContext Database::ContextFor(uint32_t idcode) const {
    ArrayContext context;
    context.order = order_;
    context.strings = &strings_;
    context.var = tree_.Primary(idcode);
    context.xtag_type = header_.xtag_type;
    return context;
}

Status Database::ReadChainEntries(uint32_t idcode, std::vector<ChainEntry> *out) {
    out->clear();
    if (!IsIdcode(idcode)) {
        return Fail(TRAXR_ERR_NOT_FOUND, "idcode %u is not in the file", idcode);
    }
    if (idcode >= chain_table_.last.size()) {
        return Status();
    }
    Cursor cursor(chain_.get(), order_);
    uint64_t position = chain_table_.last[idcode];
    // A link into a dropped ring session ends the chain.
    while (position != 0 && !ring_.Dropped(position)) {
        ChainEntry entry;
        TAVRI_RETURN_IF_ERROR(ReadChainEntry(&cursor, position, &entry));
        // One entry per session at most, each in an earlier session than the
        // one after it: this also keeps a bad link from looping.
        if (!out->empty() && entry.session >= out->back().session) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the vc chain of idcode %u links from session %u to session %u", idcode,
                        out->back().session, entry.session);
        }
        out->push_back(entry);
        position = entry.back_link != 0 ? entry.previous() : 0;
    }
    std::reverse(out->begin(), out->end());
    return Status();
}

Status Database::ReadChanges(uint32_t idcode, std::vector<Change> *out) {
    out->clear();
    std::vector<ChainEntry> entries;
    TAVRI_RETURN_IF_ERROR(ReadChainEntries(idcode, &entries));
    const ArrayContext context = ContextFor(idcode);
    Cursor cursor(vc_.get(), order_);
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint64_t next = i + 1 < entries.size() ? entries[i + 1].first_time : kNoNextEntry;
        if (!ShowEntry(entries[i], ring_.cut(), next)) continue;
        TAVRI_RETURN_IF_ERROR(ReadElementArray(&cursor, entries[i], context, out));
    }
    return Status();
}

Status Database::ReadAllChanges(std::vector<std::vector<Change>> *out) {
    out->assign(chain_table_.last.size(), {});
    // Latest chain position first; within one session the entries lie in one
    // run of blocks, so each vc chain block is decompressed once, and the
    // session's element arrays are then read in stream order.
    std::priority_queue<std::pair<uint64_t, uint32_t>> pending;
    for (uint32_t idcode = 0; idcode < chain_table_.last.size(); ++idcode) {
        const uint64_t last = chain_table_.last[idcode];
        if (last != 0 && !ring_.Dropped(last)) {
            pending.emplace(last, idcode);
        }
    }
    std::vector<uint32_t> last_session(chain_table_.last.size(), UINT32_MAX);
    std::vector<uint64_t> next_first(chain_table_.last.size(), kNoNextEntry);
    std::vector<std::pair<ChainEntry, uint32_t>> batch;
    Cursor chain_cursor(chain_.get(), order_);
    Cursor vc_cursor(vc_.get(), order_);
    std::vector<Change> changes;

    auto flush = [&]() -> Status {
        std::sort(batch.begin(), batch.end(), [](const auto &a, const auto &b) {
            return a.first.element_position < b.first.element_position;
        });
        for (const auto &[entry, idcode] : batch) {
            changes.clear();
            TAVRI_RETURN_IF_ERROR(
                ReadElementArray(&vc_cursor, entry, ContextFor(idcode), &changes));
            // Built latest first; turned around at the end.
            std::vector<Change> &list = (*out)[idcode];
            for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
                list.push_back(std::move(*it));
            }
        }
        batch.clear();
        return Status();
    };

    uint64_t previous = UINT64_MAX;
    uint32_t session = UINT32_MAX;
    while (!pending.empty()) {
        const auto [position, idcode] = pending.top();
        pending.pop();
        if (position == previous) {
            return Fail(TRAXR_ERR_CORRUPT, "two variables share the vc chain entry at 0x%llx",
                        static_cast<unsigned long long>(position));
        }
        previous = position;
        const StreamBlock *block = chain_->FindPosition(position);
        if (block == nullptr) {
            return Fail(TRAXR_ERR_CORRUPT, "position 0x%llx lies outside the vc chain stream",
                        static_cast<unsigned long long>(position));
        }
        if (block->owner != session) {
            TAVRI_RETURN_IF_ERROR(flush());
            session = block->owner;
        }
        ChainEntry entry;
        TAVRI_RETURN_IF_ERROR(ReadChainEntry(&chain_cursor, position, &entry));
        if (entry.session >= last_session[idcode]) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "the vc chain of idcode %u links from session %u to session %u", idcode,
                        last_session[idcode], entry.session);
        }
        last_session[idcode] = entry.session;
        if (ShowEntry(entry, ring_.cut(), next_first[idcode])) {
            batch.emplace_back(entry, idcode);
        }
        next_first[idcode] = entry.first_time;
        if (!entry.StartsChain(ring_.cut())) {
            pending.emplace(entry.previous(), idcode);
        }
    }
    TAVRI_RETURN_IF_ERROR(flush());
    if (!chain_->blocks().empty() && chain_->blocks().front().index == 0) {
        uint8_t start;
        TAVRI_RETURN_IF_ERROR(chain_cursor.Seek(0));
        TAVRI_RETURN_IF_ERROR(chain_cursor.Byte(&start));
        if (start != kChainStreamStart) {
            return Fail(TRAXR_ERR_CORRUPT, "the vc chain stream starts with 0x%02x, not 0x11",
                        start);
        }
    }
    for (std::vector<Change> &list : *out) {
        std::reverse(list.begin(), list.end());
    }
    return Status();
}

}  // namespace tavri::reader
