// The front end's cost per value change: a design of a few thousand scalars
// and vectors is dumped with $traxDumpvars in the model simulator, then the
// same few million changes are applied three ways in one run:
//   - SimulatorToFile: SetValue -> value-change callbacks -> writer, with the
//     end-of-step sampling of vectors (EndStep every step);
//   - WriterDirect: the same changes handed to the writer without the
//     simulator (txw_CreateXCoor, txw_CreateVarValueByIdcode and
//     txw_CreateABBusValueByIdcode), the front end's floor;
//   - SimulatorOnly: the same SetValue loop with no callbacks, the model
//     simulator's own cost;
//   - SimulatorWithEmptyCallbacks: the same loop with a value-change link on
//     every signal whose consumer returns at once, the simulator's cost of
//     delivering changes;
//   - SimulatorToFileAfterCallTracing: SimulatorToFile after call tracing was
//     switched on and off again ($traxDebug "-m 4", then "-m 0"): the
//     routine table holds the simulator's routines again, and the run costs
//     what SimulatorToFile costs;
//   - SimulatorToFileWithCallTracing: the same with call tracing on, every
//     simulator call traced into /dev/null (fewer changes: each costs
//     several trace lines).
// The front end's overhead per change is
//   SimulatorToFile - SimulatorWithEmptyCallbacks - WriterDirect
// (it includes the simulator routines the front end calls: acc_fetch_value,
// tf_irosynchronize and the misctf of the end of the step).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "pli/debug_command.h"
#include "pli/dump_file.h"
#include "pli/dumper_state.h"
#include "pli/registration.h"
#include "pli/trace_settings.h"
#include "pli/vcl.h"
#include "support/model_sim.h"
#include "tavri/txw.h"
#include "writer/object_lifecycle.h"

// Every operator new of the process is counted, so that each run can tell how
// many allocations a change costs. The model simulator allocates on its own
// path, and also inside the routines the dumper calls (acc_fetch_value builds
// its value in a fresh vector), so the difference between the runs is an
// upper bound on the dumper's share; a profile shows those routines account
// for all of it.
namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

// The replacements pair malloc with free; the compiler cannot see that
// through the inlined global operators.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete[](void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void *memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace {

using tavri::test::ModelSim;
using tavri::test::Scope;
using tavri::test::Signal;

constexpr int kScopes = 20;
constexpr int kScalarsPerScope = 120;
constexpr int kBytesPerScope = 40;     // 8-bit vectors
constexpr int kWordsPerScope = 20;     // 32-bit vectors
constexpr int kChangesPerStep = 200;   // distinct variables each step
constexpr uint64_t kChanges = 2000000;
constexpr uint64_t kStepTime = 10;

// One variable of the design with its two alternating values, as binary text
// for the simulator and as writer values.
struct Variable {
    int width = 1;
    std::string text[2];
    uint32_t words[2][2] = {{0, 0}, {0, 0}};  // A/B pair of each value
    int32_t idcode = 0;                       // in the direct writer file
    Signal *signal = nullptr;
};

struct Design {
    std::vector<Variable> vars;
    std::vector<uint32_t> order;  // variables of each step: a window over a shuffled order
};

std::string Pattern(int width, int which) {
    std::string text;
    for (int bit = 0; bit < width; ++bit) text += ((bit + which) % 2 == 0) ? '1' : '0';
    return text;
}

Design MakeDesign() {
    Design design;
    auto add = [&](int width) {
        Variable var;
        var.width = width;
        for (int which = 0; which < 2; ++which) {
            var.text[which] = Pattern(width, which);
            uint32_t a = 0;
            for (int bit = 0; bit < width; ++bit) {
                if (var.text[which][static_cast<size_t>(width - 1 - bit)] == '1') a |= 1u << bit;
            }
            var.words[which][0] = a;
        }
        design.vars.push_back(var);
    };
    for (int s = 0; s < kScopes; ++s) {
        for (int i = 0; i < kScalarsPerScope; ++i) add(1);
        for (int i = 0; i < kBytesPerScope; ++i) add(8);
        for (int i = 0; i < kWordsPerScope; ++i) add(32);
    }
    design.order.resize(design.vars.size());
    for (uint32_t i = 0; i < design.order.size(); ++i) design.order[i] = i;
    std::mt19937 random(7);
    std::shuffle(design.order.begin(), design.order.end(), random);
    return design;
}

const Design &TheDesign() {
    static const Design design = MakeDesign();
    return design;
}

std::string BenchPath(const char *name) { return (std::filesystem::temp_directory_path() / name).string(); }

// Builds the design in the simulator, in scopes of the same layout.
Scope *Build(ModelSim &sim, std::vector<Signal *> *signals) {
    const Design &design = TheDesign();
    Scope *top = sim.AddTopModule("top");
    size_t index = 0;
    for (int s = 0; s < kScopes; ++s) {
        Scope *scope = sim.AddModule(top, "u" + std::to_string(s), "cell");
        const int per_scope = kScalarsPerScope + kBytesPerScope + kWordsPerScope;
        for (int i = 0; i < per_scope; ++i, ++index) {
            const int width = design.vars[index].width;
            const std::string name = "s" + std::to_string(i);
            signals->push_back(i % 2 == 0 ? (width == 1 ? sim.AddNet(scope, name) : sim.AddNet(scope, name, width - 1, 0))
                                          : (width == 1 ? sim.AddReg(scope, name) : sim.AddReg(scope, name, width - 1, 0)));
        }
    }
    return top;
}

// Applies the changes through the simulator, step by step.
void SimulatorLoop(ModelSim &sim, const std::vector<Signal *> &signals, bool end_steps,
                   uint64_t changes = kChanges) {
    const Design &design = TheDesign();
    std::vector<uint8_t> toggle(design.vars.size(), 0);
    const size_t count = design.order.size();
    uint64_t done = 0;
    size_t cursor = 0;
    uint64_t time = sim.Now();
    while (done < changes) {
        time += kStepTime;
        sim.AdvanceTo(time);
        for (int c = 0; c < kChangesPerStep && done < changes; ++c, ++done) {
            const uint32_t v = design.order[cursor];
            cursor = cursor + 1 == count ? 0 : cursor + 1;
            toggle[v] ^= 1;
            sim.SetValue(signals[v], design.vars[v].text[toggle[v]]);
        }
        if (end_steps) sim.EndStep();
    }
    sim.EndStep();
}

void Report(benchmark::State &state, const std::string &path, uint64_t allocations, uint64_t changes = kChanges) {
    state.counters["allocs_per_change"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations() * changes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * changes));
    state.counters["ns_per_change"] = benchmark::Counter(static_cast<double>(state.iterations() * changes),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (!path.empty()) {
        state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
        std::filesystem::remove(path);
    }
}

// SetValue -> callbacks -> writer, closing the file at the end. The debug
// command lines run before the dump starts.
void DumpThroughSimulator(benchmark::State &state, const char *file, std::initializer_list<const char *> debug,
                          uint64_t changes) {
    const std::string path = BenchPath(file);
    uint64_t allocations = 0;
    for (auto _ : state) {
        tavri::pli::ResetDumperState();
        std::vector<Signal *> signals;
        {
            ModelSim sim;
            Scope *top = Build(sim, &signals);
            tavri::pli::RegisterDumper();
            for (const char *command : debug) tavri::pli::RunDebugCommand(command);
            sim.RunTask(top, "$traxDumpfile(\"" + path + "\")");
            sim.RunTask(top, "$traxDumpvars(0, top)");
            sim.EndStep();
            const uint64_t before = g_allocations.load();
            const auto start = std::chrono::steady_clock::now();
            SimulatorLoop(sim, signals, true, changes);
            sim.Finish();
            const auto stop = std::chrono::steady_clock::now();
            allocations += g_allocations.load() - before;
            state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
            if (!sim.Diagnostics().empty()) state.SkipWithError(sim.Diagnostics().front().c_str());
            tavri::pli::ReleaseAllHooks();
            tavri::pli::ResetTracing();
        }
        tavri::pli::ResetDumperState();
        tavri::writer::FreeParkedObject();
    }
    Report(state, path, allocations, changes);
}

void BM_SimulatorToFile(benchmark::State &state) { DumpThroughSimulator(state, "tavri_bench_frontend.trax", {}, kChanges); }
BENCHMARK(BM_SimulatorToFile)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_SimulatorToFileAfterCallTracing(benchmark::State &state) {
    DumpThroughSimulator(state, "tavri_bench_untraced.trax", {"-m 4 -f /dev/null", "-m 0"}, kChanges);
}
BENCHMARK(BM_SimulatorToFileAfterCallTracing)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

void BM_SimulatorToFileWithCallTracing(benchmark::State &state) {
    DumpThroughSimulator(state, "tavri_bench_traced.trax", {"-m 4 -f /dev/null"}, kChanges / 10);
}
BENCHMARK(BM_SimulatorToFileWithCallTracing)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The same changes handed to the writer directly.
void BM_WriterDirect(benchmark::State &state) {
    const std::string path = BenchPath("tavri_bench_direct.trax");
    const Design &design = TheDesign();
    uint64_t allocations = 0;
    for (auto _ : state) {
        std::vector<int32_t> idcodes(design.vars.size());
        txwObject *obj = txw_OpenFile(path.c_str(), 0);
        txw_BeginTree(obj);
        txwScopeDesc top{"top", "top", nullptr, 0, 0};
        txw_CreateScope(obj, &top);
        size_t index = 0;
        for (int s = 0; s < kScopes; ++s) {
            const std::string scope_name = "u" + std::to_string(s);
            txwScopeDesc scope{scope_name.c_str(), "cell", nullptr, 0, 0};
            txw_CreateScope(obj, &scope);
            const int per_scope = kScalarsPerScope + kBytesPerScope + kWordsPerScope;
            for (int i = 0; i < per_scope; ++i, ++index) {
                const int width = design.vars[index].width;
                const std::string name = "s" + std::to_string(i);
                idcodes[index] = static_cast<int32_t>(index + 1);
                txw_CreateVarByVarIdcode(obj, i % 2 == 0 ? 15 : 4, 0, 0, width - 1, 0, idcodes[index], name.c_str(),
                                         0);
            }
            txw_EndScope(obj);
        }
        txw_EndScope(obj);
        txw_EndTree(obj);

        std::vector<uint8_t> toggle(design.vars.size(), 0);
        const uint64_t before = g_allocations.load();
        const auto start = std::chrono::steady_clock::now();
        const size_t count = design.order.size();
        uint64_t done = 0;
        size_t cursor = 0;
        uint32_t time = 0;
        uint32_t words[2];
        while (done < kChanges) {
            time += static_cast<uint32_t>(kStepTime);
            txw_CreateXCoor(obj, 0, time);
            for (int c = 0; c < kChangesPerStep && done < kChanges; ++c, ++done) {
                const uint32_t v = design.order[cursor];
                cursor = cursor + 1 == count ? 0 : cursor + 1;
                toggle[v] ^= 1;
                const Variable &var = design.vars[v];
                if (var.width == 1) {
                    const uint8_t value = static_cast<uint8_t>(var.words[toggle[v]][0]);
                    txw_CreateVarValueByIdcode(obj, idcodes[v], &value, 1);
                } else {
                    words[0] = var.words[toggle[v]][0];
                    words[1] = var.words[toggle[v]][1];
                    txw_CreateABBusValueByIdcode(obj, idcodes[v], words, static_cast<uint32_t>(var.width));
                }
            }
        }
        txw_CloseFile(obj);
        const auto stop = std::chrono::steady_clock::now();
        allocations += g_allocations.load() - before;
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        tavri::writer::FreeParkedObject();
    }
    Report(state, path, allocations);
}
BENCHMARK(BM_WriterDirect)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The same SetValue loop without the dumper: the model simulator alone.
void BM_SimulatorOnly(benchmark::State &state) {
    uint64_t allocations = 0;
    for (auto _ : state) {
        std::vector<Signal *> signals;
        ModelSim sim;
        Build(sim, &signals);
        const uint64_t before = g_allocations.load();
        const auto start = std::chrono::steady_clock::now();
        SimulatorLoop(sim, signals, true);
        const auto stop = std::chrono::steady_clock::now();
        allocations += g_allocations.load() - before;
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    Report(state, "", allocations);
}
BENCHMARK(BM_SimulatorOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

int EmptyConsumer(p_vc_record /*record*/) { return 1; }

// The same loop with a link on every signal that does nothing.
void BM_SimulatorWithEmptyCallbacks(benchmark::State &state) {
    uint64_t allocations = 0;
    for (auto _ : state) {
        std::vector<Signal *> signals;
        ModelSim sim;
        Build(sim, &signals);
        for (Signal *signal : signals) sim.acc_vcl_add(signal, EmptyConsumer, nullptr, vcl_verilog_logic);
        const uint64_t before = g_allocations.load();
        const auto start = std::chrono::steady_clock::now();
        SimulatorLoop(sim, signals, true);
        const auto stop = std::chrono::steady_clock::now();
        allocations += g_allocations.load() - before;
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    Report(state, "", allocations);
}
BENCHMARK(BM_SimulatorWithEmptyCallbacks)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace
