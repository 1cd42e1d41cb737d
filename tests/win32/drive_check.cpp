// drive_check <file.vcd> <file.drive>: checks that a VCD exported from a
// scenario's file holds the values the scenario drove. At every time the log
// or the VCD names, each logged signal must hold in the VCD the value it
// holds by the log; inside a span in which dumping was off the VCD must
// record nothing but the all-x values of the $dumpoff itself.
// Exit 0 when they agree; otherwise each difference is printed.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/vcd_compare.h"

namespace {

using Values = std::map<std::uint64_t, std::string>;

struct DriveLog {
    std::map<std::string, Values> values;  // by path
    std::vector<std::pair<std::uint64_t, std::uint64_t>> off;  // [from, to)
};

bool ReadDriveLog(const std::string &path, DriveLog *log) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "off") {
            std::uint64_t from = 0;
            std::uint64_t to = 0;
            words >> from >> to;
            log->off.emplace_back(from, to);
        } else {
            std::string signal;
            std::string bits;
            words >> signal >> bits;
            log->values[signal][std::stoull(first)] = bits;
        }
    }
    return in.eof() && !log->values.empty();
}

// The value held at `time`: the latest one at or before it, "" before any.
std::string HeldAt(const Values &values, std::uint64_t time) {
    auto next = values.upper_bound(time);
    return next == values.begin() ? "" : std::prev(next)->second;
}

bool AllX(const std::string &bits) { return !bits.empty() && bits.find_first_not_of('x') == std::string::npos; }

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: drive_check <file.vcd> <file.drive>\n");
        return 2;
    }
    const tavri::e2e::VcdFile vcd = tavri::e2e::ReadVcd(argv[1]);
    DriveLog log;
    if (!vcd.error.empty() || !ReadDriveLog(argv[2], &log)) {
        std::fprintf(stderr, "cannot read %s or %s %s\n", argv[1], argv[2], vcd.error.c_str());
        return 2;
    }
    int differences = 0;
    auto differ = [&](const std::string &path, std::uint64_t time, const std::string &seen, const std::string &want) {
        std::printf("%s @%llu: the VCD has '%s', the scenario drove '%s'\n", path.c_str(),
                    static_cast<unsigned long long>(time), seen.c_str(), want.c_str());
        ++differences;
    };
    for (const auto &[path, driven] : log.values) {
        const auto found = vcd.signals.find(path);
        if (found == vcd.signals.end()) {
            std::printf("%s: not in the VCD\n", path.c_str());
            ++differences;
            continue;
        }
        const Values &seen = found->second.values;
        std::set<std::uint64_t> times;
        for (const Values *values : {&driven, &seen}) {
            for (const auto &[time, bits] : *values) {
                times.insert(time);
            }
        }
        for (const std::uint64_t time : times) {
            bool off = false;
            for (const auto &[from, to] : log.off) {
                if (time >= from && time < to) {
                    off = true;
                    if (time != from || seen.count(time) == 0 || !AllX(seen.at(time))) {
                        differ(path, time, HeldAt(seen, time), "nothing while dumping is off");
                    }
                }
            }
            if (!off && HeldAt(seen, time) != HeldAt(driven, time)) {
                differ(path, time, HeldAt(seen, time), HeldAt(driven, time));
            }
        }
    }
    std::printf("%d difference(s) between %s and %s\n", differences, argv[1], argv[2]);
    return differences == 0 ? 0 : 1;
}
