#!/bin/bash
# The 64-bit Windows program under Wine, in a real X display, driven by real key presses:
#
#     tests/windows/program_test.sh BUILD_DIR
#
# BUILD_DIR is the windows-x64 build: the show is unpacked from its zip, as a user would, and
# demo-windowed.exe (the windowed configuration) is taken from beside it. The X server is Xvfb
# with a 640 x 480 screen, the only size on which Wine's DirectDraw grants the show's display
# mode, then with a 1024 x 768 one, where that mode is refused and the windowed copy meets a row
# pitch of 4096 bytes. On the first, the show also goes through Alt+Tab away and back
# (alt_tab.c, built here). Before that, what the program imports, how its vector code uses the
# stack (vector_moves.sh) and its icon and version information (resources.sh) are read from the
# file. Screenshots stay in BUILD_DIR/program-test. Prints one line per check and ends with 1 if
# any failed.
set -uo pipefail

build="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
wine="$root/scripts/wine.sh"
zip="$build/Duziv2i-windows-x64.zip"
out="$build/program-test"

# A prefix of its own: its settings (Wine draws the window frames) and its restarts between X
# servers stay away from the unit tests, which may run at the same time.
export WINEPREFIX="$build/wine-program-test"
export WINEDEBUG=-all

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

xvfb_pid=""
start_x() { # start_x WIDTHxHEIGHT
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "$1x24" -nolisten tcp >"$out/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    # Wine keeps one desktop per prefix session, bound to the display it started on.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
}
stop_x() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    xvfb_pid=""
}
trap 'stop_x' EXIT

# A fresh copy of the show, unpacked from the zip, for one run.
show=""
fresh_show() {
    show="$out/show"
    rm -rf "$show"
    mkdir -p "$show"
    (cd "$show" && cmake -E tar xf "$zip") || return 1
    cp "$build/demo-windowed.exe" "$show/"
}

demo_pid=""
start_demo() { # start_demo PROGRAM: runs it in the background, standard output to stdout.txt
    (cd "$show" && exec timeout 120 "$wine" "$1" >stdout.txt 2>stderr.txt) &
    demo_pid=$!
}
exit_code=""
wait_demo() { # sets exit_code once the program has ended
    wait "$demo_pid"
    exit_code=$?
}

# Exit code as Windows sees it: a batch file run by Wine's cmd prints %ERRORLEVEL%.
windows_exit_code() { # windows_exit_code PROGRAM
    printf '@echo off\r\n%s\r\necho exit code %%ERRORLEVEL%%\r\n' "$1" >"$show/run.bat"
    (cd "$show" && timeout 120 "$wine" cmd /c run.bat 2>/dev/null) | tr -d '\r' |
        sed -n 's/^exit code //p'
}

shot() { # shot NAME: the whole X screen to NAME.png
    import -window root "$out/$1.png"
}
# The highest channel value in a region of a picture (0: all black).
brightest() { # brightest PICTURE GEOMETRY
    convert "$1" -crop "$2" +repage -format '%[max]' info:
}
# How many pixels differ between two regions.
differing() { # differing PICTURE_A GEOMETRY_A PICTURE_B GEOMETRY_B
    convert "$1" -crop "$2" +repage "$out/region-a.png"
    convert "$3" -crop "$4" +repage "$out/region-b.png"
    compare -metric AE "$out/region-a.png" "$out/region-b.png" null: 2>&1 | cut -d' ' -f1
}
# Waits until the region of the screen holds a picture; false after 60 s.
wait_for_picture() { # wait_for_picture NAME GEOMETRY
    for _ in $(seq 120); do
        shot "$1"
        [ "$(brightest "$out/$1.png" "$2")" != 0 ] && return 0
        sleep 0.5
    done
    return 1
}
wait_for_file() { # wait_for_file PATH SIZE
    for _ in $(seq 100); do
        [ -f "$1" ] && [ "$(stat -c %s "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    return 1
}
# The group logo at the frame's top left stays still through the first scene: a screenshot
# (Return) and the screen must show the same pixels there, wherever the frame sits on screen.
kLogo="200x28+4+4"
# The screen may show a frame a moment after it was drawn: this looks again for up to 10 s.
same_logo() { # same_logo SHOT X Y: the frame's corner at X,Y; under 1 % of the logo differs
    local n
    for _ in $(seq 20); do
        shot "$1"
        n="$(differing "$out/$1.png" "200x28+$(($2 + 4))+$(($3 + 4))" "$show/grab_1.bmp" "$kLogo")"
        [ -n "$n" ] && [ "$n" -lt 56 ] && return 0
        sleep 0.5
    done
    return 1
}
is_frame_picture() { # is_frame_picture BMP: 512 x 256, with more than a hundred colours
    local width height colours
    read -r width height colours < <(identify -format '%w %h %k' "$1")
    [ "$width" = 512 ] && [ "$height" = 256 ] && [ "$colours" -gt 100 ]
}
ended_with() { # ended_with CODE TEXT: the last run's exit code, and a line of its output
    [ "$exit_code" = "$1" ] && contains "$show/stdout.txt" "$2"
}
equals() { [ "$1" = "$2" ]; }
contains() { grep -qF -- "$2" "$1"; }
window_geometry() { # the X geometry of the show's window, as WIDTHxHEIGHT+X+Y
    xwininfo -root -tree | sed -n 's/.*"Duziv2i": ("demo[^)]*)  \([0-9x+-]*\).*/\1/p' | head -n 1
}

rm -rf "$out"
mkdir -p "$out"
[ -f "$zip" ] || { echo "FAIL - $zip is missing (build the windows-x64 preset)"; exit 1; }
if [ ! -f "$WINEPREFIX/.ready" ]; then
    echo "     (setting up a Wine prefix for this test: about 15 s, once)"
fi
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# The program calls the system's own window and display functions, not an emulation of them.
imports() { # imports DLL FUNCTION: demo.exe imports FUNCTION from DLL
    x86_64-w64-mingw32-objdump -p "$build/demo.exe" |
        awk -v dll="$1" -v fn="$2" 'tolower($0) ~ "dll name: " tolower(dll) { inside = 1; next }
                                    /DLL Name:/ { inside = 0 }
                                    inside && $NF == fn { found = 1 }
                                    END { exit !found }'
}
check "demo.exe takes DirectDrawCreate from ddraw.dll" imports ddraw.dll DirectDrawCreate
check "demo.exe takes CreateWindowExA from user32.dll" imports user32.dll CreateWindowExA
check "demo.exe takes PeekMessageA from user32.dll" imports user32.dll PeekMessageA
check "demo.exe takes waveOutOpen from winmm.dll" imports winmm.dll waveOutOpen

# Vector code keeps no wide register on the stack with an aligned move (in this build, and in
# the 32-bit one beside it when that was built).
x86="$(dirname "$build")/windows-x86"
[ -f "$x86/demo.exe" ] || x86=""
bash "$root/tests/windows/vector_moves.sh" "$build" ${x86:+"$x86"} || failures=$((failures + 1))
# Both programs carry the icon and the version information (in both builds).
bash "$root/tests/windows/resources.sh" "$build" ${x86:+"$x86"} || failures=$((failures + 1))

echo "== A 640 x 480 screen"
start_x 640x480

fresh_show
start_demo demo.exe
check "the show draws a picture at (64, 112)" wait_for_picture fullscreen-1 512x256+64+112
sleep 1.5
shot fullscreen-2
check "a later picture differs" \
    test "$(differing "$out/fullscreen-1.png" 512x256+64+112 "$out/fullscreen-2.png" 512x256+64+112)" -gt 100
check "nothing is drawn outside the frame" \
    equals "$(brightest "$out/fullscreen-2.png" 640x112+0+0)$(brightest "$out/fullscreen-2.png" 64x256+0+112)$(brightest "$out/fullscreen-2.png" 64x256+576+112)$(brightest "$out/fullscreen-2.png" 640x112+0+368)" 0000
xdotool key Return
check "Return writes grab_1.bmp of 393,274 bytes" wait_for_file "$show/grab_1.bmp" 393274
check "grab_1.bmp holds the frame on screen" same_logo fullscreen-3 64 112
check "grab_1.bmp is a 512 x 256 picture of many colours" is_frame_picture "$show/grab_1.bmp"
xdotool key Escape
wait_demo
check "Escape ends the show with exit code 0 (was $exit_code)" equals "$exit_code" 0

# Alt+Tab to another program takes the display from the show, whose surfaces are lost; back in
# the show, it restores them and draws again, the border around the frame black.
fresh_show
start_demo demo.exe
wait_for_picture alt-tab-1 512x256+64+112
check "alt_tab.c builds" x86_64-w64-mingw32-gcc -O2 -o "$out/alt_tab.exe" \
    "$root/tests/windows/alt_tab.c" -luser32
check "Alt+Tab away from the show for 2 s, and back" timeout 60 "$wine" "$out/alt_tab.exe" 2000
sleep 1
shot alt-tab-2
sleep 1.5
shot alt-tab-3
check "after Alt+Tab: the show draws again" \
    test "$(differing "$out/alt-tab-2.png" 512x256+64+112 "$out/alt-tab-3.png" 512x256+64+112)" -gt 100
check "after Alt+Tab: nothing is drawn outside the frame" \
    equals "$(brightest "$out/alt-tab-3.png" 640x112+0+0)$(brightest "$out/alt-tab-3.png" 64x256+0+112)$(brightest "$out/alt-tab-3.png" 64x256+576+112)$(brightest "$out/alt-tab-3.png" 640x112+0+368)" 0000
xdotool key Escape
wait_demo
check "after Alt+Tab: Escape ends with 0 (was $exit_code)" equals "$exit_code" 0

fresh_show
rm "$show/data/mirel.xm"
start_demo demo.exe
wait_demo
check "without data/mirel.xm: exit code 1 (was $exit_code) and the MIDAS error line" ended_with 1 \
    "MIDAS error: Unable to read module file data/mirel.xm: No such file or directory"

fresh_show
rm "$show/data/mirel.xm" && mkdir "$show/data/mirel.xm"
start_demo demo.exe
wait_demo
check "a folder as data/mirel.xm: exit code 1 (was $exit_code) and '...: not a file'" \
    ended_with 1 "MIDAS error: Unable to read module file data/mirel.xm: not a file"

fresh_show
head -c 1000 "$root/README.md" >"$show/data/mirel.xm"
start_demo demo.exe
wait_demo
check "a text as data/mirel.xm: exit code 1 (was $exit_code) and 'Invalid module file'" \
    ended_with 1 "MIDAS error: Invalid module file data/mirel.xm: "

fresh_show
rm "$show/data/particules/forme.bmp"
check "without an image: exit code 9999 for a Windows parent" \
    equals "$(windows_exit_code demo.exe)" 9999
start_demo demo.exe
wait_demo
check "without an image: exit code 15 for a Linux parent (was $exit_code)" equals "$exit_code" 15

fresh_show
cp "$show/data/rotozoom/texture.bmp" "$show/data/particules/forme2.bmp"
check "a 256 x 256 picture as a particle shape: exit code 9999" \
    equals "$(windows_exit_code demo.exe)" 9999

fresh_show
cp "$show/data/particules/light2.bmp" "$show/data/klvlogo.bmp"
start_demo demo.exe
check "a logo of another size: the show plays" wait_for_picture other-logo 512x256+64+112
xdotool key Escape
wait_demo
check "a logo of another size: Escape ends with 0 (was $exit_code)" equals "$exit_code" 0

fresh_show
start_demo demo-windowed.exe
check "windowed: the window draws a picture" wait_for_picture windowed-1 512x256+3+22
geometry="$(window_geometry)"
check "windowed: a 518 x 281 window at (0, 0) (was $geometry)" equals "$geometry" 518x281+0+0
check "windowed: a caption above the client area" test "$(brightest "$out/windowed-1.png" 512x16+3+3)" != 0
xdotool key Return
wait_for_file "$show/grab_1.bmp" 393274
check "windowed: the frame sits at the client origin (3, 22)" same_logo windowed-2 3 22
check "windowed: nothing is drawn below or right of the window" equals \
    "$(brightest "$out/windowed-2.png" 640x199+0+281)$(brightest "$out/windowed-2.png" 122x281+518+0)" 00
xdotool key Escape
wait_demo
check "windowed: Escape ends with 0 (was $exit_code)" equals "$exit_code" 0
stop_x

echo "== A 1024 x 768 screen"
start_x 1024x768

fresh_show
(cd "$show" && WINEDEBUG=+ddraw timeout 120 "$wine" demo.exe >/dev/null 2>ddraw.log)
exit_code=$?
check "full screen: exit code 15 (9999) (was $exit_code)" equals "$exit_code" 15
check "full screen: SetDisplayMode is called and fails (no surface is made after it)" \
    bash -c "grep -q 'SetDisplayMode iface' '$show/ddraw.log' && ! grep -q 'CreateSurface' '$show/ddraw.log'"
check "full screen: exit code 9999 for a Windows parent" equals "$(windows_exit_code demo.exe)" 9999

fresh_show
start_demo demo-windowed.exe
check "windowed: the window draws a picture" wait_for_picture windowed-1024-1 512x256+3+22
xdotool key Return
wait_for_file "$show/grab_1.bmp" 393274
check "windowed: the frame sits at the client origin with a 4096-byte pitch" \
    same_logo windowed-1024-2 3 22
xdotool key Escape
wait_demo
check "windowed: Escape ends with 0 (was $exit_code)" equals "$exit_code" 0
stop_x

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; screenshots and the last show folder: $out"
    exit 1
fi
echo "All checks passed; screenshots: $out"
