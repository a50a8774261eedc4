// The 14 program profile rows and their application: at each load check the visible
// top-level windows are scanned for a row's window class, the row's process settings
// go to the window's process, and the first match of a scan may switch the scheme.
#pragma once

#include <cstdint>
#include <string>

#include "engine/process_primitives.h"
#include "platform/guid.h"
#include "platform/platform.h"

namespace profiles {

constexpr int kProfileRows = 14;
constexpr int kClassBytes = 256;

// One row; row N of the profile page is index N-1.
struct ProgramProfile {
    // The window class, 8-bit text zero-terminated when shorter; empty = row not defined.
    char ProfileClass[kClassBytes]{};
    // The preferred scheme; NO_SUBGROUP_GUID = no preferred scheme.
    platform::Guid ProfileScheme{};
    // Positions in the row's core lists: 0 .. CpuCount-1 a core, CpuCount "All Cores".
    // Stored numbers are kept as they are, in range or not.
    std::int32_t ProfileCoreStart = 0, ProfileCoreEnd = 0;
    bool ProfileEvenCores = false;
    // Priority levels 0 idle/very low, 1 low, 2 default/normal, 3 high.
    std::int32_t ProfileCpuPriority = 2, ProfileIoPriority = 2;
    // The process the row was last applied to; 0 = none. Not stored.
    std::uint32_t ProfileAppliedPid = 0;

    bool defined() const { return ProfileClass[0] != '\0'; }
};

// What the rows need of the engine: its scheme state and switch routines, and the
// boost option that picks the throttling state of a high-priority row.
class ProfileEngine {
public:
    virtual ~ProfileEngine() = default;
    virtual const platform::Guid& activeScheme() const = 0;
    virtual const platform::Guid& lowScheme() const = 0;
    virtual const platform::Guid& highScheme() const = 0;
    virtual const platform::Guid& lowestScheme() const = 0;
    virtual bool forcedLowest() const = 0;
    virtual bool overheated() const = 0;
    virtual bool performanceModeChosen() const = 0;  // CheckBoxBoostP ticked
    virtual void switchToLow() = 0;
    virtual void switchToHigh() = 0;
    virtual void switchToLowest() = 0;
    virtual void switchToProfileScheme(const platform::Guid& scheme) = 0;
};

// The scheme list, as the profile page shows it and the scheme rule checks a row's scheme
// against it.
class SchemeChoices {
public:
    virtual ~SchemeChoices() = default;
    virtual std::int32_t schemeCount() const = 0;
    // Slot p of the scheme list; the slot after the last scheme holds NO_SUBGROUP_GUID.
    virtual const platform::Guid& schemeAt(std::int32_t position) const = 0;
    // The position of a scheme in the lists; schemeCount() when it is none of them.
    virtual std::int32_t schemeIndexOf(const platform::Guid& scheme) const = 0;
};

class ProfileTable {
public:
    ProfileTable(platform::Windows& windows, engine::ProcessPrimitives& primitives, ProfileEngine& engine,
                 const SchemeChoices& schemes)
        : windows_(windows), primitives_(primitives), engine_(engine), schemes_(schemes) {}

    // Start steps: no row applied to any process; then, once the processor topology
    // is known, every row to its defaults (the scheme stays as it is).
    void ClearAppliedPids();
    void SetDefaultProfileRows();

    bool AnyProfileDefined() const;
    // The load check's scan: every top-level window through ProfileWindowProc.
    // ProfileApplied and EnumToggle are set by the load check before it.
    void ScanProfileWindows();
    bool ProfileWindowProc(platform::Window w);
    void ApplyProfile(int row, std::uint32_t processId);
    void ForgetProcessId(std::uint32_t processId);

    // The row's class as text: up to its first zero, at most 256 bytes.
    std::string className(int row) const;
    void setClassName(int row, const std::string& text);

    // A settings read that stopped at a bad value left the row's stored values partly
    // unread: the save then leaves them as stored, until the row is edited. The profile
    // page calls MarkEdited for every change it makes to a row.
    void MarkEdited(int row) { NotRead[row] = false; }

    ProgramProfile ProgramProfiles[kProfileRows];
    bool NotRead[kProfileRows]{};
    // The scan state: a window matched during the current scan; and the alternation
    // between scans that go through all windows (true) and scans that stop at the
    // first match.
    bool ProfileApplied = false;
    bool EnumToggle = false;

private:
    void ApplyProcessSettings(ProgramProfile& row, std::uint32_t processId);
    void ApplySchemeRule(const ProgramProfile& row);

    platform::Windows& windows_;
    engine::ProcessPrimitives& primitives_;
    ProfileEngine& engine_;
    const SchemeChoices& schemes_;
};

}  // namespace profiles
