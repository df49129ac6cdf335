#!/bin/sh
# Builds the show for Linux on another processor and checks it there, under qemu-user:
#
#     scripts/check-cross.sh aarch64|i686|s390x
#
# Builds what is missing: the native data tree (the data target of the native preset
# HOST_PRESET, release by default), libopenmpt for the target (scripts/build-libopenmpt.sh,
# cached outside the checkout), and the cross build (preset linux-<arch>, in build/linux-<arch>).
# Then, under the emulator:
#   1. the unit tests (ctest --preset linux-<arch>), all but the whole-show check, which step 3
#      runs itself; SKIP_SUITES, a regular expression, leaves more out (SKIP_SUITES=show_test
#      saves most of the time: the manifest check covers every one of its pictures);
#   2. the target's data generator writes a data tree, which must hold the same bytes as the
#      native build's data/ (the cross build's tests and programs read a copy of that one);
#   3. demo-render --check tests/golden/show.frames: every frame of the show, and the music,
#      against the manifest (run beside steps 1 and 2).
# Prints each step's result and time, and the manifest report. Exits 1 when a test fails, the
# data differ or any picture differs (or a step cannot run); a difference in the music alone is
# reported but is not a failure, since the music comes from the sound library's own arithmetic.
#
# JOBS sets the build's parallel jobs and the tests run side by side (default: the processors).
set -u

arch="${1:-}"
case "$arch" in
aarch64 | i686 | s390x) ;;
*)
    echo "usage: $0 aarch64|i686|s390x" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root" || exit 2
preset="linux-$arch"
build="$root/build/$preset"
host="${HOST_PRESET:-release}"
native_data="$root/build/$host/data"
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

now() { date +%s; }
say() { printf '%s\n' "$*"; }
# Seconds since the time given, as "Ns" or "MmSSs".
since() {
    seconds=$(($(now) - $1))
    if [ "$seconds" -ge 60 ]; then
        printf '%dm%02ds' $((seconds / 60)) $((seconds % 60))
    else
        printf '%ds' "$seconds"
    fi
}

scripts/install-deps.sh cross || exit 2

failed=0
started=$(now)

# --- Build -----------------------------------------------------------------------------------
if [ ! -f "$native_data/.complete" ]; then
    say "== native data: building build/$host/data"
    { cmake --preset "$host" >/dev/null && nice cmake --build "build/$host" --target data \
        -j "$jobs"; } || {
        say "native data: FAILED to build" >&2
        exit 1
    }
fi
step=$(now)
scripts/build-libopenmpt.sh "$preset" || {
    say "libopenmpt for $preset: FAILED to build" >&2
    exit 1
}
openmpt_time=$(since "$step")
step=$(now)
say "== build: preset $preset"
{ cmake --preset "$preset" -DDEMO_DATA_FROM="$native_data" \
    >"$root/build/$preset.configure.log" 2>&1 ||
    { cat "$root/build/$preset.configure.log" >&2 && false; }; } &&
    nice cmake --build --preset "$preset" -j "$jobs" || {
    say "build: FAILED" >&2
    exit 1
}
build_time=$(since "$step")
say "build: ok ($build_time; libopenmpt $openmpt_time)"
# The emulator command the preset gives CTest (a CMake list), for the steps run here.
run="$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt" | tr ';' ' ')"
[ -n "$run" ] || {
    say "no emulator in $build/CMakeCache.txt" >&2
    exit 1
}

scratch="$(mktemp -d "${TMPDIR:-/tmp}/check-cross-$arch.XXXXXX")"
check_pid=""
trap '[ -n "$check_pid" ] && kill "$check_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM

# --- 3. Every frame against the manifest, started first --------------------------------------
# It runs on one processor from start to end, as the longest suites do; beside the tests it
# takes the time the shorter suites leave free.
(
    step=$(now)
    cd "$build" && $run ./demo-render --quiet --check "$root/tests/golden/show.frames"
    echo "$? $(since "$step")" >"$scratch/check.result"
) >"$scratch/check.log" 2>&1 &
check_pid=$!

# --- 1. Unit tests ---------------------------------------------------------------------------
# The whole-show check is left out: step 3 runs it.
step=$(now)
say "== 1. unit tests under $run"
exclude='^render_manifest_check$'
if [ -n "${SKIP_SUITES:-}" ]; then
    exclude="$exclude|$SKIP_SUITES"
    say "(left out: $SKIP_SUITES)"
fi
if ctest --preset "$preset" -j "$jobs" -E "$exclude"; then
    tests_result="ok"
else
    tests_result="FAILED"
    failed=1
fi
tests_time=$(since "$step")
say "unit tests: $tests_result ($tests_time)"

# --- 2. The data tree ------------------------------------------------------------------------
step=$(now)
say "== 2. data tree written by the $arch mkdata, against build/$host/data"
if ! $run "$build/mkdata" "$scratch/data" >"$scratch/mkdata.log" 2>&1; then
    cat "$scratch/mkdata.log"
    data_result="FAILED (mkdata did not finish)"
    failed=1
elif diff -r -x .complete "$native_data" "$scratch/data"; then
    files=$(find "$scratch/data" -type f | wc -l)
    data_result="equal ($files files, byte for byte)"
else
    data_result="DIFFERS"
    failed=1
fi
data_time=$(since "$step")
say "data tree: $data_result ($data_time)"

# --- 3. The manifest check's report ----------------------------------------------------------
say "== 3. demo-render --check tests/golden/show.frames"
wait "$check_pid"
check_pid=""
cat "$scratch/check.log"
check_status=1
check_time="?"
[ -f "$scratch/check.result" ] && read -r check_status check_time <"$scratch/check.result"
check_line="$(grep '^manifest:' "$scratch/check.log" | tail -n 1)"
case "$check_status" in
0) check_result="every picture equal" ;;
4)
    check_result="PICTURES DIFFER"
    failed=1
    ;;
*)
    check_result="FAILED (exit code $check_status)"
    failed=1
    ;;
esac
case "$check_line" in
*"music differs"*) music_note=" (the music differs: reported, not a failure)" ;;
*) music_note="" ;;
esac
say "manifest check: $check_result$music_note ($check_time, beside steps 1 and 2)"

# --- Summary ---------------------------------------------------------------------------------
say ""
say "== $preset summary"
say "  build:          $build_time (libopenmpt $openmpt_time)"
say "  unit tests:     $tests_result ($tests_time)"
say "  data tree:      $data_result ($data_time)"
say "  manifest check: $check_result ($check_time)"
say "  ${check_line:-manifest: no report}"
say "  total:          $(since "$started")"
if [ "$failed" -ne 0 ]; then
    say "$preset: FAILED"
    exit 1
fi
say "$preset: passed"
