#include "platform/text.h"

#include <cstring>

namespace platform {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool continuation(unsigned char b) { return (b & 0xC0) == 0x80; }
}  // namespace

std::string utf16ToUtf8(const char16_t* text, std::size_t maxUnits) {
    std::size_t n = 0;
    while (n < maxUnits && text[n] != 0) ++n;
    return utf16ToUtf8(std::u16string_view(text, n));
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        append(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        // The length the lead byte announces and the smallest value it may carry, so
        // that overlong forms are refused as well.
        std::size_t length = 1;
        char32_t c = b, least = 0;
        if (b >= 0xC2 && b <= 0xDF) length = 2, c = b & 0x1F, least = 0x80;
        else if (b >= 0xE0 && b <= 0xEF) length = 3, c = b & 0x0F, least = 0x800;
        else if (b >= 0xF0 && b <= 0xF4) length = 4, c = b & 0x07, least = 0x10000;
        else if (b >= 0x80) c = kReplacement;
        std::size_t k = 1;
        while (k < length && i + k < text.size() && continuation(static_cast<unsigned char>(text[i + k]))) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            ++k;
        }
        if (k < length || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
        i += k;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

int copyAsUtf8(std::u16string_view text, char* buffer, int maxCount) {
    if (!buffer || maxCount < 1) return 0;
    const std::string utf8 = utf16ToUtf8(text.data(), text.size());
    std::size_t n = utf8.size();
    if (n > static_cast<std::size_t>(maxCount) - 1) {
        n = static_cast<std::size_t>(maxCount) - 1;
        // The conversion gives whole characters: back off to the start of the one cut.
        while (n > 0 && continuation(static_cast<unsigned char>(utf8[n]))) --n;
    }
    std::memcpy(buffer, utf8.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace platform
