#!/usr/bin/env bash
# The real program on Wayland compositors, through XWayland and natively: what Wayland clients
# can paste (wl-paste) after a generation, after END and after the close box, and whether they
# are offered the secret mark, without a clipboard history, with clipman, and with Wayland
# clients that copy in between; with readers that hang up or never read, and with the
# compositor killed under a program on an X server of its own; the same for tessivo-cli --clip.
#   wayland_e2e.sh PATH-TO-TESSIVO PATH-TO-DATA-CONTROL-READER PATH-TO-TESSIVO-CLI
# Runs as root: each compositor starts its own XWayland on the lowest free display, and X
# servers are also reached through abstract sockets, which belong to the network namespace, so
# the whole run gets mount and network namespaces of its own, with a private /tmp/.X11-unix
# (only that: the checkout, and the files its environment names, may be below /tmp). sway refuses
# to run as root: it runs as nobody, with the program copied where nobody can read it.
set -euo pipefail

program=$1
# shellcheck source=../support/e2e.sh
source "$(dirname "$0")/../support/e2e.sh"
need_root "compositors in namespaces of their own, sway as another user" "$0" "$@"
if [ -z "${TESSIVO_PRIVATE_NAMESPACES:-}" ]; then
    exec env TESSIVO_PRIVATE_NAMESPACES=1 unshare --mount --net --propagation private "$0" "$@"
fi
require sway swaymsg weston Xwayland Xvfb xdotool xclip wtype wl-paste wl-copy clipman setpriv xmessage

mkdir -p /tmp/.X11-unix
chmod 1777 /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
e2e_begin
chmod 755 "$work"
cp "$program" "$work/tessivo"
cp "$2" "$work/reader"
cp "$3" "$work/tessivo-cli" # finds the holder, tessivo, beside it
chmod 755 "$work/tessivo" "$work/reader" "$work/tessivo-cli"
expected=$EXAMPLE_PASSWORD
program_pid=

# Natively, Qt 6.4's Wayland plugin leaves its own objects at exit (libwayland proxies, the
# keyboard's compose state, the clipboard's data source), with or without Tessivo's Wayland
# clipboard (seen under Weston, where it is not used): a sanitized build checks leaks only on
# the XWayland runs, memory errors on all.
native_asan="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

pasted() { timeout 5 wl-paste -n "$@" 2>/dev/null || true; }
x_pasted() { timeout 5 xclip -o -selection clipboard 2>/dev/null || true; }
pastes() { [ "$(pasted)" = "$1" ]; }
offers_mark() { timeout 5 wl-paste -l 2>/dev/null | grep -qx x-kde-passwordManagerHint; }

# Ends whatever compositor runs, with everything started under it.
stop_compositor() {
    stop "${pids[@]}"
    pids=()
    compositor=
    unset -f xdotool
}

# The --clip rows: while the holder waits, then after its time (`left`).
#   clip_row MEANWHILE LEFT
clip_row() {
    local left=$2
    if [ "$1" = refused ]; then
        clip && fail "--clip succeeded where the compositor keeps its own copy: $clip_out"
        grep -q 'wl-copy' <<<"$clip_out" || fail "--clip refused without naming the way that works: $clip_out"
        clip_holder_gone || fail "a refused --clip left a holder running"
        ! pastes "$expected" || fail "a refused --clip put the password on the clipboard"
        return
    fi
    clip || fail "--clip failed: $clip_out"
    local start=$SECONDS
    await_password "--clip"
    # clipman takes the clipboard over with a copy of its own, unmarked.
    [ -n "$history" ] || offers_mark || fail "--clip offers Wayland clients the password without the secret mark"
    wait_until 8 eval '! pastes "$expected"' || fail "--clip's time is up, and Wayland clients still paste the password"
    local gone took
    gone=$(date +%s%N)
    wait_until 3 eval '[ "$(pasted)" = "$left" ]' || fail "after --clip, Wayland clients paste '$(pasted)', not '$left'"
    took=$((($(date +%s%N) - gone) / 1000000))
    sleep 3
    [ "$(pasted)" = "$left" ] || fail "3 s after --clip, Wayland clients paste '$(pasted)', not '$left'"
    echo "   Wayland clients paste '$left' $took ms after the password went, $((SECONDS - start)) s after --clip"
    # What the holder serves after its time goes once another program copies.
    wayland_copy "after text"
    wait_until 5 clip_holder_gone || fail "the holder still runs after a Wayland client copied"
}

compositor=
start_sway() {
    local runtime home=$work/home-sway
    runtime=$(mktemp -d "$work/runtime-sway.XXXX") # a sway before may have left its sockets
    mkdir -p "$home/.local/share"
    chmod 700 "$runtime"
    chown -R nobody:nogroup "$runtime" "$home"
    printf 'xwayland enable\n' >"$work/sway.conf"
    chmod 644 "$work/sway.conf"
    # As bare a session as the X11 runs': no session bus.
    as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$home"
        XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-bus)
    "${as_nobody[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
    sway_pid=$!
    pids+=("$sway_pid")
    wait_until 20 compgen -G "$runtime/sway-ipc.*" >/dev/null || fail "sway did not start"
    export XDG_RUNTIME_DIR=$runtime SWAYSOCK
    SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*" | head -n 1)
    WAYLAND_DISPLAY=$(basename "$(compgen -G "$runtime/wayland-?" | head -n 1)")
    # Its XWayland takes the lowest display whose lock file (in the /tmp of all) is free; it is
    # the only X server in this namespace's socket folder.
    wait_until 20 compgen -G '/tmp/.X11-unix/X*' >/dev/null || fail "sway started no XWayland"
    DISPLAY=:$(find /tmp/.X11-unix -name 'X*' -printf '%f\n' | sed 's/^X//' | head -n 1)
    export WAYLAND_DISPLAY DISPLAY
    unset QT_QPA_PLATFORM
    as_user=("${as_nobody[@]}" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK" DISPLAY="$DISPLAY")
    # The headless seat has a keyboard only while a virtual one exists; Qt drops its clipboard
    # offer when the seat loses its keyboard.
    "${as_user[@]}" wtype -s 600000 '' &
    pids+=("$!")
    # sway's XWayland lets in only its own user.
    xdotool() { "${as_user[@]}" xdotool "$@"; }
    compositor=sway
}

# Weston on its X11 back end with XWayland: Weston's own clipboard keeps a copy of every text
# and refills an emptied clipboard with it.
start_weston() {
    local runtime=$work/runtime-weston
    mkdir -m 700 "$runtime"
    export XDG_RUNTIME_DIR=$runtime
    start_private_x_server
    unset QT_QPA_PLATFORM
    weston --backend=x11-backend.so --socket=tessivo-weston --idle-time=0 --no-config --xwayland \
        --width=1024 --height=768 >"$work/weston.log" 2>&1 &
    pids+=("$!")
    wait_until 20 grep -q 'xserver listening on display' "$work/weston.log" || fail "Weston did not start with XWayland"
    xwayland=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
    output=$(sed -n 's/.*x11 output .* window id \([0-9]*\).*/\1/p' "$work/weston.log")
    [ -n "$xwayland" ] && [ -n "$output" ] || fail "Weston did not start with XWayland"
    export WAYLAND_DISPLAY=tessivo-weston
    as_user=(env)
    compositor=weston
}

# Waits (at most 10 s) until Wayland clients can paste the password.
await_password() {
    wait_until 10 pastes "$expected" || fail "$1: Wayland clients paste '$(pasted)', not the password"
}

# Starts the program on PLATFORM (xcb: through XWayland; wayland: natively) and types the
# example.
start_and_generate() {
    local platform=$1
    local -a native=()
    [ "$platform" = wayland ] && native=(QT_QPA_PLATFORM=wayland "ASAN_OPTIONS=$native_asan")
    if [ "$compositor" = weston ]; then
        # Left to choose, the program runs natively under Weston; typed on the X server Weston
        # draws into, which passes the keys on to the focused window.
        DISPLAY=$xwayland ASAN_OPTIONS=$native_asan WAYLAND_DEBUG=1 "$work/tessivo" >"$work/weston-program.log" 2>&1 &
        program_pid=$!
        pids+=("$program_pid")
        wait_until 20 grep -q 'wl_keyboard@[0-9]*\.enter' "$work/weston-program.log" ||
            fail "the window on Weston did not get the keyboard"
        type_example "$output"
        await_password "$platform"
        return
    fi
    if [ "$platform" = xvfb ]; then
        # An X server of its own, apart from the compositor, whose data-control it still uses.
        unset -f xdotool
        start_private_x_server
        "$work/tessivo" >>"$work/program.log" 2>&1 &
        program_pid=$!
        pids+=("$program_pid")
        window=$(main_window) || fail "the window did not appear on Xvfb"
        type_example "$window"
        wait_until 10 eval '[ "$(x_pasted)" = "$expected" ]' || fail "X clients paste '$(x_pasted)', not the password"
        return
    fi
    "${as_user[@]}" "${native[@]}" "$work/tessivo" >>"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    shown() { swaymsg -t get_tree 2>/dev/null | grep -q '"name": "Tessivo 1.2 '; }
    wait_until 20 shown || fail "the window did not appear"
    if [ "$platform" = wayland ]; then
        "${as_user[@]}" wtype -d 20 "$EXAMPLE_SITE" -k Tab "$EXAMPLE_USER" -k Tab \
            -M ctrl a -m ctrl "$EXAMPLE_LENGTH" -k Tab "$EXAMPLE_KEY" -k Return
    else
        window=$(main_window) || fail "the window did not appear on XWayland"
        type_example "$window"
    fi
    await_password "$platform"
}

# END from the key box: ZEPH, CANC, END.
press_end() {
    began=$EPOCHREALTIME
    case $compositor/$1 in
        sway/wayland) "${as_user[@]}" wtype -k Tab -k Tab -k Tab -k space ;;
        sway/xcb | */xvfb) xdotool key Tab Tab Tab space ;;
        weston/*)
            # wl-paste took the keyboard for a moment: Super+Tab gives it back to the program.
            xdotool key super+Tab
            sleep 0.3
            xdotool key Tab Tab Tab space
            ;;
    esac
    await_exit "$program_pid" END
    ended_ms=$(((${EPOCHREALTIME/./} - ${began/./}) / 1000))
}

close_box() {
    swaymsg '[title="^Tessivo 1.2 "] kill' >/dev/null
    await_exit "$program_pid" "the close box"
}

history_pid=
history_file=$work/home-sway/.local/share/clipman.json
start_history() {
    rm -f "$history_file"
    "${as_user[@]}" wl-paste -t text --watch clipman store >"$work/clipman.log" 2>&1 &
    history_pid=$!
    pids+=("$history_pid")
}
# The history writes what it takes to disk at once.
history_has() { grep -qF "$1" "$history_file" 2>/dev/null; }
# A Wayland client that asks for every text copied since it started and hangs up at once, or
# (--stall) never reads.
#   start_reader [--stall]
reader_pid=
start_reader() {
    "${as_user[@]}" "$work/reader" "$@" >"$work/reader.log" 2>&1 &
    reader_pid=$!
    pids+=("$reader_pid")
}

# Ends the history and the reader, and empties both boards for the next run.
clean_up_run() {
    stop "$history_pid" "$reader_pid"
    history_pid='' reader_pid=
    [ "$compositor" = sway ] || return 0
    timeout 5 wl-copy --clear 2>/dev/null || true
    timeout 5 wl-copy --primary --clear 2>/dev/null || true
}

# A Wayland client that copies TEXT (to BOARD: clipboard or primary) and serves it until
# another program takes the board.
#   wayland_copy TEXT [primary]
wayland_copy() {
    local text=$1
    local -a board=()
    [ "${2:-}" != primary ] || board=(--primary)
    "${as_user[@]}" wl-copy --foreground "${board[@]}" "$text" &
    pids+=("$!")
    wait_until 5 eval '[ "$(pasted "${board[@]}")" = "$text" ]' || fail "a Wayland client could not copy '${text:0:40}'"
}

# tessivo-cli --clip for 2 s, as the user of the session; its holder runs through XWayland.
clip_out=
clip() {
    local status=0
    printf '%s\n' "$EXAMPLE_KEY" | "${as_user[@]}" DISPLAY="${xwayland:-$DISPLAY}" "$work/tessivo-cli" \
        --clip --clear-after 2 -l "$EXAMPLE_LENGTH" "$EXAMPLE_SITE" "$EXAMPLE_USER" \
        >"$work/clip.out" 2>"$work/clip.err" || status=$?
    clip_out=$(cat "$work/clip.out" "$work/clip.err")
    return "$status"
}
clip_holder_gone() { ! pgrep -f -- "^$work/tessivo --clip-holder" >/dev/null; }

# An X window in front, so that sway passes the X clipboard on to Wayland clients.
x_window_in_front() {
    "${as_user[@]}" xmessage -name tessivo-x-window 'an X window' &
    pids+=("$!")
    wait_until 10 eval 'swaymsg -t get_tree | grep -q "\"instance\": \"tessivo-x-window\""' ||
        fail "the X window did not appear"
}

# More than a pipe holds: a writer to a reader that never reads must stop waiting for it.
long_text=$(printf '%070000d' 0)

# What each run does and what Wayland clients paste a second after the program ended: never the
# password; '*' where anything else will do. The runs through XWayland come first: once a native
# window has gone, sway gives a new X window the keyboard but no longer passes its clipboard on.
# The way out "clip" is tessivo-cli --clip's time running out, and "left" what Wayland clients
# paste then, within a second, and still 3 s later.
#   name|compositor|platform|history|meanwhile|way out|left
scenarios=(
    "the password is offered marked; END empties it|sway|xcb||mark|end|"
    "clipman: the close box leaves no password|sway|xcb|clipman|history|close|*"
    "a text a Wayland client copied since, a part of the password, survives END|sway|xcb||part|end|${expected:2:5}"
    "a Wayland program that took the password over no longer serves it after END|sway|xcb||taken|end|"
    "a reader that hangs up at once leaves the program running, and END ends it|sway|xcb||hangup|end|"
    "--clip, no X window in front: Wayland clients paste the password, marked; nothing after|sway|xcb|||clip|"
    "--clip, clipman: what a Wayland client copied before is back after|sway|xcb|clipman|before|clip|before text"
    "--clip, an X window in front: what a Wayland client copied before is back after|sway|xcb||before, X window|clip|before text"
    "natively, nor after the close box from another workspace, where the toolkit may change nothing|sway|wayland||taken both, away|close|"
    "natively, clipman: END leaves no password|sway|wayland|clipman|history|end|*"
    "natively, the mark is offered; the close box empties it|sway|wayland||mark|close|"
    "natively, END empties the password a Wayland client serves on the clipboard and the primary selection|sway|wayland||taken both|end|"
    "natively, a reader that hangs up at once, on the password and on the text END puts back, leaves the program running, and END ends it|sway|wayland||hangup, text before|end|"
    "natively, a reader that never reads what END puts back (more than a pipe holds) leaves END ending the program at once|sway|wayland||stall|end|"
    "on an X server of its own, once the compositor is killed a generation answers at once, and END ends the program|sway|xvfb||killed|end|"
    "Weston: the program runs natively, offers the mark, and END leaves the notice|weston|wayland||mark|end|(password removed)"
    "Weston: --clip refuses, and nothing reaches the clipboard|weston|xcb||refused|clip|"
)
for row in "${scenarios[@]}"; do
    IFS='|' read -r name wanted platform history meanwhile way left <<<"$row"
    scenario "$wanted, $platform: $name"
    ended_ms=
    if [ "$compositor" != "$wanted" ]; then
        stop_compositor
        "start_$wanted"
    fi
    [ -z "$history" ] || start_history
    case $meanwhile in
        hangup) start_reader ;;
        before*) wayland_copy "before text" ;;
        "hangup, text before")
            wayland_copy "a text from before"
            start_reader
            ;;
        stall)
            wayland_copy "$long_text"
            start_reader --stall
            ;;
    esac
    [ "$meanwhile" != "before, X window" ] || x_window_in_front
    if [ "$way" = clip ]; then
        clip_row "$meanwhile" "$left"
        clean_up_run
        continue
    fi
    start_and_generate "$platform"
    case $meanwhile in
        hangup* | stall)
            wait_until 5 grep -q asked "$work/reader.log" || fail "the reader did not ask"
            sleep 0.5
            ended "$program_pid" && fail "a reader that read nothing ended the program"
            ;;
        mark) offers_mark || fail "the password reaches Wayland clients without the secret mark" ;;
        history) wait_until 5 history_has "$expected" || fail "clipman did not take the password" ;;
        part) wayland_copy "${expected:2:5}" ;;
        taken) wayland_copy "$expected" ;;
        killed)
            { kill -KILL "$sway_pid" && wait "$sway_pid"; } 2>/dev/null || true
            compositor= # the next row starts its own
            # Another length, so that the new password shows.
            xdotool key shift+Tab ctrl+a
            shorter=$((EXAMPLE_LENGTH - 4))
            xdotool type "$shorter"
            xdotool key Tab
            began=$EPOCHREALTIME
            xdotool key Return
            until [ "$(x_pasted)" = "${expected:0:shorter}" ]; do
                (((${EPOCHREALTIME/./} - ${began/./}) / 1000 < 3000)) || fail "X clients paste '$(x_pasted)' 3 s after a generation without the compositor"
            done
            answered_ms=$(((${EPOCHREALTIME/./} - ${began/./}) / 1000))
            echo "   without the compositor a generation answered in $answered_ms ms"
            [ "$answered_ms" -le 500 ] || fail "without the compositor a generation took $answered_ms ms"
            ;;
        "taken both"*)
            wayland_copy "$expected"
            wayland_copy "$expected" primary
            [ "$meanwhile" = "taken both" ] || swaymsg workspace 2 >/dev/null
            ;;
    esac
    case $way in
        end) press_end "$platform" ;;
        close) close_box ;;
    esac
    # The put-back text's reader has 2 s to take it; the program need not wait for that.
    if [ "$meanwhile" = stall ] && [ "$ended_ms" -gt 3000 ]; then
        fail "END ended the program only after $ended_ms ms"
    fi
    sleep 1
    got=$(pasted)
    [ "$got" != "$expected" ] || fail "Wayland clients can still paste the password"
    [ "$left" = "*" ] || [ "$got" = "$left" ] || fail "Wayland clients paste '$got', not '$left'"
    echo "   Wayland clients paste '$got' (at $SECONDS s${ended_ms:+, END took $ended_ms ms})"
    # Only data-control reaches the primary selection without the keyboard.
    if [ "$compositor" = sway ] && [ "$(pasted --primary)" = "$expected" ]; then
        fail "Wayland clients can still paste the password from the primary selection"
    fi
    clean_up_run
done

e2e_passed
