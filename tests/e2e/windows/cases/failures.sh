# shellcheck shell=bash
# Items that cannot be played: a folder shows the one message the player
# has, "Codec problem". Starts refused before any window are rows of the
# scenario table (../../cases.txt).

# A folder exists, so it passes the start-up checks, but no stream opens
# it: the message box comes up over the player's window; once it is
# answered the player ends with status 1 and writes no configuration.
case_folder_item_shows_codec_problem() {
    local status texts
    mkdir -p "$CASE_DIR/folder.avi"
    player_prepare folder
    player_launch "$(winpath "$CASE_DIR/folder.avi")"
    drv find-dialog "Codec problem" 30000 >/dev/null || fail "no \"Codec problem\" message" || return
    texts=$(drv dialog-texts "Codec problem")
    grep -q "Codec is not available" <<<"$texts" ||
        fail "the message says: $(tr '\n' '|' <<<"$texts")" || return
    drv is-window >/dev/null || fail "the player's window is not there behind the message" || return
    [ -z "$(cat "$PLAYER_DIR/status" 2>/dev/null)" ] || fail "the player ended before the answer" ||
        return
    drv dialog-command "Codec problem" 1 >/dev/null || fail "cannot answer the message" || return
    status=$(player_wait_exit 15) || fail "the player went on after the message" || return
    [ "$status" = 1 ] || fail "exit status $status, not 1" || return
    drv wait-gone 3000 >/dev/null || fail "the window stayed" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a failed start wrote the configuration"
}
