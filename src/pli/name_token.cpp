#include "pli/name_token.h"

namespace tavri::pli {
namespace {

bool EndsEveryName(char c) { return c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string NameToken(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    std::string name;
    if (at < text.size() && text[at] == '"') {
        for (++at; at < text.size() && text[at] != '"' && !EndsEveryName(text[at]); ++at) {
            name.push_back(text[at]);
        }
        return name;
    }
    bool escaped = false;
    for (; at < text.size() && !EndsEveryName(text[at]); ++at) {
        const char c = text[at];
        if (c == ' ') {
            if (!escaped) {
                break;
            }
            escaped = false;  // the blank that ends an escaped identifier
        } else if (c == '\\') {
            escaped = true;
        }
        name.push_back(c);
    }
    return name;
}

}  // namespace tavri::pli
