#include "platform/guid.h"

#include <cstdio>
#include <stdexcept>

namespace platform {

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::optional<Guid> parseGuid(std::string_view t) {
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' ||
        t[24] != '-')
        return std::nullopt;
    std::uint8_t bytes[16];
    size_t pos = 1;
    for (int i = 0; i < 16; ++i) {
        if (t[pos] == '-') ++pos;
        int hi = hexValue(t[pos]), lo = hexValue(t[pos + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    Guid g;
    g.data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) |
              bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) g.data4[static_cast<size_t>(i)] = bytes[8 + i];
    return g;
}

Guid guidFromText(std::string_view text) {
    auto g = parseGuid(text);
    if (!g) throw std::invalid_argument("Invalid GUID text: " + std::string(text));
    return *g;
}

std::string guidToText(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", static_cast<unsigned>(g.data1),
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                  g.data4[7]);
    return buf;
}

}  // namespace platform
