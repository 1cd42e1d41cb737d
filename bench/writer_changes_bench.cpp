// The cost of recording value changes, flushes and compression included,
// and the bytes they take on disk: a design of about 10k variables gets
// several million changes, by kind (scalars, 32-bit and 256-bit A/B buses)
// and as a mix, all measured side by side in one run; the mix also under a
// dump limit (the ring) and a stop limit, beside the same run without one
// and without one but with the small value-change memory a limit brings.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tavri/txw.h"
#include "writer/object_lifecycle.h"

namespace {

enum Kind { kScalar, kBus32, kBus256 };

struct Variable {
    int32_t idcode;
    Kind kind;
};

std::string BenchPath() { return (std::filesystem::temp_directory_path() / "tavri_bench_changes.trax").string(); }

// A design of `count` variables of the given kinds, in scopes of 100.
std::vector<Variable> BuildTree(txwObject *obj, int scalars, int bus32, int bus256) {
    std::vector<Variable> vars;
    txw_BeginTree(obj);
    int id = 0;
    auto add = [&](Kind kind, int count) {
        for (int i = 0; i < count; ++i) {
            if (id % 100 == 0) {
                if (id > 0) txw_EndScope(obj);
                const std::string scope = "u" + std::to_string(id / 100);
                txwScopeDesc desc{scope.c_str(), "cell", nullptr, 0, 0};
                txw_CreateScope(obj, &desc);
            }
            ++id;
            const int left = kind == kScalar ? 0 : kind == kBus32 ? 31 : 255;
            const std::string name = "sig" + std::to_string(id);
            txw_CreateVarByVarIdcode(obj, kind == kScalar ? 15 : 4, 0, 0, left, 0, id, name.c_str(), 0);
            vars.push_back({id, kind});
        }
    };
    add(kScalar, scalars);
    add(kBus32, bus32);
    add(kBus256, bus256);
    txw_EndScope(obj);
    txw_EndTree(obj);
    return vars;
}

// How a run bounds its file.
struct Bound {
    uint32_t dump_limit = 0;  // MB: the ring
    uint32_t stop_limit = 0;  // MB
};

// Writes `changes` changes: per time step about 1% of the variables change;
// clocks and counters are the usual shapes of simulation data.
void WriteRun(benchmark::State &state, int scalars, int bus32, int bus256, uint64_t changes,
              Bound bound = {}) {
    const std::string path = BenchPath();
    uint64_t bytes = 0;
    for (auto _ : state) {
        txwObject *obj = txw_OpenFile(path.c_str(), 0);
        if (bound.dump_limit != 0 || bound.stop_limit != 0) {
            txw_CreateXCoor(obj, 0, 0);
            if (bound.dump_limit != 0) txw_SetDumpLimit(obj, bound.dump_limit);
            if (bound.stop_limit != 0) txw_SetLifoDumpLimit(obj, bound.stop_limit);
        }
        std::vector<Variable> vars = BuildTree(obj, scalars, bus32, bus256);
        std::mt19937 random(42);
        std::vector<uint32_t> counter(vars.size() + 1, 0);
        uint32_t words[16] = {};
        uint32_t time = 0;
        for (uint64_t done = 0; done < changes;) {
            time += 5;
            txw_CreateXCoor(obj, 0, time);
            const size_t per_step = vars.size() / 100 + 1;
            for (size_t c = 0; c < per_step && done < changes; ++c, ++done) {
                const Variable &var = vars[random() % vars.size()];
                const uint32_t next = ++counter[static_cast<size_t>(var.idcode)];
                if (var.kind == kScalar) {
                    const uint8_t value = static_cast<uint8_t>(next & 1);
                    txw_CreateVarValueByIdcode(obj, var.idcode, &value, 1);
                } else {
                    const int pairs = var.kind == kBus32 ? 1 : 8;
                    for (int p = 0; p < pairs; ++p) {
                        words[2 * p] = p == 0 ? next : static_cast<uint32_t>(random());
                        words[2 * p + 1] = (next % 64 == 0) ? 0xF : 0;
                    }
                    txw_CreateABBusValueByIdcode(obj, var.idcode, words, pairs * 32);
                }
            }
        }
        txw_CloseFile(obj);
        tavri::writer::FreeParkedObject();
        bytes = std::filesystem::file_size(path);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * changes));
    state.counters["ns_per_change"] = benchmark::Counter(
        static_cast<double>(state.iterations() * changes), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_change"] = static_cast<double>(bytes) / static_cast<double>(changes);
    std::filesystem::remove(path);
}

void BM_ScalarChanges(benchmark::State &state) { WriteRun(state, 10000, 0, 0, 4000000); }
BENCHMARK(BM_ScalarChanges)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Bus32Changes(benchmark::State &state) { WriteRun(state, 0, 10000, 0, 3000000); }
BENCHMARK(BM_Bus32Changes)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Bus256Changes(benchmark::State &state) { WriteRun(state, 0, 0, 10000, 2000000); }
BENCHMARK(BM_Bus256Changes)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MixedChanges(benchmark::State &state) { WriteRun(state, 8000, 1500, 500, 4000000); }
BENCHMARK(BM_MixedChanges)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same mix with the 2 MB value-change memory that a 10 MB limit uses:
// the cost of flushing more often, without a ring.
void BM_MixedChangesSmallMemory(benchmark::State &state) {
    setenv("TRAX_ENV_WRITER_MEM_LIMIT", "2", 1);
    WriteRun(state, 8000, 1500, 500, 4000000);
    unsetenv("TRAX_ENV_WRITER_MEM_LIMIT");
}
BENCHMARK(BM_MixedChangesSmallMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Under a dump limit of `state.range(0)` MB: the unlimited file of this run
// is about 18 MB, so a 10 MB ring comes round and a 100 MB one does not.
void BM_MixedChangesDumpLimit(benchmark::State &state) {
    Bound bound;
    bound.dump_limit = static_cast<uint32_t>(state.range(0));
    WriteRun(state, 8000, 1500, 500, 4000000, bound);
}
BENCHMARK(BM_MixedChangesDumpLimit)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

// Under a stop limit of 10 MB: past it, changes are dropped.
void BM_MixedChangesStopLimit(benchmark::State &state) {
    Bound bound;
    bound.stop_limit = 10;
    WriteRun(state, 8000, 1500, 500, 4000000, bound);
}
BENCHMARK(BM_MixedChangesStopLimit)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
