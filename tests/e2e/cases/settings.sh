# Settings and program profiles: what one run writes to the registry, the next reads;
# the close notice's flag starts later runs in the notification area; a profile row
# reaches the process of a window of its class.

G_HIGH_PERFORMANCE="{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"
# The three standard schemes as the store keeps them: 16 bytes in Windows GUID layout.
HEX_POWER_SAVER=08,13,84,a1,41,35,ab,4f,bc,81,f7,15,56,f2,0b,4a
HEX_BALANCED=22,42,1b,38,94,f6,f0,41,96,85,ff,5b,b2,60,df,2e
HEX_HIGH_PERFORMANCE=da,7f,5e,8c,bf,e8,96,4a,9a,85,a6,e2,3a,8c,63,5c
# The window class of the stand-in for a profiled program.
PROFILED_CLASS=StellmarkE2EProfiled

# import_settings <lines>: the settings key as a first save leaves it (every value the
# read requires), plus the given lines in regedit's format, written in one import.
import_settings() {
    local file=$CASE_DIR/settings.reg
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KZQStellmark]\r\n'
        printf '"%s"=dword:%08x\r\n' paused 0 checktemp 1 checkidle 1 lowcpu 20 highcpu 75 checkstime 1000 \
            mintime 4000 templimit 90 idletime 5
        printf '"lowscheme"=hex:%s\r\n"highscheme"=hex:%s\r\n' "$HEX_POWER_SAVER" "$HEX_BALANCED"
        printf '%s\r\n' "$@"
    } >"$file"
    wine_quiet regedit /S "$(winpath "$file")" || { fail "cannot import $file"; return 1; }
    note "settings imported: $*"
}

# quit_main: the running copy ends through its quit message, saving on the way out.
quit_main() {
    drv post "$HWND" $MSG_QUIT 0 0 || { fail "cannot post the quit message"; return 1; }
    drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || { fail "the program did not end on the quit message"; return 1; }
}

# expect_stored <value> <expected>: a value of the settings key as the program left it.
expect_stored() {
    drv reg-get "$SETTINGS_KEY" "$1"
    expect_eq "stored $1" "$(val value)" "$2"
}

# Thresholds, scheme choices and a profile row read at start are written back at exit
# as the program holds them (80/82 become 77/82 by the five-point gap), and the next
# start reads and shows what the first one wrote.
case_settings_written_are_read_next_start() {
    import_settings '"lowcpu"=dword:00000050' '"highcpu"=dword:00000052' '"mintime"=dword:00001194' \
        "\"lowscheme\"=hex:$HEX_HIGH_PERFORMANCE" '"templimit"=dword:00000046' \
        "\"class0\"=\"$PROFILED_CLASS\"" "\"scheme0\"=hex:$HEX_POWER_SAVER" '"CPUpriority0"=dword:00000001' || return
    start_main || return
    quit_main || return
    expect_stored lowcpu 77
    expect_stored highcpu 82
    expect_stored mintime 4000
    expect_stored templimit 70
    expect_stored lowscheme "${HEX_HIGH_PERFORMANCE//,/}"
    expect_stored lowestscheme "${HEX_POWER_SAVER//,/}"
    expect_stored class0 "$PROFILED_CLASS"
    expect_stored scheme0 "${HEX_POWER_SAVER//,/}"
    expect_stored CPUpriority0 1
    expect_stored Cstart0 "$(nproc_wine)"

    start_main || return
    main_controls || return
    drv combo "$COMBO_LOW"
    expect_eq "low scheme shown after the restart" "$(val selected_text)" "High performance"
    drv list-children "$HWND"
    grep -q "class=Static text=77%\$" "$D_OUT" || fail "the low threshold does not show 77% after the restart"
    grep -q "class=Static text=82%\$" "$D_OUT" || fail "the high threshold does not show 82% after the restart"
    quit_main || return
    expect_stored lowcpu 77
    expect_stored class0 "$PROFILED_CLASS"
}

# The processor count as the program sees it: "All Cores" is stored as that number.
nproc_wine() {
    local n
    n=$(nproc)
    ((n > 32)) && n=32
    echo "$n"
}

# The first close to the notification area writes "MShown0" = "yes"; the next start
# shows the main window once and hides it at once, without the notice.
case_notice_flag_starts_next_run_hidden() {
    start_main || return
    drv post "$HWND" $WM_SYSCOMMAND $SC_CLOSE 0 || { fail "cannot post the close command"; return; }
    if drv find-dialog "minimized to the system notification area" "$PROGRAM_WAIT_MS" "$PID"; then
        drv press "$(val hwnd)" OK || fail "cannot press OK on the notice"
    else
        fail "no notice box appeared on the first close"
    fi
    expect_stored MShown0 yes
    quit_main || return

    start_main exists || return
    drv wait-window "$CLASS" "$CAPTION" "$PROGRAM_WAIT_MS" hidden || fail "the second run did not go to the notification area"
    drv find-dialog "minimized" 1500 "$PID" && fail "the notice was shown again in the second run"
    drv alive "$PID" || fail "the second run ended"
    expect_stored lowcpu 20  # the hide at start saved the settings
}

# A profile row for the window class of a program of ours: its process gets the row's
# priority, the row's scheme is activated, and the load rule waits while the window
# is on screen: with every core busy, balanced (the high scheme) comes only after the
# window has gone.
case_profile_row_applies_to_its_window() {
    give_input || return
    fixture_window profiled "$PROFILED_CLASS" "Profiled program" visible || return
    local game=$FIXTURE_HWND game_pid=$FIXTURE_PID
    drv priority "$game_pid"
    expect_eq "priority of the profiled program before the start" "$(val priority)" 0x20
    import_settings "\"class0\"=\"$PROFILED_CLASS\"" "\"scheme0\"=hex:$HEX_HIGH_PERFORMANCE" \
        '"CPUpriority0"=dword:00000003' || return
    start_main || return

    wait_priorities "$PROGRAM_WAIT_MS" "$game_pid=0x8000" ||
        fail "the profiled program did not get above normal priority: $(val priority)"
    if ! wait_power "PowerSetActiveScheme $G_HIGH_PERFORMANCE" 0 "$PROGRAM_WAIT_MS"; then
        fail "the row's scheme was not activated: $(power_lines 1 "$(power_count)")"
        return
    fi
    local mark=$POWER_LINE
    # Long enough for the wait below and the one for the load rule's return after it.
    load_cores 40
    if wait_power "PowerSetActiveScheme $G_BALANCED" "$mark" 8000; then
        fail "the load rule switched while the profiled window was on screen"
    fi
    drv post "$game" $WM_CLOSE 0 0
    drv wait-gone "$game" "$PROGRAM_WAIT_MS" || fail "the profiled window did not close"
    if ! wait_power "PowerSetActiveScheme $G_BALANCED" "$mark" "$PROGRAM_WAIT_MS"; then
        fail "the load rule did not come back after the profiled window had gone (machine load $(machine_load) %)"
    fi
    stop_load
    expect_eq "schemes activated" "$(grep -c '^PowerSetActiveScheme' "$STELLMARK_POWER_LOG")" 2
}

CASES+=(settings_written_are_read_next_start notice_flag_starts_next_run_hidden profile_row_applies_to_its_window)
