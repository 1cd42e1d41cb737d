// The allocator of the walk's lane records: arrays cross the large-page size
// as they grow and shrink, and every element keeps its value and alignment
// whichever kind of memory holds it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/large_memory.h"

namespace {

using tavri::platform::kLargeFrom;
using tavri::platform::kLargePage;
using tavri::platform::LargeAllocator;

// Like a lane: aligned to a cache line, with a member that owns memory.
struct alignas(64) Record {
    uint32_t number = 0;
    std::string name;
};

TEST(LargeMemory, ArraysKeepTheirElementsAcrossTheLargePageSize) {
    constexpr size_t kFrom = kLargeFrom / sizeof(Record);
    constexpr size_t kPerPage = kLargePage / sizeof(Record);
    struct Step {
        size_t count;  // elements after the step
        bool large;    // the array then lies in large memory
    };
    const Step steps[] = {
        {1, false},                 // small
        {kFrom - 1, false},         // just below
        {kFrom, true},              // grown to exactly the size
        {3 * kPerPage + 5, true},   // grown further, reallocated large to large
        {kFrom - 1, false},         // shrunk below (shrink_to_fit moves it)
        {2, false},
    };
    std::vector<Record, LargeAllocator<Record>> records;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.count);
        const size_t before = records.size();
        if (step.count > before) {
            for (size_t i = before; i < step.count; ++i) {
                records.push_back(Record{static_cast<uint32_t>(i), "record " + std::to_string(i)});
            }
        } else {
            records.resize(step.count);
        }
        records.shrink_to_fit();
        ASSERT_EQ(records.size(), step.count);
        const auto address = reinterpret_cast<uintptr_t>(records.data());
        EXPECT_EQ(address % alignof(Record), 0u);
#ifdef __linux__
        if (step.large) {
            EXPECT_EQ(address % kLargePage, 0u);
        }
#else
        (void)step.large;
#endif
        for (size_t i = 0; i < records.size(); ++i) {
            ASSERT_EQ(records[i].number, i);
            ASSERT_EQ(records[i].name, "record " + std::to_string(i));
        }
    }
}

}  // namespace
