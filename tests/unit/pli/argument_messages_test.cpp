// What the dumper says about values it cannot use: file size limits, a
// negative $traxDumpvars level, an empty +traxfile+, whole numbers of the
// plus-arguments, and why a dump file could not be created.
#include <unistd.h>

#include <fstream>

#include "frontend_fixture.h"
#include "pli/whole_number.h"

namespace tavri::test {
namespace {

class ArgumentMessages : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        u_ = sim_.AddModule(top_, "u");
        sim_.AddNet(u_, "x");
    }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Scope *u_ = nullptr;
};

TEST(WholeNumber, PlainIntegersAndRealNotationOfWholeNumbers) {
    constexpr uint64_t kMax = 0xFFFFFFFFu;
    const std::vector<std::pair<const char *, uint64_t>> accepted = {
        {"0", 0},       {"5", 5},           {"007", 7},       {"4294967295", kMax}, {"5e4", 50000},
        {"2.5e3", 2500}, {"0.5E2", 50},     {"1.e3", 1000},   {"100.", 100},        {".5e1", 5},
        {"1.500e3", 1500}, {"4.294967295e9", kMax}, {"0e99999999", 0}, {"1.0", 1}, {"2500e-2", 25},
    };
    for (const auto &[text, value] : accepted) {
        EXPECT_EQ(pli::ParseWholeNumber(text, kMax), std::optional<uint64_t>(value)) << text;
    }
    for (const char *text : {"", "abc", "5x", "5e", "e5", ".", "-1", "+1", " 5", "5 ", "0x10", "2.5", "1e-1",
                             "4294967296", "4.294967296e9", "1e10", "250e-2", "99999999999999999999999", "1.2.3", "inf",
                             "nan", "1e99999999", "5e+"}) {
        EXPECT_EQ(pli::ParseWholeNumber(text, kMax), std::nullopt) << text;
    }
    EXPECT_EQ(pli::ParseWholeNumber("18446744073709551615", UINT64_MAX), std::optional<uint64_t>(UINT64_MAX));
    EXPECT_EQ(pli::ParseWholeNumber("18446744073709551616", UINT64_MAX), std::nullopt);
}

TEST_F(ArgumentMessages, LimitTheWriterRefusesIsNotReportedAsSet) {
    BuildDesign();
    Run(top_, "$traxDumplimit(12)");
    EXPECT_TRUE(Printed("*Tavri* Set the limit of TRAX file size to 12MB.\n")) << sim_.TranscriptText();
    // A directory takes the name of the limit's redundant list: the writer
    // refuses the limit.
    std::filesystem::create_directory(Path("limit.trax.rlist"));
    DumpTo(top_, "limit.trax");
    EXPECT_TRUE(Printed("*Tavri* TRAX WARN: Dump limit is not turned on\n")) << sim_.TranscriptText();
    EXPECT_FALSE(Printed("Set TRAX file size limit")) << sim_.TranscriptText();
}

TEST_F(ArgumentMessages, LimitTheWriterRaisesIsReportedAsRaised) {
    BuildDesign();
    Run(top_, "$traxDumplimit(5)");
    DumpTo(top_, "small.trax");
    EXPECT_TRUE(Printed("*Tavri* TRAX WARN: Current dumplimit size 5MB is too small. Use 10MB instead\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Set TRAX file size limit to 10MB.\n")) << sim_.TranscriptText();
}

struct LimitCase {
    const char *task_call;  // or null
    const char *plus_arg;   // or null
    const char *warning;    // null when the limit is taken
    uint32_t megabytes;     // the limit taken
};

void PrintTo(const LimitCase &test, std::ostream *out) {
    *out << (test.task_call != nullptr ? test.task_call : test.plus_arg);
}

class DumpLimitValues : public ArgumentMessages, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(DumpLimitValues, OnlyWholeMegabytesFromOneAreTaken) {
    const LimitCase &test = GetParam();
    BuildDesign();
    if (test.plus_arg != nullptr) sim_.AddPlusArg(test.plus_arg);
    if (test.task_call != nullptr) Run(top_, test.task_call);
    DumpTo(top_, "limit.trax");
    if (test.warning != nullptr) {
        EXPECT_TRUE(Printed(std::string("*Tavri* Warning: ") + test.warning)) << sim_.TranscriptText();
        EXPECT_FALSE(pli::g_dumper.dump_limit_set);
        EXPECT_FALSE(Printed("limit (")) << "nothing reaches the writer\n" << sim_.TranscriptText();
        EXPECT_FALSE(Printed("Set the limit")) << sim_.TranscriptText();
        EXPECT_FALSE(Printed("4294967295MB")) << sim_.TranscriptText();
    } else {
        EXPECT_FALSE(Printed("Warning")) << sim_.TranscriptText();
        EXPECT_TRUE(pli::g_dumper.dump_limit_set);
        EXPECT_EQ(pli::g_dumper.dump_limit_mb, test.megabytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, DumpLimitValues,
    ::testing::Values(
        LimitCase{"$traxDumplimit(-1)", nullptr,
                  "$traxDumplimit - The file size limit -1MB is below 1MB; the file is not limited by it.\n", 0},
        LimitCase{"$traxDumplimit(0)", nullptr,
                  "$traxDumplimit - The file size limit 0MB is below 1MB; the file is not limited by it.\n", 0},
        LimitCase{"$traxDumplimit(1)", nullptr, nullptr, 1},
        LimitCase{nullptr, "+traxDumplimit+-1",
                  "The file size limit +traxDumplimit+-1 is not a whole number of MB from 1 to 4294967295; the file "
                  "is not limited by it.\n",
                  0},
        LimitCase{nullptr, "+traxDumplimit+0", "The file size limit +traxDumplimit+0 is not", 0},
        LimitCase{nullptr, "+traxDumplimit+abc", "The file size limit +traxDumplimit+abc is not", 0},
        LimitCase{nullptr, "+traxDumplimit+", "The file size limit +traxDumplimit+ is not", 0},
        LimitCase{nullptr, "+traxDumplimit+2.5", "The file size limit +traxDumplimit+2.5 is not", 0},
        LimitCase{nullptr, "+traxDumplimit+4294967296", "The file size limit +traxDumplimit+4294967296 is not", 0},
        LimitCase{nullptr, "+traxDumplimit+12345678901234567890",
                  "The file size limit +traxDumplimit+12345678901234567890 is not", 0},
        LimitCase{nullptr, "+traxDumplimit+100", nullptr, 100},
        LimitCase{nullptr, "+traxDumplimit+1e3", nullptr, 1000},
        LimitCase{nullptr, "+traxDumplimit+4294967295", nullptr, 0xFFFFFFFFu}));

class NegativeLevel : public ArgumentMessages, public ::testing::WithParamInterface<const char *> {};

TEST_P(NegativeLevel, WarnsAndDumpsEveryLevel) {
    BuildDesign();
    DumpTo(top_, "level.trax");
    Run(top_, GetParam());
    sim_.Finish();
    EXPECT_TRUE(
        Printed("*Tavri* Warning: $traxDumpvars - The level -2 is negative; all levels are dumped (level 0).\n"))
        << sim_.TranscriptText();
    Reading file(Path("level.trax"));
    ASSERT_EQ(file.status, TRAXR_OK) << file.message;
    EXPECT_EQ(AllNames(file), (std::vector<std::string>{"top.clk", "top.u.x"}));
}

INSTANTIATE_TEST_SUITE_P(Calls, NegativeLevel,
                         ::testing::Values("$traxDumpvars(-2, top)", "$traxDumpvars(top, -2)",
                                           "$traxDumpvars(\"level=\", -2, top)"));

TEST_F(ArgumentMessages, EmptyTraxfilePlusArgumentIsIgnoredWithAWarning) {
    sim_.AddPlusArg("+traxfile+");
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    Run(top_, "$traxDumpvars(1, top)");
    EXPECT_TRUE(Printed("*Tavri* Warning: The plus-argument +traxfile+ gives no file name; it is ignored.\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Create TRAX file 'verilog.trax'\n")) << sim_.TranscriptText();
    sim_.Finish();
    EXPECT_TRUE(std::filesystem::exists(dir_ / "verilog.trax"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / std::to_string(::getpid())));
}

TEST_F(ArgumentMessages, EmptyTraxfilePlusArgumentLeavesTheTaskName) {
    sim_.AddPlusArg("+traxfile+");
    BuildDesign();
    ScopedWorkingDirectory in_scratch(dir_);
    DumpTo(top_, "named.trax");
    EXPECT_TRUE(Printed("*Tavri* Warning: The plus-argument +traxfile+ gives no file name; it is ignored.\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Create TRAX file '" + Path("named.trax") + "'\n")) << sim_.TranscriptText();
    EXPECT_FALSE(std::filesystem::exists(dir_ / std::to_string(::getpid())));
}

// A dump file that cannot be created: the system's reason is given.
struct OpenFailure {
    const char *name;
    std::string path;    // relative to the scratch directory
    const char *reason;  // the system's text
    bool substitute;     // the name followed by the process id can be created instead
};

void PrintTo(const OpenFailure &test, std::ostream *out) { *out << test.name; }

class OpenFailures : public ArgumentMessages, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailures, TheReasonIsGiven) {
    const OpenFailure &test = GetParam();
    std::filesystem::create_directories(dir_ / "a_directory");
    std::ofstream(dir_ / "a_file") << "text";
    BuildDesign();
    const std::string path = Path(test.path);
    Run(top_, "$traxDumpfile(\"" + path + "\")");
    if (test.substitute) {
        EXPECT_TRUE(Printed("*Tavri* Warning: Cannot create TRAX file " + path + ": " + test.reason + ".\n"))
            << sim_.TranscriptText();
        EXPECT_TRUE(Printed("*Tavri* Warning: >>> Save to TRAX file " + path + std::to_string(::getpid()) +
                            " instead.\n"))
            << sim_.TranscriptText();
        EXPECT_FALSE(pli::g_dumper.files.empty());
    } else {
        EXPECT_TRUE(Printed("*Tavri* Error: Failed to create TRAX file: " + path + " (" + test.reason + ")\n"))
            << sim_.TranscriptText();
        EXPECT_TRUE(pli::g_dumper.files.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, OpenFailures,
    ::testing::Values(OpenFailure{"MissingDirectory", "missing/x.trax", "No such file or directory", false},
                      OpenFailure{"NameTooLong", std::string(300, 'n') + ".trax", "File name too long", false},
                      OpenFailure{"ParentIsAFile", "a_file/x.trax", "Not a directory", false},
                      OpenFailure{"ADirectory", "a_directory", "Is a directory", true}),
    [](const ::testing::TestParamInfo<OpenFailure> &param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tavri::test
