// trax check on a file its writer never finished (the writer died, or is
// still running): not "ok", but a line saying how much of it is readable,
// and an exit status of its own.
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
        int sessions;
        std::string says;
    };
    const std::vector<Case> cases = {
        {0, "no session committed, so no value change is readable"},
        {1, "1 committed session is readable, up to time 10"},
        {3, "3 committed sessions are readable, up to time 30"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sessions);
        const std::string live = PathFor("live" + std::to_string(c.sessions) + ".trax");
        const std::string dead = PathFor("dead" + std::to_string(c.sessions) + ".trax");
        txwObject *obj = txw_OpenFile(live.c_str(), TXW_FILE_VERILOG);
        ASSERT_NE(obj, nullptr);
        ASSERT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
        ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        ASSERT_EQ(txw_EndTree(obj), 0);
        for (int s = 1; s <= c.sessions; ++s) {
            const uint8_t value = static_cast<uint8_t>(s & 1);
            txw_CreateXCoor(obj, 0, static_cast<uint32_t>(10 * s));
            txw_CreateVarValueByIdcode(obj, 1, &value, 1);
            ASSERT_EQ(txw_Flush(obj), 0);
        }
        for (const char *suffix : {"", ".tlist", ".slist", ".chain", ".str"}) {
            if (fs::exists(live + suffix)) fs::copy_file(live + suffix, dead + suffix);
        }
        ASSERT_EQ(txw_CloseFile(obj), 0);

        const Outcome run = Trax({"check", dead});
        EXPECT_EQ(run.status, 3) << run.out << run.err;
        EXPECT_EQ(run.OutLines(),
                  (std::vector<std::string>{
                      dead + ": not finished (file status 2, batch): its writer is still running "
                             "or stopped without closing it; " + c.says}));
        EXPECT_EQ(Trax({"check", live}).OutLines(), (std::vector<std::string>{live + ": ok"}));
    }
}

}  // namespace
}  // namespace tavri::tool_test
