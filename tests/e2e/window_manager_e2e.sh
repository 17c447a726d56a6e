#!/usr/bin/env bash
# The real program under window managers that get asked to maximise, resize, go full screen,
# minimise and close it: it must live through every request and keep its size. Under X11 with
# Openbox; under a Wayland compositor (Weston) through XWayland, whose window manager obeys such
# requests even for a window of fixed size, and natively, under the title bar Qt draws itself,
# which Weston makes the program choose. Without an X server that answers it must still start,
# on Wayland.
#   window_manager_e2e.sh PATH-TO-TESSIVO
set -euo pipefail

program=$1
for tool in Xvfb xdotool xprop wmctrl openbox weston Xwayland; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
    exit 1
}

# shellcheck source=../support/x11_session.sh
source "$(dirname "$0")/../support/x11_session.sh"

start_program() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessivo 1\.2 ' | head -n 1) ||
        fail "the main window did not appear"
}

size() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p'; }

# Sends each request to the window manager and checks, once it has been dealt with, that the
# program runs on at its first size.
#   survive_requests WHERE
survive_requests() {
    local first request
    first=$(size)
    [ "${first%x*}" = 433 ] || fail "$1: the window is $first wide, not 433"
    for request in maximise resize fullscreen minimise; do
        case $request in
            maximise) wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz ;;
            resize) wmctrl -i -r "$window" -e 0,10,10,800,600 ;;
            fullscreen) wmctrl -i -r "$window" -b add,fullscreen ;;
            minimise) xdotool windowminimize "$window"; sleep 0.5; wmctrl -i -a "$window" ;;
        esac
        sleep 0.5
        for _ in $(seq 30); do [ "$(size)" = "$first" ] && break; sleep 0.1; done
        kill -0 "$program_pid" 2>/dev/null || fail "$1: the program died on a $request request"
        [ "$(size)" = "$first" ] || fail "$1: after a $request request the window is $(size), not $first"
    done
}

echo "-- X11 with Openbox: every request survived, the size kept, closing ends the program"
start_private_x_server "$work" || exit 1
pids+=("$XVFB_PID")
openbox >"$work/openbox.log" 2>&1 &
pids+=("$!")
sleep 0.5
start_program
survive_requests Openbox
wmctrl -i -c "$window"
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "closing the window did not end the program"
wait "$program_pid" || fail "the program exited with an error after its window was closed"

echo "-- Wayland (Weston) through XWayland, when asked for: the program keeps its size"
unset QT_QPA_PLATFORM DISPLAY
weston --backend=headless-backend.so --socket=tessivo-wayland --idle-time=0 --xwayland \
    --no-config >"$work/weston.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do grep -q 'xserver listening on display' "$work/weston.log" && break; sleep 0.1; done
display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
[ -n "$display" ] || fail "Weston offered no XWayland display"
export WAYLAND_DISPLAY=tessivo-wayland DISPLAY=$display
QT_QPA_PLATFORM=xcb start_program
survive_requests Weston
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
# Left to choose, it runs natively there: nothing shows on the X server.
"$program" >"$work/weston-native.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
sleep 3
kill -0 "$program_pid" 2>/dev/null || fail "the program did not start under Weston"
xdotool search --onlyvisible --name '^Tessivo 1\.2 ' >/dev/null && fail "under Weston the program chose XWayland"

echo "-- Wayland alone: with no X server answering, the program starts on Wayland"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
DISPLAY=:65000 "$program" >"$work/wayland-alone.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
sleep 3
kill -0 "$program_pid" 2>/dev/null || fail "the program did not start on Wayland alone"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true

echo "-- Wayland (Weston) natively, under Qt's own title bar: maximised and full screen, it lives on"
# Weston's X11 back end in a private X server, driven with Weston's own keys (Super+Shift+M
# maximises, Super+Shift+F goes full screen), which ask the window just as the maximise box
# of Qt's title bar does. The window's size is read from its requests to the compositor.
start_private_x_server "$work" || exit 1
pids+=("$XVFB_PID")
weston --backend=x11-backend.so --socket=tessivo-native --idle-time=0 --no-config \
    --width=1024 --height=768 >"$work/weston-x11.log" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do grep -q 'window id' "$work/weston-x11.log" && break; sleep 0.1; done
output=$(sed -n 's/.*x11 output .* window id \([0-9]*\).*/\1/p' "$work/weston-x11.log")
[ -n "$output" ] || fail "Weston's X11 back end did not start"
geometry() { sed -n 's/.*set_window_geometry(0, 0, \([0-9]*\), \([0-9]*\)).*/\1x\2/p' "$work/native.log" | tail -n 1; }
WAYLAND_DISPLAY=tessivo-native QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 "$program" >"$work/native.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
for _ in $(seq 100); do [ -n "$(geometry)" ] && break; sleep 0.1; done
first=$(geometry)
[ -n "$first" ] || fail "the program showed no window on Weston"
xdotool windowfocus "$output"
for request in super+shift+m super+shift+f; do
    before=$(grep -c 'xdg_toplevel@[0-9]*.configure' "$work/native.log")
    xdotool key "$request"
    for _ in $(seq 30); do
        [ "$(grep -c 'xdg_toplevel@[0-9]*.configure' "$work/native.log")" -gt $((before + 1)) ] && break
        sleep 0.1
    done
    sleep 0.3
    kill -0 "$program_pid" 2>/dev/null || fail "natively on Weston the program died on $request"
    [ "$(grep -c 'xdg_toplevel@[0-9]*.configure' "$work/native.log")" -gt "$before" ] ||
        fail "Weston did not act on $request"
    [ "$(geometry)" = "$first" ] || fail "after $request the window is $(geometry), not $first"
done
echo "5 passed, 0 failed"
