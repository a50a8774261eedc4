#include <windows.h>

#include <string>

#include "platform/text.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {
HKEY toKey(Key k) { return reinterpret_cast<HKEY>(k); }

class Wide {
public:
    explicit Wide(const char* text) : text_(utf8ToUtf16(text ? text : "")) {}
    const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }

private:
    std::u16string text_;
};
}  // namespace

std::int32_t Win32UserRegistry::RegOpenKeyExA(const char* subKey, std::uint32_t access, Key& key) {
    HKEY k = nullptr;
    const LONG rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(subKey).get(), 0, access, &k);
    if (rc == ERROR_SUCCESS) key = reinterpret_cast<Key>(k);
    return rc;
}

std::int32_t Win32UserRegistry::RegCreateKeyExA(const char* subKey, std::uint32_t access, Key& key) {
    HKEY k = nullptr;
    const LONG rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(subKey).get(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      access, nullptr, &k, nullptr);
    if (rc == ERROR_SUCCESS) key = reinterpret_cast<Key>(k);
    return rc;
}

std::int32_t Win32UserRegistry::RegCloseKey(Key key) { return ::RegCloseKey(toKey(key)); }

std::int32_t Win32UserRegistry::RegQueryValueExA(Key key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                                std::uint32_t* size) {
    DWORD t = 0, s = size ? *size : 0;
    const LONG rc = ::RegQueryValueExW(toKey(key), Wide(name).get(), nullptr, type ? &t : nullptr, data,
                                       size ? &s : nullptr);
    if (type) *type = t;
    if (size) *size = s;
    return rc;
}

std::int32_t Win32UserRegistry::RegSetValueExA(Key key, const char* name, std::uint32_t type, const std::uint8_t* data,
                                              std::uint32_t size) {
    return ::RegSetValueExW(toKey(key), Wide(name).get(), 0, type, data, size);
}

std::int32_t Win32UserRegistry::RegDeleteValueA(Key key, const char* name) {
    return ::RegDeleteValueW(toKey(key), Wide(name).get());
}

}  // namespace platform::win32
