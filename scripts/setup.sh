#!/usr/bin/env bash
# Installs the Debian 12 packages Tessivo needs that are missing.
#   scripts/setup.sh run    what building and starting the program needs
#   scripts/setup.sh test   that, plus what the whole test suite needs
#   scripts/setup.sh bench  that, plus what bench/run needs
#   scripts/setup.sh headless  what trying the program without a display needs (xvfb-run)
# As root (or with sudo) it runs apt-get; otherwise it prints the apt-get line and stops.
set -euo pipefail

run_packages=(
    g++ cmake ninja-build
    qt6-base-dev libwayland-dev libwayland-bin pkgconf
    fonts-liberation2 fonts-dejavu-core
)
# The real program under Xvfb (with real clipboard managers, heard over the accessibility bus,
# under a window manager and under Wayland compositors with a clipboard history), the fuzzers, the install tree (groff
# reads its manual pages) and the Debian package (lintian judges it, binutils' readelf checks
# the program's hardening); the style check, and a compiler cache for the repeated builds.
test_packages=(
    xvfb xclip xdotool x11-utils libx11-dev libxfixes-dev python3 util-linux
    parcellite xfce4-clipman gpaste-2 clipit copyq
    dbus-daemon at-spi2-core python3-pyatspi
    openbox wmctrl weston xwayland qt6-wayland
    sway clipman wtype wl-clipboard
    clang libclang-rt-14-dev clang-format shellcheck ccache
    desktop-file-utils appstream dpkg-dev file groff-base lintian binutils
)
# xvfb-run needs xauth, which xvfb only recommends.
headless_packages=(
    xvfb xauth
)
bench_packages=(
    xvfb libx11-dev libbenchmark-dev jq
)

case "${1:-run}" in
    run) wanted=("${run_packages[@]}") ;;
    test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
    bench) wanted=("${run_packages[@]}" "${bench_packages[@]}") ;;
    headless) wanted=("${headless_packages[@]}") ;;
    *) echo "usage: $0 run|test|bench|headless" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install_line="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo_cmd=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo_cmd=(sudo)
else
    echo "Tessivo needs these Debian packages. Install them as root, then run this again:" >&2
    echo "  sudo sh -c '$install_line'" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
