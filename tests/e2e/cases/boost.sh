# shellcheck shell=bash
# Boost and eco mode, and the profile page, seen from other programs' processes.

BOOST_CAPTION="Boost foreground application while putting background applications in eco mode"

# child_with_text <window> <class> <text>: the first child window of that class showing
# exactly that text; sets CHILD.
child_with_text() {
    CHILD=''
    drv list-children "$1" || return 1
    CHILD=$(awk -v cls="class=$2" -v text="text=$3" '
        { i = index($0, " " cls " text="); if (i && substr($0, i + 1) == cls " " text) { sub(/^child=/, "", $1); print $1; exit } }' \
        "$D_OUT")
    [[ -n $CHILD ]]
}

# wait_priorities <timeout ms> <pid=class>...: polls until every process has the
# priority class given (hex, as the driver prints it); sets WAITED_MS.
wait_priorities() {
    local until start pair ok
    start=$(now_ms)
    until=$((start + $1))
    shift
    for (( ; ; )); do
        ok=1
        for pair in "$@"; do
            drv priority "${pair%%=*}" && [[ $(val priority) == "${pair#*=}" ]] || { ok=0; break; }
        done
        WAITED_MS=$(($(now_ms) - start))
        ((ok)) && return 0
        (($(now_ms) >= until)) && return 1
        sleep 0.2
    done
}

# With boosting on, a program of ours in the foreground runs above normal priority and
# another one behind it goes to idle priority (two housekeeping ticks, which the native
# tests count); switching boosting off gives both their normal priority back.
case_boost_foreground_and_eco_mode() {
    fixture_window behind BackgroundProgram "Background program" visible || return
    local back_pid=$FIXTURE_PID
    fixture_window front ForegroundProgram "Foreground program" visible || return
    local front=$FIXTURE_HWND front_pid=$FIXTURE_PID
    give_input || return
    start_main || return
    child_with_text "$HWND" Button "$BOOST_CAPTION" || { fail "no boost check box on the options page"; return; }
    local boost=$CHILD
    for pid in "$front_pid" "$back_pid"; do
        drv priority "$pid"
        expect_eq "priority of $pid before boosting" "$(val priority)" 0x20
    done

    drv click "$boost" || { fail "cannot click the boost check box"; return; }
    drv foreground "$front" || fail "cannot bring the foreground program to the front"
    if wait_priorities "$PROGRAM_WAIT_MS" "$front_pid=0x8000" "$back_pid=0x40"; then
        note "foreground above normal and background idle after $WAITED_MS ms"
    else
        drv priority "$front_pid"
        local seen_front
        seen_front=$(val priority)
        drv priority "$back_pid"
        fail "after boosting: foreground $seen_front (want 0x8000), background $(val priority) (want 0x40)"
    fi
    # The program's own process is never sent into eco mode.
    drv priority "$PID"
    expect_eq "priority of the program itself" "$(val priority)" 0x20

    drv click "$boost" || { fail "cannot click the boost check box again"; return; }
    wait_priorities "$PROGRAM_WAIT_MS" "$front_pid=0x20" "$back_pid=0x20" ||
        fail "boosting off did not give both programs their normal priority back"
    drv post "$HWND" $MSG_QUIT 0 0
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || fail "the program did not end on MsgQuit"
}

CASES+=(boost_foreground_and_eco_mode)

# page_children <title>: the children of the main window's page with that tab text, one
# "child=... class=... text=..." line each in creation order, into $CASE_DIR/page.txt.
page_children() {
    drv list-children "$HWND" || return 1
    local page
    page=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=$CLASS text=$1\$/\1/p" "$D_OUT" | head -n 1)
    [[ -n $page ]] || return 1
    grep "^child=[^ ]* parent=$page " "$D_OUT" >"$CASE_DIR/page.txt"
}

# nth_child <class> <n> [text]: the n-th (from 1) child on the page of that class,
# with that text when given.
nth_child() {
    awk -v cls="$1" -v n="$2" -v text="${3-}" -v any="${3+x}" '
        { c = $0; sub(/^.* class=/, "", c); t = c; sub(/ text=.*$/, "", c); sub(/^[^ ]* text=/, "", t)
          if (c == cls && (any == "" || t == text) && ++seen == n) { sub(/^child=/, "", $1); print $1; exit } }' \
        "$CASE_DIR/page.txt"
}

# profile_line1: the "Power Profiles" page opened by the right arrow key on the tab row,
# and its line 1 found there; sets CLASS_LIST, SCHEME_LIST and CPU_BUTTON.
profile_line1() {
    CLASS_LIST='' SCHEME_LIST='' CPU_BUTTON=''
    drv list-children "$HWND"
    local tabs
    tabs=$(tab_row)
    [[ -n $tabs ]] || { fail "no page control"; return 1; }
    drv post "$tabs" 0x0100 0x27 0 # the right arrow key: the next page, "Power Profiles"
    page_children "Power Profiles" || { fail "no 'Power Profiles' page"; return 1; }
    CLASS_LIST=$(nth_child ComboBox 1)
    SCHEME_LIST=$(nth_child ComboBox 2)
    CPU_BUTTON=$(nth_child Button 2 "") # after the line's even-core box, also a button without text
    [[ -n $CLASS_LIST && -n $SCHEME_LIST && -n $CPU_BUTTON ]] || { fail "line 1 has not its controls"; return 1; }
}

# window_shot <window> <file>: a picture of the window as it is on the screen.
window_shot() {
    drv state "$1"
    local x y w h
    x=$(val x) y=$(val y) w=$(val w) h=$(val h)
    sleep 1.5 # let it paint
    import -display "$DISPLAY" -window root "$CASE_DIR/screen.png" >>"$CASE_LOG" 2>&1 || return 1
    ((x < 0)) && { w=$((w + x)); x=0; }
    ((y < 0)) && { h=$((h + y)); y=0; }
    convert "$CASE_DIR/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$2" >>"$CASE_LOG" 2>&1
}

# A row edited on the profile page (a class typed, high CPU priority clicked, a scheme
# picked) is applied to the program with that window class at the next load checks,
# and saved at the exit. A picture of the page goes to the documentation.
case_profile_row_edited_applied_and_saved() {
    fixture_window profiled ProfiledProgram "Profiled program" visible || return
    local program_pid=$FIXTURE_PID
    give_input || return
    start_main || return
    profile_line1 || return
    local class_list=$CLASS_LIST scheme_list=$SCHEME_LIST cpu_button=$CPU_BUTTON
    drv combo "$scheme_list"
    local high_index
    high_index=$(sed -n 's/^item=//p' "$D_OUT" | grep -n -x 'High performance' | cut -d: -f1)
    [[ -n $high_index ]] || { fail "no 'High performance' in the scheme list"; return; }

    # Entering the class list offers the program windows open now, ours not among them.
    drv enter "$class_list" || fail "cannot enter the class list"
    drv combo "$class_list"
    grep -q -x 'item=ProfiledProgram = Profiled program' "$D_OUT" || fail "the class list does not offer the program"
    grep -q "^item=$CLASS = " "$D_OUT" && fail "the class list offers a window of the program itself"
    drv state "$class_list"
    expect_eq "class list text after entering" "$(val caption)" "Select program window class"

    local mark
    mark=$(power_count)
    drv type "$class_list" ProfiledProgram || fail "cannot type into the class list"
    drv click "$cpu_button" || fail "cannot click the CPU button"
    drv pick "$scheme_list" $((high_index - 1)) || fail "cannot pick the scheme"
    wait_power "PowerSetActiveScheme {8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}" "$mark" "$PROGRAM_WAIT_MS" ||
        fail "the row's scheme was not activated"
    wait_priorities "$PROGRAM_WAIT_MS" "$program_pid=0x8000" || fail "the row's CPU priority did not reach the program"

    local shot=$OUT/profile-page.png
    if window_shot "$HWND" "$shot"; then
        local colours
        colours=$(identify -format '%k' "$shot" 2>>"$CASE_LOG")
        expect_between "colours in the screenshot" "${colours:-0}" 16 100000000
        if [[ ${STELLMARK_UPDATE_SCREENSHOT:-0} == 1 && $CASE_OK == 1 ]]; then
            mkdir -p "$ROOT/docs" && cp "$shot" "$ROOT/docs/profile-page.png" && note "copied to docs/profile-page.png"
        fi
    else
        fail "could not take the screenshot"
    fi

    drv post "$HWND" $MSG_QUIT 0 0
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || { fail "the program did not end on MsgQuit"; return; }
    drv reg-get "$SETTINGS_KEY" class0
    expect_eq "stored class of row 0" "$(val value)" ProfiledProgram
    drv reg-get "$SETTINGS_KEY" scheme0
    expect_eq "stored scheme of row 0 (REG_BINARY)" "$(val type)" 3
    drv reg-get "$SETTINGS_KEY" CPUpriority0
    expect_eq "stored CPU priority of row 0" "$(val value)" 3
}

CASES+=(profile_row_edited_applied_and_saved)
