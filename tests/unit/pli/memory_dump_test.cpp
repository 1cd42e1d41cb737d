// $traxDumpMem and $traxDumpMemNow in the model simulator: the variables a
// dump creates, the cell values read from the PLI memory buffer in every
// layout, the end-of-step merge, clamping, and the tasks' interplay with
// dump control, suppression and hierarchy substitution.
#include <cstring>
#include <utility>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

// A memory-depth value: the dumped range.
struct Range {
    uint64_t time;
    int32_t first;
    int32_t last;
    bool operator==(const Range &other) const = default;
};

std::ostream &operator<<(std::ostream &out, const Range &r) {
    return out << "{" << r.time << ": " << r.first << ".." << r.last << "}";
}

// Word `index` of a memory of `width` bits: every four-state code, placed
// differently for each cell.
std::string Word(int width, int index) {
    std::string bits;
    for (int i = 0; i < width; ++i) bits.push_back("01xz"[((i * 7 + index * 3 + i / 5) % 4 + 4) % 4]);
    return bits;
}

class MemoryDump : public FrontEndTest {
  protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        top_ = sim_.AddTopModule("top");
    }

    Memory *AddMemory(int msb, int lsb, int first, int last, Scope *scope = nullptr) {
        Memory *memory = sim_.AddMemory(scope != nullptr ? scope : top_, "mem", msb, lsb, first, last);
        const int width = memory->WordWidth();
        for (int k = std::min(first, last); k <= std::max(first, last); ++k) sim_.SetWord(memory, k, Word(width, k));
        return memory;
    }

    static std::vector<Range> Ranges(Reading &file, const std::string &path) {
        std::vector<Range> ranges;
        for (const RawSeen &seen : RawChangesOf(file, path)) {
            EXPECT_EQ(seen.bytes.size(), 8u);
            if (seen.bytes.size() != 8) continue;
            Range range{seen.time, 0, 0};
            std::memcpy(&range.first, seen.bytes.data(), 4);
            std::memcpy(&range.last, seen.bytes.data() + 4, 4);
            ranges.push_back(range);
        }
        return ranges;
    }

    int OutOfRangeWarnings() const { return CountPrinted("index of memory cell is out of range"); }

    Scope *top_ = nullptr;
};

struct ShapeCase {
    const char *name;
    int msb, lsb, first, last;
    const char *product = "Model Simulator Version 6.2a";
    bool no_bus_compression = false;
};

class MemoryShapes : public MemoryDump, public ::testing::WithParamInterface<ShapeCase> {};

// Every cell is recorded with the simulator's four-state value, whatever the
// word width, the direction of either range, the buffer layout the
// simulator's version implies and the value form (A/B words or codes).
TEST_P(MemoryShapes, WholeMemoryRecordsEveryCell) {
    const ShapeCase &c = GetParam();
    ScopedEnv bus("TRAX_NO_BUS_COMPRESS", c.no_bus_compression ? "1" : nullptr);
    sim_.SetProductVersion(c.product);
    Memory *memory = AddMemory(c.msb, c.lsb, c.first, c.last);
    const int width = memory->WordWidth();
    DumpTo(top_, "mem.trax");
    Run(top_, "$traxDumpMemNow(top.mem)");
    Reading &file = *FinishAndRead("mem.trax");

    const std::string depth = "top.mem[" + std::to_string(c.first) + ":" + std::to_string(c.last) + "]";
    std::vector<std::string> names = {depth};
    const int step = c.first <= c.last ? 1 : -1;
    for (int k = c.first;; k += step) {
        names.push_back("top.mem[" + std::to_string(k) + "]");
        EXPECT_EQ(ChangesOf(file, names.back()), (std::vector<Seen>{At(0, Word(width, k))})) << names.back();
        const std::optional<traxrVar> cell = VarOf(file, names.back());
        EXPECT_TRUE(cell.has_value() && cell->type_code == 17 && cell->left == c.msb && cell->right == c.lsb &&
                    cell->bytes_per_bit_code == 0);
        if (k == c.last) break;
    }
    // The depth variable first, then the cells in declaration order.
    EXPECT_EQ(AllNames(file), names);
    const std::optional<traxrVar> range = VarOf(file, depth);
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->type_code, 18);
    EXPECT_EQ(range->width, 2u);
    EXPECT_EQ(range->bytes_per_bit_code, 2);
    EXPECT_EQ(range->data_type, 2);
    EXPECT_EQ(Ranges(file, depth), (std::vector<Range>{{0, std::min(c.first, c.last), std::max(c.first, c.last)}}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MemoryShapes,
    ::testing::Values(ShapeCase{"ascending", 7, 0, 0, 3}, ShapeCase{"descending", 7, 0, 3, 0},
                      ShapeCase{"descending_before_5_6", 7, 0, 13, 10, "Model Simulator Version 5.5"},
                      ShapeCase{"ascending_before_5_6", 7, 0, 2, 5, "Model Simulator Version 5.5"},
                      ShapeCase{"one_bit", 0, 0, 0, 2}, ShapeCase{"seven_bits", 6, 0, 1, 0},
                      ShapeCase{"ascending_word", 0, 9, -1, 1}, ShapeCase{"bits_33", 32, 0, 0, 2},
                      ShapeCase{"bits_70", 69, 0, 10, 8}, ShapeCase{"bits_130_as_codes", 129, 0, 0, 1,
                                                                    "Model Simulator Version 6.2a", true}),
    [](const ::testing::TestParamInfo<ShapeCase> &param_info) { return std::string(param_info.param.name); });

TEST_F(MemoryDump, OneCellThenARangeShareTheDepthVariable) {
    Memory *memory = AddMemory(7, 0, 0, 15);
    DumpTo(top_, "cells.trax");
    Run(top_, "$traxDumpMemNow(top.mem, 3)");
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpMemNow(top.mem, 5, 3)");
    sim_.AdvanceTo(20);
    sim_.SetWord(memory, 6, "11110000");
    // Inside a recorded range: no new variables, only the changed cell.
    Run(top_, "$traxDumpMemNow(top.mem, 5, 2)");
    Reading &file = *FinishAndRead("cells.trax");
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.mem[0:15]", "top.mem[3]", "top.mem[5]", "top.mem[6]",
                                                         "top.mem[7]"}));
    EXPECT_EQ(Ranges(file, "top.mem[0:15]"), (std::vector<Range>{{0, 3, 3}, {10, 5, 7}, {20, 5, 6}}));
    EXPECT_EQ(ChangesOf(file, "top.mem[3]"), (std::vector<Seen>{At(0, Word(8, 3))}));
    EXPECT_EQ(ChangesOf(file, "top.mem[5]"), (std::vector<Seen>{At(10, Word(8, 5))}));
    EXPECT_EQ(ChangesOf(file, "top.mem[6]"), (std::vector<Seen>{At(10, Word(8, 6)), At(20, "11110000")}));
    EXPECT_EQ(ChangesOf(file, "top.mem[7]"), (std::vector<Seen>{At(10, Word(8, 7))}));
}

// Requests of one step merge into one range, written once with the values
// the step ends with.
TEST_F(MemoryDump, RequestsOfAStepAreWrittenOnceAtItsEnd) {
    Memory *memory = AddMemory(7, 0, 0, 15);
    DumpTo(top_, "merge.trax");
    Run(top_, "$traxDumpMemNow(top.mem)");
    sim_.AdvanceTo(10);
    for (int k = 0; k <= 15; ++k) sim_.SetWord(memory, k, "00000000");
    Run(top_, "$traxDumpMem(top.mem, 2, 3)");
    Run(top_, "$traxDumpMem(top.mem, 6, 3)");
    sim_.SetWord(memory, 4, "10101010");  // after the requests, in the same step
    Reading &file = *FinishAndRead("merge.trax");
    EXPECT_EQ(Ranges(file, "top.mem[0:15]"), (std::vector<Range>{{0, 0, 15}, {10, 2, 8}}));
    for (int k = 0; k <= 15; ++k) {
        std::vector<Seen> expected = {At(0, Word(8, k))};
        if (k >= 2 && k <= 8) expected.push_back(At(10, k == 4 ? "10101010" : "00000000"));
        EXPECT_EQ(ChangesOf(file, "top.mem[" + std::to_string(k) + "]"), expected) << k;
    }
}

TEST_F(MemoryDump, IndexesOutsideTheMemoryAreClampedWithOneWarningARun) {
    AddMemory(7, 0, 15, 0);
    DumpTo(top_, "clamp.trax");
    Run(top_, "$traxDumpMemNow(top.mem, 14, 5)");
    EXPECT_TRUE(Printed("WARNING: $traxDumpMemNow - The end index of memory cell is out of range.\n"))
        << sim_.TranscriptText();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpMem(top.mem, -4)");  // both ends out: clamped silently
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpMemNow(top.mem, 9, -2)");  // an end below the begin: swapped
    Reading &file = *FinishAndRead("clamp.trax");
    EXPECT_EQ(OutOfRangeWarnings(), 1) << sim_.TranscriptText();
    EXPECT_EQ(Ranges(file, "top.mem[15:0]"), (std::vector<Range>{{0, 14, 15}, {10, 0, 15}, {20, 6, 9}}));
}

TEST_F(MemoryDump, NothingIsRecordedWhileDumpingIsOff) {
    Memory *memory = AddMemory(7, 0, 0, 3);
    DumpTo(top_, "off.trax");
    Run(top_, "$traxDumpMemNow(top.mem)");
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpMem(top.mem)");
    Run(top_, "$traxDumpoff");  // drops the request made before it in this step
    sim_.SetWord(memory, 1, "11111111");
    Run(top_, "$traxDumpMemNow(top.mem)");
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpMem(top.mem)");
    sim_.AdvanceTo(30);
    Run(top_, "$traxDumpon");
    sim_.AdvanceTo(40);
    Run(top_, "$traxDumpMemNow(top.mem, 1)");
    Reading &file = *FinishAndRead("off.trax");
    EXPECT_EQ(Ranges(file, "top.mem[0:3]"), (std::vector<Range>{{0, 0, 3}, {40, 1, 1}}));
    EXPECT_EQ(ChangesOf(file, "top.mem[1]"), (std::vector<Seen>{At(0, Word(8, 1)), At(40, "11111111")}));
}

// The finish writes what waits for the end of the step, even when the
// dumper's other tasks see the finish first and close the file.
TEST_F(MemoryDump, FinishWritesPendingRequests) {
    Memory *memory = AddMemory(7, 0, 0, 3);
    Signal *clk = sim_.AddReg(top_, "clk");
    DumpTo(top_, "finish.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.AdvanceTo(5);
    sim_.SetValue(clk, "1");
    sim_.SetWord(memory, 2, "00001111");
    Run(top_, "$traxDumpMem(top.mem, 2)");
    sim_.Finish();
    Reading file(Path("finish.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.mem[2]"), (std::vector<Seen>{At(5, "00001111")}));
    EXPECT_EQ(Ranges(file, "top.mem[0:3]"), (std::vector<Range>{{5, 2, 2}}));
}

// $traxDumpFinish writes pending requests and forgets the records: a memory
// dumped into the next file gets its variables there.
TEST_F(MemoryDump, ANewFileAfterDumpFinishGetsItsOwnVariables) {
    AddMemory(7, 0, 0, 3);
    DumpTo(top_, "first.trax");
    Run(top_, "$traxDumpMem(top.mem)");
    Run(top_, "$traxDumpFinish");
    sim_.AdvanceTo(10);
    DumpTo(top_, "second.trax");
    Run(top_, "$traxDumpMemNow(top.mem, 1)");
    Reading &second = *FinishAndRead("second.trax");
    EXPECT_EQ(AllNames(second), (std::vector<std::string>{"top.mem[0:3]", "top.mem[1]"}));
    EXPECT_EQ(ChangesOf(second, "top.mem[1]"), (std::vector<Seen>{At(10, Word(8, 1))}));
    Reading first(Path("first.trax"));
    ASSERT_EQ(first.status, TRAXR_OK) << first.message;
    EXPECT_EQ(ChangesOf(first, "top.mem[3]"), (std::vector<Seen>{At(0, Word(8, 3))}));
}

TEST_F(MemoryDump, RefusedCallsSayWhyAndWriteNothing) {
    sim_.AddMemory(top_, "huge", 0x200000, 0, 0, 0);
    sim_.AddReg(top_, "r", 7, 0);
    AddMemory(7, 0, 0, 3);
    DumpTo(top_, "refused.trax");
    Run(top_, "$traxDumpMemNow(top.mem)");  // opens the file
    const struct {
        const char *call;
        const char *message;
    } cases[] = {
        {"$traxDumpMemNow", "WARNING: Argument number mismatch\n"},
        {"$traxDumpMem(top.mem, 1, 1, 1)", "WARNING: Argument number mismatch\n"},
        {"$traxDumpMem(top.r)", "WARNING: $traxDumpMem - Failed to read memory info from the task argument.\n"},
        {"$traxDumpMemNow(top.huge)",
         "The bit width of memory cell([2097152:0] huge) is out of range(2097152). Ignore dumping it.\n"},
    };
    for (const auto &c : cases) {
        sim_.ClearTranscript();
        Run(top_, c.call);
        EXPECT_TRUE(Printed(c.message)) << c.call << "\n" << sim_.TranscriptText();
    }
    Reading &file = *FinishAndRead("refused.trax");
    EXPECT_EQ(AllNames(file).size(), 5u);
    EXPECT_EQ(Ranges(file, "top.mem[0:3]"), (std::vector<Range>{{0, 0, 3}}));
}

// Under a debugger each request flushes the file, so that the debugger
// reads the recorded cells at once, and says so with the flush notice.
TEST_F(MemoryDump, UnderADebuggerEachRequestFlushesAndTellsIt) {
    AddMemory(7, 0, 0, 3);
    sim_.AddPlusArg("+traxfile+" + Path("dump_i.trax"));
    Run(top_, "$traxInteractive");
    ASSERT_TRUE(pli::g_dumper.interactive);
    const std::string flushed = "\nHalvern Prompt\n32\n";
    const int before = CountPrinted(flushed);
    Run(top_, "$traxDumpMemNow(top.mem, 1)");
    EXPECT_EQ(CountPrinted(flushed), before + 1);
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpMemNow(top.mem, 2)");
    Run(top_, "$traxDumpMem(top.mem, 3)");
    EXPECT_EQ(CountPrinted(flushed), before + 3);
    // Flushed: a reader sees the earlier step while the simulation goes on.
    Reading live(Path("dump_i.trax"));
    ASSERT_EQ(live.status, TRAXR_OK) << live.message;
    EXPECT_EQ(ChangesOf(live, "top.mem[1]"), (std::vector<Seen>{At(0, Word(8, 1))}));
}

// A file switch keeps the memory's variables: the next dump writes its cells
// into the new file.
TEST_F(MemoryDump, CellsGoOnInTheFileASwitchStarts) {
    Memory *memory = AddMemory(7, 0, 0, 3);
    DumpTo(top_, "before.trax");
    Run(top_, "$traxDumpMemNow(top.mem)");
    sim_.AdvanceTo(10);
    Run(top_, "$traxSwitchDumpfile(\"" + Path("after.trax") + "\")");
    sim_.AdvanceTo(20);
    sim_.SetWord(memory, 2, "11001100");
    Run(top_, "$traxDumpMem(top.mem, 2)");
    Reading &after = *FinishAndRead("after.trax");
    EXPECT_EQ(ChangesOf(after, "top.mem[2]"), (std::vector<Seen>{At(20, "11001100")}));
    EXPECT_EQ(Ranges(after, "top.mem[0:3]"), (std::vector<Range>{{20, 2, 2}}));
}

struct PlaceCase {
    const char *name;
    const char *before;  // a task call run first
    std::vector<std::string> names;
};

class MemoryPlaces : public MemoryDump, public ::testing::WithParamInterface<PlaceCase> {};

// A memory is recorded where the hierarchy substitution puts its scope, and
// not at all when its scope is suppressed or its level dropped.
TEST_P(MemoryPlaces, SuppressionAndSubstitutionApply) {
    const PlaceCase &c = GetParam();
    Scope *sub = sim_.AddModule(top_, "sub");
    sim_.AddReg(top_, "clk");
    AddMemory(3, 0, 0, 1, sub);
    DumpTo(top_, "place.trax");
    Run(top_, c.before);
    Run(top_, "$traxDumpvars(1, top)");
    Run(top_, "$traxDumpMemNow(top.sub.mem)");
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpMem(top.sub.mem, 1)");  // again: no record, nothing to reuse
    Reading &file = *FinishAndRead("place.trax");
    EXPECT_EQ(AllNames(file), c.names) << sim_.TranscriptText();
}

INSTANTIATE_TEST_SUITE_P(
    Places, MemoryPlaces,
    ::testing::Values(PlaceCase{"plain", "$traxVersion",
                                {"top.clk", "top.sub.mem[0:1]", "top.sub.mem[0]", "top.sub.mem[1]"}},
                      PlaceCase{"suppressed", "$traxSuppress(top.sub)", {"top.clk"}},
                      PlaceCase{"renamed", "$traxSubstituteHier(\"chip.blk\", 2)",
                                {"chip.clk", "chip.blk.mem[0:1]", "chip.blk.mem[0]", "chip.blk.mem[1]"}},
                      PlaceCase{"dropped", "$traxSubstituteHier(\"blk\", 3)", {}}),
    [](const ::testing::TestParamInfo<PlaceCase> &param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace tavri::test
