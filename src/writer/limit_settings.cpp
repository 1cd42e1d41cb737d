#include "writer/limit_settings.h"

#include <algorithm>

#include "writer/env_registry.h"
#include "writer/flush_session.h"
#include "writer/header_layout.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/ring.h"
#include "writer/stop_limit.h"
#include "writer/vc_mem_pool.h"

using namespace tavri::writer;

namespace {

enum class LimitKind { kDump, kStop };

// The refusals both limits share; each leaves the writer unchanged.
bool Refused(const txwObject *obj, LimitKind kind) {
    const char *api = kind == LimitKind::kDump ? "txw_SetDumpLimit" : "txw_SetLifoDumpLimit";
    if (obj->limited_file_size != 0) {
        Warn("Dump limit cannot be used with auto switch file. Return!\n");
        return true;
    }
    if (obj->last_tree != nullptr || obj->tree_nesting != 0) {
        Warn("%s() must be called before txw_BeginTree(). Return!\n", api);
        return true;
    }
    if (kind == LimitKind::kDump && obj->dump_limit != 0) {
        Warn("txw_SetDumpLimit() has been called. Return!\n");
        return true;
    }
    if (kind == LimitKind::kDump && obj->stop_limit != 0) {
        Warn("txw_SetDumpLimit(): a stop limit is set; the two limits cannot be combined. Return!\n");
        return true;
    }
    if (kind == LimitKind::kStop && (obj->stop_limit != 0 || obj->dump_limit != 0)) {
        Warn("txw_SetLifoDumpLimit() has been called. Return!\n");
        return true;
    }
    return false;
}

uint32_t ClampedLimit(const txwObject *obj, uint32_t megabytes) {
    if (megabytes < kMinSizeLimitMB) {
        Warn("Mininum dumplimit size is %uMB.\n", kMinSizeLimitMB);
        Warn("Current dumplimit size %uMB is too small. Use %uMB instead\n", megabytes, kMinSizeLimitMB);
        return kMinSizeLimitMB;
    }
    if (obj->header.U8(kHdrPointerLength) == 4 && megabytes > kMaxSizeLimitMB) {
        Warn("Maximum dumplimit size is %uMB on 32-bit machines.\n", kMaxSizeLimitMB);
        Warn("Current dumplimit size %uMB is too large. Use %uMB instead.\n", megabytes, kMaxSizeLimitMB);
        return kMaxSizeLimitMB;
    }
    return megabytes;
}

}  // namespace

namespace tavri::writer {

void CapMemoryForSizeLimit(txwObject *obj) {
    const uint32_t limit = obj->dump_limit != 0 ? obj->dump_limit : obj->stop_limit;
    if (limit == 0 || obj->vc_memory == nullptr || TXW_GETENV("TRAX_ENV_WRITER_MEM_LIMIT") != nullptr) {
        return;
    }
    const uint32_t cap = std::max(kMinMemLimit, limit / 4);
    if (obj->vc_memory->limit > cap) {
        SetValueChangeMemLimit(obj, cap);
    }
}

}  // namespace tavri::writer

extern "C" {

int txw_SetDumpLimit(txwObject *obj, uint32_t megabytes) {
    if (Refused(obj, LimitKind::kDump)) {
        return TXW_ERROR;
    }
    const uint32_t limit = ClampedLimit(obj, megabytes);
    const std::string name = obj->file_name + ".rlist";
    obj->redundant_list_file = tavri::platform::CreateFile(name.c_str());
    if (obj->redundant_list_file == tavri::platform::kNoFile) {
        Warn("trax writer: Failed to open redundant vc chain list file(%s)\n", name.c_str());
        Warn("Dump limit is not turned on\n");
        return TXW_CANNOT_OPEN_FILE;
    }
    obj->ring = CreateRing();
    if (obj->ring == nullptr) {
        Warn("Memory resources exhausted!\n");
        tavri::platform::Close(obj->redundant_list_file);
        obj->redundant_list_file = tavri::platform::kNoFile;
        tavri::platform::Remove(name.c_str());
        return TXW_NO_MEMORY;
    }
    obj->dump_limit = limit;
    obj->header.SetU32(kHdrDumpLimit, limit);
    obj->ring->start_requested = true;
    SessionFlush(obj);
    return TXW_OK;
}

int txw_SetLifoDumpLimit(txwObject *obj, uint32_t megabytes) {
    if (Refused(obj, LimitKind::kStop)) {
        return TXW_ERROR;
    }
    obj->stop_limit = ClampedLimit(obj, megabytes);
    obj->stop_position = (static_cast<Uoff>(obj->stop_limit) << 20) - kStopMargin;
    SessionFlush(obj);
    return TXW_OK;
}

}  // extern "C"
