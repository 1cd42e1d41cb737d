#include "pli/wildcard.h"

namespace tavri::pli {
namespace {

// One element of a pattern: a literal, "?", a set, or something that never
// matches (an empty set, a lone backslash at the end).
struct Element {
    const char *next = nullptr;  // the pattern after the element
    bool matches = false;        // whether it takes the character
};

// Reads the set that starts after its "[" at `p` and tests `c` against it.
Element SetElement(const char *p, char c) {
    Element element;
    if (*p == ']') {
        element.next = p + 1;  // "[]": the empty set
        return element;
    }
    while (*p != '\0' && *p != ']') {
        char low = *p;
        if (low == '\\' && p[1] != '\0') {
            low = *++p;
        }
        ++p;
        char high = low;
        if (*p == '-' && p[1] != '\0' && p[1] != ']') {
            ++p;
            high = *p;
            if (high == '\\' && p[1] != '\0') {
                high = *++p;
            }
            ++p;
        }
        const auto a = static_cast<unsigned char>(low < high ? low : high);
        const auto b = static_cast<unsigned char>(low < high ? high : low);
        const auto u = static_cast<unsigned char>(c);
        if (u >= a && u <= b) {
            element.matches = true;
        }
    }
    element.next = *p == ']' ? p + 1 : p;
    return element;
}

// The element at `p` (not "*", not the end) tested against `c`.
Element ElementAt(const char *p, char c) {
    switch (*p) {
        case '?':
            return {p + 1, true};
        case '[':
            return SetElement(p + 1, c);
        case '\\':
            if (p[1] == '\0') {
                return {p + 1, false};
            }
            return {p + 2, p[1] == c};
        default:
            return {p + 1, *p == c};
    }
}

}  // namespace

// The classic single-star backtracking: on a mismatch, the last star takes
// one more character and matching resumes behind it. Every element takes
// exactly one character, so this finds a match whenever there is one.
bool WildcardMatch(const char *pattern, const char *name) {
    if (pattern == nullptr || name == nullptr) {
        return false;
    }
    const char *p = pattern;
    const char *n = name;
    const char *star = nullptr;  // the pattern behind the last star
    const char *star_name = nullptr;
    while (*n != '\0') {
        if (*p == '*') {
            star = ++p;
            star_name = n;
            continue;
        }
        if (*p != '\0') {
            const Element element = ElementAt(p, *n);
            if (element.matches) {
                p = element.next;
                ++n;
                continue;
            }
        }
        if (star == nullptr) {
            return false;
        }
        p = star;
        n = ++star_name;
    }
    while (*p == '*') {
        ++p;
    }
    return *p == '\0';
}

}  // namespace tavri::pli
