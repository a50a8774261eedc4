// The toolkit's event rules, on which every page relies.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "ui/headless.h"
#include "ui/ui.h"

namespace {

struct Toolkit : ::testing::Test {
    ui::HeadlessBackend backend;
    ui::Application app{backend};
    ui::Form form{app, "F"};
    std::vector<std::string> events;
};

TEST_F(Toolkit, ComboBoxRaisesOnlyOnUserPicksChangeBeforeSelect) {
    auto* c = form.add<ui::ComboBox>(nullptr, "C");
    c->onChange = [&] { events.push_back("change " + c->text()); };
    c->onSelect = [&] { events.push_back("select " + c->text()); };
    c->addItem("a");
    c->addItem("b");
    c->setItemIndex(1);
    c->setItemIndex(5);  // outside the items: ignored
    EXPECT_EQ(c->itemIndex(), 1);
    c->insertItem(0, "z");  // before the selection: the same item stays selected
    EXPECT_EQ(c->text(), "b");
    c->insertItem(2, "y");  // at the selection: it moves on with its item
    EXPECT_EQ(c->itemIndex(), 3);
    EXPECT_EQ(c->text(), "b");
    c->insertItem(4, "x");  // after it: it stays
    EXPECT_EQ(c->itemIndex(), 3);
    EXPECT_EQ(c->text(), "b");
    EXPECT_TRUE(events.empty());
    c->userPick(0);
    EXPECT_EQ(events, (std::vector<std::string>{"change z", "select z"}));
    c->setItemIndex(-1);
    EXPECT_EQ(c->itemIndex(), -1);
    c->clear();
    EXPECT_EQ(c->itemCount(), 0);
}

TEST_F(Toolkit, TrackBarClampsCodePositionsAndRaisesOnlyOnChange) {
    auto* t = form.add<ui::TrackBar>(nullptr, "T");
    t->setRange(5, 90);
    t->setPositionSilently(90);
    int changes = 0;
    t->onChange = [&] { ++changes; };
    t->setPosition(200);
    EXPECT_EQ(t->position(), 90);
    EXPECT_EQ(changes, 0);
    t->setPosition(-3);
    EXPECT_EQ(t->position(), 5);
    EXPECT_EQ(changes, 1);
    t->userMoveTo(40);
    EXPECT_EQ(changes, 2);
}

TEST_F(Toolkit, CheckBoxRaisesChangeFromCodeAndUser) {
    auto* b = form.add<ui::CheckBox>(nullptr, "B");
    int changes = 0;
    b->onChange = [&] { ++changes; };
    b->setChecked(true);
    b->setChecked(true);
    b->userClick();
    EXPECT_FALSE(b->checked());
    EXPECT_EQ(changes, 2);
    b->setEnabled(false);
    b->userClick();
    EXPECT_EQ(changes, 2);
}

TEST_F(Toolkit, CheckableActionFlipsOnceThenRunsAndCodeRunsNothing) {
    ui::Action* a = form.addAction("A");
    a->checkable = true;
    auto* box = form.add<ui::CheckBox>(nullptr, "Box");
    auto* item = form.add<ui::MenuItem>(nullptr, "Item");
    box->bindAction(a);
    item->bindAction(a);
    int runs = 0;
    bool seen = false;
    a->onExecute = [&] { ++runs; seen = a->checked(); };
    box->userClick();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(item->checked());
    item->userClick();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(box->checked());
    a->setChecked(true);  // code: controls follow, no handler
    EXPECT_TRUE(box->checked());
    box->setChecked(false);  // code on a bound box: the action follows, no handler
    EXPECT_FALSE(a->checked());
    EXPECT_FALSE(item->checked());
    EXPECT_EQ(runs, 2);
}

TEST_F(Toolkit, PageControlRaisesOnlyOnUserChangesAndHonoursTheVeto) {
    auto* pc = form.add<ui::PageControl>(nullptr, "PC");
    form.add<ui::Panel>(pc, "P0", ui::Kind::Page);
    form.add<ui::Panel>(pc, "P1", ui::Kind::Page);
    bool allow = false;
    pc->onChanging = [&](bool& a) { events.push_back("changing"); a = allow; };
    pc->onChange = [&] { events.push_back("change"); };
    pc->userSelectTab(1);
    EXPECT_EQ(pc->activePage(), 0);
    allow = true;
    pc->userSelectTab(1);
    EXPECT_EQ(pc->activePage(), 1);
    pc->setActivePage(0);
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "changing", "change"}));
}

TEST_F(Toolkit, TheOutermostHandlerCatchesAndReportsAnError) {
    auto* l = form.add<ui::Label>(nullptr, "L");
    auto* t = form.add<ui::TrackBar>(nullptr, "T");
    t->setRange(0, 10);
    bool after = false;
    t->onChange = [] { throw std::runtime_error("inner failed"); };
    // An error inside a nested event ends the outer handler too.
    l->onClick = [&] { t->setPosition(3); after = true; };
    l->userClick();
    EXPECT_FALSE(after);
    EXPECT_EQ(backend.errors, (std::vector<std::string>{"inner failed"}));
    l->onClick = [&] { after = true; };
    l->userClick();
    EXPECT_TRUE(after);
}

TEST_F(Toolkit, TimersFireWhenDueAndRearmOnChange) {
    auto* t = form.add<ui::Timer>(nullptr, "T");
    t->setInterval(1000);
    backend.realize(form);
    int fired = 0;
    t->onTimer = [&] { ++fired; };
    backend.advance(2500);
    EXPECT_EQ(fired, 2);
    t->setInterval(2000);  // re-armed from now: 2500 + 2000
    backend.advance(1999);
    EXPECT_EQ(fired, 2);
    backend.advance(1);
    EXPECT_EQ(fired, 3);
    t->setEnabled(false);
    backend.advance(10000);
    EXPECT_EQ(fired, 3);
    // As with SetTimer, a timer without an interval never runs.
    t->setInterval(0);
    t->setEnabled(true);
    backend.advance(10000);
    EXPECT_EQ(fired, 3);
}

TEST_F(Toolkit, OneErrorBoxAtATime) {
    auto* t = form.add<ui::Timer>(nullptr, "T");
    t->setInterval(2500);
    backend.realize(form);
    int ticks = 0;
    t->onTimer = [&] {
        ++ticks;
        throw std::runtime_error("tick failed");
    };
    // The error box's loop goes on delivering ticks for 10 s, while it is open.
    bool waited = false;
    backend.whileModal = [&] {
        if (std::exchange(waited, true)) return;
        backend.advance(10000);
    };
    backend.advance(2500);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(backend.errors.size(), 1u);
    // Once it is closed, the next error shows again.
    backend.advance(2500);
    EXPECT_EQ(backend.errors.size(), 2u);
}

TEST_F(Toolkit, EveryBoxAnswersCancelOnceTheApplicationEnds) {
    app.initialise();
    backend.answers = {ui::ModalResult::Yes, ui::ModalResult::Yes};
    // Told to end while a question is open: that question too.
    backend.whileModal = [&] { app.terminate(); };
    EXPECT_EQ(app.confirm("Sure?"), ui::ModalResult::Cancel);
    EXPECT_EQ(app.confirm("Really?"), ui::ModalResult::Cancel);
    EXPECT_EQ(app.showMessage("Note"), ui::ModalResult::Cancel);
    EXPECT_EQ(backend.boxes.size(), 3u);
}

TEST_F(Toolkit, RunShowsTheMainFormInsideTheErrorBoundary) {
    app.initialise();
    app.setMainForm(&form);
    form.onShow = [] { throw std::runtime_error("show failed"); };
    int idle = 0;
    backend.onIdle = [&](ui::Application&) { return ++idle < 0; };
    bool after = false;
    // Even from inside a handler, the failure stays with the show: the loop runs.
    app.dispatch([&] {
        app.run();
        after = true;
    });
    EXPECT_TRUE(after);
    EXPECT_EQ(idle, 1);
    EXPECT_TRUE(form.visible());
    EXPECT_EQ(backend.errors, (std::vector<std::string>{"show failed"}));
}

TEST_F(Toolkit, AMessageThatCannotBePostedIsAnError) {
    auto* l = form.add<ui::Label>(nullptr, "L");
    bool after = false;
    l->onClick = [&] {
        form.post(ui::WM_APP_ + 6);
        after = true;
    };
    backend.queueFull = true;
    l->userClick();
    EXPECT_FALSE(after);
    EXPECT_EQ(backend.errors.size(), 1u);
    EXPECT_EQ(backend.pending(), 0u);
    backend.queueFull = false;
    l->userClick();
    EXPECT_TRUE(after);
    EXPECT_EQ(backend.pending(), 1u);
}

TEST_F(Toolkit, TrayHintIsCutToWhatTheShellHolds) {
    auto* tray = form.add<ui::TrayIcon>(nullptr, "Tray");
    tray->setTrayHint(std::string(200, 'x'));
    EXPECT_EQ(tray->hint().size(), 127u);
    // Counted in UTF-16 units and never cut inside a character.
    std::string text(125, 'x');
    text += "\xC3\xA9\xF0\x9F\x94\xA5";  // e acute (1 unit), then a pair (2 units)
    tray->setTrayHint(text);
    EXPECT_EQ(tray->hint(), std::string(125, 'x') + "\xC3\xA9");
}

TEST_F(Toolkit, ListBoxRaisesBeforeTheSetterReturnsAndNothingOnClear) {
    auto* l = form.add<ui::ListBox>(nullptr, "L");
    l->onSelectionChange = [&](bool user) { events.push_back((user ? "user " : "code ") + std::to_string(l->itemIndex())); };
    l->addItem("a");
    l->addItem("b");
    l->setItemIndex(1);
    l->setItemIndex(1);  // the position it has: nothing
    l->setItemIndex(7);  // outside the items: ignored
    l->userSelect(0);
    l->clear();
    EXPECT_EQ(l->itemIndex(), -1);
    EXPECT_EQ(events, (std::vector<std::string>{"code 1", "user 0"}));
}

TEST_F(Toolkit, SpinEditKeepsItsRangeEndsEditsOnEnterOrFocusLossAndKnowsUserChanges) {
    auto* s = form.add<ui::SpinEdit>(nullptr, "S");
    auto* b = form.add<ui::Button>(nullptr, "B");
    s->onEditingDone = [&] { events.push_back("done " + std::to_string(s->value())); };
    s->setMaxValue(50);
    s->setMinValue(10);
    s->setValue(5);
    EXPECT_EQ(s->value(), 10);
    EXPECT_FALSE(s->modified());
    s->userFocus();
    s->userType(99);
    EXPECT_EQ(s->value(), 50);
    EXPECT_TRUE(s->modified());
    s->userPressEnter();
    b->setFocus();  // code moves the focus on: the edit ends once more
    s->userBlur();  // the box no longer has the focus: nothing
    s->setValue(20);
    EXPECT_FALSE(s->modified());
    EXPECT_EQ(form.focusedControl(), b);
    EXPECT_EQ(events, (std::vector<std::string>{"done 50", "done 50"}));
}

// The backend tells every arrival of the focus at a list and every departure from it,
// also when the window is left for another one; when it is active again it gives the
// focus back to the control that had it. Only a focus that comes from elsewhere is an
// entry: one given back with the window is not, so a list keeps what was typed into it.
TEST_F(Toolkit, TheFocusGivenBackWithTheWindowIsNoEntryAMoveFromElsewhereIs) {
    auto* a = form.add<ui::ComboBox>(nullptr, "A");
    auto* b = form.add<ui::ComboBox>(nullptr, "B");
    auto* s = form.add<ui::SpinEdit>(nullptr, "S");
    a->editable = b->editable = true;
    a->onEnter = [&] { events.push_back("enter A"); };
    b->onEnter = [&] { events.push_back("enter B"); };
    s->onEditingDone = [&] { events.push_back("done " + std::to_string(s->value())); };
    auto leaveAndComeBack = [&](ui::Control& c) {
        c.userBlur();  // another window is active
        form.focusComesBack(&c);
        c.userFocus();  // the control's own notice of the focus given back
    };

    a->userFocus();
    a->userType("typed");
    leaveAndComeBack(*a);
    EXPECT_EQ(form.focusedControl(), a);
    EXPECT_EQ(a->text(), "typed");
    a->userBlur();  // to a control that does not tell, say a slider, and back
    a->userFocus();
    b->userFocus();  // straight from the other list
    leaveAndComeBack(*b);
    b->userBlur();
    form.focusComesBack(nullptr);  // the window came back with the focus on no control
    b->userFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"enter A", "enter A", "enter B", "enter B"}));

    // A spin box ends its editing when the window is left and raises nothing when the
    // focus comes back.
    events.clear();
    s->userFocus();
    s->userType(7);
    leaveAndComeBack(*s);
    EXPECT_EQ(events, (std::vector<std::string>{"done 7"}));
    EXPECT_EQ(form.focusedControl(), s);
}

TEST_F(Toolkit, AModalDialogEndsWithItsButtonsResultOrCancel) {
    ui::Form dialog{app, "D"};
    auto* ok = dialog.add<ui::Button>(nullptr, "OK");
    ok->modalResult = ui::ModalResult::OK;
    backend.whileDialog = [&](ui::Form& d) {
        EXPECT_TRUE(d.visible());
        ok->userClick();
    };
    EXPECT_EQ(dialog.showModal(), ui::ModalResult::OK);
    EXPECT_FALSE(dialog.visible());
    backend.whileDialog = nullptr;  // closed without a button
    EXPECT_EQ(dialog.showModal(), ui::ModalResult::Cancel);
    EXPECT_EQ(backend.dialogs, (std::vector<std::string>{"D", "D"}));
    // Once the application is to end, a dialog ends as Cancel without asking anyone.
    app.terminate();
    bool asked = false;
    backend.whileDialog = [&](ui::Form&) { asked = true; ok->userClick(); };
    EXPECT_EQ(dialog.showModal(), ui::ModalResult::Cancel);
    EXPECT_FALSE(asked);
}

}  // namespace
