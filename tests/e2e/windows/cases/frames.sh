# shellcheck shell=bash
# Frames reaching the window where the scenario table (../../cases.txt) does
# not reach: MPEG-1 plays through; a playlist plays in order.

# mpeg1_plays_through EXT: the MPEG-1 program stream plays to its end
# (Wine's demuxer drops a few of the last frames), the player then stands
# at its one item, and Start plays that item again from its beginning.
mpeg1_plays_through() {
    local clip="$MEDIA/clip.$1" blits span again status
    player_prepare play
    PLAYER_TRACE=$TRACE_PLAYBACK player_launch "$(winpath "$clip")"
    wait_window || fail "no player window" || return
    wait_still 25 || fail "the picture never came to rest" || return
    blits=$(frame_blits)
    span=$(blit_span)
    note "$blits frames in $span s"
    ((blits >= 60 && blits <= 75)) || fail "$blits frames blitted, not 60 to 75" || return
    # Wine's MPEG-1 path paces its frames unevenly: 72 frames took 3.5 s.
    awk -v s="$span" 'BEGIN { exit !(s >= 2.2 && s <= 4.5) }' ||
        fail "$blits frames took $span s" || return
    # The last frame shown is one of the clip's last, as ffmpeg decodes it.
    local report best
    report=$(frames identify "$STILL_SHOT" "$AREA_X" "$AREA_Y" "$AREA_W" "$AREA_H" "$AREA_Y" "$clip" $((blits - 1)) 0)
    note "last frame: $report"
    best=${report%% *}
    best=${best#best=}
    ((best >= blits - 4 && best <= 74)) || fail "frame $best on screen after $blits frames" || return
    drv command 40002 >/dev/null || fail "cannot send Start" || return
    wait_moving 5 || fail "Start after the end did not play the item again" || return
    wait_still 15 || fail "the second playing never came to rest" || return
    again=$(($(frame_blits) - blits))
    ((again >= 60)) || fail "Start after the end played $again frames" || return
    drv key 0x1B >/dev/null || fail "cannot send Escape" || return
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
}
case_mpeg1_mpg() {
    mpeg1_plays_through mpg
}

# Three items from the configuration play one after the other, then the
# player stands at the first; the stream settings dialog walks the list.
case_playlist_three_items() {
    local status seq last seen quiet=0 tries=100
    player_prepare three
    printf 'FileName %s\r\nFileName %s\r\nFileName %s\r\n' "$(winpath "$MEDIA/solid-red.avi")" \
        "$(winpath "$MEDIA/solid-green.avi")" "$(winpath "$MEDIA/solid-blue.avi")" \
        >"$PLAYER_DIR/ostrel.cfg"
    PLAYER_TRACE=$TRACE_PLAYBACK player_launch
    wait_window || fail "no player window" || return
    # The colours the video area takes, each once, until it rests on blue.
    seq=
    last=
    while ((tries-- > 0)); do
        shot "$CASE_DIR/seq.xwd"
        seen=$(colour_of "$CASE_DIR/seq.xwd")
        if [ "$seen" != "$last" ] && [ "$seen" != black ] && [ "$seen" != mixed ]; then
            seq="$seq $seen"
            last=$seen
            quiet=0
        else
            quiet=$((quiet + 1))
        fi
        [ "$last" = blue ] && ((quiet >= 6)) && break
        sleep 0.15
    done
    note "colours:$seq"
    [ "$seq" = " red green blue" ] || fail "items showed as:$seq" || return
    [ "$(frame_blits)" = 150 ] || fail "$(frame_blits) frames blitted for three items of 50" || return

    local dialog=" Stream settings" item
    drv command 40005 >/dev/null && drv find-dialog "$dialog" 10000 >/dev/null ||
        fail "the stream settings dialog did not open" || return
    item=$(drv dialog-text "$dialog" 40008)
    [ "$item" = " 1" ] || fail "after the list the item field shows '$item', not ' 1'" || return
    local expect
    for expect in " 2" " 3" " 1"; do
        drv dialog-command "$dialog" 40007 >/dev/null
        sleep 0.2
        item=$(drv dialog-text "$dialog" 40008)
        [ "$item" = "$expect" ] || fail "&> gave '$item', not '$expect'" || return
    done
    for expect in " 3" " 2"; do
        drv dialog-command "$dialog" 40006 >/dev/null
        sleep 0.2
        item=$(drv dialog-text "$dialog" 40008)
        [ "$item" = "$expect" ] || fail "&< gave '$item', not '$expect'" || return
    done
    # OK on item 2 plays the second and the third item again.
    drv dialog-command "$dialog" 1 >/dev/null
    drv wait-dialog-gone "$dialog" 5000 >/dev/null || fail "OK did not close the dialog" || return
    wait_colour green 8 || fail "item 2 did not play after OK (screen $LAST_COLOUR)" || return
    wait_colour blue 8 || fail "item 3 did not follow item 2 (screen $LAST_COLOUR)" || return
    # Item 3 plays on for up to its two seconds after blue first shows;
    # then no further frame may come.
    local waits=60
    while ((waits-- > 0)) && (($(frame_blits) < 250)); do sleep 0.1; done
    sleep 0.5
    [ "$(frame_blits)" = 250 ] || fail "$(frame_blits) frames blitted, not 150 + 100" || return
    drv key 0x1B >/dev/null
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape" || return
}
