// Damaged files: cut at any length, index structures that point past the
// end or outside their streams, damaged compressed blocks and random bit
// flips. Each must give an error status, never a crash or a hang.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

TraxBuilder Sample(const std::function<void(std::vector<uint8_t> *)> &hook = nullptr) {
    TraxBuilder b;
    b.SetBlockHook(hook);
    b.annotation = "sample";
    b.AddTree({ScopeDef("top").Vars(
        {VarDef("a", 1), VarDef("bus", 2).Bounds(3, 0), VarDef("s", 3).Bpb(2)})});
    b.AddString("one");
    b.AddSession({Scalar(1, {{1, 0}, {2, 1}}), Bus(2, {{1, "01xz"}}),
                  ArrayDef(3, {GroupDef{4, 2, 4, {ChangeDef(2).Words({0})}}})});
    b.AddTree({ScopeDef("second").Vars({VarDef("c", 4)})});
    b.AddSession({Scalar(1, {{5, 1}}), Scalar(4, {{6, 3}})});
    return b;
}

// Opens the bytes; when that works, reads everything there is to read.
traxrStatus OpenAndReadAll(const std::vector<uint8_t> &bytes, const std::string &name) {
    const std::string path = PathFor(name);
    WriteFile(path, bytes);
    Opened f(path);
    if (f.status != TRAXR_OK) {
        EXPECT_EQ(f.reader, nullptr);
        return f.status;
    }
    traxrChangeSet *set = nullptr;
    const traxrStatus all = traxr_ReadAllChanges(f.reader, &set);
    traxr_FreeChangeSet(set);
    for (uint32_t idcode = 0; idcode <= traxr_MaxIdcode(f.reader); ++idcode) {
        traxrStatus status;
        ReadValues(f.reader, idcode, &status);
        traxrChainEntry *entries = nullptr;
        uint32_t count = 0;
        traxr_ReadChainEntries(f.reader, idcode, &entries, &count);
        traxr_FreeChainEntries(entries);
    }
    return all;
}

TEST(readerBroken, EveryShorterLengthIsAnError) {
    const std::vector<uint8_t> whole = Sample().Finished();
    ASSERT_EQ(OpenAndReadAll(whole, "whole.trax"), TRAXR_OK);
    for (size_t length = 0; length < whole.size(); ++length) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
        const traxrStatus status = OpenAndReadAll(cut, "cut.trax");
        ASSERT_NE(status, TRAXR_OK) << "cut at " << length;
    }
}

TEST(readerBroken, CutAtSectionBoundaries) {
    TraxBuilder b = Sample();
    const std::vector<uint8_t> whole = b.Finished();
    const std::vector<std::pair<const char *, uint64_t>> cuts = {
        {"inside the header", 300},
        {"before the first block", 2816},
        {"inside the blocks", b.vc_layouts[0].offset + 2},
        {"at the annotation", b.annotation_offset},
        {"at the tree list", b.tree_list_offset},
        {"at the session list", b.session_list_offset},
        {"at the string list", b.string_list_offset},
        {"at the chain table", b.chain_offset},
        {"one byte short", whole.size() - 1},
    };
    for (const auto &[what, length] : cuts) {
        const std::string path = PathFor("section.trax");
        WriteFile(path,
                  std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
        Opened f(path);
        EXPECT_EQ(f.status, TRAXR_ERR_TRUNCATED) << what << ": " << f.message;
    }
}

// Overwrites a 12-byte block layout in the session list or tree list.
void PatchLayout(std::vector<uint8_t> *image, uint64_t at, uint64_t offset, uint32_t length) {
    Bytes layout;
    layout.U64(offset).U32(length);
    std::copy(layout.data.begin(), layout.data.end(), image->begin() + static_cast<long>(at));
}

TEST(readerBroken, BlockLayoutsOutsideTheFile) {
    TraxBuilder b = Sample();
    const std::vector<uint8_t> whole = b.Finished();
    // The first session's record: marker, two time tags, first block index,
    // count, then its first value-change block layout.
    const uint64_t vc_layout = b.session_list_offset + 1 + 8 + 8 + 4 + 1;
    // The first tree record: marker, count, S, then its first scope block.
    const uint64_t scope_layout = b.tree_list_offset + 1 + 4 + 4;
    struct Case {
        const char *what;
        uint64_t at, offset;
        uint32_t length;
        traxrStatus expected;
    };
    const std::vector<Case> cases = {
        {"vc block past the end", vc_layout, b.vc_layouts[0].offset,
         static_cast<uint32_t>(whole.size()), TRAXR_ERR_TRUNCATED},
        {"vc block starting past the end", vc_layout, whole.size() + 10, 5, TRAXR_ERR_TRUNCATED},
        {"vc block in the header", vc_layout, 100, 20, TRAXR_ERR_CORRUPT},
        {"vc block of length 0", vc_layout, b.vc_layouts[0].offset, 0, TRAXR_ERR_CORRUPT},
        {"vc block longer than any block", vc_layout, 2816, 0x7FFFFFFF, TRAXR_ERR_CORRUPT},
        {"scope block past the end", scope_layout, whole.size() - 4, 40, TRAXR_ERR_TRUNCATED},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> image = whole;
        PatchLayout(&image, c.at, c.offset, c.length);
        const std::string path = PathFor("layout.trax");
        WriteFile(path, image);
        Opened f(path);
        EXPECT_EQ(f.status, c.expected) << c.what << ": " << f.message;
    }
}

TEST(readerBroken, DamagedCompressedBlock) {
    TraxBuilder b = Sample();
    std::vector<uint8_t> image = b.Finished();
    const Layout vc = b.vc_layouts[0];
    for (uint32_t i = 0; i < vc.length; ++i)
        image[vc.offset + i] = static_cast<uint8_t>(0x5A ^ (i * 37));
    EXPECT_EQ(OpenAndReadAll(image, "damaged.trax"), TRAXR_ERR_CORRUPT);
}

TEST(readerBroken, IndexStructuresThatDisagree) {
    TraxBuilder b = Sample();
    const std::vector<uint8_t> whole = b.Finished();
    auto patched = [&](uint64_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> image = whole;
        std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(at));
        return image;
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> image;
        traxrStatus expected;
    };
    const std::vector<Case> cases = {
        {"chain table entry outside the chain stream", patched(b.chain_offset + 5, {0, 0, 0x50, 0}),
         TRAXR_ERR_CORRUPT},
        {"chain table entry past its block's end",
         patched(b.chain_offset + 5, {0xF0, 0xFF, 0x01, 0}), TRAXR_ERR_CORRUPT},
        {"session marker", patched(b.session_list_offset, {0x0E}), TRAXR_ERR_CORRUPT},
        {"tree marker", patched(b.tree_list_offset, {0xF1}), TRAXR_ERR_CORRUPT},
        {"session naming more blocks than counted",
         patched(b.session_list_offset + 17, {9, 0, 0, 0}), TRAXR_ERR_CORRUPT},
        {"string count", patched(436, {2, 0, 0, 0}), TRAXR_ERR_CORRUPT},
        {"session count", patched(464, {3, 0, 0, 0}), TRAXR_ERR_TRUNCATED},
        {"session count too low", patched(464, {1, 0, 0, 0}), TRAXR_ERR_CORRUPT},
        {"tree count", patched(468, {3, 0, 0, 0}), TRAXR_ERR_TRUNCATED},
        {"max var idcode above the chain table", patched(476, {9, 0, 0, 0}), TRAXR_ERR_TRUNCATED},
        {"string list without NUL", patched(b.string_list_offset + 3, {'!'}), TRAXR_ERR_TRUNCATED},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(OpenAndReadAll(c.image, "disagree.trax"), c.expected) << c.what;
    }
}

// Any byte of a file may be wrong; reading must stay inside what is there.
TEST(readerBroken, RandomDamageNeverCrashes) {
    const std::vector<uint8_t> whole = Sample().Finished();
    std::mt19937 random(2024);
    int failures = 0;
    for (int round = 0; round < 600; ++round) {
        std::vector<uint8_t> image = whole;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the structures after the header area, which carry the
            // lengths, positions and counts.
            const size_t at =
                random() % 4 != 0 ? 2816 + random() % (image.size() - 2816) : 192 + random() % 320;
            image[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        }
        if (OpenAndReadAll(image, "flipped.trax") != TRAXR_OK) ++failures;
    }
    EXPECT_GT(failures, 0);
}

// Damage inside the blocks, before compression: the streams' parsers get
// bytes that decompress well but make no sense.
TEST(readerBroken, DamagedStreamsNeverCrash) {
    std::mt19937 random(99);
    int failures = 0;
    for (int round = 0; round < 600; ++round) {
        const int flips = 1 + static_cast<int>(random() % 3);
        const std::vector<uint8_t> image =
            Sample([&](std::vector<uint8_t> *block) {
                for (int i = 0; i < flips; ++i) {
                    if (random() % 2 == 0)
                        (*block)[random() % block->size()] ^=
                            static_cast<uint8_t>(1u << (random() % 8));
                }
            }).Finished();
        if (OpenAndReadAll(image, "streams.trax") != TRAXR_OK) ++failures;
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace tavri::reader_test
