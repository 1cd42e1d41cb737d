// The var map: simulator handle -> var map record (idcode, width, type), so
// that variables and value changes can be created by handle and a second
// name for the same simulator object becomes an alias.
#ifndef TAVRI_WRITER_VAR_MAP_H
#define TAVRI_WRITER_VAR_MAP_H

#include <cstdint>

#include "tavri/txw.h"

namespace tavri::writer {

struct traxHashTable;

uint32_t HashHandle(txwHandle handle);

// 0 and the record, or -1 and null. A miss leaves the table ready for
// InsertVarMapAfterProbe.
int LookupVarMap(txwObject *obj, txwHandle handle, txwVarMapRec **record);

// Inserts a record for the handle whose lookup just failed. 0 or -3.
int InsertVarMapAfterProbe(txwObject *obj, txwHandle handle, int32_t idcode, txwVarMapRec **record);

void DestroyVarMap(txwObject *obj);

}  // namespace tavri::writer

#endif
