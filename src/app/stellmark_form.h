// The main window: carries the whole user interface and the system's state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/power_settings_editor.h"
#include "engine/keep_awake.h"
#include "engine/process_primitives.h"
#include "engine/process_table.h"
#include "platform/platform.h"
#include "profiles/profile_page.h"
#include "profiles/program_profiles.h"
#include "settings/settings_store.h"
#include "ui/ui.h"

namespace app {

class TStellmarkForm : public ui::Form, private profiles::ProfileEngine, private profiles::SchemeChoices {
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

    // ---- scheme list and well-known identifiers (engine/scheme_list.cpp) ----
    void InitStandardSchemes();
    void InitSettingGuids();
    void FillSchemeLists();
    void SelectStartSchemes();
    std::int32_t SchemeIndexOf(const platform::Guid& g) const;
    // The 18 lists that show the schemes, in the order names are appended.
    std::vector<ui::ComboBox*> SchemeLists() const;

    // ---- activation and energy saver (engine/activation.cpp) ----
    void ActivateScheme(const platform::Guid& scheme);
    void WriteEnergySaverThreshold(const platform::Guid& scheme);
    void ComputeDwellTicks();
    void ActionSaverExecute();

    // ---- measurements (engine/measurements.cpp) ----
    void SampleSystemTimes();
    bool CheckIdleAndBattery();

    // ---- switch routines (engine/switching.cpp) ----
    void SwitchToHigh();
    void SwitchToLow();
    void SwitchToLowest();
    void SwitchToProfileScheme(const platform::Guid& scheme);
    void ToggleSchemeState();
    void ComboBoxLowestChange();
    void ComboBoxHighChange();
    void ComboBoxLowChange();

    // ---- CPU temperature (engine/temperature.cpp) ----
    std::int32_t ReadCpuTemperature();
    bool ReaderTemperatureInvalid();

    // ---- boost, eco mode and the busiest-process load (engine/boost.cpp) ----
    void AccountProcesses();
    void TrackForeground();
    void DiscoverProcesses();
    void CheckBoxBoostChange();
    void CheckBoxBoostPChange();
    void CheckBoxCore0Change();
    // The options page as the process steps read it, each time anew.
    engine::BoostOptions boostOptions() const;

    // ---- housekeeping tick (engine/housekeeping.cpp) ----
    void TimerCpuTempTimer();
    // The housekeeping tick run at once (at start and when the window is shown).
    void HousekeepingNow();
    void ActionTempExecute();

    // ---- temperature reader program (app/temperature_reader.cpp) ----
    void StartTemperatureReader();
    void PollTemperatureReader();
    platform::Window FindReaderWindow(const char* title);
    bool IsReaderWindow(platform::Window w);
    void CloseTemperatureReader();

    // ---- load check (engine/load_check.cpp) ----
    void RefreshTimerTimer();
    void ComputeTotalLoad();
    void UpdateTrayHint();
    void PauseActionExecute();

    // ---- subsystems of their own ----
    // The processor topology, privileges, optional functions and process primitives.
    engine::ProcessPrimitives Primitives;
    // The 14 program profile rows with their application.
    profiles::ProfileTable Profiles;
    // The "Power Profiles" page that edits the rows.
    profiles::ProfilePage ProfilePage;
    // The tracked processes of boost, eco mode and the busiest-process load.
    engine::ProcessTable ProcessTable;
    // Keep-awake; made once the controls it reads exist.
    std::optional<engine::KeepAwake> KeepAwake;
    // The settings store; made once the controls it reads into exist.
    std::unique_ptr<settings::SettingsStore> Settings;

    // ---- controls ----
    ui::PageControl* PageControl1;
    ui::Panel *TabSheetOptions, *TabSheetProfiles, *TabSheetSchemes, *Panelbottom;
    ui::ComboBox *ComboBoxHigh, *ComboBoxLow, *ComboBoxLowest, *ComboBoxHiddenScheme;
    ui::ComboBox* ComboBoxScheme[14];  // ComboBoxScheme1 .. ComboBoxScheme14
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

    // The "Edit hidden settings" page with its buttons and the create-scheme dialog.
    std::unique_ptr<editor::PowerSettingsEditor> Editor;

    // ---- state ----
    // The scheme list: position k of every scheme list is slot k.
    static constexpr int kSchemeSlots = 32;
    static constexpr int kMaxEnumeratedSchemes = 28;
    static constexpr int kMaxSchemes = 31;
    static constexpr int kNameUnits = 256;
    platform::Guid SchemeGuids[kSchemeSlots]{};
    char16_t SchemeNames[kSchemeSlots][kNameUnits]{};
    std::int32_t SchemeCount = 0;

    platform::Guid GUID_MAX_POWER_SAVINGS, GUID_TYPICAL_POWER_SAVINGS, GUID_MIN_POWER_SAVINGS,
        UltimatePerformanceGuid;
    platform::Guid GUID_ENERGY_SAVER_SUBGROUP, GUID_ENERGY_SAVER_BATTERY_THRESHOLD, GUID_PROCESSOR_SETTINGS_SUBGROUP,
        GUID_PROCESSOR_THROTTLE_MAXIMUM, NO_SUBGROUP_GUID;
    platform::Guid LowSchemeGuid, HighSchemeGuid, LowestSchemeGuid;
    platform::Guid ActiveSchemeGuid;  // what this program activated last; never read back

    // Engine state.
    bool InLowState = false;
    bool SavedWasHigh = false;
    std::int32_t DwellTicks = 0;
    std::int32_t CpuLoad = 0;
    std::int32_t CpuTemperature = 0;
    platform::SystemTimes LoadBaseline;
    bool UserIdle = false, OnBattery = false;
    std::uint32_t LastInputTime = 0;  // kept between calls: a failed query measures from it

    // Temperature.
    char ReaderText[128]{};
    std::int32_t LastTemperature = 0;
    bool TempTickParity = false;
    std::uint64_t ReaderStartTick = 0;

    // Option variables of the load rule, kept by the sliders.
    std::int32_t LowCpu = 20, HighCpu = 75, MinTime = 4000, ChecksTime = 1000;
    bool SettingsDirty = false;
    bool MinimizeNoticeShown = false;
    // The close notice and the exit question are open: while the window is hidden
    // they have no owner, so tray clicks and posted messages still reach the window,
    // and a second request must not open a second box.
    bool NoticeOpen = false, ExitQuestionOpen = false;
    bool Active = false;
    bool ForcedLowest = false, Overheated = false;
    platform::Window ReaderWindow = 0;

private:
    // What the profile rows ask of the engine.
    const platform::Guid& activeScheme() const override { return ActiveSchemeGuid; }
    const platform::Guid& lowScheme() const override { return LowSchemeGuid; }
    const platform::Guid& highScheme() const override { return HighSchemeGuid; }
    const platform::Guid& lowestScheme() const override { return LowestSchemeGuid; }
    bool forcedLowest() const override { return ForcedLowest; }
    bool overheated() const override { return Overheated; }
    bool performanceModeChosen() const override { return CheckBoxBoostP->checked(); }
    void switchToLow() override { SwitchToLow(); }
    void switchToHigh() override { SwitchToHigh(); }
    void switchToLowest() override { SwitchToLowest(); }
    void switchToProfileScheme(const platform::Guid& scheme) override { SwitchToProfileScheme(scheme); }
    // What the profile page asks of the scheme list.
    std::int32_t schemeCount() const override { return SchemeCount; }
    const platform::Guid& schemeAt(std::int32_t position) const override { return SchemeGuids[position]; }
    std::int32_t schemeIndexOf(const platform::Guid& scheme) const override { return SchemeIndexOf(scheme); }

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

// The temperature reader program and the classes of its main window, in search order.
inline constexpr char kReaderFile[] = "caldrix2.exe";
inline constexpr const char* ReaderWindowClasses[13] = {
    "WindowsForms10.Window.8.app.0.141b42a_r6_ad1",  "WindowsForms10.Window.8.app.0.141b42a_r7_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r9_ad1",  "WindowsForms10.Window.8.app.0.141b42a_r8_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r5_ad1",  "WindowsForms10.Window.8.app.0.141b42a_r10_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r11_ad1", "WindowsForms10.Window.8.app.0.141b42a_r12_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r13_ad1", "WindowsForms10.Window.8.app.0.141b42a_r14_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r15_ad1", "WindowsForms10.Window.8.app.0.141b42a_r16_ad1",
    "WindowsForms10.Window.8.app.0.141b42a_r17_ad1"};

}  // namespace app
