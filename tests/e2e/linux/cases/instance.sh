# One player per user: the hand-over is a row of the scenario table
# (../../cases.txt). The lock and the socket sit in a folder of the user's
# own (mode 700), so another user's start cannot reach them.

# second_start SECONDS ARGS...: runs the player of PLAYER_DIR again in the
# foreground, as the same user with the same runtime folder; SECOND_STATUS
# is its exit status (124 when it had to be stopped), SECOND_MS its run
# time, its standard error in PLAYER_DIR/second.stderr.
second_start() {
    local limit=$1 started
    shift
    started=$(date +%s%N)
    (
        cd "$PLAYER_DIR" || exit 1
        XDG_RUNTIME_DIR="$PLAYER_RUNTIME" HOME="$PLAYER_DIR/home" OSTREL_AUDIO_OUT=null \
            OSTREL_NETWORK=offline QT_QPA_PLATFORM=xcb \
            timeout -k 2 "$limit" ./ostrel "$@" >/dev/null 2>"$PLAYER_DIR/second.stderr"
    )
    SECOND_STATUS=$?
    SECOND_MS=$((($(date +%s%N) - started) / 1000000))
}

# The user the other-user check runs as; made for the check and removed.
OTHER_USER=ostrel-e2e-other
OTHER_USER_MADE=
OTHER_DIR=

other_user_cleanup() {
    [ -n "$OTHER_DIR" ] && rm -rf "$OTHER_DIR"
    if [ -n "$OTHER_USER_MADE" ]; then
        rm -rf "/tmp/ostrel-$(id -u "$OTHER_USER" 2>/dev/null)"
        userdel "$OTHER_USER" >/dev/null 2>&1
    fi
}

case_other_user_cannot_hand_over() {
    local status folder socket other_pid colour
    if [ "$(id -u)" != 0 ]; then
        note "not root: no other user to start the player as; checked the folder only"
    fi
    # Away from where the other user's player will open its window.
    player_prepare first "MenuBar text" "XCoord 700" "YCoord 420" "Width 320" "Height 259" ||
        fail "cannot prepare the player" || return
    player_launch "$MEDIA/solid-red.avi"
    wait_window || fail "no player window" || return
    wait_colour red 5 || fail "the first item did not show (screen $LAST_COLOUR)" || return

    folder="$PLAYER_RUNTIME/ostrel"
    [ "$(stat -c '%a %u' "$folder" 2>/dev/null)" = "700 $(id -u)" ] ||
        fail "the single-instance folder is $(stat -c '%a %U' "$folder" 2>&1), not the user's own with mode 700" ||
        return
    socket=$(find "$folder" -maxdepth 1 -type s | head -1)
    [ -n "$socket" ] || fail "no socket in $folder" || return
    [ "$(id -u)" = 0 ] || return 0

    if ! id "$OTHER_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --shell /usr/sbin/nologin "$OTHER_USER" ||
            fail "cannot make the user $OTHER_USER" || return
        OTHER_USER_MADE=yes
    fi
    trap 'other_user_cleanup; case_cleanup' EXIT
    OTHER_DIR=$(mktemp -d /tmp/ostrel-e2e-other.XXXXXX)
    chmod 755 "$OTHER_DIR"
    cp "$PLAYER" "$OTHER_DIR/ostrel" && cp "$MEDIA/solid-blue.avi" "$OTHER_DIR/" &&
        chown -R "$OTHER_USER" "$OTHER_DIR" || fail "cannot prepare the other user's player" || return

    # The socket itself: the other user cannot connect to it.
    if runuser -u "$OTHER_USER" -- "$PY" -c 'import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])' "$socket" 2>/dev/null; then
        fail "another user connected to the player's socket $socket"
        return
    fi

    # The other user's start, told to look in the first player's runtime
    # folder: it cannot hand over; it runs a player of its own or fails.
    (
        cd "$OTHER_DIR" &&
            exec runuser -u "$OTHER_USER" -- env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$PLAYER_RUNTIME" \
                HOME="$OTHER_DIR" OSTREL_AUDIO_OUT=null QT_QPA_PLATFORM=xcb \
                timeout -k 2 20 ./ostrel "$OTHER_DIR/solid-blue.avi" >"$OTHER_DIR/out" 2>&1
    ) &
    other_pid=$!
    CASE_PIDS+=("$other_pid")
    local tries=50 windows=1
    while ((tries-- > 0)) && kill -0 "$other_pid" 2>/dev/null; do
        windows=$(find_windows "$TITLE" | wc -l)
        ((windows >= 2)) && break
        sleep 0.1
    done
    if kill -0 "$other_pid" 2>/dev/null; then
        ((windows >= 2)) || fail "the other user's start neither ended nor opened its own window" || return
        note "the other user's start opened a player of its own"
    else
        wait "$other_pid"
        status=$?
        note "the other user's start ended with $status: $(head -n 1 "$OTHER_DIR/out")"
        [ "$status" != 0 ] || fail "the other user's start ended with 0, as after a hand-over" || return
    fi
    sleep 1
    colour=$(colour_now)
    [ "$colour" = red ] || fail "the first player shows $colour after the other user's start" || return
    player_alive || fail "the first player ended" || return
    kill_tree "$other_pid"
    press_escape
    status=$(player_wait_exit 10) || fail "the first player did not end on Escape" || return
    [ "$status" = 0 ] || fail "exit status $status after Escape"
}
