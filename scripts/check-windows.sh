#!/bin/sh
# Checks the 64-bit Windows build against the show's manifest, every frame and the music:
#
#     scripts/check-windows.sh           the program's own vector code, then each level
#     scripts/check-windows.sh --quick   the program's own vector code only
#
# Builds what is missing (the native build's data/, libopenmpt for Windows, the windows-x64
# preset's demo-render.exe and its copy of the data), then runs
# `demo-render.exe --check tests/golden/show.frames` under Wine, in the build folder that holds
# the data, and prints its report and the time it took. Ends with demo-render's own code (the
# highest of the runs): 0 when every picture equals the manifest's, 4 when one differs, 2 when a
# run itself failed. Music that differs is reported but is not a failure: libopenmpt compiled by
# another compiler may round its mixing differently.
#
# HOST_PRESET names the native build that gives the data (default: release).
set -eu
quick=0
[ "${1:-}" = --quick ] && quick=1
cd "$(dirname "$0")/.."
root="$(pwd)"
host="${HOST_PRESET:-release}"
build="$root/build/windows-x64"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
    ./scripts/install-deps.sh windows
fi
[ -f "build/$host/CMakeCache.txt" ] || cmake --preset "$host" >/dev/null
cmake --build --preset "$host" -j 2 --target data
./scripts/build-libopenmpt.sh windows-x64
cmake --preset windows-x64 -DDEMO_DATA_FROM="$root/build/$host/data" >/dev/null
cmake --build --preset windows-x64 -j 2 --target demo-render data

# Wine shows the host's files on drive Z:. The program's own choice of vector code first (what
# a player gets), then each level below it, since the Windows compiler lays out the vector code's
# stack and calls differently from Linux.
manifest="Z:$root/tests/golden/show.frames"
worst=0
for level in "" plain sse2 avx2 avx512; do
    [ "$quick" = 1 ] && [ -n "$level" ] && break
    name="${level:-the processor's best}"
    echo "== demo-render.exe --check tests/golden/show.frames under Wine, vector code: $name"
    start=$(date +%s)
    code=0
    (cd "$build" && "$root/scripts/wine.sh" demo-render.exe --quiet ${level:+--simd "$level"} \
        --check "$manifest") >"$build/check.out" 2>&1 || code=$?
    if [ "$code" = 2 ] && grep -q 'this processor and build go up to' "$build/check.out"; then
        echo "not on this processor"
        continue
    fi
    cat "$build/check.out"
    echo "Windows x64 under Wine ($name): $(($(date +%s) - start)) s, exit code $code"
    [ "$code" -gt "$worst" ] && worst=$code
done
exit "$worst"
