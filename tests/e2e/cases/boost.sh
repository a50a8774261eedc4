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
# another one behind it goes to idle priority within two housekeeping ticks (2.5 s
# each); switching boosting off gives both their normal priority back at once.
case_boost_foreground_and_eco_mode() {
    fixture_window behind BackgroundProgram "Background program" visible || return
    local back_pid
    back_pid=$(val pid "$FIXTURE_LOG")
    fixture_window front ForegroundProgram "Foreground program" visible || return
    local front=$FIXTURE_HWND front_pid
    front_pid=$(val pid "$FIXTURE_LOG")
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
    if wait_priorities 6500 "$front_pid=0x8000" "$back_pid=0x40"; then
        note "foreground above normal and background idle after $WAITED_MS ms"
    else
        drv priority "$front_pid"
        local seen_front
        seen_front=$(val priority)
        drv priority "$back_pid"
        fail "within two housekeeping ticks: foreground $seen_front (want 0x8000), background $(val priority) (want 0x40)"
    fi
    # The program's own process is never sent into eco mode.
    drv priority "$PID"
    expect_eq "priority of the program itself" "$(val priority)" 0x20

    drv click "$boost" || { fail "cannot click the boost check box again"; return; }
    wait_priorities 2000 "$front_pid=0x20" "$back_pid=0x20" ||
        fail "boosting off did not give both programs their normal priority back"
    drv post "$HWND" $MSG_QUIT 0 0
    drv wait-exit "$PID" 8000 || fail "the program did not end on MsgQuit"
}

CASES+=(boost_foreground_and_eco_mode)
