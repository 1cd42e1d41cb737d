// The 512-byte file header and the areas behind it.
//
// File layout of every database:
//
//   0     192  fixed section: magic, byte order, version, settings, texts
//   192   120  offset section: where the index structures of a finished file
//              lie; rewritten at the final flush
//   312   200  statistics section: time range and counters; rewritten at
//              every flush
//   512  2048  creation-environment record; rewritten after every flush
//   2560  256  reserved area; rewritten after every flush
//   2816  ...  compressed blocks, then (finished files) the index structures
//
// Every multi-byte field is in the byte order of the writing host, which the
// byte-order word at offset 8 (0x01020304 as written) and `endian type` tell.
// The writer keeps the whole header as an in-memory image and writes
// sections of it back into the file.
#ifndef TAVRI_WRITER_HEADER_LAYOUT_H
#define TAVRI_WRITER_HEADER_LAYOUT_H

#include <cstdint>
#include <cstring>

namespace tavri::writer {

// ---- fixed section (0..191) ----
constexpr uint32_t kHdrMagic = 4;             // u32
constexpr uint32_t kHdrByteOrder = 8;         // u32 0x01020304
constexpr uint32_t kHdrBirthTime = 16;        // u64 seconds since 1970
constexpr uint32_t kHdrFlag61 = 61;           // u8, always 1
constexpr uint32_t kHdrFlag62 = 62;           // u8, always 1
constexpr uint32_t kHdrTimeUnit = 63;         // u8 time-unit code, 0 = not set
constexpr uint32_t kHdrFileType = 64;         // u8
constexpr uint32_t kHdrCompression = 65;      // u8 compression method, 0
constexpr uint32_t kHdrVersionMajor = 66;     // u8 2
constexpr uint32_t kHdrVersionMinor = 67;     // u8 3
constexpr uint32_t kHdrPointerLength = 68;    // u8 4
constexpr uint32_t kHdrEndianType = 69;       // u8 1 little, 2 big
constexpr uint32_t kHdrLockScheme = 71;       // u8 0 byte-range lock, 1 dot lock
constexpr uint32_t kHdrScopeSeparator = 72;   // text[4]
constexpr uint32_t kHdrScaleUnit = 76;        // text[20]
constexpr uint32_t kHdrSimulationDate = 96;   // text[32]
constexpr uint32_t kHdrSimulatorVersion = 128;  // text[64]

constexpr uint32_t kScopeSeparatorWidth = 4;
constexpr uint32_t kScaleUnitWidth = 20;
constexpr uint32_t kSimulationDateWidth = 32;
constexpr uint32_t kSimulatorVersionWidth = 64;

// ---- offset section (192..311): uoffs of a finished file's structures ----
constexpr uint32_t kHdrTreeListUoff = 192;
constexpr uint32_t kHdrSessionListUoff = 200;
constexpr uint32_t kHdrChainUoff = 208;
constexpr uint32_t kHdrAnnotationUoff = 216;
constexpr uint32_t kHdrStringListUoff = 224;
constexpr uint32_t kHdrRedundantListUoff = 232;
constexpr uint32_t kHdrEsdUoff = 288;
constexpr uint32_t kHdrEsdTableUoff = 296;
constexpr uint32_t kHdrAnnotationLength = 304;  // u32, terminating zero included
constexpr uint32_t kHdrWriterMemLimit = 308;    // u32 MB

// ---- statistics section (312..511) ----
constexpr uint32_t kHdrMinXtag = 312;          // 2 x u32 (high, low)
constexpr uint32_t kHdrMaxXtag = 320;          // 2 x u32 (high, low)
constexpr uint32_t kHdrMinTimeStep = 328;      // 2 x u32, all ones at creation
constexpr uint32_t kHdrEsdVarCount = 400;      // u32
constexpr uint32_t kHdrIndepVarType = 404;     // u8 0..7
constexpr uint32_t kHdrSpecialFlag4 = 405;     // u8
constexpr uint32_t kHdrSpecialFlag0 = 406;     // u8
constexpr uint32_t kHdrSpecialFlag1 = 407;     // u8
constexpr uint32_t kHdrXtagType = 408;         // u8 1 none yet, 0 integer, 2 double, 3 float
constexpr uint32_t kHdrSpecialFlag2 = 409;     // u8
constexpr uint32_t kHdrSpecialFlag3 = 411;     // u8
constexpr uint32_t kHdrSessionListSize = 416;  // u32
constexpr uint32_t kHdrDumpLimit = 420;        // u32 MB
constexpr uint32_t kHdrFirstValidChainBlock = 424;  // u32
constexpr uint32_t kHdrDumpOffCount = 428;     // u32
constexpr uint32_t kHdrStringListSize = 432;   // u32
constexpr uint32_t kHdrStringCount = 436;      // u32
constexpr uint32_t kHdrEnvRecordPresent = 440;  // u8
constexpr uint32_t kHdrFormatFlags = 441;      // 3 x u8
constexpr uint32_t kHdrScopeBlkCnt = 444;
constexpr uint32_t kHdrVarBlkCnt = 448;
constexpr uint32_t kHdrDataTypeBlkCnt = 452;
constexpr uint32_t kHdrVcBlkCnt = 456;
constexpr uint32_t kHdrVcChainBlkCnt = 460;
constexpr uint32_t kHdrSessionCount = 464;
constexpr uint32_t kHdrTreeCount = 468;
constexpr uint32_t kHdrMaxXtagIdx = 472;
constexpr uint32_t kHdrMaxVarIdcode = 476;
constexpr uint32_t kHdrMaxDtIdcode = 480;
constexpr uint32_t kHdrScopeCreationCnt = 484;
constexpr uint32_t kHdrVarCreationCnt = 488;
constexpr uint32_t kHdrBc1VcCreationCnt = 492;
constexpr uint32_t kHdrBcnVcCreationCnt = 496;
constexpr uint32_t kHdrMaxStringLength = 500;  // u16
constexpr uint32_t kHdrMaxGlitchNumber = 502;  // u16
constexpr uint32_t kHdrFileStatus = 504;       // u8 0 finished, 1 interactive, 2 batch
constexpr uint32_t kHdrDesignType = 505;
constexpr uint32_t kHdrHasVarDir = 506;
constexpr uint32_t kHdrSyncControl = 507;
constexpr uint32_t kHdrVcChainIs8Byte = 508;
constexpr uint32_t kHdrMaxXtagWasReset = 509;
constexpr uint32_t kHdrHasSeqNum = 510;
constexpr uint32_t kHdrVcIs8Byte = 511;

// ---- sections and areas ----
constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kFixedSectionSize = 192;
constexpr uint32_t kOffsetSectionStart = 192;
constexpr uint32_t kOffsetSectionSize = 120;
constexpr uint32_t kStatisticsSectionStart = 312;
constexpr uint32_t kStatisticsSectionSize = 200;
constexpr uint32_t kEnvRecordOffset = 512;
constexpr uint32_t kEnvRecordSize = 2048;
constexpr uint32_t kReservedAreaOffset = 2560;
constexpr uint32_t kReservedAreaSize = 256;
constexpr uint32_t kFirstBlockOffset = 2816;

constexpr uint32_t kMagicPointer4 = 0x48D93DFCu;
constexpr uint32_t kMagicPointer8 = 0x48D93E1Cu;
constexpr uint32_t kByteOrderWord = 0x01020304u;
constexpr uint8_t kVersionMajor = 2;
constexpr uint8_t kVersionMinor = 3;

enum FileStatus : uint8_t { kStatusFinished = 0, kStatusInteractive = 1, kStatusBatch = 2 };
enum XtagType : uint8_t { kXtagInteger = 0, kXtagNone = 1, kXtagDouble = 2, kXtagFloat = 3 };

// The in-memory copy of the header; fields are in host byte order.
struct HeaderImage {
    uint8_t bytes[kHeaderSize] = {};

    uint8_t U8(uint32_t offset) const { return bytes[offset]; }
    void SetU8(uint32_t offset, uint8_t value) { bytes[offset] = value; }

    uint16_t U16(uint32_t offset) const {
        uint16_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void SetU16(uint32_t offset, uint16_t value) { std::memcpy(bytes + offset, &value, sizeof value); }

    uint32_t U32(uint32_t offset) const {
        uint32_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void SetU32(uint32_t offset, uint32_t value) { std::memcpy(bytes + offset, &value, sizeof value); }
    void AddU32(uint32_t offset, uint32_t delta) { SetU32(offset, U32(offset) + delta); }

    uint64_t U64(uint32_t offset) const {
        uint64_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void SetU64(uint32_t offset, uint64_t value) { std::memcpy(bytes + offset, &value, sizeof value); }

    // Copies at most width - 1 characters and always ends the field with a
    // zero byte; the rest of the field is zeroed.
    void SetText(uint32_t offset, uint32_t width, const char *text) {
        std::memset(bytes + offset, 0, width);
        const size_t length = std::strlen(text);
        std::memcpy(bytes + offset, text, length < width - 1 ? length : width - 1);
    }
    const char *Text(uint32_t offset) const { return reinterpret_cast<const char *>(bytes + offset); }
};

}  // namespace tavri::writer

#endif
