#include "reader/check.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "reader/block_decoder.h"
#include "reader/change_walk.h"
#include "reader/esd_info.h"
#include "reader/header.h"

namespace tavri::reader {
namespace {

// Lines of one kind beyond this are summed up in one more line.
constexpr uint32_t kMaxLinesOfAKind = 20;

// The same value, whatever form it was stored in.
bool SameValue(const Change &a, const Change &b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case TRAXR_VALUE_LOGIC:
            return a.code_count() == b.code_count() &&
                   std::equal(a.codes(), a.codes() + a.code_count(), b.codes());
        case TRAXR_VALUE_REAL:
            return std::memcmp(&a.real, &b.real, sizeof a.real) == 0;
        case TRAXR_VALUE_STRING:
            return a.string_id == b.string_id;
        default:
            return a.raw == b.raw;
    }
}

class Checker {
  public:
    Checker(Database *db, const std::function<void(const std::string &)> &report)
        : db_(db), h_(db->header()), report_(report) {}

    uint32_t Run() {
        HeaderFields();
        HeaderCounts();
        Blocks();
        Tree();
        Sessions();
        RingLayout();
        Changes();
        EssentialSignals();
        return failures_;
    }

  private:
    void Failure(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        char text[640];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        ++failures_;
        report_(text);
    }

    // One failure of a kind that may repeat many times.
    bool Counted(uint32_t *count) {
        ++*count;
        if (*count <= kMaxLinesOfAKind) return true;
        ++failures_;
        return false;
    }
    void Summary(uint32_t count, const char *what) {
        if (count > kMaxLinesOfAKind) {
            --failures_;  // the summary line stands for the ones not shown
            Failure("%u more %s", count - kMaxLinesOfAKind, what);
        }
    }

    void HeaderFields();
    void HeaderCounts();
    void Blocks();
    void Tree();
    void Sessions();
    void RingLayout();
    void Changes();
    void EssentialSignals();
    void CheckBlock(const char *what, uint32_t owner, uint32_t index, const BlockLayout &layout,
                    bool last_of_stream, uint32_t *bad);
    // The end of the ring that value-change and vc chain blocks must stay
    // inside (0 without a dump limit).
    uint64_t WrapLimitBound() const;

    Database *db_;
    const traxrHeader &h_;
    const std::function<void(const std::string &)> &report_;
    uint32_t failures_ = 0;
    std::vector<uint8_t> stored_;
    std::vector<uint8_t> block_ = std::vector<uint8_t>(kBlockSize);
    BlockDecoder decoder_{h_.compression_method};
};

void Checker::HeaderFields() {
    const std::vector<uint8_t> &raw = db_->raw_header();
    struct Range {
        uint32_t begin, end;
    };
    for (const Range r : {Range{0, 4}, Range{12, 16}, Range{24, 61}, Range{70, 71},
                          Range{240, 288}, Range{336, 400}, Range{410, 411}, Range{412, 416}}) {
        for (uint32_t at = r.begin; at < r.end; ++at) {
            if (raw[at] != 0) {
                Failure("header: reserved bytes %u..%u are not zero (byte %u is 0x%02x)", r.begin,
                        r.end - 1, at, raw[at]);
                break;
            }
        }
    }
    if (h_.flag_61 != 1 || h_.flag_62 != 1) {
        Failure("header: the flags at 61 and 62 are %u and %u, not 1", h_.flag_61, h_.flag_62);
    }
    struct Text {
        const char *name;
        uint32_t begin, width;
    };
    for (const Text t : {Text{"scope separator", 72, 4}, Text{"scale unit", 76, 20},
                         Text{"simulation date", 96, 32}, Text{"simulator version", 128, 64}}) {
        if (std::memchr(raw.data() + t.begin, 0, t.width) == nullptr) {
            Failure("header: the %s at %u has no terminating zero within its %u bytes", t.name,
                    t.begin, t.width);
        }
    }
    if (h_.time_unit_code > 18) Failure("header: time unit code %u is not known", h_.time_unit_code);
    if (h_.file_type > 17) Failure("header: file type %u is not known", h_.file_type);
    if (h_.xtag_type > 3) Failure("header: xtag type %u is not known", h_.xtag_type);
    if (h_.independent_var_type > 7) {
        Failure("header: independent variable type %u is not known", h_.independent_var_type);
    }
    if (h_.lock_scheme > 1) Failure("header: lock scheme %u is not known", h_.lock_scheme);
    for (unsigned type = 0; type < 5; ++type) {
        if (h_.special_dumping_flags[type] > 1) {
            Failure("header: special dumping flag of type %u is %u, not 0 or 1", type,
                    h_.special_dumping_flags[type]);
        }
    }
    struct Flag {
        const char *name;
        uint8_t value;
    };
    for (const Flag f : {Flag{"environment record present", h_.environment_record_present},
                         Flag{"synchronous control", h_.synchronous_control},
                         Flag{"vc chain is 8-byte", h_.vc_chain_is_8byte},
                         Flag{"max xtag was reset", h_.max_xtag_was_reset},
                         Flag{"has sequence number", h_.has_sequence_number},
                         Flag{"vc is 8-byte", h_.vc_is_8byte}}) {
        if (f.value > 1) Failure("header: %s is %u, not 0 or 1", f.name, f.value);
    }
    if (h_.pointer_length == 4) {
        struct Uoff {
            const char *name;
            uint64_t value;
        };
        for (const Uoff u : {Uoff{"tree list uoff", h_.tree_list_uoff},
                             Uoff{"session list uoff", h_.session_list_uoff},
                             Uoff{"chain uoff", h_.chain_uoff},
                             Uoff{"annotation uoff", h_.annotation_uoff},
                             Uoff{"string list uoff", h_.string_list_uoff},
                             Uoff{"redundant list uoff", h_.redundant_list_uoff},
                             Uoff{"esd uoff", h_.esd_uoff},
                             Uoff{"esd table uoff", h_.esd_table_uoff}}) {
            if (u.value > UINT32_MAX) {
                Failure("header: %s 0x%llx does not fit the 4-byte offsets of this file", u.name,
                        static_cast<unsigned long long>(u.value));
            }
        }
    }
    if (!db_->live()) {
        if (h_.environment_record_present != 1) {
            Failure("header: a finished file without its creation-environment record");
        }
        if (h_.tree_count > 0 && h_.chain_uoff == 0) {
            Failure("header: a finished file with trees but no chain uoff");
        }
        if (h_.string_count > 0 && h_.string_list_uoff == 0) {
            Failure("header: %u strings but no string list uoff", h_.string_count);
        }
        if (db_->data_end() != 0 && db_->file().size() > db_->data_end()) {
            Failure("file: %llu bytes follow the chain table, which ends a finished file at %llu",
                    static_cast<unsigned long long>(db_->file().size() - db_->data_end()),
                    static_cast<unsigned long long>(db_->data_end()));
        }
    }
    if (h_.session_count > 0 && h_.minimum_xtag > h_.maximum_xtag) {
        Failure("header: minimum xtag %llu lies after maximum xtag %llu",
                static_cast<unsigned long long>(h_.minimum_xtag),
                static_cast<unsigned long long>(h_.maximum_xtag));
    }
}

void Checker::HeaderCounts() {
    const auto &trees = db_->tree().trees();
    uint64_t scope_blocks = 0, var_blocks = 0, data_type_blocks = 0, idcodes = 0;
    for (const TreeInfo &t : trees) {
        scope_blocks += t.record.scope_blocks.size();
        var_blocks += t.record.var_blocks.size();
        data_type_blocks += t.record.data_type_blocks.size();
        idcodes += t.record.idcode_count;
    }
    uint64_t vc_blocks = 0, chain_blocks = 0;
    for (const SessionRecord &s : db_->sessions()) {
        vc_blocks += s.vc_blocks.size();
        chain_blocks += s.chain_blocks.size();
    }
    auto count = [&](const char *name, uint64_t header, uint64_t found, const char *what) {
        if (header != found) {
            Failure("header: %s is %llu, the file holds %llu %s", name,
                    static_cast<unsigned long long>(header), static_cast<unsigned long long>(found),
                    what);
        }
    };
    count("scope blk cnt", h_.scope_blk_cnt, scope_blocks, "scope blocks");
    count("var blk cnt", h_.var_blk_cnt, var_blocks, "variable blocks");
    count("data type blk cnt", h_.data_type_blk_cnt, data_type_blocks, "data type blocks");
    count("vc blk cnt", h_.vc_blk_cnt, vc_blocks, "value-change blocks");
    count("vc chain blk cnt", h_.vc_chain_blk_cnt, chain_blocks, "vc chain blocks");
    count("scope creation cnt", h_.scope_creation_cnt, db_->tree().scopes().size(), "scopes");
    count("var creation cnt", h_.var_creation_cnt, db_->tree().vars().size(), "variable records");
    count("max var idcode", h_.max_var_idcode, db_->tree().max_idcode(),
          "as the highest idcode of its variable records");
    if (!trees.empty()) {
        count("max var idcode + 1", static_cast<uint64_t>(h_.max_var_idcode) + 1, idcodes,
              "idcodes in its tree records (the dump-off marker included)");
    }
    const uint64_t chain_entries = db_->chain_table().last.size();
    if (!db_->live() && !trees.empty()) {
        count("max var idcode + 1", static_cast<uint64_t>(h_.max_var_idcode) + 1, chain_entries,
              "chain table entries");
    } else if (chain_entries > static_cast<uint64_t>(h_.max_var_idcode) + 1) {
        Failure("header: max var idcode is %u, the chain table has %llu entries",
                h_.max_var_idcode, static_cast<unsigned long long>(chain_entries));
    }
}

void Checker::CheckBlock(const char *what, uint32_t owner, uint32_t index,
                         const BlockLayout &layout, bool last_of_stream, uint32_t *bad) {
    const uint64_t size = db_->file().size();
    if (layout.offset < kDataStart || layout.offset > size ||
        layout.stored_length > size - layout.offset || layout.stored_length == 0) {
        if (Counted(bad)) {
            Failure("block: %s block %u of %u at (%llu, %u) does not lie inside the file's %llu "
                    "bytes of blocks",
                    what, index, owner, static_cast<unsigned long long>(layout.offset),
                    layout.stored_length, static_cast<unsigned long long>(size));
        }
        return;
    }
    if (!db_->file().Read(layout.offset, layout.stored_length, &stored_).ok()) {
        if (Counted(bad)) {
            Failure("block: %s block %u of %u at %llu cannot be read", what, index, owner,
                    static_cast<unsigned long long>(layout.offset));
        }
        return;
    }
    if (const Status held = db_->CheckStillHeld(layout); !held.ok()) {
        if (Counted(bad)) Failure("block: %s", held.message().c_str());
        return;
    }
    size_t length = 0;
    std::string why;
    if (!decoder_.Decode(stored_.data(), stored_.size(), block_.data(), kBlockSize, &length,
                         &why) ||
        length == 0) {
        if (Counted(bad)) {
            Failure("block: %s block %u of %u at (%llu, %u) does not decompress exactly (%s, "
                    "%lu bytes out)",
                    what, index, owner, static_cast<unsigned long long>(layout.offset),
                    layout.stored_length, why.empty() ? "no error" : why.c_str(),
                    static_cast<unsigned long>(length));
        }
        return;
    }
    if (!last_of_stream && length != kBlockSize) {
        if (Counted(bad)) {
            Failure("block: %s block %u of %u holds %lu bytes; only the last one may be short",
                    what, index, owner, static_cast<unsigned long>(length));
        }
    }
}

uint64_t Checker::WrapLimitBound() const {
    if (h_.dump_limit == 0) return 0;
    // The wrap limit leaves room for 8 bytes per idcode and 0x20000 more
    // below the limit; it is set once value changes begin, when at least
    // the first tree's idcodes exist, so it lies no higher than this.
    const auto &trees = db_->tree().trees();
    const uint64_t idcodes = trees.empty() ? 1 : std::max<uint64_t>(1, trees[0].record.idcode_count);
    const uint64_t limit = static_cast<uint64_t>(h_.dump_limit) << 20;
    const uint64_t reserved = idcodes * 8 + 0x20000;
    return limit > reserved ? limit - reserved : 0;
}

void Checker::Blocks() {
    struct Placed {
        uint64_t offset;
        uint32_t length;
        const char *kind;
        const char *owner_kind;  // "tree" or "session"
        uint32_t owner;
    };
    std::vector<Placed> placed;
    uint32_t bad = 0;
    const auto &trees = db_->tree().trees();
    for (uint32_t t = 0; t < trees.size(); ++t) {
        const TreeRecord &r = trees[t].record;
        for (uint32_t i = 0; i < r.scope_blocks.size(); ++i) {
            CheckBlock("tree: scope", t, i, r.scope_blocks[i], true, &bad);
            placed.push_back({r.scope_blocks[i].offset, r.scope_blocks[i].stored_length, "scope",
                              "tree", t});
        }
        for (uint32_t i = 0; i < r.var_blocks.size(); ++i) {
            CheckBlock("tree: variable", t, i, r.var_blocks[i], i + 1 == r.var_blocks.size(), &bad);
            placed.push_back({r.var_blocks[i].offset, r.var_blocks[i].stored_length, "variable",
                              "tree", t});
        }
        for (uint32_t i = 0; i < r.data_type_blocks.size(); ++i) {
            CheckBlock("tree: data type", t, i, r.data_type_blocks[i], true, &bad);
            placed.push_back({r.data_type_blocks[i].offset, r.data_type_blocks[i].stored_length,
                              "data type", "tree", t});
        }
    }
    // A ring file's dropped sessions lie where newer blocks were written.
    const auto &sessions = db_->sessions();
    const uint64_t wrap = WrapLimitBound();
    uint32_t beyond = 0;
    for (uint32_t s = db_->first_session(); s < sessions.size(); ++s) {
        const SessionRecord &r = sessions[s];
        auto ring_block = [&](const char *kind, const BlockLayout &layout) {
            placed.push_back({layout.offset, layout.stored_length, kind, "session", s});
            if (wrap != 0 && layout.offset + layout.stored_length > wrap && Counted(&beyond)) {
                Failure("ring: session %u's %s block at (%llu, %u) ends past the wrap limit, at "
                        "most %llu for a dump limit of %u MB",
                        s, kind, static_cast<unsigned long long>(layout.offset),
                        layout.stored_length, static_cast<unsigned long long>(wrap),
                        h_.dump_limit);
            }
        };
        for (uint32_t i = 0; i < r.vc_blocks.size(); ++i) {
            CheckBlock("session: value-change", s, i, r.vc_blocks[i], i + 1 == r.vc_blocks.size(),
                       &bad);
            ring_block("value-change", r.vc_blocks[i]);
        }
        for (uint32_t i = 0; i < r.chain_blocks.size(); ++i) {
            CheckBlock("session: vc chain", s, i, r.chain_blocks[i],
                       i + 1 == r.chain_blocks.size(), &bad);
            ring_block("vc chain", r.chain_blocks[i]);
        }
    }
    Summary(bad, "blocks that fail");
    Summary(beyond, "blocks past the wrap limit");

    // No two blocks share bytes (in a ring: no retained session overlaps
    // another or a tree), and in a finished file all of them lie before the
    // index structures appended at the end.
    std::sort(placed.begin(), placed.end(),
              [](const Placed &a, const Placed &b) { return a.offset < b.offset; });
    uint32_t overlaps = 0;
    for (size_t i = 1; i < placed.size(); ++i) {
        const Placed &a = placed[i - 1];
        const Placed &b = placed[i];
        if (a.offset + a.length > b.offset && Counted(&overlaps)) {
            Failure("block: %s %u's %s block at (%llu, %u) overlaps %s %u's %s block at %llu",
                    a.owner_kind, a.owner, a.kind, static_cast<unsigned long long>(a.offset),
                    a.length, b.owner_kind, b.owner, b.kind,
                    static_cast<unsigned long long>(b.offset));
        }
    }
    Summary(overlaps, "overlapping blocks");
    if (!db_->live() && !placed.empty()) {
        uint64_t index_start = db_->file().size();
        for (const uint64_t uoff : {h_.annotation_uoff, h_.tree_list_uoff, h_.session_list_uoff,
                                    h_.redundant_list_uoff, h_.string_list_uoff, h_.chain_uoff}) {
            if (uoff >= kDataStart) index_start = std::min(index_start, uoff);
        }
        const Placed *last = &placed.back();
        for (const Placed &p : placed) {
            if (p.offset + p.length > last->offset + last->length) last = &p;
        }
        if (last->offset + last->length > index_start) {
            Failure("block: the block at (%llu, %u) runs into the index structures at %llu",
                    static_cast<unsigned long long>(last->offset), last->length,
                    static_cast<unsigned long long>(index_start));
        }
    }
}

void Checker::Tree() {
    const TreeModel &tree = db_->tree();
    const auto &vars = tree.vars();
    uint32_t missing = 0;
    for (uint32_t idcode = 1; idcode <= h_.max_var_idcode && idcode <= tree.max_idcode();
         ++idcode) {
        if (tree.NameCount(idcode) == 0 && Counted(&missing)) {
            Failure("tree: idcode %u is named by no variable record (idcodes must be dense)",
                    idcode);
        }
    }
    Summary(missing, "idcodes named by no variable record");
    if (tree.NameCount(0) != 0) {
        Failure("tree: a variable record names idcode 0, the dump-off marker");
    }
    uint32_t bad_aliases = 0, outside = 0;
    for (const VarRecord &v : vars) {
        const TreeInfo &t = tree.trees()[v.tree];
        if (!v.is_alias) {
            const uint64_t end = static_cast<uint64_t>(t.first_idcode) + t.record.idcode_count;
            if ((v.idcode < t.first_idcode || v.idcode >= end) && Counted(&outside)) {
                Failure("tree: variable %s of tree %u takes idcode %u, outside the tree's "
                        "idcodes %u..%llu",
                        v.name.c_str(), v.tree, v.idcode, t.first_idcode,
                        static_cast<unsigned long long>(end) - 1);
            }
            continue;
        }
        const VarRecord *primary = tree.Primary(v.idcode);
        if (primary->tree > v.tree) {
            if (Counted(&bad_aliases)) {
                Failure("tree: alias %s of tree %u names idcode %u before a later tree creates it",
                        v.name.c_str(), v.tree, v.idcode);
            }
        } else if ((primary->value_size() != v.value_size() ||
                    primary->bytes_per_bit != v.bytes_per_bit) &&
                   Counted(&bad_aliases)) {
            Failure("tree: alias %s of idcode %u takes %llu value bytes (code %u), the variable "
                    "%s it names %llu (code %u)",
                    v.name.c_str(), v.idcode, static_cast<unsigned long long>(v.value_size()),
                    v.bytes_per_bit, primary->name.c_str(),
                    static_cast<unsigned long long>(primary->value_size()),
                    primary->bytes_per_bit);
        }
    }
    Summary(outside, "variables outside their tree's idcodes");
    Summary(bad_aliases, "aliases that do not fit their variable");
}

void Checker::Sessions() {
    const auto &sessions = db_->sessions();
    uint64_t vc_blocks = 0;
    for (uint32_t s = 0; s < sessions.size(); ++s) {
        const SessionRecord &r = sessions[s];
        if (r.first_vc_block != vc_blocks) {
            Failure("session %u: its first value-change block is %u, the sessions before it "
                    "stored %llu",
                    s, r.first_vc_block, static_cast<unsigned long long>(vc_blocks));
        }
        vc_blocks += r.vc_blocks.size();
        if (r.start_time > r.end_time) {
            Failure("session %u: it starts at %llu, after its end at %llu", s,
                    static_cast<unsigned long long>(r.start_time),
                    static_cast<unsigned long long>(r.end_time));
        }
        if (s > 0 && r.start_time < sessions[s - 1].end_time) {
            Failure("session %u: it starts at %llu, before session %u ended at %llu", s,
                    static_cast<unsigned long long>(r.start_time), s - 1,
                    static_cast<unsigned long long>(sessions[s - 1].end_time));
        }
    }
    if (!sessions.empty() && sessions.back().end_time > h_.maximum_xtag &&
        h_.max_xtag_was_reset == 0) {
        Failure("session %zu: it ends at %llu, after the maximum xtag %llu", sessions.size() - 1,
                static_cast<unsigned long long>(sessions.back().end_time),
                static_cast<unsigned long long>(h_.maximum_xtag));
    }
}

// A ring drops whole ring sessions: the first valid vc chain block starts a
// session, the minimum xtag is no earlier than the oldest retained session,
// and every redundant range lies inside the retained vc chain blocks, after
// the one before it, covering whole sessions.
void Checker::RingLayout() {
    const Ring &ring = db_->ring();
    if (!ring.active()) return;
    const auto &sessions = db_->sessions();
    const uint32_t first_valid = ring.first_valid_block();
    const uint32_t count = h_.vc_chain_blk_cnt;
    // The session holding vc chain block `block`, or sessions.size().
    auto holder = [&](uint32_t block) {
        for (uint32_t s = 0; s < sessions.size(); ++s) {
            const SessionRecord &r = sessions[s];
            if (block >= r.first_chain_block && block - r.first_chain_block < r.chain_blocks.size()) {
                return s;
            }
        }
        return static_cast<uint32_t>(sessions.size());
    };
    auto starts_session = [&](uint32_t block) {
        const uint32_t s = holder(block);
        return s < sessions.size() && sessions[s].first_chain_block == block;
    };
    auto ends_session = [&](uint32_t block) {
        const uint32_t s = holder(block);
        return s < sessions.size() &&
               block + 1 == sessions[s].first_chain_block + sessions[s].chain_blocks.size();
    };
    if (first_valid < count && !starts_session(first_valid)) {
        const uint32_t s = holder(first_valid);
        if (s < sessions.size()) {
            Failure("ring: the first valid vc chain block %u falls inside session %u (vc chain "
                    "blocks %u..%zu); a ring drops whole sessions",
                    first_valid, s, sessions[s].first_chain_block,
                    sessions[s].first_chain_block + sessions[s].chain_blocks.size() - 1);
        }
    }
    const uint32_t oldest = db_->first_session();
    if (first_valid > 0 && oldest < sessions.size() &&
        h_.minimum_xtag < sessions[oldest].start_time) {
        Failure("ring: the minimum xtag %llu lies before the oldest retained session (%u), which "
                "starts at %llu: the time between is not in the file",
                static_cast<unsigned long long>(h_.minimum_xtag), oldest,
                static_cast<unsigned long long>(sessions[oldest].start_time));
    }
    bool have_previous = false;
    uint32_t previous_last = 0;
    const auto &ranges = ring.ranges();
    for (uint32_t k = 0; k < ranges.size(); ++k) {
        const RedundantRange &range = ranges[k];
        if (range.none()) continue;
        if (range.first > range.last) {
            Failure("ring: the redundant value changes of ring session %u run backwards, from vc "
                    "chain block %u to %u",
                    k, range.first, range.last);
        } else if (range.first < first_valid || range.last >= count) {
            Failure("ring: the redundant value changes of ring session %u (vc chain blocks "
                    "%u..%u) lie outside the retained vc chain, blocks %u to %u",
                    k, range.first, range.last, first_valid, count);
        } else if (have_previous && range.first <= previous_last) {
            Failure("ring: the redundant value changes of ring session %u (vc chain blocks "
                    "%u..%u) do not follow those of the ring session before it (up to %u)",
                    k, range.first, range.last, previous_last);
        } else if (!starts_session(range.first) || !ends_session(range.last)) {
            Failure("ring: the redundant value changes of ring session %u (vc chain blocks "
                    "%u..%u) cover part of session %u",
                    k, range.first, range.last,
                    starts_session(range.first) ? holder(range.last) : holder(range.first));
        }
        have_previous = true;
        previous_last = range.last;
    }
}

// Walks every change of the file: the walk itself checks that every chain
// is whole, that each element array agrees with its chain entry and that
// time never goes backwards; here the changes are counted against the
// header.
void Checker::Changes() {
    const auto &sessions = db_->sessions();
    const size_t idcodes = db_->chain_table().last.size();
    std::vector<uint64_t> last_time(idcodes, 0);
    std::vector<bool> changed(idcodes, false);
    uint32_t entry_failures = 0;
    // A ring's redundant entries that the walk leaves out must repeat the
    // value the variable already had.
    std::vector<Change> last_value(idcodes);
    std::vector<bool> has_value(idcodes, false);
    Cursor vc_cursor(&db_->vc_stream(), db_->field_order());
    std::vector<Change> repeated;
    const uint64_t cut = db_->ring().cut();
    WalkOptions options;
    options.on_entry = [&](uint32_t s, uint32_t idcode, const ChainEntry &e) -> Status {
        const SessionRecord &r = sessions[s];
        if (e.redundant && e.change_count != 1 && Counted(&entry_failures)) {
            Failure("chain: idcode %u has %u changes in the redundant vc chain blocks of session "
                    "%u; a redundant entry repeats one value",
                    idcode, e.change_count, s);
        }
        // (A redundant first entry is left out only when the next entry
        // changes the variable at the same time: nothing to compare.)
        if (e.redundant && !e.StartsChain(cut) && has_value[idcode]) {
            repeated.clear();
            TAVRI_RETURN_IF_ERROR(
                ReadElementArray(&vc_cursor, e, db_->ContextFor(idcode), &repeated));
            if (!repeated.empty() && !SameValue(repeated.back(), last_value[idcode]) &&
                Counted(&entry_failures)) {
                Failure("chain: the redundant value of idcode %u at %llu (session %u) is not the "
                        "value it had before; a redundant change only repeats it",
                        idcode, static_cast<unsigned long long>(repeated.back().time), s);
            }
        }
        if ((e.first_time < r.start_time || e.last_time > r.end_time ||
             e.first_time > e.last_time) &&
            Counted(&entry_failures)) {
            Failure("chain: idcode %u changes from %llu to %llu in session %u, which runs from "
                    "%llu to %llu",
                    idcode, static_cast<unsigned long long>(e.first_time),
                    static_cast<unsigned long long>(e.last_time), s,
                    static_cast<unsigned long long>(r.start_time),
                    static_cast<unsigned long long>(r.end_time));
        }
        if (changed[idcode] && e.first_time < last_time[idcode] && Counted(&entry_failures)) {
            Failure("chain: idcode %u goes back in time from %llu to %llu in session %u", idcode,
                    static_cast<unsigned long long>(last_time[idcode]),
                    static_cast<unsigned long long>(e.first_time), s);
        }
        changed[idcode] = true;
        last_time[idcode] = e.last_time;
        return Status();
    };
    ChangeWalk walk(db_);
    Status status = walk.Start(options);
    uint64_t one_byte = 0, multi_byte = 0, dump_offs = 0, min_time = UINT64_MAX, max_time = 0;
    bool any = false;
    while (status.ok()) {
        uint32_t idcode;
        const Change *change;
        bool done;
        status = walk.Next(&idcode, &change, &done);
        if (!status.ok() || done) break;
        any = true;
        min_time = std::min(min_time, change->time);
        max_time = std::max(max_time, change->time);
        const VarRecord *var = db_->tree().Primary(idcode);
        if (idcode == 0 || (var != nullptr && var->value_size() == 1)) {
            ++one_byte;
        } else {
            ++multi_byte;
        }
        if (idcode == 0 && !change->raw.empty() && change->raw[0] == 1 && !change->redundant) {
            ++dump_offs;
        }
        if (db_->ring().active()) {
            last_value[idcode] = *change;
            has_value[idcode] = true;
        }
        if (idcode != 0 && var == nullptr && Counted(&entry_failures)) {
            Failure("chain: idcode %u has value changes but no variable record", idcode);
        }
    }
    Summary(entry_failures, "chain entries that do not fit");
    if (!status.ok()) {
        Failure("chain: %s", status.message().c_str());
        return;
    }
    if (one_byte > h_.bc1_vc_creation_cnt) {
        Failure("header: bc1 vc creation cnt is %u, the file holds %llu scalar value changes",
                h_.bc1_vc_creation_cnt, static_cast<unsigned long long>(one_byte));
    }
    if (multi_byte > h_.bcn_vc_creation_cnt) {
        Failure("header: bcn vc creation cnt is %u, the file holds %llu vector value changes",
                h_.bcn_vc_creation_cnt, static_cast<unsigned long long>(multi_byte));
    }
    // A ring keeps only the dump-off markers of its retained sessions.
    if (db_->ring().active() ? dump_offs > h_.dump_off_count : dump_offs != h_.dump_off_count) {
        Failure("header: dump-off count is %u, the file holds %llu dump-off markers",
                h_.dump_off_count, static_cast<unsigned long long>(dump_offs));
    }
    if (any && (min_time < h_.minimum_xtag ||
                (max_time > h_.maximum_xtag && h_.max_xtag_was_reset == 0))) {
        Failure("header: value changes run from %llu to %llu, outside minimum xtag %llu and "
                "maximum xtag %llu",
                static_cast<unsigned long long>(min_time),
                static_cast<unsigned long long>(max_time),
                static_cast<unsigned long long>(h_.minimum_xtag),
                static_cast<unsigned long long>(h_.maximum_xtag));
    }
}

// The essential-signal data and table: where the header (or, in a live
// file, the side files) puts them, they must be readable, the table whole
// 8-byte entries, and a uoff of a finished file must name some bytes.
void Checker::EssentialSignals() {
    struct Part {
        EsdPart part;
        const char *name;
        uint64_t uoff;
    };
    for (const Part p : {Part{EsdPart::kData, "esd data", h_.esd_uoff},
                         Part{EsdPart::kTable, "esd table", h_.esd_table_uoff}}) {
        EsdExtent extent;
        const Status located = LocateEsdPart(*db_, p.part, &extent);
        if (!located.ok()) {
            Failure("%s: %s", p.name, located.message().c_str());
            continue;
        }
        if (!db_->live() && p.uoff != 0 && extent.size == 0) {
            Failure("%s: its uoff %llu names no bytes before the next structure of the file", p.name,
                    static_cast<unsigned long long>(p.uoff));
        }
        std::vector<uint8_t> bytes;
        const Status read = ReadEsdPart(*db_, p.part, &bytes);
        if (!read.ok()) {
            Failure("%s: %s", p.name, read.message().c_str());
            continue;
        }
        if (p.part == EsdPart::kTable && bytes.size() % kEsdTableEntryBytes != 0) {
            Failure("esd table: %llu bytes are not whole entries of %llu bytes",
                    static_cast<unsigned long long>(bytes.size()),
                    static_cast<unsigned long long>(kEsdTableEntryBytes));
        }
    }
}

}  // namespace

uint32_t CheckDatabase(Database *db, const std::function<void(const std::string &)> &report) {
    return Checker(db, report).Run();
}

}  // namespace tavri::reader
