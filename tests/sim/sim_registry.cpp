// The simulated registry of the current user: keys with typed values, as Windows
// answers the calls on them.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/text.h"
#include "sim/sim_windows.h"

namespace sim {

namespace {
constexpr std::int32_t ERROR_ACCESS_DENIED_ = 5;
constexpr std::int32_t ERROR_INVALID_HANDLE_ = 6;
constexpr std::uint32_t KEY_QUERY_VALUE_ = 0x1;
constexpr std::uint32_t KEY_SET_VALUE_ = 0x2;

std::string keyPath(const char* subKey) {
    std::string p = subKey ? subKey : "";
    while (!p.empty() && p.front() == '\\') p.erase(p.begin());
    return p;
}

std::string hex(std::uint64_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "%#llx", static_cast<unsigned long long>(v));
    return b;
}
}  // namespace

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// ---- test helpers ----

const RegValue* SimWindows::regValue(const std::string& key, const std::string& name) const {
    auto k = registry.find(key);
    if (k == registry.end()) return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

void SimWindows::setRegValue(const std::string& key, const std::string& name, std::uint32_t type,
                             std::vector<std::uint8_t> data) {
    registry[key][name] = RegValue{type, std::move(data)};
}

void SimWindows::setRegDword(const std::string& key, const std::string& name, std::uint32_t value) {
    std::vector<std::uint8_t> d(4);
    std::memcpy(d.data(), &value, 4);
    setRegValue(key, name, platform::REG_DWORD_, std::move(d));
}

void SimWindows::setRegString(const std::string& key, const std::string& name, const std::string& text) {
    // ASCII and Latin-1 are enough for the tests' texts written this way.
    std::vector<std::uint8_t> d;
    for (unsigned char c : text) {
        d.push_back(c);
        d.push_back(0);
    }
    d.push_back(0);
    d.push_back(0);
    setRegValue(key, name, platform::REG_SZ_, std::move(d));
}

void SimWindows::setRegGuid(const std::string& key, const std::string& name, const platform::Guid& g) {
    std::vector<std::uint8_t> d(16);
    std::memcpy(d.data(), &g, 16);
    setRegValue(key, name, platform::REG_BINARY_, std::move(d));
}

std::optional<std::uint32_t> SimWindows::regDword(const std::string& key, const std::string& name) const {
    const RegValue* v = regValue(key, name);
    if (!v || v->type != platform::REG_DWORD_ || v->data.size() != 4) return std::nullopt;
    std::uint32_t out;
    std::memcpy(&out, v->data.data(), 4);
    return out;
}

std::optional<std::string> SimWindows::regString(const std::string& key, const std::string& name) const {
    const RegValue* v = regValue(key, name);
    if (!v || v->type != platform::REG_SZ_) return std::nullopt;
    std::u16string u(v->data.size() / 2, u'\0');
    std::memcpy(u.data(), v->data.data(), u.size() * 2);
    return platform::utf16ToUtf8(u.c_str(), u.size());
}

// ---- the registry calls ----

SimWindows::SimKey* SimWindows::openedKey(platform::Key k, std::uint32_t needed) {
    auto it = keys_.find(k);
    if (it == keys_.end() || (it->second.access & needed) != needed) return nullptr;
    return &it->second;
}

std::int32_t SimWindows::RegOpenKeyExA(const char* subKey, std::uint32_t access, platform::Key& key) {
    const std::string path = keyPath(subKey);
    record("RegOpenKeyExA " + path + " " + hex(access));
    if (fails("RegOpenKeyExA")) return ERROR_ACCESS_DENIED_;
    if (registry.count(path) == 0) return platform::ERROR_FILE_NOT_FOUND_;
    key = nextKey_;
    nextKey_ += 4;
    keys_[key] = {path, access};
    return 0;
}

std::int32_t SimWindows::RegCreateKeyExA(const char* subKey, std::uint32_t access, platform::Key& key) {
    const std::string path = keyPath(subKey);
    record("RegCreateKeyExA " + path + " " + hex(access));
    if (fails("RegCreateKeyExA")) return ERROR_ACCESS_DENIED_;
    registry[path];
    key = nextKey_;
    nextKey_ += 4;
    keys_[key] = {path, access};
    return 0;
}

std::int32_t SimWindows::RegCloseKey(platform::Key key) {
    record("RegCloseKey");
    return keys_.erase(key) ? 0 : ERROR_INVALID_HANDLE_;
}

std::int32_t SimWindows::RegQueryValueExA(platform::Key key, const char* name, std::uint32_t* type,
                                         std::uint8_t* data, std::uint32_t* size) {
    record(std::string("RegQueryValueExA ") + name + " " + (data && size ? std::to_string(*size) : "-"));
    SimKey* k = openedKey(key, KEY_QUERY_VALUE_);
    if (!k) return ERROR_ACCESS_DENIED_;
    if (fails("RegQueryValueExA") || fails(std::string("RegQueryValueExA ") + name)) return ERROR_ACCESS_DENIED_;
    const RegValue* v = regValue(k->path, name);
    if (!v) return platform::ERROR_FILE_NOT_FOUND_;
    if (type) *type = v->type;
    const auto needed = static_cast<std::uint32_t>(v->data.size());
    if (data) {
        if (!size) return ERROR_ACCESS_DENIED_;
        if (*size < needed) {
            *size = needed;
            return platform::ERROR_MORE_DATA_;
        }
        if (needed) std::memcpy(data, v->data.data(), needed);
    }
    if (size) *size = needed;
    return 0;
}

std::int32_t SimWindows::RegSetValueExA(platform::Key key, const char* name, std::uint32_t type,
                                       const std::uint8_t* data, std::uint32_t size) {
    record(std::string("RegSetValueExA ") + name + " " + std::to_string(type) + " " + std::to_string(size));
    SimKey* k = openedKey(key, KEY_SET_VALUE_);
    if (!k) return ERROR_ACCESS_DENIED_;
    if (fails("RegSetValueExA") || fails(std::string("RegSetValueExA ") + name)) return ERROR_ACCESS_DENIED_;
    std::vector<std::uint8_t> bytes(data, data + size);
    registry[k->path][name] = RegValue{type, std::move(bytes)};
    return 0;
}

std::int32_t SimWindows::RegDeleteValueA(platform::Key key, const char* name) {
    record(std::string("RegDeleteValueA ") + name);
    SimKey* k = openedKey(key, KEY_SET_VALUE_);
    if (!k) return ERROR_ACCESS_DENIED_;
    if (fails("RegDeleteValueA") || fails(std::string("RegDeleteValueA ") + name)) return ERROR_ACCESS_DENIED_;
    auto& values = registry[k->path];
    return values.erase(name) ? 0 : platform::ERROR_FILE_NOT_FOUND_;
}

}  // namespace sim
