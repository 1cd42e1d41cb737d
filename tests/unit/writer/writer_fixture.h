// Shared set-up of the writer tests: a scratch directory, captured writer
// messages, and helpers to read what reached the disk.
#ifndef TAVRI_TESTS_WRITER_FIXTURE_H
#define TAVRI_TESTS_WRITER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <lzo/lzo1b.h>

#include "tavri/txw.h"
#include "writer/object.h"
#include "writer/object_lifecycle.h"

namespace tavri::test {

// The status a parent sees for exit(code): its low 8 bits on POSIX, the
// whole 32-bit code on Windows.
constexpr int ExitStatusOf(int code) {
#ifdef _WIN32
    return code;
#else
    return code & 0xFF;
#endif
}

inline std::vector<std::string> &CapturedWarnings() {
    static std::vector<std::string> messages;
    return messages;
}

inline void CaptureWarning(const char *text) { CapturedWarnings().emplace_back(text); }

inline std::vector<uint8_t> ReadFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t LoadU32(const std::vector<uint8_t> &bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

inline uint16_t LoadU16(const std::vector<uint8_t> &bytes, size_t offset) {
    uint16_t value;
    std::memcpy(&value, bytes.data() + offset, 2);
    return value;
}

// The blocks of a list, read back from the file bytes and decompressed one
// after another: the stream as it was written.
inline std::vector<uint8_t> StreamOf(const std::vector<uint8_t> &file,
                                     const tavri::writer::BlockList &blocks) {
    std::vector<uint8_t> stream;
    for (const tavri::writer::BlockNode *node = blocks.head; node != nullptr; node = node->next) {
        const auto &layout = node->layout;
        EXPECT_LE(layout.offset + layout.stored_length, file.size());
        if (layout.offset + layout.stored_length > file.size()) {
            break;
        }
        std::vector<uint8_t> block(0x100000);
        lzo_uint produced = block.size();
        EXPECT_EQ(lzo1b_decompress_safe(file.data() + layout.offset, layout.stored_length, block.data(),
                                        &produced, nullptr),
                  LZO_E_OK);
        stream.insert(stream.end(), block.begin(), block.begin() + static_cast<long>(produced));
    }
    return stream;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_.c_str(), old_.c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

  private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

class WriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tavri_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        CapturedWarnings().clear();
        txw_SetMessageHooks(CaptureWarning, nullptr, nullptr);
    }

    void TearDown() override {
        txw_SetMessageHooks(nullptr, nullptr, nullptr);
        tavri::writer::FreeParkedObject();
        std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string &name) const { return (dir_ / name).string(); }

    // A writer on `name` in the scratch directory with one scalar (top.s,
    // idcode 1) whose change at time 7 is flushed as the first session.
    txwObject *OpenWithOneSession(const std::string &name) {
        txwObject *obj = txw_OpenFile(Path(name).c_str(), TXW_FILE_VERILOG);
        EXPECT_NE(obj, nullptr);
        if (obj == nullptr) {
            return nullptr;
        }
        EXPECT_TRUE(txw_BeginTree(obj));
        txwScopeDesc scope{"top", nullptr, nullptr, 0, 0};
        EXPECT_EQ(txw_CreateScope(obj, &scope), 0);
        EXPECT_EQ(txw_CreateVarByVarIdcode(obj, 15, 0, 0, 0, 0, 1, "s", 0), 1);
        EXPECT_EQ(txw_EndTree(obj), 0);
        txw_CreateXCoor(obj, 0, 7);
        const uint8_t one = 1;
        txw_CreateVarValueByIdcode(obj, 1, &one, 1);
        EXPECT_EQ(txw_Flush(obj), 0);
        return obj;
    }

    bool Warned(const std::string &text) const {
        for (const std::string &message : CapturedWarnings()) {
            if (message == text) {
                return true;
            }
        }
        return false;
    }

    std::filesystem::path dir_;
};

}  // namespace tavri::test

#endif
