// A model simulator with the dumper registered, a scratch directory for the
// dump files, and reading the files back.
#ifndef TAVRI_TESTS_UNIT_PLI_FRONTEND_FIXTURE_H
#define TAVRI_TESTS_UNIT_PLI_FRONTEND_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pli/dump_file.h"
#include "pli/dumper_state.h"
#include "pli/registration.h"
#include "pli/trace.h"
#include "pli/vcl.h"
#include "support/model_sim.h"
#include "unit/roundtrip/roundtrip_util.h"
#include "writer/object_lifecycle.h"

namespace tavri::test {

class FrontEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pli::ResetDumperState();
        pli::g_trace = pli::TraceState{};
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
        tavri::writer::FreeParkedObject();
        std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string &name) const { return (dir_ / name).string(); }

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

    ModelSim sim_;
    std::filesystem::path dir_;
};

}  // namespace tavri::test

#endif
