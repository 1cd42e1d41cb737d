// libFuzzer target over the reader: the input is taken as a database file,
// opened, and everything there is to read is read: header, environment
// record, trees, sessions, chains, every change (walked and all at once)
// and the structural checks. Any crash, hang, leak or out-of-bounds read is
// a finding; error statuses are the expected outcome for most inputs.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tavri/trax_reader.h"

namespace {

const std::string &InputPath() {
    static const std::string path = "/tmp/tavri_fuzz_" + std::to_string(::getpid()) + ".trax";
    return path;
}

void ReadEverything(traxrReader *reader) {
    const traxrHeader *header = traxr_GetHeader(reader);
    (void)traxr_FileTypeName(header->file_type);
    traxrEnvRecord env;
    traxr_GetEnvRecord(reader, &env);
    (void)traxr_Annotation(reader);
    for (uint32_t i = 0; i < traxr_ScopeCount(reader); ++i) {
        traxrScope scope;
        traxr_GetScope(reader, i, &scope);
    }
    for (uint32_t i = 0; i < traxr_VarCount(reader); ++i) {
        traxrVar var;
        traxr_GetVar(reader, i, &var);
    }
    for (uint32_t s = 0; s < traxr_SessionCount(reader); ++s) {
        traxrSession session;
        traxr_GetSession(reader, s, &session);
    }
    for (uint32_t i = 0; i < traxr_StringCount(reader); ++i) (void)traxr_String(reader, i);

    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(reader, nullptr, 0, 0, UINT64_MAX, &walk) == TRAXR_OK) {
        uint32_t idcode;
        traxrChange change;
        while (traxr_WalkNext(walk, &idcode, &change) == TRAXR_OK) {
        }
        traxr_CloseWalk(walk);
    }
    const uint32_t chosen[] = {1, 2};
    if (traxr_OpenWalk(reader, chosen, 2, 1, 100, &walk) == TRAXR_OK) {
        uint32_t idcode;
        traxrChange change;
        while (traxr_WalkNext(walk, &idcode, &change) == TRAXR_OK) {
        }
        traxr_CloseWalk(walk);
    }
    traxrChangeSet *set = nullptr;
    traxr_ReadAllChanges(reader, &set);
    traxr_FreeChangeSet(set);
    const uint32_t idcodes = traxr_ChainTableSize(reader);
    for (uint32_t idcode = 0; idcode < idcodes && idcode < 16; ++idcode) {
        traxrChangeList *list = nullptr;
        traxr_ReadChanges(reader, idcode, &list);
        traxr_FreeChangeList(list);
        traxrChainEntry *entries = nullptr;
        uint32_t count = 0;
        traxr_ReadChainEntries(reader, idcode, &entries, &count);
        traxr_FreeChainEntries(entries);
    }
    traxr_Check(reader, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string &path = InputPath();
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    traxrHeader header;
    traxr_ReadHeader(path.c_str(), &header, nullptr, 0);
    traxrReader *reader = nullptr;
    char message[256];
    if (traxr_Open(path.c_str(), &reader, message, sizeof message) == TRAXR_OK) {
        ReadEverything(reader);
        traxr_Close(reader);
    }
    std::remove(path.c_str());
    return 0;
}
