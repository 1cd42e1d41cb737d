// A model simulator with the dumper registered, a scratch directory for the
// dump files, and reading the files back.
#ifndef TAVRI_TESTS_UNIT_PLI_FRONTEND_FIXTURE_H
#define TAVRI_TESTS_UNIT_PLI_FRONTEND_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dumper_state.h"
#include "pli/registration.h"
#include "pli/trace.h"
#include "pli/trace_settings.h"
#include "pli/vcl.h"
#include "support/model_sim.h"
#include "unit/roundtrip/roundtrip_util.h"
#include "writer/object_lifecycle.h"

namespace tavri::test {

// Sets (or, with null, removes) an environment variable for the life of the
// object and puts the old state back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_.has_value()) {
            setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// Runs in another working directory for the life of the object.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::filesystem::path &directory)
        : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(directory);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(old_); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
    ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

  private:
    std::filesystem::path old_;
};

// One change with the value bytes as stored (strength bytes keep their
// strength bits; the logic helpers of Reading mask them away).
struct RawSeen {
    uint64_t time = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const RawSeen &other) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const RawSeen &seen) {
    out << "{" << seen.time << ":";
    for (uint8_t byte : seen.bytes) out << " " << static_cast<int>(byte);
    return out << "}";
}

class FrontEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pli::ResetDumperState();
        pli::ResetTracing();
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("tavri_fe_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        pli::RegisterDumper();
    }

    void TearDown() override {
        pli::CloseAllDumpFile();
        pli::ReleaseAllHooks();
        pli::ResetDumperState();
        pli::ResetTracing();  // no trace line, no wrapper after the simulator is gone
        tavri::writer::FreeParkedObject();
        reading_.reset();  // Windows removes no file that is still open
        std::filesystem::remove_all(dir_);
    }

    // With forward slashes: the path goes into Verilog string literals, where
    // a backslash would start an escape.
    std::string Path(const std::string &name) const { return (dir_ / name).generic_string(); }

    // Runs a task call written as Verilog source in `scope`.
    TaskCall *Run(Scope *scope, const std::string &source) { return sim_.RunTask(scope, source); }

    // $traxDumpfile with a file of the scratch directory.
    void DumpTo(Scope *scope, const std::string &name) {
        Run(scope, "$traxDumpfile(\"" + Path(name) + "\")");
    }

    // The changes of the variable whose full name is `path`.
    static std::vector<Seen> ChangesOf(Reading &file, const std::string &path) {
        for (uint32_t id = 1; id <= traxr_MaxIdcode(file.reader); ++id) {
            for (const std::string &name : file.Names(id)) {
                if (name == path) {
                    return file.Changes(id);
                }
            }
        }
        ADD_FAILURE() << "no variable " << path;
        return {};
    }

    // The idcode of the variable whose full name is `path` (0 when none).
    static uint32_t IdcodeOf(Reading &file, const std::string &path) {
        for (uint32_t id = 1; id <= traxr_MaxIdcode(file.reader); ++id) {
            for (const std::string &name : file.Names(id)) {
                if (name == path) {
                    return id;
                }
            }
        }
        return 0;
    }

    // The variable record named `path`, or none.
    static std::optional<traxrVar> VarOf(Reading &file, const std::string &path) {
        for (uint32_t index = 0; index < traxr_VarCount(file.reader); ++index) {
            traxrVar var{};
            if (traxr_GetVar(file.reader, index, &var) != TRAXR_OK) {
                continue;
            }
            std::string full = var.name;
            for (uint32_t scope = var.scope; scope != TRAXR_NONE;) {
                traxrScope record{};
                traxr_GetScope(file.reader, scope, &record);
                full = std::string(record.name) + "." + full;
                scope = record.parent;
            }
            if (full == path) {
                return var;
            }
        }
        return std::nullopt;
    }

    // Every scope of the file as a dotted path, in file order.
    static std::vector<std::string> AllScopes(Reading &file) {
        std::vector<std::string> scopes;
        for (uint32_t index = 0; index < traxr_ScopeCount(file.reader); ++index) {
            std::string path;
            for (uint32_t at = index; at != TRAXR_NONE;) {
                traxrScope record{};
                traxr_GetScope(file.reader, at, &record);
                path = path.empty() ? std::string(record.name) : std::string(record.name) + "." + path;
                at = record.parent;
            }
            scopes.push_back(path);
        }
        return scopes;
    }

    // The changes of `path` with their value bytes as stored.
    static std::vector<RawSeen> RawChangesOf(Reading &file, const std::string &path) {
        std::vector<RawSeen> out;
        const uint32_t id = IdcodeOf(file, path);
        if (id == 0) {
            ADD_FAILURE() << "no variable " << path;
            return out;
        }
        traxrChangeList *list = nullptr;
        if (traxr_ReadChanges(file.reader, id, &list) != TRAXR_OK) {
            ADD_FAILURE() << traxr_LastMessage(file.reader);
            return out;
        }
        for (uint32_t i = 0; i < traxr_ChangeCount(list); ++i) {
            traxrChange change{};
            if (traxr_GetChange(list, i, &change) == TRAXR_OK) {
                out.push_back({change.time, std::vector<uint8_t>(change.raw, change.raw + change.raw_length)});
            }
        }
        traxr_FreeChangeList(list);
        return out;
    }

    // Every variable name of the file, in idcode order.
    static std::vector<std::string> AllNames(Reading &file) {
        std::vector<std::string> names;
        for (uint32_t id = 1; id <= traxr_MaxIdcode(file.reader); ++id) {
            for (const std::string &name : file.Names(id)) {
                names.push_back(name);
            }
        }
        return names;
    }

    // The transcript holds `text` (a whole line or a part of one).
    bool Printed(const std::string &text) const { return sim_.TranscriptText().find(text) != std::string::npos; }

    // The tf_error lines of the transcript, in order.
    std::vector<std::string> Errors() const {
        std::vector<std::string> errors;
        for (const ModelSim::Message &message : sim_.Transcript()) {
            if (message.channel == ModelSim::Channel::kError) errors.push_back(message.text);
        }
        return errors;
    }

    // Ends the current step, finishes the run (closing the files) and reads
    // the file `name` of the scratch directory back.
    Reading *FinishAndRead(const std::string &name) {
        sim_.EndStep();
        sim_.Finish();
        reading_ = std::make_unique<Reading>(Path(name));
        EXPECT_EQ(reading_->status, TRAXR_OK) << reading_->message;
        return reading_.get();
    }

    static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto &part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    static std::vector<std::string> Sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }

    // How many times `text` occurs in the transcript.
    int CountPrinted(const std::string &text) const {
        const std::string all = sim_.TranscriptText();
        int count = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) {
            ++count;
        }
        return count;
    }

    ModelSim sim_;
    std::filesystem::path dir_;
    std::unique_ptr<Reading> reading_;
};

}  // namespace tavri::test

#endif
