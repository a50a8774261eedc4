#include "ui/headless.h"

#include <algorithm>
#include <limits>

namespace ui {

namespace {

// A timer's peer re-arms it whenever code changes its interval or enabled state.
class TimerPeer : public Peer {
public:
    TimerPeer(HeadlessBackend& backend, Timer& timer) : backend_(backend), timer_(timer) {}
    void changed(Prop what) override {
        if (what == Prop::Enabled || what == Prop::Interval) backend_.rearm(timer_);
    }

private:
    HeadlessBackend& backend_;
    Timer& timer_;
};

}  // namespace

void HeadlessBackend::initialise(Application& app) {
    app_ = &app;
    initialised = true;
}

void HeadlessBackend::realize(Form& form) {
    app_ = &form.application();
    // A window handle of its own, as on Windows, so that no form passes for "no window".
    form.setHandle(nextHandle_ += 0x10);
    for (Timer* t : form.timers()) {
        t->setPeer(std::make_unique<TimerPeer>(*this, *t));
        timers_.push_back({t, *clock_ + t->interval()});
    }
}

void HeadlessBackend::rearm(Timer& t) {
    for (auto& s : timers_)
        if (s.timer == &t) s.due = *clock_ + t.interval();
}

bool HeadlessBackend::post(Form& form, const Message& m) {
    if (queueFull) return false;
    queue_.push_back({&form, m});
    return true;
}

void HeadlessBackend::drain() {
    while (!queue_.empty()) {
        if (app_ && app_->terminated()) return;
        Posted p = queue_.front();
        queue_.pop_front();
        p.form->application().boundary([&] { p.form->handleMessage(p.m); });
    }
}

void HeadlessBackend::advance(std::uint64_t ms) {
    const std::uint64_t end = *clock_ + ms;
    for (;;) {
        drain();
        TimerState* next = nullptr;
        for (auto& s : timers_)
            // SetTimer cannot run a timer without an interval: it never fires.
            if (s.timer->isEnabled() && s.timer->interval() > 0 && s.due <= end && (!next || s.due < next->due))
                next = &s;
        if (!next || (app_ && app_->terminated())) break;
        *clock_ = std::max(*clock_, next->due);
        next->due = *clock_ + next->timer->interval();
        Timer* t = next->timer;
        t->form()->application().boundary([t] { t->fire(); });
    }
    *clock_ = std::max(*clock_, end);
}

ModalResult HeadlessBackend::messageBox(Form*, BoxKind kind, const std::string& text) {
    boxes.push_back({kind, text});
    // As on Windows: once the application is told to end, every box answers Cancel.
    const auto ending = [this] { return app_ && app_->terminated(); };
    if (!ending() && whileModal) whileModal();
    if (ending()) return ModalResult::Cancel;
    if (!answers.empty()) {
        ModalResult r = answers.front();
        answers.pop_front();
        return r;
    }
    return kind == BoxKind::Information ? ModalResult::OK : ModalResult::Yes;
}

ModalResult HeadlessBackend::showModal(Form& form) {
    dialogs.push_back(form.name());
    // As on Windows: once the application is told to end, a dialog ends as Cancel.
    const auto ending = [&form] { return form.application().terminated(); };
    form.show();
    if (!ending() && whileDialog) whileDialog(form);
    form.hide();
    if (ending() || form.modalResult() == ModalResult::None) return ModalResult::Cancel;
    return form.modalResult();
}

std::intptr_t HeadlessBackend::defaultProc(Form& form, Message& m) {
    defaultHandled.push_back(m);
    // The platform's default for the close command family: a plain close request.
    if (m.msg == WM_SYSCOMMAND_ && (m.wParam & 0xFFF0) == SC_CLOSE_) {
        Message close;
        close.msg = WM_CLOSE_;
        return form.handleMessage(close);
    }
    return 0;
}

void HeadlessBackend::reportError(const std::string& what) {
    errors.push_back(what);
    if (whileModal) whileModal();
}

void HeadlessBackend::run(Application& app) {
    app_ = &app;
    Form* main = app.mainForm();
    app.boundary([main] { main->show(); });
    drain();
    while (!app.terminated() && onIdle && onIdle(app)) drain();
}

}  // namespace ui
