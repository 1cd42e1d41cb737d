// Files made larger than their content (here sparsely, as `truncate -s`
// does): every command reads only what the file's own structures name, so
// its memory stays small whatever the size of the file.
#include <filesystem>

#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kHoles = uintmax_t{2} << 30;  // 2 GB that take no disk space
constexpr long kMemoryBoundKb = 200 * 1024;

class SparseFile : public ToolTest {
  protected:
    Outcome Run(const std::vector<std::string> &args) {
        const Outcome run = Trax(args, TraxOptions{{}, 120});
        EXPECT_FALSE(run.timed_out) << args[0];
        EXPECT_LT(run.peak_rss_kb, kMemoryBoundKb) << args[0];
        return run;
    }
};

TEST_F(SparseFile, AFinishedFileExtendedPastItsEnd) {
    const std::string path = PathFor("sparse.trax");
    WriteSample(path);
    const std::string dump = Trax({"dump", path}).out;
    const uintmax_t size = fs::file_size(path);
    fs::resize_file(path, size + kHoles);

    for (const char *command : {"info", "tree"}) {
        EXPECT_EQ(Run({command, path}).status, 0) << command;
    }
    const Outcome run = Run({"dump", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, dump);
    EXPECT_EQ(Run({"vcd", path, "-o", PathFor("out.vcd")}).status, 0);
    // The bytes after the chain table, the last structure, are no part of
    // a finished file.
    const Outcome check = Run({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.OutLines(),
              (std::vector<std::string>{path + ": file: " + std::to_string(kHoles) +
                                        " bytes follow the chain table, which ends a finished "
                                        "file at " + std::to_string(size)}));
}

TEST_F(SparseFile, ALiveFileWithExtendedSideFiles) {
    const std::string path = PathFor("live.trax");
    txwObject *obj = OpenLiveScalar(path, {5});
    ASSERT_NE(obj, nullptr);
    std::vector<uintmax_t> sizes;
    for (const char *side : {".tlist", ".chain"}) {
        sizes.push_back(fs::file_size(path + side));
        fs::resize_file(path + side, sizes.back() + kHoles);
    }
    const Outcome run = Run({"dump", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"5 top/s 1"}));
    // Back to their size, so that closing does not copy the holes.
    fs::resize_file(path + ".tlist", sizes[0]);
    fs::resize_file(path + ".chain", sizes[1]);
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace
}  // namespace tavri::tool_test
