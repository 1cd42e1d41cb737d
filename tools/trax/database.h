// An open database as the subcommands see it: the reader handle and the
// names the tool shows (full hierarchical paths, type and direction names).
#ifndef TAVRI_TOOLS_TRAX_DATABASE_H
#define TAVRI_TOOLS_TRAX_DATABASE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tavri/trax_reader.h"

namespace trax {

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitError = 2;
constexpr int kExitUnfinished = 3;  // check: consistent, but its writer never finished it

// Prints "trax: <text>" as one line on the standard error stream.
void PrintError(const std::string &text);

class Database {
  public:
    Database() = default;
    ~Database() { traxr_Close(reader_); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // On failure returns the reader's status with *error set to one line.
    traxrStatus Open(const std::string &path, std::string *error);
    traxrReader *reader() const { return reader_; }
    const traxrHeader &header() const { return *traxr_GetHeader(reader_); }
    const std::string &path() const { return path_; }

    // The full path of a scope or a variable record, joined with the file's
    // scope separator.
    const std::string &ScopePath(uint32_t scope) const { return scope_paths_[scope]; }
    std::string VarPath(uint32_t var_index) const;
    // The path of the record that names the idcode first ("" for none).
    std::string IdcodePath(uint32_t idcode) const;
    // The idcode a path names: the file's separator or "." between the
    // names; false when no variable has that path.
    bool FindPath(const std::string &path, uint32_t *idcode) const;

  private:
    traxrReader *reader_ = nullptr;
    std::string path_;
    std::string separator_;
    std::vector<std::string> scope_paths_;
};

const char *ScopeTypeName(unsigned type);           // module, task, function, begin, fork
std::string VarTypeName(unsigned type_code);        // the VCD keywords, string for 63
std::string DirectionName(unsigned direction);      // none, input, output, inout

}  // namespace trax

#endif
