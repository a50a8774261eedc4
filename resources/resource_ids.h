// Resource numbers shared by the .rc script and the portable code.
#pragma once

#define IDI_STELLMARK 1  // the program's own icon and the tray icon's design icon
#define IDI_HIGHSIDE 2   // tray icon on the high side
#define IDI_LOWSIDE 3    // tray icon on the low side
