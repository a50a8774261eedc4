#include "ui/win32/win32_backend.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "ui/design.h"

namespace ui::win32 {

namespace {

// ---- helpers ----

std::wstring windowText(HWND h) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// GetProcAddress hands out a generic pointer; void(*)() is the one type GCC lets
// us cast through without a warning.
template <class F> void lookUp(F& out, HMODULE module, const char* name) {
    out = nullptr;
    if (!module) return;
    if (FARPROC p = GetProcAddress(module, name))
        out = reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

template <class T> LPARAM asLParam(T* p) { return reinterpret_cast<LPARAM>(p); }

int scaleBy(int v, UINT dpi) { return MulDiv(v, static_cast<int>(dpi), 96); }

// ---- windows of our own class ----

// The class procedure hands every message to the object that created the window.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    virtual LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

LRESULT CALLBACK classProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* target = reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (!target) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return target->handle(hwnd, msg, wParam, lParam);
}

}  // namespace

// The classes below are this file's own; they live in the named namespace only
// because the backend's header refers to FormWindow.

class ControlPeer;
class TrayPeer;
class TimerPeer;

// The native side of one form: its window, tooltip, font and the peers of its
// controls. All of it goes at once when the form object is destroyed.
class FormWindow final : public NativeWindow {
public:
    FormWindow(Win32Backend& backend, Form& form) : backend_(backend), form_(&form) {}
    ~FormWindow() override { teardown(); }

    void create();
    void createPeer(Control& c);
    void finish();
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void apply(Prop what);

    Win32Backend& backend() const { return backend_; }
    Form* form() const { return form_; }  // null once torn down
    bool tornDown() const { return torn_; }
    HWND hwnd() const { return hwnd_; }
    HFONT font() const { return font_; }
    int scale(int v) const { return scaleBy(v, dpi_); }
    UINT realDpi() const;
    // The pixel size of the notification icons: the small-icon size at the density of
    // the taskbar that holds them, as it was when the display last changed.
    int trayIconSize() const { return trayIconSize_; }

    // The window that holds the children of a control; the form's for the form.
    HWND windowFor(const Control* c) const;
    ControlPeer* peerOf(HWND h) const;
    UINT nextId() { return nextId_++; }
    void setHint(HWND control, const std::string& hint);
    // The system colour behind the children of a window of this form.
    int backgroundOf(HWND container) const;
    UINT addTray(TrayPeer* t) {
        trays_.push_back(t);
        return static_cast<UINT>(trays_.size());
    }
    UINT addTimer(TimerPeer* t) {
        timers_.push_back(t);
        return static_cast<UINT>(timers_.size());
    }

    // The notifications of the standard controls, sent to whichever window holds them.
    bool controlEvent(HWND container, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool timer(WPARAM id);
    void trayEvent(WPARAM id, LPARAM mouse);
    void shellRestarted();
    // The display settings or a density changed: the notification icons are made again
    // where the taskbar's size changed.
    void displayChanged();
    // The size the window takes at a new density, asked before the change.
    SIZE scaledSize(UINT dpi) const;
    void dpiChanged(UINT dpi, const RECT& suggested);
    // The user's move or resize of the window with the mouse (or the keyboard) begins or ends.
    void moveStarted() { moving_ = true; }
    void moveEnded();
    // As a dialog does, the window remembers the control with the focus before it loses
    // it: when another window becomes active, and when a box of the program is about to
    // open, for which the system disables the window and takes the focus before the box
    // is active.
    void keepFocus();
    // Active again, the control that had the focus gets it back, where it is still shown
    // and enabled; false when it did not.
    bool restoreFocus();

    void teardown();
    // The window a dialog stays in front of; set before create().
    void setOwner(HWND owner) { owner_ = owner; }
    // The font of a control: its own face when it names one, else the form's.
    HFONT fontFor(const Control& c);

private:
    // A dialog's frame has no title-bar buttons.
    DWORD style() const {
        return form_ && form_->dialogBorder ? WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN
                                            : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    }
    DWORD exStyle() const { return form_ && form_->dialogBorder ? WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT : 0; }

    HFONT makeFont() const;
    int taskbarIconSize() const;
    // The density the design is laid out at on a screen of that density, before any fit.
    int designDpi(UINT screenDpi) const;
    // The system's frame around the client area, drawn at the screen's density.
    SIZE frameAt(UINT screenDpi) const;
    // The density and the screen rectangle of the window at a screen density: its
    // design scaled to that density, shrunk where it would not fit the work area of
    // its monitor; centred on the owner or the screen.
    ui::WindowPlace fitted(UINT screenDpi) const;
    void place(UINT screenDpi);
    void moveTo(const ui::WindowPlace& p);
    // Every monitor with its density (0 where the system cannot tell it).
    std::vector<ui::MonitorArea> monitors() const;
    // The window's rectangle and the work area of the monitor nearest to it; false
    // before the window exists.
    bool whereNow(ui::Area& window, ui::Area& work) const;
    // The window's top left moved to that of `to`, its size kept.
    void moveTopLeft(const ui::Area& now, const ui::Area& to);
    // A window shown again stays where it was, unless it can no longer be taken hold of.
    void placeAtShow();
    // New fonts and positions for every control after a change of density.
    void rescale(UINT dpi);

    Win32Backend& backend_;
    Form* form_;
    bool torn_ = false;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    std::map<std::pair<std::string, int>, HFONT> ownFonts_;  // by face and pixel height at dpi_
    HWND owner_ = nullptr;
    UINT dpi_ = 96;
    bool moving_ = false;
    bool densityChangedInMove_ = false;  // since the move began; the window is pulled in at its end
    HWND focusKept_ = nullptr;  // the focused control when the window was last left
    int trayIconSize_ = 16;
    UINT nextId_ = 100;
    std::vector<ControlPeer*> peers_;  // in creation order, parents first
    std::unordered_map<HWND, ControlPeer*> byWindow_;
    std::vector<TrayPeer*> trays_;    // id = position + 1
    std::vector<TimerPeer*> timers_;  // id = position + 1
    std::vector<HWND> tools_;         // windows that have a tooltip
};

// The peer of the form itself; it owns the form's native side.
class FormPeer final : public Peer {
public:
    FormPeer(Win32Backend& backend, Form& form) : window_(std::make_unique<FormWindow>(backend, form)) {}
    ~FormPeer() override { window_->teardown(); }
    void changed(Prop what) override { window_->apply(what); }
    FormWindow& window() { return *window_; }

private:
    std::unique_ptr<FormWindow> window_;
};

// ---- control peers ----

class ControlPeer : public Peer {
public:
    ControlPeer(FormWindow& fw, Control& c) : fw_(fw), c_(c) {}
    // The first control to go takes the whole form's windows with it: controls
    // only die with their form, and no message may reach a half-destroyed form.
    ~ControlPeer() override { fw_.teardown(); }

    void changed(Prop what) override {
        if (!fw_.tornDown()) apply(what);
    }
    virtual void create() {}
    virtual void apply(Prop what);
    virtual bool command(UINT /*code*/) { return false; }
    virtual bool notify(const NMHDR& /*n*/, LRESULT& /*result*/) { return false; }
    virtual bool scroll() { return false; }
    virtual bool draw(const DRAWITEMSTRUCT& /*d*/) { return false; }
    // Labels, check boxes and sliders draw on their parent's background.
    virtual bool paintsOnParent() const { return false; }
    virtual bool shown() const { return c_.visible(); }
    virtual void layout();
    // The system colour behind this window's children.
    virtual int background() const { return COLOR_BTNFACE; }
    // The window this control's window is a child of.
    virtual HWND parentWindow() const { return fw_.windowFor(c_.parent()); }

    HWND hwnd() const { return hwnd_; }
    Control& control() const { return c_; }

protected:
    void createWindow(const wchar_t* cls, DWORD style, DWORD exStyle, const std::string& text,
                      void* param = nullptr);
    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return SendMessageW(hwnd_, msg, w, l); }

    FormWindow& fw_;
    Control& c_;
    HWND hwnd_ = nullptr;
};

void ControlPeer::createWindow(const wchar_t* cls, DWORD style, DWORD exStyle, const std::string& text,
                               void* param) {
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (shown()) style |= WS_VISIBLE;
    if (!c_.enabled()) style |= WS_DISABLED;
    hwnd_ = CreateWindowExW(exStyle | WS_EX_NOPARENTNOTIFY, cls, widen(text).c_str(), style, 0, 0, 0, 0,
                            parentWindow(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(fw_.nextId())),
                            fw_.backend().instance(), param);
    if (!hwnd_) throw std::runtime_error("Cannot create the window of " + c_.name());
    send(WM_SETFONT, reinterpret_cast<WPARAM>(fw_.fontFor(c_)), FALSE);
    layout();
    if (!c_.hint().empty()) fw_.setHint(hwnd_, c_.hint());
}

void ControlPeer::apply(Prop what) {
    if (!hwnd_) return;
    switch (what) {
        case Prop::Caption: SetWindowTextW(hwnd_, widen(c_.caption()).c_str()); break;
        case Prop::Hint: fw_.setHint(hwnd_, c_.hint()); break;
        case Prop::Visible: ShowWindow(hwnd_, shown() ? SW_SHOWNA : SW_HIDE); break;
        case Prop::Enabled: EnableWindow(hwnd_, c_.enabled()); break;
        case Prop::Bounds: layout(); break;
        case Prop::Focus: SetFocus(hwnd_); break;
        default: break;
    }
}

void ControlPeer::layout() {
    if (!hwnd_) return;
    const int l = fw_.scale(c_.left()), t = fw_.scale(c_.top());
    const int r = fw_.scale(c_.left() + c_.width()), b = fw_.scale(c_.top() + c_.height());
    SetWindowPos(hwnd_, nullptr, l, t, r - l, b - t, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Images, menus and their items have no window: menus are built when they open.
class NullPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void apply(Prop) override {}
};

class LabelPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override { createWindow(WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOTIFY, 0, c_.caption()); }
    bool command(UINT code) override {
        if (code != STN_CLICKED) return false;
        static_cast<Label&>(c_).userClick();
        return true;
    }
    bool paintsOnParent() const override { return true; }
};

class ButtonPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        const bool isDefault = static_cast<Button&>(c_).isDefault;
        createWindow(WC_BUTTONW, (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, 0, c_.caption());
    }
    bool command(UINT code) override {
        if (code != BN_CLICKED) return false;
        static_cast<Button&>(c_).userClick();
        return true;
    }
};

// A plain (not automatic) check box: the toolkit decides the tick, the window shows it.
class CheckBoxPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        createWindow(WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0, c_.caption());
        showTick();
    }
    void apply(Prop what) override {
        if (what == Prop::Checked) showTick();
        else ControlPeer::apply(what);
    }
    bool command(UINT code) override {
        if (code != BN_CLICKED) return false;
        static_cast<CheckBox&>(c_).userClick();
        showTick();
        return true;
    }
    bool paintsOnParent() const override { return true; }

private:
    void showTick() {
        if (hwnd_) send(BM_SETCHECK, static_cast<CheckBox&>(c_).checked() ? BST_CHECKED : BST_UNCHECKED);
    }
};

// A drop-down list, pick only or with a text field.
class ComboBoxPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        const DWORD kind = box().editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST;
        createWindow(WC_COMBOBOXW, kind | WS_VSCROLL | WS_TABSTOP, 0, "");
        send(CB_SETMINVISIBLE, 16);
        fill();
    }
    void apply(Prop what) override {
        if (what == Prop::Items) fill();
        else if (what == Prop::ItemIndex) select();
        else if (what == Prop::Text) showText();
        else if (what != Prop::Caption) ControlPeer::apply(what);
    }
    void layout() override {
        // The height of a drop-down list's window is the height of its open list;
        // the closed box sizes itself to the font.
        const int l = fw_.scale(c_.left()), t = fw_.scale(c_.top());
        const int r = fw_.scale(c_.left() + c_.width());
        SetWindowPos(hwnd_, nullptr, l, t, r - l, fw_.scale(c_.height() + 320), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool command(UINT code) override {
        switch (code) {
            case CBN_SELCHANGE: {
                // Sent before the text field shows the picked item: the toolkit takes
                // the item's text itself.
                const auto index = static_cast<int>(send(CB_GETCURSEL));
                if (index >= 0) box().userPick(index);
                select();
                return true;
            }
            case CBN_EDITCHANGE: {
                if (settingText_) return true;
                box().userType(narrow(windowText(hwnd_)));
                return true;
            }
            case CBN_SETFOCUS: box().userFocus(); return true;
            case CBN_KILLFOCUS: box().userBlur(); return true;
            default: return false;
        }
    }

private:
    ComboBox& box() const { return static_cast<ComboBox&>(c_); }
    void fill() {
        send(CB_RESETCONTENT);  // also empties a text field
        for (const std::string& item : box().items()) send(CB_ADDSTRING, 0, asLParam(widen(item).c_str()));
        select();
        if (box().editable) showText();
    }
    void select() {
        // CB_SETCURSEL with an index outside the items clears the selection.
        const int index = box().itemIndex();
        if (index < -1 || index >= box().itemCount()) return;
        if (static_cast<int>(send(CB_GETCURSEL)) != index) send(CB_SETCURSEL, static_cast<WPARAM>(index));
    }
    // Text set by code is no edit of the user's: the field's change notice is ignored.
    void showText() {
        if (!box().editable) return;
        settingText_ = true;
        SetWindowTextW(hwnd_, widen(box().text()).c_str());
        settingText_ = false;
    }

    bool settingText_ = false;
};

// An image button: an owner-drawn button, so that Tab reaches it and Space clicks it.
// The mouse is handled here: a click steps it and leaves the keyboard focus where it
// was. The button's own handling would take the focus first, and a class list it took
// the focus from would refill itself and show its placeholder when the user clicks back.
class ImageButtonPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    ~ImageButtonPeer() override {
        if (hwnd_) RemoveWindowSubclass(hwnd_, mouseProc, 0);
    }
    void create() override {
        createWindow(WC_BUTTONW, BS_OWNERDRAW | WS_TABSTOP, 0, "");
        SetWindowSubclass(hwnd_, mouseProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    void apply(Prop what) override {
        if (what == Prop::ImageIndex) InvalidateRect(hwnd_, nullptr, TRUE);
        else if (what != Prop::Caption) ControlPeer::apply(what);
    }
    // A quick second click arrives as a double click; it counts as a click.
    bool command(UINT code) override {
        if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return false;
        button().userClick();
        return true;
    }
    bool draw(const DRAWITEMSTRUCT& d) override {
        const int colour = fw_.backgroundOf(GetParent(hwnd_));
        FillRect(d.hDC, &d.rcItem, GetSysColorBrush(colour));
        drawImage(d, GetSysColor(colour));
        if ((d.itemState & ODS_FOCUS) && !(d.itemState & ODS_NOFOCUSRECT)) {
            RECT r = d.rcItem;
            InflateRect(&r, -1, -1);
            DrawFocusRect(d.hDC, &r);
        }
        return true;
    }

private:
    // A press captures the mouse; its release over the button is the click, told to the
    // parent as the button itself tells it.
    static LRESULT CALLBACK mouseProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<ImageButtonPeer*>(data);
        switch (msg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:  // a quick second click counts as a click of its own
                self->pressed_ = true;
                SetCapture(h);
                return 0;
            case WM_LBUTTONUP: {
                if (!self->pressed_) return 0;
                self->pressed_ = false;
                ReleaseCapture();
                RECT r{};
                GetClientRect(h, &r);
                const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                if (PtInRect(&r, at))
                    SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(h));
                return 0;
            }
            case WM_CAPTURECHANGED: self->pressed_ = false; break;
            default: break;
        }
        return DefSubclassProc(h, msg, wParam, lParam);
    }

    ImageButton& button() const { return static_cast<ImageButton&>(c_); }
    void drawImage(const DRAWITEMSTRUCT& d, COLORREF back) const {
        if (!button().showsImage()) return;
        const ImageList& list = *button().images;
        const auto& pixels = list.images[static_cast<size_t>(button().imageIndex())];
        if (pixels.size() < static_cast<size_t>(list.width) * static_cast<size_t>(list.height)) return;
        // Blended over the background here, so plain GDI can show it at any size.
        std::vector<std::uint32_t> shown(pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i) shown[i] = over(pixels[i], back);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = list.width;
        bi.bmiHeader.biHeight = -list.height;  // rows from the top
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(d.hDC, HALFTONE);
        StretchDIBits(d.hDC, d.rcItem.left, d.rcItem.top, d.rcItem.right - d.rcItem.left,
                      d.rcItem.bottom - d.rcItem.top, 0, 0, list.width, list.height, shown.data(), &bi,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    static std::uint32_t over(std::uint32_t argb, COLORREF back) {
        const std::uint32_t a = argb >> 24;
        auto mix = [a](std::uint32_t fg, std::uint32_t bg) { return (fg * a + bg * (255 - a)) / 255; };
        const std::uint32_t r = mix((argb >> 16) & 0xFF, GetRValue(back));
        const std::uint32_t g = mix((argb >> 8) & 0xFF, GetGValue(back));
        const std::uint32_t b = mix(argb & 0xFF, GetBValue(back));
        return (r << 16) | (g << 8) | b;
    }

    bool pressed_ = false;
};

// A list box with one selected item; selections set by code raise nothing natively.
class ListBoxPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        createWindow(WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, "");
        fill();
    }
    void apply(Prop what) override {
        if (what == Prop::Items) fill();
        else if (what == Prop::ItemIndex) select();
        else if (what != Prop::Caption) ControlPeer::apply(what);
    }
    bool command(UINT code) override {
        if (code != LBN_SELCHANGE) return false;
        const auto index = static_cast<int>(send(LB_GETCURSEL));
        if (index >= 0) box().userSelect(index);
        select();
        return true;
    }

private:
    ListBox& box() const { return static_cast<ListBox&>(c_); }
    void fill() {
        const auto& items = box().items();
        // Lists grow one item at a time: only the new one goes over.
        if (items.size() == shown_ + 1) {
            send(LB_ADDSTRING, 0, asLParam(widen(items.back()).c_str()));
        } else {
            send(WM_SETREDRAW, FALSE);
            send(LB_RESETCONTENT);
            for (const std::string& item : items) send(LB_ADDSTRING, 0, asLParam(widen(item).c_str()));
            send(WM_SETREDRAW, TRUE);
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
        shown_ = items.size();
        select();
    }
    void select() {
        if (static_cast<int>(send(LB_GETCURSEL)) != box().itemIndex())
            send(LB_SETCURSEL, static_cast<WPARAM>(box().itemIndex()));
    }
    size_t shown_ = 0;
};

// A one-line text field; texts set by code raise nothing.
class EditPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        quiet_ = true;
        createWindow(WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, c_.caption());
        quiet_ = false;
    }
    void apply(Prop what) override {
        if (what != Prop::Caption) return ControlPeer::apply(what);
        if (narrow(windowText(hwnd_)) == c_.caption()) return;
        quiet_ = true;
        SetWindowTextW(hwnd_, widen(c_.caption()).c_str());
        quiet_ = false;
    }
    bool command(UINT code) override {
        if (code != EN_CHANGE) return false;
        if (!quiet_) static_cast<Edit&>(c_).userType(narrow(windowText(hwnd_)));
        return true;
    }

private:
    bool quiet_ = false;
};

// An edit with an up-down control beside it. The edit ends its editing on Enter and
// when it loses the focus; what the user types counts once it is a number.
class SpinEditPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    ~SpinEditPeer() override {
        if (hwnd_) RemoveWindowSubclass(hwnd_, editProc, 0);
    }
    void create() override {
        createWindow(WC_EDITW, ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE, "");
        upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                  WS_CHILD | UDS_ARROWKEYS | UDS_NOTHOUSANDS | (shown() ? WS_VISIBLE : 0), 0, 0, 0, 0,
                                  fw_.windowFor(c_.parent()), nullptr, fw_.backend().instance(), nullptr);
        SetWindowSubclass(hwnd_, editProc, 0, reinterpret_cast<DWORD_PTR>(this));
        layout();
        showRange();
        showValue();
    }
    void apply(Prop what) override {
        switch (what) {
            case Prop::Range: showRange(); break;
            case Prop::Position:
                if (!typing_) showValue();
                break;
            case Prop::Caption: break;
            case Prop::Visible:
                ControlPeer::apply(what);
                if (upDown_) ShowWindow(upDown_, shown() ? SW_SHOWNA : SW_HIDE);
                break;
            case Prop::Enabled:
                ControlPeer::apply(what);
                if (upDown_) EnableWindow(upDown_, c_.enabled());
                break;
            default: ControlPeer::apply(what); break;
        }
    }
    void layout() override {
        if (!hwnd_) return;
        const int l = fw_.scale(c_.left()), t = fw_.scale(c_.top());
        const int r = fw_.scale(c_.left() + c_.width()), b = fw_.scale(c_.top() + c_.height());
        const int arrows = upDown_ ? std::min(GetSystemMetrics(SM_CXVSCROLL), (r - l) / 2) : 0;
        SetWindowPos(hwnd_, nullptr, l, t, r - l - arrows, b - t, SWP_NOZORDER | SWP_NOACTIVATE);
        if (upDown_) SetWindowPos(upDown_, nullptr, r - arrows, t, arrows, b - t, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool command(UINT code) override {
        switch (code) {
            case EN_SETFOCUS: spin().userFocus(); return true;
            case EN_KILLFOCUS:
                spin().userBlur();
                showValue();
                return true;
            case EN_CHANGE: typed(); return true;
            default: return false;
        }
    }
    // The arrows: one step up or down from the value shown.
    bool notify(const NMHDR& n, LRESULT& result) override {
        if (n.hwndFrom != upDown_ || n.code != static_cast<UINT>(UDN_DELTAPOS)) return false;
        const auto& d = reinterpret_cast<const NMUPDOWN&>(n);
        spin().userType(spin().value() + d.iDelta);
        result = TRUE;  // we moved it ourselves
        return true;
    }
    HWND upDown() const { return upDown_; }

private:
    SpinEdit& spin() const { return static_cast<SpinEdit&>(c_); }
    void showRange() {
        if (!upDown_) return;
        auto toInt = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); };
        SendMessageW(upDown_, UDM_SETRANGE32, static_cast<WPARAM>(toInt(spin().minValue())),
                     static_cast<LPARAM>(toInt(spin().maxValue())));
        showValue();
    }
    void showValue() {
        const std::wstring text = std::to_wstring(spin().value());
        if (windowText(hwnd_) == text) return;
        quiet_ = true;
        SetWindowTextW(hwnd_, text.c_str());
        quiet_ = false;
    }
    void typed() {
        if (quiet_) return;
        const std::wstring text = windowText(hwnd_);
        if (text.empty() || text.size() > 12) return;
        std::int64_t v = 0;
        for (wchar_t ch : text) {
            if (ch < L'0' || ch > L'9') return;
            v = v * 10 + (ch - L'0');
        }
        // The box keeps the text as typed until the edit ends.
        typing_ = true;
        spin().userType(v);
        typing_ = false;
    }
    static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<SpinEditPeer*>(data);
        if (msg == WM_GETDLGCODE && wParam == VK_RETURN)
            return DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
        if ((msg == WM_KEYDOWN || msg == WM_CHAR) && wParam == (msg == WM_KEYDOWN ? VK_RETURN : L'\r')) {
            if (msg == WM_KEYDOWN && !self->fw_.tornDown())
                if (Form* form = self->fw_.form()) form->application().boundary([self] { self->spin().userPressEnter(); });
            return 0;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    HWND upDown_ = nullptr;
    bool quiet_ = false;
    bool typing_ = false;
};

class TrackBarPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        createWindow(TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP, 0, "");
        showRange();
    }
    void apply(Prop what) override {
        if (what == Prop::Range) showRange();
        else if (what == Prop::Position) showPosition();
        else if (what != Prop::Caption) ControlPeer::apply(what);
    }
    // TBM_SETPOS reports nothing, so every WM_HSCROLL is the user's; the toolkit
    // raises the change event when the position really moved.
    bool scroll() override {
        const auto native = static_cast<int>(send(TBM_GETPOS));
        if (native != bar().position()) bar().userMoveTo(native);
        showPosition();
        return true;
    }
    bool paintsOnParent() const override { return true; }

private:
    TrackBar& bar() const { return static_cast<TrackBar&>(c_); }
    void showRange() {
        send(TBM_SETRANGEMIN, FALSE, bar().min());
        send(TBM_SETRANGEMAX, FALSE, bar().max());
        // Not more than about 25 tick marks, on round steps.
        const int span = bar().max() - bar().min();
        int step = 1;
        for (int s : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}) {
            step = s;
            if (span / s <= 25) break;
        }
        send(TBM_SETTICFREQ, static_cast<WPARAM>(step));
        send(TBM_SETPOS, TRUE, bar().position());
    }
    void showPosition() {
        if (static_cast<int>(send(TBM_GETPOS)) != bar().position()) send(TBM_SETPOS, TRUE, bar().position());
    }
};

class PagePeer;

// The tab control. Its pages are windows beside it, over its display area and above
// it in the Z order: as its children the dialog keys (Tab, Alt+letter) would never
// reach their controls.
class PageControlPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        createWindow(WC_TABCONTROLW, WS_CLIPCHILDREN | WS_TABSTOP, 0, "");
        const auto pages = control().pages();
        for (size_t i = 0; i < pages.size(); ++i) {
            std::wstring text = widen(pages[i]->caption());
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = text.data();
            send(TCM_INSERTITEMW, i, asLParam(&item));
        }
        send(TCM_SETCURSEL, static_cast<WPARAM>(control().activePage()));
    }
    void apply(Prop what) override {
        if (what == Prop::ActivePage) showActivePage();
        else if (what != Prop::Caption) ControlPeer::apply(what);
    }
    void layout() override;
    bool notify(const NMHDR& n, LRESULT& result) override {
        if (n.code == static_cast<UINT>(TCN_SELCHANGING)) {
            // A click or an arrow key has put the focus on the tab row, or it is still
            // on the page: moving it off the page first lets an edit there end its
            // editing before the page changes. The toolkit hears where the focus is,
            // so that a handler that moves it on really moves it, every time.
            if (focusOnAPage()) SetFocus(hwnd_);
            if (Form* form = c_.form()) form->moveFocus(&c_);
            result = FALSE;
            return true;
        }
        if (n.code == static_cast<UINT>(TCN_SELCHANGE)) {
            // The toolkit asks the changing handler; on a veto the native tab goes back.
            control().userSelectTab(static_cast<int>(send(TCM_GETCURSEL)));
            showActivePage();
            result = 0;
            return true;
        }
        return false;
    }
    RECT displayRect() const {
        RECT r{};
        GetClientRect(hwnd_, &r);
        send(TCM_ADJUSTRECT, FALSE, asLParam(&r));
        return r;
    }
    void setTabText(const Control& page) {
        const auto pages = control().pages();
        const auto at = std::find(pages.begin(), pages.end(), &page);
        if (at == pages.end()) return;
        std::wstring text = widen(page.caption());
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        send(TCM_SETITEMW, static_cast<WPARAM>(at - pages.begin()), asLParam(&item));
    }

private:
    PageControl& control() const { return static_cast<PageControl&>(c_); }
    void showActivePage();
    bool focusOnAPage() const;
};

// Pages and panels: windows of the toolkit's own class that pass their children's
// notifications to the same control handling as the form.
class ContainerPeer : public ControlPeer, public NativeWindow {
public:
    ContainerPeer(FormWindow& fw, Control& c) : ControlPeer(fw, c) {}
    void create() override {
        createWindow(Win32Backend::kWindowClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, c_.caption(),
                     static_cast<NativeWindow*>(this));
    }
    void apply(Prop what) override {
        if (what == Prop::Caption && isPage()) {
            if (auto* tabs = dynamic_cast<PageControlPeer*>(c_.parent()->peer())) tabs->setTabText(c_);
            return;
        }
        ControlPeer::apply(what);
    }
    bool shown() const override {
        if (!isPage()) return c_.visible();
        auto* pc = static_cast<PageControl*>(c_.parent());
        const auto pages = pc->pages();
        const int active = pc->activePage();
        return c_.visible() && active >= 0 && active < static_cast<int>(pages.size()) &&
               pages[static_cast<size_t>(active)] == &c_;
    }
    void layout() override {
        if (!isPage()) return ControlPeer::layout();
        auto* tabs = dynamic_cast<PageControlPeer*>(c_.parent()->peer());
        if (!hwnd_ || !tabs || !tabs->hwnd()) return;
        RECT r = tabs->displayRect();
        MapWindowPoints(tabs->hwnd(), GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // A page lies beside its tab control, in the tab control's parent.
    HWND parentWindow() const override {
        return isPage() ? fw_.windowFor(c_.parent()->parent()) : ControlPeer::parentWindow();
    }
    int background() const override {
        return isPage() && fw_.backend().themed() ? COLOR_WINDOW : COLOR_BTNFACE;
    }

    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
        Form* form = fw_.form();
        if (fw_.tornDown() || !form) return DefWindowProcW(hwnd, msg, wParam, lParam);
        switch (msg) {
            case WM_COMMAND:
            case WM_NOTIFY:
            case WM_HSCROLL:
            case WM_VSCROLL:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
            case WM_DRAWITEM: {
                LRESULT result = 0;
                bool handled = false;
                form->application().boundary(
                    [&] { handled = fw_.controlEvent(hwnd, msg, wParam, lParam, result); });
                if (handled) return result;
                break;
            }
            case WM_ERASEBKGND:
            case WM_PRINTCLIENT: {
                RECT r{};
                GetClientRect(hwnd, &r);
                FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(background()));
                return msg == WM_ERASEBKGND ? 1 : 0;
            }
            default: break;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

private:
    bool isPage() const { return c_.kind() == Kind::Page && c_.parent() && c_.parent()->kind() == Kind::PageControl; }
};

void PageControlPeer::layout() {
    ControlPeer::layout();
    for (Panel* page : control().pages())
        if (auto* p = dynamic_cast<ControlPeer*>(page->peer())) p->layout();
}

bool PageControlPeer::focusOnAPage() const {
    HWND focus = GetFocus();
    if (!focus) return false;
    for (Panel* page : control().pages())
        if (auto* p = dynamic_cast<ControlPeer*>(page->peer()); p && p->hwnd())
            if (focus == p->hwnd() || IsChild(p->hwnd(), focus)) return true;
    return false;
}

void PageControlPeer::showActivePage() {
    const int active = control().activePage();
    if (static_cast<int>(send(TCM_GETCURSEL)) != active) send(TCM_SETCURSEL, static_cast<WPARAM>(active));
    // Wine's tab control leaves the tab it came from marked pressed after a change by the
    // arrow keys, and then takes no mouse click for a page change: no other tab keeps the
    // mark. On Windows the mark means something only for tabs drawn as buttons, which
    // these are not, so this changes nothing there.
    const int tabs = static_cast<int>(send(TCM_GETITEMCOUNT));
    for (int i = 0; i < tabs; ++i) {
        if (i == active) continue;
        TCITEMW item{};
        item.mask = TCIF_STATE;
        item.dwStateMask = TCIS_BUTTONPRESSED;
        item.dwState = 0;
        send(TCM_SETITEMW, static_cast<WPARAM>(i), asLParam(&item));
    }
    // The new page first, then the old one away, so nothing behind them flashes.
    const auto pages = control().pages();
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < pages.size(); ++i)
            if ((static_cast<int>(i) == active) == (pass == 0))
                if (auto* p = dynamic_cast<ControlPeer*>(pages[i]->peer())) p->apply(Prop::Visible);
}

// A notification icon, added while the control is visible.
class TrayPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        id_ = fw_.addTray(this);
        update();
    }
    void apply(Prop what) override {
        if (what == Prop::Visible || what == Prop::Icon || what == Prop::Hint) update();
    }
    void mouse(UINT msg) {
        auto& tray = static_cast<TrayIcon&>(c_);
        switch (msg) {
            case WM_LBUTTONUP: tray.userLeftUp(); break;
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDBLCLK: tray.userDoubleClick(); break;
            case WM_RBUTTONUP: tray.userRightUp(); break;
            default: break;
        }
    }
    // The shell has forgotten its icons (a restarted taskbar): add ours again.
    void readd() {
        added_ = false;
        update();
    }
    void remove() {
        if (!added_) return;
        // Only the window and the number: the icon control may already be gone.
        NOTIFYICONDATAW d{};
        d.cbSize = sizeof d;
        d.hWnd = fw_.hwnd();
        d.uID = id_;
        Shell_NotifyIconW(NIM_DELETE, &d);
        added_ = false;
    }
    UINT id() const { return id_; }

private:
    NOTIFYICONDATAW data() const {
        NOTIFYICONDATAW d{};
        d.cbSize = sizeof d;
        d.hWnd = fw_.hwnd();
        d.uID = id_;
        d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        d.uCallbackMessage = fw_.backend().trayMessage();
        d.hIcon = fw_.backend().icon(static_cast<const TrayIcon&>(c_).icon(), fw_.trayIconSize());
        // The shell holds 127 characters and a terminating zero; never split a surrogate pair.
        std::wstring tip = widen(c_.hint());
        constexpr size_t room = sizeof d.szTip / sizeof d.szTip[0] - 1;
        if (tip.size() > room) {
            size_t cut = room;
            if (tip[cut - 1] >= 0xD800 && tip[cut - 1] <= 0xDBFF) --cut;
            tip.resize(cut);
        }
        std::copy(tip.begin(), tip.end(), d.szTip);
        d.szTip[tip.size()] = L'\0';
        return d;
    }
    void update() {
        if (!c_.visible()) {
            remove();
            return;
        }
        NOTIFYICONDATAW d = data();
        if (added_ && Shell_NotifyIconW(NIM_MODIFY, &d)) return;
        // A shell that still holds the icon refuses to add it again: change it then.
        added_ = Shell_NotifyIconW(NIM_ADD, &d) || Shell_NotifyIconW(NIM_MODIFY, &d);
    }

    UINT id_ = 0;
    bool added_ = false;
};

// A timer of the form's window: SetTimer ticks also reach it inside modal loops.
class TimerPeer : public ControlPeer {
public:
    using ControlPeer::ControlPeer;
    void create() override {
        id_ = fw_.addTimer(this);
        update();
    }
    void apply(Prop what) override {
        if (what == Prop::Enabled || what == Prop::Interval) update();
    }
    // Through the toolkit, which skips a tick that a modal loop delivers while a
    // timer's handler runs (COM's wait for an out-of-process call dispatches WM_TIMER).
    void fire() { static_cast<Timer&>(c_).fire(); }

private:
    void update() {
        auto& t = static_cast<Timer&>(c_);
        if (!t.isEnabled() || t.interval() == 0) {
            KillTimer(fw_.hwnd(), id_);
            return;
        }
        // A timer that silently failed to start would stop its work for good.
        if (!SetTimer(fw_.hwnd(), id_, t.interval(), nullptr))
            throw std::runtime_error("Cannot start the timer " + t.name());
    }

    UINT id_ = 0;
};

// Every peer is created as Live<...>: its windows go while the whole peer still
// exists, because tearing them down sends messages to the container peers and
// removes the notification icons.
template <class P> class Live final : public P {
public:
    using P::P;
    ~Live() override { P::fw_.teardown(); }
};

// ---- FormWindow ----

void FormWindow::create() {
    Form& form = *form_;
    hwnd_ = CreateWindowExW(exStyle(), Win32Backend::kWindowClass, widen(form.caption()).c_str(), style(), 0, 0, 0,
                            0, owner_, nullptr, backend_.instance(), static_cast<NativeWindow*>(this));
    if (!hwnd_) throw std::runtime_error("Cannot create the window of " + form.name());
    form.setHandle(reinterpret_cast<std::uintptr_t>(hwnd_));
    trayIconSize_ = taskbarIconSize();
    dpi_ = static_cast<UINT>(fitted(realDpi()).dpi);
    font_ = makeFont();
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               backend_.instance(), nullptr);
    if (tooltip_) {
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, scale(420));
        SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 20000);
    }
    if (UINT restart = backend_.taskbarCreatedMessage(); restart && backend_.system().ChangeWindowMessageFilterEx)
        backend_.system().ChangeWindowMessageFilterEx(hwnd_, restart, MSGFLT_ALLOW, nullptr);
    place(realDpi());
}

void FormWindow::createPeer(Control& c) {
    std::unique_ptr<ControlPeer> peer;
    switch (c.kind()) {
        case Kind::Label: peer = std::make_unique<Live<LabelPeer>>(*this, c); break;
        case Kind::Button: peer = std::make_unique<Live<ButtonPeer>>(*this, c); break;
        case Kind::CheckBox: peer = std::make_unique<Live<CheckBoxPeer>>(*this, c); break;
        case Kind::ComboBox: peer = std::make_unique<Live<ComboBoxPeer>>(*this, c); break;
        case Kind::ListBox: peer = std::make_unique<Live<ListBoxPeer>>(*this, c); break;
        case Kind::Edit: peer = std::make_unique<Live<EditPeer>>(*this, c); break;
        case Kind::SpinEdit: peer = std::make_unique<Live<SpinEditPeer>>(*this, c); break;
        case Kind::TrackBar: peer = std::make_unique<Live<TrackBarPeer>>(*this, c); break;
        case Kind::ImageButton: peer = std::make_unique<Live<ImageButtonPeer>>(*this, c); break;
        case Kind::PageControl: peer = std::make_unique<Live<PageControlPeer>>(*this, c); break;
        case Kind::Page:
        case Kind::Panel: peer = std::make_unique<Live<ContainerPeer>>(*this, c); break;
        case Kind::TrayIcon: peer = std::make_unique<Live<TrayPeer>>(*this, c); break;
        case Kind::Timer: peer = std::make_unique<Live<TimerPeer>>(*this, c); break;
        case Kind::Image:
        case Kind::PopupMenu:
        case Kind::MenuItem:
        case Kind::Form: peer = std::make_unique<Live<NullPeer>>(*this, c); break;
    }
    ControlPeer* raw = peer.get();
    c.setPeer(std::move(peer));
    raw->create();
    peers_.push_back(raw);
    if (raw->hwnd()) byWindow_[raw->hwnd()] = raw;
    if (auto* spin = dynamic_cast<SpinEditPeer*>(raw); spin && spin->upDown()) byWindow_[spin->upDown()] = raw;
}

void FormWindow::finish() {
    // The Z order is the order of the Tab key. New windows go to the bottom, so it is
    // the creation order; then panels and, below them, page controls go to the
    // bottom, so that a control placed over them (a label on the tab row) and the
    // pages over a tab control's display area show. Tab then runs through the page,
    // the controls beside it and the bottom panel, then to the tab row.
    for (Kind kind : {Kind::Panel, Kind::PageControl})
        for (ControlPeer* p : peers_)
            if (p->hwnd() && p->control().kind() == kind)
                SetWindowPos(p->hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT FormWindow::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (torn_ || !form_) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (!hwnd_) hwnd_ = hwnd;  // messages arrive before CreateWindowExW returns
    Form& form = *form_;
    Message m;
    m.msg = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    std::intptr_t result = 0;
    bool done = false;
    form.application().boundary([&] {
        result = form.handleMessage(m);
        done = true;
    });
    // A window whose creation message failed would not be created at all.
    if (!done && msg == WM_NCCREATE) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return result;
}

void FormWindow::apply(Prop what) {
    if (torn_ || !hwnd_) return;
    Form& form = *form_;
    switch (what) {
        case Prop::Caption: SetWindowTextW(hwnd_, widen(form.caption()).c_str()); break;
        case Prop::Visible:
            if (form.visible()) placeAtShow();
            ShowWindow(hwnd_, form.visible() ? SW_SHOW : SW_HIDE);
            // A hidden window made the foreground one (as for the notification icon's
            // menu) was activated with nothing to give the focus to: it gets it now.
            if (form.visible() && GetActiveWindow() == hwnd_) {
                HWND focus = GetFocus();
                if (!focus || focus == hwnd_) restoreFocus();
            }
            break;
        case Prop::Enabled: EnableWindow(hwnd_, form.enabled()); break;
        case Prop::Bounds: place(realDpi()); break;
        case Prop::Front:
            if (!form.visible()) break;
            if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
            SetForegroundWindow(hwnd_);
            BringWindowToTop(hwnd_);
            break;
        default: break;
    }
}

UINT FormWindow::realDpi() const {
    if (hwnd_ && backend_.system().GetDpiForWindow)
        if (UINT d = backend_.system().GetDpiForWindow(hwnd_)) return d;
    return backend_.systemDpi();
}

// The notification area draws its icons at the taskbar's small-icon size and stretches
// whatever it is given; the program's window may be on a monitor of another density.
int FormWindow::taskbarIconSize() const {
    const SystemFunctions& sys = backend_.system();
    UINT taskbar = 0, primary = 0;
    if (sys.GetDpiForWindow)
        if (HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr)) taskbar = sys.GetDpiForWindow(bar);
    UINT x = 0, y = 0;
    if (sys.GetDpiForMonitor &&
        SUCCEEDED(sys.GetDpiForMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), 0, &x, &y)))
        primary = x;
    const UINT system = backend_.systemDpi();
    const auto dpi = static_cast<UINT>(
        ui::trayIconDpi(static_cast<int>(taskbar), static_cast<int>(primary), static_cast<int>(system)));
    if (sys.GetSystemMetricsForDpi) return sys.GetSystemMetricsForDpi(SM_CXSMICON, dpi);
    return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), static_cast<int>(system));
}

HFONT FormWindow::makeFont() const {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    bool ok = false;
    if (backend_.system().SystemParametersInfoForDpi) {
        ok = backend_.system().SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi_);
    }
    if (!ok && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
        ok = true;
        // These metrics are for the system's density; ours may differ.
        ncm.lfMessageFont.lfHeight =
            MulDiv(ncm.lfMessageFont.lfHeight, static_cast<int>(dpi_), static_cast<int>(backend_.systemDpi()));
    }
    LOGFONTW lf = ncm.lfMessageFont;
    if (!ok) {
        lf = LOGFONTW{};
        lf.lfHeight = -MulDiv(9, static_cast<int>(dpi_), 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(lf.lfFaceName, L"Segoe UI", LF_FACESIZE);
    }
    return CreateFontIndirectW(&lf);
}

namespace {

ui::Area areaOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// A monitor's whole rectangle and its work area; the primary screen's where the monitor
// cannot be asked.
MONITORINFO monitorInfo(HMONITOR monitor) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!monitor || !GetMonitorInfoW(monitor, &mi)) {
        mi.rcMonitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        mi.rcWork = mi.rcMonitor;
    }
    return mi;
}

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    reinterpret_cast<std::vector<HMONITOR>*>(list)->push_back(monitor);
    return TRUE;
}

}  // namespace

int FormWindow::designDpi(UINT screenDpi) const {
    return form_->application().scaled ? static_cast<int>(screenDpi) : 96;
}

SIZE FormWindow::frameAt(UINT screenDpi) const {
    RECT frame{0, 0, 0, 0};
    if (backend_.system().AdjustWindowRectExForDpi)
        backend_.system().AdjustWindowRectExForDpi(&frame, style(), FALSE, exStyle(), screenDpi);
    else
        AdjustWindowRectEx(&frame, style(), FALSE, exStyle());
    return {frame.right - frame.left, frame.bottom - frame.top};
}

ui::WindowPlace FormWindow::fitted(UINT screenDpi) const {
    const Form& form = *form_;
    const MONITORINFO mi = monitorInfo(MonitorFromWindow(owner_ ? owner_ : hwnd_, MONITOR_DEFAULTTOPRIMARY));
    RECT around = mi.rcMonitor;
    if (owner_ && IsWindowVisible(owner_)) GetWindowRect(owner_, &around);
    const SIZE frame = frameAt(screenDpi);
    return ui::fitToWorkArea(designDpi(screenDpi), form.clientWidth(), form.clientHeight(), frame.cx, frame.cy,
                             areaOf(around), areaOf(mi.rcWork));
}

void FormWindow::place(UINT screenDpi) { moveTo(fitted(screenDpi)); }

void FormWindow::moveTo(const ui::WindowPlace& p) {
    if (static_cast<UINT>(p.dpi) != dpi_) rescale(static_cast<UINT>(p.dpi));
    SetWindowPos(hwnd_, nullptr, p.bounds.left, p.bounds.top, p.bounds.width(), p.bounds.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<ui::MonitorArea> FormWindow::monitors() const {
    std::vector<HMONITOR> handles;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&handles));
    std::vector<ui::MonitorArea> out;
    for (HMONITOR h : handles) {
        const MONITORINFO mi = monitorInfo(h);
        UINT x = 0, y = 0;
        if (!backend_.system().GetDpiForMonitor || FAILED(backend_.system().GetDpiForMonitor(h, 0, &x, &y))) x = 0;
        out.push_back({areaOf(mi.rcMonitor), areaOf(mi.rcWork), static_cast<int>(x)});
    }
    return out;
}

bool FormWindow::whereNow(ui::Area& window, ui::Area& work) const {
    RECT r{};
    if (!hwnd_ || !GetWindowRect(hwnd_, &r)) return false;
    window = areaOf(r);
    work = areaOf(monitorInfo(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST)).rcWork);
    return true;
}

void FormWindow::moveTopLeft(const ui::Area& now, const ui::Area& to) {
    if (to.left != now.left || to.top != now.top)
        SetWindowPos(hwnd_, nullptr, to.left, to.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::placeAtShow() {
    ui::Area now{}, work{};
    if (!whereNow(now, work)) return;
    POINT client{0, 0};
    ClientToScreen(hwnd_, &client);
    moveTopLeft(now, ui::placeAtShow(now, client.y - now.top, monitors(), work));
}

bool FormWindow::restoreFocus() {
    HWND kept = focusKept_;
    if (!kept || !IsWindow(kept) || !IsChild(hwnd_, kept) || !IsWindowVisible(kept)) return false;
    // The toolkit hears it first, so that the control's own focus notice is no entry;
    // the text field of a drop-down list stands for the list.
    Control* control = nullptr;
    for (HWND w = kept; w && w != hwnd_; w = GetParent(w)) {
        if (!IsWindowEnabled(w)) return false;
        if (!control)
            if (ControlPeer* p = peerOf(w)) control = &p->control();
    }
    form_->focusComesBack(control);
    SetFocus(kept);
    if (GetFocus() == kept) return true;
    form_->focusComesBack(nullptr);
    return false;
}

void FormWindow::keepFocus() {
    // Only a control of this window; with the focus on the window itself (after an
    // activation that had no control to give it to) the last one stays.
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) focusKept_ = focus;
}

HWND FormWindow::windowFor(const Control* c) const {
    if (!c || c == form_) return hwnd_;
    if (auto* p = dynamic_cast<ControlPeer*>(c->peer()); p && p->hwnd()) return p->hwnd();
    return hwnd_;
}

ControlPeer* FormWindow::peerOf(HWND h) const {
    const auto it = byWindow_.find(h);
    return it == byWindow_.end() ? nullptr : it->second;
}

void FormWindow::setHint(HWND control, const std::string& hint) {
    if (!tooltip_ || !control) return;
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    const auto known = std::find(tools_.begin(), tools_.end(), control);
    if (hint.empty()) {
        if (known != tools_.end()) {
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, asLParam(&ti));
            tools_.erase(known);
        }
        return;
    }
    std::wstring text = widen(hint);
    ti.lpszText = text.data();
    if (known != tools_.end()) {
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, asLParam(&ti));
        return;
    }
    bool added = SendMessageW(tooltip_, TTM_ADDTOOLW, 0, asLParam(&ti)) != FALSE;
    if (!added) {
        // Common controls before version 6 reject the larger structure.
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        added = SendMessageW(tooltip_, TTM_ADDTOOLW, 0, asLParam(&ti)) != FALSE;
    }
    if (added) tools_.push_back(control);
}

int FormWindow::backgroundOf(HWND container) const {
    if (container == hwnd_) return COLOR_BTNFACE;
    if (ControlPeer* p = peerOf(container)) return p->background();
    return COLOR_BTNFACE;
}

bool FormWindow::controlEvent(HWND container, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND: {
            ControlPeer* p = lParam ? peerOf(reinterpret_cast<HWND>(lParam)) : nullptr;
            result = 0;
            return p && p->command(HIWORD(wParam));
        }
        case WM_HSCROLL:
        case WM_VSCROLL: {
            ControlPeer* p = lParam ? peerOf(reinterpret_cast<HWND>(lParam)) : nullptr;
            result = 0;
            return p && p->scroll();
        }
        case WM_DRAWITEM: {
            const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            ControlPeer* p = d ? peerOf(d->hwndItem) : nullptr;
            result = TRUE;
            return p && p->draw(*d);
        }
        case WM_NOTIFY: {
            const auto* n = reinterpret_cast<const NMHDR*>(lParam);
            ControlPeer* p = n ? peerOf(n->hwndFrom) : nullptr;
            return p && p->notify(*n, result);
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            ControlPeer* p = peerOf(reinterpret_cast<HWND>(lParam));
            if (!p || !p->paintsOnParent()) return false;
            const int color = backgroundOf(container);
            auto dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetBkColor(dc, GetSysColor(color));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(color));
            return true;
        }
        default: return false;
    }
}

// A tick that the toolkit skips is consumed all the same: the timer's next one comes.
bool FormWindow::timer(WPARAM id) {
    if (id == 0 || id > timers_.size()) return false;
    timers_[id - 1]->fire();
    return true;
}

void FormWindow::trayEvent(WPARAM id, LPARAM mouse) {
    if (id == 0 || id > trays_.size()) return;
    trays_[id - 1]->mouse(LOWORD(mouse));
}

void FormWindow::shellRestarted() {
    trayIconSize_ = taskbarIconSize();
    for (TrayPeer* t : trays_) t->readd();
}

void FormWindow::displayChanged() {
    const int size = taskbarIconSize();
    if (size == trayIconSize_) return;
    trayIconSize_ = size;
    for (TrayPeer* t : trays_) t->apply(Prop::Icon);
}

SIZE FormWindow::scaledSize(UINT dpi) const {
    const Form& form = *form_;
    // The work area of the monitor the window is going to: the one of that density that
    // holds the most of it; the window's own where densities cannot be asked.
    RECT now{};
    GetWindowRect(hwnd_, &now);
    const std::vector<ui::MonitorArea> all = monitors();
    const int target = ui::monitorAtDpi(all, areaOf(now), static_cast<int>(dpi));
    const ui::Area work = target >= 0 ? all[static_cast<size_t>(target)].work
                                      : areaOf(monitorInfo(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST)).rcWork);
    const SIZE frame = frameAt(dpi);
    const ui::WindowPlace p =
        ui::fitToWorkArea(designDpi(dpi), form.clientWidth(), form.clientHeight(), frame.cx, frame.cy, work, work);
    return {p.bounds.width(), p.bounds.height()};
}

// Windows sends the change while the user still drags the window, as soon as most of it
// is on the other monitor, with a rectangle that keeps the title bar under the mouse:
// the window goes exactly there and into the work area only once the move has ended.
void FormWindow::dpiChanged(UINT dpi, const RECT& suggested) {
    const Form& form = *form_;
    const ui::Area work = areaOf(monitorInfo(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST)).rcWork);
    const SIZE frame = frameAt(dpi);
    if (moving_) densityChangedInMove_ = true;
    moveTo(ui::placeAtNewDpi(designDpi(dpi), form.clientWidth(), form.clientHeight(), frame.cx, frame.cy,
                             areaOf(suggested), work, moving_));
    displayChanged();
}

void FormWindow::moveEnded() {
    moving_ = false;
    ui::Area now{}, work{};
    if (whereNow(now, work)) moveTopLeft(now, ui::placeAfterMove(now, work, densityChangedInMove_));
    densityChangedInMove_ = false;
}

void FormWindow::rescale(UINT dpi) {
    dpi_ = dpi;
    // The controls still draw with the old fonts until they have the new ones.
    const HFONT old = font_;
    if (HFONT f = makeFont()) font_ = f;
    std::map<std::pair<std::string, int>, HFONT> oldFonts;
    oldFonts.swap(ownFonts_);
    for (ControlPeer* p : peers_) {
        if (!p->hwnd()) continue;
        SendMessageW(p->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(p->control())), TRUE);
        p->layout();
    }
    if (old && old != font_) DeleteObject(old);
    for (auto& [key, f] : oldFonts) DeleteObject(f);
    if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, scale(420));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void FormWindow::teardown() {
    if (torn_) return;
    torn_ = true;
    form_ = nullptr;
    for (TrayPeer* t : trays_) t->remove();
    if (hwnd_)
        for (size_t id = 1; id <= timers_.size(); ++id) KillTimer(hwnd_, id);
    if (tooltip_) DestroyWindow(tooltip_);
    if (hwnd_) DestroyWindow(hwnd_);  // and every child window with it
    tooltip_ = hwnd_ = nullptr;
    peers_.clear();
    byWindow_.clear();
    trays_.clear();
    timers_.clear();
    tools_.clear();
    if (font_) DeleteObject(font_);
    font_ = nullptr;
    for (auto& [key, f] : ownFonts_) DeleteObject(f);
    ownFonts_.clear();
}

HFONT FormWindow::fontFor(const Control& c) {
    if (c.fontName().empty()) return font_;
    const auto key = std::make_pair(c.fontName(), scale(c.fontHeight()));
    if (const auto it = ownFonts_.find(key); it != ownFonts_.end()) return it->second;
    LOGFONTW lf{};
    lf.lfHeight = -key.second;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, widen(c.fontName()).c_str(), LF_FACESIZE);
    HFONT f = CreateFontIndirectW(&lf);
    if (!f) return font_;
    ownFonts_[key] = f;
    return f;
}

namespace {

// The first icon group of the module: the shell's icon of the program.
BOOL CALLBACK firstIcon(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    if (!IS_INTRESOURCE(name)) return TRUE;
    *reinterpret_cast<int*>(found) = static_cast<int>(reinterpret_cast<UINT_PTR>(name));
    return FALSE;
}

}  // namespace

// ---- Win32Backend ----

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    lookUp(system_.GetDpiForWindow, user32, "GetDpiForWindow");
    lookUp(system_.GetDpiForSystem, user32, "GetDpiForSystem");
    lookUp(system_.AdjustWindowRectExForDpi, user32, "AdjustWindowRectExForDpi");
    lookUp(system_.SystemParametersInfoForDpi, user32, "SystemParametersInfoForDpi");
    lookUp(system_.GetSystemMetricsForDpi, user32, "GetSystemMetricsForDpi");
    lookUp(system_.ChangeWindowMessageFilterEx, user32, "ChangeWindowMessageFilterEx");
    system_.IsAppThemed = uxtheme_.function<decltype(system_.IsAppThemed)>("IsAppThemed");
    system_.GetDpiForMonitor = shcore_.function<decltype(system_.GetDpiForMonitor)>("GetDpiForMonitor");
    lookUp(system_.LoadIconWithScaleDown, GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown");
}

Win32Backend::~Win32Backend() {
    if (appWindow_) {
        RemoveWindowSubclass(appWindow_, appWindowProc, 0);
        DestroyWindow(appWindow_);
    }
    for (auto& [key, icon] : icons_)
        if (icon) DestroyIcon(icon);
}

HICON Win32Backend::icon(int id, int size) {
    if (id <= 0) return nullptr;
    const auto key = std::make_pair(id, size);
    if (const auto it = icons_.find(key); it != icons_.end()) return it->second;
    // The icons hold the sizes of the usual scales; another size is made from the next
    // larger image, which stays sharper than the stretch of the nearest one.
    HICON icon = nullptr;
    if (!system_.LoadIconWithScaleDown ||
        FAILED(system_.LoadIconWithScaleDown(instance_, MAKEINTRESOURCEW(id), size, size, &icon)))
        icon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    icons_[key] = icon;
    return icon;
}

UINT Win32Backend::systemDpi() const {
    if (system_.GetDpiForSystem)
        if (UINT d = system_.GetDpiForSystem()) return d;
    HDC dc = GetDC(nullptr);
    const int d = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return d > 0 ? static_cast<UINT>(d) : 96;
}

bool Win32Backend::themed() const { return system_.IsAppThemed && system_.IsAppThemed(); }

void Win32Backend::initialise(Application& app) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    int programIcon = 0;
    EnumResourceNamesW(instance_, RT_GROUP_ICON, firstIcon,
                       reinterpret_cast<LONG_PTR>(&programIcon));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = classProc;
    wc.hInstance = instance_;
    wc.hIcon = icon(programIcon, GetSystemMetrics(SM_CXICON));
    wc.hIconSm = icon(programIcon, GetSystemMetrics(SM_CXSMICON));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("Cannot register the window class");

    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    if (!appWindow_) {
        // Hidden for the whole run; it carries the application title, never the
        // main window's caption, so a second start can never mistake it for that.
        appWindow_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, widen(app.title()).c_str(), WS_POPUP, 0, 0, 0, 0,
                                     nullptr, nullptr, instance_, nullptr);
        if (!appWindow_) throw std::runtime_error("Cannot create the application window");
        SetWindowSubclass(appWindow_, appWindowProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    app_ = &app;
    titleChanged(app);
}

LRESULT CALLBACK Win32Backend::appWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data) {
    if (msg == WM_DPICHANGED) {
        auto* self = reinterpret_cast<Win32Backend*>(data);
        if (Application* app = self->app_)
            app->boundary([app] {
                if (Form* main = app->mainForm())
                    if (FormWindow* fw = windowOf(*main)) fw->displayChanged();
            });
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void Win32Backend::titleChanged(Application& app) {
    title_ = widen(app.title());
    if (appWindow_) SetWindowTextW(appWindow_, title_.c_str());
}

FormWindow* Win32Backend::windowOf(Form& form) {
    auto* peer = dynamic_cast<FormPeer*>(form.peer());
    return peer ? &peer->window() : nullptr;
}

void Win32Backend::realize(Form& form) {
    if (windowOf(form)) throw std::logic_error("The form " + form.name() + " has its windows already");
    auto peer = std::make_unique<FormPeer>(*this, form);
    FormWindow& fw = peer->window();
    form.setPeer(std::move(peer));
    // A dialog stays in front of the main window while that one is shown.
    if (Form* main = form.application().mainForm(); main && main != &form)
        if (FormWindow* owner = windowOf(*main); owner && owner->hwnd() && IsWindowVisible(owner->hwnd()))
            fw.setOwner(owner->hwnd());
    fw.create();
    // Designs list parents before their children.
    for (const auto& c : form.controls()) fw.createPeer(*c);
    fw.finish();
}

bool Win32Backend::post(Form& form, const Message& m) {
    FormWindow* fw = windowOf(form);
    if (!fw || !fw->hwnd()) throw std::logic_error("A message was posted to the form " + form.name() + " without window");
    return PostMessageW(fw->hwnd(), m.msg, m.wParam, m.lParam) != FALSE;
}

void Win32Backend::acceptFromOtherPrograms(Form& form, std::uint32_t msg) {
    FormWindow* fw = windowOf(form);
    // Systems without the function have no integrity levels to filter by. A refusal
    // costs only the requests of lower-level starts; the program runs on regardless.
    if (fw && fw->hwnd() && system_.ChangeWindowMessageFilterEx)
        system_.ChangeWindowMessageFilterEx(fw->hwnd(), msg, MSGFLT_ALLOW, nullptr);
}

std::intptr_t Win32Backend::defaultProc(Form& form, Message& m) {
    FormWindow* fw = windowOf(form);
    if (!fw || !fw->hwnd()) return 0;
    HWND hwnd = fw->hwnd();
    LRESULT result = 0;
    if (fw->controlEvent(hwnd, m.msg, m.wParam, m.lParam, result)) return result;
    if (m.msg == WM_TIMER) {
        if (fw->timer(m.wParam)) return 0;
    } else if (m.msg == trayMessage()) {
        fw->trayEvent(m.wParam, m.lParam);
        return 0;
    } else if (m.msg == WM_GETDPISCALEDSIZE) {
        *reinterpret_cast<SIZE*>(m.lParam) = fw->scaledSize(static_cast<UINT>(m.wParam));
        return TRUE;
    } else if (m.msg == WM_DPICHANGED) {
        fw->dpiChanged(HIWORD(m.wParam), *reinterpret_cast<const RECT*>(m.lParam));
        return 0;
    } else if (m.msg == WM_ACTIVATE) {
        if (LOWORD(m.wParam) == WA_INACTIVE) fw->keepFocus();
        // Given back, the focus must not be taken to the window itself.
        else if (HIWORD(m.wParam) == 0 && fw->restoreFocus()) return 0;
    } else if (m.msg == WM_CANCELMODE) {
        fw->keepFocus();  // sent before a box disables the window
    } else if (m.msg == WM_ENTERSIZEMOVE) {
        fw->moveStarted();
    } else if (m.msg == WM_EXITSIZEMOVE) {
        fw->moveEnded();
    } else if (m.msg == WM_DISPLAYCHANGE || m.msg == WM_SETTINGCHANGE) {
        fw->displayChanged();
    } else if (taskbarCreated_ != 0 && m.msg == taskbarCreated_) {
        fw->shellRestarted();
        return 0;
    }
    return DefWindowProcW(hwnd, m.msg, m.wParam, m.lParam);
}

void Win32Backend::popup(PopupMenu& menu) {
    Form* form = menu.form();
    FormWindow* fw = form ? windowOf(*form) : nullptr;
    if (!fw || !fw->hwnd()) return;
    const std::vector<MenuItem*> items = menu.items();
    HMENU h = CreatePopupMenu();
    if (!h) return;
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = *items[i];
        if (!item.visible()) continue;
        // A bound item shows its action's caption as it is now.
        const Action* a = item.action();
        const std::string& caption = a && !a->caption.empty() ? a->caption : item.caption();
        if (caption == "-") {
            AppendMenuW(h, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (item.checked()) flags |= MF_CHECKED;
        if (!item.enabled()) flags |= MF_GRAYED;
        AppendMenuW(h, flags, i + 1, widen(caption).c_str());
    }
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(fw->hwnd());
    const auto chosen = static_cast<UINT>(
        TrackPopupMenu(h, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, fw->hwnd(), nullptr));
    PostMessageW(fw->hwnd(), WM_NULL, 0, 0);
    DestroyMenu(h);
    if (chosen >= 1 && chosen <= items.size()) items[chosen - 1]->userClick();
}

ModalResult Win32Backend::messageBox(Form* owner, BoxKind kind, const std::string& text) {
    HWND ownerWindow = nullptr;
    if (FormWindow* fw = owner ? windowOf(*owner) : nullptr)
        if (fw->hwnd() && IsWindowVisible(fw->hwnd())) ownerWindow = fw->hwnd();
    const std::wstring body = widen(text);
    if (kind == BoxKind::Confirmation) return confirmation(ownerWindow, body);
    // A box of a hidden window stands on its own and comes to the front.
    MessageBoxW(ownerWindow, body.c_str(), title_.c_str(),
                MB_OK | MB_ICONINFORMATION | (ownerWindow ? 0u : static_cast<UINT>(MB_SETFOREGROUND)));
    return quitRequested_ ? ModalResult::Cancel : ModalResult::OK;
}

HRESULT CALLBACK Win32Backend::taskDialogCallback(HWND hwnd, UINT msg, WPARAM, LPARAM, LONG_PTR data) {
    auto* self = reinterpret_cast<Win32Backend*>(data);
    if (msg == TDN_CREATED) {
        self->openBoxes_.push_back(hwnd);
        if (self->quitRequested_) PostMessageW(hwnd, TDM_CLICK_BUTTON, IDCANCEL, 0);
    } else if (msg == TDN_DESTROYED) {
        self->openBoxes_.erase(std::remove(self->openBoxes_.begin(), self->openBoxes_.end(), hwnd),
                               self->openBoxes_.end());
    }
    return S_OK;
}

ModalResult Win32Backend::confirmation(HWND owner, const std::wstring& text) {
    // Task dialogs exist only in common controls 6, which the manifest selects.
    HRESULT(WINAPI * taskDialogIndirect)(const TASKDIALOGCONFIG*, int*, int*, BOOL*) = nullptr;
    lookUp(taskDialogIndirect, GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect");
    int button = 0;
    bool shown = false;
    if (taskDialogIndirect) {
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.hInstance = instance_;
        // Escape and the close box answer Cancel.
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN |
                         (owner ? TDF_POSITION_RELATIVE_TO_WINDOW : 0);
        config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_CANCEL_BUTTON;
        config.pszWindowTitle = title_.c_str();
        config.hMainIcon = LoadIconW(nullptr, IDI_QUESTION);
        config.pszContent = text.c_str();
        config.nDefaultButton = IDYES;
        config.pfCallback = taskDialogCallback;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);
        shown = SUCCEEDED(taskDialogIndirect(&config, &button, nullptr, nullptr));
    }
    if (!shown) {
        // Without task dialogs: OK stands for Yes.
        const int answer = MessageBoxW(owner, text.c_str(), title_.c_str(),
                                       MB_OKCANCEL | MB_ICONQUESTION | (owner ? 0u : static_cast<UINT>(MB_SETFOREGROUND)));
        button = answer == IDOK ? IDYES : IDCANCEL;
    }
    return button == IDYES && !quitRequested_ ? ModalResult::Yes : ModalResult::Cancel;
}

void Win32Backend::run(Application& app) {
    if (Form* main = app.mainForm()) app.boundary([main] { main->show(); });
    MSG msg;
    while (!app.terminated()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        // Tab, arrow keys and Alt+letter move between the controls, as in any dialog.
        auto* form = app.mainForm() ? dynamic_cast<FormPeer*>(app.mainForm()->peer()) : nullptr;
        if (form && form->window().hwnd() && IsDialogMessageW(form->window().hwnd(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Win32Backend::quit() {
    quitRequested_ = true;
    // Modal loops end on WM_QUIT and post it on; a task dialog is answered Cancel
    // explicitly, so the question it asked is never taken as Yes.
    PostQuitMessage(0);
    for (HWND box : openBoxes_) PostMessageW(box, TDM_CLICK_BUTTON, IDCANCEL, 0);
}

void Win32Backend::reportError(const std::string& what) {
    MessageBoxW(nullptr, widen(what).c_str(), title_.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

std::uintptr_t Win32Backend::windowHandle(Form& form) {
    FormWindow* fw = windowOf(form);
    return fw ? reinterpret_cast<std::uintptr_t>(fw->hwnd()) : 0;
}

namespace {

// The button that Enter (isDefault) or Escape (isCancel) clicks.
Button* dialogButton(Form& form, bool isDefault) {
    for (const auto& c : form.controls())
        if (auto* b = dynamic_cast<Button*>(c.get()); b && b->visible() && b->enabled() && (isDefault ? b->isDefault : b->isCancel))
            return b;
    return nullptr;
}

}  // namespace

ModalResult Win32Backend::showModal(Form& form) {
    if (!windowOf(form)) realize(form);
    FormWindow* fw = windowOf(form);
    HWND dialog = fw->hwnd();
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner) EnableWindow(owner, FALSE);
    form.show();
    if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) SetFocus(first);
    MSG msg;
    while (form.modalResult() == ModalResult::None && form.visible() && !quitRequested_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop further out
            break;
        }
        if (got == -1) break;
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) &&
            (msg.hwnd == dialog || IsChild(dialog, msg.hwnd))) {
            // An open drop-down list takes its own Enter and Escape.
            HWND focus = GetFocus();
            wchar_t cls[16] = L"";
            GetClassNameW(focus, cls, 16);
            const bool droppedList = lstrcmpiW(cls, WC_COMBOBOXW) == 0 && SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0);
            if (!droppedList) {
                if (Button* b = dialogButton(form, msg.wParam == VK_RETURN))
                    form.application().boundary([b] { b->userClick(); });
                continue;
            }
        }
        if (IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (owner) EnableWindow(owner, TRUE);
    form.hide();
    if (owner) SetActiveWindow(owner);
    return form.modalResult() == ModalResult::None ? ModalResult::Cancel : form.modalResult();
}

}  // namespace ui::win32
