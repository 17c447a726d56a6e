#!/usr/bin/env bash
# The real program with accessibility on, as under a screen reader: a session bus and an
# accessibility bus of their own, and a listener that must hear the key box without ever
# hearing the key.
#   accessibility_e2e.sh PATH-TO-TESSIVO
set -euo pipefail

program=$1
# shellcheck source=../support/e2e.sh
source "$(dirname "$0")/../support/e2e.sh"
require Xvfb xdotool xclip dbus-run-session /usr/libexec/at-spi-bus-launcher
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "FAIL: python3-pyatspi is not installed (scripts/setup.sh test)"; exit 1; }
e2e_begin
start_private_x_server
unset DBUS_SESSION_BUS_ADDRESS # dbus-run-session gives the listener and the program one

timeout --kill-after=5 90 dbus-run-session -- \
    /usr/bin/python3 "$(dirname "$0")/key_over_accessibility.py" "$program"
