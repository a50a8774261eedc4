// The temperature reader program: found or started once per run, closed at exit.
#include <cstring>

#include "app/main_program.h"
#include "app/stellmark_form.h"

namespace app {

namespace {
constexpr std::int64_t kTestingPhaseMs = 2400;
constexpr std::int64_t kGiveUpMs = 4000;
constexpr std::uint32_t kPollPauseMs = 50;
constexpr char kTestingTitle[] = "testing";
}  // namespace

platform::Window TStellmarkForm::FindReaderWindow(const char* title) {
    for (const char* cls : ReaderWindowClasses)
        if (platform::Window w = os_.windows.FindWindowExA(0, 0, cls, title)) return w;
    return 0;
}

void TStellmarkForm::StartTemperatureReader() {
    if (!os_.shell.FileExists(kReaderFile)) return;
    ReaderWindow = FindReaderWindow(nullptr);
    if (ReaderWindow != 0 && ReaderTemperatureInvalid()) ReaderWindow = 0;
    if (ReaderWindow != 0) return;  // a running reader with a reading serves
    ReaderStartTick = os_.clock.GetTickCount64();
    os_.shell.ShellExecuteA(0, nullptr, kReaderFile, "", "", platform::SW_HIDE_);
    post(MsgPollReader);
}

void TStellmarkForm::PollTemperatureReader() {
    auto elapsed = [this] { return static_cast<std::int64_t>(os_.clock.GetTickCount64() - ReaderStartTick); };
    if (elapsed() > kTestingPhaseMs) {
        ReaderWindow = FindReaderWindow(nullptr);
        if (ReaderWindow != 0 && ReaderTemperatureInvalid()) ReaderWindow = 0;
    } else {
        // A freshly started reader shows this title at first.
        ReaderWindow = FindReaderWindow(kTestingTitle);
    }
    if (ReaderWindow != 0) return;
    os_.clock.Sleep(kPollPauseMs);
    if (elapsed() < kGiveUpMs) post(MsgPollReader);
}

bool TStellmarkForm::IsReaderWindow(platform::Window w) {
    if (!os_.windows.IsWindow(w)) return false;
    char cls[128] = {};
    os_.windows.GetClassNameA(w, cls, sizeof cls);
    for (const char* c : ReaderWindowClasses)
        if (std::strcmp(cls, c) == 0) return true;
    return false;
}

void TStellmarkForm::CloseTemperatureReader() {
    // The handle was recorded long ago: close it only while it still is a reader's
    // window, never a window that another program got under the same number.
    if (ReaderWindow != 0 && IsReaderWindow(ReaderWindow)) os_.windows.PostMessageA(ReaderWindow, ui::WM_CLOSE_, 0, 0);
}

}  // namespace app
