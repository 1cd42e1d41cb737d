// A walk over sessions of different numbers of variables: the merge keeps
// per-lane tables sized for the session it is in, and a session of more
// lanes than the one before must not use the smaller one's.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "reader_test_util.h"

namespace tavri::reader_test {
namespace {

TEST(readerWalkSessions, SessionsOfFewerAndMoreVariablesThanTheOneBeforeAreWalkedWhole) {
    // Sessions of 2100, 3000 and 50 changing variables: the first two above
    // the count from which the merge fetches lanes ahead, the last below it.
    const std::vector<uint32_t> changing = {2100, 3000, 50};
    const uint32_t vars = 3000;
    TraxBuilder b;
    std::vector<VarDef> defs;
    for (uint32_t idcode = 1; idcode <= vars; ++idcode) {
        defs.push_back(VarDef("v" + std::to_string(idcode), idcode));
    }
    b.AddTree({ScopeDef("top").Vars(defs)});
    std::vector<std::tuple<uint64_t, uint32_t, std::string>> expected;
    for (size_t s = 0; s < changing.size(); ++s) {
        const uint64_t t = 10 * (s + 1);
        std::vector<ArrayDef> arrays;
        for (uint32_t idcode = 1; idcode <= changing[s]; ++idcode) {
            const uint8_t first = static_cast<uint8_t>((idcode + s) % 4);
            arrays.push_back(Scalar(idcode, {{t, first}, {t + 1, static_cast<uint8_t>(first ^ 1)}}));
        }
        b.AddSession(arrays);
        for (uint64_t at : {t, t + 1}) {
            for (uint32_t idcode = 1; idcode <= changing[s]; ++idcode) {
                const unsigned code = ((idcode + s) % 4) ^ (at == t ? 0 : 1);
                expected.emplace_back(at, idcode, std::string(1, "01xz"[code]));
            }
        }
    }
    const std::string path = PathFor("walk_sessions.trax");
    b.WriteFinished(path);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;

    traxrWalk *walk = nullptr;
    ASSERT_EQ(traxr_OpenWalk(f.reader, nullptr, 0, 0, UINT64_MAX, &walk), TRAXR_OK);
    std::vector<std::tuple<uint64_t, uint32_t, std::string>> got;
    traxrStatus status;
    for (;;) {
        uint32_t idcode;
        traxrChange change;
        status = traxr_WalkNext(walk, &idcode, &change);
        if (status != TRAXR_OK) break;
        got.emplace_back(change.time, idcode, Flatten(change).bits);
    }
    traxr_CloseWalk(walk);
    EXPECT_EQ(status, TRAXR_END) << traxr_LastMessage(f.reader);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

}  // namespace
}  // namespace tavri::reader_test
