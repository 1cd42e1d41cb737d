// Reading VCD files and comparing two of them signal by signal: how every
// scope and signal is declared, and the value of every signal at the end of
// every time step, signals matched by their hierarchical path.
#ifndef TAVRI_TESTS_E2E_VCD_COMPARE_H
#define TAVRI_TESTS_E2E_VCD_COMPARE_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tavri::e2e {

struct VcdSignal {
    std::string type;  // reg, wire, integer, real, event, time, ...
    int width = 1;
    std::string name;   // as declared, without its range ("clk", "bus")
    std::string range;  // as declared ("[7:0]", "[3]"), empty for none
    // A second declaration of the same path that differs from the first
    // ("reg 1 clk[0]"), which a comparison reports.
    std::string conflict;
    // Value at the end of each time step at which it was assigned: bits
    // (0 1 x z, most significant first, full width) or a real's text.
    std::map<uint64_t, std::string> values;
};

struct VcdFile {
    std::string timescale;
    std::map<std::string, VcdSignal> signals;  // by path "top.scope.name"
    std::map<std::string, std::string> scopes; // kind (module, begin, ...) by path
    std::string error;                         // why the file could not be read
};

// The path of a variable: scopes and its name joined by "."; a bracketed
// range or index at the end of the name is left out.
VcdFile ReadVcd(const std::string &path);

// Differences between two files, one line each ("path @time: ours vs theirs",
// "path: declared ours ... vs theirs ..."), at most `limit` lines. Scopes
// and signals missing on either side count as differences unless listed in
// `ignore`. Declarations (scope kind; signal type, width, name and range) must
// be equal. Events are compared by the times they occur.
std::vector<std::string> CompareVcd(const VcdFile &ours, const VcdFile &theirs, size_t limit = 50,
                                    const std::set<std::string> &ignore = {});

}  // namespace tavri::e2e

#endif
