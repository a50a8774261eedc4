// The class lists' window listing and the cut at "=".
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "profiles/window_class_list.h"
#include "sim/sim_windows.h"

namespace {

struct CutCase {
    const char* text;
    const char* expected;
};

TEST(CutAtEquals, KeepsWhatStandsBeforeTheCharacterBeforeTheFirstEqualsSign) {
    const CutCase cases[] = {
        {"notepad = Untitled - Notepad", "notepad"},
        {"notepad", "notepad"},  // typed, no equals sign
        {"abc=def", "ab"},       // the character before "=" goes too
        {"ab=c", "a"},           // "=" as the third character
        {"a=b", ""},             // "=" as the second: the row becomes undefined
        {"=abc", "=abc"},        // position 0 is never examined
        {"", ""},
        {"a = b = c", "a"},
    };
    for (const CutCase& c : cases) {
        char text[256] = {};
        std::strncpy(text, c.text, sizeof text - 1);
        profiles::CutAtEquals(text);
        EXPECT_STREQ(text, c.expected) << c.text;
    }
}

TEST(CutAtEquals, AFieldWithoutTerminatorIsReadNoFurtherThanItsEnd) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    profiles::CutAtEquals(text);  // no "=": unchanged, and nothing past the field is read
    EXPECT_EQ(text[255], 'x');
    text[255] = '=';
    profiles::CutAtEquals(text);
    EXPECT_EQ(text[254], '\0');
}

class WindowListTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    engine::ProcessPrimitives primitives{win, win};
    profiles::WindowClassList listing{win, primitives};
    ui::ComboBox list{"ComboBoxClass1"};

    WindowListTest() { primitives.LoadOptionalFunctions(); }
};

TEST_F(WindowListTest, ListsVisibleProgramWindowsInZOrderAndLeavesOutTheRest) {
    win.addWindow("Notepad", "Untitled - Notepad");
    win.window(win.addWindow("Minimised", "Still listed"))->minimized = true;
    win.addWindow("Hidden", "Not shown", false);
    win.addWindow("NoTitle", "");
    win.window(win.addWindow("Cloaked", "On another desktop"))->cloaked = 1;
    win.window(win.addWindow("Unreadable", "Info fails"))->infoReadable = false;
    win.addWindow("Notepad", "Untitled - Notepad");  // duplicates stay
    const char* excluded[] = {"#32768", "BaseBar", "CV2ControlHost", "Shell_TrayWnd", "Shell_SecondaryTrayWnd",
                              "Progman", "Desktop User Picture", "DV2ControlHost", "Button", "TQuorveltaForm",
                              "SysDragImage", "Xaml_WindowedPopupClass", "THintWindow", "SysShadow",
                              "Sticky_Notes_Note_Adornment", "Sticky_Notes_Note_Window", "wndclass NumLock OSD",
                              "ThumbnailDeviceHelperWnd", "TopLevelWindowForOverflowXamlIsland",
                              "EdgeUiInputTopWndClass", "TMessageForm"};
    for (const char* cls : excluded) win.addWindow(cls, "A title");
    // The shell's desktop window and the desktop itself, were they enumerated.
    win.shellWindow = win.addWindow("ShellDesktop", "Desktop");
    win.desktopWindow = win.addWindow("DesktopRoot", "Desktop");
    // The names are compared case-sensitively: other spellings are other classes.
    for (const char* cls : {"button", "basebar", "tquorveltaform"}) win.addWindow(cls, "Listed");
    win.addWindow("Zed", "Last");

    list.addItem("old entry");
    list.setItemIndex(0);
    listing.FillWindowClassList(list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"Notepad = Untitled - Notepad", "Minimised = Still listed",
                                                      "Notepad = Untitled - Notepad", "button = Listed",
                                                      "basebar = Listed", "tquorveltaform = Listed", "Zed = Last"}));
    EXPECT_EQ(list.itemIndex(), -1);
}

TEST_F(WindowListTest, ClassAndTitleAreReadIntoBuffersOf127Bytes) {
    const std::string longClass(200, 'c'), longTitle(300, 't');
    win.addWindow(longClass, longTitle);
    win.addWindow("Caf\xC3\xA9", "na\xC3\xAFve");  // UTF-8 passes through unchanged
    // A character that would straddle the 126th byte is left out whole.
    win.addWindow(std::string(125, 'k') + "\xC3\xA9", std::string(124, 'u') + "\xE2\x82\xAC");
    listing.FillWindowClassList(list);
    ASSERT_EQ(list.itemCount(), 3);
    EXPECT_EQ(list.items()[0], std::string(126, 'c') + " = " + std::string(126, 't'));
    EXPECT_EQ(list.items()[1], "Caf\xC3\xA9 = na\xC3\xAFve");
    EXPECT_EQ(list.items()[2], std::string(125, 'k') + " = " + std::string(124, 'u'));
}

}  // namespace
