// The main window's life: start sequence, window procedure, show, hide, close, exit.
#include "form_fixture.h"

#include <utility>

namespace {

using app::MsgPollReader;
using app::MsgQuit;
using app::MsgShowWindow;
using app::MsgStartHidden;

TEST_F(FormTest, StartSequenceLeavesTheOptionVariablesEqualToTheSliders) {
    auto& f = start();
    // From the design positions 90, 95, 3, 2 the standard values move all four.
    EXPECT_EQ(f.LabelLow->caption(), "20%");
    EXPECT_EQ(f.LabelHigh->caption(), "75%");
    EXPECT_EQ(f.LabelTime->caption(), "4 sec");
    EXPECT_EQ(f.LabelChecks->caption(), "1 sec");
    EXPECT_EQ(f.LowCpu, 20);
    EXPECT_EQ(f.HighCpu, 75);
    EXPECT_EQ(f.MinTime, 4000);
    EXPECT_EQ(f.ChecksTime, 1000);
    EXPECT_EQ(f.RefreshTimer->interval(), 1000u);
    EXPECT_TRUE(f.SettingsDirty);
    EXPECT_TRUE(f.Active);
    EXPECT_EQ(f.PageControl1->activePage(), 0);  // the design opens on the third page
    EXPECT_TRUE(f.visible());
    EXPECT_FALSE(f.CheckBoxBoostProc->enabled());
    EXPECT_TRUE(backend.errors.empty());
}

TEST_F(FormTest, StartSequenceAppliesTheGapRuleToStoredThresholds) {
    storeSettings();
    const struct { std::uint32_t low, high, minTime, checksTime; int lowAfter, highAfter, minAfter, checksAfter; } cases[] = {
        {80, 82, 20500, 9000, 77, 82, 20000, 6000},  // whole seconds only; beyond the slider: clamped
        {92, 95, 4500, 0, 90, 95, 4000, 1000},
        {20, 75, 500, 10000, 20, 75, 3000, 6000},
    };
    for (const auto& c : cases) {
        win.setRegDword(kKey, "lowcpu", c.low);
        win.setRegDword(kKey, "highcpu", c.high);
        win.setRegDword(kKey, "mintime", c.minTime);
        win.setRegDword(kKey, "checkstime", c.checksTime);
        form.reset();
        create();
        EXPECT_EQ(form->LowCpu, c.lowAfter) << c.low;
        EXPECT_EQ(form->HighCpu, c.highAfter) << c.high;
        EXPECT_EQ(form->MinTime, c.minAfter) << c.minTime;
        EXPECT_EQ(form->ChecksTime, c.checksAfter) << c.checksTime;
        EXPECT_EQ(form->RefreshTimer->interval(), static_cast<std::uint32_t>(c.checksAfter));
    }
}

TEST_F(FormTest, AWindowClosedBeforeStartsShownOnceThenHidden) {
    storeSettings();
    win.setRegString(kKey, "MShown0", "yes");
    application.initialise();
    form = std::make_unique<app::TStellmarkForm>(application, os);
    application.setMainForm(form.get());
    int shows = 0, hides = 0;
    form->create();
    auto show = form->onShow, hide = form->onHide;
    form->onShow = [&] { ++shows; show(); };
    form->onHide = [&] { ++hides; hide(); };
    EXPECT_EQ(backend.pending(), 1u);  // MsgStartHidden
    application.run();
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(hides, 1);
    EXPECT_FALSE(form->visible());
    EXPECT_TRUE(form->RefreshTimer->isEnabled());
}

// Unlike the pause handler, the start-hidden steps write no status text.
TEST_F(FormTest, StartHiddenTakesABaselineOnlyWhileActiveAndWritesNoStatus) {
    auto& f = start();
    const struct { bool paused; std::size_t baselines; } cases[] = {{false, 1}, {true, 0}};
    for (auto c : cases) {
        send(MsgShowWindow);
        f.PauseAction->setChecked(c.paused);
        f.RefreshTimer->setEnabled(!c.paused);
        f.LabelCPU->setCaption("status");
        f.theTrayIcon->setTrayHint("hint");
        win.addLoad(10, 10, 10);
        win.clearCalls();
        send(MsgStartHidden);
        EXPECT_EQ(f.Active, !c.paused);
        EXPECT_EQ(f.RefreshTimer->isEnabled(), !c.paused);
        EXPECT_FALSE(f.visible());
        EXPECT_EQ(win.callsOf("GetSystemTimes").size(), c.baselines) << c.paused;
        if (c.baselines) {
            EXPECT_EQ(f.LoadBaseline.idle, win.times.idle);
        }
        EXPECT_EQ(f.LabelCPU->caption(), "status");
        EXPECT_EQ(f.theTrayIcon->hint(), "hint");
    }
}

TEST_F(FormTest, WndProcRoutesEachMessage) {
    auto& f = start();
    // The frame's close command hides to the notification area, once with the notice.
    send(ui::WM_SYSCOMMAND_, 0xF060);
    EXPECT_FALSE(f.visible());
    EXPECT_FALSE(application.terminated());
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].kind, ui::BoxKind::Information);
    EXPECT_EQ(backend.boxes[0].text,
              "Quorvelta Stellmark has been minimized to the system notification area on the taskbar!");
    EXPECT_TRUE(f.MinimizeNoticeShown);
    EXPECT_TRUE(backend.defaultHandled.empty());

    send(MsgShowWindow);
    EXPECT_TRUE(f.visible());
    send(ui::WM_SYSCOMMAND_, 0xF060);
    EXPECT_EQ(backend.boxes.size(), 1u);  // the notice only the first time
    send(MsgShowWindow);

    // WM_APP+3 and other system commands go to the inherited procedure.
    send(ui::WM_APP_ + 3);
    send(ui::WM_SYSCOMMAND_, 0xF020);
    ASSERT_EQ(backend.defaultHandled.size(), 2u);
    EXPECT_EQ(backend.defaultHandled[0].msg, ui::WM_APP_ + 3);
    EXPECT_TRUE(f.visible());
    EXPECT_FALSE(application.terminated());
}

TEST_F(FormTest, CloseCommandWithLowBitsIsAPlainCloseThatEndsTheProgram) {
    auto& f = start();
    send(ui::WM_SYSCOMMAND_, 0xF061);
    EXPECT_TRUE(application.terminated());
    EXPECT_TRUE(backend.boxes.empty());  // no confirmation
    EXPECT_TRUE(f.visible());
}

TEST_F(FormTest, MsgQuitEndsWithoutConfirmation) {
    start();
    send(MsgQuit);
    EXPECT_TRUE(application.terminated());
    EXPECT_TRUE(backend.boxes.empty());
}

TEST_F(FormTest, ShowOnAVisibleWindowOnlyBringsItToTheFront) {
    auto& f = start();
    int shows = 0;
    f.onShow = [&] { ++shows; };
    f.ShowActionExecute();
    EXPECT_EQ(shows, 0);
    f.hide();
    f.ShowAction->execute();
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(f.visible());
}

TEST_F(FormTest, ExitAsksAndOnlyYesEnds) {
    auto& f = start();
    backend.answers = {ui::ModalResult::Cancel};
    f.ButtonExit->userClick();
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].kind, ui::BoxKind::Confirmation);
    EXPECT_EQ(backend.boxes[0].text, "Are you sure you want to exit?");
    EXPECT_FALSE(application.terminated());
    EXPECT_TRUE(f.visible());
    backend.answers = {ui::ModalResult::Yes};
    f.ExitAction->execute();
    EXPECT_TRUE(application.terminated());
}

TEST_F(FormTest, TimersKeepRunningWhileTheExitQuestionIsOpen) {
    auto& f = start();
    int ticks = 0;
    f.TimerCpuTemp->onTimer = [&] { ++ticks; };
    backend.whileModal = [&] { backend.advance(5000); };
    backend.answers = {ui::ModalResult::Cancel};
    f.ExitActionExecute();
    EXPECT_EQ(ticks, 2);
}

// With the window hidden the notice and the question have no owner: the tray icon,
// its menu and posted messages still reach the window while they are open.
TEST_F(FormTest, ARequestWhoseBoxIsAlreadyOpenOpensNone) {
    auto& f = start();
    bool again = false;
    backend.whileModal = [&] {
        if (std::exchange(again, true)) return;
        send(MsgShowWindow);
        send(ui::WM_SYSCOMMAND_, 0xF060);
    };
    f.CloseAction->execute();
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_FALSE(f.visible());
    EXPECT_TRUE(f.MinimizeNoticeShown);

    again = false;
    backend.whileModal = [&] {
        if (std::exchange(again, true)) return;
        f.get<ui::MenuItem>("Exit1")->userClick();
        f.ButtonExit->userClick();
    };
    backend.answers = {ui::ModalResult::Cancel, ui::ModalResult::Yes, ui::ModalResult::Yes};
    f.get<ui::MenuItem>("Exit1")->userClick();
    EXPECT_EQ(backend.boxes.size(), 2u);
    EXPECT_FALSE(application.terminated());
    // Once answered, the question can be asked again.
    backend.whileModal = nullptr;
    f.ExitAction->execute();
    EXPECT_EQ(backend.boxes.size(), 3u);
    EXPECT_TRUE(application.terminated());
}

// A copy running as administrator must still hear a normal second start.
TEST_F(FormTest, OnlyQuitAndShowAreTakenFromOtherPrograms) {
    auto& f = create();
    const std::vector<std::pair<ui::Form*, std::uint32_t>> accepted{{&f, MsgQuit}, {&f, MsgShowWindow}};
    EXPECT_EQ(backend.acceptedFromOthers, accepted);
}

TEST_F(FormTest, APlainCloseIsAlwaysGranted) {
    start();
    send(ui::WM_CLOSE_);
    EXPECT_TRUE(application.terminated());
}

}  // namespace

namespace {

// The start sequence's calls to the system, in order, repeats folded together.
TEST_F(FormTest, StartSequenceCallsTheSystemInItsFixedOrder) {
    create();
    std::vector<std::string> kinds;
    for (const auto& c : win.calls) {
        std::string name = c.substr(0, c.find(' '));
        if (kinds.empty() || kinds.back() != name) kinds.push_back(name);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{
                         "GetProcessAffinityMask",                        // processor topology
                         "OpenThreadToken", "ImpersonateSelf", "OpenThreadToken",  // privileges
                         "LookupPrivilegeValueA", "AdjustTokenPrivileges", "LookupPrivilegeValueA",
                         "AdjustTokenPrivileges", "CloseHandle",
                         "LoadSystemLibrary", "GetProcAddress", "LoadSystemLibrary", "GetProcAddress",  // optional functions
                         "GetSystemTimes",                                // first baseline
                         "RegOpenKeyExA",                                 // the settings read: no key yet
                         "PowerEnumerate", "PowerReadFriendlyName",        // the scheme list
                         "PowerEnumerate", "PowerReadFriendlyName", "PowerEnumerate", "PowerReadFriendlyName",
                         "PowerEnumerate",                                // ... until no more schemes
                         "GetSystemTimes",                                // the pause handler's baseline
                         "QueryThermalZoneTemperatures", "GetLastInputInfo",  // one housekeeping tick
                         "FileExists"}));                                 // last: the reader program
    EXPECT_EQ(win.calls.back(), "FileExists caldrix2.exe");
}

}  // namespace
