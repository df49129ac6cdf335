#!/bin/sh
# Checks the licences shipped with each artefact: both Windows zips and the web page folder must
# hold the project's LICENSE and a THIRD-PARTY-NOTICES.txt with the section and licence text of
# every component their build links in (found again from the build's link map or trace, by
# scripts/notices.py). Then checks the check: a copy of the 64-bit zip whose notices lack one
# component must be refused; and notices.py's readers have their own tests
# (scripts/notices_test.py). Run after `make windows` and `make web`; builds nothing.
set -eu
cd "$(dirname "$0")/.."
export PYTHONDONTWRITEBYTECODE=1
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

status=0
if ! python3 scripts/notices_test.py >"$work/unit" 2>&1; then
    cat "$work/unit" >&2
    status=1
fi
for arch in x64 x86; do
    build="build/windows-$arch"
    python3 scripts/notices.py check-zip "$build/Duziv2i-windows-$arch.zip" \
        --map "$build/demo.map" || status=1
done
python3 scripts/notices.py check-page build/web --trace build/web-build/demo.link-trace ||
    status=1

# The notices of the 64-bit zip without the GCC runtime's section: the check must say so.
python3 - build/windows-x64/Duziv2i-windows-x64.zip "$work/cut.zip" <<'PYTHON' || status=1
import re, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as old, zipfile.ZipFile(sys.argv[2], 'w') as new:
    for item in old.infolist():
        data = old.read(item)
        if item.filename == 'THIRD-PARTY-NOTICES.txt':
            data = re.sub(rb'={78}\r?\nGCC runtime libraries.*?(?=={78}\r?\nAppendix)', b'',
                          data, flags=re.S)
        new.writestr(item, data)
PYTHON
if python3 scripts/notices.py check-zip "$work/cut.zip" --map build/windows-x64/demo.map \
    >"$work/out" 2>&1; then
    echo "check-notices: notices without the GCC runtime's section were accepted" >&2
    status=1
elif ! grep -q 'no section for GCC runtime libraries' "$work/out"; then
    echo "check-notices: notices without the GCC runtime's section were refused, but not" \
         "for that reason:" >&2
    cat "$work/out" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "check-notices: every artefact carries LICENSE and its notices"
exit "$status"
