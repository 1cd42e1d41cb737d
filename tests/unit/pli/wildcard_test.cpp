// The wildcard matcher of $traxDumpPattern, case by case.
#include <gtest/gtest.h>

#include "pli/wildcard.h"

namespace tavri::test {
namespace {

struct Case {
    const char *pattern;
    const char *name;
    bool matches;
};

constexpr Case kCases[] = {
    // Literals and the whole name.
    {"core", "core", true},
    {"core", "Core", false},
    {"core", "core1", false},
    {"core", "cor", false},
    {"", "", true},
    {"", "a", false},
    // Stars and question marks.
    {"*", "", true},
    {"*", "anything", true},
    {"u*", "u", true},
    {"u*_core", "u2_x_core", true},
    {"*_core", "u2_core_core", true},
    {"*a*b", "xaxbxb", true},
    {"*a*b", "xaxbxc", false},
    {"**", "ab", true},
    {"?", "", false},
    {"?", "a", true},
    {"u?", "u12", false},
    {"??*", "u1", true},
    // Sets and ranges.
    {"u[0-3]*", "u2_core", true},
    {"u[0-3]*", "u4", false},
    {"u[0-3]*", "u3", true},
    {"[b-a]", "a", true},  // a range written high-to-low
    {"[b-a]", "b", true},
    {"[b-a]", "c", false},
    {"[9-0x]", "5", true},
    {"[9-0x]", "x", true},
    {"[abc]x", "bx", true},
    {"[abc]x", "dx", false},
    {"[a-]", "-", true},  // a hyphen before the end of the set is a character
    {"[-a]", "-", true},
    {"[!a]", "!", true},  // no negation
    {"[!a]", "b", false},
    {"*[0-9]", "bus12", true},
    {"*[0-9]", "bus1x", false},
    // The empty set never matches.
    {"[]", "", false},
    {"[]", "]", false},
    {"a[]b", "ab", false},
    {"*[]*", "anything", false},
    // A set left open at the end still matches a listed character.
    {"a[bc", "ab", true},
    {"a[bc", "ac", true},
    {"a[bc", "ad", false},
    {"a[bc", "abc", false},
    {"a[b-", "a-", true},
    // Escapes.
    {"\\*", "*", true},
    {"\\*", "a", false},
    {"a\\?b", "a?b", true},
    {"a\\?b", "axb", false},
    {"\\[0\\]", "[0]", true},
    {"u\\[3\\]*", "u[3]_x", true},
    {"[\\]x]", "]", true},
    {"[\\]x]", "x", true},
    {"\\\\", "\\", true},
    // A lone backslash at the end never matches.
    {"a\\", "a", false},
    {"a\\", "a\\", false},
    {"*\\", "x\\", false},
};

TEST(WildcardMatch, Table) {
    for (const Case &c : kCases) {
        EXPECT_EQ(pli::WildcardMatch(c.pattern, c.name), c.matches)
            << "pattern \"" << c.pattern << "\" against \"" << c.name << "\"";
    }
}

}  // namespace
}  // namespace tavri::test
