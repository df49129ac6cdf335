#!/usr/bin/env python3
"""The third-party notices of each shipped artefact, found from its build.

    notices.py windows --map BUILD/demo.map --title TITLE --out FILE [--crlf]
    notices.py web --trace BUILD/demo.link-trace --page PAGE --out FILE
    notices.py check-zip ZIP --map BUILD/demo.map
    notices.py check-page PAGE --trace BUILD/demo.link-trace
    notices.py trace-link TRACE -- LINK COMMAND...

The Windows program's link writes a map (ld -Map); the web program's link runs through
`trace-link`, which keeps the lines wasm-ld prints for --trace (one per file it loads) in a file
and passes the rest of the output through. From either, every object file and archive member
that went into the program is known. Each one is ours (inside this checkout), or libopenmpt
(built from Debian's source package), or belongs to a Debian package (dpkg -S); that gives its
component, and the component gives the texts: its source's licence file, its Debian copyright
file, or the stanzas of a machine-readable Debian copyright file that cover its sources.

A file that maps to no known component, or a component whose text is missing, stops the script
with a message naming it: a new library in the link needs its notice reviewed and added to
COMPONENTS below before anything ships.

The check modes read a finished zip or page folder: LICENSE and THIRD-PARTY-NOTICES.txt must be
there, LICENSE must be the project's, and every component the build links must have its section
with its licence text in the notices.
"""

import glob
import os
import re
import subprocess
import sys
import textwrap
import zipfile

ROOT = os.path.realpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
RULE = '=' * 78
COMMON_LICENSES = '/usr/share/common-licenses'


class Failure(Exception):
    pass


# What each component is, its licence in short, where its texts come from, and phrases its
# section must hold (the check looks for them). `texts` are tuples:
#   ('file', PATH)                         a whole file
#   ('dep5', PATH, [PATTERNS], [SKIP])     the stanzas of a machine-readable Debian copyright
#                                          file whose Files patterns are one of PATTERNS or
#                                          start with one ending in '/', except those starting
#                                          with one of SKIP, and the licence paragraphs they name
#   ('common', NAME)                       /usr/share/common-licenses/NAME, in the appendix
# PATH may hold {doc} (the Debian package's /usr/share/doc folder), {openmpt} (libopenmpt's
# unpacked source) and {emscripten} (emscripten's root).
COMPONENTS = {
    'libopenmpt': dict(
        title='libopenmpt',
        about='The library that plays the music, built from Debian\'s source package.',
        licence='BSD-3-Clause',
        texts=[('file', '{openmpt}/LICENSE'), ('file', '{openmpt}/debian/copyright')],
        phrases=['OpenMPT Project Developers', 'Redistribution and use in source and binary']),
    'mingw-w64-crt': dict(
        title='mingw-w64 runtime',
        about='The C run-time start-up code and libraries of mingw-w64 (mingw-w64-crt) and the '
              'import libraries of the Windows DLLs the program calls. The stanzas of the '
              'Debian copyright file that cover mingw-w64-crt follow.',
        licence='ZPL-2.1; parts public domain, or under BSD, ISC and other permissive licences',
        texts=[('dep5', '{doc}/copyright', ['*', 'mingw-w64-crt/'], [])],
        phrases=['the mingw-w64 project', 'Redistributions in binary form must reproduce']),
    'winpthreads': dict(
        title='winpthreads',
        about='The POSIX threads library of mingw-w64, which the C++ threads of the GCC '
              'runtime use. The stanzas of the Debian copyright file that cover it follow.',
        licence='MIT (Expat); pthread.h BSD-3-Clause (Lockless Inc.)',
        texts=[('dep5', '{doc}/copyright', ['mingw-w64-libraries/winpthreads/'],
                ['mingw-w64-libraries/winpthreads/tests_pthread/'])],
        phrases=['mingw-w64-libraries/winpthreads', 'Permission is hereby granted']),
    'gcc-runtime': dict(
        title='GCC runtime libraries (libstdc++, libgcc)',
        about='The C++ standard library and the compiler\'s support code, from the mingw-w64 '
              'cross compiler, under the GNU GPL version 3 with the GCC Runtime Library '
              'Exception 3.1, which lets a program compiled by GCC carry them under its own '
              'terms. The Debian copyright file of the compiler follows; the GPL\'s text is in '
              'the appendix.',
        licence='GPL-3.0-or-later with the GCC Runtime Library Exception 3.1',
        texts=[('file', '{doc}/copyright'), ('common', 'GPL-3')],
        phrases=['GCC RUNTIME LIBRARY EXCEPTION', 'Free Software Foundation']),
    'musl': dict(
        title='musl libc',
        about='The C library of emscripten, from musl. Its COPYRIGHT file follows.',
        licence='MIT',
        texts=[('file', '{emscripten}/system/lib/libc/musl/COPYRIGHT')],
        phrases=['Rich Felker', 'Permission is hereby granted']),
    'emscripten': dict(
        title='Emscripten runtime',
        about='The JavaScript runtime in demo.js and emscripten\'s own parts of the C library, '
              'from emscripten. The stanzas of its Debian copyright file that cover them follow.',
        licence='MIT (Expat) or the University of Illinois/NCSA licence',
        texts=[('dep5', '{doc}/copyright', ['*', 'src/library.js'], [])],
        phrases=['The Emscripten Authors', 'Permission is hereby granted']),
    'libc++': dict(
        title='libc++',
        about='The C++ standard library of LLVM, as emscripten ships it. The stanzas of '
              'emscripten\'s Debian copyright file that cover it follow; the Apache '
              'licence\'s text is in the appendix.',
        licence='Apache-2.0 WITH LLVM-exception',
        texts=[('dep5', '{doc}/copyright', ['system/lib/libcxx/'], [])],
        phrases=['system/lib/libcxx/', 'LLVM']),
    'libc++abi': dict(
        title='libc++abi',
        about='The C++ ABI library of LLVM (exceptions, type information), as emscripten '
              'ships it. The stanzas of emscripten\'s Debian copyright file that cover it '
              'follow; the Apache licence\'s text is in the appendix.',
        licence='Apache-2.0 WITH LLVM-exception',
        texts=[('dep5', '{doc}/copyright', ['system/lib/libcxxabi/'], [])],
        phrases=['system/lib/libcxxabi/', 'LLVM']),
    'compiler-rt': dict(
        title='compiler-rt',
        about='The compiler support routines of LLVM, as emscripten ships them. The stanzas of '
              'emscripten\'s Debian copyright file that cover them follow; the Apache '
              'licence\'s text is in the appendix.',
        licence='Apache-2.0 WITH LLVM-exception; some files MIT or NCSA',
        texts=[('dep5', '{doc}/copyright', ['system/lib/compiler-rt/'], [])],
        phrases=['system/lib/compiler-rt/', 'LLVM']),
    'dlmalloc': dict(
        title='dlmalloc',
        about='The memory allocator of emscripten, by Doug Lea.',
        licence='public domain (CC0)',
        texts=[('dep5', '{doc}/copyright', ['system/lib/dlmalloc.c'], [])],
        phrases=['Doug Lea']),
}

# Files of the mingw-w64 cross compilers, by Debian package and file name.
MINGW_PACKAGE = re.compile(r'^mingw-w64-(x86-64|i686)-dev$|^mingw-w64-common$')
GCC_PACKAGE = re.compile(r'^(gcc|g\+\+)-mingw-w64-(x86-64|i686)(-posix|-win32)?$')
WINPTHREADS_FILES = {'libpthread.a', 'libwinpthread.a'}
GCC_RUNTIME_FILES = {'libstdc++.a', 'libsupc++.a', 'libgcc.a', 'libgcc_eh.a', 'crtbegin.o',
                     'crtend.o', 'crtfastmath.o'}

# emscripten's system libraries: the components their members may come from (the first when
# a member's source is not found), and the source folders under system/lib of each component.
EMSCRIPTEN_ARCHIVES = {
    'libc.a': ['musl', 'emscripten'],
    'libc++.a': ['libc++'],
    'libc++abi.a': ['libc++abi'],
    'libcompiler_rt.a': ['compiler-rt'],
    'libdlmalloc.a': ['dlmalloc', 'emscripten'],
    'libstubs.a': ['emscripten'],
}
EMSCRIPTEN_SOURCES = [('libc/musl/', 'musl'), ('libcxx/', 'libc++'), ('libcxxabi/', 'libc++abi'),
                      ('compiler-rt/', 'compiler-rt'), ('dlmalloc.c', 'dlmalloc')]

# What a page folder may hold besides the program: ours, or made by the build.
PAGE_OURS = {'index.html', 'music-worklet.js', 'LICENSE', 'THIRD-PARTY-NOTICES.txt', 'demo.data'}


# ---- What the link used -------------------------------------------------------------------

def split_member(entry):
    """'path/libx.a(member.o)' -> ('path/libx.a', 'member.o'); a plain object -> (path, None)."""
    match = re.match(r'^(.*\.a)\((.+)\)$', entry)
    return (match.group(1), match.group(2)) if match else (entry, None)


def opened(path):
    try:
        return open(path, encoding='utf-8', errors='replace')
    except OSError as error:
        raise Failure(f'{path}: {error.strerror}; the program\'s link writes it: build the '
                      f'program (make windows, make web), or delete it to have it linked again')


def read_map(path):
    """The object files and archive members a GNU ld map says the link took in."""
    base = os.path.dirname(os.path.abspath(path))
    entries = []
    section = None
    with opened(path) as lines:
        for line in lines:
            line = line.rstrip('\n')
            if line.startswith('Archive member included'):
                section = 'members'
                continue
            if section == 'members':
                if line and not line.startswith(' '):
                    if re.match(r'^(Discarded input sections|Allocating common symbols|'
                                r'Memory Configuration)', line):
                        section = None
                    elif '(' in line:
                        entries.append(line.split()[0])
                continue
            if line.startswith('LOAD '):
                loaded = line[5:].strip()
                if not loaded.endswith('.a') and loaded != 'dll stuff':
                    entries.append(loaded)
    if not entries:
        raise Failure(f'{path}: no input files found; is it a link map?')
    return [absolute(entry, base) for entry in entries]


def read_trace(path):
    """The object files and archive members a wasm-ld --trace listing names."""
    with opened(path) as lines:
        entries = [line.strip() for line in lines if line.strip()]
    if not entries:
        raise Failure(f'{path}: empty; was the program linked through "notices.py trace-link"?')
    return entries


def absolute(entry, base):
    archive, member = split_member(entry)
    archive = os.path.normpath(os.path.join(base, archive))
    return f'{archive}({member})' if member else archive


def dpkg_owners(paths):
    """{path: Debian package} for the paths dpkg knows, trying each path as written, then with
    its links resolved."""
    owners = {}
    for attempt in (lambda p: p, os.path.realpath):
        asked = {attempt(p): p for p in paths if p not in owners}
        if not asked:
            break
        result = subprocess.run(['dpkg', '-S'] + sorted(asked), capture_output=True, text=True)
        for line in result.stdout.splitlines():
            package, _, owned = line.partition(': ')
            if owned in asked and ',' not in package:
                owners[asked[owned]] = package.split(':')[0]
    return owners


def package_version(package):
    result = subprocess.run(['dpkg-query', '-W', '-f', '${Version}', package],
                            capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else ''


def is_ours(path):
    real = os.path.realpath(path)
    return real == ROOT or real.startswith(ROOT + os.sep)


class Found:
    """A component found in the build: where its texts are and what it was linked from."""

    def __init__(self, key):
        self.key = key
        self.known = COMPONENTS[key]
        self.places = {}  # {where: set of members}
        self.paths = {}   # {'openmpt': ..., 'emscripten': ...}
        self.packages = set()

    def add(self, where, member):
        self.places.setdefault(where, set())
        if member:
            self.places[where].add(member)


def openmpt_source(archive):
    """libopenmpt's unpacked Debian source, beside the build's cache folder."""
    prefix = os.path.dirname(os.path.dirname(os.path.realpath(archive)))
    sources = sorted(glob.glob(os.path.join(os.path.dirname(prefix), 'src', 'libopenmpt-*', '')))
    if not sources:
        raise Failure(f'component libopenmpt ({archive}): its unpacked source, with LICENSE and '
                      f'debian/copyright, is not in {os.path.dirname(prefix)}/src; run '
                      f'scripts/build-libopenmpt.sh source')
    # The one scripts/build-libopenmpt.sh builds from: the first, as `ls` lists them.
    return sources[0].rstrip('/')


_source_index = {}


def emscripten_sources(root):
    """{stem: [paths under system/lib]} of emscripten's library sources."""
    if root not in _source_index:
        index = {}
        top = os.path.join(root, 'system', 'lib')
        for folder, _, files in os.walk(top):
            for name in files:
                stem, extension = os.path.splitext(name)
                if extension in ('.c', '.cpp', '.cc', '.s', '.S'):
                    index.setdefault(stem, []).append(
                        os.path.relpath(os.path.join(folder, name), top))
        _source_index[root] = index
    return _source_index[root]


def emscripten_member_components(root, archive_name, member):
    allowed = EMSCRIPTEN_ARCHIVES[archive_name]
    stem = os.path.splitext(member)[0]
    found = []
    for source in emscripten_sources(root).get(stem, []):
        component = next((c for prefix, c in EMSCRIPTEN_SOURCES if source.startswith(prefix)),
                         'emscripten')
        if component in allowed and component not in found:
            found.append(component)
    return found or allowed[:1]


def components_of(entries, program):
    """The components the entries of a link belong to, in a stable order."""
    files = sorted({split_member(entry)[0] for entry in entries})
    foreign = [path for path in files if not is_ours(path)]
    owners = dpkg_owners(foreign)
    found = {}

    def take(key, where, member=None, package=None, **paths):
        if key not in found:
            found[key] = Found(key)
        found[key].add(where, member)
        found[key].paths.update(paths)
        if package:
            found[key].packages.add(package)

    for entry in entries:
        path, member = split_member(entry)
        if is_ours(path) and os.path.basename(path) != 'libopenmpt.a':
            continue
        name = os.path.basename(path)
        package = owners.get(path)
        if package is None and name == 'libopenmpt.a':
            take('libopenmpt', name, member, openmpt=openmpt_source(path))
            continue
        if package is None:
            raise Failure(f'{program}: {entry} is linked in, but it is neither ours nor from a '
                          f'Debian package: no licence text is known for it')
        if MINGW_PACKAGE.match(package):
            key = 'winpthreads' if name in WINPTHREADS_FILES else 'mingw-w64-crt'
            take(key, path, member, package)
        elif GCC_PACKAGE.match(package) and name in GCC_RUNTIME_FILES:
            take('gcc-runtime', path, member, package)
        elif package == 'emscripten' and name in EMSCRIPTEN_ARCHIVES and member:
            root = path.split('/cache/')[0] if '/cache/' in path else '/usr/share/emscripten'
            for key in emscripten_member_components(root, name, member):
                take(key, path, member, package, emscripten=root)
        else:
            raise Failure(f'{program}: component {name} (Debian package {package}, {entry}) is '
                          f'linked in, but no licence text is known for it; review its '
                          f'copyright and add it to COMPONENTS in scripts/notices.py')
    order = list(COMPONENTS)
    return [found[key] for key in sorted(found, key=order.index)]


def page_components(page, trace):
    """The components of a page folder: the program's link, and the JavaScript emcc wrote."""
    found = components_of(read_trace(trace), 'demo.wasm')
    for listed in sorted(os.listdir(page)):
        name = listed[:-3] if listed.endswith('.gz') else listed  # a compressed copy
        if name in PAGE_OURS or name == 'demo.wasm':
            continue
        if name == 'demo.js':
            if listed != name:
                continue
            emscripten = next((f for f in found if f.key == 'emscripten'), None)
            if emscripten is None:
                emscripten = Found('emscripten')
                emscripten.paths['emscripten'] = '/usr/share/emscripten'
                emscripten.packages.add('emscripten')
                found.append(emscripten)
                order = list(COMPONENTS)
                found.sort(key=lambda f: order.index(f.key))
            emscripten.add('demo.js (the JavaScript runtime emcc writes)', None)
            continue
        raise Failure(f'{page}/{listed}: a file of the page that is neither ours nor the '
                      f'program emcc wrote; no licence text is known for it')
    return found


# ---- The texts ------------------------------------------------------------------------------

def read_text(found, path):
    try:
        with open(path, encoding='utf-8', errors='replace') as text:
            content = text.read().strip('\n')
    except OSError as error:
        raise Failure(f'component {found.known["title"]}: its licence text {path} cannot be '
                      f'read ({error.strerror})')
    if not content.strip():
        raise Failure(f'component {found.known["title"]}: its licence text {path} is empty')
    return content


def dep5_extract(found, path, patterns, skip):
    """The Files stanzas of a machine-readable copyright file that cover PATTERNS, followed by
    the stand-alone License paragraphs they name."""
    paragraphs = [p.strip('\n') for p in re.split(r'\n[ \t]*\n', read_text(found, path))]
    if not paragraphs[0].startswith('Format:'):
        raise Failure(f'component {found.known["title"]}: {path} is not a machine-readable '
                      f'copyright file')

    def covers(pattern):
        if any(pattern.startswith(s) for s in skip):
            return False
        return any(pattern == p or (p.endswith('/') and pattern.startswith(p)) for p in patterns)

    chosen, licences = [], {}
    for paragraph in paragraphs:
        if paragraph.startswith('Files:'):
            files = re.match(r'Files:(.*?)(?=\n\S)', paragraph, re.S)
            names = files.group(1).split() if files else []
            if any(covers(name) for name in names):
                chosen.append(paragraph)
        elif paragraph.startswith('License:'):
            licences[paragraph.split('\n')[0][8:].strip().lower()] = paragraph
    if not chosen:
        raise Failure(f'component {found.known["title"]}: no stanza of {path} covers '
                      f'{", ".join(patterns)}')
    named = []
    for paragraph in chosen:
        for line in re.findall(r'^License:(.*)$', paragraph, re.M):
            for name in re.split(r'\s+(?:or|and)\s+|,', line):
                name = re.sub(r'\s+with\s+.*$', '', name.strip().strip('()')).lower()
                if name in licences and name not in named:
                    named.append(name)
    return '\n\n'.join(chosen + [licences[name] for name in named])


def component_text(found):
    parts, common = [], []
    for source in found.known['texts']:
        kind = source[0]
        if kind == 'common':
            common.append(source[1])
            continue
        # A component from several Debian packages gives each package's copyright file,
        # once when they are the same.
        docs = [f'/usr/share/doc/{package}' for package in sorted(found.packages)] or ['']
        texts = []
        for doc in docs if '{doc}' in source[1] else ['']:
            path = source[1].format(doc=doc, **{k: found.paths.get(k, '') for k in
                                                ('openmpt', 'emscripten')})
            if kind == 'file':
                text = read_text(found, path)
                title = f'--- {path}'
            else:
                text = dep5_extract(found, path, source[2], source[3])
                title = f'--- {path} (the stanzas that cover this component)'
            if text in texts:
                continue
            texts.append(text)
            parts.append(f'{title}\n\n{text}')
            if kind == 'dep5':
                for name in re.findall(re.escape(COMMON_LICENSES) +
                                       r'/([A-Za-z0-9.+-]*[A-Za-z0-9+])', text):
                    if name not in common:
                        common.append(name)
    return '\n\n'.join(parts), common


def heading(title):
    return f'{RULE}\n{title}\n{RULE}'


def notices(found, title, program):
    with open(os.path.join(ROOT, 'LICENSE'), encoding='utf-8') as licence:
        own = licence.read().strip('\n')
    index = []
    sections = []
    appendix = []
    for number, component in enumerate(found, 1):
        facts = component.known
        index.append(f'  {number}. {facts["title"]}: {facts["licence"]}')
        text, common = component_text(component)
        places = []
        for where, members in sorted(component.places.items()):
            count = f' ({len(members)} object file{"s" if len(members) > 1 else ""})'
            places.append(f'  {where}' + (count if members else ''))
        body = [heading(facts['title']), '', textwrap.fill(facts['about'], 78), '',
                f'Licence: {facts["licence"]}']
        for package in sorted(component.packages):
            version = package_version(package)
            body.append(f'Debian package: {package}' + (f' {version}' if version else ''))
        if component.key == 'libopenmpt':
            body.append(f'Source: {os.path.basename(component.paths["openmpt"])}, from '
                        f'Debian\'s source package')
        body += [f'Linked into {program} from:'] + places + ['', text]
        sections.append('\n'.join(body))
        for name in common:
            if name not in appendix:
                appendix.append(name)
    for name in appendix:
        path = os.path.join(COMMON_LICENSES, name)
        if not os.path.isfile(path):
            raise Failure(f'the licence text {path}, named by a component, is missing')
    preface = textwrap.fill(
        f'Duziv2i itself is under the MIT licence (the file LICENSE, and below). '
        f'{program[0].upper() + program[1:]} also '
        f'holds code from the components listed here, linked into it when it was built. This '
        f'file was made from that link by scripts/notices.py: for each component, the files it '
        f'was linked from, and its copyright and licence as its source or its Debian package '
        f'states them.', 78)
    out = [f'Third-party notices: {title}', '', preface, '', 'Components:'] + index + \
          [f'  Appendix: the full text of {", ".join(appendix)}' if appendix else '', '',
           heading('Duziv2i (LICENSE)'), '', own, ''] + \
          [section + '\n' for section in sections] + \
          [heading(f'Appendix: {name}') + '\n\n' + read_text(found[0],
                                                             os.path.join(COMMON_LICENSES, name))
           + '\n' for name in appendix]
    return '\n'.join(out).rstrip('\n') + '\n'


def write(path, text, crlf, bom=False):
    # The notices quote names with accents: a byte-order mark makes browsers (which get text
    # files without a character set from many servers) and Notepad read them as UTF-8.
    data = ('\ufeff' if bom else '') + (text.replace('\n', '\r\n') if crlf else text)
    if os.path.exists(path) and not os.path.isfile(path):
        # A device or a pipe (/dev/stdout): written to, never replaced.
        with open(path, 'w', encoding='utf-8', newline='') as out:
            out.write(data)
        return
    # A file is replaced whole, so that an interrupted run never leaves half a notice.
    temporary = path + '.tmp'
    with open(temporary, 'w', encoding='utf-8', newline='') as out:
        out.write(data)
    os.replace(temporary, path)


# ---- Checks -----------------------------------------------------------------------------

def sections_of(text):
    """{title: body} of the notices' sections."""
    text = text.replace('\r\n', '\n')
    parts = re.split(r'^' + RULE + r'\n(.+)\n' + RULE + r'\n', text, flags=re.M)
    return {parts[i]: parts[i + 1] for i in range(1, len(parts) - 1, 2)}


def check(files, found, where):
    """files: {name: bytes} of the artefact's top level. Returns the problems."""
    problems = []
    for name in ('LICENSE', 'THIRD-PARTY-NOTICES.txt'):
        if name not in files:
            problems.append(f'{where}: no {name}')
    with open(os.path.join(ROOT, 'LICENSE'), 'rb') as licence:
        own = licence.read().replace(b'\r\n', b'\n')
    if 'LICENSE' in files and files['LICENSE'].replace(b'\r\n', b'\n') != own:
        problems.append(f'{where}: LICENSE is not the project\'s LICENSE')
    if 'THIRD-PARTY-NOTICES.txt' not in files:
        return problems
    sections = sections_of(files['THIRD-PARTY-NOTICES.txt'].decode('utf-8', errors='replace'))
    appendix = [title[len('Appendix: '):] for title in sections if title.startswith('Appendix: ')]
    for component in found:
        facts = component.known
        body = sections.get(facts['title'])
        if body is None:
            problems.append(f'{where}: the notices have no section for {facts["title"]}, which '
                            f'the build links in')
            continue
        for phrase in facts['phrases']:
            if phrase not in body:
                problems.append(f'{where}: the section of {facts["title"]} lacks "{phrase}"')
        for source in facts['texts']:
            if source[0] == 'common' and source[1] not in appendix:
                problems.append(f'{where}: the appendix lacks {source[1]}, the licence of '
                                f'{facts["title"]}')
    return problems


def check_zip(path, map_path):
    found = components_of(read_map(map_path), 'demo.exe')
    try:
        with zipfile.ZipFile(path) as archive:
            files = {name: archive.read(name) for name in archive.namelist() if '/' not in name}
    except (OSError, zipfile.BadZipFile) as error:
        raise Failure(f'{path}: cannot be read ({error}); make windows builds it')
    return found, check(files, found, os.path.basename(path))


def check_page(page, trace):
    if not os.path.isdir(page):
        raise Failure(f'{page}: no such folder; make web builds it')
    found = page_components(page, trace)
    files = {}
    for name in os.listdir(page):
        if name in ('LICENSE', 'THIRD-PARTY-NOTICES.txt'):
            with open(os.path.join(page, name), 'rb') as f:
                files[name] = f.read()
    problems = check(files, found, page)
    try:
        with open(os.path.join(page, 'index.html'), encoding='utf-8') as f:
            if 'href="THIRD-PARTY-NOTICES.txt"' not in f.read():
                problems.append(f'{page}: index.html has no link to THIRD-PARTY-NOTICES.txt')
    except OSError:
        problems.append(f'{page}: no index.html')
    return found, problems


# ---- The link wrapper -------------------------------------------------------------------

def trace_link(trace, command):
    """Runs a link with -Wl,--trace in it; the file names it prints go to TRACE (made absolute),
    everything else to standard output as before."""
    result = subprocess.run(command, stdout=subprocess.PIPE)
    kept, passed = [], []
    for line in result.stdout.decode('utf-8', errors='replace').splitlines():
        archive, member = split_member(line.strip())
        # A file name alone on its line, or a file that exists: the trace of a loaded file.
        if line.strip() and (os.path.isfile(archive) or
                             re.match(r'^\S+\.(o|obj|a\(\S+\))$', line.strip())):
            kept.append(absolute(line.strip(), os.getcwd()))
        else:
            passed.append(line)
    if passed:
        print('\n'.join(passed), flush=True)
    if result.returncode == 0:
        write(trace, '\n'.join(kept) + '\n', False)
    return result.returncode


# ---- Main ---------------------------------------------------------------------------------

def option(args, name, default=None):
    if name in args:
        position = args.index(name)
        if position + 1 < len(args):
            return args[position + 1]
    if default is None:
        raise Failure(f'{name} is missing')
    return default


def main(args):
    if not args:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    mode = args[0]
    if mode == 'trace-link':
        if len(args) < 4 or args[2] != '--':
            raise Failure('usage: notices.py trace-link TRACE -- COMMAND...')
        return trace_link(args[1], args[3:])
    if mode == 'windows':
        found = components_of(read_map(option(args, '--map')), 'demo.exe')
        text = notices(found, option(args, '--title'), 'the program demo.exe')
        write(option(args, '--out'), text, '--crlf' in args, bom=True)
        return 0
    if mode == 'web':
        page = option(args, '--page')
        found = page_components(page, option(args, '--trace'))
        text = notices(found, 'Duziv2i in a web browser', 'the page (demo.wasm and demo.js)')
        write(option(args, '--out'), text, False, bom=True)
        return 0
    if mode in ('check-zip', 'check-page'):
        if len(args) < 2:
            raise Failure(f'usage: notices.py {mode} ARTEFACT ...')
        if mode == 'check-zip':
            found, problems = check_zip(args[1], option(args, '--map'))
        else:
            found, problems = check_page(args[1], option(args, '--trace'))
        for problem in problems:
            print(f'notices: {problem}', file=sys.stderr)
        if problems:
            return 1
        print(f'{os.path.basename(os.path.normpath(args[1]))}: LICENSE, and the notices of '
              + ', '.join(f.known['title'] for f in found))
        return 0
    raise Failure(f'unknown mode {mode}')


if __name__ == '__main__':
    try:
        sys.exit(main(sys.argv[1:]))
    except Failure as failure:
        print(f'notices: {failure}', file=sys.stderr)
        sys.exit(1)
