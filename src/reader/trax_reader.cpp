// The C interface over tavri::reader::Database. Nothing is thrown across it:
// a failed allocation becomes TRAXR_ERR_NO_MEMORY.
#include "tavri/trax_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "reader/block_decoder.h"
#include "reader/change_walk.h"
#include "reader/check.h"
#include "reader/database.h"
#include "reader/esd_info.h"
#include "reader/header.h"
#include "reader/live_step.h"

using tavri::reader::ChainEntry;
using tavri::reader::Change;
using tavri::reader::Database;
using tavri::reader::Status;

struct traxrReader {
    Database db;
    std::string message;
    char version[16] = {};
    std::vector<uint8_t> esd_data;
    std::vector<uint8_t> esd_table;
};

struct traxrChangeList {
    std::vector<Change> changes;
    const tavri::reader::StringList *strings = nullptr;
};

struct traxrWalk {
    explicit traxrWalk(traxrReader *r) : reader(r), walk(&r->db) {}
    traxrReader *reader;
    tavri::reader::ChangeWalk walk;
};

struct traxrChangeSet {
    std::vector<traxrChangeList> lists;
    traxrChangeList none;  // for idcodes without changes beyond the lists
};

namespace {

traxrStatus Record(traxrReader *reader, const Status &status) {
    // Most calls succeed after a success: clearing an empty text is cheap.
    if (status.ok()) {
        reader->message.clear();
    } else {
        reader->message = status.message();
    }
    return status.code();
}

template <typename Body>
traxrStatus Guarded(traxrReader *reader, Body body) {
    try {
        return Record(reader, body());
    } catch (const std::bad_alloc &) {
        reader->message = "out of memory";
        return TRAXR_ERR_NO_MEMORY;
    }
}

void CopyMessage(const std::string &text, char *message, size_t size) {
    if (message != nullptr && size > 0) {
        std::snprintf(message, size, "%s", text.c_str());
    }
}

traxrBlockLayout ToC(const tavri::reader::BlockLayout &layout) {
    return traxrBlockLayout{layout.offset, layout.stored_length};
}

traxrChainEntry ToC(const ChainEntry &e) {
    traxrChainEntry c{};
    c.position = e.position;
    c.back_link = e.back_link;
    c.element_position = e.element_position;
    c.statistic = e.statistic;
    c.first_time = e.first_time;
    c.last_time = e.last_time;
    c.change_count = e.change_count;
    c.flags_a = e.flags_a;
    c.flags_b = e.flags_b;
    c.session = e.session;
    c.redundant = e.redundant ? 1 : 0;
    return c;
}

}  // namespace

extern "C" {

traxrStatus traxr_Open(const char *path, traxrReader **reader, char *message, size_t message_size) {
    if (reader == nullptr) {
        CopyMessage("no place for the reader handle", message, message_size);
        return TRAXR_ERR_ARGUMENT;
    }
    *reader = nullptr;
    if (path == nullptr) {
        CopyMessage("no path", message, message_size);
        return TRAXR_ERR_ARGUMENT;
    }
    traxrReader *opened = new (std::nothrow) traxrReader;
    if (opened == nullptr) {
        CopyMessage("out of memory", message, message_size);
        return TRAXR_ERR_NO_MEMORY;
    }
    const traxrStatus status = Guarded(opened, [&] { return opened->db.Open(path); });
    if (status != TRAXR_OK) {
        CopyMessage(opened->message, message, message_size);
        delete opened;
        return status;
    }
    const traxrHeader &h = opened->db.header();
    std::snprintf(opened->version, sizeof opened->version, "%u.%u", h.version_major,
                  h.version_minor);
    CopyMessage("", message, message_size);
    *reader = opened;
    return TRAXR_OK;
}

void traxr_Close(traxrReader *reader) { delete reader; }

traxrStatus traxr_ReadHeader(const char *path, traxrHeader *header, char *message,
                             size_t message_size) {
    if (path == nullptr || header == nullptr) {
        CopyMessage("no path or no place for the header", message, message_size);
        return TRAXR_ERR_ARGUMENT;
    }
    tavri::reader::FileSource file;
    Status status = file.Open(path, "database file");
    if (status.ok()) {
        uint8_t bytes[tavri::reader::kHeaderSize] = {};
        const uint64_t available = std::min<uint64_t>(file.size(), sizeof bytes);
        status = file.Read(0, available, bytes);
        tavri::reader::ByteOrder order;
        if (status.ok()) {
            status = tavri::reader::ParseHeader(bytes, available, file.size(), header, &order);
        }
    }
    CopyMessage(status.message(), message, message_size);
    return status.code();
}

const char *traxr_LastMessage(const traxrReader *reader) {
    return reader != nullptr ? reader->message.c_str() : "";
}

const traxrHeader *traxr_GetHeader(const traxrReader *reader) {
    return reader != nullptr ? &reader->db.header() : nullptr;
}

int traxr_ByteOrder(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    switch (reader->db.order()) {
        case tavri::reader::ByteOrder::kSame:
            return TRAXR_ORDER_SAME;
        case tavri::reader::ByteOrder::kReversed:
            return TRAXR_ORDER_REVERSED;
        default:
            return TRAXR_ORDER_HALVES;
    }
}

int traxr_IsLive(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return reader != nullptr ? reader->db.live() ? 1 : 0 : 0;
}

int traxr_HiddenFrom(const traxrReader *reader, uint64_t *time) {
    if (reader == nullptr || time == nullptr) return 0;
    const uint64_t hidden_from = tavri::reader::HiddenFrom(reader->db);
    if (hidden_from == tavri::reader::kShowAll) return 0;
    *time = hidden_from;
    return 1;
}

int traxr_StoppedAt(const traxrReader *reader, uint64_t *time) {
    if (reader == nullptr || time == nullptr) return 0;
    return tavri::reader::StoppedAt(reader->db, time) ? 1 : 0;
}

int traxr_VisibleEndTime(const traxrReader *reader, uint64_t *time) {
    if (reader == nullptr || time == nullptr) return 0;
    return tavri::reader::VisibleEndTime(reader->db, time) ? 1 : 0;
}

int traxr_FirstTime(const traxrReader *reader, uint64_t *time) {
    if (reader == nullptr || time == nullptr) return 0;
    return tavri::reader::FirstTime(reader->db, time) ? 1 : 0;
}

const char *traxr_Version(const traxrReader *reader) {
    return reader != nullptr ? reader->version : nullptr;
}

const char *traxr_FileTypeName(unsigned file_type) {
    return tavri::reader::FileTypeName(file_type);
}

const char *traxr_CompressionMethodName(unsigned method) {
    return method > 0xFF ? nullptr : tavri::reader::CompressionMethodName(static_cast<uint8_t>(method));
}

const char *traxr_FileStatusName(unsigned file_status) {
    return tavri::reader::FileStatusName(file_status);
}

const char *traxr_EndianName(unsigned endian_type) {
    return tavri::reader::EndianName(endian_type);
}

const char *traxr_TimeUnitName(unsigned time_unit_code) {
    return tavri::reader::TimeUnitName(time_unit_code);
}

const char *traxr_Annotation(const traxrReader *reader) {
    if (reader == nullptr) return nullptr;
    return reader->db.has_annotation() ? reader->db.annotation().c_str() : nullptr;
}

uint32_t traxr_TreeCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.tree().trees().size());
}

traxrStatus traxr_GetTree(const traxrReader *reader, uint32_t index, traxrTree *tree) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &trees = reader->db.tree().trees();
    if (tree == nullptr) return TRAXR_ERR_ARGUMENT;
    if (index >= trees.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::TreeInfo &t = trees[index];
    tree->first_idcode = t.first_idcode;
    tree->idcode_count = t.record.idcode_count;
    tree->scope_block_count = static_cast<uint32_t>(t.record.scope_blocks.size());
    tree->var_block_count = static_cast<uint32_t>(t.record.var_blocks.size());
    tree->data_type_block_count = static_cast<uint32_t>(t.record.data_type_blocks.size());
    tree->first_scope = t.first_scope;
    tree->scope_count = t.scope_count;
    tree->first_var = t.first_var;
    tree->var_count = t.var_count;
    return TRAXR_OK;
}

traxrStatus traxr_GetTreeBlock(const traxrReader *reader, uint32_t tree, int kind, uint32_t index,
                               traxrBlockLayout *layout) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &trees = reader->db.tree().trees();
    if (layout == nullptr) return TRAXR_ERR_ARGUMENT;
    if (tree >= trees.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::TreeRecord &record = trees[tree].record;
    const std::vector<tavri::reader::BlockLayout> *blocks =
        kind == TRAXR_BLOCK_SCOPE       ? &record.scope_blocks
        : kind == TRAXR_BLOCK_VAR       ? &record.var_blocks
        : kind == TRAXR_BLOCK_DATA_TYPE ? &record.data_type_blocks
                                        : nullptr;
    if (blocks == nullptr || index >= blocks->size()) return TRAXR_ERR_ARGUMENT;
    *layout = ToC((*blocks)[index]);
    return TRAXR_OK;
}

uint32_t traxr_ScopeCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.tree().scopes().size());
}

traxrStatus traxr_GetScope(const traxrReader *reader, uint32_t index, traxrScope *scope) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &scopes = reader->db.tree().scopes();
    if (scope == nullptr) return TRAXR_ERR_ARGUMENT;
    if (index >= scopes.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::ScopeRecord &s = scopes[index];
    scope->type = s.type;
    scope->trailer = s.trailer;
    scope->has_fourth_name = s.has_fourth ? 1 : 0;
    scope->name = s.name.c_str();
    scope->second_name = s.second_name.c_str();
    scope->third_name = s.third_name.c_str();
    scope->fourth_name = s.fourth_name.c_str();
    scope->tree = s.tree;
    scope->parent = s.parent;
    scope->depth = s.depth;
    scope->first_var = s.first_var;
    scope->var_count = s.var_count;
    scope->var_group_position = s.group_position;
    return TRAXR_OK;
}

uint32_t traxr_VarCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.tree().vars().size());
}

traxrStatus traxr_GetVar(const traxrReader *reader, uint32_t index, traxrVar *var) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &vars = reader->db.tree().vars();
    if (var == nullptr) return TRAXR_ERR_ARGUMENT;
    if (index >= vars.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::VarRecord &v = vars[index];
    var->name = v.name.c_str();
    var->var_type = v.var_type;
    var->type_code = v.var_type & 0x3F;
    var->descriptor_kind = v.var_type & 0xC0;
    var->direction = v.direction;
    var->bytes_per_bit_code = v.bytes_per_bit;
    var->has_data_type = v.has_data_type ? 1 : 0;
    var->data_type = v.data_type;
    var->left = v.left;
    var->right = v.right;
    var->idcode = v.idcode;
    var->width = v.width();
    var->value_size = v.value_size();
    var->is_alias = v.is_alias ? 1 : 0;
    var->descriptor = v.descriptor.empty() ? nullptr : v.descriptor.data();
    var->descriptor_length = static_cast<uint32_t>(v.descriptor.size());
    var->scope = v.scope;
    var->tree = v.tree;
    return TRAXR_OK;
}

uint32_t traxr_MaxIdcode(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return reader != nullptr ? reader->db.tree().max_idcode() : 0;
}

traxrStatus traxr_FindVar(const traxrReader *reader, uint32_t idcode, uint32_t *var_index) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    if (var_index == nullptr) return TRAXR_ERR_ARGUMENT;
    if (reader->db.tree().NameCount(idcode) == 0) return TRAXR_ERR_NOT_FOUND;
    *var_index = reader->db.tree().Name(idcode, 0);
    return TRAXR_OK;
}

uint32_t traxr_NameCount(const traxrReader *reader, uint32_t idcode) {
    if (reader == nullptr) return 0;
    return reader->db.tree().NameCount(idcode);
}

traxrStatus traxr_GetName(const traxrReader *reader, uint32_t idcode, uint32_t k,
                          uint32_t *var_index) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    if (var_index == nullptr) return TRAXR_ERR_ARGUMENT;
    if (k >= reader->db.tree().NameCount(idcode)) return TRAXR_ERR_NOT_FOUND;
    *var_index = reader->db.tree().Name(idcode, k);
    return TRAXR_OK;
}

uint32_t traxr_SessionCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.sessions().size());
}

traxrStatus traxr_GetSession(const traxrReader *reader, uint32_t index, traxrSession *session) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &sessions = reader->db.sessions();
    if (session == nullptr) return TRAXR_ERR_ARGUMENT;
    if (index >= sessions.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::SessionRecord &s = sessions[index];
    session->start_time = s.start_time;
    session->end_time = s.end_time;
    session->first_vc_block = s.first_vc_block;
    session->vc_block_count = static_cast<uint32_t>(s.vc_blocks.size());
    session->first_vc_chain_block = s.first_chain_block;
    session->vc_chain_block_count = static_cast<uint32_t>(s.chain_blocks.size());
    session->dropped = index < reader->db.first_session() ? 1 : 0;
    return TRAXR_OK;
}

uint32_t traxr_FirstRetainedSession(const traxrReader *reader) {
    return reader != nullptr ? reader->db.first_session() : 0;
}

uint32_t traxr_RedundantRangeCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.ring().ranges().size());
}

traxrStatus traxr_GetRedundantRange(const traxrReader *reader, uint32_t index,
                                    traxrRedundantRange *range) {
    if (reader == nullptr || range == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &ranges = reader->db.ring().ranges();
    if (index >= ranges.size()) return TRAXR_ERR_NOT_FOUND;
    range->first_block = ranges[index].first;
    range->last_block = ranges[index].last;
    return TRAXR_OK;
}

traxrStatus traxr_GetSessionBlock(const traxrReader *reader, uint32_t session, int kind,
                                  uint32_t index, traxrBlockLayout *layout) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const auto &sessions = reader->db.sessions();
    if (layout == nullptr) return TRAXR_ERR_ARGUMENT;
    if (session >= sessions.size()) return TRAXR_ERR_NOT_FOUND;
    const tavri::reader::SessionRecord &s = sessions[session];
    const std::vector<tavri::reader::BlockLayout> *blocks = kind == TRAXR_BLOCK_VC ? &s.vc_blocks
                                                            : kind == TRAXR_BLOCK_VC_CHAIN
                                                                ? &s.chain_blocks
                                                                : nullptr;
    if (blocks == nullptr || index >= blocks->size()) return TRAXR_ERR_ARGUMENT;
    *layout = ToC((*blocks)[index]);
    return TRAXR_OK;
}

uint32_t traxr_StringCount(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return reader != nullptr ? reader->db.strings().size() : 0;
}

const char *traxr_String(const traxrReader *reader, uint32_t id) {
    return reader == nullptr ? nullptr : reader->db.strings().Get(id);
}

uint32_t traxr_ChainTableSize(const traxrReader *reader) {
    if (reader == nullptr) return 0;
    return static_cast<uint32_t>(reader->db.chain_table().last.size());
}

traxrStatus traxr_GetChainTableEntry(const traxrReader *reader, uint32_t idcode,
                                     uint64_t *last_position, uint8_t *flags) {
    if (reader == nullptr) return TRAXR_ERR_ARGUMENT;
    const tavri::reader::ChainTable &table = reader->db.chain_table();
    if (last_position == nullptr || flags == nullptr) return TRAXR_ERR_ARGUMENT;
    if (idcode >= table.last.size()) return TRAXR_ERR_NOT_FOUND;
    *last_position = table.last[idcode];
    *flags = table.flags[idcode];
    return TRAXR_OK;
}

traxrStatus traxr_ReadChainEntries(traxrReader *reader, uint32_t idcode, traxrChainEntry **entries,
                                   uint32_t *count) {
    if (reader == nullptr || entries == nullptr || count == nullptr) return TRAXR_ERR_ARGUMENT;
    *entries = nullptr;
    *count = 0;
    return Guarded(reader, [&]() -> Status {
        std::vector<ChainEntry> found;
        TAVRI_RETURN_IF_ERROR(reader->db.ReadChainEntries(idcode, &found));
        auto *out = new traxrChainEntry[found.size() + 1];
        for (size_t i = 0; i < found.size(); ++i) {
            out[i] = ToC(found[i]);
        }
        *entries = out;
        *count = static_cast<uint32_t>(found.size());
        return Status();
    });
}

void traxr_FreeChainEntries(traxrChainEntry *entries) { delete[] entries; }

traxrStatus traxr_ReadChanges(traxrReader *reader, uint32_t idcode, traxrChangeList **list) {
    if (reader == nullptr || list == nullptr) return TRAXR_ERR_ARGUMENT;
    *list = nullptr;
    return Guarded(reader, [&]() -> Status {
        auto made = std::make_unique<traxrChangeList>();
        made->strings = &reader->db.strings();
        TAVRI_RETURN_IF_ERROR(reader->db.ReadChanges(idcode, &made->changes));
        tavri::reader::DropHidden(tavri::reader::HiddenFrom(reader->db), &made->changes);
        *list = made.release();
        return Status();
    });
}

uint32_t traxr_ChangeCount(const traxrChangeList *list) {
    return list != nullptr ? static_cast<uint32_t>(list->changes.size()) : 0;
}

namespace {

// Inlined: called once per change of a walk.
[[gnu::always_inline]] inline void FillChange(const Change &c, const tavri::reader::StringList &strings, traxrChange *change) {
    // Every field is set below: the walk fills one change per call.
    change->time = c.time;
    change->session = c.session;
    change->has_sequence = c.has_sequence ? 1 : 0;
    change->sequence = c.sequence;
    change->format = c.format;
    change->compact = c.compact ? 1 : 0;
    change->kind = c.kind;
    const size_t codes = c.kind == TRAXR_VALUE_LOGIC ? c.code_count() : 0;
    change->bits = codes == 0 ? nullptr : c.codes();
    change->bit_count = static_cast<uint32_t>(codes);
    change->real = c.real;
    change->string_id = c.string_id;
    change->text = c.kind == TRAXR_VALUE_STRING ? strings.Get(c.string_id) : nullptr;
    change->raw = c.raw.data();
    change->raw_length = static_cast<uint32_t>(c.raw.size());
    change->redundant = c.redundant ? 1 : 0;
    change->words = c.words.empty() ? nullptr : c.words.data();
    change->word_count = static_cast<uint32_t>(c.words.size());
}

void CopyText(const std::vector<uint8_t> &record, size_t offset, size_t width, char *out) {
    std::memcpy(out, record.data() + offset, width);
    out[width - 1] = '\0';
}

}  // namespace

traxrStatus traxr_GetChange(const traxrChangeList *list, uint32_t index, traxrChange *change) {
    if (list == nullptr || change == nullptr) return TRAXR_ERR_ARGUMENT;
    if (index >= list->changes.size()) return TRAXR_ERR_NOT_FOUND;
    FillChange(list->changes[index], *list->strings, change);
    return TRAXR_OK;
}

traxrStatus traxr_OpenWalk(traxrReader *reader, const uint32_t *idcodes, uint32_t idcode_count,
                           uint64_t from, uint64_t to, traxrWalk **walk) {
    if (reader == nullptr || walk == nullptr || (idcodes == nullptr && idcode_count != 0)) {
        return TRAXR_ERR_ARGUMENT;
    }
    *walk = nullptr;
    return Guarded(reader, [&]() -> Status {
        tavri::reader::WalkOptions options;
        options.from = from;
        options.to = to;
        options.hidden_from = tavri::reader::HiddenFrom(reader->db);
        if (idcodes != nullptr) {
            options.selected.assign(reader->db.chain_table().last.size(), false);
            for (uint32_t i = 0; i < idcode_count; ++i) {
                if (idcodes[i] < options.selected.size()) options.selected[idcodes[i]] = true;
            }
        }
        auto made = std::make_unique<traxrWalk>(reader);
        TAVRI_RETURN_IF_ERROR(made->walk.Start(options));
        *walk = made.release();
        return Status();
    });
}

traxrStatus traxr_WalkNext(traxrWalk *walk, uint32_t *idcode, traxrChange *change) {
    if (walk == nullptr || idcode == nullptr || change == nullptr) return TRAXR_ERR_ARGUMENT;
    bool done = false;
    const Change *next = nullptr;
    traxrReader *reader = walk->reader;
    // Called once per change, so without the general wrapper: a success
    // only empties a message an earlier failure left.
    try {
        Status status = walk->walk.Next(idcode, &next, &done);
        if (!status.ok()) return Record(reader, status);
    } catch (const std::bad_alloc &) {
        reader->message = "out of memory";
        return TRAXR_ERR_NO_MEMORY;
    }
    if (!reader->message.empty()) reader->message.clear();
    if (done) return TRAXR_END;
    FillChange(*next, reader->db.strings(), change);
    return TRAXR_OK;
}

void traxr_CloseWalk(traxrWalk *walk) { delete walk; }

traxrStatus traxr_GetEnvRecord(const traxrReader *reader, traxrEnvRecord *record) {
    if (reader == nullptr || record == nullptr) return TRAXR_ERR_ARGUMENT;
    const std::vector<uint8_t> &env = reader->db.environment_record();
    if (env.size() < 2048) return TRAXR_ERR_TRUNCATED;
    *record = traxrEnvRecord{};
    CopyText(env, 0, sizeof record->creation_time, record->creation_time);
    CopyText(env, 30, sizeof record->host_name, record->host_name);
    CopyText(env, 50, sizeof record->processor, record->processor);
    CopyText(env, 70, sizeof record->platform, record->platform);
    CopyText(env, 82, sizeof record->os_version, record->os_version);
    record->max_glitch_number = reader->db.field_order().U16(env.data() + 132);
    CopyText(env, 134, sizeof record->settings, record->settings);
    CopyText(env, 334, sizeof record->writer_ident, record->writer_ident);
    CopyText(env, 454, sizeof record->unused_text, record->unused_text);
    CopyText(env, 518, sizeof record->support, record->support);
    return TRAXR_OK;
}

traxrStatus traxr_GetEsdInfo(traxrReader *reader, traxrEsdInfo *info) {
    if (reader == nullptr || info == nullptr) return TRAXR_ERR_ARGUMENT;
    using tavri::reader::EsdExtent;
    using tavri::reader::EsdPart;
    return Guarded(reader, [&]() -> Status {
        *info = traxrEsdInfo{};
        EsdExtent data, table;
        TAVRI_RETURN_IF_ERROR(tavri::reader::LocateEsdPart(reader->db, EsdPart::kData, &data));
        TAVRI_RETURN_IF_ERROR(tavri::reader::LocateEsdPart(reader->db, EsdPart::kTable, &table));
        if (data.size == 0 && table.size == 0) {
            return tavri::reader::Fail(TRAXR_ERR_NOT_FOUND, "the file has no essential-signal information");
        }
        TAVRI_RETURN_IF_ERROR(tavri::reader::ReadEsdPart(reader->db, EsdPart::kData, &reader->esd_data));
        TAVRI_RETURN_IF_ERROR(tavri::reader::ReadEsdPart(reader->db, EsdPart::kTable, &reader->esd_table));
        info->in_side_files = reader->db.live() ? 1 : 0;
        info->data_offset = data.offset;
        info->data_size = reader->esd_data.size();
        info->table_offset = table.offset;
        info->table_size = reader->esd_table.size();
        info->table_entries = info->table_size / tavri::reader::kEsdTableEntryBytes;
        info->data = reader->esd_data.data();
        info->table = reader->esd_table.data();
        return Status();
    });
}

uint32_t traxr_Check(traxrReader *reader, traxrCheckReport report, void *user) {
    if (reader == nullptr) return 1;
    uint32_t failures = 0;
    try {
        failures = tavri::reader::CheckDatabase(&reader->db, [&](const std::string &line) {
            if (report != nullptr) report(user, line.c_str());
        });
    } catch (const std::bad_alloc &) {
        if (report != nullptr) report(user, "out of memory while checking");
        ++failures;
    }
    return failures;
}

void traxr_FreeChangeList(traxrChangeList *list) { delete list; }

traxrStatus traxr_ReadAllChanges(traxrReader *reader, traxrChangeSet **set) {
    if (reader == nullptr || set == nullptr) return TRAXR_ERR_ARGUMENT;
    *set = nullptr;
    return Guarded(reader, [&]() -> Status {
        std::vector<std::vector<Change>> all;
        TAVRI_RETURN_IF_ERROR(reader->db.ReadAllChanges(&all));
        auto made = std::make_unique<traxrChangeSet>();
        made->lists.resize(all.size());
        const uint64_t hidden_from = tavri::reader::HiddenFrom(reader->db);
        for (size_t i = 0; i < all.size(); ++i) {
            tavri::reader::DropHidden(hidden_from, &all[i]);
            made->lists[i].changes = std::move(all[i]);
            made->lists[i].strings = &reader->db.strings();
        }
        *set = made.release();
        return Status();
    });
}

uint32_t traxr_ChangeSetSize(const traxrChangeSet *set) {
    return set != nullptr ? static_cast<uint32_t>(set->lists.size()) : 0;
}

const traxrChangeList *traxr_ChangeSetList(const traxrChangeSet *set, uint32_t idcode) {
    if (set == nullptr) return nullptr;
    return idcode < set->lists.size() ? &set->lists[idcode] : &set->none;
}

void traxr_FreeChangeSet(traxrChangeSet *set) { delete set; }

void traxr_GetBlockStats(const traxrReader *reader, uint64_t *decompressed, uint64_t *cache_hits) {
    if (reader == nullptr) return;
    if (decompressed != nullptr) *decompressed = reader->db.cache().decompressed();
    if (cache_hits != nullptr) *cache_hits = reader->db.cache().hits();
}

}  // extern "C"
