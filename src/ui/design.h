// Window designs as data: one row a control, one row an action. Both backends
// build the same window from the same rows, and a test can read every text.
#pragma once

#include <cstddef>

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

}  // namespace ui
