// The changes of one variable in the text that `trax dump` prints, one change
// a line: time, path, value (bits, most significant first).
#ifndef TAVRI_TESTS_E2E_TRAX_DUMP_CHANGES_H
#define TAVRI_TESTS_E2E_TRAX_DUMP_CHANGES_H

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tavri::e2e {

// (time, value) of every change of the vector `path`.
inline std::vector<std::pair<uint64_t, uint64_t>> VectorChanges(const std::string &dump, const std::string &path) {
    std::vector<std::pair<uint64_t, uint64_t>> changes;
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        uint64_t time = 0;
        std::string name;
        std::string bits;
        if (fields >> time >> name >> bits && name == path) {
            changes.emplace_back(time, std::stoull(bits, nullptr, 2));
        }
    }
    return changes;
}

}  // namespace tavri::e2e

#endif
