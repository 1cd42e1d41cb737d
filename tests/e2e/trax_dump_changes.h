// The changes of one variable in the text that `trax dump` prints, one change
// a line: time, path, value (bits, most significant first, or another
// value text).
#ifndef TAVRI_TESTS_E2E_TRAX_DUMP_CHANGES_H
#define TAVRI_TESTS_E2E_TRAX_DUMP_CHANGES_H

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tavri::e2e {

using DumpChanges = std::map<std::string, std::vector<std::pair<uint64_t, std::string>>>;

// (time, value text) of every change, by path, in time order.
inline DumpChanges ChangesByPath(const std::string &dump) {
    DumpChanges changes;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        uint64_t time = 0;
        std::string name;
        std::string value;
        if (fields >> time >> name >> value) {
            changes[name].emplace_back(time, value);
        }
    }
    return changes;
}

// (time, value) of every change of the vector `path`.
inline std::vector<std::pair<uint64_t, uint64_t>> VectorChanges(const std::string &dump, const std::string &path) {
    std::vector<std::pair<uint64_t, uint64_t>> changes;
    DumpChanges all = ChangesByPath(dump);
    for (const auto &[time, bits] : all[path]) {
        changes.emplace_back(time, std::stoull(bits, nullptr, 2));
    }
    return changes;
}

}  // namespace tavri::e2e

#endif
