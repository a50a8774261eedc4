# The main window from the keyboard alone: Tab reaches every control of every page in
# reading order (down the left column, down the right one, the bottom row of buttons,
# the tab row), Space uses the control that has the focus, and Alt with a letter uses
# the button whose caption marks that letter, also while the focus is on a page.

# The options page as Tab runs through it from the window: "where|class|text", where
# is the page, the bottom panel or the window itself; "*" stands for any text. The two
# boost sub-options are disabled while boosting is off, so Tab passes them by.
KEYBOARD_OPTIONS_WALK=(
    "page|ComboBox|*" "page|ComboBox|*" "page|ComboBox|*"
    "page|msctls_trackbar32|*" "page|msctls_trackbar32|*" "page|msctls_trackbar32|*" "page|msctls_trackbar32|*"
    "page|Button|Switch to lowest power saving scheme when temperature is above:" "page|msctls_trackbar32|*"
    "page|Button|Switch to lowest power saving scheme when user is inactive for more than:"
    "page|msctls_trackbar32|*"
    "page|Button|Switch to lowest power saving scheme when running on battery"
    "page|Button|Pause - do not check CPU load or active programs to switch power schemes"
    "page|Button|No Sleep - Prevent the computer from entering sleep state"
    "page|Button|Keep Screen On - The computer might still go to sleep if the No Sleep option is not enabled"
    "page|Button|End the Screen On and No Sleep states after this time interval:" "page|msctls_trackbar32|*"
    "page|Button|Boost foreground application while putting background applications in eco mode"
    "page|Button|Use the single core load percentage instead of all cores load percentage - recommended if you have many cores"
    "page|Button|Enable Windows energy saver mode"
    "bottom|Button|&Close" "bottom|Button|E&xit" "window|SysTabControl32|*"
)
KEYBOARD_PAUSE_STOP=13 # the place of the pause box in that walk

# A page change gives the Close button the focus, so Tab goes on to Exit and the tab row
# first. Then the profile page's first line: class, scheme, start and end core, the CPU
# and I/O priority buttons (the even-core box is disabled while the start core is "All
# Cores"); then the next line's class list.
KEYBOARD_PROFILE_WALK=(
    "bottom|Button|E&xit" "window|SysTabControl32|*"
    "page|ComboBox|Select program window class" "page|ComboBox|*"
    "page|ComboBox|All Cores" "page|ComboBox|All Cores" "page|Button|" "page|Button|"
    "page|ComboBox|Select program window class"
)

# The editor page on the editor's catalogue, from the Close button: the scheme list, the
# two lists, the AC and DC spin boxes of the first setting, the editor's three buttons.
KEYBOARD_EDITOR_WALK=(
    "bottom|Button|E&xit" "window|SysTabControl32|*" "page|ComboBox|Balanced" "page|ListBox|*" "page|ListBox|*" "panel|Edit|5" "panel|Edit|*"
    "bottom|Button|&Activate Scheme" "bottom|Button|&Reset setting" "bottom|Button|&Search for information"
    "bottom|Button|&Close"
)

# keyboard_page <tab text>: waits for the page to show; its window and, in
# $CASE_DIR/page.txt, its children in Z order. Sets PAGE, BOTTOM (the bottom panel),
# PANEL (a panel on the page) and CLOSE (the Close button).
keyboard_page() {
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while :; do
        drv list-children "$HWND" || { fail "cannot list the main window's controls"; return 1; }
        PAGE=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=1 class=$CLASS text=$1\$/\1/p" "$D_OUT" | head -n 1)
        [[ -n $PAGE ]] || (($(now_ms) >= until)) || { sleep 0.1; continue; }
        break
    done
    BOTTOM=$(sed -n 's/^child=[^ ]* parent=\([^ ]*\) id=[^ ]* visible=[01] class=Button text=&Close$/\1/p' "$D_OUT")
    CLOSE=$(sed -n 's/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=Button text=&Close$/\1/p' "$D_OUT")
    [[ -n $PAGE && -n $BOTTOM ]] || { fail "no visible page '$1' or no bottom panel"; return 1; }
    PANEL=$(sed -n "s/^child=\([^ ]*\) parent=$PAGE id=[^ ]* visible=[01] class=$CLASS .*/\1/p" "$D_OUT" | head -n 1)
    grep "^child=[^ ]* parent=$PAGE " "$D_OUT" >"$CASE_DIR/page.txt"
}

# walk_reached <what> <expected>...: the controls the last tab-walk reached, in order,
# against "where|class|text" rows; the controls themselves go to WALKED.
walk_reached() {
    local what=$1 line control parent cls text where i=0 got=()
    shift
    WALKED=()
    while read -r line; do
        control=$(sed -n 's/^focus=[^ ]* control=\([^ ]*\) .*/\1/p' <<<"$line")
        parent=$(sed -n 's/^.* parent=\([^ ]*\) class=.*/\1/p' <<<"$line")
        cls=$(sed -n 's/^.* class=\([^ ]*\) text=.*/\1/p' <<<"$line")
        text=${line#* text=}
        case $parent in
            "$PAGE") where=page ;;
            "$PANEL") where=panel ;;
            "$BOTTOM") where=bottom ;;
            "$HWND") where=window ;;
            *) where=$parent ;;
        esac
        WALKED+=("$control")
        got+=("$where|$cls|$text")
    done < <(grep '^focus=' "$D_OUT")
    expect_eq "$what: controls reached" "${#got[@]}" "$#"
    for want in "$@"; do
        if [[ $want == *'*' ]]; then
            [[ ${got[$i]:-} == "${want%\*}"* ]]
        else
            [[ ${got[$i]:-} == "$want" ]]
        fi || fail "$what: Tab $((i + 1)) reached '${got[$i]:-nothing}', not '$want'"
        i=$((i + 1))
    done
}

# focused_control: the control that had the focus at the end of the last keys command.
focused_control() { sed -n 's/^focus=[^ ]* control=\([^ ]*\) .*/\1/p' "$D_OUT"; }

# wait_focus <what> <control>: the focus reaches the control (a busy program may still be
# taking the keys).
wait_focus() {
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while drv focus "$HWND"; [[ $(focused_control) != "$2" ]]; do
        (($(now_ms) < until)) || { fail "$1: the focus is on '$(focused_control)', not on '$2'"; return 1; }
        sleep 0.1
    done
}

# nth_on_page <class> <n>: the n-th (from 1) child of that class on the page.
nth_on_page() {
    sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=$1 text=.*/\1/p" "$CASE_DIR/page.txt" |
        sed -n "$2p"
}

case_keyboard_reaches_every_page_control() {
    local question="Are you sure you want to exit?"
    export STELLMARK_POWER_CATALOGUE=$CATALOGUES/editor.txt
    give_input || return
    start_main || return
    main_controls || return

    # The options page, from the window itself round to its first control again.
    keyboard_page "Power Options" || return
    drv tab-walk "$HWND" $((${#KEYBOARD_OPTIONS_WALK[@]} + 1)) || { fail "cannot press Tab"; return; }
    walk_reached "options page" "${KEYBOARD_OPTIONS_WALK[@]}" "page|ComboBox|*"
    local last=
    ((${#WALKED[@]})) && last=${WALKED[${#WALKED[@]} - 1]}
    expect_eq "the control after the tab row" "$last" "${WALKED[0]:-}"
    expect_eq "the first control of the options page" "${WALKED[0]:-}" "$COMBO_HIGH"
    drv tab-walk "$HWND" 1 back
    walk_reached "Shift+Tab from the first control" "window|SysTabControl32|*"

    # Space ticks the focused pause box, which stops the load rule for the rest.
    drv keys "$HWND" $(printf 'tab %.0s' $(seq $KEYBOARD_PAUSE_STOP)) space || fail "cannot press the keys"
    drv wait-text "$LABEL_CPU" 'Paused.*' "$PROGRAM_WAIT_MS" || fail "Space on the focused pause box did not pause"

    # The profile page: the tab row's arrow key opens it; its first line, then the second.
    drv keys "$HWND" $(printf 'shift+tab %.0s' $(seq $KEYBOARD_PAUSE_STOP)) right || fail "cannot press the keys"
    keyboard_page "Power Profiles" || return
    wait_focus "after the page change" "$CLOSE"
    drv tab-walk "$HWND" ${#KEYBOARD_PROFILE_WALK[@]} || { fail "cannot press Tab"; return; }
    walk_reached "profile page" "${KEYBOARD_PROFILE_WALK[@]}"
    expect_eq "the first line's class list" "${WALKED[2]:-}" "$(nth_on_page ComboBox 1)"
    expect_eq "the first line's CPU button" "${WALKED[6]:-}" "$(nth_on_page Button 2)"
    expect_eq "the second line's class list" "${WALKED[8]:-}" "$(nth_on_page ComboBox 5)"

    # Back to the first line's class list: a class typed, the CPU priority stepped once
    # and the I/O priority twice with Space on the focused buttons.
    drv keys "$HWND" $(printf 'shift+tab %.0s' $(seq 6)) home shift+end text:KeyboardProgram \
        tab tab tab tab space tab space space || fail "cannot press the keys"
    wait_focus "after the priority buttons" "$(nth_on_page Button 3)"
    drv state "$(nth_on_page ComboBox 1)"
    expect_eq "class typed into the first line" "$(val caption)" KeyboardProgram

    # The editor page, opened from the tab row the same way.
    drv keys "$HWND" $(printf 'shift+tab %.0s' $(seq 6)) right || fail "cannot press the keys"
    keyboard_page "Edit hidden settings" || return
    wait_focus "after the page change" "$CLOSE"
    drv tab-walk "$HWND" ${#KEYBOARD_EDITOR_WALK[@]} || { fail "cannot press Tab"; return; }
    walk_reached "editor page" "${KEYBOARD_EDITOR_WALK[@]}"

    # Alt+A with the focus on the editor's settings list activates the scheme it shows.
    local before
    before=$(power_count)
    drv keys "$HWND" $(printf 'shift+tab %.0s' $(seq 6)) || fail "cannot press the keys"
    wait_focus "before Alt+A" "$(nth_on_page ListBox 2)"
    drv keys "$HWND" alt+a || fail "cannot press Alt+A"
    wait_power "PowerSetActiveScheme $G_BALANCED" "$before" "$PROGRAM_WAIT_MS" ||
        fail "Alt+A on the editor page did not activate its scheme: $(power_lines $((before + 1)) "$(power_count)")"

    # After the page changes by the arrow keys, the tabs still answer the mouse: a click
    # on the first tab, then on the second, opens each page.
    local tabs
    drv list-children "$HWND"
    tabs=$(tab_row)
    [[ -n $tabs ]] || { fail "no tab row"; return; }
    drv tab "$tabs" 0 || fail "cannot click the first tab"
    keyboard_page "Power Options" || fail "a click on the first tab after the arrow keys did not open its page"
    drv tab "$tabs" 1 || fail "cannot click the second tab"
    keyboard_page "Power Profiles" || fail "a click on the second tab did not open its page"

    # Alt+X asks whether to exit: Cancel keeps the program, Yes ends it, and the line
    # typed above is saved.
    local answer box
    for answer in Cancel Yes; do
        drv keys "$HWND" alt+x || fail "cannot press Alt+X"
        if ! drv find-dialog "$question" "$PROGRAM_WAIT_MS" "$PID"; then
            fail "Alt+X did not ask whether to exit (to be answered $answer)"
            return
        fi
        box=$(val hwnd)
        drv press "$box" $answer
        drv wait-gone "$box" "$PROGRAM_WAIT_MS" || fail "the exit question did not close on $answer"
        [[ $answer == Cancel ]] && { drv alive "$PID" || { fail "the program ended on Cancel"; return; }; }
    done
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || { fail "the program did not end on Yes"; return; }
    drv reg-get "$SETTINGS_KEY" class0
    expect_eq "stored class of row 0" "$(val value)" KeyboardProgram
    drv reg-get "$SETTINGS_KEY" CPUpriority0
    expect_eq "stored CPU priority of row 0" "$(val value)" 3
    drv reg-get "$SETTINGS_KEY" IOpriority0
    expect_eq "stored I/O priority of row 0" "$(val value)" 0
}

CASES+=(keyboard_reaches_every_page_control)
