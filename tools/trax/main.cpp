// trax: inspect, dump, export to VCD, check, recover, compare, draw and
// recompress TRAX waveform databases. Exit status: 0 success, 1 check
// failures (diff: differences), 2 usage or input errors, 3 a consistent file
// that its writer has not finished (check).
#include <cstdio>
#include <string>

#include "args.h"
#include "commands.h"
#include "database.h"

int main(int argc, char **argv) {
    trax::Args args;
    std::string error;
    if (!trax::ParseArgs(argc, argv, &args, &error)) {
        trax::PrintError(error + " (trax help shows the usage)");
        return trax::kExitError;
    }
    int status = trax::kExitOk;
    switch (args.command) {
        case trax::Command::kHelp:
            std::fputs(trax::UsageText(), stdout);
            break;
        case trax::Command::kInfo:
            status = trax::RunInfo(args, stdout);
            break;
        case trax::Command::kTree:
            status = trax::RunTree(args, stdout);
            break;
        case trax::Command::kDump:
            status = trax::RunDump(args, stdout);
            break;
        case trax::Command::kVcd:
            status = trax::RunVcd(args);
            break;
        case trax::Command::kCheck:
            status = trax::RunCheck(args, stdout);
            break;
        case trax::Command::kRecover:
            status = trax::RunRecover(args, stdout);
            break;
        case trax::Command::kDiff:
            status = trax::RunDiff(args, stdout);
            break;
        case trax::Command::kSvg:
            status = trax::RunSvg(args);
            break;
        case trax::Command::kConvert:
            status = trax::RunConvert(args, stdout);
            break;
    }
    if (std::fflush(stdout) != 0 && status == trax::kExitOk) {
        trax::PrintError("writing the standard output failed");
        status = trax::kExitError;
    }
    return status;
}
