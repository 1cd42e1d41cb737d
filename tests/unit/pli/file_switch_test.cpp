// $traxSwitchDumpfile and $traxAutoSwitchDumpfile: argument checks and
// their messages, a switch in the middle of a run, the numbered series
// with recycling, the log's format, and the stops and failures of a series.
#include <fstream>
#include <iterator>

#include "frontend_fixture.h"
#include "pli/file_switch.h"
#include "pli/writer_api.h"

namespace tavri::test {
namespace {

class FileSwitch : public FrontEndTest {
  protected:
    void BuildDesign() {
        top_ = sim_.AddTopModule("top");
        clk_ = sim_.AddReg(top_, "clk");
        bus_ = sim_.AddReg(top_, "bus", 7, 0);
    }

    static std::string Contents(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // What the writer does when the current file of the series is full.
    static void FileIsFull(bool limit_too_small = false) {
        txwAutoSwitchInfo info{};
        info.writer = pli::g_dumper.current_writer;
        info.limit_too_small = limit_too_small ? 1 : 0;
        pli::AutoSwitchRoutine(&info, &pli::g_dumper.current_writer);
    }

    // A series of 10 MB files named run in the scratch directory, with the
    // design dumped.
    void StartSeries(int amount, const std::string &log = "") {
        BuildDesign();
        const std::string args = "(10, \"" + Path("run.trax") + "\", " + std::to_string(amount) +
                                 (log.empty() ? "" : ", \"" + log + "\"") + ")";
        Run(top_, "$traxAutoSwitchDumpfile" + args);
        ASSERT_NE(pli::g_dumper.current_writer, nullptr) << sim_.TranscriptText();
        Run(top_, "$traxDumpvars(0, top)");
    }

    Scope *top_ = nullptr;
    Signal *clk_ = nullptr;
    Signal *bus_ = nullptr;
};

TEST_F(FileSwitch, ArgumentChecks) {
    BuildDesign();
    struct Case {
        const char *call;
        const char *error;  // tf_error of the check, or null when it passes
    };
    const Case cases[] = {
        {"$traxSwitchDumpfile", "Syntax error - $traxSwitchDumpfile(\"TRAX_filename\");"},
        {"$traxSwitchDumpfile(\"a.trax\", \"b.trax\")", "Syntax error - $traxSwitchDumpfile(\"TRAX_filename\");"},
        {"$traxSwitchDumpfile(\"a.trax\")", nullptr},
        {"$traxAutoSwitchDumpfile(10, \"run\")",
         "Syntax error - $traxAutoSwitchDumpfile(filesize, \"TRAX_filename\", amount [,log_filename]);"},
        {"$traxAutoSwitchDumpfile(10, \"run\", 3, \"log\", 1)",
         "Syntax error - $traxAutoSwitchDumpfile(filesize, \"TRAX_filename\", amount [,log_filename]);"},
        {"$traxAutoSwitchDumpfile(10, \"run\", 3)", nullptr},
        {"$traxAutoSwitchDumpfile(10, \"run\", 3, \"run.log\")", nullptr},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        TaskCall *call = sim_.AddTaskCall(top_, c.call);
        const int result = sim_.RunCheck(call);
        if (c.error == nullptr) {
            EXPECT_EQ(result, 1) << c.call;
            EXPECT_EQ(sim_.CountMessages(ModelSim::Channel::kError), 0) << c.call << sim_.TranscriptText();
        } else {
            EXPECT_EQ(result, 0) << c.call;
            EXPECT_TRUE(Printed(std::string("ERROR: ") + c.error + "\n")) << c.call << sim_.TranscriptText();
        }
    }
}

TEST_F(FileSwitch, BadArgumentsOfTheTasksAreRefused) {
    BuildDesign();
    struct Case {
        std::string call;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {"$traxSwitchDumpfile(\"x.trax\")", "*Tavri* Warning: $traxSwitchDumpfile - The TRAX file has not been created.\n"},
        {"$traxSwitchDumpfile(\"\")", "WARNING: $traxSwitchDumpfile - Invalid filename argument.\n"},
        {"$traxAutoSwitchDumpfile(0, \"run\", 3)",
         "WARNING: $traxAutoSwitchDumpfile - Invalid argument for file limitation.\n"},
        {"$traxAutoSwitchDumpfile(10, \"\", 3)", "WARNING: $traxAutoSwitchDumpfile - Invalid argument for file name.\n"},
        {"$traxAutoSwitchDumpfile(10, \"run\", -1)",
         "WARNING: $traxAutoSwitchDumpfile - Invalid argument for file amount.\n"},
        {"$traxAutoSwitchDumpfile(10, \"run\", 3, \"\")",
         "WARNING: $traxAutoSwitchDumpfile - Invalid argument for log filename.\n"},
    };
    for (const Case &c : cases) {
        sim_.ClearTranscript();
        Run(top_, c.call);
        EXPECT_TRUE(Printed(c.warning)) << c.call << "\n" << sim_.TranscriptText();
        EXPECT_EQ(pli::g_dumper.current_writer, nullptr) << c.call;
    }
    // The front end's own entry (also the Tcl command's) says the same
    // without the "$".
    EXPECT_EQ(pli::StartSwitchSeries(0, "run", 1, std::nullopt), 0);
    EXPECT_TRUE(Printed("*Tavri* Warning: traxAutoSwitchDumpfile - Invalid argument for file limitation.\n"));
    EXPECT_EQ(pli::StartSwitchSeries(5, "run", -2, std::nullopt), 0);
    EXPECT_TRUE(Printed("*Tavri* Warning: traxAutoSwitchDumpfile - Invalid argument for file amount.\n"));

    // No series beside an open file, no named switch inside a series.
    DumpTo(top_, "open.trax");
    sim_.ClearTranscript();
    Run(top_, "$traxAutoSwitchDumpfile(10, \"" + Path("run") + "\", 3)");
    EXPECT_TRUE(Printed("*Tavri* Warning: traxAutoSwitchDumpfile is already disabled.\n")) << sim_.TranscriptText();
    pli::CloseAllDumpFile();
    Run(top_, "$traxAutoSwitchDumpfile(10, \"" + Path("series") + "\", 3)");
    ASSERT_NE(pli::g_dumper.current_writer, nullptr);
    Run(top_, "$traxSwitchDumpfile(\"" + Path("other.trax") + "\")");
    EXPECT_TRUE(Printed("WARNING: $traxSwitchDumpfile is already disabled.\n")) << sim_.TranscriptText();
    EXPECT_FALSE(std::filesystem::exists(Path("other.trax")));
}

TEST_F(FileSwitch, SwitchInTheMiddleOfARunStartsTheNewFileWithEveryValue) {
    BuildDesign();
    DumpTo(top_, "a.trax");
    Run(top_, "$traxDumpvars(0, top)");
    sim_.SetValue(clk_, "1");
    sim_.SetValue(bus_, "00000011");
    sim_.EndStep();
    sim_.AdvanceTo(5);
    sim_.SetValue(clk_, "0");
    sim_.EndStep();
    sim_.AdvanceTo(10);
    sim_.SetValue(bus_, "00000111");
    Run(top_, "$traxSwitchDumpfile(\"" + Path("b.trax") + "\")");
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(15);
    sim_.SetValue(bus_, "00001111");
    sim_.EndStep();
    sim_.Finish();

    EXPECT_TRUE(Printed("*Tavri* $traxSwitchDumpfile - Switch to the new TRAX file '" + Path("b.trax") + "'.\n"))
        << sim_.TranscriptText();
    Reading a(Path("a.trax"));
    ASSERT_EQ(a.status, TRAXR_OK) << a.message;
    EXPECT_EQ(ChangesOf(a, "top.clk"), (std::vector<Seen>{At(0, "1"), At(5, "0")}));
    EXPECT_EQ(ChangesOf(a, "top.bus[7:0]"), (std::vector<Seen>{At(0, "00000011")}));
    EXPECT_EQ(a.Header().maximum_xtag, 10u);
    Reading b(Path("b.trax"));
    ASSERT_EQ(b.status, TRAXR_OK) << b.message;
    EXPECT_EQ(b.Header().minimum_xtag, 10u);
    // The value at the end of the step: the change after the switch.
    EXPECT_EQ(ChangesOf(b, "top.clk"), (std::vector<Seen>{At(10, "1")}));
    EXPECT_EQ(ChangesOf(b, "top.bus[7:0]"), (std::vector<Seen>{At(10, "00000111"), At(15, "00001111")}));
}

TEST_F(FileSwitch, SeriesNamesRecycleAndTheLogGivesEachFilesRange) {
    StartSeries(3);
    EXPECT_TRUE(Printed("*Tavri* Enable automatic switch TRAX file.\n"));
    EXPECT_TRUE(Printed("*Tavri* (Filename='" + Path("run_000.trax") + "', Limit Size=10MB, File Amount=3).\n"));
    EXPECT_TRUE(Printed("*Tavri* Create the file '" + Path("run.log") +
                        "' to log the time range of each TRAX file.\n"));
    const std::vector<uint64_t> times = {1000, 2500000, 3000000, 1234567890, 1234567891};
    const std::vector<std::string> names = {"run_001", "run_002", "run_000", "run_001", "run_002"};
    for (size_t i = 0; i < times.size(); ++i) {
        sim_.AdvanceTo(times[i]);
        sim_.SetValue(clk_, i % 2 == 0 ? "1" : "0");
        sim_.EndStep();
        FileIsFull();
        EXPECT_EQ(pli::g_dumper.files.front().name, Path(names[i] + ".trax"));
        EXPECT_TRUE(Printed("*Tavri* $traxAutoSwitchDumpfile - Switch to the new TRAX file '" +
                            Path(names[i] + ".trax") + "'.\n"))
            << sim_.TranscriptText();
    }
    sim_.AdvanceTo(1234567899);
    sim_.EndStep();
    sim_.Finish();

    const std::string run0 = Path("run_000.trax");
    const std::string pad(run0.size() - 9, ' ');
    const std::string expected = "File Name" + pad + "    Time\n" +          //
                                 Path("run_000.trax") + "    0 to 1,000\n" +  //
                                 Path("run_001.trax") + "    1,000 to 2,500,000\n" +
                                 Path("run_002.trax") + "    2,500,000 to 3,000,000\n" +
                                 Path("run_000.trax") + "    3,000,000 to 1,234,567,890\n" +
                                 Path("run_001.trax") + "    1,234,567,890 to 1,234,567,891\n" +
                                 Path("run_002.trax") + "    1,234,567,891 to 1,234,567,899\n";
    EXPECT_EQ(Contents(Path("run.log")), expected);

    // The recycled run_000 holds the fourth range and starts with the values.
    Reading recycled(Path("run_000.trax"));
    ASSERT_EQ(recycled.status, TRAXR_OK) << recycled.message;
    EXPECT_EQ(recycled.Header().minimum_xtag, 3000000u);
    EXPECT_EQ(ChangesOf(recycled, "top.clk"), (std::vector<Seen>{At(3000000, "1"), At(1234567890, "0")}));
    EXPECT_FALSE(std::filesystem::exists(Path("run_003.trax")));
}

TEST_F(FileSwitch, UnlimitedSeriesCountsPast999AndShortNamesKeepTheHeader) {
    ScopedWorkingDirectory here(dir_);
    BuildDesign();
    Run(top_, "$traxAutoSwitchDumpfile(10, \"r.trax\", 0, \"" + Path("series.log") + "\")");
    ASSERT_NE(pli::g_dumper.current_writer, nullptr) << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Warning: Unlimited number of TRAX files will be created.\n"));
    EXPECT_TRUE(std::filesystem::exists(Path("r_000.trax"))) << "the extension is cut once";
    pli::g_dumper.series.index = 999;
    FileIsFull();
    EXPECT_EQ(pli::g_dumper.files.front().name, "r_1000.trax");
    pli::CloseAllDumpFile();
    // "File Name" padded to the length of "r_000.trax".
    EXPECT_EQ(Contents(Path("series.log")), "File Name     Time\nr_000.trax    0 to 0\nr_1000.trax    0 to 0\n");
    EXPECT_EQ(pli::SeriesFileName("base", 7), "base_007.trax");
    EXPECT_EQ(pli::SeriesFileName("base", 1234), "base_1234.trax");
    for (const auto &[time, text] : std::vector<std::pair<uint64_t, std::string>>{
             {0, "0"}, {999, "999"}, {1000, "1,000"}, {100000, "100,000"}, {18446744073709551615u,
                                                                            "18,446,744,073,709,551,615"}}) {
        EXPECT_EQ(pli::GroupedTime(time), text);
    }
}

TEST_F(FileSwitch, UnwritableLogOnlyWarns) {
    StartSeries(2, Path("no/such/dir/run.log"));
    EXPECT_TRUE(Printed("*Tavri* Error: Failed to create log file '" + Path("no/such/dir/run.log") + "'.\n"))
        << sim_.TranscriptText();
    sim_.AdvanceTo(20);
    FileIsFull();
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("run_001.trax"));
}

TEST_F(FileSwitch, UnwritableNextFileLeavesTheFinishedFileAndNoWriter) {
    StartSeries(3);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    std::filesystem::create_directory(Path("run_001.trax"));  // cannot be opened as a file
    sim_.AdvanceTo(40);
    FileIsFull();
    EXPECT_TRUE(Printed("*Tavri* Error: $traxAutoSwitchDumpfile - Failed to switch to the new TRAX file '" +
                        Path("run_001.trax") + "'.\n"))
        << sim_.TranscriptText();
    EXPECT_EQ(pli::g_dumper.current_writer, nullptr);
    EXPECT_TRUE(pli::g_dumper.files.empty());
    sim_.AdvanceTo(50);
    sim_.SetValue(clk_, "0");  // recorded nowhere, and nothing breaks
    sim_.EndStep();
    sim_.Finish();
    Reading first(Path("run_000.trax"));
    ASSERT_EQ(first.status, TRAXR_OK) << first.message;
    EXPECT_EQ(first.Header().file_status, 0);
    EXPECT_EQ(ChangesOf(first, "top.clk"), (std::vector<Seen>{At(0, "1")}));
    EXPECT_EQ(Contents(Path("run.log")).substr(0, 9), "File Name");
}

TEST_F(FileSwitch, ClosedSeriesNamesAreNotReused) {
    StartSeries(3);
    Run(top_, "$traxDumpFinish");
    sim_.ClearTranscript();
    Run(top_, "$traxAutoSwitchDumpfile(10, \"" + Path("run.trax") + "\", 3)");
    EXPECT_TRUE(Printed("*Tavri* Warning: You have closed the TRAX file(" + Path("run_000.trax") +
                        ") in this simulation.\n"))
        << sim_.TranscriptText();
    // The base takes the first free number of run.trax: run_001.
    EXPECT_TRUE(Printed("*Tavri* Warning: Create a new TRAX file(" + Path("run_001_000.trax") + ") instead.\n"));
    EXPECT_EQ(pli::g_dumper.files.front().name, Path("run_001_000.trax"));
}

TEST_F(FileSwitch, TwoGigabyteRoutineGoesOnInATemporaryFileAndClosesTheLog) {
    StartSeries(3);
    sim_.SetValue(clk_, "1");
    sim_.EndStep();
    sim_.AdvanceTo(30);
    txwObject *writer = pli::g_dumper.current_writer;
    pli::TwoGigabyteRoutine(&writer);
    const std::string temporary = Path("run_000.trax") + ".tmp";
    ASSERT_EQ(pli::g_dumper.files.size(), 1u);
    EXPECT_EQ(pli::g_dumper.files.front().name, temporary);
    EXPECT_EQ(pli::g_dumper.files.front().temporary, 1u);
    EXPECT_EQ(pli::g_dumper.current_writer, writer) << "the new writer is current";
    EXPECT_EQ(Contents(Path("run.log")), "File Name" + std::string(Path("run_000.trax").size() - 9, ' ') +
                                             "    Time\n" + Path("run_000.trax") + "    0 to 30\n");
    Reading first(Path("run_000.trax"));
    ASSERT_EQ(first.status, TRAXR_OK) << first.message;
    EXPECT_EQ(ChangesOf(first, "top.clk"), (std::vector<Seen>{At(0, "1")}));
    sim_.Finish();
    EXPECT_FALSE(std::filesystem::exists(temporary)) << "finished and removed at the close";

    // Without a temporary file the record goes: nothing is left to write to.
    pli::ResetDumperState();
    pli::RegisterDumper();
    DumpTo(top_, "big.trax");
    std::filesystem::create_directory(Path("big.trax.tmp"));
    writer = pli::g_dumper.current_writer;
    pli::TwoGigabyteRoutine(&writer);
    EXPECT_TRUE(Printed("*Tavri* Error: Failed to switch to the temporal TRAX file '" + Path("big.trax.tmp") + "'.\n"));
    EXPECT_EQ(writer, nullptr);
    EXPECT_EQ(pli::g_dumper.current_writer, nullptr);
    EXPECT_TRUE(pli::g_dumper.files.empty());
}

using FileSwitchDeathTest = FileSwitch;

TEST_F(FileSwitchDeathTest, SeriesStopsWhenTheLimitIsTooSmallOrTheTreeIsNotDone) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StartSeries(3);
    // Each dying run removes its own directory: it ends without TearDown.
    EXPECT_EXIT(
        {
            std::filesystem::remove_all(dir_);
            FileIsFull(true);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(
        {
            std::filesystem::remove_all(dir_);
            pli::g_txw.BeginTree(pli::g_dumper.current_writer);
            pli::g_dumper.tree_depth = 1;
            FileIsFull();
        },
        ::testing::ExitedWithCode(1), "");
    // A first file that cannot be opened stops the run at once.
    pli::CloseAllDumpFile();
    pli::g_dumper.closed_names.clear();
    std::filesystem::create_directory(Path("stop_000.trax"));
    EXPECT_EXIT(
        {
            std::filesystem::remove_all(dir_);
            pli::StartSwitchSeries(10, Path("stop"), 1, std::nullopt);
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace tavri::test
