// A GUID in the Windows memory layout, without any Windows header.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Compared as 16 bytes, as the power service does.
    friend bool operator==(const Guid& a, const Guid& b) {
        return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && a.data4 == b.data4;
    }
    bool isZero() const { return *this == Guid{}; }
};
static_assert(sizeof(Guid) == 16, "a GUID is 16 bytes");

// The braced 38-character form "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
std::optional<Guid> parseGuid(std::string_view text);
// Throws std::invalid_argument on text that is not a braced GUID.
Guid guidFromText(std::string_view text);
std::string guidToText(const Guid& g);

}  // namespace platform
