// The eight pictures of the priority buttons on the profile page, drawn at start:
// images 0 to 3 a processor chip, 4 to 7 the letters I/O, each carrying the arrows
// of its level (0 idle, 1 low, 2 default, 3 high).
#pragma once

#include <cstdint>

#include "ui/ui.h"

namespace profiles {

inline constexpr int kPriorityImageSize = 32;
inline constexpr std::uint32_t kArrowUpColor = 0xFFD81E1E;    // red
inline constexpr std::uint32_t kArrowDownColor = 0xFF1EA03C;  // green
inline constexpr std::uint32_t kBarColor = 0xFF303030;        // what the idle arrow points onto

ui::ImageList priorityImages();

}  // namespace profiles
