// The platform layer's file calls behave alike on POSIX and on Windows:
// reading at an offset, renaming over a file, removing an open file, and
// the writer's mark, which must not keep anyone from reading the database.
#include "platform/file_io.h"
#include "platform/writer_presence.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace tavri::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tavri_platform_" + std::to_string(ProcessIdForName()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    static long ProcessIdForName() { return static_cast<long>(reinterpret_cast<uintptr_t>(&dir_)) & 0xFFFF; }

    std::string Path(const char *name) const { return (dir_ / name).string(); }

    // Creates the file with the given bytes; the handle stays open.
    FileHandle Make(const char *name, const std::string &bytes) {
        const FileHandle file = CreateFile(Path(name).c_str());
        EXPECT_NE(file, kNoFile) << name;
        EXPECT_EQ(WriteSome(file, bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
        return file;
    }

    static std::string Read(const std::string &path) {
        const FileHandle file = OpenForReading(path.c_str());
        if (file == kNoFile) return "<cannot open>";
        char bytes[64] = {};
        const long got = ReadSome(file, bytes, sizeof bytes);
        Close(file);
        return got < 0 ? "<cannot read>" : std::string(bytes, static_cast<size_t>(got));
    }

    static inline fs::path dir_;
};

TEST_F(PlatformFilesTest, ReadAtLeavesThePositionWhereItWas) {
    const FileHandle file = Make("a", "0123456789");
    ASSERT_EQ(Seek(file, 2), 2);
    char bytes[3] = {};
    ASSERT_TRUE(ReadAt(file, 5, bytes, 3));
    EXPECT_EQ(std::string(bytes, 3), "567");
    EXPECT_EQ(Tell(file), 2);
    EXPECT_FALSE(ReadAt(file, 8, bytes, 3)) << "a short read is a failure";
    EXPECT_EQ(Size(file), 10);
    ASSERT_EQ(Truncate(file, 4), 0);
    EXPECT_EQ(Size(file), 4);
    Close(file);
}

TEST_F(PlatformFilesTest, RenameReplacesAndOpenFilesCanBeRenamedAndRemoved) {
    Close(Make("old", "old"));
    const FileHandle source = Make("new", "new");
    EXPECT_TRUE(IsSameFile(source, Path("new").c_str()));
    EXPECT_FALSE(IsSameFile(source, Path("old").c_str()));
    ASSERT_EQ(Rename(Path("new").c_str(), Path("old").c_str()), 0) << ErrorText(errno);
    EXPECT_EQ(Read(Path("old")), "new");
    EXPECT_FALSE(Exists(Path("new").c_str()));
    ASSERT_EQ(Remove(Path("old").c_str()), 0) << "a file still open is removed: " << ErrorText(errno);
    Close(source);
    EXPECT_FALSE(Exists(Path("old").c_str()));
    EXPECT_EQ(Remove(Path("old").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformFilesTest, WriterMarkKeepsOutASecondWriterButNoReader) {
    const FileHandle writer = Make("db.trax", "header");
    ASSERT_EQ(TakeWriterMark(writer), 1);
    const FileHandle second = OpenForReadWrite(Path("db.trax").c_str());
    ASSERT_NE(second, kNoFile);
    EXPECT_EQ(TakeWriterMark(second), 0);
    EXPECT_TRUE(HasLiveWriter(Path("db.trax").c_str()));
    EXPECT_EQ(Read(Path("db.trax")), "header") << "the mark blocks no read of the file";
    EXPECT_EQ(RemoveUnlessWritten(Path("db.trax").c_str()), 0);
    Close(second);
    Close(writer);
    EXPECT_FALSE(HasLiveWriter(Path("db.trax").c_str()));
    EXPECT_EQ(RemoveUnlessWritten(Path("db.trax").c_str()), 1);
    EXPECT_FALSE(Exists(Path("db.trax").c_str()));
}

}  // namespace
}  // namespace tavri::platform
