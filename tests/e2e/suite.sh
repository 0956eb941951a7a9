# The end-to-end suites' shared frame, sourced by linux/run_all.sh and
# windows/run_all.sh: reporting helpers and the loop that runs the cases.
#
# A suite runs the rows of the scenario table (cases.txt) that name its
# build (E2E_BUILD), then its cases, functions case_NAME in the files of its
# cases/ folder (they run in the order the files list them), sets CASE_LIMIT
# (seconds a case may take), ONLY (the case names or prefixes asked for,
# empty for all) and case_cleanup (stops what a case started), and may
# define before_case and after_case, run around each case. A case fails on
# the first `fail`, on a status other than 0, or when it outlasts the limit.
# shellcheck shell=bash

E2E_SHARED=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=table.sh
. "$E2E_SHARED/table.sh"

say() { printf '%s\n' "$*"; }
elapsed() { echo $(($(date +%s) - $1)); }

# The reason of the first failed check; the suite prints it.
fail() {
    [ -s "$CASE_DIR/why" ] || printf '%s\n' "$*" >"$CASE_DIR/why"
    return 1
}

note() { printf '%s\n' "$*" >>"$CASE_DIR/notes"; }

# Ends a process and everything it started, children first.
kill_tree() {
    local child
    for child in $(pgrep -P "$1" 2>/dev/null); do kill_tree "$child"; done
    kill -9 "$1" 2>/dev/null
}

# player_wait_exit SECONDS [DIR]: waits for the player started in DIR
# (PLAYER_DIR) to end, as its status file tells, and prints its exit
# status; status 1 when it still runs after SECONDS.
player_wait_exit() {
    local dir=${2:-$PLAYER_DIR} tries=$(($1 * 10))
    while ((tries-- > 0)); do
        if [ -s "$dir/status" ]; then
            cat "$dir/status"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

running_case=

# run_cases CASES_DIR WORK: runs every wanted case in WORK/cases/NAME, says
# PASS or FAIL for each, and returns 1 when one failed. A case runs for at
# most CASE_LIMIT seconds, or LIMIT_<name> when its file sets one.
# E2E_VERBOSE=1 also prints each case's notes.
run_cases() {
    local cases_dir=$1 work=$2 part name started status timed_out took limit
    table_cases "$E2E_SHARED/cases.txt" "$E2E_BUILD"
    local ordered=("${TABLE_NAMES[@]}")
    for part in "$cases_dir"/*.sh; do
        # shellcheck source=/dev/null
        . "$part"
        while read -r name; do ordered+=("$name"); done \
            < <(sed -n 's/^case_\([a-z0-9_]*\)() {$/\1/p' "$part")
    done
    passed=0
    failed=0
    for name in "${ordered[@]}"; do
        _wanted "$name" || continue
        CASE_DIR="$work/cases/$name"
        rm -rf "$CASE_DIR"
        mkdir -p "$CASE_DIR"
        declare -F before_case >/dev/null && before_case
        limit="LIMIT_$name"
        limit=${!limit:-$CASE_LIMIT}
        started=$(date +%s)
        (
            trap case_cleanup EXIT
            "case_$name"
        ) >"$CASE_DIR/log" 2>&1 &
        running_case=$!
        timed_out=0
        while kill -0 "$running_case" 2>/dev/null; do
            if (($(date +%s) - started >= limit)); then
                kill_tree "$running_case"
                timed_out=1
                break
            fi
            sleep 0.2
        done
        wait "$running_case"
        status=$?
        running_case=
        declare -F after_case >/dev/null && after_case
        took=$(elapsed "$started")
        if [ "$timed_out" = 1 ]; then
            failed=$((failed + 1))
            say "FAIL $name: still running after $limit s"
        elif [ -s "$CASE_DIR/why" ]; then
            failed=$((failed + 1))
            say "FAIL $name: $(head -n 1 "$CASE_DIR/why") (${took} s)"
        elif [ "$status" != 0 ]; then
            failed=$((failed + 1))
            say "FAIL $name: ended with status $status (${took} s; see $CASE_DIR/log)"
        else
            passed=$((passed + 1))
            say "PASS $name (${took} s)"
        fi
        if [ -s "$CASE_DIR/notes" ] && [ -n "${E2E_VERBOSE:-}" ]; then
            sed 's/^/    /' "$CASE_DIR/notes"
        fi
    done
    [ "$failed" = 0 ]
}

_wanted() {
    [ ${#ONLY[@]} -eq 0 ] && return 0
    local pattern
    for pattern in "${ONLY[@]}"; do [[ $1 == "$pattern"* ]] && return 0; done
    return 1
}
