#include "wave_source.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "database.h"
#include "values.h"
#include "vcd_reader.h"

namespace trax {
namespace {

std::string StripRanges(std::string name) {
    while (!name.empty() && name.back() == ']') {
        const size_t open = name.rfind('[');
        if (open == std::string::npos || open == 0) break;
        name.resize(open);
    }
    return name;
}

// "[3:3]" as "[3]", so that a one-bit range reads the same however declared.
std::string ShortRange(const std::string &reference) {
    const size_t open = reference.rfind('[');
    const size_t colon = reference.rfind(':');
    if (open == std::string::npos || colon == std::string::npos || colon < open ||
        reference.back() != ']') {
        return reference;
    }
    const std::string left = reference.substr(open + 1, colon - open - 1);
    const std::string right = reference.substr(colon + 1, reference.size() - colon - 2);
    return left == right ? reference.substr(0, open) + "[" + left + "]" : reference;
}

// Collects the changes of one step: the last value of each slot.
class StepBuilder {
  public:
    explicit StepBuilder(uint32_t slots) : at_(slots, kNone) {}
    void Start(WaveStep *step, uint64_t time) {
        for (const uint32_t slot : touched_) at_[slot] = kNone;
        touched_.clear();
        step->changes.clear();
        step->time = time;
    }
    std::string &Value(WaveStep *step, uint32_t slot) {
        if (at_[slot] == kNone) {
            at_[slot] = static_cast<uint32_t>(step->changes.size());
            touched_.push_back(slot);
            step->changes.emplace_back(slot, std::string());
        }
        std::string &value = step->changes[at_[slot]].second;
        value.clear();
        return value;
    }

  private:
    static constexpr uint32_t kNone = UINT32_MAX;
    std::vector<uint32_t> at_;
    std::vector<uint32_t> touched_;
};

// While dumping is off a file holds no reals (a simulator writes NaN, the
// dumper 0) and no events; and what a file gives in the step where dumping
// switches is the state at that time, not an occurrence of an event.
void QuietStep(WaveStep *step, const std::vector<SignalKind> &kinds, bool off, bool switched) {
    if (!off && !switched) return;
    auto &changes = step->changes;
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [&](const auto &change) { return kinds[change.first] == SignalKind::kEvent; }),
                  changes.end());
    if (!off) return;
    for (auto &[slot, value] : changes) {
        if (kinds[slot] == SignalKind::kReal) value = "nan";
    }
}

// ---- A database, through the reader's time-ordered walk ----

class TraxWave : public WaveSource {
  public:
    ~TraxWave() override { traxr_CloseWalk(walk_); }
    bool Open(const std::string &path, std::string *error);
    void Select(const std::vector<bool> &slots) override { selected_ = slots; }
    bool NextStep(WaveStep *step, std::string *error) override;

  private:
    bool Pull(std::string *error);  // the next change into change_, or have_ false at the end
    void Apply(WaveStep *step);

    Database db_;
    std::vector<bool> selected_;
    std::vector<SignalKind> kinds_;  // by slot (idcode)
    std::vector<VarShape> shapes_;
    std::vector<std::string> last_;   // logic and real slots: the last value, for dump-off and dump-on
    std::vector<std::string> saved_;  // their values when dumping went off
    bool dumped_off_ = false;
    bool switched_ = false;  // dumping switched in this step
    traxrWalk *walk_ = nullptr;
    bool started_ = false, have_ = false;
    uint32_t idcode_ = 0;
    traxrChange change_{};
    std::unique_ptr<StepBuilder> builder_;
};

bool TraxWave::Open(const std::string &path, std::string *error) {
    file_ = path;
    if (db_.Open(path, error) != TRAXR_OK) return false;
    traxrReader *reader = db_.reader();
    time_unit_ = db_.header().scale_unit;
    slot_count_ = traxr_ChainTableSize(reader);
    kinds_.assign(slot_count_, SignalKind::kLogic);
    shapes_.assign(slot_count_, VarShape());
    std::vector<std::pair<std::string, std::string>> names;
    const uint32_t vars = traxr_VarCount(reader);
    for (uint32_t i = 0; i < vars; ++i) {
        traxrVar var{};
        if (traxr_GetVar(reader, i, &var) != TRAXR_OK || var.idcode == 0 || var.idcode >= slot_count_) {
            continue;
        }
        WaveSignal signal;
        signal.slot = var.idcode;
        signal.width = var.width;
        signal.kind = KindOfVar(var);
        if (signal.kind != SignalKind::kLogic) signal.width = 1;
        kinds_[var.idcode] = signal.kind;
        shapes_[var.idcode] = VarShape{var.bytes_per_bit_code, var.width};
        // The writer may give a vector's name with its range ("sum[15:0]").
        std::string range;
        if (signal.kind == SignalKind::kLogic) {
            if (var.width > 1) {
                range = "[" + std::to_string(var.left) + ":" + std::to_string(var.right) + "]";
            } else if (var.left != 0) {
                range = "[" + std::to_string(var.left) + "]";
            }
        }
        std::string reference = var.name;
        if (!reference.ends_with(range)) reference += range;
        signals_.push_back(signal);
        std::string scope_path;
        for (uint32_t s = var.scope; s != TRAXR_NONE;) {
            traxrScope record{};
            if (traxr_GetScope(reader, s, &record) != TRAXR_OK) break;
            scope_path = scope_path.empty() ? std::string(record.name) : record.name + ("." + scope_path);
            if (record.parent >= s) break;  // a parent comes before its scope
            s = record.parent;
        }
        names.emplace_back(scope_path, reference);
    }
    SetPaths(names);
    return true;
}

bool TraxWave::Pull(std::string *error) {
    const traxrStatus status = traxr_WalkNext(walk_, &idcode_, &change_);
    have_ = status == TRAXR_OK;
    if (status == TRAXR_OK || status == TRAXR_END) return true;
    *error = file_ + ": " + traxr_LastMessage(db_.reader());
    return false;
}

void TraxWave::Apply(WaveStep *step) {
    if (idcode_ == 0) {
        // A ring file's first time repeats the marker's state: dumping that
        // was on there switched nothing on.
        if (change_.redundant && !IsDumpOff(change_)) return;
        const bool off = IsDumpOff(change_);
        if (off == dumped_off_) return;
        dumped_off_ = off;
        switched_ = true;
        for (uint32_t slot = 1; slot < slot_count_; ++slot) {
            if (last_[slot].empty()) continue;
            if (off) saved_[slot] = last_[slot];
            std::string &value = builder_->Value(step, slot);
            if (!off) {
                value = saved_[slot];
            } else if (kinds_[slot] == SignalKind::kReal) {
                value = "nan";
            } else {
                value.assign(last_[slot].size(), 'x');
            }
            last_[slot] = value;
        }
        return;
    }
    if (idcode_ >= slot_count_) return;
    std::string &value = builder_->Value(step, idcode_);
    switch (kinds_[idcode_]) {
        case SignalKind::kEvent:
            value = "1";
            return;
        case SignalKind::kReal:
            if (change_.kind == TRAXR_VALUE_REAL) {
                AppendReal(change_.real, &value);
                last_[idcode_] = value;
                return;
            }
            break;
        case SignalKind::kString:
            if (change_.kind == TRAXR_VALUE_STRING) {
                value = change_.text != nullptr ? change_.text : "";
                return;
            }
            break;
        case SignalKind::kLogic:
            if (ValueBits(change_, shapes_[idcode_], &value) == ValueForm::kBits) {
                last_[idcode_] = value;
                return;
            }
            value.clear();
            break;
    }
    // A form the variable's kind does not have: shown as stored.
    AppendDumpValue(change_, shapes_[idcode_], &value);
}

bool TraxWave::NextStep(WaveStep *step, std::string *error) {
    if (!started_) {
        started_ = true;
        std::vector<uint32_t> idcodes;
        if (!selected_.empty()) {
            idcodes.push_back(0);
            for (uint32_t slot = 1; slot < slot_count_ && slot < selected_.size(); ++slot) {
                if (selected_[slot]) idcodes.push_back(slot);
            }
        }
        if (traxr_OpenWalk(db_.reader(), selected_.empty() ? nullptr : idcodes.data(),
                           static_cast<uint32_t>(idcodes.size()), 0, UINT64_MAX, &walk_) != TRAXR_OK) {
            *error = file_ + ": " + traxr_LastMessage(db_.reader());
            return false;
        }
        last_.assign(slot_count_, std::string());
        saved_.assign(slot_count_, std::string());
        builder_ = std::make_unique<StepBuilder>(slot_count_);
        if (!Pull(error)) return false;
    }
    error->clear();
    while (have_) {
        builder_->Start(step, change_.time);
        const uint64_t time = change_.time;
        switched_ = false;
        while (have_ && change_.time == time) {
            Apply(step);
            if (!Pull(error)) return false;
        }
        QuietStep(step, kinds_, dumped_off_, switched_);
        if (!step->changes.empty()) return true;
    }
    return false;
}

// ---- A VCD file ----

class VcdWave : public WaveSource {
  public:
    bool Open(const std::string &path, std::string *error);
    void Select(const std::vector<bool> &slots) override { selected_ = slots; }
    bool NextStep(WaveStep *step, std::string *error) override;

  private:
    void Apply(uint32_t slot, const VcdItem &item, WaveStep *step);

    VcdReader reader_;
    std::unordered_map<std::string, uint32_t> slot_of_id_;
    std::vector<SignalKind> kinds_;  // by slot
    std::vector<uint32_t> widths_;
    std::vector<bool> selected_;
    std::unique_ptr<StepBuilder> builder_;
    bool have_time_ = false, ended_ = false;
    uint64_t time_ = 0;
    bool off_ = false;       // between $dumpoff and $dumpon
    bool switched_ = false;  // dumping switched in this step
    std::vector<bool> real_set_;  // real slots that had a value
};

SignalKind VcdKind(const std::string &type) {
    if (type == "real" || type == "realtime") return SignalKind::kReal;
    if (type == "event") return SignalKind::kEvent;
    if (type == "string") return SignalKind::kString;
    return SignalKind::kLogic;
}

bool VcdWave::Open(const std::string &path, std::string *error) {
    file_ = path;
    VcdHeader header;
    if (!reader_.Open(path, error) || !reader_.ReadHeader(&header, error)) return false;
    time_unit_ = header.timescale;
    std::vector<std::pair<std::string, std::string>> names;
    for (const VcdVarDecl &var : header.vars) {
        const auto [at, added] = slot_of_id_.emplace(var.id, static_cast<uint32_t>(kinds_.size()));
        WaveSignal signal;
        signal.kind = VcdKind(var.type);
        signal.width = signal.kind == SignalKind::kLogic ? var.width : 1;
        signal.slot = at->second;
        if (added) {
            kinds_.push_back(signal.kind);
            widths_.push_back(signal.width);
        }
        signals_.push_back(signal);
        names.emplace_back(var.scope, var.reference);
    }
    slot_count_ = static_cast<uint32_t>(kinds_.size());
    SetPaths(names);
    builder_ = std::make_unique<StepBuilder>(slot_count_);
    real_set_.assign(slot_count_, false);
    return true;
}

void VcdWave::Apply(uint32_t slot, const VcdItem &item, WaveStep *step) {
    std::string &value = builder_->Value(step, slot);
    switch (kinds_[slot]) {
        case SignalKind::kEvent:
            value = "1";
            return;
        case SignalKind::kReal: {
            real_set_[slot] = true;
            char *end = nullptr;
            const double number = std::strtod(item.value.c_str(), &end);
            if (*end == '\0' && !item.value.empty()) {
                AppendReal(number, &value);
            } else {
                value = item.value;
            }
            return;
        }
        case SignalKind::kString:
            // \xHH stands for a byte a token cannot hold.
            for (size_t i = 0; i < item.value.size(); ++i) {
                if (item.value[i] == '\\' && i + 3 < item.value.size() && item.value[i + 1] == 'x' &&
                    std::isxdigit(static_cast<unsigned char>(item.value[i + 2])) &&
                    std::isxdigit(static_cast<unsigned char>(item.value[i + 3]))) {
                    value.push_back(static_cast<char>(std::strtoul(item.value.substr(i + 2, 2).c_str(), nullptr, 16)));
                    i += 3;
                } else {
                    value.push_back(item.value[i]);
                }
            }
            return;
        case SignalKind::kLogic:
            break;
    }
    const uint32_t width = widths_[slot];
    for (const char c : item.value) value.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (value.size() > width) {
        value.erase(0, value.size() - width);
    } else if (value.size() < width) {
        const char fill = !value.empty() && (value[0] == 'x' || value[0] == 'z') ? value[0] : '0';
        value.insert(0, width - value.size(), fill);
    }
}

bool VcdWave::NextStep(WaveStep *step, std::string *error) {
    error->clear();
    if (ended_) return false;
    builder_->Start(step, time_);
    VcdItem item;
    for (;;) {
        if (!reader_.Next(&item, error)) return false;
        if (item.type == VcdItem::kEnd) {
            ended_ = true;
            QuietStep(step, kinds_, off_, switched_);
            return !step->changes.empty();
        }
        if (item.type == VcdItem::kDumpOff || item.type == VcdItem::kDumpOn) {
            off_ = item.type == VcdItem::kDumpOff;
            switched_ = true;
            // A simulator gives x for logic values in the section, and for
            // reals NaN or nothing.
            for (uint32_t slot = 0; off_ && slot < slot_count_; ++slot) {
                if (real_set_[slot] && (selected_.empty() || selected_[slot])) builder_->Value(step, slot) = "nan";
            }
            continue;
        }
        if (item.type == VcdItem::kTime) {
            if (have_time_ && item.time < time_) {
                *error = file_ + ": time goes back from " + std::to_string(time_) + " to " +
                         std::to_string(item.time);
                return false;
            }
            const bool new_step = !have_time_ || item.time != time_;
            have_time_ = true;
            const uint64_t previous = time_;
            time_ = item.time;
            if (new_step && !step->changes.empty()) {
                step->time = previous;
                QuietStep(step, kinds_, off_, switched_);
                switched_ = false;
                return true;
            }
            if (new_step) switched_ = false;
            step->time = time_;
            continue;
        }
        const auto found = slot_of_id_.find(item.id);
        if (found == slot_of_id_.end()) {
            *error = file_ + ": a value for the undeclared identifier '" + item.id + "'";
            return false;
        }
        if (!selected_.empty() && !selected_[found->second]) continue;
        Apply(found->second, item, step);
    }
}

}  // namespace

void WaveSource::SetPaths(const std::vector<std::pair<std::string, std::string>> &names) {
    auto join = [](const std::string &scope, const std::string &name) {
        return scope.empty() ? name : scope + "." + name;
    };
    // Slots per short path: a path that names two variables keeps ranges.
    std::map<std::string, std::vector<uint32_t>> slots_of;
    for (size_t i = 0; i < signals_.size(); ++i) {
        std::vector<uint32_t> &slots = slots_of[join(names[i].first, StripRanges(names[i].second))];
        if (std::find(slots.begin(), slots.end(), signals_[i].slot) == slots.end()) {
            slots.push_back(signals_[i].slot);
        }
    }
    std::vector<WaveSignal> kept;
    std::map<std::string, bool> seen;
    for (size_t i = 0; i < signals_.size(); ++i) {
        const std::string short_path = join(names[i].first, StripRanges(names[i].second));
        WaveSignal signal = signals_[i];
        signal.path = slots_of[short_path].size() > 1 ? join(names[i].first, ShortRange(names[i].second))
                                                       : short_path;
        // A name given twice (a variable named again in a later tree) is
        // one signal; of two different variables under one name the first
        // is kept.
        if (seen.emplace(signal.path, true).second) kept.push_back(std::move(signal));
    }
    signals_ = std::move(kept);
}

std::unique_ptr<WaveSource> OpenWave(const std::string &path, std::string *error) {
    std::FILE *in = std::fopen(path.c_str(), "rb");
    int first = EOF;
    if (in != nullptr) {
        do {
            first = std::fgetc(in);
        } while (first == ' ' || first == '\t' || first == '\n' || first == '\r');
        std::fclose(in);
    }
    if (first == '$') {
        auto vcd = std::make_unique<VcdWave>();
        if (!vcd->Open(path, error)) return nullptr;
        return vcd;
    }
    auto trax = std::make_unique<TraxWave>();
    if (!trax->Open(path, error)) return nullptr;
    return trax;
}

bool TimeUnitFemtoseconds(const std::string &unit, uint64_t *femtoseconds) {
    std::string text;
    for (const char c : unit) {
        if (c != ' ') text += c;
    }
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    const std::string number = text.substr(0, digits);
    const std::string suffix = text.substr(digits);
    uint64_t scale = number == "1" ? 1 : number == "10" ? 10 : number == "100" ? 100 : 0;
    static const std::pair<const char *, uint64_t> kUnits[] = {
        {"s", 1000000000000000ull}, {"ms", 1000000000000ull}, {"us", 1000000000ull},
        {"ns", 1000000ull},         {"ps", 1000ull},          {"fs", 1ull}};
    for (const auto &[name, length] : kUnits) {
        if (scale != 0 && suffix == name) {
            *femtoseconds = scale * length;
            return true;
        }
    }
    return false;
}

bool RealsEqual(const std::string &a, const std::string &b) {
    if (a == b) return true;
    char *end_a = nullptr;
    char *end_b = nullptr;
    const double x = std::strtod(a.c_str(), &end_a);
    const double y = std::strtod(b.c_str(), &end_b);
    if (a.empty() || b.empty() || *end_a != '\0' || *end_b != '\0') return false;
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
    return x == y || std::fabs(x - y) <= 1e-12 * std::max(std::fabs(x), std::fabs(y));
}

}  // namespace trax
