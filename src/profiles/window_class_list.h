// The class lists of the profile page: one entry "class = title" for every top-level
// window a user would recognise as a program window, and the cut that keeps the class.
#pragma once

#include "engine/process_primitives.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace profiles {

// Ends the text before the first "=" found from its second character on, so that a
// list entry keeps its class alone; a text without one stays as it is.
void CutAtEquals(char (&text)[256]);

class WindowClassList {
public:
    // The primitives lend their cloaking test.
    WindowClassList(platform::Windows& windows, engine::ProcessPrimitives& primitives)
        : windows_(windows), primitives_(primitives) {}

    // Refills the list in the operating system's z-order, unsorted, duplicates kept.
    void FillWindowClassList(ui::ComboBox& list);
    // The callback of the enumeration; always goes on.
    bool ClassListWindowProc(platform::Window window);

private:
    platform::Windows& windows_;
    engine::ProcessPrimitives& primitives_;
    ui::ComboBox* ClassListTarget = nullptr;  // the list of the fill in progress
};

}  // namespace profiles
