#include "win32/dump_scenario.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace tavri::test {
namespace {

// Drives the design and logs, at the end of each step, the final value of
// every signal set in it: vectors are sampled once per step, so only that
// value reaches the file.
class Driver {
  public:
    Driver(ModelSim &sim, std::FILE *log) : sim_(sim), log_(log) {}

    void Set(Signal *signal, const std::string &path, const std::string &bits) {
        sim_.SetValue(signal, bits);
        current_[path] = bits;
        changed_[path] = bits;
    }

    // Ends the step; with dumping off nothing of it reaches the file.
    void EndStep(bool dumping) {
        sim_.EndStep();
        if (dumping) {
            Log(changed_);
        }
        changed_.clear();
    }

    // A dump-on writes every signal's value at the end of its step.
    void EndStepWithDumpOn() {
        sim_.EndStep();
        Log(current_);
        changed_.clear();
    }

    void Off(std::uint64_t from, std::uint64_t to) {
        std::fprintf(log_, "off %llu %llu\n", static_cast<unsigned long long>(from),
                     static_cast<unsigned long long>(to));
    }

  private:
    void Log(const std::map<std::string, std::string> &values) {
        for (const auto &[path, bits] : values) {
            std::fprintf(log_, "%llu %s %s\n", static_cast<unsigned long long>(sim_.Now()), path.c_str(),
                         bits.c_str());
        }
    }

    ModelSim &sim_;
    std::FILE *log_;
    std::map<std::string, std::string> current_;
    std::map<std::string, std::string> changed_;
};

std::string Bits32(std::uint32_t value) {
    std::string bits(32, '0');
    for (int i = 0; i < 32; ++i) {
        if ((value >> i) & 1u) {
            bits[static_cast<std::size_t>(31 - i)] = '1';
        }
    }
    return bits;
}

}  // namespace

std::string RunDumpScenario(ModelSim &sim, void (*register_dumper)(), const std::string &trax_path,
                            std::FILE *drive_log) {
    register_dumper();
    if (sim.RegisteredRows().empty()) {
        return "the dumper registered no task";
    }
    Scope *top = sim.AddTopModule("top", "tb");
    Signal *clk = sim.AddReg(top, "clk");
    Signal *data = sim.AddReg(top, "data", 7, 0);
    Signal *count = sim.AddInteger(top, "count");
    Signal *done = sim.AddNet(top, "done");
    Scope *u1 = sim.AddModule(top, "u1", "sub");
    Signal *w = sim.AddNet(u1, "w");
    Signal *bus = sim.AddNet(u1, "bus", 3, 0);

    std::string failures;
    auto run = [&](TaskCall *call) {
        if (call->check_result == 0 && call->row->checktf != nullptr) {
            failures += call->tfname + ": checktf failed\n";
        } else if (call->call_count == 0 || call->last_call_result == 0) {
            failures += call->tfname + ": calltf failed\n";
        }
    };
    Driver drive(sim, drive_log);

    TaskCall *dumpfile = sim.AddTaskCall(top, "$traxDumpfile", {Arg::String(trax_path)});
    sim.RunCheck(dumpfile);
    sim.RunCall(dumpfile);
    run(dumpfile);
    run(sim.RunTask(top, "$traxDumpvars"));
    drive.Set(clk, "top.clk", "0");
    drive.Set(data, "top.data", "00000000");
    drive.Set(count, "top.count", Bits32(0));
    drive.Set(done, "top.done", "0");
    drive.Set(w, "top.u1.w", "z");
    drive.Set(bus, "top.u1.bus", "xxxx");
    drive.EndStep(true);
    for (std::uint32_t cycle = 1; cycle <= 3; ++cycle) {
        sim.AdvanceTo(cycle * 10);
        drive.Set(clk, "top.clk", "1");
        drive.Set(data, "top.data", "11111111");  // overwritten in the same step
        drive.Set(data, "top.data", cycle == 2 ? "0000001x" : "00000011");
        drive.Set(count, "top.count", Bits32(cycle));
        drive.Set(bus, "top.u1.bus", cycle == 3 ? "10z1" : "0101");
        drive.EndStep(true);
        sim.AdvanceTo(cycle * 10 + 5);
        drive.Set(clk, "top.clk", "0");
        drive.EndStep(true);
    }

    sim.AdvanceTo(40);
    run(sim.RunTask(top, "$traxDumpoff"));
    drive.EndStep(false);
    sim.AdvanceTo(45);
    drive.Set(clk, "top.clk", "1");
    drive.Set(data, "top.data", "10101010");
    drive.Set(count, "top.count", Bits32(4));
    drive.EndStep(false);
    sim.AdvanceTo(50);
    drive.Set(w, "top.u1.w", "1");
    run(sim.RunTask(top, "$traxDumpon"));
    drive.EndStepWithDumpOn();
    drive.Off(40, 50);

    sim.AdvanceTo(55);
    drive.Set(clk, "top.clk", "0");
    drive.Set(bus, "top.u1.bus", "1111");
    run(sim.RunTask(top, "$traxDumpflush"));
    drive.EndStep(true);
    sim.AdvanceTo(60);
    drive.Set(data, "top.data", "01010101");
    drive.Set(count, "top.count", Bits32(0xffffffffu));
    drive.Set(done, "top.done", "1");
    drive.EndStep(true);
    sim.AdvanceTo(70);
    sim.Finish();

    for (const std::string &diagnostic : sim.Diagnostics()) {
        failures += "simulator: " + diagnostic + "\n";
    }
    if (sim.CountMessages(ModelSim::Channel::kError) != 0) {
        failures += "errors on the transcript:\n" + sim.TranscriptText();
    }
    return failures;
}

}  // namespace tavri::test
