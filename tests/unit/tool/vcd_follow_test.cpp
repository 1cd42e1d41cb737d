// trax vcd --follow on a file the writer extends between the polls: every
// poll shows whole steps only, the step held back at one poll comes at a
// later one, and the stream ends as the export of the finished file.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

#include "tool_test_util.h"
#include "vcd_follow.h"

namespace tavri::tool_test {
namespace {

class VcdFollow : public ToolTest {
  protected:
    // Follows `path` into a file; before each later poll runs the next of
    // `steps`, then keeps what the stream held after that poll.
    trax::FollowEnd Follow(const std::string &path, const std::vector<std::function<void()>> &steps) {
        const std::string out_path = PathFor("follow.vcd");
        std::FILE *out = std::fopen(out_path.c_str(), "w");
        EXPECT_NE(out, nullptr);
        size_t next = 0;
        trax::FollowOptions options;
        options.between_polls = [&] {
            after_poll.push_back(ReadFile(out_path));
            if (next < steps.size()) {
                steps[next++]();
            } else {
                ADD_FAILURE() << "the stream polled again after the last step";
                std::raise(SIGTERM);  // ends the stream
            }
        };
        std::string error;
        const trax::FollowEnd end = trax::FollowVcd(path, out, options, &error);
        std::fclose(out);
        streamed = ReadFile(out_path);
        EXPECT_TRUE(end != trax::FollowEnd::kFailed) << error;
        return end;
    }

    std::string Export(const std::string &path) {
        const Outcome run = Trax({"vcd", path, "-o", "-"});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }

    std::vector<std::string> after_poll;
    std::string streamed;
};

// The value lines under every `time` line of a VCD.
std::vector<std::string> At(const std::string &vcd, const std::string &time) {
    std::vector<std::string> values;
    bool in = false;
    for (const std::string &line : Lines(vcd)) {
        if (line.starts_with("#")) {
            in = line == time;
        } else if (in) {
            values.push_back(line);
        }
    }
    return values;
}

void Set(txwObject *obj, int idcode, uint8_t value) { txw_CreateVarValueByIdcode(obj, idcode, &value, 1); }

// Step 10 cut in two sessions, a stop in the middle of step 20 with more of
// step 20 after it, dumping off and on: the stream is the export.
TEST_F(VcdFollow, StreamsEveryStepOnceAndEndsWhenTheFileIsFinished) {
    const std::string path = PathFor("live.trax");
    txwObject *obj = OpenScalars(path, 3);
    txw_CreateXCoor(obj, 0, 5);
    for (int id = 1; id <= 3; ++id) Set(obj, id, 0);
    txw_CreateXCoor(obj, 0, 10);
    Set(obj, 1, 1);
    ASSERT_EQ(txw_Flush(obj), 0);  // step 10 is cut here
    const std::vector<std::function<void()>> steps = {
        [&] {
            Set(obj, 2, 1);
            Set(obj, 3, 1);
            EXPECT_EQ(txw_Flush(obj), 0);  // step 10 whole, but still the last one
        },
        [&] {
            txw_CreateXCoor(obj, 0, 20);
            Set(obj, 1, 0);
            EXPECT_EQ(txw_FlushAtStop(obj), 0);  // complete up to 20: shown
        },
        [&] {
            Set(obj, 2, 0);  // the run goes on in step 20 after the stop
            txw_CreateXCoor(obj, 0, 30);
            Set(obj, 3, 0);
            EXPECT_EQ(txw_Flush(obj), 0);
        },
        [&] {
            txw_CreateXCoor(obj, 0, 40);
            txw_DumpOff(obj);
            txw_CreateXCoor(obj, 0, 50);
            txw_DumpOn(obj);
            Set(obj, 1, 1);
            EXPECT_EQ(txw_Flush(obj), 0);
        },
        [&] { EXPECT_EQ(txw_CloseFile(obj), 0); },
    };
    ASSERT_EQ(Follow(path, steps), trax::FollowEnd::kFinished);
    ASSERT_EQ(after_poll.size(), steps.size());

    // Each poll: the steps before the last session's end, no more.
    const std::vector<std::vector<std::string>> shown_after = {
        {"#5"}, {"#5"}, {"#5", "#10", "#20"}, {"#5", "#10", "#20"}, {"#5", "#10", "#20", "#30", "#40"}};
    for (size_t poll = 0; poll < after_poll.size(); ++poll) {
        std::vector<std::string> times;
        for (const std::string &line : Lines(after_poll[poll])) {
            if (line.starts_with("#")) times.push_back(line);
        }
        EXPECT_EQ(times, shown_after[poll]) << "after poll " << poll << ":\n" << after_poll[poll];
        EXPECT_TRUE(after_poll[poll].ends_with("\n"));
    }
    // The stop showed s1 (") at 20; s2 (#) at 20 came a poll later, under
    // the same #20.
    EXPECT_EQ(At(after_poll[2], "#20"), std::vector<std::string>{"0\""});
    EXPECT_EQ(At(after_poll[3], "#20"), (std::vector<std::string>{"0\"", "0#"}));
    EXPECT_EQ(streamed, Export(path));
}

// The writer dies: the stream ends by itself with what was whole, which is
// what the export of the abandoned file shows.
TEST_F(VcdFollow, EndsWhenTheWriterIsGoneWithoutFinishing) {
    const std::string path = PathFor("dead.trax");
    const pid_t child = fork();
    if (child == 0) {
        txwObject *obj = OpenLiveScalar(path, {5, 10});
        (void)obj;
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Outcome run = Trax({"vcd", path, "-o", "-", "--follow"}, TraxOptions{{}, 20});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{"trax: " + path +
                                                       ": its writer is gone without finishing it; the "
                                                       "stream ends at time 10 (the step at 11 may be "
                                                       "incomplete and is not shown)"});
    EXPECT_EQ(run.out, Export(path));
    EXPECT_NE(run.out.find("#10\n"), std::string::npos) << run.out;
}

// A file that is no database, with no writer at work on it, is refused
// rather than waited for.
TEST_F(VcdFollow, RefusesAFileThatNoWriterIsMaking) {
    const std::string path = PathFor("notes.trax");
    WriteBytes(path, std::vector<uint8_t>(600, 'n'));
    const Outcome run = Trax({"vcd", path, "-o", "-", "--follow"}, TraxOptions{{}, 20});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, "");
}

// SIGTERM while the file grows: the stream stops after whole lines and is a
// well-formed start of the export.
TEST_F(VcdFollow, AStopSignalEndsTheStreamAfterWholeSteps) {
    const std::string path = PathFor("stopped.trax");
    txwObject *obj = OpenLiveScalar(path, {5, 10, 15});
    ASSERT_EQ(Follow(path, {[] { std::raise(SIGTERM); }}), trax::FollowEnd::kStopped);
    EXPECT_EQ(streamed, Export(path));
    EXPECT_TRUE(streamed.ends_with("#15\n1\"\n")) << streamed;  // s is 1 at 15
    EXPECT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::tool_test
