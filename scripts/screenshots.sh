#!/usr/bin/env bash
# Makes the README's pictures again: the main window with a password made, and the
# information window, each captured from a real X server (Xvfb). Needs xvfb, xdotool and
# imagemagick, and a dev build (cmake --preset dev && cmake --build --preset dev).
set -euo pipefail
cd "$(dirname "$0")/.."

program=build/dev/src/tessivo
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR=$work
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-bus

"$program" &
main=$(timeout 20 xdotool search --sync --name '^Tessivo 1\.2 ' | head -n 1)
xdotool windowfocus --sync "$main"
xdotool type --delay 30 'google.it'
xdotool key Tab
xdotool type --delay 30 'mario'
xdotool key Tab ctrl+a
xdotool type --delay 30 '14'
xdotool key Tab
xdotool type --delay 30 'Ab3$'
xdotool key Return
sleep 0.5
/usr/bin/import -window "$main" docs/main-window.png

# "?" menu, then Info: Alt reaches the menu bar, Left wraps to its last menu.
xdotool key alt Left Return Down Return
sleep 1
info=$(xdotool search --onlyvisible --class Tessivo | grep -v "^$main\$" | tail -n 1)
/usr/bin/import -window "$info" docs/info-window.png
echo "wrote docs/main-window.png and docs/info-window.png"
