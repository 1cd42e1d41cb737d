// $traxDumpon and $traxDumpoff called several times in one time step: the
// call made last decides whether dumping goes on, with or without a file.
#include <sstream>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

// A sequence of "on", "off" and "finish" words, e.g. "on off on".
std::vector<std::string> Calls(const std::string &sequence) {
    std::istringstream words(sequence);
    std::vector<std::string> calls;
    for (std::string word; words >> word;) calls.push_back(word);
    return calls;
}

std::string Repeat(const std::string &words, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += words + " ";
    return out;
}

// The value a change list shows at `time` (the last change at or before it).
std::string ValueAt(const std::vector<Seen> &changes, uint64_t time) {
    std::string value = "none";
    for (const Seen &seen : changes) {
        if (seen.time <= time) value = seen.bits;
    }
    return value;
}

bool ChangedAt(const std::vector<Seen> &changes, uint64_t time) {
    for (const Seen &seen : changes) {
        if (seen.time == time) return true;
    }
    return false;
}

struct OnOffCase {
    const char *name;
    bool on_before;        // dumping at the start of the step
    std::string sequence;  // the calls of the step, in order
};

std::string CaseName(const ::testing::TestParamInfo<OnOffCase> &param) { return param.param.name; }

void PrintTo(const OnOffCase &test, std::ostream *out) {
    *out << (test.on_before ? "on: " : "off: ") << test.sequence;
}

class DumpOnOffSequence : public FrontEndTest, public ::testing::WithParamInterface<OnOffCase> {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        r_ = sim_.AddReg(top_, "r");
        bus_ = sim_.AddNet(top_, "bus", 3, 0);
    }

    void RunSequence(const std::string &sequence) {
        for (const std::string &call : Calls(sequence)) {
            Run(top_, call == "on" ? "$traxDumpon" : call == "off" ? "$traxDumpoff" : "$traxDumpFinish");
        }
    }

    // Whether the last "on" or "off" of the sequence is "on".
    static bool LastCallIsOn(const std::string &sequence, bool otherwise) {
        bool on = otherwise;
        for (const std::string &call : Calls(sequence)) {
            if (call == "on" || call == "off") on = call == "on";
        }
        return on;
    }

    Scope *top_ = nullptr;
    Signal *r_ = nullptr;
    Signal *bus_ = nullptr;
};

TEST_P(DumpOnOffSequence, TheLastCallOfTheStepWins) {
    const OnOffCase &test = GetParam();
    const bool on_after = LastCallIsOn(test.sequence, test.on_before);
    BuildDesign();
    DumpTo(top_, "seq.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(r_, "1");
    sim_.SetValue(bus_, "0101");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    if (!test.on_before) Run(top_, "$traxDumpoff");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(r_, "0");
    sim_.SetValue(bus_, "1111");
    RunSequence(test.sequence);
    sim_.EndStep();
    EXPECT_EQ(pli::g_dumper.dumping_on, on_after);
    sim_.AdvanceTo(20);
    sim_.SetValue(r_, "1");
    sim_.SetValue(bus_, "0000");
    sim_.EndStep();
    sim_.Finish();

    Reading file(Path("seq.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    const std::vector<Seen> r = ChangesOf(file, "top.r");
    const std::vector<Seen> bus = ChangesOf(file, "top.bus[3:0]");
    EXPECT_EQ(ValueAt(r, 10), on_after ? "0" : "x") << ::testing::PrintToString(r);
    EXPECT_EQ(ValueAt(bus, 10), on_after ? "1111" : "xxxx") << ::testing::PrintToString(bus);
    EXPECT_EQ(ChangedAt(r, 20), on_after) << ::testing::PrintToString(r);
    EXPECT_EQ(ChangedAt(bus, 20), on_after) << ::testing::PrintToString(bus);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, DumpOnOffSequence,
    ::testing::Values(OnOffCase{"OnOffWhileOn", true, "on off"}, OnOffCase{"OnOffWhileOff", false, "on off"},
                      OnOffCase{"OffOnWhileOn", true, "off on"}, OnOffCase{"OffOnWhileOff", false, "off on"},
                      OnOffCase{"OnOffOnWhileOn", true, "on off on"},
                      OnOffCase{"OnOffOnWhileOff", false, "on off on"},
                      OnOffCase{"OffOnOffWhileOn", true, "off on off"},
                      OnOffCase{"OffOnOffWhileOff", false, "off on off"},
                      OnOffCase{"OnOnOffOffWhileOff", false, "on on off off"},
                      OnOffCase{"OffOffOnOnWhileOn", true, "off off on on"},
                      OnOffCase{"StormEndingOffWhileOn", true, Repeat("on off", 50)},
                      OnOffCase{"StormEndingOffWhileOff", false, Repeat("on off", 50)},
                      OnOffCase{"StormEndingOnWhileOff", false, Repeat("on off", 50) + "on"},
                      OnOffCase{"StormEndingOnWhileOn", true, Repeat("off on", 50)}),
    CaseName);

// Before any file exists the calls act at once; the file starts the way the
// last of them left dumping.
class DumpOnOffBeforeTheFile : public DumpOnOffSequence {};

TEST_P(DumpOnOffBeforeTheFile, TheFileStartsAsTheLastCallLeftIt) {
    const OnOffCase &test = GetParam();
    const bool on_after = LastCallIsOn(test.sequence, true);
    BuildDesign();
    RunSequence(test.sequence);
    sim_.SetValue(r_, "1");
    DumpTo(top_, "before.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(r_, "0");
    sim_.EndStep();
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    sim_.Finish();

    Reading file(Path("before.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.r"),
              on_after ? (std::vector<Seen>{At(0, "1"), At(10, "0")}) : (std::vector<Seen>{At(20, "0")}));
}

INSTANTIATE_TEST_SUITE_P(Sequences, DumpOnOffBeforeTheFile,
                         ::testing::Values(OnOffCase{"Off", true, "off"}, OnOffCase{"OnOff", true, "on off"},
                                           OnOffCase{"OffOn", true, "off on"},
                                           OnOffCase{"StormEndingOff", true, Repeat("off on", 5) + "off"}),
                         CaseName);

// The file closed ($traxDumpFinish) in the step of the calls: the last of
// them still decides how the next file starts.
class DumpOnOffAroundAFinish : public DumpOnOffSequence {};

TEST_P(DumpOnOffAroundAFinish, TheNextFileStartsAsTheLastCallLeftIt) {
    const OnOffCase &test = GetParam();
    const bool on_after = LastCallIsOn(test.sequence, true);
    BuildDesign();
    DumpTo(top_, "first.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    RunSequence(test.sequence);
    sim_.EndStep();
    EXPECT_EQ(pli::g_dumper.dumping_on, on_after);
    sim_.AdvanceTo(20);
    sim_.SetValue(r_, "1");
    DumpTo(top_, "second.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.Finish();

    Reading file(Path("second.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.r"), on_after ? (std::vector<Seen>{At(20, "1")}) : (std::vector<Seen>{}));
}

INSTANTIATE_TEST_SUITE_P(Sequences, DumpOnOffAroundAFinish,
                         ::testing::Values(OnOffCase{"OffOnFinish", true, "off on finish"},
                                           OnOffCase{"OnFinishOff", true, "on finish off"},
                                           OnOffCase{"OnOffFinish", true, "on off finish"},
                                           OnOffCase{"OffFinishOn", true, "off finish on"}),
                         CaseName);

}  // namespace
}  // namespace tavri::test
