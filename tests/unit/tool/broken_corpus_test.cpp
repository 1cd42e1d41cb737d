// A corpus of broken files made from good ones: cut at every section
// boundary, header bytes flipped, block lengths past the end, chain
// positions outside their stream. The reader must refuse each with a clean
// error (never a crash, a hang or a read out of bounds: the sanitizer build
// runs this too), `trax check` must fail, and `trax dump` must either work
// or stop with one line.
#include <algorithm>
#include <cstring>
#include <set>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

struct Broken {
    std::string name;
    std::vector<uint8_t> bytes;
    bool reading_fails;  // opening and reading every change must fail
};

// Opens the file with the reader and reads all there is; true when that
// all worked.
bool ReadsCleanly(const std::string &path) {
    traxrReader *reader = nullptr;
    char message[512];
    if (traxr_Open(path.c_str(), &reader, message, sizeof message) != TRAXR_OK) {
        EXPECT_EQ(reader, nullptr);
        EXPECT_NE(message[0], '\0');
        return false;
    }
    traxrWalk *walk = nullptr;
    traxrStatus status = traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk);
    uint64_t changes = 0;
    while (status == TRAXR_OK) {
        uint32_t idcode;
        traxrChange change;
        status = traxr_WalkNext(walk, &idcode, &change);
        ++changes;
    }
    traxr_CloseWalk(walk);
    traxr_Check(reader, nullptr, nullptr);
    traxrChangeSet *set = nullptr;
    traxr_ReadAllChanges(reader, &set);
    traxr_FreeChangeSet(set);
    traxr_Close(reader);
    return status == TRAXR_END;
}

class BrokenCorpus : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        good_ = PathFor("good.trax");
        WriteSample(good_);
        bytes_ = ReadBytes(good_);
        traxrReader *reader = nullptr;
        ASSERT_EQ(traxr_Open(good_.c_str(), &reader, nullptr, 0), TRAXR_OK);
        header_ = *traxr_GetHeader(reader);
        for (uint32_t s = 0; s < traxr_SessionCount(reader); ++s) {
            for (int kind : {TRAXR_BLOCK_VC, TRAXR_BLOCK_VC_CHAIN}) {
                traxrBlockLayout layout;
                for (uint32_t i = 0; traxr_GetSessionBlock(reader, s, kind, i, &layout) == TRAXR_OK; ++i) {
                    blocks_.push_back(layout);
                }
            }
        }
        for (uint32_t t = 0; t < traxr_TreeCount(reader); ++t) {
            for (int kind : {TRAXR_BLOCK_SCOPE, TRAXR_BLOCK_VAR}) {
                traxrBlockLayout layout;
                for (uint32_t i = 0; traxr_GetTreeBlock(reader, t, kind, i, &layout) == TRAXR_OK; ++i) {
                    blocks_.push_back(layout);
                }
            }
        }
        traxr_Close(reader);
        ASSERT_TRUE(ReadsCleanly(good_));
    }

    void Expect(const Broken &b) {
        SCOPED_TRACE(b.name);
        const std::string path = PathFor("broken.trax");
        WriteBytes(path, b.bytes);
        const bool clean = ReadsCleanly(path);
        if (b.reading_fails) {
            EXPECT_FALSE(clean);
        }
        const Outcome check = Trax({"check", path});
        EXPECT_EQ(check.signal, 0);
        EXPECT_TRUE(check.status == 1 || check.status == 2) << check.status << check.out;
        if (check.status == 2) {
            EXPECT_EQ(check.ErrLines().size(), 1u) << check.err;
        } else {
            EXPECT_GE(check.OutLines().size(), 1u);
            EXPECT_TRUE(check.err.empty()) << check.err;
        }
        const Outcome dump = Trax({"dump", path});
        EXPECT_EQ(dump.signal, 0);
        if (b.reading_fails || dump.status != 0) {
            EXPECT_EQ(dump.status, 2);
            ASSERT_EQ(dump.ErrLines().size(), 1u) << dump.err;
            EXPECT_EQ(dump.ErrLines()[0].rfind("trax: ", 0), 0u);
        }
    }

    std::string good_;
    std::vector<uint8_t> bytes_;
    traxrHeader header_{};
    std::vector<traxrBlockLayout> blocks_;
};

TEST_F(BrokenCorpus, CutAtEverySectionBoundary) {
    std::set<uint64_t> cuts = {0, 4, 12, 192, 312, 511, 512, 2560, 2815, 2816};
    for (const traxrBlockLayout &b : blocks_) {
        cuts.insert(b.offset);
        cuts.insert(b.offset + b.stored_length / 2);
        cuts.insert(b.offset + b.stored_length - 1);
    }
    for (uint64_t at : {header_.tree_list_uoff, header_.session_list_uoff,
                        header_.string_list_uoff, header_.chain_uoff}) {
        cuts.insert(at);
        cuts.insert(at + 1);
    }
    cuts.insert(bytes_.size() - 1);
    for (uint64_t cut : cuts) {
        ASSERT_LT(cut, bytes_.size());
        Expect({"cut at " + std::to_string(cut),
                std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + static_cast<long>(cut)), true});
    }
}

// Every header byte flipped: nothing may crash. Flips of the fields that
// the checks can see must fail the check.
TEST_F(BrokenCorpus, FlippedHeaderBytes) {
    for (size_t at = 0; at < 512; ++at) {
        std::vector<uint8_t> bytes = bytes_;
        bytes[at] ^= 0xFF;
        const std::string path = PathFor("flip.trax");
        WriteBytes(path, bytes);
        ReadsCleanly(path);
    }
    struct Flip {
        const char *field;
        size_t at;
        bool reading_fails;
    };
    const std::vector<Flip> flips = {
        {"reserved", 0, false},          {"magic number", 5, true},
        {"byte-order word", 8, true},    {"byte-order word", 11, true},
        {"reserved", 40, false},         {"flag 61", 61, false},
        {"time unit code", 63, false},   {"file type", 64, false},
        {"compression method", 65, true}, {"version major", 66, true},
        {"pointer length", 68, true},    {"endian type", 69, true},
        {"lock scheme", 71, false},      {"minimum xtag", 312, false},
        {"tree list uoff", 192, true},   {"session list uoff", 200, true},
        {"chain uoff", 208, true},       {"string list uoff", 224, true},
        {"redundant list uoff", 232, true}, {"reserved", 250, false},
        {"xtag type", 408, false},
        {"session list size", 416, true}, {"dump limit", 420, true},
        {"dump-off count", 428, false},  {"string list size", 432, true},
        {"string count", 436, true},     {"scope blk cnt", 444, false},
        {"var blk cnt", 448, false},     {"vc blk cnt", 456, false},
        {"vc chain blk cnt", 460, false}, {"session count", 464, true},
        {"tree count", 468, true},       {"max var idcode", 476, true},
        {"scope creation cnt", 484, false}, {"var creation cnt", 488, false},
        {"file status", 504, true},      {"vc chain is 8-byte", 508, true},
    };
    for (const Flip &flip : flips) {
        std::vector<uint8_t> bytes = bytes_;
        bytes[flip.at] ^= 0xFF;
        Expect({std::string("flipped ") + flip.field + " at " + std::to_string(flip.at), bytes,
                flip.reading_fails});
    }
}

// The layouts in the session list and the tree list, with stored lengths
// that run past the end of the file.
TEST_F(BrokenCorpus, BlockLengthsPastTheEnd) {
    std::vector<size_t> length_fields;
    for (const traxrBlockLayout &b : blocks_) {
        // Find the 12-byte layout record (offset, length) in the index area.
        uint8_t record[12];
        std::memcpy(record, &b.offset, 8);
        std::memcpy(record + 8, &b.stored_length, 4);
        const auto found = std::search(bytes_.begin() + static_cast<long>(header_.tree_list_uoff),
                                       bytes_.end(), record, record + 12);
        ASSERT_NE(found, bytes_.end());
        length_fields.push_back(static_cast<size_t>(found - bytes_.begin()) + 8);
    }
    for (size_t at : length_fields) {
        for (uint32_t length : {static_cast<uint32_t>(bytes_.size()), 0xFFFFFFF0u}) {
            std::vector<uint8_t> bytes = bytes_;
            std::memcpy(bytes.data() + at, &length, 4);
            Expect({"stored length " + std::to_string(length) + " at " + std::to_string(at), bytes,
                    true});
        }
    }
}

// The chain table's positions moved outside the vc chain stream, and to
// places inside it where no entry starts.
TEST_F(BrokenCorpus, ChainPositionsOutsideTheirStream) {
    const size_t entries = (bytes_.size() - header_.chain_uoff) / 5;
    ASSERT_EQ(entries, header_.max_var_idcode + 1u);
    for (size_t idcode = 0; idcode < entries; ++idcode) {
        const size_t at = header_.chain_uoff + idcode * 5;
        uint32_t position;
        std::memcpy(&position, bytes_.data() + at, 4);
        if (position == 0) continue;
        for (uint32_t moved : {header_.vc_chain_blk_cnt << 20, position + 0x100000, position + 1,
                               0xFFFFFFFFu}) {
            std::vector<uint8_t> bytes = bytes_;
            std::memcpy(bytes.data() + at, &moved, 4);
            Expect({"chain position of idcode " + std::to_string(idcode) + " moved to " +
                        std::to_string(moved),
                    bytes, true});
        }
    }
}

}  // namespace
}  // namespace tavri::tool_test
