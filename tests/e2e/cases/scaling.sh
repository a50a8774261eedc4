# The main window on a screen of a higher density. Wine takes the density of the
# programs it starts from the registry, so a case sets it for its own copy and sets it
# back before anything else starts. The test display is 1600 pixels wide: at 150 % the
# design's 1304 pixels would need 1956.

DESKTOP_KEY='HKCU\Control Panel\Desktop'
SCREEN_W=1600
SCREEN_H=1000

# dpi_case_start <dpi>: a copy of the program started at that density; its window's
# state in $D_OUT.
dpi_case_start() {
    wine_quiet reg add "$DESKTOP_KEY" /v LogPixels /t REG_DWORD /d "$1" /f || { fail "cannot set the density"; return 1; }
    give_input || return 1
    start_main || return 1
    drv state "$HWND"
}

# At 150 % the window is laid out at the largest density at which it fits the screen
# with its frame: in the screen, centred, client and frame as the design's proportions
# at one density give them, one density more too wide, and its controls laid out at
# that density too (the Exit button in the window). Back at 100 % it is the design.
case_window_fits_the_screen_at_150_percent() {
    if dpi_case_start 144; then
        local x y w h cw ch
        x=$(val x) y=$(val y) w=$(val w) h=$(val h) cw=$(val client_w) ch=$(val client_h)
        note "at 144 dpi: ${w}x${h}+${x}+${y}, client ${cw}x${ch}"
        ((x >= 0 && y >= 0 && x + w <= SCREEN_W && y + h <= SCREEN_H)) ||
            fail "the window ${w}x${h}+${x}+${y} is not inside the ${SCREEN_W}x${SCREEN_H} screen"
        expect_between "left edge (centred)" "$x" $(((SCREEN_W - w) / 2)) $(((SCREEN_W - w) / 2 + 2))
        expect_between "top edge (centred)" "$y" $(((SCREEN_H - h) / 2)) $(((SCREEN_H - h) / 2 + 2))
        # The density the client area stands for, and whether one more would have fitted.
        local d fit=
        for ((d = 143; d > 96; d--)); do
            if (((1304 * d + 48) / 96 == cw && (649 * d + 48) / 96 == ch)); then fit=$d; break; fi
        done
        if [[ -z $fit ]]; then
            fail "the client area ${cw}x${ch} is not the design at any density between 97 and 143 dpi"
        else
            note "laid out at $fit dpi"
            ((((1304 * (fit + 1) + 48) / 96) + w - cw > SCREEN_W)) ||
                fail "laid out at $fit dpi, though $((fit + 1)) dpi would have fitted"
        fi
        # The Exit button at the right end of the bottom row is wholly in the window.
        drv list-children "$HWND"
        local exit_button
        exit_button=$(sed -n 's/^child=\([^ ]*\) .* class=Button text=E&xit$/\1/p' "$D_OUT")
        if drv state "$exit_button"; then
            ((x <= $(val x) && $(val x) + $(val w) <= x + w && y <= $(val y) && $(val y) + $(val h) <= y + h)) ||
                fail "the Exit button $(val w)x$(val h)+$(val x)+$(val y) sticks out of the window ${w}x${h}+${x}+${y}"
        else
            fail "no Exit button"
        fi
        take_screenshot options-page-150.png
        drv post "$HWND" $MSG_QUIT 0 0
        drv wait-exit "$PID" "$PROGRAM_WAIT_MS" || fail "the program did not end on MsgQuit"
    fi
    wine_quiet reg delete "$DESKTOP_KEY" /v LogPixels /f || fail "cannot set the density back"
    dpi_case_start 96 || return
    expect_eq "client width at 96 dpi" "$(val client_w)" 1304
    expect_eq "client height at 96 dpi" "$(val client_h)" 649
    wine_quiet reg delete "$DESKTOP_KEY" /v LogPixels /f
}

CASES+=(window_fits_the_screen_at_150_percent)
