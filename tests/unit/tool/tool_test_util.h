// Running the real trax binary on files written with the writer.
#ifndef TAVRI_TESTS_UNIT_TOOL_TOOL_TEST_UTIL_H
#define TAVRI_TESTS_UNIT_TOOL_TOOL_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tavri/txw.h"

namespace tavri::tool_test {

struct Outcome {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    int signal = 0;   // the signal that ended it, if any
    bool timed_out = false;  // killed after TraxOptions::timeout_seconds
    long peak_rss_kb = 0;    // the largest resident set the process had
    std::string out;
    std::string err;
    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
};

struct TraxOptions {
    std::vector<std::pair<std::string, std::string>> env;  // set in the child only
    int timeout_seconds = 0;                               // 0: wait as long as it takes
};

// Runs build/trax (found through TAVRI_BUILD_DIR) with the arguments.
Outcome Trax(const std::vector<std::string> &args);
Outcome Trax(const std::vector<std::string> &args, const TraxOptions &options);
std::string TraxPath();

std::vector<std::string> Lines(const std::string &text);
bool Contains(const std::vector<std::string> &lines, const std::string &line);
std::string ReadFile(const std::string &path);
// The $scope, $var and $upscope lines of a VCD's definitions.
std::vector<std::string> VcdDefinitions(const std::vector<std::string> &lines);
void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> ReadBytes(const std::string &path);

// A test with a directory of its own.
class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string PathFor(const std::string &name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

// Creates a scope in the open tree.
void Scope(txwObject *obj, const char *name, uint8_t type = 0);

// Opens `path` for writing with one tree: the scope top and in it the wire
// scalars s1 .. sN, idcodes 1 .. N. The file stays open (live).
txwObject *OpenScalars(const std::string &path, int count);

// Writes the sample design used across the tool's tests into `path`:
//
//   top (module)          clk    wire 1 input        idcode 1
//   top/cpu (task)        data   reg [7:0] output    idcode 2
//                         clk    alias of top/clk    idcode 1
//   top/cpu/blk (begin)   r      real                idcode 3
//   top/io (function)     msg    string              idcode 4
//                         drive  wire 1 inout        idcode 5
//                         flag   reg 1               idcode 6
//                         count  integer [31:0]      idcode 7
//                         ev     event               idcode 8
//
// Changes (scale unit "10ps"), in two sessions (flushed after time 20):
//   0: clk 0, data 00001010, r 3.25, msg "hello world", drive as the
//      strength byte 1 + 4*6 + 32*5, count 5, flag x
//   10: clk 1, data 1x0z0000
//   20: clk 0, msg "", ev
//   30: dump off
//   40: dump on, clk 1, r -0.5, count 6
//   50: flag 1, data 11111111
void WriteSample(const std::string &path);

// Opens a writer on `path` with one tree, scope top and the scalar top/s
// (idcode 1), and commits one session per time given (s toggles from 1);
// each session ends with a time tag one later, which closes the step.
// The file stays live until the caller closes the writer.
txwObject *OpenLiveScalar(const std::string &path, const std::vector<uint32_t> &session_times);

}  // namespace tavri::tool_test

#endif
