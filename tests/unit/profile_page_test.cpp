// The "Power Profiles" page: its lines, the rows shown at start, and every handler.
#include <cstring>

#include "form_fixture.h"

namespace {

constexpr char kPlaceholder[] = "Select program window class";

class ProfilePageTest : public FormTest {
protected:
    using Line = profiles::ProfilePage::Line;
    const Line& line(int n) { return form->ProfilePage.line(n); }
    profiles::ProgramProfile& row(int n) { return form->Profiles.ProgramProfiles[n - 1]; }
    std::string cls(int n) { return form->Profiles.className(n - 1); }
    // A row as stored by an earlier run.
    void storeRow(int index, const char* cls, std::uint32_t start, std::uint32_t end, std::uint32_t even,
                  std::uint32_t cpu, std::uint32_t io) {
        const std::string d = std::to_string(index);
        if (cls) win.setRegString(kKey, "class" + d, cls);
        win.setRegDword(kKey, "Cstart" + d, start);
        win.setRegDword(kKey, "Cend" + d, end);
        win.setRegDword(kKey, "Ceven" + d, even);
        win.setRegDword(kKey, "CPUpriority" + d, cpu);
        win.setRegDword(kKey, "IOpriority" + d, io);
    }
};

// Every control of the page in the order it is built (the labels, then the lines from
// the top down), each with its position, size, caption and hint.
TEST_F(ProfilePageTest, EveryPositionCaptionAndHintOfThePage) {
    struct Place {
        std::string name;
        int left, top, width, height;
        std::string caption, hint;
    };
    std::vector<Place> expected = {
        {"LabelExplanation", 3, 8, 528, 20,
         "First, on the left, select the windows class that belongs to the program you want to use.", ""},
        {"LabelExplanation1", 536, 8, 756, 20,
         "Next, on the right, select the power scheme this program needs to use, or select 'Remove' to cancel this "
         "entry.",
         ""},
        {"LabelExplanation2", 3, 32, 1289, 20,
         "Optional you can also enforce the range of cores to use for this program (start-end number). The last "
         "checkbox is for using only even core numbers to avoid hyper/multi treating cores.",
         ""},
        {"LabelExplanation3", 3, 56, 1289, 20,
         "The last icons specify the CPU and I/O (network && harddisk) scheduling priorities. A both Red&&Green arrow "
         "means the default priority will be used.",
         ""},
    };
    // The seven controls of a line, their tops relative to the line's lists.
    const Place columns[] = {
        {"ComboBoxClass", 3, 0, 820, 24, "", ""},
        {"ComboBoxScheme", 828, 0, 170, 24, "", ""},
        {"ComboBoxCStart", 1003, 0, 88, 24, "", ""},
        {"ComboBoxCEnd", 1095, 0, 88, 24, "", ""},
        {"CheckBox", 1192, 2, 20, 20, "",
         "Check this for using only even core numbers, you still need to select a start core to make this work!"},
        {"CPUImage", 1215, -5, 32, 32, "", "Use default CPU priority"},
        {"IOImage", 1256, -5, 32, 32, "", "Use default I/O priority"},
    };
    // From the top: lines 1 to 8, then 12, 11, 10, 9, then 13 and 14, 36 pixels apart.
    const int order[] = {1, 2, 3, 4, 5, 6, 7, 8, 12, 11, 10, 9, 13, 14};
    for (int slot = 0; slot < 14; ++slot)
        for (const Place& c : columns)
            expected.push_back({c.name + std::to_string(order[slot]), c.left, 81 + 36 * slot + c.top, c.width, c.height,
                                c.caption, c.hint});

    auto& f = start();
    const auto& onPage = f.TabSheetProfiles->children();
    ASSERT_EQ(onPage.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Place& e = expected[i];
        const ui::Control& c = *onPage[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(c.name(), e.name);
        EXPECT_EQ(c.left(), e.left);
        EXPECT_EQ(c.top(), e.top);
        EXPECT_EQ(c.width(), e.width);
        EXPECT_EQ(c.height(), e.height);
        EXPECT_EQ(c.caption(), e.caption);
        EXPECT_EQ(c.hint(), e.hint);
    }
}

TEST_F(ProfilePageTest, FourteenLinesWithTheirTagsAndInitialState) {
    auto& f = start();
    for (int n = 1; n <= 14; ++n) {
        const Line& l = f.ProfilePage.line(n);
        SCOPED_TRACE("line " + std::to_string(n));
        EXPECT_EQ(l.ComboBoxClass->name(), "ComboBoxClass" + std::to_string(n));
        for (ui::Control* c : {static_cast<ui::Control*>(l.ComboBoxClass), static_cast<ui::Control*>(l.ComboBoxScheme),
                               static_cast<ui::Control*>(l.ComboBoxCStart), static_cast<ui::Control*>(l.ComboBoxCEnd),
                               static_cast<ui::Control*>(l.CheckBox), static_cast<ui::Control*>(l.CPUImage),
                               static_cast<ui::Control*>(l.IOImage)})
            EXPECT_EQ(c->parent(), f.TabSheetProfiles);
        for (ui::Control* c : {static_cast<ui::Control*>(l.ComboBoxCStart), static_cast<ui::Control*>(l.ComboBoxCEnd),
                               static_cast<ui::Control*>(l.CheckBox), static_cast<ui::Control*>(l.CPUImage),
                               static_cast<ui::Control*>(l.IOImage)})
            EXPECT_EQ(c->tag(), n - 1);

        EXPECT_EQ(l.ComboBoxClass->text(), kPlaceholder);
        EXPECT_EQ(l.ComboBoxClass->itemCount(), 0);
        EXPECT_EQ(l.ComboBoxScheme->itemIndex(), -1);
        EXPECT_EQ(l.ComboBoxScheme->items().back(), "Remove this entry");
        EXPECT_EQ(l.ComboBoxCStart->text(), "All Cores");
        EXPECT_EQ(l.ComboBoxCEnd->text(), "All Cores");
        EXPECT_FALSE(l.CheckBox->checked());
        EXPECT_FALSE(l.CheckBox->enabled());
        EXPECT_EQ(l.CPUImage->imageIndex(), 2);
        EXPECT_EQ(l.IOImage->imageIndex(), 6);
    }
}

TEST_F(ProfilePageTest, CoreListsOfferEveryCoreThenAllCores) {
    auto& f = start();  // four logical processors
    EXPECT_EQ(f.ProfilePage.line(14).ComboBoxCStart->items(),
              (std::vector<std::string>{"Core 0", "Core 1", "Core 2", "Core 3", "All Cores"}));
    EXPECT_EQ(f.ProfilePage.line(1).ComboBoxCEnd->items(),
              (std::vector<std::string>{"till 0", "till 1", "till 2", "till 3", "All Cores"}));
    EXPECT_EQ(f.ProfilePage.line(1).ComboBoxCEnd->itemIndex(), 4);
}

TEST_F(ProfilePageTest, FiveClicksFromTheDefaultRunHighIdleLowDefaultHigh) {
    auto& f = start();
    const Line& l = line(3);
    struct Step {
        int level;
        const char* cpuHint;
        const char* ioHint;
    };
    const Step steps[] = {{3, "Use high CPU priority", "Use high I/O priority"},
                          {0, "Use idle CPU priority", "Use idle I/O priority"},
                          {1, "Use low CPU priority", "Use low I/O priority"},
                          {2, "Use default CPU priority", "Use default I/O priority"},
                          {3, "Use high CPU priority", "Use high I/O priority"}};
    for (const Step& s : steps) {
        row(3).ProfileAppliedPid = 1234;
        l.CPUImage->userClick();
        EXPECT_EQ(row(3).ProfileCpuPriority, s.level);
        EXPECT_EQ(l.CPUImage->imageIndex(), s.level);
        EXPECT_EQ(l.CPUImage->hint(), s.cpuHint);
        EXPECT_EQ(row(3).ProfileAppliedPid, 0u);
        row(3).ProfileAppliedPid = 1234;
        l.IOImage->userClick();
        EXPECT_EQ(row(3).ProfileIoPriority, s.level);
        EXPECT_EQ(l.IOImage->imageIndex(), s.level + 4);
        EXPECT_EQ(l.IOImage->hint(), s.ioHint);
        EXPECT_EQ(row(3).ProfileAppliedPid, 0u);
    }
    EXPECT_EQ(row(4).ProfileCpuPriority, 2);  // only the sender's row
    (void)f;
}

TEST_F(ProfilePageTest, TheClassIsTheTextCutAtItsFirstEqualsSign) {
    start();
    win.addWindow("notepad", "Untitled - Notepad");
    ui::ComboBox& list = *line(5).ComboBoxClass;
    row(5).ProfileAppliedPid = 77;
    list.userFocus();
    ASSERT_EQ(list.items(), std::vector<std::string>{"notepad = Untitled - Notepad"});
    EXPECT_EQ(list.text(), kPlaceholder);
    list.userPick(0);
    EXPECT_EQ(cls(5), "notepad");
    EXPECT_EQ(row(5).ProfileAppliedPid, 77u);  // a class edit does not re-apply the row
    const std::pair<const char*, const char*> typed[] = {{"abc=def", "ab"}, {"a=b", ""}, {"explorer", "explorer"}};
    for (auto [text, stored] : typed) {
        list.userType(text);
        EXPECT_EQ(cls(5), stored) << text;
    }
    list.userType(std::string(300, 'x'));
    EXPECT_EQ(std::memcmp(row(5).ProfileClass, std::string(256, 'x').data(), 256), 0);

    // Entering the list again from another control shows the placeholder; the row
    // keeps its class.
    list.userType("notepad");
    list.userBlur();
    list.userFocus();
    EXPECT_EQ(list.text(), kPlaceholder);
    EXPECT_EQ(cls(5), "notepad");
}

TEST_F(ProfilePageTest, APickedSchemeIsStoredAndRemovalKeepsCoresAndPriorities) {
    auto& f = start();
    const Line& l = line(2);
    l.ComboBoxClass->userType("game");
    // A scheme pick does not apply the row's process settings again.
    row(2).ProfileAppliedPid = 99;
    l.ComboBoxScheme->userPick(0);
    EXPECT_EQ(row(2).ProfileScheme, f.SchemeGuids[0]);
    l.ComboBoxScheme->userPick(f.SchemeCount);  // "No prefered scheme"
    EXPECT_EQ(row(2).ProfileScheme, f.NO_SUBGROUP_GUID);
    l.ComboBoxScheme->userPick(2);
    const platform::Guid chosen = f.SchemeGuids[2];
    EXPECT_EQ(row(2).ProfileAppliedPid, 99u);

    l.ComboBoxCStart->userPick(2);
    l.ComboBoxCEnd->userPick(3);
    l.CheckBox->userClick();
    l.CPUImage->userClick();  // high
    l.IOImage->userClick();
    l.IOImage->userClick();  // idle
    row(2).ProfileAppliedPid = 99;
    l.ComboBoxScheme->userPick(f.SchemeCount + 1);  // "Remove this entry"
    EXPECT_FALSE(row(2).defined());
    EXPECT_EQ(row(2).ProfileAppliedPid, 0u);
    EXPECT_EQ(l.ComboBoxClass->text(), kPlaceholder);
    EXPECT_EQ(l.ComboBoxClass->itemCount(), 0);
    EXPECT_EQ(l.ComboBoxScheme->itemIndex(), -1);
    EXPECT_EQ(row(2).ProfileScheme, chosen);
    EXPECT_EQ(l.ComboBoxCStart->text(), "Core 2");
    EXPECT_EQ(l.ComboBoxCEnd->text(), "till 3");
    EXPECT_TRUE(l.CheckBox->checked());
    EXPECT_TRUE(l.CheckBox->enabled());
    EXPECT_EQ(l.CPUImage->imageIndex(), 3);
    EXPECT_EQ(l.IOImage->imageIndex(), 4);
    EXPECT_EQ(row(2).ProfileCoreStart, 2);
    EXPECT_EQ(row(2).ProfileCoreEnd, 3);
    EXPECT_TRUE(row(2).ProfileEvenCores);
    EXPECT_EQ(row(2).ProfileCpuPriority, 3);
    EXPECT_EQ(row(2).ProfileIoPriority, 0);

    // A class typed again brings it all back, the scheme too.
    l.ComboBoxClass->userType("game");
    EXPECT_TRUE(row(2).defined());
    EXPECT_EQ(row(2).ProfileScheme, chosen);
}

TEST_F(ProfilePageTest, ASingleStartCoreEnablesTheEvenCoreBoxWhichKeepsItsTick) {
    start();
    const Line& l = line(9);
    row(9).ProfileAppliedPid = 5;
    l.ComboBoxCStart->userPick(1);
    EXPECT_TRUE(l.CheckBox->enabled());
    EXPECT_EQ(row(9).ProfileCoreStart, 1);
    EXPECT_EQ(row(9).ProfileAppliedPid, 0u);
    row(9).ProfileAppliedPid = 5;
    l.CheckBox->userClick();
    EXPECT_TRUE(row(9).ProfileEvenCores);
    EXPECT_EQ(row(9).ProfileAppliedPid, 0u);
    l.ComboBoxCStart->userPick(4);  // "All Cores"
    EXPECT_FALSE(l.CheckBox->enabled());
    EXPECT_TRUE(l.CheckBox->checked());
    EXPECT_TRUE(row(9).ProfileEvenCores);
    row(9).ProfileAppliedPid = 5;
    l.ComboBoxCEnd->userPick(3);
    EXPECT_EQ(row(9).ProfileCoreEnd, 3);
    EXPECT_EQ(row(9).ProfileAppliedPid, 0u);
    EXPECT_FALSE(l.CheckBox->enabled());  // the end does not re-evaluate the boxes
}

TEST_F(ProfilePageTest, StoredRowsAreShownAtStartDefinedOrNot) {
    storeSettings();
    storeRow(0, "notepad", 1, 3, 1, 3, 0);
    storeRow(4, nullptr, 2, 1, 1, 0, 3);  // not defined: its cores and priorities stay stored
    storeRow(6, "wide", 6, 9, 0, 2, 2);   // stored on a machine with more processors
    storeRow(8, "unset", static_cast<std::uint32_t>(-1), 0, 1, 2, 2);  // start list without a selection
    win.setRegGuid(kKey, "scheme0", platform::guidFromText(sim::kHighPerformance));
    auto& f = start();

    const Line& one = line(1);
    EXPECT_EQ(one.ComboBoxClass->text(), "notepad");
    EXPECT_EQ(one.ComboBoxScheme->text(), "High performance");
    EXPECT_EQ(one.ComboBoxCStart->text(), "Core 1");
    EXPECT_EQ(one.ComboBoxCEnd->text(), "till 3");
    EXPECT_TRUE(one.CheckBox->checked());
    EXPECT_TRUE(one.CheckBox->enabled());
    EXPECT_EQ(one.CPUImage->imageIndex(), 3);
    EXPECT_EQ(one.CPUImage->hint(), "Use high CPU priority");
    EXPECT_EQ(one.IOImage->imageIndex(), 4);
    EXPECT_EQ(one.IOImage->hint(), "Use idle I/O priority");

    const Line& five = line(5);
    EXPECT_EQ(five.ComboBoxClass->text(), kPlaceholder);
    EXPECT_EQ(five.ComboBoxScheme->itemIndex(), -1);
    EXPECT_EQ(five.ComboBoxCStart->text(), "Core 2");
    EXPECT_EQ(five.ComboBoxCEnd->text(), "till 1");
    EXPECT_TRUE(five.CheckBox->checked());
    EXPECT_EQ(five.CPUImage->hint(), "Use idle CPU priority");
    EXPECT_EQ(five.IOImage->imageIndex(), 7);

    const Line& seven = line(7);
    EXPECT_EQ(seven.ComboBoxCStart->text(), "All Cores");
    EXPECT_EQ(seven.ComboBoxCEnd->text(), "All Cores");
    EXPECT_EQ(row(7).ProfileCoreStart, 6);
    EXPECT_FALSE(seven.CheckBox->enabled());
    // A class set but never given a scheme shows "No prefered scheme", all zero kept.
    EXPECT_EQ(seven.ComboBoxScheme->text(), "No prefered scheme");
    EXPECT_EQ(row(7).ProfileScheme, platform::Guid{});

    const Line& nine = line(9);
    EXPECT_EQ(nine.ComboBoxCStart->itemIndex(), -1);
    EXPECT_EQ(row(9).ProfileCoreStart, -1);
    EXPECT_TRUE(nine.CheckBox->checked());
    EXPECT_FALSE(nine.CheckBox->enabled());  // no single start core chosen
    // Showing the rows edited none of them.
    for (int n = 1; n <= 14; ++n) EXPECT_EQ(row(n).ProfileAppliedPid, 0u);
    (void)f;
}

TEST_F(ProfilePageTest, StoredLevelsOutOfRangeNeverReachPastTheImagesAndKeepTheirNumbers) {
    storeSettings();
    struct Case {
        std::uint32_t stored;
        int cpuImage, ioImage;  // -1: no picture
        int afterClick;
    };
    const Case cases[] = {{5, 5, -1, 0},
                          {100, -1, -1, 0},
                          {0x7FFFFFFF, -1, -1, 0},
                          {static_cast<std::uint32_t>(-2), -1, 2, -1},
                          {static_cast<std::uint32_t>(-5), -1, -1, -4},
                          {0x80000000u, -1, -1, -0x7FFFFFFF}};
    for (int i = 0; i < 6; ++i) storeRow(i, nullptr, 4, 4, 0, cases[i].stored, cases[i].stored);
    start();
    for (int i = 0; i < 6; ++i) {
        const Case& c = cases[i];
        const Line& l = line(i + 1);
        SCOPED_TRACE(std::to_string(static_cast<std::int32_t>(c.stored)));
        EXPECT_EQ(row(i + 1).ProfileCpuPriority, static_cast<std::int32_t>(c.stored));
        EXPECT_EQ(l.CPUImage->showsImage() ? l.CPUImage->imageIndex() : -1, c.cpuImage);
        EXPECT_EQ(l.IOImage->showsImage() ? l.IOImage->imageIndex() : -1, c.ioImage);
        EXPECT_EQ(l.CPUImage->hint(), "Use default CPU priority");  // the initial hint stays
        l.CPUImage->userClick();
        EXPECT_EQ(row(i + 1).ProfileCpuPriority, c.afterClick);
    }
}

TEST_F(ProfilePageTest, TicksTheStartSetsAreNoEditOfARowThatWasNotReadInFull) {
    storeSettings();
    storeRow(1, "kept", 1, 1, 1, 2, 2);
    win.setRegString(kKey, "Ceven3", "not a number");  // the read stops here
    auto& f = start();
    EXPECT_TRUE(line(2).CheckBox->checked());
    for (int r = 0; r < 14; ++r) EXPECT_TRUE(f.Profiles.NotRead[r]) << r;
    line(2).CheckBox->userClick();  // a user's edit is one
    EXPECT_FALSE(f.Profiles.NotRead[1]);
}

// After a restart every line shows its row, the last one too: fourteen rows with
// values that differ from line to line and from their neighbours' fields.
TEST_F(ProfilePageTest, AllFourteenStoredRowsAreShownAfterARestart) {
    storeSettings();
    const char* const schemes[] = {sim::kBalanced, sim::kHighPerformance, sim::kPowerSaver};
    for (int i = 0; i < 14; ++i) {
        const std::string cls = "program" + std::to_string(i + 1);
        storeRow(i, cls.c_str(), static_cast<std::uint32_t>(i % 4), static_cast<std::uint32_t>((i + 1) % 4),
                 static_cast<std::uint32_t>(i % 2), static_cast<std::uint32_t>(i % 4),
                 static_cast<std::uint32_t>((i + 2) % 4));
        win.setRegGuid(kKey, "scheme" + std::to_string(i), platform::guidFromText(schemes[i % 3]));
    }
    auto& f = start();
    const char* const cpuHints[] = {"Use idle CPU priority", "Use low CPU priority", "Use default CPU priority",
                                    "Use high CPU priority"};
    const char* const ioHints[] = {"Use idle I/O priority", "Use low I/O priority", "Use default I/O priority",
                                   "Use high I/O priority"};
    for (int n = 1; n <= 14; ++n) {
        const int i = n - 1;
        const Line& l = line(n);
        SCOPED_TRACE("line " + std::to_string(n));
        EXPECT_EQ(l.ComboBoxClass->text(), "program" + std::to_string(n));
        EXPECT_EQ(l.ComboBoxScheme->itemIndex(), f.SchemeIndexOf(platform::guidFromText(schemes[i % 3])));
        EXPECT_EQ(l.ComboBoxCStart->text(), "Core " + std::to_string(i % 4));
        EXPECT_EQ(l.ComboBoxCEnd->text(), "till " + std::to_string((i + 1) % 4));
        EXPECT_EQ(l.CheckBox->checked(), i % 2 == 1);
        EXPECT_TRUE(l.CheckBox->enabled());
        EXPECT_EQ(l.CPUImage->imageIndex(), i % 4);
        EXPECT_EQ(l.CPUImage->hint(), cpuHints[i % 4]);
        EXPECT_EQ(l.IOImage->imageIndex(), (i + 2) % 4 + 4);
        EXPECT_EQ(l.IOImage->hint(), ioHints[(i + 2) % 4]);
    }
}

// A read that stopped at a bad value leaves every row as stored at the next save,
// except the rows the user edits on the page: a typed class and a removal are saved.
TEST_F(ProfilePageTest, AClassEditAndARemovalAfterAStoppedReadAreSaved) {
    storeSettings();
    storeRow(2, "old", 1, 1, 0, 2, 2);
    storeRow(6, "removed", 2, 2, 0, 2, 2);
    storeRow(9, "untouched", 3, 3, 0, 2, 2);
    win.setRegString(kKey, "Ceven11", "not a number");  // the read stops here
    auto& f = start();
    ASSERT_TRUE(f.Profiles.NotRead[2]);
    line(3).ComboBoxClass->userType("typed");
    line(7).ComboBoxScheme->userPick(f.SchemeCount + 1);  // "Remove this entry"
    f.hide();
    EXPECT_EQ(win.regString(kKey, "class2"), "typed");
    EXPECT_EQ(win.regString(kKey, "class6"), std::nullopt);
    EXPECT_EQ(win.regString(kKey, "class9"), "untouched");
    EXPECT_EQ(win.regString(kKey, "Ceven11"), "not a number");
}

}  // namespace
