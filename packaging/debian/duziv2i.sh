#!/bin/sh
# Plays the show from the installed data. The program reads data/ and writes its screenshots
# into its working directory, so it runs in a run folder of its own whose data links to the
# installed data; each grab_N.bmp it wrote is then moved to the pictures folder under Duziv2i/,
# numbered after the ones already there. Exits with the program's exit code.
set -u

program=/usr/lib/games/duziv2i/demo
data=/usr/share/games/duziv2i

base="${XDG_RUNTIME_DIR:-}"
[ -n "$base" ] && [ -d "$base" ] && [ -w "$base" ] || base="${TMPDIR:-/tmp}"
run=$(mktemp -d "$base/duziv2i.XXXXXX") || exit 1
trap 'rm -rf "$run"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
ln -s "$data" "$run/data"

(cd "$run" && exec "$program")
status=$?

set -- "$run"/grab_*.bmp
if [ -e "$1" ]; then
    pictures=""
    if command -v xdg-user-dir >/dev/null 2>&1; then
        pictures=$(xdg-user-dir PICTURES 2>/dev/null)
    fi
    # xdg-user-dir answers the home folder itself when no pictures folder is set.
    if [ -z "$pictures" ] || [ "$pictures" = "$HOME" ]; then
        pictures="$HOME/Pictures"
    fi
    target="$pictures/Duziv2i"
    if mkdir -p "$target"; then
        next=1
        for existing in "$target"/grab_*.bmp; do
            number=${existing##*/grab_}
            number=${number%.bmp}
            case "$number" in '' | *[!0-9]*) continue ;; esac
            [ "$number" -ge "$next" ] && next=$((number + 1))
        done
        # In the order the program wrote them: grab_1, grab_2, ... grab_10.
        count=0 n=1
        while [ -e "$run/grab_$n.bmp" ]; do
            while [ -e "$target/grab_$next.bmp" ]; do next=$((next + 1)); done
            mv "$run/grab_$n.bmp" "$target/grab_$next.bmp" && count=$((count + 1))
            next=$((next + 1)) n=$((n + 1))
        done
        [ "$count" -eq 1 ] && echo "1 screenshot saved in $target"
        [ "$count" -gt 1 ] && echo "$count screenshots saved in $target"
    else
        echo "duziv2i: cannot make $target; the screenshots are lost" >&2
    fi
fi
exit "$status"
