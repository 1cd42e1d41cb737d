// Writes a database as an IEEE 1364 value change dump that GTKWave opens.
//
// Mapping:
//   - $timescale: the header's scale unit ("1ns", "10ps", ...);
//   - scopes with their types (module, task, function, begin, fork);
//   - variables with their VCD var types and widths, vectors with their
//     range; reals (bytes-per-bit code 3, width 1) as `real 64` with `r`
//     values; aliases share the identifier of the variable they name;
//   - string variables as `string 1` with `s` values: the text, with
//     whitespace, backslash and other unprintable bytes written as \xHH;
//   - a scalar strength byte as its logic value;
//   - the dump-off marker as a `$dumpoff` section (every logic variable x)
//     and a `$dumpon` section (every variable's last value);
//   - one hierarchy for all trees of the file: scopes with the same path
//     become one, a variable named again in its scope is declared once;
//   - a value written again for a variable at the same time is left out;
//   - a file written under a dump limit starts at its first time (the
//     minimum xtag) with the value every variable had there.
// The changes are streamed from the reader's time-ordered walk: memory does
// not grow with the file. A VcdStream writes the changes of several walks
// one after another (a file that grows, see vcd_follow.h) as one VCD.
#ifndef TAVRI_TOOLS_TRAX_VCD_WRITER_H
#define TAVRI_TOOLS_TRAX_VCD_WRITER_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "database.h"

namespace trax {

struct VcdStats {
    uint64_t changes = 0;   // value change lines written
    uint64_t bytes = 0;     // bytes of VCD written
    uint64_t left_out = 0;  // changes in forms a VCD cannot hold
    uint64_t repeated = 0;  // a variable's value again at the same time, not written
};

class VcdStream {
  public:
    explicit VcdStream(std::FILE *out);
    ~VcdStream();
    VcdStream(const VcdStream &) = delete;
    VcdStream &operator=(const VcdStream &) = delete;

    // The header and the definitions of the database's trees: the variables
    // whose changes the VCD can hold from then on.
    void Begin(const Database &db);

    // What to do with a change the walk hands out: write it, pass over it,
    // or end the walk here (before it).
    enum class Take { kWrite, kSkip, kStop };
    using Filter = std::function<Take(uint32_t idcode, const traxrChange &change)>;
    // Writes the walk's changes (those the filter takes, all without one) and
    // hands every whole line to the output. False with *error set (one line)
    // when the walk fails or the output cannot be written. The #TIME line of
    // the last change written stays current: a later walk's changes at that
    // time continue under it.
    bool Changes(const Database &db, traxrWalk *walk, const Filter &filter, std::string *error);

    const VcdStats &stats() const;

  private:
    class Export;
    std::unique_ptr<Export> export_;
};

// The whole database. False with *error set (one line) when the file cannot
// be read to its end or the output cannot be written.
bool WriteVcd(const Database &db, std::FILE *out, VcdStats *stats, std::string *error);

// The VCD identifier of an idcode: base 94 over the printable characters.
std::string VcdIdentifier(uint32_t idcode);

}  // namespace trax

#endif
