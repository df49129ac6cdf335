#!/bin/sh
# Times `make video` and measures the video it writes against a lossless capture of the same
# show with ffmpeg's psnr filter.
#
#     scripts/video-check.sh           make video in the preset PRESET (default release)
#     scripts/video-check.sh FOLDER    the same command `make video` runs, in a build folder
#                                      that is already built (for builds outside the presets)
#
# Builds first, untimed. Prints the seconds the video took, the machine's load before and after
# (two cores shared with other work make the time longer), and the PSNR over the whole show:
# average (of the mean squared error over every frame), and the lowest and highest frame.
set -eu
cd "$(dirname "$0")/.."
PRESET="${PRESET:-release}"

if [ $# -gt 0 ]; then
    build=$(cd "$1" && pwd)
    video="$build/video-check.mp4"
    run() { (cd "$build" && ./demo-render --quiet --video "$video"); }
else
    make --no-print-directory build PRESET="$PRESET" >/dev/null
    build="$PWD/build/$PRESET"
    video="$PWD/show.mp4"
    run() { make --no-print-directory video PRESET="$PRESET" >/dev/null; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s.%N)
run
end=$(date +%s.%N)
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
seconds=$(echo "$end - $start" | bc)
printf 'video: %.1f s for the whole show (%s, %s bytes)\n' "$seconds" "$video" \
    "$(stat -c %s "$video")"

echo "lossless capture for the comparison (not timed) ..."
(cd "$build" && ./demo-render --quiet --video "$work/lossless.mkv")
# Frames are paired by their number (the .mkv keeps times in whole milliseconds, the .mp4
# exactly), and compared in two ways: in the video's own 4:2:0 YUV, which is the encoder's loss,
# and in RGB, which adds what any 4:2:0 video loses of sharp colour edges.
psnr() {
    ffmpeg -hide_banner -i "$video" -i "$work/lossless.mkv" -lavfi \
        "[0:v]setpts=N/(60*TB)$1[a];[1:v]setpts=N/(60*TB),format=$2[b];[a][b]psnr" -f null - 2>&1 |
        grep -o 'PSNR .*' | tail -1
}
echo "PSNR in the video's YUV 4:2:0: $(psnr "" yuv420p)"
echo "PSNR in RGB:                   $(psnr ",format=gbrp" gbrp)"
