#!/bin/sh
# Installs the Debian packages that building, running and testing the show need:
#
#     scripts/install-deps.sh            the Linux program, its tools and tests
#     scripts/install-deps.sh windows    and the Windows build: cross compilers, Wine, and what
#                                        fetching and building libopenmpt's source needs
#     scripts/install-deps.sh web        and the web build: emscripten, and Chromium with its
#                                        driver for the tests
#     scripts/install-deps.sh cross      and the Linux builds for other processors (aarch64,
#                                        i686, s390x): cross compilers, qemu-user, GoogleTest's
#                                        source, and what building libopenmpt's source needs
#     scripts/install-deps.sh deb        and the Debian package's tools: dpkg-dev, lintian, and
#                                        the desktop entry's and metainfo's validators
#
# Safe to run again: it does nothing when everything is already there. Uses sudo when not root.
set -eu

PACKAGES="
  g++ cmake make pkg-config ninja-build
  libsdl2-dev libopenmpt-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils
  imagemagick sox xmp ffmpeg libstb-dev
  clang libclang-rt-14-dev ccache
"
case "${1:-}" in
"") ;;
windows)
    PACKAGES="$PACKAGES
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest
  wine wine64 python3
  dpkg-dev xz-utils
"
    ;;
cross)
    PACKAGES="$PACKAGES
  g++-aarch64-linux-gnu g++-i686-linux-gnu g++-s390x-linux-gnu qemu-user googletest
  dpkg-dev xz-utils
"
    ;;
web)
    PACKAGES="$PACKAGES
  emscripten binaryen nodejs python3 python3-selenium chromium chromium-driver
  dpkg-dev xz-utils
"
    ;;
deb)
    PACKAGES="$PACKAGES
  dpkg-dev lintian desktop-file-utils appstream xdg-user-dirs
"
    ;;
*)
    echo "usage: $0 [windows|web|cross|deb]" >&2
    exit 2
    ;;
esac

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
if ! $SUDO apt-get install -y --no-install-recommends $missing; then
    $SUDO apt-get update
    # shellcheck disable=SC2086
    $SUDO apt-get install -y --no-install-recommends $missing
fi
