#include "writer/strings.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "writer/fix_pool.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/two_g_guard.h"
#include "writer/region.h"
#include "writer/var_map.h"
#include "writer/vc.h"
#include "writer/write_all.h"

using namespace tavri::writer;

namespace {

constexpr const char *kSource = "datatype";

bool SameText(const void *element, const void *key) {
    return std::strcmp(static_cast<const StringRecord *>(element)->text,
                       static_cast<const StringRecord *>(key)->text) == 0;
}

uint32_t HashRecordText(const void *record, const traxHashTable * /*table*/) {
    return HashString(static_cast<const StringRecord *>(record)->text);
}

StringTable *Strings(txwObject *obj) {
    if (obj->strings != nullptr) {
        return obj->strings;
    }
    auto *strings = new (std::nothrow) StringTable;
    if (strings != nullptr) {
        strings->pool = traxFixPool_Create("StrElemPool", sizeof(StringRecord));
        strings->region = RegionOpen("StrVM");
        if (strings->pool != nullptr && strings->region != nullptr &&
            traxHash_Init(&strings->table, 2048, 2, offsetof(StringRecord, link), SameText, HashRecordText,
                          nullptr, 0)) {
            obj->strings = strings;
            return strings;
        }
        if (strings->pool != nullptr) traxFixPool_Destroy(strings->pool);
        if (strings->region != nullptr) RegionClose(strings->region);
        delete strings;
    }
    Warn("txwCreateStrValByVarIdcode: allocating data structures failed.\n");
    return nullptr;
}

// The record of a text, created (with the next id) when it is new.
StringRecord *Intern(StringTable *strings, const char *text) {
    StringRecord key{};
    key.text = const_cast<char *>(text);
    if (auto *found = static_cast<StringRecord *>(traxHash_Lookup(&strings->table, &key))) {
        return found;
    }
    auto *record = static_cast<StringRecord *>(traxFixPool_Get(strings->pool));
    const size_t length = std::strlen(text) + 1;
    char *copy = record != nullptr
                     ? static_cast<char *>(RegionTryMalloc(strings->region, length, kSource, __LINE__))
                     : nullptr;
    if (copy == nullptr) {
        if (record != nullptr) traxFixPool_Put(strings->pool, record);
        Warn("Failed to create a string.\n");
        return nullptr;
    }
    std::memcpy(copy, text, length);
    std::memset(record, 0, sizeof *record);
    record->text = copy;
    const uint32_t before = strings->table.count;
    record->id = before;
    if (!traxHash_InsertAfterProbe(&strings->table, record)) {
        Warn("Failed to create a string.\n");
        return nullptr;
    }
    TXW_ASSERT(strings->table.count == before + 1, kSource);
    if (strings->new_tail != nullptr) {
        strings->new_tail->next_new = record;
    } else {
        strings->new_head = record;
    }
    strings->new_tail = record;
    return record;
}

}  // namespace

namespace tavri::writer {

uint32_t HashString(const char *text) {
    if (text == nullptr) {
        return 0;
    }
    uint32_t hash = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        hash = hash * 9 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*c)));
    }
    return hash * 1103515245u;
}

int AppendNewStrings(txwObject *obj) {
    StringTable *strings = obj->strings;
    if (strings == nullptr || strings->new_head == nullptr) {
        return 0;
    }
    if (obj->string_file == platform::kNoFile) {
        const std::string name = obj->file_name + ".str";
        obj->string_file = platform::CreateFile(name.c_str());
        if (obj->string_file < 0) {
            Warn("Failed to open the string file named %s\n", name.c_str());
            return TXW_CANNOT_OPEN_FILE;
        }
    }
    platform::SeekEnd(obj->string_file);
    for (StringRecord *record = strings->new_head; record != nullptr; record = record->next_new) {
        const auto length = static_cast<uint32_t>(std::strlen(record->text) + 1);
        WriteAll(obj->string_file, record->text, length);
        obj->header.AddU32(kHdrStringListSize, length);
        obj->header.AddU32(kHdrStringCount, 1);
    }
    strings->new_head = strings->new_tail = nullptr;
    return 0;
}

void DestroyStrings(txwObject *obj) {
    StringTable *strings = obj->strings;
    if (strings == nullptr) {
        return;
    }
    traxHash_Free(&strings->table);
    traxFixPool_Destroy(strings->pool);
    RegionClose(strings->region);
    delete strings;
    obj->strings = nullptr;
}

}  // namespace tavri::writer

extern "C" {

int txwCreateStrValByVarIdcode(txwObject *obj, int32_t idcode, const char *text, const char **stored) {
    if (stored != nullptr) {
        *stored = nullptr;
    }
    obj = WriterForChange(obj);  // the 2 GB guard may move the run to another writer
    if (obj == nullptr) {
        return 0;
    }
    IncoreVar *var = StringTarget(obj, idcode);
    if (var == nullptr) {
        return 0;
    }
    TXW_ASSERT((var->flags & kVarBytesPerBitMask) == 2 && var->value_size == 4, kSource);
    var->value_format = kFormatNormalBus;
    ++obj->changes_since_xtag;
    StringTable *strings = Strings(obj);
    if (strings == nullptr) {
        return 0;
    }
    StringRecord *record = Intern(strings, text != nullptr ? text : "");
    if (record == nullptr) {
        Warn("Failed to create a string.\n");
        return 0;
    }
    if (stored != nullptr) {
        *stored = record->text;
    }
    return RecordStringId(obj, *var, record->id);
}

int txw_CreateStrValByVarHdl(txwObject *obj, txwHandle handle, const char *text, const char **stored) {
    txwVarMapRec *record = nullptr;
    if (LookupVarMap(obj, handle, &record) != 0 || record->idcode < 0) {
        if (stored != nullptr) {
            *stored = nullptr;
        }
        return 0;
    }
    return txwCreateStrValByVarIdcode(obj, record->idcode, text, stored);
}

}  // extern "C"
