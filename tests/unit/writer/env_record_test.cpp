#include "writer/env_record.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/host_info.h"
#include "scoped_env.h"
#include "writer/platform_info.h"

namespace tavri::writer {
namespace {

using Record = std::array<unsigned char, 2048>;

// The text of a field, up to its first zero, which must lie inside it.
std::string FieldText(const Record &record, size_t offset, size_t width) {
    const auto *begin = reinterpret_cast<const char *>(record.data() + offset);
    const size_t length = ::strnlen(begin, width);
    EXPECT_LT(length, width) << "field at " << offset << " is not zero-terminated";
    return std::string(begin, length);
}

class EnvRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"TRAX_ENV_SYNC_CONTROL", "TRAX_ENV_DUMP_SEQ_NUM", "TRAX_ENV_MAX_GLITCH_NUM",
                                 "TRAX_ENV_WRITER_MEM_LIMIT", "TRAX_ENV_TAVRI_LOCK", "TRAX_ENV_LOCK_FILE_LOC"}) {
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
        FillPlatformInfoFrom(&platform_, host);
        record_.fill(0xee);
    }

    blocks_test::ScopedEnv env_;
    traxPlatformInfo platform_{};
    Record record_{};
};

TEST_F(EnvRecordTest, FieldsAreCutToTheirWidth) {
    const std::time_t when = 1000000000;
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0x1234, when);
    char time_text[64] = {};
    ::ctime_r(&when, time_text);
    EXPECT_EQ(FieldText(record_, 0, 30) + "\n", time_text);
    EXPECT_EQ(FieldText(record_, 30, 20), "sim-farm-node-00042");
    EXPECT_EQ(FieldText(record_, 50, 20), "x86_64");
    EXPECT_EQ(FieldText(record_, 70, 12), "Linux-with-");
    EXPECT_EQ(FieldText(record_, 82, 50), "6.1.76 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (20");
    EXPECT_EQ(record_[132], 0x34);
    EXPECT_EQ(record_[133], 0x12);
    EXPECT_EQ(FieldText(record_, 134, 200), EnvSettingsText());
    EXPECT_EQ(FieldText(record_, 334, 120), "ident_txw_WIN32_D:_5.4_2.3_WIN32/0_cl_05042005");
    for (size_t i = 454; i < 518; ++i) {
        ASSERT_EQ(record_[i], 0) << i;
    }
    for (size_t i = 518; i < record_.size(); ++i) {
        ASSERT_EQ(record_[i], 0xee) << "the support text area is left alone, byte " << i;
    }
}

TEST_F(EnvRecordTest, SettingsAreReadThroughTheirAliases) {
    env_.Set("TRAX_ENV_SYNC_CONTROL", "off");
    env_.Set("TAVRI_TRAX_ENV_SYNC_CONTROL", "on");
    env_.Set("TRAX_ENV_MAX_GLITCH_NUM", "5");
    EXPECT_EQ(EnvSettingsText(),
              "TRAX_ENV_SYNC_CONTROL=on, TRAX_ENV_DUMP_SEQ_NUM=NULL, TRAX_ENV_MAX_GLITCH_NUM=5, "
              "TRAX_ENV_WRITER_MEM_LIMIT=NULL, TRAX_ENV_TAVRI_LOCK=NULL, TRAX_ENV_LOCK_FILE_LOC=NULL");
}

TEST_F(EnvRecordTest, ItemsPastTheTotalOf200AreLeftOut) {
    // The first five items add up to 144 (lengths plus 2 each); the last is
    // "TRAX_ENV_LOCK_FILE_LOC=" plus the value, plus 2.
    env_.Set("TRAX_ENV_LOCK_FILE_LOC", std::string(31, 'd'));  // total exactly 200
    const std::string kept = EnvSettingsText();
    EXPECT_EQ(kept.substr(kept.size() - 56), ", TRAX_ENV_LOCK_FILE_LOC=" + std::string(31, 'd'));
    ComposeEnvironmentRecordFrom(record_.data(), platform_, 0, 0);
    EXPECT_EQ(FieldText(record_, 134, 200), kept);

    env_.Set("TRAX_ENV_LOCK_FILE_LOC", std::string(32, 'd'));  // 201
    EXPECT_EQ(EnvSettingsText(), kept.substr(0, kept.size() - 56));
    env_.Set("TRAX_ENV_MAX_GLITCH_NUM", std::string(150, '9'));  // drops everything from here on
    env_.Set("TRAX_ENV_LOCK_FILE_LOC", "d");
    EXPECT_EQ(EnvSettingsText(), "TRAX_ENV_SYNC_CONTROL=NULL, TRAX_ENV_DUMP_SEQ_NUM=NULL");
}

}  // namespace
}  // namespace tavri::writer
