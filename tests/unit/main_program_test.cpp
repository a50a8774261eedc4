// Program start: one running copy per desktop and the command line.
#include <gtest/gtest.h>

#include "app/main_program.h"
#include "sim/sim_windows.h"
#include "ui/headless.h"

namespace {

struct StartCase {
    const char* name;
    int arguments;
    bool running;
    std::vector<std::string> expected;  // calls after the window search
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

    ASSERT_FALSE(win.calls.empty());
    EXPECT_EQ(win.calls[0], "FindWindowExA 0 0 TQuorveltaForm Quorvelta Stellmark Pro 2.1.4");
    std::vector<std::string> rest(win.calls.begin() + 1, win.calls.end());
    std::vector<std::string> expected;
    for (const auto& e : c.expected) expected.push_back(e == "post-quit" || e == "post-show" ? "" : e);
    char quit[64], show[64];
    std::snprintf(quit, sizeof quit, "PostMessageA %#llx 0x8004 0 0", static_cast<unsigned long long>(running));
    std::snprintf(show, sizeof show, "PostMessageA %#llx 0x8005 0 0", static_cast<unsigned long long>(running));
    for (size_t i = 0; i < expected.size(); ++i) {
        if (c.expected[i] == "post-quit") expected[i] = quit;
        if (c.expected[i] == "post-show") expected[i] = show;
    }
    EXPECT_EQ(rest, expected);
    EXPECT_TRUE(backend.initialised);
    EXPECT_EQ(backend.windowTitle, "Quorvelta Stellmark Pro");
    EXPECT_TRUE(backend.quitPosted);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, MainProgramTest,
    ::testing::Values(StartCase{"ArgumentWithCopy", 1, true, {"post-quit", "Sleep 100"}},
                      StartCase{"ArgumentsWithoutCopy", 2, false, {"Sleep 100"}},
                      StartCase{"NoArgumentWithCopy", 0, true, {"post-show"}}),
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
