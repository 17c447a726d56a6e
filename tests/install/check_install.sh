#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a desktop reads there: the desktop
# entry and the AppStream data are valid and agree with each other, the program, its manual
# page and the icons they name are in place, every manual page reads without a warning, and
# the running program's window class is the one the entry names.
#   check_install.sh BUILD-DIR [CONFIG]
set -euo pipefail

build=$1
config=${2:-}
app_id=org.example.Tessivo

# shellcheck source=../support/e2e.sh
source "$(dirname "$0")/../support/e2e.sh"
require cmake desktop-file-validate appstreamcli file groff readelf Xvfb xdotool xprop
e2e_begin

prefix=$work/prefix
install_args=(--install "$build" --prefix "$prefix")
[ -n "$config" ] && install_args+=(--config "$config")
cmake "${install_args[@]}" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    fail "cmake --install did not complete"
}

desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
[ -f "$desktop" ] || fail "no desktop entry at ${desktop#"$prefix"/}"
[ -f "$metainfo" ] || fail "no AppStream data at ${metainfo#"$prefix"/}"

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the AppStream data"

# The value of a key in the entry's main group.
entry() {
    sed -n '/^\[Desktop Entry\]/,/^\[/{s/^'"$1"'=//p}' "$desktop" | head -n 1
}

# Exec names the program bare, for the desktop to find it on PATH: in the prefix's bin.
exec_line=$(entry Exec)
program_name=${exec_line%% *}
[[ $program_name != */* ]] || fail "Exec names a path ($program_name), not a program on PATH"
program=$prefix/bin/$program_name
[ -x "$program" ] || fail "Exec=$exec_line, but there is no program bin/$program_name"
file -b "$program" | grep -q '^ELF' || fail "bin/$program_name is not a program"

# Every page as man(1) would format it; groff's warnings (-ww) are faults in the page.
[ -f "$prefix/share/man/man1/$program_name.1.gz" ] \
    || fail "no manual page share/man/man1/$program_name.1.gz"
for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(gzip -dc "$page" | groff -t -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "${page#"$prefix"/} has faults: $warnings"
done

# The command-line program beside it, of the same version, runs where Qt is not installed.
cli=$prefix/bin/tessivo-cli
[ -x "$cli" ] || fail "no program bin/tessivo-cli"
! readelf -d "$cli" | grep -q 'NEEDED.*libQt' || fail "bin/tessivo-cli links Qt"
[ "$("$cli" --version)" = "$("$program" --version | sed 's/^tessivo /tessivo-cli /')" ] \
    || fail "bin/tessivo-cli says '$("$cli" --version)', bin/$program_name '$("$program" --version)'"

icon=$(entry Icon)
[ "$icon" = "$app_id" ] || fail "Icon=$icon; the icon is named after the application, $app_id"
png=$prefix/share/icons/hicolor/32x32/apps/$icon.png
svg=$prefix/share/icons/hicolor/scalable/apps/$icon.svg
[ -f "$png" ] || fail "no icon at ${png#"$prefix"/}"
[ -f "$svg" ] || fail "no icon at ${svg#"$prefix"/}"
file -b "$png" | grep -q '^PNG image data, 32 x 32' || fail "${png#"$prefix"/} is not a 32 x 32 PNG"
file -b "$svg" | grep -q 'SVG' || fail "${svg#"$prefix"/} is not an SVG picture"

# The AppStream data speaks of this very entry and program.
grep -q "<id>$app_id</id>" "$metainfo" || fail "the AppStream id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "the AppStream data does not launch $app_id.desktop"
grep -q "<binary>$program_name</binary>" "$metainfo" \
    || fail "the AppStream data does not provide the program $program_name"

# The window class the program really sets, seen on an X server of our own. Desktops use it
# to tie the running windows to the entry.
wm_class=$(entry StartupWMClass)
[ -n "$wm_class" ] || fail "the desktop entry has no StartupWMClass"
start_private_x_server
"$program" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
windows=$(timeout 30 xdotool search --sync --onlyvisible --pid "$program_pid" 2>/dev/null) \
    || fail "the installed program showed no window: $(cat "$work/program.log")"
window=${windows%%$'\n'*}
class=$(xprop -id "$window" WM_CLASS)
# WM_CLASS(STRING) = "instance", "class"
actual=$(sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p' <<<"$class")
[ "$actual" = "$wm_class" ] \
    || fail "StartupWMClass=$wm_class, but the program's window class is '$actual' ($class)"

echo "PASS: installed tree under a scratch prefix is complete and valid"
