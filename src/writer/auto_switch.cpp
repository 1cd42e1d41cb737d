#include "writer/auto_switch.h"

#include <cstdlib>

#include "platform/file_io.h"
#include "writer/env_registry.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/record_size.h"
#include "writer/vc_mem_pool.h"

using namespace tavri::writer;

namespace {

constexpr const char *kSource = "auto_switch";

// The callback writes time tags into the old and the new file; those must
// not call it again.
bool g_in_callback = false;

uint32_t ClampLimit(uint32_t megabytes) {
    if (megabytes < kMinLimitedFileMB) {
        Warn("User defined limited file size is too small(%u), use %u instead.\n", megabytes, kMinLimitedFileMB);
        return kMinLimitedFileMB;
    }
    if (megabytes > kMaxLimitedFileMB) {
        Warn("Maximum user defined limited file size is %uMB on 32-bit machines!\n", kMaxLimitedFileMB);
        Warn("Current limited file size %uMB is too large. Use %uMB instead.\n", megabytes, kMaxLimitedFileMB);
        return kMaxLimitedFileMB;
    }
    return megabytes;
}

}  // namespace

namespace tavri::writer {

void CheckAutoSwitch(txwObject *obj) {
    if (obj->limited_file_size == 0 || obj->auto_switch_callback == nullptr || g_in_callback) {
        return;
    }
    TXW_ASSERT(obj->header.U8(kHdrMaxXtagWasReset) == 0, kSource);
    const int64_t room = static_cast<int64_t>(obj->limited_file_size) - static_cast<int64_t>(obj->file_high_water);
    if (room > kAutoSwitchRoom) {
        return;
    }
    txwAutoSwitchInfo info{};
    info.writer = obj;
    info.xtag_high = obj->header.U32(kHdrMaxXtag);
    info.xtag_low = obj->header.U32(kHdrMaxXtag + 4);
    info.max_var_idcode = obj->header.U32(kHdrMaxVarIdcode);
    info.limit_too_small = obj->header.U32(kHdrMaxXtagIdx) == 2 ? 1 : 0;
    g_in_callback = true;
    obj->auto_switch_callback(&info, obj->auto_switch_data);
    g_in_callback = false;
}

}  // namespace tavri::writer

extern "C" txwObject *txwOpenAutoSwitchFile(const void *param) {
    txwAutoSwitchParam widened{};
    const void *record = nullptr;
    if (CheckRecordSize(nullptr, param, sizeof(txwAutoSwitchParam), &widened, &record) != 0) {
        return nullptr;
    }
    const auto &use = *static_cast<const txwAutoSwitchParam *>(record);
    if (const char *log_name = TXW_GETENV("TXW_ENV_DBG"); log_name != nullptr) {
        tavri::platform::Remove(log_name);
    }
    txwOpenParam open{};
    open.size = sizeof open;
    open.file_name = use.file_name;
    open.scope_separator = use.scope_separator;
    open.scale_unit = use.scale_unit;
    open.simulation_date = use.simulation_date;
    open.simulator_version = use.simulator_version;
    open.file_type = use.file_type;
    txwObject *obj = nullptr;
    const int status = txwOpenFile2(&open, &obj);
    if (status == TXW_NO_MEMORY) {
        Warn("Memory resource exhausted.\n");
        Warn("txwOpenAutoSwitchFile(): failed to allocate an object.\n");
    }
    if (obj == nullptr) {
        return nullptr;
    }
    const char *memory = TXW_GETENV("TRAX_ENV_WRITER_MEM_LIMIT");
    SetValueChangeMemLimit(obj, memory != nullptr ? static_cast<uint32_t>(std::strtoul(memory, nullptr, 10))
                                                  : kAutoSwitchMemLimitMB);
    obj->limited_file_size = ClampLimit(use.limit_mb) << 20;
    obj->auto_switch_callback = use.callback;
    obj->auto_switch_data = use.callback_data;
    return obj;
}
