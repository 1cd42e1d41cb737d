// Block compression: every stored block is compressed on its own, so a reader
// can decompress any block without the others. Method 0 is LZO1B (the
// default, which every reader of the format knows), method 1 zstd; the file
// header records which one a file uses. The compressor owns its work memory,
// output area and zstd contexts, allocated once, so that compressing a block
// allocates nothing after the first block.
#ifndef TAVRI_WRITER_COMPRESSOR_H
#define TAVRI_WRITER_COMPRESSOR_H

#include <cstdint>
#include <string>

namespace tavri::writer {

constexpr uint32_t kCompressWorkSize = 0x80000;
// LZO1B may expand incompressible input to n + n / 64 + 19 bytes: the output
// area holds the worst case of a full 1 MB block (zstd's bound is smaller).
constexpr uint32_t kCompressOutputSize = 0x104800;
static_assert(kCompressOutputSize >= 0x100000 + 0x100000 / 64 + 16 + 3);
constexpr uint32_t kCompressionMethodLzo1b = 0;
constexpr uint32_t kCompressionMethodZstd = 1;

// Levels: LZO1B 1 to 9 and 99 (all write the same stream format; higher is
// smaller and slower), zstd 1 to 19. zstd's default is the lowest level that
// searches deeply enough to find the values that one signal repeats from
// another (a delayed or copied bus): on designs of many small vectors it
// writes about a quarter less than level 3, still at 100 MB/s or more.
constexpr int kDefaultLzo1bLevel = 1;
constexpr int kDefaultZstdLevel = 7;

struct Compressor {
    Compressor *next = nullptr;
    uint32_t method = kCompressionMethodLzo1b;
    int lzo1b_level = kDefaultLzo1bLevel;
    int zstd_level = kDefaultZstdLevel;
    bool quick = false;  // the block being compressed asks for a quick level
    const uint8_t *input = nullptr;
    uint32_t input_length = 0;
    uint8_t *work = nullptr;    // kCompressWorkSize bytes of work memory ...
    uint8_t *output = nullptr;  // ... followed by the output area
    void *zstd_compress = nullptr;    // contexts made at the first zstd use
    void *zstd_decompress = nullptr;
};

// A method and level chosen by the user.
struct CompressionChoice {
    uint32_t method = kCompressionMethodLzo1b;
    int level = kDefaultLzo1bLevel;
};

// Reads "lzo1b", "lzo1b:N", "zstd" or "zstd:N" (names in any case); false
// for anything else, a level out of range included.
bool ParseCompressionChoice(const char *text, CompressionChoice *out);
// "lzo1b:1", "zstd:7".
std::string CompressionChoiceText(const CompressionChoice &choice);
// "LZO1B", "zstd", or null for a method without an implementation.
const char *CompressionMethodName(uint32_t method);
bool ValidCompressionLevel(uint32_t method, int level);

// A new compressor at the head of the process-wide list, or null when its
// areas cannot be allocated.
Compressor *CompressorCreate();
void CompressorFree(Compressor *compressor);
void CompressorFreeAll();

// Operations given no compressor use the process's default one.
void CompressorSetMethod(Compressor *compressor, uint32_t method);  // 0..13; others ignored
// The level used whenever the method given compresses; ignored unless valid.
void CompressorSetLevel(Compressor *compressor, uint32_t method, int level);
void CompressorSetInput(Compressor *compressor, const void *input, uint32_t length);

// Compresses the input into the output area. False (and no output) when the
// method has no implementation or the method fails.
bool Compress(Compressor *compressor, const uint8_t **output, uint32_t *length);

// The same for a block whose bytes gain little from a deep search: at zstd's
// default level the tree's names come out under 2% smaller than at level 3
// and the chain's offsets about 4%, in three to four times the time, and at
// a short run's start-up these blocks are most of what is compressed. zstd
// levels above kQuickZstdLevel compress such a block at that level; LZO1B
// keeps its level.
constexpr int kQuickZstdLevel = 3;
bool CompressQuickly(Compressor *compressor, const uint8_t **output, uint32_t *length);
// Decompresses the input into the output area; false unless the input
// decodes exactly, without overrun.
bool Decompress(Compressor *compressor, const uint8_t **output, uint32_t *length);

}  // namespace tavri::writer

#endif
