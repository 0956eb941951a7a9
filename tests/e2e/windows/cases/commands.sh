# shellcheck shell=bash
# The nine commands as the menu and the tool bar send them, on a playing
# 12 s clip: Pause, Start, Stream (its dialog read back and driven, the
# volume reaching the wave output), About, Save, Site, Open (cancelled and
# chosen), a dropped file, Stop; and Site when no site is set or the
# machine is offline.

SETTINGS=" Stream settings"
ABOUT=" ostrel"
OPEN="Open"

ended_with() {
    local want=$1 status
    drv key 0x1B >/dev/null
    status=$(player_wait_exit 15) || fail "the player did not end on Escape" || return
    [ "$status" = "$want" ] || fail "exit status $status after Escape" || return
}

case_commands_pause_start_stream() {
    local pos vol item
    player_prepare commands
    PLAYER_TRACE=$TRACE_PLAYBACK player_launch "$(winpath "$MEDIA/long.avi")"
    wait_window || fail "no player window" || return
    wait_moving 20 || fail "the clip does not play" || return

    drv command 40003 >/dev/null
    sleep 0.3
    frozen 1 || fail "Pause did not stop the picture" || return
    drv command 40003 >/dev/null
    drv command 40002 >/dev/null
    wait_moving 5 || fail "Start after Pause did not go on" || return

    # Stream: the dialog opens on the paused stream's position, the volume
    # found at start (full) and item 1; with one item the arrows keep 1.
    drv command 40005 >/dev/null
    drv find-dialog "$SETTINGS" 10000 >/dev/null || fail "the stream settings did not open" || return
    read -r pos _ _ < <(drv scroll-pos "$SETTINGS" 40017)
    read -r vol _ _ < <(drv scroll-pos "$SETTINGS" 40018)
    item=$(drv dialog-text "$SETTINGS" 40008)
    note "stream settings: position $pos, volume $vol, item '$item'"
    ((pos > 0 && pos < 10000)) || fail "the position bar stands at $pos" || return
    [ "$vol" = 10000 ] || fail "the volume bar stands at $vol, not 10000" || return
    [ "$item" = " 1" ] || fail "the item field shows '$item'" || return
    no_frames 1 || fail "frames come while the dialog is open" || return
    drv dialog-command "$SETTINGS" 40007 >/dev/null
    drv dialog-command "$SETTINGS" 40006 >/dev/null
    sleep 0.2
    item=$(drv dialog-text "$SETTINGS" 40008)
    [ "$item" = " 1" ] || fail "with one item the arrows led to '$item'" || return
    # Escape and the close box leave it open.
    drv dialog-key "$SETTINGS" 0x1B >/dev/null
    drv dialog-close "$SETTINGS" >/dev/null
    sleep 0.5
    drv find-dialog "$SETTINGS" 100 >/dev/null || fail "Escape or the close box closed the dialog" ||
        return

    # The volume bar: a released thumb sets the level's volume on the wave
    # output, a line step moves by 10, dragging and page steps set nothing.
    local scroll=(drv dialog-scroll "$SETTINGS" 40018)
    "${scroll[@]}" 4 1250 >/dev/null # SB_THUMBPOSITION at 1250: level 1
    read -r vol _ _ < <(drv scroll-pos "$SETTINGS" 40018)
    [ "$vol" = 1250 ] || fail "the volume bar reads $vol after the thumb was let go at 1250" || return
    "${scroll[@]}" 0 >/dev/null # SB_LINELEFT: 1240, level 0
    read -r vol _ _ < <(drv scroll-pos "$SETTINGS" 40018)
    [ "$vol" = 1240 ] || fail "a line step left from 1250 gave $vol" || return
    "${scroll[@]}" 5 5000 >/dev/null # SB_THUMBTRACK: the bar follows, nothing is set
    "${scroll[@]}" 3 >/dev/null      # SB_PAGERIGHT: nothing
    read -r vol _ _ < <(drv scroll-pos "$SETTINGS" 40018)
    [ "$vol" = 5000 ] || fail "the dragged thumb left the bar at $vol" || return
    "${scroll[@]}" 4 >/dev/null # released where it was dragged to: level 4
    "${scroll[@]}" 4 10000 >/dev/null # the right end: level 8
    "${scroll[@]}" 1 >/dev/null       # SB_LINERIGHT at the end: nothing
    read -r vol _ _ < <(drv scroll-pos "$SETTINGS" 40018)
    [ "$vol" = 10000 ] || fail "a line step right at 10000 gave $vol" || return
    local volumes
    volumes=$(volumes_set | tr '\n' ' ')
    note "volumes written: $volumes"
    [ "$volumes" = "11111111 00000000 77777777 ffffffff " ] ||
        fail "the wave output got the volumes: $volumes" || return

    # The position bar moved to the middle: OK plays on from there.
    drv dialog-scroll "$SETTINGS" 40017 4 5000 >/dev/null
    read -r pos _ _ < <(drv scroll-pos "$SETTINGS" 40017)
    [ "$pos" = 5000 ] || fail "the position bar reads $pos" || return
    local before after
    before=$(frame_blits)
    drv dialog-command "$SETTINGS" 1 >/dev/null
    drv wait-dialog-gone "$SETTINGS" 5000 >/dev/null || fail "OK did not close the dialog" || return
    wait_moving 5 || fail "playback did not go on after the dialog" || return
    # From the middle of the 300 frames to the end: the second half.
    wait_still 15 || fail "the clip did not come to its end" || return
    after=$(($(frame_blits) - before))
    note "$after frames from the middle to the end"
    ((after >= 140 && after <= 155)) || fail "$after frames from the middle to the end, not 150" ||
        return

    # Stop, then Start plays the item from its beginning again.
    drv command 40004 >/dev/null
    sleep 0.3
    no_frames 1 || fail "frames came after Stop" || return
    drv command 40002 >/dev/null
    wait_moving 5 || fail "Start after Stop did not play" || return
    ended_with 0 || return
    [ "$(volumes_set | tail -n 1)" = ffffffff ] ||
        fail "the volume found at start was not given back at the end" || return
}

case_commands_about_save_site() {
    local texts
    player_prepare about
    PLAYER_TRACE=$TRACE_PLAYBACK player_launch "$(winpath "$MEDIA/long.avi")"
    wait_window || fail "no player window" || return
    wait_moving 20 || fail "the clip does not play" || return

    drv command 40010 >/dev/null
    drv find-dialog "$ABOUT" 10000 >/dev/null || fail "the about dialog did not open" || return
    [ "$(drv dialog-text "$ABOUT" 40012)" = "2.03" ] ||
        fail "version text '$(drv dialog-text "$ABOUT" 40012)'" || return
    [ "$(drv dialog-text "$ABOUT" 40013)" = "http://ostrel.org" ] ||
        fail "link text '$(drv dialog-text "$ABOUT" 40013)'" || return
    # The link takes the mouse (a plain static text lets it through).
    [ "$(drv hit-test "$ABOUT" 40013)" = 1 ] || fail "the link does not take the mouse" || return
    [ "$(drv hit-test "$ABOUT" 40012)" = -1 ] || fail "the version text takes the mouse" || return
    no_frames 1 || fail "frames come while the about dialog is open" || return
    drv dialog-click "$ABOUT" 40013 >/dev/null
    wait_browser "http://ostrel.org/" 10 || wait_browser "http://ostrel.org" 1 ||
        fail "a click on the link opened nothing ($(tr '\n' '|' <"$BROWSER_LOG"))" || return
    drv dialog-key "$ABOUT" 0x1B >/dev/null
    drv dialog-close "$ABOUT" >/dev/null
    sleep 0.5
    drv find-dialog "$ABOUT" 100 >/dev/null || fail "Escape or the close box closed the about dialog" ||
        return
    drv dialog-command "$ABOUT" 1 >/dev/null
    drv wait-dialog-gone "$ABOUT" 5000 >/dev/null || fail "OK did not close the about dialog" || return
    wait_moving 5 || fail "playback did not go on after the about dialog" || return

    # Save writes the file while the player goes on.
    [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a configuration was there before Save" || return
    read_window_rect
    drv command 40009 >/dev/null
    sleep 1
    check_config "$PLAYER_DIR/ostrel.cfg" XCoord="$WIN_L" YCoord="$WIN_T" Width=$((WIN_R - WIN_L)) \
        Height=$((WIN_B - WIN_T)) || return
    drv is-window >/dev/null || fail "the player ended on Save" || return

    # Site opens the maker's products page.
    drv command 40015 >/dev/null
    wait_browser "http://ostrel.org/products.html" 10 ||
        fail "Site opened: $(tr '\n' '|' <"$BROWSER_LOG")" || return
    ended_with 0
}

case_commands_open_and_drop() {
    player_prepare open
    player_launch "$(winpath "$MEDIA/long.avi")"
    wait_window || fail "no player window" || return
    wait_moving 20 || fail "the clip does not play" || return

    # Open, cancelled: the window turns black, the player goes on.
    drv command 40001 >/dev/null
    drv find-dialog "$OPEN" 15000 >/dev/null || fail "the open-file dialog did not appear" || return
    drv dialog-command "$OPEN" 2 >/dev/null
    drv wait-dialog-gone "$OPEN" 5000 >/dev/null || fail "Cancel did not close the open-file dialog" ||
        return
    wait_colour black 5 || fail "after a cancelled Open the window shows $LAST_COLOUR" || return
    drv is-window >/dev/null || fail "the player ended after a cancelled Open" || return
    # The item was kept: Start sets it up again.
    drv command 40002 >/dev/null
    wait_moving 10 || fail "Start after a cancelled Open did not play the item" || return

    # Open, a clip chosen: it plays.
    drv command 40001 >/dev/null
    drv find-dialog "$OPEN" 15000 >/dev/null || fail "the open-file dialog did not appear again" || return
    drv dialog-set-text "$OPEN" 1148 "$(winpath "$MEDIA/solid-magenta.avi")" >/dev/null ||
        fail "cannot type into the open-file dialog" || return
    drv dialog-command "$OPEN" 1 >/dev/null
    drv wait-dialog-gone "$OPEN" 5000 >/dev/null || fail "the open-file dialog stayed" || return
    wait_colour magenta 8 || fail "the chosen clip did not play (screen $LAST_COLOUR)" || return

    # A file dropped on the window takes the place of the item.
    drv drop "$(winpath "$MEDIA/solid-green.avi")" >/dev/null || fail "cannot drop a file" || return
    wait_colour green 8 || fail "the dropped clip did not play (screen $LAST_COLOUR)" || return
    ended_with 0
}

# Site does nothing when no site is configured, or when the machine is
# offline (a stand-in for the URL library reports it so; Wine's own always
# reports online); offline, the about dialog's link opens nothing either.
case_site_none_and_offline() {
    player_prepare none
    printf 'AuthorSite none\r\n' >"$PLAYER_DIR/ostrel.cfg"
    player_launch
    wait_window || fail "no player window" || return
    drv command 40015 >/dev/null
    sleep 3
    [ ! -s "$BROWSER_LOG" ] || fail "Site with no site opened: $(tr '\n' '|' <"$BROWSER_LOG")" || return
    ended_with 0 || return

    player_prepare offline
    cp "$OFFLINE_URL_DLL" "$PLAYER_DIR/url.dll"
    cp "$DRIVER" "$PLAYER_DIR/ostrel_driver.exe"
    local overrides="$WINEDLLOVERRIDES;url=n"
    [ "$(cd "$PLAYER_DIR" && WINEDLLOVERRIDES=$overrides wine_env_run -t 30 ostrel_driver.exe inet-offline)" = 1 ] ||
        fail "the offline stand-in does not report offline" || return
    PLAYER_OVERRIDES=$overrides player_launch
    wait_window || fail "no player window" || return
    drv command 40015 >/dev/null
    drv command 40010 >/dev/null
    drv find-dialog "$ABOUT" 10000 >/dev/null || fail "the about dialog did not open" || return
    drv dialog-click "$ABOUT" 40013 >/dev/null
    sleep 3
    [ ! -s "$BROWSER_LOG" ] || fail "offline, something opened: $(tr '\n' '|' <"$BROWSER_LOG")" || return
    drv dialog-command "$ABOUT" 1 >/dev/null
    drv wait-dialog-gone "$ABOUT" 5000 >/dev/null || fail "OK did not close the about dialog" || return
    ended_with 0
}
