// The scope and variable tree: nested scopes and the variables inside them,
// written to the scope and variable streams while a tree is open, and the
// in-core records of every idcode once its tree has ended.
//
// Scope stream: 0xFE begins a tree, 0xFF ends it, 0xFD ends a scope; any
// other byte is the type of a scope record:
//   type, name NUL, second name NUL, third name NUL [, 15, fourth name NUL],
//   then the trailer byte T, written at the next scope record, end scope or
//   end tree: bit 0 a 4-byte variable-stream position follows (bit 1: 8
//   bytes) - the start of the scope's variable group; bit 4 the group holds a
//   wide kind; bits 5 and 6 the scope's flags A and B.
// Variable stream: 0xBF opens it; each scope's variables form a group closed
// by 0xFF; a variable record is
//   type byte [, u32 descriptor length, descriptor], name NUL, flag byte F,
//   left bound (F bits 0-1: 1, 2 or 4 bytes), right bound (bits 2-3),
//   idcode (1 byte, 2 bytes with bit 4, 4 bytes with bit 5),
//   direction x 16 + bytes-per-bit code (bit 6), 2-byte data type (bit 7),
//   extra bytes.
#ifndef TAVRI_WRITER_TREE_H
#define TAVRI_WRITER_TREE_H

#include <cstdint>

struct txwObject;

namespace tavri::writer {

struct IncoreVar;

constexpr uint32_t kMaxBitSize = 0x200000;
constexpr uint32_t kFirstUserDataType = 512;

// The in-core record of an idcode whose tree has ended, or null.
IncoreVar *FindIncoreVar(txwObject *obj, uint32_t idcode);

// Releases the trees, their block lists and in-core records.
void FreeTrees(txwObject *obj);

}  // namespace tavri::writer

#endif
