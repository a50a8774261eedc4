// Program start: one running copy per desktop and the command line.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/main_program.h"
#include "sim/sim_windows.h"
#include "ui/headless.h"

namespace {

struct StartCase {
    const char* name;
    int arguments;
    bool running;
    std::uint32_t relayed;  // the message posted to the running copy, 0 for none
    // Waits 100 ms after the post before ending. Proven here on the simulated clock:
    // under Wine the running copy sees the message when it is scheduled, which bounds
    // nothing from below.
    bool sleeps;
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class MainProgramTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(MainProgramTest, RelaysTheWishAndEndsWithoutAWindow) {
    const StartCase& c = GetParam();
    sim::SimWindows win;
    // The hidden application window of a running copy has the same class but the
    // application title, so it never matches.
    win.addWindow("TQuorveltaForm", "Quorvelta Stellmark Pro", false);
    platform::Window running = c.running ? win.addWindow("TQuorveltaForm", "Quorvelta Stellmark Pro 2.1.4", false) : 0;
    auto os = win.platform(c.arguments);
    ui::HeadlessBackend backend(&win.tick);
    app::MainProgram(os, backend);

    std::vector<std::string> expected{"FindWindowExA 0 0 TQuorveltaForm Quorvelta Stellmark Pro 2.1.4"};
    if (c.relayed) {
        char post[64];
        std::snprintf(post, sizeof post, "PostMessageA %#llx %#x 0 0", static_cast<unsigned long long>(running),
                      static_cast<unsigned>(c.relayed));
        expected.push_back(post);
    }
    if (c.sleeps) expected.push_back("Sleep 100");
    EXPECT_EQ(win.calls, expected);
    EXPECT_TRUE(backend.initialised);
    EXPECT_EQ(backend.windowTitle, "Quorvelta Stellmark Pro");
    EXPECT_TRUE(backend.quitPosted);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, MainProgramTest,
    ::testing::Values(StartCase{"ArgumentWithCopy", 1, true, app::MsgQuit, true},
                      StartCase{"ArgumentsWithoutCopy", 2, false, 0, true},
                      StartCase{"NoArgumentWithCopy", 0, true, app::MsgShowWindow, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainProgram, TheOnlyCopyShowsItsWindowAndRunsUntilQuit) {
    sim::SimWindows win;
    win.addStandardSchemes();
    auto os = win.platform(0);
    ui::HeadlessBackend backend(&win.tick);
    int idleSteps = 0;
    backend.onIdle = [&](ui::Application& app) {
        ui::Form* main = app.mainForm();
        EXPECT_TRUE(main->visible());
        EXPECT_EQ(main->caption(), "Quorvelta Stellmark Pro 2.1.4");
        main->post(app::MsgQuit);
        return ++idleSteps < 5;
    };
    app::MainProgram(os, backend);
    EXPECT_EQ(idleSteps, 1);  // the posted MsgQuit ended the loop
    EXPECT_TRUE(win.callsOf("Sleep").empty());
    EXPECT_TRUE(backend.errors.empty());
}

}  // namespace
