# Cases of the Win32 paths that no unit test reaches: the notification icon's clicks and
# menu, the exit question's answers, the bottom buttons, keyboard moves of the sliders,
# boxes that must not open twice, and where the power service is loaded from.
# Sourced by ../run.sh, whose helpers they use.

# The notification icon's callback message and the mouse messages it carries.
TRAY_MESSAGE=0x0600
WM_LBUTTONUP=0x0202
WM_LBUTTONDBLCLK=0x0203
WM_RBUTTONUP=0x0205
WM_KEYDOWN=0x0100
WM_CHAR=0x0102
BM_CLICK=0x00F5
TBM_GETPOS=0x0400
EXIT_QUESTION="Are you sure you want to exit?"

# tray <mouse message>: what the shell tells the program about its icon.
tray() { drv post "$HWND" $TRAY_MESSAGE 1 "$1" || fail "cannot post the tray message $1"; }

# tray_menu_pick <access key>: a right click on the icon, then the item with that key.
tray_menu_pick() {
    tray $WM_RBUTTONUP
    if ! drv wait-popup "$PID" "$PROGRAM_WAIT_MS"; then
        drv windows "$PID"
        fail "the icon's menu did not open"
        return 1
    fi
    local menu
    menu=$(val hwnd)
    drv post "$menu" $WM_CHAR "$(printf '%d' "'$1")" 0 || { fail "cannot pick '$1' in the icon's menu"; return 1; }
    drv wait-gone "$menu" "$PROGRAM_WAIT_MS" || { fail "the icon's menu did not close after '$1'"; return 1; }
}

# open_boxes: the number of message boxes and task dialogs the program shows.
open_boxes() {
    drv windows "$PID"
    grep -c '^window=.* visible=1 class=#32770 ' "$D_OUT"
}

# exit_question: waits for the exit question; sets BOX.
exit_question() {
    BOX=
    drv find-dialog "$EXIT_QUESTION" "$PROGRAM_WAIT_MS" "$PID" || { fail "no exit question appeared"; return 1; }
    BOX=$(val hwnd)
}

# close_to_tray [first]: the frame's close command; the first close of a run shows the
# notice, which goes out of the way with OK.
close_to_tray() {
    drv post "$HWND" $WM_SYSCOMMAND $SC_CLOSE 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" hidden || { fail "the main window did not hide"; return 1; }
    [[ ${1:-} == first ]] || return 0
    drv find-dialog "$NOTICE" "$PROGRAM_WAIT_MS" "$PID" || { fail "the first close showed no notice"; return 1; }
    local box
    box=$(val hwnd)
    drv press "$box" OK
    drv wait-gone "$box" "$PROGRAM_WAIT_MS" || fail "the notice did not close on OK"
}

# side_labels: the "Active" labels right of the high and low lists; sets SIDE_HIGH
# and SIDE_LOW.
side_labels() {
    drv list-children "$HWND" || return 1
    local combo
    for combo in "$COMBO_HIGH" "$COMBO_LOW"; do
        awk -v c="child=$combo" '$1 == c { f = 1; next } f && / class=Static / { sub(/^child=/, "", $1); print $1; exit }' \
            "$D_OUT"
    done >"$CASE_DIR/side-labels.txt"
    { read -r SIDE_HIGH && read -r SIDE_LOW; } <"$CASE_DIR/side-labels.txt"
    [[ -n $SIDE_HIGH && -n $SIDE_LOW ]] || { fail "cannot find the 'Active' labels"; return 1; }
}

# side: "high" or "low", from the "Active" labels.
side() {
    drv state "$SIDE_LOW"
    if [[ $(val caption) == Active ]]; then echo low; else echo high; fi
}

activations_since() { # <power log line>
    sed -n "$(($1 + 1)),\$p" "${STELLMARK_POWER_LOG:-/dev/null}" | grep -c '^PowerSetActiveScheme'
}

# wait_activations <power log line> <count>: at least that many activations since the line.
wait_activations() {
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while (($(activations_since "$1") < $2)); do
        (($(now_ms) < until)) || return 1
        sleep 0.05
    done
}

# A left click on the icon toggles the side; a double click (button up, double click,
# button up) toggles twice and shows the window; the menu items run the actions of
# their captions; the exit question's Cancel and Escape keep the program.
case_tray_clicks_and_menu_run_their_actions() {
    give_input || return
    start_main || return
    main_controls || return
    side_labels || return
    # Paused, only the icon switches: the load check would switch back.
    tray_menu_pick p || return
    drv wait-text "$LABEL_CPU" '^Paused.*' "$PROGRAM_WAIT_MS" || fail "'Pause' in the icon's menu did not pause: '$(val text)'"

    local before after mark
    before=$(side)
    mark=$(power_count)
    tray $WM_LBUTTONUP
    after=$([[ $before == low ]] && echo high || echo low)
    drv wait-text "$([[ $after == low ]] && echo "$SIDE_LOW" || echo "$SIDE_HIGH")" '^Active$' "$PROGRAM_WAIT_MS" ||
        fail "a left click did not switch from the $before side to the $after side"
    expect_eq "schemes activated by one left click" "$(activations_since "$mark")" 1

    close_to_tray first || return
    before=$(side)
    mark=$(power_count)
    tray $WM_LBUTTONUP
    tray $WM_LBUTTONDBLCLK
    tray $WM_LBUTTONUP
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || fail "a double click did not show the window"
    # The second button release comes after the window shows.
    wait_activations "$mark" 2
    expect_eq "schemes activated by one double click" "$(activations_since "$mark")" 2
    expect_eq "side after a double click" "$(side)" "$before"

    close_to_tray || return
    tray_menu_pick s || return
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || fail "'Show' in the icon's menu did not show the window"

    tray_menu_pick x || return
    exit_question || return
    drv press "$BOX" Cancel || fail "the exit question has no Cancel button"
    drv wait-gone "$BOX" "$PROGRAM_WAIT_MS" || fail "the exit question did not close on Cancel"
    sleep 0.3
    drv alive "$PID" || { fail "Cancel ended the program"; return; }
    tray_menu_pick x || return
    exit_question || return
    drv post "$BOX" $WM_KEYDOWN 0x1B 0
    drv wait-gone "$BOX" "$PROGRAM_WAIT_MS" || fail "the exit question did not close on Escape"
    sleep 0.3
    drv alive "$PID" || { fail "Escape ended the program"; return; }
    drv state "$HWND"
    expect_eq "window after the answers that keep the program" "$(val visible)" 1
}

# While the close notice is open the window can be shown and closed again, and while
# the exit question is open the icon's menu can ask again: neither opens a second box.
case_notice_and_exit_question_open_once() {
    start_main || return
    drv post "$HWND" $WM_SYSCOMMAND $SC_CLOSE 0
    drv find-dialog "$NOTICE" "$PROGRAM_WAIT_MS" "$PID" || { fail "no notice appeared"; return; }
    local notice
    notice=$(val hwnd)
    drv post "$HWND" $MSG_SHOW_WINDOW 0 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || fail "the window did not show while the notice was open"
    drv post "$HWND" $WM_SYSCOMMAND $SC_CLOSE 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" hidden || fail "the second close did not hide the window"
    sleep 0.5
    expect_eq "boxes open after a second close during the notice" "$(open_boxes)" 1
    drv press "$notice" OK
    drv wait-gone "$notice" "$PROGRAM_WAIT_MS" || fail "the notice did not close on OK"
    expect_eq "boxes open after the notice" "$(open_boxes)" 0

    tray_menu_pick x || return
    exit_question || return
    tray_menu_pick x || return
    sleep 0.5
    expect_eq "boxes open after asking to exit twice" "$(open_boxes)" 1
    drv press "$BOX" Cancel
    drv wait-gone "$BOX" "$PROGRAM_WAIT_MS" || fail "the exit question did not close on Cancel"
    sleep 0.3
    expect_eq "boxes open after Cancel" "$(open_boxes)" 0
    drv alive "$PID" || fail "the program ended"
}

# The bottom buttons: Close hides to the notification area with the notice, Exit asks
# and ends on Yes.
case_close_and_exit_buttons() {
    start_main || return
    drv list-children "$HWND" || { fail "cannot list the main window's controls"; return; }
    local close exit
    close=$(sed -n 's/^child=\([^ ]*\) .* class=Button text=&Close$/\1/p' "$D_OUT" | head -n 1)
    exit=$(sed -n 's/^child=\([^ ]*\) .* class=Button text=E&xit$/\1/p' "$D_OUT" | head -n 1)
    [[ -n $close && -n $exit ]] || { fail "no '&Close' and 'E&xit' buttons"; return; }
    drv post "$close" $BM_CLICK 0 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" hidden || fail "the Close button did not hide the window"
    if drv find-dialog "$NOTICE" "$PROGRAM_WAIT_MS" "$PID"; then
        local box
        box=$(val hwnd)
        drv press "$box" OK
        drv wait-gone "$box" "$PROGRAM_WAIT_MS" || fail "the notice did not close on OK"
    else
        fail "the Close button showed no notice"
    fi
    drv alive "$PID" || { fail "the Close button ended the program"; return; }
    drv post "$HWND" $MSG_SHOW_WINDOW 0 0
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" visible || { fail "the window did not show again"; return; }
    drv post "$exit" $BM_CLICK 0 0
    exit_question || return
    drv press "$BOX" Yes || fail "the exit question has no Yes button"
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || fail "Yes did not end the program"
}

# The window opens on the options page; sliders moved with the keyboard keep the gap
# of at least 5 between the low and the high threshold.
case_slider_keys_keep_the_gap() {
    start_main || return
    drv list-children "$HWND" || { fail "cannot list the main window's controls"; return; }
    local page
    page=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=1 class=$CLASS text=Power Options\$/\1/p" "$D_OUT")
    [[ -n $page ]] || fail "the window does not open on the visible 'Power Options' page"
    grep -q "^child=.* visible=1 class=$CLASS text=Edit hidden settings\$" "$D_OUT" &&
        fail "the 'Edit hidden settings' page shows"
    [[ -n $page ]] || return
    local bars
    mapfile -t bars < <(sed -n "s/^child=\([^ ]*\) parent=$page id=[^ ]* visible=1 class=msctls_trackbar32 .*/\1/p" "$D_OUT")
    ((${#bars[@]} >= 2)) || { fail "the options page has ${#bars[@]} sliders"; return; }
    local low=${bars[0]} high=${bars[1]} row bar key want_low want_high
    # slider | key | low after | high after
    for row in "$high|0x24|5|10" "$low|0x23|90|95" "$high|0x25|89|94"; do
        IFS='|' read -r bar key want_low want_high <<<"$row"
        drv post "$bar" $WM_KEYDOWN "$key" 0
        # Until the program has taken the key: both sliders and their labels as expected.
        local until=$(($(now_ms) + PROGRAM_WAIT_MS))
        while (($(now_ms) < until)); do
            drv send "$low" $TBM_GETPOS 0 0 && [[ $(val result) == "$want_low" ]] &&
                drv send "$high" $TBM_GETPOS 0 0 && [[ $(val result) == "$want_high" ]] &&
                drv list-children "$page" && grep -q "class=Static text=$want_low%\$" "$D_OUT" &&
                grep -q "class=Static text=$want_high%\$" "$D_OUT" && break
            sleep 0.1
        done
        drv send "$low" $TBM_GETPOS 0 0
        expect_eq "low slider after key $key" "$(val result)" "$want_low"
        drv send "$high" $TBM_GETPOS 0 0
        expect_eq "high slider after key $key" "$(val result)" "$want_high"
        drv list-children "$page"
        grep -q "class=Static text=$want_low%\$" "$D_OUT" || fail "no label reads $want_low% after key $key"
        grep -q "class=Static text=$want_high%\$" "$D_OUT" || fail "no label reads $want_high% after key $key"
    done
}

# The power service comes from the system folder: a copy planted beside the program is
# never loaded (each copy of the simulated service notes where it was loaded from).
case_power_service_only_from_system_folder() {
    [[ -n $POWRPROF ]] || { fail "no simulated power service was built"; return; }
    cp "$POWRPROF" "$CASE_DIR/powrprof.dll"
    export STELLMARK_POWER_LOADED_LOG=$CASE_DIR/loaded.txt
    check_scheme_lists lists-all-standard.txt "Full speed|Power saver|Quiet office|Balanced" 3 1
    local loaded=$CASE_DIR/loaded-lines.txt system='^loaded c:\\windows\\system32\\powrprof\.dll$'
    tr -d '\r' <"$STELLMARK_POWER_LOADED_LOG" >"$loaded" 2>/dev/null
    note "loaded: $(paste -sd ';' "$loaded")"
    expect_eq "power services loaded from the system folder" "$(grep -ci "$system" "$loaded")" 1
    expect_eq "power services loaded from elsewhere" "$(grep -vci "$system" "$loaded")" 0
}

CASES+=(
    tray_clicks_and_menu_run_their_actions
    notice_and_exit_question_open_once
    close_and_exit_buttons
    slider_keys_keep_the_gap
    power_service_only_from_system_folder
)
