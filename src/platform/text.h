// Text conversions: UTF-8 inside the system, UTF-16 at the wide Windows calls.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Converts up to the terminator or maxUnits code units; an unpaired surrogate
// becomes U+FFFD rather than failing.
std::string utf16ToUtf8(const char16_t* text, std::size_t maxUnits);

}  // namespace platform
