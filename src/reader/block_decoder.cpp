#include "reader/block_decoder.h"

#include <lzo/lzo1b.h>
#include <lzo/lzoconf.h>
#include <zstd.h>

namespace tavri::reader {

const char *CompressionMethodName(uint8_t method) {
    switch (method) {
        case kMethodLzo1b:
            return "LZO1B";
        case kMethodZstd:
            return "zstd";
        default:
            return nullptr;
    }
}

BlockDecoder::~BlockDecoder() { ZSTD_freeDCtx(static_cast<ZSTD_DCtx *>(zstd_)); }

bool BlockDecoder::Decode(const uint8_t *stored, size_t stored_length, uint8_t *out,
                          size_t capacity, size_t *length, std::string *why) {
    *length = 0;
    if (method_ == kMethodLzo1b) {
        static const bool ready = lzo_init() == LZO_E_OK;
        if (!ready) {
            *why = "the LZO library failed to initialise";
            return false;
        }
        lzo_uint produced = capacity;
        const int result = lzo1b_decompress_safe(stored, stored_length, out, &produced, nullptr);
        *length = produced;
        if (result != LZO_E_OK) {
            *why = "LZO status " + std::to_string(result);
            return false;
        }
        return true;
    }
    if (method_ == kMethodZstd) {
        if (zstd_ == nullptr) {
            zstd_ = ZSTD_createDCtx();
            if (zstd_ == nullptr) {
                *why = "no memory for a zstd context";
                return false;
            }
        }
        const size_t produced =
            ZSTD_decompressDCtx(static_cast<ZSTD_DCtx *>(zstd_), out, capacity, stored, stored_length);
        if (ZSTD_isError(produced) != 0) {
            *why = std::string("zstd: ") + ZSTD_getErrorName(produced);
            return false;
        }
        *length = produced;
        return true;
    }
    *why = "compression method " + std::to_string(method_) + " is not known";
    return false;
}

}  // namespace tavri::reader
