#!/bin/bash
# The Windows programs carry the resources Windows shows for a program: the icon (Explorer, the
# task bar, the Alt+Tab list) at 16, 32, 48 and 256 pixels in 32 bits, and the version
# information of the file's properties, naming the show, with the same version in numbers and
# in words.
#
#     tests/windows/resources.sh BUILD_DIR...
#
# For each windows-x64 or windows-x86 build folder: demo.exe as the zip ships it (stripped, in
# BUILD_DIR/package) and demo-windowed.exe where built, read back with windres. Prints one line
# per check and ends with 1 if any failed.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

# The icon group: 4 square pictures ("width height colours pad", in octal) of 16, 32, 48 and 0
# (256) pixels, all 32-bit.
has_icon() { # has_icon RESOURCES
    [ "$(sed -n '/RT_GROUP_ICON/,/^END/p' "$1" | grep -c 'Element no')" = 4 ] &&
        [ "$(sed -n 's/^ *"\\\([0-7]*\)\\\1\\000\\000", 1, 32,.*/\1/p' "$1" | tr '\n' ' ')" \
            = "020 040 060 000 " ]
}
# A string of the version information.
version_value() { # version_value RESOURCES NAME
    sed -n "s/^ *VALUE \"$2\", \"\\(.*\\)\"\$/\\1/p" "$1"
}
# The version in numbers (FILEVERSION 1, 2, 3, 0) is the one in words (1.2.3).
versions_agree() { # versions_agree RESOURCES
    local numbers words
    numbers="$(sed -n 's/^ *FILEVERSION \([0-9]*\), \([0-9]*\), \([0-9]*\), 0$/\1.\2.\3/p' "$1")"
    words="$(version_value "$1" FileVersion)"
    [ -n "$numbers" ] && [ "$numbers" = "$words" ] &&
        [ "$(version_value "$1" ProductVersion)" = "$words" ]
}

for build in "$@"; do
    build="$(cd "$build" && pwd)" || {
        failures=$((failures + 1))
        continue
    }
    windres="$(mingw_prefix "$build")-windres"
    for program in "$build/package/demo.exe" "$build/demo-windowed.exe"; do
        [ -f "$program" ] || continue
        name="$(basename "$build")/${program#"$build/"}"
        resources="$(mktemp)"
        "$windres" -i "$program" -O rc >"$resources" 2>/dev/null
        check "$name: an icon at 16, 32, 48 and 256 pixels" has_icon "$resources"
        check "$name: version information of the product Duziv2i" \
            test "$(version_value "$resources" ProductName)" = Duziv2i
        check "$name: a file description" test -n "$(version_value "$resources" FileDescription)"
        check "$name: the same version in numbers and in words ($(version_value "$resources" FileVersion))" \
            versions_agree "$resources"
        rm -f "$resources"
    done
done
exit $((failures != 0))
