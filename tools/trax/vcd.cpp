// trax vcd: the database as a VCD file (see vcd_writer.h for the mapping),
// written through an OutputFile: an export that fails leaves the output as
// it was. With --follow, the VCD of a file that grows, written as it grows
// (see vcd_follow.h), in place.
#include <cerrno>
#include <cstdio>
#include <string>

#include "commands.h"
#include "database.h"
#include "output_file.h"
#include "vcd_follow.h"
#include "vcd_writer.h"

namespace trax {

namespace {

int Follow(const Args &args) {
    OutputFile output;
    std::string error;
    if (!output.Open(args.output, args.file, &error, OutputFile::kInPlace)) {
        PrintError(error);
        return kExitError;
    }
    errno = 0;
    const FollowEnd end = FollowVcd(args.file, output.stream(), FollowOptions(), &error);
    if (end == FollowEnd::kFailed && std::ferror(output.stream()) != 0) {
        error = output.WriteFailure(errno);
    }
    std::string commit_error;
    if (!output.Commit(&commit_error) && end != FollowEnd::kFailed) {
        PrintError(commit_error);
        return kExitError;
    }
    switch (end) {
        case FollowEnd::kFinished:
        case FollowEnd::kStopped:
            return kExitOk;
        case FollowEnd::kAbandoned:
            PrintError(error);
            return kExitUnfinished;
        case FollowEnd::kFailed:
            break;
    }
    PrintError(error);
    return kExitError;
}

}  // namespace

int RunVcd(const Args &args) {
    if (args.follow) return Follow(args);
    Database db;
    std::string error;
    if (db.Open(args.file, &error) != TRAXR_OK) {
        PrintError(error);
        return kExitError;
    }
    OutputFile output;
    if (!output.Open(args.output, args.file, &error)) {
        PrintError(error);
        return kExitError;
    }
    VcdStats stats;
    errno = 0;
    bool ok = WriteVcd(db, output.stream(), &stats, &error);
    if (!ok && std::ferror(output.stream()) != 0) {
        error = output.WriteFailure(errno);
    }
    if (ok) ok = output.Commit(&error);
    if (!ok) {
        PrintError(error);
        return kExitError;
    }
    if (stats.left_out != 0) {
        PrintError(args.file + ": warning: " + std::to_string(stats.left_out) +
                   " value changes in forms a VCD cannot hold were left out");
    }
    return kExitOk;
}

}  // namespace trax
