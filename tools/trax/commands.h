// The subcommands of trax. Each writes its result to `out` and its errors
// to the standard error stream, and returns the exit status.
#ifndef TAVRI_TOOLS_TRAX_COMMANDS_H
#define TAVRI_TOOLS_TRAX_COMMANDS_H

#include <cstdio>

#include "args.h"

namespace trax {

int RunInfo(const Args &args, std::FILE *out);
int RunTree(const Args &args, std::FILE *out);
int RunDump(const Args &args, std::FILE *out);
int RunVcd(const Args &args);
int RunCheck(const Args &args, std::FILE *out);
int RunRecover(const Args &args, std::FILE *out);
int RunDiff(const Args &args, std::FILE *out);
int RunSvg(const Args &args);
int RunConvert(const Args &args, std::FILE *out);

}  // namespace trax

#endif
