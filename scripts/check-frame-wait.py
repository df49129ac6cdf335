#!/usr/bin/python3
"""Checks the page's list of functions rewritten for the frame wait against the linked program:

    scripts/check-frame-wait.py WASM SYMBOLS LIST WAIT

WASM is the linked demo.wasm, SYMBOLS the symbol map the link wrote beside it (emcc
--emit-symbol-map: "index:name" per function), LIST src/platform/web/asyncify.txt and WAIT the
name of the import that waits for the next frame. The program yields to the browser inside WAIT;
every function that may be on the call stack then must be in LIST, or the page breaks when it
runs, and a name in LIST that the program no longer has only hides a fault of the kind.

Fails (exit code 1, one line per finding) when
  - an entry of LIST names no function of the program (renamed, removed or inlined);
  - a function outside LIST calls WAIT or a function of LIST, directly or through the
    run-time's invoke_* trampolines with a constant index (the calls C++ exceptions route
    through JavaScript), since it would then be on the call stack during a wait;
  - an entry of LIST calls neither WAIT nor another entry where the call can be read (its
    rewriting is then only a cost).
Calls through function pointers are not followed: the way from main to the wait holds none.
The code is read with binaryen's wasm-dis, which comes with emscripten.
"""
import collections
import re
import subprocess
import sys


def unescape(name):
    """Names in the symbol map escape some characters as \\XX (hex), as binaryen writes them."""
    return re.sub(r'\\([0-9a-f]{2})', lambda m: chr(int(m.group(1), 16)), name)


def pattern_regex(pattern):
    """A list entry: the text itself, where '*' stands for any run of characters."""
    return re.compile('^' + '.*'.join(re.escape(part) for part in pattern.split('*')) + '$')


def read_program(wasm, symbols):
    """(names, calls, unreadable): names[i] is function i's name (imports first, as in the symbol
    map); calls[i] the functions it calls by name or through a constant invoke_* index;
    unreadable the functions with a call whose target cannot be read."""
    names = {}
    with open(symbols, encoding='utf-8') as f:
        for line in f:
            index, _, name = line.rstrip('\n').partition(':')
            names[int(index)] = unescape(name)
    text = subprocess.run(['wasm-dis', wasm], check=True, stdout=subprocess.PIPE,
                          text=True).stdout
    imports = len(re.findall(r'^ \(import "[^"]*" "[^"]*" \(func ', text, re.M))

    def index(reference):  # $fimport$K is import K; $N is defined function N
        return int(reference[8:]) if reference.startswith('fimport$') else imports + int(reference)

    table = {}
    for offset, entries in re.findall(r'^ \(elem \(i32\.const (\d+)\)((?: \$\S+)*)\)', text, re.M):
        for position, reference in enumerate(entries.split()):
            table[int(offset) + position] = index(reference[1:])
    calls = collections.defaultdict(set)
    unreadable = set()
    for body in re.split(r'^ \(func ', text, flags=re.M)[1:]:
        caller = index(body.split(None, 1)[0][1:])
        for match in re.finditer(r'\(call \$([^\s)]+)(\s*\(i32\.const (\d+)\))?', body):
            callee = index(match.group(1))
            if names.get(callee, '').startswith('invoke_'):
                if match.group(3) and int(match.group(3)) in table:
                    calls[caller].add(table[int(match.group(3))])
                else:
                    unreadable.add(caller)
            else:
                calls[caller].add(callee)
        if '(call_indirect ' in body:
            unreadable.add(caller)
    return names, calls, unreadable


def main():
    if len(sys.argv) != 5:
        print(__doc__.strip().split('\n\n')[1], file=sys.stderr)
        return 2
    wasm, symbols, list_path, wait = sys.argv[1:]
    names, calls, unreadable = read_program(wasm, symbols)
    with open(list_path, encoding='utf-8') as f:
        entries = [line.strip() for line in f if line.strip()]
    listed = set()
    problems = []
    for entry in entries:
        regex = pattern_regex(entry)
        matched = {i for i, name in names.items() if regex.match(name)}
        if not matched:
            problems.append(f'{list_path}: "{entry}" names no function of the program '
                            f'(renamed, removed or inlined): take it out of the list')
        listed |= matched
    waits = {i for i, name in names.items() if name == wait}
    if not waits:
        problems.append(f'{wasm}: no function {wait}: the frame wait has another name now')
    for caller in sorted(calls):
        reached = sorted(calls[caller] & (listed | waits))
        if caller not in listed and caller not in waits and reached:
            problems.append(f'{list_path}: "{names[caller]}" calls "{names[reached[0]]}", '
                            f'which may wait for the next frame: add it to the list')
    for function in sorted(listed):
        if not calls[function] & (listed | waits) and function not in unreadable:
            problems.append(f'{list_path}: "{names[function]}" calls nothing that waits for the '
                            f'next frame: take it out of the list')
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
