// A long simulation in a child process: the model simulator dumps a small
// design for many steps and flushes every few steps, telling the parent
// through a pipe the time of each flush that returned. The parent kills it,
// reads the live file while it grows, or lets it finish.
#ifndef TAVRI_TESTS_UNIT_PLI_LONG_RUN_H
#define TAVRI_TESTS_UNIT_PLI_LONG_RUN_H

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend_fixture.h"

namespace tavri::test {

struct RunShape {
    int steps = 0;
    int flush_every = 1;
};

// A running child: its process and the read end of its report pipe.
struct Child {
    pid_t pid = -1;
    int reports = -1;
};

class LongRunTest : public FrontEndTest {
  protected:
    // Starts the run writing `name` in a child process.
    Child Start(const std::string &name, const RunShape &shape) {
        int pipe_ends[2];
        EXPECT_EQ(::pipe(pipe_ends), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(pipe_ends[0]);
            Simulate(name, shape, pipe_ends[1]);
            ::_exit(0);
        }
        ::close(pipe_ends[1]);
        return Child{pid, pipe_ends[0]};
    }

    // The flush times the child reported, read to the end of the pipe (the
    // child has ended or is about to).
    static std::vector<uint64_t> Reports(Child &child) {
        std::vector<uint64_t> times;
        uint64_t time;
        while (::read(child.reports, &time, sizeof time) == static_cast<ssize_t>(sizeof time)) {
            times.push_back(time);
        }
        ::close(child.reports);
        child.reports = -1;
        return times;
    }

    // Waits for the child; true when it ran to its end.
    static bool Finished(Child &child) {
        int status = 0;
        ::waitpid(child.pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // The design: four scalars and two 16-bit vectors, each changing on its
    // own pattern of steps.
    void Simulate(const std::string &name, const RunShape &shape, int report_fd) {
        Scope *top = sim_.AddTopModule("top", "tb");
        std::vector<Signal *> scalars, vectors;
        for (int i = 0; i < 4; ++i) scalars.push_back(sim_.AddReg(top, "s" + std::to_string(i)));
        for (int i = 0; i < 2; ++i) vectors.push_back(sim_.AddReg(top, "v" + std::to_string(i), 15, 0));
        DumpTo(top, name);
        Run(top, "$traxDumpvars");
        for (int step = 0; step < shape.steps; ++step) {
            const uint64_t time = static_cast<uint64_t>(step) * 10;
            if (step > 0) sim_.AdvanceTo(time);
            for (int i = 0; i < 4; ++i) {
                if (step % (i + 1) == 0) sim_.SetValue(scalars[i], ((step / (i + 1)) & 1) ? "1" : "0");
            }
            for (int i = 0; i < 2; ++i) {
                std::string bits(16, '0');
                const unsigned value = static_cast<unsigned>(step * (i + 3) + i);
                for (int b = 0; b < 16; ++b) bits[15 - b] = (value >> b) & 1 ? '1' : '0';
                if (step % 7 == 3) bits[i] = 'x';
                sim_.SetValue(vectors[i], bits);
            }
            sim_.EndStep();
            if ((step + 1) % shape.flush_every == 0) {
                Run(top, "$traxDumpflush");
                if (report_fd >= 0 && ::write(report_fd, &time, sizeof time) != sizeof time) ::_exit(3);
            }
        }
        sim_.Finish();
    }

    static std::vector<std::string> Signals() {
        return {"top.s0", "top.s1", "top.s2", "top.s3", "top.v0[15:0]", "top.v1[15:0]"};
    }
};

// Runs build/trax with the arguments; the exit status, and the output of
// both streams in *output.
inline int RunTrax(const std::vector<std::string> &args, std::string *output) {
    const char *build = std::getenv("TAVRI_BUILD_DIR");
    std::string command = std::string(build != nullptr ? build : "build") + "/trax";
    for (const std::string &arg : args) command += " '" + arg + "'";
    command += " 2>&1";
    output->clear();
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, got);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tavri::test

#endif
