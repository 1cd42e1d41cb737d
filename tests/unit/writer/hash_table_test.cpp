#include "writer/hash_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "message_log.h"

namespace tavri::writer {
namespace {

struct Item {
    uint32_t key;
    Item *link;
};

bool SameKey(const void *element, const void *key) {
    return static_cast<const Item *>(element)->key == static_cast<const Item *>(key)->key;
}

// The key itself, so that tests know the bucket; or spread over all bits.
uint32_t KeyHash(const void *item, const traxHashTable *) { return static_cast<const Item *>(item)->key; }
uint32_t MixedHash(const void *item, const traxHashTable *) {
    return static_cast<const Item *>(item)->key * 2654435761u;
}

class HashTableTest : public ::testing::Test {
protected:
    void TearDown() override { traxHash_Free(&table_); }

    void Init(int buckets, int load_factor, traxHashFunction hash) {
        ASSERT_TRUE(traxHash_Init(&table_, buckets, load_factor, offsetof(Item, link), SameKey, hash, nullptr, 0));
    }
    Item *Make(uint32_t key) { return &items_.emplace_back(Item{key, nullptr}); }
    Item *Find(uint32_t key) {
        Item probe{key, nullptr};
        return static_cast<Item *>(traxHash_Lookup(&table_, &probe));
    }
    std::vector<uint32_t> WalkKeys() {
        std::vector<uint32_t> keys;
        traxHashWalk walk;
        traxHash_WalkBegin(&table_, &walk);
        while (void *element = traxHash_WalkNext(&walk)) {
            keys.push_back(static_cast<Item *>(element)->key);
        }
        return keys;
    }

    traxHashTable table_{};
    std::deque<Item> items_;  // addresses stay put as items are added
};

TEST_F(HashTableTest, BucketCountIsThePowerOfTwoReachingTheWantedCount) {
    const int cases[][3] = {{2048, 2048, 19}, {100, 128, 23}, {0, 64, 24}, {1, 4, 28}, {5, 8, 27}};
    for (const auto &c : cases) {
        traxHashTable table{};
        ASSERT_TRUE(traxHash_Init(&table, c[0], 0, 0, SameKey, KeyHash, nullptr, 0));
        EXPECT_EQ(table.bucket_count, static_cast<uint32_t>(c[1])) << c[0];
        EXPECT_EQ(table.shift, c[2]) << c[0];
        EXPECT_EQ(table.grow_threshold, 3u * table.bucket_count) << c[0];
        traxHash_Free(&table);
    }
    traxHashTable table{};
    EXPECT_DEATH(traxHash_Init(&table, 4, 1, 0, SameKey, nullptr, nullptr, 0), "Assertion failed, file traxBOF");
}

TEST_F(HashTableTest, InsertAfterProbeNeedsAMissJustBefore) {
    Init(8, 3, KeyHash);
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, Make(7))) << "no lookup yet";
    EXPECT_EQ(table_.count, 0u);
    EXPECT_EQ(Find(7), nullptr);
    EXPECT_TRUE(traxHash_InsertAfterProbe(&table_, &items_[0]));
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, Make(15))) << "the probe is used up";
    EXPECT_EQ(Find(7), &items_[0]);
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, &items_[1])) << "the last lookup was a hit";
    EXPECT_EQ(table_.count, 1u);
    EXPECT_EQ(traxHash_InsertIfAbsent(&table_, Make(7)), &items_[0]);
    EXPECT_EQ(traxHash_InsertIfAbsent(&table_, &items_[1]), nullptr);
    EXPECT_EQ(table_.count, 2u);
}

TEST_F(HashTableTest, GrowthKeepsEveryElementFindable) {
    Init(4, 1, MixedHash);
    for (uint32_t key = 0; key < 3; ++key) {
        traxHash_InsertIfAbsent(&table_, Make(key));
    }
    EXPECT_EQ(table_.bucket_count, 4u);
    EXPECT_EQ(Find(3), nullptr);
    EXPECT_TRUE(traxHash_InsertAfterProbe(&table_, Make(3)));
    EXPECT_EQ(table_.bucket_count, 16u) << "the count reached the threshold";
    EXPECT_EQ(table_.grow_threshold, 16u);
    EXPECT_EQ(table_.shift, 26);
    for (uint32_t key = 4; key < 5000; ++key) {
        traxHash_InsertIfAbsent(&table_, Make(key));
    }
    EXPECT_EQ(table_.bucket_count, 16384u);
    EXPECT_TRUE(traxHash_Check(&table_, "grown"));
    for (uint32_t key = 0; key < 5000; ++key) {
        ASSERT_EQ(Find(key), &items_[key]) << key;
    }
}

TEST_F(HashTableTest, DeleteAndWalk) {
    Init(8, 100, KeyHash);
    for (uint32_t key : {2u, 9u, 1u, 17u, 7u}) {
        traxHash_InsertIfAbsent(&table_, Make(key));
    }
    // Bucket 1 holds 17, 1, 9 (newest first); then bucket 2, then 7.
    EXPECT_EQ(WalkKeys(), (std::vector<uint32_t>{17, 1, 9, 2, 7}));
    for (uint32_t key : {1u, 9u, 17u}) {  // middle, tail, then the only one
        Item probe{key, nullptr};
        Item *removed = static_cast<Item *>(traxHash_Delete(&table_, &probe));
        ASSERT_NE(removed, nullptr) << key;
        EXPECT_EQ(removed->key, key);
        EXPECT_EQ(Find(key), nullptr);
    }
    Item absent{8, nullptr};
    EXPECT_EQ(traxHash_Delete(&table_, &absent), nullptr);
    EXPECT_EQ(WalkKeys(), (std::vector<uint32_t>{2, 7}));
    EXPECT_EQ(table_.count, 2u);
    EXPECT_TRUE(traxHash_Check(&table_, "deleted"));
}

TEST_F(HashTableTest, CheckReportsMisplacedElementsAndWrongCounts) {
    Init(8, 100, KeyHash);
    Item *moved = Make(1);
    traxHash_InsertIfAbsent(&table_, moved);
    traxHash_InsertIfAbsent(&table_, Make(3));
    blocks_test::MessageLog log;
    moved->key = 2;  // hashes to bucket 2 now, sits in bucket 1
    table_.count = 3;
    EXPECT_FALSE(traxHash_Check(&table_, "tbl"));
    char expected[128];
    std::snprintf(expected, sizeof expected, "hash tbl: 0x%lx unmatch 0x1 vs 0x2\n",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(moved)));
    EXPECT_EQ(log.warnings(), (std::vector<std::string>{expected, "hash tbl: unmatch 3 vs 2\n"}));
    table_.count = 2;
}

}  // namespace
}  // namespace tavri::writer
