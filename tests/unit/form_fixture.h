// A fresh main window on a fresh simulated Windows, driven without any window.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/main_program.h"
#include "app/stellmark_form.h"
#include "sim/sim_windows.h"
#include "ui/headless.h"

class FormTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    platform::Platform os = win.platform();
    ui::HeadlessBackend backend{&win.tick};
    ui::Application application{backend};
    std::unique_ptr<app::TStellmarkForm> form;

    // A user at the keyboard of a machine on mains power.
    FormTest() {
        win.addStandardSchemes();
        win.lastInputTick = static_cast<std::uint32_t>(win.tick);
    }

    // The settings key as a first save of the standard options leaves it: every value
    // the read requires, nothing else.
    static constexpr char kKey[] = "Software\\KZQStellmark";
    void storeSettings() {
        for (auto [name, value] : {std::pair<const char*, std::uint32_t>{"paused", 0}, {"checktemp", 1}, {"checkidle", 1},
                                   {"lowcpu", 20}, {"highcpu", 75}, {"checkstime", 1000}, {"mintime", 4000},
                                   {"templimit", 90}, {"idletime", 5}})
            win.setRegDword(kKey, name, value);
        win.setRegGuid(kKey, "lowscheme", platform::guidFromText(sim::kPowerSaver));
        win.setRegGuid(kKey, "highscheme", platform::guidFromText(sim::kBalanced));
    }

    // Creates the main window (running its start sequence) without showing it.
    app::TStellmarkForm& create() {
        application.initialise();
        form = std::make_unique<app::TStellmarkForm>(application, os);
        application.setMainForm(form.get());
        form->create();
        return *form;
    }
    // Creates it and runs the loop once: shown, posted messages delivered.
    app::TStellmarkForm& start() {
        create();
        application.run();
        return *form;
    }
    void send(std::uint32_t msg, std::uintptr_t w = 0) {
        ui::Message m;
        m.msg = msg;
        m.wParam = w;
        form->handleMessage(m);
        backend.drain();
    }
};
