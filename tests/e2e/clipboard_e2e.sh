#!/usr/bin/env bash
# The real program on a real X server: typed into with the keyboard alone, its password read
# back from the real X clipboard, and what END leaves there.
#   clipboard_e2e.sh PATH-TO-TESSIVO
set -euo pipefail

program=$1
expected=rmiego0rmiego0 # google.it + mario, key Ab3$, length 14, letters

for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done

work=$(mktemp -d)
server_pid=
program_pid=
holder_pid=
cleanup() {
    for pid in $program_pid $holder_pid $server_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, chosen by the server; no window manager, no session bus.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-e2e-bus
export XDG_RUNTIME_DIR=$work
mkdir -p "$work" && chmod 700 "$work"

fail() {
    echo "FAIL: $*"
    exit 1
}

clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }
selection() { xclip -o -selection primary 2>/dev/null || true; }

start_and_generate() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    window=$(timeout 20 xdotool search --sync --name '^Tessivo 1\.2 ' | head -n 1) ||
        fail "the main window did not appear"
    xdotool windowfocus --sync "$window"
    xdotool type --delay 30 'google.it'
    xdotool key Tab
    xdotool type --delay 30 'mario'
    xdotool key Tab ctrl+a
    xdotool type --delay 30 '14'
    xdotool key Tab
    xdotool type --delay 30 'Ab3$'
    xdotool key Return
    for _ in $(seq 50); do [ "$(clipboard)" = "$expected" ] && return 0; sleep 0.1; done
    fail "clipboard holds '$(clipboard)', expected the password $expected"
}

# Moves the focus to END with the given keys, then presses it with Space.
press_end() {
    xdotool key "$@" space
    for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "END did not end the program"
    wait "$program_pid" || fail "the program exited with an error: $(cat "$work/program.log")"
    program_pid=
}

echo "-- typed password reaches the clipboard; END empties it and the selection"
start_and_generate
# A double click on the shown password selects it, which puts it into the X11 selection.
xdotool mousemove --window "$window" 352 60 click --repeat 2 --delay 80 1
for _ in $(seq 30); do [ "$(selection)" = "$expected" ] && break; sleep 0.1; done
[ "$(selection)" = "$expected" ] || fail "selecting the password did not fill the selection ('$(selection)')"
press_end shift+Tab # the password box comes right after END
[ -z "$(clipboard)" ] || fail "END left '$(clipboard)' on the clipboard"
[ -z "$(selection)" ] || fail "END left '$(selection)' in the selection"

echo "-- END keeps what another program copied after the password"
start_and_generate
printf 'theirs' | xclip -i -selection clipboard
holder_pid=$(pgrep -n -x xclip || true)
sleep 0.3
press_end Tab Tab Tab # from the key box: ZEPH, CANC, END
[ "$(clipboard)" = theirs ] || fail "END destroyed the user's clipboard ('$(clipboard)')"

grep -i -E 'warning|critical|fatal' "$work/program.log" && fail "the program complained on stderr"
grep -F -e 'Ab3$' -e "$expected" "$work/program.log" && fail "the program wrote a secret to its output"
echo "1 passed, 0 failed"
