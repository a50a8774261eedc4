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
    bool minimized = false;
    std::uint32_t cloaked = 0;      // the DWMWA_CLOAKED value; 0 is not cloaked
    std::uint32_t extraStyle = 0;   // style bits besides WS_VISIBLE and WS_MINIMIZE
    std::uint32_t processId = 0, threadId = 0;
    bool infoReadable = true;       // false: GetWindowInfo fails for it
    std::uint32_t style() const {
        return extraStyle | (visible ? platform::WS_VISIBLE_ : 0u) | (minimized ? platform::WS_MINIMIZE_ : 0u);
    }
};

struct SimProcess {
    std::uint32_t processId = 0, parentProcessId = 0;
    std::string exeFile;
    std::uint32_t priorityClass = platform::NORMAL_PRIORITY_CLASS_;
    std::optional<platform::PowerThrottlingState> throttling;  // none given yet
    std::uint32_t ioPriority = 2;
    std::uint64_t affinity = 0;
    std::uint32_t allowedAccess = 0x1FFFFF;  // the rights it may be opened with
    platform::ProcessTimes times;
    bool exited = false;  // ended, but its object lives on: openable, not in snapshots
};

// A registry value as stored: its type and raw bytes.
struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Registry names compare without regard to ASCII case.
struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
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

// A possible value of a listed setting.
struct SimPossible {
    std::u16string name;
    std::optional<std::u16string> description;  // none: the read fails
};

// A setting as the power service describes it system-wide; a missing text fails to read.
struct SimSetting {
    platform::Guid guid;
    std::optional<std::u16string> name, description, units;
    bool range = false;  // a number from a range, else a list of possible values
    std::optional<std::uint32_t> min, max;
    std::vector<SimPossible> possible;
};

struct SimSubgroup {
    platform::Guid guid;
    std::optional<std::u16string> name;
    std::vector<SimSetting> settings;
    bool enumerated = true;  // false: its settings are known, it is not listed itself
};

// A value of the local machine's registry.
struct SimRegistryValue {
    std::u16string text;
    bool isString = true;  // false: a value of another type (e.g. REG_DWORD)
};

struct SimScheme {
    platform::Guid guid;
    std::u16string name;
    bool nameReadable = true;
    bool enumerated = true;  // false: known by GUID but not listed by PowerEnumerate
    // Subgroups of the catalogue that this scheme does not list: schemes differ in the
    // subgroups they hold values for.
    std::set<std::string> unlistedSubgroups;
    // (subgroup, setting) -> values
    std::map<std::pair<std::string, std::string>, SettingValue> settings;
};

// The processor time a simulated process has used when it is added, in 100-ns units:
// about 3 and 11 minutes, hours of load were it counted as one gain.
inline constexpr std::uint64_t kProcessKernelTime = 1800000000, kProcessUserTime = 6600000000;

class SimWindows : public platform::Windows,
                   public platform::Clock,
                   public platform::SystemInfo,
                   public platform::PowerService,
                   public platform::Shell,
                   public platform::Wmi,
                   public platform::Processes,
                   public platform::UserRegistry,
                   public platform::MachineRegistry {
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
    // Off: calls are not written down (for long runs that only count).
    bool recordCalls = true;

    // ---- windows ----
    std::vector<SimWindow> windows;  // in z-order, front first
    std::vector<PostedMessage> posted;
    // Adds the window at the bottom of the z-order.
    platform::Window addWindow(const std::string& cls, const std::string& title, bool visible = true);
    // Adds a window of the process at the bottom of the z-order.
    platform::Window addProcessWindow(std::uint32_t processId, const std::string& cls, const std::string& title);
    void removeWindow(platform::Window w);
    SimWindow* window(platform::Window w);
    // Moves the window to the front of the z-order.
    void raise(platform::Window w);
    std::uint32_t lastInputTick = 0;
    platform::Window foregroundWindow = 0;
    platform::Window shellWindow = 0x10, desktopWindow = 0x20;

    platform::Window FindWindowExA(platform::Window parent, platform::Window childAfter, const char* className,
                                   const char* windowName) override;
    bool PostMessageA(platform::Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    int GetWindowTextA(platform::Window w, char* buffer, int maxCount) override;
    int GetClassNameA(platform::Window w, char* buffer, int maxCount) override;
    bool IsWindow(platform::Window w) override;
    bool GetLastInputInfo(std::uint32_t& lastInputTick) override;
    bool EnumWindows(const std::function<bool(platform::Window)>& callback) override;
    bool GetWindowInfo(platform::Window w, platform::WindowInfo& info) override;
    std::uint32_t GetWindowThreadProcessId(platform::Window w, std::uint32_t* processId) override;
    platform::Window GetForegroundWindow() override;
    platform::Window GetShellWindow() override;
    platform::Window GetDesktopWindow() override;
    std::int32_t DwmGetWindowAttribute(platform::Proc entry, platform::Window w, std::uint32_t attribute, void* value,
                                       std::uint32_t size) override;

    // ---- clock ----
    // Milliseconds since boot: a machine up for more than 49.7 days, so that the 32-bit
    // count has wrapped and differs from the 64-bit one.
    std::uint64_t tick = 0x100000000ull + 1000000;
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
    std::uint32_t lcid = 0x0409;
    std::uint32_t GetUserDefaultLCID() override { return lcid; }

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

    // ---- the settings behind the schemes (sim_power_settings.cpp) ----
    // Subgroups and their settings in enumeration order, the same for every scheme.
    std::vector<SimSubgroup> catalogue;
    // Processor power management, sleep, display, a driver's graphics subgroup, energy
    // saver and a few hidden settings of a real machine, with the registry's texts for
    // them. Power saver lists fewer subgroups than the other schemes.
    void addWindowsCatalogue();
    SimSubgroup& addSubgroup(const std::string& guidText, std::optional<std::u16string> name);
    SimSetting& addSetting(SimSubgroup& subgroup, const std::string& guidText, std::optional<std::u16string> name);
    SimSetting* setting(const platform::Guid* subgroup, const platform::Guid* setting);
    // The next scheme PowerDuplicateScheme creates gets this GUID, then the one after it.
    std::uint32_t nextCreated = 1;

    std::uint32_t PowerReadDescription(const platform::Guid* scheme, const platform::Guid* subgroup,
                                       const platform::Guid* setting, std::uint8_t* buffer,
                                       std::uint32_t* bufferSize) override;
    bool PowerIsSettingRangeDefined(const platform::Guid* subgroup, const platform::Guid* setting) override;
    std::uint32_t PowerReadValueUnitsSpecifier(const platform::Guid* subgroup, const platform::Guid* setting,
                                               std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadValueMax(const platform::Guid* subgroup, const platform::Guid* setting,
                                    std::uint32_t& value) override;
    std::uint32_t PowerReadValueMin(const platform::Guid* subgroup, const platform::Guid* setting,
                                    std::uint32_t& value) override;
    std::uint32_t PowerReadPossibleFriendlyName(const platform::Guid* subgroup, const platform::Guid* setting,
                                                std::uint32_t index, std::uint8_t* buffer,
                                                std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadPossibleDescription(const platform::Guid* subgroup, const platform::Guid* setting,
                                               std::uint32_t index, std::uint8_t* buffer,
                                               std::uint32_t* bufferSize) override;
    std::uint32_t PowerDuplicateScheme(const platform::Guid& source, platform::Guid& created) override;
    std::uint32_t PowerWriteFriendlyName(const platform::Guid* scheme, const platform::Guid* subgroup,
                                         const platform::Guid* setting, const std::uint8_t* buffer,
                                         std::uint32_t bufferSize) override;

    // ---- the local machine's registry (sim_power_settings.cpp) ----
    // Key path exactly as opened -> value name -> value.
    std::map<std::u16string, std::map<std::u16string, SimRegistryValue>> machineKeys;
    std::map<std::u16string, SimRegistryValue>& machineKey(const std::u16string& path) { return machineKeys[path]; }
    int openMachineKeys = 0;  // keys opened and not yet closed
    platform::RegistryKey OpenKeyReadOnly(const std::u16string& path) override;
    bool ValueExists(platform::RegistryKey key, const char16_t* name) override;
    std::u16string ReadString(platform::RegistryKey key, const char16_t* name) override;
    void CloseKey(platform::RegistryKey key) override;

    // ---- files, shell and WMI ----
    std::set<std::string> files;  // names in the current directory
    // Runs when ShellExecuteA starts a program, e.g. to make its window appear.
    std::function<void(const std::string& file)> onExecute;
    bool FileExists(const char* name) override;
    void ShellExecuteA(platform::Window owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int showCommand) override;
    void ShellExecuteW(platform::Window owner, const char16_t* verb, const char16_t* file,
                       const char16_t* parameters, const char16_t* directory, int showCommand) override;
    std::vector<std::optional<std::int64_t>> thermalRows;
    // Runs while the query waits, as Windows' out-of-process call runs a modal loop.
    std::function<void()> duringWmiQuery;
    bool QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) override;

    // ---- processes, token, libraries (sim_processes.cpp) ----
    std::map<std::uint32_t, SimProcess> processes;  // snapshots list them in id order
    std::uint32_t currentProcessId = 4000;
    std::uint64_t systemAffinityMask = 0xF, processAffinityMask = 0xF;
    std::map<std::string, std::string> environment;
    std::uint32_t lastError = 0;
    // The user-interface thread's own token: none until it impersonates itself.
    bool threadToken = false;
    bool impersonating = false;
    // The level it impersonates at: below SecurityImpersonation (2) OpenProcess fails
    // with ERROR_BAD_IMPERSONATION_LEVEL.
    int impersonationLevel = 0;
    std::set<std::string> heldPrivileges{"SeDebugPrivilege", "SeIncreaseBasePriorityPrivilege"};
    std::set<std::string> enabledPrivileges;
    // The libraries of the system folder with the functions each exports.
    std::map<std::string, std::set<std::string>, CaseLess> systemLibraries{
        {"dwmapi.dll", {"DwmGetWindowAttribute"}}, {"kernel32.dll", {"SetProcessInformation"}}};
    bool ntSetInformationProcessFound = true;  // false: ntdll lacks it
    std::uint32_t executionState = platform::ES_CONTINUOUS_;  // the thread's last lasting request

    // A running process of normal priority with the system's affinity, which has
    // already used processor time of its own (kProcessKernelTime, kProcessUserTime
    // plus its id).
    SimProcess& addProcess(std::uint32_t processId, const std::string& exeFile = "program.exe");
    SimProcess* process(std::uint32_t processId);
    // Ends the process: it leaves snapshots; with keepObject it can still be opened and
    // reports its exit time, otherwise it is gone.
    void endProcess(std::uint32_t processId, bool keepObject = false);
    // Kernel handles (processes, tokens, snapshots) open now.
    std::size_t openHandles() const { return handles_.size(); }
    std::size_t loadedLibraries() const { return modules_.size(); }
    // The process a handle was opened for, with its access; 0 when it is no process handle.
    std::uint32_t handleAccess(platform::Handle h) const;

    bool GetProcessAffinityMask(platform::Handle process, std::uint64_t& processMask,
                                std::uint64_t& systemMask) override;
    std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) override;
    std::uint32_t GetLastError() override { return lastError; }
    std::uint32_t GetCurrentProcessId() override;
    bool OpenThreadToken(platform::Handle thread, std::uint32_t access, bool openAsSelf,
                         platform::Handle& token) override;
    bool ImpersonateSelf(int impersonationLevel) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, std::uint32_t& luidLow,
                               std::int32_t& luidHigh) override;
    bool AdjustTokenPrivileges(platform::Handle token, bool disableAll, const platform::TokenPrivileges* newState,
                               std::uint32_t bufferLength, platform::TokenPrivileges* previousState,
                               std::uint32_t* returnLength) override;
    platform::Module LoadSystemLibrary(const char* name) override;
    platform::Proc GetProcAddress(platform::Module module, const char* name) override;
    bool FreeLibrary(platform::Module module) override;
    platform::Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool CloseHandle(platform::Handle h) override;
    bool SetPriorityClass(platform::Handle process, std::uint32_t priorityClass) override;
    std::uint32_t GetPriorityClass(platform::Handle process) override;
    bool GetProcessTimes(platform::Handle process, platform::ProcessTimes& times) override;
    bool SetProcessAffinityMask(platform::Handle process, std::uint64_t mask) override;
    bool SetProcessInformation(platform::Proc entry, platform::Handle process, std::uint32_t informationClass,
                               const void* information, std::uint32_t size) override;
    std::int32_t NtSetInformationProcess(platform::Handle process, std::uint32_t informationClass,
                                         const void* information, std::uint32_t length) override;
    platform::Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
    bool Process32First(platform::Handle snapshot, platform::ProcessEntry& entry) override;
    bool Process32Next(platform::Handle snapshot, platform::ProcessEntry& entry) override;
    std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;

    // ---- the current user's registry (sim_registry.cpp) ----
    // Key paths without a leading backslash -> their values.
    std::map<std::string, std::map<std::string, RegValue, CaseLess>, CaseLess> registry;
    const RegValue* regValue(const std::string& key, const std::string& name) const;
    void setRegValue(const std::string& key, const std::string& name, std::uint32_t type,
                     std::vector<std::uint8_t> data);
    void setRegDword(const std::string& key, const std::string& name, std::uint32_t value);
    // UTF-8 text stored as REG_SZ in UTF-16 with its terminating null.
    void setRegString(const std::string& key, const std::string& name, const std::string& text);
    void setRegGuid(const std::string& key, const std::string& name, const platform::Guid& g);
    // The DWORD stored under that name, if it is one.
    std::optional<std::uint32_t> regDword(const std::string& key, const std::string& name) const;
    // A REG_SZ value as UTF-8, without the terminating null.
    std::optional<std::string> regString(const std::string& key, const std::string& name) const;
    std::size_t openKeys() const { return keys_.size(); }

    std::int32_t RegOpenKeyExA(const char* subKey, std::uint32_t access, platform::Key& key) override;
    std::int32_t RegCreateKeyExA(const char* subKey, std::uint32_t access, platform::Key& key) override;
    std::int32_t RegCloseKey(platform::Key key) override;
    std::int32_t RegQueryValueExA(platform::Key key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) override;
    std::int32_t RegSetValueExA(platform::Key key, const char* name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) override;
    std::int32_t RegDeleteValueA(platform::Key key, const char* name) override;

    platform::Platform platform(int argumentCount = 0);

private:
    struct SimHandle {
        enum Kind { Process, Token, Snapshot } kind;
        std::uint32_t processId = 0, access = 0;
        std::vector<platform::ProcessEntry> entries;  // a snapshot's processes
        std::size_t next = 0;
    };
    struct SimKey {
        std::string path;
        std::uint32_t access = 0;
    };
    SimProcess* openedProcess(platform::Handle h, std::uint32_t needed);
    bool nextEntry(platform::Handle snapshot, platform::ProcessEntry& entry, bool first);
    platform::Handle newHandle(SimHandle h);
    SimKey* openedKey(platform::Key k, std::uint32_t needed);
    std::map<platform::Handle, SimHandle> handles_;
    platform::Handle nextKernelHandle_ = 0x100;
    std::map<platform::Module, std::string> modules_;
    platform::Module nextModule_ = 0x7000000;
    std::map<platform::Proc, std::string> procs_;  // entry point -> "library!function"
    std::map<platform::Key, SimKey> keys_;
    platform::Key nextKey_ = 0x200;

    bool fails(const std::string& name) const { return !failing.empty() && failing.count(name) != 0; }
    void record(std::string line) {
        if (recordCalls) calls.push_back(std::move(line));
    }
    // The friendly name of the scheme, or of a subgroup or setting when one is given.
    std::uint32_t readName(const SimScheme& scheme, const platform::Guid* subgroup, const platform::Guid* setting,
                           std::uint8_t* buffer, std::uint32_t* bufferSize);
    SettingValue* find(const platform::Guid& scheme, const platform::Guid& subgroup, const platform::Guid& setting);
    platform::Window nextHandle_ = 0x1000;
    std::vector<const std::map<std::u16string, SimRegistryValue>*> openKeys_;  // handle = position + 1
};

// Power-settings key of the local machine and the key text of a GUID (upper case, no braces).
std::u16string powerSettingsKey(const std::string& subgroup, const std::string& setting = "",
                                const std::string& index = "");

// Well-known scheme identifiers as text, for building catalogues.
inline constexpr char kPowerSaver[] = "{a1841308-3541-4fab-bc81-f71556f20b4a}";
inline constexpr char kBalanced[] = "{381b4222-f694-41f0-9685-ff5bb260df2e}";
inline constexpr char kHighPerformance[] = "{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}";

}  // namespace sim
