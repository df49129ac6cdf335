#!/bin/sh
# Checks the Debian package as a user meets it: installs build/duziv2i_<version>_<arch>.deb with
# apt-get, plays it under Xvfb, saves a screenshot with Return (it must land in the pictures
# folder, after one already there), quits with Escape (exit code 0), then removes it with
# --purge and checks that none of its files is left. Runs as root; needs xvfb and xdotool.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
deb="$root/build/duziv2i_1.0.0_$(dpkg --print-architecture).deb"
display=:77
work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

lintian "$deb" | grep '^E:' && fail "lintian reports errors"
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >/dev/null
dpkg -L duziv2i > "$work/files"
[ -x /usr/games/duziv2i ] || fail "no /usr/games/duziv2i"
desktop-file-validate /usr/share/applications/duziv2i.desktop
appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml >/dev/null ||
    fail "the metainfo does not validate"

# A home of its own, with a pictures folder that already holds grab_1.bmp.
home="$work/home"
pictures="$home/Pictures"
mkdir -p "$pictures/Duziv2i"
echo earlier > "$pictures/Duziv2i/grab_1.bmp"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 2
(
    sleep 5
    DISPLAY=$display xdotool key Return
    sleep 2
    DISPLAY=$display xdotool key Escape
) &
keys=$!
status=0
env -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$work" DISPLAY=$display \
    SDL_AUDIODRIVER=dummy timeout 60 /usr/games/duziv2i > "$work/out" || status=$?
wait "$keys"
cat "$work/out"
[ "$status" -eq 0 ] || fail "duziv2i exited with $status, not 0"
grep -q "saved in $pictures/Duziv2i" "$work/out" || fail "no line saying where the screenshot is"
[ "$(cat "$pictures/Duziv2i/grab_1.bmp")" = earlier ] || fail "grab_1.bmp was overwritten"
[ "$(stat -c %s "$pictures/Duziv2i/grab_2.bmp")" -eq 393274 ] || fail "no screenshot grab_2.bmp"
[ -z "$(ls "$work" | grep duziv2i)" ] || fail "the run folder is left"

DEBIAN_FRONTEND=noninteractive apt-get remove -y --purge duziv2i >/dev/null
while read -r path; do
    case "$path" in /. | /usr | /usr/share | /usr/share/* | /usr/lib | /usr/games | /usr/lib/games)
        [ -d "$path" ] && continue ;; esac
    [ -e "$path" ] && fail "$path is left after the purge"
done < "$work/files"
[ -e /usr/share/games/duziv2i ] && fail "/usr/share/games/duziv2i is left"
[ -e /usr/lib/games/duziv2i ] && fail "/usr/lib/games/duziv2i is left"
echo "check-deb: 1 passed, 0 failed"
