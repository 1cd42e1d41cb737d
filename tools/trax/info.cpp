// trax info: every named field of the header's three sections, with the
// names of coded values, the times shown, for a file written under a dump
// limit what its ring still holds, and the creation-environment record.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <string>

#include "commands.h"
#include "database.h"
#include "platform/environment.h"

namespace trax {
namespace {

class Printer {
  public:
    explicit Printer(std::FILE *out) : out_(out) {}
    void Line(const char *name, const std::string &value) {
        std::fprintf(out_, "%s: %s\n", name, value.c_str());
    }
    void Number(const char *name, uint64_t value) { Line(name, std::to_string(value)); }
    void Named(const char *name, unsigned value, const char *meaning) {
        Line(name, std::to_string(value) + " (" + (meaning != nullptr ? meaning : "unknown") + ")");
    }
    void Text(const char *name, const char *text) { Line(name, "\"" + std::string(text) + "\""); }
    void Hex(const char *name, uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08" PRIx32, value);
        Line(name, text);
    }

  private:
    std::FILE *out_;
};

// Offsets print as two 32-bit words, high word first, as the format has
// them: "(%d %d)" for 4-byte offsets, "(0 %ld)" for 8-byte ones.
std::string Uoff(const traxrHeader &h, uint64_t value) {
    char text[48];
    if (h.pointer_length == 8) {
        std::snprintf(text, sizeof text, "(0 %" PRIu64 ")", value);
    } else {
        std::snprintf(text, sizeof text, "(%" PRIu32 " %" PRIu32 ")",
                      static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
    }
    return text;
}

// Time tags and the time step are pairs of 32-bit words, high word first.
std::string Xtag(uint64_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu64 " (%" PRIu32 " %" PRIu32 ")", value,
                  static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
    return text;
}

const char *XtagTypeName(unsigned type) {
    static const char *const kNames[] = {"64-bit integer", "no time tag yet", "double", "float"};
    return type < 4 ? kNames[type] : nullptr;
}

const char *ByteOrderName(int order) {
    switch (order) {
        case TRAXR_ORDER_SAME: return "same as this host";
        case TRAXR_ORDER_REVERSED: return "reversed";
        default: return "16-bit halves swapped";
    }
}

// The last time every command shows in full, and for a live file what it
// holds back: its last step may have been flushed only in part.
std::string EndTime(const traxrReader *reader) {
    uint64_t end = 0;
    std::string text = traxr_VisibleEndTime(reader, &end) ? std::to_string(end) : "none";
    uint64_t hidden = 0;
    if (traxr_HiddenFrom(reader, &hidden)) {
        text += traxr_SessionCount(reader) == 0
                    ? " (no session flushed yet)"
                    : " (changes at " + std::to_string(hidden) +
                          " and later are hidden: the last time step of a live file may be "
                          "incomplete)";
    }
    return text;
}

// The first time shown: the minimum xtag, which a ring moves on as it
// drops its oldest sessions.
std::string FirstTime(const traxrReader *reader) {
    uint64_t first = 0;
    if (!traxr_FirstTime(reader, &first)) return "none";
    std::string text = std::to_string(first);
    if (traxr_FirstRetainedSession(reader) > 0) {
        text += " (the dump limit dropped what came before)";
    }
    return text;
}

// A ring file: which sessions it still holds, and where each retained ring
// session's redundant value changes are.
void PrintRing(Printer &p, const traxrReader *reader) {
    const uint32_t sessions = traxr_SessionCount(reader);
    const uint32_t first = traxr_FirstRetainedSession(reader);
    p.Line("retained sessions",
           first < sessions ? std::to_string(first) + ".." + std::to_string(sessions - 1) +
                                  " of " + std::to_string(sessions)
                            : "none of " + std::to_string(sessions));
    const uint32_t ranges = traxr_RedundantRangeCount(reader);
    p.Number("ring sessions", ranges);
    for (uint32_t i = 0; i < ranges; ++i) {
        traxrRedundantRange range{};
        traxr_GetRedundantRange(reader, i, &range);
        const std::string name = "ring session " + std::to_string(i) + " redundant vc chain blocks";
        p.Line(name.c_str(), range.first_block == TRAXR_NONE
                                 ? std::string("none")
                                 : std::to_string(range.first_block) + ".." +
                                       std::to_string(range.last_block));
    }
}

// The essential-signal data and table an essential-signal file carries:
// where they are read from, and their sizes.
void PrintEssentialSignals(Printer &p, traxrReader *reader) {
    traxrEsdInfo esd{};
    const traxrStatus status = traxr_GetEsdInfo(reader, &esd);
    if (status == TRAXR_ERR_NOT_FOUND) {
        return;
    }
    if (status != TRAXR_OK) {
        p.Line("esd information", std::string("unreadable: ") + traxr_LastMessage(reader));
        return;
    }
    p.Line("esd information", esd.in_side_files != 0 ? "live, in the side files .esd.exp and .esd.tbl"
                                                      : "in the file");
    p.Number("esd data size", esd.data_size);
    p.Number("esd table size", esd.table_size);
    p.Number("esd table entries", esd.table_entries);
}

}  // namespace

int RunInfo(const Args &args, std::FILE *out) {
    Database db;
    std::string error;
    if (db.Open(args.file, &error) != TRAXR_OK) {
        PrintError(error);
        return kExitError;
    }
    const traxrHeader &h = db.header();
    Printer p(out);
    p.Line("file", args.file);
    // Fixed section.
    p.Hex("magic number", h.magic_number);
    p.Line("byte-order word", [&] {
        char text[64];
        std::snprintf(text, sizeof text, "0x%08" PRIx32 " (%s)", h.byte_order_word,
                      ByteOrderName(traxr_ByteOrder(db.reader())));
        return std::string(text);
    }());
    {
        std::string birth = std::to_string(h.birth_time);
        const std::time_t seconds = static_cast<std::time_t>(h.birth_time);
        std::tm utc{};
        char text[64];
        if (h.birth_time != 0 && tavri::platform::UniversalTime(seconds, &utc) &&
            std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc) > 0) {
            birth += std::string(" (") + text + ")";
        }
        p.Line("birth time", birth);
    }
    p.Number("flag 61", h.flag_61);
    p.Number("flag 62", h.flag_62);
    p.Named("time unit code", h.time_unit_code,
            h.time_unit_code == 0 ? "not set" : traxr_TimeUnitName(h.time_unit_code));
    p.Named("file type", h.file_type, traxr_FileTypeName(h.file_type));
    p.Named("compression method", h.compression_method,
            traxr_CompressionMethodName(h.compression_method));
    p.Line("version", traxr_Version(db.reader()));
    p.Number("pointer length", h.pointer_length);
    p.Named("endian type", h.endian_type, traxr_EndianName(h.endian_type));
    p.Named("lock scheme", h.lock_scheme,
            h.lock_scheme == 0 ? "byte-range lock" : h.lock_scheme == 1 ? "dot lock" : nullptr);
    p.Text("scope separator", h.scope_separator);
    p.Text("scale unit", h.scale_unit);
    p.Text("simulation date", h.simulation_date);
    p.Text("simulator version", h.simulator_version);
    // Offset section.
    p.Line("tree list uoff", Uoff(h, h.tree_list_uoff));
    p.Line("session list uoff", Uoff(h, h.session_list_uoff));
    p.Line("chain uoff", Uoff(h, h.chain_uoff));
    p.Line("annotation uoff", Uoff(h, h.annotation_uoff));
    p.Line("string list uoff", Uoff(h, h.string_list_uoff));
    p.Line("redundant list uoff", Uoff(h, h.redundant_list_uoff));
    p.Line("esd uoff", Uoff(h, h.esd_uoff));
    p.Line("esd table uoff", Uoff(h, h.esd_table_uoff));
    p.Number("annotation length", h.annotation_length);
    p.Number("writer memory limit", h.writer_memory_limit);
    // Statistics section.
    p.Line("minimum xtag", Xtag(h.minimum_xtag));
    p.Line("maximum xtag", Xtag(h.maximum_xtag));
    p.Line("minimum time step", Xtag(h.minimum_time_step));
    p.Number("esd var count", h.esd_var_count);
    p.Number("independent variable type", h.independent_var_type);
    for (unsigned type = 0; type < 5; ++type) {
        const std::string name = "special dumping flag (type " + std::to_string(type) + ")";
        p.Number(name.c_str(), h.special_dumping_flags[type]);
    }
    p.Named("xtag type", h.xtag_type, XtagTypeName(h.xtag_type));
    p.Number("session list size", h.session_list_size);
    p.Number("dump limit", h.dump_limit);
    p.Number("first valid vc chain block", h.first_valid_vc_chain_block);
    p.Number("dump-off count", h.dump_off_count);
    p.Number("string list size", h.string_list_size);
    p.Number("string count", h.string_count);
    p.Number("environment record present", h.environment_record_present);
    p.Line("value format flags", std::to_string(h.value_format_flags[0]) + " " +
                                     std::to_string(h.value_format_flags[1]) + " " +
                                     std::to_string(h.value_format_flags[2]));
    p.Number("scope blk cnt", h.scope_blk_cnt);
    p.Number("var blk cnt", h.var_blk_cnt);
    p.Number("data type blk cnt", h.data_type_blk_cnt);
    p.Number("vc blk cnt", h.vc_blk_cnt);
    p.Number("vc chain blk cnt", h.vc_chain_blk_cnt);
    p.Number("session count", h.session_count);
    p.Number("tree count", h.tree_count);
    p.Number("max xtag idx", h.max_xtag_idx);
    p.Number("max var idcode", h.max_var_idcode);
    p.Number("max dt idcode", h.max_dt_idcode);
    p.Number("scope creation cnt", h.scope_creation_cnt);
    p.Number("var creation cnt", h.var_creation_cnt);
    p.Number("bc1 vc creation cnt", h.bc1_vc_creation_cnt);
    p.Number("bcn vc creation cnt", h.bcn_vc_creation_cnt);
    p.Number("max string length", h.max_string_length);
    p.Number("max glitch number", h.max_glitch_number);
    p.Named("file status", h.file_status, traxr_FileStatusName(h.file_status));
    p.Number("design type", h.design_type);
    p.Number("has var dir", h.has_var_dir);
    p.Number("synchronous control", h.synchronous_control);
    p.Number("vc chain is 8-byte", h.vc_chain_is_8byte);
    p.Number("max xtag was reset", h.max_xtag_was_reset);
    p.Number("has sequence number", h.has_sequence_number);
    p.Number("vc is 8-byte", h.vc_is_8byte);
    if (const char *annotation = traxr_Annotation(db.reader())) p.Text("annotation", annotation);
    if (traxr_IsLive(db.reader())) {
        p.Line("read", "live, through the side files");
    }
    p.Line("first time", FirstTime(db.reader()));
    p.Line("end time", EndTime(db.reader()));
    if (h.dump_limit != 0) PrintRing(p, db.reader());
    PrintEssentialSignals(p, db.reader());

    traxrEnvRecord env{};
    if (traxr_GetEnvRecord(db.reader(), &env) == TRAXR_OK) {
        p.Text("creation time", env.creation_time);
        p.Text("host name", env.host_name);
        p.Text("processor", env.processor);
        p.Text("platform", env.platform);
        p.Text("os version", env.os_version);
        p.Number("environment max glitch number", env.max_glitch_number);
        p.Text("settings", env.settings);
        p.Text("writer identification", env.writer_ident);
        p.Text("support text", env.support);
    }
    return kExitOk;
}

}  // namespace trax
