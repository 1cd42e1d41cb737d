// The design hierarchy: one tree per begin/end tree pair of the writer.
//
// Tree record (tree list, ".tlist" while live):
//   0xF0, variable count (4), S (4), S scope block layouts, V (4), V variable
//   block layouts, D (4), D data type block layouts.
//
// Scope stream of a tree (its scope blocks in order): 0xFE, then scope
// records, 0xFD (end scope), and 0xFF (end tree). A scope record is
//   type, name NUL, second name NUL, third name NUL, [15, fourth name NUL],
//   trailer T, [variable group position: 4 bytes if T bit 0, 8 if T bit 1]
// T bit 4 marks the wide kinds, bits 5 and 6 the scope's flags A and B.
//
// Variable stream (shared by all trees, logical positions): each scope's
// variables form a group that ends with 0xFF; 0xC0 (4 bytes, name NUL) and
// 0xC1 open and close an attribute group inside it. A variable record is
//   var type, [descriptor length (4) and bytes], name NUL, flag byte F,
//   left (F bits 0-1: 1 byte, 2 bytes, or both for 4 signed bytes),
//   right (F bits 2-3 likewise), idcode (1 byte; 2 with F bit 4; 4 with bit 5),
//   [direction × 16 + bytes-per-bit code if F bit 6], [data type (2) if bit 7].
// Descriptors are stored for file types 0, 6-13 and 15-17 when the var
// type's descriptor kind (its top two bits) is not 0.
#ifndef TAVRI_READER_TREE_H
#define TAVRI_READER_TREE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/status.h"
#include "reader/stream.h"

namespace tavri::reader {

struct TreeRecord {
    uint32_t idcode_count = 0;
    std::vector<BlockLayout> scope_blocks;
    std::vector<BlockLayout> var_blocks;
    std::vector<BlockLayout> data_type_blocks;
};

// Parses `count` tree records from the start of `data`.
Status ParseTreeList(const uint8_t *data, size_t size, uint32_t count, const FieldOrder &order,
                     std::vector<TreeRecord> *out);

struct ScopeRecord {
    uint8_t type = 0;
    uint8_t trailer = 0;
    bool has_fourth = false;
    std::string name, second_name, third_name, fourth_name;
    uint32_t tree = 0;
    uint32_t parent = 0;  // kNone for a top scope
    uint32_t depth = 0;
    uint32_t first_var = 0;
    uint32_t var_count = 0;
    uint64_t group_position = 0;
};

struct VarRecord {
    std::string name;
    uint8_t var_type = 0;
    uint8_t direction = 0;
    uint8_t bytes_per_bit = 0;
    bool has_data_type = false;
    uint16_t data_type = 0;
    int32_t left = 0;
    int32_t right = 0;
    uint32_t idcode = 0;
    bool is_alias = false;
    std::vector<uint8_t> descriptor;
    uint32_t scope = 0;
    uint32_t tree = 0;
    uint64_t position = 0;  // logical position of the record in the variable stream

    uint32_t width() const;
    uint64_t value_size() const { return static_cast<uint64_t>(width()) << bytes_per_bit; }
};

struct TreeInfo {
    TreeRecord record;
    uint32_t first_idcode = 0;
    uint32_t first_scope = 0;
    uint32_t scope_count = 0;
    uint32_t first_var = 0;
    uint32_t var_count = 0;
};

constexpr uint32_t kNone = 0xFFFFFFFFu;

class TreeModel {
  public:
    // Reads every tree's scope and variable streams.
    Status Load(std::vector<TreeRecord> records, BlockCache *cache, const FieldOrder &order,
                uint8_t file_type, uint32_t max_var_idcode);

    const std::vector<TreeInfo> &trees() const { return trees_; }
    const std::vector<ScopeRecord> &scopes() const { return scopes_; }
    const std::vector<VarRecord> &vars() const { return vars_; }
    uint32_t max_idcode() const { return max_idcode_; }
    // Records naming the idcode, in the order they were written.
    uint32_t NameCount(uint32_t idcode) const;
    uint32_t Name(uint32_t idcode, uint32_t k) const;
    // The first record of the idcode, or null.
    const VarRecord *Primary(uint32_t idcode) const;

  private:
    Status LoadTree(uint32_t tree, Stream *var_stream, BlockCache *cache, const FieldOrder &order,
                    uint8_t file_type, uint32_t max_var_idcode);
    Status LoadGroup(uint32_t tree, uint32_t scope, Cursor *cursor, uint8_t file_type,
                     uint32_t max_var_idcode);

    std::vector<TreeInfo> trees_;
    std::vector<ScopeRecord> scopes_;
    std::vector<VarRecord> vars_;
    uint32_t max_idcode_ = 0;
    // The records of an idcode: [first, last) in by_idcode_.
    std::pair<size_t, size_t> Range(uint32_t idcode) const;

    std::vector<uint32_t> by_idcode_;  // var indices ordered by (idcode, position)
};

}  // namespace tavri::reader

#endif
