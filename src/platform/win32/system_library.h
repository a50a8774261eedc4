// A library taken from the system folder only, with its functions looked up at run
// time. A DLL that Windows does not count among its known libraries would otherwise be
// searched for beside the program first, so a file of that name next to a downloaded
// exe would be loaded into it. Every such library goes through this class, and none of
// them is linked as an import.
#pragma once

#include <windows.h>

namespace platform::win32 {

class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name)
        : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
    ~SystemLibrary() {
        if (module_) FreeLibrary(module_);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool loaded() const { return module_ != nullptr; }
    HMODULE handle() const { return module_; }

    // The function of that name, or null when the library or the function is missing.
    template <class F> F function(const char* name) const {
        if (!module_) return nullptr;
        FARPROC p = GetProcAddress(module_, name);
        // void(*)() is the one type GCC lets a function pointer be cast through
        // without a warning.
        return p ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(p)) : nullptr;
    }

private:
    HMODULE module_;
};

}  // namespace platform::win32
