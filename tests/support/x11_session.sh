# Sourced by the scripts that run the real program on an X server of their own.

# Starts Xvfb on a display number it picks itself, so runs side by side never collide, and
# gives the program a session as bare as a new machine's: no window manager, no session bus,
# a private runtime folder. Sets XVFB_PID; the caller ends it.
#   start_private_x_server WORK-DIR
start_private_x_server() {
    local work=$1
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    if [ ! -s "$work/display" ]; then
        echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"
        return 1
    fi
    export DISPLAY=":$(cat "$work/display")"
    export QT_QPA_PLATFORM=xcb
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tessivo-bus
    export XDG_RUNTIME_DIR=$work
    chmod 700 "$work"
}

# The example everyone can check by hand (letters: rmiego0rmiego0), for the window and for
# tessivo-cli alike.
EXAMPLE_SITE=google.it
EXAMPLE_USER=mario
EXAMPLE_LENGTH=14
EXAMPLE_KEY='Ab3$'

# Types the example into the main window WINDOW with the keyboard alone, and presses Enter in
# the key box.
#   type_example WINDOW
type_example() {
    xdotool windowfocus --sync "$1"
    xdotool type --delay 30 "$EXAMPLE_SITE"
    xdotool key Tab
    xdotool type --delay 30 "$EXAMPLE_USER"
    xdotool key Tab ctrl+a
    xdotool type --delay 30 "$EXAMPLE_LENGTH"
    xdotool key Tab
    xdotool type --delay 30 "$EXAMPLE_KEY"
    xdotool key Return
}
