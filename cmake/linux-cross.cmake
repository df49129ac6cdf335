# Shared part of the toolchains for Linux on other processors: Debian's cross compilers, with the
# target's C and C++ libraries under /usr/<triple>. Programs built here run under qemu-user,
# which CTest and the build use to run them. The including file sets LINUX_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR, and names the qemu program in LINUX_QEMU.
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

# The presets name the same emulator; this serves a build configured without them.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LINUX_QEMU} -L /usr/${LINUX_TRIPLET})
endif()
