// File switching under Icarus Verilog: a series of size-limited files
// ($traxAutoSwitchDumpfile) and a switch by name ($traxSwitchDumpfile),
// each file compared with the simulator's own VCD of the run over the time
// range it covers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "icarus_harness.h"
#include "vcd_compare.h"

namespace tavri::e2e {
namespace {

constexpr uint64_t kSteps = 110000;

struct Range {
    std::string file;
    uint64_t from = 0;
    uint64_t to = 0;
};

uint64_t Ungrouped(const std::string &text) {
    std::string digits;
    for (char c : text) {
        if (c != ',') digits += c;
    }
    return std::stoull(digits);
}

// The lines of a switch log after its header: "name    from to to".
std::vector<Range> ReadLog(const fs::path &path) {
    std::ifstream in(path);
    std::string line;
    std::vector<Range> ranges;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const size_t gap = line.find("    ");
        const size_t to = line.find(" to ", gap);
        if (gap == std::string::npos || to == std::string::npos) {
            ADD_FAILURE() << "log line: " << line;
            continue;
        }
        ranges.push_back({line.substr(0, gap), Ungrouped(line.substr(gap + 4, to - gap - 4)),
                          Ungrouped(line.substr(to + 4))});
    }
    return ranges;
}

// The file cut to the times from `from` up to `to` (without `to` itself
// unless `with_end`): each signal's value at `from`, then its later changes.
VcdFile Cut(const VcdFile &file, uint64_t from, uint64_t to, bool with_end) {
    VcdFile cut = file;
    for (auto &[path, signal] : cut.signals) {
        std::map<uint64_t, std::string> values;
        auto at = signal.values.upper_bound(from);
        if (at != signal.values.begin() && signal.type != "event") {
            values[from] = std::prev(at)->second;
        }
        for (; at != signal.values.end() && (at->first < to || (with_end && at->first == to)); ++at) {
            values[at->first] = at->second;
        }
        signal.values = std::move(values);
    }
    return cut;
}

class FileSwitchRun : public IcarusTest {
  protected:
    Outcome Run(const std::string &defines, const std::string &tag, bool with_tavri = true) {
        SimOptions options;
        options.with_tavri = with_tavri;
        options.defines = defines + " -DSTEPS=" + std::to_string(kSteps);
        // Small sessions: each file ends close to its limit.
        options.env = "TRAX_ENV_WRITER_MEM_LIMIT=2 ";
        options.timeout_seconds = 300;
        return Simulate(fs::path(TAVRI_E2E_DESIGNS) / "switch_series.v", tag, options);
    }

    std::string Quoted(const std::string &name) const { return "'\"" + Path(name).string() + "\"'"; }

    // The simulator's own VCD of the run.
    const VcdFile &Reference() {
        if (reference_.signals.empty()) {
            const Outcome run = Run("-DOUT=" + Quoted("theirs.vcd"), "theirs", false);
            EXPECT_EQ(run.status, 0) << run.output;
            reference_ = ReadVcd(Path("theirs.vcd").string());
            EXPECT_TRUE(reference_.error.empty()) << reference_.error;
        }
        return reference_;
    }

    // Differences between one of our files and the run over a time range.
    std::string Differences(const std::string &file, uint64_t from, uint64_t to, bool with_end) {
        const std::string vcd = file + ".vcd";
        const Outcome exported = Trax("vcd '" + Path(file).string() + "' -o '" + Path(vcd).string() + "'");
        if (exported.status != 0) {
            return "trax vcd " + file + ": " + exported.output;
        }
        const VcdFile ours = ReadVcd(Path(vcd).string());
        if (!ours.error.empty()) {
            return ours.error;
        }
        std::string text;
        for (const std::string &line :
             CompareVcd(Cut(ours, from, to, with_end), Cut(Reference(), from, to, with_end))) {
            text += file + ": " + line + "\n";
        }
        return text;
    }

    // The range a file's log line gives, checked against its header.
    void ExpectFilesAgree(const std::vector<Range> &ranges) {
        for (size_t i = 0; i < ranges.size(); ++i) {
            const Range &range = ranges[i];
            const bool last = i + 1 == ranges.size();
            // The step at which the file was left is complete only in the
            // next file.
            EXPECT_EQ(Differences(fs::path(range.file).filename().string(), range.from, range.to, last), "")
                << range.file << " " << range.from << ".." << range.to << " (files kept in " << dir_ << ")";
        }
    }

    VcdFile reference_;
};

TEST_F(FileSwitchRun, SeriesRotatesAndEachFileAgreesWithTheSimulatorOverItsRange) {
    const Outcome run = Run("-DDUMP_TRAX -DSERIES -DAMOUNT=3 -DOUT=" + Quoted("run"), "series");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<Range> ranges = ReadLog(Path("run.log"));
    ASSERT_GE(ranges.size(), 5u) << run.output;
    for (size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_EQ(fs::path(ranges[i].file).filename().string(), "run_00" + std::to_string(i % 3) + ".trax");
        EXPECT_EQ(ranges[i].from, i == 0 ? 0 : ranges[i - 1].to);
    }
    EXPECT_EQ(ranges.back().to, kSteps);
    EXPECT_FALSE(fs::exists(Path("run_003.trax")));
    for (const char *file : {"run_000.trax", "run_001.trax"}) {
        EXPECT_LE(fs::file_size(Path(file)), 3u << 20) << file;
    }
    // Only the newest three files are left.
    ExpectFilesAgree(std::vector<Range>(ranges.end() - 3, ranges.end()));
}

TEST_F(FileSwitchRun, UnlimitedSeriesTogetherEqualsTheWholeRun) {
    const Outcome run = Run("-DDUMP_TRAX -DSERIES -DAMOUNT=0 -DOUT=" + Quoted("all.trax"), "all");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<Range> ranges = ReadLog(Path("all.log"));
    ASSERT_GE(ranges.size(), 5u) << run.output;
    uint64_t covered = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
        EXPECT_EQ(fs::path(ranges[i].file).filename().string(), "all_00" + std::to_string(i) + ".trax");
        EXPECT_EQ(ranges[i].from, covered);
        covered = ranges[i].to;
    }
    EXPECT_EQ(covered, kSteps);
    ExpectFilesAgree(ranges);
}

TEST_F(FileSwitchRun, NamedSwitchSplitsTheRunAndTheSecondFileStartsComplete) {
    constexpr uint64_t kSwitchAt = 40000;
    const Outcome run = Run("-DDUMP_TRAX -DOUT=" + Quoted("first.trax") + " -DOUT2=" + Quoted("second.trax") +
                                " -DSWITCH_AT=" + std::to_string(kSwitchAt),
                            "named");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("$traxSwitchDumpfile - Switch to the new TRAX file"), std::string::npos) << run.output;
    EXPECT_EQ(Differences("first.trax", 0, kSwitchAt, false), "");
    EXPECT_EQ(Differences("second.trax", kSwitchAt, kSteps, true), "");
    // Every signal has its value at the second file's first time.
    const VcdFile second = ReadVcd(Path("second.trax.vcd").string());
    ASSERT_FALSE(second.signals.empty());
    for (const auto &[path, signal] : second.signals) {
        ASSERT_FALSE(signal.values.empty()) << path;
        EXPECT_EQ(signal.values.begin()->first, kSwitchAt) << path;
    }
}

}  // namespace
}  // namespace tavri::e2e
