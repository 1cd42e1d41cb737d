#include "pli/traversal.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/prompt_flush.h"
#include "pli/scope_map.h"
#include "pli/substitute_hier.h"
#include "pli/suppress.h"
#include "pli/trace.h"
#include "pli/vcl.h"
#include "pli/wildcard.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

struct PortEntry {
    int direction = 0;
    handle connected = nullptr;
    std::string name;
};

std::vector<PortEntry> g_ports;

int DirectionCode(int acc_direction) {
    switch (acc_direction) {
        case accInput:
            return 1;
        case accOutput:
            return 2;
        case accInout:
            return 3;
        default:
            return 0;
    }
}

bool IsModuleKind(handle scope) {
    const int type = sim::g_sim.acc_fetch_type(scope);
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    return type == accModule || type == accScope || fulltype == accTopModule || fulltype == accModuleInstance ||
           fulltype == accCellInstance;
}

bool IsModuleFulltype(int fulltype) {
    return fulltype == accModule || fulltype == accTopModule || fulltype == accModuleInstance ||
           fulltype == accCellInstance;
}

bool NoFunctions() { return g_dumper.options.no_functions || g_dumper.call_no_functions; }

const char *FullNameOr(handle object, const char *otherwise) {
    const char *name = object != nullptr ? sim::g_sim.acc_fetch_fullname(object) : nullptr;
    return name != nullptr ? name : otherwise;
}

// Passes the direction filter: nets by its low byte, regs by its high byte,
// other kinds when any of its bits is set.
bool PassesFilter(handle object, int direction) {
    const uint16_t filter = g_dumper.direction_filter;
    if (direction < 0 || direction > 3) {
        TAVRI_TRACE("Warning : unexpected  traxVarDir type %d\n", direction);
        return true;
    }
    static constexpr uint8_t kDirectionBit[4] = {0x08, 0x01, 0x02, 0x04};
    const int type = sim::g_sim.acc_fetch_type(object);
    if (type == accNet) {
        return (filter & kDirectionBit[direction]) != 0;
    }
    if (type == accReg) {
        return ((filter >> 8) & kDirectionBit[direction]) != 0;
    }
    return (filter & 0x0F0F) != 0;
}

// Creates one variable (or, in the same-net pass, one more name of a net
// already dumped) and hooks a new one. `object` is the handle whose changes
// the variable follows (a collapsed net's simulated net); `declared` is the
// object it is named after, whose type it keeps: a cell's input wire stays
// a wire when the net it is simulated on is its parent's reg.
void TraverseVar(handle object, handle declared, int left, int right, const std::string &name,
                 uint8_t bytes_per_bit, int direction) {
    DumperState &state = g_dumper;
    if (state.traverse_mode != 0) {
        sim::g_sim.tf_error("Error in TraverseVar\n");
        return;
    }
    txwObject *writer = state.current_writer;
    if (writer == nullptr) {
        return;
    }
    const uint8_t type = WriterVarType(sim::g_sim.acc_fetch_fulltype(declared));
    if (state.same_net_pass) {
        if (g_txw.GetVarMapRecByHdl(writer, object) != nullptr) {
            uint8_t existed = 0;
            g_txw.CreateVarRecByHandle(writer, type, static_cast<uint8_t>(direction), 0, left, right, object,
                                       name.c_str(), bytes_per_bit, &existed);
        }
        return;
    }
    uint8_t existed = 0;
    txwVarMapRec *record = g_txw.CreateVarRecByHandle(writer, type, static_cast<uint8_t>(direction), 0, left,
                                                      right, object, name.c_str(), bytes_per_bit, &existed);
    TAVRI_TRACE("DTXW_CreateVarByHandle %s %d [%d %d] = %d idcode : %d\n", name.c_str(), type, left, right,
                record != nullptr ? 1 : 0, record != nullptr ? record->idcode : 0);
    if (record != nullptr && existed == 0) {
        AddHook(record, CurrentFile());
    }
}

void WarnUnnamed(handle object, handle scope, const char *trace) {
    TAVRI_TRACE("%s", trace);
    if (!g_dumper.options.warning_trace) {
        return;
    }
    if (scope == nullptr) {
        sim::g_sim.tf_warning("  scope handle not found\n");
    } else if (const char *scope_name = sim::g_sim.acc_fetch_fullname(scope)) {
        sim::g_sim.tf_warning("  scope : %s\n", scope_name);
    } else {
        sim::g_sim.tf_warning("  scope name not found\n");
    }
    if (const char *full = sim::g_sim.acc_fetch_fullname(object)) {
        sim::g_sim.tf_warning("  full name %s\n", full);
    } else {
        sim::g_sim.tf_warning("  full name not found\n");
    }
}

// A name that already ends in a select keeps it; others get the range.
// The text is valid until the next call: it is built in a buffer kept from
// call to call, as this runs for every vector of the design.
const std::string &WithRange(const std::string &name, int left, int right) {
    if (!name.empty() && name.back() == ']') {
        return name;
    }
    // Formatted by hand: this runs for every vector of the design.
    const auto append_number = [](std::string &text, int number) {
        char digits[16];
        const char *end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        text.append(digits, static_cast<size_t>(end - digits));
    };
    static std::string named;
    named.assign(name).push_back('[');
    append_number(named, left);
    if (left != right) {
        named.push_back(':');
        append_number(named, right);
    }
    named.push_back(']');
    return named;
}

void DumpVector(handle object, handle hook, const std::string &name, int direction) {
    int left = 0;
    int right = 0;
    sim::g_sim.acc_fetch_range(object, &left, &right);
    const long width = std::labs(static_cast<long>(left) - right) + 1;
    if (width > kMaxVectorWidth) {
        const char *full = FullNameOr(object, name.c_str());
        sim::g_sim.tf_warning(
            "The bit width of vector(%s[%d:%d]) is out of range(%d). Ignore dumping it.\n", full, left, right,
            kMaxVectorWidth);
        return;
    }
    if (sim::g_sim.acc_object_of_type(hook, accExpandedVector) != 0 && g_dumper.options.expanded_vectors) {
        const std::string base = WithoutSelect(name);
        const int step = left >= right ? -1 : 1;
        int index = left;
        for (handle bit = sim::g_sim.acc_next_bit(object, nullptr); bit != nullptr;
             bit = sim::g_sim.acc_next_bit(object, bit), index += step) {
            handle bit_hook = bit;
            if (!InScopeFileMode() && sim::g_sim.acc_object_of_type(bit, accCollapsedNet) != 0) {
                handle simulated = sim::g_sim.acc_handle_simulated_net(bit);
                if (simulated != nullptr &&
                    sim::g_sim.acc_fetch_size(simulated) == sim::g_sim.acc_fetch_size(bit)) {
                    bit_hook = simulated;
                }
            }
            char bit_name[32];
            std::snprintf(bit_name, sizeof bit_name, "[%d]", index);
            TraverseVar(bit_hook, bit, index, index, base + bit_name, 0, direction);
        }
        return;
    }
    TraverseVar(hook, object, left, right, WithRange(name, left, right), 0, direction);
}

}  // namespace

std::string WithoutSelect(const std::string &name) {
    if (!name.empty() && name.back() == ']') {
        const size_t open = name.rfind('[');
        if (open != std::string::npos) {
            return name.substr(0, open);
        }
    }
    return name;
}

uint8_t WriterVarType(int fulltype) {
    switch (fulltype) {
        case accReg:
            return 4;
        case accIntegerParam:
        case accIntegerVar:
            return 1;
        case accRealParam:
        case accRealVar:
            return 3;
        case accNamedEvent:
            return 0;
        case accTimeVar:
            return 7;
        case accWand:
            return 14;
        case accWor:
            return 16;
        case accTri:
            return 8;
        case accTriand:
            return 9;
        case accTrior:
            return 10;
        case accTri0:
            return 12;
        case accTri1:
            return 13;
        case accTrireg:
            return 11;
        case accSupply0:
            return 5;
        case accSupply1:
            return 6;
        default:
            return 15;
    }
}

uint8_t WriterScopeType(handle scope) {
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    switch (fulltype) {
        case accModule:
        case accTopModule:
        case accModuleInstance:
        case accCellInstance:
            return 0;
        case accTask:
            return 1;
        case accFunction:
            return 2;
        case accSeqBlock:
        case accNamedBeginStat:
        case accBeginKind716:
        case accBeginKind717:
            return 3;
        case accParBlock:
        case accNamedForkStat:
            return 4;
        default:
            sim::g_sim.tf_warning("Unknown scope type: %s %d\n", FullNameOr(scope, ""), fulltype);
            return 0;
    }
}

bool IsScope(handle object) {
    if (object == nullptr) {
        return false;
    }
    switch (sim::g_sim.acc_fetch_fulltype(object)) {
        case accModule:
        case accTopModule:
        case accModuleInstance:
        case accCellInstance:
        case accTask:
        case accFunction:
        case accSeqBlock:
        case accNamedBeginStat:
        case accParBlock:
        case accNamedForkStat:
        case accBeginKind716:
            return true;
        default:
            return sim::g_sim.acc_object_of_type(object, accScope) != 0;
    }
}

bool SkipScope(handle scope) {
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    return fulltype == accBeginKind717 || sim::g_sim.acc_object_of_type(scope, accProtected) != 0 ||
           (g_dumper.options.skip_cell_instance && fulltype == accCellInstance) ||
           (NoFunctions() && fulltype == accFunction);
}

bool CreateScope(handle scope) {
    const char *short_name = sim::g_sim.acc_fetch_name(scope);
    if (short_name == nullptr) {
        return false;
    }
    const std::string name(short_name);  // ACC strings are reused by later calls
    const int fulltype = sim::g_sim.acc_fetch_fulltype(scope);
    std::string definition = "Unknown";
    if (IsModuleFulltype(fulltype)) {
        if (const char *defname = sim::g_sim.acc_fetch_defname(scope)) {
            definition = defname;
        }
    }
    txwScopeDesc desc{};
    desc.name = name.c_str();
    desc.second_name = definition.c_str();
    desc.scope_type = WriterScopeType(scope);
    g_txw.CreateScope(g_dumper.current_writer, &desc);
    return true;
}

void BuildPortList(handle scope) {
    g_ports.clear();
    for (handle port = sim::g_sim.acc_next_port(scope, nullptr); port != nullptr;
         port = sim::g_sim.acc_next_port(scope, port)) {
        PortEntry entry;
        entry.direction = DirectionCode(sim::g_sim.acc_fetch_direction(port));
        if (handle connected = sim::g_sim.acc_handle_hiconn(port)) {
            switch (sim::g_sim.acc_fetch_type(connected)) {
                case accParameter:
                case accNet:
                case accReg:
                case accIntegerVar:
                case accRealVar:
                case accTimeVar:
                case accNamedEvent:
                case accWire:
                    entry.connected = connected;
                    break;
                default:
                    break;
            }
        }
        if (const char *name = sim::g_sim.acc_fetch_name(port)) {
            entry.name = name;
        } else {
            TAVRI_TRACE("DACC_fetch_name return NULL(port)\n");
        }
        g_ports.push_back(std::move(entry));
    }
}

int TakePortDirection(const char *name) {
    for (auto it = g_ports.begin(); it != g_ports.end(); ++it) {
        if (it->name == name) {
            const int direction = it->direction;
            g_ports.erase(it);
            return direction;
        }
    }
    return 0;
}

void ClearPortList() { g_ports.clear(); }

void TraverseVarsOnUnexpandVars(handle object, int direction) {
    if (sim::g_sim.acc_object_of_type(object, accProtected) != 0) {
        return;
    }
    const int type = sim::g_sim.acc_fetch_type(object);
    const int fulltype = sim::g_sim.acc_fetch_fulltype(object);
    const bool parameter = type == accParameter || fulltype == accIntegerParam || fulltype == accRealParam ||
                           fulltype == accParameter;
    if (parameter && !g_dumper.options.dump_parameters) {
        return;
    }
    if (!PassesFilter(object, direction)) {
        return;
    }
    const char *short_name = sim::g_sim.acc_fetch_name(object);
    if (short_name == nullptr) {
        WarnUnnamed(object, sim::g_sim.acc_handle_scope(object),
                    "DACC_fetch_name return NULL(at TraverseVarsOnUnexpandVars)\n");
        return;
    }
    // Copied (ACC strings are reused by later calls) into a buffer kept from
    // variable to variable.
    static std::string name;
    name.assign(short_name);

    handle hook = object;
    if (!InScopeFileMode() && sim::g_sim.acc_object_of_type(object, accCollapsedNet) != 0) {
        handle simulated = sim::g_sim.acc_handle_simulated_net(object);
        if (simulated != nullptr && sim::g_sim.acc_fetch_size(simulated) == sim::g_sim.acc_fetch_size(object)) {
            hook = simulated;
            if (sim::g_sim.acc_object_of_type(hook, accProtected) != 0) {
                return;
            }
        }
    }

    if (sim::g_sim.acc_object_of_type(object, accVector) != 0) {
        DumpVector(object, hook, name, direction);
    } else if (fulltype == accNamedEvent) {
        TraverseVar(hook, object, 0, 0, name, 0, direction);
    } else if (fulltype == accRealParam || fulltype == accRealVar) {
        TraverseVar(hook, object, 0, 0, name, 3, direction);
    } else if (sim::g_sim.acc_object_of_type(object, accScalar) != 0) {
        if (sim::g_sim.acc_fetch_size(object) < 2) {
            TraverseVar(hook, object, 0, 0, name, 0, direction);
        }
    } else {
        const char *bits = sim::g_sim.acc_fetch_value(object, "%b", nullptr);
        const size_t length = bits != nullptr ? std::char_traits<char>::length(bits) : 0;
        if (length > 0) {
            TraverseVar(hook, object, static_cast<int>(length) - 1, 0, name, 0, direction);
        }
    }
}

void TraverseVarsOnScope(handle scope, int depth, int level, bool create) {
    DumperState &state = g_dumper;
    if (SkipScope(scope)) {
        return;
    }
    TAVRI_TRACE("Scope(%s)\n", FullNameOr(scope, ""));
    // A walk that creates its scopes starts at a top module: `depth` is the
    // design depth, which the hierarchy substitution maps.
    bool written = true;
    if (create) {
        const ScopeWrite write = CreateMappedScope(scope, depth);
        written = write == ScopeWrite::kWritten;
        if (write == ScopeWrite::kNoName) {
            TAVRI_TRACE("DACC_fetch_name return NULL(TraverseVarsOnScope fetch scope name)\n");
            if (state.options.warning_trace) {
                if (const char *full = sim::g_sim.acc_fetch_fullname(scope)) {
                    sim::g_sim.tf_warning("  scope : %s\n", full);
                } else {
                    sim::g_sim.tf_warning("  full scope name not found\n");
                }
            }
            return;
        }
    }
    if (written) {
        ClearPortList();
        if (!IsUnmarked(scope)) {
            TAVRI_TRACE("The scope %s has already dumed, ignore it!\n", FullNameOr(scope, ""));
        } else {
            if (state.direction_filter == kNoDirectionFilter) {
                MarkDumped(scope);
            }
            DumpScopeObjects(scope, nullptr);
        }
    }
    if (state.options.verbose != 0) {
        if (state.scopes_traversed++ % 100 == 0) {
            std::fputc('.', stdout);
            std::fflush(stdout);
        }
    }
    if (level == 0 || depth < level) {
        for (handle child = sim::g_sim.acc_next_scope(scope, nullptr); child != nullptr;
             child = sim::g_sim.acc_next_scope(scope, child)) {
            if (!IsSuppressed(child)) {
                TraverseVarsOnScope(child, depth + 1, level, create);
            }
        }
    }
    if (create && written) {
        g_txw.EndScope(state.current_writer);
    }
    state.needs_flush = true;
}

void DumpScopeObjects(handle scope, const char *signal_pattern) {
    if (IsModuleKind(scope)) {
        BuildPortList(scope);
    }
    static constexpr int kKinds[] = {accNet, accReg, accIntegerVar, accTimeVar, accNamedEvent, accRealVar, accParameter};
    for (int kind : kKinds) {
        int types[2] = {kind, 0};
        for (handle object = sim::g_sim.acc_next(types, scope, nullptr); object != nullptr;
             object = sim::g_sim.acc_next(types, scope, object)) {
            if (sim::g_sim.acc_fetch_type(object) == accPortBit) {
                continue;
            }
            const char *name = sim::g_sim.acc_fetch_name(object);
            if (signal_pattern != nullptr && (name == nullptr || !WildcardMatch(signal_pattern, name))) {
                continue;
            }
            const int direction = name != nullptr ? TakePortDirection(name) : 0;
            TraverseVarsOnUnexpandVars(object, direction);
        }
    }
}

int CreateScopeFromRoot(handle scope) {
    if (scope == nullptr) {
        return 0;
    }
    const int depth = CreateScopeFromRoot(sim::g_sim.acc_handle_parent(scope));
    if (CreateMappedScope(scope, depth + 1) != ScopeWrite::kNoName) {
        return depth + 1;
    }
    TAVRI_TRACE("DACC_fetch_name return NULL(CreateScopeFromRoot fetch scope name)\n");
    if (g_dumper.options.warning_trace) {
        if (const char *full = sim::g_sim.acc_fetch_fullname(scope)) {
            sim::g_sim.tf_warning("  scope : %s, ", full);
        } else {
            sim::g_sim.tf_warning("  full scope name not found\n");
        }
    }
    return depth;
}

void TraverseAllVars(int mode, size_t first_hook) {
    DumperState &state = g_dumper;
    TAVRI_TRACE("TraverseAllVars()\n");
    state.traverse_mode = mode;
    DumpFileRecord *current = CurrentFile();
    if (current != nullptr) {
        DumpFileRecord &file = *current;
        WriteTimeTag(file);
        for (size_t i = first_hook; i < state.hooks.size(); ++i) {
            VclEntry &entry = state.hooks[i];
            if (entry.file == &file && !entry.pending) {
                DumpValue(file, entry.record, mode);
            }
        }
    }
    state.traverse_mode = 0;
    state.needs_flush = true;
    if (state.interactive && state.current_writer != nullptr) {
        FlushDumpFile(state.current_writer);
        state.needs_flush = false;
    }
}

void SameNetPass() {
    DumperState &state = g_dumper;
    if (!state.options.same_net || state.current_writer == nullptr) {
        return;
    }
    state.same_net_pass = true;
    if (!BeginDumpTree("Failed to create tree in TRAX file.\n")) {
        state.same_net_pass = false;
        return;
    }
    // Scopes dumped before keep their marks and are passed over; elsewhere a
    // net the file already holds gets one more name.
    for (handle top = sim::g_sim.acc_next_topmod(nullptr); top != nullptr; top = sim::g_sim.acc_next_topmod(top)) {
        if (!IsSuppressed(top)) {
            TraverseVarsOnScope(top, 1, 0, true);
        }
    }
    EndDumpTree();
    state.same_net_pass = false;
}

const char *FilterText() {
    switch (g_dumper.direction_filter) {
        case kIoOnlyFilter:
            return " IO_Only,";
        case kRegOnlyFilter:
            return " Reg_Only,";
        case kIoOnlyFilter | kRegOnlyFilter:
            return " IO_Only|Reg_Only,";
        default:
            return "";
    }
}

}  // namespace tavri::pli
