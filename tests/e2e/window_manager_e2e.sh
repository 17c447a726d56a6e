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
# shellcheck source=../support/e2e.sh
source "$(dirname "$0")/../support/e2e.sh"
require Xvfb xdotool xprop wmctrl openbox weston Xwayland
e2e_begin

start_program() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=$(main_window) || fail "the main window did not appear"
}

size() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p'; }
size_is() { [ "$(size)" = "$1" ]; }
minimised() { xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }

# Sends each request to the window manager and checks, once it has been dealt with, that the
# program runs on at its first size. A request the manager obeys changes the size for a moment
# at most, so the size is read again until it is the first one, within a bound.
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
            minimise)
                xdotool windowminimize --sync "$window"
                wmctrl -i -a "$window"
                ;;
        esac
        sleep 0.5
        wait_until 3 size_is "$first" || true
        ended "$program_pid" && fail "$1: the program died on a $request request"
        size_is "$first" || fail "$1: after a $request request the window is $(size), not $first"
    done
}

# Starts the program with Wayland's messages in LOG, and waits until the compositor has shown
# its window.
#   start_native LOG [ENV...]
start_native() {
    local log=$1
    shift
    env "$@" WAYLAND_DEBUG=1 "$program" >"$log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    wait_until 20 grep -q 'xdg_surface@[0-9]*\.ack_configure' "$log" || fail "the program showed no window on Wayland"
}

scenario "X11 with Openbox: every request survived, the size kept, closing ends the program"
start_private_x_server
openbox >"$work/openbox.log" 2>&1 &
pids+=("$!")
wait_until 10 eval 'wmctrl -m >/dev/null 2>&1' || fail "Openbox did not start"
start_program
survive_requests Openbox
wmctrl -i -c "$window"
await_exit "$program_pid" "closing the window"

scenario "Wayland (Weston) through XWayland, when asked for: the program keeps its size"
unset QT_QPA_PLATFORM DISPLAY
weston --backend=headless-backend.so --socket=tessivo-wayland --idle-time=0 --xwayland \
    --no-config >"$work/weston.log" 2>&1 &
pids+=("$!")
wait_until 20 grep -q 'xserver listening on display' "$work/weston.log" || fail "Weston offered no XWayland display"
display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
export WAYLAND_DISPLAY=tessivo-wayland DISPLAY=$display
QT_QPA_PLATFORM=xcb start_program
survive_requests Weston
stop "$program_pid"
# Left to choose, it runs natively there: once its window is up, nothing shows on the X server.
start_native "$work/weston-native.log" -u QT_QPA_PLATFORM
xdotool search --onlyvisible --name "$TITLE_PATTERN" >/dev/null && fail "under Weston the program chose XWayland"
stop "$program_pid"

scenario "Wayland alone: with no X server answering, the program starts on Wayland"
start_native "$work/wayland-alone.log" -u QT_QPA_PLATFORM DISPLAY=:65000
stop "$program_pid"

scenario "Wayland (Weston) natively, under Qt's own title bar: maximised and full screen, it lives on"
# Weston's X11 back end in a private X server, driven with Weston's own keys (Super+Shift+M
# maximises, Super+Shift+F goes full screen), which ask the window just as the maximise box
# of Qt's title bar does. The window's size is read from its requests to the compositor.
start_private_x_server
weston --backend=x11-backend.so --socket=tessivo-native --idle-time=0 --no-config \
    --width=1024 --height=768 >"$work/weston-x11.log" 2>&1 &
pids+=("$!")
wait_until 20 grep -q 'window id' "$work/weston-x11.log" || fail "Weston's X11 back end did not start"
output=$(sed -n 's/.*x11 output .* window id \([0-9]*\).*/\1/p' "$work/weston-x11.log")
geometry() { sed -n 's/.*set_window_geometry(0, 0, \([0-9]*\), \([0-9]*\)).*/\1x\2/p' "$work/native.log" | tail -n 1; }
configures() { grep -c 'xdg_toplevel@[0-9]*.configure' "$work/native.log"; }
start_native "$work/native.log" WAYLAND_DISPLAY=tessivo-native QT_QPA_PLATFORM=wayland
first=$(geometry)
[ -n "$first" ] || fail "the program showed no window on Weston"
# Weston's keys act on the window that has the keyboard, which it loses while Weston's own
# window on the X server loses the X focus.
has_keyboard() { grep -o 'wl_keyboard@[0-9]*\.\(enter\|leave\)' "$work/native.log" | tail -n 1 | grep -q enter; }
acted() { [ "$(configures)" -gt "$before" ]; }
for request in super+shift+m super+shift+f; do
    before=$(configures)
    # Pressed again until Weston acts (either way, the compositor asks the window for a new size).
    for _ in 1 2 3; do
        has_keyboard || { xdotool windowfocus "$output"; wait_until 3 has_keyboard || true; }
        xdotool key "$request"
        if wait_until 3 acted; then break; fi
    done
    acted || fail "Weston did not act on $request"
    # The window takes the compositor's size for a moment, then asks to be normal again and
    # takes its own size back.
    wait_until 5 eval '[ "$(geometry)" = "$first" ]' || true
    ended "$program_pid" && fail "natively on Weston the program died on $request"
    [ "$(geometry)" = "$first" ] || fail "after $request the window is $(geometry), not $first"
done
e2e_passed
