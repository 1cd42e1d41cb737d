// A file that cannot be created: errno still tells the caller why when the
// open returns, whatever printing the writer's message did to it.
#include <cerrno>

#include "writer_fixture.h"

namespace tavri::test {
namespace {

// A transcript that changes errno while it prints, as a terminal check does.
void WarningThatTouchesErrno(const char *text) {
    CaptureWarning(text);
    errno = ENOTTY;
}

struct Failure {
    const char *name;
    const char *file;       // in the scratch directory
    const char *directory;  // made there first, or null
    int error_number;
};

class OpenFailure : public WriterTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(OpenFailure, ErrnoTellsWhy) {
    const Failure &failure = GetParam();
    if (failure.directory != nullptr) std::filesystem::create_directories(dir_ / failure.directory);
    txw_SetMessageHooks(WarningThatTouchesErrno, nullptr, nullptr);
    errno = 0;
    EXPECT_EQ(txw_OpenFile(Path(failure.file).c_str(), TXW_FILE_VERILOG), nullptr);
    const int error_number = errno;
    EXPECT_EQ(error_number, failure.error_number) << std::strerror(error_number);
    EXPECT_FALSE(CapturedWarnings().empty()) << "the writer says which file failed";
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailure,
    ::testing::Values(Failure{"MissingDirectory", "missing/a.trax", nullptr, ENOENT},
                      Failure{"Directory", "dir.trax", "dir.trax", EISDIR},
                      Failure{"SideFileIsADirectory", "b.trax", "b.trax.tlist", EISDIR}),
    [](const ::testing::TestParamInfo<Failure> &param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tavri::test
