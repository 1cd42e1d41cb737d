// The header: every field at its offset in both byte orders and with 16-bit
// halves swapped, the annotation, and headers that are foreign, truncated
// or inconsistent.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

// A header area written by hand at the offsets of the format.
class HandHeader {
  public:
    explicit HandHeader(bool big) : bytes(2816, 0), big_(big) {}
    void U16(size_t at, uint16_t v) { Put(at, v, 2); }
    void U32(size_t at, uint32_t v) { Put(at, v, 4); }
    void U64(size_t at, uint64_t v) { Put(at, v, 8); }
    void Text(size_t at, const std::string &text) {
        std::memcpy(bytes.data() + at, text.data(), text.size());
    }

    std::vector<uint8_t> bytes;

    void Put(size_t at, uint64_t v, int width) {
        for (int i = 0; i < width; ++i)
            bytes[at + i] = static_cast<uint8_t>(v >> (big_ ? 8 * (width - 1 - i) : 8 * i));
    }

  private:
    bool big_;
};

// A field of the header: its offset, width and a distinct value, and where
// the reader puts it.
struct Field {
    size_t at;
    int width;
    uint64_t value;
    uint64_t (*read)(const traxrHeader &);
};
#define FIELD(at, width, value, member) \
    Field { at, width, value, [](const traxrHeader &h) -> uint64_t { return h.member; } }

// Counts that would make the open look for index structures stay 0.
const Field kFields[] = {
    FIELD(16, 8, 1234567890123ull, birth_time), FIELD(63, 1, 12, time_unit_code),
    FIELD(64, 1, 7, file_type), FIELD(71, 1, 1, lock_scheme),
    FIELD(192, 8, 0x1111, tree_list_uoff), FIELD(200, 8, 0x2222, session_list_uoff),
    FIELD(208, 8, 0x3333, chain_uoff), FIELD(216, 8, 0x4444, annotation_uoff),
    FIELD(224, 8, 0x5555, string_list_uoff), FIELD(232, 8, 0x6666, redundant_list_uoff),
    FIELD(288, 8, 0x7777, esd_uoff), FIELD(296, 8, 0x8888, esd_table_uoff),
    FIELD(308, 4, 96, writer_memory_limit), FIELD(400, 4, 6, esd_var_count),
    FIELD(404, 1, 5, independent_var_type), FIELD(405, 1, 1, special_dumping_flags[4]),
    FIELD(407, 1, 1, special_dumping_flags[1]), FIELD(409, 1, 1, special_dumping_flags[2]),
    FIELD(411, 1, 1, special_dumping_flags[3]), FIELD(420, 4, 7, dump_limit),
    FIELD(424, 4, 9, first_valid_vc_chain_block), FIELD(428, 4, 2, dump_off_count),
    FIELD(440, 1, 1, environment_record_present), FIELD(443, 1, 1, value_format_flags[2]),
    FIELD(444, 4, 11, scope_blk_cnt), FIELD(448, 4, 12, var_blk_cnt),
    FIELD(452, 4, 13, data_type_blk_cnt), FIELD(456, 4, 14, vc_blk_cnt),
    FIELD(460, 4, 15, vc_chain_blk_cnt), FIELD(472, 4, 18, max_xtag_idx),
    FIELD(480, 4, 511, max_dt_idcode), FIELD(484, 4, 21, scope_creation_cnt),
    FIELD(488, 4, 22, var_creation_cnt), FIELD(492, 4, 23, bc1_vc_creation_cnt),
    FIELD(496, 4, 24, bcn_vc_creation_cnt), FIELD(500, 2, 8, max_string_length),
    FIELD(502, 2, 3, max_glitch_number), FIELD(504, 1, 2, file_status),
    FIELD(505, 1, 4, design_type), FIELD(506, 1, 1, has_var_dir),
    FIELD(509, 1, 1, max_xtag_was_reset), FIELD(510, 1, 1, has_sequence_number),
};

HandHeader FullHeader(bool big) {
    HandHeader h(big);
    h.U32(4, 0x48D93DFC);
    h.U32(8, 0x01020304);
    h.bytes[66] = 2;
    h.bytes[67] = 3;
    h.bytes[68] = 4;
    h.bytes[69] = big ? 2 : 1;
    h.Text(72, "::");
    h.Text(76, "10ps");
    h.Text(96, "Mon Jan  1 2024");
    h.Text(128, std::string(64, 'v'));  // no NUL inside the field: cut to 63
    for (const Field &field : kFields) h.Put(field.at, field.value, field.width);
    h.U32(312, 1);  // time tags: high word, then low word
    h.U32(316, 2);
    h.U32(320, 3);
    h.U32(324, 4);
    h.U32(328, 0xFFFFFFFF);
    h.U32(332, 0xFFFFFFFF);
    return h;
}

TEST(readerHeader, EveryFieldInEitherByteOrder) {
    for (bool big : {false, true}) {
        const std::string path = PathFor(big ? "header_be.trax" : "header_le.trax");
        HandHeader full = FullHeader(big);
        WriteFile(path, full.bytes);
        // The dump limit makes this live file need a redundant vc chain list
        // beside it, which only the header read does without; the open is
        // tried on the same header without the ring fields.
        traxrHeader decoded{};
        char message[256] = {};
        ASSERT_EQ(traxr_ReadHeader(path.c_str(), &decoded, message, sizeof message), TRAXR_OK)
            << message;
        for (const Field &field : kFields) {
            EXPECT_EQ(field.read(decoded), field.value)
                << "offset " << field.at << (big ? " big" : "");
        }
        EXPECT_EQ(Opened(path).status, TRAXR_ERR_IO);
        full.U32(420, 0);
        full.U64(232, 0);
        WriteFile(path, full.bytes);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << f.message;
        const traxrHeader *h = traxr_GetHeader(f.reader);
        EXPECT_EQ(traxr_ByteOrder(f.reader), big ? TRAXR_ORDER_REVERSED : TRAXR_ORDER_SAME);
        EXPECT_EQ(h->magic_number, 0x48D93DFCu);
        EXPECT_STREQ(traxr_Version(f.reader), "2.3");
        EXPECT_EQ(h->endian_type, big ? 2 : 1);
        EXPECT_STREQ(traxr_EndianName(h->endian_type), big ? "big" : "little");
        EXPECT_STREQ(traxr_TimeUnitName(h->time_unit_code), "1n");
        EXPECT_STREQ(traxr_FileTypeName(h->file_type), "verilog_and_vhdl");
        EXPECT_STREQ(traxr_FileStatusName(h->file_status), "batch");
        EXPECT_STREQ(h->scope_separator, "::");
        EXPECT_STREQ(h->scale_unit, "10ps");
        EXPECT_STREQ(h->simulation_date, "Mon Jan  1 2024");
        EXPECT_EQ(std::string(h->simulator_version), std::string(63, 'v'));
        EXPECT_EQ(h->minimum_xtag, 0x100000002ull);
        EXPECT_EQ(h->maximum_xtag, 0x300000004ull);
        EXPECT_EQ(h->minimum_time_step, ~0ull);
        EXPECT_EQ(h->special_dumping_flags[0], 0);
        EXPECT_EQ(traxr_IsLive(f.reader), 1);
        EXPECT_EQ(traxr_TreeCount(f.reader), 0u);
    }
}

// Byte-order word 0x02010403 as read: the two bytes of each 16-bit half
// are swapped, 8-byte fields are reversed whole.
TEST(readerHeader, SwappedHalves) {
    HandHeader h(false);
    const uint8_t magic[] = {0x3D, 0xFC, 0x48, 0xD9}, word[] = {0x03, 0x04, 0x01, 0x02};
    std::memcpy(h.bytes.data() + 4, magic, 4);
    std::memcpy(h.bytes.data() + 8, word, 4);
    const uint8_t limit[] = {0x00, 0x02, 0x00, 0x01}, glitch[] = {0x01, 0x02};
    std::memcpy(h.bytes.data() + 308, limit, 4);
    std::memcpy(h.bytes.data() + 502, glitch, 2);
    const uint8_t birth[] = {0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04};
    std::memcpy(h.bytes.data() + 16, birth, 8);
    h.bytes[66] = 2;
    h.bytes[68] = 4;
    h.bytes[69] = 1;
    h.bytes[504] = 2;
    const std::string path = PathFor("halves.trax");
    WriteFile(path, h.bytes);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(traxr_ByteOrder(f.reader), TRAXR_ORDER_HALVES);
    EXPECT_EQ(traxr_GetHeader(f.reader)->writer_memory_limit, 0x00010002u);
    EXPECT_EQ(traxr_GetHeader(f.reader)->max_glitch_number, 0x0102u);
    EXPECT_EQ(traxr_GetHeader(f.reader)->birth_time, 0x01020304u);
}

TEST(readerHeader, AnnotationOfAFinishedFile) {
    for (const std::string text : {"", "made by the reader's tests"}) {
        TraxBuilder b;
        b.annotation = text;
        b.AddTree({ScopeDef("top").Vars({VarDef("a", 1)})});
        const std::string path = PathFor("annotated.trax");
        b.WriteFinished(path);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << f.message;
        EXPECT_EQ(traxr_IsLive(f.reader), 0);
        if (text.empty()) {
            EXPECT_EQ(traxr_Annotation(f.reader), nullptr);
        } else {
            ASSERT_NE(traxr_Annotation(f.reader), nullptr);
            EXPECT_EQ(std::string(traxr_Annotation(f.reader)), text);
        }
    }
}

// A live file written under a dump limit has its redundant vc chain list
// beside it: required, read only as far as its own count says, and ignored
// beside a file without a dump limit (left over from an earlier run).
TEST(readerHeader, RedundantListBesideALiveFile) {
    HandHeader h = FullHeader(false);
    h.U64(232, 0);
    for (size_t at = 444; at < 500; at += 4) h.U32(at, 0);  // no trees, sessions or blocks
    h.U32(424, 0);
    const std::string path = PathFor("ring_live_header.trax");
    WriteFile(path, h.bytes);
    std::remove((path + ".rlist").c_str());
    Opened missing(path);
    EXPECT_EQ(missing.status, TRAXR_ERR_IO);
    EXPECT_NE(std::string(missing.message).find(".rlist"), std::string::npos) << missing.message;
    struct Side {
        std::vector<uint8_t> bytes;
        traxrStatus expected;
        uint32_t ranges;
    };
    const std::vector<Side> sides = {
        {{0xFF, 0, 0, 0, 0}, TRAXR_OK, 0},
        {{0xFF, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x77}, TRAXR_OK, 1},
        {{0xFE, 0, 0, 0, 0}, TRAXR_ERR_CORRUPT, 0},
        {{0xFF, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, TRAXR_ERR_TRUNCATED, 0},
        {{0xFF, 0}, TRAXR_ERR_TRUNCATED, 0},
    };
    for (const Side &side : sides) {
        WriteFile(path + ".rlist", side.bytes);
        Opened f(path);
        EXPECT_EQ(f.status, side.expected) << side.bytes.size() << ": " << f.message;
        if (f.status == TRAXR_OK) {
            EXPECT_EQ(traxr_RedundantRangeCount(f.reader), side.ranges);
            traxrRedundantRange range{};
            if (side.ranges > 0) {
                ASSERT_EQ(traxr_GetRedundantRange(f.reader, 0, &range), TRAXR_OK);
                EXPECT_EQ(range.first_block, TRAXR_NONE);
                EXPECT_EQ(range.last_block, TRAXR_NONE);
            }
        }
    }
    h.U32(420, 0);
    WriteFile(path, h.bytes);
    WriteFile(path + ".rlist", {0xFE});
    Opened stale(path);
    EXPECT_EQ(stale.status, TRAXR_OK) << stale.message;
    EXPECT_EQ(traxr_RedundantRangeCount(stale.reader), 0u);
    std::remove((path + ".rlist").c_str());
}

struct BadHeader {
    const char *what;
    size_t size;  // bytes kept
    size_t at;    // byte changed
    uint8_t value;
    traxrStatus expected;
};

TEST(readerHeader, ForeignTruncatedAndInconsistentHeaders) {
    const std::vector<BadHeader> cases = {
        {"empty file", 0, 0, 0, TRAXR_ERR_NOT_TRAX},
        {"eleven bytes", 11, 0, 0, TRAXR_ERR_NOT_TRAX},
        {"unknown byte-order word", 2816, 9, 0x07, TRAXR_ERR_NOT_TRAX},
        {"other magic number", 2816, 5, 0x00, TRAXR_ERR_NOT_TRAX},
        {"header cut short", 600, 0, 0, TRAXR_ERR_TRUNCATED},
        {"header area cut short", 2815, 0, 0, TRAXR_ERR_TRUNCATED},
        {"pointer length 8 with the 4-byte magic", 2816, 68, 8, TRAXR_ERR_CORRUPT},
        {"endian type 3", 2816, 69, 3, TRAXR_ERR_CORRUPT},
        {"endian type against the word", 2816, 69, 2, TRAXR_ERR_CORRUPT},
        {"compression method 2", 2816, 65, 2, TRAXR_ERR_UNSUPPORTED},
        {"compression method 255", 2816, 65, 255, TRAXR_ERR_UNSUPPORTED},
        {"version 3", 2816, 66, 3, TRAXR_ERR_UNSUPPORTED},
        {"file status 3", 2816, 504, 3, TRAXR_ERR_CORRUPT},
    };
    for (const BadHeader &c : cases) {
        std::vector<uint8_t> bytes = FullHeader(false).bytes;
        bytes[c.at] = c.value;
        bytes.resize(c.size);
        const std::string path = PathFor("badheader.trax");
        WriteFile(path, bytes);
        Opened f(path);
        EXPECT_EQ(f.status, c.expected) << c.what << ": " << f.message;
        EXPECT_EQ(f.reader, nullptr);
        EXPECT_NE(f.message[0], '\0') << c.what;
    }
    const std::string text(4096, 'a');
    const std::string path = PathFor("text.trax");
    WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(Opened(path).status, TRAXR_ERR_NOT_TRAX);
    EXPECT_EQ(Opened(PathFor("missing.trax")).status, TRAXR_ERR_IO);
}

}  // namespace
}  // namespace tavri::reader_test
