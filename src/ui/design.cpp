#include "ui/design.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace ui {

namespace {

Control* create(Form& form, Control* parent, const DesignRow& r) {
    switch (r.kind) {
        case Kind::PageControl: return form.add<PageControl>(parent, r.name);
        case Kind::Page: return form.add<Panel>(parent, r.name, Kind::Page);
        case Kind::Panel: return form.add<Panel>(parent, r.name);
        case Kind::Label: return form.add<Label>(parent, r.name);
        case Kind::CheckBox: return form.add<CheckBox>(parent, r.name);
        case Kind::ComboBox: return form.add<ComboBox>(parent, r.name);
        case Kind::ListBox: return form.add<ListBox>(parent, r.name);
        case Kind::Edit: return form.add<Edit>(parent, r.name);
        case Kind::SpinEdit: {
            auto* s = form.add<SpinEdit>(parent, r.name);
            s->setMaxValue(r.max);
            s->setMinValue(r.min);
            return s;
        }
        case Kind::Button: {
            auto* b = form.add<Button>(parent, r.name);
            b->modalResult = r.modalResult;
            b->isDefault = r.isDefault;
            b->isCancel = r.isCancel;
            return b;
        }
        case Kind::TrackBar: {
            auto* t = form.add<TrackBar>(parent, r.name);
            t->setRange(r.min, r.max);
            t->setPositionSilently(r.position);
            return t;
        }
        case Kind::Image: {
            auto* i = form.add<Image>(parent, r.name);
            i->icon = r.position;
            return i;
        }
        case Kind::TrayIcon: {
            auto* t = form.add<TrayIcon>(parent, r.name);
            t->setIcon(r.position);
            return t;
        }
        case Kind::PopupMenu: return form.add<PopupMenu>(parent, r.name);
        case Kind::MenuItem: return form.add<MenuItem>(parent, r.name);
        case Kind::Timer: {
            auto* t = form.add<Timer>(parent, r.name);
            t->setInterval(static_cast<std::uint32_t>(r.max));
            return t;
        }
        case Kind::ImageButton: return form.add<ImageButton>(parent, r.name);
        case Kind::Form: break;
    }
    throw std::logic_error(std::string("Cannot design a control of this kind: ") + r.name);
}

// The pixels two rectangles have in common.
long long sharedArea(const Area& a, const Area& b) {
    auto overlap = [](int a0, int a1, int b0, int b1) {
        return std::max(0LL, static_cast<long long>(std::min(a1, b1)) - std::max(a0, b0));
    };
    return overlap(a.left, a.right, b.left, b.right) * overlap(a.top, a.bottom, b.top, b.bottom);
}

}  // namespace

void loadDesign(Form& form, const Design& d) {
    form.setCaption(d.formCaption);
    form.setBounds(0, 0, d.clientWidth, d.clientHeight);
    for (std::size_t i = 0; i < d.actionCount; ++i) {
        const ActionRow& a = d.actions[i];
        Action* act = form.addAction(a.name);
        act->caption = a.caption;
        act->hint = a.hint;
        act->checkable = a.checkable;
        act->setChecked(a.checked);
    }
    for (std::size_t i = 0; i < d.rowCount; ++i) {
        const DesignRow& r = d.rows[i];
        Control* parent = r.parent[0] ? form.find(r.parent) : &form;
        if (!parent) throw std::logic_error(std::string("Unknown parent in design: ") + r.parent);
        Control* c = create(form, parent, r);
        c->setBounds(r.left, r.top, r.width, r.height);
        c->setCaption(r.caption);
        c->setHint(r.hint);
        c->setEnabled(r.enabled);
        c->setVisible(r.visible);
        c->setTag(r.tag);
        if (r.font[0]) c->setFont(r.font, r.fontHeight);
        if (r.action[0]) {
            if (auto* tray = dynamic_cast<TrayIcon*>(c)) {
                tray->popupMenu = form.get<PopupMenu>(r.action);
            } else {
                Action* a = form.findAction(r.action);
                if (!a) throw std::logic_error(std::string("Unknown action in design: ") + r.action);
                c->bindAction(a);
                if (auto* box = dynamic_cast<CheckBox*>(c)) box->followAction(a->checked());
            }
        } else if (auto* box = dynamic_cast<CheckBox*>(c)) {
            box->followAction(r.checked);
        }
    }
    // A page control's pages are the rows after it.
    for (std::size_t i = 0; i < d.rowCount; ++i)
        if (d.rows[i].kind == Kind::PageControl)
            form.get<PageControl>(d.rows[i].name)->setActivePage(d.rows[i].position);
}

int scaleToDpi(int length, int dpi) {
    // Half a pixel away from zero, as MulDiv rounds.
    const std::int64_t v = static_cast<std::int64_t>(length) * dpi;
    return static_cast<int>(v >= 0 ? (v + 48) / 96 : -((-v + 48) / 96));
}

WindowPlace fitToWorkArea(int dpi, int clientWidth, int clientHeight, int frameWidth, int frameHeight,
                          const Area& around, const Area& work) {
    auto fits = [&](int d) {
        return scaleToDpi(clientWidth, d) + frameWidth <= work.width() &&
               scaleToDpi(clientHeight, d) + frameHeight <= work.height();
    };
    // Below half the design size no text is readable: a screen that small gets the
    // window cut as it always did.
    const int smallest = std::min(dpi, 48);
    int d = dpi;
    while (d > smallest && !fits(d)) --d;

    const int w = scaleToDpi(clientWidth, d) + frameWidth;
    const int h = scaleToDpi(clientHeight, d) + frameHeight;
    // Centred, then into the work area.
    const int x = around.left + (around.width() - w) / 2;
    const int y = around.top + (around.height() - h) / 2;
    return {d, pullIntoWorkArea({x, y, x + w, y + h}, work)};
}

Area pullIntoWorkArea(const Area& window, const Area& work) {
    auto pull = [](int start, int size, int workStart, int workEnd) {
        return std::max(std::min(start, workEnd - size), workStart);
    };
    const int x = pull(window.left, window.width(), work.left, work.right);
    const int y = pull(window.top, window.height(), work.top, work.bottom);
    return {x, y, x + window.width(), y + window.height()};
}

WindowPlace placeAtNewDpi(int dpi, int clientWidth, int clientHeight, int frameWidth, int frameHeight,
                          const Area& suggested, const Area& work, bool moving) {
    const WindowPlace fit = fitToWorkArea(dpi, clientWidth, clientHeight, frameWidth, frameHeight, work, work);
    const Area at{suggested.left, suggested.top, suggested.left + fit.bounds.width(),
                  suggested.top + fit.bounds.height()};
    return {fit.dpi, moving ? at : pullIntoWorkArea(at, work)};
}

Area placeAfterMove(const Area& dropped, const Area& work, bool densityChanged) {
    return densityChanged ? pullIntoWorkArea(dropped, work) : dropped;
}

Area placeAtShow(const Area& window, int titleBarHeight, const std::vector<MonitorArea>& monitors,
                 const Area& nearestWork) {
    const Area bar{window.left, window.top, window.right, window.top + titleBarHeight};
    for (const MonitorArea& m : monitors)
        if (sharedArea(bar, m.bounds) > 0) return window;
    return pullIntoWorkArea(window, nearestWork);
}

int monitorAtDpi(const std::vector<MonitorArea>& monitors, const Area& window, int dpi) {
    int best = -1;
    long long bestShare = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].dpi != dpi) continue;
        const long long share = sharedArea(window, monitors[i].bounds);
        if (share > bestShare) {
            best = static_cast<int>(i);
            bestShare = share;
        }
    }
    return best;
}

int trayIconDpi(int taskbarWindowDpi, int primaryMonitorDpi, int systemDpi) {
    for (int d : {taskbarWindowDpi, primaryMonitorDpi, systemDpi})
        if (d > 0) return d;
    return 96;
}

}  // namespace ui
