# shellcheck shell=bash
# Sourced by the scripts that drive the real program: the tool check, a work folder with a home
# and a runtime folder of its own (so scripts run side by side), started processes ended by PID
# at exit, bounded waits, root through sudo or a skipped exit, a counted result, and an X server
# of the script's own.

# The main window's title as xdotool and swaymsg search for it.
TITLE_PATTERN='^Tessivo 1\.2 '

# The example everyone can check by hand (letters: rmiego0rmiego0), for the window and for
# tessivo-cli alike.
EXAMPLE_SITE=google.it
EXAMPLE_USER=mario
EXAMPLE_LENGTH=14
EXAMPLE_KEY='Ab3$'
export EXAMPLE_PASSWORD=rmiego0rmiego0

#   require TOOL...
require() {
    local tool
    for tool; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
    done
}

# Makes $work, with $HOME and $XDG_RUNTIME_DIR inside it, and ends everything in $pids when the
# script exits.
e2e_begin() {
    work=$(mktemp -d)
    mkdir -m 700 "$work/home" "$work/runtime"
    export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
    pids=()
    passed=0
    trap e2e_cleanup EXIT
}

# Ends everything the script started, and what they started in turn (a compositor's XWayland
# and helpers, which may keep ctest's output open): asked first, then killed after 5 s.
e2e_cleanup() {
    local pid all
    mapfile -t all < <(descendants $$)
    all+=("${pids[@]}")
    for pid in "${all[@]}"; do kill "$pid" 2>/dev/null || true; done
    if ! wait_until 5 all_ended "${all[@]}"; then
        for pid in "${all[@]}"; do ended "$pid" || echo "   killed, still running at the end: $(ps -o args= -p "$pid")"; done
        for pid in "${all[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
descendants() {
    local child
    for child in $(pgrep -P "$1"); do
        echo "$child"
        descendants "$child"
    done
}

# Says what failed, shows the end of every log in $work, and ends the script.
fail() {
    local log
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- ${log##*/}"; tail -n 25 "$log"; }
    done
    exit 1
}

# Runs COMMAND every tenth of a second until it succeeds; status 1 once SECONDS have passed.
#   wait_until SECONDS COMMAND...
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# A process that has exited but not been reaped (its parent gone before it) counts as ended.
ended() { ! kill -0 "$1" 2>/dev/null || [[ $(ps -o stat= -p "$1" 2>/dev/null) == Z* ]]; }
all_ended() {
    local pid
    for pid; do ended "$pid" || return 1; done
}
# Ends the given processes of this script's (empty arguments are passed over).
stop() {
    local pid
    for pid; do [ -z "$pid" ] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true; done
}

# Waits (at most SECONDS, 20 by default) for a program this script started to end of itself,
# with status 0.
#   await_exit PID WHAT [SECONDS]
await_exit() {
    local status=0
    wait_until "${3:-20}" ended "$1" || fail "$2 did not end the program"
    wait "$1" || status=$?
    [ "$status" -eq 0 ] || fail "$2: the program exited with status $status"
}

# The command prefix that runs a command as root: empty as root, sudo where it needs no
# password; `need_root` runs the whole script again through sudo, or ends it as skipped.
as_root=()
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    as_root=(sudo -n --preserve-env)
fi
#   need_root WHY "$0" "$@"
need_root() {
    local why=$1
    shift
    [ "$(id -u)" -eq 0 ] && return 0
    [ ${#as_root[@]} -gt 0 ] && exec "${as_root[@]}" "$@"
    skip "needs root (or passwordless sudo): $why"
}

# Ends the script as skipped (ctest's SKIP_RETURN_CODE), never as passed.
skip() {
    echo "skipped: $*"
    exit 77
}

# Names the scenario about to run; `e2e_passed` counts those that ran to their end.
scenario() {
    [ -z "${current_scenario:-}" ] || passed=$((passed + 1))
    current_scenario=$1
    echo "-- $1 (at $SECONDS s)"
}
e2e_passed() {
    [ -z "${current_scenario:-}" ] || passed=$((passed + 1))
    echo "$passed passed, 0 failed"
}

# Starts Xvfb on a display number it picks itself, so runs side by side never collide, and
# gives the program a session as bare as a new machine's: no window manager, no session bus.
# Adds the server to $pids.
start_private_x_server() {
    local display=$work/display.$RANDOM
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display" >"$work/xvfb.log" 2>&1 &
    pids+=("$!")
    wait_until 20 test -s "$display" || fail "Xvfb did not start"
    DISPLAY=":$(cat "$display")"
    export DISPLAY
    export QT_QPA_PLATFORM=xcb
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-bus
}

# The main window of the program on the current display, waited for (at most 20 s). A script
# may wrap xdotool in a function (to run it as another user), which `timeout` would not see.
main_window() {
    local window
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name "$TITLE_PATTERN" 2>/dev/null | head -n 1)
        [ -z "$window" ] || { echo "$window"; return 0; }
        sleep 0.1
    done
    return 1
}

# Types the example into the main window WINDOW with the keyboard alone, and presses Enter in
# the key box.
#   type_example WINDOW
type_example() {
    xdotool windowfocus --sync "$1"
    xdotool type --delay 30 "$EXAMPLE_SITE"
    xdotool key Tab
    xdotool type --delay 30 "$EXAMPLE_USER"
    xdotool key Tab ctrl+a
    xdotool type --delay 30 "$EXAMPLE_LENGTH"
    xdotool key Tab
    xdotool type --delay 30 "$EXAMPLE_KEY"
    xdotool key Return
}
