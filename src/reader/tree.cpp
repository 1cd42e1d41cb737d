#include "reader/tree.h"

#include <algorithm>
#include <cstdlib>

namespace tavri::reader {
namespace {

constexpr uint8_t kTreeMarker = 0xF0;
constexpr uint8_t kBeginTree = 0xFE;
constexpr uint8_t kEndTree = 0xFF;
constexpr uint8_t kEndScope = 0xFD;
constexpr uint8_t kFourthName = 15;
constexpr uint8_t kEndGroup = 0xFF;
constexpr uint8_t kBeginAttrGroup = 0xC0;
constexpr uint8_t kEndAttrGroup = 0xC1;
constexpr size_t kNameLimit = 0x100000;
constexpr uint32_t kDescriptorLimit = 0x1000000;

// Trailer bits: 0 and 1 announce the group position; 4, 5, 6 are flags.
constexpr uint8_t kTrailerKnownBits = 0x01 | 0x02 | 0x10 | 0x20 | 0x40;

bool StoresDescriptors(uint8_t file_type) {
    return file_type == 0 || (file_type >= 6 && file_type <= 13) ||
           (file_type >= 15 && file_type <= 17);
}

class SpanReader {
  public:
    SpanReader(const uint8_t *data, size_t size, const FieldOrder &order)
        : data_(data), size_(size), order_(order) {}
    size_t offset() const { return offset_; }
    size_t left() const { return size_ - offset_; }
    bool Byte(uint8_t *out) {
        if (left() < 1) return false;
        *out = data_[offset_++];
        return true;
    }
    bool U32(uint32_t *out) {
        if (left() < 4) return false;
        *out = order_.U32(data_ + offset_);
        offset_ += 4;
        return true;
    }
    bool Layouts(uint32_t count, std::vector<BlockLayout> *out) {
        if (count > left() / kLayoutBytes) return false;
        out->reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            out->push_back(ReadLayout(order_, data_ + offset_));
            offset_ += kLayoutBytes;
        }
        return true;
    }

  private:
    const uint8_t *data_;
    size_t size_;
    FieldOrder order_;
    size_t offset_ = 0;
};

}  // namespace

Status ParseTreeList(const uint8_t *data, size_t size, uint32_t count, const FieldOrder &order,
                     std::vector<TreeRecord> *out) {
    SpanReader in(data, size, order);
    out->clear();
    for (uint32_t tree = 0; tree < count; ++tree) {
        const size_t start = in.offset();
        uint8_t marker;
        if (!in.Byte(&marker)) {
            return Fail(TRAXR_ERR_TRUNCATED, "the tree list ends after %u of its %u tree records",
                        tree, count);
        }
        if (marker != kTreeMarker) {
            return Fail(TRAXR_ERR_CORRUPT, "tree record %u starts with 0x%02x instead of 0xf0",
                        tree, marker);
        }
        TreeRecord record;
        uint32_t scope_count, var_count, data_type_count;
        if (!in.U32(&record.idcode_count) || !in.U32(&scope_count) ||
            !in.Layouts(scope_count, &record.scope_blocks) || !in.U32(&var_count) ||
            !in.Layouts(var_count, &record.var_blocks) || !in.U32(&data_type_count) ||
            !in.Layouts(data_type_count, &record.data_type_blocks)) {
            return Fail(TRAXR_ERR_TRUNCATED,
                        "tree record %u at offset %zu runs past the end of the tree list", tree,
                        start);
        }
        out->push_back(std::move(record));
    }
    return Status();
}

uint32_t VarRecord::width() const {
    const int64_t span = std::llabs(static_cast<int64_t>(left) - static_cast<int64_t>(right));
    return static_cast<uint32_t>(span + 1);
}

Status TreeModel::Load(std::vector<TreeRecord> records, BlockCache *cache, const FieldOrder &order,
                       uint8_t file_type, uint32_t max_var_idcode) {
    // The variable stream's logical base runs on across trees, so block
    // indices count every tree's variable blocks.
    Stream var_stream("variable", cache, true);
    uint32_t next_index = 0;
    uint32_t first_idcode = 0;
    for (uint32_t t = 0; t < records.size(); ++t) {
        for (const BlockLayout &layout : records[t].var_blocks) {
            TAVRI_RETURN_IF_ERROR(var_stream.Add(next_index++, layout, t));
        }
        TreeInfo info;
        info.first_idcode = first_idcode;
        first_idcode += records[t].idcode_count;
        info.record = std::move(records[t]);
        trees_.push_back(std::move(info));
    }
    for (uint32_t t = 0; t < trees_.size(); ++t) {
        TAVRI_RETURN_IF_ERROR(LoadTree(t, &var_stream, cache, order, file_type, max_var_idcode));
    }

    // Index the records by idcode; the first one written names the variable,
    // the others are aliases.
    by_idcode_.resize(vars_.size());
    for (uint32_t i = 0; i < vars_.size(); ++i) {
        by_idcode_[i] = i;
        max_idcode_ = std::max(max_idcode_, vars_[i].idcode);
    }
    std::sort(by_idcode_.begin(), by_idcode_.end(), [this](uint32_t a, uint32_t b) {
        if (vars_[a].idcode != vars_[b].idcode) return vars_[a].idcode < vars_[b].idcode;
        return vars_[a].position < vars_[b].position;
    });
    for (size_t k = 1; k < by_idcode_.size(); ++k) {
        if (vars_[by_idcode_[k]].idcode == vars_[by_idcode_[k - 1]].idcode) {
            vars_[by_idcode_[k]].is_alias = true;
        }
    }
    return Status();
}

Status TreeModel::LoadTree(uint32_t tree, Stream *var_stream, BlockCache *cache,
                           const FieldOrder &order, uint8_t file_type, uint32_t max_var_idcode) {
    TreeInfo &info = trees_[tree];
    info.first_scope = static_cast<uint32_t>(scopes_.size());
    info.first_var = static_cast<uint32_t>(vars_.size());
    // The scope stream has no logical positions; it is read from its first
    // block to the end-tree byte.
    Stream scope_stream("scope", cache, false);
    for (uint32_t i = 0; i < info.record.scope_blocks.size(); ++i) {
        TAVRI_RETURN_IF_ERROR(scope_stream.Add(i, info.record.scope_blocks[i], tree));
    }
    if (scope_stream.blocks().empty()) {
        return Fail(TRAXR_ERR_CORRUPT, "tree %u has no scope block", tree);
    }
    Cursor in(&scope_stream, order);
    Cursor vars(var_stream, order);
    TAVRI_RETURN_IF_ERROR(in.Seek(0));
    uint8_t byte;
    TAVRI_RETURN_IF_ERROR(in.Byte(&byte));
    if (byte != kBeginTree) {
        return Fail(TRAXR_ERR_CORRUPT, "the scope stream of tree %u starts with 0x%02x", tree,
                    byte);
    }
    std::vector<uint32_t> open;
    for (;;) {
        TAVRI_RETURN_IF_ERROR(in.Byte(&byte));
        if (byte == kEndTree) {
            break;
        }
        if (byte == kEndScope) {
            if (open.empty()) {
                return Fail(TRAXR_ERR_CORRUPT, "tree %u ends a scope that was never begun", tree);
            }
            open.pop_back();
            continue;
        }
        if (byte == kBeginTree) {
            return Fail(TRAXR_ERR_CORRUPT, "tree %u begins another tree inside itself", tree);
        }
        ScopeRecord scope;
        scope.type = byte;
        scope.tree = tree;
        scope.parent = open.empty() ? kNone : open.back();
        scope.depth = static_cast<uint32_t>(open.size());
        TAVRI_RETURN_IF_ERROR(in.Text(&scope.name, kNameLimit));
        TAVRI_RETURN_IF_ERROR(in.Text(&scope.second_name, kNameLimit));
        TAVRI_RETURN_IF_ERROR(in.Text(&scope.third_name, kNameLimit));
        TAVRI_RETURN_IF_ERROR(in.Byte(&byte));
        if (byte == kFourthName) {
            scope.has_fourth = true;
            TAVRI_RETURN_IF_ERROR(in.Text(&scope.fourth_name, kNameLimit));
            TAVRI_RETURN_IF_ERROR(in.Byte(&byte));
        }
        scope.trailer = byte;
        if ((byte & ~kTrailerKnownBits) != 0 || (byte & 0x03) == 0x03) {
            return Fail(TRAXR_ERR_CORRUPT, "scope %s of tree %u has the trailer byte 0x%02x",
                        scope.name.c_str(), tree, byte);
        }
        const uint32_t index = static_cast<uint32_t>(scopes_.size());
        scope.first_var = static_cast<uint32_t>(vars_.size());
        if ((byte & 0x03) != 0) {
            TAVRI_RETURN_IF_ERROR(in.Unsigned((byte & 0x01) != 0 ? 4 : 8, &scope.group_position));
            const StreamBlock *block = var_stream->FindPosition(scope.group_position);
            if (block == nullptr || block->owner != tree) {
                return Fail(TRAXR_ERR_CORRUPT,
                            "the variables of scope %s lie at 0x%llx, outside the variable "
                            "blocks of tree %u",
                            scope.name.c_str(),
                            static_cast<unsigned long long>(scope.group_position), tree);
            }
            scopes_.push_back(std::move(scope));
            TAVRI_RETURN_IF_ERROR(vars.Seek(scopes_[index].group_position));
            TAVRI_RETURN_IF_ERROR(LoadGroup(tree, index, &vars, file_type, max_var_idcode));
        } else {
            scopes_.push_back(std::move(scope));
        }
        scopes_[index].var_count = static_cast<uint32_t>(vars_.size()) - scopes_[index].first_var;
        open.push_back(index);
    }
    if (!in.AtEnd()) {
        return Fail(TRAXR_ERR_CORRUPT, "bytes follow the end of tree %u in its scope stream", tree);
    }
    info.scope_count = static_cast<uint32_t>(scopes_.size()) - info.first_scope;
    info.var_count = static_cast<uint32_t>(vars_.size()) - info.first_var;
    return Status();
}

Status TreeModel::LoadGroup(uint32_t tree, uint32_t scope, Cursor *in, uint8_t file_type,
                            uint32_t max_var_idcode) {
    const bool descriptors = StoresDescriptors(file_type);
    for (;;) {
        const uint64_t position = in->position();
        uint8_t type;
        TAVRI_RETURN_IF_ERROR(in->Byte(&type));
        if (type == kEndGroup) {
            return Status();
        }
        if (type == kBeginAttrGroup) {
            uint8_t value[4];
            std::string name;
            TAVRI_RETURN_IF_ERROR(in->Bytes(value, sizeof value));
            TAVRI_RETURN_IF_ERROR(in->Text(&name, kNameLimit));
            continue;
        }
        if (type == kEndAttrGroup) {
            continue;
        }
        if ((type & 0xC0) == 0xC0) {
            return Fail(TRAXR_ERR_CORRUPT, "variable record at 0x%llx has the var type 0x%02x",
                        static_cast<unsigned long long>(position), type);
        }
        VarRecord var;
        var.var_type = type;
        var.scope = scope;
        var.tree = tree;
        var.position = position;
        if (descriptors && (type & 0xC0) != 0) {
            uint32_t length;
            TAVRI_RETURN_IF_ERROR(in->U32(&length));
            if (length > kDescriptorLimit || length > in->RemainingBound()) {
                return Fail(TRAXR_ERR_CORRUPT,
                            "variable record at 0x%llx has a descriptor of %u bytes",
                            static_cast<unsigned long long>(position), length);
            }
            var.descriptor.resize(length);
            TAVRI_RETURN_IF_ERROR(in->Bytes(var.descriptor.data(), length));
        }
        TAVRI_RETURN_IF_ERROR(in->Text(&var.name, kNameLimit));
        uint8_t flags;
        TAVRI_RETURN_IF_ERROR(in->Byte(&flags));
        // Bounds: 0 absent, 1 one byte, 2 two bytes, 3 four signed bytes.
        const unsigned bound_codes[2] = {flags & 0x03u, (flags >> 2) & 0x03u};
        int32_t *const bounds[2] = {&var.left, &var.right};
        for (int i = 0; i < 2; ++i) {
            if (bound_codes[i] == 0) continue;
            uint64_t value;
            TAVRI_RETURN_IF_ERROR(in->Unsigned(bound_codes[i] == 3 ? 4 : bound_codes[i], &value));
            *bounds[i] = static_cast<int32_t>(static_cast<uint32_t>(value));
        }
        const unsigned idcode_code = (flags >> 4) & 0x03;
        if (idcode_code == 3) {
            return Fail(TRAXR_ERR_CORRUPT, "variable %s announces both a 2- and a 4-byte idcode",
                        var.name.c_str());
        }
        uint64_t idcode;
        TAVRI_RETURN_IF_ERROR(in->Unsigned(idcode_code == 0   ? 1
                                           : idcode_code == 1 ? 2
                                                              : 4,
                                           &idcode));
        if (idcode == 0 || idcode > max_var_idcode) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "variable %s has idcode %llu, outside 1 .. %u (max var idcode)",
                        var.name.c_str(), static_cast<unsigned long long>(idcode), max_var_idcode);
        }
        var.idcode = static_cast<uint32_t>(idcode);
        if ((flags & 0x40) != 0) {
            uint8_t packed;
            TAVRI_RETURN_IF_ERROR(in->Byte(&packed));
            var.direction = packed >> 4;
            var.bytes_per_bit = packed & 0x0F;
            if (var.bytes_per_bit > 3) {
                return Fail(TRAXR_ERR_CORRUPT, "variable %s has the bytes-per-bit code %u",
                            var.name.c_str(), var.bytes_per_bit);
            }
        }
        if ((flags & 0x80) != 0) {
            var.has_data_type = true;
            TAVRI_RETURN_IF_ERROR(in->U16(&var.data_type));
        }
        vars_.push_back(std::move(var));
    }
}

std::pair<size_t, size_t> TreeModel::Range(uint32_t idcode) const {
    const auto less = [this](uint32_t var, uint32_t key) { return vars_[var].idcode < key; };
    const auto first = std::lower_bound(by_idcode_.begin(), by_idcode_.end(), idcode, less);
    auto last = first;
    while (last != by_idcode_.end() && vars_[*last].idcode == idcode) ++last;
    return {static_cast<size_t>(first - by_idcode_.begin()),
            static_cast<size_t>(last - by_idcode_.begin())};
}

uint32_t TreeModel::NameCount(uint32_t idcode) const {
    const auto [first, last] = Range(idcode);
    return static_cast<uint32_t>(last - first);
}

uint32_t TreeModel::Name(uint32_t idcode, uint32_t k) const {
    return by_idcode_[Range(idcode).first + k];
}

const VarRecord *TreeModel::Primary(uint32_t idcode) const {
    const auto [first, last] = Range(idcode);
    return first == last ? nullptr : &vars_[by_idcode_[first]];
}

}  // namespace tavri::reader
