#include "sim/sim_windows.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace sim {

using platform::Guid;

namespace {
std::string text(const Guid& g) { return platform::guidToText(g); }
std::string text(const Guid* g) { return g ? platform::guidToText(*g) : std::string("null"); }
std::string hex(std::uintptr_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "%#llx", static_cast<unsigned long long>(v));
    return b;
}
}  // namespace

SimWindows::SimWindows() { powerStatus.acLineStatus = 1; }

std::vector<std::string> SimWindows::callsOf(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
}

std::vector<std::string> SimWindows::powerChanges() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.rfind("PowerWrite", 0) == 0 || c.rfind("PowerSetActiveScheme", 0) == 0) out.push_back(c);
    return out;
}

platform::Platform SimWindows::platform(int argumentCount) {
    return platform::Platform{*this, *this, *this, *this, *this, *this, *this, *this, *this, argumentCount};
}

// ---- files, shell and WMI ----

bool SimWindows::FileExists(const char* name) {
    record(std::string("FileExists ") + name);
    return files.count(name) != 0;
}

void SimWindows::ShellExecuteA(platform::Window owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) {
    record("ShellExecuteA " + hex(owner) + " " + (verb ? verb : "null") + " " + file + " [" +
           (parameters ? parameters : "null") + "] [" + (directory ? directory : "null") + "] " +
           std::to_string(showCommand));
    if (onExecute && !fails("ShellExecuteA")) onExecute(file);
}

bool SimWindows::QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) {
    record("QueryThermalZoneTemperatures");
    if (duringWmiQuery) duringWmiQuery();
    if (fails("QueryThermalZoneTemperatures")) return false;
    rows = thermalRows;
    return true;
}

// ---- windows ----

platform::Window SimWindows::addWindow(const std::string& cls, const std::string& title, bool visible) {
    platform::Window h = nextHandle_;
    nextHandle_ += 0x10;
    SimWindow w;
    w.handle = h;
    w.className = cls;
    w.title = title;
    w.visible = visible;
    windows.push_back(w);
    return h;
}

platform::Window SimWindows::addProcessWindow(std::uint32_t processId, const std::string& cls,
                                              const std::string& title) {
    platform::Window h = addWindow(cls, title);
    SimWindow* w = window(h);
    w->processId = processId;
    w->threadId = processId + 1;
    return h;
}

void SimWindows::removeWindow(platform::Window w) {
    windows.erase(std::remove_if(windows.begin(), windows.end(), [w](const SimWindow& s) { return s.handle == w; }),
                  windows.end());
}

SimWindow* SimWindows::window(platform::Window w) {
    for (auto& s : windows)
        if (s.handle == w) return &s;
    return nullptr;
}

void SimWindows::raise(platform::Window w) {
    auto it = std::find_if(windows.begin(), windows.end(), [w](const SimWindow& s) { return s.handle == w; });
    if (it != windows.end()) std::rotate(windows.begin(), it, it + 1);
}

bool SimWindows::EnumWindows(const std::function<bool(platform::Window)>& callback) {
    record("EnumWindows");
    if (fails("EnumWindows")) return false;
    // The callback may change the windows; it sees those that were there at the start.
    std::vector<platform::Window> order;
    order.reserve(windows.size());
    for (const auto& w : windows) order.push_back(w.handle);
    for (platform::Window h : order)
        if (!callback(h)) break;
    return true;
}

bool SimWindows::GetWindowInfo(platform::Window w, platform::WindowInfo& info) {
    record("GetWindowInfo " + hex(w));
    SimWindow* s = window(w);
    if (!s || !s->infoReadable || fails("GetWindowInfo")) return false;
    info.style = s->style();
    info.exStyle = 0;
    return true;
}

std::uint32_t SimWindows::GetWindowThreadProcessId(platform::Window w, std::uint32_t* processId) {
    record("GetWindowThreadProcessId " + hex(w));
    SimWindow* s = window(w);
    if (!s || fails("GetWindowThreadProcessId")) return 0;
    if (processId) *processId = s->processId;
    return s->threadId;
}

platform::Window SimWindows::GetForegroundWindow() {
    record("GetForegroundWindow");
    return foregroundWindow;
}

platform::Window SimWindows::GetShellWindow() {
    record("GetShellWindow");
    return shellWindow;
}

platform::Window SimWindows::GetDesktopWindow() {
    record("GetDesktopWindow");
    return desktopWindow;
}

std::int32_t SimWindows::DwmGetWindowAttribute(platform::Proc entry, platform::Window w, std::uint32_t attribute,
                                               void* value, std::uint32_t size) {
    record("DwmGetWindowAttribute " + hex(w) + " " + std::to_string(attribute) + " " + std::to_string(size));
    constexpr std::int32_t E_FAIL_ = static_cast<std::int32_t>(0x80004005u);
    constexpr std::int32_t E_INVALIDARG_ = static_cast<std::int32_t>(0x80070057u);
    auto p = procs_.find(entry);
    if (p == procs_.end() || p->second != "dwmapi.dll!DwmGetWindowAttribute" || fails("DwmGetWindowAttribute"))
        return E_FAIL_;
    SimWindow* s = window(w);
    if (!s || attribute != platform::DWMWA_CLOAKED_ || size != 4) return E_INVALIDARG_;
    std::memcpy(value, &s->cloaked, 4);
    return 0;
}

platform::Window SimWindows::FindWindowExA(platform::Window parent, platform::Window childAfter,
                                           const char* className, const char* windowName) {
    record("FindWindowExA " + hex(parent) + " " + hex(childAfter) + " " + (className ? className : "null") + " " +
           (windowName ? windowName : "null"));
    if (fails("FindWindowExA")) return 0;
    bool started = childAfter == 0;
    for (const auto& w : windows) {
        if (!started) {
            started = w.handle == childAfter;
            continue;
        }
        if (className && w.className != className) continue;
        if (windowName && w.title != windowName) continue;
        return w.handle;
    }
    return 0;
}

bool SimWindows::PostMessageA(platform::Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    record("PostMessageA " + hex(w) + " " + hex(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
    posted.push_back({w, msg, wParam, lParam});
    return !fails("PostMessageA");
}

// As the Win32 layer answers: the window holds its text in UTF-16 and the copy is cut
// before a character that does not fit.
static int copyText(const std::string& s, char* buffer, int maxCount) {
    return platform::copyAsUtf8(platform::utf8ToUtf16(s), buffer, maxCount);
}

int SimWindows::GetWindowTextA(platform::Window w, char* buffer, int maxCount) {
    record("GetWindowTextA " + hex(w) + " " + std::to_string(maxCount));
    for (const auto& s : windows)
        if (s.handle == w) return copyText(s.title, buffer, maxCount);
    if (maxCount > 0) buffer[0] = 0;
    return 0;
}

int SimWindows::GetClassNameA(platform::Window w, char* buffer, int maxCount) {
    record("GetClassNameA " + hex(w) + " " + std::to_string(maxCount));
    for (const auto& s : windows)
        if (s.handle == w) return copyText(s.className, buffer, maxCount);
    return 0;
}

bool SimWindows::IsWindow(platform::Window w) {
    return std::any_of(windows.begin(), windows.end(), [w](const SimWindow& s) { return s.handle == w; });
}

bool SimWindows::GetLastInputInfo(std::uint32_t& t) {
    record("GetLastInputInfo");
    if (fails("GetLastInputInfo")) return false;
    t = lastInputTick;
    return true;
}

void SimWindows::Sleep(std::uint32_t ms) {
    record("Sleep " + std::to_string(ms));
    tick += ms;
}

// ---- processor times and power source ----

void SimWindows::addLoad(std::uint64_t busyKernel, std::uint64_t user, std::uint64_t idle) {
    times.idle += idle;
    times.kernel += busyKernel + idle;
    times.user += user;
}

bool SimWindows::GetSystemTimes(platform::SystemTimes& t) {
    record("GetSystemTimes");
    if (fails("GetSystemTimes")) return false;
    t = times;
    return true;
}

bool SimWindows::GetSystemPowerStatus(platform::PowerStatus& s) {
    record("GetSystemPowerStatus");
    if (fails("GetSystemPowerStatus")) return false;
    s = powerStatus;
    return true;
}

// ---- power service ----

void SimWindows::addStandardSchemes() {
    addScheme(kBalanced, u"Balanced");
    addScheme(kHighPerformance, u"High performance");
    addScheme(kPowerSaver, u"Power saver");
    activeScheme = platform::guidFromText(kBalanced);
}

SimScheme& SimWindows::addScheme(const std::string& guidText, const std::u16string& name) {
    SimScheme s;
    s.guid = platform::guidFromText(guidText);
    s.name = name;
    schemes.push_back(std::move(s));
    return schemes.back();
}

SimScheme* SimWindows::scheme(const Guid& g) {
    for (auto& s : schemes)
        if (s.guid == g) return &s;
    return nullptr;
}

SettingValue& SimWindows::value(const std::string& schemeText, const std::string& subgroup,
                                const std::string& setting) {
    SimScheme* s = scheme(platform::guidFromText(schemeText));
    if (!s) s = &addScheme(schemeText, u"");
    return s->settings[{subgroup, setting}];
}

SettingValue* SimWindows::find(const Guid& schemeGuid, const Guid& subgroup, const Guid& setting) {
    SimScheme* s = scheme(schemeGuid);
    if (!s) return nullptr;
    auto it = s->settings.find({text(subgroup), text(setting)});
    return it == s->settings.end() ? nullptr : &it->second;
}

std::uint32_t SimWindows::PowerEnumerate(const Guid* schemeGuid, const Guid* subgroup, std::uint32_t accessFlags,
                                         std::uint32_t index, std::uint8_t* buffer, std::uint32_t* bufferSize) {
    record("PowerEnumerate " + text(schemeGuid) + " " + text(subgroup) + " " + std::to_string(accessFlags) + " " +
           std::to_string(index) + " " + std::to_string(bufferSize ? *bufferSize : 0));
    if (fails("PowerEnumerate")) return 5;
    std::vector<const Guid*> entries;
    if (accessFlags == platform::ACCESS_SCHEME) {
        for (const auto& s : schemes)
            if (s.enumerated) entries.push_back(&s.guid);
    } else if (accessFlags == platform::ACCESS_SUBGROUP) {
        const SimScheme* s = schemeGuid ? scheme(*schemeGuid) : nullptr;
        if (!s) return 2;
        for (const auto& g : catalogue)
            if (g.enumerated && !s->unlistedSubgroups.count(text(g.guid))) entries.push_back(&g.guid);
    } else if (accessFlags == platform::ACCESS_INDIVIDUAL_SETTING) {
        if (!schemeGuid || !scheme(*schemeGuid)) return 2;
        for (const auto& g : catalogue)
            if (subgroup && g.guid == *subgroup)
                for (const auto& t : g.settings) entries.push_back(&t.guid);
    } else {
        return 87;
    }
    if (index >= entries.size()) return 259;  // ERROR_NO_MORE_ITEMS
    // No buffer, or one too small: ERROR_MORE_DATA and the size it takes.
    if (!bufferSize) return 87;
    if (!buffer || *bufferSize < 16) {
        *bufferSize = 16;
        return 234;
    }
    std::memcpy(buffer, entries[index], 16);
    *bufferSize = 16;
    return 0;
}

std::uint32_t SimWindows::PowerReadFriendlyName(const Guid* schemeGuid, const Guid* subgroup, const Guid* setting,
                                                std::uint8_t* buffer, std::uint32_t* bufferSize) {
    record("PowerReadFriendlyName " + text(schemeGuid) + " " + text(subgroup) + " " + text(setting) + " " +
           std::to_string(bufferSize ? *bufferSize : 0));
    if (fails("PowerReadFriendlyName") || !schemeGuid) return 5;
    SimScheme* s = scheme(*schemeGuid);
    if (!s || !s->nameReadable) return 2;
    return readName(*s, subgroup, setting, buffer, bufferSize);
}

std::uint32_t SimWindows::PowerGetActiveScheme(Guid& active) {
    record("PowerGetActiveScheme");
    if (fails("PowerGetActiveScheme")) return 5;
    active = activeScheme;
    return 0;
}

std::uint32_t SimWindows::PowerSetActiveScheme(const Guid& s) {
    record("PowerSetActiveScheme " + text(s));
    if (fails("PowerSetActiveScheme") || !scheme(s)) return 5;
    activeScheme = s;
    return 0;
}

#define SIM_READ(NAME, FIELD, HAS)                                                                       \
    std::uint32_t SimWindows::NAME(const Guid& s, const Guid& sub, const Guid& set, std::uint32_t& v) { \
        record(#NAME " " + text(s) + " " + text(sub) + " " + text(set));                              \
        SettingValue* p = find(s, sub, set);                                                            \
        if (fails(#NAME) || !p || !(HAS)) return 2;                                                     \
        v = p->FIELD;                                                                                   \
        return 0;                                                                                       \
    }
SIM_READ(PowerReadACValueIndex, ac, true)
SIM_READ(PowerReadDCValueIndex, dc, true)
SIM_READ(PowerReadACDefaultIndex, acDefault, p->hasAcDefault)
SIM_READ(PowerReadDCDefaultIndex, dcDefault, p->hasDcDefault)
#undef SIM_READ

#define SIM_WRITE(NAME, FIELD)                                                                                    \
    std::uint32_t SimWindows::NAME(const Guid& s, const Guid& sub, const Guid& set, std::uint32_t v) {           \
        record(#NAME " " + text(s) + " " + text(sub) + " " + text(set) + " " + std::to_string(v));               \
        SimScheme* sc = scheme(s);                                                                               \
        if (fails(#NAME) || !sc) return 2;                                                                       \
        sc->settings[{text(sub), text(set)}].FIELD = v;                                                          \
        return 0;                                                                                                \
    }
SIM_WRITE(PowerWriteACValueIndex, ac)
SIM_WRITE(PowerWriteDCValueIndex, dc)
#undef SIM_WRITE

}  // namespace sim
