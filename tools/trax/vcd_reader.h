// Reads a value change dump as a stream: first its declarations (time
// scale, scopes, variables), then its times and value changes one at a
// time, so that memory does not grow with the file.
#ifndef TAVRI_TOOLS_TRAX_VCD_READER_H
#define TAVRI_TOOLS_TRAX_VCD_READER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace trax {

struct VcdScopeDecl {
    std::string kind;  // module, task, function, begin, fork, ...
    std::string path;  // the names of it and its parents joined by "."
};

struct VcdVarDecl {
    std::string type;  // reg, wire, integer, real, event, string, ...
    uint32_t width = 1;
    std::string id;
    std::string scope;      // the path of its scope ("" above every scope)
    std::string reference;  // the name and any range, without spaces ("bus[7:0]")
    std::string name;       // the reference without its last range ("bus")
    std::string range;      // that range ("[7:0]"), "" for none
};

struct VcdHeader {
    std::string timescale;  // its tokens joined ("1ns", "10ps")
    std::vector<VcdScopeDecl> scopes;
    std::vector<VcdVarDecl> vars;
};

struct VcdItem {
    // kDumpOff and kDumpOn: the start of a $dumpoff or $dumpon section.
    enum Type { kTime, kValue, kDumpOff, kDumpOn, kEnd } type = kEnd;
    uint64_t time = 0;  // kTime
    // kValue: 'b' a vector, 'r' a real, 's' a string, '1' a scalar; the
    // value without its prefix (a scalar's one character) and the identifier.
    char form = '1';
    std::string value;
    std::string id;
};

class VcdReader {
  public:
    VcdReader() = default;
    ~VcdReader();
    VcdReader(const VcdReader &) = delete;
    VcdReader &operator=(const VcdReader &) = delete;

    bool Open(const std::string &path, std::string *error);
    // Reads up to $enddefinitions (or the first time or value of a file
    // without one).
    bool ReadHeader(VcdHeader *header, std::string *error);
    // The next time, value change or switch of dumping, or kEnd. Other
    // markers ($dumpvars, $dumpall and the $end of a section) are passed
    // over; the values in sections are read as any other. False with *error naming the file and line on malformed input.
    bool Next(VcdItem *item, std::string *error);

  private:
    bool Token(std::string *token);  // false at the end of the file
    bool SkipToEnd();                // past the next "$end"
    bool Fail(const std::string &what, std::string *error) const;
    bool Value(const std::string &token, VcdItem *item, std::string *error);

    std::FILE *in_ = nullptr;
    std::string path_;
    uint64_t line_ = 1;
    uint64_t token_line_ = 1;  // where the last token read starts
    std::string pending_;  // a token read past the header
    bool have_pending_ = false;
    std::vector<char> buffer_;
    size_t at_ = 0, size_ = 0;
};

}  // namespace trax

#endif
