#include "reader/block_cache.h"

#include <memory>
#include <string>
#include <utility>

#include "reader/header.h"

namespace tavri::reader {
BlockLayout ReadLayout(const FieldOrder &order, const uint8_t *bytes) {
    BlockLayout layout;
    layout.offset = order.U64(bytes);
    layout.stored_length = order.U32(bytes + 8);
    return layout;
}

BlockCache::BlockCache(const FileSource *file, size_t capacity, uint8_t method)
    : file_(file),
      capacity_(capacity < 2 ? 2 : capacity),
      decoder_(method),
      spares_(std::make_shared<Spares>()) {
    // Room for every spare up front: giving a buffer back never allocates.
    spares_->limit = capacity_ + 4;
    spares_->buffers.reserve(spares_->limit);
}

std::unique_ptr<std::vector<uint8_t>> BlockCache::TakeSpare() {
    if (spares_->buffers.empty()) return std::make_unique<std::vector<uint8_t>>();
    std::unique_ptr<std::vector<uint8_t>> buffer = std::move(spares_->buffers.back());
    spares_->buffers.pop_back();
    return buffer;
}

BlockData BlockCache::Share(std::unique_ptr<std::vector<uint8_t>> buffer) {
    return BlockData(buffer.release(), [spares = spares_](const std::vector<uint8_t> *block) {
        auto *mutable_block = const_cast<std::vector<uint8_t> *>(block);
        if (spares->buffers.size() < spares->limit) {
            spares->buffers.emplace_back(mutable_block);
        } else {
            delete mutable_block;
        }
    });
}

Status BlockCache::CheckLayout(const BlockLayout &layout) const {
    if (layout.stored_length == 0 || layout.stored_length > kMaxStoredLength) {
        return Fail(TRAXR_ERR_CORRUPT, "block layout (%llu, %u) has an impossible length",
                    static_cast<unsigned long long>(layout.offset), layout.stored_length);
    }
    if (layout.offset < kDataStart) {
        return Fail(TRAXR_ERR_CORRUPT, "block layout (%llu, %u) lies inside the header area",
                    static_cast<unsigned long long>(layout.offset), layout.stored_length);
    }
    if (layout.offset > file_->size() || layout.stored_length > file_->size() - layout.offset) {
        return Fail(TRAXR_ERR_TRUNCATED,
                    "block layout (%llu, %u) runs past the end of the file (%llu bytes)",
                    static_cast<unsigned long long>(layout.offset), layout.stored_length,
                    static_cast<unsigned long long>(file_->size()));
    }
    return Status();
}

Status BlockCache::Get(const BlockLayout &layout, BlockData *out) {
    ++clock_;
    for (Slot &slot : slots_) {
        if (slot.offset == layout.offset && slot.length == layout.stored_length) {
            slot.last_use = clock_;
            ++hits_;
            *out = slot.data;
            return Status();
        }
    }
    const auto kept = held_.find(layout.offset);
    if (kept != held_.end() && kept->second.length == layout.stored_length) {
        if (BlockData data = kept->second.data.lock()) {
            ++hits_;
            Slot *slot = Victim();
            slot->offset = layout.offset;
            slot->length = layout.stored_length;
            slot->data = data;
            slot->last_use = clock_;
            *out = std::move(data);
            return Status();
        }
    }
    TAVRI_RETURN_IF_ERROR(CheckLayout(layout));
    TAVRI_RETURN_IF_ERROR(file_->Read(layout.offset, layout.stored_length, &stored_));
    if (read_check_) TAVRI_RETURN_IF_ERROR(read_check_(layout));

    // Decompressed into a buffer kept for every block, then copied to a
    // block of its own size: a spare one when there is, so that its pages
    // are not faulted in again.
    if (scratch_.size() != kBlockSize) scratch_.resize(kBlockSize);
    size_t length = 0;
    std::string why;
    if (!decoder_.Decode(stored_.data(), stored_.size(), scratch_.data(), kBlockSize, &length,
                         &why) ||
        length == 0) {
        return Fail(TRAXR_ERR_CORRUPT, "Failed to decompress a block, blk_layout = (%llu, %u) (%s)",
                    static_cast<unsigned long long>(layout.offset), layout.stored_length,
                    why.empty() ? "no bytes out" : why.c_str());
    }
    std::unique_ptr<std::vector<uint8_t>> buffer = TakeSpare();
    buffer->assign(scratch_.begin(), scratch_.begin() + static_cast<long>(length));
    BlockData block = Share(std::move(buffer));
    ++decompressed_;

    Slot *victim = Victim();
    victim->offset = layout.offset;
    victim->length = layout.stored_length;
    victim->data = std::move(block);
    victim->last_use = clock_;
    *out = victim->data;
    Remember(layout, victim->data);
    return Status();
}

BlockCache::Slot *BlockCache::Victim() {
    if (slots_.size() < capacity_) {
        return &slots_.emplace_back();
    }
    Slot *victim = &slots_[0];
    for (Slot &slot : slots_) {
        if (slot.last_use < victim->last_use) {
            victim = &slot;
        }
    }
    return victim;
}

void BlockCache::Remember(const BlockLayout &layout, const BlockData &data) {
    // Forget blocks nobody holds any more before the table grows large.
    if (held_.size() >= 4 * capacity_ + 64) {
        for (auto it = held_.begin(); it != held_.end();) {
            it = it->second.data.expired() ? held_.erase(it) : std::next(it);
        }
    }
    held_[layout.offset] = Held{layout.stored_length, data};
}

}  // namespace tavri::reader
