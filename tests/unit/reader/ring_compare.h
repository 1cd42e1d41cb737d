// Comparing a file written under a dump limit (a ring) with the same stream
// written without one. From the ring's first time F (its minimum xtag) on,
// each idcode's changes in the ring are those of the unlimited file at F and
// later, preceded, when the variable had a value before F and no change at
// F, by that value at F and marked redundant; no other change is marked
// redundant. Changes at
// `hidden_from` and later (a live ring's last step) are not compared.
// Only the reader's public calls are used, so that writer-side tests can
// compare real files the same way.
#ifndef TAVRI_TESTS_UNIT_READER_RING_COMPARE_H
#define TAVRI_TESTS_UNIT_READER_RING_COMPARE_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tavri/trax_reader.h"

namespace tavri::reader_test {

struct ShownChange {
    uint64_t time = 0;
    int kind = TRAXR_VALUE_RAW;
    std::vector<uint8_t> value;  // bits, the double's bytes, the text, or the raw bytes
    bool redundant = false;
};

inline ShownChange Shown(const traxrChange &c) {
    ShownChange s;
    s.time = c.time;
    s.kind = c.kind;
    s.redundant = c.redundant != 0;
    switch (c.kind) {
        case TRAXR_VALUE_LOGIC:
            s.value.assign(c.bits, c.bits + c.bit_count);
            break;
        case TRAXR_VALUE_REAL: {
            const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&c.real);
            s.value.assign(bytes, bytes + sizeof c.real);
            break;
        }
        case TRAXR_VALUE_STRING:
            if (c.text != nullptr) s.value.assign(c.text, c.text + std::char_traits<char>::length(c.text));
            break;
        default:
            s.value.assign(c.raw, c.raw + c.raw_length);
            break;
    }
    return s;
}

// Every change of the idcode through traxr_ReadChanges; *failed set when the
// read fails.
inline std::vector<ShownChange> ShownChanges(traxrReader *reader, uint32_t idcode,
                                             std::string *failed) {
    std::vector<ShownChange> out;
    traxrChangeList *list = nullptr;
    const traxrStatus status = traxr_ReadChanges(reader, idcode, &list);
    if (status != TRAXR_OK) {
        *failed = "idcode " + std::to_string(idcode) + ": " + traxr_LastMessage(reader);
        return out;
    }
    for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
        traxrChange change;
        traxr_GetChange(list, i, &change);
        out.push_back(Shown(change));
    }
    traxr_FreeChangeList(list);
    return out;
}

// "" when the ring shows what it should, else the first difference.
inline std::string CompareRingWithUnlimited(traxrReader *ring, traxrReader *unlimited,
                                            uint64_t hidden_from = UINT64_MAX) {
    uint64_t first = 0;
    if (traxr_FirstTime(ring, &first) != 1) return "the ring file has no first time";
    const uint32_t idcodes = traxr_ChainTableSize(unlimited);
    if (traxr_ChainTableSize(ring) != idcodes) {
        return "the chain tables differ: " + std::to_string(traxr_ChainTableSize(ring)) +
               " and " + std::to_string(idcodes) + " idcodes";
    }
    for (uint32_t idcode = 0; idcode < idcodes; ++idcode) {
        std::string failed;
        const std::vector<ShownChange> all = ShownChanges(unlimited, idcode, &failed);
        const std::vector<ShownChange> got = ShownChanges(ring, idcode, &failed);
        if (!failed.empty()) return failed;
        std::vector<ShownChange> expected;
        for (const ShownChange &c : all) {
            if (c.time >= hidden_from) break;
            if (c.time < first) {
                expected.assign(1, c);
                expected[0].time = first;
                expected[0].redundant = true;
            } else {
                if (c.time == first && !expected.empty() && expected[0].redundant) {
                    expected.clear();
                }
                expected.push_back(c);
            }
        }
        const std::string name = "idcode " + std::to_string(idcode) + ": ";
        for (size_t i = 0; i < std::max(expected.size(), got.size()); ++i) {
            if (i >= got.size()) {
                return name + "the ring lacks the change at " + std::to_string(expected[i].time);
            }
            if (i >= expected.size()) {
                return name + "the ring has an extra change at " + std::to_string(got[i].time);
            }
            const ShownChange &e = expected[i];
            const ShownChange &g = got[i];
            if (e.time != g.time || e.kind != g.kind || e.value != g.value ||
                e.redundant != g.redundant) {
                return name + "change " + std::to_string(i) + " differs: expected time " +
                       std::to_string(e.time) + (e.redundant ? " (redundant)" : "") +
                       ", the ring has time " + std::to_string(g.time) +
                       (g.redundant ? " (redundant)" : "") +
                       (e.value != g.value ? " with another value" : "");
            }
        }
    }
    return "";
}

}  // namespace tavri::reader_test

#endif
