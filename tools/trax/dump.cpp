// trax dump: value changes in time order, one line each:
//   TIME PATH VALUE
// with the path of the record that names the idcode first; dumping
// switched off and on shows as "TIME $dumpoff" and "TIME $dumpon". A ring
// file starts with each variable's value at its first time (the writer's
// redundant changes), shown like changes; dumping that was on there is not
// a "$dumpon".
#include <cinttypes>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "values.h"

namespace trax {

int RunDump(const Args &args, std::FILE *out) {
    Database db;
    std::string error;
    if (db.Open(args.file, &error) != TRAXR_OK) {
        PrintError(error);
        return kExitError;
    }
    traxrReader *reader = db.reader();
    std::vector<uint32_t> chosen;
    for (const std::string &path : args.vars) {
        uint32_t idcode;
        if (!db.FindPath(path, &idcode)) {
            PrintError(args.file + ": no variable " + path);
            return kExitError;
        }
        chosen.push_back(idcode);
    }
    const uint32_t idcodes = traxr_ChainTableSize(reader);
    std::vector<std::string> paths(idcodes);
    std::vector<VarShape> shapes(idcodes);
    for (uint32_t idcode = 1; idcode < idcodes; ++idcode) {
        uint32_t index;
        if (traxr_FindVar(reader, idcode, &index) != TRAXR_OK) continue;
        traxrVar var{};
        traxr_GetVar(reader, index, &var);
        paths[idcode] = db.VarPath(index);
        shapes[idcode] = VarShape{var.bytes_per_bit_code, var.width};
    }

    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(reader, args.vars.empty() ? nullptr : chosen.data(),
                       static_cast<uint32_t>(chosen.size()), args.from, args.to,
                       &walk) != TRAXR_OK) {
        PrintError(args.file + ": " + traxr_LastMessage(reader));
        return kExitError;
    }
    std::string line;
    traxrStatus status;
    for (;;) {
        uint32_t idcode;
        traxrChange change{};
        status = traxr_WalkNext(walk, &idcode, &change);
        if (status != TRAXR_OK) break;
        if (idcode == 0 && change.redundant && !IsDumpOff(change)) continue;
        line = std::to_string(change.time);
        line += ' ';
        if (idcode == 0) {
            line += IsDumpOff(change) ? "$dumpoff" : "$dumpon";
        } else {
            line += idcode < idcodes && !paths[idcode].empty() ? paths[idcode]
                                                                : "idcode" + std::to_string(idcode);
            line += ' ';
            AppendDumpValue(change, idcode < idcodes ? shapes[idcode] : VarShape{}, &line);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
    traxr_CloseWalk(walk);
    if (status != TRAXR_END) {
        std::fflush(out);
        PrintError(args.file + ": " + traxr_LastMessage(reader));
        return kExitError;
    }
    return kExitOk;
}

}  // namespace trax
