#!/usr/bin/env bash
# The real program on Wayland compositors, through XWayland and natively: what Wayland clients
# can paste (wl-paste) after a generation, after END and after the close box, and whether they
# are offered the secret mark, without a clipboard history and with clipman.
#   wayland_e2e.sh PATH-TO-TESSIVO
# Runs as root: each compositor starts its own XWayland on the lowest free display, and X
# servers are also reached through abstract sockets, which belong to the network namespace, so
# the whole run gets mount and network namespaces of its own, with a private /tmp/.X11-unix
# (only that: the checkout, and the files its environment names, may be below /tmp). sway refuses
# to run as root: it runs as nobody, with the program copied where nobody can read it.
set -euo pipefail

program=$1
if [ -z "${TESSIVO_PRIVATE_NAMESPACES:-}" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            exec sudo -n --preserve-env "$0" "$@"
        fi
        echo "skipped: needs root (or passwordless sudo): compositors in namespaces of their own, sway as another user"
        exit 77
    fi
    exec env TESSIVO_PRIVATE_NAMESPACES=1 unshare --mount --net --propagation private "$0" "$@"
fi
for tool in sway swaymsg weston Xwayland Xvfb xdotool wtype wl-paste clipman setpriv; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done
support=$(cd "$(dirname "$0")/../support" && pwd)

mkdir -p -m 1777 /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
work=$(mktemp -d)
chmod 755 "$work"
cp "$program" "$work/tessivo"
chmod 755 "$work/tessivo"
expected=rmiego0rmiego0
pids=()
program_pid=
cleanup() {
    for pid in $program_pid "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do echo "--- $log"; tail -n 15 "$log"; done
    exit 1
}

# shellcheck source=../support/x11_session.sh
source "$support/x11_session.sh"

# Natively, Qt 6.4's Wayland plugin leaves its own objects at exit (libwayland proxies, the
# keyboard's compose state, the clipboard's data source), with or without Tessivo's Wayland
# clipboard (seen under Weston, where it is not used): a sanitized build checks leaks only on
# the XWayland runs, memory errors on all.
native_asan="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

pasted() { timeout 5 wl-paste -n 2>/dev/null || true; }
offers_mark() { timeout 5 wl-paste -l 2>/dev/null | grep -qx x-kde-passwordManagerHint; }

# Waits (at most 10 s) until Wayland clients can paste the password.
await_password() {
    for _ in $(seq 100); do [ "$(pasted)" = "$expected" ] && return 0; sleep 0.1; done
    fail "$1: Wayland clients paste '$(pasted)', not the password"
}

# Waits (at most 10 s) for the program to end of itself.
await_exit() {
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "$1 did not end the program"
    wait "$program_pid" || fail "$1: the program exited with an error"
    program_pid=
}

# What Wayland clients paste a second after the program ended: never the password.
#   check_left WHERE [EXPECTED]
check_left() {
    sleep 1
    local left
    left=$(pasted)
    [ "$left" != "$expected" ] || fail "$1: Wayland clients can still paste the password"
    [ $# -lt 2 ] || [ "$left" = "$2" ] || fail "$1: Wayland clients paste '$left', not '$2'"
    echo "   $1: Wayland clients paste '${left}'"
}

echo "-- sway (headless) with XWayland"
runtime=$work/runtime
home=$work/home
mkdir -p "$runtime" "$home/.local/share"
chmod 700 "$runtime"
chown -R nobody:nogroup "$runtime" "$home"
printf 'xwayland enable\n' >"$work/sway.conf"
chmod 644 "$work/sway.conf"
# As bare a session as the X11 runs': no session bus.
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$home"
    XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-bus)
"${as_nobody[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do compgen -G "$runtime/sway-ipc.*" >/dev/null && break; sleep 0.1; done
compgen -G "$runtime/sway-ipc.*" >/dev/null || fail "sway did not start"
export XDG_RUNTIME_DIR=$runtime SWAYSOCK
SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*" | head -n 1)
WAYLAND_DISPLAY=$(basename "$(compgen -G "$runtime/wayland-?" | head -n 1)")
export WAYLAND_DISPLAY DISPLAY=:0
unset QT_QPA_PLATFORM
as_user=("${as_nobody[@]}" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK" DISPLAY=:0)
# The headless seat has a keyboard only while a virtual one exists; Qt drops its clipboard
# offer when the seat loses its keyboard.
"${as_user[@]}" wtype -s 600000 '' &
pids+=("$!")
# sway's XWayland lets in only its own user.
xdotool() { "${as_user[@]}" xdotool "$@"; }

history_pid=
start_history() {
    rm -f "$home/.local/share/clipman.json"
    "${as_user[@]}" wl-paste -t text --watch clipman store >"$work/clipman.log" 2>&1 &
    history_pid=$!
    sleep 0.5
}
stop_history() {
    [ -n "$history_pid" ] || return 0
    kill "$history_pid" 2>/dev/null || true
    wait "$history_pid" 2>/dev/null || true
    history_pid=
    timeout 5 wl-copy --clear 2>/dev/null || true
}

# Starts the program on PLATFORM (xcb: XWayland, as it chooses; wayland: natively) and types
# the example.
start_and_generate() {
    local platform=$1
    local -a native=()
    [ "$platform" = wayland ] && native=(QT_QPA_PLATFORM=wayland "ASAN_OPTIONS=$native_asan")
    "${as_user[@]}" "${native[@]}" "$work/tessivo" >>"$work/program.log" 2>&1 &
    program_pid=$!
    for _ in $(seq 100); do
        swaymsg -t get_tree 2>/dev/null | grep -q '"name": "Tessivo 1.2 ' && break
        sleep 0.1
    done
    swaymsg -t get_tree | grep -q '"name": "Tessivo 1.2 ' || fail "the window did not appear"
    if [ "$platform" = wayland ]; then
        "${as_user[@]}" wtype -d 20 "$EXAMPLE_SITE" -k Tab "$EXAMPLE_USER" -k Tab \
            -M ctrl a -m ctrl "$EXAMPLE_LENGTH" -k Tab "$EXAMPLE_KEY" -k Return
    else
        window=$("${as_user[@]}" timeout 20 xdotool search --sync --onlyvisible --name '^Tessivo 1\.2 ' | head -n 1) ||
            fail "the window did not appear on XWayland"
        type_example "$window"
    fi
    await_password "$platform"
}

press_end() {
    if [ "$1" = wayland ]; then
        "${as_user[@]}" wtype -k Tab -k Tab -k Tab -k space
    else
        xdotool key Tab Tab Tab space
    fi
    await_exit END
}

close_box() {
    swaymsg '[title="^Tessivo 1.2 "] kill' >/dev/null
    await_exit "the close box"
}

echo "-- sway, XWayland, no history: Wayland clients get the password marked; END empties it"
start_and_generate ""
offers_mark || fail "through XWayland the password reaches Wayland clients without the secret mark"
press_end xcb
check_left "sway, XWayland, END" ""

echo "-- sway, XWayland, clipman: the close box leaves no password to paste"
start_history
start_and_generate ""
sleep 0.6 # clipman has it by now
close_box
check_left "sway, XWayland, clipman, close box"
stop_history

echo "-- sway, natively, clipman: END leaves no password to paste"
start_history
start_and_generate wayland
sleep 0.6
press_end wayland
check_left "sway, natively, clipman, END"
stop_history

echo "-- sway, natively, no history: the mark is offered; the close box leaves no password"
start_and_generate wayland
offers_mark || fail "natively the password reaches Wayland clients without the secret mark"
close_box
check_left "sway, natively, close box" ""

echo "-- Weston (X11 back end) with XWayland: the program runs natively; END leaves the notice"
# Weston's own clipboard keeps a copy of every text and refills an emptied clipboard with it.
kill "${pids[@]}" 2>/dev/null || true
wait "${pids[@]}" 2>/dev/null || true
pids=()
unset -f xdotool
weston_runtime=$work/weston-runtime
mkdir -m 700 "$weston_runtime"
export XDG_RUNTIME_DIR=$weston_runtime
start_private_x_server "$work" || exit 1
pids+=("$XVFB_PID")
export XDG_RUNTIME_DIR=$weston_runtime
unset QT_QPA_PLATFORM
nested=$DISPLAY
weston --backend=x11-backend.so --socket=tessivo-weston --idle-time=0 --no-config --xwayland \
    --width=1024 --height=768 >"$work/weston.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do grep -q 'xserver listening on display' "$work/weston.log" && break; sleep 0.1; done
xwayland=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
output=$(sed -n 's/.*x11 output .* window id \([0-9]*\).*/\1/p' "$work/weston.log")
[ -n "$xwayland" ] && [ -n "$output" ] || fail "Weston did not start with XWayland"
export WAYLAND_DISPLAY=tessivo-weston
DISPLAY=$xwayland ASAN_OPTIONS=$native_asan "$work/tessivo" >>"$work/program.log" 2>&1 &
program_pid=$!
sleep 2
# Typed on the X server Weston draws into, which passes the keys on to the focused window.
type_example "$output"
await_password Weston
offers_mark || fail "under Weston the password reaches Wayland clients without the secret mark"
# wl-paste took the keyboard for a moment: Super+Tab gives it back to the program.
xdotool key super+Tab
sleep 0.3
xdotool key Tab Tab Tab space
await_exit "END under Weston"
check_left "Weston, END" "(password removed)"
echo "5 passed, 0 failed"
