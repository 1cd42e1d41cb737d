#include "writer/compressor.h"

#include <lzo/lzo1b.h>
#include <lzo/lzoconf.h>

#include <cstdlib>
#include <new>

namespace tavri::writer {
namespace {

using CodecFunction = int (*)(const lzo_bytep src, lzo_uint src_len, lzo_bytep dst,
                              lzo_uintp dst_len, lzo_voidp work);

struct MethodRow {
    CodecFunction compress;
    CodecFunction decompress;
};

int Lzo1bCompress(const lzo_bytep src, lzo_uint src_len, lzo_bytep dst, lzo_uintp dst_len,
                  lzo_voidp work) {
    return lzo1b_1_compress(src, src_len, dst, dst_len, work);
}

int Lzo1bDecompress(const lzo_bytep src, lzo_uint src_len, lzo_bytep dst, lzo_uintp dst_len,
                    lzo_voidp work) {
    return lzo1b_decompress_safe(src, src_len, dst, dst_len, work);
}

// One row per method number; only LZO1B has an implementation.
constexpr MethodRow kMethods[] = {{Lzo1bCompress, Lzo1bDecompress}};
constexpr uint32_t kMethodCount = sizeof kMethods / sizeof kMethods[0];
constexpr uint32_t kHighestMethodNumber = 13;

static_assert(LZO1B_MEM_COMPRESS <= kCompressWorkSize, "work memory too small for LZO1B");

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

bool Run(Compressor *compressor, bool compress, const uint8_t **output, uint32_t *length) {
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
    lzo_uint produced = kCompressOutputSize;
    const int status = (compress ? row.compress : row.decompress)(
        compressor->input, compressor->input_length, compressor->output, &produced,
        compressor->work);
    if (status != LZO_E_OK) {
        return false;
    }
    *output = compressor->output;
    *length = static_cast<uint32_t>(produced);
    return true;
}

}  // namespace

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

void CompressorSetInput(Compressor *compressor, const void *input, uint32_t length) {
    compressor = OrDefault(compressor);
    if (compressor != nullptr) {
        compressor->input = static_cast<const uint8_t *>(input);
        compressor->input_length = length;
    }
}

bool Compress(Compressor *compressor, const uint8_t **output, uint32_t *length) {
    return Run(compressor, true, output, length);
}

bool Decompress(Compressor *compressor, const uint8_t **output, uint32_t *length) {
    return Run(compressor, false, output, length);
}

}  // namespace tavri::writer
