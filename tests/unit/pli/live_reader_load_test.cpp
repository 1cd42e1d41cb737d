// A reader that polls a file while a long run flushes it after every step:
// each poll opens the live file under the reader lock and reads every
// signal. No poll may fail or see part of a session, the sessions and the
// visible end never go back, and every value seen is the final file's.
#include <chrono>
#include <thread>

#include "long_run.h"

namespace tavri::test {
namespace {

constexpr RunShape kShape{400, 1};
constexpr int kMaxPolls = 400;
constexpr auto kMaxPolling = std::chrono::seconds(20);
constexpr auto kPollPause = std::chrono::milliseconds(10);

class LiveReaderLoad : public LongRunTest {};

struct Poll {
    uint32_t sessions = 0;
    uint64_t hidden_from = 0;
    std::vector<std::vector<Seen>> changes;
};

TEST_F(LiveReaderLoad, EveryReadOfAGrowingFileIsConsistent) {
    const std::string name = Path("growing.trax");
    Child child = Start(name, kShape);
    std::vector<Poll> polls;
    const auto deadline = std::chrono::steady_clock::now() + kMaxPolling;
    bool writer_done = false;
    while (polls.size() < static_cast<size_t>(kMaxPolls) && std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(child.pid, nullptr, WNOHANG) == child.pid) {
            writer_done = true;
            break;
        }
        Reading file(name);
        if (file.status == TRAXR_ERR_IO || file.status == TRAXR_ERR_NOT_TRAX ||
            file.status == TRAXR_ERR_TRUNCATED) {
            // Not created yet, or its header not yet written.
            ASSERT_TRUE(polls.empty()) << "a read after the first one failed: " << file.message;
            continue;
        }
        ASSERT_EQ(file.status, TRAXR_OK) << "poll " << polls.size() << ": " << file.message;
        if (file.Header().file_status == 0) break;  // finished meanwhile
        if (file.Header().tree_count == 0) continue;  // the design not yet written
        Poll poll;
        poll.sessions = traxr_SessionCount(file.reader);
        ASSERT_EQ(traxr_HiddenFrom(file.reader, &poll.hidden_from), 1);
        for (const std::string &signal : Signals()) poll.changes.push_back(ChangesOf(file, signal));
        if (!polls.empty()) {
            const Poll &before = polls.back();
            EXPECT_GE(poll.sessions, before.sessions) << "poll " << polls.size();
            EXPECT_GE(poll.hidden_from, before.hidden_from) << "poll " << polls.size();
        }
        for (const std::vector<Seen> &changes : poll.changes) {
            for (size_t i = 1; i < changes.size(); ++i) {
                ASSERT_GE(changes[i].time, changes[i - 1].time) << "poll " << polls.size();
            }
        }
        polls.push_back(std::move(poll));
        std::this_thread::sleep_for(kPollPause);  // a viewer's pace, not a busy loop
    }
    if (!writer_done) ::waitpid(child.pid, nullptr, 0);
    const std::vector<uint64_t> flushes = Reports(child);
    ASSERT_EQ(flushes.size(), static_cast<size_t>(kShape.steps)) << "the run did not finish";
    ASSERT_GE(polls.size(), 20u) << "too few reads overlapped the run to show anything";
    EXPECT_GE(polls.back().sessions, static_cast<uint32_t>(kShape.steps / 2)) << "the reads kept the writer back";

    // Each poll saw exactly the final file's changes before its hidden
    // step: whole sessions, nothing half-written.
    Reading final_file(name);
    ASSERT_EQ(final_file.status, TRAXR_OK) << final_file.message;
    ASSERT_EQ(final_file.Header().file_status, 0);
    for (size_t s = 0; s < Signals().size(); ++s) {
        SCOPED_TRACE(Signals()[s]);
        const std::vector<Seen> all = ChangesOf(final_file, Signals()[s]);
        for (size_t p = 0; p < polls.size(); ++p) {
            std::vector<Seen> expected;
            for (const Seen &seen : all) {
                if (seen.time < polls[p].hidden_from) expected.push_back(seen);
            }
            ASSERT_EQ(polls[p].changes[s], expected) << "poll " << p << " of " << polls.size();
        }
    }
    std::cout << polls.size() << " reads of the live file, "
              << (polls.empty() ? 0 : polls.back().sessions) << " sessions at the last one\n";
}

}  // namespace
}  // namespace tavri::test
