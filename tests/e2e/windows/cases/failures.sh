# shellcheck shell=bash
# Items that cannot be played: a folder shows the one message the player
# has, "Codec problem"; a missing item or a bad option ends the run with
# status 1 before any window.

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

# refused NAME WHAT [ARGS...]: the run ends with status 1, no window shows
# while it runs and the configuration (if any) is left as it was.
refused() {
    local name=$1 what=$2 status seen=0 deadline=$((SECONDS + 30))
    shift 2
    [ -e "$PLAYER_DIR/ostrel.cfg" ] && cp -p "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/$name.cfg"
    player_launch "$@"
    while [ ! -s "$PLAYER_DIR/status" ] && ((SECONDS < deadline)); do
        drv is-window >/dev/null && seen=1
        sleep 0.1
    done
    status=$(player_wait_exit 5) || fail "$what: the player did not end" || return
    [ "$status" = 1 ] || fail "$what: exit status $status, not 1" || return
    [ "$seen" = 0 ] || fail "$what: a window appeared" || return
    if [ -e "$CASE_DIR/$name.cfg" ]; then
        cmp -s "$CASE_DIR/$name.cfg" "$PLAYER_DIR/ostrel.cfg" ||
            fail "$what: the configuration was changed" || return
    else
        [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "$what: a configuration was written" || return
    fi
}

case_missing_item_ends_with_status_1() {
    player_prepare command-line
    refused command-line "a missing clip on the command line" \
        "$(winpath "$CASE_DIR/no-such-clip.avi")" || return
    player_prepare config
    printf 'AuthorId kept\r\nFileName %s\r\nFileName %s\r\n' "$(winpath "$MEDIA/clip-mjpeg.avi")" \
        "$(winpath "$CASE_DIR/gone.avi")" >"$PLAYER_DIR/ostrel.cfg"
    refused config "a missing item in the configuration" || return
    player_prepare zero-frame
    refused zero-frame "-e 0" "$(winpath "$MEDIA/clip-mjpeg.avi")" -e 0 || return
    player_prepare no-number
    refused no-number "-t without its number" "$(winpath "$MEDIA/clip-mjpeg.avi")" -t || return
}
