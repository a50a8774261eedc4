// The CPU temperature: reader titles, WMI, and the search for the reader program.
#include "form_fixture.h"

namespace {

const char* const kFirstClass = "WindowsForms10.Window.8.app.0.141b42a_r6_ad1";
const char* const kFifthClass = "WindowsForms10.Window.8.app.0.141b42a_r5_ad1";

class TemperatureTest : public FormTest {
protected:
    app::TStellmarkForm& running() {
        auto& f = start();
        win.clearCalls();
        return f;
    }
};

TEST_F(TemperatureTest, ReaderTitlesGiveReadingsAndValidity) {
    auto& f = running();
    platform::Window w = win.addWindow(kFirstClass, "");
    f.ReaderWindow = w;
    const struct { const char* title; int reading; bool valid; } cases[] = {
        {"42", 42, true},    {"-5", -5, true},  {"120", 120, false}, {"-19", -19, true}, {"119", 119, true},
        {"-20", -20, false}, {"1234", -20, false}, {"", -20, false}, {"abc", -20, false}, {"testing", -20, false},
    };
    for (auto c : cases) {
        win.windows.back().title = c.title;
        EXPECT_EQ(f.ReadCpuTemperature(), c.reading) << c.title;  // a bad title keeps the last reading
        EXPECT_EQ(f.ReaderTemperatureInvalid(), !c.valid) << c.title;
    }
    EXPECT_TRUE(win.callsOf("QueryThermalZoneTemperatures").empty());
    EXPECT_EQ(win.callsOf("GetWindowTextA")[0], "GetWindowTextA " + std::string("0x1000") + " 127");
}

TEST_F(TemperatureTest, WmiRowsAreConvertedAndTheLastRowWins) {
    auto& f = running();
    using Rows = std::vector<std::optional<std::int64_t>>;
    win.thermalRows = {};
    EXPECT_EQ(f.ReadCpuTemperature(), 0);  // nothing read yet
    const struct { Rows rows; int reading; } cases[] = {
        {{3132}, 40}, {{3181}, 44}, {{2700}, -3}, {{3132, 3232}, 50}, {{3232, std::nullopt}, 50}, {{std::nullopt}, 50},
        // truncated toward zero on both sides of 0 C
        {{2731}, 0}, {{2722}, -1}, {{2721}, -1}, {{-1}, -273},
        // the extremes of a 64-bit row convert without overflow and wrap to 32 bits
        {{INT64_MIN}, 858993186}, {{INT64_MAX}, -858993733}, {{INT64_MIN + 9}, 858993187}};
    for (const auto& c : cases) {
        win.thermalRows = c.rows;
        EXPECT_EQ(f.ReadCpuTemperature(), c.reading);
    }
    win.failing.insert("QueryThermalZoneTemperatures");
    EXPECT_EQ(f.ReadCpuTemperature(), -1);
    win.failing.clear();
    win.thermalRows = {};
    EXPECT_EQ(f.ReadCpuTemperature(), -1);  // an empty result keeps the -1
}

TEST_F(TemperatureTest, WithoutTheReaderFileNothingIsSearchedOrStarted) {
    win.addWindow(kFirstClass, "45");
    auto& f = start();
    EXPECT_EQ(f.ReaderWindow, 0u);
    EXPECT_TRUE(win.callsOf("FindWindowExA 0 0 WindowsForms").empty());
    EXPECT_TRUE(win.callsOf("ShellExecuteA").empty());
}

TEST_F(TemperatureTest, ARunningReaderWithAReadingIsUsedAndClosedAtExit) {
    win.files.insert("caldrix2.exe");
    win.addWindow(kFifthClass, "77");
    platform::Window reader = win.addWindow(kFirstClass, "45");
    auto& f = start();
    EXPECT_EQ(f.ReaderWindow, reader);  // the first class in search order wins
    EXPECT_TRUE(win.callsOf("ShellExecuteA").empty());
    EXPECT_EQ(win.callsOf("FindWindowExA 0 0 WindowsForms").size(), 1u);
    f.TimerCpuTempTimer();
    EXPECT_EQ(f.CpuTemperature, 45);
    win.clearCalls();
    f.destroy();
    EXPECT_EQ(win.callsOf("PostMessageA"), (std::vector<std::string>{"PostMessageA 0x1010 0x10 0 0"}));
}

TEST_F(TemperatureTest, AReaderStillTestingIsReplacedByAFreshCopyFoundByThePoll) {
    win.files.insert("caldrix2.exe");
    win.addWindow(kFirstClass, "testing");
    auto& f = create();
    EXPECT_EQ(win.callsOf("ShellExecuteA"), (std::vector<std::string>{"ShellExecuteA 0 null caldrix2.exe [] [] 0"}));
    EXPECT_EQ(f.ReaderWindow, 0u);
    // The first pass, inside 2400 ms, takes the first window titled "testing".
    application.run();
    EXPECT_EQ(f.ReaderWindow, win.windows[0].handle);
}

TEST_F(TemperatureTest, OnlyTheFirstWindowTheSearchFindsIsTested) {
    win.files.insert("caldrix2.exe");
    win.addWindow(kFirstClass, "testing");
    win.addWindow(kFifthClass, "77");  // a valid reader, but of a class searched later
    auto& f = create();
    EXPECT_EQ(f.ReaderWindow, 0u);
    EXPECT_EQ(win.callsOf("ShellExecuteA").size(), 1u);
}

TEST_F(TemperatureTest, ThePollWaitsForAValidReadingAfterTheTestingPhaseAndGivesUpAt4000) {
    win.files.insert("caldrix2.exe");
    auto& f = create();  // no reader window: started, one poll posted
    const std::uint64_t t0 = f.ReaderStartTick;
    // Every pass that finds nothing sleeps 50 ms and posts the next.
    application.run();
    EXPECT_EQ(f.ReaderWindow, 0u);
    EXPECT_GE(win.tick - t0, 4000u);
    EXPECT_LT(win.tick - t0, 4100u);
    EXPECT_EQ(backend.pending(), 0u);
    const auto passes = win.callsOf("Sleep 50").size();
    EXPECT_EQ(passes, 80u);
}

TEST_F(TemperatureTest, PassesAtTheLimitsSearchAsSpecifiedForEachPhase) {
    win.files.insert("caldrix2.exe");
    auto& f = create();
    backend.drain();
    platform::Window w = win.addWindow(kFirstClass, "120");
    // e exactly 2400: still only a "testing" title is taken.
    win.tick = f.ReaderStartTick + 2400;
    win.clearCalls();
    f.PollTemperatureReader();
    EXPECT_EQ(win.callsOf("FindWindowExA")[0], std::string("FindWindowExA 0 0 ") + kFirstClass + " testing");
    EXPECT_EQ(f.ReaderWindow, 0u);
    // Later, any title, but 120 is no valid temperature: polling goes on.
    win.tick = f.ReaderStartTick + 2401;
    f.PollTemperatureReader();
    EXPECT_EQ(f.ReaderWindow, 0u);
    EXPECT_EQ(backend.pending(), 2u);
    win.windows.back().title = "61";
    f.PollTemperatureReader();
    EXPECT_EQ(f.ReaderWindow, w);
    // At 4000 ms after the pause, no further pass.
    f.ReaderWindow = 0;
    win.removeWindow(w);
    win.tick = f.ReaderStartTick + 3950;
    const auto before = backend.pending();
    f.PollTemperatureReader();
    EXPECT_EQ(backend.pending(), before);
}

TEST_F(TemperatureTest, ExitClosesTheReaderOnlyWhileItsWindowIsStillTheReaders) {
    win.files.insert("caldrix2.exe");
    platform::Window reader = win.addWindow(kFirstClass, "45");
    auto& f = start();
    ASSERT_EQ(f.ReaderWindow, reader);
    // The reader ended and its handle now names another program's window.
    win.windows.back().className = "Notepad";
    win.clearCalls();
    f.destroy();
    EXPECT_TRUE(win.callsOf("PostMessageA").empty());
}

}  // namespace
