// Memories as PLI 1.0's node information shows them: the declared element
// and word ranges, and a value buffer of 2 x groups bytes a cell (the A
// groups, then the B groups, least significant group first). Cells lie from
// the lowest index on, the layout the front end reads for every simulator
// version from 5.6 on, which every version this simulator reports is.
//
// VPI has no such buffer: each memory gets one of its own, at an address
// that stays the same for the rest of the run (the front end keys the cell
// variables on it). It is filled from the memory's words when tf_nodeinfo
// hands it out, and again before a misctf of an instance that asked for it
// runs at the end of a step or at the finish, so that the front end reads
// the values the memory holds then. Memories get no value-change callbacks:
// this simulator does not survive callbacks on whole arrays.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

struct MemoryBuffer {
    vpiHandle memory = nullptr;
    std::vector<vpiHandle> words;  // by position: lowest index first
    std::string name;
    int left = 0;
    int right = 0;
    int msb = 0;
    int lsb = 0;
    int width = 0;
    int groups = 0;
    std::vector<unsigned char> bytes;
};

std::unordered_map<vpiHandle, std::unique_ptr<MemoryBuffer>> &Buffers() {
    static std::unordered_map<vpiHandle, std::unique_ptr<MemoryBuffer>> buffers;
    return buffers;
}

bool RangeValue(vpiHandle object, int which, int *value) {
    vpiHandle bound = vpi_handle(which, object);
    if (bound == nullptr) {
        return false;
    }
    s_vpi_value read{};
    read.format = vpiIntVal;
    vpi_get_value(bound, &read);
    *value = read.value.integer;
    return true;
}

// Makes the memory's buffer on first sight; null for an object that is not
// a memory of words with known bounds.
MemoryBuffer *BufferOf(vpiHandle memory) {
    auto found = Buffers().find(memory);
    if (found != Buffers().end()) {
        return found->second.get();
    }
    auto buffer = std::make_unique<MemoryBuffer>();
    buffer->memory = memory;
    if (!RangeValue(memory, vpiLeftRange, &buffer->left) || !RangeValue(memory, vpiRightRange, &buffer->right)) {
        return nullptr;
    }
    const int low = buffer->left < buffer->right ? buffer->left : buffer->right;
    const int high = buffer->left < buffer->right ? buffer->right : buffer->left;
    for (int index = low; index <= high; ++index) {
        vpiHandle word = vpi_handle_by_index(memory, index);
        if (word == nullptr) {
            return nullptr;
        }
        buffer->words.push_back(word);
    }
    vpiHandle first = buffer->words.front();
    buffer->width = vpi_get(vpiSize, first);
    if (buffer->width < 1) {
        return nullptr;
    }
    if (!RangeValue(first, vpiLeftRange, &buffer->msb) || !RangeValue(first, vpiRightRange, &buffer->lsb)) {
        buffer->msb = buffer->width - 1;
        buffer->lsb = 0;
    }
    const char *name = vpi_get_str(vpiName, memory);
    buffer->name = name != nullptr ? name : "";
    buffer->groups = (buffer->width + 7) / 8;
    buffer->bytes.assign(2 * static_cast<size_t>(buffer->groups) * buffer->words.size(), 0);
    MemoryBuffer *raw = buffer.get();
    Buffers().emplace(memory, std::move(buffer));
    return raw;
}

void Fill(MemoryBuffer &buffer) {
    const auto groups = static_cast<size_t>(buffer.groups);
    for (size_t position = 0; position < buffer.words.size(); ++position) {
        s_vpi_value value{};
        value.format = vpiVectorVal;
        vpi_get_value(buffer.words[position], &value);
        unsigned char *a = buffer.bytes.data() + position * 2 * groups;
        unsigned char *b = a + groups;
        for (size_t group = 0; group < groups; ++group) {
            const s_vpi_vecval &pair = value.value.vector[group / 4];
            const unsigned shift = 8 * (group % 4);
            // Bits above the word's width stay 0.
            const int used = buffer.width - static_cast<int>(8 * group);
            const unsigned mask = used >= 8 ? 0xFFu : (1u << used) - 1u;
            a[group] = static_cast<unsigned char>((static_cast<uint32_t>(pair.aval) >> shift) & mask);
            b[group] = static_cast<unsigned char>((static_cast<uint32_t>(pair.bval) >> shift) & mask);
        }
    }
}

}  // namespace

p_tfnodeinfo MemoryNodeinfo(vpiHandle argument, p_tfnodeinfo info) {
    vpiHandle memory = argument;
    if (vpi_get(vpiType, argument) == vpiMemoryWord) {
        memory = vpi_handle(vpiParent, argument);
    }
    if (memory == nullptr || vpi_get(vpiType, memory) != vpiMemory) {
        return nullptr;
    }
    MemoryBuffer *buffer = BufferOf(memory);
    if (buffer == nullptr) {
        return nullptr;
    }
    Fill(*buffer);
    *info = s_tfnodeinfo{};
    info->node_type = tf_memory_node;
    info->node_value.memoryval_p = reinterpret_cast<char *>(buffer->bytes.data());
    info->node_symbol = buffer->name.data();
    info->node_ngroups = buffer->groups;
    info->node_vec_size = buffer->width;
    info->node_ms_index = buffer->msb;
    info->node_ls_index = buffer->lsb;
    info->node_mem_size = static_cast<int>(buffer->words.size());
    info->node_lhs_element = buffer->left;
    info->node_rhs_element = buffer->right;
    info->node_handle = reinterpret_cast<int *>(memory);
    return info;
}

void RefreshMemoryBuffers() {
    for (auto &[memory, buffer] : Buffers()) {
        Fill(*buffer);
    }
}

}  // namespace tavri::vpi
