# The configuration file beside the program, where the scenario table
# (../../cases.txt) does not reach: Save writes it while the player plays
# on.

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
