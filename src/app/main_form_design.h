#pragma once

#include "ui/design.h"

namespace app {
// The main window's design (resources/main_form.inc).
const ui::Design& mainFormDesign();
}  // namespace app
