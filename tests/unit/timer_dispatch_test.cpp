// Timer ticks that a modal loop delivers: skipped inside a running timer handler,
// delivered inside the boxes the program opens.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/headless.h"
#include "ui/ui.h"

namespace {

struct TimerDispatch : ::testing::Test {
    ui::HeadlessBackend backend;
    ui::Application app{backend};
    ui::Form form{app, "F"};
    ui::Timer* slow = form.add<ui::Timer>(nullptr, "Slow");
    ui::Timer* fast = form.add<ui::Timer>(nullptr, "Fast");
    std::vector<std::string> events;

    void SetUp() override {
        slow->setInterval(1000);
        fast->setInterval(300);
        backend.realize(form);
        fast->onTimer = [this] { events.push_back("fast " + std::to_string(backend.now())); };
        form.wndProcHook = [this](ui::Message& m) {
            events.push_back("message " + std::to_string(m.msg - ui::WM_APP_));
            return true;
        };
    }
};

// The slow handler's first run waits as for an out-of-process call: the wait's modal
// loop runs for 1100 ms and delivers what falls due meanwhile, four ticks of the other
// timer and one of its own. None of them runs inside it; the message it posted does.
TEST_F(TimerDispatch, ATickArrivingWhileATimerHandlerRunsIsSkipped) {
    bool waited = false;
    slow->onTimer = [&] {
        events.push_back("slow begins " + std::to_string(backend.now()));
        if (!std::exchange(waited, true)) {
            form.post(ui::WM_APP_ + 7);
            backend.advance(1100);
        }
        events.push_back("slow ends " + std::to_string(backend.now()));
    };
    fast->setEnabled(false);
    backend.advance(900);
    fast->setEnabled(true);  // due at 1200, 1500, 1800, 2100 inside the wait
    backend.advance(2100);
    EXPECT_EQ(events, (std::vector<std::string>{"slow begins 1000", "message 7", "slow ends 2100", "fast 2400",
                                                "fast 2700", "slow begins 3000", "slow ends 3000", "fast 3000"}));
}

// A handler that throws has stopped running: the error box shown for it delivers ticks
// again, as the exit question and the close notice do, which other handlers open.
TEST_F(TimerDispatch, TicksRunInsideTheBoxesTheProgramOpens) {
    slow->setEnabled(false);
    auto* exitItem = form.add<ui::MenuItem>(nullptr, "Exit");
    auto* closeItem = form.add<ui::MenuItem>(nullptr, "Close");
    exitItem->onClick = [this] { app.confirm("Are you sure?"); };
    closeItem->onClick = [this] { app.showMessage("Minimized"); };
    // Every box stays open for 700 ms; the fast timer ticks twice meanwhile.
    backend.whileModal = [this] {
        events.push_back("box opens");
        backend.advance(700);
        events.push_back("box closes");
    };
    exitItem->userClick();
    closeItem->userClick();
    EXPECT_EQ(events, (std::vector<std::string>{"box opens", "fast 300", "fast 600", "box closes",
                                                "box opens", "fast 900", "fast 1200", "box closes"}));

    events.clear();
    fast->setEnabled(false);
    int failures = 0;
    slow->onTimer = [&] {
        if (++failures == 1) {
            fast->setEnabled(true);
            throw std::runtime_error("tick failed");
        }
        events.push_back("slow " + std::to_string(backend.now()));
    };
    slow->setEnabled(true);  // due at 2400
    backend.advance(2400);
    EXPECT_EQ(backend.errors, (std::vector<std::string>{"tick failed"}));
    // The box shown for the failed tick delivers ticks; afterwards the slow timer runs again.
    EXPECT_EQ(events, (std::vector<std::string>{"box opens", "fast 2700", "fast 3000", "box closes", "fast 3300",
                                                "slow 3400", "fast 3600"}));
    EXPECT_FALSE(app.timerHandlerRunning());
}

}  // namespace
