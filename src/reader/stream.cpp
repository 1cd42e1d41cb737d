#include "reader/stream.h"

#include <algorithm>
#include <cstring>

namespace tavri::reader {

Status Stream::Add(uint32_t index, const BlockLayout &layout, uint32_t owner, bool redundant) {
    if (!blocks_.empty() && index <= blocks_.back().index) {
        return Fail(TRAXR_ERR_CORRUPT, "block %u of the %s stream is listed twice or out of order",
                    index, name_);
    }
    TAVRI_RETURN_IF_ERROR(cache_->CheckLayout(layout));
    blocks_.push_back(StreamBlock{index, layout, owner, redundant});
    return Status();
}

const StreamBlock *Stream::Find(uint32_t index) const {
    auto it =
        std::lower_bound(blocks_.begin(), blocks_.end(), index,
                         [](const StreamBlock &block, uint32_t key) { return block.index < key; });
    return it != blocks_.end() && it->index == index ? &*it : nullptr;
}

const StreamBlock *Stream::FindPosition(uint64_t position) const {
    const uint64_t index = position >> kBlockShift;
    return index > UINT32_MAX ? nullptr : Find(static_cast<uint32_t>(index));
}

Status Cursor::Load(const StreamBlock *block) {
    TAVRI_RETURN_IF_ERROR(stream_->cache()->Get(block->layout, &data_));
    block_ = block;
    bytes_ = data_->data();
    // At most kBlockSize: the cache decompresses a block into that much.
    size_ = static_cast<uint32_t>(data_->size());
    offset_ = 0;
    return Status();
}

Status Cursor::Seek(uint64_t position) {
    const StreamBlock *block = stream_->FindPosition(position);
    if (block == nullptr) {
        return Fail(TRAXR_ERR_CORRUPT, "position 0x%llx lies outside the %s stream",
                    static_cast<unsigned long long>(position), stream_->name());
    }
    if (block != block_) {
        TAVRI_RETURN_IF_ERROR(Load(block));
    }
    const size_t offset = static_cast<size_t>(position & (kBlockSize - 1));
    if (offset >= data_->size()) {
        return Fail(TRAXR_ERR_CORRUPT,
                    "position 0x%llx lies past the %zu bytes of block %u of the %s stream",
                    static_cast<unsigned long long>(position), data_->size(), block->index,
                    stream_->name());
    }
    offset_ = static_cast<uint32_t>(offset);
    return Status();
}

void Cursor::Release() {
    block_ = nullptr;
    data_.reset();
    bytes_ = nullptr;
    size_ = 0;
    offset_ = 0;
}

Status Cursor::Unavailable() const {
    if (block_ == nullptr) {
        return Fail(TRAXR_ERR_CORRUPT, "the %s stream is read before a position was set",
                    stream_->name());
    }
    return Fail(TRAXR_ERR_CORRUPT, "a record runs past the end of block %u of the %s stream",
                block_->index, stream_->name());
}

Status Cursor::Advance() {
    if (block_ == nullptr) {
        return Unavailable();
    }
    if (stream_->full_blocks_only() && data_->size() != kBlockSize) {
        return Unavailable();
    }
    const StreamBlock *next = block_ + 1;
    if (next == stream_->blocks().data() + stream_->blocks().size() ||
        next->index != block_->index + 1) {
        return Unavailable();
    }
    return Load(next);
}

Status Cursor::NextBlockByte(uint8_t *out, bool consume) {
    TAVRI_RETURN_IF_ERROR(Advance());
    if (size_ == 0) {
        return Unavailable();
    }
    *out = bytes_[0];
    if (consume) offset_ = 1;
    return Status();
}

Status Cursor::BytesAcross(uint8_t *out, size_t count) {
    while (count > 0) {
        if (offset_ == size_) {
            TAVRI_RETURN_IF_ERROR(Advance());
        }
        const size_t piece = std::min<size_t>(count, size_ - offset_);
        std::memcpy(out, bytes_ + offset_, piece);
        offset_ += piece;
        out += piece;
        count -= piece;
    }
    return Status();
}

Status Cursor::U16(uint16_t *out) {
    uint8_t bytes[2];
    TAVRI_RETURN_IF_ERROR(Bytes(bytes, sizeof bytes));
    *out = order_.U16(bytes);
    return Status();
}

Status Cursor::U32(uint32_t *out) {
    uint8_t bytes[4];
    TAVRI_RETURN_IF_ERROR(Bytes(bytes, sizeof bytes));
    *out = order_.U32(bytes);
    return Status();
}

Status Cursor::UnsignedAcross(unsigned width, uint64_t *out) {
    uint8_t bytes[8];
    TAVRI_RETURN_IF_ERROR(Bytes(bytes, width));
    switch (width) {
        case 1:
            *out = bytes[0];
            break;
        case 2:
            *out = order_.U16(bytes);
            break;
        case 4:
            *out = order_.U32(bytes);
            break;
        default:
            *out = order_.U64(bytes);
            break;
    }
    return Status();
}

Status Cursor::HighLow(uint64_t *out) {
    uint8_t bytes[8];
    TAVRI_RETURN_IF_ERROR(Bytes(bytes, sizeof bytes));
    *out = order_.HighLow(bytes);
    return Status();
}

Status Cursor::Text(std::string *out, size_t limit) {
    out->clear();
    for (;;) {
        if (block_ == nullptr || offset_ == data_->size()) {
            TAVRI_RETURN_IF_ERROR(Advance());
        }
        const uint8_t *start = data_->data() + offset_;
        const size_t left = data_->size() - offset_;
        const void *nul = std::memchr(start, 0, left);
        const size_t piece =
            nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - start) : left;
        if (out->size() + piece > limit) {
            return Fail(TRAXR_ERR_CORRUPT,
                        "a name in the %s stream at 0x%llx is longer than %zu bytes",
                        stream_->name(), static_cast<unsigned long long>(position()), limit);
        }
        out->append(reinterpret_cast<const char *>(start), piece);
        offset_ += piece;
        if (nul != nullptr) {
            ++offset_;
            return Status();
        }
    }
}

bool Cursor::AtEnd() const {
    if (block_ == nullptr) {
        return stream_->blocks().empty();
    }
    if (offset_ < data_->size()) {
        return false;
    }
    const StreamBlock *next = block_ + 1;
    return next == stream_->blocks().data() + stream_->blocks().size();
}

uint64_t Cursor::RemainingBound() const {
    if (block_ == nullptr) {
        return static_cast<uint64_t>(stream_->blocks().size()) * kBlockSize;
    }
    const size_t after =
        static_cast<size_t>(stream_->blocks().data() + stream_->blocks().size() - block_ - 1);
    return static_cast<uint64_t>(after) * kBlockSize + (data_->size() - offset_);
}

}  // namespace tavri::reader
