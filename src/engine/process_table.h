// The tracked processes: boost of the foreground program, eco mode for background
// processes of normal priority, boost of busy processes and the busiest-process load.
// Three steps of the housekeeping tick keep the table; the boost options and the exit
// empty it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "platform/platform.h"
#include "engine/process_primitives.h"

namespace engine {

// The options page as a step finds it when it runs.
struct BoostOptions {
    bool boost = false;        // CheckBoxBoost: boost and eco mode
    bool busyToo = false;      // CheckBoxBoostProc: boost busy processes as well
    bool performance = false;  // CheckBoxBoostP: boost with throttling explicitly off
    bool singleCore = false;   // CheckBoxCore0: the busiest-process load
};

struct TrackedProcess {
    std::uint32_t Pid = 0;
    std::uint32_t PriorityClass = 0;  // what this system last gave the process or found it in
    std::int64_t CpuTime = 0;         // kernel plus user time at the last measurement, 100-ns units
};

class ProcessTable {
public:
    static constexpr int kCapacity = 2048;
    // Processor time gained between two runs, in 100-ns units.
    static constexpr std::int64_t kBusyGain = 20000000;  // above: busy
    static constexpr std::int64_t kCalmGain = 5000000;   // below: calm
    static constexpr std::int64_t kGainPerPercent = 250000;

    // forgetProcessId: told of every process that leaves the table.
    ProcessTable(platform::Processes& processes, platform::Windows& windows, engine::ProcessPrimitives& primitives,
                 std::function<void(std::uint32_t)> forgetProcessId);

    // Every entry zero, none in use (a start step).
    void Clear();
    std::int32_t ProcessCount() const { return count_; }
    const TrackedProcess& operator[](int k) const { return entries_[static_cast<std::size_t>(k)]; }

    // The three housekeeping steps. AccountProcesses sets cpuLoad from the busiest
    // process, smoothed by the load-check interval checksTime (ms).
    void AccountProcesses(const BoostOptions& options, std::int32_t checksTime, std::int32_t& cpuLoad);
    // mainWindow: the system's own main window, which never counts as the foreground.
    void TrackForeground(const BoostOptions& options, platform::Window mainWindow);
    void DiscoverProcesses();

    void DropTrackedProcess(int k);
    // Boosting switched off: every entry back to normal priority; the table stays only
    // for the busiest-process load.
    void BoostSwitchedOff(bool singleCore);
    void ForgetForeground() {
        ForegroundPid = 0;
        ForegroundWindow = 0;
    }
    // At exit, with boosting on: every entry back to normal priority, the last first.
    void RestoreTrackedProcesses();
    // All entries leave at once; no process is changed.
    void Empty();

    std::uint32_t ForegroundPid = 0;
    platform::Window ForegroundWindow = 0;
    std::int32_t MaxCpuDelta = 0;  // the busiest-process load of the last accounting, 0..100

private:
    // The position of pid among the entries in use, -1 when it is not there.
    int find(std::uint32_t pid) const;
    void append(const TrackedProcess& p);
    void boost(platform::Handle process, const BoostOptions& options);
    void ecoMode(platform::Handle process);

    // Which process ids are in use, so that discovery need not walk the table for each
    // process of the snapshot: open addressing over twice the table's size, with the id
    // plus one as the key (0 is a free slot).
    class IdSet {
    public:
        bool contains(std::uint32_t pid) const;
        void insert(std::uint32_t pid);
        void erase(std::uint32_t pid);
        void clear() { slots_.fill(0); }

    private:
        static constexpr std::size_t kSlots = 2 * kCapacity;
        static std::size_t home(std::uint64_t key) { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 52); }
        std::array<std::uint64_t, kSlots> slots_{};
    };

    platform::Processes& processes_;
    platform::Windows& windows_;
    engine::ProcessPrimitives& primitives_;
    std::function<void(std::uint32_t)> forgetProcessId_;
    std::array<TrackedProcess, kCapacity> entries_{};
    std::int32_t count_ = 0;
    IdSet ids_;
};

}  // namespace engine
