// Designs simulated twice under Icarus Verilog: once dumped by the
// simulator's own VCD writer, once by Tavri through its VPI module. The VCD
// that `trax vcd` makes of our file must agree with the simulator's on the
// value of every signal at the end of every time step.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

namespace fs = std::filesystem;

std::string BuildDir() {
    const char *dir = std::getenv("TAVRI_BUILD_DIR");
    return dir != nullptr ? dir : TAVRI_E2E_BUILD_DIR;
}

// Environment for vvp when our module is built with sanitizers: the runtime
// must come first, and vvp's own allocations are not ours to report as leaks.
std::string Preload() {
#ifdef TAVRI_E2E_PRELOAD
    return "LD_PRELOAD='" TAVRI_E2E_PRELOAD "' ASAN_OPTIONS=detect_leaks=0 ";
#else
    return "";
#endif
}

bool Have(const char *program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its output goes to `log`.
int Shell(const std::string &command, const fs::path &log) {
    return std::system((command + " > '" + log.string() + "' 2>&1").c_str());
}

std::string Slurp(const fs::path &path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class IcarusDesign : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        if (!Have("iverilog") || !Have("vvp")) {
            GTEST_SKIP() << "Icarus Verilog is not installed";
        }
        dir_ = fs::temp_directory_path() / ("tavri_e2e_" + std::string(GetParam()) + "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }

    // Compiles and runs the design; returns the simulator's output.
    std::string Simulate(bool with_tavri, const std::string &out) {
        const std::string design = std::string(TAVRI_E2E_DESIGNS) + "/" + GetParam() + ".v";
        const fs::path compiled = dir_ / (out + ".vvp");
        const std::string defines = std::string(with_tavri ? "-DDUMP_TRAX " : "") + "-DOUT='\"" + (dir_ / out).string() + "\"'";
        const int compile = Shell("iverilog -g2005 -I " + std::string(TAVRI_E2E_DESIGNS) + " " + defines + " -o '" +
                                      compiled.string() + "' '" + design + "'",
                                  dir_ / (out + ".compile.log"));
        EXPECT_EQ(compile, 0) << Slurp(dir_ / (out + ".compile.log"));
        const std::string module = with_tavri ? " -M '" + BuildDir() + "' -m tavri" : "";
        const int run = Shell("cd '" + dir_.string() + "' && " + Preload() + "vvp -n" + module + " '" + compiled.string() + "'",
                              dir_ / (out + ".run.log"));
        EXPECT_EQ(run, 0) << Slurp(dir_ / (out + ".run.log"));
        return Slurp(dir_ / (out + ".run.log"));
    }

    fs::path dir_;
};

TEST_P(IcarusDesign, OurFileAgreesWithTheSimulatorsVcd) {
    const std::string transcript = Simulate(true, "ours.trax");
    EXPECT_NE(transcript.find("*Tavri* Create TRAX file"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("Error"), std::string::npos) << transcript;
    Simulate(false, "theirs.vcd");
    const int exported = Shell("'" + BuildDir() + "/trax' vcd '" + (dir_ / "ours.trax").string() + "' -o '" +
                                   (dir_ / "ours.vcd").string() + "'",
                               dir_ / "export.log");
    ASSERT_EQ(exported, 0) << Slurp(dir_ / "export.log");
    const VcdFile ours = ReadVcd((dir_ / "ours.vcd").string());
    const VcdFile theirs = ReadVcd((dir_ / "theirs.vcd").string());
    ASSERT_TRUE(ours.error.empty()) << ours.error;
    ASSERT_TRUE(theirs.error.empty()) << theirs.error;
    ASSERT_FALSE(theirs.signals.empty());
    const std::vector<std::string> differences = CompareVcd(ours, theirs);
    std::string text;
    for (const std::string &line : differences) {
        text += line + "\n";
    }
    EXPECT_TRUE(differences.empty()) << text << "(files kept in " << dir_ << ")";
}

INSTANTIATE_TEST_SUITE_P(Designs, IcarusDesign,
                         ::testing::Values("counter_fsm", "wide_buses", "variables", "scopes", "glitches",
                                           "dump_window", "long_time"));

}  // namespace
}  // namespace tavri::e2e
