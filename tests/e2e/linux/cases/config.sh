# The configuration file beside the program: Escape writes it in the
# player's fixed layout with the window's placement and exits 0; what was
# read comes back; a read-only one stays as it is; a lone sound plays
# without a window and then writes it.

# No configuration file: the window opens at 200, 200 in 462 x 386; Escape
# writes the defaults, the placement read from the window, and the menu bar
# as text (the run's mode once the window exists); status 0.
case_config_escape_writes_defaults() {
    local status
    player_prepare fresh || fail "cannot prepare the player" || return
    player_launch "$MEDIA/clip-mjpeg.avi" -e 5
    wait_window || fail "no player window" || return
    [ "$WIN_X $WIN_Y $WIN_W $WIN_H" = "200 200 462 386" ] ||
        fail "the window sits at $WIN_X,$WIN_Y ${WIN_W}x$WIN_H, not at 200,200 462x386" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    [ ! -s "$PLAYER_DIR/stderr" ] || fail "a normal end printed: $(head -n 1 "$PLAYER_DIR/stderr")" || return
    check_config "$PLAYER_DIR/ostrel.cfg" || return
    local left
    left=$(find "$PLAYER_DIR" -mindepth 1 -maxdepth 1 ! -name ostrel ! -name ostrel.cfg ! -name home \
        ! -name run ! -name status ! -name stdout ! -name stderr -printf '%f ')
    [ -z "$left" ] || fail "files left beside the configuration: $left"
}

# A configuration of the maker's, with lines the reader ignores or takes differently from how
# they look: the window opens where it says; moved and resized by the test, the window's new
# placement is what Escape writes, with every setting in the fixed layout; also with Qt drawing
# at twice the scale, where the place and size stay screen pixels.
case_config_escape_writes_placement() {
    placement 1 && placement 2
}
placement() {
    local status
    player_prepare "custom-$1" "${HAND_WRITTEN_CONFIG[@]}" || fail "cannot prepare the player" || return
    QT_SCALE_FACTOR=$1 player_launch "$MEDIA/clip-mjpeg.avi" -e 5
    wait_window || fail "no player window" || return
    [ "$WIN_X $WIN_Y $WIN_W $WIN_H" = "150 120 500 400" ] ||
        fail "the window sits at $WIN_X,$WIN_Y ${WIN_W}x$WIN_H, not at 150,120 500x400" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    xdotool windowmove "$WIN" 230 90 && xdotool windowsize "$WIN" 520 410 ||
        fail "cannot move the window" || return
    sleep 0.5
    wait_window || fail "the window went away" || return
    [ "$WIN_X $WIN_Y $WIN_W $WIN_H" = "230 90 520 410" ] ||
        fail "moved and resized, the window is at $WIN_X,$WIN_Y ${WIN_W}x$WIN_H" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    check_config "$PLAYER_DIR/ostrel.cfg" "${HAND_WRITTEN_WRITES[@]}" XCoord=230 YCoord=90 Width=520 Height=410
}

# ReadOnly yes: neither Save nor the end of the player touches the file.
case_config_read_only_stays() {
    local status before after
    player_prepare readonly || fail "cannot prepare the player" || return
    printf '%s\n' "# kept as it is" "ReadOnly yes" "AuthorId someone" "MenuBar text" "XCoord 300" \
        "YCoord 100" "Width 400" "Height 350" "# no line end at the end" |
        head -c -1 >"$PLAYER_DIR/ostrel.cfg"
    cp -p "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/original.cfg"
    before=$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg")
    sleep 1
    player_launch "$MEDIA/clip-mjpeg.avi" -e 5
    wait_window || fail "no player window" || return
    [ "$WIN_X $WIN_Y $WIN_W $WIN_H" = "300 100 400 350" ] ||
        fail "the window sits at $WIN_X,$WIN_Y ${WIN_W}x$WIN_H, not as configured" || return
    wait_still 20 || fail "the clip did not come to rest" || return
    menu_command Save
    sleep 0.5
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
    after=$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg")
    cmp -s "$CASE_DIR/original.cfg" "$PLAYER_DIR/ostrel.cfg" ||
        fail "the read-only configuration was changed" || return
    [ "$before" = "$after" ] || fail "the read-only configuration was rewritten" || return
}

# Save writes the file while the player goes on (and before Escape would).
case_config_save_keeps_playing() {
    local status
    player_prepare save "MenuBar text" "AuthorId saver" || fail "cannot prepare the player" || return
    player_launch "$MEDIA/halves.avi"
    wait_window || fail "no player window" || return
    wait_colour red 5 || fail "the clip did not start (screen $LAST_COLOUR)" || return
    menu_command Save
    local tries=30
    while ((tries-- > 0)) && ! grep -q "saver" "$PLAYER_DIR/ostrel.cfg" 2>/dev/null; do sleep 0.1; done
    ((tries >= 0)) || fail "Save did not write the configuration" || return
    check_config "$PLAYER_DIR/ostrel.cfg" AuthorId=saver || return
    player_alive || fail "the player ended on Save" || return
    wait_colour blue 6 || fail "the clip did not play on after Save (screen $LAST_COLOUR)" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}

# A lone sound plays for its length (2 s) without any window, also on a display that cannot be
# opened; then the configuration is written and the player ends with 0.
case_lone_wav_plays_without_window() {
    lone_wav "$DISPLAY" && lone_wav :99
}
lone_wav() {
    local status started ended seen=""
    player_prepare "wav$1" || fail "cannot prepare the player" || return
    started=$(date +%s%N)
    DISPLAY=$1 player_launch "$MEDIA/tone.wav"
    while [ ! -s "$PLAYER_DIR/status" ] && (($(date +%s%N) - started < 10000000000)); do
        [ -n "$(find_windows "$TITLE")" ] && seen=yes
        sleep 0.1
    done
    ended=$(date +%s%N)
    status=$(player_wait_exit 1) || fail "the player still runs after 10 s" || return
    [ "$status" = 0 ] || fail "exit status $status after the sound" || return
    [ -z "$seen" ] || fail "a player window showed during the sound" || return
    local ms=$(((ended - started) / 1000000))
    note "the sound run took $ms ms"
    ((ms >= 1900 && ms <= 6000)) || fail "the sound run took $ms ms, not about 2 s" || return
    check_config "$PLAYER_DIR/ostrel.cfg" MenuBar=graphic
}
