# The steps of the scenario table (cases.txt), made of what each build's
# driver (linux/lib.sh, windows/lib.sh) does and reads:
#   drv_config LINE...   the configuration file, CR LF line ends
#   drv_start ARGS...    starts the player in PLAYER_DIR in the background
#   drv_window_shown     the player's window is there now
#   drv_window_rect      RECT, "X Y W H" of the window (waits for it)
#   drv_key NAME, drv_command NAME, drv_move X Y W H, drv_borderless
#   drv_handover ARGS... a second start, to its end: SECOND_STATUS, SECOND_MS
#   drv_codec_box        the "Codec problem" message shows and is answered
#   drv_watch            from the next start on, frames drawn are noted
#   drv_frames CLIP N C  C frames were drawn, frames N, N + 1, ... of CLIP
#   drv_span             seconds from the first frame drawn to the last
#   check_frame SHOT CLIP N MIN_PSNR, wait_still S (STILL_SHOT)
#   wait_colour NAME S   the video area turns to that flat colour
#   drv_stderr           what the player said on standard error ("-" when
#                        the build has no standard error to read)
# Sourced by suite.sh; every step says why when it fails.
# shellcheck shell=bash

# table_cases FILE BUILD: defines case_NAME for each row of FILE naming
# BUILD; TABLE_NAMES lists them in the table's order.
table_cases() {
    TABLE_NAMES=()
    local line name builds steps
    while IFS= read -r line; do
        [[ $line =~ ^[a-z] ]] || continue
        name=${line%% *}
        builds=${line#"$name"}
        builds=${builds%%|*}
        steps=${line#*|}
        [[ ",${builds// /}," == *",$2,"* ]] || continue
        steps=$(sed -E 's/(^|&&)[[:space:]]*([a-z_]+)/\1 t_\2/g' <<<"$steps")
        eval "case_$name() { t_fresh $name && $steps; }"
        TABLE_NAMES+=("$name")
    done <"$1"
}

t_fresh() {
    LAUNCH_ENV=()
    player_prepare "$1" || fail "cannot prepare the player"
}

t_env() { LAUNCH_ENV+=("$@"); }

t_given() {
    drv_config "$@" || fail "cannot write the configuration" || return
    cp -p "$PLAYER_DIR/ostrel.cfg" "$CASE_DIR/original.cfg"
    CONFIG_STAMP=$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg")
    sleep 1
}

t_start() { drv_start "$@"; }

# refused TEXT...: the player ends by itself with status 1, no window ever
# showed, the configuration stayed as it was (or none was written), and
# standard error is one line holding each TEXT.
t_refused() {
    local seen="" status deadline=$((SECONDS + 30))
    while [ ! -s "$PLAYER_DIR/status" ] && ((SECONDS < deadline)); do
        drv_window_shown && seen=yes
        sleep 0.1
    done
    status=$(player_wait_exit 1) || fail "the player still runs after 30 s" || return
    [ "$status" = 1 ] || fail "exit status $status, not 1" || return
    [ -z "$seen" ] || fail "a player window showed" || return
    if [ -e "$CASE_DIR/original.cfg" ]; then
        t_unchanged || return
    else
        [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a configuration was written" || return
    fi
    t_says "$@"
}

# says TEXT...: standard error is one line holding each TEXT.
t_says() {
    local said text
    said=$(drv_stderr)
    [ "$said" = - ] && return 0
    [ "$(wc -l <<<"$said")" = 1 ] || fail "standard error holds more than one line: ${said//$'\n'/|}" || return
    for text in "$@"; do
        grep -qF -- "$text" <<<"$said" || fail "standard error does not say \"$text\": $said" || return
    done
}

# alone STATUS: the player ends by itself with STATUS, after 2 s at least
# (the length of the test sound) and no window showed meanwhile.
t_alone() {
    local seen="" status started=$SECONDS
    while [ ! -s "$PLAYER_DIR/status" ] && ((SECONDS - started < 30)); do
        drv_window_shown && seen=yes
        sleep 0.1
    done
    status=$(player_wait_exit 1) || fail "the player still runs after 30 s" || return
    [ "$status" = "$1" ] || fail "exit status $status, not $1" || return
    [ -z "$seen" ] || fail "a player window showed" || return
    note "the sound run took $((SECONDS - started)) s"
    ((SECONDS - started >= 2)) || fail "the player ended before the sound could have been played"
}

# folder NAME: a folder of that name beside the player, an item that
# exists but is no media.
t_folder() { mkdir -p "$PLAYER_DIR/$1"; }

# codec_box: the "Codec problem" message comes up while the player runs,
# and is answered.
t_codec_box() { drv_codec_box || fail "no \"Codec problem\" message answered while the player ran"; }

t_nothing_written() { [ ! -e "$PLAYER_DIR/ostrel.cfg" ] || fail "a configuration was written"; }

# junk NAME: a file of that name beside the player that is no media.
t_junk() { head -c 4000 /dev/urandom >"$PLAYER_DIR/$1"; }

t_silent() {
    local said
    said=$(drv_stderr)
    [ "$said" = - ] || [ -z "$said" ] || fail "a normal end printed: $said"
}

t_window() {
    drv_window_rect || fail "no player window" || return
    [ "$RECT" = "$*" ] || fail "the window is at $RECT, not at $*"
}

t_move() {
    drv_move "$@" || fail "cannot move the window" || return
    t_window "$@"
}

t_borderless() { drv_borderless || fail "the window has a frame or a caption ($AREA)"; }

t_still() { wait_still 20 || fail "the clip did not come to rest"; }

t_key() { drv_key "$1" || fail "cannot press $1"; }

t_command() {
    drv_command "$1" || fail "cannot give the command $1" || return
    sleep 0.5
}

# handover [ARGS...]: a second start hands ARGS to the running player and
# ends with 0 within HANDOVER_MS; nothing is written beside it.
t_handover() {
    drv_handover "$@"
    note "a second start took $SECOND_MS ms"
    [ "$SECOND_STATUS" = 0 ] || fail "the second start ended with $SECOND_STATUS, not 0" || return
    ((SECOND_MS < HANDOVER_MS)) || fail "the second start took $SECOND_MS ms to hand over"
}

t_colour() {
    drv_window_rect || fail "no player window" || return
    wait_colour "$1" 8 || fail "the screen shows $LAST_COLOUR, not $1"
}

t_watch() { drv_watch || fail "cannot watch the window's drawing"; }

# frame CLIP N MIN_PSNR: the picture comes to rest on frame N of CLIP.
t_frame() {
    drv_window_rect || fail "no player window" || return
    wait_still 25 || fail "the picture never came to rest" || return
    check_frame "$STILL_SHOT" "$@"
}

# frames CLIP FIRST COUNT: COUNT frames reached the window, one after the
# other from frame FIRST of CLIP, none left out, none twice.
t_frames() { drv_frames "$@"; }

# paced LOW HIGH: the first frame to the last took LOW to HIGH seconds.
t_paced() {
    local span
    span=$(drv_span)
    note "frames drawn over $span s"
    awk -v s="$span" -v a="$1" -v b="$2" 'BEGIN { exit !(s >= a && s <= b) }' ||
        fail "the frames took $span s, not $1 to $2"
}

t_wait() { sleep "$1"; }

t_ends() {
    local status
    status=$(player_wait_exit 15) || fail "the player did not end" || return
    [ "$status" = "$1" ] || fail "exit status $status, not $1"
}

t_config() { check_config "$PLAYER_DIR/ostrel.cfg" "$@"; }

t_unchanged() {
    cmp -s "$CASE_DIR/original.cfg" "$PLAYER_DIR/ostrel.cfg" || fail "the configuration was changed" || return
    [ "$CONFIG_STAMP" = "$(stat -c %Y.%s.%i "$PLAYER_DIR/ostrel.cfg")" ] ||
        fail "the configuration was written again"
}

# nothing_beside: the player left no file of its own but the configuration.
t_nothing_beside() {
    local left
    left=$(find "$PLAYER_DIR" -mindepth 1 -maxdepth 1 ! -name 'ostrel*' ! -name home ! -name run \
        ! -name status ! -name stdout ! -name stderr ! -name trace.log ! -name 'second.*' -printf '%f ')
    [ -z "$left" ] || fail "files left beside the configuration: $left" || return
    [ ! -e "$PLAYER_DIR/ostrel.cfg.new" ] || fail "a temporary file was left beside the configuration"
}
