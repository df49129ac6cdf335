#!/bin/sh
# Checks every build of the show against its manifest (tests/golden/show.frames) on this
# machine, and prints one table: each target, the frames compared and equal, the music line's
# result, and the time the check took.
#
#     scripts/conformance.sh            (make conformance)
#
# The targets, each built first when it is missing:
#   x86-64 <level>   the native build (HOST_PRESET, default release) at each vector level this
#                    processor has: demo-render --simd LEVEL --check
#   portable         the portable preset, which compiles the plain C++ forms alone (and
#                    holds no AVX instruction)
#   windows-x64      demo-render.exe under Wine (scripts/check-windows.sh)
#   web              the page in headless Chromium, every frame hashed in the page
#                    (tests/web/web_test.py --manifest)
#   linux-aarch64, linux-i686, linux-s390x
#                    cross builds under qemu-user: their unit tests, their data generator and
#                    the manifest (scripts/check-cross.sh). The whole-show suite is left out
#                    there: under emulation it costs minutes, and the manifest check holds every
#                    one of its pictures (the screenshots have their own suite).
# TARGETS="native portable windows web aarch64 i686 s390x" (the default) chooses among them.
# The cross targets run beside the others (at a lower priority), since the browser's and
# Wine's waits leave a processor free. Each check's whole output is kept in build/conformance/<target>.log.
#
# Ends with 1 when a check fails: a picture that differs anywhere, or a test of a cross build.
# Music that differs from the manifest's is shown in the table but is not a failure: the music
# comes from the sound library's own arithmetic, which other compilers may round otherwise.
set -u
cd "$(dirname "$0")/.."
root="$(pwd)"
host="${HOST_PRESET:-release}"
targets="${TARGETS:-native portable windows web aarch64 i686 s390x}"
logs="$root/build/conformance"
rm -rf "$logs"
mkdir -p "$logs"

wants() {
    case " $targets " in *" $1 "*) return 0 ;; esac
    return 1
}

# Runs one check: `check NAME COMMAND...`, its output into NAME.log, and its result and time
# into NAME.result: "EXIT SECONDS".
check() {
    name="$1"
    shift
    started=$(date +%s)
    "$@" >"$logs/$name.log" 2>&1
    code=$?
    seconds=$(($(date +%s) - started))
    echo "$code $seconds" >"$logs/$name.result"
    echo "  $name: exit $code after $seconds s"
}

native_checks() {
    make --no-print-directory build PRESET="$host" >"$logs/native-build.log" 2>&1 || {
        echo "the native build ($host) failed: $logs/native-build.log"
        return
    }
    for level in avx512 avx2 sse2 plain; do
        check "x86-64-$level" sh -c "cd build/$host && ./demo-render --quiet --simd $level \
            --check '$root/tests/golden/show.frames'"
    done
}

portable_check() {
    check portable sh -c "cmake --preset portable >/dev/null &&
        cmake --build --preset portable -j 2 --target demo-render data >/dev/null &&
        cmake -DOBJDUMP=objdump -DPLAIN_PROGRAM=build/portable/demo-render \
            -P cmake/check-vector-code.cmake &&
        cd build/portable && ./demo-render --quiet --check '$root/tests/golden/show.frames'"
}

cross_checks() {
    for arch in aarch64 i686 s390x; do
        wants "$arch" && check "linux-$arch" nice -n 5 env HOST_PRESET="$host" \
            SKIP_SUITES=show_test ./scripts/check-cross.sh "$arch"
    done
}

all_started=$(date +%s)
echo "Conformance checks against tests/golden/show.frames (logs in build/conformance/)"
cross_checks &
cross=$!
trap 'kill "$cross" 2>/dev/null' EXIT INT TERM
wants native && native_checks
wants portable && portable_check
wants windows && check windows-x64 env HOST_PRESET="$host" ./scripts/check-windows.sh
if wants web; then
    check web sh -c "make --no-print-directory web HOST_PRESET='$host' &&
        /usr/bin/python3 tests/web/web_test.py build/web 'build/$host' --manifest"
fi
wait "$cross"
trap - EXIT INT TERM

# The table. A check whose log has no manifest line did not get as far as comparing frames.
failed=0
echo
printf '%-20s %9s %9s %-14s %7s  %s\n' target compared equal music seconds result
for name in x86-64-avx512 x86-64-avx2 x86-64-sse2 x86-64-plain portable windows-x64 web \
    linux-aarch64 linux-i686 linux-s390x; do
    [ -f "$logs/$name.result" ] || continue
    read -r code seconds <"$logs/$name.result"
    line="$(grep '^manifest: ' "$logs/$name.log" | tail -n 1)"
    compared="$(echo "$line" | sed -n 's/^manifest: \([0-9]*\) frames compared.*/\1/p')"
    equal="$(echo "$line" | sed -n 's/.* \([0-9]*\) equal;.*/\1/p')"
    music="$(echo "$line" | sed -n 's/.*; music //p')"
    if grep -q 'go up to' "$logs/$name.log" && [ -z "$line" ]; then
        status="not on this processor"
    elif [ "$code" -eq 0 ] && [ -n "$line" ] && [ "$compared" = "$equal" ]; then
        status=ok
    else
        status="FAILED (build/conformance/$name.log)"
        failed=1
    fi
    printf '%-20s %9s %9s %-14s %7s  %s\n' "$name" "${compared:--}" "${equal:--}" \
        "${music:--}" "$seconds" "$status"
done
echo "All checks took $(($(date +%s) - all_started)) s."
exit "$failed"
