#include "writer/record_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "writer/messages.h"

namespace tavri::writer {
namespace {

// An operation's record as the library knows it: 28 bytes.
struct CurrentRecord {
    uint32_t size;
    int32_t a;
    int32_t b;
    int32_t c;
    int32_t d;
    int32_t e;
    int32_t added_later;
};
static_assert(sizeof(CurrentRecord) == 28);

// The same record as an older application knows it: 24 bytes.
struct OlderRecord {
    uint32_t size;
    int32_t a, b, c, d, e;
};

// A newer application's record: 32 bytes.
struct NewerRecord {
    uint32_t size;
    int32_t fields[7];
};

TEST(RecordSizeTest, SameSizeUsesTheCallersRecord) {
    CurrentRecord caller{sizeof(CurrentRecord), 1, 2, 3, 4, 5, 6};
    CurrentRecord buffer;
    std::memset(&buffer, 0xff, sizeof buffer);
    const void *use = nullptr;
    EXPECT_EQ(CheckRecordSize("f.trax", &caller, sizeof(CurrentRecord), &buffer, &use), 0);
    EXPECT_EQ(use, &caller);
}

TEST(RecordSizeTest, OlderRecordIsWidenedWithZeros) {
    OlderRecord caller{sizeof(OlderRecord), 11, 12, 13, 14, 15};
    CurrentRecord buffer;
    std::memset(&buffer, 0xff, sizeof buffer);
    const void *use = nullptr;
    EXPECT_EQ(CheckRecordSize("f.trax", &caller, sizeof(CurrentRecord), &buffer, &use), 0);
    ASSERT_EQ(use, &buffer);
    const auto *record = static_cast<const CurrentRecord *>(use);
    EXPECT_EQ(record->size, 24u);
    EXPECT_EQ(record->a, 11);
    EXPECT_EQ(record->e, 15);
    EXPECT_EQ(record->added_later, 0);
}

TEST(RecordSizeTest, MissingRecordReadsAsZeros) {
    CurrentRecord buffer;
    std::memset(&buffer, 0xff, sizeof buffer);
    const void *use = nullptr;
    EXPECT_EQ(CheckRecordSize(nullptr, nullptr, sizeof(CurrentRecord), &buffer, &use), 0);
    ASSERT_EQ(use, &buffer);
    const std::vector<unsigned char> zeros(sizeof buffer, 0);
    EXPECT_EQ(std::memcmp(&buffer, zeros.data(), sizeof buffer), 0);
}

std::vector<std::string> g_warnings;
void KeepWarning(const char *text) { g_warnings.emplace_back(text); }

// Two operations with a newer record; exits 0 when both are refused and the
// warning came once, naming the first file.
[[noreturn]] void RefuseNewerRecordTwice() {
    SetWarningSwitch(false);
    SetMessageHooks(&KeepWarning, nullptr, nullptr);
    NewerRecord caller{sizeof(NewerRecord), {1, 2, 3, 4, 5, 6, 7}};
    CurrentRecord buffer{};
    const void *use = nullptr;
    const int first = CheckRecordSize("wave.trax", &caller, sizeof(CurrentRecord), &buffer, &use);
    const bool caller_kept = use == &caller;
    const int second = CheckRecordSize("other.trax", &caller, sizeof(CurrentRecord), &buffer, &use);
    const std::vector<std::string> expected = {
        "Trax writer library is older than your application!\n",
        "Please upgrade the library to avoid potential problems\n",
        "Trax fname: wave.trax\n",
    };
    if (first != 106 || second != 106 || !caller_kept || g_warnings != expected) {
        std::fprintf(stderr, "statuses %d %d, %zu warnings\n", first, second, g_warnings.size());
        std::exit(2);
    }
    std::exit(0);
}

[[noreturn]] void RefuseNewerRecordWithoutFileName() {
    SetWarningSwitch(false);
    SetMessageHooks(&KeepWarning, nullptr, nullptr);
    NewerRecord caller{sizeof(NewerRecord), {}};
    CurrentRecord buffer{};
    const void *use = nullptr;
    const int status = CheckRecordSize(nullptr, &caller, sizeof(CurrentRecord), &buffer, &use);
    std::exit(status == 106 && g_warnings.size() == 2 ? 0 : 2);
}

// The warning is printed once per process, so these run in a fresh process.
TEST(RecordSizeTest, NewerRecordIsRefusedWithOneWarningPerProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RefuseNewerRecordTwice(), ::testing::ExitedWithCode(0), "");
}

TEST(RecordSizeTest, NewerRecordWithoutFileNameLeavesTheNameOut) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RefuseNewerRecordWithoutFileName(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tavri::writer
