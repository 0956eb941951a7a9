# Starts that fail: exit status 1 and one line on standard error saying
# why, no window and no configuration written; a folder given as item
# shows the codec message before the player ends.

# refused_start WHAT ARGS...: the player ends by itself within 10 s with
# status 1, no window ever showed, nothing was written beside it, and its
# standard error is one line that contains WHAT.
refused_start() {
    local what=$1 status started seen=""
    shift
    player_prepare "refused-$(date +%s%N)" || fail "cannot prepare the player" || return
    started=$(date +%s)
    player_launch "$@"
    while [ ! -s "$PLAYER_DIR/status" ] && (($(date +%s) - started < 10)); do
        [ -n "$(find_windows "$TITLE")" ] && seen=yes
        sleep 0.1
    done
    status=$(player_wait_exit 1) || fail "$*: the player still runs after 10 s" || return
    [ "$status" = 1 ] || fail "$*: exit status $status, not 1" || return
    [ -z "$seen" ] || fail "$*: a player window showed" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "$*: a configuration was written" || return
    [ "$(wc -l <"$PLAYER_DIR/stderr")" = 1 ] ||
        fail "$*: standard error holds $(wc -l <"$PLAYER_DIR/stderr") lines: $(head -c 300 "$PLAYER_DIR/stderr" | tr '\n' '|')" ||
        return
    grep -qF -- "$what" "$PLAYER_DIR/stderr" ||
        fail "$*: standard error does not name $what: $(cat "$PLAYER_DIR/stderr")" || return
    note "$*: $(cat "$PLAYER_DIR/stderr")"
}

# A missing item: the line names the full path.
case_missing_item_exits_1() {
    refused_start "$MEDIA/no-such-clip.avi" "$MEDIA/no-such-clip.avi" &&
        # A relative path is named as resolved against the current folder
        # (the player's own, where it was started).
        refused_start "/refused-" missing.mpg && grep -qF "$PLAYER_DIR/missing.mpg" "$PLAYER_DIR/stderr" ||
        fail "the relative path is not named in full: $(cat "$PLAYER_DIR/stderr")"
}

# Frame numbers of 0, options without their number, a display that is gone are refused.
case_bad_option_exits_1() {
    refused_start "-e" "$MEDIA/clip-mjpeg.avi" -e 0 &&
        refused_start "-s" "$MEDIA/clip-mjpeg.avi" -s 0 &&
        refused_start "-t" "$MEDIA/clip-mjpeg.avi" -t &&
        DISPLAY=:99 refused_start "cannot open the display :99" "$MEDIA/clip-mjpeg.avi"
}

# A configuration line naming a missing file ends the start the same way.
case_config_missing_item_exits_1() {
    local status
    player_prepare cfg-missing || fail "cannot prepare the player" || return
    printf 'AuthorId kept\r\nFileName %s\r\n' "$MEDIA/gone.avi" >"$PLAYER_DIR/ostrel.cfg"
    cp "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/original.cfg"
    player_launch
    status=$(player_wait_exit 10) || fail "the player still runs after 10 s" || return
    [ "$status" = 1 ] || fail "exit status $status, not 1" || return
    [ "$(wc -l <"$PLAYER_DIR/stderr")" = 1 ] && grep -qF "$MEDIA/gone.avi" "$PLAYER_DIR/stderr" ||
        fail "standard error: $(head -c 300 "$PLAYER_DIR/stderr" | tr '\n' '|')" || return
    cmp -s "$CASE_DIR/original.cfg" "$PLAYER_DIR/ostrel.cfg" || fail "the configuration was rewritten"
}

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
