// Block compression: every stored block is compressed on its own with LZO1B
// (method 0), so a reader can decompress any block without the others. The
// compressor owns its work memory and output area, allocated once, so that
// compressing a block allocates nothing.
#ifndef TAVRI_WRITER_COMPRESSOR_H
#define TAVRI_WRITER_COMPRESSOR_H

#include <cstdint>

namespace tavri::writer {

constexpr uint32_t kCompressWorkSize = 0x80000;
// LZO1B may expand incompressible input to n + n / 64 + 19 bytes: the output
// area holds the worst case of a full 1 MB block.
constexpr uint32_t kCompressOutputSize = 0x104800;
static_assert(kCompressOutputSize >= 0x100000 + 0x100000 / 64 + 16 + 3);
constexpr uint32_t kCompressionMethodLzo1b = 0;

struct Compressor {
    Compressor *next = nullptr;
    uint32_t method = kCompressionMethodLzo1b;
    const uint8_t *input = nullptr;
    uint32_t input_length = 0;
    uint8_t *work = nullptr;    // kCompressWorkSize bytes of work memory ...
    uint8_t *output = nullptr;  // ... followed by the output area
};

// A new compressor at the head of the process-wide list, or null when its
// areas cannot be allocated.
Compressor *CompressorCreate();
void CompressorFree(Compressor *compressor);
void CompressorFreeAll();

// Operations given no compressor use the process's default one.
void CompressorSetMethod(Compressor *compressor, uint32_t method);  // 0..13; others ignored
void CompressorSetInput(Compressor *compressor, const void *input, uint32_t length);

// Compresses the input into the output area. False (and no output) when the
// method has no implementation or the method fails.
bool Compress(Compressor *compressor, const uint8_t **output, uint32_t *length);

// Decompresses the input into the output area; false unless the input
// decodes exactly, without overrun.
bool Decompress(Compressor *compressor, const uint8_t **output, uint32_t *length);

}  // namespace tavri::writer

#endif
