// A simulated power service for the end-to-end tests under Wine, whose own powrprof.dll
// enumerates nothing and aborts on a value read. Built as powrprof.dll, put beside the
// program and loaded with WINEDLLOVERRIDES="powrprof=n". Never shipped.
//
// It keeps schemes, settings and their AC/DC values in memory, starting from a catalogue
// file, and appends every call that changes something to a log file the test reads while
// the program runs. All calls take the root key NULL. One thread, as the program has.
//
// Environment
//   STELLMARK_POWER_CATALOGUE  catalogue file (UTF-8), read at the first call. A Windows
//                              path, a Z: path, or a Unix path (taken as Z:). Unset: the
//                              standard catalogue below.
//   STELLMARK_POWER_LOG        log file (UTF-8), one line per changing call, opened, appended
//                              and closed for each line. Unset: no log.
//   STELLMARK_POWER_LOADED_LOG file (UTF-8) to which every copy of this DLL that a process
//                              loads appends the path it was loaded from. Unset: nothing.
//
// Catalogue lines (blank lines and lines starting with # are ignored; fields are separated
// by spaces; GUIDs are braced, any case; "text" is the rest of the line after one space,
// may be empty):
//   scheme {scheme} text                  a scheme and its friendly name; file order is
//                                         enumeration order
//   active {scheme}                       the active scheme (none: PowerGetActiveScheme
//                                         fails with 2)
//   value {scheme} {subgroup} {setting} AC DC [ACdefault DCdefault]
//                                         a setting the scheme has; a default given as "-"
//                                         or left out cannot be read (2)
//   subgroup {subgroup} text              a subgroup's friendly name
//   setting {subgroup} {setting} text     a setting's friendly name
//   fail Function code                    that export returns code and does nothing else
// Lines that describe the scheme, subgroup or setting of the line just before them:
//   unnamed                               its friendly name cannot be read (2)
//   description text                      its description
//   attributes N                          subgroup or setting attributes (otherwise 0)
//   range min max increment               setting: value range (PowerIsSettingRangeDefined
//                                         is TRUE with it, FALSE without)
//   units text                            setting: units specifier
//   possible N text[ | description]       setting: next possible value (index 0, 1, ...),
//                                         N its value, text its friendly name
// A line the parser rejects is logged as "CatalogueError line N: why: line".
//
// Subgroup and setting enumeration (ACCESS_SUBGROUP, ACCESS_INDIVIDUAL_SETTING) follow the
// scheme's value lines in first-seen order; with no scheme, every subgroup or setting the
// catalogue mentions. Names, descriptions, ranges and possible values are system-wide, as
// in Windows: the scheme argument of a subgroup or setting name read is not looked at.
//
// Log lines (GUIDs lowercase and braced, a NULL GUID pointer as "null"); every call to a
// changing export is logged with its arguments, whether it succeeds or not:
//   PowerSetActiveScheme {scheme}
//   PowerWriteACValueIndex {scheme} {subgroup} {setting} value     (and the DC one)
//   PowerDuplicateScheme {source} {new}        new is "null" when nothing was created
//   PowerWriteFriendlyName {scheme} {subgroup} {setting} bytes text
//   PowerDeleteScheme {scheme}
//
// Choices where Windows gives no contract a test could rely on: a duplicate gets the next
// free GUID of {5354454c-4d4b-4000-8000-0000000000NN} (NN = 01, 02 ...) unless the caller
// passes one, and goes to the end of the enumeration; a write to a setting the scheme does
// not have adds it with 0 on the other side and no defaults; values are not checked
// against the range; the active scheme cannot be deleted (5).

#include <windows.h>
#include <powrprof.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD kFileNotFound = ERROR_FILE_NOT_FOUND;    // 2: the catalogue has nothing
constexpr DWORD kAccessDenied = ERROR_ACCESS_DENIED;     // 5
constexpr DWORD kInvalidParameter = ERROR_INVALID_PARAMETER;  // 87
constexpr DWORD kAlreadyExists = ERROR_ALREADY_EXISTS;   // 183
constexpr DWORD kMoreData = ERROR_MORE_DATA;             // 234
constexpr DWORD kNoMoreItems = ERROR_NO_MORE_ITEMS;      // 259

const char kStandardCatalogue[] =
    "scheme {381b4222-f694-41f0-9685-ff5bb260df2e} Balanced\n"
    "scheme {8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c} High performance\n"
    "scheme {a1841308-3541-4fab-bc81-f71556f20b4a} Power saver\n"
    "active {381b4222-f694-41f0-9685-ff5bb260df2e}\n"
    "value {381b4222-f694-41f0-9685-ff5bb260df2e} {54533251-82be-4824-96c1-47b60b740d00} "
    "{bc5038f7-23e0-4960-96da-33abaf5935ec} 100 100 100 100\n"
    "value {381b4222-f694-41f0-9685-ff5bb260df2e} {de830923-a562-41af-a086-e3a2c6bad2da} "
    "{e69653ca-cf7f-4f05-aa73-cb833fa90ad4} 20 20 20 20\n"
    "value {8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c} {54533251-82be-4824-96c1-47b60b740d00} "
    "{bc5038f7-23e0-4960-96da-33abaf5935ec} 100 100 100 100\n"
    "value {8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c} {de830923-a562-41af-a086-e3a2c6bad2da} "
    "{e69653ca-cf7f-4f05-aa73-cb833fa90ad4} 20 20 20 20\n"
    "value {a1841308-3541-4fab-bc81-f71556f20b4a} {54533251-82be-4824-96c1-47b60b740d00} "
    "{bc5038f7-23e0-4960-96da-33abaf5935ec} 100 100 100 100\n"
    "value {a1841308-3541-4fab-bc81-f71556f20b4a} {de830923-a562-41af-a086-e3a2c6bad2da} "
    "{e69653ca-cf7f-4f05-aa73-cb833fa90ad4} 20 20 20 20\n";

struct Text {
    bool present = false;
    std::wstring text;
};

struct SettingValue {
    GUID subgroup{};
    GUID setting{};
    DWORD ac = 0;
    DWORD dc = 0;
    bool hasAcDefault = false;
    bool hasDcDefault = false;
    DWORD acDefault = 0;
    DWORD dcDefault = 0;
};

struct Scheme {
    GUID guid{};
    Text name;
    Text description;
    std::vector<SettingValue> values;
};

struct PossibleValue {
    DWORD value = 0;
    std::wstring name;
    Text description;
};

// A subgroup (isSetting false) or a setting of a subgroup: what Windows keeps system-wide.
struct Entry {
    bool isSetting = false;
    GUID subgroup{};
    GUID setting{};
    Text name;
    Text description;
    DWORD attributes = 0;
    bool hasRange = false;
    DWORD minimum = 0;
    DWORD maximum = 0;
    DWORD increment = 0;
    Text units;
    std::vector<PossibleValue> possible;
};

struct Failure {
    std::string function;
    DWORD code = 0;
};

struct Service {
    std::vector<Scheme> schemes;
    bool hasActive = false;
    GUID active{};
    std::vector<Entry> entries;
    std::vector<Failure> failures;
    std::wstring logPath;
    unsigned generated = 0;
};

Service* service = nullptr;

// ---- text ----

std::wstring wideFromUtf8(std::string_view s, bool* ok = nullptr) {
    if (ok) *ok = true;
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) {
        if (ok) *ok = false;
        return {};
    }
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string utf8FromWide(std::wstring_view w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string guidText(const GUID& g) {
    char b[40];
    std::snprintf(b, sizeof b, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return b;
}

std::string guidText(const GUID* g) { return g ? guidText(*g) : std::string("null"); }

bool hexValue(std::string_view t, size_t from, size_t count, unsigned long& out) {
    out = 0;
    for (size_t i = from; i < from + count; ++i) {
        char c = t[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        out = out * 16 + static_cast<unsigned long>(d);
    }
    return true;
}

bool parseGuid(std::string_view t, GUID& g) {
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' || t[24] != '-')
        return false;
    unsigned long v = 0;
    if (!hexValue(t, 1, 8, v)) return false;
    g.Data1 = v;
    if (!hexValue(t, 10, 4, v)) return false;
    g.Data2 = static_cast<unsigned short>(v);
    if (!hexValue(t, 15, 4, v)) return false;
    g.Data3 = static_cast<unsigned short>(v);
    static const size_t bytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hexValue(t, bytes[i], 2, v)) return false;
        g.Data4[i] = static_cast<unsigned char>(v);
    }
    return true;
}

bool parseNumber(std::string_view t, DWORD& out) {
    if (t.empty() || t.size() > 10) return false;
    unsigned long long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 0xFFFFFFFFull) return false;
    out = static_cast<DWORD>(v);
    return true;
}

bool same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Windows or Z: path as given; a Unix path is reached through Z:, which maps to /.
std::wstring windowsPath(std::wstring p) {
    if (!p.empty() && p[0] == L'/') {
        for (auto& c : p)
            if (c == L'/') c = L'\\';
        p = L"Z:" + p;
    }
    return p;
}

std::wstring environment(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring v(n, L'\0');
    n = GetEnvironmentVariableW(name, v.data(), n);
    v.resize(n);
    return v;
}

// ---- the log ----

// Opened and closed for every line so that a test can read the file while the program
// runs and nothing is lost when the program is killed.
void logLine(const std::string& line) {
    if (!service || service->logPath.empty()) {
        OutputDebugStringA(line.c_str());
        return;
    }
    HANDLE f = CreateFileW(service->logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(f, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    CloseHandle(f);
}

// ---- the catalogue ----

Scheme* findScheme(const GUID& g) {
    for (auto& s : service->schemes)
        if (same(s.guid, g)) return &s;
    return nullptr;
}

SettingValue* findValue(Scheme& s, const GUID& subgroup, const GUID& setting) {
    for (auto& v : s.values)
        if (same(v.subgroup, subgroup) && same(v.setting, setting)) return &v;
    return nullptr;
}

Entry* findEntry(const GUID* subgroup, const GUID* setting) {
    for (auto& e : service->entries) {
        if (e.isSetting != (setting != nullptr)) continue;
        if (setting) {
            // A setting GUID is unique system-wide; the subgroup only narrows it when given.
            if (same(e.setting, *setting) && (!subgroup || same(e.subgroup, *subgroup))) return &e;
        } else if (subgroup && same(e.subgroup, *subgroup)) {
            return &e;
        }
    }
    return nullptr;
}

Entry& entryFor(const GUID& subgroup, const GUID* setting) {
    if (Entry* e = findEntry(&subgroup, setting)) return *e;
    Entry e;
    e.isSetting = setting != nullptr;
    e.subgroup = subgroup;
    if (setting) e.setting = *setting;
    service->entries.push_back(e);
    return service->entries.back();
}

class Line {
public:
    explicit Line(std::string_view text) : text_(text) {}
    std::string_view word() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ' ' && text_[pos_] != '\t') ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // The rest after exactly one separating space, so a name keeps any further spaces.
    std::string_view rest() {
        if (pos_ < text_.size()) ++pos_;
        return text_.substr(pos_);
    }
    bool atEnd() {
        size_t p = pos_;
        while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t')) ++p;
        return p == text_.size();
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

class Parser {
public:
    void parse(std::string_view all) {
        if (all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);
        int number = 0;
        while (!all.empty()) {
            size_t end = all.find('\n');
            std::string_view raw = all.substr(0, end);
            all.remove_prefix(end == std::string_view::npos ? all.size() : end + 1);
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            ++number;
            const char* why = parseLine(raw);
            if (why) logLine("CatalogueError line " + std::to_string(number) + ": " + why + ": " + std::string(raw));
        }
    }

private:
    enum class Context { None, Scheme, Subgroup, Setting };
    Context context_ = Context::None;
    size_t index_ = 0;

    Text* contextName() {
        switch (context_) {
            case Context::Scheme: return &service->schemes[index_].name;
            case Context::Subgroup:
            case Context::Setting: return &service->entries[index_].name;
            default: return nullptr;
        }
    }
    Text* contextDescription() {
        switch (context_) {
            case Context::Scheme: return &service->schemes[index_].description;
            case Context::Subgroup:
            case Context::Setting: return &service->entries[index_].description;
            default: return nullptr;
        }
    }

    static bool text(std::string_view utf8, Text& out) {
        bool ok = false;
        out.text = wideFromUtf8(utf8, &ok);
        out.present = ok;
        return ok;
    }

    // Returns why the line is rejected, or nullptr.
    const char* parseLine(std::string_view raw) {
        Line line(raw);
        std::string_view keyword = line.word();
        if (keyword.empty() || keyword[0] == '#') return nullptr;
        GUID a{}, b{}, c{};

        if (keyword == "scheme") {
            if (!parseGuid(line.word(), a)) return "bad scheme GUID";
            if (findScheme(a)) return "scheme listed twice";
            Scheme s;
            s.guid = a;
            if (!text(line.rest(), s.name)) return "name is not UTF-8";
            service->schemes.push_back(s);
            context_ = Context::Scheme;
            index_ = service->schemes.size() - 1;
            return nullptr;
        }
        if (keyword == "subgroup" || keyword == "setting") {
            bool isSetting = keyword == "setting";
            if (!parseGuid(line.word(), a)) return "bad subgroup GUID";
            if (isSetting && !parseGuid(line.word(), b)) return "bad setting GUID";
            Entry& e = entryFor(a, isSetting ? &b : nullptr);
            if (!text(line.rest(), e.name)) return "name is not UTF-8";
            context_ = isSetting ? Context::Setting : Context::Subgroup;
            index_ = static_cast<size_t>(&e - service->entries.data());
            return nullptr;
        }

        if (keyword == "unnamed") {
            Text* name = contextName();
            if (!name) return "no scheme, subgroup or setting before it";
            *name = Text{};
            return nullptr;
        }
        if (keyword == "description") {
            Text* d = contextDescription();
            if (!d) return "no scheme, subgroup or setting before it";
            return text(line.rest(), *d) ? nullptr : "text is not UTF-8";
        }
        if (keyword == "attributes") {
            if (context_ != Context::Subgroup && context_ != Context::Setting) return "no subgroup or setting before it";
            DWORD n = 0;
            if (!parseNumber(line.word(), n)) return "bad number";
            service->entries[index_].attributes = n;
            return nullptr;
        }
        if (keyword == "range" || keyword == "units" || keyword == "possible") {
            if (context_ != Context::Setting) return "no setting before it";
            Entry& e = service->entries[index_];
            if (keyword == "range") {
                if (!parseNumber(line.word(), e.minimum) || !parseNumber(line.word(), e.maximum) ||
                    !parseNumber(line.word(), e.increment) || !line.atEnd())
                    return "want: range min max increment";
                e.hasRange = true;
                return nullptr;
            }
            if (keyword == "units") return text(line.rest(), e.units) ? nullptr : "text is not UTF-8";
            PossibleValue p;
            if (!parseNumber(line.word(), p.value)) return "bad possible value";
            std::string_view rest = line.rest();
            size_t bar = rest.find(" | ");
            Text name;
            if (!text(rest.substr(0, bar), name)) return "text is not UTF-8";
            p.name = name.text;
            if (bar != std::string_view::npos && !text(rest.substr(bar + 3), p.description))
                return "text is not UTF-8";
            e.possible.push_back(p);
            return nullptr;
        }

        context_ = Context::None;
        if (keyword == "active") {
            if (!parseGuid(line.word(), a) || !line.atEnd()) return "want: active {scheme}";
            service->hasActive = true;
            service->active = a;
            return nullptr;
        }
        if (keyword == "value") {
            if (!parseGuid(line.word(), a) || !parseGuid(line.word(), b) || !parseGuid(line.word(), c))
                return "want: value {scheme} {subgroup} {setting} AC DC [ACdefault DCdefault]";
            Scheme* s = findScheme(a);
            if (!s) return "scheme not listed before";
            if (findValue(*s, b, c)) return "value listed twice";
            SettingValue v;
            v.subgroup = b;
            v.setting = c;
            if (!parseNumber(line.word(), v.ac) || !parseNumber(line.word(), v.dc)) return "bad AC or DC value";
            std::string_view d1 = line.word(), d2 = line.word();
            if (!d1.empty() && d1 != "-") {
                if (!parseNumber(d1, v.acDefault)) return "bad AC default";
                v.hasAcDefault = true;
            }
            if (!d2.empty() && d2 != "-") {
                if (!parseNumber(d2, v.dcDefault)) return "bad DC default";
                v.hasDcDefault = true;
            }
            if (!line.atEnd()) return "too many fields";
            s->values.push_back(v);
            return nullptr;
        }
        if (keyword == "fail") {
            Failure f;
            f.function = std::string(line.word());
            if (f.function.empty() || !parseNumber(line.word(), f.code) || f.code == 0 || !line.atEnd())
                return "want: fail Function code (not 0)";
            service->failures.push_back(f);
            return nullptr;
        }
        return "unknown keyword";
    }
};

void loadCatalogue() {
    Parser parser;
    std::wstring path = environment(L"STELLMARK_POWER_CATALOGUE");
    if (path.empty()) {
        parser.parse(kStandardCatalogue);
        return;
    }
    path = windowsPath(path);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        // A test that names a catalogue wants that one: run with none rather than the standard.
        logLine("CatalogueError cannot open " + utf8FromWide(path));
        return;
    }
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(f);
    parser.parse(content);
}

Service& state() {
    if (!service) {
        service = new Service;
        service->logPath = windowsPath(environment(L"STELLMARK_POWER_LOG"));
        loadCatalogue();
    }
    return *service;
}

// A failure the catalogue asks for, or 0.
DWORD injected(const char* function) {
    for (const auto& f : state().failures)
        if (f.function == function) return f.code;
    return 0;
}

// The string-returning convention of the power service: size in bytes with the terminator;
// no buffer asks for the size; a short buffer is left alone and told the size it needs.
DWORD giveBytes(const void* data, DWORD bytes, UCHAR* buffer, DWORD* size) {
    if (!size) return kInvalidParameter;
    if (!buffer) {
        *size = bytes;
        return ERROR_SUCCESS;
    }
    if (*size < bytes) {
        *size = bytes;
        return kMoreData;
    }
    std::memcpy(buffer, data, bytes);
    *size = bytes;
    return ERROR_SUCCESS;
}

DWORD giveText(const Text& t, UCHAR* buffer, DWORD* size) {
    if (!t.present) return kFileNotFound;
    return giveBytes(t.text.c_str(), static_cast<DWORD>((t.text.size() + 1) * sizeof(wchar_t)), buffer, size);
}

// The name or description of a scheme (no subgroup), a subgroup (no setting) or a setting.
const Text* describedText(const GUID* scheme, const GUID* subgroup, const GUID* setting, bool description) {
    if (!subgroup && !setting) {
        Scheme* s = scheme ? findScheme(*scheme) : nullptr;
        if (!s) return nullptr;
        return description ? &s->description : &s->name;
    }
    Entry* e = findEntry(subgroup, setting);
    if (!e) return nullptr;
    return description ? &e->description : &e->name;
}

void appendUnique(std::vector<GUID>& list, const GUID& g) {
    for (const auto& x : list)
        if (same(x, g)) return;
    list.push_back(g);
}

DWORD readIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD* out,
                DWORD SettingValue::*field, bool SettingValue::*present) {
    if (DWORD e = injected(function)) return e;
    if (!scheme || !setting || !out) return kInvalidParameter;
    Scheme* s = findScheme(*scheme);
    GUID none{};
    SettingValue* v = s ? findValue(*s, subgroup ? *subgroup : none, *setting) : nullptr;
    if (!v || (present && !(v->*present))) return kFileNotFound;
    *out = v->*field;
    return ERROR_SUCCESS;
}

DWORD writeIndex(const char* function, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value,
                 DWORD SettingValue::*field) {
    state();
    logLine(std::string(function) + " " + guidText(scheme) + " " + guidText(subgroup) + " " + guidText(setting) + " " +
            std::to_string(value));
    if (DWORD e = injected(function)) return e;
    if (!scheme || !setting) return kInvalidParameter;
    Scheme* s = findScheme(*scheme);
    if (!s) return kFileNotFound;
    GUID none{};
    GUID sub = subgroup ? *subgroup : none;
    SettingValue* v = findValue(*s, sub, *setting);
    if (!v) {
        SettingValue added;
        added.subgroup = sub;
        added.setting = *setting;
        s->values.push_back(added);
        v = &s->values.back();
    }
    v->*field = value;
    return ERROR_SUCCESS;
}

const PossibleValue* possibleValue(const GUID* subgroup, const GUID* setting, ULONG index) {
    Entry* e = setting ? findEntry(subgroup, setting) : nullptr;
    if (!e || index >= e->possible.size()) return nullptr;
    return &e->possible[index];
}

DWORD rangeValue(const char* function, const GUID* subgroup, const GUID* setting, DWORD* out, DWORD Entry::*field) {
    if (DWORD e = injected(function)) return e;
    if (!setting || !out) return kInvalidParameter;
    Entry* e = findEntry(subgroup, setting);
    if (!e || !e->hasRange) return kFileNotFound;
    *out = e->*field;
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

// Tells a test which file the loader took: this one in the system folder, or a copy of
// it planted beside the program.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::wstring logPath = windowsPath(environment(L"STELLMARK_POWER_LOADED_LOG"));
    if (logPath.empty()) return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    HANDLE f = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return TRUE;
    const std::string line = "loaded " + utf8FromWide(std::wstring_view(path, n)) + "\n";
    DWORD written = 0;
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
    return TRUE;
}

// Lets a test tell this DLL from Wine's built-in one, which has the same file name.
DWORD WINAPI StellmarkSimulatedPowerService(void) { return 1; }

DWORD WINAPI PowerEnumerate(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                            POWER_DATA_ACCESSOR AccessFlags, ULONG Index, UCHAR* Buffer, DWORD* BufferSize) {
    if (DWORD e = injected("PowerEnumerate")) return e;
    Service& svc = state();
    std::vector<GUID> list;
    Scheme* scheme = SchemeGuid ? findScheme(*SchemeGuid) : nullptr;
    if (SchemeGuid && !scheme && AccessFlags != ACCESS_SCHEME) return kFileNotFound;
    switch (AccessFlags) {
        case ACCESS_SCHEME:
            for (const auto& s : svc.schemes) list.push_back(s.guid);
            break;
        case ACCESS_SUBGROUP:
            if (!scheme)
                for (const auto& e : svc.entries) appendUnique(list, e.subgroup);
            for (const auto& s : svc.schemes)
                if (!scheme || &s == scheme)
                    for (const auto& v : s.values) appendUnique(list, v.subgroup);
            break;
        case ACCESS_INDIVIDUAL_SETTING:
            if (!SubGroupOfPowerSettingsGuid) return kInvalidParameter;
            if (!scheme)
                for (const auto& e : svc.entries)
                    if (e.isSetting && same(e.subgroup, *SubGroupOfPowerSettingsGuid)) appendUnique(list, e.setting);
            for (const auto& s : svc.schemes)
                if (!scheme || &s == scheme)
                    for (const auto& v : s.values)
                        if (same(v.subgroup, *SubGroupOfPowerSettingsGuid)) appendUnique(list, v.setting);
            break;
        default:
            return kInvalidParameter;
    }
    if (!BufferSize) return kInvalidParameter;
    if (Index >= list.size()) return kNoMoreItems;
    return giveBytes(&list[Index], sizeof(GUID), Buffer, BufferSize);
}

DWORD WINAPI PowerReadFriendlyName(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, PUCHAR Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadFriendlyName")) return e;
    const Text* t = describedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, false);
    return t ? giveText(*t, Buffer, BufferSize) : kFileNotFound;
}

DWORD WINAPI PowerReadDescription(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                  const GUID* PowerSettingGuid, PUCHAR Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadDescription")) return e;
    const Text* t = describedText(SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, true);
    return t ? giveText(*t, Buffer, BufferSize) : kFileNotFound;
}

DWORD WINAPI PowerGetActiveScheme(HKEY, GUID** ActivePolicyGuid) {
    if (DWORD e = injected("PowerGetActiveScheme")) return e;
    if (!ActivePolicyGuid) return kInvalidParameter;
    if (!state().hasActive) return kFileNotFound;
    auto* g = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
    if (!g) return ERROR_NOT_ENOUGH_MEMORY;
    *g = service->active;
    *ActivePolicyGuid = g;
    return ERROR_SUCCESS;
}

DWORD WINAPI PowerSetActiveScheme(HKEY, const GUID* SchemeGuid) {
    state();
    logLine("PowerSetActiveScheme " + guidText(SchemeGuid));
    if (DWORD e = injected("PowerSetActiveScheme")) return e;
    if (!SchemeGuid) return kInvalidParameter;
    if (!findScheme(*SchemeGuid)) return kFileNotFound;
    service->hasActive = true;
    service->active = *SchemeGuid;
    return ERROR_SUCCESS;
}

DWORD WINAPI PowerReadACValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, LPDWORD AcValueIndex) {
    return readIndex("PowerReadACValueIndex", SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, AcValueIndex,
                     &SettingValue::ac, nullptr);
}

DWORD WINAPI PowerReadDCValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                   const GUID* PowerSettingGuid, LPDWORD DcValueIndex) {
    return readIndex("PowerReadDCValueIndex", SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, DcValueIndex,
                     &SettingValue::dc, nullptr);
}

DWORD WINAPI PowerReadACDefaultIndex(HKEY, const GUID* SchemePersonalityGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                     const GUID* PowerSettingGuid, LPDWORD AcDefaultIndex) {
    return readIndex("PowerReadACDefaultIndex", SchemePersonalityGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid,
                     AcDefaultIndex, &SettingValue::acDefault, &SettingValue::hasAcDefault);
}

DWORD WINAPI PowerReadDCDefaultIndex(HKEY, const GUID* SchemePersonalityGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                     const GUID* PowerSettingGuid, LPDWORD DcDefaultIndex) {
    return readIndex("PowerReadDCDefaultIndex", SchemePersonalityGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid,
                     DcDefaultIndex, &SettingValue::dcDefault, &SettingValue::hasDcDefault);
}

DWORD WINAPI PowerWriteACValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, DWORD AcValueIndex) {
    return writeIndex("PowerWriteACValueIndex", SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, AcValueIndex,
                      &SettingValue::ac);
}

DWORD WINAPI PowerWriteDCValueIndex(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, DWORD DcValueIndex) {
    return writeIndex("PowerWriteDCValueIndex", SchemeGuid, SubGroupOfPowerSettingsGuid, PowerSettingGuid, DcValueIndex,
                      &SettingValue::dc);
}

DWORD WINAPI PowerReadValueMin(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                               LPDWORD ValueMinimum) {
    return rangeValue("PowerReadValueMin", SubGroupOfPowerSettingsGuid, PowerSettingGuid, ValueMinimum, &Entry::minimum);
}

DWORD WINAPI PowerReadValueMax(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                               LPDWORD ValueMaximum) {
    return rangeValue("PowerReadValueMax", SubGroupOfPowerSettingsGuid, PowerSettingGuid, ValueMaximum, &Entry::maximum);
}

DWORD WINAPI PowerReadValueIncrement(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                     LPDWORD ValueIncrement) {
    return rangeValue("PowerReadValueIncrement", SubGroupOfPowerSettingsGuid, PowerSettingGuid, ValueIncrement,
                      &Entry::increment);
}

DWORD WINAPI PowerReadValueUnitsSpecifier(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                          UCHAR* Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadValueUnitsSpecifier")) return e;
    Entry* entry = PowerSettingGuid ? findEntry(SubGroupOfPowerSettingsGuid, PowerSettingGuid) : nullptr;
    return entry ? giveText(entry->units, Buffer, BufferSize) : kFileNotFound;
}

DWORD WINAPI PowerReadPossibleValue(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                    PULONG Type, ULONG PossibleSettingIndex, PUCHAR Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadPossibleValue")) return e;
    const PossibleValue* p = possibleValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, PossibleSettingIndex);
    if (!p) return kFileNotFound;
    if (Type) *Type = REG_DWORD;
    return giveBytes(&p->value, sizeof(DWORD), Buffer, BufferSize);
}

DWORD WINAPI PowerReadPossibleFriendlyName(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                           ULONG PossibleSettingIndex, PUCHAR Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadPossibleFriendlyName")) return e;
    const PossibleValue* p = possibleValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, PossibleSettingIndex);
    if (!p) return kFileNotFound;
    return giveText(Text{true, p->name}, Buffer, BufferSize);
}

DWORD WINAPI PowerReadPossibleDescription(HKEY, const GUID* SubGroupOfPowerSettingsGuid, const GUID* PowerSettingGuid,
                                          ULONG PossibleSettingIndex, PUCHAR Buffer, LPDWORD BufferSize) {
    if (DWORD e = injected("PowerReadPossibleDescription")) return e;
    const PossibleValue* p = possibleValue(SubGroupOfPowerSettingsGuid, PowerSettingGuid, PossibleSettingIndex);
    return p ? giveText(p->description, Buffer, BufferSize) : kFileNotFound;
}

// A setting with a "range" line takes a number; any other a value from its list.
BOOLEAN WINAPI PowerIsSettingRangeDefined(const GUID* SubKeyGuid, const GUID* SettingGuid) {
    if (injected("PowerIsSettingRangeDefined")) return FALSE;
    Entry* entry = SettingGuid ? findEntry(SubKeyGuid, SettingGuid) : nullptr;
    return entry && entry->hasRange ? TRUE : FALSE;
}

DWORD WINAPI PowerReadSettingAttributes(const GUID* SubGroupGuid, const GUID* PowerSettingGuid) {
    if (DWORD e = injected("PowerReadSettingAttributes")) return e;
    Entry* entry = findEntry(SubGroupGuid, PowerSettingGuid);
    return entry ? entry->attributes : 0;
}

DWORD WINAPI PowerDuplicateScheme(HKEY, const GUID* SourceSchemeGuid, GUID** DestinationSchemeGuid) {
    Service& svc = state();
    auto finish = [&](DWORD result, const GUID* created) {
        logLine("PowerDuplicateScheme " + guidText(SourceSchemeGuid) + " " + guidText(created));
        return result;
    };
    if (DWORD e = injected("PowerDuplicateScheme")) return finish(e, nullptr);
    if (!SourceSchemeGuid || !DestinationSchemeGuid) return finish(kInvalidParameter, nullptr);
    Scheme* source = findScheme(*SourceSchemeGuid);
    if (!source) return finish(kFileNotFound, nullptr);
    Scheme copy = *source;
    if (*DestinationSchemeGuid) {
        // The caller chose the new scheme's GUID.
        if (findScheme(**DestinationSchemeGuid)) return finish(kAlreadyExists, nullptr);
        copy.guid = **DestinationSchemeGuid;
    } else {
        GUID g{};
        do {
            ++svc.generated;
            parseGuid("{5354454c-4d4b-4000-8000-000000000000}", g);
            g.Data4[6] = static_cast<unsigned char>(svc.generated >> 8);
            g.Data4[7] = static_cast<unsigned char>(svc.generated);
        } while (findScheme(g));
        auto* out = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
        if (!out) return finish(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        *out = g;
        *DestinationSchemeGuid = out;
        copy.guid = g;
    }
    svc.schemes.push_back(copy);
    return finish(ERROR_SUCCESS, &copy.guid);
}

DWORD WINAPI PowerWriteFriendlyName(HKEY, const GUID* SchemeGuid, const GUID* SubGroupOfPowerSettingsGuid,
                                    const GUID* PowerSettingGuid, UCHAR* Buffer, DWORD BufferSize) {
    state();
    // The name is the buffer's text up to its first zero within the given size.
    std::wstring name;
    if (Buffer) {
        size_t units = BufferSize / sizeof(wchar_t);
        const auto* chars = reinterpret_cast<const wchar_t*>(Buffer);
        size_t n = 0;
        while (n < units && chars[n] != L'\0') ++n;
        name.assign(chars, n);
    }
    logLine("PowerWriteFriendlyName " + guidText(SchemeGuid) + " " + guidText(SubGroupOfPowerSettingsGuid) + " " +
            guidText(PowerSettingGuid) + " " + std::to_string(BufferSize) + " " + utf8FromWide(name));
    if (DWORD e = injected("PowerWriteFriendlyName")) return e;
    if (!Buffer) return kInvalidParameter;
    Text* target = nullptr;
    if (!SubGroupOfPowerSettingsGuid && !PowerSettingGuid) {
        if (!SchemeGuid) return kInvalidParameter;
        Scheme* s = findScheme(*SchemeGuid);
        if (!s) return kFileNotFound;
        target = &s->name;
    } else {
        if (!SubGroupOfPowerSettingsGuid) return kInvalidParameter;
        target = &entryFor(*SubGroupOfPowerSettingsGuid, PowerSettingGuid).name;
    }
    target->present = true;
    target->text = name;
    return ERROR_SUCCESS;
}

DWORD WINAPI PowerDeleteScheme(HKEY, const GUID* SchemeGuid) {
    Service& svc = state();
    logLine("PowerDeleteScheme " + guidText(SchemeGuid));
    if (DWORD e = injected("PowerDeleteScheme")) return e;
    if (!SchemeGuid) return kInvalidParameter;
    for (auto it = svc.schemes.begin(); it != svc.schemes.end(); ++it) {
        if (!same(it->guid, *SchemeGuid)) continue;
        if (svc.hasActive && same(svc.active, *SchemeGuid)) return kAccessDenied;
        svc.schemes.erase(it);
        return ERROR_SUCCESS;
    }
    return kFileNotFound;
}

}  // extern "C"
