// Task rows registered as VPI system tasks; each call site is an instance,
// and the simulator's callbacks become the misctf reasons: end of simulation
// (finish), read-only synchronisation (rosynch), read-write synchronisation
// (synch) and delays (reactivate).
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "sim/vpi/vpi_binding.h"

namespace tavri::vpi {
namespace {

struct State {
    std::unordered_map<vpiHandle, std::unique_ptr<TaskInstance>> by_call;
    std::vector<TaskInstance *> with_misc;
    TaskInstance *current = nullptr;
};

State &TheState() {
    static State state;
    return state;
}

PLI_INT32 CompileTf(PLI_BYTE8 *user_data) {
    auto *row = reinterpret_cast<p_tfcell>(user_data);
    TaskInstance *instance = InstanceOf(vpi_handle(vpiSysTfCall, nullptr), row);
    if (row->checktf != nullptr && RunRoutine(instance, row->checktf, reason_checktf) == 0) {
        instance->check_failed = true;
    }
    return 0;
}

PLI_INT32 CallTf(PLI_BYTE8 *user_data) {
    auto *row = reinterpret_cast<p_tfcell>(user_data);
    TaskInstance *instance = InstanceOf(vpi_handle(vpiSysTfCall, nullptr), row);
    // A call whose arguments failed their check does not run, as a
    // simulator that stops at compile errors would not run it.
    if (!instance->check_failed && row->calltf != nullptr) {
        RunRoutine(instance, row->calltf, reason_calltf);
    }
    return 0;
}

struct Scheduled {
    TaskInstance *instance;
    int reason;
};

PLI_INT32 ScheduledCallback(p_cb_data data) {
    std::unique_ptr<Scheduled> scheduled(reinterpret_cast<Scheduled *>(data->user_data));
    TaskInstance *instance = scheduled->instance;
    if (scheduled->reason == reason_rosynch) {
        instance->rosync_requested = false;
    } else if (scheduled->reason == reason_synch) {
        instance->synch_requested = false;
    }
    if (instance->row->misctf != nullptr) {
        if (instance->reads_memory && scheduled->reason == reason_rosynch) {
            RefreshMemoryBuffers();
        }
        RunRoutine(instance, instance->row->misctf, scheduled->reason);
    }
    return 0;
}

bool Schedule(TaskInstance *instance, int callback_reason, uint64_t delay, int misc_reason) {
    if (instance == nullptr) {
        return false;
    }
    s_vpi_time time{};
    time.type = vpiSimTime;
    time.high = static_cast<PLI_UINT32>(delay >> 32);
    time.low = static_cast<PLI_UINT32>(delay);
    s_cb_data data{};
    data.reason = callback_reason;
    data.cb_rtn = ScheduledCallback;
    data.time = &time;
    data.user_data = reinterpret_cast<PLI_BYTE8 *>(new Scheduled{instance, misc_reason});
    vpiHandle registered = vpi_register_cb(&data);
    if (registered == nullptr) {
        delete reinterpret_cast<Scheduled *>(data.user_data);
        return false;
    }
    vpi_free_object(registered);
    return true;
}

// Delays count in the time unit of the calling instance's module.
uint64_t ToSimulationTicks(TaskInstance *instance, uint64_t delay) {
    const int precision = vpi_get(vpiTimePrecision, nullptr);
    int unit = precision;
    if (instance != nullptr) {
        if (vpiHandle scope = vpi_handle(vpiScope, instance->call)) {
            unit = vpi_get(vpiTimeUnit, scope);
        }
    }
    for (int i = precision; i < unit; ++i) {
        delay *= 10;
    }
    return delay;
}

int DelayFor(TaskInstance *instance, int low, int high) {
    const uint64_t units = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | static_cast<uint32_t>(low);
    return Schedule(instance, cbAfterDelay, ToSimulationTicks(instance, units), reason_reactivate) ? 0 : 1;
}

int ReadOnlySynch(TaskInstance *instance) {
    if (instance == nullptr) {
        return 0;
    }
    if (!instance->rosync_requested) {
        instance->rosync_requested = Schedule(instance, cbReadOnlySynch, 0, reason_rosynch);
    }
    return 1;
}

int ReadWriteSynch(TaskInstance *instance) {
    if (instance == nullptr) {
        return 0;
    }
    if (!instance->synch_requested) {
        instance->synch_requested = Schedule(instance, cbReadWriteSynch, 0, reason_synch);
    }
    return 1;
}

PLI_INT32 EndOfSimulation(p_cb_data /*data*/) {
    // Requests still waiting for their step's end are written at the finish.
    RefreshMemoryBuffers();
    for (TaskInstance *instance : TheState().with_misc) {
        RunRoutine(instance, instance->row->misctf, reason_finish);
    }
    return 0;
}

}  // namespace

TaskInstance *Current() { return TheState().current; }

int RunRoutine(TaskInstance *instance, p_tffn routine, int reason) {
    State &state = TheState();
    TaskInstance *outer = state.current;
    state.current = instance;
    const int result = routine(instance->row->data, reason);
    state.current = outer;
    return result;
}

TaskInstance *InstanceOf(vpiHandle call, p_tfcell row) {
    State &state = TheState();
    auto found = state.by_call.find(call);
    if (found != state.by_call.end()) {
        return found->second.get();
    }
    auto instance = std::make_unique<TaskInstance>();
    instance->call = call;
    instance->row = row;
    if (vpiHandle iterator = vpi_iterate(vpiArgument, call)) {
        while (vpiHandle argument = vpi_scan(iterator)) {
            instance->args.push_back(argument);
        }
    }
    instance->strings.resize(instance->args.size());
    instance->values.resize(instance->args.size());
    TaskInstance *raw = instance.get();
    state.by_call.emplace(call, std::move(instance));
    if (row->misctf != nullptr) {
        state.with_misc.push_back(raw);
    }
    return raw;
}

TaskInstance *InstanceFromPointer(char *instance) {
    auto *candidate = reinterpret_cast<TaskInstance *>(instance);
    for (const auto &[call, owned] : TheState().by_call) {
        if (owned.get() == candidate) {
            return candidate;
        }
    }
    return nullptr;
}

const std::vector<TaskInstance *> &Instances() { return TheState().with_misc; }

void RegisterRow(p_tfcell row) {
    s_vpi_systf_data data{};
    data.type = vpiSysTask;
    data.tfname = row->tfname;
    data.calltf = CallTf;
    data.compiletf = CompileTf;
    data.user_data = reinterpret_cast<PLI_BYTE8 *>(row);
    vpi_register_systf(&data);
}

void RegisterSimulationCallbacks() {
    s_cb_data data{};
    data.reason = cbEndOfSimulation;
    data.cb_rtn = EndOfSimulation;
    if (vpiHandle registered = vpi_register_cb(&data)) {
        vpi_free_object(registered);
    }
}

char *TfGetInstance() { return reinterpret_cast<char *>(Current()); }

char *TfMipname() {
    TaskInstance *instance = Current();
    if (instance == nullptr) {
        return nullptr;
    }
    vpiHandle scope = vpi_handle(vpiScope, instance->call);
    return scope != nullptr ? AccString(vpi_get_str(vpiFullName, scope)) : nullptr;
}

int TfGetTimeUnit() {
    TaskInstance *instance = Current();
    if (instance != nullptr) {
        if (vpiHandle scope = vpi_handle(vpiScope, instance->call)) {
            return vpi_get(vpiTimeUnit, scope);
        }
    }
    return vpi_get(vpiTimePrecision, nullptr);
}

int TfGetLongSimTime(int *high) {
    s_vpi_time time{};
    time.type = vpiSimTime;
    vpi_get_time(nullptr, &time);
    if (high != nullptr) {
        *high = static_cast<int>(time.high);
    }
    return static_cast<int>(time.low);
}

int TfSetDelay(int delay) { return DelayFor(Current(), delay, 0); }
int TfSetLongDelay(int low, int high) { return DelayFor(Current(), low, high); }
int TfISetLongDelay(int low, int high, char *instance) {
    return DelayFor(InstanceFromPointer(instance), low, high);
}
int TfRosynchronize() { return ReadOnlySynch(Current()); }
int TfIRosynchronize(char *instance) { return ReadOnlySynch(InstanceFromPointer(instance)); }
int TfSynchronize() { return ReadWriteSynch(Current()); }
int TfISynchronize(char *instance) { return ReadWriteSynch(InstanceFromPointer(instance)); }

}  // namespace tavri::vpi
