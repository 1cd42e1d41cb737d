// What trax does with inputs that cannot be read as a database: a FIFO or
// a directory is refused at once (a FIFO used to block the open forever),
// and every failure to open or read a file names the file and the
// system's reason.
#include <sys/stat.h>

#include <filesystem>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

namespace fs = std::filesystem;

class InputFile : public ToolTest {
  protected:
    // Runs every command on `path`; each must stop at once with one line
    // on the standard error stream that holds every text of `expected`.
    void ExpectRefused(const std::string &path, const std::vector<std::string> &expected) {
        for (const std::vector<std::string> &command :
             {std::vector<std::string>{"info", path}, {"tree", path}, {"dump", path},
              {"check", path}, {"vcd", path, "-o", PathFor("out.vcd")}}) {
            SCOPED_TRACE(command[0]);
            const Outcome run = Trax(command, TraxOptions{{}, 20});
            ASSERT_FALSE(run.timed_out) << "trax blocked";
            EXPECT_EQ(run.status, 2);
            ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
            for (const std::string &text : expected) {
                EXPECT_NE(run.err.find(text), std::string::npos)
                    << text << "\n" << run.err.substr(0, 400);
            }
            EXPECT_FALSE(fs::exists(PathFor("out.vcd")));
        }
    }
};

TEST_F(InputFile, AFifoIsRefusedWithoutBlocking) {
    const std::string fifo = PathFor("f.trax");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ExpectRefused(fifo, {fifo, "is a FIFO, not a regular file"});
}

TEST_F(InputFile, ADirectoryIsRefused) {
    const std::string dir = PathFor("d.trax");
    fs::create_directory(dir);
    ExpectRefused(dir, {dir, "is a directory, not a regular file"});
}

TEST_F(InputFile, OpenFailuresGiveTheReason) {
    ExpectRefused(PathFor("nosuch.trax"), {PathFor("nosuch.trax"), "No such file or directory"});
    // Longer than any path the system takes: the reason must survive the
    // length of the name in the message.
    const std::string long_path = PathFor(std::string(200, 'n') + "/" + std::string(4000, 'm'));
    ExpectRefused(long_path, {"File name too long"});
}

}  // namespace
}  // namespace tavri::tool_test
