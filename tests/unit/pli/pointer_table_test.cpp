// The pointer table the binding finds its per-handle entries with: after
// any mix of insertions and removals (removals shift later entries back
// over the wrapped end of the array and across growth), every key in it is
// found with its value and no other key is.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "sim/pointer_table.h"

namespace tavri::sim {
namespace {

TEST(PointerTable, FindsExactlyTheKeysInItAfterInsertionsAndRemovals) {
    // Keys as heap handles come: aligned, close together; and spread far.
    struct Case {
        const char *name;
        uintptr_t stride;
    };
    for (const Case &c : {Case{"dense", 16}, Case{"sparse", 4096 * 33}}) {
        SCOPED_TRACE(c.name);
        PointerTable<int, int> table;
        std::map<const int *, int *> expected;
        std::mt19937 random(7);
        auto key = [&](uint32_t n) { return reinterpret_cast<const int *>(0x10000 + n * c.stride); };
        auto value = [&](uint32_t n) { return reinterpret_cast<int *>(0x900000 + n * 8); };
        for (int step = 0; step < 20000; ++step) {
            const uint32_t n = random() % 600;
            if (random() % 3 != 0) {
                if (expected.count(key(n)) == 0) {
                    table.Insert(key(n), value(n));
                    expected[key(n)] = value(n);
                }
            } else {
                table.Remove(key(n));
                expected.erase(key(n));
            }
            if (step % 997 == 0 || step == 19999) {
                ASSERT_EQ(table.size(), expected.size()) << "step " << step;
                for (uint32_t k = 0; k < 600; ++k) {
                    const auto found = expected.find(key(k));
                    ASSERT_EQ(table.Find(key(k)), found != expected.end() ? found->second : nullptr)
                        << "key " << k << " at step " << step;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tavri::sim
