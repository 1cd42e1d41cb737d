#include "writer/tree.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "writer/debug_log.h"
#include "writer/env_registry.h"
#include "writer/hash_table.h"
#include "writer/header_io.h"
#include "writer/incore_var.h"
#include "writer/limit_settings.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/pool.h"
#include "writer/record_size.h"
#include "writer/session_lists.h"
#include "writer/var_map.h"
#include "writer/vc_mem_pool.h"
#include "writer/wbuf.h"

using namespace tavri::writer;

namespace {

constexpr const char *kSource = "tree";
constexpr uint8_t kBeginTree = 0xFE;
constexpr uint8_t kEndTree = 0xFF;
constexpr uint8_t kEndScope = 0xFD;
constexpr uint8_t kFourthName = 15;
constexpr uint8_t kVarStreamStart = 0xBF;
constexpr uint8_t kVarGroupEnd = 0xFF;
constexpr uint8_t kVarStreamEnd = 17;
constexpr uint8_t kAttrGroupBegin = 0xC0;
constexpr uint8_t kAttrGroupEnd = 0xC1;
constexpr uint32_t kFullNameLimit = 10240;
constexpr uint32_t kManyRecords = 0x500000;

// Flags of a temporary variable, the record kept for each new idcode while
// its tree is open.
enum TempFlags : uint32_t {
    kTempDropRepeats = 1u << 8,
    kTempMiddleKind = 1u << 9,
    kTempComputedKind = 1u << 10,
    kTempNoGlitchLimit = 1u << 11,
    kTempDataTypeFlag = 1u << 12,
};

struct TempVar {
    uint32_t flags;
    uint16_t data_type;
    uint16_t unused;
    uint32_t value_size;
    uint32_t unused2;
};
static_assert(sizeof(TempVar) == 16);

uint32_t MaxIdcode(const txwObject *obj) { return obj->header.U32(kHdrMaxVarIdcode); }

void RaiseMaxStringLength(txwObject *obj, size_t length) {
    if (length > obj->header.U16(kHdrMaxStringLength)) {
        obj->header.SetU16(kHdrMaxStringLength, static_cast<uint16_t>(std::min<size_t>(length, 0xFFFF)));
    }
}

bool TreeOpen(txwObject *obj, const char *caller) {
    if (obj->tree_nesting == 1 && obj->scope_buffer != nullptr) {
        return true;
    }
    Warn("%s(): called outside txwBeginTree()/txwEndTree().\n", caller);
    return false;
}

void PairingMessages() {
    Warn("txwBeginTree() and txwEndTree() are not paired.\n");
    Warn("Each txwBeginTree() must have a corresponding txwEndTree().\n");
}

// Closes the group of variables written since the last trailer and, when a
// scope record waits for its trailer, writes it.
void WriteTrailer(txwObject *obj) {
    uint8_t trailer = static_cast<uint8_t>((obj->scope_flag_a << 5) | (obj->scope_flag_b << 6));
    Uoff group = 0;
    const bool had_vars = obj->vars_since_trailer;
    if (had_vars) {
        WBufPutByte(obj, obj->var_buffer, kVarGroupEnd);
        group = obj->var_group_start;
        obj->var_group_start = StreamPosition(obj, obj->var_buffer);
        obj->vars_since_trailer = false;
        if (obj->wide_kind) {
            trailer |= 16;
        }
    }
    obj->wide_kind = false;
    obj->scope_flag_a = 0;
    obj->scope_flag_b = 0;
    if (!obj->trailer_pending) {
        return;
    }
    obj->trailer_pending = false;
    uint8_t bytes[9];
    uint32_t length = 1;
    if (had_vars) {
        if ((group >> 32) == 0) {
            trailer |= 1;
            const auto low = static_cast<uint32_t>(group);
            std::memcpy(bytes + 1, &low, 4);
            length = 5;
        } else {
            trailer |= 2;
            std::memcpy(bytes + 1, &group, 8);
            length = 9;
        }
    }
    bytes[0] = trailer;
    WBufPutBytes(obj, obj->scope_buffer, length, bytes);
}

// Writes a message of a rejected variable to standard error, behind the
// variable's full name.
void VarError(txwObject *obj, const char *name, const std::string &text) {
    std::fprintf(stderr, "%s: %s", txwGetFullHierName(obj, name, "."), text.c_str());
}



void PutLittle(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Appends a bound (or any signed value) in 1, 2 or 4 bytes and returns the
// two flag bits that announce its width.
uint8_t PutBound(std::vector<uint8_t> &out, int32_t value) {
    if (value >= 0 && value <= 255) {
        PutLittle(out, static_cast<uint32_t>(value), 1);
        return 1;
    }
    if (value >= 256 && value <= 65535) {
        PutLittle(out, static_cast<uint32_t>(value), 2);
        return 2;
    }
    PutLittle(out, static_cast<uint32_t>(value), 4);
    return 3;
}

bool FileTypeStoresDescriptors(uint8_t file_type) {
    return file_type == 0 || (file_type >= 6 && file_type <= 13) || file_type >= 15;
}

bool FileTypeVerilogLike(uint8_t file_type) { return file_type == 0 || (file_type >= 6 && file_type <= 13); }

// Flags of the temporary variable of a new idcode, by file type, type code,
// descriptor kind and data type.
uint32_t TempVarFlags(const txwObject *obj, const txwVarParam &var, bool first_variable) {
    const uint8_t file_type = obj->header.U8(kHdrFileType);
    const uint8_t type_code = var.var_type & 0x3F;
    const uint8_t kind = var.var_type & 0xC0;
    uint32_t flags = var.bytes_per_bit | kTempDropRepeats;
    if ((file_type == 1 || file_type == 14) && type_code != 0) {
        flags &= ~kTempDropRepeats;
    }
    if (file_type == 2) {
        flags &= ~kTempDropRepeats;
    }
    if (file_type >= 8 && file_type <= 13) {
        if (kind == 0x40) {
            flags |= kTempMiddleKind;
        } else if (kind == 0x80) {
            flags |= kTempComputedKind;
        }
    }
    if ((flags & kTempDropRepeats) != 0) {
        if (FileTypeVerilogLike(file_type) && (type_code == 0 || type_code == 18 || type_code == 37)) {
            flags &= ~kTempDropRepeats;
        }
        if (type_code == 3 || type_code == 49 || (type_code == 48 && !first_variable)) {
            flags &= ~kTempDropRepeats;
        }
    }
    if ((FileTypeVerilogLike(file_type) && (type_code == 18 || type_code == 37)) || type_code == 48 ||
        type_code == 49) {
        flags |= kTempNoGlitchLimit;
    }
    if (var.data_type >= 35 && var.data_type <= 38) {
        flags |= kTempDataTypeFlag;
    }
    if (type_code >= 54 && type_code <= 62 && var.extra_length > 0) {
        flags &= ~kTempDropRepeats;
        flags |= kTempNoGlitchLimit;
    }
    return flags;
}

uint32_t IncoreFlagsOf(uint32_t temp) {
    uint32_t flags = temp & kVarBytesPerBitMask;
    if ((temp & kTempDropRepeats) != 0) flags |= kVarDropRepeats;
    if ((temp & kTempMiddleKind) != 0) flags |= kVarMiddleKind;
    if ((temp & kTempComputedKind) != 0) flags |= kVarComputedKind;
    if ((temp & kTempNoGlitchLimit) != 0) flags |= kVarNoGlitchLimit;
    if ((temp & kTempDataTypeFlag) != 0) flags |= kVarDataTypeFlag;
    return flags;
}

// Builds the variable record in the object's staging area.
void BuildVarRecord(txwObject *obj, const txwVarParam &var, const char *name, size_t name_length) {
    std::vector<uint8_t> &out = obj->record;
    out.clear();
    out.push_back(var.var_type);
    if (FileTypeStoresDescriptors(obj->header.U8(kHdrFileType)) && (var.var_type & 0xC0) != 0) {
        PutLittle(out, var.descriptor_length, 4);
        out.insert(out.end(), var.descriptor, var.descriptor + var.descriptor_length);
    }
    out.insert(out.end(), name, name + name_length);
    out.push_back(0);
    const size_t flag_at = out.size();
    out.push_back(0);
    uint8_t flag = 0;
    if (var.left != 0) {
        flag |= PutBound(out, var.left);
    }
    if (var.right != 0) {
        flag |= static_cast<uint8_t>(PutBound(out, var.right) << 2);
    }
    const auto idcode = static_cast<uint32_t>(var.idcode);
    if (idcode < 256) {
        PutLittle(out, idcode, 1);
    } else if (idcode < 65536) {
        PutLittle(out, idcode, 2);
        flag |= 16;
    } else {
        PutLittle(out, idcode, 4);
        flag |= 32;
    }
    if (var.direction != 0 || var.bytes_per_bit != 0) {
        out.push_back(static_cast<uint8_t>(var.direction * 16 + var.bytes_per_bit));
        flag |= 64;
    }
    if (var.data_type != 0) {
        PutLittle(out, var.data_type, 2);
        flag |= 128;
    }
    if (var.extra_length > 0 && var.extra != nullptr) {
        out.insert(out.end(), var.extra, var.extra + var.extra_length);
    }
    out[flag_at] = flag;
}

bool IsWideKind(uint8_t type_code) {
    return type_code == 17 || type_code == 18 || type_code == 36 || type_code == 37 || type_code == 48;
}

int CreateVar(txwObject *obj, const txwVarParam &var) {
    const uint32_t max_idcode = MaxIdcode(obj);
    if (max_idcode == 0 && var.idcode != 1) {
        Warn("The idcode of the first variable must be 1.\n");
        Warn("The application gives %d for the first variable.\n", var.idcode);
        Warn("variable creation failed, return.\n");
        return TXW_ERROR;
    }
    if (var.name == nullptr) {
        Warn("variable name cannot be NULL.\n");
        Warn("variable creation failed, return.\n");
        return TXW_ERROR;
    }
    if (var.name[0] == '\0') {
        Warn("variable name cannot be back slash zero.\n");
        Warn("variable creation failed, return.\n");
        return TXW_ERROR;
    }
    if (var.idcode < 0) {
        VarError(obj, var.name, "var idcode(" + std::to_string(var.idcode) + ") cannot be negative!\n");
        return TXW_NEGATIVE_IDCODE;
    }
    if (var.bytes_per_bit > 3) {
        VarError(obj, var.name, "bytes_per_bit(" + std::to_string(var.bytes_per_bit) + ") is wrong!\n");
        return TXW_BAD_BYTES_PER_BIT;
    }
    if (var.descriptor != nullptr && (var.var_type & 0xC0) == 0) {
        VarError(obj, var.name, "conflict found, NULL != descriptor but not expr_var_type.\n");
        std::fprintf(stderr, "var creation fails\n");
        return TXW_ERROR;
    }
    if (var.descriptor != nullptr && var.descriptor_length == 0) {
        VarError(obj, var.name, "conflict found, NULL != descriptor but 0 == len\n");
        std::fprintf(stderr, "var creation fails\n");
        return TXW_ERROR;
    }
    txwVarParam use = var;
    if (use.descriptor == nullptr) {
        use.descriptor_length = 0;
    }
    const int64_t width = static_cast<int64_t>(std::abs(static_cast<int64_t>(var.left) - var.right)) + 1;
    if (obj->check_mode && width > kMaxBitSize) {
        VarError(obj, var.name, "bit size is out of range.\n");
        return TXW_BIT_SIZE;
    }
    const auto idcode = static_cast<uint32_t>(var.idcode);
    if (max_idcode != 0 && idcode > max_idcode && idcode != max_idcode + 1) {
        Warn("var idcode(%d) is not continuous from max var idcode(%d).\n", var.idcode,
             static_cast<int>(max_idcode));
        Warn("Current var creation is discarded!\n");
        return TXW_IDCODE_NOT_CONTINUOUS;
    }
    if (idcode > max_idcode) {
        auto *temp = static_cast<TempVar *>(traxPoolObj_GetOneElement(obj->var_pool));
        if (temp == nullptr) {
            Warn("txwCreateVarByVarIdcode2(): Failed to allocate a tmp var.\n");
            return TXW_NO_MEMORY;
        }
        obj->header.SetU32(kHdrMaxVarIdcode, idcode);
        std::memset(temp, 0, sizeof *temp);
        temp->flags = TempVarFlags(obj, use, max_idcode == 0);
        temp->data_type = static_cast<uint16_t>(use.data_type);
        temp->value_size = static_cast<uint32_t>(width) << use.bytes_per_bit;
    }
    if (use.data_type >= kFirstUserDataType) {
        // No user data types are kept by this writer: a handle cannot be found.
        Warn("data_type_handle is not NULL but failed to find its dtm.\n");
        Warn("var creation failed.\n");
        return TXW_ERROR;
    }

    // An escaped name loses its one trailing blank.
    size_t name_length = std::strlen(use.name);
    if (use.name[0] == '\\' && name_length > 1 && use.name[name_length - 1] == ' ') {
        --name_length;
    }
    BuildVarRecord(obj, use, use.name, name_length);
    WBufPutBytes(obj, obj->var_buffer, static_cast<uint32_t>(obj->record.size()), obj->record.data());
    if (use.extra != nullptr) {
        std::free(use.extra);
    }
    RaiseMaxStringLength(obj, std::max<size_t>(name_length, use.descriptor_length));
    const uint8_t kind = use.var_type & 0xC0;
    if (FileTypeStoresDescriptors(obj->header.U8(kHdrFileType)) && kind != 0) {
        obj->header.SetU8(kind == 0x40 ? kHdrFormatFlags : kHdrFormatFlags + 2, 1);
    }
    obj->header.SetU8(kHdrHasVarDir, obj->header.U8(kHdrHasVarDir) | use.direction);
    obj->header.AddU32(kHdrVarCreationCnt, 1);
    obj->vars_since_trailer = true;
    if (IsWideKind(use.var_type & 0x3F) || (obj->attr_group_open && width >= 2)) {
        obj->wide_kind = true;
    }
    return 0;
}

txwVarParam MakeVarParam(uint8_t var_type, uint8_t direction, uint32_t data_type, int32_t left,
                         int32_t right, int32_t idcode, const char *name, uint8_t bytes_per_bit) {
    txwVarParam var{};
    var.size = sizeof var;
    var.name = name;
    var.var_type = var_type;
    var.direction = direction;
    var.bytes_per_bit = bytes_per_bit;
    var.idcode = idcode;
    var.data_type = data_type;
    var.left = left;
    var.right = right;
    return var;
}

// Moves the open scopes to `path`: keeps the leading components that match,
// ends the others and creates the missing ones as modules.
int MoveToPath(txwObject *obj, const char *path, const char *separators) {
    std::vector<std::string> components;
    std::string current;
    for (const char *c = path != nullptr ? path : ""; *c != '\0'; ++c) {
        if (separators != nullptr && std::strchr(separators, *c) != nullptr) {
            if (!current.empty()) {
                components.push_back(current);
            }
            current.clear();
        } else {
            current += *c;
        }
    }
    if (!current.empty()) {
        components.push_back(current);
    }
    size_t keep = 0;
    while (keep < components.size() && keep < obj->scope_path.size() &&
           components[keep] == obj->scope_path[keep]) {
        ++keep;
    }
    while (obj->scope_path.size() > keep) {
        txw_EndScope(obj);
    }
    for (size_t i = keep; i < components.size(); ++i) {
        txwScopeDesc scope{};
        scope.name = components[i].c_str();
        const int status = txw_CreateScope(obj, &scope);
        if (status != 0) {
            return status;
        }
    }
    return 0;
}

txwVarMapRec *CreateByHandle(txwObject *obj, uint8_t var_type, uint8_t direction, uint32_t data_type,
                             int32_t left, int32_t right, txwHandle handle, const char *name,
                             uint8_t bytes_per_bit, uint8_t *existed, bool absolute_idcode) {
    if (existed != nullptr) {
        *existed = 0;
    }
    if (!TreeOpen(obj, "txwCreateVarByVarIdcode2")) {
        return nullptr;
    }
    if (obj->var_map == nullptr && txwCreateTreeByHandleScheme(obj) != 0) {
        return nullptr;
    }
    txwVarMapRec *record = nullptr;
    if (LookupVarMap(obj, handle, &record) == 0) {
        int32_t idcode = record->idcode;
        if (absolute_idcode && idcode < 0) {
            idcode = -idcode;
        }
        const txwVarParam var =
            MakeVarParam(var_type, direction, data_type, left, right, idcode, name, bytes_per_bit);
        if (CreateVar(obj, var) != 0) {
            return nullptr;
        }
        if (existed != nullptr) {
            *existed = 1;
        }
        return record;
    }
    const auto idcode = static_cast<int32_t>(MaxIdcode(obj) + 1);
    const txwVarParam var = MakeVarParam(var_type, direction, data_type, left, right, idcode, name, bytes_per_bit);
    if (CreateVar(obj, var) != 0) {
        return nullptr;
    }
    // The variable stream holds no lookup of the var map: the probe of the
    // failed lookup above is still the one to insert after.
    if (obj->var_map->probe == 0) {
        txwVarMapRec key{};
        key.handle = handle;
        traxHash_Lookup(obj->var_map, &key);
    }
    if (InsertVarMapAfterProbe(obj, handle, idcode, &record) != 0) {
        return nullptr;
    }
    record->bit_size = static_cast<uint32_t>(std::abs(static_cast<int64_t>(right) - left) + 1);
    record->var_type = var_type;
    return record;
}

// The in-core records of a tree that has just ended, from its temporary
// variables. The first tree also gets the dump-off marker at idcode 0.
int MakeIncoreRecords(txwObject *obj, TreeRecord *tree) {
    tree->last_idcode = MaxIdcode(obj);
    tree->count = tree->last_idcode + 1 - tree->first_idcode;
    if (tree->count != 0) {
        DebugLog(obj, "Alloc incore var mem. count:%u size:%u\n", tree->count,
                 static_cast<unsigned>(sizeof(IncoreVar)));
        tree->vars = new (std::nothrow) IncoreVar[tree->count];
        if (tree->vars == nullptr) {
            return TXW_NO_MEMORY;
        }
        obj->tree_index.emplace_back(tree->last_idcode, tree);
    }
    uint32_t next = tree->first_idcode;
    if (tree == obj->trees && tree->count != 0) {
        IncoreVar &marker = tree->vars[0];
        marker.flags = kVarDropRepeats;
        marker.value_size = 1;
        next = 1;
    }
    traxPoolObj_IterateBegin(obj->var_pool);
    while (auto *temp = static_cast<TempVar *>(traxPoolObj_IterateNext(obj->var_pool))) {
        TXW_ASSERT(next <= tree->last_idcode, kSource);
        IncoreVar &var = tree->vars[next - tree->first_idcode];
        var.flags = IncoreFlagsOf(temp->flags);
        var.value_size = temp->value_size;
        var.data_type = temp->data_type;
        ++next;
    }
    TXW_ASSERT(tree->count == 0 || next == tree->last_idcode + 1, kSource);
    traxPoolObj_Destroy(obj->var_pool);
    obj->var_pool = nullptr;
    return 0;
}

void SetDefaultMemoryLimit(txwObject *obj) {
    if (obj->limited_file_size != 0 && obj->vc_memory != nullptr) {
        return;  // an automatically switched file keeps its small memory
    }
    const char *limit = TXW_GETENV("TRAX_ENV_WRITER_MEM_LIMIT");
    if (limit != nullptr && obj->vc_memory == nullptr) {
        SetValueChangeMemLimit(obj, static_cast<uint32_t>(std::strtoul(limit, nullptr, 10)));
    } else if (obj->header.U32(kHdrVarCreationCnt) < kManyRecords) {
        SetOrRaiseDefaultMemLimit(obj, MaxIdcode(obj));
    } else if (obj->vc_memory == nullptr || obj->vc_memory->limit < 128) {
        SetValueChangeMemLimit(obj, 128);
    }
}

}  // namespace

namespace tavri::writer {

IncoreVar *FindIncoreVar(txwObject *obj, uint32_t idcode) {
    const auto &index = obj->tree_index;
    if (index.size() >= 5) {
        auto entry = std::lower_bound(index.begin(), index.end(), idcode,
                                      [](const auto &pair, uint32_t id) { return pair.first < id; });
        if (entry == index.end() || idcode < entry->second->first_idcode) {
            DebugLog(obj, "Failed to get var(idcode=%d), trax max idcode=%d\n", static_cast<int>(idcode),
                     static_cast<int>(MaxIdcode(obj)));
            return nullptr;
        }
        return &entry->second->vars[idcode - entry->second->first_idcode];
    }
    for (const auto &[last, tree] : index) {
        if (idcode <= last && idcode >= tree->first_idcode) {
            return &tree->vars[idcode - tree->first_idcode];
        }
    }
    DebugLog(obj, "Failed to get var(idcode=%d), trax max idcode=%d\n", static_cast<int>(idcode),
             static_cast<int>(MaxIdcode(obj)));
    return nullptr;
}

void FreeTrees(txwObject *obj) {
    for (TreeRecord *tree = obj->trees; tree != nullptr; tree = tree->next) {
        delete[] tree->vars;
        tree->vars = nullptr;
    }
    if (obj->var_pool != nullptr) {
        traxPoolObj_Destroy(obj->var_pool);
        obj->var_pool = nullptr;
    }
    obj->tree_index.clear();
}

}  // namespace tavri::writer

extern "C" {

int txw_BeginTree(txwObject *obj) {
    if (obj->tree_nesting != 0) {
        PairingMessages();
        return 0;
    }
    ++obj->tree_nesting;
    DebugLog(obj, "txwBeginTree(tree %u) is called.\n", obj->header.U32(kHdrTreeCount));
    if (obj->scope_buffer == nullptr) {
        obj->scope_buffer = WBufCreate(obj->main_file, false, kWriteBufferCapacity, BlockKind::kScope);
    }
    if (obj->var_buffer == nullptr) {
        obj->var_buffer = WBufCreate(obj->main_file, false, kWriteBufferCapacity, BlockKind::kVariable);
    }
    if (obj->scope_buffer == nullptr || obj->var_buffer == nullptr) {
        Warn("Out of memory. (obj->fixed_len_scope_path_arr).\n");
        --obj->tree_nesting;
        return 0;
    }
    obj->scope_path.reserve(512);
    TXW_ASSERT(obj->var_pool == nullptr, kSource);
    obj->var_pool = traxPoolObj_Create(sizeof(TempVar), 8192);
    if (obj->var_pool == nullptr) {
        Warn("txwBeginTree(): Failed to allocate a var pool object.\n");
        --obj->tree_nesting;
        return 0;
    }
    auto *tree = new (std::nothrow) TreeRecord;
    if (tree == nullptr) {
        Warn("txwBeginTree(): Failed to allocate a new tree.\n");
        traxPoolObj_Destroy(obj->var_pool);
        obj->var_pool = nullptr;
        --obj->tree_nesting;
        return 0;
    }
    tree->first_idcode = obj->last_tree != nullptr ? obj->last_tree->last_idcode + 1 : 0;
    if (obj->last_tree != nullptr) {
        obj->last_tree->next = tree;
    } else {
        obj->trees = tree;
    }
    obj->last_tree = tree;

    WBufPutByte(obj, obj->scope_buffer, kBeginTree);
    obj->attr_group_open = false;
    if (StreamPosition(obj, obj->var_buffer) == 0) {
        WBufPutByte(obj, obj->var_buffer, kVarStreamStart);
    }
    obj->var_group_start = StreamPosition(obj, obj->var_buffer);
    obj->trailer_pending = false;
    obj->vars_since_trailer = false;
    return 1;
}

int txwCreateScope2(txwObject *obj, const txwScopeParam *param) {
    txwScopeParam widened{};
    const void *record = nullptr;
    const int checked = CheckRecordSize(obj->file_name.c_str(), param, sizeof(txwScopeParam), &widened, &record);
    if (checked != 0) {
        return checked;
    }
    const txwScopeParam &scope = *static_cast<const txwScopeParam *>(record);
    if (scope.name == nullptr) {
        Warn("txwCreateScope2(): scope name is not allowed to be NULL.\n");
        Warn("Current txwCreateScope2() call is discarded!\n");
        return TXW_NULL_NAME;
    }
    if (!TreeOpen(obj, "txwCreateScope2")) {
        return TXW_TREES_NOT_PAIRED;
    }
    WriteTrailer(obj);
    obj->scope_flag_a = scope.flag_a & 1;
    obj->scope_flag_b = scope.flag_b & 1;

    std::vector<uint8_t> &out = obj->record;
    out.clear();
    out.push_back(scope.scope_type);
    for (const char *name : {scope.name, scope.second_name, scope.third_name}) {
        const char *text = name != nullptr ? name : "";
        const size_t length = std::strlen(text);
        out.insert(out.end(), text, text + length);
        out.push_back(0);
        RaiseMaxStringLength(obj, length);
    }
    if (scope.fourth_name != nullptr) {
        out.push_back(kFourthName);
        const size_t length = std::strlen(scope.fourth_name);
        out.insert(out.end(), scope.fourth_name, scope.fourth_name + length);
        out.push_back(0);
    }
    WBufPutBytes(obj, obj->scope_buffer, static_cast<uint32_t>(out.size()), out.data());
    obj->trailer_pending = true;
    obj->header.AddU32(kHdrScopeCreationCnt, 1);
    obj->scope_path.emplace_back(scope.name);
    return 0;
}

int txw_CreateScope(txwObject *obj, const txwScopeDesc *scope) {
    txwScopeParam param{};
    param.size = sizeof param;
    param.name = scope->name;
    param.second_name = scope->second_name;
    param.third_name = scope->third_name;
    param.flag_a = scope->flag_a;
    param.scope_type = scope->scope_type;
    return txwCreateScope2(obj, &param);
}

int txw_EndScope(txwObject *obj) {
    if (!TreeOpen(obj, "txw_EndScope")) {
        return TXW_TREES_NOT_PAIRED;
    }
    WriteTrailer(obj);
    WBufPutByte(obj, obj->scope_buffer, kEndScope);
    if (!obj->scope_path.empty()) {
        obj->scope_path.pop_back();
    }
    return 0;
}

int txwCreateVarByVarIdcode2(txwObject *obj, const txwVarParam *param) {
    txwVarParam widened{};
    const void *record = nullptr;
    const int checked = CheckRecordSize(obj->file_name.c_str(), param, sizeof(txwVarParam), &widened, &record);
    if (checked != 0) {
        return checked;
    }
    if (!TreeOpen(obj, "txwCreateVarByVarIdcode2")) {
        return TXW_TREES_NOT_PAIRED;
    }
    return CreateVar(obj, *static_cast<const txwVarParam *>(record));
}

int32_t txw_CreateVarByVarIdcode(txwObject *obj, uint8_t var_type, uint8_t direction, uint32_t data_type,
                                 int32_t left, int32_t right, int32_t idcode, const char *name,
                                 uint8_t bytes_per_bit) {
    const txwVarParam var = MakeVarParam(var_type, direction, data_type, left, right, idcode, name, bytes_per_bit);
    return txwCreateVarByVarIdcode2(obj, &var) == 0 ? idcode : TXW_ERROR;
}

int32_t txw_CreateVarByIdcode(txwObject *obj, const char *name, int32_t idcode) {
    return txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, idcode, name, 2);
}

txwVarMapRec *txw_CreateVarByHandle(txwObject *obj, uint8_t var_type, uint8_t direction, uint32_t data_type,
                                    int32_t left, int32_t right, txwHandle handle, const char *name,
                                    uint8_t bytes_per_bit) {
    return CreateByHandle(obj, var_type, direction, data_type, left, right, handle, name, bytes_per_bit,
                          nullptr, false);
}

txwVarMapRec *txw_CreateVarRecByHandle(txwObject *obj, uint8_t var_type, uint8_t direction,
                                       uint32_t data_type, int32_t left, int32_t right, txwHandle handle,
                                       const char *name, uint8_t bytes_per_bit, uint8_t *existed) {
    return CreateByHandle(obj, var_type, direction, data_type, left, right, handle, name, bytes_per_bit,
                          existed, false);
}

txwVarMapRec *txw_CreateVarByHandleAndPath(txwObject *obj, uint8_t var_type, uint8_t direction,
                                           uint32_t data_type, int32_t left, int32_t right,
                                           txwHandle handle, const char *name, uint8_t bytes_per_bit,
                                           const char *path, const char *separators) {
    if (!TreeOpen(obj, "txw_CreateVarByHandleAndPath") || MoveToPath(obj, path, separators) != 0) {
        return nullptr;
    }
    return CreateByHandle(obj, var_type, direction, data_type, left, right, handle, name, bytes_per_bit,
                          nullptr, true);
}

int txw_BeginAttrGroup(txwObject *obj, const char *name, const void *value4) {
    if (!TreeOpen(obj, "txw_BeginAttrGroup")) {
        return TXW_TREES_NOT_PAIRED;
    }
    const char *text = name != nullptr ? name : "";
    WBufPutByte(obj, obj->var_buffer, kAttrGroupBegin);
    uint8_t value[4] = {};
    if (value4 != nullptr) {
        std::memcpy(value, value4, 4);
    }
    WBufPutBytes(obj, obj->var_buffer, 4, value);
    WBufPutBytes(obj, obj->var_buffer, static_cast<uint32_t>(std::strlen(text) + 1), text);
    RaiseMaxStringLength(obj, std::strlen(text));
    obj->attr_group_open = true;
    obj->vars_since_trailer = true;
    return 0;
}

int txw_EndAttrGroup(txwObject *obj) {
    if (!TreeOpen(obj, "txw_EndAttrGroup")) {
        return TXW_TREES_NOT_PAIRED;
    }
    obj->attr_group_open = false;
    WBufPutByte(obj, obj->var_buffer, kAttrGroupEnd);
    return 0;
}

int txw_EndTree(txwObject *obj) {
    if (obj->tree_nesting != 1) {
        PairingMessages();
        return TXW_TREES_NOT_PAIRED;
    }
    --obj->tree_nesting;
    DebugLog(obj, "txwEndTree(tree %u) is called.\n", obj->header.U32(kHdrTreeCount));
    DebugLog(obj, "current max_var_idcode is: %u\n", MaxIdcode(obj));
    WriteTrailer(obj);
    WBufPutByte(obj, obj->scope_buffer, kEndTree);
    WBuf_Flush(obj, obj->scope_buffer);
    WBuf_Flush(obj, obj->var_buffer);
    if (obj->data_type_buffer != nullptr) {
        WBuf_Flush(obj, obj->data_type_buffer);
    }
    TreeRecord *tree = obj->last_tree;
    const bool first_tree = tree == obj->trees;
    if (MakeIncoreRecords(obj, tree) != 0) {
        return TXW_NO_MEMORY;
    }
    AppendTreeRecord(obj, tree);
    if (first_tree) {
        StartValueChangeStreams(obj);
    }
    SetDefaultMemoryLimit(obj);
    CapMemoryForSizeLimit(obj);
    {
        ScopedLock lock(obj);
        obj->header.AddU32(kHdrTreeCount, 1);
        ++obj->tree_count;
        WriteStatisticsSection(obj);
    }
    if (StreamPosition(obj, obj->var_buffer) == 0) {
        WBufPutByte(obj, obj->var_buffer, kVarStreamEnd);
    }
    obj->scope_path.clear();
    return 0;
}

const char *txwGetFullHierName(txwObject *obj, const char *name, const char *separator) {
    static char full[kFullNameLimit];
    const size_t separator_length = std::strlen(separator);
    size_t used = 0;
    size_t depth = 0;
    for (const std::string &scope : obj->scope_path) {
        if (used + scope.size() + separator_length + 1 > kFullNameLimit) {
            Warn("Full hier name is too long - %d!\n", 1);
            Warn("current:%u, max:%u, depth:%u!\n", static_cast<unsigned>(used), kFullNameLimit,
                 static_cast<unsigned>(depth));
            return name;
        }
        std::memcpy(full + used, scope.data(), scope.size());
        used += scope.size();
        std::memcpy(full + used, separator, separator_length);
        used += separator_length;
        ++depth;
    }
    const size_t name_length = std::strlen(name);
    if (used + name_length + 1 > kFullNameLimit) {
        Warn("Full hier name is too long - %d!\n", 2);
        Warn("current:%u, max:%u, depth:%u!\n", static_cast<unsigned>(used), kFullNameLimit,
             static_cast<unsigned>(depth));
        return name;
    }
    std::memcpy(full + used, name, name_length + 1);
    return full;
}

}  // extern "C"

extern "C" uint32_t txw_GetMaxVarIdcode(txwObject *obj) { return MaxIdcode(obj); }
