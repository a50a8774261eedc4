#include "app/main_form_design.h"

#include "resource_ids.h"

namespace app {

#include "main_form.inc"

const ui::Design& mainFormDesign() { return kMainDesign; }

}  // namespace app
