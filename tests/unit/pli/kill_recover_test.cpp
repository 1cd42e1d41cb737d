// A simulation killed with SIGKILL at random moments of a long run: trax
// recover makes of each file one that trax check passes and that holds, value
// for value, every session of an uninterrupted run that was flushed before
// the kill. The moments come from a seed printed in the output; setting
// TAVRI_KILL_SEED to it repeats them.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "long_run.h"

namespace tavri::test {
namespace {

constexpr int kKills = 24;
constexpr RunShape kShape{500, 8};

class KillRecover : public LongRunTest {};

TEST_F(KillRecover, EveryFlushedSessionSurvivesASigkill) {
    const char *given = std::getenv("TAVRI_KILL_SEED");
    const unsigned seed = given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                                           : std::random_device{}();
    std::cout << "kill seed: " << seed << " (TAVRI_KILL_SEED=" << seed << " repeats these kills)\n";
    RecordProperty("kill_seed", std::to_string(seed));

    // The uninterrupted run, and how long it takes.
    const auto start = std::chrono::steady_clock::now();
    Child whole = Start(Path("whole.trax"), kShape);
    const std::vector<uint64_t> all_flushes = Reports(whole);
    ASSERT_TRUE(Finished(whole));
    const auto run_time = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_EQ(all_flushes.size(), static_cast<size_t>(kShape.steps / kShape.flush_every));
    std::cout << "an uninterrupted run takes " << run_time.count() << " us\n";
    Reading whole_file(Path("whole.trax"));
    ASSERT_EQ(whole_file.status, TRAXR_OK) << whole_file.message;
    std::vector<std::vector<Seen>> reference;
    for (const std::string &signal : Signals()) reference.push_back(ChangesOf(whole_file, signal));

    // Each kill comes a random time after a random number of the child's
    // flushes, so the moments spread over the whole run however fast or
    // slowly the machine runs it: anywhere from before the first flush to
    // inside the last ones, often in the middle of a flush.
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> flushes_before(0, static_cast<int>(all_flushes.size()) - 1);
    const long flush_interval = run_time.count() / static_cast<long>(all_flushes.size());
    std::uniform_int_distribution<long> moment(0, 2 * flush_interval);
    int recovered_runs = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const int after = flushes_before(random);
        const long delay = moment(random);
        SCOPED_TRACE("kill " + std::to_string(kill) + " " + std::to_string(delay) + " us after flush " +
                     std::to_string(after));
        const std::string name = Path("killed" + std::to_string(kill) + ".trax");
        Child child = Start(name, kShape);
        std::vector<uint64_t> flushed;
        uint64_t time = 0;
        while (static_cast<int>(flushed.size()) < after &&
               ::read(child.reports, &time, sizeof time) == static_cast<ssize_t>(sizeof time)) {
            flushed.push_back(time);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        ::kill(child.pid, SIGKILL);
        const bool ran_to_end = Finished(child);
        for (const uint64_t later : Reports(child)) flushed.push_back(later);

        std::string output;
        std::string file = name;
        traxrHeader header{};
        char message[256];
        // Killed after it closed the file: nothing to recover.
        const bool closed = ran_to_end || (traxr_ReadHeader(name.c_str(), &header, message, sizeof message) ==
                                               TRAXR_OK &&
                                           header.file_status == 0);
        if (!closed) {
            const int status = RunTrax({"recover", name}, &output);
            if (flushed.empty() && status != 0) {
                // Killed before its first flush: nothing to keep, but a
                // clear refusal rather than a crash.
                EXPECT_EQ(status, 2) << output;
                EXPECT_EQ(output.rfind("trax: ", 0), 0u) << output;
                continue;
            }
            ASSERT_EQ(status, 0) << output;
            file = Path("killed" + std::to_string(kill) + ".recovered.trax");
            ++recovered_runs;
        }
        const int check = RunTrax({"check", file}, &output);
        EXPECT_EQ(check, 0) << output;
        EXPECT_EQ(output, file + ": ok\n");

        Reading got(file);
        ASSERT_EQ(got.status, TRAXR_OK) << got.message;
        if (got.Header().tree_count == 0) {
            // Killed before the design's tree was committed: an empty but
            // finished file is all there is to keep.
            EXPECT_TRUE(flushed.empty()) << "the tree was flushed before the kill but is lost";
            EXPECT_EQ(got.Header().session_count, 0u);
            continue;
        }
        const uint32_t sessions = got.Header().session_count;
        const uint64_t last_flush = flushed.empty() ? 0 : flushed.back();
        for (size_t s = 0; s < reference.size(); ++s) {
            SCOPED_TRACE(Signals()[s]);
            const std::vector<Seen> changes = ChangesOf(got, Signals()[s]);
            std::vector<Seen> expected;
            for (const Seen &seen : reference[s]) {
                if (seen.session < sessions) expected.push_back(seen);
            }
            EXPECT_EQ(changes, expected);
            for (const Seen &seen : reference[s]) {
                if (!flushed.empty() && seen.time <= last_flush) {
                    EXPECT_LT(seen.session, sessions) << "a change at " << seen.time
                                                      << " was flushed before the kill but is lost";
                }
            }
        }
    }
    std::cout << recovered_runs << " of " << kKills << " killed runs recovered\n";
    EXPECT_GT(recovered_runs, kKills / 2) << "most kills must land after a flush";
}

}  // namespace
}  // namespace tavri::test
