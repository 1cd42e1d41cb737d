#include "trax_builder.h"

#include <lzo/lzo1b.h>
#include <lzo/lzoconf.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace tavri::reader_test {

Bytes &Bytes::Unsigned(unsigned width, uint64_t v) {
    for (unsigned i = 0; i < width; ++i) {
        data.push_back(static_cast<uint8_t>(v >> (big_ ? 8 * (width - 1 - i) : 8 * i)));
    }
    return *this;
}

std::vector<uint8_t> Lzo1bCompress(const std::vector<uint8_t> &block) {
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready) throw std::runtime_error("lzo_init failed");
    std::vector<uint8_t> work(LZO1B_MEM_COMPRESS);
    std::vector<uint8_t> out(block.size() + block.size() / 16 + 64 + 3);
    lzo_uint length = out.size();
    if (lzo1b_1_compress(block.data(), block.size(), out.data(), &length, work.data()) !=
        LZO_E_OK) {
        throw std::runtime_error("lzo1b_1_compress failed");
    }
    out.resize(length);
    return out;
}

void BlockStream::Put(const std::vector<uint8_t> &bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        if (pending_.size() == kBlock) Flush();
        const size_t piece = std::min(bytes.size() - at, kBlock - pending_.size());
        pending_.insert(pending_.end(), bytes.begin() + static_cast<long>(at),
                        bytes.begin() + static_cast<long>(at + piece));
        at += piece;
    }
}

void BlockStream::Flush() {
    if (pending_.empty()) return;
    if (hook) hook(&pending_);
    const std::vector<uint8_t> stored = Lzo1bCompress(pending_);
    uint64_t at = file_->size();
    if (place) {
        at = place(stored);
    } else {
        file_->insert(file_->end(), stored.begin(), stored.end());
    }
    fresh_.push_back(Layout{at, static_cast<uint32_t>(stored.size())});
    pending_.clear();
    ++stored_;
}

std::vector<Layout> BlockStream::Take() {
    std::vector<Layout> taken;
    taken.swap(fresh_);
    return taken;
}

std::vector<uint8_t> Codes(const std::string &bits) {
    std::vector<uint8_t> codes;
    for (char c : bits) codes.push_back(c == '0' ? 0 : c == '1' ? 1 : c == 'x' ? 2 : 3);
    return codes;
}

ArrayDef Scalar(uint32_t idcode, const std::vector<std::pair<uint64_t, uint8_t>> &changes) {
    ArrayDef array(idcode, {GroupDef{0, 0, 1, {}}});
    for (const auto &[time, code] : changes)
        array.groups[0].changes.push_back(ChangeDef(time).Bytes({code}));
    return array;
}

ArrayDef Bus(uint32_t idcode, const std::vector<std::pair<uint64_t, std::string>> &changes) {
    ArrayDef array(idcode,
                   {GroupDef{4, 0, static_cast<uint32_t>(changes.at(0).second.size()), {}}});
    for (const auto &[time, bits] : changes)
        array.groups[0].changes.push_back(ChangeDef(time).Bytes(Codes(bits)));
    return array;
}

TraxBuilder::TraxBuilder(bool big_endian)
    : big_(big_endian), file_(2816, 0), scope_(&file_), var_(&file_), vc_(&file_), chain_(&file_) {}

void TraxBuilder::SetBlockHook(const std::function<void(std::vector<uint8_t> *)> &hook) {
    scope_.hook = var_.hook = vc_.hook = chain_.hook = hook;
}

std::vector<uint8_t> TraxBuilder::VarRecord(const VarDef &v) const {
    uint8_t flags = 0;
    Bytes fields = New();
    auto bound = [&](int32_t value, unsigned shift) {
        if (value == 0) return;
        if (value > 0 && value < 256) {
            flags |= static_cast<uint8_t>(1u << shift);
            fields.U8(static_cast<uint8_t>(value));
        } else if (value > 0 && value < 65536) {
            flags |= static_cast<uint8_t>(2u << shift);
            fields.U16(static_cast<uint16_t>(value));
        } else {
            flags |= static_cast<uint8_t>(3u << shift);
            fields.U32(static_cast<uint32_t>(value));
        }
    };
    bound(v.left, 0);
    bound(v.right, 2);
    if (v.idcode < 256) {
        fields.U8(static_cast<uint8_t>(v.idcode));
    } else if (v.idcode < 65536) {
        flags |= 0x10;
        fields.U16(static_cast<uint16_t>(v.idcode));
    } else {
        flags |= 0x20;
        fields.U32(v.idcode);
    }
    if (v.direction != 0 || v.bpb != 0) {
        flags |= 0x40;
        fields.U8(static_cast<uint8_t>(v.direction * 16 + v.bpb));
    }
    if (v.data_type) {
        flags |= 0x80;
        fields.U16(*v.data_type);
    }
    Bytes record = New();
    record.U8(v.type);
    const bool stores = file_type == 0 || (file_type >= 6 && file_type <= 13) ||
                        (file_type >= 15 && file_type <= 17);
    if (stores && (v.type & 0xC0) != 0)
        record.U32(static_cast<uint32_t>(v.descriptor.size())).Raw(v.descriptor);
    record.Text(v.name).U8(flags).Raw(fields.data);
    return record.data;
}

void TraxBuilder::WriteScope(const ScopeDef &s) {
    Bytes record = New();
    record.U8(s.type).Text(s.name).Text(s.second).Text(s.third);
    if (s.fourth) record.U8(15).Text(*s.fourth);
    uint8_t trailer = s.flags & 0x70;
    if (!s.vars.empty()) {
        const uint64_t group = var_.Position();
        for (const VarDef &v : s.vars) {
            var_.Put(VarRecord(v));
            max_idcode_ = std::max(max_idcode_, v.idcode);
            ++vars_;
        }
        var_.Put({0xFF});
        trailer |= (group >> 32) == 0 ? 1 : 2;
        record.U8(trailer).Unsigned((group >> 32) == 0 ? 4 : 8, group);
    } else {
        record.U8(trailer);
    }
    scope_.Put(record.data);
    ++scopes_;
    for (const ScopeDef &child : s.children) WriteScope(child);
    scope_.Put({0xFD});
}

void TraxBuilder::TreeRecord(uint32_t idcode_count, const std::vector<Layout> &scopes,
                             const std::vector<Layout> &vars) {
    Bytes record = New();
    record.U8(0xF0).U32(idcode_count).U32(static_cast<uint32_t>(scopes.size()));
    for (const Layout &l : scopes) record.U64(l.offset).U32(l.length);
    record.U32(static_cast<uint32_t>(vars.size()));
    for (const Layout &l : vars) record.U64(l.offset).U32(l.length);
    record.U32(0);
    tlist_.insert(tlist_.end(), record.data.begin(), record.data.end());
    scope_layouts.insert(scope_layouts.end(), scopes.begin(), scopes.end());
    var_layouts.insert(var_layouts.end(), vars.begin(), vars.end());
    ++tree_count_;
    last_chain_.resize(max_idcode_ + 1, 0);
    chain_flags_.resize(max_idcode_ + 1, 0);
    if (tree_count_ == 1) chain_.Put({0x11});
}

void TraxBuilder::AddTree(const std::vector<ScopeDef> &tops) {
    const uint32_t before = tree_count_ == 0 ? 0 : max_idcode_ + 1;
    if (tree_count_ == 0) var_.Put({0xBF});
    scope_.Put({0xFE});
    for (const ScopeDef &s : tops) WriteScope(s);
    scope_.Put({0xFF});
    scope_.Flush();
    var_.Flush();
    TreeRecord(max_idcode_ + 1 - before, scope_.Take(), var_.Take());
    if (tree_count_ == 1) var_.Put({17});  // ends the first variable stream; read past by offsets
}

void TraxBuilder::AddRawTree(const std::vector<uint8_t> &scope_stream,
                             const std::vector<uint8_t> &var_stream, uint32_t new_idcodes) {
    const uint32_t count = tree_count_ == 0 ? new_idcodes + 1 : new_idcodes;
    max_idcode_ += new_idcodes;
    scope_.Put(scope_stream);
    var_.Put(var_stream);
    scope_.Flush();
    var_.Flush();
    TreeRecord(count, scope_.Take(), var_.Take());
}

uint32_t TraxBuilder::AddString(const std::string &text) {
    pending_strings_.push_back(text);
    return string_count_++;
}

void TraxBuilder::AddTimeTag(uint64_t time) {
    if (!have_time_ || time < min_time_) min_time_ = time;
    if (!have_time_ || time > max_time_) max_time_ = time;
    have_time_ = true;
}

void TraxBuilder::AddSession(const std::vector<ArrayDef> &arrays) {
    for (const ArrayDef &a : arrays) {
        const uint64_t element_position = vc_.Position();
        Bytes out = New();
        uint64_t previous = 0, statistic = 0, first = 0, last = 0;
        uint32_t count = 0;
        for (size_t g = 0; g < a.groups.size(); ++g) {
            const GroupDef &group = a.groups[g];
            if (g > 0) out.U8(0xC0);
            out.U8(group.format);
            if (group.format != 0) out.U8(group.bpb).U32(group.value_size);
            for (const ChangeDef &c : group.changes) {
                const uint64_t delta = c.time - previous;
                if (count > 0) statistic = std::max(statistic, delta);
                if (count == 0) first = c.time;
                last = previous = c.time;
                ++count;
                ++(a.idcode == 0 || group.value_size == 1 ? scalar_changes_ : vector_changes_);
                if (!have_time_ || c.time < min_time_) min_time_ = c.time;
                if (!have_time_ || c.time > max_time_) max_time_ = c.time;
                have_time_ = true;

                const unsigned time_code = delta < 0x10000 ? 1 : (delta >> 32) == 0 ? 2 : 3;
                const unsigned seq_code = !c.seq ? 0 : *c.seq < 0x10000 ? 1 : 2;
                uint8_t head = static_cast<uint8_t>(time_code << 4 | seq_code << 6);
                Bytes value = New();
                std::optional<uint8_t> scalar_code;
                if (group.format == 0) {
                    const uint8_t code = c.bytes.at(0);
                    if (code < 15)
                        head |= static_cast<uint8_t>(code + 1);
                    else
                        scalar_code = code;
                } else if (c.real) {
                    uint64_t bits;
                    std::memcpy(&bits, &*c.real, sizeof bits);
                    value.U64(bits);
                } else if (!c.words.empty()) {
                    const bool pairs = group.format == 5 || group.format == 10;
                    const unsigned dropped = group.format == 5 ? 1 : 0;  // A/B drops B, C/D drops C
                    bool zero = pairs;
                    for (size_t i = dropped; pairs && i < c.words.size(); i += 2)
                        zero = zero && c.words[i] == 0;
                    if (zero && compact) {
                        head |= 0x08;
                        for (size_t i = 1 - dropped; i < c.words.size(); i += 2)
                            value.U32(c.words[i]);
                    } else {
                        for (uint32_t w : c.words) value.U32(w);
                    }
                } else if (group.format == 11) {
                    const size_t half = c.bytes.size() / 2;
                    const bool zero = std::all_of(c.bytes.begin() + static_cast<long>(half),
                                                  c.bytes.end(), [](uint8_t b) { return b == 0; });
                    if (zero && compact) {
                        head |= 0x08;
                        value.Raw(std::vector<uint8_t>(c.bytes.begin(),
                                                       c.bytes.begin() + static_cast<long>(half)));
                    } else {
                        value.Raw(c.bytes);
                    }
                } else {
                    value.Raw(c.bytes);
                }
                out.U8(head);
                if (scalar_code) out.U8(*scalar_code);
                if (time_code == 3)
                    out.HighLow(delta);
                else
                    out.Unsigned(time_code == 1 ? 2 : 4, delta);
                if (c.seq) out.Unsigned(seq_code == 1 ? 2 : 4, *c.seq);
                out.Raw(value.data);
            }
        }
        out.U8(0xC1);
        vc_.Put(out.data);

        const uint64_t position = chain_.Position();
        const uint64_t back = a.back_link                     ? *a.back_link
                              : last_chain_.at(a.idcode) != 0 ? position - last_chain_[a.idcode]
                                                              : 0;
        const uint64_t element = a.element_position ? *a.element_position : element_position;
        const uint32_t n = a.change_count ? *a.change_count : count;
        auto link_code = [](uint64_t v) -> unsigned {
            return v < 0x100 ? 0 : v < 0x10000 ? 1 : (v >> 32) == 0 ? 2 : 3;
        };
        auto time_code = [](uint64_t v) -> unsigned {
            return v < 0x10000 ? 1 : (v >> 32) == 0 ? 2 : 3;
        };
        const unsigned count_code = n < 0x100 ? 0 : n < 0x10000 ? 1 : 2;
        const uint8_t flags_a = static_cast<uint8_t>(link_code(back) | link_code(element) << 2 |
                                                     time_code(statistic) << 4 | count_code << 6);
        const uint8_t flags_b =
            static_cast<uint8_t>(time_code(first) | time_code(last) << 2 | (a.flags & 7) << 4);
        Bytes entry = New();
        entry.U8(flags_a).U8(flags_b);
        entry.Unsigned(1u << link_code(back), back).Unsigned(1u << link_code(element), element);
        auto put_time = [&](uint64_t v) {
            if (time_code(v) == 3)
                entry.HighLow(v);
            else
                entry.Unsigned(time_code(v) == 1 ? 2 : 4, v);
        };
        put_time(statistic);
        entry.Unsigned(1u << count_code, n);
        put_time(first);
        put_time(last);
        chain_.Put(entry.data);
        last_chain_[a.idcode] = position;
        chain_flags_[a.idcode] |= a.flags & 7;
    }
    vc_.Flush();
    chain_.Flush();
    const std::vector<Layout> vc = vc_.Take();
    const std::vector<Layout> chain = chain_.Take();
    vc_layouts.insert(vc_layouts.end(), vc.begin(), vc.end());
    chain_layouts.insert(chain_layouts.end(), chain.begin(), chain.end());
    const uint64_t start = session_count_ == 0 ? min_time_ : session_end_;
    session_end_ = max_time_;
    Bytes record = New();
    record.U8(0x0F).HighLow(start).HighLow(session_end_).U32(vc_blocks_at_flush_);
    record.U8(static_cast<uint8_t>(vc.size()));
    for (const Layout &l : vc) record.U64(l.offset).U32(l.length);
    record.U8(static_cast<uint8_t>(chain.size()));
    for (const Layout &l : chain) record.U64(l.offset).U32(l.length);
    slist_.insert(slist_.end(), record.data.begin(), record.data.end());
    vc_blocks_at_flush_ = vc_.stored();
    ++session_count_;
    for (const std::string &s : pending_strings_)
        str_.insert(str_.end(), s.c_str(), s.c_str() + s.size() + 1);
    pending_strings_.clear();
}

void TraxBuilder::SetDumpLimit(uint32_t megabytes, uint64_t ring_bytes) {
    dump_limit_ = megabytes;
    ring_bytes_ = ring_bytes;
    vc_.place = chain_.place = [this](const std::vector<uint8_t> &b) { return PlaceRingBlock(b); };
    scope_.place = var_.place = [this](const std::vector<uint8_t> &b) { return PlaceTreeBlock(b); };
}

void TraxBuilder::WriteAt(uint64_t at, const std::vector<uint8_t> &stored) {
    if (file_.size() < at + stored.size()) file_.resize(at + stored.size(), 0);
    std::copy(stored.begin(), stored.end(), file_.begin() + static_cast<long>(at));
}

// Before value changes, tree blocks follow each other; after, they go past
// the ring, at the end of data.
uint64_t TraxBuilder::PlaceTreeBlock(const std::vector<uint8_t> &stored) {
    if (!ring_begun_) {
        const uint64_t at = file_.size();
        WriteAt(at, stored);
        return at;
    }
    const uint64_t at = end_of_data_;
    WriteAt(at, stored);
    end_of_data_ += stored.size();
    return at;
}

void TraxBuilder::DropOldest() {
    if (nodes_.size() < 2) throw std::runtime_error("the ring cannot hold one ring session");
    first_valid_ = nodes_.front().chain_end + 1;
    nodes_.pop_front();
    ring_min_time_ = nodes_.front().start_time;
}

uint64_t TraxBuilder::PlaceRingBlock(const std::vector<uint8_t> &stored) {
    if (!ring_begun_) {
        ring_begun_ = true;
        ring_start_ = ring_pos_ = file_.size();
        wrap_ = ring_bytes_ != 0 ? ring_start_ + ring_bytes_
                                 : (uint64_t{dump_limit_} << 20) -
                                       ((uint64_t{max_idcode_} + 1) * 8 + 0x20000);
        end_of_data_ = wrap_;
    }
    const uint64_t length = stored.size();
    uint64_t at;
    if (force_next_block_at) {
        at = *force_next_block_at;
        force_next_block_at.reset();
    } else {
        for (;;) {
            const bool held = !nodes_.empty() && nodes_.front().start.has_value();
            const uint64_t oldest = held ? *nodes_.front().start : 0;
            // The room ends at the wrap limit until the ring wraps, and
            // again once the oldest retained session lies behind.
            const bool to_wrap = !wrapped_ || !held || oldest < ring_pos_;
            const uint64_t end = to_wrap ? wrap_ : oldest;
            if (end > ring_pos_ && end - ring_pos_ > length) break;
            if (to_wrap) {
                if (wrapped_ && ring_pos_ == ring_start_) {
                    throw std::runtime_error("a block larger than the ring");
                }
                wrapped_ = true;
                ring_pos_ = ring_start_;
            } else {
                DropOldest();
            }
        }
        at = ring_pos_;
    }
    WriteAt(at, stored);
    ring_pos_ = at + length;
    if (!nodes_.empty() && !nodes_.back().start) nodes_.back().start = at;
    return at;
}

void TraxBuilder::StartRingSession(uint64_t time, const std::vector<ArrayDef> &redundant) {
    if (!nodes_.empty()) nodes_.back().chain_end = chain_.stored() - 1;
    RingNode node;
    node.start_time = time;
    nodes_.push_back(node);
    if (redundant.empty()) return;
    AddTimeTag(time);
    const uint32_t first = chain_.stored();
    AddSession(redundant);
    nodes_.back().redundant_first = first;
    nodes_.back().redundant_last = chain_.stored() - 1;
}

std::vector<uint8_t> TraxBuilder::RedundantList() const {
    Bytes list = New();
    list.U8(0xFF).U32(static_cast<uint32_t>(nodes_.size()));
    for (const RingNode &node : nodes_) list.U32(node.redundant_first).U32(node.redundant_last);
    return list.data;
}

std::vector<uint8_t> TraxBuilder::ChainTable() const {
    Bytes table = New();
    for (size_t i = 0; i < last_chain_.size(); ++i) {
        if (chain_8byte)
            table.U64(last_chain_[i]);
        else
            table.U32(static_cast<uint32_t>(last_chain_[i]));
        table.U8(chain_flags_[i]);
    }
    return table.data;
}

std::vector<uint8_t> TraxBuilder::Header(uint8_t status, uint64_t tree_list, uint64_t session_list,
                                         uint64_t chain, uint64_t annotation_at,
                                         uint64_t strings_at, uint64_t redundant_at) const {
    std::vector<uint8_t> h(512, 0);
    auto put = [&](size_t at, const Bytes &b) {
        std::copy(b.data.begin(), b.data.end(), h.begin() + static_cast<long>(at));
    };
    auto text = [&](size_t at, const char *s) { std::memcpy(h.data() + at, s, std::strlen(s)); };
    put(4, New().U32(0x48D93DFC));
    put(8, New().U32(0x01020304));
    put(16, New().U64(1700000000));
    h[61] = h[62] = 1;
    h[63] = 12;
    h[64] = file_type;
    h[66] = 2;
    h[67] = 3;
    h[68] = 4;
    h[69] = big_ ? 2 : 1;
    text(72, "/");
    text(76, "1ns");
    text(96, "unknown");
    text(128, "unknown");
    put(192, New()
                 .U64(tree_list)
                 .U64(session_list)
                 .U64(chain)
                 .U64(annotation_at)
                 .U64(strings_at)
                 .U64(redundant_at));
    put(304,
        New().U32(annotation_at != 0 ? static_cast<uint32_t>(annotation.size() + 1) : 0).U32(64));
    put(312, New().HighLow(minimum_time()).HighLow(max_time_).U32(0xFFFFFFFF).U32(0xFFFFFFFF));
    h[408] = have_time_ ? 0 : 1;
    const uint32_t strings_written = static_cast<uint32_t>(string_count_ - pending_strings_.size());
    put(416, New().U32(static_cast<uint32_t>(slist_.size())).U32(dump_limit_).U32(first_valid_));
    put(432, New().U32(static_cast<uint32_t>(str_.size())).U32(strings_written));
    h[440] = 1;
    put(444, New()
                 .U32(static_cast<uint32_t>(scope_layouts.size()))
                 .U32(static_cast<uint32_t>(var_layouts.size()))
                 .U32(0)
                 .U32(vc_.stored())
                 .U32(chain_.stored())
                 .U32(session_count_)
                 .U32(tree_count_)
                 .U32(0)
                 .U32(max_idcode_)
                 .U32(511)
                 .U32(scopes_)
                 .U32(vars_)
                 .U32(scalar_changes_)
                 .U32(vector_changes_)
                 .U16(8)
                 .U16(0));
    h[504] = status;
    h[507] = sync_control;
    h[508] = chain_8byte ? 1 : 0;
    h[510] = has_seq ? 1 : 0;
    return h;
}

std::vector<uint8_t> TraxBuilder::Finished() const {
    std::vector<uint8_t> image = file_;
    // A ring that wrapped, or that has tree blocks past it, is followed by
    // the index structures at the end of data.
    if (dump_limit_ != 0 && ring_begun_ && (tree_count_ > 1 || wrapped_)) {
        image.resize(std::max<uint64_t>(image.size(), end_of_data_), 0);
    }
    annotation_offset = 0;
    if (!annotation.empty()) {
        annotation_offset = image.size();
        image.insert(image.end(), annotation.c_str(), annotation.c_str() + annotation.size() + 1);
    }
    tree_list_offset = image.size();
    image.insert(image.end(), tlist_.begin(), tlist_.end());
    session_list_offset = image.size();
    image.insert(image.end(), slist_.begin(), slist_.end());
    redundant_list_offset = 0;
    if (dump_limit_ != 0) {
        redundant_list_offset = image.size();
        const std::vector<uint8_t> list = RedundantList();
        image.insert(image.end(), list.begin(), list.end());
    }
    string_list_offset = str_.empty() ? 0 : image.size();
    image.insert(image.end(), str_.begin(), str_.end());
    chain_offset = image.size();
    const std::vector<uint8_t> table = ChainTable();
    image.insert(image.end(), table.begin(), table.end());
    const std::vector<uint8_t> header =
        Header(0, tree_list_offset, session_list_offset, chain_offset, annotation_offset,
               string_list_offset, redundant_list_offset);
    std::copy(header.begin(), header.end(), image.begin());
    return image;
}

TraxBuilder::Live TraxBuilder::LiveFiles(uint8_t status) const {
    Live live;
    live.main = file_;
    const std::vector<uint8_t> header = Header(status, 0, 0, 0, 0, 0, 0);
    std::copy(header.begin(), header.end(), live.main.begin());
    live.tlist = tlist_;
    live.slist = slist_;
    live.chain = ChainTable();
    live.str = str_;
    if (dump_limit_ != 0) live.rlist = RedundantList();
    return live;
}

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot create " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fclose(f);
        throw std::runtime_error("cannot write " + path);
    }
    std::fclose(f);
}

void TraxBuilder::WriteFinished(const std::string &path) const { WriteFile(path, Finished()); }

void TraxBuilder::WriteLive(const std::string &path, uint8_t status) const {
    const Live live = LiveFiles(status);
    WriteFile(path, live.main);
    WriteFile(path + ".tlist", live.tlist);
    WriteFile(path + ".slist", live.slist);
    WriteFile(path + ".chain", live.chain);
    WriteFile(path + ".str", live.str);
    if (dump_limit_ != 0) WriteFile(path + ".rlist", live.rlist);
}

std::string TempDir() {
    // A plain array: still there when the exit handler removes the directory.
    static char dir[] = "/tmp/tavri_reader_test.XXXXXX";
    static const bool made = [] {
        if (::mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp failed");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        });
        return true;
    }();
    return made ? dir : "";
}

}  // namespace tavri::reader_test
