// Other programs' window texts and classes: read with the wide calls, handed on as
// UTF-8 in the 8-bit calls' buffers (at most maxCount-1 bytes and a zero).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace {

struct CopyCase {
    const char* what;
    std::u16string text;
    int maxCount;
    std::string expected;
};

TEST(WindowText, CopiedAsUtf8CutBeforeTheCharacterThatDoesNotFit) {
    const std::u16string reader = std::u16string(125, u'x') + u"\u00e9";  // 127 bytes as UTF-8
    const CopyCase cases[] = {
        {"ASCII", u"Notepad", 127, "Notepad"},
        {"non-ASCII", u"Caf\u00e9 \u20ac \u00dcbersicht", 127, "Caf\xC3\xA9 \xE2\x82\xAC \xC3\x9C" "bersicht"},
        {"exactly full", u"ab\u00e9", 5, "ab\xC3\xA9"},
        {"cut inside a two-byte character", u"abc\u00e9", 5, "abc"},
        {"cut inside a three-byte character", u"ab\u20ac", 5, "ab"},
        {"reader title of 127", reader, 127, std::string(125, 'x')},
        {"a pair that fits", u"a\U0001F525", 6, "a\xF0\x9F\x94\xA5"},
        {"cut inside a surrogate pair", u"a\U0001F525", 5, "a"},
        // The read takes one unit more than the bytes kept: a pair it cut lies beyond.
        {"high half cut off by the read", u"ab\xD83D", 3, "ab"},
        {"unpaired low surrogate", u"a\xDC00" u"b", 127, "a\xEF\xBF\xBD" "b"},
        {"unpaired high surrogate", u"a\xD83D" u"b", 127, "a\xEF\xBF\xBD" "b"},
        {"up to the first zero", std::u16string(u"ab\0cd", 5), 127, "ab"},
        {"room for the zero only", u"abc", 1, ""},
    };
    for (const CopyCase& c : cases) {
        std::vector<char> buffer(static_cast<size_t>(c.maxCount) + 8, '#');
        const int n = platform::copyAsUtf8(c.text, buffer.data(), c.maxCount);
        EXPECT_EQ(n, static_cast<int>(c.expected.size())) << c.what;
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.what;
        // Nothing written past the buffer the caller named.
        EXPECT_EQ(std::string(buffer.begin() + c.maxCount, buffer.end()), std::string(8, '#')) << c.what;
    }
    char untouched[2] = {'#', '#'};
    EXPECT_EQ(platform::copyAsUtf8(u"abc", untouched, 0), 0);
    EXPECT_EQ(untouched[0], '#');
}

}  // namespace
