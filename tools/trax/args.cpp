#include "args.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace trax {
namespace {

bool ParseTime(const std::string &text, uint64_t *out) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *out = value;
    return true;
}

}  // namespace

const char *UsageText() {
    return "usage: trax info FILE\n"
           "       trax tree FILE\n"
           "       trax dump FILE [--var PATH]... [--from TIME] [--to TIME]\n"
           "       trax vcd FILE -o OUT.vcd [--follow]\n"
           "       trax check FILE\n"
           "       trax recover FILE [-o OUT]\n"
           "       trax diff A B [--var PATH]... [--from TIME] [--to TIME] [--limit N]\n"
           "       trax svg FILE --var PATH... [--from TIME] [--to TIME] -o OUT.svg\n"
           "       trax convert FILE OUT --method lzo1b[:LEVEL]|zstd[:LEVEL]\n";
}

bool ParseArgs(int argc, const char *const *argv, Args *args, std::string *error) {
    *args = Args();
    if (argc < 2) {
        *error = "no command given";
        return false;
    }
    const std::string command = argv[1];
    if (command == "help" || command == "--help" || command == "-h") {
        args->command = Command::kHelp;
        return true;
    }
    if (command == "info") {
        args->command = Command::kInfo;
    } else if (command == "tree") {
        args->command = Command::kTree;
    } else if (command == "dump") {
        args->command = Command::kDump;
    } else if (command == "vcd") {
        args->command = Command::kVcd;
    } else if (command == "check") {
        args->command = Command::kCheck;
    } else if (command == "recover") {
        args->command = Command::kRecover;
    } else if (command == "diff") {
        args->command = Command::kDiff;
    } else if (command == "svg") {
        args->command = Command::kSvg;
    } else if (command == "convert") {
        args->command = Command::kConvert;
    } else {
        *error = "unknown command '" + command + "'";
        return false;
    }
    bool have_from = false, have_to = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inline_value = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg.resize(equals);
                inline_value = true;
            }
        }
        auto take_value = [&](const char *name) -> bool {
            if (inline_value) return true;
            if (i + 1 >= argc) {
                *error = std::string("option ") + name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        const bool dump = args->command == Command::kDump || args->command == Command::kDiff ||
                          args->command == Command::kSvg;
        if (dump && arg == "--var") {
            if (!take_value("--var")) return false;
            if (value.empty()) {
                *error = "--var needs a variable path";
                return false;
            }
            args->vars.push_back(value);
        } else if (dump && (arg == "--from" || arg == "--to")) {
            if (!take_value(arg.c_str())) return false;
            uint64_t time;
            if (!ParseTime(value, &time)) {
                *error = arg + " takes a time as a whole number, not '" + value + "'";
                return false;
            }
            (arg == "--from" ? args->from : args->to) = time;
            (arg == "--from" ? have_from : have_to) = true;
        } else if (args->command == Command::kDiff && arg == "--limit") {
            if (!take_value("--limit")) return false;
            if (!ParseTime(value, &args->limit)) {
                *error = "--limit takes a whole number, not '" + value + "'";
                return false;
            }
        } else if ((args->command == Command::kVcd || args->command == Command::kRecover ||
                    args->command == Command::kSvg) &&
                   (arg == "-o" || arg == "--output")) {
            if (!take_value("-o")) return false;
            if (value.empty()) {
                *error = "-o needs a file name";
                return false;
            }
            args->output = value;
        } else if (args->command == Command::kConvert && arg == "--method") {
            if (!take_value("--method")) return false;
            args->method = value;
        } else if (args->command == Command::kVcd && arg == "--follow" && !inline_value) {
            args->follow = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option '" + arg + "' for " + command;
            return false;
        } else if (args->file.empty()) {
            args->file = arg;
        } else if ((args->command == Command::kDiff || args->command == Command::kConvert) &&
                   args->second_file.empty()) {
            args->second_file = arg;
        } else {
            *error = "more than one file given ('" + args->file + "' and '" + arg + "')";
            return false;
        }
    }
    if (args->file.empty()) {
        *error = command + " needs a database file";
        return false;
    }
    if (args->command == Command::kVcd && args->output.empty()) {
        *error = "vcd needs an output file: -o OUT.vcd";
        return false;
    }
    if (args->command == Command::kDiff && args->second_file.empty()) {
        *error = "diff needs two files: trax diff A B";
        return false;
    }
    if (args->command == Command::kConvert && args->second_file.empty()) {
        *error = "convert needs an output file: trax convert FILE OUT --method METHOD";
        return false;
    }
    if (args->command == Command::kConvert && args->method.empty()) {
        *error = "convert needs --method lzo1b[:LEVEL] or zstd[:LEVEL]";
        return false;
    }
    if (args->command == Command::kSvg && args->vars.empty()) {
        *error = "svg needs the signals to draw: --var PATH";
        return false;
    }
    if (args->command == Command::kSvg && args->output.empty()) {
        *error = "svg needs an output file: -o OUT.svg";
        return false;
    }
    args->to_given = have_to;
    if (have_from && have_to && args->from > args->to) {
        *error = "--from lies after --to";
        return false;
    }
    return true;
}

}  // namespace trax
