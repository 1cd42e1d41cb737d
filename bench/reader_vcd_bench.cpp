// Reading a large database and exporting it as VCD: a file with more than
// 100 MB of value changes (vc blk cnt above 100, each block 1 MB before
// compression) is written once with the writer; the benchmarks then walk
// all its changes in time order (reading MB/s: value-change stream bytes
// per second) and write the whole VCD (VCD MB/s: output bytes per second),
// to /dev/null and to a file. The peak resident memory is reported beside
// the file size: the export streams, so it must stay far below the file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "database.h"
#include "tavri/trax_reader.h"
#include "tavri/txw.h"
#include "vcd_writer.h"
#include "writer/object_lifecycle.h"

namespace {

constexpr uint32_t kScalars = 8000;
constexpr uint32_t kBuses = 2000;        // 32-bit, one byte per bit
constexpr uint32_t kMinVcBlocks = 110;  // > 100 MB of value changes

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "tavri_bench_reader_vcd.trax").string();
}

uint32_t VcBlocks(const std::string &path) {
    traxrReader *reader = nullptr;
    if (traxr_Open(path.c_str(), &reader, nullptr, 0) != TRAXR_OK) return 0;
    const uint32_t blocks = traxr_GetHeader(reader)->vc_blk_cnt;
    traxr_Close(reader);
    return blocks;
}

// Clocks, counters and random buses: per time step about 2% of the
// variables change.
const std::string &LargeFile() {
    static const std::string path = [] {
        const std::string file = BenchFile();
        if (VcBlocks(file) >= kMinVcBlocks) return file;
        txwObject *obj = txw_OpenFile(file.c_str(), TXW_FILE_VERILOG);
        txw_BeginTree(obj);
        uint32_t id = 0;
        for (uint32_t scope = 0; scope < (kScalars + kBuses) / 100; ++scope) {
            const std::string name = "u" + std::to_string(scope);
            txwScopeDesc desc{name.c_str(), nullptr, nullptr, 0, 0};
            txw_CreateScope(obj, &desc);
            for (int i = 0; i < 100; ++i) {
                ++id;
                const bool bus = id > kScalars;
                const std::string var = "s" + std::to_string(id);
                txw_CreateVarByVarIdcode(obj, bus ? 4 : 15, 0, 0, bus ? 31 : 0, 0,
                                         static_cast<int32_t>(id), var.c_str(), 0);
            }
            txw_EndScope(obj);
        }
        txw_EndTree(obj);
        std::mt19937 random(7);
        std::vector<uint8_t> bits(32);
        uint32_t time = 0;
        for (uint64_t step = 0;; ++step) {
            time += 10;
            txw_CreateXCoor(obj, 0, time);
            for (uint32_t c = 0; c < (kScalars + kBuses) / 50; ++c) {
                const uint32_t var = 1 + random() % (kScalars + kBuses);
                if (var <= kScalars) {
                    const uint8_t value = static_cast<uint8_t>(random() % 7 == 0 ? 2 : random() & 1);
                    txw_CreateVarValueByIdcode(obj, static_cast<int32_t>(var), &value, 1);
                } else {
                    const uint32_t word = random();
                    for (int b = 0; b < 32; ++b) bits[b] = static_cast<uint8_t>((word >> b) & 1);
                    txw_CreateVarValueByIdcode(obj, static_cast<int32_t>(var), bits.data(), 32);
                }
            }
            if (step % 4096 == 0 && step > 0) {
                // The header's count grows with each flush; read it back
                // from the live file.
                if (VcBlocks(file) >= kMinVcBlocks) break;
            }
        }
        txw_CloseFile(obj);
        tavri::writer::FreeParkedObject();
        return file;
    }();
    return path;
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Describe(benchmark::State &state, const std::string &file, uint32_t vc_blocks) {
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    state.counters["vc_blocks"] = vc_blocks;
    state.counters["peak_rss_MB"] = PeakRssMb();
}

void BM_WalkAllChanges(benchmark::State &state) {
    const std::string &file = LargeFile();
    uint64_t changes = 0;
    uint32_t vc_blocks = 0;
    for (auto _ : state) {
        traxrReader *reader = nullptr;
        if (traxr_Open(file.c_str(), &reader, nullptr, 0) != TRAXR_OK) {
            state.SkipWithError("cannot open the benchmark file");
            return;
        }
        vc_blocks = traxr_GetHeader(reader)->vc_blk_cnt;
        traxrWalk *walk = nullptr;
        traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk);
        uint32_t idcode;
        traxrChange change;
        changes = 0;
        while (traxr_WalkNext(walk, &idcode, &change) == TRAXR_OK) ++changes;
        traxr_CloseWalk(walk);
        traxr_Close(reader);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * vc_blocks * 0x100000);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * changes));
    Describe(state, file, vc_blocks);
}
BENCHMARK(BM_WalkAllChanges)->Unit(benchmark::kMillisecond)->Iterations(2);

void ExportRun(benchmark::State &state, const std::string &out_path) {
    const std::string &file = LargeFile();
    uint64_t bytes = 0, changes = 0;
    uint32_t vc_blocks = 0;
    for (auto _ : state) {
        trax::Database db;
        std::string error;
        if (db.Open(file, &error) != TRAXR_OK) {
            state.SkipWithError(error.c_str());
            return;
        }
        vc_blocks = db.header().vc_blk_cnt;
        std::FILE *out = std::fopen(out_path.c_str(), "wb");
        trax::VcdStats stats;
        if (!trax::WriteVcd(db, out, &stats, &error)) state.SkipWithError(error.c_str());
        std::fclose(out);
        bytes = stats.bytes;
        changes = stats.changes;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * changes));
    state.counters["vcd_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["read_MB/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * vc_blocks * 0x100000 / 1e6, benchmark::Counter::kIsRate);
    Describe(state, file, vc_blocks);
}

void BM_VcdToDevNull(benchmark::State &state) { ExportRun(state, "/dev/null"); }
BENCHMARK(BM_VcdToDevNull)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_VcdToFile(benchmark::State &state) {
    const std::string out = (std::filesystem::temp_directory_path() / "tavri_bench_reader.vcd").string();
    ExportRun(state, out);
    std::filesystem::remove(out);
}
BENCHMARK(BM_VcdToFile)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
