// Whole runs of the dumper in the model simulator, read back from the file.
#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class DumpScenario : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top", "tb");
        clk_ = sim_.AddReg(top_, "clk");
        data_ = sim_.AddReg(top_, "data", 7, 0);
        count_ = sim_.AddInteger(top_, "count");
        u1_ = sim_.AddModule(top_, "u1", "sub");
        wire_ = sim_.AddNet(u1_, "w");
        bus_ = sim_.AddNet(u1_, "bus", 3, 0);
    }

    Scope *top_ = nullptr;
    Scope *u1_ = nullptr;
    Signal *clk_ = nullptr;
    Signal *data_ = nullptr;
    Signal *count_ = nullptr;
    Signal *wire_ = nullptr;
    Signal *bus_ = nullptr;
};

TEST_F(DumpScenario, ClockedDesignFromDumpvarsToFinish) {
    BuildDesign();
    DumpTo(top_, "run.trax");
    Run(top_, "$traxDumpvars");
    sim_.SetValue(clk_, "0");
    sim_.SetValue(data_, "00000000");
    sim_.SetInteger(count_, 0);
    sim_.SetValue(wire_, "z");
    sim_.EndStep();
    for (int cycle = 1; cycle <= 3; ++cycle) {
        sim_.AdvanceTo(static_cast<uint64_t>(cycle) * 10);
        sim_.SetValue(clk_, "1");
        sim_.SetValue(data_, "11111111");  // two changes in one step: only the last counts
        sim_.SetValue(data_, cycle == 2 ? "0000001x" : "00000011");
        sim_.SetInteger(count_, cycle);
        sim_.SetValue(bus_, cycle == 3 ? "10z1" : "0101");
        sim_.EndStep();
        sim_.AdvanceTo(static_cast<uint64_t>(cycle) * 10 + 5);
        sim_.SetValue(clk_, "0");
        sim_.EndStep();
    }
    sim_.Finish();
    ASSERT_TRUE(pli::g_dumper.files.empty()) << "finish closes the file";

    Reading file(Path("run.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(file.Header().file_status, 0);
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.clk", "top.data[7:0]", "top.count", "top.u1.w",
                                                        "top.u1.bus[3:0]"}));
    EXPECT_EQ(ChangesOf(file, "top.clk"),
              (std::vector<Seen>{At(0, "0"), At(10, "1"), At(15, "0"), At(20, "1"), At(25, "0"), At(30, "1"),
                                 At(35, "0")}));
    EXPECT_EQ(ChangesOf(file, "top.data[7:0]"),
              (std::vector<Seen>{At(0, "00000000"), At(10, "00000011"), At(20, "0000001x"), At(30, "00000011")}));
    EXPECT_EQ(ChangesOf(file, "top.count"),
              (std::vector<Seen>{At(0, std::string(32, '0')), At(10, std::string(31, '0') + "1"),
                                 At(20, std::string(30, '0') + "10"), At(30, std::string(30, '0') + "11")}));
    EXPECT_EQ(ChangesOf(file, "top.u1.w"), (std::vector<Seen>{At(0, "z")}));
    EXPECT_EQ(ChangesOf(file, "top.u1.bus[3:0]"),
              (std::vector<Seen>{At(0, "xxxx"), At(10, "0101"), At(30, "10z1")}));
}

TEST_F(DumpScenario, TheTranscriptTellsWhatHappened) {
    BuildDesign();
    DumpTo(top_, "t.trax");
    Run(top_, "$traxDumpvars(1, top)");
    const std::string text = sim_.TranscriptText();
    EXPECT_NE(text.find("Tavri TRAX Dumper for ModelSim, Release 5.4v9 (Win95/NT) 05/04/2005\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("*Tavri* Create TRAX file '" + Path("t.trax") + "'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("*Tavri* Start dumping the scope(top), layer(1).\n"), std::string::npos) << text;
    EXPECT_NE(text.find("*Tavri* End of dumping.\n"), std::string::npos) << text;
    sim_.Finish();
    Reading file(Path("t.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.clk", "top.data[7:0]", "top.count"}))
        << "level 1 keeps u1 out";
}

TEST_F(DumpScenario, DumpOffWritesXAndDumpOnThePresentValues) {
    BuildDesign();
    DumpTo(top_, "off.trax");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.SetValue(clk_, "1");
    sim_.SetValue(data_, "10101010");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpoff");
    sim_.SetValue(clk_, "0");  // not recorded
    sim_.EndStep();
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpon");
    sim_.EndStep();  // the dump-on happens at the end of the step
    sim_.AdvanceTo(30);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.Finish();
    Reading file(Path("off.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.clk"), (std::vector<Seen>{At(0, "1"), At(10, "x"), At(20, "0"), At(30, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.data[7:0]"),
              (std::vector<Seen>{At(0, "10101010"), At(10, "xxxxxxxx"), At(20, "10101010")}));
    EXPECT_EQ(file.Changes(0), (std::vector<Seen>{At(10, "1"), At(20, "0")})) << "the dump-off marker";
}

}  // namespace
}  // namespace tavri::test
