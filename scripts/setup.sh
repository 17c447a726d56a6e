#!/usr/bin/env bash
# Installs the Debian 12 packages Tessivo needs that are missing.
#   scripts/setup.sh run    what building and starting the program needs
#   scripts/setup.sh test   that, plus what the whole test suite needs
# As root (or with sudo) it runs apt-get; otherwise it prints the apt-get line and stops.
set -euo pipefail

run_packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
    fonts-liberation2 fonts-dejavu-core
)
test_packages=(
    xvfb xauth xclip xdotool x11-utils
    clang libclang-rt-14-dev
    libbenchmark-dev libx11-dev jq
    desktop-file-utils appstream dpkg-dev file
)

case "${1:-run}" in
    run) wanted=("${run_packages[@]}") ;;
    test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
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
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
