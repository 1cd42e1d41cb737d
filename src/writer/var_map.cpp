#include "writer/var_map.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "writer/fix_pool.h"
#include "writer/hash_table.h"
#include "writer/incore_var.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/tree.h"

using namespace tavri::writer;

namespace {

constexpr int kVarMapBuckets = 2048;
constexpr int kVarMapLoadFactor = 2;

bool SameHandle(const void *element, const void *key) {
    return static_cast<const txwVarMapRec *>(element)->handle ==
           static_cast<const txwVarMapRec *>(key)->handle;
}

uint32_t HashRecord(const void *record, const traxHashTable * /*table*/) {
    return HashHandle(static_cast<const txwVarMapRec *>(record)->handle);
}

}  // namespace

namespace tavri::writer {

// Handles are usually aligned addresses: their low zero bits carry nothing.
uint32_t HashHandle(txwHandle handle) {
    const auto h = reinterpret_cast<uintptr_t>(handle);
    if ((h & 0xFu) == 0) {
        return static_cast<uint32_t>(h >> 4);
    }
    if ((h & 0x3u) != 0) {
        return static_cast<uint32_t>(h);
    }
    return static_cast<uint32_t>(h >> 2);
}

int LookupVarMap(txwObject *obj, txwHandle handle, txwVarMapRec **record) {
    *record = nullptr;
    if (obj->var_map == nullptr) {
        return TXW_ERROR;
    }
    txwVarMapRec key{};
    key.handle = handle;
    *record = static_cast<txwVarMapRec *>(traxHash_Lookup(obj->var_map, &key));
    return *record != nullptr ? 0 : TXW_ERROR;
}

int InsertVarMapAfterProbe(txwObject *obj, txwHandle handle, int32_t idcode, txwVarMapRec **record) {
    *record = nullptr;
    auto *entry = static_cast<txwVarMapRec *>(traxFixPool_Get(obj->var_map_pool));
    if (entry == nullptr) {
        Warn("CreateVarMapAfterProbe(): Memory resources exhausted.\n");
        return TXW_NO_MEMORY;
    }
    std::memset(entry, 0, sizeof *entry);
    entry->handle = handle;
    entry->idcode = idcode;
    if (!traxHash_InsertAfterProbe(obj->var_map, entry)) {
        traxFixPool_Put(obj->var_map_pool, entry);
        Warn("CreateVarMapAfterProbe(): Memory resources exhausted.\n");
        return TXW_NO_MEMORY;
    }
    *record = entry;
    return 0;
}

void DestroyVarMap(txwObject *obj) {
    if (obj->var_map != nullptr) {
        traxHash_Free(obj->var_map);
        delete obj->var_map;
        obj->var_map = nullptr;
    }
    if (obj->var_map_pool != nullptr) {
        traxFixPool_Destroy(obj->var_map_pool);
        obj->var_map_pool = nullptr;
    }
}

}  // namespace tavri::writer

extern "C" {

int txwCreateTreeByHandleScheme(txwObject *obj) {
    obj->handle_scheme = 1;
    if (obj->var_map != nullptr) {
        return 0;
    }
    obj->var_map_pool = traxFixPool_Create("var_map_pool", sizeof(txwVarMapRec));
    obj->var_map = new (std::nothrow) traxHashTable{};
    if (obj->var_map_pool == nullptr || obj->var_map == nullptr ||
        !traxHash_Init(obj->var_map, kVarMapBuckets, kVarMapLoadFactor,
                       offsetof(txwVarMapRec, next), SameHandle, HashRecord, nullptr, 0)) {
        Warn("txwCreateTreeByHandleScheme(): Memory resources exhausted.\n");
        DestroyVarMap(obj);
        return TXW_NO_MEMORY;
    }
    return 0;
}

int32_t txwGetVarIdcodeByVarHdl(txwObject *obj, txwHandle handle) {
    txwVarMapRec *record = nullptr;
    return LookupVarMap(obj, handle, &record) == 0 ? record->idcode : TXW_ERROR;
}

txwVarMapRec *txw_GetVarMapRecByHdl(txwObject *obj, txwHandle handle) {
    txwVarMapRec *record = nullptr;
    LookupVarMap(obj, handle, &record);
    return record;
}

void txw_ForEachVarMapRec(txwObject *obj, txwVarMapVisitor visit, void *user_data) {
    if (obj->var_map == nullptr) {
        return;
    }
    traxHashWalk walk;
    traxHash_WalkBegin(obj->var_map, &walk);
    while (void *element = traxHash_WalkNext(&walk)) {
        visit(static_cast<txwVarMapRec *>(element), user_data);
    }
}

int txwGetBpbByVarHdl(txwObject *obj, txwHandle handle, uint8_t *code) {
    const int32_t idcode = txwGetVarIdcodeByVarHdl(obj, handle);
    if (idcode == TXW_ERROR) {
        Warn("txwGetVarIdcodeByVarHdl() failed in txwGetBpbByVarHdl()!\n");
        return TXW_ERROR;
    }
    const IncoreVar *var = FindIncoreVar(obj, idcode < 0 ? -idcode : idcode);
    if (var == nullptr) {
        Warn("GetVarByVarIdcode() failed in txwGetBpbByVarHdl()!\n");
        return TXW_ERROR;
    }
    *code = static_cast<uint8_t>(var->flags & kVarBytesPerBitMask);
    return 0;
}

void txw_DisableVarRec(txwObject * /*obj*/, txwVarMapRec *record) {
    if (record->idcode > 0) {
        record->idcode = -record->idcode;
    }
}

void txw_EnableVarRec(txwObject * /*obj*/, txwVarMapRec *record) {
    if (record->idcode < 0) {
        record->idcode = -record->idcode;
    }
}

int txw_IsVarRecEnabled(txwObject * /*obj*/, const txwVarMapRec *record) { return record->idcode > 0; }

}  // extern "C"
