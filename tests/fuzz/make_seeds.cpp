// Writes small valid database files with the writer, as the seeds of the
// reader's fuzz target: scalars, vectors, A/B values, reals, strings,
// aliases, several trees and sessions, both block compressions, dump off
// and on, sequence numbers and times past 32 bits; and a ring-layout file.
#include <cstdio>
#include <string>
#include <vector>

#include "tavri/txw.h"
#include "unit/reader/ring_stream.h"
#include "writer/object_lifecycle.h"

namespace {

void Scope(txwObject *obj, const char *name, uint8_t type) {
    txwScopeDesc scope{name, nullptr, nullptr, 0, type};
    txw_CreateScope(obj, &scope);
}

// `method`: the block compression (0 LZO1B, 1 zstd).
bool Mixed(const std::string &path, uint32_t method) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    if (obj == nullptr) return false;
    if (method != 0 && txw_SetCompression(obj, method, 3) != 0) return false;
    txw_SetAnnotation(obj, "seed");
    txw_BeginTree(obj);
    Scope(obj, "top", 0);
    txw_CreateVarByVarIdcode(obj, 15, 1, 0, 0, 0, 1, "clk", 0);
    txw_CreateVarByVarIdcode(obj, 4, 2, 0, 7, 0, 2, "bus", 0);
    Scope(obj, "sub", 3);
    txw_CreateVarByVarIdcode(obj, 15, 1, 0, 0, 0, 1, "clk", 0);
    txw_CreateVarByVarIdcode(obj, 3, 0, 0, 0, 0, 3, "r", 3);
    txw_CreateVarByVarIdcode(obj, 63, 0, 0, 0, 0, 4, "s", 2);
    txw_CreateVarByVarIdcode(obj, 4, 0, 0, 39, 0, 5, "ab", 0);
    txw_EndScope(obj);
    txw_EndScope(obj);
    txw_EndTree(obj);
    for (uint32_t t = 0; t < 12; ++t) {
        txw_CreateXCoor(obj, 0, t * 5);
        const uint8_t bit = static_cast<uint8_t>(t % 4);
        txw_CreateVarValueByIdcode(obj, 1, &bit, 1);
        std::vector<uint8_t> bus(8);
        for (int i = 0; i < 8; ++i) bus[i] = static_cast<uint8_t>((t >> (i % 4)) & 3);
        txw_CreateVarValueByIdcode(obj, 2, bus.data(), 8);
        const double real = t * 0.5;
        txw_CreateVarValueByIdcode(obj, 3, &real, 1);
        txwCreateStrValByVarIdcode(obj, 4, t % 2 ? "odd" : "even", nullptr);
        uint32_t words[4] = {t, t & 1, 0xFF, 0};
        txw_CreateABBusValueByIdcode(obj, 5, words, 40);
        if (t == 5) txw_Flush(obj);
        if (t == 7) txw_DumpOff(obj);
        if (t == 9) txw_DumpOn(obj);
    }
    txw_BeginTree(obj);
    Scope(obj, "second", 1);
    txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 6, "late", 0);
    txw_EndScope(obj);
    txw_EndTree(obj);
    txw_CreateXCoor(obj, 0, 100);
    const uint8_t one = 1;
    txw_CreateVarValueByIdcode(obj, 6, &one, 1);
    return txw_CloseFile(obj) == 0;
}

bool WideTimes(const std::string &path) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    if (obj == nullptr) return false;
    txw_EnableSeqNum(obj);
    txw_BeginTree(obj);
    Scope(obj, "t", 0);
    txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "a", 0);
    txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 2, "b", 0);
    txw_EndScope(obj);
    txw_EndTree(obj);
    const uint8_t zero = 0, one = 1;
    txw_CreateXCoor(obj, 0, 100);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    txw_CreateVarValueByIdcode(obj, 2, &zero, 1);
    txw_CreateXCoor(obj, 0, 70000);
    txw_CreateVarValueByIdcode(obj, 1, &zero, 1);
    txw_CreateXCoor(obj, 5, 3);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    txw_CreateVarValueByIdcode(obj, 2, &one, 1);
    return txw_CloseFile(obj) == 0;
}

bool Empty(const std::string &path) {
    txwObject *obj = txw_OpenFile(path.c_str(), TXW_FILE_VERILOG);
    return obj != nullptr && txw_CloseFile(obj) == 0;
}

// A ring that wrapped and dropped sessions, from the file builder of the
// reader's tests (the writer's own ring is tested apart).
bool Ring(const std::string &path) {
    tavri::reader_test::RingStream stream(900);
    stream.Run(10, 2, 3);
    stream.ring.WriteFinished(path);
    return stream.ring.wrapped();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = Mixed(dir + "/mixed.trax", 0) && Mixed(dir + "/mixed_zstd.trax", 1) && WideTimes(dir + "/wide.trax") &&
                    Empty(dir + "/empty.trax") && Ring(dir + "/ring.trax");
    tavri::writer::FreeParkedObject();
    return ok ? 0 : 1;
}
