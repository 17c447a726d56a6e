#!/usr/bin/env bash
# The real program on a real X server: typed into with the keyboard alone, its password read
# back from the real X clipboard, and what each way out does to the clipboard and the
# selection, watched as it happens.
#   clipboard_e2e.sh PATH-TO-TESSIVO PATH-TO-SELECTION-WATCH
set -euo pipefail

program=$1
watch=$2
expected=rmiego0rmiego0 # google.it + mario, key Ab3$, length 14, letters
title="Tessivo 1.2$(printf '%45s' '')by Vandro 33"

for tool in Xvfb xdotool xclip xprop; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/setup.sh test)"; exit 1; }
done

work=$(mktemp -d)
server_pid=
program_pid=
holder_pid=
watch_pid=
cleanup() {
    for pid in $program_pid $holder_pid $watch_pid $server_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -s "$work/program.log" ] && { echo "--- program output"; cat "$work/program.log"; }
    exit 1
}

# shellcheck source=../support/x11_session.sh
source "$(dirname "$0")/../support/x11_session.sh"
start_private_x_server "$work" || exit 1
server_pid=$XVFB_PID

"$watch" >"$work/selections.log" &
watch_pid=$!
for _ in $(seq 50); do grep -q ready "$work/selections.log" && break; sleep 0.1; done

clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }
selection() { xclip -o -selection primary 2>/dev/null || true; }
# What happened to the selections since the mark.
mark() { wc -l <"$work/selections.log"; }
since() { tail -n +"$(($1 + 1))" "$work/selections.log"; }

start_and_generate() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tessivo 1\.2 ' | head -n 1) ||
        fail "the main window did not appear"
    type_example "$window"
    for _ in $(seq 50); do [ "$(clipboard)" = "$expected" ] && return 0; sleep 0.1; done
    fail "clipboard holds '$(clipboard)', expected the password $expected"
}

wait_for_exit() {
    for _ in $(seq 200); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$program_pid" 2>/dev/null && fail "$1 did not end the program"
    wait "$program_pid" || fail "the program exited with an error"
    program_pid=
}

# Moves the focus to END with the given keys, then presses it with Space.
press_end() {
    xdotool key "$@" space
    wait_for_exit END
}

echo "-- the title bar shows the window's title exactly"
start_and_generate
shown=$(xprop -id "$window" _NET_WM_NAME | sed -e 's/^[^"]*"//' -e 's/"$//')
[ "$shown" = "$title" ] || fail "the title bar shows '$shown'"

echo "-- END empties the clipboard and the selection that hold the password"
# A double click on the shown password selects it, which puts it into the X11 selection.
eval "$(xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 107))
xdotool mousemove --window "$window" 352 $((menu_bar + 44)) click --repeat 2 --delay 80 1
for _ in $(seq 30); do [ "$(selection)" = "$expected" ] && break; sleep 0.1; done
[ "$(selection)" = "$expected" ] || fail "selecting the password did not fill the selection ('$(selection)')"
before=$(mark)
press_end shift+Tab # the password box comes right after END
since "$before" | grep -q '^CLIPBOARD none$' || fail "END did not empty the clipboard: $(since "$before" | tr '\n' ' ')"
since "$before" | grep -q '^PRIMARY none$' || fail "END did not empty the selection: $(since "$before" | tr '\n' ' ')"

echo "-- END keeps what another program copied after the password"
start_and_generate
printf 'theirs' | xclip -quiet -i -selection clipboard >/dev/null 2>&1 &
holder_pid=$!
for _ in $(seq 30); do [ "$(clipboard)" = theirs ] && break; sleep 0.1; done
press_end Tab Tab Tab # from the key box: ZEPH, CANC, END
[ "$(clipboard)" = theirs ] || fail "END destroyed the user's clipboard ('$(clipboard)')"
kill "$holder_pid" 2>/dev/null || true
wait "$holder_pid" 2>/dev/null || true
holder_pid=

echo "-- Esc ends the program without emptying the clipboard"
start_and_generate
before=$(mark)
xdotool key alt Right Right Return # the menu bar's third entry, Esc
wait_for_exit Esc
sleep 0.3
since "$before" | grep -q '^CLIPBOARD none$' && fail "Esc emptied the clipboard"
since "$before" | grep -q '^CLIPBOARD destroyed$' || fail "the clipboard did not stay with the program until its end"

grep -i -E 'warning|critical|fatal' "$work/program.log" && fail "the program complained on its output"
grep -F -e 'Ab3$' -e "$expected" "$work/program.log" && fail "the program wrote a secret to its output"
echo "4 passed, 0 failed"
