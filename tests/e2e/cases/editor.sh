# The "Edit hidden settings" page under Wine: its lists, the value panel's texts and
# writes, the reset and apply buttons, the create-scheme dialog and a screenshot of the
# page.

G_PROCESSOR="{54533251-82be-4824-96c1-47b60b740d00}"
G_MIN_STATE="{893dee8e-2bef-41e0-89c6-b55d0929964c}"
G_BOOST_MODE="{be337238-0d82-4146-a960-4f3749d470c7}"
G_SLEEP="{238c9fa8-0aad-41ed-83f4-97be242c8f20}"
G_SLEEP_AFTER="{29f6c1db-86da-48c5-9fdb-f2b67b1f44da}"
G_HIGH_PERFORMANCE="{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"
EDITOR_PAGE="Edit hidden settings"
POWER_SETTINGS_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Power\PowerSettings'
VK_RETURN=13

# editor_registry: the machine's power-settings key names the hidden boost-mode setting
# and its values only indirectly, as Windows keeps them.
editor_registry() {
    local key="$POWER_SETTINGS_KEY\\54533251-82BE-4824-96C1-47B60B740D00\\BE337238-0D82-4146-A960-4F3749D470C7"
    local i names=(Disabled Enabled Aggressive)
    wine_quiet reg add "$key" /v FriendlyName /d '@%SystemRoot%\system32\powrprof.dll,-7,Processor performance boost mode' /f ||
        { fail "cannot write the power-settings key"; return 1; }
    for i in 0 1 2; do
        wine_quiet reg add "$key\\$i" /v FriendlyName /d "@%SystemRoot%\\system32\\powrprof.dll,-1$i,${names[$i]}" /f ||
            { fail "cannot write the power-settings key"; return 1; }
    done
}

# editor_controls: the page's controls, found as a user finds them. Sets TABS,
# EDIT_SCHEME (the scheme list at the top), CATEGORIES and SETTINGS (the two lists),
# PANEL, SPIN_AC, SPIN_DC, VALUES_AC, VALUES_DC (the value panel), BUTTON_APPLY and
# BUTTON_RESET.
editor_controls() {
    drv list-children "$HWND" || { fail "cannot list the main window's controls"; return 1; }
    local page panel lists spins values
    TABS=$(tab_row)
    page=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=$CLASS text=$EDITOR_PAGE\$/\1/p" "$D_OUT")
    [[ -n $TABS && -n $page ]] || { fail "the main window has no '$EDITOR_PAGE' page"; return 1; }
    EDIT_SCHEME=$(sed -n "s/^child=\([^ ]*\) parent=$page id=[^ ]* visible=[01] class=ComboBox text=.*/\1/p" "$D_OUT")
    mapfile -t lists < <(sed -n "s/^child=\([^ ]*\) parent=$page id=[^ ]* visible=[01] class=ListBox text=.*/\1/p" "$D_OUT")
    panel=$(sed -n "s/^child=\([^ ]*\) parent=$page id=[^ ]* visible=[01] class=$CLASS text=.*/\1/p" "$D_OUT")
    mapfile -t spins < <(sed -n "s/^child=\([^ ]*\) parent=$panel id=[^ ]* visible=[01] class=Edit text=.*/\1/p" "$D_OUT")
    mapfile -t values < <(sed -n "s/^child=\([^ ]*\) parent=$panel id=[^ ]* visible=[01] class=ComboBox text=.*/\1/p" "$D_OUT")
    BUTTON_APPLY=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=Button text=&Activate Scheme\$/\1/p" "$D_OUT")
    BUTTON_RESET=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=Button text=&Reset setting\$/\1/p" "$D_OUT")
    if [[ -z $EDIT_SCHEME || ${#lists[@]} != 2 || ${#spins[@]} != 2 || ${#values[@]} != 2 || -z $BUTTON_APPLY ||
        -z $BUTTON_RESET ]]; then
        fail "the editor page lacks controls: scheme list '$EDIT_SCHEME', ${#lists[@]} lists, ${#spins[@]} spin boxes, ${#values[@]} value lists, apply '$BUTTON_APPLY', reset '$BUTTON_RESET'"
        return 1
    fi
    PANEL=$panel CATEGORIES=${lists[0]} SETTINGS=${lists[1]}
    SPIN_AC=${spins[0]} SPIN_DC=${spins[1]} VALUES_AC=${values[0]} VALUES_DC=${values[1]}
}

# items_of <combo|listbox> <control>: its items joined by "|"; SELECTED its position.
items_of() {
    drv "$1" "$2" || { fail "cannot read $2"; return 1; }
    SELECTED=$(val selected)
    ITEMS=$(sed -n 's/^item=//p' "$D_OUT" | paste -sd '|')
}

# click_expecting <button> <what> <calls>: clicks the button; the power service's log
# then gets exactly these calls (joined by " ; ").
click_expecting() {
    local before
    before=$(power_count)
    drv click "$1" || { fail "cannot click the $2"; return 1; }
    wait_power "${3##* ; }" "$before" "$PROGRAM_WAIT_MS" ||
        { fail "the $2 did not reach the power service: $(power_lines $((before + 1)) "$(power_count)")"; return 1; }
    expect_eq "calls of the $2" "$(power_lines $((before + 1)) "$(power_count)")" "$3"
}

# editor_start [running]: the program on the editor's catalogue, showing the editor page;
# paused, unless asked otherwise, so that the load rule activates nothing while a case
# counts the calls the editor makes.
editor_start() {
    export STELLMARK_POWER_CATALOGUE=$CATALOGUES/editor.txt
    give_input || return 1
    start_main || return 1
    editor_controls || return 1
    local pause
    pause=$(sed -n 's/^child=\([^ ]*\) .* class=Button text=Pause - .*/\1/p' "$D_OUT")
    if [[ ${1:-} != running ]]; then
        [[ -n $pause ]] && drv click "$pause" || { fail "cannot pause the load rule"; return 1; }
    fi
    drv tab "$TABS" 2 || { fail "cannot click the '$EDITOR_PAGE' tab"; return 1; }
    drv wait-text "$BUTTON_APPLY" '&Activate Scheme' "$PROGRAM_WAIT_MS" || fail "the apply button is not there"
    local until=$(($(now_ms) + PROGRAM_WAIT_MS))
    while (($(now_ms) < until)); do
        drv state "$BUTTON_APPLY" && [[ $(val visible) == 1 ]] && return 0
        sleep 0.05
    done
    fail "the editor's buttons did not show with its page"
}

# The editor lists the first scheme's subgroups (the hidden setting under its registry
# name, reduced from the indirect text) and the first subgroup's settings; a value typed
# into the AC spin box is written when Enter ends the edit, a pick in a value list at
# once; "&Activate Scheme" activates the edited scheme.
case_editor_lists_writes_and_activates() {
    editor_registry || return
    editor_start || return
    items_of listbox "$CATEGORIES"
    expect_eq "subgroups" "$ITEMS" "Processor power management|Sleep|Energy saver settings|General settings"
    expect_eq "subgroup selected" "$SELECTED" 0
    items_of listbox "$SETTINGS"
    expect_eq "settings" "$ITEMS" \
        "Minimum processor state|Maximum processor state|System cooling policy|Processor performance boost mode"
    expect_eq "setting selected" "$SELECTED" 0
    drv wait-text "$SPIN_AC" '5' "$PROGRAM_WAIT_MS" || fail "the AC spin box does not show the scheme's value 5"

    local before
    before=$(power_count)
    drv set-text "$SPIN_AC" 42 && drv key "$SPIN_AC" $VK_RETURN || fail "cannot type into the AC spin box"
    wait_power "PowerWriteACValueIndex $G_BALANCED $G_PROCESSOR $G_MIN_STATE 42" "$before" "$PROGRAM_WAIT_MS" ||
        fail "the typed AC value was not written: $(power_lines $((before + 1)) "$(power_count)")"

    drv pick "$SETTINGS" 3 || fail "cannot pick the boost mode"
    drv wait-text "$VALUES_AC" 'Aggressive' "$PROGRAM_WAIT_MS" || fail "the AC value list does not show the current value"
    items_of combo "$VALUES_DC"
    expect_eq "values from the registry" "$ITEMS" "Disabled|Enabled|Aggressive"
    expect_eq "DC value selected" "$SELECTED" 1
    before=$(power_count)
    drv pick "$VALUES_DC" 0 || fail "cannot pick a DC value"
    wait_power "PowerWriteDCValueIndex $G_BALANCED $G_PROCESSOR $G_BOOST_MODE 0" "$before" "$PROGRAM_WAIT_MS" ||
        fail "the picked DC value was not written: $(power_lines $((before + 1)) "$(power_count)")"

    drv pick "$EDIT_SCHEME" 2 || fail "cannot pick power saver in the editor"
    click_expecting "$BUTTON_APPLY" "apply button" "PowerSetActiveScheme $G_POWER_SAVER"
}

# profile_scheme_lists: the scheme lists of the profile lines, line 1 first, in
# SCHEME_LISTS. Each line has a class, a scheme and two core lists: the scheme lists
# are the ones that list the schemes.
profile_scheme_lists() {
    SCHEME_LISTS=()
    drv list-children "$HWND" || { fail "cannot list the main window's controls"; return 1; }
    local page list lists
    page=$(sed -n "s/^child=\([^ ]*\) parent=[^ ]* id=[^ ]* visible=[01] class=$CLASS text=Power Profiles\$/\1/p" "$D_OUT")
    mapfile -t lists < <(sed -n "s/^child=\([^ ]*\) parent=$page id=[^ ]* visible=[01] class=ComboBox text=.*/\1/p" "$D_OUT")
    for list in "${lists[@]}"; do
        items_of combo "$list" || return 1
        [[ $ITEMS == Balanced\|* ]] && SCHEME_LISTS+=("$list")
    done
    [[ ${#SCHEME_LISTS[@]} == 14 ]] || { fail "the profile page has ${#SCHEME_LISTS[@]} scheme lists, not 14"; return 1; }
}

# "Create new power scheme" opens the dialog with every scheme, the first selected; the
# copy of the chosen one gets the typed name and appears at the same position in the
# low, high, lowest, profile and editor lists. It goes in where "No prefered scheme"
# sat: a profile line that showed that item shows it still, one position on, and a line
# on the last scheme and the options lists keep their schemes.
case_editor_creates_scheme() {
    editor_start || return
    local before dialog combo edit ok created="{5354454c-4d4b-4000-8000-000000000001}"
    local no_scheme last_scheme list kept=()
    profile_scheme_lists || return
    no_scheme=${SCHEME_LISTS[0]} last_scheme=${SCHEME_LISTS[1]}
    drv pick "$no_scheme" 3 && drv pick "$last_scheme" 2 || { fail "cannot pick the profile lines' schemes"; return; }
    items_of combo "$no_scheme"
    expect_eq "line on no scheme before the creation" "$SELECTED $(val selected_text)" "3 No prefered scheme"
    items_of combo "$last_scheme"
    expect_eq "line on the last scheme before the creation" "$SELECTED $(val selected_text)" "2 Power saver"
    main_controls || return
    for list in "$COMBO_HIGH" "$COMBO_LOW" "$COMBO_LOWEST"; do
        items_of combo "$list"
        kept+=("$SELECTED $(val selected_text)")
    done
    before=$(power_count)
    drv pick "$EDIT_SCHEME" 3 posted || { fail "cannot pick the create item"; return; }
    drv wait-window "$CLASS" "Create new power scheme" "$PROGRAM_WAIT_MS" visible || { fail "the dialog did not open"; return; }
    dialog=$(val hwnd)
    drv list-children "$dialog"
    combo=$(sed -n 's/^child=\([^ ]*\) .* class=ComboBox text=.*/\1/p' "$D_OUT")
    edit=$(sed -n 's/^child=\([^ ]*\) .* class=Edit text=New scheme name$/\1/p' "$D_OUT")
    ok=$(sed -n 's/^child=\([^ ]*\) .* class=Button text=Create &Scheme$/\1/p' "$D_OUT")
    [[ -n $combo && -n $edit && -n $ok ]] || { fail "the dialog lacks its controls"; return; }
    items_of combo "$combo"
    expect_eq "sources offered" "$ITEMS" "Balanced|High performance|Power saver"
    expect_eq "source selected" "$SELECTED" 0
    drv pick "$combo" 1 && drv set-text "$edit" "Night copy" && drv click "$ok" || fail "cannot fill in the dialog"
    drv wait-gone "$dialog" "$PROGRAM_WAIT_MS" || fail "the dialog did not close"
    wait_power "PowerWriteFriendlyName $created null null 22 Night copy" "$before" "$PROGRAM_WAIT_MS" ||
        fail "the new scheme was not named: $(power_lines $((before + 1)) "$(power_count)")"
    expect_eq "calls of the creation" "$(power_lines $((before + 1)) "$(power_count)")" \
        "PowerDuplicateScheme $G_HIGH_PERFORMANCE $created ; PowerWriteFriendlyName $created null null 22 Night copy"

    main_controls || return
    local i=0
    for list in "$COMBO_HIGH" "$COMBO_LOW" "$COMBO_LOWEST"; do
        items_of combo "$list"
        expect_eq "options list $list" "$ITEMS" "Balanced|High performance|Power saver|Night copy"
        expect_eq "options list $list selection" "$SELECTED $(val selected_text)" "${kept[i++]}"
    done
    items_of combo "$EDIT_SCHEME"
    expect_eq "editor list" "$ITEMS" "Balanced|High performance|Power saver|Night copy|Create new power scheme"
    expect_eq "editor list position" "$SELECTED" 3
    profile_scheme_lists || return
    for list in "${SCHEME_LISTS[@]}"; do
        items_of combo "$list"
        expect_eq "profile list $list" "$ITEMS" \
            "Balanced|High performance|Power saver|Night copy|No prefered scheme|Remove this entry"
    done
    items_of combo "$no_scheme"
    expect_eq "line on no scheme after the creation" "$SELECTED $(val selected_text)" "4 No prefered scheme"
    items_of combo "$last_scheme"
    expect_eq "line on the last scheme after the creation" "$SELECTED $(val selected_text)" "2 Power saver"
}

# panel_labels: the texts of the value panel's labels that are shown, joined by "|":
# the description, "AC setting:", "DC setting:" and, for a setting with a range, the
# two unit labels.
panel_labels() {
    drv list-children "$PANEL" || { fail "cannot list the value panel's controls"; return 1; }
    LABELS=$(sed -n "s/^child=[^ ]* parent=$PANEL id=[^ ]* visible=1 class=Static text=//p" "$D_OUT" | paste -sd '|')
}

# The value panel shows what the power service says of a setting: its description and
# unit, and for a listed setting its possible values with their descriptions.
# "&Reset setting" writes the service's AC and DC defaults, each its own, into the
# edited scheme and shows them. Each text has a fall-back of its own ("No description
# available about this setting", "Units", the registry's values), so every one of
# these reads must reach the power service under its export name.
case_editor_resets_and_describes() {
    editor_start || return
    drv pick "$CATEGORIES" 1 || { fail "cannot pick the sleep subgroup"; return; }
    items_of listbox "$SETTINGS"
    expect_eq "sleep settings" "$ITEMS" "Sleep after"
    drv wait-text "$SPIN_AC" '1800' "$PROGRAM_WAIT_MS" || fail "the AC spin box does not show the scheme's value 1800"
    drv wait-text "$SPIN_DC" '900' "$PROGRAM_WAIT_MS" || fail "the DC spin box does not show the scheme's value 900"
    panel_labels || return
    expect_eq "panel labels" "$LABELS" \
        "Specify how long your computer is inactive before going to sleep.|AC setting:|DC setting:|Seconds|Seconds"

    local sleep_after="$G_BALANCED $G_SLEEP $G_SLEEP_AFTER"
    click_expecting "$BUTTON_RESET" "reset button" \
        "PowerWriteACValueIndex $sleep_after 3600 ; PowerWriteDCValueIndex $sleep_after 600"
    drv wait-text "$SPIN_AC" '3600' "$PROGRAM_WAIT_MS" || fail "the AC spin box does not show the default 3600"
    drv wait-text "$SPIN_DC" '600' "$PROGRAM_WAIT_MS" || fail "the DC spin box does not show the default 600"

    drv pick "$CATEGORIES" 0 && drv pick "$SETTINGS" 2 || { fail "cannot pick the cooling policy"; return; }
    drv wait-text "$VALUES_AC" 'Active - Increase fan speed before slowing the processor' "$PROGRAM_WAIT_MS" ||
        fail "the AC value list does not show the current value with its description"
    items_of combo "$VALUES_DC"
    expect_eq "possible values" "$ITEMS" \
        "Passive - Slow the processor before increasing fan speed|Active - Increase fan speed before slowing the processor"
    expect_eq "DC value selected" "$SELECTED" 0
    panel_labels || return
    expect_eq "panel labels of a listed setting" "$LABELS" \
        "Specify the cooling mode for your system.|AC setting:|DC setting:"
}

# The editor page as a user sees it, for the README.
case_editor_page_screenshot() {
    editor_registry || return
    editor_start running || return
    take_screenshot editor-page.png
}

CASES+=(editor_lists_writes_and_activates editor_resets_and_describes editor_creates_scheme editor_page_screenshot)
