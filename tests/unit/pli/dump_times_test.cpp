// +trax+dumpon+ and +trax+dumpoff+: dumping that starts and stops at given
// simulation times, the requests recorded until the start, and the checks
// of the times given.
#include <algorithm>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class DumpTimes : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        u1_ = sim_.AddModule(top_, "u1");
        a_ = sim_.AddNet(u1_, "a");
        u2_ = sim_.AddModule(top_, "u2");
        b_ = sim_.AddNet(u2_, "b", 3, 0);
    }

    // The clock toggles at 10, 20, 30 ... up to `end` (each step ended).
    void ClockUntil(uint64_t end) {
        for (uint64_t t = sim_.Now() / 10 * 10 + 10; t <= end; t += 10) {
            sim_.AdvanceTo(t);
            sim_.SetValue(clk_, (t / 10) % 2 == 1 ? "1" : "0");
            sim_.EndStep();
        }
    }

    static std::vector<Seen> ClockFrom(uint64_t first, uint64_t last) {
        std::vector<Seen> changes;
        for (uint64_t t = first; t <= last; t += 10) changes.push_back(At(t, (t / 10) % 2 == 1 ? "1" : "0"));
        return changes;
    }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Scope *u1_ = nullptr;
    Signal *a_ = nullptr;
    Scope *u2_ = nullptr;
    Signal *b_ = nullptr;
};

TEST_F(DumpTimes, DumpOnTimeReplaysTheRecordedRequests) {
    sim_.AddPlusArg("+trax+dumpon+100");
    BuildDesign();
    DumpTo(top_, "on.trax");
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars enabled at time (high=0 low=100).\n"))
        << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    Run(top_, "$traxDumpvars(1, top.u2)");
    sim_.SetValue(a_, "1");
    ClockUntil(90);
    EXPECT_FALSE(std::filesystem::exists(Path("on.trax"))) << "nothing before the dump-on time";
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.SetValue(b_, "0110");
    ClockUntil(130);
    EXPECT_TRUE(Printed("*Tavri* Start dumping scopes.\n")) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* End dumping scopes.\n"));
    sim_.Finish();

    Reading file(Path("on.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::vector<std::string> names = AllNames(file);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"top.clk", "top.u2.b[3:0]"}));
    EXPECT_EQ(ChangesOf(file, "top.clk"), ClockFrom(100, 130)) << "from the value present at 100";
    EXPECT_EQ(ChangesOf(file, "top.u2.b[3:0]"), (std::vector<Seen>{At(100, "0110")}));
}

TEST_F(DumpTimes, DeferredWholeDesign) {
    sim_.AddPlusArg("+trax+dumpon+50");
    BuildDesign();
    Scope *other = sim_.AddTopModule("other");
    sim_.AddReg(other, "o");
    DumpTo(top_, "whole.trax");
    Run(top_, "$traxDumpvars");
    ClockUntil(60);
    sim_.Finish();
    Reading file(Path("whole.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::vector<std::string> names = AllNames(file);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"other.o", "top.clk", "top.u1.a", "top.u2.b[3:0]"}));
    EXPECT_EQ(ChangesOf(file, "top.clk"), ClockFrom(50, 60));
}

TEST_F(DumpTimes, TheTimesCountFromTheFirstDumpvars) {
    sim_.AddPlusArg("+trax+dumpon+100");
    BuildDesign();
    ClockUntil(30);
    DumpTo(top_, "late.trax");
    Run(top_, "$traxDumpvars(1, top)");
    ClockUntil(120);
    EXPECT_TRUE(pli::g_dumper.files.empty()) << "armed at 30: the dump starts at 130";
    ClockUntil(140);
    sim_.Finish();
    Reading file(Path("late.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), ClockFrom(130, 140));
}

TEST_F(DumpTimes, HighWordAfterThePlus) {
    sim_.AddPlusArg("+trax+dumpon+100+1");
    BuildDesign();
    DumpTo(top_, "high.trax");
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars enabled at time (high=1 low=100).\n"))
        << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    const uint64_t start = (uint64_t{1} << 32) + 100;
    sim_.AdvanceTo(start - 1);
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.AdvanceTo(start);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(start + 7);
    sim_.SetValue(clk_, "0");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("high.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(start, "1"), At(start + 7, "0")}));
}

TEST_F(DumpTimes, DumpOffTimeClosesTheFile) {
    sim_.AddPlusArg("+trax+dumpoff+50");
    BuildDesign();
    DumpTo(top_, "off.trax");
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars disabled at time (high=0 low=50).\n"))
        << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    ClockUntil(40);
    sim_.AdvanceTo(50);
    EXPECT_TRUE(pli::g_dumper.files.empty()) << "closed at the dump-off time";
    EXPECT_TRUE(pli::g_dumper.hooks.empty());
    ClockUntil(70);
    Run(top_, "$traxDumpvars(1, top)");  // ignored from now on
    EXPECT_TRUE(pli::g_dumper.files.empty());
    ClockUntil(80);
    // The file is complete before the simulation ends.
    Reading file(Path("off.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().file_status, 0);
    std::vector<Seen> expected = {At(0, "x")};
    for (const Seen &seen : ClockFrom(10, 40)) expected.push_back(seen);
    EXPECT_EQ(ChangesOf(file, "top.clk"), expected);
    sim_.Finish();
}

TEST_F(DumpTimes, DumpOnAndOffWindow) {
    sim_.AddPlusArg("+trax+dumpon+100");
    sim_.AddPlusArg("+trax+dumpoff+200");
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    Run(top_, "$traxDumpvars(0, top)");
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars enabled at time (high=0 low=100).\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars disabled at time (high=0 low=200).\n"));
    ClockUntil(250);
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.Finish();
    Reading file(Path("verilog.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), ClockFrom(100, 190));
}

TEST_F(DumpTimes, DumpOffBeforeDumpOnIsDropped) {
    sim_.AddPlusArg("+trax+dumpon+100");
    sim_.AddPlusArg("+trax+dumpoff+50");
    BuildDesign();
    DumpTo(top_, "dropped.trax");
    EXPECT_FALSE(Printed("disabled at time")) << sim_.TranscriptText();
    Run(top_, "$traxDumpvars(1, top)");
    ClockUntil(120);
    EXPECT_FALSE(pli::g_dumper.files.empty()) << "still open after both times";
    sim_.Finish();
    Reading file(Path("dropped.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), ClockFrom(100, 120));
}

TEST_F(DumpTimes, EqualTimesSetNeither) {
    sim_.AddPlusArg("+trax+dumpon+100");
    sim_.AddPlusArg("+trax+dumpoff+100");
    BuildDesign();
    DumpTo(top_, "equal.trax");
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_FALSE(Printed("Setting $traxDumpvars")) << sim_.TranscriptText();
    ClockUntil(120);
    sim_.Finish();
    Reading file(Path("equal.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    std::vector<Seen> expected = {At(0, "x")};
    for (const Seen &seen : ClockFrom(10, 120)) expected.push_back(seen);
    EXPECT_EQ(ChangesOf(file, "top.clk"), expected);
}

TEST_F(DumpTimes, DumpOffAtZeroMakesDumpvarsDoNothing) {
    sim_.AddPlusArg("+trax+dumpoff+0");
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_TRUE(Printed("*Tavri* Setting $traxDumpvars disabled at time (high=0 low=0).\n"))
        << sim_.TranscriptText();
    ClockUntil(30);
    Run(top_, "$traxDumpvars");
    ClockUntil(40);
    sim_.Finish();
    EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "no file at all";
    EXPECT_EQ(sim_.PendingReactivations(), 0u);
}

TEST_F(DumpTimes, DumpOnAtZeroIsNotSet) {
    sim_.AddPlusArg("+trax+dumpon+0");
    BuildDesign();
    DumpTo(top_, "zero.trax");
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_FALSE(Printed("Setting $traxDumpvars")) << sim_.TranscriptText();
    EXPECT_FALSE(pli::g_dumper.files.empty()) << "dumping starts at once";
    sim_.Finish();
}

struct InvalidTime {
    const char *plus_arg;
    const char *which;  // dumpon or dumpoff
};

class InvalidDumpTimes : public DumpTimes, public ::testing::WithParamInterface<InvalidTime> {};

TEST_P(InvalidDumpTimes, WarnAndDumpFromTheStart) {
    sim_.AddPlusArg(GetParam().plus_arg);
    BuildDesign();
    DumpTo(top_, "invalid.trax");
    Run(top_, "$traxDumpvars(1, top)");
    const std::string warning = std::string("*Tavri* Warning: The time value for +trax+") + GetParam().which +
                                " option is invalid: " + GetParam().plus_arg + " is ignored.\n";
    EXPECT_TRUE(Printed(warning)) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("Setting $traxDumpvars"));
    ClockUntil(20);
    sim_.Finish();
    Reading file(Path("invalid.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "x"), At(10, "1"), At(20, "0")}));
}

INSTANTIATE_TEST_SUITE_P(
    Times, InvalidDumpTimes,
    ::testing::Values(InvalidTime{"+trax+dumpon+-5", "dumpon"}, InvalidTime{"+trax+dumpon+100+4294967296", "dumpon"},
                      InvalidTime{"+trax+dumpoff+5000000000", "dumpoff"}, InvalidTime{"+trax+dumpoff+-1", "dumpoff"},
                      InvalidTime{"+trax+dumpon+abc", "dumpon"}, InvalidTime{"+trax+dumpon+5x", "dumpon"},
                      InvalidTime{"+trax+dumpon+2.5", "dumpon"}, InvalidTime{"+trax+dumpon+0x10", "dumpon"},
                      InvalidTime{"+trax+dumpon+1e10", "dumpon"}, InvalidTime{"+trax+dumpon+100+", "dumpon"},
                      InvalidTime{"+trax+dumpon+", "dumpon"}, InvalidTime{"+trax+dumpoff+abc", "dumpoff"}));

// Real notation that denotes a whole number is taken at its value.
struct WholeTime {
    const char *plus_arg;
    const char *setting;
};

class WholeNumberDumpTimes : public DumpTimes, public ::testing::WithParamInterface<WholeTime> {};

TEST_P(WholeNumberDumpTimes, TakenAtTheirValue) {
    sim_.AddPlusArg(GetParam().plus_arg);
    BuildDesign();
    DumpTo(top_, "whole.trax");
    EXPECT_TRUE(Printed(std::string("*Tavri* Setting $traxDumpvars ") + GetParam().setting + "\n"))
        << sim_.TranscriptText();
    EXPECT_FALSE(Printed("Warning")) << sim_.TranscriptText();
}

INSTANTIATE_TEST_SUITE_P(
    Times, WholeNumberDumpTimes,
    ::testing::Values(WholeTime{"+trax+dumpon+5e4", "enabled at time (high=0 low=50000)."},
                      WholeTime{"+trax+dumpon+2.5e3", "enabled at time (high=0 low=2500)."},
                      WholeTime{"+trax+dumpon+4294967295", "enabled at time (high=0 low=4294967295)."},
                      WholeTime{"+trax+dumpon+100+1e0", "enabled at time (high=1 low=100)."},
                      WholeTime{"+trax+dumpoff+1.5E2", "disabled at time (high=0 low=150)."}));

}  // namespace
}  // namespace tavri::test
