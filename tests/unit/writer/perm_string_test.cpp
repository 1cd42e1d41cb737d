#include "writer/perm_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tavri::writer {
namespace {

TEST(PermStringTest, EqualTextsShareOneCopy) {
    const char *first = MakePermString("abc");
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "abc");
    std::string other = "abc";
    EXPECT_EQ(MakePermString(other.c_str()), first);
    other[0] = 'x';
    EXPECT_STREQ(first, "abc") << "the copy does not depend on the caller's text";
    EXPECT_NE(MakePermString("abd"), first);
    EXPECT_NE(MakePermString("ab"), first);
}

TEST(PermStringTest, EmptyAndNull) {
    const char *empty = MakePermString("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(*empty, '\0');
    EXPECT_EQ(MakePermString(""), empty);
    EXPECT_EQ(MakePermStringPart("abc", "abc"), empty);
    EXPECT_EQ(MakePermString(nullptr), nullptr);
}

TEST(PermStringTest, PartOfAText) {
    const char *text = "abcdef";
    const char *part = MakePermStringPart(text + 1, text + 4);
    EXPECT_STREQ(part, "bcd");
    EXPECT_EQ(part, MakePermString("bcd"));
    EXPECT_EQ(MakePermStringPart(text + 4, text + 1), nullptr);
    EXPECT_EQ(MakePermStringPart(nullptr, text), nullptr);
    const char with_zero[] = {'x', 'y', '\0', 'z'};
    EXPECT_EQ(MakePermStringPart(with_zero, with_zero + 4), MakePermString("xy"));
}

TEST(PermStringTest, TextsLongerThanAChunk) {
    for (size_t length : {16383u, 16384u, 16385u, 40000u}) {
        std::string text(length, 'q');
        text[length / 2] = 'm';
        const char *copy = MakePermString(text.c_str());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(std::strlen(copy), length);
        EXPECT_EQ(copy, text);
        EXPECT_EQ(MakePermString(text.c_str()), copy);
    }
    // Smaller strings still come out right after the large ones.
    EXPECT_STREQ(MakePermString("after the large ones"), "after the large ones");
}

TEST(PermStringTest, ManyStringsStayIntact) {
    std::vector<std::string> texts;
    std::vector<const char *> copies;
    for (int i = 0; i < 20000; ++i) {
        texts.push_back("signal_" + std::to_string(i) + std::string(static_cast<size_t>(i % 13), '_'));
        copies.push_back(MakePermString(texts.back().c_str()));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(copies[i], texts[i]) << i;
        ASSERT_EQ(MakePermString(texts[i].c_str()), copies[i]) << i;
    }
}

}  // namespace
}  // namespace tavri::writer
