// A dump file name that another simulation is writing now: the run takes the
// next numbered name that nobody writes, says so, and leaves the other
// simulation's files alone.
#include <sys/wait.h>
#include <unistd.h>

#include "frontend_fixture.h"

namespace tavri::test {
namespace {

class LiveFileName : public FrontEndTest {};

TEST_F(LiveFileName, ANameBeingWrittenElsewhereGivesTheNextFreeNumberedName) {
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        close(ready[0]);
        close(release[1]);
        // The other simulation writes busy.trax and busy_000.trax.
        txwObject *first = txw_OpenFile(Path("busy.trax").c_str(), TXW_FILE_VERILOG);
        txwObject *second = txw_OpenFile(Path("busy_000.trax").c_str(), TXW_FILE_VERILOG);
        char byte = first != nullptr && second != nullptr ? 'R' : 'F';
        if (write(ready[1], &byte, 1) != 1 || read(release[0], &byte, 1) != 0) {
            _exit(3);
        }
        _exit(txw_CloseFile(first) == 0 && txw_CloseFile(second) == 0 ? 0 : 4);
    }
    close(ready[1]);
    close(release[0]);
    // Closing the pipe lets the other simulation end, whatever happens here.
    struct Release {
        int pipe;
        ~Release() { close(pipe); }
    } release_at_end{release[1]};
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'R');

    Scope *top = sim_.AddTopModule("top");
    Signal *clk = sim_.AddReg(top, "clk");
    DumpTo(top, "busy.trax");
    Run(top, "$traxDumpvars(1, top)");
    sim_.SetValue(clk, "1");
    sim_.EndStep();
    sim_.Finish();
    EXPECT_TRUE(Printed("*Tavri* Warning: Another simulation is writing the TRAX file(" + Path("busy.trax") +
                        ") now.\n"))
        << sim_.TranscriptText();
    EXPECT_TRUE(Printed("*Tavri* Warning: Create a new TRAX file(" + Path("busy_001.trax") + ") instead.\n"))
        << sim_.TranscriptText();
    Reading ours(Path("busy_001.trax"));
    ASSERT_EQ(ours.status, TRAXR_OK) << ours.message;
    EXPECT_EQ(ChangesOf(ours, "top.clk"), (std::vector<Seen>{At(0, "1")}));

    close(release[1]);
    release_at_end.pipe = -1;
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other simulation closed its files";
    for (const char *name : {"busy.trax", "busy_000.trax"}) {
        Reading theirs(Path(name));
        ASSERT_EQ(theirs.status, TRAXR_OK) << name << ": " << theirs.message;
        EXPECT_EQ(theirs.Header().file_status, 0) << name;
        EXPECT_EQ(traxr_MaxIdcode(theirs.reader), 0u) << name << " holds the other simulation's empty tree";
    }
}

}  // namespace
}  // namespace tavri::test
