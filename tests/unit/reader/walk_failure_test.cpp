// A walk that meets a damaged element hands out every change it read before
// the damage, then fails: the merge reads a variable's next element as it
// hands out the change before it, and that change must not be lost to the
// failure nor the failure to the change.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

struct Handed {
    uint64_t time;
    uint32_t idcode;
    std::string bits;
    bool operator==(const Handed &) const = default;
    friend void PrintTo(const Handed &h, std::ostream *os) {
        *os << "(" << h.time << ", " << h.idcode << ", " << h.bits << ")";
    }
};

// The walk's changes up to its end or failure; *status gets how it ended.
std::vector<Handed> Walk(traxrReader *reader, traxrStatus *status) {
    std::vector<Handed> out;
    traxrWalk *walk = nullptr;
    *status = traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk);
    if (*status != TRAXR_OK) return out;
    for (;;) {
        uint32_t idcode;
        traxrChange change;
        *status = traxr_WalkNext(walk, &idcode, &change);
        if (*status != TRAXR_OK) break;
        out.push_back({change.time, idcode, Flatten(change).bits});
    }
    traxr_CloseWalk(walk);
    return out;
}

TEST(readerWalkFailure, ChangesBeforeADamagedElementAreHandedOutThenTheWalkFails) {
    // Variable 1 (4-bit A/B bus) changes at 1 and 3, variable 2 (a scalar)
    // at 1, 2, 3 and 4. Intact, the walk hands out:
    const std::vector<Handed> intact = {{1, 1, "0001"}, {1, 2, "1"}, {2, 2, "0"},
                                        {3, 1, "0010"}, {3, 2, "1"}, {4, 2, "0"}};
    auto bus = [](uint32_t second_a_word) {
        return ArrayDef(1, {GroupDef{5, 0, 4,
                                     {ChangeDef(1).Words({1, 0}),
                                      ChangeDef(3).Words({second_a_word, 0})}}});
    };
    ArrayDef fewer_counted = bus(2);
    fewer_counted.change_count = 1;  // the second element is one too many
    ArrayDef more_counted = bus(2);
    more_counted.change_count = 3;  // the array ends one short
    struct Case {
        const char *what;
        ArrayDef array;
        size_t handed;  // changes handed out before the failure
    };
    const std::vector<Case> cases = {
        // Found reading the element after the first change of variable 1.
        {"element past the entry's count", fewer_counted, 1},
        // Found at the end of variable 1's array, after its last change.
        {"array ends before the entry's count", more_counted, 4},
        // Found decoding the second value, when it is due.
        {"value with bits above its width", bus(0x12), 3},
    };
    for (const Case &c : cases) {
        TraxBuilder b;
        b.AddTree({ScopeDef("top").Vars({VarDef("v", 1).Bounds(3, 0), VarDef("s", 2)})});
        b.AddSession({c.array, Scalar(2, {{1, 1}, {2, 0}, {3, 1}, {4, 0}})});
        const std::string path = PathFor("walk_failure.trax");
        b.WriteFinished(path);
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << c.what << ": " << f.message;
        traxrStatus status;
        const std::vector<Handed> handed = Walk(f.reader, &status);
        EXPECT_EQ(status, TRAXR_ERR_CORRUPT) << c.what;
        EXPECT_STRNE(traxr_LastMessage(f.reader), "") << c.what;
        EXPECT_EQ(handed, std::vector<Handed>(intact.begin(), intact.begin() + c.handed))
            << c.what;
    }
}

}  // namespace
}  // namespace tavri::reader_test
