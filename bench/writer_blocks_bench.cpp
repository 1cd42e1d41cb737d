// Block compression and block storing, measured side by side in one run:
// LZO1B throughput on value-change streams of the kinds a simulation
// produces, and the cost per MB of turning a full write buffer into a stored
// block (compression plus the write).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tavri/txw.h"
#include "writer/compressor.h"
#include "writer/object.h"
#include "writer/object_lifecycle.h"
#include "writer/wbuf.h"

namespace {

using namespace tavri::writer;

// Element arrays of scalar signals: per signal a format byte, then changes
// of one head byte (value + 1, 2-byte delta) and a 2-byte time delta, ended
// by 0xC1. Clocks toggle every step; data signals change now and then.
std::vector<uint8_t> ScalarStream(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    out.reserve(bytes + 64);
    while (out.size() < bytes) {
        out.push_back(0);
        const bool clock = random() % 8 == 0;
        const int changes = clock ? 200 : 1 + static_cast<int>(random() % 20);
        uint32_t value = 0;
        for (int i = 0; i < changes && out.size() < bytes; ++i) {
            value = clock ? value ^ 1u : static_cast<uint32_t>(random() % 4 == 0 ? 2 : random() % 2);
            const uint32_t delta = clock ? 5 : 10 + random() % 500;
            out.push_back(static_cast<uint8_t>((value + 1) | 0x10));
            out.push_back(static_cast<uint8_t>(delta));
            out.push_back(static_cast<uint8_t>(delta >> 8));
        }
        out.push_back(0xC1);
    }
    out.resize(bytes);
    return out;
}

// Element arrays of 32-bit buses in A/B form: counters and data words.
std::vector<uint8_t> BusStream(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    out.reserve(bytes + 64);
    uint32_t counter = 0;
    while (out.size() < bytes) {
        const uint8_t header[6] = {5, 0, 32, 0, 0, 0};
        out.insert(out.end(), header, header + 6);
        const bool is_counter = random() % 2 == 0;
        for (int i = 0; i < 50 && out.size() < bytes; ++i) {
            const uint32_t word = is_counter ? ++counter : static_cast<uint32_t>(random());
            out.push_back(0x18);  // 2-byte delta, compact A/B
            out.push_back(10);
            out.push_back(0);
            uint8_t bytes4[4];
            std::memcpy(bytes4, &word, 4);
            out.insert(out.end(), bytes4, bytes4 + 4);
        }
        out.push_back(0xC1);
    }
    out.resize(bytes);
    return out;
}

void Compress(benchmark::State &state, const std::vector<uint8_t> &block) {
    Compressor *compressor = CompressorCreate();
    uint32_t stored = 0;
    for (auto _ : state) {
        CompressorSetInput(compressor, block.data(), static_cast<uint32_t>(block.size()));
        const uint8_t *out = nullptr;
        Compress(compressor, &out, &stored);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
    state.counters["ratio"] = static_cast<double>(stored) / static_cast<double>(block.size());
    CompressorFree(compressor);
}

void BM_Lzo1bScalarChanges(benchmark::State &state) { Compress(state, ScalarStream(0x100000, 1)); }
BENCHMARK(BM_Lzo1bScalarChanges)->Unit(benchmark::kMicrosecond);

void BM_Lzo1bBusChanges(benchmark::State &state) { Compress(state, BusStream(0x100000, 2)); }
BENCHMARK(BM_Lzo1bBusChanges)->Unit(benchmark::kMicrosecond);

// One full buffer turned into a stored block: compression and the write to
// a real file. Reported per MB of stream.
void BM_WBufFlushPerMB(benchmark::State &state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "tavri_bench_wbuf.trax").string();
    txwObject *obj = txw_OpenFile(path.c_str(), 0);
    obj->vc_buffer = WBufCreate(obj->main_file, false, kWriteBufferCapacity, BlockKind::kValueChange);
    const std::vector<uint8_t> block = ScalarStream(0x100000, 3);
    for (auto _ : state) {
        std::memcpy(obj->vc_buffer->begin, block.data(), block.size());
        obj->vc_buffer->current = obj->vc_buffer->end;
        WBuf_Flush(obj, obj->vc_buffer);
        if (obj->session_vc_blocks.count > 256) {
            ReturnBlockNodes(obj, &obj->session_vc_blocks);
            tavri::platform::Seek(obj->main_file, 2816);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
    txw_CloseFile(obj);
    FreeParkedObject();
    std::filesystem::remove(path);
}
BENCHMARK(BM_WBufFlushPerMB)->Unit(benchmark::kMicrosecond);

}  // namespace
