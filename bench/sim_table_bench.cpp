// Cost of a call into the simulator through the routine table next to a
// direct call of the same routine, measured side by side in one run.
#include <benchmark/benchmark.h>

#include "sim/sim_routines.h"

namespace {

int g_calls = 0;

__attribute__((noinline)) int CountingNump() { return ++g_calls; }
__attribute__((noinline)) char *CountingInstance() {
    ++g_calls;
    return nullptr;
}

void BindCountingRoutines() {
    tavri::sim::Routines routines;
    routines.tf_nump = CountingNump;
    routines.tf_getinstance = CountingInstance;
    tavri::sim::Bind(routines);
}

void BM_DirectCall(benchmark::State &state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CountingNump());
    }
}
BENCHMARK(BM_DirectCall);

void BM_TableCall(benchmark::State &state) {
    BindCountingRoutines();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavri::sim::g_sim.tf_nump());
    }
}
BENCHMARK(BM_TableCall);

}  // namespace
