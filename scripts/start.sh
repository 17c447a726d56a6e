#!/usr/bin/env bash
# Installs what is missing, builds Tessivo (and tessivo-cli) and starts it. Without a display
# it says how to try it under Xvfb instead, having installed xvfb-run when it can.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh run
cmake --preset release >/dev/null
cmake --build --preset release --target tessivo tessivo-cli
program=$(printf '%q' "$PWD/build/release/src/tessivo")
cli=$(printf '%q' "$PWD/build/release/src/tessivo-cli")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tessivo needs a graphical desktop and none is available here (DISPLAY is not set)." >&2
    echo "tessivo-cli makes the same passwords in a terminal: $cli --help" >&2
    # Without root or sudo this prints the apt-get line for xvfb-run first.
    if scripts/setup.sh headless; then
        echo "To try it anyway on a virtual display: xvfb-run -a $program" >&2
    else
        echo "Once they are installed, to try it anyway on a virtual display: xvfb-run -a $program" >&2
    fi
    exit 1
fi
exec build/release/src/tessivo
