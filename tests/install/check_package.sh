#!/usr/bin/env bash
# Makes the Debian package of a build and checks it would install a working program: it
# depends on the Qt libraries and carries the program, the desktop entry and the icons.
#   check_package.sh BUILD-DIR
set -euo pipefail

build=$1
app_id=org.example.Tessivo
fail() {
    echo "FAIL: $*"
    exit 1
}
command -v dpkg-deb >/dev/null || fail "dpkg-deb is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    fail "cpack did not make the package"
}
package=$(ls "$work"/tessivo_*.deb 2>/dev/null | head -n 1)
[ -n "$package" ] || fail "no tessivo_*.deb was made"

depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6; do
    grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: '$depends'"
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/tessivo ./usr/share/applications/$app_id.desktop \
    ./usr/share/metainfo/$app_id.metainfo.xml \
    ./usr/share/icons/hicolor/32x32/apps/$app_id.png \
    ./usr/share/icons/hicolor/scalable/apps/$app_id.svg; do
    grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
echo "Depends: $depends"
echo "1 passed, 0 failed"
