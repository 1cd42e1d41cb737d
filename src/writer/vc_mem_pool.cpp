#include "writer/vc_mem_pool.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "writer/debug_log.h"
#include "writer/messages.h"
#include "writer/object.h"

namespace tavri::writer {
namespace {

constexpr const char *kSource = "vc_mem_pool";

// A chunk is its link followed by the payload.
constexpr size_t kChunkBytes = sizeof(VcChunk) + kVcChunkPayload;

uint8_t *Payload(VcChunk *chunk) { return reinterpret_cast<uint8_t *>(chunk + 1); }

// Takes a free chunk or, below the limit, a new one. False at the limit.
bool TakeChunk(VcMemory *memory) {
    VcChunk *chunk = memory->free_chunks;
    if (chunk != nullptr) {
        memory->free_chunks = chunk->next;
    } else {
        if (memory->in_use_count >= memory->limit) {
            return false;
        }
        chunk = static_cast<VcChunk *>(std::malloc(kChunkBytes));
        if (chunk == nullptr) {
            return false;
        }
    }
    chunk->next = memory->in_use;
    memory->in_use = chunk;
    ++memory->in_use_count;
    TXW_ASSERT(memory->in_use_count <= memory->limit, kSource);
    memory->cursor = Payload(chunk);
    memory->end = Payload(chunk) + kVcChunkPayload;
    return true;
}

void FreeChain(VcChunk *chunk) {
    while (chunk != nullptr) {
        VcChunk *next = chunk->next;
        std::free(chunk);
        chunk = next;
    }
}

void *UseOverflow(txwObject *obj, VcMemory *memory, uint32_t bytes) {
    DebugLog(obj, "No ava vc mem. Wanted:%u\n", bytes);
    if (memory->overflow_size >= bytes) {
        DebugLog(obj, "Use old extra_buf:%p, extra_buff_size:%u\n",
                 static_cast<void *>(memory->overflow), memory->overflow_size);
    } else {
        std::free(memory->overflow);
        memory->overflow_size = bytes + 128;
        memory->overflow = static_cast<uint8_t *>(std::malloc(memory->overflow_size));
        if (memory->overflow == nullptr) {
            Warn("Allocating extra buffer failed.\n");
            std::exit(-1);
        }
        DebugLog(obj, "Enlarge extra_buf:%p, extra_buff_size:%u\n",
                 static_cast<void *>(memory->overflow), memory->overflow_size);
    }
    obj->flush_after_change = true;
    return memory->overflow;
}

}  // namespace

int SetValueChangeMemLimit(txwObject *obj, uint32_t megabytes) {
    if (obj->vc_memory != nullptr) {
        txw_Flush(obj);
        VcDestroy(obj->vc_memory);
        obj->vc_memory = nullptr;
    }
    if (megabytes > kMaxMemLimit) {
        Warn("maximum memory limit is %u\n", kMaxMemLimit);
        Warn("current memory limit(%u) is too large, use %u instead", megabytes, kMaxMemLimit);
        megabytes = kMaxMemLimit;
    } else if (megabytes < kMinMemLimit) {
        Warn("minimum memory limit is %u\n", kMinMemLimit);
        Warn("current memory limit(%u) is too small, use %u instead", megabytes, kMinMemLimit);
        megabytes = kMinMemLimit;
    }
    auto *memory = new (std::nothrow) VcMemory;
    if (memory == nullptr) {
        Warn("txw_SetValueChangeMemLimit(): Memory resource exhausted!\n");
        std::exit(-1);
    }
    memory->limit = megabytes & 0xFFFu;
    obj->vc_memory = memory;
    obj->header.SetU32(kHdrWriterMemLimit, megabytes);
    return 0;
}

uint32_t DefaultMemLimit(uint32_t idcodes) {
    const uint64_t bytes = uint64_t{idcodes} * kDefaultBytesPerVariable;
    const auto megabytes = static_cast<uint32_t>(std::min<uint64_t>((bytes + 0xFFFFF) >> 20, kDefaultMemLimit));
    return std::max(megabytes, kSmallestDefaultMemLimit);
}

void SetOrRaiseDefaultMemLimit(txwObject *obj, uint32_t idcodes) {
    const uint32_t megabytes = DefaultMemLimit(idcodes);
    if (obj->vc_memory == nullptr || (obj->vc_memory->by_default && obj->vc_memory->limit < megabytes)) {
        SetValueChangeMemLimit(obj, megabytes);
        obj->vc_memory->by_default = true;
    }
}

void *VcAllocate(txwObject *obj, VcMemory *memory, uint32_t bytes) {
    bytes = (bytes + 7u) & ~7u;
    if (bytes > kVcChunkPayload) {
        // A unit this large fits no chunk: it gets the overflow buffer of its
        // own size and is flushed at once.
        Warn("Value change size(%u) too large(>%u)!\n", bytes, kVcChunkPayload);
        Warn("Memory could be corrupted!\n");
        DebugLog(obj, "Value change size(%u) too large(>%u)!\n", bytes, kVcChunkPayload);
        DebugLog(obj, "Memory could be corrupted!\n");
        return UseOverflow(obj, memory, bytes);
    }
    if (memory->in_use == nullptr || memory->cursor + bytes >= memory->end) {
        if (!TakeChunk(memory)) {
            return UseOverflow(obj, memory, bytes);
        }
    }
    void *unit = memory->cursor;
    memory->cursor += bytes;
    return unit;
}

void VcReleaseAll(VcMemory *memory) {
    if (memory->in_use == nullptr) {
        return;
    }
    VcChunk *last = memory->in_use;
    while (last->next != nullptr) {
        last = last->next;
    }
    last->next = memory->free_chunks;
    memory->free_chunks = memory->in_use;
    memory->in_use = nullptr;
    memory->in_use_count = 0;
    memory->cursor = nullptr;
    memory->end = nullptr;
}

void VcDestroy(VcMemory *memory) {
    if (memory == nullptr) {
        return;
    }
    FreeChain(memory->in_use);
    FreeChain(memory->free_chunks);
    std::free(memory->overflow);
    delete memory;
}

uint32_t VcChunksInUse(const VcMemory *memory) { return memory == nullptr ? 0 : memory->in_use_count; }

}  // namespace tavri::writer

extern "C" int txw_SetValueChangeMemLimit(txwObject *obj, uint32_t megabytes) {
    return tavri::writer::SetValueChangeMemLimit(obj, megabytes);
}
