#include "engine/process_table.h"

#include <algorithm>

namespace engine {

namespace {

constexpr std::uint32_t kMeasureAndChange = platform::PROCESS_QUERY_INFORMATION_ | platform::PROCESS_SET_INFORMATION_;

// Kernel plus user time; the operating system's unsigned counts, taken as signed 64-bit.
std::int64_t cpuTime(const platform::ProcessTimes& t) { return static_cast<std::int64_t>(t.kernel + t.user); }

}  // namespace

ProcessTable::ProcessTable(platform::Processes& processes, platform::Windows& windows,
                           engine::ProcessPrimitives& primitives, std::function<void(std::uint32_t)> forgetProcessId)
    : processes_(processes), windows_(windows), primitives_(primitives), forgetProcessId_(std::move(forgetProcessId)) {}

// ---- the id set ----

bool ProcessTable::IdSet::contains(std::uint32_t pid) const {
    const std::uint64_t key = std::uint64_t{pid} + 1;
    for (std::size_t i = home(key);; i = (i + 1) % kSlots) {
        if (slots_[i] == key) return true;
        if (slots_[i] == 0) return false;
    }
}

void ProcessTable::IdSet::insert(std::uint32_t pid) {
    const std::uint64_t key = std::uint64_t{pid} + 1;
    std::size_t i = home(key);
    while (slots_[i] != 0 && slots_[i] != key) i = (i + 1) % kSlots;
    slots_[i] = key;
}

// Linear probing without tombstones: the keys after the freed slot that could not sit
// in their home slot move back into the gap.
void ProcessTable::IdSet::erase(std::uint32_t pid) {
    const std::uint64_t key = std::uint64_t{pid} + 1;
    std::size_t gap = home(key);
    while (slots_[gap] != key) {
        if (slots_[gap] == 0) return;
        gap = (gap + 1) % kSlots;
    }
    slots_[gap] = 0;
    for (std::size_t i = (gap + 1) % kSlots; slots_[i] != 0; i = (i + 1) % kSlots) {
        const std::size_t h = home(slots_[i]);
        // Moves when its home does not lie cyclically within (gap, i].
        const bool between = gap < i ? (h > gap && h <= i) : (h > gap || h <= i);
        if (between) continue;
        slots_[gap] = slots_[i];
        slots_[i] = 0;
        gap = i;
    }
}

// ---- the table ----

void ProcessTable::Clear() {
    entries_.fill(TrackedProcess{});
    Empty();
}

void ProcessTable::Empty() {
    count_ = 0;
    ids_.clear();
}

int ProcessTable::find(std::uint32_t pid) const {
    if (!ids_.contains(pid)) return -1;
    for (int k = 0; k < count_; ++k)
        if (entries_[static_cast<std::size_t>(k)].Pid == pid) return k;
    return -1;
}

void ProcessTable::append(const TrackedProcess& p) {
    entries_[static_cast<std::size_t>(count_)] = p;
    ++count_;
    ids_.insert(p.Pid);
}

void ProcessTable::DropTrackedProcess(int k) {
    const std::uint32_t pid = entries_[static_cast<std::size_t>(k)].Pid;
    if (forgetProcessId_) forgetProcessId_(pid);
    std::copy(entries_.begin() + k + 1, entries_.begin() + count_, entries_.begin() + k);
    --count_;
    ids_.erase(pid);
}

void ProcessTable::boost(platform::Handle process, const BoostOptions& options) {
    primitives_.SetPriorityAndThrottling(process, platform::ABOVE_NORMAL_PRIORITY_CLASS_,
                                         options.performance ? &engine::PerformanceMode
                                                             : &engine::DefaultThrottling);
}

void ProcessTable::ecoMode(platform::Handle process) {
    primitives_.SetPriorityAndThrottling(process, platform::IDLE_PRIORITY_CLASS_, &engine::EcoMode);
}

void ProcessTable::AccountProcesses(const BoostOptions& options, std::int32_t checksTime, std::int32_t& cpuLoad) {
    // The largest gain is kept in 64 bits: a process measured for the first time may
    // bring its whole processor time, which a 32-bit value cannot hold.
    std::int64_t maxGain = 0;
    const bool busy = options.boost && options.busyToo;
    for (int k = count_ - 1; k >= 0; --k) {
        TrackedProcess& p = entries_[static_cast<std::size_t>(k)];
        const platform::Handle h = processes_.OpenProcess(kMeasureAndChange, false, p.Pid);
        if (!h) {
            DropTrackedProcess(k);
            continue;
        }
        platform::ProcessTimes times;
        if (!processes_.GetProcessTimes(h, times) || times.exit != 0) {
            DropTrackedProcess(k);
            processes_.CloseHandle(h);
            continue;
        }
        const std::int64_t now = cpuTime(times);
        const auto gain = static_cast<std::int64_t>(static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(p.CpuTime));
        maxGain = std::max(maxGain, gain);
        p.CpuTime = now;
        if (busy && (p.PriorityClass == platform::IDLE_PRIORITY_CLASS_ ||
                     p.PriorityClass == platform::NORMAL_PRIORITY_CLASS_) && gain > kBusyGain) {
            p.PriorityClass = platform::ABOVE_NORMAL_PRIORITY_CLASS_;
            boost(h, options);
        } else if (busy && p.PriorityClass == platform::ABOVE_NORMAL_PRIORITY_CLASS_ && gain < kCalmGain &&
                   p.Pid != ForegroundPid) {
            p.PriorityClass = platform::IDLE_PRIORITY_CLASS_;
            ecoMode(h);
        } else if (options.boost && p.PriorityClass == platform::NORMAL_PRIORITY_CLASS_) {
            p.PriorityClass = platform::IDLE_PRIORITY_CLASS_;
            ecoMode(h);
        }
        processes_.CloseHandle(h);
    }
    MaxCpuDelta = static_cast<std::int32_t>(std::min<std::int64_t>(maxGain / kGainPerPercent, 100));
    if (checksTime <= 1250) cpuLoad = MaxCpuDelta;
    else if (checksTime <= 3750) cpuLoad = (cpuLoad + MaxCpuDelta) / 2;
    else cpuLoad = (2 * cpuLoad + MaxCpuDelta) / 3;
}

void ProcessTable::TrackForeground(const BoostOptions& options, platform::Window mainWindow) {
    const platform::Window fg = windows_.GetForegroundWindow();
    if (fg == ForegroundWindow || fg == mainWindow) return;
    ForegroundWindow = fg;
    std::uint32_t pid = 0;
    const bool found = windows_.GetWindowThreadProcessId(fg, &pid) != 0;

    // The previous foreground process goes into eco mode, unless the busy rule is to
    // decide when it is calm.
    if (const int k = find(ForegroundPid); k >= 0 && !options.busyToo) {
        if (const platform::Handle h = processes_.OpenProcess(platform::PROCESS_SET_INFORMATION_, false, ForegroundPid)) {
            ecoMode(h);
            processes_.CloseHandle(h);
            entries_[static_cast<std::size_t>(k)].PriorityClass = platform::IDLE_PRIORITY_CLASS_;
        } else {
            DropTrackedProcess(k);
        }
    }
    ForegroundPid = 0;
    if (!found) return;

    ForegroundPid = pid;
    const int k = find(pid);
    if (k < 0 && count_ < kCapacity) {
        const platform::Handle h = processes_.OpenProcess(kMeasureAndChange, false, pid);
        if (!h) return;
        TrackedProcess p{pid, platform::ABOVE_NORMAL_PRIORITY_CLASS_, 0};
        boost(h, options);
        platform::ProcessTimes times;
        if (processes_.GetProcessTimes(h, times)) p.CpuTime = cpuTime(times);
        append(p);
        processes_.CloseHandle(h);
        return;
    }
    // Full table: boosted, but not recorded. Known: boosted again.
    const platform::Handle h = processes_.OpenProcess(platform::PROCESS_SET_INFORMATION_, false, pid);
    if (!h) return;
    if (k >= 0) entries_[static_cast<std::size_t>(k)].PriorityClass = platform::ABOVE_NORMAL_PRIORITY_CLASS_;
    boost(h, options);
    processes_.CloseHandle(h);
}

void ProcessTable::DiscoverProcesses() {
    const std::uint32_t own = processes_.GetCurrentProcessId();
    const platform::Handle snapshot = processes_.CreateToolhelp32Snapshot(platform::TH32CS_SNAPPROCESS_, 0);
    if (!snapshot) return;
    platform::ProcessEntry entry;
    for (bool more = processes_.Process32First(snapshot, entry); more; more = processes_.Process32Next(snapshot, entry)) {
        const std::uint32_t pid = entry.processId;
        if (pid == own || count_ >= kCapacity || ids_.contains(pid)) continue;
        const platform::Handle h = processes_.OpenProcess(platform::PROCESS_QUERY_INFORMATION_, false, pid);
        if (!h) continue;
        platform::ProcessTimes times;
        if (processes_.GetPriorityClass(h) == platform::NORMAL_PRIORITY_CLASS_ && processes_.GetProcessTimes(h, times))
            append({pid, platform::NORMAL_PRIORITY_CLASS_, cpuTime(times)});
        processes_.CloseHandle(h);
    }
    processes_.CloseHandle(snapshot);
}

void ProcessTable::BoostSwitchedOff(bool singleCore) {
    for (int k = count_ - 1; k >= 0; --k) {
        TrackedProcess& p = entries_[static_cast<std::size_t>(k)];
        primitives_.RestoreNormal(p.Pid);
        p.PriorityClass = platform::NORMAL_PRIORITY_CLASS_;
    }
    ForgetForeground();
    if (!singleCore) Empty();
}

void ProcessTable::RestoreTrackedProcesses() {
    for (int k = count_ - 1; k >= 0; --k) primitives_.RestoreNormal(entries_[static_cast<std::size_t>(k)].Pid);
}

}  // namespace engine
