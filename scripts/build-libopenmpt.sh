#!/bin/sh
# Builds libopenmpt as a static library for a target the system has no package for:
#
#     scripts/build-libopenmpt.sh windows-x64|windows-x86|web
#     scripts/build-libopenmpt.sh linux-aarch64|linux-i686|linux-s390x
#     scripts/build-libopenmpt.sh source      only fetches the source (builds can then run side
#                                             by side)
#
# The source is Debian's own libopenmpt source package, fetched with `apt-get source` (a deb-src
# entry for the running Debian release is added when the system has none, and the script says
# so). Nothing is downloaded from anywhere else and no third-party source is kept in the
# repository. The library is built without its optional codecs (zlib, mpg123, ogg, vorbis).
#
# Builds never change between runs of the same recipe, so they are kept outside the checkout, in
# ${XDG_CACHE_HOME:-~/.cache}/duziv2i/libopenmpt/, one folder per target and key: the source
# version, the compiler's version, the flags and this script's own content. A build is made in a
# temporary folder and moved into place only when complete, so an interrupted one is never
# taken for a finished one. build/libopenmpt/<target> is a link to the folder in use, where the
# build presets look for it.
target="${1:-}"
case "$target" in
windows-x64)
    host=x86_64-w64-mingw32
    cc="$host-gcc-posix" cxx="$host-g++-posix" flags="-O2"
    ;;
windows-x86)
    host=i686-w64-mingw32
    cc="$host-gcc-posix" cxx="$host-g++-posix" flags="-O2 -msse2 -mfpmath=sse"
    ;;
linux-aarch64 | linux-i686 | linux-s390x)
    # Linux on other processors, with Debian's cross compilers; the programs run under
    # qemu-user. The 32-bit x86 build computes with SSE2, as the 32-bit Windows build does.
    host="$(echo "${target#linux-}" | sed 's/aarch64/aarch64-linux-gnu/; s/i686/i686-linux-gnu/; s/s390x/s390x-linux-gnu/')"
    cc="$host-gcc" cxx="$host-g++" flags="-O2"
    [ "$target" = linux-i686 ] && flags="-O2 -msse2 -mfpmath=sse"
    ;;
web)
    # emscripten (Debian's emcc needs NODE_PATH to find its JavaScript parser). The library
    # throws on damaged modules, so it is built to let callers catch that.
    export NODE_PATH=/usr/share/nodejs
    host=wasm32-unknown-none
    cc=emcc cxx=em++ flags="-O3 -fexceptions" wrap_configure=emconfigure wrap_make=emmake
    ;;
source) ;;
*)
    echo "usage: $0 windows-x64|windows-x86|web|linux-aarch64|linux-i686|linux-s390x|source" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "$0")/.." && pwd)"
script="$root/scripts/build-libopenmpt.sh"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/duziv2i/libopenmpt"
base="$cache"

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

# True when apt already knows a source entry.
has_deb_src() {
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list && return 0
    grep -qsiE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return 0
    return 1
}

fetch_source() {
    mkdir -p "$base/src"
    if ls -d "$base"/src/libopenmpt-*/ >/dev/null 2>&1; then
        return 0
    fi
    if ! has_deb_src; then
        . /etc/os-release
        codename="${VERSION_CODENAME:?cannot tell the Debian release from /etc/os-release}"
        list=/etc/apt/sources.list.d/duziv2i-deb-src.sources
        echo "No deb-src entry in apt's sources: adding $list for Debian $codename (source packages only)."
        keyring=/usr/share/keyrings/debian-archive-keyring.gpg
        {
            echo "Types: deb-src"
            echo "URIs: http://deb.debian.org/debian"
            echo "Suites: $codename"
            echo "Components: main"
            [ -f "$keyring" ] && echo "Signed-By: $keyring"
        } | $SUDO tee "$list" >/dev/null
        $SUDO apt-get update
    fi
    echo "Fetching Debian's libopenmpt source package into $base/src"
    # The fetch runs as the user who owns the build folder, so that it can write there.
    if ! (cd "$base/src" && apt-get source libopenmpt); then
        $SUDO apt-get update
        (cd "$base/src" && apt-get source libopenmpt)
    fi
}

fetch_source
[ "$target" = source ] && exit 0
command -v "$cxx" >/dev/null || {
    echo "$cxx is missing (make windows and make web install their compilers)" >&2
    exit 1
}

source_dir="$(ls -d "$base"/src/libopenmpt-*/ | head -n 1)"
source_version="$(basename "$source_dir")"
compiler_version="$("$cxx" --version 2>/dev/null | head -n 1)"
key="$(printf '%s\n' "$target" "$source_version" "$compiler_version" "$flags" |
    cat - "$script" | sha256sum | cut -c 1-16)"
prefix="$cache/$target-$key"
link="$root/build/libopenmpt/$target"
use_prefix() {
    mkdir -p "$root/build/libopenmpt"
    rm -rf "$link"
    ln -s "$prefix" "$link"
}
if [ -f "$prefix/.complete" ]; then
    use_prefix
    exit 0
fi

work="$(mktemp -d "$cache/build-$target.XXXXXX")"
staging="$work/install"
trap 'rm -rf "$work"' EXIT
echo "Building libopenmpt for $target (static, without optional codecs) in $work"
cd "$work"
${wrap_configure:-} "$source_dir/configure" --host="$host" \
    CC="$cc" CXX="$cxx" CFLAGS="$flags" CXXFLAGS="$flags" \
    --prefix="$prefix" --disable-shared --enable-static \
    --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
    --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
    --without-pulseaudio --without-sdl2 \
    --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
    >configure.log 2>&1 || {
    tail -n 30 configure.log >&2
    exit 1
}
${wrap_make:-} make -j "$(nproc 2>/dev/null || echo 2)" >make.log 2>&1 || {
    tail -n 30 make.log >&2
    exit 1
}
# Installed into a staging folder first (DESTDIR keeps the final paths inside the files), then
# moved into place in one step.
make install DESTDIR="$staging" >install.log 2>&1
touch "$staging$prefix/.complete"
rm -rf "$prefix"
mv "$staging$prefix" "$prefix"
cd "$root"
use_prefix
echo "libopenmpt for $target: $prefix"
