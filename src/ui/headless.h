// The toolkit without windows: a backend for tests that records what a person
// would have seen (message boxes, menus) and lets the test drive time and the
// message queue.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/ui.h"

namespace ui {

class HeadlessBackend : public Backend {
public:
    // clock: the simulated Windows' millisecond counter, advanced with the timers.
    explicit HeadlessBackend(std::uint64_t* clock = nullptr) : clock_(clock ? clock : &ownClock_) {}

    struct Box {
        BoxKind kind;
        std::string text;
    };
    std::vector<Box> boxes;                 // every modal box shown, in order
    std::deque<ModalResult> answers;        // scripted answers; empty: OK / Yes
    std::function<void()> whileModal;       // runs while a box (error boxes too) is open
    // Runs while a modal dialog is open: the test plays the user (a button with a
    // modal result closes it). Without it, or when nothing closed it: Cancel.
    std::function<void(Form&)> whileDialog;
    std::vector<std::string> dialogs;       // modal dialogs shown, by form name
    std::vector<std::string> errors;        // errors caught at the dispatcher, each in a box
    std::vector<Message> defaultHandled;    // messages that reached the inherited procedure
    std::vector<std::string> popups;        // menus opened, by name
    std::function<bool(Application&)> onIdle;  // the loop's idle step; false ends run()
    bool initialised = false;
    std::string windowTitle;                // the hidden application window's text
    bool quitPosted = false;
    bool queueFull = false;                 // posts fail, as on a full message queue
    // Messages each form's window takes from programs of a lower integrity level.
    std::vector<std::pair<Form*, std::uint32_t>> acceptedFromOthers;

    // Delivers posted messages in order until none is left.
    void drain();
    // Moves the clock forward, firing enabled timers when they fall due.
    void advance(std::uint64_t ms);
    std::uint64_t now() const { return *clock_; }
    std::size_t pending() const { return queue_.size(); }

    void initialise(Application& app) override;
    void titleChanged(Application& app) override { windowTitle = app.title(); }
    void realize(Form& form) override;
    bool post(Form& form, const Message& m) override;
    void acceptFromOtherPrograms(Form& form, std::uint32_t msg) override { acceptedFromOthers.emplace_back(&form, msg); }
    ModalResult messageBox(Form* owner, BoxKind kind, const std::string& text) override;
    void popup(PopupMenu& menu) override { popups.push_back(menu.name()); }
    std::intptr_t defaultProc(Form& form, Message& m) override;
    void run(Application& app) override;
    void quit() override { quitPosted = true; }
    void reportError(const std::string& what) override;
    ModalResult showModal(Form& form) override;
    // A stand-in handle that tells the forms apart.
    std::uintptr_t windowHandle(Form& form) override { return reinterpret_cast<std::uintptr_t>(&form); }

    // Bookkeeping of one timer (SetTimer semantics: re-armed on every change).
    struct TimerState {
        Timer* timer;
        std::uint64_t due;
    };
    void rearm(Timer& t);

private:
    struct Posted {
        Form* form;
        Message m;
    };
    std::deque<Posted> queue_;
    std::vector<TimerState> timers_;
    std::uint64_t ownClock_ = 0;
    std::uintptr_t nextHandle_ = 0xF0000;
    std::uint64_t* clock_;
    Application* app_ = nullptr;
};

}  // namespace ui
