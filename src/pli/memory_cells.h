// The cells of a memory in the simulator's value buffer: where a cell lies
// and how its A and B groups become per-bit codes and A/B words.
#ifndef TAVRI_PLI_MEMORY_CELLS_H
#define TAVRI_PLI_MEMORY_CELLS_H

#include <cstddef>
#include <cstdint>

#include "pli/dumper_state.h"

namespace tavri::pli {

// Simulators before version 5.6 lay a memory declared with a descending
// range out from its left element on; later ones, like every ascending
// memory, from the lowest index on.
constexpr uint32_t kAscendingBufferVersion = 0x56000;

// Position of cell `index` in the buffer (in cells).
int64_t CellPosition(const MemoryInfo &info, int32_t index, uint32_t simulator_version);

// The cell at `position` as one code per bit, most significant bit first
// (0, 1, 2 = x, 3 = z), followed by a 0 byte: `codes` holds width + 1 bytes.
void DecodeCell(const MemoryInfo &info, int64_t position, uint8_t *codes);

// Per-bit codes (or the characters 0 1 x X z Z) into A/B word pairs, least
// significant pair first: `words` holds 2 x ceil(width / 32) words. False,
// with an error line, for any other code.
bool CodesToABWords(const uint8_t *codes, uint32_t width, uint32_t *words);

}  // namespace tavri::pli

#endif
