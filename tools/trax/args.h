// The command line of trax: a subcommand, a database file and the options
// of that subcommand.
#ifndef TAVRI_TOOLS_TRAX_ARGS_H
#define TAVRI_TOOLS_TRAX_ARGS_H

#include <cstdint>
#include <string>
#include <vector>

namespace trax {

enum class Command { kHelp, kInfo, kTree, kDump, kVcd, kCheck, kRecover, kDiff, kSvg, kConvert };

struct Args {
    Command command = Command::kHelp;
    std::string file;
    std::string second_file;        // diff: the file compared with `file`; convert: OUT
    std::vector<std::string> vars;  // dump, diff, svg --var
    uint64_t from = 0;              // dump, diff, svg --from
    uint64_t to = UINT64_MAX;       // dump, diff, svg --to
    bool to_given = false;
    uint64_t limit = 10;            // diff --limit
    std::string output;             // vcd, svg, recover -o ("-" for the standard output)
    bool follow = false;            // vcd --follow: stream a file as it grows
    std::string method;             // convert --method: "lzo1b", "zstd:5", ...
};

// Parses argv[1..]; on a usage error returns false with a one-line reason.
bool ParseArgs(int argc, const char *const *argv, Args *args, std::string *error);

const char *UsageText();

}  // namespace trax

#endif
