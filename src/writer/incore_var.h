// The in-core record of one idcode: its pending value changes and what the
// session flush remembers of it between sessions.
#ifndef TAVRI_WRITER_INCORE_VAR_H
#define TAVRI_WRITER_INCORE_VAR_H

#include <cstdint>

#include "writer/uoff.h"

namespace tavri::writer {

// Flag word of an in-core record.
enum IncoreFlags : uint32_t {
    kVarBytesPerBitMask = 0xFu,        // bits 0-3: bytes-per-bit code
    kVarDropRepeats = 1u << 4,         // a value equal to the last one is not recorded
    kVarMerged = 1u << 5,              // a change was merged by the glitch rule
    kVarMiddleKind = 1u << 6,          // descriptor kind 0x40
    kVarComputedKind = 1u << 7,        // descriptor kind 0x80
    kVarLastValueShift = 8,            // bits 8-15: last value of a one-byte variable
    kVarLastValueMask = 0xFFu << 8,
    kVarStepCountShift = 16,           // bits 16-23: changes at the current xtag
    kVarStepCountMask = 0xFFu << 16,
    kVarNoGlitchLimit = 1u << 30,
    kVarDataTypeFlag = 1u << 31,
};

// Value formats of a variable's changes; once set, only that one is taken.
enum ValueFormat : uint8_t {
    kFormatNone = 0,
    kFormatNormalBus = 1,
    kFormatABBus = 2,
    kFormatVhdlBus = 3,
    kFormatProperty = 4,
    kFormatCDBus = 6,
    kFormatABMemory = 7,
    kFormatCoverage = 9,
};

// One pending change unit (multi-byte variables) or a block of up to seven
// changes (one-byte variables), carved from value-change memory.
struct VcUnit;

struct IncoreVar {
    VcUnit *chain_head = nullptr;
    VcUnit *chain_tail = nullptr;
    uint8_t *last_value = nullptr;  // multi-byte variables: the last value written to the file
    uint64_t flushed_before = 0;    // nonzero once a session wrote changes of this variable
    uint32_t value_size = 0;        // bytes: bit width x 2^bytes-per-bit code
    uint32_t flags = 0;
    uint32_t xtag_index = 0;        // xtag count at the last change; 0 = never changed
    uint16_t data_type = 0;
    uint8_t value_format = kFormatNone;
    uint8_t lasting_flags = 0;      // X seen, Z seen, equal times seen (bits 0-2)
    Uoff chain_position = 0;        // logical position of its last vc chain entry
};

}  // namespace tavri::writer

#endif
