#include "vcd_compare.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <unordered_map>

#include "vcd_reader.h"

namespace tavri::e2e {
namespace {

std::string StripRange(std::string name) {
    while (!name.empty() && name.back() == ']') {
        const size_t open = name.rfind('[');
        if (open == std::string::npos) {
            break;
        }
        name.resize(open);
    }
    return name;
}

std::string Lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Extends a VCD vector value to the full width as VCD defines it.
std::string Extend(std::string bits, int width) {
    bits = Lower(bits);
    if (static_cast<int>(bits.size()) >= width) {
        return bits.substr(bits.size() - static_cast<size_t>(width));
    }
    const char fill = (!bits.empty() && (bits[0] == 'x' || bits[0] == 'z')) ? bits[0] : '0';
    return std::string(static_cast<size_t>(width) - bits.size(), fill) + bits;
}

// While dumping is off the simulator writes reals as NaN and Tavri as 0.0:
// both mean "no value recorded".
bool RealsEqual(const std::string &a, const std::string &b) {
    if (Lower(b) == "nan" && std::strtod(a.c_str(), nullptr) == 0.0) {
        return true;
    }
    const double x = std::strtod(a.c_str(), nullptr);
    const double y = std::strtod(b.c_str(), nullptr);
    return x == y || std::fabs(x - y) <= 1e-9 * std::max(std::fabs(x), std::fabs(y));
}

// A declaration as the comparison reports it: "reg 4 seen [3:0]".
std::string Declaration(const VcdSignal &signal) {
    std::string text = signal.type + " " + std::to_string(signal.width) + " " + signal.name;
    return signal.range.empty() ? text : text + " " + signal.range;
}

// Whether our declaration of a signal says what the simulator's says. Two
// forms differ without differing in meaning, and only these are let through:
// - a real: the simulator declares it 1 bit wide, we give the 64 bits of
//   its double, the size VCD readers conventionally expect for a real;
// - a one-bit vector with index n (declared [n:n]): the simulator writes its
//   range as "[n:n]", we write the bit index alone, "[n]".
bool SameDeclaration(const VcdSignal &ours, const VcdSignal &theirs) {
    if (ours.type != theirs.type || ours.name != theirs.name || !ours.conflict.empty() ||
        !theirs.conflict.empty()) {
        return false;
    }
    if (ours.width != theirs.width && !(ours.type == "real" && ours.width == 64 && theirs.width == 1)) {
        return false;
    }
    if (ours.range == theirs.range) {
        return true;
    }
    if (ours.width != 1 || ours.range.size() < 3 || ours.range.find(':') != std::string::npos) {
        return false;
    }
    const std::string index = ours.range.substr(1, ours.range.size() - 2);
    return theirs.range == "[" + index + ":" + index + "]";
}

}  // namespace

VcdFile ReadVcd(const std::string &path) {
    VcdFile file;
    trax::VcdReader reader;
    trax::VcdHeader header;
    if (!reader.Open(path, &file.error) || !reader.ReadHeader(&header, &file.error)) {
        return file;
    }
    file.timescale = header.timescale;
    for (const trax::VcdScopeDecl &scope : header.scopes) {
        file.scopes.emplace(scope.path, scope.kind);
    }
    std::unordered_map<std::string, std::vector<std::string>> by_id;
    for (const trax::VcdVarDecl &var : header.vars) {
        VcdSignal declared;
        declared.type = var.type;
        declared.width = static_cast<int>(var.width);
        declared.name = var.name;
        declared.range = var.range;
        const std::string signal_path =
            (var.scope.empty() ? "" : var.scope + ".") + StripRange(var.reference);
        auto [entry, added] = file.signals.try_emplace(signal_path, declared);
        if (!added && Declaration(entry->second) != Declaration(declared)) {
            entry->second.conflict = Declaration(declared);
        }
        by_id[var.id].push_back(signal_path);
    }
    uint64_t time = 0;
    trax::VcdItem item;
    while (reader.Next(&item, &file.error) && item.type != trax::VcdItem::kEnd) {
        if (item.type == trax::VcdItem::kTime) {
            time = item.time;
            continue;
        }
        auto found = by_id.find(item.id);
        if (item.type != trax::VcdItem::kValue || found == by_id.end()) {
            continue;
        }
        for (const std::string &signal_path : found->second) {
            VcdSignal &signal = file.signals[signal_path];
            signal.values[time] =
                item.form == 'b' || item.form == '1' ? Extend(item.value, signal.width) : Lower(item.value);
        }
    }
    return file;
}

std::vector<std::string> CompareVcd(const VcdFile &ours, const VcdFile &theirs, size_t limit,
                                    const std::set<std::string> &ignore) {
    std::vector<std::string> differences;
    auto report = [&](const std::string &line) {
        if (differences.size() < limit) {
            differences.push_back(line);
        }
    };
    for (const auto &[path, kind] : theirs.scopes) {
        auto found = ours.scopes.find(path);
        if (ignore.count(path) != 0) {
            continue;
        }
        if (found == ours.scopes.end()) {
            report(path + ": scope missing in ours");
        } else if (found->second != kind) {
            report(path + ": scope kind ours " + found->second + " vs theirs " + kind);
        }
    }
    for (const auto &[path, kind] : ours.scopes) {
        if (ignore.count(path) == 0 && theirs.scopes.count(path) == 0) {
            report(path + ": scope missing in theirs");
        }
    }
    for (const auto &[path, signal] : theirs.signals) {
        if (ignore.count(path) == 0 && ours.signals.count(path) == 0) {
            report(path + ": missing in ours");
        }
    }
    for (const auto &[path, signal] : ours.signals) {
        if (ignore.count(path) != 0) {
            continue;
        }
        auto other = theirs.signals.find(path);
        if (other == theirs.signals.end()) {
            report(path + ": missing in theirs");
            continue;
        }
        const VcdSignal &reference = other->second;
        if (!SameDeclaration(signal, reference)) {
            std::string line = path + ": declared ours " + Declaration(signal);
            if (!signal.conflict.empty()) {
                line += " and " + signal.conflict;
            }
            line += " vs theirs " + Declaration(reference);
            if (!reference.conflict.empty()) {
                line += " and " + reference.conflict;
            }
            report(line);
            continue;
        }
        if (reference.type == "event") {
            // Events have no value between occurrences: compare when they occur.
            std::set<uint64_t> a;
            std::set<uint64_t> b;
            for (const auto &[t, v] : signal.values) {
                if (t != 0 && v == "1") a.insert(t);
            }
            for (const auto &[t, v] : reference.values) {
                if (t != 0 && v == "1") b.insert(t);
            }
            if (a != b) {
                report(path + ": event occurrences differ");
            }
            continue;
        }
        std::set<uint64_t> times;
        for (const auto &[t, v] : signal.values) times.insert(t);
        for (const auto &[t, v] : reference.values) times.insert(t);
        std::string mine = "?";
        std::string reference_value = "?";
        const bool real = reference.type == "real" || signal.type == "real";
        for (uint64_t t : times) {
            if (auto found = signal.values.find(t); found != signal.values.end()) mine = found->second;
            if (auto found = reference.values.find(t); found != reference.values.end()) reference_value = found->second;
            const bool equal = real ? RealsEqual(mine, reference_value) : mine == reference_value;
            if (!equal) {
                std::ostringstream line;
                line << path << " @" << t << ": ours " << mine << " vs theirs " << reference_value;
                report(line.str());
                break;
            }
        }
    }
    return differences;
}

}  // namespace tavri::e2e
