#include "writer/compressor.h"

#include <lzo/lzo1b.h>
#include <lzo/lzoconf.h>
// ZSTD_getCParams: the parameters a level chooses for a source size.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tavri::writer {
namespace {

// Every method is called through one form: the compressor supplies the
// work memory, contexts and level; `*dst_len` is the capacity on entry and
// the bytes produced on return.
using CodecFunction = bool (*)(Compressor &c, const uint8_t *src, uint32_t src_len, uint8_t *dst,
                               size_t *dst_len);

struct MethodRow {
    const char *name;
    CodecFunction compress;
    CodecFunction decompress;
};

using LzoCompressFunction = int (*)(const lzo_bytep, lzo_uint, lzo_bytep, lzo_uintp, lzo_voidp);

// LZO1B's levels 1 to 9, then 99; all produce the same stream format.
LzoCompressFunction Lzo1bLevel(int level) {
    static constexpr LzoCompressFunction kLevels[] = {
        lzo1b_1_compress, lzo1b_2_compress, lzo1b_3_compress, lzo1b_4_compress, lzo1b_5_compress,
        lzo1b_6_compress, lzo1b_7_compress, lzo1b_8_compress, lzo1b_9_compress};
    return level == 99 ? lzo1b_99_compress : kLevels[level - 1];
}

bool Lzo1bCompress(Compressor &c, const uint8_t *src, uint32_t src_len, uint8_t *dst,
                   size_t *dst_len) {
    lzo_uint produced = *dst_len;
    const int status = Lzo1bLevel(c.lzo1b_level)(src, src_len, dst, &produced, c.work);
    *dst_len = produced;
    return status == LZO_E_OK;
}

bool Lzo1bDecompress(Compressor &, const uint8_t *src, uint32_t src_len, uint8_t *dst,
                     size_t *dst_len) {
    lzo_uint produced = *dst_len;
    const int status = lzo1b_decompress_safe(src, src_len, dst, &produced, nullptr);
    *dst_len = produced;
    return status == LZO_E_OK;
}

// zstd sizes its match-finder tables for the level and the source: from
// level 7 on, a 1 MB block gets a hash table of 2^20 to 2^21 entries (4 to
// 8 MB with its tags), more than the block has positions worth keeping, and
// the memory of every table is cleared for each block. A table of 2^18
// entries keeps the files within 0.2% (2.2% on designs of many small
// vectors at level 7, 0.4% smaller on wide registers) and the context near
// 1.5 MB. The chain table of the fast and lazy strategies is capped alike;
// that of the binary-tree strategies (levels 13 and up) holds the tree over
// the whole block and keeps its size.
constexpr unsigned kZstdTableLogLimit = 18;

struct ZstdTables {
    int hash_log = 0;  // 0 leaves the level's own
    int chain_log = 0;
};

ZstdTables ZstdTablesFor(int level, uint32_t src_len) {
    const ZSTD_compressionParameters own = ZSTD_getCParams(level, src_len, 0);
    ZstdTables tables;
    if (own.hashLog > kZstdTableLogLimit) {
        tables.hash_log = static_cast<int>(kZstdTableLogLimit);
    }
    if (own.strategy < ZSTD_btlazy2 && own.chainLog > kZstdTableLogLimit) {
        tables.chain_log = static_cast<int>(kZstdTableLogLimit);
    }
    return tables;
}

// The highest zstd level whose minimum match is raised to 6 bytes.
constexpr int kHighestShortMatchLevel = 15;

bool ZstdCompress(Compressor &c, const uint8_t *src, uint32_t src_len, uint8_t *dst,
                  size_t *dst_len) {
    if (c.zstd_compress == nullptr) {
        c.zstd_compress = ZSTD_createCCtx();
        if (c.zstd_compress == nullptr) {
            return false;
        }
    }
    auto *context = static_cast<ZSTD_CCtx *>(c.zstd_compress);
    // A 0 minimum match leaves the level's own. Elements begin with a head
    // byte and a time delta that repeat from change to change, so a 5-byte
    // match mostly covers those and one value byte and costs more than the
    // literals it replaces: 6 gives smaller blocks for less search at the
    // middle levels (the two fastest already ask for 6 or more; the slowest
    // parse optimally and keep their own).
    const int level = c.quick && c.zstd_level > kQuickZstdLevel ? kQuickZstdLevel : c.zstd_level;
    const int min_match = level >= 3 && level <= kHighestShortMatchLevel ? 6 : 0;
    if (ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level)) != 0 ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_minMatch, min_match)) != 0) {
        return false;
    }
    const ZstdTables tables = ZstdTablesFor(level, src_len);
    if (ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_hashLog, tables.hash_log)) != 0 ||
        ZSTD_isError(ZSTD_CCtx_setParameter(context, ZSTD_c_chainLog, tables.chain_log)) != 0) {
        return false;
    }
    const size_t produced = ZSTD_compress2(context, dst, *dst_len, src, src_len);
    if (ZSTD_isError(produced) != 0) {
        return false;
    }
    *dst_len = produced;
    return true;
}

bool ZstdDecompress(Compressor &c, const uint8_t *src, uint32_t src_len, uint8_t *dst,
                    size_t *dst_len) {
    if (c.zstd_decompress == nullptr) {
        c.zstd_decompress = ZSTD_createDCtx();
        if (c.zstd_decompress == nullptr) {
            return false;
        }
    }
    // Fails on trailing bytes that are no frame and on output beyond capacity.
    const size_t produced = ZSTD_decompressDCtx(static_cast<ZSTD_DCtx *>(c.zstd_decompress), dst,
                                                *dst_len, src, src_len);
    if (ZSTD_isError(produced) != 0) {
        return false;
    }
    *dst_len = produced;
    return true;
}

// One row per method number, in method order.
constexpr MethodRow kMethods[] = {{"LZO1B", Lzo1bCompress, Lzo1bDecompress},
                                  {"zstd", ZstdCompress, ZstdDecompress}};
constexpr uint32_t kMethodCount = sizeof kMethods / sizeof kMethods[0];
constexpr uint32_t kHighestMethodNumber = 13;
constexpr int kHighestZstdLevel = 19;

static_assert(LZO1B_MEM_COMPRESS <= kCompressWorkSize, "work memory too small for LZO1B");
static_assert(LZO1B_99_MEM_COMPRESS <= kCompressWorkSize, "work memory too small for LZO1B 99");
static_assert(ZSTD_COMPRESSBOUND(0x100000) <= kCompressOutputSize, "output area too small for zstd");

Compressor *g_compressors = nullptr;
Compressor *g_default = nullptr;

bool LzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

Compressor *OrDefault(Compressor *compressor) {
    if (compressor != nullptr) {
        return compressor;
    }
    if (g_default == nullptr) {
        g_default = CompressorCreate();
    }
    return g_default;
}

bool Run(Compressor *compressor, bool compress, bool quick, const uint8_t **output,
         uint32_t *length) {
    *output = nullptr;
    *length = 0;
    compressor = OrDefault(compressor);
    if (compressor == nullptr || compressor->method >= kMethodCount) {
        return false;
    }
    if (compressor->input_length == 0) {
        // Nothing in gives nothing out: an empty block is never stored.
        *output = compressor->output;
        return true;
    }
    const MethodRow &row = kMethods[compressor->method];
    compressor->quick = quick;
    size_t produced = kCompressOutputSize;
    if (!(compress ? row.compress : row.decompress)(*compressor, compressor->input,
                                                    compressor->input_length, compressor->output,
                                                    &produced)) {
        return false;
    }
    *output = compressor->output;
    *length = static_cast<uint32_t>(produced);
    return true;
}

bool SameWord(const char *text, size_t length, const char *word) {
    if (std::strlen(word) != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ValidCompressionLevel(uint32_t method, int level) {
    switch (method) {
        case kCompressionMethodLzo1b:
            return (level >= 1 && level <= 9) || level == 99;
        case kCompressionMethodZstd:
            return level >= 1 && level <= kHighestZstdLevel;
        default:
            return false;
    }
}

bool ParseCompressionChoice(const char *text, CompressionChoice *out) {
    if (text == nullptr) {
        return false;
    }
    const char *colon = std::strchr(text, ':');
    const size_t name_length = colon != nullptr ? static_cast<size_t>(colon - text) : std::strlen(text);
    CompressionChoice choice;
    if (SameWord(text, name_length, "lzo1b")) {
        choice = {kCompressionMethodLzo1b, kDefaultLzo1bLevel};
    } else if (SameWord(text, name_length, "zstd")) {
        choice = {kCompressionMethodZstd, kDefaultZstdLevel};
    } else {
        return false;
    }
    if (colon != nullptr) {
        const char *digits = colon + 1;
        if (*digits == '\0' || std::strlen(digits) > 3) {
            return false;
        }
        for (const char *c = digits; *c != '\0'; ++c) {
            if (std::isdigit(static_cast<unsigned char>(*c)) == 0) {
                return false;
            }
        }
        choice.level = std::atoi(digits);
    }
    if (!ValidCompressionLevel(choice.method, choice.level)) {
        return false;
    }
    *out = choice;
    return true;
}

std::string CompressionChoiceText(const CompressionChoice &choice) {
    const char *name = choice.method == kCompressionMethodZstd ? "zstd" : "lzo1b";
    return std::string(name) + ":" + std::to_string(choice.level);
}

const char *CompressionMethodName(uint32_t method) {
    return method < kMethodCount ? kMethods[method].name : nullptr;
}

Compressor *CompressorCreate() {
    if (!LzoReady()) {
        return nullptr;
    }
    auto *areas = static_cast<uint8_t *>(std::malloc(kCompressWorkSize + kCompressOutputSize));
    if (areas == nullptr) {
        return nullptr;
    }
    auto *compressor = new (std::nothrow) Compressor;
    if (compressor == nullptr) {
        std::free(areas);
        return nullptr;
    }
    compressor->work = areas;
    compressor->output = areas + kCompressWorkSize;
    compressor->next = g_compressors;
    g_compressors = compressor;
    return compressor;
}

void CompressorFree(Compressor *compressor) {
    if (compressor == nullptr) {
        return;
    }
    for (Compressor **link = &g_compressors; *link != nullptr; link = &(*link)->next) {
        if (*link == compressor) {
            *link = compressor->next;
            break;
        }
    }
    if (g_default == compressor) {
        g_default = nullptr;
    }
    ZSTD_freeCCtx(static_cast<ZSTD_CCtx *>(compressor->zstd_compress));
    ZSTD_freeDCtx(static_cast<ZSTD_DCtx *>(compressor->zstd_decompress));
    std::free(compressor->work);
    delete compressor;
}

void CompressorFreeAll() {
    while (g_compressors != nullptr) {
        CompressorFree(g_compressors);
    }
}

void CompressorSetMethod(Compressor *compressor, uint32_t method) {
    compressor = OrDefault(compressor);
    if (compressor != nullptr && method <= kHighestMethodNumber) {
        compressor->method = method;
    }
}

void CompressorSetLevel(Compressor *compressor, uint32_t method, int level) {
    compressor = OrDefault(compressor);
    if (compressor == nullptr || !ValidCompressionLevel(method, level)) {
        return;
    }
    (method == kCompressionMethodZstd ? compressor->zstd_level : compressor->lzo1b_level) = level;
}

void CompressorSetInput(Compressor *compressor, const void *input, uint32_t length) {
    compressor = OrDefault(compressor);
    if (compressor != nullptr) {
        compressor->input = static_cast<const uint8_t *>(input);
        compressor->input_length = length;
    }
}

bool Compress(Compressor *compressor, const uint8_t **output, uint32_t *length) {
    return Run(compressor, true, false, output, length);
}

bool CompressQuickly(Compressor *compressor, const uint8_t **output, uint32_t *length) {
    return Run(compressor, true, true, output, length);
}

bool Decompress(Compressor *compressor, const uint8_t **output, uint32_t *length) {
    return Run(compressor, false, false, output, length);
}

}  // namespace tavri::writer
