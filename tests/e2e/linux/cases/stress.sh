# Under load the player never stops answering: with both processors kept
# busy, random Pause, Start and Stop commands, window sizes, seeks from the
# stream settings dialog and hand-overs follow each other, and after each
# one an empty second start must get the player's reply within 5 s.
# E2E_STRESS_SECONDS (120) is how long it is driven; E2E_STRESS_SEED
# replays a run's actions.

LIMIT_stress_never_hangs=$((${E2E_STRESS_SECONDS:-120} + 40))
STRESS_CLIPS=(clip-mjpeg.avi clip.mpg clip-mpeg4.avi clip-rawvideo.avi halves.avi clip-msmpeg4v2.avi clip.dat)

# stress_act: one random action, named in ACTION; on a fault, WHY says it.
stress_act() {
    local pick=$((RANDOM % 6)) names=(Pause Start Stop) x w h
    case $pick in
    0 | 1 | 2)
        ACTION=${names[pick]}
        menu_command "$ACTION"
        ;;
    3)
        # Wide enough for all nine commands and the dialog, on the screen.
        w=$((MENU_X[8] + 40 + RANDOM % (1024 - WIN_X - MENU_X[8] - 39)))
        h=$((300 + RANDOM % (768 - WIN_Y - 299)))
        ACTION="size ${w}x$h"
        xdotool windowsize "$WIN" "$w" "$h"
        ;;
    4)
        x=$((POSITION_BAR[0] + RANDOM % POSITION_BAR[2]))
        ACTION="Stream, click at $x on the position bar, OK"
        menu_command Stream
        wait_titled "$SETTINGS" 5 || { WHY="the dialog did not open within 5 s"; return 1; }
        DLG=$FOUND DLG_X=$FOUND_X DLG_Y=$FOUND_Y
        dialog_click "$x" $((POSITION_BAR[1] + POSITION_BAR[3] / 2))
        dialog_click "${SETTINGS_OK[@]}"
        wait_gone "$DLG" 5 || { WHY="OK did not close the dialog within 5 s"; return 1; }
        ;;
    5)
        ACTION="hand-over of ${STRESS_CLIPS[RANDOM % ${#STRESS_CLIPS[@]}]}"
        second_start 5 "$MEDIA/${ACTION#hand-over of }"
        [ "$SECOND_STATUS" = 0 ] || { WHY="it ended with $SECOND_STATUS after $SECOND_MS ms"; return 1; }
        ;;
    esac
}

# stress_stuck WHY: fails with WHY and keeps the stacks of the player's threads.
stress_stuck() {
    local pid
    pid=$(player_process)
    [ -n "$pid" ] && command -v gdb >/dev/null &&
        timeout 30 gdb -p "$pid" -batch -ex 'thread apply all bt' >"$CASE_DIR/stacks.txt" 2>&1
    fail "$1 (stderr: $(tail -n 1 "$PLAYER_DIR/stderr"))"
}

case_stress_never_hangs() {
    local seed=${E2E_STRESS_SEED:-$(($(date +%s%N) / 1000 % 32768))} seconds=${E2E_STRESS_SECONDS:-120}
    local count=0 deadline status
    local PLAYER_LIMIT=$((seconds + 30))
    RANDOM=$seed
    note "seed $seed (E2E_STRESS_SEED=$seed replays it), driven for $seconds s"
    player_prepare stress "MenuBar text" "XCoord 10" "YCoord 10" "FileName $MEDIA/clip-mjpeg.avi" \
        "FileName $MEDIA/clip.mpg" "FileName $MEDIA/halves.avi" || fail "cannot prepare the player" || return
    player_launch
    wait_window || fail "no player window" || return
    for _ in 1 2; do
        sh -c 'while :; do :; done' &
        CASE_PIDS+=($!)
    done
    ACTION="none yet" deadline=$(($(date +%s) + seconds))
    while (($(date +%s) < deadline)); do
        wait_window 5 || stress_stuck "seed $seed: no player window after $count actions ($ACTION)" || return
        count=$((count + 1))
        stress_act || stress_stuck "seed $seed: action $count ($ACTION): $WHY" || return
        second_start 5
        [ "$SECOND_STATUS" = 0 ] && ((SECOND_MS < 5000)) && player_alive ||
            stress_stuck "seed $seed: after action $count ($ACTION) the player did not answer within 5 s (second start: status $SECOND_STATUS, $SECOND_MS ms; player $(player_alive && echo running || echo "ended with $(cat "$PLAYER_DIR/status" 2>/dev/null)"))" ||
            return
        note "$count: $ACTION, answered in $SECOND_MS ms"
    done
    note "$count actions, each answered"
    kill_tree "${CASE_PIDS[-1]}"
    kill_tree "${CASE_PIDS[-2]}"
    wait_window 5 || fail "no player window at the end" || return
    press_escape
    status=$(player_wait_exit 5) || stress_stuck "seed $seed: the player did not end within 5 s of Escape" || return
    [ "$status" = 0 ] || fail "seed $seed: exit status $status after Escape"
}
