// trax convert: rewrites a finished database with every block recompressed
// by another method (or level). Everything else is kept byte for byte: the
// header (but for its compression method and the offsets of the structures
// behind the blocks), the environment record, the bytes between blocks and
// the structures at the end. Blocks change size, so every block layout in
// the tree and session lists and every offset of the header that points
// behind the blocks is moved by what the blocks before it gained or lost.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "output_file.h"
#include "reader/block_decoder.h"
#include "reader/database.h"
#include "reader/header.h"
#include "writer/compressor.h"

namespace trax {
namespace {

using tavri::reader::BlockLayout;
using tavri::reader::FieldOrder;
using tavri::reader::FieldWriter;

// Header offsets of the uoffs that name structures behind the blocks.
constexpr uint32_t kTailUoffs[] = {192, 200, 208, 216, 224, 232, 288, 296};
constexpr uint32_t kHeaderCompression = 65;

// Where the block layouts lie in the tail (the bytes from the first
// structure behind the blocks to the end of the file).
class LayoutWalk {
  public:
    LayoutWalk(const std::vector<uint8_t> &tail, const FieldOrder &order)
        : tail_(tail), order_(order) {}

    // `count` tree records from `at`.
    bool Trees(uint64_t at, uint32_t count) {
        for (uint32_t t = 0; t < count; ++t) {
            if (!Byte(&at, 0xF0) || !Skip(&at, 4)) return false;
            for (int list = 0; list < 3; ++list) {
                if (at + 4 > tail_.size()) return false;
                const uint32_t blocks = order_.U32(tail_.data() + at);
                at += 4;
                if (!Layouts(&at, blocks)) return false;
            }
        }
        return true;
    }

    // `count` session records from `at`, filling exactly `size` bytes.
    bool Sessions(uint64_t at, uint64_t size, uint32_t count) {
        const uint64_t end = at + size;
        for (uint32_t s = 0; s < count; ++s) {
            if (!Byte(&at, 0x0F) || !Skip(&at, 20)) return false;
            for (int list = 0; list < 2; ++list) {
                if (at + 1 > tail_.size()) return false;
                const uint32_t blocks = tail_[at++];
                if (!Layouts(&at, blocks)) return false;
            }
        }
        return at == end;
    }

    const std::vector<uint64_t> &positions() const { return positions_; }

  private:
    bool Byte(uint64_t *at, uint8_t marker) {
        if (*at >= tail_.size() || tail_[*at] != marker) return false;
        ++*at;
        return true;
    }
    bool Skip(uint64_t *at, uint64_t bytes) {
        if (*at + bytes > tail_.size()) return false;
        *at += bytes;
        return true;
    }
    bool Layouts(uint64_t *at, uint64_t blocks) {
        if (blocks > (tail_.size() - *at) / tavri::reader::kLayoutBytes) return false;
        for (uint64_t b = 0; b < blocks; ++b) {
            positions_.push_back(*at);
            *at += tavri::reader::kLayoutBytes;
        }
        return true;
    }

    const std::vector<uint8_t> &tail_;
    const FieldOrder &order_;
    std::vector<uint64_t> positions_;
};

struct Converter {
    const tavri::reader::Database &db;
    std::FILE *out;
    std::string error;

    bool Write(const void *bytes, size_t length) {
        if (length != 0 && std::fwrite(bytes, 1, length, out) != length) {
            error = "writing the output failed";
            return false;
        }
        return true;
    }

    // Copies [from, to) of the input unchanged.
    bool Copy(uint64_t from, uint64_t to) {
        std::vector<uint8_t> bytes;
        while (from < to) {
            const uint64_t piece = std::min<uint64_t>(to - from, 1 << 20);
            const tavri::reader::Status read = db.file().Read(from, piece, &bytes);
            if (!read.ok()) {
                error = read.message();
                return false;
            }
            if (!Write(bytes.data(), bytes.size())) return false;
            from += piece;
        }
        return true;
    }
};

}  // namespace

int RunConvert(const Args &args, std::FILE *out) {
    using namespace tavri;
    writer::CompressionChoice choice;
    if (!writer::ParseCompressionChoice(args.method.c_str(), &choice)) {
        PrintError("--method takes lzo1b[:1-9|99] or zstd[:1-19], not '" + args.method + "'");
        return kExitError;
    }
    if (args.second_file == "-") {
        PrintError("convert writes a database file, not the standard output; give a file name");
        return kExitError;
    }
    reader::Database db;
    if (const reader::Status opened = db.Open(args.file); !opened.ok()) {
        PrintError(args.file + ": " + opened.message());
        return kExitError;
    }
    const traxrHeader &h = db.header();
    if (db.live()) {
        PrintError(args.file + " is not finished (its writer has not closed it); only finished "
                               "files are converted");
        return kExitError;
    }
    if (h.dump_limit != 0 || h.redundant_list_uoff != 0) {
        PrintError(args.file + " was written under a dump limit; such files are not converted");
        return kExitError;
    }

    // The structures behind the blocks begin at the lowest offset the header
    // names for them.
    const uint64_t file_size = db.file().size();
    const FieldOrder &order = db.field_order();
    const std::vector<uint8_t> &raw_header = db.raw_header();
    uint64_t tail_start = file_size;
    for (const uint32_t at : kTailUoffs) {
        const uint64_t uoff = order.U64(raw_header.data() + at);
        if (uoff != 0) tail_start = std::min(tail_start, uoff);
    }
    std::vector<uint8_t> tail;
    if (const reader::Status read = db.file().Read(tail_start, file_size - tail_start, &tail);
        !read.ok()) {
        PrintError(args.file + ": " + read.message());
        return kExitError;
    }
    LayoutWalk walk(tail, order);
    const bool trees_found = h.tree_count == 0 || walk.Trees(h.tree_list_uoff - tail_start, h.tree_count);
    if (!trees_found || (h.session_count != 0 &&
                         !walk.Sessions(h.session_list_uoff - tail_start, h.session_list_size,
                                        h.session_count))) {
        PrintError(args.file + ": its tree or session list does not hold the records its header "
                               "counts (trax check shows more)");
        return kExitError;
    }

    // Every block once, in file order; they must lie between the header
    // area and the tail without overlapping.
    std::map<uint64_t, uint32_t> blocks;  // offset -> stored length
    for (const uint64_t at : walk.positions()) {
        const BlockLayout layout = reader::ReadLayout(order, tail.data() + at);
        const auto [it, fresh] = blocks.emplace(layout.offset, layout.stored_length);
        if (!fresh && it->second != layout.stored_length) {
            PrintError(args.file + ": two block layouts name offset " +
                       std::to_string(layout.offset) + " with different lengths");
            return kExitError;
        }
    }
    uint64_t previous_end = reader::kDataStart;
    for (const auto &[offset, length] : blocks) {
        if (offset < previous_end || length == 0 || offset + length > tail_start) {
            PrintError(args.file + ": block (" + std::to_string(offset) + ", " +
                       std::to_string(length) + ") overlaps another structure (trax check shows more)");
            return kExitError;
        }
        previous_end = offset + length;
    }

    OutputFile output;
    std::string error;
    if (!output.Open(args.second_file, args.file, &error)) {
        PrintError(error);
        return kExitError;
    }
    writer::Compressor *compressor = writer::CompressorCreate();
    if (compressor == nullptr) {
        PrintError("no memory for the compressor");
        return kExitError;
    }
    writer::CompressorSetMethod(compressor, choice.method);
    writer::CompressorSetLevel(compressor, choice.method, choice.level);
    Converter converter{db, output.stream(), ""};
    reader::BlockDecoder decoder(h.compression_method);
    std::vector<uint8_t> stored;
    std::vector<uint8_t> block(reader::kBlockSize);
    std::map<uint64_t, BlockLayout> moved;  // by old offset

    // The header area as it is (its offsets are set once they are known),
    // then each block recompressed and the bytes between blocks as they are.
    bool ok = converter.Copy(0, reader::kDataStart);
    uint64_t old_at = reader::kDataStart;
    uint64_t new_at = reader::kDataStart;
    for (const auto &[offset, length] : blocks) {
        if (!ok) break;
        ok = converter.Copy(old_at, offset);
        new_at += offset - old_at;
        if (!ok) break;
        const reader::Status read = db.file().Read(offset, length, &stored);
        size_t produced = 0;
        std::string why;
        if (!read.ok() || !decoder.Decode(stored.data(), stored.size(), block.data(), block.size(),
                                          &produced, &why) || produced == 0) {
            converter.error = "block (" + std::to_string(offset) + ", " + std::to_string(length) +
                              ") does not decompress" + (why.empty() ? "" : ": " + why);
            ok = false;
            break;
        }
        writer::CompressorSetInput(compressor, block.data(), static_cast<uint32_t>(produced));
        const uint8_t *compressed = nullptr;
        uint32_t compressed_length = 0;
        if (!writer::Compress(compressor, &compressed, &compressed_length)) {
            converter.error = "block (" + std::to_string(offset) + ", " + std::to_string(length) +
                              ") does not compress";
            ok = false;
            break;
        }
        ok = converter.Write(compressed, compressed_length);
        moved[offset] = BlockLayout{new_at, compressed_length};
        new_at += compressed_length;
        old_at = offset + length;
    }
    if (ok) ok = converter.Copy(old_at, tail_start);
    new_at += tail_start - old_at;
    const uint64_t new_tail_start = new_at;
    if (ok && h.pointer_length == 4 && new_tail_start + tail.size() > 0xFFFFFFFFull) {
        converter.error = "the converted file would exceed the 4 GB its offsets can address";
        ok = false;
    }
    const FieldWriter put(db.order());
    if (ok) {
        for (const uint64_t at : walk.positions()) {
            const BlockLayout &layout = moved.at(reader::ReadLayout(order, tail.data() + at).offset);
            put.U64(tail.data() + at, layout.offset);
            put.U32(tail.data() + at + 8, layout.stored_length);
        }
        ok = converter.Write(tail.data(), tail.size());
    }
    if (ok) {
        std::vector<uint8_t> header = raw_header;
        header[kHeaderCompression] = static_cast<uint8_t>(choice.method);
        for (const uint32_t at : kTailUoffs) {
            const uint64_t uoff = order.U64(header.data() + at);
            if (uoff != 0) put.U64(header.data() + at, uoff - tail_start + new_tail_start);
        }
        ok = std::fseek(output.stream(), 0, SEEK_SET) == 0 &&
             converter.Write(header.data(), header.size());
        if (!ok && converter.error.empty()) converter.error = "the output cannot be rewound";
    }
    writer::CompressorFree(compressor);
    if (!ok) {
        PrintError(args.second_file + ": " + converter.error + "; nothing was written");
        return kExitError;
    }
    if (!output.Commit(&error)) {
        PrintError(error);
        return kExitError;
    }
    const char *from_name = reader::CompressionMethodName(h.compression_method);
    std::fprintf(out, "%s: %s, %llu bytes\n%s: %s, %llu bytes, %zu blocks recompressed\n",
                 args.file.c_str(), from_name, static_cast<unsigned long long>(file_size),
                 args.second_file.c_str(), writer::CompressionChoiceText(choice).c_str(),
                 static_cast<unsigned long long>(new_tail_start + tail.size()), blocks.size());
    return kExitOk;
}

}  // namespace trax
