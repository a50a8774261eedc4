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

TEST_F(ProfilePageTest, FourteenLinesInTheirOrderWithTheirInitialState) {
    auto& f = start();
    auto& page = f.ProfilePage;
    // From the top: 1 to 8, then 12, 11, 10, 9, then 13 and 14.
    const int order[] = {1, 2, 3, 4, 5, 6, 7, 8, 12, 11, 10, 9, 13, 14};
    for (int slot = 0; slot < 14; ++slot) {
        const Line& l = page.line(order[slot]);
        const int top = 81 + 36 * slot;
        SCOPED_TRACE("line " + std::to_string(order[slot]));
        EXPECT_EQ(l.ComboBoxClass->name(), "ComboBoxClass" + std::to_string(order[slot]));
        EXPECT_EQ(l.ComboBoxClass->top(), top);
        for (auto [c, left, width] : {std::tuple<ui::Control*, int, int>{l.ComboBoxClass, 3, 820},
                                      {l.ComboBoxScheme, 828, 170},
                                      {l.ComboBoxCStart, 1003, 88},
                                      {l.ComboBoxCEnd, 1095, 88}}) {
            EXPECT_EQ(c->left(), left);
            EXPECT_EQ(c->width(), width);
            EXPECT_EQ(c->top(), top);
            EXPECT_EQ(c->parent(), f.TabSheetProfiles);
        }
        EXPECT_EQ(l.CheckBox->top(), top + 2);
        EXPECT_EQ(l.CPUImage->left(), 1215);
        EXPECT_EQ(l.IOImage->left(), 1256);
        EXPECT_EQ(l.CPUImage->top(), top - 5);
        EXPECT_EQ(l.CPUImage->width(), 32);
        for (ui::Control* c : {static_cast<ui::Control*>(l.ComboBoxCStart), static_cast<ui::Control*>(l.ComboBoxCEnd),
                               static_cast<ui::Control*>(l.CheckBox), static_cast<ui::Control*>(l.CPUImage),
                               static_cast<ui::Control*>(l.IOImage)})
            EXPECT_EQ(c->tag(), order[slot] - 1);

        EXPECT_EQ(l.ComboBoxClass->text(), kPlaceholder);
        EXPECT_EQ(l.ComboBoxClass->itemCount(), 0);
        EXPECT_EQ(l.ComboBoxScheme->itemIndex(), -1);
        EXPECT_EQ(l.ComboBoxScheme->items().back(), "Remove this entry");
        EXPECT_EQ(l.ComboBoxCStart->text(), "All Cores");
        EXPECT_EQ(l.ComboBoxCEnd->text(), "All Cores");
        EXPECT_FALSE(l.CheckBox->checked());
        EXPECT_FALSE(l.CheckBox->enabled());
        EXPECT_EQ(l.CheckBox->hint(),
                  "Check this for using only even core numbers, you still need to select a start core to make this "
                  "work!");
        EXPECT_EQ(l.CPUImage->imageIndex(), 2);
        EXPECT_EQ(l.CPUImage->hint(), "Use default CPU priority");
        EXPECT_EQ(l.IOImage->imageIndex(), 6);
        EXPECT_EQ(l.IOImage->hint(), "Use default I/O priority");
    }
    EXPECT_EQ(page.LabelExplanation1->left(), 536);
    EXPECT_EQ(page.LabelExplanation1->top(), page.LabelExplanation->top());
    EXPECT_EQ(page.LabelExplanation3->caption(),
              "The last icons specify the CPU and I/O (network && harddisk) scheduling priorities. A both Red&&Green "
              "arrow means the default priority will be used.");
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

    // Entering the list again shows the placeholder; the row keeps its class.
    list.userType("notepad");
    list.userFocus();
    EXPECT_EQ(list.text(), kPlaceholder);
    EXPECT_EQ(cls(5), "notepad");
}

TEST_F(ProfilePageTest, APickedSchemeIsStoredAndRemovalKeepsCoresAndPriorities) {
    auto& f = start();
    const Line& l = line(2);
    l.ComboBoxClass->userType("game");
    l.ComboBoxScheme->userPick(0);
    EXPECT_EQ(row(2).ProfileScheme, f.SchemeGuids[0]);
    l.ComboBoxScheme->userPick(f.SchemeCount);  // "No prefered scheme"
    EXPECT_EQ(row(2).ProfileScheme, f.NO_SUBGROUP_GUID);
    l.ComboBoxScheme->userPick(2);
    const platform::Guid chosen = f.SchemeGuids[2];

    l.ComboBoxCStart->userPick(2);
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
    EXPECT_EQ(l.CPUImage->imageIndex(), 3);
    EXPECT_EQ(l.IOImage->imageIndex(), 4);
    EXPECT_EQ(row(2).ProfileCoreStart, 2);
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

}  // namespace
