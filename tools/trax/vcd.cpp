// trax vcd: the database as a VCD file (see vcd_writer.h for the mapping).
// An output that could not be finished is removed.
#include <cstdio>
#include <string>

#include "commands.h"
#include "database.h"
#include "vcd_writer.h"

namespace trax {

int RunVcd(const Args &args) {
    Database db;
    std::string error;
    if (db.Open(args.file, &error) != TRAXR_OK) {
        PrintError(error);
        return kExitError;
    }
    const bool to_stdout = args.output == "-";
    std::FILE *out = to_stdout ? stdout : std::fopen(args.output.c_str(), "wb");
    if (out == nullptr) {
        PrintError("cannot create " + args.output);
        return kExitError;
    }
    VcdStats stats;
    bool ok = WriteVcd(db, out, &stats, &error);
    if (!to_stdout && std::fclose(out) != 0 && ok) {
        ok = false;
        error = "writing " + args.output + " failed";
    }
    if (!ok) {
        if (!to_stdout) std::remove(args.output.c_str());
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
