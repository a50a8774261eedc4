# The main window among the other windows of the desktop: left for another program
# and come back to, it gives the focus back to the control that had it, as a dialog
# does; dragged by its title bar, it stays exactly where the user drops it.

# wait_focus_left <what>: the program's thread no longer has the keyboard focus, so it has
# taken in that another window is the active one.
wait_focus_left() {
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while drv focus "$HWND"; do
        (($(now_ms) < until)) || { fail "$1: the focus is still on '$(focused_control)'"; return 1; }
        sleep 0.1
    done
}

# The story of a user who sets up a profile: the options page left and come back to in
# the middle of a walk with Tab; then a class typed into a line's class list, the
# program of that class looked at, and the line's CPU button clicked to come back; the
# window closed to the notification area and shown again; a box of its own answered.
case_focus_comes_back_with_the_window() {
    fixture_window other StellmarkE2EOther "Another program" small || return
    local other=$FIXTURE_HWND other_pid=$FIXTURE_PID
    give_input || return
    start_main || return

    # Tab to the first slider, the fourth control of the options page; away and back, the
    # slider has the focus and the next Tab goes on to the second slider.
    keyboard_page "Power Options" || return
    local first second
    first=$(nth_on_page msctls_trackbar32 1) second=$(nth_on_page msctls_trackbar32 2)
    drv tab-walk "$HWND" 4 || { fail "cannot press Tab"; return; }
    wait_focus "after four Tabs" "$first" || return
    drv foreground "$other" || { fail "the other window does not come to the front"; return; }
    wait_focus_left "with the other window in front" || return
    drv foreground "$HWND" || { fail "the main window does not come to the front again"; return; }
    wait_focus "back in the main window" "$first" || return
    drv tab-walk "$HWND" 1 || { fail "cannot press Tab"; return; }
    expect_eq "the control after the first slider" "$(focused_control)" "$second"

    # The class typed into line 1; the other window activated; a click on the line's CPU
    # button of the inactive window steps the level and leaves focus and text in the list.
    profile_line1 || return
    drv mouse-click "$CLASS_LIST" || { fail "cannot click into the class list"; return; }
    drv keys "$HWND" home shift+end text:StellmarkE2EOther || { fail "cannot type into the class list"; return; }
    wait_focus "after typing" "$CLASS_LIST" || return
    drv foreground "$other" || { fail "the other window does not come to the front"; return; }
    wait_focus_left "with the other window in front" || return
    drv mouse-click "$CPU_BUTTON" inactive || { fail "cannot click the CPU button"; return; }
    wait_priorities "$PROGRAM_WAIT_MS" "$other_pid=0x8000" ||
        fail "the click on the CPU button did not raise the row's program to above normal: $(val priority)"
    wait_focus "after the click that brought the window back" "$CLASS_LIST" || return
    drv state "$CLASS_LIST"
    expect_eq "the class list's text after the click" "$(val caption)" StellmarkE2EOther
    drv keys "$HWND" end text:X || fail "cannot type on"
    drv wait-text "$CLASS_LIST" StellmarkE2EOtherX "$PROGRAM_WAIT_MS" ||
        fail "the class list's text after typing on: expected 'StellmarkE2EOtherX', got '$(val text)'"
    # Closed to the notification area and shown again from the icon's menu: the same.
    close_to_tray first || return
    tray_menu_pick s || return
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || { fail "'Show' did not show the window"; return; }
    wait_focus "shown again from the icon's menu" "$CLASS_LIST" || return
    drv state "$CLASS_LIST"
    expect_eq "the class list's text when shown again" "$(val caption)" StellmarkE2EOtherX
    # On to the tab row, then the exit question from the icon's menu answered Cancel: the
    # focus is where it was when the box opened. From the tab row back to the list is an
    # entry again: the list shows its placeholder, the row keeps its class.
    local tabs
    drv list-children "$HWND"
    tabs=$(tab_row)
    drv keys "$HWND" shift+tab || fail "cannot press Shift+Tab"
    wait_focus "on the tab row" "$tabs" || return
    tray_menu_pick x || return
    drv find-dialog "Are you sure you want to exit?" "$PROGRAM_WAIT_MS" "$PID" || { fail "'Exit' did not ask"; return; }
    local box
    box=$(val hwnd)
    drv press "$box" Cancel
    drv wait-gone "$box" "$PROGRAM_WAIT_MS" || { fail "the exit question did not close on Cancel"; return; }
    wait_focus "after the exit question" "$tabs" || return
    drv keys "$HWND" tab || fail "cannot press Tab"
    wait_focus "back from the tab row" "$CLASS_LIST" || return
    drv wait-text "$CLASS_LIST" "Select program window class" "$PROGRAM_WAIT_MS" ||
        fail "the class list entered from the tab row does not show its placeholder: '$(val text)'"

    drv post "$HWND" "$MSG_QUIT" 0 0
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || { fail "the program did not end on MsgQuit"; return; }
    drv reg-get "$SETTINGS_KEY" CPUpriority0
    expect_eq "stored CPU priority of row 0" "$(val value)" 3
    drv reg-get "$SETTINGS_KEY" class0
    expect_eq "stored class of row 0" "$(val value)" StellmarkE2EOtherX
}

# Dragged 300 pixels to the right, the window's right part goes off the 1600-pixel
# screen, and there it stays: after the move, and when it is shown again from the
# notification area.
case_dragged_window_stays_where_it_was_dropped() {
    give_input || return
    start_main || return
    local x0 y0 w
    x0=$(val x) y0=$(val y) w=$(val w)
    drv drag "$HWND" 300 0 || { fail "cannot drag the window by its title bar"; return; }
    local dx x y
    dx=$(val moved_x) x=$(val x) y=$(val y)
    note "from ${x0},${y0} by the pointer's ${dx}: at ${x},${y}"
    expect_between "the pointer's way" "$dx" 290 311
    expect_eq "left edge after the drag" "$x" $((x0 + dx))
    expect_eq "top edge after the drag" "$y" "$y0"
    ((x + w > SCREEN_W)) || fail "the window ${w} wide at ${x} is not partly off the ${SCREEN_W}-pixel screen"

    close_to_tray first || return
    drv post "$HWND" $MSG_SHOW_WINDOW 0 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || { fail "MsgShowWindow did not show the window"; return; }
    drv state "$HWND"
    expect_eq "left edge when shown again" "$(val x)" "$x"
    expect_eq "top edge when shown again" "$(val y)" "$y"
}

CASES+=(focus_comes_back_with_the_window dragged_window_stays_where_it_was_dropped)
