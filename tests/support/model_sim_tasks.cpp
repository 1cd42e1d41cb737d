// Task rows and task calls: registration, placing calls (from Verilog source
// or from Arg lists), and running checktf and calltf in the call's context.
#include <cctype>
#include <stdexcept>

#include "support/model_sim_internal.h"

namespace tavri::test {
namespace {

[[noreturn]] void Fail(const std::string &message) { throw std::invalid_argument(message); }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
}

// Splits the text between the parentheses at the commas outside string
// literals and brackets.
std::vector<std::string_view> SplitArguments(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == ',' && depth == 0) {
            parts.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    if (in_string) {
        Fail("unterminated string in " + std::string(text));
    }
    parts.push_back(Trim(text.substr(start)));
    return parts;
}

std::string Unescape(std::string_view literal) {
    std::string text;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        char c = literal[i];
        if (c == '\\' && i + 1 < literal.size()) {
            c = literal[++i];
            if (c == 'n') {
                c = '\n';
            } else if (c == 't') {
                c = '\t';
            }
        }
        text.push_back(c);
    }
    return text;
}

// A sized or based literal: [size]'[s]<base><digits>, e.g. 4'b10xz, 8'hf0, 'd7.
Arg ParseBased(std::string_view text) {
    const auto tick = text.find('\'');
    const int size = tick == 0 ? 32 : std::stoi(std::string(text.substr(0, tick)));
    std::size_t at = tick + 1;
    if (at < text.size() && (text[at] == 's' || text[at] == 'S')) {
        ++at;
    }
    if (at >= text.size()) {
        Fail("bad literal " + std::string(text));
    }
    const char base = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
    const std::string_view digits = text.substr(at + 1);
    std::string binary;
    int bits_per_digit = 0;
    if (base == 'b') {
        bits_per_digit = 1;
    } else if (base == 'o') {
        bits_per_digit = 3;
    } else if (base == 'h') {
        bits_per_digit = 4;
    } else if (base == 'd') {
        Arg arg;
        arg.kind = Arg::Kind::kBits;
        arg.bits = FourState::FromUnsigned(std::stoull(std::string(digits)), size);
        return arg;
    } else {
        Fail("bad literal base in " + std::string(text));
    }
    for (char c : digits) {
        if (c == '_') {
            continue;
        }
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == 'x' || lower == 'z' || lower == '?') {
            binary.append(static_cast<std::size_t>(bits_per_digit), lower == 'x' ? 'x' : 'z');
            continue;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(lower)) ? lower - '0' : lower - 'a' + 10;
        if (digit < 0 || digit >= (1 << bits_per_digit)) {
            Fail("bad digit in " + std::string(text));
        }
        for (int b = bits_per_digit - 1; b >= 0; --b) {
            binary.push_back(((digit >> b) & 1) != 0 ? '1' : '0');
        }
    }
    // Drop leading digits beyond the size, as Verilog truncates.
    if (static_cast<int>(binary.size()) > size) {
        binary.erase(0, binary.size() - static_cast<std::size_t>(size));
    }
    Arg arg;
    arg.kind = Arg::Kind::kBits;
    arg.bits = FourState::FromBinary(binary, size);
    return arg;
}

bool IsSelectable(const Object *object) {
    return object->kind == ObjectKind::kNet || object->kind == ObjectKind::kReg ||
           object->kind == ObjectKind::kInteger || object->kind == ObjectKind::kTime;
}

}  // namespace

Arg Arg::String(std::string text) {
    Arg arg;
    arg.kind = Kind::kString;
    arg.text = std::move(text);
    return arg;
}

Arg Arg::Ref(Object *object) {
    Arg arg;
    arg.kind = Kind::kRef;
    arg.object = object;
    return arg;
}

Arg Arg::BitSelect(Object *vector, int index) {
    Arg arg;
    arg.kind = Kind::kBitSelect;
    arg.object = vector;
    arg.index = index;
    return arg;
}

Arg Arg::PartSelect(Object *vector, int msb, int lsb) {
    Arg arg;
    arg.kind = Kind::kPartSelect;
    arg.object = vector;
    arg.index = msb;
    arg.index2 = lsb;
    return arg;
}

Arg Arg::WordSelect(Memory *memory, int index) {
    Arg arg;
    arg.kind = Kind::kWordSelect;
    arg.object = memory;
    arg.index = index;
    return arg;
}

Arg Arg::Int(std::int32_t value) {
    Arg arg;
    arg.kind = Kind::kInt;
    arg.int_value = value;
    return arg;
}

Arg Arg::Bits(std::string_view binary) {
    Arg arg;
    arg.kind = Kind::kBits;
    arg.bits = FourState::FromBinary(binary);
    return arg;
}

Arg Arg::Real(double value) {
    Arg arg;
    arg.kind = Kind::kReal;
    arg.real_value = value;
    return arg;
}

void ModelSim::mti_RegisterUserTF(p_tfcell row) {
    if (row == nullptr || row->tfname == nullptr) {
        Diagnose("mti_RegisterUserTF: row without a name");
        return;
    }
    rows_.push_back(row);
}

p_tfcell ModelSim::FindRow(std::string_view tfname) const {
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        if (tfname == (*it)->tfname) {
            return *it;
        }
    }
    return nullptr;
}

Arg ModelSim::ParseArg(Scope *scope, std::string_view text) const {
    if (text.empty()) {
        return Arg::Empty();
    }
    if (text.front() == '"') {
        if (text.size() < 2 || text.back() != '"') {
            Fail("bad string literal " + std::string(text));
        }
        return Arg::String(Unescape(text.substr(1, text.size() - 2)));
    }
    if (text.find('\'') != std::string_view::npos) {
        return ParseBased(text);
    }
    if (std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-' || text.front() == '.') {
        const std::string number(text);
        std::size_t used = 0;
        if (number.find_first_of(".eE") != std::string::npos) {
            const double real = std::stod(number, &used);
            if (used != number.size()) {
                Fail("bad real constant " + number);
            }
            return Arg::Real(real);
        }
        const long long value = std::stoll(number, &used);
        if (used != number.size() || value < INT32_MIN || value > INT32_MAX) {
            Fail("bad integer constant " + number);
        }
        return Arg::Int(static_cast<std::int32_t>(value));
    }
    // A name, possibly with a select: path, path[i], path[m:l].
    std::string_view path = text;
    std::optional<int> first;
    std::optional<int> second;
    const auto open = text.rfind('[');
    if (open != std::string_view::npos && text.back() == ']') {
        path = Trim(text.substr(0, open));
        const std::string inside(text.substr(open + 1, text.size() - open - 2));
        const auto colon = inside.find(':');
        first = std::stoi(inside.substr(0, colon));
        if (colon != std::string::npos) {
            second = std::stoi(inside.substr(colon + 1));
        }
    }
    for (char c : path) {
        if (!IsIdentifierChar(c) && c != '.') {
            Fail("cannot read argument " + std::string(text));
        }
    }
    Object *object = Lookup(path, scope);
    if (object == nullptr) {
        Fail("unknown name " + std::string(path) + " in " + scope->FullName());
    }
    if (!first) {
        return Arg::Ref(object);
    }
    if (object->kind == ObjectKind::kMemory && !second) {
        return Arg::WordSelect(static_cast<Memory *>(object), *first);
    }
    if (!IsSelectable(object)) {
        Fail("cannot select from " + std::string(path));
    }
    return second ? Arg::PartSelect(object, *first, *second) : Arg::BitSelect(object, *first);
}

TaskCall *ModelSim::AddTaskCall(Scope *scope, std::string_view source) {
    if (scope == nullptr || !Owns(scope) || scope->kind != ObjectKind::kScope) {
        Fail("a task call needs a scope");
    }
    std::string_view text = Trim(source);
    if (!text.empty() && text.back() == ';') {
        text = Trim(text.substr(0, text.size() - 1));
    }
    std::size_t end = 0;
    while (end < text.size() && IsIdentifierChar(text[end])) {
        ++end;
    }
    const std::string tfname(text.substr(0, end));
    if (tfname.size() < 2 || tfname.front() != '$') {
        Fail("not a task call: " + std::string(source));
    }
    const std::string_view rest = Trim(text.substr(end));
    std::vector<Arg> args;
    if (!rest.empty()) {
        if (rest.front() != '(' || rest.back() != ')') {
            Fail("bad argument list in " + std::string(source));
        }
        for (std::string_view part : SplitArguments(rest.substr(1, rest.size() - 2))) {
            args.push_back(ParseArg(scope, part));
        }
    }
    return AddTaskCall(scope, tfname, std::move(args));
}

TaskCall *ModelSim::AddTaskCall(Scope *scope, const std::string &tfname, std::vector<Arg> args) {
    if (scope == nullptr || !Owns(scope) || scope->kind != ObjectKind::kScope) {
        Fail("a task call needs a scope");
    }
    p_tfcell row = FindRow(tfname);
    if (row == nullptr) {
        Fail("task " + tfname + " is not registered");
    }
    return NewCall(scope, row, tfname, std::move(args));
}

TaskCall *ModelSim::NewCall(Scope *scope, p_tfcell row, const std::string &tfname, std::vector<Arg> args) {
    auto call = std::make_unique<TaskCall>();
    call->row = row;
    call->scope = scope;
    call->tfname = tfname;
    call->mipname = scope->FullName();
    call->slots.resize(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Arg &arg = args[i];
        TaskCall::Slot &slot = call->slots[i];
        const bool needs_object = arg.kind != Arg::Kind::kEmpty && arg.kind != Arg::Kind::kString &&
                                  arg.kind != Arg::Kind::kInt && arg.kind != Arg::Kind::kBits &&
                                  arg.kind != Arg::Kind::kReal;
        if (needs_object && (arg.object == nullptr || !Owns(arg.object))) {
            Fail("argument " + std::to_string(i + 1) + " of " + tfname + " names no object");
        }
        switch (arg.kind) {
            case Arg::Kind::kString:
                slot.literal = arg.text;
                break;
            case Arg::Kind::kInt:
                slot.constant = Make<Constant>(FourState::FromUnsigned(static_cast<std::uint32_t>(arg.int_value), 32), true);
                break;
            case Arg::Kind::kBits:
                slot.constant = Make<Constant>(arg.bits, false);
                break;
            case Arg::Kind::kReal:
                slot.constant = Make<Constant>(arg.real_value);
                break;
            case Arg::Kind::kBitSelect:
                if (!IsSelectable(arg.object) || static_cast<Signal *>(arg.object)->PositionOf(arg.index) < 0) {
                    Fail("bad bit select in argument " + std::to_string(i + 1) + " of " + tfname);
                }
                break;
            case Arg::Kind::kPartSelect: {
                const auto *signal = static_cast<const Signal *>(arg.object);
                if (!IsSelectable(arg.object) || signal->PositionOf(arg.index) < 0 ||
                    signal->PositionOf(arg.index2) < 0 ||
                    signal->PositionOf(arg.index) < signal->PositionOf(arg.index2)) {
                    Fail("bad part select in argument " + std::to_string(i + 1) + " of " + tfname);
                }
                break;
            }
            case Arg::Kind::kWordSelect:
                if (arg.object->kind != ObjectKind::kMemory ||
                    static_cast<const Memory *>(arg.object)->CellOf(arg.index) < 0) {
                    Fail("bad word select in argument " + std::to_string(i + 1) + " of " + tfname);
                }
                break;
            default:
                break;
        }
    }
    call->args = std::move(args);
    TaskCall *raw = call.get();
    calls_.push_back(std::move(call));
    call_order_.push_back(raw);
    return raw;
}

int ModelSim::RunRoutine(TaskCall *call, p_tffn routine, int reason) {
    if (routine == nullptr) {
        return 0;
    }
    CallContext context(this, call);
    return routine(call->row->data, reason);
}

int ModelSim::RunCheck(TaskCall *call) {
    const int errors_before = CountMessages(Channel::kError);
    call->check_result = RunRoutine(call, call->row->checktf, reason_checktf);
    call->check_errors = CountMessages(Channel::kError) - errors_before;
    call->checked = true;
    return call->check_result;
}

int ModelSim::RunCall(TaskCall *call) {
    ++call->call_count;
    call->last_call_result = RunRoutine(call, call->row->calltf, reason_calltf);
    return call->last_call_result;
}

TaskCall *ModelSim::RunTask(Scope *scope, std::string_view source) {
    TaskCall *call = AddTaskCall(scope, source);
    // A tf_error at compile time stops a simulator before the run starts.
    RunCheck(call);
    if (call->check_errors == 0) {
        RunCall(call);
    }
    return call;
}

TaskCall *ModelSim::CallOf(char *instance, const char *routine) {
    for (const auto &call : calls_) {
        if (call->instance() == instance) {
            return call.get();
        }
    }
    Diagnose(std::string(routine) + ": unknown task instance");
    return nullptr;
}

}  // namespace tavri::test
