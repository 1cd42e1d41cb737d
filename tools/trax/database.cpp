#include "database.h"

#include <cstdio>

namespace trax {

void PrintError(const std::string &text) { std::fprintf(stderr, "trax: %s\n", text.c_str()); }

traxrStatus Database::Open(const std::string &path, std::string *error) {
    path_ = path;
    // Room for messages that name long paths, up to two of the longest.
    std::vector<char> message(16384);
    const traxrStatus status = traxr_Open(path.c_str(), &reader_, message.data(), message.size());
    if (status != TRAXR_OK) {
        *error = path + ": " + message.data();
        return status;
    }
    separator_ = header().scope_separator;
    if (separator_.empty()) separator_.push_back('/');
    const uint32_t scopes = traxr_ScopeCount(reader_);
    scope_paths_.resize(scopes);
    for (uint32_t i = 0; i < scopes; ++i) {
        traxrScope scope{};
        traxr_GetScope(reader_, i, &scope);
        // A scope's parent comes before it in the stream.
        scope_paths_[i] = scope.parent < i ? scope_paths_[scope.parent] + separator_ + scope.name
                                           : std::string(scope.name);
    }
    return TRAXR_OK;
}

std::string Database::VarPath(uint32_t var_index) const {
    traxrVar var{};
    if (traxr_GetVar(reader_, var_index, &var) != TRAXR_OK) return "";
    if (var.scope == TRAXR_NONE || var.scope >= scope_paths_.size()) return var.name;
    return scope_paths_[var.scope] + separator_ + var.name;
}

std::string Database::IdcodePath(uint32_t idcode) const {
    uint32_t index;
    if (traxr_FindVar(reader_, idcode, &index) != TRAXR_OK) return "";
    return VarPath(index);
}

bool Database::FindPath(const std::string &path, uint32_t *idcode) const {
    std::string dotted;
    if (separator_ != ".") {
        // The same path written with dots, for users used to Verilog names.
        for (size_t at = 0; at < path.size();) {
            const size_t dot = path.find('.', at);
            dotted += path.substr(at, dot - at);
            if (dot == std::string::npos) break;
            dotted += separator_;
            at = dot + 1;
        }
    }
    const uint32_t count = traxr_VarCount(reader_);
    bool found_dotted = false;
    uint32_t dotted_idcode = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string full = VarPath(i);
        if (full == path || (!dotted.empty() && full == dotted)) {
            traxrVar var{};
            traxr_GetVar(reader_, i, &var);
            if (full == path) {
                *idcode = var.idcode;
                return true;
            }
            if (!found_dotted) {
                found_dotted = true;
                dotted_idcode = var.idcode;
            }
        }
    }
    if (found_dotted) *idcode = dotted_idcode;
    return found_dotted;
}

const char *ScopeTypeName(unsigned type) {
    static const char *const kNames[] = {"module", "task", "function", "begin", "fork"};
    return type < 5 ? kNames[type] : nullptr;
}

std::string VarTypeName(unsigned type_code) {
    static const char *const kNames[] = {"event",   "integer", "parameter", "real",  "reg",
                                         "supply0", "supply1", "time",      "tri",   "triand",
                                         "trior",   "trireg",  "tri0",      "tri1",  "wand",
                                         "wire",    "wor"};
    if (type_code < 17) return kNames[type_code];
    if (type_code == 17) return "memcell";   // one cell of a dumped memory
    if (type_code == 18) return "memrange";  // the cell range a memory dump covered
    if (type_code == 63) return "string";
    return "type" + std::to_string(type_code);
}

std::string DirectionName(unsigned direction) {
    static const char *const kNames[] = {"none", "input", "output", "inout"};
    return direction < 4 ? kNames[direction] : "direction" + std::to_string(direction);
}

}  // namespace trax
