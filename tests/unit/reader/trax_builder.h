// A small encoder of database files for the reader's tests: header, LZO1B
// blocks, scope and variable streams, element arrays, vc chain entries, tree
// and session records, string list and chain table, finished or live.
// It follows the file format on its own, without the reader's code.
#ifndef TAVRI_TESTS_UNIT_READER_TRAX_BUILDER_H
#define TAVRI_TESTS_UNIT_READER_TRAX_BUILDER_H

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavri::reader_test {

constexpr uint32_t kBlock = 0x100000;

// Appends fields in a chosen byte order.
class Bytes {
  public:
    explicit Bytes(bool big_endian = false) : big_(big_endian) {}
    Bytes &Unsigned(unsigned width, uint64_t v);  // 1, 2, 4 or 8 bytes
    Bytes &U8(uint8_t v) { return Unsigned(1, v); }
    Bytes &U16(uint16_t v) { return Unsigned(2, v); }
    Bytes &U32(uint32_t v) { return Unsigned(4, v); }
    Bytes &U64(uint64_t v) { return Unsigned(8, v); }
    Bytes &HighLow(uint64_t v) {  // two 32-bit words, high first
        return U32(static_cast<uint32_t>(v >> 32)).U32(static_cast<uint32_t>(v));
    }
    Bytes &Raw(const std::vector<uint8_t> &bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes &Text(const std::string &text) { return Raw({text.begin(), text.end()}).U8(0); }

    std::vector<uint8_t> data;

  private:
    bool big_;
};

std::vector<uint8_t> Lzo1bCompress(const std::vector<uint8_t> &block);

struct Layout {
    uint64_t offset = 0;
    uint32_t length = 0;
};

// A stream cut into blocks of 0x100000 bytes, each compressed and appended
// to the file image when it is full (and another byte comes) or flushed.
class BlockStream {
  public:
    explicit BlockStream(std::vector<uint8_t> *file) : file_(file) {}
    void Put(const std::vector<uint8_t> &bytes);
    uint64_t Position() const { return static_cast<uint64_t>(stored_) * kBlock + pending_.size(); }
    void Flush();
    std::vector<Layout> Take();  // layouts stored since the last call
    uint32_t stored() const { return stored_; }
    // Sees (and may damage) every block before it is compressed.
    std::function<void(std::vector<uint8_t> *)> hook;
    // Puts the stored bytes into the file image and says where; unset, they
    // are appended.
    std::function<uint64_t(const std::vector<uint8_t> &)> place;

  private:
    std::vector<uint8_t> *file_;
    std::vector<uint8_t> pending_;
    std::vector<Layout> fresh_;
    uint32_t stored_ = 0;
};

struct VarDef {
    VarDef(std::string var_name, uint32_t var_idcode)
        : name(std::move(var_name)), idcode(var_idcode) {}
    VarDef &Type(uint8_t v) { type = v; return *this; }
    VarDef &Dir(uint8_t v) { direction = v; return *this; }
    VarDef &Bpb(uint8_t v) { bpb = v; return *this; }
    VarDef &Bounds(int32_t l, int32_t r) { left = l; right = r; return *this; }
    VarDef &DataType(uint16_t v) { data_type = v; return *this; }

    std::string name;
    uint32_t idcode;
    uint8_t type = 0;
    uint8_t direction = 0;
    uint8_t bpb = 0;
    int32_t left = 0;
    int32_t right = 0;
    std::optional<uint16_t> data_type;
    std::vector<uint8_t> descriptor;
};

struct ScopeDef {
    explicit ScopeDef(std::string scope_name, uint8_t scope_type = 0)
        : type(scope_type), name(std::move(scope_name)) {}
    ScopeDef &Names(std::string s, std::string t) {
        second = std::move(s);
        third = std::move(t);
        return *this;
    }
    ScopeDef &Fourth(std::string f) { fourth = std::move(f); return *this; }
    ScopeDef &Flags(uint8_t f) { flags = f; return *this; }
    ScopeDef &Vars(std::vector<VarDef> v) { vars = std::move(v); return *this; }
    ScopeDef &Child(ScopeDef c) { children.push_back(std::move(c)); return *this; }

    uint8_t type;
    std::string name;
    std::string second;
    std::string third;
    std::optional<std::string> fourth;
    uint8_t flags = 0;  // trailer bits 4, 5, 6
    std::vector<VarDef> vars;
    std::vector<ScopeDef> children;
};

struct ChangeDef {
    explicit ChangeDef(uint64_t at) : time(at) {}
    ChangeDef &Bytes(std::vector<uint8_t> v) { bytes = std::move(v); return *this; }
    ChangeDef &Words(std::vector<uint32_t> v) { words = std::move(v); return *this; }
    ChangeDef &Real(double v) { real = v; return *this; }
    ChangeDef &Seq(uint32_t v) { seq = v; return *this; }

    uint64_t time;
    std::vector<uint8_t> bytes;   // scalar code, bus codes, A/B memory bytes
    std::vector<uint32_t> words;  // A/B or C/D pairs, or a string id
    std::optional<double> real;
    std::optional<uint32_t> seq;
};

struct GroupDef {
    uint8_t format;
    uint8_t bpb;
    uint32_t value_size;
    std::vector<ChangeDef> changes;
};

struct ArrayDef {
    ArrayDef(uint32_t array_idcode, std::vector<GroupDef> array_groups)
        : idcode(array_idcode), groups(std::move(array_groups)) {}

    uint32_t idcode;
    std::vector<GroupDef> groups;
    uint8_t flags = 0;                         // the three per-session flags
    std::optional<uint64_t> element_position;  // written instead of the real one
    std::optional<uint32_t> change_count;
    std::optional<uint64_t> back_link;
};

ArrayDef Scalar(uint32_t idcode, const std::vector<std::pair<uint64_t, uint8_t>> &changes);
// Bus values as text, most significant bit first: 0 1 x z.
ArrayDef Bus(uint32_t idcode, const std::vector<std::pair<uint64_t, std::string>> &changes);
std::vector<uint8_t> Codes(const std::string &bits);

class TraxBuilder {
  public:
    explicit TraxBuilder(bool big_endian = false);
    // Passes every block of every stream through `hook` before compression.
    void SetBlockHook(const std::function<void(std::vector<uint8_t> *)> &hook);

    uint8_t file_type = 0;
    uint8_t sync_control = 0;
    bool has_seq = false;
    bool compact = true;  // store A/B, C/D and A/B memory values compactly when possible
    bool chain_8byte = false;
    std::string annotation;

    void AddTree(const std::vector<ScopeDef> &tops);
    // A tree from literal stream bytes; the variable stream continues at
    // VarPosition().
    void AddRawTree(const std::vector<uint8_t> &scope_stream,
                    const std::vector<uint8_t> &var_stream, uint32_t new_idcodes);
    uint64_t VarPosition() const { return var_.Position(); }
    uint64_t VcPosition() const { return vc_.Position(); }
    uint64_t ChainPosition() const { return chain_.Position(); }
    uint32_t AddString(const std::string &text);
    void AddSession(const std::vector<ArrayDef> &arrays);
    // A time tag without changes, as a writer makes when time moves on: the
    // next session ends there at least.
    void AddTimeTag(uint64_t time);

    // A file written under a dump limit: value-change and vc chain blocks
    // go into a ring that starts after the blocks stored before the first
    // session and ends at the wrap limit, limit × 2^20 − ((max idcode + 1) ×
    // 8 + 0x20000), or `ring_bytes` after its start when that is not 0;
    // tree blocks stored later go beyond it. When a block does not fit, the
    // ring wraps to its start or drops its oldest ring session (first valid
    // vc chain block and minimum xtag move on). A ring too small for one
    // ring session throws.
    void SetDumpLimit(uint32_t megabytes, uint64_t ring_bytes = 0);
    // Starts a ring session at `time`. Its first session holds `redundant`,
    // the value of every variable that has one at `time` (none when empty).
    void StartRingSession(uint64_t time, const std::vector<ArrayDef> &redundant);
    // The next block of the ring goes here instead (damaged files).
    std::optional<uint64_t> force_next_block_at;
    uint32_t first_valid_block() const { return first_valid_; }
    bool wrapped() const { return wrapped_; }
    uint32_t session_count() const { return session_count_; }
    uint64_t minimum_time() const { return ring_min_time_ ? *ring_min_time_ : min_time_; }
    uint64_t wrap_limit() const { return wrap_; }

    std::vector<uint8_t> Finished() const;
    struct Live {
        std::vector<uint8_t> main, tlist, slist, chain, str, rlist;
    };
    Live LiveFiles(uint8_t status = 2) const;
    void WriteFinished(const std::string &path) const;
    void WriteLive(const std::string &path, uint8_t status = 2) const;

    // Where the last Finished() put its parts.
    mutable uint64_t annotation_offset = 0, tree_list_offset = 0, session_list_offset = 0,
                     string_list_offset = 0, chain_offset = 0, redundant_list_offset = 0;
    std::vector<Layout> scope_layouts, var_layouts, vc_layouts, chain_layouts;
    uint32_t max_idcode() const { return max_idcode_; }

  private:
    void WriteScope(const ScopeDef &scope);
    std::vector<uint8_t> VarRecord(const VarDef &var) const;
    void TreeRecord(uint32_t idcode_count, const std::vector<Layout> &scopes,
                    const std::vector<Layout> &vars);
    std::vector<uint8_t> Header(uint8_t status, uint64_t tree_list, uint64_t session_list,
                                uint64_t chain, uint64_t annotation_at, uint64_t strings_at,
                                uint64_t redundant_at) const;
    std::vector<uint8_t> ChainTable() const;
    std::vector<uint8_t> RedundantList() const;
    uint64_t PlaceRingBlock(const std::vector<uint8_t> &stored);
    uint64_t PlaceTreeBlock(const std::vector<uint8_t> &stored);
    void WriteAt(uint64_t at, const std::vector<uint8_t> &stored);
    void DropOldest();
    Bytes New() const { return Bytes(big_); }

    bool big_;
    std::vector<uint8_t> file_;
    BlockStream scope_, var_, vc_, chain_;
    std::vector<uint8_t> tlist_, slist_, str_;
    std::vector<std::string> pending_strings_;
    uint32_t string_count_ = 0;
    uint32_t tree_count_ = 0, session_count_ = 0, max_idcode_ = 0;
    uint32_t scopes_ = 0, vars_ = 0, scalar_changes_ = 0, vector_changes_ = 0;
    uint32_t vc_blocks_at_flush_ = 0;
    std::vector<uint64_t> last_chain_;
    std::vector<uint8_t> chain_flags_;
    bool have_time_ = false;
    uint64_t min_time_ = 0, max_time_ = 0, session_end_ = 0;

    struct RingNode {
        std::optional<uint64_t> start;  // offset of its first block
        uint64_t start_time = 0;
        uint32_t chain_end = 0xFFFFFFFF;  // its last vc chain block, once it ended
        uint32_t redundant_first = 0xFFFFFFFF, redundant_last = 0xFFFFFFFF;
    };
    uint32_t dump_limit_ = 0;
    uint64_t ring_bytes_ = 0;
    bool ring_begun_ = false, wrapped_ = false;
    uint64_t ring_start_ = 0, wrap_ = 0, ring_pos_ = 0, end_of_data_ = 0;
    std::deque<RingNode> nodes_;
    uint32_t first_valid_ = 0;
    std::optional<uint64_t> ring_min_time_;
};

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes);
std::string TempDir();

}  // namespace tavri::reader_test

#endif
