// How long the process steps of one housekeeping tick take, against the time the same
// calls to the simulated Windows take on their own: 2048 tracked processes, a snapshot
// of 2100, boosting and the single-core option on, the foreground moving between two
// programs at every tick. The steps' own work (the table, its id look-ups) must stay
// within half the calls' time, and the steps must allocate nothing beyond what the calls do.
//
//   build/native/process_table_bench [ticks]
//
// Exits 1 when a limit is missed. Run by scripts/bench, not by the test suite.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/process_table.h"
#include "sim/sim_windows.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSnapshot = 2100;
constexpr std::uint32_t pidOf(int n) { return 10000 + static_cast<std::uint32_t>(n) * 4; }

struct Bench {
    sim::SimWindows win;
    engine::ProcessPrimitives primitives{win, win};
    engine::ProcessTable table{win, win, primitives, [](std::uint32_t) {}};
    engine::BoostOptions options{true, false, false, true};
    platform::Window windows[2] = {};
    std::int32_t cpuLoad = 0;
    int tick = 0;

    Bench() {
        for (int n = 0; n < kSnapshot; ++n) win.addProcess(pidOf(n));
        // The two programs that take turns in the front are tracked ones.
        windows[0] = win.addProcessWindow(pidOf(0), "ProgramA", "A");
        windows[1] = win.addProcessWindow(pidOf(1), "ProgramB", "B");
        primitives.LoadOptionalFunctions();
        table.Clear();
    }

    void steps() {
        win.foregroundWindow = windows[tick++ % 2];
        table.AccountProcesses(options, 1000, cpuLoad);
        table.TrackForeground(options, 0);
        table.DiscoverProcesses();
    }

    // The calls the three steps make at one tick of the steady state, in their order,
    // without the table: every tracked process measured, the previous foreground program
    // sent to eco mode and the new one boosted, and the snapshot walked.
    std::vector<std::uint32_t> trackedIds;
    void callsAlone() {
        const platform::Window fg = windows[tick++ % 2];
        win.foregroundWindow = fg;
        for (auto it = trackedIds.rbegin(); it != trackedIds.rend(); ++it) {
            const platform::Handle h = win.OpenProcess(0x600, false, *it);
            platform::ProcessTimes t;
            win.GetProcessTimes(h, t);
            win.CloseHandle(h);
        }
        const platform::Window now = win.GetForegroundWindow();
        std::uint32_t pid = 0;
        win.GetWindowThreadProcessId(now, &pid);
        const std::uint32_t previous = pid == pidOf(0) ? pidOf(1) : pidOf(0);
        for (auto [id, cls, state] : {std::tuple{previous, 0x40u, &engine::EcoMode},
                                      std::tuple{pid, 0x8000u, &engine::DefaultThrottling}}) {
            const platform::Handle h = win.OpenProcess(0x200, false, id);
            primitives.SetPriorityAndThrottling(h, cls, state);
            win.CloseHandle(h);
        }
        win.GetCurrentProcessId();
        const platform::Handle snapshot = win.CreateToolhelp32Snapshot(platform::TH32CS_SNAPPROCESS_, 0);
        platform::ProcessEntry e;
        for (bool more = win.Process32First(snapshot, e); more; more = win.Process32Next(snapshot, e)) {
        }
        win.CloseHandle(snapshot);
    }
};

// The names of the calls one run makes, in order.
template <class F> std::vector<std::string> callNames(sim::SimWindows& win, F run) {
    win.recordCalls = true;
    win.clearCalls();
    run();
    std::vector<std::string> names;
    for (const std::string& c : win.calls) names.push_back(c.substr(0, c.find(' ')));
    win.recordCalls = false;
    return names;
}

struct Timing {
    double msPerRun;
    long allocationsPerRun;
};

// Runs the two alternately, so that both meet the same state of the machine and of the
// simulated Windows; the median of each.
template <class A, class B> std::pair<Timing, Timing> measure(int runs, A first, B second) {
    std::vector<double> times[2];
    long allocated[2] = {0, 0};
    for (int i = 0; i < 2 * runs; ++i) {
        const int side = i % 2;
        const long before = allocations;
        const auto start = Clock::now();
        if (side == 0) first();
        else second();
        times[side].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        allocated[side] += allocations - before;
    }
    Timing t[2];
    for (int side = 0; side < 2; ++side) {
        std::sort(times[side].begin(), times[side].end());
        t[side] = {times[side][times[side].size() / 2], allocated[side] / runs};
    }
    return {t[0], t[1]};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 41;
    Bench b;
    b.win.recordCalls = false;
    // Discovery fills the table, the next accounting sends it into eco mode, and the
    // foreground programs settle into their turns.
    for (int i = 0; i < 4; ++i) b.steps();
    if (b.table.ProcessCount() != engine::ProcessTable::kCapacity) {
        std::printf("the table holds %d processes, not %d\n", b.table.ProcessCount(), engine::ProcessTable::kCapacity);
        return 1;
    }
    for (int k = 0; k < b.table.ProcessCount(); ++k) b.trackedIds.push_back(b.table[k].Pid);

    // Both sides make exactly the same calls (a tick and its twin start from the same
    // foreground program).
    const auto stepCalls = callNames(b.win, [&] { b.steps(); });
    b.tick += 1;
    const auto aloneCalls = callNames(b.win, [&] { b.callsAlone(); });
    if (stepCalls != aloneCalls) {
        std::printf("the steps made %zu calls, the twin %zu: not the same calls\n", stepCalls.size(), aloneCalls.size());
        return 1;
    }

    const auto [steps, alone] = measure(runs, [&] { b.steps(); }, [&] { b.callsAlone(); });
    const double ratio = steps.msPerRun / alone.msPerRun;
    std::printf("tracked processes     %d of a snapshot of %d\n", b.table.ProcessCount(), kSnapshot);
    std::printf("calls per tick        %zu\n", stepCalls.size());
    std::printf("process steps         %.3f ms per tick (median of %d), %ld allocations\n", steps.msPerRun, runs,
                steps.allocationsPerRun);
    std::printf("the same calls alone  %.3f ms, %ld allocations\n", alone.msPerRun, alone.allocationsPerRun);
    std::printf("ratio                 %.2f (limit 1.50)\n", ratio);
    bool ok = true;
    if (ratio > 1.5) {
        std::printf("FAIL: the steps' own work exceeds half the time of their calls\n");
        ok = false;
    }
    if (steps.allocationsPerRun > alone.allocationsPerRun) {
        std::printf("FAIL: the steps allocate %ld times a tick beyond their calls\n",
                    steps.allocationsPerRun - alone.allocationsPerRun);
        ok = false;
    }
    return ok ? 0 : 1;
}
