#include "pli/memory_cells.h"

#include <cstring>
#include <string>

#include "pli/messages.h"

namespace tavri::pli {

int64_t CellPosition(const MemoryInfo &info, int32_t index, uint32_t simulator_version) {
    const int64_t k = index;
    if (info.right < info.left) {
        return simulator_version < kAscendingBufferVersion ? info.left - k : k - info.right;
    }
    return k - info.left;
}

void DecodeCell(const MemoryInfo &info, int64_t position, uint8_t *codes) {
    const auto groups = static_cast<size_t>(info.groups);
    const unsigned char *a = info.buffer + static_cast<size_t>(position) * 2 * groups;
    const unsigned char *b = a + groups;
    const auto width = static_cast<uint32_t>(info.width);
    // (b << 1) | a: 0, 1, z, x.
    static constexpr uint8_t kCode[4] = {0, 1, 3, 2};
    for (uint32_t bit = 0; bit < width; ++bit) {
        const unsigned av = (a[bit / 8] >> (bit % 8)) & 1u;
        const unsigned bv = (b[bit / 8] >> (bit % 8)) & 1u;
        codes[width - 1 - bit] = kCode[(bv << 1) | av];
    }
    codes[width] = 0;
}

bool CodesToABWords(const uint8_t *codes, uint32_t width, uint32_t *words) {
    const uint32_t pairs = (width + 31) / 32;
    std::memset(words, 0, sizeof(uint32_t) * 2 * pairs);
    for (uint32_t bit = 0; bit < width; ++bit) {
        const uint8_t code = codes[width - 1 - bit];
        uint32_t *pair = words + 2 * (bit / 32);
        const uint32_t mask = 1u << (bit % 32);
        switch (code) {
            case 0:
            case '0':
                break;
            case 1:
            case '1':
                pair[0] |= mask;
                break;
            case 2:
            case 'x':
            case 'X':
                pair[0] |= mask;
                pair[1] |= mask;
                break;
            case 3:
            case 'z':
            case 'Z':
                pair[1] |= mask;
                break;
            default: {
                std::string text;
                for (uint32_t i = 0; i < width; ++i) {
                    text.push_back(codes[i] < 4 ? "01xz"[codes[i]] : static_cast<char>(codes[i]));
                }
                PrintError("Convert String to AB Bus fail(\"%s\").\n", text.c_str());
                return false;
            }
        }
    }
    return true;
}

}  // namespace tavri::pli
