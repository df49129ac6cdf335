# Shared part of the toolchains for Linux on other processors: Debian's cross compilers, with the
# target's C and C++ libraries under /usr/<triple>. Programs built here run under qemu-user,
# which CTest and the build use to run them. The including file sets LINUX_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR, names the qemu program in LINUX_QEMU and may add its options in
# LINUX_QEMU_OPTIONS.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${LINUX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LINUX_TRIPLET}-g++)

# Headers and libraries come from the cross environment only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LINUX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not hand the host's libraries to the cross build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${LINUX_TRIPLET}/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# -L makes qemu look for the target's files under /usr/<triple> first. The target's dynamic
# loader also reads the host's /etc/ld.so.cache, though, which names the host's own 32-bit x86
# libraries (/lib32, installed for multilib and Wine): an i686 program would load the host's
# libc.so.6 beside the cross loader, a different build of the same release, and then hang in
# its first pthread_create. LD_LIBRARY_PATH, set for the emulated program only, comes before
# that cache. The presets name the same command; this serves a build configured without them.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LINUX_QEMU} ${LINUX_QEMU_OPTIONS} -L /usr/${LINUX_TRIPLET}
                                      -E LD_LIBRARY_PATH=/usr/${LINUX_TRIPLET}/lib)
endif()
