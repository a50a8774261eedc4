// A simulated Windows for the unit tests: windows, clock, processor times, power
// status and a catalogue of power schemes. Every call is recorded in order, with
// its arguments, so a test can assert on exactly what the system asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

struct SimWindow {
    platform::Window handle;
    std::string className, title;
    bool visible = true;
};

struct PostedMessage {
    platform::Window window;
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

struct SettingValue {
    std::uint32_t ac = 0, dc = 0;
    std::uint32_t acDefault = 0, dcDefault = 0;
    bool hasAcDefault = true, hasDcDefault = true;
};

struct SimScheme {
    platform::Guid guid;
    std::u16string name;
    bool nameReadable = true;
    bool enumerated = true;  // false: known by GUID but not listed by PowerEnumerate
    // (subgroup, setting) -> values
    std::map<std::pair<std::string, std::string>, SettingValue> settings;
};

class SimWindows : public platform::Windows,
                   public platform::Clock,
                   public platform::SystemInfo,
                   public platform::PowerService,
                   public platform::Shell,
                   public platform::Wmi {
public:
    SimWindows();

    // Everything asked for, one line a call, e.g. "PowerSetActiveScheme {...}".
    std::vector<std::string> calls;
    // Calls of these names fail (power calls return 5, the others report failure).
    std::set<std::string> failing;
    // Only the calls whose name starts with the prefix.
    std::vector<std::string> callsOf(const std::string& prefix) const;
    // Only the power-service calls that change something (writes, activation).
    std::vector<std::string> powerChanges() const;
    void clearCalls() { calls.clear(); }

    // ---- windows ----
    std::vector<SimWindow> windows;
    std::vector<PostedMessage> posted;
    platform::Window addWindow(const std::string& cls, const std::string& title, bool visible = true);
    void removeWindow(platform::Window w);
    std::uint32_t lastInputTick = 0;

    platform::Window FindWindowExA(platform::Window parent, platform::Window childAfter, const char* className,
                                   const char* windowName) override;
    bool PostMessageA(platform::Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    int GetWindowTextA(platform::Window w, char* buffer, int maxCount) override;
    int GetClassNameA(platform::Window w, char* buffer, int maxCount) override;
    bool IsWindow(platform::Window w) override;
    bool GetLastInputInfo(std::uint32_t& lastInputTick) override;

    // ---- clock ----
    std::uint64_t tick = 1000000;  // milliseconds since boot
    std::uint32_t GetTickCount() override { return static_cast<std::uint32_t>(tick); }
    std::uint64_t GetTickCount64() override { return tick; }
    void Sleep(std::uint32_t ms) override;

    // ---- processor times and power source ----
    platform::SystemTimes times;
    platform::PowerStatus powerStatus;
    // Adds busy and idle time as a machine would: kernel includes idle.
    void addLoad(std::uint64_t busyKernel, std::uint64_t user, std::uint64_t idle);
    bool GetSystemTimes(platform::SystemTimes& t) override;
    bool GetSystemPowerStatus(platform::PowerStatus& s) override;

    // ---- power service ----
    std::vector<SimScheme> schemes;  // in enumeration order
    platform::Guid activeScheme;
    // The three standard schemes with their usual names, balanced active.
    void addStandardSchemes();
    SimScheme& addScheme(const std::string& guidText, const std::u16string& name);
    SimScheme* scheme(const platform::Guid& g);
    SettingValue& value(const std::string& scheme, const std::string& subgroup, const std::string& setting);

    std::uint32_t PowerEnumerate(const platform::Guid* scheme, const platform::Guid* subgroup,
                                 std::uint32_t accessFlags, std::uint32_t index, std::uint8_t* buffer,
                                 std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadFriendlyName(const platform::Guid* scheme, const platform::Guid* subgroup,
                                        const platform::Guid* setting, std::uint8_t* buffer,
                                        std::uint32_t* bufferSize) override;
    std::uint32_t PowerGetActiveScheme(platform::Guid& active) override;
    std::uint32_t PowerSetActiveScheme(const platform::Guid& scheme) override;
    std::uint32_t PowerReadACValueIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                        const platform::Guid& setting, std::uint32_t& value) override;
    std::uint32_t PowerReadDCValueIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                        const platform::Guid& setting, std::uint32_t& value) override;
    std::uint32_t PowerWriteACValueIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                         const platform::Guid& setting, std::uint32_t value) override;
    std::uint32_t PowerWriteDCValueIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                         const platform::Guid& setting, std::uint32_t value) override;
    std::uint32_t PowerReadACDefaultIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                          const platform::Guid& setting, std::uint32_t& value) override;
    std::uint32_t PowerReadDCDefaultIndex(const platform::Guid& scheme, const platform::Guid& subgroup,
                                          const platform::Guid& setting, std::uint32_t& value) override;

    // ---- files, shell and WMI ----
    std::set<std::string> files;  // names in the current directory
    // Runs when ShellExecuteA starts a program, e.g. to make its window appear.
    std::function<void(const std::string& file)> onExecute;
    bool FileExists(const char* name) override;
    void ShellExecuteA(platform::Window owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int showCommand) override;
    std::vector<std::optional<std::int64_t>> thermalRows;
    bool QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) override;

    platform::Platform platform(int argumentCount = 0);

private:
    bool fails(const char* name) const { return failing.count(name) != 0; }
    void record(std::string line) { calls.push_back(std::move(line)); }
    SettingValue* find(const platform::Guid& scheme, const platform::Guid& subgroup, const platform::Guid& setting);
    platform::Window nextHandle_ = 0x1000;
};

// Well-known scheme identifiers as text, for building catalogues.
inline constexpr char kPowerSaver[] = "{a1841308-3541-4fab-bc81-f71556f20b4a}";
inline constexpr char kBalanced[] = "{381b4222-f694-41f0-9685-ff5bb260df2e}";
inline constexpr char kHighPerformance[] = "{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}";

}  // namespace sim
