#!/usr/bin/env bash
# Installs what is missing, builds Tessivo and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh run
cmake --preset release >/dev/null
cmake --build --preset release --target tessivo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tessivo needs a graphical desktop and none is available here (DISPLAY is not set); to try it anyway: xvfb-run -a build/release/src/tessivo" >&2
    exit 1
fi
exec build/release/src/tessivo
