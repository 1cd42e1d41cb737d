// The index structures of a database, kept in side files while the file is
// live and copied behind the data when it is finished.
//
// Tree record (".tlist", one per ended tree):
//   0xF0, u32 variable count, u32 S + S block layouts (scope blocks),
//   u32 V + V layouts (variable blocks), u32 D + D layouts (data type blocks)
// Session record (".slist", one per flushed session):
//   0x0F, start xtag (high, low), end xtag (high, low), u32 index of the
//   session's first value-change block, u8 m1 + m1 layouts (value-change
//   blocks), u8 m2 + m2 layouts (vc chain blocks)
// Chain table (".chain" while live; the last structure of a finished file):
//   per idcode, in tree and variable order: the logical position of its last
//   vc chain entry (4 bytes, 8 when `vc chain is 8-byte`; 0 = never changed)
//   and one byte of its lasting flags (X seen, Z seen, equal times seen).
// The vc chain stream starts with the byte 0x11, so no chain entry lies at
// position 0.
#ifndef TAVRI_WRITER_SESSION_LISTS_H
#define TAVRI_WRITER_SESSION_LISTS_H

#include "platform/file_io.h"

struct txwObject;

namespace tavri::writer {

struct TreeRecord;

constexpr uint8_t kTreeRecordMarker = 0xF0;
constexpr uint8_t kSessionRecordMarker = 0x0F;
constexpr uint8_t kVcChainStreamLead = 0x11;

// Appends the tree record of an ended tree to ".tlist".
void AppendTreeRecord(txwObject *obj, TreeRecord *tree);

// Creates the value-change and vc chain streams (after the first tree) and
// writes the first chain table to ".chain".
void StartValueChangeStreams(txwObject *obj);

// Appends the record of the session just flushed to ".slist" and returns
// its stored blocks to the node cache.
void AppendSessionRecord(txwObject *obj);

// Writes the chain table to `file` at its current position.
void WriteChainTable(txwObject *obj, platform::FileHandle file);

// ".chain" is replaced whole, never rewritten in place: the new table goes
// to ".chain.new", which takes the place of ".chain" once the header counts
// the session it describes. A write fault (a full disk) part way through
// the table thus leaves the table of the sessions the header counts.
// Returns the new file, or kNoFile when it could not be made and the table
// was rewritten in place instead.
platform::FileHandle WriteNextChainTable(txwObject *obj);
void InstallChainTable(txwObject *obj, platform::FileHandle next);

}  // namespace tavri::writer

#endif
