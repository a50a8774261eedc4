#include "profiles/program_profiles.h"

#include <algorithm>
#include <cstring>

namespace profiles {

namespace {

// Class names are read into 127 bytes, so at most 126 of them.
constexpr int kClassBuffer = 127;

// The length of a class field: up to its first zero, at most its 256 bytes.
std::size_t fieldLength(const char* field) {
    return static_cast<std::size_t>(std::find(field, field + kClassBytes, '\0') - field);
}

struct PriorityChoice {
    std::uint32_t priorityClass;
    const engine::PowerThrottlingState* state;  // null: the throttling state is not touched
};

}  // namespace

void ProfileTable::ClearAppliedPids() {
    for (auto& row : ProgramProfiles) row.ProfileAppliedPid = 0;
}

void ProfileTable::SetDefaultProfileRows() {
    for (auto& row : ProgramProfiles) {
        std::memset(row.ProfileClass, 0, sizeof row.ProfileClass);
        row.ProfileCoreStart = primitives_.CpuCount;
        row.ProfileCoreEnd = primitives_.CpuCount;
        row.ProfileEvenCores = false;
        row.ProfileCpuPriority = 2;
        row.ProfileIoPriority = 2;
    }
}

bool ProfileTable::AnyProfileDefined() const {
    return std::any_of(std::begin(ProgramProfiles), std::end(ProgramProfiles),
                       [](const ProgramProfile& row) { return row.defined(); });
}

std::string ProfileTable::className(int row) const {
    const char* text = ProgramProfiles[row].ProfileClass;
    return std::string(text, fieldLength(text));
}

void ProfileTable::setClassName(int row, const std::string& text) {
    char* field = ProgramProfiles[row].ProfileClass;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(kClassBytes));
    std::memset(field, 0, kClassBytes);
    std::memcpy(field, text.data(), n);
}

void ProfileTable::ScanProfileWindows() {
    windows_.EnumWindows([this](platform::Window w) { return ProfileWindowProc(w); });
}

bool ProfileTable::ProfileWindowProc(platform::Window w) {
    platform::WindowInfo info;
    if (!windows_.GetWindowInfo(w, info)) return true;
    if (!(info.style & platform::WS_VISIBLE_) || (info.style & platform::WS_MINIMIZE_)) return true;
    if (primitives_.IsWindowCloaked(w)) return true;
    char cls[kClassBuffer]{};
    const int length = windows_.GetClassNameA(w, cls, kClassBuffer);
    if (length <= 0) return true;
    for (int row = 0; row < kProfileRows; ++row) {
        const char* profile = ProgramProfiles[row].ProfileClass;
        // The row's class may fill its 256 bytes without a terminating zero.
        if (fieldLength(profile) == static_cast<std::size_t>(length) &&
            std::memcmp(profile, cls, static_cast<std::size_t>(length)) == 0) {
            std::uint32_t processId = 0;
            windows_.GetWindowThreadProcessId(w, &processId);
            ApplyProfile(row, processId);
            return EnumToggle;
        }
    }
    return true;
}

void ProfileTable::ApplyProfile(int row, std::uint32_t processId) {
    ProgramProfile& profile = ProgramProfiles[row];
    if (profile.ProfileAppliedPid != processId) ApplyProcessSettings(profile, processId);
    if (!ProfileApplied) ApplySchemeRule(profile);
}

void ProfileTable::ApplyProcessSettings(ProgramProfile& row, std::uint32_t processId) {
    row.ProfileAppliedPid = processId;

    // Affinity: cores start..end, wrapping past the last core to core 0; masks are
    // unsigned 32-bit, so core 31 is an ordinary bit.
    const std::int32_t cpuCount = primitives_.CpuCount;
    if (row.ProfileCoreStart >= 0 && row.ProfileCoreStart < cpuCount) {
        std::int32_t start = row.ProfileCoreStart;
        const std::int32_t end = row.ProfileCoreEnd >= cpuCount ? cpuCount - 1 : row.ProfileCoreEnd;
        std::uint32_t mask = 0;
        if (start > end) {
            for (std::int32_t core = start; core < cpuCount; ++core) mask |= 1u << core;
            start = 0;
        }
        for (std::int32_t core = start; core <= end; ++core) mask |= 1u << core;
        mask &= row.ProfileEvenCores ? primitives_.EvenCoreMask : primitives_.SystemAffinityMask;
        primitives_.SetAffinity(processId, mask);
    }

    // CPU priority with its throttling state; a level outside the table changes nothing.
    const PriorityChoice choices[] = {
        {platform::IDLE_PRIORITY_CLASS_, &engine::EcoMode},
        {platform::BELOW_NORMAL_PRIORITY_CLASS_, nullptr},
        {platform::NORMAL_PRIORITY_CLASS_, nullptr},
        {platform::ABOVE_NORMAL_PRIORITY_CLASS_,
         engine_.performanceModeChosen() ? &engine::PerformanceMode : &engine::DefaultThrottling},
    };
    {
        engine::ProcessHandle process(primitives_.processes(), platform::PROCESS_SET_INFORMATION_, processId);
        if (process && row.ProfileCpuPriority >= 0 && row.ProfileCpuPriority < 4) {
            const PriorityChoice& c = choices[row.ProfileCpuPriority];
            primitives_.SetPriorityAndThrottling(process.get(), c.priorityClass, c.state);
        }
    }

    // The I/O priority goes to the operating system as stored, whatever it is.
    primitives_.SetIoPriority(processId, row.ProfileIoPriority);
}

void ProfileTable::ApplySchemeRule(const ProgramProfile& row) {
    ProfileApplied = true;
    const platform::Guid& scheme = row.ProfileScheme;
    if (scheme == engine_.activeScheme()) return;
    // No preferred scheme, and also a scheme in no list (never picked, so all zero, or
    // deleted since it was stored), which the profile page shows as "No prefered
    // scheme": activating it would fail unseen and record a scheme that is not active.
    if (schemes_.schemeIndexOf(scheme) >= schemes_.schemeCount()) return;
    if (engine_.forcedLowest() || engine_.overheated()) return;
    if (scheme == engine_.lowScheme()) engine_.switchToLow();
    else if (scheme == engine_.highScheme()) engine_.switchToHigh();
    else if (scheme == engine_.lowestScheme()) engine_.switchToLowest();
    else engine_.switchToProfileScheme(scheme);
}

void ProfileTable::ForgetProcessId(std::uint32_t processId) {
    for (auto& row : ProgramProfiles)
        if (row.ProfileAppliedPid == processId) row.ProfileAppliedPid = 0;
}

}  // namespace profiles
