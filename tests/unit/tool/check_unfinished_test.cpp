// trax check on a file its writer never finished (the writer died, or is
// still running): not "ok", but a line saying how much of it is readable and,
// when no writer holds it any more, how to recover it; an exit status of its
// own.
#include <filesystem>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

namespace fs = std::filesystem;

class CheckUnfinished : public ToolTest {};

// The files of a live writer copied after its flushes are what a writer
// that died then leaves behind.
TEST_F(CheckUnfinished, ADeadWritersFileSaysWhatIsReadable) {
    struct Case {
        std::vector<uint32_t> session_times;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, "no session committed, so no value change is readable"},
        {{10},
         "1 committed session is readable, up to time 10 (the step at 11 may be incomplete and is not "
         "shown)"},
        {{10, 20, 30},
         "3 committed sessions are readable, up to time 30 (the step at 31 may be incomplete and is "
         "not shown)"},
    };
    for (const Case &c : cases) {
        const std::string sessions = std::to_string(c.session_times.size());
        SCOPED_TRACE(sessions);
        const std::string live = PathFor("live" + sessions + ".trax");
        const std::string dead = PathFor("dead" + sessions + ".trax");
        txwObject *obj = OpenLiveScalar(live, c.session_times);
        ASSERT_NE(obj, nullptr);
        for (const char *suffix : {"", ".tlist", ".slist", ".chain", ".str"}) {
            if (fs::exists(live + suffix)) fs::copy_file(live + suffix, dead + suffix);
        }

        const Outcome run = Trax({"check", dead});
        EXPECT_EQ(run.status, 3) << run.out << run.err;
        EXPECT_EQ(run.OutLines(),
                  (std::vector<std::string>{
                      dead + ": not finished (file status 2, batch): its writer stopped without "
                             "closing it; " + c.says + "; trax recover " + dead +
                      " rebuilds a finished file from them"}));
        // The same files while their writer still has them open.
        const Outcome running = Trax({"check", live});
        EXPECT_EQ(running.OutLines(),
                  (std::vector<std::string>{live + ": not finished (file status 2, batch): its writer "
                                                   "is still running; " + c.says}));
        ASSERT_EQ(txw_CloseFile(obj), 0);
        EXPECT_EQ(Trax({"check", live}).OutLines(), (std::vector<std::string>{live + ": ok"}));
    }
}

// A writer that flushed while the simulation was paused left a file complete
// up to the stop: nothing is held back, so no incomplete step is mentioned.
TEST_F(CheckUnfinished, AFileFlushedAtAStopIsReadableUpToTheStop) {
    const std::string live = PathFor("stopped.trax");
    const std::string dead = PathFor("stopped-dead.trax");
    txwObject *obj = OpenLiveScalar(live, {10});
    ASSERT_NE(obj, nullptr);
    txw_CreateXCoor(obj, 0, 15);
    uint8_t value = 0;
    txw_CreateVarValueByIdcode(obj, 1, &value, 1);
    ASSERT_EQ(txw_FlushAtStop(obj), 0);
    for (const char *suffix : {"", ".tlist", ".slist", ".chain", ".str"}) {
        if (fs::exists(live + suffix)) fs::copy_file(live + suffix, dead + suffix);
    }
    ASSERT_EQ(txw_CloseFile(obj), 0);

    const Outcome run = Trax({"check", dead});
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_EQ(run.OutLines(),
              (std::vector<std::string>{dead + ": not finished (file status 2, batch): its writer stopped "
                                               "without closing it; 2 committed sessions are readable, up to "
                                               "time 15 (flushed at a stop at time 15); trax recover " +
                                               dead + " rebuilds a finished file from them"}));
}

}  // namespace
}  // namespace tavri::tool_test
