// A database that a live writer is writing is nobody else's to open: a
// second writer is refused whatever the lock settings, and leaves the file
// and its side files as they are; a writer that died holds nothing.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "writer_fixture.h"
#include "writer/header_layout.h"

namespace tavri::test {
namespace {

namespace fs = std::filesystem;
using writer::kHdrFileStatus;
using writer::kHdrSessionCount;

class LiveWriter : public WriterTest {
  protected:
    std::vector<uint8_t> SideFiles() const {
        std::vector<uint8_t> all;
        for (const char *suffix : {"", ".tlist", ".slist", ".chain"}) {
            const std::vector<uint8_t> bytes = ReadFileBytes(Path(std::string("a.trax") + suffix));
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        return all;
    }
};

TEST_F(LiveWriter, ASecondWriterIsRefusedWhateverTheLockSettings) {
    struct Setting {
        const char *name;
        const char *value;
    };
    const std::string elsewhere = Path("elsewhere.lock");
    for (const Setting &setting : {Setting{"TRAX_ENV_SYNC_CONTROL", nullptr},
                                   Setting{"TRAX_ENV_SYNC_CONTROL", "off"},
                                   Setting{"TRAX_ENV_LOCK_FILE_LOC", elsewhere.c_str()}}) {
        SCOPED_TRACE(std::string(setting.name) + "=" + (setting.value != nullptr ? setting.value : "(unset)"));
        ScopedEnv env(setting.name, setting.value);
        txwObject *first = OpenWithOneSession("a.trax");
        ASSERT_NE(first, nullptr);
        // A reader in the same process opening and closing the file must not
        // take the writer's mark with it.
        ::close(::open(Path("a.trax").c_str(), O_RDONLY));
        const std::vector<uint8_t> before = SideFiles();
        CapturedWarnings().clear();

        // The same file under another spelling, so that it is not the same
        // open writer shared.
        const std::string other_spelling = (dir_ / "." / "a.trax").string();
        EXPECT_EQ(txw_OpenFile(other_spelling.c_str(), TXW_FILE_VERILOG), nullptr);
        EXPECT_TRUE(Warned("Another process is writing the TRAX file " + other_spelling +
                           "; it is left as it is.\n"));
        EXPECT_EQ(SideFiles(), before) << "the live file and its side files are untouched";

        ASSERT_EQ(txw_CloseFile(first), 0);
        const std::vector<uint8_t> file = ReadFileBytes(Path("a.trax"));
        ASSERT_GE(file.size(), 512u);
        EXPECT_EQ(file[kHdrFileStatus], 0) << "finished";
        EXPECT_EQ(LoadU32(file, kHdrSessionCount), 1u);
    }
}

TEST_F(LiveWriter, AWriterThatDiedHoldsNothing) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(OpenWithOneSession("a.trax") != nullptr ? 0 : 1);  // ends without closing
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    txwObject *next = txw_OpenFile(Path("a.trax").c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(next, nullptr) << "the dead writer's file is free to be written again";
    EXPECT_EQ(txw_CloseFile(next), 0);
}

TEST_F(LiveWriter, TheMarkIsGoneOnceTheWriterCloses) {
    txwObject *first = OpenWithOneSession("a.trax");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(txw_CloseFile(first), 0);
    const std::string other_spelling = (dir_ / "." / "a.trax").string();
    txwObject *next = txw_OpenFile(other_spelling.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(txw_CloseFile(next), 0);
}

}  // namespace
}  // namespace tavri::test
