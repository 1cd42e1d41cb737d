// Writing files with the writer and reading them back with the reader.
#ifndef TAVRI_TESTS_UNIT_ROUNDTRIP_ROUNDTRIP_UTIL_H
#define TAVRI_TESTS_UNIT_ROUNDTRIP_ROUNDTRIP_UTIL_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tavri/trax_reader.h"
#include "tavri/txw.h"
#include "writer/object_lifecycle.h"

namespace tavri::test {

// One change as the reader decodes it: logic values as 0 1 x z text, most
// significant bit first; reals and strings in their own fields.
struct Seen {
    uint64_t time = 0;
    std::string bits;
    double real = 0;
    std::string text;
    uint32_t sequence = 0;
    uint32_t session = 0;
    bool operator==(const Seen &other) const {
        return time == other.time && bits == other.bits && real == other.real && text == other.text;
    }
};

inline std::ostream &operator<<(std::ostream &out, const Seen &seen) {
    out << "{" << seen.time << ": ";
    if (!seen.bits.empty()) out << seen.bits;
    if (!seen.text.empty()) out << '"' << seen.text << '"';
    if (seen.bits.empty() && seen.text.empty()) out << seen.real;
    return out << "}";
}

inline Seen At(uint64_t time, std::string bits) {
    Seen seen;
    seen.time = time;
    seen.bits = std::move(bits);
    return seen;
}

inline Seen RealAt(uint64_t time, double value) {
    Seen seen;
    seen.time = time;
    seen.real = value;
    return seen;
}

inline Seen TextAt(uint64_t time, std::string text) {
    Seen seen;
    seen.time = time;
    seen.text = std::move(text);
    return seen;
}

// An open reader; status and message of the open are kept.
class Reading {
  public:
    explicit Reading(const std::string &path) {
        status = traxr_Open(path.c_str(), &reader, message, sizeof message);
    }
    ~Reading() { traxr_Close(reader); }
    Reading(const Reading &) = delete;
    Reading &operator=(const Reading &) = delete;

    std::vector<Seen> Changes(uint32_t idcode) {
        std::vector<Seen> out;
        traxrChangeList *list = nullptr;
        const traxrStatus read = traxr_ReadChanges(reader, idcode, &list);
        EXPECT_EQ(read, TRAXR_OK) << traxr_LastMessage(reader);
        if (read != TRAXR_OK) {
            return out;
        }
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change{};
            EXPECT_EQ(traxr_GetChange(list, i, &change), TRAXR_OK);
            Seen seen;
            seen.time = change.time;
            seen.sequence = change.sequence;
            seen.session = change.session;
            if (change.kind == TRAXR_VALUE_LOGIC) {
                for (uint32_t b = 0; b < change.bit_count; ++b) {
                    seen.bits += "01xz"[change.bits[b] & 3];
                }
            } else if (change.kind == TRAXR_VALUE_REAL) {
                seen.real = change.real;
            } else if (change.kind == TRAXR_VALUE_STRING) {
                seen.text = change.text != nullptr ? change.text : "";
            }
            out.push_back(seen);
        }
        traxr_FreeChangeList(list);
        return out;
    }

    const traxrHeader &Header() const { return *traxr_GetHeader(reader); }

    // The variable records of an idcode, as "scope.path.name".
    std::vector<std::string> Names(uint32_t idcode) {
        std::vector<std::string> names;
        for (uint32_t k = 0; k < traxr_NameCount(reader, idcode); ++k) {
            uint32_t index = 0;
            if (traxr_GetName(reader, idcode, k, &index) != TRAXR_OK) {
                continue;
            }
            traxrVar var{};
            traxr_GetVar(reader, index, &var);
            std::string path = var.name;
            for (uint32_t scope = var.scope; scope != TRAXR_NONE;) {
                traxrScope record{};
                traxr_GetScope(reader, scope, &record);
                path = std::string(record.name) + "." + path;
                scope = record.parent;
            }
            names.push_back(path);
        }
        return names;
    }

    traxrReader *reader = nullptr;
    traxrStatus status = TRAXR_OK;
    char message[512] = {};
};

class RoundTripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tavri_rt_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "rt.trax").string();
    }
    void TearDown() override {
        tavri::writer::FreeParkedObject();
        std::filesystem::remove_all(dir_);
    }

    txwObject *Open() {
        txwObject *obj = txw_OpenFile(path_.c_str(), TXW_FILE_VERILOG);
        EXPECT_NE(obj, nullptr);
        return obj;
    }
    static void Scope(txwObject *obj, const char *name, uint8_t type = 0) {
        txwScopeDesc scope{name, nullptr, nullptr, 0, type};
        ASSERT_EQ(txw_CreateScope(obj, &scope), 0);
    }
    static void Scalar(txwObject *obj, int32_t idcode, uint8_t value) {
        txw_CreateVarValueByIdcode(obj, idcode, &value, 1);
    }
    // A normal-bus value from 0 1 x z text, most significant bit first.
    static void Bus(txwObject *obj, int32_t idcode, const std::string &bits) {
        std::vector<uint8_t> bytes;
        for (char bit : bits) {
            bytes.push_back(static_cast<uint8_t>(bit == '0' ? 0 : bit == '1' ? 1 : bit == 'x' ? 2 : 3));
        }
        txw_CreateVarValueByIdcode(obj, idcode, bytes.data(), static_cast<uint32_t>(bits.size()));
    }
    // An A/B value from 0 1 x z text.
    static void ABBus(txwObject *obj, int32_t idcode, const std::string &bits) {
        const size_t width = bits.size();
        std::vector<uint32_t> words(((width - 1) / 32 + 1) * 2, 0);
        for (size_t i = 0; i < width; ++i) {
            const char bit = bits[width - 1 - i];
            const uint32_t mask = 1u << (i % 32);
            uint32_t &a = words[(i / 32) * 2];
            uint32_t &b = words[(i / 32) * 2 + 1];
            if (bit == '1' || bit == 'x') a |= mask;
            if (bit == 'z' || bit == 'x') b |= mask;
        }
        txw_CreateABBusValueByIdcode(obj, idcode, words.data(), static_cast<uint32_t>(width));
    }

    std::filesystem::path dir_;
    std::string path_;
};

}  // namespace tavri::test

#endif
