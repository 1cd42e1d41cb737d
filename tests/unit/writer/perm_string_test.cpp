#include "writer/perm_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavri::writer {
namespace {

TEST(PermStringTest, EqualTextsShareOneCopy) {
    std::string text = "abc";
    const char *copy = MakePermString(text.c_str());
    EXPECT_EQ(MakePermString("abc"), copy);
    text[0] = 'x';
    EXPECT_STREQ(copy, "abc");
    EXPECT_NE(MakePermString("ab"), copy);
    const char framed[] = "xabcx";
    EXPECT_EQ(MakePermStringPart(framed + 1, framed + 4), copy);
    const char with_zero[] = {'a', 'b', 'c', '\0', 'z'};
    EXPECT_EQ(MakePermStringPart(with_zero, with_zero + 5), copy);
}

TEST(PermStringTest, EmptyAndNull) {
    const char *empty = MakePermString("");
    EXPECT_STREQ(empty, "");
    const char text[] = "abc";
    EXPECT_EQ(MakePermStringPart(text, text), empty);
    EXPECT_EQ(MakePermString(nullptr), nullptr);
    EXPECT_EQ(MakePermStringPart(text + 2, text), nullptr);
}

TEST(PermStringTest, LongTextsAndManyTexts) {
    const std::string long_text = std::string(16385, 'q') + "end";
    const char *long_copy = MakePermString(long_text.c_str());
    EXPECT_EQ(long_copy, long_text);
    std::vector<std::string> texts;
    std::vector<const char *> copies;
    for (int i = 0; i < 5000; ++i) {  // past the table's first growth
        texts.push_back("signal_" + std::to_string(i));
        copies.push_back(MakePermString(texts.back().c_str()));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(copies[i], texts[i]);
        ASSERT_EQ(MakePermString(texts[i].c_str()), copies[i]);
    }
    EXPECT_EQ(MakePermString(long_text.c_str()), long_copy);
}

}  // namespace
}  // namespace tavri::writer
