#!/usr/bin/env bash
# Makes the Debian package of a build and checks it would install a working program: it
# depends on the Qt libraries and carries the program, the desktop entry, the icons, the
# manual page and the licence terms; lintian finds no error and no warning in it. The
# program of an optimised build must also be hardened as Debian's own packages are.
#   check_package.sh BUILD-DIR
set -euo pipefail

build=$(cd "$1" && pwd)
app_id=org.example.Tessivo
fail() {
    echo "FAIL: $*"
    exit 1
}
for tool in dpkg-deb lintian readelf; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh test)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    fail "cpack did not make the package"
}
package=$(find "$work" -maxdepth 1 -name 'tessivo_*.deb' | head -n 1)
[ -n "$package" ] || fail "no tessivo_*.deb was made"

depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6; do
    grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: '$depends'"
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/tessivo ./usr/bin/tessivo-cli ./usr/share/applications/$app_id.desktop \
    ./usr/share/metainfo/$app_id.metainfo.xml \
    ./usr/share/icons/hicolor/32x32/apps/$app_id.png \
    ./usr/share/icons/hicolor/scalable/apps/$app_id.svg \
    ./usr/share/man/man1/tessivo.1.gz \
    ./usr/share/doc/tessivo/copyright ./usr/share/doc/tessivo/changelog.gz; do
    grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
echo "Depends: $depends"

# Every tag shown, so that the pedantic and informational ones are seen too; only errors
# and warnings fail.
status=0
lintian --fail-on error,warning --info --display-info --pedantic "$package" \
    >"$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
if [ "$status" -ne 0 ] || grep -qE '^[EW]: ' "$work/lintian.log"; then
    fail "lintian reports errors or warnings (status $status)"
fi

# Hardening is a property of optimised builds only: a debug build has nothing to check.
config=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
case ${config,,} in
release | relwithdebinfo | minsizerel) ;;
*)
    echo "the build is a ${config:-plain} one: the program's hardening is not checked"
    echo "1 passed, 0 failed"
    exit 0
    ;;
esac
dpkg-deb -x "$package" "$work/root"
for program in "$work"/root/usr/bin/*; do
    name=${program##*/}
    readelf -h "$program" | grep -q 'Type: *DYN' || fail "$name is not position-independent"
    readelf -lW "$program" | grep -q GNU_RELRO || fail "$name has no RELRO segment"
    readelf -dW "$program" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' \
        || fail "$name binds its symbols lazily: RELRO is only partial"
    imports=$(readelf --dyn-syms -W "$program" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }')
    grep -qx __stack_chk_fail <<<"$imports" || fail "$name has no stack protector"
    fortified=$(grep -E '^__[a-z0-9_]+_chk$' <<<"$imports" | grep -vx __stack_chk_fail || true)
    echo "fortified calls in $name: $(tr "\n" " " <<<"${fortified:-none}")"
done
# A fortified call only shows in a program where the compiler could not prove it safe, so
# the compile commands are checked as well: each one fortifies, with the optimiser on.
unfortified=$(grep -E '"command": ".* -c ' "$build/compile_commands.json" \
    | grep -Ev -- '-O[1-3s].* -D_FORTIFY_SOURCE=[23]|-D_FORTIFY_SOURCE=[23].* -O[1-3s]' || true)
[ -z "$unfortified" ] || fail "compiled without fortified calls: ${unfortified:0:400}"
echo "hardening: PIE, full RELRO, stack protector; every compile command fortifies"
echo "1 passed, 0 failed"
