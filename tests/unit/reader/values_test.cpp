// Value changes: every decoded format, times, sequence numbers, sessions and
// their back links, vc chain entries, and element arrays that contradict
// their variable or chain entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

// (A, B) pairs, or (C, D) pairs with `cd`, of a value written most
// significant bit first.
std::vector<uint32_t> Words(const std::string &bits, bool cd = false) {
    const size_t width = bits.size();
    std::vector<uint32_t> words(((width + 31) / 32) * 2, 0);
    for (size_t i = 0; i < width; ++i) {
        const char c = bits[width - 1 - i];
        const uint32_t mask = 1u << (i % 32);
        const bool first = cd ? (c == 'x' || c == 'z') : (c == '1' || c == 'x');
        const bool second = cd ? (c == '1' || c == 'x') : (c == 'x' || c == 'z');
        if (first) words[2 * (i / 32)] |= mask;
        if (second) words[2 * (i / 32) + 1] |= mask;
    }
    return words;
}

// A/B memory: all A bytes, then all B bytes, bit i at byte i / 8.
std::vector<uint8_t> MemoryBytes(const std::string &bits) {
    const size_t width = bits.size(), half = (width + 7) / 8;
    std::vector<uint8_t> bytes(2 * half, 0);
    for (size_t i = 0; i < width; ++i) {
        const char c = bits[width - 1 - i];
        if (c == '1' || c == 'x') bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        if (c == 'x' || c == 'z') bytes[half + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    }
    return bytes;
}

VarDef Vector(const std::string &name, uint32_t idcode, uint32_t width, uint8_t bpb = 0) {
    return VarDef(name, idcode).Bpb(bpb).Bounds(static_cast<int32_t>(width) - 1, 0);
}

ArrayDef Group(uint32_t idcode, uint8_t format, uint8_t bpb, uint32_t size,
               std::vector<ChangeDef> changes) {
    return ArrayDef(idcode, {GroupDef{format, bpb, size, std::move(changes)}});
}

std::vector<traxrChainEntry> ChainEntries(traxrReader *reader, uint32_t idcode) {
    traxrChainEntry *entries = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(traxr_ReadChainEntries(reader, idcode, &entries, &count), TRAXR_OK)
        << traxr_LastMessage(reader);
    std::vector<traxrChainEntry> out(entries, entries + count);
    traxr_FreeChainEntries(entries);
    return out;
}

class ValuesFixture : public ::testing::Test {
  protected:
    // Builds a one-tree file with `vars`, one session per element of
    // `sessions`, and opens it.
    void Open(const std::vector<VarDef> &vars, const std::vector<std::vector<ArrayDef>> &sessions,
              const std::vector<std::string> &strings = {}) {
        builder_.AddTree({ScopeDef("top").Vars(vars)});
        for (const std::string &s : strings) builder_.AddString(s);
        for (const auto &arrays : sessions) builder_.AddSession(arrays);
        const std::string path = PathFor(
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".trax"));
        builder_.WriteFinished(path);
        opened_ = std::make_unique<Opened>(path);
        ASSERT_EQ(opened_->status, TRAXR_OK) << opened_->message;
    }
    traxrReader *reader() { return opened_->reader; }
    std::vector<Value> Read(uint32_t idcode, traxrStatus expected = TRAXR_OK) {
        traxrStatus status;
        std::vector<Value> values = ReadValues(reader(), idcode, &status);
        EXPECT_EQ(status, expected) << traxr_LastMessage(reader());
        return values;
    }

    TraxBuilder builder_;
    std::unique_ptr<Opened> opened_;
};
// Named so that the tests' names say whose they are.
using readerValues = ValuesFixture;

TEST_F(readerValues, ScalarCodesTimesAndExplicitCode) {
    Open({VarDef("s", 1)}, {{Scalar(1, {{0, 0}, {3, 1}, {3, 2}, {70003, 3}, {70010, 17}})}});
    const std::vector<Value> v = Read(1);
    ASSERT_EQ(v.size(), 5u);
    const std::vector<std::pair<uint64_t, std::string>> expected = {
        {0, "0"}, {3, "1"}, {3, "x"}, {70003, "z"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(v[i].time, expected[i].first);
        EXPECT_EQ(v[i].bits, expected[i].second);
        EXPECT_EQ(v[i].kind, TRAXR_VALUE_LOGIC);
    }
    // A code of 15 or more has its own byte and is no logic level.
    EXPECT_EQ(v[4].time, 70010u);
    EXPECT_EQ(v[4].kind, TRAXR_VALUE_RAW);
    EXPECT_EQ(v[4].raw, std::vector<uint8_t>{17});
}

TEST_F(readerValues, NormalBusAndVhdlBus) {
    Open({Vector("bus", 1, 4), Vector("vhdl", 2, 5)},
         {{Bus(1, {{10, "01xz"}, {20, "1111"}}),
           Group(2, 6, 0, 5, {ChangeDef(4).Bytes({0x12, 0x30, 0x01})})}});
    const std::vector<Value> bus = Read(1);
    ASSERT_EQ(bus.size(), 2u);
    EXPECT_EQ(bus[0].bits, "01xz");
    EXPECT_EQ(bus[1].bits, "1111");
    EXPECT_EQ(bus[1].time, 20u);
    const std::vector<Value> vhdl = Read(2);
    ASSERT_EQ(vhdl.size(), 1u);
    EXPECT_EQ(vhdl[0].kind, TRAXR_VALUE_RAW);
    EXPECT_EQ(vhdl[0].raw, (std::vector<uint8_t>{0x12, 0x30, 0x01}));
}

TEST_F(readerValues, WordPairFormatsFullAndCompact) {
    const std::string wide = "1x0z" + std::string(30, '1') + "010110";  // 40 bits
    const std::string plain = std::string(20, '0') + std::string(20, '1');
    const std::string memory = "1xz0110";
    Open({Vector("ab", 1, 40), Vector("cd", 2, 40), Vector("mem", 3, 7)},
         {{Group(1, 5, 0, 40, {ChangeDef(1).Words(Words(wide)), ChangeDef(2).Words(Words(plain))}),
           Group(2, 10, 0, 40,
                 {ChangeDef(1).Words(Words(wide, true)), ChangeDef(2).Words(Words(plain, true))}),
           Group(3, 11, 0, 7,
                 {ChangeDef(1).Bytes(MemoryBytes(memory)),
                  ChangeDef(2).Bytes(MemoryBytes("1100110"))})}});
    for (uint32_t idcode : {1u, 2u}) {
        const std::vector<Value> v = Read(idcode);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0].bits, wide) << idcode;
        EXPECT_FALSE(v[0].compact);
        EXPECT_EQ(v[1].bits, plain) << idcode;
        EXPECT_TRUE(v[1].compact);
        EXPECT_EQ(v[1].raw.size(), 8u);  // one word per 32 bits
    }
    const std::vector<Value> m = Read(3);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].bits, memory);
    EXPECT_EQ(m[1].bits, "1100110");
    EXPECT_TRUE(m[1].compact);
}

// Pairs and memory bytes are decoded eight bits at a time: every width
// around the byte and word edges, with x and z in every byte position and
// without (the compact form).
TEST_F(readerValues, WordPairFormatsAtEveryEdgeWidth) {
    const std::vector<uint32_t> widths = {1, 5, 8, 9, 13, 31, 32, 33, 63, 64, 65, 100, 256};
    std::vector<VarDef> vars;
    std::vector<ArrayDef> arrays;
    std::vector<std::pair<std::string, std::string>> expected;  // (mixed, plain) per idcode
    uint32_t idcode = 1;
    for (uint32_t width : widths) {
        std::string mixed, plain;
        for (uint32_t i = 0; i < width; ++i) {
            mixed += "01xz1x0z"[(i * 7 + width) % 8];
            plain += "0110100111"[(i * 3 + width) % 10];
        }
        for (uint8_t format : {uint8_t{5}, uint8_t{10}, uint8_t{11}}) {
            vars.push_back(Vector("v" + std::to_string(idcode), idcode, width));
            std::vector<ChangeDef> changes;
            if (format == 11) {
                changes = {ChangeDef(1).Bytes(MemoryBytes(mixed)),
                           ChangeDef(2).Bytes(MemoryBytes(plain))};
            } else {
                changes = {ChangeDef(1).Words(Words(mixed, format == 10)),
                           ChangeDef(2).Words(Words(plain, format == 10))};
            }
            arrays.push_back(Group(idcode, format, 0, width, std::move(changes)));
            expected.emplace_back(mixed, plain);
            ++idcode;
        }
    }
    Open(vars, {arrays});
    for (uint32_t id = 1; id < idcode; ++id) {
        const std::vector<Value> v = Read(id);
        ASSERT_EQ(v.size(), 2u) << id;
        EXPECT_EQ(v[0].bits, expected[id - 1].first) << "idcode " << id;
        EXPECT_EQ(v[1].bits, expected[id - 1].second) << "idcode " << id;
        EXPECT_TRUE(v[1].compact) << id;
    }
}

TEST_F(readerValues, RealsAndStrings) {
    Open({VarDef("r", 1).Bpb(3), VarDef("s", 2).Bpb(2)},
         {{Group(1, 4, 3, 8, {ChangeDef(1).Real(3.25), ChangeDef(2).Real(-1e300)}),
           Group(2, 4, 2, 4,
                 {ChangeDef(1).Words({0}), ChangeDef(2).Words({1}), ChangeDef(3).Words({2}),
                  ChangeDef(4).Words({0})})}},
         {"hello", "", "world"});
    const std::vector<Value> r = Read(1);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].kind, TRAXR_VALUE_REAL);
    EXPECT_DOUBLE_EQ(r[0].real, 3.25);
    EXPECT_DOUBLE_EQ(r[1].real, -1e300);
    const std::vector<Value> s = Read(2);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].kind, TRAXR_VALUE_STRING);
    EXPECT_EQ(s[0].text, "hello");
    EXPECT_EQ(s[1].text, "");
    EXPECT_EQ(s[2].text, "world");
    EXPECT_EQ(s[3].text, "hello");
    ASSERT_EQ(traxr_StringCount(reader()), 3u);
    EXPECT_STREQ(traxr_String(reader(), 2), "world");
    EXPECT_EQ(traxr_String(reader(), 3), nullptr);
}

TEST_F(readerValues, SixtyFourBitTimesAndSequenceNumbers) {
    builder_.has_seq = true;
    const uint64_t far = 0x100000005ull;
    Open({VarDef("s", 1), Vector("b", 2, 2)},
         {{ArrayDef(1,
                    {GroupDef{0,
                              0,
                              1,
                              {ChangeDef(5).Bytes({1}).Seq(1), ChangeDef(far).Bytes({0}).Seq(70000),
                               ChangeDef(far + 1).Bytes({1})}}}),
           ArrayDef(2, {GroupDef{4, 0, 2, {ChangeDef(far * 2).Bytes({1, 0}).Seq(3)}}})}});
    const std::vector<Value> v = Read(1);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].time, 5u);
    EXPECT_EQ(v[1].time, far);
    EXPECT_EQ(v[2].time, far + 1);
    EXPECT_TRUE(v[0].has_seq);
    EXPECT_EQ(v[0].seq, 1u);
    EXPECT_EQ(v[1].seq, 70000u);
    EXPECT_FALSE(v[2].has_seq);
    const std::vector<traxrChainEntry> chain = ChainEntries(reader(), 1);
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0].first_time, 5u);
    EXPECT_EQ(chain[0].last_time, far + 1);
    EXPECT_EQ(chain[0].statistic, far - 5);
    const std::vector<Value> b = Read(2);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].time, far * 2);
    EXPECT_EQ(b[0].seq, 3u);
    const traxrHeader *h = traxr_GetHeader(reader());
    EXPECT_EQ(h->maximum_xtag, far * 2);
    EXPECT_EQ(h->minimum_xtag, 5u);
}

TEST_F(readerValues, SessionsLinkBackAndKeepTheirBlocks) {
    Open({VarDef("a", 1), VarDef("b", 2)}, {{Scalar(1, {{10, 1}, {15, 0}})},
                                            {Scalar(2, {{20, 1}})},
                                            {Scalar(1, {{30, 1}}), Scalar(2, {{31, 0}, {40, 1}})}});
    ASSERT_EQ(traxr_SessionCount(reader()), 3u);
    traxrSession s[3];
    for (uint32_t i = 0; i < 3; ++i) ASSERT_EQ(traxr_GetSession(reader(), i, &s[i]), TRAXR_OK);
    EXPECT_EQ(s[0].start_time, 10u);
    EXPECT_EQ(s[0].end_time, 15u);
    EXPECT_EQ(s[1].start_time, 15u);
    EXPECT_EQ(s[1].end_time, 20u);
    EXPECT_EQ(s[2].end_time, 40u);
    EXPECT_EQ(s[2].first_vc_block, 2u);
    EXPECT_EQ(s[2].first_vc_chain_block, 2u);
    traxrBlockLayout layout;
    ASSERT_EQ(traxr_GetSessionBlock(reader(), 1, TRAXR_BLOCK_VC, 0, &layout), TRAXR_OK);
    EXPECT_EQ(layout.offset, builder_.vc_layouts[1].offset);
    EXPECT_EQ(layout.stored_length, builder_.vc_layouts[1].length);
    EXPECT_EQ(traxr_GetSessionBlock(reader(), 1, TRAXR_BLOCK_VC, 1, &layout), TRAXR_ERR_ARGUMENT);

    const std::vector<traxrChainEntry> a = ChainEntries(reader(), 1);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].session, 0u);
    EXPECT_EQ(a[0].back_link, 0u);
    EXPECT_EQ(a[0].position, 1u);  // right after the stream's first byte
    EXPECT_EQ(a[1].session, 2u);
    EXPECT_EQ(a[1].back_link, a[1].position - a[0].position);
    EXPECT_EQ(a[0].change_count, 2u);
    EXPECT_EQ(a[0].statistic, 5u);
    uint64_t last = 0;
    uint8_t flags = 0xFF;
    ASSERT_EQ(traxr_GetChainTableEntry(reader(), 1, &last, &flags), TRAXR_OK);
    EXPECT_EQ(last, a[1].position);
    ASSERT_EQ(traxr_GetChainTableEntry(reader(), 0, &last, &flags), TRAXR_OK);
    EXPECT_EQ(last, 0u);

    const std::vector<Value> va = Read(1), vb = Read(2);
    ASSERT_EQ(va.size(), 3u);
    EXPECT_EQ(va[2].time, 30u);
    EXPECT_EQ(va[2].session, 2u);
    ASSERT_EQ(vb.size(), 3u);
    EXPECT_EQ(vb[0].session, 1u);
    EXPECT_EQ(vb[2].time, 40u);
    EXPECT_EQ(vb[2].bits, "1");
}

TEST_F(readerValues, ChainEntryWidthCodesAndFlags) {
    std::vector<std::pair<uint64_t, uint8_t>> many;
    for (uint64_t t = 0; t < 300; ++t) many.emplace_back(t * 3, static_cast<uint8_t>(t & 1));
    ArrayDef flagged = Scalar(2, {{1, 2}});
    flagged.flags = 5;
    Open({VarDef("m", 1), VarDef("f", 2)}, {{Scalar(1, many), flagged}});
    const std::vector<traxrChainEntry> m = ChainEntries(reader(), 1);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].change_count, 300u);
    EXPECT_EQ(m[0].flags_a >> 6, 1);  // a count of 300 takes 2 bytes
    EXPECT_EQ(m[0].last_time, 897u);
    const std::vector<traxrChainEntry> f = ChainEntries(reader(), 2);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ((f[0].flags_b >> 4) & 7, 5);
    uint64_t last;
    uint8_t flags;
    ASSERT_EQ(traxr_GetChainTableEntry(reader(), 2, &last, &flags), TRAXR_OK);
    EXPECT_EQ(flags, 5);
    EXPECT_EQ(Read(1).size(), 300u);
}

TEST_F(readerValues, EightByteChainTable) {
    builder_.chain_8byte = true;
    Open({VarDef("a", 1), VarDef("b", 2)}, {{Scalar(2, {{4, 1}})}, {Scalar(1, {{5, 0}}), Scalar(2, {{6, 0}})}});
    EXPECT_EQ(traxr_ChainTableSize(reader()), 3u);
    EXPECT_EQ(Read(1).size(), 1u);
    EXPECT_EQ(Read(2).size(), 2u);
    EXPECT_EQ(Read(2)[1].time, 6u);
}

TEST_F(readerValues, GroupsOfSeveralFormatsInOneArray) {
    ArrayDef mixed(1, {GroupDef{4, 0, 4, {ChangeDef(1).Bytes(Codes("10xz"))}},
                       GroupDef{5, 0, 4, {ChangeDef(9).Words(Words("z0x1"))}}});
    Open({Vector("v", 1, 4)}, {{mixed}});
    const std::vector<Value> v = Read(1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].bits, "10xz");
    EXPECT_EQ(v[1].bits, "z0x1");
    EXPECT_EQ(v[1].time, 9u);  // deltas run on across groups
}

TEST_F(readerValues, DumpOffMarkerIsIdcodeZero) {
    Open({VarDef("a", 1)}, {{Scalar(0, {{100, 1}, {200, 0}}), Scalar(1, {{100, 1}})}});
    const std::vector<Value> marker = Read(0);
    ASSERT_EQ(marker.size(), 2u);
    EXPECT_EQ(marker[0].bits, "1");
    EXPECT_EQ(marker[1].time, 200u);
    EXPECT_TRUE(Read(5, TRAXR_ERR_NOT_FOUND).empty());
}

TEST_F(readerValues, FormatsWithTheirOwnEncodersAreUnsupported) {
    Open({Vector("p", 1, 4)}, {{Group(1, 7, 0, 4, {ChangeDef(1).Bytes({1, 2, 3, 4})})}});
    Read(1, TRAXR_ERR_UNSUPPORTED);
}

struct BadArray {
    const char *what;
    VarDef var;
    ArrayDef array;
};

TEST(readerValuesCorrupt, ArraysThatContradictTheirVariableOrEntry) {
    ArrayDef wrong_count = Scalar(1, {{1, 1}, {2, 0}});
    wrong_count.change_count = 3;
    ArrayDef wrong_session = Scalar(1, {{1, 1}});
    wrong_session.element_position = 0;  // the first session's block
    ArrayDef outside = Scalar(1, {{1, 1}});
    outside.element_position = 0x700000;
    const std::vector<BadArray> cases = {
        {"value size differs", Vector("v", 1, 4),
         Group(1, 4, 0, 5, {ChangeDef(1).Bytes(Codes("01010"))})},
        {"bytes-per-bit differs", Vector("v", 1, 4),
         Group(1, 4, 1, 4, {ChangeDef(1).Bytes(Codes("0101"))})},
        {"scalar group for a bus", Vector("v", 1, 4), Scalar(1, {{1, 1}})},
        {"bits above the width", Vector("v", 1, 4),
         Group(1, 5, 0, 4, {ChangeDef(1).Words({0x10, 0})})},
        {"string id not in the list", VarDef("s", 1).Bpb(2),
         Group(1, 4, 2, 4, {ChangeDef(1).Words({7})})},
        {"unknown format byte", Vector("v", 1, 4),
         Group(1, 8, 0, 4, {ChangeDef(1).Bytes(Codes("0101"))})},
        {"count above the array's", VarDef("s", 1), wrong_count},
        {"array in another session", VarDef("s", 1), wrong_session},
        {"array outside the stream", VarDef("s", 1), outside},
    };
    for (const BadArray &c : cases) {
        TraxBuilder b;
        b.AddTree({ScopeDef("top").Vars({c.var, VarDef("other", 2)})});
        b.AddSession({Scalar(2, {{0, 1}})});
        b.AddSession({c.array});
        const std::string path = PathFor("badarray.trax");
        b.WriteFinished(path);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << c.what << ": " << f.message;
        traxrStatus status;
        ReadValues(f.reader, 1, &status);
        EXPECT_EQ(status, TRAXR_ERR_CORRUPT) << c.what;
        EXPECT_STRNE(traxr_LastMessage(f.reader), "") << c.what;
        traxrChangeSet *set = nullptr;
        EXPECT_EQ(traxr_ReadAllChanges(f.reader, &set), TRAXR_ERR_CORRUPT) << c.what;
        EXPECT_EQ(set, nullptr);
        // The other variable is still readable.
        EXPECT_EQ(ReadValues(f.reader, 2, &status).size(), 1u);
        EXPECT_EQ(status, TRAXR_OK);
    }
}

TEST(readerValuesCorrupt, BackLinksThatDoNotGoBackASession) {
    for (uint64_t link : {uint64_t{1}, uint64_t{5000}}) {
        TraxBuilder b;
        b.AddTree({ScopeDef("top").Vars({VarDef("a", 1), VarDef("b", 2)})});
        ArrayDef bad = Scalar(2, {{3, 1}});
        bad.back_link =
            link;  // 1: the entry just before, in the same session; 5000: before the stream
        b.AddSession({Scalar(1, {{1, 1}}), bad});
        const std::string path = PathFor("badlink.trax");
        b.WriteFinished(path);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << f.message;
        traxrStatus status;
        ReadValues(f.reader, 2, &status);
        EXPECT_EQ(status, TRAXR_ERR_CORRUPT) << link;
    }
}

// A file written on a big-endian host: every multi-byte field reversed.
TEST(readerByteOrder, ReversedFileReadsTheSame) {
    for (bool big : {false, true}) {
        TraxBuilder b(big);
        b.AddTree({ScopeDef("top").Vars({Vector("ab", 1, 36), VarDef("r", 2).Bpb(3),
                                         VarDef("s", 3).Bpb(2),
                                         VarDef("wide", 300).Bounds(-70000, 1000)})});
        b.AddString("zero");
        b.AddString("one");
        b.AddSession(
            {Group(1, 5, 0, 36,
                   {ChangeDef(0x123456789ull).Words(Words("xz10" + std::string(32, '1')))}),
             Group(2, 4, 3, 8, {ChangeDef(70000).Real(2.5)}),
             Group(3, 4, 2, 4, {ChangeDef(3).Words({1})})});
        const std::string path = PathFor(big ? "big.trax" : "little.trax");
        b.WriteFinished(path);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << f.message;
        EXPECT_EQ(traxr_ByteOrder(f.reader), big ? TRAXR_ORDER_REVERSED : TRAXR_ORDER_SAME);
        EXPECT_EQ(traxr_GetHeader(f.reader)->endian_type, big ? 2 : 1);
        EXPECT_EQ(traxr_GetHeader(f.reader)->maximum_xtag, 0x123456789ull);
        const std::vector<Value> ab = ReadValues(f.reader, 1);
        ASSERT_EQ(ab.size(), 1u);
        EXPECT_EQ(ab[0].bits, "xz10" + std::string(32, '1'));
        EXPECT_EQ(ab[0].time, 0x123456789ull);
        EXPECT_DOUBLE_EQ(ReadValues(f.reader, 2).at(0).real, 2.5);
        EXPECT_EQ(ReadValues(f.reader, 3).at(0).text, "one");
        uint32_t index;
        ASSERT_EQ(traxr_FindVar(f.reader, 300, &index), TRAXR_OK);
        traxrVar wide;
        ASSERT_EQ(traxr_GetVar(f.reader, index, &wide), TRAXR_OK);
        EXPECT_EQ(wide.left, -70000);
        EXPECT_EQ(wide.right, 1000);
    }
}

}  // namespace
}  // namespace tavri::reader_test
