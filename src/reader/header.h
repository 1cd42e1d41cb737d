// The 512-byte header at the start of every database file: a fixed section
// (0..191), an offset section (192..311) completed when the file is
// finished, and a statistics section (312..511) rewritten at every flush.
// A 2048-byte environment record and a 256-byte reserved area follow; the
// first block starts at 2816.
#ifndef TAVRI_READER_HEADER_H
#define TAVRI_READER_HEADER_H

#include <cstdint>

#include "reader/byte_order.h"
#include "reader/status.h"
#include "tavri/trax_reader.h"

namespace tavri::reader {

constexpr uint64_t kHeaderSize = 512;
constexpr uint64_t kDataStart = 2816;
constexpr uint64_t kEnvironmentRecordSize = 2048;
constexpr uint32_t kMagicPointer4 = 0x48D93DFCu;
constexpr uint32_t kMagicPointer8 = 0x48D93E1Cu;

constexpr uint8_t kStatusFinished = 0;

// Decodes and checks the header. `file_size` is the size of the main file;
// `available` how many header bytes could be read (at most 512).
Status ParseHeader(const uint8_t *bytes, uint64_t available, uint64_t file_size,
                   traxrHeader *header, ByteOrder *order);

const char *FileTypeName(unsigned file_type);
const char *FileStatusName(unsigned file_status);
const char *EndianName(unsigned endian_type);
const char *TimeUnitName(unsigned code);

}  // namespace tavri::reader

#endif
