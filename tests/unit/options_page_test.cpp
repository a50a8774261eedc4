// The options page: the design's texts, the slider handlers and the shared actions.
#include "form_fixture.h"

#include "app/main_form_design.h"

namespace {

struct GapCase {
    const char* name;
    int low, high;       // positions before the move
    bool moveLow;        // which slider the user moves
    int to;
    int lowAfter, highAfter;
};
void PrintTo(const GapCase& c, std::ostream* os) { *os << c.name; }

class GapRule : public FormTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(GapRule, TheSliderNotMovedIsPushed) {
    const GapCase& c = GetParam();
    auto& f = start();
    f.TrackBarLow->setPosition(c.low);
    f.TrackBarHigh->setPosition(c.high);
    f.TrackBarLow->setPosition(c.low);
    ASSERT_EQ(f.TrackBarLow->position(), c.low);
    ASSERT_EQ(f.TrackBarHigh->position(), c.high);
    f.SettingsDirty = false;
    (c.moveLow ? f.TrackBarLow : f.TrackBarHigh)->userMoveTo(c.to);
    EXPECT_EQ(f.TrackBarLow->position(), c.lowAfter);
    EXPECT_EQ(f.TrackBarHigh->position(), c.highAfter);
    EXPECT_EQ(f.LowCpu, c.lowAfter);
    EXPECT_EQ(f.HighCpu, c.highAfter);
    EXPECT_EQ(f.LabelLow->caption(), std::to_string(c.lowAfter) + "%");
    EXPECT_EQ(f.LabelHigh->caption(), std::to_string(c.highAfter) + "%");
    EXPECT_TRUE(f.SettingsDirty);
}

INSTANTIATE_TEST_SUITE_P(Sliders, GapRule,
                         ::testing::Values(GapCase{"LowTo88PushesHigh", 20, 90, true, 88, 88, 93},
                                           GapCase{"HighTo10PushesLow", 20, 75, false, 10, 5, 10},
                                           GapCase{"LowTo90PushesHighToTheEnd", 20, 75, true, 90, 90, 95},
                                           GapCase{"AGapOfFiveIsAllowed", 40, 60, false, 45, 40, 45}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, TimeAndIntervalSlidersSetTheirVariables) {
    auto& f = start();
    f.TrackBarChecks->userMoveTo(6);
    EXPECT_EQ(f.ChecksTime, 6000);
    EXPECT_EQ(f.RefreshTimer->interval(), 6000u);
    EXPECT_EQ(f.LabelChecks->caption(), "6 sec");
    f.TrackBarTime->userMoveTo(20);
    EXPECT_EQ(f.MinTime, 20000);
    EXPECT_EQ(f.LabelTime->caption(), "20 sec");
    f.SettingsDirty = false;
    f.TrackBarTemp->userMoveTo(75);
    f.TrackBarIdle->userMoveTo(12);
    EXPECT_EQ(f.LabelTemp->caption(), "75C");
    EXPECT_EQ(f.LabelIdle->caption(), "12min");
    EXPECT_FALSE(f.SettingsDirty);
}

TEST_F(FormTest, EndTimeSliderRestartsTheLimitFromNow) {
    auto& f = start();
    win.tick = 5000000;
    f.TrackBarEndTime->userMoveTo(8);
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, 5000000u + 28800000u);
    EXPECT_EQ(f.LabelEndTime->caption(), "8 hours");
}

TEST_F(FormTest, PauseInTheMenuAndOnThePageIsOneOption) {
    auto& f = start();
    auto* menuPause = f.get<ui::MenuItem>("MenuPause");
    menuPause->userClick();
    EXPECT_TRUE(f.CheckBoxPause->checked());
    EXPECT_TRUE(f.PauseAction->checked());
    f.CheckBoxPause->userClick();
    EXPECT_FALSE(menuPause->checked());
    // Every bound pair follows its action.
    const std::pair<const char*, const char*> pairs[] = {{"CheckBoxNoSleep", "MenuNoSleep"},
                                                         {"CheckBoxScreen", "MenuItemScreen"},
                                                         {"CheckBoxCPUtemp", "MenuTemp"},
                                                         {"CheckBoxSaver", "MenuSaver"},
                                                         {"CheckBoxBoost", "MenuBoost"}};
    for (auto [box, item] : pairs) {
        auto* b = f.get<ui::CheckBox>(box);
        auto* m = f.get<ui::MenuItem>(item);
        ASSERT_TRUE(b && m) << box;
        bool before = b->checked();
        m->userClick();
        EXPECT_NE(b->checked(), before) << item;
        EXPECT_EQ(m->checked(), b->checked()) << item;
    }
}

TEST_F(FormTest, TrayIconEvents) {
    auto& f = start();
    f.hide();
    f.theTrayIcon->userRightUp();
    EXPECT_EQ(backend.popups, (std::vector<std::string>{"TrayPopupMenu"}));
    EXPECT_FALSE(f.visible());
    f.theTrayIcon->userDoubleClick();
    EXPECT_TRUE(f.visible());
    std::vector<std::string> items;
    for (auto* m : f.TrayPopupMenu->items()) items.push_back(m->name() + "=" + m->caption());
    EXPECT_EQ(items, (std::vector<std::string>{"MenuPause=&Pause", "MenuNoSleep=&No Sleep",
                                               "MenuItemScreen=&Keep Screen On", "MenuTemp=&Temperature protection",
                                               "MenuSaver=&Enable Energy Saver", "MenuBoost=&Boost foreground app",
                                               "Menushow=&Show", "Exit1=E&xit"}));
    auto* exitItem = f.get<ui::MenuItem>("Exit1");
    backend.answers = {ui::ModalResult::Yes};
    exitItem->userClick();
    EXPECT_TRUE(application.terminated());
}

// Every control of the options page with the caption and hint it shows as designed;
// a bound check box without a hint of its own shows its action's.
TEST_F(FormTest, EveryCaptionAndHintOfTheOptionsPage) {
    struct Text {
        const char* name;
        const char* caption;
        const char* hint;
    };
    const char* const high = "Select the powerscheme that is used on high cpu load";
    const char* const low = "Select the powerscheme that is used on low cpu load";
    const char* const lowest = "Select the power saving scheme that is used when idling or with overheated CPU";
    const char* const admin = "Administartor rights are required for this to work!";
    const Text texts[] = {
        {"Label3", "Select High power scheme:", high},
        {"ComboBoxHigh", "", high},
        {"Labelhighselect", "    ", ""},
        {"Label2", "Select Low power scheme:", low},
        {"ComboBoxLow", "", low},
        {"LabelLowSelect", "    ", ""},
        {"Label5", "Select Lowest power scheme:", lowest},
        {"ComboBoxLowest", "", lowest},
        {"Labellowestselect", "    ", ""},
        {"Label4", "Select CPU load percentage to enter Low power scheme:", ""},
        {"TrackBarLow", "", ""},
        {"LabelLow", "0%", ""},
        {"Label6", "Select CPU load percentage to enter High power scheme:", ""},
        {"TrackBarHigh", "", ""},
        {"LabelHigh", "0%", ""},
        {"Label8", "Select minimum amount of time to spend in power scheme:", ""},
        {"TrackBarTime", "", ""},
        {"LabelTime", "0 sec", ""},
        {"Label7", "Select time between CPU load checks:", ""},
        {"TrackBarChecks", "", ""},
        {"LabelChecks", "0 sec", ""},
        {"CheckBoxCPUtemp", "Switch to lowest power saving scheme when temperature is above:",
         "Set powersaving scheme when overheating. Requires admin rights to read CPU temperature!"},
        {"TrackBarTemp", "", admin},
        {"LabelTemp", "90C", ""},
        {"CheckBoxIdle", "Switch to lowest power saving scheme when user is inactive for more than:", ""},
        {"TrackBarIdle", "", "Force low power state when no keyboard or mouse input happened"},
        {"LabelIdle", "5min", ""},
        {"CheckBoxDC", "Switch to lowest power saving scheme when running on battery",
         "When running on battery switch to the lowest powersaving scheme"},
        {"CheckBoxPause", "Pause - do not check CPU load or active programs to switch power schemes",
         "Stop checking CPU load and active programs, temperature protection, battery and idle checking will keep "
         "happening"},
        {"CheckBoxNoSleep", "No Sleep - Prevent the computer from entering sleep state",
         "Make sure the computer doesn't go to sleep on idle time out."},
        {"CheckBoxScreen", "Keep Screen On - The computer might still go to sleep if the No Sleep option is not enabled",
         "Make sure the screen stays on"},
        {"CheckBoxTimelimit", "End the Screen On and No Sleep states after this time interval:",
         "End the Screen On and No Sleep states after this time interval"},
        {"TrackBarEndTime", "", ""},
        {"LabelEndTime", "2 hours", ""},
        {"CheckBoxBoost", "Boost foreground application while putting background applications in eco mode",
         "Try this setting to save more energy or if your application needs all the CPU power it can get like games, "
         "etc."},
        {"CheckBoxBoostProc", "Boost busy processes as well",
         "Sometimes the foreground application uses background processes, any process that use more than 80% single "
         "core time will be boosted "},
        {"CheckBoxBoostP", "Force performance mode for foreground application",
         "Make sure the foreground process runs on performance cores at maximum frequency"},
        {"CheckBoxCore0",
         "Use the single core load percentage instead of all cores load percentage - recommended if you have many "
         "cores",
         "Select this when your CPU has a lot of cores. In that case the total CPU load will always stay low even if a "
         "program needs a lot of power on just a few cores."},
        {"CheckBoxSaver", "Enable Windows energy saver mode", "Enable the standard Windows energy saving features"},
    };
    ui::Form design(application, "Design");
    ui::loadDesign(design, app::mainFormDesign());
    const auto& onPage = design.get<ui::Panel>("TabSheetOptions")->children();
    std::vector<std::string> names;
    for (const ui::Control* c : onPage) names.push_back(c->name());
    std::vector<std::string> expected;
    for (const Text& t : texts) expected.push_back(t.name);
    EXPECT_EQ(names, expected);
    for (const Text& t : texts) {
        const ui::Control* c = design.find(t.name);
        ASSERT_NE(c, nullptr) << t.name;
        EXPECT_EQ(c->caption(), t.caption) << t.name;
        EXPECT_EQ(c->hint(), t.hint) << t.name;
    }
    EXPECT_EQ(design.get<ui::MenuItem>("MenuTemp")->hint(), admin);
}

TEST_F(FormTest, DesignShowsTheSpecifiedTextsAndRanges) {
    auto& f = create();
    EXPECT_EQ(f.caption(), "Quorvelta Stellmark Pro 2.1.4");
    EXPECT_EQ(f.clientWidth(), 1304);
    EXPECT_EQ(f.clientHeight(), 649);
    std::vector<std::string> pages;
    for (auto* p : f.PageControl1->pages()) pages.push_back(p->caption());
    EXPECT_EQ(pages, (std::vector<std::string>{"Power Options", "Power Profiles", "Edit hidden settings"}));
    EXPECT_EQ(f.ButtonExit->caption(), "E&xit");
    EXPECT_EQ(f.ButtonClose->caption(), "&Close");
    // Texts that the start sequence replaces, as the design has them.
    ui::Form design(application, "Design");
    ui::loadDesign(design, app::mainFormDesign());
    EXPECT_EQ(design.get<ui::TrayIcon>("theTrayIcon")->hint(), "Quorvelta Stellmark");
    EXPECT_EQ(design.get<ui::Label>("LabelCPU")->caption(), "Current CPU Load 5%");
    EXPECT_EQ(design.get<ui::PageControl>("PageControl1")->activePage(), 2);
    EXPECT_EQ(f.LabelLowSelect->caption(), "    ");

    struct Range { ui::TrackBar* t; int min, max; };
    for (auto r : {Range{f.TrackBarLow, 5, 90}, Range{f.TrackBarHigh, 10, 95}, Range{f.TrackBarTime, 3, 20},
                   Range{f.TrackBarChecks, 1, 6}, Range{f.TrackBarTemp, 60, 100}, Range{f.TrackBarIdle, 1, 30},
                   Range{f.TrackBarEndTime, 1, 48}}) {
        EXPECT_EQ(r.t->min(), r.min) << r.t->name();
        EXPECT_EQ(r.t->max(), r.max) << r.t->name();
    }
    EXPECT_EQ(f.TrackBarTemp->position(), 90);
    EXPECT_EQ(f.TrackBarIdle->position(), 5);
    EXPECT_EQ(f.TrackBarEndTime->position(), 2);

    // A bound check box without a hint of its own shows its action's.
    EXPECT_EQ(f.CheckBoxNoSleep->hint(), "Make sure the computer doesn't go to sleep on idle time out.");
    EXPECT_EQ(f.CheckBoxPause->hint(),
              "Stop checking CPU load and active programs, temperature protection, battery and idle checking will "
              "keep happening");
    EXPECT_EQ(f.CheckBoxBoostProc->hint().back(), ' ');
    EXPECT_EQ(f.TrackBarTemp->hint(), "Administartor rights are required for this to work!");
    EXPECT_EQ(f.get<ui::MenuItem>("MenuTemp")->hint(), "Administartor rights are required for this to work!");
    // Design check states.
    EXPECT_TRUE(f.ActionTemp->checked());
    EXPECT_TRUE(f.CheckBoxCPUtemp->checked());
    EXPECT_TRUE(f.CheckBoxIdle->checked());
    for (auto* a : {f.PauseAction, f.ActionNoSleep, f.ActionScreen, f.ActionSaver, f.ActionBoost})
        EXPECT_FALSE(a->checked()) << a->name();
    EXPECT_FALSE(f.CheckBoxBoostP->enabled());
    EXPECT_EQ(f.TimerCpuTemp->interval(), 2500u);
}

}  // namespace
