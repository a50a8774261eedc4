// Window designs as data: one row a control, one row an action. Both backends
// build the same window from the same rows, and a test can read every text.
#pragma once

#include <cstddef>
#include <vector>

#include "ui/ui.h"

namespace ui {

struct DesignRow {
    Kind kind;
    const char* name;
    const char* parent;  // "" for the form itself
    int left, top, width, height;
    const char* caption = "";
    const char* hint = "";
    const char* action = "";  // bound action; for a tray icon its popup menu
    int min = 0, max = 0;     // slider range; timer interval in max
    int position = 0;         // slider position; icon resource of an image or tray icon;
                              // the page a page control opens on
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    int tag = 0;
    const char* font = "";  // a face of its own, with its pixel height
    int fontHeight = 0;
    ModalResult modalResult = ModalResult::None;  // buttons of a dialog
    bool isDefault = false, isCancel = false;
};

struct ActionRow {
    const char* name;
    const char* caption;
    const char* hint;
    bool checkable;
    bool checked;
};

struct Design {
    const char* formCaption;
    int clientWidth, clientHeight;
    const ActionRow* actions;
    std::size_t actionCount;
    const DesignRow* rows;
    std::size_t rowCount;
};

// Creates the form's actions and controls in row order; raises no event.
void loadDesign(Form& form, const Design& design);

// ---- a window's place on its monitor ----

struct Area {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// A window of a design: the density its controls and fonts are laid out at, and its
// outer rectangle in screen pixels.
struct WindowPlace {
    int dpi;
    Area bounds;
};

// A length in 96-dpi design units at a density, rounded as the platform rounds it.
int scaleToDpi(int length, int dpi);

// Where a window of clientWidth x clientHeight design units goes: laid out at `dpi`
// when it fits the work area with its frame (frameWidth x frameHeight pixels, which
// the system draws at the screen's own density), otherwise at the largest density that
// fits, but never below half the design size; centred on `around` and moved into the
// work area where it would stick out.
WindowPlace fitToWorkArea(int dpi, int clientWidth, int clientHeight, int frameWidth, int frameHeight,
                          const Area& around, const Area& work);

// A window moved into a work area, its size kept; one larger than it keeps its top left
// (and the title bar) in reach.
Area pullIntoWorkArea(const Area& window, const Area& work);

// Where a window goes when the system gives it a new density (`dpi`, the screen's), with
// the rectangle it suggests: the size the design fits at on that monitor (as
// fitToWorkArea gives it), at the suggested top left. While the user still drags the
// window, the system sends the change as soon as most of it is on the other monitor: it
// stays exactly there, under the mouse, and is pulled into the work area only once the
// move has ended. Otherwise it is pulled in at once.
WindowPlace placeAtNewDpi(int dpi, int clientWidth, int clientHeight, int frameWidth, int frameHeight,
                          const Area& suggested, const Area& work, bool moving);

// A monitor as the system describes it: its rectangle, its work area, its density.
struct MonitorArea {
    Area bounds, work;
    int dpi;
};

// Where a window goes once the user's move of it has ended: exactly where it was
// dropped, partly off the screen or across two monitors as the user likes it, unless
// the move brought it to a monitor of another density (`densityChanged`): then into
// that monitor's work area, which the window of its new size may stick out of.
Area placeAfterMove(const Area& dropped, const Area& work, bool densityChanged);

// Where a window goes when it is shown again: where it was, unless its title bar (its
// top `titleBarHeight` pixels) lies on none of the monitors, as when the monitor it was
// on has been unplugged or moved since: then into `nearestWork`, the work area of the
// monitor nearest to it, where the user can take hold of it again.
Area placeAtShow(const Area& window, int titleBarHeight, const std::vector<MonitorArea>& monitors,
                 const Area& nearestWork);

// The monitor a window is going to when the system asks for its size at a new density:
// of the monitors at that density, the one that holds the most of the window. The
// system asks while a dragged window is still where the last mouse step left it,
// before it moves to where most of it is on the new monitor, so the monitor that holds
// most of it now may well be the old one. -1 when no monitor has that density.
int monitorAtDpi(const std::vector<MonitorArea>& monitors, const Area& window, int dpi);

// The density the notification icons are drawn at: the taskbar's, which holds them,
// whatever monitor the program's window is on. Each argument is 0 where the system
// cannot tell it: the taskbar window's own density, else the primary monitor's (where
// the taskbar is), else the system's.
int trayIconDpi(int taskbarWindowDpi, int primaryMonitorDpi, int systemDpi);

}  // namespace ui
