// $traxDisplay under Icarus Verilog: a design calls it next to $display with
// the same format and arguments; every recorded text equals what $display
// printed (the texts of one step joined, cut at the record's limit), and
// the texts show in trax tree, dump and vcd.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "icarus_harness.h"

namespace tavri::e2e {
namespace {

constexpr size_t kTextLimit = 127;

using Key = std::pair<uint64_t, std::string>;  // (time, variable path)

// The printed lines "@TIME SCOPE TAG|text", joined per time and variable
// (SCOPE.TAG written as trax writes paths, SCOPE/TAG).
std::map<Key, std::string> PrintedTexts(const std::string &output) {
    std::map<Key, std::string> texts;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != '@') continue;
        std::istringstream head(line.substr(1));
        uint64_t time = 0;
        std::string scope;
        std::string rest;
        head >> time >> scope;
        std::getline(head >> std::ws, rest);
        const size_t bar = rest.find('|');
        if (bar == std::string::npos) {
            ADD_FAILURE() << "printed line: " << line;
            continue;
        }
        for (char &c : scope) {
            if (c == '.') c = '/';
        }
        texts[{time, scope + "/" + rest.substr(0, bar)}] += rest.substr(bar + 1);
    }
    for (auto &[key, text] : texts) {
        if (text.size() > kTextLimit) text.resize(kTextLimit);
    }
    return texts;
}

// The text of a quoted value of trax dump, its escapes undone.
std::string Unquoted(const std::string &quoted) {
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            text += quoted[i];
        } else if (quoted[i + 1] == 'x') {
            text += static_cast<char>(std::stoi(quoted.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            text += quoted[++i];
        }
    }
    return text;
}

// The last string value of each variable at each time in trax dump's output.
std::map<Key, std::string> RecordedTexts(const std::string &dump) {
    std::map<Key, std::string> texts;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        const size_t quote = line.find(" \"");
        if (quote == std::string::npos) continue;
        std::istringstream head(line.substr(0, quote));
        uint64_t time = 0;
        std::string path;
        head >> time >> path;
        texts[{time, path}] = Unquoted(line.substr(quote + 1));
    }
    return texts;
}

class DisplayRecord : public IcarusTest {};

TEST_F(DisplayRecord, RecordedTextsEqualThePrintedLines) {
    SimOptions options;
    options.defines = "-DOUT='\"" + Path("display.trax").string() + "\"'";
    options.timeout_seconds = 20;
    const Outcome run = Simulate(TAVRI_E2E_DESIGNS "/display_records.v", "display", options);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("WARNING"), std::string::npos) << run.output;

    const std::map<Key, std::string> printed = PrintedTexts(run.output);
    ASSERT_EQ(printed.size(), 27u) << run.output;
    const Outcome dump = Trax("dump '" + Path("display.trax").string() + "'");
    ASSERT_EQ(dump.status, 0) << dump.output;
    EXPECT_EQ(RecordedTexts(dump.output), printed) << run.output << dump.output;

    // The long text was cut, and the two texts of one step were joined.
    const std::string &cut = printed.at({3, "tb/Tavri_Display"});
    EXPECT_EQ(cut.size(), kTextLimit);
    EXPECT_EQ(printed.at({2, "tb/Tavri_Display"}), "first 1234;second a;");

    const Outcome tree = Trax("tree '" + Path("display.trax").string() + "'");
    ASSERT_EQ(tree.status, 0) << tree.output;
    for (const char *line : {"var tb/hex string 1", "var tb/u1/Tavri_Display string 1",
                             "var tb/u2/Tavri_Display string 1", "var tb/Tavri_Display string 1"}) {
        EXPECT_NE(tree.output.find(line), std::string::npos) << line << " in\n" << tree.output;
    }

    const Outcome vcd = Trax("vcd '" + Path("display.trax").string() + "' -o '" + Path("display.vcd").string() + "'");
    ASSERT_EQ(vcd.status, 0) << vcd.output;
    const std::string text = Slurp(Path("display.vcd"));
    const size_t declared = text.find(" hex $end");
    ASSERT_NE(declared, std::string::npos) << text;
    const size_t line_start = text.rfind('\n', declared) + 1;
    std::istringstream var(text.substr(line_start, declared - line_start));
    std::string keyword, type, size, id;
    var >> keyword >> type >> size >> id;
    EXPECT_EQ(type + " " + size, "string 1") << text;
    // Blanks are escaped so that a value stays one token.
    EXPECT_NE(text.find("\nsat\\x20tb "), std::string::npos) << text;
    EXPECT_NE(text.find("\ns0a " + id + "\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace tavri::e2e
