// The main window: carries the whole user interface and the system's state.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "ui/ui.h"

namespace app {

class TStellmarkForm : public ui::Form {
public:
    TStellmarkForm(ui::Application& application, platform::Platform& platform);

    // Builds the window from its design, binds the handlers and runs FormCreate.
    void create();
    // Runs FormDestroy; called once the message loop has ended.
    void destroy();

    platform::Platform& os() const { return os_; }

    // ---- life cycle (main window) ----
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    bool WndProc(ui::Message& m);
    void StartHidden();
    void CloseActionExecute();
    void ShowActionExecute();
    void ExitActionExecute();

    // ---- options page and notification icon ----
    void TrackBarLowChange();
    void TrackBarHighChange();
    void TrackBarTimeChange();
    void TrackBarChecksChange();
    void TrackBarTempChange();
    void TrackBarIdleChange();
    void TrackBarEndTimeChange();
    void LabelLowSelectClick();
    void theTrayIconClick();

    // ---- start steps and handlers that later pieces fill ----
    void InitCpuTopology() {}
    void FillCoreLists() {}
    void ClearProcessTable() {}
    void EnablePrivileges() {}
    void LoadOptionalFunctions() {}
    void InitStandardSchemes() {}
    void SetDefaultProfileRows() {}
    void SampleSystemTimes() {}
    void ReadSettings() {}
    void InitSettingGuids() {}
    void FillSchemeLists() {}
    void ShowProfileRows() {}
    void UpdateEvenCoreBoxes() {}
    void SelectStartSchemes() {}
    void ComboBoxHiddenSchemeChange() {}
    void ShowPriorityButtons() {}
    void StartTemperatureReader() {}
    void PollTemperatureReader() {}
    void SaveSettings() {}
    void WriteNoticeShown() {}
    void RestoreTrackedProcesses() {}
    void ToggleSchemeState() {}
    void PauseActionExecute() {}
    void TimerCpuTempTimer() {}
    void RefreshTimerTimer() {}

    // ---- controls ----
    ui::PageControl* PageControl1;
    ui::Panel *TabSheetOptions, *TabSheetProfiles, *TabSheetSchemes, *Panelbottom;
    ui::ComboBox *ComboBoxHigh, *ComboBoxLow, *ComboBoxLowest;
    ui::Label *Labelhighselect, *LabelLowSelect, *Labellowestselect;
    ui::TrackBar *TrackBarLow, *TrackBarHigh, *TrackBarTime, *TrackBarChecks, *TrackBarTemp, *TrackBarIdle,
        *TrackBarEndTime;
    ui::Label *LabelLow, *LabelHigh, *LabelTime, *LabelChecks, *LabelTemp, *LabelIdle, *LabelEndTime, *LabelCPU;
    ui::CheckBox *CheckBoxCPUtemp, *CheckBoxIdle, *CheckBoxDC, *CheckBoxPause, *CheckBoxNoSleep, *CheckBoxScreen,
        *CheckBoxTimelimit, *CheckBoxBoost, *CheckBoxBoostProc, *CheckBoxBoostP, *CheckBoxCore0, *CheckBoxSaver;
    ui::Button *ButtonExit, *ButtonClose;
    ui::Image *ImageUp, *ImageDown;
    ui::TrayIcon* theTrayIcon;
    ui::PopupMenu* TrayPopupMenu;
    ui::Timer *RefreshTimer, *TimerCpuTemp;
    ui::Action *ExitAction, *ShowAction, *ActionNoSleep, *PauseAction, *CloseAction, *ActionTemp, *ActionScreen,
        *ActionSaver, *ActionBoost;

    // ---- state ----
    // Option variables of the load rule, kept by the sliders.
    std::int32_t LowCpu = 20, HighCpu = 75, MinTime = 4000, ChecksTime = 1000;
    bool SettingsDirty = false;
    bool MinimizeNoticeShown = false;
    bool Active = false;
    bool ForcedLowest = false, Overheated = false;
    bool CreatingScheme = false;
    platform::Window ReaderWindow = 0;
    std::uint64_t KeepAwakeEndTime = 0;
    std::uint32_t ForegroundPid = 0;
    platform::Window ForegroundWindow = 0;

private:
    template <class T> T* control(const char* name);
    void bindControls();
    void bindHandlers();
    void SetSlidersFromOptions();

    platform::Platform& os_;
};

// The texts of the main window's life cycle.
inline constexpr char kNoticeText[] =
    "Quorvelta Stellmark has been minimized to the system notification area on the taskbar!";
inline constexpr char kExitQuestion[] = "Are you sure you want to exit?";

}  // namespace app
