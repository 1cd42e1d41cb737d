// Streams of more than one block: records that run across a block boundary
// in each stream, and the block cache reading every block once when the
// whole file is read.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

std::string RandomBits(std::mt19937 &random, size_t width) {
    std::string bits(width, '0');
    for (char &c : bits) c = "01xz"[random() % 4];
    return bits;
}

TEST(readerBlocks, ElementArrayRunsAcrossABlockBoundary) {
    std::mt19937 random(7);
    std::vector<std::pair<uint64_t, std::string>> changes;
    for (uint64_t i = 0; i < 400; ++i) changes.emplace_back(i * 10, RandomBits(random, 3000));
    TraxBuilder b;
    b.AddTree({ScopeDef("top").Vars({VarDef("wide", 1).Bounds(2999, 0), VarDef("after", 2)})});
    b.AddSession({Bus(1, changes), Scalar(2, {{5, 1}})});
    const std::string path = PathFor("boundary.trax");
    b.WriteFinished(path);

    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    traxrSession session;
    ASSERT_EQ(traxr_GetSession(f.reader, 0, &session), TRAXR_OK);
    ASSERT_EQ(session.vc_block_count, 2u);
    traxrStatus status;
    const std::vector<Value> values = ReadValues(f.reader, 1, &status);
    ASSERT_EQ(status, TRAXR_OK) << traxr_LastMessage(f.reader);
    ASSERT_EQ(values.size(), changes.size());
    for (size_t i = 0; i < changes.size(); ++i) {
        ASSERT_EQ(values[i].bits, changes[i].second) << i;
        ASSERT_EQ(values[i].time, changes[i].first) << i;
    }
    // The second array starts in the second block.
    traxrChainEntry *entries = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(traxr_ReadChainEntries(f.reader, 2, &entries, &count), TRAXR_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(entries[0].element_position >> 20, 1u);
    traxr_FreeChainEntries(entries);
    EXPECT_EQ(ReadValues(f.reader, 2).at(0).time, 5u);
}

// So many scopes and variables that the scope, variable and vc chain
// streams each take more than one block; the whole file is then read once
// variable by variable and once at a time.
TEST(readerBlocks, WideDesignAcrossEveryStream) {
    constexpr uint32_t kScopes = 25000, kPerScope = 4, kVars = kScopes * kPerScope;
    std::vector<ScopeDef> tops;
    tops.reserve(kScopes);
    char name[64];
    for (uint32_t s = 0; s < kScopes; ++s) {
        std::snprintf(name, sizeof name, "scope_with_a_rather_long_name_%05u", s);
        ScopeDef scope(name);
        for (uint32_t k = 0; k < kPerScope; ++k) {
            const uint32_t idcode = s * kPerScope + k + 1;
            std::snprintf(name, sizeof name, "signal_%06u", idcode);
            scope.vars.push_back(VarDef(name, idcode));
        }
        tops.push_back(std::move(scope));
    }
    TraxBuilder b;
    b.AddTree(tops);
    for (uint64_t session = 0; session < 2; ++session) {
        std::vector<ArrayDef> arrays;
        for (uint32_t idcode = 1; idcode <= kVars; ++idcode) {
            if (session == 1 && idcode % 3 == 0) continue;
            arrays.push_back(Scalar(idcode, {{session * 100 + idcode % 50,
                                              static_cast<uint8_t>((idcode + session) % 4)}}));
        }
        b.AddSession(arrays);
    }
    ASSERT_GT(b.scope_layouts.size(), 1u);
    ASSERT_GT(b.var_layouts.size(), 1u);
    ASSERT_GT(b.chain_layouts.size(), 2u);
    const std::string path = PathFor("wide.trax");
    b.WriteFinished(path);

    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    ASSERT_EQ(traxr_ScopeCount(f.reader), kScopes);
    ASSERT_EQ(traxr_VarCount(f.reader), kVars);
    traxrVar last{};
    ASSERT_EQ(traxr_GetVar(f.reader, kVars - 1, &last), TRAXR_OK);
    EXPECT_STREQ(last.name, "signal_100000");
    EXPECT_EQ(last.idcode, kVars);
    traxrScope scope{};
    ASSERT_EQ(traxr_GetScope(f.reader, kScopes - 1, &scope), TRAXR_OK);
    EXPECT_STREQ(scope.name, "scope_with_a_rather_long_name_24999");
    EXPECT_EQ(scope.first_var, kVars - kPerScope);

    uint64_t before = 0, after = 0;
    traxr_GetBlockStats(f.reader, &before, nullptr);
    traxrChangeSet *set = nullptr;
    ASSERT_EQ(traxr_ReadAllChanges(f.reader, &set), TRAXR_OK) << traxr_LastMessage(f.reader);
    traxr_GetBlockStats(f.reader, &after, nullptr);
    EXPECT_EQ(after - before, b.vc_layouts.size() + b.chain_layouts.size());
    ASSERT_EQ(traxr_ChangeSetSize(set), kVars + 1);
    for (uint32_t idcode = 1; idcode <= kVars; ++idcode) {
        const std::vector<Value> all = Flatten(traxr_ChangeSetList(set, idcode));
        ASSERT_EQ(all.size(), idcode % 3 == 0 ? 1u : 2u) << idcode;
        ASSERT_EQ(all[0].bits, std::string(1, "01xz"[idcode % 4])) << idcode;
        ASSERT_EQ(all.back().time, (all.size() - 1) * 100 + idcode % 50) << idcode;
    }
    for (uint32_t idcode : {1u, 2u, 49999u, 50000u, 77777u, kVars}) {
        traxrStatus status;
        const std::vector<Value> one = ReadValues(f.reader, idcode, &status);
        ASSERT_EQ(status, TRAXR_OK) << traxr_LastMessage(f.reader);
        const std::vector<Value> all = Flatten(traxr_ChangeSetList(set, idcode));
        ASSERT_EQ(one.size(), all.size());
        for (size_t i = 0; i < one.size(); ++i) {
            EXPECT_EQ(one[i].time, all[i].time);
            EXPECT_EQ(one[i].bits, all[i].bits);
            EXPECT_EQ(one[i].session, all[i].session);
        }
    }
    traxr_FreeChangeSet(set);
}

}  // namespace
}  // namespace tavri::reader_test
