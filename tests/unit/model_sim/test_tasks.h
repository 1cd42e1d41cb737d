// Helpers for the model simulator's tests: task rows whose routines run
// per-test lambdas, and a value-change consumer that keeps its records.
#ifndef TAVRI_TESTS_UNIT_MODEL_SIM_TEST_TASKS_H
#define TAVRI_TESTS_UNIT_MODEL_SIM_TEST_TASKS_H

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_routines.h"
#include "support/model_sim.h"

namespace tavri::test {

// Task rows registered through the routine table. A row's data word indexes
// its hooks; every reason a misctf gets is also logged with the instance.
class TestTasks {
public:
    struct Hooks {
        std::function<int()> check = nullptr;
        std::function<int()> call = nullptr;
        std::function<void(int reason)> misc = nullptr;
    };
    struct MiscCall {
        int reason;
        char *instance;
        std::uint64_t time;
    };

    TestTasks();
    ~TestTasks();
    TestTasks(const TestTasks &) = delete;
    TestTasks &operator=(const TestTasks &) = delete;

    // Registers "$name" with mti_RegisterUserTF; `with_misc` false leaves the
    // row without a misctf.
    p_tfcell Add(const std::string &name, Hooks hooks, bool with_misc = true);
    p_tfcell Add(const std::string &name);

    const std::vector<MiscCall> &misc_calls() const { return misc_calls_; }
    // Reasons of the misctf calls made for `instance`, in order.
    std::vector<int> ReasonsFor(char *instance) const;
    void ClearMisc() { misc_calls_.clear(); }

private:
    static int Check(int data, int reason);
    static int Call(int data, int reason);
    static int Misc(int data, int reason);

    std::deque<s_tfcell> rows_;
    std::deque<std::string> names_;
    std::vector<Hooks> hooks_;
    std::vector<MiscCall> misc_calls_;
};

// A value-change consumer that copies every record it gets.
struct VcRecorder {
    static int Consume(p_vc_record record);
    static std::vector<s_vc_record> records;
};

}  // namespace tavri::test

#endif
