#include "vcd_writer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "platform/large_memory.h"
#include "platform/short_copy.h"
#include "values.h"

namespace trax {
namespace {

constexpr size_t kFlushAt = 1 << 20;
constexpr uint64_t kNoTime = UINT64_MAX;

enum class Kind : uint8_t { kNone, kScalar, kVector, kEvent, kReal, kString };

// One cache line per variable: a change reads and writes all of it.
struct alignas(64) VcdVar {
    Kind kind = Kind::kNone;
    uint8_t id_length = 0;
    // The identifier and a newline, what ends a value line: at most five
    // characters and the newline, kept in 8 bytes so that one fixed-size
    // copy writes it.
    char id_line[8] = {};
    std::string_view id() const { return std::string_view(id_line, id_length); }
    uint64_t last_time = kNoTime;  // when it was written; kNoTime after $dumpoff/$dumpon
    VarShape shape;
    std::string last;  // the last value line without the identifier (for $dumpon)
};

// The VCD text waiting to be written: appended to in place, handed to the
// output in large writes. A value line is written straight into the buffer
// (Extend) rather than built elsewhere and copied.
class Output {
  public:
    explicit Output(std::FILE *out) : out_(out) { Grow(kFlushAt + 4096); }
    size_t size() const { return size_; }
    char *data() { return data_.get(); }
    // `count` more bytes at the end, left for the caller to fill.
    char *Extend(size_t count) {
        if (count > capacity_ - size_) Grow(size_ + count);
        char *at = data_.get() + size_;
        size_ += count;
        return at;
    }
    void Truncate(size_t size) { size_ = size; }
    Output &operator+=(std::string_view text) {
        if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
        return *this;
    }
    Output &operator+=(char c) {
        *Extend(1) = c;
        return *this;
    }
    bool MaybeFlush() { return size_ < kFlushAt || Flush(); }
    bool Flush() {
        if (size_ != 0 && std::fwrite(data_.get(), 1, size_, out_) != size_) {
            return false;
        }
        written_ += size_;
        size_ = 0;
        return true;
    }
    uint64_t written() const { return written_ + size_; }

  private:
    void Grow(size_t needed) {
        const size_t capacity = std::max(needed, 2 * capacity_);
        // Left uninitialised: every byte is written before it is used.
        std::unique_ptr<char[]> grown(new char[capacity]);
        if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::FILE *out_;
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    uint64_t written_ = 0;
};


// Names in a VCD are single tokens.
std::string Token(const char *name) {
    std::string token = name;
    for (char &c : token) {
        if (std::isspace(static_cast<unsigned char>(c))) c = '_';
    }
    return token.empty() ? "_" : token;
}

// "1ns", "10 ps", "100us": a VCD time scale; anything else is not.
bool VcdTimescale(const char *text, std::string *out) {
    std::string t;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p != ' ') t += *p;
    }
    size_t digits = 0;
    while (digits < t.size() && std::isdigit(static_cast<unsigned char>(t[digits]))) ++digits;
    const std::string number = t.substr(0, digits);
    const std::string unit = t.substr(digits);
    if (number != "1" && number != "10" && number != "100") return false;
    for (const char *u : {"s", "ms", "us", "ns", "ps", "fs"}) {
        if (unit == u) {
            *out = number + unit;
            return true;
        }
    }
    return false;
}

void AppendEscaped(const char *text, std::string *out) {
    static const char kHex[] = "0123456789abcdef";
    for (const char *p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7F || c == '\\') {
            out->push_back('\\');
            out->push_back('x');
            out->push_back(kHex[c >> 4]);
            out->push_back(kHex[c & 15]);
        } else {
            out->push_back(static_cast<char>(c));
        }
    }
}

Kind KindOf(const traxrVar &var) {
    switch (KindOfVar(var)) {
        case VarKind::kReal:
            return Kind::kReal;
        case VarKind::kString:
            return Kind::kString;
        case VarKind::kEvent:
            return Kind::kEvent;
        case VarKind::kLogic:
            break;
    }
    return var.width == 1 ? Kind::kScalar : Kind::kVector;
}

}  // namespace

class VcdStream::Export {
  public:
    explicit Export(std::FILE *out) : out_(out) {}

    void Begin(const Database &db);
    bool Changes(const Database &db, traxrWalk *walk, const Filter &filter, std::string *error);

    VcdStats stats;

  private:
    void Header(const Database &db);
    void Definitions(const Database &db);
    void Definition(traxrReader *reader, uint32_t var_index);
    enum class Appended { kWritten, kRepeated, kNoForm };
    // Appends a value line for the change, unless it repeats the line just
    // written for the variable at the same time or has no VCD form.
    Appended AppendValue(VcdVar &var, const traxrChange &change);
    // The value part of a line for a change other than plain logic bits;
    // false when it has no VCD form.
    bool AppendOtherValue(const VcdVar &var, const traxrChange &change);
    void DumpOff();
    void DumpOn();

    Output out_;
    // By idcode; in large pages: the changes of one time touch the
    // variables of a whole design.
    std::vector<VcdVar, tavri::platform::LargeAllocator<VcdVar>> vars_;
    std::string text_;          // room for building a value line
    bool have_time_ = false;  // a #TIME line was written; time_ is its time
    uint64_t time_ = 0;
};

void VcdStream::Export::Header(const Database &db) {
    const traxrHeader &h = db.header();
    Output &b = out_;
    b += "$date\n\t";
    b += h.simulation_date;
    b += "\n$end\n$version\n\t";
    b += h.simulator_version;
    b += " (trax from a database of version ";
    b += traxr_Version(db.reader());
    b += ")\n$end\n";
    std::string timescale;
    if (!VcdTimescale(h.scale_unit, &timescale)) {
        PrintError(db.path() + ": warning: scale unit \"" + h.scale_unit +
                   "\" is not a VCD time scale; 1ns is written instead");
        timescale = "1ns";
    }
    b += "$timescale\n\t" + timescale + "\n$end\n";
}

void VcdStream::Export::Definition(traxrReader *reader, uint32_t index) {
    traxrVar var{};
    traxr_GetVar(reader, index, &var);
    if (var.idcode >= vars_.size() || var.idcode == 0) return;
    VcdVar &v = vars_[var.idcode];
    if (!var.is_alias) {
        v.kind = KindOf(var);
        const std::string id = VcdIdentifier(var.idcode) + '\n';
        std::memcpy(v.id_line, id.data(), id.size());
        v.id_length = static_cast<uint8_t>(id.size());
        v.shape = VarShape{var.bytes_per_bit_code, var.width};
    }
    const Kind kind = KindOf(var);
    Output &b = out_;
    b += "$var ";
    switch (kind) {
        case Kind::kReal:
            b += "real 64";
            break;
        case Kind::kString:
            b += "string 1";
            break;
        default: {
            const std::string type = VarTypeName(var.type_code);
            b += var.type_code == 17 ? "reg" : type.rfind("type", 0) == 0 ? "wire" : type;
            b += ' ';
            b += std::to_string(var.width);
            break;
        }
    }
    std::string range;
    if (kind == Kind::kScalar || kind == Kind::kVector) {
        if (var.width > 1) {
            range = "[" + std::to_string(var.left) + ":" + std::to_string(var.right) + "]";
        } else if (var.left != 0) {
            range = "[" + std::to_string(var.left) + "]";
        }
    }
    // The dumper names vectors with their range ("sum[15:0]"); VCD gives the
    // range as a token of its own.
    std::string name = var.name;
    if (!range.empty() && name.size() > range.size() && name.ends_with(range)) {
        name.resize(name.size() - range.size());
    }
    b += ' ';
    b += VcdIdentifier(var.idcode);
    b += ' ';
    b += Token(name.c_str());
    if (!range.empty()) {
        b += ' ' + range;
    }
    b += " $end\n";
}

// The file holds one tree per $traxDumpvars call, and later trees repeat
// scopes and name variables again (as aliases with the same idcode). A VCD
// has one hierarchy: scopes with the same path become one scope, declared
// where the first of them is; a variable named again with the same idcode in
// the same scope is declared once. Other names of an idcode stay declared,
// with the identifier they share.
void VcdStream::Export::Definitions(const Database &db) {
    traxrReader *reader = db.reader();
    vars_.assign(traxr_ChainTableSize(reader), VcdVar());
    struct Node {
        uint32_t scope = 0;  // the first scope record with this path
        std::vector<uint32_t> vars;
        std::vector<uint32_t> children;
        std::map<std::string, uint32_t> child_by_name;
        std::set<std::pair<std::string, uint32_t>> named;  // (name, idcode)
    };
    std::vector<Node> nodes(1);  // nodes[0]: above the top scopes
    const uint32_t scopes = traxr_ScopeCount(reader);
    std::vector<uint32_t> node_of(scopes, 0);
    for (uint32_t i = 0; i < scopes; ++i) {
        traxrScope scope{};
        traxr_GetScope(reader, i, &scope);
        // A scope's parent comes before it in the stream.
        const uint32_t parent = scope.parent < i ? node_of[scope.parent] : 0;
        const auto [at, added] =
            nodes[parent].child_by_name.emplace(scope.name, static_cast<uint32_t>(nodes.size()));
        if (added) {
            nodes[parent].children.push_back(at->second);
            nodes.emplace_back().scope = i;
        }
        const uint32_t node = at->second;
        node_of[i] = node;
        for (uint32_t v = 0; v < scope.var_count; ++v) {
            traxrVar var{};
            traxr_GetVar(reader, scope.first_var + v, &var);
            if (nodes[node].named.emplace(var.name, var.idcode).second) {
                nodes[node].vars.push_back(scope.first_var + v);
            }
        }
    }
    // Depth first, without recursion: a file may nest scopes deeply.
    Output &b = out_;
    std::vector<std::pair<uint32_t, size_t>> stack{{0, 0}};  // node, next child
    while (!stack.empty()) {
        auto &[node, next] = stack.back();
        if (next == nodes[node].children.size()) {
            if (node != 0) b += "$upscope $end\n";
            stack.pop_back();
            continue;
        }
        const uint32_t child = nodes[node].children[next++];
        traxrScope scope{};
        traxr_GetScope(reader, nodes[child].scope, &scope);
        const char *type = ScopeTypeName(scope.type);
        b += "$scope ";
        b += type != nullptr ? type : "module";
        b += ' ';
        b += Token(scope.name);
        b += " $end\n";
        for (uint32_t index : nodes[child].vars) Definition(reader, index);
        stack.emplace_back(child, 0);
    }
    b += "$enddefinitions $end\n";
}

VcdStream::Export::Appended VcdStream::Export::AppendValue(VcdVar &var, const traxrChange &change) {
    const size_t start = out_.size();
    char *line;
    size_t length;
    if (change.kind == TRAXR_VALUE_LOGIC && change.bit_count > 0) {
        // The line and its identifier in one piece of the buffer.
        const uint32_t count = change.bit_count;
        if (count == 1 && var.kind != Kind::kVector) {
            length = 1;
            line = out_.Extend(length + sizeof var.id_line);
            line[0] = "01xz"[change.bits[0] & 3];
        } else {
            length = count + 2;
            line = out_.Extend(length + sizeof var.id_line);
            line[0] = 'b';
            WriteBitChars(change.bits, count, line + 1);
            line[count + 1] = ' ';
        }
    } else if (AppendOtherValue(var, change)) {
        length = out_.size() - start;
        line = out_.Extend(sizeof var.id_line) - length;
    } else {
        return Appended::kNoForm;
    }
    // The same value twice at one time tells a viewer nothing; a file holds
    // that when a value was dumped again in the same time step.
    if (var.last_time == change.time && var.last.size() == length &&
        std::memcmp(var.last.data(), line, length) == 0) {
        out_.Truncate(start);
        return Appended::kRepeated;
    }
    var.last.resize(length);
    tavri::platform::CopyShort(var.last.data(), line, length);
    var.last_time = change.time;
    std::memcpy(line + length, var.id_line, sizeof var.id_line);
    out_.Truncate(start + length + var.id_length);
    return Appended::kWritten;
}

bool VcdStream::Export::AppendOtherValue(const VcdVar &var, const traxrChange &change) {
    std::string &t = text_;
    t.clear();
    switch (change.kind) {
        case TRAXR_VALUE_REAL:
            t += 'r';
            AppendReal(change.real, &t);
            t += ' ';
            break;
        case TRAXR_VALUE_STRING:
            t += 's';
            AppendEscaped(change.text != nullptr ? change.text : "", &t);
            t += ' ';
            break;
        case TRAXR_VALUE_WORDS: {
            std::string words;
            AppendWords(change, &words);
            t += 's';
            AppendEscaped(words.c_str(), &t);
            t += ' ';
            break;
        }
        default:
            // The bits go straight after a 'b'; a scalar's one bit then
            // takes the 'b''s place.
            t += 'b';
            if (ValueBits(change, var.shape, &t) != ValueForm::kBits || t.size() == 1) {
                return false;
            }
            if (var.kind != Kind::kVector && t.size() == 2) {
                t.erase(0, 1);
            } else {
                t += ' ';
            }
            break;
    }
    out_ += t;
    return true;
}

void VcdStream::Export::DumpOff() {
    Output &b = out_;
    b += "$dumpoff\n";
    for (VcdVar &v : vars_) {
        v.last_time = kNoTime;
        if (v.kind == Kind::kScalar) {
            b += 'x';
            b += v.id();
        } else if (v.kind == Kind::kVector) {
            b += "bx ";
            b += v.id();
        }
    }
    b += "$end\n";
}

void VcdStream::Export::DumpOn() {
    Output &b = out_;
    b += "$dumpon\n";
    for (VcdVar &v : vars_) {
        v.last_time = kNoTime;
        if (!v.last.empty() && v.kind != Kind::kEvent) {
            b += v.last;
            b += v.id();
        }
    }
    b += "$end\n";
}

void VcdStream::Export::Begin(const Database &db) {
    Header(db);
    Definitions(db);
}

bool VcdStream::Export::Changes(const Database &db, traxrWalk *walk, const Filter &filter,
                                std::string *error) {
    traxrStatus status;
    bool written = true;
    for (;;) {
        uint32_t idcode;
        traxrChange change;
        status = traxr_WalkNext(walk, &idcode, &change);
        if (status != TRAXR_OK) break;
        // A ring file's first time repeats the marker's state: dumping that
        // was on there switched nothing on.
        if (idcode == 0 && change.redundant && !IsDumpOff(change)) continue;
        if (filter) {
            const Take take = filter(idcode, change);
            if (take == Take::kSkip) continue;
            if (take == Take::kStop) {
                status = TRAXR_END;
                break;
            }
        }
        Output &b = out_;
        if (!have_time_ || change.time != time_) {
            have_time_ = true;
            time_ = change.time;
            b += '#';
            b += std::to_string(time_);
            b += '\n';
        }
        if (idcode == 0) {
            if (IsDumpOff(change)) {
                DumpOff();
            } else {
                DumpOn();
            }
        } else if (idcode >= vars_.size() || vars_[idcode].kind == Kind::kNone) {
            ++stats.left_out;
        } else {
            switch (AppendValue(vars_[idcode], change)) {
                case Appended::kWritten:
                    ++stats.changes;
                    break;
                case Appended::kRepeated:
                    ++stats.repeated;
                    break;
                case Appended::kNoForm:
                    ++stats.left_out;
                    break;
            }
        }
        if (!out_.MaybeFlush()) {
            written = false;
            break;
        }
    }
    // Whole lines only: what was taken goes out before the walk's end counts.
    if (written) written = out_.Flush();
    stats.bytes = out_.written();
    if (!written) {
        *error = "writing the VCD failed";
        return false;
    }
    if (status != TRAXR_END) {
        *error = db.path() + ": " + traxr_LastMessage(db.reader());
        return false;
    }
    return true;
}

std::string VcdIdentifier(uint32_t idcode) {
    std::string id;
    do {
        id += static_cast<char>('!' + idcode % 94);
        idcode /= 94;
    } while (idcode != 0);
    return id;
}

VcdStream::VcdStream(std::FILE *out) : export_(std::make_unique<Export>(out)) {}
VcdStream::~VcdStream() = default;

void VcdStream::Begin(const Database &db) { export_->Begin(db); }

bool VcdStream::Changes(const Database &db, traxrWalk *walk, const Filter &filter,
                        std::string *error) {
    return export_->Changes(db, walk, filter, error);
}

const VcdStats &VcdStream::stats() const { return export_->stats; }

bool WriteVcd(const Database &db, std::FILE *out, VcdStats *stats, std::string *error) {
    *stats = VcdStats();
    VcdStream stream(out);
    stream.Begin(db);
    traxrWalk *walk = nullptr;
    if (traxr_OpenWalk(db.reader(), nullptr, 0, 0, UINT64_MAX, &walk) != TRAXR_OK) {
        *error = db.path() + ": " + traxr_LastMessage(db.reader());
        return false;
    }
    const bool ok = stream.Changes(db, walk, nullptr, error);
    traxr_CloseWalk(walk);
    *stats = stream.stats();
    return ok;
}

}  // namespace trax
