#include "writer/hash_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

#include "message_log.h"

namespace tavri::writer {
namespace {

using blocks_test::MessageLog;

struct Item {
    uint32_t key;
    int payload;
    Item *link;
};

bool SameKey(const void *element, const void *key) {
    return static_cast<const Item *>(element)->key == static_cast<const Item *>(key)->key;
}

// The key itself, so that tests can tell which bucket an item lands in.
uint32_t KeyHash(const void *item, const traxHashTable * /*table*/) { return static_cast<const Item *>(item)->key; }

// Spreads keys over all bits.
uint32_t MixedHash(const void *item, const traxHashTable * /*table*/) {
    return static_cast<const Item *>(item)->key * 2654435761u;
}

uint32_t ConstantHash(const void * /*item*/, const traxHashTable * /*table*/) { return 5; }

class HashTableTest : public ::testing::Test {
protected:
    void TearDown() override { traxHash_Free(&table_); }

    void Init(int buckets, int load_factor, traxHashFunction hash) {
        ASSERT_TRUE(traxHash_Init(&table_, buckets, load_factor, offsetof(Item, link), SameKey, hash, nullptr, 0));
    }

    Item *Make(uint32_t key) {
        items_.push_back(Item{key, static_cast<int>(key) * 10, nullptr});
        return &items_.back();
    }

    Item *Find(uint32_t key) {
        Item probe{key, 0, nullptr};
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
    struct Case {
        int wanted;
        uint32_t buckets;
        int shift;
    };
    for (const Case c : {Case{2048, 2048, 19}, Case{100, 128, 23}, Case{0, 64, 24}, Case{-5, 64, 24},
                         Case{1, 4, 28}, Case{4, 4, 28}, Case{5, 8, 27}}) {
        traxHashTable table{};
        ASSERT_TRUE(traxHash_Init(&table, c.wanted, 2, 0, SameKey, KeyHash, nullptr, 7));
        EXPECT_EQ(table.bucket_count, c.buckets) << "wanted " << c.wanted;
        EXPECT_EQ(table.mask, c.buckets - 1) << "wanted " << c.wanted;
        EXPECT_EQ(table.shift, c.shift) << "wanted " << c.wanted;
        EXPECT_EQ(table.grow_threshold, 2 * c.buckets) << "wanted " << c.wanted;
        EXPECT_EQ(table.flags, 7u);
        traxHash_Free(&table);
    }
    traxHashTable table{};
    ASSERT_TRUE(traxHash_Init(&table, 16, 0, 0, SameKey, KeyHash, nullptr, 0));
    EXPECT_EQ(table.grow_threshold, 48u) << "a load factor below 1 means 3";
    traxHash_Free(&table);
}

TEST_F(HashTableTest, MissingHashOrCompareIsAnAssertion) {
    traxHashTable table{};
    EXPECT_DEATH(traxHash_Init(&table, 4, 1, 0, SameKey, nullptr, nullptr, 0),
                 "Assertion failed, file traxBOF, line");
    EXPECT_DEATH(traxHash_Init(&table, 4, 1, 0, nullptr, KeyHash, nullptr, 0),
                 "Assertion failed, file traxBOF, line");
}

TEST_F(HashTableTest, InsertAfterProbeNeedsAMissJustBefore) {
    Init(8, 3, KeyHash);
    Item *seven = Make(7);
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, seven)) << "no lookup yet";
    EXPECT_EQ(table_.count, 0u);
    EXPECT_EQ(Find(7), nullptr);

    EXPECT_EQ(table_.probe, 8u) << "bucket 7, plus one";
    EXPECT_TRUE(traxHash_InsertAfterProbe(&table_, seven));
    EXPECT_EQ(table_.count, 1u);
    EXPECT_EQ(Find(7), seven);
    EXPECT_EQ(table_.probe, 0u);

    Item *other = Make(15);
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, other)) << "the last lookup was a hit";
    EXPECT_EQ(Find(15), nullptr);
    EXPECT_TRUE(traxHash_InsertAfterProbe(&table_, other));
    EXPECT_FALSE(traxHash_InsertAfterProbe(&table_, Make(23))) << "the probe is used up";
    EXPECT_EQ(table_.count, 2u);
    EXPECT_TRUE(traxHash_Check(&table_, "probe"));
}

TEST_F(HashTableTest, InsertIfAbsentReturnsTheElementPresent) {
    Init(8, 3, MixedHash);
    Item *first = Make(42);
    EXPECT_EQ(traxHash_InsertIfAbsent(&table_, first), nullptr);
    Item *duplicate = Make(42);
    EXPECT_EQ(traxHash_InsertIfAbsent(&table_, duplicate), first);
    EXPECT_EQ(table_.count, 1u);
    EXPECT_EQ(Find(42), first);
}

TEST_F(HashTableTest, GrowthKeepsEveryElementFindable) {
    Init(4, 1, MixedHash);
    for (uint32_t key = 0; key < 3; ++key) {
        ASSERT_EQ(traxHash_InsertIfAbsent(&table_, Make(key)), nullptr);
    }
    EXPECT_EQ(table_.bucket_count, 4u);
    EXPECT_EQ(Find(99), nullptr);  // leaves a probe behind that growth must clear
    ASSERT_EQ(traxHash_InsertIfAbsent(&table_, Make(3)), nullptr);
    EXPECT_EQ(table_.bucket_count, 16u) << "the count reached the threshold";
    EXPECT_EQ(table_.grow_threshold, 16u);
    EXPECT_EQ(table_.shift, 26);
    EXPECT_EQ(table_.probe, 0u);

    for (uint32_t key = 4; key < 5000; ++key) {
        ASSERT_EQ(traxHash_InsertIfAbsent(&table_, Make(key)), nullptr);
    }
    EXPECT_EQ(table_.count, 5000u);
    EXPECT_EQ(table_.bucket_count, 16384u);
    EXPECT_EQ(table_.shift, 16);
    EXPECT_TRUE(traxHash_Check(&table_, "grown"));
    for (uint32_t key = 0; key < 5000; ++key) {
        Item *found = Find(key);
        ASSERT_NE(found, nullptr) << key;
        ASSERT_EQ(found->payload, static_cast<int>(key) * 10);
    }
}

TEST_F(HashTableTest, GrowthAlsoFollowsInsertAfterProbe) {
    Init(4, 2, KeyHash);
    for (uint32_t key = 0; key < 8; ++key) {
        ASSERT_EQ(Find(key), nullptr);
        ASSERT_TRUE(traxHash_InsertAfterProbe(&table_, Make(key)));
    }
    EXPECT_EQ(table_.bucket_count, 16u);
    EXPECT_EQ(table_.grow_threshold, 32u);
    EXPECT_TRUE(traxHash_Check(&table_, "probed"));
}

TEST_F(HashTableTest, DeleteUnlinksFromAnyPlaceInTheChain) {
    Init(8, 100, ConstantHash);  // one chain holds everything
    for (uint32_t key = 1; key <= 5; ++key) {
        traxHash_InsertIfAbsent(&table_, Make(key));
    }
    ASSERT_EQ(WalkKeys(), (std::vector<uint32_t>{5, 4, 3, 2, 1}));

    Item probe{3, 0, nullptr};
    Item *removed = static_cast<Item *>(traxHash_Delete(&table_, &probe));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->key, 3u);
    probe.key = 5;
    EXPECT_NE(traxHash_Delete(&table_, &probe), nullptr);  // head
    probe.key = 1;
    EXPECT_NE(traxHash_Delete(&table_, &probe), nullptr);  // tail
    probe.key = 9;
    EXPECT_EQ(traxHash_Delete(&table_, &probe), nullptr);
    EXPECT_EQ(WalkKeys(), (std::vector<uint32_t>{4, 2}));
    EXPECT_EQ(table_.count, 2u);
    EXPECT_EQ(Find(3), nullptr);
    EXPECT_TRUE(traxHash_Check(&table_, "deleted"));
}

TEST_F(HashTableTest, WalkGoesBucketByBucketInChainOrder) {
    Init(8, 100, KeyHash);
    for (uint32_t key : {2u, 9u, 1u, 17u, 7u}) {
        traxHash_InsertIfAbsent(&table_, Make(key));
    }
    // Bucket 1 holds 17, 1, 9 (newest first); then 2, then 7.
    EXPECT_EQ(WalkKeys(), (std::vector<uint32_t>{17, 1, 9, 2, 7}));

    // The element just returned may be deleted.
    std::vector<uint32_t> seen;
    traxHashWalk walk;
    traxHash_WalkBegin(&table_, &walk);
    while (auto *item = static_cast<Item *>(traxHash_WalkNext(&walk))) {
        seen.push_back(item->key);
        traxHash_Delete(&table_, item);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{17, 1, 9, 2, 7}));
    EXPECT_EQ(table_.count, 0u);
    EXPECT_TRUE(WalkKeys().empty());
}

TEST_F(HashTableTest, CheckReportsMisplacedElementsAndWrongCounts) {
    Init(8, 100, KeyHash);
    Item *moved = Make(1);
    traxHash_InsertIfAbsent(&table_, moved);
    traxHash_InsertIfAbsent(&table_, Make(3));
    EXPECT_TRUE(traxHash_Check(&table_, "sound"));

    MessageLog log;
    moved->key = 2;  // now hashes to bucket 2 but sits in bucket 1
    EXPECT_FALSE(traxHash_Check(&table_, "tbl"));
    ASSERT_EQ(log.warnings().size(), 1u);
    char expected[128];
    std::snprintf(expected, sizeof expected, "hash tbl: 0x%lx unmatch 0x1 vs 0x2\n",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(moved)));
    EXPECT_EQ(log.warnings()[0], expected);

    moved->key = 1;
    log.Clear();
    table_.count = 3;
    EXPECT_FALSE(traxHash_Check(&table_, "tbl"));
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_EQ(log.warnings()[0], "hash tbl: unmatch 3 vs 2\n");
    table_.count = 2;
}

}  // namespace
}  // namespace tavri::writer
