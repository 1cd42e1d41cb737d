// Value changes from the simulator to the file: the end-of-step sampling of
// vectors, glitches, the value encodings (bytes, A/B words, strengths,
// reals, events), and the values written at dump-off and dump-on.
#include "frontend_fixture.h"

namespace tavri::test {
namespace {

// Element group formats as the reader reports them.
constexpr uint8_t kNormalBusFormat = 4;
constexpr uint8_t kABBusFormat = 5;

class ValueChanges : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        w_ = sim_.AddNet(top_, "w");
        r_ = sim_.AddReg(top_, "r");
        nib_ = sim_.AddNet(top_, "nib", 3, 0);
        byte_ = sim_.AddReg(top_, "byte", 7, 0);
        count_ = sim_.AddInteger(top_, "count");
        ratio_ = sim_.AddReal(top_, "ratio");
        go_ = sim_.AddEvent(top_, "go");
    }

    void Dump(const std::string &name) {
        DumpTo(top_, name);
        Run(top_, "$traxDumpvars(1, top)");
    }

    Reading &Close(const std::string &name) {
        sim_.Finish();
        reading_ = std::make_unique<Reading>(Path(name));
        EXPECT_EQ(reading_->status, TRAXR_OK) << reading_->message;
        return *reading_;
    }

    // The element format of each change of `path`.
    static std::vector<uint8_t> FormatsOf(Reading &file, const std::string &path) {
        std::vector<uint8_t> formats;
        traxrChangeList *list = nullptr;
        if (traxr_ReadChanges(file.reader, IdcodeOf(file, path), &list) != TRAXR_OK) {
            ADD_FAILURE() << traxr_LastMessage(file.reader);
            return formats;
        }
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change{};
            if (traxr_GetChange(list, i, &change) == TRAXR_OK) formats.push_back(change.format);
        }
        traxr_FreeChangeList(list);
        return formats;
    }

    Scope *top_ = nullptr;
    Signal *w_ = nullptr;
    Signal *r_ = nullptr;
    Signal *nib_ = nullptr;
    Signal *byte_ = nullptr;
    Signal *count_ = nullptr;
    RealVar *ratio_ = nullptr;
    NamedEvent *go_ = nullptr;
};

TEST_F(ValueChanges, VectorsKeepTheirLastValueOfATimeStep) {
    BuildDesign();
    Dump("step.trax");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    for (const char *value : {"0000", "0001", "0000"}) sim_.SetValue(nib_, value);
    sim_.SetValue(byte_, "11110000");
    sim_.SetValue(byte_, "0000xxxx");
    sim_.SetInteger(count_, 7);
    sim_.SetInteger(count_, 9);
    EXPECT_EQ(pli::g_dumper.files.front().pending.size(), 3u) << "each vector waits once for the end of the step";
    sim_.EndStep();
    sim_.AdvanceTo(20);
    sim_.SetValue(nib_, "1z1z");
    sim_.SetValue(w_, "0");
    sim_.SetValue(w_, "1");  // scalars: the writer keeps the last one of the time
    sim_.EndStep();
    Reading &file = Close("step.trax");
    EXPECT_EQ(ChangesOf(file, "top.nib[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "0000"), At(20, "1z1z")}));
    EXPECT_EQ(ChangesOf(file, "top.byte[7:0]"), (std::vector<Seen>{At(0, "xxxxxxxx"), At(10, "0000xxxx")}));
    EXPECT_EQ(ChangesOf(file, "top.count"),
              (std::vector<Seen>{At(0, std::string(32, 'x')), At(10, std::string(28, '0') + "1001")}));
    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "x"), At(20, "1")}));
}

TEST_F(ValueChanges, PendingVectorsAreWrittenAtFlushAndFinish) {
    BuildDesign();
    Dump("pending.trax");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(nib_, "0110");
    Run(top_, "$traxDumpflush");
    sim_.SetValue(nib_, "0111");  // sampled again at the end of the step, after the flush
    sim_.EndStep();
    sim_.AdvanceTo(30);
    sim_.SetValue(byte_, "00000001");  // the step never ends: $finish comes first
    Reading &file = Close("pending.trax");
    EXPECT_EQ(ChangesOf(file, "top.nib[3:0]"), (std::vector<Seen>{At(0, "xxxx"), At(10, "0110"), At(10, "0111")}))
        << "the flush wrote the value of that moment; the step's last value follows it";
    EXPECT_EQ(ChangesOf(file, "top.byte[7:0]"), (std::vector<Seen>{At(0, "xxxxxxxx"), At(30, "00000001")}));
}

TEST_F(ValueChanges, WithAGlitchLimitEveryChangeOfTheStepIsKept) {
    sim_.AddPlusArg("+trax_max_glitch+3");
    BuildDesign();
    Dump("glitch.trax");
    EXPECT_TRUE(Printed("*Tavri* Enable dumping glitch values.\n")) << sim_.TranscriptText();
    sim_.EndStep();
    sim_.AdvanceTo(10);
    for (const char *value : {"0000", "0001", "0000"}) sim_.SetValue(nib_, value);
    sim_.SetValue(w_, "0");
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    Reading &file = Close("glitch.trax");
    EXPECT_EQ(file.Header().max_glitch_number, 3);
    EXPECT_EQ(ChangesOf(file, "top.nib[3:0]"),
              (std::vector<Seen>{At(0, "xxxx"), At(10, "0000"), At(10, "0001"), At(10, "0000")}));
    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "x"), At(10, "0"), At(10, "1")}));
}

TEST_F(ValueChanges, NarrowVectorsAsBytesWiderOnesAsABWords) {
    BuildDesign();
    Dump("bus.trax");
    sim_.SetValue(nib_, "1x0z");
    sim_.SetValue(byte_, "1x0z01zx");
    sim_.EndStep();
    Reading &file = Close("bus.trax");
    EXPECT_EQ(RawChangesOf(file, "top.nib[3:0]"), (std::vector<RawSeen>{{0, {1, 2, 0, 3}}}));
    EXPECT_EQ(FormatsOf(file, "top.nib[3:0]"), (std::vector<uint8_t>{kNormalBusFormat}));
    EXPECT_EQ(ChangesOf(file, "top.byte[7:0]"), (std::vector<Seen>{At(0, "1x0z01zx")}));
    EXPECT_EQ(FormatsOf(file, "top.byte[7:0]"), (std::vector<uint8_t>{kABBusFormat}));
}

TEST_F(ValueChanges, WithoutBusCompressionEveryVectorAsBytes) {
    ScopedEnv no_compress("TRAX_NO_BUS_COMPRESS", "1");
    BuildDesign();
    Dump("nobus.trax");
    EXPECT_TRUE(Printed("*Tavri* Disable the bus compression.\n")) << sim_.TranscriptText();
    sim_.SetValue(byte_, "1x0z01zx");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpoff");
    Reading &file = Close("nobus.trax");
    EXPECT_EQ(RawChangesOf(file, "top.byte[7:0]"),
              (std::vector<RawSeen>{{0, {1, 2, 0, 3, 0, 1, 3, 2}}, {10, {2, 2, 2, 2, 2, 2, 2, 2}}}));
    EXPECT_EQ(FormatsOf(file, "top.byte[7:0]"), (std::vector<uint8_t>{kNormalBusFormat, kNormalBusFormat}));
}

TEST_F(ValueChanges, BusCompressionOffWithZero) {
    ScopedEnv no_compress("TRAX_NO_BUS_COMPRESS", "0");
    BuildDesign();
    Dump("zero.trax");
    EXPECT_FALSE(Printed("Disable the bus compression."));
    sim_.SetValue(byte_, "00001111");
    sim_.EndStep();
    Reading &file = Close("zero.trax");
    EXPECT_EQ(FormatsOf(file, "top.byte[7:0]"), (std::vector<uint8_t>{kABBusFormat}));
}

// Vectors wider than one 32-bit pair: each bit lands at its place.
class WideVectors : public ValueChanges, public ::testing::WithParamInterface<bool> {};

TEST_P(WideVectors, EveryBitAtItsPlace) {
    std::optional<ScopedEnv> no_compress;
    if (!GetParam()) no_compress.emplace("TRAX_NO_BUS_COMPRESS", "1");
    top_ = sim_.AddTopModule("top");
    Signal *w40 = sim_.AddNet(top_, "w40", 39, 0);
    Signal *w70 = sim_.AddReg(top_, "w70", 0, 69);
    Dump("wide.trax");
    std::string v40;
    for (int i = 0; i < 40; ++i) v40 += "10xz1101"[i % 8];
    std::string v70;
    for (int i = 0; i < 70; ++i) v70 += "z01x0011x"[i % 9];
    sim_.SetValue(w40, v40);
    sim_.SetValue(w70, v70);
    sim_.EndStep();
    sim_.AdvanceTo(5);
    std::string v70b = v70;
    v70b[0] = '1';   // most significant bit
    v70b[69] = 'z';  // least significant bit
    v70b[37] = 'x';  // in the second pair
    sim_.SetValue(w70, v70b);
    sim_.EndStep();
    Reading &file = Close("wide.trax");
    EXPECT_EQ(ChangesOf(file, "top.w40[39:0]"), (std::vector<Seen>{At(0, v40)}));
    EXPECT_EQ(ChangesOf(file, "top.w70[0:69]"), (std::vector<Seen>{At(0, v70), At(5, v70b)}));
}

INSTANTIATE_TEST_SUITE_P(BusCompression, WideVectors, ::testing::Bool(),
                         [](const auto &param_info) { return param_info.param ? "ABWords" : "Bytes"; });

TEST_F(ValueChanges, StrengthsOfScalarNetsWithThePlusArgument) {
    sim_.AddPlusArg("+dump+strength");
    BuildDesign();
    Dump("strength.trax");
    EXPECT_TRUE(Printed("*Tavri* Enable dumping strength values.\n")) << sim_.TranscriptText();
    sim_.SetValue(w_, "1");  // strong 1: 1 + 4 * 6 + 32 * 6
    sim_.SetValue(r_, "1");  // a reg keeps logic values
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(w_, "1", vclPull);  // the strength alone changes: 1 + 4 * 5 + 32 * 5
    sim_.EndStep();
    sim_.AdvanceTo(20);
    sim_.SetValue(w_, "0", vclWeak);  // 0 + 4 * 3 + 32 * 3
    sim_.EndStep();
    sim_.AdvanceTo(30);
    sim_.SetStrengths(w_, Logic::kX, 6, 2);  // X: 2 + 4 * 6 + 32 * 2
    sim_.EndStep();
    sim_.AdvanceTo(40);
    sim_.SetValue(w_, "z");  // Z, high impedance: 3
    sim_.EndStep();
    Reading &file = Close("strength.trax");
    EXPECT_EQ(RawChangesOf(file, "top.w"),
              (std::vector<RawSeen>{{0, {217}}, {10, {181}}, {20, {108}}, {30, {90}}, {40, {3}}}))
        << "the initial value comes from the logic value alone, then the time-0 change replaces it";
    EXPECT_EQ(RawChangesOf(file, "top.r"), (std::vector<RawSeen>{{0, {1}}}));
}

TEST_F(ValueChanges, StrengthTaskBeforeDumpvars) {
    BuildDesign();
    DumpTo(top_, "task.trax");
    Run(top_, "$traxDumpStrength");
    Run(top_, "$traxDumpvars(1, top)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    Reading &file = Close("task.trax");
    EXPECT_EQ(RawChangesOf(file, "top.w"), (std::vector<RawSeen>{{0, {2}}, {10, {217}}}));
}

TEST_F(ValueChanges, StrengthTaskAfterDumpvarsConcernsLaterScalarsOnly) {
    BuildDesign();
    Scope *u = sim_.AddModule(top_, "u");
    Signal *late = sim_.AddNet(u, "late");
    DumpTo(top_, "later.trax");
    Run(top_, "$traxDumpvars(1, top)");
    Run(top_, "$traxDumpStrength");
    Run(top_, "$traxDumpvars(1, top.u)");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(w_, "1");
    sim_.SetValue(late, "1");
    sim_.EndStep();
    Reading &file = Close("later.trax");
    EXPECT_EQ(RawChangesOf(file, "top.w"), (std::vector<RawSeen>{{0, {2}}, {10, {1}}}));
    EXPECT_EQ(RawChangesOf(file, "top.u.late"), (std::vector<RawSeen>{{0, {2}}, {10, {217}}}));
}

TEST_F(ValueChanges, DumpOffWritesUnknownsAndDumpOnThePresentValues) {
    BuildDesign();
    Signal *bits = sim_.AddReg(top_, "bits", 1, 0);
    bits->expanded = true;
    Dump("offon.trax");
    sim_.SetValue(w_, "1");
    sim_.SetValue(r_, "0");
    sim_.SetValue(nib_, "0101");
    sim_.SetValue(byte_, "00110011");
    sim_.SetInteger(count_, 3);
    sim_.SetReal(ratio_, 1.25);
    sim_.SetValue(bits, "10");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    sim_.Trigger(go_);
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(nib_, "1111");  // pending when dumping stops: written, then X
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    sim_.AdvanceTo(15);
    // Changes while dumping is off are not recorded.
    sim_.SetValue(w_, "0");
    sim_.SetValue(byte_, "11111111");
    sim_.SetReal(ratio_, 2.5);
    sim_.Trigger(go_);
    sim_.SetValue(bits, "01");
    sim_.EndStep();
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    sim_.AdvanceTo(30);
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    Reading &file = Close("offon.trax");

    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "1"), At(10, "x"), At(20, "0"), At(30, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.r"), (std::vector<Seen>{At(0, "0"), At(10, "x"), At(20, "0")}));
    EXPECT_EQ(ChangesOf(file, "top.nib[3:0]"), (std::vector<Seen>{At(0, "0101"), At(10, "xxxx"), At(20, "1111")}));
    EXPECT_EQ(ChangesOf(file, "top.byte[7:0]"),
              (std::vector<Seen>{At(0, "00110011"), At(10, "xxxxxxxx"), At(20, "11111111")}));
    EXPECT_EQ(ChangesOf(file, "top.count"), (std::vector<Seen>{At(0, std::string(30, '0') + "11"),
                                                              At(10, std::string(32, 'x')),
                                                              At(20, std::string(30, '0') + "11")}));
    EXPECT_EQ(ChangesOf(file, "top.ratio"), (std::vector<Seen>{RealAt(0, 1.25), RealAt(10, 0.0), RealAt(20, 2.5)}));
    EXPECT_EQ(ChangesOf(file, "top.go"), (std::vector<Seen>{At(0, "x"), At(5, "1"), At(10, "x"), At(20, "x")}))
        << "an event has no present value: the no-occurrence code at both ends of the window";
    EXPECT_EQ(ChangesOf(file, "top.bits[1]"), (std::vector<Seen>{At(0, "1"), At(10, "x"), At(20, "0")}));
    EXPECT_EQ(ChangesOf(file, "top.bits[0]"), (std::vector<Seen>{At(0, "0"), At(10, "x"), At(20, "1")}));
    EXPECT_EQ(file.Changes(0), (std::vector<Seen>{At(10, "1"), At(20, "0")})) << "the dump-off marker";
}

TEST_F(ValueChanges, ChangesWhileDumpingIsOffWriteNoTimeTag) {
    BuildDesign();
    Dump("tags.trax");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    const uint32_t low_before = pli::g_dumper.files.front().last_time_low;
    sim_.AdvanceTo(15);
    sim_.SetValue(w_, "1");
    sim_.SetValue(nib_, "0000");
    sim_.SetReal(ratio_, 1.0);
    sim_.Trigger(go_);
    sim_.EndStep();
    EXPECT_EQ(pli::g_dumper.files.front().last_time_low, low_before);
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    Reading &file = Close("tags.trax");
    // Time tags at 0 (creation), 10 (dump-off) and 20 (dump-on): none at 15.
    EXPECT_EQ(file.Header().max_xtag_idx, 3u);
    EXPECT_EQ(file.Header().maximum_xtag, 20u);
}

TEST_F(ValueChanges, StepsWithTheSameLowTimeWordGetTheirOwnTimeTags) {
    // 100 and 2^32 + 100 share the low word; comparing it alone would merge
    // the second step into the first and lose its time.
    constexpr uint64_t kLater = (uint64_t{1} << 32) + 100;
    BuildDesign();
    Dump("high.trax");
    sim_.EndStep();
    sim_.AdvanceTo(100);
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(kLater);
    sim_.SetValue(w_, "0");
    sim_.EndStep();
    Reading &file = Close("high.trax");
    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "x"), At(100, "1"), At(kLater, "0")}));
    EXPECT_EQ(file.Header().maximum_xtag, kLater);
}

TEST_F(ValueChanges, DumpOnAfterTheLowTimeWordWrappedGetsItsOwnTimeTag) {
    constexpr uint64_t kLater = (uint64_t{1} << 32) + 100;
    BuildDesign();
    Dump("wrap.trax");
    sim_.EndStep();
    sim_.AdvanceTo(100);
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    sim_.AdvanceTo(kLater);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    Reading &file = Close("wrap.trax");
    EXPECT_EQ(file.Changes(0), (std::vector<Seen>{At(100, "1"), At(kLater, "0")})) << "the dump-off marker";
}

TEST_F(ValueChanges, DumpOffTwiceAndDumpOnWhileOnChangeNothing) {
    BuildDesign();
    Dump("twice.trax");
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpon");  // already on
    sim_.EndStep();
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    sim_.AdvanceTo(30);
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    Reading &file = Close("twice.trax");
    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "1"), At(20, "x")}));
    EXPECT_EQ(file.Changes(0), (std::vector<Seen>{At(20, "1"), At(30, "0")})) << "off once; the close ends the window";
}

TEST_F(ValueChanges, AfterFinishChangesGoNowhere) {
    BuildDesign();
    Dump("after.trax");
    sim_.SetValue(w_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.Finish();
    sim_.SetValue(w_, "0");
    sim_.SetValue(nib_, "0000");
    sim_.SetReal(ratio_, 3.0);
    sim_.Trigger(go_);
    sim_.EndStep();
    Reading file(Path("after.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(ChangesOf(file, "top.w"), (std::vector<Seen>{At(0, "1")}));
    EXPECT_EQ(ChangesOf(file, "top.nib[3:0]"), (std::vector<Seen>{At(0, "xxxx")}));
}

}  // namespace
}  // namespace tavri::test

namespace tavri::test {
namespace {

TEST_F(ValueChanges, VariablesHookedWhileDumpingIsOffGetValuesAtDumpOn) {
    BuildDesign();
    Scope *u = sim_.AddModule(top_, "u");
    Signal *late = sim_.AddNet(u, "late", 3, 0);
    RealVar *level = sim_.AddReal(u, "level");
    Dump("late.trax");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    Run(top_, "$traxDumpoff");
    sim_.EndStep();
    sim_.AdvanceTo(15);
    Run(top_, "$traxDumpvars(1, top.u)");
    sim_.SetValue(late, "1010");
    sim_.SetReal(level, 0.5);
    sim_.EndStep();
    sim_.AdvanceTo(20);
    Run(top_, "$traxDumpon");
    sim_.EndStep();
    sim_.AdvanceTo(30);
    sim_.SetValue(late, "0000");
    sim_.EndStep();
    Reading &file = Close("late.trax");
    EXPECT_EQ(ChangesOf(file, "top.u.late[3:0]"), (std::vector<Seen>{At(20, "1010"), At(30, "0000")}));
    EXPECT_EQ(ChangesOf(file, "top.u.level"), (std::vector<Seen>{RealAt(20, 0.5)}));
}

}  // namespace
}  // namespace tavri::test
