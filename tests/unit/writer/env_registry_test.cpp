#include "writer/env_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "message_log.h"
#include "scoped_env.h"

namespace tavri::writer {
namespace {

class EnvRegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetEnvAliasPrefix(nullptr);
        SetEnvDescriptionCheck(false);
        SetEnvDescriptionSource(nullptr, nullptr);
    }
    blocks_test::ScopedEnv env_;
};

TEST_F(EnvRegistryTest, AliasIsThePrefixedUpperCaseName) {
    EXPECT_EQ(EnvAliasOf("TRAX_ENV_SYNC_CONTROL"), "TAVRI_TRAX_ENV_SYNC_CONTROL");
    EXPECT_EQ(EnvAliasOf("TAVRI_TRAX_ENV_SYNC_CONTROL"), "TAVRI_TRAX_ENV_SYNC_CONTROL");
    EXPECT_EQ(EnvAliasOf("TAVRI___lock"), "TAVRI_LOCK");
    EXPECT_EQ(EnvAliasOf("trax_env_Dbg"), "TAVRI_TRAX_ENV_DBG");
    SetEnvAliasPrefix(" ACME\t\n");
    EXPECT_EQ(EnvAliasPrefix(), "ACME_");
    EXPECT_EQ(EnvAliasOf("ACME_TRAX_X"), "ACME_TRAX_X");
    SetEnvAliasPrefix("WIDGET_ ");
    EXPECT_EQ(EnvAliasPrefix(), "WIDGET_");
    SetEnvAliasPrefix(nullptr);
    EXPECT_EQ(EnvAliasPrefix(), "TAVRI_");
}

TEST_F(EnvRegistryTest, AliasWinsOverTheName) {
    env_.Set("TRAX_TEST_SETTING", "plain");
    env_.Unset("TAVRI_TRAX_TEST_SETTING");
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_SETTING"), "plain");
    env_.Set("TAVRI_TRAX_TEST_SETTING", "aliased");
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_SETTING"), "aliased");
    EXPECT_STREQ(TXW_GETENV("TAVRI_TRAX_TEST_SETTING"), "aliased");
    EXPECT_STREQ(TXW_GETENV("trax_test_setting"), "aliased");
}

const int kDescriptionIds[] = {10, 11, 12};
int g_id_reads = 0;

int DescriptionIds(const int **ids) {
    ++g_id_reads;
    *ids = kDescriptionIds;
    return 3;
}

const char *DescriptionText(int id) {
    return id == 10 ? "0010TRAX_ENV_DOCUMENTED\nWhat it does." : id == 11 ? "abc" : "0012TRAX_ENV_OTHER";
}

TEST_F(EnvRegistryTest, UndocumentedVariablesAreReportedWhenCheckingIsOn) {
    blocks_test::MessageLog log;
    g_id_reads = 0;
    SetEnvDescriptionCheck(true);
    GetEnvVar("dump.c", 12, "TRAX_ENV_UNDOCUMENTED");
    EXPECT_TRUE(log.warnings().empty()) << "no description source, no check";
    SetEnvDescriptionSource(DescriptionIds, DescriptionText);
    GetEnvVar("dump.c", 12, "TRAX_ENV_UNDOCUMENTED");
    GetEnvVar("dump.c", 13, "TRAX_ENV_DOCUMENTED");
    GetEnvVar("dump.c", 14, "TRAX_ENV_OTHER");
    EXPECT_EQ(log.warnings(),
              std::vector<std::string>{"The env. var. \"TRAX_ENV_UNDOCUMENTED\" at dump.c:12 has no description "
                                       "in the resource file.\n"});
    EXPECT_EQ(g_id_reads, 1) << "the list is read once";
    SetEnvDescriptionCheck(false);
    GetEnvVar("dump.c", 15, "TRAX_ENV_UNDOCUMENTED");
    EXPECT_EQ(log.warnings().size(), 1u);
}

TEST_F(EnvRegistryTest, VariablesFromTextGoUnderTheirAliases) {
    for (const char *name : {"TAVRI_TRAX_TEST_A", "TAVRI_TRAX_TEST_B", "TAVRI_BAD", "TRAX_TEST_A"}) {
        env_.Unset(name);
    }
    SetEnvVariables("trax_test_a=1+TRAX_TEST_B=x=y+BAD+=lost");
    EXPECT_STREQ(std::getenv("TAVRI_TRAX_TEST_A"), "1");
    EXPECT_STREQ(std::getenv("TAVRI_TRAX_TEST_B"), "x=y");
    EXPECT_EQ(std::getenv("TAVRI_BAD"), nullptr);
    EXPECT_EQ(std::getenv("TRAX_TEST_A"), nullptr);
}

TEST_F(EnvRegistryTest, ExpandReplacesEveryMarkerAndEnds) {
    EXPECT_EQ(ExpandEnvMarker("dir/%ENV%/x%ENV%", "run1"), "dir/run1/xrun1");
    // Markers that only form once a short value is in place are replaced too.
    EXPECT_EQ(ExpandEnvMarker("a%E%ENV%V%b", "N"), "aNb");
    EXPECT_EQ(ExpandEnvMarker("a%ENV%b%ENV%c", "<%ENV%>"), "a<%ENV%>b<%ENV%>c");
    // Scanning again would triple the text with every marker.
    std::string many, expected;
    for (int i = 0; i < 40; ++i) {
        many += "%ENV%";
        expected += "ENV%%%%";
    }
    EXPECT_EQ(ExpandEnvMarker(many.c_str(), "ENV%%%%"), expected);
}

}  // namespace
}  // namespace tavri::writer
