// Whole-file value dumps: the initial values after a tree is written, the
// present values at dump-on and X at dump-off.
#include <string>

#include "pli/messages.h"
#include "pli/vcl.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

uint8_t BitCode(char digit) {
    switch (digit) {
        case '0':
            return 0;
        case '1':
            return 1;
        case 'z':
        case 'Z':
            return 3;
        default:
            return 2;
    }
}

bool IsVectorLike(handle object, int type, int fulltype) {
    return sim::g_sim.acc_object_of_type(object, accVector) != 0 ||
           (type == accParameter && fulltype != accRealParam) || fulltype == accIntegerVar ||
           fulltype == accTimeVar;
}

void WriteAllX(DumpFileRecord &file, txwVarMapRec *record) {
    const uint32_t width = record->bit_size;
    if (g_dumper.options.bus_compression && width >= 8) {
        std::vector<uint32_t> words(((width - 1) / 32 + 1) * 2, 0xFFFFFFFFu);
        g_txw.CreateABBusValueByIdcode(file.writer, record->idcode, words.data(), width);
        return;
    }
    const std::vector<uint8_t> bytes(width + 1, 2);
    g_txw.CreateVarValueByIdcode(file.writer, record->idcode, bytes.data(), width);
}

}  // namespace

void DumpValue(DumpFileRecord &file, txwVarMapRec *record, int mode) {
    const uint8_t type_code = record->var_type;
    if (type_code == 17 || type_code == 18 || type_code == 61 || type_code == 62) {
        return;
    }
    if (mode != kModeInitial && mode != kModeCurrent && mode != kModeOff) {
        PrintError("Error in TraverseEveryVar\n");
        return;
    }
    handle object = record->handle;
    const int type = sim::g_sim.acc_fetch_type(object);
    const int fulltype = sim::g_sim.acc_fetch_fulltype(object);
    if (IsVectorLike(object, type, fulltype)) {
        if (mode == kModeOff) {
            WriteAllX(file, record);
        } else {
            WriteVectorValue(file, record);
        }
        return;
    }
    if (fulltype == accRealVar || fulltype == accRealParam) {
        double real = 0.0;
        if (mode != kModeOff) {
            s_acc_value value{};
            value.format = accRealVal;
            sim::g_sim.acc_fetch_value(object, "%%", &value);
            real = value.value.real;
        }
        g_txw.CreateVarValueByVarRec(file.writer, record, &real);
        return;
    }
    if (fulltype == accNamedEvent) {
        const uint8_t no_occurrence = 2;
        g_txw.CreateVarValueByVarRec(file.writer, record, &no_occurrence);
        return;
    }
    const char *text = sim::g_sim.acc_fetch_value(object, "%b", nullptr);
    if (text == nullptr || text[0] == '\0') {
        const char *name = sim::g_sim.acc_fetch_fullname(object);
        PrintError("DACC_fetch_value(%s) return nil\n", name != nullptr ? name : "");
        return;
    }
    // Texts of up to 1023 characters use a fixed buffer.
    uint8_t fixed[1024];
    std::vector<uint8_t> grown;
    const size_t length = std::char_traits<char>::length(text);
    uint8_t *bytes = fixed;
    if (length > 1023) {
        grown.resize(length + 1);
        bytes = grown.data();
    }
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = mode == kModeOff ? 2 : BitCode(text[i]);
    }
    bytes[length] = 0;
    g_txw.CreateVarValueByVarRec(file.writer, record, bytes);
}

}  // namespace tavri::pli
