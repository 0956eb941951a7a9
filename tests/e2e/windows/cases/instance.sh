# shellcheck shell=bash
# One player at a time.

# What only the Windows build shows of the hand-over (the rest is a row of
# ../../cases.txt): a clip without sound plays all its frames; a sound
# handed over blacks the video and plays while the player goes on.
case_second_start_hands_over_sound() {
    local status
    player_prepare first
    # The first item has no sound stream: it plays all the same.
    PLAYER_TRACE=$TRACE_PLAYBACK player_launch "$(winpath "$MEDIA/clip-mjpeg-noaudio.avi")"
    wait_window || fail "no player window" || return
    wait_still 25 || fail "the first clip did not come to rest" || return
    [ "$(frame_blits)" = 75 ] || fail "the clip without sound showed $(frame_blits) of 75 frames" ||
        return
    # A sound handed over blacks the video area and plays; the player goes on.
    drv_handover "$MEDIA/tone.wav"
    [ "$SECOND_STATUS" = 0 ] || fail "handing over a sound ended with status $SECOND_STATUS" || return
    wait_colour black 5 || fail "a handed-over sound left the screen $LAST_COLOUR" || return
    drv is-window >/dev/null || fail "a handed-over sound ended the player" || return

    drv key 0x1B >/dev/null
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
}
