// Running Verilog under Icarus Verilog, with or without Tavri's VPI module,
// in a directory of the test's own, and running the trax tool on the result.
#ifndef TAVRI_TESTS_E2E_ICARUS_HARNESS_H
#define TAVRI_TESTS_E2E_ICARUS_HARNESS_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tavri::e2e {

namespace fs = std::filesystem;

// The build tree that holds tavri.vpi and trax.
std::string BuildDir();
std::string TraxPath();
bool HaveIcarus();
// Environment assignments that vvp needs before it loads a module built with
// sanitizers, or "".
std::string Preload();

// What a command printed (stdout and stderr together) and how it ended.
struct Outcome {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    int signal = 0;   // the signal that ended it, if any
    std::string output;
};

// Runs a shell command in `dir`; its output goes to `log` and is returned.
Outcome Shell(const std::string &command, const fs::path &dir, const std::string &log);
std::string Slurp(const fs::path &path);

// Options of one simulation.
struct SimOptions {
    bool with_tavri = true;
    std::string defines;      // extra iverilog arguments, e.g. "-DX=1"
    std::string plusargs;     // extra vvp plus-arguments after the design
    std::string env;          // extra "NAME=value " assignments before vvp
    std::string stdin_from;   // a file to read standard input from ("" = /dev/null)
    int timeout_seconds = 60; // the simulation is killed after this
};

// A test with a directory of its own, removed when the test passes.
class IcarusTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    fs::path Path(const std::string &name) const { return dir_ / name; }
    // Writes `text` into the file `name` of the directory and returns its path.
    fs::path WriteFile(const std::string &name, const std::string &text) const;
    // Compiles `design` (a path) and runs it in the directory; `tag` names
    // the compiled image and the logs. A failed compilation fails the test.
    Outcome Simulate(const fs::path &design, const std::string &tag, const SimOptions &options = {});
    // Runs build/trax with the arguments (already quoted as the shell needs).
    Outcome Trax(const std::string &args);
    // Simulates designs/<design>.v (which starts its dump with dump.vh's
    // macros) into the file `out` of the directory: dumped by Tavri, or by
    // the simulator's own VCD writer.
    Outcome SimulateDesign(const std::string &design, bool with_tavri, const std::string &out);
    // Simulates the design both ways, exports our file with `trax vcd` and
    // compares it with the simulator's VCD. Returns the differences, one a
    // line ("" when the files agree); `transcript` receives our run's output.
    std::string DifferencesFromSimulator(const std::string &design, std::string *transcript);

    fs::path dir_;
};

}  // namespace tavri::e2e

#endif
