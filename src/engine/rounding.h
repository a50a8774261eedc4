// Rounding to the nearest whole number with ties to even, as the load percent and
// the minimum-time count require (12.5 gives 12, 13.5 gives 14).
#pragma once

#include <cmath>
#include <cstdint>

namespace engine {

inline long double roundHalfEven(long double x) {
    long double r = std::floor(x);
    long double frac = x - r;
    if (frac > 0.5L || (frac == 0.5L && std::fmod(r, 2.0L) != 0.0L)) r += 1.0L;
    return r;
}

// The low 32 bits of a whole number, read as signed, without overflowing on the way.
inline std::int32_t low32(long double whole) {
    constexpr long double k2p32 = 4294967296.0L;
    long double m = std::fmod(whole, k2p32);
    if (m < 0) m += k2p32;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(m));
}

}  // namespace engine
