// Typed registry reads and writes: each read fails exactly where the runtime's
// registry class fails, and every key opened is closed again.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/registry_accessor.h"
#include "platform/text.h"
#include "sim/sim_windows.h"

namespace {

using platform::RegistryAccessor;
using Bytes = std::vector<std::uint8_t>;

const char* const kKey = "Software\\Test";

Bytes utf16(const std::u16string& s) {
    Bytes b(s.size() * 2);
    std::memcpy(b.data(), s.data(), b.size());
    return b;
}

class RegistryAccessorTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    void SetUp() override { win.registry[kKey]; }
    void store(std::uint32_t type, Bytes data) { win.setRegValue(kKey, "v", type, std::move(data)); }
};

TEST_F(RegistryAccessorTest, IntegerReadsOnlyADwordOfAtMostFourBytes) {
    const struct { const char* what; std::optional<std::uint32_t> type; Bytes data; bool ok; std::int32_t value; } cases[] = {
        {"dword", platform::REG_DWORD_, {0x2A, 0, 0, 0}, true, 42},
        {"negative", platform::REG_DWORD_, {0xFF, 0xFF, 0xFF, 0xFF}, true, -1},
        {"two bytes fill the low bytes", platform::REG_DWORD_, {0x34, 0x12}, true, 0x1234},
        {"missing", std::nullopt, {}, false, 7},
        {"eight bytes", platform::REG_DWORD_, Bytes(8, 1), false, 7},
        {"binary of four bytes", platform::REG_BINARY_, {1, 0, 0, 0}, false, 7},
        {"text", platform::REG_SZ_, utf16(u"1"), false, 7},
    };
    for (const auto& c : cases) {
        win.registry[kKey].clear();
        if (c.type) store(*c.type, c.data);
        RegistryAccessor r(win);
        ASSERT_TRUE(r.openForReading(kKey));
        std::int32_t value = 7;
        EXPECT_EQ(r.readInteger("v", value), c.ok) << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
    EXPECT_EQ(win.openKeys(), 0u);
}

TEST_F(RegistryAccessorTest, BinaryReadsReplaceOnlyTheBytesStored) {
    const Bytes sixteen{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const struct { const char* what; std::optional<std::uint32_t> type; Bytes data; bool ok; Bytes after; } cases[] = {
        {"sixteen bytes", platform::REG_BINARY_, sixteen, true, sixteen},
        {"eight bytes", platform::REG_BINARY_, Bytes(8, 0xAA),
         true, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"none type", platform::REG_NONE_, sixteen, true, sixteen},
        {"empty", platform::REG_BINARY_, {}, true, Bytes(16, 0xEE)},
        {"twenty bytes", platform::REG_BINARY_, Bytes(20, 1), false, Bytes(16, 0xEE)},
        {"dword", platform::REG_DWORD_, {1, 0, 0, 0}, false, Bytes(16, 0xEE)},
        {"multi-string", platform::REG_MULTI_SZ_, utf16(std::u16string(u"a\0\0", 3)), false, Bytes(16, 0xEE)},
        {"missing", std::nullopt, {}, false, Bytes(16, 0xEE)},
    };
    for (const auto& c : cases) {
        win.registry[kKey].clear();
        if (c.type) store(*c.type, c.data);
        RegistryAccessor r(win);
        ASSERT_TRUE(r.openForReading(kKey));
        Bytes buffer(16, 0xEE);
        EXPECT_EQ(r.readBinary("v", buffer.data(), 16), c.ok) << c.what;
        EXPECT_EQ(buffer, c.after) << c.what;
    }
}

TEST_F(RegistryAccessorTest, TextReadsAcceptBothStringTypesAndDropOneTrailingZero) {
    const struct { const char* what; std::optional<std::uint32_t> type; Bytes data; bool ok; std::string text; } cases[] = {
        {"with its zero", platform::REG_SZ_, utf16(std::u16string(u"yes\0", 4)), true, "yes"},
        {"without a zero", platform::REG_SZ_, utf16(u"yes"), true, "yes"},
        {"two zeros keep one", platform::REG_SZ_, utf16(std::u16string(u"ab\0\0", 4)), true, std::string("ab\0", 3)},
        {"expandable, not expanded", platform::REG_EXPAND_SZ_, utf16(u"%TEMP%"), true, "%TEMP%"},
        {"non-ASCII", platform::REG_SZ_, utf16(u"caf\u00e9 \U0001F600"), true, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"unpaired surrogate", platform::REG_SZ_, utf16(u"a\xD800" u"b"), true, "a\xEF\xBF\xBD" "b"},
        {"odd byte dropped", platform::REG_SZ_, {'h', 0, 'i', 0, 'x'}, true, "hi"},
        {"missing reads empty", std::nullopt, {}, true, ""},
        {"empty of another type reads empty", platform::REG_DWORD_, {}, true, ""},
        {"dword", platform::REG_DWORD_, {1, 0, 0, 0}, false, ""},
        {"multi-string", platform::REG_MULTI_SZ_, utf16(std::u16string(u"a\0\0", 3)), false, ""},
        {"binary", platform::REG_BINARY_, {'a', 0}, false, ""},
    };
    for (const auto& c : cases) {
        win.registry[kKey].clear();
        if (c.type) store(*c.type, c.data);
        RegistryAccessor r(win);
        ASSERT_TRUE(r.openForReading(kKey));
        std::string text = "old";
        EXPECT_EQ(r.readText("v", text), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(text, c.text) << c.what;
        }
    }
}

TEST_F(RegistryAccessorTest, WritesStoreTypedValuesAndTextWithItsZero) {
    RegistryAccessor r(win);
    ASSERT_TRUE(r.openWithCreate("Software\\New"));
    EXPECT_TRUE(r.writeInteger("i", -2));
    const std::uint8_t guid[16] = {8, 0x13, 0x84, 0xA1};
    EXPECT_TRUE(r.writeBinary("g", guid, 16));
    EXPECT_TRUE(r.writeText("t", "ab\xC3\xA9"));
    // A text cut inside a character converts leniently.
    EXPECT_TRUE(r.writeText("cut", "x\xC3"));
    EXPECT_EQ(win.regValue("Software\\New", "i")->data, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(win.regValue("Software\\New", "g")->type, platform::REG_BINARY_);
    EXPECT_EQ(win.regValue("Software\\New", "g")->data.size(), 16u);
    EXPECT_EQ(win.regValue("Software\\New", "t")->type, platform::REG_SZ_);
    EXPECT_EQ(win.regValue("Software\\New", "t")->data, (Bytes{'a', 0, 'b', 0, 0xE9, 0, 0, 0}));
    EXPECT_EQ(win.regValue("Software\\New", "cut")->data, (Bytes{'x', 0, 0xFD, 0xFF, 0, 0}));
    EXPECT_TRUE(r.deleteValue("t"));
    EXPECT_FALSE(r.deleteValue("t"));
    EXPECT_EQ(win.regValue("Software\\New", "t"), nullptr);
    win.failing.insert("RegSetValueExA i");
    EXPECT_FALSE(r.writeInteger("i", 3));
    r.close();
    EXPECT_EQ(win.openKeys(), 0u);
}

TEST_F(RegistryAccessorTest, KeysOpenOnlyAsAsked) {
    RegistryAccessor r(win);
    EXPECT_FALSE(r.keyExists("Software\\Missing"));
    EXPECT_FALSE(r.openForReading("Software\\Missing"));
    EXPECT_TRUE(r.createKey("Software\\Missing"));
    EXPECT_TRUE(r.keyExists("Software\\Missing"));
    ASSERT_TRUE(r.openForReading("Software\\Missing"));
    EXPECT_FALSE(r.writeInteger("i", 1));  // read access only
    EXPECT_FALSE(r.valueExists("i"));
    win.failing.insert("RegCreateKeyExA");
    EXPECT_FALSE(r.openWithCreate("Software\\Other"));
    std::string text;
    EXPECT_FALSE(r.readText("x", text));  // nothing open
    EXPECT_EQ(win.openKeys(), 0u);
}

TEST(TextConversion, Utf8ToUtf16IsLenientAndBounded) {
    const struct { std::string in; std::u16string out; } cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9", u"\u00e9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xC3", u"\uFFFD"},                      // cut after the lead byte
        {"\xE2\x82", u"\uFFFD"},                  // cut inside a three-byte character
        {"\x80z", u"\uFFFDz"},                     // a lone continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},             // an overlong form
        {"\xED\xA0\x80", u"\uFFFD"},               // an encoded surrogate
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::utf8ToUtf16(c.in), c.out) << c.in;
}

}  // namespace
