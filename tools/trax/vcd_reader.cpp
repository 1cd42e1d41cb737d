#include "vcd_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace trax {

VcdReader::~VcdReader() {
    if (in_ != nullptr) std::fclose(in_);
}

bool VcdReader::Open(const std::string &path, std::string *error) {
    path_ = path;
    in_ = std::fopen(path.c_str(), "rb");
    if (in_ == nullptr) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    buffer_.resize(1 << 16);
    return true;
}

bool VcdReader::Token(std::string *token) {
    if (have_pending_) {
        have_pending_ = false;
        *token = std::move(pending_);
        return true;
    }
    token->clear();
    for (;;) {
        if (at_ == size_) {
            size_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
            at_ = 0;
            if (size_ == 0) return !token->empty();
        }
        const char c = buffer_[at_++];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            if (c == '\n') ++line_;
            if (!token->empty()) return true;
        } else {
            if (token->empty()) token_line_ = line_;
            token->push_back(c);
        }
    }
}

bool VcdReader::SkipToEnd() {
    std::string token;
    while (Token(&token)) {
        if (token == "$end") return true;
    }
    return false;
}

bool VcdReader::Fail(const std::string &what, std::string *error) const {
    *error = path_ + ":" + std::to_string(token_line_) + ": " + what;
    return false;
}

bool VcdReader::ReadHeader(VcdHeader *header, std::string *error) {
    *header = VcdHeader();
    std::vector<std::string> scopes;
    std::string scope_path;
    std::string token;
    while (Token(&token)) {
        if (token == "$enddefinitions") {
            SkipToEnd();
            break;
        }
        if (token == "$scope") {
            VcdScopeDecl scope;
            std::string name;
            if (!Token(&scope.kind) || !Token(&name)) return Fail("a $scope without a name", error);
            scopes.push_back(name);
            scope_path += scope_path.empty() ? name : "." + name;
            scope.path = scope_path;
            header->scopes.push_back(std::move(scope));
            SkipToEnd();
        } else if (token == "$upscope") {
            if (!scopes.empty()) {
                scope_path.resize(scopes.size() == 1 ? 0 : scope_path.size() - scopes.back().size() - 1);
                scopes.pop_back();
            }
            SkipToEnd();
        } else if (token == "$var") {
            VcdVarDecl var;
            std::string width;
            if (!Token(&var.type) || !Token(&width) || !Token(&var.id)) {
                return Fail("a $var cut short", error);
            }
            char *end = nullptr;
            const unsigned long value = std::strtoul(width.c_str(), &end, 10);
            if (width.empty() || *end != '\0' || value == 0 || value > UINT32_MAX) {
                return Fail("a $var with the width '" + width + "'", error);
            }
            var.width = static_cast<uint32_t>(value);
            // The name and an optional range, which may be a token of its
            // own ("bus [7:0]") or not ("bus[7:0]").
            while (Token(&token) && token != "$end") var.reference += token;
            const bool ranged = !var.reference.empty() && var.reference.back() == ']';
            const size_t open = ranged ? var.reference.rfind('[') : std::string::npos;
            var.name = var.reference.substr(0, open == 0 ? std::string::npos : open);
            var.range = open != std::string::npos && open != 0 ? var.reference.substr(open) : "";
            var.scope = scope_path;
            header->vars.push_back(std::move(var));
        } else if (token == "$timescale") {
            while (Token(&token) && token != "$end") header->timescale += token;
        } else if (token[0] == '$') {
            // $date, $version, $comment and the like.
            SkipToEnd();
        } else {
            // A file without $enddefinitions: the body starts here.
            pending_ = token;
            have_pending_ = true;
            break;
        }
    }
    return true;
}

bool VcdReader::Value(const std::string &token, VcdItem *item, std::string *error) {
    item->type = VcdItem::kValue;
    const char first = token[0];
    if (first == 'b' || first == 'B' || first == 'r' || first == 'R' || first == 's' || first == 'S') {
        item->form = first == 'B' ? 'b' : first == 'R' ? 'r' : first == 'S' ? 's' : first;
        item->value = token.substr(1);
        if (!Token(&item->id)) return Fail("a value without an identifier", error);
        return true;
    }
    item->form = '1';
    item->value = token.substr(0, 1);
    item->id = token.substr(1);
    if (item->id.empty()) return Fail("a value without an identifier", error);
    return true;
}

bool VcdReader::Next(VcdItem *item, std::string *error) {
    std::string token;
    while (Token(&token)) {
        switch (token[0]) {
            case '$':
                if (token == "$dumpoff" || token == "$dumpon") {
                    item->type = token == "$dumpoff" ? VcdItem::kDumpOff : VcdItem::kDumpOn;
                    return true;
                }
                if (token == "$dumpvars" || token == "$dumpall" || token == "$end") continue;
                // A comment, or declarations after the header: not values.
                SkipToEnd();
                continue;
            case '#': {
                char *end = nullptr;
                errno = 0;
                const unsigned long long time = std::strtoull(token.c_str() + 1, &end, 10);
                if (token.size() < 2 || *end != '\0' || errno != 0 || token[1] == '-') {
                    return Fail("a time '" + token + "'", error);
                }
                item->type = VcdItem::kTime;
                item->time = time;
                return true;
            }
            case 'b': case 'B': case 'r': case 'R': case 's': case 'S':
            case '0': case '1': case 'x': case 'X': case 'z': case 'Z':
                return Value(token, item, error);
            default:
                return Fail("unexpected '" + token + "'", error);
        }
    }
    if (std::ferror(in_) != 0) return Fail(std::string("cannot read: ") + std::strerror(errno), error);
    item->type = VcdItem::kEnd;
    return true;
}

}  // namespace trax
