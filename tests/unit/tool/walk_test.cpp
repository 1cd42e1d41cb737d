// The reader's time-ordered walk over files from the writer: it hands out
// exactly the changes that reading each idcode on its own gives, merged by
// time, session and idcode, in files of every shape its shortcuts treat
// apart (whose VCD export then holds the same values); chosen idcodes and
// time windows keep exactly their part; and a session larger than the block
// cache is still decompressed about once.
#include <algorithm>
#include <random>
#include <tuple>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

struct Seen {
    uint64_t time;
    uint32_t session;
    uint32_t idcode;
    std::string value;
    bool operator<(const Seen &o) const {
        return std::tie(time, session, idcode) < std::tie(o.time, o.session, o.idcode);
    }
    bool operator==(const Seen &o) const {
        return time == o.time && session == o.session && idcode == o.idcode && value == o.value;
    }
};

std::ostream &operator<<(std::ostream &out, const Seen &s) {
    return out << "{" << s.time << " s" << s.session << " #" << s.idcode << " " << s.value << "}";
}

std::string Text(const traxrChange &c) {
    std::string text;
    for (uint32_t i = 0; i < c.bit_count; ++i) text += "01xz"[c.bits[i] & 3];
    for (uint32_t i = 0; c.bit_count == 0 && i < c.raw_length; ++i) text += std::to_string(c.raw[i]) + ",";
    if (c.kind == TRAXR_VALUE_STRING) text = c.text;
    return text;
}

std::vector<Seen> Walk(traxrReader *reader, const std::vector<uint32_t> &chosen, uint64_t from,
                       uint64_t to) {
    std::vector<Seen> seen;
    traxrWalk *walk = nullptr;
    EXPECT_EQ(traxr_OpenWalk(reader, chosen.empty() ? nullptr : chosen.data(),
                             static_cast<uint32_t>(chosen.size()), from, to, &walk),
              TRAXR_OK)
        << traxr_LastMessage(reader);
    traxrStatus status;
    for (;;) {
        uint32_t idcode;
        traxrChange change;
        status = traxr_WalkNext(walk, &idcode, &change);
        if (status != TRAXR_OK) break;
        seen.push_back({change.time, change.session, idcode, Text(change)});
    }
    EXPECT_EQ(status, TRAXR_END) << traxr_LastMessage(reader);
    traxr_CloseWalk(walk);
    return seen;
}

// Every idcode read on its own, merged in the walk's order.
std::vector<Seen> OneByOne(traxrReader *reader, const std::vector<uint32_t> &chosen, uint64_t from,
                           uint64_t to) {
    std::vector<Seen> all;
    for (uint32_t idcode = 0; idcode < traxr_ChainTableSize(reader); ++idcode) {
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), idcode) == chosen.end()) continue;
        traxrChangeList *list = nullptr;
        EXPECT_EQ(traxr_ReadChanges(reader, idcode, &list), TRAXR_OK);
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change;
            traxr_GetChange(list, i, &change);
            if (change.time >= from && change.time <= to) {
                all.push_back({change.time, change.session, idcode, Text(change)});
            }
        }
        traxr_FreeChangeList(list);
    }
    std::stable_sort(all.begin(), all.end());
    return all;
}

// A file whose shape one of the walk's or the export's shortcuts treats
// apart.
struct Shape {
    const char *name;
    int vars;           // idcodes 1 .. vars; every fifth one a 7-bit vector
    int steps;          // time steps written
    uint64_t gap;       // time between steps (times are gap * step + step % 3)
    int period_spread;  // variable i changes every i % spread + 1 steps
    int never_change;   // every this-th variable never changes (0: all change)
    uint32_t wide_bits; // width of one extra wide vector (0: none)
    int flush_every;    // flush after this many steps (0: never)
    uint32_t vc_blocks = 1;  // value-change blocks the file has at least
};

void WriteShape(const std::string &path, const Shape &shape) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int id = 1; id <= shape.vars; ++id) {
        const std::string name = "v" + std::to_string(id);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, id % 5 == 0 ? 6 : 0, 0, id, name.c_str(), 0),
                  id);
    }
    const int wide = shape.vars + 1;
    if (shape.wide_bits != 0) {
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, shape.wide_bits - 1, 0, wide, "wide", 0), wide);
    }
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "alias_of_v1", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    std::mt19937 random(7);
    std::vector<uint8_t> bits(std::max<uint32_t>(shape.wide_bits, 7));
    for (int step = 0; step < shape.steps; ++step) {
        const uint64_t time = shape.gap * static_cast<uint64_t>(step) + step % 3;
        txw_CreateXCoor(obj, static_cast<uint32_t>(time >> 32), static_cast<uint32_t>(time));
        for (int id = 1; id <= shape.vars; ++id) {
            if (shape.never_change != 0 && id % shape.never_change == 0) continue;
            if (step % (id % shape.period_spread + 1) != 0) continue;
            const uint32_t width = id % 5 == 0 ? 7 : 1;
            for (uint32_t b = 0; b < width; ++b) bits[b] = static_cast<uint8_t>(random() % 4);
            txw_CreateVarValueByIdcode(obj, id, bits.data(), width);
        }
        if (shape.wide_bits != 0 && step % 4 == 0) {
            for (uint32_t b = 0; b < shape.wide_bits; ++b) bits[b] = static_cast<uint8_t>(random() % 2);
            bits[step % shape.wide_bits] = 2;  // an x somewhere
            txw_CreateVarValueByIdcode(obj, wide, bits.data(), shape.wide_bits);
        }
        if (shape.flush_every != 0 && step % shape.flush_every == shape.flush_every - 1) {
            // The next step's time continues in the next session.
            txw_Flush(obj);
        }
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

class ReaderWalk : public ToolTest {};

TEST_F(ReaderWalk, MatchesEveryIdcodeReadOnItsOwn) {
    const std::string path = PathFor("random.trax");
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    // More variables than one 64-bit word of lanes, so that the lanes due
    // at a time are put in order both by a bit set and by sorting.
    constexpr int kVars = 150;
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    for (int id = 1; id <= kVars; ++id) {
        const std::string name = "v" + std::to_string(id);
        const bool vector = id % 3 == 0, text = id % 7 == 0;
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, text ? 63 : 15, 0, 0, vector && !text ? 5 : 0, 0, id,
                                           name.c_str(), text ? 2 : 0),
                  id);
    }
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "alias_of_v1", 0), 1);
    ASSERT_EQ(txw_EndTree(obj), 0);
    std::mt19937 random(11);
    uint32_t time = 0;
    for (int step = 0; step < 400; ++step) {
        time += 1 + random() % 3;
        txw_CreateXCoor(obj, 0, time);
        for (int c = random() % 12; c > 0; --c) {
            const int id = 1 + static_cast<int>(random() % kVars);
            if (id % 7 == 0) {
                const std::string text = "t" + std::to_string(random() % 5);
                txwCreateStrValByVarIdcode(obj, id, text.c_str(), nullptr);
            } else if (id % 3 == 0) {
                uint8_t bits[6];
                for (uint8_t &b : bits) b = static_cast<uint8_t>(random() % 4);
                txw_CreateVarValueByIdcode(obj, id, bits, 6);
            } else {
                const uint8_t bit = static_cast<uint8_t>(random() % 4);
                txw_CreateVarValueByIdcode(obj, id, &bit, 1);
            }
        }
        if (random() % 25 == 0) txw_Flush(obj);  // sessions that end inside a time step too
        if (step == 200) txw_DumpOff(obj);
        if (step == 230) txw_DumpOn(obj);
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);

    traxrReader *reader = nullptr;
    ASSERT_EQ(traxr_Open(path.c_str(), &reader, nullptr, 0), TRAXR_OK);
    ASSERT_GT(traxr_SessionCount(reader), 5u);
    const std::vector<Seen> all = OneByOne(reader, {}, 0, UINT64_MAX);
    ASSERT_GT(all.size(), 1000u);
    EXPECT_EQ(Walk(reader, {}, 0, UINT64_MAX), all);
    const std::vector<uint32_t> chosen = {0, 1, 3, 7, 8};
    const uint64_t from = time / 3, to = 2 * time / 3;
    EXPECT_EQ(Walk(reader, chosen, from, to), OneByOne(reader, chosen, from, to));
    EXPECT_EQ(Walk(reader, {}, to, to), OneByOne(reader, {}, to, to));
    traxr_Close(reader);
}

// Many variables whose element arrays spread over several blocks of one
// session are read side by side; each block is still decompressed about
// once, since the decoders that stand in a block share it.
TEST_F(ReaderWalk, ASessionOfManyBlocksIsDecompressedAboutOnce) {
    const std::string path = PathFor("wide.trax");
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    constexpr int kVars = 200;
    ASSERT_TRUE(txw_BeginTree(obj));
    txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    for (int id = 1; id <= kVars; ++id) {
        const std::string name = "bus" + std::to_string(id);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 63, 0, id, name.c_str(), 0), id);
    }
    ASSERT_EQ(txw_EndTree(obj), 0);
    ASSERT_EQ(txw_SetValueChangeMemLimit(obj, 16), 0);  // room for the 6.4 MB of changes: one session
    std::mt19937 random(5);
    std::vector<uint8_t> bits(64);
    for (uint32_t time = 1; time <= 400; ++time) {
        txw_CreateXCoor(obj, 0, time);
        for (int id = 1; id <= kVars; ++id) {
            for (uint8_t &b : bits) b = static_cast<uint8_t>(random() & 1);
            txw_CreateVarValueByIdcode(obj, id, bits.data(), 64);
        }
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);
    traxrReader *reader = nullptr;
    ASSERT_EQ(traxr_Open(path.c_str(), &reader, nullptr, 0), TRAXR_OK);
    ASSERT_EQ(traxr_SessionCount(reader), 1u);
    const uint32_t vc_blocks = traxr_GetHeader(reader)->vc_blk_cnt;
    ASSERT_GE(vc_blocks, 4u) << "more blocks than the cache keeps";
    uint64_t before = 0, after = 0;
    traxr_GetBlockStats(reader, &before, nullptr);
    const std::vector<Seen> seen = Walk(reader, {}, 0, UINT64_MAX);
    traxr_GetBlockStats(reader, &after, nullptr);
    EXPECT_EQ(seen.size(), 400u * kVars);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    const uint32_t chain_blocks = traxr_GetHeader(reader)->vc_chain_blk_cnt;
    // Once each, plus the chain blocks read again going forward.
    EXPECT_LE(after - before, vc_blocks + 2 * chain_blocks + 2);
    traxr_Close(reader);
}

// Shapes the merge and the export treat apart: lanes due at many distinct
// times (more than the walk's table of recent times has places), times far
// apart, more lanes than the walk fetches ahead for, a value line longer
// than the export's buffer, identifiers of one to three characters,
// variables that never change, aliases, and sessions that end inside a time
// step. The walk hands out what reading each idcode on its own gives, and
// the exported VCD holds the file's values.
TEST_F(ReaderWalk, ShapesTheMergeTreatsApartWalkAndExportWhole) {
    const Shape shapes[] = {
        // Periods of 1 to 40 steps: lanes wait at up to 40 distinct times,
        // more than the walk's table of recent times has places.
        {"many_next_times", 300, 120, 10, 40, 0, 0, 0},
        // Times far apart, so that their hashes spread over the whole table.
        {"far_apart", 200, 60, uint64_t{1} << 36, 9, 0, 0, 0},
        // More lanes than the walk fetches ahead for, some never changing;
        // identifiers of one, two and three characters.
        {"many_lanes", 9000, 12, 5, 3, 7, 0, 0},
        // A value line longer than the export's buffer.
        {"long_line", 20, 9, 3, 2, 0, 1000000, 0},
        // A session of more value-change blocks than the reader caches:
        // blocks let go of are decompressed again into reused buffers.
        {"many_blocks", 10, 80, 2, 3, 0, 400000, 0, 6},
        // Sessions that end inside a time step.
        {"sessions", 150, 90, 2, 5, 11, 0, 7},
    };
    for (const Shape &shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string path = PathFor(std::string(shape.name) + ".trax");
        WriteShape(path, shape);
        traxrReader *reader = nullptr;
        ASSERT_EQ(traxr_Open(path.c_str(), &reader, nullptr, 0), TRAXR_OK);
        ASSERT_GE(traxr_GetHeader(reader)->vc_blk_cnt, shape.vc_blocks);
        const std::vector<Seen> all = OneByOne(reader, {}, 0, UINT64_MAX);
        ASSERT_GT(all.size(), static_cast<size_t>(shape.steps));
        EXPECT_TRUE(Walk(reader, {}, 0, UINT64_MAX) == all)
            << "the walk differs from the idcodes read one by one";
        traxr_Close(reader);

        const std::string vcd = PathFor(std::string(shape.name) + ".vcd");
        const Outcome exported = Trax({"vcd", path, "-o", vcd});
        ASSERT_EQ(exported.status, 0) << exported.err;
        const Outcome diff = Trax({"diff", path, vcd});
        EXPECT_EQ(diff.status, 0) << diff.out << diff.err;
    }
}

}  // namespace
}  // namespace tavri::tool_test
