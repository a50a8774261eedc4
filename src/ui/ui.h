// Our small widget toolkit. Every control is a plain object that holds its state
// and raises its events by fixed rules; a backend (headless for tests, Win32 for
// the real program) mirrors that state onto real windows and feeds user actions
// back in through the user* methods. No Windows header may be included here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ui {

// Window message numbers the portable code needs. They are the platform's values.
constexpr std::uint32_t WM_CLOSE_ = 0x0010;
constexpr std::uint32_t WM_SYSCOMMAND_ = 0x0112;
constexpr std::uintptr_t SC_CLOSE_ = 0xF060;
constexpr std::uint32_t WM_APP_ = 0x8000;

enum class ModalResult { None = 0, OK = 1, Cancel = 2, Yes = 6 };
enum class BoxKind { Information, Confirmation };

enum class Kind {
    Form, PageControl, Page, Panel, Label, Button, CheckBox, ComboBox, TrackBar,
    Image, TrayIcon, PopupMenu, MenuItem, Timer, ImageButton, ListBox, SpinEdit, Edit
};

// Which piece of a control's state code has just changed; a backend re-applies it.
enum class Prop {
    Caption, Hint, Visible, Enabled, Bounds, Checked, Items, ItemIndex, Position,
    Range, Icon, ActivePage, Interval, Front, Text, ImageIndex, Focus
};

struct Message {
    std::uint32_t msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::intptr_t result = 0;
};

class Control;
class Form;
class Application;
class Action;
class PopupMenu;
class Timer;

// The backend side of one control: told about every change made by code.
class Peer {
public:
    virtual ~Peer() = default;
    virtual void changed(Prop what) = 0;
};

class Control {
public:
    Control(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    Control* parent() const { return parent_; }
    Form* form() const { return form_; }
    const std::vector<Control*>& children() const { return children_; }

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setBounds(int left, int top, int width, int height);

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    const std::string& hint() const { return hint_; }
    void setHint(const std::string& text);
    bool visible() const { return visible_; }
    void setVisible(bool v);
    bool enabled() const { return enabled_; }
    void setEnabled(bool e);
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    Action* action() const { return action_; }
    // A font of its own (face and pixel height); an empty face is the form's font.
    const std::string& fontName() const { return fontName_; }
    int fontHeight() const { return fontHeight_; }
    void setFont(const std::string& face, int pixelHeight) {
        fontName_ = face;
        fontHeight_ = pixelHeight;
    }

    // Gives this control the keyboard focus; the control that had it loses it first.
    void setFocus();
    bool focused() const;
    // The focus has left this control (see Form::moveFocus).
    virtual void focusLost() {}
    // The user put the keyboard focus on this control. Where it is the window's focused
    // control already (the focus given back with the window, see Form::focusComesBack),
    // nothing is raised; otherwise the control that had it loses it and this one hears
    // that it was entered.
    void userFocus();
    // The focus left this control, for another window, for a control that does not tell
    // that it has it, or for nowhere.
    void userBlur();

    Peer* peer() const { return peer_.get(); }
    void setPeer(std::unique_ptr<Peer> p) { peer_ = std::move(p); }

    // Called by the form when it builds the control into its tree.
    void attach(Form* form, Control* parent);
    void bindAction(Action* a);

protected:
    // The focus has come to this control from elsewhere (see userFocus).
    virtual void entered() {}
    void notify(Prop what) { if (peer_) peer_->changed(what); }
    // Runs an event handler through the application's one dispatcher.
    void raise(const std::function<void()>& handler);

    Kind kind_;
    std::string name_;
    Control* parent_ = nullptr;
    Form* form_ = nullptr;
    std::vector<Control*> children_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_, hint_;
    bool visible_ = true, enabled_ = true;
    int tag_ = 0;
    Action* action_ = nullptr;
    std::string fontName_;
    int fontHeight_ = 0;
    std::unique_ptr<Peer> peer_;
};

// A shared command: caption, hint, check mark and one handler for every control
// bound to it (check boxes, menu items, buttons).
class Action {
public:
    explicit Action(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    std::string caption, hint;
    bool checkable = false;
    std::function<void()> onExecute;

    bool checked() const { return checked_; }
    // From code: every bound control follows, no handler runs.
    void setChecked(bool c);
    // A bound control was used: flip when checkable, then run the handler.
    void execute();

    void bind(Control* c) { bound_.push_back(c); }
    const std::vector<Control*>& bound() const { return bound_; }
    void setApplication(Application* app) { app_ = app; }

private:
    std::string name_;
    bool checked_ = false;
    std::vector<Control*> bound_;
    Application* app_ = nullptr;
};

class Label : public Control {
public:
    explicit Label(std::string name) : Control(Kind::Label, std::move(name)) {}
    std::function<void()> onClick;
    void userClick() { raise(onClick); }
};

class Button : public Control {
public:
    explicit Button(std::string name) : Control(Kind::Button, std::move(name)) {}
    std::function<void()> onClick;
    // In a modal dialog: a click closes it with this result (None: stays open).
    ModalResult modalResult = ModalResult::None;
    bool isDefault = false;  // Enter clicks it
    bool isCancel = false;   // Escape clicks it
    void userClick();
};

class CheckBox : public Control {
public:
    explicit CheckBox(std::string name) : Control(Kind::CheckBox, std::move(name)) {}
    std::function<void()> onChange;
    bool checked() const { return checked_; }
    // From code: raises onChange when the tick changes; a bound action and its
    // other controls follow without running the action's handler.
    void setChecked(bool c);
    void userClick();
    // Used by Action to mirror its state; raises onChange on a change.
    void followAction(bool c);

private:
    bool checked_ = false;
};

class ComboBox : public Control {
public:
    explicit ComboBox(std::string name) : Control(Kind::ComboBox, std::move(name)) {}
    std::function<void()> onChange, onSelect;
    // Raised when the focus comes to the list from another control of the window, not
    // when it comes back with the window's activation.
    std::function<void()> onEnter;
    // With a text field of its own that the user may type into; otherwise pick only.
    // Fixed before the window is made.
    bool editable = false;
    const std::vector<std::string>& items() const { return items_; }
    int itemCount() const { return static_cast<int>(items_.size()); }
    void addItem(const std::string& text);
    void insertItem(int index, const std::string& text);
    void clear();
    int itemIndex() const { return index_; }
    // -1 clears the selection; an index outside the items is ignored.
    void setItemIndex(int index);
    // Editable: the text field. Pick only: the selected item, or nothing.
    std::string text() const;
    // From code, raising nothing: an editable list shows the text; a pick-only list
    // selects the first item equal to it, or nothing when there is none.
    void setText(const std::string& text);
    void userPick(int index);
    // Editable only: the user changed the text field to this text.
    void userType(const std::string& text);

protected:
    void entered() override { raise(onEnter); }

private:
    std::vector<std::string> items_;
    int index_ = -1;
    std::string text_;  // the text field of an editable list
};

class TrackBar : public Control {
public:
    explicit TrackBar(std::string name) : Control(Kind::TrackBar, std::move(name)) {}
    std::function<void()> onChange;
    int min() const { return min_; }
    int max() const { return max_; }
    int position() const { return position_; }
    // Sets the range; a position outside it is clamped silently.
    void setRange(int min, int max);
    // Clamped to the range; raises onChange at once when the position changed.
    void setPosition(int p);
    void userMoveTo(int p) { setPosition(p); }
    // While a design is loaded nothing is raised.
    void setPositionSilently(int p);

private:
    int min_ = 0, max_ = 10, position_ = 0;
};

// A list of texts with at most one selected.
class ListBox : public Control {
public:
    explicit ListBox(std::string name) : Control(Kind::ListBox, std::move(name)) {}
    std::function<void(bool user)> onSelectionChange;
    const std::vector<std::string>& items() const { return items_; }
    int itemCount() const { return static_cast<int>(items_.size()); }
    void addItem(const std::string& text);
    // Leaves no selection and raises nothing.
    void clear();
    int itemIndex() const { return index_; }
    // From code: a different index within the items (or -1) raises
    // onSelectionChange(false) before returning; anything else is ignored.
    void setItemIndex(int index);
    void userSelect(int index);

private:
    std::vector<std::string> items_;
    int index_ = -1;
};

// An integer field with up and down buttons. Its value stays within min..max.
class SpinEdit : public Control {
public:
    explicit SpinEdit(std::string name) : Control(Kind::SpinEdit, std::move(name)) {}
    // Enter, or the focus leaving the box.
    std::function<void()> onEditingDone;
    std::int64_t value() const { return value_; }
    std::int64_t minValue() const { return min_; }
    std::int64_t maxValue() const { return max_; }
    // From code: raise nothing and clear modified(); the value is kept within the range.
    void setValue(std::int64_t v);
    void setMaxValue(std::int64_t v);
    void setMinValue(std::int64_t v);
    // Whether the user changed the value since code last set it.
    bool modified() const { return modified_; }
    void clearModified() { modified_ = false; }

    // The user typing a number or using the arrows; kept within the range.
    void userType(std::int64_t v);
    void userPressEnter() { raise(onEditingDone); }
    void focusLost() override { raise(onEditingDone); }

private:
    void clampValue();
    std::int64_t value_ = 0, min_ = 0, max_ = 100;
    bool modified_ = false;
};

// A one-line text field without a length limit.
class Edit : public Control {
public:
    explicit Edit(std::string name) : Control(Kind::Edit, std::move(name)) {}
    std::function<void()> onChange;
    // The text is the caption; setting it from code raises nothing.
    const std::string& text() const { return caption_; }
    void userType(const std::string& text);
};

// A picture holder that the user never sees; it lends its icon to the tray icon.
class Image : public Control {
public:
    explicit Image(std::string name) : Control(Kind::Image, std::move(name)) {}
    int icon = 0;
};

// Pictures of one size for image buttons, as 32-bit pixels 0xAARRGGBB, rows from the top.
struct ImageList {
    int width = 0, height = 0;
    std::vector<std::vector<std::uint32_t>> images;
    int count() const { return static_cast<int>(images.size()); }
};

// A flat button that shows one picture of an image list and takes no focus.
class ImageButton : public Control {
public:
    explicit ImageButton(std::string name) : Control(Kind::ImageButton, std::move(name)) {}
    std::function<void()> onClick;
    const ImageList* images = nullptr;  // fixed before the window is made
    int imageIndex() const { return image_; }
    // Any number; a picture is shown only while it names one of the list.
    void setImageIndex(int index);
    bool showsImage() const { return images && image_ >= 0 && image_ < images->count(); }
    void userClick() {
        if (enabled_) raise(onClick);
    }

private:
    int image_ = -1;
};

class Panel : public Control {
public:
    explicit Panel(std::string name, Kind kind = Kind::Panel) : Control(kind, std::move(name)) {}
};

class PageControl : public Control {
public:
    explicit PageControl(std::string name) : Control(Kind::PageControl, std::move(name)) {}
    std::function<void(bool& allow)> onChanging;
    std::function<void()> onChange;
    std::vector<Panel*> pages() const;
    int activePage() const { return active_; }
    // From code: switches without any event.
    void setActivePage(int index);
    void userSelectTab(int index);

private:
    int active_ = 0;
};

class MenuItem : public Control {
public:
    explicit MenuItem(std::string name) : Control(Kind::MenuItem, std::move(name)) {}
    std::function<void()> onClick;
    bool checked() const;
    void userClick();
};

class PopupMenu : public Control {
public:
    explicit PopupMenu(std::string name) : Control(Kind::PopupMenu, std::move(name)) {}
    std::vector<MenuItem*> items() const;
};

class TrayIcon : public Control {
public:
    static constexpr size_t kMaxHint = 127;  // UTF-16 units the shell holds
    explicit TrayIcon(std::string name) : Control(Kind::TrayIcon, std::move(name)) {}
    std::function<void()> onClick, onDblClick;
    PopupMenu* popupMenu = nullptr;
    int icon() const { return icon_; }
    void setIcon(int id);
    // Cut to what the shell can hold, never inside a character.
    void setTrayHint(const std::string& text);
    void userLeftUp() { raise(onClick); }
    void userDoubleClick() { raise(onDblClick); }
    void userRightUp();

private:
    int icon_ = 0;
};

class Timer : public Control {
public:
    explicit Timer(std::string name) : Control(Kind::Timer, std::move(name)) {}
    std::function<void()> onTimer;
    std::uint32_t interval() const { return interval_; }
    void setInterval(std::uint32_t ms);
    bool isEnabled() const { return enabled_; }
    // A tick: runs onTimer while enabled, unless a timer's handler is running already
    // (see Application::timerTick).
    void fire();

private:
    std::uint32_t interval_ = 1000;
};

class Form : public Control {
public:
    Form(Application& app, std::string name);
    ~Form() override;

    Application& application() const { return app_; }
    // The platform's handle of the form's window, once the backend made one; 0 before.
    std::uintptr_t handle() const { return handle_; }
    void setHandle(std::uintptr_t h) { handle_ = h; }
    int clientWidth() const { return width_; }
    int clientHeight() const { return height_; }

    std::function<void()> onCreate, onShow, onHide, onDestroy;
    std::function<void(bool& canClose)> onCloseQuery;
    // Sees every message of the window first; returns true when it consumed it.
    std::function<bool(Message&)> wndProcHook;

    // Ownership of all controls built into this form.
    template <class T, class... A> T* add(Control* parent, A&&... args) {
        auto c = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = c.get();
        raw->attach(this, parent ? parent : this);
        owned_.push_back(std::move(c));
        return raw;
    }
    Action* addAction(const std::string& name);
    Control* find(const std::string& name) const;
    template <class T> T* get(const std::string& name) const { return dynamic_cast<T*>(find(name)); }
    // The control of that name and kind, which the form's design must have.
    template <class T> T* need(const std::string& name) const {
        T* c = get<T>(name);
        if (!c) throw std::logic_error("The design of " + name_ + " lacks " + name);
        return c;
    }
    Action* findAction(const std::string& name) const;
    const std::vector<std::unique_ptr<Control>>& controls() const { return owned_; }
    const std::vector<std::unique_ptr<Action>>& actions() const { return actions_; }
    std::vector<Timer*> timers() const;

    // A dialog's frame: a border without title-bar buttons.
    bool dialogBorder = false;
    // Shows the form as a modal dialog until a button with a modal result is used
    // (or the form is closed: Cancel); timers go on running meanwhile.
    ModalResult showModal();
    ModalResult modalResult() const { return modalResult_; }
    void setModalResult(ModalResult r) { modalResult_ = r; }
    // The control with the keyboard focus, or null.
    Control* focusedControl() const { return focused_; }
    // The focus goes to `to` (null: nowhere); the control that had it hears so first.
    void moveFocus(Control* to);
    // The window is active again and gives the focus back to `to` (null: to none), the
    // control that had it when the window was left. It is the focused control again and
    // nothing is raised: the user only comes back to where they were, and a list keeps
    // what was typed into it.
    void focusComesBack(Control* to) { focused_ = to; }
    // The platform's handle of the form's window (0 when it has none).
    std::uintptr_t windowHandle() const;

    void show();  // visible and to the front; onShow only when it was hidden
    void hide();  // onHide only when it was visible
    // A close request through the toolkit: the close query decides.
    void close();
    // Queues a message for this form; a message that cannot be queued raises an error,
    // so a poll or a start step that relies on it never stops unnoticed.
    void post(std::uint32_t msg, std::uintptr_t w = 0, std::intptr_t l = 0);
    // Lets programs of a lower integrity level (a normal start while this copy runs
    // as administrator) post this message to the form's window; nothing else of
    // theirs gets through.
    void acceptFromOtherPrograms(std::uint32_t msg);
    // The form's message path: the hook first, then the inherited procedure.
    std::intptr_t handleMessage(Message& m);
    std::intptr_t inherited(Message& m);

    // Raised by the backend once its windows exist (the design is loaded).
    void created() { raise(onCreate); }
    void destroyed() { raise(onDestroy); }
    // Lets the backend tear down every window of the form while the whole form
    // object still exists; afterwards no message reaches it.
    void releaseWindows();

private:
    Application& app_;
    std::uintptr_t handle_ = 0;
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<std::unique_ptr<Action>> actions_;
    ModalResult modalResult_ = ModalResult::None;
    Control* focused_ = nullptr;
};

// What a form's windows need from the backend besides per-control peers.
class Backend {
public:
    virtual ~Backend() = default;
    // Sets the application up (Win32: registers the one window class and creates
    // the hidden application window carrying the title).
    virtual void initialise(Application& app) = 0;
    virtual void titleChanged(Application& app) = 0;
    // Gives every control of the form (and the form) its peer.
    virtual void realize(Form& form) = 0;
    // False when the message could not be queued.
    virtual bool post(Form& form, const Message& m) = 0;
    virtual void acceptFromOtherPrograms(Form& form, std::uint32_t msg) = 0;
    virtual ModalResult messageBox(Form* owner, BoxKind kind, const std::string& text) = 0;
    virtual void popup(PopupMenu& menu) = 0;
    // The inherited window procedure for messages the toolkit does not handle.
    virtual std::intptr_t defaultProc(Form& form, Message& m) = 0;
    virtual void run(Application& app) = 0;
    virtual void quit() = 0;
    // Reports an error caught at the dispatcher in a modal box; timers go on meanwhile.
    virtual void reportError(const std::string& what) = 0;
    // Runs a modal loop for the form until its modal result is set; realizes the
    // form when it has no windows yet.
    virtual ModalResult showModal(Form& form) = 0;
    virtual std::uintptr_t windowHandle(Form& form) = 0;
};

class Application {
public:
    explicit Application(Backend& backend) : backend_(backend) {}
    Backend& backend() const { return backend_; }
    const std::string& title() const { return title_; }
    void initialise() { backend_.initialise(*this); }
    void setTitle(const std::string& t) {
        title_ = t;
        backend_.titleChanged(*this);
    }
    bool scaled = false;  // design units scaled to the screen's density
    Form* mainForm() const { return main_; }
    void setMainForm(Form* f) { main_ = f; }

    // Shows the main form, then dispatches until terminate() takes effect.
    void run();
    void terminate();
    bool terminated() const { return terminated_; }

    ModalResult showMessage(const std::string& text) {
        return backend_.messageBox(main_, BoxKind::Information, text);
    }
    ModalResult confirm(const std::string& text) {
        return backend_.messageBox(main_, BoxKind::Confirmation, text);
    }

    // Every handler runs through here. The outermost call catches what a
    // handler throws and reports it, so nothing unwinds through the backend.
    void dispatch(const std::function<void()>& handler);
    // Entry from a native callback (window procedure, modal loop, timer): always
    // catches, whatever dispatch is running further up the stack.
    void boundary(const std::function<void()>& handler);
    // Runs a timer's handler through the dispatcher. A tick that arrives while a
    // timer's handler runs (a modal loop inside it, as while an out-of-process call
    // waits) is skipped: the next one comes. The handler counts as running until it
    // returns or throws, so an error box shown for it lets ticks through again.
    void timerTick(const std::function<void()>& handler);
    // Runs work that does a timer's job outside its timer (a tick run at once when the
    // window is shown) under the same rule: ticks arriving meanwhile are skipped.
    void asTimerHandler(const std::function<void()>& work);
    bool timerHandlerRunning() const { return timerRunning_; }

private:
    void report(const std::string& what);

    Backend& backend_;
    std::string title_;
    Form* main_ = nullptr;
    bool terminated_ = false;
    int depth_ = 0;
    bool reporting_ = false;  // an error box is open
    bool timerRunning_ = false;
};

}  // namespace ui
