#!/usr/bin/env python3
"""Tests of notices.py's readers: the link map, the Debian copyright stanzas, and the refusal
of files with no known licence. Needs no build: python3 scripts/notices_test.py"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import notices  # noqa: E402

MAP = """Archive member included to satisfy reference by file (symbol)

/usr/lib/x/libstdc++.a(string-inst.o)
                              main.o (std::string)
libours.a(a.o)                main.o (f)

Discarded input sections

LOAD /usr/lib/x/crt2.o
LOAD main.o
LOAD /usr/lib/x/libkernel32.a
LOAD dll stuff
"""

COPYRIGHT = """Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/

Files: *
Copyright: the authors
License: Expat

Files: lib/one/*
Copyright: one
License: Apache-2.0 with LLVM exception

Files: lib/one/support/*
Copyright: two
License: BSD-2-Clause


Files: lib/one/tests/*
Copyright: three
License: GPL-2+

Files: lib/other/*
Copyright: four
License: Zlib

License: Apache-2.0
Reference: /usr/share/common-licenses/Apache-2.0

License: BSD-2-clause
 The two-clause text.

License: Expat
 The Expat text.

License: GPL-2+
 The GPL text.
"""


class Readers(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def write(self, name, text):
        path = os.path.join(self.folder, name)
        with open(path, 'w') as f:
            f.write(text)
        return path

    def test_map_lists_members_taken_and_objects_loaded(self):
        entries = notices.read_map(self.write('demo.map', MAP))
        self.assertEqual(entries, ['/usr/lib/x/libstdc++.a(string-inst.o)',
                                   os.path.join(self.folder, 'libours.a(a.o)'),
                                   '/usr/lib/x/crt2.o', os.path.join(self.folder, 'main.o')])

    def test_stanzas_of_a_component_and_the_licences_they_name(self):
        found = notices.Found('libc++')
        text = notices.dep5_extract(found, self.write('copyright', COPYRIGHT), ['lib/one/'],
                                    ['lib/one/tests/'])
        self.assertIn('Copyright: one', text)
        self.assertIn('Copyright: two', text)
        self.assertIn('Reference: /usr/share/common-licenses/Apache-2.0', text)
        self.assertIn('The two-clause text.', text)  # named BSD-2-Clause, defined BSD-2-clause
        for absent in ('Copyright: the authors', 'Copyright: three', 'Copyright: four',
                       'The GPL text.', 'The Expat text.'):
            self.assertNotIn(absent, text)
        with self.assertRaisesRegex(notices.Failure, 'no stanza .* covers lib/none/'):
            notices.dep5_extract(found, os.path.join(self.folder, 'copyright'), ['lib/none/'], [])

    def test_files_without_a_known_licence_are_refused(self):
        ours = os.path.join(notices.ROOT, 'build', 'x', 'main.o')
        self.assertEqual(notices.components_of([ours], 'demo.exe'), [])
        with self.assertRaisesRegex(notices.Failure, r'/nowhere/libx\.a\(x\.o\).*neither ours'):
            notices.components_of([ours, '/nowhere/libx.a(x.o)'], 'demo.exe')
        # A Debian package's file that no component knows: base-files is on every system.
        with self.assertRaisesRegex(notices.Failure, 'component GPL-3 .*base-files'):
            notices.components_of(['/usr/share/common-licenses/GPL-3'], 'demo.exe')


if __name__ == '__main__':
    unittest.main()
