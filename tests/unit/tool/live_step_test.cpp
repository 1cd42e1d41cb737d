// A live file flushed in the middle of a time step: the last session's end
// time may hold only some of that step's changes, so until the file is
// finished no read path shows that time, and every one agrees on it.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "tavri/trax_reader.h"
#include "tool_test_util.h"

namespace tavri::tool_test {
namespace {

constexpr int kSignals = 3;

// top/s1 .. top/s3; at time 5 all are 0; at time 10 all become 1, but a
// flush comes after s1 (the step is cut in two sessions): `between` runs
// there. Nothing is closed.
txwObject *WriteCutStep(const std::string &path, const std::function<void()> &between = {}) {
    txwObject *obj = OpenScalars(path, kSignals);
    const uint8_t zero = 0, one = 1;
    txw_CreateXCoor(obj, 0, 5);
    for (int id = 1; id <= kSignals; ++id) txw_CreateVarValueByIdcode(obj, id, &zero, 1);
    txw_CreateXCoor(obj, 0, 10);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    EXPECT_EQ(txw_Flush(obj), 0);
    if (between) between();
    for (int id = 2; id <= kSignals; ++id) txw_CreateVarValueByIdcode(obj, id, &one, 1);
    EXPECT_EQ(txw_Flush(obj), 0);
    return obj;
}

std::vector<std::string> AllAt(uint64_t time, const std::string &value) {
    std::vector<std::string> lines;
    for (int id = 1; id <= kSignals; ++id) {
        lines.push_back(std::to_string(time) + " top/s" + std::to_string(id) + " " + value);
    }
    return lines;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The times of every change that each read path of the library hands out.
using Times = std::vector<uint64_t>;
std::vector<std::pair<std::string, Times>> TimesByPath(const std::string &path) {
    traxrReader *reader = nullptr;
    EXPECT_EQ(traxr_Open(path.c_str(), &reader, nullptr, 0), TRAXR_OK);
    if (reader == nullptr) return {};
    Times one_by_one, all_at_once, walked;
    auto append = [](const traxrChangeList *list, Times *times) {
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change{};
            traxr_GetChange(list, i, &change);
            times->push_back(change.time);
        }
    };
    traxrChangeSet *set = nullptr;
    EXPECT_EQ(traxr_ReadAllChanges(reader, &set), TRAXR_OK);
    for (uint32_t idcode = 1; idcode <= kSignals; ++idcode) {
        traxrChangeList *list = nullptr;
        EXPECT_EQ(traxr_ReadChanges(reader, idcode, &list), TRAXR_OK);
        append(list, &one_by_one);
        traxr_FreeChangeList(list);
        append(traxr_ChangeSetList(set, idcode), &all_at_once);
    }
    traxr_FreeChangeSet(set);
    traxrWalk *walk = nullptr;
    EXPECT_EQ(traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk), TRAXR_OK);
    uint32_t idcode;
    traxrChange change{};
    while (walk != nullptr && traxr_WalkNext(walk, &idcode, &change) == TRAXR_OK) {
        walked.push_back(change.time);
    }
    traxr_CloseWalk(walk);
    traxr_Close(reader);
    for (Times *t : {&one_by_one, &all_at_once, &walked}) std::sort(t->begin(), t->end());
    return {{"traxr_ReadChanges", one_by_one},
            {"traxr_ReadAllChanges", all_at_once},
            {"traxr_OpenWalk", walked}};
}

class LiveStep : public ToolTest {};

TEST_F(LiveStep, TheLastStepOfALiveFileIsHiddenUntilItIsFinished) {
    const std::string path = PathFor("cut.trax");
    // Between the two halves of step 10, s1 is at 10 and the others are not:
    // a state the design never had. No signal shows time 10.
    txwObject *obj = WriteCutStep(path, [&] {
        const Outcome half = Trax({"dump", path});
        EXPECT_EQ(half.OutLines(), AllAt(5, "0"));
        for (const auto &[name, times] : TimesByPath(path)) {
            EXPECT_EQ(times, Times(kSignals, 5)) << name;
        }
    });

    // Both halves flushed: time 10 is still the last session's end.
    Outcome run = Trax({"dump", path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), AllAt(5, "0"));
    run = Trax({"vcd", path, "-o", "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.OutLines(), "#5")) << run.out;
    EXPECT_FALSE(Contains(run.OutLines(), "#10")) << run.out;
    run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(),
                         "end time: 9 (changes at 10 and later are hidden: the last time step of "
                         "a live file may be incomplete)"))
        << run.out;
    for (const auto &[name, times] : TimesByPath(path)) {
        EXPECT_EQ(times, Times(kSignals, 5)) << name;
    }

    // A later step makes time 10 whole; the new last step is hidden instead.
    const uint8_t zero = 0;
    txw_CreateXCoor(obj, 0, 20);
    txw_CreateVarValueByIdcode(obj, 2, &zero, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    run = Trax({"dump", path, "--from", "6"});
    EXPECT_EQ(run.OutLines(), AllAt(10, "1"));

    // Finished: everything is shown.
    ASSERT_EQ(txw_CloseFile(obj), 0);
    run = Trax({"dump", path});
    EXPECT_EQ(run.OutLines(), Join(Join(AllAt(5, "0"), AllAt(10, "1")), {"20 top/s2 0"}));
    run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(), "end time: 20")) << run.out;
    for (const auto &[name, times] : TimesByPath(path)) {
        EXPECT_EQ(times, (Times{5, 5, 5, 10, 10, 10, 20})) << name;
    }
}

// A writer that died leaves the file live for good: the same rule holds, so
// what it shows agrees with what a reader saw while it ran.
TEST_F(LiveStep, AFileWhoseWriterDiedHidesItsLastStep) {
    const std::string path = PathFor("dead.trax");
    const pid_t child = fork();
    if (child == 0) {
        WriteCutStep(path);
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Outcome run = Trax({"dump", path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.OutLines(), AllAt(5, "0"));
    run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(), "file status: 2 (batch)")) << run.out;
    EXPECT_TRUE(Contains(run.OutLines(),
                         "end time: 9 (changes at 10 and later are hidden: the last time step of "
                         "a live file may be incomplete)"))
        << run.out;
}

// Nothing flushed yet, or only one step: no time is whole yet.
TEST_F(LiveStep, ALiveFileWithoutAWholeStepShowsNothing) {
    const std::string path = PathFor("first.trax");
    txwObject *obj = OpenScalars(path, 1);
    Outcome run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(), "end time: none (no session flushed yet)")) << run.out;
    const uint8_t one = 1;
    txw_CreateXCoor(obj, 0, 0);
    txw_CreateVarValueByIdcode(obj, 1, &one, 1);
    ASSERT_EQ(txw_Flush(obj), 0);
    run = Trax({"dump", path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    run = Trax({"info", path});
    EXPECT_TRUE(Contains(run.OutLines(),
                         "end time: none (changes at 0 and later are hidden: the last time step "
                         "of a live file may be incomplete)"))
        << run.out;
    ASSERT_EQ(txw_CloseFile(obj), 0);
    EXPECT_EQ(Trax({"dump", path}).OutLines(), (std::vector<std::string>{"0 top/s1 1"}));
}

}  // namespace
}  // namespace tavri::tool_test
