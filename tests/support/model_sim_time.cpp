// Simulation time and scheduling: delayed reactivations, synchronisation
// requests, the end of a time step, and the simulation events delivered to
// every instance's misctf.
#include <stdexcept>

#include "support/model_sim_internal.h"

namespace tavri::test {
namespace {

// A run of steps this long means a reactivation that reschedules itself forever.
constexpr int kMaxSteps = 1000000;

std::uint64_t LongDelay(int low, int high) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | static_cast<std::uint32_t>(low);
}

}  // namespace

int ModelSim::tf_getlongsimtime(int *high) {
    if (high != nullptr) {
        *high = static_cast<int>(now_ >> 32);
    }
    return static_cast<int>(now_ & 0xffffffffU);
}

// Schedules misctf(reason_reactivate) for `call` after `delay_units` time
// units of its module, scaled to simulation ticks.
bool ModelSim::ScheduleDelay(TaskCall *call, std::uint64_t delay_units) {
    const Scope *module = call->scope->Module();
    const int unit = (module != nullptr && module->time_unit) ? *module->time_unit : resolution_limit_;
    std::uint64_t ticks = delay_units;
    for (int exponent = resolution_limit_; exponent < unit; ++exponent) {
        ticks *= 10;
    }
    reactivations_.emplace(std::make_pair(now_ + ticks, reactivation_sequence_++), call);
    return true;
}

int ModelSim::tf_setdelay(int delay) {
    if (current_ == nullptr || delay < 0) {
        Diagnose("tf_setdelay: no task instance or a negative delay");
        return 0;
    }
    return ScheduleDelay(current_, static_cast<std::uint64_t>(delay)) ? 1 : 0;
}

int ModelSim::tf_setlongdelay(int low, int high) {
    if (current_ == nullptr) {
        Diagnose("tf_setlongdelay: called outside a task instance");
        return 0;
    }
    return ScheduleDelay(current_, LongDelay(low, high)) ? 1 : 0;
}

int ModelSim::tf_isetlongdelay(int low, int high, char *instance) {
    TaskCall *call = CallOf(instance, "tf_isetlongdelay");
    return (call != nullptr && ScheduleDelay(call, LongDelay(low, high))) ? 1 : 0;
}

void ModelSim::RequestOnce(std::vector<TaskCall *> *list, TaskCall *call) {
    for (const TaskCall *requested : *list) {
        if (requested == call) {
            return;
        }
    }
    list->push_back(call);
}

int ModelSim::tf_synchronize() {
    if (current_ == nullptr) {
        Diagnose("tf_synchronize: called outside a task instance");
        return 0;
    }
    return tf_isynchronize(current_->instance());
}

int ModelSim::tf_isynchronize(char *instance) {
    TaskCall *call = CallOf(instance, "tf_isynchronize");
    if (call == nullptr) {
        return 0;
    }
    RequestOnce(in_synch_phase_ ? &synch_next_step_ : &synch_requests_, call);
    return 1;
}

int ModelSim::tf_rosynchronize() {
    if (current_ == nullptr) {
        Diagnose("tf_rosynchronize: called outside a task instance");
        return 0;
    }
    return tf_irosynchronize(current_->instance());
}

int ModelSim::tf_irosynchronize(char *instance) {
    TaskCall *call = CallOf(instance, "tf_irosynchronize");
    if (call == nullptr) {
        return 0;
    }
    // The rosynch phase takes its list before calling anyone, so a request
    // made from a rosynch callback lands in the next step's list.
    RequestOnce(&rosynch_requests_, call);
    return 1;
}

void ModelSim::RunReactivationsDue() {
    while (!reactivations_.empty() && reactivations_.begin()->first.first <= now_) {
        TaskCall *call = reactivations_.begin()->second;
        reactivations_.erase(reactivations_.begin());
        RunRoutine(call, call->row->misctf, reason_reactivate);
    }
}

void ModelSim::EndStep() {
    for (;;) {
        RunReactivationsDue();
        if (synch_requests_.empty()) {
            break;
        }
        const std::vector<TaskCall *> batch = std::move(synch_requests_);
        synch_requests_.clear();
        in_synch_phase_ = true;
        for (TaskCall *call : batch) {
            RunRoutine(call, call->row->misctf, reason_synch);
        }
        in_synch_phase_ = false;
    }
    const std::vector<TaskCall *> read_only = std::move(rosynch_requests_);
    rosynch_requests_.clear();
    for (TaskCall *call : read_only) {
        RunRoutine(call, call->row->misctf, reason_rosynch);
    }
    synch_requests_ = std::move(synch_next_step_);
    synch_next_step_.clear();
}

void ModelSim::AdvanceTo(std::uint64_t time) {
    if (time < now_) {
        throw std::logic_error("time cannot go back");
    }
    EndStep();
    int steps = 0;
    while (!reactivations_.empty() && reactivations_.begin()->first.first < time) {
        if (++steps > kMaxSteps) {
            throw std::logic_error("reactivations never stop");
        }
        now_ = reactivations_.begin()->first.first;
        EndStep();
    }
    now_ = time;
    RunReactivationsDue();
}

void ModelSim::RunPending() {
    EndStep();
    int steps = 0;
    while (!reactivations_.empty()) {
        if (++steps > kMaxSteps) {
            throw std::logic_error("reactivations never stop");
        }
        now_ = reactivations_.begin()->first.first;
        EndStep();
    }
}

void ModelSim::DeliverMisc(int reason) {
    // A misctf may place further calls; they wait for the next event.
    const std::vector<TaskCall *> calls = call_order_;
    for (TaskCall *call : calls) {
        RunRoutine(call, call->row->misctf, reason);
    }
}

void ModelSim::Reset() {
    DeliverMisc(reason_reset);
    now_ = 0;
    reactivations_.clear();
    synch_requests_.clear();
    synch_next_step_.clear();
    rosynch_requests_.clear();
}

}  // namespace tavri::test
