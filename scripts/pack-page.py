#!/usr/bin/python3
"""Finishes the page folder after the link:

    scripts/pack-page.py PAGE_DIR TEMPLATE

Writes a gzip-compressed copy (NAME.gz, best compression, no time stamp: the same input gives the
same bytes) of each file the page downloads (demo.js, demo.wasm, demo.data), and PAGE_DIR/
index.html from TEMPLATE with the sizes of both forms in place of /*@PAGE_FILES@*/{}, so that
the page's loading bar knows the total before the first byte comes. Prints the bytes a visit
downloads, plain and compressed.
"""
import gzip
import json
import os
import sys

DOWNLOADS = ['demo.js', 'demo.wasm', 'demo.data']
PLACEHOLDER = '/*@PAGE_FILES@*/{}'


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().split('\n\n')[1], file=sys.stderr)
        return 2
    page, template = sys.argv[1:]
    sizes = {}
    for name in DOWNLOADS:
        path = os.path.join(page, name)
        with open(path, 'rb') as f:
            data = f.read()
        packed = gzip.compress(data, compresslevel=9, mtime=0)
        with open(path + '.gz', 'wb') as f:
            f.write(packed)
        sizes[name] = {'plain': len(data), 'gzip': len(packed)}
    with open(template, encoding='utf-8') as f:
        html = f.read()
    if html.count(PLACEHOLDER) != 1:
        print(f'{template}: expected {PLACEHOLDER} once, for the sizes of the downloads',
              file=sys.stderr)
        return 1
    with open(os.path.join(page, 'index.html'), 'w', encoding='utf-8') as f:
        f.write(html.replace(PLACEHOLDER, json.dumps(sizes, sort_keys=True)))
    plain = sum(size['plain'] for size in sizes.values())
    packed = sum(size['gzip'] for size in sizes.values())
    print(f'The page downloads {plain:,} bytes, {packed:,} where the browser unpacks gzip')
    return 0


if __name__ == '__main__':
    sys.exit(main())
