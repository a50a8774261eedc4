// Where the windows go on their monitors: a design scaled to the screen's density while
// that fits the work area, shrunk to the largest density that fits when not; where a
// window dragged to a monitor of another scale goes, where one dragged at one scale and
// one shown again go; and the density of the notification icons.
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

// Two monitors side by side: a 150 % one left of the primary 100 % one, each with its
// taskbar (at the left edge of the left one, at the bottom of the primary one); and a
// wide, low 150 % screen and a small 100 % one. The suggested rectangles are the
// system's, scaled linearly from the old size, at the place where the mouse keeps its
// hold on the title bar.
struct NewDpiCase {
    const char* what;
    int dpi;
    int frameWidth, frameHeight;
    ui::Area work, suggested;
    int wantDpi;
    int wantWidth, wantHeight;
    int pulledLeft, pulledTop;  // once the move has ended
};

const NewDpiCase kNewDpi[] = {
    // Fitted on the left monitor: 1834 x 913 at 135 dpi plus the frame. Dropped with its
    // right part still over the primary monitor, it moves left into its work area.
    {"dragged onto the 150 % monitor left of the primary one", 144, 22, 56, {-1860, 0, 0, 1080},
     {-1500, 100, -1500 + 1977, 100 + 1029}, 135, 1834 + 22, 913 + 56, -1856, 100},
    // Back at 100 % the design fits as it is; dropped low and right, it moves up and left.
    {"dragged onto the primary 100 % monitor", 96, 14, 37, {0, 0, 1920, 1040}, {700, 500, 700 + 1251, 500 + 648},
     96, 1304 + 14, 649 + 37, 602, 354},
    // The title bar above the top of the screen comes back down; a window that fits
    // keeps its left.
    {"dragged onto a wide, low 150 % screen", 144, 22, 56, {0, 0, 2560, 960}, {400, -20, 400 + 1977, -20 + 1029},
     133, 1807 + 22, 899 + 56, 400, 0},
    // Still too wide at half the design size: the left edge stays in reach.
    {"dragged onto a 640 x 480 screen at 100 %", 96, 14, 37, {0, 0, 640, 480}, {100, 50, 100 + 1318, 50 + 686}, 48,
     652 + 14, 325 + 37, 0, 50},
};

TEST(WindowFit, AWindowMovedToAnotherDensityStaysUnderTheMouseUntilTheMoveEnds) {
    for (const NewDpiCase& c : kNewDpi) {
        SCOPED_TRACE(c.what);
        for (bool moving : {true, false}) {
            SCOPED_TRACE(moving ? "while the move goes on" : "with no move in progress");
            const ui::WindowPlace p =
                ui::placeAtNewDpi(c.dpi, 1304, 649, c.frameWidth, c.frameHeight, c.suggested, c.work, moving);
            EXPECT_EQ(p.dpi, c.wantDpi);
            EXPECT_EQ(p.bounds.width(), c.wantWidth);
            EXPECT_EQ(p.bounds.height(), c.wantHeight);
            EXPECT_EQ(p.bounds.left, moving ? c.suggested.left : c.pulledLeft);
            EXPECT_EQ(p.bounds.top, moving ? c.suggested.top : c.pulledTop);
        }
        // The end of the move that changed the density pulls the window where it was
        // dropped into the work area; a move at one density leaves it exactly there.
        const ui::Area dropped{c.suggested.left, c.suggested.top, c.suggested.left + c.wantWidth,
                               c.suggested.top + c.wantHeight};
        const ui::Area pulled = ui::placeAfterMove(dropped, c.work, true);
        EXPECT_EQ(pulled.left, c.pulledLeft);
        EXPECT_EQ(pulled.top, c.pulledTop);
        EXPECT_EQ(pulled.width(), c.wantWidth);
        EXPECT_EQ(pulled.height(), c.wantHeight);
        const ui::Area kept = ui::placeAfterMove(dropped, c.work, false);
        EXPECT_EQ(kept.left, dropped.left);
        EXPECT_EQ(kept.top, dropped.top);
        EXPECT_EQ(kept.right, dropped.right);
        EXPECT_EQ(kept.bottom, dropped.bottom);
    }
}

// A window shown again stays where the user left it, partly off the screen or across
// two monitors, as long as its title bar is on a monitor to take hold of; otherwise (the
// monitor it was on unplugged or moved while it was hidden) it comes into the work area
// of the nearest one.
TEST(WindowFit, AWindowShownAgainStaysWhereItWasUnlessItsTitleBarIsOnNoMonitor) {
    // The 150 % monitor left of the primary 100 % one, as above; the window of the
    // primary monitor's design size with a title bar of 31 pixels.
    const std::vector<ui::MonitorArea> both = {
        {{-1920, 0, 0, 1080}, {-1860, 0, 0, 1080}, 144},
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96},
    };
    const std::vector<ui::MonitorArea> primaryOnly(both.begin() + 1, both.end());
    const ui::Area primaryWork = both[1].work;
    struct Case {
        const char* what;
        const std::vector<ui::MonitorArea>& monitors;
        ui::Area window;
        int wantLeft, wantTop;
    } cases[] = {
        {"dragged half off the right edge of the screen", both, {1200, 300, 2518, 986}, 1200, 300},
        {"across the two monitors", both, {-700, 200, 618, 886}, -700, 200},
        {"low, its bottom under the taskbar and off the screen", both, {300, 900, 1618, 1586}, 300, 900},
        // One row of the title bar on the screen is still on the screen.
        {"the title bar's last row at the top edge", both, {300, -30, 1618, 656}, 300, -30},
        {"the title bar just above the top edge", both, {300, -31, 1618, 655}, 300, 0},
        {"on the left monitor, which has been unplugged", primaryOnly, {-1500, 100, -182, 786}, 0, 100},
        {"across the two, the left one unplugged: its title bar still on the primary one", primaryOnly,
         {-700, 200, 618, 886}, -700, 200},
        {"left of the primary monitor's edge by its whole width", primaryOnly, {-1318, 200, 0, 886}, 0, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ui::Area shown = ui::placeAtShow(c.window, 31, c.monitors, primaryWork);
        EXPECT_EQ(shown.left, c.wantLeft);
        EXPECT_EQ(shown.top, c.wantTop);
        EXPECT_EQ(shown.width(), c.window.width());
        EXPECT_EQ(shown.height(), c.window.height());
    }
}

// The system asks for the size at the new density before the dragged window has moved to
// where most of it is on the other monitor: the monitor it is going to is the one of that
// density that holds the most of it, which need not hold the most of it yet.
TEST(WindowFit, TheMonitorAWindowGoesToIsTheOneOfTheNewDensity) {
    // A 150 % monitor left of the primary 100 % one, and a 150 % one of 2560 x 1440 right
    // of it.
    const std::vector<ui::MonitorArea> monitors = {
        {{-1920, 0, 0, 1080}, {-1860, 0, 0, 1080}, 144},
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96},
        {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}, 144},
    };
    struct Case {
        const char* what;
        ui::Area window;
        int dpi, want;
    } cases[] = {
        {"most of it still on the primary monitor, going left", {-600, 100, 718, 786}, 144, 0},
        {"the same place, going back to the primary monitor", {-600, 100, 718, 786}, 96, 1},
        // Not merely the first monitor of that density.
        {"going right", {1500, 100, 2818, 786}, 144, 2},
        {"over all three, more of it on the right one", {-300, 0, 2300, 686}, 144, 2},
        {"no monitor of that density", {100, 100, 1418, 786}, 120, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ui::monitorAtDpi(monitors, c.window, c.dpi), c.want);
    }
}

// The notification area belongs to the taskbar: its icons are drawn at the taskbar's
// density, not at that of the monitor the program's window was last on.
TEST(TrayIcon, IsDrawnAtTheTaskbarsDensity) {
    struct Case {
        const char* what;
        int taskbarWindow, primaryMonitor, system;
        int want;
    } cases[] = {
        // The window was last on a 100 % external screen; the taskbar stays on the
        // 150 % laptop screen, which has been the primary one since the logon at 125 %.
        {"taskbar at 150 %, window at 100 %, logon at 125 %", 144, 144, 120, 144},
        // The taskbar's own monitor rather than the primary one (a taskbar on a
        // secondary screen), the primary monitor rather than the logon's density.
        {"taskbar dragged to a 175 % secondary screen", 168, 96, 120, 168},
        {"no density of the taskbar window (before Windows 10)", 0, 144, 120, 144},
        {"only the system's density (Windows 7)", 0, 0, 120, 120},
        {"nothing known", 0, 0, 0, 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ui::trayIconDpi(c.taskbarWindow, c.primaryMonitor, c.system), c.want);
    }
}

}  // namespace
