# The configuration file beside the program, where the scenario table
# (../../cases.txt) does not reach: Save writes it while the player plays
# on; a lone sound plays without a window and then writes it.

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
