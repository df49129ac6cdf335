#!/bin/sh
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS-PER-TARGET] [DATA-DIR]
# Seeds: the BMP Suite files of the tests, the malformed samples in fuzz/seeds, and the
# generated data tree (DATA-DIR, default build/release/data) when it is there. New inputs the
# fuzzer finds go to build/fuzz/corpus. Any crash, leak or sanitizer report fails the run; the
# input that caused it is left in build/fuzz/findings.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
data=${2:-build/release/data}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"

out=build/fuzz
mkdir -p "$out/findings"
for target in bmp lwo ini; do
    corpus="$out/corpus/$target"
    seeds="$out/seeds/$target"
    mkdir -p "$corpus" "$seeds"
    cp fuzz/seeds/$target/* "$seeds/" 2>/dev/null || true
    case $target in
        bmp) cp tests/data/bmp/*/*.bmp "$seeds/" 2>/dev/null || true
             [ -d "$data" ] && find "$data" -name '*.bmp' -exec cp {} "$seeds/" \; ;;
        lwo) [ -d "$data" ] && find "$data" -name '*.lwo' -exec cp {} "$seeds/" \; ;;
        ini) [ -d "$data" ] && find "$data" -name '*.ini' -exec cp {} "$seeds/" \; ;;
    esac
    echo "== fuzz_$target for $seconds s"
    "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -timeout=20 \
        -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$out/findings/$target-" \
        "$corpus" "$seeds" 2>"$out/fuzz_$target.log" || {
        tail -n 60 "$out/fuzz_$target.log"
        echo "fuzz_$target found a fault; the input is in $out/findings" >&2
        exit 1
    }
    grep -E 'stat::number_of_executed_units|stat::new_units_added' "$out/fuzz_$target.log" || true
done
