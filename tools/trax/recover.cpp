// trax recover: rebuilds a finished database from a file whose writer died
// without closing it (see reader/recover.h for how). The recovered file is
// written beside the damaged one, under a new name; the damaged file and its
// side files stay as they are, so nothing is lost if the result disappoints.
#include <string>

#include "commands.h"
#include "database.h"
#include "reader/recover.h"

namespace trax {

int RunRecover(const Args &args, std::FILE *out) {
    const std::string output =
        args.output.empty() ? tavri::reader::RecoveredName(args.file) : args.output;
    tavri::reader::RecoverResult result;
    const tavri::reader::Status status = tavri::reader::RecoverFile(args.file, output, &result);
    if (!result.check_failures.empty()) {
        for (const std::string &failure : result.check_failures) {
            std::fprintf(out, "%s: %s\n", output.c_str(), failure.c_str());
        }
        PrintError("the file rebuilt from " + args.file +
                   " does not pass the checks; nothing was written");
        return kExitCheckFailed;
    }
    if (!status.ok()) {
        PrintError(status.message());
        return kExitError;
    }
    std::string kept = std::to_string(result.sessions) +
                       (result.sessions == 1 ? " complete session" : " complete sessions");
    if (result.sessions > 0 && result.has_time) {
        kept += ", times " + std::to_string(result.first_time) + " to " +
                std::to_string(result.end_time);
    }
    std::fprintf(out, "%s: kept %s\n", args.file.c_str(), kept.c_str());
    if (result.torn) {
        std::fprintf(out, "%s: left out the session its writer had not finished flushing\n",
                     args.file.c_str());
    }
    std::fprintf(out, "%s: written, finished; %s and its side files are unchanged\n",
                 output.c_str(), args.file.c_str());
    return kExitOk;
}

}  // namespace trax
