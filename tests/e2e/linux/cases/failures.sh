# A folder given as item exists but is no media: the "Codec problem"
# message shows; once it is closed (Return on its button) the player ends
# with status 1 and one line on standard error. Starts refused before any
# window are rows of the scenario table (../../cases.txt).

# A folder is an item that exists but is no media: the "Codec problem"
# message shows; once it is closed (Return on its button) the player ends
# with status 1 and one line on standard error.
case_folder_shows_codec_problem() {
    local status box
    mkdir -p "$CASE_DIR/not-a-clip.avi"
    player_prepare folder || fail "cannot prepare the player" || return
    player_launch "$CASE_DIR/not-a-clip.avi"
    wait_titled "Codec problem" 15 || fail "no window titled \"Codec problem\"" || return
    box=$FOUND
    sleep 0.3
    player_alive || fail "the player ended while its message was up" || return
    xdotool windowfocus --sync "$box" key Return 2>/dev/null
    wait_gone "$box" 5 || fail "Return did not close the message" || return
    status=$(player_wait_exit 10) || fail "the player did not end after the message" || return
    [ "$status" = 1 ] || fail "exit status $status after the codec message, not 1" || return
    [ "$(wc -l <"$PLAYER_DIR/stderr")" = 1 ] ||
        fail "standard error holds $(wc -l <"$PLAYER_DIR/stderr") lines: $(head -c 300 "$PLAYER_DIR/stderr" | tr '\n' '|')" ||
        return
    note "folder: $(cat "$PLAYER_DIR/stderr")"
    [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a configuration was written"
}
