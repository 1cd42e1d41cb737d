// Under the execution-flow trace every task routine names itself: a run of
// each task, in an order that lets each do its work, and the lines it must
// leave on the transcript.
#include <fstream>
#include <functional>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class TaskTraceLines : public FrontEndTest {};

TEST_F(TaskTraceLines, EveryTaskRoutineTracesItsEntry) {
    Scope *top = sim_.AddTopModule("top");
    sim_.AddReg(top, "r");
    sim_.AddNet(top, "bus", 3, 0);
    Scope *sub = sim_.AddModule(top, "sub");
    sim_.AddReg(sub, "q");
    std::ofstream(Path("scopes.txt")) << "1 top.sub\n";
    Run(top, "$traxDebug(\"-m 2\")");
    struct Case {
        std::string source;
        std::vector<std::string> lines;
        std::function<void()> then = nullptr;
    };
    const std::vector<Case> cases = {
        {"$traxDumplimit(20)", {"plicompileDumplimit()\n", "plitaskDumplimit()\n"}},
        {"$traxDumpStrength", {"plicompileDumpStrength()\n", "plitaskDumpStrength()\n"}},
        {"$traxDumpfile(\"" + Path("a.trax") + "\")", {"plitaskDumpfile()\n"}},
        {"$traxDumpvars(1, top)", {"plicompileDumpvars()\n", "plitaskDumpvars()\n", "Scope(top)\n"}},
        {"$traxDumpPattern(top, 0, \"*\", \"*\")", {"plicompilePattern()\n", "plitaskDumpPattern()\n"}},
        {"$traxDumpvarsToFile(\"" + Path("scopes.txt") + "\")", {"plitaskDumpvarsToFile()\n"}},
        {"$traxDumpoff", {"plitaskDumpoff()\n", "TraverseAllVars()\n"}},
        {"$traxDumpon", {"plitaskDumpon()\n", "plimiscDumpon() reason=11\n"}, [&] { sim_.EndStep(); }},
        {"$traxDumpflush", {"plitaskDumpflush()\n"}},
        {"$traxSwitchDumpfile(\"" + Path("b.trax") + "\")", {"plicompileSwitchFile()\n", "plitaskSwitchFile()\n"}},
        {"$traxSubstituteHier(\"chip\", 1)", {"plicompileDumpvars()\n"}},
        {"$traxDumpFinish",
         {"plitaskDumpvars()\n", "Begin CloseAllDumpFile() pid=", "Close TRAX file '", "End CloseAllDumpFile()\n"}},
        {"$traxAutoSwitchDumpfile(10, \"" + Path("auto") + "\", 2)",
         {"plicompileAutoSwitchFile()\n", "plitaskAutoSwitchFile()\n"}},
        {"$traxDumpvars(0, top)", {"plitaskDumpvars()\n"}, [&] { sim_.Finish(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        sim_.ClearTranscript();
        Run(top, c.source);
        if (c.then) c.then();
        for (const std::string &line : c.lines) {
            EXPECT_TRUE(Printed(line)) << line << " in\n" << sim_.TranscriptText();
        }
    }
    EXPECT_TRUE(Printed("plimiscTRAX() reason=9\n")) << "the finish reaches the shared misctf";
    EXPECT_TRUE(Errors().empty()) << Errors().front();
}

}  // namespace
}  // namespace tavri::test
