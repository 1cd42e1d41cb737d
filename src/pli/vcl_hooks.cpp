#include "pli/vcl.h"

#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

// The callback and link flags a variable gets, by the object behind it.
bool ChooseCallback(handle object, p_vc_consumer *callback, int *flags) {
    *flags = vcl_verilog_logic;
    if (sim::g_sim.acc_fetch_type(object) == accParameter) {
        return false;
    }
    const int fulltype = sim::g_sim.acc_fetch_fulltype(object);
    if (sim::g_sim.acc_object_of_type(object, accScalar) != 0) {
        const bool reg = sim::g_sim.acc_fetch_type(object) == accReg || fulltype == accRegBit;
        if (g_dumper.options.strength_mode == 3 && !reg) {
            *callback = g_vclCallbacks[kStrengthSlot];
            *flags = vcl_verilog_strength;
        } else {
            *callback = g_vclCallbacks[kScalarSlot];
        }
    } else if (sim::g_sim.acc_object_of_type(object, accVector) != 0) {
        *callback = g_vclCallbacks[kVectorSlot];
    } else if (fulltype == accRealParam || fulltype == accRealVar) {
        *callback = g_vclCallbacks[kRealSlot];
    } else if (fulltype == accNamedEvent) {
        *callback = g_vclCallbacks[kEventSlot];
    } else {
        *callback = g_vclCallbacks[kGeneralSlot];
    }
    return true;
}

// The widest variable whose width its hook entry holds.
constexpr uint32_t kEntryWidthLimit = (1u << 29) - 1;

int LinkFlags(const VclEntry &entry) { return entry.strength_link != 0 ? vcl_verilog_strength : vcl_verilog_logic; }

void Link(VclEntry &entry) {
    if (entry.callback == nullptr) {
        return;  // parameters: values come from the file's value dumps only
    }
    sim::g_sim.acc_vcl_add(entry.object, entry.callback, reinterpret_cast<char *>(&entry), LinkFlags(entry));
    entry.hooked = true;
}

}  // namespace

void AddHook(txwVarMapRec *record, DumpFileRecord *file) {
    p_vc_consumer callback = nullptr;
    int flags = 0;
    if (!ChooseCallback(record->handle, &callback, &flags)) {
        callback = nullptr;  // an entry without a link: its value is dumped, it never changes
    }
    VclEntry &entry = g_dumper.hooks.emplace_back();
    entry.record = record;
    entry.object = record->handle;
    entry.idcode = record->idcode;
    entry.bit_size = record->bit_size <= kEntryWidthLimit ? record->bit_size : 0;
    entry.file = file;
    entry.callback = callback;
    entry.strength_link = flags == vcl_verilog_strength ? 1 : 0;
    Link(entry);
}

void Unhook(VclEntry &entry) {
    if (entry.hooked) {
        sim::g_sim.acc_vcl_delete(entry.object, entry.callback, reinterpret_cast<char *>(&entry),
                                  LinkFlags(entry));
        entry.hooked = false;
    }
}

void ReleaseAllHooks() {
    for (VclEntry &entry : g_dumper.hooks) {
        Unhook(entry);
    }
    for (DumpFileRecord &file : g_dumper.files) {
        file.pending.clear();
    }
    for (DumpFileRecord &file : g_dumper.saved_files) {
        file.pending.clear();
    }
    g_dumper.hooks.clear();
    g_dumper.hooks_removed_for_save = false;
}

void UnlinkAllForSave() {
    if (g_dumper.hooks_removed_for_save) {
        return;
    }
    for (VclEntry &entry : g_dumper.hooks) {
        Unhook(entry);
    }
    g_dumper.hooks_removed_for_save = true;
}

void RelinkAllAfterSave() {
    if (!g_dumper.hooks_removed_for_save) {
        return;
    }
    for (VclEntry &entry : g_dumper.hooks) {
        if (entry.file != nullptr && !entry.hooked) {
            Link(entry);
        }
    }
    g_dumper.hooks_removed_for_save = false;
}

void UnhookFile(DumpFileRecord *file) {
    for (VclEntry &entry : g_dumper.hooks) {
        if (entry.file != file) {
            continue;
        }
        Unhook(entry);
        if (g_txw.IsVarRecEnabled(file->writer, entry.record)) {
            g_txw.DisableVarRec(file->writer, entry.record);
        }
        entry.file = nullptr;
    }
}

void ForgetFileOfHooks(DumpFileRecord *file) {
    for (VclEntry &entry : g_dumper.hooks) {
        if (entry.file == file) {
            entry.file = nullptr;
        }
    }
}

void SetCurrent(DumpFileRecord &file) {
    g_dumper.current_writer = file.writer;
    g_dumper.current_time_low = file.last_time_low;
    g_dumper.current_time_high = file.last_time_high;
}

}  // namespace tavri::pli
