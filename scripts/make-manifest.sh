#!/bin/sh
# Writes tests/golden/show.frames, the manifest that every build of the show is checked against:
# the hash of each of the show's 10,800 frames and of its music, as the release build's
# demo-render gives them (demo-render --hashes, at 60 frames per second, from the generated
# data/).
#
#     scripts/make-manifest.sh
#
# Run it only when a picture or the music changes on purpose, and say in the commit which frames
# changed and why (`demo-render --check tests/golden/show.frames` before regenerating lists them).
set -eu
cd "$(dirname "$0")/.."
root="$(pwd)"
make --no-print-directory build PRESET=release
cd build/release
./demo-render --quiet --hashes "$root/tests/golden/show.frames"
echo "Wrote tests/golden/show.frames ($(grep -vc '^#' "$root/tests/golden/show.frames") lines)"
