// Live files: the index structures come from the side files, only as much
// of them as the header counts, and they are read under the writer's lock
// when synchronous control is on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

TraxBuilder OneSession() {
    TraxBuilder b;
    b.AddTree({ScopeDef("top").Vars({VarDef("a", 1), VarDef("s", 2).Bpb(2)})});
    b.AddString("first");
    // Time moved on before the flush: time 10 is whole (a live file's last
    // session's end time is not shown).
    b.AddTimeTag(11);
    b.AddSession(
        {Scalar(1, {{10, 1}}), ArrayDef(2, {GroupDef{4, 2, 4, {ChangeDef(10).Words({0})}}})});
    return b;
}

void Append(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

TEST(readerLive, SideFilesGiveTheIndex) {
    TraxBuilder b = OneSession();
    b.AddString("not flushed yet");
    const std::string path = PathFor("live.trax");
    b.WriteLive(path);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(traxr_IsLive(f.reader), 1);
    EXPECT_EQ(traxr_GetHeader(f.reader)->file_status, 2);
    EXPECT_EQ(traxr_GetHeader(f.reader)->chain_uoff, 0u);
    EXPECT_EQ(traxr_SessionCount(f.reader), 1u);
    EXPECT_EQ(traxr_StringCount(f.reader), 1u);
    EXPECT_EQ(ReadValues(f.reader, 1).at(0).time, 10u);
    EXPECT_EQ(ReadValues(f.reader, 2).at(0).text, "first");
}

// A session or string being appended is not counted by the header yet.
TEST(readerLive, BytesBeyondTheCountedSizesAreIgnored) {
    const std::string path = PathFor("partial.trax");
    OneSession().WriteLive(path);
    Append(path + ".slist", {0x0F, 0, 0, 0, 1});
    Append(path + ".str", {'h', 'a', 'l'});
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(traxr_SessionCount(f.reader), 1u);
    EXPECT_EQ(traxr_StringCount(f.reader), 1u);
}

TEST(readerLive, ShortSideFilesAreTruncatedAndMissingOnesFail) {
    const std::string path = PathFor("short.trax");
    TraxBuilder b = OneSession();
    const TraxBuilder::Live live = b.LiveFiles();
    for (const char *side : {".tlist", ".slist", ".str", ".chain"}) {
        b.WriteLive(path);
        std::vector<uint8_t> bytes = side == std::string(".tlist")   ? live.tlist
                                     : side == std::string(".slist") ? live.slist
                                     : side == std::string(".str")   ? live.str
                                                                     : live.chain;
        bytes.pop_back();
        WriteFile(path + side, bytes);
        EXPECT_EQ(Opened(path).status, TRAXR_ERR_TRUNCATED) << side;
        std::remove((path + side).c_str());
        EXPECT_EQ(Opened(path).status, TRAXR_ERR_IO) << side;
    }
}

// A tree ended after the last session: the chain table does not reach its
// idcodes yet, which then have no changes.
TEST(readerLive, TreeEndedSinceTheLastSession) {
    TraxBuilder b = OneSession();
    const std::vector<uint8_t> old_chain = b.LiveFiles().chain;
    b.AddTree({ScopeDef("later").Vars({VarDef("c", 3)})});
    const std::string path = PathFor("latertree.trax");
    b.WriteLive(path);
    WriteFile(path + ".chain", old_chain);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(traxr_TreeCount(f.reader), 2u);
    EXPECT_EQ(traxr_ChainTableSize(f.reader), 3u);
    traxrStatus status;
    EXPECT_TRUE(ReadValues(f.reader, 3, &status).empty());
    EXPECT_EQ(status, TRAXR_OK);
    EXPECT_EQ(ReadValues(f.reader, 1).size(), 1u);
}

// Holds the lock on `lock_path` in a child process; once the parent has
// started to wait, rewrites the live file as `next` and lets go.
class LockHolder {
  public:
    LockHolder(const std::string &lock_path, const TraxBuilder *next, const std::string &path) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        child_ = ::fork();
        if (child_ == 0) {
            const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT, 0666);
            struct flock range {};
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            range.l_len = 1;
            if (fd < 0 || ::fcntl(fd, F_SETLKW, &range) != 0) ::_exit(1);
            if (::write(ready[1], "x", 1) != 1) ::_exit(1);
            ::usleep(400000);
            if (next != nullptr) next->WriteLive(path);
            range.l_type = F_UNLCK;
            ::fcntl(fd, F_SETLK, &range);
            ::_exit(0);
        }
        char byte;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockHolder() { Wait(); }
    int Wait() {
        int status = -1;
        if (child_ > 0) ::waitpid(child_, &status, 0);
        child_ = -1;
        return status;
    }

  private:
    pid_t child_ = -1;
};

TEST(readerLive, WaitsForTheLockAndReadsTheHeaderAgainInsideIt) {
    TraxBuilder first = OneSession();
    first.sync_control = 1;
    TraxBuilder second = OneSession();
    second.sync_control = 1;
    second.AddTimeTag(21);
    second.AddSession({Scalar(1, {{20, 0}})});
    const std::string path = PathFor("locked.trax");
    first.WriteLive(path);
    WriteFile(path + ".lock", {});

    LockHolder holder(path + ".lock", &second, path);
    const auto start = std::chrono::steady_clock::now();
    Opened f(path);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(holder.Wait(), 0);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    // The session flushed while the reader waited is there.
    EXPECT_EQ(traxr_SessionCount(f.reader), 2u);
    EXPECT_EQ(ReadValues(f.reader, 1).size(), 2u);
}

TEST(readerLive, LockFileNamedByTheEnvironment) {
    TraxBuilder b = OneSession();
    b.sync_control = 1;
    const std::string path = PathFor("envlock.trax");
    const std::string lock = PathFor("elsewhere.lck");
    b.WriteLive(path);
    WriteFile(lock, {});
    ::setenv("TRAX_ENV_LOCK_FILE_LOC", lock.c_str(), 1);
    {
        LockHolder holder(lock, nullptr, path);
        const auto start = std::chrono::steady_clock::now();
        Opened f(path);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
        EXPECT_EQ(f.status, TRAXR_OK) << f.message;
    }
    ::unsetenv("TRAX_ENV_LOCK_FILE_LOC");
}

TEST(readerLive, FailedLockIsReportedAndReadingGoesOn) {
    TraxBuilder b = OneSession();
    b.sync_control = 1;
    const std::string path = PathFor("badlock.trax");
    b.WriteLive(path);
    // A lock file that cannot be opened for writing: a directory.
    std::remove((path + ".lock").c_str());
    ASSERT_EQ(::mkdir((path + ".lock").c_str(), 0755), 0);
    ::testing::internal::CaptureStderr();
    Opened f(path);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    ::rmdir((path + ".lock").c_str());
    EXPECT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(printed,
              "trax reader: locking failed. (fd -1 errno 21) error reason: Is a directory\n");
}

// The writer removes the lock file at close; a live file without one has no
// writer to wait for, and reading it is no failure.
TEST(readerLive, MissingLockFileMeansNoWriter) {
    TraxBuilder b = OneSession();
    b.sync_control = 1;
    const std::string path = PathFor("nolock.trax");
    b.WriteLive(path);
    std::remove((path + ".lock").c_str());
    ::testing::internal::CaptureStderr();
    Opened f(path);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(f.status, TRAXR_OK) << f.message;
}

TEST(readerLive, FinishedOrUnsynchronisedFilesAreNotLocked) {
    TraxBuilder b = OneSession();
    b.sync_control = 1;
    const std::string finished = PathFor("finished_sync.trax");
    b.WriteFinished(finished);
    b.sync_control = 0;
    const std::string unsynchronised = PathFor("live_nosync.trax");
    b.WriteLive(unsynchronised);
    for (const std::string &path : {finished, unsynchronised}) {
        ::testing::internal::CaptureStderr();
        Opened f(path);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << path;
        EXPECT_EQ(f.status, TRAXR_OK) << f.message;
    }
}

}  // namespace
}  // namespace tavri::reader_test
