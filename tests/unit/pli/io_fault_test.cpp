// Faults of the file layer met by a whole run of the dumper: a full disk or a
// device error at every write of a long run in turn, short writes, a commit
// or a close that fails. Each run is a child process whose console question
// is answered from a file. Whatever the answer, the run ends either with a
// file that `trax check` passes and that holds every session flushed before
// the fault, or with a clean stop and a clear message: never a crash, a hang,
// or a file called good that is not.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "frontend_fixture.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"

namespace tavri::test {
namespace {

// What the file layer does at the armed call.
enum class Fault {
    kNoSpace,      // the write fails with ENOSPC
    kDeviceError,  // the write fails with EIO
    kShortWrite,   // the write stores half of its bytes and says so
    kCommitFails,  // the commit fails with EIO
    kCloseFails,   // the descriptor is closed, but the call reports EIO
};

// The child's injection: the call of the fault's kind with number `at`
// (from 0) fails once; a retry is a later call and succeeds. At the fault
// the time of the last flush that had returned goes to `report`.
struct Injection {
    Fault fault = Fault::kNoSpace;
    int at = -1;
    int calls = 0;
    int report = -1;
    int64_t last_flush_time = -1;
    bool reported = false;
};
Injection g_injection;

void ReportFault() {
    if (!g_injection.reported && g_injection.report >= 0) {
        g_injection.reported = true;
        const std::string text = std::to_string(g_injection.last_flush_time) + "\n";
        (void)!::write(g_injection.report, text.data(), text.size());
    }
}

// True when this call of the fault's kind is the armed one.
bool Armed() { return g_injection.calls++ == g_injection.at; }

long FaultyWrite(platform::FileHandle file, const void *data, size_t length) {
    if (Armed()) {
        ReportFault();
        switch (g_injection.fault) {
        case Fault::kShortWrite:
            return static_cast<long>(::write(file, data, length > 1 ? length / 2 : length));
        case Fault::kNoSpace:
            errno = ENOSPC;
            return -1;
        default:
            errno = EIO;
            return -1;
        }
    }
    return static_cast<long>(::write(file, data, length));
}

int FaultyCommit(platform::FileHandle file) {
    if (Armed()) {
        ReportFault();
        errno = EIO;
        return -1;
    }
    return ::fdatasync(file);
}

int FaultyClose(platform::FileHandle file) {
    const int closed = ::close(file);
    if (Armed()) {
        ReportFault();
        errno = EIO;
        return -1;
    }
    return closed;
}

void Inject(Fault fault, int at) {
    g_injection.fault = fault;
    g_injection.at = at;
    g_injection.calls = 0;
    switch (fault) {
    case Fault::kCommitFails:
        platform::SetCommitFunction(FaultyCommit);
        break;
    case Fault::kCloseFails:
        platform::SetCloseFunction(FaultyClose);
        break;
    default:
        platform::SetWriteFunction(FaultyWrite);
        break;
    }
}

constexpr int kSteps = 240;
constexpr int kFlushEvery = 12;

std::string Bits(uint64_t value, int width) {
    std::string bits;
    for (int bit = width - 1; bit >= 0; --bit) {
        bits += "01"[(value >> (bit % 64)) & 1];
    }
    return bits;
}

// The values of the design at a step.
std::string DataAt(int step) { return Bits(static_cast<uint64_t>(step) * 2654435761u, 16); }
std::string WideAt(int step) {
    return Bits(static_cast<uint64_t>(step) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(step) << 40, 96);
}

// How one child run ended.
struct Ending {
    int status = -1;  // exit status, -1 when a signal ended it
    int signal = 0;
    bool hung = false;
    int64_t last_flush_time = -2;  // -2: the fault never came
    std::string transcript;
    std::string dir;
};

class IoFault : public FrontEndTest {
  protected:
    // The run in a child: a clock, a counter, a 16-bit and a 96-bit register
    // changing every step, a flush every kFlushEvery steps, then $finish.
    void RunDesign(const std::string &file) {
        Scope *top = sim_.AddTopModule("top", "tb");
        Signal *clk = sim_.AddReg(top, "clk");
        Signal *data = sim_.AddReg(top, "data", 15, 0);
        Signal *wide = sim_.AddReg(top, "wide", 95, 0);
        Signal *count = sim_.AddInteger(top, "count");
        Run(top, "$traxDumpfile(\"" + file + "\")");
        Run(top, "$traxDumpvars");
        for (int step = 0; step < kSteps; ++step) {
            sim_.AdvanceTo(static_cast<uint64_t>(step) * 10);
            sim_.SetValue(clk, step % 2 == 0 ? "0" : "1");
            sim_.SetValue(data, DataAt(step));
            sim_.SetValue(wide, WideAt(step));
            sim_.SetInteger(count, step);
            sim_.EndStep();
            if (step % kFlushEvery == kFlushEvery - 1) {
                Run(top, "$traxDumpflush");
                g_injection.last_flush_time = step * 10;
            }
        }
        sim_.Finish();
    }

    // Runs the design in a child per fault point, `parallel` at a time (the
    // answer "y" waits a second before the retry), each in a directory of its
    // own with `answer` on its standard input.
    std::vector<Ending> RunAll(Fault fault, const std::vector<int> &points, const std::string &answer,
                               size_t parallel) {
        std::vector<Ending> endings(points.size());
        // A child still running after this long hangs: a run takes well
        // under a second, and the answer "y" one more.
        constexpr auto kHang = std::chrono::seconds(30);
        struct Child {
            size_t index;
            std::chrono::steady_clock::time_point start;
        };
        std::map<pid_t, Child> running;
        size_t next = 0;
        while (next < points.size() || !running.empty()) {
            while (next < points.size() && running.size() < parallel) {
                Ending &ending = endings[next];
                ending.dir = Path("run" + std::to_string(next));
                std::filesystem::create_directories(ending.dir);
                { std::ofstream(ending.dir + "/answer") << answer; }
                std::fflush(nullptr);
                const pid_t child = fork();
                if (child < 0) {
                    ADD_FAILURE() << "fork";
                    return endings;
                }
                if (child == 0) {
                    RunChild(fault, points[next], ending.dir);
                }
                running[child] = Child{next++, std::chrono::steady_clock::now()};
            }
            int status = 0;
            const pid_t done = waitpid(-1, &status, WNOHANG);
            if (done <= 0) {
                const auto now = std::chrono::steady_clock::now();
                for (auto it = running.begin(); it != running.end();) {
                    if (now - it->second.start > kHang) {
                        kill(it->first, SIGKILL);
                        waitpid(it->first, nullptr, 0);
                        endings[it->second.index].hung = true;
                        it = running.erase(it);
                    } else {
                        ++it;
                    }
                }
                platform::SleepMilliseconds(2);
                continue;
            }
            const auto found = running.find(done);
            if (found == running.end()) {
                continue;
            }
            Ending &ending = endings[found->second.index];
            running.erase(found);
            ending.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            ending.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            ending.transcript = ReadText(ending.dir + "/out");
            const std::string report = ReadText(ending.dir + "/fault");
            if (!report.empty()) {
                ending.last_flush_time = std::stoll(report);
            }
        }
        return endings;
    }

    [[noreturn]] void RunChild(Fault fault, int at, const std::string &dir) {
        if (std::freopen((dir + "/answer").c_str(), "r", stdin) == nullptr ||
            std::freopen((dir + "/out").c_str(), "w", stdout) == nullptr) {
            std::_Exit(90);
        }
        ::dup2(::fileno(stdout), 2);
        g_injection.report = ::open((dir + "/fault").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        Inject(fault, at);  // at -1 the calls are only counted
        RunDesign(dir + "/f.trax");
        std::fflush(nullptr);
        // The number of calls of the fault's kind, for the run without one.
        const std::string calls = std::to_string(g_injection.calls) + "\n";
        (void)!::write(g_injection.report, calls.data(), calls.size());
        std::_Exit(0);
    }

    static std::string ReadText(const std::string &path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The run without a fault: its changes, and the number of calls of the
    // kind that `fault` makes fail.
    int Reference(Fault fault) {
        const std::vector<Ending> run = RunAll(fault, {-1}, "", 1);
        EXPECT_EQ(run[0].status, 0) << run[0].transcript;
        // Without a fault the report holds the count of calls.
        const int calls = static_cast<int>(run[0].last_flush_time);
        Reading file(run[0].dir + "/f.trax");
        EXPECT_EQ(file.status, TRAXR_OK) << file.message;
        if (file.status == TRAXR_OK) {
            for (const char *name : kNames) {
                reference_[name] = ChangesOf(file, name);
            }
        }
        return calls;
    }

    // A run's file against the run without a fault: each variable's changes
    // must be the first ones of the reference, and take in every change
    // before the last flush that returned before the fault (a live file may
    // keep back the step it ends with), or all of them when `whole`.
    void ExpectReferencePrefix(const std::string &path, int64_t last_flush_time, bool whole) {
        Reading file(path);
        ASSERT_EQ(file.status, TRAXR_OK) << file.message;
        for (const char *name : kNames) {
            const std::vector<Seen> &all = reference_[name];
            const std::vector<Seen> seen = ChangesOf(file, name);
            size_t needed = 0;
            while (needed < all.size() &&
                   (whole || static_cast<int64_t>(all[needed].time) < last_flush_time)) {
                ++needed;
            }
            ASSERT_LE(seen.size(), all.size()) << name;
            EXPECT_TRUE(std::equal(seen.begin(), seen.end(), all.begin())) << name << " differs from the run "
                                                                               << "without a fault";
            EXPECT_GE(seen.size(), needed) << name << ": changes flushed before the fault are missing";
        }
    }

    // `trax check FILE`: its exit status and output.
    static std::pair<int, std::string> Check(const std::string &path) {
        const char *build = std::getenv("TAVRI_BUILD_DIR");
        const std::string command =
            std::string(build != nullptr ? build : "build") + "/trax check '" + path + "' 2>&1";
        FILE *pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return {-1, "cannot run trax"};
        }
        std::string output;
        char chunk[512];
        while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
            output += chunk;
        }
        const int status = ::pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    }

    // The run went to its end: the file is finished, passes the check and
    // holds every change of the run without a fault.
    void ExpectWholeFile(const Ending &ending) {
        EXPECT_EQ(ending.status, 0) << ending.transcript;
        const auto [status, output] = Check(ending.dir + "/f.trax");
        EXPECT_EQ(status, 0) << output;
        ExpectReferencePrefix(ending.dir + "/f.trax", 0, true);
    }

    // The run gave up: a clean stop with the message, and a file that the
    // check calls damaged only when no flush had returned before the fault.
    void ExpectCleanStop(const Ending &ending) {
        EXPECT_EQ(ending.status, 255) << ending.transcript;
        EXPECT_NE(ending.transcript.find("Give up dump vars, fast file may be incorrect"), std::string::npos)
            << ending.transcript;
        if (ending.last_flush_time < 0) {
            return;  // nothing was promised yet
        }
        const auto [status, output] = Check(ending.dir + "/f.trax");
        ASSERT_TRUE(status == 0 || status == 3) << output;
        ExpectReferencePrefix(ending.dir + "/f.trax", ending.last_flush_time, status == 0);
    }

    static std::vector<int> Every(int count) {
        std::vector<int> points(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) points[static_cast<size_t>(i)] = i;
        return points;
    }

    static constexpr const char *kNames[] = {"top.clk", "top.data[15:0]", "top.wide[95:0]", "top.count"};
    std::map<std::string, std::vector<Seen>> reference_;
};

// A full disk or a device error at every write of the run in turn, each
// answered "n" and then "y".
TEST_F(IoFault, AWriteErrorAtEveryWriteEndsCleanlyOrCompletesTheFile) {
    struct Case {
        Fault fault;
        const char *question;
    };
    for (const Case &c : {Case{Fault::kNoSpace, "Disk full. Would you like to continue ?(y/n)"},
                          Case{Fault::kDeviceError, "PLI write error - error number 5\n"}}) {
        SCOPED_TRACE(c.question);
        const int writes = Reference(c.fault);
        ASSERT_GT(writes, 100);
        ASSERT_LT(writes, 1000) << "the run stays small enough to fail each write in turn";
        int stopped_after_a_flush = 0;
        for (const Ending &ending : RunAll(c.fault, Every(writes), "n\n", 2)) {
            SCOPED_TRACE(ending.dir);
            ASSERT_FALSE(ending.hung);
            ASSERT_EQ(ending.signal, 0);
            ASSERT_NE(ending.last_flush_time, -2) << "the fault came";
            EXPECT_NE(ending.transcript.find(c.question), std::string::npos) << ending.transcript;
            ExpectCleanStop(ending);
            stopped_after_a_flush += ending.last_flush_time >= 0 ? 1 : 0;
            if (HasFailure()) break;
        }
        EXPECT_GT(stopped_after_a_flush, writes / 2);
        for (const Ending &ending : RunAll(c.fault, Every(writes), "y\n", 128)) {
            SCOPED_TRACE(ending.dir);
            ASSERT_FALSE(ending.hung);
            ASSERT_EQ(ending.signal, 0);
            EXPECT_NE(ending.transcript.find(c.question), std::string::npos) << ending.transcript;
            ExpectWholeFile(ending);
            if (HasFailure()) break;
        }
    }
}

// A write that stores only part of its bytes is no error: the rest follows.
TEST_F(IoFault, AShortWriteAtEveryWriteLosesNothing) {
    const int writes = Reference(Fault::kShortWrite);
    for (const Ending &ending : RunAll(Fault::kShortWrite, Every(writes), "", 2)) {
        SCOPED_TRACE(ending.dir);
        ASSERT_FALSE(ending.hung);
        ASSERT_EQ(ending.signal, 0);
        EXPECT_EQ(ending.transcript.find("Would you like to continue"), std::string::npos) << ending.transcript;
        ExpectWholeFile(ending);
        if (HasFailure()) break;
    }
}

// A commit that fails may have lost what was written since the last one: the
// user is asked as for a failed write, and either answer keeps its promise.
TEST_F(IoFault, AFailedCommitIsAWriteError) {
    const int commits = Reference(Fault::kCommitFails);
    ASSERT_GT(commits, 20);
    for (const Ending &ending : RunAll(Fault::kCommitFails, Every(commits), "n\n", 2)) {
        SCOPED_TRACE(ending.dir);
        ASSERT_FALSE(ending.hung);
        ASSERT_EQ(ending.signal, 0);
        EXPECT_NE(ending.transcript.find("PLI write error - error number 5\n"), std::string::npos)
            << ending.transcript;
        ExpectCleanStop(ending);
        if (HasFailure()) break;
    }
    for (const Ending &ending : RunAll(Fault::kCommitFails, Every(commits), "y\n", 128)) {
        SCOPED_TRACE(ending.dir);
        ASSERT_FALSE(ending.hung);
        EXPECT_NE(ending.transcript.find("Would you like to continue"), std::string::npos) << ending.transcript;
        ExpectWholeFile(ending);
        if (HasFailure()) break;
    }
}

// A close that reports an error after a commit that did not: the run ends
// with a whole file, or stops cleanly saying why.
TEST_F(IoFault, AFailedCloseNeverPassesForAGoodFile) {
    const int closes = Reference(Fault::kCloseFails);
    ASSERT_GT(closes, 5);
    for (const Ending &ending : RunAll(Fault::kCloseFails, Every(closes), "n\n", 2)) {
        SCOPED_TRACE(ending.dir);
        ASSERT_FALSE(ending.hung);
        ASSERT_EQ(ending.signal, 0);
        if (ending.status == 0) {
            ExpectWholeFile(ending);
        } else {
            ExpectCleanStop(ending);
        }
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace tavri::test
