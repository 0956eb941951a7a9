# A list of three items plays through, every frame drawn, and stands at the
# first, which Start plays again. Frames of one clip, "-s" and "-e" are rows
# of the scenario table (../../cases.txt).

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
