#include "tool_test_util.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <sstream>

#include "writer/object_lifecycle.h"

namespace tavri::tool_test {

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Outcome::OutLines() const { return Lines(out); }
std::vector<std::string> Outcome::ErrLines() const { return Lines(err); }

bool Contains(const std::vector<std::string> &lines, const std::string &line) {
    for (const std::string &l : lines) {
        if (l == line) return true;
    }
    return false;
}

std::string TraxPath() {
    const char *dir = std::getenv("TAVRI_BUILD_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/trax";
}

std::vector<std::string> VcdDefinitions(const std::vector<std::string> &lines) {
    std::vector<std::string> definitions;
    for (const std::string &line : lines) {
        if (line == "$enddefinitions $end") break;
        if (line.starts_with("$scope") || line.starts_with("$var") || line.starts_with("$upscope")) {
            definitions.push_back(line);
        }
    }
    return definitions;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<uint8_t> ReadBytes(const std::string &path) {
    const std::string text = ReadFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Outcome Trax(const std::vector<std::string> &args) { return Trax(args, TraxOptions()); }

Outcome Trax(const std::vector<std::string> &args, const TraxOptions &options) {
    Outcome run;
    char out_name[] = "/tmp/tavri_trax_outXXXXXX";
    char err_name[] = "/tmp/tavri_trax_errXXXXXX";
    const int out_fd = mkstemp(out_name);
    const int err_fd = mkstemp(err_name);
    if (out_fd < 0 || err_fd < 0) {
        ADD_FAILURE() << "cannot make files for the output of trax";
        return run;
    }
    const std::string program = TraxPath();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        for (const auto &[name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child > 0) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
        for (;;) {
            const pid_t done = wait4(child, &status, options.timeout_seconds > 0 ? WNOHANG : 0,
                                     &usage);
            if (done == child || (done < 0 && errno != EINTR)) break;
            if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
                run.timed_out = true;
                kill(child, SIGKILL);
                wait4(child, &status, 0, &usage);
                break;
            }
            if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    close(out_fd);
    close(err_fd);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.peak_rss_kb = usage.ru_maxrss;
    run.out = ReadFile(out_name);
    run.err = ReadFile(err_name);
    unlink(out_name);
    unlink(err_name);
    return run;
}

void ToolTest::SetUp() {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("tavri_tool_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

void ToolTest::TearDown() {
    tavri::writer::FreeParkedObject();
    std::filesystem::remove_all(dir_);
}

void Scope(txwObject *obj, const char *name, uint8_t type) {
    txwScopeDesc scope{name, nullptr, nullptr, 0, type};
    ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
}

txwObject *OpenScalars(const std::string &path, int count) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    EXPECT_NE(obj, nullptr);
    EXPECT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top");
    for (int id = 1; id <= count; ++id) {
        const std::string name = "s" + std::to_string(id);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, id, name.c_str(), 0), id);
    }
    EXPECT_EQ(txw_EndTree(obj), 0);
    return obj;
}

namespace {

void Bits(txwObject *obj, int32_t idcode, const std::string &bits) {
    std::vector<uint8_t> codes;
    for (char bit : bits) {
        codes.push_back(static_cast<uint8_t>(bit == '0' ? 0 : bit == '1' ? 1 : bit == 'x' ? 2 : 3));
    }
    txw_CreateVarValueByIdcode(obj, idcode, codes.data(), static_cast<uint32_t>(codes.size()));
}

}  // namespace

txwObject *OpenLiveScalar(const std::string &path, const std::vector<uint32_t> &session_times) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    if (obj == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return nullptr;
    }
    EXPECT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top", 0);
    EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
    EXPECT_EQ(txw_EndTree(obj), 0);
    uint8_t value = 1;
    for (const uint32_t time : session_times) {
        txw_CreateXCoor(obj, 0, time);
        txw_CreateVarValueByIdcode(obj, 1, &value, 1);
        // The next time tag closes the step, so that a reader shows it.
        txw_CreateXCoor(obj, 0, time + 1);
        EXPECT_EQ(txw_Flush(obj), 0);
        value ^= 1;
    }
    return obj;
}

void WriteSample(const std::string &path) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(txw_SetScaleUnit(obj, "10ps"), 0);
    ASSERT_EQ(txw_SetSimulatorVersion(obj, "model 1.0"), 0);
    ASSERT_TRUE(txw_BeginTree(obj));
    Scope(obj, "top", 0);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 1, 0, 0, 0, 1, "clk", 0), 1);
    Scope(obj, "cpu", 1);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 2, 0, 7, 0, 2, "data", 0), 2);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 1, 0, 0, 0, 1, "clk", 0), 1);
    Scope(obj, "blk", 3);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 3, 0, 0, 0, 0, 3, "r", 3), 3);
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndScope(obj), 0);
    Scope(obj, "io", 2);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, 4, "msg", 2), 4);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 15, 3, 0, 0, 0, 5, "drive", 0), 5);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 4, 0, 0, 0, 0, 6, "flag", 0), 6);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 1, 0, 0, 31, 0, 7, "count", 0), 7);
    ASSERT_EQ(txw_CreateVarByVarIdcode(obj, 0, 0, 0, 0, 0, 8, "ev", 0), 8);
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndScope(obj), 0);
    ASSERT_EQ(txw_EndTree(obj), 0);

    const uint8_t zero = 0, one = 1, x = 2, strength = 1 + 4 * 6 + 32 * 5;
    const double pi = 3.25, minus = -0.5;
    txw_CreateXCoor(obj, 0, 0);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);
    Bits(obj, 2, "00001010");
    txw_CreateVarValueByIdcode(obj, 3, &pi, 1);
    txwCreateStrValByVarIdcode(obj, 4, "hello world", nullptr);
    txw_CreateVarValueByIdcode(obj, 5, &strength, 1);
    Bits(obj, 7, std::string(29, '0') + "101");
    txw_CreateVarValueByIdcode(obj, 6, &x, 1);
    txw_CreateXCoor(obj, 0, 10);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    Bits(obj, 2, "1x0z0000");
    txw_CreateXCoor(obj, 0, 20);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);
    txwCreateStrValByVarIdcode(obj, 4, "", nullptr);
    txw_CreateVarValueByIdcode(obj, 8, &one, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    txw_CreateXCoor(obj, 0, 30);
    txw_DumpOff(obj);
    txw_CreateXCoor(obj, 0, 40);
    txw_DumpOn(obj);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    txw_CreateVarValueByIdcode(obj, 3, &minus, 1);
    Bits(obj, 7, std::string(29, '0') + "110");
    txw_CreateXCoor(obj, 0, 50);
    txw_CreateVarValueByIdcode(obj, 6, &one, 1);
    Bits(obj, 2, "11111111");
    ASSERT_EQ(txw_CloseFile(obj), 0);
}

}  // namespace tavri::tool_test
