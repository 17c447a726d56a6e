#!/usr/bin/env bash
# Tries the README's two commands on a fresh minimal Debian 12, as a newcomer would: the
# project copied into root's home and run as root, copied into an ordinary user's home and run
# as that user (with passwordless sudo), and scripts/start.sh without a display, then the way
# to try Tessivo that it printed. Runs as root on a Debian machine; slow (each scripts/test.sh
# run builds everything), so CI leaves it out.
#
#   scripts/fresh-debian.sh [root|user|start|all|rootfs]...   default: all
#   (rootfs only makes the root file system)
#
#   FRESH_ROOT=DIR     the root file system, made with debootstrap when DIR has none and
#                      reused when it has one (default /var/tmp/tessivo-bookworm)
#   FRESH_LOG=FILE     everything the steps print (default /var/tmp/tessivo-fresh-debian.log)
#   FRESH_SOURCE=DIR   the checkout whose tracked files are copied in (default this one), or
#                      a folder that is no checkout, copied whole but for build/
#   FRESH_KEEP_BUILD=1 keep the build folders of an earlier copy (faster, less fresh)
#   FRESH_ENV="VAR=VALUE ..."  extra environment for the steps, exported by the shell inside
#                      (e.g. FUZZ_SECONDS=5, or 'X=$HOME/y')
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
root=${FRESH_ROOT:-/var/tmp/tessivo-bookworm}
log=${FRESH_LOG:-/var/tmp/tessivo-fresh-debian.log}
source_dir=${FRESH_SOURCE:-$here}
newcomer=newcomer

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(all)
for step in "${steps[@]}"; do
    case $step in
        root | user | start | rootfs) ;;
        all) steps=(root user start) && break ;;
        *) echo "usage: $0 [root|user|start|all|rootfs]..." >&2 && exit 2 ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { echo "$0: run it as root (it makes and enters a chroot)" >&2; exit 2; }

: >"$log"
say() { echo "$*" | tee -a "$log"; }

# The machine's own Debian mirror, from its apt sources (one-line or deb822 style).
mirror() {
    local uri
    uri=$(grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed -E 's/\[[^]]*\]//' | awk '$3 == "bookworm" { print $2; exit }')
    if [ -z "$uri" ]; then
        uri=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v '^[[:space:]]*#' |
            awk 'BEGIN { RS = "" } /(^|\n)Types:[^\n]*deb( |\n|$)/ && /(^|\n)Suites:[^\n]*[ \t]bookworm([ \t\n]|$)/ {
                    if (match($0, /(^|\n)URIs:[ \t]*[^ \t\n]+/)) { s = substr($0, RSTART, RLENGTH); sub(/.*URIs:[ \t]*/, "", s); print s; exit } }')
    fi
    echo "${uri:-http://deb.debian.org/debian}"
}

make_root() {
    # Written once debootstrap has finished: a half-made root file system is made again.
    local made=$root/etc/tessivo-fresh-debian
    if [ -f "$made" ]; then
        say "root file system: reusing $root (Debian $(cat "$root/etc/debian_version"))"
        return
    fi
    if ! command -v debootstrap >/dev/null; then
        { apt-get update -q && apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends debootstrap; } >>"$log" 2>&1
    fi
    local from
    from=$(mirror)
    if [ -d "$root" ] && [ -n "$(ls -A "$root")" ]; then
        # Only what an unfinished debootstrap left is removed.
        [ -d "$root/debootstrap" ] ||
            { say "FAILED: $root is not empty and not made here: remove it or set FRESH_ROOT"; exit 1; }
        rm -rf "$root"
    fi
    say "root file system: debootstrap --variant=minbase bookworm $root $from"
    debootstrap --variant=minbase bookworm "$root" "$from" >>"$log" 2>&1 ||
        { say "FAILED: debootstrap (see $log)"; exit 1; }
    date -u >"$made"
}

# The root, proc, sys and dev for the chroot, taken down again however the script ends.
mounted=()
unmount_all() {
    # Whatever a step left running inside (an X server, a bus) would keep the mounts busy.
    local link pid
    for link in /proc/[0-9]*/root; do
        pid=${link#/proc/}
        pid=${pid%/root}
        [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null
    done
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM

mount_all() {
    # A machine's / is a mount point, a chroot's is not until bound onto itself: a test that
    # makes its mounts private in a namespace of its own (the Wayland stage) needs one.
    mount --bind "$root" "$root" && mounted+=("$root")
    mount --make-private "$root"
    mount -t proc proc "$root/proc" && mounted+=("$root/proc")
    mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
    # Private, so nothing mounted below the chroot's /dev shows up in the machine's.
    mount --bind /dev "$root/dev" && mounted+=("$root/dev")
    mount --make-private "$root/dev"
    mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm" && mounted+=("$root/dev/shm")
    cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    # Packages installed inside must not start services.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
}

# Runs COMMAND inside as USER, in a login-like environment with nothing of this machine's.
inside() {
    local user=$1 home=/root
    shift
    [ "$user" = root ] || home=/home/$user
    chroot "$root" /usr/sbin/runuser -u "$user" -- /usr/bin/env -i HOME="$home" USER="$user" \
        LOGNAME="$user" SHELL=/bin/bash \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "${FRESH_ENV:+export $FRESH_ENV; }$*"
}

# The project's tracked files as they are in FRESH_SOURCE, into DEST inside, owned by USER.
copy_project() {
    local dest=$root$1 user=$2 staging file
    staging=$(mktemp -d "$root/tmp/copy.XXXXXX")
    if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
        git -C "$source_dir" ls-files -z |
            tar -C "$source_dir" --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$staging" -xf -
    else # a scratch copy
        tar -C "$source_dir" --exclude=./build -cf - . | tar -C "$staging" -xf -
    fi
    if [ "${FRESH_KEEP_BUILD:-0}" = 1 ] && [ -d "$dest/build" ]; then
        # The kept build must see what changed: a changed file is new, an unchanged one keeps
        # its old time.
        while IFS= read -r -d '' file; do
            if cmp -s "$staging/$file" "$dest/$file"; then
                touch -r "$dest/$file" "$staging/$file"
            else
                touch "$staging/$file"
            fi
        done < <(cd "$staging" && find . -type f -print0)
        find "$dest" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
    else
        rm -rf "$dest"
        mkdir -p "$dest"
    fi
    tar -C "$staging" -cf - . | tar -C "$dest" -xf -
    rm -rf "$staging"
    chroot "$root" chown -R "$user:" "$1"
}

ensure_newcomer() {
    if ! chroot "$root" id "$newcomer" >/dev/null 2>&1; then
        chroot "$root" useradd --create-home --shell /bin/bash "$newcomer"
    fi
    chmod 700 "$root/home/$newcomer"
    # Passwordless sudo is the newcomer's situation this step tries, not something the project
    # installs.
    if [ ! -x "$root/usr/bin/sudo" ]; then
        inside root "apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends sudo" >>"$log" 2>&1
    fi
    echo "$newcomer ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$newcomer"
    chmod 440 "$root/etc/sudoers.d/$newcomer"
}

verdicts=()
failed=0
verdict() {
    verdicts+=("$1")
    say "$1"
    case $1 in *FAILED*) failed=1 ;; esac
}

# scripts/test.sh from a copy at HOME/tessivo, as USER.
run_suite() {
    local user=$1 home=/root started status=0 last
    [ "$user" = root ] || home=/home/$user
    copy_project "$home/tessivo" "$user"
    say "== $user: scripts/test.sh in $home/tessivo (log: $log)"
    started=$(date +%s)
    inside "$user" "cd ~/tessivo && scripts/test.sh" </dev/null >>"$log" 2>&1 || status=$?
    last=$(tail -n 1 "$log")
    if [ "$status" -eq 0 ] && [[ $last =~ ^suite:\ [0-9]+\ passed,\ 0\ failed$ ]]; then
        verdict "$user: ok, '$last', exit 0, $(($(date +%s) - started)) s"
    else
        verdict "$user: FAILED, '$last', exit $status, $(($(date +%s) - started)) s"
    fi
}

# scripts/start.sh without a display, on a machine with neither xvfb nor xauth, then the
# command it printed to try Tessivo: it must start the program.
run_start() {
    local started output hint status=0 pid found=
    ensure_newcomer
    [ -d "$root/home/$newcomer/tessivo" ] || copy_project "/home/$newcomer/tessivo" "$newcomer"
    inside root "DEBIAN_FRONTEND=noninteractive apt-get purge -y -q xvfb xauth" >>"$log" 2>&1 || true
    # Without sudo start.sh can install nothing: it must name the apt-get line, then the hint.
    say "== start: scripts/start.sh without a display, as $newcomer without sudo"
    mv "$root/etc/sudoers.d/$newcomer" "$root/etc/$newcomer.sudoers"
    output=$(inside "$newcomer" "cd ~/tessivo && scripts/start.sh" </dev/null 2>&1) || true
    mv "$root/etc/$newcomer.sudoers" "$root/etc/sudoers.d/$newcomer"
    printf '%s\n' "$output" >>"$log"
    if printf '%s\n' "$output" | grep -A 1 -E "apt-get install .*xvfb xauth" | grep -q 'on a virtual display: xvfb-run'; then
        verdict "start without sudo: ok, the apt-get line for xvfb xauth, then the hint"
    else
        verdict "start without sudo: FAILED, no apt-get line for xvfb xauth before the hint"
    fi
    say "== start: scripts/start.sh without a display, as $newcomer"
    started=$(date +%s)
    output=$(inside "$newcomer" "cd ~/tessivo && scripts/start.sh" </dev/null 2>&1) || status=$?
    printf '%s\n' "$output" >>"$log"
    hint=$(printf '%s\n' "$output" | sed -n 's/.*on a virtual display: //p' | tail -n 1)
    if [ -z "$hint" ]; then
        verdict "start: FAILED, start.sh (exit $status) printed no way to try Tessivo"
        return
    fi
    say "   hint: $hint"
    inside "$newcomer" "timeout 10 $hint" </dev/null >>"$log" 2>&1 &
    pid=$!
    for _ in $(seq 80); do
        for comm in /proc/[0-9]*/comm; do
            if [ "$(cat "$comm" 2>/dev/null)" = tessivo ] &&
                [ "$(readlink "${comm%/comm}/root" 2>/dev/null)" = "$root" ]; then
                found=1
            fi
        done
        [ -n "$found" ] && break
        sleep 0.1
    done
    wait "$pid" || status=$?
    if [ -n "$found" ]; then
        verdict "start: ok, '$hint' started Tessivo, $(($(date +%s) - started)) s"
    else
        verdict "start: FAILED, '$hint' did not start Tessivo (exit $status)"
    fi
}

make_root
mount_all
for step in "${steps[@]}"; do
    case $step in
        root) run_suite root ;;
        user) ensure_newcomer && run_suite "$newcomer" ;;
        start) run_start ;;
    esac
done
unmount_all
say "== verdicts"
printf '%s\n' "${verdicts[@]}"
exit "$failed"
