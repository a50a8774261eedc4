#include "ui/ui.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

namespace ui {

// ---- Control ----

void Control::attach(Form* form, Control* parent) {
    form_ = form;
    parent_ = parent;
    if (parent && parent != this) parent->children_.push_back(this);
}

void Control::bindAction(Action* a) {
    action_ = a;
    if (!a) return;
    a->bind(this);
    if (caption_.empty()) caption_ = a->caption;
    if (hint_.empty()) hint_ = a->hint;
}

void Control::setBounds(int left, int top, int width, int height) {
    left_ = left; top_ = top; width_ = width; height_ = height;
    notify(Prop::Bounds);
}

void Control::setCaption(const std::string& text) {
    if (caption_ == text) return;
    caption_ = text;
    notify(Prop::Caption);
}

void Control::setHint(const std::string& text) {
    if (hint_ == text) return;
    hint_ = text;
    notify(Prop::Hint);
}

void Control::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    notify(Prop::Visible);
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    notify(Prop::Enabled);
}

void Control::setFocus() {
    if (form_) form_->moveFocus(this);
}

bool Control::focused() const { return form_ && form_->focusedControl() == this; }

void Control::userFocus() {
    if (form_) {
        if (focused()) return;
        form_->moveFocus(this);
        // A handler of the loss may have moved the focus on already.
        if (!focused()) return;
    }
    entered();
}

void Control::userBlur() {
    if (form_ && focused()) form_->moveFocus(nullptr);
}

void Control::raise(const std::function<void()>& handler) {
    if (!handler) return;
    if (form_) form_->application().dispatch(handler);
    else handler();
}

// ---- Action ----

void Action::setChecked(bool c) {
    if (checked_ == c) return;
    checked_ = c;
    for (Control* ctl : bound_) {
        if (auto* box = dynamic_cast<CheckBox*>(ctl)) box->followAction(c);
        else if (ctl->peer()) ctl->peer()->changed(Prop::Checked);
    }
}

void Action::execute() {
    auto run = [this] {
        if (checkable) setChecked(!checked_);
        if (onExecute) onExecute();
    };
    if (app_) app_->dispatch(run);
    else run();
}

// ---- Button, CheckBox, MenuItem ----

void Button::userClick() {
    if (action_) action_->execute();
    else raise(onClick);
    if (modalResult != ModalResult::None && form_) form_->setModalResult(modalResult);
}

void CheckBox::followAction(bool c) {
    if (checked_ == c) return;
    checked_ = c;
    notify(Prop::Checked);
    raise(onChange);
}

void CheckBox::setChecked(bool c) {
    if (action_) {
        action_->setChecked(c);  // reaches this box through followAction
        return;
    }
    followAction(c);
}

void CheckBox::userClick() {
    if (!enabled_) return;
    if (action_) action_->execute();
    else followAction(!checked_);
}

bool MenuItem::checked() const { return action_ && action_->checked(); }

void MenuItem::userClick() {
    if (!enabled_) return;
    if (action_) action_->execute();
    else raise(onClick);
}

std::vector<MenuItem*> PopupMenu::items() const {
    std::vector<MenuItem*> out;
    for (Control* c : children_)
        if (auto* m = dynamic_cast<MenuItem*>(c)) out.push_back(m);
    return out;
}

// ---- ComboBox ----

void ComboBox::addItem(const std::string& text) {
    items_.push_back(text);
    notify(Prop::Items);
}

void ComboBox::insertItem(int index, const std::string& text) {
    index = std::clamp(index, 0, itemCount());
    items_.insert(items_.begin() + index, text);
    if (index_ >= index) ++index_;
    notify(Prop::Items);
}

void ComboBox::clear() {
    items_.clear();
    index_ = -1;
    notify(Prop::Items);
}

void ComboBox::setItemIndex(int index) {
    if (index < -1 || index >= itemCount()) return;
    if (editable) setText(index >= 0 ? items_[static_cast<size_t>(index)] : std::string());
    if (index_ == index) return;
    index_ = index;
    notify(Prop::ItemIndex);
}

std::string ComboBox::text() const {
    if (editable) return text_;
    return index_ >= 0 ? items_[static_cast<size_t>(index_)] : std::string();
}

void ComboBox::setText(const std::string& text) {
    if (!editable) {
        const auto at = std::find(items_.begin(), items_.end(), text);
        setItemIndex(at == items_.end() ? -1 : static_cast<int>(at - items_.begin()));
        return;
    }
    if (text_ == text) return;
    text_ = text;
    notify(Prop::Text);
}

void ComboBox::userPick(int index) {
    if (index < 0 || index >= itemCount()) return;
    index_ = index;
    if (editable) text_ = items_[static_cast<size_t>(index)];
    notify(Prop::ItemIndex);
    raise(onChange);
    raise(onSelect);
}

void ComboBox::userType(const std::string& text) {
    if (!editable) return;
    text_ = text;
    index_ = -1;
    raise(onChange);
}

// ---- ImageButton ----

void ImageButton::setImageIndex(int index) {
    if (image_ == index) return;
    image_ = index;
    notify(Prop::ImageIndex);
}

// ---- ListBox ----

void ListBox::addItem(const std::string& text) {
    items_.push_back(text);
    notify(Prop::Items);
}

void ListBox::clear() {
    items_.clear();
    index_ = -1;
    notify(Prop::Items);
}

void ListBox::setItemIndex(int index) {
    if (index < -1 || index >= itemCount() || index == index_) return;
    index_ = index;
    notify(Prop::ItemIndex);
    if (onSelectionChange) raise([this] { onSelectionChange(false); });
}

void ListBox::userSelect(int index) {
    if (index < 0 || index >= itemCount() || index == index_) return;
    index_ = index;
    notify(Prop::ItemIndex);
    if (onSelectionChange) raise([this] { onSelectionChange(true); });
}

// ---- SpinEdit, Edit ----

void SpinEdit::clampValue() { value_ = std::clamp(value_, min_, std::max(min_, max_)); }

void SpinEdit::setValue(std::int64_t v) {
    value_ = v;
    clampValue();
    modified_ = false;
    notify(Prop::Position);
}

void SpinEdit::setMaxValue(std::int64_t v) {
    max_ = v;
    clampValue();
    notify(Prop::Range);
}

void SpinEdit::setMinValue(std::int64_t v) {
    min_ = v;
    clampValue();
    notify(Prop::Range);
}

void SpinEdit::userType(std::int64_t v) {
    const std::int64_t before = value_;
    value_ = v;
    clampValue();
    if (value_ != before) modified_ = true;
    notify(Prop::Position);
}

void Edit::userType(const std::string& text) {
    caption_ = text;
    notify(Prop::Caption);
    raise(onChange);
}

// ---- TrackBar ----

void TrackBar::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
    notify(Prop::Range);
}

void TrackBar::setPositionSilently(int p) {
    position_ = std::clamp(p, min_, max_);
    notify(Prop::Position);
}

void TrackBar::setPosition(int p) {
    p = std::clamp(p, min_, max_);
    if (p == position_) return;
    position_ = p;
    notify(Prop::Position);
    raise(onChange);
}

// ---- PageControl ----

std::vector<Panel*> PageControl::pages() const {
    std::vector<Panel*> out;
    for (Control* c : children_)
        if (c->kind() == Kind::Page) out.push_back(static_cast<Panel*>(c));
    return out;
}

void PageControl::setActivePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages().size()) || index == active_) return;
    active_ = index;
    notify(Prop::ActivePage);
}

void PageControl::userSelectTab(int index) {
    if (index < 0 || index >= static_cast<int>(pages().size()) || index == active_) return;
    bool allow = true;
    if (onChanging) raise([&] { onChanging(allow); });
    if (!allow) {
        notify(Prop::ActivePage);  // put the native tab back
        return;
    }
    active_ = index;
    notify(Prop::ActivePage);
    raise(onChange);
}

// ---- TrayIcon, Timer ----

void TrayIcon::setIcon(int id) {
    if (icon_ == id) return;
    icon_ = id;
    notify(Prop::Icon);
}

void TrayIcon::setTrayHint(const std::string& text) {
    size_t units = 0, end = 0;
    while (end < text.size()) {
        const auto lead = static_cast<unsigned char>(text[end]);
        const size_t bytes = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const size_t need = bytes == 4 ? 2 : 1;  // a surrogate pair beyond the basic plane
        if (units + need > kMaxHint || end + bytes > text.size()) break;
        units += need;
        end += bytes;
    }
    setHint(text.substr(0, end));
}

void TrayIcon::userRightUp() {
    if (!popupMenu) return;
    form_->application().backend().popup(*popupMenu);
}

void Timer::fire() {
    if (!enabled_ || !onTimer) return;
    if (form_) form_->application().timerTick(onTimer);
    else onTimer();
}

void Timer::setInterval(std::uint32_t ms) {
    if (interval_ == ms) return;
    interval_ = ms;
    notify(Prop::Interval);
}

// ---- Form ----

Form::Form(Application& app, std::string name) : Control(Kind::Form, std::move(name)), app_(app) {
    form_ = this;
    visible_ = false;
}

Form::~Form() = default;

void Form::releaseWindows() {
    wndProcHook = nullptr;
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) (*it)->setPeer(nullptr);
    setPeer(nullptr);
}

Action* Form::addAction(const std::string& name) {
    actions_.push_back(std::make_unique<Action>(name));
    actions_.back()->setApplication(&app_);
    return actions_.back().get();
}

Control* Form::find(const std::string& name) const {
    if (name == name_) return const_cast<Form*>(this);
    for (const auto& c : owned_)
        if (c->name() == name) return c.get();
    return nullptr;
}

Action* Form::findAction(const std::string& name) const {
    for (const auto& a : actions_)
        if (a->name() == name) return a.get();
    return nullptr;
}

std::vector<Timer*> Form::timers() const {
    std::vector<Timer*> out;
    for (const auto& c : owned_)
        if (c->kind() == Kind::Timer) out.push_back(static_cast<Timer*>(c.get()));
    return out;
}

ModalResult Form::showModal() {
    modalResult_ = ModalResult::None;
    return app_.backend().showModal(*this);
}

std::uintptr_t Form::windowHandle() const { return app_.backend().windowHandle(const_cast<Form&>(*this)); }

void Form::moveFocus(Control* to) {
    Control* from = focused_;
    if (from == to) return;
    focused_ = to;
    if (from) from->focusLost();
    // A handler of the loss may have moved the focus on already.
    if (to && focused_ == to && to->peer()) to->peer()->changed(Prop::Focus);
}

void Form::show() {
    if (visible_) {
        notify(Prop::Front);
        return;
    }
    visible_ = true;
    notify(Prop::Visible);
    notify(Prop::Front);
    raise(onShow);
}

void Form::hide() {
    if (!visible_) return;
    visible_ = false;
    notify(Prop::Visible);
    raise(onHide);
}

void Form::close() {
    bool canClose = true;
    if (onCloseQuery) raise([&] { onCloseQuery(canClose); });
    if (!canClose) return;
    if (app_.mainForm() == this) app_.terminate();
    else hide();
}

void Form::post(std::uint32_t msg, std::uintptr_t w, std::intptr_t l) {
    Message m;
    m.msg = msg;
    m.wParam = w;
    m.lParam = l;
    if (!app_.backend().post(*this, m))
        throw std::runtime_error("Cannot post the message " + std::to_string(msg) + " to the window " + name_);
}

void Form::acceptFromOtherPrograms(std::uint32_t msg) { app_.backend().acceptFromOtherPrograms(*this, msg); }

std::intptr_t Form::handleMessage(Message& m) {
    bool consumed = false;
    if (wndProcHook) app_.dispatch([&] { consumed = wndProcHook(m); });
    if (consumed) return m.result;
    return inherited(m);
}

std::intptr_t Form::inherited(Message& m) {
    if (m.msg == WM_CLOSE_) {
        close();
        return 0;
    }
    return app_.backend().defaultProc(*this, m);
}

// ---- Application ----

void Application::run() {
    if (terminated_ || !main_) return;
    backend_.run(*this);
}

void Application::terminate() {
    if (terminated_) return;
    terminated_ = true;
    backend_.quit();
}

void Application::dispatch(const std::function<void()>& handler) {
    if (!handler) return;
    if (depth_ > 0) {
        handler();
        return;
    }
    ++depth_;
    try {
        handler();
    } catch (const std::exception& e) {
        depth_ = 0;
        report(e.what());
        return;
    } catch (...) {
        depth_ = 0;
        report("Unknown error");
        return;
    }
    --depth_;
}

void Application::report(const std::string& what) {
    // The error box runs a modal loop that goes on delivering timer ticks: a handler
    // that fails on every tick would open box inside box without end. One box at a
    // time; what fails while it is open is not shown again.
    if (reporting_) return;
    reporting_ = true;
    backend_.reportError(what);
    reporting_ = false;
}

void Application::timerTick(const std::function<void()>& handler) {
    if (timerRunning_ || !handler) return;
    // Inside the dispatch, so that the flag is down again before an error is reported.
    dispatch([&] { asTimerHandler(handler); });
}

void Application::asTimerHandler(const std::function<void()>& work) {
    struct Restore {
        bool& flag;
        bool saved;
        ~Restore() { flag = saved; }
    } restore{timerRunning_, timerRunning_};
    timerRunning_ = true;
    work();
}

void Application::boundary(const std::function<void()>& handler) {
    int saved = depth_;
    depth_ = 0;
    dispatch(handler);
    depth_ = saved;
}

}  // namespace ui
