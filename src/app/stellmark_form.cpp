#include "app/stellmark_form.h"

#include <stdexcept>

#include "app/main_form_design.h"
#include "app/main_program.h"

namespace app {

TStellmarkForm::TStellmarkForm(ui::Application& application, platform::Platform& platform)
    : ui::Form(application, "StellmarkForm"),
      Primitives(platform.processes, platform.windows),
      Profiles(platform.windows, Primitives, *this, *this),
      ProfilePage(Profiles, Primitives, platform.windows, *this),
      ProcessTable(platform.processes, platform.windows, Primitives,
                   [this](std::uint32_t pid) { Profiles.ForgetProcessId(pid); }),
      os_(platform) {}

template <class T> T* TStellmarkForm::control(const char* name) { return need<T>(name); }

void TStellmarkForm::bindControls() {
    PageControl1 = control<ui::PageControl>("PageControl1");
    TabSheetOptions = control<ui::Panel>("TabSheetOptions");
    TabSheetProfiles = control<ui::Panel>("TabSheetProfiles");
    TabSheetSchemes = control<ui::Panel>("TabSheetSchemes");
    Panelbottom = control<ui::Panel>("Panelbottom");
    ComboBoxHigh = control<ui::ComboBox>("ComboBoxHigh");
    ComboBoxLow = control<ui::ComboBox>("ComboBoxLow");
    ComboBoxLowest = control<ui::ComboBox>("ComboBoxLowest");
    ComboBoxHiddenScheme = control<ui::ComboBox>("ComboBoxHiddenScheme");
    for (int i = 0; i < 14; ++i)
        ComboBoxScheme[i] = control<ui::ComboBox>(("ComboBoxScheme" + std::to_string(i + 1)).c_str());
    Labelhighselect = control<ui::Label>("Labelhighselect");
    LabelLowSelect = control<ui::Label>("LabelLowSelect");
    Labellowestselect = control<ui::Label>("Labellowestselect");
    TrackBarLow = control<ui::TrackBar>("TrackBarLow");
    TrackBarHigh = control<ui::TrackBar>("TrackBarHigh");
    TrackBarTime = control<ui::TrackBar>("TrackBarTime");
    TrackBarChecks = control<ui::TrackBar>("TrackBarChecks");
    TrackBarTemp = control<ui::TrackBar>("TrackBarTemp");
    TrackBarIdle = control<ui::TrackBar>("TrackBarIdle");
    TrackBarEndTime = control<ui::TrackBar>("TrackBarEndTime");
    LabelLow = control<ui::Label>("LabelLow");
    LabelHigh = control<ui::Label>("LabelHigh");
    LabelTime = control<ui::Label>("LabelTime");
    LabelChecks = control<ui::Label>("LabelChecks");
    LabelTemp = control<ui::Label>("LabelTemp");
    LabelIdle = control<ui::Label>("LabelIdle");
    LabelEndTime = control<ui::Label>("LabelEndTime");
    LabelCPU = control<ui::Label>("LabelCPU");
    CheckBoxCPUtemp = control<ui::CheckBox>("CheckBoxCPUtemp");
    CheckBoxIdle = control<ui::CheckBox>("CheckBoxIdle");
    CheckBoxDC = control<ui::CheckBox>("CheckBoxDC");
    CheckBoxPause = control<ui::CheckBox>("CheckBoxPause");
    CheckBoxNoSleep = control<ui::CheckBox>("CheckBoxNoSleep");
    CheckBoxScreen = control<ui::CheckBox>("CheckBoxScreen");
    CheckBoxTimelimit = control<ui::CheckBox>("CheckBoxTimelimit");
    CheckBoxBoost = control<ui::CheckBox>("CheckBoxBoost");
    CheckBoxBoostProc = control<ui::CheckBox>("CheckBoxBoostProc");
    CheckBoxBoostP = control<ui::CheckBox>("CheckBoxBoostP");
    CheckBoxCore0 = control<ui::CheckBox>("CheckBoxCore0");
    CheckBoxSaver = control<ui::CheckBox>("CheckBoxSaver");
    ButtonExit = control<ui::Button>("ButtonExit");
    ButtonClose = control<ui::Button>("ButtonClose");
    ImageUp = control<ui::Image>("ImageUp");
    ImageDown = control<ui::Image>("ImageDown");
    theTrayIcon = control<ui::TrayIcon>("theTrayIcon");
    TrayPopupMenu = control<ui::PopupMenu>("TrayPopupMenu");
    RefreshTimer = control<ui::Timer>("RefreshTimer");
    TimerCpuTemp = control<ui::Timer>("TimerCpuTemp");
    auto action = [this](const char* name) {
        ui::Action* a = findAction(name);
        if (!a) throw std::logic_error(std::string("The main window design lacks ") + name);
        return a;
    };
    ExitAction = action("ExitAction");
    ShowAction = action("ShowAction");
    ActionNoSleep = action("ActionNoSleep");
    PauseAction = action("PauseAction");
    CloseAction = action("CloseAction");
    ActionTemp = action("ActionTemp");
    ActionScreen = action("ActionScreen");
    ActionSaver = action("ActionSaver");
    ActionBoost = action("ActionBoost");
}

void TStellmarkForm::bindHandlers() {
    onCreate = [this] { FormCreate(); };
    onShow = [this] { FormShow(); };
    onHide = [this] { FormHide(); };
    onCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    onDestroy = [this] { FormDestroy(); };
    wndProcHook = [this](ui::Message& m) { return WndProc(m); };

    ExitAction->onExecute = [this] { ExitActionExecute(); };
    ShowAction->onExecute = [this] { ShowActionExecute(); };
    CloseAction->onExecute = [this] { CloseActionExecute(); };
    PauseAction->onExecute = [this] { PauseActionExecute(); };
    ActionTemp->onExecute = [this] { ActionTempExecute(); };
    ActionSaver->onExecute = [this] { ActionSaverExecute(); };
    ActionBoost->onExecute = [this] { CheckBoxBoostChange(); };
    CheckBoxBoostP->onChange = [this] { CheckBoxBoostPChange(); };
    CheckBoxCore0->onChange = [this] { CheckBoxCore0Change(); };
    ActionNoSleep->onExecute = [this] { KeepAwake->ActionNoSleepExecute(); };
    ActionScreen->onExecute = [this] { KeepAwake->ActionScreenExecute(); };
    CheckBoxTimelimit->onChange = [this] { KeepAwake->CheckBoxTimelimitChange(); };
    ComboBoxLow->onChange = [this] { ComboBoxLowChange(); };
    ComboBoxHigh->onChange = [this] { ComboBoxHighChange(); };
    ComboBoxLowest->onChange = [this] { ComboBoxLowestChange(); };
    PageControl1->onChanging = [this](bool& allow) { Editor->PageControl1Changing(allow); };
    PageControl1->onChange = [this] { Editor->PageControl1Change(); };

    TrackBarLow->onChange = [this] { TrackBarLowChange(); };
    TrackBarHigh->onChange = [this] { TrackBarHighChange(); };
    TrackBarTime->onChange = [this] { TrackBarTimeChange(); };
    TrackBarChecks->onChange = [this] { TrackBarChecksChange(); };
    TrackBarTemp->onChange = [this] { TrackBarTempChange(); };
    TrackBarIdle->onChange = [this] { TrackBarIdleChange(); };
    TrackBarEndTime->onChange = [this] { TrackBarEndTimeChange(); };

    for (ui::Label* l : {LabelLowSelect, Labelhighselect, Labellowestselect})
        l->onClick = [this] { LabelLowSelectClick(); };
    theTrayIcon->onClick = [this] { theTrayIconClick(); };
    theTrayIcon->onDblClick = [this] { ShowActionExecute(); };

    RefreshTimer->onTimer = [this] { RefreshTimerTimer(); };
    TimerCpuTemp->onTimer = [this] { TimerCpuTempTimer(); };
}

void TStellmarkForm::create() {
    ui::loadDesign(*this, mainFormDesign());
    ProfilePage.build(*this, *control<ui::Panel>("TabSheetProfiles"));
    bindControls();
    KeepAwake.emplace(os_.processes, os_.clock,
                      engine::KeepAwake::Controls{*ActionNoSleep, *ActionScreen, *CheckBoxNoSleep, *CheckBoxScreen,
                                                  *CheckBoxTimelimit, *TrackBarEndTime});
    Editor = std::make_unique<editor::PowerSettingsEditor>(
        os_, *this,
        editor::SchemeList{SchemeGuids, SchemeNames, SchemeCount, NO_SUBGROUP_GUID, ActiveSchemeGuid, SchemeLists()});
    bindHandlers();
    Settings = std::make_unique<settings::SettingsStore>(
        os_.registry,
        settings::SettingsParts{MinimizeNoticeShown, SettingsDirty, LowCpu, HighCpu, ChecksTime, MinTime,
                                LowSchemeGuid, HighSchemeGuid, LowestSchemeGuid, GUID_MAX_POWER_SAVINGS,
                                GUID_TYPICAL_POWER_SAVINGS, *PauseAction, *ActionTemp, *ActionBoost, *ActionSaver,
                                *CheckBoxIdle, *CheckBoxDC, *CheckBoxBoostProc, *CheckBoxBoostP, *CheckBoxCore0,
                                *TrackBarTemp, *TrackBarIdle, Profiles});
    application().backend().realize(*this);
    // A copy running as administrator still hears a normal second start.
    acceptFromOtherPrograms(MsgQuit);
    acceptFromOtherPrograms(MsgShowWindow);
    created();
}

void TStellmarkForm::destroy() {
    destroyed();
    releaseWindows();
}

// ---- start sequence ----

void TStellmarkForm::FormCreate() {
    Primitives.InitCpuTopology();
    Editor->CreatingScheme = false;
    ReaderWindow = 0;
    ProfilePage.FillCoreLists();
    ProcessTable.Clear();
    Profiles.ClearAppliedPids();
    Primitives.EnablePrivileges();
    Primitives.LoadOptionalFunctions();
    ForcedLowest = false;
    Overheated = false;
    InitStandardSchemes();
    Profiles.SetDefaultProfileRows();
    SampleSystemTimes();
    Settings->ReadSettings();
    SetSlidersFromOptions();
    InitSettingGuids();
    FillSchemeLists();
    ProfilePage.ShowProfileRows();
    ProfilePage.UpdateEvenCoreBoxes();
    SelectStartSchemes();
    // The editor opens on the first scheme; a position set by code raises nothing.
    ComboBoxHiddenScheme->setItemIndex(0);
    Editor->ComboBoxHiddenSchemeChange();
    Active = true;
    SettingsDirty = false;
    if (MinimizeNoticeShown) post(MsgStartHidden);
    // The settings read sets the boost box without its action's handler.
    CheckBoxBoostProc->setEnabled(CheckBoxBoost->checked());
    CheckBoxBoostP->setEnabled(CheckBoxBoost->checked());
    ProfilePage.ShowPriorityButtons();
    TrackBarLowChange();
    TrackBarHighChange();
    TrackBarTimeChange();
    TrackBarChecksChange();
    PauseActionExecute();
    HousekeepingNow();
    PageControl1->setActivePage(0);
    ProcessTable.ForgetForeground();
    StartTemperatureReader();
}

void TStellmarkForm::SetSlidersFromOptions() {
    TrackBarLow->setPosition(LowCpu);
    TrackBarHigh->setPosition(HighCpu);
    TrackBarTime->setPosition(MinTime / 1000);
    MinTime = TrackBarTime->position() * 1000;
    TrackBarChecks->setPosition(ChecksTime / 1000);
    ChecksTime = TrackBarChecks->position() * 1000;
    RefreshTimer->setInterval(static_cast<std::uint32_t>(ChecksTime));
}

// ---- window procedure ----

bool TStellmarkForm::WndProc(ui::Message& m) {
    // The frame's close command only hides; SC_CLOSE with low bits set is not it.
    if (m.msg == ui::WM_SYSCOMMAND_ && m.wParam == ui::SC_CLOSE_) {
        CloseActionExecute();
        return true;
    }
    switch (m.msg) {
        case MsgStartHidden: StartHidden(); return true;
        case MsgQuit: application().terminate(); return true;
        case MsgShowWindow: ShowActionExecute(); return true;
        case MsgPollReader: PollTemperatureReader(); return true;
        default: return false;
    }
}

void TStellmarkForm::StartHidden() {
    Active = !PauseAction->checked();
    if (Active) SampleSystemTimes();
    RefreshTimer->setEnabled(Active);
    hide();
}

// ---- show, hide, close, exit ----

void TStellmarkForm::FormShow() { HousekeepingNow(); }

// A housekeeping tick outside its timer is still the timer's work: a load check that
// falls due while its temperature query waits must not run inside it.
void TStellmarkForm::HousekeepingNow() {
    application().asTimerHandler([this] { TimerCpuTempTimer(); });
}

void TStellmarkForm::FormHide() { Settings->SaveSettings(); }

namespace {

// Marks a box as open for as long as its question runs.
class BoxOpen {
public:
    explicit BoxOpen(bool& open) : open_(open) { open_ = true; }
    ~BoxOpen() { open_ = false; }
    BoxOpen(const BoxOpen&) = delete;
    BoxOpen& operator=(const BoxOpen&) = delete;

private:
    bool& open_;
};

}  // namespace

void TStellmarkForm::CloseActionExecute() {
    hide();
    if (!MinimizeNoticeShown && !NoticeOpen) {
        {
            BoxOpen open(NoticeOpen);
            application().showMessage(kNoticeText);
        }
        MinimizeNoticeShown = true;
        Settings->WriteNoticeShown();
        FormHide();
    }
}

void TStellmarkForm::ShowActionExecute() { show(); }

void TStellmarkForm::ExitActionExecute() {
    if (ExitQuestionOpen) return;
    bool yes = false;
    {
        BoxOpen open(ExitQuestionOpen);
        yes = application().confirm(kExitQuestion) == ui::ModalResult::Yes;
    }
    if (yes) application().terminate();
}

void TStellmarkForm::FormCloseQuery(bool& canClose) { canClose = true; }

void TStellmarkForm::FormDestroy() {
    RefreshTimer->setEnabled(false);
    FormHide();
    Primitives.FreeOptionalLibraries();
    KeepAwake->Withdraw();
    if (CheckBoxBoost->checked()) ProcessTable.RestoreTrackedProcesses();
    ProcessTable.Empty();
    CloseTemperatureReader();
}

// ---- sliders ----

void TStellmarkForm::TrackBarLowChange() {
    LabelLow->setCaption(std::to_string(TrackBarLow->position()) + "%");
    if (TrackBarHigh->position() - 5 < TrackBarLow->position())
        TrackBarHigh->setPosition(TrackBarLow->position() + 5);
    LowCpu = TrackBarLow->position();
    SettingsDirty = true;
}

void TStellmarkForm::TrackBarHighChange() {
    LabelHigh->setCaption(std::to_string(TrackBarHigh->position()) + "%");
    if (TrackBarLow->position() + 5 > TrackBarHigh->position())
        TrackBarLow->setPosition(TrackBarHigh->position() - 5);
    HighCpu = TrackBarHigh->position();
    SettingsDirty = true;
}

void TStellmarkForm::TrackBarTimeChange() {
    LabelTime->setCaption(std::to_string(TrackBarTime->position()) + " sec");
    MinTime = TrackBarTime->position() * 1000;
    SettingsDirty = true;
}

void TStellmarkForm::TrackBarChecksChange() {
    LabelChecks->setCaption(std::to_string(TrackBarChecks->position()) + " sec");
    ChecksTime = TrackBarChecks->position() * 1000;
    RefreshTimer->setInterval(static_cast<std::uint32_t>(ChecksTime));
    SettingsDirty = true;
}

void TStellmarkForm::TrackBarTempChange() { LabelTemp->setCaption(std::to_string(TrackBarTemp->position()) + "C"); }

void TStellmarkForm::TrackBarIdleChange() { LabelIdle->setCaption(std::to_string(TrackBarIdle->position()) + "min"); }

void TStellmarkForm::TrackBarEndTimeChange() {
    KeepAwake->RestartEndTime();
    LabelEndTime->setCaption(std::to_string(TrackBarEndTime->position()) + " hours");
}

void TStellmarkForm::LabelLowSelectClick() { ToggleSchemeState(); }

void TStellmarkForm::theTrayIconClick() { ToggleSchemeState(); }

}  // namespace app
