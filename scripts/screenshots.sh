#!/usr/bin/env bash
# Makes the README's pictures again: the main window with a password made, and the
# information window, each captured from a real X server (Xvfb). Needs xvfb, xdotool and
# imagemagick, and a dev build (cmake --preset dev && cmake --build --preset dev).
set -euo pipefail
cd "$(dirname "$0")/.."

program=build/dev/src/tessivo
# shellcheck source=../tests/support/e2e.sh
source tests/support/e2e.sh
e2e_begin
start_private_x_server

"$program" >/dev/null 2>&1 &
pids+=("$!")
main=$(main_window)
type_example "$main"
sleep 0.5
/usr/bin/import -window "$main" docs/main-window.png

# "?" menu, then Info: Alt reaches the menu bar, Left wraps to its last menu.
xdotool key alt Left Return Down Return
sleep 1
info=$(xdotool search --onlyvisible --class Tessivo | grep -v "^$main\$" | tail -n 1)
/usr/bin/import -window "$info" docs/info-window.png
echo "wrote docs/main-window.png and docs/info-window.png"
