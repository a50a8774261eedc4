// Where the main window goes on its monitor: its design scaled to the screen's density
// while that fits the work area, shrunk to the largest density that fits when not.
#include <gtest/gtest.h>

#include "ui/design.h"

namespace {

struct FitCase {
    const char* what;
    int dpi;
    int frameWidth, frameHeight;  // at the screen's density
    ui::Area monitor, work;
    int wantDpi;
    ui::Area wantBounds;
};

// The main window's design: 1304 x 649 units.
const FitCase kFits[] = {
    // 1304 x 1.5 = 1956 pixels do not fit 1920: the width sets the density, the
    // height still fits, and the window stays centred on the monitor.
    {"150 % on a 1920 x 1080 screen, taskbar at the bottom", 144, 22, 56, {0, 0, 1920, 1080}, {0, 0, 1920, 1040},
     139, {5, 42, 5 + 1888 + 22, 42 + 940 + 56}},
    {"100 % on the same screen: unchanged", 96, 14, 37, {0, 0, 1920, 1080}, {0, 0, 1920, 1040},
     96, {301, 197, 301 + 1304 + 14, 197 + 649 + 37}},
    {"125 % on the same screen: unchanged", 120, 18, 46, {0, 0, 1920, 1080}, {0, 0, 1920, 1040},
     120, {136, 111, 136 + 1630 + 18, 111 + 811 + 46}},
    // Wide and low: the height sets the density; centred on the monitor the window
    // would reach under the taskbar, so it moves up into the work area.
    {"150 % on a 2560 x 1000 screen, taskbar of 40", 144, 22, 56, {0, 0, 2560, 1000}, {0, 0, 2560, 960},
     133, {365, 5, 365 + 1807 + 22, 5 + 899 + 56}},
    // A second monitor left of the first one, with a taskbar at its left edge: centred
    // on the monitor the window would reach under it, so it moves right.
    {"150 % on a monitor at negative coordinates", 144, 22, 56, {-1920, 0, 0, 1080}, {-1860, 0, 0, 1080},
     135, {-1860, 55, -1860 + 1834 + 22, 55 + 913 + 56}},
    // Never below half the design size: a window still too wide keeps its left edge
    // (and the title bar) in reach.
    {"100 % on a 640 x 480 screen", 96, 14, 37, {0, 0, 640, 480}, {0, 0, 640, 480},
     48, {0, 59, 652 + 14, 59 + 325 + 37}},
};

TEST(WindowFit, ScalesTheDesignDownOnlyWhereItDoesNotFitAndKeepsItCentred) {
    for (const FitCase& c : kFits) {
        SCOPED_TRACE(c.what);
        const ui::WindowPlace p = ui::fitToWorkArea(c.dpi, 1304, 649, c.frameWidth, c.frameHeight, c.monitor, c.work);
        EXPECT_EQ(p.dpi, c.wantDpi);
        EXPECT_EQ(p.bounds.left, c.wantBounds.left);
        EXPECT_EQ(p.bounds.top, c.wantBounds.top);
        EXPECT_EQ(p.bounds.right, c.wantBounds.right);
        EXPECT_EQ(p.bounds.bottom, c.wantBounds.bottom);
    }
}

TEST(WindowFit, TheChosenDensityIsTheLargestThatFits) {
    // One density more would not fit in width (first) or in height (second).
    EXPECT_GT(ui::scaleToDpi(1304, 140) + 22, 1920);
    EXPECT_GT(ui::scaleToDpi(649, 134) + 56, 960);
    // Lengths round as the platform rounds them: half a pixel away from zero.
    EXPECT_EQ(ui::scaleToDpi(1, 144), 2);   // 1.5
    EXPECT_EQ(ui::scaleToDpi(1, 143), 1);   // 1.49
    EXPECT_EQ(ui::scaleToDpi(-1, 144), -2);
    EXPECT_EQ(ui::scaleToDpi(649, 120), 811);  // 811.25
}

}  // namespace
