// A table from pointers to pointers for lookups on a hot path: open
// addressing with linear probing over a power-of-two array kept at most
// half full, so that a lookup is a multiply, a shift and a probe or two. No
// tombstones: a removal shifts the entries after it back.
#ifndef TAVRI_SIM_POINTER_TABLE_H
#define TAVRI_SIM_POINTER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavri::sim {

template <class Key, class Value>
class PointerTable {
public:
    // The value of `key`, or null.
    Value *Find(const Key *key) const {
        const Slot *slot = SlotOf(key);
        return slot != nullptr ? slot->value : nullptr;
    }

    // Enters `key` (not null, not yet in the table).
    void Insert(const Key *key, Value *value) {
        if ((used_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        Place(key, value);
        ++used_;
    }

    // Removes `key` if it is in the table.
    void Remove(const Key *key) {
        const Slot *found = SlotOf(key);
        if (found == nullptr) {
            return;
        }
        const size_t mask = slots_.size() - 1;
        size_t hole = static_cast<size_t>(found - slots_.data());
        for (size_t next = (hole + 1) & mask; slots_[next].key != nullptr; next = (next + 1) & mask) {
            // An entry may fill the hole when the hole lies between its home
            // and where it is now.
            if (((next - Home(slots_[next].key)) & mask) >= ((next - hole) & mask)) {
                slots_[hole] = slots_[next];
                hole = next;
            }
        }
        slots_[hole] = Slot{};
        --used_;
    }

    size_t size() const { return used_; }

private:
    struct Slot {
        const Key *key = nullptr;
        Value *value = nullptr;
    };

    size_t Home(const Key *key) const {
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(key) * uint64_t{0x9E3779B97F4A7C15}) >> shift_);
    }

    const Slot *SlotOf(const Key *key) const {
        if (used_ == 0) {
            return nullptr;
        }
        const size_t mask = slots_.size() - 1;
        for (size_t i = Home(key);; i = (i + 1) & mask) {
            const Slot &slot = slots_[i];
            if (slot.key == key) {
                return &slot;
            }
            if (slot.key == nullptr) {
                return nullptr;
            }
        }
    }

    void Place(const Key *key, Value *value) {
        const size_t mask = slots_.size() - 1;
        size_t i = Home(key);
        while (slots_[i].key != nullptr) {
            i = (i + 1) & mask;
        }
        slots_[i] = Slot{key, value};
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() < 16 ? 16 : slots_.size() * 2);
        old.swap(slots_);
        shift_ = 64;
        for (size_t size = slots_.size(); size > 1; size /= 2) {
            --shift_;
        }
        for (const Slot &slot : old) {
            if (slot.key != nullptr) {
                Place(slot.key, slot.value);
            }
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
    int shift_ = 64;
};

}  // namespace tavri::sim

#endif
