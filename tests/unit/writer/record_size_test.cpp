#include "writer/record_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "writer/messages.h"

namespace tavri::writer {
namespace {

struct LibraryRecord {  // an operation's record as the library knows it
    uint32_t size;
    int32_t fields[5];
    int32_t added_later;
};
static_assert(sizeof(LibraryRecord) == 28);

TEST(RecordSizeTest, OlderRecordIsWidenedWithZeros) {
    const uint32_t older[6] = {24, 11, 12, 13, 14, 15};
    LibraryRecord buffer;
    std::memset(&buffer, 0xff, sizeof buffer);
    const void *use = nullptr;
    EXPECT_EQ(CheckRecordSize("f.trax", older, sizeof buffer, &buffer, &use), 0);
    ASSERT_EQ(use, &buffer);
    EXPECT_EQ(std::memcmp(&buffer, older, 24), 0);
    EXPECT_EQ(buffer.added_later, 0);

    const LibraryRecord same{28, {1, 2, 3, 4, 5}, 6};
    EXPECT_EQ(CheckRecordSize("f.trax", &same, sizeof buffer, &buffer, &use), 0);
    EXPECT_EQ(use, &same);

    EXPECT_EQ(CheckRecordSize(nullptr, nullptr, sizeof buffer, &buffer, &use), 0);
    EXPECT_EQ(use, &buffer);
    EXPECT_EQ(buffer.size, 0u) << "a missing record reads as zeros";
}

std::vector<std::string> g_warnings;

// Two operations get a newer (32-byte) record; exits 0 when both are refused
// and the warning came once, naming the first file.
[[noreturn]] void RefuseNewerRecordTwice() {
    SetMessageHooks([](const char *text) { g_warnings.emplace_back(text); }, nullptr, nullptr);
    const uint32_t newer[8] = {32};
    LibraryRecord buffer{};
    const void *use = nullptr;
    const int first = CheckRecordSize("wave.trax", newer, sizeof buffer, &buffer, &use);
    const int second = CheckRecordSize("other.trax", newer, sizeof buffer, &buffer, &use);
    const std::vector<std::string> expected = {"Trax writer library is older than your application!\n",
                                               "Please upgrade the library to avoid potential problems\n",
                                               "Trax fname: wave.trax\n"};
    std::exit(first == 106 && second == 106 && use == newer && g_warnings == expected ? 0 : 2);
}

TEST(RecordSizeTest, NewerRecordIsRefusedWithOneWarningPerProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process
    EXPECT_EXIT(RefuseNewerRecordTwice(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tavri::writer
