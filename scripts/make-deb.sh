#!/bin/sh
# Builds the Debian package build/duziv2i_<version>_<arch>.deb from a native build folder that
# holds demo, demo-render, mkdata and data/ (the first argument, build/deb-release by default):
#
#   /usr/games/duziv2i                      the command (packaging/debian/duziv2i.sh)
#   /usr/lib/games/duziv2i/demo             the program, unchanged
#   /usr/share/games/duziv2i/               its data
#   desktop entry, AppStream metainfo, hicolor icons, manual page, copyright and changelog
#
# The library dependencies come from dpkg-shlibdeps, run on the installed binary.
set -eu

version=1.0.0
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/deb-release}" && pwd)
source="$root/packaging/debian"
arch=$(dpkg --print-architecture)
deb="$root/build/duziv2i_${version}_${arch}.deb"

work=$(mktemp -d "$root/build/deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
umask 022

install -d "$tree/DEBIAN" "$tree/usr/games" "$tree/usr/lib/games/duziv2i" \
    "$tree/usr/share/games" "$tree/usr/share/applications" "$tree/usr/share/metainfo" \
    "$tree/usr/share/man/man6" "$tree/usr/share/doc/duziv2i"
install -m 755 "$source/duziv2i.sh" "$tree/usr/games/duziv2i"
install -m 755 -s "$build/demo" "$tree/usr/lib/games/duziv2i/demo"
cp -R "$build/data" "$tree/usr/share/games/duziv2i"
find "$tree/usr/share/games/duziv2i" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
install -m 644 "$source/duziv2i.desktop" "$tree/usr/share/applications/duziv2i.desktop"
install -m 644 "$source/duziv2i.metainfo.xml" "$tree/usr/share/metainfo/example.duziv2i.Duziv2i.metainfo.xml"
for size in 16 32 48 64 128 256; do
    install -d "$tree/usr/share/icons/hicolor/${size}x${size}/apps"
    "$build/mkdata" --icon-png "$size" "$tree/usr/share/icons/hicolor/${size}x${size}/apps/duziv2i.png"
    chmod 644 "$tree/usr/share/icons/hicolor/${size}x${size}/apps/duziv2i.png"
done
gzip -9n < "$source/duziv2i.6" > "$tree/usr/share/man/man6/duziv2i.6.gz"
install -m 644 "$source/copyright" "$tree/usr/share/doc/duziv2i/copyright"
gzip -9n < "$source/changelog" > "$tree/usr/share/doc/duziv2i/changelog.gz" # native: no Debian revision

# dpkg-shlibdeps wants a debian/control naming the package, beside the tree it reads.
mkdir -p "$work/debian"
printf 'Source: duziv2i\n\nPackage: duziv2i\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "tree/usr/lib/games/duziv2i/demo" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

size=$(du -sk "$tree/usr" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
    -e "s/@SIZE@/$size/" "$source/control.in" > "$tree/DEBIAN/control"
(cd "$tree" && find usr -type f -exec md5sum {} + | sort -k2) > "$tree/DEBIAN/md5sums"
chmod 644 "$tree/DEBIAN/control" "$tree/DEBIAN/md5sums"

dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
echo "$deb"
