// The program's entry: one running copy per desktop, the command line, the loop.
#pragma once

#include "platform/platform.h"
#include "ui/ui.h"

namespace app {

// The single-instance protocol: the running copy is found by these two texts.
inline constexpr char kFormClass[] = "TQuorveltaForm";
inline constexpr char kMainCaption[] = "Quorvelta Stellmark Pro 2.1.4";
inline constexpr char kApplicationTitle[] = "Quorvelta Stellmark Pro";

// Private messages of the main window.
inline constexpr std::uint32_t MsgStartHidden = ui::WM_APP_ + 2;
inline constexpr std::uint32_t MsgQuit = ui::WM_APP_ + 4;
inline constexpr std::uint32_t MsgShowWindow = ui::WM_APP_ + 5;
inline constexpr std::uint32_t MsgPollReader = ui::WM_APP_ + 6;

void MainProgram(platform::Platform& platform, ui::Backend& backend);

}  // namespace app
