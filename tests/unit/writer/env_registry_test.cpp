#include "writer/env_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "message_log.h"
#include "scoped_env.h"

namespace tavri::writer {
namespace {

using blocks_test::MessageLog;
using blocks_test::ScopedEnv;

class EnvRegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetEnvAliasPrefix(nullptr);
        SetEnvDescriptionCheck(false);
        SetEnvDescriptionSource(nullptr, nullptr);
    }
    ScopedEnv env_;
};

TEST_F(EnvRegistryTest, AliasIsThePrefixedUpperCaseName) {
    EXPECT_EQ(EnvAliasPrefix(), "TAVRI_");
    EXPECT_EQ(EnvAliasOf("TRAX_ENV_SYNC_CONTROL"), "TAVRI_TRAX_ENV_SYNC_CONTROL");
    EXPECT_EQ(EnvAliasOf("TAVRI_TRAX_ENV_SYNC_CONTROL"), "TAVRI_TRAX_ENV_SYNC_CONTROL");
    EXPECT_EQ(EnvAliasOf("TAVRI___lock"), "TAVRI_LOCK");
    EXPECT_EQ(EnvAliasOf("trax_env_Dbg"), "TAVRI_TRAX_ENV_DBG");
    EXPECT_EQ(EnvAliasOf("tavri_x"), "TAVRI_TAVRI_X") << "the prefix is matched as written";
    EXPECT_EQ(EnvAliasOf("TAVRI"), "TAVRI_TAVRI");
}

TEST_F(EnvRegistryTest, AliasWinsOverTheName) {
    env_.Set("TRAX_TEST_SETTING", "plain");
    env_.Unset("TAVRI_TRAX_TEST_SETTING");
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_SETTING"), "plain");
    env_.Set("TAVRI_TRAX_TEST_SETTING", "aliased");
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_SETTING"), "aliased");
    EXPECT_STREQ(TXW_GETENV("TAVRI_TRAX_TEST_SETTING"), "aliased");
    env_.Unset("TRAX_TEST_SETTING");
    env_.Unset("TAVRI_TRAX_TEST_SETTING");
    EXPECT_EQ(TXW_GETENV("TRAX_TEST_SETTING"), nullptr);
    EXPECT_EQ(TXW_GETENV(nullptr), nullptr);
}

TEST_F(EnvRegistryTest, LowerCaseNamesFindTheUpperCaseAlias) {
    env_.Set("TAVRI_TRAX_TEST_LOWER", "found");
    EXPECT_STREQ(TXW_GETENV("trax_test_lower"), "found");
}

TEST_F(EnvRegistryTest, PrefixIsTrimmedAndEndsInAnUnderscore) {
    SetEnvAliasPrefix(" ACME");
    EXPECT_EQ(EnvAliasPrefix(), "ACME_");
    EXPECT_EQ(EnvAliasOf("TRAX_X"), "ACME_TRAX_X");
    EXPECT_EQ(EnvAliasOf("ACME_TRAX_X"), "ACME_TRAX_X");
    SetEnvAliasPrefix("\t\nWIDGET_ \n");
    EXPECT_EQ(EnvAliasPrefix(), "WIDGET_");
    SetEnvAliasPrefix("  \t");
    EXPECT_EQ(EnvAliasPrefix(), "TAVRI_");
    SetEnvAliasPrefix("ACME");
    SetEnvAliasPrefix(nullptr);
    EXPECT_EQ(EnvAliasPrefix(), "TAVRI_");

    SetEnvAliasPrefix("ACME");
    env_.Set("ACME_TRAX_TEST_PREFIXED", "acme");
    env_.Set("TAVRI_TRAX_TEST_PREFIXED", "tavri");
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_PREFIXED"), "acme");
}

const int kDescriptionIds[] = {10, 11, 12};
int g_id_reads = 0;

int DescriptionIds(const int **ids) {
    ++g_id_reads;
    *ids = kDescriptionIds;
    return 3;
}

const char *DescriptionText(int id) {
    switch (id) {
        case 10:
            return "0010TRAX_ENV_DOCUMENTED\nWhat it does.";
        case 11:
            return "abc";  // too short to hold a name
        default:
            return "0012TRAX_ENV_OTHER";
    }
}

TEST_F(EnvRegistryTest, UndocumentedVariablesAreReportedWhenCheckingIsOn) {
    MessageLog log;
    g_id_reads = 0;
    SetEnvDescriptionCheck(true);
    GetEnvVar("dump.c", 12, "TRAX_ENV_UNDOCUMENTED");
    EXPECT_TRUE(log.warnings().empty()) << "no description source, no check";

    SetEnvDescriptionSource(DescriptionIds, DescriptionText);
    GetEnvVar("dump.c", 12, "TRAX_ENV_UNDOCUMENTED");
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_EQ(log.warnings()[0],
              "The env. var. \"TRAX_ENV_UNDOCUMENTED\" at dump.c:12 has no description in the resource file.\n");
    log.Clear();
    GetEnvVar("dump.c", 13, "TRAX_ENV_DOCUMENTED");
    GetEnvVar("dump.c", 14, "TRAX_ENV_OTHER");
    EXPECT_TRUE(log.warnings().empty());
    EXPECT_EQ(g_id_reads, 1) << "the list is read once";

    SetEnvDescriptionCheck(false);
    GetEnvVar("dump.c", 15, "TRAX_ENV_UNDOCUMENTED");
    EXPECT_TRUE(log.warnings().empty());
}

TEST_F(EnvRegistryTest, TheMacroNamesItsCaller) {
    MessageLog log;
    SetEnvDescriptionSource(DescriptionIds, DescriptionText);
    SetEnvDescriptionCheck(true);
    const int line = __LINE__ + 1;
    TXW_GETENV("TRAX_ENV_UNDOCUMENTED");
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_NE(log.warnings()[0].find("env_registry_test.cpp:" + std::to_string(line) + " "), std::string::npos)
        << log.warnings()[0];
}

TEST_F(EnvRegistryTest, VariablesFromTextGoUnderTheirAliases) {
    for (const char *name : {"TAVRI_TRAX_TEST_A", "TAVRI_TRAX_TEST_B", "TAVRI_TRAX_TEST_C", "TAVRI_BAD",
                             "TRAX_TEST_A"}) {
        env_.Unset(name);
    }
    SetEnvVariables("trax_test_a=1+TRAX_TEST_B=x=y+BAD+=lost+TAVRI_TRAX_TEST_C=");
    EXPECT_STREQ(std::getenv("TAVRI_TRAX_TEST_A"), "1");
    EXPECT_STREQ(std::getenv("TAVRI_TRAX_TEST_B"), "x=y");
    EXPECT_STREQ(std::getenv("TAVRI_TRAX_TEST_C"), "");
    EXPECT_EQ(std::getenv("TAVRI_BAD"), nullptr);
    EXPECT_EQ(std::getenv("TRAX_TEST_A"), nullptr);
    EXPECT_STREQ(TXW_GETENV("TRAX_TEST_A"), "1");
    SetEnvVariables(nullptr);
}

TEST_F(EnvRegistryTest, ExpandReplacesEveryMarker) {
    EXPECT_EQ(ExpandEnvMarker("dir/%ENV%/x%ENV%", "run1"), "dir/run1/xrun1");
    EXPECT_EQ(ExpandEnvMarker("no marker", "v"), "no marker");
    EXPECT_EQ(ExpandEnvMarker("%ENV%", nullptr), "");
    EXPECT_EQ(ExpandEnvMarker(nullptr, "v"), "");
    // Markers that only form once a short value is in place are replaced too.
    EXPECT_EQ(ExpandEnvMarker("%EN%ENV%V%", ""), "");
    EXPECT_EQ(ExpandEnvMarker("a%E%ENV%V%b", "N"), "aNb");
    EXPECT_EQ(ExpandEnvMarker("%ENV%%ENV%", "%ENV"), "%ENVENV%");
}

TEST_F(EnvRegistryTest, ExpandEndsWhenTheValueHoldsAMarker) {
    EXPECT_EQ(ExpandEnvMarker("a%ENV%b%ENV%c", "<%ENV%>"), "a<%ENV%>b<%ENV%>c");
    // Scanning again would triple the text with every marker.
    std::string many;
    for (int i = 0; i < 40; ++i) {
        many += "%ENV%";
    }
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        expected += "ENV%%%%";
    }
    EXPECT_EQ(ExpandEnvMarker(many.c_str(), "ENV%%%%"), expected);
}

}  // namespace
}  // namespace tavri::writer
