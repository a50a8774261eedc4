#include "profiles/window_class_list.h"

#include <cstring>
#include <string>

namespace profiles {

namespace {

constexpr int kTextBuffer = 127;  // so at most 126 bytes of a class or title

// System furniture, tested before the title is read.
constexpr const char* kFurniture[] = {"#32768", "BaseBar", "CV2ControlHost"};
// The shell's and the system's own windows, tested after.
constexpr const char* kSystemWindows[] = {
    "Shell_TrayWnd",           "Shell_SecondaryTrayWnd",      "Progman",
    "Desktop User Picture",    "DV2ControlHost",              "Button",
    "TQuorveltaForm",          "SysDragImage",                "Xaml_WindowedPopupClass",
    "THintWindow",             "SysShadow",                   "Sticky_Notes_Note_Adornment",
    "Sticky_Notes_Note_Window", "wndclass NumLock OSD",       "ThumbnailDeviceHelperWnd",
    "TopLevelWindowForOverflowXamlIsland", "EdgeUiInputTopWndClass", "TMessageForm"};

template <std::size_t N> bool oneOf(const char* cls, const char* const (&names)[N]) {
    for (const char* n : names)
        if (std::strcmp(cls, n) == 0) return true;
    return false;
}

}  // namespace

void CutAtEquals(char (&text)[256]) {
    if (text[0] == '\0') return;
    for (int i = 1; i < 256; ++i) {
        if (text[i] == '\0') return;
        if (text[i] == '=') {
            text[i - 1] = '\0';
            return;
        }
    }
}

void WindowClassList::FillWindowClassList(ui::ComboBox& list) {
    list.clear();
    ClassListTarget = &list;
    windows_.EnumWindows([this](platform::Window w) { return ClassListWindowProc(w); });
    ClassListTarget = nullptr;
}

bool WindowClassList::ClassListWindowProc(platform::Window window) {
    if (window == windows_.GetShellWindow() || window == windows_.GetDesktopWindow()) return true;
    platform::WindowInfo info;
    if (!windows_.GetWindowInfo(window, info)) return true;
    if (!(info.style & platform::WS_VISIBLE_)) return true;
    if (primitives_.IsWindowCloaked(window)) return true;
    char cls[kTextBuffer] = {};
    windows_.GetClassNameA(window, cls, kTextBuffer);
    if (oneOf(cls, kFurniture)) return true;
    char title[kTextBuffer] = {};
    windows_.GetWindowTextA(window, title, kTextBuffer);
    if (oneOf(cls, kSystemWindows)) return true;
    if (title[0] == '\0') return true;
    if (ClassListTarget) ClassListTarget->addItem(std::string(cls) + " = " + title);
    return true;
}

}  // namespace profiles
