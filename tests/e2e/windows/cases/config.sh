# shellcheck shell=bash
# The configuration file beside the executable: Escape and Exit write it in
# the player's fixed layout with the window's placement, a read-only one
# stays as it is.

# end_with HOW: ends the player by Escape ("key") or by the Exit command.
end_with() {
    case $1 in
    escape) drv key 0x1B >/dev/null ;;
    exit) drv command 40016 >/dev/null ;;
    esac
}

# No configuration file: the window opens at the default place and size;
# Escape writes the defaults, the placement read from the window, and the
# menu bar as text (the run's mode once the window exists); status 0.
case_config_escape_writes_defaults() {
    local status
    player_prepare fresh
    player_launch "$(winpath "$MEDIA/clip-mjpeg.avi")" -e 5
    wait_window || fail "no player window" || return
    read_window_rect || fail "cannot read the window rectangle" || return
    [ "$WIN_L $WIN_T $WIN_R $WIN_B" = "200 200 662 586" ] ||
        fail "the window sits at $WIN_L $WIN_T $WIN_R $WIN_B, not at 200,200 462x386" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    end_with escape
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    check_config "$PLAYER_DIR/ostrel.cfg" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg.new" ] || fail "a temporary file was left beside the configuration"
}

# A configuration of the maker's: what the reader takes (and what it takes
# differently from how it looks) comes back from Exit in the fixed layout.
case_config_exit_writes_what_was_read() {
    local status
    player_prepare custom
    printf '%s\r\n' "${HAND_WRITTEN_CONFIG[@]}" >"$PLAYER_DIR/ostrel.cfg"
    player_launch "$(winpath "$MEDIA/clip-mjpeg.avi")" -e 5
    wait_window || fail "no player window" || return
    read_window_rect || fail "cannot read the window rectangle" || return
    [ "$WIN_L $WIN_T $WIN_R $WIN_B" = "150 120 650 520" ] ||
        fail "the window sits at $WIN_L $WIN_T $WIN_R $WIN_B, not at 150,120 500x400" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    end_with exit
    status=$(player_wait_exit 15) || fail "the player did not end on Exit" || return
    [ "$status" = 0 ] || fail "exit status $status after Exit" || return
    check_config "$PLAYER_DIR/ostrel.cfg" "${HAND_WRITTEN_WRITES[@]}" XCoord=150 YCoord=120 Width=500 Height=400
}

# ReadOnly yes: neither Save nor the end of the player touches the file.
case_config_read_only_stays() {
    local status before after
    player_prepare readonly
    printf '%s\n' "# kept as it is" "ReadOnly yes" "AuthorId someone" "XCoord 300" \
        "YCoord 100" "Width 400" "Height 350" "# no line end at the end" |
        head -c -1 >"$PLAYER_DIR/ostrel.cfg"
    cp -p "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/original.cfg"
    before=$(stat -c %Y.%s "$PLAYER_DIR/ostrel.cfg")
    player_launch "$(winpath "$MEDIA/clip-mjpeg.avi")" -e 5
    wait_window || fail "no player window" || return
    read_window_rect
    [ "$WIN_L $WIN_T $WIN_R $WIN_B" = "300 100 700 450" ] ||
        fail "the window sits at $WIN_L $WIN_T $WIN_R $WIN_B, not as configured" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    drv command 40009 >/dev/null
    sleep 1
    end_with escape
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    after=$(stat -c %Y.%s "$PLAYER_DIR/ostrel.cfg")
    cmp -s "$CASE_DIR/original.cfg" "$PLAYER_DIR/ostrel.cfg" ||
        fail "the read-only configuration was changed" || return
    [ "$before" = "$after" ] || fail "the read-only configuration was rewritten" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg.new" ] || fail "a temporary file was left beside the configuration"
}

# MenuBar none with "-fs": a window without caption or border at the
# configured place (its client area is the whole window but for the menu
# bar, which comes with the window class in every mode); Escape keeps the
# stored placement and writes FullScreen no. MenuBar none alone gives a
# frame (see config_exit_writes_what_was_read).
case_config_borderless_full_screen() {
    local status
    player_prepare borderless
    printf 'MenuBar none\r\nXCoord 100\r\nYCoord 90\r\nWidth 400\r\nHeight 300\r\n' \
        >"$PLAYER_DIR/ostrel.cfg"
    player_launch "$(winpath "$MEDIA/clip-mjpeg.avi")" -fs -e 5
    wait_window || fail "no player window" || return
    read_window_rect || fail "cannot read the window rectangle" || return
    [ "$WIN_L $WIN_T $WIN_R $WIN_B" = "100 90 500 390" ] ||
        fail "the window sits at $WIN_L $WIN_T $WIN_R $WIN_B, not at 100,90 400x300" || return
    # Left, right and bottom edges are the window's; above it only the menu.
    ((AREA_X == 100 && AREA_W == 400 && AREA_Y + AREA_H == 390 && AREA_Y - 90 < 30)) ||
        fail "the client area is $AREA: the window has a frame or a caption" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    drv key 0x1B >/dev/null
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    check_config "$PLAYER_DIR/ostrel.cfg" XCoord=100 YCoord=90 Width=400 Height=300
}
