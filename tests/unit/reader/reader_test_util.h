// Opening files and collecting value changes in the reader's tests.
#ifndef TAVRI_TESTS_UNIT_READER_READER_TEST_UTIL_H
#define TAVRI_TESTS_UNIT_READER_READER_TEST_UTIL_H

#include <cstdint>
#include <string>
#include <vector>

#include "tavri/trax_reader.h"
#include "trax_builder.h"

namespace tavri::reader_test {

// An open attempt; the handle is closed with the object.
class Opened {
  public:
    explicit Opened(const std::string &path) {
        status = traxr_Open(path.c_str(), &reader, message, sizeof message);
    }
    ~Opened() { traxr_Close(reader); }
    Opened(const Opened &) = delete;
    Opened &operator=(const Opened &) = delete;

    traxrReader *reader = nullptr;
    traxrStatus status = TRAXR_OK;
    char message[512] = {};
};

inline std::string PathFor(const std::string &name) { return TempDir() + "/" + name; }

// A change flattened for comparisons: logic values as text, 0 1 x z and
// '?' for other codes, most significant bit first.
struct Value {
    uint64_t time = 0;
    uint32_t session = 0;
    int kind = TRAXR_VALUE_RAW;
    std::string bits;
    double real = 0;
    std::string text;
    bool has_seq = false;
    uint32_t seq = 0;
    std::vector<uint8_t> raw;
    bool compact = false;
};

inline Value Flatten(const traxrChange &c) {
    Value v;
    v.time = c.time;
    v.session = c.session;
    v.kind = c.kind;
    for (uint32_t i = 0; i < c.bit_count; ++i) v.bits += c.bits[i] < 4 ? "01xz"[c.bits[i]] : '?';
    v.real = c.real;
    if (c.text != nullptr) v.text = c.text;
    v.has_seq = c.has_sequence != 0;
    v.seq = c.sequence;
    v.raw.assign(c.raw, c.raw + c.raw_length);
    v.compact = c.compact != 0;
    return v;
}

inline std::vector<Value> Flatten(const traxrChangeList *list) {
    std::vector<Value> values;
    for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
        traxrChange change;
        if (traxr_GetChange(list, i, &change) == TRAXR_OK) values.push_back(Flatten(change));
    }
    return values;
}

// The idcode's changes; `status` receives the call's result.
inline std::vector<Value> ReadValues(traxrReader *reader, uint32_t idcode,
                                     traxrStatus *status = nullptr) {
    traxrChangeList *list = nullptr;
    const traxrStatus result = traxr_ReadChanges(reader, idcode, &list);
    if (status != nullptr) *status = result;
    std::vector<Value> values = Flatten(list);
    traxr_FreeChangeList(list);
    return values;
}

}  // namespace tavri::reader_test

#endif
