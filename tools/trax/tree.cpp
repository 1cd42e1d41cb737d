// trax tree: every scope and variable record as a full hierarchical path,
// in the order the file holds them.
//   scope PATH TYPE
//   var PATH VARTYPE WIDTH [RANGE] DIRECTION idcode N [alias of PATH]
#include <string>

#include "commands.h"
#include "database.h"

namespace trax {

int RunTree(const Args &args, std::FILE *out) {
    Database db;
    std::string error;
    if (db.Open(args.file, &error) != TRAXR_OK) {
        PrintError(error);
        return kExitError;
    }
    traxrReader *reader = db.reader();
    std::string line;
    auto print_var = [&](uint32_t index) {
        traxrVar var{};
        traxr_GetVar(reader, index, &var);
        line = "var " + db.VarPath(index) + " " + VarTypeName(var.type_code) + " " +
               std::to_string(var.width);
        if (var.left != 0 || var.right != 0) {
            line += " [" + std::to_string(var.left) + ":" + std::to_string(var.right) + "]";
        }
        line += " " + DirectionName(var.direction) + " idcode " + std::to_string(var.idcode);
        if (var.is_alias) line += " alias of " + db.IdcodePath(var.idcode);
        std::fprintf(out, "%s\n", line.c_str());
    };
    const uint32_t scopes = traxr_ScopeCount(reader);
    for (uint32_t i = 0; i < scopes; ++i) {
        traxrScope scope{};
        traxr_GetScope(reader, i, &scope);
        const char *type = ScopeTypeName(scope.type);
        std::fprintf(out, "scope %s %s\n", db.ScopePath(i).c_str(),
                     type != nullptr ? type : ("scope" + std::to_string(scope.type)).c_str());
        for (uint32_t v = 0; v < scope.var_count; ++v) print_var(scope.first_var + v);
    }
    return kExitOk;
}

}  // namespace trax
