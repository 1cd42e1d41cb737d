// Files written under a dump limit: only the retained sessions are read,
// chains end at dropped sessions, the redundant value changes give the
// values at the file's first time and are shown nowhere else, finished and
// live (".rlist"); a live reader notices when the writer drops what it has
// not read yet; damaged rings are reported. And switched files, which start
// late: nothing assumes time 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "reader_test_util.h"
#include "ring_compare.h"
#include "ring_stream.h"

namespace tavri::reader_test {
namespace {

// Enough for about three ring sessions of the stream's sizes.
constexpr uint64_t kSmallRing = 900;

struct Keyed {
    uint32_t idcode;
    ShownChange change;
    bool operator==(const Keyed &o) const {
        return idcode == o.idcode && change.time == o.change.time &&
               change.value == o.change.value && change.redundant == o.change.redundant;
    }
};

// The changes of every idcode, read three ways: one idcode at a time, all
// at once and walking in time order; "" when the three agree.
std::string ReadsAgree(traxrReader *reader) {
    std::vector<Keyed> single, all, walked;
    std::string failed;
    const uint32_t idcodes = traxr_ChainTableSize(reader);
    for (uint32_t idcode = 0; idcode < idcodes; ++idcode) {
        for (const ShownChange &c : ShownChanges(reader, idcode, &failed)) single.push_back({idcode, c});
    }
    traxrChangeSet *set = nullptr;
    if (traxr_ReadAllChanges(reader, &set) != TRAXR_OK) return traxr_LastMessage(reader);
    for (uint32_t idcode = 0; idcode < idcodes; ++idcode) {
        const traxrChangeList *list = traxr_ChangeSetList(set, idcode);
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change;
            traxr_GetChange(list, i, &change);
            all.push_back({idcode, Shown(change)});
        }
    }
    traxr_FreeChangeSet(set);
    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk) != TRAXR_OK) {
        return traxr_LastMessage(reader);
    }
    uint32_t idcode;
    traxrChange change;
    traxrStatus status;
    while ((status = traxr_WalkNext(walk, &idcode, &change)) == TRAXR_OK) {
        walked.push_back({idcode, Shown(change)});
    }
    traxr_CloseWalk(walk);
    if (status != TRAXR_END) return traxr_LastMessage(reader);
    if (!failed.empty()) return failed;
    std::stable_sort(walked.begin(), walked.end(),
                     [](const Keyed &a, const Keyed &b) { return a.idcode < b.idcode; });
    if (single != all) return "one idcode at a time and all at once differ";
    if (single != walked) return "one idcode at a time and the walk differ";
    return "";
}

std::vector<std::string> CheckFailures(traxrReader *reader) {
    std::vector<std::string> lines;
    traxr_Check(
        reader,
        [](void *user, const char *line) {
            static_cast<std::vector<std::string> *>(user)->push_back(line);
        },
        &lines);
    return lines;
}

std::string Joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    return text;
}

// Writes the stream's ring (finished or live) and its unlimited file;
// returns their paths.
std::pair<std::string, std::string> WriteBoth(const RingStream &stream, const std::string &name,
                                              bool live = false) {
    const std::string ring = PathFor(name + ".trax"), plain = PathFor(name + "_plain.trax");
    if (live) {
        stream.ring.WriteLive(ring);
    } else {
        stream.ring.WriteFinished(ring);
    }
    stream.plain.WriteFinished(plain);
    return {ring, plain};
}

TEST(readerRing, UnwrappedRingShowsEveryChangeOnceAndLeavesRepeatsOut) {
    RingStream stream(0);
    stream.Run(4, 2, 3);
    ASSERT_FALSE(stream.ring.wrapped());
    ASSERT_EQ(stream.ring.first_valid_block(), 0u);
    const auto [ring, plain] = WriteBoth(stream, "ring_whole");
    Opened r(ring), p(plain);
    ASSERT_EQ(r.status, TRAXR_OK) << r.message;
    ASSERT_EQ(p.status, TRAXR_OK) << p.message;
    EXPECT_EQ(traxr_GetHeader(r.reader)->dump_limit, 10u);
    EXPECT_EQ(traxr_FirstRetainedSession(r.reader), 0u);
    EXPECT_EQ(traxr_RedundantRangeCount(r.reader), 4u);
    // The redundant entries are there, and repeat values already shown.
    uint32_t redundant_entries = 0;
    traxrChainEntry *entries = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(traxr_ReadChainEntries(r.reader, 2, &entries, &count), TRAXR_OK);
    for (uint32_t i = 0; i < count; ++i) redundant_entries += entries[i].redundant;
    traxr_FreeChainEntries(entries);
    EXPECT_EQ(redundant_entries, 3u);
    EXPECT_EQ(CompareRingWithUnlimited(r.reader, p.reader), "");
    EXPECT_EQ(ReadsAgree(r.reader), "");
    EXPECT_EQ(Joined(CheckFailures(r.reader)), "");
}

TEST(readerRing, WrappedRingShowsTheNewestStretchFromItsFirstTime) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big endian" : "little endian");
        RingStream stream(kSmallRing, big);
        stream.Run(12, 2, 3);
        // Another tree after value changes began: its blocks lie past the ring.
        for (TraxBuilder *b : {&stream.ring, &stream.plain}) {
            b->AddTree({ScopeDef("late").Vars({VarDef("e", 5)})});
        }
        stream.ring.StartRingSession(stream.Time(), stream.Redundant());
        const std::vector<ArrayDef> last = stream.Session(2);
        stream.ring.AddSession(last);
        stream.plain.AddSession(last);
        ASSERT_TRUE(stream.ring.wrapped());
        const auto [ring, plain] = WriteBoth(stream, "ring_wrapped");
        Opened r(ring), p(plain);
        ASSERT_EQ(r.status, TRAXR_OK) << r.message;
        ASSERT_EQ(p.status, TRAXR_OK) << p.message;

        // Several ring sessions were dropped; their records stay listed.
        const uint32_t first = traxr_FirstRetainedSession(r.reader);
        EXPECT_GE(first, 6u);
        EXPECT_EQ(traxr_SessionCount(r.reader), stream.ring.session_count());
        traxrSession session;
        ASSERT_EQ(traxr_GetSession(r.reader, first - 1, &session), TRAXR_OK);
        EXPECT_EQ(session.dropped, 1);
        ASSERT_EQ(traxr_GetSession(r.reader, first, &session), TRAXR_OK);
        EXPECT_EQ(session.dropped, 0);
        EXPECT_EQ(session.first_vc_chain_block, stream.ring.first_valid_block());
        uint64_t first_time = 0;
        ASSERT_EQ(traxr_FirstTime(r.reader, &first_time), 1);
        EXPECT_EQ(first_time, stream.ring.minimum_time());
        EXPECT_GT(first_time, 100u);

        EXPECT_EQ(CompareRingWithUnlimited(r.reader, p.reader), "");
        EXPECT_EQ(ReadsAgree(r.reader), "");
        // c changed only in dropped sessions: its one change is the
        // redundant value at the first time.
        const std::vector<Value> c = ReadValues(r.reader, 3);
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].time, first_time);
        EXPECT_EQ(c[0].bits, "x");
        EXPECT_TRUE(ReadValues(r.reader, 4).empty());
        EXPECT_EQ(Joined(CheckFailures(r.reader)), "");
    }
}

TEST(readerRing, LiveRingIsReadThroughItsRedundantList) {
    RingStream stream(kSmallRing);
    stream.Run(10, 2, 3);
    ASSERT_GT(stream.ring.first_valid_block(), 0u);
    const auto [ring, plain] = WriteBoth(stream, "ring_live", true);
    {
        Opened r(ring), p(plain);
        ASSERT_EQ(r.status, TRAXR_OK) << r.message;
        ASSERT_EQ(p.status, TRAXR_OK) << p.message;
        EXPECT_EQ(traxr_IsLive(r.reader), 1);
        EXPECT_GT(traxr_FirstRetainedSession(r.reader), 0u);
        // The last step may be incomplete and stays hidden.
        uint64_t hidden_from = 0;
        ASSERT_EQ(traxr_HiddenFrom(r.reader, &hidden_from), 1);
        EXPECT_EQ(hidden_from, stream.Time() - 10);
        EXPECT_EQ(CompareRingWithUnlimited(r.reader, p.reader, hidden_from), "");
        EXPECT_EQ(ReadsAgree(r.reader), "");
        EXPECT_EQ(Joined(CheckFailures(r.reader)), "");
    }
    std::remove((ring + ".rlist").c_str());
    EXPECT_EQ(Opened(ring).status, TRAXR_ERR_IO);
}

// The writer goes on while a reader holds the file open: blocks of sessions
// it drops meanwhile may hold newer data, and reading them fails with a
// message saying so; what is still retained reads as before.
TEST(readerRing, LiveReaderNoticesSessionsDroppedSinceItsOpen) {
    for (const uint8_t sync : {1, 0}) {
        SCOPED_TRACE(sync ? "with the lock" : "without the lock");
        RingStream stream(kSmallRing);
        stream.ring.sync_control = sync;
        stream.Run(10, 2, 3);
        const std::string path = PathFor("ring_moving.trax");
        stream.ring.WriteLive(path);
        WriteFile(path + ".lock", {});
        Opened before(path);
        ASSERT_EQ(before.status, TRAXR_OK) << before.message;
        const uint32_t held = stream.ring.first_valid_block();

        // One more session, as long as nothing retained is dropped.
        stream.ring.AddSession(stream.Session(1));
        ASSERT_EQ(stream.ring.first_valid_block(), held);
        stream.ring.WriteLive(path);
        EXPECT_EQ(ReadsAgree(before.reader), "");

        Opened again(path);
        ASSERT_EQ(again.status, TRAXR_OK) << again.message;
        while (stream.ring.first_valid_block() == held) {
            stream.ring.StartRingSession(stream.Time(), stream.Redundant());
            stream.ring.AddSession(stream.Session(3));
        }
        stream.ring.WriteLive(path);
        traxrStatus status;
        ReadValues(again.reader, 2, &status);
        EXPECT_EQ(status, TRAXR_ERR_IO);
        EXPECT_NE(std::string(traxr_LastMessage(again.reader)).find("open the file again"),
                  std::string::npos)
            << traxr_LastMessage(again.reader);
        EXPECT_EQ(Opened(path).status, TRAXR_OK);
        std::remove((path + ".lock").c_str());
    }
}

// Header fields of a little-endian file (the builder's default).
void PutU32(std::vector<uint8_t> *bytes, size_t at, uint32_t value) {
    std::memcpy(bytes->data() + at, &value, sizeof value);
}

uint32_t ChainBlocks(const std::vector<uint8_t> &bytes) {
    uint32_t count;
    std::memcpy(&count, bytes.data() + 460, sizeof count);
    return count;
}

struct Damage {
    const char *what;
    std::function<std::vector<uint8_t>()> make;
    const char *expected;  // part of the open's message or of a check line
};

// What opening and checking the file reports: the open's message when it
// fails, else the check's lines.
std::string Reported(const std::vector<uint8_t> &bytes) {
    const std::string path = PathFor("ring_damaged.trax");
    WriteFile(path, bytes);
    Opened f(path);
    if (f.status != TRAXR_OK) return std::string("open: ") + f.message;
    return Joined(CheckFailures(f.reader));
}

TEST(readerRing, DamagedRingsAreReportedWhereTheyAreDamaged) {
    auto wrapped = [](const std::function<void(RingStream &)> &before_last = nullptr) {
        RingStream stream(kSmallRing);
        stream.Run(10, 2, 3);
        if (before_last) before_last(stream);
        stream.ring.StartRingSession(stream.Time(), stream.Redundant());
        stream.ring.AddSession(stream.Session(2));
        return stream.ring;
    };
    const std::vector<Damage> cases = {
        {"a session written over a retained one",
         [&] {
             return wrapped([](RingStream &s) {
                        s.ring.force_next_block_at = s.ring.vc_layouts.back().offset;
                    })
                 .Finished();
         },
         "overlaps session"},
        {"a block past the wrap limit",
         [&] {
             return wrapped([](RingStream &s) {
                        s.ring.force_next_block_at = (10u << 20) - 0x10000;
                    })
                 .Finished();
         },
         "ends past the wrap limit"},
        {"a redundant value that is not the current one",
         [&] {
             RingStream stream(0);
             stream.Run(2, 1, 2);
             std::vector<ArrayDef> redundant = stream.Redundant();
             redundant[0] = Scalar(1, {{stream.Time(), 3}});
             stream.ring.StartRingSession(stream.Time(), redundant);
             stream.ring.AddSession(stream.Session(2));
             return stream.ring.Finished();
         },
         "is not the value it had before"},
    };
    for (const Damage &c : cases) {
        const std::string reported = Reported(c.make());
        EXPECT_NE(reported.find(c.expected), std::string::npos)
            << c.what << ": expected \"" << c.expected << "\" in:\n"
            << reported;
    }

    // Fields of the header and of the redundant list changed in place.
    const TraxBuilder base = wrapped();
    const std::vector<uint8_t> good = base.Finished();
    EXPECT_EQ(Reported(good), "");
    const size_t second_range = base.redundant_list_offset + 5 + 8;
    const uint32_t count = ChainBlocks(good);
    struct Patch {
        const char *what;
        std::vector<std::pair<size_t, uint32_t>> fields;  // (offset, 4-byte value)
        const char *expected;
    };
    const std::vector<Patch> patches = {
        {"a redundant range past the vc chain",
         {{second_range, count}, {second_range + 4, count + 1}},
         "lie outside the retained vc chain"},
        {"a redundant range in the dropped sessions",
         {{second_range, 1}, {second_range + 4, 1}},
         "lie outside the retained vc chain"},
        {"the first valid vc chain block past the count",
         {{424, count + 1}},
         "open: the first valid vc chain block"},
        {"a minimum xtag before the retained sessions",
         {{316, 5}},
         "lies before the oldest retained session"},
        {"no redundant list in a finished ring",
         {{232, 0}},
         "open: the file was written under a dump limit of 10 MB"},
        {"a redundant list without a dump limit",
         {{420, 0}},
         "open: the header puts a redundant vc chain list"},
    };
    for (const Patch &patch : patches) {
        std::vector<uint8_t> bytes = good;
        for (const auto &[at, value] : patch.fields) PutU32(&bytes, at, value);
        const std::string reported = Reported(bytes);
        EXPECT_NE(reported.find(patch.expected), std::string::npos)
            << patch.what << ": expected \"" << patch.expected << "\" in:\n"
            << reported;
    }
}

// A file that took over from another one: it starts at the old file's last
// time, carries its trees, and a variable may first change in any session.
TEST(readerRing, SwitchedFileStartsAtItsFirstTime) {
    TraxBuilder b;
    b.AddTree({ScopeDef("top").Vars({VarDef("a", 1), VarDef("b", 2)})});
    b.AddTree({ScopeDef("more").Vars({VarDef("c", 3)})});
    b.AddTimeTag(5000);
    b.AddSession({Scalar(1, {{5000, 1}, {5010, 0}})});
    b.AddSession({Scalar(3, {{5020, 2}}), Scalar(1, {{5020, 1}})});
    const std::string path = PathFor("switched.trax");
    b.WriteLive(path);
    {
        Opened f(path);
        ASSERT_EQ(f.status, TRAXR_OK) << f.message;
        uint64_t time = 0;
        ASSERT_EQ(traxr_FirstTime(f.reader, &time), 1);
        EXPECT_EQ(time, 5000u);
        ASSERT_EQ(traxr_VisibleEndTime(f.reader, &time), 1);
        EXPECT_EQ(time, 5019u);
        EXPECT_EQ(ReadsAgree(f.reader), "");
        EXPECT_EQ(Joined(CheckFailures(f.reader)), "");
    }
    b.AddTimeTag(5030);
    b.WriteFinished(path);
    Opened f(path);
    ASSERT_EQ(f.status, TRAXR_OK) << f.message;
    EXPECT_EQ(ReadsAgree(f.reader), "");
    EXPECT_EQ(Joined(CheckFailures(f.reader)), "");
    const std::vector<Value> c = ReadValues(f.reader, 3);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].time, 5020u);
    EXPECT_TRUE(ReadValues(f.reader, 2).empty());
}

}  // namespace
}  // namespace tavri::reader_test
