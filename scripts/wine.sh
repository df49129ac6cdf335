#!/bin/sh
# Runs a 64-bit Windows program under Wine: wine.sh PROGRAM.exe [ARGUMENTS...]
#
# The programs run in the project's own Wine prefix (build/wine unless WINEPREFIX is set), which
# is set up on first use with `wineboot -i`, under a lock, so that tests started side by side
# never race to create it (the first program in a new prefix can otherwise crash while the
# prefix sets itself up). Wine's own diagnostics are off unless WINEDEBUG says otherwise.
set -eu

root="$(cd "$(dirname "$0")/.." && pwd)"
loader=/usr/lib/wine/wine64
if [ ! -x "$loader" ]; then
    echo "wine.sh: $loader is missing (Debian packages wine and wine64: make windows installs them)" >&2
    exit 127
fi

export WINEPREFIX="${WINEPREFIX:-$root/build/wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No installer prompts for Wine's .NET and HTML engines, which nothing here uses.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ ! -f "$WINEPREFIX/.ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.ready" ]; then
            "$loader" wineboot -i >/dev/null 2>&1 || true
            /usr/lib/wine/wineserver -w
            touch "$WINEPREFIX/.ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi

exec "$loader" "$@"
