#include "reader/header.h"

#include <cstring>

#include "reader/block_decoder.h"

namespace tavri::reader {
namespace {

void CopyText(const uint8_t *bytes, size_t width, char *out) {
    std::memcpy(out, bytes, width);
    out[width - 1] = '\0';
}

}  // namespace

Status ParseHeader(const uint8_t *bytes, uint64_t available, uint64_t file_size,
                   traxrHeader *header, ByteOrder *order) {
    if (available < 12) {
        return Fail(TRAXR_ERR_NOT_TRAX, "not a database file: %llu bytes are too few",
                    static_cast<unsigned long long>(available));
    }
    uint32_t word;
    std::memcpy(&word, bytes + 8, sizeof word);
    const std::optional<ByteOrder> found = ByteOrderFromWord(word);
    if (!found) {
        return Fail(TRAXR_ERR_NOT_TRAX, "not a database file: unknown byte-order word 0x%08x", word);
    }
    const FieldOrder f(*found);
    const uint32_t magic = f.U32(bytes + 4);
    if (magic != kMagicPointer4 && magic != kMagicPointer8) {
        return Fail(TRAXR_ERR_NOT_TRAX, "not a database file: magic number 0x%08x", magic);
    }
    if (available < kHeaderSize || file_size < kDataStart) {
        return Fail(TRAXR_ERR_TRUNCATED,
                    "the file has %llu bytes, fewer than the %llu of its header area",
                    static_cast<unsigned long long>(file_size),
                    static_cast<unsigned long long>(kDataStart));
    }

    traxrHeader h{};
    *order = *found;
    h.magic_number = magic;
    h.byte_order_word = word;
    h.birth_time = f.U64(bytes + 16);
    h.flag_61 = bytes[61];
    h.flag_62 = bytes[62];
    h.time_unit_code = bytes[63];
    h.file_type = bytes[64];
    h.compression_method = bytes[65];
    h.version_major = bytes[66];
    h.version_minor = bytes[67];
    h.pointer_length = bytes[68];
    h.endian_type = bytes[69];
    h.lock_scheme = bytes[71];
    CopyText(bytes + 72, sizeof h.scope_separator, h.scope_separator);
    CopyText(bytes + 76, sizeof h.scale_unit, h.scale_unit);
    CopyText(bytes + 96, sizeof h.simulation_date, h.simulation_date);
    CopyText(bytes + 128, sizeof h.simulator_version, h.simulator_version);

    h.tree_list_uoff = f.U64(bytes + 192);
    h.session_list_uoff = f.U64(bytes + 200);
    h.chain_uoff = f.U64(bytes + 208);
    h.annotation_uoff = f.U64(bytes + 216);
    h.string_list_uoff = f.U64(bytes + 224);
    h.redundant_list_uoff = f.U64(bytes + 232);
    h.esd_uoff = f.U64(bytes + 288);
    h.esd_table_uoff = f.U64(bytes + 296);
    h.annotation_length = f.U32(bytes + 304);
    h.writer_memory_limit = f.U32(bytes + 308);

    h.minimum_xtag = f.HighLow(bytes + 312);
    h.maximum_xtag = f.HighLow(bytes + 320);
    h.minimum_time_step = f.HighLow(bytes + 328);
    h.esd_var_count = f.U32(bytes + 400);
    h.independent_var_type = bytes[404];
    h.special_dumping_flags[4] = bytes[405];
    h.special_dumping_flags[0] = bytes[406];
    h.special_dumping_flags[1] = bytes[407];
    h.xtag_type = bytes[408];
    h.special_dumping_flags[2] = bytes[409];
    h.special_dumping_flags[3] = bytes[411];
    h.session_list_size = f.U32(bytes + 416);
    h.dump_limit = f.U32(bytes + 420);
    h.first_valid_vc_chain_block = f.U32(bytes + 424);
    h.dump_off_count = f.U32(bytes + 428);
    h.string_list_size = f.U32(bytes + 432);
    h.string_count = f.U32(bytes + 436);
    h.environment_record_present = bytes[440];
    std::memcpy(h.value_format_flags, bytes + 441, 3);
    uint32_t *const counters[] = {
        &h.scope_blk_cnt,       &h.var_blk_cnt,        &h.data_type_blk_cnt,  &h.vc_blk_cnt,
        &h.vc_chain_blk_cnt,    &h.session_count,      &h.tree_count,         &h.max_xtag_idx,
        &h.max_var_idcode,      &h.max_dt_idcode,      &h.scope_creation_cnt, &h.var_creation_cnt,
        &h.bc1_vc_creation_cnt, &h.bcn_vc_creation_cnt};
    for (size_t i = 0; i < sizeof counters / sizeof counters[0]; ++i) {
        *counters[i] = f.U32(bytes + 444 + 4 * i);
    }
    h.max_string_length = f.U16(bytes + 500);
    h.max_glitch_number = f.U16(bytes + 502);
    h.file_status = bytes[504];
    h.design_type = bytes[505];
    h.has_var_dir = bytes[506];
    h.synchronous_control = bytes[507];
    h.vc_chain_is_8byte = bytes[508];
    h.max_xtag_was_reset = bytes[509];
    h.has_sequence_number = bytes[510];
    h.vc_is_8byte = bytes[511];
    *header = h;

    const bool pointer4 = magic == kMagicPointer4;
    if (h.pointer_length != (pointer4 ? 4 : 8)) {
        return Fail(TRAXR_ERR_CORRUPT, "pointer length %u does not match magic number 0x%08x",
                    h.pointer_length, magic);
    }
    if (h.endian_type != 1 && h.endian_type != 2) {
        return Fail(TRAXR_ERR_CORRUPT, "endian type %u is neither 1 nor 2", h.endian_type);
    }
    // The word's bytes as they lie in the file name the writer's order.
    const bool little = bytes[8] == 4 && bytes[9] == 3 && bytes[10] == 2 && bytes[11] == 1;
    const bool big = bytes[8] == 1 && bytes[9] == 2 && bytes[10] == 3 && bytes[11] == 4;
    if ((little && h.endian_type != 1) || (big && h.endian_type != 2)) {
        return Fail(TRAXR_ERR_CORRUPT, "endian type %u contradicts the byte-order word",
                    h.endian_type);
    }
    if (CompressionMethodName(h.compression_method) == nullptr) {
        return Fail(TRAXR_ERR_UNSUPPORTED, "compression method %u is not known",
                    h.compression_method);
    }
    if (h.version_major != 2) {
        return Fail(TRAXR_ERR_UNSUPPORTED, "format version %u.%u is not known", h.version_major,
                    h.version_minor);
    }
    if (h.file_status > 2) {
        return Fail(TRAXR_ERR_CORRUPT, "file status %u is not known", h.file_status);
    }
    return Status();
}

const char *FileTypeName(unsigned file_type) {
    static const char *const kNames[] = {
        "verilog", "epic_or_mentor", "spice", "xp", "rawfile", "wfm", "vhdl", "verilog_and_vhdl"};
    return file_type < 8 ? kNames[file_type] : nullptr;
}

const char *FileStatusName(unsigned file_status) {
    static const char *const kNames[] = {"finished", "interactive", "batch"};
    return file_status < 3 ? kNames[file_status] : nullptr;
}

const char *EndianName(unsigned endian_type) {
    return endian_type == 1 ? "little" : endian_type == 2 ? "big" : nullptr;
}

const char *TimeUnitName(unsigned code) {
    static const char *const kNames[] = {"100",  "10",  "1",  "100m", "10m", "1m",
                                         "100u", "10u", "1u", "100n", "10n", "1n",
                                         "100p", "10p", "1p", "100f", "10f", "1f"};
    return code >= 1 && code <= 18 ? kNames[code - 1] : nullptr;
}

}  // namespace tavri::reader
