// Text conversions: UTF-8 inside the system, UTF-16 at the wide Windows calls.
// Both directions are lenient: what cannot be converted becomes U+FFFD rather than
// failing, so a text cut inside a character still converts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Converts up to the terminator or maxUnits code units.
std::string utf16ToUtf8(const char16_t* text, std::size_t maxUnits);
// Converts every code unit, zeros included.
std::string utf16ToUtf8(std::u16string_view text);
// Converts every byte, zeros included.
std::u16string utf8ToUtf16(std::string_view text);

// Fills an 8-bit buffer as the 8-bit window calls do, from a text read with a wide
// call: the UTF-8 form of text up to its first zero, cut to at most maxCount-1 bytes
// but never inside a character, then a terminating zero. Returns the bytes copied;
// writes nothing when maxCount < 1.
int copyAsUtf8(std::u16string_view text, char* buffer, int maxCount);

}  // namespace platform
