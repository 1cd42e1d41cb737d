#include "writer/env_record.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/host_info.h"
#include "scoped_env.h"
#include "writer/platform_info.h"

namespace tavri::writer {
namespace {

using blocks_test::ScopedEnv;
using Record = std::array<unsigned char, 2048>;

const char *const kSettingNames[] = {
    "TRAX_ENV_SYNC_CONTROL",     "TRAX_ENV_DUMP_SEQ_NUM", "TRAX_ENV_MAX_GLITCH_NUM",
    "TRAX_ENV_WRITER_MEM_LIMIT", "TRAX_ENV_TAVRI_LOCK",   "TRAX_ENV_LOCK_FILE_LOC",
};

// The text of a field: the bytes up to its first zero, which must lie
// inside the field.
std::string FieldText(const Record &record, size_t offset, size_t width) {
    const auto *begin = reinterpret_cast<const char *>(record.data() + offset);
    const size_t length = ::strnlen(begin, width);
    EXPECT_LT(length, width) << "field at " << offset << " is not zero-terminated";
    return std::string(begin, length);
}

class EnvRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : kSettingNames) {
            env_.Unset(name);
            env_.Unset(std::string("TAVRI_") + name);
        }
        platform::HostInfo host;
        host.host_name = "sim-farm-node-00042.eng.example.internal";  // 40 characters
        host.processor = "x86_64";
        host.os_build = "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)";
        host.os_major = 6;
        host.os_minor = 1;
        host.os_patch = 76;
        host.platform = "Linux-with-a-long-name";
        ASSERT_EQ(FillPlatformInfoFrom(&platform_, host), 0);
        record_.fill(0xee);
    }

    ScopedEnv env_;
    traxPlatformInfo platform_{};
    Record record_{};
};

TEST_F(EnvRecordTest, HostFieldsAreCutToTheirWidth) {
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(FieldText(record_, 30, 20), "sim-farm-node-00042");
    EXPECT_EQ(record_[49], 0);
    EXPECT_EQ(FieldText(record_, 50, 20), "x86_64");
    EXPECT_EQ(FieldText(record_, 70, 12), "Linux-with-");
    EXPECT_EQ(FieldText(record_, 82, 50), "6.1.76 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (20");
    EXPECT_EQ(FieldText(record_, 334, 120), "ident_txw_WIN32_D:_5.4_2.3_WIN32/0_cl_05042005");
}

TEST_F(EnvRecordTest, CreationTimeIsTheCtimeTextWithoutNewline) {
    const std::time_t when = 1000000000;
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, when);
    char expected[64] = {};
    ASSERT_NE(::ctime_r(&when, expected), nullptr);
    expected[std::strlen(expected) - 1] = '\0';
    EXPECT_EQ(FieldText(record_, 0, 30), expected);
    EXPECT_EQ(FieldText(record_, 0, 30).size(), 24u);
}

TEST_F(EnvRecordTest, GlitchNumberIsStoredLittleEndian) {
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0x1234, 0);
    EXPECT_EQ(record_[132], 0x34);
    EXPECT_EQ(record_[133], 0x12);
}

TEST_F(EnvRecordTest, UnsetSettingsReadNull) {
    EXPECT_EQ(EnvSettingsText(),
              "TRAX_ENV_SYNC_CONTROL=NULL, TRAX_ENV_DUMP_SEQ_NUM=NULL, TRAX_ENV_MAX_GLITCH_NUM=NULL, "
              "TRAX_ENV_WRITER_MEM_LIMIT=NULL, TRAX_ENV_TAVRI_LOCK=NULL, TRAX_ENV_LOCK_FILE_LOC=NULL");
}

TEST_F(EnvRecordTest, SettingsAreReadThroughTheirAliases) {
    env_.Set("TRAX_ENV_SYNC_CONTROL", "off");
    env_.Set("TAVRI_TRAX_ENV_SYNC_CONTROL", "on");
    env_.Set("TRAX_ENV_MAX_GLITCH_NUM", "5");
    EXPECT_EQ(EnvSettingsText(),
              "TRAX_ENV_SYNC_CONTROL=on, TRAX_ENV_DUMP_SEQ_NUM=NULL, TRAX_ENV_MAX_GLITCH_NUM=5, "
              "TRAX_ENV_WRITER_MEM_LIMIT=NULL, TRAX_ENV_TAVRI_LOCK=NULL, TRAX_ENV_LOCK_FILE_LOC=NULL");
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(FieldText(record_, 134, 200), EnvSettingsText());
}

TEST_F(EnvRecordTest, LastItemIsKeptWhileTheTotalStaysWithin200) {
    // The first five items with NULL values add up to 144 (lengths plus 2
    // each); "TRAX_ENV_LOCK_FILE_LOC=" and two more make 25 plus the value.
    env_.Set("TRAX_ENV_LOCK_FILE_LOC", std::string(31, 'd'));  // total exactly 200
    const std::string kept = EnvSettingsText();
    EXPECT_EQ(kept.substr(kept.size() - 54), "TRAX_ENV_LOCK_FILE_LOC=" + std::string(31, 'd'));
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(FieldText(record_, 134, 200), kept);

    env_.Set("TRAX_ENV_LOCK_FILE_LOC", std::string(32, 'd'));  // total 201
    EXPECT_EQ(EnvSettingsText(),
              "TRAX_ENV_SYNC_CONTROL=NULL, TRAX_ENV_DUMP_SEQ_NUM=NULL, TRAX_ENV_MAX_GLITCH_NUM=NULL, "
              "TRAX_ENV_WRITER_MEM_LIMIT=NULL, TRAX_ENV_TAVRI_LOCK=NULL");
}

TEST_F(EnvRecordTest, AnItemTooLongDropsEverythingAfterIt) {
    env_.Set("TRAX_ENV_MAX_GLITCH_NUM", std::string(150, '9'));
    EXPECT_EQ(EnvSettingsText(), "TRAX_ENV_SYNC_CONTROL=NULL, TRAX_ENV_DUMP_SEQ_NUM=NULL");
    env_.Set("TRAX_ENV_SYNC_CONTROL", std::string(300, 's'));
    EXPECT_EQ(EnvSettingsText(), "");
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(record_[134], 0);
}

TEST_F(EnvRecordTest, OnlyTheFirst518BytesAreWritten) {
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 7, 0);
    for (size_t i = 454; i < 518; ++i) {
        ASSERT_EQ(record_[i], 0) << "byte " << i;
    }
    for (size_t i = 518; i < record_.size(); ++i) {
        ASSERT_EQ(record_[i], 0xee) << "byte " << i;
    }
    // Every field's unused tail is zero too.
    EXPECT_EQ(record_[131], 0);
    EXPECT_EQ(record_[333], 0);
    EXPECT_EQ(record_[453], 0);
}

TEST_F(EnvRecordTest, UnterminatedPlatformFieldsAreCutSafely) {
    std::memset(platform_.host_name, 'z', sizeof platform_.host_name);
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(FieldText(record_, 30, 20), std::string(19, 'z'));
}

TEST_F(EnvRecordTest, ComposedFromThisHost) {
    ComposeEnvironmentRecord(record_.data(), 3, 0);
    traxPlatformInfo here;
    ASSERT_EQ(FillPlatformInfo(&here), 0);
    EXPECT_EQ(FieldText(record_, 30, 20), std::string(here.host_name).substr(0, 19));
    EXPECT_EQ(FieldText(record_, 70, 12), std::string(here.platform).substr(0, 11));
    EXPECT_EQ(record_[132], 3);
    EXPECT_EQ(record_[600], 0xee);
}

}  // namespace
}  // namespace tavri::writer
