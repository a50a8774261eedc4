# shellcheck shell=bash
# Program profiles edited on the profile page and what they tell the power service.
# Sourced by ../run.sh after boost.sh and hardening.sh, whose helpers (profile_line1,
# wait_priorities, tray, wait_activations) these cases use.

G_ZERO="{00000000-0000-0000-0000-000000000000}"

# A class typed on the profile page before any scheme is picked leaves the row's scheme
# all zero, which the page shows as no preferred scheme: the row's CPU priority reaches
# the program, while the power service is never asked to activate the all-zero scheme
# (nor to write any value of it), also once another scheme has been activated.
case_profile_row_without_scheme_activates_nothing() {
    fixture_window unpicked StellmarkE2ENoScheme "Program without a scheme" visible || return
    local program_pid=$FIXTURE_PID
    give_input || return
    start_main || return
    drv priority "$program_pid"
    expect_eq "priority of the program before the row" "$(val priority)" 0x20

    # A scheme recorded as active, so that the all-zero one would count as a change:
    # a left click on the icon switches sides and activates that side's scheme.
    local mark
    mark=$(power_count)
    tray "$WM_LBUTTONUP"
    wait_activations "$mark" 1 || { fail "a left click on the icon activated no scheme"; return; }

    profile_line1 || return
    drv type "$CLASS_LIST" StellmarkE2ENoScheme || fail "cannot type into the class list"
    drv click "$CPU_BUTTON" || fail "cannot click the CPU button"
    drv combo "$SCHEME_LIST"
    expect_eq "selection of the scheme list after typing the class" "$(val selected)" -1
    wait_priorities "$PROGRAM_WAIT_MS" "$program_pid=0x8000" || fail "the row's CPU priority did not reach the program"
    # The scheme rule runs in the same load check that applied the priority, and again in
    # every check while the window stays on screen: give it a few.
    sleep 3
    local zero
    zero=$(grep -n -F "$G_ZERO" "$STELLMARK_POWER_LOG" 2>/dev/null | head -n 3 | paste -sd ';')
    [[ -z $zero ]] || fail "the power service was told of the all-zero scheme: $zero"
    expect_eq "all-zero activations" "$(grep -c -x -F "PowerSetActiveScheme $G_ZERO" "$STELLMARK_POWER_LOG")" 0

    drv post "$HWND" "$MSG_QUIT" 0 0
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || fail "the program did not end on MsgQuit"
}

# A priority button clicked with the mouse steps its level and leaves the keyboard focus
# where it was: a user who typed a class into a line's class list and then clicks that
# line's CPU button still types on in the class list, which keeps the typed text (were
# the focus to go and come back, the list's entry would refill it and show its
# placeholder again). The click's step is seen at the program of that class, whose
# priority the row then raises, and in the stored row.
case_priority_button_click_leaves_the_focus() {
    fixture_window clicked StellmarkE2EMouse "Program of the clicked row" visible || return
    local program_pid=$FIXTURE_PID
    give_input || return
    start_main || return
    profile_line1 || return
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while drv state "$CPU_BUTTON"; [[ $(val visible) != 1 ]]; do
        (($(now_ms) < until)) || { fail "the profile page did not show"; return; }
        sleep 0.1
    done

    drv mouse-click "$CLASS_LIST" || { fail "cannot click into the class list"; return; }
    drv keys "$HWND" home shift+end text:StellmarkE2EMouse || { fail "cannot type into the class list"; return; }
    wait_focus "after typing" "$CLASS_LIST" || return
    drv mouse-click "$CPU_BUTTON" || { fail "cannot click the CPU button"; return; }
    wait_priorities "$PROGRAM_WAIT_MS" "$program_pid=0x8000" ||
        fail "the click on the CPU button did not raise the row's program to above normal: $(val priority)"
    drv focus "$HWND"
    expect_eq "the control with the focus after the click" "$(focused_control)" "$CLASS_LIST"
    drv state "$CLASS_LIST"
    expect_eq "the class list's text after the click" "$(val caption)" StellmarkE2EMouse
    # Typing goes on where it was.
    drv keys "$HWND" end text:X || fail "cannot type on"
    drv wait-text "$CLASS_LIST" StellmarkE2EMouseX "$PROGRAM_WAIT_MS" ||
        fail "the class list's text after typing on: expected 'StellmarkE2EMouseX', got '$(val text)'"

    drv post "$HWND" "$MSG_QUIT" 0 0
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || { fail "the program did not end on MsgQuit"; return; }
    drv reg-get "$SETTINGS_KEY" CPUpriority0
    expect_eq "stored CPU priority of row 0" "$(val value)" 3
    drv reg-get "$SETTINGS_KEY" class0
    expect_eq "stored class of row 0" "$(val value)" StellmarkE2EMouseX
}

CASES+=(profile_row_without_scheme_activates_nothing priority_button_click_leaves_the_focus)
