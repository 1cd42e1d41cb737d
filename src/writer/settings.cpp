#include "writer/settings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "writer/compressor.h"
#include "writer/env_registry.h"
#include "writer/header_io.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/write_all.h"

using namespace tavri::writer;

namespace {

// Time units by code - 1.
constexpr const char *kTimeUnits[] = {"100",  "10",  "1",  "100m", "10m", "1m",
                                      "100u", "10u", "1u", "100n", "10n", "1n",
                                      "100p", "10p", "1p", "100f", "10f", "1f"};
constexpr size_t kMaxTimeUnitLength = 5;

uint16_t ClampGlitchNumber(unsigned long number) {
    if (number >= 255) {
        Warn("Max glitch number(%u) exceeds 254. Use 254 instead!\n", static_cast<unsigned>(number));
        return kMaxGlitchNumber;
    }
    return static_cast<uint16_t>(number);
}

// Stores a header text and writes the field in place.
int SetHeaderText(txwObject *obj, const char *text, uint32_t offset, uint32_t width) {
    obj->header.SetText(offset, width, text);
    WriteHeaderField(obj, offset, width);
    return 0;
}

}  // namespace

namespace tavri::writer {

uint16_t GlitchNumberFromEnvironment() {
    const char *text = TXW_GETENV("TRAX_ENV_MAX_GLITCH_NUM");
    if (text == nullptr) {
        return 1;
    }
    bool digits = *text != '\0';
    for (const char *c = text; *c != '\0'; ++c) {
        digits = digits && std::isdigit(static_cast<unsigned char>(*c)) != 0;
    }
    if (!digits) {
        Warn("Env var TRAX_ENV_MAX_GLITCH_NUM(%s) contains non-digit character.\n", text);
        Warn("TRAX_ENV_MAX_GLITCH_NUM is set to default value (%u) now.\n", 1u);
        return 1;
    }
    // Values too large for an unsigned long saturate, and clamp like any other.
    return ClampGlitchNumber(std::strtoul(text, nullptr, 10));
}

uint8_t TimeUnitCode(const char *unit) {
    for (size_t i = 0; i < sizeof kTimeUnits / sizeof kTimeUnits[0]; ++i) {
        if (std::strcmp(unit, kTimeUnits[i]) == 0) {
            return static_cast<uint8_t>(i + 1);
        }
    }
    return 0;
}

}  // namespace tavri::writer

extern "C" {

int txw_SetScopeSeparator(txwObject *obj, const char *separator) {
    if (separator == nullptr) {
        Warn("txw_SetScopeSeparator(): pointer to scope_separator is NULL.\n");
        return TXW_ERROR;
    }
    SetHeaderText(obj, separator, kHdrScopeSeparator, kScopeSeparatorWidth);
    obj->separator_given = true;
    return 0;
}

int txw_SetScaleUnit(txwObject *obj, const char *scale_unit) {
    if (scale_unit == nullptr) {
        Warn("txw_SetScaleUnit(): pointer to scale_unit is NULL.\n");
        return TXW_ERROR;
    }
    SetHeaderText(obj, scale_unit, kHdrScaleUnit, kScaleUnitWidth);
    obj->scale_unit_set = true;
    return 0;
}

int txw_SetSimulationDate(txwObject *obj, const char *date) {
    if (date == nullptr) {
        Warn("txw_SetSimulationDate(): pointer to simulation_date is NULL.\n");
        return TXW_ERROR;
    }
    SetHeaderText(obj, date, kHdrSimulationDate, kSimulationDateWidth);
    obj->simulation_date_set = true;
    return 0;
}

int txw_SetSimulatorVersion(txwObject *obj, const char *version) {
    if (version == nullptr) {
        Warn("txw_SetSimulatorVersion(): pointer to simulator_version is NULL.\n");
        return TXW_ERROR;
    }
    if (obj->simulator_version_set) {
        Warn("Simulator version has been set.\n");
        return TXW_ERROR;
    }
    SetHeaderText(obj, version, kHdrSimulatorVersion, kSimulatorVersionWidth);
    obj->simulator_version_set = true;
    return 0;
}

int txw_SetTimeUnit(txwObject *obj, const char *time_unit) {
    if (time_unit == nullptr) {
        Warn("txw_SetTimeUnit(): pointer to time_unit is NULL.\n");
        return TXW_ERROR;
    }
    if (std::strlen(time_unit) > kMaxTimeUnitLength) {
        Warn("Time unit(%s) len > TRAX_MAX_TIME_STR_LEN(%u). Ignored!\n", time_unit,
             static_cast<unsigned>(kMaxTimeUnitLength));
        return TXW_ERROR;
    }
    std::string unit(time_unit);
    if (!unit.empty() && unit.back() == 's') {
        unit.pop_back();
    }
    const uint8_t code = TimeUnitCode(unit.c_str());
    if (code == 0) {
        Warn("txw_SetTimeUnit(): time_unit(%s) is invalid.\n", time_unit);
        return TXW_ERROR;
    }
    obj->header.SetU8(kHdrTimeUnit, code);
    WriteHeaderField(obj, kHdrTimeUnit, 1);
    return 0;
}

int txw_SetGlitchNum(txwObject *obj, uint16_t number) {
    if (obj->glitch_set_by_application) {
        Warn("txw_SetGlitchNum() has been called, return.\n");
        return TXW_ERROR;
    }
    obj->header.SetU16(kHdrMaxGlitchNumber, ClampGlitchNumber(number));
    obj->glitch_set_by_application = true;
    return 0;
}

uint16_t txw_GetGlitchNum(txwObject *obj) { return obj->header.U16(kHdrMaxGlitchNumber); }

int txw_EnableSeqNum(txwObject *obj) {
    const bool no_changes = obj->header.U32(kHdrBc1VcCreationCnt) == 0 &&
                            obj->header.U32(kHdrBcnVcCreationCnt) == 0;
    if (no_changes) {
        obj->header.SetU8(kHdrHasSeqNum, 1);
        obj->seq_num_size = 4;
        obj->vc_block_size = obj->vc_block_entries * (obj->xtag_size + obj->seq_num_size) + 16;
        return 0;
    }
    if (obj->header.U8(kHdrHasSeqNum) == 1) {
        return 0;
    }
    Warn("VC has been created, cannot turn on sequence number dumping\n");
    return TXW_ERROR;
}

// Strengths travel inside the value bytes the application hands over; the
// writer needs no setting for them.
int txw_EnableStrengthDumping(txwObject * /*obj*/) { return 0; }

void txw_SetDesignType(txwObject *obj, uint8_t design_type) {
    obj->header.SetU8(kHdrDesignType, design_type);
}

int txw_SetIndependentVarType(txwObject *obj, uint32_t type) {
    if (type > 7) {
        Warn("Invalid indepent variable type(%d) is given! Ignored.\n", static_cast<int>(type));
        return TXW_ERROR;
    }
    obj->independent_var_type = type;
    obj->header.SetU8(kHdrIndepVarType, static_cast<uint8_t>(type));
    return 0;
}

int txw_SetAnnotation(txwObject *obj, const char *text) {
    if (text == nullptr) {
        return TXW_ERROR;
    }
    if (obj->annotation == nullptr) {
        obj->annotation = new (std::nothrow) char[kAnnotationSize];
        if (obj->annotation == nullptr) {
            Warn("txw_SetAnnotation(): Memory resource exhausted!\n");
            return TXW_NO_MEMORY;
        }
    }
    std::strncpy(obj->annotation, text, kAnnotationSize - 1);
    obj->annotation[kAnnotationSize - 1] = '\0';
    return 0;
}

int txw_AppendSupportInfo(txwObject *obj, const char *text) {
    constexpr uint32_t kRoom = kSupportInfoSize - kSupportTextOffset;  // 1530
    const uint32_t room = kRoom - obj->support_used;
    if (room <= 1) {
        Warn("Room for support info exhausted.\n");
        return TXW_ERROR;
    }
    const auto length = static_cast<uint32_t>(std::strlen(text));
    if (length + 1 > room) {
        Warn("Support info too long(len=%d). Only %d bytes kept !\n", static_cast<int>(length),
             static_cast<int>(room - 1));
    }
    const uint32_t kept = (length + 1 < room ? length + 1 : room) - 1;
    std::memcpy(obj->support_info + kSupportTextOffset + obj->support_used, text, kept);
    obj->support_info[kSupportTextOffset + obj->support_used + kept] = '\0';
    obj->support_used += kept;
    return 0;
}

int txw_SetSyncControl(txwObject *obj) {
    obj->header.SetU8(kHdrSyncControl, 1);
    if (obj->lock_file == tavri::platform::kNoFile) {
        // Locking was off at open: the lock file is made now.
        if (CreateLockFile(obj) != 0) {
            obj->header.SetU8(kHdrSyncControl, 0);
            return TXW_CANNOT_OPEN_FILE;
        }
    }
    return 0;
}

void txw_RegisterWriteErrorCB(txwWriteErrorCB callback) { SetWriteErrorCallback(callback); }

void txw_ClearWriteErrorCB(void) { SetWriteErrorCallback(nullptr); }

void txw_RegisterTwoGCB(txwObject *obj, txwTwoGCB callback) { obj->two_g_callback = callback; }

void txw_SetAutoSwitchCBData(txwObject *obj, void *data) { obj->auto_switch_data = data; }

int txw_RegisterDumpCB(txwObject *obj, txwDumpCB callback) {
    obj->dump_callbacks.push_back(callback);
    return 0;
}

void txw_SetMessageHooks(txwMessageHook warning, txwMessageHook error, txwMessageHook information) {
    SetMessageHooks(warning, error, information);
}

void txw_SetWarningSwitch(int suppress) { SetWarningSwitch(suppress != 0); }

void txw_SetInformationSwitch(int suppress) { SetInformationSwitch(suppress != 0); }

int txw_Noop(void) { return 0; }

int txw_SetCompression(txwObject *obj, uint32_t method, int level) {
    if (!ValidCompressionLevel(method, level)) {
        Warn("txw_SetCompression(): method %u with level %d is not supported.\n", method, level);
        return TXW_ERROR;
    }
    const HeaderImage &header = obj->header;
    const uint64_t blocks = static_cast<uint64_t>(header.U32(kHdrScopeBlkCnt)) +
                            header.U32(kHdrVarBlkCnt) + header.U32(kHdrDataTypeBlkCnt) +
                            header.U32(kHdrVcBlkCnt) + header.U32(kHdrVcChainBlkCnt);
    if (blocks != 0 && method != header.U8(kHdrCompression)) {
        Warn("txw_SetCompression(): blocks are already stored with method %u.\n",
             static_cast<unsigned>(header.U8(kHdrCompression)));
        return TXW_ERROR;
    }
    CompressorSetLevel(obj->compressor, method, level);
    obj->header.SetU8(kHdrCompression, static_cast<uint8_t>(method));
    WriteHeaderField(obj, kHdrCompression, 1);
    return 0;
}

int txw_ParseCompression(const char *text, uint32_t *method, int *level) {
    CompressionChoice choice;
    if (!ParseCompressionChoice(text, &choice)) {
        return TXW_ERROR;
    }
    *method = choice.method;
    *level = choice.level;
    return 0;
}

}  // extern "C"
