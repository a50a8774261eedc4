#include "profiles/priority_images.h"

#include <algorithm>
#include <vector>

namespace profiles {

namespace {

constexpr int N = kPriorityImageSize;
constexpr std::uint32_t kChipBody = 0xFF505A64;
constexpr std::uint32_t kChipPins = 0xFFA0A8B0;
constexpr std::uint32_t kChipMark = 0xFFD0D4D8;
constexpr std::uint32_t kLetters = 0xFF1E3C8C;

// One picture, transparent where nothing is drawn.
class Canvas {
public:
    Canvas() : pixels_(static_cast<size_t>(N) * N, 0) {}
    void fill(int left, int top, int right, int bottom, std::uint32_t color) {  // right and bottom inclusive
        for (int y = std::max(top, 0); y <= std::min(bottom, N - 1); ++y)
            for (int x = std::max(left, 0); x <= std::min(right, N - 1); ++x)
                pixels_[static_cast<size_t>(y) * N + static_cast<size_t>(x)] = color;
    }
    // An arrow in the column from x0 to x0 + 10: shaft 4 wide, head 11 wide and 6 high,
    // the head at the top (up) or at the bottom (down).
    void arrow(int x0, int top, int bottom, bool up, std::uint32_t color) {
        const int centre = x0 + 5;
        for (int i = 0; i < 6; ++i) {
            const int y = up ? top + i : bottom - i;
            fill(centre - i, y, centre + i, y, color);
        }
        if (up) fill(centre - 2, top + 6, centre + 1, bottom, color);
        else fill(centre - 2, top, centre + 1, bottom - 6, color);
    }
    std::vector<std::uint32_t> take() { return std::move(pixels_); }

private:
    std::vector<std::uint32_t> pixels_;
};

void chip(Canvas& c) {
    c.fill(4, 8, 17, 23, kChipBody);
    for (int k = 0; k < 4; ++k) {
        const int at = 9 + k * 4;
        c.fill(1, at, 3, at + 1, kChipPins);    // left pins
        c.fill(18, at, 20, at + 1, kChipPins);  // right pins
        const int col = 5 + k * 3;
        c.fill(col, 5, col + 1, 7, kChipPins);    // top pins
        c.fill(col, 24, col + 1, 26, kChipPins);  // bottom pins
    }
    c.fill(6, 10, 8, 12, kChipMark);  // the corner mark of pin 1
}

void letters(Canvas& c) {
    // I
    c.fill(1, 9, 5, 10, kLetters);
    c.fill(2, 11, 4, 21, kLetters);
    c.fill(1, 22, 5, 23, kLetters);
    // /
    for (int y = 9; y <= 23; ++y) {
        const int x = 11 - (y - 9) * 5 / 14;
        c.fill(x - 1, y, x, y, kLetters);
    }
    // O
    c.fill(13, 9, 19, 10, kLetters);
    c.fill(13, 22, 19, 23, kLetters);
    c.fill(12, 10, 13, 22, kLetters);
    c.fill(19, 10, 20, 22, kLetters);
}

void arrows(Canvas& c, int level) {
    constexpr int x0 = 21;
    switch (level) {
        case 0:  // idle: down onto a bar
            c.arrow(x0, 1, 24, false, kArrowDownColor);
            c.fill(x0, 27, x0 + 10, 29, kBarColor);
            break;
        case 1: c.arrow(x0, 2, 29, false, kArrowDownColor); break;  // low
        case 2:                                                      // default: up above down
            c.arrow(x0, 0, 14, true, kArrowUpColor);
            c.arrow(x0, 17, 31, false, kArrowDownColor);
            break;
        default: c.arrow(x0, 2, 29, true, kArrowUpColor); break;  // high
    }
}

}  // namespace

ui::ImageList priorityImages() {
    ui::ImageList list;
    list.width = list.height = N;
    for (int group = 0; group < 2; ++group) {
        for (int level = 0; level < 4; ++level) {
            Canvas c;
            if (group == 0) chip(c);
            else letters(c);
            arrows(c, level);
            list.images.push_back(c.take());
        }
    }
    return list;
}

}  // namespace profiles
