// The dumper inside a simulator that offers the IEEE 1364 VPI: every entry of
// the routine table is implemented with VPI calls. ACC handles are the
// simulator's own object handles (stable for the life of the simulation);
// a task instance is the handle of its system task call.
#ifndef TAVRI_SIM_VPI_VPI_BINDING_H
#define TAVRI_SIM_VPI_VPI_BINDING_H

#include <vpi_user.h>

#include <string>
#include <vector>

#include "sim/sim_routines.h"

namespace tavri::vpi {

// One call site of a registered task: what its routines need while they run.
struct TaskInstance {
    vpiHandle call = nullptr;          // the system task call
    p_tfcell row = nullptr;
    std::vector<vpiHandle> args;       // its arguments, in order
    std::vector<std::string> strings;  // copies of argument texts handed out
    std::vector<std::vector<s_vecval>> values;  // argument values tf_exprinfo handed out
    bool check_failed = false;
    bool rosync_requested = false;
    bool synch_requested = false;
    bool reads_memory = false;  // tf_nodeinfo handed it a memory buffer
};

// The instance whose routine runs now, or null.
TaskInstance *Current();

// Runs `routine` of an instance's row with that instance as the calling
// context.
int RunRoutine(TaskInstance *instance, p_tffn routine, int reason);

// The instance of a call handle (created on first sight), and of the opaque
// pointer tf_getinstance handed out.
TaskInstance *InstanceOf(vpiHandle call, p_tfcell row);
TaskInstance *InstanceFromPointer(char *instance);

// Every instance whose row has a misctf, in the order they were first seen.
const std::vector<TaskInstance *> &Instances();

// Text handed out by an ACC routine: kept in a small ring, valid through
// the next seven such calls.
char *AccString(const char *text);

// The routine table over VPI.
sim::Routines Routines();

// Registers a task row with the simulator (mti_RegisterUserTF).
void RegisterRow(p_tfcell row);

// Registers the end-of-simulation callback that delivers reason_finish.
void RegisterSimulationCallbacks();

// Routine implementations by concern.
// Tasks and scheduling.
int TfSetDelay(int delay);
int TfSetLongDelay(int low, int high);
int TfISetLongDelay(int low, int high, char *instance);
int TfRosynchronize();
int TfIRosynchronize(char *instance);
int TfSynchronize();
int TfISynchronize(char *instance);
char *TfGetInstance();
char *TfMipname();
int TfGetTimeUnit();
int TfGetLongSimTime(int *high);

// Task arguments.
int TfNump();
int TfTypep(int n);
p_tfexprinfo TfExprinfo(int n, p_tfexprinfo info);
p_tfnodeinfo TfNodeinfo(int n, p_tfnodeinfo info);
char *TfGetCStringP(int n);
handle AccHandleTfarg(int n);
int AccFetchTfargInt(int n);
char *AccFetchTfargStr(int n);

// Memories: node information with a value buffer of the memory's own
// (null for any other object), and the refill of every such buffer.
p_tfnodeinfo MemoryNodeinfo(vpiHandle argument, p_tfnodeinfo info);
void RefreshMemoryBuffers();

// What a design object is (vpi_object_facts.cpp), asked of the simulator
// once for the objects it keeps for the whole run. The name of such an
// object stays valid; any other name is an AccString.
int ObjectKind(vpiHandle object);  // its VPI type
int ObjectType(vpiHandle object);  // its ACC type
int ObjectFulltype(vpiHandle object);
int ObjectSize(vpiHandle object);
void ObjectRange(vpiHandle object, int *left, int *right);
bool ObjectIsVector(vpiHandle object);  // a net or reg declared with a range
const char *ObjectName(vpiHandle object);
// Whether `object` is of the ACC type or fulltype `type`, or of the classes
// accScalar, accVector, accScope and accCollapsedNet.
bool ObjectIsOfType(vpiHandle object, int type);
bool IsScopeKind(int vpi_type);
// The first net or reg the dumper looked at of those the simulator
// simulates as one net with `signal` (itself when it is the first, or when
// the simulator does not say: vectors and other objects).
vpiHandle SimulatedNet(vpiHandle signal);

// Objects.
int AccFetchType(handle object);
int AccFetchFulltype(handle object);
char *AccFetchTypeStr(int type);
int AccObjectOfType(handle object, int type);
char *AccFetchName(handle object);
char *AccFetchFullname(handle object);
char *AccFetchDefname(handle object);
int AccFetchDirection(handle object);
int AccFetchRange(handle object, int *msb, int *lsb);
int AccFetchSize(handle object);
int AccCompareHandles(handle a, handle b);
handle AccHandleByName(const char *name, handle scope);
handle AccHandleObject(const char *name);
handle AccHandleParent(handle object);
handle AccHandleScope(handle object);
handle AccHandleSimulatedNet(handle net);
handle AccHandleHiconn(handle port);
handle AccNext(int *types, handle scope, handle previous);
handle AccNextBit(handle vector, handle previous);
handle AccNextPort(handle module, handle previous);
handle AccNextScope(handle scope, handle previous);
handle AccNextTopmod(handle previous);

// Values and links.
char *AccFetchValue(handle object, const char *format, p_acc_value value);
void AccVclAdd(handle object, p_vc_consumer consumer, char *user_data, int flags);
void AccVclDelete(handle object, p_vc_consumer consumer, char *user_data, int flags);

// The value each linked vector's callback delivered last
// (vpi_vector_cache.cpp): an entry per linked object, attached by every link
// made on it and detached by every link removed.
struct Link;
// The widest vector whose callback delivers its value.
constexpr int kDeliveredWidthLimit = 16;
// One entry per linked vector, in one cache line: the value delivered last
// and the links that deliver it.
struct alignas(64) VectorCache {
    Link *link = nullptr;     // the first link on the object that delivers
    std::vector<Link *> more;  // the others
    vpiHandle object = nullptr;
    int32_t excess = 0;                  // kDelivered per delivery less kRead per read
    uint16_t delivery_step = 0;          // the step of its last delivery (wraps)
    bool valid = false;
    uint8_t width = 0;
    char bits[kDeliveredWidthLimit]{};   // most significant bit first, as delivered
};
static_assert(sizeof(VectorCache) == 64);
// Whether a new entry for `object` would need new room: it has none, and no
// dropped one waits to be reused.
bool NeedsRoomForVectorCache(vpiHandle object);
// Attaches `link` to the entry of `object`, made in `room` (when given) if
// there is none yet; null when the width is not one kept.
VectorCache *AttachVectorCache(vpiHandle object, int width, Link *link, VectorCache *room);
void DetachVectorCache(vpiHandle object, Link *link);
// Keeps a value delivered as binary text; any other value drops the kept one.
void StoreVector(VectorCache *cache, const s_vpi_value *value, const s_vpi_time *time);
// The kept binary text of `object` and its width (the object's), or null
// when none is kept: not linked, or no change since it was linked. A vector
// whose callbacks fire clearly more often than it is read stops having its
// value delivered (outside value-change callbacks only), and its later reads
// ask the simulator.
const char *CachedVectorBits(vpiHandle object, int *width);
// Registers the callbacks of `links` again without a delivered value
// (vpi_links.cpp); false, with the links as they were, when the simulator
// refuses any of them.
bool StopDeliveringValues(Link *const *links, size_t count);
// Whether a value-change callback is running (vpi_links.cpp).
bool InValueChange();

// Host.
void IoPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void TfError(const char *format, ...) __attribute__((format(printf, 1, 2)));
void TfWarning(const char *format, ...) __attribute__((format(printf, 1, 2)));
char *McScanPlusargs(const char *prefix);
char *AccProductVersion();
int AccInitialize();
int ResolutionLimit();
void PrintMessage(const char *text);
void AddTclCommand(const char *name, sim::TclCommandProc handler, void *client_data, sim::TclDeleteProc on_delete);

}  // namespace tavri::vpi

#endif
