#include "app/main_program.h"

#include "app/stellmark_form.h"

namespace app {

void MainProgram(platform::Platform& platform, ui::Backend& backend) {
    // Before the application exists, so the search never sees this copy's windows.
    platform::Window running = platform.windows.FindWindowExA(0, 0, kFormClass, kMainCaption);

    ui::Application application(backend);
    application.scaled = true;
    application.initialise();
    application.setTitle(kApplicationTitle);

    if (platform.argumentCount > 0) {
        if (running != 0) platform.windows.PostMessageA(running, MsgQuit, 0, 0);
        platform.clock.Sleep(100);
        application.terminate();
        return;
    }
    if (running != 0) {
        platform.windows.PostMessageA(running, MsgShowWindow, 0, 0);
        application.terminate();
        return;
    }

    TStellmarkForm form(application, platform);
    application.setMainForm(&form);
    form.create();
    application.run();
    form.destroy();
}

}  // namespace app
