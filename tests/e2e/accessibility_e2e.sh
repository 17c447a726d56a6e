#!/usr/bin/env bash
# The real program with accessibility on, as under a screen reader: a session bus and an
# accessibility bus of their own, and a listener that must hear the key box without ever
# hearing the key.
#   accessibility_e2e.sh PATH-TO-TESSIVO
set -euo pipefail

program=$1
for tool in Xvfb xdotool xclip dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "FAIL: python3-pyatspi is not installed (scripts/setup.sh test)"; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../support/x11_session.sh
source "$(dirname "$0")/../support/x11_session.sh"
start_private_x_server "$work" || exit 1
server_pid=$XVFB_PID
unset DBUS_SESSION_BUS_ADDRESS # dbus-run-session gives the listener and the program one

timeout --kill-after=5 90 dbus-run-session -- \
    /usr/bin/python3 "$(dirname "$0")/key_over_accessibility.py" "$program"
