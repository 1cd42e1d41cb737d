// Every field of an element array and of a vc chain entry takes the smallest
// width its value allows; values on each side of every width boundary
// (0xFF/0x100, 0xFFFF/0x10000, 2^32 - 1/2^32) must come back through the
// reader exactly: time deltas and sequence numbers of the elements; back
// links, element positions, session statistics, change counts and first
// and last time tags of the chain entries. (Stream positions stop short of
// 2^32: every session starts a new 1 MB block of each stream, and with
// 4-byte offsets a stream has fewer than 4096 blocks.)
#include <algorithm>

#include "roundtrip_util.h"

namespace tavri::test {
namespace {

constexpr uint64_t k4G = uint64_t{1} << 32;
constexpr uint64_t kBlock = 0x100000;  // logical size of one block

class WidthBoundary : public RoundTripTest {
  protected:
    // Opens the file with the scalars s1..s`scalars` (idcodes 1..) after
    // `bus_width` > 0 a normal bus as idcode 1.
    txwObject *OpenWith(uint32_t scalars, uint32_t bus_width = 0) {
        txwObject *obj = Open();
        EXPECT_TRUE(txw_BeginTree(obj));
        Scope(obj, "top");
        int32_t idcode = 1;
        if (bus_width > 0) {
            EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, static_cast<int32_t>(bus_width) - 1, 0, idcode, "bus", 0),
                      idcode);
            ++idcode;
        }
        for (uint32_t i = 0; i < scalars; ++i, ++idcode) {
            const std::string name = "s" + std::to_string(idcode);
            EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, idcode, name.c_str(), 0), idcode);
        }
        EXPECT_EQ(txw_EndTree(obj), 0);
        return obj;
    }

    static void At64(txwObject *obj, uint64_t time) {
        txw_CreateXCoor(obj, static_cast<uint32_t>(time >> 32), static_cast<uint32_t>(time));
    }

    static std::vector<traxrChainEntry> Entries(Reading &file, uint32_t idcode) {
        traxrChainEntry *entries = nullptr;
        uint32_t count = 0;
        EXPECT_EQ(traxr_ReadChainEntries(file.reader, idcode, &entries, &count), TRAXR_OK)
            << traxr_LastMessage(file.reader);
        std::vector<traxrChainEntry> out(entries, entries + count);
        traxr_FreeChainEntries(entries);
        return out;
    }

    // The element position of the scalar written right after the only
    // change of a bus of `width` bits, both in the first session.
    uint64_t PositionAfterBus(uint32_t width) {
        txwObject *obj = OpenWith(1, width);
        txw_CreateXCoor(obj, 0, 1);
        Bus(obj, 1, std::string(width, '1'));
        Scalar(obj, 2, 1);
        EXPECT_EQ(txw_CloseFile(obj), 0);
        Reading file(path_);
        EXPECT_EQ(file.status, TRAXR_OK) << file.message;
        EXPECT_EQ(file.Changes(1), (std::vector<Seen>{At(1, std::string(width, '1'))}));
        EXPECT_EQ(file.Changes(2), (std::vector<Seen>{At(1, "1")}));
        const std::vector<traxrChainEntry> bus = Entries(file, 1);
        const std::vector<traxrChainEntry> scalar = Entries(file, 2);
        EXPECT_EQ(bus.size(), 1u);
        EXPECT_EQ(scalar.size(), 1u);
        if (bus.empty() || scalar.empty()) {
            return 0;
        }
        EXPECT_EQ(bus[0].element_position, 0u) << "the bus's array opens the value-change stream";
        return scalar[0].element_position;
    }
};

// One scalar changing at the given times, in one session.
struct TimesRow {
    const char *what;
    std::vector<uint64_t> times;
};

std::vector<uint64_t> Steps(uint64_t count) {
    std::vector<uint64_t> times(count);
    for (uint64_t i = 0; i < count; ++i) {
        times[i] = i + 1;
    }
    return times;
}

TEST_F(WidthBoundary, TimeDeltasTimeTagsStatisticsAndChangeCounts) {
    const TimesRow rows[] = {
        {"first time and delta 0xFFFF", {0xFFFF}},
        {"first time and delta 0x10000", {0x10000}},
        {"delta and statistic 0xFFFF", {1, 0x10000}},
        {"delta and statistic 0x10000", {1, 0x10001}},
        {"first time and delta 2^32 - 1, 32-bit form", {0xFFFFFFFF}},
        {"first time and delta 2^32, 64-bit form", {k4G}},
        {"delta and statistic 2^32 - 1, 64-bit form", {k4G, 2 * k4G - 1}},
        {"delta and statistic 2^32", {k4G, 2 * k4G}},
        {"count 0xFF", Steps(0xFF)},
        {"count 0x100", Steps(0x100)},
        {"count 0xFFFF", Steps(0xFFFF)},
        {"count 0x10000", Steps(0x10000)},
    };
    for (const TimesRow &row : rows) {
        SCOPED_TRACE(row.what);
        txwObject *obj = OpenWith(1);
        std::vector<Seen> expected;
        for (size_t i = 0; i < row.times.size(); ++i) {
            At64(obj, row.times[i]);
            const auto value = static_cast<uint8_t>(i & 1);
            Scalar(obj, 1, value);
            expected.push_back(At(row.times[i], std::string(1, "01"[value])));
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);

        Reading file(path_);
        ASSERT_EQ(file.status, TRAXR_OK) << file.message;
        EXPECT_EQ(file.Changes(1), expected);
        const std::vector<traxrChainEntry> entries = Entries(file, 1);
        ASSERT_EQ(entries.size(), 1u);
        uint64_t largest = 0;
        for (size_t i = 1; i < row.times.size(); ++i) {
            largest = std::max(largest, row.times[i] - row.times[i - 1]);
        }
        EXPECT_EQ(entries[0].change_count, row.times.size());
        EXPECT_EQ(entries[0].first_time, row.times.front());
        EXPECT_EQ(entries[0].last_time, row.times.back());
        EXPECT_EQ(entries[0].statistic, largest);
    }
}

TEST_F(WidthBoundary, ElementPositions) {
    // The bus's array is its width plus a fixed overhead long.
    const uint64_t overhead = PositionAfterBus(16) - 16;
    ASSERT_GT(overhead, 0u);
    for (const uint64_t position : {uint64_t{0xFF}, uint64_t{0x100}, uint64_t{0xFFFF}, uint64_t{0x10000}}) {
        SCOPED_TRACE("element position " + std::to_string(position));
        EXPECT_EQ(PositionAfterBus(static_cast<uint32_t>(position - overhead)), position);
    }
}

TEST_F(WidthBoundary, SequenceNumbers) {
    for (const uint32_t sequence : {0xFFFFu, 0x10000u}) {
        SCOPED_TRACE("sequence number " + std::to_string(sequence));
        txwObject *obj = OpenWith(2);
        ASSERT_EQ(txw_EnableSeqNum(obj), 0);
        txw_CreateXCoor(obj, 0, 5);
        for (uint32_t call = 1; call < sequence; ++call) {
            Scalar(obj, 1, static_cast<uint8_t>(call & 1));  // merged into one change
        }
        Scalar(obj, 2, 1);
        ASSERT_EQ(txw_CloseFile(obj), 0);
        Reading file(path_);
        ASSERT_EQ(file.status, TRAXR_OK) << file.message;
        const std::vector<Seen> changes = file.Changes(2);
        ASSERT_EQ(changes, (std::vector<Seen>{At(5, "1")}));
        EXPECT_EQ(changes[0].sequence, sequence);
    }
}

// A variable's entries of two sessions are a block apart less the offset of
// the first inside its block: a first entry that lies `back` bytes before
// the end of the first session's chain block, and a second entry that opens
// the next block, are `back` apart.
TEST_F(WidthBoundary, BackLinks) {
    // Fillers (idcodes 1..n) change once each in the first session, so that
    // the chain entry of the last idcode lies far into the block; a filler
    // with 0x100 changes has an entry one byte longer, which places it to
    // the byte.
    auto write = [&](uint32_t fillers, uint32_t longer, bool second_session) {
        txwObject *obj = OpenWith(fillers + 1);
        for (uint32_t step = 1; step <= 0x100; ++step) {
            txw_CreateXCoor(obj, 0, step);
            // The longer ones are the last fillers, whose positions are wide
            // already, so that their longer arrays widen no other entry.
            const uint32_t first = step == 1 ? 1 : fillers - longer + 1;
            const uint32_t last = step == 1 ? fillers + 1 : fillers;
            for (uint32_t id = first; id <= last; ++id) {
                Scalar(obj, static_cast<int32_t>(id), static_cast<uint8_t>(step & 1));
            }
        }
        if (second_session) {
            ASSERT_EQ(txw_Flush(obj), 0);
            txw_CreateXCoor(obj, 0, 0x200);
            Scalar(obj, static_cast<int32_t>(fillers + 1), 0);
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);
    };
    auto last_position = [&](uint32_t fillers) -> uint64_t {
        Reading file(path_);
        EXPECT_EQ(file.status, TRAXR_OK) << file.message;
        const std::vector<traxrChainEntry> entries = Entries(file, fillers + 1);
        return entries.empty() ? 0 : entries[0].position;
    };
    // Two probes give the position of the last entry as a function of the
    // number of fillers.
    constexpr uint32_t kProbe = 60000;
    write(kProbe, 0, false);
    const uint64_t base = last_position(kProbe);
    write(kProbe + 100, 0, false);
    const uint64_t entry_size = (last_position(kProbe + 100) - base) / 100;
    ASSERT_GT(entry_size, 0u);
    for (const uint64_t back : {uint64_t{0xFF}, uint64_t{0x100}, uint64_t{0xFFFF}, uint64_t{0x10000}}) {
        SCOPED_TRACE("back link " + std::to_string(back));
        const uint64_t target = kBlock - back;
        const auto fillers = static_cast<uint32_t>(kProbe + (target - base) / entry_size);
        const auto longer = static_cast<uint32_t>(target - base - (fillers - kProbe) * entry_size);
        write(fillers, longer, true);
        Reading file(path_);
        ASSERT_EQ(file.status, TRAXR_OK) << file.message;
        const std::vector<traxrChainEntry> entries = Entries(file, fillers + 1);
        ASSERT_EQ(entries.size(), 2u);
        ASSERT_EQ(entries[0].position, target);
        EXPECT_EQ(entries[1].position, kBlock);
        EXPECT_EQ(entries[1].back_link, back);
        EXPECT_EQ(entries[0].back_link, 0u);
        EXPECT_EQ(file.Changes(fillers + 1), (std::vector<Seen>{At(1, "1"), At(0x200, "0")}));
    }
}

}  // namespace
}  // namespace tavri::test
