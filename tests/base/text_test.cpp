#include <gtest/gtest.h>

#include "base/encoding.h"
#include "base/text.h"

namespace vantrelo {
namespace {

TEST(Text, ComparesBytesUnsignedWithResultMinusOneZeroOrOne) {
    struct Case {
        Text a, b;
        int expected;
    };
    const Case cases[] = {
        {Text(), Text(""), 0},                 // absent equals empty
        {Text("abc"), Text("abd"), -1},
        {Text("abd"), Text("abc"), 1},
        {Text("ab"), Text("abc"), -1},
        {Text("\xB0\xA1"), Text("a"), 1},      // bytes above 0x7F sort after ASCII
        {Text("Zebra"), Text("apple"), -1},    // no case folding
        {Text("zzzzzzzz"), Text("a"), 1},      // result is clamped to +1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a.compare(c.b), c.expected) << c.a.bytes() << " vs " << c.b.bytes();
    }
}

TEST(Text, ConcatenatesAndFormatsSignedDecimals) {
    EXPECT_EQ((Text("\xc3\xfb\xc6\xac") + Text::number(7)).bytes(), "\xc3\xfb\xc6\xac" "7");
    EXPECT_EQ(Text::number(-2147483648LL).bytes(), "-2147483648");
    EXPECT_EQ(Text::number(0).bytes(), "0");
}

TEST(Encoding, RoundTripsGbkAndKeepsCharactersOutsideIt) {
    // 论坛 is two GBK characters; the emoji and the Korean syllable are not in GBK.
    const std::string utf8 = "\xe8\xae\xba\xe5\x9d\x9b abc \xf0\x9f\x98\x80 \xed\x95\x9c";
    const Text text = textFromUtf8(utf8);
    EXPECT_EQ(text.bytes().substr(0, 4), "\xc2\xdb\xcc\xb3");
    EXPECT_EQ(text.bytes().find('?'), std::string::npos);
    EXPECT_EQ(textToUtf8(text), utf8);
    const std::u32string points = textToCodePoints(text);
    EXPECT_EQ(points.front(), U'\u8bba');
    EXPECT_NE(points.find(U'\U0001F600'), std::u32string::npos);
}

TEST(Encoding, ReplacesBrokenInputInsteadOfDroppingTheRest) {
    // A lone lead byte in the middle of GBK text, and invalid UTF-8.
    EXPECT_EQ(textToUtf8(Text("a\x81 b")), "a\xef\xbf\xbd b");
    EXPECT_EQ(textToUtf8(textFromUtf8("x\xff" "y")), "x\xef\xbf\xbdy");
    EXPECT_EQ(textToCodePoints(Text("\xb0")), std::u32string(1, U'\ufffd'));
}

}  // namespace
}  // namespace vantrelo
