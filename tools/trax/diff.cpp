// trax diff: where two dumps (databases or VCD files) first differ.
//
// Signals are matched by path (see wave_source.h) and compared by their
// value at the end of every time step in which either file changes one:
// logic values bit for bit (x and z included), reals as numbers, strings
// as text, events by the steps they occur in. The report names the signals
// found in one file only and those declared differently (another kind or
// width), then the first time step at which signals differ and the next
// `--limit` steps at which a signal changes into or within a difference.
// Times are given in the finer of the two files' time units.
// Exit status 0 when nothing differs, 1 when something does, 2 on errors.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "wave_source.h"

namespace trax {
namespace {

constexpr char kNoValue[] = "(none)";

std::string UnitText(uint64_t femtoseconds) {
    static const char *const kNames[] = {"fs", "ps", "ns", "us", "ms", "s"};
    size_t name = 0;
    while (femtoseconds >= 1000 && femtoseconds % 1000 == 0 && name < 5) {
        femtoseconds /= 1000;
        ++name;
    }
    return std::to_string(femtoseconds) + kNames[name];
}

const char *KindName(SignalKind kind) {
    switch (kind) {
        case SignalKind::kLogic:
            return "logic";
        case SignalKind::kReal:
            return "real";
        case SignalKind::kString:
            return "string";
        case SignalKind::kEvent:
            return "event";
    }
    return "?";
}

std::string Declared(const WaveSignal &signal) {
    return signal.kind == SignalKind::kLogic ? std::to_string(signal.width) + " bits" : KindName(signal.kind);
}

// One file's side of the comparison: its steps, read one ahead, and the
// value of every slot so far.
struct Side {
    std::unique_ptr<WaveSource> source;
    uint64_t factor = 1;  // its time unit in the common unit
    WaveStep step;
    bool have = false;
    std::vector<std::string> values;  // by slot
    std::vector<bool> set;
    std::vector<std::vector<uint32_t>> pairs_of;  // by slot: the pairs it belongs to

    bool Read(std::string *error) {
        have = source->NextStep(&step, error);
        if (!have) return error->empty();
        if (step.time > UINT64_MAX / factor) {
            *error = source->file() + ": the time " + std::to_string(step.time) +
                     " cannot be given in the finer time unit of the other file";
            have = false;
            return false;
        }
        step.time *= factor;
        return true;
    }
};

struct Pair {
    const WaveSignal *a;
    const WaveSignal *b;
};

class Diff {
  public:
    Diff(const Args &args, std::FILE *out) : args_(args), out_(out) {}
    int Run();

  private:
    bool Chosen(const std::string &path) const;
    bool Units(std::string *error);
    bool Equal(const Pair &pair) const;
    std::string Shown(const Side &side, const WaveSignal &signal) const;
    // Reports the pairs that differ among `candidates` at `time`; false
    // once the limit is passed.
    bool Report(uint64_t time, std::vector<uint32_t> candidates);
    void Print(const std::string &line) { std::fprintf(out_, "%s\n", line.c_str()); }

    const Args &args_;
    std::FILE *out_;
    Side a_, b_;
    std::vector<std::string> chosen_;  // --var paths with "." between names
    std::vector<Pair> pairs_;
    uint64_t reported_ = 0;  // time steps with differences
    bool more_ = false;
};

bool Diff::Chosen(const std::string &path) const {
    if (chosen_.empty()) return true;
    for (const std::string &want : chosen_) {
        if (path == want || (path.size() > want.size() && path.starts_with(want) && path[want.size()] == '.')) {
            return true;
        }
    }
    return false;
}

bool Diff::Units(std::string *error) {
    const std::string &unit_a = a_.source->time_unit();
    const std::string &unit_b = b_.source->time_unit();
    uint64_t fs_a = 0, fs_b = 0;
    if (TimeUnitFemtoseconds(unit_a, &fs_a) && TimeUnitFemtoseconds(unit_b, &fs_b)) {
        const uint64_t common = std::min(fs_a, fs_b);
        a_.factor = fs_a / common;
        b_.factor = fs_b / common;
        Print("time unit: " + UnitText(common));
        return true;
    }
    if (unit_a == unit_b) {
        Print("time unit: " + (unit_a.empty() ? std::string("(none given)") : unit_a));
        return true;
    }
    *error = "cannot compare times in '" + unit_a + "' (" + a_.source->file() + ") with times in '" + unit_b +
             "' (" + b_.source->file() + ")";
    return false;
}

bool Diff::Equal(const Pair &pair) const {
    const uint32_t sa = pair.a->slot, sb = pair.b->slot;
    if (a_.set[sa] != b_.set[sb]) return false;
    if (!a_.set[sa]) return true;
    if (pair.a->kind == SignalKind::kReal) return RealsEqual(a_.values[sa], b_.values[sb]);
    return a_.values[sa] == b_.values[sb];
}

std::string Diff::Shown(const Side &side, const WaveSignal &signal) const {
    if (!side.set[signal.slot]) return kNoValue;
    const std::string &value = side.values[signal.slot];
    switch (signal.kind) {
        case SignalKind::kEvent:
            return "event";
        case SignalKind::kString: {
            std::string text = "\"";
            for (const char c : value) {
                if (c == '"' || c == '\\') text += '\\';
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
                    text += escape;
                } else {
                    text += c;
                }
            }
            return text + "\"";
        }
        default:
            return value;
    }
}

bool Diff::Report(uint64_t time, std::vector<uint32_t> candidates) {
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    std::vector<uint32_t> differing;
    for (const uint32_t pair : candidates) {
        if (!Equal(pairs_[pair])) differing.push_back(pair);
    }
    if (differing.empty()) return true;
    if (reported_ > args_.limit) {
        more_ = true;
        return false;
    }
    Print((reported_ == 0 ? "first difference at " : "difference at ") + std::to_string(time) + ":");
    for (const uint32_t index : differing) {
        const Pair &pair = pairs_[index];
        Print("  " + pair.a->path + ": A " + Shown(a_, *pair.a) + ", B " + Shown(b_, *pair.b));
    }
    ++reported_;
    return true;
}

int Diff::Run() {
    std::string error;
    a_.source = OpenWave(args_.file, &error);
    if (a_.source == nullptr) {
        PrintError(error);
        return kExitError;
    }
    b_.source = OpenWave(args_.second_file, &error);
    if (b_.source == nullptr) {
        PrintError(error);
        return kExitError;
    }
    for (std::string path : args_.vars) {
        // Paths as `trax tree` prints them work too.
        std::replace(path.begin(), path.end(), '/', '.');
        chosen_.push_back(path);
    }
    for (const std::string &want : chosen_) {
        bool found = false;
        for (const Side *side : {&a_, &b_}) {
            for (const WaveSignal &signal : side->source->signals()) {
                if (signal.path == want || signal.path.starts_with(want + ".")) found = true;
            }
        }
        if (!found) {
            PrintError("no signal " + want + " in " + args_.file + " or " + args_.second_file);
            return kExitError;
        }
    }

    Print("A: " + args_.file);
    Print("B: " + args_.second_file);
    if (!Units(&error)) {
        PrintError(error);
        return kExitError;
    }
    bool differ = false;
    std::map<std::string, const WaveSignal *> in_b;
    for (const WaveSignal &signal : b_.source->signals()) {
        if (Chosen(signal.path)) in_b.emplace(signal.path, &signal);
    }
    std::vector<std::string> declared;
    for (const WaveSignal &signal : a_.source->signals()) {
        if (!Chosen(signal.path)) continue;
        const auto found = in_b.find(signal.path);
        if (found == in_b.end()) {
            Print("only in A: " + signal.path);
            differ = true;
            continue;
        }
        const WaveSignal &other = *found->second;
        in_b.erase(found);
        if (signal.kind != other.kind || signal.width != other.width) {
            declared.push_back("declared differently: " + signal.path + ": A " + Declared(signal) + ", B " +
                               Declared(other));
            continue;
        }
        pairs_.push_back(Pair{&signal, &other});
    }
    for (const WaveSignal &signal : b_.source->signals()) {
        if (in_b.count(signal.path) != 0) {
            Print("only in B: " + signal.path);
            differ = true;
        }
    }
    for (const std::string &line : declared) {
        Print(line);
        differ = true;
    }

    // Read only what is compared.
    for (Side *side : {&a_, &b_}) {
        const uint32_t slots = side->source->slot_count();
        side->values.assign(slots, std::string());
        side->set.assign(slots, false);
        side->pairs_of.assign(slots, {});
    }
    std::vector<bool> read_a(a_.source->slot_count(), false), read_b(b_.source->slot_count(), false);
    for (uint32_t i = 0; i < pairs_.size(); ++i) {
        a_.pairs_of[pairs_[i].a->slot].push_back(i);
        b_.pairs_of[pairs_[i].b->slot].push_back(i);
        read_a[pairs_[i].a->slot] = true;
        read_b[pairs_[i].b->slot] = true;
    }
    a_.source->Select(read_a);
    b_.source->Select(read_b);

    std::vector<uint32_t> all(pairs_.size());
    for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    bool window_checked = false;
    bool going = a_.Read(&error) && b_.Read(&error);
    std::vector<uint32_t> changed, events;
    while (going && (a_.have || b_.have)) {
        const uint64_t time = !a_.have ? b_.step.time : !b_.have ? a_.step.time : std::min(a_.step.time, b_.step.time);
        if (time > args_.to) break;
        // Signals that already differ where the window starts.
        if (!window_checked && time > args_.from) {
            window_checked = true;
            if (!Report(args_.from, all)) break;
        }
        changed.clear();
        events.clear();
        for (Side *side : {&a_, &b_}) {
            if (!side->have || side->step.time != time) continue;
            for (auto &[slot, value] : side->step.changes) {
                side->values[slot] = std::move(value);
                side->set[slot] = true;
                for (const uint32_t pair : side->pairs_of[slot]) {
                    changed.push_back(pair);
                    if (pairs_[pair].a->kind == SignalKind::kEvent) events.push_back(pair);
                }
            }
        }
        if (time >= args_.from) {
            const bool whole = !window_checked;
            window_checked = true;
            if (!Report(time, whole ? all : changed)) break;
        }
        // An event has no value between its occurrences.
        for (const uint32_t pair : events) {
            a_.set[pairs_[pair].a->slot] = false;
            b_.set[pairs_[pair].b->slot] = false;
        }
        for (Side *side : {&a_, &b_}) {
            if (side->have && side->step.time == time && !side->Read(&error)) going = false;
        }
    }
    if (!error.empty()) {
        std::fflush(out_);
        PrintError(error);
        return kExitError;
    }
    if (going && !more_ && !window_checked && args_.from <= args_.to) Report(args_.from, all);
    if (more_) {
        Print("more differences follow (a larger --limit shows them)");
    }
    if (reported_ != 0) differ = true;
    if (!differ) Print("no differences in " + std::to_string(pairs_.size()) + " signals");
    return differ ? kExitCheckFailed : kExitOk;
}

}  // namespace

int RunDiff(const Args &args, std::FILE *out) { return Diff(args, out).Run(); }

}  // namespace trax
