// Decompression of one stored block by the file's compression method:
// 0 LZO1B, 1 zstd. A block decodes only when its stored bytes are consumed
// exactly and give at most one block's bytes.
#ifndef TAVRI_READER_BLOCK_DECODER_H
#define TAVRI_READER_BLOCK_DECODER_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavri::reader {

constexpr uint8_t kMethodLzo1b = 0;
constexpr uint8_t kMethodZstd = 1;

// "LZO1B", "zstd", or null for a method this reader does not know.
const char *CompressionMethodName(uint8_t method);

class BlockDecoder {
  public:
    explicit BlockDecoder(uint8_t method = kMethodLzo1b) : method_(method) {}
    ~BlockDecoder();
    BlockDecoder(const BlockDecoder &) = delete;
    BlockDecoder &operator=(const BlockDecoder &) = delete;

    void set_method(uint8_t method) { method_ = method; }
    uint8_t method() const { return method_; }

    // Decodes `stored` into `out` (room for `capacity` bytes) and sets
    // `*length`. False when the bytes do not decode; `*why` then names the
    // method's own complaint ("LZO status -4", a zstd error text).
    bool Decode(const uint8_t *stored, size_t stored_length, uint8_t *out, size_t capacity,
                size_t *length, std::string *why);

  private:
    uint8_t method_;
    void *zstd_ = nullptr;  // a decompression context, made at the first zstd block
};

}  // namespace tavri::reader

#endif
