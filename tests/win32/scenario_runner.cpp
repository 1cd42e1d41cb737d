// Runs the dump scenario and writes <name>.trax and its drive log
// <name>.drive. On Windows the dumper is the real tavri.dll: the runner loads
// it with LoadLibrary, which loads the stand-in mtipli.dll beside it; the
// stand-in is pointed at this process's model simulator, then the runner
// calls the DLL's init_usertfs. On Linux the front end is linked in.
//
//   scenario_runner <name>      exit 0 when the scenario ran cleanly
#include <cstdio>
#include <string>

#include "support/model_sim.h"
#include "win32/dump_scenario.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/mtipli_stand_in.h"
#else
#include "pli/registration.h"
#endif

namespace {

using EntryPoint = void (*)();

#ifdef _WIN32
// Casts a procedure address to its real type.
template <typename Function>
Function Procedure(HMODULE module, const char *name) {
    FARPROC address = GetProcAddress(module, name);
    Function function = nullptr;
    static_assert(sizeof(function) == sizeof(address));
    __builtin_memcpy(&function, &address, sizeof(function));
    return function;
}

EntryPoint LoadDumper(const tavri::sim::Routines &simulator) {
    HMODULE dumper = LoadLibraryA("tavri.dll");
    if (dumper == nullptr) {
        std::fprintf(stderr, "LoadLibrary(tavri.dll) failed: error %lu\n", GetLastError());
        return nullptr;
    }
    HMODULE pli = GetModuleHandleA("mtipli.dll");
    if (pli == nullptr) {
        std::fprintf(stderr, "tavri.dll was loaded without mtipli.dll\n");
        return nullptr;
    }
    auto serve = Procedure<MtipliServeProc>(pli, kMtipliServeName);
    auto entry = Procedure<EntryPoint>(dumper, "init_usertfs");
    if (serve == nullptr || entry == nullptr) {
        std::fprintf(stderr, "missing %s in mtipli.dll or init_usertfs in tavri.dll\n", kMtipliServeName);
        return nullptr;
    }
    static tavri::sim::Routines served;
    served = simulator;
    serve(&served);
    return entry;
}
#else
void RegisterLinkedDumper() { tavri::pli::RegisterDumper(); }

EntryPoint LoadDumper(const tavri::sim::Routines &) { return &RegisterLinkedDumper; }
#endif

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scenario_runner <name>\n");
        return 2;
    }
    const std::string name = argv[1];
    std::FILE *drive_log = std::fopen((name + ".drive").c_str(), "wb");
    if (drive_log == nullptr) {
        std::perror((name + ".drive").c_str());
        return 1;
    }
    std::string failures;
    {
        tavri::test::ModelSim sim;
        const EntryPoint entry = LoadDumper(tavri::test::ModelSim::RoutineTable());
        failures = entry == nullptr ? "the dumper could not be loaded\n"
                                    : tavri::test::RunDumpScenario(sim, entry, name + ".trax", drive_log);
    }
    if (std::fclose(drive_log) != 0) {
        failures += "could not write the drive log\n";
    }
    std::FILE *trax = std::fopen((name + ".trax").c_str(), "rb");
    if (trax == nullptr) {
        failures += "no " + name + ".trax was written\n";
    } else {
        std::fclose(trax);
    }
    std::fputs(failures.c_str(), stderr);
    return failures.empty() ? 0 : 1;
}
