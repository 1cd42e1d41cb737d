#include "pli/esd_replay.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "reader/esd_template.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

using reader::TemplateRecord;

constexpr uint8_t kFirstUnsupportedType = 17;

// A scope the replay is inside: what was current before it, and whether
// the simulation has it.
struct OpenScope {
    handle previous = nullptr;
    bool previous_ignore = false;
    bool found = false;
};

struct Replay {
    txwObject *writer = nullptr;
    int level = kAllLevels;
    std::vector<SelectedScope> *selected = nullptr;
    int depth = 0;
    handle current = nullptr;
    bool ignore = false;
    std::vector<OpenScope> open;
    // Open scopes the simulation lacks: below one, nothing is looked up,
    // so that no variable of another scope is taken for one of them.
    int missing = 0;
};

unsigned Hex(const void *pointer) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)); }

// Whether the variables of the scope just entered at `depth` stay unhooked.
bool IgnoreAt(Replay &replay, int depth) {
    if (replay.selected->empty()) {
        return depth > replay.level;
    }
    bool ignore = true;
    for (SelectedScope &selected : *replay.selected) {
        if (selected.start_depth < 0) {
            if (replay.current != nullptr && sim::g_sim.acc_compare_handles(selected.scope, replay.current) != 0) {
                selected.start_depth = depth;
                ignore = false;
                const char *name = sim::g_sim.acc_fetch_fullname(selected.scope);
                PrintInfo("Start dumping the scope(%s), layer(%d).\n", name != nullptr ? name : "No name",
                          replay.level == kAllLevels ? 0 : replay.level);
            }
        } else if (depth - selected.start_depth < replay.level) {
            ignore = false;
        }
    }
    return ignore;
}

void EnterScope(Replay &replay, const TemplateRecord &record) {
    ++replay.depth;
    replay.open.push_back({replay.current, replay.ignore, false});
    handle found = nullptr;
    if (replay.missing == 0) {
        found = sim::g_sim.acc_handle_by_name(record.name, replay.current);
    }
    if (found == nullptr) {
        PrintError("Can't find the scope %s\n", record.name);
        ++replay.missing;
    } else {
        replay.open.back().found = true;
        replay.current = found;
        replay.ignore = IgnoreAt(replay, replay.depth);
    }
    TAVRI_TRACE("Scope  %s(%s) %d  L%d  %s\n", record.name,
                record.second_name != nullptr ? record.second_name : "NULL", record.scope_type, replay.depth,
                replay.ignore ? "ignore" : " ");
    txwScopeParam scope{};
    scope.size = sizeof scope;
    scope.name = record.name;
    scope.scope_type = record.scope_type;
    txwCreateScope2(replay.writer, &scope);
}

void LeaveScope(Replay &replay) {
    TAVRI_TRACE("UnScope \n");
    --replay.depth;
    if (!replay.open.empty()) {
        const OpenScope scope = replay.open.back();
        replay.open.pop_back();
        if (!scope.found) {
            --replay.missing;
        }
        replay.current = scope.previous;
        replay.ignore = scope.previous_ignore;
    }
    for (SelectedScope &selected : *replay.selected) {
        if (selected.start_depth > replay.depth) {
            selected.start_depth = -1;
        }
    }
    g_txw.EndScope(replay.writer);
}

// The simulator object of a template variable in the current scope. A
// name that carries its range ("bus[7:0]", as the dumper names vectors)
// also finds the vector of that range.
handle FindVariable(const Replay &replay, const TemplateRecord &record) {
    const std::string name = record.name;
    const auto lookup = [&](std::string text) {
        if (!text.empty() && text.front() == '\\') {
            text += ' ';
        }
        return sim::g_sim.acc_handle_by_name(text.c_str(), replay.current);
    };
    handle found = lookup(name);
    if (found != nullptr) {
        return found;
    }
    const std::string base = WithoutSelect(name);
    if (base == name || (found = lookup(base)) == nullptr) {
        return nullptr;
    }
    int left = 0;
    int right = 0;
    sim::g_sim.acc_fetch_range(found, &left, &right);
    return left == record.left && right == record.right ? found : nullptr;
}

void CreateVariable(Replay &replay, const TemplateRecord &record) {
    const int type_code = record.var_type & 0x3F;
    if (type_code >= kFirstUnsupportedType) {
        PrintWarning("Not support type(%d) : %s \n", type_code, record.name);
        PrintError("Not support type(%d) : %s \n", type_code, record.name);
        return;
    }
    txwVarParam var{};
    var.size = sizeof var;
    var.name = record.name;
    var.var_type = record.var_type;
    var.direction = record.direction;
    var.bytes_per_bit = record.bytes_per_bit;
    var.idcode = static_cast<int32_t>(record.idcode);
    var.data_type = record.data_type;
    var.left = record.left;
    var.right = record.right;
    const int status = txwCreateVarByVarIdcode2(replay.writer, &var);
    if (status != 0) {
        sim::g_sim.io_printf("$Create Var failure %d \n", status);
    }
    handle object = nullptr;
    if (status == 0 && !replay.ignore && (record.var_type & 0xC0) == 0) {
        object = replay.missing == 0 ? FindVariable(replay, record) : nullptr;
        if (object == nullptr) {
            sim::g_sim.tf_warning("Can not find instance : %s\n", record.name);
        } else {
            txwVarMapRec &hooked = g_dumper.esd_records.emplace_back();
            hooked.handle = object;
            hooked.idcode = var.idcode;
            hooked.bit_size = static_cast<uint32_t>(std::labs(static_cast<long>(record.left) - record.right) + 1);
            hooked.var_type = record.var_type;
            AddHook(&hooked, CurrentFile());
        }
    }
    TAVRI_TRACE("DTXW_CreateVarByVarIdcode2 %s[%d %d] handle=%d  idcode=%d  type=%d %s\n",
                record.name != nullptr ? record.name : "No Name", record.left, record.right,
                static_cast<int>(Hex(object)), static_cast<int>(record.idcode), record.var_type,
                replay.ignore ? "ignore" : " ");
}

int ReplayRecord(int kind, void *client, const TemplateRecord *record) {
    Replay &replay = *static_cast<Replay *>(client);
    DumperState &state = g_dumper;
    switch (kind) {
        case reader::kTemplateTreeBegin:
            replay.current = nullptr;
            ++state.tree_depth;
            g_txw.BeginTree(replay.writer);
            return 1;
        case reader::kTemplateScope:
            EnterScope(replay, *record);
            return 1;
        case reader::kTemplateVariable:
            if (replay.writer == nullptr) {
                PrintError("Can't write the trax\n");
            } else {
                CreateVariable(replay, *record);
            }
            return 1;
        case reader::kTemplateScopeEnd:
            LeaveScope(replay);
            return 1;
        case reader::kTemplateTreeEnd:
            g_txw.EndTree(replay.writer);
            --state.tree_depth;
            return 1;
        default:
            return 0;
    }
}

}  // namespace

bool ReplayTemplate(const std::string &template_name, const std::string &file_name, int level,
                    std::vector<SelectedScope> &selected) {
    DumperState &state = g_dumper;
    const char *name = template_name.c_str();
    reader::SetTemplateMessageHook(WriterWarningHook);
    if (!reader::IsDatabaseFile(name)) {
        PrintError("%s is not an TRAX file\n", name);
        return false;
    }
    std::unique_ptr<reader::EsdTemplate> source = reader::EsdTemplate::Open(name);
    if (source == nullptr) {
        PrintError("Open %s failed\n", name);
        return false;
    }
    if (!source->HasEsdInfo()) {
        PrintError("File %s has no ESD!\n", name);
        return false;
    }
    PrintInfo("Read ESD infonmation from %s\n", name);
    const uint8_t file_type = source->FileType();
    if (file_type != 8 && file_type != 15) {
        PrintError("%s isn't a valid essential signal dumping file \n", name);
        return false;
    }
    state.file_type = file_type;
    if (CreateDumpFile() == 0 || state.current_writer == nullptr) {
        return false;
    }
    Replay replay;
    replay.writer = state.current_writer;
    replay.level = level;
    replay.selected = &selected;
    TAVRI_TRACE("Begin txrSetTreeCBFunc(%x ,%x)", Hex(source.get()), Hex(replay.writer));
    source->SetTreeCallback(ReplayRecord, &replay);
    TAVRI_TRACE("End txrSetTreeCBFunc(%x ,%x)", Hex(source.get()), Hex(replay.writer));
    if (!source->ReadTree()) {
        PrintError("Open %s failed : can't read the ScopeVarTree\n", name);
        return false;
    }
    state.needs_flush = true;
    if (source->HasEsdVars()) {
        TAVRI_TRACE("txrHasESDVar: Has ESD var!\n");
        if (!source->ReadEsdInfo()) {
            PrintError("Read ESD info  failed  from %s \n", name);
        } else {
            TAVRI_TRACE("txrReadESDInfo() ok\n");
        }
        const std::vector<uint8_t> &table = source->table();
        const std::vector<uint8_t> &data = source->data();
        TAVRI_TRACE("esd_var_count    = %u\n", source->var_count());
        TAVRI_TRACE("esd_tbl_buf_size = %u\n", static_cast<unsigned>(table.size()));
        TAVRI_TRACE("esd_buf_size     = %u\n", static_cast<unsigned>(data.size()));
        TAVRI_TRACE("esd_tbl_buf      = %x\n", Hex(table.data()));
        TAVRI_TRACE("esd_buf          = %x\n", Hex(data.data()));
        if (txw_AppendForeignESDInfo(replay.writer, source->var_count(), static_cast<uint32_t>(table.size()),
                                     static_cast<uint32_t>(data.size()), table.data(), data.data()) != 0) {
            PrintError("failed  :Append ESD info in %s to dest %s\n", name, file_name.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace tavri::pli
