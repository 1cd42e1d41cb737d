// trax on files written under a dump limit, made with the reader tests'
// file builder: info shows the limit fields and what the ring still holds;
// dump and vcd start at the file's first time with every variable's value
// there and show no repeated value after it; check passes a whole ring and
// reports a damaged one.
#include <algorithm>
#include <cstring>
#include <map>

#include "tool_test_util.h"
#include "unit/reader/ring_stream.h"

namespace tavri::tool_test {
namespace {

using reader_test::RingStream;

class TraxRing : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        RingStream stream(900);
        stream.Run(10, 2, 3);
        ASSERT_TRUE(stream.ring.wrapped());
        first_valid_ = stream.ring.first_valid_block();
        first_time_ = stream.ring.minimum_time();
        ring_ = PathFor("ring.trax");
        bytes_ = stream.ring.Finished();
        redundant_list_ = stream.ring.redundant_list_offset;
        WriteBytes(ring_, bytes_);
    }

    std::string ring_;
    std::vector<uint8_t> bytes_;
    uint64_t redundant_list_ = 0;
    uint32_t first_valid_ = 0;
    uint64_t first_time_ = 0;
};

TEST_F(TraxRing, InfoShowsTheLimitFieldsAndWhatTheRingHolds) {
    const Outcome run = Trax({"info", ring_});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = run.OutLines();
    const std::string first = std::to_string(first_time_);
    for (const std::string &line :
         {std::string("dump limit: 10"),
          "first valid vc chain block: " + std::to_string(first_valid_),
          "minimum xtag: " + first + " (0 " + first + ")",
          "first time: " + first + " (the dump limit dropped what came before)",
          std::string("ring sessions: 3")}) {
        EXPECT_TRUE(Contains(lines, line)) << "missing: " << line << "\n" << run.out;
    }
    bool retained = false, ranges = false, uoff = false;
    for (const std::string &line : lines) {
        unsigned a = 0, b = 0, n = 0;
        if (std::sscanf(line.c_str(), "retained sessions: %u..%u of %u", &a, &b, &n) == 3) {
            retained = a > 0 && b + 1 == n;
        }
        if (std::sscanf(line.c_str(), "ring session 2 redundant vc chain blocks: %u..%u", &a,
                        &b) == 2) {
            ranges = a >= first_valid_ && b >= a;
        }
        uoff = uoff || (std::sscanf(line.c_str(), "redundant list uoff: (0 %u)", &a) == 1 &&
                        a == redundant_list_);
    }
    EXPECT_TRUE(retained && ranges && uoff) << run.out;
}

TEST_F(TraxRing, DumpAndVcdStartAtTheFirstTimeWithEveryValue) {
    const Outcome dump = Trax({"dump", ring_});
    ASSERT_EQ(dump.status, 0) << dump.err;
    std::map<std::string, std::string> last;
    std::map<std::string, uint64_t> first_seen;
    for (const std::string &line : dump.OutLines()) {
        unsigned long long time = 0;
        char path[64] = {}, value[64] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "%llu %63s %63s", &time, path, value), 3) << line;
        EXPECT_GE(time, first_time_) << line;
        // Every change of the stream changes the value: a repeat would be a
        // redundant value shown as a change.
        EXPECT_NE(last[path], value) << line;
        last[path] = value;
        first_seen.emplace(path, time);
    }
    EXPECT_EQ(first_seen, (std::map<std::string, uint64_t>{{"top/a", first_time_},
                                                           {"top/b[7:0]", first_time_},
                                                           {"top/c", first_time_}}));
    EXPECT_EQ(last["top/c"], "x");

    const std::string vcd = PathFor("ring.vcd");
    const Outcome run = Trax({"vcd", ring_, "-o", vcd});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(ReadFile(vcd));
    size_t at = 0;
    while (at < lines.size() && lines[at].rfind('#', 0) != 0) ++at;
    ASSERT_LT(at + 3, lines.size());
    EXPECT_EQ(lines[at], "#" + std::to_string(first_time_));
    // a, b and c (identifiers " and # and $), each with one value.
    std::string ids;
    for (size_t i = at + 1; i < lines.size() && lines[i][0] != '#'; ++i) ids += lines[i].back();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, "\"#$");
}

TEST_F(TraxRing, CheckPassesTheRingAndReportsWhereADamagedOneIsDamaged) {
    const Outcome good = Trax({"check", ring_});
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_EQ(good.OutLines(), (std::vector<std::string>{ring_ + ": ok"}));

    struct Patch {
        size_t at;
        uint32_t value;
        const char *expected;
    };
    uint32_t count;
    std::memcpy(&count, bytes_.data() + 460, sizeof count);
    for (const Patch &patch :
         {Patch{static_cast<size_t>(redundant_list_) + 5, 1,
                "lie outside the retained vc chain"},
          Patch{424, count + 1, "the first valid vc chain block"}}) {
        std::vector<uint8_t> bytes = bytes_;
        std::memcpy(bytes.data() + patch.at, &patch.value, sizeof patch.value);
        const std::string damaged = PathFor("damaged_ring.trax");
        WriteBytes(damaged, bytes);
        const Outcome run = Trax({"check", damaged});
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.out.find(patch.expected), std::string::npos) << run.out;
    }
}

}  // namespace
}  // namespace tavri::tool_test
