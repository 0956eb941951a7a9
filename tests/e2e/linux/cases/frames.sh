# Frames reaching the window: with "-e N" the player shows frames 0..N of a
# clip, each drawn once on the window, stops, and leaves frame N on the
# screen, the very picture ffmpeg decodes there; "-s" with "-t" starts at the
# frame asked for; a list of three items plays through and stands at the
# first, which Start plays again.

# stop_at CLIP N EXPECTED MIN_PSNR [ARGS...]: the player on CLIP with ARGS
# and "-e N": N + 1 frames reach the window, one after the other without a
# gap and no more, the picture comes to rest on frame EXPECTED of the clip
# (at least MIN_PSNR dB against ffmpeg's decode, and closer to it than to
# its neighbours), and Escape then ends the player with status 0.
stop_at() {
    local clip=$1 n=$2 expected=$3 min=$4 status
    shift 4
    player_prepare "$(basename "$clip")-e$n" "MenuBar text" || fail "cannot prepare the player" || return
    damage_start || fail "cannot watch the window's drawing" || return
    player_launch "$clip" "$@" -e "$n"
    wait_window || fail "-e $n: no player window" || return
    wait_still 20 || fail "-e $n: the picture never came to rest" || return
    check_frame "$STILL_SHOT" "$clip" "$expected" "$min" || return
    press_escape
    status=$(player_wait_exit 10) || fail "-e $n: the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "-e $n: exit status $status after Escape" || return
    count_frames
    damage_stop
    note "$(basename "$clip") $* -e $n: $SHOWN frames drawn"
    [ "$SHOWN" = $((n + 1)) ] ||
        fail "$(basename "$clip") $* -e $n: $SHOWN frames reached the window, not $((n + 1))" || return
    check_sequence "$clip" $((expected - n)) $((n + 1))
}

# Real frames reach the window: the whole mjpeg clip, all 75 frames drawn in
# order, the last one left on the screen as ffmpeg decodes it (a neighbour
# frame scores 39-46 dB). Each codec's frames against ffmpeg are the engine
# tests' business; this shows the build draws what the engine gives it.
case_frames_whole_clip() {
    stop_at "$MEDIA/clip-mjpeg.avi" 74 74 50
}

# "-s 30 -t 75" seeks to frame 30 of 75 before playing; "-e 4" then shows
# frames 30..34 and stops on frame 34. The seek in each container is the
# engine tests' business.
case_start_frame() {
    stop_at "$MEDIA/clip-mjpeg.avi" 4 34 50 -s 30 -t 75
}

# "-e 5" shows six frames: frame 5 stays, frame 6 never comes, also a
# second later.
case_end_frame_shows_six_frames() {
    local status
    player_prepare six "MenuBar text" || fail "cannot prepare the player" || return
    damage_start || fail "cannot watch the window's drawing" || return
    player_launch "$MEDIA/clip-mjpeg.avi" -e 5
    wait_window || fail "no player window" || return
    wait_still 20 || fail "the picture never came to rest" || return
    check_frame "$STILL_SHOT" "$MEDIA/clip-mjpeg.avi" 5 50 || return
    sleep 1
    count_frames
    [ "$SHOWN" = 6 ] || fail "$SHOWN frames reached the window, not 6" || return
    # Six frames at 25 a second: the clip's own pace.
    awk -v a="$FIRST_FRAME_AT" -v b="$LAST_FRAME_AT" 'BEGIN { d = b - a; exit !(d >= 0.15 && d <= 0.35) }' ||
        fail "six frames took $(awk -v a="$FIRST_FRAME_AT" -v b="$LAST_FRAME_AT" 'BEGIN { print b - a }') s, not 0.2 s" || return
    player_alive || fail "the player ended after the last frame" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}

# colour_sequence SECONDS: the flat colours the video area takes, each
# noted once when it changes, until it has rested on blue for a second;
# SEQUENCE.
colour_sequence() {
    local tries=$(($1 * 8)) seen last="" quiet=0
    SEQUENCE=
    while ((tries-- > 0)); do
        seen=$(colour_now)
        if [ "$seen" != "$last" ] && [ "$seen" != mixed ] && [ "$seen" != black ]; then
            SEQUENCE="$SEQUENCE $seen"
            last=$seen
            quiet=0
        else
            quiet=$((quiet + 1))
        fi
        [ "$last" = blue ] && ((quiet >= 8)) && return 0
        sleep 0.1
    done
    return 1
}

# Three items from the configuration play one after the other, every frame
# drawn, then the player stands at the first item with the last picture
# left; Start (from the menu bar) plays the list again from item 1.
case_playlist_three_items() {
    local status
    player_prepare three "MenuBar text" "FileName $MEDIA/solid-red.avi" \
        "FileName $MEDIA/solid-green.avi" "FileName $MEDIA/solid-blue.avi" ||
        fail "cannot prepare the player" || return
    damage_start || fail "cannot watch the window's drawing" || return
    player_launch
    wait_window || fail "no player window" || return
    colour_sequence 10 || fail "the list never came to rest on blue (seen:$SEQUENCE)" || return
    note "colours:$SEQUENCE"
    [ "$SEQUENCE" = " red green blue" ] || fail "the items showed as:$SEQUENCE" || return
    count_frames
    [ "$SHOWN" = 75 ] || fail "$SHOWN frames reached the window for three items of 25" || return
    sleep 1
    count_frames
    [ "$SHOWN" = 75 ] || fail "frames kept coming after the list had ended ($SHOWN)" || return
    [ "$(colour_now)" = blue ] || fail "the last picture did not stay" || return
    player_alive || fail "the player ended with its list" || return

    menu_command Start
    wait_colour red 3 || fail "Start after the list did not play item 1 (screen $LAST_COLOUR)" || return
    colour_sequence 10 || fail "the second round never came to rest on blue" || return
    count_frames
    [ "$SHOWN" = 150 ] || fail "$SHOWN frames reached the window after two rounds, not 150" || return
    press_escape
    status=$(player_wait_exit 10) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}
