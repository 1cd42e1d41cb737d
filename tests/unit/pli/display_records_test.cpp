// $traxDisplay: the check of its format and arguments, every directive with
// and without padding, tags and the scopes of the display variables, the
// texts of one time step joined, the text limit, and the texts written
// again after a file switch.
#include <string>
#include <vector>

#include "frontend_fixture.h"
#include "pli/display_format.h"
#include "pli/display_records.h"
#include "pli/writer_api.h"

namespace tavri::test {
namespace {

class Display : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        b8_ = sim_.AddReg(top_, "b8", 7, 0);
        sim_.SetValue(b8_, "00001010");  // 10
        five_ = sim_.AddReg(top_, "five", 7, 0);
        sim_.SetValue(five_, "00000101");
        nibble_ = sim_.AddReg(top_, "nibble", 3, 0);
        sim_.SetValue(nibble_, "0101");
        zero_ = sim_.AddReg(top_, "zero", 3, 0);
        sim_.SetValue(zero_, "0000");
        xz_ = sim_.AddReg(top_, "xz", 3, 0);
        sim_.SetValue(xz_, "1x0z");
        count_ = sim_.AddInteger(top_, "count");
        sim_.SetInteger(count_, -5);
        wide_ = sim_.AddReg(top_, "wide", 39, 0);
        sim_.SetValue(wide_, "0001001000110100010101100111100010011010");  // 0x123456789a
        huge_ = sim_.AddReg(top_, "huge", 69, 0);
        sim_.SetValue(huge_, "10" + std::string(4, '0') + std::string(64, '1'));  // 2^69 + 2^64 - 1
        real_ = sim_.AddReal(top_, "r");
        sim_.SetReal(real_, 1.5);
        wire_ = sim_.AddNet(top_, "w");
        sim_.SetValue(wire_, "1");
        bus_ = sim_.AddNet(top_, "bus", 3, 0);
        sim_.AddIntParam(top_, "P", 7);
        sim_.AddRealParam(top_, "RP", 0.25);
    }

    void StartFile(const std::string &name = "display.trax") {
        DumpTo(top_, name);
        ASSERT_NE(pli::g_dumper.current_writer, nullptr) << sim_.TranscriptText();
    }

    // The text `path` holds at the end of each time step it changed in (the
    // file finished and read back). Of several changes in one step the
    // writer may keep only the last.
    std::vector<Seen> TextsOf(const std::string &path, const std::string &file = "display.trax") {
        if (reading_ == nullptr) {
            FinishAndRead(file);
        }
        return LastOfEachStep(ChangesOf(*reading_, path));
    }

    static std::vector<Seen> LastOfEachStep(const std::vector<Seen> &changes) {
        std::vector<Seen> last;
        for (const Seen &change : changes) {
            if (!last.empty() && last.back().time == change.time) {
                last.back() = change;
            } else {
                last.push_back(change);
            }
        }
        return last;
    }

    Scope *top_ = nullptr;
    Signal *b8_ = nullptr;
    Signal *five_ = nullptr;
    Signal *nibble_ = nullptr;
    Signal *zero_ = nullptr;
    Signal *xz_ = nullptr;
    Signal *count_ = nullptr;
    Signal *wide_ = nullptr;
    Signal *huge_ = nullptr;
    RealVar *real_ = nullptr;
    Signal *wire_ = nullptr;
    Signal *bus_ = nullptr;
};

TEST_F(Display, TheCheckRefusesBadFormatsCountsAndArgumentKinds) {
    BuildDesign();
    const std::string syntax = "ERROR: Syntax - $traxDisplay(\"format\", args... [,tag]);\n";
    struct Case {
        const char *call;
        std::string errors;  // every tf_error line of the check, "" when it passes
    };
    const Case cases[] = {
        {"$traxDisplay(\"%d\", five)", ""},
        {"$traxDisplay(\"%d\", five, \"Tag\")", ""},
        {"$traxDisplay(\"%m %0H %V\", b8, w)", ""},
        {"$traxDisplay(\"plain\")", ""},
        {"$traxDisplay", "ERROR: Syntax Error - The #1 argument is not the format string\n" + syntax},
        {"$traxDisplay(r)", "ERROR: Syntax Error - The #1 argument is not the format string\n" + syntax},
        {"$traxDisplay(\"100%%\")", syntax},
        {"$traxDisplay(\"%q\", five)", syntax},
        {"$traxDisplay(\"ends in %\")", syntax},
        {"$traxDisplay(\"%0\")", syntax},
        {"$traxDisplay(\"%d\")", "ERROR: Syntax Error - The argument number mismatch.\n" + syntax},
        {"$traxDisplay(\"%d\", five, \"Tag\", five)", "ERROR: Syntax Error - The argument number mismatch.\n" + syntax},
        {"$traxDisplay(\"%e\", five)", "ERROR: $tarxDisplay - The #2 argument is not real type.\n"},
        {"$traxDisplay(\"%b %d\", five, top)", "ERROR: $tarxDisplay - The #3 argument is not decimal type.\n"},
        {"$traxDisplay(\"%h\", r)", "ERROR: $tarxDisplay - The #2 argument is not hexadecimal type.\n"},
        {"$traxDisplay(\"%h\", RP)", "ERROR: $tarxDisplay - The #2 argument is not hexadecimal type.\n"},
        {"$traxDisplay(\"%v\", bus)", "ERROR: $tarxDisplay - The #2 argument is not scalar type.\n"},
        {"$traxDisplay(\"%s\", r)", "ERROR: $tarxDisplay - The #2 argument is not string type.\n"},
        {"$traxDisplay(\"%c %o\", five, top)", "ERROR: $tarxDisplay - The #3 argument is not octal type.\n"},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, c.call);
        const int result = sim_.RunCheck(call);
        std::string errors;
        for (const std::string &line : Errors()) errors += "ERROR: " + line + "\n";
        EXPECT_EQ(result, c.errors.empty() ? 1 : 0) << c.call;
        EXPECT_EQ(errors, c.errors) << c.call;
    }
}

TEST_F(Display, EveryDirectiveFormatsItsArgument) {
    BuildDesign();
    StartFile();
    struct Case {
        const char *args;  // the call's arguments after the tag's place is left out
        const char *text;
    };
    const Case cases[] = {
        {"\"%h\", b8", "0a"},
        {"\"%0h\", b8", "a"},
        {"\"%H\", b8", "0a"},
        {"\"%d\", five", " 5"},
        {"\"%0d\", five", "5"},
        {"\"%D\", count", "        -5"},
        {"\"%b\", nibble", "0101"},
        {"\"%0b\", nibble", "101"},
        {"\"%0b\", zero", "0"},
        {"\"%b\", zero", "0000"},
        {"\"%b\", xz", "1100"},  // A bits only: x reads 1, z reads 0
        {"\"%o\", b8", "012"},
        {"\"%0o\", b8", "12"},
        {"\"%c%c\", 72, 105", "Hi"},
        {"\"%0d|%d\", 42, 42", "42|        42"},
        {"\"%e\", r", "1.500000e+00"},
        {"\"%f\", r", "1.500000"},
        {"\"%G\", r", "1.5"},
        {"\"in %m\"", "in top"},
        {"\"<%s>\", \"text\"", "<text>"},
        {"\"%v\", w", "St1"},
        {"\"%h\", wide", "123456789a"},
        {"\"%0d\", wide", "78187493530"},
        {"\"%h\", huge", "20ffffffffffffffff"},
        {"\"%0d\", huge", "608742554432415203327"},
        {"\"%b\", 4'b10xz", "1010"},
        {"\"%0d %f\", P, RP", "7 0.250000"},
        {"\"a=%0d, b=%b.\", five, nibble", "a=5, b=0101."},
    };
    std::vector<std::string> tags;
    for (const Case &c : cases) {
        const std::string tag = "case" + std::to_string(tags.size());
        Run(top_, std::string("$traxDisplay(") + c.args + ", \"" + tag + "\")");
        tags.push_back(tag);
    }
    EXPECT_EQ(Errors(), std::vector<std::string>{}) << sim_.TranscriptText();
    for (size_t i = 0; i < tags.size(); ++i) {
        EXPECT_EQ(TextsOf("top." + tags[i]), std::vector<Seen>{TextAt(0, cases[i].text)}) << cases[i].args;
    }
}

TEST_F(Display, DigitsOfWideValues) {
    // 2^96 - 1 as three words, and the most negative 65-bit number.
    const uint32_t ones[] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(pli::DecimalDigits(ones, 96, false, true), "79228162514264337593543950335");
    EXPECT_EQ(pli::DecimalDigits(ones, 96, true, true), "-1");
    EXPECT_EQ(pli::PowerOfTwoDigits(ones, 65, 3, false), "3777777777777777777777");
    const uint32_t min65[] = {0, 0, 1};
    EXPECT_EQ(pli::DecimalDigits(min65, 65, true, true), "-18446744073709551616");
    // Bits above the width are not the value's.
    const uint32_t dirty[] = {0xFFFFFF05u};
    EXPECT_EQ(pli::DecimalDigits(dirty, 4, false, false), "5");
    EXPECT_EQ(pli::PowerOfTwoDigits(dirty, 4, 4, false), "5");
    EXPECT_EQ(pli::DecimalDigits(dirty, 3, true, true), "-3");
}

TEST_F(Display, TheLastArgumentIsTheTagWhenTheFormatLeavesIt) {
    BuildDesign();
    StartFile();
    Run(top_, "$traxDisplay(\"%0d\", five, \"Mine\")");
    Run(top_, "$traxDisplay(\"%0d\", b8)");
    Run(top_, "$traxDisplay(\"esc\", \"\\\\odd.tag \")");
    EXPECT_EQ(Errors(), std::vector<std::string>{});
    EXPECT_EQ(TextsOf("top.Mine"), std::vector<Seen>{TextAt(0, "5")});
    EXPECT_EQ(TextsOf("top.Tavri_Display"), std::vector<Seen>{TextAt(0, "10")});
    EXPECT_EQ(TextsOf("top.\\odd.tag"), std::vector<Seen>{TextAt(0, "esc")});
}

TEST_F(Display, RefusedTagsRecordNothing) {
    BuildDesign();
    StartFile();
    Run(top_, "$traxDisplay(\"a\", \"two words\")");
    EXPECT_TRUE(Printed("WARNING: $traxDisplay - The #2 argument is invalid tag name.\n")) << sim_.TranscriptText();
    for (const char *tag : {"9lives", "dash-ed", "\\\\", "\\\\ x"}) {
        sim_.ClearTranscript();
        Run(top_, std::string("$traxDisplay(\"a\", \"") + tag + "\")");
        EXPECT_TRUE(Printed("WARNING: $traxDisplay - The tag name is invalid.\n")) << tag << sim_.TranscriptText();
    }
    EXPECT_EQ(pli::g_txw.GetMaxVarIdcode(pli::g_dumper.current_writer), 0u);
    for (const char *tag : {"ok_tag$1", "_x", "\\a.b ", "\\+"}) {
        EXPECT_TRUE(pli::IsValidDisplayTag(tag)) << tag;
    }
    for (const char *tag : {"", "$x", "1a", "a.b", "\\", "\\ a", "\\a b"}) {
        EXPECT_FALSE(pli::IsValidDisplayTag(tag)) << tag;
    }
}

TEST_F(Display, EachInstanceHasItsOwnVariable) {
    BuildDesign();
    Scope *u1 = sim_.AddModule(top_, "u1", "unit");
    Scope *u2 = sim_.AddModule(top_, "u2", "unit");
    StartFile();
    Run(u1, "$traxDisplay(\"one\")");
    Run(u2, "$traxDisplay(\"two\")");
    Run(u1, "$traxDisplay(\"-again\")");
    EXPECT_EQ(TextsOf("top.u1.Tavri_Display"), std::vector<Seen>{TextAt(0, "one-again")});
    EXPECT_EQ(TextsOf("top.u2.Tavri_Display"), std::vector<Seen>{TextAt(0, "two")});
    EXPECT_EQ(AllNames(*reading_), (std::vector<std::string>{"top.u1.Tavri_Display", "top.u2.Tavri_Display"}));
}

TEST_F(Display, VariablesFollowTheHierarchySubstitution) {
    BuildDesign();
    Scope *dut = sim_.AddModule(top_, "dut");
    StartFile();
    // Level 1 (top) is dropped, level 2 (dut) is written as "blk".
    Run(top_, "$traxSubstituteHier(\"blk\", 2)");
    Run(top_, "$traxDisplay(\"dropped\")");
    Run(dut, "$traxDisplay(\"kept\")");
    Run(top_, "$traxDisplay(\"dropped again\")");
    EXPECT_EQ(sim_.CountMessages(ModelSim::Channel::kWarning), 0) << sim_.TranscriptText();
    EXPECT_EQ(TextsOf("blk.Tavri_Display"), std::vector<Seen>{TextAt(0, "kept")});
    EXPECT_EQ(AllNames(*reading_), std::vector<std::string>{"blk.Tavri_Display"});
}

TEST_F(Display, TextsOfOneStepAreJoinedAndTheNextStepStartsAfresh) {
    BuildDesign();
    StartFile();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDisplay(\"A%0d;\", five)");
    Run(top_, "$traxDisplay(\"other\", \"Other\")");
    Run(top_, "$traxDisplay(\"B%0d;\", b8)");
    sim_.AdvanceTo(20);
    Run(top_, "$traxDisplay(\"C\")");
    EXPECT_EQ(TextsOf("top.Tavri_Display"),
              (std::vector<Seen>{TextAt(10, "A5;B10;"), TextAt(20, "C")}));
    EXPECT_EQ(TextsOf("top.Other"), std::vector<Seen>{TextAt(10, "other")});
}

TEST_F(Display, TextsAreCutAtTheLimit) {
    BuildDesign();
    StartFile();
    const std::string long_text(200, 'L');
    Run(top_, "$traxDisplay(\"%s\", \"" + long_text + "\")");
    sim_.AdvanceTo(10);
    const std::string first(100, 'a');
    const std::string second(50, 'b');
    Run(top_, "$traxDisplay(\"" + first + "\")");
    Run(top_, "$traxDisplay(\"" + second + "\")");
    Run(top_, "$traxDisplay(\"lost\")");  // the step's text is full
    EXPECT_EQ(TextsOf("top.Tavri_Display"),
              (std::vector<Seen>{TextAt(0, std::string(pli::kDisplayTextMax, 'L')),
                                 TextAt(10, first + std::string(pli::kDisplayTextMax - 100, 'b'))}));
}

TEST_F(Display, AFileSwitchWritesTheLastTextsIntoTheNewFile) {
    BuildDesign();
    StartFile("before.trax");
    sim_.AdvanceTo(10);
    Run(top_, "$traxDisplay(\"first\")");
    Run(top_, "$traxDisplay(\"tagged\", \"T\")");
    sim_.AdvanceTo(20);
    Run(top_, "$traxDisplay(\"x\")");
    Run(top_, "$traxSwitchDumpfile(\"" + Path("after.trax") + "\")");
    Run(top_, "$traxDisplay(\"y\")");
    sim_.AdvanceTo(30);
    Run(top_, "$traxDisplay(\"z\")");
    EXPECT_EQ(TextsOf("top.Tavri_Display", "after.trax"),
              (std::vector<Seen>{TextAt(20, "xy"), TextAt(30, "z")}));
    EXPECT_EQ(TextsOf("top.T"), std::vector<Seen>{TextAt(20, "tagged")});
    Reading before(Path("before.trax"));
    ASSERT_EQ(before.status, TRAXR_OK) << before.message;
    EXPECT_EQ(LastOfEachStep(ChangesOf(before, "top.Tavri_Display")),
              (std::vector<Seen>{TextAt(10, "first"), TextAt(20, "x")}));
}

TEST_F(Display, NothingIsRecordedWhileDumpingIsOffOrInAnotherMode) {
    BuildDesign();
    StartFile();
    Run(top_, "$traxDisplay(\"on\")");
    pli::g_dumper.mode = pli::DumpMode::kEssentialSignal;
    Run(top_, "$traxDisplay(\"refused\")");
    EXPECT_TRUE(Printed("WARNING: $traxDisplay is already disabled.\n")) << sim_.TranscriptText();
    pli::g_dumper.mode = pli::DumpMode::kSingleFile;
    Run(top_, "$traxDumpoff");
    sim_.AdvanceTo(10);
    Run(top_, "$traxDisplay(\"off\")");
    EXPECT_FALSE(Printed("discarded")) << sim_.TranscriptText();
    EXPECT_EQ(TextsOf("top.Tavri_Display"), std::vector<Seen>{TextAt(0, "on")});
}

TEST_F(Display, ClosingTheFilesForgetsTheVariables) {
    BuildDesign();
    StartFile();
    Run(top_, "$traxDisplay(\"one\")");
    Run(top_, "$traxDumpFinish");
    EXPECT_FALSE(pli::g_dumper.display.created);
    EXPECT_TRUE(pli::g_dumper.display_last_texts.empty());
    // A later call opens a file of its own and creates the variable there.
    DumpTo(top_, "second.trax");
    Run(top_, "$traxDisplay(\"two\")");
    EXPECT_EQ(TextsOf("top.Tavri_Display", "second.trax"), std::vector<Seen>{TextAt(0, "two")});
}

TEST_F(Display, InInteractiveModeEachDisplayIsFlushedAndNoticed) {
    BuildDesign();
    StartFile();
    pli::g_dumper.interactive = true;
    sim_.ClearTranscript();
    Run(top_, "$traxDisplay(\"seen\")");
    EXPECT_EQ(CountPrinted("Halvern Prompt\n32\n"), 1) << sim_.TranscriptText();
    EXPECT_FALSE(pli::g_dumper.needs_flush);
}

}  // namespace
}  // namespace tavri::test
