// Files, the shell and the WMI temperature query on Windows.
#pragma once

#include "platform/platform.h"

namespace platform::win32 {

class Win32Shell : public Shell {
public:
    bool FileExists(const char* name) override;
    void ShellExecuteA(Window owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int showCommand) override;
    void ShellExecuteW(Window owner, const char16_t* verb, const char16_t* file, const char16_t* parameters,
                       const char16_t* directory, int showCommand) override;
};

// Late bound through the scripting interface of WMI, built anew on every query.
class Win32Wmi : public Wmi {
public:
    bool QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) override;
};

}  // namespace platform::win32
