# The two dialogs, opened from the menu bar and driven with the mouse: the
# stream settings dialog's position bar seeks, its volume bar keeps its
# value; the about dialog shows its picture, texts and link and holds the
# stream while it is open.
#
# The dialogs carry no window manager's frame here, so their controls sit
# at their templates' places: dialog units of 6 by 13 pixels for every 4 by
# 8 units, from the window's top-left corner.

SETTINGS=" Stream settings"
POSITION_BAR=(15 32 270 16)
VOLUME_BAR=(15 105 270 16)
SETTINGS_OK=(254 246)

ABOUT=" ostrel"
ABOUT_PICTURE=(18 24 145 112)
ABOUT_NAME=(192 48 82 13)
ABOUT_VERSION=(199 65 24 13)
ABOUT_NOTICE=(18 113 262 13)
ABOUT_LINK=(7 146 117 13)
ABOUT_OK=(247 157)

# open_dialog COMMAND TITLE HEIGHT: the command from the menu bar opens the
# dialog, 300 pixels wide, centred on the main window as the player places
# it (its height taken as HEIGHT there); DLG, DLG_X, DLG_Y.
open_dialog() {
    menu_command "$1"
    wait_titled "$2" 5 || fail "$1 did not open the dialog \"$2\"" || return
    DLG=$FOUND DLG_X=$FOUND_X DLG_Y=$FOUND_Y
    local x=$((WIN_X + (WIN_W - 300) / 2)) y=$((WIN_Y + (WIN_H - $3) / 2))
    [ "$DLG_X,$DLG_Y" = "$x,$y" ] || fail "the dialog \"$2\" sits at $DLG_X,$DLG_Y, not at $x,$y" || return
    sleep 0.3
}

dialog_shot() { sleep 0.25; shot "$1" "$DLG"; }

dialog_click() { click_in "$DLG_X" "$DLG_Y" "$1" "$2"; }

# thumb_of SHOT BAR...: THUMB (share of the way), THUMB_X (centre), and the
# trough's ends TROUGH_L, TROUGH_R, in the dialog.
thumb_of() {
    local share centre left right
    read -r share centre left right < <(screen thumb "$1" "$2" "$3" "$4" "$5")
    [ -n "$right" ] || return 1
    THUMB=$share THUMB_X=$(($2 + centre)) TROUGH_L=$(($2 + left)) TROUGH_R=$(($2 + right))
}

# between VALUE LOW HIGH
between() { awk -v v="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(v >= a && v <= b) }'; }

# same_area SHOT1 SHOT2 X Y W H: the two dumps agree there.
same_area() { [ "$(screen diff "$@" | cut -d' ' -f1)" = 0.00 ]; }

# The settings dialog wired to the real bars: the position bar stands where
# the stream was, the volume bar at full scale; a dragged thumb and line
# steps move the volume, a dragged position thumb stays where it was let go,
# and OK seeks there; the next opening shows the volume as it was left. How
# far a step or a drag goes, the wrapping item field and which keys close a
# dialog are the unit tables' rules.
case_settings_bars() {
    local status
    player_prepare bars "MenuBar text" || fail "cannot prepare the player" || return
    player_launch "$MEDIA/halves.avi"
    wait_window || fail "no player window" || return
    wait_colour red 5 || fail "the clip did not start (screen $LAST_COLOUR)" || return
    sleep 0.6
    open_dialog Stream "$SETTINGS" 255 || return
    dialog_shot "$CASE_DIR/open.xwd"
    thumb_of "$CASE_DIR/open.xwd" "${POSITION_BAR[@]}" || fail "cannot find the position bar's thumb" || return
    note "position on opening: $THUMB"
    between "$THUMB" 0.05 0.45 || fail "the position bar stands at $THUMB about a second into a 6 s clip" || return
    thumb_of "$CASE_DIR/open.xwd" "${VOLUME_BAR[@]}" || fail "cannot find the volume bar's thumb" || return
    [ "$THUMB" = 1.000 ] || fail "the volume bar stands at $THUMB, not at full scale" || return

    # The volume thumb dragged to the left end, then 100 line steps right.
    drag_in "$DLG_X" "$DLG_Y" "$THUMB_X" $((VOLUME_BAR[1] + 8)) $((TROUGH_L - 40))
    dialog_shot "$CASE_DIR/volume-0.xwd"
    thumb_of "$CASE_DIR/volume-0.xwd" "${VOLUME_BAR[@]}"
    [ "$THUMB" = 0.000 ] || fail "the volume thumb let go at the left end stands at $THUMB" || return
    xdotool mousemove $((DLG_X + VOLUME_BAR[0] + VOLUME_BAR[2] - 6)) $((DLG_Y + VOLUME_BAR[1] + 8)) \
        click --repeat 100 --delay 15 1
    dialog_shot "$CASE_DIR/volume-steps.xwd"
    thumb_of "$CASE_DIR/volume-steps.xwd" "${VOLUME_BAR[@]}"
    note "volume after 100 line steps: $THUMB"
    between "$THUMB" 0.085 0.115 || fail "100 line steps right moved the volume to $THUMB, not 0.1" || return

    # The position thumb dragged to about 80 %.
    thumb_of "$CASE_DIR/volume-steps.xwd" "${POSITION_BAR[@]}"
    local target=$((TROUGH_L + 14 + (TROUGH_R - TROUGH_L - 28) * 80 / 100))
    drag_in "$DLG_X" "$DLG_Y" "$THUMB_X" $((POSITION_BAR[1] + 8)) "$target"
    dialog_shot "$CASE_DIR/position.xwd"
    thumb_of "$CASE_DIR/position.xwd" "${POSITION_BAR[@]}"
    note "position let go at: $THUMB"
    between "$THUMB" 0.72 0.88 || fail "the position thumb let go at 80 % stands at $THUMB" || return
    # The stream stood still meanwhile: the picture is still the red half
    # (on the strip left of the dialog).
    shot "$CASE_DIR/behind.xwd"
    [ "$(screen colour "$CASE_DIR/behind.xwd" 0 "$VIDEO_TOP" 60 $((WIN_H - VIDEO_TOP)))" = red ] ||
        fail "the video moved on while the dialog was open" || return

    dialog_click "${SETTINGS_OK[@]}"
    wait_gone "$DLG" 3 || fail "OK did not close the dialog" || return
    # At 80 % of the clip the picture is blue at once; playing on from
    # where it stood would have taken two seconds to get there.
    wait_colour blue 1.6 || fail "OK did not seek to the position chosen (screen $LAST_COLOUR)" || return

    sleep 0.3
    open_dialog Stream "$SETTINGS" 255 || return
    dialog_shot "$CASE_DIR/again.xwd"
    thumb_of "$CASE_DIR/again.xwd" "${VOLUME_BAR[@]}"
    between "$THUMB" 0.085 0.115 || fail "the volume bar came back at $THUMB, not where it was left" || return
    thumb_of "$CASE_DIR/again.xwd" "${POSITION_BAR[@]}"
    note "position on opening again: $THUMB"
    between "$THUMB" 0.78 1.0 || fail "the position bar came back at $THUMB after the seek to 80 %" || return
    dialog_click "${SETTINGS_OK[@]}"
    wait_gone "$DLG" 3 || fail "OK did not close the dialog" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}

# ink_of SHOT AREA...: the share of dark pixels, of blue ones, the longest
# blue run in a row, and the colour spread there: INK_DARK INK_BLUE
# INK_LINE INK_SPREAD.
ink_of() {
    local report
    report=$(screen ink "$@") || return 1
    read -r INK_DARK INK_BLUE INK_LINE INK_SPREAD <<<"$(sed 's/[a-z]*=//g' <<<"$report")"
}

# The about dialog: its picture, the product name, the version after the
# "v", the notice and the link (blue, underlined) are drawn; the stream
# stands still while it is open; OK closes it and the stream plays on.
case_about_dialog() {
    local status
    player_prepare about "MenuBar text" "SoundOn no" || fail "cannot prepare the player" || return
    player_launch "$MEDIA/clip-mjpeg.avi"
    wait_window || fail "no player window" || return
    sleep 0.8
    open_dialog About "$ABOUT" 174 || return
    dialog_shot "$CASE_DIR/about.xwd"
    ink_of "$CASE_DIR/about.xwd" "${ABOUT_PICTURE[@]}"
    between "$INK_SPREAD" 20 255 || fail "the about picture is not drawn (spread $INK_SPREAD)" || return
    local part
    for part in NAME VERSION NOTICE; do
        local -n where="ABOUT_$part"
        ink_of "$CASE_DIR/about.xwd" "${where[@]}"
        between "$INK_DARK" 0.02 0.6 || fail "the about dialog's $part text is not drawn (dark $INK_DARK)" || return
    done
    ink_of "$CASE_DIR/about.xwd" "${ABOUT_LINK[@]}"
    between "$INK_BLUE" 0.05 0.6 && ((INK_LINE >= 40)) ||
        fail "the link is not blue and underlined (blue $INK_BLUE, line $INK_LINE)" || return

    # The stream stands still behind the dialog.
    shot "$CASE_DIR/behind-1.xwd"
    sleep 0.5
    shot "$CASE_DIR/behind-2.xwd"
    # shellcheck disable=SC2086
    same_area "$CASE_DIR/behind-1.xwd" "$CASE_DIR/behind-2.xwd" 0 "$VIDEO_TOP" "$WIN_W" 100 ||
        fail "the video moved while the about dialog was open" || return

    dialog_click "${ABOUT_OK[@]}"
    wait_gone "$DLG" 3 || fail "OK did not close the about dialog" || return
    shot "$CASE_DIR/after-1.xwd"
    sleep 0.3
    shot "$CASE_DIR/after-2.xwd"
    ! same_area "$CASE_DIR/after-1.xwd" "$CASE_DIR/after-2.xwd" 0 "$VIDEO_TOP" "$WIN_W" $((WIN_H - VIDEO_TOP)) ||
        fail "the stream did not play on after the about dialog" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}
