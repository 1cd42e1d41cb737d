#include "icarus_harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

bool Have(const char *program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const fs::path &path) { return "'" + path.string() + "'"; }

}  // namespace

// The runtime must come first, and vvp's own allocations are not ours to
// report as leaks.
std::string Preload() {
#ifdef TAVRI_E2E_PRELOAD
    return "LD_PRELOAD='" TAVRI_E2E_PRELOAD "' ASAN_OPTIONS=detect_leaks=0 ";
#else
    return "";
#endif
}

std::string BuildDir() {
    const char *dir = std::getenv("TAVRI_BUILD_DIR");
    return dir != nullptr ? dir : TAVRI_E2E_BUILD_DIR;
}

std::string TraxPath() { return BuildDir() + "/trax"; }

bool HaveIcarus() { return Have("iverilog") && Have("vvp"); }

std::string Slurp(const fs::path &path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Outcome Shell(const std::string &command, const fs::path &dir, const std::string &log) {
    const fs::path log_path = dir / log;
    const int raw = std::system(("cd " + Quote(dir) + " && { " + command + " ; } > " + Quote(log_path) + " 2>&1").c_str());
    Outcome run;
    if (raw != -1 && WIFEXITED(raw)) {
        run.status = WEXITSTATUS(raw);
        // The shell reports a child killed by a signal as 128 + the signal.
        if (run.status > 128 && run.status < 128 + 65) {
            run.signal = run.status - 128;
        }
    } else if (raw != -1 && WIFSIGNALED(raw)) {
        run.signal = WTERMSIG(raw);
    }
    run.output = Slurp(log_path);
    return run;
}

void IcarusTest::SetUp() {
    if (!HaveIcarus()) {
        GTEST_SKIP() << "Icarus Verilog is not installed";
    }
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char &c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            c = '_';
        }
    }
    dir_ = fs::temp_directory_path() / ("tavri_e2e_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

void IcarusTest::TearDown() {
    if (!dir_.empty() && !HasFailure()) {
        fs::remove_all(dir_);
    }
}

fs::path IcarusTest::WriteFile(const std::string &name, const std::string &text) const {
    const fs::path path = dir_ / name;
    std::ofstream(path) << text;
    return path;
}

Outcome IcarusTest::Simulate(const fs::path &design, const std::string &tag, const SimOptions &options) {
    const fs::path compiled = dir_ / (tag + ".vvp");
    const Outcome compile = Shell("iverilog -g2005 " + options.defines + " -o " + Quote(compiled) + " " + Quote(design), dir_,
                              tag + ".compile.log");
    EXPECT_EQ(compile.status, 0) << compile.output;
    const std::string module = options.with_tavri ? " -M '" + BuildDir() + "' -m tavri" : "";
    const std::string input = options.stdin_from.empty() ? "/dev/null" : options.stdin_from;
    return Shell("timeout -s KILL " + std::to_string(options.timeout_seconds) + " env " + Preload() + options.env +
                     " vvp -n" + module + " " + Quote(compiled) + " " + options.plusargs + " < '" + input + "'",
                 dir_, tag + ".run.log");
}

Outcome IcarusTest::Trax(const std::string &args) { return Shell("'" + TraxPath() + "' " + args, dir_, "trax.log"); }

Outcome IcarusTest::SimulateDesign(const std::string &design, bool with_tavri, const std::string &out) {
    SimOptions options;
    options.with_tavri = with_tavri;
    options.defines = std::string("-I ") + TAVRI_E2E_DESIGNS + (with_tavri ? " -DDUMP_TRAX" : "") + " -DOUT='\"" +
                      Path(out).string() + "\"'";
    return Simulate(fs::path(TAVRI_E2E_DESIGNS) / (design + ".v"), out, options);
}

std::string IcarusTest::DifferencesFromSimulator(const std::string &design, std::string *transcript) {
    const Outcome run = SimulateDesign(design, true, "ours.trax");
    *transcript = run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    const Outcome reference = SimulateDesign(design, false, "theirs.vcd");
    EXPECT_EQ(reference.status, 0) << reference.output;
    const Outcome exported = Trax("vcd '" + Path("ours.trax").string() + "' -o '" + Path("ours.vcd").string() + "'");
    if (exported.status != 0) {
        return "trax vcd failed: " + exported.output;
    }
    const VcdFile ours = ReadVcd(Path("ours.vcd").string());
    const VcdFile theirs = ReadVcd(Path("theirs.vcd").string());
    if (!ours.error.empty() || !theirs.error.empty()) {
        return ours.error + theirs.error + "\n";
    }
    if (theirs.signals.empty()) {
        return "the simulator's VCD declares no signal\n";
    }
    std::string text;
    for (const std::string &line : CompareVcd(ours, theirs)) {
        text += line + "\n";
    }
    return text;
}

}  // namespace tavri::e2e
