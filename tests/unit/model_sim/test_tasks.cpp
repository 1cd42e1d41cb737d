#include "test_tasks.h"

#include <stdexcept>

namespace tavri::test {
namespace {

TestTasks *g_tasks = nullptr;

}  // namespace

std::vector<s_vc_record> VcRecorder::records;

int VcRecorder::Consume(p_vc_record record) {
    records.push_back(*record);
    return 0;
}

TestTasks::TestTasks() {
    if (g_tasks != nullptr) {
        throw std::logic_error("one TestTasks at a time");
    }
    g_tasks = this;
    VcRecorder::records.clear();
}

TestTasks::~TestTasks() { g_tasks = nullptr; }

p_tfcell TestTasks::Add(const std::string &name, Hooks hooks, bool with_misc) {
    names_.push_back(name);
    s_tfcell row{};
    row.type = usertask;
    row.data = static_cast<short>(hooks_.size());
    row.checktf = &Check;
    row.calltf = &Call;
    row.misctf = with_misc ? &Misc : nullptr;
    row.tfname = names_.back().data();
    hooks_.push_back(std::move(hooks));
    rows_.push_back(row);
    sim::g_sim.mti_RegisterUserTF(&rows_.back());
    return &rows_.back();
}

p_tfcell TestTasks::Add(const std::string &name) { return Add(name, Hooks()); }

std::vector<int> TestTasks::ReasonsFor(char *instance) const {
    std::vector<int> reasons;
    for (const MiscCall &call : misc_calls_) {
        if (call.instance == instance) {
            reasons.push_back(call.reason);
        }
    }
    return reasons;
}

int TestTasks::Check(int data, int /*reason*/) {
    const auto &hook = g_tasks->hooks_.at(static_cast<std::size_t>(data)).check;
    return hook ? hook() : 0;
}

int TestTasks::Call(int data, int /*reason*/) {
    const auto &hook = g_tasks->hooks_.at(static_cast<std::size_t>(data)).call;
    return hook ? hook() : 0;
}

int TestTasks::Misc(int data, int reason) {
    int high = 0;
    const int low = sim::g_sim.tf_getlongsimtime(&high);
    const std::uint64_t time =
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | static_cast<std::uint32_t>(low);
    g_tasks->misc_calls_.push_back(MiscCall{reason, sim::g_sim.tf_getinstance(), time});
    const auto &hook = g_tasks->hooks_.at(static_cast<std::size_t>(data)).misc;
    if (hook) {
        hook(reason);
    }
    return 0;
}

}  // namespace tavri::test
