// Vector values: read from the simulator as A/B words and handed to the
// writer in A/B form (bus compression) or one byte per bit; and the
// end-of-step sampling of vectors deferred by their callbacks.
#include "pli/dump_file.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

// How many pending vectors ahead of the one sampled their memory is fetched.
constexpr size_t kFetchAhead = 4;

// (bval << 1) | aval as writer codes: 0, 1, Z, X.
constexpr uint8_t kPairCode[4] = {0, 1, 3, 2};

void ToBytes(const s_acc_vecval *words, uint32_t width, uint8_t *bytes) {
    for (uint32_t i = 0; i < width; ++i) {
        const s_acc_vecval &pair = words[i / 32];
        const uint32_t bit = i % 32;
        const unsigned a = (static_cast<uint32_t>(pair.aval) >> bit) & 1u;
        const unsigned b = (static_cast<uint32_t>(pair.bval) >> bit) & 1u;
        bytes[width - 1 - i] = kPairCode[(b << 1) | a];
    }
    bytes[width] = 0;
}

// Reads `object`'s present value and hands it to the writer as the change
// of `idcode` (through `slot` when there is one). The width is the
// variable's when it was created; asking the simulator again for every
// sample would cost as much as the value.
void WriteVector(DumpFileRecord &file, handle object, int32_t idcode, uint32_t width, txwValueSlot *slot) {
    if (width < 1) {
        return;
    }
    DumperState &state = g_dumper;
    s_acc_vecval pair{0, 0};
    s_acc_vecval *words = &pair;
    uint8_t small_bytes[33];
    uint8_t *bytes = small_bytes;
    if (width > 32) {
        const size_t pairs = (width - 1) / 32 + 1;
        if (state.vector_words.size() < pairs) {
            state.vector_words.resize(pairs);
        }
        if (state.vector_bytes.size() < width + 1) {
            state.vector_bytes.resize(width + 1);
        }
        words = state.vector_words.data();
        bytes = state.vector_bytes.data();
    }
    s_acc_value value{};
    value.format = accVectorVal;
    value.value.vector = words;
    sim::g_sim.acc_fetch_value(object, "%%", &value);
    if (state.options.bus_compression && width >= 8) {
        auto *pairs = reinterpret_cast<uint32_t *>(words);
        if (slot != nullptr) {
            txw_CreateABBusValueInSlot(file.writer, slot, idcode, pairs);
        } else {
            g_txw.CreateABBusValueByIdcode(file.writer, idcode, pairs, width);
        }
        return;
    }
    ToBytes(words, width, bytes);
    if (slot != nullptr) {
        txw_CreateVarValueInSlot(file.writer, slot, idcode, bytes);
    } else {
        g_txw.CreateVarValueByIdcode(file.writer, idcode, bytes, width);
    }
}

}  // namespace

void WriteVectorValue(DumpFileRecord &file, txwVarMapRec *record) {
    WriteVector(file, record->handle, record->idcode, record->bit_size, nullptr);
}

void WriteVectorValue(DumpFileRecord &file, VclEntry &entry) {
    const uint32_t width = entry.bit_size != 0 ? entry.bit_size : entry.record->bit_size;
    WriteVector(file, entry.object, entry.idcode, width, &entry.slot);
}

void SamplePendingVectors() {
    DumperState &state = g_dumper;
    FinishTemporaryFiles();
    state.rosync_idle = true;
    for (DumpFileRecord &file : state.files) {
        SetCurrent(file);
        WriteTimeTag(file);
        // The entries and the writer's records they lead to lie anywhere in
        // memory: fetch both some entries ahead, so that their misses
        // overlap the work on the ones before.
        const size_t count = file.pending.size();
        VclEntry *const *pending = file.pending.data();
        for (size_t i = 0; i < count; ++i) {
            if (i + 2 * kFetchAhead < count) {
                __builtin_prefetch(pending[i + 2 * kFetchAhead]);
            }
            if (i + kFetchAhead < count) {
                const txwValueSlot &slot = pending[i + kFetchAhead]->slot;
                __builtin_prefetch(slot.var);
                __builtin_prefetch(slot.last_unit);
            }
            VclEntry &entry = *pending[i];
            entry.pending = false;
            WriteVectorValue(file, entry);
        }
        file.pending.clear();
    }
    state.needs_flush = true;
    FinishTemporaryFiles();
}

}  // namespace tavri::pli
