#!/bin/bash
# No Windows program of the show may move a vector register of 32 or 64 bytes (ymm, zmm) to or
# from the stack with an aligned move: Windows keeps the stack aligned to 16 bytes only (64-bit)
# or 4 (32-bit), and GCC for 64-bit Windows cannot realign it, so such a move faults whenever
# the stack sits 16 bytes off. The build has the assembler write every aligned vector move as an
# unaligned one (cmake/mingw-common.cmake).
#
#     tests/windows/vector_moves.sh BUILD_DIR...
#
# For each windows-x64 or windows-x86 build folder: its own compile command (compile_commands.json)
# turns aligned stack moves written by hand into unaligned ones, whatever the compiler would
# have emitted; and demo.exe and demo-windowed.exe, where built, hold no aligned ymm or zmm move
# relative to the stack pointer or frame pointer. Prints one line per check and ends with 1 if
# any failed.
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

aligned='vmov(dqa|dqa32|dqa64|aps|apd) '
stack='\(%(rsp|rbp|esp|ebp)\)'
pattern="$aligned.*%[yz]mm.*$stack|$aligned.*$stack.*%[yz]mm"

# The aligned moves of a program relative to the stack, as objdump prints them.
aligned_stack_moves() { # aligned_stack_moves OBJDUMP PROGRAM
    "$1" -d --no-show-raw-insn "$2" | grep -E "$pattern"
}

# Compiles a file of hand-written aligned stack moves with the compile command of the build's
# first C++ source, and checks that they come out unaligned.
compiles_unaligned() { # compiles_unaligned BUILD_DIR OBJDUMP SP
    local work status
    work="$(mktemp -d)"
    cat >"$work/moves.cpp" <<EOF
void AlignedStackMoves() {
    asm volatile("vmovdqa %%ymm0, 32(%%$3)\n\tvmovaps %%ymm1, (%%$3)\n\t"
                 "vmovdqa64 64(%%$3), %%zmm2\n\tvmovapd %%zmm3, -128(%%$3)" ::: "memory");
}
EOF
    python3 - "$1/compile_commands.json" "$work/moves.cpp" "$work/moves.o" <<'EOF' &&
import json, shlex, subprocess, sys
entry = next(e for e in json.load(open(sys.argv[1])) if e['file'].endswith('.cpp'))
words = shlex.split(entry['command'])
kept, skip = [], False
for word in words:  # the same compiler and options, for another source and object
    if skip:
        skip = False
    elif word in ('-o', '-c', '-MF', '-MT', '-MQ'):
        skip = True
    elif word not in ('-MD', '-MMD') and word != entry['file']:
        kept.append(word)
sys.exit(subprocess.run(kept + ['-c', sys.argv[2], '-o', sys.argv[3]],
                        cwd=entry['directory']).returncode)
EOF
        [ "$("$2" -d "$work/moves.o" | grep -cE 'vmov(dqu|dqu64|ups|upd) ')" -eq 4 ] &&
        ! aligned_stack_moves "$2" "$work/moves.o" >/dev/null
    status=$?
    rm -rf "$work"
    return $status
}

for build in "$@"; do
    build="$(cd "$build" && pwd)" || {
        failures=$((failures + 1))
        continue
    }
    objdump="$(mingw_prefix "$build")-objdump"
    case "$objdump" in i686*) sp=esp ;; *) sp=rsp ;; esac
    name="$(basename "$build")"
    check "$name: the build's compile command writes aligned vector moves unaligned" \
        compiles_unaligned "$build" "$objdump" "$sp"
    for program in "$build/demo.exe" "$build/demo-windowed.exe"; do
        [ -f "$program" ] || continue
        moves="$(aligned_stack_moves "$objdump" "$program")"
        check "$name/$(basename "$program"): no aligned ymm or zmm move on the stack" \
            test -z "$moves"
        [ -n "$moves" ] && echo "$moves" | head -n 5
    done
done
[ "$failures" -eq 0 ]
