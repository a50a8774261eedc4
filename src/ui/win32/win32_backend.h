// The toolkit bound to real Win32 windows: one window class "TQuorveltaForm" for the
// hidden application window, every form and the container windows; the standard
// controls keep their own classes. Each toolkit control gets a peer that mirrors its
// state onto its window, and the notifications of those windows come back in as the
// controls' user* calls. Every native entry point runs through Application::boundary.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/system_library.h"
#include "ui/ui.h"

namespace ui::win32 {

class FormWindow;

// Entry points that only newer systems have; looked up once, null where missing.
struct SystemFunctions {
    UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
    UINT(WINAPI* GetDpiForSystem)() = nullptr;
    BOOL(WINAPI* AdjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
    BOOL(WINAPI* SystemParametersInfoForDpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;
    int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
    // shcore: a monitor's density; the type 0 asks for the effective one.
    HRESULT(WINAPI* GetDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
    BOOL(WINAPI* ChangeWindowMessageFilterEx)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT) = nullptr;
    BOOL(WINAPI* IsAppThemed)() = nullptr;
    // Common controls 6: an icon at any size, scaled down from a larger image when
    // the resource lacks that size.
    HRESULT(WINAPI* LoadIconWithScaleDown)(HINSTANCE, PCWSTR, int, int, HICON*) = nullptr;
};

class Win32Backend final : public Backend {
public:
    explicit Win32Backend(HINSTANCE instance);
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    void initialise(Application& app) override;
    void titleChanged(Application& app) override;
    void realize(Form& form) override;
    bool post(Form& form, const Message& m) override;
    void acceptFromOtherPrograms(Form& form, std::uint32_t msg) override;
    ModalResult messageBox(Form* owner, BoxKind kind, const std::string& text) override;
    void popup(PopupMenu& menu) override;
    std::intptr_t defaultProc(Form& form, Message& m) override;
    void run(Application& app) override;
    void quit() override;
    void reportError(const std::string& what) override;
    ModalResult showModal(Form& form) override;
    std::uintptr_t windowHandle(Form& form) override;

    // ---- for the peers ----
    HINSTANCE instance() const { return instance_; }
    const SystemFunctions& system() const { return system_; }
    // The icon resource at the given pixel size; owned by the backend, null when missing.
    HICON icon(int id, int size);
    // The callback message of notification icons and the shell's restart message.
    UINT trayMessage() const { return WM_USER + 0x200; }
    UINT taskbarCreatedMessage() const { return taskbarCreated_; }
    // The pixel density of the screen before any window exists.
    UINT systemDpi() const;
    // Tab pages look like the themed tab body (white) when a theme is active.
    bool themed() const;

    static constexpr const wchar_t* kWindowClass = L"TQuorveltaForm";

private:
    static FormWindow* windowOf(Form& form);
    // The hidden application window lies on the primary monitor, which holds the
    // taskbar: a change of its density reaches the notification icons through it.
    static LRESULT CALLBACK appWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);
    static HRESULT CALLBACK taskDialogCallback(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LONG_PTR data);
    ModalResult confirmation(HWND owner, const std::wstring& text);

    HINSTANCE instance_;
    platform::win32::SystemLibrary uxtheme_{L"uxtheme.dll"};
    platform::win32::SystemLibrary shcore_{L"shcore.dll"};
    Application* app_ = nullptr;
    SystemFunctions system_;
    HWND appWindow_ = nullptr;
    std::wstring title_;
    UINT taskbarCreated_ = 0;
    bool quitRequested_ = false;
    std::vector<HWND> openBoxes_;  // task dialogs open right now, innermost last
    std::map<std::pair<int, int>, HICON> icons_;
};

}  // namespace ui::win32
